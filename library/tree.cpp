#include "cluster_analysis/tree.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "cluster_analysis/error.h"
#include "common/real_text.h"
#include "engine/matrix/analysis_store.h"
#include "engine/cophenetic.h"
#include "engine/leaf_order.h"
#include "engine/memory_budget.h"
#include "engine/newick.h"
#include "engine/tree_cut.h"
#include "engine/condensed_index.h"
#include "library/translation.h"

namespace cluster_analysis {

namespace {

using cluster::Real;

// Condensed dissimilarities (SciPy's order) read as the engine's rows:
// row i (1-based) holds d(i, 1..i - 1), pair (j - 1, i - 1) of the array.
template <typename Number>
cluster::DissimilarityRows RowsOf(std::span<const Number> condensed, std::int32_t n) {
  return [condensed, n](std::int32_t i, Real* row) {
    for (std::int32_t j = 1; j < i; ++j) {
      row[j - 1] = static_cast<Real>(condensed[cluster::CondensedIndex(n, j - 1, i - 1)]);
    }
  };
}

// InvalidArgument unless the dissimilarities are finite and of the tree's objects.
template <typename Number>
void CheckDissimilaritiesOf(const Tree& tree, std::span<const Number> condensed) {
  const std::int32_t n = ObjectsOfCondensed(condensed.size());
  if (n != tree.objects) {
    throw InvalidArgument("the tree is of " + std::to_string(tree.objects) + " objects, the dissimilarities of " +
                          std::to_string(n));
  }
  for (std::size_t k = 0; k < condensed.size(); ++k) {
    if (!std::isfinite(condensed[k])) {
      throw InvalidArgument("dissimilarity value " + std::to_string(k) + " is " + cluster::ShortestText(condensed[k]) +
                            ", not a finite number");
    }
  }
}

template <typename Number>
double Cophenetic(const Tree& tree, std::span<const Number> condensed) {
  return cluster::library::Translated([&] {
    const cluster::MergeList list = cluster::library::MergeListOf(tree);
    CheckDissimilaritiesOf(tree, condensed);
    return static_cast<double>(cluster::CopheneticCorrelation(list, RowsOf(condensed, tree.objects)));
  });
}

template <typename Number>
std::vector<std::int32_t> OptimalOrder(const Tree& tree, std::span<const Number> condensed, const RunOptions& options) {
  return cluster::library::Translated([&] {
    cluster::MergeList list = cluster::library::MergeListOf(tree);
    CheckDissimilaritiesOf(tree, condensed);
    cluster::CheckLeafOrderFits(tree.objects);
    cluster::RunControl control(options.progress, options.cancel);
    cluster::OptimalLeafOrder(list, RowsOf(condensed, tree.objects), &control);
    return cluster::LeafOrder(list);
  });
}

}  // namespace

void CheckTree(const Tree& tree) { cluster::library::MergeListOf(tree); }

Tree InSciPyUnits(Tree tree) {
  return cluster::library::Translated([&] {
    cluster::MergeList list = cluster::library::MergeListOf(tree);
    cluster::ToSciPyUnits(list);
    Tree converted = cluster::library::TreeOf(list);
    converted.method = tree.method;
    return converted;
  });
}

std::vector<double> ScipyLinkageMatrix(const Tree& tree) { return ScipyLinkageMatrix(tree, LeafOrder(tree)); }

std::vector<std::int32_t> OptimalLeafOrder(const Tree& tree, std::span<const double> condensed,
                                           const RunOptions& options) {
  return OptimalOrder(tree, condensed, options);
}

std::vector<std::int32_t> OptimalLeafOrder(const Tree& tree, std::span<const long double> condensed,
                                           const RunOptions& options) {
  return OptimalOrder(tree, condensed, options);
}

std::vector<double> ScipyLinkageMatrix(const Tree& tree, const std::vector<std::int32_t>& order) {
  return cluster::library::Translated([&] {
    cluster::MergeList list = cluster::library::MergeListOf(tree);
    list.rightFirst = cluster::DrawingOrderOf(list, order);
    std::vector<double> matrix;
    matrix.reserve(4 * list.merges.size());
    for (std::size_t k = 0; k < list.merges.size(); ++k) {
      const cluster::Merge& merge = list.merges[k];
      const auto height = static_cast<double>(cluster::SciPyHeightOf(list, k));
      if (!std::isfinite(height)) {
        throw InvalidArgument("merge " + std::to_string(k + 1) +
                              " lies beyond the largest number SciPy's linkage matrix (of doubles) holds");
      }
      const bool swapped = list.rightFirst[k];
      matrix.insert(matrix.end(), {static_cast<double>((swapped ? merge.right : merge.left) - 1),
                                   static_cast<double>((swapped ? merge.left : merge.right) - 1), height,
                                   static_cast<double>(merge.members)});
    }
    return matrix;
  });
}

Tree TreeOfScipyLinkage(std::span<const double> matrix, std::int64_t rows) {
  if (rows < 0 || matrix.size() != static_cast<std::size_t>(rows) * 4) {
    throw InvalidArgument("a linkage matrix has 4 columns: " + std::to_string(matrix.size()) +
                          " values are not " + std::to_string(rows) + " rows of 4");
  }
  if (rows + 1 > cluster::AnalysisStore::kLargestMaxObjects) {
    throw InvalidArgument("a linkage matrix of " + std::to_string(rows) + " rows is of more objects than the engine numbers");
  }
  // Checked in the matrix's own terms: row k (0-based) joins two of the
  // objects 0..n-1 and the clusters n..n+k-1 of the rows before it, each
  // not joined before, and counts their objects.
  const auto n = static_cast<std::int32_t>(rows) + 1;
  std::vector<std::int32_t> members(2 * static_cast<std::size_t>(n), 1);
  std::vector<bool> joined(2 * static_cast<std::size_t>(n), false);
  Tree tree;
  tree.objects = n;
  tree.units = Units::scipy;
  for (std::int64_t k = 0; k < rows; ++k) {
    const double* row = matrix.data() + 4 * k;
    const std::string where = "row " + std::to_string(k) + " of the linkage matrix";
    const std::int64_t largest = n + k - 1;
    std::int32_t ids[2];
    for (int c = 0; c < 2; ++c) {
      const double id = row[c];
      if (!(id >= 0 && id <= static_cast<double>(largest) && std::floor(id) == id)) {
        throw InvalidArgument(where + " joins cluster " + cluster::ShortestText(id) + ", which is none of 0.." +
                              std::to_string(largest) + " (the objects and the clusters of the rows before it)");
      }
      ids[c] = static_cast<std::int32_t>(id);
      if (joined[static_cast<std::size_t>(ids[c])]) {
        throw InvalidArgument(where + " joins cluster " + std::to_string(ids[c]) + ", which an earlier row joined");
      }
    }
    if (ids[0] == ids[1]) throw InvalidArgument(where + " joins cluster " + std::to_string(ids[0]) + " with itself");
    const std::int32_t sum = members[static_cast<std::size_t>(ids[0])] + members[static_cast<std::size_t>(ids[1])];
    if (row[3] != sum) {
      throw InvalidArgument(where + " counts " + cluster::ShortestText(row[3]) + " objects, and its clusters hold " +
                            std::to_string(sum));
    }
    if (!std::isfinite(row[2])) throw InvalidArgument(where + " has no finite height");
    joined[static_cast<std::size_t>(ids[0])] = joined[static_cast<std::size_t>(ids[1])] = true;
    members[static_cast<std::size_t>(n + k)] = sum;
    tree.merges.push_back({std::min(ids[0], ids[1]) + 1, std::max(ids[0], ids[1]) + 1,
                           n + static_cast<std::int32_t>(k) + 1, row[2], sum});
  }
  return tree;
}

std::vector<std::int32_t> CutIntoGroups(const Tree& tree, std::int32_t groups) {
  const cluster::MergeList list = cluster::library::MergeListOf(tree);
  if (groups < 1 || groups > tree.objects) {
    throw InvalidArgument("a tree of " + std::to_string(tree.objects) + " objects is cut into 1 to " +
                          std::to_string(tree.objects) + " groups, not " + std::to_string(groups));
  }
  return cluster::library::Translated([&] { return cluster::GroupsOfCut(list, groups); });
}

std::vector<std::int32_t> CutAtHeight(const Tree& tree, long double height) {
  const cluster::MergeList list = cluster::library::MergeListOf(tree);
  if (std::isnan(height)) throw InvalidArgument("a cut height is a number, not NaN");
  return cluster::library::Translated([&] { return cluster::GroupsBelowHeight(list, height); });
}

double CopheneticCorrelation(const Tree& tree, std::span<const double> condensed) {
  return Cophenetic(tree, condensed);
}
double CopheneticCorrelation(const Tree& tree, std::span<const long double> condensed) {
  return Cophenetic(tree, condensed);
}

std::string Newick(const Tree& tree, const std::vector<std::string>& labels) {
  const cluster::MergeList list = cluster::library::MergeListOf(tree);
  if (labels.size() != static_cast<std::size_t>(tree.objects)) {
    throw InvalidArgument(std::to_string(labels.size()) + " labels for a tree of " + std::to_string(tree.objects) +
                          " objects");
  }
  return cluster::library::Translated([&] { return cluster::NewickText(list, labels); });
}

std::vector<std::int32_t> LeafOrder(const Tree& tree) { return cluster::LeafOrder(cluster::library::MergeListOf(tree)); }

}  // namespace cluster_analysis
