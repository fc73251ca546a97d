// The data window's operations on a full grid of 1000 objects: loading and
// saving both file formats, the capture, Add and Delete. Each must stay
// well under 200 ms.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/codepage.h"
#include "common/text_file.h"
#include "datawindow/csv_file.h"
#include "datawindow/data_capture.h"
#include "datawindow/grid_editing.h"
#include "datawindow/native_file.h"
#include "engine/cluster_types.h"

namespace cluster {
namespace {

constexpr std::int32_t kObjects = 1000;

// Grids of n objects with Japanese labels and numbers in every data cell,
// built through the operations the window offers (a load).
void FillFullGrids(DataGrids& grids, std::int32_t n, const std::string& scratch) {
  {
    TextFile file;
    file.BindName(scratch);
    file.OpenForWriting();
    file.WriteIntegerItem(n);
    file.WriteLineEnd();
    const std::string label = Cp932FromUtf8("都市");
    for (std::int32_t i = 1; i <= n; ++i) {
      file.WriteTextItem(label + std::to_string(i));
      file.WriteLineEnd();
    }
    for (std::int32_t i = 2; i <= n; ++i) {
      for (std::int32_t j = 1; j < i; ++j) {
        file.WriteTextItem(std::to_string((i * 31 + j * 17) % 997) + ".25");
        file.WriteLineEnd();
      }
    }
    file.CloseTextFile();
    CheckIo();
  }
  LoadNativeFile(grids, scratch);
}

std::string ScratchPath(const char* name) {
  return (std::filesystem::temp_directory_path() / (std::string("bench-datawindow-") + name)).string();
}

void BM_SaveNative(benchmark::State& state) {
  DataGrids grids;
  const std::string path = ScratchPath("save.txt");
  FillFullGrids(grids, kObjects, path);
  for (auto _ : state) SaveNativeFile(grids, path);
  std::filesystem::remove(path);
}
BENCHMARK(BM_SaveNative)->Unit(benchmark::kMillisecond);

void BM_LoadNative(benchmark::State& state) {
  DataGrids grids;
  const std::string path = ScratchPath("load.txt");
  FillFullGrids(grids, kObjects, path);
  for (auto _ : state) {
    DataGrids loaded;
    SetInitialState(loaded);
    LoadNativeFile(loaded, path);
    benchmark::DoNotOptimize(loaded.Matrix.Cell(1, kObjects));
  }
  std::filesystem::remove(path);
}
BENCHMARK(BM_LoadNative)->Unit(benchmark::kMillisecond);

void BM_SaveCsv(benchmark::State& state) {
  DataGrids grids;
  const std::string path = ScratchPath("save.csv");
  FillFullGrids(grids, kObjects, path);
  for (auto _ : state) SaveCsvFile(grids, path);
  std::filesystem::remove(path);
}
BENCHMARK(BM_SaveCsv)->Unit(benchmark::kMillisecond);

void BM_LoadCsv(benchmark::State& state) {
  DataGrids grids;
  const std::string path = ScratchPath("load.csv");
  FillFullGrids(grids, kObjects, path);
  SaveCsvFile(grids, path);
  for (auto _ : state) {
    DataGrids loaded;
    SetInitialState(loaded);
    LoadCsvFile(loaded, path);
    benchmark::DoNotOptimize(loaded.Matrix.Cell(1, kObjects));
  }
  std::filesystem::remove(path);
}
BENCHMARK(BM_LoadCsv)->Unit(benchmark::kMillisecond);

void BM_Capture(benchmark::State& state) {
  DataGrids grids;
  const std::string path = ScratchPath("capture.txt");
  FillFullGrids(grids, kObjects, path);
  std::filesystem::remove(path);
  AnalysisStore store(kObjects);
  for (auto _ : state) {
    const auto failure = CaptureData(grids, store, kWardMethod);
    if (failure) state.SkipWithError("a cell did not convert");
  }
}
BENCHMARK(BM_Capture)->Unit(benchmark::kMillisecond);

// Add at the first object of 999 (every row and column moves), then Delete
// it again, each timed on its own.
void BM_AddFirstOf999(benchmark::State& state) {
  DataGrids grids;
  const std::string path = ScratchPath("add.txt");
  FillFullGrids(grids, kObjects - 1, path);
  std::filesystem::remove(path);
  for (auto _ : state) {
    grids.Matrix.SetCurrentCell(1, 1);
    AddObject(grids);
    state.PauseTiming();
    grids.Matrix.SetCurrentCell(1, 2);
    DeleteObject(grids);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_AddFirstOf999)->Unit(benchmark::kMillisecond);

void BM_DeleteFirstOf1000(benchmark::State& state) {
  DataGrids grids;
  const std::string path = ScratchPath("delete.txt");
  FillFullGrids(grids, kObjects, path);
  std::filesystem::remove(path);
  for (auto _ : state) {
    grids.Matrix.SetCurrentCell(1, 1);
    DeleteObject(grids);
    state.PauseTiming();
    AddObject(grids);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_DeleteFirstOf1000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace cluster

BENCHMARK_MAIN();
