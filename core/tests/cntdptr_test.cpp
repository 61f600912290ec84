// Counted pointers and counted references: sharing, release, take and the
// stored form of a pointer.

#include <gtest/gtest.h>

#include <optional>
#include <type_traits>
#include <utility>

#include "core/cntdptr.h"
#include "core/perobj.h"
#include "fixtures.h"
#include "rw/rwstore.h"

namespace {

TEST(CountedPtr, TheLastOfTwoPointersDeletesOnce) {
  const int before = TestLeaf::destroyed;
  TestLeaf* leaf = new TestLeaf(1);
  EXPECT_EQ(leaf->references(), 0);
  std::optional<GCountedPtr> a, b;
  a.emplace(leaf);
  b.emplace(*a);
  EXPECT_EQ(leaf->references(), 2);
  a.reset();
  EXPECT_EQ(TestLeaf::destroyed, before);
  EXPECT_EQ(leaf->references(), 1);
  b.reset();
  EXPECT_EQ(TestLeaf::destroyed, before + 1);
}

TEST(CountedPtr, AssigningTheSamePointeeChangesNoCount) {
  GCountedPtr a(new TestLeaf(1));
  GCountedPtr b(a);
  GCountedPtr& alias = a;
  a = alias;
  a = b;
  a = a.get();
  EXPECT_EQ(a->references(), 2);
  EXPECT_TRUE(a == b);

  const int before = TestLeaf::destroyed;
  GCountedPtr c(new TestLeaf(2));
  c = a;  // the only reference to leaf 2 goes
  EXPECT_EQ(TestLeaf::destroyed, before + 1);
  EXPECT_EQ(a->references(), 3);
  c = nullptr;
  EXPECT_TRUE(c.isNil());
  EXPECT_EQ(a->references(), 2);
}

TEST(CountedPtr, TakeHandsOverTheSoleObjectOrACopy) {
  TestLeaf* leaf = new TestLeaf(4, 40);
  GCountedPtr sole(leaf);
  MPersistentObject* taken = sole.take();
  EXPECT_EQ(taken, leaf);
  EXPECT_EQ(leaf->references(), 0) << "back to no reference: the caller owns it";
  EXPECT_TRUE(sole.isNil());
  EXPECT_EQ(sole.take(), nullptr);

  GCountedPtr one(leaf), two(leaf);
  MPersistentObject* copy = one.take();
  ASSERT_NE(copy, leaf);
  EXPECT_TRUE(copy->isEqual(leaf));
  EXPECT_EQ(copy->serialNumber(), leaf->serialNumber());
  EXPECT_EQ(leaf->references(), 1);
  delete copy;

  TestLeaf* next = new TestLeaf(5);
  MPersistentObject* previous = two.exchange(next);
  EXPECT_EQ(previous, leaf) << "two held the last reference";
  EXPECT_EQ(two.get(), next);
  EXPECT_EQ(next->references(), 1);
  delete previous;
}

TEST(CountedPtr, DeepCopyOfThePointeeIsUnreferenced) {
  GCountedPtr p(new TestLeaf(6, 60));
  MPersistentObject* copy = p.deepCopy();
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, p.get());
  EXPECT_EQ(copy->references(), 0);
  EXPECT_TRUE(copy->isEqual(p.get()));
  delete copy;
  EXPECT_EQ(GCountedPtr().deepCopy(), nullptr);
  EXPECT_TRUE(p.isKindOf(773));
  EXPECT_EQ(p.newSpecies(), nullptr);
  EXPECT_EQ(p.copy(), nullptr);
}

TEST(CountedRef, SharesLikeThePointer) {
  const int before = TestLeaf::destroyed;
  {
    GCountedRef a(new TestLeaf(1));
    GCountedRef b = a;
    EXPECT_EQ(a->references(), 2);
    GCountedRef c;
    c = b;
    const GCountedRef& same = c;  // assigned to itself
    c = same;
    EXPECT_EQ(a->references(), 3);
    c = GCountedRef::nil();
    EXPECT_EQ(c.get(), GCountedRef::nil().get());
    EXPECT_EQ(a->references(), 2);
  }
  EXPECT_EQ(TestLeaf::destroyed, before + 1);
  EXPECT_TRUE(GCountedRef::nil().isNil());
}

// Moving a holder hands its reference over: the source is left nil and the
// count stays what it was; a move-assignment lets go of what the target
// held before.
template <class Holder>
void expectMovesHandTheReferenceOver() {
  static_assert(std::is_nothrow_move_constructible_v<Holder> && std::is_nothrow_move_assignable_v<Holder>);
  const int before = TestLeaf::destroyed;
  {
    TestLeaf* leaf = new TestLeaf(1);
    Holder a(leaf);
    Holder b(std::move(a));
    EXPECT_TRUE(a.isNil());
    EXPECT_EQ(b.get(), leaf);
    EXPECT_EQ(leaf->references(), 1);

    Holder c(new TestLeaf(2));
    c = std::move(b);  // c held the only reference to leaf 2
    EXPECT_EQ(TestLeaf::destroyed, before + 1);
    EXPECT_TRUE(b.isNil());
    EXPECT_EQ(c.get(), leaf);
    EXPECT_EQ(leaf->references(), 1);

    // Two holders of one object: moving one onto the other leaves one.
    Holder d(c);
    EXPECT_EQ(leaf->references(), 2);
    d = std::move(c);
    EXPECT_TRUE(c.isNil());
    EXPECT_EQ(leaf->references(), 1);
    Holder& alias = d;
    d = std::move(alias);
    EXPECT_EQ(d.get(), leaf);
    EXPECT_EQ(leaf->references(), 1);

    // A moved-from holder is a nil one, and holds again.
    a = d;
    EXPECT_EQ(leaf->references(), 2);
    EXPECT_EQ(TestLeaf::destroyed, before + 1);
  }
  EXPECT_EQ(TestLeaf::destroyed, before + 2);
}

TEST(CountedPtr, MovesHandTheReferenceOver) { expectMovesHandTheReferenceOver<GCountedPtr>(); }
TEST(CountedRef, MovesHandTheReferenceOver) { expectMovesHandTheReferenceOver<GCountedRef>(); }

class CountedPtrStore : public StoreTest {};

TEST_F(CountedPtrStore, NilIsTheNilRecord) {
  GCountedPtr nil;
  EXPECT_EQ(storeFile(&nil), le32(0x8888) + le16(773) + bytes({0xFF, 0xFF}) + le32(0));
  RWUseStoreTable table;  // inside a store, as every member is sized
  EXPECT_EQ(nil.binaryStoreSize(), 6u);
}

TEST_F(CountedPtrStore, PointeeStoresAsAnObject) {
  MPersistentObject::presetSerialCounter(20);
  GCountedPtr p(new TestLeaf(2, -1));
  const std::string leafBytes = le16(0x7001) + le32(1) + le32(2) + le32(20) + le32(1) + le32(0xFFFFFFFF);
  EXPECT_EQ(storeFile(&p), le32(0x8888) + le16(773) + leafBytes);
  {
    RWUseStoreTable table;
    EXPECT_EQ(p.binaryStoreSize(), leafBytes.size());
  }

  // Restoring into a pointer that held the last reference to its object
  // deletes that object and shares the restored one.
  GCountedPtr q(new TestLeaf(9));
  const int before = TestLeaf::destroyed;
  {
    RWFile f(path().c_str(), "rb");
    f >> static_cast<RWCollectable&>(q);
  }
  EXPECT_EQ(TestLeaf::destroyed, before + 1);
  ASSERT_FALSE(q.isNil());
  EXPECT_TRUE(q->isEqual(p.get()));
  EXPECT_EQ(q->serialNumber(), 20u);
  EXPECT_EQ(q->references(), 1);
}

TEST_F(CountedPtrStore, AnObjectOfAnotherFamilyRestoresAsNil) {
  putBytes(le32(0x8888) + le16(773) + le16(RWCollectable::classIsA()));
  GCountedPtr q(new TestLeaf(9));
  RWFile f(path().c_str(), "rb");
  f >> static_cast<RWCollectable&>(q);
  EXPECT_TRUE(q.isNil());
}

}  // namespace
