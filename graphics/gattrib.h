#ifndef GRAPHICS_GATTRIB_H
#define GRAPHICS_GATTRIB_H

// The graphics-state attributes and the bundle that carries one of each
// with a graphic command.
//
// GGraphicAttribute is the base of every drawing-state value: brush, pen,
// line cap, line join, clip, fill mode and raster operation. Its attribute
// id is its key in a bundle. The classes of one family answer the family's
// kind (the pens 201, the brushes 251, the caps 301, the joins 351, the
// clips 756, the fill mode 102, the raster operation 401), so that a member
// is replaced by any class of its family under the same key; each class's
// matches decides whether an equal value is sent to a generator again.
//
// GGraphicBundle is the state a graphic command carries (id 244, the
// graphic group's). The set operations stamp an attribute with its member
// key and file it by the state rule; the getters and takes look members up
// by key. A stage merges a bundle into its graphic group member by member
// and sends what changed to the handlers of the members' classes.
//
// Stored forms: the GGraphicAttribute level is a version word (1) after the
// attribute level, with nothing after it; the bundle's is the state's, then
// a version word (1). On restore neither version word changes anything.

#include <cstdint>

#include "core/attrib.h"
#include "core/attrids.h"
#include "core/classids.h"
#include "core/state.h"

// Abstract (accept): not registered with the factory; isA is its own.
class GGraphicAttribute : public GAttribute {
  G_PERSISTENT_LEVEL(GGraphicAttribute)

 public:
  GGraphicAttribute();
  explicit GGraphicAttribute(const uint32_t& key);
  GGraphicAttribute(const GGraphicAttribute& other);
  GGraphicAttribute& operator=(const GGraphicAttribute& other);
  ~GGraphicAttribute() override;

  static RWClassID classIsA() { return ClassId::GGraphicAttribute; }
  static uint32_t version() { return 1; }
  RWClassID isA() const override;
  RWBoolean isKindOf(RWClassID id) const override;
  // The keys are equal. The families add their own comparisons of content
  // (some compare no key at all).
  RWBoolean matches(const MPersistentObject* other) const override;

  // The object as a graphics-state attribute, or null for null and for any
  // object that is not one.
  static GGraphicAttribute* fromObject(MPersistentObject* object);

 protected:
  // The other object as one of self's own class (the class itself, not a
  // subclass), or null: the first test of every family's matches.
  template <class T>
  static const T* sameClass(const T* self, const MPersistentObject* other) {
    if (!other || other->isA() != self->isA()) return nullptr;
    return dynamic_cast<const T*>(other);
  }
};

RW_DECLARE_RESTORE_OPERATORS(GGraphicAttribute)

class GGraphicBundle : public GState {
  G_PERSISTENT_CLASS(GGraphicBundle)

 public:
  // An empty bundle of the graphic group's id (244).
  GGraphicBundle();
  // The same: a bundle always has the group's id, whatever is given.
  explicit GGraphicBundle(const uint32_t& ignored);
  // The members shared, not copied: setting one afterwards replaces it in
  // the one bundle only, and taking one still shared hands out a copy.
  GGraphicBundle(const GGraphicBundle& other);
  GGraphicBundle& operator=(const GGraphicBundle& other);
  ~GGraphicBundle() override;

  static RWClassID classIsA() { return ClassId::GGraphicBundle; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;

  // Each takes charge of the attribute, stamps it with the member's key and
  // files it by the state rule: a new member is appended; a member of the
  // same kind and key that differs is replaced in its place; one that
  // matches stays, changed flag and all, and the attribute given is
  // disposed of (deleted only when no counted holder shares it, so a cached
  // attribute handed in again survives). Null, or an attribute that already
  // is a member, changes nothing.
  virtual void setBrush(GGraphicAttribute* brush);
  virtual void setCap(GGraphicAttribute* cap);
  virtual void setClip(GGraphicAttribute* clip);
  virtual void setFillMode(GGraphicAttribute* fillMode);
  virtual void setJoint(GGraphicAttribute* joint);
  virtual void setPen(GGraphicAttribute* pen);
  virtual void setRasterOperation(GGraphicAttribute* rasterOperation);

  // Each takes the member of its key out of the bundle and hands it to the
  // caller, who owns it: the member itself when the bundle held its last
  // reference, else a copy (the shared member stays with its other
  // holders). Null, with the bundle unchanged, when there is none.
  virtual GGraphicAttribute* takeBrush();
  virtual GGraphicAttribute* takeCap();
  virtual GGraphicAttribute* takeClip();
  virtual GGraphicAttribute* takeFillMode();
  virtual GGraphicAttribute* takeJoint();
  virtual GGraphicAttribute* takePen();
  virtual GGraphicAttribute* takeRasterOperation();

  // The member of each key, still the bundle's, or null.
  virtual GGraphicAttribute* brush() const;
  virtual GGraphicAttribute* cap() const;
  virtual GGraphicAttribute* clip() const;
  virtual GGraphicAttribute* fillMode() const;
  virtual GGraphicAttribute* joint() const;
  virtual GGraphicAttribute* pen() const;
  virtual GGraphicAttribute* rasterOperation() const;

 private:
  // The keys of the members, in the order of kMemberKeys (gattrib.cpp).
  enum Member { kBrush, kPen, kCap, kJoint, kClip, kFillMode, kRasterOperation };

  void setMember(Member member, GGraphicAttribute* attribute);
  GGraphicAttribute* takeMember(Member member);
  GGraphicAttribute* member(Member member) const;
};

RW_DECLARE_RESTORE_OPERATORS(GGraphicBundle)

#endif
