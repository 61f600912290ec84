// zlib in the driver: its blocks come from the debugging heap, and the
// bytes it makes are those of the user-mode build.

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "graphics/lzw.h"
#include "kernel/runtime.h"
#include "kernel/tests/tracelog.h"

namespace {

// The heap's counters, read from its report: mallocs made, frees made and
// mallocs from 32K up to 64K and from 64K up to 128K.
struct HeapCounts {
  unsigned long mallocs = 0, frees = 0, from32K = 0, from64K = 0;
};

HeapCounts heapCounts() {
  HeapCounts counts;
  std::vector<std::string> lines;
  {
    TraceLog log;
    MallocDebugReport();
    lines = log.lines();
  }
  for (const std::string& line : lines) {
    std::sscanf(line.c_str(), "\tNumber of mallocs made: %lu", &counts.mallocs);
    std::sscanf(line.c_str(), "\tNumber of frees made: %lu", &counts.frees);
    std::sscanf(line.c_str(), "\t# mallocs of size >=  32K: %lu", &counts.from32K);
    std::sscanf(line.c_str(), "\t# mallocs of size >=  64K: %lu", &counts.from64K);
  }
  return counts;
}

TEST(KernelZlib, CompressionTakesItsBlocksFromTheDebuggingHeapAndGivesThemBack) {
  // deflate's window, hash chains and pending buffer are 64K each at the
  // default level; nothing else here asks for that much.
  const std::string text(3000, 'x');
  const HeapCounts before = heapCounts();
  std::string packed;
  {
    std::istringstream in(text);
    std::ostringstream out;
    ASSERT_EQ(zlibCompressStream(in, out), 1);
    packed = out.str();
  }
  const HeapCounts after = heapCounts();
  EXPECT_GE(after.from64K - before.from64K, 3u);
  EXPECT_EQ(after.mallocs - before.mallocs, after.frees - before.frees) << "every block went back";

  // inflate's 32K window comes from the heap too; the stream's own buffers
  // here are smaller.
  std::istringstream back(packed);
  std::ostringstream unpacked;
  ASSERT_EQ(zlibUncompressStream(back, unpacked), 1);
  EXPECT_EQ(unpacked.str(), text);
  const HeapCounts last = heapCounts();
  EXPECT_EQ(last.from32K - after.from32K, 1u);
  EXPECT_EQ(last.mallocs - after.mallocs, last.frees - after.frees);
}

TEST(KernelZlib, MakesTheBytesOfTheUserModeBuild) {
  std::istringstream in("a");
  std::ostringstream out;
  ASSERT_EQ(zlibCompressStream(in, out), 1);
  EXPECT_EQ(out.str(), std::string("\x78\x9c\x4b\x04\x00\x00\x62\x00\x62", 9));
}

}  // namespace
