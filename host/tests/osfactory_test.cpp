// The user-mode platform services: installation, locks, time, random
// numbers, directories and names, printer values, streams, the converter
// and the system version.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <new>
#include <thread>

#include "core/locale.h"
#include "core/newhndlr.h"
#include "core/outport.h"
#include "host/win32/charset.h"
#include "host/win32/install.h"
#include "host/win32/mutex.h"
#include "host/win32/options.h"
#include "host/win32/osfactory.h"
#include "host/win32/paths.h"
#include "host/win32/valstore.h"
#include "host/win32/values.h"
#include "host/win32/version.h"
#include "rw/kmsys.h"
#include "rw/vstream.h"
#include "testkit/files.h"
#include "testkit/tmpdir.h"

namespace {

RWWString wide(const std::string& s) { return RWWString(s.c_str(), static_cast<RWsize>(s.size()), RWWString::multiByte); }
std::string narrow(const RWWString& w) { return hostPath(w); }

GDriverInstance* printer(int n) {
  static char printers[4];
  return reinterpret_cast<GDriverInstance*>(&printers[n]);
}

// Installs a host platform for a test and removes it afterwards.
class Host : public ::testing::Test {
 protected:
  void install(const HostOptions& options = HostOptions()) { factory = installHostPlatform(options); }
  void TearDown() override { removeHostPlatform(); }
  GOSFactoryHost* factory = nullptr;
};

// ---- installation -----------------------------------------------------------------------

int registered = 0, unregistered = 0;
// What the provider steps found installed when they ran.
bool platformWhenRegistering = false, reserveWhenRegistering = true;
bool platformWhenUnregistering = false, reserveWhenUnregistering = true;

TEST_F(Host, InstallAndRemoveInReverse) {
  std::new_handler before = std::get_new_handler();
  HostOptions options;
  options.memoryReserve = 2048;
  options.registerProviders = [before] {
    ++registered;
    platformWhenRegistering = GOSFactory::instance() != nullptr && GOSFactory::factoryLock != nullptr;
    reserveWhenRegistering = std::get_new_handler() != before;
  };
  options.unregisterProviders = [before] {
    ++unregistered;
    platformWhenUnregistering = GOSFactory::instance() != nullptr && GOSFactory::factoryLock != nullptr;
    reserveWhenUnregistering = std::get_new_handler() != before;
  };
  registered = unregistered = 0;
  install(options);
  // The lock and the instance come before the providers, the reserve after
  // them; removal runs the other way round.
  EXPECT_TRUE(platformWhenRegistering);
  EXPECT_FALSE(reserveWhenRegistering);
  EXPECT_EQ(GOSFactory::instance(), factory);
  EXPECT_EQ(GOSFactory::heldFactory, factory);
  ASSERT_NE(GOSFactory::factoryLock, nullptr);
  EXPECT_NE(dynamic_cast<HostMutex*>(GOSFactory::factoryLock), nullptr);
  EXPECT_EQ(registered, 1);
  EXPECT_NE(std::get_new_handler(), before);
  EXPECT_EQ(newHandlerReserveSize(), 2048u);
  EXPECT_NE(GOSVersion::queries(), nullptr);

  removeHostPlatform();
  EXPECT_EQ(unregistered, 1);
  EXPECT_TRUE(platformWhenUnregistering);
  EXPECT_FALSE(reserveWhenUnregistering);
  EXPECT_EQ(std::get_new_handler(), before);
  EXPECT_EQ(GOSFactory::instance(), nullptr);
  EXPECT_EQ(GOSFactory::factoryLock, nullptr);
  EXPECT_EQ(GOSFactory::heldFactory, nullptr);
  EXPECT_EQ(GOSVersion::queries(), nullptr);
  removeHostPlatform();  // nothing left to remove
  installNewHandler(1024);  // without a factory: nothing happens
  EXPECT_EQ(std::get_new_handler(), before);
}

TEST_F(Host, SpoolerProviderByDefault) {
  install();
  GOutputPortProvider* spooler = GOutputPortProviderRegistry::instance().find(RWCString("Basic Spooler"));
  ASSERT_NE(spooler, nullptr);
  EXPECT_EQ(spooler->isA(), GSpoolerProvider::classIsA());
  removeHostPlatform();
  EXPECT_EQ(GOutputPortProviderRegistry::instance().find(RWCString("Basic Spooler")), nullptr);

  // One registered by someone else under the name is left to its owner.
  GSpoolerProvider theirs;
  ASSERT_EQ(GOutputPortProviderRegistry::instance().add(&theirs, RWCString("Basic Spooler")), 0);
  install();
  EXPECT_EQ(GOutputPortProviderRegistry::instance().find(RWCString("Basic Spooler")), &theirs);
  removeHostPlatform();
  EXPECT_EQ(GOutputPortProviderRegistry::instance().find(RWCString("Basic Spooler")), &theirs);
  GOutputPortProviderRegistry::instance().remove(RWCString("Basic Spooler"));
}

TEST_F(Host, ASecondInstallReplacesTheFirst) {
  install();
  GOSFactoryHost* first = factory;
  install();
  EXPECT_NE(factory, nullptr);
  EXPECT_EQ(GOSFactory::instance(), factory);
  EXPECT_EQ(GOSFactory::heldFactory, factory);
  (void)first;
}

// ---- locks --------------------------------------------------------------------------

TEST(HostLock, CountsRecursionAndRefusesStrangers) {
  HostMutex m;
  EXPECT_EQ(m.release(), -2) << "not held";
  EXPECT_EQ(m.acquire(), 0);
  EXPECT_EQ(m.acquire(), 0);
  int fromOther = 0;
  std::thread([&] { fromOther = m.release(); }).join();
  EXPECT_EQ(fromOther, -2) << "held by another thread";

  std::atomic<bool> taken{false};
  std::thread waiter([&] {
    m.acquire();
    taken = true;
    m.release();
  });
  EXPECT_EQ(m.release(), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(taken) << "still held once";
  EXPECT_EQ(m.release(), 0);
  waiter.join();
  EXPECT_TRUE(taken);
  EXPECT_EQ(m.release(), -2);
}

// ---- time and random numbers -----------------------------------------------------------

TEST_F(Host, CurrentTimeFromAFixedClock) {
  const struct {
    int64_t utcSeconds;
    int16_t offset;
    GTimeRecord local, gmt;
  } cases[] = {
      {953658794, 60, {2000, 3, 21, 18, 13, 14, 250, 2}, {2000, 3, 21, 17, 13, 14, 250, 2}},
      {953690400, -300, {2000, 3, 21, 21, 0, 0, 250, 2}, {2000, 3, 22, 2, 0, 0, 250, 3}},
  };
  for (const auto& c : cases) {
    HostOptions options;
    options.clock = [&c] { return HostMoment{c.utcSeconds * 1000 + 250, c.offset}; };
    install(options);
    GTimeRecord local, gmt;
    int16_t offset = 0;
    ASSERT_EQ(factory->currentTime(local, gmt, offset), 1);
    EXPECT_EQ(offset, c.offset);
    for (auto [got, want] : {std::pair{local, c.local}, std::pair{gmt, c.gmt}}) {
      EXPECT_EQ(got.year, want.year);
      EXPECT_EQ(got.month, want.month);
      EXPECT_EQ(got.day, want.day);
      EXPECT_EQ(got.hour, want.hour);
      EXPECT_EQ(got.minute, want.minute);
      EXPECT_EQ(got.second, want.second);
      EXPECT_EQ(got.milliseconds, want.milliseconds);
      EXPECT_EQ(got.weekday, want.weekday);
    }
  }
}

TEST_F(Host, RandomNumbersFollowTheKernelGenerator) {
  HostOptions options;
  options.clock = [] { return HostMoment{0, 0}; };  // day 1, 00:00:00.000
  install(options);
  factory->seedRandom();
  EXPECT_EQ(factory->randomSeed(), 0x8000000u);
  EXPECT_EQ(factory->nextRandom(), 10240);
  EXPECT_EQ(factory->randomSeed(), 0xA8000001u);

  factory->fixRandomSeed(0x8000000);
  factory->seedRandom();
  int first = factory->nextRandom();
  factory->seedRandom();
  EXPECT_EQ(factory->nextRandom(), first) << "a fixed seed repeats";
  for (int i = 0; i < 100; ++i) {
    int r = factory->nextRandom();
    EXPECT_GE(r, 0);
    EXPECT_LE(r, 0x7FFF);
  }
}

// ---- directories and names -----------------------------------------------------------------

TEST_F(Host, TemporaryDirectoryChoices) {
  TempDir tmp;
  std::string previous = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
  setenv("TMPDIR", tmp.path().c_str(), 1);
  install();
  RWWString dir;
  factory->temporaryDirectory(dir, printer(0));
  std::string own = narrow(dir);
  EXPECT_EQ(own.rfind(tmp.path() + "/qxdriver-", 0), 0u) << own;
  EXPECT_EQ(dir.first(u'/'), RW_NPOS) << "handed out in the framework's form";
  EXPECT_TRUE(std::filesystem::is_directory(own));

  factory->putString(printer(1), RWWString(u"TempDirectoryLocation"), wide("C:\\Spool\\"));
  EXPECT_EQ(narrow(factory->temporaryDirectory(dir, printer(1))), "C:/Spool");
  EXPECT_EQ(narrow(factory->temporaryDirectory(dir, printer(0))), own) << "values are per printer";

  removeHostPlatform();
  EXPECT_FALSE(std::filesystem::exists(own)) << "the process's folder goes with the factory";

  HostOptions options;
  options.temporaryDirectory = wide(tmp.path() + "/");
  options.driverDirectory = wide("/opt/qx/drivers");
  install(options);
  EXPECT_EQ(narrow(factory->temporaryDirectory(dir, nullptr)), tmp.path());
  EXPECT_EQ(narrow(factory->driverDirectory(dir)), "/opt/qx/drivers");
  if (previous.empty()) {
    unsetenv("TMPDIR");
  } else {
    setenv("TMPDIR", previous.c_str(), 1);
  }
}

TEST_F(Host, DriverDirectoryDefaultsToTheProgramsFolder) {
  install();
  RWWString dir;
  std::string folder = narrow(factory->driverDirectory(dir));
  EXPECT_TRUE(std::filesystem::exists(folder + "/host_tests")) << folder;
  EXPECT_EQ(dir(0), u'\\');
}

TEST_F(Host, FilesAndTemporaryNames) {
  TempDir tmp;
  install();
  RWWString dir = wide(tmp.path());
  putFile(tmp.file("taken.txt"), "x");
  EXPECT_EQ(factory->fileExists(dir + RWWString(u"\\taken.txt")), 1) << "backslashes reach the file system as '/'";
  EXPECT_EQ(factory->fileExists(dir + RWWString(u"\\free.txt")), 0);
  EXPECT_EQ(factory->canCreateFile(dir + RWWString(u"\\free.txt")), 1);
  EXPECT_FALSE(fileExists(tmp.file("free.txt"))) << "the check leaves nothing behind";
  EXPECT_EQ(factory->canCreateFile(dir + RWWString(u"\\taken.txt")), 1);
  EXPECT_EQ(factory->canCreateFile(dir + RWWString(u"\\missing\\x.txt")), 0);

  factory->fixRandomSeed(1);
  RWWString name;
  factory->uniqueTemporaryName(name, dir, RWWString(), 1);
  std::string made = narrow(name);
  ASSERT_EQ(made.rfind(tmp.path() + "/", 0), 0u);
  EXPECT_EQ(made.size(), tmp.path().size() + 13);
  EXPECT_FALSE(fileExists(made));
  // The same seed draws the same first name; once it exists the next is taken.
  putFile(made, "");
  RWWString again;
  factory->uniqueTemporaryName(again, dir, RWWString(), 1);
  EXPECT_FALSE(again.isNull());
  EXPECT_NE(narrow(again), made);

  factory->uniqueTemporaryName(name, dir + RWWString(u"\\missing"), RWWString(u"PCM&&&&&.PFM"), 1);
  EXPECT_TRUE(name.isNull()) << "a folder that cannot be written ends the search";
}

// ---- printer values ---------------------------------------------------------------------------

TEST(HostPaths, BackslashAnsiTextMeetsTheFileSystemAsUtf8) {
  const char16_t units[] = {u'C', u'\\', u'c', u'a', u'f', 0x00E9, u' ', 0x20AC, 0};
  RWWString logical(units);
  EXPECT_EQ(hostPath(logical), "C/caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_TRUE(logicalPath(hostPath(logical)) == logical);
  // A name the foundation's file layer makes from the same text in the ANSI
  // code page is the same file.
  EXPECT_EQ(KMHostPath("C\\caf\xE9 \x80"), hostPath(logical));
}

TEST_F(Host, NamedValuesPerPrinter) {
  install();
  RWWString name(u"AddedFonts");
  EXPECT_EQ(factory->putULong(printer(0), RWWString(u"MassStorageFonts"), 1), 1);
  EXPECT_EQ(factory->getULong(printer(0), RWWString(u"MassStorageFonts"), 7), 1u);
  EXPECT_EQ(factory->getULong(printer(1), RWWString(u"MassStorageFonts"), 7), 7u);
  EXPECT_EQ(factory->putString(printer(0), RWWString(u"Text"), RWWString(u"value")), 1);
  RWWString text;
  EXPECT_EQ(std::u16string(factory->getString(text, printer(0), RWWString(u"Text"), RWWString()).data()), u"value");
  EXPECT_EQ(factory->getULong(printer(0), RWWString(u"Text"), 9), 9u) << "another type answers the default";

  const char data[] = "\x01\x02\x03\x04\x05";
  EXPECT_EQ(factory->putBinary(printer(0), name, data, 5), 1);
  uint32_t length = 0;
  EXPECT_EQ(factory->getBinary(printer(0), name, nullptr, 0, length), 1);
  EXPECT_EQ(length, 5u);
  char small[4];
  EXPECT_EQ(factory->getBinary(printer(0), name, small, sizeof small, length), 0);
  char room[8] = {};
  EXPECT_EQ(factory->getBinary(printer(0), name, room, sizeof room, length), 1);
  EXPECT_EQ(length, 5u);
  EXPECT_EQ(std::string(room, 5), std::string(data, 5));
  EXPECT_EQ(factory->getBinary(printer(1), name, room, sizeof room, length), 0);

  EXPECT_EQ(factory->putULong(nullptr, name, 1), 0) << "no printer, nowhere to keep it";
  EXPECT_EQ(factory->getULong(nullptr, name, 3), 3u);

  GLocaleInfo locale(8);
  locale.setCurrencySymbol("DM");
  EXPECT_EQ(factory->putObject(printer(2), RWWString(u"QuicksetPool"), &locale), 1);
  std::unique_ptr<MPersistentObject> back(factory->getObject(printer(2), RWWString(u"QuicksetPool")));
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(back->matches(&locale));
  EXPECT_EQ(factory->getObject(printer(1), RWWString(u"QuicksetPool")), nullptr);
}

// A stand-in for a store kept elsewhere: the factory reaches values only
// through the store it is given.
class CountingStores : public HostValueStores {
 public:
  HostValueStore* storeFor(GDriverInstance* owner) override {
    ++asked;
    return inner.storeFor(owner);
  }
  MemoryValueStores inner;
  int asked = 0;
};

TEST_F(Host, ValueStoreCanBeReplaced) {
  auto stores = std::make_shared<CountingStores>();
  HostOptions options;
  options.values = stores;
  install(options);
  factory->putULong(printer(0), RWWString(u"DisabledMSDs"), 5);
  EXPECT_EQ(stores->inner.storeFor(printer(0)) != nullptr, true);
  uint32_t v = 0;
  EXPECT_TRUE(stores->inner.storeFor(printer(0))->getULong(RWWString(u"DisabledMSDs"), v));
  EXPECT_EQ(v, 5u);
  EXPECT_EQ(stores->asked, 1);
}

// ---- streams --------------------------------------------------------------------------

TEST_F(Host, FileStreams) {
  TempDir tmp;
  install();
  RWWString path = wide(tmp.path()) + RWWString(u"\\data.bin");
  {
    std::unique_ptr<GOutputStream> out(factory->createOutputStream(path, kBinaryStream));
    ASSERT_NE(out->stream(), nullptr);
    out->stream()->put(uint32_t{0x44434241});
    out->stream()->flush();
    EXPECT_EQ(out->position(), 4u);
  }
  EXPECT_EQ(fileContents(tmp.file("data.bin")), "ABCD");
  {
    std::unique_ptr<GInputStream> in(factory->createInputStream(path, kBinaryStream));
    uint32_t v = 0;
    in->stream()->get(v);
    EXPECT_EQ(v, 0x44434241u);
    EXPECT_TRUE(in->stream()->good());
  }
  {
    std::unique_ptr<GInputStream> missing(factory->createInputStream(path + RWWString(u".gone"), kBinaryStream));
    ASSERT_NE(missing, nullptr);
    ASSERT_NE(missing->stream(), nullptr);
    EXPECT_FALSE(missing->stream()->good()) << "before any read";
    uint32_t v = 0;
    missing->stream()->get(v);
    EXPECT_FALSE(missing->stream()->good());
  }
  {
    std::unique_ptr<GOutputStream> odd(factory->createOutputStream(path + RWWString(u".3"), 3));
    ASSERT_NE(odd, nullptr);
    EXPECT_EQ(odd->stream(), nullptr);
    EXPECT_FALSE(fileExists(tmp.file("data.bin.3"))) << "no stream, no file";
    std::unique_ptr<GOutputStream> nowhere(
        factory->createOutputStream(wide(tmp.path()) + RWWString(u"\\no\\such.bin"), kBinaryStream));
    ASSERT_NE(nowhere->stream(), nullptr);
    EXPECT_FALSE(nowhere->stream()->good()) << "a file that cannot be made";
    std::unique_ptr<GInputStream> oddIn(factory->createInputStream(path, 3));
    EXPECT_EQ(oddIn->stream(), nullptr);
  }
  char block[6];
  std::unique_ptr<GOutputStream> memory(factory->createOutputStream(block, sizeof block, kBinaryStream));
  memory->stream()->put(uint32_t{1});
  memory->stream()->put(uint32_t{2});
  EXPECT_FALSE(memory->stream()->good()) << "the block does not grow";
}

// ---- the converter ------------------------------------------------------------------------

TEST(HostConverter, CodePages) {
  const struct {
    int32_t charset;
    uint32_t codePage;
  } table[] = {{4, 1252},  {5, 1250},  {6, 1254},  {7, 1253},  {8, 1255}, {9, 1256},  {12, 1257}, {14, 1251},
               {15, 874},  {17, 932},  {18, 936},  {19, 936},  {20, 949}, {21, 949},  {22, 1361}, {23, 950},
               {0, 1252},  {10, 1252}, {99, 1252}, {-1, 1252}};
  for (const auto& e : table) EXPECT_EQ(HostCharsetConverter::codePageOf(e.charset), e.codePage) << e.charset;
}

TEST(HostConverter, BothWays) {
  HostCharsetConverter c;
  const struct {
    int32_t charset;
    uint16_t code;
    uint16_t unicode;
  } cases[] = {
      {4, 0x80, 0x20AC},    // Windows-1252 euro sign
      {4, 0xE9, 0x00E9},
      {14, 0xC0, 0x0410},   // Windows-1251 capital A
      {17, 0x82A0, 0x3042}, // Shift-JIS hiragana a, lead byte high
      {17, 0x41, 0x0041},
      {23, 0xA440, 0x4E00}, // Big5
      {99, 0x80, 0x20AC},   // unknown sets use 1252
  };
  for (const auto& e : cases) {
    EXPECT_EQ(c.toUnicode(e.code, e.charset), e.unicode) << e.charset << " " << e.code;
    EXPECT_EQ(c.fromUnicode(e.unicode, e.charset), e.code) << e.charset << " " << e.unicode;
  }
  EXPECT_EQ(c.fromUnicode(0x4E2D, 4), 0) << "no form in the set";
  EXPECT_EQ(c.toUnicode(0x82, 17), 0) << "a lone lead byte";
}

TEST_F(Host, ConverterInstanceComesFromTheHost) {
  install();
  GCharsetConverter* c = GCharsetConverter::instance();
  ASSERT_NE(dynamic_cast<HostCharsetConverter*>(c), nullptr);
  EXPECT_EQ(GCharsetConverter::instance(), c);
  EXPECT_EQ(c->fromUnicode(0x00E9, 4), 0xE9);
}

// ---- version and the plain slots ---------------------------------------------------------

TEST_F(Host, SystemVersionAndPlainSlots) {
  install();
  GOSVersion v;
  factory->osVersion(v);
  EXPECT_EQ(v.platform(), 6);
  EXPECT_EQ(v.majorVersion(), 4u);
  EXPECT_EQ(v.minorVersion(), 0u);
  EXPECT_EQ(v.buildLow(), 1381u);
  EXPECT_EQ(v.family(), 4);

  std::unique_ptr<GLocaleInfo> locale(factory->createLocaleInfo());
  ASSERT_NE(locale, nullptr);
  EXPECT_EQ(locale->countryCode(), 1u);

  EXPECT_EQ(factory->createDeviceInstance(nullptr), nullptr);
  EXPECT_EQ(factory->createInterfaceInstance(nullptr), nullptr);
  EXPECT_EQ(factory->createSpoolerPort(printer(0), RWWString(u"LPT1:"), 0), nullptr);
  EXPECT_EQ(factory->createFontMetrics(nullptr), nullptr);
  EXPECT_EQ(factory->createBitmapGlyphSet(), nullptr);
  EXPECT_EQ(factory->createFontHelper(), nullptr);
  EXPECT_EQ(std::u16string(factory->reservedEcho(RWWString(u"echo")).data()), u"echo");
  EXPECT_EQ(factory->reservedThird(1, 2, 3), 3u);
  EXPECT_EQ(factory->reservedZero(), 0);
}

TEST(HostVersion, AnswersCanBeChanged) {
  HostVersionQueries q;
  q.productType = "ServerNT";
  GOSVersionQueries* previous = GOSVersion::setQueries(&q);
  GOSVersion v;
  EXPECT_EQ(v.query(), 1);
  EXPECT_EQ(v.platform(), 7);
  q.acceptedSizes.clear();
  q.productType = "WinNT";
  EXPECT_EQ(v.query(), 1);
  EXPECT_EQ(v.platform(), 6);
  EXPECT_EQ(v.build(), 0u) << "the packed version carries no build";
  EXPECT_EQ(v.majorVersion(), 4u);
  GOSVersion::setQueries(previous);
}

}  // namespace
