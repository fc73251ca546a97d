// The merges of a finished run, the one record both of the engine's paths
// hand back and everything after them reads: the outputs for other tools,
// the cuts, the cophenetic correlation, the picture, the library.
//
// Ids are the pair-list procedure's: objects 1..n, the k-th merge makes
// cluster n + k; each merge names the smaller of its two ids first. Heights
// are in the method's own units (engine/method_table.h: the data's for the
// linkages, squared for median and centroid, half squared for Ward's) until
// converted to SciPy's, which the list then says.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "common/errors.h"
#include "common/float_checks.h"
#include "engine/method_table.h"

namespace cluster {

struct Merge {
  std::int32_t left;   // the smaller id
  std::int32_t right;
  std::int32_t id;     // n + k for the k-th merge
  Real height;
  std::int32_t members;
};

enum class HeightUnits { kOwn, kSciPy };

struct MergeList {
  std::uint8_t method = kCentroidMethod;
  std::int32_t objects = 0;
  std::vector<Merge> merges;  // n - 1 of them after a run of n >= 1 objects
  HeightUnits units = HeightUnits::kOwn;
  // The order the tree is drawn in: merge k's right cluster comes first
  // when rightFirst[k] is set (engine/leaf_order.h sets it); empty, every
  // merge's left cluster first. The merges themselves keep the smaller id
  // first whatever the order.
  std::vector<bool> rightFirst;
};

// The dissimilarities of object i with objects 1..i - 1, as the data gave
// them (for observations, their Euclidean distances), into row[0..i - 2].
// Called from more than one thread at once.
using DissimilarityRows = std::function<void(std::int32_t i, Real* row)>;

// A height with no value in SciPy's units: the square root of a negative
// centroid or median height (data that are not Euclidean).
class ENoSciPyHeight : public Exception {
 public:
  using Exception::Exception;
};

// A list that is not the merges of a tree (from outside the engine: a
// linkage matrix handed to the library), with what is wrong.
class EInvalidMergeList : public Exception {
 public:
  using Exception::Exception;
};

// A height in SciPy's units, computed in 80 bits: as it is, its square root
// or the root of twice it, as the method's row says. `merge` (1-based)
// names the merge in the error.
Real SciPyHeight(std::uint8_t method, Real height, std::int32_t merge);

// Merge k's height (0-based) in SciPy's units, whichever units the list has.
Real SciPyHeightOf(const MergeList& list, std::size_t k);

// Converts every height to SciPy's units, or throws ENoSciPyHeight for the
// first that has none, changing nothing.
void ToSciPyUnits(MergeList& list);

// Throws EInvalidMergeList unless the list is the merges of a tree of its
// objects: n - 1 merges, the k-th with id n + k, each joining two clusters
// that exist and were not merged before (the smaller id first), with the
// sum of their members.
void CheckMergeList(const MergeList& list);

// The children of every merged cluster, by id (objects have none), in the
// list's drawing order: the list's tree in the shape every walk over it uses.
struct Children {
  std::vector<std::int32_t> left;   // by id, 0 for an object
  std::vector<std::int32_t> right;
};
Children ChildrenOf(const MergeList& list);

// Each cluster's objects as one stretch [first, last) of `order`, by id:
// `order` names every object once, in the list's LeafOrder or another
// order; where the tree does not allow it, a stretch spans more positions
// than its cluster has members.
struct Stretches {
  std::vector<std::int32_t> first;
  std::vector<std::int32_t> last;
};
Stretches StretchesOf(const MergeList& list, const std::vector<std::int32_t>& order);

// The objects in the tree's drawing order (left child before right, unless
// the list's rightFirst says otherwise), from the root: every cluster's
// objects are one stretch of it.
std::vector<std::int32_t> LeafOrder(const MergeList& list);

}  // namespace cluster
