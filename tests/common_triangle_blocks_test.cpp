// The rows of a lower triangle cut into blocks of about equal work.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/triangle_blocks.h"

namespace cluster {
namespace {

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
