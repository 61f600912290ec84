// Store and restore of a configuration-sized object tree.

#include <benchmark/benchmark.h>

#include "bench/benchkit.h"

static void BM_Placeholder(benchmark::State& state) {
  bench::Random random;
  int64_t sum = 0;
  for (auto _ : state) {
    sum += random.between(0, 9);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Placeholder);
