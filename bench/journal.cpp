// Journal commands through a chain of stages, in commands per second.
//
// The chain is a stage container holding three stages that do what a page
// filter does with what it does not change (file each command's attribute
// into their State, send the changed members to their handlers, dispatch
// the command) and, last, a stage that swallows everything, consuming the
// pens and brushes it is sent as a generator does. Each iteration sends
// one document: a document start, pages of rectangles, poly-lines and
// Bezier curves drawn with changing pens and brushes, each page closed by
// a page end, and a document end.
//
// The commands are made in the loop, as the device makes them from the
// engine's calls; their geometry is fixed beforehand from a fixed seed.
// The last stage counts what reaches it, and the program stops when that
// is not every command sent.

#include <benchmark/benchmark.h>

#include <vector>

#include "bench/benchkit.h"
#include "core/geometry.h"
#include "device/pericomp.h"
#include "graphics/brush.h"
#include "graphics/color.h"
#include "graphics/gattrib.h"
#include "graphics/paint.h"
#include "graphics/pen.h"
#include "journal/ctlcmds.h"
#include "journal/periph.h"
#include "journal/shapes.h"

namespace {

constexpr int kPages = 10;
// Per page: the graphics, and after how many of them the pen and the
// brush change.
constexpr int kRectangles = 100;
constexpr int kPolyLines = 50;
constexpr int kBeziers = 25;
constexpr int kPenEvery = 10;
constexpr int kBrushEvery = 7;
constexpr int kLinePoints = 20;
constexpr int kBezierPoints = 7;  // a start and two segments

constexpr int kGraphicsPerPage = kRectangles + kPolyLines + kBeziers;
constexpr int64_t kCommandsPerDocument = 2 + kPages * (2 + kGraphicsPerPage);

// A stage that changes nothing: the base stage's processing, the base
// handlers.
class RelayStage : public GPeripheral {
 public:
  explicit RelayStage(const char* name) : GPeripheral(RWCString(name), nullptr, nullptr, 0) {}
  uint32_t processingFlags() override { return 0; }
};

// The end of the chain: counts every command it processes, consumes pens
// and brushes (their changed flag cleared, so that an equal one is not
// sent again), and draws nothing.
class SwallowingStage : public GPeripheral {
 public:
  SwallowingStage() : GPeripheral(RWCString("sink"), nullptr, nullptr, 0) {}
  uint32_t processingFlags() override { return 0; }

  GCommandPtr process(const GCommandPtr& command) override {
    ++commands;
    return GPeripheral::process(command);
  }
  [[nodiscard]] GStatus onPen(GPen* pen) override {
    pen->resetChanged();
    ++pens;
    return 0;
  }
  [[nodiscard]] GStatus onBrush(GBrush* brush) override {
    brush->resetChanged();
    ++brushes;
    return 0;
  }

  int64_t commands = 0;
  int64_t pens = 0;
  int64_t brushes = 0;
};

// The geometry of one page, made once.
struct PageGeometry {
  std::vector<GRect> boxes;
  std::vector<std::vector<GPoint>> lines;
  std::vector<std::vector<GPoint>> curves;
};

GPoint randomPoint(bench::Random& random) {
  return GPoint(static_cast<int16_t>(random.between(0, 4800)), static_cast<int16_t>(random.between(0, 6400)));
}

std::vector<PageGeometry> makePages() {
  bench::Random random;
  std::vector<PageGeometry> pages(kPages);
  for (PageGeometry& page : pages) {
    for (int i = 0; i < kRectangles; ++i) {
      const GPoint corner = randomPoint(random);
      page.boxes.emplace_back(corner.x(), corner.y(), static_cast<int16_t>(corner.x() + random.between(1, 400)),
                              static_cast<int16_t>(corner.y() + random.between(1, 400)));
    }
    for (int i = 0; i < kPolyLines; ++i) {
      std::vector<GPoint> line;
      for (int p = 0; p < kLinePoints; ++p) line.push_back(randomPoint(random));
      page.lines.push_back(std::move(line));
    }
    for (int i = 0; i < kBeziers; ++i) {
      std::vector<GPoint> curve;
      for (int p = 0; p < kBezierPoints; ++p) curve.push_back(randomPoint(random));
      page.curves.push_back(std::move(curve));
    }
  }
  return pages;
}

GColorPaint* paintOf(uint32_t n) {
  return new GColorPaint(new GRGBColor(static_cast<uint8_t>(n * 37), static_cast<uint8_t>(n * 91),
                                       static_cast<uint8_t>(n * 13), 0));
}

// The bundle of the graphic numbered n on its page: a new pen or brush
// when one is due, else nothing, as the device sends only what changed.
GGraphicBundle* bundleFor(int n) {
  auto* bundle = new GGraphicBundle;
  if (n % kPenEvery == 0) bundle->setPen(new GPen(1 + n % 5, paintOf(static_cast<uint32_t>(n))));
  if (n % kBrushEvery == 0) bundle->setBrush(new GBrush(paintOf(static_cast<uint32_t>(n + 1))));
  return bundle;
}

void send(GPeripheralComposite& chain, GCommand* command) {
  const GCommandPtr answer = chain.process(GCommandPtr(command));
  if (!answer || answer->isA() == ClassId::GErrorCommand) bench::fail("a stage failed a command");
}

void sendDocument(GPeripheralComposite& chain, const std::vector<PageGeometry>& pages) {
  send(chain, new GDocumentStart);
  for (const PageGeometry& page : pages) {
    send(chain, new GPageStart);
    int n = 0;
    for (const GRect& box : page.boxes) send(chain, new GRectangleGraphic(bundleFor(n++), box));
    for (const std::vector<GPoint>& line : page.lines)
      send(chain, new GPolyLineGraphic(bundleFor(n++),
                                       GPointArray::borrowing(line.data(), static_cast<uint32_t>(line.size()))));
    for (const std::vector<GPoint>& curve : page.curves)
      send(chain, new GPolyBezierGraphic(bundleFor(n++),
                                         GPointArray::borrowing(curve.data(), static_cast<uint32_t>(curve.size()))));
    send(chain, new GPageEnd);
  }
  send(chain, new GDocumentEnd);
}

void BM_JournalChain(benchmark::State& state) {
  const std::vector<PageGeometry> pages = makePages();
  GPeripheralComposite chain(RWCString("chain"), nullptr, nullptr, 0);
  chain.insert(new RelayStage("first"));
  chain.insert(new RelayStage("second"));
  chain.insert(new RelayStage("third"));
  auto* sink = new SwallowingStage;
  chain.insert(sink);
  chain.reset();

  for (auto _ : state) sendDocument(chain, pages);

  if (sink->commands != kCommandsPerDocument * state.iterations())
    bench::fail("the last stage did not see every command");
  if (sink->pens == 0 || sink->brushes == 0) bench::fail("no pen or brush reached the last stage");
  state.counters["commands"] = benchmark::Counter(static_cast<double>(kCommandsPerDocument * state.iterations()),
                                                  benchmark::Counter::kIsRate);
  state.counters["pens_sent"] = static_cast<double>(sink->pens) / static_cast<double>(state.iterations());
  state.counters["brushes_sent"] = static_cast<double>(sink->brushes) / static_cast<double>(state.iterations());
}

BENCHMARK(BM_JournalChain)->Unit(benchmark::kMillisecond);

}  // namespace
