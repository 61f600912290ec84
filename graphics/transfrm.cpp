#include "graphics/transfrm.h"

#include "core/perclass.h"

namespace {

// Sums in 16 bits: the result wraps as the stored fields do.
int16_t sum16(int32_t a, int32_t b) {
  return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b)));
}

// The inner offset's coordinate under the outer scale factor, truncated
// toward zero.
int32_t scaled(int16_t coordinate, GReal factor) { return gScaleTruncated(coordinate, factor); }

}  // namespace

G_DEFINE_PERSISTENT(GTransformAttribute, GAttribute)

GTransformAttribute::GTransformAttribute() : rotation_(0), scaleX_(1.0f), scaleY_(1.0f) {}

GTransformAttribute::GTransformAttribute(const int16_t& rotation, const GPoint& offset, const GScaleFactors& scale)
    : rotation_(rotation), offset_(offset), scaleX_(scale.x()), scaleY_(scale.y()) {}

GTransformAttribute::GTransformAttribute(const GTransformAttribute& other) = default;

GTransformAttribute& GTransformAttribute::operator=(const GTransformAttribute& other) {
  if (this == &other) return *this;
  GAttribute::operator=(other);
  rotation_ = other.rotation_;
  offset_ = other.offset_;
  scaleX_ = other.scaleX_;
  scaleY_ = other.scaleY_;
  return *this;
}

GTransformAttribute::~GTransformAttribute() = default;

RWBoolean GTransformAttribute::isKindOf(RWClassID id) const { return id == classIsA() || GAttribute::isKindOf(id); }

RWBoolean GTransformAttribute::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || other->id() != id()) return FALSE;
  const auto* o = dynamic_cast<const GTransformAttribute*>(other);
  return o && o->rotation_ == rotation_ && o->offset_ == offset_ && o->scaleX_ == scaleX_ && o->scaleY_ == scaleY_;
}

GStatus GTransformAttribute::accept(GPeripheralHandlers& visitor) { return visitor.onTransformAttribute(this); }

RWspace GTransformAttribute::levelStoreSize() const { return 4 + 3 * 2 + 2 * 4; }

template <class Sink>
void GTransformAttribute::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, rotation_);
  gWrite(sink, offset_.x());
  gWrite(sink, offset_.y());
  gWrite(sink, scaleX_);
  gWrite(sink, scaleY_);
}

template <class Source>
void GTransformAttribute::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  int16_t rotation = 0, x = 0, y = 0;
  GReal scaleX = 0, scaleY = 0;
  if (!gRead(source, rotation) || !gRead(source, x) || !gRead(source, y) || !gRead(source, scaleX) ||
      !gRead(source, scaleY))
    return;
  rotation_ = rotation;
  offset_.set(x, y);
  scaleX_ = scaleX;
  scaleY_ = scaleY;
}

void composeTransforms(GTransformAttribute& result, const GTransformAttribute& outer,
                       const GTransformAttribute& inner) {
  // Everything is computed before result is touched: it may be either
  // operand.
  const GPoint outerOffset = outer.offset();
  const GPoint innerOffset = inner.offset();
  const int16_t rotation = sum16(inner.rotation(), outer.rotation());
  const GPoint offset(sum16(outerOffset.x(), scaled(innerOffset.x(), outer.scaleX())),
                      sum16(outerOffset.y(), scaled(innerOffset.y(), outer.scaleY())));
  const GScaleFactors scale(inner.scaleX() * outer.scaleX(), inner.scaleY() * outer.scaleY());
  result = GTransformAttribute(rotation, offset, scale);
}
