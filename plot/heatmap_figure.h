// A clustered heat map: an observation table as a grid of colours, its rows
// in the row tree's leaf order with that tree at their left, optionally its
// columns in a column tree's order with that tree above, as
// seaborn.clustermap and R's heatmap draw it.
//
// Values are shown raw on viridis from their least to their greatest, or as
// z-scores (by column or by row, R's scale(): the mean taken away, divided
// by the sample standard deviation; a constant line is 0) on blue-white-red
// centred on 0 and symmetric about it; a legend beside the grid shows the
// scale with round ticks. A missing value is light grey. With groups, a bar
// between the tree and the grid shows each row's group colour, as the
// dendrogram colours it.
//
// Up to kLargestCellRows rows and kLargestCellColumns columns are drawn a
// cell each; beyond, neighbouring rows (columns) in the order are binned
// into that many lines, each the mean of its values, and the caption says
// so. Labels are drawn when a line is at least a character high and left
// out, with a note in the caption, when they could not be read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/figure_canvas.h"
#include "engine/merge_list.h"

namespace cluster {

enum class HeatmapScale { kNone, kColumn, kRow };

struct HeatmapSource {
  const Real* values = nullptr;  // rows x columns, row-major, in the data's order
  std::int32_t rows = 0;
  std::int32_t columns = 0;
  std::vector<std::string> rowLabels;     // UTF-8
  std::vector<std::string> columnLabels;  // UTF-8; empty: 1, 2, ...
  const MergeList* rowTree = nullptr;     // its drawing order orders the rows
  const MergeList* columnTree = nullptr;  // or nothing: the columns as given
  std::vector<std::int32_t> groups;       // each row's group, or empty
};

struct HeatmapStyle {
  HeatmapScale scale = HeatmapScale::kNone;
  std::int32_t fontPoints = 12;
  std::string caption;  // UTF-8
};

inline constexpr std::int32_t kLargestCellRows = 1000;
inline constexpr std::int32_t kLargestCellColumns = 100;

// Where the grid landed: line r (0-based, top down) of the grid is
// [gridTop + r cellHeight, + cellHeight), column c likewise, and which data
// rows and columns each line stands for.
struct HeatmapLayout {
  std::int32_t gridLeft = 0;
  std::int32_t gridTop = 0;
  std::int32_t cellWidth = 0;
  std::int32_t cellHeight = 0;
  std::vector<std::int32_t> rowOrder;     // data rows (0-based) top down
  std::vector<std::int32_t> columnOrder;  // data columns (0-based) left to right
  std::int32_t rowLines = 0;              // lines drawn (fewer than rows when binned)
  std::int32_t columnLines = 0;
  Real low = 0;   // the values the colour scale runs between
  Real high = 0;
  bool rowLabels = false;
  bool columnLabels = false;
};

// The values as shown: raw, or z-scores by column or row (rows x columns,
// row-major, the data's order).
std::vector<Real> ScaledValues(const HeatmapSource& source, HeatmapScale scale);

// The colour of a shown value on the scale from low to high.
Rgb HeatmapColour(Real value, Real low, Real high, HeatmapScale scale);

HeatmapLayout DrawHeatmap(FigureCanvas& canvas, const HeatmapSource& source, const HeatmapStyle& style);

}  // namespace cluster
