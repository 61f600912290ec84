// The generator base: the download-memory budget, the document start and
// its port, the shared processing, changed and reset, the flush-and-poll
// rule, the stored level, and a whole job written by the job language and a
// generator into a file.

#include "pdl/pdlgen.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/outport.h"
#include "core/state.h"
#include "core/valattr.h"
#include "device/config.h"
#include "device/pjl.h"
#include "device/printer.h"
#include "journal/ctlcmds.h"
#include "pdl/budget.h"
#include "pdl/flusher.h"
#include "pdl/xlstream.h"
#include "rw/rwfile.h"
#include "testkit/bytes.h"
#include "testkit/core/port.h"
#include "testkit/core/stage.h"
#include "testkit/device/generator.h"
#include "testkit/device/instance.h"
#include "testkit/files.h"
#include "testkit/pclxl/xldecode.h"
#include "testkit/store.h"
#include "testkit/tmpdir.h"

namespace {

// ---- fixtures ---------------------------------------------------------------------------

// A fake port that also counts its polls.
class PolledPort : public FakeOutputPort {
 public:
  int32_t isStopped() const override {
    polls.push_back(bytesWritten());
    return 0;
  }
  mutable std::vector<uint32_t> polls;  // the port's total at each poll
};

// Fake ports for the registry, made open or not; none at all when told.
class FakePortProvider : public GOutputPortProvider {
 public:
  enum Makes { kOpenPorts, kClosedPorts, kNoPorts };
  explicit FakePortProvider(Makes makes) : makes_(makes) {
    GOutputPortProviderRegistry::instance().add(this, RWCString(kName));
  }
  ~FakePortProvider() override { GOutputPortProviderRegistry::instance().remove(RWCString(kName)); }
  FakePortProvider* newSpecies() const override { return nullptr; }
  FakePortProvider* copy() const override { return nullptr; }
  uint32_t capabilities() const override { return 1; }
  GOutputPort* createPort(GDriverInstance*, const RWCString&, uint32_t, const RWWString& portName) override {
    askedFor = portName;
    if (makes_ == kNoPorts) return nullptr;
    made = makes_ == kOpenPorts ? new FakeOutputPort(portName) : new ClosedPort(portName);
    return made;
  }

  RWWString askedFor;
  FakeOutputPort* made = nullptr;  // owned by the stage it was made for

 private:
  struct ClosedPort : FakeOutputPort {
    using FakeOutputPort::FakeOutputPort;
    int32_t open() override {
      FakeOutputPort::open();
      return 0;
    }
  };
  static constexpr const char* kName = "Fake Ports";
  Makes makes_;
};

GCommandPtr documentStart(GOutputPort* carried = nullptr) {
  auto* start = new GDocumentStart(RWWString("doc"), RWWString("FAKE:"), nullptr, new GState(246), 0);
  start->setOutputPort(carried);
  return GCommandPtr(start);
}

GCommandPtr documentEnd() { return GCommandPtr(new GDocumentEnd(RWWString("doc"), RWWString("FAKE:"))); }

const GErrorCommand* asError(const GCommandPtr& command) { return dynamic_cast<const GErrorCommand*>(command.get()); }

// The base's protected parts, reachable from a test.
struct CountedFontList : GDownloadedFontList {};
struct CountedRemap : GCodeRemapTable {};
class OpenGenerator : public TestGenerator {
 public:
  using TestGenerator::TestGenerator;
  void setStored(uint32_t inDocument, uint32_t inScanLines, int16_t pathDepth, uint32_t clip) {
    inDocument_ = inDocument;
    inScanLines_ = inScanLines;
    pathDepth_ = pathDepth;
    recordingClipPath_ = clip;
  }
  int listsMade = 0;

 protected:
  GDownloadedFontList* makeDownloadedFontList() override {
    ++listsMade;
    return new CountedFontList;
  }
  GCodeRemapTable* makeCodeRemapTable() override { return new CountedRemap; }
};

GConfiguration* configWith(MPersistentObject* item) {
  auto* config = new GConfiguration;
  if (item) config->insert(item);
  return config;
}

// ---- budget -----------------------------------------------------------------------------

TEST(MemoryBudget, PinsAtTheLimitAndAtZeroInsteadOfFailing) {
  GMemoryBudget budget;
  EXPECT_EQ(budget.used(), 0u);
  EXPECT_EQ(budget.limit(), 1048576u);
  EXPECT_EQ(GMemoryBudget(500), GMemoryBudget(500));
  EXPECT_NE(GMemoryBudget(500), GMemoryBudget(501));

  EXPECT_EQ(budget.reserve(1048570), 6u);
  EXPECT_EQ(budget.reserve(10), 0u);
  EXPECT_EQ(budget.used(), 1048576u);
  EXPECT_EQ(budget.remaining(), 0u);
  EXPECT_EQ(budget.release(2000000), 1048576u);
  EXPECT_EQ(budget.used(), 0u);
  EXPECT_EQ(budget.reserve(100), 1048476u);
  EXPECT_EQ(budget.reset(), 1048576u);
  EXPECT_EQ(budget.used(), 0u);
  EXPECT_EQ(budget.setLimit(300), 300u);
  EXPECT_EQ(budget.remaining(), 300u);
}

TEST(MemoryBudget, DocumentStartTakesTheLimitFromAttribute202) {
  struct Row {
    const char* what;
    MPersistentObject* attribute;
    uint32_t limit;
  };
  const Row rows[] = {
      {"100 units", new GRangeAttribute(0, 1000, 1, 100, AttrId::DownloadMemory), 1048500},
      {"none: the limit stays", nullptr, 1048576},
      {"negative: nothing", new GRangeAttribute(-5, 1000, 1, -1, AttrId::DownloadMemory), 0},
      {"most negative", new GValueAttribute(-32768, AttrId::DownloadMemory), 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    TestGenerator generator;
    generator.setConfig(configWith(row.attribute));
    generator.reserveDownloadMemory(1000);
    FakeOutputPort port;
    ASSERT_EQ(generator.process(documentStart(&port))->isA(), ClassId::GDocumentStart);
    EXPECT_EQ(generator.budget().limit(), row.limit);
    EXPECT_EQ(generator.budget().used(), 0u);
    EXPECT_EQ(generator.releaseDownloadMemory(0), row.limit);
    generator.process(documentEnd());
  }
}

// ---- document start ---------------------------------------------------------------------

TEST(GeneratorDocumentStart, UsesACarriedPortWithoutOwningIt) {
  FakePortProvider provider(FakePortProvider::kOpenPorts);
  FakeOutputPort port;
  TestGenerator generator;
  const GCommandPtr start = documentStart(&port);
  EXPECT_EQ(generator.process(start), start);
  EXPECT_EQ(generator.port(), &port);
  EXPECT_EQ(generator.ownsPort(), 0);
  EXPECT_EQ(generator.inDocument(), 1u);
  EXPECT_EQ(provider.made, nullptr);
  generator.process(documentEnd());
  EXPECT_EQ(std::count(port.calls().begin(), port.calls().end(), "endJob"), 0) << "the opener ends it";
  EXPECT_EQ(generator.inDocument(), 0u);
}

TEST(GeneratorDocumentStart, OpensStartsAndSharesTheRegistrysPort) {
  FakePortProvider provider(FakePortProvider::kOpenPorts);
  TestGenerator generator;
  const GCommandPtr start = documentStart();
  EXPECT_EQ(generator.process(start), start);
  ASSERT_NE(provider.made, nullptr);
  EXPECT_EQ(provider.askedFor, RWWString("FAKE:"));
  EXPECT_EQ(generator.port(), provider.made);
  EXPECT_EQ(generator.ownsPort(), 1);
  EXPECT_EQ(dynamic_cast<GDocumentStart*>(start.get())->outputPort(), provider.made);
  EXPECT_EQ(provider.made->calls(), (std::vector<std::string>{"open", "startJob", "write"}));
  EXPECT_EQ(provider.made->written(), generator.marker("onDocumentStart"));

  const int deleted = FakeOutputPort::destructions();
  EXPECT_EQ(generator.process(documentEnd())->isA(), ClassId::GDocumentEnd);
  EXPECT_EQ(FakeOutputPort::destructions(), deleted + 1);
  EXPECT_EQ(generator.port(), nullptr);
  EXPECT_EQ(dynamic_cast<GDocumentStart*>(start.get())->outputPort(), nullptr) << "nothing names a deleted port";
}

TEST(GeneratorDocumentStart, FailsWith601AndStaysOutsideTheDocumentWithoutAnOpenPort) {
  for (auto makes : {FakePortProvider::kNoPorts, FakePortProvider::kClosedPorts}) {
    SCOPED_TRACE(makes);
    FakePortProvider provider(makes);
    TestGenerator generator;
    const GCommandPtr start = documentStart();
    const GCommandPtr result = generator.process(start);
    ASSERT_NE(asError(result), nullptr);
    EXPECT_EQ(asError(result)->errorCode(), kStatusNoPort);
    EXPECT_EQ(asError(result)->failedCommand(), start.get());
    EXPECT_EQ(generator.inDocument(), 0u);
    EXPECT_EQ(generator.isInDocument(), 0);
  }
}

TEST(GeneratorDocumentStart, AFailedStartJobIsTheStatus) {
  struct FailingStart : FakePortProvider {
    FailingStart() : FakePortProvider(kOpenPorts) {}
    GOutputPort* createPort(GDriverInstance* i, const RWCString& e, uint32_t r, const RWWString& n) override {
      GOutputPort* port = FakePortProvider::createPort(i, e, r, n);
      made->answer("startJob", 7);
      return port;
    }
  } provider;
  TestGenerator generator;
  const GCommandPtr result = generator.process(documentStart());
  ASSERT_NE(asError(result), nullptr);
  EXPECT_EQ(asError(result)->errorCode(), 7);
  EXPECT_EQ(generator.inDocument(), 0u);
}

// ---- processing -------------------------------------------------------------------------

TEST(GeneratorProcess, EndsPassTheChildrenFirstEverythingElseTheGeneratorFirst) {
  struct Row {
    const char* what;
    RWClassID swallowedByChild;
    RWClassID failedByGenerator;
    GCommandPtr command;
    std::vector<std::string> generatorSees;
    std::vector<std::string> childSees;
    GStatus error;
  };
  std::vector<Row> rows;
  rows.push_back({"page end swallowed by the child", ClassId::GPageEnd, 0, GCommandPtr(new GPageEnd), {}, {}, 0});
  rows.push_back(
      {"document end swallowed by the child", ClassId::GDocumentEnd, 0, documentEnd(), {}, {}, 0});
  rows.push_back({"page end", 0, 0, GCommandPtr(new GPageEnd), {"onPageEnd"}, {"onPageEnd"}, 0});
  rows.push_back({"page start swallowed by the child", ClassId::GPageStart, 0, GCommandPtr(new GPageStart),
                  {"onPageStart"}, {}, 0});
  rows.push_back({"page start failed by the generator", 0, ClassId::GPageStart, GCommandPtr(new GPageStart),
                  {"onPageStart"}, {}, 9});
  rows.push_back({"page start", 0, 0, GCommandPtr(new GPageStart), {"onPageStart"}, {"onPageStart"}, 0});
  for (Row& row : rows) {
    SCOPED_TRACE(row.what);
    FakeOutputPort port;
    TestGenerator generator;
    auto* child = new RecordingPeripheral("child", 5);
    generator.insert(child);
    ASSERT_EQ(generator.process(documentStart(&port))->isA(), ClassId::GDocumentStart);
    generator.clearLog();
    child->clearCalls();
    if (row.swallowedByChild) child->swallow(row.swallowedByChild);
    if (row.failedByGenerator) generator.fail(row.failedByGenerator, row.error);

    const GCommandPtr result = generator.process(row.command);
    EXPECT_EQ(generator.seen(), row.generatorSees);
    EXPECT_EQ(child->handlers(), row.childSees);
    if (row.error) {
      ASSERT_NE(asError(result), nullptr);
      EXPECT_EQ(asError(result)->errorCode(), row.error);
      EXPECT_EQ(asError(result)->failedCommand(), row.command.get());
    } else if (row.swallowedByChild) {
      EXPECT_TRUE(result->isKindOf(ClassId::GNoCommand));
    } else {
      EXPECT_EQ(result, row.command);
    }
  }
}

// ---- flush and poll ---------------------------------------------------------------------

TEST(OutputFlusher, EmptyFlushesDoNothingAndTheFirstFailedWriteIsKept) {
  PolledPort port;
  GOutputFlusher flusher;
  flusher.setPort(&port);
  auto stream = xlCreateStream(16, &flusher, 0);
  xlPutByte(*stream, 1);
  const uint8_t* cursor = stream->cursor;
  flusher.flush(*stream, 0, stream->buffer.get(), 0);
  EXPECT_TRUE(port.calls().empty());
  EXPECT_TRUE(port.polls.empty());
  EXPECT_EQ(stream->cursor, cursor) << "an empty flush leaves the stream alone";

  // The PostScript writer's variant polls even then.
  GOutputFlusher polling(true);
  polling.setPort(&port);
  polling.flush(*stream, 0, stream->buffer.get(), 0);
  EXPECT_EQ(port.polls.size(), 1u);
  EXPECT_TRUE(port.calls().empty());

  port.answer("write", 12);
  xlFlushStream(*stream);
  port.answer("write", 13);
  xlPutByte(*stream, 2);
  flusher.flush(*stream, 0, stream->buffer.get(), 1);
  EXPECT_EQ(stream->left, stream->size) << "reset after a flush that wrote nothing";
  EXPECT_EQ(port.calls(), std::vector<std::string>{"write"}) << "writes stop at the first failure";
  EXPECT_EQ(flusher.writesEnabled(), 0u);
  EXPECT_EQ(flusher.takeError(), 12);
  EXPECT_EQ(flusher.takeError(), 0);
}

TEST(OutputFlusher, PollsEveryFlushUpTo100000BytesThenEveryFurther100000) {
  PolledPort port;
  GOutputFlusher flusher;
  flusher.setPort(&port);
  auto stream = xlCreateStream(8192, &flusher, 0);
  const std::vector<uint8_t> full(8192, 0x55);
  std::vector<uint32_t> expected;
  for (uint32_t total = 8192; total <= 98304; total += 8192) expected.push_back(total);
  expected.push_back(204800);
  for (int i = 0; i < 26; ++i) flusher.flush(*stream, 0, full.data(), 8192);
  EXPECT_EQ(port.bytesWritten(), 26u * 8192);
  EXPECT_EQ(port.polls, expected);
  EXPECT_EQ(flusher.lastPollTotal(), 204800u);
}

TEST(GeneratorErrors, AFailedWriteOrAStoppedStreamFailsTheNextCommand) {
  {
    FakeOutputPort port;
    TestGenerator generator;
    ASSERT_EQ(generator.process(documentStart(&port))->isA(), ClassId::GDocumentStart);
    port.answer("write", 4);
    const GCommandPtr page = GCommandPtr(new GPageStart);
    const GCommandPtr failed = generator.process(page);
    ASSERT_NE(asError(failed), nullptr);
    EXPECT_EQ(asError(failed)->errorCode(), 4);
    EXPECT_EQ(asError(failed)->failedCommand(), page.get());
    port.answer("write", 0);
    EXPECT_EQ(generator.process(GCommandPtr(new GPageEnd))->isA(), ClassId::GPageEnd)
        << "answered once; later bytes are dropped";
    EXPECT_EQ(std::count(port.calls().begin(), port.calls().end(), "write"), 2);
  }
  {
    FakeOutputPort port;
    TestGenerator generator;
    ASSERT_EQ(generator.process(documentStart(&port))->isA(), ClassId::GDocumentStart);
    xlRecordError(generator.stream(), kXLOutputOverflow);
    for (GCommandPtr command : {GCommandPtr(new GPageEnd), documentEnd()}) {
      const GCommandPtr result = generator.process(command);
      ASSERT_NE(asError(result), nullptr);
      EXPECT_EQ(asError(result)->errorCode(), kStatusStreamStopped);
    }
  }
}

// ---- changed, reset, copies, stored form ------------------------------------------------

TEST(GeneratorSettings, ChangedSharesOneStateAndDefaultWithTheChildren) {
  TestGenerator generator;
  auto* child = new RecordingPeripheral("child", 5);
  generator.insert(child);
  generator.changed(&generator);
  ASSERT_NE(generator.state(), nullptr);
  ASSERT_NE(generator.defaults(), nullptr);
  EXPECT_EQ(generator.state()->id(), 243u);
  EXPECT_EQ(generator.defaults()->id(), 243u);
  EXPECT_EQ(child->state(), generator.state());
  EXPECT_EQ(child->defaults(), generator.defaults());
  EXPECT_NE(generator.state(), generator.defaults());
}

TEST(GeneratorSettings, ResetMakesNewFontTablesOfTheGeneratorsKinds) {
  OpenGenerator generator;
  EXPECT_EQ(generator.downloadedFonts(), nullptr);
  generator.reset();
  GDownloadedFontList* first = generator.downloadedFonts();
  EXPECT_NE(dynamic_cast<CountedFontList*>(first), nullptr);
  EXPECT_NE(dynamic_cast<CountedRemap*>(generator.codeRemap()), nullptr);
  generator.reset();
  EXPECT_EQ(generator.listsMade, 2);
  EXPECT_NE(generator.downloadedFonts(), nullptr);

  const OpenGenerator copy(generator);
  EXPECT_EQ(copy.downloadedFonts(), nullptr);
  EXPECT_EQ(copy.codeRemap(), nullptr);
}

TEST(GeneratorSettings, ConfiguredDeviceFontsFollowTheConfig) {
  TestGenerator generator;
  GDeviceFontListComposite* fresh = generator.configuredDeviceFonts();
  ASSERT_NE(fresh, nullptr);
  generator.setConfig(new GConfiguration);
  EXPECT_EQ(generator.configuredDeviceFonts(), fresh) << "the own empty list is made once";

  auto* configured = new GDeviceFontListComposite;
  generator.setConfig(configWith(configured));
  EXPECT_EQ(generator.configuredDeviceFonts(), configured);
  // The Config that held the list goes; what the generator answers stays
  // valid (the sanitizer build reads it).
  generator.setConfig(new GConfiguration);
  ASSERT_NE(generator.configuredDeviceFonts(), nullptr);
  EXPECT_NE(generator.configuredDeviceFonts(), configured);
  EXPECT_EQ(generator.configuredDeviceFonts()->id(), AttrId::FontLists);
}

TEST(GeneratorStore, StoresEighteenBytesAfterTheContainerAndRestoresThem) {
  OpenGenerator generator("PCLXL");
  generator.setStored(1, 1, -3, 1);
  const std::string stored = storedBytes(&generator);
  const std::string level = le32(1) + le32(1) + le32(1) + le16(static_cast<uint16_t>(-3)) + le32(1);
  ASSERT_GE(stored.size(), level.size());
  EXPECT_EQ(stored.substr(stored.size() - 18), level);

  std::unique_ptr<RWCollectable> back(restoredFrom(stored));
  auto* restored = dynamic_cast<TestGenerator*>(back.get());
  ASSERT_NE(restored, nullptr);
  EXPECT_EQ(restored->inDocument(), 1u);
  EXPECT_EQ(restored->inScanLines(), 1u);
  EXPECT_EQ(restored->pathDepth(), -3);
  EXPECT_EQ(restored->recordingClipPath(), 1u);
  EXPECT_EQ(restored->downloadedFonts(), nullptr);
  EXPECT_NE(restored->configuredDeviceFonts(), nullptr);

  // Another version leaves the fields as a new generator has them.
  std::string other = stored;
  other.replace(other.size() - 18, 4, le32(2));
  std::unique_ptr<RWCollectable> otherBack(restoredFrom(other));
  auto* unread = dynamic_cast<TestGenerator*>(otherBack.get());
  ASSERT_NE(unread, nullptr);
  EXPECT_EQ(unread->pathDepth(), 0);
  EXPECT_EQ(unread->inDocument(), 0u);

  restoreEveryCut(&generator);
}

// ---- the interface instance -------------------------------------------------------------

TEST(GeneratorCommandCharacter, TheInterfaceInstanceAsksThePrintersGenerator) {
  struct Bang : TestGenerator {
    bool hasCommandCharacter(const RWCString& text) const override {
      return std::string(text.data(), text.length()).find('!') != std::string::npos;
    }
  };
  TestInstance instance;
  EXPECT_FALSE(instance.hasCommandCharacter(RWCString("a!b"))) << "no printer";
  EXPECT_FALSE(TestGenerator().hasCommandCharacter(RWCString("a!b\x1b"))) << "the base has none";

  auto* root = new GPeripheralComposite(353);
  auto* printer = new GPrinter(AttrId::Printer);
  printer->insert(new Bang);
  root->insert(printer);
  instance.setConfiguration(root);
  EXPECT_TRUE(instance.hasCommandCharacter(RWCString("a!b")));
  EXPECT_FALSE(instance.hasCommandCharacter(RWCString("ab")));
}

// ---- a whole job ------------------------------------------------------------------------

TEST(GeneratorJob, TheJobLanguageAndAGeneratorWriteAFileThatDecodes) {
  TempDir dir;
  const std::string path = dir.file("job.prn");
  GSpoolerProvider spooler;
  ASSERT_EQ(GOutputPortProviderRegistry::instance().add(&spooler, RWCString("Job Spooler")), 0);
  {
    GPeripheralComposite root;
    auto* printer = new GPrinter(AttrId::Printer);
    auto* generator = new TestGenerator("PCLXL");
    root.insert(printer);
    printer->insert(new GPJL(AttrId::JobLanguage));
    printer->insert(generator);
    const GCommandPtr commands[] = {
        GCommandPtr(new GDocumentStart(RWWString("doc"), RWWString(path.c_str()), nullptr, new GState(246))),
        GCommandPtr(new GPageStart), GCommandPtr(new GPageEnd),
        GCommandPtr(new GDocumentEnd(RWWString("doc"), RWWString(path.c_str())))};
    for (const GCommandPtr& c : commands) EXPECT_EQ(root.process(c), c) << c->isA();
  }
  GOutputPortProviderRegistry::instance().remove(RWCString("Job Spooler"));

  const std::string job = fileContents(path);
  EXPECT_EQ(job.rfind("\x1b%-12345X@PJL JOB NAME=\"doc\"\r\n", 0), 0u);
  EXPECT_NE(job.find("@PJL ENTER LANGUAGE=PCLXL\r\n) QX-PCL XL;2;0;Comment test\n"), std::string::npos);
  const std::string trailer = "\x1b%-12345X@PJL EOJ NAME=\"doc\"\r\n\x1b%-12345X";
  ASSERT_GE(job.size(), trailer.size());
  EXPECT_EQ(job.substr(job.size() - trailer.size()), trailer);

  const XLDecodeResult decoded = decodeXLJob(job);
  ASSERT_TRUE(decoded.ok) << decoded.error;
  EXPECT_EQ(decoded.header, ") QX-PCL XL;2;0;Comment test");
  std::vector<std::string> markers;
  for (const XLOperatorToken& op : decoded.operators) {
    EXPECT_EQ(op.signature(), "47 129:ubyte_array");
    const XLAttributeToken* text = op.find(129);
    if (text) markers.push_back(text->value.text());
  }
  EXPECT_EQ(markers, (std::vector<std::string>{"[PCLXL onDocumentStart]", "[PCLXL onPageStart]",
                                               "[PCLXL onPageEnd]", "[PCLXL onDocumentEnd]"}));
}

}  // namespace
