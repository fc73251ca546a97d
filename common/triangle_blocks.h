// Rows of a lower triangle cut into blocks of about equal work.
//
// Row i of a lower triangle holds i - 1 cells, so equal numbers of rows are
// far from equal work. Work shared between two cores, or done in pieces that
// fit the cache, takes its rows a block at a time from here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace cluster {

// The rows [First, End).
struct RowRange {
  std::int32_t First;
  std::int32_t End;
};

// The rows from `first` on, not beyond `last`, whose cells below the
// diagonal add up to about `cells`: at least one row, and none when `first`
// is beyond `last`.
inline RowRange TriangleBlockFrom(std::int32_t first, std::int32_t last, std::size_t cells) {
  RowRange rows{first, first};
  std::size_t taken = 0;
  while (rows.End <= last && (rows.End == first || taken < cells)) {
    taken += rows.End > 1 ? static_cast<std::size_t>(rows.End - 1) : 0;
    ++rows.End;
  }
  return rows;
}

}  // namespace cluster
