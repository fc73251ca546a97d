// Two threads sharing one pass over many independent items.
//
// The agglomeration's set-up and each merge's pass work on rows that do not
// depend on one another, and a second core halves their time. A PassTeam
// keeps one helper thread for its whole life; Run() hands out chunks of a
// pass from a shared counter to the calling thread and the helper alike,
// and returns when every chunk is done.
//
// The caller never waits for a helper that has not started: if the helper
// is slow to wake (another program holds the other core), the caller takes
// every chunk itself and closes the pass before the helper can join. It
// waits only for a chunk the helper has already taken.
//
// Floating-point flags belong to a thread. The helper starts each pass with
// its flags clear, and the flags it raised are raised again on the calling
// thread before Run() returns, so the caller reads its flags as if it had
// done the whole pass alone.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

namespace cluster {

class PassTeam {
 public:
  // Which thread a chunk runs on: the caller or the helper. Work that keeps
  // per-thread results (a least value, a list) indexes them by this.
  enum Part : int { kCaller = 0, kHelper = 1 };

  PassTeam();
  ~PassTeam();
  PassTeam(const PassTeam&) = delete;
  PassTeam& operator=(const PassTeam&) = delete;

  // Calls job(begin, end, part) for chunks [begin, end) covering [0, count)
  // once each, on both threads. The job must not throw; chunks must be
  // independent of one another.
  template <typename Job>
  void Run(std::size_t count, std::size_t chunk, Job& job) {
    Publish(count, chunk, &job, [](void* context, std::size_t begin, std::size_t end, Part part) {
      (*static_cast<Job*>(context))(begin, end, part);
    });
    TakeChunks(kCaller);
    Finish();
  }

 private:
  using Trampoline = void (*)(void*, std::size_t, std::size_t, Part);
  enum State : int { kIdle, kOpen, kJoined, kLeft, kClosed };

  void Publish(std::size_t count, std::size_t chunk, void* job, Trampoline call);
  void TakeChunks(Part part);
  void Finish();
  void HelperLoop();

  // The pass on offer; written by the caller before it opens the pass.
  void* job_ = nullptr;
  Trampoline call_ = nullptr;
  std::size_t count_ = 0;
  std::size_t chunk_ = 1;
  std::atomic<std::size_t> next_{0};

  std::atomic<int> state_{kIdle};
  std::atomic<std::uint64_t> generation_{0};  // counts passes offered
  std::atomic<bool> helperSleeps_{false};
  std::atomic<bool> stop_{false};
  int helperFlags_ = 0;  // the helper's raised flags, read after kLeft
  std::thread helper_;
};

}  // namespace cluster
