// Storing and restoring object graphs: the binary store format on RWFile,
// the framed form on virtual streams, the store and read tables.

#include <gtest/gtest.h>

#include <barrier>
#include <sstream>
#include <string>
#include <thread>

#include "collect_fixtures.h"
#include "rw/bstream.h"
#include "rw/factory.h"
#include "rw/hashtab.h"
#include "rw/pstream.h"
#include "rw/rwset.h"
#include "rw/rwstore.h"
#include "rw/slistcol.h"
#include "testkit/bytes.h"
#include "testkit/files.h"
#include "testkit/reports.h"
#include "testkit/store.h"
#include "testkit/tmpdir.h"

namespace {

RWCollectable* makeItem() { return new TestItem; }
RWCollectable* makeNamedItem() { return new TestNamedItem; }
RWCollectable* makeNode() { return new TestNode; }
RWCollectable* makeEmpty() { return new TestEmpty; }

// The test classes are known to the factory for the whole test program.
const RWFactoryRegistrar registerItem(makeItem, TestItem::id, "TestItem");
const RWFactoryRegistrar registerNamedItem(makeNamedItem, TestNamedItem::id, "TestNamedItem");
const RWFactoryRegistrar registerNode(makeNode, TestNode::id, "TestNode");
const RWFactoryRegistrar registerEmpty(makeEmpty, TestEmpty::id, "TestEmpty");

class Persist : public ::testing::Test {
 protected:
  std::string path() const { return dir_.file("graph.bin"); }

  // Stores one object as the outermost store of a graph and answers the
  // file's bytes.
  std::string store(const RWCollectable* p) {
    {
      RWFile f(path().c_str(), "wb");
      f << p;
    }
    return contents();
  }
  std::string contents() const { return fileContents(path()); }
  void write(const std::string& data) const { putFile(path(), data); }
  RWCollectable* restore() {
    RWFile f(path().c_str(), "rb");
    RWCollectable* p = nullptr;
    f >> p;
    return p;
  }

  TempDir dir_;
};

TEST_F(Persist, NullPointerIsAReferenceToNil) {
  EXPECT_EQ(store(nullptr), bytes({0x88, 0x88, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0}));
  ReportLog reports;
  EXPECT_EQ(restore(), nullptr);
  EXPECT_TRUE(reports.all().empty());
}

TEST_F(Persist, SharedChildIsStoredOnceAndRestoredAsOne) {
  TestItem child(7);
  TestNode node(&child, &child);
  // nil 0, node 1, child 2; the second pointer is a reference to index 2
  EXPECT_EQ(store(&node), bytes({0x88, 0x88, 0, 0, 0x01, 0x02, 0x00, 0x02, 7, 0, 0, 0,  //
                                 0xFF, 0xFF, 2, 0, 0, 0}));
  EXPECT_EQ(node.recursiveStoreSize(), contents().size());

  RWCollectable* back = restore();
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(back->isA(), TestNode::id);
  TestNode* n = static_cast<TestNode*>(back);
  ASSERT_NE(n->left, nullptr);
  EXPECT_EQ(n->left, n->right);
  EXPECT_EQ(static_cast<TestItem*>(n->left)->value, 7);
  delete n->left;
  delete n;
}

TEST_F(Persist, StringIdentifiedClassIsWrittenByStringThenByIndex) {
  TestNamedItem a(1), b(2);
  TestNode node(&a, &b);
  // nil 0, node 1, a 2, the string 3, b 4
  std::string expected = bytes({0x88, 0x88, 0, 0, 0x01, 0x02, 0x8F, 0x88}) + le32(13) +
                         "TestNamedItem" + le32(1) + bytes({0x8E, 0x88}) + le32(3) + le32(2);
  EXPECT_EQ(store(&node), expected);
  EXPECT_EQ(node.recursiveStoreSize(), expected.size());

  ReportLog reports;
  TestNode* n = static_cast<TestNode*>(restore());
  ASSERT_NE(n, nullptr);
  EXPECT_TRUE(reports.all().empty());
  ASSERT_NE(n->left, nullptr);
  ASSERT_NE(n->right, nullptr);
  EXPECT_EQ(n->left->isA(), TestNamedItem::id);
  EXPECT_EQ(n->right->isA(), TestNamedItem::id);
  EXPECT_EQ(static_cast<TestItem*>(n->left)->value, 1);
  EXPECT_EQ(static_cast<TestItem*>(n->right)->value, 2);
  delete n->left;
  delete n->right;
  delete n;
}

TEST_F(Persist, BadMagicIsReportedAndReadingGoesOn) {
  write(le32(0x1234) + bytes({0x00, 0x02}) + le32(9));
  ReportLog reports;
  RWCollectable* p = restore();
  ASSERT_EQ(reports.all().size(), 1u);
  EXPECT_EQ(reports.all()[0].text, "[MAGIC] Bad magic number: 4660 (should be 34952)");
  EXPECT_TRUE(reports.all()[0].environment);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(static_cast<TestItem*>(p)->value, 9);
  delete p;
}

TEST_F(Persist, UnknownClassReportsNoCreateAndAnswersNull) {
  write(le32(0x8888) + bytes({0x77, 0x07}) + le32(9));
  ReportLog reports;
  EXPECT_EQ(restore(), nullptr);
  ASSERT_EQ(reports.all().size(), 1u);
  EXPECT_EQ(reports.all()[0].text, "[NOCREATE] RWFactory: no create function for class with ID 1911 (0x777)");
  EXPECT_TRUE(reports.all()[0].internal);
}

TEST_F(Persist, TruncatedFilesAnswerNull) {
  for (const std::string& data : {std::string(), bytes({0x88, 0x88}), le32(0x8888) + bytes({0x00}),
                                  le32(0x8888) + bytes({0xFF, 0xFF, 0x01}),
                                  le32(0x8888) + bytes({0x8F, 0x88}) + le32(40) + "Test"}) {
    write(data);
    ReportLog reports;
    EXPECT_EQ(restore(), nullptr) << data.size();
    EXPECT_TRUE(reports.all().empty());
  }
}

// Corrupt reference indices: each is a bad reference, never a pointer made
// from a slot of the wrong kind or from outside the table.
TEST_F(Persist, CorruptReferencesReportRefAndYieldNoObject) {
  const std::string named = bytes({0x8F, 0x88}) + le32(13) + "TestNamedItem" + le32(1);
  struct Case {
    const char* what;
    std::string right;
    std::vector<std::string> reports;
  } cases[] = {
      {"negative index", bytes({0xFF, 0xFF}) + le32(0xFFFFFFFF), {"[REF] Bad persistence reference"}},
      {"past the end", bytes({0xFF, 0xFF}) + le32(4), {"[REF] Bad persistence reference"}},
      {"names a class ID", bytes({0xFF, 0xFF}) + le32(3), {"[REF] Bad persistence reference"}},
      {"string index names an object", bytes({0x8E, 0x88}) + le32(2),
       {"[REF] Bad persistence reference",
        "[NOCREATE] RWFactory: no create function for class with ID 34958 (0x888e)"}},
      {"negative string index", bytes({0x8E, 0x88}) + le32(0x80000000),
       {"[REF] Bad persistence reference",
        "[NOCREATE] RWFactory: no create function for class with ID 34958 (0x888e)"}},
  };
  for (const Case& c : cases) {
    write(le32(0x8888) + bytes({0x01, 0x02}) + named + c.right);
    ReportLog reports;
    TestNode* n = static_cast<TestNode*>(restore());
    ASSERT_NE(n, nullptr) << c.what;
    EXPECT_EQ(reports.texts(), c.reports) << c.what;
    ASSERT_NE(n->left, nullptr);
    EXPECT_EQ(static_cast<TestItem*>(n->left)->value, 1) << c.what;
    EXPECT_EQ(n->right, nullptr) << c.what;
    delete n->left;
    delete n;
  }
}

TEST_F(Persist, StoreSizeCountsWhatIsWritten) {
  EXPECT_EQ(TestTen().recursiveStoreSize(), 16u);
  EXPECT_EQ(rwNilCollectable()->recursiveStoreSize(), 4u + 6u);

  // a mixed graph: numbered and string-identified classes, a shared child,
  // nil, and a collection of them
  TestItem shared(3);
  TestNamedItem a(1), b(2);
  TestNode inner(&shared, nullptr);
  RWSet set;
  set.insert(&a);
  set.insert(&b);
  set.insert(&shared);
  TestNode outer(&inner, &set);
  TestNode top(&outer, &shared);
  std::string written = store(&top);
  EXPECT_EQ(top.recursiveStoreSize(), written.size());
}

TEST_F(Persist, TypedRestoreAnswersNullForAnotherClass) {
  // Within one read table: a new item (index 1), a reference to it, a new
  // item (index 2), a reference to that one.
  write(bytes({0x00, 0x02}) + le32(5) + bytes({0xFF, 0xFF}) + le32(1) + bytes({0x00, 0x02}) + le32(6) +
        bytes({0xFF, 0xFF}) + le32(2));
  ReportLog reports;
  RWFile f(path().c_str(), "rb");
  RWUseReadTable scope;
  RWCollectable* first = nullptr;
  f >> first;
  ASSERT_NE(first, nullptr);
  RWSet* asSet = reinterpret_cast<RWSet*>(1);
  f >> asSet;  // a reference to the item: not ours to delete
  EXPECT_EQ(asSet, nullptr);
  EXPECT_EQ(static_cast<TestItem*>(first)->value, 5);
  RWHashTable* asTable = reinterpret_cast<RWHashTable*>(1);
  f >> asTable;  // a new item of another class: disposed of
  EXPECT_EQ(asTable, nullptr);
  EXPECT_TRUE(reports.all().empty());
  RWCollectable* again = nullptr;
  f >> again;  // the disposed item can no longer be reached
  EXPECT_EQ(again, nullptr);
  EXPECT_EQ(reports.texts(), std::vector<std::string>{"[REF] Bad persistence reference"});
  delete first;
}

TEST_F(Persist, TypedRestoreAnswersTheObjectOfItsClass) {
  RWSet set;
  TestItem item(4);
  set.insert(&item);
  store(&set);
  RWFile f(path().c_str(), "rb");
  RWSet* back = nullptr;
  f >> back;
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->entries(), 1u);
  EXPECT_TRUE(back->isEqual(&set));
  back->clearAndDelete();
  delete back;
}

TEST(PersistStream, PortableFormOfAnEmptyObject) {
  std::stringstream text;
  {
    RWpostream out(text);
    TestEmpty e;
    out << &e;
  }
  EXPECT_EQ(text.str(), ":769\n\\[\\]");

  RWpistream in(text);
  RWCollectable* p = nullptr;
  in >> p;
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->isA(), TestEmpty::id);
  delete p;
}

TEST(PersistStream, PortableFormOfASharedChild) {
  std::stringstream text;
  TestItem child(7);
  TestNode node(&child, &child);
  {
    RWpostream out(text);
    out << &node;
  }
  EXPECT_EQ(text.str(), ":513\n\\[:512\n\\[7\n\\]@2\n\\]");

  RWpistream in(text);
  RWCollectable* p = nullptr;
  in >> p;
  ASSERT_NE(p, nullptr);
  TestNode* n = static_cast<TestNode*>(p);
  EXPECT_EQ(n->left, n->right);
  ASSERT_NE(n->left, nullptr);
  EXPECT_EQ(static_cast<TestItem*>(n->left)->value, 7);
  delete n->left;
  delete n;
}

TEST(PersistStream, ObjectMustStartWithReferenceOrNewMark) {
  std::stringstream text("x769\n\\[\\]");
  RWpistream in(text);
  RWCollectable* p = reinterpret_cast<RWCollectable*>(1);
  in >> p;
  EXPECT_EQ(p, nullptr);
  EXPECT_TRUE(in.fail());
}

TEST(PersistStream, MissingOpeningBraceFails) {
  std::stringstream text(":769\nx");
  RWpistream in(text);
  RWCollectable* p = nullptr;
  in >> p;
  EXPECT_EQ(p, nullptr);
  EXPECT_TRUE(in.fail());
}

TEST(PersistStream, BinaryFormRoundTripsStringIdentifiedClasses) {
  std::stringstream data;
  TestNamedItem a(1), b(2);
  TestNode node(&a, &b);
  {
    RWbostream out(data);
    out << &node;
  }
  // ':' 0x0201 '{' ':' 0x888F, the string (its length as a number, then as
  // the binary text's own count), 1, '}' ':' 0x888E 3 2 '}' '}'
  EXPECT_EQ(data.str(), bytes({':', 0x01, 0x02, '{', ':', 0x8F, 0x88}) + le32(13) + le32(13) + "TestNamedItem" +
                            bytes({'{'}) + le32(1) + bytes({'}', ':', 0x8E, 0x88}) + le32(3) +
                            bytes({'{'}) + le32(2) + bytes({'}', '}'}));
  RWbistream in(data);
  RWCollectable* p = nullptr;
  in >> p;
  ASSERT_NE(p, nullptr);
  TestNode* n = static_cast<TestNode*>(p);
  ASSERT_NE(n->left, nullptr);
  ASSERT_NE(n->right, nullptr);
  EXPECT_EQ(static_cast<TestItem*>(n->right)->value, 2);
  delete n->left;
  delete n->right;
  delete n;
}

// Lists nested in lists, each holding the next: the outermost one answered.
RWSlistCollectables* nestedLists(RWsize levels) {
  RWSlistCollectables* inner = nullptr;
  for (RWsize i = 0; i < levels; ++i) {
    RWSlistCollectables* outer = new RWSlistCollectables;
    if (inner) outer->insert(inner);
    inner = outer;
  }
  return inner;
}

// The number of levels of such a chain, which it deletes without recursing.
// Every level must be a list of at most one item.
RWsize dismantle(RWCollectable* p) {
  RWsize levels = 0;
  while (p) {
    EXPECT_EQ(p->isA(), RWSlistCollectables::classIsA());
    RWSlistCollectables* list = static_cast<RWSlistCollectables*>(p);
    EXPECT_LE(list->entries(), 1u);
    p = list->isEmpty() ? nullptr : list->first();
    delete list;
    ++levels;
  }
  return levels;
}

TEST(PersistNesting, ReasonableNestingRoundTrips) {
  RWSlistCollectables* chain = nestedLists(50);
  TempDir dir;
  std::string name = dir.file("graph.bin");
  {
    RWFile f(name.c_str(), "wb");
    f << chain;
  }
  std::stringstream data;
  {
    RWbostream out(data);
    out << chain;
  }
  EXPECT_EQ(dismantle(chain), 50u);

  ReportLog reports;
  RWFile f(name.c_str(), "rb");
  RWCollectable* fromFile = nullptr;
  f >> fromFile;
  EXPECT_EQ(dismantle(fromFile), 50u);
  RWbistream in(data);
  RWCollectable* fromStream = nullptr;
  in >> fromStream;
  EXPECT_TRUE(in.good());
  EXPECT_EQ(dismantle(fromStream), 50u);
  EXPECT_TRUE(reports.empty());
}

// A hostile source nests lists a hundred thousand deep, a few bytes a
// level, then ends the outermost list with a second item. The restore stops
// at the nesting limit instead of running out of stack: the outer levels
// hold the lists they could, the innermost of them none, nothing after the
// refused level is read, and the refusal is reported once.
TEST(PersistNesting, HostileNestingStopsAtTheLimit) {
  constexpr RWsize levels = 100000;
  const std::string listTag = bytes({0x33, 0x80});
  const std::string item = bytes({0x00, 0x02}) + le32(9);
  std::string file = le32(0x8888) + listTag + le32(2);
  for (RWsize i = 1; i < levels; ++i) file += listTag + le32(1);
  file += listTag + le32(0) + item;

  std::string stream = bytes({':'}) + listTag + bytes({'{'}) + le32(2);
  for (RWsize i = 1; i < levels; ++i) stream += bytes({':'}) + listTag + bytes({'{'}) + le32(1);
  stream += bytes({':'}) + listTag + bytes({'{'}) + le32(0) + std::string(levels, '}');
  stream += bytes({':', 0x00, 0x02, '{'}) + le32(9) + bytes({'}', '}'});

  {
    ReportLog reports;
    RWCollectable* p = restoredFrom(file);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(static_cast<RWSlistCollectables*>(p)->entries(), 1u);
    EXPECT_EQ(dismantle(p), RWReadTable::maxNesting);
    EXPECT_EQ(reports.texts(), std::vector<std::string>{"[REF] Bad persistence reference"});
    EXPECT_TRUE(reports[0].internal);
  }
  {
    ReportLog reports;
    std::stringstream data(stream);
    RWbistream in(data);
    RWCollectable* p = nullptr;
    in >> p;
    EXPECT_TRUE(in.fail());
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(static_cast<RWSlistCollectables*>(p)->entries(), 1u);
    EXPECT_EQ(dismantle(p), RWReadTable::maxNesting);
    EXPECT_EQ(reports.texts(), std::vector<std::string>{"[REF] Bad persistence reference"});
  }
}

TEST(StoreTable, NestedScopesShareOneTableAndOuterScopesDoNot) {
  TestItem item;
  int32_t index = -1;
  {
    RWUseStoreTable outer;
    EXPECT_TRUE(outer.firstUse());
    EXPECT_TRUE(outer.add(&item, index));
    EXPECT_EQ(index, 1);
    RWUseStoreTable inner;
    EXPECT_FALSE(inner.firstUse());
    EXPECT_EQ(inner.table(), outer.table());
    EXPECT_FALSE(inner.add(&item, index));
    EXPECT_EQ(index, 1);
    EXPECT_TRUE(inner.add(RWCString("name"), index));
    EXPECT_EQ(index, 2);
    EXPECT_FALSE(inner.add(RWCString("name"), index));
    EXPECT_EQ(index, 2);
    EXPECT_FALSE(inner.add(rwNilCollectable(), index));
    EXPECT_EQ(index, 0);
  }
  RWUseStoreTable fresh;
  EXPECT_TRUE(fresh.firstUse());
  EXPECT_TRUE(fresh.add(&item, index));
}

TEST(StoreTable, TwoThreadsStoringAtOnceHaveTheirOwnTables) {
  TestItem shared;
  std::barrier both(2);
  RWStoreTable* tables[2] = {};
  RWBoolean firstAdd[2] = {};
  auto work = [&](int i) {
    RWUseStoreTable scope;
    tables[i] = scope.table();
    int32_t index;
    both.arrive_and_wait();  // both tables exist now
    firstAdd[i] = scope.add(&shared, index);
    both.arrive_and_wait();
  };
  std::thread t0(work, 0), t1(work, 1);
  t0.join();
  t1.join();
  EXPECT_NE(tables[0], tables[1]);
  EXPECT_TRUE(firstAdd[0]);
  EXPECT_TRUE(firstAdd[1]);
}

}  // namespace
