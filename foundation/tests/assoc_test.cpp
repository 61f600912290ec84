// Associations: standing in for their key, by value and by address, without
// a key, and stored with their key and value as one graph.

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "intitem.h"
#include "rw/btree.h"
#include "rw/collass.h"
#include "rw/pstream.h"
#include "testkit/store.h"

namespace {

using std::string;

TEST(Association, StandsInForItsKey) {
  IntItem k1(5), k2(5), other(9), v1(1), v2(2);
  RWCollectableAssociation a(&k1, &v1), b(&k2, &v2), c(&other, &v1);

  EXPECT_TRUE(a.isEqual(&b));  // equal keys, different values
  EXPECT_TRUE(b.isEqual(&a));
  EXPECT_EQ(a.compareTo(&b), 0);
  EXPECT_FALSE(a.isEqual(&c));
  EXPECT_LT(a.compareTo(&c), 0);
  EXPECT_GT(c.compareTo(&a), 0);
  // Against a bare key, as that key compares with the association's.
  EXPECT_TRUE(a.isEqual(&k2));
  EXPECT_EQ(a.compareTo(&k2), 0);
  EXPECT_GT(a.compareTo(&v2), 0);
  EXPECT_EQ(a.hash(), k1.hash());

  EXPECT_EQ(a.key(), &k1);
  EXPECT_EQ(a.value(&v2), &v1);
  EXPECT_EQ(a.value(), &v2);

  std::unique_ptr<RWCollectable> copied(a.copy());
  EXPECT_EQ(copied->isA(), RWCollectableAssociation::classIsA());
  EXPECT_EQ(static_cast<RWCollectableAssociation*>(copied.get())->key(), &k1);
  std::unique_ptr<RWCollectable> species(a.newSpecies());
  EXPECT_EQ(static_cast<RWCollectableAssociation*>(species.get())->key(), nullptr);
}

TEST(Association, SortedCollectionIsSearchedByKey) {
  IntItem keys[] = {IntItem(30), IntItem(10), IntItem(20)};
  IntItem value(0);
  RWBTree tree;
  std::unique_ptr<RWCollectableAssociation> pairs[3];
  for (int i = 0; i < 3; ++i) {
    pairs[i] = std::make_unique<RWCollectableAssociation>(&keys[i], &value);
    tree.insert(pairs[i].get());
  }
  IntItem probe(20), missing(15);
  EXPECT_EQ(tree.find(&probe), pairs[2].get());
  EXPECT_EQ(tree.find(&missing), nullptr);
  EXPECT_EQ(tree.remove(&probe), pairs[2].get());
  EXPECT_EQ(tree.entries(), 2u);
  tree.clear();
}

TEST(Association, ByAddress) {
  IntItem k(3), twin(3), v(0);
  RWCollectableIDAssociation a(&k, &v), b(&k, nullptr), byTwin(&twin, &v);
  RWCollectableAssociation plain(&k, &v);

  EXPECT_TRUE(a.isEqual(&k));
  EXPECT_TRUE(a.isEqual(&b));
  EXPECT_FALSE(a.isEqual(&twin));  // equal, but another object
  EXPECT_FALSE(a.isEqual(&byTwin));
  EXPECT_FALSE(a.isEqual(&plain));  // only the key itself, not an association holding it

  // Another ID association compares by its key, agreeing with isEqual.
  EXPECT_EQ(a.compareTo(&b), 0);
  EXPECT_EQ(a.compareTo(&k), 0);
  int byKeys = &k < &twin ? -1 : 1;
  EXPECT_EQ(a.compareTo(&byTwin), byKeys);
  EXPECT_EQ(a.compareTo(&twin), byKeys);
  EXPECT_EQ(byTwin.compareTo(&a), -byKeys);

  uintptr_t addr = reinterpret_cast<uintptr_t>(&k);
  EXPECT_EQ(a.hash(), static_cast<uint32_t>(addr ^ (addr >> 3)));
  EXPECT_EQ(a.hash(), b.hash());

  std::unique_ptr<RWCollectable> copied(a.copy());
  EXPECT_EQ(copied->isA(), RWCollectableIDAssociation::classIsA());
  EXPECT_TRUE(copied->isEqual(&a));
}

// What the factory makes has no key: it stands for the null address instead
// of following a null pointer.
TEST(Association, WithoutKey) {
  std::unique_ptr<RWCollectable> made(rwCreateFromFactory(RWCollectableAssociation::classIsA()));
  std::unique_ptr<RWCollectable> madeById(rwCreateFromFactory(RWCollectableIDAssociation::classIsA()));
  ASSERT_TRUE(made && madeById);
  EXPECT_EQ(made->isA(), RWCollectableAssociation::classIsA());
  EXPECT_EQ(madeById->isA(), RWCollectableIDAssociation::classIsA());
  std::unique_ptr<RWCollectable> byName(rwCreateFromFactory(RWStringID("RWCollectableIDAssociation")));
  ASSERT_TRUE(byName);
  EXPECT_EQ(byName->isA(), RWCollectableIDAssociation::classIsA());

  IntItem k(1);
  RWCollectableAssociation keyed(&k, nullptr), alsoNull(nullptr, &k);
  RWCollectableIDAssociation keyedById(&k, nullptr);
  for (RWCollectable* n : {made.get(), madeById.get()}) {
    SCOPED_TRACE(n->isA());
    EXPECT_EQ(n->hash(), 0u);
    EXPECT_TRUE(n->isEqual(&alsoNull));
    EXPECT_TRUE(n->isEqual(made.get()));
    EXPECT_TRUE(n->isEqual(madeById.get()));
    EXPECT_FALSE(n->isEqual(&keyed));
    EXPECT_FALSE(n->isEqual(&k));
    EXPECT_FALSE(n->isEqual(nullptr));
    EXPECT_EQ(n->compareTo(&alsoNull), 0);
    EXPECT_EQ(n->compareTo(nullptr), 0);
    EXPECT_EQ(n->compareTo(&keyed), -1);
    EXPECT_EQ(n->compareTo(&k), -1);
    // And the other way round: keyed associations sort after it.
    EXPECT_GT(keyed.compareTo(n), 0);
    EXPECT_FALSE(keyed.isEqual(n));
    EXPECT_EQ(keyedById.compareTo(n), 1);
    EXPECT_FALSE(keyedById.isEqual(n));
  }
  EXPECT_GT(keyed.compareTo(nullptr), 0);
  EXPECT_FALSE(keyed.isEqual(nullptr));
}

TEST(Association, DestroyingLeavesKeyAndValue) {
  int before = IntItem::live();
  {
    IntItem* k = new IntItem(1);
    IntItem* v = new IntItem(2);
    delete new RWCollectableAssociation(k, v);
    delete new RWCollectableIDAssociation(k, v);
    EXPECT_EQ(IntItem::live(), before + 2);
    EXPECT_EQ(k->value + v->value, 3);
    delete k;
    delete v;
  }
  EXPECT_EQ(IntItem::live(), before);
}

// An association whose value is its key stores the object once and then a
// reference to it (index 2: nil is 0, the association 1).
TEST(Association, KeyThatIsTheValueIsStoredOnce) {
  IntItem* k = new IntItem(7);
  RWCollectableAssociation a(k, k);
  const string golden(
      "\x88\x88\x00\x00"   // store magic
      "\x08\x80"           // RWCollectableAssociation
      "\x01\x7A"           // the key's class
      "\x07\x00\x00\x00"   // its number
      "\xFF\xFF\x02\x00\x00\x00",  // the value: a reference to object 2
      18);
  EXPECT_EQ(storedBytes(&a), golden);
  EXPECT_EQ(a.recursiveStoreSize(), golden.size());
  EXPECT_EQ(a.binaryStoreSize(), 6u + 6u);

  std::unique_ptr<RWCollectable> back(restoredFrom(golden));
  ASSERT_TRUE(back);
  ASSERT_EQ(back->isA(), RWCollectableAssociation::classIsA());
  auto* r = static_cast<RWCollectableAssociation*>(back.get());
  ASSERT_NE(r->key(), nullptr);
  EXPECT_EQ(r->key(), r->value());
  EXPECT_EQ(static_cast<IntItem*>(r->key())->value, 7);
  delete r->key();
  delete k;
}

TEST(Association, PortableFormWithNullValue) {
  IntItem k(42);
  RWCollectableIDAssociation a(&k, nullptr);
  std::ostringstream out;
  {
    RWpostream s(out);
    s << &a;
  }
  // The null value is the nil object, index 0; the braces go through the
  // portable form's character escapes.
  EXPECT_EQ(out.str(), ":32863\n\\[:31233\n\\[42\n\\]@0\n\\]");

  std::istringstream in(out.str());
  RWpistream s(in);
  RWCollectableIDAssociation* back = nullptr;
  s >> back;
  ASSERT_NE(back, nullptr);
  ASSERT_NE(back->key(), nullptr);
  EXPECT_EQ(static_cast<IntItem*>(back->key())->value, 42);
  EXPECT_EQ(back->value(), nullptr);
  delete back->key();
  delete back;
}

}  // namespace
