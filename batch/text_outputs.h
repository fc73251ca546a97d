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
// same double (so 1.25 is "1.25"), except where noted; a value beyond what a
// double holds (past about 1.8e308, or below its normal range) is written
// as the shortest text of the 80-bit value instead, never as "inf" or a
// false 0. Nothing depends on the locale. Labels are given in UTF-8; in
// tab-separated lines a label's backslash, tab, CR and LF are written as
// \\, \t, \r and \n, so that every line keeps its fields.
//
// Heights are in the method's own units, or in SciPy's once the tree has
// been converted (ToSciPyUnits): then the merge list, Newick's branches and
// a cut by height read them in SciPy's units too.
#pragma once

#include <atomic>
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
  bool scipyUnits = false;       // the nodes' heights are in SciPy's units
};

// The tree of a store after a complete run.
FinishedTree TreeOf(const AnalysisStore& store);

// A height with no value in SciPy's units: the square root of a negative
// centroid or median height (data that are not Euclidean).
class ENoSciPyHeight : public Exception {
 public:
  using Exception::Exception;
};

// The shortest text that reads back as the double nearest `value`, or, for
// a value a double cannot hold (beyond its range or below its normal
// numbers, other than 0), the shortest text of the 80-bit value.
std::string ShortestText(Real value);

// A merge height in SciPy's units, computed in 80 bits: as it is for the
// linkages, its square root for the centroid and median methods, the root
// of twice it for Ward's. `merge` (1-based) names the merge in the error.
Real SciPyHeight(std::uint8_t method, Real height, std::int32_t merge);

// Converts every merge height of the tree to SciPy's units (SciPyHeight),
// or throws ENoSciPyHeight for the first that has none, changing nothing.
void ToSciPyUnits(FinishedTree& tree);

std::string MergeListText(const FinishedTree& tree);
// ENoSciPyHeight for a height with no root, or one past the range of the
// doubles SciPy's matrix holds.
std::string LinkageText(const FinishedTree& tree);
std::string NewickText(const FinishedTree& tree, const std::vector<std::string>& labels);

// Each object's group (1-based, numbered in the order in which each group's
// first object comes in the data): the tree cut into `groups` groups by
// undoing its last groups - 1 merges (1 <= groups <= n), or cut at `height`:
// a group is a largest subtree whose merges all lie at or below it.
std::vector<std::int32_t> GroupsOfCut(const FinishedTree& tree, std::int32_t groups);
std::vector<std::int32_t> GroupsBelowHeight(const FinishedTree& tree, Real height);

// Whether a merge at `height` lies at or below the cut `cut`: when it is
// not above it, and also when `cut` is the height as printed, so that a
// value copied from an output cuts where it reads. The printed forms are
// the shortest text of the double (--linkage, --newick) and 15 significant
// digits (as R prints a height); the merge list's 21 digits read back as
// the height itself.
bool AtOrBelowCut(Real height, Real cut);

// A label as a field of a tab-separated line: backslash, tab, CR and LF
// written as \\, \t, \r and \n; any other byte as it is.
std::string TabField(const std::string& label);
// label <TAB> group, one line per object in data order.
std::string GroupsText(const std::vector<std::string>& labels, const std::vector<std::int32_t>& groups);

// The Pearson correlation of the dissimilarities and the heights at which
// each pair first joins, both in SciPy's units; "%.17g" and a line end.
// O(n^2) in time, O(n) beside the dissimilarities; `rowsDone`, when given,
// counts the objects whose pairs are done (a lower triangle's rows).
std::string CopheneticText(const FinishedTree& tree, std::atomic<std::int64_t>* rowsDone = nullptr);

}  // namespace cluster
