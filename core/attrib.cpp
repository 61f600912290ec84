#include "core/attrib.h"

#include "core/childvec.h"
#include "core/perclass.h"

namespace {

constexpr RWsize newCapacity = 10;

}  // namespace

GPeripheralHandlers::~GPeripheralHandlers() = default;

// ---- GAttribute -------------------------------------------------------------------

G_DEFINE_PERSISTENT_LEVEL(GAttribute, MPersistentObject)
RW_DEFINE_RESTORE_OPERATORS(GAttribute)

GAttribute::GAttribute() : changed_(1) {}
GAttribute::GAttribute(const uint32_t& id) : MPersistentObject(id), changed_(1) {}
GAttribute::GAttribute(const GAttribute& other) : MPersistentObject(other), changed_(other.changed_) {}

GAttribute& GAttribute::operator=(const GAttribute& other) {
  if (this != &other) {
    MPersistentObject::operator=(other);
    changed_ = other.changed_;
  }
  return *this;
}

GAttribute::~GAttribute() = default;

RWClassID GAttribute::isA() const { return classIsA(); }

RWspace GAttribute::levelStoreSize() const { return 8; }

template <class Sink>
void GAttribute::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, gInt(changed_));
}

template <class Source>
void GAttribute::restoreLevel(Source& source) {
  if (gReadVersion(source, version())) gRead(source, gInt(changed_));
}

RWBoolean GAttribute::isKindOf(RWClassID id) const { return id == classIsA() || MPersistentObject::isKindOf(id); }

void GAttribute::merge(GAttribute* other) {
  if (!other || !differs(other)) return;
  setId(other->id());
  setSerialNumber(other->serialNumber());
  changed_ = other->changed_;
}

GAttribute* GAttribute::fromObject(MPersistentObject* object) {
  if (!object || !object->isKindOf(classIsA())) return nullptr;
  return dynamic_cast<GAttribute*>(object);
}

// ---- GAttributeComposite ----------------------------------------------------------

// A copy shares the children, as the copy constructor does.
G_DEFINE_PERSISTENT(GAttributeComposite, GAttribute)

GAttributeComposite::GAttributeComposite() : children_(newCapacity) {}

GAttributeComposite::GAttributeComposite(const uint32_t& id) : GAttribute(id), children_(newCapacity) {}

GAttributeComposite::GAttributeComposite(const GAttributeComposite& other)
    : GAttribute(other), children_(other.children_) {}

GAttributeComposite& GAttributeComposite::operator=(const GAttributeComposite& other) {
  if (this == &other) return *this;
  GAttribute::operator=(other);
  children_ = other.children_;
  return *this;
}

GAttributeComposite::~GAttributeComposite() = default;

RWspace GAttributeComposite::levelStoreSize() const { return 4 + gChildrenStoreSize(children_); }

template <class Sink>
void GAttributeComposite::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gSaveChildren(children_, sink);
}

template <class Source>
void GAttributeComposite::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  // Taken as stored, without the insert test: a nil entry or an object
  // that is not an attribute keeps its place, so the tree stores back as
  // it came, and the attribute walks pass over it.
  gRestoreChildren(children_, this, source);
}

RWBoolean GAttributeComposite::isKindOf(RWClassID id) const { return id == classIsA() || GAttribute::isKindOf(id); }

RWBoolean GAttributeComposite::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || other->id() != id()) return FALSE;
  const GAttributeComposite* o = dynamic_cast<const GAttributeComposite*>(other);
  return o && gSameChildren(children_, o->children_);
}

void GAttributeComposite::discard(MPersistentObject* object) { disposeUnshared(object); }

void GAttributeComposite::insert(MPersistentObject* object) {
  if (!object) return;
  if (!GAttribute::fromObject(object)) {
    discard(object);
    return;
  }
  children_.append(GCountedPtr(object));
}

MPersistentObject* GAttributeComposite::remove(const MPersistentObject* member) {
  if (!member) return nullptr;
  return gRemoveDepthFirst(
      children_, [&](MPersistentObject* c) { return c == member; },
      [&](MPersistentObject* c) { return c->remove(member); });
}

MPersistentObject* GAttributeComposite::removeById(const uint32_t& id) {
  return gRemoveDepthFirst(
      children_, [&](MPersistentObject* c) { return c->id() == id; },
      [&](MPersistentObject* c) { return c->removeById(id); });
}

MPersistentObject* GAttributeComposite::removeByClassId(const RWClassID& classId) {
  return gRemoveDepthFirst(
      children_, [&](MPersistentObject* c) { return c->isA() == classId; },
      [&](MPersistentObject* c) { return c->removeByClassId(classId); });
}

void GAttributeComposite::replaceChild(RWsize position, MPersistentObject* object) {
  if (GCountedPtr* entry = children_.at(position)) *entry = object;
}

template <class Fits, class Below>
int GAttributeComposite::replaceDepthFirst(const MPersistentObject* replacement, Fits fits, Below below) {
  // Through replaceChild, so that a subclass that points at a child follows
  // its replacement.
  return gReplaceDepthFirst(children_, replacement, fits, below,
                            [&](RWsize position, MPersistentObject* fresh) { replaceChild(position, fresh); });
}

int GAttributeComposite::replaceDeepById(const uint32_t& id, const MPersistentObject* replacement) {
  return replaceDepthFirst(
      replacement, [&](MPersistentObject* c) { return c->id() == id; },
      [&](MPersistentObject* c) { return c->replaceDeepById(id, replacement); });
}

int GAttributeComposite::replaceDeepByClassId(const RWClassID& classId, const MPersistentObject* replacement) {
  return replaceDepthFirst(
      replacement, [&](MPersistentObject* c) { return c->isA() == classId; },
      [&](MPersistentObject* c) { return c->replaceDeepByClassId(classId, replacement); });
}

int GAttributeComposite::replaceDeep(const MPersistentObject* member, const MPersistentObject* replacement) {
  return replaceDepthFirst(
      replacement, [&](MPersistentObject* c) { return c == member; },
      [&](MPersistentObject* c) { return c->replaceDeep(member, replacement); });
}

int GAttributeComposite::replaceDeepByKind(const RWClassID& kind, const MPersistentObject* replacement) {
  return replaceDepthFirst(
      replacement, [&](MPersistentObject* c) { return c->isKindOf(kind); },
      [&](MPersistentObject* c) { return c->replaceDeepByKind(kind, replacement); });
}

void GAttributeComposite::clear() { children_.clear(gClearedChildCapacity); }

MPersistentObject* GAttributeComposite::findById(const uint32_t& id) const {
  return gFindDepthFirst(
      children_, [&](const MPersistentObject* c) { return c->id() == id; },
      [&](const MPersistentObject* c) { return c->findById(id); });
}

MPersistentObject* GAttributeComposite::findByClassId(const RWClassID& classId) const {
  return gFindDepthFirst(
      children_, [&](const MPersistentObject* c) { return c->isA() == classId; },
      [&](const MPersistentObject* c) { return c->findByClassId(classId); });
}

MPersistentObject* GAttributeComposite::find(const MPersistentObject* object) const {
  return gFindDepthFirst(
      children_, [&](const MPersistentObject* c) { return c == object; },
      [&](const MPersistentObject* c) { return c->find(object); });
}

MPersistentObject* GAttributeComposite::findByKind(const RWClassID& kind) const {
  return gFindDepthFirst(
      children_, [&](const MPersistentObject* c) { return c->isKindOf(kind); },
      [&](const MPersistentObject* c) { return c->findByKind(kind); });
}

MPersistentComposite* GAttributeComposite::collectByClassId(const RWClassID& classId,
                                                            MPersistentComposite* list) const {
  gEachChild(children_, [&](const MPersistentObject* c) { c->collectByClassId(classId, list); });
  return list;
}

MPersistentComposite* GAttributeComposite::collectById(const uint32_t& id, MPersistentComposite* list) const {
  gEachChild(children_, [&](const MPersistentObject* c) { c->collectById(id, list); });
  return list;
}

MPersistentComposite* GAttributeComposite::collectByKind(const RWClassID& kind, MPersistentComposite* list) const {
  gEachChild(children_, [&](const MPersistentObject* c) { c->collectByKind(kind, list); });
  return list;
}

MPersistentComposite* GAttributeComposite::selectById(const uint32_t& id) const {
  return gKeepIfFilled(collectById(id, new MPersistentComposite));
}

MPersistentComposite* GAttributeComposite::selectByClassId(const RWClassID& classId) const {
  return gKeepIfFilled(collectByClassId(classId, new MPersistentComposite));
}

MPersistentComposite* GAttributeComposite::selectByKind(const RWClassID& kind) const {
  return gKeepIfFilled(collectByKind(kind, new MPersistentComposite));
}

GAttributeComposite* GAttributeComposite::selectAttributes(MPersistentComposite* list) const {
  GAttributeComposite* result = nullptr;
  for (RWsize i = 0; i < list->entries(); ++i) {
    // Shared, as the list shares them; what is not an attribute stays out.
    MPersistentObject* found = list->children().pointee(i);
    if (!GAttribute::fromObject(found)) continue;
    if (!result) result = new GAttributeComposite;
    result->children_.append(GCountedPtr(found));
  }
  delete list;
  return result;
}

GAttributeComposite* GAttributeComposite::selectAttributesById(const uint32_t& id) const {
  return selectAttributes(collectById(id, new MPersistentComposite));
}

GAttributeComposite* GAttributeComposite::selectAttributesByClassId(const RWClassID& classId) const {
  return selectAttributes(collectByClassId(classId, new MPersistentComposite));
}

GAttributeComposite* GAttributeComposite::selectAttributesByKind(const RWClassID& kind) const {
  return selectAttributes(collectByKind(kind, new MPersistentComposite));
}

RWBoolean GAttributeComposite::isComposite() const { return TRUE; }
RWsize GAttributeComposite::entries() const { return children_.entries(); }

RWsize GAttributeComposite::totalEntries() const { return gTotalEntries(children_); }

GChildIterator* GAttributeComposite::createIterator() { return new GCompositeIterator(this); }

void GAttributeComposite::merge(GAttribute* other) {
  if (!other) return;
  if (!sameKindAndId(this, other)) {
    insert(other->copy());
    return;
  }
  GAttributeComposite* from = dynamic_cast<GAttributeComposite*>(other);
  if (!from) return;
  // The count is taken first: merging a composite into itself appends a
  // copy of each child once.
  const RWsize n = from->children_.entries();
  for (RWsize i = 0; i < n; ++i) {
    if (GAttribute* child = GAttribute::fromObject(from->children_.pointee(i))) insert(child->copy());
  }
}

GStatus GAttributeComposite::accept(GPeripheralHandlers& visitor) {
  GStatus status = 0;
  const RWsize n = children_.entries();
  for (RWsize i = 0; i < n; ++i) {
    MPersistentObject* child = children_.pointee(i);
    GAttribute* attribute = GAttribute::fromObject(child);
    if (!attribute || !attribute->isChanged()) continue;
    // Held for the length of its visit, in case the stage takes it out.
    GCountedPtr hold(child);
    GStatus answer = attribute->accept(visitor);
    if (answer != 0) status = answer;
  }
  resetChanged();
  return status;
}

void GAttributeComposite::markChanged() {
  for (RWsize i = 0; i < children_.entries(); ++i) {
    if (GAttribute* child = GAttribute::fromObject(children_.pointee(i))) child->setChanged();
  }
  setChanged();
}

void GAttributeComposite::clearChanged() {
  for (RWsize i = 0; i < children_.entries(); ++i) {
    if (GAttribute* child = GAttribute::fromObject(children_.pointee(i))) child->resetChanged();
  }
  resetChanged();
}

void GAttributeComposite::apply(MApplyFunction f, void* data) { gApplyToChildren(children_, f, data); }

MPersistentObject* GAttributeComposite::detect(MDetectFunction f, void* data) const {
  return gDetectChild(const_cast<GCountedPtrVector&>(children_), f, data);
}

// ---- iterators --------------------------------------------------------------------

GAttributeIterator::~GAttributeIterator() = default;
GNullAttributeIterator::~GNullAttributeIterator() = default;

GCompositeIterator::GCompositeIterator(GAttributeComposite* composite)
    : GAttributeIterator(composite), composite_(composite), position_(-1) {}

GCompositeIterator::~GCompositeIterator() = default;

const GCountedPtrVector& GCompositeIterator::children() const {
  return composite_ ? composite_->children_ : gNoChildren();
}

int GCompositeIterator::advance() {
  position_ = gNextChild(children(), position_);
  return position_ >= 0 ? 1 : 0;
}

MPersistentObject* GCompositeIterator::current() {
  if (!gCheckChildPosition(children(), position_)) return nullptr;
  return children().pointee(static_cast<RWsize>(position_));
}

void GCompositeIterator::replaceCurrent(MPersistentObject* object) {
  // In place, through the composite, so that a class that points at one of
  // its children follows it.
  if (!gCheckChildPosition(children(), position_)) return;
  composite_->replaceChild(static_cast<RWsize>(position_), object);
}

void GCompositeIterator::reset() { position_ = -1; }
