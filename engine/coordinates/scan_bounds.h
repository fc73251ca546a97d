// Cheap double approximations of squared distances between centroids, and
// bounds that the exact 80-bit values are sure to lie within.
//
// The coordinate methods decide every merge in 80-bit arithmetic, but an
// 80-bit load and operation on x87 costs several times a double one in SSE
// registers, and a scan computes the distance from one centroid to every
// other. So the scans work on double copies of the centroids and turn each
// approximate square s into a lower and an upper bound of the exact value;
// only the few rows whose lower bound reaches the least upper bound are then
// computed in 80 bits. No decision is taken from a double.
//
// The double copies. Each column is shifted by the middle of its range and
// every column scaled by one power of two, so that every coordinate is at
// most 1 in magnitude: far from the origin a double would otherwise keep
// too little of a small difference, and no square can overflow or lose
// itself in the subnormal range. The scaling is exact, so the scans compare
// against exact values brought to the same units (ScaledAbove/Below).
//
// Why the bounds hold. Let y be a centroid's exact coordinate in scan units
// (its 80-bit value c, less the shift, times the scale) and |y| <= M in that
// column, u = 2^-53, uL = 2^-64. Its double a is within (u + 2uL)|y| +
// 2^-1074 of y, so the double difference of two coordinates is within
// e = 4.01 u M + 2^-1072 of the exact difference. With P the sum of the
// squared double differences and D the exact squared distance,
// |P - D| <= 2 eps sqrt(D) + eps^2 (Cauchy-Schwarz, eps^2 = sum of e^2)
// <= t D + eps^2 (1 + 1/t) for any t > 0 (here t = 2^-32, so the relative
// slack is tiny and the absolute one is eps^2 2^32, far below any distance
// that matters). The double sum s of d squares is within gamma_d P +
// d 2^-1074 of P, and the 80-bit value computed from the centroids (sum of
// squared differences in column order) within gamma_{d+2} (in uL) of D.
// Solving for the 80-bit value gives
//     low s - allowance <= exact <= high s + allowance,
// and widening low, high and the allowance by 16u covers the roundings of
// evaluating the bounds in doubles, and of Ward's weight: the scans divide
// the bounds by q = 1/na + 1/nb, or compare a lower bound with a bound
// times q, with 1/n rounded and q summed in doubles, q within 3u of the
// exact one (a lower bound at or below zero needs no care: every value is
// at least zero).
//
// Centroids are weighted means or midpoints, so they stay within the range
// of the observations up to 80-bit roundings; Cover() widens M for each new
// centroid that lies beyond it, so the bounds hold for every centroid.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/float_checks.h"
#include "engine/coordinates/scan_lanes.h"
#include "engine/squared_distance.h"

namespace cluster {

// The factors that turn a double squared distance into bounds (see above),
// small enough for a scanning thread to keep its own copy.
struct BoundFactors {
  double low;
  double high;
  double allowance;

  Lanes Lower(Lanes square) const { return square * Splat(low) - Splat(allowance); }
  Lanes Upper(Lanes square) const { return square * Splat(high) + Splat(allowance); }
  double Lower(double square) const { return square * low - allowance; }
  double Upper(double square) const { return square * high + allowance; }
};

class ScanBounds {
 public:
  // For `rows` observations of `columns` coordinates (row-major). Throws
  // EInvalidOp for a coordinate that is not a number, EOverflow for an
  // infinite one or for a column whose range is so wide (beyond 2^8000)
  // that squared distances could leave the extended range.
  ScanBounds(const Real* values, std::int32_t rows, std::int32_t columns);

  // The double copy of a row (an observation or a centroid): `columns` values.
  void Approximate(const Real* row, double* out) const;
  // Widens the allowance, where needed, to cover a new centroid.
  void Cover(const Real* row);

  // The factors for bounds of the exact squared distance, in scan units,
  // from the double squared distance of two copies.
  BoundFactors Factors() const { return factors_; }

  // An exact squared distance (or a multiple of one) in scan units, rounded
  // up or down to a double. Infinity stays infinity.
  double ScaledAbove(Real exact) const;
  double ScaledBelow(Real exact) const;

 private:
  void SetAllowance();

  std::int32_t columns_;
  int exponent_ = 0;           // scan units: (c - shift) * 2^-exponent
  std::vector<Real> shift_;    // the middle of each column's range
  std::vector<Real> largest_;  // M: the largest |y| of each column, in scan units
  BoundFactors factors_{1, 1, 0};
};

// Throws EInvalidOp for the first of `count` values that is not a number,
// EOverflow if it is infinite.
void CheckCoordinates(const Real* values, std::size_t count);

// The observations moved, column by column, next to the origin where that
// is exact, for centroids to be computed in: a centroid far from the origin
// keeps only as many bits of its position within the data as its distance
// from the origin leaves it. A column whose values all lie within a factor
// 2.5 of each other (and so of their midpoint) is shifted by the midpoint,
// which subtracts exactly (Sterbenz), so that differences of observations,
// and the squared distances of single objects, keep the very bits of the
// unshifted values; any other column already reaches near the origin and is
// left as it is. Checks the values as CheckCoordinates does.
std::vector<Real> CentredRows(const Real* values, std::int32_t rows, std::int32_t columns);

}  // namespace cluster
