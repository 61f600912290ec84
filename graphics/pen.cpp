#include "graphics/pen.h"

#include <algorithm>
#include <vector>

#include "core/perclass.h"
#include "graphics/paint.h"

// ---- GPen ---------------------------------------------------------------------------

G_DEFINE_PERSISTENT(GPen, GGraphicAttribute)

GPen::GPen() : width_(1) {}
GPen::GPen(int32_t width, GPaint* paint, const uint32_t& key)
    : GGraphicAttribute(key), width_(width), paint_(paint) {}
GPen::GPen(const GPen& other) = default;

GPen& GPen::operator=(const GPen& other) {
  GGraphicAttribute::operator=(other);
  width_ = other.width_;
  paint_ = other.paint_;
  return *this;
}

GPen::~GPen() = default;

RWBoolean GPen::isKindOf(RWClassID id) const { return id == classIsA() || GGraphicAttribute::isKindOf(id); }

RWBoolean GPen::matches(const MPersistentObject* other) const {
  const GPen* o = sameClass(this, other);
  return o && GGraphicAttribute::matches(o) && o->width() == width() && gPaintsMatch(paint(), o->paint());
}

GStatus GPen::accept(GPeripheralHandlers& visitor) { return visitor.onPen(this); }

void GPen::setPaint(GPaint* paint) {
  if (paint != this->paint()) paint_ = GCountedRef(paint);
}

GPaint* GPen::paint() const { return static_cast<GPaint*>(paint_.get()); }

RWspace GPen::levelStoreSize() const { return 4 + 2 + gPaintStoreSize(paint()); }

template <class Sink>
void GPen::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, width());
  sink << static_cast<const RWCollectable*>(paint());
}

template <class Source>
void GPen::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  int16_t width = 0;
  // The width is taken only with its paint: the level is read whole or not
  // at all.
  if (gRead(source, width) && gRestorePaint(source, paint_)) width_ = width;
}

// ---- GNoPen -------------------------------------------------------------------------

G_DEFINE_PERSISTENT(GNoPen, GPen)

GNoPen::GNoPen() : GPen(0, nullptr) {}
GNoPen::GNoPen(const uint32_t& key) : GPen(1, nullptr, key) {}
GNoPen::GNoPen(const GNoPen& other) = default;

GNoPen& GNoPen::operator=(const GNoPen& other) {
  GPen::operator=(other);
  return *this;
}

GNoPen::~GNoPen() = default;

RWBoolean GNoPen::isKindOf(RWClassID id) const { return id == classIsA() || GPen::isKindOf(id); }

RWBoolean GNoPen::matches(const MPersistentObject* other) const { return GPen::matches(other) && !paint(); }

GStatus GNoPen::accept(GPeripheralHandlers& visitor) { return visitor.onNoPen(this); }

RWspace GNoPen::levelStoreSize() const { return 4; }

template <class Sink>
void GNoPen::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
}

template <class Source>
void GNoPen::restoreLevel(Source& source) {
  // No fields follow the version word, so its value changes nothing.
  gReadVersion(source, version());
}

// ---- GDashedPen ---------------------------------------------------------------------

namespace {

std::unique_ptr<int16_t[]> copyOfDashes(const int16_t* dashes, uint32_t count) {
  if (!dashes || count == 0) return nullptr;
  auto copied = std::make_unique<int16_t[]>(count);
  std::copy(dashes, dashes + count, copied.get());
  return copied;
}

}  // namespace

G_DEFINE_PERSISTENT(GDashedPen, GPen)

GDashedPen::GDashedPen() : GPen(0, nullptr), dashCount_(0), dashOffset_(0) {}

GDashedPen::GDashedPen(std::unique_ptr<int16_t[]> dashes, uint32_t count, int32_t width, GPaint* paint,
                       int32_t dashOffset, const uint32_t& key)
    : GPen(width, paint, key), dashes_(std::move(dashes)), dashCount_(dashes_ ? count : 0), dashOffset_(dashOffset) {}

GDashedPen::GDashedPen(const GDashedPen& other)
    : GPen(other),
      dashes_(copyOfDashes(other.dashes(), other.dashCount_)),
      dashCount_(dashes_ ? other.dashCount_ : 0),
      dashOffset_(other.dashOffset_) {}

GDashedPen& GDashedPen::operator=(const GDashedPen& other) {
  if (this == &other) return *this;
  GPen::operator=(other);
  dashes_ = copyOfDashes(other.dashes(), other.dashCount_);
  dashCount_ = dashes_ ? other.dashCount_ : 0;
  dashOffset_ = other.dashOffset_;
  return *this;
}

GDashedPen::~GDashedPen() = default;

RWBoolean GDashedPen::isKindOf(RWClassID id) const { return id == classIsA() || GPen::isKindOf(id); }

RWBoolean GDashedPen::matches(const MPersistentObject* other) const {
  if (!GPen::matches(other)) return FALSE;
  const auto* o = dynamic_cast<const GDashedPen*>(other);
  return o && o->dashCount_ == dashCount_ && o->dashOffset() == dashOffset() &&
         (dashCount_ == 0 || std::equal(dashes(), dashes() + dashCount_, o->dashes()));
}

GStatus GDashedPen::accept(GPeripheralHandlers& visitor) { return visitor.onDashedPen(this); }

RWspace GDashedPen::levelStoreSize() const { return 4 + 2 + 4 + 2 * RWspace(dashCount_); }

template <class Sink>
void GDashedPen::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, dashOffset());
  gWrite(sink, dashCount_);
  for (uint32_t i = 0; i < dashCount_; ++i) gWrite(sink, dashes_[i]);
}

template <class Source>
void GDashedPen::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  int16_t offset = 0;
  uint32_t count = 0;
  if (!gRead(source, offset) || !gRead(source, count)) return;
  // The count only bounds the reading: the lengths are gathered as they
  // arrive, so a count the data does not back allocates nothing, and the
  // pattern held is replaced only once every length is there.
  std::vector<int16_t> read;
  for (uint32_t i = 0; i < count; ++i) {
    int16_t length = 0;
    if (!gRead(source, length)) return;
    read.push_back(length);
  }
  dashes_ = copyOfDashes(read.data(), count);
  dashCount_ = count;
  dashOffset_ = offset;
}
