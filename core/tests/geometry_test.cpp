#include "core/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

void expectEdges(const GRect& r, int l, int t, int rt, int b) {
  EXPECT_EQ(r.left(), l);
  EXPECT_EQ(r.top(), t);
  EXPECT_EQ(r.right(), rt);
  EXPECT_EQ(r.bottom(), b);
}

TEST(GeometryTest, PointsCompareByCoordinates) {
  GPoint a(3, -4);
  EXPECT_EQ(a, GPoint(3, -4));
  EXPECT_NE(a, GPoint(3, 4));
  EXPECT_NE(a, GPoint(-3, -4));
  a.set(7, 8);
  EXPECT_EQ(a.x(), 7);
  EXPECT_EQ(a.y(), 8);
  EXPECT_EQ(GPoint(), GPoint(0, 0));
}

TEST(GeometryTest, RectangleCornersAreTheEdges) {
  GRect r(GPoint(1, 2), GPoint(3, 4));
  expectEdges(r, 1, 2, 3, 4);
  r.topLeft().setX(-5);
  r.bottomRight().setY(40);
  expectEdges(r, -5, 2, 3, 40);
  EXPECT_EQ(r, GRect(-5, 2, 3, 40));
  EXPECT_NE(r, GRect(-5, 2, 3, 41));
  expectEdges(GRect(), 0, 0, 0, 0);
}

TEST(GeometryTest, NormalizeSwapsOnlyInvertedEdges) {
  GRect r(10, 20, 5, 30);
  r.normalize();
  expectEdges(r, 5, 20, 10, 30);
  GRect s(0, 9, 4, -9);
  s.normalize();
  expectEdges(s, 0, -9, 4, 9);
}

TEST(GeometryTest, EmptyWhenAnEdgePairCoincides) {
  EXPECT_TRUE(GRect(0, 0, 0, 5).isEmpty());
  EXPECT_TRUE(GRect(0, 3, 5, 3).isEmpty());
  // Inverted is not empty: only coinciding edges are.
  EXPECT_FALSE(GRect(10, 0, 5, 5).isEmpty());
}

TEST(GeometryTest, Intersection) {
  expectEdges(GRect(0, 0, 10, 10).intersection(GRect(5, 5, 15, 15)), 5, 5, 10, 10);
  expectEdges(GRect(5, 5, 15, 15).intersection(GRect(0, 0, 10, 10)), 5, 5, 10, 10);
  // Touching along an edge, or apart, overlaps nowhere.
  expectEdges(GRect(0, 0, 10, 10).intersection(GRect(10, 0, 20, 10)), 0, 0, 0, 0);
  expectEdges(GRect(0, 0, 10, 10).intersection(GRect(0, 10, 10, 20)), 0, 0, 0, 0);
  expectEdges(GRect(0, 0, 10, 10).intersection(GRect(30, 30, 40, 40)), 0, 0, 0, 0);
  // Containment gives the inner rectangle.
  expectEdges(GRect(-100, -100, 100, 100).intersection(GRect(-1, 2, 3, 4)), -1, 2, 3, 4);
}

TEST(GeometryTest, OffsetAndExtentsWrapIn16Bits) {
  GRect r(1, 0, 2, 5);
  r.offset(GPoint(32767, 0));
  expectEdges(r, -32768, 0, -32767, 5);
  GRect s(-3, 32767, 10, -32768);
  s.offset(GPoint(3, 1));
  expectEdges(s, 0, -32768, 13, -32767);

  EXPECT_EQ(GRect(-32768, 0, 32767, 0).width(), -1);
  EXPECT_EQ(GRect(0, -32768, 0, 32767).height(), -1);
  EXPECT_EQ(GRect(10, 20, 5, 30).width(), -5);
  EXPECT_EQ(GRect(10, 20, 5, 30).height(), 10);
}

TEST(GeometryTest, PointTripleHoldsItsPoints) {
  GPointTriple t(GPoint(1, 2), GPoint(3, 4), GPoint(5, 6));
  t.second().setX(30);
  GPointTriple u(GPoint(0, 0), GPoint(0, 0), GPoint(0, 0));
  u = t;
  EXPECT_EQ(u.first(), GPoint(1, 2));
  EXPECT_EQ(u.second(), GPoint(30, 4));
  EXPECT_EQ(u.third(), GPoint(5, 6));
}

struct AngleCase {
  float in;
  float out;
};

TEST(GeometryTest, AnglesNormaliseThroughConstructorAndSetter) {
  const AngleCase cases[] = {
      {0.0f, 0.0f},     {359.5f, 359.5f}, {360.0f, 0.0f},   {720.0f, 0.0f},   {725.5f, 5.5f},
      {-90.0f, 270.0f}, {-360.0f, 0.0f},  {-720.0f, 0.0f},  {-450.0f, 270.0f}, {1080.25f, 0.25f},
      // Adding a turn to a tiny negative angle rounds to 360 in single
      // precision, and that is what is kept.
      {-0.0000001f, 360.0f},
  };
  for (const AngleCase& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(GAngle(c.in).degrees(), c.out);
    GAngle a(123.0f);
    EXPECT_EQ(a.setDegrees(c.in).degrees(), c.out);
    EXPECT_EQ(a.degrees(), c.out);
  }
  // An exact multiple of a turn comes out as +0, but -0 itself is in range
  // and kept.
  EXPECT_FALSE(std::signbit(GAngle(-720.0f).degrees()));
  EXPECT_TRUE(std::signbit(GAngle(-0.0f).degrees()));
}

TEST(GeometryTest, HugeAndNonFiniteAnglesEnd) {
  const float inf = std::numeric_limits<float>::infinity();
  EXPECT_EQ(GAngle(std::numeric_limits<float>::quiet_NaN()).degrees(), 0.0f);
  EXPECT_EQ(GAngle(inf).degrees(), 0.0f);
  EXPECT_EQ(GAngle(-inf).degrees(), 0.0f);
  // Far too large to step down by turns; the remainder is still exact.
  // 2^100 = 8 * 2^97, and 2^97 = 2 mod 45 since 2^12 = 4096 = 1 mod 45,
  // so 2^100 = 16 mod 360.
  EXPECT_EQ(GAngle(std::ldexp(1.0f, 100)).degrees(), 16.0f);
  EXPECT_EQ(GAngle(-std::ldexp(1.0f, 100)).degrees(), 344.0f);
  float top = GAngle(std::numeric_limits<float>::max()).degrees();
  EXPECT_GE(top, 0.0f);
  EXPECT_LT(top, 360.0f);
  float negHuge = GAngle(-std::numeric_limits<float>::max()).degrees();
  EXPECT_GE(negHuge, 0.0f);
  EXPECT_LE(negHuge, 360.0f);
}

TEST(GeometryTest, SineAndCosineUseTheSinglePrecisionConstant) {
  GAngle right(90.0f);
  EXPECT_NEAR(right.sine(), 1.0, 1e-12);
  // 90 times 0.0174532924 falls just short of pi/2.
  EXPECT_NE(right.cosine(), 0.0);
  EXPECT_GT(right.cosine(), 0.0);
  EXPECT_LT(right.cosine(), 1e-7);
  const long double product = 90.0L * static_cast<long double>(0.017453292f);
  EXPECT_EQ(right.cosine(), static_cast<double>(std::cos(product)));
  EXPECT_NEAR(GAngle(180.0f).sine(), 0.0, 1e-7);
  EXPECT_NEAR(GAngle(270.0f).sine(), -1.0, 1e-12);
}

TEST(GeometryTest, ScaleFactors) {
  GScaleFactors unit;
  EXPECT_EQ(unit.x(), 1.0f);
  EXPECT_EQ(unit.y(), 1.0f);
  EXPECT_EQ(unit, GScaleFactors(1.0f, 1.0f));
  EXPECT_NE(unit, GScaleFactors(1.0f, 0.5f));
  unit.set(2.0f, 3.0f);
  EXPECT_EQ(unit, GScaleFactors(2.0f, 3.0f));
}

}  // namespace
