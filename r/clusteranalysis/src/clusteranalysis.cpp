// The package's compiled part: the library of Cluster Analysis called from
// R through .Call. The library runs on a worker thread while R's thread
// waits for it and looks for a user interrupt every 50 ms: Ctrl-C cancels
// the run, which ends within milliseconds, and the R code then signals
// the interrupt.
// No R function is called on the worker, and no R error leaves while a C++
// object lives: errors are raised once every C++ object is gone.
#include <chrono>
#include <cmath>
#include <stdexcept>
#include <cluster_analysis/cluster_analysis.h>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#define R_NO_REMAP
#include <R.h>
#include <R_ext/Rdynload.h>
#include <Rinternals.h>

namespace {

namespace ca = cluster_analysis;

constexpr std::chrono::milliseconds kInterruptPoll{50};

void CheckInterrupt(void*) { R_CheckUserInterrupt(); }

// Whether the user has asked to interrupt, without leaving this frame.
bool InterruptPending() { return R_ToplevelExec(CheckInterrupt, nullptr) == FALSE; }

// What a call hands back to R: a tree, or the message of its failure.
struct Outcome {
  std::optional<ca::Tree> tree;
  std::string failure;
  bool interrupted = false;
};

// Runs `work(cancel)` on a worker thread, R's thread waiting.
template <typename Work>
Outcome Interruptibly(Work work) {
  Outcome outcome;
  std::atomic<bool> cancel{false};
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  std::thread worker([&] {
    try {
      outcome.tree.emplace(work(&cancel));
    } catch (const ca::Cancelled&) {
      // raised as R's interrupt below
    } catch (const std::exception& failure) {
      outcome.failure = failure.what();
    } catch (...) {
      outcome.failure = "unexpected failure";
    }
    const std::lock_guard<std::mutex> lock(mutex);
    done = true;
    finished.notify_all();
  });
  {
    std::unique_lock<std::mutex> lock(mutex);
    while (!finished.wait_for(lock, kInterruptPoll, [&] { return done; })) {
      if (!outcome.interrupted && InterruptPending()) {
        outcome.interrupted = true;
        cancel = true;
      }
    }
  }
  worker.join();
  return outcome;
}

// How the heights reach R: as the engine gives them, twice that (R's
// ward.D on the values given), or in SciPy's units (ward.D2, and the
// coordinates' methods as fastcluster gives them).
enum class Heights { kAsGiven, kTwice, kSciPy };

Heights HeightsNamed(const char* name) {
  if (std::strcmp(name, "twice") == 0) return Heights::kTwice;
  if (std::strcmp(name, "scipy") == 0) return Heights::kSciPy;
  return Heights::kAsGiven;
}

// R's record of a tree: merge (negative objects, positive earlier steps,
// a singleton before a cluster, of two clusters the earlier first), height
// and order (the leaves left to right).
struct RTree {
  std::vector<int> merge;  // column-major, (n - 1) x 2
  std::vector<double> height;
  std::vector<int> order;
  std::string failure;
};

RTree ToR(const ca::Tree& engineTree, Heights heights) {
  RTree r;
  try {
    const ca::Tree tree = heights == Heights::kSciPy ? ca::InSciPyUnits(engineTree) : engineTree;
    const std::int32_t n = tree.objects;
    const std::size_t merges = tree.merges.size();
    r.merge.resize(2 * merges);
    const auto entry = [n](std::int32_t id) { return id <= n ? -id : id - n; };
    for (std::size_t k = 0; k < merges; ++k) {
      const ca::Merge& merge = tree.merges[k];
      r.merge[k] = entry(merge.left);
      r.merge[merges + k] = entry(merge.right);
      const long double height = heights == Heights::kTwice ? 2 * merge.height : merge.height;
      if (!std::isfinite(static_cast<double>(height))) {
        throw std::range_error("merge " + std::to_string(k + 1) +
                               " lies beyond the largest number R's doubles hold");
      }
      r.height.push_back(static_cast<double>(height));
    }
    for (const std::int32_t object : ca::LeafOrder(tree)) r.order.push_back(object);
  } catch (const std::exception& failure) {
    r.failure = failure.what();
  }
  return r;
}

// list(merge, height, order); NULL after an interrupt (the R code signals
// it); or R's error, raised once nothing of C++ is left but plain data.
SEXP Answer(Outcome outcome, Heights heights) {
  if (outcome.interrupted) return R_NilValue;
  RTree r;
  if (outcome.tree) {
    r = ToR(*outcome.tree, heights);
  } else {
    r.failure = outcome.failure;
  }
  outcome = Outcome();
  if (!r.failure.empty()) {
    char message[1024];
    std::snprintf(message, sizeof message, "%s", r.failure.c_str());
    r = RTree();
    Rf_error("%s", message);
  }
  const R_xlen_t merges = static_cast<R_xlen_t>(r.height.size());
  SEXP merge = PROTECT(Rf_allocMatrix(INTSXP, static_cast<int>(merges), 2));
  std::copy(r.merge.begin(), r.merge.end(), INTEGER(merge));
  SEXP height = PROTECT(Rf_allocVector(REALSXP, merges));
  std::copy(r.height.begin(), r.height.end(), REAL(height));
  SEXP order = PROTECT(Rf_allocVector(INTSXP, static_cast<R_xlen_t>(r.order.size())));
  std::copy(r.order.begin(), r.order.end(), INTEGER(order));
  SEXP result = PROTECT(Rf_allocVector(VECSXP, 3));
  SET_VECTOR_ELT(result, 0, merge);
  SET_VECTOR_ELT(result, 1, height);
  SET_VECTOR_ELT(result, 2, order);
  SEXP names = PROTECT(Rf_allocVector(STRSXP, 3));
  SET_STRING_ELT(names, 0, Rf_mkChar("merge"));
  SET_STRING_ELT(names, 1, Rf_mkChar("height"));
  SET_STRING_ELT(names, 2, Rf_mkChar("order"));
  Rf_setAttrib(result, R_NamesSymbol, names);
  UNPROTECT(5);
  return result;
}

ca::Method EngineMethod(SEXP name) {
  return *ca::MethodNamed(CHAR(STRING_ELT(name, 0)));
}

}  // namespace

extern "C" {

// d: the dissimilarities of a "dist" object (doubles, in its order);
// method: the engine's method name; squared: whether they are squares;
// heights: "as_given", "twice" or "scipy".
SEXP ca_cluster_dissimilarities(SEXP d, SEXP method, SEXP squared, SEXP heights) {
  const std::span<const double> values(REAL(d), static_cast<std::size_t>(XLENGTH(d)));
  const ca::Method engineMethod = EngineMethod(method);
  const bool squares = Rf_asLogical(squared) == TRUE;
  const Heights wanted = HeightsNamed(CHAR(STRING_ELT(heights, 0)));
  return Answer(Interruptibly([&](const std::atomic<bool>* cancel) {
                  ca::RunOptions options;
                  options.squared = squares;
                  options.cancel = cancel;
                  return ca::ClusterDissimilarities(values, engineMethod, options);
                }),
                wanted);
}

// x: a numeric matrix (column-major), one observation a row, clustered from
// its coordinates; heights in SciPy's units.
SEXP ca_cluster_observations(SEXP x, SEXP method, SEXP metric, SEXP p) {
  SEXP dims = Rf_getAttrib(x, R_DimSymbol);
  const std::int64_t rows = INTEGER(dims)[0];
  const std::int64_t columns = INTEGER(dims)[1];
  const double* values = REAL(x);
  const ca::Method engineMethod = EngineMethod(method);
  const std::string metricName = CHAR(STRING_ELT(metric, 0));
  const double exponent = REAL(p)[0];
  Outcome outcome;
  {
    std::vector<double> rowMajor(static_cast<std::size_t>(rows * columns));
    for (std::int64_t r = 0; r < rows; ++r) {
      for (std::int64_t c = 0; c < columns; ++c) rowMajor[static_cast<std::size_t>(r * columns + c)] = values[c * rows + r];
    }
    outcome = Interruptibly([&](const std::atomic<bool>* cancel) {
      ca::RunOptions options;
      options.path = ca::Path::coordinates;
      options.metric = metricName;
      options.p = exponent;
      options.cancel = cancel;
      return ca::ClusterObservations(rowMajor, rows, columns, engineMethod, options);
    });
  }
  return Answer(std::move(outcome), Heights::kSciPy);
}

static const R_CallMethodDef kCallMethods[] = {
    {"ca_cluster_dissimilarities", reinterpret_cast<DL_FUNC>(&ca_cluster_dissimilarities), 4},
    {"ca_cluster_observations", reinterpret_cast<DL_FUNC>(&ca_cluster_observations), 4},
    {nullptr, nullptr, 0}};

void R_init_clusteranalysis(DllInfo* info) {
  R_registerRoutines(info, nullptr, kCallMethods, nullptr, nullptr);
  R_useDynamicSymbols(info, FALSE);
}

}  // extern "C"
