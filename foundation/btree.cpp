#include "rw/btree.h"

#include <utility>

#include "eqmemo.h"
#include "rw/factory.h"

namespace {

RWCollectable* createTree() { return new RWBTree; }

RW_FACTORY_REGISTRATION(registerTree, createTree, RWBTree::classIsA(), "RWBTree");

void insertItemInto(RWCollectable* item, void* target) { static_cast<RWCollection*>(target)->insert(item); }

struct ContainsAll {
  const RWCollection* other;
  bool holds;
};

void checkContained(RWCollectable* item, void* data) {
  ContainsAll* t = static_cast<ContainsAll*>(data);
  if (t->holds && !t->other->contains(item)) t->holds = false;
}

}  // namespace

RW_DEFINE_RESTORE_OPERATORS(RWBTree)

RWBTree::RWBTree(const RWBTree& other) : RWCollection(other) {
  const_cast<RWBTree&>(other).apply(insertItemInto, this);
}

RWBTree& RWBTree::operator=(const RWBTree& other) {
  if (this != &other) {
    clear();
    const_cast<RWBTree&>(other).apply(insertItemInto, this);
  }
  return *this;
}

RWBTree::~RWBTree() { freeNodes(root_); }

RWCollectable* RWBTree::newSpecies() const { return new RWBTree; }
RWCollectable* RWBTree::copy() const { return new RWBTree(*this); }
RWClassID RWBTree::isA() const { return classIsA(); }

RWBoolean RWBTree::isEqual(const RWCollectable* other) const {
  if (!other || other->isA() != classIsA()) return FALSE;
  // A collection is equal to itself: its items need no comparing, which in
  // a restored graph that shares collections would cost a walk of every
  // path through it.
  if (other == this) return TRUE;
  const RWBTree* o = static_cast<const RWBTree*>(other);
  if (o->entries() != entries()) return FALSE;
  return rwCompareOnce(this, other, [&] { return isSubsetOf(*o); });
}

RWBoolean RWBTree::isSubsetOf(const RWCollection& other) const {
  ContainsAll t{&other, true};
  applyNodes(root_, checkContained, &t);
  return t.holds;
}

void RWBTree::applyNodes(const RWBTreeNode* node, RWapplyCollectable f, void* data) {
  if (!node) return;
  for (RWsize i = 0; i < node->count_; ++i) {
    applyNodes(node->children_[i], f, data);
    f(node->items_[i], data);
  }
  applyNodes(node->children_[node->count_], f, data);
}

void RWBTree::apply(RWapplyCollectable f, void* data) { applyNodes(root_, f, data); }

void RWBTree::freeNodes(RWBTreeNode* node) {
  if (!node) return;
  for (RWsize i = 0; i <= node->count_; ++i) freeNodes(node->children_[i]);
  delete node;
}

void RWBTree::clear() {
  freeNodes(root_);
  root_ = nullptr;
  entries_ = 0;
}

unsigned RWBTree::height() const {
  unsigned levels = 0;
  for (const RWBTreeNode* n = root_; n; n = n->children_[0]) ++levels;
  return levels;
}

// ---- searching --------------------------------------------------------------------

RWsize RWBTree::position(const RWBTreeNode* node, const RWCollectable* target) {
  RWsize n = node->count_;
  if (node->items_[0]->compareTo(target) >= 0) return 0;
  if (node->items_[n - 1]->compareTo(target) < 0) return n;
  // Item lo sorts below the target and item hi does not.
  RWsize lo = 0;
  RWsize hi = n - 1;
  while (hi - lo > 1) {
    RWsize mid = (lo + hi) / 2;
    if (node->items_[mid]->compareTo(target) < 0)
      lo = mid;
    else
      hi = mid;
  }
  return hi;
}

RWCollectable* RWBTree::find(const RWCollectable* target) const {
  for (const RWBTreeNode* n = root_; n;) {
    RWsize i = position(n, target);
    if (i < n->count_ && n->items_[i]->compareTo(target) == 0) return n->items_[i];
    n = n->children_[i];
  }
  return nullptr;
}

RWsize RWBTree::occurrencesOf(const RWCollectable* target) const { return find(target) ? 1 : 0; }

// ---- inserting --------------------------------------------------------------------

RWCollectable* RWBTree::insert(RWCollectable* item) { return insertItem(item, false); }

RWCollectable* RWBTree::insertBesideEqual(RWCollectable* item) { return insertItem(item, true); }

RWCollectable* RWBTree::insertItem(RWCollectable* item, bool keepEqual) {
  // A null item could never be compared with anything later.
  if (!item) return nullptr;
  RWCollectable* stored = nullptr;
  RWCollectable* upItem = nullptr;
  RWBTreeNode* upRight = nullptr;
  if (insertInto(root_, item, keepEqual, stored, upItem, upRight)) {
    RWBTreeNode* top = new RWBTreeNode;
    top->count_ = 1;
    top->items_[0] = upItem;
    top->children_[0] = root_;
    top->children_[1] = upRight;
    root_ = top;
  }
  return stored ? stored : item;
}

RWBoolean RWBTree::insertInto(RWBTreeNode* node, RWCollectable* item, bool keepEqual,
                              RWCollectable*& stored, RWCollectable*& upItem, RWBTreeNode*& upRight) {
  if (!node) {
    // Below a leaf: the item itself goes up into the leaf.
    upItem = item;
    upRight = nullptr;
    ++entries_;
    return TRUE;
  }
  RWsize pos = position(node, item);
  // Kept beside an equal item, the new one goes down to its left: every
  // item of that subtree sorts below it, as the new one does not.
  if (!keepEqual && pos < node->count_ && node->items_[pos]->compareTo(item) == 0) {
    stored = node->items_[pos];
    return FALSE;
  }
  RWCollectable* x;
  RWBTreeNode* right;
  if (!insertInto(node->children_[pos], item, keepEqual, stored, x, right)) return FALSE;

  RWsize n = node->count_;
  if (n < RWBTreeNode::order2) {
    for (RWsize j = n; j > pos; --j) {
      node->items_[j] = node->items_[j - 1];
      node->children_[j + 1] = node->children_[j];
    }
    node->items_[pos] = x;
    node->children_[pos + 1] = right;
    node->count_ = n + 1;
    return FALSE;
  }

  // Full: with the incoming item there are 101 items and 102 children. The
  // lower 50 stay, the middle one goes up, the upper 50 go to a new node on
  // its right.
  RWCollectable* items[RWBTreeNode::order2 + 1];
  RWBTreeNode* children[RWBTreeNode::order2 + 2];
  for (RWsize j = 0, k = 0; j <= n; ++j) {
    if (j == pos) {
      items[j] = x;
    } else {
      items[j] = node->items_[k++];
    }
  }
  for (RWsize j = 0, k = 0; j <= n + 1; ++j) {
    if (j == pos + 1) {
      children[j] = right;
    } else {
      children[j] = node->children_[k++];
    }
  }
  const RWsize half = RWBTreeNode::order;
  RWBTreeNode* sibling = new RWBTreeNode;
  for (RWsize j = 0; j < half; ++j) {
    node->items_[j] = items[j];
    node->children_[j] = children[j];
    sibling->items_[j] = items[half + 1 + j];
    sibling->children_[j] = children[half + 1 + j];
  }
  node->children_[half] = children[half];
  sibling->children_[half] = children[2 * half + 1];
  for (RWsize j = half; j < n; ++j) {
    node->items_[j] = nullptr;
    node->children_[j + 1] = nullptr;
  }
  node->count_ = half;
  sibling->count_ = half;
  upItem = items[half];
  upRight = sibling;
  return TRUE;
}

// ---- restoring --------------------------------------------------------------------

namespace {
struct ObjectSearch {
  const RWCollectable* object;
  bool found;
};

void checkObject(RWCollectable* item, void* data) {
  ObjectSearch* s = static_cast<ObjectSearch*>(data);
  if (item == s->object) s->found = true;
}
}  // namespace

RWBoolean RWBTree::holdsObject(const RWCollectable* item) const {
  ObjectSearch s{item, false};
  applyNodes(root_, checkObject, &s);
  return s.found;
}

// An object this read made cannot be held yet; a stored reference can name
// an item held already, which stays held once.
RWBoolean RWBTree::keepRestored(RWCollection& c, const Restored& item) {
  RWBTree& tree = static_cast<RWBTree&>(c);
  if (tree.insert(item.object) == item.object) return TRUE;
  if (!item.fresh && tree.holdsObject(item.object)) return TRUE;
  return tree.insertBesideEqual(item.object) == item.object;
}

void RWBTree::restoreGuts(RWvistream& s) {
  clear();
  restoreItems(s, keepRestored);
}

void RWBTree::restoreGuts(RWFile& f) {
  clear();
  restoreItems(f, keepRestored);
}

// ---- removing ---------------------------------------------------------------------

RWCollectable* RWBTree::remove(const RWCollectable* target) {
  if (!root_) return nullptr;
  RWCollectable* removed = nullptr;
  if (removeFrom(root_, target, false, removed, true) == notFound) return nullptr;
  if (root_->count_ == 0) {
    RWBTreeNode* old = root_;
    root_ = old->children_[0];
    delete old;
  }
  return removed;
}

RWBTree::RemoveResult RWBTree::fillState(const RWBTreeNode* node, bool isRoot) {
  if (isRoot ? node->count_ == 0 : node->count_ < RWBTreeNode::order) return underflow;
  return removedOk;
}

// Taking the last item is how an inner item is replaced by its in-order
// predecessor, without searching for the target again in a subtree whose
// order a swap would have broken.
RWBTree::RemoveResult RWBTree::removeFrom(RWBTreeNode* node, const RWCollectable* target,
                                          bool takeLast, RWCollectable*& removed, bool isRoot) {
  if (!node) return notFound;
  RWsize pos = takeLast ? node->count_ : position(node, target);
  bool here = !takeLast && pos < node->count_ && node->items_[pos]->compareTo(target) == 0;

  if (node->isLeaf()) {
    if (takeLast) pos = node->count_ - 1;
    else if (!here) return notFound;
    removed = node->items_[pos];
    for (RWsize j = pos + 1; j < node->count_; ++j) node->items_[j - 1] = node->items_[j];
    node->items_[--node->count_] = nullptr;
    --entries_;
    return fillState(node, isRoot);
  }

  RemoveResult r;
  if (here) {
    RWCollectable* predecessor = nullptr;
    r = removeFrom(node->children_[pos], nullptr, true, predecessor, false);
    removed = node->items_[pos];
    node->items_[pos] = predecessor;
  } else {
    r = removeFrom(node->children_[pos], target, takeLast, removed, false);
  }
  if (r != underflow) return r;
  refill(node, pos);
  return fillState(node, isRoot);
}

void RWBTree::refill(RWBTreeNode* node, RWsize i) {
  RWBTreeNode* child = node->children_[i];
  if (i == node->count_) {
    // The last child borrows through the separator from its left sibling,
    // and merges with it when the sibling had no item to spare.
    RWBTreeNode* left = node->children_[i - 1];
    for (RWsize j = child->count_; j > 0; --j) child->items_[j] = child->items_[j - 1];
    for (RWsize j = child->count_ + 1; j > 0; --j) child->children_[j] = child->children_[j - 1];
    child->items_[0] = node->items_[i - 1];
    child->children_[0] = left->children_[left->count_];
    ++child->count_;
    node->items_[i - 1] = left->items_[left->count_ - 1];
    left->items_[left->count_ - 1] = nullptr;
    left->children_[left->count_] = nullptr;
    --left->count_;
    if (left->count_ < RWBTreeNode::order) merge(node, i - 1);
    return;
  }
  RWBTreeNode* right = node->children_[i + 1];
  if (right->count_ > RWBTreeNode::order) {
    child->items_[child->count_] = node->items_[i];
    child->children_[child->count_ + 1] = right->children_[0];
    ++child->count_;
    node->items_[i] = right->items_[0];
    for (RWsize j = 1; j < right->count_; ++j) right->items_[j - 1] = right->items_[j];
    for (RWsize j = 1; j <= right->count_; ++j) right->children_[j - 1] = right->children_[j];
    --right->count_;
    right->items_[right->count_] = nullptr;
    right->children_[right->count_ + 1] = nullptr;
    return;
  }
  merge(node, i);
}

void RWBTree::merge(RWBTreeNode* node, RWsize i) {
  RWBTreeNode* left = node->children_[i];
  RWBTreeNode* right = node->children_[i + 1];
  RWsize n = left->count_;
  left->items_[n] = node->items_[i];
  for (RWsize j = 0; j < right->count_; ++j) left->items_[n + 1 + j] = right->items_[j];
  for (RWsize j = 0; j <= right->count_; ++j) left->children_[n + 1 + j] = right->children_[j];
  left->count_ = n + 1 + right->count_;
  delete right;
  for (RWsize j = i + 1; j < node->count_; ++j) {
    node->items_[j - 1] = node->items_[j];
    node->children_[j] = node->children_[j + 1];
  }
  --node->count_;
  node->items_[node->count_] = nullptr;
  node->children_[node->count_ + 1] = nullptr;
}
