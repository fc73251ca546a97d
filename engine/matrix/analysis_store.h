// The analysis store: everything one analysis works on.
//
// It holds the captured objects (ObjectCount, ObjectNames, DistMatrix), the
// method (DistType), the working state of the agglomeration and the merge
// tree, and performs the agglomeration. Its capacity, MaxObjects, bounds
// every object index; the desktop program's store (ProgramStore) holds 1000
// objects, a batch tool may make a larger one. Indices are 1-based, and an
// index outside its declared range throws ERangeError.
//
// A run is: fill the captured data, PrepareClusters(), Agglomerate(), read
// the tree (root = ClusterTable(ClusterCount()).Node), FreeClusterTree().
// Between merges the store reads exactly like the pair-list procedure that
// defines the result: the cluster table holds the active clusters in
// ascending id order, and the pair list holds one entry per pair of them in
// the order the pairs were made. After a complete run of n >= 2 objects the table holds the
// last two clusters merged and the root (ClusterCount() == 3), the pair list
// holds only the last merged pair, and NextClusterId() == 2n - 1.
//
// Results are identical, bit for bit, to merging by linear search over that
// pair list; agglomerate.cpp explains how the store gets there faster.
#pragma once

#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/float_checks.h"
#include "engine/candidate_tree.h"
#include "engine/cluster_types.h"
#include "common/helper_thread.h"
#include "engine/matrix/single_linkage_pass.h"
#include "engine/triangle.h"
#include "engine/matrix/cell_layouts.h"
#include "engine/matrix/working_memory.h"

namespace cluster {

class AnalysisStore {
 public:
  // The desktop program's capacity.
  static constexpr std::int32_t kDesktopMaxObjects = 1000;
  // Cluster ids run to 2n - 1, and twice the largest id must fit 32 bits.
  // (Memory, not this, limits a store in practice: about 20 n^2 bytes up
  // to 8192 objects, 14 n^2 beyond.)
  static constexpr std::int32_t kLargestMaxObjects = (1 << 30) - 1;
  // Up to this capacity the working values are kept as a full square of
  // split cells, above it as a triangle (engine/matrix/working_memory.h).
  static constexpr std::int32_t kLargestSquareWork = WorkingMemory::kLargestSquare;

  using WorkPages = ::cluster::WorkPages;

  // A store for up to maxObjects objects (1..kLargestMaxObjects, else
  // ERangeError). Memory for the dissimilarities is reserved, not touched.
  explicit AnalysisStore(std::int32_t maxObjects = kDesktopMaxObjects, WorkPages pages = WorkPages::kHuge);
  // A store that holds exactly the captured objects: ObjectCount and
  // MaxObjects are the number of labels (at least 1 for MaxObjects), and the
  // dissimilarities are taken over, not copied. ERangeError beyond
  // kLargestMaxObjects.
  AnalysisStore(std::vector<std::string> labels, LowerTriangle distances, WorkPages pages);
  // The same, with working memory made ready beforehand; memory made for
  // another number of objects is not used.
  AnalysisStore(std::vector<std::string> labels, LowerTriangle distances, WorkingMemory memory);
  ~AnalysisStore();
  AnalysisStore(const AnalysisStore&) = delete;
  AnalysisStore& operator=(const AnalysisStore&) = delete;

  std::int32_t MaxObjects() const { return maxObjects_; }
  // Largest pair list and cluster table the pair-list procedure could need.
  std::int64_t MaxPairs() const;
  std::int32_t MaxClusterSlots() const { return maxObjects_ + 3; }

  // ---- Captured data (written by the data capture, read by the run) ----

  // The number of objects; an analysis needs 2 <= ObjectCount <= MaxObjects.
  std::int32_t ObjectCount = 0;
  // The method: kCentroidMethod (0), kWardMethod (1), or, in a store that
  // accepts every method, one of the linkages and the median method
  // (engine/cluster_types.h). A store accepts only the desktop program's
  // two until AcceptEveryMethod(): any other selector then names no method
  // (set up as squares, refused by Agglomerate), as the desktop program has
  // always had it.
  std::uint8_t DistType = kCentroidMethod;
  void AcceptEveryMethod() { everyMethod_ = true; }
  bool AcceptsMethod(std::uint8_t method) const {
    return method == kCentroidMethod || method == kWardMethod || (everyMethod_ && IsKnownMethod(method));
  }

  // Label of object i (code page 932), 1 <= i <= MaxObjects.
  std::string& ObjectNames(std::int32_t i);
  const std::string& ObjectNames(std::int32_t i) const;
  // Dissimilarity of objects j < i. Only the strict lower triangle exists:
  // 1 <= j < i <= MaxObjects, anything else is a range error.
  Real& DistMatrix(std::int32_t i, std::int32_t j);
  Real DistMatrix(std::int32_t i, std::int32_t j) const;
  // When true, DistMatrix holds squared dissimilarities (the squared
  // Euclidean distances of observations, computed exactly): the methods that
  // work on squares take them as they are, the linkages their roots, so no
  // square is ever taken of a rounded root.
  bool DistancesAreSquares = false;
  // The dissimilarity of objects j < i, whichever way it is held.
  Real Dissimilarity(std::int32_t i, std::int32_t j) const {
    const Real value = DistMatrix(i, j);
    return DistancesAreSquares ? std::sqrt(value) : value;
  }

  // ---- Run ----

  // Builds the starting state from the captured data: the pair list of all
  // object pairs, each valued as DistType's method sets up a dissimilarity
  // (squared; halved for Ward's method; as given for the linkages: see
  // SetUpValueOf), and one leaf per object. Releases whatever nodes
  // an earlier run left. ERangeError when ObjectCount > MaxObjects;
  // EOverflow when a square exceeds the extended range (also for an
  // infinite dissimilarity), EInvalidOp for a dissimilarity that is not a
  // number; the first failing pair in list order decides.
  void PrepareClusters();

  // The same starting state, for a caller that calls Agglomerate() next and
  // then reads only the tree and the final state: single linkage then finds
  // its merges in one pass over the captured values, without working values
  // (engine/matrix/single_linkage_pass.h), with the same result. Nothing else may be
  // read or asked of the store between the two (a partial AgglomerateSteps
  // builds the working values first).
  void PrepareWholeRun();

  // Merges clusters until one remains, by the method DistType selects.
  // Returns false, changing nothing, when DistType is no known method: the
  // caller then shows kInvalidDistTypeMessage. Throws "Range error in SeekC"
  // when fewer than two objects were prepared, and EOverflow when an
  // update overflows.
  bool Agglomerate();
  // The same, but stops after at most `merges` merges (to look at the state
  // between merges). Returns false for an invalid DistType.
  bool AgglomerateSteps(std::int32_t merges);
  // The message a caller shows when Agglomerate() returns false.
  static const char* const kInvalidDistTypeMessage;

  // Dissimilarity between cluster n and the cluster merging a and b, by the
  // centroid rule and by Ward's rule, from the current pair values (SeekD)
  // and member counts (SeekC). They change nothing.
  Real CentroidUpdate(std::int32_t n, std::int32_t a, std::int32_t b) const;
  Real WardUpdate(std::int32_t n, std::int32_t a, std::int32_t b) const;

  // Releases the tree under the last cluster-table slot (the root after a
  // complete run) and empties the working state, so that nothing refers to
  // a released node. Nothing to release is not an error.
  void FreeClusterTree();
  // Releases the subtree under node, children before parents.
  void FreeNode(TClusterNode* node);

  // ---- Working state, read-only ----

  // Node of the active cluster with this id; "Range error in SeekC" if none.
  TClusterNode& SeekC(std::int32_t id) const;
  // Value of the pair list entry for clusters x and y (either order);
  // "SeekD range error" if the list has none.
  Real SeekD(std::int32_t x, std::int32_t y) const;

  std::int32_t ClusterCount() const { return static_cast<std::int32_t>(table_.size()); }
  // Slot 1..ClusterCount().
  const TClusterSlot& ClusterTable(std::int32_t slot) const;
  std::int64_t PairCount() const { return pairCount_; }
  // Entry 1..PairCount(), in list order.
  TPairEntry PairList(std::int64_t entry) const;
  // The most recently issued cluster id.
  std::int32_t NextClusterId() const { return nextClusterId_; }
  // Nodes allocated and not yet released.
  std::int64_t LiveNodeCount() const { return liveNodes_; }

  // For tests: every pass shared with the helper thread waits until the
  // helper has taken its part (see HelperThread::SetWaitForHelper).
  void SetHelperTakesEveryPass(bool always);

  // Where the number of merges made so far is kept up to date, for a
  // report of progress read from another thread; nothing for none.
  void ReportMergesTo(std::atomic<std::int64_t>* merges) { mergesMade_ = merges; }

 private:
  void AdoptCapture(std::vector<std::string> labels, LowerTriangle distances);
  void UseWorkingMemory(WorkingMemory memory);

  // Working matrix value of rows r != s.
  Real Work(std::int32_t r, std::int32_t s) const;
  template <typename Cells>
  Real WorkIn(std::int32_t r, std::int32_t s) const;
  template <typename Cells>
  typename Cells::Cell* WorkCells() const {
    return reinterpret_cast<typename Cells::Cell*>(work_.Values());
  }
  // Offset of the working row `row` less one: cell (row, c) of rows c < row
  // is at WorkRowBase(row) + c. Split cells fill a square, where any c !=
  // row has a cell; whole values a packed triangle.
  template <typename Cells>
  std::ptrdiff_t WorkRowBase(std::int32_t row) const {
    if constexpr (Cells::kSquare) {
      return static_cast<std::ptrdiff_t>(row - 1) * workStride_ - 1;
    } else {
      return static_cast<std::ptrdiff_t>(TriangleRowOffset(row)) - 1;
    }
  }

  TClusterNode* NewNode(std::int32_t id);
  void ReleaseAllNodes();
  void RebuildClusterTable();
  void ThrowFirstPrepareError(std::int32_t n) const;
  void ResetRun();
  void BuildWorkingValues();
  void CreateLeaves();
  void ApplySingleLinkagePlan();
  template <typename Cells>
  bool FillWork(std::int32_t n);
  template <typename Cells>
  bool FillRows(typename Cells::Cell* work, std::int32_t first, std::int32_t last);
  // A captured value as the set-up values it: a dissimilarity squared,
  // halved or as given; a squared one as it is, halved, or its root.
  Real SetUpValueFrom(Real d) const {
    if (DistancesAreSquares) {
      switch (setUpValue_) {
        case SetUpValue::kAsGiven: return std::sqrt(d);
        case SetUpValue::kHalfSquare: return d / 2;
        default: return d;
      }
    }
    switch (setUpValue_) {
      case SetUpValue::kAsGiven: return d;
      case SetUpValue::kHalfSquare: return d * d / 2;
      default: return d * d;
    }
  }
  // The helper thread for a pass over `items` rows, or none when the pass
  // is too short to share (or no helper can be had).
  HelperThread* HelperFor(std::size_t items);
  void ResetRowsToLeaves(std::int32_t n);

  // agglomerate.cpp
  void MergeStep();
  bool ApplyMerge(std::int32_t a, std::int32_t b, std::int32_t newId, std::int32_t members);
  void SwitchToWideCells();
  std::int32_t LeastPairRow();
  template <typename Cells>
  void RescanRow(std::int32_t row);
  template <typename Cells>
  bool UpdateForMerge(std::int32_t rowA, std::int32_t rowB, std::int32_t newId);
  template <typename Cells, typename Rule>
  void UpdateRows(std::int32_t rowA, std::int32_t rowB, std::int32_t newId, Rule rule);
  template <typename Cells, bool kLowIsA, typename Rule>
  void UpdateRuns(std::int32_t lowRow, std::int32_t highRow, std::int32_t newId, Rule rule);
  template <typename Cells, bool kLowIsA, typename Rule>
  void UpdateSquare(std::int32_t lowRow, std::int32_t highRow, std::int32_t newId, Rule rule);

  std::int32_t maxObjects_;
  std::vector<std::string> names_;  // index 0 unused
  LowerTriangle dist_;              // captured dissimilarities
  WorkingMemory work_;              // current pair values between active rows
  // How work_ holds the values: split cells in a square or a triangle, or
  // whole values in a triangle (after a value split cells cannot hold).
  enum class WorkLayout { kSplitSquare, kSplitTriangle, kWide };
  WorkLayout splitLayout_ = WorkLayout::kSplitSquare;  // the layout a run starts in
  WorkLayout layout_ = WorkLayout::kSplitSquare;       // the layout of the running run
  // Calls f with a value of the cells type of the current layout.
  template <typename F>
  decltype(auto) WithCells(F f) const {
    switch (layout_) {
      case WorkLayout::kSplitSquare: return f(SplitCells{});
      case WorkLayout::kSplitTriangle: return f(SplitTriangleCells{});
      default: return f(WideCells{});
    }
  }
  std::int32_t workStride_ = 0;     // cells per row of the square (the prepared n)
  SetUpValue setUpValue_ = SetUpValue::kSquare;  // how the set-up valued the pairs

  // Working state of a run (sized by the prepared object count n).
  std::int32_t preparedCount_ = 0;        // n
  std::uint8_t method_ = kCentroidMethod;  // DistType when the run began merging
  bool finished_ = false;                 // the root exists
  bool workPending_ = false;              // prepared for a whole run, no working values yet
  std::optional<std::vector<SingleLinkageMerge>> singlePlan_;  // single linkage's merges, found
  bool everyMethod_ = false;   // AcceptEveryMethod() was called
  bool lastPairOnly_ = false;  // a whole run of single linkage left only its last pair
  Real lastPairValue_ = 0;
  std::vector<std::int32_t> rowOf_;       // id -> row (0: no row)
  std::vector<std::int32_t> idOf_;        // row -> id (0: dead row)
  std::vector<std::int32_t> members_;     // row -> member count
  std::vector<double> memberCounts_;      // the same, as doubles for the Ward pass
  std::vector<std::int32_t> activeRows_;  // rows of the active clusters, ascending
  std::vector<std::uint8_t> inTable_;     // id -> listed in the cluster table
  std::vector<TClusterNode*> nodes_;      // id -> node (every node of the run)
  CandidateTree candidates_;
  // Rows whose candidates a pass lowered, per part of the pass; their
  // places in the candidate tree are brought up to date after it.
  std::vector<std::int32_t> lowered_[2];
  std::unique_ptr<HelperThread> helper_;  // made for the first pass long enough
  bool helperUnavailable_ = false;
  bool helperTakesEveryPass_ = false;
  std::atomic<std::int64_t>* mergesMade_ = nullptr;
  std::vector<TClusterSlot> table_;       // the cluster table, rebuilt after merging
  std::int64_t pairCount_ = 0;
  std::int32_t nextClusterId_ = 0;
  std::int64_t liveNodes_ = 0;
};

}  // namespace cluster
