#ifndef RW_BTREE_H
#define RW_BTREE_H

// The sorted collection of collectables: an in-memory B-tree ordered by the
// items' compareTo, holding each item at most once (but see restoreGuts).
//
// Every comparison is asked of the stored item with the sought object as the
// argument (negative when the stored item sorts first), so a tree of
// associations orders by key and can be searched with a bare key.
//
// A node holds up to 100 items; every node but the root holds at least 50.
// The tree does not own its items.

#include "rw/colclass.h"

class RWBTree;

// One node, open to reading so that the shape of a tree can be examined.
class RWBTreeNode {
 public:
  static constexpr RWsize order = 50;       // the fewest items of a node other than the root
  static constexpr RWsize order2 = 2 * order;  // the most items of any node

  RWsize count() const { return count_; }
  RWCollectable* item(RWsize i) const { return items_[i]; }
  // Child i holds the items below item i; child count() those above the last.
  const RWBTreeNode* child(RWsize i) const { return children_[i]; }
  bool isLeaf() const { return children_[0] == nullptr; }

 private:
  friend class RWBTree;
  RWBTreeNode() = default;

  RWsize count_ = 0;
  RWCollectable* items_[order2] = {};
  RWBTreeNode* children_[order2 + 1] = {};
};

class RWBTree : public RWCollection {
 public:
  RWBTree() = default;
  RWBTree(const RWBTree& other);
  RWBTree& operator=(const RWBTree& other);
  ~RWBTree() override;

  RWCollectable* newSpecies() const override;
  RWCollectable* copy() const override;
  RWClassID isA() const override;
  static RWClassID classIsA() { return ClassId::RWBTree; }
  // A tree of exactly this class with as many items, every one of which
  // the other contains.
  RWBoolean isEqual(const RWCollectable* other) const override;

  // Every item in ascending order.
  void apply(RWapplyCollectable f, void* data) override;
  // Frees the nodes; the items are left alone.
  void clear() override;
  RWsize entries() const override { return entries_; }
  RWCollectable* find(const RWCollectable* target) const override;
  // Answers the item, or the stored item that compares equal to it (the
  // tree is then unchanged). A null item is not inserted: null is answered.
  RWCollectable* insert(RWCollectable* item) override;
  RWBoolean isEmpty() const override { return entries_ == 0; }
  RWsize occurrencesOf(const RWCollectable* target) const override;
  // Takes out the stored item that compares equal to the target and
  // answers it; null when there is none.
  RWCollectable* remove(const RWCollectable* target) override;

  // Levels from the root to the leaves; 0 when empty.
  unsigned height() const;
  // Whether the other collection contains every item of this tree.
  RWBoolean isSubsetOf(const RWCollection& other) const;

  const RWBTreeNode* root() const { return root_; }

  // Every stored item comes back. Items of different classes may compare
  // by address, which gives no order that holds from one run to the next:
  // a tree can hold two distinct items that compare equal (found in
  // different subtrees), and restored items at new addresses can compare
  // equal where the stored ones did not. A restored item equal to one held
  // already is therefore kept beside it, unless it is that very object.
  void restoreGuts(RWvistream&) override;
  void restoreGuts(RWFile&) override;

 protected:
  // Inserts the item even when an equal one is held (it goes in before
  // that one) and answers it; a null item is not inserted.
  RWCollectable* insertBesideEqual(RWCollectable* item);

 private:
  enum RemoveResult { removedOk, underflow, notFound };

  // The first position whose item does not sort below the target.
  static RWsize position(const RWBTreeNode* node, const RWCollectable* target);
  // Answers TRUE when the node below handed up an item (with its new right
  // neighbour); `stored` is set when an equal item was found instead.
  RWBoolean insertInto(RWBTreeNode* node, RWCollectable* item, bool keepEqual, RWCollectable*& stored,
                       RWCollectable*& upItem, RWBTreeNode*& upRight);
  RWCollectable* insertItem(RWCollectable* item, bool keepEqual);
  // Whether the very object is held (every item is looked at).
  RWBoolean holdsObject(const RWCollectable* item) const;
  static RWBoolean keepRestored(RWCollection& c, const Restored& item);
  // Removes the stored item equal to the target from the subtree, or the
  // subtree's last item when takeLast is set, leaving it in `removed`.
  RemoveResult removeFrom(RWBTreeNode* node, const RWCollectable* target, bool takeLast,
                          RWCollectable*& removed, bool isRoot);
  static RemoveResult fillState(const RWBTreeNode* node, bool isRoot);
  // Restores child i of the node to at least `order` items.
  static void refill(RWBTreeNode* node, RWsize i);
  // Child i, item i and child i + 1 become child i.
  static void merge(RWBTreeNode* node, RWsize i);
  static void freeNodes(RWBTreeNode* node);
  static void applyNodes(const RWBTreeNode* node, RWapplyCollectable f, void* data);

  RWBTreeNode* root_ = nullptr;
  RWsize entries_ = 0;
};

RW_DECLARE_RESTORE_OPERATORS(RWBTree)

#endif
