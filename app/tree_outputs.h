// What the batch tool writes of a finished tree for people and other tools.
//
// - The merge list, one line per merge in merge order:
//     left <TAB> right <TAB> id <TAB> height <TAB> members
//   ids as the engine gives them (objects 1..n, merges n + 1..), heights in
//   the engine's own units with 21 significant digits, enough to read back
//   every bit of the 80-bit value.
// - SciPy's linkage matrix: one merge per line, tab-separated, the two
//   merged ids 0-based (objects 0..n - 1, the k-th merge n + k - 1, the
//   smaller first), the height in SciPy's units and the member count.
// - The tree in Newick format, branch lengths in the method's own units.
// - Groups: the tree cut into K groups, or where merge heights exceed H.
// - The cophenetic correlation coefficient.
//
// Reals are written with the shortest decimal text that reads back as the
// same double (so 1.25 is "1.25"), except where noted; nothing depends on the
// locale. Labels are given in UTF-8.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/errors.h"
#include "common/float_checks.h"
#include "engine/cluster_types.h"

namespace cluster {

class AnalysisStore;

// A finished merge tree, and what its outputs read besides: the method, the
// number of objects n, the root (objects 1..n, merges n + 1..2n - 1 below
// it) and the dissimilarity of objects i > j as the method was given it.
struct FinishedTree {
  std::uint8_t method = kCentroidMethod;
  std::int32_t objects = 0;
  TClusterNode* root = nullptr;  // the plot writes its nodes' PlotPos
  std::function<Real(std::int32_t, std::int32_t)> dissimilarity;
};

// The tree of a store after a complete run.
FinishedTree TreeOf(const AnalysisStore& store);

// A height with no value in SciPy's units: the square root of a negative
// centroid or median height (data that are not Euclidean).
class ENoSciPyHeight : public Exception {
 public:
  using Exception::Exception;
};

// The shortest text that reads back as the double nearest `value`.
std::string ShortestText(Real value);

// A merge height in SciPy's units: as it is for the linkages, its square
// root for the centroid and median methods, the root of twice it for
// Ward's. `merge` (1-based) names the merge in the error.
Real SciPyHeight(std::uint8_t method, Real height, std::int32_t merge);

std::string MergeListText(const FinishedTree& tree);
std::string LinkageText(const FinishedTree& tree);
std::string NewickText(const FinishedTree& tree, const std::vector<std::string>& labels);

// Each object's group (1-based, numbered in the order in which each group's
// first object comes in the data): the tree cut into `groups` groups by
// undoing its last groups - 1 merges (1 <= groups <= n), or cut at `height`:
// a group is a largest subtree whose merges all lie at or below it.
std::vector<std::int32_t> GroupsOfCut(const FinishedTree& tree, std::int32_t groups);
std::vector<std::int32_t> GroupsBelowHeight(const FinishedTree& tree, Real height);
// label <TAB> group, one line per object in data order.
std::string GroupsText(const std::vector<std::string>& labels, const std::vector<std::int32_t>& groups);

// The Pearson correlation of the dissimilarities and the heights at which
// each pair first joins, both in SciPy's units; "%.17g" and a line end.
std::string CopheneticText(const FinishedTree& tree);

}  // namespace cluster
