#ifndef CORE_VISITOR_H
#define CORE_VISITOR_H

// The handler side of the double dispatch between commands or attributes
// and the command-processing stages.
//
// A command's or an attribute's accept calls the handler for its own class
// on the stage it is given and answers the handler's status. The stages
// (GPeripheral and everything derived from it) implement this interface;
// the classes named here are declared by the subsystems that own them.
//
// Status: 16 bits, 0 for success. A stage turns a non-zero status into an
// error command that carries it.
//
// Four status conventions exist, each in its own place:
// - GStatus (here): 0 for success, any other value the failure's code.
//   Stages, commands, attributes, sinks and generators answer it; the
//   output ports (core/outport.h) answer the same as uint16_t.
// - The driver instance's int32_t answers (device/drvinst.h and the
//   platforms' settings parts): 1 for success or a hit, 0 when not (-1 for
//   a walk with no hit). They answer the platform layer's questions.
// - The kernel file layer (kernel/kmfile.h, rw/kmsys.h): the C runtime's
//   manner, 0 or a count or position for success, -1 for failure.
// - BOOL at the DDI (kernel/ddientry.cpp, kernel/devicent.h, the engine's
//   calls in host/engine/ddi.h): TRUE for success; with FALSE the last
//   error says why. Only at the engine boundary, where a GStatus becomes
//   a BOOL and a last error (ddiResultToLastError).
// An operation that answers any of them is [[nodiscard]] and the build
// refuses a dropped one: a status dropped on purpose is cast to void with a
// comment saying why.
//
// A handler with a body here does what the base stage does: nothing, and
// answers 0. The five job-state handlers move the stage between idle,
// document and page, so only the stage can answer them.

#include <cstdint>

using GStatus = int16_t;

// Journal commands.
class GArcGraphic;
class GChordGraphic;
class GEllipseGraphic;
class GEndScanLine;
class GPathGraphic;
class GPieGraphic;
class GPolyBezierGraphic;
class GPolyBezierToGraphic;
class GPolyLineGraphic;
class GPolyLineToGraphic;
class GPolygonGraphic;
class GRectangleGraphic;
class GRasterGraphic;
class GRoundedRectangleGraphic;
class GScanLineGraphic;
class GStartScanLine;
class GTextStringGraphic;
class GDownloadFace;
class GDocumentStart;
class GDocumentEnd;
class GManualDuplexFirstHalf;
class GPageStart;
class GPageEnd;
class GJobAbort;
class GErrorCommand;
class GPassThroughCommand;
class GDownloadHeaderCommand;
class GTextGraphic;

// Attributes.
class GBrush;
class GCap;
class GClipToPage;
class GClipToPath;
class GClipToRectangle;
class GClipToSingleRectangle;
class GColorMap;
class GDashedPen;
class GFillMode;
class GHalftone;
class GJoint;
class GMiterJoint;
class GNoBrush;
class GNoPen;
class GPen;
class GRasterOperation;
class GValueAttribute;
class GStringAttribute;
class GEnumAttribute;
class GRangeAttribute;
class GCheetah;
class GPcl5e;
class GPostScript;
class GPJL;
class GMedia;
class GTray;
class GTransformAttribute;

class GPeripheralHandlers {
 public:
  virtual ~GPeripheralHandlers();

  // ---- commands ----------------------------------------------------------------
  [[nodiscard]] virtual GStatus onArc(GArcGraphic*) { return 0; }
  [[nodiscard]] virtual GStatus onChord(GChordGraphic*) { return 0; }
  [[nodiscard]] virtual GStatus onEllipse(GEllipseGraphic*) { return 0; }
  [[nodiscard]] virtual GStatus onEndScanLine(GEndScanLine*) { return 0; }
  [[nodiscard]] virtual GStatus onPath(GPathGraphic*) { return 0; }
  [[nodiscard]] virtual GStatus onPie(GPieGraphic*) { return 0; }
  [[nodiscard]] virtual GStatus onPolyBezier(GPolyBezierGraphic*) { return 0; }
  [[nodiscard]] virtual GStatus onPolyBezierTo(GPolyBezierToGraphic*) { return 0; }
  [[nodiscard]] virtual GStatus onPolyLine(GPolyLineGraphic*) { return 0; }
  [[nodiscard]] virtual GStatus onPolyLineTo(GPolyLineToGraphic*) { return 0; }
  [[nodiscard]] virtual GStatus onPolygon(GPolygonGraphic*) { return 0; }
  [[nodiscard]] virtual GStatus onRectangle(GRectangleGraphic*) { return 0; }
  // Also the pre-scaled raster graphic.
  [[nodiscard]] virtual GStatus onRaster(GRasterGraphic*) { return 0; }
  [[nodiscard]] virtual GStatus onRoundedRectangle(GRoundedRectangleGraphic*) { return 0; }
  [[nodiscard]] virtual GStatus onScanLine(GScanLineGraphic*) { return 0; }
  [[nodiscard]] virtual GStatus onStartScanLine(GStartScanLine*) { return 0; }
  [[nodiscard]] virtual GStatus onTextString(GTextStringGraphic*) { return 0; }
  [[nodiscard]] virtual GStatus onDownloadFace(GDownloadFace*) { return 0; }
  [[nodiscard]] virtual GStatus onDocumentStart(GDocumentStart*) = 0;
  [[nodiscard]] virtual GStatus onDocumentEnd(GDocumentEnd*) = 0;
  [[nodiscard]] virtual GStatus onManualDuplexFirstHalf(GManualDuplexFirstHalf*) { return 0; }
  [[nodiscard]] virtual GStatus onPageStart(GPageStart*) = 0;
  [[nodiscard]] virtual GStatus onPageEnd(GPageEnd*) = 0;
  [[nodiscard]] virtual GStatus onJobAbort(GJobAbort*) = 0;
  [[nodiscard]] virtual GStatus onErrorCommand(GErrorCommand*) { return 0; }
  [[nodiscard]] virtual GStatus onPassThrough(GPassThroughCommand*) { return 0; }
  [[nodiscard]] virtual GStatus onDownloadHeader(GDownloadHeaderCommand*) { return 0; }
  [[nodiscard]] virtual GStatus onTextGraphic(GTextGraphic*) { return 0; }

  // ---- attributes --------------------------------------------------------------
  // The base leaves the attribute's changed flag set; a handler that
  // consumes the attribute clears it.
  [[nodiscard]] virtual GStatus onBrush(GBrush*) { return 0; }
  [[nodiscard]] virtual GStatus onCap(GCap*) { return 0; }
  [[nodiscard]] virtual GStatus onClipToPage(GClipToPage*) { return 0; }
  [[nodiscard]] virtual GStatus onClipToPath(GClipToPath*) { return 0; }
  [[nodiscard]] virtual GStatus onClipToRectangle(GClipToRectangle*) { return 0; }
  [[nodiscard]] virtual GStatus onClipToSingleRectangle(GClipToSingleRectangle*) { return 0; }
  [[nodiscard]] virtual GStatus onColorMap(GColorMap*) { return 0; }
  [[nodiscard]] virtual GStatus onDashedPen(GDashedPen*) { return 0; }
  [[nodiscard]] virtual GStatus onFillMode(GFillMode*) { return 0; }
  [[nodiscard]] virtual GStatus onHalftone(GHalftone*) { return 0; }
  [[nodiscard]] virtual GStatus onJoint(GJoint*) { return 0; }
  [[nodiscard]] virtual GStatus onMiterJoint(GMiterJoint*) { return 0; }
  [[nodiscard]] virtual GStatus onNoBrush(GNoBrush*) { return 0; }
  [[nodiscard]] virtual GStatus onNoPen(GNoPen*) { return 0; }
  [[nodiscard]] virtual GStatus onPen(GPen*) { return 0; }
  [[nodiscard]] virtual GStatus onRasterOperation(GRasterOperation*) { return 0; }
  [[nodiscard]] virtual GStatus onValueAttribute(GValueAttribute*) { return 0; }
  [[nodiscard]] virtual GStatus onStringAttribute(GStringAttribute*) { return 0; }
  // An enumeration (and the media pool) is visited as a whole.
  [[nodiscard]] virtual GStatus onEnumAttribute(GEnumAttribute*) { return 0; }
  [[nodiscard]] virtual GStatus onRangeAttribute(GRangeAttribute*) { return 0; }
  [[nodiscard]] virtual GStatus onCheetah(GCheetah*) { return 0; }
  [[nodiscard]] virtual GStatus onPcl5e(GPcl5e*) { return 0; }
  [[nodiscard]] virtual GStatus onPostScript(GPostScript*) { return 0; }
  [[nodiscard]] virtual GStatus onPJL(GPJL*) { return 0; }
  [[nodiscard]] virtual GStatus onMedia(GMedia*) { return 0; }
  [[nodiscard]] virtual GStatus onTray(GTray*) { return 0; }
  [[nodiscard]] virtual GStatus onTransformAttribute(GTransformAttribute*) { return 0; }

 protected:
  GPeripheralHandlers() = default;
  GPeripheralHandlers(const GPeripheralHandlers&) = default;
  GPeripheralHandlers& operator=(const GPeripheralHandlers&) = default;
};

#endif
