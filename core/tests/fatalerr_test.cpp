// Fatal errors, the memory reserve, the build's identification and the
// text conversions.

#include <gtest/gtest.h>

#include <new>

#include "core/newhndlr.h"
#include "core/textconv.h"
#include "fakefactory.h"

namespace {

// ---- reportFatalError ----------------------------------------------------------------

TEST(FatalError, KindsDecideWhatHappens) {
  const struct {
    int32_t kind;
    std::vector<std::string> events;
  } cases[] = {
      {3, {}},
      {0, {}},
      {1, {"abort"}},
      {2, {"shutdown", "abort"}},
  };
  for (const auto& c : cases) {
    FatalLog log;
    reportFatalError(c.kind, 501, "drvrsrvr", 432, RWCString());
    EXPECT_EQ(log.events, c.events) << c.kind;
    if (!log.aborts.empty()) {
      EXPECT_EQ(log.aborts[0].kind, c.kind);
      EXPECT_EQ(log.aborts[0].id, 501);
      EXPECT_EQ(log.aborts[0].source, "drvrsrvr");
      EXPECT_EQ(log.aborts[0].line, 432);
    }
  }
}

TEST(FatalError, ReportTexts) {
  EXPECT_EQ(fatalErrorText(2, 301),
            "There has been a critical error and the printer driver cannot continue.  Save your work, "
            "and exit the current application.  (Error id = 301)");
  EXPECT_EQ(fatalErrorText(1, 65535), "Error id = 65535  (No error string table, yet...)");
  EXPECT_EQ(fatalErrorText(3, 0), "Error id = 0  (No error string table, yet...)");
}

TEST(FatalErrorDeathTest, DefaultAbortEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(reportFatalError(1, 101, "newhndlr", 444, RWCString()), "");
}

// ---- the memory reserve --------------------------------------------------------------

void sentinelHandler() {}

class Reserve : public ::testing::Test {
 protected:
  void SetUp() override { previous_ = std::set_new_handler(sentinelHandler); }
  void TearDown() override {
    removeNewHandler();
    std::set_new_handler(previous_);
  }

 private:
  std::new_handler previous_ = nullptr;
};

TEST_F(Reserve, WithoutAFactoryNothingChanges) {
  ASSERT_EQ(GOSFactory::instance(), nullptr);
  installNewHandler(4096);
  EXPECT_EQ(std::get_new_handler(), sentinelHandler);
  EXPECT_FALSE(newHandlerHoldsReserve());
  EXPECT_EQ(newHandlerReserveSize(), 1024u);
}

TEST_F(Reserve, InstallResizeAndRemove) {
  InstalledFake fake;
  installNewHandler(0);
  EXPECT_NE(std::get_new_handler(), sentinelHandler);
  EXPECT_TRUE(newHandlerHoldsReserve());
  EXPECT_EQ(newHandlerReserveSize(), 1024u);
  EXPECT_EQ(fake.factory->mutexesMade, 1) << "the reserve's lock";

  std::new_handler installed = std::get_new_handler();
  installNewHandler(0);
  EXPECT_EQ(newHandlerReserveSize(), 1024u) << "size 0 keeps the size";
  EXPECT_EQ(std::get_new_handler(), installed) << "installed once";
  installNewHandler(8192);
  EXPECT_EQ(newHandlerReserveSize(), 8192u);
  EXPECT_TRUE(newHandlerHoldsReserve());
  installNewHandler(0);
  EXPECT_EQ(newHandlerReserveSize(), 8192u) << "size 0 keeps a size set before, not the first one";
  EXPECT_TRUE(newHandlerHoldsReserve());

  removeNewHandler();
  EXPECT_EQ(std::get_new_handler(), sentinelHandler);
  EXPECT_FALSE(newHandlerHoldsReserve());
  removeNewHandler();  // a second removal finds nothing to do
  EXPECT_EQ(std::get_new_handler(), sentinelHandler);
  installNewHandler(1024);  // leave the size as the next tests expect it
  removeNewHandler();
}

int releases = 0;
bool freedSomething() {
  ++releases;
  return true;
}
bool freedNothing() {
  ++releases;
  return false;
}

TEST_F(Reserve, HandlerGivesTheReserveAndMakesItAgain) {
  InstalledFake fake;
  installNewHandler(0);
  GMemoryReleaseHook previous = setMemoryReleaseHook(freedSomething);
  FatalLog log;
  releases = 0;
  EXPECT_EQ(reserveNewHandler(), 1);
  EXPECT_EQ(releases, 1);
  EXPECT_TRUE(newHandlerHoldsReserve());
  EXPECT_TRUE(log.events.empty());
  setMemoryReleaseHook(previous);
}

TEST_F(Reserve, NothingToReleaseIsFatal) {
  InstalledFake fake;
  installNewHandler(0);
  GMemoryReleaseHook previous = setMemoryReleaseHook(freedNothing);
  FatalLog log;
  releases = 0;
  EXPECT_EQ(reserveNewHandler(), 0);
  EXPECT_EQ(releases, 1);
  ASSERT_EQ(log.aborts.size(), 1u);
  EXPECT_EQ(log.aborts[0].id, 101);
  EXPECT_EQ(log.aborts[0].kind, 2);
  EXPECT_EQ(log.aborts[0].source, "gbnewhnd");
  EXPECT_EQ(log.aborts[0].line, 148);
  EXPECT_EQ(log.events.front(), "shutdown");
  EXPECT_EQ(log.events.back(), "abort");

  // The reserve is gone now: the next failure has nothing to give.
  log.aborts.clear();
  releases = 0;
  EXPECT_EQ(reserveNewHandler(), 0);
  EXPECT_EQ(releases, 0);
  ASSERT_EQ(log.aborts.size(), 1u);
  EXPECT_EQ(log.aborts[0].id, 101);
  EXPECT_EQ(log.aborts[0].source, "newhndlr");
  EXPECT_EQ(log.aborts[0].line, 444);

  // The handler the allocator calls can only give up by failing the
  // allocation.
  EXPECT_THROW(std::get_new_handler()(), std::bad_alloc);
  setMemoryReleaseHook(previous);
}

// ---- text conversions and the build --------------------------------------------------------

TEST(TextConversion, NarrowAndWide) {
  const struct {
    std::u16string wide;
    std::string narrow;
  } cases[] = {
      {u"PORT1:", "PORT1:"},
      {u"Caf\u00e9", "Caf\xE9"},
      {u"\u20ac 5", "\x80 5"},
      {u"\u4e2d", "?"},
      {u"", ""},
  };
  for (const auto& c : cases) {
    RWCString narrow("stale");
    EXPECT_EQ(convertToNarrow(RWWString(c.wide.data(), static_cast<RWsize>(c.wide.size())), narrow), 1);
    EXPECT_EQ(std::string(narrow.data(), narrow.length()), c.narrow);
  }
  RWWString wide;
  EXPECT_EQ(convertToWide(RWCString("Caf\xE9 \x80"), wide), 1);
  EXPECT_EQ(std::u16string(wide.data(), wide.length()), u"Caf\u00e9 \u20ac");
  EXPECT_EQ(convertToWide(static_cast<const char*>(nullptr), wide), 1);
  EXPECT_TRUE(wide.isNull());
  RWWString copy;
  EXPECT_EQ(copyWide(RWWString(u"x\\y"), copy), 1);
  EXPECT_EQ(std::u16string(copy.data(), copy.length()), u"x\\y");
}

TEST(BuildInformation, WordsAndStrings) {
  uint32_t first = 0, second = 0;
  getBuildVersion(first, second);
  EXPECT_EQ(first, 0x00040002u);
  EXPECT_EQ(second, 0x00010008u);
  EXPECT_STREQ(buildDate(), "Mar 21 2000");
  EXPECT_STREQ(buildTime(), "17:13:14");
  EXPECT_EQ(buildQuery1() + buildQuery2() + buildQuery3(), 0u);
}

}  // namespace
