// Text helpers on code page 932 byte strings: trimming, padding to a width
// counted in bytes, and splitting a comma-separated line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace cluster {

// Removes every leading and trailing byte of code 32 or below (blank, tab,
// CR, LF, other control bytes). The full-width blank is not removed.
std::string TrimBlanks(std::string_view text);

// The text followed by blanks up to `width` bytes; a longer text is returned
// whole, never cut. A double-byte character counts two, as it is two columns
// wide in a fixed-pitch font.
std::string PadRight(std::string_view text, std::size_t width);

// Empties `fields` and refills it from a comma-separated line. Commas and
// blanks (bytes 1..32) separate fields; a field in double quotes may hold
// both, with "" standing for one quote. A comma that is the line's last byte
// adds an empty last field; one followed only by blanks does not. A
// double-byte character is one unit, except that a lead byte before a comma
// or a double quote stands alone.
//
// Only the first `maxFields` fields are kept; the rest are counted, not
// stored, so a line of millions of commas costs no memory. Returns the
// number of fields the line holds; `filled`, when given, is set to the
// number up to its last field that is not empty (0 when all are).
std::size_t SplitCommaText(std::string_view text, std::vector<std::string>& fields,
                           std::size_t maxFields = static_cast<std::size_t>(-1), std::size_t* filled = nullptr);

}  // namespace cluster
