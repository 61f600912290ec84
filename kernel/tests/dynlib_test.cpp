// The kernel build's add-on loading on the engine stand-in: the test add-ons
// are copied into the engine's driver folder and say through its debug
// output which of their entries were called.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/dynlib.h"
#include "host/engine/engine.h"
#include "testkit/tmpdir.h"

namespace {

using Lines = std::vector<std::string>;

class KernelAddonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    eng::reset();
    eng::setRoot(dir.hostPath());
    namespace fs = std::filesystem;
    for (auto [from, to] : {std::pair{ADDON_PLAIN, "plain.dll"}, {ADDON_ZERO, "zero.dll"},
                            {ADDON_NONE, "none.dll"}})
      fs::copy_file(from, eng::driverFolder() + "/" + to, fs::copy_options::overwrite_existing);
    images = eng::live().images;
  }

  void TearDown() override {
    EXPECT_EQ(eng::live().images, images);
    EXPECT_EQ(eng::misuse(), Lines());
    eng::reset();
    eng::setRoot(startEngineRoot());  // the test program's root, for the tests after this one
  }

  TempDir dir;
  long images = 0;
};

TEST_F(KernelAddonTest, EnableAddonDecidesWhetherTheAddonStays) {
  struct Case {
    const char16_t* name;
    int loaded;
    Lines lines;  // after load and unload
  } cases[] = {
      {u"plain.dll", 1, {"EnableAddon null", "DisableAddon handle"}},
      {u"PLAIN.DLL", 1, {"EnableAddon null", "DisableAddon handle"}},
      // Each load tries to enable it; never enabled, it is never disabled.
      {u"zero.dll", 0, {"EnableAddon null", "EnableAddon null"}},
      {u"none.dll", 0, {}},
      {u"missing.dll", 0, {}},
      {u"..\\..\\plain.dll", 0, {}},  // the engine keeps to its driver folder
      {u"", 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::string(c.name, c.name + std::char_traits<char16_t>::length(c.name)));
    eng::reset();
    GDynamicLibrary library{RWWString(c.name)};
    EXPECT_EQ(library.load(), c.loaded);
    EXPECT_EQ(library.isLoaded(), c.loaded);
    EXPECT_EQ(library.module() != nullptr, c.loaded != 0);
    EXPECT_EQ(eng::live().images, images + c.loaded);
    EXPECT_EQ(library.load(), c.loaded);  // once enabled, not enabled again
    EXPECT_EQ(library.unload(), c.loaded);
    EXPECT_EQ(library.unload(), 0);
    EXPECT_EQ(eng::debugLines(), c.lines);
  }

  // A zero inside the name would name another file.
  eng::reset();
  GDynamicLibrary cut{RWWString(u"plain.dll\0x", 11)};
  EXPECT_EQ(cut.load(), 0);
  EXPECT_EQ(eng::debugLines(), Lines());
}

TEST_F(KernelAddonTest, CallPassesTheArgumentsAndLoadsOnDemand) {
  GDynamicLibrary library{RWWString(u"plain.dll")};
  EXPECT_EQ(library.hasExport("addonSum"), 0);  // not loaded yet
  EXPECT_EQ(reinterpret_cast<intptr_t>(library.call("addonSum", 40, 2)), 42);
  EXPECT_EQ(library.isLoaded(), 1);
  EXPECT_EQ(library.hasExport("addonSum"), 1);
  EXPECT_EQ(library.call("noSuchEntry", 1), nullptr);
  EXPECT_EQ(library.isLoaded(), 1);  // a missing entry unloads nothing
  EXPECT_EQ(library.call(nullptr), nullptr);

  // A copy enables the add-on for itself; each disables its own.
  {
    GDynamicLibrary copy(library);
    EXPECT_EQ(copy.isLoaded(), 1);
    EXPECT_EQ(eng::live().images, images + 2);
  }
  EXPECT_EQ(library.isLoaded(), 1);
  EXPECT_EQ(reinterpret_cast<intptr_t>(library.call("addonSum", -1, 1)), 0);
  EXPECT_EQ(library.unload(), 1);
  EXPECT_EQ(eng::debugLines(), (Lines{"EnableAddon null", "EnableAddon null", "DisableAddon handle",
                                      "DisableAddon handle"}));

  // An add-on that refuses to be enabled is never called.
  GDynamicLibrary refused{RWWString(u"zero.dll")};
  EXPECT_EQ(refused.call("addonSum", 1, 2), nullptr);
  EXPECT_EQ(refused.isLoaded(), 0);
}

}  // namespace
