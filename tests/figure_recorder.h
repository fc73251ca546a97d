// A figure canvas for tests: it keeps every line, box and text, and
// measures texts by fixed rules so that positions can be worked by hand:
// a text is kByteWidth dots wide per byte, the cell kCellHeight high, at
// kDpi dots an inch (a test may set others: dpi, cellHeight).
#pragma once

#include <string>
#include <vector>

#include "common/figure_canvas.h"

namespace cluster::testing {

class FigureRecorder : public FigureCanvas {
 public:
  static constexpr std::int32_t kByteWidth = 6;
  static constexpr std::int32_t kCellHeight = 10;
  static constexpr std::int32_t kDpi = 72;

  struct LineCall {
    std::int32_t x1, y1, x2, y2;
    LineStyle style;
  };
  struct BoxCall {
    std::int32_t x, y, width, height;
    Rgb fill;
  };
  struct TextCall {
    std::int32_t x, y;
    std::string text;
    Rgb colour;
    bool vertical;
    std::int32_t cell;  // the cell's height when it was drawn
    // The cell it covers.
    std::int32_t Right() const { return x + (vertical ? cell : Width()); }
    std::int32_t Bottom() const { return y + (vertical ? Width() : cell); }
    std::int32_t Width() const { return kByteWidth * static_cast<std::int32_t>(text.size()); }
  };

  std::int32_t Dpi() override { return dpi; }
  void SetFontPoints(std::int32_t points) override { points_ = points; }
  std::int32_t TextWidth(std::string_view utf8) override { return kByteWidth * static_cast<std::int32_t>(utf8.size()); }
  std::int32_t TextHeight() override { return cellHeight; }
  void Line(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2, const LineStyle& style) override {
    lines.push_back({x1, y1, x2, y2, style});
  }
  void Box(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height, Rgb fill) override {
    boxes.push_back({x, y, width, height, fill});
  }
  void Text(std::int32_t x, std::int32_t y, std::string_view utf8, Rgb colour, bool vertical) override {
    texts.push_back({x, y, std::string(utf8), colour, vertical, cellHeight});
  }

  // The text call that wrote `text`, or nullptr.
  const TextCall* Find(const std::string& text) const {
    for (const TextCall& call : texts) {
      if (call.text == text) return &call;
    }
    return nullptr;
  }

  std::int32_t dpi = kDpi;
  std::int32_t cellHeight = kCellHeight;
  std::vector<LineCall> lines;
  std::vector<BoxCall> boxes;
  std::vector<TextCall> texts;

 private:
  std::int32_t points_ = 0;
};

}  // namespace cluster::testing
