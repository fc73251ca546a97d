// A tree as a figure draws it: its leaves in drawing order, each merge a
// bracket between its children's positions, in colours by group; and where
// those land in a box of the page for each orientation.
//
// Truncated to K leaves, only the last K - 1 merges are drawn and each leaf
// stands for the cluster below them, at height 0 and labelled with its size
// in brackets unless it is one object (SciPy's truncate_mode='lastp').
// With groups, a merge whose objects are all of one group is drawn in that
// group's colour (the groups numbered in the order their first objects are
// drawn, whether truncated or not), every other merge grey; without,
// everything is black.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/figure_canvas.h"
#include "engine/merge_list.h"

namespace cluster {

enum class Orientation { kLeft, kRight, kTop, kBottom };  // the side the leaves are on

struct TreeLink {
  Real height;        // the merge's
  Real first;         // leaf-axis positions of its children, in slots (leaf k at k)
  Real second;
  Real firstHeight;   // the children's heights: 0 for a leaf
  Real secondHeight;
  Rgb colour;
  std::int32_t members;  // the objects below it
};

struct TreeShape {
  std::vector<std::int32_t> leaves;  // cluster ids in drawing order: objects unless truncated
  std::vector<std::int32_t> sizes;   // the objects each leaf stands for
  std::vector<Rgb> leafColours;
  std::vector<TreeLink> links;
  Real lowest = 0;   // the least and greatest height drawn (0 among them)
  Real highest = 0;
};

// The shape of the list's tree (in its drawing order) with at most
// `truncate` leaves (0: every object); `groups` gives each object's group
// (1-based, by object), or is empty for a tree in black.
TreeShape ShapeOf(const MergeList& list, std::int32_t truncate, const std::vector<std::int32_t>& groups);

// The label of leaf k: the object's label, or its cluster's size "(37)".
std::string LeafText(const TreeShape& shape, std::size_t k, const std::vector<std::string>& labels);

// Where the tree lies on the page: a box, the side its leaves are on, the
// heights its far side stands for, and the number of leaf slots.
struct TreeBox {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  Orientation orientation = Orientation::kLeft;
  Real low = 0;   // the height at the leaves' side
  Real high = 1;  // the height at the far side
  std::int32_t leafCount = 1;  // the leaf slots along the leaves' side
  bool LeavesAcross() const { return orientation == Orientation::kTop || orientation == Orientation::kBottom; }
};

struct Point {
  std::int32_t x;
  std::int32_t y;
};

// The point of leaf-axis position `position` (in slots; the middle of
// slot k is k) at height `height`.
Point PointAt(const TreeBox& box, Real position, Real height);

// Draws the links of the shape in the box, `width` dots wide: those of at
// least `fewestMembers` objects (smaller ones, finer than the drawing can
// show, are left out and their parents' lines end at their heights).
void DrawLinks(FigureCanvas& canvas, const TreeShape& shape, const TreeBox& box, std::int32_t width,
               std::int32_t fewestMembers = 0);

}  // namespace cluster
