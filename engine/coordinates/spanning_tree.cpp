// Single linkage from a minimum spanning tree, grown by Prim's algorithm
// over the observations without a matrix.
//
// The merges of single linkage, sorted by height, are the edges of a
// minimum spanning tree of the observations sorted by length (Kruskal's
// algorithm is the greedy procedure itself), so the caller sorts the edges
// found here and names the clusters with a union-find. Prim's algorithm
// grows the tree from object 1: every object outside it keeps its least
// squared distance to the tree and the tree object at that distance, and
// each step adds the outside object with the least, then lowers the others'
// by their distances to it. That is one scan over the outside objects per
// step, O(n^2 d) time in all and O(n d) memory.
//
// The scan compares in doubles first (engine/coordinates/scan_bounds.h): an
// outside object's distance to the new tree object is valued in 80 bits
// only when its lower bound is below the double at or above the object's
// least, and the next object is chosen in 80 bits among those whose least
// may be the least of all. Heights are the 80-bit roots of the 80-bit
// squared distances, as the matrix engine takes them.
#include "engine/coordinates/spanning_tree.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "engine/coordinates/approximate_rows.h"
#include "engine/coordinates/scan_bounds.h"
#include "engine/coordinates/least_candidates.h"
#include "engine/coordinates/scan_team.h"

namespace cluster {

namespace {

class SpanningTree {
 public:
  SpanningTree(const Real* values, std::int32_t n, std::int32_t columns);

  std::vector<ObjectMerge> Run(RunControl& control);

 private:
  const Real* Row(std::int32_t object) const { return values_ + static_cast<std::size_t>(object) * columns_; }
  // Scans the outside objects against the object just added to the tree.
  void ScanFrom(std::int32_t object);
  // Takes the object in `slot` out of the outside set (the last slot moves in).
  void Remove(std::int32_t slot);

  const Real* values_;
  std::int32_t n_;
  std::int32_t columns_;
  ScanBounds bounds_;
  ScanTeam team_;
  LeastCandidates parts_[2];
  // The outside objects whose distance to the new tree object may lie
  // below their least, per part of the scan.
  std::vector<std::int32_t> lowered_[2];
  std::size_t loweredCount_[2] = {0, 0};
  std::vector<double> query_;
  // Per slot of the outside set (padded to whole blocks): the object, its
  // double copy, its least squared distance to the tree in 80 bits and as
  // doubles around it in scan units (infinity past the last slot and
  // before any), the tree object at that distance, and the penalty that
  // keeps the slots past the last out of the scans.
  std::int32_t outside_;
  std::vector<std::int32_t> objects_;
  ApproximateRows copies_;
  std::vector<Real> least_;
  std::vector<double> leastAbove_;
  std::vector<double> leastBelow_;
  std::vector<std::int32_t> from_;
  std::vector<double> penalties_;
};

SpanningTree::SpanningTree(const Real* values, std::int32_t n, std::int32_t columns)
    : values_(values),
      n_(n),
      columns_(columns),
      bounds_(values, n, columns),
      team_(n),
      parts_{LeastCandidates(n), LeastCandidates(n)},
      query_(static_cast<std::size_t>(columns)),
      outside_(n - 1) {
  const std::size_t padded = ApproximateRows::BlocksFor(outside_) * kBlockRows;
  for (auto& lowered : lowered_) lowered.resize(padded);
  objects_.assign(padded, 0);
  least_.assign(padded, std::numeric_limits<Real>::infinity());
  leastAbove_.assign(padded, kInfinity);
  leastBelow_.assign(padded, kInfinity);
  from_.assign(padded, 0);
  penalties_.assign(padded, kInfinity);
  copies_.Reset(columns, outside_);
  for (std::int32_t slot = 0; slot < outside_; ++slot) {
    objects_[slot] = slot + 1;
    penalties_[slot] = 0;
    bounds_.Approximate(Row(slot + 1), query_.data());
    copies_.Set(slot, query_.data());
  }
}

std::vector<ObjectMerge> SpanningTree::Run(RunControl& control) {
  std::vector<ObjectMerge> edges;
  edges.reserve(static_cast<std::size_t>(outside_));
  std::int32_t added = 0;
  while (outside_ > 0) {
    ScanFrom(added);
    // The outside object with the least distance, in 80 bits, among those
    // whose lower bound reaches the least upper bound; the lowest-numbered
    // of equal ones.
    const double bound = std::min(parts_[0].Least(), parts_[1].Least());
    std::int32_t next = -1;
    for (const LeastCandidates& found : parts_) {
      for (const LeastCandidates::Row& row : found) {
        const std::int32_t slot = row.slot;
        if (leastBelow_[slot] > bound) continue;
        if (next < 0 || least_[slot] < least_[next] ||
            (least_[slot] == least_[next] && objects_[slot] < objects_[next])) {
          next = slot;
        }
      }
    }
    added = objects_[next];
    edges.push_back({from_[next], added, std::sqrt(least_[next])});
    Remove(next);
    control.Done(WorkDone(static_cast<std::int32_t>(edges.size()), n_));
  }
  return edges;
}

void SpanningTree::ScanFrom(std::int32_t object) {
  bounds_.Approximate(Row(object), query_.data());
  const ApproximateRows::Reader reader = copies_.Scan();
  const BoundFactors factors = bounds_.Factors();
  const double* const penaltyData = penalties_.data();
  const double* const aboveData = leastAbove_.data();
  const double* const belowData = leastBelow_.data();
  const double* const queryData = query_.data();
  auto scan = [&](BlockRange range, HelperThread::Part part) {
    const ApproximateRows::Reader rows = reader;
    const BoundFactors bounds = factors;
    const double* const penalties = penaltyData;
    const double* const leastAbove = aboveData;
    const double* const leastBelow = belowData;
    const double* const query = queryData;
    std::int32_t* const lowered = lowered_[part].data();
    std::size_t count = 0;
    LeastCandidates::Pass found(parts_[part]);
    range.ForEach([&](std::size_t block) {
      const BlockValues squares = rows.Squares(block, query);
      const std::size_t firstSlot = block * kBlockRows;
      BlockValues below;
      LaneMask lowers{};
      LaneMask reached{};
      for (int l = 0; l < kBlockLanes; ++l) {
        const std::size_t at = firstSlot + static_cast<std::size_t>(l * kLaneWidth);
        // A squared distance is never below zero, so an object already at
        // distance zero is never valued again.
        below.lanes[l] = LargestOf(bounds.Lower(squares.lanes[l]), Splat(0)) + LoadLanes(penalties + at);
        // Only a distance strictly below an object's least replaces it.
        lowers |= below.lanes[l] < LoadLanes(leastAbove + at);
        // The object's least, once this scan has lowered it, may be the
        // least of all.
        reached |= LeastOf(below.lanes[l], LoadLanes(leastBelow + at)) <= found.Bound();
      }
      if (AnyLane(lowers)) {
        for (int r = 0; r < kBlockRows; ++r) {
          if (below[r] < leastAbove[firstSlot + r]) lowered[count++] = static_cast<std::int32_t>(firstSlot) + r;
        }
      }
      if (AnyLane(reached)) {
        for (int r = 0; r < kBlockRows; ++r) {
          const std::size_t at = firstSlot + static_cast<std::size_t>(r);
          const double lower = std::min(below[r], leastBelow[at]);
          if (lower <= found.Bound()[0]) {
            const double upper = std::min(bounds.Upper(squares[r]) + penalties[at], leastAbove[at]);
            found.Keep(static_cast<std::int32_t>(at), lower, upper);
          }
        }
      }
    });
    loweredCount_[part] = count;
    found.Finish();
  };
  team_.Run(0, ApproximateRows::BlocksFor(outside_), scan);
  const Real* row = Row(object);
  for (int part = 0; part < 2; ++part) {
    for (std::size_t i = 0; i < loweredCount_[part]; ++i) {
      const std::int32_t slot = lowered_[part][i];
      const Real square = SquaredDistance(row, Row(objects_[slot]), columns_);
      if (square < least_[slot]) {
        least_[slot] = square;
        leastAbove_[slot] = bounds_.ScaledAbove(square);
        leastBelow_[slot] = bounds_.ScaledBelow(square);
        from_[slot] = object;
      }
    }
  }
}

void SpanningTree::Remove(std::int32_t slot) {
  const std::int32_t last = --outside_;
  if (slot != last) {
    objects_[slot] = objects_[last];
    copies_.Move(last, slot);
    least_[slot] = least_[last];
    leastAbove_[slot] = leastAbove_[last];
    leastBelow_[slot] = leastBelow_[last];
    from_[slot] = from_[last];
  }
  least_[last] = std::numeric_limits<Real>::infinity();
  leastAbove_[last] = kInfinity;
  leastBelow_[last] = kInfinity;
  penalties_[last] = kInfinity;
}

}  // namespace

std::vector<ObjectMerge> SpanningTreeMerges(const Real* values, std::int32_t n, std::int32_t columns,
                                            RunControl& control) {
  return SpanningTree(values, n, columns).Run(control);
}

}  // namespace cluster
