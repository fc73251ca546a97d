#include "plot/heatmap_figure.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "plot/axis_ticks.h"
#include "plot/dendrogram_figure.h"
#include "plot/palettes.h"
#include "plot/tree_shape.h"

namespace cluster {

namespace {

constexpr Rgb kMissingGrey{0xDD, 0xDD, 0xDD};
constexpr double kRowTreeInches = 1.2;
constexpr double kColumnTreeInches = 0.8;
constexpr double kBinnedGridInches = 12;  // tall, for rows too many to label
constexpr double kBinnedGridWideInches = 6;
constexpr double kLegendInches = 3;
constexpr std::int32_t kLabelledRows = 200;
constexpr std::int32_t kLabelledColumns = 60;
constexpr int kLegendSteps = 100;

// Line k of `lines` over `count` items in order: [first, last).
std::pair<std::int32_t, std::int32_t> Bin(std::int32_t k, std::int32_t lines, std::int32_t count) {
  const auto first = static_cast<std::int32_t>(static_cast<std::int64_t>(k) * count / lines);
  const auto last = static_cast<std::int32_t>(static_cast<std::int64_t>(k + 1) * count / lines);
  return {first, last};
}

// Mean and sample standard deviation of the finite values among n, `stride` apart.
std::pair<Real, Real> MeanAndDeviation(const Real* values, std::int32_t n, std::size_t stride) {
  Real sum = 0;
  std::int32_t count = 0;
  for (std::int32_t k = 0; k < n; ++k) {
    const Real v = values[static_cast<std::size_t>(k) * stride];
    if (std::isfinite(v)) {
      sum += v;
      ++count;
    }
  }
  if (count == 0) return {0, 0};
  const Real mean = sum / count;
  Real squares = 0;
  for (std::int32_t k = 0; k < n; ++k) {
    const Real v = values[static_cast<std::size_t>(k) * stride];
    if (std::isfinite(v)) squares += (v - mean) * (v - mean);
  }
  return {mean, count > 1 ? std::sqrt(squares / (count - 1)) : Real(0)};
}

// The box of a tree beside the grid, its far side at its highest merge.
TreeBox BoxOf(const TreeShape& shape, Orientation orientation, Point corner, std::int32_t width, std::int32_t height) {
  TreeBox box;
  box.orientation = orientation;
  box.left = corner.x;
  box.top = corner.y;
  box.width = width;
  box.height = height;
  box.low = std::min<Real>(shape.lowest, 0);
  box.high = shape.highest > box.low ? shape.highest : box.low + 1;
  box.leafCount = static_cast<std::int32_t>(shape.leaves.size());
  return box;
}

std::vector<std::int32_t> OrderOf(const MergeList* tree, std::int32_t count) {
  std::vector<std::int32_t> order(static_cast<std::size_t>(count));
  if (tree == nullptr) {
    std::iota(order.begin(), order.end(), 0);
    return order;
  }
  order = LeafOrder(*tree);
  for (std::int32_t& k : order) --k;
  return order;
}

}  // namespace

std::vector<Real> ScaledValues(const HeatmapSource& source, HeatmapScale scale) {
  const auto columns = static_cast<std::size_t>(source.columns);
  std::vector<Real> shown(source.values, source.values + static_cast<std::size_t>(source.rows) * columns);
  if (scale == HeatmapScale::kNone) return shown;
  const bool byColumn = scale == HeatmapScale::kColumn;
  const std::int32_t lines = byColumn ? source.columns : source.rows;
  const std::int32_t length = byColumn ? source.rows : source.columns;
  const std::size_t stride = byColumn ? columns : 1;
  for (std::int32_t line = 0; line < lines; ++line) {
    Real* first = shown.data() + (byColumn ? static_cast<std::size_t>(line) : static_cast<std::size_t>(line) * columns);
    const auto [mean, deviation] = MeanAndDeviation(first, length, stride);
    for (std::int32_t k = 0; k < length; ++k) {
      Real& v = first[static_cast<std::size_t>(k) * stride];
      if (std::isfinite(v)) v = deviation > 0 ? (v - mean) / deviation : 0;
    }
  }
  return shown;
}

Rgb HeatmapColour(Real value, Real low, Real high, HeatmapScale scale) {
  if (!std::isfinite(value)) return kMissingGrey;
  if (scale != HeatmapScale::kNone) return BlueWhiteRed(high > 0 ? value / high : 0);
  return Viridis(high > low ? (value - low) / (high - low) : 0.5L);
}

HeatmapLayout DrawHeatmap(FigureCanvas& canvas, const HeatmapSource& source, const HeatmapStyle& style) {
  canvas.SetFontPoints(style.fontPoints);
  const std::int32_t dpi = canvas.Dpi();
  const std::int32_t charHeight = canvas.TextHeight();
  const std::int32_t margin = charHeight;
  const std::int32_t gap = std::max(1, charHeight / 3);
  const std::int32_t slot = std::max(1, static_cast<std::int32_t>(std::lround(charHeight * kLeafSlotInCharHeights)));
  const std::int32_t lineWidth = FigureLineWidth(canvas);

  HeatmapLayout layout;
  layout.rowOrder = OrderOf(source.rowTree, source.rows);
  layout.columnOrder = OrderOf(source.columnTree, source.columns);
  layout.rowLines = std::min(source.rows, kLargestCellRows);
  layout.columnLines = std::min(source.columns, kLargestCellColumns);
  layout.cellHeight = layout.rowLines <= kLabelledRows
                          ? slot
                          : std::max(2, static_cast<std::int32_t>(kBinnedGridInches * dpi / layout.rowLines));
  // Few columns are widened up to four slots, so that the grid is not a
  // strip; many are narrowed to fit six inches.
  const auto spread = static_cast<std::int32_t>(kBinnedGridWideInches * dpi / std::max(layout.columnLines, 1));
  layout.cellWidth = layout.columnLines <= kLabelledColumns ? std::clamp(spread, slot, 4 * slot) : std::max(2, spread);
  // A binned line stands for several rows: no one label is its own.
  layout.rowLabels = layout.cellHeight >= charHeight && layout.rowLines == source.rows;
  layout.columnLabels = layout.cellWidth >= charHeight && layout.columnLines == source.columns;

  const std::vector<Real> shown = ScaledValues(source, style.scale);
  layout.low = std::numeric_limits<Real>::infinity();
  layout.high = -std::numeric_limits<Real>::infinity();
  for (const Real v : shown) {
    if (!std::isfinite(v)) continue;
    layout.low = std::min(layout.low, v);
    layout.high = std::max(layout.high, v);
  }
  if (!(layout.low <= layout.high)) layout.low = layout.high = 0;
  if (style.scale != HeatmapScale::kNone) {
    const Real largest = std::max(std::fabs(layout.low), std::fabs(layout.high));
    layout.high = largest > 0 ? largest : 1;
    layout.low = -layout.high;
  }

  // The caption and what it has to say of the drawing.
  std::vector<std::string> captionLines;
  if (!style.caption.empty()) captionLines.push_back(style.caption);
  if (layout.rowLines < source.rows) {
    captionLines.push_back(std::to_string(source.rows) + " rows binned into " + std::to_string(layout.rowLines) +
                           " lines, each the mean of its neighbours in the tree's order");
  }
  if (layout.columnLines < source.columns) {
    captionLines.push_back(std::to_string(source.columns) + " columns binned into " +
                           std::to_string(layout.columnLines) + " lines");
  }
  if (!layout.rowLabels) captionLines.push_back("row labels left out: " + std::to_string(source.rows) + " rows are too many to read");
  if (!layout.columnLabels) {
    captionLines.push_back("column labels left out: " + std::to_string(source.columns) + " columns are too many to read");
  }
  std::int32_t top = margin;
  for (const std::string& line : captionLines) {
    canvas.Text(margin, top, line, kBlack);
    top += charHeight;
  }
  top += charHeight / 2;

  const auto columnLabel = [&](std::int32_t c) {
    return source.columnLabels.empty() ? std::to_string(c + 1) : source.columnLabels.at(static_cast<std::size_t>(c));
  };
  const std::int32_t rowTreeWidth = static_cast<std::int32_t>(kRowTreeInches * dpi);
  const std::int32_t columnTreeHeight = source.columnTree != nullptr ? static_cast<std::int32_t>(kColumnTreeInches * dpi) : 0;
  const bool bar = !source.groups.empty();
  layout.gridLeft = margin + rowTreeWidth + gap + (bar ? slot + gap : 0);
  layout.gridTop = top + (columnTreeHeight > 0 ? columnTreeHeight + gap : 0);
  const std::int32_t gridWidth = layout.columnLines * layout.cellWidth;
  const std::int32_t gridHeight = layout.rowLines * layout.cellHeight;
  const std::int32_t gridRight = layout.gridLeft + gridWidth;
  const std::int32_t gridBottom = layout.gridTop + gridHeight;

  // The cells.
  const auto columns = static_cast<std::size_t>(source.columns);
  for (std::int32_t r = 0; r < layout.rowLines; ++r) {
    const auto [rowFirst, rowLast] = Bin(r, layout.rowLines, source.rows);
    for (std::int32_t c = 0; c < layout.columnLines; ++c) {
      const auto [columnFirst, columnLast] = Bin(c, layout.columnLines, source.columns);
      Real sum = 0;
      std::int32_t count = 0;
      for (std::int32_t a = rowFirst; a < rowLast; ++a) {
        const Real* row = shown.data() + static_cast<std::size_t>(layout.rowOrder[static_cast<std::size_t>(a)]) * columns;
        for (std::int32_t b = columnFirst; b < columnLast; ++b) {
          const Real v = row[layout.columnOrder[static_cast<std::size_t>(b)]];
          if (std::isfinite(v)) {
            sum += v;
            ++count;
          }
        }
      }
      const Real value = count > 0 ? sum / count : std::numeric_limits<Real>::quiet_NaN();
      canvas.Box(layout.gridLeft + c * layout.cellWidth, layout.gridTop + r * layout.cellHeight, layout.cellWidth,
                 layout.cellHeight, HeatmapColour(value, layout.low, layout.high, style.scale));
    }
  }

  // The row tree at the left, its leaves towards the grid, and the groups' bar.
  if (source.rowTree != nullptr) {
    const TreeShape shape = ShapeOf(*source.rowTree, 0, source.groups);
    const TreeBox box = BoxOf(shape, Orientation::kRight, {margin, layout.gridTop}, rowTreeWidth, gridHeight);
    // Binned, a merge within one line could not be seen: the tree goes down
    // to clusters of a line's rows, so that it stays as large as the grid.
    DrawLinks(canvas, shape, box, lineWidth, source.rows / layout.rowLines);
    if (bar) {
      for (std::int32_t r = 0; r < layout.rowLines; ++r) {
        const std::int32_t first = Bin(r, layout.rowLines, source.rows).first;
        canvas.Box(layout.gridLeft - gap - slot, layout.gridTop + r * layout.cellHeight, slot, layout.cellHeight,
                   shape.leafColours[static_cast<std::size_t>(first)]);
      }
    }
  }
  if (source.columnTree != nullptr) {
    const TreeShape shape = ShapeOf(*source.columnTree, 0, {});
    const TreeBox box = BoxOf(shape, Orientation::kBottom, {layout.gridLeft, top}, gridWidth, columnTreeHeight);
    DrawLinks(canvas, shape, box, lineWidth, source.columns / layout.columnLines);
  }

  // Labels: rows right of the grid, columns below it, upright.
  std::int32_t widestRowLabel = 0;
  if (layout.rowLabels) {
    for (std::int32_t r = 0; r < layout.rowLines; ++r) {
      const std::string& label = source.rowLabels.at(static_cast<std::size_t>(layout.rowOrder[static_cast<std::size_t>(r)]));
      canvas.Text(gridRight + gap, layout.gridTop + r * layout.cellHeight + (layout.cellHeight - charHeight) / 2, label,
                  kBlack);
      widestRowLabel = std::max(widestRowLabel, canvas.TextWidth(label));
    }
  }
  if (layout.columnLabels) {
    for (std::int32_t c = 0; c < layout.columnLines; ++c) {
      canvas.Text(layout.gridLeft + c * layout.cellWidth + (layout.cellWidth - charHeight) / 2, gridBottom + gap,
                  columnLabel(layout.columnOrder[static_cast<std::size_t>(c)]), kBlack, true);
    }
  }

  // The legend: the scale as a bar, its ticks at round values within it.
  const std::int32_t legendLeft = gridRight + gap + widestRowLabel + 3 * gap;
  const std::int32_t legendTop = layout.gridTop + charHeight + gap;
  const std::int32_t legendHeight = std::max(kLegendSteps, static_cast<std::int32_t>(kLegendInches * dpi));
  canvas.Text(legendLeft, layout.gridTop, style.scale == HeatmapScale::kNone ? "value" : "z-score", kBlack);
  const auto legendY = [&](Real v) {
    const Real share = layout.high > layout.low ? (v - layout.low) / (layout.high - layout.low) : 0.5L;
    return legendTop + legendHeight - static_cast<std::int32_t>(std::lround(static_cast<double>(share * legendHeight)));
  };
  for (int step = 0; step < kLegendSteps; ++step) {
    const Real v = layout.low + (layout.high - layout.low) * (step + 0.5L) / kLegendSteps;
    const std::int32_t y1 = legendTop + legendHeight - legendHeight * (step + 1) / kLegendSteps;
    const std::int32_t y2 = legendTop + legendHeight - legendHeight * step / kLegendSteps;
    canvas.Box(legendLeft, y1, slot, y2 - y1, HeatmapColour(v, layout.low, layout.high, style.scale));
  }
  const AxisTicks ticks = PrettyTicks(layout.low, layout.high);
  for (std::size_t t = 0; t < ticks.values.size(); ++t) {
    const Real v = ticks.values[t];
    if (v < layout.low || v > layout.high) continue;
    const std::int32_t y = legendY(v);
    canvas.Line(legendLeft + slot, y, legendLeft + slot + gap, y, LineStyle{kBlack, lineWidth, false});
    canvas.Text(legendLeft + slot + 2 * gap, y - charHeight / 2, ticks.texts[t], kBlack);
  }
  return layout;
}

}  // namespace cluster
