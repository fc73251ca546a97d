// Observations that are decimals, held exactly.
//
// Measured data are decimals on a grid (0.1 cm, whole counts, scores), and
// many pairs of rows are exactly equally far apart; in binary floating
// point those equal distances come out unequal by rounding, and the tie
// rule then never sees them. When every coordinate of a table is a decimal
// with at most 18 significant digits once the table is put on one common
// decimal scale (value = units x 10^-scale), the units are whole numbers a
// 64-bit integer holds, and the squared Euclidean, city-block and Chebyshev
// distances are computed from them exactly: differences, squares and sums
// in 128-bit integers, the scale applied once at the end, so that equal
// distances are equal values.
//
// A coordinate is the decimal it was written as: the shortest decimal that
// reads back as the same number (what Python's repr and R's print show),
// for doubles or for 80-bit values read from text.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "common/float_checks.h"

namespace cluster {

struct DecimalTable {
  std::vector<std::int64_t> units;  // row-major, as the values
  std::int32_t scale = 0;           // value = units x 10^-scale
  std::int64_t largest = 0;         // the largest |units|
};

// The values as decimals on one scale, or nothing when one of them is no
// such decimal (more than 18 significant digits on the common scale, a
// value that is not finite).
std::optional<DecimalTable> DecimalsOf(const double* values, std::size_t count);
std::optional<DecimalTable> DecimalsOf(const Real* values, std::size_t count);

// Whether sums of squared differences of `columns` coordinates of the
// table stay within the 128-bit integers the exact distances use.
bool SumsFit(const DecimalTable& table, std::int32_t columns);

// 10^power, power >= 0, as one value (exact up to 10^27).
Real PowerOfTen(std::int32_t power);

}  // namespace cluster
