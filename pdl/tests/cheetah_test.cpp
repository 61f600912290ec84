// The PCL XL generator's job: the session, the pages and their
// attributes, the control commands, the settings it only consumes, its
// stored form and its copies. Every expected byte is written out here from
// the PCL XL format, and whole streams are read back with the test kit's
// decoder.

#include "pdl/cheetah.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/enumattr.h"
#include "core/passoc.h"
#include "core/pcomposit.h"
#include "core/state.h"
#include "core/valattr.h"
#include "device/config.h"
#include "device/media.h"
#include "device/resmap.h"
#include "graphics/color.h"
#include "graphics/dither.h"
#include "graphics/gattrib.h"
#include "graphics/lineattr.h"
#include "graphics/paint.h"
#include "graphics/pen.h"
#include "graphics/transfrm.h"
#include "journal/ctlcmds.h"
#include "journal/passthru.h"
#include "journal/shapes.h"
#include "testkit/bytes.h"
#include "testkit/core/port.h"
#include "testkit/pclxl/xldecode.h"
#include "testkit/store.h"

namespace {

// ---- expected bytes -----------------------------------------------------------------------

const std::string kHeader = ") QX-PCL XL;2;0;Comment Printer driver output. Version 4.2.1.8\n";
// BeginSession: UnitsPerMeasure (600, 600), Measure inch, ErrorReport 3.
const std::string kBeginSession =
    bytes({0xD1, 0x58, 0x02, 0x58, 0x02, 0xF8, 0x89, 0xC0, 0x00, 0xF8, 0x86, 0xC0, 0x03, 0xF8, 0x8F, 0x41});
// OpenDataSource: SourceType 0, DataOrg 1.
const std::string kOpenDataSource = bytes({0xC0, 0x00, 0xF8, 0x88, 0xC0, 0x01, 0xF8, 0x82, 0x48});
const std::string kSession = kHeader + kBeginSession + kOpenDataSource;
const std::string kBeginPage = bytes({0x43});
const std::string kClipMode0 = bytes({0xC0, 0x00, 0xF8, 0x54, 0x7F});
const std::string kCloseSession = bytes({0x49, 0x42});

std::string orientation(uint8_t code) { return bytes({0xC0, code, 0xF8, 0x28}); }
std::string mediaSource(uint8_t code) { return bytes({0xC0, code, 0xF8, 0x26}); }
std::string mediaSize(const std::string& name) {
  return bytes({0xC8, 0xC1}) + le16(static_cast<uint16_t>(name.size())) + name + bytes({0xF8, 0x25});
}
std::string mediaType(const std::string& name) {
  return bytes({0xC8, 0xC1}) + le16(static_cast<uint16_t>(name.size())) + name + bytes({0xF8, 0x27});
}
std::string endPage(uint16_t copies) { return bytes({0xC1}) + le16(copies) + bytes({0xF8, 0x31, 0x44}); }
// CustomMediaSize (8.5, 11) and CustomMediaSizeUnits inch: Letter by its
// size.
const std::string kLetterInches =
    bytes({0xD5, 0x00, 0x00, 0x08, 0x41, 0x00, 0x00, 0x30, 0x41, 0xF8, 0x2F, 0xC0, 0x00, 0xF8, 0x30});

// ---- fixtures -----------------------------------------------------------------------------

// A port whose writes fail from the nth on.
class FailingPort : public FakeOutputPort {
 public:
  explicit FailingPort(int failFrom) : failFrom_(failFrom) {}
  [[nodiscard]] uint16_t write(const void* data, uint32_t length, uint32_t& written) override {
    if (++writes >= failFrom_) {
      written = 0;
      return 5;
    }
    return FakeOutputPort::write(data, length, written);
  }
  int writes = 0;

 private:
  int failFrom_;
};

// The generator's protected fields, reachable from a test.
class OpenCheetah : public GCheetah {
 public:
  using GCheetah::GCheetah;
  void setCounters(int16_t depth) {
    pathDepth_ = depth;
    inScanLines_ = 1;
    recordingClipPath_ = 1;
    fontNameCounter_ = 7;
    fontUseCounter_ = 9;
  }
  void dropStream() { stream_.reset(); }
};

GMedia* letter(int32_t angle = 0, const char* type = nullptr) {
  return new GMedia("Letter", GPoint(5100, 6600), GPoint(4900, 6400), GPoint(100, 100), angle, 1, 600, 600, 259, 0,
                    nullptr, type);
}

// The generator's Config: media size 1 is "LETTER" (192); paper source 1
// is MediaSource 3 (85).
GConfiguration* standardConfig() {
  auto* config = new GConfiguration;
  auto* sizes = new MAssociationList(AttrId::PaperNameTable);
  sizes->insertAssociation(
      new MPersistentAssociation(new GValueAttribute(1, 0), new GSelectionString("LETTER", 1), 0));
  config->insert(sizes);
  auto* sources = new MAssociationList(AttrId::PsMediaPositions);
  sources->insertAssociation(
      new MPersistentAssociation(new GValueAttribute(1, 0), new GValueAttribute(3, 0), 0));
  config->insert(sources);
  return config;
}

GState* stateWith(uint32_t id, std::vector<MPersistentObject*> members) {
  auto* state = new GState(id);
  for (MPersistentObject* member : members) state->insert(member);
  return state;
}

// A generator on a memory port that the document start carries.
struct Job {
  explicit Job(GConfiguration* config = standardConfig())
      : generator("PCLXL", nullptr, config, 101) {}

  GCommandPtr send(GCommand* command) { return generator.process(GCommandPtr(command)); }
  [[nodiscard]] GStatus statusOf(GCommand* command) {
    const GCommandPtr result = send(command);
    const auto* error = dynamic_cast<const GErrorCommand*>(result.get());
    return error ? error->errorCode() : 0;
  }
  [[nodiscard]] GStatus start(std::vector<MPersistentObject*> document = {}) {
    auto* command = new GDocumentStart(RWWString("doc"), RWWString("FAKE:"), nullptr,
                                       stateWith(AttrId::DocumentGroup, document), 0);
    command->setOutputPort(&port);
    return statusOf(command);
  }
  [[nodiscard]] GStatus page(std::vector<MPersistentObject*> page) {
    return statusOf(new GPageStart(stateWith(AttrId::PageGroup, page), 0));
  }
  [[nodiscard]] GStatus pageEnd(std::vector<MPersistentObject*> page = {}) {
    return statusOf(new GPageEnd(stateWith(AttrId::PageGroup, page), 0));
  }
  [[nodiscard]] GStatus end() { return statusOf(new GDocumentEnd(RWWString("doc"), RWWString("FAKE:"))); }
  const std::string& out() const { return port.written(); }

  FakeOutputPort port;
  OpenCheetah generator;
};

// ---- pages --------------------------------------------------------------------------------

TEST(CheetahPages, OnAMemoryPort) {
  auto matrices = [](GConfiguration* config) {
    auto* list = new MPersistentComposite;
    list->setId(AttrId::PsDitherMatrices);
    const unsigned char thresholds[] = {10, 20, 30, 40, 50, 60};
    list->insert(new GDitherMatrix(3, 2, thresholds, 600));
    config->children().append(GCountedPtr(list));
    return config;
  };
  const struct {
    const char* what;
    GConfiguration* config;
    std::vector<MPersistentObject*> document;
    std::vector<std::vector<MPersistentObject*>> pages;  // page start and page end states, in turn
    std::string expected;                                // after the session, to the end of the document
  } cases[] = {
      {"one paper source on two pages: one MediaSource",
       standardConfig(),
       {},
       {{new GValueAttribute(1, 258), letter()}, {new GValueAttribute(2, 257)},
        {new GValueAttribute(1, 258), letter()}, {}},
       orientation(0) + mediaSource(3) + mediaSize("LETTER") + kBeginPage + kClipMode0 + endPage(2) +
           orientation(0) + mediaSize("LETTER") + kBeginPage + kClipMode0 + endPage(2)},
      {"a source missing from 85 is source 0; a media type once while it stays",
       standardConfig(),
       {},
       {{new GValueAttribute(4, 258), letter(0, "Bond")}, {}, {new GValueAttribute(4, 258), letter(0, "Bond")}, {}},
       orientation(0) + mediaSource(0) + mediaType("Bond") + mediaSize("LETTER") + kBeginPage + kClipMode0 +
           endPage(1) + orientation(0) + mediaSize("LETTER") + kBeginPage + kClipMode0 + endPage(1)},
      {"a media missing from 192 at 270 degrees: a custom size in inches, exchanged",
       standardConfig(),
       {},
       {{new GValueAttribute(270, 265),
         new GMedia("Odd", GPoint(5100, 6600), GPoint(4900, 6400), GPoint(100, 100), 270, 77, 600, 600, 259)},
        {}},
       orientation(3) +
           bytes({0xD5, 0x00, 0x00, 0x30, 0x41, 0x00, 0x00, 0x08, 0x41, 0xF8, 0x2F, 0xC0, 0x00, 0xF8, 0x30}) +
           kBeginPage + kClipMode0 + endPage(1)},
      {"orientations 90 and 180; 45 is sent as 0",
       standardConfig(),
       {},
       {{new GValueAttribute(90, 265), letter()},
        {},
        {new GValueAttribute(180, 265), letter()},
        {},
        {new GValueAttribute(45, 265), letter()},
        {}},
       orientation(1) + mediaSize("LETTER") + kBeginPage + kClipMode0 + endPage(1) + orientation(2) +
           mediaSize("LETTER") + kBeginPage + kClipMode0 + endPage(1) + orientation(0) + mediaSize("LETTER") +
           kBeginPage + kClipMode0 + endPage(1)},
      {"without 192 the media goes by its size; copies below 1 print once",
       new GConfiguration,
       {},
       {{letter()}, {new GValueAttribute(0, 257)}, {letter()}, {new GValueAttribute(-1, 257)}},
       orientation(0) + kLetterInches + kBeginPage + kClipMode0 + endPage(1) + orientation(0) + kLetterInches +
           kBeginPage + kClipMode0 + endPage(1)},
      {"attribute 900: VendorUnique 0x71782002 with its low byte",
       standardConfig(),
       {new GValueAttribute(0x0145, 900)},
       {{letter()}, {}},
       bytes({0xC2, 0x02, 0x20, 0x78, 0x71, 0xF8, 0x91, 0xC0, 0x45, 0xF8, 0x93, 0x46}) + orientation(0) +
           mediaSize("LETTER") + kBeginPage + kClipMode0 + endPage(1)},
      {"a dither matrix: SetHalftoneMethod and its thresholds on every page",
       matrices(standardConfig()),
       {},
       {{letter()}, {}},
       orientation(0) + mediaSize("LETTER") + kBeginPage + kClipMode0 +
           bytes({0xD1, 0x03, 0x00, 0x02, 0x00, 0xF8, 0x32, 0xC0, 0x02, 0xF8, 0x33, 0xC0, 0x00, 0xF8, 0x22, 0x6D,
                  0xFB, 0x06, 10, 20, 30, 40, 50, 60}) +
           endPage(1)},
  };
  for (const auto& c : cases) {
    Job job(c.config);
    ASSERT_EQ(job.start(c.document), 0) << c.what;
    for (size_t i = 0; i + 1 < c.pages.size(); i += 2) {
      EXPECT_EQ(job.page(c.pages[i]), 0) << c.what;
      EXPECT_EQ(job.pageEnd(c.pages[i + 1]), 0) << c.what;
    }
    EXPECT_EQ(job.end(), 0) << c.what;
    EXPECT_EQ(job.out(), kSession + c.expected + kCloseSession) << c.what;
    const XLDecodeResult decoded = decodeXLStream(job.out());
    EXPECT_TRUE(decoded.ok) << c.what << ": " << decoded.error;
  }
}

// A protocol 2.0 BeginPage must name its media: a page whose media neither
// the size table names nor a size of its own describes is refused, and
// nothing of it is written.
TEST(CheetahPages, APageWhoseMediaCannotBeNamedIsRefused) {
  const struct {
    const char* what;
    std::vector<MPersistentObject*> page;
    GStatus status;
    std::string expected;  // after the session, up to the session's close
  } cases[] = {
      {"no media", {new GValueAttribute(90, 265)}, kStatusMediaUnnamed, ""},
      {"a media of no size that 192 does not name",
       {new GMedia("Odd", GPoint(0, 0), GPoint(0, 0), GPoint(0, 0), 0, 77, 600, 600, 259)},
       kStatusMediaUnnamed,
       ""},
      {"a media of a negative size that 192 does not name",
       {new GMedia("Odd", GPoint(-5100, 6600), GPoint(4900, 6400), GPoint(100, 100), 0, 77, 600, 600, 259)},
       kStatusMediaUnnamed,
       ""},
      {"a media of no size that 192 names",
       {new GMedia("Letter", GPoint(0, 0), GPoint(0, 0), GPoint(0, 0), 0, 1, 600, 600, 259)},
       0,
       orientation(0) + mediaSize("LETTER") + kBeginPage + kClipMode0 + endPage(1)},
  };
  for (const auto& c : cases) {
    Job job;
    ASSERT_EQ(job.start(), 0) << c.what;
    EXPECT_EQ(job.page(c.page), c.status) << c.what;
    if (c.status == 0) {
      EXPECT_EQ(job.pageEnd(), 0) << c.what;
    }
    EXPECT_EQ(job.end(), 0) << c.what;
    EXPECT_EQ(job.out(), kSession + c.expected + kCloseSession) << c.what;
    const XLDecodeResult decoded = decodeXLStream(job.out());
    EXPECT_TRUE(decoded.ok) << c.what << ": " << decoded.error;
  }
}

TEST(CheetahPages, TheDocumentsSettingsAndTheSession) {
  Job job;
  auto* resolution = stateWith(AttrId::ResolutionGroup,
                               {new GValueAttribute(300, AttrId::Resolution),
                                new GValueAttribute(1200, AttrId::VerticalResolution)});
  ASSERT_EQ(job.start({resolution, new GValueAttribute(0, AttrId::PrintInGray),
                       new GValueAttribute(2, AttrId::BitsPerPixel), new GValueAttribute(0, AttrId::PsPatternScale),
                       new GValueAttribute(5, AttrId::Compression)}),
            0);
  EXPECT_EQ(job.generator.xResolution(), 300);
  EXPECT_EQ(job.generator.yResolution(), 1200);
  EXPECT_EQ(job.generator.colorMode(), 1u);
  EXPECT_EQ(job.generator.twoBitsPerPixel(), 1u);
  EXPECT_EQ(job.generator.scalePatterns(), 0u);
  EXPECT_EQ(job.generator.compressionMode(), 5);
  EXPECT_EQ(job.generator.lastPaperSource(), -1);
  EXPECT_EQ(job.generator.jobState(), 1);
  EXPECT_EQ(job.out(), "");
  EXPECT_EQ(job.end(), 0);
  EXPECT_EQ(job.out().substr(kHeader.size(), 5), bytes({0xD1, 0x2C, 0x01, 0xB0, 0x04}));

  // Only one resolution, or one that is not positive: 600 x 600.
  for (int16_t y : {int16_t{-600}, int16_t{0}}) {
    Job other;
    auto* group = stateWith(AttrId::ResolutionGroup, {new GValueAttribute(300, AttrId::Resolution),
                                                           new GValueAttribute(y, AttrId::VerticalResolution)});
    ASSERT_EQ(other.start({group}), 0);
    EXPECT_EQ(other.generator.xResolution(), 600) << y;
    EXPECT_EQ(other.generator.yResolution(), 600) << y;
  }
}

TEST(CheetahPages, EveryPageStartsFromTheDefaultGraphicsStateAndTheTransformWaitsForAPage) {
  auto* defaults = new GState(AttrId::StageState);
  defaults->insert(stateWith(AttrId::GraphicGroup, {new GCap(1)}));
  FakeOutputPort port;
  OpenCheetah generator("PCLXL", defaults, standardConfig(), 101);
  auto* start = new GDocumentStart(RWWString("doc"), RWWString("FAKE:"), nullptr, new GState(AttrId::DocumentGroup), 0);
  start->setOutputPort(&port);
  generator.process(GCommandPtr(start));

  GTransformAttribute outside(0, GPoint(5, 6), GScaleFactors(1, 1));
  EXPECT_EQ(generator.onTransformAttribute(&outside), 0);
  EXPECT_TRUE(outside.isChanged()) << "outside a page the transform waits";

  auto* transform = new GTransformAttribute(90, GPoint(100, -2), GScaleFactors(2, 0.5f));
  generator.process(
      GCommandPtr(new GPageStart(stateWith(AttrId::PageGroup, {transform, new GValueAttribute(90, 265), letter()}), 0)));
  auto* graphics = generator.attributeGroup(AttrId::GraphicGroup);
  ASSERT_NE(graphics, nullptr);
  auto* cap = dynamic_cast<GCap*>(graphics->findByClassId(ClassId::GCap));
  ASSERT_NE(cap, nullptr);
  EXPECT_TRUE(cap->isChanged());
  auto* placed = dynamic_cast<GTransformAttribute*>(graphics->findByClassId(ClassId::GTransformAttribute));
  ASSERT_NE(placed, nullptr);
  EXPECT_TRUE(placed->isChanged());
  EXPECT_EQ(placed->offset(), GPoint(100, -2));

  // As the graphic group is sent before a drawing: the page's transform.
  EXPECT_EQ(generator.onTransformAttribute(placed), 0);
  EXPECT_FALSE(placed->isChanged());
  cap->resetChanged();
  generator.process(GCommandPtr(new GPageEnd(new GState(AttrId::PageGroup), 0)));
  EXPECT_EQ(port.written(), kSession + orientation(1) + mediaSize("LETTER") + kBeginPage + kClipMode0 +
                                bytes({0x74, 0xD3, 0x64, 0x00, 0xFE, 0xFF, 0xF8, 0x2A, 0x75, 0xC3, 0x5A, 0x00, 0xF8,
                                       0x29, 0x76, 0xD5, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00, 0x3F, 0xF8, 0x2B,
                                       0x77}) +
                                endPage(1));

  // The line cap sent on page 1 is changed again on page 2.
  generator.process(GCommandPtr(new GPageStart(stateWith(AttrId::PageGroup, {letter()}), 0)));
  graphics = generator.attributeGroup(AttrId::GraphicGroup);
  cap = dynamic_cast<GCap*>(graphics->findByClassId(ClassId::GCap));
  ASSERT_NE(cap, nullptr);
  EXPECT_TRUE(cap->isChanged());
}

TEST(CheetahPages, APenUnchangedSincePageOneIsSentAgainOnPageTwo) {
  auto* defaults = new GState(AttrId::StageState);
  defaults->insert(stateWith(AttrId::GraphicGroup, {new GPen(4, new GColorPaint(new GRGBColor(0, 0, 0, 0)))}));
  FakeOutputPort port;
  OpenCheetah generator("PCLXL", defaults, standardConfig(), 101);
  auto* start = new GDocumentStart(RWWString("doc"), RWWString("FAKE:"), nullptr, new GState(AttrId::DocumentGroup), 0);
  start->setOutputPort(&port);
  generator.process(GCommandPtr(start));
  for (int page = 0; page < 2; ++page) {
    generator.process(GCommandPtr(new GPageStart(stateWith(AttrId::PageGroup, {letter()}), 0)));
    generator.process(GCommandPtr(new GRectangleGraphic(new GGraphicBundle, GRect(1, 2, 3, 4))));
    generator.process(GCommandPtr(new GPageEnd(new GState(AttrId::PageGroup), 0)));
  }
  // SetLineDash SolidLine 0, SetPenWidth 4, SetColorSpace gray,
  // SetPenSource GrayLevel 0; NewPath, RectanglePath, PaintPath.
  const std::string page = orientation(0) + mediaSize("LETTER") + kBeginPage + kClipMode0 +
                           bytes({0xC0, 0x00, 0xF8, 0x4E, 0x70, 0xC1, 0x04, 0x00, 0xF8, 0x4B, 0x7A, 0xC0, 0x01, 0xF8,
                                  0x03, 0x6A, 0xC0, 0x00, 0xF8, 0x09, 0x79}) +
                           bytes({0x85, 0xE3, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x04, 0x00, 0xF8, 0x42, 0xA1, 0x86}) +
                           endPage(1);
  EXPECT_EQ(port.written(), kSession + page + page);
}

// ---- control ------------------------------------------------------------------------------

TEST(CheetahControl, AJobAbortClosesTheSessionAndResetsTheGenerator) {
  {
    OpenCheetah idle("PCLXL", nullptr, standardConfig(), 101);
    EXPECT_EQ(idle.onJobAbort(nullptr), 0) << "before any start";
  }
  Job job;
  ASSERT_EQ(job.start(), 0);
  ASSERT_EQ(job.page({letter()}), 0);
  job.generator.setCounters(2);
  EXPECT_EQ(job.statusOf(new GJobAbort), 0);
  // Inside a page: no EndPage.
  EXPECT_EQ(job.out(), kSession + orientation(0) + mediaSize("LETTER") + kBeginPage + kClipMode0 + kCloseSession);
  EXPECT_EQ(job.generator.pathDepth(), 0);
  EXPECT_EQ(job.generator.inScanLines(), 0u);
  EXPECT_EQ(job.generator.recordingClipPath(), 0u);
  EXPECT_EQ(job.generator.fontNameCounter(), 0u);
  EXPECT_EQ(job.generator.fontUseCounter(), 0u);
  EXPECT_EQ(job.generator.inDocument(), 0u);
  EXPECT_EQ(job.generator.jobState(), 0);
  // A second abort finds no document.
  const std::string once = job.out();
  EXPECT_EQ(job.statusOf(new GJobAbort), 0);
  EXPECT_EQ(job.out(), once);
}

// A start that fails leaves nothing for later handlers to write.
TEST(CheetahControl, AFailedStartWritesNothingAfterwards) {
  // Every write to the port the registry makes is logged here, where the
  // port's deletion cannot take it along.
  static std::string log;
  log.clear();
  struct ClosedPort : FakeOutputPort {
    int32_t open() override { return 0; }
    [[nodiscard]] uint16_t write(const void* data, uint32_t length, uint32_t& written) override {
      log.append(static_cast<const char*>(data), length);
      return FakeOutputPort::write(data, length, written);
    }
  };
  struct ClosedProvider : GOutputPortProvider {
    ClosedProvider() { GOutputPortProviderRegistry::instance().add(this, RWCString("Closed")); }
    ~ClosedProvider() override { GOutputPortProviderRegistry::instance().remove(RWCString("Closed")); }
    ClosedProvider* newSpecies() const override { return nullptr; }
    ClosedProvider* copy() const override { return nullptr; }
    uint32_t capabilities() const override { return 1; }
    GOutputPort* createPort(GDriverInstance*, const RWCString&, uint32_t, const RWWString&) override {
      made = new ClosedPort;
      return made;
    }
    ClosedPort* made = nullptr;
  } provider;

  OpenCheetah generator("PCLXL", nullptr, standardConfig(), 101);
  GDocumentStart start(RWWString("doc"), RWWString("FAKE:"), nullptr, new GState(AttrId::DocumentGroup), 0);
  EXPECT_EQ(generator.onDocumentStart(&start), kStatusNoPort);
  ASSERT_NE(provider.made, nullptr);
  EXPECT_EQ(generator.inDocument(), 0u);
  GPageStart page(new GState(AttrId::PageGroup), 0);
  GManualDuplexFirstHalf marker;
  GPassThroughCommand through(reinterpret_cast<const unsigned char*>("abc"), 3, ClassId::GCheetah);
  EXPECT_EQ(generator.onPageStart(&page), 0);
  EXPECT_EQ(generator.onManualDuplexFirstHalf(&marker), 0);
  EXPECT_EQ(generator.onPassThrough(&through), 0);
  EXPECT_EQ(generator.onJobAbort(nullptr), 0);
  EXPECT_EQ(log, "");

  // Without a stream a start cannot write the job.
  FakeOutputPort port;
  OpenCheetah streamless("PCLXL", nullptr, standardConfig(), 101);
  streamless.dropStream();
  GDocumentStart carried(RWWString("doc"), RWWString("FAKE:"), nullptr, new GState(AttrId::DocumentGroup), 0);
  carried.setOutputPort(&port);
  EXPECT_EQ(streamless.onDocumentStart(&carried), kStatusNoPort);
  EXPECT_EQ(streamless.onPageStart(&page), 0);
  EXPECT_EQ(streamless.onPassThrough(&through), 0);
  EXPECT_EQ(port.written(), "");
}

TEST(CheetahControl, WithoutAPortNothingIsLeftForTheNextJob) {
  Job job;
  GPageStart page(stateWith(AttrId::PageGroup, {letter()}), 0);
  GPageEnd pageEnd(new GState(AttrId::PageGroup), 0);
  GManualDuplexFirstHalf marker;
  EXPECT_EQ(job.generator.onPageStart(&page), 0);
  EXPECT_EQ(job.generator.onManualDuplexFirstHalf(&marker), 0);
  EXPECT_EQ(job.generator.onPageEnd(&pageEnd), 0);
  EXPECT_EQ(job.generator.onDocumentEnd(nullptr), 0);
  ASSERT_EQ(job.start(), 0);
  EXPECT_EQ(job.end(), 0);
  EXPECT_EQ(job.out(), kSession + kCloseSession);
}

TEST(CheetahControl, PassThroughAndTheManualDuplexMarker) {
  Job job;
  ASSERT_EQ(job.start(), 0);
  ASSERT_EQ(job.page({letter()}), 0);
  const unsigned char data[] = {0x1B, 'E', 0x00};
  // For the PCL 5e generator: not this generator's.
  EXPECT_EQ(job.statusOf(new GPassThroughCommand(data, 3, ClassId::GPcl5e)), 0);
  EXPECT_EQ(job.out(), "");
  // Its own: the buffer first, then the data as it is.
  EXPECT_EQ(job.statusOf(new GPassThroughCommand(data, 3, ClassId::GCheetah)), 0);
  const std::string page = orientation(0) + mediaSize("LETTER") + kBeginPage + kClipMode0;
  EXPECT_EQ(job.out(), kSession + page + std::string("\x1B" "E\0", 3));
  EXPECT_EQ(std::count(job.port.calls().begin(), job.port.calls().end(), "write"), 2);

  EXPECT_EQ(job.statusOf(new GManualDuplexFirstHalf), 0);
  const std::string marker = bytes({0xC8, 0xC0, 0x78}) + std::string(120, 'H') + bytes({0xF8, 0x81, 0x47});
  EXPECT_EQ(job.out(), kSession + page + std::string("\x1B" "E\0", 3) + marker) << "flushed at once";
  // The decoder reads the marker as a Comment with a ubyte count.
  const XLDecodeResult comment = decodeXLTokens(marker);
  ASSERT_TRUE(comment.ok) << comment.error;
  ASSERT_EQ(comment.operators.size(), 1u);
  EXPECT_EQ(comment.operators[0].signature(), "47 129:ubyte_array");
  EXPECT_EQ(comment.operators[0].attributes[0].value.countTag, 0xC0);
}

TEST(CheetahControl, APortThatFailsSurfacesAsTheStatusAndStopsTheWrites) {
  FailingPort port(2);
  OpenCheetah generator("PCLXL", nullptr, standardConfig(), 101);
  auto* start = new GDocumentStart(RWWString("doc"), RWWString("FAKE:"), nullptr, new GState(AttrId::DocumentGroup), 0);
  start->setOutputPort(&port);
  auto status = [&](GCommand* command) {
    const GCommandPtr result = generator.process(GCommandPtr(command));
    const auto* error = dynamic_cast<const GErrorCommand*>(result.get());
    return error ? error->errorCode() : GStatus{0};
  };
  ASSERT_EQ(status(start), 0);
  EXPECT_EQ(status(new GPageStart(stateWith(AttrId::PageGroup, {letter()}), 0)), 0);
  EXPECT_EQ(status(new GPageEnd(new GState(AttrId::PageGroup), 0)), 0) << "the first flush goes out";
  EXPECT_EQ(status(new GPageStart(stateWith(AttrId::PageGroup, {letter()}), 0)), 0);
  EXPECT_EQ(status(new GPageEnd(new GState(AttrId::PageGroup), 0)), 5) << "the second fails";
  EXPECT_EQ(generator.writesEnabled(), 0u);
  EXPECT_EQ(status(new GDocumentEnd(RWWString("doc"), RWWString("FAKE:"))), 0) << "answered once";
  EXPECT_EQ(port.writes, 2) << "nothing written after the failure";
  EXPECT_EQ(port.written(), kSession + orientation(0) + mediaSize("LETTER") + kBeginPage + kClipMode0 + endPage(1));
}

// ---- attributes ---------------------------------------------------------------------------

TEST(CheetahAttributes, ConsumedWithoutWriting) {
  Job job;
  ASSERT_EQ(job.start(), 0);
  GValueAttribute value(3, 700);
  GStringAttribute text("x", 701);
  GRangeAttribute range(0, 9, 1, 4, 702);
  GEnumAttribute choices(703);
  choices.insert(new GValueAttribute(1, 0));
  choices.markChanged();
  EXPECT_EQ(job.generator.onValueAttribute(&value), 0);
  EXPECT_EQ(job.generator.onStringAttribute(&text), 0);
  EXPECT_EQ(job.generator.onRangeAttribute(&range), 0);
  EXPECT_EQ(job.generator.onEnumAttribute(&choices), 0);
  EXPECT_FALSE(value.isChanged());
  EXPECT_FALSE(text.isChanged());
  EXPECT_FALSE(range.isChanged());
  EXPECT_FALSE(choices.isChanged());
  EXPECT_FALSE(dynamic_cast<GAttribute*>(choices.children().pointee(0))->isChanged());
  EXPECT_EQ(job.end(), 0);
  EXPECT_EQ(job.out(), kSession + kCloseSession);
}

TEST(CheetahAttributes, TheCommandCharacterIsTheExclamationMark) {
  GCheetah generator;
  EXPECT_TRUE(generator.hasCommandCharacter("a!b"));
  EXPECT_TRUE(generator.hasCommandCharacter("!"));
  EXPECT_FALSE(generator.hasCommandCharacter("abc"));
  EXPECT_FALSE(generator.hasCommandCharacter(""));
  EXPECT_FALSE(generator.hasCommandCharacter(RWCString("\x1B" "E")));
}

// ---- stored form and copies -----------------------------------------------------------------

class CheetahStore : public StoreTest {};

TEST_F(CheetahStore, TwentyBytesAfterTheGeneratorAndARestoredGeneratorWritesAJob) {
  Job job;
  auto* resolution = stateWith(AttrId::ResolutionGroup,
                               {new GValueAttribute(300, AttrId::Resolution),
                                new GValueAttribute(1200, AttrId::VerticalResolution)});
  ASSERT_EQ(job.start({resolution, new GValueAttribute(0, AttrId::PrintInGray)}), 0);
  EXPECT_EQ(job.end(), 0);

  const std::string stored = storedBytes(&job.generator);
  // Version 1, persistedFlag 1, writeStatus 0, writesEnabled 1, 300 x 1200
  // dpi, colour.
  const std::string level = le32(1) + le16(1) + le16(0) + le32(1) + le16(300) + le16(1200) + le32(1);
  ASSERT_GE(stored.size(), level.size());
  EXPECT_EQ(stored.substr(stored.size() - level.size()), level);

  std::unique_ptr<RWCollectable> back(restoredFrom(stored));
  auto* restored = dynamic_cast<GCheetah*>(back.get());
  ASSERT_NE(restored, nullptr);
  EXPECT_EQ(restored->persistedFlag(), 1);
  EXPECT_EQ(restored->xResolution(), 300);
  EXPECT_EQ(restored->yResolution(), 1200);
  EXPECT_EQ(restored->colorMode(), 1u);
  EXPECT_EQ(restored->writesEnabled(), 1u);
  ASSERT_NE(restored->stream(), nullptr);
  EXPECT_NE(restored->stream(), job.generator.stream());
  EXPECT_NE(restored->downloadedFonts(), nullptr);
  EXPECT_NE(restored->codeRemap(), nullptr);

  // The restored generator writes a whole job of its own, at the
  // resolution its restored State names.
  FakeOutputPort port;
  auto* start = new GDocumentStart(RWWString("doc"), RWWString("FAKE:"), nullptr, new GState(AttrId::DocumentGroup), 0);
  start->setOutputPort(&port);
  restored->process(GCommandPtr(start));
  restored->process(GCommandPtr(new GPageStart(stateWith(AttrId::PageGroup, {letter()}), 0)));
  restored->process(GCommandPtr(new GPageEnd(new GState(AttrId::PageGroup), 0)));
  restored->process(GCommandPtr(new GDocumentEnd(RWWString("doc"), RWWString("FAKE:"))));
  EXPECT_EQ(port.written(), kHeader + bytes({0xD1, 0x2C, 0x01, 0xB0, 0x04}) + kBeginSession.substr(5) +
                                kOpenDataSource + orientation(0) + mediaSize("LETTER") + kBeginPage + kClipMode0 + endPage(1) +
                                kCloseSession);

  const GCheetah& original = job.generator;
  for (const auto& through : throughEveryStream(&original)) {
    ASSERT_NE(through, nullptr);
    EXPECT_EQ(through->colorMode(), 1u);
    EXPECT_EQ(through->yResolution(), 1200);
  }
}

TEST_F(CheetahStore, ALevelCutShortOrOfAnotherVersionLeavesTheFields) {
  GCheetah generator;
  const std::string stored = storedBytes(&generator);
  const size_t level = stored.size() - 20;
  struct Case {
    const char* what;
    std::string tail;
  } cases[] = {
      {"another version", le32(2) + le16(5) + le16(0) + le32(1) + le16(300) + le16(300) + le32(1)},
      {"cut inside colorMode", le32(1) + le16(5) + le16(0) + le32(1) + le16(300) + le16(300) + le16(1)},
  };
  for (const auto& c : cases) {
    std::unique_ptr<RWCollectable> back(restoredFrom(stored.substr(0, level) + c.tail));
    auto* restored = dynamic_cast<GCheetah*>(back.get());
    if (!restored) continue;  // a restore that gives up answers nothing
    EXPECT_EQ(restored->persistedFlag(), 1) << c.what;
    EXPECT_EQ(restored->xResolution(), 0) << c.what;
  }
  restoreEveryCut(&generator);
}

TEST(CheetahCopies, ACopyMakesItsOwnStreamAndOwnsNoPort) {
  Job job;
  ASSERT_EQ(job.start({new GValueAttribute(0, AttrId::PrintInGray)}), 0);
  ASSERT_EQ(job.page({letter()}), 0);
  const GCheetah copy(job.generator);
  EXPECT_NE(copy.stream(), nullptr);
  EXPECT_NE(copy.stream(), job.generator.stream());
  EXPECT_EQ(copy.port(), nullptr);
  EXPECT_EQ(copy.ownsPort(), 0);
  EXPECT_EQ(copy.colorMode(), 1u);
  EXPECT_EQ(copy.xResolution(), 600);
  EXPECT_EQ(copy.currentMedia(), nullptr);
  EXPECT_NE(copy.downloadedFonts(), nullptr);

  GCheetah assigned;
  assigned = job.generator;
  EXPECT_NE(assigned.stream(), job.generator.stream());
  EXPECT_EQ(assigned.port(), nullptr);
  EXPECT_EQ(assigned.colorMode(), 1u);
  // Both idle, with the same settings: they match.
  EXPECT_TRUE(assigned.matches(&copy));

  // The copy writes nothing into the original's job.
  const std::string before = job.out();
  GCheetah writer(job.generator);
  GManualDuplexFirstHalf marker;
  EXPECT_EQ(writer.onManualDuplexFirstHalf(&marker), 0);
  EXPECT_EQ(job.out(), before);

  // A copy of a copy matches; colorMode comes from the document.
  GCheetah other(copy);
  EXPECT_TRUE(other.matches(&copy));
  ASSERT_EQ(job.end(), 0);
  Job monoJob;
  ASSERT_EQ(monoJob.start({new GValueAttribute(1, AttrId::PrintInGray)}), 0);
  EXPECT_EQ(monoJob.end(), 0);
  EXPECT_EQ(GCheetah(monoJob.generator).colorMode(), 0u);
}

}  // namespace
