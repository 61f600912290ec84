// The printer device and the error device: what the platform services make
// of a description, what the error device refuses and passes on, and, through
// the entries, that printers sharing a driver name keep their own devices and
// that the device reports a job the spooler cancelled.

#include "kernel/prndevnt.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/engine/engine.h"
#include "kernel/osfactnt.h"
#include "kernel/tests/ddifix.h"
#include "kernel/tests/settingsfix.h"

namespace {

HDEV hdevOf(uintptr_t n) { return reinterpret_cast<HDEV>(n); }

class PrinterDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override { eng::reset(); }
  void TearDown() override {
    EXPECT_EQ(eng::misuse(), std::vector<std::string>());
    eng::reset();
  }
};

// A printer device that notes what reaches it, to stand behind an error
// device.
class NotingDevice : public GPrinterDeviceNT {
 public:
  NotingDevice() : GPrinterDeviceNT(nullptr, u"Wrapped", u"Wrapped Model", u"LPT2:", hdevOf(9)) {}
  void disablePDEV() override { calls.push_back("disablePDEV"); }
  void disableSurface() override { calls.push_back("disableSurface"); }
  BOOL endDoc(FLONG flags) override {
    calls.push_back("endDoc " + std::to_string(flags));
    return TRUE;
  }
  BOOL sendPage() override {
    calls.push_back("sendPage");
    return FALSE;
  }
  void reset(GPrinterDescription*) override { calls.push_back("reset"); }
  void releaseResources() override { calls.push_back("releaseResources"); }
  std::vector<std::string> calls;
};

TEST_F(PrinterDeviceTest, PlatformServicesMakeAPrinterDeviceOfADeviceDescriptionOnly) {
  KernelPlatform platform;
  GOSFactory* factory = GOSFactory::instance();
  ASSERT_NE(factory, nullptr);

  GDeviceDescriptionNT description(nullptr, u"Laser", u"Laser Driver", u"USB001", hdevOf(7));
  std::unique_ptr<GDevice> made(factory->createDeviceInstance(&description));
  auto* device = dynamic_cast<GPrinterDeviceNT*>(made.get());
  ASSERT_NE(device, nullptr);
  EXPECT_TRUE(device->deviceName() == RWWString(u"Laser"));
  EXPECT_TRUE(device->modelName() == RWWString(u"Laser Driver"));
  EXPECT_TRUE(device->portName() == RWWString(u"USB001"));
  EXPECT_EQ(device->describedEngineDevice(), hdevOf(7));

  // It describes itself as it was described, and a re-use takes the new
  // description's engine device.
  std::unique_ptr<GPrinterDescription> again(device->printerDescription());
  ASSERT_NE(again, nullptr);
  EXPECT_TRUE(again->equals(description));
  GDeviceDescriptionNT next(nullptr, u"Laser", u"Laser Driver", u"USB001", hdevOf(8));
  device->reset(&next);
  EXPECT_EQ(device->describedEngineDevice(), hdevOf(8));

  // A printer description without an engine device makes nothing.
  GPrinterDescriptionNT printerOnly(nullptr, u"Laser", u"Laser Driver", u"USB001");
  EXPECT_EQ(factory->createDeviceInstance(&printerOnly), nullptr);
  EXPECT_EQ(factory->createDeviceInstance(nullptr), nullptr);
}

TEST_F(PrinterDeviceTest, AbortFlagAloneWithoutAPageSurface) {
  KernelPlatform platform;
  eng::knobs().abortAfterPage = 0;  // the engine would report every job cancelled
  GPrinterDeviceNT device(nullptr, u"Laser", u"Laser Driver", u"USB001", nullptr);
  ASSERT_EQ(device.pageSurface(), nullptr);
  EXPECT_EQ(device.isAborted(), 0u);
  device.setAborted(1);
  EXPECT_EQ(device.isAborted(), 1u);
}

TEST_F(PrinterDeviceTest, ErrorDeviceRefusesWithOutOfMemoryAndPassesTheJobsEndOn) {
  KernelPlatform platform;
  NotingDevice wrapped;
  std::unique_ptr<GDevice> made(GOSFactory::instance()->createErrorDevice(&wrapped));
  auto* error = dynamic_cast<GErrorDeviceNT*>(made.get());
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->wrapped(), &wrapped);
  EXPECT_TRUE(error->deviceName() == RWWString(u"Error Device Name"));
  EXPECT_TRUE(error->modelName() == RWWString(u"Error Model Name"));
  EXPECT_TRUE(error->portName() == RWWString(u"Error Port Name"));
  EXPECT_EQ(error->fontDatabase(), nullptr);

  // Refused calls leave ERROR_OUTOFMEMORY; the path operations answer -1.
  struct Refusal {
    const char* what;
    int64_t answer;
    int64_t (*call)(GErrorDeviceNT&);
  } refusals[] = {
      {"enablePDEV", 0,
       [](GErrorDeviceNT& d) -> int64_t {
         GPdevRecordNT record;
         return d.enablePDEV(&record, nullptr, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, nullptr, nullptr,
                             nullptr);
       }},
      {"resetPDEV", 0, [](GErrorDeviceNT& d) -> int64_t { return d.resetPDEV(d); }},
      {"startDoc", 0, [](GErrorDeviceNT& d) -> int64_t { return d.startDoc(nullptr, 1); }},
      {"startPage", 0, [](GErrorDeviceNT& d) -> int64_t { return d.startPage(nullptr); }},
      {"paint", 0, [](GErrorDeviceNT& d) -> int64_t { return d.paint(nullptr, nullptr, nullptr, 0); }},
      {"fillPath", -1,
       [](GErrorDeviceNT& d) -> int64_t { return d.fillPath(nullptr, nullptr, nullptr, nullptr, 0, 0); }},
      {"escape", 0, [](GErrorDeviceNT& d) -> int64_t { return d.escape(1, 0, nullptr, 0, nullptr); }},
      {"nextBand", 0, [](GErrorDeviceNT& d) -> int64_t { return d.nextBand(nullptr); }},
  };
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.what);
    EngSetLastError(0);
    EXPECT_EQ(r.call(*error), r.answer);
    EXPECT_EQ(EngGetLastError(), ERROR_OUTOFMEMORY);
  }
  EngSetLastError(0);
  EXPECT_EQ(error->enableSurface(), nullptr);
  error->completePDEV(nullptr);
  EXPECT_EQ(EngGetLastError(), 0u);

  // Ending the job and taking the PDEV down are the wrapped device's; the
  // wrapped device's answer comes back, with the error left all the same.
  EXPECT_EQ(error->endDoc(ED_ABORTDOC), TRUE);
  EXPECT_EQ(EngGetLastError(), ERROR_OUTOFMEMORY);
  EXPECT_EQ(error->sendPage(), FALSE);
  error->disableSurface();
  error->disablePDEV();
  error->reset(nullptr);
  error->releaseResources();
  EXPECT_EQ(wrapped.calls, (std::vector<std::string>{"endDoc 1", "sendPage", "disableSurface", "disablePDEV",
                                                      "reset", "releaseResources"}));
  // It describes nothing, and the wrapped device stays its owner's.
  EXPECT_EQ(error->printerDescription(), nullptr);
  made.reset();
  EXPECT_TRUE(wrapped.deviceName() == RWWString(u"Wrapped"));
}

// ---- through the entries ---------------------------------------------------------------

// The job's PJL header names the resolution it prints at.
bool hasResolution(const std::string& job, int dpi) {
  return job.find("@PJL SET RESOLUTION=" + std::to_string(dpi) + "\r\n") != std::string::npos;
}

TEST_F(PrinterDeviceTest, PrintersOfOneDriverKeepTheirOwnConfigurations) {
  PrinterModel fine, coarse;
  fine.resolutions = {600};
  coarse.resolutions = {300};
  BuiltPrinter first(fine, u"Laser A", u"Laser Driver");
  BuiltPrinter second(coarse, u"Laser B", u"Laser Driver");
  eng::PublicDevMode at300;
  at300.printQuality = 300;
  at300.yResolution = 300;
  DdiDriver driver;
  ASSERT_TRUE(driver.ok());
  struct Job {
    const BuiltPrinter& printer;
    eng::PublicDevMode devmode;
    int dpi;
  } jobs[] = {{first, eng::PublicDevMode(), 600}, {second, at300, 300}, {first, eng::PublicDevMode(), 600}};
  // One after the other: each PDEV's device goes into the server's cache
  // when it is disabled, and only the same printer may take it again.
  for (const Job& j : jobs) {
    SCOPED_TRACE(j.dpi);
    OpenPdev pdev(driver, j.printer, j.devmode);
    ASSERT_NE(pdev.surface(), nullptr);
    EXPECT_EQ(pdev.gdi.ulLogPixelsX, static_cast<ULONG>(j.dpi));
    EXPECT_EQ(pdev.startDoc(), TRUE);
    EXPECT_EQ(pdev.startPage(), TRUE);
    EXPECT_EQ(pdev.sendPage(), TRUE);
    EXPECT_EQ(pdev.endDoc(), TRUE);
    const std::vector<std::string> spooled = j.printer.jobs();
    ASSERT_FALSE(spooled.empty());
    EXPECT_TRUE(hasResolution(spooled.back(), j.dpi)) << spooled.back().substr(0, 400);
  }
  // Both at once: two devices.
  OpenPdev a(driver, first);
  OpenPdev b(driver, second, at300);
  ASSERT_NE(a.pdev, nullptr);
  ASSERT_NE(b.pdev, nullptr);
  EXPECT_EQ(driver.deviceEntries(), 2u);
  EXPECT_EQ(a.gdi.ulLogPixelsX, 600u);
  EXPECT_EQ(b.gdi.ulLogPixelsX, 300u);
}

TEST_F(PrinterDeviceTest, APageInProgressAsksTheEngineWhetherTheJobWasCancelled) {
  BuiltPrinter printer;
  DdiDriver driver;
  ASSERT_TRUE(driver.ok());
  OpenPdev pdev(driver, printer);
  ASSERT_NE(pdev.surface(), nullptr);
  // No page yet: the flag alone, whatever the engine would say.
  eng::knobs().abortAfterPage = 0;
  EXPECT_EQ(driver.isAborted(pdev.pdev), 0u);

  ASSERT_EQ(pdev.startDoc(), TRUE);
  ASSERT_EQ(pdev.startPage(), TRUE);
  eng::knobs().abortAfterPage = -1;
  EXPECT_EQ(driver.isAborted(pdev.pdev), 0u);
  ASSERT_EQ(pdev.sendPage(), TRUE);
  ASSERT_EQ(pdev.startPage(), TRUE);
  eng::knobs().abortAfterPage = 1;  // one page was sent
  EXPECT_EQ(driver.isAborted(pdev.pdev), 1u);
  eng::knobs().abortAfterPage = 2;
  EXPECT_EQ(driver.isAborted(pdev.pdev), 0u);
  driver.setAborted(pdev.pdev, 1);
  EXPECT_EQ(driver.isAborted(pdev.pdev), 1u);
  EXPECT_EQ(pdev.sendPage(), TRUE);
  EXPECT_EQ(pdev.endDoc(ED_ABORTDOC), TRUE);
}

}  // namespace
