// Locks and reference counts.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "rw/kmsys.h"
#include "rw/mutex.h"
#include "rw/ref.h"

namespace {

TEST(Reference, CountsDownToTheLastOwner) {
  RWReference ref;
  ref.addReference();
  ref.addReference();
  EXPECT_EQ(ref.removeReference(), 2);
  EXPECT_EQ(ref.removeReference(), 1);
  EXPECT_EQ(ref.removeReference(), 0);
}

TEST(Mutex, MadeOnceOnFirstAcquireAndDeletedOnlyWhenMade) {
  RWLockCounters before = rwLockCounters();
  {
    RWMutex never;
    EXPECT_FALSE(never.created());
  }
  RWLockCounters after = rwLockCounters();
  EXPECT_EQ(after.created, before.created);
  EXPECT_EQ(after.deleted, before.deleted);

  {
    RWMutex lock;
    lock.acquire();
    lock.acquire();  // re-entrant for the holder
    lock.release();
    lock.release();
    RWGuard g(lock);
    EXPECT_TRUE(lock.created());
    EXPECT_EQ(rwLockCounters().created, before.created + 1);
  }
  EXPECT_EQ(rwLockCounters().deleted, before.deleted + 1);
}

TEST(Mutex, AllZeroStaticLockNeedsNoConstructor) {
  static constinit RWMutex early;
  RWGuard g(early);
  EXPECT_TRUE(early.created());
}

TEST(Reference, ExactlyOneReleasingThreadSeesZero) {
  constexpr int threads = 8;
  constexpr int per = 2000;
  RWReference ref;
  for (int i = 0; i < threads * per - 1; ++i) ref.addReference();
  std::atomic<int> zeros{0};
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t)
    pool.emplace_back([&] {
      // Adds and removes race with the other threads' releases; while this
      // thread still holds its own references no release of its can be the last.
      for (int i = 0; i < per; ++i) {
        ref.addReference();
        if (ref.removeReference() == 0) zeros.fetch_add(1);
      }
      for (int i = 0; i < per; ++i)
        if (ref.removeReference() == 0) zeros.fetch_add(1);
    });
  for (auto& t : pool) t.join();
  EXPECT_EQ(zeros.load(), 1);
  EXPECT_EQ(ref.references(), -1);
}

void first() { fputs("first\n", stderr); }
void second() { fputs("second\n", stderr); }

TEST(ExitRoutines, RunNewestFirstAtProcessExit) {
  // In a child process, so that the test run keeps its own exit table.
  EXPECT_EXIT(
      {
        rwAtExit(first);
        rwAtExit(second);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "second\nfirst\n");
}

}  // namespace
