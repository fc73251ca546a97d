// The agglomeration: merge the least pair, value the new cluster against the
// others by the method's update rule, repeat until one cluster remains.
// This is the one full account of how the engine works and why its results
// are exact; the other engine files say only what they do.
//
// Exactness. The result is defined by the pair-list procedure: a list of
// pairs searched linearly for the first least value (strict less-than), the
// new cluster's pairs appended in ascending order of the other id, the
// merged pairs removed by shifting. That costs O(n^4) in all; the tests keep
// it, literally, as the reference (tests/engine_oracle.h). This store gives
// the same merges, ids and bits from a matrix instead, because:
//
// * A pair's place in the list only reflects when it was made: survivors
//   keep their order and new pairs go to the end. The first pairs are made
//   in the order (1,2), (1,3), (2,3), (1,4), ...; a new cluster has the
//   largest id so far, and its pairs are made in ascending order of the other
//   id. So the list order of pairs {x < y} is the order of (y, x), and "the
//   first of the least values" is the least (value, higher id, lower id).
// * A pair's value never changes while the pair exists, and an update reads
//   only d(a, n), d(b, n), d(a, b) and member counts, so computing it from a
//   matrix with the same grouping of operations (engine/update_rules.h)
//   gives the same bits.
// Between merges the store can therefore still be read as that list
// (Agglomeration::PairList computes entry k from the cluster table).
//
// The search. Every active cluster owns a row of the working matrix; the new
// cluster takes over the lower of the two merged rows and the higher row
// dies. A pair belongs to its higher row, and each row keeps a candidate
// that is at or below every pair it owns (CandidateTree, a tournament tree
// over the rows). The least candidate is the least pair as soon as its
// partner is still active; otherwise its row was left with a stale
// candidate by an earlier merge and is rescanned. New pairs lower the
// candidates of the rows that own them right away, which matters because a
// centroid update can lower a distance. A merge therefore costs one pass
// over the active rows plus the occasional rescan, and asks a row's
// candidate through a 64-bit bound first (CandidateTree::IsBelow).
//
// The working values. Where that pass spends its time decides the layout.
// On x87 an 80-bit load costs several times a 64-bit one, and in a packed
// triangle the pass reads a merged row's pairs with the rows above it down
// a column, one cache miss per row that stalls the pass. So the working
// values normally live in a full square of split cells (engine/matrix/cell_layouts.h:
// a double and a float that add up to the value exactly): both merged rows
// are read along their length with cheap loads (UpdateSquare), and each new
// value is written to the new cluster's row and, mirrored, to the other
// row's own line; those scattered stores are prefetched and do not hold the
// pass up as loads would. The set-up fills the lower half and copies it to
// the upper half in blocks of rows small enough for the second-level cache.
// A merge's own factors (the centroid weights, d(a, b)) are split the same
// way and its member counts kept as doubles, since the pass reloads them
// for every row; the candidates and the rescans compare the double halves
// first, and the 80-bit comparison is made only where they cannot decide.
//
// Whole values. A value that split cells cannot hold exactly (far beyond
// ordinary magnitudes) raises the overflow or underflow flag when stored,
// which the set-up or the merge's pass then reads; the run switches to whole
// 80-bit values in a packed triangle, replaying the merges made so far from
// the captured data, and goes on exactly as before (SwitchToWideCells).
// Stores too large for a square use the triangle from the start. The
// triangle's pass runs in three stretches of rows, each with one fixed
// layout (UpdateRuns).
//
// The second thread. The rows of the set-up and of a square's pass are
// independent, so long ones are shared with a helper thread
// (common/helper_thread.h): the caller takes the first part (the set-up's
// rows up to n/sqrt(2), half of the pairs; 55% of a pass, since the helper
// starts a moment later) and the helper the rest, or the caller both when
// the helper has not joined in time. Each part keeps its own results (the
// new row's least pair, the rows whose candidates it lowered), which the
// candidate tree takes in after the pass, on the caller; the helper's
// floating-point flags are raised again on the caller, so the checks above
// read one set of flags. Every value is computed by the same operations on
// either thread, so who computed it never shows. A pass never allocates, so
// it cannot fail half way on the helper.
//
// Errors. The set-up fails at the first pair in list order whose square is
// not finite (EOverflow, or EInvalidOp for a NaN); a merge whose update
// overflows raises EOverflow. Lookups that fail carry only "Range error in
// SeekC" / "SeekD range error".
#include <algorithm>
#include <limits>
#include <type_traits>
#include <vector>

#include "common/errors.h"
#include "engine/matrix/agglomeration.h"
#include "engine/pair_order.h"
#include "engine/matrix/single_linkage_pass.h"
#include "engine/triangle.h"
#include "engine/update_rules.h"
#include "engine/matrix/cell_layouts.h"

namespace cluster {

namespace {

constexpr std::size_t kPrefetchDistance = 16;

constexpr std::int32_t kNoId = std::numeric_limits<std::int32_t>::max();

// The new row's least pair as one part of a pass found it: the least value,
// then the least id.
struct Least {
  Real value = std::numeric_limits<Real>::infinity();
  std::int32_t id = kNoId;
};

// Runs a merge's pass over `count` rows, shared with the helper when there
// is one: the caller starts at once and the helper a moment later, so the
// caller takes a little more than half.
template <typename Pass>
void RunPass(HelperThread* helper, std::size_t count, Pass& pass) {
  if (helper != nullptr) {
    helper->Run(count, count * 11 / 20, pass);
  } else {
    pass(0, count, HelperThread::kFirstPart);
  }
}

// The update rule with its values in the merged clusters' order, d(a, n)
// first, whichever of the two merged rows is the lower.
template <bool kLowIsA, typename Rule>
auto Oriented(Rule& rule) {
  return [&rule](Real atLow, Real atHigh, std::int32_t row) {
    return kLowIsA ? rule(atLow, atHigh, row) : rule(atHigh, atLow, row);
  };
}

// After a pass: the new row's candidate is the better of the two parts'
// least pairs, and the candidate tree learns of every row either part
// lowered.
void SettleCandidates(CandidateTree& candidates, const std::vector<std::int32_t> (&lowered)[2],
                      const Least (&least)[2], std::int32_t lowRow, std::int32_t newId) {
  const bool second = SharedHighBefore(least[1].value, least[1].id, least[0].value, least[0].id);
  const Least& best = least[second ? 1 : 0];
  if (best.id != kNoId) {
    candidates.Set(lowRow, best.value, newId, best.id, best.id);
  } else {
    candidates.Clear(lowRow);
  }
  for (const std::vector<std::int32_t>& rowsLowered : lowered) {
    for (const std::int32_t row : rowsLowered) candidates.Refresh(row);
  }
}

}  // namespace

bool Agglomeration::AgglomerateSteps(std::int32_t merges) {
  if (!store_.AcceptsMethod(store_.DistType)) return false;
  method_ = store_.DistType;
  if (finished_) return true;
  // With fewer than two clusters there is no pair to merge: the pair-list
  // procedure then looks up a cluster that does not exist.
  if (activeRows_.size() < 2) throw Exception("Range error in SeekC");
  struct TableRefresh {
    Agglomeration* store;
    ~TableRefresh() { store->RebuildClusterTable(); }
  } refresh{this};
  if (workPending_) {
    // Prepared for a whole run: single linkage's merges are known; any
    // other run needs its working values first.
    const std::int32_t remaining = 2 * preparedCount_ - 1 - nextClusterId_;
    if (singlePlan_ && method_ == kSingleLinkage && merges >= remaining) {
      ApplySingleLinkagePlan();
      if (control_ != nullptr) control_->Done(1);
      return true;
    }
    BuildWorkingValues();
  }
  for (; merges > 0 && !finished_; --merges) {
    MergeStep();
    if (control_ != nullptr) {
      control_->Done(finished_ ? 1
                                : kSetUpShare + (1 - kSetUpShare) * WorkDone(nextClusterId_ - preparedCount_, preparedCount_));
    }
  }
  return true;
}

// Makes the merges that single linkage's pass found, and leaves the store as
// the last merge of any run leaves it: the last two clusters and the root in
// the table, their pair alone in the list.
void Agglomeration::ApplySingleLinkagePlan() {
  const std::vector<SingleLinkageMerge>& merges = *singlePlan_;
  for (const SingleLinkageMerge& merge : merges) {
    TClusterNode* node = NewNode(++nextClusterId_);
    node->Left = nodes_[static_cast<std::size_t>(merge.left)];
    node->Right = nodes_[static_cast<std::size_t>(merge.right)];
    node->Height = merge.height;
    node->Members = merge.members;
  }
  const SingleLinkageMerge& last = merges.back();
  std::fill(inTable_.begin(), inTable_.end(), 0);
  inTable_[last.left] = inTable_[last.right] = inTable_[nextClusterId_] = 1;
  // The last pair, as SeekD finds it: in rows 1 and 2, its value kept
  // aside (there are no working values).
  std::fill(rowOf_.begin(), rowOf_.end(), 0);
  rowOf_[last.left] = 1;
  rowOf_[last.right] = 2;
  idOf_.assign(3, 0);
  idOf_[1] = last.left;
  idOf_[2] = last.right;
  activeRows_ = {1, 2};
  lastPairOnly_ = true;
  lastPairValue_ = last.height;
  pairCount_ = 1;
  finished_ = true;
  workPending_ = false;
  singlePlan_.reset();
}

void Agglomeration::MergeStep() {
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
    // the list, as the pair-list procedure leaves them.
    inTable_[newId] = 1;
    pairCount_ = 1;
    finished_ = true;
    return;
  }

  if (!ApplyMerge(a, b, newId, node->Members)) SwitchToWideCells();
  inTable_[a] = inTable_[b] = 0;
  inTable_[newId] = 1;
}

// Values the new cluster against the others and hands it the lower of the
// two merged rows. Returns false when split cells could not hold a new value
// or one of the merge's factors exactly; the values are then unusable, the
// rest of the state is right.
bool Agglomeration::ApplyMerge(std::int32_t a, std::int32_t b, std::int32_t newId,
                               std::int32_t members) {
  const std::int32_t rowA = rowOf_[a];
  const std::int32_t rowB = rowOf_[b];
  const std::int32_t lowRow = std::min(rowA, rowB);
  const std::int32_t highRow = std::max(rowA, rowB);
  const bool exact = WithCells([&](auto cells) { return UpdateForMerge<decltype(cells)>(rowA, rowB, newId); });

  rowOf_[a] = rowOf_[b] = 0;
  idOf_[highRow] = 0;
  activeRows_.erase(std::lower_bound(activeRows_.begin(), activeRows_.end(), highRow));
  candidates_.Clear(highRow);
  idOf_[lowRow] = newId;
  rowOf_[newId] = lowRow;
  members_[lowRow] = members;
  memberCounts_[lowRow] = members;
  const auto active = static_cast<std::int64_t>(activeRows_.size());
  pairCount_ = active * (active - 1) / 2;
  return exact;
}

// A value left the range split cells hold exactly. Every merge so far was
// exact up to the last one, so the working state is rebuilt in whole 80-bit
// values from the captured data by repeating the merges of the tree; the
// last merge, repeated, raises its error if it has one.
void Agglomeration::SwitchToWideCells() {
  const std::int32_t n = preparedCount_;
  layout_ = WorkLayout::kWide;
  candidates_.Reset(n);
  FillWork<WideCells>(n);
  candidates_.RefreshAll();
  ResetRowsToLeaves(n);
  for (std::int32_t id = n + 1; id <= nextClusterId_; ++id) {
    const TClusterNode& node = *nodes_[static_cast<std::size_t>(id)];
    ApplyMerge(node.Left->Id, node.Right->Id, id, node.Members);
  }
}

std::int32_t Agglomeration::LeastPairRow() {
  for (;;) {
    const std::int32_t row = candidates_.Top();
    if (candidates_.IsEmpty(row)) throw Exception("Range error in SeekC");
    if (rowOf_[candidates_.Partner(row)] != 0) return row;
    WithCells([&](auto cells) { RescanRow<decltype(cells)>(row); });
  }
}

template <typename Cells>
void Agglomeration::RescanRow(std::int32_t row) {
  const std::int32_t id = idOf_[row];
  const typename Cells::Cell* values = WorkCells<Cells>() + WorkRowBase<Cells>(row) + 1;
  // A split value's double half is the value rounded, and rounding keeps
  // order: the least value has the least double half. So only the values
  // with that half need the exact comparison and the tie order.
  double leastHi = std::numeric_limits<double>::infinity();
  if constexpr (Cells::kSplit) {
    // Four running minima, so that each comparison need not wait for the
    // one before it.
    const std::int32_t* const active = activeRows_.data();
    const auto below = static_cast<std::size_t>(
        std::lower_bound(activeRows_.begin(), activeRows_.end(), row) - activeRows_.begin());
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    double least[4] = {kInfinity, kInfinity, kInfinity, kInfinity};
    std::size_t k = 0;
    for (; k + 4 <= below; k += 4) {
      for (std::size_t lane = 0; lane < 4; ++lane) {
        // Read by value: a split cell is packed, and a reference to its
        // half would be a misaligned reference.
        const double hi = values[active[k + lane] - 1].hi;
        least[lane] = std::min(least[lane], hi);
      }
    }
    for (; k < below; ++k) {
      const double hi = values[active[k] - 1].hi;
      least[0] = std::min(least[0], hi);
    }
    leastHi = std::min(std::min(least[0], least[1]), std::min(least[2], least[3]));
  }
  bool found = false;
  Real best = 0;
  std::int32_t bestHi = 0;
  std::int32_t bestLo = 0;
  std::int32_t bestPartner = 0;
  for (const std::int32_t other : activeRows_) {
    if (other >= row) break;
    if constexpr (Cells::kSplit) {
      if (values[other - 1].hi != leastHi) continue;
    }
    const Real value = Cells::Load(values[other - 1]);
    const std::int32_t otherId = idOf_[other];
    const std::int32_t hi = std::max(id, otherId);
    const std::int32_t lo = std::min(id, otherId);
    if (!found || PairKeyBefore(value, hi, lo, best, bestHi, bestLo)) {
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
// pairs they own. Split cells report a value or a factor they could not
// hold (false); whole values raise the first floating error of the pass.
template <typename Cells>
bool Agglomeration::UpdateForMerge(std::int32_t rowA, std::int32_t rowB, std::int32_t newId) {
  constexpr bool kSplit = Cells::kSplit;
  const std::int32_t na = members_[rowA];
  const std::int32_t nb = members_[rowB];
  const Real dab = Work(rowA, rowB);
  // The split cells' flags include the error flags.
  if (kSplit) {
    ClearSplitLossFlags();
  } else {
    ClearFloatFlags();
  }
  using Constant = typename Cells::Constant;
  // Counts are whole numbers, exact as doubles, which x87 loads more cheaply
  // than it converts integers.
  const double countA = na;
  const double countB = nb;
  switch (method_) {
    case kCentroidMethod: {
      const CentroidWeights weights = CentroidWeightsFor(na, nb);
      Constant w1;
      Constant w2;
      Constant abW3;
      if (!Cells::MakeConstant(weights.w1, w1) || !Cells::MakeConstant(weights.w2, w2) ||
          !Cells::MakeConstant(dab * weights.w3, abW3)) {
        return false;
      }
      UpdateRows<Cells>(rowA, rowB, newId, [w1, w2, abW3](Real dan, Real dbn, std::int32_t) {
        return CentroidCombine(dan, dbn, Cells::ValueOf(w1), Cells::ValueOf(w2), Cells::ValueOf(abW3));
      });
      break;
    }
    case kWardMethod: {
      const double* members = memberCounts_.data();
      Constant abValue;
      if (!Cells::MakeConstant(dab, abValue)) return false;
      UpdateRows<Cells>(rowA, rowB, newId,
                        [abValue, members, countA, countB](Real dna, Real dnb, std::int32_t row) {
                          return WardCombine(dna, dnb, Cells::ValueOf(abValue),
                                             static_cast<Real>(members[row]),
                                             static_cast<Real>(countA), static_cast<Real>(countB));
                        });
      break;
    }
    case kMedianMethod: {
      Constant abQuarter;
      if (!Cells::MakeConstant(dab / 4, abQuarter)) return false;
      UpdateRows<Cells>(rowA, rowB, newId, [abQuarter](Real dan, Real dbn, std::int32_t) {
        return MedianCombine(dan, dbn, Cells::ValueOf(abQuarter));
      });
      break;
    }
    case kSingleLinkage:
      UpdateRows<Cells>(rowA, rowB, newId, [](Real dan, Real dbn, std::int32_t) { return SingleCombine(dan, dbn); });
      break;
    case kCompleteLinkage:
      UpdateRows<Cells>(rowA, rowB, newId,
                        [](Real dan, Real dbn, std::int32_t) { return CompleteCombine(dan, dbn); });
      break;
    case kAverageLinkage:
      UpdateRows<Cells>(rowA, rowB, newId, [countA, countB](Real dan, Real dbn, std::int32_t) {
        return AverageCombine(dan, dbn, static_cast<Real>(countA), static_cast<Real>(countB));
      });
      break;
    default:  // kWeightedLinkage
      UpdateRows<Cells>(rowA, rowB, newId,
                        [](Real dan, Real dbn, std::int32_t) { return WeightedCombine(dan, dbn); });
      break;
  }
  if (kSplit) return SplitStoresWereExact();
  RaiseUpdateError();
  return true;
}

template <typename Cells, typename Rule>
void Agglomeration::UpdateRows(std::int32_t rowA, std::int32_t rowB, std::int32_t newId,
                               Rule rule) {
  if constexpr (Cells::kSquare) {
    if (rowA < rowB) {
      UpdateSquare<Cells, true>(rowA, rowB, newId, rule);
    } else {
      UpdateSquare<Cells, false>(rowB, rowA, newId, rule);
    }
  } else if (rowA < rowB) {
    UpdateRuns<Cells, true>(rowA, rowB, newId, rule);
  } else {
    UpdateRuns<Cells, false>(rowB, rowA, newId, rule);
  }
}

// The pass over the active rows in a triangle. The new values overwrite the
// pairs with the lower merged row, which the new cluster keeps. For another
// row r, the pair (r, low) lies in row max(r, low) and (r, high) in row
// max(r, high), so the active rows fall into three runs, each with one fixed
// layout: below the lower merged row both values lie in the merged rows
// (contiguous); between the two, the value with the lower one lies in r's
// own row; above both, both lie in r's row. Looping run by run keeps the
// pass free of per-row layout decisions. As in a square, a long pass is
// shared with the helper thread, each part keeping its own results.
template <typename Cells, bool kLowIsA, typename Rule>
void Agglomeration::UpdateRuns(std::int32_t lowRow, std::int32_t highRow, std::int32_t newId,
                               Rule rule) {
  using Cell = typename Cells::Cell;
  Cell* const work = WorkCells<Cells>();
  const std::int32_t* const idOf = idOf_.data();
  const std::int32_t* const rows = activeRows_.data();
  const std::size_t count = activeRows_.size();
  // line(r)[c] is the pair value of rows c < r.
  const auto line = [work](std::int32_t row) { return work + TriangleRowOffset(row) - 1; };
  const auto combine = Oriented<kLowIsA>(rule);
  Cell* const lowLine = line(lowRow);
  Cell* const highLine = line(highRow);
  const std::size_t lowAt = static_cast<std::size_t>(
      std::lower_bound(activeRows_.begin(), activeRows_.end(), lowRow) - activeRows_.begin());
  const std::size_t highAt = static_cast<std::size_t>(
      std::lower_bound(activeRows_.begin(), activeRows_.end(), highRow) - activeRows_.begin());

  Least least[2];
  lowered_[0].clear();
  lowered_[1].clear();

  auto pass = [&](std::size_t begin, std::size_t end, HelperThread::Part part) {
    // The values in the rows' own lines lie a row's length apart: no
    // hardware prefetcher follows that, and an 80-bit load that misses the
    // cache stalls everything behind it.
    const auto prefetch = [&](std::size_t at, std::int32_t column) {
      if (at + kPrefetchDistance < end) __builtin_prefetch(line(rows[at + kPrefetchDistance]) + column, 1);
    };
    // Below the lower merged row: the new row owns these pairs, keyed
    // (newId, id); its candidate is the least value, then the least id.
    Least& mine = least[part];
    std::size_t k = begin;
    for (; k < std::min(end, lowAt); ++k) {
      const std::int32_t row = rows[k];
      const Real value = combine(Cells::Load(lowLine[row]), Cells::Load(highLine[row]), row);
      Cells::Store(lowLine[row], value);
      const std::int32_t id = idOf[row];
      if (SharedHighBefore(value, id, mine.value, mine.id)) mine = {value, id};
    }
    // Above it, each row owns its pair with the new cluster. The key (newId,
    // id) is above every key made before, so only a smaller value puts the
    // pair ahead of the row's candidate.
    std::vector<std::int32_t>& lowered = lowered_[part];
    const auto offer = [&](std::int32_t row, Real value) {
      if (candidates_.IsBelow(row, value)) {
        candidates_.Store(row, value, newId, idOf[row], newId);
        lowered.push_back(row);
      }
    };
    for (k = std::max(k, lowAt + 1); k < std::min(end, highAt); ++k) {
      prefetch(k, lowRow);
      const std::int32_t row = rows[k];
      Cell* const own = line(row);
      const Real value = combine(Cells::Load(own[lowRow]), Cells::Load(highLine[row]), row);
      Cells::Store(own[lowRow], value);
      offer(row, value);
    }
    for (k = std::max(k, highAt + 1); k < end; ++k) {
      prefetch(k, lowRow);
      prefetch(k, highRow);
      const std::int32_t row = rows[k];
      Cell* const own = line(row);
      const Real value = combine(Cells::Load(own[lowRow]), Cells::Load(own[highRow]), row);
      Cells::Store(own[lowRow], value);
      offer(row, value);
    }
  };
  RunPass(HelperFor(count), count, pass);
  SettleCandidates(candidates_, lowered_, least, lowRow, newId);
}

// The pass over the active rows in a square: both merged rows are read
// along their length, and each new value goes to the lower merged row and,
// mirrored, to the other row's own line. Stores that miss the cache leave
// the pass running where strided loads would stall it. Rows are
// independent, so a long pass is shared with the helper thread: each part
// keeps its own least pair of the new row and its own list of rows whose
// candidates it lowered, and the candidate tree learns of both after the
// pass.
template <typename Cells, bool kLowIsA, typename Rule>
void Agglomeration::UpdateSquare(std::int32_t lowRow, std::int32_t highRow, std::int32_t newId,
                                 Rule rule) {
  using Cell = typename Cells::Cell;
  Cell* const work = WorkCells<Cells>();
  const std::ptrdiff_t stride = workStride_;
  const auto combine = Oriented<kLowIsA>(rule);
  const std::int32_t* const idOf = idOf_.data();
  const std::int32_t* const rows = activeRows_.data();
  const std::size_t count = activeRows_.size();
  Cell* const lowLine = work + WorkRowBase<Cells>(lowRow);
  const Cell* const highLine = work + WorkRowBase<Cells>(highRow);
  // lowColumn[(row - 1) * stride] is cell (row, lowRow), lowLine[row]'s mirror.
  Cell* const lowColumn = work + (lowRow - 1);

  // The new row owns its pairs with the rows below it, keyed (newId, id):
  // its candidate is the least value, then the least id.
  Least least[2];
  lowered_[0].clear();
  lowered_[1].clear();

  auto pass = [&](std::size_t begin, std::size_t end, HelperThread::Part part) {
    // Locals rather than captures, so that the compiler keeps them in
    // registers across the occasional call below.
    const std::int32_t* const active = rows;
    const std::int32_t* const ids = idOf;
    Cell* const low = lowLine;
    const Cell* const high = highLine;
    Cell* const mirror = lowColumn;
    const std::ptrdiff_t lineCells = stride;
    const std::int32_t newRow = lowRow;
    const std::int32_t deadRow = highRow;
    const auto update = [&](std::size_t k) {
      // Ask for the mirror cells' lines ahead, so that the stores need not
      // wait for them in turn.
      if (k + kPrefetchDistance < end) {
        __builtin_prefetch(mirror + (active[k + kPrefetchDistance] - 1) * lineCells, 1);
      }
      const std::int32_t row = active[k];
      const Real value = combine(Cells::Load(low[row]), Cells::Load(high[row]), row);
      Cells::StoreTwice(low[row], mirror[(row - 1) * lineCells], value);
      return value;
    };

    std::size_t k = begin;
    // Below the new row. The running least is asked through the double
    // half just stored, as the candidates are: a value can only be less
    // when its half is not greater.
    Real leastValue = std::numeric_limits<Real>::infinity();
    double leastHi = std::numeric_limits<double>::infinity();
    std::int32_t leastId = kNoId;
    for (; k < end && active[k] < newRow; ++k) {
      const Real value = update(k);
      const std::int32_t row = active[k];
      if (low[row].hi > leastHi) continue;
      const std::int32_t id = ids[row];
      if (SharedHighBefore(value, id, leastValue, leastId)) {
        leastValue = value;
        leastHi = low[row].hi;
        leastId = id;
      }
    }
    least[part] = {leastValue, leastId};

    // Above it, every row owns its pair with the new cluster, keyed (newId,
    // id), above every key made before: only a smaller value puts the pair
    // ahead of the row's candidate.
    std::vector<std::int32_t>& lowered = lowered_[part];
    for (; k < end; ++k) {
      if (active[k] == newRow || active[k] == deadRow) continue;
      const Real value = update(k);
      const std::int32_t row = active[k];
      if (candidates_.IsBelow(row, value)) {
        candidates_.Store(row, value, newId, ids[row], newId);
        lowered.push_back(row);
      }
    }
  };
  RunPass(HelperFor(count), count, pass);
  SettleCandidates(candidates_, lowered_, least, lowRow, newId);
}

}  // namespace cluster
