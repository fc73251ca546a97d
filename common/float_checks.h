// Floating-point error detection and real-to-integer conversion.
//
// Reals are `long double` (x87 extended, rounded to nearest). An operation
// that is invalid, divides by zero or overflows must become an error, while
// underflow and inexact results pass silently. The hardware records those
// events in sticky flags; code that computes clears them before a stretch of
// arithmetic and calls RaiseFloatErrors() after it (at least once per result
// that is kept), which turns a raised flag into the matching exception.
#pragma once

#include <cstdint>

namespace cluster {

using Real = long double;

// Clears the invalid, division-by-zero and overflow flags.
void ClearFloatFlags() noexcept;

// Throws EInvalidOp, EZeroDivide or EOverflow (in that order of precedence)
// if the matching flag is set, clearing the flags first.
void RaiseFloatErrors();

// Nearest integer, ties to even; ERangeError when the result does not fit
// 32 bits (or the value is not a number).
std::int32_t RoundToInt32(Real value);

}  // namespace cluster
