// A whole run of 1000 objects after the data window's method button: the
// capture of the grids, the output file's echo, the engine and the
// dendrogram printed to a PDF file. The target is under one second.
#include <benchmark/benchmark.h>

#include <QDir>
#include <array>
#include <cmath>
#include <random>

#include "datafiles/distance_echo.h"
#include "common/numbers.h"
#include "common/printer.h"
#include "common/text_file.h"
#include "desktop/datawindow/data_capture.h"
#include "desktop/datawindow/data_grids.h"
#include "engine/matrix/analysis_store.h"
#include "platform/printing.h"
#include "plot/dendrogram_plot.h"

namespace {

using namespace cluster;

constexpr std::int32_t kObjects = 1000;

// Grids as the user leaves them: labels, and random distances between
// points in three dimensions, as the texts a user would type.
DataGrids ThousandObjectGrids() {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> coordinate(0.0, 100.0);
  std::vector<std::array<double, 3>> points(kObjects + 1);
  for (auto& p : points) p = {coordinate(random), coordinate(random), coordinate(random)};
  DataGrids grids;
  grids.Labels.SetRowCount(kObjects + 1);
  grids.Matrix.SetColCount(kObjects + 1);
  grids.Matrix.SetRowCount(kObjects + 1);
  for (std::int32_t i = 1; i <= kObjects; ++i) {
    grids.Labels.SetCell(1, i, "Object " + std::to_string(i));
    for (std::int32_t j = 1; j < i; ++j) {
      const double dx = points[i][0] - points[j][0], dy = points[i][1] - points[j][1],
                   dz = points[i][2] - points[j][2];
      grids.Matrix.SetCell(j, i, RealToText(std::sqrt(dx * dx + dy * dy + dz * dz), RealFormat::General, 7, 1));
    }
  }
  return grids;
}

void RunAnalysis(const DataGrids& grids, AnalysisStore& store, std::uint8_t method,
                 const std::string& outputPath) {
  if (CaptureData(grids, store, method)) throw Exception("capture failed");
  TextFile output;
  output.BindName(outputPath);
  output.OpenForWriting();
  CheckIo();
  WriteDistanceEcho(output, store);
  store.PrepareClusters();
  store.Agglomerate();
  PlotDendrogram(store, "12", nullptr);
  store.FreeClusterTree();
  output.CloseTextFile();
  CheckIo();
}

void BM_WholeRun1000(benchmark::State& state) {
  SetDecimalSeparator('.');
  const auto method = static_cast<std::uint8_t>(state.range(0));
  const DataGrids grids = ThousandObjectGrids();
  AnalysisStore store(AnalysisStore::kDesktopMaxObjects);
  const std::string output = QDir::temp().filePath("cluster_bench_run.txt").toStdString();
  for (auto _ : state) {
    // A run prints on the printer it finds, made afresh as in a new program.
    SetUpPdfPrinting(QDir::temp().filePath("cluster_bench_run.pdf"));
    RunAnalysis(grids, store, method, output);
  }
}
BENCHMARK(BM_WholeRun1000)->Arg(kWardMethod)->Arg(kCentroidMethod)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
