// The starting state of a run: the working values, every row's candidate
// and one leaf per object (agglomerate.cpp tells why they are laid out as
// they are), and the state's bookkeeping that merges read.
#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "common/errors.h"
#include "engine/matrix/agglomeration.h"

namespace cluster {

namespace {

[[noreturn]] void ThrowSeekCError() { throw Exception("Range error in SeekC"); }
[[noreturn]] void ThrowSeekDError() { throw Exception("SeekD range error"); }


// The set-up fills its rows a block at a time (FillWork tells why 16).
constexpr std::int32_t kBlockRows = 16;

// The captured values of a block of rows, as FillRows reads them: value (r,
// j) for the block's rows r and j < r, down the block's columns.
class TriangleBlock {
 public:
  TriangleBlock(const LowerTriangle& captured, std::int32_t first, std::int32_t last) : first_(first) {
    for (std::int32_t r = first; r <= last; ++r) rows_[r - first] = captured.Row(r);
  }
  Real At(std::int32_t r, std::int32_t j) const { return rows_[r - first_][j - 1]; }

 private:
  const Real* rows_[kBlockRows];
  std::int32_t first_;
};

// A caller's doubles in condensed order, where a column of the block is one
// run of values: pair (j, r) lies beside (j, r + 1).
class CondensedBlock {
 public:
  CondensedBlock(const double* condensed, std::int32_t n) : condensed_(condensed), n_(n) {}
  Real At(std::int32_t r, std::int32_t j) const { return condensed_[CondensedIndex(n_, j - 1, r - 1)]; }

 private:
  const double* condensed_;
  std::int32_t n_;
};

}  // namespace

Agglomeration::Agglomeration(AnalysisStore& store, WorkingMemory memory) : store_(store), work_(std::move(memory)) {
  splitLayout_ = work_.Square() ? WorkLayout::kSplitSquare : WorkLayout::kSplitTriangle;
}

Agglomeration::~Agglomeration() { ReleaseAllNodes(); }

template <typename Cells>
Real Agglomeration::WorkIn(std::int32_t r, std::int32_t s) const {
  return r > s ? Cells::Load(WorkCells<Cells>()[WorkRowBase<Cells>(r) + s])
               : Cells::Load(WorkCells<Cells>()[WorkRowBase<Cells>(s) + r]);
}

Real Agglomeration::Work(std::int32_t r, std::int32_t s) const {
  if (lastPairOnly_) return lastPairValue_;  // after a whole run of single linkage
  return WithCells([&](auto cells) { return WorkIn<decltype(cells)>(r, s); });
}

MergeList Agglomeration::Merges() const {
  MergeList list;
  list.method = method_;
  list.objects = preparedCount_;
  if (!finished_ && preparedCount_ >= 2) throw ERangeError();  // not a complete run
  list.merges.reserve(static_cast<std::size_t>(std::max(preparedCount_ - 1, 0)));
  for (std::int32_t id = preparedCount_ + 1; id <= nextClusterId_; ++id) {
    const TClusterNode& node = *nodes_[static_cast<std::size_t>(id)];
    list.merges.push_back({node.Left->Id, node.Right->Id, id, node.Height, node.Members});
  }
  return list;
}

void Agglomeration::PrepareClusters() {
  ResetRun();
  BuildWorkingValues();
  CreateLeaves();
}

void Agglomeration::PrepareWholeRun() {
  ResetRun();
  const std::int32_t n = preparedCount_;
  if (store_.DistType == kSingleLinkage && store_.AcceptsMethod(store_.DistType) && n >= 2) {
    // Single linkage needs no working values: its merges come from one pass
    // over the captured values (engine/matrix/single_linkage_pass.h).
    // Values taken as given are read where they lie; roots of squares are
    // taken row by row. A value that is not finite sends the run the
    // general way, which reports it.
    // A caller's doubles taken as given are read in their own order.
    const auto row = [this](std::int32_t i, Real* scratch) -> const Real* {
      if (store_.condensed_ != nullptr) {
        for (std::int32_t j = 0; j < i - 1; ++j) scratch[j] = SetUpValueFrom(store_.Captured(i, j + 1));
        return scratch;
      }
      const Real* captured = store_.dist_.Row(i);
      if (!store_.DistancesAreSquares) return captured;
      for (std::int32_t j = 0; j < i - 1; ++j) scratch[j] = SetUpValueFrom(captured[j]);
      return scratch;
    };
    const auto value = [this](std::int32_t i, std::int32_t j) { return SetUpValueFrom(store_.Captured(i, j)); };
    bool notFinite = false;
    singlePlan_ = store_.condensed_ != nullptr && !store_.DistancesAreSquares
                      ? SingleLinkageMergesOfCondensed(n, store_.condensed_, control_, &notFinite)
                      : SingleLinkageMerges(n, row, value, HelperFor(static_cast<std::size_t>(n)), control_);
    // Such a value fails the set-up at its first pair: found without
    // taking the working values' memory.
    if (notFinite) ThrowFirstPrepareError(n);
    if (singlePlan_) {
      workPending_ = true;
      CreateLeaves();
      return;
    }
  }
  BuildWorkingValues();
  CreateLeaves();
}

// Empties the working state for a new run of the captured objects.
void Agglomeration::ResetRun() {
  ReleaseAllNodes();
  nodes_.clear();
  inTable_.clear();
  rowOf_.clear();
  table_.clear();
  pairCount_ = 0;
  nextClusterId_ = 0;
  activeRows_.clear();
  finished_ = false;
  workPending_ = false;
  singlePlan_.reset();
  lastPairOnly_ = false;
  if (store_.ObjectCount > store_.maxObjects_) throw ERangeError();
  // A caller's condensed values are of all of the store's objects.
  if (store_.condensed_ != nullptr && store_.ObjectCount != store_.maxObjects_) throw ERangeError();
  preparedCount_ = std::max(store_.ObjectCount, 0);
  setUpValue_ = store_.AcceptsMethod(store_.DistType) ? SetUpValueOf(store_.DistType) : SetUpValue::kSquare;
}

// The pair values of the prepared objects and every row's candidate.
void Agglomeration::BuildWorkingValues() {
  const std::int32_t n = preparedCount_;
  workPending_ = false;
  candidates_.Reset(n);
  workStride_ = n;
  layout_ = splitLayout_;
  ClearFloatFlags();
  ClearSplitLossFlags();
  bool allFinite = WithCells([&](auto cells) { return FillWork<decltype(cells)>(n); });
  if (layout_ != WorkLayout::kWide && allFinite && !SplitStoresWereExact()) {
    layout_ = WorkLayout::kWide;
    allFinite = FillWork<WideCells>(n);
  }
  if (!allFinite) ThrowFirstPrepareError(n);
  candidates_.RefreshAll();
  // A pass lists at most every row in one part's list; room made now means
  // the pass never allocates (it may not throw while the helper works).
  for (std::vector<std::int32_t>& lowered : lowered_) lowered.reserve(static_cast<std::size_t>(n) + 1);
}

// One leaf per object, every object in its own row, the whole pair list.
void Agglomeration::CreateLeaves() {
  const std::int32_t n = preparedCount_;
  const std::size_t ids = 2 * static_cast<std::size_t>(n);
  nodes_.assign(std::max<std::size_t>(ids, 1), nullptr);
  inTable_.assign(std::max<std::size_t>(ids, 1), 0);
  rowOf_.assign(std::max<std::size_t>(ids, 1), 0);
  for (std::int32_t i = 1; i <= n; ++i) {
    NewNode(i);
    inTable_[i] = 1;
  }
  ResetRowsToLeaves(n);
  pairCount_ = static_cast<std::int64_t>(TriangleSize(n));
  nextClusterId_ = n;
  RebuildClusterTable();
}

// Pair values, and for each row the least pair it owns (its pairs with lower
// rows). Returns whether every value is finite; the candidates still need
// RefreshAll(). Rows are independent, so
// a long set-up is shared with the helper thread: the caller fills the
// first rows and the helper the rest, which hold as many pairs.
template <typename Cells>
bool Agglomeration::FillWork(std::int32_t n) {
  // A square's upper half is copied from the lower one block of rows at a
  // time, while those rows are still in the cache: copying a cell is much
  // cheaper than storing a value twice, once across the rows. The copy
  // reads the block down its columns, so the block is kept small enough
  // for the second-level cache (16 rows of 1000 objects take 192 KB);
  // larger blocks make the copy wait on the last-level cache.
  if (n < 2) return true;
  bool allFinite[2] = {true, true};
  // Taken here, on the caller: the values' memory is reserved on first use,
  // which must not happen on both threads at once.
  typename Cells::Cell* const work = WorkCells<Cells>();
  // Rows [begin, end) of the set-up (from row 2, the first that owns a
  // pair), block by block.
  // The first part runs on the caller, which tells the run's control how
  // far it is (and may throw there); either part stops at a cancellation,
  // which the caller raises once both are done.
  auto fill = [&](std::size_t begin, std::size_t end, HelperThread::Part part) {
    for (auto first = static_cast<std::int32_t>(std::max<std::size_t>(begin, 2));
         first < static_cast<std::int32_t>(end); first += kBlockRows) {
      const std::int32_t last = std::min(static_cast<std::int32_t>(end) - 1, first + kBlockRows - 1);
      const bool finite = store_.condensed_ != nullptr
                              ? FillRows<Cells>(work, first, last, CondensedBlock(store_.condensed_, store_.maxObjects_))
                              : FillRows<Cells>(work, first, last, TriangleBlock(store_.dist_, first, last));
      if (!finite) allFinite[part] = false;
      if (control_ == nullptr) continue;
      if (part == HelperThread::kFirstPart) {
        control_->Done(kSetUpShare * TriangleDone(last, n));
      } else if (control_->Cancelled()) {
        return;
      }
    }
  };
  const auto rowsEnd = static_cast<std::size_t>(n) + 1;
  if (HelperThread* const helper = HelperFor(static_cast<std::size_t>(n))) {
    // Row i holds i - 1 pairs, so the rows below n / sqrt(2) hold half of
    // them.
    const auto split = static_cast<std::size_t>(static_cast<double>(n) * 0.7071);
    helper->Run(rowsEnd, split, fill);
  } else {
    fill(0, rowsEnd, HelperThread::kFirstPart);
  }
  if (control_ != nullptr) control_->Done(kSetUpShare);
  return allFinite[0] && allFinite[1];
}

// Rows first..last of the set-up (at most kBlockRows); in a square, also
// their mirror cells. The block is filled a column at a time, which reads
// a caller's condensed values in runs and the captured triangle's rows side
// by side. Each row keeps its least pair so far: row i's pairs (j, i) come
// in list order, so a strict less-than keeps the first of equal values, as
// the tie order demands.
template <typename Cells, typename Block>
bool Agglomeration::FillRows(typename Cells::Cell* work, std::int32_t first, std::int32_t last,
                             const Block& captured) {
  constexpr Real kLargest = std::numeric_limits<Real>::max();
  bool allFinite = true;
  // A negative zero, which only dissimilarities taken as given can be,
  // cannot be split (its halves add up to +0): it is reported like any
  // value the split cells lose.
  const bool mayBeNegativeZero = Cells::kSplit && setUpValue_ == SetUpValue::kAsGiven;
  typename Cells::Cell* rowCells[kBlockRows];
  Real best[kBlockRows];
  std::int32_t bestColumn[kBlockRows];
  for (std::int32_t r = first; r <= last; ++r) {
    rowCells[r - first] = work + WorkRowBase<Cells>(r);
    best[r - first] = 0;
    bestColumn[r - first] = 0;
  }
  for (std::int32_t j = 1; j < last; ++j) {
    for (std::int32_t r = std::max(first, j + 1); r <= last; ++r) {
      const std::int32_t k = r - first;
      const Real value = SetUpValueFrom(captured.At(r, j));
      Cells::Store(rowCells[k][j], value);
      allFinite &= value <= kLargest;
      if (mayBeNegativeZero && value == 0 && std::signbit(value)) std::feraiseexcept(FE_UNDERFLOW);
      if (bestColumn[k] == 0 || value < best[k]) {
        best[k] = value;
        bestColumn[k] = j;
      }
    }
  }
  for (std::int32_t r = first; r <= last; ++r) {
    candidates_.Store(r, best[r - first], r, bestColumn[r - first], bestColumn[r - first]);
  }
  if constexpr (Cells::kSquare) {
    // Cells (j, r) = (r, j) for the rows r of the block and every j < r.
    for (std::int32_t j = 1; j < last; ++j) {
      typename Cells::Cell* const line = work + WorkRowBase<Cells>(j);
      for (std::int32_t r = std::max(first, j + 1); r <= last; ++r) {
        line[r] = work[WorkRowBase<Cells>(r) + j];
      }
    }
  }
  return allFinite;
}

HelperThread* Agglomeration::HelperFor(std::size_t items) {
  // Shorter passes cost less than handing them over.
  constexpr std::size_t kSharedPassItems = 128;
  if (items < kSharedPassItems || helperUnavailable_) return nullptr;
  if (helper_ == nullptr) {
    helper_ = MakeHelperThread();
    if (helper_ == nullptr) {
      helperUnavailable_ = true;  // one thread does it all
      return nullptr;
    }
    helper_->SetWaitForHelper(helperTakesEveryPass_);
  }
  return helper_.get();
}

// A run that leaves split cells refills whole values (agglomerate.cpp).
template bool Agglomeration::FillWork<WideCells>(std::int32_t n);

// Every object is its own cluster, in the row of its index.
void Agglomeration::ResetRowsToLeaves(std::int32_t n) {
  std::fill(rowOf_.begin(), rowOf_.end(), 0);
  idOf_.assign(static_cast<std::size_t>(n) + 1, 0);
  members_.assign(static_cast<std::size_t>(n) + 1, 1);
  memberCounts_.assign(static_cast<std::size_t>(n) + 1, 1.0);
  activeRows_.clear();
  activeRows_.reserve(static_cast<std::size_t>(n));
  for (std::int32_t i = 1; i <= n; ++i) {
    rowOf_[i] = i;
    idOf_[i] = i;
    activeRows_.push_back(i);
  }
}

// The set-up fails at the first pair, in list order, whose value is not
// finite: the list order is the storage order.
void Agglomeration::ThrowFirstPrepareError(std::int32_t n) const {
  ClearFloatFlags();
  for (std::int32_t i = 2; i <= n; ++i) {
    for (std::int32_t j = 1; j < i; ++j) {
      const Real d = store_.Captured(i, j);
      if (std::isnan(d)) throw EInvalidOp();
      if (!std::isfinite(SetUpValueFrom(d))) throw EOverflow();
    }
  }
  throw EOverflow();
}

TClusterNode* Agglomeration::NewNode(std::int32_t id) {
  auto* node = new TClusterNode;
  node->Id = id;
  ++liveNodes_;
  nodes_[static_cast<std::size_t>(id)] = node;
  return node;
}

void Agglomeration::FreeNode(TClusterNode* node) {
  if (node == nullptr) return;
  // Collect the subtree parents first, then release it backwards, so every
  // child goes before its parent. A loop, not recursion: a chain of 10,000
  // merges must not exhaust the stack.
  std::vector<TClusterNode*> order{node};
  for (std::size_t k = 0; k < order.size(); ++k) {
    if (order[k]->Left != nullptr) {
      order.push_back(order[k]->Left);
      order.push_back(order[k]->Right);
    }
  }
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    TClusterNode* released = *it;
    const auto id = static_cast<std::size_t>(released->Id);
    if (id < nodes_.size() && nodes_[id] == released) nodes_[id] = nullptr;
    delete released;
    --liveNodes_;
  }
}

void Agglomeration::FreeClusterTree() {
  if (!table_.empty()) FreeNode(table_.back().Node);
  // Nodes the last slot does not reach exist only after an incomplete run;
  // they are released too, and nothing is left that refers to a node.
  ReleaseAllNodes();
  table_.clear();
  pairCount_ = 0;
  activeRows_.clear();
  std::fill(inTable_.begin(), inTable_.end(), 0);
  std::fill(rowOf_.begin(), rowOf_.end(), 0);
  finished_ = false;
}

void Agglomeration::ReleaseAllNodes() {
  for (TClusterNode*& node : nodes_) {
    if (node != nullptr) {
      delete node;
      --liveNodes_;
      node = nullptr;
    }
  }
}

void Agglomeration::RebuildClusterTable() {
  table_.clear();
  for (std::size_t id = 1; id < inTable_.size(); ++id) {
    if (inTable_[id] != 0) table_.push_back({static_cast<std::int32_t>(id), nodes_[id]});
  }
}

TClusterNode& Agglomeration::SeekC(std::int32_t id) const {
  if (id < 1 || static_cast<std::size_t>(id) >= inTable_.size() || inTable_[id] == 0) {
    ThrowSeekCError();
  }
  return *nodes_[static_cast<std::size_t>(id)];
}

Real Agglomeration::SeekD(std::int32_t x, std::int32_t y) const {
  const auto known = [this](std::int32_t id) {
    return id >= 1 && static_cast<std::size_t>(id) < rowOf_.size() && rowOf_[id] != 0;
  };
  if (x == y || !known(x) || !known(y)) ThrowSeekDError();
  return Work(rowOf_[x], rowOf_[y]);
}

const TClusterSlot& Agglomeration::ClusterTable(std::int32_t slot) const {
  CheckRange(slot, 1, ClusterCount());
  return table_[static_cast<std::size_t>(slot - 1)];
}

// Between merges the pair list is every pair of table slots p < q, ordered
// by q, then p (agglomerate.cpp shows why), so entry k is found by
// arithmetic: slots q own the entries (q-1)(q-2)/2 + 1 .. q(q-1)/2.
TPairEntry Agglomeration::PairList(std::int64_t entry) const {
  CheckRange(entry, 1, pairCount_);
  const auto before = [](std::int64_t q) { return (q - 1) * (q - 2) / 2; };
  auto q = static_cast<std::int64_t>((1.0 + std::sqrt(8.0 * static_cast<double>(entry))) / 2.0) + 1;
  while (q > 2 && before(q) >= entry) --q;
  while (before(q + 1) < entry) ++q;
  const auto p = static_cast<std::int32_t>(entry - before(q));
  const TClusterSlot& low = ClusterTable(p);
  const TClusterSlot& high = ClusterTable(static_cast<std::int32_t>(q));
  return {low.Id, high.Id, SeekD(low.Id, high.Id)};
}

}  // namespace cluster
