#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "host/engine/engine.h"
#include "kernel/heap.h"
#include "kernel/runtime.h"
#include "kernel/tests/tracelog.h"

namespace {

using Header = KernelHeap::Header;

Header* headerOf(void* data) { return static_cast<Header*>(data) - 1; }

const void* address(uintptr_t value) { return reinterpret_cast<const void*>(value); }

// Whether the block is still a live block of the engine's pool.
bool inPool(void* data) {
  ULONG size = 0, tag = 0;
  return eng::poolBlock(headerOf(data), size, tag);
}

std::vector<uint8_t> bytesAt(const void* p, size_t n) {
  auto* b = static_cast<const uint8_t*>(p);
  return std::vector<uint8_t>(b, b + n);
}

// The trace lines that start with prefix.
std::vector<std::string> linesStarting(const std::vector<std::string>& lines, const std::string& prefix) {
  std::vector<std::string> out;
  for (const auto& line : lines)
    if (line.rfind(prefix, 0) == 0) out.push_back(line);
  return out;
}

}  // namespace

class HeapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    eng::reset();
    heap.startup();
  }
  void TearDown() override {
    heap.shutdown();
    eng::reset();
  }

  KernelHeap heap;
};

TEST_F(HeapTest, ABlockIsHeaderDataAndRearWatchdogInOnePoolBlockTaggedDgby) {
  void* older = heap.allocate(1, address(0x1234));
  void* newer = heap.allocate(40, address(0x5678));
  ASSERT_NE(older, nullptr);
  ASSERT_NE(newer, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(older) % 16, 0u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(newer) % 16, 0u);

  ULONG size = 0, tag = 0;
  ASSERT_TRUE(eng::poolBlock(headerOf(older), size, tag));
  EXPECT_EQ(size, 4u + 32u + 4u);  // a 1-byte request gets a 4-byte area
  EXPECT_EQ(tag, 0x79626744u);
  EXPECT_EQ(bytesAt(&tag, 4), (std::vector<uint8_t>{'D', 'g', 'b', 'y'}));
  ASSERT_TRUE(eng::poolBlock(headerOf(newer), size, tag));
  EXPECT_EQ(size, 40u + 32u + 4u);

  // Front watchdog, the size as requested, the caller, little-endian.
  EXPECT_EQ(bytesAt(headerOf(older), 16),
            (std::vector<uint8_t>{0xAA, 0xAA, 0xAA, 0xAA, 1, 0, 0, 0, 0x34, 0x12, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(bytesAt(static_cast<char*>(older) + 4, 4), (std::vector<uint8_t>{0x55, 0x55, 0x55, 0x55}));
  EXPECT_EQ(bytesAt(static_cast<char*>(newer) + 40, 4), (std::vector<uint8_t>{0x55, 0x55, 0x55, 0x55}));
  // Newest first.
  EXPECT_EQ(headerOf(newer)->prev, nullptr);
  EXPECT_EQ(headerOf(newer)->next, headerOf(older));
  EXPECT_EQ(headerOf(older)->prev, headerOf(newer));
  EXPECT_EQ(headerOf(older)->next, nullptr);

  heap.release(older);
  heap.release(newer);
  EXPECT_FALSE(inPool(older));
  EXPECT_FALSE(inPool(newer));
}

// Every way a block comes back: sizes under the 4-byte minimum, overruns,
// damaged headers. Each row allocates its block on a heap that already
// holds one 64-byte block, damages it, releases it and reads what was
// counted and traced.
TEST_F(HeapTest, ReleaseChecksTheWatchdogsAndFreesWhatItCanTrust) {
  struct Case {
    const char* name;
    uint32_t size;
    bool offList;  // served outside start-up .. shut-down
    std::function<void(uint8_t* data, Header* header)> damage;
    uint32_t frontErrors, rearErrors;
    std::vector<std::string> trace;
    bool freed;
  };
  const Case cases[] = {
      {"zero bytes get a 4-byte area", 0, false, [](uint8_t* d, Header*) { std::memset(d, 0xFF, 4); }, 0, 0,
       {}, true},
      {"three bytes: the rear watchdog is 4 bytes behind the data", 3, false, [](uint8_t* d, Header*) { d[4] = 0; },
       0, 1, {"\tRear Watchdog Altered!  55555500\n"}, true},
      {"an overrun of one byte", 16, false, [](uint8_t* d, Header*) { d[16] = 0x11; }, 0, 1,
       {"\tRear Watchdog Altered!  55555511\n"}, true},
      {"a damaged front is counted and the block still freed", 8, false,
       [](uint8_t*, Header* h) { h->front = 0; }, 1, 0, {"\tFront Watchdog Altered!\n"}, true},
      {"a size above the allocated total skips the rear check", 8, false,
       [](uint8_t* d, Header* h) {
         h->size = 100000;
         d[8] = 0;
       },
       0, 0, {"\tSuspicious delete size: 100000!\n"}, true},
      // The size of a header whose front is gone is not trusted to find the
      // rear watchdog: 24 is within the allocated total but far behind this
      // block's 8 bytes.
      {"a damaged front: its size is not used to read", 8, false,
       [](uint8_t*, Header* h) {
         h->front = 0;
         h->size = 24;
       },
       1, 0, {"\tFront Watchdog Altered!\n"}, true},
      // The links are likely damaged with the front: the block is unlinked
      // through its neighbours, found by walking to it.
      {"a damaged front and links: unlinked through its neighbours", 8, false,
       [](uint8_t*, Header* h) {
         h->front = 0x41414141;
         h->next = h->prev = reinterpret_cast<Header*>(0x10);
       },
       1, 0, {"\tFront Watchdog Altered!\n"}, true},
      {"a damaged front on a block no list holds is left alone", 8, true,
       [](uint8_t*, Header* h) { h->front = 0; }, 1, 0, {"\tFront Watchdog Altered!\n"}, false},
      {"a block from before start-up is freed without the list", 8, true, [](uint8_t*, Header*) {}, 0, 0, {},
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    KernelHeap rowHeap;  // a fresh list and fresh counters for each row
    KernelHeap unstarted;
    rowHeap.startup();
    void* held = rowHeap.allocate(64, nullptr);
    void* data = (c.offList ? unstarted : rowHeap).allocate(c.size, nullptr);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(headerOf(data)->size, c.size);
    c.damage(static_cast<uint8_t*>(data), headerOf(data));
    TraceLog trace;
    rowHeap.release(data);
    auto counters = rowHeap.counters();
    EXPECT_EQ(counters.frees, 1u);
    EXPECT_EQ(counters.frontErrors, c.frontErrors);
    EXPECT_EQ(counters.rearErrors, c.rearErrors);
    EXPECT_EQ(trace.lines(), c.trace);
    EXPECT_EQ(inPool(data), !c.freed);
    if (!c.freed) EngFreeMem(headerOf(data));
    // Whatever came back, the list holds the 64-byte block alone.
    trace.clear();
    rowHeap.shutdown();
    EXPECT_EQ(linesStarting(trace.lines(), "--Leak"), (std::vector<std::string>{"--Leak 0: Address 0, Size 64\n"}));
    rowHeap.release(held);
    EXPECT_FALSE(inPool(held));
  }
}

TEST_F(HeapTest, ARefusedPoolAnswersNullAndTracesOnlyWhileANewHandlerIsInstalled) {
  KernelNewHandler before = _set_new_handler(nullptr);
  TraceLog trace;
  eng::knobs().poolBlocks = 0;
  EXPECT_EQ(heap.allocate(10, nullptr), nullptr);
  EXPECT_EQ(trace.lines(), std::vector<std::string>{});
  _set_new_handler([] { return 0; });
  EXPECT_EQ(heap.allocate(10, nullptr), nullptr);
  // Larger than any pool block can be: refused before the pool is asked,
  // and not counted.
  EXPECT_EQ(heap.allocate(size_t{0xFFFFFFFFu}, nullptr), nullptr);
  _set_new_handler(before);
  eng::knobs().poolBlocks = -1;
  EXPECT_EQ(trace.lines(), (std::vector<std::string>{"Memory allocation failed in malloc; size = 46.",
                                                     "Memory allocation failed in malloc; size = 4294967295."}));
  // A refusal still counts the request.
  auto counters = heap.counters();
  EXPECT_EQ(counters.mallocs, 2u);
  EXPECT_EQ(counters.current, 20u);
  EXPECT_EQ(counters.classes[0], 2u);
}

TEST_F(HeapTest, TheReportAndLeakListingOfAFixedSequence) {
  void* a = heap.allocate(10, address(0x401000));
  void* b = heap.allocate(100, address(0x401010));
  void* c = heap.allocate(5000, address(0x401020));
  void* d = heap.allocate(0, address(0x401030));
  void* e = heap.allocate(2048, address(0x401040));
  heap.release(b);
  heap.release(e);
  TraceLog trace;
  heap.shutdown();
  const std::vector<std::string> want = {
      "   MallocDebugReport:  counts for malloc/free\n",
      "\tNumber of mallocs made:                      5\n",
      "\tNumber of frees made:                        2\n",
      "\tMemory currently allocated:               5010\n",
      "\tAllocated memory high watermark:          7158\n",
      "\tMaximum size requested:                   5000\n",
      "\tTotal of all allocations:                 7158\n",
      "\tTotal of all frees:                       2148\n",
      "\n",
      "\t# mallocs of size <    16:         2\n",
      "\t# mallocs of size >=   16:         0\n",
      "\t# mallocs of size >=   32:         0\n",
      "\t# mallocs of size >=   64:         0\n",
      "\t# mallocs of size >=  128:         0\n",
      "\t# mallocs of size >=  256:         0\n",
      "\t# mallocs of size >=  512:         0\n",
      "\t# mallocs of size >=   1K:         0\n",
      "\t# mallocs of size >=   2K:         0\n",
      "\t# mallocs of size >=   4K:         1\n",
      "\t# mallocs of size >=   8K:         0\n",
      "\t# mallocs of size >=  16K:         0\n",
      "\t# mallocs of size >=  32K:         0\n",
      "\t# mallocs of size >=  64K:         0\n",
      "\t# mallocs of size >= 128K:         0\n",
      "\t# mallocs of size >= 256K:         0\n",
      "\t# mallocs of size >= 512K:         0\n",
      "\t# mallocs of size >= 1M  :         0\n",
      "\n",
      "\tWatchdog errors - front:      0\n",
      "\tWatchdog errors - rear:       0\n",
      "\n",
      "\tAverage allocation size:   1431\n",
      "\tNOT Resetting counts!\n",
      " Displaying memory leak data!\n",
      "--Leak 0: Address 401030, Size 0\n",
      "--Leak 1: Address 401020, Size 5000\n",
      "--Leak 2: Address 401000, Size 10\n",
  };
  EXPECT_EQ(trace.lines(), want);
  // Shut down, the blocks stay allocated and are freed later without a list.
  for (void* p : {a, c, d}) heap.release(p);
  for (void* p : {a, c, d}) EXPECT_FALSE(inPool(p));
}

TEST_F(HeapTest, SizeClassesIncludeTheirLowerBound) {
  const std::pair<uint32_t, int> cases[] = {
      {0, 0},       {15, 0},       {16, 1},        {31, 1},         {32, 2},        {1023, 6},
      {1024, 7},    {65535, 12},   {65536, 13},    {524287, 15},    {524288, 16},   {1048575, 16},
      {1048576, 17}, {0xFFFFFFFFu, 17},
  };
  for (auto [size, want] : cases) EXPECT_EQ(KernelHeap::sizeClass(size), want) << size;
}

TEST_F(HeapTest, AWrappedTotalIsReportedWithItsCountAndTheAllocatedCounterSaturates) {
  // Refused requests count, so the total wraps without 4 GB of memory.
  eng::knobs().poolBlocks = 0;
  EXPECT_EQ(heap.allocate(0x80000000u, nullptr), nullptr);
  EXPECT_EQ(heap.allocate(0x80000001u, nullptr), nullptr);
  eng::knobs().poolBlocks = -1;
  // Releases leave a saturated counter alone, and still check the rear.
  void* p = heap.allocate(8, nullptr);
  static_cast<uint8_t*>(p)[8] = 0;
  heap.release(p);
  auto counters = heap.counters();
  EXPECT_EQ(counters.current, 0xFFFFFFFFu);
  EXPECT_EQ(counters.highWatermark, 0xFFFFFFFFu);
  EXPECT_EQ(counters.rearErrors, 1u);

  TraceLog trace;
  heap.report();
  auto lines = trace.lines();
  ASSERT_EQ(lines.size(), 34u);
  const std::vector<std::string> head = {
      "   MallocDebugReport:  counts for malloc/free\n",
      "\tNumber of mallocs made:                      3\n",
      "\tNumber of frees made:                        1\n",
      "\tMemory currently allocated:          4294967295\n",
      "\tAllocated memory high watermark:     4294967295\n",
      "\tMaximum size requested:              2147483649\n",
      "\tTimes the total wrapped (too large):         1\n",
      "\tTotal of all allocations (wrapped):          9\n",
      "\tTotal of all frees (wrapped):                8\n",
      "\n",
  };
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 10), head);
  EXPECT_EQ(lines[27], "\t# mallocs of size >= 1M  :         2\n");
  EXPECT_EQ(lines[30], "\tWatchdog errors - rear:       1\n");
  // (0xFFFFFFFF / 3) x 1 + 9 / 3
  EXPECT_EQ(lines[32], "\tAverage allocation size: 1431655768\n");
}

TEST_F(HeapTest, AReportBeforeAnyAllocationIsItsTitleAlone) {
  TraceLog trace;
  heap.report();
  EXPECT_EQ(trace.lines(), std::vector<std::string>{"   MallocDebugReport:  counts for malloc/free\n"});
  heap.shutdown();
  EXPECT_EQ(linesStarting(trace.lines(), "Tail"), std::vector<std::string>{"Tail of linked memory list is NULL!\n"});
}

TEST_F(HeapTest, TheLeakListingStopsAtTheThousandNewestBlocks) {
  std::vector<void*> blocks;
  for (uintptr_t i = 0; i <= 1000; ++i) blocks.push_back(heap.allocate(i % 7, address(i + 1)));
  TraceLog trace;
  heap.shutdown();
  auto leaks = linesStarting(trace.lines(), "--Leak");
  ASSERT_EQ(leaks.size(), 1000u);
  EXPECT_EQ(leaks.front(), "--Leak 0: Address 3E9, Size 6\n");  // block 1000
  EXPECT_EQ(leaks.back(), "--Leak 999: Address 2, Size 1\n");   // block 1
  for (void* p : blocks) heap.release(p);
  EXPECT_EQ(heap.counters().current, 0u);
}

TEST_F(HeapTest, BlocksOutsideStartUpAndShutDownStayOffTheList) {
  KernelHeap fresh;
  void* early = fresh.allocate(11, address(0xE));
  fresh.startup();
  void* during = fresh.allocate(22, address(0xD));
  fresh.release(early);  // must not touch the list
  TraceLog trace;
  fresh.shutdown();
  EXPECT_EQ(linesStarting(trace.lines(), "--Leak"), (std::vector<std::string>{"--Leak 0: Address D, Size 22\n"}));
  void* late = fresh.allocate(33, nullptr);

  // A second session knows nothing of the first one's blocks.
  fresh.startup();
  void* again = fresh.allocate(44, address(0xA));
  fresh.release(during);
  fresh.release(late);
  trace.clear();
  fresh.shutdown();
  EXPECT_EQ(linesStarting(trace.lines(), "--Leak"), (std::vector<std::string>{"--Leak 0: Address A, Size 44\n"}));
  fresh.release(again);
  for (void* p : {early, during, late, again}) EXPECT_FALSE(inPool(p));
  EXPECT_EQ(fresh.counters().current, 0u);
  EXPECT_EQ(fresh.counters().frontErrors + fresh.counters().rearErrors, 0u);
}

TEST_F(HeapTest, ThreadsAllocatingAndReleasingTogetherLeaveTheListEmpty) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([this, t] {
      std::vector<void*> mine;
      for (int i = 0; i < 500; ++i) {
        mine.push_back(heap.allocate(static_cast<size_t>(i + t), nullptr));
        if (i % 3 == 0) {
          heap.release(mine.front());
          mine.erase(mine.begin());
        }
      }
      for (void* p : mine) heap.release(p);
    });
  for (auto& t : threads) t.join();
  TraceLog trace;
  heap.shutdown();
  EXPECT_EQ(linesStarting(trace.lines(), "Tail"), std::vector<std::string>{"Tail of linked memory list is NULL!\n"});
  auto counters = heap.counters();
  EXPECT_EQ(counters.mallocs, 2000u);
  EXPECT_EQ(counters.frees, 2000u);
  EXPECT_EQ(counters.current, 0u);
}

TEST(KernelHeapFunctions, TheProcessHeapRecordsTheCallerItIsGiven) {
  void* p = kernelHeapAllocFor(24, address(0xC0FFEE));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(headerOf(p)->caller, address(0xC0FFEE));
  EXPECT_EQ(headerOf(p)->size, 24u);
  void* q = kernelHeapAlloc(3);
  ASSERT_NE(q, nullptr);
  EXPECT_NE(headerOf(q)->caller, nullptr);
  kernelHeapFree(q);
  kernelHeapFree(p);
  kernelHeapFree(nullptr);
  EXPECT_FALSE(inPool(p));
}
