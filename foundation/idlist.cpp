#include "rw/idlist.h"

#include "rw/rwerr.h"

RWIsvDlist::RWIsvDlist(RWIsvDlink* a) {
  init();
  insertAfterLink(&head_, a);
}

void RWIsvDlist::init() {
  head_.next_ = &tail_;
  head_.prev_ = &head_;
  tail_.next_ = &tail_;
  tail_.prev_ = &head_;
  nitems_ = 0;
}

RWIsvDlink* RWIsvDlist::at(RWsize i) const {
  if (i >= nitems_) {
    rwReportIndex(i, nitems_);
    return nullptr;
  }
  RWIsvDlink* p = head_.next_;
  while (i--) p = p->next_;
  return p;
}

void RWIsvDlist::insertAt(RWsize i, RWIsvDlink* a) {
  if (i > nitems_) return rwReportIndex(i, nitems_);
  insertAfterLink(i == 0 ? &head_ : at(i - 1), a);
}

RWIsvDlink* RWIsvDlist::removeAt(RWsize i) {
  if (i >= nitems_) {
    rwReportIndex(i, nitems_);
    return nullptr;
  }
  return removeReference(at(i));
}

void RWIsvDlist::insertAfterLink(RWIsvDlink* prev, RWIsvDlink* a) {
  if (!prev || !a) return;
  // Nothing may follow the tail sentinel: after the end means after the last link.
  if (prev == &tail_) prev = tail_.prev_;
  a->next_ = prev->next_;
  a->prev_ = prev;
  prev->next_ = a;
  a->next_->prev_ = a;
  ++nitems_;
}

RWIsvDlink* RWIsvDlist::removeReference(RWIsvDlink* a) {
  if (!a || isSentinel(a)) return nullptr;
  a->prev_->next_ = a->next_;
  a->next_->prev_ = a->prev_;
  --nitems_;
  return a;
}

RWBoolean RWIsvDlist::containsLink(const RWIsvDlink* a) const {
  if (!a) return FALSE;
  for (const RWIsvDlink* p = head_.next_; p != &tail_; p = p->next_)
    if (p == a) return TRUE;
  return FALSE;
}

RWIsvDlink* RWIsvDlistIterator::operator+=(RWsize n) {
  for (RWIsvDlink* tail = list_->tailLink(); n && cursor_ != tail; --n) cursor_ = cursor_->next_;
  return key();
}

RWIsvDlink* RWIsvDlistIterator::operator-=(RWsize n) {
  for (RWIsvDlink* head = list_->headLink(); n && cursor_ != head; --n) cursor_ = cursor_->prev_;
  return key();
}

RWIsvDlink* RWIsvDlistIterator::remove() {
  if (list_->isSentinel(cursor_)) return nullptr;
  RWIsvDlink* a = cursor_;
  cursor_ = a->prev_;
  return list_->removeReference(a);
}
