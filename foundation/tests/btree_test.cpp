// The B-tree: its shape after splits, borrowing and merging, a random run
// checked against a model after every step, the collection operations and
// the stored form.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "intitem.h"
#include "rw/btrdict.h"
#include "rw/btree.h"
#include "rw/collass.h"
#include "testkit/store.h"

namespace {

using std::string;

struct Walk {
  int leafDepth = -1;
  RWsize items = 0;
  std::vector<int> inOrder;
  string error;
};

void walk(const RWBTreeNode* n, int depth, bool isRoot, Walk& w) {
  if (!w.error.empty()) return;
  RWsize lowest = isRoot ? 1 : RWBTreeNode::order;
  if (n->count() < lowest || n->count() > RWBTreeNode::order2) {
    w.error = "a node at depth " + std::to_string(depth) + " holds " + std::to_string(n->count());
    return;
  }
  if (n->isLeaf()) {
    for (RWsize i = 0; i <= n->count(); ++i) {
      if (n->child(i)) w.error = "a leaf has a child";
    }
    if (w.leafDepth < 0) w.leafDepth = depth;
    if (w.leafDepth != depth) w.error = "leaves at different depths";
  } else {
    for (RWsize i = 0; i <= n->count(); ++i) {
      if (!n->child(i)) w.error = "an inner node misses a child";
    }
  }
  for (RWsize i = 0; i <= n->count() && w.error.empty(); ++i) {
    if (!n->isLeaf()) walk(n->child(i), depth + 1, false, w);
    if (i == n->count() || !w.error.empty()) break;
    int v = valueOf(n->item(i));
    if (!w.inOrder.empty() && w.inOrder.back() >= v) {
      w.error = "items out of order at " + std::to_string(v);
      return;
    }
    w.inOrder.push_back(v);
    ++w.items;
  }
}

// Order, fill, uniform depth and the entry count; with a model, also the
// exact set of items.
::testing::AssertionResult wellFormed(const RWBTree& t, const std::set<int>* model = nullptr) {
  Walk w;
  if (t.root()) walk(t.root(), 1, true, w);
  if (!w.error.empty()) return ::testing::AssertionFailure() << w.error;
  if (w.items != t.entries())
    return ::testing::AssertionFailure() << w.items << " items, entries says " << t.entries();
  if (!t.root() != (t.entries() == 0)) return ::testing::AssertionFailure() << "root and entries disagree";
  if (t.height() != unsigned(std::max(w.leafDepth, 0)))
    return ::testing::AssertionFailure() << "height " << t.height() << ", leaves at " << w.leafDepth;
  if (model && !std::equal(w.inOrder.begin(), w.inOrder.end(), model->begin(), model->end()))
    return ::testing::AssertionFailure() << "the items differ from the model";
  return ::testing::AssertionSuccess();
}

// Items 0, step, 2 step ... owned by the fixture, inserted in that order.
struct Items {
  explicit Items(int n, int step = 1) {
    for (int i = 0; i < n; ++i) all.push_back(std::make_unique<IntItem>(i * step));
  }
  void insertInto(RWBTree& t) {
    for (auto& p : all) t.insert(p.get());
  }
  std::vector<std::unique_ptr<IntItem>> all;
};

TEST(BTree, HundredAscendingFitOneNodeAndTheNextSplits) {
  Items items(101);
  RWBTree t;
  for (int i = 0; i < 100; ++i) EXPECT_EQ(t.insert(items.all[i].get()), items.all[i].get());
  EXPECT_EQ(t.height(), 1u);
  EXPECT_EQ(t.root()->count(), 100u);
  EXPECT_TRUE(wellFormed(t));

  t.insert(items.all[100].get());
  EXPECT_EQ(t.height(), 2u);
  ASSERT_EQ(t.root()->count(), 1u);
  EXPECT_EQ(valueOf(t.root()->item(0)), 50);
  EXPECT_EQ(t.root()->child(0)->count(), 50u);
  EXPECT_EQ(t.root()->child(1)->count(), 50u);
  EXPECT_EQ(valueOf(t.root()->child(1)->item(0)), 51);
  EXPECT_EQ(t.entries(), 101u);
  EXPECT_TRUE(wellFormed(t));
  t.clear();
  EXPECT_EQ(t.root(), nullptr);
  EXPECT_EQ(t.height(), 0u);
  EXPECT_TRUE(t.isEmpty());
}

TEST(BTree, EqualItemIsNotAddedTwice) {
  IntItem first(5), twin(5), other(6);
  RWBTree t;
  EXPECT_EQ(t.insert(&first), &first);
  EXPECT_EQ(t.insert(&twin), &first);
  EXPECT_EQ(t.insert(nullptr), nullptr);
  EXPECT_EQ(t.entries(), 1u);
  EXPECT_EQ(t.find(&twin), &first);
  EXPECT_EQ(t.occurrencesOf(&twin), 1u);
  EXPECT_EQ(t.occurrencesOf(&other), 0u);
  EXPECT_TRUE(t.contains(&twin));
  EXPECT_EQ(t.remove(&other), nullptr);
  EXPECT_EQ(t.remove(&twin), &first);  // the stored one comes out
  EXPECT_EQ(t.root(), nullptr);
  EXPECT_EQ(t.remove(&twin), nullptr);
}

// The repairs after a removal, each starting from two leaves under a root
// holding one separator. Items are even numbers so that odd ones can be
// slipped in to give a sibling a spare item.
TEST(BTree, RemovalBorrowsOrMerges) {
  struct Case {
    const char* what;
    std::vector<int> extra;  // odd items inserted after 0, 2 ... 200
    int removed;
    unsigned height;
    int separator;             // the root's only item afterwards, when height 2
    RWsize left, right;        // the two leaves afterwards
  };
  const Case cases[] = {
      // The last child drops to 49; its left sibling holds exactly 50.
      {"last child merges", {}, 200, 1, 0, 100, 0},
      // The last child borrows the separator, and the left sibling's last
      // item takes its place.
      {"last child borrows", {1}, 200, 2, 98, 50, 50},
      // The first child borrows from a right sibling of 51.
      {"first child borrows", {199}, 0, 2, 102, 50, 50},
      // The first child and a right sibling of 50 merge.
      {"first child merges", {}, 0, 1, 0, 100, 0},
      // The separator itself gives way to its in-order predecessor.
      {"separator replaced", {1}, 100, 2, 98, 50, 50},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Items items(101, 2);
    std::vector<std::unique_ptr<IntItem>> odd;
    RWBTree t;
    items.insertInto(t);
    for (int v : c.extra) {
      odd.push_back(std::make_unique<IntItem>(v));
      t.insert(odd.back().get());
    }
    IntItem probe(c.removed);
    RWCollectable* out = t.remove(&probe);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out, items.all[c.removed / 2].get());
    EXPECT_EQ(t.find(&probe), nullptr);
    EXPECT_TRUE(wellFormed(t));
    ASSERT_EQ(t.height(), c.height);
    if (c.height == 1) {
      EXPECT_EQ(t.root()->count(), c.left);
    } else {
      EXPECT_EQ(valueOf(t.root()->item(0)), c.separator);
      EXPECT_EQ(t.root()->child(0)->count(), c.left);
      EXPECT_EQ(t.root()->child(1)->count(), c.right);
    }
  }
}

// A thousand random inserts and removes against a model, every step
// checked; then everything is removed. The tree never deletes an item.
TEST(BTree, RandomInsertsAndRemovesKeepTheInvariants) {
  int before = IntItem::live();
  constexpr int range = 600;
  Items items(range);
  std::mt19937 rng(20240611);
  std::set<int> model;
  RWBTree t;
  for (int step = 0; step < 1000; ++step) {
    int v = int(rng() % range);
    bool insert = rng() % 10 < 7;
    IntItem probe(v);
    if (insert) {
      RWCollectable* got = t.insert(items.all[v].get());
      EXPECT_EQ(got, items.all[v].get());
      model.insert(v);
    } else {
      RWCollectable* got = t.remove(&probe);
      EXPECT_EQ(got, model.count(v) ? items.all[v].get() : nullptr);
      model.erase(v);
    }
    ASSERT_TRUE(wellFormed(t, &model)) << "after step " << step;
  }
  EXPECT_GE(t.height(), 2u);
  std::vector<int> rest(model.begin(), model.end());
  std::shuffle(rest.begin(), rest.end(), rng);
  for (int v : rest) {
    IntItem probe(v);
    ASSERT_EQ(t.remove(&probe), items.all[v].get());
    model.erase(v);
    ASSERT_TRUE(wellFormed(t, &model)) << "removing " << v;
  }
  EXPECT_EQ(t.root(), nullptr);
  EXPECT_EQ(t.entries(), 0u);
  EXPECT_EQ(IntItem::live(), before + range);
  for (int i = 0; i < range; ++i) EXPECT_EQ(items.all[i]->value, i);
}

// Deep enough for inner nodes to borrow and merge with inner siblings.
TEST(BTree, ThreeLevelsBuildAndEmpty) {
  constexpr int n = 12000;
  Items items(n);
  std::vector<int> order(n);
  for (int i = 0; i < n; ++i) order[i] = i;
  std::mt19937 rng(7);
  std::shuffle(order.begin(), order.end(), rng);
  RWBTree t;
  for (int v : order) t.insert(items.all[v].get());
  std::set<int> model(order.begin(), order.end());
  EXPECT_EQ(t.height(), 3u);
  ASSERT_TRUE(wellFormed(t, &model));
  std::shuffle(order.begin(), order.end(), rng);
  for (int i = 0; i < n; ++i) {
    IntItem probe(order[i]);
    ASSERT_EQ(t.remove(&probe), items.all[order[i]].get());
    model.erase(order[i]);
    if (i % 200 == 0) {
      ASSERT_TRUE(wellFormed(t, &model)) << "after " << i << " removals";
    }
  }
  EXPECT_EQ(t.root(), nullptr);
  EXPECT_EQ(t.entries(), 0u);
}

void collectValue(RWCollectable* item, void* out) {
  static_cast<std::vector<int>*>(out)->push_back(valueOf(item));
}

TEST(BTree, CollectionOperations) {
  IntItem a(3), b(1), c(2), d(4), b2(1);
  RWBTree t;
  for (IntItem* p : {&a, &b, &c}) t.insert(p);
  std::vector<int> seen;
  t.apply(collectValue, &seen);
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 3}));

  RWBTree same;
  for (IntItem* p : {&c, &b2, &a}) same.insert(p);  // other order, an equal twin
  EXPECT_TRUE(t.isEqual(&same));
  EXPECT_TRUE(same.isEqual(&t));
  same.insert(&d);
  EXPECT_FALSE(t.isEqual(&same));
  EXPECT_TRUE(t.isSubsetOf(same));
  EXPECT_FALSE(same.isSubsetOf(t));
  EXPECT_FALSE(t.isEqual(nullptr));

  std::unique_ptr<RWCollectable> copied(t.copy());
  EXPECT_EQ(copied->isA(), RWBTree::classIsA());
  EXPECT_TRUE(copied->isEqual(&t));
  std::unique_ptr<RWCollectable> species(t.newSpecies());
  EXPECT_EQ(static_cast<RWBTree*>(species.get())->entries(), 0u);

  RWBTree& self = t;
  t = self;
  EXPECT_EQ(t.entries(), 3u);
  EXPECT_TRUE(wellFormed(t));
  t = same;
  EXPECT_EQ(t.entries(), 4u);
  EXPECT_EQ(t.find(&b), &b2);

  // A dictionary holding the same associations is another class.
  RWCollectableAssociation pair(&a, &b);
  RWBTree holder;
  holder.insert(&pair);
  RWBTreeDictionary dict;
  dict.insertKeyAndValue(&a, &b);
  EXPECT_FALSE(holder.isEqual(&dict));
  EXPECT_FALSE(dict.isEqual(&holder));
}

TEST(BTree, MadeByTheFactory) {
  for (auto [id, name] : {std::pair<RWClassID, const char*>{0x8003, "RWBTree"},
                          {0x8004, "RWBTreeDictionary"}}) {
    std::unique_ptr<RWCollectable> byId(rwCreateFromFactory(id));
    std::unique_ptr<RWCollectable> byName(rwCreateFromFactory(RWStringID(name)));
    ASSERT_TRUE(byId && byName) << name;
    EXPECT_EQ(byId->isA(), id);
    EXPECT_EQ(byName->isA(), id);
    EXPECT_TRUE(static_cast<RWBTree*>(byId.get())->isEmpty());
    EXPECT_EQ(rwStringIDOf(id), RWStringID(name));
  }
}

// Items are stored in ascending order and restored by inserting, so stored
// items in any order come back sorted.
TEST(BTree, StoredForm) {
  IntItem one(1), two(2), three(3);
  RWBTree t;
  for (IntItem* p : {&two, &three, &one}) t.insert(p);
  const string golden(
      "\x88\x88\x00\x00"
      "\x03\x80"                            // RWBTree
      "\x03\x00\x00\x00"                    // three items
      "\x01\x7A\x01\x00\x00\x00"
      "\x01\x7A\x02\x00\x00\x00"
      "\x01\x7A\x03\x00\x00\x00",
      28);
  EXPECT_EQ(storedBytes(&t), golden);
  EXPECT_EQ(t.recursiveStoreSize(), golden.size());

  string shuffled = golden;
  shuffled.replace(10, 6, string("\x01\x7A\x03\x00\x00\x00", 6));
  shuffled.replace(22, 6, string("\x01\x7A\x01\x00\x00\x00", 6));
  std::unique_ptr<RWCollectable> back(restoredFrom(shuffled));
  ASSERT_TRUE(back);
  ASSERT_EQ(back->isA(), RWBTree::classIsA());
  RWBTree* r = static_cast<RWBTree*>(back.get());
  std::vector<int> seen;
  r->apply(collectValue, &seen);
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 3}));
  EXPECT_TRUE(wellFormed(*r));
  r->clearAndDelete();
}

}  // namespace
