#include "plot/axis_ticks.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace cluster {

namespace {

constexpr int kTargetIntervals = 5;
constexpr int kFewestTicks = 4;
// pretty()'s bias towards the larger step.
constexpr Real kBias = 1.5L;
constexpr Real kBiasFive = 0.5L + 1.5L * kBias;

// The steps in size order: mantissa 1, 2, 5 of a power of ten. In 80 bits,
// so that heights beyond a double's range still get their round steps.
struct Step {
  int mantissa;  // 1, 2 or 5
  int exponent;
  Real Value() const { return mantissa * std::pow(10.0L, static_cast<Real>(exponent)); }
  Step Smaller() const { return mantissa == 1 ? Step{5, exponent - 1} : Step{mantissa == 5 ? 2 : 1, exponent}; }
  Step Larger() const { return mantissa == 5 ? Step{1, exponent + 1} : Step{mantissa == 1 ? 2 : 5, exponent}; }
};

Step PrettyStep(Real range) {
  const Real cell = range / kTargetIntervals;
  const int exponent = static_cast<int>(std::floor(std::log10(cell)));
  const Real base = std::pow(10.0L, static_cast<Real>(exponent));
  // R's choice: the larger step unless it is much further from the cell.
  Step step{1, exponent};
  Real unit = base;
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
std::pair<long long, long long> Span(Real low, Real high, Real step) {
  auto first = static_cast<long long>(std::floor(low / step + 1e-7L));
  auto last = static_cast<long long>(std::ceil(high / step - 1e-7L));
  while (static_cast<Real>(first) * step > low + 1e-10L * step) --first;
  while (static_cast<Real>(last) * step < high - 1e-10L * step) ++last;
  return {first, last};
}

// k x mantissa x 10^exponent written out exactly, without the locale: in
// full up to 15 digits, else in scientific notation.
std::string MultipleText(long long multiple, int exponent) {
  if (multiple == 0) return exponent < 0 ? "0." + std::string(static_cast<std::size_t>(-exponent), '0') : "0";
  std::string digits = std::to_string(multiple < 0 ? -multiple : multiple);
  const std::string sign = multiple < 0 ? "-" : "";
  if (exponent > 15 - static_cast<int>(digits.size()) || exponent < -15) {
    // d.ddd e±x: the multiple's digits, the decimal point after the first.
    const int power = exponent + static_cast<int>(digits.size()) - 1;
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    const std::string mantissa = digits.size() > 1 ? digits.substr(0, 1) + "." + digits.substr(1) : digits;
    return sign + mantissa + "e" + (power < 0 ? "-" : "+") + std::to_string(power < 0 ? -power : power);
  }
  if (exponent >= 0) {
    digits += std::string(static_cast<std::size_t>(exponent), '0');
  } else {
    const auto decimals = static_cast<std::size_t>(-exponent);
    if (digits.size() <= decimals) digits.insert(0, decimals - digits.size() + 1, '0');
    digits.insert(digits.size() - decimals, ".");
  }
  return sign + digits;
}

}  // namespace

AxisTicks PrettyTicks(Real lowValue, Real highValue, int mostTicks) {
  mostTicks = std::max(mostTicks, 2);
  Real low = std::min(lowValue, highValue);
  Real high = std::max(lowValue, highValue);
  if (!(high - low > 0) || !std::isfinite(high - low)) {
    const Real centre = std::isfinite(low) ? low : 0;
    low = centre == 0 ? 0 : centre - std::fabs(centre) / 2;
    high = centre == 0 ? 1 : centre + std::fabs(centre) / 2;
  }
  const auto count = [&](const Step& step) {
    const auto [first, last] = Span(low, high, step.Value());
    return last - first + 1;
  };
  Step step = PrettyStep(high - low);
  for (int tries = 0; tries < 64; ++tries) {
    if (count(step) > mostTicks) {
      step = step.Larger();
    } else if (count(step) < kFewestTicks && count(step.Smaller()) <= mostTicks) {
      step = step.Smaller();
    } else {
      break;
    }
  }
  AxisTicks ticks;
  ticks.step = step.Value();
  const auto [first, last] = Span(low, high, step.Value());
  for (long long k = first; k <= last; ++k) {
    ticks.values.push_back(static_cast<Real>(k * step.mantissa) * std::pow(10.0L, static_cast<Real>(step.exponent)));
    ticks.texts.push_back(MultipleText(k * step.mantissa, step.exponent));
  }
  return ticks;
}

}  // namespace cluster
