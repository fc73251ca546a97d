// A surface for figures in colour: the batch tool's dendrograms and heat
// maps are drawn on one, a picture file or a test's recorder.
//
// Coordinates are device dots (Dpi() a inch), x to the right and y
// downwards; texts are UTF-8 in the one font the canvas has, of the size
// last set. A text is placed by the top-left corner of its cell; an upright
// text (vertical) is turned a quarter left, reading upwards, and (x, y) is
// then the top-left corner of the turned cell: it covers TextHeight() across
// and TextWidth(text) down. Nothing is painted behind a text.
#pragma once

#include <cstdint>
#include <string_view>

namespace cluster {

struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kBlack{0, 0, 0};

// The width of an A4 sheet, which pictures are at least as wide as.
inline constexpr double kA4WidthInches = 210.0 / 25.4;

struct LineStyle {
  Rgb colour = kBlack;
  std::int32_t width = 1;  // dots
  bool dashed = false;
};

class FigureCanvas {
 public:
  virtual ~FigureCanvas() = default;

  virtual std::int32_t Dpi() = 0;
  // The font's size in points for the texts that follow and their measures.
  virtual void SetFontPoints(std::int32_t points) = 0;
  virtual std::int32_t TextWidth(std::string_view utf8) = 0;
  // The height of the font's cell.
  virtual std::int32_t TextHeight() = 0;

  virtual void Line(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2, const LineStyle& style) = 0;
  // A rectangle of width x height dots filled with `fill`, no outline.
  virtual void Box(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, Rgb fill) = 0;
  virtual void Text(std::int32_t x, std::int32_t y, std::string_view utf8, Rgb colour, bool vertical = false) = 0;
};

}  // namespace cluster
