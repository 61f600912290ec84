#include "journal/shapes.h"

#include <algorithm>
#include <functional>
#include <new>
#include <vector>

#include "core/perclass.h"
#include "core/pointio.h"
#include "graphics/gattrib.h"

namespace {

// A buffer of the command's own holding n points copied from p; null when
// it cannot be had.
GPoint* copyOf(const GPoint* p, uint32_t n) {
  GPoint* copy = new (std::nothrow) GPoint[n];
  if (copy) std::copy(p, p + n, copy);
  return copy;
}

GPointArray ownedArray(const GPoint* buffer, uint32_t n) { return GPointArray{1, buffer, buffer, n}; }

bool samePoints(const GPointArray& a, const GPointArray& b) {
  return a.count == b.count && (a.count == 0 || std::equal(a.points, a.points + a.count, b.points));
}

// A stored count is not trusted: room is made for at most this many points
// before they have been read.
constexpr uint32_t kPointsReservedAhead = 1024;

}  // namespace

GPointArray GPointArray::borrowing(const GPoint* points, uint32_t count) {
  if (!points || count == 0) return GPointArray{};
  return GPointArray{0, points, points, count};
}

// ---- GPointListGraphic --------------------------------------------------------------

G_DEFINE_PERSISTENT_LEVEL(GPointListGraphic, GGraphic)
RW_DEFINE_RESTORE_OPERATORS(GPointListGraphic)

GPointListGraphic::GPointListGraphic() : direction_(2), boxValid_(0) {}

GPointListGraphic::GPointListGraphic(GGraphicBundle* bundle, const GRect* box, const GPointArray* points,
                                     uint32_t direction, const uint32_t& id)
    : GGraphic(bundle, id), direction_(direction), boxValid_(box ? 1 : 0), box_(box ? *box : GRect()) {
  if (points) holdPoints(*points);
}

GPointListGraphic::GPointListGraphic(const GPointListGraphic& other)
    : GGraphic(other),
      direction_(other.direction_),
      boxValid_(0),
      box_(other.box_),
      start_(other.start_),
      end_(other.end_),
      corner_(other.corner_) {
  holdPoints(other.pointArray());
}

GPointListGraphic& GPointListGraphic::operator=(const GPointListGraphic& other) {
  if (this == &other) return *this;
  GGraphic::operator=(other);
  direction_ = other.direction_;
  box_ = other.box_;
  boxValid_ = 0;
  start_ = other.start_;
  end_ = other.end_;
  corner_ = other.corner_;
  holdPoints(other.pointArray());
  return *this;
}

GPointListGraphic::~GPointListGraphic() = default;

RWClassID GPointListGraphic::isA() const { return classIsA(); }

RWBoolean GPointListGraphic::isKindOf(RWClassID id) const { return id == classIsA() || GGraphic::isKindOf(id); }

RWBoolean GPointListGraphic::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || !GGraphic::matches(other)) return FALSE;
  const auto* o = dynamic_cast<const GPointListGraphic*>(other);
  return o && direction_ == o->direction_ && start_ == o->start_ && end_ == o->end_ && corner_ == o->corner_ &&
         samePoints(pointArray(), o->pointArray());
}

void GPointListGraphic::takeOwnership() { takePointsOwnership(); }

GRect GPointListGraphic::boundingBox() {
  if (boxValid_) return box_;
  // A single point spans a box with the start point as well: a line from
  // the start to it has one. Without points the box given stays.
  if (points_.count > 0) {
    int16_t left = start_.x();
    int16_t right = left;
    int16_t top = start_.y();
    int16_t bottom = top;
    for (uint32_t i = 0; i < points_.count; ++i) {
      const GPoint& p = points_.points[i];
      left = std::min(left, p.x());
      right = std::max(right, p.x());
      top = std::min(top, p.y());
      bottom = std::max(bottom, p.y());
    }
    box_ = GRect(left, top, right, bottom);
  }
  boxValid_ = 1;
  return box_;
}

int32_t GPointListGraphic::takePointsOwnership() {
  if (points_.buffer.owns() || points_.count == 0) return 1;
  const GPoint* copy = copyOf(points_.points, points_.count);
  if (!copy) return 0;
  adopt(ownedArray(copy, points_.count));
  return 1;
}

void GPointListGraphic::setPointArray(const GPointArray& other) {
  boxValid_ = 0;
  // Its own list again: freeing the buffer first would leave nothing to
  // borrow or copy.
  if (other.points == points_.points && other.count == points_.count) return;
  holdPoints(other);
}

void GPointListGraphic::holdPoints(const GPointArray& other) {
  GPointArray held = GPointArray::borrowing(other.points, other.count);
  // Points in the buffer about to be freed must be copied whoever owns
  // them.
  if (held.count && (other.owned || inOwnBuffer(held.points))) {
    const GPoint* copy = copyOf(held.points, held.count);
    if (copy) {
      held = ownedArray(copy, held.count);
    } else if (inOwnBuffer(held.points)) {
      return;  // nothing else to hold: the list stays as it is
    }
  }
  adopt(held);
}

void GPointListGraphic::adopt(const GPointArray& list) {
  points_.buffer.reset(list.buffer, list.owned != 0);
  points_.points = list.points;
  points_.count = list.count;
}

bool GPointListGraphic::inOwnBuffer(const GPoint* p) const {
  if (!points_.buffer.owns() || !p) return false;
  const std::less_equal<const GPoint*> atOrBefore;
  return atOrBefore(points_.buffer.get(), p) && std::less<const GPoint*>()(p, points_.points + points_.count);
}

GPoint GPointListGraphic::takeOff() {
  if (points_.count == 0) return GPoint();
  const GPoint first = *points_.points;
  ++points_.points;
  --points_.count;
  return first;
}

void GPointListGraphic::close() {
  if (points_.count == 0) return;
  const GPoint& first = points_.points[0];
  const GPoint& last = points_.points[points_.count - 1];
  if (first == last) return;
  GPoint* closed = new (std::nothrow) GPoint[points_.count + 1];
  if (!closed) return;  // the figure stays open rather than lost
  closed[0] = last;
  std::copy(points_.points, points_.points + points_.count, closed + 1);
  const uint32_t n = points_.count + 1;
  adopt(ownedArray(closed, n));
}

RWspace GPointListGraphic::levelStoreSize() const { return 36 + 4 * static_cast<RWspace>(points_.count); }

template <class Sink>
void GPointListGraphic::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, direction_);
  gWrite(sink, points_.count);
  for (uint32_t i = 0; i < points_.count; ++i) gWritePoint(sink, points_.points[i]);
  gWrite(sink, boxValid_);
  gWritePoint(sink, box_.topLeft());
  gWritePoint(sink, box_.bottomRight());
  gWritePoint(sink, start_);
  gWritePoint(sink, end_);
  gWritePoint(sink, corner_);
}

template <class Source>
void GPointListGraphic::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  uint32_t direction = 0;
  uint32_t count = 0;
  if (!gRead(source, direction) || !gRead(source, count)) return;
  // Room grows only with points actually read.
  std::vector<GPoint> read;
  read.reserve(std::min(count, kPointsReservedAhead));
  for (uint32_t i = 0; i < count; ++i) {
    GPoint p;
    if (!gReadable(source) || !gReadPoint(source, p)) return;
    read.push_back(p);
  }
  uint32_t boxValid = 0;
  GPoint topLeft, bottomRight, start, end, corner;
  if (!gRead(source, boxValid) || !gReadPoint(source, topLeft) || !gReadPoint(source, bottomRight) ||
      !gReadPoint(source, start) || !gReadPoint(source, end) || !gReadPoint(source, corner))
    return;
  GPointArray points;
  if (count) {
    const GPoint* copy = copyOf(read.data(), count);
    if (!copy) return;
    points = ownedArray(copy, count);
  }
  adopt(points);
  direction_ = direction;
  boxValid_ = boxValid;
  box_ = GRect(topLeft, bottomRight);
  start_ = start;
  end_ = end;
  corner_ = corner;
}

// ---- the shapes ---------------------------------------------------------------------

#define G_DEFINE_POINT_LIST_SHAPE(Class, handler)                                                               \
  G_DEFINE_PERSISTENT(Class, GPointListGraphic)                                                                 \
  Class::Class() = default;                                                                                     \
  Class::Class(const Class& other) = default;                                                                   \
  Class& Class::operator=(const Class& other) {                                                                 \
    GPointListGraphic::operator=(other);                                                                        \
    return *this;                                                                                               \
  }                                                                                                             \
  Class::~Class() = default;                                                                                    \
  RWBoolean Class::isKindOf(RWClassID id) const { return id == classIsA() || GPointListGraphic::isKindOf(id); } \
  GStatus Class::accept(GPeripheralHandlers& stage) { return stage.handler(this); }                             \
  RWspace Class::levelStoreSize() const { return 4; }                                                           \
  template <class Sink>                                                                                         \
  void Class::saveLevel(Sink& sink) const {                                                                     \
    gWriteVersion(sink, version());                                                                             \
  }                                                                                                             \
  template <class Source>                                                                                       \
  void Class::restoreLevel(Source& source) {                                                                    \
    gReadVersion(source, version());                                                                            \
  }

namespace {

constexpr uint32_t kDefaultDirection = 2;

}  // namespace

G_DEFINE_POINT_LIST_SHAPE(GArcGraphic, onArc)
G_DEFINE_POINT_LIST_SHAPE(GChordGraphic, onChord)
G_DEFINE_POINT_LIST_SHAPE(GPieGraphic, onPie)
G_DEFINE_POINT_LIST_SHAPE(GEllipseGraphic, onEllipse)
G_DEFINE_POINT_LIST_SHAPE(GRectangleGraphic, onRectangle)
G_DEFINE_POINT_LIST_SHAPE(GRoundedRectangleGraphic, onRoundedRectangle)
G_DEFINE_POINT_LIST_SHAPE(GPolyLineGraphic, onPolyLine)
G_DEFINE_POINT_LIST_SHAPE(GPolyLineToGraphic, onPolyLineTo)
G_DEFINE_POINT_LIST_SHAPE(GPolyBezierGraphic, onPolyBezier)
G_DEFINE_POINT_LIST_SHAPE(GPolyBezierToGraphic, onPolyBezierTo)
G_DEFINE_POINT_LIST_SHAPE(GPolygonGraphic, onPolygon)

// Arcs, chords and pies: the start radial point, then the end radial point.
GArcGraphic::GArcGraphic(GGraphicBundle* bundle, const GRect& box, const GPointArray& points, uint32_t direction,
                         const uint32_t& id)
    : GPointListGraphic(bundle, &box, &points, direction, id) {
  setStartPoint(takeOff());
  setEndPoint(takeOff());
}

GChordGraphic::GChordGraphic(GGraphicBundle* bundle, const GRect& box, const GPointArray& points, uint32_t direction,
                             const uint32_t& id)
    : GPointListGraphic(bundle, &box, &points, direction, id) {
  setStartPoint(takeOff());
  setEndPoint(takeOff());
}

GPieGraphic::GPieGraphic(GGraphicBundle* bundle, const GRect& box, const GPointArray& points, uint32_t direction,
                         const uint32_t& id)
    : GPointListGraphic(bundle, &box, &points, direction, id) {
  setStartPoint(takeOff());
  setEndPoint(takeOff());
}

GEllipseGraphic::GEllipseGraphic(GGraphicBundle* bundle, const GRect& box, uint32_t direction, const uint32_t& id)
    : GPointListGraphic(bundle, &box, nullptr, direction, id) {}

GRectangleGraphic::GRectangleGraphic(GGraphicBundle* bundle, const GRect& box, const uint32_t& id)
    : GPointListGraphic(bundle, &box, nullptr, kDefaultDirection, id) {}

GRoundedRectangleGraphic::GRoundedRectangleGraphic(GGraphicBundle* bundle, const GRect& box, const GPointArray& points,
                                                   const uint32_t& id)
    : GPointListGraphic(bundle, &box, &points, kDefaultDirection, id) {
  setCornerSize(takeOff());
}

GPolyLineGraphic::GPolyLineGraphic(GGraphicBundle* bundle, const GPointArray& points, const uint32_t& id)
    : GPointListGraphic(bundle, nullptr, &points, kDefaultDirection, id) {
  setStartPoint(takeOff());
}

GPolyLineToGraphic::GPolyLineToGraphic(GGraphicBundle* bundle, const GPointArray& points, const uint32_t& id)
    : GPointListGraphic(bundle, nullptr, &points, kDefaultDirection, id) {}

GPolyBezierGraphic::GPolyBezierGraphic(GGraphicBundle* bundle, const GPointArray& points, const uint32_t& id)
    : GPointListGraphic(bundle, nullptr, &points, kDefaultDirection, id) {
  setStartPoint(takeOff());
}

GPolyBezierToGraphic::GPolyBezierToGraphic(GGraphicBundle* bundle, const GPointArray& points, const uint32_t& id)
    : GPointListGraphic(bundle, nullptr, &points, kDefaultDirection, id) {}

GPolygonGraphic::GPolygonGraphic(GGraphicBundle* bundle, const GPointArray& points, const uint32_t& id)
    : GPointListGraphic(bundle, nullptr, &points, kDefaultDirection, id) {
  close();
}
