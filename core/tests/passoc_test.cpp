// Persistent associations and association lists.

#include <gtest/gtest.h>

#include <memory>

#include "core/passoc.h"
#include "fixtures.h"
#include "rw/rwstore.h"

namespace {

// A key leaf and a value leaf; keys match on id, values carry a number.
MPersistentAssociation* pair(uint32_t key, int32_t value, uint32_t id = 0) {
  return new MPersistentAssociation(new TestLeaf(key), new TestLeaf(0, value), id);
}

int32_t valueOf(const MPersistentObject* p) { return p ? static_cast<const TestLeaf*>(p)->value : -1; }

TEST(Association, CopyIsANewObjectWithItsOwnKeyAndValue) {
  MPersistentObject::presetSerialCounter(10);
  std::unique_ptr<MPersistentAssociation> a(pair(1, 100, 7));
  MPersistentAssociation b(*a);
  EXPECT_EQ(b.id(), 0u);
  EXPECT_NE(b.serialNumber(), a->serialNumber());
  EXPECT_NE(b.key(), a->key());
  EXPECT_NE(b.value(), a->value());
  EXPECT_TRUE(b.key()->isEqual(a->key()));
  EXPECT_EQ(valueOf(b.value()), 100);
  EXPECT_FALSE(b.matches(a.get())) << "ids differ";
  b.setId(7);
  EXPECT_TRUE(b.matches(a.get()));

  const int before = TestLeaf::destroyed;
  const uint32_t serial = b.serialNumber();
  MPersistentAssociation c(new TestLeaf(2), new TestLeaf(0, 200), 7);
  b = c;
  EXPECT_EQ(TestLeaf::destroyed, before + 2) << "the old key and value go";
  EXPECT_EQ(b.serialNumber(), serial);
  EXPECT_EQ(valueOf(b.value()), 200);
  EXPECT_TRUE(b.matches(&c));
  EXPECT_FALSE(b.matches(a.get()));
  EXPECT_TRUE(b.isKindOf(771));
  EXPECT_TRUE(b.isKindOf(751));
}

TEST(AssociationList, InsertAssociationReplacesAMatchingKey) {
  MAssociationList list;
  list.insertAssociation(pair(1, 100));
  list.insertAssociation(pair(2, 200));
  const int before = TestLeaf::destroyed;
  list.insertAssociation(pair(1, 101));
  EXPECT_EQ(TestLeaf::destroyed, before + 2) << "the replaced association took its key and value";
  ASSERT_EQ(list.entries(), 2u);
  TestLeaf key1(1), key2(2), key3(3);
  EXPECT_EQ(valueOf(list.findValue(&key1)), 101);
  EXPECT_EQ(valueOf(list.findValue(&key2)), 200);
  EXPECT_EQ(list.children().pointee(0), list.find(&key2)) << "the new one is appended";

  // Absent keys.
  EXPECT_EQ(list.findValue(&key3), nullptr);
  EXPECT_EQ(list.find(&key3), nullptr);
  EXPECT_EQ(list.removeKey(&key3), nullptr);
  EXPECT_EQ(list.findValue(nullptr), nullptr);
  EXPECT_EQ(list.entries(), 2u);

  // An association already in the list stays.
  list.insertAssociation(list.find(&key2));
  EXPECT_EQ(list.entries(), 2u);
  EXPECT_EQ(valueOf(list.findValue(&key2)), 200);

  std::unique_ptr<MPersistentAssociation> removed(list.removeKey(&key1));
  ASSERT_NE(removed, nullptr);
  EXPECT_EQ(valueOf(removed->value()), 101);
  EXPECT_EQ(removed->references(), 0);
  EXPECT_EQ(list.entries(), 1u);
  std::unique_ptr<MPersistentAssociation> probe(pair(2, 0));
  std::unique_ptr<MPersistentAssociation> second(list.removeAssociation(probe.get()));
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(valueOf(second->value()), 200);
  EXPECT_EQ(list.entries(), 0u);
}

TEST(AssociationList, TheGenericInsertIgnoresTheObject) {
  MAssociationList list;
  std::unique_ptr<MPersistentAssociation> a(pair(1, 100));
  const int before = TestLeaf::destroyed;
  list.insert(a.get());
  EXPECT_EQ(list.entries(), 0u);
  EXPECT_EQ(a->references(), 0);
  EXPECT_EQ(TestLeaf::destroyed, before);
  list.prepend(nullptr);
  EXPECT_EQ(list.entries(), 0u);
}

TEST(AssociationList, DeepCopyCarriesTheAssociations) {
  MAssociationList list(12);
  list.insertAssociation(pair(1, 100));
  list.insertAssociation(pair(2, 200));
  std::unique_ptr<MPersistentObject> copy(list.deepCopy());
  auto* c = dynamic_cast<MAssociationList*>(copy.get());
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->id(), 12u);
  ASSERT_EQ(c->entries(), 2u);
  EXPECT_NE(c->children().pointee(0), list.children().pointee(0));
  TestLeaf key2(2);
  EXPECT_EQ(valueOf(c->findValue(&key2)), 200);
  EXPECT_NE(c->findValue(&key2), list.findValue(&key2));

  MAssociationList shared(list);
  EXPECT_EQ(shared.children().pointee(0), list.children().pointee(0));
  EXPECT_TRUE(shared.matches(&list));
  MPersistentComposite plain(12);
  EXPECT_FALSE(list.matches(&plain));
}

class AssociationStore : public StoreTest {};

TEST_F(AssociationStore, StoredFormWithANilValue) {
  MPersistentObject::presetSerialCounter(30);
  MPersistentAssociation a(new TestLeaf(5, 55), nullptr, 6);  // key 30, association 31
  const std::string stored = le32(0x8888) + le16(771) + le32(1) + le32(6) + le32(31) + le32(1) +  //
                             le16(0x7001) + le32(1) + le32(5) + le32(30) + le32(1) + le32(55) +   //
                             bytes({0xFF, 0xFF}) + le32(0);
  EXPECT_EQ(storeFile(&a), stored);
  {
    RWUseStoreTable table;
    EXPECT_EQ(a.binaryStoreSize(), stored.size() - 6);
  }

  MPersistentAssociation* back = restoreFile<MPersistentAssociation>();
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->value(), nullptr);
  ASSERT_NE(back->key(), nullptr);
  EXPECT_TRUE(back->key()->isEqual(a.key()));
  EXPECT_TRUE(back->matches(&a));
  delete back;
}

TEST_F(AssociationStore, ListLevelAndAnotherAssociationVersion) {
  MPersistentObject::presetSerialCounter(40);
  MAssociationList list(2);  // 40
  TestBare* key1 = new TestBare(1);     // 41
  TestBare* value9 = new TestBare(9);   // 42
  list.insertAssociation(new MPersistentAssociation(key1, value9, 0));  // 43
  const std::string stored = le32(0x8888) + le16(772) + le32(1) + le32(2) + le32(40) + le32(1) + le32(1) +  //
                             le16(771) + le32(1) + le32(0) + le32(43) + le32(1) +                         //
                             le16(0x7002) + le32(1) + le32(1) + le32(41) +                                //
                             le16(0x7002) + le32(1) + le32(9) + le32(42) +                                //
                             le32(1);
  EXPECT_EQ(storeFile(&list), stored);
  MAssociationList* back = restoreFile<MAssociationList>();
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(back->isEqual(&list));
  TestBare key(1);
  ASSERT_NE(back->findValue(&key), nullptr);
  EXPECT_EQ(back->findValue(&key)->id(), 9u);
  delete back;

  // An association level of version 2 reads neither key nor value.
  putBytes(le32(0x8888) + le16(771) + le32(1) + le32(0) + le32(0) + le32(2));
  MPersistentAssociation* skipped = restoreFile<MPersistentAssociation>();
  ASSERT_NE(skipped, nullptr);
  EXPECT_EQ(skipped->key(), nullptr);
  delete skipped;
}

TEST_F(AssociationStore, KeysAreNeverShared) {
  // The value is a reference to the key read just before it: the
  // association would own one object twice, so the value is refused.
  putBytes(le32(0x8888) + le16(771) + le32(1) + le32(0) + le32(0) + le32(1) +  //
           le16(0x7002) + le32(1) + le32(1) + le32(5) +                      //
           bytes({0xFF, 0xFF}) + le32(2));
  MPersistentAssociation* back = restoreFile<MPersistentAssociation>();
  ASSERT_NE(back, nullptr);
  ASSERT_NE(back->key(), nullptr);
  EXPECT_EQ(back->value(), nullptr);
  delete back;

  // A list restored from a damaged file may hold something other than
  // associations; lookups pass over it.
  putBytes(le32(0x8888) + le16(772) + le32(1) + le32(0) + le32(0) + le32(1) + le32(1) +  //
           le16(0x7002) + le32(1) + le32(1) + le32(5) + le32(1));
  MAssociationList* list = restoreFile<MAssociationList>();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->entries(), 1u);
  TestBare key(1);
  EXPECT_EQ(list->find(&key), nullptr);
  delete list;
}

}  // namespace
