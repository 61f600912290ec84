// A job whose port refuses one write, wherever it falls: the failure is
// answered by a command of the job and puts the device in its error state,
// and the port's job is aborted, not ended as if it had printed. The job
// draws 600 rectangles each with a new pen, so that most writes are made
// by the pens' handlers, between the commands.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "device/device.h"
#include "device/drvrsrvr.h"
#include "graphics/color.h"
#include "graphics/gattrib.h"
#include "graphics/paint.h"
#include "graphics/pen.h"
#include "journal/ctlcmds.h"
#include "journal/shapes.h"
#include "testkit/core/port.h"
#include "testkit/pclxl/xldecode.h"
#include "testkit/printer/served.h"

namespace {

// What became of the job's port, kept after the printer deleted it.
struct PortLog {
  int refuse = 0;  // the write refused, counting from 1; 0: none
  int writes = 0;
  std::vector<std::string> calls;
  std::string bytes;
};

class RefusingPort : public FakeOutputPort {
 public:
  explicit RefusingPort(PortLog* log) : log_(log) {}
  [[nodiscard]] uint16_t write(const void* data, uint32_t length, uint32_t& written) override {
    if (++log_->writes == log_->refuse) {
      log_->calls.push_back("write refused");
      written = 0;
      return 5;
    }
    const uint16_t status = FakeOutputPort::write(data, length, written);
    log_->bytes = this->written();
    return status;
  }
  [[nodiscard]] uint16_t endJob() override {
    log_->calls.push_back("endJob");
    return FakeOutputPort::endJob();
  }
  [[nodiscard]] uint16_t abort() override {
    log_->calls.push_back("abort");
    return FakeOutputPort::abort();
  }

 private:
  PortLog* log_;
};

struct Outcome {
  std::vector<int32_t> statuses;  // every non-zero status, in order
  uint32_t state = 0;
};

// The document: one page of 600 rectangles, each with a pen of its own.
Outcome printRectangles(GDevice& device) {
  Outcome out;
  auto note = [&](int32_t status) {
    if (status != 0) out.statuses.push_back(status);
  };
  device.setDocumentName(RWWString(u"doc"));
  device.setOutputName(RWWString(u"MEMORY:"));
  device.setDocumentPending(1);
  note(device.startDocument());
  device.setPagePending(1);
  for (int i = 0; i < 600; ++i) {
    auto* look = new GGraphicBundle;
    look->setPen(new GPen(static_cast<int16_t>(1 + i % 50), new GColorPaint(new GRGBColor(0, 0, 0, 0))));
    const int16_t x = static_cast<int16_t>(100 + (i % 30) * 150), y = static_cast<int16_t>(100 + (i / 30) * 300);
    note(device.sendDrawing(new GRectangleGraphic(look, GRect(x, y, static_cast<int16_t>(x + 100), static_cast<int16_t>(y + 200)))));
  }
  note(device.send(device.makePageEnd()));
  note(device.send(device.makeDocumentEnd()));
  device.endDocument();
  out.state = device.state();
  return out;
}

TEST(RefusedWrite, AnywhereInTheJobEndsInAnErrorAndTheErrorState) {
  PortLog log;
  ServedXLPrinter printer([&log](GDriverInstance*, const RWWString&, uint32_t) -> GOutputPort* {
    return new RefusingPort(&log);
  });
  ASSERT_EQ(printer.error(), "");
  auto run = [&](int refuse) {
    log = PortLog{};
    log.refuse = refuse;
    uint32_t handle = 0;
    GDevice* device = printer.registerDevice(RWWString(u"Printer"), handle);
    EXPECT_NE(device, nullptr);
    if (!device) return Outcome{};
    EXPECT_TRUE(selectMediaAndSource(*device, 1, 1));
    const Outcome out = printRectangles(*device);
    printer.server()->removeDevice(handle);
    return out;
  };

  // Every write taken: the whole job, every rectangle painted.
  const Outcome whole = run(0);
  EXPECT_TRUE(whole.statuses.empty());
  EXPECT_NE(whole.state, 3u);
  EXPECT_EQ(log.calls, std::vector<std::string>{"endJob"});
  const XLDecodeResult decoded = decodeXLJob(log.bytes);
  ASSERT_TRUE(decoded.ok) << decoded.error;
  size_t paints = 0;
  for (const XLOperatorToken& op : decoded.operators) paints += op.tag == 0x86;  // PaintPath
  EXPECT_EQ(paints, 600u);
  const int writes = log.writes;
  ASSERT_GE(writes, 3) << "the job's bytes should leave in several writes";

  // Every write in turn: the first, those that the pens' handlers make, and
  // the last, made at the document's end.
  for (int refuse = 1; refuse <= writes; ++refuse) {
    const Outcome failed = run(refuse);
    const std::string where = "write " + std::to_string(refuse) + " of " + std::to_string(writes) + " refused";
    ASSERT_FALSE(failed.statuses.empty()) << where << ": the job reported printed";
    EXPECT_EQ(failed.statuses.front(), 5) << where << ": the port's own status";
    EXPECT_EQ(failed.state, 3u) << where;
    EXPECT_EQ(std::count(log.calls.begin(), log.calls.end(), "endJob"), 0) << where << ": the port's job ended as printed";
    EXPECT_EQ(std::count(log.calls.begin(), log.calls.end(), "abort"), 1) << where;
  }
}

}  // namespace
