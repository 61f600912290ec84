// The persistent object root: serial numbers, identity, the leaf's protocol
// defaults and the root level's stored form.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>
#include <set>

#include "core/pcomposit.h"
#include "fixtures.h"
#include "rw/bstream.h"

namespace {

TEST(Serials, CountFromOneAndCopiesKeepTheirSource) {
  MPersistentObject::presetSerialCounter(0);
  TestBare first;
  TestBare second(3);
  TestBare copy(second);
  EXPECT_EQ(first.serialNumber(), 1u);
  EXPECT_EQ(second.serialNumber(), 2u);
  EXPECT_EQ(copy.serialNumber(), 2u);
  EXPECT_EQ(copy.id(), 3u);
  EXPECT_EQ(first.id(), 0u);

  TestBare assigned;
  assigned = second;
  EXPECT_EQ(assigned.serialNumber(), 2u);
  EXPECT_EQ(assigned.references(), 0) << "counts are never copied";
}

TEST(Serials, TheWrapSkipsZero) {
  MPersistentObject::presetSerialCounter(0xFFFFFFFFu);
  TestBare last;
  TestBare afterWrap;
  EXPECT_EQ(last.serialNumber(), 0xFFFFFFFFu);
  EXPECT_EQ(afterWrap.serialNumber(), 1u);
  EXPECT_EQ(MPersistentObject::nextSerialNumber(), 2u);
}

// Threads take their numbers in blocks; no two objects made at once share
// one, and a preset still decides the next number on any thread, however
// much of its block another thread still holds.
TEST(Serials, ObjectsMadeOnSeveralThreadsNeverShareANumber) {
  MPersistentObject::presetSerialCounter(0xFFFFF000u);  // wraps on the way
  constexpr int kThreads = 4, kEach = 3000;
  std::vector<std::vector<uint32_t>> taken(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&taken, t] {
      for (int i = 0; i < kEach; ++i) taken[t].push_back(TestBare().serialNumber());
    });
  TestBare mine;  // this thread holds a block of its own now
  for (std::thread& thread : threads) thread.join();
  std::set<uint32_t> all{mine.serialNumber()};
  for (const auto& numbers : taken) all.insert(numbers.begin(), numbers.end());
  EXPECT_EQ(all.size(), size_t{kThreads * kEach + 1});
  EXPECT_EQ(all.count(0u), 0u);

  MPersistentObject::presetSerialCounter(500);
  uint32_t other = 0;
  std::thread([&other] { other = TestBare().serialNumber(); }).join();
  EXPECT_EQ(other, 500u);
  MPersistentObject::presetSerialCounter(900);
  EXPECT_EQ(MPersistentObject::nextSerialNumber(), 900u);
  EXPECT_EQ(TestBare().serialNumber(), 900u);
  EXPECT_EQ(TestBare().serialNumber(), 901u);
}

TEST(Identity, CompareToIsAnAddressOrderAndIsEqualNeedsOneClass) {
  TestLeaf objects[2] = {TestLeaf(5), TestLeaf(5)};
  EXPECT_EQ(objects[0].compareTo(&objects[0]), 0);
  EXPECT_EQ(objects[0].compareTo(&objects[1]), -1);
  EXPECT_EQ(objects[1].compareTo(&objects[0]), 1);

  TestBare bare(5);
  EXPECT_TRUE(objects[0].isEqual(&objects[1]));
  EXPECT_FALSE(objects[0].isEqual(&bare)) << "equal ids, other classes";
  objects[1].value = 9;
  EXPECT_FALSE(objects[0].isEqual(&objects[1]));

  EXPECT_TRUE(MPersistentObject::sameKindAndId(&objects[0], &objects[1]));
  EXPECT_FALSE(MPersistentObject::sameKindAndId(&objects[0], &bare));
  EXPECT_EQ(bare.kind(), TestBare::classIsA());
  EXPECT_TRUE(bare.isKindOf(751));
  EXPECT_FALSE(bare.isKindOf(TestBare::classIsA())) << "the root's kind test knows 751 alone";
}

// Every protocol operation a leaf answers with the root's default.
TEST(Leaf, ProtocolDefaults) {
  GCountedPtr holder(new TestLeaf(7));
  MPersistentObject& leaf = *holder;
  TestLeaf other(7);
  const struct {
    const char* what;
    std::function<bool()> holds;
  } cases[] = {
      {"findById of its own id answers itself", [&] { return leaf.findById(7) == &leaf; }},
      {"findById of another id answers null", [&] { return leaf.findById(8) == nullptr; }},
      {"findByClassId of its class", [&] { return leaf.findByClassId(TestLeaf::classIsA()) == &leaf; }},
      {"findByClassId of another class", [&] { return leaf.findByClassId(752) == nullptr; }},
      {"find of a matching object", [&] { return leaf.find(&other) == &leaf; }},
      {"findByKind of the root kind", [&] { return leaf.findByKind(751) == &leaf; }},
      {"remove answers null", [&] { return leaf.remove(&leaf) == nullptr; }},
      {"removeById answers null", [&] { return leaf.removeById(7) == nullptr; }},
      {"removeByClassId answers null", [&] { return leaf.removeByClassId(TestLeaf::classIsA()) == nullptr; }},
      {"replaceDeepById answers 0", [&] { return leaf.replaceDeepById(7, &other) == 0; }},
      {"replaceDeep answers 0", [&] { return leaf.replaceDeep(&leaf, &other) == 0; }},
      {"replaceById answers 0", [&] { return leaf.replaceById(7, &other) == 0; }},
      {"takeById answers the nil reference", [&] { return leaf.takeById(7).get() == GCountedRef::nil().get(); }},
      {"entries is 1", [&] { return leaf.entries() == 1; }},
      {"totalEntries is 1", [&] { return leaf.totalEntries() == 1; }},
      {"isComposite is 0", [&] { return !leaf.isComposite(); }},
      {"selectById of another id answers null", [&] { return leaf.selectById(8) == nullptr; }},
      {"selectById of its own id answers a new composite holding a reference",
       [&] {
         std::unique_ptr<MPersistentComposite> selected(leaf.selectById(7));
         return selected && selected->entries() == 1 && selected->children().pointee(0) == &leaf &&
                leaf.references() == 2;
       }},
      {"findCountedById of another id is nil", [&] { return leaf.findCountedById(8).isNil(); }},
      {"the iterator's first advance answers 0",
       [&] {
         std::unique_ptr<GChildIterator> it(leaf.createIterator());
         return it->advance() == 0 && it->current() == nullptr;
       }},
      {"insert ignores the object and leaves it to the caller",
       [&] {
         leaf.insert(&other);
         return leaf.entries() == 1 && other.references() == 0;
       }},
  };
  for (const auto& c : cases) EXPECT_TRUE(c.holds()) << c.what;
  EXPECT_EQ(holder->references(), 1) << "no default kept a reference";
}

TEST(Leaf, SelectAndCountedFindShareTheLeaf) {
  GCountedPtr holder(new TestLeaf(7));
  std::unique_ptr<MPersistentComposite> selected(holder->selectById(7));
  ASSERT_NE(selected, nullptr);
  EXPECT_EQ(selected->entries(), 1u);
  EXPECT_EQ(selected->children().pointee(0), holder.get());
  EXPECT_EQ(holder->references(), 2);
  {
    GCountedRef found = holder->findCountedById(7);
    EXPECT_EQ(found.get(), holder.get());
    EXPECT_EQ(holder->references(), 3);
  }
  selected.reset();
  EXPECT_EQ(holder->references(), 1);
}

class RootStore : public StoreTest {};

TEST_F(RootStore, RootLevelBytes) {
  MPersistentObject::presetSerialCounter(0x0A0B0C0D);
  TestBare bare(0x01020304);
  const std::string level = le32(1) + le32(0x01020304) + le32(0x0A0B0C0D);
  EXPECT_EQ(storeFile(&bare), le32(0x8888) + le16(0x7002) + level);
  EXPECT_EQ(bare.binaryStoreSize(), 12u);

  std::ostringstream out;
  {
    RWbostream s(out);
    s << static_cast<const RWCollectable*>(&bare);
  }
  EXPECT_EQ(out.str(), ":" + le16(0x7002) + "{" + level + "}");
}

TEST_F(RootStore, RestoreOfTheRootLevel) {
  const uint32_t storedSerialZero = 0, storedSerial = 5;
  const struct {
    const char* what;
    std::string root;      // the stored root level
    uint32_t id;           // expected after restore
    bool keepsConstructed;  // the serial number given at construction stays
    uint32_t serial;
  } cases[] = {
      {"stored serial 0 keeps the constructed one", le32(1) + le32(7) + le32(storedSerialZero), 7, true, 0},
      {"a stored serial replaces the constructed one", le32(1) + le32(7) + le32(storedSerial), 7, false, 5},
      {"version 2 skips the level", le32(2), 0, true, 0},
  };
  for (const auto& c : cases) {
    // The leaf's own level follows and must be read from the right offset.
    putBytes(le32(0x8888) + le16(0x7001) + c.root + le32(1) + le32(42));
    uint32_t constructed = MPersistentObject::nextSerialNumber();
    TestLeaf* leaf = restoreFile<TestLeaf>();
    ASSERT_NE(leaf, nullptr) << c.what;
    EXPECT_EQ(leaf->id(), c.id) << c.what;
    EXPECT_EQ(leaf->serialNumber(), c.keepsConstructed ? constructed : c.serial) << c.what;
    EXPECT_EQ(leaf->value, 42) << c.what;
    delete leaf;
  }
}

TEST_F(RootStore, TypedRestoreRefusesAnotherClass) {
  TestBare bare(4);
  storeFile(&bare);
  const int destroyedBefore = TestLeaf::destroyed;
  EXPECT_EQ(restoreFile<MPersistentComposite>(), nullptr);
  EXPECT_EQ(restoreFile<TestLeaf>(), nullptr);
  MPersistentObject* any = restoreFile<MPersistentObject>();
  ASSERT_NE(any, nullptr);
  EXPECT_EQ(any->isA(), TestBare::classIsA());
  delete any;

  RWCollectable plain;
  storeFile(&plain);
  EXPECT_EQ(restoreFile<MPersistentObject>(), nullptr) << "not a persistent object at all";
  EXPECT_EQ(TestLeaf::destroyed, destroyedBefore);
}

}  // namespace
