// The kernel build's platform services on the engine stand-in: time and
// random numbers from the engine's clock, the system version, the folders,
// the file checks, the slots' kinds, and installing and removing the
// factory.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/locale.h"
#include "core/osversn.h"
#include "core/perobj.h"
#include "core/setstore.h"
#include "graphics/fontmtrc.h"
#include "host/engine/engine.h"
#include "host/engine/internal.h"
#include "kernel/charset.h"
#include "kernel/osfactnt.h"
#include "kernel/spoolprt.h"
#include "kernel/tests/printerfix.h"
#include "testkit/tmpdir.h"

namespace {

namespace fs = std::filesystem;

ENG_TIME_FIELDS clockAt(USHORT year, USHORT month, USHORT day, USHORT hour, USHORT minute, USHORT weekday,
                        USHORT second = 0, USHORT milliseconds = 0) {
  return ENG_TIME_FIELDS{year, month, day, hour, minute, second, milliseconds, weekday};
}

std::string narrow(const RWWString& s) {
  std::string out;
  for (RWsize i = 0; i < s.length(); ++i) out += static_cast<char>(s(i));
  return out;
}

// A record's fields in their order, so that a mismatch shows them all.
std::vector<int> fieldsOf(const GTimeRecord& r) {
  return {r.year, r.month, r.day, r.hour, r.minute, r.second, r.milliseconds, r.weekday};
}

std::string contentsOf(const std::string& hostFile) {
  std::ifstream in(hostFile, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class OSFactoryNTTest : public ::testing::Test {
 protected:
  void SetUp() override {
    eng::reset();
    live = eng::live();
  }
  void TearDown() override {
    EXPECT_EQ(eng::misuse(), std::vector<std::string>());
    eng::reset();
  }

  eng::Live live;
};

// ---- time and random numbers ------------------------------------------------------

TEST_F(OSFactoryNTTest, SeedComesFromTheClockAndNumbersFollowTheGenerator) {
  struct Case {
    ENG_TIME_FIELDS clock;
    int first, second;
  } cases[] = {
      // Day 1 at midnight is seed 0x8000000; 10240 leaves 0xA8000001, from
      // which the next is 18778.
      {clockAt(2024, 3, 1, 0, 0, 5), 10240, 18778},
      // Every field in its place: 31 << 27 | 23 << 22 | 59 << 16 | 59 << 10
      // | 999 is 0xFDFBEFE7; then 0x96770CD4 and 0xC3163FE5.
      {clockAt(2024, 1, 31, 23, 59, 3, 59, 999), 5751, 17174},
  };
  GOSFactoryNT factory;
  GOSFactory& platform = factory;
  for (const Case& c : cases) {
    eng::setClock(c.clock);
    EXPECT_EQ(platform.seedRandom(), 1);
    EXPECT_EQ(platform.nextRandom(), c.first);
    EXPECT_EQ(platform.nextRandom(), c.second);
  }
}

TEST_F(OSFactoryNTTest, TheSeedIsTheProcesssNotTheFactorys) {
  eng::setClock(clockAt(2024, 3, 1, 0, 0, 5));
  // One after the other: a factory deletes the one held before it.
  {
    GOSFactoryNT seeding;
    seeding.seedRandom();
  }
  GOSFactoryNT drawing;
  EXPECT_EQ(drawing.nextRandom(), 10240);
}

TEST_F(OSFactoryNTTest, GmtIsTheSameMomentWithItsOwnDate) {
  struct Case {
    const char* what;
    int16_t offset;
    ENG_TIME_FIELDS local;
    GTimeRecord gmt;  // year, month, day, hour, minute, second, ms, weekday
  } cases[] = {
      {"no offset", 0, clockAt(2024, 6, 12, 14, 5, 3, 7), {2024, 6, 12, 14, 5, 7, 0, 3}},
      {"east, same day", 60, clockAt(2024, 6, 12, 12, 45, 3), {2024, 6, 12, 11, 45, 0, 0, 3}},
      {"west, same day", -330, clockAt(2024, 6, 12, 12, 45, 3), {2024, 6, 12, 18, 15, 0, 0, 3}},
      {"back into a leap day", 120, clockAt(2024, 3, 1, 1, 30, 5), {2024, 2, 29, 23, 30, 0, 0, 4}},
      {"back over February's end", 60, clockAt(2023, 3, 1, 0, 0, 3), {2023, 2, 28, 23, 0, 0, 0, 2}},
      {"forward into the next day", -90, clockAt(2024, 6, 12, 23, 0, 3), {2024, 6, 13, 0, 30, 0, 0, 4}},
      {"forward into the next year", -60, clockAt(2023, 12, 31, 23, 30, 0), {2024, 1, 1, 0, 30, 0, 0, 1}},
      {"back into the last year", 60, clockAt(2024, 1, 1, 0, 10, 1), {2023, 12, 31, 23, 10, 0, 0, 0}},
      {"more than a day", 1500, clockAt(2024, 6, 12, 0, 0, 3), {2024, 6, 10, 23, 0, 0, 0, 1}},
  };
  GOSFactoryNT factory;
  GOSFactory& platform = factory;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // The engine's milliseconds are not kept.
    ENG_TIME_FIELDS clock = c.local;
    clock.usMilliseconds = 250;
    eng::setClock(clock);
    platform.setTimeZoneOffset(c.offset);
    GTimeRecord local, gmt;
    int16_t offset = 0;
    ASSERT_EQ(platform.currentTime(local, gmt, offset), 1);
    EXPECT_EQ(offset, c.offset);
    const GTimeRecord expectedLocal{c.local.usYear,   c.local.usMonth,  c.local.usDay, c.local.usHour,
                                    c.local.usMinute, c.local.usSecond, 0,             c.local.usWeekday};
    EXPECT_EQ(fieldsOf(local), fieldsOf(expectedLocal));
    EXPECT_EQ(fieldsOf(gmt), fieldsOf(c.gmt));
  }
}

// ---- the system version ------------------------------------------------------------

TEST_F(OSFactoryNTTest, VersionFollowsTheEngine) {
  struct Case {
    uint32_t engine, version;
  } cases[] = {{0x20000, 0x40000}, {0x2FFFF, 0x40000}, {0x30000, 0x50000}, {0x40000, 0x50000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.engine);
    GOSFactoryNT factory;
    factory.setEngineVersion(c.engine);
    GOSVersion version(1, 2, 3);
    GOSFactory& platform = factory;
    EXPECT_EQ(&platform.osVersion(version), &version);
    EXPECT_EQ(version, GOSVersion(8, c.version, c.engine));
    EXPECT_EQ(version.family(), 4);
  }
}

// ---- folders ------------------------------------------------------------------------

void putText(HANDLE printer, const char16_t* name, const std::u16string& text) {
  std::vector<BYTE> bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<BYTE>(c & 0xFF));
    bytes.push_back(static_cast<BYTE>(c >> 8));
  }
  std::u16string valueName(name);
  ASSERT_EQ(EngSetPrinterData(printer, valueName.data(), 1, bytes.data(), static_cast<DWORD>(bytes.size())), 0u);
}

TEST_F(OSFactoryNTTest, TemporaryDirectoryIsThePrintersElseTheSpoolers) {
  const std::string spooler = "\\SystemRoot\\System32\\Spool\\Printers";
  struct Case {
    const char* what;
    const char16_t* stored;  // null: nothing stored
    std::string expected;
  } cases[] = {
      {"missing", nullptr, spooler},
      {"empty", u"", spooler},
      {"a folder", u"C:\\Spool\\Temp", "C:\\Spool\\Temp"},
      {"a folder with a separator", u"C:\\Spool\\Temp\\\\", "C:\\Spool\\Temp"},
  };
  GOSFactoryNT factory;
  GOSFactory& platform = factory;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StandInPrinter printer;
    TestOwner owner(printer);
    if (c.stored) putText(printer.handle, u"TempDirectoryLocation", c.stored);
    RWWString out(u"stale");
    EXPECT_EQ(narrow(platform.temporaryDirectory(out, &owner)), c.expected);
  }
  // Without a printer there is nothing to read.
  TestOwner noPrinter;
  NotAnOwner notAnOwner;
  for (GDriverInstance* owner : {static_cast<GDriverInstance*>(&noPrinter), static_cast<GDriverInstance*>(&notAnOwner),
                                 static_cast<GDriverInstance*>(nullptr)}) {
    RWWString out;
    EXPECT_EQ(narrow(platform.temporaryDirectory(out, owner)), spooler);
  }
}

TEST_F(OSFactoryNTTest, DriverDirectoryIsTheImagesFolderAskedOnce) {
  const std::u16string image = u"\\SystemRoot\\System32\\spool\\drivers\\w32x86\\2\\krender.so";
  RWWString out;
  {
    GOSFactoryNT factory;
    GOSFactory& platform = factory;
    // No image yet: nothing to cut, and nothing kept.
    eng::detail::setDriverImage(std::u16string());
    EXPECT_TRUE(platform.driverDirectory(out).isNull());

    eng::detail::setDriverImage(image);
    EXPECT_EQ(narrow(platform.driverDirectory(out)), "\\SystemRoot\\System32\\spool\\drivers\\w32x86\\2");
    EXPECT_EQ(eng::mapPath(std::u16string(out.data(), out.length())), eng::driverFolder());
    // Kept: the engine is not asked again.
    eng::detail::setDriverImage(u"\\Elsewhere\\other.so");
    EXPECT_EQ(narrow(platform.driverDirectory(out)), "\\SystemRoot\\System32\\spool\\drivers\\w32x86\\2");
  }
  {
    // A name without a folder gives none.
    GOSFactoryNT bare;
    eng::detail::setDriverImage(u"krender.so");
    EXPECT_TRUE(bare.driverDirectory(out).isNull());
  }
  eng::detail::setDriverImage(std::u16string());
}

// ---- file checks ----------------------------------------------------------------------

TEST_F(OSFactoryNTTest, FileChecksLeaveEveryFileAsTheyFoundIt) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  {
    std::ofstream(dir.hostPath() + "/present.bin", std::ios::binary) << "abc";
  }
  struct Case {
    const char* what;
    RWWString path;
    int exists, creatable;
  } cases[] = {
      {"an existing file", RWWString(dir.file("present.bin").c_str()), 1, 1},
      {"a missing file", RWWString(dir.file("absent.bin").c_str()), 0, 1},
      {"a file in a missing folder", RWWString(dir.file("none\\absent.bin").c_str()), 0, 0},
      {"an empty name", RWWString(), 0, 0},
      {"a name with a zero inside", RWWString(dir.file("present.bin").c_str()) + RWWString(u'\0', 1) + RWWString(u"x"),
       0, 0},
  };
  GOSFactoryNT factory;
  GOSFactory& platform = factory;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(platform.fileExists(c.path), c.exists);
    EXPECT_EQ(platform.canCreateFile(c.path), c.creatable);
    EXPECT_EQ(platform.fileExists(c.path), c.exists);  // nothing left behind
  }
  EXPECT_EQ(contentsOf(dir.hostPath() + "/present.bin"), "abc");
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(dir.hostPath())) left.push_back(entry.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"present.bin"});
  // An existing file is opened for writing with size 0, which keeps it.
  EXPECT_EQ(eng::writeModuleSizes(), std::vector<ULONG>{0});
  EXPECT_EQ(eng::live().modules, live.modules);
  EXPECT_EQ(eng::live().files, live.files);
}

// ---- the slots' kinds ------------------------------------------------------------------

TEST_F(OSFactoryNTTest, SlotsAnswerTheKernelsKinds) {
  GOSFactoryNT factory;
  GOSFactory* platform = &factory;
  // Slot 4 is the device's own font-metrics helper and slot 10 the
  // persistent metrics source of font bodies; neither has a kernel class
  // yet. Swapped, a device would keep a metrics source as its helper.
  std::unique_ptr<GFontMetrics> perDevice(platform->createFontMetrics(nullptr));
  std::unique_ptr<MPersistentObject> metricsSource(platform->createFontHelper());
  EXPECT_EQ(perDevice, nullptr);
  EXPECT_EQ(metricsSource, nullptr);
  EXPECT_EQ(platform->createInterfaceInstance(nullptr), nullptr);
  EXPECT_EQ(platform->createDeviceInstance(nullptr), nullptr);
  EXPECT_EQ(platform->createBitmapGlyphSet(), nullptr);

  std::unique_ptr<GCharsetConverter> converter(platform->createCharsetConverter());
  EXPECT_NE(dynamic_cast<GCharsetConverterNT*>(converter.get()), nullptr);
  std::unique_ptr<GOSMutex> lock(platform->createMutex());
  EXPECT_NE(dynamic_cast<GEngineLockNT*>(lock.get()), nullptr);
  std::unique_ptr<GLocaleInfo> locale(platform->createLocaleInfo());
  EXPECT_NE(locale, nullptr);
  std::unique_ptr<GSettingsStore> store(platform->createSettingsStore(nullptr));
  EXPECT_NE(dynamic_cast<GOSFactorySettingsStore*>(store.get()), nullptr);

  EXPECT_EQ(narrow(platform->reservedEcho(RWWString(u"echo"))), "echo");
  EXPECT_EQ(platform->reservedThird(1, 2, 3), 3u);
  EXPECT_EQ(platform->reservedZero(), 0);
}

TEST_F(OSFactoryNTTest, SpoolerPortIsOnTheOwnersPrinter) {
  StandInPrinter printer;
  TestOwner owner(printer);
  NotAnOwner other;
  GOSFactoryNT factory;
  GOSFactory& platform = factory;
  std::unique_ptr<GOutputPort> port(platform.createSpoolerPort(&owner, RWWString(u"LPT1:"), 0));
  auto* spooler = dynamic_cast<GSpoolerOutputPortNT*>(port.get());
  ASSERT_NE(spooler, nullptr);
  EXPECT_EQ(spooler->printer(), printer.handle);
  EXPECT_EQ(narrow(spooler->portName()), "LPT1:");
  std::unique_ptr<GOutputPort> none(platform.createSpoolerPort(&other, RWWString(u"LPT1:"), 0));
  ASSERT_NE(dynamic_cast<GSpoolerOutputPortNT*>(none.get()), nullptr);
  EXPECT_EQ(static_cast<GSpoolerOutputPortNT*>(none.get())->printer(), nullptr);
}

TEST_F(OSFactoryNTTest, ConfigurationFileIsTheOwnersDataFile) {
  StandInPrinter printer;
  TestOwner owner(printer);
  NotAnOwner other;
  GOSFactoryNT factory;
  GOSFactory& platform = factory;
  RWWString out(u"stale");
  EXPECT_EQ(narrow(platform.configurationFileName(out, &owner)), narrow(printer.dataFile));
  EXPECT_TRUE(platform.configurationFileName(out, &other).isNull());
  EXPECT_TRUE(platform.configurationFileName(out, nullptr).isNull());
}

// ---- installation and removal ----------------------------------------------------------

TEST_F(OSFactoryNTTest, InstallSetsFactoryLockAndInstanceAndRemoveClearsThem) {
  ASSERT_EQ(GOSFactory::instance(), nullptr);
  GOSFactoryNT* first = gInstallPlatformNT(0x20000);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GOSFactory::instance(), first);
  EXPECT_EQ(GOSFactory::heldFactory, first);
  EXPECT_NE(dynamic_cast<GEngineLockNT*>(GOSFactory::factoryLock), nullptr);
  EXPECT_EQ(first->engineVersion(), 0x20000u);
  // The factory lock is what createMutexOnce runs under.
  GOSMutex* slot = nullptr;
  first->createMutexOnce(slot);
  EXPECT_NE(dynamic_cast<GEngineLockNT*>(slot), nullptr);
  delete slot;
  // Counted from here: first uses may have made locks of their own that
  // stay for the process.
  const long installed = eng::live().semaphores;

  // A second install replaces the first, lock and all.
  GOSFactoryNT* second = gInstallPlatformNT(0x30000);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(GOSFactory::instance(), second);
  EXPECT_EQ(GOSFactory::heldFactory, second);
  EXPECT_NE(dynamic_cast<GEngineLockNT*>(GOSFactory::factoryLock), nullptr);
  EXPECT_EQ(second->engineVersion(), 0x30000u);
  EXPECT_EQ(eng::live().semaphores, installed);  // the first lock went with the first factory

  gRemovePlatformNT();
  EXPECT_EQ(GOSFactory::instance(), nullptr);
  EXPECT_EQ(GOSFactory::factoryLock, nullptr);
  EXPECT_EQ(GOSFactory::heldFactory, nullptr);
  EXPECT_EQ(eng::live().semaphores, installed - 1);
  gRemovePlatformNT();  // nothing left to remove
  EXPECT_EQ(GOSFactory::instance(), nullptr);
  EXPECT_EQ(eng::live().semaphores, installed - 1);
}

}  // namespace
