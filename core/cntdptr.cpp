#include "core/cntdptr.h"

#include "core/perclass.h"
#include "rw/rwerr.h"
#include "core/perobj.h"

namespace {

RWCollectable* createNothing() { return nullptr; }

RW_FACTORY_REGISTRATION(registerCountedPtr, createNothing, GCountedPtr::classIsA(), "GCountedPtr");

}  // namespace

void gAddReference(MPersistentObject* p) {
  if (p) p->referenceCount().addReference();
}

bool gReleaseReference(MPersistentObject* p) {
  if (!p) return false;
  // The count word held before the decrement: 0 means this was the last.
  if (p->referenceCount().removeReference() != 0) return false;
  delete p;
  return true;
}

bool gDropReference(MPersistentObject* p) {
  return p && p->referenceCount().removeReference() == 0;
}

// ---- GCountedPtr ------------------------------------------------------------------

GCountedPtr::GCountedPtr(MPersistentObject* p) : pointee_(p) { gAddReference(p); }

GCountedPtr::GCountedPtr(const GCountedPtr& other) : RWCollectable(other), pointee_(other.pointee_) {
  gAddReference(pointee_);
}

GCountedPtr::GCountedPtr(GCountedPtr&& other) noexcept : RWCollectable(other), pointee_(other.pointee_) {
  other.pointee_ = nullptr;
}

GCountedPtr::~GCountedPtr() {
  MPersistentObject* old = pointee_;
  pointee_ = nullptr;
  gReleaseReference(old);
}

GCountedPtr& GCountedPtr::operator=(const GCountedPtr& other) { return *this = other.pointee_; }

GCountedPtr& GCountedPtr::operator=(MPersistentObject* p) {
  if (p == pointee_) return *this;
  // Counted before the old one goes, so that a new pointee reachable only
  // through the old one survives the release.
  gAddReference(p);
  MPersistentObject* old = pointee_;
  pointee_ = p;
  gReleaseReference(old);
  return *this;
}

GCountedPtr& GCountedPtr::operator=(GCountedPtr&& other) noexcept {
  if (this == &other) return *this;
  MPersistentObject* old = pointee_;
  pointee_ = other.pointee_;
  other.pointee_ = nullptr;
  // Released last: the old pointee may be what keeps the other alive.
  gReleaseReference(old);
  return *this;
}

MPersistentObject* GCountedPtr::release() {
  MPersistentObject* p = pointee_;
  pointee_ = nullptr;
  gDropReference(p);
  return p;
}

MPersistentObject* GCountedPtr::deepCopy() const {
  if (!pointee_) return nullptr;
  MPersistentObject* result = pointee_->deepCopy();
  if (result) result->referenceCount().setRefCount(-1);
  return result;
}

MPersistentObject* GCountedPtr::take() {
  MPersistentObject* p = pointee_;
  if (!p) return nullptr;
  pointee_ = nullptr;
  // Alone, no other thread can take a new reference to it: it is ours.
  if (p->references() == 1) {
    p->referenceCount().removeReference();
    return p;
  }
  // Copied while our reference still keeps it alive: once that is dropped,
  // the other holders may release the last reference at any moment. If
  // they already have, the release below deletes it.
  MPersistentObject* result = p->copy();
  gReleaseReference(p);
  return result;
}

MPersistentObject* GCountedPtr::exchange(MPersistentObject* p) {
  // Counted first: p may be reachable only through the current pointee.
  gAddReference(p);
  MPersistentObject* taken = take();
  pointee_ = p;
  return taken;
}

G_DEFINE_PERSISTENT_LEVEL(GCountedPtr, RWCollectable)

RWspace GCountedPtr::levelStoreSize() const {
  // Counted under the store table binaryStoreSize holds, as in a real
  // store: no member counts a file header, and one met twice counts as a
  // reference.
  return static_cast<const RWCollectable*>(pointee_ ? pointee_ : rwNilCollectable())->recursiveStoreSize();
}

template <class Sink>
void GCountedPtr::saveLevel(Sink& sink) const {
  sink << static_cast<const RWCollectable*>(pointee_);
}

template <class Source>
void GCountedPtr::restoreLevel(Source& source) {
  Restored r = restoreObject(source, nullptr);
  if (r.failed) return;
  MPersistentObject* p = dynamic_cast<MPersistentObject*>(r.object);
  if (!p && r.object && r.fresh) discardRestored(r.object);
  if (p && !r.fresh && p->references() == 0) {
    // Read earlier and shared by no counted holder: whatever holds it does
    // not count, and counting it here would make it this holder's to
    // delete.
    rwReport<RWInternalErr>(RWTOOL_REF());
    p = nullptr;
  }
  *this = p;
}

// ---- GCountedRef ------------------------------------------------------------------

GCountedRef::GCountedRef(MPersistentObject* p) : pointee_(p) { gAddReference(p); }

GCountedRef::GCountedRef(const GCountedRef& other) : pointee_(other.pointee_) { gAddReference(pointee_); }

GCountedRef& GCountedRef::operator=(const GCountedRef& other) {
  if (other.pointee_ == pointee_) return *this;
  gAddReference(other.pointee_);
  MPersistentObject* old = pointee_;
  pointee_ = other.pointee_;
  gReleaseReference(old);
  return *this;
}

GCountedRef& GCountedRef::operator=(GCountedRef&& other) noexcept {
  if (this == &other) return *this;
  MPersistentObject* old = pointee_;
  pointee_ = other.pointee_;
  other.pointee_ = nullptr;
  // Released last: the old pointee may be what keeps the other alive.
  gReleaseReference(old);
  return *this;
}

GCountedRef::~GCountedRef() {
  MPersistentObject* old = pointee_;
  pointee_ = nullptr;
  gReleaseReference(old);
}

const GCountedRef& GCountedRef::nil() {
  static const GCountedRef value;
  return value;
}
