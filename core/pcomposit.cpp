#include "core/pcomposit.h"

#include "core/childvec.h"
#include "core/perclass.h"
#include "rw/bufhelp.h"
#include "rw/rwerr.h"

namespace {

constexpr RWsize newCapacity = 10;
constexpr RWsize growth = 64;

}  // namespace

// A copy shares the children, as the copy constructor does.
G_DEFINE_PERSISTENT(MPersistentComposite, MPersistentObject)

// ---- GCountedPtrVector ------------------------------------------------------------

GCountedPtrVector::GCountedPtrVector(RWsize capacity)
    : capacity_(capacity), entries_(rwAllocated(new GCountedPtr[capacity])), count_(0) {}

GCountedPtrVector::GCountedPtrVector(const GCountedPtrVector& other)
    : capacity_(other.capacity_), entries_(rwAllocated(new GCountedPtr[other.capacity_])), count_(other.count_) {
  for (RWsize i = 0; i < count_; ++i) entries_[i] = other.entries_[i];
}

GCountedPtrVector& GCountedPtrVector::operator=(const GCountedPtrVector& other) {
  if (this == &other) return *this;
  GCountedPtr* shared = rwAllocated(new GCountedPtr[other.capacity_]);
  for (RWsize i = 0; i < other.count_; ++i) shared[i] = other.entries_[i];
  GCountedPtr* old = entries_;
  entries_ = shared;
  capacity_ = other.capacity_;
  count_ = other.count_;
  delete[] old;
  return *this;
}

GCountedPtrVector::~GCountedPtrVector() { delete[] entries_; }

int32_t GCountedPtrVector::index(const MPersistentObject* object) const {
  for (RWsize i = 0; i < count_; ++i) {
    if (entries_[i].get() == object) return static_cast<int32_t>(i);
  }
  return -1;
}

void GCountedPtrVector::makeRoomForOne() {
  if (count_ >= capacity_) reshape(count_ + growth);
}

void GCountedPtrVector::append(const GCountedPtr& entry) {
  GCountedPtr held(entry);  // entry may live in this very array
  makeRoomForOne();
  entries_[count_++].swap(held);
}

RWsize GCountedPtrVector::occurrencesOf(const MPersistentObject* object) const {
  RWsize n = 0;
  for (RWsize i = 0; i < count_; ++i) {
    if (entries_[i].get() == object) ++n;
  }
  return n;
}

int GCountedPtrVector::remove(const MPersistentObject* object) {
  int32_t i = index(object);
  if (i < 0) return 0;
  removeAt(static_cast<RWsize>(i));
  return 1;
}

RWsize GCountedPtrVector::removeAll(const MPersistentObject* object) {
  RWsize removed = 0;
  for (int32_t i = index(object); i >= 0; i = index(object)) {
    removeAt(static_cast<RWsize>(i));
    ++removed;
  }
  return removed;
}

void GCountedPtrVector::reshape(RWsize n) {
  GCountedPtr* fresh = rwAllocated(new GCountedPtr[n]);
  RWsize kept = count_ < n ? count_ : n;
  for (RWsize i = 0; i < kept; ++i) fresh[i].swap(entries_[i]);
  GCountedPtr* old = entries_;
  entries_ = fresh;
  capacity_ = n;
  count_ = kept;
  delete[] old;  // releases whatever did not fit
}

void GCountedPtrVector::insertAt(RWsize position, const GCountedPtr& entry) {
  if (position > count_) {
    rwReportIndex(position, count_);
    return;
  }
  GCountedPtr held(entry);
  makeRoomForOne();
  entries_[count_].swap(held);
  for (RWsize j = count_; j > position; --j) entries_[j].swap(entries_[j - 1]);
  ++count_;
}

GCountedPtr GCountedPtrVector::removeAt(RWsize position) {
  GCountedPtr removed;
  if (position >= count_) {
    rwReportIndex(position, count_);
    return removed;
  }
  removed.swap(entries_[position]);
  for (RWsize j = position; j + 1 < count_; ++j) entries_[j].swap(entries_[j + 1]);
  --count_;
  return removed;
}

void GCountedPtrVector::clear(RWsize capacity) {
  GCountedPtr* old = entries_;
  entries_ = rwAllocated(new GCountedPtr[capacity]);
  capacity_ = capacity;
  count_ = 0;
  delete[] old;
}

GCountedPtr* GCountedPtrVector::at(RWsize position) {
  if (position >= count_) {
    rwReportIndex(position, count_);
    return nullptr;
  }
  return &entries_[position];
}

const GCountedPtr* GCountedPtrVector::at(RWsize position) const {
  return const_cast<GCountedPtrVector*>(this)->at(position);
}

// ---- MPersistentComposite ---------------------------------------------------------

MPersistentComposite::MPersistentComposite() : children_(newCapacity) {}

MPersistentComposite::MPersistentComposite(const uint32_t& id) : MPersistentObject(id), children_(newCapacity) {}

MPersistentComposite::MPersistentComposite(const MPersistentComposite& other)
    : MPersistentObject(other), children_(other.children_) {}

MPersistentComposite& MPersistentComposite::operator=(const MPersistentComposite& other) {
  if (this == &other || !differs(&other)) return *this;
  MPersistentObject::operator=(other);
  children_ = other.children_;
  return *this;
}

MPersistentComposite::~MPersistentComposite() = default;

RWspace MPersistentComposite::levelStoreSize() const { return 4 + gChildrenStoreSize(children_); }

template <class Sink>
void MPersistentComposite::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gSaveChildren(children_, sink);
}

template <class Source>
void MPersistentComposite::restoreLevel(Source& source) {
  if (gReadVersion(source, version())) gRestoreChildren(children_, this, source);
}

RWBoolean MPersistentComposite::isKindOf(RWClassID id) const {
  return id == classIsA() || MPersistentObject::isKindOf(id);
}

RWBoolean MPersistentComposite::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || other->id() != id()) return FALSE;
  const MPersistentComposite* o = dynamic_cast<const MPersistentComposite*>(other);
  return o && gSameChildren(children_, o->children_);
}

void MPersistentComposite::insert(MPersistentObject* object) {
  if (object) children_.append(GCountedPtr(object));
}

void MPersistentComposite::prepend(MPersistentObject* object) {
  if (object) children_.insertAt(0, GCountedPtr(object));
}

MPersistentObject* MPersistentComposite::remove(const MPersistentObject* member) {
  if (!member) return nullptr;
  return gRemoveDepthFirst(
      children_, [&](MPersistentObject* c) { return c == member; },
      [&](MPersistentObject* c) { return c->remove(member); });
}

MPersistentObject* MPersistentComposite::removeById(const uint32_t& id) {
  return gRemoveDepthFirst(
      children_, [&](MPersistentObject* c) { return c->id() == id; },
      [&](MPersistentObject* c) { return c->removeById(id); });
}

MPersistentObject* MPersistentComposite::removeByClassId(const RWClassID& classId) {
  return gRemoveDepthFirst(
      children_, [&](MPersistentObject* c) { return c->isA() == classId; },
      [&](MPersistentObject* c) { return c->removeByClassId(classId); });
}

template <class Fits, class Below>
int MPersistentComposite::replaceDepthFirst(const MPersistentObject* replacement, Fits fits, Below below) {
  return gReplaceDepthFirst(children_, replacement, fits, below,
                            [&](RWsize position, MPersistentObject* fresh) { *children_.at(position) = fresh; });
}

int MPersistentComposite::replaceDeepById(const uint32_t& id, const MPersistentObject* replacement) {
  return replaceDepthFirst(
      replacement, [&](MPersistentObject* c) { return c->id() == id; },
      [&](MPersistentObject* c) { return c->replaceDeepById(id, replacement); });
}

int MPersistentComposite::replaceDeepByClassId(const RWClassID& classId, const MPersistentObject* replacement) {
  return replaceDepthFirst(
      replacement, [&](MPersistentObject* c) { return c->isA() == classId; },
      [&](MPersistentObject* c) { return c->replaceDeepByClassId(classId, replacement); });
}

int MPersistentComposite::replaceDeep(const MPersistentObject* member, const MPersistentObject* replacement) {
  return replaceDepthFirst(
      replacement, [&](MPersistentObject* c) { return c == member; },
      [&](MPersistentObject* c) { return c->replaceDeep(member, replacement); });
}

int MPersistentComposite::replaceDeepByKind(const RWClassID& kind, const MPersistentObject* replacement) {
  return replaceDepthFirst(
      replacement, [&](MPersistentObject* c) { return c->isKindOf(kind); },
      [&](MPersistentObject* c) { return c->replaceDeepByKind(kind, replacement); });
}

void MPersistentComposite::clear() { children_.clear(gClearedChildCapacity); }

MPersistentObject* MPersistentComposite::findById(const uint32_t& id) const {
  return gFindDepthFirst(
      children_, [&](const MPersistentObject* c) { return c->id() == id; },
      [&](const MPersistentObject* c) { return c->findById(id); });
}

MPersistentObject* MPersistentComposite::findByClassId(const RWClassID& classId) const {
  return gFindDepthFirst(
      children_, [&](const MPersistentObject* c) { return c->isA() == classId; },
      [&](const MPersistentObject* c) { return c->findByClassId(classId); });
}

MPersistentObject* MPersistentComposite::find(const MPersistentObject* object) const {
  return gFindDepthFirst(
      children_, [&](const MPersistentObject* c) { return c->matches(object); },
      [&](const MPersistentObject* c) { return c->find(object); });
}

MPersistentObject* MPersistentComposite::findByKind(const RWClassID& kind) const {
  return gFindDepthFirst(
      children_, [&](const MPersistentObject* c) { return c->isKindOf(kind); },
      [&](const MPersistentObject* c) { return c->findByKind(kind); });
}

MPersistentComposite* MPersistentComposite::collectByClassId(const RWClassID& classId,
                                                             MPersistentComposite* list) const {
  gEachChild(children_, [&](const MPersistentObject* c) { c->collectByClassId(classId, list); });
  return list;
}

MPersistentComposite* MPersistentComposite::collectById(const uint32_t& id, MPersistentComposite* list) const {
  gEachChild(children_, [&](const MPersistentObject* c) { c->collectById(id, list); });
  return list;
}

MPersistentComposite* MPersistentComposite::collectByKind(const RWClassID& kind, MPersistentComposite* list) const {
  gEachChild(children_, [&](const MPersistentObject* c) { c->collectByKind(kind, list); });
  return list;
}

MPersistentComposite* MPersistentComposite::selectById(const uint32_t& id) const {
  return gKeepIfFilled(collectById(id, new MPersistentComposite));
}

MPersistentComposite* MPersistentComposite::selectByClassId(const RWClassID& classId) const {
  return gKeepIfFilled(collectByClassId(classId, new MPersistentComposite));
}

MPersistentComposite* MPersistentComposite::selectByKind(const RWClassID& kind) const {
  return gKeepIfFilled(collectByKind(kind, new MPersistentComposite));
}

RWBoolean MPersistentComposite::isComposite() const { return TRUE; }
RWsize MPersistentComposite::entries() const { return children_.entries(); }
RWsize MPersistentComposite::totalEntries() const { return gTotalEntries(children_); }

GChildIterator* MPersistentComposite::createIterator() { return new MPersistentCompositeIterator(this); }

void MPersistentComposite::apply(MApplyFunction f, void* data) { gApplyToChildren(children_, f, data); }

MPersistentObject* MPersistentComposite::detect(MDetectFunction f, void* data) const {
  return gDetectChild(const_cast<GCountedPtrVector&>(children_), f, data);
}

// ---- MPersistentCompositeIterator -------------------------------------------------

MPersistentCompositeIterator::MPersistentCompositeIterator(MPersistentComposite* composite)
    : GChildIterator(composite), vector_(composite ? &composite->children() : &gNoChildren()), position_(-1) {}

MPersistentCompositeIterator::~MPersistentCompositeIterator() = default;

int MPersistentCompositeIterator::advance() {
  position_ = gNextChild(*vector_, position_);
  return position_ >= 0 ? 1 : 0;
}

MPersistentObject* MPersistentCompositeIterator::current() {
  if (!gCheckChildPosition(*vector_, position_)) return nullptr;
  return vector_->pointee(static_cast<RWsize>(position_));
}

void MPersistentCompositeIterator::replaceCurrent(MPersistentObject* object) {
  if (!gCheckChildPosition(*vector_, position_)) return;
  RWsize p = static_cast<RWsize>(position_);
  // Counted before the old entry goes, so an object reachable only
  // through the entry it replaces survives.
  GCountedPtr held(object);
  vector_->removeAt(p);
  if (vector_->entries() != 0)
    vector_->insertAt(p, held);
  else
    vector_->append(held);
}

void MPersistentCompositeIterator::reset() { position_ = -1; }
