#ifndef TESTKIT_DEVICE_GENERATOR_H
#define TESTKIT_DEVICE_GENERATOR_H

// A stand-in page-description generator for the tests of the printer and
// of what is built around it. It is a generator (the base's document start,
// processing and stored level), is named by its language (the printer puts
// that name into the State for the job language's ENTER LANGUAGE line), and
// child id 101 by default.
//
// It writes through a 64-byte PCL XL stream: the stream header at document
// start, then one marker per command it handles, a PCL XL Comment whose
// text is "[<language> <handler>]" ("[PCLXL onPageEnd]"), each flushed to the job's port as the handler
// ends, until the job ends; it records the handlers it was called in, in
// order, and the ids of the value and string attributes sent to it; and it
// fails the commands of a chosen class with a chosen status (recorded, no
// marker written). A failed port write or a stopped stream is answered by
// the next handler, as a generator does.
//
// It is registered with the factory (TestKitClassId::TestGenerator) and
// stores nothing of its own after the generator's level (the language is
// the stage's stored name); the log, the scripts, the stream and the port
// are not stored.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/classids.h"
#include "pdl/flusher.h"
#include "pdl/pdlgen.h"
#include "pdl/xlstream.h"
#include "testkit/core/ids.h"

class TestGenerator : public GPDLGenerator {
  G_PERSISTENT_CLASS(TestGenerator)

 public:
  // "PCLXL", id 101.
  TestGenerator();
  explicit TestGenerator(const RWCString& language, const uint32_t& id = 101);
  // The generator's copy, and the scripts; not the log.
  TestGenerator(const TestGenerator& other);
  TestGenerator& operator=(const TestGenerator& other);
  ~TestGenerator() override;

  static RWClassID classIsA() { return TestKitClassId::TestGenerator; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;

  uint32_t processingFlags() override { return 0; }

  // ---- generator operations ----------------------------------------------------
  void removeFont(const RWCString&) override {}
  [[nodiscard]] GStatus setPenRasterPaint(GRasterPaint*) override { return 0; }
  [[nodiscard]] GStatus setPenColorPaint(GColorPaint*) override { return 0; }
  [[nodiscard]] GStatus setBrushRasterPaint(GRasterPaint*) override { return 0; }
  [[nodiscard]] GStatus setBrushColorPaint(GColorPaint*) override { return 0; }

  // ---- scripts and log -----------------------------------------------------------
  // Commands of the class answer the status from now on.
  void fail(RWClassID commandClass, GStatus status) { failures_[commandClass] = status; }
  // The handlers called, in order ("onDocumentStart", "onTextGraphic").
  const std::vector<std::string>& seen() const { return seen_; }
  // The ids of the value and string attributes sent to the handlers.
  const std::vector<uint32_t>& attributesSeen() const { return attributesSeen_; }
  void clearLog() {
    seen_.clear();
    attributesSeen_.clear();
  }
  // The bytes this generator writes for a handler: the marker, after the
  // stream header at document start.
  std::string marker(const char* handler) const;
  // The text of a handler's marker, "[PCLXL onPageEnd]".
  std::string markerText(const char* handler) const;
  // The stream header it writes at document start.
  static std::string streamHeader();
  // The stream, to stop it in a test.
  XLStream& stream() { return *stream_; }

  // ---- commands ------------------------------------------------------------------
  [[nodiscard]] GStatus onArc(GArcGraphic*) override { return see("onArc", ClassId::GArcGraphic); }
  [[nodiscard]] GStatus onChord(GChordGraphic*) override { return see("onChord", ClassId::GChordGraphic); }
  [[nodiscard]] GStatus onEllipse(GEllipseGraphic*) override { return see("onEllipse", ClassId::GEllipseGraphic); }
  [[nodiscard]] GStatus onEndScanLine(GEndScanLine*) override { return see("onEndScanLine", ClassId::GEndScanLine); }
  [[nodiscard]] GStatus onPath(GPathGraphic*) override { return see("onPath", ClassId::GPathGraphic); }
  [[nodiscard]] GStatus onPie(GPieGraphic*) override { return see("onPie", ClassId::GPieGraphic); }
  [[nodiscard]] GStatus onPolyBezier(GPolyBezierGraphic*) override { return see("onPolyBezier", ClassId::GPolyBezierGraphic); }
  [[nodiscard]] GStatus onPolyBezierTo(GPolyBezierToGraphic*) override { return see("onPolyBezierTo", ClassId::GPolyBezierToGraphic); }
  [[nodiscard]] GStatus onPolyLine(GPolyLineGraphic*) override { return see("onPolyLine", ClassId::GPolyLineGraphic); }
  [[nodiscard]] GStatus onPolyLineTo(GPolyLineToGraphic*) override { return see("onPolyLineTo", ClassId::GPolyLineToGraphic); }
  [[nodiscard]] GStatus onPolygon(GPolygonGraphic*) override { return see("onPolygon", ClassId::GPolygonGraphic); }
  [[nodiscard]] GStatus onRectangle(GRectangleGraphic*) override { return see("onRectangle", ClassId::GRectangleGraphic); }
  [[nodiscard]] GStatus onRaster(GRasterGraphic*) override { return see("onRaster", ClassId::GRasterGraphic); }
  [[nodiscard]] GStatus onRoundedRectangle(GRoundedRectangleGraphic*) override { return see("onRoundedRectangle", ClassId::GRoundedRectangleGraphic); }
  [[nodiscard]] GStatus onScanLine(GScanLineGraphic*) override { return see("onScanLine", ClassId::GScanLineGraphic); }
  [[nodiscard]] GStatus onStartScanLine(GStartScanLine*) override { return see("onStartScanLine", ClassId::GStartScanLine); }
  [[nodiscard]] GStatus onTextString(GTextStringGraphic*) override { return see("onTextString", ClassId::GTextStringGraphic); }
  [[nodiscard]] GStatus onDownloadFace(GDownloadFace*) override { return see("onDownloadFace", ClassId::GDownloadFace); }
  [[nodiscard]] GStatus onDocumentStart(GDocumentStart* command) override;
  [[nodiscard]] GStatus onDocumentEnd(GDocumentEnd* command) override;
  [[nodiscard]] GStatus onManualDuplexFirstHalf(GManualDuplexFirstHalf*) override { return see("onManualDuplexFirstHalf", ClassId::GManualDuplexFirstHalf); }
  [[nodiscard]] GStatus onPageStart(GPageStart* command) override;
  [[nodiscard]] GStatus onPageEnd(GPageEnd* command) override;
  [[nodiscard]] GStatus onJobAbort(GJobAbort* command) override;
  // After its marker, the command's bytes, when they are for this class.
  [[nodiscard]] GStatus onPassThrough(GPassThroughCommand* command) override;
  [[nodiscard]] GStatus onDownloadHeader(GDownloadHeaderCommand*) override { return see("onDownloadHeader", ClassId::GDownloadHeaderCommand); }
  [[nodiscard]] GStatus onTextGraphic(GTextGraphic*) override { return see("onTextGraphic", ClassId::GTextGraphic); }

  // ---- attributes ----------------------------------------------------------------
  // Recorded and consumed (changed flag cleared), as a generator does.
  [[nodiscard]] GStatus onValueAttribute(GValueAttribute* attribute) override;
  [[nodiscard]] GStatus onStringAttribute(GStringAttribute* attribute) override;

 private:
  // Records the handler; answers the scripted status for the command
  // class, or writes the marker and answers 0.
  [[nodiscard]] GStatus see(const char* handler, RWClassID commandClass);

  // Makes the stream, flushing through flusher_.
  void makeStream();

  GOutputFlusher flusher_;
  std::unique_ptr<XLStream> stream_;
  std::vector<std::string> seen_;
  std::vector<uint32_t> attributesSeen_;
  std::map<RWClassID, GStatus> failures_;
};

RW_DECLARE_RESTORE_OPERATORS(TestGenerator)

#endif
