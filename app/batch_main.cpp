// cluster-analysis-batch: one analysis from the command line, no windows.
//
// It reads a data file with the data window's reading rules straight into
// an analysis store sized to the objects read, writes the output text file
// the desktop program would write, merges with the same engine, and can list
// the merges and draw the dendrogram as a picture. Every output is checked
// to its last byte and its close, and none may be the data file. Messages go
// to standard error in UTF-8. Exit status: 0 success, 1 the data or a file
// failed, 2 usage.
#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <exception>
#include <iostream>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "app/batch_options.h"
#include "app/batch_outputs.h"
#include "app/distance_echo.h"
#include "app/observation_table.h"
#include "app/tree_outputs.h"
#include "app/version.h"
#include "common/codepage.h"
#include "common/errors.h"
#include "common/numbers.h"
#include "common/printer.h"
#include "common/text_file.h"
#include "datawindow/data_capture.h"
#include "datawindow/file_capture.h"
#include "engine/analysis_store.h"
#include "platform/picture_printer_device.h"
#include "platform/printing.h"
#include "platform/qt_text.h"
#include "plot/dendrogram_plot.h"

namespace cluster {
namespace {

constexpr std::int32_t kBatchMaxObjects = 10000;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// Milliseconds of each phase that ran, in order, to the microsecond: the
// engine's phases at 1000 objects take a few milliseconds each.
class PhaseTimer {
 public:
  using Clock = std::chrono::steady_clock;

  template <typename Work>
  auto Time(const char* phase, Work work) {
    const auto start = Clock::now();
    struct Record {
      PhaseTimer* timer;
      const char* phase;
      Clock::time_point start;
      ~Record() { timer->phases_.emplace_back(phase, Clock::now() - start); }
    } record{this, phase, start};
    return work();
  }
  void Print(std::ostream& out, Clock::time_point begin) const {
    for (const auto& [phase, elapsed] : phases_) out << phase << '\t' << Milliseconds(elapsed) << '\n';
    out << "total\t" << Milliseconds(Clock::now() - begin) << '\n';
  }

 private:
  static std::string Milliseconds(Clock::duration d) {
    const auto microseconds = std::chrono::duration_cast<std::chrono::microseconds>(d).count();
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%03lld", static_cast<long long>(microseconds / 1000),
                  static_cast<long long>(microseconds % 1000));
    return text;
  }
  std::vector<std::pair<const char*, Clock::duration>> phases_;
};

// A failure of one output file, reported with the file's name.
struct OutputFailure {
  std::string name;     // UTF-8
  std::string message;  // code page 932
};

// Runs the writing of one output; whatever stops it is reported with the
// output's name.
template <typename Write>
void WritingOutput(const std::string& path, Write write) {
  try {
    write();
  } catch (const Exception& failure) {
    throw OutputFailure{OutputName(path), failure.Message()};
  }
}

// Qt's own notices (a missing runtime folder and the like) would mix with
// the program's messages and timings on standard error.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg) std::cerr << message.toStdString() << '\n';
}

// The dendrogram as the picture file's bytes. The Qt application object
// (an offscreen one) must exist.
QByteArray DrawPicture(AnalysisStore& store, const BatchOptions& options) {
  const auto format = PicturePrinterDevice::FormatOf(QStringFromPath(options.plotFile));
  auto device = std::make_unique<PicturePrinterDevice>(format.value_or(PictureFormat::Png));
  PicturePrinterDevice& picture = *device;
  TPrinter printer(std::move(device));
  DendrogramPlot plot(printer, [&store](std::int32_t i) -> const std::string& {
    return store.ObjectNames(i);
  });
  plot.Print(SourceFromStore(store), options.fontSize);
  return picture.Picture(plot.HeadingBottom());
}

// A usage error found once the data are read (a cut into more groups than
// there are objects): reported like the others, before any output.
struct UsageFailure {
  std::string message;
};

// What the tool analyses: the labels in code page 932 (the store, the echo,
// the picture) and in UTF-8 (the outputs for other tools), and the values.
struct LoadedData {
  std::vector<std::string> labels;
  std::vector<std::string> utf8Labels;
  LowerTriangle values;
  bool squares = false;  // values are squared distances
  std::optional<CaptureFailure> failure;
};

// Labels of a data file in code page 932, or in UTF-8 when every one of
// them is valid UTF-8 (ASCII labels read the same either way).
std::vector<std::string> Utf8LabelsOf(const std::vector<std::string>& labels) {
  const bool utf8 = std::all_of(labels.begin(), labels.end(), [](const std::string& l) { return IsValidUtf8(l); });
  if (utf8) return labels;
  std::vector<std::string> converted;
  for (const std::string& label : labels) converted.push_back(Utf8FromCp932(label));
  return converted;
}

LoadedData LoadData(const BatchOptions& options, PhaseTimer& timer) {
  LoadedData data;
  if (options.observations) {
    ObservationTable table = timer.Time("load", [&] {
      return ReadObservationTable(options.dataFile, options.tsv ? '\t' : ',', kBatchMaxObjects);
    });
    if (options.standardize) {
      for (const std::int32_t column : Standardize(table)) {
        std::cerr << "cluster-analysis-batch: coordinate column " << column
                  << " is the same in every row and is left out of the standardized data\n";
      }
    }
    data.labels = table.Cp932Labels();
    data.utf8Labels = table.Utf8Labels();
    data.values = timer.Time("distances", [&] { return SquaredDistances(table); });
    data.squares = true;
    return data;
  }
  FileCapture capture = timer.Time("load", [&] {
    return options.csv ? CaptureCsvFile(options.dataFile, kBatchMaxObjects)
                       : CaptureNativeFile(options.dataFile, kBatchMaxObjects);
  });
  data.failure = std::move(capture.Failure);
  data.utf8Labels = Utf8LabelsOf(capture.Labels);
  data.labels = std::move(capture.Labels);
  data.values = std::move(capture.Values);
  return data;
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
std::vector<std::pair<std::string, std::string>> TextOutputs(const BatchOptions& options, const AnalysisStore& store,
                                                             const std::vector<std::string>& labels) {
  std::vector<std::pair<std::string, std::string>> outputs;
  const auto add = [&](const std::string& path, auto make) {
    if (path.empty()) return;
    try {
      outputs.emplace_back(path, make());
    } catch (const ENoSciPyHeight& failure) {
      throw OutputFailure{OutputName(path), failure.Message()};
    }
  };
  add(options.mergesFile, [&] { return MergeListText(store); });
  add(options.linkageFile, [&] { return LinkageText(store); });
  add(options.newickFile, [&] { return NewickText(store, labels); });
  add(options.groupsFile, [&] {
    const std::vector<std::int32_t> groups =
        options.cutGroups ? GroupsOfCut(store, *options.cutGroups) : GroupsBelowHeight(store, CutHeightOf(options));
    return GroupsText(labels, groups);
  });
  add(options.copheneticFile, [&] { return CopheneticText(store); });
  return outputs;
}

int RunBatch(const BatchOptions& options) {
  const auto begin = PhaseTimer::Clock::now();
  PhaseTimer timer;
  ReloadDecimalSeparator();
  if (options.cutHeight) CutHeightOf(options);
  LoadedData data = LoadData(options, timer);
  if (data.failure) {
    std::cerr << Utf8FromCp932(CaptureFailureMessage(*data.failure)) << '\n';
    return kExitFailure;
  }
  CheckAgainstTheData(options, static_cast<std::int32_t>(data.labels.size()));
  // The store holds exactly the objects read, and takes their values over.
  AnalysisStore store(std::move(data.labels), std::move(data.values), AnalysisStore::WorkPages::kOrdinary);
  store.DistType = options.methodCode;
  store.DistancesAreSquares = data.squares;
  if (!options.outputFile.empty()) {
    timer.Time("echo", [&] {
      WritingOutput(options.outputFile, [&] {
        TextFile output;
        BindOutput(output, options.outputFile);
        output.OpenForWriting();
        CheckIo();
        WriteDistanceEchoInBulk(output, store);
        output.CloseTextFile();
        CheckIo();
      });
    });
  }
  timer.Time("prepare", [&] { store.PrepareClusters(); });
  timer.Time("agglomerate", [&] { store.Agglomerate(); });
  const auto texts = TextOutputs(options, store, data.utf8Labels);
  for (const auto& [path, text] : texts) {
    WritingOutput(path, [&] { WriteOutput(path, text); });
  }
  if (!options.plotFile.empty()) {
    timer.Time("plot", [&] {
      WritingOutput(options.plotFile, [&] {
        const QByteArray picture = DrawPicture(store, options);
        WriteOutput(options.plotFile, std::string_view(picture.constData(), static_cast<std::size_t>(picture.size())));
      });
    });
  }
  store.FreeClusterTree();
  if (options.timings) timer.Print(std::cerr, begin);
  return 0;
}

std::vector<NamedOutput> OutputsOf(const BatchOptions& options) {
  std::vector<NamedOutput> outputs;
  const std::pair<const char*, const std::string*> all[] = {
      {"--output", &options.outputFile},   {"--merges", &options.mergesFile}, {"--linkage", &options.linkageFile},
      {"--newick", &options.newickFile},   {"--groups", &options.groupsFile}, {"--cophenetic", &options.copheneticFile},
      {"--plot", &options.plotFile}};
  for (const auto& [option, path] : all) {
    if (!path->empty()) outputs.push_back({option, *path});
  }
  return outputs;
}

}  // namespace
}  // namespace cluster

int main(int argc, char* argv[]) {
  using namespace cluster;
  std::string error;
  const std::optional<BatchOptions> options =
      ParseBatchOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) {
    std::cerr << "cluster-analysis-batch: " << error << "\n\n" << BatchUsage();
    return kExitUsage;
  }
  if (options->help) {
    std::cout << BatchUsage();
    return 0;
  }
  if (options->version) {
    std::cout << "cluster-analysis-batch " CLUSTER_ANALYSIS_VERSION "\n";
    return 0;
  }
  if (const auto conflict = OutputConflict(options->dataFile, OutputsOf(*options))) {
    std::cerr << "cluster-analysis-batch: " << *conflict << '\n';
    return kExitUsage;
  }
  // A reader that goes away is a write failure like any other, reported
  // and exited with 1, not a silent end by signal.
  std::signal(SIGPIPE, SIG_IGN);
  try {
    // The picture needs Qt's fonts, never a display; the application object
    // lives exactly as long as the run.
    std::optional<QGuiApplication> application;
    if (!options->plotFile.empty()) {
      qInstallMessageHandler(QuietQtMessages);
      qputenv("QT_QPA_PLATFORM", "offscreen");
      application.emplace(argc, argv);
      InstallPrinterFontSubstitutions();
    }
    return RunBatch(*options);
  } catch (const UsageFailure& failure) {
    std::cerr << "cluster-analysis-batch: " << failure.message << "\n\n" << BatchUsage();
    return kExitUsage;
  } catch (const OutputFailure& failure) {
    std::cerr << failure.name << ": " << Utf8FromCp932(failure.message) << '\n';
  } catch (const Exception& failure) {
    std::cerr << Utf8FromCp932(failure.Message()) << '\n';
  } catch (const std::bad_alloc&) {
    std::cerr << "not enough memory\n";
  } catch (const std::exception& failure) {
    std::cerr << "cluster-analysis-batch: " << failure.what() << '\n';
  } catch (...) {
    std::cerr << "cluster-analysis-batch: unexpected failure\n";
  }
  return kExitFailure;
}
