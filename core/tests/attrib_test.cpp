// Attributes and attribute composites: the changed flag, the visit of
// changed members, bulk flag setting, merge, the attribute test of insert,
// searches, and the stored form with entries that are not attributes.

#include <gtest/gtest.h>

#include <memory>

#include "attrfix.h"
#include "core/valattr.h"
#include "fixtures.h"
#include "rw/bstream.h"

namespace {

TEST(Attribute, ChangedFlagAndMerge) {
  TestPenAttr a(7, 1);
  EXPECT_EQ(a.isChanged(), 1);
  a.resetChanged();
  EXPECT_EQ(a.isChanged(), 0);
  EXPECT_TRUE(a.isKindOf(753));
  EXPECT_TRUE(a.isKindOf(751));
  EXPECT_FALSE(a.isKindOf(757));

  // The base merge takes id, serial number and flag of a differing one.
  TestPenAttr other(9, 1);
  a.merge(&other);
  EXPECT_EQ(a.id(), 9u);
  EXPECT_EQ(a.serialNumber(), other.serialNumber());
  EXPECT_EQ(a.isChanged(), 1);
  TestPenAttr same(9, 1);
  same.resetChanged();
  a.merge(&same);
  EXPECT_EQ(a.isChanged(), 1) << "nothing taken from an equal one";
  a.merge(nullptr);
}

TEST(AttributeComposite, InsertLetsInOnlyAttributes) {
  GAttributeComposite c(3);
  EXPECT_EQ(c.children().capacity(), 10u);
  c.insert(new TestPenAttr(1));
  const int leavesBefore = TestLeaf::destroyed;
  c.insert(new TestLeaf(2));
  EXPECT_EQ(TestLeaf::destroyed, leavesBefore + 1) << "not an attribute: deleted";
  EXPECT_EQ(c.entries(), 1u);
  c.insert(nullptr);
  EXPECT_EQ(c.entries(), 1u);

  // One that counted holders still share is refused but left to them.
  GCountedPtr shared(new TestLeaf(4));
  c.insert(shared.get());
  EXPECT_EQ(c.entries(), 1u);
  EXPECT_EQ(shared->references(), 1);

  // prepend is not an attribute-composite operation: the object is not
  // taken, and stays the caller's.
  TestPenAttr notTaken(5);
  c.prepend(&notTaken);
  EXPECT_EQ(c.entries(), 1u);
  EXPECT_EQ(notTaken.references(), 0);

  c.clear();
  EXPECT_EQ(c.entries(), 0u);
  EXPECT_EQ(c.children().capacity(), 64u);
}

struct ThreeMembers {
  ThreeMembers() : c(new GAttributeComposite(3)) {
    for (uint32_t i = 0; i < 3; ++i) {
      m[i] = new TestPenAttr(10 + i, static_cast<int32_t>(i));
      m[i]->resetChanged();
      c->insert(m[i]);
    }
  }
  std::unique_ptr<GAttributeComposite> c;
  TestPenAttr* m[3];
};

TEST(AttributeComposite, AcceptVisitsOnlyChangedMembers) {
  ThreeMembers t;
  t.m[1]->setChanged();
  RecordingStage stage;
  stage.answers[t.m[1]] = 5;
  EXPECT_EQ(t.c->accept(stage), 5);
  ASSERT_EQ(stage.seen.size(), 1u);
  EXPECT_EQ(stage.seen[0], t.m[1]);
  EXPECT_EQ(t.c->isChanged(), 0);
  EXPECT_EQ(t.m[1]->isChanged(), 1) << "the composite leaves the children's flags to their own accept";

  // Every changed member is visited after a failure; the last failure is
  // answered.
  for (auto* m : t.m) m->setChanged();
  stage.seen.clear();
  stage.answers = {{t.m[0], 3}, {t.m[1], 0}, {t.m[2], 0}};
  EXPECT_EQ(t.c->accept(stage), 3);
  EXPECT_EQ(stage.seen.size(), 3u);
  stage.answers = {{t.m[0], 3}, {t.m[2], 4}};
  EXPECT_EQ(t.c->accept(stage), 4);
  stage.answers.clear();
  EXPECT_EQ(t.c->accept(stage), 0);
}

TEST(AttributeComposite, MarkAndClearReachOneLevel) {
  ThreeMembers t;
  GAttributeComposite* nested = new GAttributeComposite(20);
  TestPenAttr* deep = new TestPenAttr(21);
  nested->insert(deep);
  deep->resetChanged();
  nested->resetChanged();
  t.c->insert(nested);
  t.c->resetChanged();

  t.c->markChanged();
  EXPECT_EQ(t.c->isChanged(), 1);
  for (auto* m : t.m) EXPECT_EQ(m->isChanged(), 1);
  EXPECT_EQ(nested->isChanged(), 1);
  EXPECT_EQ(deep->isChanged(), 0) << "one level deep";

  deep->setChanged();
  t.c->clearChanged();
  EXPECT_EQ(t.c->isChanged(), 0);
  for (auto* m : t.m) EXPECT_EQ(m->isChanged(), 0);
  EXPECT_EQ(nested->isChanged(), 0);
  EXPECT_EQ(deep->isChanged(), 1);
}

TEST(AttributeComposite, MergeByKindAndId) {
  GAttributeComposite a(3), b(3);
  TestPenAttr* x = new TestPenAttr(1, 1);
  b.insert(x);
  b.insert(new TestPenAttr(2, 2));
  a.merge(&b);
  ASSERT_EQ(a.entries(), 2u);
  EXPECT_NE(a.children().pointee(0), x) << "copies are appended";
  EXPECT_TRUE(a.children().pointee(0)->matches(x));
  EXPECT_EQ(x->references(), 1);

  TestPenAttr other(4, 4);
  a.merge(&other);
  ASSERT_EQ(a.entries(), 3u);
  EXPECT_TRUE(a.children().pointee(2)->matches(&other));
  EXPECT_NE(a.children().pointee(2), &other);

  GAttributeComposite otherId(5);
  otherId.insert(new TestPenAttr(6));
  a.merge(&otherId);
  ASSERT_EQ(a.entries(), 4u);
  EXPECT_EQ(a.children().pointee(3)->isA(), 757) << "a composite of another id is one member";
  EXPECT_EQ(a.children().pointee(3)->entries(), 1u);

  a.merge(&a);
  EXPECT_EQ(a.entries(), 8u) << "merging into itself copies each member once";
}

TEST(AttributeComposite, SearchesAndSelections) {
  ThreeMembers t;
  TestPenAttr probe(11, 1);
  EXPECT_EQ(t.c->find(&probe), t.m[1]) << "a leaf that matches answers";
  EXPECT_EQ(t.c->find(t.m[2]), t.m[2]);
  EXPECT_EQ(t.c->findById(12), t.m[2]);

  std::unique_ptr<GAttributeComposite> kinds(t.c->selectAttributesByKind(TestPenAttr::classIsA()));
  ASSERT_NE(kinds, nullptr);
  EXPECT_EQ(kinds->isA(), 757);
  EXPECT_EQ(kinds->entries(), 3u);
  EXPECT_EQ(kinds->children().pointee(0), t.m[0]) << "shared";
  EXPECT_EQ(t.c->selectAttributesByKind(0x7777), nullptr);
  std::unique_ptr<MPersistentComposite> plain(t.c->selectById(10));
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->entries(), 1u);
}

TEST(AttributeComposite, IteratorReplacesInPlace) {
  ThreeMembers t;
  std::unique_ptr<GChildIterator> it(t.c->createIterator());
  ASSERT_EQ(it->advance(), 1);
  ASSERT_EQ(it->advance(), 1);
  EXPECT_EQ(it->current(), t.m[1]);
  TestPenAttr* fresh = new TestPenAttr(99);
  it->replaceCurrent(fresh);
  EXPECT_EQ(t.c->children().pointee(1), fresh);
  EXPECT_EQ(it->advance(), 1);
  EXPECT_EQ(it->advance(), 0);
  EXPECT_EQ(it->advance(), 1) << "starts again after the end";
  EXPECT_EQ(it->current(), t.m[0]);
}

class AttributeStore : public StoreTest {};

// Composite 3 holding pen 4 (value 44, changed 0) and a nil entry.
std::string storedComposite(uint32_t compositeSerial, uint32_t penSerial) {
  return le32(0x8888) + le16(757) + le32(1) + le32(3) + le32(compositeSerial) + le32(1) + le32(1) + le32(1) +
         le32(2) +                                                                              //
         le16(0x7101) + le32(1) + le32(4) + le32(penSerial) + le32(1) + le32(0) + le32(1) + le32(44) +  //
         bytes({0xFF, 0xFF}) + le32(0);
}

TEST_F(AttributeStore, CompositeBytesAndTheChangedFlag) {
  MPersistentObject::presetSerialCounter(100);
  GAttributeComposite c(3);
  TestPenAttr* pen = new TestPenAttr(4, 44);
  pen->resetChanged();
  c.insert(pen);
  c.children().append(GCountedPtr());
  const std::string stored = storeFile(&c);
  EXPECT_EQ(stored, storedComposite(100, 101));
  EXPECT_EQ(c.binaryStoreSize() + 6, stored.size()) << "magic and class tag aside";

  std::unique_ptr<GAttributeComposite> back(restoreFile<GAttributeComposite>());
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->isChanged(), 1);
  ASSERT_EQ(back->entries(), 2u);
  EXPECT_EQ(static_cast<TestPenAttr*>(back->children().pointee(0))->isChanged(), 0) << "changed 0 restores as 0";
  EXPECT_TRUE(back->children().at(1)->isNil());
  EXPECT_EQ(back->children().capacity(), 64u);
  EXPECT_TRUE(back->matches(&c));
}

TEST_F(AttributeStore, WalksPassOverEntriesThatAreNotAttributes) {
  // A stored composite may hold anything: here a plain leaf, a nil entry
  // and a pen.
  MPersistentObject::presetSerialCounter(7);
  const std::string stored =
      le32(0x8888) + le16(757) + le32(1) + le32(3) + le32(7) + le32(1) + le32(1) + le32(1) + le32(3) +  //
      le16(0x7001) + le32(1) + le32(4) + le32(8) + le32(1) + le32(5) +                                 //
      bytes({0xFF, 0xFF}) + le32(0) +                                                                   //
      le16(0x7101) + le32(1) + le32(6) + le32(9) + le32(1) + le32(1) + le32(1) + le32(66);
  putBytes(stored);
  std::unique_ptr<GAttributeComposite> back(restoreFile<GAttributeComposite>());
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(back->entries(), 3u);
  MPersistentObject* pen = back->children().pointee(2);

  RecordingStage stage;
  EXPECT_EQ(back->accept(stage), 0);
  ASSERT_EQ(stage.seen.size(), 1u);
  EXPECT_EQ(stage.seen[0], pen);
  back->clearChanged();
  back->markChanged();
  EXPECT_EQ(static_cast<TestPenAttr*>(pen)->isChanged(), 1);

  GAttributeComposite target(3);
  target.merge(back.get());
  EXPECT_EQ(target.entries(), 1u) << "only the attribute is copied";

  EXPECT_EQ(storeFile(back.get()), stored) << "kept for the round trip";
}

TEST_F(AttributeStore, TypedRestoreAsAnAttribute) {
  TestPenAttr pen(4, 44);
  storeFile(&pen);
  std::unique_ptr<GAttribute> back(restoreFile<GAttribute>());
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->isA(), TestPenAttr::classIsA());
  EXPECT_TRUE(back->matches(&pen));

  MPersistentComposite plain(3);
  storeFile(&plain);
  EXPECT_EQ(restoreFile<GAttribute>(), nullptr) << "not an attribute";
}

TEST_F(AttributeStore, AStoredCountIsNotTrusted) {
  // Composite 3 promising 1000 children and holding one pen.
  putBytes(le32(0x8888) + le16(757) + le32(1) + le32(3) + le32(7) + le32(1) + le32(1) + le32(1) + le32(1000) +
           le16(0x7101) + le32(1) + le32(4) + le32(8) + le32(1) + le32(1) + le32(1) + le32(44));
  std::unique_ptr<GAttributeComposite> back(restoreFile<GAttributeComposite>());
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(back->entries(), 1u);
  EXPECT_EQ(static_cast<TestPenAttr*>(back->children().pointee(0))->value, 44);
}

TEST_F(AttributeStore, AnotherVersionKeepsTheFlag) {
  putBytes(le32(0x8888) + le16(0x7101) + le32(1) + le32(4) + le32(5) + le32(2) + le32(1) + le32(44));
  std::unique_ptr<TestPenAttr> back(restoreFile<TestPenAttr>());
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->isChanged(), 1);
}

}  // namespace
