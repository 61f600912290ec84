#ifndef CORE_DSKSTORE_H
#define CORE_DSKSTORE_H

// The open store behind the on-disk composite's handles, and the iterators
// over what it holds.
//
// A store, MPersistentCompositeOnDiskImp, is opened when the first handle
// of a name attaches (see pcompdsk.h) and closed when its last reference
// goes, which writes its record index back into the file (see dskfile.h for
// the file's layout). While it is open its record index (recindex.h) lives
// in memory only. An in-memory composite is written as an empty shell of
// its class with its children as records of their own; taking it back puts
// them into the shell again. A handle stored in the store is written as a
// proxy record that keeps a handle of its own.
//
// Objects go in and come out as counted references. To take an object is
// to read it back and remove it from the store; to fetch one (the counted
// finds) is to read a copy and leave it stored.
//
// A file that cannot be opened, is not a free-list file, or whose tree or
// index cannot be read, leaves the store failed: error() answers nonzero,
// every store and take answers nothing, and a damaged file is not written
// again, so that what it holds stays there to be looked at.
//
// Stored form of a store: version (1).

#include <cstdint>
#include <memory>

#include "core/classids.h"
#include "core/cntdptr.h"
#include "core/perobj.h"
#include "core/recindex.h"
#include "rw/cstring.h"

class RWBTreeOnDisk;
class RWFileManager;
class MPersistentCompositeOnDisk;

// The open store. Its newSpecies and copy answer new closed stores that
// nothing counts yet, the caller's.
class MPersistentCompositeOnDiskImp : public MPersistentObject {
  G_PERSISTENT_CLASS(MPersistentCompositeOnDiskImp)

 public:
  // A closed store with an empty name.
  MPersistentCompositeOnDiskImp();
  // Opens the file (creating it when it does not exist).
  MPersistentCompositeOnDiskImp(const RWCString& fileName, const uint32_t& id);
  // A closed store with the other's root level: no records, no name.
  MPersistentCompositeOnDiskImp(const MPersistentCompositeOnDiskImp& other);
  MPersistentCompositeOnDiskImp& operator=(const MPersistentCompositeOnDiskImp&) = delete;
  // Closes the store, writing its record index into the file.
  ~MPersistentCompositeOnDiskImp() override;

  static RWClassID classIsA() { return ClassId::MPersistentCompositeOnDiskImp; }
  static uint32_t version() { return 1; }

  RWBoolean isKindOf(RWClassID id) const override;
  // Same class and id, and the very same records in the same order.
  RWBoolean matches(const MPersistentObject* other) const override;

  void storeChild(const GCountedRef& child) override;
  void updateChild(const GCountedRef& child) override;
  GCountedRef takeByObject(const MPersistentObject* object) override;
  GCountedRef takeById(const uint32_t& id) override;
  GCountedRef takeByClassId(const RWClassID& classId) override;
  int replaceById(const uint32_t& id, MPersistentObject* replacement) override;
  int replaceByClassId(const RWClassID& classId, MPersistentObject* replacement) override;
  // Empties the store: the file is erased and opened afresh.
  void clear() override;
  GCountedRef findCountedById(const uint32_t& id) const override;
  GCountedRef findCountedByClassId(const RWClassID& classId) const override;
  GCountedRef findCounted(const MPersistentObject* object) const override;
  RWBoolean isComposite() const override;
  // The number of leaf records in the index.
  RWsize entries() const override;
  RWsize totalEntries() const override;
  // A new GOnDiskIterator over the stored top-level objects, the caller's.
  GChildIterator* createIterator() override;
  int replaceByObject(const MPersistentObject* object, MPersistentObject* replacement);

  // Nonzero after a file error, a failed open or an unreadable index.
  int32_t error() const;
  const RWCString& fileName() const { return fileName_; }
  const GRecordComposite& records() const { return records_; }

  // ---- what the records call ---------------------------------------------------
  // Reads back the record's object (and, for a composite record, its
  // children into it), removing them from the file; nil when the key is
  // absent. keyWasThere tells which.
  GCountedRef take(GRecord& record, bool* keyWasThere = nullptr);
  // The same, leaving everything stored.
  GCountedRef fetch(GRecord& record);
  // Drops the record's object and stores the replacement in its place
  // (outside the record limit). Answers whether the key was there; the new
  // record (nil when the replacement could not be stored) goes to newRecord.
  bool replace(GRecord& record, MPersistentObject* replacement, GRecordRef& newRecord);
  // Counts the removal of a link from the index, so that iterators know
  // their position may be gone.
  void linkRemoved() { ++generation_; }
  uint32_t generation() const { return generation_; }

  // For the iterators: the same under the store's lock.
  GCountedRef fetchAt(GRecordLink* link);
  GCountedRef takeAt(GRecordLink* link);
  int replaceAt(GRecordLink* link, MPersistentObject* replacement);

  // The number of top-level records above which a store refuses all but
  // the few classes that close a page or a scan line. Tests lower it.
  static uint32_t recordLimit();
  static void setRecordLimit(uint32_t limit);

 private:
  void open();
  void close();
  bool usable() const;
  void run(GRecordSearch& s) const;
  GRecordRef storeObject(MPersistentObject* child, bool nested);
  bool writeObject(const GRecord& record, const MPersistentObject& object);
  std::unique_ptr<MPersistentObject> readObject(int32_t offset);
  // Removes the stored objects of a record that is being given up.
  void discard(GRecord& record);
  void noteFileError();

  // The file before the index that writes through it, so that it goes last.
  std::unique_ptr<RWFileManager> file_;
  std::unique_ptr<RWBTreeOnDisk> index_;
  GRecordComposite records_;
  RWCString fileName_;
  int32_t failed_;
  // The file was found but its free list, B-tree or index could not be
  // read: it is not written again.
  bool damaged_;
  uint32_t generation_;

  friend class MPersistentCompositeOnDisk;
  friend class GOnDiskIterator;
};

RW_DECLARE_RESTORE_OPERATORS(MPersistentCompositeOnDiskImp)

// What a store's createIterator answers: a walk over the stored top-level
// objects. current answers null (the children are not in memory);
// currentObject fetches a copy. The iterator keeps the store open.
class GOnDiskIterator : public GChildIterator {
 public:
  explicit GOnDiskIterator(MPersistentCompositeOnDiskImp* store);
  ~GOnDiskIterator() override;

  MPersistentObject* current() override;
  // The same as replaceCurrentObject.
  void replaceCurrent(MPersistentObject* object) override;
  int advance() override;
  void reset() override;
  // A copy of the current stored object, nil when there is none.
  virtual GCountedRef currentObject();
  // Takes the current object out of the store and answers it; the position
  // moves back to the record before, so that advance goes on with the next.
  virtual GCountedRef removeCurrent();
  // Replaces the current stored object by the object (which stays the
  // caller's), keeping its position; 1 when replaced.
  virtual int replaceCurrentObject(MPersistentObject* object);
  virtual int retreat();

 private:
  // Finds the position again when records were removed meanwhile.
  void resync();

  GCountedRef store_;
  MPersistentCompositeOnDiskImp* imp_;
  GRecordIterator position_;
  GRecordRef currentRecord_;
  uint32_t generation_;
};

// An on-disk iterator that keeps its handle attached for its lifetime.
class GAttachedIterator {
 public:
  // Attaches the handle (which must outlive the iterator).
  explicit GAttachedIterator(MPersistentCompositeOnDisk& handle);
  // Moves the other's inner iterator and its hold on the handle here.
  GAttachedIterator(GAttachedIterator& other);
  GAttachedIterator& operator=(GAttachedIterator& other);
  ~GAttachedIterator();

  MPersistentObject* current();
  void replaceCurrent(MPersistentObject* object);
  int advance();
  void reset();
  GCountedRef currentObject();
  GCountedRef removeCurrent();
  int replaceCurrentObject(MPersistentObject* object);
  int retreat();

 private:
  MPersistentCompositeOnDisk* handle_;
  std::unique_ptr<GOnDiskIterator> inner_;
};

#endif
