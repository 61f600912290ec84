#ifndef CORE_RECINDEX_H
#define CORE_RECINDEX_H

// The in-memory index of an on-disk store.
//
// For every object an on-disk store has written it keeps a small record:
// the object's class ID, serial number and id, and for an in-memory
// composite the records of its children. The records find stored objects
// without reading the file, give each stored object its key in the file's
// B-tree (the serial number in lower-case hexadecimal), and carry out the
// store's searches depth first in store order. The whole index is written
// into the store file when the store closes and read back when it opens.
//
// Records are shared through GRecordRef, which counts them the way the
// counted holders count persistent objects: a record nothing counted yet
// belongs to the first reference made to it.
//
// Stored forms, after the empty collectable part:
//   GRecord           version (1), class ID (16 bits), serial, id
//   GRecordProxy      the record form, version (1), the nested handle as a
//                     stored pointer
//   GRecordComposite  the record form, version (1), count, each child
//                     record as a stored pointer

#include <cstdint>
#include <memory>

#include "core/classids.h"
#include "core/cntdptr.h"
#include "core/perobj.h"
#include "rw/collect.h"
#include "rw/idlist.h"
#include "rw/ref.h"

class MPersistentObject;
class MPersistentCompositeOnDisk;
class MPersistentCompositeOnDiskImp;
class GRecord;
class GRecordComposite;

// A counted reference to a record.
class GRecordRef {
 public:
  GRecordRef() : record_(nullptr) {}
  explicit GRecordRef(GRecord* record);
  GRecordRef(const GRecordRef& other);
  // Moving takes the other's reference over, leaving it nil: no count
  // changes.
  GRecordRef(GRecordRef&& other) noexcept : record_(other.record_) { other.record_ = nullptr; }
  GRecordRef& operator=(const GRecordRef& other);
  // Releases the current record and takes the other's reference over,
  // leaving it nil.
  GRecordRef& operator=(GRecordRef&& other) noexcept;
  ~GRecordRef();

  GRecord* get() const { return record_; }
  GRecord* operator->() const { return record_; }
  GRecord& operator*() const { return *record_; }
  bool isNil() const { return record_ == nullptr; }

 private:
  GRecord* record_;
};

// One search of the index: what it looks for, what it does with the first
// record that fits, and what came of it.
struct GRecordSearch {
  enum Key { byClass, byId, byObject };
  enum Action { take, read, replace };

  GRecordSearch(Key k, Action a, MPersistentCompositeOnDiskImp& s) : key(k), action(a), store(s) {}

  Key key;
  Action action;
  MPersistentCompositeOnDiskImp& store;
  RWClassID classId = 0;
  uint32_t id = 0;
  const MPersistentObject* object = nullptr;  // byObject: matched by its serial number
  uint32_t serial = 0;
  MPersistentObject* replacement = nullptr;  // replace: stays the caller's

  // A record with the key was met (or a nested store answered): the
  // search is over.
  bool stop = false;
  GCountedRef found;  // take and read
  int replaced = 0;
  // After a record replaced itself: the key was there and the old object
  // is gone; newRecord is the record of the replacement, nil when that
  // could not be stored.
  bool keyWasThere = false;
  GRecordRef newRecord;
};

// A stored object's record. newSpecies and copy, here and in the derived
// records, answer new records that nothing counts yet: the caller's, until
// the first GRecordRef made to one takes it over.
class GRecord : public RWCollectable {
  G_PERSISTENT_CLASS(GRecord)

 public:
  static constexpr RWsize keyLength = 16;

  GRecord();
  explicit GRecord(const MPersistentObject& object);
  // The three values; never the reference count.
  GRecord(const GRecord& other);
  GRecord& operator=(const GRecord&) = delete;
  ~GRecord() override;

  static RWClassID classIsA() { return ClassId::GRecord; }
  static uint32_t version() { return 1; }

  // ---- record operations -----------------------------------------------------
  // The record itself for a composite record, else null.
  virtual GRecordComposite* children();
  // Appends to a composite record; nothing for the others.
  virtual void addChild(const GRecordRef& record);
  // Stored objects this record stands for: 1, or a composite record's sum.
  virtual RWsize leafCount() const;
  // Applies the search to this record and what lies below it.
  virtual void search(GRecordSearch& s);

  // Each answers what the search of that kind found, this record included.
  GCountedRef takeByClass(const RWClassID& classId, MPersistentCompositeOnDiskImp& store);
  GCountedRef takeById(const uint32_t& id, MPersistentCompositeOnDiskImp& store);
  GCountedRef takeByObject(const MPersistentObject* object, MPersistentCompositeOnDiskImp& store);
  int replaceByClass(const RWClassID& classId, MPersistentObject* replacement, MPersistentCompositeOnDiskImp& store);
  int replaceById(const uint32_t& id, MPersistentObject* replacement, MPersistentCompositeOnDiskImp& store);
  int replaceByObject(const MPersistentObject* object, MPersistentObject* replacement,
                      MPersistentCompositeOnDiskImp& store);
  GCountedRef readByClass(const RWClassID& classId, MPersistentCompositeOnDiskImp& store);
  GCountedRef readById(const uint32_t& id, MPersistentCompositeOnDiskImp& store);
  GCountedRef readByObject(const MPersistentObject* object, MPersistentCompositeOnDiskImp& store);

  // ---- not virtual ------------------------------------------------------------
  RWClassID classId() const { return classId_; }
  uint32_t serial() const { return serial_; }
  uint32_t id() const { return id_; }
  // The record's B-tree key: the serial number in lower-case hexadecimal
  // without leading zeros, zero-padded to keyLength + 1 bytes.
  void key(char (&out)[keyLength + 1]) const { formatKey(serial_, out); }
  static void formatKey(uint32_t serial, char (&out)[keyLength + 1]);

  // Whether this record's own values fit the search's key.
  bool fits(const GRecordSearch& s) const;
  // Does the search's action to this record alone and ends the search.
  void applyToSelf(GRecordSearch& s);

  RWReference& referenceCount() { return refs_; }

 private:
  RWReference refs_;
  RWClassID classId_;
  uint32_t serial_;
  uint32_t id_;
};

// The record of a stored on-disk composite: it owns a handle to the nested
// store, through which searches go on below it.
class GRecordProxy : public GRecord {
  G_PERSISTENT_CLASS(GRecordProxy)

 public:
  GRecordProxy();
  // The record of the handle, holding a copy of it.
  explicit GRecordProxy(const MPersistentCompositeOnDisk& child);
  // Holds its own copy of the other's handle (the store is shared).
  GRecordProxy(const GRecordProxy& other);
  ~GRecordProxy() override;

  static RWClassID classIsA() { return ClassId::GRecordProxy; }

  void search(GRecordSearch& s) override;

  MPersistentCompositeOnDisk* nested() const { return nested_.get(); }

 private:
  std::unique_ptr<MPersistentCompositeOnDisk> nested_;
};

// A link of a composite record's child list.
class GRecordLink : public RWIsvDlink {
 public:
  explicit GRecordLink(const GRecordRef& r) : record(r) {}
  GRecordRef record;
};

// The record of an in-memory composite, and the root of a store's index
// (whose own values mean nothing).
class GRecordComposite : public GRecord {
  G_PERSISTENT_CLASS(GRecordComposite)

 public:
  GRecordComposite();
  explicit GRecordComposite(const MPersistentObject& object);
  // Shares the other's child records.
  GRecordComposite(const GRecordComposite& other);
  ~GRecordComposite() override;

  static RWClassID classIsA() { return ClassId::GRecordComposite; }

  GRecordComposite* children() override { return this; }
  void addChild(const GRecordRef& record) override;
  RWsize leafCount() const override;
  void search(GRecordSearch& s) override;

  // Calls fn(GRecord&) with each child record in stored order. A composite
  // child's own records are not entered: they are its own forEachRecord.
  // fn must not add records to this list or remove any from it.
  template <class Fn>
  void forEachRecord(Fn&& fn) const {
    for (RWIsvDlink* l = list_.first(); l && !list_.isSentinel(l); l = l->next())
      fn(*static_cast<GRecordLink*>(l)->record);
  }
  // The search among the children only, the record itself untested.
  void searchChildren(GRecordSearch& s);
  void clearChildren();
  RWsize childCount() const { return list_.entries(); }
  // Moves every child of the other to the end of this list.
  void takeChildrenFrom(GRecordComposite& other);
  RWIsvDlist& list() { return list_; }
  const RWIsvDlist& list() const { return list_; }

 private:
  // Unlinks and deletes one link.
  void drop(GRecordLink* link);

  RWIsvDlist list_;
  bool restoring_ = false;
};

RW_DECLARE_RESTORE_OPERATORS(GRecord)
RW_DECLARE_RESTORE_OPERATORS(GRecordProxy)
RW_DECLARE_RESTORE_OPERATORS(GRecordComposite)

// A position in a record list. advance steps to the next record and answers
// nonzero while there is one; after the end it starts again at the first.
class GRecordIterator {
 public:
  explicit GRecordIterator(RWIsvDlist& list) : list_(&list), link_(list.headLink()) {}

  int advance();
  int retreat();
  void reset() { link_ = list_->headLink(); }
  // The record at the position, nil before the first and after the last.
  GRecordRef current() const;

  GRecordLink* link() const;
  void setLink(RWIsvDlink* link) { link_ = link; }
  RWIsvDlist& list() const { return *list_; }

 private:
  RWIsvDlist* list_;
  RWIsvDlink* link_;
};

#endif
