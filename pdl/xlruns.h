#ifndef PDL_XLRUNS_H
#define PDL_XLRUNS_H

// Poly-lines and poly-Beziers as relative PCL XL path runs, and the point
// where an arc ends.
//
// A run is one LineRelPath or BezierRelPath: NumberOfPoints (uint16),
// PointType (ubyte), the operator, an embedded-data length and the offsets,
// x then y each. PointType 1 carries every offset as two signed bytes,
// PointType 3 as two raw 16-bit words. Every offset of a line counts from
// the point before it; the three points of a Bezier segment all count from
// the point where the segment starts (the end of the segment before it).
//
// Byte runs halve the data, but a run switch costs eleven bytes of
// operator, so byte runs are only opened for a stretch that pays for it.
// The offsets are cut into runs in order, on units (one offset of a line,
// one whole segment of a Bezier), a unit fitting when each of its offsets
// lies in -127..127 in x and in y:
//   - in a word run, a fitting unit opens a candidate byte run;
//   - a candidate that reaches six offsets (six line offsets, two Bezier
//     segments) becomes a byte run: the word run before it is written;
//   - a unit that does not fit ends a candidate, whose units stay in the
//     word run, or ends a byte run, which is written; a new word run
//     starts with that unit;
//   - at the end the run in progress is written; a pending candidate stays
//     in the word run, except that a line whose offsets all fit is one byte
//     run however short.
// NumberOfPoints is 16 bits while a shape may hold more points: a run of
// more than 65,535 points (21,845 segments) is written as several runs of
// the same type, one after the other, each counting on from where the one
// before it ended, so the figure is the same.
//
// An offset is the 16-bit difference of two points, as the printer adds it
// back to its 16-bit current point.

#include <cstdint>
#include <span>

#include "core/geometry.h"
#include "pdl/xlstream.h"

// The most points one run's NumberOfPoints can carry.
constexpr uint32_t kXLMaxRunPoints = 0xFFFF;

// Writes the points as relative line runs, the first counting from `from`;
// answers the last point (`from` when there are none, and nothing is
// written).
GPoint xlWriteLineRuns(XLStream& s, const GPoint& from, std::span<const GPoint> points);
// Writes the whole segments of the points (one or two points past the last
// whole segment are ignored) as relative Bezier runs, the first segment
// starting at `from`; answers the end of the last segment (`from` when
// there is no whole segment, and nothing is written).
GPoint xlWriteBezierRuns(XLStream& s, const GPoint& from, std::span<const GPoint> points);

// Where an arc drawn in the box towards `end` stops: the point of the
// box's ellipse in the direction of `end` seen from the box's centre,
// truncated toward zero into 16 bits. A box of no width ends on its
// vertical centre line.
GPoint xlArcEndPoint(const GRect& box, const GPoint& end);

#endif
