// A PCL XL printer as mkprinter writes it, served by the driver server to a
// device of the user-mode platform, printing a document of shapes into the
// port file: the whole job, byte for byte, from one device and from four
// printing at once on four threads.

#include <gtest/gtest.h>

#include <algorithm>
#include <barrier>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/attrib.h"
#include "core/colormatch.h"
#include "device/device.h"
#include "device/drvrsrvr.h"
#include "graphics/brush.h"
#include "graphics/clip.h"
#include "graphics/color.h"
#include "graphics/gattrib.h"
#include "graphics/paint.h"
#include "graphics/pen.h"
#include "journal/chromafit.h"
#include "journal/path.h"
#include "journal/shapes.h"
#include "pdl/cheetah.h"
#include "testkit/bytes.h"
#include "testkit/files.h"
#include "testkit/pclxl/xldecode.h"
#include "testkit/printer/served.h"
#include "testkit/tmpdir.h"

namespace {

// ---- the job, written out -------------------------------------------------------------------

const std::string kPjlHeader =
    "\x1b%-12345X@PJL JOB NAME=\"doc\"\r\n@PJL SET PAPER=LETTER\r\n@PJL SET RESOLUTION=600\r\n"
    "@PJL ENTER LANGUAGE=PCLXL\r\n";
const std::string kPjlTrailer = "\x1b%-12345X@PJL EOJ NAME=\"doc\"\r\n\x1b%-12345X";
const std::string kStreamHeader = ") QX-PCL XL;2;0;Comment Printer driver output. Version 4.2.1.8\n";
// BeginSession (600 x 600 per inch, errors to the back channel and a
// page); OpenDataSource (default source, low byte first).
const std::string kSession =
    bytes({0xD1, 0x58, 0x02, 0x58, 0x02, 0xF8, 0x89, 0xC0, 0x00, 0xF8, 0x86, 0xC0, 0x03, 0xF8, 0x8F, 0x41}) +
    bytes({0xC0, 0x00, 0xF8, 0x88, 0xC0, 0x01, 0xF8, 0x82, 0x48});
const std::string kOrientationPortrait = bytes({0xC0, 0x00, 0xF8, 0x28});
// Tray 1, MediaSource 3 through the builder's list 85.
const std::string kMediaSource = bytes({0xC0, 0x03, 0xF8, 0x26});
const std::string kMediaSizeLetter = bytes({0xC8, 0xC1, 0x06, 0x00}) + "LETTER" + bytes({0xF8, 0x25});
const std::string kBeginPage = bytes({0x43});
const std::string kClipMode = bytes({0xC0, 0x00, 0xF8, 0x54, 0x7F});
// SetPageDefaultCTM; SetPageOrigin (100, 100), the printable area's
// corner; SetPageRotation 0; SetPageScale (1.0, 1.0).
const std::string kPageTransform = bytes({0x74}) + bytes({0xD3, 0x64, 0x00, 0x64, 0x00, 0xF8, 0x2A, 0x75}) +
                                   bytes({0xC3, 0x00, 0x00, 0xF8, 0x29, 0x76}) +
                                   bytes({0xD5, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x80, 0x3F, 0xF8, 0x2B, 0x77});
// PageCopies 2.
const std::string kEndPage = bytes({0xC1, 0x02, 0x00, 0xF8, 0x31, 0x44});
const std::string kCloseSession = bytes({0x49, 0x42});

// The brush, grey 128 in monochrome (SetColorSpace gray, SetBrushSource
// GrayLevel 128); the pen (SetLineDash SolidLine 0, SetPenWidth 4,
// SetColorSpace gray, SetPenSource GrayLevel 0).
const std::string kBrushAndPen =
    bytes({0xC0, 0x01, 0xF8, 0x03, 0x6A, 0xC0, 0x80, 0xF8, 0x09, 0x63}) +
    bytes({0xC0, 0x00, 0xF8, 0x4E, 0x70, 0xC1, 0x04, 0x00, 0xF8, 0x4B, 0x7A, 0xC0, 0x01, 0xF8, 0x03, 0x6A, 0xC0,
           0x00, 0xF8, 0x09, 0x79});
// Page 1, after its transform: the brush and the pen; the rectangle (NewPath, RectanglePath (600, 600, 1200, 900),
// PaintPath); the poly-line (NewPath, SetCursor (100, 1000), one word run
// of (200, 0), one byte run of six (1, 1), PaintPath).
const std::string kPage1Drawing =
    kBrushAndPen + bytes({0x85, 0xE3, 0x58, 0x02, 0x58, 0x02, 0xB0, 0x04, 0x84, 0x03, 0xF8, 0x42, 0xA1, 0x86}) +
    bytes({0x85, 0xD3, 0x64, 0x00, 0xE8, 0x03, 0xF8, 0x4C, 0x6B}) +
    bytes({0xC1, 0x01, 0x00, 0xF8, 0x4D, 0xC0, 0x03, 0xF8, 0x50, 0x9D, 0xFB, 0x04, 0xC8, 0x00, 0x00, 0x00}) +
    bytes({0xC1, 0x06, 0x00, 0xF8, 0x4D, 0xC0, 0x01, 0xF8, 0x50, 0x9D, 0xFB, 0x0C}) + std::string(12, '\x01') +
    bytes({0x86});
// Page 2, after its transform: the brush and the pen again, since
// BeginPage reset the printer's graphics state; the clip (SetClipMode 0
// for the non-zero rule, SetClipRectangle (500, 500, 2500, 2500)
// interior); the path (NewPath; its closed sub-path: SetCursor (1000,
// 1000), one word run of (1000, 0) and (0, 1000), CloseSubPath;
// PaintPath).
const std::string kPage2Drawing =
    kBrushAndPen + bytes({0xC0, 0x00, 0xF8, 0x54, 0x7F}) +
    bytes({0xE3, 0xF4, 0x01, 0xF4, 0x01, 0xC4, 0x09, 0xC4, 0x09, 0xF8, 0x42, 0xC0, 0x00, 0xF8, 0x53, 0x68}) +
    bytes({0x85, 0xD3, 0xE8, 0x03, 0xE8, 0x03, 0xF8, 0x4C, 0x6B}) +
    bytes({0xC1, 0x02, 0x00, 0xF8, 0x4D, 0xC0, 0x03, 0xF8, 0x50, 0x9D, 0xFB, 0x08, 0xE8, 0x03, 0x00, 0x00, 0x00, 0x00,
           0xE8, 0x03}) +
    bytes({0x84, 0x86});

// The printer's data file from mkprinter, the platform with its printer
// makers and a driver server.
class PclXlJob : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(printer_.error(), ""); }

  ServedXLPrinter printer_;
  TempDir dir_;
};

GGraphicBundle* bundleWith(GGraphicAttribute* brush, GGraphicAttribute* pen, GGraphicAttribute* clip) {
  auto* bundle = new GGraphicBundle;
  if (brush) bundle->setBrush(brush);
  if (pen) bundle->setPen(pen);
  if (clip) bundle->setClip(clip);
  return bundle;
}

// The two-page document, printed by the device into the output file:
// letter by its media id, as the job's settings name it; two copies on the
// page; tray 1.
void printDocument(GDevice& device, const std::string& output) {
  int16_t applied = 0;
  device.setCopies(2, applied);
  ASSERT_TRUE(selectMediaAndSource(device, 1, 1));

  device.setDocumentName(RWWString(u"doc"));
  device.setOutputName(RWWString(output.c_str()));
  device.setDocumentPending(1);
  ASSERT_EQ(device.startDocument(), 0);

  // Page 1: a rectangle with a grey brush and a black pen 4 dots wide, and
  // a poly-line whose offsets are 200 right, then six times one dot down
  // and right.
  device.setPagePending(1);
  GGraphicBundle* look = bundleWith(new GBrush(new GColorPaint(new GRGBColor(128, 128, 128, 0))),
                                    new GPen(4, new GColorPaint(new GRGBColor(0, 0, 0, 0))), nullptr);
  EXPECT_EQ(device.sendDrawing(new GRectangleGraphic(look, GRect(600, 600, 1200, 900))), 0);
  static const GPoint line[] = {{100, 1000}, {300, 1000}, {301, 1001}, {302, 1002},
                                {303, 1003}, {304, 1004}, {305, 1005}, {306, 1006}};
  EXPECT_EQ(device.sendDrawing(new GPolyLineGraphic(new GGraphicBundle, GPointArray::borrowing(line, 8))), 0);
  EXPECT_EQ(device.send(device.makePageEnd()), 0);

  // Page 2: a path of one closed sub-path under a clip to one rectangle.
  device.setPagePending(1);
  static const GPoint figure[] = {{1000, 1000}, {2000, 1000}, {2000, 2000}};
  auto* path = new GPathGraphic(
      bundleWith(nullptr, nullptr, new GClipToSingleRectangle(GRect(500, 500, 2500, 2500), 0, 1)), 0);
  auto* subPath = new GPathGraphic(nullptr, 0);
  subPath->insert(new GPolyLineGraphic(nullptr, GPointArray::borrowing(figure, 3)));
  subPath->setClosed();
  path->insert(subPath);
  EXPECT_EQ(device.sendDrawing(path), 0);
  EXPECT_EQ(device.send(device.makePageEnd()), 0);
  EXPECT_EQ(device.send(device.makeDocumentEnd()), 0);
  device.endDocument();
}

// The document's job, whole.
std::string documentJob() {
  const std::string page1 = kOrientationPortrait + kMediaSource + kMediaSizeLetter + kBeginPage + kClipMode +
                            kPageTransform + kPage1Drawing + kEndPage;
  const std::string page2 =
      kOrientationPortrait + kMediaSizeLetter + kBeginPage + kClipMode + kPageTransform + kPage2Drawing + kEndPage;
  return kPjlHeader + kStreamHeader + kSession + page1 + page2 + kCloseSession + kPjlTrailer;
}

TEST_F(PclXlJob, ADocumentOfShapesComesOutAsAWholeJob) {
  uint32_t handle = 0;
  GDevice* device = printer_.registerDevice(RWWString(u"Printer"), handle);
  ASSERT_NE(device, nullptr);
  ASSERT_NE(dynamic_cast<GCheetah*>(device->pdlGenerator()), nullptr);

  const std::string output = dir_.file("job.prn");
  printDocument(*device, output);
  const std::string job = fileContents(output);
  EXPECT_EQ(job, documentJob());

  const XLDecodeResult decoded = decodeXLJob(job);
  ASSERT_TRUE(decoded.ok) << decoded.error;
  EXPECT_EQ(decoded.header, kStreamHeader.substr(0, kStreamHeader.size() - 1));
  printer_.server()->removeDevice(handle);
}

// ---- colour matching -----------------------------------------------------------------------

// The colour map's and the halftone's VendorUnique commands for the
// device values 0x0105 and 7: the extension (0x7178 and the command's
// code), VUExtension; the value's low byte, VUAttr1; VendorUnique.
const std::string kColorMap0105 = bytes({0xC2, 0x01, 0x10, 0x78, 0x71, 0xF8, 0x91, 0xC0, 0x05, 0xF8, 0x93, 0x46});
const std::string kHalftone7 = bytes({0xC2, 0x02, 0x10, 0x78, 0x71, 0xF8, 0x91, 0xC0, 0x07, 0xF8, 0x93, 0x46});
// NewPath, RectanglePath (600, 600, 1200, 900).
const std::string kRectanglePath =
    bytes({0x85, 0xE3, 0x58, 0x02, 0x58, 0x02, 0xB0, 0x04, 0x84, 0x03, 0xF8, 0x42, 0xA1});

// One page with a rectangle, printed by a printer mkprinter writes with the
// arguments, the job's colour-matching choices those of graphics colour
// map 21 and halftone 50. The port file's bytes; empty when something
// failed on the way (each step says what).
std::string printRectangle(const std::vector<std::string>& mkprinterArguments, const std::string& output) {
  ServedXLPrinter printer(mkprinterArguments);
  EXPECT_EQ(printer.error(), "");
  uint32_t handle = 0;
  GDevice* device = printer.registerDevice(RWWString(u"Printer"), handle);
  EXPECT_NE(device, nullptr);
  if (!device) return {};
  EXPECT_TRUE(selectMediaAndSource(*device, 1, 1));
  auto* options = dynamic_cast<GAttributeComposite*>(device->settings()->findById(AttrId::JobOptions));
  EXPECT_NE(options, nullptr);
  if (!options) return {};
  options->insert(new GChromafitAttribute(AttrId::Chromafit, 15, 40, 21, 50, 31, 62));

  device->setDocumentName(RWWString(u"doc"));
  device->setOutputName(RWWString(output.c_str()));
  device->setDocumentPending(1);
  EXPECT_EQ(device->startDocument(), 0);
  device->setPagePending(1);
  auto* look = new GGraphicBundle;
  look->setBrush(new GBrush(new GColorPaint(new GRGBColor(128, 128, 128, 0))));
  EXPECT_EQ(device->sendDrawing(new GRectangleGraphic(look, GRect(600, 600, 1200, 900))), 0);
  EXPECT_EQ(device->send(device->makePageEnd()), 0);
  EXPECT_EQ(device->send(device->makeDocumentEnd()), 0);
  device->endDocument();
  printer.server()->removeDevice(handle);
  return fileContents(output);
}

// The VendorUnique operators of a decoded stream: (extension, VUAttr1).
std::vector<std::pair<double, double>> vendorCommands(const XLDecodeResult& decoded) {
  constexpr uint8_t kVendorUnique = 0x46, kVUExtension = 0x91, kVUAttr1 = 0x93;
  std::vector<std::pair<double, double>> found;
  for (const XLOperatorToken& op : decoded.operators) {
    if (op.tag != kVendorUnique) continue;
    const XLAttributeToken* extension = op.find(kVUExtension);
    const XLAttributeToken* value = op.find(kVUAttr1);
    found.emplace_back(extension ? extension->value[0] : -1, value ? value->value[0] : -1);
  }
  return found;
}

TEST(PclXlColourMatching, TheFilterSendsTheGraphicsSelectorsDeviceValuesBeforeTheDrawing) {
  TempDir dir;
  // 261 is 0x0105: the command carries the low byte.
  const std::vector<std::string> tables = {"--colormap", "21=261,22=9", "--halftone", "50=7"};
  std::vector<std::string> matching = {"--color-matching"};
  matching.insert(matching.end(), tables.begin(), tables.end());

  const std::string job = printRectangle(matching, dir.file("matched.prn"));
  const size_t rectangle = job.find(kRectanglePath);
  ASSERT_NE(rectangle, std::string::npos);
  const size_t colorMap = job.find(kColorMap0105);
  const size_t halftone = job.find(kHalftone7);
  ASSERT_NE(colorMap, std::string::npos);
  ASSERT_NE(halftone, std::string::npos);
  EXPECT_LT(colorMap, rectangle);
  EXPECT_LT(halftone, rectangle);

  const XLDecodeResult decoded = decodeXLJob(job);
  ASSERT_TRUE(decoded.ok) << decoded.error;
  const auto vendor = vendorCommands(decoded);
  EXPECT_EQ(vendor.size(), 2u);
  EXPECT_NE(std::find(vendor.begin(), vendor.end(), std::make_pair(double(0x71781001), 5.0)), vendor.end());
  EXPECT_NE(std::find(vendor.begin(), vendor.end(), std::make_pair(double(0x71781002), 7.0)), vendor.end());

  // The same printer without the filter: neither command, and otherwise
  // the same job byte for byte.
  const std::string plain = printRectangle(tables, dir.file("plain.prn"));
  ASSERT_FALSE(plain.empty());
  EXPECT_EQ(plain.find(kColorMap0105), std::string::npos);
  EXPECT_EQ(plain.find(kHalftone7), std::string::npos);
  std::string stripped = job;
  stripped.erase(std::max(colorMap, halftone), kColorMap0105.size());
  stripped.erase(std::min(colorMap, halftone), kColorMap0105.size());
  EXPECT_EQ(stripped, plain);
  const XLDecodeResult plainDecoded = decodeXLJob(plain);
  ASSERT_TRUE(plainDecoded.ok) << plainDecoded.error;
  EXPECT_TRUE(vendorCommands(plainDecoded).empty());
}

// The server keeps a removed device for the next one of the same printer,
// and the next job starts from the printer's defaults: a clip the last job
// left in the graphic state is not drawn with.
TEST_F(PclXlJob, TheNextJobOnAKeptDeviceStartsWithoutTheLastJobsClip) {
  constexpr uint8_t kSetClipRectangle = 0x68;
  auto clipRectangles = [](const std::string& job) {
    const XLDecodeResult decoded = decodeXLJob(job);
    EXPECT_TRUE(decoded.ok) << decoded.error;
    int found = 0;
    for (const XLOperatorToken& op : decoded.operators) found += op.tag == kSetClipRectangle;
    return found;
  };
  auto print = [&](const char* name, GGraphicAttribute* clip) {
    uint32_t handle = 0;
    GDevice* device = printer_.registerDevice(RWWString(u"Printer"), handle);
    EXPECT_NE(device, nullptr);
    if (!device) return std::string();
    EXPECT_TRUE(selectMediaAndSource(*device, 1, 1));
    const std::string output = dir_.file(name);
    device->setDocumentName(RWWString(u"doc"));
    device->setOutputName(RWWString(output.c_str()));
    device->setDocumentPending(1);
    EXPECT_EQ(device->startDocument(), 0);
    EXPECT_EQ(device->send(device->makePageStart()), 0);
    EXPECT_EQ(device->sendDrawing(new GRectangleGraphic(bundleWith(nullptr, nullptr, clip), GRect(10, 10, 20, 20))), 0);
    EXPECT_EQ(device->send(device->makePageEnd()), 0);
    EXPECT_EQ(device->send(device->makeDocumentEnd()), 0);
    device->endDocument();
    printer_.server()->removeDevice(handle);
    return fileContents(output);
  };
  EXPECT_EQ(clipRectangles(print("first.prn", new GClipToSingleRectangle(GRect(100, 100, 200, 200), 0, 1))), 1);
  EXPECT_EQ(clipRectangles(print("second.prn", nullptr)), 0);
}

// Four printers of the one data file, each with its device, print the
// document at once on four threads, as the engine drives several jobs: the
// devices share the server, the platform, the class factory and the stored
// objects' serial numbers, and each job comes out whole, byte for byte.
TEST_F(PclXlJob, FourDevicesPrintingAtOnceOnFourThreadsEachWriteTheWholeJob) {
  constexpr int kThreads = 4;
  GDevice* devices[kThreads] = {};
  uint32_t handles[kThreads] = {};
  for (int k = 0; k < kThreads; ++k) {
    const std::u16string name = u"Printer " + std::u16string(1, static_cast<char16_t>(u'1' + k));
    devices[k] = printer_.registerDevice(RWWString(name.c_str()), handles[k]);
    ASSERT_NE(devices[k], nullptr) << k;
  }
  std::barrier together(kThreads);
  std::vector<std::thread> threads;
  for (int k = 0; k < kThreads; ++k)
    threads.emplace_back([&, k] {
      together.arrive_and_wait();
      printDocument(*devices[k], dir_.file(("job" + std::to_string(k) + ".prn").c_str()));
    });
  for (std::thread& thread : threads) thread.join();

  for (int k = 0; k < kThreads; ++k) {
    EXPECT_EQ(fileContents(dir_.file(("job" + std::to_string(k) + ".prn").c_str())), documentJob()) << k;
    printer_.server()->removeDevice(handles[k]);
  }
}

}  // namespace
