// SciPy's condensed order of the pairs of n objects: (0, 1), (0, 2), ...,
// (0, n - 1), (1, 2), ..., row by row of the upper triangle.
#pragma once

#include <cstddef>
#include <cstdint>

namespace cluster {

// Where the condensed order keeps pair (i, j), 0 <= i < j < n.
constexpr std::size_t CondensedIndex(std::int64_t n, std::int64_t i, std::int64_t j) {
  return static_cast<std::size_t>(n * i - i * (i + 1) / 2 + (j - i - 1));
}

}  // namespace cluster
