#include "engine/coordinates/scan_bounds.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "common/errors.h"
#include "engine/double_bounds.h"

namespace cluster {

namespace {

// Scan units never scale a column up by more than 2^4000: beyond that the
// 80-bit roundings of subnormal squares would grow past the allowance.
constexpr int kLeastExponent = -4000;
// A range beyond 2^8000 could make a squared distance overflow.
constexpr int kGreatestExponent = 8000;

}  // namespace

void CheckCoordinates(const Real* values, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (std::isnan(values[i])) throw EInvalidOp();
    if (std::isinf(values[i])) throw EOverflow();
  }
}

std::vector<Real> CentredRows(const Real* values, std::int32_t rows, std::int32_t columns) {
  const std::size_t count = static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns);
  CheckCoordinates(values, count);
  std::vector<Real> centred(values, values + count);
  for (std::int32_t k = 0; k < columns && rows > 0; ++k) {
    Real least = values[k];
    Real greatest = least;
    for (std::int32_t r = 1; r < rows; ++r) {
      const Real x = values[static_cast<std::size_t>(r) * columns + k];
      least = std::min(least, x);
      greatest = std::max(greatest, x);
    }
    // All of one sign and within a factor 2.5: the midpoint m then has
    // m / 2 <= x <= 2 m for every value x.
    // (Dividing rather than multiplying raises no overflow flag.)
    const bool positive = least > 0 && greatest / Real{2.5L} <= least;
    const bool negative = greatest < 0 && least / Real{2.5L} >= greatest;
    if (!positive && !negative) continue;
    const Real middle = least / 2 + greatest / 2;
    for (std::int32_t r = 0; r < rows; ++r) centred[static_cast<std::size_t>(r) * columns + k] -= middle;
  }
  return centred;
}

ScanBounds::ScanBounds(const Real* values, std::int32_t rows, std::int32_t columns)
    : columns_(columns),
      shift_(static_cast<std::size_t>(columns), 0),
      largest_(static_cast<std::size_t>(columns), 0) {
  CheckCoordinates(values, static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns));
  Real widest = 0;
  for (std::int32_t k = 0; k < columns; ++k) {
    Real least = rows > 0 ? values[k] : 0;
    Real greatest = least;
    for (std::int32_t r = 1; r < rows; ++r) {
      const Real x = values[static_cast<std::size_t>(r) * columns + k];
      least = std::min(least, x);
      greatest = std::max(greatest, x);
    }
    shift_[k] = least / 2 + greatest / 2;
    if (greatest / 4 - least / 4 > std::ldexp(Real{1}, kGreatestExponent)) throw EOverflow();
    for (std::int32_t r = 0; r < rows; ++r) {
      const Real y = std::fabs(values[static_cast<std::size_t>(r) * columns + k] - shift_[k]);
      largest_[k] = std::max(largest_[k], y);
    }
    widest = std::max(widest, largest_[k]);
  }
  if (widest > 0) {
    int exponent = 0;
    std::frexp(widest, &exponent);
    if (exponent > kGreatestExponent) throw EOverflow();
    exponent_ = std::max(exponent, kLeastExponent);
  }
  // |y| <= |computed (x - shift)| (1 + 2uL) in scan units.
  const Real margin = 1 + std::ldexp(Real{1}, -63);
  for (Real& largest : largest_) largest = std::ldexp(largest, -exponent_) * margin;
  SetAllowance();
}

void ScanBounds::Approximate(const Real* row, double* out) const {
  for (std::int32_t k = 0; k < columns_; ++k) {
    out[k] = static_cast<double>(std::ldexp(row[k] - shift_[k], -exponent_));
  }
}

void ScanBounds::Cover(const Real* row) {
  const Real margin = 1 + std::ldexp(Real{1}, -63);
  bool widened = false;
  for (std::int32_t k = 0; k < columns_; ++k) {
    const Real y = std::ldexp(std::fabs(row[k] - shift_[k]), -exponent_) * margin;
    if (y > largest_[k]) {
      largest_[k] = y;
      widened = true;
    }
  }
  if (widened) SetAllowance();
}

void ScanBounds::SetAllowance() {
  const Real u = std::ldexp(Real{1}, -53);
  const Real uL = std::ldexp(Real{1}, -64);
  const Real t = std::ldexp(Real{1}, -32);
  const Real d = columns_;
  const Real gamma = d * u / (1 - d * u);                  // the double sum of d squares
  const Real gammaL = (d + 2) * uL / (1 - (d + 2) * uL);  // the 80-bit squared distance
  Real epsSquared = 0;
  for (const Real largest : largest_) {
    const Real e = Real{4.01L} * u * largest + std::ldexp(Real{1}, -1072);
    epsSquared += e * e;
  }
  const Real fromDifferences = epsSquared * (1 + 1 / t);
  const Real subnormalSums = d * std::ldexp(Real{1}, -1074);
  // The 80-bit subnormal roundings, brought to scan units.
  const Real subnormalExact = (d + 2) * std::ldexp(Real{1}, -8000);
  const Real high = (1 + gammaL) / ((1 - gamma) * (1 - t));
  const Real low = (1 - gammaL) / ((1 + gamma) * (1 + t));
  const Real allowance =
      (1 + gammaL) * (subnormalSums / (1 - gamma) + fromDifferences) / (1 - t) + subnormalExact;
  const Real widen = 16 * u;
  factors_.high = DoubleAtOrAbove(high * (1 + widen));
  factors_.low = DoubleAtOrBelow(low * (1 - widen));
  factors_.allowance = DoubleAtOrAbove(allowance * (1 + widen));
}

double ScanBounds::ScaledAbove(Real exact) const { return DoubleAtOrAbove(std::ldexp(exact, -2 * exponent_)); }

double ScanBounds::ScaledBelow(Real exact) const { return DoubleAtOrBelow(std::ldexp(exact, -2 * exponent_)); }

}  // namespace cluster
