#include "testkit/core/stage.h"

#include "core/enumattr.h"
#include "core/perclass.h"
#include "core/valattr.h"
#include "graphics/brush.h"
#include "graphics/clip.h"
#include "graphics/colrend.h"
#include "graphics/lineattr.h"
#include "graphics/pen.h"
#include "graphics/rop.h"
#include "graphics/transfrm.h"
#include "journal/ctlcmds.h"
#include "journal/path.h"
#include "journal/raster.h"
#include "journal/scanline.h"
#include "journal/shapes.h"

G_DEFINE_PERSISTENT(RecordingPeripheral, GPeripheral)

RecordingPeripheral::RecordingPeripheral() = default;

RecordingPeripheral::RecordingPeripheral(const RWCString& name, const uint32_t& id)
    : GPeripheral(name, nullptr, nullptr, id) {}

RecordingPeripheral::RecordingPeripheral(const RWCString& name, GState* defaults, GConfiguration* config,
                                         const uint32_t& id, uint32_t addOnListId, int32_t kind, int32_t mode)
    : GPeripheral(name, defaults, config, id, addOnListId, kind, mode) {}

RecordingPeripheral::RecordingPeripheral(const RecordingPeripheral& other)
    : GPeripheral(other),
      byHandler_(other.byHandler_),
      byObject_(other.byObject_),
      swallowed_(other.swallowed_),
      disablers_(other.disablers_) {}

RecordingPeripheral& RecordingPeripheral::operator=(const RecordingPeripheral& other) {
  if (this == &other) return *this;
  GPeripheral::operator=(other);
  byHandler_ = other.byHandler_;
  byObject_ = other.byObject_;
  swallowed_ = other.swallowed_;
  disablers_ = other.disablers_;
  return *this;
}

RecordingPeripheral::~RecordingPeripheral() = default;

RWBoolean RecordingPeripheral::isKindOf(RWClassID id) const { return id == classIsA() || GPeripheral::isKindOf(id); }

// Nothing of its own is stored: the stage's level is the last.
RWspace RecordingPeripheral::levelStoreSize() const { return 0; }

template <class Sink>
void RecordingPeripheral::saveLevel(Sink&) const {}

template <class Source>
void RecordingPeripheral::restoreLevel(Source&) {}

std::vector<std::string> RecordingPeripheral::handlers() const {
  std::vector<std::string> names;
  for (const Call& c : calls_) names.push_back(c.handler);
  return names;
}

GCommandPtr RecordingPeripheral::dispatch(const GCommandPtr& command) {
  if (command && swallowed_.count(command->isA())) return GCommandPtr(new GNoCommand);
  GCommandPtr result = GPeripheral::dispatch(command);
  if (command && disablers_.count(command->isA())) disable();
  return result;
}

GStatus RecordingPeripheral::record(const char* handler, const MPersistentObject* object, GStatus otherwise) {
  calls_.push_back(Call{handler, object ? object->isA() : RWClassID(0), object ? object->id() : 0u});
  auto byObject = byObject_.find(object);
  if (object && byObject != byObject_.end()) return byObject->second;
  auto byHandler = byHandler_.find(handler);
  if (byHandler != byHandler_.end()) return byHandler->second;
  return otherwise;
}

GStatus RecordingPeripheral::recordName(const char* handler) { return record(handler, nullptr); }

GStatus RecordingPeripheral::consume(const char* handler, GAttribute* attribute) {
  const GStatus status = record(handler, attribute);
  if (attribute) attribute->resetChanged();
  return status;
}

GStatus RecordingPeripheral::onDocumentStart(GDocumentStart* command) {
  const GStatus base = GPeripheral::onDocumentStart(command);
  return record("onDocumentStart", command, base);
}

GStatus RecordingPeripheral::onDocumentEnd(GDocumentEnd* command) {
  const GStatus base = GPeripheral::onDocumentEnd(command);
  return record("onDocumentEnd", command, base);
}

GStatus RecordingPeripheral::onManualDuplexFirstHalf(GManualDuplexFirstHalf* command) {
  return record("onManualDuplexFirstHalf", command);
}

GStatus RecordingPeripheral::onPageStart(GPageStart* command) {
  const GStatus base = GPeripheral::onPageStart(command);
  return record("onPageStart", command, base);
}

GStatus RecordingPeripheral::onPageEnd(GPageEnd* command) {
  const GStatus base = GPeripheral::onPageEnd(command);
  return record("onPageEnd", command, base);
}

GStatus RecordingPeripheral::onJobAbort(GJobAbort* command) {
  const GStatus base = GPeripheral::onJobAbort(command);
  return record("onJobAbort", command, base);
}

GStatus RecordingPeripheral::onErrorCommand(GErrorCommand* command) { return record("onErrorCommand", command); }

GStatus RecordingPeripheral::onValueAttribute(GValueAttribute* attribute) {
  return consume("onValueAttribute", attribute);
}

GStatus RecordingPeripheral::onStringAttribute(GStringAttribute* attribute) {
  return consume("onStringAttribute", attribute);
}

GStatus RecordingPeripheral::onEnumAttribute(GEnumAttribute* attribute) {
  return consume("onEnumAttribute", attribute);
}

GStatus RecordingPeripheral::onRangeAttribute(GRangeAttribute* attribute) {
  return consume("onRangeAttribute", attribute);
}

GStatus RecordingPeripheral::onTransformAttribute(GTransformAttribute* attribute) {
  return consume("onTransformAttribute", attribute);
}

// The graphics-state attributes, consumed as a generator consumes them.
GStatus RecordingPeripheral::onCap(GCap* attribute) { return consume("onCap", attribute); }
GStatus RecordingPeripheral::onClipToPage(GClipToPage* attribute) { return consume("onClipToPage", attribute); }
GStatus RecordingPeripheral::onClipToPath(GClipToPath* attribute) { return consume("onClipToPath", attribute); }
GStatus RecordingPeripheral::onClipToRectangle(GClipToRectangle* attribute) {
  return consume("onClipToRectangle", attribute);
}
GStatus RecordingPeripheral::onClipToSingleRectangle(GClipToSingleRectangle* attribute) {
  return consume("onClipToSingleRectangle", attribute);
}
GStatus RecordingPeripheral::onColorMap(GColorMap* attribute) { return consume("onColorMap", attribute); }
GStatus RecordingPeripheral::onFillMode(GFillMode* attribute) { return consume("onFillMode", attribute); }
GStatus RecordingPeripheral::onHalftone(GHalftone* attribute) { return consume("onHalftone", attribute); }
GStatus RecordingPeripheral::onJoint(GJoint* attribute) { return consume("onJoint", attribute); }
GStatus RecordingPeripheral::onMiterJoint(GMiterJoint* attribute) { return consume("onMiterJoint", attribute); }
GStatus RecordingPeripheral::onRasterOperation(GRasterOperation* attribute) {
  return consume("onRasterOperation", attribute);
}
GStatus RecordingPeripheral::onBrush(GBrush* attribute) { return consume("onBrush", attribute); }
GStatus RecordingPeripheral::onNoBrush(GNoBrush* attribute) { return consume("onNoBrush", attribute); }
GStatus RecordingPeripheral::onPen(GPen* attribute) { return consume("onPen", attribute); }
GStatus RecordingPeripheral::onNoPen(GNoPen* attribute) { return consume("onNoPen", attribute); }
GStatus RecordingPeripheral::onDashedPen(GDashedPen* attribute) { return consume("onDashedPen", attribute); }

// ---- drawing commands ------------------------------------------------------------

GStatus RecordingPeripheral::onArc(GArcGraphic* command) { return record("onArc", command); }
GStatus RecordingPeripheral::onChord(GChordGraphic* command) { return record("onChord", command); }
GStatus RecordingPeripheral::onEllipse(GEllipseGraphic* command) { return record("onEllipse", command); }
GStatus RecordingPeripheral::onPath(GPathGraphic* command) { return record("onPath", command); }
GStatus RecordingPeripheral::onPie(GPieGraphic* command) { return record("onPie", command); }
GStatus RecordingPeripheral::onPolyBezier(GPolyBezierGraphic* command) { return record("onPolyBezier", command); }
GStatus RecordingPeripheral::onPolyBezierTo(GPolyBezierToGraphic* command) { return record("onPolyBezierTo", command); }
GStatus RecordingPeripheral::onPolyLine(GPolyLineGraphic* command) { return record("onPolyLine", command); }
GStatus RecordingPeripheral::onPolyLineTo(GPolyLineToGraphic* command) { return record("onPolyLineTo", command); }
GStatus RecordingPeripheral::onPolygon(GPolygonGraphic* command) { return record("onPolygon", command); }
GStatus RecordingPeripheral::onRectangle(GRectangleGraphic* command) { return record("onRectangle", command); }
GStatus RecordingPeripheral::onRoundedRectangle(GRoundedRectangleGraphic* command) {
  return record("onRoundedRectangle", command);
}
GStatus RecordingPeripheral::onScanLine(GScanLineGraphic* command) { return record("onScanLine", command); }
GStatus RecordingPeripheral::onStartScanLine(GStartScanLine* command) { return record("onStartScanLine", command); }
GStatus RecordingPeripheral::onEndScanLine(GEndScanLine* command) { return record("onEndScanLine", command); }
GStatus RecordingPeripheral::onRaster(GRasterGraphic* command) { return record("onRaster", command); }
