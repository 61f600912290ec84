#include "rw/collass.h"

#include <climits>

#include "rw/factory.h"
#include "rw/rwstore.h"

namespace {

RWCollectable* createAssociation() { return new RWCollectableAssociation; }
RWCollectable* createIDAssociation() { return new RWCollectableIDAssociation; }

RW_FACTORY_REGISTRATION(registerAssociation, createAssociation, RWCollectableAssociation::classIsA(), "RWCollectableAssociation");
RW_FACTORY_REGISTRATION(registerIDAssociation, createIDAssociation, RWCollectableIDAssociation::classIsA(), "RWCollectableIDAssociation");

const RWCollectable* orNil(const RWCollectable* p) { return p ? p : rwNilCollectable(); }

}  // namespace

RW_DEFINE_RESTORE_OPERATORS(RWCollectableAssociation)
RW_DEFINE_RESTORE_OPERATORS(RWCollectableIDAssociation)

RWCollectableAssociation::~RWCollectableAssociation() = default;

RWCollectable* RWCollectableAssociation::newSpecies() const { return new RWCollectableAssociation; }
RWCollectable* RWCollectableAssociation::copy() const {
  return new RWCollectableAssociation(key_, value_);
}
RWClassID RWCollectableAssociation::isA() const { return classIsA(); }

RWBoolean RWCollectableAssociation::isNullKeyed(const RWCollectable* c) {
  const RWCollectableAssociation* a = dynamic_cast<const RWCollectableAssociation*>(c);
  return a && !a->key_;
}

RWspace RWCollectableAssociation::binaryStoreSize() const {
  // One table for both, so that a value that is the key counts as the
  // reference saveGuts writes for it.
  RWUseStoreTable table;
  return orNil(key_)->recursiveStoreSize() + orNil(value_)->recursiveStoreSize();
}

int RWCollectableAssociation::compareTo(const RWCollectable* c) const {
  // A null key (and a null c) stands for the null address, which sorts
  // below every object.
  if (!key_) return !c || isNullKeyed(c) ? 0 : -1;
  if (!c) return 1;
  int r = c->compareTo(key_);
  return r == INT_MIN ? INT_MAX : -r;
}

uint32_t RWCollectableAssociation::hash() const { return key_ ? key_->hash() : 0; }

RWBoolean RWCollectableAssociation::isEqual(const RWCollectable* c) const {
  if (!key_) return isNullKeyed(c);
  return c ? c->isEqual(key_) : FALSE;
}

RWCollectable* RWCollectableAssociation::value(RWCollectable* newValue) {
  RWCollectable* old = value_;
  value_ = newValue;
  return old;
}

void RWCollectableAssociation::saveGuts(RWvostream& s) const {
  orNil(key_)->recursiveSaveOn(s);
  orNil(value_)->recursiveSaveOn(s);
}

void RWCollectableAssociation::saveGuts(RWFile& f) const {
  orNil(key_)->recursiveSaveOn(f);
  orNil(value_)->recursiveSaveOn(f);
}

void RWCollectableAssociation::restoreGuts(RWvistream& s) {
  key_ = value_ = nullptr;
  tryRecursiveRestore(s, key_);
  tryRecursiveRestore(s, value_);
}

void RWCollectableAssociation::restoreGuts(RWFile& f) {
  key_ = value_ = nullptr;
  tryRecursiveRestore(f, key_);
  tryRecursiveRestore(f, value_);
}

// ---- by address -----------------------------------------------------------------

RWCollectableIDAssociation::~RWCollectableIDAssociation() = default;

RWCollectable* RWCollectableIDAssociation::newSpecies() const {
  return new RWCollectableIDAssociation;
}
RWCollectable* RWCollectableIDAssociation::copy() const {
  return new RWCollectableIDAssociation(key_, value_);
}
RWClassID RWCollectableIDAssociation::isA() const { return classIsA(); }

int RWCollectableIDAssociation::compareTo(const RWCollectable* c) const {
  // Compared as isEqual matches: another ID association by its key, any
  // association without a key as the null address, anything else by its
  // own address.
  const void* other = c;
  if (isNullKeyed(c)) {
    other = nullptr;
  } else if (const RWCollectableIDAssociation* a = dynamic_cast<const RWCollectableIDAssociation*>(c)) {
    other = a->key_;
  }
  uintptr_t mine = reinterpret_cast<uintptr_t>(key_);
  uintptr_t theirs = reinterpret_cast<uintptr_t>(other);
  if (mine == theirs) return 0;
  return mine < theirs ? -1 : 1;
}

uint32_t RWCollectableIDAssociation::hash() const {
  uintptr_t a = reinterpret_cast<uintptr_t>(key_);
  return static_cast<uint32_t>(a ^ (a >> 3));
}

RWBoolean RWCollectableIDAssociation::isEqual(const RWCollectable* c) const {
  if (!key_) return isNullKeyed(c);
  if (const RWCollectableIDAssociation* a = dynamic_cast<const RWCollectableIDAssociation*>(c)) {
    return a->key_ == key_;
  }
  return c == key_;
}
