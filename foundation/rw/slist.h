#ifndef RW_SLIST_H
#define RW_SLIST_H

// The pointer list: a singly linked list of untyped item pointers, each held
// in a small cell that the list allocates on insertion and frees on removal.
// The items themselves are never freed by the list.

#include "rw/defs.h"
#include "rw/islist.h"

// A test of an item against the caller's data, and a function applied to
// each item with the caller's data.
typedef RWBoolean (*RWtestGeneric)(const void* item, const void* data);
typedef void (*RWapplyGeneric)(void* item, void* data);

class RWPSlink : public RWIsvSlink {
 public:
  explicit RWPSlink(void* item) : info_(item) {}

  void* info_;
};

class RWSlist : private RWIsvSlist {
  friend class RWSlistIterator;

 public:
  RWSlist() = default;
  RWSlist(const RWSlist&);
  RWSlist& operator=(const RWSlist&);
  ~RWSlist() { clear(); }

  using RWIsvSlist::entries;
  using RWIsvSlist::isEmpty;

  // Each insertion answers the item, or null when nothing was inserted (an
  // index error, reported as for the intrusive list).
  void* append(void* item);
  void* prepend(void* item);
  void* insertAt(RWsize i, void* item);
  void* insertAfter(RWsize i, void* item);  // the item ends at index i + 1

  // The item at index i (null after an index error); first and last answer
  // null when the list is empty.
  void* at(RWsize i) const;
  void* first() const;
  void* last() const;

  void apply(RWapplyGeneric f, void* data);
  // Passes the address of each cell's item slot (a void**) in place of the item.
  void applyReference(RWapplyGeneric f, void* data);

  void* find(RWtestGeneric test, const void* data) const;
  void* findReference(const void* item) const;  // by address
  RWBoolean containsReference(const void* item) const { return findReference(item) != nullptr; }
  RWsize index(RWtestGeneric test, const void* data) const;  // RW_NPOS when none
  RWsize occurrencesOf(RWtestGeneric test, const void* data) const;
  RWsize occurrencesOfReference(const void* item) const;

  // Unlink the first matching item, free its cell and answer the item; null
  // when there is none.
  void* remove(RWtestGeneric test, const void* data);
  void* removeReference(const void* item);
  void* removeFirst() { return peel(static_cast<RWPSlink*>(RWIsvSlist::removeFirst())); }
  void* removeAt(RWsize i) { return peel(static_cast<RWPSlink*>(RWIsvSlist::removeAt(i))); }

  // Frees every cell (not the items) and leaves the list empty.
  void clear();

  // Frees a cell that has been unlinked and answers its item; null for null.
  static void* peel(RWPSlink* cell);

 private:
  RWPSlink* firstCell() const { return static_cast<RWPSlink*>(RWIsvSlist::first()); }
  // The cells, walked from the first; the tail sentinel ends the walk.
  bool isEnd(const RWIsvSlink* a) const { return a == tailLink(); }
  // The link before the first cell whose item passes; null when none.
  RWIsvSlink* findPrevious(RWIsvSlink* from, RWtestGeneric test, const void* data) const;
  RWIsvSlink* findPreviousReference(RWIsvSlink* from, const void* item) const;
};

class RWSlistIterator {
 public:
  explicit RWSlistIterator(RWSlist& s) : list_(&s), cursor_(s.headLink()) {}
  virtual ~RWSlistIterator() = default;

  // Back before the first item.
  void reset() { cursor_ = list_->headLink(); }
  void reset(RWSlist& s) { list_ = &s; reset(); }

  // Moves n cells on and answers the item reached, null past the end; with
  // n = 0 the current item, null on a sentinel.
  void* operator+=(RWsize n);
  void* operator++() { return *this += 1; }
  void* operator()() { return *this += 1; }
  void* key() const;

  void toFirst() { cursor_ = list_->headLink()->next_; }
  void toLast() { cursor_ = list_->isEmpty() ? list_->tailLink() : list_->RWIsvSlist::last(); }
  RWBoolean atFirst() const { return !list_->isSentinel(cursor_) && cursor_ == list_->RWIsvSlist::first(); }
  RWBoolean atLast() const { return !list_->isSentinel(cursor_) && cursor_ == list_->RWIsvSlist::last(); }

  // Advance until an item passes (is that pointer) and answer it; null at the end.
  void* findNext(RWtestGeneric test, const void* data);
  void* findNextReference(const void* item);

  // A new cell after the cursor; answers the item (null if nothing was inserted).
  void* insertAfterPoint(void* item);
  // Removes the current item, the cursor stepping back to the one before;
  // null on a sentinel.
  void* remove();
  // Remove the first passing item after the cursor, which stays where it is.
  void* removeNext(RWtestGeneric test, const void* data);
  void* removeNextReference(const void* item);

  RWSlist* container() const { return list_; }

 private:
  RWSlist* list_;
  RWIsvSlink* cursor_;
};

#endif
