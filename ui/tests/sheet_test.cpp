// A test page of stock controls on the host's sheet, through test entry
// functions: a click edits the settings, a cancelled rule question undoes
// the click, OK applies through the host's hook, and the sheet leaves
// nothing behind.

#include "core/attrids.h"
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/attrib.h"
#include "core/valattr.h"
#include "device/drvrsrvr.h"
#include "device/pericomp.h"
#include "host/uihost/uihost.h"
#include "testkit/ui/fixprinter.h"
#include "testkit/ui/hosthooks.h"
#include "tools/printer/platform.h"
#include "ui/dialog.h"
#include "ui/session.h"
#include "ui/uiids.h"
#include "ui/uires.h"

extern "C" BOOL DllMain(HINSTANCE module, DWORD reason, void*);
extern "C" uint16_t UI_INTERFACEVERSION();
extern "C" uint16_t UI_CONFIGTOSETTINGS(UIHostRecord* record);
extern "C" uint16_t UI_SETTINGSTOCONFIG(UIHostRecord* record);

namespace {

constexpr uint32_t kStaple = 278;
constexpr uint32_t kNotice = 0x40000100;
constexpr uint32_t kBooklet = 279;

const char* const kPageResources = R"(string 5100 "Printer"
string 5101 "Stapling needs the stapler. Go on?"
dialog 70 0 0 200 120 "Test page"
item 71 checkbox 8 8 80 10 "Staple"
item 72 static 8 30 80 10 "Notice"
item 73 checkbox 8 44 80 10 "Booklet"
item 9 button 100 8 40 14 "Help"
)";

// Asks before stapling; Cancel takes the whole action back.
class StapleQuestion : public GFeatureRule {
 public:
  using GFeatureRule::GFeatureRule;
  void evaluate(const std::vector<uint32_t>& changed, bool) override {
    for (uint32_t id : changed) {
      if (id != kStaple || GUIObject(session()).settingsValue(kStaple) != 1) continue;
      RWWString text, caption;
      (void)uires::loadResourceString(5101, text);
      (void)uires::loadResourceString(5100, caption);
      if (uires::messageBox(session()->updateWindow(), text, caption, MB_OKCANCEL | MB_ICONINFORMATION) == IDCANCEL) {
        session()->revert();
      } else {
        raiseLevel(kNotice, 1);
      }
      return;
    }
  }
};

uint16_t testInitialize(UIHostRecord* record, uint16_t first) {
  if (!record->pages) return 1;
  if (!uires::loadResourceModule(RWWString(u"qxtestpage.dll"))) return 0;
  auto* session = new GUISession(record);
  record->session = session;
  auto* page = new GPropertyPage(&record->pages[first], uires::resourceModule(), 70, session, true, 700);
  const GHelpPair table[] = {{71, 701}, {0, 0}};
  page->addControl(new GCheckBoxControl(table, std::make_unique<GFeatureModel>(session, kStaple)));
  const GHelpPair noHelp[] = {{73, -1}, {0, 0}};
  page->addControl(new GCheckBoxControl(noHelp, std::make_unique<GFeatureModel>(session, kBooklet)));
  session->addRule(new StapleQuestion(session));
  return 1;
}

uint16_t testDestroy(UIHostRecord* record) {
  for (uint16_t i = 0; i < record->pageCount; ++i) {
    PROPSHEETPAGEW& entry = record->pages[i];
    if (entry.hInstance != uires::resourceModule() || !entry.lParam) continue;
    delete static_cast<GPropertyPage*>(entry.lParam->page);
    entry.lParam->page = nullptr;
  }
  delete record->session;
  record->session = nullptr;
  uires::releaseResourceModule();
  return 0;
}

class TestPage : public UIHostTest {
 protected:
  void SetUp() override {
    UIHostTest::SetUp();
    ASSERT_EQ(printer_.error(), "");
    ASSERT_TRUE(uihost::registerModule(u"qxtestpage.dll", {}, kPageResources));
    instance_ = printer_.registerInstance(RWWString(u"UI printer"), handle_);
    ASSERT_NE(instance_, nullptr);
    record_.printer = instance_;
    record_.configuration = instance_->configuration();
    record_.settings = instance_->defaultSettings();
    record_.pageSets = UI_PAGES_DOCUMENT;
    record_.programArguments[0] = u"Printer";
    record_.programArguments[1] = u"doc";
  }
  void TearDown() override {
    delete record_.settings;
    if (printer_.server()) printer_.server()->removeInstance(handle_);
    UIHostTest::TearDown();
  }
  int16_t staple() const {
    auto* a = dynamic_cast<GValueAttribute*>(record_.settings->findById(kStaple));
    return a ? a->value() : -1;
  }
  static uihost::PluginEntries entries() {
    uihost::PluginEntries e;
    e.entry = DllMain;
    e.interfaceVersion = UI_INTERFACEVERSION;
    e.initialize = testInitialize;
    e.destroy = testDestroy;
    e.configToSettings = UI_CONFIGTOSETTINGS;
    e.settingsToConfig = UI_SETTINGSTOCONFIG;
    return e;
  }

  FixturePrinter printer_;
  GInterfaceInstance* instance_ = nullptr;
  uint32_t handle_ = 0;
  UIHostRecord record_;
};

TEST_F(TestPage, ClickCancelledQuestionAndOkThroughTheHook) {
  auto plugin = uihost::Plugin::fromEntries(entries(), u"qxui.dll");
  ASSERT_NE(plugin, nullptr);
  {
    uihost::Sheet sheet(*plugin, record_);
    GStatus applied = -1;
    sheet.apply = [&](UIHostRecord& r) { applied = r.session->apply(); };
    ASSERT_TRUE(sheet.open());
    ASSERT_TRUE(sheet.show(1));
    uihost::DialogRun page(sheet.pageWindow(1));
    EXPECT_EQ(SendMessageW(page.item(71), BM_GETCHECK, 0, 0), BST_UNCHECKED);

    // The question is cancelled: the click is undone, the box follows.
    uihost::scriptMessageBox([](const uihost::MessageBoxCall& call) {
      EXPECT_EQ(call.text, u"Stapling needs the stapler. Go on?");
      EXPECT_EQ(call.style, static_cast<UINT>(MB_OKCANCEL | MB_ICONINFORMATION));
      return static_cast<int32_t>(IDCANCEL);
    });
    page.click(71);
    EXPECT_EQ(staple(), 0);
    EXPECT_EQ(SendMessageW(page.item(71), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(record_.session->depth(), 0);

    // Answered OK, the click stays and the rule raises its notice.
    uihost::scriptMessageBox([](const uihost::MessageBoxCall&) { return static_cast<int32_t>(IDOK); });
    page.click(71);
    EXPECT_EQ(staple(), 1);
    EXPECT_EQ(GUIObject(record_.session).settingsValue(kNotice), 1);
    EXPECT_EQ(SendMessageW(page.item(71), BM_GETCHECK, 0, 0), BST_CHECKED);

    ASSERT_TRUE(sheet.ok());
    EXPECT_EQ(sheet.applies(), 1);
    EXPECT_EQ(applied, 603) << "no configuration store";
    EXPECT_EQ(uihost::logLines("WinExec").size(), 1u);
  }
  EXPECT_EQ(record_.session, nullptr);
  EXPECT_EQ(uires::resourceUseCount(), 0);
  EXPECT_EQ(record_.settings->findById(AttrId::UiScratch), nullptr);
}

TEST_F(TestPage, HelpGoesToThePageBaseOrTheItemsTable) {
  auto plugin = uihost::Plugin::fromEntries(entries(), u"qxui.dll");
  ASSERT_NE(plugin, nullptr);
  uihost::Sheet sheet(*plugin, record_);
  ASSERT_TRUE(sheet.open());
  ASSERT_TRUE(sheet.show(1));
  uihost::DialogRun page(sheet.pageWindow(1));
  auto helps = [] {
    std::vector<std::string> out;
    for (const std::string& line : uihost::logLines("WinHelpA")) out.push_back(line.substr(line.rfind('"') + 2));
    uihost::clearLog();
    return out;
  };
  uihost::clearLog();
  page.click(9);
  EXPECT_EQ(helps(), std::vector<std::string>{"1 700 -> 1"});
  PSHNOTIFY notice;
  notice.hdr.code = PSN_HELP;
  (void)SendMessageW(page.window(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notice));  // the dialog's answer
  EXPECT_EQ(helps(), std::vector<std::string>{"1 700 -> 1"});
  page.help(71);
  EXPECT_EQ(helps(), std::vector<std::string>{"12 pairs 71:701 -> 1"});
  page.help(73);  // every help id of its control is -1
  EXPECT_TRUE(helps().empty());
  sheet.cancel();
}

}  // namespace
