// The printer: a job's road between the job language and the generator,
// the port it opens or is given, the language name its generator child
// carries through resets, replacing a child, and its stored form.

#include "device/printer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/state.h"
#include "core/valattr.h"
#include "devfix.h"
#include "device/pjl.h"
#include "jobfix.h"
#include "pdl/cheetah.h"
#include "rw/estream.h"
#include "testkit/core/stage.h"
#include "testkit/device/generator.h"

namespace {

// The configuration root holding a printer (76) whose children are a job
// language (106) and a generator (101) speaking PCLXL. The tree owns them.
struct PrinterTree {
  PrinterTree() {
    root.insert(printer);
    printer->insert(pjl);
    printer->insert(generator);
  }
  GCommandPtr send(const GCommandPtr& command) { return root.process(command); }
  // The text of the shared State's language name, or "<none>".
  static std::string languageIn(const GState* state) {
    const GStringAttribute* name =
        state ? dynamic_cast<const GStringAttribute*>(state->findById(AttrId::LanguageName)) : nullptr;
    return name ? std::string(name->value().data(), name->value().length()) : "<none>";
  }

  GPeripheralComposite root;
  GPrinter* printer = new GPrinter(AttrId::Printer);
  GPJL* pjl = new GPJL(AttrId::JobLanguage);
  TestGenerator* generator = new TestGenerator("PCLXL");
};

std::string header(const std::string& settingLines, const char* language = "PCLXL") {
  return uel() + pjlLine("JOB NAME=\"doc\"") + settingLines + pjlSet("RESOLUTION=600") +
         pjlLine(std::string("ENTER LANGUAGE=") + language);
}

std::string trailer() { return uel() + pjlLine("EOJ NAME=\"doc\"") + uel(); }

// ---- a job's road -------------------------------------------------------------------------

TEST(PrinterJob, CopiesOneFramesTheGeneratorsBytesExactly) {
  TestPortProvider provider;
  PrinterTree tree;
  const GCommandPtr commands[] = {documentStart(nullptr, documentSettings({{AttrId::Copies, 1}})),
                                  GCommandPtr(new GPageStart), GCommandPtr(new GPageEnd), documentEnd()};
  for (const GCommandPtr& c : commands) EXPECT_EQ(tree.send(c), c) << c->isA();

  const PortRecord* port = provider.last();
  ASSERT_NE(port, nullptr);
  const TestGenerator& g = *tree.generator;
  EXPECT_EQ(port->written, "\x1b%-12345X@PJL JOB NAME=\"doc\"\r\n@PJL SET RESOLUTION=600\r\n"
                           "@PJL ENTER LANGUAGE=PCLXL\r\n" +
                               g.marker("onDocumentStart") + g.marker("onPageStart") + g.marker("onPageEnd") +
                               g.marker("onDocumentEnd") + "\x1b%-12345X@PJL EOJ NAME=\"doc\"\r\n\x1b%-12345X");
  // Started by name without framing, written, ended, deleted.
  EXPECT_EQ(port->startedName, "doc");
  EXPECT_EQ(port->startedWithPjl, 0);
  EXPECT_EQ(port->calls, (std::vector<std::string>{"open", "startJob", "write", "write", "write", "write", "write",
                                                   "write", "endJob"}));
  EXPECT_TRUE(port->deleted);
  EXPECT_EQ(tree.printer->port(), nullptr);
  EXPECT_EQ(tree.printer->jobState(), 0);
}

TEST(PrinterJob, EachCommandReachesTheChildrenItsClassNames) {
  TestPortProvider provider;
  PrinterTree tree;
  RecordingPeripheral* language = new RecordingPeripheral("language", AttrId::JobLanguage);
  delete tree.printer->removeById(AttrId::JobLanguage);
  tree.printer->insert(language);
  auto commandsSeen = [&] {
    std::vector<std::string> names;
    for (const std::string& h : language->handlers())
      if (h.find("Attribute") == std::string::npos) names.push_back(h);
    return names;
  };
  auto withoutAttribute = [](GCommand* c) {
    c->setAttribute(nullptr);
    return GCommandPtr(c);
  };
  const struct {
    const char* name;
    GCommandPtr command;
    std::vector<std::string> language;
    std::vector<std::string> generator;
  } steps[] = {
      {"document start", documentStart(), {"onDocumentStart"}, {"onDocumentStart"}},
      {"page start", GCommandPtr(new GPageStart), {}, {"onPageStart"}},
      {"manual duplex", GCommandPtr(new GManualDuplexFirstHalf), {}, {"onManualDuplexFirstHalf"}},
      {"page end", GCommandPtr(new GPageEnd), {"onPageEnd"}, {"onPageEnd"}},
      {"page end without attribute", withoutAttribute(new GPageEnd), {}, {}},
      {"document end without attribute", withoutAttribute(new GDocumentEnd), {}, {}},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.name);
    language->clearCalls();
    tree.generator->clearLog();
    EXPECT_EQ(tree.send(step.command), step.command);
    EXPECT_EQ(commandsSeen(), step.language);
    EXPECT_EQ(tree.generator->seen(), step.generator);
  }
  // The document end the children never saw still ended the owned port.
  ASSERT_NE(provider.last(), nullptr);
  EXPECT_EQ(provider.last()->calls.back(), "endJob");
  EXPECT_TRUE(provider.last()->deleted);
}

TEST(PrinterJob, TheGeneratorGetsTheChangedSettingsOfACommandsGroup) {
  FakeOutputPort port;
  ASSERT_EQ(port.startJob(RWWString("doc"), 0), 0);
  PrinterTree tree;
  tree.send(documentStart(&port, documentSettings({{AttrId::Copies, 2}})));
  const std::vector<uint32_t>& seen = tree.generator->attributesSeen();
  EXPECT_NE(std::find(seen.begin(), seen.end(), AttrId::Copies), seen.end());
  tree.generator->clearLog();
  GState* page = new GState(AttrId::PageGroup);
  page->insert(new GValueAttribute(7, 700));
  tree.send(GCommandPtr(new GPageStart(page)));
  EXPECT_EQ(seen, (std::vector<uint32_t>{700}));
}

// ---- ports ----------------------------------------------------------------------------------

TEST(PrinterPorts, ACarriedPortIsOnlyUsed) {
  const int deletions = FakeOutputPort::destructions();
  FakeOutputPort port;
  ASSERT_EQ(port.startJob(RWWString("doc"), 0), 0);  // as the platform does
  PrinterTree tree;
  const GCommandPtr commands[] = {documentStart(&port), GCommandPtr(new GPageEnd), documentEnd()};
  for (const GCommandPtr& c : commands) EXPECT_EQ(tree.send(c), c) << c->isA();
  EXPECT_EQ(port.written(), header("") + tree.generator->marker("onDocumentStart") +
                                tree.generator->marker("onPageEnd") + tree.generator->marker("onDocumentEnd") +
                                trailer());
  EXPECT_EQ(port.calls().front(), "startJob") << "the platform's, not the printer's";
  EXPECT_EQ(std::count(port.calls().begin(), port.calls().end(), "startJob"), 1);
  EXPECT_EQ(std::count(port.calls().begin(), port.calls().end(), "endJob"), 0);
  EXPECT_EQ(FakeOutputPort::destructions(), deletions);
  EXPECT_EQ(tree.printer->port(), nullptr) << "forgotten when the job ended";
}

TEST(PrinterPorts, NoPortMeans601ForTheWholeStart) {
  const struct {
    const char* name;
    TestPortProvider::Makes makes;
  } cases[] = {{"no provider makes one", TestPortProvider::kNoPorts},
               {"it does not open", TestPortProvider::kClosedPorts}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TestPortProvider provider(c.makes);
    PrinterTree tree;
    const GCommandPtr start = documentStart();
    const GCommandPtr answer = tree.send(start);
    ASSERT_NE(asError(answer), nullptr);
    EXPECT_EQ(asError(answer)->errorCode(), kStatusNoPort);
    EXPECT_EQ(asError(answer)->failedCommand(), start.get());
    // The children passed the error on: no header, no generator.
    EXPECT_TRUE(tree.generator->seen().empty());
    EXPECT_EQ(tree.pjl->jobState(), 0);
    EXPECT_EQ(tree.printer->jobState(), 0);
    if (c.makes == TestPortProvider::kNoPorts) {
      EXPECT_EQ(tree.printer->port(), nullptr) << "nothing owned";
    } else {
      EXPECT_TRUE(tree.printer->ownsPort());
      EXPECT_EQ(provider.last()->written, "");
      tree.send(GCommandPtr(new GJobAbort));
      EXPECT_TRUE(provider.last()->deleted);
    }
  }
}

TEST(PrinterPorts, AbortsAndFailuresOfThePort) {
  const struct {
    const char* name;
    bool carried;
    std::vector<std::pair<std::string, uint16_t>> scripts;
    GStatus status;
  } cases[] = {
      {"owned port aborts", false, {}, 0},
      {"owned port fails to abort", false, {{"abort", 4}}, 4},
      {"carried port", true, {{"abort", 4}}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TestPortProvider provider;
    provider.scripts = c.scripts;
    FakeOutputPort carried;
    for (const auto& [operation, status] : c.scripts) carried.answer(operation, status);
    (void)carried.startJob(RWWString("doc"), 0);  // a scripted start may fail: the case is about the abort
    PrinterTree tree;
    tree.send(documentStart(c.carried ? &carried : nullptr));
    const GCommandPtr abort(new GJobAbort);
    const GCommandPtr answer = tree.send(abort);
    if (c.status == 0) {
      EXPECT_EQ(answer, abort);
    } else {
      ASSERT_NE(asError(answer), nullptr);
      EXPECT_EQ(asError(answer)->errorCode(), c.status);
      EXPECT_EQ(asError(answer)->failedCommand(), abort.get());
    }
    EXPECT_EQ(tree.generator->seen().back(), "onJobAbort");
    EXPECT_EQ(tree.printer->port(), nullptr);
    const std::string written = c.carried ? carried.written() : provider.last()->written;
    EXPECT_EQ(written.find("EOJ"), std::string::npos) << "no trailer";
    if (c.carried) {
      EXPECT_EQ(std::count(carried.calls().begin(), carried.calls().end(), "abort"), 0);
    } else {
      EXPECT_EQ(provider.last()->calls.back(), "abort");
      EXPECT_TRUE(provider.last()->deleted);
    }
  }
}

TEST(PrinterPorts, AFailingStartOrEndOfTheOwnedPortIsTheJobsError) {
  TestPortProvider provider;
  provider.scripts = {{"startJob", 7}};
  PrinterTree tree;
  const GCommandPtr answer = tree.send(documentStart());
  ASSERT_NE(asError(answer), nullptr);
  EXPECT_EQ(asError(answer)->errorCode(), 7);
  EXPECT_EQ(provider.last()->calls, (std::vector<std::string>{"open", "startJob"}));
  EXPECT_EQ(tree.printer->jobState(), 0);

  provider.scripts = {{"endJob", 9}};
  tree.send(documentStart());
  const GCommandPtr end = tree.send(documentEnd());
  ASSERT_NE(asError(end), nullptr);
  EXPECT_EQ(asError(end)->errorCode(), 9);
  EXPECT_NE(provider.last()->written.find(trailer()), std::string::npos) << "written before the end failed";
  EXPECT_TRUE(provider.last()->deleted);
}

TEST(PrinterPorts, APageEndOnAStoppedJobIsAnError) {
  PrinterTree tree;
  const GCommandPtr stray(new GPageEnd);
  EXPECT_EQ(tree.printer->process(stray), stray) << "no job, no port to ask";

  FakeOutputPort port;
  ASSERT_EQ(port.startJob(RWWString("doc"), 0), 0);
  tree.send(documentStart(&port));
  const GCommandPtr pageEnd(new GPageEnd);
  EXPECT_EQ(tree.send(pageEnd), pageEnd);
  EXPECT_EQ(port.abort(), 0);  // the spooler cancelled the job
  const GCommandPtr next(new GPageEnd);
  const GCommandPtr answer = tree.send(next);
  ASSERT_NE(asError(answer), nullptr);
  EXPECT_EQ(asError(answer)->errorCode(), 1);
  EXPECT_EQ(asError(answer)->failedCommand(), next.get());
}

// ---- the language name and the shared settings ----------------------------------------------

TEST(PrinterSettings, EveryChildSharesOneStateNamingTheGeneratorsLanguage) {
  PrinterTree tree;
  EXPECT_EQ(tree.printer->generator(), tree.generator);
  EXPECT_EQ(tree.printer->jobLanguage(), tree.pjl);
  EXPECT_EQ(tree.pjl->state(), tree.printer->state());
  EXPECT_EQ(tree.generator->state(), tree.printer->state());
  EXPECT_EQ(tree.pjl->defaults(), tree.printer->defaults());
  EXPECT_EQ(PrinterTree::languageIn(tree.printer->state()), "PCLXL");
  EXPECT_EQ(PrinterTree::languageIn(tree.printer->defaults()), "PCLXL");

  // Only a generator is named.
  RecordingPeripheral* other = new RecordingPeripheral("other", 7);
  tree.printer->insert(other);
  EXPECT_EQ(other->state(), tree.printer->state());
  delete tree.printer->remove(other);
  EXPECT_EQ(PrinterTree::languageIn(tree.printer->state()), "PCLXL");
}

TEST(PrinterSettings, TwoJobsWithAResetBetweenBothNameTheLanguageAndShareNothingElse) {
  TestPortProvider provider;
  PrinterTree tree;
  tree.send(documentStart(nullptr, documentSettings({{AttrId::Copies, 2}})));
  tree.send(documentEnd());
  const std::string first = provider.last()->written;
  EXPECT_EQ(first.substr(0, header(pjlSet("QTY=2")).size()), header(pjlSet("QTY=2")));

  tree.root.reset();
  tree.send(documentStart());
  tree.send(documentEnd());
  const std::string second = provider.last()->written;
  EXPECT_EQ(second.substr(0, header("").size()), header("")) << "the language kept, the copies gone";

  // A generator taken out takes its name with it, through resets too.
  delete tree.printer->removeById(AttrId::Generator);
  EXPECT_EQ(tree.printer->generator(), nullptr);
  EXPECT_EQ(PrinterTree::languageIn(tree.printer->state()), "<none>");
  EXPECT_EQ(PrinterTree::languageIn(tree.printer->defaults()), "<none>");
  tree.root.reset();
  EXPECT_EQ(PrinterTree::languageIn(tree.printer->state()), "<none>");
  tree.send(documentStart());
  EXPECT_EQ(provider.last()->written, uel() + pjlLine("JOB NAME=\"doc\"") + pjlSet("RESOLUTION=600") +
                                          pjlLine("ENTER LANGUAGE="));
}

// The job language enters the printer into the generator's language: a
// job whose language has no name a printer could know is refused before
// anything is written or a port is made.
TEST(PrinterSettings, AJobWhoseLanguageHasNoNameIsRefusedWhole) {
  for (const char* language : {"", "PCL XL", "PCLXL\r\n@PJL", "PCL-XL"}) {
    SCOPED_TRACE(language);
    TestPortProvider provider;
    PrinterTree tree;
    delete tree.printer->removeById(AttrId::Generator);
    tree.generator = new TestGenerator(language);
    tree.printer->insert(tree.generator);
    const GCommandPtr start = documentStart();
    const GCommandPtr answer = tree.send(start);
    ASSERT_NE(asError(answer), nullptr);
    EXPECT_EQ(asError(answer)->errorCode(), kStatusNoLanguage);
    EXPECT_TRUE(tree.generator->seen().empty());
    EXPECT_EQ(tree.pjl->jobState(), 0);
    EXPECT_EQ(provider.last(), nullptr) << "no port made";
  }
}

// Whether a configuration can make a job at all, as the driver asks before
// it enables a device: each part a job needs, missing or disabled.
TEST(PrinterConfiguration, WhatARootLacksToPrintIsNamed) {
  const struct {
    const char* damage;
    void (*apply)(PrinterTree&);
    const char* fault;  // null: it prints
  } cases[] = {
      {"none", [](PrinterTree&) {}, nullptr},
      {"the root disabled", [](PrinterTree& t) { t.root.disable(); }, "the configuration's root is disabled"},
      {"no printer", [](PrinterTree& t) { delete t.root.removeById(AttrId::Printer); },
       "the configuration holds no printer"},
      {"the printer under another id", [](PrinterTree& t) { t.printer->setId(77); },
       "the configuration holds no printer"},
      {"the printer disabled", [](PrinterTree& t) { t.printer->disable(); },
       "the configuration's printer is disabled"},
      {"no generator", [](PrinterTree& t) { delete t.printer->removeById(AttrId::Generator); },
       "the printer has no page description generator"},
      {"a job language where the generator goes", [](PrinterTree& t) { t.pjl->setId(AttrId::Generator); },
       "the printer has no page description generator"},
      {"the generator disabled", [](PrinterTree& t) { t.generator->disable(); },
       "the printer's page description generator is disabled"},
      {"no job language", [](PrinterTree& t) { delete t.printer->removeById(AttrId::JobLanguage); },
       "the printer has no job language"},
      {"the job language disabled", [](PrinterTree& t) { t.pjl->disable(); },
       "the printer's job language is disabled"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.damage);
    PrinterTree tree;
    c.apply(tree);
    const char* fault = gPrintingFault(&tree.root);
    EXPECT_EQ(fault ? std::string(fault) : "<prints>", c.fault ? std::string(c.fault) : "<prints>");
  }
  EXPECT_EQ(std::string(gPrintingFault(nullptr)), "the configuration has no root stage");
}

TEST(PrinterSettings, ACopyOfTheStageGivenTakesAChildsPlace) {
  TestPortProvider provider;
  PrinterTree tree;
  // A generator handed over as an attribute sits in the shared State.
  tree.printer->state()->insert(new TestGenerator("OLD", AttrId::Generator));

  TestGenerator pcl("PCL");
  EXPECT_EQ(tree.printer->replaceChildStage(AttrId::Generator, &pcl), 0);
  TestGenerator* now = dynamic_cast<TestGenerator*>(tree.printer->generator());
  ASSERT_NE(now, nullptr);
  EXPECT_NE(now, &pcl) << "a copy";
  EXPECT_EQ(now->name(), RWCString("PCL"));
  EXPECT_EQ(tree.printer->entries(), 2u);
  EXPECT_EQ(pcl.dependentCount(), 0u);
  ASSERT_EQ(now->dependentCount(), 1u);
  EXPECT_EQ(now->dependentAt(0), tree.printer);
  EXPECT_EQ(tree.printer->state()->findById(AttrId::Generator), nullptr);
  EXPECT_EQ(PrinterTree::languageIn(tree.printer->state()), "PCL");

  GPJL language(AttrId::JobLanguage);
  EXPECT_EQ(tree.printer->onPJL(&language), 0);
  ASSERT_NE(tree.printer->jobLanguage(), nullptr);
  EXPECT_NE(tree.printer->jobLanguage(), &language);
  EXPECT_EQ(tree.printer->jobLanguage()->isA(), ClassId::GPJL);
  EXPECT_EQ(tree.printer->entries(), 2u);

  tree.send(documentStart());
  EXPECT_EQ(provider.last()->written, header("", "PCL") + now->marker("onDocumentStart"));
  tree.send(documentEnd());

  // A PCL XL generator handed over as an attribute comes to the printer's
  // handler for it, and a copy of it becomes the generator child.
  GCheetah cheetah("PCLXL", nullptr, nullptr, AttrId::Generator);
  EXPECT_EQ(cheetah.accept(*tree.printer), 0);
  ASSERT_NE(tree.printer->generator(), nullptr);
  EXPECT_NE(tree.printer->generator(), &cheetah);
  EXPECT_EQ(tree.printer->generator()->isA(), ClassId::GCheetah);
  EXPECT_EQ(tree.printer->entries(), 2u);
  EXPECT_EQ(PrinterTree::languageIn(tree.printer->state()), "PCLXL");
}

// ---- stored form ------------------------------------------------------------------------------

class PrinterStore : public StoreTest {};

TEST_F(PrinterStore, ThePrinterWordFollowsTheContainersLevel) {
  // Stored as a tree's top, so that nothing around it is stored with it.
  GPrinter printer(AttrId::Printer);
  printer.insert(new GPJL(AttrId::JobLanguage));
  printer.insert(new TestGenerator("PCLXL"));
  EXPECT_EQ(printer.printerWordIsOne(), 0);
  EXPECT_EQ(printer.printerWord(), 2);
  const ReportLog reports;
  std::string stored = storeFile(&printer);
  EXPECT_EQ(stored.size(), 6 + printer.binaryStoreSize());
  const size_t at = stored.size() - 8;
  ASSERT_EQ(stored.substr(at), le32(1) + le32(2));

  const struct {
    const char* name;
    uint32_t version;
    int32_t word;
    int32_t isOne;
  } cases[] = {{"as stored", 1, 2, 0}, {"word 1", 1, 1, 1}, {"a later version", 2, 1, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    stored.replace(at, 8, le32(c.version) + le32(static_cast<uint32_t>(c.word)));
    std::unique_ptr<MPersistentObject> back = restoredObject(stored);
    const GPrinter* printer = dynamic_cast<const GPrinter*>(back.get());
    ASSERT_NE(printer, nullptr);
    EXPECT_EQ(printer->printerWordIsOne(), c.isOne);
    EXPECT_EQ(printer->id(), AttrId::Printer);
    ASSERT_NE(printer->jobLanguage(), nullptr);
    EXPECT_EQ(printer->jobLanguage()->isA(), ClassId::GPJL);
    ASSERT_NE(printer->generator(), nullptr);
    EXPECT_EQ(printer->generator()->isA(), TestKitClassId::TestGenerator);
    EXPECT_EQ(printer->generator()->name(), RWCString("PCLXL"));
  }

  const std::unique_ptr<GPrinter> streamed =
      throughStream<RWeostream, RWeistream>(&printer, RWeostream::LittleEndian);
  ASSERT_NE(streamed, nullptr);
  EXPECT_EQ(streamed->printerWord(), 2);
  EXPECT_NE(streamed->generator(), nullptr);
  EXPECT_TRUE(reports.empty());
}

}  // namespace
