// The font of a Qt printer device and the measures of texts in it, in one
// place, so that the desktop printer and the batch tool's picture printer
// size and measure their texts alike.
//
// A font is asked for by a face name in code page 932 and a character
// height in device units (dots). The height becomes Qt's pixel size: a
// negative height stands for its magnitude, and the size is held to 1 ..
// 32767, since sizes come unchecked from the user and the font engine fails
// beyond that. Kerning is off, so that the widths of the parts of a text add
// up to the width of the whole, as the layouts expect.
//
// A text is as wide as Qt advances over it, and as high as the font's full
// character cell (ascent + descent); an empty text measures 0 either way.
#pragma once

#include <QFont>
#include <QFontMetrics>
#include <cstdint>
#include <string>
#include <string_view>

namespace cluster {

// The largest character height a printer font is given, in dots.
inline constexpr std::int32_t kLargestPrinterCharHeight = 32767;

// The pixel size of a printer font of this character height: the
// magnitude of the height, held to 1 .. kLargestPrinterCharHeight.
int PrinterFontPixelSize(std::int32_t charHeight);

// The printer font of face `cp932Face` and character height `charHeight`.
QFont MakePrinterFont(const std::string& cp932Face, std::int32_t charHeight);

// Width and height of a code page 932 text in the font of `metrics`.
std::int32_t PrinterTextWidth(const QFontMetrics& metrics, std::string_view cp932Text);
std::int32_t PrinterTextHeight(const QFontMetrics& metrics, std::string_view cp932Text);

}  // namespace cluster
