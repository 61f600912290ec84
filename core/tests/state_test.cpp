// States: one member per kind and id, replacement in place, merges that
// flag what they take over, and members that are never deleted while they
// are still held.

#include <gtest/gtest.h>

#include <memory>

#include "attrfix.h"
#include "core/state.h"
#include "core/valattr.h"
#include "fixtures.h"

namespace {

MPersistentObject* at(const GAttributeComposite& c, RWsize i) { return c.children().pointee(i); }

TEST(State, InsertReplacesByKindAndId) {
  GState s(243);
  TestPenAttr* pen = new TestPenAttr(7, 1);
  s.insert(pen);
  s.insert(new GValueAttribute(1, 7));  // another kind, same id: appended
  ASSERT_EQ(s.entries(), 2u);

  const int before = TestPenAttr::destroyed;
  s.insert(new TestPenAttr(7, 1));
  EXPECT_EQ(TestPenAttr::destroyed, before + 1) << "an equal one is deleted";
  EXPECT_EQ(at(s, 0), pen);

  pen->resetChanged();
  TestNoPenAttr* noPen = new TestNoPenAttr(7);
  noPen->resetChanged();
  s.insert(noPen);
  EXPECT_EQ(TestPenAttr::destroyed, before + 2) << "the replaced pen went with its last reference";
  ASSERT_EQ(s.entries(), 2u);
  EXPECT_EQ(at(s, 0), noPen) << "same family, another class: replaced in place";
  EXPECT_EQ(noPen->isChanged(), 0) << "insert touches no flag";

  s.insert(new TestPenAttr(8));
  EXPECT_EQ(s.entries(), 3u);
  EXPECT_EQ(at(s, 2)->id(), 8u);
}

TEST(State, AMemberInsertedAgainIsNeverDeleted) {
  GState s(243);
  TestPenAttr* pen = new TestPenAttr(7, 1);
  s.insert(pen);
  const int before = TestPenAttr::destroyed;
  s.insert(pen);
  s.merge(pen);  // another id than the state's: handed to insert
  EXPECT_EQ(TestPenAttr::destroyed, before);
  ASSERT_EQ(s.entries(), 1u);
  EXPECT_EQ(at(s, 0), pen);
  EXPECT_EQ(pen->references(), 1);

  // An equal object that other holders share is not kept, and not deleted.
  GCountedPtr elsewhere(new TestPenAttr(7, 1));
  s.insert(elsewhere.get());
  EXPECT_EQ(TestPenAttr::destroyed, before);
  EXPECT_EQ(at(s, 0), pen);
  EXPECT_EQ(elsewhere->references(), 1);

  // A state of the same id sharing the very member: the merge finds it
  // in place and leaves it, its count and its flag alone.
  GState same(243);
  same.insert(pen);
  pen->resetChanged();
  s.merge(&same);
  EXPECT_EQ(TestPenAttr::destroyed, before);
  ASSERT_EQ(s.entries(), 1u);
  EXPECT_EQ(at(s, 0), pen);
  EXPECT_EQ(pen->references(), 2);
  EXPECT_EQ(pen->isChanged(), 0);
}

TEST(State, MergeLayersOneStateOverAnother) {
  GState a(243), b(243);
  TestPenAttr* aDiffers = new TestPenAttr(1, 1);
  TestPenAttr* aEqual = new TestPenAttr(2, 2);
  TestPenAttr* aOnly = new TestPenAttr(3, 3);
  GState* aNested = new GState(246);
  TestPenAttr* aNestedPen = new TestPenAttr(10, 10);
  aNested->insert(aNestedPen);
  for (GAttribute* m : {static_cast<GAttribute*>(aDiffers), static_cast<GAttribute*>(aEqual),
                        static_cast<GAttribute*>(aOnly), static_cast<GAttribute*>(aNested)}) {
    a.insert(m);
  }
  a.clearChanged();
  aNestedPen->resetChanged();

  TestPenAttr* bDiffers = new TestPenAttr(1, 100);
  TestPenAttr* bEqual = new TestPenAttr(2, 2);
  TestPenAttr* bNew = new TestPenAttr(4, 4);
  GState* bNested = new GState(246);
  TestPenAttr* bNestedPen = new TestPenAttr(11, 11);
  bNested->insert(bNestedPen);
  for (GAttribute* m : {static_cast<GAttribute*>(bDiffers), static_cast<GAttribute*>(bEqual),
                        static_cast<GAttribute*>(bNested), static_cast<GAttribute*>(bNew)}) {
    m->resetChanged();
    b.insert(m);
  }
  bNestedPen->resetChanged();

  a.merge(&b);
  ASSERT_EQ(a.entries(), 5u);
  EXPECT_EQ(at(a, 0), bDiffers) << "the differing member is B's object, shared";
  EXPECT_EQ(bDiffers->references(), 2);
  EXPECT_EQ(bDiffers->isChanged(), 1);
  EXPECT_EQ(at(a, 1), aEqual) << "an equal member stays";
  EXPECT_EQ(aEqual->isChanged(), 0);
  EXPECT_EQ(bEqual->references(), 1);
  EXPECT_EQ(at(a, 2), aOnly) << "a member B lacks survives";
  EXPECT_EQ(at(a, 3), aNested) << "nested states merge instead of being replaced";
  ASSERT_EQ(aNested->entries(), 2u);
  EXPECT_EQ(at(*aNested, 0), aNestedPen);
  EXPECT_EQ(at(*aNested, 1), bNestedPen);
  EXPECT_EQ(bNestedPen->isChanged(), 1);
  EXPECT_EQ(aNested->isChanged(), 0) << "only taken-over objects are flagged";
  EXPECT_EQ(at(a, 4), bNew);
  EXPECT_EQ(bNew->isChanged(), 1);

  RecordingStage stage;
  EXPECT_EQ(a.accept(stage), 0);
  EXPECT_EQ(stage.seen, (std::vector<const MPersistentObject*>{bDiffers, bNew}));
}

TEST(State, MergeOfASingleAttribute) {
  GState s(243);
  TestPenAttr* pen = new TestPenAttr(7, 1);
  s.insert(pen);
  s.clearChanged();

  TestPenAttr* fresh = new TestPenAttr(9, 9);
  fresh->resetChanged();
  s.merge(fresh);
  ASSERT_EQ(s.entries(), 2u);
  EXPECT_EQ(at(s, 1), fresh);
  EXPECT_EQ(fresh->isChanged(), 1);

  TestPenAttr* replacing = new TestPenAttr(7, 2);
  replacing->resetChanged();
  s.merge(replacing);
  EXPECT_EQ(at(s, 0), replacing);
  EXPECT_EQ(replacing->isChanged(), 1);

  const int before = TestPenAttr::destroyed;
  s.merge(new TestPenAttr(7, 2));
  EXPECT_EQ(TestPenAttr::destroyed, before + 1) << "an equal one is given up and deleted";
  EXPECT_EQ(replacing->isChanged(), 1);
}

class StateStore : public StoreTest {};

TEST_F(StateStore, CorrespondingMembersRestoreInStoredOrder) {
  // State 243 (changed 1) with two pens of id 7: values 1 then 2.
  auto pen = [](uint32_t serial, uint32_t value) {
    return le16(0x7101) + le32(1) + le32(7) + le32(serial) + le32(1) + le32(1) + le32(1) + le32(value);
  };
  const std::string stored = le32(0x8888) + le16(758) + le32(1) + le32(243) + le32(50) + le32(1) + le32(1) +
                             le32(1) + le32(2) + pen(51, 1) + pen(52, 2) + le32(1);
  putBytes(stored);
  std::unique_ptr<GState> back(restoreFile<GState>());
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(back->entries(), 2u);
  EXPECT_EQ(static_cast<TestPenAttr*>(at(*back, 0))->value, 1);
  EXPECT_EQ(static_cast<TestPenAttr*>(at(*back, 1))->value, 2);
  EXPECT_EQ(storeFile(back.get()), stored);
  EXPECT_EQ(back->binaryStoreSize() + 6, stored.size());

  // The second correspondent is a member too: inserting it again keeps it.
  MPersistentObject* second = at(*back, 1);
  back->insert(second);
  EXPECT_EQ(at(*back, 1), second);
  EXPECT_EQ(second->references(), 1);
}

}  // namespace
