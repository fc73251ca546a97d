// The helper thread: every item of a pass exactly once, the helper's
// floating-point flags seen by the caller, a helper that starts and stops
// cleanly; and two pieces of work side by side.
#include "common/helper_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <cfenv>
#include <chrono>
#include <cstddef>
#include <limits>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

namespace {

using cluster::HelperThread;

// Counts how often each item was visited and for which part.
struct CountingJob {
  std::vector<int> visits;
  std::vector<int> parts;
  void operator()(std::size_t begin, std::size_t end, HelperThread::Part part) {
    for (std::size_t k = begin; k < end; ++k) {
      ++visits[k];
      parts[k] = part;
    }
  }
};

TEST(HelperThread, VisitsEveryItemOnceWhateverTheSplit) {
  HelperThread team;
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
          ASSERT_EQ(job.parts[k], k < split ? HelperThread::kFirstPart : HelperThread::kSecondPart);
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
  void operator()(std::size_t begin, std::size_t end, HelperThread::Part part) {
    calls[part].push_back({begin, end, std::this_thread::get_id()});
  }
};

TEST(HelperThread, EachPartComesWholeAndTheFirstOnTheCaller) {
  HelperThread team;
  for (int pass = 0; pass < 60; ++pass) {
    // Now and then the helper has gone to sleep and wakes too late for
    // the pass; the caller then runs the second part too.
    if (pass % 10 == 9) std::this_thread::sleep_for(std::chrono::milliseconds(3));
    RecordingJob job;
    team.Run(1001, 400, job);
    ASSERT_EQ(job.calls[HelperThread::kFirstPart].size(), 1U);
    ASSERT_EQ(job.calls[HelperThread::kSecondPart].size(), 1U);
    const RecordingJob::Call& first = job.calls[HelperThread::kFirstPart][0];
    const RecordingJob::Call& second = job.calls[HelperThread::kSecondPart][0];
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
  void operator()(std::size_t begin, std::size_t end, HelperThread::Part) const {
    for (std::size_t k = begin; k < end; ++k) {
      volatile long double value = std::numeric_limits<long double>::max();
      if (k == overflowAt) value = value * value;
    }
  }
};

TEST(HelperThread, TheHelpersFloatingFlagsReachTheCaller) {
  HelperThread team;
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

// The same, made certain to run on the helper (the caller waits for it),
// for each flag the engine reads: the split cells' checks read all four.
TEST(HelperThread, EveryFlagRaisedOnTheHelperReachesTheCaller) {
  HelperThread team;
  team.SetWaitForHelper(true);
  const std::thread::id caller = std::this_thread::get_id();
  struct Case {
    int flag;
    long double (*raise)(long double);
  };
  const Case cases[] = {
      {FE_OVERFLOW, [](long double big) { return big * big; }},
      {FE_UNDERFLOW, [](long double big) { return (1 / big) / big; }},
      {FE_INVALID, [](long double big) { return (big * 0) * std::numeric_limits<long double>::infinity(); }},
      {FE_DIVBYZERO, [](long double big) { return big / (big * 0); }},
  };
  for (const Case& test : cases) {
    for (int pass = 0; pass < 5; ++pass) {
      struct Job {
        const Case& test;
        std::thread::id caller;
        bool helperRan = false;
        void operator()(std::size_t, std::size_t, HelperThread::Part part) {
          if (part != HelperThread::kSecondPart) return;
          volatile long double big = std::numeric_limits<long double>::max();
          volatile long double result = test.raise(big);
          (void)result;
          helperRan = std::this_thread::get_id() != caller;
        }
      } job{test, caller};
      std::feclearexcept(FE_ALL_EXCEPT);
      team.Run(2, 1, job);
      ASSERT_TRUE(job.helperRan) << "flag " << test.flag;
      EXPECT_NE(std::fetestexcept(test.flag), 0) << "flag " << test.flag << " pass " << pass;
    }
  }
  std::feclearexcept(FE_ALL_EXCEPT);
}

// A first part that throws abandons the pass: the helper is done with the
// job before the exception leaves Run(), and the next pass runs normally.
TEST(HelperThread, AFailingFirstPartLeavesTheTeamReady) {
  HelperThread team;
  for (int pass = 0; pass < 20; ++pass) {
    struct Failing {
      void operator()(std::size_t, std::size_t, HelperThread::Part part) {
        if (part == HelperThread::kFirstPart) throw std::runtime_error("first part");
      }
    } failing;
    EXPECT_THROW(team.Run(100, 50, failing), std::runtime_error);
    CountingJob job{std::vector<int>(100, 0), std::vector<int>(100, -1)};
    team.Run(100, 50, job);
    for (const int visits : job.visits) ASSERT_EQ(visits, 1);
  }
}

TEST(HelperThread, StartsAndStopsWithoutWork) {
  // A team that never ran a pass, and one destroyed right after a pass,
  // must both end (the destructor wakes and joins the helper).
  for (int round = 0; round < 50; ++round) {
    HelperThread idle;
  }
  for (int round = 0; round < 50; ++round) {
    HelperThread team;
    CountingJob job{std::vector<int>(300, 0), std::vector<int>(300, -1)};
    team.Run(300, 150, job);
    for (const int visits : job.visits) ASSERT_EQ(visits, 1);
  }
}

// ---- Two pieces of work side by side -------------------------------------

using cluster::RunSideBySide;

TEST(RunSideBySide, BothPiecesRunOnceAndTheirResultsAreSeenAfterwards) {
  for (int round = 0; round < 200; ++round) {
    int first = 0;
    int second = 0;
    RunSideBySide([&] { ++first; }, [&] { ++second; });
    ASSERT_EQ(first, 1);
    ASSERT_EQ(second, 1);
  }
}

TEST(RunSideBySide, TheFirstPiecesErrorWinsOverTheSeconds) {
  try {
    RunSideBySide([] { throw std::runtime_error("first"); }, [] { throw std::runtime_error("second"); });
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()), "first");
  }

  try {
    RunSideBySide([] {}, [] { throw std::runtime_error("second"); });
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()), "second");
  }
}

TEST(RunSideBySide, TheSecondPieceRoundsAsTheCallerDoes) {
  volatile long double one = 1.0L;
  const long double nearestThird = one / 3.0L;
  const int saved = std::fegetround();
  ASSERT_EQ(std::fesetround(FE_DOWNWARD), 0);
  const long double downwardThird = one / 3.0L;
  int secondRounding = -1;
  long double secondThird = 0;
  RunSideBySide([] {},
                [&] {
                  secondRounding = std::fegetround();
                  secondThird = one / 3.0L;
                });
  std::fesetround(saved);
  ASSERT_NE(downwardThird, nearestThird) << "a third must round differently downward";
  EXPECT_EQ(secondRounding, FE_DOWNWARD);
  EXPECT_EQ(secondThird, downwardThird);
}

}  // namespace
