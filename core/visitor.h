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
  virtual GStatus onArc(GArcGraphic*) { return 0; }
  virtual GStatus onChord(GChordGraphic*) { return 0; }
  virtual GStatus onEllipse(GEllipseGraphic*) { return 0; }
  virtual GStatus onEndScanLine(GEndScanLine*) { return 0; }
  virtual GStatus onPath(GPathGraphic*) { return 0; }
  virtual GStatus onPie(GPieGraphic*) { return 0; }
  virtual GStatus onPolyBezier(GPolyBezierGraphic*) { return 0; }
  virtual GStatus onPolyBezierTo(GPolyBezierToGraphic*) { return 0; }
  virtual GStatus onPolyLine(GPolyLineGraphic*) { return 0; }
  virtual GStatus onPolyLineTo(GPolyLineToGraphic*) { return 0; }
  virtual GStatus onPolygon(GPolygonGraphic*) { return 0; }
  virtual GStatus onRectangle(GRectangleGraphic*) { return 0; }
  // Also the pre-scaled raster graphic.
  virtual GStatus onRaster(GRasterGraphic*) { return 0; }
  virtual GStatus onRoundedRectangle(GRoundedRectangleGraphic*) { return 0; }
  virtual GStatus onScanLine(GScanLineGraphic*) { return 0; }
  virtual GStatus onStartScanLine(GStartScanLine*) { return 0; }
  virtual GStatus onTextString(GTextStringGraphic*) { return 0; }
  virtual GStatus onDownloadFace(GDownloadFace*) { return 0; }
  virtual GStatus onDocumentStart(GDocumentStart*) = 0;
  virtual GStatus onDocumentEnd(GDocumentEnd*) = 0;
  virtual GStatus onManualDuplexFirstHalf(GManualDuplexFirstHalf*) { return 0; }
  virtual GStatus onPageStart(GPageStart*) = 0;
  virtual GStatus onPageEnd(GPageEnd*) = 0;
  virtual GStatus onJobAbort(GJobAbort*) = 0;
  virtual GStatus onErrorCommand(GErrorCommand*) { return 0; }
  virtual GStatus onPassThrough(GPassThroughCommand*) { return 0; }
  virtual GStatus onDownloadHeader(GDownloadHeaderCommand*) { return 0; }
  virtual GStatus onTextGraphic(GTextGraphic*) { return 0; }

  // ---- attributes --------------------------------------------------------------
  // The base leaves the attribute's changed flag set; a handler that
  // consumes the attribute clears it.
  virtual GStatus onBrush(GBrush*) { return 0; }
  virtual GStatus onCap(GCap*) { return 0; }
  virtual GStatus onClipToPage(GClipToPage*) { return 0; }
  virtual GStatus onClipToPath(GClipToPath*) { return 0; }
  virtual GStatus onClipToRectangle(GClipToRectangle*) { return 0; }
  virtual GStatus onClipToSingleRectangle(GClipToSingleRectangle*) { return 0; }
  virtual GStatus onColorMap(GColorMap*) { return 0; }
  virtual GStatus onDashedPen(GDashedPen*) { return 0; }
  virtual GStatus onFillMode(GFillMode*) { return 0; }
  virtual GStatus onHalftone(GHalftone*) { return 0; }
  virtual GStatus onJoint(GJoint*) { return 0; }
  virtual GStatus onMiterJoint(GMiterJoint*) { return 0; }
  virtual GStatus onNoBrush(GNoBrush*) { return 0; }
  virtual GStatus onNoPen(GNoPen*) { return 0; }
  virtual GStatus onPen(GPen*) { return 0; }
  virtual GStatus onRasterOperation(GRasterOperation*) { return 0; }
  virtual GStatus onValueAttribute(GValueAttribute*) { return 0; }
  virtual GStatus onStringAttribute(GStringAttribute*) { return 0; }
  // An enumeration (and the media pool) is visited as a whole.
  virtual GStatus onEnumAttribute(GEnumAttribute*) { return 0; }
  virtual GStatus onRangeAttribute(GRangeAttribute*) { return 0; }
  virtual GStatus onCheetah(GCheetah*) { return 0; }
  virtual GStatus onPcl5e(GPcl5e*) { return 0; }
  virtual GStatus onPostScript(GPostScript*) { return 0; }
  virtual GStatus onPJL(GPJL*) { return 0; }
  virtual GStatus onMedia(GMedia*) { return 0; }
  virtual GStatus onTray(GTray*) { return 0; }
  virtual GStatus onTransformAttribute(GTransformAttribute*) { return 0; }

 protected:
  GPeripheralHandlers() = default;
  GPeripheralHandlers(const GPeripheralHandlers&) = default;
  GPeripheralHandlers& operator=(const GPeripheralHandlers&) = default;
};

#endif
