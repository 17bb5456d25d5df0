#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "number_parse.hpp"

TEST(ParseDecimal, AcceptsWellFormedDecimals) {
  const struct {
    const char* text;
    double value;
  } cases[] = {{"12", 12},       {"+12", 12},     {"-3.5", -3.5},   {"1.", 1},
               {".5", 0.5},      {"2.5e3", 2500}, {"1E-2", 0.01},   {"  7\t", 7},
               {"0.000001", 1e-6}, {"1e+2", 100}, {"007", 7},       {"-0", 0}};
  for (const auto& c : cases) {
    double v = -999;
    EXPECT_TRUE(kavo::cli::parse_decimal(c.text, v)) << c.text;
    EXPECT_EQ(v, c.value) << c.text;
  }
}

// Whole numbers take a shortcut; it must give strtod's double, bit for bit,
// at every length (past 15 digits not every whole number is a double).
TEST(ParseDecimal, WholeNumbersReadAsStrtodReadsThem) {
  std::mt19937_64 random(3);
  for (int digits = 1; digits <= 19; ++digits) {
    for (int i = 0; i < 2000; ++i) {
      std::string text = i % 3 == 0 ? "-" : i % 3 == 1 ? "+" : "";
      for (int d = 0; d < digits; ++d) text += static_cast<char>('0' + random() % 10);
      if (i % 7 == 0) text += '.';
      double v = 0;
      ASSERT_TRUE(kavo::cli::parse_decimal(text, v)) << text;
      const double expected = std::strtod(text.c_str(), nullptr);
      EXPECT_EQ(std::memcmp(&v, &expected, sizeof v), 0) << text;
    }
  }
  double v = 0;
  ASSERT_TRUE(kavo::cli::parse_decimal("-0", v));
  EXPECT_TRUE(std::signbit(v));
}

TEST(ParseDecimal, RefusesWhatAtofWouldSilentlyTruncate) {
  for (const char* text : {"", " ", "12,5", "1e", "1e+", ".", "+", "-.", "abc", "12abc", "0x1A",
                           "inf", "-inf", "nan", "1e999", "-1e400", "1..2", "1 2", "e5",
                           "1e5.5", "++1", "1d"}) {
    double v = 42;
    EXPECT_FALSE(kavo::cli::parse_decimal(text, v)) << "'" << text << "'";
    EXPECT_EQ(v, 42) << text;
  }
}

TEST(ParseDecimal, UnderflowIsAcceptedAsTheNearestDouble) {
  double v = -1;
  EXPECT_TRUE(kavo::cli::parse_decimal("1e-400", v));
  EXPECT_EQ(v, 0.0);
  EXPECT_TRUE(kavo::cli::parse_decimal("0.00000e999", v));
  EXPECT_EQ(v, 0.0);
  EXPECT_TRUE(kavo::cli::parse_decimal("1e-320", v));
  EXPECT_GT(v, 0.0);
  EXPECT_LT(v, 1e-319);
  EXPECT_TRUE(kavo::cli::parse_decimal("0.0001e-99999999999999999999", v));
  EXPECT_EQ(v, 0.0);
  EXPECT_FALSE(kavo::cli::parse_decimal("100e-1e", v));
  EXPECT_TRUE(kavo::cli::parse_decimal("0.1e309", v));  // 1e308 fits, despite the exponent
  EXPECT_EQ(v, 1e308);
  EXPECT_FALSE(kavo::cli::parse_decimal("1.8e308", v));
}

TEST(ParseDecimal, IgnoresTheLocale) {
  // In a locale with a decimal comma, "2.5" must still read as 2.5.
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no de_DE locale";
  double v = 0;
  EXPECT_TRUE(kavo::cli::parse_decimal("2.5", v));
  EXPECT_FALSE(kavo::cli::parse_decimal("2,5", v));
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_EQ(v, 2.5);
}

TEST(ParseWhole, AcceptsSigned64BitIntegersOnly) {
  std::int64_t v = 0;
  EXPECT_TRUE(kavo::cli::parse_whole(" +20000 ", v));
  EXPECT_EQ(v, 20000);
  EXPECT_TRUE(kavo::cli::parse_whole("-5", v));
  EXPECT_EQ(v, -5);
  EXPECT_TRUE(kavo::cli::parse_whole("9223372036854775807", v));
  EXPECT_EQ(v, INT64_MAX);
  for (const char* text : {"", "1e6", "2.0", "9223372036854775808", "12x", "+-1", "abc", "+", "0x10"}) {
    EXPECT_FALSE(kavo::cli::parse_whole(text, v)) << "'" << text << "'";
  }
}
