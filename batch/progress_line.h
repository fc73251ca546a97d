// Where a long batch run stands, on one line of standard error.
//
// Once a run has taken about a second, a line shows the phase (loading,
// distances, merging, drawing), the share of it done, the time elapsed and
// an estimate of the time left, a few times a second, rewritten in place.
// It is shown when standard error is a terminal, or when asked for
// (--progress), never when silenced (--quiet), so that scripts see the same
// output as ever. The work reports how far it is through an atomic counter,
// read by the report's own thread; the line is cleared when the report ends.
// The clock is the steady clock unless one is given (a test's), and the
// thread may be left out: whoever then calls Draw() draws the line.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace cluster {

class ProgressLine {
 public:
  using Clock = std::chrono::steady_clock;
  using Now = std::function<Clock::time_point()>;
  enum class Drawing { kOwnThread, kByTheCaller };

  // Shown when `show` is true, from `quietStart` after the start, every
  // `interval` (by its own thread, or whenever the caller calls Draw());
  // the phases and counters work either way. `now` tells the time.
  explicit ProgressLine(bool show, Clock::duration quietStart = std::chrono::seconds(1),
                        Clock::duration interval = std::chrono::milliseconds(250), Now now = Clock::now,
                        Drawing drawing = Drawing::kOwnThread);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Whether a report is shown by default: standard error is a terminal.
  static bool StandardErrorIsTerminal();

  // How the units of a phase weigh: all alike; rows of a lower triangle (row
  // i holds i - 1 values); or merges, each costing as many clusters as are
  // left.
  enum class Measure { kUnits, kTriangleRows, kMerges };

  // Starts a phase of `total` units (0: no share can be told); its counter
  // starts at 0.
  void Begin(const std::string& phase, std::int64_t total, Measure measure = Measure::kUnits);

  // The share of a phase that `done` of `total` units are.
  static double ShareOf(std::int64_t done, std::int64_t total, Measure measure);
  // The counter of units done in the current phase.
  std::atomic<std::int64_t>& Done() { return done_; }
  // Writes a message of its own line on standard error: the progress line,
  // when shown, is cleared first and comes back below it.
  void Note(const std::string& message);
  // Clears the line and stops reporting (also done on destruction).
  void End();
  // Draws the line as it stands now, once the quiet start has passed.
  void Draw();

  // The line for a phase, a share done (0..1, or below 0 when unknown) and
  // the seconds elapsed and left (left below 0 when unknown).
  static std::string Line(const std::string& phase, double share, double elapsed, double left);

 private:
  void Run();
  void DrawLocked();
  void ClearLine();

  const bool show_;
  const Clock::duration quietStart_;
  const Clock::duration interval_;
  const Now now_;
  const Clock::time_point start_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::string phase_;
  std::int64_t total_ = 0;
  Measure measure_ = Measure::kUnits;
  Clock::time_point phaseStart_;
  std::atomic<std::int64_t> done_{0};
  std::size_t shownLength_ = 0;
  std::thread thread_;
};

}  // namespace cluster
