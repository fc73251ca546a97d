// Work shared between two cores, and the row blocks it is cut into.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfenv>
#include <stdexcept>
#include <string>

#include "common/side_by_side.h"
#include "common/triangle_blocks.h"

namespace cluster {
namespace {

TEST(RunSideBySideTest, BothPiecesRunOnceAndTheirResultsAreSeenAfterwards) {
  for (int round = 0; round < 200; ++round) {
    int first = 0;
    int second = 0;
    RunSideBySide([&] { ++first; }, [&] { ++second; });
    ASSERT_EQ(first, 1);
    ASSERT_EQ(second, 1);
  }
}

TEST(RunSideBySideTest, TheFirstPiecesErrorWinsOverTheSeconds) {
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

TEST(RunSideBySideTest, TheSecondPieceRoundsAsTheCallerDoes) {
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

// ---- Row blocks of a lower triangle --------------------------------------

TEST(TriangleBlockFromTest, BlocksCoverEveryRowOnceWithAboutTheAskedWork) {
  for (const std::int32_t last : {1, 2, 3, 50, 1001}) {
    for (const std::size_t cells : {std::size_t{1}, std::size_t{7}, std::size_t{1000}, std::size_t{1} << 20}) {
      std::int32_t next = 2;
      while (next <= last) {
        const RowRange rows = TriangleBlockFrom(next, last, cells);
        ASSERT_EQ(rows.First, next);
        ASSERT_GT(rows.End, rows.First) << "a block holds at least one row";
        ASSERT_LE(rows.End, last + 1);
        // Cells of rows First..End-1: row i holds i - 1.
        std::size_t taken = 0;
        for (std::int32_t i = rows.First; i < rows.End; ++i) taken += static_cast<std::size_t>(i - 1);
        const std::size_t withoutLastRow = taken - static_cast<std::size_t>(rows.End - 2);
        if (rows.End <= last) {
          EXPECT_GE(taken, cells) << "a block short of the end holds enough";
        }
        if (rows.End - rows.First > 1) {
          EXPECT_LT(withoutLastRow, cells) << "but no more rows than needed";
        }
        next = rows.End;
      }
      EXPECT_EQ(next, std::max(last + 1, 2));
    }
  }
}

TEST(TriangleBlockFromTest, NoRowsBeyondTheLast) {
  const RowRange rows = TriangleBlockFrom(11, 10, 100);
  EXPECT_EQ(rows.First, 11);
  EXPECT_EQ(rows.End, 11);
}

}  // namespace
}  // namespace cluster
