// The PCL XL generator's drawing: the graphics-state attributes as tables
// of exact bytes, the opaque bracket around painting, colour and null
// paints, clips, shapes and the current point they leave, paths and their
// pieces, the colour-rendering extensions, and what happens without a port
// or when a write fails inside a path.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "core/passoc.h"
#include "core/state.h"
#include "core/valattr.h"
#include "device/config.h"
#include "graphics/brush.h"
#include "graphics/clip.h"
#include "graphics/color.h"
#include "graphics/colrend.h"
#include "graphics/lineattr.h"
#include "graphics/paint.h"
#include "graphics/pen.h"
#include "graphics/rop.h"
#include "journal/ctlcmds.h"
#include "journal/path.h"
#include "journal/shapes.h"
#include "pdl/cheetah.h"
#include "pdl/xlops.h"
#include "testkit/bytes.h"
#include "testkit/core/port.h"
#include "testkit/pclxl/xldecode.h"

namespace {

// The generator with its pen and brush kinds within a test's reach.
class OpenCheetah : public GCheetah {
 public:
  void setKinds(uint32_t pen, uint32_t brush) {
    penKind_ = pen;
    brushKind_ = brush;
  }
};

// A generator in a document on a fake port; drawn() answers what was
// written since the document start (or the last call).
struct Job {
  explicit Job(bool colour = false, GConfiguration* config = nullptr) {
    if (config) generator.setConfig(config);
    auto* state = new GState(246);
    if (colour) state->insert(new GValueAttribute(0, AttrId::PrintInGray));
    auto* start = new GDocumentStart(RWWString("doc"), RWWString("FAKE:"), nullptr, state, 0);
    start->setOutputPort(&port);
    EXPECT_EQ(generator.process(GCommandPtr(start))->isA(), ClassId::GDocumentStart);
    drawn();
  }

  std::string drawn() {
    xlFlushStream(*generator.stream());
    std::string out = port.written().substr(mark);
    mark = port.written().size();
    return out;
  }
  // Hands the object to the generator as a stage does; answers the status.
  [[nodiscard]] GStatus send(MPersistentObject& object) { return dynamic_cast<GAttribute&>(object).accept(generator); }

  FakeOutputPort port;  // outlives the generator
  OpenCheetah generator;
  size_t mark = 0;
};

std::string box(int16_t l, int16_t t, int16_t r, int16_t b) {
  return bytes({0xE3}) + le16(static_cast<uint16_t>(l)) + le16(static_cast<uint16_t>(t)) +
         le16(static_cast<uint16_t>(r)) + le16(static_cast<uint16_t>(b)) + bytes({0xF8, 0x42});
}

// Every operator read back, as its signature.
std::vector<std::string> signatures(const std::string& written) {
  const XLDecodeResult d = decodeXLTokens(written);
  EXPECT_TRUE(d.ok) << d.error;
  std::vector<std::string> out;
  for (const XLOperatorToken& op : d.operators) out.push_back(op.signature());
  return out;
}

GColorPaint* colour(uint8_t r, uint8_t g, uint8_t b) { return new GColorPaint(new GRGBColor(r, g, b, 255)); }

const std::string kNewPath = bytes({0x85});
const std::string kPaintPath = bytes({0x86});
const std::string kOpaque = bytes({0xC0, 0x00, 0xF8, 0x2D, 0x78, 0xC0, 0x00, 0xF8, 0x2D, 0x7C});
const std::string kTransparent = bytes({0xC0, 0x01, 0xF8, 0x2D, 0x78, 0xC0, 0x01, 0xF8, 0x2D, 0x7C});

TEST(XLGraphics, LineAndFillAttributesAsTables) {
  struct Row {
    const char* what;
    std::function<GAttribute*()> make;
    std::string expected;
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<Row> rows = {
      {"cap round", [] { return new GCap(0); }, bytes({0xC0, 0x01, 0xF8, 0x47, 0x71})},
      {"cap square", [] { return new GCap(1); }, bytes({0xC0, 0x02, 0xF8, 0x47, 0x71})},
      {"cap butt", [] { return new GCap(2); }, bytes({0xC0, 0x00, 0xF8, 0x47, 0x71})},
      {"cap 3", [] { return new GCap(3); }, ""},
      {"cap -1", [] { return new GCap(-1); }, ""},
      {"join miter",
       [] {
         auto* j = new GJoint(1);
         j->setJoin(0);  // a miter join made from a value is none
         return j;
       },
       bytes({0xC0, 0x00, 0xF8, 0x48, 0x72})},
      {"join round", [] { return new GJoint(1); }, bytes({0xC0, 0x01, 0xF8, 0x48, 0x72})},
      {"join bevel", [] { return new GJoint(2); }, bytes({0xC0, 0x02, 0xF8, 0x48, 0x72})},
      {"join none", [] { return new GJoint(3); }, bytes({0xC0, 0x03, 0xF8, 0x48, 0x72})},
      {"join 4", [] { return new GJoint(4); }, ""},
      {"fill even-odd", [] { return new GFillMode(0); }, bytes({0xC0, 0x01, 0xF8, 0x46, 0x6E})},
      {"fill non-zero", [] { return new GFillMode(1); }, bytes({0xC0, 0x00, 0xF8, 0x46, 0x6E})},
      {"fill 2", [] { return new GFillMode(2); }, ""},
      {"miter 10.7", [] { return new GMiterJoint(10.7f); },
       bytes({0xC1, 0x0A, 0x00, 0xF8, 0x49, 0x73, 0xC0, 0x00, 0xF8, 0x48, 0x72})},
      {"miter NaN", [nan] { return new GMiterJoint(nan); },
       bytes({0xC1, 0x00, 0x00, 0xF8, 0x49, 0x73, 0xC0, 0x00, 0xF8, 0x48, 0x72})},
      {"miter -3", [] { return new GMiterJoint(-3.0f); },
       bytes({0xC1, 0x00, 0x00, 0xF8, 0x49, 0x73, 0xC0, 0x00, 0xF8, 0x48, 0x72})},
      {"miter 1e9", [] { return new GMiterJoint(1e9f); },
       bytes({0xC1, 0xFF, 0xFF, 0xF8, 0x49, 0x73, 0xC0, 0x00, 0xF8, 0x48, 0x72})},
      {"miter infinity", [] { return new GMiterJoint(std::numeric_limits<float>::infinity()); },
       bytes({0xC1, 0xFF, 0xFF, 0xF8, 0x49, 0x73, 0xC0, 0x00, 0xF8, 0x48, 0x72})},
  };
  Job job;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::unique_ptr<GAttribute> attribute(row.make());
    EXPECT_EQ(job.send(*attribute), 0);
    EXPECT_EQ(job.drawn(), row.expected);
    EXPECT_EQ(attribute->isChanged(), 0) << "consumed, written or not";
  }
}

TEST(XLGraphics, RasterOperationsAndTheTransparentMode) {
  struct Row {
    const char* what;
    uint16_t code;
    int32_t kind;
    std::string expected;
    uint32_t transparentAfter;
  };
  const std::vector<Row> rows = {
      {"kind 1, background 0xAA: transparent", 0xAAF0, 1, kTransparent + bytes({0xC0, 0xF0, 0xF8, 0x2C, 0x7B}), 1},
      {"kind 2 writes nothing and keeps the mode", 0xCCF0, 2, "", 1},
      {"kind 0: the code alone, the mode kept", 0x01CC, 0, bytes({0xC0, 0xCC, 0xF8, 0x2C, 0x7B}), 1},
      {"kind 1, background 0xA5 is transparent too", 0xA566, 1, kTransparent + bytes({0xC0, 0x66, 0xF8, 0x2C, 0x7B}),
       1},
      {"kind 1, background 0xCC: opaque", 0xCCF0, 1, kOpaque + bytes({0xC0, 0xF0, 0xF8, 0x2C, 0x7B}), 0},
  };
  Job job;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    GRasterOperation rop(row.code, row.kind);
    EXPECT_EQ(job.send(rop), 0);
    EXPECT_EQ(job.drawn(), row.expected);
    EXPECT_EQ(job.generator.transparentMode(), row.transparentAfter);
    EXPECT_EQ(rop.isChanged(), 0);
  }
}

TEST(XLGraphics, PaintingIsOpaqueInTransparentModeWhereTheKindsAskForIt) {
  // Brush kinds 0 colour, 1 transparent pattern, 2 opaque pattern, 3 none.
  struct Row {
    uint32_t brush, pen;
    bool bracketed;
  };
  const std::vector<Row> rows = {
      {0, 0, true}, {0, 3, true},  {1, 0, false}, {1, 3, false}, {2, 1, true},  {2, 3, true},
      {3, 0, true}, {3, 1, false}, {3, 2, true},  {3, 3, false},
  };
  const std::string rectangle = kNewPath + box(10, 20, 30, 40) + bytes({0xA1});
  Job job;
  GRasterOperation transparent(0xAAF0, 1);
  EXPECT_EQ(job.send(transparent), 0);
  job.drawn();
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "brush " << row.brush << " pen " << row.pen);
    job.generator.setKinds(row.pen, row.brush);
    GRectangleGraphic shape(nullptr, GRect(10, 20, 30, 40));
    EXPECT_EQ(shape.accept(job.generator), 0);
    EXPECT_EQ(job.drawn(), row.bracketed ? rectangle + kOpaque + kPaintPath + kTransparent : rectangle + kPaintPath);
  }
  // Outside transparent mode nothing is bracketed.
  GRasterOperation opaque(0xCCF0, 1);
  EXPECT_EQ(job.send(opaque), 0);
  job.drawn();
  job.generator.setKinds(0, 0);
  GRectangleGraphic shape(nullptr, GRect(10, 20, 30, 40));
  EXPECT_EQ(shape.accept(job.generator), 0);
  EXPECT_EQ(job.drawn(), rectangle + kPaintPath);
}

TEST(XLGraphics, PensAndBrushesSelectTheirSources) {
  const std::string grey76 = bytes({0xC0, 0x01, 0xF8, 0x03, 0x6A, 0xC0, 0x4C, 0xF8, 0x09});
  const std::string red = bytes({0xC0, 0x02, 0xF8, 0x03, 0x6A, 0xC8, 0xC1, 0x03, 0x00, 0xFF, 0x00, 0x00, 0xF8, 0x0B});
  const std::string solidWidth4 = bytes({0xC0, 0x00, 0xF8, 0x4E, 0x70, 0xC1, 0x04, 0x00, 0xF8, 0x4B, 0x7A});
  {
    Job mono;
    GPen pen(4, colour(255, 0, 0));
    mono.generator.setKinds(3, 3);
    EXPECT_EQ(mono.send(pen), 0);
    EXPECT_EQ(mono.drawn(), solidWidth4 + grey76 + bytes({0x79}));
    EXPECT_EQ(mono.generator.penKind(), 0u);
    EXPECT_EQ(pen.isChanged(), 0);

    GBrush brush(colour(128, 128, 128));
    EXPECT_EQ(mono.send(brush), 0);
    EXPECT_EQ(mono.drawn(), bytes({0xC0, 0x01, 0xF8, 0x03, 0x6A, 0xC0, 0x80, 0xF8, 0x09, 0x63}));
    EXPECT_EQ(mono.generator.brushKind(), 0u);
  }
  {
    Job colourJob(true);
    GPen pen(4, colour(255, 0, 0));
    EXPECT_EQ(colourJob.send(pen), 0);
    EXPECT_EQ(colourJob.drawn(), solidWidth4 + red + bytes({0x79}));
    GBrush brush(colour(255, 0, 0));
    EXPECT_EQ(colourJob.send(brush), 0);
    EXPECT_EQ(colourJob.drawn(), red + bytes({0x63}));
  }
  Job job;
  // The null pen and brush, and the kinds they leave.
  GNoPen noPen;
  GNoBrush noBrush;
  EXPECT_EQ(job.send(noPen), 0);
  EXPECT_EQ(job.send(noBrush), 0);
  EXPECT_EQ(job.drawn(), bytes({0xC0, 0x00, 0xF8, 0x05, 0x79, 0xC0, 0x00, 0xF8, 0x04, 0x63}));
  EXPECT_EQ(job.generator.penKind(), 3u);
  EXPECT_EQ(job.generator.brushKind(), 3u);
  EXPECT_EQ(noPen.isChanged() | noBrush.isChanged(), 0);

  // A colour paint without a colour selects nothing, yet it is the kind.
  GBrush empty(new GColorPaint());
  EXPECT_EQ(job.send(empty), 0);
  EXPECT_EQ(job.drawn(), "");
  EXPECT_EQ(job.generator.brushKind(), 0u);
  // A brush without a paint writes nothing and keeps the kind.
  EXPECT_EQ(job.send(noBrush), 0);
  job.drawn();
  GBrush none;
  EXPECT_EQ(job.send(none), 0);
  EXPECT_EQ(job.drawn(), "");
  EXPECT_EQ(job.generator.brushKind(), 3u);
  // A pen without a paint: the line and the width alone.
  GPen bare(7, nullptr);
  EXPECT_EQ(job.send(bare), 0);
  EXPECT_EQ(job.drawn(), bytes({0xC0, 0x00, 0xF8, 0x4E, 0x70, 0xC1, 0x07, 0x00, 0xF8, 0x4B, 0x7A}));

  // A raster paint that cannot be defined as a pattern: an opaque pattern's
  // kind, and the null source.
  job.generator.setKinds(0, 0);
  EXPECT_EQ(job.generator.setPenRasterPaint(nullptr), 0);
  EXPECT_EQ(job.generator.setBrushRasterPaint(nullptr), 0);
  EXPECT_EQ(job.drawn(), bytes({0xC0, 0x00, 0xF8, 0x05, 0x79, 0xC0, 0x00, 0xF8, 0x04, 0x63}));
  EXPECT_EQ(job.generator.penKind(), 2u);
  EXPECT_EQ(job.generator.brushKind(), 2u);
}

TEST(XLGraphics, DashedPensSendTheirPatternAndOffset) {
  Job job;
  std::unique_ptr<int16_t[]> dashes(new int16_t[3]{10, 20, 300});
  GDashedPen pen(std::move(dashes), 3, 2, colour(0, 0, 0), 5);
  EXPECT_EQ(job.send(pen), 0);
  EXPECT_EQ(job.drawn(), bytes({0xC9, 0xC1, 0x03, 0x00, 0x0A, 0x00, 0x14, 0x00, 0x2C, 0x01, 0xF8, 0x4A, 0xC1, 0x05,
                                0x00, 0xF8, 0x43, 0x70, 0xC1, 0x02, 0x00, 0xF8, 0x4B, 0x7A, 0xC0, 0x01, 0xF8, 0x03,
                                0x6A, 0xC0, 0x00, 0xF8, 0x09, 0x79}));
  EXPECT_EQ(pen.isChanged(), 0);

  // No lengths: no pattern to send, and the printer takes no empty one.
  GDashedPen plain(nullptr, 4, 1, nullptr, 0);
  EXPECT_EQ(job.send(plain), 0);
  EXPECT_EQ(job.drawn(), bytes({0xC0, 0x00, 0xF8, 0x4E, 0x70, 0xC1, 0x01, 0x00, 0xF8, 0x4B, 0x7A}));
}

TEST(XLGraphics, WritesEachClipAsItsPathAndMode) {
  struct Row {
    const char* what;
    std::function<GAttribute*()> make;
    std::string expected;
  };
  const std::string evenOdd = bytes({0xC0, 0x01, 0xF8, 0x54, 0x7F});
  const std::string nonZero = bytes({0xC0, 0x00, 0xF8, 0x54, 0x7F});
  auto rect = [](int16_t i) { return GRect(i, i, static_cast<int16_t>(i + 10), static_cast<int16_t>(i + 10)); };
  const std::vector<Row> rows = {
      {"page", [] { return new GClipToPage(); }, bytes({0x69})},
      {"no rectangles", [] { return new GClipToRectangle(std::vector<GRect>{}, 0, 0); }, evenOdd},
      {"one rectangle, exterior", [&] { return new GClipToRectangle(rect(1), 1, 1); },
       nonZero + box(1, 1, 11, 11) + bytes({0xC0, 0x01, 0xF8, 0x53, 0x68})},
      {"three rectangles", [&] { return new GClipToRectangle(std::vector<GRect>{rect(1), rect(2), rect(3)}, 0, 0); },
       evenOdd + kNewPath + box(1, 1, 11, 11) + bytes({0xA1}) + box(2, 2, 12, 12) + bytes({0xA1}) + box(3, 3, 13, 13) +
           bytes({0xA1, 0xC0, 0x00, 0xF8, 0x53, 0x62})},
      {"fill rule 2 sends no clip mode", [&] { return new GClipToSingleRectangle(rect(4), 0, 2); },
       box(4, 4, 14, 14) + bytes({0xC0, 0x00, 0xF8, 0x53, 0x68})},
      {"region 2 is the interior", [&] { return new GClipToSingleRectangle(rect(4), 2, 1); },
       nonZero + box(4, 4, 14, 14) + bytes({0xC0, 0x00, 0xF8, 0x53, 0x68})},
      {"a path clip without a path keeps the page", [] { return new GClipToPath(nullptr, 0, 0); }, bytes({0x69})},
  };
  Job job;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::unique_ptr<GAttribute> clip(row.make());
    EXPECT_EQ(job.send(*clip), 0);
    EXPECT_EQ(job.drawn(), row.expected);
    EXPECT_EQ(clip->isChanged(), 0);
  }
}

TEST(XLGraphics, APathClipIsBuiltAndNotPainted) {
  Job job;
  auto* path = new GPathGraphic(nullptr, 0);
  path->insert(new GRectangleGraphic(nullptr, GRect(1, 2, 3, 4)));
  path->insert(new GEllipseGraphic(nullptr, GRect(5, 6, 7, 8), 0));
  GClipToPath clip(path, 1, 0);
  EXPECT_EQ(job.send(clip), 0);
  EXPECT_EQ(job.drawn(), bytes({0xC0, 0x01, 0xF8, 0x54, 0x7F}) + kNewPath + box(1, 2, 3, 4) + bytes({0xA1}) +
                             box(5, 6, 7, 8) + bytes({0x99, 0xC0, 0x01, 0xF8, 0x53, 0x62}));
  EXPECT_EQ(job.generator.recordingClipPath(), 0u);
  // The next path is painted again.
  GPathGraphic next(nullptr, 0);
  next.insert(new GRectangleGraphic(nullptr, GRect(1, 2, 3, 4)));
  EXPECT_EQ(next.accept(job.generator), 0);
  EXPECT_EQ(job.drawn(), kNewPath + box(1, 2, 3, 4) + bytes({0xA1}) + kPaintPath);
}

TEST(XLGraphics, ShapesAndWhereTheyLeaveTheCurrentPoint) {
  std::vector<GPoint> ends = {{100, 25}, {50, -10}};
  const GPointArray both = GPointArray::borrowing(ends.data(), 2);
  const GRect r(0, 0, 100, 50);
  struct Row {
    const char* what;
    std::function<GGraphic*()> make;
    std::string body;  // between NewPath and PaintPath
    GPoint after;
  };
  const std::string bx = box(0, 0, 100, 50);
  const std::string start = bytes({0xD3, 100, 0, 25, 0, 0xF8, 0x4F});    // StartPoint (100, 25)
  const std::string startAbove = bytes({0xD3, 50, 0, 0xF6, 0xFF, 0xF8, 0x4F});
  const std::string end = bytes({0xD3, 50, 0, 0xF6, 0xFF, 0xF8, 0x45});  // EndPoint (50, -10)
  const std::string endRight = bytes({0xD3, 100, 0, 25, 0, 0xF8, 0x45});
  const std::vector<Row> rows = {
      {"arc, direction 1", [&] { return new GArcGraphic(nullptr, r, both, 1); },
       bx + start + end + bytes({0xC0, 0x01, 0xF8, 0x41, 0x91}), {50, 0}},
      {"arc, direction 0", [&] { return new GArcGraphic(nullptr, r, both, 0); },
       bx + start + end + bytes({0xC0, 0x00, 0xF8, 0x41, 0x91}), {50, 0}},
      {"chord, direction 1", [&] { return new GChordGraphic(nullptr, r, both, 1); }, bx + start + end + bytes({0x97}),
       {0, 0}},
      {"chord, direction 0: start and end exchanged", [&] { return new GChordGraphic(nullptr, r, both, 0); },
       bx + startAbove + endRight + bytes({0x97}), {0, 0}},
      {"pie, direction 0", [&] { return new GPieGraphic(nullptr, GRect(-4, 3, 96, 53), both, 0); },
       box(-4, 3, 96, 53) + startAbove + endRight + bytes({0x9F}), {-4, 3}},
      {"ellipse", [&] { return new GEllipseGraphic(nullptr, GRect(7, 8, 9, 10), 1); }, box(7, 8, 9, 10) + bytes({0x99}),
       {7, 8}},
      {"rounded rectangle", [&] { return new GRoundedRectangleGraphic(nullptr, r, both); },
       bx + bytes({0xD1, 100, 0, 25, 0, 0xF8, 0x44, 0xA3}), {0, 0}},
  };
  Job job;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::unique_ptr<GGraphic> shape(row.make());
    EXPECT_EQ(shape->accept(job.generator), 0);
    EXPECT_EQ(job.drawn(), kNewPath + row.body + kPaintPath);
    EXPECT_EQ(job.generator.currentPoint(), row.after);
  }
}

TEST(XLGraphics, PolyShapesCountFromTheCursor) {
  Job job;
  std::vector<GPoint> line = {{100, 100}, {103, 104}, {300, 104}};
  GPolyLineGraphic polyLine(nullptr, GPointArray::borrowing(line.data(), 3));
  EXPECT_EQ(polyLine.accept(job.generator), 0);
  // SetCursor to the start, then offsets from it: (3, 4) and (197, 0), one
  // word run.
  EXPECT_EQ(job.drawn(), kNewPath + bytes({0xD3, 100, 0, 100, 0, 0xF8, 0x4C, 0x6B, 0xC1, 0x02, 0x00, 0xF8, 0x4D, 0xC0,
                                           0x03, 0xF8, 0x50, 0x9D, 0xFB, 0x08, 3, 0, 4, 0, 197, 0, 0, 0}) +
                             kPaintPath);
  EXPECT_EQ(job.generator.currentPoint(), GPoint(300, 104));

  // A line-to counts from there.
  std::vector<GPoint> more = {{301, 103}};
  GPolyLineToGraphic lineTo(nullptr, GPointArray::borrowing(more.data(), 1));
  EXPECT_EQ(lineTo.accept(job.generator), 0);
  EXPECT_EQ(job.drawn(), kNewPath + bytes({0xC1, 0x01, 0x00, 0xF8, 0x4D, 0xC0, 0x01, 0xF8, 0x50, 0x9D, 0xFB, 0x02, 1,
                                           0xFF}) +
                             kPaintPath);
  EXPECT_EQ(job.generator.currentPoint(), GPoint(301, 103));

  // A polygon starts at its first point, with the offset (0, 0), and is
  // closed.
  std::vector<GPoint> corners = {{10, 10}, {20, 10}, {20, 20}, {10, 10}};
  GPolygonGraphic polygon(nullptr, GPointArray::borrowing(corners.data(), 4));
  EXPECT_EQ(polygon.accept(job.generator), 0);
  EXPECT_EQ(job.drawn(), kNewPath + bytes({0xD3, 10, 0, 10, 0, 0xF8, 0x4C, 0x6B, 0xC1, 0x04, 0x00, 0xF8, 0x4D, 0xC0,
                                           0x01, 0xF8, 0x50, 0x9D, 0xFB, 0x08, 0, 0, 10, 0, 0, 10, 0xF6, 0xF6, 0x84}) +
                             kPaintPath);
  EXPECT_EQ(job.generator.currentPoint(), GPoint(10, 10));

  // A poly-Bezier: the cursor at the start, two segments; the seventh
  // point is ignored.
  std::vector<GPoint> curve = {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}, {7, 7}};
  GPolyBezierGraphic bezier(nullptr, GPointArray::borrowing(curve.data(), 8));
  EXPECT_EQ(bezier.accept(job.generator), 0);
  EXPECT_EQ(signatures(job.drawn()),
            (std::vector<std::string>{"85", "6B 76:sint16_xy", "95 77:uint16 80:ubyte", "86"}));
  EXPECT_EQ(job.generator.currentPoint(), GPoint(6, 6));

  // Nothing to draw, nothing written.
  std::vector<GPoint> two = {{1, 1}, {2, 2}};
  GPolyBezierToGraphic shortCurve(nullptr, GPointArray::borrowing(two.data(), 2));
  GPolyBezierGraphic onlyStart(nullptr, GPointArray::borrowing(two.data(), 2));
  GPolyLineToGraphic noPoints(nullptr, GPointArray());
  GPolygonGraphic noCorners(nullptr, GPointArray());
  for (GGraphic* empty : std::vector<GGraphic*>{&shortCurve, &onlyStart, &noPoints, &noCorners})
    EXPECT_EQ(empty->accept(job.generator), 0);
  EXPECT_EQ(job.drawn(), "");
  EXPECT_EQ(job.generator.currentPoint(), GPoint(6, 6));
}

TEST(XLGraphics, APathHoldsItsPiecesInOneFigure) {
  // The device's form: the outer path holds one nested path per sub-path.
  std::vector<GPoint> first = {{10, 10}, {20, 10}};
  std::vector<GPoint> rest = {{20, 20}};
  auto* open = new GPathGraphic(nullptr, 0);
  open->insert(new GPolyLineGraphic(nullptr, GPointArray::borrowing(first.data(), 2)));
  open->insert(new GPolyLineToGraphic(nullptr, GPointArray::borrowing(rest.data(), 1)));
  auto* closed = new GPathGraphic(nullptr, 0);
  closed->insert(new GRectangleGraphic(nullptr, GRect(0, 0, 5, 5)));
  closed->setClosed();
  GPathGraphic path(nullptr, 0);
  path.insert(open);
  path.insert(closed);
  path.setClosed();  // the outermost path closes nothing itself

  Job job;
  EXPECT_EQ(path.accept(job.generator), 0);
  EXPECT_EQ(signatures(job.drawn()),
            (std::vector<std::string>{"85", "6B 76:sint16_xy", "9D 77:uint16 80:ubyte", "9D 77:uint16 80:ubyte",
                                      "A1 66:sint16_box", "84", "86"}));
  EXPECT_EQ(job.generator.pathDepth(), 0);
  EXPECT_EQ(job.generator.currentPoint(), GPoint(0, 0));
}

TEST(XLGraphics, ColourRenderingGoesOutAsVendorExtensions) {
  auto* config = new GConfiguration();
  auto* maps = new MAssociationList(AttrId::ColorMapTable);
  maps->insertAssociation(new MPersistentAssociation(new GValueAttribute(3, 0), new GValueAttribute(0x1234, 0), 0));
  config->insert(maps);
  Job job(false, config);
  GColorMap map(3);
  GHalftone halftone(3);  // no halftone table: device value 0
  EXPECT_EQ(job.send(map), 0);
  EXPECT_EQ(job.send(halftone), 0);
  EXPECT_EQ(job.drawn(), bytes({0xC2, 0x01, 0x10, 0x78, 0x71, 0xF8, 0x91, 0xC0, 0x34, 0xF8, 0x93, 0x46,  //
                                0xC2, 0x02, 0x10, 0x78, 0x71, 0xF8, 0x91, 0xC0, 0x00, 0xF8, 0x93, 0x46}));
  EXPECT_EQ(map.isChanged() | halftone.isChanged(), 0);
}

TEST(XLGraphics, WithoutAPortNothingIsWrittenYetTheStateFollows) {
  OpenCheetah generator;
  GBrush brush(colour(1, 2, 3));
  GNoPen pen;
  GRasterOperation rop(0xAAF0, 1);
  GRectangleGraphic shape(nullptr, GRect(1, 2, 3, 4));
  EXPECT_EQ(brush.accept(generator), 0);
  EXPECT_EQ(pen.accept(generator), 0);
  EXPECT_EQ(rop.accept(generator), 0);
  EXPECT_EQ(shape.accept(generator), 0);
  EXPECT_EQ(generator.stream()->total, 0u);
  EXPECT_EQ(generator.brushKind(), 0u);
  EXPECT_EQ(generator.penKind(), 3u);
  EXPECT_EQ(brush.isChanged() | pen.isChanged() | rop.isChanged(), 0);
}

TEST(XLGraphics, AWriteThatFailsInsideAPathIsThePathsStatus) {
  // Enough word offsets to fill the buffer while the path's first piece
  // is written, so the failed write is taken by that piece's handler.
  std::vector<GPoint> zigzag;
  for (int i = 0; i < 3000; ++i) zigzag.emplace_back(static_cast<int16_t>(i % 2 ? 1000 : 0), static_cast<int16_t>(i));
  GPathGraphic path(nullptr, 0);
  path.insert(new GPolyLineGraphic(nullptr, GPointArray::borrowing(zigzag.data(), 3000)));
  path.insert(new GRectangleGraphic(nullptr, GRect(0, 0, 5, 5)));
  Job job;
  job.port.answer("write", 5);
  EXPECT_EQ(path.accept(job.generator), 5);
  GNoPen next;
  EXPECT_EQ(job.send(next), 0) << "answered once";
}

}  // namespace
