// Reals as the texts other tools read: the shortest decimal that reads back
// as the same value, and printf's formats, in the C locale whatever locale
// the process has set. (The program's own texts, with the user's decimal
// separator, are common/numbers.h.)
#pragma once

#include <string>

#include "common/float_checks.h"

namespace cluster {

// The shortest text that reads back as the double nearest `value` (1.25 is
// "1.25"), or, for a value a double cannot hold (beyond its range, or below
// its normal numbers other than 0), the shortest text of the 80-bit value:
// never "inf" for a finite value, never a false 0.
std::string ShortestText(Real value);

// printf's "%.21Lg" (every bit of an 80-bit value) and "%.15Lg" (as R
// prints a height) of an 80-bit value, and "%.17g" of a double.
std::string Text21(Real value);
std::string Text15(Real value);
std::string Text17(double value);

}  // namespace cluster
