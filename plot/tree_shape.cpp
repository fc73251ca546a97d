#include "plot/tree_shape.h"

#include <algorithm>
#include <cmath>

#include "plot/palettes.h"

namespace cluster {

namespace {

constexpr std::int32_t kMixed = -1;

std::int32_t Rounded(Real value) { return static_cast<std::int32_t>(std::lround(static_cast<double>(value))); }

}  // namespace

TreeShape ShapeOf(const MergeList& list, std::int32_t truncate, const std::vector<std::int32_t>& groups) {
  const std::int32_t n = list.objects;
  TreeShape shape;
  if (n <= 0) return shape;
  const Children children = ChildrenOf(list);
  const auto ids = 2 * static_cast<std::size_t>(n);
  // Each cluster's group (kMixed across groups), from its merges up.
  std::vector<std::int32_t> group(ids, 0);
  if (!groups.empty()) {
    for (std::int32_t object = 1; object <= n; ++object) {
      group[static_cast<std::size_t>(object)] = groups.at(static_cast<std::size_t>(object - 1));
    }
    for (const Merge& merge : list.merges) {
      const std::int32_t a = group[static_cast<std::size_t>(merge.left)];
      const std::int32_t b = group[static_cast<std::size_t>(merge.right)];
      group[static_cast<std::size_t>(merge.id)] = a == b ? a : kMixed;
    }
  }
  std::vector<std::int32_t> members(ids, 1);
  std::vector<Real> height(ids, 0);
  for (const Merge& merge : list.merges) {
    members[static_cast<std::size_t>(merge.id)] = merge.members;
    height[static_cast<std::size_t>(merge.id)] = merge.height;
  }
  // A merge is drawn when it is among the last truncate - 1.
  const std::int32_t firstDrawn = truncate > 0 && truncate < n ? 2 * n - truncate + 1 : n + 1;
  const auto drawn = [&](std::int32_t id) { return id >= firstDrawn; };

  // Colours in the order the objects are drawn, truncated or not, so that
  // a group has one colour in every picture of the tree.
  std::vector<std::int32_t> colourOfGroup;  // by group, index + 1; 0 for none yet
  if (!groups.empty()) {
    std::int32_t coloursGiven = 0;
    for (const std::int32_t object : LeafOrder(list)) {
      const auto g = static_cast<std::size_t>(groups.at(static_cast<std::size_t>(object - 1)));
      if (g >= colourOfGroup.size()) colourOfGroup.resize(g + 1, 0);
      if (colourOfGroup[g] == 0) colourOfGroup[g] = ++coloursGiven;
    }
  }
  const auto colourOf = [&](std::int32_t id) {
    if (groups.empty()) return kBlack;
    const std::int32_t g = group[static_cast<std::size_t>(id)];
    if (g == kMixed) return kAboveCutGrey;
    return GroupColour(static_cast<std::size_t>(colourOfGroup[static_cast<std::size_t>(g)] - 1));
  };

  // Depth first, first child first; each merge after both children, which
  // gives it its position: midway between theirs.
  std::vector<Real> position(ids, 0);
  struct Visit {
    std::int32_t id;
    bool childrenDone;
  };
  std::vector<Visit> pending{{2 * n - 1, false}};
  if (n == 1) pending = {{1, false}};
  while (!pending.empty()) {
    const Visit visit = pending.back();
    pending.pop_back();
    const auto at = static_cast<std::size_t>(visit.id);
    if (!drawn(visit.id)) {
      position[at] = static_cast<Real>(shape.leaves.size());
      shape.leaves.push_back(visit.id);
      shape.sizes.push_back(members[at]);
      shape.leafColours.push_back(colourOf(visit.id));
      height[at] = 0;
      continue;
    }
    const std::int32_t first = children.left[at];
    const std::int32_t second = children.right[at];
    if (!visit.childrenDone) {
      pending.push_back({visit.id, true});
      pending.push_back({second, false});
      pending.push_back({first, false});
      continue;
    }
    const auto f = static_cast<std::size_t>(first);
    const auto s = static_cast<std::size_t>(second);
    position[at] = (position[f] + position[s]) / 2;
    shape.links.push_back(
        TreeLink{height[at], position[f], position[s], height[f], height[s], colourOf(visit.id), members[at]});
    shape.lowest = std::min(shape.lowest, height[at]);
    shape.highest = std::max(shape.highest, height[at]);
  }
  return shape;
}

std::string LeafText(const TreeShape& shape, std::size_t k, const std::vector<std::string>& labels) {
  const std::int32_t id = shape.leaves.at(k);
  if (shape.sizes.at(k) > 1) return "(" + std::to_string(shape.sizes[k]) + ")";
  return labels.at(static_cast<std::size_t>(id - 1));
}

Point PointAt(const TreeBox& box, Real position, Real height) {
  const Real span = box.high - box.low;
  const Real share = span > 0 ? (height - box.low) / span : 0;
  const Real slot = (position + 0.5L) / static_cast<Real>(std::max(box.leafCount, 1));
  switch (box.orientation) {
    case Orientation::kLeft: return {box.left + Rounded(share * box.width), box.top + Rounded(slot * box.height)};
    case Orientation::kRight:
      return {box.left + box.width - Rounded(share * box.width), box.top + Rounded(slot * box.height)};
    case Orientation::kTop: return {box.left + Rounded(slot * box.width), box.top + Rounded(share * box.height)};
    case Orientation::kBottom:
      return {box.left + Rounded(slot * box.width), box.top + box.height - Rounded(share * box.height)};
  }
  return {box.left, box.top};
}

void DrawLinks(FigureCanvas& canvas, const TreeShape& shape, const TreeBox& box, std::int32_t width,
               std::int32_t fewestMembers) {
  for (const TreeLink& link : shape.links) {
    if (link.members < fewestMembers) continue;
    const LineStyle style{link.colour, width, false};
    const Point a = PointAt(box, link.first, link.firstHeight);
    const Point b = PointAt(box, link.first, link.height);
    const Point c = PointAt(box, link.second, link.height);
    const Point d = PointAt(box, link.second, link.secondHeight);
    canvas.Line(a.x, a.y, b.x, b.y, style);
    canvas.Line(b.x, b.y, c.x, c.y, style);
    canvas.Line(c.x, c.y, d.x, d.y, style);
  }
}

}  // namespace cluster
