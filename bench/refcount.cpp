// Copying counted pointers on one, two and four threads, in copies per
// second of all the threads together.
//
// The threads copy pointers to two different objects (even threads one,
// odd threads the other), so that they share no object. Each copy takes a
// reference and its end releases it. While every count in the process
// changed under one lock, two threads ran slower in total than one; with
// each object's count changed on its own, the figure grows with the
// threads, up to the cores the machine can give. Each object sits on a cache line of its
// own, so that what is measured is the counting, not two counts sharing a
// line.
//
// Strings: the same with copies of two different strings, whose blocks
// carry the same kind of count.

#include <benchmark/benchmark.h>

#include "core/cntdptr.h"
#include "core/perobj.h"
#include "rw/cstring.h"

namespace {

class alignas(64) Counted : public MPersistentObject {};

// Made on first use and kept for the life of the program.
GCountedPtr& sharedPointer(int which) {
  static GCountedPtr pointers[2] = {GCountedPtr(new Counted), GCountedPtr(new Counted)};
  return pointers[which];
}

const RWCString& sharedString(int which) {
  static const RWCString strings[2] = {RWCString("the first string of the benchmark"),
                                       RWCString("the second string of the benchmark")};
  return strings[which];
}

void CountedPointers(benchmark::State& state) {
  const GCountedPtr& source = sharedPointer(state.thread_index() % 2);
  for (auto _ : state) {
    GCountedPtr copy(source);
    benchmark::DoNotOptimize(copy.get());
  }
  state.SetItemsProcessed(state.iterations());
}

void Strings(benchmark::State& state) {
  const RWCString& source = sharedString(state.thread_index() % 2);
  for (auto _ : state) {
    RWCString copy(source);
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(CountedPointers)->Threads(1)->Threads(2)->Threads(4)->UseRealTime();
BENCHMARK(Strings)->Threads(1)->Threads(2)->Threads(4)->UseRealTime();

}  // namespace
