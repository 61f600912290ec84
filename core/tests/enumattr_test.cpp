// Enumerated attributes: choices of one class, the current choice through
// insertions, removals, replacements, copies and restores.

#include <gtest/gtest.h>

#include <memory>

#include "attrfix.h"
#include "core/enumattr.h"
#include "core/valattr.h"
#include "fixtures.h"

namespace {

// Choices A, B, C (value attributes with ids 1, 2, 3), A current.
struct Choices {
  Choices() : e(new GEnumAttribute(5)) {
    a = new GValueAttribute(10, 1);
    b = new GValueAttribute(20, 2);
    c = new GValueAttribute(30, 3);
    e->insert(a);
    e->insert(b);
    e->insert(c);
  }
  std::unique_ptr<GEnumAttribute> e;
  GValueAttribute* a;
  GValueAttribute* b;
  GValueAttribute* c;
};

TEST(EnumAttribute, InsertFixesTheClassAndRefusesDuplicates) {
  Choices t;
  EXPECT_EQ(t.e->current(), t.a) << "the first choice is current";
  EXPECT_EQ(t.e->memberClassId(), 763);
  EXPECT_EQ(t.e->entries(), 3u);

  const int before = TestPenAttr::destroyed;
  t.e->insert(new TestPenAttr(9));
  EXPECT_EQ(TestPenAttr::destroyed, before + 1) << "another class is destroyed";
  EXPECT_EQ(t.e->entries(), 3u);

  GCountedPtr watch(new GValueAttribute(20, 2));
  GValueAttribute* duplicate = static_cast<GValueAttribute*>(watch.get());
  t.e->insert(duplicate);
  EXPECT_EQ(t.e->entries(), 3u) << "an equal choice is not taken";
  t.e->insert(t.b);
  EXPECT_EQ(t.e->entries(), 3u);
  EXPECT_EQ(t.b->references(), 1) << "a choice inserted again stays as it is";

  // A duplicate nobody else holds is destroyed.
  GEnumAttribute pens(7);
  pens.insert(new TestPenAttr(1, 1));
  const int pensBefore = TestPenAttr::destroyed;
  pens.insert(new TestPenAttr(1, 1));
  EXPECT_EQ(TestPenAttr::destroyed, pensBefore + 1);
  EXPECT_EQ(pens.entries(), 1u);

  // Something that is not an attribute fixes nothing.
  GEnumAttribute empty(6);
  empty.insert(new TestLeaf(1));
  EXPECT_EQ(empty.memberClassId(), 0);
  EXPECT_EQ(empty.current(), nullptr);
  empty.insert(new GStringAttribute("x", 1));
  EXPECT_EQ(empty.memberClassId(), 776);

  t.e->clear();
  EXPECT_EQ(t.e->current(), nullptr);
  t.e->insert(new TestPenAttr(9));
  EXPECT_EQ(t.e->entries(), 0u) << "the member class survives clear";
}

TEST(EnumAttribute, RemovalMovesTheCurrentChoice) {
  Choices t;
  t.e->setCurrent(t.b);
  std::unique_ptr<MPersistentObject> removed(t.e->remove(t.b));
  EXPECT_EQ(removed.get(), t.b);
  EXPECT_EQ(t.e->current(), t.a) << "the first remaining choice";

  std::unique_ptr<MPersistentObject> other(t.e->removeById(3));
  EXPECT_EQ(t.e->current(), t.a);
  std::unique_ptr<MPersistentObject> last(t.e->removeByClassId(763));
  EXPECT_EQ(t.e->current(), nullptr) << "no choice left";
}

TEST(EnumAttribute, StepsWithoutWrapping) {
  Choices t;
  t.e->previous();
  EXPECT_EQ(t.e->current(), t.a);
  t.e->next();
  EXPECT_EQ(t.e->current(), t.b);
  t.e->next();
  t.e->next();
  EXPECT_EQ(t.e->current(), t.c);
  t.e->previous();
  EXPECT_EQ(t.e->current(), t.b);

  GValueAttribute key(30, 3);
  EXPECT_EQ(t.e->setCurrent(&key), t.c) << "the stored choice, not the key";
  EXPECT_EQ(t.e->current(), t.c);
  GValueAttribute none(99, 3);
  EXPECT_EQ(t.e->setCurrent(&none), nullptr);
  EXPECT_EQ(t.e->current(), t.c);
}

TEST(EnumAttribute, VisitMatchesAndMerge) {
  Choices t;
  RecordingStage stage;
  stage.answers[t.e.get()] = 2;
  EXPECT_EQ(t.e->accept(stage), 2);
  EXPECT_EQ(stage.seen, (std::vector<const MPersistentObject*>{t.e.get()})) << "visited as a whole";
  EXPECT_EQ(t.e->isChanged(), 0);
  EXPECT_EQ(t.e->kind(), 764);

  Choices u;
  EXPECT_TRUE(t.e->matches(u.e.get()));
  u.e->next();
  EXPECT_FALSE(t.e->matches(u.e.get())) << "another current choice";
  t.e->merge(u.e.get());
  EXPECT_EQ(t.e->entries(), 3u);
  EXPECT_EQ(t.e->current(), t.a);
}

TEST(EnumAttribute, ACopySharesChoicesAndCurrent) {
  Choices t;
  t.e->next();
  std::unique_ptr<GEnumAttribute> copy(t.e->copy());
  EXPECT_EQ(copy->current(), t.b);
  EXPECT_EQ(copy->children().pointee(0), t.a);
  EXPECT_EQ(t.b->references(), 2);
  EXPECT_EQ(copy->memberClassId(), 763);

  // Removing the shared current choice from the copy hands back a copy of
  // it; the copy's current must still move.
  std::unique_ptr<MPersistentObject> removed(copy->remove(t.b));
  EXPECT_NE(removed.get(), t.b);
  EXPECT_EQ(copy->current(), t.a);
  EXPECT_EQ(t.e->current(), t.b);

  // The source is destroyed first; the copy's current is its own choice.
  copy.reset(t.e->copy());
  t.e.reset();
  EXPECT_EQ(copy->current()->id(), 2u);
}

TEST(EnumAttribute, ReplacementsCarryTheCurrentChoice) {
  Choices t;
  t.e->next();  // B
  GValueAttribute replacement(21, 2);
  EXPECT_EQ(t.e->replaceDeepById(2, &replacement), 1);
  ASSERT_NE(t.e->current(), nullptr);
  EXPECT_EQ(t.e->current(), t.e->children().pointee(1)) << "the replacement in B's place";
  EXPECT_EQ(static_cast<GValueAttribute*>(t.e->current())->value(), 21);

  std::unique_ptr<GChildIterator> it(t.e->createIterator());
  it->advance();
  it->advance();
  GValueAttribute* fresh = new GValueAttribute(22, 2);
  it->replaceCurrent(fresh);
  EXPECT_EQ(t.e->current(), fresh);

  // Shared choices: the copy's current must follow its own replacement.
  std::unique_ptr<GEnumAttribute> copy(t.e->copy());
  copy->replaceDeep(fresh, &replacement);
  EXPECT_EQ(copy->current(), copy->children().pointee(1));
  EXPECT_EQ(t.e->current(), fresh);
}

TEST(EnumAttribute, DeepCopyKeepsTheCurrentPlace) {
  Choices t;
  t.e->next();
  t.e->next();
  std::unique_ptr<MPersistentObject> deep(t.e->deepCopy());
  GEnumAttribute* d = dynamic_cast<GEnumAttribute*>(deep.get());
  ASSERT_NE(d, nullptr);
  ASSERT_EQ(d->entries(), 3u);
  EXPECT_NE(d->current(), t.c);
  EXPECT_EQ(d->current(), d->children().pointee(2));
  EXPECT_EQ(d->memberClassId(), 763);
}

class EnumStore : public StoreTest {
 protected:
  static std::string value(uint32_t id, uint32_t serial, uint16_t v) {
    return le16(763) + le32(1) + le32(id) + le32(serial) + le32(1) + le32(1) + le32(1) + le16(v);
  }
  // Enumeration 5 with choices 1 and 2; the tail is the enum level.
  static std::string stored(const std::string& tail) {
    return le32(0x8888) + le16(764) + le32(1) + le32(5) + le32(30) + le32(1) + le32(1) + le32(1) + le32(2) +
           value(1, 31, 10) + value(2, 32, 20) + tail;
  }
};

TEST_F(EnumStore, TheCurrentChoiceIsABackReference) {
  MPersistentObject::presetSerialCounter(30);
  GEnumAttribute e(5);
  e.insert(new GValueAttribute(10, 1));
  e.insert(new GValueAttribute(20, 2));
  e.next();
  const std::string written = storeFile(&e);
  // Read-table entries: 1 the enumeration, 2 and 3 the choices.
  EXPECT_EQ(written, stored(le32(1) + bytes({0xFF, 0xFF}) + le32(3) + le16(763)));
  EXPECT_EQ(e.binaryStoreSize() + 6, written.size());

  std::unique_ptr<GEnumAttribute> back(restoreFile<GEnumAttribute>());
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->current(), back->children().pointee(1)) << "the restored child itself";
  EXPECT_TRUE(back->matches(&e));

  GEnumAttribute none(5);
  const std::string empty = storeFile(&none);
  EXPECT_EQ(none.binaryStoreSize() + 6, empty.size());
  EXPECT_EQ(empty.substr(empty.size() - 12), le32(1) + bytes({0xFF, 0xFF}) + le32(0) + le16(0));
}

TEST_F(EnumStore, AnotherVersionNeverLeavesTheCurrentDangling) {
  putBytes(stored(le32(2)));
  Choices t;
  {
    RWFile f(path().c_str(), "rb");
    f >> static_cast<RWCollectable&>(*t.e);
  }
  // The composite level replaced every choice, the old current among them.
  EXPECT_EQ(t.e->entries(), 2u);
  EXPECT_EQ(t.e->current(), nullptr);
  EXPECT_EQ(t.e->memberClassId(), 763) << "kept";
  t.e->next();
  EXPECT_EQ(t.e->current(), nullptr);
}

TEST_F(EnumStore, ACurrentChoiceOutsideTheTreeIsRefused) {
  // The current choice stored as a fresh object, not as a reference.
  putBytes(stored(le32(1) + value(2, 33, 20) + le16(763)));
  std::unique_ptr<GEnumAttribute> back(restoreFile<GEnumAttribute>());
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->current(), nullptr);
  EXPECT_EQ(back->memberClassId(), 763);
}

}  // namespace
