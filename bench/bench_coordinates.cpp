// Speed of clustering observations from their coordinates
// (engine/coordinates/coordinate_clustering.h): ward, centroid and single at 2,000 and
// 20,000 observations of 10 normal coordinates (fixed seed), and ward and
// centroid at 50,000 and 100,000. The peer's figures on the same kind of
// data come from bench/peer_linkage_vector.py (fastcluster's
// linkage_vector); run both in one sitting, e.g.
//   bench_coordinates --benchmark_filter='/20000'
//   /usr/bin/python3 bench/peer_linkage_vector.py 20000
// Times are wall-clock: the scans use a second thread.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "engine/cluster_types.h"
#include "engine/coordinates/coordinate_clustering.h"

namespace {

constexpr std::int32_t kColumns = 10;

const std::vector<cluster::Real>& NormalObservations(std::int32_t n) {
  static std::vector<cluster::Real> values;
  static std::int32_t made = 0;
  if (made != n) {
    std::mt19937_64 random(20240615);
    std::normal_distribution<double> coordinate(0, 1);
    values.resize(static_cast<std::size_t>(n) * kColumns);
    for (cluster::Real& value : values) value = coordinate(random);
    made = n;
  }
  return values;
}

void Coordinates(benchmark::State& state, std::uint8_t method) {
  const auto n = static_cast<std::int32_t>(state.range(0));
  const std::vector<cluster::Real>& values = NormalObservations(n);
  for (auto _ : state) {
    const cluster::MergeList list = cluster::ClusterCoordinates(values.data(), n, kColumns, method);
    benchmark::DoNotOptimize(list.merges.data());
  }
}

void BM_CoordinatesWard(benchmark::State& state) { Coordinates(state, cluster::kWardMethod); }
void BM_CoordinatesCentroid(benchmark::State& state) { Coordinates(state, cluster::kCentroidMethod); }
void BM_CoordinatesSingle(benchmark::State& state) { Coordinates(state, cluster::kSingleLinkage); }

BENCHMARK(BM_CoordinatesWard)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CoordinatesCentroid)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CoordinatesSingle)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CoordinatesWard)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_CoordinatesCentroid)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_CoordinatesSingle)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_CoordinatesWard)->Arg(50000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_CoordinatesCentroid)->Arg(50000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
