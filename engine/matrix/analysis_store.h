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
//
// The store holds the captured data; the working state of a run lies in
// an Agglomeration (engine/matrix/agglomeration.h) that only the matrix
// path sees.
#pragma once

#include <atomic>
#include <cmath>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "common/float_checks.h"
#include "engine/cluster_types.h"
#include "engine/condensed_index.h"
#include "engine/merge_list.h"
#include "engine/method_table.h"
#include "engine/matrix/work_pages.h"
#include "engine/triangle.h"

namespace cluster {

class Agglomeration;
class RunControl;

class AnalysisStore {
 public:
  // The desktop program's capacity.
  static constexpr std::int32_t kDesktopMaxObjects = 1000;
  // Cluster ids run to 2n - 1, and twice the largest id must fit 32 bits.
  // (Memory, not this, limits a store in practice: RunBytes.)
  static constexpr std::int32_t kLargestMaxObjects = (1 << 30) - 1;

  // A store for up to maxObjects objects (1..kLargestMaxObjects, else
  // ERangeError). Memory for the dissimilarities is reserved, not touched.
  explicit AnalysisStore(std::int32_t maxObjects = kDesktopMaxObjects, WorkPages pages = WorkPages::kHuge);
  // A store that holds exactly the captured objects: ObjectCount and
  // MaxObjects are the number of labels (at least 1 for MaxObjects), and the
  // dissimilarities are taken over, not copied. ERangeError beyond
  // kLargestMaxObjects.
  AnalysisStore(std::vector<std::string> labels, LowerTriangle distances, WorkPages pages,
                WorkShape shape = WorkShape::kBySize);
  // A store over a caller's dissimilarities of n objects (2 <= n <=
  // kLargestMaxObjects), as doubles in SciPy's condensed order (pairs (0,
  // 1), (0, 2), ..., (0, n - 1), (1, 2), ..., 0-based), read where they lie:
  // nothing is copied, and they must stay as they are while the store runs.
  // The labels are empty; DistMatrix reads the values, and writing one is a
  // range error.
  AnalysisStore(std::span<const double> condensed, std::int32_t n, WorkPages pages);
  ~AnalysisStore();
  AnalysisStore(const AnalysisStore&) = delete;
  AnalysisStore& operator=(const AnalysisStore&) = delete;

  std::int32_t MaxObjects() const { return maxObjects_; }

  // What a run of n objects by `method` takes at most, in bytes: the
  // captured dissimilarities (none when they are the caller's) and the
  // working values (a square of split
  // cells or a triangle, as the store lays them out; single linkage's whole
  // run has none, but keeps lists of the pairs at one height, which ties
  // can make as long as the pairs), and per object its label and nodes.
  static std::uint64_t RunBytes(std::int64_t objects, std::uint8_t method,
                                CapturedValues captured = CapturedValues::kCopied);

  // ---- Captured data (written by the data capture, read by the run) ----

  // The number of objects; an analysis needs 2 <= ObjectCount <= MaxObjects.
  std::int32_t ObjectCount = 0;
  // The method: kCentroidMethod (0), kWardMethod (1), or, in a store that
  // accepts every method, any other of engine/method_table.h. A store
  // accepts only the desktop program's two until AcceptEveryMethod(): any
  // other selector then names no method (set up as squares, refused by
  // Agglomerate), as the desktop program has always had it.
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
  // Row i's dissimilarities d(i, 1..i - 1) into row[0..i - 2], as
  // Dissimilarity gives them (for DissimilarityRows).
  void DissimilarityRow(std::int32_t i, Real* row) const;

  // ---- Run ----

  // Builds the starting state from the captured data: the pair list of all
  // object pairs, each valued as DistType's method sets up a dissimilarity
  // (engine/method_table.h), and one leaf per object. Releases whatever
  // nodes an earlier run left. ERangeError when ObjectCount > MaxObjects;
  // EOverflow when a square exceeds the extended range (also for an
  // infinite dissimilarity), EInvalidOp for a dissimilarity that is not a
  // number; the first failing pair in list order decides.
  void PrepareClusters();

  // The same starting state, for a caller that calls Agglomerate() next and
  // then reads only the tree and the final state: single linkage then finds
  // its merges in one pass over the captured values, without working values
  // (engine/matrix/single_linkage_pass.h), with the same result. Nothing
  // else may be read or asked of the store between the two (a partial
  // AgglomerateSteps builds the working values first).
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

  // The merges of a complete run, in merge order (engine/merge_list.h).
  MergeList Merges() const;

  // Where a run reports how far it is and learns that it is to stop (the
  // set-up, the single-linkage pass and the merges, as one share of work);
  // nothing for none. A cancelled run throws ECancelled and leaves the store
  // as after FreeClusterTree.
  void SetRunControl(RunControl* control);

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

  std::int32_t ClusterCount() const;
  // Slot 1..ClusterCount().
  const TClusterSlot& ClusterTable(std::int32_t slot) const;
  std::int64_t PairCount() const;
  // Entry 1..PairCount(), in list order.
  TPairEntry PairList(std::int64_t entry) const;
  // The most recently issued cluster id.
  std::int32_t NextClusterId() const;
  // Nodes allocated and not yet released (the release tests read it).
  std::int64_t LiveNodeCount() const;

  // For tests: every pass shared with the helper thread waits until the
  // helper has taken its part (see HelperThread::SetWaitForHelper).
  void SetHelperTakesEveryPass(bool always);

 private:
  friend class Agglomeration;
  void AdoptCapture(std::vector<std::string> labels, LowerTriangle distances);

  std::int32_t maxObjects_ = 1;
  std::vector<std::string> names_;  // index 0 unused
  // The captured dissimilarity of objects j < i, wherever it lies.
  Real Captured(std::int32_t i, std::int32_t j) const {
    return condensed_ != nullptr ? condensed_[CondensedIndex(maxObjects_, j - 1, i - 1)] : dist_.At(i, j);
  }

  LowerTriangle dist_;              // captured dissimilarities, or
  const double* condensed_ = nullptr;  // the caller's, in condensed order
  bool everyMethod_ = false;        // AcceptEveryMethod() was called
  std::unique_ptr<Agglomeration> run_;
};

}  // namespace cluster
