// Code page 932 (Shift-JIS as Windows defines it, "windows-31j").
//
// Every text inside the program is a byte string in this code page: labels,
// cell texts, file contents and messages. The program's own Japanese texts are
// written in the sources as UTF-8 and converted once, through these helpers.
// Conversion to Unicode happens only where a text meets the screen, a file
// name or a UTF-8 terminal.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace cluster {

// True for a byte that starts a double-byte character (0x81-0x9F, 0xE0-0xFC).
constexpr bool IsLeadByte(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Length in bytes of the character that starts at text[pos]: 2 for a lead
// byte followed by another byte, else 1.
inline std::size_t CharLengthAt(std::string_view text, std::size_t pos) {
  return IsLeadByte(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size() ? 2 : 1;
}

// UTF-8 to code page 932. A character with no code page 932 form becomes "?".
std::string Cp932FromUtf8(std::string_view utf8);

// Code page 932 to UTF-8. A byte sequence that does not decode is kept as
// U+FFFD per offending byte, so nothing is silently dropped.
std::string Utf8FromCp932(std::string_view cp932);

// True when the text is well-formed UTF-8 (no overlong forms, surrogates or
// code points beyond U+10FFFF).
bool IsValidUtf8(std::string_view text);

// A set of texts in UTF-8: as they are when `utf8`, else each converted
// from code page 932.
std::vector<std::string> Utf8Texts(const std::vector<std::string>& texts, bool utf8);

// The same in code page 932: converted from UTF-8 when `utf8`.
std::vector<std::string> Cp932Texts(const std::vector<std::string>& texts, bool utf8);

}  // namespace cluster
