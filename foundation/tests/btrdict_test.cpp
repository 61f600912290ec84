// The B-tree dictionary: pairs by key, what it deletes and what it leaves,
// copies and equality, and its stored form with shared keys and values.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "intitem.h"
#include "rw/btrdict.h"
#include "rw/collass.h"
#include "testkit/store.h"

namespace {

using std::string;

TEST(BTreeDictionary, PairsByKey) {
  IntItem k1(1), k2(2), twin(1), v1(10), v2(20), v3(30), absent(9);
  RWBTreeDictionary d;
  EXPECT_EQ(d.insertKeyAndValue(&k2, &v2), &k2);
  EXPECT_EQ(d.insertKeyAndValue(&k1, &v1), &k1);
  // An equal key: nothing changes (and the new association is not kept).
  EXPECT_EQ(d.insertKeyAndValue(&twin, &v3), nullptr);
  EXPECT_EQ(d.entries(), 2u);
  EXPECT_EQ(d.findValue(&twin), &v1);

  EXPECT_EQ(d.find(&twin), &k1);  // the stored key, not its association
  EXPECT_TRUE(d.contains(&twin));
  EXPECT_FALSE(d.contains(&absent));
  RWCollectable* value = &v3;
  EXPECT_EQ(d.findKeyAndValue(&k2, value), &k2);
  EXPECT_EQ(value, &v2);
  EXPECT_EQ(d.findKeyAndValue(&absent, value), nullptr);
  EXPECT_EQ(value, nullptr);
  EXPECT_EQ(d.findValue(&absent), nullptr);

  EXPECT_EQ(d.replaceValue(&twin, &v3), &v1);
  EXPECT_EQ(d.findValue(&k1), &v3);
  EXPECT_EQ(d.replaceValue(&absent, &v1), nullptr);

  EXPECT_EQ(d.remove(&twin), &k1);
  EXPECT_EQ(d.remove(&twin), nullptr);
  EXPECT_EQ(d.removeKeyAndValue(&k2, value), &k2);
  EXPECT_EQ(value, &v2);
  EXPECT_EQ(d.removeKeyAndValue(&k2, value), nullptr);
  EXPECT_EQ(value, nullptr);
  EXPECT_TRUE(d.isEmpty());
}

// A pair under a null key (as the factory's empty association has) sorts
// first and is found by a null key.
TEST(BTreeDictionary, NullKey) {
  IntItem k(1), v(10), w(20);
  RWBTreeDictionary d;
  d.insertKeyAndValue(&k, &v);
  d.insertKeyAndValue(nullptr, &w);
  EXPECT_EQ(d.entries(), 2u);
  EXPECT_EQ(d.findValue(nullptr), &w);
  EXPECT_EQ(d.findValue(&k), &v);
  EXPECT_EQ(d.insertKeyAndValue(nullptr, &v), nullptr);
  EXPECT_EQ(d.findValue(nullptr), &w);
  RWCollectable* value = nullptr;
  EXPECT_EQ(d.removeKeyAndValue(nullptr, value), nullptr);
  EXPECT_EQ(value, &w);
  EXPECT_EQ(d.entries(), 1u);
}

void collectPair(RWCollectable* key, RWCollectable* value, void* out) {
  static_cast<std::vector<int>*>(out)->push_back(valueOf(key) * 100 + (value ? valueOf(value) : 0));
}

RWBoolean oddKey(const RWCollectable* key, const void*) { return valueOf(key) % 2; }
RWBoolean valueAbove(const RWCollectable*, const RWCollectable* value, const void* limit) {
  return value && valueOf(value) > *static_cast<const int*>(limit);
}

TEST(BTreeDictionary, ApplyAndSelect) {
  std::vector<std::unique_ptr<IntItem>> own;
  RWBTreeDictionary d;
  for (int k : {4, 1, 3, 2}) {
    own.push_back(std::make_unique<IntItem>(k));
    own.push_back(std::make_unique<IntItem>(k * 10));
    d.insertKeyAndValue(own[own.size() - 2].get(), own.back().get());
  }
  std::vector<int> seen;
  d.applyToKeyAndValue(collectPair, &seen);
  EXPECT_EQ(seen, (std::vector<int>{110, 220, 330, 440}));

  std::unique_ptr<RWBTreeDictionary> odd(d.select(oddKey, nullptr));
  seen.clear();
  odd->applyToKeyAndValue(collectPair, &seen);
  EXPECT_EQ(seen, (std::vector<int>{110, 330}));

  int limit = 25;
  std::unique_ptr<RWBTreeDictionary> big(d.select(valueAbove, &limit));
  seen.clear();
  big->applyToKeyAndValue(collectPair, &seen);
  EXPECT_EQ(seen, (std::vector<int>{330, 440}));
  // New associations, the same keys and values.
  IntItem three(3);
  EXPECT_EQ(big->find(&three), d.find(&three));
  big->replaceValue(&three, nullptr);
  EXPECT_NE(d.findValue(&three), nullptr);
}

// Passes every item, noting the value of each that is an IntItem (and -1
// for any other).
RWBoolean noteKey(const RWCollectable* item, const void* seen) {
  const IntItem* i = dynamic_cast<const IntItem*>(item);
  static_cast<std::vector<int>*>(const_cast<void*>(seen))->push_back(i ? i->value : -1);
  return TRUE;
}

// Through the collection protocol a dictionary still selects and inserts
// pairs: the result and the target hold new associations of their own, so
// neither deletes one the source deletes too (the sanitizer build sees it).
TEST(BTreeDictionary, CollectionOperationsNeverShareAssociations) {
  int before = IntItem::live();
  RWBTreeDictionary d;
  for (int k : {1, 2, 3, 4}) d.insertKeyAndValue(new IntItem(k), new IntItem(k * 10));
  RWCollection& source = d;

  std::vector<int> tested;
  std::unique_ptr<RWCollection> all(source.select(noteKey, &tested));
  EXPECT_EQ(tested, (std::vector<int>{1, 2, 3, 4}));  // the keys, not their associations
  ASSERT_EQ(all->isA(), RWBTreeDictionary::classIsA());
  RWBTreeDictionary& picked = static_cast<RWBTreeDictionary&>(*all);
  std::vector<int> seen;
  picked.applyToKeyAndValue(collectPair, &seen);
  EXPECT_EQ(seen, (std::vector<int>{110, 220, 330, 440}));
  IntItem one(1);
  EXPECT_EQ(picked.find(&one), d.find(&one));
  EXPECT_EQ(picked.findValue(&one), d.findValue(&one));

  // Into a dictionary that already holds key 2: that pair stays its own.
  IntItem twin(2), mine(99);
  RWBTreeDictionary target;
  target.insertKeyAndValue(&twin, &mine);
  RWCollection& into = target;
  into.insertAllOf(source);
  seen.clear();
  target.applyToKeyAndValue(collectPair, &seen);
  EXPECT_EQ(seen, (std::vector<int>{110, 299, 330, 440}));
  EXPECT_EQ(target.find(&one), d.find(&one));
  into.insertAllOf(into);
  EXPECT_EQ(target.entries(), 4u);

  d.clearAndDelete();  // every key and value made above
  EXPECT_EQ(IntItem::live(), before + 3);
  // Only the associations go now; the keys they name are gone already.
  target.clear();
  all.reset();
}

// What each removal deletes, counted by the items still alive.
TEST(BTreeDictionary, DeletesEachObjectOnce) {
  IntItem probe(1);
  int before = IntItem::live();
  RWBTreeDictionary d;
  IntItem* self = new IntItem(1);
  d.insertKeyAndValue(self, self);  // key and value one object
  d.insertKeyAndValue(new IntItem(2), new IntItem(20));
  IntItem kept(3);
  d.insertKeyAndValue(&kept, nullptr);
  EXPECT_EQ(IntItem::live(), before + 4);

  d.removeAndDelete(&probe);
  EXPECT_EQ(IntItem::live(), before + 3);
  probe.value = 2;
  d.removeAndDelete(&probe);
  EXPECT_EQ(IntItem::live(), before + 1);
  d.removeAndDelete(&probe);  // nothing left under that key
  EXPECT_EQ(d.entries(), 1u);
  d.remove(&kept);  // remove keeps key and value
  EXPECT_EQ(IntItem::live(), before + 1);

  // Shared values and a key that is its own value go once each.
  IntItem* shared = new IntItem(99);
  IntItem* both = new IntItem(4);
  d.insertKeyAndValue(new IntItem(5), shared);
  d.insertKeyAndValue(new IntItem(6), shared);
  d.insertKeyAndValue(both, both);
  EXPECT_EQ(IntItem::live(), before + 5);
  d.clearAndDelete();
  EXPECT_TRUE(d.isEmpty());
  EXPECT_EQ(IntItem::live(), before + 1);

  // clear deletes only the associations.
  IntItem k(7), v(70);
  d.insertKeyAndValue(&k, &v);
  d.clear();
  EXPECT_EQ(k.value + v.value, 77);
}

TEST(BTreeDictionary, CopiesAndAssignment) {
  IntItem k1(1), k2(2), v1(10), v2(20);
  RWBTreeDictionary d;
  d.insertKeyAndValue(&k1, &v1);
  d.insertKeyAndValue(&k2, &v2);

  RWBTreeDictionary copy(d);
  EXPECT_EQ(copy.find(&k1), &k1);
  EXPECT_TRUE(copy.isEqual(&d));
  copy.replaceValue(&k1, &v2);  // its own associations
  EXPECT_EQ(d.findValue(&k1), &v1);
  EXPECT_FALSE(copy.isEqual(&d));

  RWBTreeDictionary& self = d;
  d = self;
  EXPECT_EQ(d.entries(), 2u);
  EXPECT_EQ(d.findValue(&k2), &v2);

  d = copy;
  EXPECT_EQ(d.findValue(&k1), &v2);
  copy.clear();
  EXPECT_EQ(d.entries(), 2u);

  std::unique_ptr<RWCollectable> c(d.copy());
  EXPECT_EQ(c->isA(), RWBTreeDictionary::classIsA());
  EXPECT_TRUE(c->isEqual(&d));
}

TEST(BTreeDictionary, Equality) {
  IntItem k(1), kTwin(1), other(2), v(5), vTwin(5), w(6);
  struct Case {
    const char* what;
    RWCollectable* mine;
    RWCollectable* key;
    RWCollectable* theirs;
    bool equal;
  };
  const Case cases[] = {
      {"equal keys and values", &v, &kTwin, &vTwin, true},
      {"another value", &v, &kTwin, &w, false},
      {"another key", &v, &other, &v, false},
      {"both values null", nullptr, &kTwin, nullptr, true},
      {"one value null", &v, &kTwin, nullptr, false},
      {"the other value null", nullptr, &kTwin, &v, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RWBTreeDictionary a, b;
    a.insertKeyAndValue(&k, c.mine);
    b.insertKeyAndValue(c.key, c.theirs);
    EXPECT_EQ(bool(a.isEqual(&b)), c.equal);
  }
  RWBTreeDictionary a, bigger;
  a.insertKeyAndValue(&k, &v);
  bigger.insertKeyAndValue(&k, &v);
  bigger.insertKeyAndValue(&other, &v);
  EXPECT_FALSE(a.isEqual(&bigger));
  EXPECT_FALSE(a.isEqual(nullptr));
}

// Keys ordered 1, 2, 3; 1 and 2 share one value and 3 is its own value.
// Objects are numbered as written: nil 0, the dictionary 1, then each
// association, its key and its value.
const string sharedGolden(
    "\x88\x88\x00\x00"
    "\x04\x80"                  // RWBTreeDictionary
    "\x03\x00\x00\x00"          // three pairs
    "\x08\x80"                  // association 2
    "\x01\x7A\x01\x00\x00\x00"  //   key 3
    "\x01\x7A\x09\x00\x00\x00"  //   value 4
    "\x08\x80"                  // association 5
    "\x01\x7A\x02\x00\x00\x00"  //   key 6
    "\xFF\xFF\x04\x00\x00\x00"  //   value: object 4 again
    "\x08\x80"                  // association 7
    "\x01\x7A\x03\x00\x00\x00"  //   key 8
    "\xFF\xFF\x08\x00\x00\x00", //   value: its own key
    52);

TEST(BTreeDictionary, StoredWithSharedKeysAndValues) {
  int before = IntItem::live();
  IntItem k1(1), k2(2), k3(3), shared(9);
  RWBTreeDictionary d;
  d.insertKeyAndValue(&k3, &k3);
  d.insertKeyAndValue(&k2, &shared);
  d.insertKeyAndValue(&k1, &shared);
  EXPECT_EQ(storedBytes(&d), sharedGolden);
  EXPECT_EQ(d.recursiveStoreSize(), sharedGolden.size());

  std::unique_ptr<RWCollectable> back(restoredFrom(sharedGolden));
  ASSERT_TRUE(back);
  ASSERT_EQ(back->isA(), RWBTreeDictionary::classIsA());
  RWBTreeDictionary* r = static_cast<RWBTreeDictionary*>(back.get());
  EXPECT_EQ(r->entries(), 3u);
  EXPECT_TRUE(r->isEqual(&d));
  ASSERT_NE(r->findValue(&k1), nullptr);
  EXPECT_EQ(r->findValue(&k1), r->findValue(&k2));
  EXPECT_EQ(r->findValue(&k3), r->find(&k3));
  EXPECT_EQ(IntItem::live(), before + 4 + 4);
  r->clearAndDelete();
  EXPECT_EQ(IntItem::live(), before + 4);
}

// A stored dictionary can only hold pairs with distinct keys: a stored item
// that is no association, or a second pair for a key, is dropped.
TEST(BTreeDictionary, RestoreKeepsOnlyPairs) {
  int before = IntItem::live();
  const string bytes(
      "\x88\x88\x00\x00"
      "\x04\x80"
      "\x03\x00\x00\x00"
      "\x01\x7A\x05\x00\x00\x00"  // object 2: a bare item
      "\x08\x80"                  // association 3
      "\x01\x7A\x01\x00\x00\x00"  //   key 4
      "\x01\x7A\x09\x00\x00\x00"  //   value 5
      "\x08\x80"                  // association 6, the same key again
      "\xFF\xFF\x04\x00\x00\x00"
      "\xFF\xFF\x05\x00\x00\x00",
      44);
  std::unique_ptr<RWCollectable> back(restoredFrom(bytes));
  ASSERT_TRUE(back);
  RWBTreeDictionary* r = static_cast<RWBTreeDictionary*>(back.get());
  ASSERT_EQ(r->entries(), 1u);
  IntItem one(1);
  ASSERT_NE(r->findValue(&one), nullptr);
  EXPECT_EQ(valueOf(r->findValue(&one)), 9);
  r->clearAndDelete();
  EXPECT_EQ(IntItem::live(), before + 1);
}

}  // namespace
