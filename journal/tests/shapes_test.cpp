// The point-list shapes in memory: the handler each calls, how each
// constructor distributes its points, the box, borrowed and owned points,
// copies and assignment, and matching.

#include "journal/shapes.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "graphics/gattrib.h"
#include "testkit/core/stage.h"

namespace {

using Call = RecordingPeripheral::Call;

std::vector<GPoint> pointsOf(const GPointListGraphic& shape) {
  std::vector<GPoint> v;
  for (uint32_t i = 0; i < shape.pointCount(); ++i) v.push_back(*shape.pointAt(i));
  return v;
}

// A list that owns a copy of the points, as a restored or copied command's
// does.
struct OwnedList {
  explicit OwnedList(std::vector<GPoint> points) : buffer(new GPoint[points.size()]) {
    std::copy(points.begin(), points.end(), buffer.get());
    list = GPointArray{1, buffer.get(), buffer.get(), static_cast<uint32_t>(points.size())};
  }
  std::unique_ptr<GPoint[]> buffer;
  GPointArray list;
};

TEST(Shapes, EachCallsItsOwnHandlerWithItself) {
  GPoint p[] = {GPoint(1, 2), GPoint(3, 4), GPoint(5, 6)};
  const GPointArray three = GPointArray::borrowing(p, 3);
  const GRect box(0, 0, 9, 9);
  const struct {
    const char* handler;
    std::function<GPointListGraphic*()> make;
    RWClassID classId;
  } cases[] = {
      {"onArc", [&] { return new GArcGraphic(nullptr, box, three, 1, 11); }, ClassId::GArcGraphic},
      {"onChord", [&] { return new GChordGraphic(nullptr, box, three, 1, 11); }, ClassId::GChordGraphic},
      {"onPie", [&] { return new GPieGraphic(nullptr, box, three, 1, 11); }, ClassId::GPieGraphic},
      {"onEllipse", [&] { return new GEllipseGraphic(nullptr, box, 1, 11); }, ClassId::GEllipseGraphic},
      {"onRectangle", [&] { return new GRectangleGraphic(nullptr, box, 11); }, ClassId::GRectangleGraphic},
      {"onRoundedRectangle", [&] { return new GRoundedRectangleGraphic(nullptr, box, three, 11); },
       ClassId::GRoundedRectangleGraphic},
      {"onPolyLine", [&] { return new GPolyLineGraphic(nullptr, three, 11); }, ClassId::GPolyLineGraphic},
      {"onPolyLineTo", [&] { return new GPolyLineToGraphic(nullptr, three, 11); }, ClassId::GPolyLineToGraphic},
      {"onPolyBezier", [&] { return new GPolyBezierGraphic(nullptr, three, 11); }, ClassId::GPolyBezierGraphic},
      {"onPolyBezierTo", [&] { return new GPolyBezierToGraphic(nullptr, three, 11); }, ClassId::GPolyBezierToGraphic},
      {"onPolygon", [&] { return new GPolygonGraphic(nullptr, three, 11); }, ClassId::GPolygonGraphic},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.handler);
    RecordingPeripheral stage;
    const GCommandPtr shape(c.make());
    EXPECT_EQ(shape->isA(), c.classId);
    for (RWClassID kind :
         {c.classId, ClassId::GPointListGraphic, ClassId::GGraphic, ClassId::GCommand, ClassId::MPersistentObject})
      EXPECT_TRUE(shape->isKindOf(kind)) << kind;
    EXPECT_EQ(stage.process(shape), shape);
    EXPECT_EQ(stage.calls(), (std::vector<Call>{{c.handler, c.classId, 11}}));
  }
}

TEST(Shapes, ConstructorsDistributeThePointsTheyAreGiven) {
  GPoint p[] = {GPoint(1, 2), GPoint(3, 4), GPoint(5, 6)};
  const GRect box(-1, -2, 7, 8);
  GArcGraphic arc(nullptr, box, GPointArray::borrowing(p, 3), 1);
  EXPECT_EQ(arc.startPoint(), GPoint(1, 2));
  EXPECT_EQ(arc.endPoint(), GPoint(3, 4));
  EXPECT_EQ(pointsOf(arc), std::vector<GPoint>{GPoint(5, 6)});
  EXPECT_EQ(arc.direction(), 1u);
  EXPECT_EQ(arc.boundingBox(), box) << "the box given, whatever the points";

  GRoundedRectangleGraphic rounded(nullptr, box, GPointArray::borrowing(p, 1));
  EXPECT_EQ(rounded.cornerSize(), GPoint(1, 2));
  EXPECT_EQ(rounded.pointCount(), 0u);
  EXPECT_EQ(rounded.direction(), 2u);

  GPolyBezierGraphic bezier(nullptr, GPointArray::borrowing(p, 3));
  EXPECT_EQ(bezier.startPoint(), GPoint(1, 2));
  EXPECT_EQ(pointsOf(bezier), (std::vector<GPoint>{GPoint(3, 4), GPoint(5, 6)}));
  EXPECT_EQ(bezier.pointArray().buffer, p) << "the buffer stays where it was";

  GPolyBezierToGraphic to(nullptr, GPointArray::borrowing(p, 3));
  EXPECT_EQ(to.startPoint(), GPoint(0, 0));
  EXPECT_EQ(to.pointCount(), 3u);
  EXPECT_EQ(to.segmentCount(), 1u);

  GPoint seven[7];
  EXPECT_EQ(GPolyBezierToGraphic(nullptr, GPointArray::borrowing(seven, 7)).segmentCount(), 2u);

  GEllipseGraphic ellipse(nullptr, box, 1);
  EXPECT_EQ(ellipse.pointCount(), 0u);
  EXPECT_EQ(ellipse.pointAt(0), nullptr);
  EXPECT_EQ(ellipse.boundingBox(), box);
}

TEST(Shapes, MissingPointsLeaveTheirFieldsZero) {
  // Fewer points than a constructor distributes: nothing past the list is
  // read (the sanitizer build would stop on it).
  auto one = std::make_unique<GPoint[]>(1);
  one[0] = GPoint(4, 5);
  const GRect box(0, 0, 3, 3);
  GArcGraphic arc(nullptr, box, GPointArray::borrowing(one.get(), 1), 1);
  EXPECT_EQ(arc.startPoint(), GPoint(4, 5));
  EXPECT_EQ(arc.endPoint(), GPoint(0, 0));
  EXPECT_EQ(arc.pointCount(), 0u);
  GPieGraphic pie(nullptr, box, GPointArray(), 1);
  EXPECT_EQ(pie.startPoint(), GPoint(0, 0));
  GRoundedRectangleGraphic rounded(nullptr, box, GPointArray());
  EXPECT_EQ(rounded.cornerSize(), GPoint(0, 0));
  GPolyLineGraphic line(nullptr, GPointArray::borrowing(nullptr, 4));
  EXPECT_EQ(line.pointCount(), 0u) << "no points behind a count";
  GPolygonGraphic polygon(nullptr, GPointArray());
  EXPECT_EQ(polygon.pointCount(), 0u);
}

TEST(Shapes, APolygonIsClosedWithACopyOfItsLastPoint) {
  GPoint open[] = {GPoint(0, 0), GPoint(10, 0), GPoint(10, 10)};
  GPolygonGraphic polygon(nullptr, GPointArray::borrowing(open, 3));
  EXPECT_EQ(pointsOf(polygon), (std::vector<GPoint>{GPoint(10, 10), GPoint(0, 0), GPoint(10, 0), GPoint(10, 10)}));
  EXPECT_EQ(polygon.pointArray().owned, 1u);

  GPoint closed[] = {GPoint(0, 0), GPoint(10, 0), GPoint(0, 0)};
  GPolygonGraphic same(nullptr, GPointArray::borrowing(closed, 3));
  EXPECT_EQ(pointsOf(same), (std::vector<GPoint>{GPoint(0, 0), GPoint(10, 0), GPoint(0, 0)}));
  EXPECT_EQ(same.pointArray().points, closed) << "still borrowed";

  OwnedList owned({GPoint(1, 1), GPoint(2, 2)});
  GPolygonGraphic fromOwned(nullptr, owned.list);
  EXPECT_EQ(pointsOf(fromOwned), (std::vector<GPoint>{GPoint(2, 2), GPoint(1, 1), GPoint(2, 2)}));
  EXPECT_NE(fromOwned.pointArray().buffer, owned.buffer.get());
}

TEST(Shapes, TheBoxSpansTheStartPointAndEveryPoint) {
  GPoint one[] = {GPoint(4, 6)};
  GPolyLineGraphic single(nullptr, GPointArray::borrowing(one, 1));
  EXPECT_EQ(single.startPoint(), GPoint(4, 6));
  EXPECT_EQ(single.pointCount(), 0u);
  EXPECT_EQ(single.boundingBox(), GRect(0, 0, 0, 0));

  GPoint two[] = {GPoint(5, 5), GPoint(7, 9)};
  GPolyLineToGraphic to(nullptr, GPointArray::borrowing(two, 2));
  EXPECT_EQ(to.boundingBox(), GRect(0, 0, 7, 9)) << "the unset start point (0, 0) counts";

  // One line from the start point: a box all the same.
  GPoint segment[] = {GPoint(2, 3), GPoint(8, -1)};
  GPolyLineGraphic line(nullptr, GPointArray::borrowing(segment, 2));
  EXPECT_EQ(line.pointCount(), 1u);
  EXPECT_EQ(line.boundingBox(), GRect(2, -1, 8, 3));

  // Computed once: changing borrowed points afterwards changes nothing
  // until the list is set again.
  two[1] = GPoint(20, 20);
  EXPECT_EQ(to.boundingBox(), GRect(0, 0, 7, 9));
  to.setPointArray(GPointArray::borrowing(two, 2));
  EXPECT_EQ(to.boundingBox(), GRect(0, 0, 20, 20));
}

TEST(Shapes, BorrowedPointsAreCopiedWhenOwnershipIsTaken) {
  GPoint p[] = {GPoint(1, 1), GPoint(2, 2)};
  GPolyLineToGraphic line(nullptr, GPointArray::borrowing(p, 2));
  EXPECT_EQ(line.pointArray().owned, 0u);
  EXPECT_EQ(line.takePointsOwnership(), 1);
  EXPECT_EQ(line.pointArray().owned, 1u);
  p[0] = GPoint(9, 9);
  EXPECT_EQ(pointsOf(line), (std::vector<GPoint>{GPoint(1, 1), GPoint(2, 2)}));
  EXPECT_EQ(line.takePointsOwnership(), 1) << "already owned";

  GPolyLineToGraphic empty(nullptr, GPointArray());
  EXPECT_EQ(empty.takePointsOwnership(), 1);
  EXPECT_EQ(empty.pointArray().owned, 0u);

  // Points from a list that owned its buffer are copied at once.
  OwnedList owned({GPoint(3, 3)});
  GPolyLineToGraphic copied(nullptr, owned.list);
  EXPECT_EQ(copied.pointArray().owned, 1u);
  EXPECT_NE(copied.pointArray().points, owned.buffer.get());
}

TEST(Shapes, CopiesBorrowWhatIsBorrowedAndCopyWhatIsOwned) {
  GPoint p[] = {GPoint(1, 1), GPoint(2, 2), GPoint(3, 3)};
  GPolyLineGraphic borrowed(new GGraphicBundle, GPointArray::borrowing(p, 3), 4);
  borrowed.setEndPoint(GPoint(7, 7));
  GPolyLineGraphic copy(borrowed);
  EXPECT_EQ(copy.pointArray().points, p + 1);
  EXPECT_EQ(copy.attributePointer(), borrowed.attributePointer());
  EXPECT_TRUE(copy.matches(&borrowed));

  GPolyLineGraphic owning(borrowed);
  owning.takePointsOwnership();
  GPolyLineGraphic second(owning);
  EXPECT_EQ(second.pointArray().owned, 1u);
  EXPECT_NE(second.pointArray().points, owning.pointArray().points);
  EXPECT_TRUE(second.matches(&owning));

  GPolyLineGraphic assigned(nullptr, GPointArray());
  assigned = owning;
  EXPECT_EQ(assigned.pointArray().owned, 1u);
  EXPECT_NE(assigned.pointArray().points, owning.pointArray().points);
  EXPECT_TRUE(assigned.matches(&owning));
  EXPECT_EQ(assigned.id(), 4u);
}

TEST(Shapes, ItsOwnPointsGivenBackChangeNothing) {
  // Freeing the owned buffer first would leave nothing to copy.
  OwnedList owned({GPoint(1, 1), GPoint(2, 2), GPoint(3, 3)});
  GPolyLineGraphic line(nullptr, owned.list);
  const std::vector<GPoint> before = pointsOf(line);
  const struct {
    const char* what;
    std::function<void()> act;
  } cases[] = {
      {"assigned to itself", [&] { line = *&line; }},
      {"its own list", [&] { line.setPointArray(line.pointArray()); }},
      {"a copy of its own list",
       [&] {
         const GPointArray same = line.pointArray();
         line.setPointArray(same);
       }},
      {"a borrowed tail of its own buffer", [&] { line.setPointArray(GPointArray::borrowing(line.pointAt(1), 1)); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.act();
    ASSERT_GT(line.pointCount(), 0u);
    EXPECT_EQ(line.pointArray().owned, 1u);
    EXPECT_EQ(*line.pointAt(line.pointCount() - 1), before.back());
  }
  EXPECT_EQ(pointsOf(line), std::vector<GPoint>{GPoint(3, 3)}) << "the tail, copied";
}

TEST(Shapes, MatchingComparesEverythingButTheBox) {
  GPoint p[] = {GPoint(1, 1), GPoint(2, 2)};
  GPoint q[] = {GPoint(1, 1), GPoint(2, 3)};
  const GPointArray list = GPointArray::borrowing(p, 2);
  auto line = [&](const GPointArray& points) { return std::make_unique<GPolyLineToGraphic>(nullptr, points, 1); };
  std::unique_ptr<GPolyLineToGraphic> a = line(list);
  EXPECT_TRUE(a->matches(line(list).get()));
  EXPECT_FALSE(a->matches(line(GPointArray::borrowing(q, 2)).get())) << "a point differs";
  EXPECT_FALSE(a->matches(line(GPointArray::borrowing(p, 1)).get())) << "the count differs";
  const std::function<void(GPointListGraphic&)> changes[] = {
      [](GPointListGraphic& s) { s.setDirection(1); },
      [](GPointListGraphic& s) { s.setStartPoint(GPoint(0, 1)); },
      [](GPointListGraphic& s) { s.setEndPoint(GPoint(1, 0)); },
      [](GPointListGraphic& s) { s.setCornerSize(GPoint(1, 1)); },
      [](GPointListGraphic& s) { s.setId(2); },
  };
  for (const auto& change : changes) {
    std::unique_ptr<GPolyLineToGraphic> b = line(list);
    change(*b);
    EXPECT_FALSE(a->matches(b.get()));
  }
  GPolyBezierToGraphic otherClass(nullptr, list, 1);
  EXPECT_FALSE(a->matches(&otherClass));
  GRectangleGraphic r1(nullptr, GRect(0, 0, 1, 1), 1);
  GRectangleGraphic r2(nullptr, GRect(0, 0, 5, 5), 1);
  EXPECT_TRUE(r1.matches(&r2)) << "the box is not compared";
}

}  // namespace
