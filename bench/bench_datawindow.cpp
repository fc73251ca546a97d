// The data window's operations on a full grid of 1000 objects: loading and
// saving both file formats, the capture, Add and Delete. Each must stay
// well under 200 ms.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/codepage.h"
#include "common/text_file.h"
#include "desktop/datawindow/csv_file.h"
#include "desktop/datawindow/data_capture.h"
#include "desktop/datawindow/grid_editing.h"
#include "desktop/datawindow/native_file.h"
#include "engine/cluster_types.h"

namespace cluster {
namespace {

constexpr std::int32_t kObjects = 1000;

// A file of the temporary folder, removed when this object goes.
class ScratchFile {
 public:
  explicit ScratchFile(const char* name)
      : path_((std::filesystem::temp_directory_path() / (std::string("bench-datawindow-") + name)).string()) {}
  ~ScratchFile() { std::filesystem::remove(path_); }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// Grids of n objects with Japanese labels and numbers in every data cell,
// built through the operations the window offers (a load of a native file
// written here).
DataGrids FullGrids(std::int32_t n) {
  const ScratchFile scratch("grids.txt");
  {
    TextFile file;
    file.BindName(scratch.Path());
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
  DataGrids grids;
  LoadNativeFile(grids, scratch.Path());
  return grids;
}

using SaveFile = void (*)(const DataGrids&, const std::string&);
using LoadFile = void (*)(DataGrids&, const std::string&, std::int32_t);

// Saving the full grids in one format, again and again over one file.
void TimeSaving(benchmark::State& state, SaveFile save, const char* scratchName) {
  const DataGrids grids = FullGrids(kObjects);
  const ScratchFile file(scratchName);
  for (auto _ : state) save(grids, file.Path());
}

// Loading a file of the full grids in one format into the grids of a new
// window.
void TimeLoading(benchmark::State& state, SaveFile save, LoadFile load, const char* scratchName) {
  const ScratchFile file(scratchName);
  save(FullGrids(kObjects), file.Path());
  for (auto _ : state) {
    DataGrids loaded;
    SetInitialState(loaded);
    load(loaded, file.Path(), AnalysisStore::kDesktopMaxObjects);
    benchmark::DoNotOptimize(loaded.Matrix.Cell(1, kObjects));
  }
}

void BM_SaveNative(benchmark::State& state) { TimeSaving(state, SaveNativeFile, "save.txt"); }
BENCHMARK(BM_SaveNative)->Unit(benchmark::kMillisecond);

void BM_LoadNative(benchmark::State& state) { TimeLoading(state, SaveNativeFile, LoadNativeFile, "load.txt"); }
BENCHMARK(BM_LoadNative)->Unit(benchmark::kMillisecond);

void BM_SaveCsv(benchmark::State& state) { TimeSaving(state, SaveCsvFile, "save.csv"); }
BENCHMARK(BM_SaveCsv)->Unit(benchmark::kMillisecond);

void BM_LoadCsv(benchmark::State& state) { TimeLoading(state, SaveCsvFile, LoadCsvFile, "load.csv"); }
BENCHMARK(BM_LoadCsv)->Unit(benchmark::kMillisecond);

void BM_Capture(benchmark::State& state) {
  const DataGrids grids = FullGrids(kObjects);
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
  DataGrids grids = FullGrids(kObjects - 1);
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
  DataGrids grids = FullGrids(kObjects);
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
