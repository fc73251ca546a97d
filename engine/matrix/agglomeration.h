// The working state of the matrix path's runs, behind an AnalysisStore.
//
// The store (engine/matrix/analysis_store.h) holds the captured data and is
// what every caller sees; this holds the working values, the candidates,
// the cluster table and the nodes of a run, and does the work:
// agglomeration_setup.cpp builds the starting state, agglomerate.cpp
// merges (and opens with the account of how and why). Nothing outside
// engine/matrix/ includes this header.
#pragma once

#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "common/float_checks.h"
#include "common/helper_thread.h"
#include "engine/candidate_tree.h"
#include "engine/cluster_types.h"
#include "engine/matrix/analysis_store.h"
#include "engine/matrix/cell_layouts.h"
#include "engine/matrix/single_linkage_pass.h"
#include "engine/matrix/working_memory.h"
#include "engine/run_control.h"
#include "engine/triangle.h"

namespace cluster {

class Agglomeration {
 public:
  // The set-up's share of a run's work, as RunControl hears of it; the
  // merges take the rest (about as long, at a few thousand objects).
  static constexpr double kSetUpShare = 0.5;

  Agglomeration(AnalysisStore& store, WorkingMemory memory);
  ~Agglomeration();
  Agglomeration(const Agglomeration&) = delete;
  Agglomeration& operator=(const Agglomeration&) = delete;

  // The work behind the store's functions of the same names; the store
  // reads the state's counts and sets its controls itself.
  TClusterNode& SeekC(std::int32_t id) const;
  Real SeekD(std::int32_t x, std::int32_t y) const;
  const TClusterSlot& ClusterTable(std::int32_t slot) const;
  TPairEntry PairList(std::int64_t entry) const;
  void PrepareClusters();
  void PrepareWholeRun();
  bool AgglomerateSteps(std::int32_t merges);
  MergeList Merges() const;
  void FreeClusterTree();
  void FreeNode(TClusterNode* node);

 private:
  friend class AnalysisStore;
  std::int32_t ClusterCount() const { return static_cast<std::int32_t>(table_.size()); }

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
  template <typename Cells, typename Block>
  bool FillRows(typename Cells::Cell* work, std::int32_t first, std::int32_t last, const Block& captured);
  // A captured value as the set-up values it: a dissimilarity squared,
  // halved or as given; a squared one as it is, halved, or its root.
  Real SetUpValueFrom(Real d) const {
    if (store_.DistancesAreSquares) {
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

  AnalysisStore& store_;            // the captured data
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
  RunControl* control_ = nullptr;
  std::vector<TClusterSlot> table_;       // the cluster table, rebuilt after merging
  std::int64_t pairCount_ = 0;
  std::int32_t nextClusterId_ = 0;
  std::int64_t liveNodes_ = 0;
};

}  // namespace cluster
