#ifndef RW_COLLECT_H
#define RW_COLLECT_H

// The collectable base and the persistence of object graphs.
//
// RWCollectable is the root of every object a collection can hold and that
// persistence can store. Its twelve virtual operations are how collections
// compare and hash objects and how persistence writes and reads them; a
// persistent class overrides isA, newSpecies, copy, binaryStoreSize and the
// four guts operations, and registers a create function with the class
// factory (rw/factory.h) under its class ID and its string ID.
//
// Object graphs: recursiveSaveOn stores an object through the calling
// thread's current store table, so an object reached twice in one store is
// written once and later reached by its index; recursiveRestoreFrom reads it
// back through the current read table, making each new object through the
// factory. Objects are known to the store table by address only: within one
// store operation, a temporary must not be stored, destroyed, and another
// temporary then stored at the same address (it would be written as a
// reference to the first).

#include <type_traits>

#include "rw/cstring.h"
#include "rw/classids.h"
#include "rw/defs.h"

class RWFile;
class RWvistream;
class RWvostream;

// A class's string identifier.
class RWStringID : public RWCString {
 public:
  RWStringID() = default;
  RWStringID(const RWCString& s) : RWCString(s) {}
  RWStringID(const char* s) : RWCString(s) {}
};

// Class IDs: 0x8000 means "no class"; 0x9000 to 0xF000 are stored by their
// string ID rather than their number.
constexpr RWClassID RW_NO_CLASS_ID = 0x8000;
constexpr RWClassID RW_FIRST_STRING_ID = 0x9000;
constexpr RWClassID RW_LAST_STRING_ID = 0xF000;
inline RWBoolean rwIsStringIdentified(RWClassID id) {
  return id >= RW_FIRST_STRING_ID && id <= RW_LAST_STRING_ID;
}

class RWCollectable {
 public:
  RWCollectable() = default;
  RWCollectable(const RWCollectable&) = default;
  RWCollectable& operator=(const RWCollectable&) = default;

  virtual RWCollectable* newSpecies() const;
  virtual RWCollectable* copy() const;
  virtual RWClassID isA() const;
  virtual ~RWCollectable();
  // Bytes saveGuts(RWFile&) writes.
  virtual RWspace binaryStoreSize() const;
  // By address: 0 for the same object, 1 when this one lies higher, else -1.
  virtual int compareTo(const RWCollectable* other) const;
  virtual uint32_t hash() const;
  virtual RWBoolean isEqual(const RWCollectable* other) const;
  virtual void restoreGuts(RWvistream&);
  virtual void restoreGuts(RWFile&);
  virtual void saveGuts(RWvostream&) const;
  virtual void saveGuts(RWFile&) const;

  static RWClassID classIsA() { return ClassId::RWCollectable; }
  RWStringID stringID() const;

  // ---- object graphs -------------------------------------------------------
  // The bytes recursiveSaveOn(RWFile&) would write, counted through (and
  // entered into) the current store table.
  RWspace recursiveStoreSize() const;
  void recursiveSaveOn(RWFile& file) const;
  void recursiveSaveOn(RWvostream& stream) const;

  // Restores one stored object: into `into` when given, else into a new
  // object from the factory. Answers the object, the object a reference
  // names, or null (nil, a failed read, an unknown class). An object nested
  // deeper than the read table allows (rw/rwstore.h) is not read: it is
  // reported as a bad reference, counts as a failed read, and so does every
  // later object of the same restore; a stream is left failed.
  static RWCollectable* recursiveRestoreFrom(RWFile& file, RWCollectable* into = nullptr);
  static RWCollectable* recursiveRestoreFrom(RWvistream& stream, RWCollectable* into = nullptr);
  // The same, restoring into p (null: make one) and leaving the answer in p.
  // A failed read leaves p as it was given.
  static void tryRecursiveRestore(RWFile& file, RWCollectable*& p);
  static void tryRecursiveRestore(RWvistream& stream, RWCollectable*& p);

  // What one restore produced, for callers that must know whether the
  // object was made by this read (and so is theirs to dispose of) or is a
  // reference to one restored earlier.
  struct Restored {
    RWCollectable* object;  // null for nil, failure or an unknown class
    bool fresh;             // made by this read through the factory
    bool failed;            // the read itself failed, or nested too deep
  };
  static Restored restoreObject(RWFile& file, RWCollectable* into);
  static Restored restoreObject(RWvistream& stream, RWCollectable* into);

  // For a reader that will be the sole owner of what it restores (it
  // deletes it, or hands it to something that does): answers only an
  // object made by this read (fresh), and takes that object out of reach,
  // so that a later reference to it in the same restore is a bad
  // reference (REF) and restores as nil. A stored reference to an object
  // read earlier is refused the same way: reported as REF and answered as
  // null, the object left to whoever holds it. The answer's object is
  // then null or fresh; failed says whether reading can go on.
  static Restored restoreForOwner(RWFile& file);
  static Restored restoreForOwner(RWvistream& stream);
  // Restores the stored object into a member of its reader, in place (as
  // restoreObject with `into`), and then takes the member out of reach of
  // later references as restoreForOwner does: no one else can hold a member.
  static Restored restoreInPlace(RWFile& file, RWCollectable& member);
  static Restored restoreInPlace(RWvistream& stream, RWCollectable& member);

  // Disposes of a freshly restored object that its reader will not keep,
  // making any later reference to it, or to anything restored within it,
  // a bad reference. Call it right after the restore that made the object,
  // before anything else is read.
  static void discardRestored(RWCollectable* object);
};

// The one object that stands for a null pointer in stored graphs.
RWCollectable* rwNilCollectable();

// The tester list collections use to find an equal item: a's isEqual of b.
RWBoolean rwCollectableIsEqual(const void* a, const void* b);

// Stores an object graph (a null pointer as nil).
RWvostream& operator<<(RWvostream& s, const RWCollectable* p);
RWFile& operator<<(RWFile& f, const RWCollectable* p);
RWvostream& operator<<(RWvostream& s, const RWCollectable& obj);
RWFile& operator<<(RWFile& f, const RWCollectable& obj);
// Restores one object graph into a new object; p is null when none was read.
RWvistream& operator>>(RWvistream& s, RWCollectable*& p);
RWFile& operator>>(RWFile& f, RWCollectable*& p);
// Restores into an existing object.
RWvistream& operator>>(RWvistream& s, RWCollectable& obj);
RWFile& operator>>(RWFile& f, RWCollectable& obj);

// Restores one object and answers it as a T, or null when the stream holds
// none or an object of another class. An object of another class made by
// this read is disposed of; one reached by reference is left to its owner.
template <class T, class Source>
T* rwRestoreAs(Source& source) {
  static_assert(std::is_base_of_v<RWCollectable, T>, "only collectables are restored");
  RWCollectable::Restored r = RWCollectable::restoreObject(source, nullptr);
  T* typed = dynamic_cast<T*>(r.object);
  if (!typed && r.object && r.fresh) RWCollectable::discardRestored(r.object);
  return typed;
}

// The typed restore operators every persistent class offers.
#define RW_DECLARE_RESTORE_OPERATORS(Class)           \
  RWvistream& operator>>(RWvistream& s, Class*& p); \
  RWFile& operator>>(RWFile& f, Class*& p);
#define RW_DEFINE_RESTORE_OPERATORS(Class)                                                       \
  RWvistream& operator>>(RWvistream& s, Class*& p) { p = rwRestoreAs<Class>(s); return s; } \
  RWFile& operator>>(RWFile& f, Class*& p) { p = rwRestoreAs<Class>(f); return f; }

#endif
