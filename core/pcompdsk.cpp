#include "core/pcompdsk.h"

#include <atomic>

#include "core/dskreg.h"
#include "core/dskstore.h"
#include "core/perclass.h"
#include "core/textconv.h"
#include "rw/kmsys.h"
#include "rw/mutex.h"
#include "rw/rwerr.h"
#include "rw/wstring.h"

namespace {

std::atomic<bool> restoreDetached{false};

RWCString narrowName(const RWWString& wide) {
  RWCString narrow;
  convertToNarrow(wide, narrow);
  return narrow;
}

}  // namespace

G_DEFINE_PERSISTENT(MPersistentCompositeOnDisk, MPersistentObject)

// ---- MPersistentCompositeOnDisk -----------------------------------------------------

MPersistentCompositeOnDisk::MPersistentCompositeOnDisk(int32_t deleteFile)
    : state_(detached), deleteFile_(deleteFile), lastError_(0) {}

MPersistentCompositeOnDisk::MPersistentCompositeOnDisk(const RWWString& fileName, int32_t deleteFile,
                                                       const uint32_t& id)
    : MPersistentObject(id), fileName_(narrowName(fileName)), state_(detached), deleteFile_(deleteFile),
      lastError_(0) {
  gNoteStoreFolder(fileName_);
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
    RWGuard guard(gStoreLock());
    if (GStoreRegistry* r = gStoreRegistry()) lastOfName = r->find(fileName_) == r->entries.end();
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
  } else if (!gInStoreFolder(fileName_)) {
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
  RWGuard guard(gStoreLock());
  if (state_ == attached) return;
  state_ = attached;
  GCountedRef previous = imp_;  // let go of only after the registry is settled
  GStoreRegistry* registry = gStoreRegistry();
  if (!registry) {
    if (imp_.isNil()) imp_ = GCountedRef(new MPersistentCompositeOnDiskImp(fileName_, id()));
    return;
  }
  GStoreRegistry& r = *registry;
  auto it = r.find(fileName_);
  if (it != r.entries.end()) {
    imp_ = it->store;
    r.entries.insert(std::next(it), GStoreRegistryEntry{fileName_, imp_});
    return;
  }
  // Entered before the file is opened: a handle of the same name restored
  // while the index is read then shares this store instead of opening the
  // file a second time.
  MPersistentCompositeOnDiskImp* fresh = new MPersistentCompositeOnDiskImp;
  fresh->fileName_ = fileName_;
  fresh->setId(id());
  imp_ = GCountedRef(fresh);
  r.entries.push_back(GStoreRegistryEntry{fileName_, imp_});
  fresh->open();
}

void MPersistentCompositeOnDisk::detach() {
  RWGuard guard(gStoreLock());
  if (state_ == detached) return;
  state_ = detached;
  GStoreRegistry* registry = gStoreRegistry();
  if (!registry) return;
  GStoreRegistry& r = *registry;
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
