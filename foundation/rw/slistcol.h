#ifndef RW_SLISTCOL_H
#define RW_SLISTCOL_H

// The ordered collection of collectables, and the same list used as a stack.
//
// RWSlistCollectables keeps its items in a pointer list, head to tail, and
// finds them by the item's isEqual with the target as argument. The stack
// pushes and pops at the head. Neither owns its items.

#include "rw/colclass.h"
#include "rw/slist.h"

class RWSlistCollectables : public RWSequenceCollection {
  friend class RWSlistCollectablesIterator;

 public:
  RWSlistCollectables() = default;
  explicit RWSlistCollectables(RWCollectable* item);
  RWSlistCollectables(const RWSlistCollectables&) = default;
  RWSlistCollectables& operator=(const RWSlistCollectables&) = default;
  ~RWSlistCollectables() override;

  RWCollectable* newSpecies() const override;
  RWCollectable* copy() const override;
  RWClassID isA() const override;
  static RWClassID classIsA() { return ClassId::RWSlistCollectables; }
  RWBoolean isEqual(const RWCollectable* other) const override;

  void apply(RWapplyCollectable f, void* data) override;
  void clear() override;
  RWsize entries() const override { return list_.entries(); }
  RWCollectable* find(const RWCollectable* target) const override;
  RWCollectable* insert(RWCollectable* item) override;
  RWBoolean isEmpty() const override { return list_.isEmpty(); }
  RWsize occurrencesOf(const RWCollectable* target) const override;
  RWCollectable* remove(const RWCollectable* target) override;

  RWCollectable* append(RWCollectable* item) override;
  RWCollectable* at(RWsize i) const override;
  RWCollectable*& at(RWsize i) override;
  RWCollectable* first() const override;
  RWsize index(const RWCollectable* target) const override;
  RWCollectable* insertAt(RWsize i, RWCollectable* item) override;
  RWCollectable* last() const override;
  RWCollectable* prepend(RWCollectable* item) override;
  RWCollectable* insertAfter(RWsize i, RWCollectable* item) override;

  // By address rather than by isEqual.
  RWCollectable* findReference(const RWCollectable* item) const;
  RWCollectable* removeReference(const RWCollectable* item);
  RWBoolean containsReference(const RWCollectable* item) const { return findReference(item) != nullptr; }
  // Unlinks the head item and answers it; null when empty.
  RWCollectable* removeFirst();

 protected:
  RWSlist list_;
};

class RWSlistCollectablesStack : public RWSlistCollectables {
 public:
  RWSlistCollectablesStack() = default;

  RWCollectable* newSpecies() const override;
  RWCollectable* copy() const override;
  RWClassID isA() const override;
  static RWClassID classIsA() { return ClassId::RWSlistCollectablesStack; }
  RWBoolean isEqual(const RWCollectable* other) const override;

  // Push: at the top (the head).
  RWCollectable* insert(RWCollectable* item) override;
  // Pop: the target is ignored; the top item or null.
  RWCollectable* remove(const RWCollectable* target) override;
  void removeAndDelete(const RWCollectable* target) override;
  // A stack is only pushed: append does nothing.
  RWCollectable* append(RWCollectable* item) override;

  // Restores the stored items below the ones already held, keeping the
  // stored top-first order.
  void restoreGuts(RWvistream&) override;
  void restoreGuts(RWFile&) override;

  void push(RWCollectable* item) { insert(item); }
  RWCollectable* pop() { return remove(nullptr); }
  RWCollectable* top() const { return first(); }
};

class RWSlistCollectablesIterator : public RWCollectionIterator {
 public:
  explicit RWSlistCollectablesIterator(RWSlistCollectables& list) : it_(list.list_) {}
  RWSlistCollectablesIterator(const RWSlistCollectablesIterator&) = default;

  RWCollectable* findNext(const RWCollectable* target) override;
  RWCollectable* key() const override;
  RWCollectable* operator()() override;
  void reset() override { it_.reset(); }

  // Unlinks the current item (the cursor steps back); null on a sentinel.
  RWCollectable* remove() { return static_cast<RWCollectable*>(it_.remove()); }
  // Unlinks the next item after the cursor that equals the target.
  RWCollectable* removeNext(const RWCollectable* target);
  RWCollectable* findNextReference(const RWCollectable* item) {
    return static_cast<RWCollectable*>(it_.findNextReference(item));
  }
  RWCollectable* removeNextReference(const RWCollectable* item) {
    return static_cast<RWCollectable*>(it_.removeNextReference(item));
  }
  RWCollectable* insertAfterPoint(RWCollectable* item) {
    return static_cast<RWCollectable*>(it_.insertAfterPoint(item));
  }
  void toFirst() { it_.toFirst(); }

 private:
  RWSlistIterator it_;
};

RW_DECLARE_RESTORE_OPERATORS(RWSlistCollectables)
RW_DECLARE_RESTORE_OPERATORS(RWSlistCollectablesStack)

#endif
