#include "batch/batch_run.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "batch/batch_outputs.h"
#include "datafiles/distance_echo.h"
#include "batch/memory_budget.h"
#include "datafiles/observation_table.h"
#include "batch/phase_timer.h"
#include "batch/progress_line.h"
#include "batch/text_outputs.h"
#include "common/codepage.h"
#include "common/errors.h"
#include "common/numbers.h"
#include "common/printer.h"
#include "common/text_file.h"
#include "desktop/datawindow/data_capture.h"
#include "datafiles/file_capture.h"
#include "engine/matrix/analysis_store.h"
#include "engine/coordinates/coordinate_clustering.h"
#include "engine/matrix/working_memory.h"
#include "platform/picture_printer_device.h"
#include "platform/qt_text.h"
#include "plot/dendrogram_plot.h"

namespace cluster {

namespace {

constexpr int kExitFailure = 1;

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

// Refuses a table's values that would not fit as they grow.
void WeighTableGrowth(std::uint64_t bytes) {
  const MemoryLimit usable = UsableMemory();
  if (bytes > usable.bytes) {
    throw MemoryFailure{"the table's values need another " + MemoryText(bytes) + " as it is read, and " +
                        MemoryText(usable.bytes) + " is what " + usable.what + " leaves"};
  }
}

// Labels of a data file in UTF-8: they are taken as UTF-8 when every one
// of them is valid UTF-8 (ASCII labels read the same either way), else as
// code page 932.
std::vector<std::string> Utf8LabelsOf(const std::vector<std::string>& labels) {
  const bool utf8 = std::all_of(labels.begin(), labels.end(), [](const std::string& l) { return IsValidUtf8(l); });
  return Utf8Texts(labels, utf8);
}

// Refuses a matrix of `objects` objects that would not fit.
void CheckMatrixFits(std::int64_t objects, std::uint8_t method, const std::string& extra = "") {
  const std::uint64_t needed = MatrixRunBytes(objects, method);
  const MemoryLimit usable = UsableMemory();
  if (needed > usable.bytes) {
    throw MemoryFailure{"the dissimilarity matrix of " + std::to_string(objects) + " objects needs about " +
                        MemoryText(needed) + ", and " + MemoryText(usable.bytes) + " is what " + usable.what +
                        " leaves" + extra};
  }
}

// The checks of the command line that need the data.
void CheckAgainstTheData(const BatchOptions& options, std::int32_t objects) {
  if (options.cutGroups && *options.cutGroups > objects) {
    throw UsageFailure{"--cut " + std::to_string(*options.cutGroups) + " asks for more groups than the " +
                       std::to_string(objects) + " objects"};
  }
}

Real CutHeightOf(const BatchOptions& options) {
  try {
    return TextToReal(*options.cutHeight);
  } catch (const EConvertError&) {
    throw UsageFailure{"--cut-height takes a number, not '" + *options.cutHeight + "'"};
  }
}

// Every text output, made before any is written: an output that cannot be
// made (a height with no root in SciPy's units) leaves all of them unwritten.
// `pairsDone` counts the rows of the cophenetic correlation's pairs.
std::vector<std::pair<std::string, std::string>> TextOutputs(const BatchOptions& options, const FinishedTree& tree,
                                                             const std::vector<std::string>& labels,
                                                             std::atomic<std::int64_t>* pairsDone) {
  std::vector<std::pair<std::string, std::string>> outputs;
  const auto add = [&](const std::string& path, auto make) {
    if (path.empty()) return;
    try {
      outputs.emplace_back(path, make());
    } catch (const ENoSciPyHeight& failure) {
      throw FileFailure{OutputName(path), failure.Message()};
    }
  };
  add(options.mergesFile, [&] { return MergeListText(tree); });
  add(options.linkageFile, [&] { return LinkageText(tree); });
  add(options.newickFile, [&] { return NewickText(tree, labels); });
  add(options.groupsFile, [&] {
    const std::vector<std::int32_t> groups =
        options.cutGroups ? GroupsOfCut(tree, *options.cutGroups) : GroupsBelowHeight(tree, CutHeightOf(options));
    return GroupsText(labels, groups);
  });
  add(options.copheneticFile, [&] { return CopheneticText(tree, pairsDone); });
  return outputs;
}

// One run: its options, the phases' timer and the progress report.
class BatchRun {
 public:
  explicit BatchRun(const BatchOptions& options)
      : options_(options),
        progress_(!options.quiet && (options.progress || ProgressReport::StandardErrorIsTerminal())) {}

  int Run();

 private:
  template <typename Work>
  auto Phase(const char* timing, const std::string& shown, std::int64_t total, Work work,
             ProgressReport::Measure measure = ProgressReport::Measure::kUnits) {
    progress_.Begin(shown, total, measure);
    return timer_.Time(timing, work);
  }
  int RunOnMatrix(std::vector<std::string> labels, std::vector<std::string> utf8Labels, LowerTriangle values,
                  bool squares);
  int RunOnCoordinates(const ObservationTable& table);
  bool WorkFromCoordinates(const ObservationTable& table) const;
  FileCapture LoadMatrixFile();
  void WriteOutputs(FinishedTree tree, const std::vector<std::string>& utf8Labels);
  void WriteEcho(const EchoSource& source);
  QByteArray DrawPicture(const FinishedTree& tree, const std::vector<std::string>& utf8Labels);

  const BatchOptions& options_;
  PhaseTimer timer_;
  const PhaseTimer::Clock::time_point begin_ = PhaseTimer::Clock::now();
  ProgressReport progress_;
};

// The dendrogram as the picture file's bytes, its labels in UTF-8 (the
// picture draws any character, not only code page 932's). The Qt
// application object (an offscreen one) must exist.
QByteArray BatchRun::DrawPicture(const FinishedTree& tree, const std::vector<std::string>& utf8Labels) {
  const auto format = PicturePrinterDevice::FormatOf(QStringFromPath(options_.plotFile));
  auto device = std::make_unique<PicturePrinterDevice>(format.value_or(PictureFormat::Png));
  PicturePrinterDevice& picture = *device;
  TPrinter printer(std::move(device));
  const auto name = [&utf8Labels](std::int32_t i) -> const std::string& {
    return utf8Labels.at(static_cast<std::size_t>(i - 1));
  };
  DendrogramPlot plot(printer, name);
  plot.SetFractionalUnits(true);
  DendrogramSource source;
  source.ObjectCount = tree.objects;
  source.DistType = tree.method;
  source.Caption = AnyMethodCaption(tree.method) + (tree.scipyUnits ? " (SciPy units)" : "");
  source.Root = tree.root;
  source.ObjectName = name;
  plot.Print(source, options_.fontSize);
  return picture.Picture(plot.HeadingBottom());
}

// The echo of the data in the output text file, when one is named.
void BatchRun::WriteEcho(const EchoSource& source) {
  if (options_.outputFile.empty()) return;
  Phase("echo", "writing", 0, [&] {
    WritingOutput(options_.outputFile, [&] {
      TextFile output;
      BindOutput(output, options_.outputFile);
      output.OpenForWriting();
      CheckIo();
      WriteDistanceEchoInBulk(output, source);
      output.CloseTextFile();
      CheckIo();
    });
  });
}

// The outputs of a finished tree: the texts (all made before any is
// written), then the picture.
void BatchRun::WriteOutputs(FinishedTree tree, const std::vector<std::string>& utf8Labels) {
  const std::int32_t n = tree.objects;
  const auto texts = Phase(
      "outputs", "writing", n,
      [&] {
        if (options_.scipyUnits) ToSciPyUnits(tree);
        return TextOutputs(options_, tree, utf8Labels, &progress_.Done());
      },
      ProgressReport::Measure::kTriangleRows);
  for (const auto& output : texts) {
    WritingOutput(output.first, [&] { WriteOutput(output.first, output.second); });
  }
  if (options_.plotFile.empty()) return;
  Phase("plot", "drawing", 0, [&] {
    WritingOutput(options_.plotFile, [&] {
      const QByteArray picture = DrawPicture(tree, utf8Labels);
      WriteOutput(options_.plotFile, std::string_view(picture.constData(), static_cast<std::size_t>(picture.size())));
    });
  });
}

// Observations are clustered from their coordinates when asked
// (--memory-saving), or by default when their matrix would not fit the
// memory available and the method can (single, median, centroid, ward).
bool BatchRun::WorkFromCoordinates(const ObservationTable& table) const {
  if (options_.memorySaving) return true;
  if (options_.matrix || !MethodScales(options_.methodCode)) return false;
  return MatrixRunBytes(table.Rows(), options_.methodCode) > UsableMemory().bytes;
}

int BatchRun::RunOnCoordinates(const ObservationTable& table) {
  const std::int32_t n = table.Rows();
  const std::uint64_t needed = CoordinateRunBytes(n, table.columns);
  const MemoryLimit usable = UsableMemory();
  if (needed > usable.bytes) {
    throw MemoryFailure{std::to_string(n) + " observations need about " + MemoryText(needed) + " even without their matrix, and " +
                        MemoryText(usable.bytes) + " is what " + usable.what + " leaves"};
  }
  // The echo comes first, as on the matrix: it shows the data even when
  // the run goes no further.
  const auto distance = [&table](std::int32_t i, std::int32_t j) {
    return std::sqrt(SquaredDistance(table, i - 1, j - 1));
  };
  const std::vector<std::string> labels = table.Cp932Labels();
  EchoSource echo;
  echo.objects = n;
  echo.label = [&labels](std::int32_t i) -> const std::string& { return labels[static_cast<std::size_t>(i - 1)]; };
  echo.dissimilarity = distance;
  WriteEcho(echo);
  const std::vector<CoordinateMerge> merges = Phase("agglomerate", "merging", 1000, [&] {
    return ClusterCoordinates(table.values.data(), n, table.columns, options_.methodCode, [this](double done) {
      progress_.Done().store(static_cast<std::int64_t>(done * 1000), std::memory_order_relaxed);
    });
  });
  // The tree of the merges, objects 1..n and merges n + 1..2n - 1 by id.
  std::vector<TClusterNode> nodes(2 * static_cast<std::size_t>(n));
  for (std::int32_t id = 1; id <= n; ++id) nodes[static_cast<std::size_t>(id)].Id = id;
  for (const CoordinateMerge& merge : merges) {
    TClusterNode& node = nodes[static_cast<std::size_t>(merge.id)];
    node.Id = merge.id;
    node.Left = &nodes[static_cast<std::size_t>(merge.left)];
    node.Right = &nodes[static_cast<std::size_t>(merge.right)];
    node.Height = merge.height;
    node.Members = merge.members;
  }
  FinishedTree tree;
  tree.method = options_.methodCode;
  tree.objects = n;
  tree.root = &nodes[2 * static_cast<std::size_t>(n) - 1];
  tree.dissimilarity = distance;
  WriteOutputs(tree, table.Utf8Labels());
  return 0;
}

int BatchRun::RunOnMatrix(std::vector<std::string> labels, std::vector<std::string> utf8Labels, LowerTriangle values,
                          bool squares) {
  const auto n = static_cast<std::int32_t>(labels.size());
  // The store holds exactly the objects read, and takes their values over.
  AnalysisStore store(std::move(labels), std::move(values), WorkingMemory(std::max(n, 1), WorkPages::kOrdinary));
  store.AcceptEveryMethod();
  store.DistType = options_.methodCode;
  store.DistancesAreSquares = squares;
  WriteEcho(EchoSourceOf(store));
  // The merges are counted; single linkage's whole run, made in its
  // set-up, counts the rows of its pass instead.
  store.ReportMergesTo(&progress_.Done());
  const bool single = options_.methodCode == kSingleLinkage;
  Phase(
      "prepare", "merging", single ? n : std::max(n - 1, 0), [&] { store.PrepareWholeRun(); },
      single ? ProgressReport::Measure::kTriangleRows : ProgressReport::Measure::kMerges);
  timer_.Time("agglomerate", [&] { store.Agglomerate(); });
  store.ReportMergesTo(nullptr);
  WriteOutputs(TreeOf(store), utf8Labels);
  store.FreeClusterTree();
  return 0;
}

// Reads a native or CSV file, refused at once when its declared count's
// matrix would not fit.
FileCapture BatchRun::LoadMatrixFile() {
  CaptureWatch watch;
  watch.beforeReading = [&](std::int32_t declared) {
    CheckMatrixFits(declared, options_.methodCode);
    progress_.Begin("loading", declared, ProgressReport::Measure::kTriangleRows);
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
  if (options_.observations) {
    ObservationTable table = Phase("load", "loading", 0, [&] {
      return ReadingData(options_.dataFile, [&] {
        return ReadObservationTable(options_.dataFile, options_.tsv ? '\t' : ',', AnalysisStore::kLargestMaxObjects,
                                    WeighTableGrowth);
      });
    });
    CheckSomethingToCluster(table.Rows(), "observation");
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
    if (WorkFromCoordinates(table)) {
      status = RunOnCoordinates(table);
    } else {
      CheckMatrixFits(table.Rows(), options_.methodCode, MethodScales(options_.methodCode) || options_.matrix
                                        ? ""
                                        : "; only single, median, centroid and ward can work from the "
                                          "coordinates in less");
      LowerTriangle squares =
          Phase(
            "distances", "distances", table.Rows(), [&] { return SquaredDistances(table, &progress_.Done()); },
            ProgressReport::Measure::kTriangleRows);
      status = RunOnMatrix(table.Cp932Labels(), table.Utf8Labels(), std::move(squares), true);
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
