#ifndef JOURNAL_SHAPES_H
#define JOURNAL_SHAPES_H

// The drawing commands for vector shapes and poly figures.
//
// GPointListGraphic holds what every shape carries: a list of 16-bit
// points, a drawing direction (2 unless given), a bounding box, a start and
// an end point, and a corner size. The eleven shapes differ only in how
// their constructor distributes the points it is given, in their class and
// in the handler of the stage they call:
//
//   GArcGraphic, GChordGraphic, GPieGraphic  box, points, direction: the
//       first point is the start point, the second the end point; both are
//       taken off the list
//   GEllipseGraphic           box, direction; no points
//   GRectangleGraphic         box; no points
//   GRoundedRectangleGraphic  box, points: the first point is the corner
//       size (x the width, y the height), taken off the list
//   GPolyLineGraphic, GPolyBezierGraphic  points: the first is the start
//       point, taken off; the rest are line ends, or Bezier points three
//       to a segment
//   GPolyLineToGraphic, GPolyBezierToGraphic  points, all drawn from the
//       current position
//   GPolygonGraphic           points; when the first and the last differ,
//       the list becomes one of its own that opens with a copy of the last
//       point, so that the figure is closed
// A point that is not there leaves its field (0, 0): nothing past the list
// given is read.
//
// The points: a command made with points borrows them from the caller,
// who keeps them alive until takeOwnership (or takePointsOwnership) copies
// them; points from a list that owned its buffer are copied at once.
// Copies are made with the non-throwing new: when one cannot be made, the
// command keeps the points it borrowed and takePointsOwnership answers 0.
// Taking a point off the list moves the list's start past it; the buffer
// is still freed whole.
//
// The bounding box is the one given at construction, or else computed on
// first use: the start point (even an unset one, (0, 0)) widened by every
// point of the list. A command without points keeps the box it was given.
//
// Copies borrow the other's points (copying them when the other owned its
// buffer) and compute their box afresh. Two shapes match when they are of
// one class, their graphic parts match and their direction, start, end,
// corner size and points are equal in order; the box is not compared.
//
// Stored form of the GPointListGraphic level, after the graphic's: version
// (1); direction (32 bits); the count of points (32 bits), then each point
// (x then y, 16 bits each); the box's validity flag (32 bits); then ten
// 16-bit values: the box's left, top, right and bottom, the start point,
// the end point and the corner size. Each shape stores its own version (1)
// after that and nothing more. A restored shape owns its points. The level
// is read whole or not at all: a level cut short, or one of another
// version, leaves the shape as it was; the stored count only bounds the
// reading, so a count that the data does not back allocates nothing.

#include <cstdint>

#include "core/geometry.h"
#include "core/maybeown.h"
#include "journal/graphic.h"

// The list of points a shape draws. A borrowed list belongs to the caller;
// an owned one to the shape, which frees its buffer.
struct GPointArray {
  uint32_t owned = 0;              // 1 when the buffer is the holder's to free
  const GPoint* buffer = nullptr;  // the allocation, or the caller's array
  const GPoint* points = nullptr;  // the first point in use
  uint32_t count = 0;              // the points in use

  // A list borrowing the caller's points (none when count is 0).
  static GPointArray borrowing(const GPoint* points, uint32_t count);
};

// Abstract (accept): never registered with the factory; isA is its own.
class GPointListGraphic : public GGraphic {
  G_PERSISTENT_LEVEL(GPointListGraphic)

 public:
  // No bundle, id 0, no points, everything 0, direction 2.
  GPointListGraphic();
  GPointListGraphic(const GPointListGraphic& other);
  // Nothing for itself; otherwise the graphic part and what a copy takes.
  GPointListGraphic& operator=(const GPointListGraphic& other);
  ~GPointListGraphic() override;

  static RWClassID classIsA() { return ClassId::GPointListGraphic; }
  static uint32_t version() { return 1; }
  // The points in one segment of a Bezier list.
  static constexpr uint32_t kPointsPerSegment = 3;
  RWClassID isA() const override;
  RWBoolean isKindOf(RWClassID id) const override;
  RWBoolean matches(const MPersistentObject* other) const override;
  // Copies borrowed points (takePointsOwnership).
  void takeOwnership() override;

  // The box, computed on first use when none was given or restored.
  virtual GRect boundingBox();

  const GPoint& startPoint() const { return start_; }
  void setStartPoint(const GPoint& point) { start_ = point; }
  const GPoint& endPoint() const { return end_; }
  void setEndPoint(const GPoint& point) { end_ = point; }
  uint32_t direction() const { return direction_; }
  void setDirection(uint32_t direction) { direction_ = direction; }
  // x the width, y the height of a rounded rectangle's corner ellipse.
  const GPoint& cornerSize() const { return corner_; }
  void setCornerSize(const GPoint& size) { corner_ = size; }

  uint32_t pointCount() const { return points_.count; }
  // The address of point i of the list in use; null past its end.
  const GPoint* pointAt(uint32_t i) const { return i < points_.count ? points_.points + i : nullptr; }
  uint32_t segmentCount() const { return points_.count / kPointsPerSegment; }
  // The list in use, as a description (the command keeps the buffer).
  GPointArray pointArray() const {
    return GPointArray{points_.buffer.owns() ? 1u : 0u, points_.buffer.get(), points_.points, points_.count};
  }
  // Copies borrowed points into a buffer of the command's own: 0 only
  // when that buffer cannot be had (the points stay borrowed).
  int32_t takePointsOwnership();
  // Frees an owned buffer and borrows the other's points, copying them
  // when the other owned its buffer; the box is computed afresh. The
  // command's own list changes nothing but the box.
  void setPointArray(const GPointArray& other);

 protected:
  // The constructors of the shapes: a box (null: none, computed on first
  // use), points (null: none) and a direction. The bundle is stamped 244.
  GPointListGraphic(GGraphicBundle* bundle, const GRect* box, const GPointArray* points, uint32_t direction,
                    const uint32_t& id);

  // Takes the first point off the list and answers it; (0, 0) and nothing
  // taken when the list is empty.
  GPoint takeOff();
  // For a shape whose box follows another rule: whether the box is known
  // (given, restored or computed), and a box it computed, known from then
  // on.
  bool boxKnown() const { return boxValid_ != 0; }
  void setComputedBox(const GRect& box) {
    box_ = box;
    boxValid_ = 1;
  }
  // Makes the list a closed figure: see GPolygonGraphic.
  void close();

 private:
  // The points of other held as this command's list: borrowed, or copied
  // when the other owned them.
  void holdPoints(const GPointArray& other);
  // Holds the list described: its buffer owned when the description says
  // so. An owned buffer held before is freed.
  void adopt(const GPointArray& list);
  // Whether the address lies in this command's owned buffer.
  bool inOwnBuffer(const GPoint* p) const;

  // The list in use: the buffer (the allocation, or the caller's array),
  // the first point in use and the count of points in use.
  struct HeldPoints {
    GMaybeOwned<const GPoint, GArrayFree<const GPoint>> buffer;
    const GPoint* points = nullptr;
    uint32_t count = 0;
  };

  uint32_t direction_;
  HeldPoints points_;
  uint32_t boxValid_;
  GRect box_;
  GPoint start_;
  GPoint end_;
  GPoint corner_;
};

RW_DECLARE_RESTORE_OPERATORS(GPointListGraphic)

// What every shape declares alike: its identity, its stored level (its
// version alone), the copy operations and the handler it calls.
#define G_POINT_LIST_SHAPE(Class)                        \
  G_PERSISTENT_CLASS(Class)                              \
                                                         \
 public:                                                 \
  Class();                                               \
  Class(const Class& other);                             \
  Class& operator=(const Class& other);                  \
  ~Class() override;                                     \
  static RWClassID classIsA() { return ClassId::Class; } \
  static uint32_t version() { return 1; }                \
  RWBoolean isKindOf(RWClassID id) const override;       \
  [[nodiscard]] GStatus accept(GPeripheralHandlers& stage) override;

class GArcGraphic : public GPointListGraphic {
  G_POINT_LIST_SHAPE(GArcGraphic)
  GArcGraphic(GGraphicBundle* bundle, const GRect& box, const GPointArray& points, uint32_t direction,
              const uint32_t& id = 0);
};

class GChordGraphic : public GPointListGraphic {
  G_POINT_LIST_SHAPE(GChordGraphic)
  GChordGraphic(GGraphicBundle* bundle, const GRect& box, const GPointArray& points, uint32_t direction,
                const uint32_t& id = 0);
};

class GPieGraphic : public GPointListGraphic {
  G_POINT_LIST_SHAPE(GPieGraphic)
  GPieGraphic(GGraphicBundle* bundle, const GRect& box, const GPointArray& points, uint32_t direction,
              const uint32_t& id = 0);
};

class GEllipseGraphic : public GPointListGraphic {
  G_POINT_LIST_SHAPE(GEllipseGraphic)
  GEllipseGraphic(GGraphicBundle* bundle, const GRect& box, uint32_t direction, const uint32_t& id = 0);
};

class GRectangleGraphic : public GPointListGraphic {
  G_POINT_LIST_SHAPE(GRectangleGraphic)
  GRectangleGraphic(GGraphicBundle* bundle, const GRect& box, const uint32_t& id = 0);
};

class GRoundedRectangleGraphic : public GPointListGraphic {
  G_POINT_LIST_SHAPE(GRoundedRectangleGraphic)
  GRoundedRectangleGraphic(GGraphicBundle* bundle, const GRect& box, const GPointArray& points, const uint32_t& id = 0);
};

class GPolyLineGraphic : public GPointListGraphic {
  G_POINT_LIST_SHAPE(GPolyLineGraphic)
  GPolyLineGraphic(GGraphicBundle* bundle, const GPointArray& points, const uint32_t& id = 0);
};

class GPolyLineToGraphic : public GPointListGraphic {
  G_POINT_LIST_SHAPE(GPolyLineToGraphic)
  GPolyLineToGraphic(GGraphicBundle* bundle, const GPointArray& points, const uint32_t& id = 0);
};

class GPolyBezierGraphic : public GPointListGraphic {
  G_POINT_LIST_SHAPE(GPolyBezierGraphic)
  GPolyBezierGraphic(GGraphicBundle* bundle, const GPointArray& points, const uint32_t& id = 0);
};

class GPolyBezierToGraphic : public GPointListGraphic {
  G_POINT_LIST_SHAPE(GPolyBezierToGraphic)
  GPolyBezierToGraphic(GGraphicBundle* bundle, const GPointArray& points, const uint32_t& id = 0);
};

class GPolygonGraphic : public GPointListGraphic {
  G_POINT_LIST_SHAPE(GPolygonGraphic)
  GPolygonGraphic(GGraphicBundle* bundle, const GPointArray& points, const uint32_t& id = 0);
};

#undef G_POINT_LIST_SHAPE

RW_DECLARE_RESTORE_OPERATORS(GArcGraphic)
RW_DECLARE_RESTORE_OPERATORS(GChordGraphic)
RW_DECLARE_RESTORE_OPERATORS(GPieGraphic)
RW_DECLARE_RESTORE_OPERATORS(GEllipseGraphic)
RW_DECLARE_RESTORE_OPERATORS(GRectangleGraphic)
RW_DECLARE_RESTORE_OPERATORS(GRoundedRectangleGraphic)
RW_DECLARE_RESTORE_OPERATORS(GPolyLineGraphic)
RW_DECLARE_RESTORE_OPERATORS(GPolyLineToGraphic)
RW_DECLARE_RESTORE_OPERATORS(GPolyBezierGraphic)
RW_DECLARE_RESTORE_OPERATORS(GPolyBezierToGraphic)
RW_DECLARE_RESTORE_OPERATORS(GPolygonGraphic)

#endif
