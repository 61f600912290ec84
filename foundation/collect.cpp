#include "rw/collect.h"

#include "rw/factory.h"
#include "rw/rwfile.h"
#include "rw/vstream.h"

namespace {

uint32_t addressHash(const void* p) {
  uintptr_t a = reinterpret_cast<uintptr_t>(p);
  return static_cast<uint32_t>(a ^ (a >> 3));
}

RWCollectable* createRWCollectable() { return new RWCollectable; }

RW_FACTORY_REGISTRATION(registerRWCollectable, createRWCollectable, RWCollectable::classIsA(), "RWCollectable");

}  // namespace

RWCollectable* RWCollectable::newSpecies() const { return new RWCollectable; }
RWCollectable* RWCollectable::copy() const { return new RWCollectable; }
RWClassID RWCollectable::isA() const { return classIsA(); }
RWCollectable::~RWCollectable() = default;
RWspace RWCollectable::binaryStoreSize() const { return 0; }

int RWCollectable::compareTo(const RWCollectable* other) const {
  uintptr_t a = reinterpret_cast<uintptr_t>(this);
  uintptr_t b = reinterpret_cast<uintptr_t>(other);
  if (a == b) return 0;
  return a > b ? 1 : -1;
}

uint32_t RWCollectable::hash() const { return addressHash(this); }
RWBoolean RWCollectable::isEqual(const RWCollectable* other) const { return this == other; }
void RWCollectable::restoreGuts(RWvistream&) {}
void RWCollectable::restoreGuts(RWFile&) {}
void RWCollectable::saveGuts(RWvostream&) const {}
void RWCollectable::saveGuts(RWFile&) const {}

RWStringID RWCollectable::stringID() const { return rwStringIDOf(isA()); }

RWCollectable* rwNilCollectable() {
  // Made on first use and destroyed once at exit, so no registration or
  // store running from another module's static initialiser can find it
  // missing.
  static RWCollectable nil;
  return &nil;
}

RWBoolean rwCollectableIsEqual(const void* a, const void* b) {
  return static_cast<const RWCollectable*>(a)->isEqual(static_cast<const RWCollectable*>(b));
}

RWvostream& operator<<(RWvostream& s, const RWCollectable* p) {
  (p ? p : rwNilCollectable())->recursiveSaveOn(s);
  return s;
}

RWFile& operator<<(RWFile& f, const RWCollectable* p) {
  (p ? p : rwNilCollectable())->recursiveSaveOn(f);
  return f;
}

RWvostream& operator<<(RWvostream& s, const RWCollectable& obj) {
  obj.recursiveSaveOn(s);
  return s;
}

RWFile& operator<<(RWFile& f, const RWCollectable& obj) {
  obj.recursiveSaveOn(f);
  return f;
}

RWvistream& operator>>(RWvistream& s, RWCollectable*& p) {
  p = nullptr;
  RWCollectable::tryRecursiveRestore(s, p);
  return s;
}

RWFile& operator>>(RWFile& f, RWCollectable*& p) {
  p = nullptr;
  RWCollectable::tryRecursiveRestore(f, p);
  return f;
}

RWvistream& operator>>(RWvistream& s, RWCollectable& obj) {
  RWCollectable::recursiveRestoreFrom(s, &obj);
  return s;
}

RWFile& operator>>(RWFile& f, RWCollectable& obj) {
  RWCollectable::recursiveRestoreFrom(f, &obj);
  return f;
}
