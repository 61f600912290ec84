// The core's half of the platform services: the operations built on the
// other slots, the stream holders, the factory's lifetime and the
// converter's lazy instance.

#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <sstream>

#include "core/locale.h"
#include "core/osversn.h"
#include "core/state.h"
#include "core/valattr.h"
#include "fakefactory.h"
#include "fixtures.h"
#include "rw/factory.h"
#include "rw/pstream.h"

namespace {

RWWString wide(const char* s) { return RWWString(s); }

// Stores a number of all-ones words, and claims a store size of the
// test's choosing, so that its portable form can outgrow any guess.
class Wordy : public MPersistentObject {
 public:
  Wordy() = default;
  Wordy(uint32_t words, uint32_t claimed) : words_(words), claimed_(claimed) {}
  static RWClassID classIsA() { return TestClassId::Wordy; }
  RWClassID isA() const override { return classIsA(); }
  Wordy* newSpecies() const override { return new Wordy; }
  Wordy* copy() const override { return new Wordy(*this); }
  RWspace binaryStoreSize() const override { return claimed_; }
  void saveGuts(RWvostream& s) const override {
    MPersistentObject::saveGuts(s);
    s.putULong(words_);
    for (uint32_t i = 0; i < words_; ++i) s.putULong(0xFFFFFFFFu);
  }
  void restoreGuts(RWvistream& s) override {
    MPersistentObject::restoreGuts(s);
    s.getULong(words_);
    for (uint32_t i = 0; i < words_ && s.good(); ++i) {
      uint32_t w = 0;
      s.getULong(w);
    }
  }
  uint32_t words() const { return words_; }

 private:
  uint32_t words_ = 0;
  uint32_t claimed_ = 0;
};

RWCollectable* makeWordy() { return new Wordy; }
const RWFactoryRegistrar registerWordy(makeWordy, Wordy::classIsA(), "Wordy");

uint32_t portableSize(const RWCollectable* object) {
  std::ostringstream out;
  {
    RWpostream s(out);
    s << object;
  }
  return static_cast<uint32_t>(out.str().size());
}

// ---- temporary names ---------------------------------------------------------------

TEST(TemporaryName, BuildsFromDirectoryAndTemplate) {
  const struct {
    const char* what;
    const char* directory;
    const char* templ;
    const char* name;
  } cases[] = {
      {"no directory", "", "a&&b&&", "a09bAZ"},
      {"a separator is added", "C:\\tmp", "a&&b&&", "C:\\tmp\\a09bAZ"},
      {"a trailing separator is kept alone", "C:\\tmp\\", "a&&b&&", "C:\\tmp\\a09bAZ"},
      {"no place to vary", "", "FIXED.TXT", "FIXED.TXT"},
  };
  for (const auto& c : cases) {
    FakeFactory f;
    f.randoms = {0, 9, 10, 35};
    RWWString out;
    f.uniqueTemporaryName(out, wide(c.directory), wide(c.templ), 0);
    EXPECT_EQ(FakeFactory::narrow(out), c.name) << c.what;
    EXPECT_EQ(f.seeds, 1) << c.what;
    EXPECT_EQ(f.createChecks, 0) << c.what;
  }
}

TEST(TemporaryName, EmptyTemplateGivesAnEightDotThreeName) {
  // One factory at a time: making another deletes the held one.
  FakeFactory f;
  f.randoms = {1, 2, 3, 4, 5, 6, 7, 8, 30, 31, 32};
  RWWString out;
  f.uniqueTemporaryName(out, RWWString(), RWWString(), 0);
  EXPECT_EQ(FakeFactory::narrow(out), "12345678.UVW");
  f.randoms.clear();
  f.next = 0;
  for (int i = 0; i < 11; ++i) f.randoms.push_back(i * 97 + 13);
  f.uniqueTemporaryName(out, RWWString(), RWWString(), 0);
  EXPECT_TRUE(std::regex_match(FakeFactory::narrow(out), std::regex("[0-9A-Z]{8}\\.[0-9A-Z]{3}")));
}

TEST(TemporaryName, DrawsAgainWhileTheNameIsTakenOrCannotBeMade) {
  RWWString out;
  {
    FakeFactory f;
    f.randoms = {0, 1, 2};
    f.existing = {"X0"};
    f.uniqueTemporaryName(out, RWWString(), wide("X&"), 1);
    EXPECT_EQ(FakeFactory::narrow(out), "X1");
    EXPECT_EQ(f.asked, (std::vector<std::string>{"X0", "X1"}));
  }
  FakeFactory g;
  g.randoms = {0, 1, 2};
  g.uncreatable = {"X0", "X1"};
  g.uniqueTemporaryName(out, RWWString(), wide("X&"), 1);
  EXPECT_EQ(FakeFactory::narrow(out), "X2");
  g.next = 0;
  g.uniqueTemporaryName(out, RWWString(), wide("X&"), 0);
  EXPECT_EQ(FakeFactory::narrow(out), "X0") << "without the flag creation is not asked";
}

TEST(TemporaryName, GivesUpAfterBoundedAttempts) {
  RWWString out = wide("stale");
  {
    FakeFactory f;
    f.allUncreatable = true;
    f.uniqueTemporaryName(out, wide("\\ro"), wide("&&&"), 1);
    EXPECT_TRUE(out.isNull());
    EXPECT_GT(f.createChecks, 1);
    EXPECT_LE(f.createChecks, 1000);
  }

  FakeFactory g;
  g.existing = {"TAKEN"};
  out = wide("stale");
  g.uniqueTemporaryName(out, RWWString(), wide("TAKEN"), 0);
  EXPECT_TRUE(out.isNull()) << "a fixed name that exists cannot become free";
  EXPECT_EQ(g.asked.size(), 1u);
}

TEST(TemporaryName, LongTemplateIsCut) {
  FakeFactory f;
  std::string longName(300, 'n');
  RWWString out;
  f.uniqueTemporaryName(out, RWWString(), wide(longName.c_str()), 0);
  EXPECT_EQ(out.length(), 259u);
}

// ---- the base's plain slots -----------------------------------------------------------

TEST(FactoryBase, PlainSlots) {
  FakeFactory f;
  EXPECT_EQ(f.pathSeparator(), u'\\');
  RWWString t;
  EXPECT_EQ(FakeFactory::narrow(f.defaultTemporaryTemplate(t)), "&&&&&&&&.&&&");
  EXPECT_EQ(f.moduleWord(), 0u);
  EXPECT_EQ(f.setModuleWord(77), 77u);
  EXPECT_EQ(f.moduleWord(), 77u);
  EXPECT_TRUE(f.name().isNull());
  GDevice* device = reinterpret_cast<GDevice*>(&t);
  EXPECT_EQ(f.createErrorDevice(device), device);
  f.setTimeZoneOffset(60);
  f.deallocate(nullptr);
  void* p = f.allocate(16);
  EXPECT_NE(p, nullptr);
  f.deallocate(p);

  GOSVersionQueries* previous = GOSVersion::setQueries(nullptr);
  GOSVersion v(6, 1u, 2u);
  EXPECT_EQ(f.osVersion(v), GOSVersion()) << "a failing query passes on zeros";
  GOSVersion::setQueries(previous);
}

// ---- createMutexOnce --------------------------------------------------------------------

TEST(MutexOnce, FillsAnEmptySlotUnderTheFactoryLock) {
  InstalledFake fake;
  GOSMutex* slot = nullptr;
  fake.factory->createMutexOnce(slot);
  ASSERT_NE(slot, nullptr);
  EXPECT_EQ(fake.factory->mutexesMade, 1);
  EXPECT_EQ(fake.lock()->acquires, 1);
  EXPECT_EQ(fake.lock()->releases, 1);

  GOSMutex* kept = slot;
  fake.factory->createMutexOnce(slot);
  EXPECT_EQ(slot, kept);
  EXPECT_EQ(fake.factory->mutexesMade, 1);
  EXPECT_EQ(fake.lock()->acquires, 1) << "a filled slot takes no lock";
  delete slot;
}

TEST(MutexOnce, WithoutAFactoryLockCreatesUnlocked) {
  FakeFactory f;
  GOSMutex* slot = nullptr;
  f.createMutexOnce(slot);
  EXPECT_NE(slot, nullptr);
  delete slot;
}

TEST(MutexOnce, LockFailuresAreFatal) {
  const struct {
    int acquire, release;
    uint16_t id;
    int32_t line;
    int releases;
  } cases[] = {{1, 0, 301, 578, 0}, {0, -2, 302, 587, 1}};
  for (const auto& c : cases) {
    InstalledFake fake;
    fake.lock()->acquireResult = c.acquire;
    fake.lock()->releaseResult = c.release;
    FatalLog log;
    GOSMutex* slot = nullptr;
    fake.factory->createMutexOnce(slot);
    ASSERT_EQ(log.aborts.size(), 1u) << c.id;
    EXPECT_EQ(log.aborts[0].kind, 2);
    EXPECT_EQ(log.aborts[0].id, c.id);
    EXPECT_EQ(log.aborts[0].source, "osfactry");
    EXPECT_EQ(log.aborts[0].line, c.line);
    EXPECT_EQ(log.events, (std::vector<std::string>{"shutdown", "abort"}));
    EXPECT_EQ(fake.lock()->releases, c.releases) << "a lock not taken is not released";
    delete slot;
  }
}

// ---- named objects ----------------------------------------------------------------------

TEST(NamedObjects, RoundTrip) {
  FakeFactory f;
  GLocaleInfo locale(12);
  locale.setCountryName("Deutschland");
  ASSERT_EQ(f.putObject(nullptr, wide("Locale"), &locale), 1);
  EXPECT_EQ(f.allocations.front(), static_cast<uint32_t>(locale.binaryStoreSize() * 3 / 2));
  EXPECT_EQ(f.binaries["Locale"].size(), portableSize(&locale)) << "only the written bytes are kept";

  std::unique_ptr<MPersistentObject> back(f.getObject(nullptr, wide("Locale")));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->isA(), GLocaleInfo::classIsA());
  EXPECT_TRUE(back->matches(&locale));
}

TEST(NamedObjects, LargerPortableFormsTakeMoreAttempts) {
  Wordy sample(40, 0);
  const uint32_t portable = portableSize(&sample);
  const struct {
    uint32_t claimed;
    size_t attempts;
    int result;
  } cases[] = {{portable / 2, 2, 1}, {portable / 4, 3, 1}, {portable / 8, 3, 0}};
  for (const auto& c : cases) {
    FakeFactory f;
    Wordy object(40, c.claimed);
    EXPECT_EQ(f.putObject(nullptr, wide("W"), &object), c.result) << c.claimed;
    uint32_t first = c.claimed * 3 / 2;
    std::vector<uint32_t> sizes{first, first * 2, first * 4};
    sizes.resize(c.attempts);
    EXPECT_EQ(f.allocations, sizes) << c.claimed;
    EXPECT_EQ(f.binaries.count("W"), c.result ? 1u : 0u) << c.claimed;
    if (c.result) {
      std::unique_ptr<MPersistentObject> back(f.getObject(nullptr, wide("W")));
      ASSERT_NE(back, nullptr);
      EXPECT_EQ(static_cast<Wordy*>(back.get())->words(), 40u);
    }
  }
}

TEST(NamedObjects, AbsentOrDamagedGivesNull) {
  FakeFactory f;
  EXPECT_EQ(f.getObject(nullptr, wide("Nothing")), nullptr);
  EXPECT_TRUE(f.allocations.empty()) << "nothing is allocated for an absent name";

  f.binaries["Empty"] = "";
  EXPECT_EQ(f.getObject(nullptr, wide("Empty")), nullptr);

  f.binaries["Junk"] = "not a stored object";
  {
    ReportLog reports;
    EXPECT_EQ(f.getObject(nullptr, wide("Junk")), nullptr);
  }

  GLocaleInfo locale;
  ASSERT_EQ(f.putObject(nullptr, wide("L"), &locale), 1);
  f.overReport = 1;
  EXPECT_EQ(f.getObject(nullptr, wide("L")), nullptr) << "more read than room given";
  EXPECT_EQ(f.putObject(nullptr, wide("L"), nullptr), 0);
}

TEST(NamedObjects, EveryCutOfAStoredTreeGivesNoObject) {
  // Composites within composites: a cut anywhere, even in the last
  // child's closing marks, must not restore as a smaller tree.
  GState tree(20);
  tree.insert(new GValueAttribute(1, 21));
  auto* inner = new GState(22);
  inner->insert(new GValueAttribute(2, 23));
  inner->insert(new GStringAttribute(RWCString("inner"), 24));
  tree.insert(inner);
  tree.insert(new GValueAttribute(3, 25));
  FakeFactory f;
  ASSERT_EQ(f.putObject(nullptr, wide("T"), &tree), 1);
  const std::string whole = f.binaries["T"];
  {
    std::unique_ptr<MPersistentObject> back(f.getObject(nullptr, wide("T")));
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(back->matches(&tree));
  }
  for (size_t cut = 1; cut < whole.size(); ++cut) {
    ReportLog reports;
    f.binaries["T"] = whole.substr(0, cut);
    std::unique_ptr<MPersistentObject> back(f.getObject(nullptr, wide("T")));
    EXPECT_EQ(back, nullptr) << "cut after " << cut << " of " << whole.size() << " bytes";
  }
}

TEST(NamedObjects, NoMemoryFailsWithoutStoring) {
  // The first buffer, or the larger one a second attempt needs, cannot be
  // had: nothing is stored and nothing is thrown.
  Wordy sample(40, 0);
  Wordy object(40, portableSize(&sample) / 2);
  for (size_t failing : {1u, 2u}) {
    FakeFactory f;
    f.failAllocation = failing;
    EXPECT_EQ(f.putObject(nullptr, wide("W"), &object), 0) << failing;
    EXPECT_EQ(f.allocations.size(), failing);
    EXPECT_EQ(f.binaries.count("W"), 0u) << failing;
  }
  FakeFactory f;
  GLocaleInfo locale;
  ASSERT_EQ(f.putObject(nullptr, wide("L"), &locale), 1);
  f.failAllocation = f.allocations.size() + 1;
  EXPECT_EQ(f.getObject(nullptr, wide("L")), nullptr);
}

// ---- stream holders ---------------------------------------------------------------------

TEST(StreamHolders, MemoryOutputNeverGrows) {
  unsigned char buffer[8] = {};
  GStdOutputStream out(buffer, sizeof buffer, kBinaryStream);
  ASSERT_NE(out.stream(), nullptr);
  out.stream()->put(uint32_t{0x04030201});
  out.stream()->put(uint32_t{0x08070605});
  EXPECT_TRUE(out.stream()->good());
  EXPECT_EQ(out.position(), 8u);
  out.stream()->put(uint32_t{9});
  out.stream()->flush();
  EXPECT_FALSE(out.stream()->good());
  EXPECT_EQ(out.position(), 8u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 8), bytes({1, 2, 3, 4, 5, 6, 7, 8}));

  GStdInputStream in(buffer, sizeof buffer, kBinaryStream);
  uint32_t a = 0, b = 0, c = 0;
  in.stream()->get(a);
  EXPECT_EQ(in.position(), 4u);
  in.stream()->get(b);
  EXPECT_EQ(a, 0x04030201u);
  EXPECT_EQ(b, 0x08070605u);
  EXPECT_TRUE(in.stream()->good());
  in.stream()->get(c);
  EXPECT_FALSE(in.stream()->good());
}

TEST(StreamHolders, FormatsMakeTheirStreams) {
  for (int32_t format : {kPortableStream, kBinaryStream, kEndianStream}) {
    char buffer[64] = {};
    uint32_t written = 0;
    {
      GStdOutputStream out(buffer, sizeof buffer, format);
      ASSERT_NE(out.stream(), nullptr) << format;
      out.stream()->putULong(123456u);
      out.stream()->flush();
      EXPECT_TRUE(out.stream()->good()) << format;
      written = out.position();
    }
    GStdInputStream in(buffer, written, format);
    ASSERT_NE(in.stream(), nullptr) << format;
    uint32_t v = 0;
    in.stream()->getULong(v);
    EXPECT_EQ(v, 123456u) << format;
  }
  char buffer[4];
  EXPECT_EQ(GStdOutputStream(buffer, 4, 3).stream(), nullptr);
  EXPECT_EQ(GStdInputStream(buffer, 4, -1).stream(), nullptr);
}

// ---- lifetime -----------------------------------------------------------------------------

TEST(FactoryLifetime, ASecondFactoryDeletesTheFirst) {
  int firstGone = 0, secondGone = 0, lockGone = 0;
  FakeFactory* first = new FakeFactory(&firstGone);
  EXPECT_EQ(GOSFactory::heldFactory, first);
  FakeFactory* second = new FakeFactory(&secondGone);
  EXPECT_EQ(firstGone, 1);
  EXPECT_EQ(GOSFactory::heldFactory, second);

  GOSFactory::theInstance = second;
  GOSFactory::factoryLock = new FakeMutex(&lockGone);
  delete second;
  EXPECT_EQ(secondGone, 1);
  EXPECT_EQ(lockGone, 1);
  EXPECT_EQ(GOSFactory::factoryLock, nullptr);
  EXPECT_EQ(GOSFactory::instance(), nullptr) << "no one reaches a factory that is gone";
  EXPECT_EQ(GOSFactory::heldFactory, nullptr);
}

// ---- the converter's instance ---------------------------------------------------------------

TEST(ConverterInstance, NullWithoutAFactory) {
  ASSERT_EQ(GOSFactory::instance(), nullptr);
  EXPECT_EQ(GCharsetConverter::instance(), nullptr);
}

TEST(ConverterInstance, MadeOnceUnderItsOwnLock) {
  InstalledFake fake;
  GCharsetConverter* c = GCharsetConverter::instance();
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(GCharsetConverter::instance(), c);
  EXPECT_EQ(fake.factory->convertersMade, 1);
  EXPECT_EQ(fake.factory->mutexesMade, 1) << "the converter's lock";
  EXPECT_EQ(fake.lock()->acquires, 1);
  EXPECT_EQ(c->toUnicode(0x41, 4), 0x41);

  GCharsetConverter::discardInstance();
  EXPECT_NE(GCharsetConverter::instance(), nullptr);
  EXPECT_EQ(fake.factory->convertersMade, 2);
}

TEST(ConverterInstance, LockFailuresAreReportedFromItsSource) {
  const struct {
    int acquire, release;
    uint16_t id;
    int32_t line;
  } cases[] = {{1, 0, 301, 138}, {0, -2, 302, 153}};
  for (const auto& c : cases) {
    InstalledFake fake;
    fake.factory->newAcquireResult = c.acquire;
    fake.factory->newReleaseResult = c.release;
    FatalLog log;
    EXPECT_NE(GCharsetConverter::instance(), nullptr) << "made all the same where the abort returns";
    ASSERT_EQ(log.aborts.size(), 1u) << c.id;
    EXPECT_EQ(log.aborts[0].id, c.id);
    EXPECT_EQ(log.aborts[0].source, "unicode");
    EXPECT_EQ(log.aborts[0].line, c.line);
  }
}

}  // namespace
