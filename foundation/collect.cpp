#include "rw/collect.h"

#include <atomic>
#include <new>

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

namespace {

// The nil object lives in storage of its own rather than on the heap or in
// a function's static: its address never changes, so a store table that
// holds it compares equal to it even across a stop and a new start, and the
// driver registers no destructor outside its exit table. It is made by the
// library's start (or on first use, by whatever runs before that) and
// destroyed at its stop; a use after the stop makes it again in place.
alignas(RWCollectable) unsigned char nilStorage[sizeof(RWCollectable)];
std::atomic<bool> nilMade{false};

RWCollectable* nilObject() { return std::launder(reinterpret_cast<RWCollectable*>(nilStorage)); }

void makeNil() {
  if (!nilMade.exchange(true)) new (nilStorage) RWCollectable;
}

void destroyNil() {
  if (nilMade.exchange(false)) nilObject()->~RWCollectable();
}

RW_STARTUP_FIRST(nilEntry, makeNil, destroyNil);

}  // namespace

RWCollectable* rwNilCollectable() {
  makeNil();
  return nilObject();
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
