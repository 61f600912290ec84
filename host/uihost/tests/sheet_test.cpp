// The host over the test plug-in: loading, the sheet's calls in order, the
// apply hook once per OK, the scratch group's removal, the resolver.

#include <gtest/gtest.h>

#include <memory>

#include "core/attrib.h"
#include "core/dispstr.h"
#include "core/state.h"
#include "fixture.h"
#include "host/uihost/state.h"

namespace {

using uitest::HostTest;

class Host : public HostTest {
 protected:
  // The sheet's story: plug-in calls, messages passed on (without their
  // windows) and applies, in order.
  static std::vector<std::string> story() {
    std::vector<std::string> out;
    for (const std::string& line : uihost::log()) {
      if (line.rfind("callback ", 0) == 0) {
        out.push_back(line.substr(line.find(' ', 9) + 1));
      } else if (line.rfind("UI_", 0) == 0 || line == "apply") {
        out.push_back(line);
      }
    }
    return out;
  }
};

TEST_F(Host, ThePagesHearTheSheetInOrderAndTheHookRunsOnce) {
  auto plugin = uihost::Plugin::load(UIHOST_PLUGIN);
  ASSERT_NE(plugin, nullptr);
  UIHostRecord record;
  record.pageSets = UI_PAGES_DOCUMENT;
  uihost::Sheet sheet(*plugin, record);
  int hooked = 0;
  sheet.apply = [&](UIHostRecord& r) {
    EXPECT_EQ(&r, &record);
    // What the plug-in's apply does: start the program, save.
    WinExec("LAUNCHAPP.exe  /G", 0);
    ++hooked;
  };
  ASSERT_TRUE(sheet.open());
  ASSERT_EQ(sheet.pageCount(), 2);
  ASSERT_TRUE(sheet.show(1));
  ASSERT_TRUE(sheet.ok());
  EXPECT_EQ(hooked, 1);
  EXPECT_EQ(uihost::logLines("WinExec").size(), 1u);
  EXPECT_EQ(story(), (std::vector<std::string>{"UI_INITIALIZE count -> 1", "UI_INITIALIZE build -> 1", "0x110",
                                               "0x4e -200", "0x4e -201", "0x4e -202", "apply", "0x2", "UI_DESTROY"}));
  // Item 999 of the page is in no template: its ShowWindow and
  // EnableWindow did nothing, and that is no misuse.
  EXPECT_TRUE(uihost::misuse().empty());
  // The sheet leaves nothing: what is open is the test's own module.
  EXPECT_EQ(uihost::openObjects(), std::vector<std::string>{"module " + uihost::hex(module) + " \"uihosttest.dll\""});
}

TEST_F(Host, WithTwoPagesShownBothApplyAndTheHookStillRunsOnce) {
  auto plugin = uihost::Plugin::load(UIHOST_PLUGIN);
  ASSERT_NE(plugin, nullptr);
  UIHostRecord record;
  record.pageSets = UI_PAGES_DOCUMENT | UI_PAGES_DEVICE;
  uihost::Sheet sheet(*plugin, record);
  ASSERT_TRUE(sheet.open());
  ASSERT_EQ(sheet.pageCount(), 3);
  ASSERT_TRUE(sheet.show(1));
  ASSERT_TRUE(sheet.show(2));
  const HWND first = sheet.pageWindow(1), second = sheet.pageWindow(2);
  ASSERT_TRUE(sheet.ok());
  EXPECT_EQ(sheet.applies(), 1);
  const std::vector<std::string> applied = uihost::logLines("callback");
  int fromFirst = 0, fromSecond = 0;
  for (const std::string& line : applied) {
    if (line.find(" -202") == std::string::npos) continue;
    fromFirst += line.find(uihost::hex(first)) != std::string::npos;
    fromSecond += line.find(uihost::hex(second)) != std::string::npos;
  }
  EXPECT_EQ(fromFirst, 1);
  EXPECT_EQ(fromSecond, 1);
  EXPECT_EQ(uihost::logLines("apply").size(), 1u);
}

TEST_F(Host, APluginOfAnotherInterfaceVersionIsUnloaded) {
  EXPECT_EQ(uihost::Plugin::load(UIHOST_PLUGIN_V3), nullptr);
  EXPECT_EQ(uihost::logLines("plug-in attached").size(), 1u);
  EXPECT_EQ(uihost::logLines("plug-in: UI_INTERFACEVERSION 3, not 2: unloaded").size(), 1u);
  EXPECT_EQ(uihost::logLines("plug-in detached").size(), 1u);
  EXPECT_EQ(uihost::Plugin::load("/no/such/plugin.so"), nullptr);
}

// A plug-in given as functions: it counts pages but cannot build them
// (its resources do not load), so the host shows its own page alone.
uint16_t buildsNone(UIHostRecord* record, uint16_t) { return record->pages ? 0 : 2; }
uint16_t nothing(UIHostRecord*) { return 0; }
BOOL entry(HINSTANCE, DWORD, void*) { return 1; }
uint16_t two() { return 2; }

TEST_F(Host, APluginThatBuildsNoPagesLeavesTheHostsOwnPage) {
  auto plugin = uihost::Plugin::fromEntries({entry, two, buildsNone, nothing, nothing, nothing});
  ASSERT_NE(plugin, nullptr);
  UIHostRecord record;
  uihost::Sheet sheet(*plugin, record);
  ASSERT_TRUE(sheet.open());
  EXPECT_EQ(sheet.pageCount(), 1);
  EXPECT_FALSE(sheet.show(1));
  EXPECT_TRUE(sheet.ok());
}

TEST_F(Host, TheScratchGroupLeavesTheSettingsWhenTheSheetCloses) {
  auto plugin = uihost::Plugin::load(UIHOST_PLUGIN);
  ASSERT_NE(plugin, nullptr);
  auto settings = std::make_unique<GAttributeComposite>(0);
  settings->insert(new GState(AttrId::UiScratch));
  settings->insert(new GState(365));
  UIHostRecord record;
  record.pageSets = UI_PAGES_DEVICE;
  record.settings = settings.get();
  {
    uihost::Sheet sheet(*plugin, record);
    ASSERT_TRUE(sheet.open());
    EXPECT_NE(settings->findById(AttrId::UiScratch), nullptr);
    sheet.cancel();
  }
  EXPECT_EQ(settings->findById(AttrId::UiScratch), nullptr);
  EXPECT_NE(settings->findById(365), nullptr);
}

TEST_F(Host, TheResolverReadsTheStringForTheIdElseTheFirstTextElseNothing) {
  const GDisplayString byId(101, "own text", "second");
  const GDisplayString missingId(999, "own text", "second");
  const GDisplayString noId(0, "caf\xE9", "second");
  const GDisplayString empty(0, nullptr, "second");
  struct Row {
    const char* what;
    const GDisplayString* displayString;
    std::u16string text;
  };
  const std::vector<Row> rows{
      {"the module's string", &byId, u"A display string's own text"},
      {"an id the module lacks", &missingId, u"own text"},
      {"no id: the first text, from Windows-1252", &noId, u"caf\u00E9"},
      {"neither", &empty, u""},
      {"no display string", nullptr, u""},
  };
  UIHostResolver* resolver = UIHostResolverCreate(module, &byId);
  RWWString text;
  UIHostResolverText(resolver, text);
  EXPECT_EQ(std::u16string(text.data(), text.length()), u"A display string's own text");
  for (const Row& row : rows) {
    UIHostResolverTextOf(resolver, text, row.displayString);
    EXPECT_EQ(std::u16string(text.data(), text.length()), row.text) << row.what;
  }
  UIHostResolverDestroy(resolver);
  UIHostResolver* bare = UIHostResolverCreate(module, nullptr);
  UIHostResolverText(bare, text);
  EXPECT_EQ(text.length(), 0u);
  UIHostResolverDestroy(bare);
}

}  // namespace
