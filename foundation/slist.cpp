#include "rw/slist.h"

#include "rw/bufhelp.h"
#include "rw/rwerr.h"

RWSlist::RWSlist(const RWSlist& s) : RWIsvSlist() {
  for (RWIsvSlink* a = s.headLink()->next_; !s.isEnd(a); a = a->next_) append(static_cast<RWPSlink*>(a)->info_);
}

RWSlist& RWSlist::operator=(const RWSlist& s) {
  if (this != &s) {
    clear();
    for (RWIsvSlink* a = s.headLink()->next_; !s.isEnd(a); a = a->next_) append(static_cast<RWPSlink*>(a)->info_);
  }
  return *this;
}

void* RWSlist::append(void* item) {
  RWIsvSlist::append(rwAllocated(new RWPSlink(item)));
  return item;
}

void* RWSlist::prepend(void* item) {
  RWIsvSlist::prepend(rwAllocated(new RWPSlink(item)));
  return item;
}

void* RWSlist::insertAt(RWsize i, void* item) {
  if (i > entries()) {
    rwReportIndex(i, entries());
    return nullptr;
  }
  RWIsvSlist::insertAt(i, rwAllocated(new RWPSlink(item)));
  return item;
}

void* RWSlist::insertAfter(RWsize i, void* item) {
  RWIsvSlink* prev = RWIsvSlist::at(i);
  if (!prev) return nullptr;
  insertAfterLink(prev, rwAllocated(new RWPSlink(item)));
  return item;
}

void* RWSlist::at(RWsize i) const {
  RWPSlink* c = static_cast<RWPSlink*>(RWIsvSlist::at(i));
  return c ? c->info_ : nullptr;
}

void* RWSlist::first() const {
  RWPSlink* c = firstCell();
  return c ? c->info_ : nullptr;
}

void* RWSlist::last() const {
  RWPSlink* c = static_cast<RWPSlink*>(RWIsvSlist::last());
  return c ? c->info_ : nullptr;
}

void RWSlist::apply(RWapplyGeneric f, void* data) {
  for (RWIsvSlink* a = headLink()->next_; !isEnd(a); a = a->next_) f(static_cast<RWPSlink*>(a)->info_, data);
}

void RWSlist::applyReference(RWapplyGeneric f, void* data) {
  for (RWIsvSlink* a = headLink()->next_; !isEnd(a); a = a->next_) f(&static_cast<RWPSlink*>(a)->info_, data);
}

RWIsvSlink* RWSlist::findPrevious(RWIsvSlink* from, RWtestGeneric test, const void* data) const {
  for (RWIsvSlink* p = from; !isEnd(p->next_); p = p->next_)
    if (test(static_cast<RWPSlink*>(p->next_)->info_, data)) return p;
  return nullptr;
}

RWIsvSlink* RWSlist::findPreviousReference(RWIsvSlink* from, const void* item) const {
  for (RWIsvSlink* p = from; !isEnd(p->next_); p = p->next_)
    if (static_cast<RWPSlink*>(p->next_)->info_ == item) return p;
  return nullptr;
}

void* RWSlist::find(RWtestGeneric test, const void* data) const {
  RWIsvSlink* p = findPrevious(headLink(), test, data);
  return p ? static_cast<RWPSlink*>(p->next_)->info_ : nullptr;
}

void* RWSlist::findReference(const void* item) const {
  RWIsvSlink* p = findPreviousReference(headLink(), item);
  return p ? static_cast<RWPSlink*>(p->next_)->info_ : nullptr;
}

RWsize RWSlist::index(RWtestGeneric test, const void* data) const {
  RWsize i = 0;
  for (RWIsvSlink* a = headLink()->next_; !isEnd(a); a = a->next_, ++i)
    if (test(static_cast<RWPSlink*>(a)->info_, data)) return i;
  return RW_NPOS;
}

RWsize RWSlist::occurrencesOf(RWtestGeneric test, const void* data) const {
  RWsize n = 0;
  for (RWIsvSlink* a = headLink()->next_; !isEnd(a); a = a->next_)
    if (test(static_cast<RWPSlink*>(a)->info_, data)) ++n;
  return n;
}

RWsize RWSlist::occurrencesOfReference(const void* item) const {
  RWsize n = 0;
  for (RWIsvSlink* a = headLink()->next_; !isEnd(a); a = a->next_)
    if (static_cast<RWPSlink*>(a)->info_ == item) ++n;
  return n;
}

void* RWSlist::remove(RWtestGeneric test, const void* data) {
  RWIsvSlink* p = findPrevious(headLink(), test, data);
  return p ? peel(static_cast<RWPSlink*>(removeRight(p))) : nullptr;
}

void* RWSlist::removeReference(const void* item) {
  RWIsvSlink* p = findPreviousReference(headLink(), item);
  return p ? peel(static_cast<RWPSlink*>(removeRight(p))) : nullptr;
}

void RWSlist::clear() {
  RWIsvSlink* a = headLink()->next_;
  while (!isEnd(a)) {
    RWIsvSlink* next = a->next_;
    delete static_cast<RWPSlink*>(a);
    a = next;
  }
  init();
}

void* RWSlist::peel(RWPSlink* cell) {
  if (!cell) return nullptr;
  void* item = cell->info_;
  delete cell;
  return item;
}

void* RWSlistIterator::operator+=(RWsize n) {
  for (RWIsvSlink* tail = list_->tailLink(); n && cursor_ != tail; --n) cursor_ = cursor_->next_;
  return key();
}

void* RWSlistIterator::key() const {
  return list_->isSentinel(cursor_) ? nullptr : static_cast<RWPSlink*>(cursor_)->info_;
}

void* RWSlistIterator::findNext(RWtestGeneric test, const void* data) {
  // Items may be null, so the walk stops on the end, not on a null item.
  for (RWIsvSlink* tail = list_->tailLink(); cursor_ != tail;) {
    cursor_ = cursor_->next_;
    if (cursor_ != tail && test(static_cast<RWPSlink*>(cursor_)->info_, data)) return key();
  }
  return nullptr;
}

void* RWSlistIterator::findNextReference(const void* item) {
  // Items may be null, so the walk stops on the end, not on a null item.
  for (RWIsvSlink* tail = list_->tailLink(); cursor_ != tail;) {
    cursor_ = cursor_->next_;
    if (cursor_ != tail && static_cast<RWPSlink*>(cursor_)->info_ == item) return key();
  }
  return nullptr;
}

void* RWSlistIterator::insertAfterPoint(void* item) {
  list_->insertAfterLink(cursor_, new RWPSlink(item));
  return item;
}

void* RWSlistIterator::remove() {
  if (list_->isSentinel(cursor_)) return nullptr;
  RWIsvSlink* prev = list_->findPredecessor(cursor_);
  if (!prev) return nullptr;
  RWIsvSlink* cell = list_->removeRight(prev);
  cursor_ = prev;
  return RWSlist::peel(static_cast<RWPSlink*>(cell));
}

void* RWSlistIterator::removeNext(RWtestGeneric test, const void* data) {
  if (cursor_ == list_->tailLink()) return nullptr;
  RWIsvSlink* p = list_->findPrevious(cursor_, test, data);
  return p ? RWSlist::peel(static_cast<RWPSlink*>(list_->removeRight(p))) : nullptr;
}

void* RWSlistIterator::removeNextReference(const void* item) {
  if (cursor_ == list_->tailLink()) return nullptr;
  RWIsvSlink* p = list_->findPreviousReference(cursor_, item);
  return p ? RWSlist::peel(static_cast<RWPSlink*>(list_->removeRight(p))) : nullptr;
}
