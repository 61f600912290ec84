#include "core/recindex.h"

#include <cstring>

#include "core/dskstore.h"
#include "core/pcompdsk.h"
#include "core/perclass.h"
#include "rw/rwerr.h"
#include "core/perobj.h"

namespace {

constexpr int32_t noReference = -1;

void addReference(GRecord* r) {
  if (r) r->referenceCount().addReference();
}

void releaseReference(GRecord* r) {
  if (r && r->referenceCount().removeReference() == 0) delete r;
}

const RWCollectable* storedForm(const RWCollectable* p) { return p ? p : rwNilCollectable(); }

}  // namespace

G_DEFINE_PERSISTENT(GRecord, RWCollectable)
G_DEFINE_PERSISTENT(GRecordProxy, GRecord)
G_DEFINE_PERSISTENT(GRecordComposite, GRecord)

// ---- GRecordRef -------------------------------------------------------------------

GRecordRef::GRecordRef(GRecord* record) : record_(record) { addReference(record); }

GRecordRef::GRecordRef(const GRecordRef& other) : record_(other.record_) { addReference(record_); }

GRecordRef& GRecordRef::operator=(const GRecordRef& other) {
  if (other.record_ == record_) return *this;
  addReference(other.record_);
  GRecord* old = record_;
  record_ = other.record_;
  releaseReference(old);
  return *this;
}

GRecordRef& GRecordRef::operator=(GRecordRef&& other) noexcept {
  if (this == &other) return *this;
  GRecord* old = record_;
  record_ = other.record_;
  other.record_ = nullptr;
  // Released last: the old record may be what keeps the other alive.
  releaseReference(old);
  return *this;
}

GRecordRef::~GRecordRef() {
  GRecord* old = record_;
  record_ = nullptr;
  releaseReference(old);
}

// ---- GRecord ----------------------------------------------------------------------

GRecord::GRecord() : refs_(noReference), classId_(0), serial_(0), id_(0) {}

GRecord::GRecord(const MPersistentObject& object)
    : refs_(noReference), classId_(object.isA()), serial_(object.serialNumber()), id_(object.id()) {}

GRecord::GRecord(const GRecord& other)
    : RWCollectable(other), refs_(noReference), classId_(other.classId_), serial_(other.serial_), id_(other.id_) {}

GRecord::~GRecord() = default;

RWspace GRecord::levelStoreSize() const { return 14; }

template <class Sink>
void GRecord::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, static_cast<uint16_t>(classId_));
  gWrite(sink, serial_);
  gWrite(sink, id_);
}

template <class Source>
void GRecord::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  uint16_t classId = 0;
  uint32_t serial = 0;
  uint32_t id = 0;
  if (!gRead(source, classId) || !gRead(source, serial) || !gRead(source, id)) return;
  classId_ = classId;
  serial_ = serial;
  id_ = id;
}

void GRecord::formatKey(uint32_t serial, char (&out)[keyLength + 1]) {
  std::memset(out, 0, sizeof out);
  static const char digits[] = "0123456789abcdef";
  char reversed[8];
  int n = 0;
  do {
    reversed[n++] = digits[serial & 0xF];
    serial >>= 4;
  } while (serial != 0);
  for (int i = 0; i < n; ++i) out[i] = reversed[n - 1 - i];
}

GRecordComposite* GRecord::children() { return nullptr; }
void GRecord::addChild(const GRecordRef&) {}
RWsize GRecord::leafCount() const { return 1; }

bool GRecord::fits(const GRecordSearch& s) const {
  switch (s.key) {
    case GRecordSearch::byClass:
      return classId_ == s.classId;
    case GRecordSearch::byId:
      return id_ == s.id;
    case GRecordSearch::byObject:
      return serial_ == s.serial;
  }
  return false;
}

void GRecord::applyToSelf(GRecordSearch& s) {
  s.stop = true;
  switch (s.action) {
    case GRecordSearch::take:
      s.found = s.store.take(*this, &s.keyWasThere);
      break;
    case GRecordSearch::read:
      s.found = s.store.fetch(*this);
      break;
    case GRecordSearch::replace:
      s.keyWasThere = s.store.replace(*this, s.replacement, s.newRecord);
      s.replaced = s.keyWasThere && !s.newRecord.isNil() ? 1 : 0;
      break;
  }
}

void GRecord::search(GRecordSearch& s) {
  if (fits(s)) applyToSelf(s);
}

namespace {

GRecordSearch byClass(GRecordSearch::Action a, const RWClassID& classId, MPersistentCompositeOnDiskImp& store) {
  GRecordSearch s(GRecordSearch::byClass, a, store);
  s.classId = classId;
  return s;
}

GRecordSearch byId(GRecordSearch::Action a, const uint32_t& id, MPersistentCompositeOnDiskImp& store) {
  GRecordSearch s(GRecordSearch::byId, a, store);
  s.id = id;
  return s;
}

GRecordSearch byObject(GRecordSearch::Action a, const MPersistentObject* object,
                       MPersistentCompositeOnDiskImp& store) {
  GRecordSearch s(GRecordSearch::byObject, a, store);
  s.object = object;
  s.serial = object ? object->serialNumber() : 0;
  return s;
}

template <class Make>
GCountedRef found(GRecord& r, Make make) {
  GRecordSearch s = make();
  r.search(s);
  return s.found;
}

template <class Make>
int replaced(GRecord& r, MPersistentObject* replacement, Make make) {
  if (!replacement) return 0;
  GRecordSearch s = make();
  s.replacement = replacement;
  r.search(s);
  return s.replaced;
}

}  // namespace

GCountedRef GRecord::takeByClass(const RWClassID& classId, MPersistentCompositeOnDiskImp& store) {
  return found(*this, [&] { return byClass(GRecordSearch::take, classId, store); });
}

GCountedRef GRecord::takeById(const uint32_t& id, MPersistentCompositeOnDiskImp& store) {
  return found(*this, [&] { return byId(GRecordSearch::take, id, store); });
}

GCountedRef GRecord::takeByObject(const MPersistentObject* object, MPersistentCompositeOnDiskImp& store) {
  if (!object) return GCountedRef::nil();
  return found(*this, [&] { return byObject(GRecordSearch::take, object, store); });
}

int GRecord::replaceByClass(const RWClassID& classId, MPersistentObject* replacement,
                            MPersistentCompositeOnDiskImp& store) {
  return replaced(*this, replacement, [&] { return byClass(GRecordSearch::replace, classId, store); });
}

int GRecord::replaceById(const uint32_t& id, MPersistentObject* replacement, MPersistentCompositeOnDiskImp& store) {
  return replaced(*this, replacement, [&] { return byId(GRecordSearch::replace, id, store); });
}

int GRecord::replaceByObject(const MPersistentObject* object, MPersistentObject* replacement,
                             MPersistentCompositeOnDiskImp& store) {
  if (!object) return 0;
  return replaced(*this, replacement, [&] { return byObject(GRecordSearch::replace, object, store); });
}

GCountedRef GRecord::readByClass(const RWClassID& classId, MPersistentCompositeOnDiskImp& store) {
  return found(*this, [&] { return byClass(GRecordSearch::read, classId, store); });
}

GCountedRef GRecord::readById(const uint32_t& id, MPersistentCompositeOnDiskImp& store) {
  return found(*this, [&] { return byId(GRecordSearch::read, id, store); });
}

GCountedRef GRecord::readByObject(const MPersistentObject* object, MPersistentCompositeOnDiskImp& store) {
  if (!object) return GCountedRef::nil();
  return found(*this, [&] { return byObject(GRecordSearch::read, object, store); });
}

// ---- GRecordProxy -----------------------------------------------------------------

namespace {

// The stores whose index is being searched on this thread. A nested store
// that is one of them (a store kept inside itself, or two stores inside
// each other) is not searched again: the search would never end.
struct SearchChain {
  const MPersistentCompositeOnDiskImp* store;
  const SearchChain* outer;
};
thread_local const SearchChain* searching = nullptr;

bool underSearch(const MPersistentCompositeOnDiskImp* store) {
  for (const SearchChain* c = searching; c; c = c->outer) {
    if (c->store == store) return true;
  }
  return false;
}

}  // namespace

GRecordProxy::GRecordProxy() = default;

GRecordProxy::GRecordProxy(const MPersistentCompositeOnDisk& child) : GRecord(child), nested_(child.copy()) {}

GRecordProxy::GRecordProxy(const GRecordProxy& other)
    : GRecord(other), nested_(other.nested_ ? other.nested_->copy() : nullptr) {}

GRecordProxy::~GRecordProxy() = default;

RWspace GRecordProxy::levelStoreSize() const { return 4 + storedForm(nested_.get())->recursiveStoreSize(); }

template <class Sink>
void GRecordProxy::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  sink << static_cast<const RWCollectable*>(nested_.get());
}

template <class Source>
void GRecordProxy::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  nested_.reset();
  // The proxy owns its handle: only one made by this read will do, and no
  // later reference reaches it. A reference to a handle owned elsewhere in
  // the index is refused and the proxy holds none.
  Restored r = restoreForOwner(source);
  if (r.failed) return;
  MPersistentCompositeOnDisk* handle = dynamic_cast<MPersistentCompositeOnDisk*>(r.object);
  if (handle) {
    nested_.reset(handle);
  } else if (r.object) {
    discardRestored(r.object);
  }
}

void GRecordProxy::search(GRecordSearch& s) {
  if (fits(s)) {
    applyToSelf(s);
    return;
  }
  if (!nested_) return;
  MPersistentCompositeOnDiskImp* inner = nested_->store();
  if (!inner || underSearch(inner)) return;
  switch (s.action) {
    case GRecordSearch::take:
      switch (s.key) {
        case GRecordSearch::byClass: s.found = nested_->takeByClassId(s.classId); break;
        case GRecordSearch::byId: s.found = nested_->takeById(s.id); break;
        case GRecordSearch::byObject: s.found = nested_->takeByObject(s.object); break;
      }
      s.stop = !s.found.isNil();
      break;
    case GRecordSearch::read:
      switch (s.key) {
        case GRecordSearch::byClass: s.found = nested_->findCountedByClassId(s.classId); break;
        case GRecordSearch::byId: s.found = nested_->findCountedById(s.id); break;
        case GRecordSearch::byObject: s.found = nested_->findCounted(s.object); break;
      }
      s.stop = !s.found.isNil();
      break;
    case GRecordSearch::replace:
      switch (s.key) {
        case GRecordSearch::byClass: s.replaced = nested_->replaceByClassId(s.classId, s.replacement); break;
        case GRecordSearch::byId: s.replaced = nested_->replaceById(s.id, s.replacement); break;
        // Replacing by object goes on below a proxy as its sister
        // operations do, so that an object that a search by object finds
        // can also be replaced there.
        case GRecordSearch::byObject: s.replaced = nested_->replaceByObject(s.object, s.replacement); break;
      }
      s.stop = s.replaced != 0;
      break;
  }
}

// ---- GRecordComposite -------------------------------------------------------------

GRecordComposite::GRecordComposite() = default;

GRecordComposite::GRecordComposite(const MPersistentObject& object) : GRecord(object) {}

GRecordComposite::GRecordComposite(const GRecordComposite& other) : GRecord(other) {
  for (RWIsvDlink* l = other.list_.first(); l && !other.list_.isSentinel(l); l = l->next()) {
    list_.append(new GRecordLink(static_cast<GRecordLink*>(l)->record));
  }
}

GRecordComposite::~GRecordComposite() { clearChildren(); }

RWspace GRecordComposite::levelStoreSize() const {
  RWspace size = 8;
  for (RWIsvDlink* l = list_.first(); l && !list_.isSentinel(l); l = l->next()) {
    size += storedForm(static_cast<GRecordLink*>(l)->record.get())->recursiveStoreSize();
  }
  return size;
}

template <class Sink>
void GRecordComposite::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  const int32_t count = static_cast<int32_t>(list_.entries());
  gWrite(sink, gInt(count));
  for (RWIsvDlink* l = list_.first(); l && !list_.isSentinel(l); l = l->next()) {
    sink << storedForm(static_cast<GRecordLink*>(l)->record.get());
  }
}

template <class Source>
void GRecordComposite::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  clearChildren();
  uint32_t word = 0;
  if (!gRead(source, gInt(word))) return;
  // The count is not trusted: a negative one means no children, and
  // reading ends at the first record that cannot be read.
  const int32_t count = static_cast<int32_t>(word);
  restoring_ = true;
  for (int32_t i = 0; i < count && gReadable(source); ++i) {
    Restored r = restoreObject(source, nullptr);
    if (r.failed) break;
    if (!gReadable(source)) {
      // Cut short inside the record: what it holds is not all there.
      if (r.object && r.fresh) discardRestored(r.object);
      break;
    }
    GRecord* child = dynamic_cast<GRecord*>(r.object);
    if (!child) {
      if (r.object && r.fresh) discardRestored(r.object);
      continue;
    }
    // A reference back to a record still being read (this one or one
    // around it) would make the index a cycle: only a damaged file holds
    // one, and it is refused as a bad reference.
    GRecordComposite* c = child->children();
    if (!r.fresh && c && c->restoring_) {
      rwReport<RWInternalErr>(RWTOOL_REF());
      continue;
    }
    list_.append(new GRecordLink(GRecordRef(child)));
  }
  restoring_ = false;
}

void GRecordComposite::addChild(const GRecordRef& record) {
  if (!record.isNil()) list_.append(new GRecordLink(record));
}

RWsize GRecordComposite::leafCount() const {
  RWsize total = 0;
  forEachRecord([&](const GRecord& r) { total += r.leafCount(); });
  return total;
}

void GRecordComposite::drop(GRecordLink* link) {
  list_.removeReference(link);
  delete link;
}

void GRecordComposite::clearChildren() {
  while (RWIsvDlink* l = list_.removeFirst()) delete static_cast<GRecordLink*>(l);
}

void GRecordComposite::takeChildrenFrom(GRecordComposite& other) {
  while (RWIsvDlink* l = other.list_.removeFirst()) list_.append(l);
}

void GRecordComposite::search(GRecordSearch& s) {
  if (fits(s)) {
    applyToSelf(s);
    return;
  }
  searchChildren(s);
}

void GRecordComposite::searchChildren(GRecordSearch& s) {
  SearchChain link{&s.store, searching};
  const SearchChain* outer = searching;
  searching = &link;
  for (RWIsvDlink* l = list_.first(); l && !list_.isSentinel(l);) {
    GRecordLink* child = static_cast<GRecordLink*>(l);
    RWIsvDlink* next = l->next();
    GRecordRef held(child->record);  // the link may go while it is worked on
    if (held->fits(s)) {
      held->applyToSelf(s);
      if (s.action == GRecordSearch::take && s.keyWasThere) {
        drop(child);
        s.store.linkRemoved();
      } else if (s.action == GRecordSearch::replace && s.keyWasThere) {
        // The replacement takes the replaced record's place; when it could
        // not be stored the old object is gone all the same.
        if (!s.newRecord.isNil()) {
          child->record = s.newRecord;
        } else {
          drop(child);
          s.store.linkRemoved();
        }
      }
      break;
    }
    held->search(s);
    if (s.stop) break;
    l = next;
  }
  searching = outer;
}

// ---- GRecordIterator --------------------------------------------------------------

int GRecordIterator::advance() {
  if (link_ == list_->tailLink()) link_ = list_->headLink();
  link_ = link_->next();
  return link_ != list_->tailLink();
}

int GRecordIterator::retreat() {
  if (link_ == list_->headLink()) return 0;
  link_ = link_->prev();
  return link_ != list_->headLink();
}

GRecordLink* GRecordIterator::link() const {
  return list_->isSentinel(link_) ? nullptr : static_cast<GRecordLink*>(link_);
}

GRecordRef GRecordIterator::current() const {
  GRecordLink* l = link();
  return l ? l->record : GRecordRef();
}
