// Jobs made of the input, printed through a device, its printer and the
// PCL XL generator into a port in memory, and read back whole by the test
// kit's decoder.
//
// The input is a program of one-byte operations, each followed by the
// operands it reads (a read past the end gives 0): page control, the end
// of a job and the start of the next on the device the server kept, the
// members of the bundle the next drawings carry (pens, brushes, clips,
// caps, joins, fill modes, raster operations, transforms), and one
// operation per drawing class, composites nested inside each other. Values
// are drawn mostly from a table of hostile ones (the 16-bit limits, zero,
// negative sizes) and point lists from a table of lengths up to more than a
// 16-bit count holds. The device is driven as the driver's entry points
// drive it: the document starts with the first page, a drawing outside a
// page opens one, and a job ends by closing its open page and sending the
// document end.
//
// The target fails (aborts) when every command answered 0 and yet the job
// is not sound: the stream does not decode, a session or a page is left
// open, a page names no media, or the pages written are not the pages
// sent. A command that answers a failure ends the job there: the failure
// is reported, which is a sound answer to a job the printer cannot print.
//
// Every drawing class and every bundle member is one row of the tables
// below; a class that lands later is one row more. A generator of another
// language comes with a printer and a decoder of its own: this target is
// the PCL XL one.

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common.h"
#include "core/outport.h"
#include "device/device.h"
#include "device/drvrsrvr.h"
#include "graphics/brush.h"
#include "graphics/clip.h"
#include "graphics/color.h"
#include "graphics/gattrib.h"
#include "graphics/lineattr.h"
#include "graphics/paint.h"
#include "graphics/pen.h"
#include "graphics/rop.h"
#include "graphics/transfrm.h"
#include "journal/cmdcomp.h"
#include "journal/path.h"
#include "journal/shapes.h"
#include "testkit/pclxl/xldecode.h"
#include "testkit/printer/served.h"

namespace {

// ---- the port ----------------------------------------------------------------------------

// Every byte of the current input's job; the port the spooler maker makes
// writes here.
std::string jobBytes;

class MemoryPort : public GOutputPort {
 public:
  explicit MemoryPort(const RWWString& name) : GOutputPort(name) {}
  [[nodiscard]] uint16_t write(const void* data, uint32_t length, uint32_t& written) override {
    jobBytes.append(static_cast<const char*>(data), length);
    written = length;
    return 0;
  }
  int32_t open() override { return 1; }
};

// The printer and its server, made once for the process: every input
// registers a device of its own and removes it again.
ServedXLPrinter& servedPrinter() {
  static ServedXLPrinter printer([](GDriverInstance*, const RWWString& name, uint32_t) -> GOutputPort* {
    return new MemoryPort(name);
  });
  return printer;
}

// ---- reading the input -------------------------------------------------------------------

class Program {
 public:
  Program(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool done() const { return at_ >= size_; }
  uint8_t u8() { return at_ < size_ ? data_[at_++] : 0; }
  uint16_t u16() {
    const uint8_t low = u8();
    return static_cast<uint16_t>(low | u8() << 8);
  }

  // A coordinate or size: mostly one of the values that break arithmetic
  // on 16 bits, otherwise any.
  int16_t value() {
    static const int16_t hostile[] = {0, 1, -1, 2, 100, -100, 5000, 32767, -32768, 32766, -32767, 16384, -16384};
    const uint8_t pick = u8();
    if (pick < 2 * std::size(hostile)) return hostile[pick % std::size(hostile)];
    return static_cast<int16_t>(u16());
  }
  GPoint point() {
    const int16_t x = value();
    return GPoint(x, value());
  }
  GRect rect() {
    const int16_t left = value(), top = value(), right = value();
    return GRect(left, top, right, value());
  }
  // A count of points: small ones mostly, and a few past what one 16-bit
  // count of a stream holds.
  uint32_t pointCount() {
    static const uint32_t lengths[] = {0, 1, 2, 3, 4, 5, 6, 7, 9, 12, 100, 1000, 32767, 65535, 65536, 70001};
    return lengths[u8() % std::size(lengths)];
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// ---- the job -----------------------------------------------------------------------------

struct Job {
  GDevice* device = nullptr;
  Program& in;
  // The point lists the drawings borrow, alive until the job is done. A
  // stage that kept a member of the job's graphic state past the job (the
  // server keeps the device for the next job of the printer) would read
  // them after they are gone, which the sanitizer reports.
  std::deque<std::vector<GPoint>> points;
  // The members the next drawings carry: each drawing gets a copy.
  std::unique_ptr<GGraphicBundle> look{new GGraphicBundle};
  bool documentStarted = false;
  bool inPage = false;
  uint32_t pagesSent = 0;
  bool failed = false;
  int depth = 0;

  Job(GDevice* d, Program& program) : device(d), in(program) {}

  GPointArray pointList() {
    const uint32_t count = in.pointCount();
    std::vector<GPoint>& list = points.emplace_back();
    list.reserve(count);
    // The first points from the input, the rest a walk from the last.
    GPoint last;
    for (uint32_t i = 0; i < count; ++i) {
      if (i < 16) {
        last = in.point();
      } else {
        last = GPoint(static_cast<int16_t>(last.x() + 37 * (i % 7) - 100), static_cast<int16_t>(last.y() + 13 * (i % 5) - 26));
      }
      list.push_back(last);
    }
    return GPointArray::borrowing(list.data(), count);
  }

  GGraphicBundle* bundle() {
    // Some drawings carry no bundle at all.
    if (in.u8() % 8 == 0) return nullptr;
    return dynamic_cast<GGraphicBundle*>(look->deepCopy());
  }

  void check(GStatus status) {
    if (status != 0) failed = true;
  }

  void startDocument() {
    if (documentStarted) return;
    device->setDocumentName(RWWString(u"fuzz"));
    device->setOutputName(RWWString(u"MEM:"));
    device->setDocumentPending(1);
    check(device->startDocument());
    documentStarted = true;
  }
  void startPage() {
    if (inPage) return;
    startDocument();
    if (failed) return;
    check(device->send(device->makePageStart()));
    inPage = true;
  }
  void endPage() {
    if (!inPage) return;
    check(device->send(device->makePageEnd()));
    inPage = false;
    ++pagesSent;
  }
  void draw(GCommand* command) {
    startPage();
    if (failed) {
      delete command;
      return;
    }
    check(device->sendDrawing(command));
  }
  void finish() {
    if (!documentStarted || failed) return;
    endPage();
    if (!failed) check(device->send(device->makeDocumentEnd()));
    device->endDocument();
  }

  GGraphic* drawing();
};

// ---- the colours, pens, brushes and other members ---------------------------------------

// Operands are read into locals first throughout: the order in which a
// call's arguments are evaluated is the compiler's, and an input must mean
// the same job under every compiler that replays it.
GPaint* paint(Program& in) {
  const uint8_t kind = in.u8() % 3;
  uint8_t v[4];
  for (uint8_t& b : v) b = in.u8();
  switch (kind) {
    case 0: return new GColorPaint(new GRGBColor(v[0], v[1], v[2], v[3]));
    case 1: return new GColorPaint(new GGrayColor(v[0], v[1]));
    default: return new GColorPaint(new GXYZColor(v[0], v[1], v[2], v[3]));
  }
}

// A clip's region and fill rule, each of a few values, one out of range.
struct ClipRule {
  int32_t region, fillRule;
  explicit ClipRule(Program& in) : region(in.u8() % 3), fillRule(in.u8() % 3) {}
};

GPathGraphic* clipPath(Job& job);

using MemberMaker = void (*)(Job&);
const MemberMaker memberMakers[] = {
    [](Job& j) {
      const int16_t width = j.in.value();
      j.look->setPen(new GPen(width, paint(j.in)));
    },
    [](Job& j) {
      const uint32_t count = j.in.u8() % 12;
      std::unique_ptr<int16_t[]> dashes(new int16_t[count ? count : 1]);
      for (uint32_t i = 0; i < count; ++i) dashes[i] = j.in.value();
      const int32_t width = j.in.value();
      const int32_t offset = j.in.value();
      j.look->setPen(new GDashedPen(std::move(dashes), count, width, paint(j.in), offset, AttrId::Pen));
    },
    [](Job& j) { j.look->setPen(new GNoPen(AttrId::Pen)); },
    [](Job& j) { j.look->setBrush(new GBrush(paint(j.in))); },
    [](Job& j) { j.look->setBrush(new GNoBrush(AttrId::Brush)); },
    [](Job& j) { j.look->setClip(new GClipToPage(AttrId::Clip)); },
    [](Job& j) {
      const GRect r = j.in.rect();
      const ClipRule rule(j.in);
      j.look->setClip(new GClipToSingleRectangle(r, rule.region, rule.fillRule));
    },
    [](Job& j) {
      std::vector<GRect> rects(j.in.u8() % 6);
      for (GRect& r : rects) r = j.in.rect();
      const ClipRule rule(j.in);
      j.look->setClip(new GClipToRectangle(rects, rule.region, rule.fillRule));
    },
    [](Job& j) {
      GPathGraphic* path = clipPath(j);
      const ClipRule rule(j.in);
      j.look->setClip(new GClipToPath(path, rule.region, rule.fillRule));
    },
    [](Job& j) { j.look->setCap(new GCap(j.in.u8() % 5 - 1)); },
    [](Job& j) { j.look->setJoint(new GJoint(j.in.u8() % 5 - 1)); },
    [](Job& j) { j.look->setJoint(new GMiterJoint(static_cast<GReal>(j.in.value()) / 4)); },
    [](Job& j) { j.look->setFillMode(new GFillMode(j.in.u8() % 4 - 1)); },
    [](Job& j) {
      const uint16_t code = j.in.u16();
      j.look->setRasterOperation(new GRasterOperation(code, j.in.u8() % 3));
    },
    [](Job& j) {
      const int16_t rotation = j.in.value();
      const GPoint offset = j.in.point();
      const int16_t x = j.in.value(), y = j.in.value();
      j.look->insert(new GTransformAttribute(rotation, offset, GScaleFactors(static_cast<GReal>(x) / 64, static_cast<GReal>(y) / 64)));
    },
    // A fresh bundle: every member back to none.
    [](Job& j) { j.look.reset(new GGraphicBundle); },
};

// ---- the drawings ------------------------------------------------------------------------

using DrawingMaker = GGraphic* (*)(Job&);

// The figures a path holds: the poly classes, drawn from the current
// position or not, and paths inside paths.
GGraphic* figure(Job& job);

GPathGraphic* path(Job& job, GGraphicBundle* bundle) {
  auto* path = new GPathGraphic(bundle, 0);
  const uint32_t parts = job.in.u8() % 6;
  ++job.depth;
  for (uint32_t i = 0; i < parts; ++i) path->insert(figure(job));
  --job.depth;
  if (job.in.u8() & 1) path->setClosed();
  return path;
}

GPathGraphic* clipPath(Job& job) { return path(job, nullptr); }

const DrawingMaker drawingMakers[] = {
    [](Job& j) -> GGraphic* {
      GGraphicBundle* b = j.bundle();
      const GRect box = j.in.rect();
      const GPointArray points = j.pointList();
      return new GArcGraphic(b, box, points, j.in.u8() % 4);
    },
    [](Job& j) -> GGraphic* {
      GGraphicBundle* b = j.bundle();
      const GRect box = j.in.rect();
      const GPointArray points = j.pointList();
      return new GChordGraphic(b, box, points, j.in.u8() % 4);
    },
    [](Job& j) -> GGraphic* {
      GGraphicBundle* b = j.bundle();
      const GRect box = j.in.rect();
      const GPointArray points = j.pointList();
      return new GPieGraphic(b, box, points, j.in.u8() % 4);
    },
    [](Job& j) -> GGraphic* {
      GGraphicBundle* b = j.bundle();
      const GRect box = j.in.rect();
      return new GEllipseGraphic(b, box, j.in.u8() % 4);
    },
    [](Job& j) -> GGraphic* {
      GGraphicBundle* b = j.bundle();
      return new GRectangleGraphic(b, j.in.rect());
    },
    [](Job& j) -> GGraphic* {
      GGraphicBundle* b = j.bundle();
      const GRect box = j.in.rect();
      return new GRoundedRectangleGraphic(b, box, j.pointList());
    },
    [](Job& j) -> GGraphic* {
      GGraphicBundle* b = j.bundle();
      return new GPolyLineGraphic(b, j.pointList());
    },
    [](Job& j) -> GGraphic* {
      GGraphicBundle* b = j.bundle();
      return new GPolyLineToGraphic(b, j.pointList());
    },
    [](Job& j) -> GGraphic* {
      GGraphicBundle* b = j.bundle();
      return new GPolyBezierGraphic(b, j.pointList());
    },
    [](Job& j) -> GGraphic* {
      GGraphicBundle* b = j.bundle();
      return new GPolyBezierToGraphic(b, j.pointList());
    },
    [](Job& j) -> GGraphic* {
      GGraphicBundle* b = j.bundle();
      return new GPolygonGraphic(b, j.pointList());
    },
    [](Job& j) -> GGraphic* { return path(j, j.bundle()); },
    // A group of drawings, groups and paths among them.
    [](Job& j) -> GGraphic* {
      auto* group = new GGraphicComposite(j.bundle(), 0);
      const uint32_t members = j.in.u8() % 5;
      for (uint32_t i = 0; i < members; ++i)
        if (GGraphic* member = j.drawing()) group->insert(member);
      return group;
    },
};

GGraphic* Job::drawing() {
  // Nesting is bounded, so that an input cannot make an unbounded tree.
  if (depth >= 6) return new GRectangleGraphic(nullptr, in.rect());
  ++depth;
  GGraphic* made = drawingMakers[in.u8() % std::size(drawingMakers)](*this);
  --depth;
  return made;
}

GGraphic* figure(Job& job) {
  static const DrawingMaker figures[] = {
      [](Job& j) -> GGraphic* { return new GPolyLineGraphic(nullptr, j.pointList()); },
      [](Job& j) -> GGraphic* { return new GPolyLineToGraphic(nullptr, j.pointList()); },
      [](Job& j) -> GGraphic* { return new GPolyBezierGraphic(nullptr, j.pointList()); },
      [](Job& j) -> GGraphic* { return new GPolyBezierToGraphic(nullptr, j.pointList()); },
      [](Job& j) -> GGraphic* { return new GRectangleGraphic(nullptr, j.in.rect()); },
      [](Job& j) -> GGraphic* {
        const GRect box = j.in.rect();
        return new GEllipseGraphic(nullptr, box, j.in.u8() % 4);
      },
      [](Job& j) -> GGraphic* {
        if (j.depth >= 6) return new GPolyLineToGraphic(nullptr, j.pointList());
        return path(j, nullptr);
      },
  };
  return figures[job.in.u8() % std::size(figures)](job);
}

// ---- the operations ----------------------------------------------------------------------

// The operation that ends a job: the next begins on the device the server
// kept, as the driver's next PDEV of the printer gets it.
constexpr uint8_t kNextJob = 7;

void run(Job& job, int& steps) {
  // At most this many operations: each drawing may cost a page of output.
  for (; steps < 200 && !job.in.done() && !job.failed; ++steps) {
    const uint8_t op = job.in.u8();
    if (op == kNextJob) break;
    if (op < 8) {
      job.startPage();
    } else if (op < 16) {
      job.endPage();
    } else if (op < 96) {
      memberMakers[op % std::size(memberMakers)](job);
    } else {
      job.draw(job.drawing());
    }
  }
  job.finish();
}

// ---- the job, read back ------------------------------------------------------------------

// The operators a sound job is checked by, as the protocol numbers them.
constexpr uint8_t kBeginSession = 0x41, kEndSession = 0x42, kBeginPage = 0x43, kEndPage = 0x44;
constexpr uint8_t kMediaSizeAttribute = 37, kCustomMediaSizeAttribute = 47;

// With FUZZ_GENERATOR_JOB set to a file name, the input's job is written
// there, and whether a command failed is told: for whoever reproduces a
// fault, or makes a seed.
void keepJob() {
  const char* keep = std::getenv("FUZZ_GENERATOR_JOB");
  if (!keep) return;
  if (FILE* f = std::fopen(keep, "wb")) {
    std::fwrite(jobBytes.data(), 1, jobBytes.size(), f);
    std::fclose(f);
  }
}

[[noreturn]] void fault(const char* what, const std::string& detail = "") {
  std::fprintf(stderr, "generator: %s %s\n", what, detail.c_str());
  keepJob();
  std::abort();
}

void checkJob(const Job& job) {
  if (!job.documentStarted) {
    if (!jobBytes.empty()) fault("bytes were written for a job that never started");
    return;
  }
  const XLDecodeResult decoded = decodeXLJob(jobBytes);
  if (!decoded.ok) fault("the job does not decode:", decoded.error);
  const std::vector<XLOperatorToken>& ops = decoded.operators;
  if (ops.empty() || ops.front().tag != kBeginSession) fault("the stream does not begin a session");
  if (ops.back().tag != kEndSession) fault("the session is left open");
  uint32_t pages = 0;
  bool inPage = false;
  for (const XLOperatorToken& op : ops) {
    if (op.tag == kBeginPage) {
      if (inPage) fault("a page begins inside a page");
      if (!op.find(kMediaSizeAttribute) && !op.find(kCustomMediaSizeAttribute)) fault("a page names no media");
      inPage = true;
    } else if (op.tag == kEndPage) {
      if (!inPage) fault("a page ends outside a page");
      inPage = false;
      ++pages;
    } else if (op.tag == kEndSession && inPage) {
      fault("the session ends inside a page");
    }
  }
  if (pages != job.pagesSent)
    fault("the pages written differ from the pages sent:",
          std::to_string(pages) + " written, " + std::to_string(job.pagesSent) + " sent");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > fuzz::maxInput) return 0;
  ServedXLPrinter& printer = servedPrinter();
  if (!printer.error().empty()) fault("no printer:", printer.error());
  Program program(data, size);
  int steps = 0;
  // A few jobs, each on a device registered for it and removed after it.
  for (int jobs = 0; jobs < 3 && (jobs == 0 || !program.done()); ++jobs) {
    uint32_t handle = 0;
    GDevice* device = printer.registerDevice(RWWString(u"Fuzz"), handle);
    if (!device) fault("the server made no device");
    // The job's settings, as the driver's enable makes them, with the
    // media and the tray a DEVMODE names: Letter from tray 1.
    device->setSettings(device->assembleSettings());
    if (!selectMediaAndSource(*device, 1, 1)) fault("the device's settings take no media");
    (void)device->beginJob();  // it reports nothing: its answer is always 0
    jobBytes.clear();
    {
      Job job(device, program);
      run(job, steps);
      if (!job.failed) checkJob(job);
      if (std::getenv("FUZZ_GENERATOR_JOB")) {
        keepJob();
        std::fprintf(stderr, "generator: %u pages sent, %s\n", job.pagesSent, job.failed ? "a command failed" : "whole");
      }
    }
    printer.server()->removeDevice(handle);
    jobBytes.clear();
  }
  return 0;
}
