// The PCL XL generator's drawing: shapes, paths, the graphics-state
// attributes and the paint operations.
//
// A shape outside a path is a path of its own: NewPath, the shape's path
// operator(s), then PaintPath. Inside a path (pathDepth above 0) the shape
// only adds its operators to the path being built. Coordinates are device
// pixels, written as sint16 values. currentPoint follows where the last
// path element ended, since the relative runs of the poly-line-to and
// poly-Bezier-to shapes count from it; SetCursor moves it to the cursor.
//
// Pen and brush kinds decide how a finished path is painted while source
// and pattern are transparent (transparentMode, set by a raster operation
// of the 16-bit kind): solid colours and opaque patterns are painted with
// both transfer modes set to opaque and back, only patterns whose paint
// asked for transparency are painted as they stand.
//
// Attribute handlers clear the attribute's changed flag; every handler
// answers the write status. A status a handler gets back from what it
// dispatches (a path's pieces, a paint) takes precedence, since that
// handler has already taken the stored one.

#include <algorithm>
#include <array>
#include <limits>
#include <span>

#include "core/greal.h"
#include "device/config.h"
#include "graphics/brush.h"
#include "graphics/clip.h"
#include "graphics/color.h"
#include "graphics/colrend.h"
#include "graphics/lineattr.h"
#include "graphics/paint.h"
#include "graphics/pen.h"
#include "graphics/rop.h"
#include "journal/path.h"
#include "journal/shapes.h"
#include "pdl/cheetah.h"
#include "pdl/xlops.h"
#include "pdl/xlruns.h"

namespace {

// Values of the PCL XL enumerations the handlers write.
enum : uint8_t {
  kArcCounterClockwise = 0,
  kArcClockwise = 1,
  kCapButt = 0,
  kCapRound = 1,
  kCapSquare = 2,
  kJoinMiter = 0,
  kFillNonZero = 0,
  kFillEvenOdd = 1,
  kClipNonZero = 0,
  kClipEvenOdd = 1,
  kClipInterior = 0,
  kClipExterior = 1,
  kTxOpaque = 0,
  kTxTransparent = 1,
  kColorSpaceGray = 1,
  kColorSpaceRGB = 2,
  kNullSource = 0,
  kSolidLine = 0,
};

// The extension codes of the colour-rendering VendorUnique operators.
constexpr uint32_t kVendorColorMap = 0x71781001;
constexpr uint32_t kVendorHalftone = 0x71781002;

// The value codes of the drawing model (graphics/lineattr.h, clip.h).
enum : int32_t { kModelEvenOdd = 0, kModelNonZero = 1, kModelExterior = 1 };

XLBox<int16_t> box16(const GRect& r) { return {r.left(), r.top(), r.right(), r.bottom()}; }
XLXY<int16_t> xy16(const GPoint& p) { return {p.x(), p.y()}; }

std::span<const GPoint> pointsOf(const GPointListGraphic& shape) {
  const GPointArray& list = shape.pointArray();
  return list.count ? std::span<const GPoint>(list.points, list.count) : std::span<const GPoint>();
}

// The first status that is not 0.
[[nodiscard]] GStatus firstFailure(GStatus a, GStatus b) { return a != 0 ? a : b; }

// A miter limit as the uint16 MiterLength: truncated toward zero, held to
// 0..65535 (NaN gives 0).
uint16_t miterLength(GReal limit) {
  return static_cast<uint16_t>(
      std::clamp<int32_t>(gTruncateSaturated(limit), 0, std::numeric_limits<uint16_t>::max()));
}

uint8_t clipRegion(const GClipAttribute& clip) {
  return clip.region() == kModelExterior ? kClipExterior : kClipInterior;
}

// The colour-rendering extensions carry the device value's low byte alone.
void vendorColorRendering(XLStream& s, uint32_t extension, uint16_t deviceValue) {
  xlWriteUInt32(s, extension);
  xlWriteAttribute(s, XLAttr::VUExtension);
  xlWriteUByte(s, static_cast<uint8_t>(deviceValue & 0xFF));
  xlWriteAttribute(s, XLAttr::VUAttr1);
  xlWriteOperator(s, XLOp::VendorUnique);
}

}  // namespace

// ---- shapes ----------------------------------------------------------------------------

// Every shape goes through here: outside a path it is started with NewPath
// and painted once its operators are written.
template <class Write>
void GCheetah::drawShape(Write&& write) {
  XLStream& s = *stream_;
  const bool own = pathDepth_ == 0;
  if (own) xlNewPath(s);
  write(s);
  if (own) paintPath();
}

void GCheetah::paintPath() {
  XLStream& s = *stream_;
  const bool patternOrColor = brushKind_ == kColorPaintKind || brushKind_ == kOpaquePatternKind;
  const bool strokeOnly =
      brushKind_ == kNoPaintKind && (penKind_ == kColorPaintKind || penKind_ == kOpaquePatternKind);
  const bool opaque = transparentMode_ == 1 && (patternOrColor || strokeOnly);
  if (opaque) {
    xlSetPatternTxMode(s, kTxOpaque);
    xlSetSourceTxMode(s, kTxOpaque);
  }
  xlPaintPath(s);
  if (opaque) {
    xlSetPatternTxMode(s, kTxTransparent);
    xlSetSourceTxMode(s, kTxTransparent);
  }
}

void GCheetah::setCursor(const GPoint& point) {
  xlSetCursor(*stream_, xy16(point));
  currentPoint_ = point;
}

GStatus GCheetah::onArc(GArcGraphic* command) {
  if (command && beginWrite()) {
    const GRect box = command->boundingBox();
    drawShape([&](XLStream& s) {
      xlArcPath(s, box16(box), xy16(command->startPoint()), xy16(command->endPoint()),
                command->direction() != 0 ? kArcClockwise : kArcCounterClockwise);
    });
    currentPoint_ = xlArcEndPoint(box, command->endPoint());
  }
  return takeError();
}

// A chord or a pie goes the other way round when its direction is 0: the
// printer draws from StartPoint to EndPoint in one direction only.
template <class Shape, class Writer>
GStatus GCheetah::drawSegmentShape(Shape* command, Writer writer) {
  if (command && beginWrite()) {
    const GRect box = command->boundingBox();
    const bool reversed = command->direction() == 0;
    const GPoint& from = reversed ? command->endPoint() : command->startPoint();
    const GPoint& to = reversed ? command->startPoint() : command->endPoint();
    drawShape([&](XLStream& s) { writer(s, box16(box), xy16(from), xy16(to)); });
    currentPoint_ = box.topLeft();
  }
  return takeError();
}

GStatus GCheetah::onChord(GChordGraphic* command) {
  return drawSegmentShape(command, [](XLStream& s, XLBox<int16_t> box, XLXY<int16_t> from, XLXY<int16_t> to) {
    xlChordPath(s, box, from, to);
  });
}

GStatus GCheetah::onPie(GPieGraphic* command) {
  return drawSegmentShape(command, [](XLStream& s, XLBox<int16_t> box, XLXY<int16_t> from, XLXY<int16_t> to) {
    xlPiePath(s, box, from, to);
  });
}

GStatus GCheetah::onEllipse(GEllipseGraphic* command) {
  if (command && beginWrite()) {
    const GRect box = command->boundingBox();
    drawShape([&](XLStream& s) { xlEllipsePath(s, box16(box)); });
    currentPoint_ = box.topLeft();
  }
  return takeError();
}

GStatus GCheetah::onRectangle(GRectangleGraphic* command) {
  if (command && beginWrite()) {
    const GRect box = command->boundingBox();
    drawShape([&](XLStream& s) { xlRectanglePath(s, box16(box)); });
    currentPoint_ = box.topLeft();
  }
  return takeError();
}

GStatus GCheetah::onRoundedRectangle(GRoundedRectangleGraphic* command) {
  if (command && beginWrite()) {
    const GRect box = command->boundingBox();
    const GPoint& corner = command->cornerSize();
    drawShape([&](XLStream& s) {
      xlRoundRectanglePath(s, box16(box),
                           XLXY<uint16_t>{static_cast<uint16_t>(corner.x()), static_cast<uint16_t>(corner.y())});
    });
    currentPoint_ = box.topLeft();
  }
  return takeError();
}

GStatus GCheetah::onPolyLine(GPolyLineGraphic* command) {
  if (command && beginWrite()) {
    drawShape([&](XLStream& s) {
      setCursor(command->startPoint());
      currentPoint_ = xlWriteLineRuns(s, currentPoint_, pointsOf(*command));
    });
  }
  return takeError();
}

GStatus GCheetah::onPolyLineTo(GPolyLineToGraphic* command) {
  if (command && command->pointCount() > 0 && beginWrite())
    drawShape([&](XLStream& s) { currentPoint_ = xlWriteLineRuns(s, currentPoint_, pointsOf(*command)); });
  return takeError();
}

GStatus GCheetah::onPolygon(GPolygonGraphic* command) {
  if (command && command->pointCount() > 0 && beginWrite()) {
    drawShape([&](XLStream& s) {
      const std::span<const GPoint> points = pointsOf(*command);
      // The runs start at the first point itself, so the first offset is
      // (0, 0).
      setCursor(points.front());
      currentPoint_ = xlWriteLineRuns(s, currentPoint_, points);
      xlCloseSubPath(s);
    });
  }
  return takeError();
}

GStatus GCheetah::onPolyBezier(GPolyBezierGraphic* command) {
  if (command && command->segmentCount() > 0 && beginWrite()) {
    drawShape([&](XLStream& s) {
      setCursor(command->startPoint());
      currentPoint_ = xlWriteBezierRuns(s, currentPoint_, pointsOf(*command));
    });
  }
  return takeError();
}

GStatus GCheetah::onPolyBezierTo(GPolyBezierToGraphic* command) {
  if (command && command->segmentCount() > 0 && beginWrite())
    drawShape([&](XLStream& s) { currentPoint_ = xlWriteBezierRuns(s, currentPoint_, pointsOf(*command)); });
  return takeError();
}

// A path's pieces (shapes and nested paths) are written into one path: the
// outermost path starts it and paints it, unless it is a clip's path; a
// nested path that is closed closes its sub-path.
GStatus GCheetah::onPath(GPathGraphic* command) {
  if (!command || !beginWrite()) return takeError();
  if (pathDepth_ == 0) xlNewPath(*stream_);
  ++pathDepth_;
  GStatus status = 0;
  for (RWsize i = 0; i < command->members().entries(); ++i)
    if (GCommand* piece = command->child(i)) status = firstFailure(status, piece->accept(*this));
  --pathDepth_;
  if (pathDepth_ > 0) {
    if (command->isClosed()) xlCloseSubPath(*stream_);
  } else if (!recordingClipPath_) {
    paintPath();
  }
  return firstFailure(status, takeError());
}

// ---- brushes and pens --------------------------------------------------------------------

GStatus GCheetah::onBrush(GBrush* attribute) {
  if (!attribute) return takeError();
  GPaint* paint = attribute->paint();
  const GStatus status = paint ? paint->acceptAsBrush(*this) : 0;
  attribute->resetChanged();
  return firstFailure(status, takeError());
}

GStatus GCheetah::onNoBrush(GNoBrush* attribute) {
  if (!attribute) return takeError();
  brushKind_ = kNoPaintKind;
  if (beginWrite()) xlSetBrushNull(*stream_, kNullSource);
  attribute->resetChanged();
  return takeError();
}

GStatus GCheetah::onPen(GPen* attribute) {
  if (!attribute) return takeError();
  if (beginWrite()) xlSetLineDashSolid(*stream_, kSolidLine);
  const GStatus status = penWidthAndPaint(*attribute);
  attribute->resetChanged();
  return firstFailure(status, takeError());
}

GStatus GCheetah::onDashedPen(GDashedPen* attribute) {
  if (!attribute) return takeError();
  if (beginWrite()) {
    // The lengths are 16-bit; LineDashStyle takes them as uint16. A pen
    // without lengths has no pattern to send, and the printer refuses an
    // empty one: it draws solid. A uint16 array counts at most 65,535
    // elements; the lengths past that cannot be sent.
    const uint32_t count = attribute->dashes() ? std::min<uint32_t>(attribute->dashCount(), 0xFFFF) : 0;
    if (count == 0) {
      xlSetLineDashSolid(*stream_, kSolidLine);
    } else {
      const std::span<const uint16_t> dashes(reinterpret_cast<const uint16_t*>(attribute->dashes()), count);
      xlSetLineDash(*stream_, dashes, static_cast<uint16_t>(attribute->dashOffset()));
    }
  }
  const GStatus status = penWidthAndPaint(*attribute);
  attribute->resetChanged();
  return firstFailure(status, takeError());
}

// The paint's operation sets the pen kind whether or not anything can be
// written.
GStatus GCheetah::penWidthAndPaint(GPen& pen) {
  if (beginWrite()) xlSetPenWidth(*stream_, static_cast<uint16_t>(pen.width()));
  GPaint* paint = pen.paint();
  return paint ? paint->acceptAsPen(*this) : 0;
}

GStatus GCheetah::onNoPen(GNoPen* attribute) {
  if (!attribute) return takeError();
  penKind_ = kNoPaintKind;
  if (beginWrite()) xlSetPenNull(*stream_, kNullSource);
  attribute->resetChanged();
  return takeError();
}

// ---- line and fill attributes --------------------------------------------------------------

GStatus GCheetah::onCap(GCap* attribute) {
  if (!attribute) return takeError();
  // The model's caps are 0 round, 1 square, 2 butt.
  static constexpr std::array<uint8_t, 3> kCaps = {kCapRound, kCapSquare, kCapButt};
  const int32_t cap = attribute->cap();
  if (cap >= 0 && cap < static_cast<int32_t>(kCaps.size()) && beginWrite())
    xlSetLineCap(*stream_, kCaps[static_cast<size_t>(cap)]);
  attribute->resetChanged();
  return takeError();
}

GStatus GCheetah::onJoint(GJoint* attribute) {
  if (!attribute) return takeError();
  // The model's joins 0 miter, 1 round, 2 bevel, 3 none are PCL XL's.
  const int32_t join = attribute->join();
  if (join >= 0 && join <= 3 && beginWrite()) xlSetLineJoin(*stream_, static_cast<uint8_t>(join));
  attribute->resetChanged();
  return takeError();
}

GStatus GCheetah::onMiterJoint(GMiterJoint* attribute) {
  if (!attribute) return takeError();
  if (beginWrite()) {
    xlSetMiterLimit(*stream_, miterLength(attribute->miterLimit()));
    xlSetLineJoin(*stream_, kJoinMiter);
  }
  attribute->resetChanged();
  return takeError();
}

GStatus GCheetah::onFillMode(GFillMode* attribute) {
  if (!attribute) return takeError();
  const int32_t mode = attribute->mode();
  if ((mode == kModelEvenOdd || mode == kModelNonZero) && beginWrite())
    xlSetFillMode(*stream_, mode == kModelEvenOdd ? kFillEvenOdd : kFillNonZero);
  attribute->resetChanged();
  return takeError();
}

// ---- clips -----------------------------------------------------------------------------

// The clip's fill rule as the clip mode; a rule the printer does not know
// leaves the mode as it is.
void GCheetah::clipPreamble(const GClipAttribute& clip) {
  const int32_t rule = clip.fillRule();
  if (rule == kModelEvenOdd || rule == kModelNonZero)
    xlSetClipMode(*stream_, rule == kModelEvenOdd ? kClipEvenOdd : kClipNonZero);
}

GStatus GCheetah::onClipToPage(GClipToPage* attribute) {
  if (!attribute) return takeError();
  if (beginWrite()) xlSetClipToPage(*stream_);
  attribute->resetChanged();
  return takeError();
}

GStatus GCheetah::onClipToRectangle(GClipToRectangle* attribute) {
  if (!attribute) return takeError();
  if (beginWrite()) {
    XLStream& s = *stream_;
    clipPreamble(*attribute);
    const uint32_t count = attribute->count();
    GRect r;
    if (count == 1) {
      attribute->rectangleAt(0, r);
      xlSetClipRectangle(s, box16(r), clipRegion(*attribute));
    } else if (count > 1) {
      xlNewPath(s);
      for (uint32_t i = 0; i < count; ++i) {
        attribute->rectangleAt(i, r);
        xlRectanglePath(s, box16(r));
      }
      xlSetClipReplace(s, clipRegion(*attribute));
    }
  }
  attribute->resetChanged();
  return takeError();
}

GStatus GCheetah::onClipToSingleRectangle(GClipToSingleRectangle* attribute) {
  if (!attribute) return takeError();
  if (beginWrite()) {
    clipPreamble(*attribute);
    xlSetClipRectangle(*stream_, box16(attribute->rectangle()), clipRegion(*attribute));
  }
  attribute->resetChanged();
  return takeError();
}

GStatus GCheetah::onClipToPath(GClipToPath* attribute) {
  if (!attribute) return takeError();
  GStatus status = 0;
  if (beginWrite()) {
    if (GPathGraphic* path = attribute->path()) {
      // The path builds the clip: written, not painted.
      recordingClipPath_ = 1;
      clipPreamble(*attribute);
      status = path->accept(*this);
      xlSetClipReplace(*stream_, clipRegion(*attribute));
      recordingClipPath_ = 0;
    } else {
      // A clip without a path has no area to clip to: drawing keeps the
      // page, as its bounds say. SetClipReplace here would make a clip of
      // whatever path the printer holds.
      xlSetClipToPage(*stream_);
    }
  }
  attribute->resetChanged();
  return firstFailure(status, takeError());
}

// ---- raster operation and colour rendering ------------------------------------------------

GStatus GCheetah::onRasterOperation(GRasterOperation* attribute) {
  if (!attribute) return takeError();
  if (beginWrite()) {
    XLStream& s = *stream_;
    const uint8_t rop = static_cast<uint8_t>(attribute->code() & 0xFF);
    if (attribute->codeKind() == 0) {
      xlSetROP(s, rop);
    } else if (const GTransferMode mode = gTransferMode(attribute); mode != GTransferMode::none) {
      transparentMode_ = mode == GTransferMode::transparent ? 1 : 0;
      const uint8_t tx = transparentMode_ ? kTxTransparent : kTxOpaque;
      xlSetPatternTxMode(s, tx);
      xlSetSourceTxMode(s, tx);
      xlSetROP(s, rop);
    }
  }
  attribute->resetChanged();
  return takeError();
}

GStatus GCheetah::onColorMap(GColorMap* attribute) {
  if (!attribute) return takeError();
  if (beginWrite()) vendorColorRendering(*stream_, kVendorColorMap, attribute->deviceValue(GCountedPtr(config())));
  attribute->resetChanged();
  return takeError();
}

GStatus GCheetah::onHalftone(GHalftone* attribute) {
  if (!attribute) return takeError();
  if (beginWrite()) vendorColorRendering(*stream_, kVendorHalftone, attribute->deviceValue(GCountedPtr(config())));
  attribute->resetChanged();
  return takeError();
}

// ---- the paint operations ------------------------------------------------------------------

// A colour paint becomes an RGB source in colour mode, a grey level
// otherwise; a paint without a colour selects nothing.
template <class RGB, class Gray>
void GCheetah::colorSource(GColorPaint* paint, RGB rgb, Gray gray) {
  const GColor* colour = paint ? paint->color() : nullptr;
  if (!colour || !beginWrite()) return;
  GRGBColor c;
  colour->toRGB(c);
  if (colorMode_ == 1) {
    const std::array<uint8_t, 3> components = {c.red(), c.green(), c.blue()};
    xlSetColorSpace(*stream_, kColorSpaceRGB);
    rgb(*stream_, XLBytes(components));
  } else {
    xlSetColorSpace(*stream_, kColorSpaceGray);
    gray(*stream_, GColor::luminance(c.red(), c.green(), c.blue()));
  }
}

GStatus GCheetah::setPenColorPaint(GColorPaint* paint) {
  penKind_ = kColorPaintKind;
  colorSource(paint, xlSetPenRGB, xlSetPenGray);
  return takeError();
}

GStatus GCheetah::setBrushColorPaint(GColorPaint* paint) {
  brushKind_ = kColorPaintKind;
  colorSource(paint, xlSetBrushRGB, xlSetBrushGray);
  return takeError();
}

// Raster paints cannot be defined as patterns on the printer yet, which is
// the case of a pattern that fails to be defined: the kind is kept (a
// pattern that did not ask for transparency) and the null source selected.
GStatus GCheetah::setPenRasterPaint(GRasterPaint*) {
  penKind_ = kOpaquePatternKind;
  if (beginWrite()) xlSetPenNull(*stream_, kNullSource);
  return takeError();
}

GStatus GCheetah::setBrushRasterPaint(GRasterPaint*) {
  brushKind_ = kOpaquePatternKind;
  if (beginWrite()) xlSetBrushNull(*stream_, kNullSource);
  return takeError();
}
