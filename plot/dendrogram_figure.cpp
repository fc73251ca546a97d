#include "plot/dendrogram_figure.h"

#include <algorithm>
#include <cmath>

#include "common/errors.h"
#include "plot/axis_ticks.h"
#include "plot/palettes.h"

namespace cluster {

namespace {

// The most dots a tree may stretch along its leaves: half of what 32 bits
// hold, so that every coordinate beside it fits.
constexpr std::int64_t kLargestExtent = 1LL << 30;
constexpr double kAcrossTreeShare = 0.55;  // of the page's width, for leaves top or bottom
constexpr double kSmallestTreeInches = 2.5;

}  // namespace

std::int32_t FigureLineWidth(FigureCanvas& canvas) { return std::max(1, static_cast<int>(canvas.Dpi() / 288.0 + 0.5)); }

std::int32_t PageWidthOf(FigureCanvas& canvas) { return static_cast<std::int32_t>(kA4WidthInches * canvas.Dpi()); }

Real CutLineHeight(const MergeList& list, std::int32_t groups) {
  const auto merges = static_cast<std::int32_t>(list.merges.size());
  if (merges == 0) return 0;
  const std::int32_t kept = merges - (groups - 1);  // merges kept by the cut
  if (kept >= merges) return list.merges.back().height;
  if (kept <= 0) return list.merges.front().height / 2;
  return (list.merges[static_cast<std::size_t>(kept - 1)].height + list.merges[static_cast<std::size_t>(kept)].height) / 2;
}

DendrogramLayout DrawDendrogram(FigureCanvas& canvas, const MergeList& list, const std::vector<std::string>& labels,
                                const DendrogramStyle& style) {
  canvas.SetFontPoints(style.fontPoints);
  const std::int32_t charHeight = canvas.TextHeight();
  const std::int32_t margin = charHeight;
  const std::int32_t gap = std::max(1, charHeight / 3);
  const std::int32_t tick = std::max(2, charHeight / 3);
  const std::int32_t lineWidth = FigureLineWidth(canvas);
  const std::int32_t pageWidth = PageWidthOf(canvas);
  const std::int32_t slot = std::max(1, static_cast<std::int32_t>(std::lround(charHeight * kLeafSlotInCharHeights)));

  const TreeShape shape = ShapeOf(list, style.truncate, style.groups);
  std::vector<std::string> texts;
  std::int32_t widest = 0;
  for (std::size_t k = 0; k < shape.leaves.size(); ++k) {
    texts.push_back(LeafText(shape, k, labels));
    widest = std::max(widest, canvas.TextWidth(texts.back()));
  }
  Real lowest = std::min<Real>(shape.lowest, 0);
  Real highest = shape.highest;
  if (style.cutHeight) {
    lowest = std::min(lowest, *style.cutHeight);
    highest = std::max(highest, *style.cutHeight);
  }
  TreeBox box;
  box.orientation = style.orientation;
  box.leafCount = static_cast<std::int32_t>(shape.leaves.size());
  const std::int64_t leafExtent = static_cast<std::int64_t>(slot) * box.leafCount;
  if (leafExtent > kLargestExtent) {
    throw Exception("the tree's " + std::to_string(box.leafCount) +
                    " leaves are too many for one picture at this font size; draw fewer of them (--truncate K)");
  }
  const std::int32_t smallestTree = static_cast<std::int32_t>(kSmallestTreeInches * canvas.Dpi());
  const std::int32_t acrossTree = std::max(smallestTree, static_cast<std::int32_t>(kAcrossTreeShare * pageWidth));
  const std::int32_t labelRoom = widest + gap;

  // Round ticks, as many as their labels have room for along the axis.
  AxisTicks ticks;
  std::int32_t widestTick = 0;
  std::int32_t halfTick = 0;
  for (int most = 10;; --most) {
    ticks = PrettyTicks(lowest, highest, most);
    widestTick = 0;
    for (const std::string& text : ticks.texts) widestTick = std::max(widestTick, canvas.TextWidth(text));
    halfTick = widestTick / 2 + 1;
    const std::int32_t axisLength =
        box.LeavesAcross() ? acrossTree : std::max(smallestTree, pageWidth - 2 * margin - labelRoom - 2 * halfTick);
    const std::int32_t room = box.LeavesAcross() ? charHeight + gap : widestTick + gap;
    const auto intervals = static_cast<std::int64_t>(ticks.values.size()) - 1;
    if (most <= 2 || intervals * room <= axisLength) {
      if (box.LeavesAcross()) {
        box.height = axisLength;
      } else {
        box.width = axisLength;
      }
      break;
    }
  }
  box.low = ticks.values.front();
  box.high = ticks.values.back();

  std::int32_t top = margin;
  if (!style.caption.empty()) {
    canvas.Text(margin, top, style.caption, kBlack);
    top += charHeight + charHeight / 2;
  }
  DendrogramLayout layout;
  const LineStyle axisStyle{kBlack, lineWidth, false};
  if (!box.LeavesAcross()) {
    // The axis runs across the top; tick labels above their ticks.
    const std::int32_t axisY = top + charHeight + tick;
    box.top = axisY + charHeight / 2;
    box.height = static_cast<std::int32_t>(leafExtent);
    box.left = style.orientation == Orientation::kLeft ? margin + std::max(labelRoom, halfTick) : margin + halfTick;
    // The axis, from the leaves' height to the far side.
    const Point from = PointAt(box, 0, box.low);
    const Point to = PointAt(box, 0, box.high);
    canvas.Line(from.x, axisY, to.x, axisY, axisStyle);
    for (std::size_t t = 0; t < ticks.values.size(); ++t) {
      const std::int32_t x = PointAt(box, 0, ticks.values[t]).x;
      canvas.Line(x, axisY, x, axisY - tick, axisStyle);
      canvas.Text(x - canvas.TextWidth(ticks.texts[t]) / 2, axisY - tick - charHeight, ticks.texts[t], kBlack);
    }
    layout.headingBottom = box.top - charHeight / 4;
    for (std::size_t k = 0; k < texts.size(); ++k) {
      const Point leaf = PointAt(box, static_cast<Real>(k), 0);
      const std::int32_t y = leaf.y - charHeight / 2;
      const std::int32_t x = style.orientation == Orientation::kLeft
                                 ? PointAt(box, 0, box.low).x - gap - canvas.TextWidth(texts[k])
                                 : PointAt(box, 0, box.low).x + gap;
      canvas.Text(x, y, texts[k], shape.leafColours[k]);
    }
  } else {
    // The axis runs down the left; tick labels left of their ticks.
    const std::int32_t axisX = margin + widestTick + gap + tick;
    box.left = axisX + charHeight / 2;
    box.width = static_cast<std::int32_t>(leafExtent);
    box.top = style.orientation == Orientation::kTop ? top + std::max(labelRoom, charHeight / 2) : top + charHeight / 2;
    const Point from = PointAt(box, 0, box.low);
    const Point to = PointAt(box, 0, box.high);
    canvas.Line(axisX, from.y, axisX, to.y, axisStyle);
    for (std::size_t t = 0; t < ticks.values.size(); ++t) {
      const std::int32_t y = PointAt(box, 0, ticks.values[t]).y;
      canvas.Line(axisX, y, axisX - tick, y, axisStyle);
      canvas.Text(axisX - tick - gap - canvas.TextWidth(ticks.texts[t]), y - charHeight / 2, ticks.texts[t], kBlack);
    }
    layout.headingBottom = 0;
    for (std::size_t k = 0; k < texts.size(); ++k) {
      const Point leaf = PointAt(box, static_cast<Real>(k), box.low);
      const std::int32_t x = leaf.x - charHeight / 2;
      const std::int32_t length = canvas.TextWidth(texts[k]);
      const std::int32_t y = style.orientation == Orientation::kTop ? leaf.y - gap - length : leaf.y + gap;
      canvas.Text(x, y, texts[k], shape.leafColours[k], true);
    }
  }
  DrawLinks(canvas, shape, box, lineWidth);
  if (style.cutHeight) {
    const Point a = PointAt(box, -0.5L, *style.cutHeight);
    const Point b = PointAt(box, static_cast<Real>(box.leafCount) - 0.5L, *style.cutHeight);
    canvas.Line(a.x, a.y, b.x, b.y, LineStyle{kBlack, lineWidth, true});
  }
  layout.box = box;
  return layout;
}

}  // namespace cluster
