#include "common/float_checks.h"

#include <cfenv>
#include <cmath>

#include "common/errors.h"

namespace cluster {

namespace {
constexpr int kErrorFlags = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;
}

void ClearFloatFlags() noexcept { std::feclearexcept(kErrorFlags); }

void RaiseFloatErrors() {
  const int raised = std::fetestexcept(kErrorFlags);
  if (raised == 0) return;
  std::feclearexcept(kErrorFlags);
  if (raised & FE_INVALID) throw EInvalidOp();
  if (raised & FE_DIVBYZERO) throw EZeroDivide();
  throw EOverflow();
}

std::int32_t RoundToInt32(Real value) {
  // nearbyintl rounds in the current mode (to nearest, ties to even) and,
  // unlike rintl, never raises the inexact flag.
  const Real rounded = std::nearbyintl(value);
  if (!(rounded >= -2147483648.0L && rounded <= 2147483647.0L)) throw ERangeError();
  return static_cast<std::int32_t>(rounded);
}

}  // namespace cluster
