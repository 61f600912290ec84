// Generated trees of composites, leaves and association lists stored to a
// binary file and to each virtual-stream form, and restored equal; the
// stored size every class announces against the bytes it writes.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "core/passoc.h"
#include "fixtures.h"
#include "rw/bstream.h"
#include "rw/estream.h"
#include "rw/pstream.h"
#include "rw/rwstore.h"

namespace {

class TreeMaker {
 public:
  explicit TreeMaker(unsigned seed) : rng_(seed) {}

  // A composite root that holds at least one nil entry.
  MPersistentComposite* tree() {
    MPersistentComposite* root = new MPersistentComposite(number(1000));
    fill(root, 0);
    root->children().insertAt(number(static_cast<uint32_t>(root->entries())), GCountedPtr());
    return root;
  }

 private:
  uint32_t number(uint32_t bound) { return std::uniform_int_distribution<uint32_t>(0, bound)(rng_); }

  void fill(MPersistentComposite* c, int depth) {
    for (uint32_t n = depth == 0 ? 3 + number(4) : number(4); n > 0; --n) {
      switch (number(9)) {
        case 0:
          c->children().append(GCountedPtr());
          break;
        case 1:
          // A leaf met before: stored once, then as a reference.
          if (!leaves_.empty()) {
            c->insert(leaves_[number(static_cast<uint32_t>(leaves_.size() - 1))]);
            break;
          }
          [[fallthrough]];
        default:
          c->insert(object(depth + 1));
      }
    }
  }

  MPersistentObject* object(int depth) {
    uint32_t pick = depth < 3 ? number(3) : number(1);
    if (pick == 0) {
      // One draw per statement: the order in which a call's arguments are
      // evaluated differs between compilers, and so would the trees.
      const int32_t value = static_cast<int32_t>(number(0xFFFFFFFF));
      TestLeaf* leaf = new TestLeaf(number(20), value);
      leaves_.push_back(leaf);
      return leaf;
    }
    if (pick == 1) return new TestBare(number(20));
    if (pick == 2) {
      MPersistentComposite* c = new MPersistentComposite(number(20));
      fill(c, depth);
      return c;
    }
    MAssociationList* list = new MAssociationList(number(20));
    for (uint32_t n = number(3); n > 0; --n) {
      // Values may be whole subtrees or absent; keys are owned leaves.
      MPersistentObject* value = nullptr;
      uint32_t kind = number(2);
      if (kind == 1) {
        const int32_t v = static_cast<int32_t>(number(50));
        value = new TestLeaf(number(20), v);
      }
      if (kind == 2) {
        MPersistentComposite* c = new MPersistentComposite(number(20));
        fill(c, depth + 1);
        value = c;
      }
      // Keys distinct within the list: a matching key would replace an
      // earlier association and delete its value, and with it leaves that
      // leaves_ still hands out.
      const uint32_t associationId = number(20);
      MPersistentObject* key = new TestBare(6 * n + number(5));
      list->insertAssociation(new MPersistentAssociation(key, value, associationId));
    }
    return list;
  }

  std::mt19937 rng_;
  std::vector<MPersistentObject*> leaves_;  // shared by the tree, not owned here
};

// Every object of a tree, the root first: composite children and the keys
// and values of associations.
void everyObject(MPersistentObject* o, const std::function<void(MPersistentObject*)>& visit) {
  if (!o) return;
  visit(o);
  if (auto* a = dynamic_cast<MPersistentAssociation*>(o)) {
    everyObject(a->key(), visit);
    everyObject(a->value(), visit);
  }
  if (auto* c = dynamic_cast<MPersistentComposite*>(o)) {
    for (RWsize i = 0; i < c->entries(); ++i) everyObject(c->children().pointee(i), visit);
  }
}

class RoundTrip : public StoreTest {};

TEST_F(RoundTrip, GeneratedTreesComeBackEqualFromEveryForm) {
  for (unsigned seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE(seed);
    TreeMaker maker(seed);
    std::unique_ptr<MPersistentComposite> tree(maker.tree());
    const std::string stored = storeFile(tree.get());
    EXPECT_EQ(tree->recursiveStoreSize(), stored.size());

    // Read back as a persistent object, whatever the tree's own class.
    forEachStoreForm<MPersistentObject>(tree.get(), [&](const char* form, std::unique_ptr<MPersistentObject> back) {
      ASSERT_NE(back, nullptr) << form;
      EXPECT_TRUE(back->isEqual(tree.get())) << form;
      EXPECT_EQ(back->totalEntries(), tree->totalEntries()) << form;
      // Serial numbers, nil entries and shared leaves all come back: the
      // restored tree stores the same bytes.
      EXPECT_EQ(storeFile(back.get()), stored) << form;
    });
  }
}

TEST_F(RoundTrip, EveryClassSizesExactlyWhatItWrites) {
  for (unsigned seed = 100; seed < 110; ++seed) {
    SCOPED_TRACE(seed);
    TreeMaker maker(seed);
    std::unique_ptr<MPersistentComposite> tree(maker.tree());
    everyObject(tree.get(), [&](MPersistentObject* o) {
      RWspace asMember;
      {
        RWUseStoreTable table;  // sized as a stored member is
        asMember = o->binaryStoreSize();
      }
      const RWspace alone = o->binaryStoreSize();
      // Magic and class tag around the object's own bytes.
      EXPECT_EQ(storeFile(o).size(), 6 + asMember) << o->isA();
      EXPECT_EQ(alone, asMember) << o->isA();
    });
  }
}

}  // namespace
