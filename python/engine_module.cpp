// cluster_analysis._engine: the library's calls for Python, on NumPy
// arrays. The package (cluster_analysis/__init__.py) checks and converts
// what the caller gives and documents every function; this module runs the
// library with the interpreter's lock released, on a worker thread, so that
// Ctrl-C (a KeyboardInterrupt) stops a long run within a fraction of a
// second, and turns the library's errors into Python's.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <chrono>
#include <cluster_analysis/cluster_analysis.h>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace py = pybind11;
namespace ca = cluster_analysis;

namespace {

// How often the waiting interpreter looks for a signal.
constexpr std::chrono::milliseconds kSignalPoll{50};

// Runs `work(cancel)` on a worker thread while this thread, without the
// interpreter's lock, waits for it and now and then takes the lock to let
// Python see a pending signal. A signal's exception (KeyboardInterrupt)
// cancels the run, which then ends within milliseconds, and is raised
// once the worker is done; everything the run made is released by then.
template <typename Work>
auto Interruptibly(Work work) -> decltype(work(std::declval<const std::atomic<bool>*>())) {
  using Result = decltype(work(std::declval<const std::atomic<bool>*>()));
  std::atomic<bool> cancel{false};
  std::optional<Result> result;
  std::exception_ptr failure;
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  bool interrupted = false;
  {
    py::gil_scoped_release release;
    std::thread worker([&] {
      try {
        result.emplace(work(&cancel));
      } catch (...) {
        failure = std::current_exception();
      }
      const std::lock_guard<std::mutex> lock(mutex);
      done = true;
      finished.notify_all();
    });
    std::unique_lock<std::mutex> lock(mutex);
    while (!done) {
      if (finished.wait_for(lock, kSignalPoll, [&] { return done; })) break;
      if (interrupted) continue;
      lock.unlock();
      {
        py::gil_scoped_acquire acquire;
        if (PyErr_CheckSignals() != 0) {
          interrupted = true;
          cancel = true;
        }
      }
      lock.lock();
    }
    lock.unlock();
    worker.join();
  }
  if (interrupted) throw py::error_already_set();
  if (failure) std::rethrow_exception(failure);
  return std::move(*result);
}

// SciPy's linkage matrix of a tree, as a NumPy array of (n - 1) x 4, in
// the tree's own order or the one given.
py::array_t<double> LinkageArray(const ca::Tree& tree, const std::vector<std::int32_t>* order = nullptr) {
  const std::vector<double> z = order != nullptr ? ca::ScipyLinkageMatrix(tree, *order) : ca::ScipyLinkageMatrix(tree);
  py::array_t<double> array({static_cast<py::ssize_t>(z.size() / 4), static_cast<py::ssize_t>(4)});
  std::copy(z.begin(), z.end(), array.mutable_data());
  return array;
}

ca::Method MethodOf(const std::string& name) {
  const std::optional<ca::Method> method = ca::MethodNamed(name);
  if (!method) throw py::value_error("Invalid method: " + name);
  return *method;
}

template <typename Number>
std::span<const Number> SpanOf(const py::array_t<Number, py::array::c_style>& array) {
  return std::span<const Number>(array.data(), static_cast<std::size_t>(array.size()));
}

ca::Tree TreeOfLinkage(const py::array_t<double, py::array::c_style>& z) {
  if (z.ndim() != 2 || z.shape(1) != 4) throw py::value_error("Z must be a linkage matrix of 4 columns");
  return ca::TreeOfScipyLinkage(SpanOf(z), z.shape(0));
}

template <typename Number>
py::array_t<double> LinkageOfCondensed(const py::array_t<Number, py::array::c_style>& y, const std::string& name,
                                       bool squared) {
  const ca::Method method = MethodOf(name);
  const std::span<const Number> values = SpanOf(y);
  const ca::Tree tree = Interruptibly([&](const std::atomic<bool>* cancel) {
    ca::RunOptions options;
    options.squared = squared;
    options.cancel = cancel;
    return ca::ClusterDissimilarities(values, method, options);
  });
  return LinkageArray(tree);
}

template <typename Number>
py::array_t<double> LinkageOfObservations(const py::array_t<Number, py::array::c_style>& x, const std::string& name,
                                          const std::string& pathName, const std::string& metric, double p,
                                          bool pairwise, const std::vector<bool>& categorical) {
  const ca::Method method = MethodOf(name);
  const ca::Path path = pathName == "coordinates" ? ca::Path::coordinates
                        : pathName == "matrix"     ? ca::Path::matrix
                                                   : ca::Path::automatic;
  if (x.ndim() != 2) throw py::value_error("observations are a 2-dimensional array");
  const std::span<const Number> values = SpanOf(x);
  const std::int64_t rows = x.shape(0);
  const std::int64_t columns = x.shape(1);
  const ca::Tree tree = Interruptibly([&](const std::atomic<bool>* cancel) {
    ca::RunOptions options;
    options.path = path;
    options.metric = metric;
    options.p = p;
    options.missing = pairwise ? ca::Missing::pairwise : ca::Missing::refuse;
    options.categorical = categorical;
    options.cancel = cancel;
    return ca::ClusterObservations(values, rows, columns, method, options);
  });
  return LinkageArray(tree);
}

py::array_t<double> Pdist(const py::array_t<double, py::array::c_style>& x, const std::string& metric, double p,
                          bool pairwise, const std::vector<bool>& categorical) {
  if (x.ndim() != 2) throw py::value_error("observations are a 2-dimensional array");
  const std::span<const double> values = SpanOf(x);
  const std::int64_t rows = x.shape(0);
  const std::int64_t columns = x.shape(1);
  const auto pairs = rows < 2 ? 0 : rows * (rows - 1) / 2;
  py::array_t<double> array(static_cast<py::ssize_t>(pairs));
  const std::span<double> out(array.mutable_data(), static_cast<std::size_t>(pairs));
  Interruptibly([&](const std::atomic<bool>* cancel) {
    ca::RunOptions options;
    options.metric = metric;
    options.p = p;
    options.missing = pairwise ? ca::Missing::pairwise : ca::Missing::refuse;
    options.categorical = categorical;
    options.cancel = cancel;
    ca::ObservationDissimilarities(values, rows, columns, out, options);
    return 0;
  });
  return array;
}

py::array_t<std::int32_t> Cut(const py::array_t<double, py::array::c_style>& z, std::optional<std::int64_t> groups,
                              std::optional<double> height) {
  const ca::Tree tree = TreeOfLinkage(z);
  if (groups.has_value() == height.has_value()) throw py::value_error("give exactly one of n_clusters and height");
  std::vector<std::int32_t> cut;
  if (groups) {
    if (*groups < 1 || *groups > tree.objects) {
      throw py::value_error("n_clusters must be from 1 to " + std::to_string(tree.objects) + ", not " +
                            std::to_string(*groups));
    }
    cut = ca::CutIntoGroups(tree, static_cast<std::int32_t>(*groups));
  } else {
    cut = ca::CutAtHeight(tree, static_cast<long double>(*height));
  }
  py::array_t<std::int32_t> array(static_cast<py::ssize_t>(cut.size()));
  std::copy(cut.begin(), cut.end(), array.mutable_data());
  return array;
}

template <typename Number>
double Cophenetic(const py::array_t<double, py::array::c_style>& z, const py::array_t<Number, py::array::c_style>& y) {
  const ca::Tree tree = TreeOfLinkage(z);
  const std::span<const Number> values = SpanOf(y);
  return Interruptibly([&](const std::atomic<bool>*) { return ca::CopheneticCorrelation(tree, values); });
}

template <typename Number>
py::array_t<double> OptimalLeafOrdering(const py::array_t<double, py::array::c_style>& z,
                                        const py::array_t<Number, py::array::c_style>& y) {
  const ca::Tree tree = TreeOfLinkage(z);
  const std::span<const Number> values = SpanOf(y);
  const std::vector<std::int32_t> order = Interruptibly([&](const std::atomic<bool>* cancel) {
    ca::RunOptions options;
    options.cancel = cancel;
    return ca::OptimalLeafOrder(tree, values, options);
  });
  return LinkageArray(tree, &order);
}

// Bytes: labels may be bytes that are no UTF-8 (the package decodes them).
py::bytes Newick(const py::array_t<double, py::array::c_style>& z, const std::vector<std::string>& labels) {
  return py::bytes(ca::Newick(TreeOfLinkage(z), labels));
}

py::tuple Load(const std::string& path) {
  ca::DataFile data = ca::LoadDataFile(path);
  py::array_t<long double> y(static_cast<py::ssize_t>(data.condensed.size()));
  std::copy(data.condensed.begin(), data.condensed.end(), y.mutable_data());
  return py::make_tuple(data.labels, y);
}

}  // namespace

PYBIND11_MODULE(_engine, module) {
  module.doc() = "The exact engine behind cluster_analysis (see its functions' documentation there).";
  py::register_exception_translator([](std::exception_ptr failure) {
    try {
      if (failure) std::rethrow_exception(failure);
    } catch (const ca::InvalidArgument& error) {
      PyErr_SetString(PyExc_ValueError, error.what());
    } catch (const ca::OutOfMemory& error) {
      PyErr_SetString(PyExc_MemoryError, error.what());
    } catch (const ca::FileError& error) {
      PyErr_SetString(PyExc_OSError, error.what());
    } catch (const ca::Cancelled& error) {
      PyErr_SetString(PyExc_KeyboardInterrupt, error.what());
    } catch (const ca::Error& error) {
      PyErr_SetString(PyExc_RuntimeError, error.what());
    }
  });
  module.def("linkage_condensed", &LinkageOfCondensed<double>, py::arg("y"), py::arg("method"), py::arg("squared"));
  module.def("linkage_condensed", &LinkageOfCondensed<long double>, py::arg("y"), py::arg("method"),
             py::arg("squared"));
  module.def("linkage_observations", &LinkageOfObservations<double>, py::arg("x"), py::arg("method"), py::arg("path"),
             py::arg("metric"), py::arg("p"), py::arg("pairwise"), py::arg("categorical"));
  module.def("linkage_observations", &LinkageOfObservations<long double>, py::arg("x"), py::arg("method"),
             py::arg("path"), py::arg("metric"), py::arg("p"), py::arg("pairwise"), py::arg("categorical"));
  module.def("metrics", [] { return ca::MetricNames(); });
  module.def("pdist", &Pdist, py::arg("x"), py::arg("metric"), py::arg("p"), py::arg("pairwise"),
             py::arg("categorical"));
  module.def("cut", &Cut, py::arg("z"), py::arg("n_clusters"), py::arg("height"));
  module.def("cophenetic_correlation", &Cophenetic<double>, py::arg("z"), py::arg("y"));
  module.def("cophenetic_correlation", &Cophenetic<long double>, py::arg("z"), py::arg("y"));
  module.def("optimal_leaf_ordering", &OptimalLeafOrdering<double>, py::arg("z"), py::arg("y"));
  module.def("optimal_leaf_ordering", &OptimalLeafOrdering<long double>, py::arg("z"), py::arg("y"));
  module.def("to_newick", &Newick, py::arg("z"), py::arg("labels"));
  module.def("load", &Load, py::arg("path"));
  module.def("version", [] { return std::string(ca::Version()); });
  module.def("methods", [] {
    std::vector<std::string> names;
    for (const ca::Method method : ca::AllMethods()) names.emplace_back(ca::NameOf(method));
    return names;
  });
  module.def("coordinate_methods", [] {
    std::vector<std::string> names;
    for (const ca::Method method : ca::AllMethods()) {
      if (ca::WorksFromCoordinates(method)) names.emplace_back(ca::NameOf(method));
    }
    return names;
  });
}
