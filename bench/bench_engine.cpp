// Speed of the clustering engine: a whole run (PrepareWholeRun +
// Agglomerate, as the batch tool makes it) of every method on random
// Euclidean data (points in three dimensions, their distances) at the
// desktop capacity (1000 objects) and at 5000, the centroid and Ward
// methods also at 10,000, beside the slow reference agglomeration the
// engine's tests compare it with (tests/engine_oracle.h) at 400 objects.
// The store is reused from run to run, so these figures leave out mapping
// fresh memory; bench/peer_linkage.py measures whole runs in fresh
// processes beside the peer libraries.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "engine/matrix/analysis_store.h"
#include "tests/engine_oracle.h"

namespace {

using cluster::AnalysisStore;

std::vector<long double> EuclideanLower(std::int32_t n, std::uint64_t seed) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> coordinate(0, 1);
  std::vector<std::array<long double, 3>> points(static_cast<std::size_t>(n));
  for (auto& point : points) {
    for (auto& x : point) x = coordinate(random);
  }
  std::vector<long double> lower;
  lower.reserve(static_cast<std::size_t>(n) * static_cast<std::size_t>(n - 1) / 2);
  for (std::int32_t i = 1; i < n; ++i) {
    for (std::int32_t j = 0; j < i; ++j) {
      long double sum = 0;
      for (int d = 0; d < 3; ++d) {
        const long double delta = points[i][d] - points[j][d];
        sum += delta * delta;
      }
      lower.push_back(std::sqrt(sum));
    }
  }
  return lower;
}

// One store per size, captured once: set-up and merging never change the
// captured data.
AnalysisStore& CapturedStore(std::int32_t n) {
  static std::map<std::int32_t, std::unique_ptr<AnalysisStore>> stores;
  std::unique_ptr<AnalysisStore>& store = stores[n];
  if (store == nullptr) {
    store = std::make_unique<AnalysisStore>(n);
    const std::vector<long double> lower = EuclideanLower(n, 42);
    std::size_t k = 0;
    for (std::int32_t i = 2; i <= n; ++i) {
      for (std::int32_t j = 1; j < i; ++j) store->DistMatrix(i, j) = lower[k++];
    }
    store->ObjectCount = n;
  }
  return *store;
}

void BM_Engine(benchmark::State& state) {
  const auto method = static_cast<std::uint8_t>(state.range(0));
  const auto n = static_cast<std::int32_t>(state.range(1));
  AnalysisStore& store = CapturedStore(n);
  store.AcceptEveryMethod();
  store.DistType = method;
  for (auto _ : state) {
    store.PrepareWholeRun();
    if (!store.Agglomerate()) state.SkipWithError("method not run");
    state.PauseTiming();
    store.FreeClusterTree();
    state.ResumeTiming();
  }
  static const char* const kNames[] = {"centroid", "ward", "single", "complete", "average", "weighted", "median"};
  state.SetLabel(kNames[method]);
}

void ReferenceAgglomeration(benchmark::State& state, std::uint8_t method) {
  const auto n = static_cast<std::int32_t>(state.range(0));
  const std::vector<long double> lower = EuclideanLower(n, 42);
  for (auto _ : state) {
    cluster::oracle::PlainAgglomeration plain(n, lower, method);
    plain.Run();
    benchmark::DoNotOptimize(plain.next_id());
  }
}

void BM_PlainCentroid(benchmark::State& state) { ReferenceAgglomeration(state, cluster::kCentroidMethod); }
void BM_PlainWard(benchmark::State& state) { ReferenceAgglomeration(state, cluster::kWardMethod); }

// Every method at 1000 and 5000 objects.
void EveryMethod(benchmark::internal::Benchmark* benchmark) {
  for (const std::int64_t n : {1000, 5000}) {
    for (std::int64_t method = cluster::kCentroidMethod; method <= cluster::kMedianMethod; ++method) {
      benchmark->Args({method, n});
    }
  }
}

BENCHMARK(BM_Engine)->Apply(EveryMethod)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Engine)
    ->Args({cluster::kCentroidMethod, 10000})
    ->Args({cluster::kWardMethod, 10000})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK(BM_PlainCentroid)->Arg(400)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_PlainWard)->Arg(400)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
