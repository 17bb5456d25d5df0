// The extension kavo._core: the library's compute_many over numpy arrays.
// Argument types are coerced by the Python layer (kavo/_evidence.py); this
// file checks every range again so the module is safe to call directly.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "kavo/kavo.hpp"

namespace py = pybind11;

namespace {

using Values = py::array_t<double, py::array::c_style | py::array::forcecast>;

std::string hypothesis_names() {
  std::string names;
  for (int i = 0; i < kavo::kHypothesisCount; ++i) {
    const auto h = static_cast<kavo::Hypothesis>(i);
    names += std::string(i ? ", " : "") + kavo::hypothesis_name(h) + " (" +
             kavo::program_name(h) + ")";
  }
  return names;
}

std::vector<std::string> method_names() {
  std::vector<std::string> names;
  for (int i = 0; i < kavo::kMethodCount; ++i) {
    names.emplace_back(kavo::method_name(static_cast<kavo::Method>(i)));
  }
  return names;
}

kavo::Hypothesis hypothesis_of(const std::string& name) {
  const auto h = kavo::hypothesis_from_name(name);
  if (!h) {
    throw py::value_error("unknown hypothesis '" + name + "'; known: " + hypothesis_names());
  }
  return *h;
}

kavo::Method method_of(const std::string& name) {
  const auto m = kavo::method_from_name(name);
  if (!m) {
    std::string known;
    for (const std::string& n : method_names()) known += (known.empty() ? "" : ", ") + n;
    throw py::value_error("unknown method '" + name + "'; known: " + known);
  }
  return *m;
}

kavo::Settings settings_of(const std::string& method, std::int64_t max_draws, double precision,
                           std::int64_t seed) {
  if (!std::isfinite(precision)) throw py::value_error("precision must be a finite number");
  if (seed < kavo::kMinSeed || seed > kavo::kMaxSeed) {
    throw py::value_error("seed must be a whole number from 1 to 2147483646, got " +
                          std::to_string(seed));
  }
  kavo::Settings settings;
  settings.method = method_of(method);
  settings.max_draws = max_draws;
  settings.precision = precision;
  settings.seed = static_cast<std::int32_t>(seed);
  return settings;
}

int threads_of(int threads) {
  if (threads < 0 || threads > kavo::kMaxThreads) {
    throw py::value_error("threads must be from 1 to " + std::to_string(kavo::kMaxThreads) +
                          " (or 0 for every core), got " +
                          std::to_string(threads));
  }
  return threads;
}

// The shape of rows x columns, or the hypothesis's fixed shape for 0 x 0.
kavo::Shape shape_of(kavo::Hypothesis h, int rows, int columns) {
  if (rows == 0 && columns == 0) return kavo::default_shape(h);
  const kavo::Shape shape{rows, columns};
  if (!kavo::shape_valid(h, shape)) {
    throw py::value_error(std::string(kavo::describe(kavo::Status::bad_shape)) + ": " +
                          kavo::hypothesis_name(h) + " " + std::to_string(rows) + "x" +
                          std::to_string(columns));
  }
  return shape;
}

// The tables of a 2-D array, checked against the shape's value count.
std::span<const double> tables_of(kavo::Hypothesis h, kavo::Shape shape, const Values& values) {
  const int count = kavo::value_count(h, shape);
  if (values.ndim() != 2 || values.shape(1) != count) {
    throw py::value_error(std::string("hypothesis ") + kavo::hypothesis_name(h) + " takes " +
                          std::to_string(count) + " values per table");
  }
  return {values.data(), static_cast<std::size_t>(values.shape(0)) * count};
}

// Whether the interpreter has begun to finalize; safe without the GIL.
bool interpreter_finalizing() {
#if PY_VERSION_HEX >= 0x030D0000
  return Py_IsFinalizing() != 0;
#else
  return _Py_IsFinalizing() != 0;
#endif
}

bool on_main_thread() {
  const auto main = py::module_::import("threading").attr("main_thread")().attr("ident");
  return main.cast<unsigned long>() == PyThread_get_thread_ident();
}

// Runs compute with the GIL released. The GIL is taken back outside any
// destructor: once the interpreter finalizes, CPython ends a thread that asks
// for the GIL by unwinding its stack, which a noexcept destructor (pybind11's
// gil_scoped_release) turns into std::terminate. A thread other than the main
// one (which is the one finalizing) that finds the interpreter finalizing
// never touches Python again: it waits, without the GIL, for the process to
// end.
template <class Compute>
void without_gil(bool main_thread, Compute&& compute) {
  PyThreadState* state = PyEval_SaveThread();
  const auto take_back = [&] {
    while (!main_thread && interpreter_finalizing()) {
      std::this_thread::sleep_for(std::chrono::hours(1));
    }
    PyEval_RestoreThread(state);
  };
  try {
    compute();
  } catch (...) {
    take_back();
    throw;
  }
  take_back();
}

// Computes with the GIL released. On the main thread, the only one that runs
// signal handlers, the progress callback takes the GIL back every ~100 ms to
// run them: a handler that raises (Ctrl-C's KeyboardInterrupt) cancels the
// run, and its exception is raised here once the workers have stopped. On any
// other thread the callback never touches Python: it cancels the run when the
// interpreter finalizes, so a daemon thread's call ends with its workers
// joined instead of being cut off inside the library.
void compute_released(kavo::Hypothesis h, kavo::Shape shape, std::span<const double> tables,
                      std::vector<kavo::Result>& results, const kavo::Settings& settings,
                      int threads) {
  const bool main_thread = on_main_thread();
  bool interrupted = false;
  kavo::ManyOptions options;
  options.threads = threads;
  options.progress = [&interrupted, main_thread](const kavo::Progress&) {
    if (!main_thread) return !interpreter_finalizing();
    py::gil_scoped_acquire gil;
    if (PyErr_CheckSignals() != 0) {
      interrupted = true;
      return false;
    }
    return true;
  };
  without_gil(main_thread,
              [&] { kavo::compute_many(h, shape, tables, results, settings, options); });
  if (interrupted) throw py::error_already_set();
}

py::tuple compute_many(const std::string& hypothesis, const Values& values,
                       const std::string& method, std::int64_t max_draws, double precision,
                       std::int64_t seed, int threads, int rows, int columns) {
  const kavo::Hypothesis h = hypothesis_of(hypothesis);
  const kavo::Shape shape = shape_of(h, rows, columns);
  const kavo::Settings settings = settings_of(method, max_draws, precision, seed);
  threads = threads_of(threads);
  const std::span<const double> tables = tables_of(h, shape, values);
  const std::size_t n = static_cast<std::size_t>(values.shape(0));

  std::vector<kavo::Result> results(n);
  compute_released(h, shape, tables, results, settings, threads);

  const auto size = static_cast<py::ssize_t>(n);
  py::array_t<std::int32_t> status(size);
  py::array_t<double> evidence(size), error(size), log10_evidence(size), sev(size), g2(size);
  py::array_t<std::int64_t> draws(size);
  py::array_t<std::int32_t> df(size);
  auto s = status.mutable_unchecked<1>();
  auto e = evidence.mutable_unchecked<1>();
  auto x = error.mutable_unchecked<1>();
  auto d = draws.mutable_unchecked<1>();
  auto l = log10_evidence.mutable_unchecked<1>();
  auto v = sev.mutable_unchecked<1>();
  auto g = g2.mutable_unchecked<1>();
  auto f = df.mutable_unchecked<1>();
  constexpr double nan = std::numeric_limits<double>::quiet_NaN();
  for (std::size_t i = 0; i < n; ++i) {
    const auto j = static_cast<py::ssize_t>(i);
    const kavo::Result& r = results[i];
    const bool ok = r.status == kavo::Status::ok;
    s(j) = static_cast<std::int32_t>(r.status);
    // A table without evidence has no figures at all: NaN, and -1 for the counts.
    e(j) = ok ? r.evidence : nan;
    x(j) = ok ? r.error : nan;
    d(j) = ok ? r.draws : -1;
    l(j) = ok ? r.log10_evidence : nan;
    v(j) = ok ? r.sev : nan;
    g(j) = ok ? r.g2 : nan;
    f(j) = ok ? r.df : -1;
  }
  return py::make_tuple(status, evidence, error, draws, log10_evidence, sev, g2, df);
}

// The benchmark's reference: compute_many alone, timed in C++, on an array
// already converted, with no progress callback and no result conversion.
double time_compute_many(const std::string& hypothesis, const Values& values,
                         const std::string& method, std::int64_t max_draws, double precision,
                         std::int64_t seed, int threads) {
  const kavo::Hypothesis h = hypothesis_of(hypothesis);
  const kavo::Settings settings = settings_of(method, max_draws, precision, seed);
  kavo::ManyOptions options;
  options.threads = threads_of(threads);
  const std::span<const double> tables = tables_of(h, kavo::default_shape(h), values);
  std::vector<kavo::Result> results(static_cast<std::size_t>(values.shape(0)));
  std::chrono::steady_clock::duration taken{};
  without_gil(on_main_thread(), [&] {
    const auto start = std::chrono::steady_clock::now();
    kavo::compute_many(h, tables, results, settings, options);
    taken = std::chrono::steady_clock::now() - start;
  });
  return std::chrono::duration<double>(taken).count();
}

py::tuple hypothesis_info(const std::string& name, int rows, int columns) {
  const kavo::Hypothesis h = hypothesis_of(name);
  const kavo::Shape shape = shape_of(h, rows, columns);
  std::vector<std::string> names;
  for (int i = 0; i < kavo::value_count(h, shape); ++i) names.push_back(kavo::value_name(h, shape, i));
  return py::make_tuple(kavo::hypothesis_name(h), kavo::program_name(h),
                        kavo::value_count(h, shape), kavo::dirichlet_count(h, shape), names);
}

// What the library says of a hypothesis (see kavo::HypothesisDescription).
py::dict describe_hypothesis(const std::string& name) {
  const kavo::HypothesisDescription info = kavo::describe_hypothesis(hypothesis_of(name));
  py::dict d;
  d["name"] = info.name;
  d["program"] = info.program;
  d["program_option"] = info.program_option;
  d["command"] = kavo::program_name(info.hypothesis);
  d["title"] = info.title;
  d["description"] = info.description;
  d["shape_kind"] = kavo::shape_kind_name(info.shape_kind);
  d["value_count"] = info.value_count;
  d["dirichlet_count"] = info.dirichlet_count;
  d["blocks"] = std::vector<int>(info.block_sizes, info.block_sizes + info.block_count);
  d["monte_carlo_limit"] = info.monte_carlo_limit;
  return d;
}

// What the library says of a method (see kavo::MethodDescription).
py::dict describe_method(const std::string& name) {
  const kavo::MethodDescription info = kavo::describe_method(method_of(name));
  py::dict d;
  d["name"] = info.name;
  d["title"] = info.title;
  d["description"] = info.description;
  d["error_column"] = info.error_column;
  d["error_meaning"] = info.error_meaning;
  d["full_digits"] = info.full_digits;
  return d;
}

std::vector<std::string> hypotheses() {
  std::vector<std::string> names;
  for (int i = 0; i < kavo::kHypothesisCount; ++i) {
    names.emplace_back(kavo::hypothesis_name(static_cast<kavo::Hypothesis>(i)));
  }
  return names;
}

}  // namespace

PYBIND11_MODULE(_core, m) {
  m.doc() = "kavo's C++ library (compute_many); use the functions of the kavo package instead.";
  m.def("compute_many", &compute_many, py::arg("hypothesis"), py::arg("values"),
        py::arg("method"), py::arg("max_draws"), py::arg("precision"), py::arg("seed"),
        py::arg("threads"), py::arg("rows") = 0, py::arg("columns") = 0,
        "Computes the tables of a C-contiguous (n, value_count) float64 array of the shape\n"
        "rows x columns (0 x 0: the hypothesis's fixed shape); returns the arrays\n"
        "(status codes, evidence, error, draws, log10_evidence, sev, g2, df), NaN and -1\n"
        "where the status is not 0.");
  m.def("time_compute_many", &time_compute_many, py::arg("hypothesis"), py::arg("values"),
        py::arg("method"), py::arg("max_draws"), py::arg("precision"), py::arg("seed"),
        py::arg("threads"), "Seconds taken by compute_many alone on the array (for benchmarks).");
  m.def("status_name", [](int code) { return kavo::status_name(static_cast<kavo::Status>(code)); },
        py::arg("code"));
  m.def("describe", [](int code) { return kavo::describe(static_cast<kavo::Status>(code)); },
        py::arg("code"));
  m.def("hypothesis_info", &hypothesis_info, py::arg("name"), py::arg("rows") = 0,
        py::arg("columns") = 0,
        "(name, program, value_count, dirichlet_count, value_names) of a hypothesis or program.");
  m.def("describe_hypothesis", &describe_hypothesis, py::arg("name"),
        "The library's description of a hypothesis: name, program, program_option, command,\n"
        "title, description, shape_kind, value_count, dirichlet_count, blocks,\n"
        "monte_carlo_limit.");
  m.def("describe_method", &describe_method, py::arg("name"),
        "The library's description of a method: name, title, description, error_column,\n"
        "error_meaning, full_digits.");
  m.attr("MAX_THREADS") = kavo::kMaxThreads;
  m.def("hypotheses", &hypotheses);
  m.def("methods", &method_names);
  m.def("version", &kavo::version);
}
