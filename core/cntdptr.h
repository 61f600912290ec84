#ifndef CORE_CNTDPTR_H
#define CORE_CNTDPTR_H

// Counted sharing of persistent objects.
//
// A persistent object carries its own reference count. Holding a
// GCountedPtr or a GCountedRef to it holds one reference; dropping the
// holder releases it, and the release of the last reference deletes the
// object. An object that no holder has ever counted has no reference at
// all: its owner deletes it outright, or hands it to a holder, which then
// owns it.
//
// GCountedPtr is the persistent form (the entries of a composite's child
// vector, and members of persistent classes); GCountedRef is the bare form
// that the counted finds and takes of the object protocol answer.

#include <cstddef>

#include "core/classids.h"
#include "rw/collect.h"

class MPersistentObject;

class GCountedPtr : public RWCollectable {
 public:
  GCountedPtr() : pointee_(nullptr) {}
  // Takes a reference to the object (none for null). Explicit, because a
  // temporary made from the only reference to an object would delete it.
  explicit GCountedPtr(MPersistentObject* p);
  GCountedPtr(const GCountedPtr& other);
  // Moving takes the other's reference over, leaving it nil: no count
  // changes.
  GCountedPtr(GCountedPtr&& other) noexcept;
  ~GCountedPtr() override;

  // Both do nothing when the new pointee is the current one.
  GCountedPtr& operator=(const GCountedPtr& other);
  GCountedPtr& operator=(MPersistentObject* p);
  // Releases the current pointee and takes the other's reference over,
  // leaving it nil.
  GCountedPtr& operator=(GCountedPtr&& other) noexcept;

  // A value type: it lives as a member, a local or an array element, never
  // alone on the heap, so it has no species and no copy of its own.
  static void* operator new(std::size_t) = delete;
  RWCollectable* newSpecies() const override { return nullptr; }
  RWCollectable* copy() const override { return nullptr; }
  RWClassID isA() const override { return classIsA(); }
  static RWClassID classIsA() { return ClassId::GCountedPtr; }

  virtual RWBoolean isKindOf(RWClassID id) const { return id == classIsA(); }
  // A deep copy of the pointee that nobody references yet, the caller's;
  // null for nil.
  virtual MPersistentObject* deepCopy() const;

  bool operator==(const GCountedPtr& other) const { return pointee_ == other.pointee_; }
  bool operator!=(const GCountedPtr& other) const { return pointee_ != other.pointee_; }

  MPersistentObject* get() const { return pointee_; }
  MPersistentObject* operator->() const { return pointee_; }
  MPersistentObject& operator*() const { return *pointee_; }
  bool isNil() const { return pointee_ == nullptr; }
  // Trades pointees without touching either count.
  void swap(GCountedPtr& other) noexcept {
    MPersistentObject* p = pointee_;
    pointee_ = other.pointee_;
    other.pointee_ = p;
  }

  // Detaches the pointee and hands it to the caller, who owns it: the
  // object itself when this pointer held its last reference, else a copy
  // of it (the shared object stays with its other holders). Nil gives null.
  MPersistentObject* take();
  // Detaches the pointee without deleting it: its reference is dropped,
  // and when that was the last the caller owns the object. Nil gives null.
  MPersistentObject* release();
  // take(), then points at p (nil for null); answers what take answered.
  MPersistentObject* exchange(MPersistentObject* p);

  // The pointee stored as a pointer: nil as the nil record, an object
  // stored earlier in the same store as a reference to it. No version word.
  // These and the level members below are what G_PERSISTENT_LEVEL declares;
  // spelt out, since core/perobj.h, which defines it, includes this header.
  RWspace binaryStoreSize() const override;
  void saveGuts(RWvostream& s) const override;
  void saveGuts(RWFile& f) const override;
  // Releases the current pointee and shares the restored object. A stored
  // object that is not a persistent object restores as nil.
  void restoreGuts(RWvistream& s) override;
  void restoreGuts(RWFile& f) override;

 private:
  template <class Source>
  void restoreLevel(Source& source);
  template <class Sink>
  void saveLevel(Sink& sink) const;
  RWspace levelStoreSize() const;

  MPersistentObject* pointee_;
};

class GCountedRef {
 public:
  GCountedRef() : pointee_(nullptr) {}
  explicit GCountedRef(MPersistentObject* p);
  GCountedRef(const GCountedRef& other);
  // Moving takes the other's reference over, leaving it nil: no count
  // changes.
  GCountedRef(GCountedRef&& other) noexcept : pointee_(other.pointee_) { other.pointee_ = nullptr; }
  GCountedRef& operator=(const GCountedRef& other);
  // Releases the current pointee and takes the other's reference over,
  // leaving it nil.
  GCountedRef& operator=(GCountedRef&& other) noexcept;
  ~GCountedRef();

  MPersistentObject* get() const { return pointee_; }
  MPersistentObject* operator->() const { return pointee_; }
  bool isNil() const { return pointee_ == nullptr; }

  // The one nil reference the protocol's defaults answer copies of; a
  // result is absent when its pointer equals the nil value's.
  static const GCountedRef& nil();

 private:
  MPersistentObject* pointee_;
};

// The reference counting both holders use, exposed for the few classes that
// keep an object counted without a holder.
void gAddReference(MPersistentObject* p);
// Releases one reference; deletes the object when it was the last and
// answers true then.
bool gReleaseReference(MPersistentObject* p);
// Releases one reference without ever deleting the object; answers true
// when it was the last, the caller then owning the object.
bool gDropReference(MPersistentObject* p);

#endif
