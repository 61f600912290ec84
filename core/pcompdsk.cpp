#include "core/pcompdsk.h"

#include <atomic>
#include <cstring>
#include <list>
#include <vector>

#include "core/perclass.h"
#include "core/textconv.h"
#include "rw/disktree.h"
#include "rw/filemgr.h"
#include "rw/instmgr.h"
#include "rw/kmsys.h"
#include "rw/mutex.h"
#include "rw/rwerr.h"
#include "rw/rwstore.h"
#include "rw/vstream.h"
#include "rw/wstring.h"

namespace {

const char indexKey[GRecord::keyLength + 1] = "IndexOfRecords";

// Serialises attaching, detaching and every use of a store's file and
// index in the process. Re-entrant: closing a store detaches the handles
// its proxies hold, and restoring a handle attaches it, both while the
// lock is held. Declared before the registry, so that it outlives it.
RW_FILE_LOCK(storeLock);

std::atomic<bool> restoreDetached{false};

// Both changed only under the store lock. Whether the last object stored
// at the top level opened a scan line (its start or a scan-line graphic):
// none until the first store.
bool lastStoredOpensScanLine = false;
std::atomic<uint32_t> topLevelLimit{0x3FFFFFEF};

// ---- the registry of open stores ----------------------------------------------------

struct RegistryEntry {
  RWCString name;
  GCountedRef store;
};

// Set once the registry has been emptied at exit; a handle that goes after
// that (a static one) only lets go of its store.
std::atomic<bool> registryGone{false};

class StoreRegistry {
 public:
  StoreRegistry() = default;
  // Releases every entry, which closes each store whose last reference
  // goes. Closing a store may detach further handles: the list is looked
  // at afresh after every release.
  ~StoreRegistry() {
    RWGuard guard(storeLock);
    while (!entries.empty()) {
      GCountedRef released = entries.front().store;
      entries.pop_front();
    }
    registryGone = true;
  }
  StoreRegistry(const StoreRegistry&) = delete;
  StoreRegistry& operator=(const StoreRegistry&) = delete;

  std::list<RegistryEntry>::iterator find(const RWCString& name) {
    for (auto it = entries.begin(); it != entries.end(); ++it) {
      if (it->name == name) return it;
    }
    return entries.end();
  }

  std::list<RegistryEntry> entries;
};

// Made at the library's start, or by the first attach if that comes first;
// emptied and deleted at its stop.
StoreRegistry* theRegistry = nullptr;

StoreRegistry& registry() {
  if (!theRegistry) theRegistry = new StoreRegistry;
  return *theRegistry;
}

void startRegistry() {
  registryGone = false;
  registry();
}

void stopRegistry() {
  delete theRegistry;
  theRegistry = nullptr;
}

RW_STARTUP(registryEntry, startRegistry, stopRegistry);

// ---- where stores live --------------------------------------------------------------

// The folders in which this process's own code has named a store (a handle
// made from a file name). Only there may a handle read from stored bytes
// open a file: those bytes may come from outside. Used under the store
// lock.
std::vector<RWCString>& storeFolders() {
  static std::vector<RWCString> folders;
  return folders;
}

// A name's folder: the name up to and with its last separator (a backslash
// within the system, '/' as well), empty for a name without one, so that
// "x" and "/x" are in different folders. The rest goes to leaf.
RWCString folderOf(const RWCString& name, RWCString* leaf = nullptr) {
  const char* text = name.data();
  RWsize cut = name.length();
  while (cut > 0 && text[cut - 1] != '/' && text[cut - 1] != '\\') --cut;
  if (leaf) *leaf = RWCString(text + cut, name.length() - cut);
  return RWCString(text, cut);
}

void noteStoreFolder(const RWCString& name) {
  if (name.isNull()) return;  // names no file, so no folder either
  RWGuard guard(storeLock);
  const RWCString folder = folderOf(name);
  std::vector<RWCString>& folders = storeFolders();
  for (const RWCString& f : folders) {
    if (f == folder) return;
  }
  folders.push_back(folder);
}

// A name a restored handle may open: a plain file name (not empty, not "."
// or "..", no separator, no ':' of a drive or a stream, no zero byte) in one
// of the store folders.
bool inStoreFolder(const RWCString& name) {
  RWCString leaf;
  const RWCString folder = folderOf(name, &leaf);
  if (leaf.isNull() || leaf == "." || leaf == "..") return false;
  for (RWsize i = 0; i < leaf.length(); ++i) {
    const char c = leaf.data()[i];
    if (c == ':' || c == '\0') return false;
  }
  RWGuard guard(storeLock);
  for (const RWCString& f : storeFolders()) {
    if (f == folder) return true;
  }
  return false;
}

// ---- object graphs of their own -----------------------------------------------------

// Every object a store writes or reads is a graph of its own, with its own
// store or read table, even when the store is used from within another
// store or restore on this thread (restoring a handle opens its store and
// reads that store's index). The thread's current tables are set aside for
// the length of the scope and put back afterwards.
class OwnGraphs {
 public:
  OwnGraphs()
      : storeKey_(rwStoreTableManager().key()),
        readKey_(rwReadTableManager().key()),
        store_(RWThreadRegistry::take(storeKey_)),
        read_(RWThreadRegistry::take(readKey_)) {}
  ~OwnGraphs() {
    if (store_) RWThreadRegistry::set(storeKey_, store_);
    if (read_) RWThreadRegistry::set(readKey_, read_);
  }
  OwnGraphs(const OwnGraphs&) = delete;
  OwnGraphs& operator=(const OwnGraphs&) = delete;

 private:
  uint32_t storeKey_;
  uint32_t readKey_;
  void* store_;
  void* read_;
};

int compareKeys(const char* a, const char* b, size_t n) { return std::strncmp(a, b, n); }

// The B-tree of a store file. Its shape is part of the file's format; its
// comparison is not kept in the file, so every open installs it.
std::unique_ptr<RWBTreeOnDisk> openTree(RWFileManager& file) {
  auto tree = std::make_unique<RWBTreeOnDisk>(file, 10, RWBTreeOnDisk::autoCreate, GRecord::keyLength, 0, -1,
                                              RWBTreeOnDisk::currentStyle, 10, 10);
  tree->setComparison(compareKeys);
  return tree;
}

// The tree's keys are what the store hands it: GRecord::keyLength bytes of
// text in a buffer one longer. A tree read from the file that keeps keys of
// another length, or as raw bytes, or has no record of its own, is not one
// a store made: its keys would be read and copied past those buffers, or
// cut short, and are not used.
bool storeShaped(const RWBTreeOnDisk& tree) {
  return !tree.isOldStyle() && tree.keyLength() == GRecord::keyLength && !tree.ignoresNull();
}

// Every key of the tree with its value, in key order.
std::vector<GStoreFileReader::StoredObject> keysAndOffsets(RWBTreeOnDisk& tree) {
  std::vector<GStoreFileReader::StoredObject> all;
  tree.applyToKeyAndValue(
      [](const char* key, int32_t value, void* user) {
        static_cast<std::vector<GStoreFileReader::StoredObject>*>(user)->push_back(
            {RWCString(key, static_cast<RWsize>(strnlen(key, GRecord::keyLength))), value});
      },
      &all);
  return all;
}

// The journal's on-disk command composite is stored as a proxy, like a
// handle of this class; so is every class derived from either. Asked by
// kind, not by class ID: a derived class has an ID of its own.
bool isOnDiskKind(const MPersistentObject* object) {
  return object && (object->isKindOf(MPersistentCompositeOnDisk::classIsA()) ||
                    object->isKindOf(ClassId::GCommandCompositeOnDisk));
}

// The handle behind an object stored as a proxy, or null.
const MPersistentCompositeOnDisk* asHandle(const MPersistentObject* object) {
  if (!isOnDiskKind(object)) return nullptr;
  return dynamic_cast<const MPersistentCompositeOnDisk*>(object);
}

RWCString narrowName(const RWWString& wide) {
  RWCString narrow;
  convertToNarrow(wide, narrow);
  return narrow;
}

}  // namespace

G_DEFINE_PERSISTENT(MPersistentCompositeOnDisk, MPersistentObject)
G_DEFINE_PERSISTENT(MPersistentCompositeOnDiskImp, MPersistentObject)

// ---- MPersistentCompositeOnDisk -----------------------------------------------------

MPersistentCompositeOnDisk::MPersistentCompositeOnDisk(int32_t deleteFile)
    : state_(detached), deleteFile_(deleteFile), lastError_(0) {}

MPersistentCompositeOnDisk::MPersistentCompositeOnDisk(const RWWString& fileName, int32_t deleteFile,
                                                       const uint32_t& id)
    : MPersistentObject(id), fileName_(narrowName(fileName)), state_(detached), deleteFile_(deleteFile),
      lastError_(0) {
  noteStoreFolder(fileName_);
  attach();
}

MPersistentCompositeOnDisk::MPersistentCompositeOnDisk(const MPersistentCompositeOnDisk& other)
    : MPersistentObject(other),
      fileName_(other.fileName_),
      state_(detached),
      imp_(other.imp_),
      deleteFile_(other.deleteFile_),
      lastError_(other.lastError_),
      inspectOnly_(other.inspectOnly_),
      restored_(other.restored_) {
  if (!inspectOnly_) attach();
}

MPersistentCompositeOnDisk& MPersistentCompositeOnDisk::operator=(const MPersistentCompositeOnDisk& other) {
  if (this == &other) return *this;
  if (!imp_.isNil() && imp_.get() == other.imp_.get()) return *this;
  // Detached first and attached again by name, so that this handle keeps
  // exactly one registry entry whatever it held before.
  detach();
  MPersistentObject::operator=(other);
  deleteFile_ = other.deleteFile_;
  fileName_ = other.fileName_;
  imp_ = other.imp_;
  lastError_ = other.lastError_;
  restored_ = other.restored_;
  if (other.state_ == attached) attach();
  return *this;
}

MPersistentCompositeOnDisk::~MPersistentCompositeOnDisk() {
  detach();
  bool lastOfName = true;
  {
    RWGuard guard(storeLock);
    if (!registryGone) lastOfName = registry().find(fileName_) == registry().entries.end();
    // Released before the file goes, so that a store this was the last
    // reference to is closed (and its index written) first.
    imp_ = GCountedRef();
  }
  // Another handle may still use the file: it goes only with the last one.
  // A flag read from stored bytes removes nothing: those may name any file.
  // A file that will not go is left behind: nothing reads it again.
  if (deleteFile_ == 1 && lastOfName && !restored_ && !fileName_.isNull()) (void)KMFileDelete(fileName_.data());
}

RWspace MPersistentCompositeOnDisk::levelStoreSize() const { return 16 + fileName_.length(); }

template <class Sink>
void MPersistentCompositeOnDisk::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, gInt(state_));
  gWrite(sink, fileName_);
  gWrite(sink, gInt(deleteFile_));
}

template <class Source>
void MPersistentCompositeOnDisk::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  uint32_t state = 0;
  uint32_t deleteFile = 0;
  RWCString name;
  if (!gRead(source, gInt(state)) || !gRead(source, name) || !gRead(source, gInt(deleteFile))) return;
  // The stored state says only what the handle was when it was written: a
  // restored handle is attached to the store of its name in any case.
  detach();
  fileName_ = name;
  deleteFile_ = static_cast<int32_t>(deleteFile);
  state_ = detached;
  // The flag is kept so that the handle stores as it was read, but it is
  // never acted on (see the destructor).
  restored_ = true;
  if (restoreDetached) {
    // Read only to be looked at: nothing is opened, so any name may stand.
    inspectOnly_ = true;
  } else if (!inStoreFolder(fileName_)) {
    // Stored bytes may name any file the user can write: a name outside the
    // store folders leaves the handle detached and without it.
    rwReport<RWEnvironmentErr>(RWCORE_OPERR(), {fileName_.data()});
    fileName_ = RWCString();
  } else {
    attach();
  }
}

bool MPersistentCompositeOnDisk::setRestoreDetached(bool detached) { return restoreDetached.exchange(detached); }

RWBoolean MPersistentCompositeOnDisk::isKindOf(RWClassID id) const {
  return id == classIsA() || MPersistentObject::isKindOf(id);
}

RWBoolean MPersistentCompositeOnDisk::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA()) return FALSE;
  const MPersistentCompositeOnDisk* o = dynamic_cast<const MPersistentCompositeOnDisk*>(other);
  return o && o->fileName_ == fileName_ && o->state_ == state_ && o->imp_.get() == imp_.get() &&
         o->deleteFile_ == deleteFile_;
}

MPersistentObject* MPersistentCompositeOnDisk::deepCopy() const { return copy(); }

void MPersistentCompositeOnDisk::attach() {
  RWGuard guard(storeLock);
  if (state_ == attached) return;
  state_ = attached;
  GCountedRef previous = imp_;  // let go of only after the registry is settled
  if (registryGone) {
    if (imp_.isNil()) imp_ = GCountedRef(new MPersistentCompositeOnDiskImp(fileName_, id()));
    return;
  }
  StoreRegistry& r = registry();
  auto it = r.find(fileName_);
  if (it != r.entries.end()) {
    imp_ = it->store;
    r.entries.insert(std::next(it), RegistryEntry{fileName_, imp_});
    return;
  }
  // Entered before the file is opened: a handle of the same name restored
  // while the index is read then shares this store instead of opening the
  // file a second time.
  MPersistentCompositeOnDiskImp* fresh = new MPersistentCompositeOnDiskImp;
  fresh->fileName_ = fileName_;
  fresh->setId(id());
  imp_ = GCountedRef(fresh);
  r.entries.push_back(RegistryEntry{fileName_, imp_});
  fresh->open();
}

void MPersistentCompositeOnDisk::detach() {
  RWGuard guard(storeLock);
  if (state_ == detached) return;
  state_ = detached;
  if (registryGone) return;
  StoreRegistry& r = registry();
  GCountedRef removed;
  auto it = r.find(fileName_);
  if (it != r.entries.end()) {
    removed = it->store;
    r.entries.erase(it);
  }
  // A detached handle keeps no store: one it kept after the other handles
  // of the name went would stay open outside the registry, and the next
  // handle of that name would open the file a second time.
  GCountedRef released = imp_;
  imp_ = GCountedRef();
  // Both go here, last the entry's: the store closes when that was all.
}

MPersistentCompositeOnDiskImp* MPersistentCompositeOnDisk::store() {
  if (inspectOnly_ || (restored_ && fileName_.isNull())) {
    // Restored only to be looked at, or with a stored name that was
    // refused: the handle opens nothing, even when it is first used, and
    // answers as a store that holds nothing.
    if (imp_.isNil()) imp_ = GCountedRef(new MPersistentCompositeOnDiskImp);
    return static_cast<MPersistentCompositeOnDiskImp*>(imp_.get());
  }
  attach();
  return static_cast<MPersistentCompositeOnDiskImp*>(imp_.get());
}

MPersistentCompositeOnDiskImp* MPersistentCompositeOnDisk::attachedStore() const {
  return const_cast<MPersistentCompositeOnDisk*>(this)->store();
}

const RWCString& MPersistentCompositeOnDisk::fileName() {
  MPersistentCompositeOnDiskImp* s = store();
  return s ? s->fileName() : fileName_;
}

int32_t MPersistentCompositeOnDisk::error() {
  if (state_ == attached && !imp_.isNil()) lastError_ = static_cast<MPersistentCompositeOnDiskImp*>(imp_.get())->error();
  return lastError_;
}

void MPersistentCompositeOnDisk::storeChild(const GCountedRef& child) { attachedStore()->storeChild(child); }
void MPersistentCompositeOnDisk::updateChild(const GCountedRef& child) { attachedStore()->updateChild(child); }

GCountedRef MPersistentCompositeOnDisk::takeByObject(const MPersistentObject* object) {
  return attachedStore()->takeByObject(object);
}

GCountedRef MPersistentCompositeOnDisk::takeById(const uint32_t& id) { return attachedStore()->takeById(id); }

GCountedRef MPersistentCompositeOnDisk::takeByClassId(const RWClassID& classId) {
  return attachedStore()->takeByClassId(classId);
}

int MPersistentCompositeOnDisk::replaceById(const uint32_t& id, MPersistentObject* replacement) {
  return attachedStore()->replaceById(id, replacement);
}

int MPersistentCompositeOnDisk::replaceByClassId(const RWClassID& classId, MPersistentObject* replacement) {
  return attachedStore()->replaceByClassId(classId, replacement);
}

int MPersistentCompositeOnDisk::replaceByObject(const MPersistentObject* object, MPersistentObject* replacement) {
  return attachedStore()->replaceByObject(object, replacement);
}

void MPersistentCompositeOnDisk::clear() { attachedStore()->clear(); }

GCountedRef MPersistentCompositeOnDisk::findCountedById(const uint32_t& id) const {
  return attachedStore()->findCountedById(id);
}

GCountedRef MPersistentCompositeOnDisk::findCountedByClassId(const RWClassID& classId) const {
  return attachedStore()->findCountedByClassId(classId);
}

GCountedRef MPersistentCompositeOnDisk::findCounted(const MPersistentObject* object) const {
  return attachedStore()->findCounted(object);
}

RWBoolean MPersistentCompositeOnDisk::isComposite() const { return TRUE; }
RWsize MPersistentCompositeOnDisk::entries() const { return attachedStore()->entries(); }
RWsize MPersistentCompositeOnDisk::totalEntries() const { return attachedStore()->totalEntries(); }
GChildIterator* MPersistentCompositeOnDisk::createIterator() { return attachedStore()->createIterator(); }

// ---- MPersistentCompositeOnDiskImp --------------------------------------------------

MPersistentCompositeOnDiskImp::MPersistentCompositeOnDiskImp() : failed_(0), damaged_(false), generation_(0) {}

MPersistentCompositeOnDiskImp::MPersistentCompositeOnDiskImp(const RWCString& fileName, const uint32_t& id)
    : MPersistentObject(id), fileName_(fileName), failed_(0), damaged_(false), generation_(0) {
  RWGuard guard(storeLock);
  open();
}

MPersistentCompositeOnDiskImp::MPersistentCompositeOnDiskImp(const MPersistentCompositeOnDiskImp& other)
    : MPersistentObject(other), failed_(0), damaged_(false), generation_(0) {}

MPersistentCompositeOnDiskImp::~MPersistentCompositeOnDiskImp() {
  RWGuard guard(storeLock);
  close();
}

RWspace MPersistentCompositeOnDiskImp::levelStoreSize() const { return 4; }

template <class Sink>
void MPersistentCompositeOnDiskImp::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
}

// The version word is read and has nothing to govern.
template <class Source>
void MPersistentCompositeOnDiskImp::restoreLevel(Source& source) {
  uint32_t ignored = 0;
  gRead(source, ignored);
}

RWBoolean MPersistentCompositeOnDiskImp::isKindOf(RWClassID id) const {
  return id == classIsA() || MPersistentObject::isKindOf(id);
}

RWBoolean MPersistentCompositeOnDiskImp::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || !MPersistentObject::matches(other)) return FALSE;
  const MPersistentCompositeOnDiskImp* o = dynamic_cast<const MPersistentCompositeOnDiskImp*>(other);
  if (!o || o->entries() != entries()) return FALSE;
  const RWIsvDlist& mine = records_.list();
  const RWIsvDlist& theirs = o->records_.list();
  if (mine.entries() != theirs.entries()) return FALSE;
  RWIsvDlink* a = mine.first();
  RWIsvDlink* b = theirs.first();
  for (; a && !mine.isSentinel(a); a = a->next(), b = b->next()) {
    if (static_cast<GRecordLink*>(a)->record.get() != static_cast<GRecordLink*>(b)->record.get()) return FALSE;
  }
  return TRUE;
}

int32_t MPersistentCompositeOnDiskImp::error() const {
  if (failed_) return 1;
  return file_ && file_->Error() ? 1 : 0;
}

bool MPersistentCompositeOnDiskImp::usable() const { return !failed_ && file_ && index_; }

void MPersistentCompositeOnDiskImp::noteFileError() { failed_ = 1; }

uint32_t MPersistentCompositeOnDiskImp::recordLimit() { return topLevelLimit.load(); }
void MPersistentCompositeOnDiskImp::setRecordLimit(uint32_t limit) { topLevelLimit.store(limit); }

// ---- opening and closing ------------------------------------------------------------

namespace {

// The record index a closed store left at the offset, read as a graph of
// its own; null when it cannot be read whole, the file's error state then
// cleared.
std::unique_ptr<GRecordComposite> readIndexAt(RWFileManager& file, int32_t at) {
  std::unique_ptr<GRecordComposite> stored;
  {
    OwnGraphs own;
    if (file.SeekTo(at)) stored.reset(rwRestoreAs<GRecordComposite>(file));
  }
  if (!stored || file.Error() || file.Eof()) {
    file.ClearErr();
    return nullptr;
  }
  return stored;
}

}  // namespace

void MPersistentCompositeOnDiskImp::open() {
  failed_ = 0;
  damaged_ = false;
  records_.clearChildren();
  file_ = std::make_unique<RWFileManager>(fileName_.data());
  if (!file_->isValid()) {
    file_.reset();
    failed_ = 1;
    return;
  }
  // A file that is not a free-list file is left as it is found.
  if (!file_->hasFreeList() || file_->Error()) {
    failed_ = 1;
    damaged_ = true;
    return;
  }
  index_ = openTree(*file_);
  if (!index_->isValid() || file_->Error()) {
    failed_ = 1;
    damaged_ = true;
    return;
  }
  if (!storeShaped(*index_)) {
    // Not even a clear may walk such a tree: it is let go at once.
    index_.reset();
    failed_ = 1;
    damaged_ = true;
    return;
  }
  if (std::strcmp(file_->Access(), "rb+") != 0) return;  // a new file: nothing to read

  int32_t at = -1;
  if (!index_->findKeyAndValue(indexKey, nullptr, at)) {
    // No index: the store was cleared, or its user never closed it. The
    // objects such a file still holds have no records and can never be
    // reached; they are given up, so that their keys cannot refuse the
    // objects stored from now on.
    const std::vector<GStoreFileReader::StoredObject> stale = keysAndOffsets(*index_);
    if (!stale.empty()) {
      index_->clear();
      for (const GStoreFileReader::StoredObject& o : stale) file_->deallocate(o.offset);
    }
    if (file_->Error()) failed_ = 1;
    return;
  }

  std::unique_ptr<GRecordComposite> stored = readIndexAt(*file_, at);
  if (!stored) {
    // An index that cannot be read whole is not used, and the file is not
    // written again: what it holds stays there to be looked at.
    failed_ = 1;
    damaged_ = true;
    return;
  }
  records_.takeChildrenFrom(*stored);
  // While the store is open its index lives in memory only.
  int32_t removed = -1;
  index_->removeKeyAndValue(indexKey, nullptr, removed);
  file_->deallocate(at);
  if (file_->Error()) failed_ = 1;
}

void MPersistentCompositeOnDiskImp::close() {
  if (file_ && index_ && !damaged_ && !file_->Error()) {
    OwnGraphs own;
    RWoffset at = file_->allocate(records_.recursiveStoreSize());
    bool written = false;
    if (at >= 0 && file_->SeekTo(at)) {
      records_.recursiveSaveOn(*file_);
      written = !file_->Error() && index_->insertKeyAndValue(indexKey, at);
    }
    if (!written) {
      if (at >= 0) file_->deallocate(at);
      failed_ = 1;
    }
    if (!file_->Flush()) failed_ = 1;
  }
  // The tree goes first: it writes through the file.
  index_.reset();
  file_.reset();
  records_.clearChildren();
  ++generation_;
}

void MPersistentCompositeOnDiskImp::clear() {
  RWGuard guard(storeLock);
  if (file_ && index_ && !file_->Error()) index_->clear();
  index_.reset();
  if (file_) {
    if (!file_->Error() || damaged_) file_->Erase();
    file_.reset();
  } else if (!fileName_.isNull()) {
    // The file could not be opened before: it is made empty, if it can be.
    RWFile emptied(fileName_.data(), "wb+");
  }
  records_.clearChildren();
  ++generation_;
  open();
}

// ---- writing and reading objects ----------------------------------------------------

bool MPersistentCompositeOnDiskImp::writeObject(const GRecord& record, const MPersistentObject& object) {
  char key[GRecord::keyLength + 1];
  record.key(key);
  int32_t existing;
  // An object whose serial number is already stored (the same object
  // twice, or a copy of one) would lose one of the two: it is refused, and
  // the store goes on.
  if (index_->findKeyAndValue(key, nullptr, existing)) return false;
  OwnGraphs own;
  RWoffset at = file_->allocate(object.recursiveStoreSize());
  if (at < 0 || !file_->SeekTo(at)) {
    noteFileError();
    return false;
  }
  *file_ << static_cast<const RWCollectable*>(&object);
  if (file_->Error() || !index_->insertKeyAndValue(key, at)) {
    file_->deallocate(at);
    noteFileError();
    return false;
  }
  return true;
}

std::unique_ptr<MPersistentObject> MPersistentCompositeOnDiskImp::readObject(int32_t offset) {
  OwnGraphs own;
  if (!file_->SeekTo(offset)) {
    noteFileError();
    return nullptr;
  }
  RWCollectable::Restored r = RWCollectable::restoreObject(*file_, nullptr);
  std::unique_ptr<MPersistentObject> object(r.fresh ? dynamic_cast<MPersistentObject*>(r.object) : nullptr);
  if (!object && r.object && r.fresh) RWCollectable::discardRestored(r.object);
  if (file_->Error()) {
    noteFileError();
  } else if (file_->Eof()) {
    // A stored object cut short: this one is lost, the file is still fine.
    file_->ClearErr();
  }
  return object;
}

void MPersistentCompositeOnDiskImp::discard(GRecord& record) {
  char key[GRecord::keyLength + 1];
  record.key(key);
  int32_t at;
  if (index_ && index_->removeKeyAndValue(key, nullptr, at)) file_->deallocate(at);
  if (GRecordComposite* c = record.children()) c->forEachRecord([this](GRecord& child) { discard(child); });
}

GRecordRef MPersistentCompositeOnDiskImp::storeObject(MPersistentObject* child, bool nested) {
  if (!child || !usable()) return GRecordRef();
  if (!nested) {
    if (records_.childCount() > topLevelLimit.load()) {
      // A full store still takes the end of a page, and the end of a scan
      // line right after its start or a scan-line graphic.
      const bool closesScanLine = child->isKindOf(ClassId::GEndScanLine) && lastStoredOpensScanLine;
      if (!child->isKindOf(ClassId::GPageEnd) && !closesScanLine) return GRecordRef();
    }
    lastStoredOpensScanLine =
        child->isKindOf(ClassId::GStartScanLine) || child->isKindOf(ClassId::GScanLineGraphic);
  }

  if (const MPersistentCompositeOnDisk* handle = asHandle(child)) {
    GRecordRef record(new GRecordProxy(*handle));
    return writeObject(*record, *child) ? record : GRecordRef();
  }
  if (!child->isComposite()) {
    GRecordRef record(new GRecord(*child));
    return writeObject(*record, *child) ? record : GRecordRef();
  }

  // A composite: its children become records of their own, in the
  // composite's record only, and an empty shell of its class stands in
  // its place in the file.
  GRecordComposite* composite = new GRecordComposite(*child);
  GRecordRef record(composite);
  char key[GRecord::keyLength + 1];
  record->key(key);
  int32_t existing;
  if (index_->findKeyAndValue(key, nullptr, existing)) return GRecordRef();
  bool ok = true;
  const std::unique_ptr<GChildIterator> it(child->createIterator());
  while (ok && it->advance()) {
    MPersistentObject* member = it->current();
    if (!member) continue;
    GRecordRef r = storeObject(member, nested);
    if (r.isNil()) ok = false;
    composite->addChild(r);
  }
  if (ok) {
    const std::unique_ptr<MPersistentObject> shell(child->newSpecies());
    shell->setId(child->id());
    shell->setSerialNumber(child->serialNumber());
    ok = writeObject(*record, *shell);
  }
  if (!ok) {
    // Nothing of a composite that could not be stored whole stays behind.
    composite->forEachRecord([this](GRecord& member) { discard(member); });
    composite->clearChildren();
    return GRecordRef();
  }
  return record;
}

namespace {

// Puts a restored child back into its restored shell.
void adopt(MPersistentObject* shell, const GCountedRef& child) {
  if (!shell || child.isNil()) return;
  // Only an on-disk shell stores a handle as a record of its own; an
  // in-memory shell (every shell a composite record makes) holds it as a
  // child like any other.
  if (isOnDiskKind(child.get()) && shell->isKindOf(MPersistentCompositeOnDisk::classIsA()))
    shell->storeChild(child);
  else
    shell->insert(child.get());
}

}  // namespace

GCountedRef MPersistentCompositeOnDiskImp::take(GRecord& record, bool* keyWasThere) {
  if (keyWasThere) *keyWasThere = false;
  if (!usable()) return GCountedRef();
  char key[GRecord::keyLength + 1];
  record.key(key);
  int32_t at = -1;
  if (!index_->removeKeyAndValue(key, nullptr, at)) return GCountedRef();
  if (keyWasThere) *keyWasThere = true;
  GCountedRef object(readObject(at).release());
  file_->deallocate(at);
  if (GRecordComposite* c = record.children())
    c->forEachRecord([&](GRecord& child) { adopt(object.get(), take(child)); });
  if (file_ && file_->Error()) noteFileError();
  return object;
}

GCountedRef MPersistentCompositeOnDiskImp::fetch(GRecord& record) {
  if (!usable()) return GCountedRef();
  char key[GRecord::keyLength + 1];
  record.key(key);
  int32_t at = -1;
  if (!index_->findKeyAndValue(key, nullptr, at)) return GCountedRef();
  GCountedRef object(readObject(at).release());
  if (GRecordComposite* c = record.children())
    c->forEachRecord([&](GRecord& child) { adopt(object.get(), fetch(child)); });
  return object;
}

bool MPersistentCompositeOnDiskImp::replace(GRecord& record, MPersistentObject* replacement, GRecordRef& newRecord) {
  newRecord = GRecordRef();
  if (!usable() || !replacement) return false;
  char key[GRecord::keyLength + 1];
  record.key(key);
  int32_t at;
  if (!index_->findKeyAndValue(key, nullptr, at)) return false;
  take(record);
  newRecord = storeObject(replacement, true);
  return true;
}

// ---- the store's operations ---------------------------------------------------------

void MPersistentCompositeOnDiskImp::run(GRecordSearch& s) const {
  RWGuard guard(storeLock);
  const_cast<GRecordComposite&>(records_).searchChildren(s);
}

void MPersistentCompositeOnDiskImp::storeChild(const GCountedRef& child) {
  if (child.isNil()) return;
  RWGuard guard(storeLock);
  GRecordRef record = storeObject(child.get(), false);
  if (!record.isNil()) records_.addChild(record);
}

void MPersistentCompositeOnDiskImp::updateChild(const GCountedRef& child) { storeChild(child); }

namespace {

GRecordSearch search(GRecordSearch::Key key, GRecordSearch::Action action, const MPersistentCompositeOnDiskImp* store) {
  return GRecordSearch(key, action, const_cast<MPersistentCompositeOnDiskImp&>(*store));
}

}  // namespace

GCountedRef MPersistentCompositeOnDiskImp::takeByObject(const MPersistentObject* object) {
  if (!object) return GCountedRef();
  GRecordSearch s = search(GRecordSearch::byObject, GRecordSearch::take, this);
  s.object = object;
  s.serial = object->serialNumber();
  run(s);
  return s.found;
}

GCountedRef MPersistentCompositeOnDiskImp::takeById(const uint32_t& id) {
  GRecordSearch s = search(GRecordSearch::byId, GRecordSearch::take, this);
  s.id = id;
  run(s);
  return s.found;
}

GCountedRef MPersistentCompositeOnDiskImp::takeByClassId(const RWClassID& classId) {
  GRecordSearch s = search(GRecordSearch::byClass, GRecordSearch::take, this);
  s.classId = classId;
  run(s);
  return s.found;
}

int MPersistentCompositeOnDiskImp::replaceById(const uint32_t& id, MPersistentObject* replacement) {
  if (!replacement) return 0;
  GRecordSearch s = search(GRecordSearch::byId, GRecordSearch::replace, this);
  s.id = id;
  s.replacement = replacement;
  run(s);
  return s.replaced;
}

int MPersistentCompositeOnDiskImp::replaceByClassId(const RWClassID& classId, MPersistentObject* replacement) {
  if (!replacement) return 0;
  GRecordSearch s = search(GRecordSearch::byClass, GRecordSearch::replace, this);
  s.classId = classId;
  s.replacement = replacement;
  run(s);
  return s.replaced;
}

int MPersistentCompositeOnDiskImp::replaceByObject(const MPersistentObject* object, MPersistentObject* replacement) {
  if (!object || !replacement) return 0;
  GRecordSearch s = search(GRecordSearch::byObject, GRecordSearch::replace, this);
  s.object = object;
  s.serial = object->serialNumber();
  s.replacement = replacement;
  run(s);
  return s.replaced;
}

// The fetches take the store lock as well: they move the file's position,
// which a store or take on another thread would move under them.
GCountedRef MPersistentCompositeOnDiskImp::findCountedById(const uint32_t& id) const {
  GRecordSearch s = search(GRecordSearch::byId, GRecordSearch::read, this);
  s.id = id;
  run(s);
  return s.found;
}

GCountedRef MPersistentCompositeOnDiskImp::findCountedByClassId(const RWClassID& classId) const {
  GRecordSearch s = search(GRecordSearch::byClass, GRecordSearch::read, this);
  s.classId = classId;
  run(s);
  return s.found;
}

GCountedRef MPersistentCompositeOnDiskImp::findCounted(const MPersistentObject* object) const {
  if (!object) return GCountedRef();
  GRecordSearch s = search(GRecordSearch::byObject, GRecordSearch::read, this);
  s.object = object;
  s.serial = object->serialNumber();
  run(s);
  return s.found;
}

RWBoolean MPersistentCompositeOnDiskImp::isComposite() const { return TRUE; }
// Counting walks the record index, which a store on another thread
// appends to: it takes the store lock like the fetches.
RWsize MPersistentCompositeOnDiskImp::entries() const {
  RWGuard guard(storeLock);
  return records_.leafCount();
}

RWsize MPersistentCompositeOnDiskImp::totalEntries() const {
  RWGuard guard(storeLock);
  return records_.leafCount();
}
GChildIterator* MPersistentCompositeOnDiskImp::createIterator() { return new GOnDiskIterator(this); }

GCountedRef MPersistentCompositeOnDiskImp::fetchAt(GRecordLink* link) {
  RWGuard guard(storeLock);
  return link ? fetch(*link->record) : GCountedRef();
}

GCountedRef MPersistentCompositeOnDiskImp::takeAt(GRecordLink* link) {
  RWGuard guard(storeLock);
  if (!link) return GCountedRef();
  GRecordRef held(link->record);
  bool keyWasThere = false;
  GCountedRef object = take(*held, &keyWasThere);
  if (keyWasThere) {
    records_.list().removeReference(link);
    delete link;
    linkRemoved();
  }
  return object;
}

int MPersistentCompositeOnDiskImp::replaceAt(GRecordLink* link, MPersistentObject* replacement) {
  RWGuard guard(storeLock);
  if (!link || !replacement) return 0;
  GRecordRef held(link->record);
  GRecordRef fresh;
  if (!replace(*held, replacement, fresh)) return 0;
  if (fresh.isNil()) {
    records_.list().removeReference(link);
    delete link;
    linkRemoved();
    return 0;
  }
  link->record = fresh;
  return 1;
}

// ---- GOnDiskIterator ----------------------------------------------------------------

GOnDiskIterator::GOnDiskIterator(MPersistentCompositeOnDiskImp* store)
    : GChildIterator(store),
      // A store that something counts is kept open by the iterator; one
      // that nothing counts belongs to its creator and is only pointed at.
      store_(store && store->references() > 0 ? GCountedRef(store) : GCountedRef()),
      imp_(store),
      position_(store->records_.list()),
      generation_(0) {
  // Another thread may be changing the store's list: its count of removed
  // links is read under the lock that every change holds.
  RWGuard guard(storeLock);
  generation_ = store->generation();
}

GOnDiskIterator::~GOnDiskIterator() = default;

void GOnDiskIterator::resync() {
  if (generation_ == imp_->generation()) return;
  generation_ = imp_->generation();
  if (!position_.link()) return;  // at either end: nothing was lost
  // Only the addresses are compared: the link the position names may be
  // gone.
  RWIsvDlist& l = position_.list();
  for (RWIsvDlink* p = l.first(); p && !l.isSentinel(p); p = p->next()) {
    if (p == static_cast<RWIsvDlink*>(position_.link()) &&
        static_cast<GRecordLink*>(p)->record.get() == currentRecord_.get())
      return;
  }
  for (RWIsvDlink* p = l.first(); p && !l.isSentinel(p); p = p->next()) {
    if (static_cast<GRecordLink*>(p)->record.get() == currentRecord_.get()) {
      position_.setLink(p);
      return;
    }
  }
  // The current record was taken elsewhere: the walk starts again.
  position_.reset();
  currentRecord_ = GRecordRef();
}

MPersistentObject* GOnDiskIterator::current() { return nullptr; }

void GOnDiskIterator::replaceCurrent(MPersistentObject* object) { replaceCurrentObject(object); }

int GOnDiskIterator::advance() {
  RWGuard guard(storeLock);
  resync();
  int more = position_.advance();
  currentRecord_ = position_.current();
  return more;
}

int GOnDiskIterator::retreat() {
  RWGuard guard(storeLock);
  resync();
  int more = position_.retreat();
  currentRecord_ = position_.current();
  return more;
}

void GOnDiskIterator::reset() {
  RWGuard guard(storeLock);
  position_.reset();
  currentRecord_ = GRecordRef();
  generation_ = imp_->generation();
}

GCountedRef GOnDiskIterator::currentObject() {
  RWGuard guard(storeLock);
  resync();
  return imp_->fetchAt(position_.link());
}

GCountedRef GOnDiskIterator::removeCurrent() {
  RWGuard guard(storeLock);
  resync();
  GRecordLink* link = position_.link();
  if (!link) return GCountedRef();
  RWIsvDlink* before = link->prev();
  GCountedRef object = imp_->takeAt(link);
  if (generation_ != imp_->generation()) {
    // The current link went: the position moves to the one before it.
    position_.setLink(before);
    currentRecord_ = position_.current();
    generation_ = imp_->generation();
  }
  return object;
}

int GOnDiskIterator::replaceCurrentObject(MPersistentObject* object) {
  RWGuard guard(storeLock);
  resync();
  GRecordLink* link = position_.link();
  if (!link) return 0;
  RWIsvDlink* before = link->prev();
  int replaced = imp_->replaceAt(link, object);
  if (generation_ != imp_->generation()) {
    position_.setLink(before);
    generation_ = imp_->generation();
  }
  currentRecord_ = position_.current();
  return replaced;
}

// ---- GAttachedIterator --------------------------------------------------------------

GAttachedIterator::GAttachedIterator(MPersistentCompositeOnDisk& handle) : handle_(&handle) {
  handle.attach();
  inner_.reset(static_cast<GOnDiskIterator*>(handle.createIterator()));
}

GAttachedIterator::GAttachedIterator(GAttachedIterator& other)
    : handle_(other.handle_), inner_(std::move(other.inner_)) {
  other.handle_ = nullptr;
}

GAttachedIterator& GAttachedIterator::operator=(GAttachedIterator& other) {
  if (this == &other) return *this;
  inner_.reset();
  if (handle_ && handle_ != other.handle_) handle_->detach();
  handle_ = other.handle_;
  inner_ = std::move(other.inner_);
  other.handle_ = nullptr;
  return *this;
}

GAttachedIterator::~GAttachedIterator() {
  // The iterator goes first: it may hold the store the handle lets go of.
  inner_.reset();
  if (handle_) handle_->detach();
}

MPersistentObject* GAttachedIterator::current() { return inner_ ? inner_->current() : nullptr; }

void GAttachedIterator::replaceCurrent(MPersistentObject* object) {
  if (inner_) inner_->replaceCurrent(object);
}

int GAttachedIterator::advance() { return inner_ ? inner_->advance() : 0; }

void GAttachedIterator::reset() {
  if (inner_) inner_->reset();
}

GCountedRef GAttachedIterator::currentObject() { return inner_ ? inner_->currentObject() : GCountedRef(); }
GCountedRef GAttachedIterator::removeCurrent() { return inner_ ? inner_->removeCurrent() : GCountedRef(); }

int GAttachedIterator::replaceCurrentObject(MPersistentObject* object) {
  return inner_ ? inner_->replaceCurrentObject(object) : 0;
}

int GAttachedIterator::retreat() { return inner_ ? inner_->retreat() : 0; }

// ---- GStoreFileReader ---------------------------------------------------------------

GStoreFileReader::GStoreFileReader(const char* fileName)
    : file_(std::make_unique<RWFileManager>(fileName, "rb")), status_(notAStoreFile) {
  if (!file_->isValid() || !file_->hasFreeList()) return;
  tree_ = openTree(*file_);
  status_ = tree_->isValid() && storeShaped(*tree_) ? readable : unreadableTree;
}

GStoreFileReader::~GStoreFileReader() = default;

bool GStoreFileReader::hasRecordIndex() const {
  int32_t at = -1;
  return status_ == readable && tree_->findKeyAndValue(indexKey, nullptr, at);
}

std::unique_ptr<GRecordComposite> GStoreFileReader::readRecordIndex() {
  int32_t at = -1;
  if (status_ != readable || !tree_->findKeyAndValue(indexKey, nullptr, at)) return nullptr;
  return readIndexAt(*file_, at);
}

bool GStoreFileReader::seekToObject(const GRecord& record) {
  if (status_ != readable) return false;
  char key[GRecord::keyLength + 1];
  record.key(key);
  int32_t at = -1;
  return tree_->findKeyAndValue(key, nullptr, at) && file_->SeekTo(at);
}

std::vector<GStoreFileReader::StoredObject> GStoreFileReader::storedObjects() const {
  if (status_ != readable) return {};
  return keysAndOffsets(*tree_);
}
