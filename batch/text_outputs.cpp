#include "batch/text_outputs.h"

#include <cmath>

#include "common/real_text.h"
#include "engine/cophenetic.h"

namespace cluster {

std::string MergeListText(const MergeList& list) {
  std::string text;
  for (const Merge& merge : list.merges) {
    text += std::to_string(merge.left) + '\t' + std::to_string(merge.right) + '\t' + std::to_string(merge.id) +
            '\t' + Text21(merge.height) + '\t' + std::to_string(merge.members) + '\n';
  }
  return text;
}

std::string LinkageText(const MergeList& list) {
  std::string text;
  for (std::size_t k = 0; k < list.merges.size(); ++k) {
    const Merge& merge = list.merges[k];
    const Real height = SciPyHeightOf(list, k);
    if (!std::isfinite(static_cast<double>(height))) {
      throw ENoSciPyHeight("merge " + std::to_string(k + 1) + " is at " + Text21(height) +
                           " in SciPy's units, beyond the largest number its linkage matrix (of doubles) holds");
    }
    // In the drawing order, as SciPy's dendrogram reads a row: first
    // column first.
    const bool swapped = k < list.rightFirst.size() && list.rightFirst[k];
    const std::int32_t first = swapped ? merge.right : merge.left;
    const std::int32_t second = swapped ? merge.left : merge.right;
    text += std::to_string(first - 1) + '\t' + std::to_string(second - 1) + '\t' + ShortestText(height) +
            '\t' + std::to_string(merge.members) + '\n';
  }
  return text;
}

std::string TabField(const std::string& label) {
  std::string field;
  field.reserve(label.size());
  for (const char c : label) {
    switch (c) {
      case '\\': field += "\\\\"; break;
      case '\t': field += "\\t"; break;
      case '\r': field += "\\r"; break;
      case '\n': field += "\\n"; break;
      default: field += c;
    }
  }
  return field;
}

std::string GroupsText(const std::vector<std::string>& labels, const std::vector<std::int32_t>& groups) {
  std::string text;
  for (std::size_t k = 0; k < groups.size(); ++k) {
    text += TabField(labels.at(k)) + '\t' + std::to_string(groups[k]) + '\n';
  }
  return text;
}

std::string OrderText(const MergeList& list, const std::vector<std::string>& labels) {
  std::string text;
  for (const std::int32_t object : LeafOrder(list)) text += TabField(labels.at(static_cast<std::size_t>(object - 1))) + '\n';
  return text;
}

std::string CopheneticText(const MergeList& list, const DissimilarityRows& rows,
                           std::atomic<std::int64_t>* rowsDone) {
  return Text17(static_cast<double>(CopheneticCorrelation(list, rows, rowsDone))) + "\n";
}

}  // namespace cluster
