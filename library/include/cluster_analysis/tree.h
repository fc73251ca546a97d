// What is made of a finished tree: SciPy's units and linkage matrix, cuts
// into groups, the cophenetic correlation and Newick text, as the batch
// tool makes them.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "cluster_analysis/linkage.h"

namespace cluster_analysis {

// InvalidArgument unless the tree is one: n - 1 merges of n >= 1 objects,
// the k-th with id n + k, each joining two clusters that exist and were
// not merged before (the smaller id first), with the sum of their members.
void CheckTree(const Tree& tree);

// The tree with its heights in SciPy's units, computed in 80 bits;
// InvalidArgument for a centroid or median height below zero, which has no
// square root.
Tree InSciPyUnits(Tree tree);

// SciPy's linkage matrix, (n - 1) rows of 4 doubles, row-major: the two
// merged ids 0-based (objects 0..n-1, the k-th merge n + k - 1, the smaller
// first), the height in SciPy's units and the member count.
// InvalidArgument for a height with no root or beyond a double.
std::vector<double> ScipyLinkageMatrix(const Tree& tree);

// The tree of a SciPy linkage matrix of `rows` rows (n = rows + 1 objects),
// in SciPy's units, its method unknown; InvalidArgument unless it is a
// valid linkage (either order of the two ids in a row is taken).
Tree TreeOfScipyLinkage(std::span<const double> matrix, std::int64_t rows);

// Each object's group, numbered 1.. in the order in which each group's
// first object comes in the data: the tree cut into `groups` groups by
// undoing its last groups - 1 merges (InvalidArgument outside 1..n), or at
// `height` in the tree's units: a group is a largest subtree whose merges
// all lie at or below it, a merge counting as at it also when `height` is
// its height as printed (the shortest text of the double, or 15 digits).
std::vector<std::int32_t> CutIntoGroups(const Tree& tree, std::int32_t groups);
std::vector<std::int32_t> CutAtHeight(const Tree& tree, long double height);

// The Pearson correlation of the dissimilarities (condensed, in SciPy's
// order, as the tree was clustered from) and the heights at which each
// pair first joins, both in SciPy's units. NaN for fewer than two objects.
double CopheneticCorrelation(const Tree& tree, std::span<const double> condensed);
double CopheneticCorrelation(const Tree& tree, std::span<const long double> condensed);

// The tree in Newick format and ";\n"; labels[i] names object i + 1 (UTF-8),
// quoted where the format needs it. InvalidArgument unless there is a
// label for every object.
std::string Newick(const Tree& tree, const std::vector<std::string>& labels);

// The objects (1-based) in the tree's order, left child before right from
// the root: the order a dendrogram draws them in.
std::vector<std::int32_t> LeafOrder(const Tree& tree);

// The objects (1-based) in an optimal leaf order of the tree: of the orders
// its merges allow (each drawing either side first), one with the least sum
// of the dissimilarities (condensed, SciPy's order, as the tree was
// clustered from) of neighbouring objects, found exactly in 80 bits in
// O(n^3) time and 36 n^2 bytes (Bar-Joseph, Gifford and Jaakkola, 2001).
// Among equal sums the tree's own order is kept (each merge's smaller id
// first). OutOfMemory when its tables would not fit; of `options`, progress
// and cancel are heard (Cancelled).
std::vector<std::int32_t> OptimalLeafOrder(const Tree& tree, std::span<const double> condensed,
                                           const RunOptions& options = {});
std::vector<std::int32_t> OptimalLeafOrder(const Tree& tree, std::span<const long double> condensed,
                                           const RunOptions& options = {});

// SciPy's linkage matrix as above, each row's two ids in the order that
// draws the objects in `order` (the cluster drawn first first), as SciPy's
// optimal_leaf_ordering writes it; InvalidArgument unless the tree allows
// that order.
std::vector<double> ScipyLinkageMatrix(const Tree& tree, const std::vector<std::int32_t>& order);

}  // namespace cluster_analysis
