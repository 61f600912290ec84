#include "journal/raster.h"

#include <algorithm>
#include <limits>

#include "core/perclass.h"
#include "core/pointio.h"
#include "graphics/clip.h"

namespace {

// The interiors the kernel hands over are normalised: a rectangle without
// one draws nothing.
bool emptyRect(const GRect& r) { return r.right() <= r.left() || r.bottom() <= r.top(); }

int16_t held16(int64_t v) {
  return static_cast<int16_t>(
      std::clamp<int64_t>(v, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max()));
}

// The overlap of two non-empty rectangles, or none when they only touch or
// miss each other.
GRect overlap(const GRect& a, const GRect& b) {
  const int16_t l = std::max(a.left(), b.left());
  const int16_t t = std::max(a.top(), b.top());
  const int16_t r = std::min(a.right(), b.right());
  const int16_t bo = std::min(a.bottom(), b.bottom());
  return l < r && t < bo ? GRect(l, t, r, bo) : GRect();
}

template <class Sink>
void writeRect(Sink& sink, const GRect& r) {
  gWrite(sink, r.left());
  gWrite(sink, r.top());
  gWrite(sink, r.right());
  gWrite(sink, r.bottom());
}

template <class Source>
bool readRect(Source& source, GRect& r) {
  int16_t edges[4] = {};
  for (int16_t& edge : edges)
    if (!gRead(source, edge)) return false;
  r = GRect(edges[0], edges[1], edges[2], edges[3]);
  return true;
}

// A stored bitmap handle read into a handle of its own; false when the
// read failed or was cut short (a handle whose body was cut keeps the
// empty body it had, so the stream's state says so).
template <class Source>
bool readBitmap(Source& source, GBitmap& into) {
  GBitmap read;
  const RWCollectable::Restored r = RWCollectable::restoreInPlace(source, static_cast<RWCollectable&>(read));
  if (r.failed || r.object != &read || !gReadable(source)) return false;
  into = read;
  return true;
}

}  // namespace

// ---- GRasterGraphic ------------------------------------------------------------------

G_DEFINE_PERSISTENT(GRasterGraphic, GGraphic)

GRasterGraphic::GRasterGraphic() = default;

GRasterGraphic::GRasterGraphic(const GBitmap& bitmap, GGraphicBundle* bundle, const GRect& sourceRect,
                               const GRect& destinationRect, const GBitmap& secondBitmap, const uint32_t& id)
    : GGraphic(bundle, id),
      bitmap_(bitmap),
      sourceRect_(sourceRect),
      destinationRect_(destinationRect),
      secondBitmap_(secondBitmap) {}

GRasterGraphic::GRasterGraphic(const GRasterGraphic& other) = default;

GRasterGraphic& GRasterGraphic::operator=(const GRasterGraphic& other) {
  if (this == &other) return *this;
  GGraphic::operator=(other);
  bitmap_ = other.bitmap_;
  sourceRect_ = other.sourceRect_;
  destinationRect_ = other.destinationRect_;
  secondBitmap_ = other.secondBitmap_;
  return *this;
}

GRasterGraphic::~GRasterGraphic() = default;

RWBoolean GRasterGraphic::isKindOf(RWClassID id) const { return id == classIsA() || GGraphic::isKindOf(id); }

RWBoolean GRasterGraphic::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || !GGraphic::matches(other)) return FALSE;
  const auto* o = dynamic_cast<const GRasterGraphic*>(other);
  return o && bitmap_.matches(&o->bitmap_) && sourceRect_ == o->sourceRect_ &&
         destinationRect_ == o->destinationRect_ && secondBitmap_.matches(&o->secondBitmap_);
}

GStatus GRasterGraphic::accept(GPeripheralHandlers& stage) { return stage.onRaster(this); }

void GRasterGraphic::takeOwnership() {
  // Each answers the buffer it made, or null when the body owned its
  // pixels already (or has none): nothing to act on either way.
  static_cast<void>(bitmap_.makeDataOwned());
  static_cast<void>(secondBitmap_.makeDataOwned());
}

int32_t GRasterGraphic::clipRects(const GClipAttribute* clip, GRect& source, GRect& destination) const {
  source = GRect();
  destination = GRect();
  const GRect& src = sourceRect_;
  const GRect& dst = destinationRect_;
  if (emptyRect(src) || emptyRect(dst)) return 1;
  if (!clip) {
    source = src;
    destination = dst;
    return 1;
  }
  GRect bounds;
  const GRect kept = clip->bounds(bounds) ? overlap(bounds, dst) : dst;
  if (kept == dst || clip->region() == 1) {
    source = src;
    destination = dst;
    return 1;
  }
  if (emptyRect(kept)) return 1;

  // The whole source pixels that cover what the clip keeps, and the device
  // rectangle they map onto.
  const int64_t sw = int64_t{src.right()} - src.left();
  const int64_t sh = int64_t{src.bottom()} - src.top();
  const int64_t dw = int64_t{dst.right()} - dst.left();
  const int64_t dh = int64_t{dst.bottom()} - dst.top();
  const int64_t xl = int64_t{kept.left()} - dst.left();
  const int64_t xt = int64_t{kept.top()} - dst.top();
  const int64_t xr = int64_t{kept.right()} - dst.left();
  const int64_t xb = int64_t{kept.bottom()} - dst.top();
  const int64_t sl = std::clamp<int64_t>(xl * sw / dw, 0, sw);
  const int64_t st = std::clamp<int64_t>(xt * sh / dh, 0, sh);
  const int64_t sr = std::clamp<int64_t>((xr * sw + dw - 1) / dw, 0, sw);
  const int64_t sb = std::clamp<int64_t>((xb * sh + dh - 1) / dh, 0, sh);
  destination = GRect(held16(dst.left() + dw * sl / sw), held16(dst.top() + dh * st / sh),
                      held16(dst.left() + dw * sr / sw), held16(dst.top() + dh * sb / sh));
  source = GRect(held16(src.left() + sl), held16(src.top() + st), held16(src.left() + sr), held16(src.top() + sb));
  return destination == kept ? 1 : 0;
}

RWspace GRasterGraphic::levelStoreSize() const {
  return 4 + bitmap_.recursiveStoreSize() + 8 + 8 + secondBitmap_.recursiveStoreSize();
}

template <class Sink>
void GRasterGraphic::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  sink << static_cast<const RWCollectable&>(bitmap_);
  writeRect(sink, sourceRect_);
  writeRect(sink, destinationRect_);
  sink << static_cast<const RWCollectable&>(secondBitmap_);
}

template <class Source>
void GRasterGraphic::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  // Read whole or not at all: the command keeps what it held until every
  // field is in.
  GBitmap bitmap;
  GRect sourceRect;
  GRect destinationRect;
  GBitmap secondBitmap;
  if (!readBitmap(source, bitmap) || !readRect(source, sourceRect) || !readRect(source, destinationRect) ||
      !readBitmap(source, secondBitmap))
    return;
  bitmap_ = bitmap;
  sourceRect_ = sourceRect;
  destinationRect_ = destinationRect;
  secondBitmap_ = secondBitmap;
}

// ---- GPreScaledRasterGraphic ------------------------------------------------------------

G_DEFINE_PERSISTENT(GPreScaledRasterGraphic, GRasterGraphic)

GPreScaledRasterGraphic::GPreScaledRasterGraphic() = default;

GPreScaledRasterGraphic::GPreScaledRasterGraphic(const GBitmap& bitmap, GGraphicBundle* bundle,
                                                 const GRect& sourceRect, const GRect& destinationRect,
                                                 const GBitmap& secondBitmap, const uint32_t& id)
    : GRasterGraphic(bitmap, bundle, sourceRect, destinationRect, secondBitmap, id) {}

GPreScaledRasterGraphic::GPreScaledRasterGraphic(const GPreScaledRasterGraphic& other) = default;

GPreScaledRasterGraphic& GPreScaledRasterGraphic::operator=(const GPreScaledRasterGraphic& other) {
  GRasterGraphic::operator=(other);
  return *this;
}

GPreScaledRasterGraphic::~GPreScaledRasterGraphic() = default;

RWBoolean GPreScaledRasterGraphic::isKindOf(RWClassID id) const {
  return id == classIsA() || GRasterGraphic::isKindOf(id);
}

RWspace GPreScaledRasterGraphic::levelStoreSize() const { return 4; }

template <class Sink>
void GPreScaledRasterGraphic::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
}

template <class Source>
void GPreScaledRasterGraphic::restoreLevel(Source& source) {
  gReadVersion(source, version());
}
