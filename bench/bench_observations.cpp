// Speed of the observation path up to the engine: reading a table of 5000
// observations with 10 coordinates each and computing their squared
// Euclidean distances in 80 bits.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include "datafiles/observation_table.h"
#include "common/numbers.h"

namespace {

// The table, written once to a scratch file that goes with the program.
const std::string& TableFile(std::int32_t rows, std::int32_t columns) {
  static const std::string path = [rows, columns] {
    std::string name = "/tmp/bench-observations-" + std::to_string(rows) + ".csv";
    std::mt19937_64 random(42);
    std::normal_distribution<double> coordinate(0, 1);
    std::ofstream out(name);
    char number[32];
    for (std::int32_t r = 0; r < rows; ++r) {
      out << 'o' << r;
      for (std::int32_t c = 0; c < columns; ++c) {
        std::snprintf(number, sizeof number, ",%.17g", coordinate(random));
        out << number;
      }
      out << '\n';
    }
    std::atexit([] { std::remove(path.c_str()); });
    return name;
  }();
  return path;
}

void BM_ReadTableAndDistances(benchmark::State& state) {
  cluster::SetDecimalSeparator('.');
  const std::string& path = TableFile(5000, 10);
  for (auto _ : state) {
    const cluster::ObservationTable table = cluster::ReadObservationTable(path, ',', 1 << 30);
    const cluster::LowerTriangle squares = cluster::SquaredDistances(table);
    benchmark::DoNotOptimize(squares.Values());
  }
}
BENCHMARK(BM_ReadTableAndDistances)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
