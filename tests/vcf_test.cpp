// kavohw --vcf: genotype counts as plink2 counts them, every kind of site
// tested by its hypothesis, the same rows from VCF, bgzipped VCF and BCF,
// a malformed record or a signal that stops the run without losing a row,
// and --resume.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "kavo/kavo.hpp"
#include "test_support.hpp"

using kavo_test::Captured;
using kavo_test::cells_of;
using kavo_test::lines_of;
using kavo_test::run_binary;
using kavo_test::temp_path;
using kavo_test::write_file;

namespace {

const std::string kHeader =
    "##fileformat=VCFv4.2\n##contig=<ID=1>\n##contig=<ID=X>\n"
    "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
    "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\ts1\ts2\ts3\ts4\ts5\ts6\n";

std::string site(const std::string& chrom, int pos, const std::string& id, const std::string& alt,
                 const std::string& calls) {
  std::string line = chrom + "\t" + std::to_string(pos) + "\t" + id + "\tA\t" + alt + "\t.\t.\t.\tGT";
  std::istringstream in(calls);
  for (std::string call; in >> call;) line += "\t" + call;
  return line + "\n";
}

// "rs" and 12 make "rs12" (appended: GCC 12 warns falsely on "rs" + string).
std::string numbered(const char* prefix, int i) {
  std::string id = prefix;
  id += std::to_string(i);
  return id;
}

// Rows by ID, as column name -> value.
std::map<std::string, std::map<std::string, std::string>> rows_by_id(const std::string& out) {
  std::map<std::string, std::map<std::string, std::string>> rows;
  const std::vector<std::string> lines = lines_of(out);
  if (lines.empty()) return rows;
  const std::vector<std::string> names = cells_of(lines[0]);
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::vector<std::string> cells = cells_of(lines[i]);
    std::map<std::string, std::string> row;
    for (std::size_t c = 0; c < names.size() && c < cells.size(); ++c) row[names[c]] = cells[c];
    rows[row["ID"]] = row;
  }
  return rows;
}

// The evidence the library gives for these counts plus the prior 1.
double evidence_of(kavo::Hypothesis hypothesis, kavo::Shape shape, std::vector<double> counts) {
  for (double& c : counts) c += 1.0;
  kavo::Settings settings;
  settings.method = kavo::Method::exact;
  const kavo::Result r = kavo::compute(hypothesis, shape, counts, settings);
  EXPECT_EQ(r.status, kavo::Status::ok);
  return r.evidence;
}

void run_shell(const std::string& command) {
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

}  // namespace

TEST(VcfInput, EveryKindOfSiteIsCountedAndTestedByItsHypothesis) {
  const std::string vcf = temp_path("kinds.vcf");
  write_file(vcf, kHeader +
                      site("1", 100, "bi", "G", "0/0 0/1 1/1 0|1 ./. 0/.") +
                      site("1", 200, "multi", "T,C", "0/0 0/1 1/2 2/2 0/2 ./1") +
                      site("X", 3000000, "xlinked", "G", "0/0 0/1 1 0 1/1 .") +
                      site("1", 300, "mono", ".", "0/0 0/0 0/0 0/0 0/0 0/0") +
                      site("1", 400, "nocalls", "G", "./. ./. . ./. ./. ./.") +
                      site("1", 500, "haploid", "G", "0 1 1 0 . 1") +
                      site("1", 600, "xmulti", "G,T", "0/0 0/1 1 2 1/2 0"));
  const Captured c = run_binary("kavohw", {"--vcf", vcf, "--threads", "2"});
  EXPECT_EQ(c.status, 0) << c.err;  // NA rows are results, as in batch mode
  EXPECT_EQ(run_binary("kavohw", {"--vcf", vcf, "--strict"}).status, 1);
  auto rows = rows_by_id(c.out);
  ASSERT_EQ(rows.size(), 7u) << c.out;

  // Missing and half-missing calls are left out and counted; phase is ignored.
  auto& bi = rows["bi"];
  EXPECT_EQ(bi["n_called"], "4");
  EXPECT_EQ(bi["n_missing"], "2");
  EXPECT_EQ(bi["genotype_counts"], "1,2,1");
  EXPECT_EQ(bi["allele_freqs"], "0.5,0.5");
  EXPECT_EQ(bi["het_obs"], "0.5");
  EXPECT_EQ(bi["het_exp"], "0.5");
  EXPECT_EQ(bi["hypothesis"], "hardy_weinberg");
  EXPECT_EQ(std::stod(bi["evidence"]),
            evidence_of(kavo::Hypothesis::hardy_weinberg, kavo::Shape::alleles(2), {1, 2, 1}));
  EXPECT_EQ(bi["df"], "1");

  // Three alleles: classes 11 12 22 13 23 33.
  auto& multi = rows["multi"];
  EXPECT_EQ(multi["genotype_counts"], "1,1,0,1,1,1");
  EXPECT_EQ(multi["n_missing"], "1");
  EXPECT_EQ(std::stod(multi["evidence"]),
            evidence_of(kavo::Hypothesis::hardy_weinberg, kavo::Shape::alleles(3), {1, 1, 0, 1, 1, 1}));

  // Diploid and haploid calls: females AA AB BB, then males A B.
  auto& x = rows["xlinked"];
  EXPECT_EQ(x["genotype_counts"], "1,1,1,1,1");
  EXPECT_EQ(x["n_called"], "5");
  EXPECT_EQ(x["allele_freqs"], "0.5,0.5");
  EXPECT_EQ(x["hypothesis"], "x_linked_hardy_weinberg");
  EXPECT_EQ(x["df"], "2");
  EXPECT_EQ(std::stod(x["evidence"]),
            evidence_of(kavo::Hypothesis::x_linked_hardy_weinberg,
                        kavo::default_shape(kavo::Hypothesis::x_linked_hardy_weinberg), {1, 1, 1, 1, 1}));

  // Sites with nothing to test keep their counts and say why, by line and site.
  for (const char* id : {"mono", "nocalls", "haploid", "xmulti"}) {
    EXPECT_EQ(rows[id]["evidence"], "NA") << id;
    EXPECT_EQ(rows[id]["hypothesis"], "NA") << id;
  }
  EXPECT_EQ(rows["nocalls"]["n_missing"], "6");
  EXPECT_EQ(rows["haploid"]["n_called"], "5");
  EXPECT_NE(c.err.find("line 9: 1:300 mono: a single allele"), std::string::npos) << c.err;
  EXPECT_NE(c.err.find("1:400 nocalls: no called genotypes"), std::string::npos) << c.err;
  EXPECT_NE(c.err.find("1:500 haploid: haploid calls only"), std::string::npos) << c.err;
  EXPECT_NE(c.err.find("1:600 xmulti: an X-linked site with more than two alleles"), std::string::npos);
}

TEST(VcfInput, SexFileReadsMalesDiploidCallsOnXAsOneAllele) {
  const std::string vcf = temp_path("sex.vcf");
  const std::string sexes = temp_path("sex.txt");
  // s1..s3 male, s4..s6 female; s3's heterozygous call cannot be a male's.
  write_file(vcf, kHeader + site("X", 3000000, "x1", "G", "0/0 1/1 0/1 0/1 1/1 0/0") +
                      site("1", 100, "auto", "G", "0/0 1/1 0/1 0/1 1/1 0/0"));
  write_file(sexes, "s1\t1\ns2\tM\ns3\t1\ns4\t2\ns5\tF\n# a comment\ns6\t2\nother\t1\n");
  const Captured c = run_binary("kavohw", {"--vcf", vcf, "--sex", sexes, "--prior", "1"});
  auto rows = rows_by_id(c.out);
  ASSERT_EQ(rows.size(), 2u) << c.out << c.err;
  EXPECT_EQ(rows["x1"]["genotype_counts"], "1,1,1,1,1");
  EXPECT_EQ(rows["x1"]["n_missing"], "1");
  EXPECT_EQ(rows["x1"]["hypothesis"], "x_linked_hardy_weinberg");
  // Other chromosomes are read as written.
  EXPECT_EQ(rows["auto"]["genotype_counts"], "2,2,2");

  write_file(sexes, "s1 male\n");
  const Captured bad = run_binary("kavohw", {"--vcf", vcf, "--sex", sexes});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("--sex: line 1 of"), std::string::npos) << bad.err;
  EXPECT_EQ(bad.out, "");
}

TEST(VcfInput, MalformedLineStopsTheRunAfterWritingEveryEarlierSite) {
  std::string text = kHeader;
  for (int i = 1; i <= 40; ++i) text += site("1", i, numbered("rs", i), "G", "0/0 0/1 1/1 0/1 0/0 0/1");
  const std::string good = text;
  text += "1\t41\trs41\tA\tG\t.\t.\t.\tGT\t0/0\t0/1\n";  // two samples of six
  text += site("1", 42, "rs42", "G", "0/0 0/1 1/1 0/1 0/0 0/1");
  const std::string vcf = temp_path("bad.vcf");
  write_file(vcf, text);
  const std::string out = temp_path("bad.tsv");
  const Captured c = run_binary("kavohw", {"--vcf", vcf, "--prior", "1", "--output", out});
  EXPECT_EQ(c.status, 1);
  EXPECT_NE(c.err.find("line 46 is not a VCF record: '1 41 rs41"), std::string::npos) << c.err;
  EXPECT_NE(c.err.find("(after 1:40)"), std::string::npos) << c.err;
  EXPECT_NE(c.err.find("40 complete rows in"), std::string::npos) << c.err;
  const std::vector<std::string> lines = lines_of(kavo_test::read_file(out));
  ASSERT_EQ(lines.size(), 41u);
  EXPECT_EQ(cells_of(lines[40])[2], "rs40");

  // The good part, resumed from a half-written file, ends byte for byte as a
  // whole run; standard input reads the same.
  write_file(vcf, good);
  const Captured whole = run_binary("kavohw", {"--vcf", "-", "--prior", "1"}, vcf);
  ASSERT_EQ(whole.status, 0) << whole.err;
  write_file(out, whole.out.substr(0, whole.out.size() / 2));
  const Captured resumed = run_binary("kavohw", {"--vcf", vcf, "--prior", "1", "--output", out, "--resume"});
  EXPECT_EQ(resumed.status, 0) << resumed.err;
  EXPECT_EQ(kavo_test::read_file(out), whole.out);
}

TEST(VcfInput, MalformedLineFarIntoTheFileEndsTheOutputAtTheSiteBeforeIt) {
  // More sites than the rows held in flight, parsed by two threads: the
  // output is every site before the bad line, each once and in order;
  // resumed from it, the run stops at once, naming the last site kept.
  std::string text = kHeader;
  for (int i = 1; i <= 3000; ++i) {
    text += i == 2600 ? "1\t2600\tbad\tA\tG\t.\t.\t.\tGT\t0/0\n"
                      : site("1", i, numbered("rs", i), "G",
                             i % 3 != 0 ? "0/0 0/1 1/1 0/1 0/0 0/1" : "0/1 0/1 0/0 1/1 0/0 1/1");
  }
  const std::string vcf = temp_path("far.vcf");
  write_file(vcf, text);
  const std::string out = temp_path("far.tsv");
  std::vector<std::string> args = {"--vcf", vcf, "--threads", "2", "--output", out};
  const Captured c = run_binary("kavohw", args);
  EXPECT_EQ(c.status, 1);
  EXPECT_NE(c.err.find("line 2605 is not a VCF record: '1 2600 bad"), std::string::npos) << c.err;
  EXPECT_NE(c.err.find("(after 1:2599)"), std::string::npos) << c.err;
  const std::string written = kavo_test::read_file(out);
  const std::vector<std::string> lines = lines_of(written);
  ASSERT_EQ(lines.size(), 2600u);
  for (std::size_t i = 1; i < lines.size(); ++i) ASSERT_EQ(cells_of(lines[i])[1], std::to_string(i));

  args.push_back("--resume");
  const Captured resumed = run_binary("kavohw", args);
  EXPECT_EQ(resumed.status, 1);
  EXPECT_NE(resumed.err.find("2599 complete rows"), std::string::npos) << resumed.err;
  EXPECT_NE(resumed.err.find("(after 1:2599)"), std::string::npos) << resumed.err;
  EXPECT_EQ(kavo_test::read_file(out), written);
}

TEST(VcfInput, TruncatedBgzippedFileIsAnErrorWhenDecompressedInThreads) {
  // Decompressing in threads, htslib reads a broken block as the end of the file.
  const char* calls[] = {"0/0 0/1 1/1 0/1 0/0 0/1", "0/1 0/1 0/0 1/1 0/0 1/1", "0/0 0/0 0/1 ./. 1/1 0/1"};
  std::string text = kHeader;
  for (int i = 1; i <= 40000; ++i) text += site("1", i, numbered("rs", i), "G", calls[i % 3]);
  const std::string vcf = temp_path("cut.vcf");
  write_file(vcf, text);
  run_shell("bcftools view -Oz -o " + vcf + ".gz " + vcf);
  const std::string packed = kavo_test::read_file(vcf + ".gz");
  write_file(vcf + ".gz", packed.substr(0, packed.size() / 2));
  const Captured whole = run_binary("kavohw", {"--vcf", vcf});
  const Captured cut = run_binary("kavohw", {"--vcf", vcf + ".gz", "--threads", "2"});
  EXPECT_EQ(cut.status, 1);
  EXPECT_NE(cut.err.find("cannot read '" + vcf + ".gz': a read error at line"), std::string::npos)
      << cut.err;
  EXPECT_LT(cut.out.size(), whole.out.size());
  EXPECT_EQ(whole.out.substr(0, cut.out.size()), cut.out);
}

TEST(VcfInput, StandardInputIsNeverOverwrittenByItsOwnResults) {
  const std::string vcf = temp_path("self.vcf");
  const std::string text = kHeader + site("1", 1, "rs1", "G", "0/0 0/1 1/1 0/1 0/0 0/1");
  write_file(vcf, text);
  const Captured c = run_binary("kavohw", {"--vcf", "-", "--output", vcf}, vcf);
  EXPECT_EQ(c.status, 1);
  EXPECT_NE(c.err.find("the output '" + vcf + "' is the input file"), std::string::npos) << c.err;
  EXPECT_EQ(kavo_test::read_file(vcf), text);
}

TEST(VcfInput, BgzippedVcfAndBcfGiveTheTextsRowsAndTakeRegionsAndSamples) {
  std::string text = kHeader;
  for (int i = 1; i <= 30; ++i) {
    text += site(i <= 20 ? "1" : "X", i * 10, numbered("v", i), i % 7 == 0 ? "G,T" : "G",
                 i % 2 ? "0/0 0/1 1/1 0/1 ./. 0/0" : "0/1 0/1 0/0 1/1 0/0 0/1");
  }
  const std::string vcf = temp_path("panel.vcf");
  write_file(vcf, text);
  run_shell("bcftools view -Oz -o " + vcf + ".gz " + vcf + " && bcftools index -t " + vcf + ".gz");
  run_shell("bcftools view -Ob -o " + vcf + ".bcf " + vcf + " && bcftools index " + vcf + ".bcf");
  const std::vector<std::string> common = {"--prior", "1", "--threads", "2", "--no-progress"};
  const auto run = [&](const std::string& file, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"--vcf", file};
    args.insert(args.end(), common.begin(), common.end());
    args.insert(args.end(), extra.begin(), extra.end());
    return run_binary("kavohw", args);
  };
  const Captured plain = run(vcf);
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(lines_of(plain.out).size(), 31u);
  EXPECT_EQ(run(vcf + ".gz").out, plain.out);
  EXPECT_EQ(run(vcf + ".bcf").out, plain.out);

  // Overlapping regions give each site once, in the regions' order; samples
  // by list, by exclusion and by file pick the same calls in every format.
  for (const std::string& file : {vcf + ".gz", vcf + ".bcf"}) {
    const Captured r = run(file, {"--regions", "X:250-300,1:95-120,1:100-110"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> ids;
    for (const std::string& line : lines_of(r.out)) ids.push_back(cells_of(line)[2]);
    EXPECT_EQ(ids, (std::vector<std::string>{"ID", "v25", "v26", "v27", "v28", "v29", "v30",
                                             "v10", "v11", "v12"})) << file;
  }
  const std::string list = temp_path("samples.txt");
  write_file(list, "s1\ns2\ns4\n");
  const Captured kept = run(vcf, {"--samples", "s1,s2,s4"});
  EXPECT_EQ(rows_by_id(kept.out)["v1"]["genotype_counts"], "1,2,0");
  EXPECT_EQ(run(vcf + ".bcf", {"--samples", "^s3,s5,s6"}).out, kept.out);
  EXPECT_EQ(run(vcf + ".gz", {"--samples", list}).out, kept.out);

  // What cannot be done is refused before any output.
  for (const auto& [args, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"--regions", "1:1-100"}, "--regions needs a bgzipped VCF or a BCF with an index"},
           {{"--samples", "s1,nobody"}, "--samples: 'nobody' is not a sample of"},
           {{"--batch"}, "--vcf does not take --batch"}}) {
    const Captured r = run(vcf, args);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  const Captured other = run_binary("kavoind", {"--vcf", vcf});
  EXPECT_NE(other.err.find("--vcf is for kavohw, not kavoind"), std::string::npos) << other.err;
  const Captured alone = run_binary("kavohw", {"--batch", vcf, "--samples", "s1"});
  EXPECT_NE(alone.err.find("--samples needs --vcf"), std::string::npos) << alone.err;
}

TEST(VcfInput, GenotypeCountsAreThoseOfPlink2Hardy) {
  // 300 samples, 400 variants: with 5% of calls missing (every site read
  // call by call), and with none (sites counted by the branch-free sums), as
  // text and as BCF.
  for (const std::string missing : {"0.05", "0"}) {
    const std::string base = temp_path("dummy" + missing);
    run_shell("plink2 --dummy 300 400 " + missing + " acgt --export vcf --out " + base +
              " --silent && plink2 --vcf " + base + ".vcf --hardy --out " + base + " --silent" +
              " && bcftools view -Ob -o " + base + ".bcf " + base + ".vcf");
    const Captured c = run_binary("kavohw", {"--vcf", base + ".vcf", "--prior", "1", "--no-progress"});
    ASSERT_EQ(c.status, 0) << c.err;
    EXPECT_EQ(run_binary("kavohw", {"--vcf", base + ".bcf", "--prior", "1", "--no-progress"}).out, c.out);
    auto rows = rows_by_id(c.out);
    std::istringstream hardy(kavo_test::read_file(base + ".hardy"));
    std::string line;
    std::getline(hardy, line);
    const std::vector<std::string> names = cells_of(line);
    ASSERT_EQ(std::vector<std::string>(names.begin(), names.begin() + 7),
              (std::vector<std::string>{"#CHROM", "ID", "A1", "AX", "HOM_A1_CT", "HET_A1_CT", "TWO_AX_CT"}));
    int compared = 0, with_missing = 0;
    while (std::getline(hardy, line)) {
      const std::vector<std::string> f = cells_of(line);
      auto& row = rows[f[1]];
      ASSERT_FALSE(row.empty()) << f[1];
      // A1 is REF or ALT; the counts are REF/REF, REF/ALT, ALT/ALT.
      const bool a1_is_ref = f[2] == row["REF"];
      const std::string counts = a1_is_ref ? f[4] + "," + f[5] + "," + f[6] : f[6] + "," + f[5] + "," + f[4];
      EXPECT_EQ(row["genotype_counts"], counts) << f[1];
      EXPECT_EQ(std::stoi(row["n_called"]) + std::stoi(row["n_missing"]), 300);
      with_missing += row["n_missing"] != "0";
      ++compared;
    }
    EXPECT_EQ(compared, 400);
    EXPECT_EQ(with_missing > 300, missing != "0") << missing;
  }
}

TEST(VcfInput, InterruptKeepsWholeRowsAndResumeRefusesAnotherInput) {
  std::string text = kHeader;
  for (int i = 1; i <= 80; ++i) text += site("1", i, numbered("rs", i), "G", "0/0 0/1 1/1 0/1 0/0 1/1");
  const std::string vcf = temp_path("slow.vcf");
  write_file(vcf, text);
  // Monte Carlo to its full draws: about 0.1 s a site on an idle machine (4 s for the run), so the
  // signal comes mid-run.
  const std::string run = kavo_test::binary_path("kavohw") + " --vcf " + vcf +
                          " --prior 1 --method monte_carlo --maxMC 2000000 --precision 0 --threads 2";
  const std::string whole = temp_path("slow_whole.tsv");
  const std::string out = temp_path("slow.tsv");
  ASSERT_EQ(std::system((run + " --output " + whole).c_str()), 0);
  const int status = std::system(("timeout --preserve-status -s INT 2 " + run + " --output " + out +
                                  " 2>" + out + ".err").c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  const std::string partial = kavo_test::read_file(out);
  const std::size_t rows = lines_of(partial).size();
  ASSERT_GT(rows, 1u);
  ASSERT_LT(rows, 81u) << "the run ended before the signal";
  EXPECT_EQ(kavo_test::read_file(whole).substr(0, partial.size()), partial);
  EXPECT_NE(kavo_test::read_file(out + ".err").find(std::to_string(rows - 1) + " complete rows in"),
            std::string::npos);
  ASSERT_EQ(std::system((run + " --output " + out + " --resume").c_str()), 0);
  EXPECT_EQ(kavo_test::read_file(out), kavo_test::read_file(whole));

  // Another input's output is refused and left as it is.
  write_file(vcf, kHeader + site("1", 1, "other", "G", "0/0 0/1 1/1 0/1 0/0 1/1"));
  const std::string before = kavo_test::read_file(out);
  const Captured c = run_binary("kavohw", {"--vcf", vcf, "--prior", "1", "--method", "monte_carlo",
                                           "--maxMC", "300000", "--precision", "0", "--output", out,
                                           "--resume"});
  EXPECT_EQ(c.status, 1);
  EXPECT_NE(c.err.find("its row 1 is not site 1:1 other of the input"), std::string::npos) << c.err;
  EXPECT_EQ(kavo_test::read_file(out), before);
}
