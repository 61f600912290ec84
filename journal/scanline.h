#ifndef JOURNAL_SCANLINE_H
#define JOURNAL_SCANLINE_H

// The scan-line commands: a block of horizontal runs, sent as a
// GStartScanLine, any number of GScanLineGraphic and a GEndScanLine. The
// generators draw each scan-line graphic as one row of runs.
//
// A GScanLineGraphic is a point-list graphic whose points mean: the first
// point's y is the top row; each point after it is one row's run, its x the
// run's first pixel and its y the run's last. Its box, unless one was given
// or restored, is computed on first use: top the first point's y, bottom
// top + number of points - 1 (held to 16 bits), left the smallest first x
// and right the largest last x of the runs (0 and 0 without runs). A
// graphic without points keeps the box it has.
//
// Stored forms: GScanLineGraphic after the point-list level, GStartScanLine
// and GEndScanLine after the graphic level; each its own version (1) and
// nothing more.

#include <cstdint>

#include "journal/shapes.h"

class GScanLineGraphic : public GPointListGraphic {
  G_PERSISTENT_CLASS(GScanLineGraphic)

 public:
  // No bundle, no points, id 0.
  GScanLineGraphic();
  explicit GScanLineGraphic(const uint32_t& id);
  // The points are held as every point-list graphic holds them (borrowed
  // until takeOwnership); the bundle is stamped 244.
  GScanLineGraphic(const GPointArray& points, GGraphicBundle* bundle, const uint32_t& id = 0);
  GScanLineGraphic(const GScanLineGraphic& other);
  GScanLineGraphic& operator=(const GScanLineGraphic& other);
  ~GScanLineGraphic() override;

  static RWClassID classIsA() { return ClassId::GScanLineGraphic; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  [[nodiscard]] GStatus accept(GPeripheralHandlers& stage) override;
  // See the top of the file.
  GRect boundingBox() override;
};

RW_DECLARE_RESTORE_OPERATORS(GScanLineGraphic)

// The start and the end of a block: graphics with nothing of their own.
// Two match when they are of one class and their graphic parts match.
class GStartScanLine : public GGraphic {
  G_PERSISTENT_CLASS(GStartScanLine)

 public:
  explicit GStartScanLine(GGraphicBundle* bundle = nullptr, const uint32_t& id = 0);
  GStartScanLine(const GStartScanLine& other);
  GStartScanLine& operator=(const GStartScanLine& other);
  ~GStartScanLine() override;

  static RWClassID classIsA() { return ClassId::GStartScanLine; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  RWBoolean matches(const MPersistentObject* other) const override;
  [[nodiscard]] GStatus accept(GPeripheralHandlers& stage) override;
};

RW_DECLARE_RESTORE_OPERATORS(GStartScanLine)

class GEndScanLine : public GGraphic {
  G_PERSISTENT_CLASS(GEndScanLine)

 public:
  explicit GEndScanLine(GGraphicBundle* bundle = nullptr, const uint32_t& id = 0);
  GEndScanLine(const GEndScanLine& other);
  GEndScanLine& operator=(const GEndScanLine& other);
  ~GEndScanLine() override;

  static RWClassID classIsA() { return ClassId::GEndScanLine; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  RWBoolean matches(const MPersistentObject* other) const override;
  [[nodiscard]] GStatus accept(GPeripheralHandlers& stage) override;
};

RW_DECLARE_RESTORE_OPERATORS(GEndScanLine)

#endif
