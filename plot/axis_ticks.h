// Round numbers for an axis, as R's pretty() chooses them: a step of 1, 2
// or 5 times a power of ten, and ticks at its multiples from at or below
// the range's low end to at or above its high end.
//
// pretty() aims at five intervals and prefers the larger step when two are
// close (its bias 1.5 for 2 and 10, 2.75 for 5); here the step is then
// made one size smaller or larger until there are four to ten ticks (or
// as few as the axis has room for), and the labels carry as many decimals
// as the step needs (in scientific notation beyond 15 digits).
#pragma once

#include <string>
#include <vector>

#include "common/float_checks.h"

namespace cluster {

struct AxisTicks {
  std::vector<Real> values;       // ascending, equally spaced
  std::vector<std::string> texts;  // each value in the C locale's notation
  Real step = 1;
};

// The ticks of the range [low, high]; a range of one value (or none) is
// widened: 0 to 0..1, any other value v to v +- |v| / 2.
// At most `mostTicks` (at least 2) of them.
AxisTicks PrettyTicks(Real low, Real high, int mostTicks = 10);

}  // namespace cluster
