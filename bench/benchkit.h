#ifndef BENCH_BENCHKIT_H
#define BENCH_BENCHKIT_H

// Helpers the benchmark programs share.

#include <cstdint>
#include <random>
#include <string>

#include "testkit/tmpdir.h"

namespace benchmark {
class State;
}

namespace bench {

// The process's peak resident set so far, in bytes (getrusage).
int64_t peakRss();

// Sets the counter "peak_rss_MB" of the state to peakRss().
void reportPeakRss(benchmark::State& state);

// The random source of every benchmark: a fixed seed, so that each run
// measures the same work.
class Random {
 public:
  explicit Random(uint32_t seed = 20261211u) : engine_(seed) {}
  // A number in [low, high].
  int32_t between(int32_t low, int32_t high) {
    return std::uniform_int_distribution<int32_t>(low, high)(engine_);
  }
  std::mt19937& engine() { return engine_; }

 private:
  std::mt19937 engine_;
};

// Stops the program with a message on stderr: a benchmark whose work went
// wrong must not report a figure.
[[noreturn]] void fail(const char* what);

// A fresh folder for one benchmark (the test kit's), or a stop when none
// can be made.
inline void requireFolder(const TempDir& dir) {
  if (!dir.ok()) fail("cannot make a temporary folder");
}

}  // namespace bench

#endif
