// Printing the dendrogram of 1000 objects into a PDF file through the Qt
// printer (offscreen): the target is under 300 ms per page. The tree comes
// from a real analysis of random dissimilarities.
#include <benchmark/benchmark.h>

#include <QDir>
#include <random>

#include "common/printer.h"
#include "engine/matrix/analysis_store.h"
#include "platform/printing.h"
#include "plot/dendrogram_plot.h"

namespace {

using namespace cluster;

AnalysisStore& ThousandObjectStore() {
  static AnalysisStore store(AnalysisStore::kDesktopMaxObjects);
  return store;
}

void PrepareTree(AnalysisStore& store, std::uint8_t method) {
  std::mt19937 random(20240601);
  std::uniform_real_distribution<double> value(0.5, 100.0);
  store.ObjectCount = 1000;
  for (std::int32_t i = 1; i <= store.ObjectCount; ++i) {
    store.ObjectNames(i) = "Object " + std::to_string(i);
    for (std::int32_t j = 1; j < i; ++j) store.DistMatrix(i, j) = value(random);
  }
  store.DistType = method;
  store.PrepareClusters();
  store.Agglomerate();
}

void BM_PlotDendrogram1000ToPdf(benchmark::State& state) {
  AnalysisStore& store = ThousandObjectStore();
  PrepareTree(store, kWardMethod);
  SetUpPdfPrinting(QDir::temp().filePath("cluster_bench_dendrogram.pdf"));
  PlotDendrogram(store, "10", nullptr);  // fonts loaded once, as in a run
  for (auto _ : state) {
    PlotDendrogram(store, "10", nullptr);
  }
  store.FreeClusterTree();
}
BENCHMARK(BM_PlotDendrogram1000ToPdf)->Unit(benchmark::kMillisecond)->Iterations(20);

// With a new printer each time, as the first print of a run: the Qt printer
// and its font metrics are made afresh.
void BM_PlotDendrogram1000ToPdfNewPrinter(benchmark::State& state) {
  AnalysisStore& store = ThousandObjectStore();
  PrepareTree(store, kCentroidMethod);
  for (auto _ : state) {
    SetUpPdfPrinting(QDir::temp().filePath("cluster_bench_dendrogram_first.pdf"));
    PlotDendrogram(store, "10", nullptr);
  }
  store.FreeClusterTree();
}
BENCHMARK(BM_PlotDendrogram1000ToPdfNewPrinter)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
