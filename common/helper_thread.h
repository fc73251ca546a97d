// A second thread that shares work with its owner.
//
// The program's long loops work on items that do not depend on one another:
// the rows of the agglomeration's set-up and of each merge's pass, blocks of
// cells converted at a capture, blocks of lines formatted for the echo. A
// second core halves their time. A HelperThread keeps one thread for its
// whole life; Run() does the first part of a pass on the calling thread
// while the helper does the rest, and returns when both parts are done. It
// is the one way the program uses a second core; RunSideBySide() below is
// Run() for two pieces of work.
//
// The caller never waits for a helper that has not started: if the helper
// is slow to wake (another program holds the other core), the caller does
// the second part too, closing the pass before the helper can join. It
// waits only for a part the helper has already taken.
//
// A pass costs a few cache lines passed between the cores, so it is split
// in two parts only, not handed out in many chunks.
//
// Floating-point flags belong to a thread. The helper starts each pass with
// its flags clear, and the flags it raised are raised again on the calling
// thread before Run() returns, so the caller reads its flags as if it had
// done the whole pass alone.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

namespace cluster {

class HelperThread {
 public:
  // Which part of a pass a call is for, whichever thread runs it. Work
  // that keeps results per part (a least value, a list) indexes them by
  // this: each part runs exactly once, so no result is overwritten.
  enum Part : int { kFirstPart = 0, kSecondPart = 1 };

  HelperThread();
  ~HelperThread();
  HelperThread(const HelperThread&) = delete;
  HelperThread& operator=(const HelperThread&) = delete;

  // For tests: the caller waits for the helper to take the second part of
  // every pass instead of taking it itself, so the helper's path runs
  // whatever the machine's load.
  void SetWaitForHelper(bool wait) noexcept { waitForHelper_ = wait; }

  // Calls job(0, split, kFirstPart) on this thread and job(split, count,
  // kSecondPart) on the helper, or on this thread when the helper did not
  // join in time (split <= count). The parts must not depend on each
  // other. The job should not throw: on the helper that ends the program;
  // on the caller the pass is abandoned and the exception passes on.
  template <typename Job>
  void Run(std::size_t count, std::size_t split, Job& job) {
    Publish(count, split, &job, [](void* context, std::size_t begin, std::size_t end, Part part) {
      (*static_cast<Job*>(context))(begin, end, part);
    });
    try {
      job(0, split, kFirstPart);
    } catch (...) {
      // The job's state is about to go: the helper must be done with it,
      // and the next pass must find the team idle.
      Abandon();
      throw;
    }
    Finish();
  }

 private:
  using Trampoline = void (*)(void*, std::size_t, std::size_t, Part);
  enum State : int { kIdle, kOpen, kJoined, kLeft, kClosed };

  void Publish(std::size_t count, std::size_t split, void* job, Trampoline call);
  void Finish();
  // Ends a pass whose first part failed: waits for a helper that joined,
  // runs nothing more.
  void Abandon() noexcept;
  void HelperLoop();

  // What the caller and the helper exchange, in one cache line.
  struct alignas(64) Exchange {
    void* job = nullptr;  // the pass on offer, written before it opens
    Trampoline call = nullptr;
    std::size_t split = 0;
    std::size_t count = 0;
    std::atomic<int> state{kIdle};
    int helperFlags = 0;  // the helper's raised flags, read after kLeft
    std::atomic<std::uint64_t> generation{0};  // counts passes offered
    std::atomic<bool> helperSleeps{false};
    std::atomic<bool> stop{false};
  };
  Exchange exchange_;
  bool waitForHelper_ = false;
  std::thread helper_;
};

// A new helper thread, or nothing when there is no second core or no
// thread to be had (the caller then does all the work itself).
std::unique_ptr<HelperThread> MakeHelperThread();

// A helper for work outside the engine, made on first use and kept for the
// process's life; nothing when there is no second core or no thread to be
// had. Its work must not nest: a job never calls Run() on it again.
HelperThread* SharedHelperThread();

// Runs two independent pieces of work at once on the shared helper, or one
// after the other without one (then the second does not start once the
// first has failed). An exception from either piece reaches the caller
// after both have ended; when both fail, the first piece's is the one
// raised. The second piece computes with the caller's rounding and
// precision; the floating-point flags it raises stay with it.
void RunSideBySide(const std::function<void()>& first, const std::function<void()>& second);

}  // namespace cluster
