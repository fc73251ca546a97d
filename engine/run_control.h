// How a long run of the engine says how far it is, and learns that it is to
// stop.
//
// Every path of the engine takes one: the matrix path's set-up and merges,
// the single-linkage pass, the coordinate path's scans. The work calls
// Done() with the share of it done, now and then, on the thread that runs
// it; the control hands the share on to `progress` at most a thousand
// times a run, and reads the cancel flag, which any thread may set, at
// every call: a cancelled run throws ECancelled at its next step (within
// milliseconds), and everything it made is released as the exception goes.
// Work shared with the helper thread reads the flag through Cancelled()
// and stops early; the caller throws once the helper is done.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>

#include "common/errors.h"

namespace cluster {

class ECancelled : public Exception {
 public:
  ECancelled() : Exception("the run was cancelled") {}
};

class RunControl {
 public:
  RunControl() = default;
  explicit RunControl(std::function<void(double share)> progress, const std::atomic<bool>* cancel = nullptr)
      : progress_(std::move(progress)), cancel_(cancel) {}

  // The share of the work done, 0..1; may throw what `progress` throws.
  void Done(double share) {
    ThrowIfCancelled();
    if (!progress_ || share < next_) return;
    next_ = share >= 1 ? 2 : std::min(share + 0.001, 1.0);
    progress_(share);
  }
  bool Cancelled() const { return cancel_ != nullptr && cancel_->load(std::memory_order_relaxed); }
  void ThrowIfCancelled() const {
    if (Cancelled()) throw ECancelled();
  }

 private:
  std::function<void(double)> progress_;
  const std::atomic<bool>* cancel_ = nullptr;
  double next_ = 0;
};

// The share of a run's work done after `steps` of n - 1 steps, where a step
// costs a pass over the clusters (or objects) still left.
inline double WorkDone(std::int64_t steps, std::int64_t n) {
  const double left = static_cast<double>(n - steps) / static_cast<double>(n);
  return 1 - left * left;
}

// The share of a lower triangle's work done after its first `rows` rows of
// n (row i holds i - 1 pairs).
inline double TriangleDone(std::int64_t rows, std::int64_t n) {
  const double part = static_cast<double>(rows) / static_cast<double>(n);
  return part * part;
}

}  // namespace cluster
