// The batch tool's dendrogram: a tree on a page in colour, as analysts draw
// one in R or SciPy.
//
// From the top: the caption (the method and the heights' units), a height
// axis with ticks at round numbers (plot/axis_ticks.h) and the tree, its
// leaves on the side the orientation names, one slot of 1.2 character
// heights each, so that no two labels overlap; upright labels for leaves
// on the top or bottom. The tree spans an A4 page's width less its labels
// (leaves left or right), or 55% of it (leaves top or bottom); the page
// grows with the leaves. With a cut, groups are coloured (plot/tree_shape.h)
// and a dashed line marks the cut's height.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/figure_canvas.h"
#include "engine/merge_list.h"
#include "plot/tree_shape.h"

namespace cluster {

struct DendrogramStyle {
  Orientation orientation = Orientation::kLeft;
  std::int32_t fontPoints = 12;
  std::string caption;                // UTF-8
  std::vector<std::int32_t> groups;   // each object's group, or empty
  std::optional<Real> cutHeight;      // the dashed line's height, in the list's units
  std::int32_t truncate = 0;          // 0: every leaf
};

// What the drawing tells its page: everything above headingBottom is the
// heading, repeated above each page when a tall tree is split.
struct DendrogramLayout {
  TreeBox box;
  std::int32_t headingBottom = 0;
};

// Draws the list's tree (in its drawing order, heights in its units) with
// labels[i] naming object i + 1.
DendrogramLayout DrawDendrogram(FigureCanvas& canvas, const MergeList& list, const std::vector<std::string>& labels,
                                const DendrogramStyle& style);

// The height a dashed line marks for a cut into `groups` groups: midway
// between the last merge kept and the first undone (half the first height
// for every object alone; the root's height for one group).
Real CutLineHeight(const MergeList& list, std::int32_t groups);

// A leaf's slot along the tree, in character heights: room for its label
// and a little between labels.
inline constexpr double kLeafSlotInCharHeights = 1.2;

// The width of a figure's lines at the canvas's resolution: a point's
// quarter, at least one dot.
std::int32_t FigureLineWidth(FigureCanvas& canvas);

// An A4 page's width at the canvas's resolution.
std::int32_t PageWidthOf(FigureCanvas& canvas);

}  // namespace cluster
