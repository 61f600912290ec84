// The resource module's use count, strings, item texts, bitmaps and the
// value-to-string tables.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/uihost/state.h"
#include "host/uihost/uihost.h"
#include "testkit/ui/hosthooks.h"
#include "ui/uires.h"

namespace {

const char* const kResources = R"(string 7 "Seven"
dialog 50 0 0 100 60 "Test"
item 51 static 8 8 80 10 "Shown"
item 52 button 8 24 80 30 "" ownerdraw
item 2 button 50 8 40 10 "Cancel"
bitmap 60 16 8 24 0xC0C0C0
rect 2 2 10 6 0x000080
bitmap 61 16 8 1 0xFFFFFF
)";

class Resources : public UIHostTest {
 protected:
  void SetUp() override {
    UIHostTest::SetUp();
    ASSERT_TRUE(uihost::registerModule(u"qxtestres.dll", {}, kResources));
  }
  void TearDown() override {
    while (uires::resourceUseCount()) uires::releaseResourceModule();
    UIHostTest::TearDown();
  }
  // Runs dialog 50 of the loaded module with the script.
  void inDialog(std::function<void(uihost::DialogRun&)> script) {
    uihost::scriptDialog(50, [script](uihost::DialogRun& run) {
      script(run);
      run.click(IDCANCEL);
    });
    (void)DialogBoxParamW(uires::resourceModule(), MAKEINTRESOURCEW(50), 0,
                          [](HWND d, UINT m, WPARAM w, LPARAM) -> INT_PTR {
                            if (m == WM_COMMAND && LOWORD(w) == IDCANCEL) EndDialog(d, IDCANCEL);
                            return m == WM_INITDIALOG;
                          },
                          0);
  }
  static std::vector<std::string> blits() {
    std::vector<std::string> rops;
    for (const std::string& line : uihost::logLines("gdi BitBlt"))
      rops.push_back(line.substr(line.rfind("rop=") + 4));
    return rops;
  }
};

TEST_F(Resources, TheUseCountHoldsOnlyWhileAHandleIsHeld) {
  ASSERT_TRUE(uires::loadResourceModule(RWWString(u"QXTESTRES.DLL")));
  ASSERT_TRUE(uires::loadResourceModule(RWWString(u"qxtestres.dll")));
  uires::releaseResourceModule();
  EXPECT_NE(uires::resourceModule(), 0u);
  RWWString text;
  EXPECT_EQ(uires::loadResourceString(7, text), 5);
  EXPECT_EQ(uires::loadResourceString(8, text), 0);
  EXPECT_EQ(text.length(), 0u);
  uires::releaseResourceModule();
  EXPECT_EQ(uires::resourceModule(), 0u);

  // A failed load counts nothing, and the next one tries again.
  EXPECT_FALSE(uires::loadResourceModule(RWWString(u"missing.dll")));
  EXPECT_EQ(uires::resourceUseCount(), 0);
  EXPECT_TRUE(uires::loadResourceModule(RWWString(u"qxtestres.dll")));
  EXPECT_EQ(uires::resourceUseCount(), 1);
}

int setTexts = 0;
WNDPROC original = nullptr;
LRESULT countingProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_SETTEXT) ++setTexts;
  return CallWindowProcW(original, w, m, wp, lp);
}

TEST_F(Resources, ItemTextIsSetOnlyWhenItDiffers) {
  ASSERT_TRUE(uires::loadResourceModule(RWWString(u"qxtestres.dll")));
  inDialog([](uihost::DialogRun& run) {
    const HWND item = run.item(51);
    original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(item, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&countingProc)));
    setTexts = 0;
    uires::setItemTextIfDifferent(run.window(), 51, RWWString(u"Shown"));
    EXPECT_EQ(setTexts, 0);
    uires::setItemTextIfDifferent(run.window(), 51, RWWString(u"Show"));
    EXPECT_EQ(setTexts, 1);
    EXPECT_EQ(run.text(51), u"Show");
  });
}

TEST_F(Resources, MaskedDrawingAndMissingBitmaps) {
  ASSERT_TRUE(uires::loadResourceModule(RWWString(u"qxtestres.dll")));
  const std::string copy = uihost::hex(SRCCOPY), invert = uihost::hex(SRCINVERT), mask = uihost::hex(SRCAND);
  inDialog([&](uihost::DialogRun& run) {
    const HWND item = run.item(52);
    uihost::clearLog();
    uires::drawBitmapMasked(item, 4, 4, 60, 61);
    EXPECT_EQ(blits(), (std::vector<std::string>{copy, invert, mask, invert, copy}));
    const RECT size = uires::bitmapSize(60);
    EXPECT_EQ(size.right, 16);
    EXPECT_EQ(size.bottom, 8);

    struct Row {
      const char* what;
      uint16_t id, maskId;
      int32_t style;
    } rows[] = {
        {"plain", 99, 0, 0},
        {"on the face", 99, 0, 1},
        {"masked", 99, 61, 2},
        {"masked, the mask missing", 60, 98, 2},
    };
    for (const Row& row : rows) {
      SCOPED_TRACE(row.what);
      uihost::clearLog();
      uires::drawBitmapAligned(item, row.id, row.maskId, 0, row.style);
      EXPECT_TRUE(blits().empty());
    }
    EXPECT_EQ(uires::bitmapSize(99).right, 0);
  });
}

TEST(ValueTables, AsOneTable) {
  using F = uint16_t (*)(uint16_t);
  struct Row {
    const char* what;
    F f;
    uint16_t value, id;
  } rows[] = {
      {"two-state A", uires::twoStateA, 1, 11302},  {"two-state A", uires::twoStateA, 2, 0xFFFF},
      {"six-state", uires::sixState, 7, 13000},     {"six-state", uires::sixState, 12, 13005},
      {"six-state", uires::sixState, 6, 0xFFFF},    {"input source", uires::inputSourceName, 0, 11150},
      {"input source", uires::inputSourceName, 1, 0xFFFF}, {"input source", uires::inputSourceName, 4, 11158},
      {"seven-state", uires::sevenState, 3, 12123}, {"seven-state", uires::sevenState, 4, 12130},
      {"seven-state", uires::sevenState, 7, 0xFFFF}, {"eleven-state", uires::elevenState, 8, 11040},
      {"eleven-state", uires::elevenState, 10, 13525}, {"eleven-state", uires::elevenState, 11, 0xFFFF},
      {"four-state", uires::fourState, 3, 11050},   {"four-state", uires::fourState, 4, 0xFFFF},
      {"two-state B", uires::twoStateB, 0, 11351},  {"two-state B", uires::twoStateB, 0xFFFF, 0xFFFF},
  };
  for (const Row& row : rows) EXPECT_EQ(row.f(row.value), row.id) << row.what << " " << row.value;
  for (uint16_t n : {7, 8, 16, 17}) EXPECT_EQ(uires::isBinNumberInRange(n), n == 8 || n == 16) << n;
}

}  // namespace
