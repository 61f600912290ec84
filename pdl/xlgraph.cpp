// The PCL XL generator's drawing: shapes, paths, the graphics-state
// attributes and the paint operations. Until they are written out each
// handler writes nothing and answers the write status.

#include "pdl/cheetah.h"

GStatus GCheetah::setPenRasterPaint(GRasterPaint*) { return takeError(); }
GStatus GCheetah::setPenColorPaint(GColorPaint*) { return takeError(); }
GStatus GCheetah::setBrushRasterPaint(GRasterPaint*) { return takeError(); }
GStatus GCheetah::setBrushColorPaint(GColorPaint*) { return takeError(); }

GStatus GCheetah::onArc(GArcGraphic*) { return takeError(); }
GStatus GCheetah::onChord(GChordGraphic*) { return takeError(); }
GStatus GCheetah::onPie(GPieGraphic*) { return takeError(); }
GStatus GCheetah::onEllipse(GEllipseGraphic*) { return takeError(); }
GStatus GCheetah::onRectangle(GRectangleGraphic*) { return takeError(); }
GStatus GCheetah::onRoundedRectangle(GRoundedRectangleGraphic*) { return takeError(); }
GStatus GCheetah::onPolyLine(GPolyLineGraphic*) { return takeError(); }
GStatus GCheetah::onPolyLineTo(GPolyLineToGraphic*) { return takeError(); }
GStatus GCheetah::onPolygon(GPolygonGraphic*) { return takeError(); }
GStatus GCheetah::onPolyBezier(GPolyBezierGraphic*) { return takeError(); }
GStatus GCheetah::onPolyBezierTo(GPolyBezierToGraphic*) { return takeError(); }
GStatus GCheetah::onPath(GPathGraphic*) { return takeError(); }

GStatus GCheetah::onBrush(GBrush*) { return takeError(); }
GStatus GCheetah::onNoBrush(GNoBrush*) { return takeError(); }
GStatus GCheetah::onPen(GPen*) { return takeError(); }
GStatus GCheetah::onDashedPen(GDashedPen*) { return takeError(); }
GStatus GCheetah::onNoPen(GNoPen*) { return takeError(); }
GStatus GCheetah::onCap(GCap*) { return takeError(); }
GStatus GCheetah::onJoint(GJoint*) { return takeError(); }
GStatus GCheetah::onMiterJoint(GMiterJoint*) { return takeError(); }
GStatus GCheetah::onFillMode(GFillMode*) { return takeError(); }
GStatus GCheetah::onClipToPage(GClipToPage*) { return takeError(); }
GStatus GCheetah::onClipToRectangle(GClipToRectangle*) { return takeError(); }
GStatus GCheetah::onClipToSingleRectangle(GClipToSingleRectangle*) { return takeError(); }
GStatus GCheetah::onClipToPath(GClipToPath*) { return takeError(); }
GStatus GCheetah::onRasterOperation(GRasterOperation*) { return takeError(); }
GStatus GCheetah::onColorMap(GColorMap*) { return takeError(); }
GStatus GCheetah::onHalftone(GHalftone*) { return takeError(); }
