// zlib in the driver: its blocks come from the debugging heap, and the
// bytes it makes are those of the user-mode build.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "graphics/lzw.h"
#include "kernel/runtime.h"
#include "kernel/tests/tracelog.h"

namespace {

// The heap's counters, read from its report: the bytes allocated so far
// and the bytes allocated now.
struct HeapCounts {
  unsigned long total = 0, current = 0;
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
    std::sscanf(line.c_str(), "\tTotal of all allocations: %lu", &counts.total);
    std::sscanf(line.c_str(), "\tMemory currently allocated: %lu", &counts.current);
  }
  return counts;
}

// The bytes allocated between two reports (the total is 32 bits wide).
uint32_t allocatedBetween(const HeapCounts& before, const HeapCounts& after) {
  return static_cast<uint32_t>(after.total - before.total);
}

std::string roundTrip(const std::string& text, std::string& packed) {
  std::istringstream in(text);
  std::ostringstream out;
  if (zlibCompressStream(in, out) != 1) return "failed";
  packed = out.str();
  std::istringstream back(packed);
  std::ostringstream unpacked;
  if (zlibUncompressStream(back, unpacked) != 1) return "failed";
  return unpacked.str();
}

TEST(KernelZlib, CompressionTakesItsBlocksFromTheDebuggingHeapAndGivesThemBack) {
  const std::string text(3000, 'x');
  std::string packed;
  // Once first, so that what the streams set up on first use is made.
  ASSERT_EQ(roundTrip(text, packed), text);

  // deflate's window, hash chains and pending buffer are 64K each at the
  // default level; the text and the streams' buffers come to a few K.
  const HeapCounts before = heapCounts();
  {
    std::istringstream in(text);
    std::ostringstream out;
    ASSERT_EQ(zlibCompressStream(in, out), 1);
  }
  const HeapCounts afterCompress = heapCounts();
  EXPECT_GE(allocatedBetween(before, afterCompress), 4u * 65536u);
  EXPECT_EQ(afterCompress.current, before.current) << "every block went back";

  // inflate's state comes from the heap and goes back to it (its window is
  // made only when a stream is read in several calls).
  {
    std::istringstream back(packed);
    std::ostringstream unpacked;
    ASSERT_EQ(zlibUncompressStream(back, unpacked), 1);
  }
  const HeapCounts afterUncompress = heapCounts();
  EXPECT_EQ(afterUncompress.current, before.current);
}

TEST(KernelZlib, MakesTheBytesOfTheUserModeBuild) {
  std::istringstream in("a");
  std::ostringstream out;
  ASSERT_EQ(zlibCompressStream(in, out), 1);
  EXPECT_EQ(out.str(), std::string("\x78\x9c\x4b\x04\x00\x00\x62\x00\x62", 9));
}

}  // namespace
