// Relative line and Bezier runs: how offsets are cut into byte and word
// runs, read back and replayed to the points they came from, runs too long
// for one NumberOfPoints, and where an arc ends.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pdl/tests/xlsink.h"
#include "pdl/xlops.h"
#include "pdl/xlruns.h"
#include "testkit/bytes.h"
#include "testkit/pclxl/xldecode.h"

namespace {

// One run as read back: its operator, NumberOfPoints and PointType.
struct XLRun {
  uint8_t op;
  uint32_t points;
  uint8_t type;
  bool operator==(const XLRun&) const = default;
};

std::ostream& operator<<(std::ostream& os, const XLRun& r) {
  return os << "{" << std::hex << int(r.op) << std::dec << " " << r.points << " type " << int(r.type) << "}";
}

// What a printer makes of the runs: the runs, and the absolute points they
// reach from `from`, each line offset added to the point before it, each
// Bezier offset to the point where its segment starts.
struct Replay {
  std::vector<XLRun> runs;
  std::vector<GPoint> points;
};

Replay replay(const std::string& written, GPoint from) {
  Replay r;
  XLDecodeResult d = decodeXLTokens(written);
  EXPECT_TRUE(d.ok) << d.error;
  GPoint at = from;
  for (const XLOperatorToken& op : d.operators) {
    const uint32_t n = static_cast<uint32_t>(op.find(XLAttr::NumberOfPoints)->value[0]);
    const uint8_t type = static_cast<uint8_t>(op.find(XLAttr::PointType)->value[0]);
    r.runs.push_back({op.tag, n, type});
    const size_t width = type == 1 ? 1 : 2;
    EXPECT_EQ(op.data.size(), n * 2 * width);
    auto value = [&](size_t i) -> int16_t {
      const auto* b = reinterpret_cast<const uint8_t*>(op.data.data()) + i * width;
      return width == 1 ? static_cast<int8_t>(b[0]) : static_cast<int16_t>(b[0] | b[1] << 8);
    };
    const uint32_t group = op.tag == XLOp::BezierRelPath ? 3 : 1;
    for (uint32_t i = 0; i < n; i += group) {
      const GPoint origin = at;
      for (uint32_t j = i; j < i + group; ++j) {
        at = GPoint(static_cast<int16_t>(origin.x() + value(2 * j)), static_cast<int16_t>(origin.y() + value(2 * j + 1)));
        r.points.push_back(at);
      }
    }
  }
  return r;
}

// Points reached from `from` by the offsets, one after the other.
std::vector<GPoint> walk(GPoint from, const std::vector<GPoint>& offsets) {
  std::vector<GPoint> points;
  for (const GPoint& o : offsets) {
    from = GPoint(static_cast<int16_t>(from.x() + o.x()), static_cast<int16_t>(from.y() + o.y()));
    points.push_back(from);
  }
  return points;
}

std::vector<GPoint> repeat(GPoint p, int n) { return std::vector<GPoint>(static_cast<size_t>(n), p); }

std::vector<GPoint> operator+(std::vector<GPoint> a, const std::vector<GPoint>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

constexpr uint8_t L = XLOp::LineRelPath;
constexpr uint8_t B = XLOp::BezierRelPath;

TEST(XLRuns, AWordRunThenAByteRunExactly) {
  XLFixture f;
  const std::vector<GPoint> points = walk({0, 0}, std::vector<GPoint>{{200, 0}} + repeat({1, 1}, 6));
  const GPoint last = xlWriteLineRuns(f.s(), {0, 0}, points);
  EXPECT_EQ(last, GPoint(206, 6));
  EXPECT_EQ(f.written(), bytes({0xC1, 0x01, 0x00, 0xF8, 0x4D, 0xC0, 0x03, 0xF8, 0x50, 0x9D, 0xFB, 0x04,
                                0xC8, 0x00, 0x00, 0x00}) +
                             bytes({0xC1, 0x06, 0x00, 0xF8, 0x4D, 0xC0, 0x01, 0xF8, 0x50, 0x9D, 0xFB, 0x0C}) +
                             std::string(12, '\x01'));
}

struct RunCase {
  const char* what;
  bool bezier;
  std::vector<GPoint> offsets;  // from the point before (line) or as a walk of segment ends (see below)
  std::vector<XLRun> runs;
};

// Bezier cases give each segment as three offsets from its start point.
std::vector<GPoint> bezierPoints(GPoint from, const std::vector<GPoint>& offsets) {
  std::vector<GPoint> points;
  for (size_t i = 0; i < offsets.size(); ++i) {
    if (i % 3 == 0 && i > 0) from = points.back();
    points.emplace_back(static_cast<int16_t>(from.x() + offsets[i].x()), static_cast<int16_t>(from.y() + offsets[i].y()));
  }
  return points;
}

TEST(XLRuns, OffsetsAreCutIntoRunsThatPayForThemselves) {
  const GPoint big{200, 0};
  const GPoint one{1, 1};
  const std::vector<RunCase> cases = {
      {"a candidate of five ended by a big offset stays in the word run", false, repeat(one, 5) + std::vector{big},
       {{L, 6, 3}}},
      {"three small offsets alone are a byte run", false, repeat(one, 3), {{L, 3, 1}}},
      {"a small offset alone is a byte run", false, {one}, {{L, 1, 1}}},
      {"a big offset alone is a word run", false, {big}, {{L, 1, 3}}},
      {"127 fits, -128 does not", false, repeat({127, -127}, 7) + std::vector<GPoint>{{-128, 0}},
       {{L, 7, 1}, {L, 1, 3}}},
      {"a byte run, then a word run holding a short candidate", false,
       repeat(one, 6) + std::vector{big} + repeat(one, 2), {{L, 6, 1}, {L, 3, 3}}},
      {"a short candidate after a big offset stays in the word run", false, std::vector{big} + repeat(one, 3),
       {{L, 4, 3}}},
      {"word, byte, word", false, std::vector{big} + repeat(one, 6) + std::vector{big, big},
       {{L, 1, 3}, {L, 6, 1}, {L, 2, 3}}},
      {"no points, no run", false, {}, {}},
      {"one small segment is a word run", true, repeat(one, 3), {{B, 3, 3}}},
      {"two small segments are a byte run", true, repeat(one, 6), {{B, 6, 1}}},
      {"a segment with one big offset does not fit", true, repeat(one, 2) + std::vector{big} + repeat(one, 6),
       {{B, 3, 3}, {B, 6, 1}}},
      {"a small segment after a big one stays in the word run", true, std::vector{big} + repeat(one, 5),
       {{B, 6, 3}}},
      // Each offset is small from the segment's start though the points
      // lie 240 apart from one another.
      {"segment offsets count from the segment's start", true,
       {{120, 0}, {-120, 0}, {0, 0}, {120, 0}, {-120, 0}, {0, 0}}, {{B, 6, 1}}},
      {"points past the last whole segment are ignored", true, repeat(one, 7), {{B, 6, 1}}},
      {"fewer than three points write nothing", true, repeat(one, 2), {}},
  };
  for (const RunCase& c : cases) {
    SCOPED_TRACE(c.what);
    XLFixture f;
    const GPoint from{1000, -1000};
    const std::vector<GPoint> points = c.bezier ? bezierPoints(from, c.offsets) : walk(from, c.offsets);
    const GPoint last = c.bezier ? xlWriteBezierRuns(f.s(), from, points) : xlWriteLineRuns(f.s(), from, points);
    const Replay r = replay(f.written(), from);
    EXPECT_EQ(r.runs, c.runs);
    const size_t used = c.bezier ? points.size() / 3 * 3 : points.size();
    EXPECT_EQ(r.points, std::vector<GPoint>(points.begin(), points.begin() + static_cast<ptrdiff_t>(used)));
    EXPECT_EQ(last, used ? points[used - 1] : from);
  }
}

TEST(XLRuns, RunsTooLongForNumberOfPointsAreSplitAndTheFigureIsTheSame) {
  // Small steps in a wandering pattern, so the replay proves every point
  // is where it was, and a run of word offsets between.
  std::vector<GPoint> offsets;
  for (int i = 0; i < 70000; ++i) offsets.emplace_back(static_cast<int16_t>(i % 7 - 3), static_cast<int16_t>(i % 5 - 2));
  const GPoint from{-500, 500};
  {
    XLFixture f;
    const std::vector<GPoint> points = walk(from, offsets);
    EXPECT_EQ(xlWriteLineRuns(f.s(), from, points), points.back());
    const Replay r = replay(f.written(), from);
    EXPECT_EQ(r.runs, (std::vector<XLRun>{{L, 65535, 1}, {L, 70000 - 65535, 1}}));
    EXPECT_EQ(r.points, points);
  }
  {
    XLFixture f;
    std::vector<GPoint> big = repeat({300, -300}, 70000);
    const std::vector<GPoint> points = walk(from, big);
    xlWriteLineRuns(f.s(), from, points);
    const Replay r = replay(f.written(), from);
    EXPECT_EQ(r.runs, (std::vector<XLRun>{{L, 65535, 3}, {L, 70000 - 65535, 3}}));
    EXPECT_EQ(r.points, points);
  }
  {
    XLFixture f;
    const std::vector<GPoint> points = bezierPoints(from, offsets);  // 23,333 segments and one point
    EXPECT_EQ(xlWriteBezierRuns(f.s(), from, points), points[69998]);
    const Replay r = replay(f.written(), from);
    EXPECT_EQ(r.runs, (std::vector<XLRun>{{B, 65535, 1}, {B, 69999 - 65535, 1}}));
    EXPECT_EQ(r.points, std::vector<GPoint>(points.begin(), points.begin() + 69999));
  }
}

TEST(XLArcEndPoint, TheEndLiesOnTheEllipseTowardsTheGivenPoint) {
  struct Case {
    const char* what;
    GRect box;
    GPoint end;
    GPoint expected;
  };
  const Case cases[] = {
      {"straight above the centre", {0, 0, 100, 50}, {50, -10}, {50, 0}},
      {"straight below the centre", {0, 0, 100, 50}, {50, 100}, {50, 50}},
      {"to the right", {0, 0, 100, 50}, {400, 25}, {100, 25}},
      {"to the left", {0, 0, 100, 50}, {-5, 25}, {0, 25}},
      {"at 45 degrees on a circle", {0, 0, 100, 100}, {100, 100}, {85, 85}},
      {"on a flat ellipse, towards a point off the axes", {0, 0, 200, 100}, {200, 0}, {189, 27}},
      {"negative coordinates truncate toward zero", {-100, -100, 0, 0}, {0, 0}, {-14, -14}},
      // A box of no width has no aspect ratio: the end lies on its centre
      // line, half its height from the centre.
      {"a box of no width, below", {10, 0, 10, 40}, {10, 50}, {10, 40}},
      {"a box of no width, above", {10, 0, 10, 40}, {10, -5}, {10, 0}},
      {"a box of no width and no height", {5, 5, 5, 5}, {9, 9}, {5, 5}},
      {"the widest box", {-32768, -32768, 32767, 32767}, {32767, 0}, {32767, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(xlArcEndPoint(c.box, c.end), c.expected);
  }
}

}  // namespace
