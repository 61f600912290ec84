#include "core/attrib.h"

#include "core/fieldio.h"
#include "core/storeio.h"
#include "rw/factory.h"
#include "rw/rwerr.h"
#include "rw/rwstore.h"

namespace {

constexpr RWsize newCapacity = 10;
constexpr RWsize clearedCapacity = 64;

RWCollectable* createComposite() { return new GAttributeComposite; }

const RWFactoryRegistrar registerComposite(createComposite, GAttributeComposite::classIsA(), "GAttributeComposite");

const RWCollectable* storedForm(const MPersistentObject* p) {
  return p ? static_cast<const RWCollectable*>(p) : rwNilCollectable();
}

template <class Fits, class Below>
MPersistentObject* removeDepthFirst(GCountedPtrVector& v, Fits fits, Below below) {
  for (RWsize i = 0; i < v.entries(); ++i) {
    MPersistentObject* child = v.pointee(i);
    if (!child) continue;
    if (fits(child)) return v.removeAt(i).take();
    if (MPersistentObject* found = below(child)) return found;
  }
  return nullptr;
}

template <class Fits, class Below>
MPersistentObject* findDepthFirst(const GCountedPtrVector& v, Fits fits, Below below) {
  for (RWsize i = 0; i < v.entries(); ++i) {
    MPersistentObject* child = v.pointee(i);
    if (!child) continue;
    if (fits(child)) return child;
    if (MPersistentObject* found = below(child)) return found;
  }
  return nullptr;
}

}  // namespace

GPeripheralHandlers::~GPeripheralHandlers() = default;

// ---- GAttribute -------------------------------------------------------------------

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

RWspace GAttribute::binaryStoreSize() const { return MPersistentObject::binaryStoreSize() + 8; }

void GAttribute::saveGuts(RWvostream& s) const {
  MPersistentObject::saveGuts(s);
  s.putULong(version());
  s.put(changed_);
}

void GAttribute::saveGuts(RWFile& f) const {
  MPersistentObject::saveGuts(f);
  f.Write(static_cast<uint32_t>(version()));
  f.Write(changed_);
}

template <class Source>
void GAttribute::restoreLevel(Source& source) {
  MPersistentObject::restoreGuts(source);
  uint32_t stored = 0;
  if (!gReadULong(source, stored) || stored != version()) return;
  gReadInt(source, changed_);
}

void GAttribute::restoreGuts(RWvistream& s) { restoreLevel(s); }
void GAttribute::restoreGuts(RWFile& f) { restoreLevel(f); }

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

RW_DEFINE_RESTORE_OPERATORS(GAttributeComposite)

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

GAttributeComposite* GAttributeComposite::newSpecies() const { return new GAttributeComposite; }
GAttributeComposite* GAttributeComposite::copy() const { return new GAttributeComposite(*this); }
RWClassID GAttributeComposite::isA() const { return classIsA(); }

RWspace GAttributeComposite::binaryStoreSize() const {
  // One store table for every child, as in a real store: a child met twice
  // counts as a reference the second time, and no child counts a header.
  RWUseStoreTable table;
  RWspace size = GAttribute::binaryStoreSize() + 8;
  for (RWsize i = 0; i < children_.entries(); ++i) size += storedForm(children_.pointee(i))->recursiveStoreSize();
  return size;
}

void GAttributeComposite::saveGuts(RWvostream& s) const {
  GAttribute::saveGuts(s);
  s.putULong(version());
  s.put(static_cast<uint32_t>(children_.entries()));
  for (RWsize i = 0; i < children_.entries(); ++i) s << storedForm(children_.pointee(i));
}

void GAttributeComposite::saveGuts(RWFile& f) const {
  GAttribute::saveGuts(f);
  f.Write(static_cast<uint32_t>(version()));
  f.Write(static_cast<uint32_t>(children_.entries()));
  for (RWsize i = 0; i < children_.entries(); ++i) f << storedForm(children_.pointee(i));
}

template <class Source>
void GAttributeComposite::restoreLevel(Source& source) {
  GAttribute::restoreGuts(source);
  uint32_t stored = 0;
  if (!gReadULong(source, stored) || stored != version()) return;
  children_.clear(clearedCapacity);
  uint32_t count = 0;
  if (!gReadUInt(source, count)) return;
  MRestoreScope scope(this);
  // The stored count is not trusted: reading ends at the first failure or
  // at the end of the data.
  for (uint32_t i = 0; i < count && gReadable(source); ++i) {
    Restored r = restoreObject(source, nullptr);
    if (r.failed) break;
    MPersistentObject* child = dynamic_cast<MPersistentObject*>(r.object);
    if (!child && r.object && r.fresh) discardRestored(r.object);
    if (child && !r.fresh && MRestoreScope::encloses(child)) child = nullptr;
    // Taken as stored, without the insert test: a nil entry or an object
    // that is not an attribute keeps its place, so the tree stores back as
    // it came, and the attribute walks pass over it.
    children_.append(GCountedPtr(child));
  }
}

void GAttributeComposite::restoreGuts(RWvistream& s) { restoreLevel(s); }
void GAttributeComposite::restoreGuts(RWFile& f) { restoreLevel(f); }

RWBoolean GAttributeComposite::isKindOf(RWClassID id) const { return id == classIsA() || GAttribute::isKindOf(id); }

RWBoolean GAttributeComposite::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || other->id() != id()) return FALSE;
  const GAttributeComposite* o = dynamic_cast<const GAttributeComposite*>(other);
  if (!o || o->children_.entries() != children_.entries()) return FALSE;
  for (RWsize i = 0; i < children_.entries(); ++i) {
    const MPersistentObject* mine = children_.pointee(i);
    const MPersistentObject* theirs = o->children_.pointee(i);
    if (mine == theirs) continue;
    if (!mine || !theirs || mine->differs(theirs)) return FALSE;
  }
  return TRUE;
}

void GAttributeComposite::discard(MPersistentObject* object) {
  if (object && object->references() == 0) delete object;
}

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
  return removeDepthFirst(
      children_, [&](MPersistentObject* c) { return c == member; },
      [&](MPersistentObject* c) { return c->remove(member); });
}

MPersistentObject* GAttributeComposite::removeById(const uint32_t& id) {
  return removeDepthFirst(
      children_, [&](MPersistentObject* c) { return c->id() == id; },
      [&](MPersistentObject* c) { return c->removeById(id); });
}

MPersistentObject* GAttributeComposite::removeByClassId(const RWClassID& classId) {
  return removeDepthFirst(
      children_, [&](MPersistentObject* c) { return c->isA() == classId; },
      [&](MPersistentObject* c) { return c->removeByClassId(classId); });
}

void GAttributeComposite::replaceChild(RWsize position, MPersistentObject* object) {
  if (GCountedPtr* entry = children_.at(position)) *entry = object;
}

template <class Fits, class Below>
int GAttributeComposite::replaceDepthFirst(const MPersistentObject* replacement, Fits fits, Below below) {
  if (!replacement) return 0;
  for (RWsize i = 0; i < children_.entries(); ++i) {
    MPersistentObject* child = children_.pointee(i);
    if (!child) continue;
    if (fits(child)) {
      // Copied before the old child goes, so that a replacement living
      // inside that child is still there to copy.
      MPersistentObject* fresh = replacement->deepCopy();
      if (fresh != child) replaceChild(i, fresh);
      return 1;
    }
    if (below(child)) return 1;
  }
  return 0;
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

void GAttributeComposite::clear() { children_.clear(clearedCapacity); }

MPersistentObject* GAttributeComposite::findById(const uint32_t& id) const {
  return findDepthFirst(
      children_, [&](const MPersistentObject* c) { return c->id() == id; },
      [&](const MPersistentObject* c) { return c->findById(id); });
}

MPersistentObject* GAttributeComposite::findByClassId(const RWClassID& classId) const {
  return findDepthFirst(
      children_, [&](const MPersistentObject* c) { return c->isA() == classId; },
      [&](const MPersistentObject* c) { return c->findByClassId(classId); });
}

MPersistentObject* GAttributeComposite::find(const MPersistentObject* object) const {
  return findDepthFirst(
      children_, [&](const MPersistentObject* c) { return c == object; },
      [&](const MPersistentObject* c) { return c->find(object); });
}

MPersistentObject* GAttributeComposite::findByKind(const RWClassID& kind) const {
  return findDepthFirst(
      children_, [&](const MPersistentObject* c) { return c->isKindOf(kind); },
      [&](const MPersistentObject* c) { return c->findByKind(kind); });
}

MPersistentComposite* GAttributeComposite::collectByClassId(const RWClassID& classId,
                                                            MPersistentComposite* list) const {
  for (RWsize i = 0; i < children_.entries(); ++i) {
    if (const MPersistentObject* child = children_.pointee(i)) child->collectByClassId(classId, list);
  }
  return list;
}

MPersistentComposite* GAttributeComposite::collectById(const uint32_t& id, MPersistentComposite* list) const {
  for (RWsize i = 0; i < children_.entries(); ++i) {
    if (const MPersistentObject* child = children_.pointee(i)) child->collectById(id, list);
  }
  return list;
}

MPersistentComposite* GAttributeComposite::collectByKind(const RWClassID& kind, MPersistentComposite* list) const {
  for (RWsize i = 0; i < children_.entries(); ++i) {
    if (const MPersistentObject* child = children_.pointee(i)) child->collectByKind(kind, list);
  }
  return list;
}

namespace {
MPersistentComposite* keepIfFilled(MPersistentComposite* result) {
  if (result->entries() != 0) return result;
  delete result;
  return nullptr;
}
}  // namespace

MPersistentComposite* GAttributeComposite::selectById(const uint32_t& id) const {
  return keepIfFilled(collectById(id, new MPersistentComposite));
}

MPersistentComposite* GAttributeComposite::selectByClassId(const RWClassID& classId) const {
  return keepIfFilled(collectByClassId(classId, new MPersistentComposite));
}

MPersistentComposite* GAttributeComposite::selectByKind(const RWClassID& kind) const {
  return keepIfFilled(collectByKind(kind, new MPersistentComposite));
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

RWsize GAttributeComposite::totalEntries() const {
  RWsize total = 1;
  for (RWsize i = 0; i < children_.entries(); ++i) {
    if (const MPersistentObject* child = children_.pointee(i)) total += child->totalEntries();
  }
  return total;
}

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

void GAttributeComposite::apply(MApplyFunction f, void* data) {
  // Counted afresh on every step: f may remove children as it goes.
  for (RWsize i = 0; i < children_.entries(); ++i) {
    if (children_.pointee(i)) f(children_.at(i), data);
  }
}

MPersistentObject* GAttributeComposite::detect(MDetectFunction f, void* data) const {
  GCountedPtrVector& v = const_cast<GCountedPtrVector&>(children_);
  for (RWsize i = 0; i < v.entries(); ++i) {
    if (v.pointee(i) && f(v.at(i), data)) return v.pointee(i);
  }
  return nullptr;
}

// ---- iterators --------------------------------------------------------------------

GAttributeIterator::~GAttributeIterator() = default;
GNullAttributeIterator::~GNullAttributeIterator() = default;

GCompositeIterator::GCompositeIterator(GAttributeComposite* composite)
    : GAttributeIterator(composite), composite_(composite), position_(-1) {}

GCompositeIterator::~GCompositeIterator() = default;

int GCompositeIterator::advance() {
  const RWsize n = composite_ ? composite_->children_.entries() : 0;
  RWsize p = static_cast<RWsize>(position_ + 1);
  while (p < n && !composite_->children_.pointee(p)) ++p;
  if (p < n) {
    position_ = static_cast<int32_t>(p);
    return 1;
  }
  position_ = -1;
  return 0;
}

MPersistentObject* GCompositeIterator::current() {
  const RWsize n = composite_ ? composite_->children_.entries() : 0;
  if (position_ < 0 || static_cast<RWsize>(position_) >= n) {
    rwReport<RWBoundsErr>(RWTOOL_INDEXERR(), {static_cast<uint32_t>(position_), n});
    return nullptr;
  }
  return composite_->children_.pointee(static_cast<RWsize>(position_));
}

void GCompositeIterator::replaceCurrent(MPersistentObject* object) {
  const RWsize n = composite_ ? composite_->children_.entries() : 0;
  if (position_ < 0 || static_cast<RWsize>(position_) >= n) {
    rwReport<RWBoundsErr>(RWTOOL_INDEXERR(), {static_cast<uint32_t>(position_), n});
    return;
  }
  composite_->replaceChild(static_cast<RWsize>(position_), object);
}

void GCompositeIterator::reset() { position_ = -1; }
