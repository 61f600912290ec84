// The collection protocol, the collectable list and the stack.

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "collect_fixtures.h"
#include "rw/bstream.h"
#include "rw/btrdict.h"
#include "rw/btree.h"
#include "rw/hashtab.h"
#include "rw/pstream.h"
#include "rw/rwset.h"
#include "rw/slistcol.h"
#include "testkit/bytes.h"
#include "testkit/reports.h"
#include "testkit/store.h"
#include "testkit/tmpdir.h"

namespace {

std::vector<int32_t> values(RWSlistCollectables& list) {
  std::vector<int32_t> v;
  RWSlistCollectablesIterator next(list);
  while (RWCollectable* item = next()) v.push_back(static_cast<TestItem*>(item)->value);
  return v;
}

std::vector<int32_t> popAll(RWSlistCollectablesStack& stack) {
  std::vector<int32_t> v;
  while (RWCollectable* item = stack.pop()) v.push_back(static_cast<TestItem*>(item)->value);
  return v;
}

// Every concrete collection class, made empty.
std::vector<std::function<RWCollection*()>> everyCollection() {
  return {
      [] { return new RWSlistCollectables; }, [] { return new RWSlistCollectablesStack; },
      [] { return new RWHashTable; },         [] { return new RWSet; },
      [] { return new RWIdentitySet; },       [] { return new RWBTree; },
  };
}

void insertInto(RWCollectable* item, void* set) { static_cast<RWSet*>(set)->insert(item); }

// Equal collections; identity sets, which match by address, hold equal items.
bool sameItems(RWCollection& a, RWCollection& b) {
  if (a.isA() != RWIdentitySet::classIsA()) return a.isEqual(&b);
  RWSet x, y;
  a.apply(insertInto, &x);
  b.apply(insertInto, &y);
  return a.entries() == b.entries() && x.isEqual(&y);
}

RWBoolean never(const RWCollectable*, const void*) { return FALSE; }
RWBoolean aboveTwo(const RWCollectable* c, const void*) { return static_cast<const TestItem*>(c)->value > 2; }

TEST(Collection, EmptyCollectionStoresInFourBytes) {
  for (auto make : everyCollection()) {
    std::unique_ptr<RWCollection> c(make());
    EXPECT_EQ(c->binaryStoreSize(), 4u) << c->isA();
  }
}

TEST(Collection, ClearAndDeleteDeletesAnItemHeldTwiceOnce) {
  RWSlistCollectables list;
  TestItem* shared = new TestItem(1);
  list.insert(shared);
  list.insert(new TestItem(2));
  list.insert(shared);
  list.clearAndDelete();  // the sanitizer build sees a second delete
  EXPECT_TRUE(list.isEmpty());

  RWHashTable table;
  shared = new TestItem(3);
  table.insert(shared);
  table.insert(shared);
  table.clearAndDelete();
  EXPECT_EQ(table.entries(), 0u);
}

TEST(Collection, SelectMakesACollectionOfTheSameClass) {
  for (auto make : everyCollection()) {
    std::unique_ptr<RWCollection> c(make());
    TestItem a(1), b(2), d(3), e(4);
    for (TestItem* i : {&a, &b, &d, &e}) c->insert(i);
    std::unique_ptr<RWCollection> none(c->select(never, nullptr));
    EXPECT_EQ(none->isA(), c->isA());
    EXPECT_TRUE(none->isEmpty());
    std::unique_ptr<RWCollection> some(c->select(aboveTwo, nullptr));
    EXPECT_EQ(some->isA(), c->isA());
    EXPECT_EQ(some->entries(), 2u);
    EXPECT_TRUE(some->contains(&e));
    EXPECT_FALSE(some->contains(&a));
  }
}

TEST(Collection, RemoveAndDeleteAndTheBulkHelpers) {
  RWSlistCollectables list;
  list.insert(new TestItem(1));
  list.insert(new TestItem(2));
  TestItem probe(1);
  list.removeAndDelete(&probe);
  EXPECT_EQ(values(list), std::vector<int32_t>{2});

  RWSlistCollectables copies;
  copies.insertCopiesOf(list);
  ASSERT_EQ(copies.entries(), 1u);
  EXPECT_NE(copies.first(), list.first());
  EXPECT_TRUE(copies.first()->isEqual(list.first()));
  std::unique_ptr<RWCollectable> madeCopy(copies.first());
  copies.insertAllOf(list);
  EXPECT_EQ(copies.at(1), list.first());
  copies.removeAllOf(list);  // removes the first equal item: the copy
  EXPECT_EQ(copies.entries(), 1u);
  EXPECT_EQ(copies.first(), list.first());
  list.clearAndDelete();
}

// Stores a collection and restores it into an empty and into a non-empty
// one of the same class, through a file and through both stream forms.
class CollectionRoundTrip : public ::testing::Test {
 protected:
  TempDir dir_;
};

TEST_F(CollectionRoundTrip, EveryClassRestoresEqual) {
  for (auto make : everyCollection()) {
    std::unique_ptr<RWCollection> original(make());
    TestItem a(1), b(2), c(3);
    original->insert(&a);
    original->insert(&b);
    original->insert(&c);
    const bool isStack = original->isA() == RWSlistCollectablesStack::classIsA();

    std::string path = dir_.file("collection.bin");
    {
      RWFile f(path.c_str(), "wb");
      f << *original;
    }
    std::stringstream portable, binary;
    {
      RWpostream p(portable);
      RWbostream b(binary);
      p << *original;
      b << *original;
    }

    auto check = [&](const char* form, auto restoreInto) {
      std::unique_ptr<RWCollection> empty(make());
      restoreInto(*empty);
      EXPECT_TRUE(sameItems(*empty, *original)) << form << " " << original->isA();
      EXPECT_EQ(empty->entries(), 3u);
      empty->clearAndDelete();

      std::unique_ptr<RWCollection> full(make());
      TestItem old(9);
      full->insert(&old);
      restoreInto(*full);
      if (isStack) {
        // the stored items go below the one already held
        EXPECT_EQ(full->remove(nullptr), &old);
        EXPECT_TRUE(full->isEqual(original.get())) << form;
        full->clearAndDelete();
      } else {
        EXPECT_TRUE(sameItems(*full, *original)) << form << " " << original->isA();
        EXPECT_FALSE(full->contains(&old)) << form;
        full->clearAndDelete();
      }
    };
    check("file", [&](RWCollection& into) {
      RWFile f(path.c_str(), "rb");
      f >> into;
    });
    check("portable", [&](RWCollection& into) {
      std::stringstream in(portable.str());
      RWpistream s(in);
      s >> into;
    });
    check("binary", [&](RWCollection& into) {
      std::stringstream in(binary.str());
      RWbistream s(in);
      s >> into;
    });
  }
}

// A stored nil item, an item of an unknown class and a count larger than
// what follows: nothing null is inserted and the loop ends at the end of the
// file.
TEST_F(CollectionRoundTrip, BadItemsAreSkippedAndTheCountIsNotTrusted) {
  std::string path = dir_.file("bad.bin");
  const std::string item1 = bytes({0x00, 0x02}) + le32(1);
  const std::string nil = bytes({0xFF, 0xFF}) + le32(0);
  const std::string unknown = bytes({0x77, 0x07});
  for (auto make : everyCollection()) {
    std::unique_ptr<RWCollection> made(make());
    {
      std::ofstream out(path, std::ios::binary);
      out << le32(0x8888) << bytes({static_cast<unsigned>(made->isA() & 0xFF), static_cast<unsigned>(made->isA() >> 8)})
          << le32(0xFFFFFFFF) << item1 << nil << unknown;
    }
    ReportLog reports;
    RWFile f(path.c_str(), "rb");
    RWCollectable* p = nullptr;
    f >> p;
    ASSERT_NE(p, nullptr);
    RWCollection* c = static_cast<RWCollection*>(p);
    EXPECT_EQ(c->entries(), 1u) << made->isA();
    EXPECT_EQ(reports.texts(),
              std::vector<std::string>{"[NOCREATE] RWFactory: no create function for class with ID 1911 (0x777)"});
    c->clearAndDelete();
    delete c;
  }
  // The same items in the binary stream form, the collection's own braces
  // around them.
  const std::string tag = bytes({0x00, 0x02});
  for (auto make : everyCollection()) {
    std::unique_ptr<RWCollection> made(make());
    std::string data = bytes({':', static_cast<unsigned>(made->isA() & 0xFF), static_cast<unsigned>(made->isA() >> 8), '{'}) +
                       le32(0xFFFFFFFF) + ":" + tag + "{" + le32(1) + "}" + "@" + le32(0) + ":" + unknown + "{}" + "}";
    std::stringstream in(data);
    RWbistream s(in);
    ReportLog reports;
    RWCollectable* p = nullptr;
    s >> p;
    ASSERT_NE(p, nullptr);
    RWCollection* c = static_cast<RWCollection*>(p);
    EXPECT_EQ(c->entries(), 1u) << made->isA();
    EXPECT_EQ(reports.texts(),
              std::vector<std::string>{"[NOCREATE] RWFactory: no create function for class with ID 1911 (0x777)"});
    c->clearAndDelete();
    delete c;
  }
}

// ---- equality of shared graphs -----------------------------------------------------------

// A leaf that counts the comparisons it is asked for.
class CountedLeaf : public RWCollectable {
 public:
  explicit CountedLeaf(int32_t v) : value(v) {}
  RWClassID isA() const override { return 0x7A05; }
  RWBoolean isEqual(const RWCollectable* o) const override {
    ++compared;
    return o && o->isA() == isA() && static_cast<const CountedLeaf*>(o)->value == value;
  }
  int32_t value;
  static inline long compared = 0;
};

// Two distinct but equal collections per level, each holding both of the
// level below in opposite orders: comparing the top two meets every pair of
// a level once per path to it, 2^depth times without a memo.
struct SharedGraph {
  using Make = std::function<RWCollection*(RWCollectable* first, RWCollectable* second, RWCollectable* last)>;

  SharedGraph(int depth, const Make& make, int32_t lastA, int32_t lastB) {
    RWCollectable* a = keep(new CountedLeaf(1));
    RWCollectable* b = keep(new CountedLeaf(1));
    for (int level = 1; level <= depth; ++level) {
      // Only the top level ends with the two last leaves.
      RWCollectable* tailA = level == depth ? keep(new CountedLeaf(lastA)) : nullptr;
      RWCollectable* tailB = level == depth ? keep(new CountedLeaf(lastB)) : nullptr;
      RWCollectable* nextA = keep(make(a, b, tailA));
      RWCollectable* nextB = keep(make(b, a, tailB));
      a = nextA;
      b = nextB;
    }
    top = {a, b};
  }
  RWCollectable* keep(RWCollectable* c) {
    owned.emplace_back(c);
    return c;
  }

  std::vector<std::unique_ptr<RWCollectable>> owned;
  std::pair<RWCollectable*, RWCollectable*> top;
};

TEST(Collection, EqualityOfSharedCollectionsComparesEachPairOnce) {
  // Keys of the dictionaries, ordered by value; the graph's leaves sit in
  // the values.
  TestItem first(1), second(2), last(3);
  const struct {
    const char* what;
    SharedGraph::Make make;
  } kinds[] = {
      {"list",
       [](RWCollectable* x, RWCollectable* y, RWCollectable* z) -> RWCollection* {
         auto* list = new RWSlistCollectables;
         list->append(x);
         list->append(y);
         if (z) list->append(z);
         return list;
       }},
      {"dictionary",
       [&](RWCollectable* x, RWCollectable* y, RWCollectable* z) -> RWCollection* {
         auto* dictionary = new RWBTreeDictionary;
         dictionary->insertKeyAndValue(&first, x);
         dictionary->insertKeyAndValue(&second, y);
         if (z) dictionary->insertKeyAndValue(&last, z);
         return dictionary;
       }},
  };
  constexpr int depth = 64;
  for (const auto& kind : kinds) {
    for (const bool equal : {true, false}) {
      SharedGraph graph(depth, kind.make, 5, equal ? 5 : 6);
      CountedLeaf::compared = 0;
      EXPECT_EQ(graph.top.first->isEqual(graph.top.second), equal ? TRUE : FALSE) << kind.what;
      // Two ordered pairs of leaves under the bottom level, and the last
      // two leaves.
      EXPECT_LE(CountedLeaf::compared, 5) << kind.what;
      CountedLeaf::compared = 0;
      EXPECT_EQ(graph.top.second->isEqual(graph.top.first), equal ? TRUE : FALSE) << kind.what << ", the other way";
      EXPECT_LE(CountedLeaf::compared, 5) << kind.what << ": the memo is new for every comparison, and as small";
    }
  }
}

TEST(Slist, OrderAndPositions) {
  TestItem a(1), b(2), c(3), d(4);
  RWSlistCollectables list;
  list.insert(&a);
  list.insert(&a);
  EXPECT_EQ(list.entries(), 2u);
  EXPECT_EQ(list.occurrencesOf(&a), 2u);
  list.clear();

  list.append(&a);
  list.append(&c);
  list.insertAfter(0, &b);
  EXPECT_EQ(values(list), (std::vector<int32_t>{1, 2, 3}));
  list.insertAt(list.entries(), &d);
  list.prepend(&d);
  EXPECT_EQ(values(list), (std::vector<int32_t>{4, 1, 2, 3, 4}));
  EXPECT_EQ(list.first(), &d);
  EXPECT_EQ(list.last(), &d);
  TestItem three(3), five(5);
  EXPECT_EQ(list.index(&three), 3u);
  EXPECT_EQ(list.index(&five), RW_NPOS);
  EXPECT_EQ(list.find(&three), &c);
  EXPECT_EQ(list.remove(&three), &c);
  EXPECT_EQ(list.remove(&three), nullptr);
  list.at(0) = &c;
  EXPECT_EQ(values(list), (std::vector<int32_t>{3, 1, 2, 4}));
}

TEST(Slist, IndexErrorsAreReported) {
  RWSlistCollectables list;
  TestItem a(1);
  list.append(&a);
  ReportLog reports;
  EXPECT_EQ(static_cast<const RWSlistCollectables&>(list).at(1), nullptr);
  list.at(5) = &a;  // lands in a scratch slot, not in the list
  EXPECT_EQ(list.entries(), 1u);
  EXPECT_EQ(list.insertAt(3, &a), nullptr);
  ASSERT_EQ(reports.all().size(), 3u);
  EXPECT_EQ(reports.all()[0].text, "[INDEXERR] Illegal Index (1) for collection or string with 1 elements");
  EXPECT_EQ(reports.all()[1].text, "[INDEXERR] Illegal Index (5) for collection or string with 1 elements");
}

TEST(Slist, ListAndStackOfEqualItemsDiffer) {
  TestItem a(1), a2(1), b(2), b2(2);
  RWSlistCollectables list, other;
  RWSlistCollectablesStack stack;
  list.append(&a);
  list.append(&b);
  other.append(&a2);
  other.append(&b2);
  stack.push(&b);
  stack.push(&a);
  EXPECT_TRUE(list.isEqual(&other));
  EXPECT_FALSE(list.isEqual(&stack));
  EXPECT_FALSE(stack.isEqual(&list));
  other.append(&b);
  EXPECT_FALSE(list.isEqual(&other));
}

TEST(Slist, Iterator) {
  TestItem a(1), b(2), c(3);
  RWSlistCollectables list;
  list.append(&a);
  list.append(&b);
  list.append(&c);
  RWSlistCollectablesIterator it(list);
  EXPECT_EQ(it.key(), nullptr);
  EXPECT_EQ(it(), &a);
  EXPECT_EQ(it.key(), &a);
  TestItem three(3), nine(9);
  EXPECT_EQ(it.findNext(&three), &c);
  it.reset();
  EXPECT_EQ(it.findNext(&nine), nullptr);
  EXPECT_EQ(it.key(), nullptr);
  EXPECT_EQ(it(), nullptr);
  it.reset();
  it();
  it();
  EXPECT_EQ(it.remove(), &b);
  EXPECT_EQ(it(), &c);
  EXPECT_EQ(values(list), (std::vector<int32_t>{1, 3}));
}

TEST(Stack, PushAndPop) {
  TestItem a(1), b(2), c(3);
  RWSlistCollectablesStack stack;
  EXPECT_EQ(stack.pop(), nullptr);
  stack.push(&a);
  stack.insert(&b);
  stack.push(&c);
  EXPECT_EQ(stack.top(), &c);
  EXPECT_EQ(stack.append(&a), nullptr);  // a stack is only pushed
  stack.removeAndDelete(&a);             // and never deletes
  EXPECT_EQ(stack.entries(), 3u);
  EXPECT_EQ(popAll(stack), (std::vector<int32_t>{3, 2, 1}));
  EXPECT_EQ(stack.pop(), nullptr);
}

TEST(Stack, RestoredStackPopsInTheStoredOrder) {
  TestItem a(1), b(2), c(3);
  RWSlistCollectablesStack stack;
  stack.push(&a);
  stack.push(&b);
  stack.push(&c);
  std::unique_ptr<RWSlistCollectablesStack> back = throughStream<RWbostream, RWbistream>(&stack);
  ASSERT_NE(back, nullptr);
  RWSlistCollectablesStack copy(*back);
  EXPECT_EQ(popAll(*back), (std::vector<int32_t>{3, 2, 1}));
  copy.clearAndDelete();
}

TEST(Stack, FileRestoreStopsWhenTheCountIsMissing) {
  TempDir dir;
  std::string path = dir.file("stack.bin");
  {
    std::ofstream out(path, std::ios::binary);
    out << bytes({0x88, 0x88, 0, 0, 0x36, 0x80, 0x01});
  }
  RWFile f(path.c_str(), "rb");
  RWSlistCollectablesStack* back = nullptr;
  f >> back;
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(back->isEmpty());
  delete back;
}

}  // namespace
