// Single linkage in one pass over the dissimilarities, with the pair-list
// procedure's merges, ids and heights.
//
// Single linkage needs no working values: a merged cluster's dissimilarity
// to another is the least of its members', so every height is one of the
// given values, and the clusters at each height are the connected groups of
// the pairs at or below it. Sibson's pointer representation finds those
// groups in one pass over the rows of the lower triangle (or, from a
// caller's condensed doubles, over their rows taken last first), in O(n^2)
// time and O(n) memory.
//
// What it does not tell is the order of merges among equal heights, which
// decides the tree's shape there and every later id. That order is the
// pair-list procedure's: among the pairs of clusters at the least value, the
// least (higher id, lower id), and a new cluster's pairs after all older
// ones. So the heights are taken level by level; at each level the clusters
// that the level joins are merged by that rule, knowing for every two of
// them whether some member pair lies at exactly the level's value. Each
// object pair is looked at in this way at most once (afterwards it lies in
// one cluster), so ties cost at most one more pass.
//
// The one thing the rule cannot settle from the values alone is the sign of
// a zero height (-0 and +0 are equal, and the pair-list procedure keeps the
// one its merges met first): data holding a negative zero are left to the
// general procedure, as are values that two doubles cannot hold exactly
// (beyond the double range, or nearer zero than 2^-1011: the pass compares
// values as pairs of doubles).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "common/float_checks.h"
#include "common/helper_thread.h"

namespace cluster {

class RunControl;

// A merge of the finished tree: the k-th merge makes cluster n + k.
struct SingleLinkageMerge {
  std::int32_t left;   // the smaller id
  std::int32_t right;
  Real height;
  std::int32_t members;
};

// The dissimilarity the agglomeration starts from for objects j < i
// (1-based).
using PairValue = std::function<Real(std::int32_t i, std::int32_t j)>;

// The pair values of objects (i, 1..i-1), as PairValue gives them: a
// pointer to them, which may be to `scratch` (room for n values) filled
// for the call.
using RowOfValues = std::function<const Real*(std::int32_t i, Real* scratch)>;

// The merges of n objects in the pair-list procedure's order, or nothing
// when a value is a negative zero, not finite, or beyond what two doubles
// hold (the general procedure then settles the run, or reports the value).
// A helper thread, when given, reads the values of each row while the one
// before it is merged; `row` is then called on it. `control`, when given,
// hears the share of rows passed and may stop the pass (on the caller).
std::optional<std::vector<SingleLinkageMerge>> SingleLinkageMerges(std::int32_t n, const RowOfValues& row,
                                                                   const PairValue& value,
                                                                   HelperThread* helper = nullptr,
                                                                   RunControl* control = nullptr);

// The same from a caller's doubles in SciPy's condensed order (pairs (0, 1),
// (0, 2), ..., 0-based), read where they lie, each once and in their own
// order; the values are taken as given. Doubles compare them exactly, so
// the pass needs no split keys, and it needs no helper. Nothing for a
// negative zero, or for a value that is not finite, which sets *notFinite
// (when given): its error needs no working values to be found.
std::optional<std::vector<SingleLinkageMerge>> SingleLinkageMergesOfCondensed(std::int32_t n,
                                                                              const double* condensed,
                                                                              RunControl* control = nullptr,
                                                                              bool* notFinite = nullptr);

}  // namespace cluster
