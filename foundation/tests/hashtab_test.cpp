// The hash table (a bag), the set and the identity set.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "collect_fixtures.h"
#include "rw/factory.h"
#include "rw/hashtab.h"
#include "rw/rwset.h"
#include "rw/slistcol.h"

namespace {

TEST(HashTable, BucketCounts) {
  EXPECT_EQ(RWHashTable(0).buckets(), 2u);
  EXPECT_EQ(RWSet(0).buckets(), 2u);
  EXPECT_EQ(RWHashTable().buckets(), 64u);
  for (RWClassID id : {RWHashTable::classIsA(), RWSet::classIsA(), RWIdentitySet::classIsA()}) {
    std::unique_ptr<RWCollectable> made(rwCreateFromFactory(id));
    ASSERT_NE(made, nullptr) << id;
    EXPECT_EQ(made->isA(), id);
    EXPECT_EQ(static_cast<RWHashTable*>(made.get())->buckets(), 64u) << id;
  }
  EXPECT_EQ(rwStringIDOf(RWIdentitySet::classIsA()), RWCString("RWIdentitySet"));
}

TEST(HashTable, TableKeepsDuplicatesSetAnswersTheHeldItem) {
  TestItem a(1), a2(1);
  RWHashTable table;
  EXPECT_EQ(table.insert(&a), &a);
  EXPECT_EQ(table.insert(&a2), &a2);
  EXPECT_EQ(table.entries(), 2u);
  EXPECT_EQ(table.occurrencesOf(&a), 2u);

  RWSet set;
  EXPECT_EQ(set.insert(&a), &a);
  EXPECT_EQ(set.insert(&a2), &a);
  EXPECT_EQ(set.entries(), 1u);
  EXPECT_EQ(set.occurrencesOf(&a2), 1u);
  EXPECT_EQ(set.find(&a2), &a);

  RWIdentitySet identity;
  EXPECT_EQ(identity.insert(&a), &a);
  EXPECT_EQ(identity.insert(&a2), &a2);
  EXPECT_EQ(identity.insert(&a), &a);
  EXPECT_EQ(identity.entries(), 2u);
  TestItem a3(1);
  EXPECT_EQ(identity.find(&a3), nullptr);
  EXPECT_EQ(identity.find(&a2), &a2);
  EXPECT_EQ(identity.remove(&a3), nullptr);
  EXPECT_EQ(identity.remove(&a2), &a2);
  EXPECT_EQ(identity.entries(), 1u);
  EXPECT_EQ(identity.find(&a), &a);
}

TEST(HashTable, RemoveTakesTheFirstEqualItem) {
  TestItem a(1), a2(1), b(2);
  RWHashTable table(4);
  table.insert(&a);
  table.insert(&b);
  table.insert(&a2);
  TestItem probe(1);
  EXPECT_EQ(table.remove(&probe), &a);
  EXPECT_EQ(table.remove(&probe), &a2);
  EXPECT_EQ(table.remove(&probe), nullptr);
  EXPECT_EQ(table.entries(), 1u);
}

TEST(HashTable, ResizeWithZeroChoosesTheCount) {
  struct Case {
    int items;
    RWsize buckets;
  } cases[] = {{0, 16}, {11, 16}, {12, 18}, {20, 30}};
  for (const Case& c : cases) {
    std::vector<std::unique_ptr<TestItem>> items;
    RWHashTable table(3);
    for (int i = 0; i < c.items; ++i) {
      items.push_back(std::make_unique<TestItem>(i));
      table.insert(items.back().get());
    }
    table.resize(0);
    EXPECT_EQ(table.buckets(), c.buckets) << c.items;
    EXPECT_EQ(table.entries(), static_cast<RWsize>(c.items));
    for (auto& item : items) EXPECT_EQ(table.find(item.get()), item.get());
  }
  RWIdentitySet identity;
  TestItem x(1), y(1);
  identity.insert(&x);
  identity.insert(&y);
  identity.resize(5);
  EXPECT_EQ(identity.entries(), 2u);
  EXPECT_EQ(identity.find(&y), &y);
}

TEST(HashTable, BagEquality) {
  TestItem one(1), one2(1), two(2), two2(2);
  RWHashTable x, y, z;
  x.insert(&one);
  x.insert(&one2);
  x.insert(&two);
  y.insert(&two2);
  y.insert(&one2);
  y.insert(&one);
  z.insert(&one);
  z.insert(&two);
  z.insert(&two2);
  EXPECT_TRUE(x.isEqual(&y));
  EXPECT_FALSE(x.isEqual(&z));  // same count, different multiplicities
  EXPECT_FALSE(z.isEqual(&x));

  RWSet set;
  RWIdentitySet identity;
  set.insert(&one);
  identity.insert(&one);
  EXPECT_FALSE(set.isEqual(&identity));
  EXPECT_FALSE(identity.isEqual(&set));
}

TEST(HashTable, CopyAndAssignmentHaveTheirOwnBuckets) {
  TestItem a(1), b(2), c(3);
  RWHashTable table(8);
  table.insert(&a);
  table.insert(&b);
  RWHashTable copy(table);
  EXPECT_TRUE(copy.isEqual(&table));
  copy.insert(&c);
  EXPECT_EQ(table.entries(), 2u);
  RWHashTable assigned(3);
  assigned.insert(&c);
  assigned = table;
  EXPECT_EQ(assigned.buckets(), 8u);
  EXPECT_TRUE(assigned.isEqual(&table));
  const RWHashTable& same = assigned;  // assigned to itself
  assigned = same;
  EXPECT_EQ(assigned.entries(), 2u);
  std::unique_ptr<RWCollectable> made(table.copy());
  EXPECT_TRUE(made->isEqual(&table));
}

TEST(HashTable, Iterator) {
  RWHashTable empty;
  RWHashTableIterator none(empty);
  EXPECT_EQ(none.key(), nullptr);
  EXPECT_EQ(none(), nullptr);

  TestItem a(1), b(2), c(3), c2(3);
  RWHashTable table(4);
  for (TestItem* i : {&a, &b, &c, &c2}) table.insert(i);
  RWHashTableIterator it(table);
  std::vector<RWCollectable*> seen;
  while (RWCollectable* item = it()) seen.push_back(item);
  EXPECT_EQ(seen, (std::vector<RWCollectable*>{&a, &b, &c, &c2}));  // bucket by bucket
  EXPECT_EQ(it(), nullptr);

  it.reset();
  TestItem three(3);
  EXPECT_EQ(it.findNext(&three), &c);
  RWHashTableIterator copy(it);
  EXPECT_EQ(copy.key(), &c);
  EXPECT_EQ(it.remove(), &c);
  EXPECT_EQ(table.entries(), 3u);
  EXPECT_EQ(it(), &c2);
  it.reset();
  EXPECT_EQ(it.removeNext(&three), &c2);
  EXPECT_EQ(table.entries(), 2u);
  EXPECT_EQ(table.find(&three), nullptr);
}

TEST(Set, SubsetsAndIntersections) {
  TestItem a(1), b(2), c(3);
  RWSet all, some, empty;
  for (TestItem* i : {&a, &b, &c}) all.insert(i);
  some.insert(&b);
  EXPECT_TRUE(some.isSubsetOf(all));
  EXPECT_TRUE(some.isProperSubsetOf(all));
  EXPECT_TRUE(all.isSubsetOf(all));
  EXPECT_FALSE(all.isProperSubsetOf(all));
  EXPECT_FALSE(all.isSubsetOf(some));

  RWSlistCollectables result;
  all.intersectWith(some, result);
  EXPECT_EQ(result.entries(), 1u);
  EXPECT_EQ(result.first(), &b);

  RWSet copy(all);
  copy *= some;
  EXPECT_EQ(copy.entries(), 1u);
  EXPECT_EQ(copy.find(&b), &b);
  copy = all;
  copy *= empty;
  EXPECT_TRUE(copy.isEmpty());
}

TEST(Set, ClearAndDeleteDeletesEveryItem) {
  RWSet set;
  set.insert(new TestItem(1));
  set.insert(new TestItem(2));
  set.clearAndDelete();
  EXPECT_TRUE(set.isEmpty());
}

}  // namespace
