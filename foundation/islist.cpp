#include "rw/islist.h"

#include "rw/rwerr.h"

RWIsvSlist::RWIsvSlist(RWIsvSlink* a) {
  init();
  insertAfterLink(&head_, a);
}

void RWIsvSlist::init() {
  head_.next_ = &tail_;
  tail_.next_ = &tail_;
  last_ = &head_;
  nitems_ = 0;
}

RWIsvSlink* RWIsvSlist::at(RWsize i) const {
  if (i >= nitems_) {
    rwReportIndex(i, nitems_);
    return nullptr;
  }
  RWIsvSlink* p = head_.next_;
  while (i--) p = p->next_;
  return p;
}

void RWIsvSlist::insertAt(RWsize i, RWIsvSlink* a) {
  if (i > nitems_) return rwReportIndex(i, nitems_);
  insertAfterLink(i == 0 ? &head_ : at(i - 1), a);
}

RWIsvSlink* RWIsvSlist::removeAt(RWsize i) {
  if (i >= nitems_) {
    rwReportIndex(i, nitems_);
    return nullptr;
  }
  return removeRight(i == 0 ? &head_ : at(i - 1));
}

void RWIsvSlist::insertAfterLink(RWIsvSlink* prev, RWIsvSlink* a) {
  if (!prev || !a) return;
  // Nothing may follow the tail sentinel: after the end means after the last link.
  if (prev == &tail_) prev = last_;
  a->next_ = prev->next_;
  prev->next_ = a;
  if (prev == last_) last_ = a;
  ++nitems_;
}

RWIsvSlink* RWIsvSlist::removeRight(RWIsvSlink* prev) {
  if (!prev) return nullptr;
  RWIsvSlink* a = prev->next_;
  if (a == &tail_) return nullptr;  // prev is the last link (or the tail sentinel)
  prev->next_ = a->next_;
  if (a == last_) last_ = prev;
  --nitems_;
  return a;
}

RWBoolean RWIsvSlist::containsLink(const RWIsvSlink* a) const {
  if (!a) return FALSE;
  for (const RWIsvSlink* p = head_.next_; p != &tail_; p = p->next_)
    if (p == a) return TRUE;
  return FALSE;
}

RWIsvSlink* RWIsvSlist::findPredecessor(const RWIsvSlink* a) const {
  if (!a || isSentinel(a)) return nullptr;
  for (const RWIsvSlink* p = &head_; p != &tail_; p = p->next_)
    if (p->next_ == a) return const_cast<RWIsvSlink*>(p);
  return nullptr;
}

RWIsvSlink* RWIsvSlist::removeReference(RWIsvSlink* a) {
  RWIsvSlink* prev = findPredecessor(a);
  if (!prev) return nullptr;
  removeRight(prev);
  a->next_ = nullptr;
  return a;
}

RWIsvSlink* RWIsvSlistIterator::operator+=(RWsize n) {
  // The tail sentinel links to itself: once there, further steps change nothing.
  for (RWIsvSlink* tail = list_->tailLink(); n && cursor_ != tail; --n) cursor_ = cursor_->next_;
  return key();
}

RWIsvSlink* RWIsvSlistIterator::remove() {
  if (list_->isSentinel(cursor_)) return nullptr;
  RWIsvSlink* prev = list_->findPredecessor(cursor_);
  if (!prev) return nullptr;  // the link was taken out of the list behind our back
  RWIsvSlink* a = list_->removeRight(prev);
  cursor_ = prev;
  return a;
}
