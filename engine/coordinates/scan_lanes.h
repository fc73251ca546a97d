// The lanes that the coordinate scans compute with: two doubles in one SSE
// register (GCC's vector extension, so no intrinsics are needed and the
// code reads like scalar arithmetic), and the blocks of eight rows that a
// scan takes at a time.
//
// Comparisons of lanes give masks, a lane all ones where true; the ternary
// operator picks lane by lane.
#pragma once

#include <cstddef>
#include <cstring>
#include <limits>

namespace cluster {

using Lanes = double __attribute__((vector_size(16)));
using LaneMask = long long __attribute__((vector_size(16)));

inline constexpr int kLaneWidth = 2;
// Rows per block, and so the lanes that hold one value for each of them.
inline constexpr int kBlockRows = 8;
inline constexpr int kBlockLanes = kBlockRows / kLaneWidth;

inline constexpr double kInfinity = std::numeric_limits<double>::infinity();

inline Lanes LoadLanes(const double* from) {
  Lanes lanes;
  std::memcpy(&lanes, from, sizeof lanes);
  return lanes;
}

inline void StoreLanes(double* to, Lanes lanes) { std::memcpy(to, &lanes, sizeof lanes); }

inline Lanes Splat(double value) { return Lanes{value, value}; }

inline Lanes LeastOf(Lanes a, Lanes b) { return a < b ? a : b; }
inline Lanes LargestOf(Lanes a, Lanes b) { return a > b ? a : b; }

inline bool AnyLane(LaneMask mask) { return (mask[0] | mask[1]) != 0; }

// One value for each row of a block, as the scans pass them on.
struct BlockValues {
  Lanes lanes[kBlockLanes];

  double operator[](int row) const { return lanes[row / kLaneWidth][row % kLaneWidth]; }
};

}  // namespace cluster
