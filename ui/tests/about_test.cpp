// The About dialog: its title from the module's strings and the build
// text, the installed options and product lines it lists, and the logo
// button that draws the logo and opens it.

#include "core/attrids.h"
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/attrib.h"
#include "core/dispstr.h"
#include "core/valattr.h"
#include "device/config.h"
#include "device/pericomp.h"
#include "host/uihost/state.h"
#include "host/uihost/uihost.h"
#include "testkit/ui/hosthooks.h"
#include "ui/about.h"
#include "ui/session.h"
#include "ui/uiids.h"
#include "ui/uires.h"

namespace {

const char* const kDialogs = R"(string 5200 "Stapler"
dialog 11520 30 30 250 150 "About"
item 11521 static 8 8 234 10 ""
item 11522 listbox 8 22 150 70 ""
item 11525 button 166 22 76 70 "" ownerdraw
item 11523 static 8 98 234 10 ""
item 11524 static 8 110 234 10 ""
item 11526 static 8 122 234 10 "" hidden
item 1 button 192 132 50 14 "OK" default
dialog 90 0 0 300 200 "Page"
item 11525 button 8 8 76 70 "" ownerdraw
item 2 button 100 8 40 14 "Cancel"
bitmap 11251 16 8 24 0xFFFFFF
rect 2 2 10 4 0x003C78
bitmap 11252 16 8 1 0xFFFFFF
rect 2 2 10 4 0x000000
)";

std::vector<std::string> blits() {
  std::vector<std::string> rops;
  for (const std::string& line : uihost::logLines("gdi BitBlt")) rops.push_back(line.substr(line.rfind("rop=") + 4));
  return rops;
}

std::vector<std::u16string> listed(HWND list) {
  std::vector<std::u16string> out;
  const LRESULT n = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < n; ++i) {
    char16_t text[256] = {};
    const LRESULT length = SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    out.emplace_back(text, static_cast<size_t>(length < 0 ? 0 : length));
  }
  return out;
}

class About : public UIHostTest {
 protected:
  void TearDown() override {
    while (uires::resourceUseCount()) uires::releaseResourceModule();
    UIHostTest::TearDown();
  }
  // A resource module of the dialogs and the About strings, the build text
  // and the optional line as given (none for null).
  void loadModule(const char16_t* name, const char* build, const char* optional) {
    std::string text = std::string(kDialogs) + "string 11015 \"QX\"\nstring 11016 \" driver\"\nstring 11017 \"!\"\n";
    if (build) text += std::string("string 11018 \"") + build + "\"\n";
    if (optional) text += std::string("string 11019 \"") + optional + "\"\n";
    ASSERT_TRUE(uihost::registerModule(name, {}, text));
    ASSERT_TRUE(uires::loadResourceModule(RWWString(name)));
  }
};

TEST_F(About, TheTitleTakesTheBuildTextUnlessItStartsWithADash) {
  struct Row {
    const char16_t* module;
    const char* build;
    const char* optional;
    std::u16string title;
  } rows[] = {
      {u"about1.dll", "-x", nullptr, u"QX driver !"},
      {u"about2.dll", "a_b", nullptr, u"QX driver - Bld. a b!"},
      {u"about3.dll", "1.2", "Made here", u"QX driver - Bld. 1.2!"},
      {u"about4.dll", nullptr, nullptr, u"QX driver !"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.build ? row.build : "no build text");
    loadModule(row.module, row.build, row.optional);
    uihost::scriptDialog(about::kDialog, [&](uihost::DialogRun& run) {
      EXPECT_EQ(run.text(about::kTitleItem), row.title);
      EXPECT_EQ(IsWindowVisible(run.item(about::kOptionalLineItem)) != 0, row.optional != nullptr);
      if (row.optional) {
        EXPECT_EQ(run.text(about::kOptionalLineItem), u"Made here");
      }
      EXPECT_EQ(IsWindowEnabled(run.item(about::kOptionsItem)), 0) << "no model, no options";
      run.click(IDOK);
    });
    EXPECT_EQ(DialogBoxParamW(uires::resourceModule(), MAKEINTRESOURCEW(about::kDialog), 0, &aboutDialogProc, 0),
              IDOK);
    uires::releaseResourceModule();
  }
}

TEST_F(About, TheLogoButtonDrawsTheLogoAndOpensTheAboutWithTheOptions) {
  loadModule(u"aboutpage.dll", "7", nullptr);
  // The printer's installed options: a name from the module's strings, one
  // from its own text, and a child that names nothing.
  auto* config = new GConfiguration(198);
  auto* options = new GAttributeComposite(AttrId::InstalledOptions);
  options->insert(new GDisplayStringAttribute(5200, "unused", nullptr));
  options->insert(new GDisplayStringAttribute(4999, "Duplex unit", nullptr));
  options->insert(new GValueAttribute(1, 0));
  config->insert(options);
  GPeripheralComposite root("root", nullptr, config, 353);
  GAttributeComposite settings(360);
  settings.insert(new GDisplayStringAttribute(UiId::kAboutLine515, 4999, "QX 9000", nullptr));
  settings.insert(new GDisplayStringAttribute(UiId::kAboutLine516, 4999, " PS", nullptr));
  UIHostRecord record;
  record.configuration = &root;
  record.settings = &settings;
  GUISession session(&record);

  GSubDialog page(90, &session, false, 0xFFFF);
  auto model = std::make_unique<GInstalledOptionsModel>(&session);
  GInstalledOptionsModel* options_ = model.get();
  const GHelpPair table[] = {{about::kPictureItem, -1}, {0, 0}};
  page.addControl(new GLogoButton(table, std::move(model)));

  const std::string copy = uihost::hex(SRCCOPY), invert = uihost::hex(SRCINVERT), mask = uihost::hex(SRCAND);
  const std::vector<std::string> masked{copy, invert, mask, invert, copy};
  uihost::clearLog();
  uihost::scriptDialog(90, [&](uihost::DialogRun& run) {
    EXPECT_EQ(blits(), masked) << "the page's logo, through its mask";
    uihost::clearLog();
    uihost::scriptDialog(about::kDialog, [&](uihost::DialogRun& box) {
      EXPECT_EQ(blits(), masked) << "the About's logo";
      EXPECT_NE(IsWindowEnabled(box.item(about::kOptionsItem)), 0);
      EXPECT_EQ(listed(box.item(about::kOptionsItem)), (std::vector<std::u16string>{u"Stapler", u"Duplex unit"}));
      EXPECT_EQ(box.text(about::kFirstLineItem), u"QX 9000 PS");
      EXPECT_EQ(box.text(about::kSecondLineItem), u"") << "no 517";
      // Centred over the page.
      RECT outer, inner;
      GetWindowRect(run.window(), &outer);
      GetWindowRect(box.window(), &inner);
      EXPECT_LE(std::abs((outer.left + outer.right) - (inner.left + inner.right)), 1);
      EXPECT_LE(std::abs((outer.top + outer.bottom) - (inner.top + inner.bottom)), 1);
      box.click(IDOK);
    });
    run.click(about::kPictureItem);
    EXPECT_EQ(uihost::logLines("DialogBoxParamW 11520 ->").size(), 1u);
    EXPECT_TRUE(options_->names().empty()) << "the names moved into the list";
    run.click(IDCANCEL);
  });
  EXPECT_EQ(page.run(0, false), IDCANCEL);
}

}  // namespace
