#include "core/dynlib.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "core/tests/fakefactory.h"
#include "core/tests/fixtures.h"

namespace {

const char* const addonPath = QX_TEST_ADDON;

intptr_t number(void* p) { return reinterpret_cast<intptr_t>(p); }

// Whether the add-on is mapped into the process at all, whoever loaded it.
bool addonResident() {
  void* h = dlopen(addonPath, RTLD_NOW | RTLD_NOLOAD);
  if (h) dlclose(h);
  return h != nullptr;
}

TEST(DynamicLibraryTest, CallsAnExportWithTheCallersArguments) {
  GDynamicLibrary lib{RWWString(addonPath)};
  EXPECT_FALSE(lib.isLoaded());
  EXPECT_EQ(number(lib.call("testAddonSum", 3, 10, 20, 12)), 42);
  EXPECT_TRUE(lib.isLoaded());
  EXPECT_NE(lib.module(), nullptr);
  const char* text = "printer";
  EXPECT_EQ(lib.call("testAddonCharAt", text, 3), text + 3);
  EXPECT_EQ(number(lib.call("testAddonSum", 0)), 0);
}

TEST(DynamicLibraryTest, MissingLibraryOrExport) {
  GDynamicLibrary missing{RWWString("/nonexistent/qxnothing.dll")};
  EXPECT_EQ(missing.call("testAddonSum", 1, 1), nullptr);
  EXPECT_FALSE(missing.isLoaded());
  EXPECT_EQ(missing.load(), 0);
  EXPECT_EQ(missing.unload(), 0);

  GDynamicLibrary lib{RWWString(addonPath)};
  EXPECT_EQ(lib.hasExport("testAddonSum"), 0) << "nothing is loaded to answer";
  EXPECT_FALSE(lib.isLoaded());
  EXPECT_EQ(lib.call("noSuchExport"), nullptr);
  EXPECT_TRUE(lib.isLoaded());
  EXPECT_EQ(lib.call(nullptr), nullptr);
  EXPECT_EQ(lib.hasExport("testAddonSum"), 1);
  EXPECT_EQ(lib.hasExport("noSuchExport"), 0);
  EXPECT_EQ(lib.hasExport(nullptr), 0);
}

TEST(DynamicLibraryTest, EmptyPathLoadsNothing) {
  // dlopen of no name would answer the program itself.
  GDynamicLibrary none;
  EXPECT_EQ(none.load(), 0);
  EXPECT_EQ(none.call("main"), nullptr);
  EXPECT_FALSE(none.isLoaded());
}

TEST(DynamicLibraryTest, UnloadReleasesTheLibrary) {
  ASSERT_FALSE(addonResident());
  {
    GDynamicLibrary lib{RWWString(addonPath)};
    EXPECT_EQ(lib.load(), 1);
    EXPECT_TRUE(addonResident());
    EXPECT_EQ(lib.unload(), 1);
    EXPECT_FALSE(lib.isLoaded());
    EXPECT_EQ(lib.module(), nullptr);
    EXPECT_FALSE(addonResident());
    EXPECT_EQ(lib.unload(), 0);
    lib.load();
  }
  // The destructor unloads.
  EXPECT_FALSE(addonResident());
}

TEST(DynamicLibraryTest, EachCopyHoldsTheLibrary) {
  ASSERT_FALSE(addonResident());
  GDynamicLibrary* original = new GDynamicLibrary(RWWString(addonPath));
  original->setId(7);
  EXPECT_EQ(number(original->call("testAddonCount")), 1);

  GDynamicLibrary copied(*original);
  EXPECT_TRUE(copied.isLoaded());
  EXPECT_EQ(copied.module(), original->module());
  EXPECT_TRUE(copied.matches(original));
  GDynamicLibrary assigned;
  assigned = *original;
  EXPECT_TRUE(assigned.isLoaded());

  delete original;
  // Still the same loaded library, with its state.
  EXPECT_TRUE(addonResident());
  EXPECT_EQ(number(copied.call("testAddonCount")), 2);
  copied.unload();
  EXPECT_EQ(number(assigned.call("testAddonCount")), 3);
  const GDynamicLibrary& same = assigned;  // assigned to itself
  assigned = same;
  EXPECT_TRUE(assigned.isLoaded());
  assigned = GDynamicLibrary();
  EXPECT_FALSE(assigned.isLoaded());
  EXPECT_FALSE(addonResident());

  // A copy of an unloaded reference stays unloaded.
  GDynamicLibrary idle{RWWString(addonPath)};
  GDynamicLibrary idleCopy(idle);
  EXPECT_FALSE(idleCopy.isLoaded());
}

TEST(DynamicLibraryTest, Matching) {
  GDynamicLibrary a(RWWString("x.dll"));
  GDynamicLibrary b(RWWString("x.dll"));
  a.setId(1);
  b.setId(2);
  EXPECT_FALSE(a.matches(&b));
  b.setId(1);
  EXPECT_TRUE(a.matches(&b));
  GDynamicLibrary c(RWWString("y.dll"));
  c.setId(1);
  EXPECT_FALSE(a.matches(&c));
  MPersistentObject plain(1);
  EXPECT_FALSE(a.matches(&plain));
  EXPECT_TRUE(a.isKindOf(780));
  EXPECT_TRUE(a.isKindOf(751));
  EXPECT_FALSE(a.isKindOf(771));
}

class DynamicLibraryStore : public StoreTest {};

TEST_F(DynamicLibraryStore, StoredFormAndRestoredUnloaded) {
  MPersistentObject::presetSerialCounter(50);
  GDynamicLibrary lib{RWWString(addonPath)};
  lib.setId(9);
  ASSERT_EQ(lib.load(), 1);
  std::string units;
  for (const char* p = addonPath; *p; ++p) units += le16(static_cast<unsigned char>(*p));
  const uint32_t length = static_cast<uint32_t>(units.size() / 2);
  const std::string stored = le32(0x8888) + le16(780) + le32(1) + le32(9) + le32(50) +  //
                             le32(1) + le32(length) + units;
  EXPECT_EQ(storeFile(&lib), stored);
  EXPECT_EQ(lib.binaryStoreSize(), stored.size() - 6);

  GDynamicLibrary* back = restoreFile<GDynamicLibrary>();
  ASSERT_NE(back, nullptr);
  EXPECT_FALSE(back->isLoaded());
  EXPECT_EQ(back->path(), lib.path());
  EXPECT_EQ(back->id(), 9u);
  EXPECT_EQ(number(back->call("testAddonSum", 2, 5, 6)), 11);
  delete back;
}

TEST_F(DynamicLibraryStore, RestoreIntoALoadedReferenceUnloadsIt) {
  GDynamicLibrary other(RWWString("elsewhere.dll"));
  storeFile(&other);
  GDynamicLibrary lib{RWWString(addonPath)};
  ASSERT_EQ(lib.load(), 1);
  RWFile f(path().c_str(), "rb");
  uint32_t magic = 0;
  uint16_t tag = 0;
  ASSERT_TRUE(f.Read(magic) && f.Read(tag));
  lib.restoreGuts(f);
  EXPECT_FALSE(lib.isLoaded());
  EXPECT_EQ(lib.path(), RWWString("elsewhere.dll"));
}

TEST_F(DynamicLibraryStore, APathCutShortKeepsTheReferenceAsItWas) {
  // Three units claimed, one there.
  putBytes(le32(0x8888) + le16(780) + le32(1) + le32(3) + le32(60) + le32(1) + le32(3) + le16('z'));
  GDynamicLibrary lib{RWWString(addonPath)};
  ASSERT_EQ(lib.load(), 1);
  RWFile f(path().c_str(), "rb");
  uint32_t magic = 0;
  uint16_t tag = 0;
  ASSERT_TRUE(f.Read(magic) && f.Read(tag));
  lib.restoreGuts(f);
  EXPECT_EQ(lib.id(), 3u);
  EXPECT_EQ(lib.path(), RWWString(addonPath));
  EXPECT_TRUE(lib.isLoaded()) << "the library still belongs to the path kept";
}

TEST_F(DynamicLibraryStore, AnotherVersionKeepsThePath) {
  putBytes(le32(0x8888) + le16(780) + le32(1) + le32(3) + le32(60) + le32(2) + le32(1) + le16('z'));
  GDynamicLibrary* back = restoreFile<GDynamicLibrary>();
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->id(), 3u);
  EXPECT_EQ(back->path().length(), 0u);
  delete back;
}

}  // namespace

namespace {

// Platform services whose driver directory the test chooses.
class DirectoryFactory : public FakeFactory {
 public:
  explicit DirectoryFactory(const std::string& dir) : dir_(dir.c_str()) {}
  RWWString& driverDirectory(RWWString& out) override {
    out = dir_;
    return out;
  }

 private:
  RWWString dir_;
};

// Installed as a host installs its factory, for the scope of a test.
struct InstalledDirectory {
  explicit InstalledDirectory(const std::string& dir) : factory(new DirectoryFactory(dir)) {
    GOSFactory::factoryLock = factory->createMutex();
    GOSFactory::theInstance = factory;
  }
  ~InstalledDirectory() { delete factory; }
  DirectoryFactory* factory;
};

std::string folderOf(const std::string& path) { return path.substr(0, path.rfind('/')); }

TEST(DynamicLibraryTest, RelativeNamesLieInTheDriverDirectory) {
  const std::string addonDir = folderOf(addonPath);
  {
    InstalledDirectory installed(addonDir);
    // Not there as named; the ".so" of the same name is.
    GDynamicLibrary lib{RWWString("qxtestaddon.dll")};
    EXPECT_EQ(number(lib.call("testAddonSum", 2, 2, 3)), 5);
    GDynamicLibrary none{RWWString("qxtestaddon.drv")};
    EXPECT_EQ(none.load(), 0);
  }
  {
    // Backslashes separate folders, and the directory may end in one.
    const std::string parent = folderOf(addonDir);
    const std::string last = addonDir.substr(parent.size() + 1);
    InstalledDirectory installed(parent + "\\");
    GDynamicLibrary lib{RWWString((last + "\\qxtestaddon.DLL").c_str())};
    EXPECT_EQ(lib.load(), 1);
  }
  // Without platform services a relative name has nowhere to be found.
  GDynamicLibrary orphan{RWWString("qxtestaddon.so")};
  EXPECT_EQ(orphan.load(), 0);
}

TEST(DynamicLibraryTest, ACopyOpensTheFileItsOriginalOpened) {
  GDynamicLibrary relative{RWWString("qxtestaddon.dll")};
  {
    InstalledDirectory installed(folderOf(addonPath));
    ASSERT_EQ(relative.load(), 1);
  }
  // The driver directory is gone, the loaded library is not.
  GDynamicLibrary copied(relative);
  EXPECT_TRUE(copied.isLoaded());
  EXPECT_EQ(copied.module(), relative.module());
  GDynamicLibrary assigned;
  assigned = relative;
  EXPECT_EQ(assigned.module(), relative.module());
}

TEST(DynamicLibraryTest, TheNameAsGivenComesFirst) {
  TempDir dir;
  std::filesystem::copy_file(addonPath, dir.file("first.dll"));
  InstalledDirectory installed(dir.path());
  GDynamicLibrary lib{RWWString("first.dll")};
  ASSERT_EQ(lib.load(), 1);
  EXPECT_EQ(number(lib.call("testAddonCount")), 1);
}

}  // namespace
