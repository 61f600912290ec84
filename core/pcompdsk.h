#ifndef CORE_PCOMPDSK_H
#define CORE_PCOMPDSK_H

// A persistent composite whose children live in a disk file: the handle.
//
// MPersistentCompositeOnDisk is the handle callers hold and store; every
// handle of one file name shares one open store, MPersistentCompositeOnDiskImp
// (dskstore.h), through a process-wide registry with one entry per attached
// handle (dskreg.h). The store is opened when the first handle of a name
// attaches and closed when its last reference goes, which writes its record
// index back into the file. Every store operation of a handle attaches it
// first and is the store's.
//
// Stored form of a handle, after the root level: version (1), state,
// file name, deleteFile; a restored handle attaches to the store of that
// name whatever state was stored.
//
// Stored bytes may come from outside the process (a configuration, a
// DEVMODE), so a restored handle trusts its name and flag no further than
// this: the name must be a plain file name (no separator, not "." or "..",
// no ':') in a folder where this process has made a handle from a name
// itself, else the handle reports OPERR and stays detached with no name;
// and its deleteFile is kept, and stored again, but never removes a file.

#include <cstdint>

#include "core/classids.h"
#include "core/cntdptr.h"
#include "core/perobj.h"
#include "rw/cstring.h"

class RWWString;
class MPersistentCompositeOnDiskImp;

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

#endif
