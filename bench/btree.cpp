// The on-disk B-tree: insert, find and remove of 100,000 keys in a
// temporary file, beside std::map doing the same work in memory, the bound
// no index on disk reaches. Each benchmark reports operations per second.
//
// Keys are distinct texts in an order shuffled from a fixed seed; each
// phase takes them in an order of its own. Every phase checks its answers
// (each insert and remove done, each find the value stored with its key)
// and the program stops when one is wrong.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/benchkit.h"
#include "rw/disktree.h"
#include "rw/filemgr.h"

namespace {

constexpr int kKeys = 100000;
constexpr unsigned kKeyLength = 16;

struct Keys {
  std::vector<std::string> text;    // key i is text[i], stored with value i
  std::vector<int32_t> insertion;   // the indices in the order of each phase
  std::vector<int32_t> search;
  std::vector<int32_t> removal;
};

const Keys& keys() {
  static const Keys k = [] {
    Keys made;
    bench::Random random;
    made.text.reserve(kKeys);
    for (int i = 0; i < kKeys; ++i) {
      char text[kKeyLength];
      // Spread over a wide range so that neighbours in the index are not
      // neighbours in insertion order.
      const unsigned long long spread = static_cast<unsigned long long>(random.between(0, 99999)) * 100000u;
      std::snprintf(text, sizeof text, "key%010llu", spread + static_cast<unsigned long long>(i));
      made.text.emplace_back(text);
    }
    std::vector<int32_t> order(kKeys);
    for (int i = 0; i < kKeys; ++i) order[i] = i;
    for (std::vector<int32_t>* phase : {&made.insertion, &made.search, &made.removal}) {
      std::shuffle(order.begin(), order.end(), random.engine());
      *phase = order;
    }
    return made;
  }();
  return k;
}

// A fresh tree in a fresh file (the file is truncated).
struct DiskTree {
  explicit DiskTree(const std::string& name)
      : manager(std::make_unique<RWFileManager>(name.c_str(), "wb+")),
        tree(std::make_unique<RWBTreeOnDisk>(*manager, 10, RWBTreeOnDisk::alwaysCreate, kKeyLength)) {
    if (!manager->isValid() || !tree->isValid()) bench::fail("the B-tree file could not be made");
  }
  void insertAll() {
    const Keys& k = keys();
    for (int32_t i : k.insertion)
      if (tree->insertKeyAndValue(k.text[i].c_str(), i) != 1) bench::fail("an insert into the B-tree failed");
  }
  // The tree goes before the manager it writes through.
  std::unique_ptr<RWFileManager> manager;
  std::unique_ptr<RWBTreeOnDisk> tree;
};

void finish(benchmark::State& state) {
  state.counters["ops"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kKeys, benchmark::Counter::kIsRate);
}

void BM_DiskTreeInsert(benchmark::State& state) {
  TempDir dir;
  bench::requireFolder(dir);
  const std::string name = dir.file("tree.dat");
  keys();
  for (auto _ : state) {
    DiskTree disk(name);
    disk.insertAll();
    state.PauseTiming();
    if (disk.tree->entries() != kKeys) bench::fail("the B-tree lost entries");
    state.ResumeTiming();
  }
  finish(state);
}

void BM_DiskTreeFind(benchmark::State& state) {
  TempDir dir;
  bench::requireFolder(dir);
  DiskTree disk(dir.file("tree.dat"));
  disk.insertAll();
  const Keys& k = keys();
  int64_t wrong = 0;
  for (auto _ : state) {
    for (int32_t i : k.search) {
      int32_t value = -1;
      if (disk.tree->findKeyAndValue(k.text[i].c_str(), nullptr, value) != 1 || value != i) ++wrong;
    }
  }
  if (wrong != 0) bench::fail("a find in the B-tree missed its key or value");
  finish(state);
}

void BM_DiskTreeRemove(benchmark::State& state) {
  TempDir dir;
  bench::requireFolder(dir);
  const std::string name = dir.file("tree.dat");
  const Keys& k = keys();
  for (auto _ : state) {
    state.PauseTiming();
    DiskTree disk(name);
    disk.insertAll();
    state.ResumeTiming();
    for (int32_t i : k.removal) {
      int32_t value = -1;
      if (disk.tree->removeKeyAndValue(k.text[i].c_str(), nullptr, value) != 1 || value != i)
        bench::fail("a removal from the B-tree missed its key or value");
    }
    state.PauseTiming();
    if (disk.tree->entries() != 0) bench::fail("the B-tree kept entries after every removal");
    state.ResumeTiming();
  }
  finish(state);
}

BENCHMARK(BM_DiskTreeInsert)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DiskTreeFind)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DiskTreeRemove)->Unit(benchmark::kMillisecond);

// The same three phases on std::map.
using MemoryMap = std::map<std::string, int32_t>;

void insertAll(MemoryMap& map) {
  const Keys& k = keys();
  for (int32_t i : k.insertion)
    if (!map.emplace(k.text[i], i).second) bench::fail("an insert into the map failed");
}

void BM_MapInsert(benchmark::State& state) {
  keys();
  for (auto _ : state) {
    MemoryMap map;
    insertAll(map);
    if (map.size() != kKeys) bench::fail("the map lost entries");
  }
  finish(state);
}

void BM_MapFind(benchmark::State& state) {
  MemoryMap map;
  insertAll(map);
  const Keys& k = keys();
  int64_t wrong = 0;
  for (auto _ : state) {
    for (int32_t i : k.search) {
      auto found = map.find(k.text[i]);
      if (found == map.end() || found->second != i) ++wrong;
    }
  }
  if (wrong != 0) bench::fail("a find in the map missed its key or value");
  finish(state);
}

void BM_MapRemove(benchmark::State& state) {
  const Keys& k = keys();
  for (auto _ : state) {
    state.PauseTiming();
    MemoryMap map;
    insertAll(map);
    state.ResumeTiming();
    for (int32_t i : k.removal)
      if (map.erase(k.text[i]) != 1) bench::fail("a removal from the map missed its key");
    state.PauseTiming();
    if (!map.empty()) bench::fail("the map kept entries after every removal");
    state.ResumeTiming();
  }
  finish(state);
}

BENCHMARK(BM_MapInsert)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MapFind)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MapRemove)->Unit(benchmark::kMillisecond);

}  // namespace
