// Milliseconds per phase of a batch run, for --timings.
#pragma once

#include <chrono>
#include <cstdio>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace cluster {

// Milliseconds of each phase that ran, in order, to the microsecond: the
// engine's phases at 1000 objects take a few milliseconds each.
class PhaseTimer {
 public:
  using Clock = std::chrono::steady_clock;

  // Room for every phase a run has, so that recording one (in a destructor,
  // while a failure may be on its way) never allocates.
  PhaseTimer() { phases_.reserve(kMostPhases); }

  template <typename Work>
  auto Time(const char* phase, Work work) {
    const auto start = Clock::now();
    struct Record {
      PhaseTimer* timer;
      const char* phase;
      Clock::time_point start;
      ~Record() { timer->phases_.emplace_back(phase, Clock::now() - start); }
    } record{this, phase, start};
    return work();
  }
  void Print(std::ostream& out, Clock::time_point begin) const {
    for (const auto& [phase, elapsed] : phases_) out << phase << '\t' << Milliseconds(elapsed) << '\n';
    out << "total\t" << Milliseconds(Clock::now() - begin) << '\n';
  }

 private:
  static std::string Milliseconds(Clock::duration d) {
    const auto microseconds = std::chrono::duration_cast<std::chrono::microseconds>(d).count();
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%03lld", static_cast<long long>(microseconds / 1000),
                  static_cast<long long>(microseconds % 1000));
    return text;
  }
  static constexpr std::size_t kMostPhases = 16;
  std::vector<std::pair<const char*, Clock::duration>> phases_;
};

}  // namespace cluster
