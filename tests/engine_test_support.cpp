#include "tests/engine_test_support.h"

#include <cmath>
#include <cstring>
#include <map>
#include <sstream>

namespace cluster::testing {

bool SameBits(long double x, long double y) {
  // The 80-bit value occupies the first 10 bytes; the rest is padding.
  return std::memcmp(&x, &y, 10) == 0;
}

Lower RandomLower(std::int32_t n, DataKind kind, std::mt19937_64& random) {
  Lower lower;
  if (kind == DataKind::kEuclidean || kind == DataKind::kGridEuclidean) {
    const int dims = std::uniform_int_distribution<int>(2, 4)(random);
    std::vector<std::vector<long double>> points(static_cast<std::size_t>(n));
    for (auto& point : points) {
      for (int d = 0; d < dims; ++d) {
        point.push_back(kind == DataKind::kEuclidean
                            ? std::uniform_real_distribution<long double>(0, 1)(random)
                            : static_cast<long double>(
                                  std::uniform_int_distribution<int>(0, 4)(random)));
      }
    }
    for (std::int32_t i = 2; i <= n; ++i) {
      for (std::int32_t j = 1; j < i; ++j) {
        long double sum = 0;
        for (int d = 0; d < dims; ++d) {
          const long double delta = points[i - 1][d] - points[j - 1][d];
          sum += delta * delta;
        }
        lower.push_back(std::sqrt(sum));
      }
    }
    return lower;
  }
  for (std::int32_t i = 2; i <= n; ++i) {
    for (std::int32_t j = 1; j < i; ++j) {
      switch (kind) {
        case DataKind::kContinuous:
          lower.push_back(std::uniform_real_distribution<long double>(0, 10)(random));
          break;
        case DataKind::kSmallWhole:
          lower.push_back(std::uniform_int_distribution<int>(0, 4)(random));
          break;
        case DataKind::kSigned:
          lower.push_back(std::uniform_int_distribution<int>(-3, 3)(random));
          break;
        case DataKind::kSignedZeros: {
          // -1, -0, +0 and 1: the linkages take -0 as it is, and keep the
          // one a merge meets first.
          const int value = std::uniform_int_distribution<int>(0, 3)(random);
          lower.push_back(value == 0 ? -1.0L : value == 1 ? -0.0L : value == 2 ? 0.0L : 1.0L);
          break;
        }
        default:
          lower.push_back(std::uniform_real_distribution<long double>(-1, 1)(random));
          break;
      }
    }
  }
  return lower;
}

::testing::AssertionResult SameLists(const AnalysisStore& store,
                                     const oracle::PlainAgglomeration& plain) {
  if (store.NextClusterId() != plain.next_id()) {
    return ::testing::AssertionFailure() << "NextClusterId " << store.NextClusterId()
                                         << ", expected " << plain.next_id();
  }
  const auto& table = plain.table();
  if (store.ClusterCount() != static_cast<std::int32_t>(table.size())) {
    return ::testing::AssertionFailure() << "ClusterCount " << store.ClusterCount()
                                         << ", expected " << table.size();
  }
  for (std::int32_t s = 1; s <= store.ClusterCount(); ++s) {
    const TClusterSlot& slot = store.ClusterTable(s);
    if (slot.Id != table[s - 1].id || slot.Node == nullptr || slot.Node->Id != slot.Id) {
      return ::testing::AssertionFailure() << "slot " << s << " holds " << slot.Id
                                           << ", expected " << table[s - 1].id;
    }
  }
  const auto& pairs = plain.pairs();
  if (store.PairCount() != static_cast<std::int32_t>(pairs.size())) {
    return ::testing::AssertionFailure() << "PairCount " << store.PairCount() << ", expected "
                                         << pairs.size();
  }
  for (std::int32_t k = 1; k <= store.PairCount(); ++k) {
    const TPairEntry entry = store.PairList(k);
    const oracle::Pair& expected = pairs[k - 1];
    if (entry.Id1 != expected.id1 || entry.Id2 != expected.id2 ||
        !SameBits(entry.Value, expected.value)) {
      return ::testing::AssertionFailure()
             << "pair " << k << " is (" << entry.Id1 << ", " << entry.Id2 << ", "
             << static_cast<double>(entry.Value) << "), expected (" << expected.id1 << ", "
             << expected.id2 << ", " << static_cast<double>(expected.value) << ")";
    }
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult SameTree(const AnalysisStore& store,
                                    const oracle::PlainAgglomeration& plain, std::int32_t n) {
  if (store.ClusterCount() != 3) {
    return ::testing::AssertionFailure() << "ClusterCount " << store.ClusterCount();
  }
  // Walk the tree from the root as the plot does.
  std::map<std::int32_t, const TClusterNode*> byId;
  std::vector<const TClusterNode*> pending{store.ClusterTable(3).Node};
  while (!pending.empty()) {
    const TClusterNode* node = pending.back();
    pending.pop_back();
    if (!byId.emplace(node->Id, node).second) {
      return ::testing::AssertionFailure() << "node " << node->Id << " reached twice";
    }
    if ((node->Left == nullptr) != (node->Right == nullptr)) {
      return ::testing::AssertionFailure() << "node " << node->Id << " has one child";
    }
    if (node->Left != nullptr) {
      pending.push_back(node->Left);
      pending.push_back(node->Right);
    }
  }
  if (static_cast<std::int32_t>(byId.size()) != 2 * n - 1 || byId.begin()->first != 1 ||
      byId.rbegin()->first != 2 * n - 1) {
    return ::testing::AssertionFailure() << "tree has " << byId.size() << " nodes";
  }
  for (const auto& [id, node] : byId) {
    const oracle::Node& expected = plain.node(id);
    const std::int32_t left = node->Left ? node->Left->Id : 0;
    const std::int32_t right = node->Right ? node->Right->Id : 0;
    const std::int32_t expectedLeft = expected.left ? expected.left->id : 0;
    const std::int32_t expectedRight = expected.right ? expected.right->id : 0;
    if (left != expectedLeft || right != expectedRight || node->Members != expected.members ||
        !SameBits(node->Height, expected.height)) {
      std::ostringstream heights;
      heights.precision(21);
      heights << node->Height << " vs " << expected.height;
      return ::testing::AssertionFailure()
             << "node " << id << ": children " << left << "," << right << " members "
             << node->Members << " height " << heights.str() << "; expected children "
             << expectedLeft << "," << expectedRight << " members " << expected.members;
    }
  }
  return SameLists(store, plain);
}

}  // namespace cluster::testing
