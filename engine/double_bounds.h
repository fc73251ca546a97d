// Doubles that bound an 80-bit value: the least double at or above it and
// the greatest at or below, found without touching the floating-point error
// flags (converting a value beyond the double range would raise overflow
// in the middle of a run's arithmetic). Different bounds above order their
// values as the values themselves are ordered, which lets a double
// comparison decide where it can and an 80-bit one only where it cannot.
#pragma once

#include <cmath>
#include <limits>

#include "common/float_checks.h"

namespace cluster {

inline double DoubleAtOrAbove(Real value) {
  constexpr double kLargest = std::numeric_limits<double>::max();
  constexpr double kInfinite = std::numeric_limits<double>::infinity();
  if (value < -kLargest) return -kLargest;
  if (!(value <= kLargest)) return kInfinite;
  double bound = static_cast<double>(value);
  if (static_cast<Real>(bound) < value) bound = std::nextafter(bound, kInfinite);
  return bound;
}

inline double DoubleAtOrBelow(Real value) {
  constexpr double kLargest = std::numeric_limits<double>::max();
  constexpr double kInfinite = std::numeric_limits<double>::infinity();
  if (value > kLargest) return std::isinf(value) ? kInfinite : kLargest;
  if (!(value >= -kLargest)) return -kInfinite;
  double bound = static_cast<double>(value);
  if (static_cast<Real>(bound) > value) bound = std::nextafter(bound, -kInfinite);
  return bound;
}

}  // namespace cluster
