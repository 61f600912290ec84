#ifndef PDL_CHEETAH_H
#define PDL_CHEETAH_H

// The PCL XL generator: a generator that writes a PCL XL stream through
// an 8192-byte XLStream into the job's port. This file and cheetah.cpp hold
// the object, its stored form and the job: document start and end, page
// start and end, job abort, the manual-duplex marker, pass-through data,
// the page transform and the settings that only need consuming. Drawing
// (shapes, paths, the graphics-state attributes and the paint operations)
// is in xlgraph.cpp.
//
// One job on the wire: (the job language's PJL header) the stream header
// line; BeginSession; OpenDataSource; [VendorUnique 0x2002 for 900]; per
// page Orientation, [MediaSource], [MediaType], MediaSize or
// CustomMediaSize and CustomMediaSizeUnits, BeginPage, SetClipMode 0,
// [SetHalftoneMethod and its thresholds], the page's content, EndPage with
// PageCopies; CloseDataSource, EndSession (then the PJL trailer). The page
// attributes go out one by one in that order, so that a page may carry any
// combination of them; the buffer is flushed at every page end, at
// document end, at the manual-duplex marker and before pass-through data.
//
// Every handler answers the stored write status and clears it: a port
// write that failed surfaces as the status of the next command handled.
// Without a port (or without a stream) a handler writes nothing.
//
// Stored form of this level, after the generator's: version (1),
// persistedFlag (i16), writeStatus (i16), writesEnabled (u32), xResolution
// (i16), yResolution (i16), colorMode (u32): 20 bytes. A restore makes a new
// stream and new font tables. Copies make their own stream and never take
// over a port.

#include <cstdint>
#include <memory>

#include "core/attrids.h"
#include "core/classids.h"
#include "core/cntdptr.h"
#include "core/geometry.h"
#include "pdl/flusher.h"
#include "pdl/pdlgen.h"
#include "pdl/xlstream.h"
#include "rw/cstring.h"

class GClipAttribute;
class GDitherMatrix;
class GMedia;
class GSelectionString;

// A page whose media the stream cannot name: a protocol 2.0 BeginPage must
// carry MediaSize or CustomMediaSize, and a printer refuses a page without.
constexpr GStatus kStatusMediaUnnamed = 603;

class GCheetah : public GPDLGenerator {
  G_PERSISTENT_CLASS(GCheetah)

 public:
  static constexpr int32_t kStreamSize = 8192;
  // Pen and brush kinds: a colour paint, a raster pattern whose paint's
  // second flag is set, one whose flag is clear, none.
  enum PaintKind : uint32_t { kColorPaintKind = 0, kPatternKind = 1, kOpaquePatternKind = 2, kNoPaintKind = 3 };

  // The factory's: fields as listed, a stream, no font tables.
  GCheetah();
  // The peripheral arguments; also the font tables and the configured
  // device fonts.
  GCheetah(const RWCString& name, GState* defaults, GConfiguration* config, const uint32_t& id,
           uint32_t addOnListId = AttrId::AddOnList, int32_t kind = 6, int32_t mode = 2);
  // The stored and rendering fields; a stream and font tables of its own;
  // no port.
  GCheetah(const GCheetah& other);
  GCheetah& operator=(const GCheetah& other);
  ~GCheetah() override;

  static RWClassID classIsA() { return ClassId::GCheetah; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // The generators match, and persistedFlag, colorMode and currentPoint
  // are equal.
  RWBoolean matches(const MPersistentObject* other) const override;
  // Handed to a stage as an attribute: its onCheetah.
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;

  uint32_t processingFlags() override { return 0; }
  void reset() override;

  // ---- generator operations ------------------------------------------------------
  // Nothing until fonts are downloaded.
  void removeFont(const RWCString& name) override;
  // True when the text holds '!'.
  bool hasCommandCharacter(const RWCString& text) const override;

  // ---- the paint operations (xlgraph.cpp) -------------------------------------------
  [[nodiscard]] GStatus setPenRasterPaint(GRasterPaint* paint) override;
  [[nodiscard]] GStatus setPenColorPaint(GColorPaint* paint) override;
  [[nodiscard]] GStatus setBrushRasterPaint(GRasterPaint* paint) override;
  [[nodiscard]] GStatus setBrushColorPaint(GColorPaint* paint) override;

  // ---- the job (cheetah.cpp) -----------------------------------------------------
  [[nodiscard]] GStatus onDocumentStart(GDocumentStart* command) override;
  [[nodiscard]] GStatus onDocumentEnd(GDocumentEnd* command) override;
  [[nodiscard]] GStatus onManualDuplexFirstHalf(GManualDuplexFirstHalf* command) override;
  [[nodiscard]] GStatus onPageStart(GPageStart* command) override;
  [[nodiscard]] GStatus onPageEnd(GPageEnd* command) override;
  [[nodiscard]] GStatus onJobAbort(GJobAbort* command) override;
  [[nodiscard]] GStatus onPassThrough(GPassThroughCommand* command) override;
  // Consumed: the changed flag cleared, nothing written.
  [[nodiscard]] GStatus onValueAttribute(GValueAttribute* attribute) override;
  [[nodiscard]] GStatus onStringAttribute(GStringAttribute* attribute) override;
  [[nodiscard]] GStatus onRangeAttribute(GRangeAttribute* attribute) override;
  [[nodiscard]] GStatus onEnumAttribute(GEnumAttribute* attribute) override;
  // Inside a page: the page's default CTM, origin, rotation and scale; the
  // flag cleared. Outside a page nothing, and the flag stays set.
  [[nodiscard]] GStatus onTransformAttribute(GTransformAttribute* attribute) override;

  // ---- drawing (xlgraph.cpp) -------------------------------------------------------
  [[nodiscard]] GStatus onArc(GArcGraphic* command) override;
  [[nodiscard]] GStatus onChord(GChordGraphic* command) override;
  [[nodiscard]] GStatus onPie(GPieGraphic* command) override;
  [[nodiscard]] GStatus onEllipse(GEllipseGraphic* command) override;
  [[nodiscard]] GStatus onRectangle(GRectangleGraphic* command) override;
  [[nodiscard]] GStatus onRoundedRectangle(GRoundedRectangleGraphic* command) override;
  [[nodiscard]] GStatus onPolyLine(GPolyLineGraphic* command) override;
  [[nodiscard]] GStatus onPolyLineTo(GPolyLineToGraphic* command) override;
  [[nodiscard]] GStatus onPolygon(GPolygonGraphic* command) override;
  [[nodiscard]] GStatus onPolyBezier(GPolyBezierGraphic* command) override;
  [[nodiscard]] GStatus onPolyBezierTo(GPolyBezierToGraphic* command) override;
  [[nodiscard]] GStatus onPath(GPathGraphic* command) override;

  [[nodiscard]] GStatus onBrush(GBrush* attribute) override;
  [[nodiscard]] GStatus onNoBrush(GNoBrush* attribute) override;
  [[nodiscard]] GStatus onPen(GPen* attribute) override;
  [[nodiscard]] GStatus onDashedPen(GDashedPen* attribute) override;
  [[nodiscard]] GStatus onNoPen(GNoPen* attribute) override;
  [[nodiscard]] GStatus onCap(GCap* attribute) override;
  [[nodiscard]] GStatus onJoint(GJoint* attribute) override;
  [[nodiscard]] GStatus onMiterJoint(GMiterJoint* attribute) override;
  [[nodiscard]] GStatus onFillMode(GFillMode* attribute) override;
  [[nodiscard]] GStatus onClipToPage(GClipToPage* attribute) override;
  [[nodiscard]] GStatus onClipToRectangle(GClipToRectangle* attribute) override;
  [[nodiscard]] GStatus onClipToSingleRectangle(GClipToSingleRectangle* attribute) override;
  [[nodiscard]] GStatus onClipToPath(GClipToPath* attribute) override;
  [[nodiscard]] GStatus onRasterOperation(GRasterOperation* attribute) override;
  [[nodiscard]] GStatus onColorMap(GColorMap* attribute) override;
  [[nodiscard]] GStatus onHalftone(GHalftone* attribute) override;

  // ---- not virtual ---------------------------------------------------------------
  // The stream (null when it could not be made).
  XLStream* stream() const { return stream_.get(); }

  uint32_t transparentMode() const { return transparentMode_; }
  uint32_t penKind() const { return penKind_; }
  uint32_t brushKind() const { return brushKind_; }
  int16_t persistedFlag() const { return persistedFlag_; }
  GMedia* currentMedia() const;
  [[nodiscard]] GStatus writeStatus() const { return flusher_.writeStatus(); }
  uint32_t writesEnabled() const { return flusher_.writesEnabled(); }
  int16_t xResolution() const { return xResolution_; }
  int16_t yResolution() const { return yResolution_; }
  uint32_t colorMode() const { return colorMode_; }
  uint32_t scalePatterns() const { return scalePatterns_; }
  uint32_t twoBitsPerPixel() const { return twoBitsPerPixel_; }
  int16_t compressionMode() const { return compressionMode_; }
  GDitherMatrix* ditherMatrix() const;
  const GPoint& currentPoint() const { return currentPoint_; }
  int16_t lastPaperSource() const { return lastPaperSource_; }
  const RWCString& lastMediaTypeName() const { return lastMediaTypeName_; }
  uint32_t lastPollTotal() const { return flusher_.lastPollTotal(); }

 protected:
  // The stored write status, cleared (a stream stopped on an error answers
  // kStatusStreamStopped): every handler's answer.
  [[nodiscard]] GStatus takeError();
  // Whether a handler may write: a document started, a stream, and a port
  // to flush it to (the flusher is pointed at the stage's port). Otherwise
  // nothing is written, so that no byte is left in the buffer for another
  // job and none goes to a port whose job did not start.
  bool beginWrite();
  void flushStream();

  // The generator's own kinds of font tables.
  GDownloadedFontList* makeDownloadedFontList() override;
  GCodeRemapTable* makeCodeRemapTable() override;

  // The drawing state the graphics handlers keep.
  uint32_t transparentMode_;
  uint32_t penKind_;
  uint32_t brushKind_;
  GPoint currentPoint_;
  // Null when it could not be made: the generator then writes nothing.
  std::unique_ptr<XLStream> stream_;

 private:
  void makeStream();
  void clearFields();
  // The fields a copy takes (the rest start as new), a stream and font
  // tables of its own.
  void copyFrom(const GCheetah& other);
  // Forgets the text state; nothing is kept until text is written.
  void resetTextState();
  // Writes the page's own attributes and BeginPage: 0, or
  // kStatusMediaUnnamed, with nothing written, when the page's media can be
  // named neither by the size table nor by a size of its own.
  [[nodiscard]] GStatus beginPage(GAttributeComposite* pageGroup);
  // Writes Orientation; answers the orientation code (0 to 3).
  uint8_t writeOrientation(GAttributeComposite* pageGroup);
  void writePaperSource(GAttributeComposite* pageGroup);
  // The page's media, or null when it cannot be named: a medium whose id
  // the size table names, or one with a size of its own.
  GMedia* nameableMedia(GAttributeComposite* pageGroup) const;
  // The size table's non-empty name for a media id, or null.
  const GSelectionString* sizeName(int16_t mediaId) const;
  void writeMedia(GMedia& media, uint8_t orientation);
  void writeHalftoneMethod();
  // The document's rendering settings and the dither matrix they select.
  void readDocumentSettings(GAttributeComposite* documentGroup);
  // A new page's graphics state: the Defaults' graphic group copied into
  // the State (which changed then makes anew), and the page group's
  // transform into that.
  void startPageGraphics();
  // Marks every downloaded font as no longer on the printer.
  void forgetDownloadedFonts();
  // The end of the job's stream: the downloaded fonts forgotten, then
  // CloseDataSource and EndSession, flushed.
  void closeSession();
  // The attribute's changed flag cleared; nothing written.
  [[nodiscard]] GStatus consumed(GAttribute* attribute);

  // Drawing (xlgraph.cpp). A shape outside a path: NewPath, its operators
  // (write), PaintPath; inside one its operators alone.
  template <class Write>
  void drawShape(Write&& write);
  template <class Shape, class Writer>
  [[nodiscard]] GStatus drawSegmentShape(Shape* command, Writer writer);
  // PaintPath, bracketed opaque where the pen and brush kinds ask for it.
  void paintPath();
  void setCursor(const GPoint& point);
  [[nodiscard]] GStatus penWidthAndPaint(GPen& pen);
  void clipPreamble(const GClipAttribute& clip);
  template <class RGB, class Gray>
  void colorSource(GColorPaint* paint, RGB rgb, Gray gray);

  GOutputFlusher flusher_;
  int16_t persistedFlag_;
  GCountedRef currentMedia_;  // the page's, held from page start to page end
  int16_t xResolution_;
  int16_t yResolution_;
  uint32_t colorMode_;
  uint32_t scalePatterns_;
  uint32_t twoBitsPerPixel_;
  int16_t compressionMode_;
  GCountedRef ditherMatrix_;  // one of the Config's list 330, held
  int16_t lastPaperSource_;
  RWCString lastMediaTypeName_;
};

RW_DECLARE_RESTORE_OPERATORS(GCheetah)

#endif
