#include "journal/scanline.h"

#include <algorithm>
#include <limits>

#include "core/perclass.h"

namespace {

constexpr uint32_t kDefaultDirection = 2;

int16_t held16(int64_t v) {
  return static_cast<int16_t>(
      std::clamp<int64_t>(v, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max()));
}

}  // namespace

// ---- GScanLineGraphic -------------------------------------------------------------

G_DEFINE_PERSISTENT(GScanLineGraphic, GPointListGraphic)

GScanLineGraphic::GScanLineGraphic() = default;

GScanLineGraphic::GScanLineGraphic(const uint32_t& id)
    : GPointListGraphic(nullptr, nullptr, nullptr, kDefaultDirection, id) {}

GScanLineGraphic::GScanLineGraphic(const GPointArray& points, GGraphicBundle* bundle, const uint32_t& id)
    : GPointListGraphic(bundle, nullptr, &points, kDefaultDirection, id) {}

GScanLineGraphic::GScanLineGraphic(const GScanLineGraphic& other) = default;

GScanLineGraphic& GScanLineGraphic::operator=(const GScanLineGraphic& other) {
  GPointListGraphic::operator=(other);
  return *this;
}

GScanLineGraphic::~GScanLineGraphic() = default;

RWBoolean GScanLineGraphic::isKindOf(RWClassID id) const {
  return id == classIsA() || GPointListGraphic::isKindOf(id);
}

GStatus GScanLineGraphic::accept(GPeripheralHandlers& stage) { return stage.onScanLine(this); }

GRect GScanLineGraphic::boundingBox() {
  if (boxKnown() || pointCount() == 0) return GPointListGraphic::boundingBox();
  const int16_t top = pointAt(0)->y();
  int16_t left = 0;
  int16_t right = 0;
  for (uint32_t i = 1; i < pointCount(); ++i) {
    const GPoint& run = *pointAt(i);
    left = i == 1 ? run.x() : std::min(left, run.x());
    right = i == 1 ? run.y() : std::max(right, run.y());
  }
  // One run per row below the top; a count the 16-bit edges cannot hold
  // ends at their limit.
  const int16_t bottom = held16(int64_t{top} + int64_t{pointCount()} - 1);
  setComputedBox(GRect(left, top, right, bottom));
  return GPointListGraphic::boundingBox();
}

RWspace GScanLineGraphic::levelStoreSize() const { return 4; }

template <class Sink>
void GScanLineGraphic::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
}

template <class Source>
void GScanLineGraphic::restoreLevel(Source& source) {
  gReadVersion(source, version());
}

// ---- GStartScanLine and GEndScanLine ----------------------------------------------------

#define G_DEFINE_SCAN_LINE_MARK(Class, handler)                                                        \
  G_DEFINE_PERSISTENT(Class, GGraphic)                                                                 \
  Class::Class(GGraphicBundle* bundle, const uint32_t& id) : GGraphic(bundle, id) {}                   \
  Class::Class(const Class& other) = default;                                                          \
  Class& Class::operator=(const Class& other) {                                                        \
    GGraphic::operator=(other);                                                                        \
    return *this;                                                                                      \
  }                                                                                                    \
  Class::~Class() = default;                                                                           \
  RWBoolean Class::isKindOf(RWClassID id) const { return id == classIsA() || GGraphic::isKindOf(id); } \
  RWBoolean Class::matches(const MPersistentObject* other) const {                                     \
    if (other == this) return TRUE;                                                                    \
    return other && other->isA() == isA() && GGraphic::matches(other);                                 \
  }                                                                                                    \
  GStatus Class::accept(GPeripheralHandlers& stage) { return stage.handler(this); }                    \
  RWspace Class::levelStoreSize() const { return 4; }                                                  \
  template <class Sink>                                                                                \
  void Class::saveLevel(Sink& sink) const {                                                            \
    gWriteVersion(sink, version());                                                                    \
  }                                                                                                    \
  template <class Source>                                                                              \
  void Class::restoreLevel(Source& source) {                                                           \
    gReadVersion(source, version());                                                                   \
  }

G_DEFINE_SCAN_LINE_MARK(GStartScanLine, onStartScanLine)
G_DEFINE_SCAN_LINE_MARK(GEndScanLine, onEndScanLine)

#undef G_DEFINE_SCAN_LINE_MARK
