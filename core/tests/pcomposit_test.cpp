// The persistent composite: its child vector, depth-first searches, removal
// and replacement, iteration, deep copies and its stored form.

#include <gtest/gtest.h>

#include <memory>

#include "core/pcomposit.h"
#include "fixtures.h"

namespace {

// [A(5){X(9)}, B(9)] under a root with id 9, held by the test.
struct Tree {
  Tree() {
    root.reset(new MPersistentComposite(9));
    a = new MPersistentComposite(5);
    x = new TestLeaf(9, 1);
    b = new TestLeaf(9, 2);
    a->insert(x);
    root->insert(a);
    root->insert(b);
  }
  std::unique_ptr<MPersistentComposite> root;
  MPersistentComposite* a;
  TestLeaf* x;
  TestLeaf* b;
};

TEST(Composite, CapacityGrowsBy64AndClearLeaves64) {
  MPersistentComposite c;
  EXPECT_EQ(c.entries(), 0u);
  EXPECT_EQ(c.totalEntries(), 1u);
  EXPECT_EQ(c.children().capacity(), 10u);
  for (uint32_t i = 0; i < 10; ++i) c.insert(new TestLeaf(i));
  EXPECT_EQ(c.children().capacity(), 10u);
  c.insert(new TestLeaf(10));
  EXPECT_EQ(c.children().capacity(), 74u);
  EXPECT_EQ(c.entries(), 11u);
  EXPECT_EQ(c.totalEntries(), 12u);
  for (uint32_t i = 0; i < 11; ++i) EXPECT_EQ(c.children().pointee(i)->id(), i) << "order kept";
  const int before = TestLeaf::destroyed;
  c.clear();
  EXPECT_EQ(TestLeaf::destroyed, before + 11);
  EXPECT_EQ(c.children().capacity(), 64u);
  EXPECT_EQ(c.entries(), 0u);
}

TEST(Composite, SearchesAreDepthFirstAndNeverTestTheComposite) {
  Tree t;
  EXPECT_EQ(t.root->findById(9), t.x);
  EXPECT_EQ(t.root->findById(5), t.a);
  EXPECT_EQ(t.root->findById(7), nullptr);
  EXPECT_EQ(t.root->findByClassId(TestLeaf::classIsA()), t.x);
  EXPECT_EQ(t.root->findByClassId(752), t.a);
  EXPECT_EQ(t.root->findByKind(751), t.a);
  TestLeaf probe(9, 2);
  EXPECT_EQ(t.root->find(&probe), t.b);
  EXPECT_TRUE(t.root->findCountedById(5).isNil()) << "counted finds test the composite itself";
  EXPECT_EQ(t.root->totalEntries(), 4u);
}

TEST(Composite, CollectAndSelectShareTheLeaves) {
  Tree t;
  std::unique_ptr<MPersistentComposite> selected(t.root->selectById(9));
  ASSERT_NE(selected, nullptr);
  ASSERT_EQ(selected->entries(), 2u);
  EXPECT_EQ(selected->children().pointee(0), t.x);
  EXPECT_EQ(selected->children().pointee(1), t.b);
  EXPECT_EQ(t.x->references(), 2);
  EXPECT_EQ(t.root->selectById(5), nullptr) << "a composite child is not tested itself";
  EXPECT_EQ(t.root->selectByClassId(0x7777), nullptr);
  std::unique_ptr<MPersistentComposite> kinds(t.root->selectByKind(TestLeaf::classIsA()));
  ASSERT_NE(kinds, nullptr);
  EXPECT_EQ(kinds->entries(), 2u);
}

TEST(Composite, RemoveAnswersTheSoleChildOrACopy) {
  Tree t;
  MPersistentObject* x = t.root->remove(t.x);
  EXPECT_EQ(x, t.x) << "held only by A";
  EXPECT_EQ(x->references(), 0);
  EXPECT_EQ(t.a->entries(), 0u);
  delete x;

  GCountedPtr elsewhere(t.b);
  MPersistentObject* b = t.root->removeById(9);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(b, t.b);
  EXPECT_TRUE(b->isEqual(t.b));
  EXPECT_EQ(t.b->references(), 1);
  delete b;
  EXPECT_EQ(t.root->entries(), 1u);
  EXPECT_EQ(t.root->remove(nullptr), nullptr);
  EXPECT_EQ(t.root->removeByClassId(0x7777), nullptr);
}

TEST(Composite, TheSameObjectTwiceIsTwoEntries) {
  MPersistentComposite c;
  TestLeaf* leaf = new TestLeaf(1);
  c.insert(leaf);
  c.insert(leaf);
  EXPECT_EQ(c.entries(), 2u);
  EXPECT_EQ(leaf->references(), 2);
  EXPECT_EQ(c.children().occurrencesOf(leaf), 2u);
  MPersistentObject* removed = c.remove(leaf);
  EXPECT_NE(removed, leaf) << "still shared by the second entry";
  delete removed;
  EXPECT_EQ(c.entries(), 1u);
  EXPECT_EQ(leaf->references(), 1);
  c.prepend(new TestLeaf(0));
  EXPECT_EQ(c.children().pointee(0)->id(), 0u);
  EXPECT_EQ(c.children().pointee(1), leaf);
}

TEST(Composite, ReplaceDeepStoresACopyAndLeavesTheArgument) {
  Tree t;
  TestLeaf replacement(9, 99);
  const int before = TestLeaf::destroyed;
  EXPECT_EQ(t.root->replaceDeepById(9, &replacement), 1);
  EXPECT_EQ(TestLeaf::destroyed, before + 1) << "X had its last reference in A";
  MPersistentObject* now = t.a->children().pointee(0);
  ASSERT_NE(now, nullptr);
  EXPECT_NE(now, &replacement);
  EXPECT_TRUE(now->isEqual(&replacement));
  EXPECT_EQ(now->references(), 1);
  EXPECT_EQ(replacement.references(), 0);

  EXPECT_EQ(t.root->replaceDeepById(77, &replacement), 0);
  EXPECT_EQ(t.root->replaceDeepById(9, nullptr), 0);
  EXPECT_EQ(t.root->replaceDeep(t.b, &replacement), 1);
  EXPECT_EQ(t.root->replaceDeepByKind(752, &replacement), 1);
  EXPECT_EQ(t.root->children().pointee(0)->isA(), TestLeaf::classIsA());
  EXPECT_EQ(t.root->replaceDeepByClassId(752, &replacement), 0);
}

TEST(Composite, IteratorRestartsAfterTheEnd) {
  MPersistentComposite c;
  for (uint32_t i = 0; i < 3; ++i) c.insert(new TestLeaf(i));
  std::unique_ptr<GChildIterator> it(c.createIterator());
  EXPECT_EQ(it->advance(), 1);
  EXPECT_EQ(it->current()->id(), 0u);
  EXPECT_EQ(it->advance(), 1);
  it->replaceCurrent(new TestLeaf(50));
  EXPECT_EQ(it->current()->id(), 50u);
  EXPECT_EQ(it->advance(), 1);
  EXPECT_EQ(it->advance(), 0);
  EXPECT_EQ(it->advance(), 1);
  EXPECT_EQ(it->current()->id(), 0u);
  EXPECT_EQ(c.children().pointee(1)->id(), 50u);
  EXPECT_EQ(c.entries(), 3u);
  it->reset();
  EXPECT_EQ(it->advance(), 1);
  EXPECT_EQ(it->current()->id(), 0u);
}

TEST(Composite, IteratorWithoutACurrentChildReports) {
  MPersistentComposite c;
  c.insert(new TestLeaf(1));
  c.insert(new TestLeaf(2));
  std::unique_ptr<GChildIterator> it(c.createIterator());
  it->advance();
  it->advance();
  delete c.removeById(2);
  ReportLog log;
  EXPECT_EQ(it->current(), nullptr);
  TestLeaf* spare = new TestLeaf(3);
  it->replaceCurrent(spare);  // nothing done: the object stays ours
  EXPECT_EQ(spare->references(), 0);
  delete spare;
  ASSERT_EQ(log.size(), 2u);
  EXPECT_TRUE(log[0].bounds);
  EXPECT_EQ(log[0].text, "[INDEXERR] Illegal Index (1) for collection or string with 1 elements");
  EXPECT_EQ(c.entries(), 1u);

  // Replacing the only child leaves the new one in its place.
  it->reset();
  it->advance();
  it->replaceCurrent(new TestLeaf(4));
  EXPECT_EQ(c.entries(), 1u);
  EXPECT_EQ(c.children().pointee(0)->id(), 4u);
  EXPECT_EQ(log.size(), 2u);
}

TEST(Composite, VectorPositionsAreChecked) {
  MPersistentComposite c;
  c.insert(new TestLeaf(1));
  ReportLog log;
  EXPECT_EQ(c.children().at(1), nullptr);
  c.children().insertAt(2, GCountedPtr());
  EXPECT_TRUE(c.children().removeAt(5).isNil());
  EXPECT_EQ(log.size(), 3u);
  EXPECT_EQ(c.entries(), 1u);
}

TEST(Composite, VectorFindsRemovesAndReshapesByPointee) {
  MPersistentComposite c;
  TestLeaf* twice = new TestLeaf(1);
  TestLeaf* other = new TestLeaf(2);
  TestLeaf* last = new TestLeaf(3);
  GCountedPtrVector& v = c.children();
  for (TestLeaf* p : {twice, other, twice, last}) v.append(GCountedPtr(p));
  TestLeaf equalButElsewhere(2);
  EXPECT_EQ(v.index(other), 1);
  EXPECT_EQ(v.index(&equalButElsewhere), -1) << "by address, not by content";
  EXPECT_EQ(v.remove(&equalButElsewhere), 0);
  EXPECT_EQ(v.removeAll(twice), 2u);
  EXPECT_EQ(v.entries(), 2u);
  EXPECT_EQ(v.pointee(0), other) << "the order of the rest is kept";
  EXPECT_EQ(v.pointee(1), last);
  EXPECT_EQ(v.remove(other), 1);
  EXPECT_EQ(v.pointee(0), last);

  v.append(GCountedPtr(new TestLeaf(4)));
  const int before = TestLeaf::destroyed;
  v.reshape(1);
  EXPECT_EQ(TestLeaf::destroyed, before + 1) << "what does not fit is released";
  EXPECT_EQ(v.capacity(), 1u);
  EXPECT_EQ(v.entries(), 1u);
  EXPECT_EQ(v.pointee(0), last);
}

TEST(Composite, DeepCopyKeepsIdsAndOrderWithFreshComposites) {
  Tree t;
  std::unique_ptr<MPersistentObject> copy(t.root->deepCopy());
  ASSERT_NE(copy, nullptr);
  EXPECT_TRUE(copy->isEqual(t.root.get()));
  EXPECT_EQ(copy->id(), 9u);
  EXPECT_NE(copy->serialNumber(), t.root->serialNumber());
  auto* c = dynamic_cast<MPersistentComposite*>(copy.get());
  ASSERT_NE(c, nullptr);
  MPersistentObject* a = c->children().pointee(0);
  MPersistentObject* b = c->children().pointee(1);
  EXPECT_NE(a, t.a);
  EXPECT_EQ(a->id(), 5u);
  EXPECT_NE(a->serialNumber(), t.a->serialNumber());
  EXPECT_NE(b, t.b);
  EXPECT_EQ(b->serialNumber(), t.b->serialNumber()) << "leaves are copies";
  MPersistentObject* x = static_cast<MPersistentComposite*>(a)->children().pointee(0);
  EXPECT_NE(x, t.x);
  EXPECT_EQ(x->serialNumber(), t.x->serialNumber());
  EXPECT_EQ(x->references(), 1);

  copy->clearSerialNumbers();
  for (MPersistentObject* o : {copy.get(), a, b, x}) EXPECT_EQ(o->serialNumber(), 0u);
  EXPECT_NE(t.x->serialNumber(), 0u);
}

TEST(Composite, AssignmentOfAMatchingCompositeChangesNothing) {
  Tree t;
  std::unique_ptr<MPersistentComposite> twin(static_cast<MPersistentComposite*>(t.root->deepCopy()));
  const uint32_t serial = twin->serialNumber();
  *twin = *t.root;
  EXPECT_EQ(twin->serialNumber(), serial);
  EXPECT_NE(twin->children().pointee(0), t.a);

  MPersistentComposite other(4);
  other = *t.root;
  EXPECT_EQ(other.serialNumber(), t.root->serialNumber());
  EXPECT_EQ(other.children().pointee(0), t.a);
  EXPECT_EQ(t.a->references(), 2);

  MPersistentComposite copied(*t.root);
  EXPECT_EQ(copied.children().capacity(), 10u);
  EXPECT_EQ(t.a->references(), 3);
}

TEST(Composite, ApplyAndDetectSeeEachEntry) {
  Tree t;
  int seen = 0;
  t.root->apply([](GCountedPtr* e, void* n) { *static_cast<int*>(n) += static_cast<int>((*e)->id()); }, &seen);
  EXPECT_EQ(seen, 14);
  uint32_t wanted = 9;
  EXPECT_EQ(t.root->detect([](GCountedPtr* e, void* id) { return int((*e)->id() == *static_cast<uint32_t*>(id)); },
                           &wanted),
            t.b);
  wanted = 1;
  EXPECT_EQ(t.root->detect([](GCountedPtr* e, void* id) { return int((*e)->id() == *static_cast<uint32_t*>(id)); },
                           &wanted),
            nullptr);
}

class CompositeStore : public StoreTest {};

// Composite id 3 holding leaf 4 and a nil entry.
std::string storedComposite(uint32_t compositeSerial, uint32_t leafSerial, uint32_t count = 2) {
  return le32(0x8888) + le16(752) + le32(1) + le32(3) + le32(compositeSerial) + le32(1) + le32(count) +
         le16(0x7001) + le32(1) + le32(4) + le32(leafSerial) + le32(1) + le32(44) +  //
         bytes({0xFF, 0xFF}) + le32(0);
}

TEST_F(CompositeStore, StoredFormWithANilEntry) {
  MPersistentObject::presetSerialCounter(100);
  MPersistentComposite c(3);  // serial 100
  c.insert(new TestLeaf(4, 44));  // serial 101
  c.children().append(GCountedPtr());
  EXPECT_EQ(storeFile(&c), storedComposite(100, 101));

  MPersistentComposite* back = restoreFile<MPersistentComposite>();
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->entries(), 2u) << "the nil entry keeps its place";
  EXPECT_TRUE(back->children().at(1)->isNil());
  EXPECT_EQ(back->children().capacity(), 64u);
  EXPECT_TRUE(back->isEqual(&c));
  EXPECT_EQ(back->serialNumber(), 100u);
  // Walks pass over the nil entry.
  EXPECT_EQ(back->totalEntries(), 2u);
  EXPECT_EQ(back->findById(1234), nullptr);
  std::unique_ptr<MPersistentObject> copy(back->deepCopy());
  EXPECT_EQ(copy->entries(), 1u);
  back->clearSerialNumbers();
  EXPECT_EQ(back->children().pointee(0)->serialNumber(), 0u);
  std::unique_ptr<GChildIterator> it(back->createIterator());
  EXPECT_EQ(it->advance(), 1);
  EXPECT_EQ(it->advance(), 0);
  delete back;
}

TEST_F(CompositeStore, AStoredCountIsNotTrusted) {
  putBytes(storedComposite(100, 101, 1000));
  MPersistentComposite* back = restoreFile<MPersistentComposite>();
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->entries(), 2u);
  delete back;
}

TEST_F(CompositeStore, AReferenceBackToAnEnclosingObjectIsRefused) {
  // Composite 1 whose one child is a composite whose one child is a
  // reference to read-table entry 1, the outer composite itself.
  putBytes(le32(0x8888) + le16(752) + le32(1) + le32(1) + le32(7) + le32(1) + le32(1) +  //
           le16(752) + le32(1) + le32(2) + le32(8) + le32(1) + le32(1) +              //
           bytes({0xFF, 0xFF}) + le32(1));
  MPersistentComposite* back = restoreFile<MPersistentComposite>();
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->totalEntries(), 2u);
  EXPECT_EQ(back->references(), 0);
  delete back;
}

TEST_F(CompositeStore, AnotherVersionKeepsTheChildren) {
  MPersistentComposite c(3);
  c.insert(new TestLeaf(4));
  putBytes(le32(0x8888) + le16(752) + le32(1) + le32(8) + le32(9) + le32(2) + le32(0));
  {
    RWFile f(path().c_str(), "rb");
    f >> static_cast<RWCollectable&>(c);
    EXPECT_EQ(f.CurOffset(), 22) << "no count was read";
  }
  EXPECT_EQ(c.id(), 8u);
  EXPECT_EQ(c.entries(), 1u);
  EXPECT_EQ(c.children().capacity(), 10u);
}

}  // namespace
