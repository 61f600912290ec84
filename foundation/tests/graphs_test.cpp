// Object graphs from damaged or hostile stores: objects with a sole owner,
// objects a restore drops, cycles through collections and associations, and
// B-trees whose items have no stable order.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "intitem.h"
#include "rw/bstream.h"
#include "rw/btrdict.h"
#include "rw/btree.h"
#include "rw/collass.h"
#include "rw/hashtab.h"
#include "rw/rwset.h"
#include "rw/slistcol.h"
#include "testkit/reports.h"
#include "testkit/store.h"

namespace {

using std::string;

const string ref = "[REF] Bad persistence reference";

string fromHex(const char* hex) {
  string out;
  for (const char* p = hex; p[0] && p[1]; p += 2) out += static_cast<char>(std::stoi(string(p, 2), nullptr, 16));
  return out;
}

string le16(uint16_t v) { return string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
string le32(uint32_t v) { return le16(v & 0xFFFF) + le16(v >> 16); }

// The two restore forms: a binary file, and the framed objects of a binary
// virtual stream.
enum class Form { file, stream };

string graph(Form form, const string& top) { return form == Form::file ? le32(0x8888) + top : top; }
string object(Form form, RWClassID id, const string& fields) {
  return form == Form::file ? le16(id) + fields : ":" + le16(id) + "{" + fields + "}";
}
string reference(Form form, int32_t index) {
  return form == Form::file ? "\xFF\xFF" + le32(index) : "@" + le32(index);
}

RWCollectable* restored(Form form, const string& bytes) {
  if (form == Form::file) return restoredFrom(bytes);
  std::stringstream in(bytes);
  RWbistream s(in);
  RWCollectable* p = nullptr;
  s >> p;
  return p;
}

// Deletes a restored graph: every distinct object once. A dictionary
// deletes its own associations, so only their keys and values are
// gathered from it.
void gather(RWCollectable* p, RWIdentitySet& all);
void gatherItem(RWCollectable* item, void* all) { gather(item, *static_cast<RWIdentitySet*>(all)); }
void gatherPair(RWCollectable* key, RWCollectable* value, void* all) {
  gatherItem(key, all);
  gatherItem(value, all);
}
void gather(RWCollectable* p, RWIdentitySet& all) {
  if (!p || all.contains(p)) return;
  all.insert(p);
  if (auto* d = dynamic_cast<RWBTreeDictionary*>(p)) {
    d->applyToKeyAndValue(gatherPair, &all);
  } else if (auto* c = dynamic_cast<RWCollection*>(p)) {
    c->apply(gatherItem, &all);
  } else if (auto* a = dynamic_cast<RWCollectableAssociation*>(p)) {
    gather(a->key(), all);
    gather(a->value(), all);
  }
}
void deleteGraph(RWCollectable* top) {
  RWIdentitySet all;
  gather(top, all);
  all.clearAndDelete();
}

RWsize entriesOf(const RWCollectable* c) { return static_cast<const RWCollection*>(c)->entries(); }
RWCollectable* nth(RWCollectable* list, RWsize i) { return static_cast<RWSlistCollectables*>(list)->at(i); }

// ---- inputs that once crashed -------------------------------------------------

struct HostileGraph {
  const char* name;
  const char* hex;  // an RWFile
  std::vector<string> reports;
  std::function<void(RWCollectable*)> check;
};

void PrintTo(const HostileGraph& c, std::ostream* os) { *os << c.name; }

const std::vector<HostileGraph>& hostileGraphs() {
  static const std::vector<HostileGraph> cases = {
      {"SetHoldingItself", "888800002b80ff000000ffff01000000ffff01000000", {ref, ref},
       [](RWCollectable* top) { EXPECT_EQ(entriesOf(top), 0u); }},
      {"AssociationWhoseKeyIsItself", "888800000880ffff01000000", {ref},
       [](RWCollectable* top) {
         auto* a = static_cast<RWCollectableAssociation*>(top);
         EXPECT_EQ(a->key(), nullptr);
         EXPECT_EQ(a->value(), nullptr);
       }},
      // The set's one item is an association whose key is the set.
      {"SetHoldingAnAssociationWithTheSetAsKey", "888800002b80010000000880ffff01000000017a09000000", {ref},
       [](RWCollectable* top) {
         ASSERT_EQ(entriesOf(top), 1u);
         RWSetIterator next(*static_cast<RWSet*>(top));
         auto* a = static_cast<RWCollectableAssociation*>(next());
         EXPECT_EQ(a->key(), nullptr);
         EXPECT_EQ(valueOf(a->value()), 9);
       }},
      // A list holding dictionary 3, which holds dictionary 4 (no pair, so
      // dropped, and its pair 5 with it), then a reference to pair 5.
      {"ReferenceToAPairOfADroppedDictionary",
       "8888000033800300000001"
       "7a070000000480010000000480010000000880ffff02000000ffff02000000ffff05000000",
       {ref},
       [](RWCollectable* top) {
         ASSERT_EQ(entriesOf(top), 2u);
         EXPECT_EQ(valueOf(nth(top, 0)), 7);
         EXPECT_EQ(entriesOf(nth(top, 1)), 0u);
       }},
      // Two dictionaries in a list, the second holding a reference to the
      // first one's pair 3: two owners of one association.
      {"PairSharedByTwoDictionaries",
       "88880000338002000000048001000000088001"
       "7a01000000ffff000000000480010000"
       "00ffff03000000",
       {ref},
       [](RWCollectable* top) {
         ASSERT_EQ(entriesOf(top), 2u);
         EXPECT_EQ(entriesOf(nth(top, 0)), 1u);
         EXPECT_EQ(entriesOf(nth(top, 1)), 0u);
       }},
      // A set dropping the second of two equal items (object 4), then a
      // reference to it.
      {"ReferenceToAnItemASetDropped",
       "888800003380020000002b8002000000017a01000000017a01000000ffff04000000", {ref},
       [](RWCollectable* top) {
         ASSERT_EQ(entriesOf(top), 1u);
         EXPECT_EQ(entriesOf(nth(top, 0)), 1u);
       }},
      // A B-tree holding two equal items: both come back.
      {"BTreeHoldingTwoEqualItems", "88880000038002000000017a05000000017a05000000", {},
       [](RWCollectable* top) { EXPECT_EQ(entriesOf(top), 2u); }},
  };
  return cases;
}

class HostileGraphs : public ::testing::TestWithParam<HostileGraph> {};

TEST_P(HostileGraphs, RestoreToAClearFailure) {
  const HostileGraph& c = GetParam();
  int before = IntItem::live();
  ReportLog log;
  RWCollectable* top = restoredFrom(fromHex(c.hex));
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(log.texts(), c.reports);
  c.check(top);
  deleteGraph(top);
  EXPECT_EQ(IntItem::live(), before) << "every restored item is held once";
}

INSTANTIATE_TEST_SUITE_P(Graphs, HostileGraphs, ::testing::ValuesIn(hostileGraphs()),
                         [](const ::testing::TestParamInfo<HostileGraph>& i) { return i.param.name; });

// ---- cycles -----------------------------------------------------------------------

RWClassID classOf(const std::function<RWCollection*()>& make) {
  std::unique_ptr<RWCollection> c(make());
  return c->isA();
}

std::vector<std::function<RWCollection*()>> everyCollection() {
  return {
      [] { return new RWSlistCollectables; }, [] { return new RWSlistCollectablesStack; },
      [] { return new RWHashTable; },         [] { return new RWSet; },
      [] { return new RWIdentitySet; },       [] { return new RWBTree; },
      [] { return new RWBTreeDictionary; },
  };
}

void keepItem(RWCollectable* item, void* out) { *static_cast<RWCollectable**>(out) = item; }

// A collection holding itself, directly and through an association, is
// refused in every collection class and both restore forms: the references
// are reported and the collection holds nothing that leads back to it.
TEST(GraphCycles, NoCollectionHoldsItself) {
  for (Form form : {Form::file, Form::stream}) {
    for (const auto& make : everyCollection()) {
      const RWClassID id = classOf(make);
      ReportLog log;
      RWCollectable* self = restored(form, graph(form, object(form, id, le32(2) + reference(form, 1) + reference(form, 1))));
      ASSERT_NE(self, nullptr) << id;
      EXPECT_EQ(self->isA(), id);
      EXPECT_EQ(entriesOf(self), 0u) << id;
      EXPECT_EQ(log.size(), 2u) << id;
      delete self;

      // The association is item 2 and its key the collection.
      for (RWClassID assoc : {RWCollectableAssociation::classIsA(), RWCollectableIDAssociation::classIsA()}) {
        log.clear();
        const string pair = object(form, assoc, reference(form, 1) + object(form, IntItem::classIsA(), le32(4)));
        RWCollectable* top = restored(form, graph(form, object(form, id, le32(1) + pair)));
        ASSERT_NE(top, nullptr) << id;
        EXPECT_EQ(entriesOf(top), 1u) << id << " " << assoc;
        RWCollectable* item = nullptr;
        static_cast<RWCollection*>(top)->apply(keepItem, &item);
        auto* a = dynamic_cast<RWCollectableAssociation*>(item);
        ASSERT_NE(a, nullptr) << id;
        EXPECT_EQ(a->key(), nullptr) << id << " " << assoc;
        EXPECT_EQ(valueOf(a->value()), 4);
        EXPECT_EQ(log.texts(), std::vector<string>{ref}) << id << " " << assoc;
        deleteGraph(top);
      }
    }
  }
}

// Associations of both kinds, as the top object and inside a list, in both
// forms: a key or value naming the association itself, or the list around
// it, restores as nil.
TEST(GraphCycles, NoAssociationHoldsItselfOrWhatHoldsIt) {
  for (Form form : {Form::file, Form::stream}) {
    for (RWClassID assoc : {RWCollectableAssociation::classIsA(), RWCollectableIDAssociation::classIsA()}) {
      ReportLog log;
      RWCollectable* top = restored(form, graph(form, object(form, assoc, reference(form, 1) + reference(form, 1))));
      ASSERT_NE(top, nullptr);
      auto* a = static_cast<RWCollectableAssociation*>(top);
      EXPECT_EQ(a->key(), nullptr);
      EXPECT_EQ(a->value(), nullptr);
      EXPECT_EQ(log.texts(), (std::vector<string>{ref, ref}));
      delete top;

      log.clear();
      const string pair = object(form, assoc, object(form, IntItem::classIsA(), le32(3)) + reference(form, 1));
      top = restored(form, graph(form, object(form, RWSlistCollectables::classIsA(), le32(1) + pair)));
      ASSERT_EQ(entriesOf(top), 1u);
      a = static_cast<RWCollectableAssociation*>(nth(top, 0));
      EXPECT_EQ(valueOf(a->key()), 3);
      EXPECT_EQ(a->value(), nullptr);
      EXPECT_EQ(log.texts(), std::vector<string>{ref});
      deleteGraph(top);
    }
  }
}

// Once restored, a collection may be referred to again: only one still
// being restored is refused.
TEST(GraphCycles, ACollectionRestoredEarlierIsShared) {
  for (Form form : {Form::file, Form::stream}) {
    const string inner = object(form, RWSet::classIsA(), le32(1) + object(form, IntItem::classIsA(), le32(1)));
    ReportLog log;
    RWCollectable* top =
        restored(form, graph(form, object(form, RWSlistCollectables::classIsA(), le32(2) + inner + reference(form, 2))));
    ASSERT_EQ(entriesOf(top), 2u);
    EXPECT_EQ(nth(top, 0), nth(top, 1));
    EXPECT_TRUE(log.empty());
    deleteGraph(top);
  }
}

// ---- sole owners and members restored in place --------------------------------

// Owns one object outright, restored through restoreForOwner.
class TestOwner : public RWCollectable {
 public:
  static constexpr RWClassID id = 0x7A03;
  TestOwner() = default;
  TestOwner(const TestOwner&) = delete;
  TestOwner& operator=(const TestOwner&) = delete;
  ~TestOwner() override { delete owned; }
  RWClassID isA() const override { return id; }
  void saveGuts(RWFile& f) const override { f << owned; }
  void saveGuts(RWvostream& s) const override { s << owned; }
  void restoreGuts(RWFile& f) override { take(restoreForOwner(f)); }
  void restoreGuts(RWvistream& s) override { take(restoreForOwner(s)); }

  RWCollectable* owned = nullptr;

 private:
  void take(const Restored& r) {
    EXPECT_TRUE(!r.object || r.fresh);
    if (!r.failed) owned = r.object;
  }
};

// Restores one item into its member.
class TestHolder : public RWCollectable {
 public:
  static constexpr RWClassID id = 0x7A04;
  RWClassID isA() const override { return id; }
  void saveGuts(RWFile& f) const override { f << member; }
  void saveGuts(RWvostream& s) const override { s << member; }
  void restoreGuts(RWFile& f) override { restoreInPlace(f, member); }
  void restoreGuts(RWvistream& s) override { restoreInPlace(s, member); }

  IntItem member;
};

RWCollectable* makeOwner() { return new TestOwner; }
RWCollectable* makeHolder() { return new TestHolder; }
const RWFactoryRegistrar registerOwner(makeOwner, TestOwner::id, "TestOwner");
const RWFactoryRegistrar registerHolder(makeHolder, TestHolder::id, "TestHolder");

// A list holding the owner or holder (object 2) and then a reference to the
// object inside it (object 3): that object has its one holder already.
TEST(SoleOwners, WhatTheyTookIsOutOfReach) {
  for (Form form : {Form::file, Form::stream}) {
    int before = IntItem::live();
    const string item = object(form, IntItem::classIsA(), le32(5));
    for (RWClassID holder : {TestOwner::id, TestHolder::id}) {
      ReportLog log;
      RWCollectable* top = restored(
          form, graph(form, object(form, RWSlistCollectables::classIsA(),
                                   le32(2) + object(form, holder, item) + reference(form, 3))));
      ASSERT_EQ(entriesOf(top), 1u) << holder;
      EXPECT_EQ(log.texts(), std::vector<string>{ref});
      RWCollectable* held = nth(top, 0);
      if (holder == TestOwner::id) {
        EXPECT_EQ(valueOf(static_cast<TestOwner*>(held)->owned), 5);
      } else {
        EXPECT_EQ(static_cast<TestHolder*>(held)->member.value, 5);
      }
      static_cast<RWCollection*>(top)->clearAndDelete();
      delete top;
    }
    EXPECT_EQ(IntItem::live(), before);
  }
}

// A sole owner is not given an object read earlier; the object stays with
// the list that holds it, and the owner holds nothing.
TEST(SoleOwners, RefuseAnObjectReadEarlier) {
  for (Form form : {Form::file, Form::stream}) {
    int before = IntItem::live();
    ReportLog log;
    RWCollectable* top = restored(
        form, graph(form, object(form, RWSlistCollectables::classIsA(),
                                 le32(2) + object(form, IntItem::classIsA(), le32(6)) +
                                     object(form, TestOwner::id, reference(form, 2)))));
    ASSERT_EQ(entriesOf(top), 2u);
    EXPECT_EQ(log.texts(), std::vector<string>{ref});
    EXPECT_EQ(static_cast<TestOwner*>(nth(top, 1))->owned, nullptr);
    static_cast<RWCollection*>(top)->clearAndDelete();
    delete top;
    EXPECT_EQ(IntItem::live(), before);
  }
}

// What a sole owner holds round-trips, and a stored nil is no bad reference.
TEST(SoleOwners, RoundTripAndNil) {
  TestOwner owner;
  owner.owned = new IntItem(8);
  RWCollectable* back = restoredFrom(storedBytes(&owner));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(valueOf(static_cast<TestOwner*>(back)->owned), 8);
  delete back;

  TestOwner empty;
  ReportLog log;
  back = restoredFrom(storedBytes(&empty));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(static_cast<TestOwner*>(back)->owned, nullptr);
  EXPECT_TRUE(log.empty());
  delete back;
}

// ---- B-trees of items with no stable order ------------------------------------

// Ordered by value among its own kind, and by address against anything
// else, as the default comparison is.
class MixedItem : public RWCollectable {
 public:
  static constexpr RWClassID id = 0x7A02;
  explicit MixedItem(int32_t v = 0) : value(v) {}
  RWCollectable* newSpecies() const override { return new MixedItem; }
  RWClassID isA() const override { return id; }
  int compareTo(const RWCollectable* c) const override {
    if (c->isA() != id) return RWCollectable::compareTo(c);
    int32_t o = static_cast<const MixedItem*>(c)->value;
    return value == o ? 0 : value < o ? -1 : 1;
  }
  RWBoolean isEqual(const RWCollectable* c) const override { return compareTo(c) == 0; }
  RWspace binaryStoreSize() const override { return 4; }
  void saveGuts(RWFile& f) const override { f.Write(value); }
  void restoreGuts(RWFile& f) override { f.Read(value); }
  void saveGuts(RWvostream& s) const override { s.put(value); }
  void restoreGuts(RWvistream& s) override { s.get(value); }

  int32_t value;
};

RWCollectable* makeMixed() { return new MixedItem; }
const RWFactoryRegistrar registerMixed(makeMixed, MixedItem::id, "MixedItem");

// Three items at addresses in this order: high sorts above mid and mid
// above low by address, while low and high are equal by value.
struct ThreeItems {
  MixedItem low{5};
  RWCollectable mid;
  MixedItem high{5};
};

// Inserting high, mid and low leaves the two equal items on either side of
// mid, where neither insertion found the other; with mid gone they sit side
// by side, and the tree holds both. Each stored item comes back.
TEST(MixedBTree, EveryStoredItemComesBack) {
  ThreeItems three;
  RWBTree tree;
  tree.insert(&three.high);
  tree.insert(&three.mid);
  ASSERT_EQ(tree.insert(&three.low), &three.low);
  ASSERT_EQ(tree.remove(&three.mid), &three.mid);
  ASSERT_EQ(tree.entries(), 2u);

  const string stored = storedBytes(&tree);
  std::unique_ptr<RWCollectable> back(restoredFrom(stored));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(entriesOf(back.get()), 2u);
  EXPECT_EQ(storedBytes(back.get()), stored);
  static_cast<RWBTree*>(back.get())->clearAndDelete();
}

TEST(MixedBTree, EveryStoredPairComesBack) {
  ThreeItems three;
  IntItem v1(1), v2(2), v3(3);
  RWBTreeDictionary d;
  d.insertKeyAndValue(&three.high, &v1);
  d.insertKeyAndValue(&three.mid, &v2);
  ASSERT_EQ(d.insertKeyAndValue(&three.low, &v3), &three.low);
  d.remove(&three.mid);
  ASSERT_EQ(d.entries(), 2u);

  const string stored = storedBytes(&d);
  std::unique_ptr<RWCollectable> back(restoredFrom(stored));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(entriesOf(back.get()), 2u);
  EXPECT_EQ(storedBytes(back.get()).size(), stored.size());
  static_cast<RWBTreeDictionary*>(back.get())->clearAndDelete();
}

// A reference to an item the tree holds already keeps it held once, and
// items that merely compare equal are all kept, in both forms.
TEST(MixedBTree, TheVeryObjectIsHeldOnce) {
  for (Form form : {Form::file, Form::stream}) {
    const string five = object(form, IntItem::classIsA(), le32(5));
    RWCollectable* top =
        restored(form, graph(form, object(form, RWBTree::classIsA(), le32(4) + five + reference(form, 2) + five + five)));
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(entriesOf(top), 3u);
    deleteGraph(top);
  }
}

}  // namespace
