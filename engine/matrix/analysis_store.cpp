#include "engine/matrix/analysis_store.h"

#include <algorithm>
#include <limits>

#include "common/errors.h"
#include "engine/matrix/agglomeration.h"
#include "engine/update_rules.h"

namespace cluster {

const char* const AnalysisStore::kInvalidDistTypeMessage = "Invalid value of DistType";

AnalysisStore::AnalysisStore(std::int32_t maxObjects, WorkPages pages) : maxObjects_(maxObjects) {
  CheckRange(maxObjects, 1, kLargestMaxObjects);
  names_.resize(static_cast<std::size_t>(maxObjects) + 1);
  // Large blocks come straight from the system and are committed page by
  // page as rows are written, so a store sized for many objects costs
  // little until it holds them.
  dist_ = LowerTriangle(maxObjects);
  run_ = std::make_unique<Agglomeration>(*this, WorkingMemory(maxObjects_, pages));
}

AnalysisStore::AnalysisStore(std::vector<std::string> labels, LowerTriangle distances, WorkPages pages,
                             WorkShape shape) {
  AdoptCapture(std::move(labels), std::move(distances));
  run_ = std::make_unique<Agglomeration>(
      *this, shape == WorkShape::kTriangle ? WorkingMemory(maxObjects_, pages, WorkingMemory::Shape::kTriangle)
                                           : WorkingMemory(maxObjects_, pages));
}

AnalysisStore::AnalysisStore(std::span<const double> condensed, std::int32_t n, WorkPages pages) {
  CheckRange(n, 2, kLargestMaxObjects);
  if (condensed.size() != TriangleSize(n)) throw ERangeError();
  ObjectCount = n;
  maxObjects_ = n;
  names_.resize(static_cast<std::size_t>(n) + 1);
  condensed_ = condensed.data();
  run_ = std::make_unique<Agglomeration>(*this, WorkingMemory(maxObjects_, pages));
}

AnalysisStore::~AnalysisStore() = default;

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

std::uint64_t AnalysisStore::RunBytes(std::int64_t objects, std::uint8_t method, CapturedValues capturedValues) {
  // Per object: its label, its two tree nodes and the run's indices.
  constexpr long double kPerObjectBytes = 512;
  const auto n = static_cast<long double>(std::max<std::int64_t>(objects, 0));
  const long double pairs = n * (n > 0 ? n - 1 : 0) / 2;
  const long double captured = capturedValues == CapturedValues::kCopied ? pairs * sizeof(Real) : 0;
  const long double working =
      method == kSingleLinkage ? pairs * 12 : static_cast<long double>(WorkingMemory::BytesFor(objects));
  const long double total = captured + working + n * kPerObjectBytes;
  return total >= 1.8e19L ? std::numeric_limits<std::uint64_t>::max() : static_cast<std::uint64_t>(total);
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
  if (condensed_ != nullptr) throw ERangeError();  // the caller's, not to be written
  return dist_.At(i, j);
}

Real AnalysisStore::DistMatrix(std::int32_t i, std::int32_t j) const {
  CheckRange(i, 2, maxObjects_);
  CheckRange(j, 1, i - 1);
  return Captured(i, j);
}

void AnalysisStore::DissimilarityRow(std::int32_t i, Real* row) const {
  CheckRange(i, 2, maxObjects_);
  const Real* const values = condensed_ == nullptr ? dist_.Row(i) : nullptr;
  for (std::int32_t j = 0; j < i - 1; ++j) {
    const Real value = values != nullptr ? values[j] : Captured(i, j + 1);
    row[j] = DistancesAreSquares ? std::sqrt(value) : value;
  }
}

namespace {

// Runs a step of a run; a cancelled one leaves the store as after
// FreeClusterTree.
template <typename Step>
auto Cancellable(Agglomeration& run, Step step) {
  try {
    return step();
  } catch (const ECancelled&) {
    run.FreeClusterTree();
    throw;
  }
}

}  // namespace

void AnalysisStore::PrepareClusters() {
  Cancellable(*run_, [this] { run_->PrepareClusters(); });
}
void AnalysisStore::PrepareWholeRun() {
  Cancellable(*run_, [this] { run_->PrepareWholeRun(); });
}
bool AnalysisStore::Agglomerate() { return AgglomerateSteps(std::numeric_limits<std::int32_t>::max()); }
bool AnalysisStore::AgglomerateSteps(std::int32_t merges) {
  return Cancellable(*run_, [&] { return run_->AgglomerateSteps(merges); });
}
MergeList AnalysisStore::Merges() const { return run_->Merges(); }
void AnalysisStore::SetRunControl(RunControl* control) { run_->control_ = control; }
void AnalysisStore::FreeClusterTree() { run_->FreeClusterTree(); }
void AnalysisStore::FreeNode(TClusterNode* node) { run_->FreeNode(node); }
TClusterNode& AnalysisStore::SeekC(std::int32_t id) const { return run_->SeekC(id); }
Real AnalysisStore::SeekD(std::int32_t x, std::int32_t y) const { return run_->SeekD(x, y); }
std::int32_t AnalysisStore::ClusterCount() const { return run_->ClusterCount(); }
const TClusterSlot& AnalysisStore::ClusterTable(std::int32_t slot) const { return run_->ClusterTable(slot); }
std::int64_t AnalysisStore::PairCount() const { return run_->pairCount_; }
TPairEntry AnalysisStore::PairList(std::int64_t entry) const { return run_->PairList(entry); }
std::int32_t AnalysisStore::NextClusterId() const { return run_->nextClusterId_; }
std::int64_t AnalysisStore::LiveNodeCount() const { return run_->liveNodes_; }
void AnalysisStore::SetHelperTakesEveryPass(bool always) {
  run_->helperTakesEveryPass_ = always;
  if (run_->helper_ != nullptr) run_->helper_->SetWaitForHelper(always);
}

// The public update rules read the pair list and the cluster table; they
// compute exactly what a merge's pass computes, with the same rules.
Real AnalysisStore::CentroidUpdate(std::int32_t n, std::int32_t a, std::int32_t b) const {
  const CentroidWeights weights = CentroidWeightsFor(SeekC(a).Members, SeekC(b).Members);
  const Real dan = SeekD(a, n);
  const Real dbn = SeekD(b, n);
  const Real dab = SeekD(a, b);
  ClearFloatFlags();
  const Real value = CentroidCombine(dan, dbn, weights.w1, weights.w2, dab * weights.w3);
  RaiseUpdateError();
  return value;
}

Real AnalysisStore::WardUpdate(std::int32_t n, std::int32_t a, std::int32_t b) const {
  const auto count = [this](std::int32_t id) { return static_cast<Real>(SeekC(id).Members); };
  const Real nn = count(n);
  const Real na = count(a);
  const Real nb = count(b);
  const Real dna = SeekD(n, a);
  const Real dnb = SeekD(n, b);
  const Real dab = SeekD(a, b);
  ClearFloatFlags();
  const Real value = WardCombine(dna, dnb, dab, nn, na, nb);
  RaiseUpdateError();
  return value;
}

}  // namespace cluster
