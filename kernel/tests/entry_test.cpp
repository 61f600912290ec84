// Enabling and disabling the driver image as the engine does: the table it
// hands out, the refusals, enabling again after a disable or a refusal, and
// what is left alive in between. The image is the test build of the driver,
// whose extra entries show its port-provider registry.

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/osfactry.h"
#include "graphics/ftdtabse.h"
#include "host/engine/engine.h"
#include "kernel/tests/poolfix.h"
#include "kernel/tests/settingsfix.h"

namespace {

using Lines = std::vector<std::string>;

class DriverEntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    eng::reset();
    image = dlopen(KRENDER_PROBE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(image, nullptr) << dlerror();
    enable = reinterpret_cast<PFN_DrvEnableDriver>(dlsym(image, "DrvEnableDriver"));
    disable = reinterpret_cast<PFN_DrvDisableDriver>(dlsym(image, "DrvDisableDriver"));
    portProviders = reinterpret_cast<unsigned (*)()>(dlsym(image, "KrenderProbePortProviders"));
    isSpoolerProvider = reinterpret_cast<int (*)(const char*)>(dlsym(image, "KrenderProbeIsSpoolerProvider"));
    ASSERT_TRUE(enable && disable && portProviders && isSpoolerProvider);
    before = eng::live();
  }

  void TearDown() override {
    if (image) dlclose(image);
    EXPECT_EQ(eng::misuse(), Lines());
    eng::reset();
  }

  // Enables with the engine's own arguments; the record is the caller's.
  bool enableDriver(DRVENABLEDATA& ded, ULONG version = DDI_DRIVER_VERSION) {
    return enable(version, sizeof ded, &ded) != FALSE;
  }

  // One whole enable and disable, which must leave nothing alive. (The
  // test program's own blocks come from the pool too, so what is alive is
  // compared within one scope.)
  void enableAndDisable(const char* when) {
    SCOPED_TRACE(when);
    const eng::Live start = eng::live();
    DRVENABLEDATA ded{};
    EXPECT_TRUE(enableDriver(ded));
    EXPECT_EQ(portProviders(), 1u);
    EXPECT_TRUE(isSpoolerProvider("Basic Spooler"));
    disable();
    EXPECT_EQ(portProviders(), 0u);
    EXPECT_FALSE(isSpoolerProvider("Basic Spooler"));
    EXPECT_EQ(eng::live(), start);
  }

  void* image = nullptr;
  PFN_DrvEnableDriver enable = nullptr;
  PFN_DrvDisableDriver disable = nullptr;
  unsigned (*portProviders)() = nullptr;
  int (*isSpoolerProvider)(const char*) = nullptr;
  eng::Live before;
};

TEST_F(DriverEntryTest, HandsOutTheTwentySixEntriesInTheirOrderWhateverTheEngineVersion) {
  struct Entry {
    ULONG index;
    const char* name;
  };
  const Entry expected[] = {
      {0, "DrvEnablePDEV"},     {7, "DrvResetPDEV"},          {1, "DrvCompletePDEV"},   {2, "DrvDisablePDEV"},
      {3, "DrvEnableSurface"},  {4, "DrvDisableSurface"},     {35, "DrvStartDoc"},      {34, "DrvEndDoc"},
      {33, "DrvStartPage"},     {32, "DrvSendPage"},          {12, "DrvRealizeBrush"},  {14, "DrvStrokePath"},
      {15, "DrvFillPath"},      {16, "DrvStrokeAndFillPath"}, {17, "DrvPaint"},         {18, "DrvBitBlt"},
      {20, "DrvStretchBlt"},    {19, "DrvCopyBits"},          {23, "DrvTextOut"},       {43, "DrvDestroyFont"},
      {47, "DrvFontManagement"}, {24, "DrvEscape"},           {25, "DrvDrawEscape"},    {57, "DrvStartBanding"},
      {58, "DrvNextBand"},      {13, "DrvDitherColor"},
  };
  for (ULONG version : {0x20000u, 0x30000u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(version);
    DRVENABLEDATA ded{};
    ASSERT_TRUE(enableDriver(ded, version));
    EXPECT_EQ(ded.iDriverVersion, 0x20000u);
    ASSERT_EQ(ded.c, 26u);
    ASSERT_NE(ded.pdrvfn, nullptr);
    for (ULONG i = 0; i < ded.c; ++i) {
      EXPECT_EQ(ded.pdrvfn[i].iFunc, expected[i].index) << expected[i].name;
      EXPECT_NE(ded.pdrvfn[i].pfn, nullptr) << expected[i].name;
    }
    disable();
  }
}

TEST_F(DriverEntryTest, EntriesWithoutADeviceAnswerTheirFailureValues) {
  DRVENABLEDATA ded{};
  ASSERT_TRUE(enableDriver(ded));
  auto entry = [&](ULONG index) {
    for (ULONG i = 0; i < ded.c; ++i)
      if (ded.pdrvfn[i].iFunc == index) return ded.pdrvfn[i].pfn;
    return PFN(nullptr);
  };
  auto enablePDEV = reinterpret_cast<PFN_DrvEnablePDEV>(entry(INDEX_DrvEnablePDEV));
  EXPECT_EQ(enablePDEV(nullptr, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, nullptr, nullptr, nullptr), nullptr);
  auto startDoc = reinterpret_cast<PFN_DrvStartDoc>(entry(INDEX_DrvStartDoc));
  EXPECT_EQ(startDoc(nullptr, nullptr, 1), FALSE);

  // Every colour is left to the engine's halftoning.
  auto dither = reinterpret_cast<PFN_DrvDitherColor>(entry(INDEX_DrvDitherColor));
  for (ULONG rgb : {0x000000u, 0xFFFFFFu, 0x123456u}) EXPECT_EQ(dither(nullptr, 0, rgb, nullptr), 2u) << rgb;

  // Without a surface only the question about escape 513 gets the
  // PostScript flag, which no PCL job sets.
  auto fontManagement = reinterpret_cast<PFN_DrvFontManagement>(entry(INDEX_DrvFontManagement));
  struct Query {
    ULONG mode;
    ULONG size;
    ULONG escape;
    bool withInput;
  } queries[] = {{8, 4, 513, true}, {8, 4, 514, true}, {8, 3, 513, true}, {7, 4, 513, true}, {8, 4, 513, false}};
  for (const Query& q : queries) {
    ULONG input = q.escape;
    EXPECT_EQ(fontManagement(nullptr, nullptr, q.mode, q.size, q.withInput ? &input : nullptr, 0, nullptr), 0u)
        << q.mode << " " << q.size << " " << q.escape;
  }
  disable();
}

TEST_F(DriverEntryTest, RefusesAnOldEngineAndASmallRecordLeavingNothingBehind) {
  struct Case {
    const char* what;
    ULONG version;
    ULONG size;
    bool record;
  } cases[] = {
      {"engine version 0x1FFFF", 0x1FFFF, sizeof(DRVENABLEDATA), true},
      {"a record one byte short", 0x20000, sizeof(DRVENABLEDATA) - 1, true},
      {"a record of the 32-bit size", 0x20000, 12, true},
      {"no record", 0x20000, sizeof(DRVENABLEDATA), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const eng::Live start = eng::live();
    // Room for more than the record: nothing of it may change.
    unsigned char bytes[sizeof(DRVENABLEDATA) + 8];
    std::memset(bytes, 0xA5, sizeof bytes);
    auto* ded = reinterpret_cast<DRVENABLEDATA*>(bytes);
    EXPECT_FALSE(enable(c.version, c.size, c.record ? ded : nullptr));
    for (unsigned char b : bytes) ASSERT_EQ(b, 0xA5);
    EXPECT_EQ(eng::live(), start);
    enableAndDisable("after the refusal");
  }

  // A larger record has only the record written.
  const eng::Live start = eng::live();
  unsigned char bytes[sizeof(DRVENABLEDATA) + 8];
  std::memset(bytes, 0xA5, sizeof bytes);
  ASSERT_TRUE(enable(DDI_DRIVER_VERSION, sizeof bytes, reinterpret_cast<DRVENABLEDATA*>(bytes)));
  disable();
  EXPECT_EQ(eng::live(), start);
  for (size_t i = sizeof(DRVENABLEDATA); i < sizeof bytes; ++i) EXPECT_EQ(bytes[i], 0xA5) << i;
}

TEST_F(DriverEntryTest, EnablesAgainAfterADisableWithOneSpoolerProvider) {
  EXPECT_EQ(portProviders(), 0u);
  enableAndDisable("first");
  enableAndDisable("second");
  // Through the engine's loader, as the engine enables a driver it keeps.
  {
    eng::Driver driver;
    ASSERT_EQ(driver.load(KRENDER_PROBE), "");
    EXPECT_NE(driver.entry(INDEX_DrvEnablePDEV), nullptr);
    EXPECT_EQ(portProviders(), 1u);
    driver.unload();
    EXPECT_EQ(portProviders(), 0u);
  }
  // The engine keeps the image's name: only the driver's locks are counted.
  EXPECT_EQ(eng::live().semaphores, before.semaphores);
}

}  // namespace

namespace {

TEST(FontIdLock, IsMadeOnceThroughThePlatformServicesAndDestroyed) {
  ASSERT_EQ(GOSFactory::instance(), nullptr);
  GFontDatabase::createIdLock();
  EXPECT_EQ(GFontDatabase::idLock(), nullptr) << "no platform, no lock";

  KernelPlatform platform;
  const long semaphores = eng::live().semaphores;
  GFontDatabase::createIdLock();
  GOSMutex* lock = GFontDatabase::idLock();
  ASSERT_NE(lock, nullptr);
  EXPECT_EQ(lock->acquire(), 0);
  EXPECT_EQ(lock->release(), 0);
  GFontDatabase::createIdLock();
  EXPECT_EQ(GFontDatabase::idLock(), lock);
  EXPECT_EQ(eng::live().semaphores, semaphores + 1);
  GFontDatabase::destroyIdLock();
  EXPECT_EQ(GFontDatabase::idLock(), nullptr);
  EXPECT_EQ(eng::live().semaphores, semaphores);
  GFontDatabase::destroyIdLock();  // nothing left to destroy
}

}  // namespace

namespace {

// The engine's pool runs dry at each allocation of enabling in turn after
// the runtime's start-up: the platform services, the memory reserve, the
// driver server and the steps after them. Each refusal must leave nothing
// alive and a driver that enables cleanly the next time. (The start-up
// itself is left out: this test program's own heap, the engine's with it,
// sits on the same pool, so the engine would run dry with the driver.)
TEST_F(DriverEntryTest, AnEmptyPoolAfterStartUpRefusesCleanlyAndTheNextEnableWorks) {
  auto startRuntime = reinterpret_cast<void (*)()>(dlsym(image, "KrenderProbeStartRuntime"));
  auto stopRuntime = reinterpret_cast<void (*)()>(dlsym(image, "KrenderProbeStopRuntime"));
  ASSERT_TRUE(startRuntime && stopRuntime);
  // What the start-up and a whole enable take from the pool, once the
  // engine has made what it keeps for the driver (the first enable).
  enableAndDisable("first");
  const long startUp = poolBlocksTaken(startRuntime);
  stopRuntime();
  DRVENABLEDATA whole{};
  bool enabledWhole = false;
  const long all = poolBlocksTaken([&] { enabledWhole = enableDriver(whole); });
  ASSERT_TRUE(enabledWhole);
  disable();
  ASSERT_LT(startUp, all);

  DRVENABLEDATA ded{};
  const long refusals = forEachPoolBudget(
      startUp, all,
      [&] {
        ded = DRVENABLEDATA{};
        return enableDriver(ded);
      },
      [&](bool enabled) {
        // Only the spooler provider may be missing: the driver works on
        // without it, and a job finds no spooler port.
        EXPECT_EQ(portProviders(), 0u);
        if (enabled) disable();
      },
      [&] { enableAndDisable("after the refusal"); });
  EXPECT_GT(refusals, 0);
}

}  // namespace
