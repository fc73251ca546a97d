// Floating-point errors and the real-to-integer conversion.
#include <gtest/gtest.h>

#include <limits>

#include "common/errors.h"
#include "common/float_checks.h"
#include "tests/error_message.h"

namespace cluster {
namespace {

using testing::Utf8MessageOf;

// Opaque to the optimizer, so the operations happen at run time.
Real Opaque(Real v) {
  volatile Real keep = v;
  return keep;
}

TEST(FloatChecksTest, OverflowInvalidAndDivisionByZeroRaise) {
  ClearFloatFlags();
  volatile Real big = Opaque(1E4000L) * Opaque(1E4000L);
  (void)big;
  EXPECT_EQ(Utf8MessageOf<EOverflow>(RaiseFloatErrors), "浮動小数点数のオーバーフロー");
  volatile Real nan = Opaque(0.0L) / Opaque(0.0L);
  (void)nan;
  EXPECT_EQ(Utf8MessageOf<EInvalidOp>(RaiseFloatErrors), "不正な浮動小数点数演算命令");
  volatile Real inf = Opaque(1.0L) / Opaque(0.0L);
  (void)inf;
  EXPECT_THROW(RaiseFloatErrors(), EZeroDivide);
  EXPECT_NO_THROW(RaiseFloatErrors());  // raising clears
}

TEST(FloatChecksTest, UnderflowAndInexactPassSilently) {
  ClearFloatFlags();
  volatile Real tiny = Opaque(1E-4900L) * Opaque(1E-100L);
  volatile Real third = Opaque(1.0L) / Opaque(3.0L);
  (void)tiny;
  (void)third;
  EXPECT_NO_THROW(RaiseFloatErrors());
}

TEST(RoundToInt32Test, NearestTiesToEvenWithinThirtyTwoBits) {
  EXPECT_EQ(RoundToInt32(2.5L), 2);
  EXPECT_EQ(RoundToInt32(3.5L), 4);
  EXPECT_EQ(RoundToInt32(-2.5L), -2);
  EXPECT_EQ(RoundToInt32(2.4999L), 2);
  EXPECT_EQ(RoundToInt32(2147483647.4L), 2147483647);
  EXPECT_EQ(RoundToInt32(-2147483648.4L), -2147483647 - 1);
  EXPECT_THROW(RoundToInt32(2147483647.5L), ERangeError);
  EXPECT_THROW(RoundToInt32(-2147483648.6L), ERangeError);
  EXPECT_THROW(RoundToInt32(std::numeric_limits<Real>::quiet_NaN()), ERangeError);
  EXPECT_EQ(Utf8MessageOf<ERangeError>([] { RoundToInt32(1E12L); }), "範囲チェックエラー");
  EXPECT_THROW(CheckRange(0, 1, 1000), ERangeError);
  EXPECT_NO_THROW(CheckRange(1000, 1, 1000));
}

}  // namespace
}  // namespace cluster
