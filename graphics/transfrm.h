#ifndef GRAPHICS_TRANSFRM_H
#define GRAPHICS_TRANSFRM_H

// How a page's drawing is placed on the sheet: a rotation in degrees, an
// offset in device units and a pair of scale factors.
//
// GTransformAttribute is an attribute (keyed, with a changed flag) but no
// graphics-state member of a fixed key: it travels in a document or page
// state, or as an additional member of a graphic bundle where the page
// filters put one. A stage that finds a changed transform in its graphic
// group sends it before everything else and then sends the whole group
// again. The page filters that move or resize pages combine their own
// placement with the one they receive through composeTransforms.
//
// Stored form of its level, after the attribute level: version (1),
// rotation, offset x, offset y (each a signed 16-bit value), scale x and
// scale y (each a 32-bit IEEE single): 18 bytes. The fields are read only
// under version 1, and only all of them: a level cut short keeps the values
// the transform had.

#include <cstdint>

#include "core/attrib.h"
#include "core/classids.h"
#include "core/geometry.h"
#include "core/greal.h"

class GTransformAttribute : public GAttribute {
  G_PERSISTENT_CLASS(GTransformAttribute)

 public:
  // Rotation 0, offset (0, 0), scale (1, 1), id 0.
  GTransformAttribute();
  GTransformAttribute(const int16_t& rotation, const GPoint& offset, const GScaleFactors& scale);
  GTransformAttribute(const GTransformAttribute& other);
  GTransformAttribute& operator=(const GTransformAttribute& other);
  ~GTransformAttribute() override;

  static RWClassID classIsA() { return ClassId::GTransformAttribute; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // Same class and id, the same rotation and offset, and scale factors
  // equal as reals (so a factor that is not a number equals nothing, and a
  // transform holding one matches only itself).
  RWBoolean matches(const MPersistentObject* other) const override;
  // The stage's transform handler.
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;

  int16_t rotation() const { return rotation_; }
  GPoint offset() const { return offset_; }
  GScaleFactors scale() const { return GScaleFactors(scaleX_, scaleY_); }
  GReal scaleX() const { return scaleX_; }
  GReal scaleY() const { return scaleY_; }

  void setRotation(const int16_t& rotation) { rotation_ = rotation; }
  void setOffset(const GPoint& offset) { offset_ = offset; }
  void setScale(const GScaleFactors& scale) {
    scaleX_ = scale.x();
    scaleY_ = scale.y();
  }

 private:
  int16_t rotation_;
  GPoint offset_;
  GReal scaleX_;
  GReal scaleY_;
};

RW_DECLARE_RESTORE_OPERATORS(GTransformAttribute)

// Makes result the transform that applies inner first and outer after it,
// as a new transform (id 0, changed, a serial number of its own; the count
// of references result holds is its own):
//   rotation = inner + outer, summed in 16 bits without reduction;
//   offset   = outer offset + the inner offset scaled (not rotated) by the
//              outer scale, each product truncated towards zero, and each
//              sum taken in 16 bits;
//   scale    = inner scale * outer scale.
// A product that is not a number counts 0, and one past the 32-bit range
// counts as that range's end (gTruncateSaturated); every other result is
// the plain arithmetic's. result may be outer or inner itself.
void composeTransforms(GTransformAttribute& result, const GTransformAttribute& outer,
                       const GTransformAttribute& inner);

#endif
