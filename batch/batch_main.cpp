// cluster-analysis-batch: one analysis from the command line, no windows.
//
// main() parses the command line, refuses outputs that are the data file or
// each other, makes the offscreen Qt application a picture needs, runs the
// analysis (batch_run.h) and turns every failure into its message on
// standard error, in UTF-8, and the exit status: 0 success, 1 the data or a
// file failed, 2 usage.
#include <QGuiApplication>
#include <csignal>
#include <exception>
#include <iostream>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "batch/batch_options.h"
#include "batch/batch_outputs.h"
#include "batch/batch_run.h"
#include "batch/version.h"
#include "common/codepage.h"
#include "common/errors.h"
#include "engine/memory_budget.h"
#include "engine/metrics.h"
#include "platform/printing.h"

namespace cluster {
namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// Qt's own notices (a missing runtime folder and the like) would mix with
// the program's messages and timings on standard error.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg) std::cerr << message.toStdString() << '\n';
}

std::vector<NamedOutput> OutputsOf(const BatchOptions& options) {
  std::vector<NamedOutput> outputs;
  for (const OutputInfo& info : kOutputs) {
    const std::string& path = options.File(info.output);
    if (!path.empty()) outputs.push_back({std::string(info.option), path});
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
  if (options->help || options->version) {
    // Written and checked as every output is: a full disk or a closed pipe
    // is a failure, not a silent success.
    std::signal(SIGPIPE, SIG_IGN);
    try {
      WriteOutput("-", options->help ? std::string(BatchUsage())
                                     : std::string("cluster-analysis-batch " CLUSTER_ANALYSIS_VERSION "\n"));
    } catch (const Exception& failure) {
      std::cerr << "standard output: " << Utf8FromCp932(FailureMessage(failure)) << '\n';
      return kExitFailure;
    }
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
    // The pictures need Qt's fonts, never a display; the application object
    // lives exactly as long as the run.
    std::optional<QGuiApplication> application;
    if (!options->File(Output::kPicture).empty() || !options->File(Output::kHeatmap).empty()) {
      qInstallMessageHandler(QuietQtMessages);
      qputenv("QT_QPA_PLATFORM", "offscreen");
      application.emplace(argc, argv);
      InstallPrinterFontSubstitutions();
    }
    return RunBatch(*options);
  } catch (const EMemoryRefused& failure) {
    std::cerr << "cluster-analysis-batch: " << failure.Message() << '\n';
  } catch (const DataFailure& failure) {
    std::cerr << "cluster-analysis-batch: " << failure.message << '\n';
  } catch (const UsageFailure& failure) {
    std::cerr << "cluster-analysis-batch: " << failure.message << "\n\n" << BatchUsage();
    return kExitUsage;
  } catch (const EUndefinedDissimilarity& failure) {
    std::cerr << "cluster-analysis-batch: " << failure.Message() << '\n';
  } catch (const FileFailure& failure) {
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
