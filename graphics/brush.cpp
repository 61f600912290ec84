#include "graphics/brush.h"

#include "core/perclass.h"
#include "graphics/paint.h"

// ---- GBrush -------------------------------------------------------------------------

G_DEFINE_PERSISTENT(GBrush, GGraphicAttribute)

GBrush::GBrush() = default;
GBrush::GBrush(GPaint* paint, const uint32_t& key) : GGraphicAttribute(key), paint_(paint) {}
GBrush::GBrush(const GBrush& other) = default;

GBrush& GBrush::operator=(const GBrush& other) {
  GGraphicAttribute::operator=(other);
  paint_ = other.paint_;
  return *this;
}

GBrush::~GBrush() = default;

RWBoolean GBrush::isKindOf(RWClassID id) const { return id == classIsA() || GGraphicAttribute::isKindOf(id); }

RWBoolean GBrush::matches(const MPersistentObject* other) const {
  const GBrush* o = sameClass(this, other);
  return o && GGraphicAttribute::matches(o) && gPaintsMatch(paint(), o->paint());
}

GStatus GBrush::accept(GPeripheralHandlers& visitor) { return visitor.onBrush(this); }

void GBrush::setPaint(GPaint* paint) {
  if (paint != this->paint()) paint_ = GCountedRef(paint);
}

GPaint* GBrush::paint() const { return static_cast<GPaint*>(paint_.get()); }

RWspace GBrush::levelStoreSize() const { return 4 + gPaintStoreSize(paint()); }

template <class Sink>
void GBrush::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  sink << static_cast<const RWCollectable*>(paint());
}

template <class Source>
void GBrush::restoreLevel(Source& source) {
  if (gReadVersion(source, version())) gRestorePaint(source, paint_);
}

// ---- GNoBrush -----------------------------------------------------------------------

G_DEFINE_PERSISTENT(GNoBrush, GBrush)

GNoBrush::GNoBrush() = default;
GNoBrush::GNoBrush(const uint32_t& key) : GBrush(nullptr, key) {}
GNoBrush::GNoBrush(const GNoBrush& other) = default;

GNoBrush& GNoBrush::operator=(const GNoBrush& other) {
  GBrush::operator=(other);
  return *this;
}

GNoBrush::~GNoBrush() = default;

RWBoolean GNoBrush::isKindOf(RWClassID id) const { return id == classIsA() || GBrush::isKindOf(id); }

RWBoolean GNoBrush::matches(const MPersistentObject* other) const {
  const GNoBrush* o = sameClass(this, other);
  return o && GGraphicAttribute::matches(o);
}

GStatus GNoBrush::accept(GPeripheralHandlers& visitor) { return visitor.onNoBrush(this); }

RWspace GNoBrush::levelStoreSize() const { return 4; }

template <class Sink>
void GNoBrush::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
}

template <class Source>
void GNoBrush::restoreLevel(Source& source) {
  // No fields follow the version word, so its value changes nothing.
  gReadVersion(source, version());
}
