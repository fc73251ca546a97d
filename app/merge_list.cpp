#include "app/merge_list.h"

#include <clocale>
#include <cstdio>
#include <locale.h>
#include <vector>

#include "engine/analysis_store.h"

namespace cluster {

namespace {

// "%.21Lg" in the C locale, whatever locale the process has set.
std::string HeightText(Real height) {
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  const locale_t previous = uselocale(cLocale);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.21Lg", height);
  uselocale(previous);
  return buffer;
}

}  // namespace

std::string MergeListText(const AnalysisStore& store) {
  const std::int32_t n = store.ObjectCount;
  if (store.ClusterCount() == 0 || n < 2) return {};
  // Merged clusters are numbered n + 1 .. 2n - 1 in merge order.
  std::vector<const TClusterNode*> merges(static_cast<std::size_t>(n - 1), nullptr);
  std::vector<const TClusterNode*> pending{store.ClusterTable(store.ClusterCount()).Node};
  while (!pending.empty()) {
    const TClusterNode* node = pending.back();
    pending.pop_back();
    if (node->Left == nullptr) continue;
    merges[static_cast<std::size_t>(node->Id - n - 1)] = node;
    pending.push_back(node->Left);
    pending.push_back(node->Right);
  }
  std::string text;
  for (const TClusterNode* node : merges) {
    text += std::to_string(node->Left->Id) + '\t' + std::to_string(node->Right->Id) + '\t' +
            std::to_string(node->Id) + '\t' + HeightText(node->Height) + '\t' +
            std::to_string(node->Members) + '\n';
  }
  return text;
}

}  // namespace cluster
