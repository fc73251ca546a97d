// The agglomeration: merge the least pair, value the new cluster against the
// others by the method's update rule, repeat until one cluster remains.
//
// The plain procedure keeps a pair list, searches it linearly for the first
// least value, appends the new cluster's pairs and removes the merged ones by
// shifting. That costs O(n^4) in all. This store gives the same merges, ids
// and bits from a matrix instead, for these reasons:
//
// * A pair's place in the list only reflects when it was made: survivors
//   keep their order and new pairs go to the end. The first pairs are made
//   in the order (1,2), (1,3), (2,3), (1,4), ...; a new cluster has the
//   largest id so far, and its pairs are made in ascending order of the other
//   id. So the list order of pairs {x < y} is the order of (y, x), and "the
//   first of the least values" is the least (value, higher id, lower id).
// * A pair's value never changes while the pair exists, and an update reads
//   only d(a, n), d(b, n), d(a, b) and member counts, so computing it from a
//   matrix with the same grouping of operations gives the same bits.
//
// Every active cluster owns a row of the working matrix; the new cluster
// takes over the lower of the two merged rows and the higher row dies. A
// pair belongs to its higher row, and each row keeps a candidate that is at
// or below every pair it owns (CandidateTree). The least candidate is the
// least pair as soon as its partner is still active; otherwise its row was
// left with a stale candidate by an earlier merge and is rescanned. New pairs
// lower the candidates of the rows that own them right away, which matters
// because a centroid update can lower a distance. A merge therefore costs one
// pass over the active rows plus the occasional rescan.
#include <algorithm>
#include <limits>
#include <vector>

#include "common/errors.h"
#include "engine/analysis_store.h"
#include "engine/triangle.h"
#include "engine/update_rules.h"

namespace cluster {

namespace {

constexpr std::size_t kPrefetchDistance = 16;

// Raises the error of a floating operation the moment it happens, as the
// plain procedure does; used where the first error must be named.
Real Checked(Real value) {
  RaiseFloatErrors();
  return value;
}

}  // namespace

bool AnalysisStore::Agglomerate() {
  return AgglomerateSteps(std::numeric_limits<std::int32_t>::max());
}

bool AnalysisStore::AgglomerateSteps(std::int32_t merges) {
  if (DistType != kCentroidMethod && DistType != kWardMethod) return false;
  method_ = DistType;
  if (finished_) return true;
  // With fewer than two clusters there is no pair to merge: the plain
  // procedure then looks up a cluster that does not exist.
  if (activeRows_.size() < 2) throw Exception("Range error in SeekC");
  struct TableRefresh {
    AnalysisStore* store;
    ~TableRefresh() { store->RebuildClusterTable(); }
  } refresh{this};
  for (; merges > 0 && !finished_; --merges) MergeStep();
  return true;
}

void AnalysisStore::MergeStep() {
  const std::int32_t top = LeastPairRow();
  const std::int32_t topId = idOf_[top];
  const std::int32_t partner = candidates_.Partner(top);
  const std::int32_t a = std::min(topId, partner);
  const std::int32_t b = std::max(topId, partner);
  const std::int32_t rowA = rowOf_[a];
  const std::int32_t rowB = rowOf_[b];

  const std::int32_t newId = ++nextClusterId_;
  TClusterNode* node = NewNode(newId);
  node->Left = nodes_[a];
  node->Right = nodes_[b];
  node->Height = candidates_.Value(top);
  node->Members = members_[rowA] + members_[rowB];

  if (activeRows_.size() == 2) {
    // The root. The two merged clusters stay in the table and their pair in
    // the list, as the plain procedure leaves them.
    inTable_[newId] = 1;
    pairCount_ = 1;
    finished_ = true;
    return;
  }

  const std::int32_t lowRow = std::min(rowA, rowB);
  const std::int32_t highRow = std::max(rowA, rowB);
  UpdateForMerge(rowA, rowB, lowRow, newId);

  rowOf_[a] = rowOf_[b] = 0;
  inTable_[a] = inTable_[b] = 0;
  idOf_[highRow] = 0;
  activeRows_.erase(std::lower_bound(activeRows_.begin(), activeRows_.end(), highRow));
  candidates_.Clear(highRow);
  idOf_[lowRow] = newId;
  rowOf_[newId] = lowRow;
  members_[lowRow] = node->Members;
  inTable_[newId] = 1;
  const auto active = static_cast<std::int64_t>(activeRows_.size());
  pairCount_ = static_cast<std::int32_t>(active * (active - 1) / 2);
}

std::int32_t AnalysisStore::LeastPairRow() {
  for (;;) {
    const std::int32_t row = candidates_.Top();
    if (candidates_.IsEmpty(row)) throw Exception("Range error in SeekC");
    if (rowOf_[candidates_.Partner(row)] != 0) return row;
    RescanRow(row);
  }
}

void AnalysisStore::RescanRow(std::int32_t row) {
  const std::int32_t id = idOf_[row];
  const Real* values = work_.get() + TriangleRowOffset(row);
  bool found = false;
  Real best = 0;
  std::int32_t bestHi = 0;
  std::int32_t bestLo = 0;
  std::int32_t bestPartner = 0;
  for (const std::int32_t other : activeRows_) {
    if (other >= row) break;
    const Real value = values[other - 1];
    const std::int32_t otherId = idOf_[other];
    const std::int32_t hi = std::max(id, otherId);
    const std::int32_t lo = std::min(id, otherId);
    if (!found || value < best ||
        (!(best < value) && (hi < bestHi || (hi == bestHi && lo < bestLo)))) {
      found = true;
      best = value;
      bestHi = hi;
      bestLo = lo;
      bestPartner = otherId;
    }
  }
  if (found) {
    candidates_.Set(row, best, bestHi, bestLo, bestPartner);
  } else {
    candidates_.Clear(row);
  }
}

// Values the new cluster against every other active cluster and brings the
// candidates up to date: the new row's exactly, the higher rows' by the new
// pairs they own.
void AnalysisStore::UpdateForMerge(std::int32_t rowA, std::int32_t rowB, std::int32_t lowRow,
                                   std::int32_t newId) {
  const std::int32_t na = members_[rowA];
  const std::int32_t nb = members_[rowB];
  const Real dab = Work(rowA, rowB);
  ClearFloatFlags();
  if (method_ == kCentroidMethod) {
    const CentroidWeights weights = CentroidWeightsFor(na, nb);
    const Real abW3 = dab * weights.w3;
    UpdateRows(rowA, rowB, lowRow, newId, [&](Real dan, Real dbn, std::int32_t) {
      return CentroidCombine(dan, dbn, weights, abW3);
    });
  } else {
    const std::int32_t* members = members_.data();
    UpdateRows(rowA, rowB, lowRow, newId, [&](Real dna, Real dnb, std::int32_t row) {
      return WardCombine(dna, dnb, dab, members[row], na, nb);
    });
  }
  // Every stored value is finite (set-up rejects the rest and every merge
  // is checked), so an update's first failure is always an overflow: a
  // product or sum of finite numbers can neither be invalid nor divide by
  // zero. Later operations on the infinity may add the invalid flag, which
  // must not decide the message.
  try {
    RaiseFloatErrors();
  } catch (const EMathError&) {
    throw EOverflow();
  }
}

// The pass over the active rows: the new values overwrite the merged pair's
// lower row (rows are owned by their higher row, see above).
template <typename Rule>
void AnalysisStore::UpdateRows(std::int32_t rowA, std::int32_t rowB, std::int32_t lowRow,
                               std::int32_t newId, Rule rule) {
  Real* const work = work_.get();
  const std::int32_t* const idOf = idOf_.data();
  const std::int32_t* const rows = activeRows_.data();
  const std::size_t count = activeRows_.size();
  const auto at = [work](std::int32_t row, std::int32_t other) -> Real& {
    return row < other ? work[TriangleIndex(other, row)] : work[TriangleIndex(row, other)];
  };
  bool found = false;
  Real best = 0;
  std::int32_t bestId = 0;
  for (std::size_t k = 0; k < count; ++k) {
    if (k + kPrefetchDistance < count) {
      // The values of a row's pairs with rowA and rowB lie a row's length
      // apart: no hardware prefetcher follows that, and an 80-bit load that
      // misses the cache stalls everything behind it.
      const std::int32_t ahead = rows[k + kPrefetchDistance];
      __builtin_prefetch(&at(ahead, rowA), 1);
      __builtin_prefetch(&at(ahead, rowB), 1);
    }
    const std::int32_t row = rows[k];
    if (row == rowA || row == rowB) continue;
    Real& toA = at(row, rowA);
    Real& toB = at(row, rowB);
    const Real value = rule(toA, toB, row);
    (lowRow == rowA ? toA : toB) = value;
    const std::int32_t id = idOf[row];
    if (row < lowRow) {
      // The new row owns this pair; its key is (newId, id).
      if (!found || value < best || (!(best < value) && id < bestId)) {
        found = true;
        best = value;
        bestId = id;
      }
    } else if (value < candidates_.Value(row)) {
      // The row owns this pair. Its key (newId, id) is above every key made
      // before, so only a smaller value puts it ahead of the candidate.
      candidates_.Set(row, value, newId, id, newId);
    }
  }
  if (found) {
    candidates_.Set(lowRow, best, newId, bestId, bestId);
  } else {
    candidates_.Clear(lowRow);
  }
}

Real AnalysisStore::CentroidUpdate(std::int32_t n, std::int32_t a, std::int32_t b) const {
  const std::int32_t na = SeekC(a).Members;
  const std::int32_t nb = SeekC(b).Members;
  ClearFloatFlags();
  const Real w1 = Checked(static_cast<Real>(na) / static_cast<Real>(na + nb));
  const Real t1 = Checked(SeekD(a, n) * w1);
  const Real w2 = Checked(static_cast<Real>(nb) / static_cast<Real>(na + nb));
  const Real t2 = Checked(Checked(SeekD(b, n) * w2) + t1);
  const Real w3 = Checked(static_cast<Real>(na * nb) / static_cast<Real>((na + nb) * (na + nb)));
  return Checked(t2 - Checked(SeekD(a, b) * w3));
}

Real AnalysisStore::WardUpdate(std::int32_t n, std::int32_t a, std::int32_t b) const {
  const std::int32_t nn = SeekC(n).Members;
  const std::int32_t na = SeekC(a).Members;
  const std::int32_t nb = SeekC(b).Members;
  ClearFloatFlags();
  const Real t1 = Checked(SeekD(n, a) * static_cast<Real>(nn + na));
  const Real t2 = Checked(Checked(SeekD(n, b) * static_cast<Real>(nn + nb)) + t1);
  const Real numerator = Checked(t2 - Checked(SeekD(a, b) * static_cast<Real>(nn)));
  return Checked(numerator / static_cast<Real>(nn + na + nb));
}

}  // namespace cluster
