#include "graphics/gattrib.h"

#include <cstddef>

#include "core/perclass.h"
#include "journal/command.h"

namespace {

// The keys of the bundle's members, read at run time from this one table:
// the seven in the order of GGraphicBundle::Member, then the bundle's own
// id.
constexpr uint32_t kMemberKeys[] = {AttrId::Brush,    AttrId::Pen,      AttrId::LineCap,         AttrId::LineJoin,
                                    AttrId::Clip,     AttrId::FillMode, AttrId::RasterOperation, AttrId::GraphicGroup};
constexpr std::size_t kBundleKey = 7;

// Where a member sits: the vector holding it and its position there.
struct Slot {
  const GCountedPtrVector* children = nullptr;
  RWsize index = 0;
};

// The first member, depth first, that is a graphics-state attribute under
// the key: each child is looked at, then the members below it when it is
// an attribute composite, before the next child.
bool findSlot(const GCountedPtrVector& children, uint32_t key, Slot& slot) {
  for (RWsize i = 0; i < children.entries(); ++i) {
    MPersistentObject* child = children.pointee(i);
    if (!child) continue;
    if (child->id() == key && GGraphicAttribute::fromObject(child)) {
      slot = Slot{&children, i};
      return true;
    }
    if (const auto* below = dynamic_cast<const GAttributeComposite*>(child)) {
      if (findSlot(below->children(), key, slot)) return true;
    }
  }
  return false;
}

}  // namespace

// ---- GGraphicAttribute ------------------------------------------------------------

G_DEFINE_PERSISTENT_LEVEL(GGraphicAttribute, GAttribute)
RW_DEFINE_RESTORE_OPERATORS(GGraphicAttribute)

GGraphicAttribute::GGraphicAttribute() = default;
GGraphicAttribute::GGraphicAttribute(const uint32_t& key) : GAttribute(key) {}
GGraphicAttribute::GGraphicAttribute(const GGraphicAttribute& other) = default;

GGraphicAttribute& GGraphicAttribute::operator=(const GGraphicAttribute& other) {
  GAttribute::operator=(other);
  return *this;
}

GGraphicAttribute::~GGraphicAttribute() = default;

RWClassID GGraphicAttribute::isA() const { return classIsA(); }

RWBoolean GGraphicAttribute::isKindOf(RWClassID id) const { return id == classIsA() || GAttribute::isKindOf(id); }

RWBoolean GGraphicAttribute::matches(const MPersistentObject* other) const { return other && other->id() == id(); }

GGraphicAttribute* GGraphicAttribute::fromObject(MPersistentObject* object) {
  if (!object || !object->isKindOf(classIsA())) return nullptr;
  return dynamic_cast<GGraphicAttribute*>(object);
}

RWspace GGraphicAttribute::levelStoreSize() const { return 4; }

template <class Sink>
void GGraphicAttribute::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
}

template <class Source>
void GGraphicAttribute::restoreLevel(Source& source) {
  // No fields follow the version word, so its value changes nothing.
  gReadVersion(source, version());
}

// ---- GGraphicBundle ---------------------------------------------------------------

// A copy shares the members, as the copy constructor does.
G_DEFINE_PERSISTENT(GGraphicBundle, GState)

GGraphicBundle::GGraphicBundle() : GState(kMemberKeys[kBundleKey]) {}
GGraphicBundle::GGraphicBundle(const uint32_t&) : GGraphicBundle() {}
GGraphicBundle::GGraphicBundle(const GGraphicBundle& other) = default;

GGraphicBundle& GGraphicBundle::operator=(const GGraphicBundle& other) {
  GState::operator=(other);
  return *this;
}

GGraphicBundle::~GGraphicBundle() = default;

RWBoolean GGraphicBundle::isKindOf(RWClassID id) const { return id == classIsA() || GState::isKindOf(id); }

RWspace GGraphicBundle::levelStoreSize() const { return 4; }

template <class Sink>
void GGraphicBundle::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
}

template <class Source>
void GGraphicBundle::restoreLevel(Source& source) {
  // No fields follow the version word, so its value changes nothing.
  gReadVersion(source, version());
}

void GGraphicBundle::setMember(Member which, GGraphicAttribute* attribute) {
  if (!attribute) return;
  // Given again, a member is left exactly as it is: neither disposed of
  // nor stamped with another key.
  if (children().index(attribute) >= 0) return;
  attribute->setId(kMemberKeys[which]);
  // The state rule: a matching member stays and the attribute is disposed
  // of, which deletes it only when no counted holder (a device's cache, a
  // copied bundle) shares it.
  insert(attribute);
}

GGraphicAttribute* GGraphicBundle::takeMember(Member which) {
  Slot slot;
  if (!findSlot(children(), kMemberKeys[which], slot)) return nullptr;
  // The vector is one of this bundle's own (or of a state below it).
  auto* holder = const_cast<GCountedPtrVector*>(slot.children);
  MPersistentObject* taken = holder->removeAt(slot.index).take();
  GGraphicAttribute* member = GGraphicAttribute::fromObject(taken);
  // A copy is of the member's class; should a class copy itself as
  // something else, the caller is given nothing rather than a stray object.
  if (!member) delete taken;
  return member;
}

GGraphicAttribute* GGraphicBundle::member(Member which) const {
  Slot slot;
  if (!findSlot(children(), kMemberKeys[which], slot)) return nullptr;
  return GGraphicAttribute::fromObject(slot.children->pointee(slot.index));
}

void GGraphicBundle::setBrush(GGraphicAttribute* brush) { setMember(kBrush, brush); }
void GGraphicBundle::setCap(GGraphicAttribute* cap) { setMember(kCap, cap); }
void GGraphicBundle::setClip(GGraphicAttribute* clip) { setMember(kClip, clip); }
void GGraphicBundle::setFillMode(GGraphicAttribute* fillMode) { setMember(kFillMode, fillMode); }
void GGraphicBundle::setJoint(GGraphicAttribute* joint) { setMember(kJoint, joint); }
void GGraphicBundle::setPen(GGraphicAttribute* pen) { setMember(kPen, pen); }
void GGraphicBundle::setRasterOperation(GGraphicAttribute* rasterOperation) {
  setMember(kRasterOperation, rasterOperation);
}

GGraphicAttribute* GGraphicBundle::takeBrush() { return takeMember(kBrush); }
GGraphicAttribute* GGraphicBundle::takeCap() { return takeMember(kCap); }
GGraphicAttribute* GGraphicBundle::takeClip() { return takeMember(kClip); }
GGraphicAttribute* GGraphicBundle::takeFillMode() { return takeMember(kFillMode); }
GGraphicAttribute* GGraphicBundle::takeJoint() { return takeMember(kJoint); }
GGraphicAttribute* GGraphicBundle::takePen() { return takeMember(kPen); }
GGraphicAttribute* GGraphicBundle::takeRasterOperation() { return takeMember(kRasterOperation); }

GGraphicAttribute* GGraphicBundle::brush() const { return member(kBrush); }
GGraphicAttribute* GGraphicBundle::cap() const { return member(kCap); }
GGraphicAttribute* GGraphicBundle::clip() const { return member(kClip); }
GGraphicAttribute* GGraphicBundle::fillMode() const { return member(kFillMode); }
GGraphicAttribute* GGraphicBundle::joint() const { return member(kJoint); }
GGraphicAttribute* GGraphicBundle::pen() const { return member(kPen); }
GGraphicAttribute* GGraphicBundle::rasterOperation() const { return member(kRasterOperation); }
