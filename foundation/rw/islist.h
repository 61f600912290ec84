#ifndef RW_ISLIST_H
#define RW_ISLIST_H

// The intrusive singly linked list.
//
// The caller's objects embed the link (derive from RWIsvSlink); the list
// never allocates or frees links. Two sentinel links bound the list: walks
// start at the head sentinel and stop on the tail sentinel, which links to
// itself so that stepping past the end stays there. Indexes count links
// from 0 at the head. No list locks; a list belongs to one user at a time.

#include "rw/defs.h"

class RWIsvSlink {
 public:
  RWIsvSlink() : next_(nullptr) {}
  // A copy of a linked object is a new object and is not in any list.
  RWIsvSlink(const RWIsvSlink&) : next_(nullptr) {}
  RWIsvSlink& operator=(const RWIsvSlink&) { return *this; }

  RWIsvSlink* next() const { return next_; }

  RWIsvSlink* next_;
};

class RWIsvSlist {
 public:
  RWIsvSlist() { init(); }
  explicit RWIsvSlist(RWIsvSlink* a);  // holds that one link
  // The sentinels link to each other by address: a list cannot be copied.
  RWIsvSlist(const RWIsvSlist&) = delete;
  RWIsvSlist& operator=(const RWIsvSlist&) = delete;

  // The empty state. The links that were held are not touched, so they
  // still point at each other; callers must not rely on them.
  void init();
  void clear() { init(); }

  RWsize entries() const { return nitems_; }
  RWBoolean isEmpty() const { return nitems_ == 0; }
  RWIsvSlink* first() const { return nitems_ ? head_.next_ : nullptr; }
  RWIsvSlink* last() const { return nitems_ ? last_ : nullptr; }

  // Index errors (NPOSINDEX for RW_NPOS, else INDEXERR) are reported; at
  // and removeAt then answer null and insertAt links nothing. insertAt
  // accepts the count itself and appends.
  RWIsvSlink* at(RWsize i) const;
  void insertAt(RWsize i, RWIsvSlink* a);
  RWIsvSlink* removeAt(RWsize i);

  void append(RWIsvSlink* a) { insertAfterLink(last_, a); }
  void prepend(RWIsvSlink* a) { insertAfterLink(&head_, a); }
  RWIsvSlink* removeFirst() { return removeRight(&head_); }

  // Links a after prev, which is a link of this list or the head sentinel
  // (the tail sentinel stands for the last link). A null link is ignored.
  void insertAfterLink(RWIsvSlink* prev, RWIsvSlink* a);
  // Unlinks and answers the link after prev; null when prev is null or the
  // last link. The unlinked link's next is left as it was.
  RWIsvSlink* removeRight(RWIsvSlink* prev);

  RWBoolean containsLink(const RWIsvSlink* a) const;
  // Unlinks a when it is in the list, clearing its next; null otherwise.
  RWIsvSlink* removeReference(RWIsvSlink* a);
  // The link before a (the head sentinel for the first link); null when a
  // is null or not in the list.
  RWIsvSlink* findPredecessor(const RWIsvSlink* a) const;

  // The sentinels, for walks and iterators.
  RWIsvSlink* headLink() const { return const_cast<RWIsvSlink*>(&head_); }
  RWIsvSlink* tailLink() const { return const_cast<RWIsvSlink*>(&tail_); }
  bool isSentinel(const RWIsvSlink* a) const { return a == &head_ || a == &tail_; }

 private:
  RWIsvSlink head_;
  RWIsvSlink tail_;
  RWIsvSlink* last_;  // the head sentinel when empty
  RWsize nitems_;
};

class RWIsvSlistIterator {
 public:
  explicit RWIsvSlistIterator(RWIsvSlist& s) { reset(s); }

  // Back before the first link (on the head sentinel).
  void reset() { cursor_ = list_->headLink(); }
  void reset(RWIsvSlist& s) { list_ = &s; reset(); }

  // Moves n links on and answers the link reached, null past the end; with
  // n = 0 the current link, null on a sentinel.
  RWIsvSlink* operator+=(RWsize n);
  RWIsvSlink* operator++() { return *this += 1; }
  RWIsvSlink* key() const { return list_->isSentinel(cursor_) ? nullptr : cursor_; }

  void toFirst() { cursor_ = list_->headLink()->next_; }
  void toLast() { cursor_ = list_->isEmpty() ? list_->tailLink() : list_->last(); }
  RWBoolean atFirst() const { return !list_->isSentinel(cursor_) && cursor_ == list_->first(); }
  RWBoolean atLast() const { return !list_->isSentinel(cursor_) && cursor_ == list_->last(); }

  void insertAfterPoint(RWIsvSlink* a) { list_->insertAfterLink(cursor_, a); }
  // Unlinks the current link and answers it, the cursor stepping back to
  // its predecessor; null on a sentinel.
  RWIsvSlink* remove();

  RWIsvSlist* container() const { return list_; }

 private:
  RWIsvSlist* list_;
  RWIsvSlink* cursor_;
};

#endif
