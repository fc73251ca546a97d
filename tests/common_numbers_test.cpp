// Number conversions: the formatting table and its rounding edges, the
// accepted and rejected real texts, integers with a default, and the
// locale's decimal separator.
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

#include "common/codepage.h"
#include "common/errors.h"
#include "common/numbers.h"

namespace cluster {
namespace {

class WithSeparator : public ::testing::Test {
 protected:
  void SetUp() override { SetDecimalSeparator('.'); }
  void TearDown() override { SetDecimalSeparator('.'); }
};

using RealToTextTest = WithSeparator;
using TextToRealTest = WithSeparator;

std::string General7(Real v) { return RealToText(v, RealFormat::General, 7, 1); }
std::string Fixed92(Real v) { return RealToText(v, RealFormat::Fixed, 9, 2); }

TEST_F(RealToTextTest, TheReferenceTable) {
  struct Row {
    Real value;
    const char* general;
    const char* fixed;
  };
  const Row rows[] = {
      {0.0L, "0", "0.00"},
      {2.5L, "2.5", "2.50"},
      {-2.5L, "-2.5", "-2.50"},
      {100.0L, "100", "100.00"},
      {0.125L, "0.125", "0.13"},
      {1.0L / 3.0L, "0.3333333", "0.33"},
      {0.0001L, "0.0001", "0.00"},
      {0.000123456789L, "0.0001234568", "0.00"},
      {0.00001L, "1E-5", "0.00"},
      {1E-7L, "1E-7", "0.00"},
      {-0.005L, "-0.005", "-0.01"},
      {-0.004L, "-0.004", "0.00"},
      {1234567.8L, "1234568", "1234567.80"},
      {9999999.5L, "1E7", "9999999.50"},
      {12345678.0L, "1.234568E7", "12345678.00"},
      {12345678.9L, "1.234568E7", "12345678.90"},
      {123456789.4L, "1.234568E8", "123456789.00"},
      {999999999.996L, "1E9", "1E9"},
      {1234567890.0L, "1.234568E9", "1.23456789E9"},
      {1.5E-10L, "1.5E-10", "0.00"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.general);
    EXPECT_EQ(General7(row.value), row.general);
    EXPECT_EQ(Fixed92(row.value), row.fixed);
  }
}

TEST_F(RealToTextTest, ZerosAndSpecialValuesCarryNoStraySign) {
  EXPECT_EQ(General7(-0.0L), "0");
  EXPECT_EQ(Fixed92(-0.0L), "0.00");
  const Real denormal = std::numeric_limits<Real>::denorm_min();
  EXPECT_EQ(General7(-denormal), "0");
  EXPECT_EQ(General7(std::numeric_limits<Real>::infinity()), "INF");
  EXPECT_EQ(General7(-std::numeric_limits<Real>::infinity()), "-INF");
  EXPECT_EQ(General7(std::numeric_limits<Real>::quiet_NaN()), "NAN");
}

TEST_F(RealToTextTest, HalvesRoundAwayFromZeroOnTheDecimalDigits) {
  // 0.5 and 2.5 are exact in binary: the second rounding sees a true half.
  EXPECT_EQ(RealToText(0.25L, RealFormat::Fixed, 9, 1), "0.3");
  EXPECT_EQ(RealToText(-0.25L, RealFormat::Fixed, 9, 1), "-0.3");
  EXPECT_EQ(RealToText(2.5L, RealFormat::Fixed, 9, 0), "3");
  EXPECT_EQ(RealToText(1234565.0L, RealFormat::General, 6, 0), "1.23457E6");
  // Step 1 keeps 18 digits: 0.1 + 2^-64 noise is invisible at 7 digits.
  EXPECT_EQ(General7(0.1L), "0.1");
  EXPECT_EQ(General7(2.0L / 3.0L), "0.6666667");
}

TEST_F(RealToTextTest, ExtremeMagnitudesUseTheLongPath) {
  EXPECT_EQ(General7(1E300L), "1E300");
  EXPECT_EQ(General7(-1.25E-300L), "-1.25E-300");
  EXPECT_EQ(General7(std::numeric_limits<Real>::max()), "1.189731E4932");
  EXPECT_EQ(General7(1E40L), "1E40");
  EXPECT_EQ(General7(1E-12L), "1E-12");
}

TEST_F(RealToTextTest, PrecisionAndDigitsAreClamped) {
  EXPECT_EQ(RealToText(1.0L / 3.0L, RealFormat::General, 1, 0), "0.33");
  EXPECT_EQ(RealToText(1.0L / 3.0L, RealFormat::General, 40, 0), "0.333333333333333333");
  EXPECT_EQ(RealToText(1.5L, RealFormat::Fixed, 9, -3), "2");
}

TEST_F(RealToTextTest, AgreesWithExactDecimalExpansionOnManyValues) {
  // Independent check of the 18-digit first rounding: the C library's
  // exact expansion, cut the same way by hand, for values of every size.
  unsigned seed = 12345;
  for (int i = 0; i < 2000; ++i) {
    seed = seed * 1103515245u + 12345u;
    const Real mantissa = 1.0L + static_cast<Real>(seed % 1000000007u) / 1000000007.0L;
    const Real value = std::ldexp(mantissa, static_cast<int>(seed % 200) - 100);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17Le", value);
    const std::string text = buffer;
    std::string digits = text.substr(0, 1) + text.substr(2, 17);
    const int exponent = std::atoi(text.c_str() + text.find('e') + 1);
    // Cut to 7 digits, halves up.
    std::string kept = digits.substr(0, 7);
    int d = exponent + 1;
    if (digits[7] >= '5') {
      int k = 6;
      while (k >= 0 && kept[k] == '9') kept[k--] = '0';
      if (k < 0) {
        kept = "1000000";
        ++d;
      } else {
        ++kept[k];
      }
    }
    while (kept.size() > 1 && kept.back() == '0') kept.pop_back();
    std::string expected;
    if (d > 7 || d < -3) {
      expected = kept.substr(0, 1);
      if (kept.size() > 1) expected += "." + kept.substr(1);
      expected += "E" + std::to_string(d - 1);
    } else if (d > 0) {
      std::string padded = kept;
      while (static_cast<int>(padded.size()) < d) padded += '0';
      expected = padded.substr(0, static_cast<std::size_t>(d));
      if (static_cast<int>(kept.size()) > d) expected += "." + kept.substr(static_cast<std::size_t>(d));
    } else {
      expected = "0." + std::string(static_cast<std::size_t>(-d), '0') + kept;
    }
    ASSERT_EQ(General7(value), expected) << text;
  }
}

TEST_F(TextToRealTest, AcceptedTexts) {
  for (const char* text : {"2.5", " 2.5 ", "+2.5", "2.5e0", "25E-1", "2.5E+0"}) {
    EXPECT_EQ(TextToReal(text), 2.5L) << text;
  }
  EXPECT_EQ(TextToReal(".5"), 0.5L);
  EXPECT_EQ(TextToReal("5."), 5.0L);
  EXPECT_EQ(TextToReal("1E+03"), 1000.0L);
  EXPECT_EQ(TextToReal("."), 0.0L);
  EXPECT_EQ(TextToReal("-."), 0.0L);
  EXPECT_EQ(TextToReal("1E"), 1.0L);
  EXPECT_EQ(TextToReal("007"), 7.0L);
  EXPECT_EQ(TextToReal("1E499"), 1E499L);
  const Real negativeZero = TextToReal("-0");
  EXPECT_EQ(negativeZero, 0.0L);
  EXPECT_TRUE(std::signbit(negativeZero));
  EXPECT_EQ(General7(negativeZero), "0");
}

TEST_F(TextToRealTest, ValuesAreCorrectlyRounded) {
  EXPECT_EQ(TextToReal("0.1"), 0.1L);
  EXPECT_EQ(TextToReal("123456789012345678901234567890"), 123456789012345678901234567890.0L);
  EXPECT_EQ(TextToReal("1.7976931348623157E308"), 1.7976931348623157E308L);
  EXPECT_EQ(TextToReal("-3.25E-5"), -3.25E-5L);
}

TEST_F(TextToRealTest, UnderflowIsAcceptedOverflowIsNot) {
  const Real tiny = TextToReal("1E-4940");
  EXPECT_GT(tiny, 0.0L);
  EXPECT_LT(tiny, std::numeric_limits<Real>::min());
  EXPECT_EQ(TextToReal("1E-4999"), 0.0L);
  EXPECT_THROW(TextToReal("1E4933"), EConvertError);
  EXPECT_THROW(TextToReal("1E5000"), EConvertError);
  EXPECT_NO_THROW(TextToReal("1E4932"));
}

TEST_F(TextToRealTest, RejectedTextsNameTheWholeUntrimmedText) {
  for (const char* text : {"", " ", "-", "+", "E5", "1,5", "1 5", "\t1", "1\t", "abc", "1E5000",
                           "0x10", "INF", "NAN", "1..2", "1e+-2"}) {
    try {
      TextToReal(text);
      ADD_FAILURE() << "accepted: '" << text << "'";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), "'" + std::string(text) + "' " + Cp932FromUtf8("は浮動小数点数ではありません"));
    }
  }
  // Full-width digits are not digits.
  EXPECT_THROW(TextToReal(Cp932FromUtf8("１２")), EConvertError);
  try {
    TextToReal(" x ");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message().substr(0, 5), "' x '");
  }
}

TEST_F(TextToRealTest, CommaSeparatorRejectsPointAndWritesComma) {
  SetDecimalSeparator(',');
  EXPECT_THROW(TextToReal("1.5"), EConvertError);
  EXPECT_EQ(TextToReal("1,5"), 1.5L);
  EXPECT_EQ(General7(2.5L), "2,5");
  EXPECT_EQ(Fixed92(6.5L), "6,50");
  EXPECT_EQ(General7(1.5E-10L), "1,5E-10");
}

TEST(DecimalSeparatorTest, ReadFromTheEnvironmentWithoutTouchingTheProcessLocale) {
  // Without a usable locale in the environment the separator is ".".
  setenv("LC_ALL", "C", 1);
  ReloadDecimalSeparator();
  EXPECT_EQ(DecimalSeparator(), '.');
  setenv("LC_ALL", "no_SUCH.locale", 1);
  ReloadDecimalSeparator();
  EXPECT_EQ(DecimalSeparator(), '.');
  unsetenv("LC_ALL");
  SetDecimalSeparator('.');
}

TEST(IntToTextTest, PlainDecimalDigits) {
  EXPECT_EQ(IntToText(0), "0");
  EXPECT_EQ(IntToText(-42), "-42");
  EXPECT_EQ(IntToText(2147483647), "2147483647");
  EXPECT_EQ(IntToText(-2147483647 - 1), "-2147483648");
}

TEST(TextToIntOrTest, DecimalHexAndEverythingElse) {
  EXPECT_EQ(TextToIntOr("12", 10), 12);
  EXPECT_EQ(TextToIntOr(" 12", 10), 12);
  EXPECT_EQ(TextToIntOr("+8", 10), 8);
  EXPECT_EQ(TextToIntOr("-8", 10), -8);
  EXPECT_EQ(TextToIntOr("$10", 10), 16);
  EXPECT_EQ(TextToIntOr("0x10", 10), 16);
  EXPECT_EQ(TextToIntOr("X1f", 10), 31);
  EXPECT_EQ(TextToIntOr("0XfF", 10), 255);
  EXPECT_EQ(TextToIntOr("-$10", 10), 16);  // the sign does not apply to hex
  EXPECT_EQ(TextToIntOr("$FFFFFFFF", 10), -1);
  EXPECT_EQ(TextToIntOr("2147483647", 10), 2147483647);
  EXPECT_EQ(TextToIntOr("-2147483648", 10), -2147483647 - 1);
  for (const char* text : {"12 ", "", "1.5", "twelve", "+", "-", "$", "0x", "2147483648",
                           "-2147483649", "$100000000", "1 2", "\t12", "12a", "$G"}) {
    EXPECT_EQ(TextToIntOr(text, 10), 10) << "'" << text << "'";
  }
}

}  // namespace
}  // namespace cluster
