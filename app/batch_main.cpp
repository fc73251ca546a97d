// cluster-analysis-batch: one analysis from the command line, no windows.
//
// It reads a data file with the data window's own loaders, captures it as
// the method buttons do, writes the output text file the desktop program
// would write, merges with the same engine (in a store of 10,000 objects),
// and can list the merges and draw the dendrogram as a picture. Messages go
// to standard error in UTF-8. Exit status: 0 success, 1 the data or a file
// failed, 2 usage.
#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/batch_options.h"
#include "app/distance_echo.h"
#include "app/merge_list.h"
#include "app/version.h"
#include "common/codepage.h"
#include "common/errors.h"
#include "common/numbers.h"
#include "common/printer.h"
#include "common/text_file.h"
#include "datawindow/csv_file.h"
#include "datawindow/data_capture.h"
#include "datawindow/data_grids.h"
#include "datawindow/native_file.h"
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

// Milliseconds of each phase that ran, in order.
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
  static long long Milliseconds(Clock::duration d) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
  }
  std::vector<std::pair<const char*, Clock::duration>> phases_;
};

void WriteTextFile(const std::string& path, const std::string& text) {
  TextFile file;
  file.SetBulkWriting(true);
  file.BindName(path);
  file.OpenForWriting();
  CheckIo();
  file.WriteTextItem(text);
  file.EndWrite();
  CheckIo();
  file.CloseTextFile();
  CheckIo();
}

// Qt's own notices (a missing runtime folder and the like) would mix with
// the program's messages and timings on standard error.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg) std::cerr << message.toStdString() << '\n';
}

void DrawPicture(AnalysisStore& store, const BatchOptions& options) {
  // The picture needs Qt's fonts, never a display.
  qInstallMessageHandler(QuietQtMessages);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "cluster-analysis-batch";
  static char* argv[] = {name, nullptr};
  static QGuiApplication application(argc, argv);
  InstallPrinterFontSubstitutions();
  TPrinter printer(std::make_unique<PicturePrinterDevice>(QStringFromPath(options.plotFile)));
  DendrogramPlot plot(printer, [&store](std::int32_t i) -> const std::string& {
    return store.ObjectNames(i);
  });
  PrinterDocumentGuard guard(printer);
  plot.Print(SourceFromStore(store), options.fontSize);
}

int RunBatch(const BatchOptions& options) {
  const auto begin = PhaseTimer::Clock::now();
  PhaseTimer timer;
  ReloadDecimalSeparator();
  DataGrids grids;
  timer.Time("load", [&] {
    if (options.csv) {
      LoadCsvFile(grids, options.dataFile, kBatchMaxObjects);
    } else {
      LoadNativeFile(grids, options.dataFile, kBatchMaxObjects);
    }
  });
  auto store = std::make_unique<AnalysisStore>(kBatchMaxObjects, AnalysisStore::WorkPages::kOrdinary);
  const std::uint8_t method = options.method == "ward" ? kWardMethod : kCentroidMethod;
  const std::optional<CaptureFailure> failure =
      timer.Time("capture", [&] { return CaptureData(grids, *store, method); });
  if (failure) {
    std::cerr << Utf8FromCp932(CaptureFailureMessage(*failure)) << '\n';
    return kExitFailure;
  }
  grids = DataGrids();  // the cells are not needed any more
  if (!options.outputFile.empty()) {
    timer.Time("echo", [&] {
      TextFile output;
      output.SetBulkWriting(true);
      output.BindName(options.outputFile);
      output.OpenForWriting();
      CheckIo();
      WriteDistanceEchoInBulk(output, *store);
      output.CloseTextFile();
      CheckIo();
    });
  }
  timer.Time("prepare", [&] { store->PrepareClusters(); });
  timer.Time("agglomerate", [&] { store->Agglomerate(); });
  if (!options.mergesFile.empty()) {
    const std::string merges = MergeListText(*store);
    if (options.mergesFile == "-") {
      std::cout << merges << std::flush;
    } else {
      WriteTextFile(options.mergesFile, merges);
    }
  }
  if (!options.plotFile.empty()) timer.Time("plot", [&] { DrawPicture(*store, options); });
  store->FreeClusterTree();
  if (options.timings) timer.Print(std::cerr, begin);
  return 0;
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
  try {
    return RunBatch(*options);
  } catch (const Exception& failure) {
    std::cerr << Utf8FromCp932(failure.Message()) << '\n';
  } catch (const std::bad_alloc&) {
    std::cerr << "not enough memory\n";
  }
  return kExitFailure;
}
