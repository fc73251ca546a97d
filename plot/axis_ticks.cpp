#include "plot/axis_ticks.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace cluster {

namespace {

constexpr int kTargetIntervals = 5;
constexpr int kFewestTicks = 4;
constexpr int kMostTicks = 10;
// pretty()'s bias towards the larger step.
constexpr double kBias = 1.5;
constexpr double kBiasFive = 0.5 + 1.5 * kBias;

// The steps in size order: mantissa 1, 2, 5 of a power of ten.
struct Step {
  int mantissa;  // 1, 2 or 5
  int exponent;
  double Value() const { return mantissa * std::pow(10.0, exponent); }
  Step Smaller() const { return mantissa == 1 ? Step{5, exponent - 1} : Step{mantissa == 5 ? 2 : 1, exponent}; }
  Step Larger() const { return mantissa == 5 ? Step{1, exponent + 1} : Step{mantissa == 1 ? 2 : 5, exponent}; }
};

Step PrettyStep(double range) {
  const double cell = range / kTargetIntervals;
  const int exponent = static_cast<int>(std::floor(std::log10(cell)));
  const double base = std::pow(10.0, exponent);
  // R's choice: the larger step unless it is much further from the cell.
  Step step{1, exponent};
  double unit = base;
  if (2 * base - cell < kBias * (cell - unit)) {
    step = {2, exponent};
    unit = 2 * base;
    if (5 * base - cell < kBiasFive * (cell - unit)) {
      step = {5, exponent};
      unit = 5 * base;
      if (10 * base - cell < kBias * (cell - unit)) step = {1, exponent + 1};
    }
  }
  return step;
}

// The multiples of step that cover [low, high].
std::pair<long long, long long> Span(double low, double high, double step) {
  long long first = static_cast<long long>(std::floor(low / step + 1e-7));
  long long last = static_cast<long long>(std::ceil(high / step - 1e-7));
  while (static_cast<double>(first) * step > low + 1e-10 * step) --first;
  while (static_cast<double>(last) * step < high - 1e-10 * step) ++last;
  return {first, last};
}

// k x mantissa x 10^exponent written out exactly, without the locale.
std::string MultipleText(long long multiple, int exponent) {
  if (multiple == 0) return exponent < 0 ? "0." + std::string(static_cast<std::size_t>(-exponent), '0') : "0";
  std::string digits = std::to_string(multiple < 0 ? -multiple : multiple);
  if (exponent >= 0) {
    digits += std::string(static_cast<std::size_t>(exponent), '0');
  } else {
    const auto decimals = static_cast<std::size_t>(-exponent);
    if (digits.size() <= decimals) digits.insert(0, decimals - digits.size() + 1, '0');
    digits.insert(digits.size() - decimals, ".");
  }
  return (multiple < 0 ? "-" : "") + digits;
}

}  // namespace

AxisTicks PrettyTicks(Real lowValue, Real highValue) {
  double low = static_cast<double>(std::min(lowValue, highValue));
  double high = static_cast<double>(std::max(lowValue, highValue));
  if (!(high - low > 0) || !std::isfinite(high - low)) {
    const double centre = std::isfinite(low) ? low : 0;
    low = centre == 0 ? 0 : centre - std::fabs(centre) / 2;
    high = centre == 0 ? 1 : centre + std::fabs(centre) / 2;
  }
  Step step = PrettyStep(high - low);
  for (int tries = 0; tries < 8; ++tries) {
    const auto [first, last] = Span(low, high, step.Value());
    const long long count = last - first + 1;
    if (count < kFewestTicks) {
      step = step.Smaller();
    } else if (count > kMostTicks) {
      step = step.Larger();
    } else {
      break;
    }
  }
  AxisTicks ticks;
  ticks.step = step.Value();
  const auto [first, last] = Span(low, high, step.Value());
  for (long long k = first; k <= last; ++k) {
    ticks.values.push_back(static_cast<Real>(k * step.mantissa) * std::pow(10.0L, step.exponent));
    ticks.texts.push_back(MultipleText(k * step.mantissa, step.exponent));
  }
  return ticks;
}

}  // namespace cluster
