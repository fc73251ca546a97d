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
// pass over the active rows plus the occasional rescan. The pass runs in
// three stretches of rows, each with one fixed layout (UpdateRuns), and asks
// a row's candidate through a 64-bit bound first (CandidateTree::IsBelow):
// on x87 an 80-bit load or store costs several times a 64-bit one, and
// those loads and stores, with the strided ones missing the cache, are what
// a merge spends its time on.
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
  UpdateForMerge(rowA, rowB, newId);

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
void AnalysisStore::UpdateForMerge(std::int32_t rowA, std::int32_t rowB, std::int32_t newId) {
  const std::int32_t na = members_[rowA];
  const std::int32_t nb = members_[rowB];
  const Real dab = Work(rowA, rowB);
  ClearFloatFlags();
  if (method_ == kCentroidMethod) {
    const CentroidWeights weights = CentroidWeightsFor(na, nb);
    const Real abW3 = dab * weights.w3;
    UpdateRows(rowA, rowB, newId, [&weights, abW3](Real dan, Real dbn, std::int32_t) {
      return CentroidCombine(dan, dbn, weights, abW3);
    });
  } else {
    const std::int32_t* members = members_.data();
    UpdateRows(rowA, rowB, newId, [dab, members, na, nb](Real dna, Real dnb, std::int32_t row) {
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

template <typename Rule>
void AnalysisStore::UpdateRows(std::int32_t rowA, std::int32_t rowB, std::int32_t newId,
                               Rule rule) {
  if (rowA < rowB) {
    UpdateRuns<true>(rowA, rowB, newId, rule);
  } else {
    UpdateRuns<false>(rowB, rowA, newId, rule);
  }
}

// The pass over the active rows. The new values overwrite the pairs with the
// lower merged row, which the new cluster keeps. For another row r, the pair
// (r, low) lies in row max(r, low) and (r, high) in row max(r, high), so the
// active rows fall into three runs, each with one fixed layout: below the
// lower merged row both values lie in the merged rows (contiguous); between
// the two, the value with the lower one lies in r's own row; above both,
// both lie in r's row. Looping run by run keeps the pass free of per-row
// layout decisions.
template <bool kLowIsA, typename Rule>
void AnalysisStore::UpdateRuns(std::int32_t lowRow, std::int32_t highRow, std::int32_t newId,
                               Rule rule) {
  Real* const work = work_.get();
  const std::int32_t* const idOf = idOf_.data();
  const std::int32_t* const rows = activeRows_.data();
  const std::size_t count = activeRows_.size();
  // line(r)[c] is the pair value of rows c < r.
  const auto line = [work](std::int32_t row) { return work + TriangleRowOffset(row) - 1; };
  const auto combine = [&rule](Real atLow, Real atHigh, std::int32_t row) {
    return kLowIsA ? rule(atLow, atHigh, row) : rule(atHigh, atLow, row);
  };
  Real* const lowLine = line(lowRow);
  Real* const highLine = line(highRow);

  // Below the lower merged row: the new row owns these pairs, with the keys
  // (newId, id); the least value, then the least id, is its candidate.
  constexpr std::int32_t kNoId = std::numeric_limits<std::int32_t>::max();
  Real best = std::numeric_limits<Real>::infinity();
  std::int32_t bestId = kNoId;
  std::size_t k = 0;
  for (; rows[k] < lowRow; ++k) {
    const std::int32_t row = rows[k];
    const Real value = combine(lowLine[row], highLine[row], row);
    lowLine[row] = value;
    const std::int32_t id = idOf[row];
    if (value < best || (value == best && id < bestId)) {
      best = value;
      bestId = id;
    }
  }
  if (bestId != kNoId) {
    candidates_.Set(lowRow, best, newId, bestId, bestId);
  } else {
    candidates_.Clear(lowRow);
  }

  // Above it, each row owns its pair with the new cluster. The key (newId,
  // id) is above every key made before, so only a smaller value puts the
  // pair ahead of the row's candidate.
  const auto offer = [this, newId, idOf](std::int32_t row, Real value) {
    if (candidates_.IsBelow(row, value)) candidates_.Set(row, value, newId, idOf[row], newId);
  };
  // The values in the rows' own lines lie a row's length apart: no hardware
  // prefetcher follows that, and an 80-bit load that misses the cache
  // stalls everything behind it.
  const auto prefetch = [&](std::size_t at, std::int32_t column) {
    if (at + kPrefetchDistance < count) {
      __builtin_prefetch(line(rows[at + kPrefetchDistance]) + column, 1);
    }
  };
  for (++k; rows[k] < highRow; ++k) {
    prefetch(k, lowRow);
    const std::int32_t row = rows[k];
    Real* const own = line(row);
    const Real value = combine(own[lowRow], highLine[row], row);
    own[lowRow] = value;
    offer(row, value);
  }
  for (++k; k < count; ++k) {
    prefetch(k, lowRow);
    prefetch(k, highRow);
    const std::int32_t row = rows[k];
    Real* const own = line(row);
    const Real value = combine(own[lowRow], own[highRow], row);
    own[lowRow] = value;
    offer(row, value);
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
