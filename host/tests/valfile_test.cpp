// Named printer values kept in one settings file per printer: they outlive
// the factory that wrote them, and each printer has its own file.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "core/persnum.h"
#include "core/setstore.h"
#include "host/win32/install.h"
#include "host/win32/osfactory.h"
#include "host/win32/paths.h"
#include "host/win32/valfile.h"
#include "testkit/tmpdir.h"

namespace {

RWWString wide(const std::string& s) { return RWWString(s.c_str()); }

GDriverInstance* printer(int n) {
  static char printers[4];
  return reinterpret_cast<GDriverInstance*>(&printers[n]);
}

// Printers 0 and 1 are "Laser" and "\\server\Ink 2"; printer 2 is the same
// printer as 0; printer 3 has no name.
RWWString printerName(GDriverInstance* owner) {
  if (owner == printer(0) || owner == printer(2)) return RWWString(u"Laser");
  if (owner == printer(1)) return RWWString(u"\\\\server\\Ink 2");
  return RWWString();
}

std::string u8(const RWWString& w) { return hostPath(w); }

class FileValues : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.ok());
    folder = dir.file("values/printers");
  }
  void TearDown() override { removeHostPlatform(); }

  // A factory over a fresh set of stores on the same folder each time.
  GOSFactoryHost* install() {
    HostOptions options;
    options.values = std::make_shared<SettingsFileValueStores>(wide(folder), printerName);
    return installHostPlatform(options);
  }

  TempDir dir;
  std::string folder;
};

TEST_F(FileValues, ValuesSurviveTheFactoryThatWroteThem) {
  GOSFactoryHost* factory = install();
  const unsigned char data[4] = {0, 1, 0xFE, 0xFF};
  EXPECT_EQ(factory->putULong(printer(0), RWWString(u"Pages"), 42), 1);
  EXPECT_EQ(factory->putString(printer(0), RWWString(u"TempDirectoryLocation"), RWWString(u"C:\\spool\\t\u00E9mp")), 1);
  EXPECT_EQ(factory->putBinary(printer(0), RWWString(u"AddedFonts"), data, 4), 1);
  GPersistableLong object(-12);
  EXPECT_EQ(factory->putObject(printer(0), RWWString(u"QuicksetPool"), &object), 1);
  EXPECT_EQ(factory->putULong(printer(1), RWWString(u"Pages"), 7), 1);
  removeHostPlatform();

  factory = install();
  EXPECT_EQ(factory->getULong(printer(0), RWWString(u"Pages"), 0), 42u);
  EXPECT_EQ(factory->getULong(printer(2), RWWString(u"Pages"), 0), 42u);  // the same printer
  EXPECT_EQ(factory->getULong(printer(1), RWWString(u"Pages"), 0), 7u);
  RWWString text;
  factory->getString(text, printer(0), RWWString(u"TempDirectoryLocation"), RWWString());
  EXPECT_TRUE(text == RWWString(u"C:\\spool\\t\u00E9mp"));
  unsigned char back[4] = {};
  uint32_t length = 0;
  EXPECT_EQ(factory->getBinary(printer(0), RWWString(u"AddedFonts"), back, 4, length), 1);
  EXPECT_EQ(length, 4u);
  EXPECT_EQ(std::string(back, back + 4), std::string(data, data + 4));
  std::unique_ptr<MPersistentObject> restored(factory->getObject(printer(0), RWWString(u"QuicksetPool")));
  ASSERT_NE(dynamic_cast<GPersistableLong*>(restored.get()), nullptr);
  EXPECT_EQ(static_cast<GPersistableLong*>(restored.get())->value(), -12);

  // One file per printer, named after it.
  std::map<std::string, bool> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) files[entry.path().filename()] = true;
  EXPECT_EQ(files.size(), 2u);
  EXPECT_TRUE(files.count("Laser.set"));
  EXPECT_TRUE(files.count("%005C%005Cserver%005CInk 2.set"));
}

TEST_F(FileValues, TheSettingsStoreOfAPrinterReachesItsFile) {
  GOSFactoryHost* factory = install();
  std::unique_ptr<GSettingsStore> store(factory->createSettingsStore(printer(0)));
  ASSERT_NE(dynamic_cast<GOSFactorySettingsStore*>(store.get()), nullptr);
  EXPECT_EQ(store->putULong(RWWString(u"Copies"), 3), 1);
  GPersistableULong object(99);
  EXPECT_EQ(store->putObject(17u, &object), 1);
  store.reset();
  removeHostPlatform();

  factory = install();
  EXPECT_EQ(factory->getULong(printer(0), RWWString(u"Copies"), 0), 3u);
  store.reset(factory->createSettingsStore(printer(2)));
  std::unique_ptr<RWCollectable> back(store->getObject(17u));
  ASSERT_NE(dynamic_cast<GPersistableULong*>(back.get()), nullptr);
  EXPECT_EQ(static_cast<GPersistableULong*>(back.get())->value(), 99u);
}

TEST_F(FileValues, ANameHoldsOneKindOfValue) {
  GOSFactoryHost* factory = install();
  ASSERT_EQ(factory->putULong(printer(0), RWWString(u"n"), 5), 1);
  ASSERT_EQ(factory->putString(printer(0), RWWString(u"s"), RWWString(u"AB")), 1);
  RWWString out;
  factory->getString(out, printer(0), RWWString(u"n"), RWWString(u"default"));
  EXPECT_TRUE(out == RWWString(u"default"));
  EXPECT_EQ(factory->getULong(printer(0), RWWString(u"s"), 8), 8u);
  // A text read as bytes has its units and the zero unit.
  unsigned char bytes[6];
  uint32_t length = 0;
  EXPECT_EQ(factory->getBinary(printer(0), RWWString(u"s"), bytes, 6, length), 1);
  EXPECT_EQ(std::string(bytes, bytes + 6), std::string("A\0B\0\0\0", 6));
  EXPECT_EQ(factory->getBinary(printer(0), RWWString(u"n"), nullptr, 0, length), 0);
  // Overwriting changes the kind.
  ASSERT_EQ(factory->putULong(printer(0), RWWString(u"s"), 6), 1);
  EXPECT_EQ(factory->getULong(printer(0), RWWString(u"s"), 8), 6u);
}

TEST_F(FileValues, PrintersWithoutANameOrAFileKeepNothing) {
  GOSFactoryHost* factory = install();
  EXPECT_EQ(factory->putULong(printer(3), RWWString(u"n"), 1), 0);
  EXPECT_EQ(factory->putULong(nullptr, RWWString(u"n"), 1), 0);
  EXPECT_EQ(factory->getULong(printer(3), RWWString(u"n"), 2), 2u);
  EXPECT_FALSE(std::filesystem::exists(folder));

  SettingsFileValueStores unnamed(wide(folder), nullptr);
  EXPECT_EQ(unnamed.storeFor(printer(0)), nullptr);

  // A folder that cannot be made: no store, and no store kept for later.
  std::string blocker = dir.file("file");
  { std::FILE* f = std::fopen(blocker.c_str(), "w"); ASSERT_NE(f, nullptr); std::fclose(f); }
  SettingsFileValueStores blocked(wide(blocker + "/below"), printerName);
  EXPECT_EQ(blocked.storeFor(printer(0)), nullptr);
  EXPECT_EQ(blocked.storeFor(printer(0)), nullptr);
}

TEST(FileValueNames, EveryCharacterOutsideTheSafeSetIsEscaped) {
  SettingsFileValueStores stores(RWWString(u"/var/qx"), printerName);
  struct Case {
    const char16_t* printer;
    const char* file;
  } cases[] = {
      {u"Laser", "/var/qx/Laser.set"},
      {u"..", "/var/qx/...set"},
      {u"a/b", "/var/qx/a%002Fb.set"},
      {u"50%", "/var/qx/50%0025.set"},
      {u"Dru\u00DFcker \u4E2D", "/var/qx/Dru%00DFcker %4E2D.set"},
      {u"x:y*?", "/var/qx/x%003Ay%002A%003F.set"},
  };
  for (const Case& c : cases) EXPECT_EQ(u8(stores.fileFor(RWWString(c.printer))), c.file) << u8(RWWString(c.printer));
  SettingsFileValueStores trailing(RWWString(u"C:\\qx\\"), printerName);
  EXPECT_EQ(u8(trailing.fileFor(RWWString(u"P"))), "C:/qx/P.set");
}

}  // namespace
