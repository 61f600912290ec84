#ifndef CORE_PCOMPDSK_H
#define CORE_PCOMPDSK_H

// A persistent composite whose children live in a disk file.
//
// MPersistentCompositeOnDisk is the handle callers hold and store; every
// handle of one file name shares one open store, MPersistentCompositeOnDiskImp,
// through a process-wide registry with one entry per attached handle. The
// store is opened when the first handle of a name attaches and closed when
// its last reference goes, which writes its record index back into the file.
//
// The file is a free-list file: its space holds an on-disk B-tree, one
// stored object graph per record (keyed by the record's serial number in
// hexadecimal), and, while the store is closed, the record index under the
// key "IndexOfRecords". An in-memory composite is written as an empty shell
// of its class with its children as records of their own; taking it back
// puts them into the shell again.
//
// Objects go in and come out as counted references. To take an object is
// to read it back and remove it from the store; to fetch one (the counted
// finds) is to read a copy and leave it stored.
//
// Stored form of a handle, after the root level: version (1), state,
// file name, deleteFile; a restored handle attaches to the store of that
// name whatever state was stored. Of a store: version (1).
//
// Stored bytes may come from outside the process (a configuration, a
// DEVMODE), so a restored handle trusts its name and flag no further than
// this: the name must be a plain file name (no separator, not "." or "..",
// no ':') in a folder where this process has made a handle from a name
// itself, else the handle reports OPERR and stays detached with no name;
// and its deleteFile is kept, and stored again, but never removes a file.

#include <cstdint>
#include <memory>
#include <vector>

#include "core/classids.h"
#include "core/cntdptr.h"
#include "core/perobj.h"
#include "core/recindex.h"
#include "rw/cstring.h"

class RWBTreeOnDisk;
class RWFileManager;
class RWWString;
class GOnDiskIterator;

// The handle. Its newSpecies, copy and deepCopy answer new handles, the
// caller's.
class MPersistentCompositeOnDisk : public MPersistentObject {
  G_PERSISTENT_CLASS(MPersistentCompositeOnDisk)

 public:
  enum State { attached = 1, detached = 2 };

  // Detached, without a file name.
  explicit MPersistentCompositeOnDisk(int32_t deleteFile = 0);
  // Attaches at once to the store of that file, opening it when no other
  // handle has. deleteFile 1 removes the file when the store closes. The
  // file's folder becomes one a restored handle may name.
  MPersistentCompositeOnDisk(const RWWString& fileName, int32_t deleteFile, const uint32_t& id);
  // Shares the other's store, with a registry entry of its own.
  MPersistentCompositeOnDisk(const MPersistentCompositeOnDisk& other);
  MPersistentCompositeOnDisk& operator=(const MPersistentCompositeOnDisk& other);
  // Detaches; with deleteFile 1 the file is removed once no handle of the
  // name is left, unless this handle (or the one it copies) was restored.
  ~MPersistentCompositeOnDisk() override;

  static RWClassID classIsA() { return ClassId::MPersistentCompositeOnDisk; }
  static uint32_t version() { return 1; }

  RWBoolean isKindOf(RWClassID id) const override;
  // Same class, name, state, store and deleteFile.
  RWBoolean matches(const MPersistentObject* other) const override;
  // Another handle of the same store: the children are in the file.
  MPersistentObject* deepCopy() const override;

  // The store's operations; each attaches first when detached.
  void storeChild(const GCountedRef& child) override;
  void updateChild(const GCountedRef& child) override;
  GCountedRef takeByObject(const MPersistentObject* object) override;
  GCountedRef takeById(const uint32_t& id) override;
  GCountedRef takeByClassId(const RWClassID& classId) override;
  int replaceById(const uint32_t& id, MPersistentObject* replacement) override;
  int replaceByClassId(const RWClassID& classId, MPersistentObject* replacement) override;
  void clear() override;
  GCountedRef findCountedById(const uint32_t& id) const override;
  GCountedRef findCountedByClassId(const RWClassID& classId) const override;
  GCountedRef findCounted(const MPersistentObject* object) const override;
  RWBoolean isComposite() const override;
  RWsize entries() const override;
  RWsize totalEntries() const override;
  // A new GOnDiskIterator over the stored top-level objects, the caller's.
  GChildIterator* createIterator() override;
  // Replaces the stored object with the serial number of the given one by
  // the replacement (which stays the caller's); 1 when one was replaced.
  int replaceByObject(const MPersistentObject* object, MPersistentObject* replacement);

  void attach();
  void detach();
  int32_t state() const { return state_; }
  // The store's file name (attaching first).
  const RWCString& fileName();
  // The store's error state (attaching first when needed, and remembered);
  // a detached handle answers the state last seen.
  int32_t error();
  int32_t deleteFile() const { return deleteFile_; }
  // The name this handle holds, without attaching.
  const RWCString& heldFileName() const { return fileName_; }
  // The shared store, attaching first; never null once attached.
  MPersistentCompositeOnDiskImp* store();

  // While set, restored handles stay detached, so that reading a stored
  // tree opens (and so changes) no store file: for inspection tools, which
  // then must not use such a handle's store operations. Answers the
  // previous setting.
  static bool setRestoreDetached(bool detached);

 private:
  MPersistentCompositeOnDiskImp* attachedStore() const;

  RWCString fileName_;
  int32_t state_;
  GCountedRef imp_;
  int32_t deleteFile_;
  int32_t lastError_;
  bool inspectOnly_ = false;
  // Read from stored bytes (or copied from a handle that was).
  bool restored_ = false;
};

RW_DECLARE_RESTORE_OPERATORS(MPersistentCompositeOnDisk)

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

// A store file opened to be looked at, not used: the free-list file opened
// read-only and the store's B-tree over it, as a store lays them out. No
// store is opened and nothing is written, so a tool can read a file whose
// store is open elsewhere, was never closed, or is damaged.
class GStoreFileReader {
 public:
  enum Status {
    readable,       // the file and its B-tree can be read
    notAStoreFile,  // missing, unreadable, or without a sound free list
    unreadableTree  // a free-list file whose B-tree cannot be read, or
                    // keeps keys of another shape than a store's
  };

  explicit GStoreFileReader(const char* fileName);
  ~GStoreFileReader();
  GStoreFileReader(const GStoreFileReader&) = delete;
  GStoreFileReader& operator=(const GStoreFileReader&) = delete;

  Status status() const { return status_; }

  // A closed store keeps its record index in the file; one left open (or
  // cleared) keeps only its objects under their keys.
  bool hasRecordIndex() const;
  // The stored record index, the caller's; null when there is none or it
  // cannot be read whole.
  std::unique_ptr<GRecordComposite> readRecordIndex();
  // Positions the file at the object stored for the record; false when the
  // file has none under the record's key.
  bool seekToObject(const GRecord& record);

  struct StoredObject {
    RWCString key;
    int32_t offset;
  };
  // Every key in the file and the offset of what is stored under it, in
  // key order.
  std::vector<StoredObject> storedObjects() const;

  // The file, for reading the stored objects where the reader put it.
  RWFileManager& file() { return *file_; }

 private:
  // The file before the tree that reads through it, so that it goes last.
  std::unique_ptr<RWFileManager> file_;
  std::unique_ptr<RWBTreeOnDisk> tree_;
  Status status_;
};

#endif
