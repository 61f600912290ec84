// Resource mappings, their list and selection strings: what add refuses,
// what the searches find in a restored list, and the stored forms.

#include <gtest/gtest.h>

#include <memory>

#include "devfix.h"
#include "device/resmap.h"

namespace {

TEST(ResourceMapping, ANewMappingNamesNoResource) {
  GResourceMapping m;
  EXPECT_EQ(m.resourceId(), 0x0FFFFFFFu);
  EXPECT_EQ(m.firstCode(), 0);
  EXPECT_EQ(m.secondCode(), 0);
  EXPECT_EQ(m.id(), 0u);
  GResourceMapping same(0x0FFFFFFF, 0, 0), other(0x0FFFFFFF, 1, 0);
  EXPECT_TRUE(m.matches(&same));
  EXPECT_FALSE(m.matches(&other));
}

TEST(ResourceMappingList, AddRefusesASecondCodeOrResourceAlreadyThere) {
  GResourceMappingList list;
  ASSERT_EQ(list.add(new GResourceMapping(100, 1, 10)), 1);
  const struct {
    const char* what;
    uint32_t resourceId;
    uint16_t firstCode;
    int16_t secondCode;
    int answer;
  } cases[] = {
      {"same first code, new second code and resource", 200, 1, 11, 1},
      {"same second code, new first code", 300, 2, 10, 0},
      {"same second code and first code", 301, 1, 10, 0},
      {"same resource", 100, 5, 12, 0},
      {"resource 0, first time", 0, 7, 20, 1},
      {"resource 0 again", 0, 8, 21, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const RWsize before = list.entries();
    auto* m = new GResourceMapping(c.resourceId, c.firstCode, c.secondCode);
    EXPECT_EQ(list.add(m), c.answer);
    EXPECT_EQ(list.entries(), before + (c.answer ? 1 : 0));
    if (!c.answer) {
      EXPECT_EQ(m->references(), 0) << "the caller keeps it";
      delete m;
    }
  }
  EXPECT_EQ(list.add(nullptr), 0);
  GResourceMapping* held = list.findBySecondCode(11);
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(list.add(held), 0) << "a mapping already held stays as it is";
  EXPECT_EQ(list.entries(), 3u);
}

TEST(ResourceMappingList, GenericInsertIsIgnored) {
  GResourceMappingList list(4);
  GResourceMapping stray(1, 2, 3);
  list.insert(&stray);  // would be deleted on release if the list took it
  EXPECT_EQ(list.entries(), 0u);
  EXPECT_EQ(stray.references(), 0);
}

TEST(ResourceMappingList, FindsAndRemovesByEachCode) {
  GResourceMappingList list;
  list.add(new GResourceMapping(100, 1, 10));
  list.add(new GResourceMapping(200, 2, 20));
  EXPECT_EQ(list.findByFirstCode(2)->resourceId(), 200u);
  EXPECT_EQ(list.findBySecondCode(10)->firstCode(), 1);
  EXPECT_EQ(list.findByResourceId(200)->secondCode(), 20);
  EXPECT_EQ(list.findByFirstCode(9), nullptr);
  EXPECT_EQ(list.removeByFirstCode(9), nullptr);
  EXPECT_EQ(list.entries(), 2u);

  std::unique_ptr<GResourceMapping> taken(list.removeBySecondCode(10));
  ASSERT_NE(taken, nullptr);
  EXPECT_EQ(taken->resourceId(), 100u);
  EXPECT_EQ(taken->references(), 0) << "now the caller's alone";
  EXPECT_EQ(list.entries(), 1u);
  std::unique_ptr<GResourceMapping> last(list.removeByResourceId(200));
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(list.entries(), 0u);
}

TEST(ResourceMappingList, ADeepCopyHoldsCopiesOfTheMappings) {
  GResourceMappingList list(6);
  list.add(new GResourceMapping(100, 1, 10));
  list.add(new GResourceMapping(200, 2, 20));
  std::unique_ptr<MPersistentObject> copy(list.deepCopy());
  auto* copied = dynamic_cast<GResourceMappingList*>(copy.get());
  ASSERT_NE(copied, nullptr);
  EXPECT_EQ(copied->id(), 6u);
  ASSERT_EQ(copied->entries(), 2u);
  EXPECT_NE(copied->findBySecondCode(20), list.findBySecondCode(20));
  EXPECT_TRUE(copied->matches(&list));
}

class MappingStore : public StoreTest {};

TEST_F(MappingStore, RestoredDuplicatesAreKeptAndTheEarlierFound) {
  GResourceMappingList list(1);
  list.add(new GResourceMapping(100, 1, 10));
  // Put in past add, as a stored file may hold it.
  list.MPersistentComposite::insert(new GResourceMapping(200, 2, 10));
  storeFile(&list);
  std::unique_ptr<GResourceMappingList> back(restoreFile<GResourceMappingList>());
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->entries(), 2u);
  EXPECT_EQ(back->findBySecondCode(10)->resourceId(), 100u);
  EXPECT_TRUE(back->matches(&list));
}

TEST_F(MappingStore, AMappingStoresItsResourceAndTwoCodes) {
  GResourceMapping m(0x01020304, 0xA0B0, -2, 5);
  m.setSerialNumber(33);
  EXPECT_EQ(storeFile(&m),
            fileHead(1004) + rootLevel(5, 33) + le32(1) + le32(0x01020304) + le16(0xA0B0) + le16(0xFFFE));
  EXPECT_EQ(m.binaryStoreSize(), 12u + 12u);
}

TEST_F(MappingStore, SelectionStringBytesHaveTheTextFirst) {
  GSelectionString s("A", 2);
  s.setSerialNumber(40);
  EXPECT_EQ(storeFile(&s),
            fileHead(1008) + rootLevel(0, 40) + bytes({1, 0, 0, 0, 1, 0, 0, 0, 0x41, 2, 0}));
  EXPECT_EQ(s.binaryStoreSize(), 12u + 11u);
}

TEST(SelectionString, SelectorAndTextBothCount) {
  GSelectionString a("Letter", 1), b("Letter", 2), c("Letter", 1), d("Legal", 1), none(nullptr, 1);
  EXPECT_FALSE(a.matches(&b));
  EXPECT_TRUE(a.matches(&c));
  EXPECT_FALSE(a.matches(&d));
  EXPECT_EQ(none.text().length(), 0u);
  GSelectionString copy(a);
  EXPECT_TRUE(copy.matches(&a));
}

}  // namespace
