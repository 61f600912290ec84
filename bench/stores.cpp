// Store and restore of a configuration-sized object tree through the three
// store forms of the object model: the binary stream, the little-endian
// stream and the binary file. Each benchmark reports the stored bytes it
// moves per second.
//
// A restore that came back short or wrong would look fast, so every
// restore benchmark checks the last tree it read against the original once
// its timing is over, and the program stops when they differ.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>

#include "bench/benchkit.h"
#include "core/attrib.h"
#include "core/enumattr.h"
#include "core/valattr.h"
#include "rw/bstream.h"
#include "rw/estream.h"
#include "rw/rwfile.h"

namespace {

// The shape of the tree: groups of subgroups, each subgroup holding the
// kinds of setting a printer's configuration is made of.
constexpr int kGroups = 40;
constexpr int kSubgroups = 3;
constexpr int kNumbers = 8;
constexpr int kLongNumbers = 4;
constexpr int kTexts = 4;
constexpr int kRanges = 2;
constexpr int kEnumerations = 2;
constexpr int kChoices = 4;

std::string randomText(bench::Random& random) {
  static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 -_";
  std::string text(static_cast<size_t>(random.between(4, 24)), ' ');
  for (char& c : text) c = letters[random.between(0, sizeof letters - 2)];
  return text;
}

GAttributeComposite* subgroup(uint32_t id, bench::Random& random) {
  auto* group = new GAttributeComposite(id);
  uint32_t next = id * 100;
  for (int i = 0; i < kNumbers; ++i)
    group->insert(new GValueAttribute(static_cast<int16_t>(random.between(-1000, 1000)), ++next));
  for (int i = 0; i < kLongNumbers; ++i)
    group->insert(new GValue32Attribute(static_cast<uint32_t>(random.between(0, 1 << 30)), ++next));
  for (int i = 0; i < kTexts; ++i) group->insert(new GStringAttribute(randomText(random).c_str(), ++next));
  for (int i = 0; i < kRanges; ++i) {
    const int16_t low = static_cast<int16_t>(random.between(0, 100));
    group->insert(new GRangeAttribute(low, static_cast<int16_t>(low + 500), 5, static_cast<int16_t>(low + 50), ++next));
  }
  for (int i = 0; i < kEnumerations; ++i) {
    auto* choices = new GEnumAttribute(++next);
    MPersistentObject* pick = nullptr;
    const int picked = random.between(0, kChoices - 1);
    for (uint32_t c = 0; c < kChoices; ++c) {
      auto* choice = new GValueAttribute(static_cast<int16_t>(c * 10), c + 1);
      choices->insert(choice);
      if (static_cast<int>(c) == picked) pick = choice;
    }
    choices->setCurrent(pick);
    group->insert(choices);
  }
  return group;
}

// The tree every benchmark stores: a few thousand attributes, with a
// fixed seed so that every run stores the same bytes.
const GAttributeComposite& configurationTree() {
  static const GAttributeComposite* tree = [] {
    bench::Random random;
    auto* top = new GAttributeComposite(0);
    for (uint32_t g = 1; g <= kGroups; ++g) {
      auto* group = new GAttributeComposite(g);
      for (uint32_t s = 1; s <= kSubgroups; ++s) group->insert(subgroup(g * 10 + s, random));
      top->insert(group);
    }
    return top;
  }();
  return *tree;
}

void expectSameTree(const RWCollectable* restored) {
  const GAttributeComposite& original = configurationTree();
  auto* tree = dynamic_cast<const GAttributeComposite*>(restored);
  if (tree == nullptr) bench::fail("the restore brought back no attribute composite");
  if (tree->totalEntries() != original.totalEntries()) bench::fail("the restored tree has another size");
  if (!tree->matches(&original)) bench::fail("the restored tree differs from the one stored");
}

// The virtual-stream forms: each stores into and restores from bytes in
// memory, the output stream made with the arguments given.
template <class Out, class In, auto... outArguments>
struct StreamForm {
  static std::string store(const RWCollectable* tree) {
    std::ostringstream bytes;
    {
      Out out(bytes, outArguments...);
      out << tree;
    }
    return bytes.str();
  }
  static RWCollectable* restore(const std::string& bytes) {
    std::istringstream in(bytes);
    In source(in);
    RWCollectable* tree = nullptr;
    source >> tree;
    return tree;
  }
};

using BinaryStream = StreamForm<RWbostream, RWbistream>;
using LittleEndianStream = StreamForm<RWeostream, RWeistream, RWeostream::LittleEndian>;

template <class Form>
void BM_StreamStore(benchmark::State& state) {
  const GAttributeComposite& tree = configurationTree();
  size_t stored = 0;
  for (auto _ : state) {
    std::string bytes = Form::store(&tree);
    stored = bytes.size();
    benchmark::DoNotOptimize(bytes.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stored));
  state.counters["stored_bytes"] = static_cast<double>(stored);
}

template <class Form>
void BM_StreamRestore(benchmark::State& state) {
  const std::string bytes = Form::store(&configurationTree());
  std::unique_ptr<RWCollectable> last;
  for (auto _ : state) {
    // The tree read before goes here, so its deletion is part of the cost.
    last.reset(Form::restore(bytes));
  }
  expectSameTree(last.get());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

BENCHMARK_TEMPLATE(BM_StreamStore, BinaryStream);
BENCHMARK_TEMPLATE(BM_StreamRestore, BinaryStream);
BENCHMARK_TEMPLATE(BM_StreamStore, LittleEndianStream);
BENCHMARK_TEMPLATE(BM_StreamRestore, LittleEndianStream);

// The file form: the tree as the outermost store of a binary file, as a
// printer's data file is written and read.
long fileSize(const std::string& name) {
  std::FILE* f = std::fopen(name.c_str(), "rb");
  if (f == nullptr) return -1;
  std::fseek(f, 0, SEEK_END);
  const long size = std::ftell(f);
  std::fclose(f);
  return size;
}

void BM_FileStore(benchmark::State& state) {
  const GAttributeComposite& tree = configurationTree();
  TempDir dir;
  bench::requireFolder(dir);
  const std::string name = dir.file("tree.bin");
  for (auto _ : state) {
    RWFile file(name.c_str(), "wb");
    file << &tree;
    if (file.Error()) bench::fail("the tree could not be written");
  }
  const long stored = fileSize(name);
  if (stored <= 0) bench::fail("the stored file is empty");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * stored);
  state.counters["stored_bytes"] = static_cast<double>(stored);
}

void BM_FileRestore(benchmark::State& state) {
  TempDir dir;
  bench::requireFolder(dir);
  const std::string name = dir.file("tree.bin");
  {
    RWFile file(name.c_str(), "wb");
    file << &configurationTree();
  }
  const long stored = fileSize(name);
  if (stored <= 0) bench::fail("the stored file is empty");
  std::unique_ptr<RWCollectable> last;
  for (auto _ : state) {
    RWFile file(name.c_str(), "rb");
    RWCollectable* tree = nullptr;
    file >> tree;
    last.reset(tree);
  }
  expectSameTree(last.get());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * stored);
}

BENCHMARK(BM_FileStore);
BENCHMARK(BM_FileRestore);

}  // namespace
