#include "rw/slistcol.h"

#include "eqmemo.h"
#include "rw/factory.h"
#include "rw/rwerr.h"

namespace {

RWCollectable* createList() { return new RWSlistCollectables; }
RWCollectable* createStack() { return new RWSlistCollectablesStack; }

RW_FACTORY_REGISTRATION(registerList, createList, RWSlistCollectables::classIsA(), "RWSlistCollectables");
RW_FACTORY_REGISTRATION(registerStack, createStack, RWSlistCollectablesStack::classIsA(), "RWSlistCollectablesStack");

// Matches an item against the target the way collections do: the item's
// isEqual with the target as argument.
RWBoolean itemEquals(const void* item, const void* target) {
  return static_cast<const RWCollectable*>(item)->isEqual(static_cast<const RWCollectable*>(target));
}

struct SlotSearch {
  RWsize wanted;
  RWsize seen;
  void** slot;
};

void findSlot(void* slotAddress, void* data) {
  SlotSearch* s = static_cast<SlotSearch*>(data);
  if (s->seen++ == s->wanted) s->slot = static_cast<void**>(slotAddress);
}

struct ApplyData {
  RWapplyCollectable f;
  void* data;
};

void applyOne(void* item, void* data) {
  ApplyData* a = static_cast<ApplyData*>(data);
  a->f(static_cast<RWCollectable*>(item), a->data);
}

}  // namespace

RW_DEFINE_RESTORE_OPERATORS(RWSlistCollectables)
RW_DEFINE_RESTORE_OPERATORS(RWSlistCollectablesStack)

RWSlistCollectables::RWSlistCollectables(RWCollectable* item) { list_.append(item); }

RWSlistCollectables::~RWSlistCollectables() = default;

RWCollectable* RWSlistCollectables::newSpecies() const { return new RWSlistCollectables; }
RWCollectable* RWSlistCollectables::copy() const { return new RWSlistCollectables(*this); }
RWClassID RWSlistCollectables::isA() const { return classIsA(); }

RWBoolean RWSlistCollectables::isEqual(const RWCollectable* other) const {
  if (!other || other->isA() != isA()) return FALSE;
  // A collection is equal to itself: its items need no comparing, which in
  // a restored graph that shares collections would cost a walk of every
  // path through it.
  if (other == this) return TRUE;
  const RWSlistCollectables* o = static_cast<const RWSlistCollectables*>(other);
  if (o->entries() != entries()) return FALSE;
  return rwCompareOnce(this, other, [&]() -> RWBoolean {
    RWSlistIterator mine(const_cast<RWSlist&>(list_));
    RWSlistIterator theirs(const_cast<RWSlist&>(o->list_));
    for (;;) {
      void* a = mine();
      void* b = theirs();
      if (!a || !b) return a == b;
      if (!static_cast<RWCollectable*>(a)->isEqual(static_cast<RWCollectable*>(b))) return FALSE;
    }
  });
}

void RWSlistCollectables::apply(RWapplyCollectable f, void* data) {
  ApplyData a{f, data};
  list_.apply(applyOne, &a);
}

void RWSlistCollectables::clear() { list_.clear(); }

RWCollectable* RWSlistCollectables::find(const RWCollectable* target) const {
  return static_cast<RWCollectable*>(list_.find(itemEquals, target));
}

RWCollectable* RWSlistCollectables::insert(RWCollectable* item) { return append(item); }

RWsize RWSlistCollectables::occurrencesOf(const RWCollectable* target) const {
  return list_.occurrencesOf(itemEquals, target);
}

RWCollectable* RWSlistCollectables::remove(const RWCollectable* target) {
  return static_cast<RWCollectable*>(list_.remove(itemEquals, target));
}

RWCollectable* RWSlistCollectables::append(RWCollectable* item) {
  return static_cast<RWCollectable*>(list_.append(item));
}

RWCollectable* RWSlistCollectables::at(RWsize i) const {
  return static_cast<RWCollectable*>(list_.at(i));
}

RWCollectable*& RWSlistCollectables::at(RWsize i) {
  // After a reported index error the caller gets a scratch slot, never a
  // slot outside the list.
  // Written only on that path, so lists used on different threads do not
  // write the shared slot on every access.
  static RWCollectable* scratch;
  if (i >= entries()) {
    rwReportIndex(i, entries());
    scratch = nullptr;
    return scratch;
  }
  SlotSearch s{i, 0, nullptr};
  list_.applyReference(findSlot, &s);
  // The cell keeps its item as an untyped pointer; every item this list
  // holds went in as an RWCollectable*, which has the same representation.
  return *reinterpret_cast<RWCollectable**>(s.slot);
}

RWCollectable* RWSlistCollectables::first() const { return static_cast<RWCollectable*>(list_.first()); }
RWCollectable* RWSlistCollectables::last() const { return static_cast<RWCollectable*>(list_.last()); }

RWsize RWSlistCollectables::index(const RWCollectable* target) const {
  return list_.index(itemEquals, target);
}

RWCollectable* RWSlistCollectables::insertAt(RWsize i, RWCollectable* item) {
  return static_cast<RWCollectable*>(list_.insertAt(i, item));
}

RWCollectable* RWSlistCollectables::prepend(RWCollectable* item) {
  return static_cast<RWCollectable*>(list_.prepend(item));
}

RWCollectable* RWSlistCollectables::insertAfter(RWsize i, RWCollectable* item) {
  return static_cast<RWCollectable*>(list_.insertAfter(i, item));
}

RWCollectable* RWSlistCollectables::findReference(const RWCollectable* item) const {
  return static_cast<RWCollectable*>(list_.findReference(item));
}

RWCollectable* RWSlistCollectables::removeReference(const RWCollectable* item) {
  return static_cast<RWCollectable*>(list_.removeReference(item));
}

RWCollectable* RWSlistCollectables::removeFirst() {
  return static_cast<RWCollectable*>(list_.removeFirst());
}

// ---- the stack ----------------------------------------------------------------

RWCollectable* RWSlistCollectablesStack::newSpecies() const { return new RWSlistCollectablesStack; }
RWCollectable* RWSlistCollectablesStack::copy() const { return new RWSlistCollectablesStack(*this); }
RWClassID RWSlistCollectablesStack::isA() const { return classIsA(); }

RWBoolean RWSlistCollectablesStack::isEqual(const RWCollectable* other) const {
  return RWSlistCollectables::isEqual(other);  // which also demands the stack's class ID
}

RWCollectable* RWSlistCollectablesStack::insert(RWCollectable* item) { return prepend(item); }

RWCollectable* RWSlistCollectablesStack::remove(const RWCollectable*) { return removeFirst(); }

void RWSlistCollectablesStack::removeAndDelete(const RWCollectable*) {}

RWCollectable* RWSlistCollectablesStack::append(RWCollectable*) { return nullptr; }

namespace {
// Restored items go below the ones held, in stored (top-first) order.
RWBoolean appendBelow(RWCollection& c, const RWCollectable::Restored& item) {
  return static_cast<RWSlistCollectablesStack&>(c).RWSlistCollectables::append(item.object) == item.object;
}
}  // namespace

void RWSlistCollectablesStack::restoreGuts(RWvistream& s) { restoreItems(s, appendBelow); }
void RWSlistCollectablesStack::restoreGuts(RWFile& f) { restoreItems(f, appendBelow); }

// ---- the iterator -------------------------------------------------------------

RWCollectable* RWSlistCollectablesIterator::findNext(const RWCollectable* target) {
  return static_cast<RWCollectable*>(it_.findNext(itemEquals, target));
}

RWCollectable* RWSlistCollectablesIterator::key() const {
  return static_cast<RWCollectable*>(it_.key());
}

RWCollectable* RWSlistCollectablesIterator::operator()() {
  return static_cast<RWCollectable*>(it_());
}

RWCollectable* RWSlistCollectablesIterator::removeNext(const RWCollectable* target) {
  return static_cast<RWCollectable*>(it_.removeNext(itemEquals, target));
}
