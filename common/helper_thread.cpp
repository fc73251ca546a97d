#include "common/helper_thread.h"

#include <cfenv>
#include <chrono>
#include <exception>
#include <memory>
#include <system_error>

namespace cluster {

namespace {

// How long an idle helper keeps watching for the next pass before it
// sleeps. Merges follow one another within microseconds; a sleeping helper
// takes tens of microseconds to wake.
constexpr auto kHelperWatch = std::chrono::microseconds(300);

// Tells the core that this thread spins, so that its partner runs faster.
void PauseBriefly() { __builtin_ia32_pause(); }

}  // namespace

HelperThread::HelperThread() {
  // The helper computes with the caller's rounding and precision.
  std::fenv_t environment;
  std::fegetenv(&environment);
  helper_ = std::thread([this, environment] {
    std::fesetenv(&environment);
    HelperLoop();
  });
}

HelperThread::~HelperThread() {
  exchange_.stop.store(true);
  exchange_.generation.fetch_add(1);
  exchange_.generation.notify_one();
  helper_.join();
}

void HelperThread::Publish(std::size_t count, std::size_t split, void* job, Trampoline call) {
  Exchange& x = exchange_;
  x.job = job;
  x.call = call;
  x.split = split;
  x.count = count;
  x.state.store(kOpen);
  x.generation.fetch_add(1);
  if (x.helperSleeps.load()) x.generation.notify_one();
}

void HelperThread::Abandon() noexcept {
  Exchange& x = exchange_;
  int open = kOpen;
  if (!x.state.compare_exchange_strong(open, kClosed)) {
    while (x.state.load(std::memory_order_acquire) != kLeft) std::this_thread::yield();
  }
  x.state.store(kIdle, std::memory_order_relaxed);
}

void HelperThread::Finish() {
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

void HelperThread::HelperLoop() {
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

std::unique_ptr<HelperThread> MakeHelperThread() {
  if (std::thread::hardware_concurrency() < 2) return nullptr;
  try {
    return std::make_unique<HelperThread>();
  } catch (const std::system_error&) {
    return nullptr;
  }
}

HelperThread* SharedHelperThread() {
  static const std::unique_ptr<HelperThread> helper = MakeHelperThread();
  return helper.get();
}

void RunSideBySide(const std::function<void()>& first, const std::function<void()>& second) {
  HelperThread* const helper = SharedHelperThread();
  if (helper == nullptr) {
    first();
    second();
    return;
  }
  std::exception_ptr errors[2];
  std::atomic<bool> firstFailed{false};
  // The second piece turns numbers into texts and back as the caller does:
  // on the helper it runs in the caller's floating-point environment, and
  // the flags it raises are cleared after it rather than raised again on
  // the caller.
  std::fenv_t callersEnvironment;
  std::fegetenv(&callersEnvironment);
  const std::thread::id caller = std::this_thread::get_id();
  auto job = [&](std::size_t, std::size_t, HelperThread::Part part) {
    const bool onHelper = std::this_thread::get_id() != caller;
    if (onHelper) std::fesetenv(&callersEnvironment);
    try {
      if (part == HelperThread::kFirstPart) {
        first();
      } else if (!firstFailed.load()) {
        second();
      }
    } catch (...) {
      errors[part] = std::current_exception();
      if (part == HelperThread::kFirstPart) firstFailed.store(true);
    }
    if (onHelper) std::feclearexcept(FE_ALL_EXCEPT);
  };
  helper->Run(2, 1, job);
  if (errors[0]) std::rethrow_exception(errors[0]);
  if (errors[1]) std::rethrow_exception(errors[1]);
}

}  // namespace cluster
