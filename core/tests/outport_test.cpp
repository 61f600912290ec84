#include "core/outport.h"

#include <gtest/gtest.h>

#include <string>

#include "core/tests/fakefactory.h"
#include "core/tests/fixtures.h"

namespace {

const std::string kUel = "\x1b%-12345X";

// A port into memory that takes at most `room` bytes in all.
class MemoryPort : public GOutputPort {
 public:
  explicit MemoryPort(const RWWString& name = RWWString("MEM:"), size_t room = SIZE_MAX)
      : GOutputPort(name), room_(room) {}
  [[nodiscard]] uint16_t write(const void* data, uint32_t length, uint32_t& written) override {
    written = 0;
    if (state_ != kInJob) return 1;
    size_t take = std::min<size_t>(length, room_ - bytes.size());
    bytes.append(static_cast<const char*>(data), take);
    written = static_cast<uint32_t>(take);
    bytesWritten_ += written;
    return take == length ? 0 : 1;
  }
  int32_t open() override { return 1; }
  int32_t state() const { return state_; }

  std::string bytes;

 private:
  size_t room_;
};

std::string jobLine(const std::string& name) { return kUel + "@PJL JOB NAME=\"" + name + "\"\r\n"; }
std::string eojLines(const std::string& name) { return kUel + "@PJL EOJ NAME=\"" + name + "\"\r\n" + kUel; }

TEST(OutputPortTest, FramingBytes) {
  MemoryPort port;
  EXPECT_TRUE(port.isStopped());
  EXPECT_EQ(port.startJob(RWWString("Quarterly report"), 1), 0);
  EXPECT_EQ(port.bytes, "\x1b%-12345X@PJL JOB NAME=\"Quarterly report\"\r\n");
  EXPECT_TRUE(port.isStarted());
  EXPECT_FALSE(port.isStopped());
  uint32_t written = 0;
  EXPECT_EQ(port.writeString(RWCString("PAGE"), written), 0);
  EXPECT_EQ(written, 4u);
  EXPECT_EQ(port.endJob(), 0);
  EXPECT_EQ(port.bytes, "\x1b%-12345X@PJL JOB NAME=\"Quarterly report\"\r\n"
                        "PAGE"
                        "\x1b%-12345X@PJL EOJ NAME=\"Quarterly report\"\r\n\x1b%-12345X");
  EXPECT_FALSE(port.isStarted());
  // Idle again: another job may follow.
  EXPECT_EQ(port.startJob(RWWString("second"), 0), 0);
}

TEST(OutputPortTest, WithoutFramingNothingIsWritten) {
  MemoryPort port;
  EXPECT_EQ(port.startJob(RWWString("plain"), 0), 0);
  EXPECT_EQ(port.endJob(), 0);
  EXPECT_EQ(port.bytes, "");
}

TEST(OutputPortTest, RefusedCallsChangeNothing) {
  MemoryPort port;
  EXPECT_EQ(port.endJob(), 1);
  uint32_t written = 7;
  EXPECT_EQ(port.write("x", 1, written), 1);
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(port.bytes, "");

  ASSERT_EQ(port.startJob(RWWString("first"), 1), 0);
  // Busy: the open job keeps its name and framing.
  EXPECT_EQ(port.startJob(RWWString("second"), 0), 1);
  EXPECT_EQ(port.state(), GOutputPort::kInJob);
  EXPECT_EQ(port.endJob(), 0);
  EXPECT_EQ(port.bytes, jobLine("first") + eojLines("first"));
}

TEST(OutputPortTest, AbortEndsTheJobAndRefusesLaterOnes) {
  MemoryPort port;
  ASSERT_EQ(port.startJob(RWWString("doc"), 1), 0);
  EXPECT_EQ(port.abort(), 0);
  EXPECT_EQ(port.bytes, jobLine("doc") + eojLines("doc"));
  EXPECT_EQ(port.state(), GOutputPort::kAborted);
  EXPECT_TRUE(port.isStopped());
  EXPECT_EQ(port.startJob(RWWString("later"), 1), 1);
  EXPECT_EQ(port.endJob(), 1);
  EXPECT_EQ(port.bytes, jobLine("doc") + eojLines("doc"));

  MemoryPort idle;
  EXPECT_EQ(idle.abort(), 0);
  EXPECT_EQ(idle.bytes, "");
  EXPECT_EQ(idle.startJob(RWWString("later"), 0), 1);
}

TEST(OutputPortTest, NamesThatCouldBreakTheQuotesAreFramedEmpty) {
  const char16_t* names[] = {u"a\"b", u"x\x1b%-12345X@PJL RESET", u"two\r\nlines", u"nul\0inside"};
  for (const char16_t* name : names) {
    MemoryPort port;
    RWWString wide(name == names[3] ? RWWString(name, 10) : RWWString(name));
    ASSERT_EQ(port.startJob(wide, 1), 0);
    ASSERT_EQ(port.endJob(), 0);
    EXPECT_EQ(port.bytes, jobLine("") + eojLines(""));
  }
  // A tab and characters of the code page pass, narrowed.
  MemoryPort port;
  ASSERT_EQ(port.startJob(RWWString(u"caf\u00e9\tnotes \u20ac"), 1), 0);
  EXPECT_EQ(port.bytes, jobLine("caf\xe9\tnotes \x80"));
}

TEST(OutputPortTest, ShortWritesAnswerOneButTheJobMoves) {
  MemoryPort port(RWWString("MEM:"), 10);
  EXPECT_EQ(port.startJob(RWWString("doc"), 1), 1);
  EXPECT_TRUE(port.isStarted());
  EXPECT_EQ(port.bytes.size(), 10u);
  EXPECT_EQ(port.endJob(), 1);
  EXPECT_FALSE(port.isStarted());
}

// ---- the file port -------------------------------------------------------------------

class FilePortTest : public ::testing::Test {
 protected:
  RWWString name(const char* file) const { return RWWString(dir_.file(file).c_str()); }
  std::string contents(const char* file) const { return fileContents(dir_.file(file)); }
  TempDir dir_;
};

TEST_F(FilePortTest, WritesTheJobToTheFile) {
  GFileOutputPort port(name("out.prn"));
  // Open before any job: the job language checks it before starting one.
  EXPECT_TRUE(port.open());
  EXPECT_FALSE(fileExists(dir_.file("out.prn")));
  ASSERT_EQ(port.startJob(RWWString("job"), 1), 0);
  uint32_t written = 0;
  EXPECT_EQ(port.write("\x00\x01\x02", 3, written), 0);
  EXPECT_EQ(written, 3u);
  EXPECT_EQ(port.endJob(), 0);
  const std::string expected = jobLine("job") + std::string("\x00\x01\x02", 3) + eojLines("job");
  EXPECT_EQ(contents("out.prn"), expected);
  EXPECT_EQ(port.bytesWritten(), expected.size());
  EXPECT_TRUE(port.open());

  // The next job starts the file and the count afresh.
  ASSERT_EQ(port.startJob(RWWString("job"), 0), 0);
  EXPECT_EQ(port.bytesWritten(), 0u);
  EXPECT_EQ(port.write("abc", 3, written), 0);
  EXPECT_EQ(port.endJob(), 0);
  EXPECT_EQ(contents("out.prn"), "abc");
  EXPECT_EQ(port.bytesWritten(), 3u);
}

TEST_F(FilePortTest, ASecondStartKeepsTheJobBeingWritten) {
  GFileOutputPort port(name("busy.prn"));
  ASSERT_EQ(port.startJob(RWWString("one"), 0), 0);
  uint32_t written = 0;
  ASSERT_EQ(port.write("first part", 10, written), 0);
  EXPECT_EQ(port.startJob(RWWString("two"), 1), 1);
  EXPECT_EQ(port.bytesWritten(), 10u);
  ASSERT_EQ(port.write(" and more", 9, written), 0);
  EXPECT_EQ(port.endJob(), 0);
  EXPECT_EQ(contents("busy.prn"), "first part and more");
}

TEST_F(FilePortTest, RefusedOutsideAJob) {
  GFileOutputPort port(name("idle.prn"));
  uint32_t written = 5;
  EXPECT_EQ(port.write("abc", 3, written), 1);
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(port.endJob(), 1);
  EXPECT_EQ(port.bytesWritten(), 0u);
  EXPECT_FALSE(fileExists(dir_.file("idle.prn")));
}

TEST_F(FilePortTest, AFileThatWillNotOpen) {
  GFileOutputPort port(name("no/such/folder/out.prn"));
  EXPECT_EQ(port.startJob(RWWString("job"), 1), 1);
  EXPECT_FALSE(port.isStarted());
  EXPECT_FALSE(port.open());
  uint32_t written = 0;
  EXPECT_EQ(port.write("abc", 3, written), 1);
}

TEST_F(FilePortTest, CountsOnlyWhatTheFileTook) {
  GFileOutputPort port{RWWString("/dev/full")};
  ASSERT_EQ(port.startJob(RWWString("job"), 0), 0);
  uint32_t written = 99;
  EXPECT_EQ(port.write("abcdef", 6, written), 1);
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(port.bytesWritten(), 0u);
  EXPECT_FALSE(port.open());
  EXPECT_EQ(port.abort(), 0);
}

TEST_F(FilePortTest, AbortClosesWithoutFraming) {
  GFileOutputPort port(name("aborted.prn"));
  ASSERT_EQ(port.startJob(RWWString("job"), 1), 0);
  EXPECT_EQ(port.abort(), 0);
  EXPECT_EQ(contents("aborted.prn"), jobLine("job"));
  EXPECT_EQ(port.startJob(RWWString("job"), 1), 1);
  EXPECT_EQ(contents("aborted.prn"), jobLine("job"));
}

TEST_F(FilePortTest, DestructionEndsAnOpenJob) {
  {
    GFileOutputPort port(name("left.prn"));
    ASSERT_EQ(port.startJob(RWWString("job"), 1), 0);
  }
  EXPECT_EQ(contents("left.prn"), jobLine("job") + eojLines("job"));
}

TEST_F(FilePortTest, BackslashesSeparateFolders) {
  std::string inner = dir_.path() + "\\inner.prn";
  GFileOutputPort port{RWWString(inner.c_str())};
  ASSERT_EQ(port.startJob(RWWString("job"), 0), 0);
  uint32_t written = 0;
  ASSERT_EQ(port.write("x", 1, written), 0);
  ASSERT_EQ(port.endJob(), 0);
  EXPECT_EQ(contents("inner.prn"), "x");
}

// ---- providers and the registry -------------------------------------------------------

class TestProvider : public GOutputPortProvider {
 public:
  TestProvider(uint32_t mask, bool makes) : mask_(mask), makes_(makes) {}
  TestProvider* newSpecies() const override { return new TestProvider(mask_, makes_); }
  TestProvider* copy() const override { return new TestProvider(*this); }
  uint32_t capabilities() const override { return mask_; }
  GOutputPort* createPort(GDriverInstance*, const RWCString& entryName, uint32_t request,
                          const RWWString& portName) override {
    ++asked;
    lastEntry = entryName;
    lastRequest = request;
    return makes_ ? new MemoryPort(portName) : nullptr;
  }
  GSecondaryPort* createSecondaryPort(GDriverInstance*, const RWCString& entryName, uint32_t,
                                      const RWWString&) override {
    ++asked;
    lastEntry = entryName;
    return makes_ ? new Saver : nullptr;
  }

  struct Saver : GSecondaryPort {
    [[nodiscard]] uint16_t storeConfiguration(MPersistentObject*, int32_t) override { return 0; }
  };

  int asked = 0;
  RWCString lastEntry;
  uint32_t lastRequest = 0;

 private:
  uint32_t mask_;
  bool makes_;
};

TEST(ProviderRegistryTest, DuplicateNamesKeepTheFirst) {
  GOutputPortProviderRegistry registry;
  TestProvider a(1, true), b(1, true), s(0x10000, true);
  EXPECT_EQ(registry.add(&a, RWCString("Port")), 0);
  EXPECT_EQ(registry.add(&b, RWCString("Port")), 1);
  EXPECT_EQ(registry.find(RWCString("Port")), &a);
  EXPECT_EQ(registry.add(&s, RWCString("Save")), 0);
  // Taken in the other list counts too.
  EXPECT_EQ(registry.add(&b, RWCString("Save")), 1);
  EXPECT_EQ(registry.find(RWCString("Save")), &s);
  EXPECT_EQ(registry.find(RWCString("port")), nullptr);
  EXPECT_EQ(registry.find(RWCString("Por")), nullptr);
  EXPECT_EQ(registry.add(nullptr, RWCString("none")), 1);
}

TEST(ProviderRegistryTest, MasksChooseTheLists) {
  GOutputPortProviderRegistry registry;
  TestProvider primary(0x3, true), secondary(0x10000, true), both(0x10001, true), neither(0, true);
  registry.add(&primary, RWCString("primary"));
  registry.add(&secondary, RWCString("secondary"));
  registry.add(&both, RWCString("both"));
  registry.add(&neither, RWCString("neither"));

  EXPECT_EQ(registry.count(0x1), 2u);       // primary, both
  EXPECT_EQ(registry.count(0x2), 1u);       // primary
  EXPECT_EQ(registry.count(0x10000), 2u);   // secondary, both
  EXPECT_EQ(registry.count(0x10001), 2u);   // both, once in each list
  EXPECT_EQ(registry.count(0), 0u);
  EXPECT_EQ(registry.find(RWCString("neither")), nullptr);
  EXPECT_EQ(registry.find(RWCString("both")), &both);

  GSecondaryPort* saver = registry.createSecondaryPort(nullptr, RWWString("LPT1:"), 0x10000);
  EXPECT_NE(saver, nullptr);
  EXPECT_EQ(secondary.lastEntry, RWCString("secondary"));
  EXPECT_EQ(both.asked, 0);
  delete saver;

  GOutputPort* port = registry.createPort(nullptr, RWWString("LPT1:"), 0x1);
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(primary.asked, 1);
  EXPECT_EQ(primary.lastEntry, RWCString("primary"));
  EXPECT_EQ(neither.asked, 0);
  delete port;

  registry.remove(RWCString("both"));
  EXPECT_EQ(registry.find(RWCString("both")), nullptr);
  EXPECT_EQ(registry.count(0x1), 1u);
  EXPECT_EQ(registry.count(0x10000), 1u);
  // An absent name changes nothing.
  EXPECT_EQ(registry.remove(RWCString("absent")), 0);
  EXPECT_EQ(registry.count(0x1), 1u);
}

TEST(ProviderRegistryTest, TheFirstProviderThatMakesAPortWins) {
  GOutputPortProviderRegistry registry;
  TestProvider declines(1, false), narrow(0x2, true), first(1, true), second(1, true);
  registry.add(&declines, RWCString("declines"));
  registry.add(&narrow, RWCString("narrow"));
  registry.add(&first, RWCString("first"));
  registry.add(&second, RWCString("second"));

  GOutputPort* port = registry.createPort(nullptr, RWWString("FILE:"), 1);
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(port->portName(), RWWString("FILE:"));
  EXPECT_EQ(declines.asked, 1);
  EXPECT_EQ(narrow.asked, 0);  // does not support the request
  EXPECT_EQ(first.asked, 1);
  EXPECT_EQ(first.lastRequest, 1u);
  EXPECT_EQ(second.asked, 0);
  delete port;

  // Request 0 is supported by everyone.
  port = registry.createPort(nullptr, RWWString("x"), 0);
  EXPECT_EQ(narrow.asked, 1);
  delete port;

  GOutputPortProviderRegistry empty;
  EXPECT_EQ(empty.createPort(nullptr, RWWString("x"), 0), nullptr);
  EXPECT_EQ(empty.createSecondaryPort(nullptr, RWWString("x"), 0x10000), nullptr);
}

TEST(ProviderRegistryTest, ClassifyPortNames) {
  const struct {
    const char* name;
    int32_t kind;
  } cases[] = {
      {"LPT1", 3},      {"lpt1:", 3},  {"Com3:", 4}, {"COM9", 4},    {"LPT10", 0}, {"lpt1x", 0},
      {"LPT:", 1},      {"lpt", 0},    {"\\\\server\\q", 5},         {"FILE:", 2}, {"file:", 2},
      {"FILE", 0},      {"FILE::", 1}, {"NUL:", 1},  {"C:\\out.prn", 0},           {"", 0},
      {"\\single", 0},  {"LPTA:", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(GOutputPortProviderRegistry::classifyPortName(RWWString(c.name)), c.kind);
  }
}

TEST(ProviderRegistryTest, OneRegistryPerProcess) {
  EXPECT_EQ(&GOutputPortProviderRegistry::instance(), &GOutputPortProviderRegistry::instance());
}

TEST(SpoolerProviderTest, WithoutAPrinterAFilePort) {
  TempDir dir;
  GSpoolerProvider provider;
  EXPECT_EQ(provider.capabilities(), 3u);
  EXPECT_TRUE(provider.supports(1));
  EXPECT_TRUE(provider.supports(3));
  EXPECT_FALSE(provider.supports(4));
  EXPECT_EQ(provider.createSecondaryPort(nullptr, RWCString("Basic Spooler"), 0, RWWString("x")), nullptr);

  GOutputPort* port = provider.createPort(nullptr, RWCString("Basic Spooler"), 0,
                                          RWWString(dir.file("spool.prn").c_str()));
  ASSERT_NE(dynamic_cast<GFileOutputPort*>(port), nullptr);
  ASSERT_EQ(port->startJob(RWWString("j"), 0), 0);
  uint32_t written = 0;
  EXPECT_EQ(port->write("ok", 2, written), 0);
  EXPECT_EQ(port->endJob(), 0);
  delete port;
  EXPECT_EQ(fileContents(dir.file("spool.prn")), "ok");
}

TEST(SpoolerProviderTest, KindsAndMatching) {
  GSpoolerProvider a(4), b(4);
  EXPECT_TRUE(a.matches(&a));
  EXPECT_FALSE(a.matches(&b));
  TestProvider plain(1, false);
  EXPECT_FALSE(plain.matches(&plain));
  EXPECT_TRUE(a.isKindOf(953));
  EXPECT_TRUE(a.isKindOf(952));
  EXPECT_TRUE(a.isKindOf(751));
  EXPECT_FALSE(plain.isKindOf(953));
  EXPECT_TRUE(plain.isKindOf(952));
  EXPECT_EQ(plain.isA(), 952);
}

class SpoolerProviderStore : public StoreTest {};

TEST_F(SpoolerProviderStore, StoredForm) {
  MPersistentObject::presetSerialCounter(70);
  GSpoolerProvider provider(12);
  const std::string stored =
      le32(0x8888) + le16(953) + le32(1) + le32(12) + le32(70) + le32(1) + le32(1);
  EXPECT_EQ(storeFile(&provider), stored);
  EXPECT_EQ(provider.binaryStoreSize(), stored.size() - 6);

  GSpoolerProvider* back = restoreFile<GSpoolerProvider>();
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->id(), 12u);
  delete back;

  // The provider's version words are read and ignored.
  putBytes(le32(0x8888) + le16(953) + le32(1) + le32(13) + le32(71) + le32(5) + le32(6));
  GOutputPortProvider* other = restoreFile<GOutputPortProvider>();
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(other->isA(), 953);
  EXPECT_EQ(other->id(), 13u);
  delete other;
}

}  // namespace

namespace {

// Platform services whose spooler ports are memory ports, recording what
// they were asked for.
class SpoolerFactory : public FakeFactory {
 public:
  GOutputPort* createSpoolerPort(GDriverInstance* printer, const RWWString& portName, uint32_t flags) override {
    askedPrinter = printer;
    askedFlags = flags;
    return new MemoryPort(portName);
  }
  GDriverInstance* askedPrinter = nullptr;
  uint32_t askedFlags = 0;
};

struct InstalledSpooler {
  InstalledSpooler() : factory(new SpoolerFactory) {
    GOSFactory::factoryLock = factory->createMutex();
    GOSFactory::theInstance = factory;
  }
  ~InstalledSpooler() { delete factory; }
  SpoolerFactory* factory;
};

TEST(SpoolerProviderTest, WithAPrinterThePlatformsSpoolerPort) {
  int standIn = 0;
  GDriverInstance* printer = reinterpret_cast<GDriverInstance*>(&standIn);
  GSpoolerProvider provider;
  // Nothing to ask without platform services.
  EXPECT_EQ(provider.createPort(printer, RWCString("Basic Spooler"), 0, RWWString("LPT1:")), nullptr);

  InstalledSpooler installed;
  GOutputPortProviderRegistry registry;
  ASSERT_EQ(registry.add(&provider, RWCString("Basic Spooler")), 0);
  GOutputPort* port = registry.createPort(printer, RWWString("LPT1:"), 2);
  ASSERT_NE(dynamic_cast<MemoryPort*>(port), nullptr);
  EXPECT_EQ(port->portName(), RWWString("LPT1:"));
  EXPECT_EQ(installed.factory->askedPrinter, printer);
  EXPECT_EQ(installed.factory->askedFlags, 2u);
  delete port;
}

}  // namespace
