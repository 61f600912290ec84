#include "bench/xldoc.h"

#include <sstream>

#include "bench/benchkit.h"
#include "device/device.h"
#include "device/drvrsrvr.h"
#include "graphics/brush.h"
#include "graphics/clip.h"
#include "graphics/color.h"
#include "graphics/gattrib.h"
#include "graphics/paint.h"
#include "graphics/pen.h"
#include "journal/ctlcmds.h"
#include "journal/shapes.h"
#include "testkit/pclxl/xldecode.h"

namespace xldoc {

namespace {

// The printable area of a letter page at 600 dots per inch, less a margin
// so that wide pens stay on it.
constexpr int kRight = 4800;
constexpr int kBottom = 6300;
constexpr int kMargin = 50;

// Points on the page from the benchmarks' fixed-seed source.
class Draw {
 public:
  explicit Draw(uint32_t seed) : random_(seed) {}
  int between(int low, int high) { return random_.between(low, high); }
  GPoint point() {
    return GPoint(static_cast<int16_t>(between(kMargin, kRight - kMargin)),
                  static_cast<int16_t>(between(kMargin, kBottom - kMargin)));
  }
  // A point near another, kept on the page.
  GPoint near(const GPoint& p, int reach) {
    auto clamp = [](int v, int high) { return static_cast<int16_t>(v < kMargin ? kMargin : v > high ? high : v); };
    return GPoint(clamp(p.x() + between(-reach, reach), kRight - kMargin),
                  clamp(p.y() + between(-reach, reach), kBottom - kMargin));
  }

 private:
  bench::Random random_;
};

void addShape(Page& page, Item::Kind kind, const std::vector<GPoint>& points) {
  Item item{kind};
  item.first = static_cast<uint32_t>(page.points.size());
  item.count = static_cast<uint32_t>(points.size());
  page.points.insert(page.points.end(), points.begin(), points.end());
  page.items.push_back(item);
}

Page makePage(Draw& draw) {
  Page page;
  const GPoint corner(static_cast<int16_t>(draw.between(100, 600)), static_cast<int16_t>(draw.between(100, 600)));
  page.clip = GRect(corner.x(), corner.y(), static_cast<int16_t>(draw.between(4200, 4700)),
                    static_cast<int16_t>(draw.between(5700, 6200)));
  Item lastLook{Item::kLook};
  for (int block = 0; block < kBlocksPerPage; ++block) {
    Item look{Item::kLook};
    look.brushGrey = static_cast<uint8_t>(draw.between(0, 255));
    // Each look changes the pen: a pen like the one in force is no change
    // at all, and the generator rightly writes nothing for it.
    do {
      look.penGrey = static_cast<uint8_t>(draw.between(0, 255));
      look.penWidth = static_cast<int16_t>(draw.between(1, 12));
    } while (block > 0 && look.penGrey == lastLook.penGrey && look.penWidth == lastLook.penWidth);
    lastLook = look;
    page.items.push_back(look);
    for (int i = 0; i < kRectanglesPerBlock; ++i) {
      const GPoint a = draw.point();
      const GPoint b = draw.near(a, 600);
      addShape(page, Item::kRectangle,
               {GPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                GPoint(std::max(a.x(), b.x()), std::max(a.y(), b.y()))});
    }
    for (int i = 0; i < kPolyLinesPerBlock; ++i) {
      // A wandering line: most steps short, as text underlines and chart
      // lines are, some long.
      std::vector<GPoint> line{draw.point()};
      while (line.size() < kPolyLinePoints) line.push_back(draw.near(line.back(), line.size() % 4 ? 40 : 400));
      addShape(page, Item::kPolyLine, line);
    }
    for (int i = 0, curves = 2 + block % 2; i < curves; ++i) {
      std::vector<GPoint> curve{draw.point()};
      while (curve.size() < 1 + 3 * kCurveSegments) curve.push_back(draw.near(curve.back(), 300));
      addShape(page, Item::kCurve, curve);
    }
  }
  return page;
}

GColorPaint* grey(uint8_t level) { return new GColorPaint(new GRGBColor(level, level, level, 0)); }

GCommand* commandFor(const Page& page, const Item& item, GGraphicBundle* bundle) {
  const GPoint* points = page.points.data() + item.first;
  switch (item.kind) {
    case Item::kRectangle:
      return new GRectangleGraphic(bundle, GRect(points[0].x(), points[0].y(), points[1].x(), points[1].y()));
    case Item::kPolyLine:
      return new GPolyLineGraphic(bundle, GPointArray::borrowing(points, item.count));
    case Item::kCurve:
      return new GPolyBezierGraphic(bundle, GPointArray::borrowing(points, item.count));
    case Item::kLook:
      break;
  }
  return nullptr;
}

// Sends the page's items: the clip and each look travel in the bundle of
// the next shape, and the first line or curve after a look clears the
// brush.
int32_t printPage(GDevice& device, const Page& page) {
  device.setPagePending(1);
  bool clipSent = false;
  const Item* look = nullptr;
  bool brushCleared = false;
  int32_t status = 0;
  for (const Item& item : page.items) {
    if (item.kind == Item::kLook) {
      look = &item;
      brushCleared = false;
      continue;
    }
    auto* bundle = new GGraphicBundle;
    if (!clipSent) {
      bundle->setClip(new GClipToSingleRectangle(page.clip, 0, 1));
      clipSent = true;
    }
    if (look) {
      bundle->setBrush(new GBrush(grey(look->brushGrey)));
      bundle->setPen(new GPen(look->penWidth, grey(look->penGrey)));
      look = nullptr;
    }
    if (item.kind != Item::kRectangle && !brushCleared) {
      bundle->setBrush(new GNoBrush);
      brushCleared = true;
    }
    const int32_t sent = device.sendDrawing(commandFor(page, item, bundle));
    if (status == 0) status = sent;
  }
  const int32_t ended = device.send(device.makePageEnd());
  return status ? status : ended;
}

}  // namespace

Document makeDocument(int pages, uint32_t seed) {
  Draw draw(seed);
  Document document;
  document.pages.reserve(static_cast<size_t>(pages));
  for (int i = 0; i < pages; ++i) document.pages.push_back(makePage(draw));
  return document;
}

int32_t printDocument(GDevice& device, const Document& document, const RWWString& outputName) {
  device.setDocumentName(RWWString(u"bench"));
  device.setOutputName(outputName);
  device.setDocumentPending(1);
  int32_t status = device.startDocument();
  if (status != 0) return status;
  for (const Page& page : document.pages)
    if (const int32_t printed = printPage(device, page); status == 0) status = printed;
  const int32_t ended = device.send(device.makeDocumentEnd());
  device.endDocument();
  return status ? status : ended;
}

std::string checkJob(const std::string& job, const Document& document) {
  // The operator tags counted.
  constexpr uint8_t kBeginPage = 0x43, kSetBrushSource = 0x63, kSetClipRectangle = 0x68, kSetPenSource = 0x79,
                    kPaintPath = 0x86;
  const XLDecodeResult decoded = decodeXLJob(job);
  if (!decoded.ok) return "the stream does not decode: " + decoded.error;
  size_t pages = 0, clips = 0, brushes = 0, pens = 0, paints = 0;
  for (const XLOperatorToken& op : decoded.operators) {
    pages += op.tag == kBeginPage;
    clips += op.tag == kSetClipRectangle;
    brushes += op.tag == kSetBrushSource;
    pens += op.tag == kSetPenSource;
    paints += op.tag == kPaintPath;
  }
  size_t shapes = 0, looks = 0;
  for (const Page& page : document.pages)
    for (const Item& item : page.items) (item.kind == Item::kLook ? looks : shapes) += 1;
  std::ostringstream wrong;
  if (pages != document.pages.size()) wrong << pages << " pages of " << document.pages.size() << "; ";
  if (clips != document.pages.size()) wrong << clips << " clips; ";
  if (paints != shapes) wrong << paints << " painted paths of " << shapes << "; ";
  if (brushes < looks || pens < looks)
    wrong << brushes << " brushes and " << pens << " pens for " << looks << " looks; ";
  return wrong.str();
}

// ---- PostScript ------------------------------------------------------------------------------

std::string postScriptOf(const Document& document) {
  std::ostringstream ps;
  ps << "%!PS-Adobe-3.0\n%%Pages: " << document.pages.size() << "\n%%BoundingBox: 0 0 612 792\n%%EndComments\n";
  // L: brush grey, pen grey (0 to 255) and pen width; R: a rectangle
  // filled with the brush and outlined with the pen; S: the path stroked
  // with the pen.
  ps << "%%BeginProlog\n"
        "/bg 0 def /pg 0 def\n"
        "/L { setlinewidth 255 div /pg exch def 255 div /bg exch def } bind def\n"
        "/R { 4 copy bg setgray rectfill pg setgray rectstroke } bind def\n"
        "/S { pg setgray stroke } bind def\n"
        "%%EndProlog\n"
        "%%BeginSetup\n<< /PageSize [612 792] >> setpagedevice\n%%EndSetup\n";
  int number = 0;
  for (const Page& page : document.pages) {
    ++number;
    ps << "%%Page: " << number << ' ' << number << "\ngsave\n";
    // Device pixels with y downwards, from the printable area's corner.
    ps << "0 792 translate 72 " << kDotsPerInch << " div dup neg scale " << kPrintableOrigin << ' ' << kPrintableOrigin
       << " translate\n";
    ps << page.clip.left() << ' ' << page.clip.top() << ' ' << page.clip.right() - page.clip.left() << ' '
       << page.clip.bottom() - page.clip.top() << " rectclip\n";
    for (const Item& item : page.items) {
      const GPoint* p = page.points.data() + item.first;
      switch (item.kind) {
        case Item::kLook:
          ps << int(item.brushGrey) << ' ' << int(item.penGrey) << ' ' << item.penWidth << " L\n";
          break;
        case Item::kRectangle:
          ps << p[0].x() << ' ' << p[0].y() << ' ' << p[1].x() - p[0].x() << ' ' << p[1].y() - p[0].y() << " R\n";
          break;
        case Item::kPolyLine:
          ps << "newpath " << p[0].x() << ' ' << p[0].y() << " moveto";
          for (uint32_t i = 1; i < item.count; ++i) ps << ' ' << p[i].x() << ' ' << p[i].y() << " lineto";
          ps << " S\n";
          break;
        case Item::kCurve:
          ps << "newpath " << p[0].x() << ' ' << p[0].y() << " moveto";
          for (uint32_t i = 1; i + 2 < item.count; i += 3)
            ps << ' ' << p[i].x() << ' ' << p[i].y() << ' ' << p[i + 1].x() << ' ' << p[i + 1].y() << ' '
               << p[i + 2].x() << ' ' << p[i + 2].y() << " curveto";
          ps << " S\n";
          break;
      }
    }
    ps << "grestore\nshowpage\n";
  }
  ps << "%%Trailer\n%%EOF\n";
  return ps.str();
}

// ---- memory ports ------------------------------------------------------------------------------

uint16_t MemoryPort::startJob(const RWWString& jobName, int32_t withPjl) {
  if (state_ != kIdle) return 1;
  tally_.bytes = 0;
  tally_.kept.clear();
  bytesWritten_ = 0;
  return GOutputPort::startJob(jobName, withPjl);
}

uint16_t MemoryPort::write(const void* data, uint32_t length, uint32_t& written) {
  written = 0;
  if (state_ != kInJob) return 1;
  if (tally_.keep) tally_.kept.append(static_cast<const char*>(data), length);
  tally_.bytes += length;
  bytesWritten_ += length;
  written = length;
  return 0;
}

MemoryPrinter::MemoryPrinter(int devices, bool keepBytes) {
  for (int k = 0; k < devices; ++k) {
    tallies_.push_back(std::make_unique<PortTally>());
    tallies_.back()->keep = keepBytes;
    portNames_.emplace_back(("MEM:" + std::to_string(k)).c_str());
  }
  printer_ = std::make_unique<ServedXLPrinter>(
      [this](GDriverInstance*, const RWWString& portName, uint32_t) { return makePort(portName); });
  if (!printer_->error().empty()) {
    error_ = printer_->error();
    return;
  }
  for (int k = 0; k < devices; ++k) {
    uint32_t handle = 0;
    GDevice* device = printer_->registerDevice(RWWString(("Printer " + std::to_string(k)).c_str()), handle);
    if (!device || !selectMediaAndSource(*device, 1, 1)) {
      error_ = "no device for printer " + std::to_string(k);
      return;
    }
    devices_.push_back(device);
    handles_.push_back(handle);
  }
}

MemoryPrinter::~MemoryPrinter() {
  if (printer_ && printer_->server())
    for (uint32_t handle : handles_) printer_->server()->removeDevice(handle);
}

int32_t MemoryPrinter::print(int k, const Document& document) {
  return printDocument(*devices_[k], document, portNames_[k]);
}

GOutputPort* MemoryPrinter::makePort(const RWWString& portName) {
  // The platform services make ports for every thread's job at once.
  std::lock_guard<std::mutex> hold(portsLock_);
  for (size_t k = 0; k < portNames_.size(); ++k)
    if (portNames_[k] == portName) return new MemoryPort(portName, *tallies_[k]);
  return nullptr;
}

}  // namespace xldoc
