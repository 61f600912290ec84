#include "graphics/paint.h"

#include "core/perclass.h"
#include "graphics/color.h"
#include "graphics/paintcb.h"

// ---- GPaint -------------------------------------------------------------------------

G_DEFINE_PERSISTENT_LEVEL(GPaint, MPersistentObject)
RW_DEFINE_RESTORE_OPERATORS(GPaint)

GPaint& GPaint::operator=(const GPaint& other) {
  MPersistentObject::operator=(other);
  return *this;
}

GPaint::~GPaint() = default;

RWClassID GPaint::isA() const { return classIsA(); }

RWBoolean GPaint::isKindOf(RWClassID id) const { return id == classIsA() || MPersistentObject::isKindOf(id); }

RWspace GPaint::levelStoreSize() const { return 4; }

template <class Sink>
void GPaint::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
}

template <class Source>
void GPaint::restoreLevel(Source& source) {
  // No fields follow the version word, so its value changes nothing.
  gReadVersion(source, version());
}

// ---- GColorPaint --------------------------------------------------------------------

G_DEFINE_PERSISTENT(GColorPaint, GPaint)

GColorPaint::GColorPaint() = default;

GColorPaint::GColorPaint(GColor* colour) : colour_(colour) {}

GColorPaint::GColorPaint(const GColorPaint& other)
    : GPaint(other), colour_(other.colour_ ? other.colour_->copy() : nullptr) {}

GColorPaint& GColorPaint::operator=(const GColorPaint& other) {
  if (this == &other) return *this;
  GPaint::operator=(other);
  colour_.reset(other.colour_ ? other.colour_->copy() : nullptr);
  return *this;
}

GColorPaint::~GColorPaint() = default;

RWBoolean GColorPaint::isKindOf(RWClassID id) const { return id == classIsA() || GPaint::isKindOf(id); }

RWBoolean GColorPaint::matches(const MPersistentObject* other) const {
  if (!other || other->isA() != isA() || other->id() != id()) return FALSE;
  const auto* o = dynamic_cast<const GColorPaint*>(other);
  if (!o) return FALSE;
  if (!colour_ || !o->colour_) return TRUE;
  return colour_->matches(o->colour_.get());
}

GStatus GColorPaint::acceptAsPen(GPaintCallbacks& generator) { return generator.setPenColorPaint(this); }

GStatus GColorPaint::acceptAsBrush(GPaintCallbacks& generator) { return generator.setBrushColorPaint(this); }

void GColorPaint::setColor(GColor* colour) {
  if (colour == colour_.get()) return;
  colour_.reset(colour);
}

RWspace GColorPaint::levelStoreSize() const {
  const RWCollectable* stored = colour_ ? static_cast<const RWCollectable*>(colour_.get()) : rwNilCollectable();
  return 4 + stored->recursiveStoreSize();
}

template <class Sink>
void GColorPaint::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  sink << static_cast<const RWCollectable*>(colour_.get());
}

template <class Source>
void GColorPaint::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  RWCollectable::Restored r = RWCollectable::restoreObject(source, nullptr);
  if (r.failed) return;
  if (!gReadable(source)) {
    // Cut short inside the colour: what it holds is not all there, and
    // the paint keeps the colour it had.
    if (r.object && r.fresh) RWCollectable::discardRestored(r.object);
    return;
  }
  auto* colour = dynamic_cast<GColor*>(r.object);
  if (!colour) {
    if (r.object && r.fresh) RWCollectable::discardRestored(r.object);
    colour_.reset();
  } else if (r.fresh) {
    colour_.reset(colour);
  } else {
    // Read earlier, it belongs to whoever read it (another paint, a
    // palette): this paint owns a copy.
    colour_.reset(colour->copy());
  }
}

// ---- the paint holders ----------------------------------------------------------------

bool gPaintsMatch(const GPaint* a, const GPaint* b) {
  if (!a || !b) return !a && !b;
  return a->matches(b);
}

RWspace gPaintStoreSize(const GPaint* paint) {
  return (paint ? static_cast<const RWCollectable*>(paint) : rwNilCollectable())->recursiveStoreSize();
}

namespace {

template <class Source>
bool restorePaint(Source& source, GCountedRef& paint) {
  RWCollectable::Restored r = RWCollectable::restoreObject(source, nullptr);
  if (r.failed) return false;
  if (!gReadable(source)) {
    // Cut short inside the paint: what it holds is not all there.
    if (r.object && r.fresh) RWCollectable::discardRestored(r.object);
    return false;
  }
  auto* read = dynamic_cast<GPaint*>(r.object);
  if (!read) {
    if (r.object && r.fresh) RWCollectable::discardRestored(r.object);
    paint = GCountedRef();
  } else if (r.fresh || read->references() > 0) {
    // Made here, or read earlier by another brush or pen of the stream:
    // paints are shared by count.
    paint = GCountedRef(read);
  } else {
    // Read earlier and held by something that does not count it (the
    // outermost object of the restore, say): counting it here would make
    // it this holder's to delete, so the holder takes a copy.
    paint = GCountedRef(read->copy());
  }
  return true;
}

}  // namespace

bool gRestorePaint(RWvistream& source, GCountedRef& paint) { return restorePaint(source, paint); }
bool gRestorePaint(RWFile& source, GCountedRef& paint) { return restorePaint(source, paint); }
