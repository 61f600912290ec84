// The per-thread instance registry and its managers.

#include <gtest/gtest.h>

#include <thread>

#include "rw/instmgr.h"
#include "rw/rwstore.h"

namespace {

class Counted : public RWThreadInstanceManager {
 public:
  int made = 0;
  int destroyed = 0;

 protected:
  void* create() override {
    ++made;
    return new int(made);
  }
  void destroy(void* p) override {
    ++destroyed;
    delete static_cast<int*>(p);
  }
};

TEST(ThreadInstances, KeysAreHandedOutInOrder) {
  // the persistence tables' managers are made first, while the library loads
  EXPECT_EQ(rwStoreTableManager().key(), 1u);
  EXPECT_EQ(rwReadTableManager().key(), 2u);
  Counted a, b;
  EXPECT_EQ(b.key(), a.key() + 1);
}

TEST(ThreadInstances, SetKeepsTheFirstValue) {
  std::thread([] {
    int x = 1, y = 2;
    EXPECT_EQ(RWThreadRegistry::get(900), nullptr);
    EXPECT_FALSE(RWThreadRegistry::hasEntry());
    EXPECT_EQ(RWThreadRegistry::set(900, &x), 1);
    EXPECT_EQ(RWThreadRegistry::set(900, &y), 0);
    EXPECT_EQ(RWThreadRegistry::get(900), &x);
    EXPECT_EQ(RWThreadRegistry::set(901, &y), 1);
    EXPECT_EQ(RWThreadRegistry::take(900), &x);
    EXPECT_EQ(RWThreadRegistry::get(900), nullptr);
    EXPECT_TRUE(RWThreadRegistry::hasEntry());  // 901 is still there
    EXPECT_EQ(RWThreadRegistry::take(901), &y);
    EXPECT_FALSE(RWThreadRegistry::hasEntry());
    EXPECT_EQ(RWThreadRegistry::take(901), nullptr);
  }).join();
}

TEST(ThreadInstances, ReleaseDestroysAndForgets) {
  std::thread([] {
    Counted m;
    EXPECT_EQ(m.current(), nullptr);
    void* p = m.makeCurrent();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(m.current(), p);
    m.release();
    EXPECT_EQ(m.current(), nullptr);
    EXPECT_EQ(m.destroyed, 1);
    EXPECT_FALSE(RWThreadRegistry::hasEntry());
  }).join();
}

TEST(ThreadInstances, AnotherThreadNeverSeesTheValue) {
  Counted m;
  void* mine = m.makeCurrent();
  void* seenThere = reinterpret_cast<void*>(1);
  void* madeThere = nullptr;
  std::thread([&] {
    seenThere = m.current();
    madeThere = m.makeCurrent();
    m.release();
  }).join();
  EXPECT_EQ(seenThere, nullptr);
  EXPECT_NE(madeThere, mine);
  EXPECT_EQ(m.current(), mine);
  m.release();
  EXPECT_EQ(m.destroyed, 2);
}

}  // namespace
