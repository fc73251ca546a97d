#include "engine/pass_team.h"

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
  exchange_.stop.store(true);
  exchange_.generation.fetch_add(1);
  exchange_.generation.notify_one();
  helper_.join();
}

void PassTeam::Publish(std::size_t count, std::size_t split, void* job, Trampoline call) {
  Exchange& x = exchange_;
  x.job = job;
  x.call = call;
  x.split = split;
  x.count = count;
  x.state.store(kOpen);
  x.generation.fetch_add(1);
  if (x.helperSleeps.load()) x.generation.notify_one();
}

void PassTeam::Abandon() noexcept {
  Exchange& x = exchange_;
  int open = kOpen;
  if (!x.state.compare_exchange_strong(open, kClosed)) {
    while (x.state.load(std::memory_order_acquire) != kLeft) std::this_thread::yield();
  }
  x.state.store(kIdle, std::memory_order_relaxed);
}

void PassTeam::Finish() {
  Exchange& x = exchange_;
  if (waitForHelper_) {
    while (x.state.load(std::memory_order_acquire) == kOpen) std::this_thread::yield();
  }
  int open = kOpen;
  if (x.state.compare_exchange_strong(open, kClosed)) {
    // The helper has not joined, and now cannot: the second part is ours.
    x.call(x.job, x.split, x.count, kSecondPart);
  } else {
    // The helper joined: wait for its part.
    for (int spins = 0; x.state.load(std::memory_order_acquire) != kLeft; ++spins) {
      if (spins < 4096) {
        PauseBriefly();
      } else {
        std::this_thread::yield();
      }
    }
    if (x.helperFlags != 0) std::feraiseexcept(x.helperFlags);
  }
  x.state.store(kIdle, std::memory_order_relaxed);
}

void PassTeam::HelperLoop() {
  Exchange& x = exchange_;
  std::uint64_t seen = 0;
  for (;;) {
    auto watchedSince = std::chrono::steady_clock::now();
    for (int spins = 0; x.generation.load(std::memory_order_acquire) == seen; ++spins) {
      PauseBriefly();
      if (spins % 256 != 255) continue;
      if (std::chrono::steady_clock::now() - watchedSince < kHelperWatch) continue;
      x.helperSleeps.store(true);
      x.generation.wait(seen);
      x.helperSleeps.store(false);
      watchedSince = std::chrono::steady_clock::now();
    }
    seen = x.generation.load(std::memory_order_acquire);
    if (x.stop.load()) return;
    int open = kOpen;
    if (!x.state.compare_exchange_strong(open, kJoined)) continue;
    std::feclearexcept(FE_ALL_EXCEPT);
    x.call(x.job, x.split, x.count, kSecondPart);
    // Inexact is raised by nearly every pass and read by nobody; raising it
    // again on the caller would cost a floating-point environment reload.
    x.helperFlags = std::fetestexcept(FE_ALL_EXCEPT & ~FE_INEXACT);
    x.state.store(kLeft, std::memory_order_release);
  }
}

}  // namespace cluster
