#ifndef CORE_PEROBJ_H
#define CORE_PEROBJ_H

// The root of every persistent object of the framework.
//
// MPersistentObject adds to RWCollectable a reference count (changed only by
// the counted holders of core/cntdptr.h), a 32-bit id that every search
// keys on, and a 32-bit serial number that tells apart objects with equal
// ids. It fixes the protocol every persistent class answers: tree edits,
// searches by id, class and kind, collection into lists, storage hooks for
// on-disk composites, iteration, kind and deep copy. The defaults here are
// a leaf's; composites override them.
//
// Ownership: an operation documented as answering an owned object hands it
// to the caller, who deletes it (or gives it to a counted holder).
//
// Stored form of this level, after the class tag: version (1), id, serial
// number, each a little-endian 32-bit word. Each derived level appends its
// own version word and fields after its base's. A level whose stored
// version differs from its own reads nothing more and keeps its constructed
// values, so that reading goes on with the next level.

#include <cstdint>

#include "core/classids.h"
#include "core/cntdptr.h"
#include "rw/collect.h"
#include "rw/ref.h"

class MPersistentComposite;
class GChildIterator;

// The declarations every persistent class repeats. Put one of these first
// in the class body; it leaves the access private.
//
// G_PERSISTENT_LEVEL(Class): the store operations of one stored level:
// binaryStoreSize, the two restoreGuts and the two saveGuts, which pass to
// the base and then to the class's own three private members:
//   template <class Source> void restoreLevel(Source&);  reads the level
//   template <class Sink> void saveLevel(Sink&) const;    writes it
//   RWspace levelStoreSize() const;                      bytes it takes
// restoreLevel and saveLevel mirror each other field for field over the
// overloads of core/fieldio.h. G_PERSISTENT_CLASS(Class) adds isA,
// newSpecies and copy, for a class that is made by the factory. Their
// definitions are the macros of core/perclass.h.
#define G_PERSISTENT_LEVEL(Class)                  \
 public:                                           \
  RWspace binaryStoreSize() const override;        \
  void restoreGuts(RWvistream& s) override;        \
  void restoreGuts(RWFile& f) override;            \
  void saveGuts(RWvostream& s) const override;     \
  void saveGuts(RWFile& f) const override;         \
                                                   \
 private:                                          \
  template <class Source>                          \
  void restoreLevel(Source& source);               \
  template <class Sink>                            \
  void saveLevel(Sink& sink) const;                \
  RWspace levelStoreSize() const;

#define G_PERSISTENT_CLASS(Class)                  \
 public:                                           \
  Class* newSpecies() const override;              \
  Class* copy() const override;                    \
  RWClassID isA() const override;                  \
  G_PERSISTENT_LEVEL(Class)

class MPersistentObject : public RWCollectable {
  G_PERSISTENT_LEVEL(MPersistentObject)

 public:
  MPersistentObject();
  explicit MPersistentObject(const uint32_t& id);
  // The id and serial number are copied; the reference count never is.
  MPersistentObject(const MPersistentObject& other);
  MPersistentObject& operator=(const MPersistentObject& other);
  ~MPersistentObject() override;

  // The kind every persistent object answers true for. isA is not
  // overridden here: no object is ever of this class alone in a store.
  static RWClassID classIsA() { return ClassId::MPersistentObject; }
  static uint32_t version() { return 1; }

  // A bare root is a plain leaf; every concrete class overrides both.
  MPersistentObject* newSpecies() const override;
  MPersistentObject* copy() const override;

  // An identity order: by address, 0 for this very object.
  int compareTo(const RWCollectable* other) const override;
  // Same class and matches.
  RWBoolean isEqual(const RWCollectable* other) const override;

  // ---- the persistent-object protocol ---------------------------------------
  virtual RWBoolean isKindOf(RWClassID id) const;
  // The ids are equal.
  virtual RWBoolean matches(const MPersistentObject* other) const;
  virtual RWBoolean differs(const MPersistentObject* other) const;

  // Tree edits. A leaf ignores inserts and removes nothing.
  virtual void insert(MPersistentObject* object);
  virtual void prepend(MPersistentObject* object);
  // Each answers the removed member (owned), or null.
  virtual MPersistentObject* remove(const MPersistentObject* member);
  virtual MPersistentObject* removeById(const uint32_t& id);
  virtual MPersistentObject* removeByClassId(const RWClassID& classId);
  // Each puts a deep copy of the replacement in place of the first member
  // found (the caller keeps the replacement); 1 when one was replaced.
  virtual int replaceDeepById(const uint32_t& id, const MPersistentObject* replacement);
  virtual int replaceDeepByClassId(const RWClassID& classId, const MPersistentObject* replacement);
  virtual int replaceDeep(const MPersistentObject* member, const MPersistentObject* replacement);
  virtual int replaceDeepByKind(const RWClassID& kind, const MPersistentObject* replacement);

  // Storage of children, meaningful only in on-disk composites.
  virtual void storeChild(const GCountedRef& child);
  virtual void updateChild(const GCountedRef& child);
  virtual GCountedRef takeByObject(const MPersistentObject* object);
  virtual GCountedRef takeById(const uint32_t& id);
  virtual GCountedRef takeByClassId(const RWClassID& classId);
  virtual int replaceById(const uint32_t& id, MPersistentObject* replacement);
  virtual int replaceByClassId(const RWClassID& classId, MPersistentObject* replacement);

  virtual void clear();

  // Searches. A leaf answers itself when it fits, else null.
  virtual MPersistentObject* findById(const uint32_t& id) const;
  virtual MPersistentObject* findByClassId(const RWClassID& classId) const;
  virtual MPersistentObject* find(const MPersistentObject* object) const;
  virtual MPersistentObject* findByKind(const RWClassID& kind) const;

  // Collections into a list (which shares what it collects); each answers
  // the list. A leaf collects itself when it fits.
  virtual MPersistentComposite* collectByClassId(const RWClassID& classId, MPersistentComposite* list) const;
  virtual MPersistentComposite* collectById(const uint32_t& id, MPersistentComposite* list) const;
  // A new composite (owned) holding what fits, or null when nothing does.
  virtual MPersistentComposite* selectById(const uint32_t& id) const;
  virtual MPersistentComposite* selectByClassId(const RWClassID& classId) const;
  virtual MPersistentComposite* collectByKind(const RWClassID& kind, MPersistentComposite* list) const;
  virtual MPersistentComposite* selectByKind(const RWClassID& kind) const;

  // Counted finds: a reference to this object when it fits, else nil. A
  // reference to an object nobody counted yet makes it the reference's:
  // dropping it deletes the object.
  virtual GCountedRef findCountedById(const uint32_t& id) const;
  virtual GCountedRef findCountedByClassId(const RWClassID& classId) const;
  virtual GCountedRef findCounted(const MPersistentObject* object) const;

  virtual RWBoolean isComposite() const;
  // The id itself, writable through the reference.
  virtual uint32_t& id();
  uint32_t id() const { return id_; }
  virtual uint32_t serialNumber() const;
  // Direct members; objects in the tree, this one included.
  virtual RWsize entries() const;
  virtual RWsize totalEntries() const;
  // A new iterator over the direct members (owned by the caller).
  virtual GChildIterator* createIterator();
  // The family in which a member is matched; by default the class itself.
  virtual RWClassID kind() const;
  // A new tree (owned): a leaf's copy, or a new composite of the same class
  // and id (with its own serial number) holding deep copies of the children.
  virtual MPersistentObject* deepCopy() const;

  // ---- not virtual ------------------------------------------------------------
  void setId(const uint32_t& id) { id_ = id; }
  void setSerialNumber(const uint32_t& serial) { serial_ = serial; }
  // Zero for this object and every object below it.
  void clearSerialNumbers();
  static RWBoolean sameKindAndId(const MPersistentObject* a, const MPersistentObject* b);

  // The reference count, for the counted holders: the count word holds the
  // number of references minus one, so -1 is "no reference".
  RWReference& referenceCount() { return refs_; }
  int32_t references() const { return refs_.references() + 1; }

  // The process-wide serial counter: the value the next object takes (0 is
  // never taken; a counter at 0 gives 1). For tests and tools.
  static uint32_t nextSerialNumber();
  static void presetSerialCounter(uint32_t next);

 private:
  static uint32_t takeSerialNumber();

  RWReference refs_;
  uint32_t id_;
  uint32_t serial_;
};

RW_DECLARE_RESTORE_OPERATORS(MPersistentObject)

// Marks an object as being restored, on this thread, for the length of a
// scope. Classes that restore members which stored references may name
// hold one while they read them, and refuse a member that is still being
// restored: only a damaged or hostile store refers back to an enclosing
// object, and sharing it would make the tree a cycle that no walk ends.
class MRestoreScope {
 public:
  explicit MRestoreScope(const MPersistentObject* object);
  ~MRestoreScope();
  MRestoreScope(const MRestoreScope&) = delete;
  MRestoreScope& operator=(const MRestoreScope&) = delete;

  // True when the object's restore is under way on this thread.
  static bool encloses(const MPersistentObject* object);

 private:
  const MPersistentObject* object_;
  MRestoreScope* outer_;
};

// Deletes an object handed over and not kept, unless a counted holder
// still shares it (then the holders' count decides its life).
inline void disposeUnshared(MPersistentObject* object) {
  if (object && object->references() == 0) delete object;
}

// Reports a stored reference that is refused (RWTOOL_REF) through the
// foundation's error handler.
void gReportBadReference();

// Reads one stored object that a counted holder of the caller is to share.
//
// Answers false when the read failed and reading cannot go on: the caller
// leaves its member as it was. Otherwise `out` is the object to hold, or
// null when there is none to hold:
//   - nil, or an object that is not a T (or that `fits` refuses): a fresh
//     one is discarded, one read earlier is left to whoever holds it;
//   - a reference to an object read earlier that no counted holder shares
//     (a holder that does not count owns it, and counting it here would
//     make it the caller's to delete), or to an object whose restore
//     encloses this read (sharing it would make the tree a cycle that is
//     never freed). Both are refused and reported as a bad reference.
// The caller holds an MRestoreScope for itself while it reads, so that a
// reference back to it is refused.
template <class T, class Source>
[[nodiscard]] bool restoreSharedMember(Source& source, T*& out, bool (*fits)(T*) = nullptr) {
  out = nullptr;
  const RWCollectable::Restored r = RWCollectable::restoreObject(source, nullptr);
  if (r.failed) return false;
  T* object = dynamic_cast<T*>(r.object);
  if (object && fits && !fits(object)) object = nullptr;
  if (!object) {
    if (r.object && r.fresh) RWCollectable::discardRestored(r.object);
    return true;
  }
  if (!r.fresh && (object->references() == 0 || MRestoreScope::encloses(object))) {
    gReportBadReference();
    return true;
  }
  out = object;
  return true;
}

// Walks the direct members of one object. advance steps to the next member
// and answers nonzero while there is one; after the last it answers 0 and
// the next advance starts again at the first.
class GChildIterator {
 public:
  explicit GChildIterator(MPersistentObject* object) : object_(object) {}
  GChildIterator(const GChildIterator&) = default;
  GChildIterator& operator=(const GChildIterator&) = default;
  virtual ~GChildIterator();

  virtual MPersistentObject* current() = 0;
  // Puts the object (which gains a reference) in the current member's place.
  virtual void replaceCurrent(MPersistentObject* object) = 0;
  virtual int advance() = 0;
  virtual void reset() = 0;

  MPersistentObject* object() const { return object_; }

 protected:
  MPersistentObject* object_;
};

// The iterator of a leaf: there is never a member.
class GNullIterator : public GChildIterator {
 public:
  explicit GNullIterator(MPersistentObject* object = nullptr) : GChildIterator(object) {}
  ~GNullIterator() override;
  MPersistentObject* current() override { return nullptr; }
  void replaceCurrent(MPersistentObject*) override {}
  int advance() override { return 0; }
  void reset() override {}
};

#endif
