#include "pdl/xlruns.h"

#include <algorithm>
#include <cmath>

#include "core/greal.h"
#include "pdl/xlops.h"

namespace {

enum : uint8_t { kBytePoints = 1, kWordPoints = 3 };

// A byte run pays for its operator once it covers this many offsets.
constexpr uint32_t kByteRunOffsets = 6;

// What tells line runs from Bezier runs.
struct RunKind {
  uint8_t op;              // LineRelPath or BezierRelPath
  uint32_t offsetsPerUnit;  // 1 for a line, 3 for a Bezier segment
  // Whether a figure whose units all fit is one byte run however short.
  bool shortByteRun;
};

constexpr RunKind kLines{XLOp::LineRelPath, 1, true};
constexpr RunKind kBeziers{XLOp::BezierRelPath, 3, false};

struct Offset {
  int16_t x, y;
};

bool fits(const Offset& o) { return o.x >= -127 && o.x <= 127 && o.y >= -127 && o.y <= 127; }

// The offsets of a figure, made as they are asked for: offset k is point k
// less its origin, the point before it for a line, the point where its
// segment starts for a Bezier.
class Offsets {
 public:
  Offsets(const RunKind& kind, const GPoint& from, std::span<const GPoint> points)
      : kind_(kind), from_(from), points_(points) {}

  Offset at(uint32_t k) const {
    const uint32_t unitStart = k - k % kind_.offsetsPerUnit;
    const GPoint& origin = unitStart == 0 ? from_ : points_[unitStart - 1];
    const GPoint& p = points_[k];
    return {static_cast<int16_t>(p.x() - origin.x()), static_cast<int16_t>(p.y() - origin.y())};
  }

  bool unitFits(uint32_t unit) const {
    for (uint32_t i = 0; i < kind_.offsetsPerUnit; ++i)
      if (!fits(at(unit * kind_.offsetsPerUnit + i))) return false;
    return true;
  }

  // Units [first, last) as runs of one point type, none longer than
  // NumberOfPoints can count.
  void write(XLStream& s, uint32_t first, uint32_t last, bool bytes) const {
    const uint32_t maxUnits = kXLMaxRunPoints / kind_.offsetsPerUnit;
    while (first < last) {
      const uint32_t units = std::min(last - first, maxUnits);
      const uint32_t count = units * kind_.offsetsPerUnit;
      const uint8_t type = bytes ? kBytePoints : kWordPoints;
      if (kind_.op == XLOp::LineRelPath)
        xlLineRelPath(s, static_cast<uint16_t>(count), type);
      else
        xlBezierRelPath(s, static_cast<uint16_t>(count), type);
      xlWriteDataLength(s, count * (bytes ? 2u : 4u));
      for (uint32_t k = first * kind_.offsetsPerUnit; k < (first + units) * kind_.offsetsPerUnit; ++k) {
        const Offset o = at(k);
        if (bytes) {
          xlPutByte(s, static_cast<uint8_t>(o.x));
          xlPutByte(s, static_cast<uint8_t>(o.y));
        } else {
          xlPutUInt16(s, static_cast<uint16_t>(o.x));
          xlPutUInt16(s, static_cast<uint16_t>(o.y));
        }
      }
      first += units;
    }
  }

 private:
  const RunKind& kind_;
  GPoint from_;
  std::span<const GPoint> points_;
};

// Cuts the units of the offsets into word and byte runs (see the header)
// and writes them.
void writeRuns(XLStream& s, const Offsets& offsets, const RunKind& kind, uint32_t units) {
  enum class State { word, candidate, byte };
  State state = State::word;
  uint32_t runStart = 0;        // first unit of the run in progress
  uint32_t candidateStart = 0;  // first unit of a candidate byte run
  for (uint32_t u = 0; u < units; ++u) {
    const bool fit = offsets.unitFits(u);
    switch (state) {
      case State::word:
        if (fit) {
          candidateStart = u;
          state = State::candidate;
        }
        break;
      case State::candidate:
        if (!fit) state = State::word;  // the candidate's units stay in the word run
        break;
      case State::byte:
        if (!fit) {
          offsets.write(s, runStart, u, true);
          runStart = u;
          state = State::word;
        }
        break;
    }
    if (state == State::candidate && (u - candidateStart + 1) * kind.offsetsPerUnit >= kByteRunOffsets) {
      offsets.write(s, runStart, candidateStart, false);
      runStart = candidateStart;
      state = State::byte;
    }
  }
  const bool allBytes = state == State::byte || (state == State::candidate && candidateStart == 0 && kind.shortByteRun);
  offsets.write(s, runStart, units, allBytes);
}

// The two-argument arctangent, in radians, with the quadrant; sine and
// cosine of radians. The real type brings its own: the standard library's
// for a float, the kernel real's functions (found through the argument)
// for the kernel build's.
GReal arcTangent(GReal y, GReal x) { return gAtan2(y, x); }
GReal sine(GReal radians) {
  using std::sin;
  return sin(radians);
}
GReal cosine(GReal radians) {
  using std::cos;
  return cos(radians);
}

// A real truncated toward zero and held to 16 bits.
int16_t toInt16(GReal v) {
  return static_cast<int16_t>(std::clamp<int32_t>(gTruncateSaturated(v), INT16_MIN, INT16_MAX));
}

}  // namespace

GPoint xlWriteLineRuns(XLStream& s, const GPoint& from, std::span<const GPoint> points) {
  if (points.empty()) return from;
  writeRuns(s, Offsets(kLines, from, points), kLines, static_cast<uint32_t>(points.size()));
  return points.back();
}

GPoint xlWriteBezierRuns(XLStream& s, const GPoint& from, std::span<const GPoint> points) {
  const uint32_t segments = static_cast<uint32_t>(points.size() / kBeziers.offsetsPerUnit);
  if (segments == 0) return from;
  writeRuns(s, Offsets(kBeziers, from, points), kBeziers, segments);
  return points[segments * kBeziers.offsetsPerUnit - 1];
}

GPoint xlArcEndPoint(const GRect& box, const GPoint& end) {
  const GReal l = box.left(), t = box.top(), r = box.right(), b = box.bottom();
  const GReal rx = (r - l) * GReal(0.5f);
  const GReal cx = l + rx;
  const GReal cy = t + (b - t) * GReal(0.5f);
  const GReal degrees = arcTangent(GReal(end.y()) - cy, GReal(end.x()) - cx) * GReal(57.29578f);
  const GReal radians = degrees * GReal(0.01745329f);
  const GReal x = cx + rx * cosine(radians);
  // The vertical radius is rx scaled by the aspect ratio; a box of no
  // width has no ratio, and its vertical radius is half its height.
  GReal y;
  if (r != l) {
    const GReal aspect = (b - t) / (r - l);
    y = cy + rx * aspect * sine(radians);
  } else {
    y = cy + (b - t) * GReal(0.5f) * sine(radians);
  }
  return GPoint(toInt16(x), toInt16(y));
}
