// The two-thread pass: every item exactly once, the helper's floating-point
// flags seen by the caller, and a team that starts and stops cleanly.
#include "engine/pass_team.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cfenv>
#include <chrono>
#include <cstddef>
#include <limits>
#include <thread>
#include <utility>
#include <vector>

namespace {

using cluster::PassTeam;

// Counts how often each item was visited and for which part.
struct CountingJob {
  std::vector<int> visits;
  std::vector<int> parts;
  void operator()(std::size_t begin, std::size_t end, PassTeam::Part part) {
    for (std::size_t k = begin; k < end; ++k) {
      ++visits[k];
      parts[k] = part;
    }
  }
};

TEST(PassTeam, VisitsEveryItemOnceWhateverTheSplit) {
  PassTeam team;
  const std::size_t counts[] = {0, 1, 2, 127, 1000};
  for (const std::size_t count : counts) {
    for (const std::size_t split : {std::size_t{0}, count / 3, count / 2, count}) {
      // Many passes in a row, as a run's merges come: the helper joins
      // some and misses others, and then the caller does the second part.
      for (int pass = 0; pass < 20; ++pass) {
        CountingJob job{std::vector<int>(count, 0), std::vector<int>(count, -1)};
        team.Run(count, split, job);
        for (std::size_t k = 0; k < count; ++k) {
          ASSERT_EQ(job.visits[k], 1) << "count " << count << " split " << split << " item " << k;
          // Results kept per part must not collide, whoever runs it.
          ASSERT_EQ(job.parts[k], k < split ? PassTeam::kFirstPart : PassTeam::kSecondPart);
        }
      }
    }
  }
}

// Records each call: its range and the thread it ran on.
struct RecordingJob {
  struct Call {
    std::size_t begin;
    std::size_t end;
    std::thread::id thread;
  };
  std::vector<Call> calls[2];
  void operator()(std::size_t begin, std::size_t end, PassTeam::Part part) {
    calls[part].push_back({begin, end, std::this_thread::get_id()});
  }
};

TEST(PassTeam, EachPartComesWholeAndTheFirstOnTheCaller) {
  PassTeam team;
  for (int pass = 0; pass < 60; ++pass) {
    // Now and then the helper has gone to sleep and wakes too late for
    // the pass; the caller then runs the second part too.
    if (pass % 10 == 9) std::this_thread::sleep_for(std::chrono::milliseconds(3));
    RecordingJob job;
    team.Run(1001, 400, job);
    ASSERT_EQ(job.calls[PassTeam::kFirstPart].size(), 1U);
    ASSERT_EQ(job.calls[PassTeam::kSecondPart].size(), 1U);
    const RecordingJob::Call& first = job.calls[PassTeam::kFirstPart][0];
    const RecordingJob::Call& second = job.calls[PassTeam::kSecondPart][0];
    EXPECT_EQ(first.begin, 0U);
    EXPECT_EQ(first.end, 400U);
    EXPECT_EQ(first.thread, std::this_thread::get_id());
    EXPECT_EQ(second.begin, 400U);
    EXPECT_EQ(second.end, 1001U);
  }
}

// Overflows in one item; whichever thread runs it, the caller must see the
// flag after the pass, as if it had done the arithmetic itself.
struct OverflowingJob {
  std::size_t overflowAt;
  void operator()(std::size_t begin, std::size_t end, PassTeam::Part) const {
    for (std::size_t k = begin; k < end; ++k) {
      volatile long double value = std::numeric_limits<long double>::max();
      if (k == overflowAt) value = value * value;
    }
  }
};

TEST(PassTeam, TheHelpersFloatingFlagsReachTheCaller) {
  PassTeam team;
  for (int pass = 0; pass < 200; ++pass) {
    std::feclearexcept(FE_ALL_EXCEPT);
    // In the second part: the helper's when it joins.
    OverflowingJob overflowing{999};
    team.Run(1000, 500, overflowing);
    ASSERT_NE(std::fetestexcept(FE_OVERFLOW), 0) << "pass " << pass;

    // A clean pass after it leaves the caller's flags clean: the helper
    // starts every pass with its own flags clear.
    std::feclearexcept(FE_ALL_EXCEPT);
    OverflowingJob clean{1000};
    team.Run(1000, 500, clean);
    ASSERT_EQ(std::fetestexcept(FE_OVERFLOW | FE_INVALID | FE_DIVBYZERO), 0) << "pass " << pass;
  }
  std::feclearexcept(FE_ALL_EXCEPT);
}

// The same, made certain to run on the helper: the first part waits until
// another thread has run the second.
TEST(PassTeam, FlagsRaisedOnTheHelperItselfReachTheCaller) {
  PassTeam team;
  const std::thread::id caller = std::this_thread::get_id();
  for (int pass = 0; pass < 20; ++pass) {
    struct Job {
      std::thread::id caller;
      std::atomic<bool> helperRan{false};
      void operator()(std::size_t, std::size_t, PassTeam::Part part) {
        if (part == PassTeam::kSecondPart) {
          volatile long double value = std::numeric_limits<long double>::max();
          value = value * value;
          if (std::this_thread::get_id() != caller) helperRan = true;
          return;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!helperRan && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
      }
    } job{caller};
    std::feclearexcept(FE_ALL_EXCEPT);
    team.Run(2, 1, job);
    ASSERT_TRUE(job.helperRan) << "pass " << pass;
    ASSERT_NE(std::fetestexcept(FE_OVERFLOW), 0) << "pass " << pass;
  }
  std::feclearexcept(FE_ALL_EXCEPT);
}

TEST(PassTeam, StartsAndStopsWithoutWork) {
  // A team that never ran a pass, and one destroyed right after a pass,
  // must both end (the destructor wakes and joins the helper).
  for (int round = 0; round < 50; ++round) {
    PassTeam idle;
  }
  for (int round = 0; round < 50; ++round) {
    PassTeam team;
    CountingJob job{std::vector<int>(300, 0), std::vector<int>(300, -1)};
    team.Run(300, 150, job);
    for (const int visits : job.visits) ASSERT_EQ(visits, 1);
  }
}

}  // namespace
