// The NT device's DDI handlers, called on the device as the entries call
// them, against the engine stand-in: the life of a PDEV, its surface, its
// documents and pages, what each handler refuses and what a refusal leaves
// alone, and the media the device finds for the engine.

#include "kernel/devicent.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/attrib.h"
#include "core/classids.h"
#include "core/valattr.h"
#include "device/config.h"
#include "device/media.h"
#include "device/setread.h"
#include "host/engine/engine.h"
#include "host/engine/internal.h"
#include "kernel/ddientry.h"
#include "kernel/devmode.h"
#include "kernel/tests/devicefix.h"
#include "kernel/tests/formfix.h"
#include "testkit/bytes.h"
#include "testkit/files.h"

namespace {

const std::string kUel = "\x1b%-12345X";

// A device on its printer, with the engine's PDEV for it and the spool
// job its documents go to.
struct DeviceJob {
  explicit DeviceJob(const PrinterModel& model = settingsModel(), std::vector<eng::Form> forms = {})
      : printer(std::move(forms)), device(printer, model), pdev(printer.handle) {}
  ~DeviceJob() { closeSpoolJob(); }

  // startDoc on a spool job the engine opened for it.
  BOOL startDoc(const std::u16string& name = u"Doc") {
    if (!jobId) jobId = eng::detail::openJob(printer.handle);
    std::u16string text = name;
    return device.startDoc(text.data(), jobId);
  }
  void closeSpoolJob() {
    if (jobId) eng::detail::closeJob(printer.handle);
    jobId = 0;
  }
  // What the spooler holds of the job so far.
  std::string spooled() const {
    const std::vector<std::string> files = eng::jobFiles(printer.handle);
    return files.empty() ? std::string() : fileContents(files.back());
  }
  SURFOBJ* surface() const {
    eng::detail::SurfaceInfo info;
    return eng::detail::surfaceInfo(device.surface(), info) ? info.so : nullptr;
  }
  // Opens the PDEV and its surface, and starts a document and a page.
  bool inPage() { return pdev.open(device) && startDoc() && device.startPage(surface()); }

  KernelPlatform platform;
  SpoolerProviderNT provider;
  StandInPrinter printer;
  TestDeviceNT device;
  PdevNT pdev;
  DWORD jobId = 0;
};

// The engine's objects a test must give back: surfaces and palettes.
// (Pool blocks and semaphores are the test program's and the runtime's
// too, some made once on first use.)
struct EngineObjects {
  EngineObjects() : live(eng::live()) {}
  bool operator==(const EngineObjects& o) const {
    return live.surfaces == o.live.surfaces && live.palettes == o.live.palettes;
  }
  eng::Live live;
};

void expectState(const GDeviceNT& device, int32_t state, int32_t stage, const char* when) {
  EXPECT_EQ(device.ddiState().state, state) << when;
  EXPECT_EQ(device.ddiState().pdevStage, stage) << when;
}

bool endsWithTrailer(const std::string& job, const std::string& name) {
  const std::string trailer = kUel + "@PJL EOJ NAME=\"" + name + "\"\r\n" + kUel;
  return job.size() >= trailer.size() && job.compare(job.size() - trailer.size(), trailer.size(), trailer) == 0;
}

class DeviceNT : public ::testing::Test {
 protected:
  void SetUp() override { eng::reset(); }
  void TearDown() override {
    EXPECT_TRUE(EngineObjects() == before) << "every surface and palette is given back";
    EXPECT_EQ(eng::misuse(), std::vector<std::string>());
    eng::reset();
  }
  EngineObjects before;
};

TEST_F(DeviceNT, ABlankPageGoesFromEnableToDisableIntoTheSpooler) {
  DeviceJob job;
  TestDeviceNT& d = job.device;
  ASSERT_EQ(job.pdev.enable(d), 1);
  expectState(d, kDdiReady, kPdevEnabled, "enabled");
  EXPECT_EQ(d.pdevRecord(), &job.pdev.record);
  EXPECT_EQ(d.portName(), RWWString(u"LPT1:"));
  EXPECT_EQ(gDdiPostScriptFlag, 0u);
  // What the records are made of: the DEVMODE's version and resolution,
  // Letter's printable area at 600 dpi, the printer's text capabilities.
  EXPECT_EQ(job.pdev.gdi.ulVersion, 0x0401u);
  EXPECT_EQ(job.pdev.gdi.ulLogPixelsX, 600u);
  EXPECT_EQ(job.pdev.gdi.ulHorzRes, 4900u);
  EXPECT_EQ(job.pdev.gdi.ulVertRes, 6400u);
  EXPECT_NE(job.pdev.devinfo.hpalDefault, nullptr);
  EXPECT_EQ(job.pdev.devinfo.hpalDefault, d.palette());

  d.completePDEV(job.pdev.hdev());
  expectState(d, kDdiReady, kPdevCompleted, "completed");
  const HSURF surface = d.enableSurface();
  ASSERT_NE(surface, nullptr);
  expectState(d, kDdiReady, kPdevSurfaceEnabled, "surface");
  eng::detail::SurfaceInfo info;
  ASSERT_TRUE(eng::detail::surfaceInfo(surface, info));
  EXPECT_TRUE(info.associated);
  EXPECT_FALSE(info.banding);
  EXPECT_EQ(info.hooks, 0x4EBu);
  EXPECT_EQ(info.so->iBitmapFormat, ULONG{BMF_24BPP});
  EXPECT_EQ(info.so->sizlBitmap.cx, 4900);
  EXPECT_EQ(info.so->sizlBitmap.cy, 6400);
  EXPECT_EQ(info.so->dhsurf, reinterpret_cast<DHSURF>(&job.pdev.record));

  ASSERT_TRUE(job.startDoc(u""));
  EXPECT_EQ(d.documentName(), RWWString(u"Untitled"));
  EXPECT_EQ(d.outputName(), RWWString(u"LPT1:"));
  EXPECT_EQ(d.jobId(), job.jobId);
  EXPECT_TRUE(d.ddiState().documentPending);
  EXPECT_EQ(job.spooled(), "") << "nothing is sent before the first page";

  // Drawing outside a page is refused; it still answers TRUE and tells the
  // engine nothing.
  EngSetLastError(0);
  EXPECT_EQ(d.paint(nullptr, nullptr, nullptr, 0x0D0D), TRUE);
  EXPECT_EQ(EngGetLastError(), 0u);

  ASSERT_TRUE(d.startPage(job.surface()));
  EXPECT_EQ(d.pageSurface(), job.surface());
  EXPECT_TRUE(d.ddiState().inPage);
  EXPECT_FALSE(d.ddiState().documentPending);
  EXPECT_EQ(d.paint(nullptr, nullptr, nullptr, 0x0D0D), TRUE);
  ASSERT_TRUE(d.sendPage());
  ASSERT_TRUE(d.endDoc(0));
  expectState(d, kDdiReady, kPdevSurfaceEnabled, "document ended");
  job.closeSpoolJob();

  const std::string spooled = job.spooled();
  EXPECT_EQ(spooled.compare(0, kUel.size(), kUel), 0);
  EXPECT_NE(spooled.find("@PJL ENTER LANGUAGE=PCLXL"), std::string::npos);
  EXPECT_TRUE(endsWithTrailer(spooled, "Untitled"));

  d.disableSurface();
  expectState(d, kDdiReady, kPdevCompleted, "surface disabled");
  EXPECT_EQ(d.surface(), nullptr);
  d.disablePDEV();
  expectState(d, kDdiDisabled, kPdevCompleted, "disabled");
  EXPECT_EQ(d.palette(), nullptr) << "the default palette goes with the PDEV";
}

TEST_F(DeviceNT, EnablePDEVFailsWithoutCapabilitySetsOrMediaForThePaper) {
  struct Case {
    const char* name;
    uint32_t removed;  // from the printer's stage or the generator's
  } cases[] = {{"no capability sets", AttrId::CapabilitySets}, {"no media pool", AttrId::MediaPool}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PrinterModel model = settingsModel();
    model.hook = [&c](PrinterConfigs& configs) {
      delete configs.printer.removeById(c.removed);
      delete configs.generator.removeById(c.removed);
    };
    DeviceJob job(model);
    const GDIINFO untouched = job.pdev.gdi;
    EXPECT_EQ(job.pdev.enable(job.device), 0);
    EXPECT_EQ(std::memcmp(&job.pdev.gdi, &untouched, sizeof untouched), 0);
    EXPECT_EQ(job.device.palette(), nullptr);
    EXPECT_EQ(job.device.ddiState().state, kDdiDisabled);
  }
}

TEST_F(DeviceNT, EnableSurfaceWithoutMediaAnswersNoneAndLeavesTheStateAlone) {
  DeviceJob job;
  ASSERT_EQ(job.pdev.enable(job.device), 1);
  job.device.completePDEV(job.pdev.hdev());
  // The job's paper is one the printer does not have.
  GAttributeComposite* settings = job.device.settings();
  ASSERT_NE(settings, nullptr);
  delete settings->removeById(AttrId::Paper);
  settings->insert(new GValueAttribute(77, AttrId::Paper));
  const long surfaces = eng::live().surfaces;
  EXPECT_EQ(job.device.enableSurface(), nullptr);
  expectState(job.device, kDdiReady, kPdevCompleted, "refused");
  EXPECT_EQ(eng::live().surfaces, surfaces);
}

TEST_F(DeviceNT, ADeviceGoneBeforeItsPDEVWasDisabledGivesBackItsSurfaceAndPalette) {
  DeviceJob job;
  ASSERT_TRUE(job.pdev.open(job.device));
  EXPECT_NE(job.device.palette(), nullptr);
  EXPECT_NE(job.device.surface(), nullptr);
  // The fixture's check that nothing is left alive is the test.
}

TEST_F(DeviceNT, EndDocRightAfterStartDocSendsNothing) {
  DeviceJob job;
  ASSERT_TRUE(job.pdev.open(job.device));
  ASSERT_TRUE(job.startDoc());
  EXPECT_EQ(job.device.endDoc(0), TRUE);
  expectState(job.device, kDdiReady, kPdevSurfaceEnabled, "ended");
  EXPECT_FALSE(job.device.ddiState().documentPending);
  EXPECT_FALSE(job.device.ddiState().pageAllowed);
  EXPECT_EQ(job.spooled(), "");
  // A second end is out of turn: refused without a word, and nothing sent.
  EngSetLastError(0);
  EXPECT_EQ(job.device.endDoc(0), TRUE);
  EXPECT_EQ(EngGetLastError(), 0u);
  EXPECT_EQ(job.spooled(), "");
}

TEST_F(DeviceNT, AnAbortDuringAPageEndsThePageAndThenTheJob) {
  // The same page, once ended and once aborted.
  DeviceJob whole;
  ASSERT_TRUE(whole.inPage());
  ASSERT_TRUE(whole.device.sendPage());
  ASSERT_TRUE(whole.device.endDoc(0));
  whole.closeSpoolJob();

  DeviceJob aborted;
  ASSERT_TRUE(aborted.inPage());
  EXPECT_EQ(aborted.device.endDoc(ED_ABORTDOC), TRUE);
  expectState(aborted.device, kDdiReady, kPdevSurfaceEnabled, "aborted");
  EXPECT_FALSE(aborted.device.ddiState().inPage);
  aborted.closeSpoolJob();

  // The aborted job is the whole one up to its trailer: the page's end,
  // then the end of the session, and no PJL end of job.
  const std::string job = whole.spooled();
  const size_t trailer = job.rfind(kUel + "@PJL EOJ");
  ASSERT_NE(trailer, std::string::npos);
  EXPECT_EQ(aborted.spooled(), job.substr(0, trailer));
}

TEST_F(DeviceNT, AfterAFailedStartPageOnlyTheWayOutIsOpen) {
  DeviceJob job;
  ASSERT_TRUE(job.pdev.open(job.device));
  ASSERT_TRUE(job.startDoc());
  TestDeviceNT& d = job.device;
  eng::knobs().failWrites = true;
  EngSetLastError(0);
  EXPECT_EQ(d.startPage(job.surface()), FALSE);
  EXPECT_EQ(EngGetLastError(), ULONG{ERROR_CANCELLED});
  EXPECT_EQ(d.ddiState().state, kDdiError);
  eng::knobs().failWrites = false;

  // Everything else is refused, and a refusal tells the engine nothing.
  const std::u16string name = u"Doc";
  POINTL origin = {};
  struct Refused {
    const char* name;
    std::function<bool()> call;  // whether the answer is the refusal's
  } refused[] = {
      {"startDoc", [&] { return d.startDoc(const_cast<LPWSTR>(name.data()), 1) == FALSE; }},
      {"startPage", [&] { return d.startPage(job.surface()) == FALSE; }},
      {"enableSurface", [&] { return d.enableSurface() == nullptr; }},
      {"startBanding", [&] { return d.startBanding(&origin) == FALSE; }},
      {"nextBand", [&] { return d.nextBand(&origin) == FALSE; }},
      {"escape", [&] { return d.escape(0x1000, 0, nullptr, 0, nullptr) == 0; }},
      {"bitBlt", [&] { return d.bitBlt(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                       nullptr, 0xCCCC) == TRUE; }},
  };
  for (const Refused& r : refused) {
    EngSetLastError(0);
    EXPECT_TRUE(r.call()) << r.name;
    EXPECT_EQ(EngGetLastError(), 0u) << r.name;
    EXPECT_EQ(d.ddiState().state, kDdiError) << r.name;
  }

  const std::string spooled = job.spooled();
  EXPECT_EQ(d.sendPage(), FALSE);
  EXPECT_EQ(EngGetLastError(), ULONG{ERROR_INVALID_PRINTER_STATE});
  EngSetLastError(0);
  EXPECT_EQ(d.endDoc(0), TRUE);
  EXPECT_EQ(EngGetLastError(), 0u);
  EXPECT_EQ(d.ddiState().state, kDdiError);
  EXPECT_EQ(job.spooled(), spooled) << "nothing more is sent";

  d.disableSurface();
  expectState(d, kDdiReady, kPdevCompleted, "surface disabled");
  d.disablePDEV();
  EXPECT_EQ(d.ddiState().state, kDdiDisabled);
}

TEST_F(DeviceNT, AFailedDocumentEndIsReportedAndThePDEVCanStillBeTakenDown) {
  DeviceJob job;
  ASSERT_TRUE(job.inPage());
  ASSERT_TRUE(job.device.sendPage());
  // The job's last bytes cannot be written.
  eng::knobs().failWrites = true;
  EngSetLastError(0);
  EXPECT_EQ(job.device.endDoc(0), FALSE);
  EXPECT_EQ(EngGetLastError(), ULONG{ERROR_CANCELLED});
  eng::knobs().failWrites = false;
  // The printer saw the job fail: the engine may only take the PDEV down.
  EXPECT_EQ(job.device.startPage(job.surface()), FALSE);
  job.device.disableSurface();
  expectState(job.device, kDdiReady, kPdevCompleted, "surface disabled");
  job.device.disablePDEV();
  EXPECT_EQ(job.device.ddiState().state, kDdiDisabled);
}

TEST_F(DeviceNT, TheLastBandAnswersWhatSendingThePageAnswered) {
  struct Case {
    bool failPageEnd;
    BOOL answer;
    ULONG lastError;
  } cases[] = {{false, TRUE, 0}, {true, FALSE, ERROR_NOT_ENOUGH_MEMORY}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failPageEnd);
    DeviceJob job;
    ASSERT_TRUE(job.inPage());
    POINTL origin = {-1, -1};
    ASSERT_EQ(job.device.startBanding(&origin), TRUE);
    EXPECT_TRUE(job.device.ddiState().banding);
    EXPECT_EQ(origin.x, 0);
    EXPECT_EQ(origin.y, 0);
    job.device.failPageEnd = c.failPageEnd;
    EngSetLastError(0);
    EXPECT_EQ(job.device.nextBand(&origin), c.answer);
    EXPECT_EQ(EngGetLastError(), c.lastError);
    EXPECT_FALSE(job.device.ddiState().banding);
    EXPECT_FALSE(job.device.ddiState().inPage);
  }
}

// Two PDEVs of one printer: the first carries the job, the second is the
// one the engine makes for the reset.
struct ResetPair {
  explicit ResetPair(bool inDocument) : second(old.printer, settingsModel()), secondPdev(old.printer.handle) {
    EXPECT_TRUE(old.pdev.open(old.device));
    if (inDocument) {
      EXPECT_TRUE(old.startDoc());
      EXPECT_TRUE(old.device.startPage(old.surface()));
      EXPECT_TRUE(old.device.sendPage());
    } else {
      // Outside a document the engine takes the surface down first.
      old.device.disableSurface();
    }
    eng::PublicDevMode landscape;
    landscape.orientation = 2;
    EXPECT_EQ(secondPdev.enable(second, eng::publicDevMode(landscape)), 1);
    second.completePDEV(secondPdev.hdev());
  }

  DeviceJob old;
  TestDeviceNT second;
  PdevNT secondPdev;
};

TEST_F(DeviceNT, ResetPDEVMovesTheJobToTheNewPDEV) {
  for (bool inDocument : {true, false}) {
    SCOPED_TRACE(inDocument ? "in a document" : "between documents");
    ResetPair pair(inDocument);
    TestDeviceNT& old = pair.old.device;
    TestDeviceNT& second = pair.second;
    GPrinterDevModeNT* oldDevMode = old.devMode();
    GPrinterDevModeNT* secondDevMode = second.devMode();
    const HSURF oldSurface = old.surface();
    const HPALETTE oldPalette = old.palette();
    const HPALETTE secondPalette = second.palette();

    ASSERT_EQ(old.resetPDEV(second), 1);
    // The DEVMODE objects change owners, and answer to the new ones.
    EXPECT_EQ(old.devMode(), secondDevMode);
    EXPECT_EQ(second.devMode(), oldDevMode);
    EXPECT_EQ(old.devMode()->device(), static_cast<GDriverInstance*>(&old));
    EXPECT_EQ(old.devMode()->settingsPart(), &old);
    EXPECT_EQ(second.devMode()->settingsPart(), &second);
    // The engine's new PDEV leads to the device with the job, the old one
    // to the device it disables next; each PDEV's palette goes with it.
    EXPECT_EQ(pair.secondPdev.record.device, &old);
    EXPECT_EQ(pair.old.pdev.record.device, &second);
    EXPECT_EQ(old.pdevRecord(), &pair.secondPdev.record);
    EXPECT_EQ(second.pdevRecord(), &pair.old.pdev.record);
    EXPECT_EQ(old.palette(), secondPalette);
    EXPECT_EQ(second.palette(), oldPalette);
    EXPECT_EQ(old.engineDevice(), pair.secondPdev.hdev());
    EXPECT_EQ(second.surface(), oldSurface);
    EXPECT_EQ(old.surface(), nullptr);
    // The job's settings are the new DEVMODE's.
    int16_t angle = -1;
    EXPECT_TRUE(SettingRead::readValue(old.settings(), AttrId::OrientationAngle, angle));
    EXPECT_EQ(angle, 90);
    if (inDocument) {
      expectState(old, kDdiInDocument, kPdevCompleted, "old");
      expectState(second, kDdiTakenOver, kPdevSurfaceEnabled, "new");
    } else {
      expectState(old, kDdiReady, kPdevCompleted, "old");
      expectState(second, kDdiReady, kPdevEnabled, "new");
    }

    // The engine takes the old PDEV down and goes on with the new one.
    second.disableSurface();
    second.disablePDEV();
    expectState(second, kDdiDisabled, kPdevEnabled, "new disabled");
    ASSERT_NE(old.enableSurface(), nullptr);
    ASSERT_TRUE(pair.old.startDoc());
    EXPECT_EQ(old.ddiState().documentPending, !inDocument) << "a document in progress goes on";
    ASSERT_TRUE(old.startPage(pair.old.surface()));
    ASSERT_TRUE(old.sendPage());
    ASSERT_TRUE(old.endDoc(0));
    pair.old.closeSpoolJob();
    const std::string spooled = pair.old.spooled();
    EXPECT_TRUE(endsWithTrailer(spooled, "Doc"));
    EXPECT_EQ(spooled.find("@PJL EOJ"), spooled.rfind("@PJL EOJ")) << "one document";
    old.disableSurface();
    old.disablePDEV();
  }
}

TEST_F(DeviceNT, ARefusedResetPDEVLeavesBothDevicesAsTheyWere) {
  struct Case {
    const char* name;
    std::function<void(ResetPair&)> arrange;
  } cases[] = {
      {"the new PDEV not completed", [](ResetPair& p) { p.second.ddiState().pdevStage = kPdevEnabled; }},
      {"the old device inside a page",
       [](ResetPair& p) { EXPECT_TRUE(p.old.device.startPage(p.old.surface())); }},
      {"a DEVMODE object that cannot be bound", [](ResetPair& p) { p.second.failBind = true; }},
      {"a device reset onto itself", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetPair pair(true);
    TestDeviceNT& old = pair.old.device;
    TestDeviceNT& second = c.arrange ? pair.second : old;
    if (c.arrange) c.arrange(pair);
    GPrinterDevModeNT* oldDevMode = old.devMode();
    GPrinterDevModeNT* secondDevMode = pair.second.devMode();
    const GDdiState oldState = old.ddiState();
    const GDdiState secondState = pair.second.ddiState();
    const HSURF surface = old.surface();

    EXPECT_EQ(old.resetPDEV(second), 0);
    EXPECT_EQ(old.devMode(), oldDevMode);
    EXPECT_EQ(pair.second.devMode(), secondDevMode);
    EXPECT_EQ(old.devMode()->settingsPart(), &old);
    EXPECT_EQ(pair.second.devMode()->settingsPart(), &pair.second);
    EXPECT_EQ(pair.old.pdev.record.device, &old);
    EXPECT_EQ(pair.secondPdev.record.device, &pair.second);
    EXPECT_EQ(old.surface(), surface);
    EXPECT_EQ(pair.second.surface(), nullptr);
    EXPECT_EQ(old.ddiState().state, oldState.state);
    EXPECT_EQ(old.ddiState().pdevStage, oldState.pdevStage);
    EXPECT_EQ(pair.second.ddiState().state, secondState.state);
    EXPECT_EQ(pair.second.ddiState().pdevStage, secondState.pdevStage);
  }
}

TEST_F(DeviceNT, AFormDefinitionLeftOpenIsClosedBeforeTheJobEnds) {
  struct Case {
    const char* name;
    std::function<void(DeviceJob&)> finish;
    RWClassID end;  // what the end marker must come before; 0: nothing
  } cases[] = {
      {"document end",
       [](DeviceJob& j) {
         EXPECT_EQ(j.device.sendPage(), TRUE);
         EXPECT_EQ(j.device.endDoc(0), TRUE);
       },
       ClassId::GDocumentEnd},
      {"abort", [](DeviceJob& j) { EXPECT_EQ(j.device.endDoc(ED_ABORTDOC), TRUE); }, ClassId::GJobAbort},
      {"PDEV disabled after a failed page",
       [](DeviceJob& j) {
         j.device.failPageEnd = true;
         EXPECT_EQ(j.device.sendPage(), FALSE);
         // In the error state the end sends nothing, the end marker included.
         EXPECT_EQ(j.device.endDoc(0), TRUE);
         EXPECT_TRUE(j.device.formTable().definitionOpen());
         j.device.disableSurface();
         j.device.disablePDEV();
       },
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DeviceJob job(formModel());
    ASSERT_TRUE(job.inPage());
    EXPECT_EQ(gDdiPostScriptFlag, 1u);
    const std::string record = formRecord("Logo");
    ASSERT_EQ(job.device.beginForm(reinterpret_cast<const uint8_t*>(record.data()), record.size()), 1);
    ASSERT_TRUE(job.device.formTable().definitionOpen());
    c.finish(job);
    EXPECT_FALSE(job.device.formTable().definitionOpen());

    const std::vector<TestDeviceNT::Sent>& sent = job.device.sent;
    const auto marker = std::find_if(sent.begin(), sent.end(),
                                     [](const TestDeviceNT::Sent& s) { return s.bytes == "%%VDP_ENDFORM\n"; });
    ASSERT_NE(marker, sent.end()) << "the end marker is sent";
    if (c.end) {
      const auto end = std::find_if(sent.begin(), sent.end(),
                                    [&c](const TestDeviceNT::Sent& s) { return s.kind == c.end; });
      EXPECT_LT(marker - sent.begin(), end - sent.begin());
    }
  }
  gDdiPostScriptFlag = 0;
}

// The printer's Letter, Legal and A4, an odd size of the printer's own
// among the custom ids, and minimal margins of 1/10 inch for the extended
// printable area.
PrinterModel mediaPrinter() {
  PrinterModel model = settingsModel();
  model.hook = [](PrinterConfigs& configs) {
    auto* pool = dynamic_cast<GMediaPool*>(configs.generator.findById(AttrId::MediaPool));
    ASSERT_NE(pool, nullptr);
    pool->insert(new GMedia("Odd", GPoint(3000, 4200), GPoint(2800, 4000), GPoint(100, 100), 0, 16500, 600, 600,
                            AttrId::MediaEntry));
    configs.printer.insert(new GValueAttribute(1000, AttrId::MinimalMarginX));
    configs.printer.insert(new GValueAttribute(1000, AttrId::MinimalMarginY));
  };
  return model;
}

TEST_F(DeviceNT, MediaForIdAnswersTheEnginesCustomIdAndTheExtendedAreaAsAsked) {
  // The odd size in thousandths of a millimetre (5 x 7 inches), and a size
  // the printer has nothing of.
  const std::vector<eng::Form> forms = {userForm(u"Odd", 127000, 177800), userForm(u"Other", 150000, 150000)};
  const auto builtIn = static_cast<int16_t>(eng::builtinForms().size());
  const int16_t letterForm = 0x3FFF + 1;
  const auto oddForm = static_cast<int16_t>(0x3FFF + builtIn + 1);
  const auto otherForm = static_cast<int16_t>(0x3FFF + builtIn + 2);
  struct Case {
    const char* name;
    int16_t mediaId;
    int16_t extend;  // job setting 442; -1 absent
    bool dropResolution;
    int16_t answerId;  // -1: no media
    int16_t width;     // the printable extent
    int16_t height;
  } cases[] = {
      {"Letter", 1, -1, false, 1, 4900, 6400},
      {"Letter, 442 off", 1, 0, false, 1, 4900, 6400},
      {"Letter, extended", 1, 1, false, 1, 4980, 6480},
      {"the form of Letter, extended", letterForm, 1, false, 1, 4980, 6480},
      {"a form of a custom id", oddForm, 1, false, 0x4000, 2800, 4000},
      {"a form the printer has no size of", otherForm, 1, false, 0x4000, 0, 0},
      {"an unknown id", 77, -1, false, -1, 0, 0},
      {"no resolution in the settings", 1, -1, true, -1, 0, 0},
  };
  DeviceJob job(mediaPrinter(), forms);
  ASSERT_EQ(job.pdev.enable(job.device), 1);
  GAttributeComposite* settings = job.device.settings();
  ASSERT_NE(settings, nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    while (MPersistentObject* x = settings->removeById(AttrId::ExtendedPrintArea)) delete x;
    if (c.extend >= 0) settings->insert(new GValueAttribute(c.extend, AttrId::ExtendedPrintArea));
    GAttributeComposite* saved = nullptr;
    if (c.dropResolution) {
      saved = dynamic_cast<GAttributeComposite*>(settings->deepCopy());
      while (MPersistentObject* x = settings->removeById(AttrId::Resolution)) delete x;
    }
    GMedia* media = job.device.mediaForId(c.mediaId);
    if (c.answerId < 0) {
      EXPECT_EQ(media, nullptr);
    } else if (media) {
      EXPECT_EQ(media->mediaId(), c.answerId);
      if (c.width) {
        EXPECT_EQ(media->printableExtent().x(), c.width);
        EXPECT_EQ(media->printableExtent().y(), c.height);
      }
    } else {
      ADD_FAILURE() << "no media";
    }
    delete media;
    if (saved) {
      job.device.setSettings(saved);
      settings = saved;
    }
  }
}

}  // namespace
