#include <dlfcn.h>

#include <fstream>
#include <functional>
#include <iterator>

#include "host/engine/tests/fixture.h"

namespace {

std::vector<std::string> calls() {
  std::vector<std::string> out;
  for (std::string line : eng::debugLines()) {
    if (!line.empty() && line.back() == '\n') line.pop_back();
    out.push_back(line);
  }
  return out;
}

bool stillLoaded(const char* path) {
  void* h = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
  if (h) dlclose(h);
  return h != nullptr;
}

void setNumber(HANDLE printer, const char16_t* name, ULONG value) {
  ASSERT_EQ(EngSetPrinterData(printer, const_cast<LPWSTR>(name), REG_DWORD, reinterpret_cast<BYTE*>(&value), 4), 0u);
}

void setText(HANDLE printer, const char16_t* name, const std::u16string& text) {
  ASSERT_EQ(EngSetPrinterData(printer, const_cast<LPWSTR>(name), REG_SZ,
                              reinterpret_cast<BYTE*>(const_cast<char16_t*>(text.data())),
                              static_cast<DWORD>(text.size() * 2)),
            0u);
}

eng::Operation op(eng::Operation::Kind kind) {
  eng::Operation o;
  o.kind = kind;
  o.rect = {10, 20, 110, 220};
  return o;
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

using LoaderTest = EngineTest;

TEST_F(LoaderTest, ARefusalOrAMissingEntryNamesItAndUnloadsTheImage) {
  struct Case {
    const char* path;
    const char* error;
    std::vector<std::string> calls;
  } cases[] = {
      {DOUBLE_REFUSE, "DrvEnableDriver failed (last error 50)", {"DrvEnableDriver version=20000 size=1"}},
      {DOUBLE_NOPDEV, "the driver's table has no DrvEnablePDEV",
       {"DrvEnableDriver version=20000 size=1", "DrvDisableDriver"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    eng::reset();
    eng::Driver driver;
    EXPECT_EQ(driver.load(c.path), c.error);
    EXPECT_FALSE(driver.loaded());
    EXPECT_FALSE(stillLoaded(c.path));
    EXPECT_EQ(calls(), c.calls);
  }
  eng::reset();
}

TEST_F(LoaderTest, TheImagePathAnswersForModuleZero) {
  eng::Driver driver;
  ASSERT_EQ(driver.load(DOUBLE_PLAIN), "");
  WCHAR path[MAX_PATH + 1];
  ASSERT_TRUE(EngGetFilePath(nullptr, &path));
  EXPECT_EQ(std::u16string(path), u"\\SystemRoot\\System32\\spool\\drivers\\w32x86\\2\\engine_testdriver_plain.so");
  EXPECT_NE(driver.entry(INDEX_DrvStartDoc), nullptr);
  EXPECT_EQ(driver.entry(INDEX_DrvStartBanding), nullptr);
  driver.unload();
  EXPECT_FALSE(stillLoaded(DOUBLE_PLAIN));
}

// One table of scenarios: what the printer's values set up, what is played,
// the calls the driver sees with their key arguments, and the error.
struct Scenario {
  const char* name;
  std::function<void(HANDLE)> values;
  std::function<std::string(eng::Player&, HANDLE)> play;
  std::vector<std::string> calls;
  std::string error;
};

void PrintTo(const Scenario& s, std::ostream* out) { *out << s.name; }

class CallOrderTest : public EngineTest, public ::testing::WithParamInterface<Scenario> {};

namespace {

const std::vector<std::string> kOpen = {
    "DrvEnableDriver version=20000 size=1",
    "DrvEnablePDEV pdev=1 device=Office Laser port=LPT1: dm=220 cPat=6 caps=1 devinfo=1 hdev=1",
    "DrvCompletePDEV pdev=1", "DrvEnableSurface pdev=1"};

std::vector<std::string> join(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

eng::Document twoPages() {
  eng::Document doc;
  doc.name = u"Report";
  eng::Operation paint = op(eng::Operation::Paint);
  paint.clip = {{0, 0, 50, 40}, {0, 40, 80, 90}};
  eng::Operation hatched = op(eng::Operation::BitBlt);
  hatched.color = 0xFFFFFFFF;
  hatched.rop4 = 0xF0F0;
  eng::Operation text = op(eng::Operation::Text);
  text.text = u"Hello there";
  text.codePage = 932;
  eng::Operation escape = op(eng::Operation::Escape);
  escape.escape = 4100;
  escape.data = {1, 2, 3};
  doc.pages = {{{paint, hatched, hatched}}, {{text, op(eng::Operation::Stroke), escape}}};
  return doc;
}

const std::vector<std::string> kTwoPages = {
    "DrvStartDoc pdev=1 name=Report job=1",
    "DrvStartPage pdev=1",
    "DrvBitBlt pdev=1 rop4=f0f0 target=0,0,80,90 rects=2 brush=00000000",
    "DrvRealizeBrush pdev=1 hatch=4 pattern=8x8",
    "DrvBitBlt pdev=1 rop4=f0f0 target=10,20,110,220 rects=1 brush=80000004",
    "DrvRealizeBrush pdev=1 hatch=4 pattern=8x8",
    "DrvBitBlt pdev=1 rop4=f0f0 target=10,20,110,220 rects=1 brush=80000004",
    "DrvSendPage pdev=1 abort=0",
    "DrvStartPage pdev=1",
    "DrvTextOut pdev=1 mix=0d0d glyphs=11 cp=932 rows=2 rects=1 brush=00000000",
    "DrvStrokePath pdev=1 mix=0d0d points=4 rects=1 brush=00000000",
    "DrvEscape pdev=1 esc=4100 in=3",
    "DrvSendPage pdev=1 abort=0",
    "DrvEndDoc pdev=1 flags=0",
    "DrvDestroyFont consumer=1"};

const std::vector<std::string> kClose = {"DrvDisableSurface pdev=1", "DrvDisablePDEV pdev=1", "DrvDisableDriver"};

std::string playTwoPages(eng::Player& player, HANDLE) {
  eng::Document doc = twoPages();
  std::string error = player.play(doc);
  EXPECT_EQ(doc.pages[1].ops[2].answer, 4u);
  return error;
}

const Scenario kScenarios[] = {
    {"TwoPages", [](HANDLE) {}, playTwoPages, join({kOpen, kTwoPages, kClose}), ""},
    {"Aborted",
     [](HANDLE) { eng::knobs().abortAfterPage = 1; },
     [](eng::Player& player, HANDLE) {
       eng::Document doc;
       doc.name = u"Stop";
       doc.pages.resize(3);
       doc.abortAfterPage = 1;
       return player.play(doc);
     },
     join({kOpen,
           {"DrvStartDoc pdev=1 name=Stop job=1", "DrvStartPage pdev=1", "DrvSendPage pdev=1 abort=0",
            "DrvStartPage pdev=1", "DrvSendPage pdev=1 abort=1", "DrvEndDoc pdev=1 flags=1"},
           kClose}),
     ""},
    {"ResetOutsideADocument", [](HANDLE) {},
     [](eng::Player& player, HANDLE) {
       eng::PublicDevMode dm;
       dm.orientation = 2;
       std::string error = player.reset(eng::publicDevMode(dm));
       if (!error.empty()) return error;
       eng::Document doc;
       doc.name = u"After";
       doc.pages.resize(1);
       return player.play(doc);
     },
     join({kOpen,
           {"DrvDisableSurface pdev=1",
            "DrvEnablePDEV pdev=2 device=Office Laser port=LPT1: dm=220 cPat=6 caps=1 devinfo=1 hdev=1",
            "DrvCompletePDEV pdev=2", "DrvResetPDEV old=1 new=2", "DrvDisablePDEV pdev=1",
            "DrvEnableSurface pdev=2", "DrvStartDoc pdev=2 name=After job=1", "DrvStartPage pdev=2",
            "DrvSendPage pdev=2 abort=0", "DrvEndDoc pdev=2 flags=0", "DrvDisableSurface pdev=2",
            "DrvDisablePDEV pdev=2", "DrvDisableDriver"}}),
     ""},
    {"ResetBetweenPages", [](HANDLE) {},
     [](eng::Player& player, HANDLE) {
       eng::Document doc;
       doc.name = u"Mixed";
       doc.pages.resize(2);
       doc.resetAfterPage = 0;
       doc.resetDevMode = eng::publicDevMode({});
       return player.play(doc);
     },
     join({kOpen,
           {"DrvStartDoc pdev=1 name=Mixed job=1", "DrvStartPage pdev=1", "DrvSendPage pdev=1 abort=0",
            "DrvEnablePDEV pdev=2 device=Office Laser port=LPT1: dm=220 cPat=6 caps=1 devinfo=1 hdev=1",
            "DrvCompletePDEV pdev=2", "DrvResetPDEV old=1 new=2", "DrvDisableSurface pdev=1",
            "DrvDisablePDEV pdev=1", "DrvEnableSurface pdev=2", "DrvStartDoc pdev=2 name=Mixed job=1",
            "DrvStartPage pdev=2", "DrvSendPage pdev=2 abort=0", "DrvEndDoc pdev=2 flags=0",
            "DrvDisableSurface pdev=2", "DrvDisablePDEV pdev=2", "DrvDisableDriver"}}),
     ""},
    {"PaintHookedGoesToDrvPaint", [](HANDLE h) { setNumber(h, u"Hooks", 0x47B); },
     [](eng::Player& player, HANDLE) {
       eng::Document doc;
       doc.pages = {{{op(eng::Operation::Paint)}}};
       return player.play(doc);
     },
     join({kOpen,
           {"DrvStartDoc pdev=1 name= job=1", "DrvStartPage pdev=1", "DrvPaint pdev=1 mix=0d0d rects=1 brush=00000000",
            "DrvSendPage pdev=1 abort=0", "DrvEndDoc pdev=1 flags=0"},
           kClose}),
     ""},
    {"UnhookedStrokeNeedsTheRasterTier", [](HANDLE h) { setNumber(h, u"Hooks", 0x4EB & ~0x20u); },
     [](eng::Player& player, HANDLE) {
       eng::Document doc;
       doc.pages = {{{op(eng::Operation::Stroke)}}};
       return player.play(doc);
     },
     join({kOpen, {"DrvStartDoc pdev=1 name= job=1", "DrvStartPage pdev=1", "DrvEndDoc pdev=1 flags=1"}, kClose}),
     "a stroke needs the raster tier"},
    {"BandingSurfaceNeedsTheRasterTier", [](HANDLE h) { setNumber(h, u"Banding", 1); },
     [](eng::Player& player, HANDLE) {
       eng::Document doc;
       doc.pages.resize(1);
       return player.play(doc);
     },
     join({kOpen, {"DrvStartDoc pdev=1 name= job=1", "DrvEndDoc pdev=1 flags=1"}, kClose}),
     "a surface marked for banding needs the raster tier"},
    {"FailedPageEndsTheDocumentAborted", [](HANDLE h) { setText(h, u"FailEntry", u"DrvSendPage"); },
     [](eng::Player& player, HANDLE) {
       eng::Document doc;
       doc.pages.resize(2);
       return player.play(doc);
     },
     join({kOpen,
           {"DrvStartDoc pdev=1 name= job=1", "DrvStartPage pdev=1", "DrvSendPage pdev=1 abort=0",
            "DrvSendPage pdev=1 fails", "DrvEndDoc pdev=1 flags=1"},
           kClose}),
     "DrvSendPage failed (last error 87)"},
    {"FailedDrawingEndsTheDocumentAborted", [](HANDLE h) { setText(h, u"FailEntry", u"DrvFillPath"); },
     [](eng::Player& player, HANDLE) {
       eng::Document doc;
       doc.pages = {{{op(eng::Operation::Fill)}}};
       return player.play(doc);
     },
     join({kOpen,
           {"DrvStartDoc pdev=1 name= job=1", "DrvStartPage pdev=1",
            "DrvFillPath pdev=1 mix=0d0d points=4 rects=1 brush=00000000", "DrvFillPath pdev=1 fails",
            "DrvEndDoc pdev=1 flags=1"},
           kClose}),
     "DrvFillPath failed (last error 87)"},
};

}  // namespace

TEST_P(CallOrderTest, CallsComeInTheEnginesOrder) {
  const Scenario& s = GetParam();
  s.values(printer);
  eng::Driver driver;
  ASSERT_EQ(driver.load(DOUBLE_PLAIN), "");
  {
    eng::Player player(driver, printer);
    ASSERT_EQ(player.open(eng::publicDevMode({})), "");
    EXPECT_EQ(s.play(player, printer), s.error);
    EXPECT_EQ(player.close(), "");
  }
  driver.unload();
  EXPECT_EQ(calls(), s.calls);
  EXPECT_EQ(eng::misuse(), std::vector<std::string>());
  // The job file holds what the driver wrote while its job was open.
  auto jobs = eng::jobFiles(printer);
  ASSERT_EQ(jobs.size(), 1u);
  std::string bytes = slurp(jobs[0]);
  EXPECT_EQ(bytes.rfind("DOC\n", 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(Engine, CallOrderTest, ::testing::ValuesIn(kScenarios),
                         [](const testing::TestParamInfo<Scenario>& info) { return std::string(info.param.name); });

using PlayerTest = EngineTest;

TEST_F(PlayerTest, AFailedEnablePdevNamesItAndLeavesNothing) {
  setText(printer, u"FailEntry", u"DrvEnablePDEV");
  eng::Driver driver;
  ASSERT_EQ(driver.load(DOUBLE_PLAIN), "");
  eng::Player player(driver, printer);
  EXPECT_EQ(player.open({}), "DrvEnablePDEV failed (last error 87)");
  EXPECT_EQ(player.close(), "the player is not open");
}

TEST_F(PlayerTest, ShortAndFailedWritesReachTheDriver) {
  eng::Driver driver;
  ASSERT_EQ(driver.load(DOUBLE_PLAIN), "");
  eng::Player player(driver, printer);
  ASSERT_EQ(player.open({}), "");
  eng::knobs().failWrites = true;
  eng::Document doc;
  doc.pages.resize(1);
  EXPECT_EQ(player.play(doc), "");
  EXPECT_EQ(eng::debugLines()[5], "EngWritePrinter failed 31\n");
  eng::knobs().failWrites = false;
  eng::knobs().shortWritesAfter = 0;
  EXPECT_EQ(player.play(doc), "");
  auto jobs = eng::jobFiles(printer);
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(slurp(jobs[0]), "");
  EXPECT_EQ(slurp(jobs[1]), "DOPAEN");  // each write took half
}
