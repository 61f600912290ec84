#ifndef RW_IDLIST_H
#define RW_IDLIST_H

// The intrusive doubly linked list.
//
// As with the singly linked list, the caller's objects embed the link and
// two sentinels bound the list; the head sentinel's prev is itself and the
// tail sentinel's next is itself, so stepping beyond either end stays there.
// The last link is the tail sentinel's prev.

#include "rw/defs.h"

class RWIsvDlink {
 public:
  RWIsvDlink() : next_(nullptr), prev_(nullptr) {}
  // A copy of a linked object is a new object and is not in any list.
  RWIsvDlink(const RWIsvDlink&) : next_(nullptr), prev_(nullptr) {}
  RWIsvDlink& operator=(const RWIsvDlink&) { return *this; }

  RWIsvDlink* next() const { return next_; }
  RWIsvDlink* prev() const { return prev_; }

  RWIsvDlink* next_;
  RWIsvDlink* prev_;
};

class RWIsvDlist {
 public:
  RWIsvDlist() { init(); }
  explicit RWIsvDlist(RWIsvDlink* a);  // holds that one link
  RWIsvDlist(const RWIsvDlist&) = delete;
  RWIsvDlist& operator=(const RWIsvDlist&) = delete;

  // The empty state; the links that were held are not touched.
  void init();
  void clear() { init(); }

  RWsize entries() const { return nitems_; }
  RWBoolean isEmpty() const { return nitems_ == 0; }
  RWIsvDlink* first() const { return nitems_ ? head_.next_ : nullptr; }
  RWIsvDlink* last() const { return nitems_ ? tail_.prev_ : nullptr; }

  // Index errors are reported as for the singly linked list; at and
  // removeAt then answer null and insertAt links nothing.
  RWIsvDlink* at(RWsize i) const;
  void insertAt(RWsize i, RWIsvDlink* a);
  RWIsvDlink* removeAt(RWsize i);

  void append(RWIsvDlink* a) { insertAfterLink(tail_.prev_, a); }
  void prepend(RWIsvDlink* a) { insertAfterLink(&head_, a); }

  // Links a after prev, a link of this list or the head sentinel (the tail
  // sentinel stands for the last link). A null link is ignored.
  void insertAfterLink(RWIsvDlink* prev, RWIsvDlink* a);
  // Unlinks a, which must be in this list, and answers it; its own fields
  // are left as they were. Null for null or a sentinel.
  RWIsvDlink* removeReference(RWIsvDlink* a);
  RWIsvDlink* removeFirst() { return nitems_ ? removeReference(head_.next_) : nullptr; }
  RWIsvDlink* removeLast() { return nitems_ ? removeReference(tail_.prev_) : nullptr; }

  RWBoolean containsLink(const RWIsvDlink* a) const;

  RWIsvDlink* headLink() const { return const_cast<RWIsvDlink*>(&head_); }
  RWIsvDlink* tailLink() const { return const_cast<RWIsvDlink*>(&tail_); }
  bool isSentinel(const RWIsvDlink* a) const { return a == &head_ || a == &tail_; }

 private:
  RWIsvDlink head_;
  RWIsvDlink tail_;
  RWsize nitems_;
};

class RWIsvDlistIterator {
 public:
  explicit RWIsvDlistIterator(RWIsvDlist& s) { reset(s); }

  void reset() { cursor_ = list_->headLink(); }
  void reset(RWIsvDlist& s) { list_ = &s; reset(); }

  // Move n links on (back); answer the link reached, null on a sentinel.
  RWIsvDlink* operator+=(RWsize n);
  RWIsvDlink* operator-=(RWsize n);
  RWIsvDlink* operator++() { return *this += 1; }
  RWIsvDlink* operator--() { return *this -= 1; }
  RWIsvDlink* key() const { return list_->isSentinel(cursor_) ? nullptr : cursor_; }

  void toFirst() { cursor_ = list_->headLink()->next_; }
  void toLast() { cursor_ = list_->isEmpty() ? list_->tailLink() : list_->last(); }
  RWBoolean atFirst() const { return !list_->isSentinel(cursor_) && cursor_ == list_->first(); }
  RWBoolean atLast() const { return !list_->isSentinel(cursor_) && cursor_ == list_->last(); }

  void insertAfterPoint(RWIsvDlink* a) { list_->insertAfterLink(cursor_, a); }
  // Unlinks the current link and answers it, the cursor moving back to the
  // link before it; null on a sentinel.
  RWIsvDlink* remove();

  RWIsvDlist* container() const { return list_; }

 private:
  RWIsvDlist* list_;
  RWIsvDlink* cursor_;
};

#endif
