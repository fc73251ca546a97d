#include "engine/pass_team.h"

#include <algorithm>
#include <cfenv>
#include <chrono>

namespace cluster {

namespace {

// How long an idle helper keeps watching for the next pass before it
// sleeps. Merges follow one another within microseconds; a sleeping helper
// takes tens of microseconds to wake.
constexpr auto kHelperWatch = std::chrono::microseconds(300);

void PauseBriefly() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

}  // namespace

PassTeam::PassTeam() {
  // The helper computes with the caller's rounding and precision.
  std::fenv_t environment;
  std::fegetenv(&environment);
  helper_ = std::thread([this, environment] {
    std::fesetenv(&environment);
    HelperLoop();
  });
}

PassTeam::~PassTeam() {
  stop_.store(true);
  generation_.fetch_add(1);
  generation_.notify_one();
  helper_.join();
}

void PassTeam::Publish(std::size_t count, std::size_t chunk, void* job, Trampoline call) {
  job_ = job;
  call_ = call;
  count_ = count;
  chunk_ = std::max<std::size_t>(chunk, 1);
  next_.store(0, std::memory_order_relaxed);
  state_.store(kOpen);
  generation_.fetch_add(1);
  if (helperSleeps_.load()) generation_.notify_one();
}

void PassTeam::TakeChunks(Part part) {
  for (;;) {
    const std::size_t begin = next_.fetch_add(chunk_, std::memory_order_relaxed);
    if (begin >= count_) return;
    call_(job_, begin, std::min(begin + chunk_, count_), part);
  }
}

void PassTeam::Finish() {
  int open = kOpen;
  if (!state_.compare_exchange_strong(open, kClosed)) {
    // The helper joined: wait for the chunk it holds.
    for (int spins = 0; state_.load(std::memory_order_acquire) != kLeft; ++spins) {
      if (spins < 4096) {
        PauseBriefly();
      } else {
        std::this_thread::yield();
      }
    }
    if (helperFlags_ != 0) std::feraiseexcept(helperFlags_);
  }
  state_.store(kIdle, std::memory_order_relaxed);
}

void PassTeam::HelperLoop() {
  std::uint64_t seen = 0;
  for (;;) {
    auto watchedSince = std::chrono::steady_clock::now();
    for (int spins = 0; generation_.load(std::memory_order_acquire) == seen; ++spins) {
      PauseBriefly();
      if (spins % 256 != 255) continue;
      if (std::chrono::steady_clock::now() - watchedSince < kHelperWatch) continue;
      helperSleeps_.store(true);
      generation_.wait(seen);
      helperSleeps_.store(false);
      watchedSince = std::chrono::steady_clock::now();
    }
    seen = generation_.load(std::memory_order_acquire);
    if (stop_.load()) return;
    int open = kOpen;
    if (!state_.compare_exchange_strong(open, kJoined)) continue;
    std::feclearexcept(FE_ALL_EXCEPT);
    TakeChunks(kHelper);
    helperFlags_ = std::fetestexcept(FE_ALL_EXCEPT);
    state_.store(kLeft, std::memory_order_release);
  }
}

}  // namespace cluster
