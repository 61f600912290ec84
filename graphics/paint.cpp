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

// ---- GRasterPaintImp ----------------------------------------------------------------

G_DEFINE_PERSISTENT(GRasterPaintImp, MPersistentObject)

GRasterPaintImp::GRasterPaintImp() = default;

GRasterPaintImp::GRasterPaintImp(const GBitmap& bitmap) : bitmap_(bitmap) {}

// A copy is a body of its own, with an identity of its own.
GRasterPaintImp::GRasterPaintImp(const GRasterPaintImp& other)
    : MPersistentObject(), bitmap_(other.bitmap_), patternId_(other.patternId_) {}

GRasterPaintImp& GRasterPaintImp::operator=(const GRasterPaintImp& other) {
  if (this == &other) return *this;
  bitmap_ = other.bitmap_;
  patternId_ = other.patternId_;
  return *this;
}

GRasterPaintImp::~GRasterPaintImp() = default;

RWBoolean GRasterPaintImp::isKindOf(RWClassID id) const { return id == classIsA() || MPersistentObject::isKindOf(id); }

RWBoolean GRasterPaintImp::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  const auto* o = dynamic_cast<const GRasterPaintImp*>(other);
  if (!o || o->isA() != isA()) return FALSE;
  return patternId_ == o->patternId_ && bitmap_.matches(&o->bitmap_);
}

void GRasterPaintImp::copyBitmap(GBitmap& out) const { out = bitmap_; }

RWspace GRasterPaintImp::levelStoreSize() const { return 6 + bitmap_.recursiveStoreSize(); }

template <class Sink>
void GRasterPaintImp::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  bitmap_.recursiveSaveOn(sink);
  gWrite(sink, patternId_);
}

template <class Source>
void GRasterPaintImp::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  // The bitmap is a member: read in place, out of reach of later
  // references. A handle that fails keeps the body it had.
  if (restoreInPlace(source, static_cast<RWCollectable&>(bitmap_)).failed) return;
  int16_t pattern = 0;
  if (gRead(source, pattern)) patternId_ = pattern;
}

// ---- GRasterPaint -------------------------------------------------------------------

G_DEFINE_PERSISTENT(GRasterPaint, GPaint)

GRasterPaint::GRasterPaint() = default;

GRasterPaint::GRasterPaint(const GBitmap& bitmap, int32_t first, int32_t second)
    : hatched_(first), synthetic_(first | second) {
  hold(new (std::nothrow) GRasterPaintImp(bitmap));
}

GRasterPaint::GRasterPaint(const GRasterPaint& other)
    : GPaint(other), body_(other.body_), hatched_(other.hatched_), synthetic_(other.synthetic_) {
  if (body_) ++body_->useCount_;
}

GRasterPaint& GRasterPaint::operator=(const GRasterPaint& other) {
  if (this == &other) return *this;
  GPaint::operator=(other);
  if (other.body_ != body_) {
    if (other.body_) ++other.body_->useCount_;
    release();
    body_ = other.body_;
  }
  hatched_ = other.hatched_;
  synthetic_ = other.synthetic_;
  return *this;
}

GRasterPaint::~GRasterPaint() { release(); }

void GRasterPaint::hold(GRasterPaintImp* body) {
  release();
  body_ = body;
  if (body_) body_->paintHeld_ = true;
}

void GRasterPaint::release() {
  if (body_ && --body_->useCount_ <= 0) delete body_;
  body_ = nullptr;
}

RWBoolean GRasterPaint::isKindOf(RWClassID id) const { return id == classIsA() || GPaint::isKindOf(id); }

RWBoolean GRasterPaint::matches(const MPersistentObject* other) const {
  const auto* o = dynamic_cast<const GRasterPaint*>(other);
  if (!o || o->isA() != isA()) return FALSE;
  if (!body_ || !o->body_) return !body_ && !o->body_;
  return body_ == o->body_ || body_->matches(o->body_);
}

GStatus GRasterPaint::acceptAsPen(GPaintCallbacks& generator) { return generator.setPenRasterPaint(this); }

GStatus GRasterPaint::acceptAsBrush(GPaintCallbacks& generator) { return generator.setBrushRasterPaint(this); }

int16_t GRasterPaint::patternId() const { return body_ ? body_->patternId() : 0; }

GBitmap& GRasterPaint::bitmap() {
  if (!body_) hold(new GRasterPaintImp);
  return body_->bitmap();
}

void GRasterPaint::setPatternId(int16_t id) {
  if (body_) body_->setPatternId(id);
}

RWspace GRasterPaint::levelStoreSize() const {
  const RWCollectable* b = body_ ? static_cast<const RWCollectable*>(body_) : rwNilCollectable();
  return 12 + b->recursiveStoreSize();
}

template <class Sink>
void GRasterPaint::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  sink << static_cast<const RWCollectable*>(body_);
  gWrite(sink, hatched_);
  gWrite(sink, synthetic_);
}

template <class Source>
void GRasterPaint::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  const Restored r = restoreObject(source, nullptr);
  if (r.failed) return;
  int32_t hatched = 0, synthetic = 0;
  auto* body = dynamic_cast<GRasterPaintImp*>(r.object);
  if (!gReadable(source) || !gRead(source, hatched) || !gRead(source, synthetic)) {
    // Cut short: the paint keeps the body and flags it had. Only plain
    // numbers were read since the body, so nothing can refer to it yet.
    if (r.object && r.fresh) discardRestored(r.object);
    return;
  }
  if (!body) {
    if (r.object && r.fresh) discardRestored(r.object);
    release();
  } else if (r.fresh) {
    body->useCount_ = 1;
    hold(body);
  } else if (body != body_) {
    if (body->paintHeld_ && body->useCount_ > 0) {
      // Read earlier by another paint of the graph: shared, one use each.
      ++body->useCount_;
      release();
      body_ = body;
    } else {
      // Held by something that does not count paints: a body of its own.
      hold(new (std::nothrow) GRasterPaintImp(*body));
    }
  }
  hatched_ = hatched;
  synthetic_ = synthetic;
}
