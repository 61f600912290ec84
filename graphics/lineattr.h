#ifndef GRAPHICS_LINEATTR_H
#define GRAPHICS_LINEATTR_H

// How stroked lines end and meet, and which rule decides the inside of a
// filled path: the line cap (bundle key 166), the line join (key 172) and
// the fill mode (key 182) of the graphics state.
//
//   cap        0 round, 1 square, 2 butt
//   join       0 miter (only through GMiterJoint or setJoin), 1 round,
//              2 bevel, 3 none
//   fill mode  0 even-odd, 1 non-zero winding
//
// Any other value is kept as it is; the generators send nothing for it
// (the default fill mode, 2, is such a value). A miter joint is a join of 0
// that also carries the miter limit; it answers the joins' kind, so either
// replaces the other in a bundle.
//
// Matching decides whether a generator is sent an equal state again: a cap
// or a join matches one of the same class, key and value (a miter joint
// also an equal limit, compared as reals); a fill mode matches one of the
// same class and mode, whatever its key.
//
// Stored forms, each after its base's: a version word (1) and the value as
// a signed 32-bit word (GCap, GJoint, GFillMode); GMiterJoint adds a
// version word (1) and the limit as a 32-bit IEEE single after the GJoint
// level. A level whose version differs, or that is cut short, keeps its
// values.

#include <cstdint>

#include "core/greal.h"
#include "graphics/gattrib.h"

class GCap : public GGraphicAttribute {
  G_PERSISTENT_CLASS(GCap)

 public:
  // Square ends (1), id 0.
  GCap();
  explicit GCap(int32_t cap, const uint32_t& key = 0);
  GCap(const GCap& other);
  GCap& operator=(const GCap& other);
  ~GCap() override;

  static RWClassID classIsA() { return ClassId::GCap; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  RWClassID kind() const override { return ClassId::GCap; }
  // Same class, key and cap.
  RWBoolean matches(const MPersistentObject* other) const override;
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;

  virtual int32_t cap() const { return cap_; }

 private:
  int32_t cap_;
};

RW_DECLARE_RESTORE_OPERATORS(GCap)

class GJoint : public GGraphicAttribute {
  G_PERSISTENT_CLASS(GJoint)

 public:
  // No join (3), id 0.
  GJoint();
  // A join of 0 is taken as no join (3): a miter join is made by
  // GMiterJoint, which carries its limit, or set through setJoin.
  explicit GJoint(int32_t join, const uint32_t& key = 0);
  GJoint(const GJoint& other);
  GJoint& operator=(const GJoint& other);
  ~GJoint() override;

  static RWClassID classIsA() { return ClassId::GJoint; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  RWClassID kind() const override { return kJointFamily; }
  // Same class, key and join.
  RWBoolean matches(const MPersistentObject* other) const override;
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;

  // Any value as it is, 0 included.
  virtual void setJoin(int32_t join) { join_ = join; }
  virtual int32_t join() const { return join_; }

 private:
  int32_t join_;
};

RW_DECLARE_RESTORE_OPERATORS(GJoint)

class GMiterJoint : public GJoint {
  G_PERSISTENT_CLASS(GMiterJoint)

 public:
  // Join 0, limit 0, id 0.
  GMiterJoint();
  // Join 0 and the limit.
  explicit GMiterJoint(GReal limit, const uint32_t& key = 0);
  GMiterJoint(const GMiterJoint& other);
  GMiterJoint& operator=(const GMiterJoint& other);
  ~GMiterJoint() override;

  static RWClassID classIsA() { return ClassId::GMiterJoint; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // The joint's rule and limits equal as reals (so a limit that is not a
  // number matches no other joint).
  RWBoolean matches(const MPersistentObject* other) const override;
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;

  GReal miterLimit() const { return miterLimit_; }

 private:
  GReal miterLimit_;
};

RW_DECLARE_RESTORE_OPERATORS(GMiterJoint)

class GFillMode : public GGraphicAttribute {
  G_PERSISTENT_CLASS(GFillMode)

 public:
  // Mode 2, which no generator sends; id 0.
  GFillMode();
  explicit GFillMode(int32_t mode, const uint32_t& key = 0);
  GFillMode(const GFillMode& other);
  GFillMode& operator=(const GFillMode& other);
  ~GFillMode() override;

  static RWClassID classIsA() { return ClassId::GFillMode; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  RWClassID kind() const override { return ClassId::GFillMode; }
  // Same class and mode; the key is not compared.
  RWBoolean matches(const MPersistentObject* other) const override;
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;

  int32_t mode() const { return mode_; }

 private:
  int32_t mode_;
};

RW_DECLARE_RESTORE_OPERATORS(GFillMode)

#endif
