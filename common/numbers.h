// Numbers as texts: the program's one set of conversions between reals,
// integers and their code page 932 texts.
//
// Every number typed into a grid cell, written into a file or printed passes
// through here, so these rules decide the bytes of every file the program
// writes. Numbers are read and written with the decimal separator of the
// user's locale; no thousands separator is ever written or accepted. Nothing
// here depends on the process's C locale.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/float_checks.h"

namespace cluster {

// --- Decimal separator ---------------------------------------------------

// The separator in force: the locale's decimal symbol, "." when none.
char DecimalSeparator() noexcept;

// Reads the separator again from the environment (LC_ALL, LC_NUMERIC, LANG,
// resolved as the C library resolves them) without touching the process's
// locale. Called at start and whenever the user's settings may have changed.
void ReloadDecimalSeparator() noexcept;

// Sets the separator directly (tests, and settings read elsewhere).
void SetDecimalSeparator(char separator) noexcept;

// --- Real numbers ---------------------------------------------------------

// Reads a real number: blanks, sign, digits, separator, digits, exponent,
// blanks; computed in extended precision. Throws EConvertError with the
// message "'<text>' は浮動小数点数ではありません" (the whole text, untrimmed)
// for anything else, and for a value beyond the extended range.
Real TextToReal(std::string_view text);

enum class RealFormat { General, Fixed };

// Writes a real number. `precision` (2..18) counts significant digits;
// `digits` (0..18) is the number of decimals in Fixed and unused in General.
// The value is first rounded to 18 significant digits (ties to even), then
// to the format's digits with halves away from zero.
std::string RealToText(Real value, RealFormat format, int precision, int digits);

// --- Integers ---------------------------------------------------------------

std::string IntToText(std::int32_t value);

// Reads a 32-bit integer: blanks, optional sign, then decimal digits or a
// hexadecimal number introduced by "$", "x", "X", "0x" or "0X". Returns false
// for any other text (nothing after the digits, not even a blank).
bool TryTextToInt(std::string_view text, std::int32_t& value) noexcept;

// TryTextToInt, or `fallback` when the text is not an integer. Never fails.
std::int32_t TextToIntOr(std::string_view text, std::int32_t fallback) noexcept;

}  // namespace cluster
