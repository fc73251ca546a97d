// The data capture converts up to 499,500 cells and the echo formats as
// many numbers: both conversions, 500,000 calls each.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "common/numbers.h"

namespace {

constexpr int kCalls = 500000;

std::vector<cluster::Real> SampleValues() {
  std::mt19937_64 random(42);
  std::uniform_real_distribution<double> distance(0.0, 2000.0);
  std::vector<cluster::Real> values(kCalls);
  for (auto& v : values) v = static_cast<cluster::Real>(distance(random));
  return values;
}

void BM_RealToTextGeneral7(benchmark::State& state) {
  cluster::SetDecimalSeparator('.');
  const auto values = SampleValues();
  for (auto _ : state) {
    for (cluster::Real v : values) {
      benchmark::DoNotOptimize(cluster::RealToText(v, cluster::RealFormat::General, 7, 1));
    }
  }
}
BENCHMARK(BM_RealToTextGeneral7)->Unit(benchmark::kMillisecond);

void BM_TextToReal(benchmark::State& state) {
  cluster::SetDecimalSeparator('.');
  std::vector<std::string> texts;
  for (cluster::Real v : SampleValues()) {
    texts.push_back(cluster::RealToText(v, cluster::RealFormat::General, 7, 1));
  }
  for (auto _ : state) {
    for (const auto& t : texts) benchmark::DoNotOptimize(cluster::TextToReal(t));
  }
}
BENCHMARK(BM_TextToReal)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
