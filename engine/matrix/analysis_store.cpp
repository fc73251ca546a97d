#include "engine/matrix/analysis_store.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <system_error>
#include <thread>

#include "common/errors.h"
#include "engine/matrix/single_linkage_pass.h"
#include "engine/triangle.h"
#include "engine/matrix/cell_layouts.h"

namespace cluster {

namespace {

[[noreturn]] void ThrowSeekCError() { throw Exception("Range error in SeekC"); }
[[noreturn]] void ThrowSeekDError() { throw Exception("SeekD range error"); }

}  // namespace

const char* const AnalysisStore::kInvalidDistTypeMessage = "Invalid value of DistType";

AnalysisStore::AnalysisStore(std::int32_t maxObjects, WorkPages pages) : maxObjects_(maxObjects) {
  CheckRange(maxObjects, 1, kLargestMaxObjects);
  names_.resize(static_cast<std::size_t>(maxObjects) + 1);
  // Large blocks come straight from the system and are committed page by
  // page as rows are written, so a store sized for many objects costs
  // little until it holds them.
  dist_ = LowerTriangle(maxObjects);
  UseWorkingMemory(WorkingMemory(maxObjects_, pages));
}

AnalysisStore::AnalysisStore(std::vector<std::string> labels, LowerTriangle distances, WorkPages pages) {
  AdoptCapture(std::move(labels), std::move(distances));
  UseWorkingMemory(WorkingMemory(maxObjects_, pages));
}

AnalysisStore::AnalysisStore(std::vector<std::string> labels, LowerTriangle distances, WorkingMemory memory) {
  AdoptCapture(std::move(labels), std::move(distances));
  if (memory.Objects() != maxObjects_) memory = WorkingMemory(maxObjects_, WorkPages::kOrdinary);
  UseWorkingMemory(std::move(memory));
}

void AnalysisStore::AdoptCapture(std::vector<std::string> labels, LowerTriangle distances) {
  CheckRange(static_cast<long long>(labels.size()), 0, kLargestMaxObjects);
  ObjectCount = static_cast<std::int32_t>(labels.size());
  maxObjects_ = std::max(ObjectCount, 1);
  names_.reserve(static_cast<std::size_t>(maxObjects_) + 1);
  names_.emplace_back();
  for (std::string& label : labels) names_.push_back(std::move(label));
  names_.resize(static_cast<std::size_t>(maxObjects_) + 1);
  dist_ = std::move(distances);
  dist_.GrowTo(maxObjects_);
}

void AnalysisStore::UseWorkingMemory(WorkingMemory memory) {
  work_ = std::move(memory);
  splitLayout_ = work_.Square() ? WorkLayout::kSplitSquare : WorkLayout::kSplitTriangle;
}

AnalysisStore::~AnalysisStore() { ReleaseAllNodes(); }

std::int64_t AnalysisStore::MaxPairs() const {
  return static_cast<std::int64_t>(maxObjects_) * (maxObjects_ + 1) / 2;
}

std::string& AnalysisStore::ObjectNames(std::int32_t i) {
  CheckRange(i, 1, maxObjects_);
  return names_[static_cast<std::size_t>(i)];
}

const std::string& AnalysisStore::ObjectNames(std::int32_t i) const {
  CheckRange(i, 1, maxObjects_);
  return names_[static_cast<std::size_t>(i)];
}

Real& AnalysisStore::DistMatrix(std::int32_t i, std::int32_t j) {
  CheckRange(i, 2, maxObjects_);
  CheckRange(j, 1, i - 1);
  return dist_.At(i, j);
}

Real AnalysisStore::DistMatrix(std::int32_t i, std::int32_t j) const {
  CheckRange(i, 2, maxObjects_);
  CheckRange(j, 1, i - 1);
  return dist_.At(i, j);
}

template <typename Cells>
Real AnalysisStore::WorkIn(std::int32_t r, std::int32_t s) const {
  return r > s ? Cells::Load(WorkCells<Cells>()[WorkRowBase<Cells>(r) + s])
               : Cells::Load(WorkCells<Cells>()[WorkRowBase<Cells>(s) + r]);
}

Real AnalysisStore::Work(std::int32_t r, std::int32_t s) const {
  if (lastPairOnly_) return lastPairValue_;  // after a whole run of single linkage
  return WithCells([&](auto cells) { return WorkIn<decltype(cells)>(r, s); });
}

void AnalysisStore::PrepareClusters() {
  ResetRun();
  BuildWorkingValues();
  CreateLeaves();
}

void AnalysisStore::PrepareWholeRun() {
  ResetRun();
  const std::int32_t n = preparedCount_;
  if (DistType == kSingleLinkage && AcceptsMethod(DistType) && n >= 2) {
    // Single linkage needs no working values: its merges come from one pass
    // over the captured values (engine/matrix/single_linkage_pass.h).
    // Values taken as given are read where they lie; roots of squares are
    // taken row by row. A value that is not finite sends the run the
    // general way, which reports it.
    const auto row = [this](std::int32_t i, Real* scratch) -> const Real* {
      const Real* captured = dist_.Row(i);
      if (!DistancesAreSquares) return captured;
      for (std::int32_t j = 0; j < i - 1; ++j) scratch[j] = SetUpValueFrom(captured[j]);
      return scratch;
    };
    const auto value = [this](std::int32_t i, std::int32_t j) { return SetUpValueFrom(dist_.At(i, j)); };
    singlePlan_ = SingleLinkageMerges(n, row, value, HelperFor(static_cast<std::size_t>(n)), mergesMade_);
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
void AnalysisStore::ResetRun() {
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
  if (ObjectCount > maxObjects_) throw ERangeError();
  preparedCount_ = std::max(ObjectCount, 0);
  setUpValue_ = AcceptsMethod(DistType) ? SetUpValueOf(DistType) : SetUpValue::kSquare;
}

// The pair values of the prepared objects and every row's candidate.
void AnalysisStore::BuildWorkingValues() {
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
void AnalysisStore::CreateLeaves() {
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
bool AnalysisStore::FillWork(std::int32_t n) {
  // A square's upper half is copied from the lower one block of rows at a
  // time, while those rows are still in the cache: copying a cell is much
  // cheaper than storing a value twice, once across the rows. The copy
  // reads the block down its columns, so the block is kept small enough
  // for the second-level cache (16 rows of 1000 objects take 192 KB);
  // larger blocks make the copy wait on the last-level cache.
  constexpr std::int32_t kBlockRows = 16;
  if (n < 2) return true;
  bool allFinite[2] = {true, true};
  // Taken here, on the caller: the values' memory is reserved on first use,
  // which must not happen on both threads at once.
  typename Cells::Cell* const work = WorkCells<Cells>();
  // Rows [begin, end) of the set-up (from row 2, the first that owns a
  // pair), block by block.
  auto fill = [&](std::size_t begin, std::size_t end, HelperThread::Part part) {
    for (auto first = static_cast<std::int32_t>(std::max<std::size_t>(begin, 2));
         first < static_cast<std::int32_t>(end); first += kBlockRows) {
      const std::int32_t last = std::min(static_cast<std::int32_t>(end) - 1, first + kBlockRows - 1);
      if (!FillRows<Cells>(work, first, last)) allFinite[part] = false;
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
  return allFinite[0] && allFinite[1];
}

// Rows first..last of the set-up; in a square, also their mirror cells.
// Row i's pairs (j, i) come in list order, so a strict less-than keeps the
// first of equal values, as the tie order demands.
template <typename Cells>
bool AnalysisStore::FillRows(typename Cells::Cell* work, std::int32_t first, std::int32_t last) {
  constexpr Real kLargest = std::numeric_limits<Real>::max();
  bool allFinite = true;
  // A negative zero, which only dissimilarities taken as given can be,
  // cannot be split (its halves add up to +0): it is reported like any
  // value the split cells lose.
  const bool mayBeNegativeZero = Cells::kSplit && setUpValue_ == SetUpValue::kAsGiven;
  for (std::int32_t i = first; i <= last; ++i) {
    const Real* d = dist_.Row(i);
    typename Cells::Cell* w = work + WorkRowBase<Cells>(i) + 1;
    Real best = 0;
    std::int32_t bestIndex = -1;
    for (std::int32_t j = 0; j < i - 1; ++j) {
      const Real value = SetUpValueFrom(d[j]);
      Cells::Store(w[j], value);
      allFinite &= value <= kLargest;
      if (mayBeNegativeZero && value == 0 && std::signbit(value)) std::feraiseexcept(FE_UNDERFLOW);
      if (bestIndex < 0 || value < best) {
        best = value;
        bestIndex = j;
      }
    }
    candidates_.Store(i, best, i, bestIndex + 1, bestIndex + 1);
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

HelperThread* AnalysisStore::HelperFor(std::size_t items) {
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

void AnalysisStore::SetHelperTakesEveryPass(bool always) {
  helperTakesEveryPass_ = always;
  if (helper_ != nullptr) helper_->SetWaitForHelper(always);
}

// A run that leaves split cells refills whole values (agglomerate.cpp).
template bool AnalysisStore::FillWork<WideCells>(std::int32_t n);

// Every object is its own cluster, in the row of its index.
void AnalysisStore::ResetRowsToLeaves(std::int32_t n) {
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
void AnalysisStore::ThrowFirstPrepareError(std::int32_t n) const {
  ClearFloatFlags();
  const std::size_t count = TriangleSize(n);
  for (std::size_t k = 0; k < count; ++k) {
    const Real d = dist_.Values()[k];
    if (std::isnan(d)) throw EInvalidOp();
    if (!std::isfinite(SetUpValueFrom(d))) throw EOverflow();
  }
  throw EOverflow();
}

TClusterNode* AnalysisStore::NewNode(std::int32_t id) {
  auto* node = new TClusterNode;
  node->Id = id;
  ++liveNodes_;
  nodes_[static_cast<std::size_t>(id)] = node;
  return node;
}

void AnalysisStore::FreeNode(TClusterNode* node) {
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

void AnalysisStore::FreeClusterTree() {
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

void AnalysisStore::ReleaseAllNodes() {
  for (TClusterNode*& node : nodes_) {
    if (node != nullptr) {
      delete node;
      --liveNodes_;
      node = nullptr;
    }
  }
}

void AnalysisStore::RebuildClusterTable() {
  table_.clear();
  for (std::size_t id = 1; id < inTable_.size(); ++id) {
    if (inTable_[id] != 0) table_.push_back({static_cast<std::int32_t>(id), nodes_[id]});
  }
}

TClusterNode& AnalysisStore::SeekC(std::int32_t id) const {
  if (id < 1 || static_cast<std::size_t>(id) >= inTable_.size() || inTable_[id] == 0) {
    ThrowSeekCError();
  }
  return *nodes_[static_cast<std::size_t>(id)];
}

Real AnalysisStore::SeekD(std::int32_t x, std::int32_t y) const {
  const auto known = [this](std::int32_t id) {
    return id >= 1 && static_cast<std::size_t>(id) < rowOf_.size() && rowOf_[id] != 0;
  };
  if (x == y || !known(x) || !known(y)) ThrowSeekDError();
  return Work(rowOf_[x], rowOf_[y]);
}

const TClusterSlot& AnalysisStore::ClusterTable(std::int32_t slot) const {
  CheckRange(slot, 1, ClusterCount());
  return table_[static_cast<std::size_t>(slot - 1)];
}

// Between merges the pair list is every pair of table slots p < q, ordered
// by q, then p (agglomerate.cpp shows why), so entry k is found by
// arithmetic: slots q own the entries (q-1)(q-2)/2 + 1 .. q(q-1)/2.
TPairEntry AnalysisStore::PairList(std::int64_t entry) const {
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
