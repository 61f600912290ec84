#include "rw/rwset.h"

#include "rw/factory.h"
#include "rw/slistcol.h"

namespace {

RWCollectable* createSet() { return new RWSet(RWHashTable::defaultCapacity); }
RWCollectable* createIdentitySet() { return new RWIdentitySet(RWHashTable::defaultCapacity); }

RW_FACTORY_REGISTRATION(registerSet, createSet, RWSet::classIsA(), "RWSet");
RW_FACTORY_REGISTRATION(registerIdentitySet, createIdentitySet, RWIdentitySet::classIsA(), "RWIdentitySet");

void deleteItem(RWCollectable* item, void*) { delete item; }

struct Intersection {
  const RWSet* other;
  RWCollection* result;
};

void keepCommon(RWCollectable* item, void* data) {
  Intersection* x = static_cast<Intersection*>(data);
  if (x->other->contains(item)) x->result->insert(item);
}

struct SubsetTest {
  const RWSet* other;
  bool holds;
};

void checkHeld(RWCollectable* item, void* data) {
  SubsetTest* t = static_cast<SubsetTest*>(data);
  if (t->holds && !t->other->contains(item)) t->holds = false;
}

}  // namespace

RW_DEFINE_RESTORE_OPERATORS(RWSet)
RW_DEFINE_RESTORE_OPERATORS(RWIdentitySet)

RWSet::~RWSet() = default;

RWCollectable* RWSet::newSpecies() const { return new RWSet(defaultCapacity); }
RWCollectable* RWSet::copy() const { return new RWSet(*this); }
RWClassID RWSet::isA() const { return classIsA(); }
RWBoolean RWSet::isEqual(const RWCollectable* other) const { return RWHashTable::isEqual(other); }

RWCollectable* RWSet::insert(RWCollectable* item) {
  RWsize i = bucketFor(item);
  if (RWSlistCollectables* b = bucket(i)) {
    if (RWCollectable* held = b->find(item)) return held;
  }
  return insertIntoBucket(i, item);
}

RWsize RWSet::occurrencesOf(const RWCollectable* target) const { return find(target) ? 1 : 0; }

void RWSet::clearAndDelete() {
  apply(deleteItem, nullptr);
  clear();
}

RWBoolean RWSet::isSubsetOf(const RWSet& other) const {
  SubsetTest t{&other, true};
  const_cast<RWSet*>(this)->apply(checkHeld, &t);
  return t.holds;
}

RWBoolean RWSet::isProperSubsetOf(const RWSet& other) const {
  return entries() < other.entries() && isSubsetOf(other);
}

RWSet& RWSet::operator*=(const RWSet& other) {
  if (other.isEmpty()) {
    clear();
    return *this;
  }
  RWSetIterator next(*this);
  while (RWCollectable* item = next()) {
    if (!other.contains(item)) next.remove();
  }
  return *this;
}

void RWSet::intersectWith(const RWSet& other, RWCollection& result) const {
  const RWSet& smaller = entries() <= other.entries() ? *this : other;
  const RWSet& larger = &smaller == this ? other : *this;
  Intersection x{&larger, &result};
  const_cast<RWSet&>(smaller).apply(keepCommon, &x);
}

// ---- the identity set ---------------------------------------------------------

RWIdentitySet::~RWIdentitySet() = default;

RWCollectable* RWIdentitySet::newSpecies() const { return new RWIdentitySet(defaultCapacity); }
RWCollectable* RWIdentitySet::copy() const { return new RWIdentitySet(*this); }
RWClassID RWIdentitySet::isA() const { return classIsA(); }
RWBoolean RWIdentitySet::isEqual(const RWCollectable* other) const {
  return RWHashTable::isEqual(other);
}

// Placed by address, with the same value as the default hash.
RWsize RWIdentitySet::bucketFor(const RWCollectable* item) const {
  uintptr_t a = reinterpret_cast<uintptr_t>(item);
  return bucketOf(static_cast<uint32_t>(a ^ (a >> 3)));
}

RWCollectable* RWIdentitySet::find(const RWCollectable* target) const {
  RWSlistCollectables* b = bucket(bucketFor(target));
  return b ? b->findReference(target) : nullptr;
}

RWCollectable* RWIdentitySet::insert(RWCollectable* item) {
  RWsize i = bucketFor(item);
  if (RWSlistCollectables* b = bucket(i)) {
    if (b->findReference(item)) return item;
  }
  return insertIntoBucket(i, item);
}

RWCollectable* RWIdentitySet::remove(const RWCollectable* target) {
  RWSlistCollectables* b = bucket(bucketFor(target));
  RWCollectable* removed = b ? b->removeReference(target) : nullptr;
  if (removed) --nitems_;
  return removed;
}
