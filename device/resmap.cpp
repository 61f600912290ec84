#include "device/resmap.h"

#include "core/perclass.h"

G_DEFINE_PERSISTENT(GResourceMapping, MPersistentObject)
// A copy shares the mappings, as the copy constructor does.
G_DEFINE_PERSISTENT(GResourceMappingList, MPersistentComposite)
G_DEFINE_PERSISTENT(GSelectionString, MPersistentObject)

namespace {

const GResourceMapping* asMapping(const MPersistentObject* object) {
  return dynamic_cast<const GResourceMapping*>(object);
}

}  // namespace

// ---- GResourceMapping -------------------------------------------------------------

GResourceMapping::GResourceMapping() : resourceId_(noResource), firstCode_(0), secondCode_(0) {}

GResourceMapping::GResourceMapping(uint32_t resourceId, uint16_t firstCode, int16_t secondCode, const uint32_t& id)
    : MPersistentObject(id), resourceId_(resourceId), firstCode_(firstCode), secondCode_(secondCode) {}

GResourceMapping::GResourceMapping(const GResourceMapping& other) = default;

GResourceMapping& GResourceMapping::operator=(const GResourceMapping& other) {
  if (this == &other) return *this;
  MPersistentObject::operator=(other);
  resourceId_ = other.resourceId_;
  firstCode_ = other.firstCode_;
  secondCode_ = other.secondCode_;
  return *this;
}

GResourceMapping::~GResourceMapping() = default;

RWspace GResourceMapping::levelStoreSize() const { return 12; }

template <class Sink>
void GResourceMapping::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, resourceId_);
  gWrite(sink, firstCode_);
  gWrite(sink, secondCode_);
}

template <class Source>
void GResourceMapping::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  if (gRead(source, resourceId_) && gRead(source, firstCode_)) gRead(source, secondCode_);
}

RWBoolean GResourceMapping::isKindOf(RWClassID id) const {
  return id == classIsA() || MPersistentObject::isKindOf(id);
}

RWBoolean GResourceMapping::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || other->id() != id()) return FALSE;
  const GResourceMapping* o = asMapping(other);
  return o && o->resourceId_ == resourceId_ && o->firstCode_ == firstCode_ && o->secondCode_ == secondCode_;
}

// ---- GResourceMappingList ---------------------------------------------------------

GResourceMappingList::GResourceMappingList(const uint32_t& id) : MPersistentComposite(id) {}
GResourceMappingList::GResourceMappingList(const GResourceMappingList& other) = default;

GResourceMappingList& GResourceMappingList::operator=(const GResourceMappingList& other) {
  MPersistentComposite::operator=(other);
  return *this;
}

GResourceMappingList::~GResourceMappingList() = default;

RWspace GResourceMappingList::levelStoreSize() const { return 4; }

template <class Sink>
void GResourceMappingList::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
}

template <class Source>
void GResourceMappingList::restoreLevel(Source& source) {
  gReadVersion(source, version());  // this level has no fields to skip
}

RWBoolean GResourceMappingList::isKindOf(RWClassID id) const {
  return id == classIsA() || MPersistentComposite::isKindOf(id);
}

RWBoolean GResourceMappingList::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  return other && other->isA() == isA() && MPersistentComposite::matches(other);
}

void GResourceMappingList::insert(MPersistentObject*) {}

MPersistentObject* GResourceMappingList::deepCopy() const {
  GResourceMappingList* result = newSpecies();
  result->setId(id());
  for (RWsize i = 0; i < children().entries(); ++i) {
    const MPersistentObject* child = children().pointee(i);
    // Nil entries are kept, so that the copy stores as the original does.
    result->children().append(GCountedPtr(child ? child->deepCopy() : nullptr));
  }
  return result;
}

template <class Test>
int32_t GResourceMappingList::positionOf(Test test) const {
  // A restored list may hold objects of any class: only mappings are found.
  return firstChild([&](MPersistentObject* child) {
    const GResourceMapping* m = asMapping(child);
    return m && test(*m);
  });
}

GResourceMapping* GResourceMappingList::at(int32_t position) const {
  if (position < 0) return nullptr;
  return static_cast<GResourceMapping*>(children().pointee(static_cast<RWsize>(position)));
}

GResourceMapping* GResourceMappingList::removeAt(int32_t position) {
  if (position < 0) return nullptr;
  // The found position itself: a depth-first removal could meet the same
  // mapping first inside some other child.
  return static_cast<GResourceMapping*>(children().removeAt(static_cast<RWsize>(position)).take());
}

GResourceMapping* GResourceMappingList::findByFirstCode(uint16_t code) const {
  return at(positionOf([code](const GResourceMapping& m) { return m.firstCode() == code; }));
}

GResourceMapping* GResourceMappingList::findBySecondCode(int16_t code) const {
  return at(positionOf([code](const GResourceMapping& m) { return m.secondCode() == code; }));
}

GResourceMapping* GResourceMappingList::findByResourceId(uint32_t resourceId) const {
  return at(positionOf([resourceId](const GResourceMapping& m) { return m.resourceId() == resourceId; }));
}

GResourceMapping* GResourceMappingList::removeByFirstCode(uint16_t code) {
  return removeAt(positionOf([code](const GResourceMapping& m) { return m.firstCode() == code; }));
}

GResourceMapping* GResourceMappingList::removeBySecondCode(int16_t code) {
  return removeAt(positionOf([code](const GResourceMapping& m) { return m.secondCode() == code; }));
}

GResourceMapping* GResourceMappingList::removeByResourceId(uint32_t resourceId) {
  return removeAt(positionOf([resourceId](const GResourceMapping& m) { return m.resourceId() == resourceId; }));
}

int GResourceMappingList::add(GResourceMapping* mapping) {
  if (!mapping) return 0;
  const int32_t clash = positionOf([mapping](const GResourceMapping& m) {
    return m.secondCode() == mapping->secondCode() || m.resourceId() == mapping->resourceId();
  });
  // The very mapping already held clashes with itself and stays as it is.
  if (clash >= 0) return 0;
  MPersistentComposite::insert(mapping);
  return 1;
}

// ---- GSelectionString -------------------------------------------------------------

GSelectionString::GSelectionString() : selector_(0) {}

GSelectionString::GSelectionString(const char* text, int16_t selector, const uint32_t& id)
    : MPersistentObject(id), selector_(selector), text_(text ? text : "") {}

GSelectionString::GSelectionString(const GSelectionString& other) = default;

GSelectionString& GSelectionString::operator=(const GSelectionString& other) {
  if (this == &other) return *this;
  MPersistentObject::operator=(other);
  selector_ = other.selector_;
  text_ = other.text_;
  return *this;
}

GSelectionString::~GSelectionString() = default;

RWspace GSelectionString::levelStoreSize() const { return 10 + text_.length(); }

template <class Sink>
void GSelectionString::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, text_);
  gWrite(sink, selector_);
}

template <class Source>
void GSelectionString::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  if (gRead(source, text_)) gRead(source, selector_);
}

RWBoolean GSelectionString::isKindOf(RWClassID id) const {
  return id == classIsA() || MPersistentObject::isKindOf(id);
}

RWBoolean GSelectionString::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || other->id() != id()) return FALSE;
  const GSelectionString* o = dynamic_cast<const GSelectionString*>(other);
  return o && o->selector_ == selector_ && o->text_ == text_;
}
