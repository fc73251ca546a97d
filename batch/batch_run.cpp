#include "batch/batch_run.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "batch/batch_outputs.h"
#include "batch/batch_pictures.h"
#include "batch/output_table.h"
#include "batch/phase_timer.h"
#include "batch/progress_line.h"
#include "batch/text_outputs.h"
#include "common/codepage.h"
#include "common/errors.h"
#include "common/numbers.h"
#include "common/printer.h"
#include "common/text_file.h"
#include "datafiles/distance_echo.h"
#include "datafiles/file_capture.h"
#include "datafiles/observation_table.h"
#include "datafiles/square_matrix.h"
#include "engine/coordinates/coordinate_clustering.h"
#include "engine/leaf_order.h"
#include "engine/matrix/analysis_store.h"
#include "engine/memory_budget.h"
#include "engine/merge_tree.h"
#include "engine/metrics.h"
#include "engine/newick.h"
#include "engine/run_control.h"
#include "engine/squared_distance.h"
#include "engine/tree_cut.h"
#include "platform/picture_printer_device.h"
#include "platform/qt_text.h"
#include "plot/dendrogram_plot.h"

namespace cluster {

namespace {

constexpr int kExitFailure = 1;
// The engine's progress, as the progress line counts it: thousandths.
constexpr std::int64_t kShares = 1000;

// Runs the writing of one output; whatever stops it is reported with the
// output's name.
template <typename Write>
void WritingOutput(const std::string& path, Write write) {
  try {
    write();
  } catch (const Exception& failure) {
    throw FileFailure{OutputName(path), FailureMessage(failure)};
  }
}

// Reads the data file; a failure of the file itself (missing, unreadable)
// is reported with its name.
template <typename Read>
auto ReadingData(const std::string& path, Read read) {
  try {
    return read();
  } catch (const EInOutError& failure) {
    throw FileFailure{path, FailureMessage(failure)};
  }
}

// Fewer than two objects leave no pair to merge: refused before any output.
void CheckSomethingToCluster(std::int64_t objects, const char* what) {
  if (objects >= 2) return;
  throw DataFailure{"nothing to cluster: the data hold " + std::to_string(objects) + " " + what +
                    (objects == 1 ? "" : "s") + ", and clustering needs at least 2"};
}

// Labels of a data file in UTF-8: they are taken as UTF-8 when every one
// of them is valid UTF-8 (ASCII labels read the same either way), else as
// code page 932.
std::vector<std::string> Utf8LabelsOf(const std::vector<std::string>& labels) {
  const bool utf8 = std::all_of(labels.begin(), labels.end(), [](const std::string& l) { return IsValidUtf8(l); });
  return Utf8Texts(labels, utf8);
}

// The checks of the command line that need the data.
Real CutHeightOf(const BatchOptions& options) { return HeightOption(*options.cutHeight, "--cut-height"); }

void CheckAgainstTheData(const BatchOptions& options, std::int32_t objects) {
  if (options.cutGroups && *options.cutGroups > objects) {
    throw UsageFailure{"--cut " + std::to_string(*options.cutGroups) + " asks for more groups than the " +
                       std::to_string(objects) + " objects"};
  }
  // The heights are read now, so that a wrong one stops the run before any output.
  if (options.cutHeight) CutHeightOf(options);
  if (options.colorThreshold) HeightOption(*options.colorThreshold, "--color-threshold");
}

// What the outputs are made from: the merges, the labels in UTF-8 and the
// dissimilarities as the data gave them.
struct Finished {
  MergeList merges;
  const std::vector<std::string>& utf8Labels;
  DissimilarityRows dissimilarities;
};

// The text of a text output (the table's kText rows).
std::string OutputText(Output output, const BatchOptions& options, const Finished& run,
                       std::atomic<std::int64_t>* pairsDone) {
  switch (output) {
    case Output::kMerges: return MergeListText(run.merges);
    case Output::kLinkage: return LinkageText(run.merges);
    case Output::kNewick: return NewickText(run.merges, run.utf8Labels);
    case Output::kOrder: return OrderText(run.merges, run.utf8Labels);
    case Output::kGroups:
      return GroupsText(run.utf8Labels, options.cutGroups ? GroupsOfCut(run.merges, *options.cutGroups)
                                                          : GroupsBelowHeight(run.merges, CutHeightOf(options)));
    case Output::kCophenetic: return CopheneticText(run.merges, run.dissimilarities, pairsDone);
    default: throw ERangeError();  // not a text
  }
}

// Every text output, made before any is written: an output that cannot be
// made (a height with no root in SciPy's units) leaves all of them unwritten.
std::vector<std::pair<std::string, std::string>> TextOutputs(const BatchOptions& options, const Finished& run,
                                                             std::atomic<std::int64_t>* pairsDone) {
  std::vector<std::pair<std::string, std::string>> texts;
  for (const OutputInfo& info : kOutputs) {
    const std::string& path = options.File(info.output);
    if (info.stage != OutputStage::kText || path.empty()) continue;
    try {
      texts.emplace_back(path, OutputText(info.output, options, run, pairsDone));
    } catch (const ENoSciPyHeight& failure) {
      throw FileFailure{OutputName(path), failure.Message()};
    }
  }
  return texts;
}

// One run: its options, the phases' timer and the progress line.
class BatchRun {
 public:
  explicit BatchRun(const BatchOptions& options)
      : options_(options),
        progress_(!options.quiet && (options.progress || ProgressLine::StandardErrorIsTerminal())),
        control_([this](double share) {
          progress_.Done().store(static_cast<std::int64_t>(share * kShares), std::memory_order_relaxed);
        }) {}

  int Run();

 private:
  template <typename Work>
  auto Phase(const char* timing, const std::string& shown, std::int64_t total, Work work,
             ProgressLine::Measure measure = ProgressLine::Measure::kUnits) {
    progress_.Begin(shown, total, measure);
    return timer_.Time(timing, work);
  }
  int RunOnMatrix(std::vector<std::string> labels, std::vector<std::string> utf8Labels, LowerTriangle values,
                  bool squares);
  int RunOnCoordinates(const ObservationTable& table);
  int RunOnSpanningTree(const ObservationTable& table, const std::vector<bool>& categorical,
                        const DecimalTable* decimals);
  bool WorkFromCoordinates(const ObservationTable& table) const;
  FileCapture LoadMatrixFile();
  void WriteOutputs(Finished run);
  void WriteEcho(const EchoSource& source);
  void WriteTableEcho(const ObservationTable& table, std::function<Real(std::int32_t, std::int32_t)> pair);
  void OrderLeaves(Finished& run);
  void WritePictures(const Finished& run, const MergeList& ownUnits);

  const BatchOptions& options_;
  PhaseTimer timer_;
  const PhaseTimer::Clock::time_point begin_ = PhaseTimer::Clock::now();
  ProgressLine progress_;
  RunControl control_;
  const ObservationTable* table_ = nullptr;  // the observations, for the heat map
};

// The echo of the data in the output text file, when one is named.
// The echo of a table's rows by the dissimilarity of two (1-based) of them.
void BatchRun::WriteTableEcho(const ObservationTable& table, std::function<Real(std::int32_t, std::int32_t)> pair) {
  const std::vector<std::string> labels = table.Cp932Labels();
  EchoSource echo;
  echo.objects = table.Rows();
  echo.label = [&labels](std::int32_t i) -> const std::string& { return labels[static_cast<std::size_t>(i - 1)]; };
  echo.dissimilarity = std::move(pair);
  WriteEcho(echo);
}

void BatchRun::WriteEcho(const EchoSource& source) {
  const std::string& path = options_.File(Output::kEcho);
  if (path.empty()) return;
  Phase("echo", "writing", 0, [&] {
    WritingOutput(path, [&] {
      TextFile output;
      BindOutput(output, path);
      output.OpenForWriting();
      CheckIo();
      WriteDistanceEchoInBulk(output, source);
      output.CloseTextFile();
      CheckIo();
    });
  });
}

// The optimal leaf order, when asked, before anything that has an order is
// written; its tables must fit the memory the run may take.
void BatchRun::OrderLeaves(Finished& run) {
  if (!options_.optimalLeafOrder) return;
  // Only what has an order needs it.
  const bool ordered = std::any_of(kOutputs.begin(), kOutputs.end(), [this](const OutputInfo& info) {
    return !options_.File(info.output).empty() && HasLeafOrder(info.output);
  });
  if (!ordered) return;
  CheckLeafOrderFits(run.merges.objects);
  Phase("leaf order", "ordering", kShares, [&] { OptimalLeafOrder(run.merges, run.dissimilarities, &control_); });
}

// The outputs of a finished run: the texts (all made before any is
// written), then the pictures.
void BatchRun::WriteOutputs(Finished run) {
  OrderLeaves(run);
  const bool pictures = !options_.File(Output::kPicture).empty() || !options_.File(Output::kHeatmap).empty();
  MergeList ownUnits = pictures ? run.merges : MergeList{};
  const auto texts = Phase(
      "outputs", "writing", run.merges.objects,
      [&] {
        if (options_.scipyUnits) ToSciPyUnits(run.merges);
        return TextOutputs(options_, run, &progress_.Done());
      },
      ProgressLine::Measure::kTriangleRows);
  for (const auto& output : texts) {
    WritingOutput(output.first, [&] { WriteOutput(output.first, output.second); });
  }
  if (pictures) WritePictures(run, ownUnits);
}

void BatchRun::WritePictures(const Finished& run, const MergeList& ownUnits) {
  const bool scipy = options_.plotScipyUnits.value_or(options_.scipyUnits);
  MergeList plotUnits = ownUnits;
  if (scipy) {
    try {
      ToSciPyUnits(plotUnits);
    } catch (const ENoSciPyHeight& failure) {
      throw FileFailure{OutputName(options_.File(options_.File(Output::kPicture).empty() ? Output::kHeatmap
                                                                                          : Output::kPicture)),
                        failure.Message()};
    }
  }
  const PictureTrees trees{run.merges, plotUnits, run.utf8Labels};
  Phase("plot", "drawing", 0, [&] {
    const std::string& plotPath = options_.File(Output::kPicture);
    if (!plotPath.empty()) {
      WritingOutput(plotPath, [&] {
        const QByteArray picture = DendrogramPicture(options_, trees);
        WriteOutput(plotPath, std::string_view(picture.constData(), static_cast<std::size_t>(picture.size())));
      });
    }
    const std::string& heatmapPath = options_.File(Output::kHeatmap);
    if (!heatmapPath.empty() && table_ != nullptr) {
      WritingOutput(heatmapPath, [&] {
        const std::optional<MergeList> columns =
            options_.clusterColumns && table_->columns >= 2 ? std::optional(ClusterColumns(options_, *table_)) : std::nullopt;
        const QByteArray picture = HeatmapPicture(options_, trees, *table_, columns ? &*columns : nullptr);
        WriteOutput(heatmapPath, std::string_view(picture.constData(), static_cast<std::size_t>(picture.size())));
      });
    }
  });
}

// Observations are clustered from their coordinates when asked
// (--memory-saving), or by default when their matrix would not fit the
// memory available and the method can.
bool BatchRun::WorkFromCoordinates(const ObservationTable& table) const {
  if (options_.memorySaving) return true;
  if (options_.matrix || !FindMethod(options_.methodCode)->fromCoordinates) return false;
  return !MatrixFits(table.Rows(), options_.methodCode);
}

int BatchRun::RunOnCoordinates(const ObservationTable& table) {
  const std::int32_t n = table.Rows();
  CheckCoordinatesFit(n, table.columns);
  // The echo comes first, as on the matrix: it shows the data even when
  // the run goes no further.
  const auto distance = [&table](std::int32_t i, std::int32_t j) {
    return std::sqrt(SquaredDistance(table.Row(i - 1), table.Row(j - 1), table.columns));
  };
  WriteTableEcho(table, distance);
  MergeList merges = Phase("agglomerate", "merging", kShares, [&] {
    return ClusterCoordinates(table.values.data(), n, table.columns, options_.methodCode, &control_);
  });
  const std::vector<std::string> utf8Labels = table.Utf8Labels();
  WriteOutputs(Finished{std::move(merges), utf8Labels, [&distance](std::int32_t i, Real* row) {
                          for (std::int32_t j = 1; j < i; ++j) row[j - 1] = distance(i, j);
                        }});
  return 0;
}

// Single linkage by another metric (or with missing values) without a
// matrix: the minimum spanning tree of the dissimilarities, computed as it
// grows. The echo and the cophenetic correlation read them row by row.
int BatchRun::RunOnSpanningTree(const ObservationTable& table, const std::vector<bool>& categorical,
                                const DecimalTable* decimals) {
  const std::int32_t n = table.Rows();
  const std::int32_t d = table.columns;
  CheckCoordinatesFit(n, d);
  const Metric metric = options_.metricCode;
  const auto row = [&](std::int32_t i, Real* out) {
    MetricRow(table.values.data(), n, d, metric, options_.minkowskiP, i, out, options_.missingPairwise, decimals,
              categorical);
  };
  // The echo asks pair by pair, a row at a time on each of its threads:
  // each thread keeps the last row it computed.
  const auto pair = [&](std::int32_t i, std::int32_t j) {
    thread_local const void* owner = nullptr;
    thread_local std::int32_t cached = 0;
    thread_local std::vector<Real> values;
    if (owner != &table || cached != i) {
      values.resize(static_cast<std::size_t>(std::max(i - 1, 1)));
      row(i, values.data());
      owner = &table;
      cached = i;
    }
    return values[static_cast<std::size_t>(j - 1)];
  };
  WriteTableEcho(table, pair);
  MergeList merges = Phase("agglomerate", "merging", kShares, [&] {
    return SingleLinkageByMetric(MetricSpanningTree(table.values.data(), n, d, metric, options_.minkowskiP, 1,
                                                    &control_, options_.missingPairwise, decimals, categorical),
                                 n);
  });
  const std::vector<std::string> utf8Labels = table.Utf8Labels();
  WriteOutputs(Finished{std::move(merges), utf8Labels, row});
  return 0;
}

int BatchRun::RunOnMatrix(std::vector<std::string> labels, std::vector<std::string> utf8Labels, LowerTriangle values,
                          bool squares) {
  // The store holds exactly the objects read, and takes their values over.
  AnalysisStore store(std::move(labels), std::move(values), WorkPages::kOrdinary);
  store.AcceptEveryMethod();
  store.DistType = options_.methodCode;
  store.DistancesAreSquares = squares;
  WriteEcho(EchoSourceOf(store));
  store.SetRunControl(&control_);
  Phase("prepare", "merging", kShares, [&] { store.PrepareWholeRun(); });
  timer_.Time("agglomerate", [&] { store.Agglomerate(); });
  store.SetRunControl(nullptr);
  MergeList merges = store.Merges();
  store.FreeClusterTree();
  WriteOutputs(Finished{std::move(merges), utf8Labels,
                        [&store](std::int32_t i, Real* row) { store.DissimilarityRow(i, row); }});
  return 0;
}

// Reads a native or CSV file, refused at once when its declared count's
// matrix would not fit.
FileCapture BatchRun::LoadMatrixFile() {
  CaptureWatch watch;
  watch.beforeReading = [&](std::int32_t declared) {
    CheckMatrixFits(declared, options_.methodCode);
    progress_.Begin("loading", declared, ProgressLine::Measure::kTriangleRows);
  };
  watch.rowsRead = &progress_.Done();
  return Phase("load", "loading", 0, [&] {
    return ReadingData(options_.dataFile, [&] {
      return options_.csv ? CaptureCsvFile(options_.dataFile, AnalysisStore::kLargestMaxObjects, watch,
                                           CsvRows::kLowerTriangleOnly)
                          : CaptureNativeFile(options_.dataFile, AnalysisStore::kLargestMaxObjects, watch);
    });
  });
}

int BatchRun::Run() {
  ReloadDecimalSeparator();
  if (options_.cutHeight) CutHeightOf(options_);
  int status = 0;
  if (options_.square || options_.squareLower) {
    SquareMatrix matrix = Phase("load", "loading", 0, [&] {
      return ReadingData(options_.dataFile, [&] {
        return ReadSquareMatrix(options_.dataFile, options_.tsv ? '\t' : ',', AnalysisStore::kLargestMaxObjects,
                                options_.square ? SquareHalves::kSymmetric : SquareHalves::kLowerOnly,
                                CheckTableGrowth);
      });
    });
    const auto n = static_cast<std::int32_t>(matrix.labels.size());
    CheckSomethingToCluster(n, "object");
    CheckAgainstTheData(options_, n);
    CheckMatrixFits(n, options_.methodCode);
    status = RunOnMatrix(Cp932Texts(matrix.labels, matrix.utf8), Utf8Texts(matrix.labels, matrix.utf8),
                         std::move(matrix.values), false);
  } else if (options_.observations) {
    const bool gower = options_.metricCode == Metric::kGower;
    ObservationTable table = Phase("load", "loading", 0, [&] {
      return ReadingData(options_.dataFile, [&] {
        return ReadObservationTable(options_.dataFile, options_.tsv ? '\t' : ',', AnalysisStore::kLargestMaxObjects,
                                    CheckTableGrowth, TableHeader::kWhenNotNumbers,
                                    options_.missingPairwise || gower ? MissingValues::kKept : MissingValues::kRefused,
                                    gower ? NonNumbers::kCategories : NonNumbers::kRefused,
                                    options_.noLabels ? TableLabels::kNone : TableLabels::kFirstColumn);
      });
    });
    CheckSomethingToCluster(table.Rows(), "observation");
    if (NumbersTakenAsLabels(table)) {
      progress_.Note("cluster-analysis-batch: the first column ('" + Utf8Texts({table.corner}, table.utf8)[0] +
                     "') holds only numbers and was taken as the labels; give --no-labels if it is a coordinate");
    }
    if (LooksLikeSquareMatrix(table)) {
      progress_.Note("cluster-analysis-batch: the table looks like a square matrix of dissimilarities (as many "
                     "values as rows, a zero diagonal, symmetric); give --square instead of --observations to "
                     "cluster it as one");
    }
    if (options_.standardize) {
      for (const std::int32_t column : Standardize(table)) {
        progress_.Note("cluster-analysis-batch: coordinate column " + std::to_string(column) +
                       " is the same in every row and is left out of the standardized data");
      }
      if (table.columns == 0) {
        throw DataFailure{"every coordinate column is the same in every row: standardized, no coordinate is left "
                          "to cluster by"};
      }
    }
    CheckAgainstTheData(options_, table.Rows());
    table_ = &table;
    const bool euclidean = options_.metricCode == Metric::kEuclidean;
    const bool plainEuclidean = euclidean && !options_.missingPairwise;
    const std::vector<bool> categorical = gower ? CodeCategories(table, options_.categorical) : std::vector<bool>();
    // Decimals as written are held exactly where the metric has an exact
    // form (standardized values are not decimals any more); read only on
    // the ways that use them.
    std::optional<DecimalTable> decimals;
    const auto readDecimals = [&] {
      if (!options_.standardize && !options_.missingPairwise && HasExactDecimalForm(options_.metricCode)) {
        decimals = DecimalsOf(table.values.data(), table.values.size());
      }
    };
    if (plainEuclidean && WorkFromCoordinates(table)) {
      status = RunOnCoordinates(table);
    } else if (!plainEuclidean && options_.methodCode == kSingleLinkage && WorkFromCoordinates(table)) {
      readDecimals();
      status = RunOnSpanningTree(table, categorical, decimals ? &*decimals : nullptr);
    } else {
      CheckMatrixFits(table.Rows(), options_.methodCode,
                      !euclidean || FindMethod(options_.methodCode)->fromCoordinates || options_.matrix
                          ? ""
                          : "; only " + std::string(CoordinateMethodNamesText()) + " can work from the coordinates in less");
      readDecimals();
      // Euclidean distances are kept as their squares, as the methods on
      // squares take them.
      LowerTriangle dissimilarities = Phase(
          "distances", "distances", table.Rows(), [&] {
            if (gower) return GowerDissimilarities(table.values.data(), table.Rows(), table.columns, categorical, 1, &control_);
            if (euclidean && !options_.missingPairwise && !(decimals && SumsFit(*decimals, table.columns))) {
              return SquaredDistances(table, &progress_.Done());
            }
            return MetricDissimilarities(table.values.data(), table.Rows(), table.columns,
                                         euclidean ? Metric::kSqEuclidean : options_.metricCode, options_.minkowskiP,
                                         1, &control_, options_.missingPairwise, decimals ? &*decimals : nullptr);
          },
          ProgressLine::Measure::kTriangleRows);
      status = RunOnMatrix(table.Cp932Labels(), table.Utf8Labels(), std::move(dissimilarities), euclidean);
    }
  } else {
    FileCapture capture = LoadMatrixFile();
    if (capture.Failure) {
      progress_.End();
      std::cerr << Utf8FromCp932(CaptureFailureMessage(*capture.Failure)) << '\n';
      return kExitFailure;
    }
    CheckSomethingToCluster(static_cast<std::int64_t>(capture.Labels.size()), "object");
    CheckAgainstTheData(options_, static_cast<std::int32_t>(capture.Labels.size()));
    std::vector<std::string> utf8Labels = Utf8LabelsOf(capture.Labels);
    status = RunOnMatrix(std::move(capture.Labels), std::move(utf8Labels), std::move(capture.Values), false);
  }
  progress_.End();
  if (options_.timings) timer_.Print(std::cerr, begin_);
  return status;
}

}  // namespace

int RunBatch(const BatchOptions& options) { return BatchRun(options).Run(); }

}  // namespace cluster
