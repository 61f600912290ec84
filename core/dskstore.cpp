#include "core/dskstore.h"

#include <atomic>
#include <cstring>
#include <vector>

#include "core/dskfile.h"
#include "core/dskreg.h"
#include "core/pcompdsk.h"
#include "core/perclass.h"
#include "rw/disktree.h"
#include "rw/filemgr.h"
#include "rw/mutex.h"
#include "rw/rwfile.h"

using gstorefile::indexKey;
using gstorefile::keysAndOffsets;
using gstorefile::openTree;
using gstorefile::OwnGraphs;
using gstorefile::readIndexAt;
using gstorefile::storeShaped;

namespace {

// Both changed only under the store lock. Whether the last object stored
// at the top level opened a scan line (its start or a scan-line graphic):
// none until the first store.
bool lastStoredOpensScanLine = false;
std::atomic<uint32_t> topLevelLimit{0x3FFFFFEF};

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

}  // namespace

G_DEFINE_PERSISTENT(MPersistentCompositeOnDiskImp, MPersistentObject)

// ---- MPersistentCompositeOnDiskImp --------------------------------------------------

MPersistentCompositeOnDiskImp::MPersistentCompositeOnDiskImp() : failed_(0), damaged_(false), generation_(0) {}

MPersistentCompositeOnDiskImp::MPersistentCompositeOnDiskImp(const RWCString& fileName, const uint32_t& id)
    : MPersistentObject(id), fileName_(fileName), failed_(0), damaged_(false), generation_(0) {
  RWGuard guard(gStoreLock());
  open();
}

MPersistentCompositeOnDiskImp::MPersistentCompositeOnDiskImp(const MPersistentCompositeOnDiskImp& other)
    : MPersistentObject(other), failed_(0), damaged_(false), generation_(0) {}

MPersistentCompositeOnDiskImp::~MPersistentCompositeOnDiskImp() {
  RWGuard guard(gStoreLock());
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
  RWGuard guard(gStoreLock());
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
  RWGuard guard(gStoreLock());
  const_cast<GRecordComposite&>(records_).searchChildren(s);
}

void MPersistentCompositeOnDiskImp::storeChild(const GCountedRef& child) {
  if (child.isNil()) return;
  RWGuard guard(gStoreLock());
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
  RWGuard guard(gStoreLock());
  return records_.leafCount();
}

RWsize MPersistentCompositeOnDiskImp::totalEntries() const {
  RWGuard guard(gStoreLock());
  return records_.leafCount();
}
GChildIterator* MPersistentCompositeOnDiskImp::createIterator() { return new GOnDiskIterator(this); }

GCountedRef MPersistentCompositeOnDiskImp::fetchAt(GRecordLink* link) {
  RWGuard guard(gStoreLock());
  return link ? fetch(*link->record) : GCountedRef();
}

GCountedRef MPersistentCompositeOnDiskImp::takeAt(GRecordLink* link) {
  RWGuard guard(gStoreLock());
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
  RWGuard guard(gStoreLock());
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
  RWGuard guard(gStoreLock());
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
  RWGuard guard(gStoreLock());
  resync();
  int more = position_.advance();
  currentRecord_ = position_.current();
  return more;
}

int GOnDiskIterator::retreat() {
  RWGuard guard(gStoreLock());
  resync();
  int more = position_.retreat();
  currentRecord_ = position_.current();
  return more;
}

void GOnDiskIterator::reset() {
  RWGuard guard(gStoreLock());
  position_.reset();
  currentRecord_ = GRecordRef();
  generation_ = imp_->generation();
}

GCountedRef GOnDiskIterator::currentObject() {
  RWGuard guard(gStoreLock());
  resync();
  return imp_->fetchAt(position_.link());
}

GCountedRef GOnDiskIterator::removeCurrent() {
  RWGuard guard(gStoreLock());
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
  RWGuard guard(gStoreLock());
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
