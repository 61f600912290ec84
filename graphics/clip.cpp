#include "graphics/clip.h"

#include <algorithm>

#include "core/perclass.h"
#include "journal/path.h"
#include "rw/rwerr.h"

namespace {

constexpr int32_t kUnsupported = 2;
constexpr int32_t kInside = 0;
constexpr int32_t kNonZeroWinding = 1;

template <class Sink>
void writeRect(Sink& sink, const GRect& r) {
  gWrite(sink, r.left());
  gWrite(sink, r.top());
  gWrite(sink, r.right());
  gWrite(sink, r.bottom());
}

// The rectangle is given over only when all four edges were read.
template <class Source>
bool readRect(Source& source, GRect& r) {
  int16_t left = 0, top = 0, right = 0, bottom = 0;
  if (!gRead(source, left) || !gRead(source, top) || !gRead(source, right) || !gRead(source, bottom)) return false;
  r = GRect(left, top, right, bottom);
  return true;
}

constexpr RWspace kRectStoreSize = 4 * 2;

}  // namespace

// ---- GClipAttribute -----------------------------------------------------------------

G_DEFINE_PERSISTENT_LEVEL(GClipAttribute, GGraphicAttribute)
RW_DEFINE_RESTORE_OPERATORS(GClipAttribute)

GClipAttribute::GClipAttribute() : fillRule_(kUnsupported), region_(kUnsupported) {}

GClipAttribute::GClipAttribute(int32_t region, int32_t fillRule, const uint32_t& key)
    : GGraphicAttribute(key), fillRule_(fillRule), region_(region) {}

GClipAttribute::GClipAttribute(const GClipAttribute& other) = default;
GClipAttribute::~GClipAttribute() = default;

RWClassID GClipAttribute::isA() const { return classIsA(); }

RWBoolean GClipAttribute::isKindOf(RWClassID id) const { return id == classIsA() || GGraphicAttribute::isKindOf(id); }

RWBoolean GClipAttribute::matches(const MPersistentObject* other) const {
  const auto* o = dynamic_cast<const GClipAttribute*>(other);
  return o && GGraphicAttribute::matches(o) && o->fillRule_ == fillRule_ && o->region_ == region_;
}

RWspace GClipAttribute::levelStoreSize() const { return 4 + 4 + 4; }

template <class Sink>
void GClipAttribute::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, fillRule_);
  gWrite(sink, region_);
}

template <class Source>
void GClipAttribute::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  int32_t fillRule = 0, region = 0;
  if (!gRead(source, fillRule) || !gRead(source, region)) return;
  fillRule_ = fillRule;
  region_ = region;
}

// ---- GClipToPage --------------------------------------------------------------------

G_DEFINE_PERSISTENT(GClipToPage, GClipAttribute)

GClipToPage::GClipToPage() : GClipToPage(AttrId::Clip) {}
GClipToPage::GClipToPage(const uint32_t& key) : GClipAttribute(kInside, kNonZeroWinding, key) {}
GClipToPage::GClipToPage(const GClipToPage& other) = default;

// The page has no area of its own to copy.
GClipToPage& GClipToPage::operator=(const GClipToPage&) { return *this; }

GClipToPage::~GClipToPage() = default;

RWBoolean GClipToPage::isKindOf(RWClassID id) const { return id == classIsA() || GClipAttribute::isKindOf(id); }

RWBoolean GClipToPage::matches(const MPersistentObject* other) const {
  return sameClass(this, other) && GClipAttribute::matches(other);
}

GStatus GClipToPage::accept(GPeripheralHandlers& visitor) { return visitor.onClipToPage(this); }

int32_t GClipToPage::bounds(GRect&) const { return 0; }

RWspace GClipToPage::levelStoreSize() const { return 4; }

template <class Sink>
void GClipToPage::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
}

template <class Source>
void GClipToPage::restoreLevel(Source& source) {
  // No fields follow the version word.
  gReadVersion(source, version());
}

// ---- GClipToPath --------------------------------------------------------------------

G_DEFINE_PERSISTENT(GClipToPath, GClipAttribute)

GClipToPath::GClipToPath() = default;

GClipToPath::GClipToPath(GPathGraphic* path, int32_t region, int32_t fillRule, const uint32_t& key)
    : GClipAttribute(region, fillRule, key), path_(path) {}

GClipToPath::GClipToPath(const GClipToPath& other)
    : GClipAttribute(other), path_(other.path() ? other.path()->copy() : nullptr) {}

GClipToPath& GClipToPath::operator=(const GClipToPath& other) {
  // The copy is made before the path held goes: the other's path may be
  // this clip's own.
  if (this != &other) path_ = GCountedRef(other.path() ? other.path()->copy() : nullptr);
  return *this;
}

GClipToPath::~GClipToPath() = default;

GPathGraphic* GClipToPath::path() const { return static_cast<GPathGraphic*>(path_.get()); }

RWBoolean GClipToPath::isKindOf(RWClassID id) const { return id == classIsA() || GClipAttribute::isKindOf(id); }

RWBoolean GClipToPath::matches(const MPersistentObject* other) const {
  const GClipToPath* o = sameClass(this, other);
  if (!o || !GClipAttribute::matches(o)) return FALSE;
  if (!path() || !o->path()) return !path() && !o->path();
  return path()->matches(o->path());
}

GStatus GClipToPath::accept(GPeripheralHandlers& visitor) { return visitor.onClipToPath(this); }

int32_t GClipToPath::bounds(GRect& out) const {
  if (!path()) return 0;
  out = path()->boundingBox();
  return 1;
}

RWspace GClipToPath::levelStoreSize() const {
  const RWCollectable* stored = path() ? static_cast<const RWCollectable*>(path()) : rwNilCollectable();
  return 4 + stored->recursiveStoreSize();
}

template <class Sink>
void GClipToPath::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  sink << static_cast<const RWCollectable*>(path());
}

template <class Source>
void GClipToPath::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  // The path may name nothing that encloses this clip (a path whose
  // bundle holds the clip): that would be a cycle, not a path to own.
  MRestoreScope scope(this);
  RWCollectable::Restored r = RWCollectable::restoreObject(source, nullptr);
  if (r.failed) return;
  if (!gReadable(source)) {
    // Cut short inside the path: what it holds is not all there, and the
    // clip keeps the path it had.
    if (r.object && r.fresh) RWCollectable::discardRestored(r.object);
    return;
  }
  auto* path = dynamic_cast<GPathGraphic*>(r.object);
  if (!path) {
    if (r.object && r.fresh) RWCollectable::discardRestored(r.object);
    path_ = GCountedRef();
  } else if (r.fresh) {
    path_ = GCountedRef(path);
  } else if (MRestoreScope::encloses(path)) {
    rwReport<RWInternalErr>(RWTOOL_REF());
    path_ = GCountedRef();
  } else {
    // Read earlier, it belongs to whoever read it: the clip owns a copy.
    path_ = GCountedRef(path->copy());
  }
}

// ---- GClipToRectangle ---------------------------------------------------------------

G_DEFINE_PERSISTENT(GClipToRectangle, GClipAttribute)

GClipToRectangle::GClipToRectangle() { rectangles_.reserve(1); }

GClipToRectangle::GClipToRectangle(const GRect& rectangle, int32_t region, int32_t fillRule, const uint32_t& key)
    : GClipAttribute(region, fillRule, key), rectangles_{rectangle} {}

GClipToRectangle::GClipToRectangle(const std::vector<GRect>& rectangles, int32_t region, int32_t fillRule,
                                   const uint32_t& key)
    : GClipAttribute(region, fillRule, key), rectangles_(rectangles) {}

GClipToRectangle::GClipToRectangle(const GClipToRectangle& other) = default;

GClipToRectangle& GClipToRectangle::operator=(const GClipToRectangle& other) {
  rectangles_ = other.rectangles_;
  return *this;
}

GClipToRectangle::~GClipToRectangle() = default;

RWBoolean GClipToRectangle::isKindOf(RWClassID id) const { return id == classIsA() || GClipAttribute::isKindOf(id); }

RWBoolean GClipToRectangle::matches(const MPersistentObject* other) const {
  const GClipToRectangle* o = sameClass(this, other);
  return o && GClipAttribute::matches(o) && o->rectangles_ == rectangles_;
}

GStatus GClipToRectangle::accept(GPeripheralHandlers& visitor) { return visitor.onClipToRectangle(this); }

int32_t GClipToRectangle::bounds(GRect& out) const {
  if (rectangles_.empty()) {
    // The union starts from element 0, which an empty list lacks: the
    // report's handler may return, and the answer then is no bounds.
    rwReportIndex(0, 0);
    return 0;
  }
  GRect u = rectangles_.front();
  for (const GRect& r : rectangles_) {
    u = GRect(std::min(u.left(), r.left()), std::min(u.top(), r.top()), std::max(u.right(), r.right()),
              std::max(u.bottom(), r.bottom()));
  }
  out = u;
  return 1;
}

void GClipToRectangle::rectangleAt(uint32_t index, GRect& out) const {
  out = index < rectangles_.size() ? rectangles_[index] : GRect(0, 0, 0, 0);
}

RWspace GClipToRectangle::levelStoreSize() const {
  return 4 + 4 + static_cast<RWspace>(rectangles_.size()) * kRectStoreSize;
}

template <class Sink>
void GClipToRectangle::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, count());
  for (const GRect& r : rectangles_) writeRect(sink, r);
}

template <class Source>
void GClipToRectangle::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  uint32_t n = 0;
  if (!gRead(source, n)) return;
  // The count is not trusted: the list grows only with rectangles that
  // arrived, and a count beyond them fails at the first one missing. The
  // list read replaces the one held, never adds to it.
  std::vector<GRect> read;
  for (uint32_t i = 0; i < n; ++i) {
    GRect r;
    if (!readRect(source, r)) return;
    read.push_back(r);
  }
  rectangles_ = std::move(read);
}

// ---- GClipToSingleRectangle ---------------------------------------------------------

G_DEFINE_PERSISTENT(GClipToSingleRectangle, GClipAttribute)

GClipToSingleRectangle::GClipToSingleRectangle() : rectangle_(0, 0, 0, 0) {}

GClipToSingleRectangle::GClipToSingleRectangle(const GRect& rectangle, int32_t region, int32_t fillRule,
                                               const uint32_t& key)
    : GClipAttribute(region, fillRule, key), rectangle_(rectangle) {}

GClipToSingleRectangle::GClipToSingleRectangle(const GClipToSingleRectangle& other) = default;

GClipToSingleRectangle& GClipToSingleRectangle::operator=(const GClipToSingleRectangle& other) {
  rectangle_ = other.rectangle_;
  return *this;
}

GClipToSingleRectangle::~GClipToSingleRectangle() = default;

RWBoolean GClipToSingleRectangle::isKindOf(RWClassID id) const {
  return id == classIsA() || GClipAttribute::isKindOf(id);
}

RWBoolean GClipToSingleRectangle::matches(const MPersistentObject* other) const {
  const GClipToSingleRectangle* o = sameClass(this, other);
  return o && GClipAttribute::matches(o) && o->rectangle_ == rectangle_;
}

GStatus GClipToSingleRectangle::accept(GPeripheralHandlers& visitor) { return visitor.onClipToSingleRectangle(this); }

int32_t GClipToSingleRectangle::bounds(GRect& out) const {
  out = rectangle_;
  return 1;
}

RWspace GClipToSingleRectangle::levelStoreSize() const { return 4 + kRectStoreSize; }

template <class Sink>
void GClipToSingleRectangle::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  writeRect(sink, rectangle_);
}

template <class Source>
void GClipToSingleRectangle::restoreLevel(Source& source) {
  if (gReadVersion(source, version())) readRect(source, rectangle_);
}
