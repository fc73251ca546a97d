#include "cluster_analysis/tree.h"

#include <cmath>
#include <string>

#include "cluster_analysis/error.h"
#include "engine/cophenetic.h"
#include "engine/newick.h"
#include "engine/tree_cut.h"
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
      const std::int64_t a = j - 1;
      const std::int64_t b = i - 1;
      row[j - 1] = static_cast<Real>(condensed[static_cast<std::size_t>(n * a - a * (a + 1) / 2 + (b - a - 1))]);
    }
  };
}

template <typename Number>
double Cophenetic(const Tree& tree, std::span<const Number> condensed) {
  return cluster::library::Translated([&] {
    const cluster::MergeList list = cluster::library::MergeListOf(tree);
    const std::int32_t n = ObjectsOfCondensed(condensed.size());
    if (n != tree.objects) {
      throw InvalidArgument("the tree is of " + std::to_string(tree.objects) + " objects, the dissimilarities of " +
                            std::to_string(n));
    }
    return static_cast<double>(cluster::CopheneticCorrelation(list, RowsOf(condensed, n)));
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

std::vector<double> ScipyLinkageMatrix(const Tree& tree) {
  return cluster::library::Translated([&] {
    const cluster::MergeList list = cluster::library::MergeListOf(tree);
    std::vector<double> matrix;
    matrix.reserve(4 * list.merges.size());
    for (std::size_t k = 0; k < list.merges.size(); ++k) {
      const cluster::Merge& merge = list.merges[k];
      const auto height = static_cast<double>(cluster::SciPyHeightOf(list, k));
      if (!std::isfinite(height)) {
        throw InvalidArgument("merge " + std::to_string(k + 1) +
                              " lies beyond the largest number SciPy's linkage matrix (of doubles) holds");
      }
      matrix.insert(matrix.end(), {static_cast<double>(merge.left - 1), static_cast<double>(merge.right - 1), height,
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
  if (rows + 1 > std::numeric_limits<std::int32_t>::max() / 2) throw InvalidArgument("a linkage matrix too long");
  Tree tree;
  tree.objects = static_cast<std::int32_t>(rows) + 1;
  tree.units = Units::scipy;
  const auto whole = [](double value, std::int64_t k, const char* what) {
    if (!(value >= 0 && value <= 2147483647.0 && std::floor(value) == value)) {
      throw InvalidArgument("row " + std::to_string(k) + " of the linkage matrix: its " + what +
                            " is not a whole number of the tree");
    }
    return static_cast<std::int32_t>(value);
  };
  for (std::int64_t k = 0; k < rows; ++k) {
    const double* row = matrix.data() + 4 * k;
    std::int32_t a = whole(row[0], k, "first id") + 1;
    std::int32_t b = whole(row[1], k, "second id") + 1;
    if (a > b) std::swap(a, b);
    if (!std::isfinite(row[2])) throw InvalidArgument("row " + std::to_string(k) + " of the linkage matrix has no finite height");
    tree.merges.push_back(
        {a, b, tree.objects + static_cast<std::int32_t>(k) + 1, row[2], whole(row[3], k, "member count")});
  }
  CheckTree(tree);
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
