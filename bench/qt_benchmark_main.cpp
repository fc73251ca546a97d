// The main function of the benchmarks that print through Qt (link the
// qt_benchmark_main library instead of writing one): Google Benchmark runs
// inside a Qt application, offscreen unless QT_QPA_PLATFORM names another
// platform, and the program's printer is released before the application
// ends, since a Qt printer must not outlive it.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "common/printer.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  cluster::SetPrinterDeviceFactory({});
  return 0;
}
