#include "common/real_text.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <locale.h>

namespace cluster {

namespace {

template <typename Number>
std::string CText(const char* format, Number value) {
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  const locale_t previous = uselocale(cLocale);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  uselocale(previous);
  return buffer;
}

}  // namespace

std::string ShortestText(Real value) {
  char buffer[64];
  const double narrow = static_cast<double>(value);
  const bool doubleHoldsIt =
      value == 0 || !std::isfinite(value) ||
      (std::isfinite(narrow) && std::fabs(narrow) >= std::numeric_limits<double>::min());
  const auto result = doubleHoldsIt ? std::to_chars(buffer, buffer + sizeof buffer, narrow)
                                    : std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string Text21(Real value) { return CText("%.21Lg", value); }
std::string Text15(Real value) { return CText("%.15Lg", value); }
std::string Text17(double value) { return CText("%.17g", value); }

}  // namespace cluster
