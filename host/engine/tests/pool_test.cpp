// The pool and the semaphores must work in a driver whose operator new sits
// on the pool: this program's operator new counts its calls, and the pool
// and semaphore services must make none.

#include <atomic>
#include <cstdlib>
#include <new>

#include "host/engine/tests/fixture.h"

namespace {

std::atomic<long> newCalls{0};

void* counted(std::size_t n) noexcept {
  newCalls.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(n ? n : 1);
}

}  // namespace

void* operator new(std::size_t n) {
  if (void* p = counted(n)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return counted(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return counted(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

using PoolTest = EngineTest;

TEST_F(PoolTest, PoolBlocksAndSemaphoresNeverCallOperatorNew) {
  constexpr int kBlocks = 300;
  void* blocks[kBlocks];
  const long before = newCalls.load();
  for (int i = 0; i < kBlocks; ++i) blocks[i] = EngAllocMem(FL_ZERO_MEMORY, static_cast<ULONG>(i), 0x79626744);
  HSEMAPHORE s = EngCreateSemaphore();
  EngAcquireSemaphore(s);
  EngAcquireSemaphore(s);
  EngReleaseSemaphore(s);
  EngReleaseSemaphore(s);
  EngDeleteSemaphore(s);
  // Given back out of order, each one must still be found.
  for (int i = 0; i < kBlocks; ++i) EngFreeMem(blocks[i * 7 % kBlocks]);
  EXPECT_EQ(newCalls.load(), before);
  for (void* b : blocks) EXPECT_NE(b, nullptr);
  EXPECT_TRUE(eng::misuse().empty());
  EngFreeMem(blocks[5]);  // given back twice
  EXPECT_EQ(eng::misuse().size(), 1u);
}

TEST_F(PoolTest, ABlockReportsItsSizeAndTagWhileItIsLive) {
  void* p = EngAllocMem(0, 40, 0x79626744);
  ULONG size = 0, tag = 0;
  ASSERT_TRUE(eng::poolBlock(p, size, tag));
  EXPECT_EQ(size, 40u);
  EXPECT_EQ(tag, 0x79626744u);
  EngFreeMem(p);
  EXPECT_FALSE(eng::poolBlock(p, size, tag));
  int local = 0;
  EXPECT_FALSE(eng::poolBlock(&local, size, tag));
}
