#include "bench/benchkit.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

namespace bench {

int64_t peakRss() {
  struct rusage usage {};
  if (getrusage(RUSAGE_SELF, &usage) != 0) return 0;
  // Linux answers ru_maxrss in kilobytes.
  return static_cast<int64_t>(usage.ru_maxrss) * 1024;
}

void reportPeakRss(benchmark::State& state) {
  state.counters["peak_rss_MB"] = static_cast<double>(peakRss()) / (1024.0 * 1024.0);
}

void fail(const char* what) {
  std::fprintf(stderr, "benchmark failed: %s\n", what);
  std::exit(1);
}

}  // namespace bench
