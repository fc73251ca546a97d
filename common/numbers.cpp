#include "common/numbers.h"

#include <atomic>

#include <algorithm>
#include <array>
#include <cfenv>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>
#include <locale.h>

#include "common/codepage.h"
#include "common/errors.h"

namespace cluster {

// --- Decimal separator ---------------------------------------------------

namespace {

// 0: not read yet. Atomic because conversions run on two threads at once;
// two first reads may both fill it in, with the same value.
std::atomic<char> g_separator{0};

char SeparatorFromEnvironment() noexcept {
  // A private locale object: the process's own C locale stays as it is.
  locale_t numeric = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
  if (numeric == static_cast<locale_t>(0)) return '.';
  const char* radix = nl_langinfo_l(RADIXCHAR, numeric);
  char separator = '.';
  // Only a one-byte ASCII symbol can stand in a code page 932 text as is.
  if (radix != nullptr && radix[0] > 32 && radix[0] < 127 && radix[1] == '\0') separator = radix[0];
  freelocale(numeric);
  return separator;
}

}  // namespace

char DecimalSeparator() noexcept {
  char separator = g_separator.load(std::memory_order_relaxed);
  if (separator == 0) {
    separator = SeparatorFromEnvironment();
    g_separator.store(separator, std::memory_order_relaxed);
  }
  return separator;
}

void ReloadDecimalSeparator() noexcept { g_separator.store(SeparatorFromEnvironment(), std::memory_order_relaxed); }

void SetDecimalSeparator(char separator) noexcept { g_separator.store(separator, std::memory_order_relaxed); }

// --- Text to real -----------------------------------------------------------

namespace {

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Powers of ten that the extended format holds exactly: 10^k = 5^k * 2^k
// and 5^27 still fits the 64-bit significand.
constexpr int kExactPowers = 27;

constexpr std::array<Real, kExactPowers + 1> MakeExactPowers() {
  std::array<Real, kExactPowers + 1> powers{};
  Real p = 1;
  for (auto& v : powers) {
    v = p;
    p *= 10;
  }
  return powers;
}
constexpr auto kPowersOfTen = MakeExactPowers();

[[noreturn]] void RejectNumber(std::string_view text) {
  std::string message = "'";
  message.append(text);
  message += "' ";
  message += Cp932FromUtf8("は浮動小数点数ではありません");
  throw EConvertError(message);
}

// The significant digits of a number text: the first 19 as an integer,
// and where they all stand in the text, for the rare longer mantissa.
struct Mantissa {
  std::uint64_t leading = 0;  // the first (up to) 19 significant digits
  int count = 0;              // significant digits in all
  std::string all;            // every significant digit, kept only past 19
};

constexpr int kExactDigits = 19;  // any 19 digits fit 64 bits exactly

// mantissa * 10^exponent10, correctly rounded. With up to 19 significant
// digits and a power of ten held exactly, that is one rounded operation;
// otherwise the C library's correctly rounded reader takes the digits in a
// form without a decimal separator, so its locale does not matter.
Real ScaleDecimal(Mantissa mantissa, int exponent10) {
  if (mantissa.count <= kExactDigits) {
    // Trailing zeros move into the exponent: same value, and more texts
    // take the exact path.
    while (mantissa.leading % 10 == 0 && exponent10 < 0) {
      mantissa.leading /= 10;
      ++exponent10;
    }
    if (exponent10 >= -kExactPowers && exponent10 <= kExactPowers) {
      const Real m = static_cast<Real>(mantissa.leading);
      return exponent10 >= 0 ? m * kPowersOfTen[exponent10] : m / kPowersOfTen[-exponent10];
    }
    mantissa.all = std::to_string(mantissa.leading);
  }
  std::string normalized = std::move(mantissa.all);
  normalized += 'e';
  normalized += std::to_string(exponent10);
  std::fexcept_t flags;
  std::fegetexceptflag(&flags, FE_ALL_EXCEPT);
  const Real value = std::strtold(normalized.c_str(), nullptr);
  std::fesetexceptflag(&flags, FE_ALL_EXCEPT);  // a rejected text leaves no trace
  return value;
}

}  // namespace

Real TextToReal(std::string_view text) {
  const char separator = DecimalSeparator();
  const std::size_t n = text.size();
  std::size_t p = 0;
  while (p < n && text[p] == ' ') ++p;
  bool negative = false;
  if (p < n && (text[p] == '+' || text[p] == '-')) negative = text[p++] == '-';

  Mantissa mantissa;
  int fractionDigits = 0;
  bool sawDigitOrSeparator = false;
  auto takeDigits = [&](bool fraction) {
    const std::size_t first = p;
    while (p < n && IsDigit(text[p])) {
      const char digit = text[p++];
      if (mantissa.count > 0 || digit != '0') {
        if (mantissa.count < kExactDigits) {
          mantissa.leading = mantissa.leading * 10 + static_cast<std::uint64_t>(digit - '0');
        } else if (mantissa.count == kExactDigits) {
          mantissa.all = std::to_string(mantissa.leading);
        }
        if (mantissa.count >= kExactDigits) mantissa.all += digit;
        ++mantissa.count;
      }
    }
    if (p > first) sawDigitOrSeparator = true;
    if (fraction) fractionDigits += static_cast<int>(p - first);
  };
  takeDigits(false);
  if (p < n && text[p] == separator) {
    sawDigitOrSeparator = true;
    ++p;
    takeDigits(true);
  }
  if (!sawDigitOrSeparator) RejectNumber(text);

  int exponent = 0;
  if (p < n && (text[p] == 'E' || text[p] == 'e')) {
    ++p;
    bool negativeExponent = false;
    if (p < n && (text[p] == '+' || text[p] == '-')) negativeExponent = text[p++] == '-';
    // Digits are taken while the exponent so far is below 500; a further
    // digit stays unread and so rejects the text below.
    while (p < n && IsDigit(text[p]) && exponent < 500) exponent = exponent * 10 + (text[p++] - '0');
    if (negativeExponent) exponent = -exponent;
  }
  while (p < n && text[p] == ' ') ++p;
  if (p != n) RejectNumber(text);

  Real value = 0;
  if (mantissa.count > 0) {
    value = ScaleDecimal(std::move(mantissa), exponent - fractionDigits);
    if (std::isinf(value)) RejectNumber(text);
  }
  return negative ? -value : value;
}

// --- Real to text -----------------------------------------------------------

namespace {

__extension__ typedef unsigned __int128 U128;

constexpr std::uint64_t kTen17 = 100000000000000000ULL;
constexpr std::uint64_t kTen18 = 1000000000000000000ULL;

constexpr std::array<std::uint64_t, kExactPowers + 1> MakePowersOfFive() {
  std::array<std::uint64_t, kExactPowers + 1> powers{};
  std::uint64_t p = 1;
  for (auto& v : powers) {
    v = p;
    p *= 5;
  }
  return powers;
}
constexpr auto kPowersOfFive = MakePowersOfFive();

// num / den rounded to nearest, ties to even.
U128 DivideRounded(U128 num, U128 den) {
  U128 q = num / den;
  const U128 r = num % den;
  const U128 twice = r * 2;  // den < 2^127, so no overflow
  if (twice > den || (twice == den && (q & 1) != 0)) ++q;
  return q;
}

// value / 2^shift rounded to nearest, ties to even (0 < shift < 128): the
// common case, done without a 128-bit division.
U128 ShiftRightRounded(U128 value, int shift) {
  U128 q = value >> shift;
  const U128 remainder = value & ((static_cast<U128>(1) << shift) - 1);
  const U128 half = static_cast<U128>(1) << (shift - 1);
  if (remainder > half || (remainder == half && (q & 1) != 0)) ++q;
  return q;
}

// The magnitude m * 2^e times 10^s, rounded to an integer (ties to even),
// when exact integer arithmetic in 128 bits can do it; false otherwise.
bool ScaledRounded(std::uint64_t m, int e, int s, U128& result) {
  if (s >= 0) {
    // m * 5^s * 2^(e + s)
    if (s > kExactPowers) return false;
    const U128 product = static_cast<U128>(m) * kPowersOfFive[s];
    const int shift = e + s;
    if (shift >= 0) {
      if (shift > 60 || (product >> (127 - shift)) != 0) return false;
      result = product << shift;
      return true;
    }
    if (shift <= -127) return false;
    result = ShiftRightRounded(product, -shift);
    return true;
  }
  // m * 2^(e - t) / 5^t with t = -s
  const int t = -s;
  if (t > kExactPowers) return false;
  const int q = e - t;
  if (q >= 0) {
    if (q > 63) return false;
    result = DivideRounded(static_cast<U128>(m) << q, kPowersOfFive[t]);
    return true;
  }
  if (-q > 63) return false;
  result = DivideRounded(m, static_cast<U128>(kPowersOfFive[t]) << -q);
  return true;
}

// A positive finite value as 18 significant digits, rounded to nearest with
// ties to even: value ~ 0.d1d2...d18 * 10^exponent.
struct Decimal18 {
  char digits[18];
  int exponent;
};

// The 64-bit significand and the binary exponent of a positive normal
// value: magnitude = significand * 2^exponent, read from the x87 format's
// bits (the integer bit is explicit).
void SplitExtended(Real magnitude, std::uint64_t& significand, int& exponent) {
  unsigned char bytes[sizeof(Real)];
  std::memcpy(bytes, &magnitude, sizeof bytes);
  std::memcpy(&significand, bytes, 8);
  const int biased = (bytes[8] | (bytes[9] << 8)) & 0x7FFF;
  exponent = biased - 16383 - 63;
}

bool Decimal18Exact(Real magnitude, Decimal18& out) {
  std::uint64_t m = 0;
  int e = 0;
  SplitExtended(magnitude, m, e);
  // magnitude lies in [2^(k-1), 2^k) with k = e + 64, so its decimal exponent
  // is floor((k - 1) log10 2) + 1 or one more; 1233 / 4096 is log10 2 closely
  // enough for the exponents this path takes, and the loop mends the rest.
  int exponent10 = (((e + 63) * 1233) >> 12) + 1;
  for (int attempt = 0; attempt < 4; ++attempt) {
    U128 n = 0;
    if (!ScaledRounded(m, e, 18 - exponent10, n)) return false;
    if (n >= kTen18) {
      ++exponent10;
    } else if (n < kTen17) {
      --exponent10;
    } else {
      // Two halves of nine digits each, in 32-bit arithmetic.
      const auto v = static_cast<std::uint64_t>(n);
      auto high = static_cast<std::uint32_t>(v / 1000000000u);
      auto low = static_cast<std::uint32_t>(v % 1000000000u);
      for (int i = 8; i >= 0; --i) {
        out.digits[9 + i] = static_cast<char>('0' + low % 10);
        low /= 10;
        out.digits[i] = static_cast<char>('0' + high % 10);
        high /= 10;
      }
      out.exponent = exponent10;
      return true;
    }
  }
  return false;
}

// The C library's exact decimal conversion for values beyond the 128-bit
// range. Its decimal point follows the process locale, so the text is read
// by its digits alone.
Decimal18 Decimal18FromLibrary(Real magnitude) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.17Le", magnitude);
  Decimal18 out{};
  int count = 0;
  const char* p = buffer;
  for (; *p != '\0' && *p != 'e' && count < 18; ++p) {
    if (IsDigit(*p)) out.digits[count++] = *p;
  }
  while (*p != '\0' && *p != 'e') ++p;
  out.exponent = (*p == 'e' ? std::atoi(p + 1) : 0) + 1;
  return out;
}

Decimal18 ToDecimal18(Real magnitude) {
  Decimal18 out{};
  if (!Decimal18Exact(magnitude, out)) out = Decimal18FromLibrary(magnitude);
  return out;
}

// Significant digits cut to `keep` with halves rounded away from zero on
// the 18 digits; trailing zeros dropped. Empty when the value rounds to 0.
struct Rounded {
  std::string digits;
  int exponent = 0;
};

Rounded RoundDigits(const Decimal18& d, int keep) {
  Rounded r;
  r.exponent = d.exponent;
  if (keep < 0) return r;
  if (keep > 18) keep = 18;
  r.digits.assign(d.digits, static_cast<std::size_t>(keep));
  if (keep < 18 && d.digits[keep] >= '5') {
    int i = keep - 1;
    while (i >= 0 && r.digits[i] == '9') r.digits[i--] = '0';
    if (i >= 0) {
      ++r.digits[i];
    } else {
      r.digits.assign(1, '1');
      ++r.exponent;
    }
  }
  while (!r.digits.empty() && r.digits.back() == '0') r.digits.pop_back();
  return r;
}

std::string FormatGeneral(bool negative, const Decimal18& d, int precision, char separator) {
  const Rounded r = RoundDigits(d, precision);
  const int D = r.exponent;
  const auto count = static_cast<int>(r.digits.size());
  std::string out;
  if (negative) out += '-';
  if (D > precision || D < -3) {
    out += r.digits[0];
    if (count > 1) {
      out += separator;
      out.append(r.digits, 1);
    }
    out += 'E';
    out += std::to_string(D - 1);
  } else if (D > 0) {
    for (int i = 0; i < D; ++i) out += i < count ? r.digits[i] : '0';
    if (count > D) {
      out += separator;
      out.append(r.digits, static_cast<std::size_t>(D));
    }
  } else {
    out += '0';
    out += separator;
    out.append(static_cast<std::size_t>(-D), '0');
    out += r.digits;
  }
  return out;
}

std::string FormatFixed(bool negative, const Decimal18& d, int precision, int decimals,
                        char separator) {
  const Rounded r = RoundDigits(d, std::min(precision, d.exponent + decimals));
  if (r.exponent > precision) return FormatGeneral(negative, d, precision, separator);
  const int D = r.exponent;
  const auto count = static_cast<int>(r.digits.size());
  auto digitAt = [&](int position) {  // 1-based position from the first significant digit
    return position >= 1 && position <= count ? r.digits[position - 1] : '0';
  };
  std::string out;
  if (negative && count > 0) out += '-';
  if (count == 0 || D <= 0) {
    out += '0';
  } else {
    for (int i = 1; i <= D; ++i) out += digitAt(i);
  }
  if (decimals > 0) {
    out += separator;
    for (int k = 1; k <= decimals; ++k) out += count == 0 ? '0' : digitAt(D + k);
  }
  return out;
}

std::string ZeroText(RealFormat format, int decimals, char separator) {
  std::string out = "0";
  if (format == RealFormat::Fixed && decimals > 0) {
    out += separator;
    out.append(static_cast<std::size_t>(decimals), '0');
  }
  return out;
}

}  // namespace

std::string RealToText(Real value, RealFormat format, int precision, int digits) {
  precision = std::clamp(precision, 2, 18);
  digits = std::clamp(digits, 0, 18);
  const char separator = DecimalSeparator();
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  // Zero and denormal values print as an unsigned zero.
  if (std::fpclassify(value) != FP_NORMAL) return ZeroText(format, digits, separator);
  const bool negative = std::signbit(value);
  const Decimal18 d = ToDecimal18(std::fabs(value));
  return format == RealFormat::General ? FormatGeneral(negative, d, precision, separator)
                                       : FormatFixed(negative, d, precision, digits, separator);
}

// --- Integers ---------------------------------------------------------------

std::string IntToText(std::int32_t value) { return std::to_string(value); }

bool TryTextToInt(std::string_view text, std::int32_t& value) noexcept {
  const std::size_t n = text.size();
  std::size_t p = 0;
  while (p < n && text[p] == ' ') ++p;
  bool negative = false;
  if (p < n && (text[p] == '+' || text[p] == '-')) negative = text[p++] == '-';

  bool hex = false;
  if (p < n && (text[p] == '$' || text[p] == 'x' || text[p] == 'X')) {
    hex = true;
    ++p;
  } else if (p + 1 < n && text[p] == '0' && (text[p + 1] == 'x' || text[p + 1] == 'X')) {
    hex = true;
    p += 2;
  }
  if (p >= n) return false;

  if (hex) {
    // A 32-bit pattern; the sign does not apply to it.
    std::uint32_t pattern = 0;
    const auto [end, ec] = std::from_chars(text.data() + p, text.data() + n, pattern, 16);
    if (ec != std::errc() || end != text.data() + n) return false;
    value = static_cast<std::int32_t>(pattern);
    return true;
  }
  std::uint64_t magnitude = 0;
  for (; p < n; ++p) {
    if (!IsDigit(text[p])) return false;
    magnitude = magnitude * 10 + static_cast<std::uint64_t>(text[p] - '0');
    if (magnitude > 2147483648ULL) return false;
  }
  if (!negative && magnitude > 2147483647ULL) return false;
  value = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude))
                   : static_cast<std::int32_t>(magnitude);
  return true;
}

std::int32_t TextToIntOr(std::string_view text, std::int32_t fallback) noexcept {
  std::int32_t value = 0;
  return TryTextToInt(text, value) ? value : fallback;
}

}  // namespace cluster
