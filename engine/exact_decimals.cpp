#include "engine/exact_decimals.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>

namespace cluster {

namespace {

// Fewer than 10^18: 18 significant digits.
constexpr std::int64_t kUnitsLimit = 1000000000000000000;

// A decimal: digits x 10^power.
struct Decimal {
  std::int64_t digits = 0;
  std::int32_t power = 0;
};

// The shortest decimal that reads back as `value`, as to_chars writes it
// ("5.1", "-0.001", "1.2345e-05", "1e+20"); nothing beyond 18 digits.
template <typename Number>
std::optional<Decimal> ShortestDecimal(Number value) {
  if (!std::isfinite(value)) return std::nullopt;
  char text[64];
  const std::to_chars_result written = std::to_chars(text, text + sizeof text, value);
  if (written.ec != std::errc()) return std::nullopt;
  const std::string_view chars(text, static_cast<std::size_t>(written.ptr - text));
  Decimal decimal;
  bool negative = false;
  std::size_t at = 0;
  if (at < chars.size() && chars[at] == '-') {
    negative = true;
    ++at;
  }
  int significant = 0;
  bool fraction = false;
  for (; at < chars.size() && chars[at] != 'e'; ++at) {
    if (chars[at] == '.') {
      fraction = true;
      continue;
    }
    const int digit = chars[at] - '0';
    if (decimal.digits == 0 && digit == 0) {
      if (fraction) --decimal.power;
      continue;
    }
    if (++significant > 18) return std::nullopt;
    decimal.digits = decimal.digits * 10 + digit;
    if (fraction) --decimal.power;
  }
  if (at < chars.size()) {
    int exponent = 0;
    std::from_chars(chars.data() + at + 1 + (chars[at + 1] == '+'), chars.data() + chars.size(), exponent);
    decimal.power += exponent;
  }
  if (decimal.digits == 0) decimal.power = 0;
  if (negative) decimal.digits = -decimal.digits;
  return decimal;
}

template <typename Number>
std::optional<DecimalTable> Decimals(const Number* values, std::size_t count) {
  std::vector<Decimal> decimals(count);
  std::int32_t least = std::numeric_limits<std::int32_t>::max();
  for (std::size_t k = 0; k < count; ++k) {
    const std::optional<Decimal> decimal = ShortestDecimal(values[k]);
    if (!decimal) return std::nullopt;
    decimals[k] = *decimal;
    if (decimal->digits != 0) least = std::min(least, decimal->power);
  }
  DecimalTable table;
  if (least == std::numeric_limits<std::int32_t>::max()) least = 0;  // all zero
  table.scale = -least;
  table.units.resize(count);
  for (std::size_t k = 0; k < count; ++k) {
    std::int64_t units = decimals[k].digits;
    for (std::int32_t shift = decimals[k].power - least; shift > 0 && units != 0; --shift) {
      if (units >= kUnitsLimit / 10 || units <= -kUnitsLimit / 10) return std::nullopt;
      units *= 10;
    }
    if (units >= kUnitsLimit || units <= -kUnitsLimit) return std::nullopt;
    table.units[k] = units;
    table.largest = std::max(table.largest, units < 0 ? -units : units);
  }
  return table;
}

}  // namespace

std::optional<DecimalTable> DecimalsOf(const double* values, std::size_t count) { return Decimals(values, count); }
std::optional<DecimalTable> DecimalsOf(const Real* values, std::size_t count) { return Decimals(values, count); }

bool SumsFit(const DecimalTable& table, std::int32_t columns) {
  // A difference is below 2 x largest, its square below 4 x largest^2.
  const Real largest = static_cast<Real>(table.largest);
  return static_cast<Real>(columns) * 4 * largest * largest < 0x1p127L;
}

Real PowerOfTen(std::int32_t power) {
  Real value = 1;
  for (std::int32_t k = 0; k < power; ++k) value *= 10;
  return value;
}

}  // namespace cluster
