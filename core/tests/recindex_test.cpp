// The records of an on-disk store's index: keys, counts, stored forms, and
// what a damaged index restores to.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <type_traits>
#include <utility>

#include "core/pcomposit.h"
#include "core/recindex.h"
#include "fixtures.h"
#include "rw/rwfile.h"
#include "rw/pstream.h"
#include "rw/vstream.h"

namespace {

std::string keyOf(uint32_t serial) {
  char key[GRecord::keyLength + 1];
  GRecord::formatKey(serial, key);
  for (RWsize i = std::string(key).size(); i <= GRecord::keyLength; ++i) EXPECT_EQ(key[i], 0);
  return key;
}

GRecordRef leafRecord(uint32_t id) {
  TestLeaf leaf(id);
  return GRecordRef(new GRecord(leaf));
}

}  // namespace

TEST(RecordKey, IsTheSerialInLowerCaseHexWithoutLeadingZeros) {
  const struct {
    uint32_t serial;
    const char* key;
  } cases[] = {{0, "0"}, {1, "1"}, {0x1A, "1a"}, {255, "ff"}, {0x10, "10"}, {0x80000000u, "80000000"},
               {0xFFFFFFFFu, "ffffffff"}};
  for (const auto& c : cases) EXPECT_EQ(keyOf(c.serial), c.key) << c.serial;
}

TEST(RecordIndex, TakesItsValuesFromTheObject) {
  TestLeaf leaf(42);
  leaf.setSerialNumber(0x1A);
  GRecord r(leaf);
  EXPECT_EQ(r.classId(), TestLeaf::classIsA());
  EXPECT_EQ(r.serial(), 0x1Au);
  EXPECT_EQ(r.id(), 42u);
}

TEST(RecordIndex, LeafCountAddsUpNestedComposites) {
  MPersistentComposite shape;
  GRecordRef outer(new GRecordComposite(shape));
  GRecordRef inner(new GRecordComposite(shape));
  for (uint32_t i = 0; i < 3; ++i) inner->addChild(leafRecord(i));
  outer->addChild(leafRecord(10));
  outer->addChild(inner);
  outer->addChild(leafRecord(11));
  EXPECT_EQ(outer->leafCount(), 5u);
  EXPECT_EQ(outer->children()->childCount(), 3u);
  EXPECT_EQ(leafRecord(1)->leafCount(), 1u);
  EXPECT_EQ(leafRecord(1)->children(), nullptr);

  // A copy shares the child records.
  GRecordRef copied(static_cast<GRecord*>(outer->copy()));
  EXPECT_EQ(copied->leafCount(), 5u);
  GRecordLink* first = static_cast<GRecordLink*>(copied->children()->list().first());
  EXPECT_EQ(first->record.get(), static_cast<GRecordLink*>(outer->children()->list().first())->record.get());
}

TEST(RecordRef, MovingHandsTheReferenceOver) {
  static_assert(std::is_nothrow_move_constructible_v<GRecordRef> && std::is_nothrow_move_assignable_v<GRecordRef>);
  GRecordRef a = leafRecord(1);
  GRecord* first = a.get();
  const int32_t one = first->referenceCount().references();
  GRecordRef b(std::move(a));
  EXPECT_TRUE(a.isNil());
  EXPECT_EQ(b.get(), first);
  EXPECT_EQ(first->referenceCount().references(), one);

  GRecordRef c = leafRecord(2);
  GRecordRef watch(c);
  c = std::move(b);  // lets go of record 2, which watch still holds
  EXPECT_TRUE(b.isNil());
  EXPECT_EQ(c.get(), first);
  EXPECT_EQ(first->referenceCount().references(), one);
  EXPECT_EQ(watch->referenceCount().references(), one);

  GRecordRef& alias = c;
  c = std::move(alias);
  EXPECT_EQ(c.get(), first);
  EXPECT_EQ(first->referenceCount().references(), one);
  // A moved-from reference is a nil one, and holds again.
  a = c;
  EXPECT_EQ(first->referenceCount().references(), one + 1);
}

class RecordStoreTest : public StoreTest {};

TEST_F(RecordStoreTest, StoredFormsMatchTheirBytes) {
  TestLeaf leaf(7);
  leaf.setSerialNumber(0x1A);
  GRecordComposite root;
  root.addChild(GRecordRef(new GRecord(leaf)));

  const std::string record = le32(1) + le16(TestLeaf::classIsA()) + le32(0x1A) + le32(7);
  const std::string expected = le32(0x8888) + le16(785) + le32(1) + le16(0) + le32(0) + le32(0) + le32(1) +
                               le32(1) + le16(783) + record;
  EXPECT_EQ(storeFile(&root), expected);
  EXPECT_EQ(root.recursiveStoreSize(), expected.size());

  GRecordComposite* back = restoreFile<GRecordComposite>();
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(back->childCount(), 1u);
  GRecord* child = static_cast<GRecordLink*>(back->list().first())->record.get();
  EXPECT_EQ(child->classId(), TestLeaf::classIsA());
  EXPECT_EQ(child->serial(), 0x1Au);
  EXPECT_EQ(child->id(), 7u);
  delete back;
}

TEST_F(RecordStoreTest, AProxyWithoutAHandleStoresTheNilRecord) {
  GRecordProxy proxy;
  const std::string stored = storeFile(&proxy);
  EXPECT_EQ(stored.size(), proxy.recursiveStoreSize());
  EXPECT_EQ(stored.substr(6), le32(1) + le16(0) + le32(0) + le32(0) + le32(1) + storeFile(static_cast<const RWCollectable*>(nullptr)).substr(4));
}

TEST_F(RecordStoreTest, AStoredCountIsNotTrusted) {
  const std::string head = le32(0x8888) + le16(785) + le32(1) + le16(0) + le32(0) + le32(0) + le32(1);
  const std::string child = le16(783) + le32(1) + le16(5) + le32(9) + le32(3);
  const struct {
    const char* what;
    std::string body;
    RWsize children;
  } cases[] = {
      {"negative count", le32(0xFFFFFFFFu) + child, 0},
      {"count beyond the data", le32(1000000) + child + child, 2},
      {"cut inside a child", le32(2) + child + child.substr(0, 5), 1},
      // Index 1 is the root itself: a child that names it is refused.
      {"reference back to the root", le32(2) + child + le16(0xFFFF) + le32(1), 1},
  };
  for (const auto& c : cases) {
    ReportLog log;
    putBytes(head + c.body);
    GRecordComposite* back = restoreFile<GRecordComposite>();
    ASSERT_NE(back, nullptr) << c.what;
    EXPECT_EQ(back->childCount(), c.children) << c.what;
    EXPECT_EQ(back->leafCount(), c.children) << c.what;
    delete back;
  }
}

TEST(RecordIterator, WalksInOrderAndStartsAgainAfterTheEnd) {
  GRecordComposite root;
  for (uint32_t i = 1; i <= 3; ++i) root.addChild(leafRecord(i));
  GRecordIterator it(root.list());
  EXPECT_TRUE(it.current().isNil());
  std::string seen;
  while (it.advance()) seen += std::to_string(it.current()->id());
  EXPECT_EQ(seen, "123");
  EXPECT_TRUE(it.current().isNil());
  EXPECT_TRUE(it.retreat());
  EXPECT_EQ(it.current()->id(), 3u);
  EXPECT_TRUE(it.retreat());
  EXPECT_EQ(it.current()->id(), 2u);
  it.reset();
  EXPECT_FALSE(it.retreat());
  EXPECT_TRUE(it.advance());
  EXPECT_EQ(it.current()->id(), 1u);

  GRecordComposite empty;
  GRecordIterator none(empty.list());
  EXPECT_FALSE(none.advance());
  EXPECT_FALSE(none.advance());
}

TEST(RecordIndex, ComesBackWholeFromAVirtualStream) {
  GRecordComposite root;
  root.addChild(leafRecord(1));
  MPersistentComposite shape(2);
  GRecordRef page(new GRecordComposite(shape));
  page->addChild(leafRecord(3));
  root.addChild(page);
  std::unique_ptr<GRecordComposite> back = throughStream<RWpostream, RWpistream>(&root);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->childCount(), 2u);
  EXPECT_EQ(back->leafCount(), 2u);
  GRecord* second = static_cast<GRecordLink*>(back->list().last())->record.get();
  EXPECT_EQ(second->id(), 2u);
  EXPECT_EQ(second->classId(), MPersistentComposite::classIsA());
  ASSERT_NE(second->children(), nullptr);
  EXPECT_EQ(static_cast<GRecordLink*>(second->children()->list().first())->record->id(), 3u);
}
