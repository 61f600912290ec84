#ifndef BENCH_XLDOC_H
#define BENCH_XLDOC_H

// The document the PCL XL benchmarks print: pages of vector drawing built in
// code from a fixed seed, so that every run (and the PostScript twin of the
// side-by-side comparison) draws exactly the same things.
//
// Each page: a clip to one rectangle, then twenty blocks, each opened by a
// change of brush and pen (grey levels and a pen width) and holding ten
// rectangles (filled with the brush, outlined with the pen), five poly-lines
// of twenty points and two or three Bezier curves of three segments (stroked
// with the pen only: they are drawn with no brush, as the platform hands
// lines to a driver). 200 rectangles, 100 poly-lines and 50 curves a page.
//
// Coordinates are device pixels at 600 dots per inch, from the printable
// area's corner, y downwards, on a letter page.
//
// Printing goes through a served PCL XL printer (testkit/printer/) whose
// spooler ports are memory ports: nothing touches a file.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/geometry.h"
#include "core/outport.h"
#include "testkit/printer/served.h"

class GDevice;

namespace xldoc {

constexpr int kBlocksPerPage = 20;
constexpr int kRectanglesPerBlock = 10;
constexpr int kPolyLinesPerBlock = 5;
constexpr int kPolyLinePoints = 20;
constexpr int kCurveSegments = 3;
// The device resolution, and the printable area's corner from the page's.
constexpr int kDotsPerInch = 600;
constexpr int kPrintableOrigin = 100;

struct Item {
  enum Kind : uint8_t { kLook, kRectangle, kPolyLine, kCurve };
  Kind kind;
  // A look: the brush's and the pen's grey (0 black to 255 white) and the
  // pen's width.
  uint8_t brushGrey = 0;
  uint8_t penGrey = 0;
  int16_t penWidth = 0;
  // A shape: its points in the page's list. A rectangle's two are its
  // top-left and bottom-right corners; a poly-line's and a curve's the
  // start point, then the line ends or three points per segment.
  uint32_t first = 0;
  uint32_t count = 0;
};

struct Page {
  GRect clip;
  std::vector<Item> items;
  std::vector<GPoint> points;
};

struct Document {
  std::vector<Page> pages;
};

// The document of that many pages; the same pages for the same seed.
Document makeDocument(int pages, uint32_t seed = 20261211u);

// The document as a level-2 PostScript program drawing the same shapes
// with the same greys, widths and clip on letter pages.
std::string postScriptOf(const Document& document);

// Reads a job the document was printed into and answers what is wrong
// with it (empty when nothing): the PCL XL stream must decode whole and
// hold the document's pages, one clip and one painted path per shape on
// each, and a brush and a pen for each look.
std::string checkJob(const std::string& job, const Document& document);

// Prints the document as one job through the device into the port named
// outputName: 0, or the first status that was not.
int32_t printDocument(GDevice& device, const Document& document, const RWWString& outputName);

// What the memory ports of one name have taken: the bytes of the last job,
// and the bytes themselves when kept.
struct PortTally {
  uint64_t bytes = 0;
  bool keep = false;
  std::string kept;
};

// A port that counts what it is written, and keeps it when its tally asks.
class MemoryPort : public GOutputPort {
 public:
  MemoryPort(const RWWString& portName, PortTally& tally) : GOutputPort(portName), tally_(tally) {}

  [[nodiscard]] uint16_t startJob(const RWWString& jobName, int32_t withPjl) override;
  [[nodiscard]] uint16_t write(const void* data, uint32_t length, uint32_t& written) override;
  int32_t open() override { return 1; }

 private:
  PortTally& tally_;
};

// A served PCL XL printer whose jobs go to memory ports, with devices of
// printers of their own: device k prints into port "MEM:k", tallied in
// tally(k). Devices are made up front, so that threads share nothing the
// benchmark made for them.
class MemoryPrinter {
 public:
  explicit MemoryPrinter(int devices, bool keepBytes = false);
  ~MemoryPrinter();
  MemoryPrinter(const MemoryPrinter&) = delete;
  MemoryPrinter& operator=(const MemoryPrinter&) = delete;

  // Empty when every device is there; otherwise what failed.
  const std::string& error() const { return error_; }
  int devices() const { return static_cast<int>(devices_.size()); }
  // Prints the document on device k: 0, or the first failing status.
  int32_t print(int k, const Document& document);
  const PortTally& tally(int k) const { return *tallies_[k]; }

 private:
  GOutputPort* makePort(const RWWString& portName);

  std::vector<std::unique_ptr<PortTally>> tallies_;
  std::vector<RWWString> portNames_;
  std::mutex portsLock_;
  std::unique_ptr<ServedXLPrinter> printer_;
  std::vector<GDevice*> devices_;
  std::vector<uint32_t> handles_;
  std::string error_;
};

}  // namespace xldoc

#endif
