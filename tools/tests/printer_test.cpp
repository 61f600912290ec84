// The printer configuration builder and mkprinter: the tree's layout, the
// settings tree made from it, the data file restored as the driver server
// reads it (one shared paper-name table), a job through the restored tree
// into a file, and the tool's options, errors and exit statuses.

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/outport.h"
#include "core/passoc.h"
#include "core/state.h"
#include "device/capabil.h"
#include "device/paperdev.h"
#include "device/pericomp.h"
#include "device/pjl.h"
#include "device/printer.h"
#include "device/tray.h"
#include "graphics/colrend.h"
#include "journal/chromafit.h"
#include "journal/ctlcmds.h"
#include "testkit/device/generator.h"
#include "testkit/files.h"
#include "testkit/printer/built.h"
#include "testkit/tmpdir.h"
#include "tools/printer/mkprint.h"

namespace {

std::vector<uint32_t> childIds(const MPersistentObject* composite) {
  std::vector<uint32_t> ids;
  const auto* c = dynamic_cast<const GAttributeComposite*>(composite);
  const auto* p = dynamic_cast<const MPersistentComposite*>(composite);
  const RWsize n = c ? c->entries() : p ? p->entries() : 0;
  for (RWsize i = 0; i < n; ++i) {
    const MPersistentObject* child = c ? c->children().pointee(i) : p->children().pointee(i);
    ids.push_back(child ? child->id() : 0xFFFFFFFF);
  }
  return ids;
}

GPeripheral* stage(const MPersistentObject* within, uint32_t id) {
  return dynamic_cast<GPeripheral*>(within->findById(id));
}

std::vector<std::string> filesIn(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
    closedir(d);
  }
  return names;
}

// ---- the tree -----------------------------------------------------------------------------------

TEST(PrinterBuilder, EachItemSitsWhereItsReaderLooks) {
  const std::unique_ptr<GAttributeComposite> top = builtTree();
  ASSERT_TRUE(top);
  EXPECT_EQ(childIds(top.get()), (std::vector<uint32_t>{353, 191, 84, 194}));
  GPeripheralComposite* root = printerRoot(*top);
  ASSERT_NE(root, nullptr);
  auto* printer = dynamic_cast<GPrinter*>(stage(root, 76));
  ASSERT_NE(printer, nullptr);
  EXPECT_EQ(childIds(&printer->children()), (std::vector<uint32_t>{106, 101}));
  auto* pjl = dynamic_cast<GPJL*>(printer->jobLanguage());
  auto* generator = dynamic_cast<TestGenerator*>(printer->generator());
  ASSERT_NE(pjl, nullptr);
  ASSERT_NE(generator, nullptr);
  EXPECT_EQ(std::string(generator->name().data()), "PCLXL");

  // Every stage has a configuration of its own; the printer's Config merges
  // them.
  for (const GPeripheralComposite* s : {static_cast<GPeripheralComposite*>(printer),
                                        static_cast<GPeripheralComposite*>(pjl), static_cast<GPeripheralComposite*>(generator)}) {
    const auto* own = dynamic_cast<const GConfiguration*>(s->ownConfig());
    ASSERT_NE(own, nullptr) << s->id();
    EXPECT_EQ(own->id(), 198u);
  }
  const MPersistentObject* printerOwn = printer->ownConfig();
  EXPECT_EQ(childIds(printerOwn), (std::vector<uint32_t>{199, 359, 112, 203, 205, 914, 916}));
  EXPECT_EQ(childIds(printerOwn->findById(359)), (std::vector<uint32_t>{364, 365, 366, 276, 701}));
  EXPECT_EQ(childIds(printerOwn->findById(112)),
            (std::vector<uint32_t>{113, 120, 126, 127, 128, 135, 136, 137, 565, 750}));
  EXPECT_NE(dynamic_cast<const GCapabilities*>(printerOwn->findById(135)), nullptr);
  EXPECT_NE(dynamic_cast<const GRangeAttribute*>(printerOwn->findById(199)), nullptr);

  const MPersistentObject* pjlOwn = pjl->ownConfig();
  EXPECT_EQ(childIds(pjlOwn), (std::vector<uint32_t>{192, 228, 206}));
  const auto* names = dynamic_cast<const MAssociationList*>(pjlOwn->findById(192));
  ASSERT_NE(names, nullptr);
  const struct {
    int16_t id;
    const char* keyword;
  } papers[] = {{1, "LETTER"}, {5, "LEGAL"}, {23, "A4"}};
  for (const auto& p : papers) {
    const GValueAttribute key(p.id, 0);
    const auto* text = dynamic_cast<const GSelectionString*>(names->findValue(&key));
    ASSERT_NE(text, nullptr) << p.id;
    EXPECT_EQ(std::string(text->text().data()), p.keyword);
  }
  EXPECT_EQ(childIds(pjlOwn->findById(228)), (std::vector<uint32_t>{90, 231}));
  const auto* devices = dynamic_cast<const GAttributeComposite*>(pjlOwn->findById(228)->findById(90));
  ASSERT_NE(devices, nullptr);
  ASSERT_EQ(devices->entries(), 2u);
  const auto* input = dynamic_cast<GPaperHandlingDevice*>(devices->children().pointee(0));
  const auto* output = dynamic_cast<GPaperHandlingDevice*>(devices->children().pointee(1));
  ASSERT_TRUE(input && output);
  EXPECT_EQ(input->deviceClass(), 0);
  EXPECT_EQ(childIds(input->findSource(1)).size(), 2u);
  EXPECT_EQ(dynamic_cast<const GTray*>(input->findSource(1)->children().pointee(1))->number(), 2);
  EXPECT_EQ(output->deviceClass(), 1);
  EXPECT_NE(dynamic_cast<const GBin*>(output->findSource(1)->children().pointee(0)), nullptr);

  const MPersistentObject* generatorOwn = generator->ownConfig();
  EXPECT_EQ(childIds(generatorOwn), (std::vector<uint32_t>{189, 192}));
  EXPECT_EQ(generatorOwn->findById(192), names) << "one table for both";
  auto* pool = dynamic_cast<GMediaPool*>(generatorOwn->findById(189));
  ASSERT_NE(pool, nullptr);
  const struct {
    int16_t id;
    int32_t orientation;
    int16_t width, height;
  } entries[] = {{1, 0, 5100, 6600},  {5, 0, 5100, 8400},  {23, 0, 4960, 7016}, {17385, 0, 1800, 3000},
                 {17384, 0, 5100, 8400}, {1, 90, 6600, 5100}, {23, 90, 7016, 4960}, {17384, 90, 8400, 5100}};
  for (const auto& e : entries) {
    const GMedia* m = pool->findByMediaId(e.id, e.orientation, 600);
    ASSERT_NE(m, nullptr) << e.id << " at " << e.orientation;
    EXPECT_EQ(m->size(), GPoint(e.width, e.height));
    EXPECT_EQ(m->printableOrigin(), GPoint(100, 100));
    EXPECT_EQ(m->printableExtent(), GPoint(static_cast<int16_t>(e.width - 200), static_cast<int16_t>(e.height - 200)));
  }

  // The printer's Default, and the State made from it.
  for (const GState* s : {printer->defaults(), printer->state()}) {
    ASSERT_NE(s, nullptr);
    const MPersistentObject* document = s->findById(246);
    ASSERT_NE(document, nullptr);
    const auto* media = dynamic_cast<const GMedia*>(document->findById(259));
    ASSERT_NE(media, nullptr);
    EXPECT_EQ(media->mediaId(), 1);
    EXPECT_EQ(childIds(document->findById(249)), (std::vector<uint32_t>{323, 324, 325}));
    EXPECT_NE(document->findById(265), nullptr);
    EXPECT_NE(s->findById(256), nullptr);
    EXPECT_NE(s->findById(244), nullptr);
  }

  auto* codes = dynamic_cast<GResourceMappingList*>(top->findById(191));
  ASSERT_NE(codes, nullptr);
  EXPECT_EQ(codes->findByFirstCode(9)->secondCode(), 23);
  auto* trays = dynamic_cast<GResourceMappingList*>(top->findById(84));
  ASSERT_NE(trays, nullptr);
  EXPECT_EQ(trays->entries(), 2u);
  EXPECT_EQ(dynamic_cast<GResourceMappingList*>(top->findById(194))->entries(), 0u);
}

TEST(PrinterBuilder, ModelChoicesAndTheHook) {
  PrinterModel model = testModel();
  model.language = "POSTSCRIPT";
  model.media = {23};
  model.trays = {3};
  model.bins = 2;
  model.resolutions = {300, 1200};
  model.hook = [](PrinterConfigs& configs) { configs.printer.insert(new GValueAttribute(7, 339)); };
  BuiltInstance built(model);
  GDriverInstance& instance = built.instance;
  EXPECT_EQ(std::string(instance.pdlGenerator()->name().data()), "POSTSCRIPT");
  EXPECT_EQ(instance.configurationValue(), 7u);
  EXPECT_EQ(instance.supportsResolution(1200, 1200), 1);
  EXPECT_EQ(instance.supportsResolution(600, 600), 0);
  EXPECT_EQ(instance.supportsTray(3), 1);
  EXPECT_EQ(instance.checkMediaId(nullptr, 1, 0, 0, 0), 2) << "only A4 is in the paper-name table";
  const GMedia* a4 = instance.printerSetting189()->findByMediaId(23, 0, 1200);
  ASSERT_NE(a4, nullptr);
  EXPECT_EQ(a4->size(), GPoint(9920, 14032));
  EXPECT_EQ(a4->printableOrigin(), GPoint(200, 200));
  const auto* document = built.settings().findById(362);
  ASSERT_NE(document, nullptr);
  EXPECT_EQ(dynamic_cast<const GMedia*>(document->findById(260))->mediaId(), 23);
  const auto* output = dynamic_cast<GPaperHandlingDevice*>(instance.paperHandlingDevices()->children().pointee(1));
  EXPECT_EQ(output->findSource(1)->entries(), 2u);
}

TEST(PrinterBuilder, TheSettingsTreeCopiesTheTemplateAndTheDefaults) {
  BuiltInstance built;
  GAttributeComposite& settings = built.settings();
  EXPECT_EQ(settings.id(), 360u);
  EXPECT_EQ(childIds(&settings), (std::vector<uint32_t>{364, 365, 366, 276, 701, 362, 363}));
  const MPersistentObject* document = settings.findById(362);
  EXPECT_EQ(childIds(document), (std::vector<uint32_t>{249, 265, 702, 260}));
  EXPECT_NE(settings.findById(363), nullptr);
  // Copies: the printer's own are not touched.
  EXPECT_NE(settings.findById(364), built.printerConfig().findById(364));
  EXPECT_NE(built.instance.printer()->defaults()->findById(259), nullptr);
}

TEST(PrinterBuilder, ABadModelNamesTheCause) {
  const struct {
    const char* name;
    void (*change)(PrinterModel&);
    const char* error;
  } cases[] = {
      {"language", [](PrinterModel& m) { m.language = "HPGL"; }, "unknown language \"HPGL\""},
      {"media", [](PrinterModel& m) { m.media = {1, 2}; }, "unknown media id 2"},
      {"no media", [](PrinterModel& m) { m.media.clear(); }, "no media"},
      {"resolution", [](PrinterModel& m) { m.resolutions = {2400}; }, "unsupported resolution 2400"},
      {"tray", [](PrinterModel& m) { m.trays = {0}; }, "bad tray number 0"},
      {"bins", [](PrinterModel& m) { m.bins = 100; }, "bad bin count 100"},
      {"class", [](PrinterModel& m) { m.generatorClass = "GNoSuchGenerator"; }, "unknown class \"GNoSuchGenerator\""},
      {"no stage", [](PrinterModel& m) { m.generatorClass = "GMedia"; }, "class \"GMedia\" is not a stage container"},
      {"no generator", [](PrinterModel& m) { m.generatorClass = "GPrinter"; }, "class \"GPrinter\" is not a generator"},
      {"no orientation", [](PrinterModel& m) { m.orientations.clear(); }, "no orientation"},
      {"orientation", [](PrinterModel& m) { m.orientations = {0, 45}; }, "bad orientation 45"},
      {"media option", [](PrinterModel& m) { m.mediaOptions = {3}; }, "bad media option 3"},
      {"form capability", [](PrinterModel& m) { m.formCapabilities = {1, 12}; }, "bad form capability 12"},
      {"tray form", [](PrinterModel& m) { m.trayForms = {{3, 1}}; }, "no tray 3 for a form"},
      {"tray form media", [](PrinterModel& m) {
         m.media = {1};
         m.trayForms = {{1, 23}};
       },
       "media id 23 of tray 1 is not the printer's"},
  };
  for (const auto& c : cases) {
    PrinterModel model = testModel();
    c.change(model);
    std::string error;
    EXPECT_EQ(buildPrinterTree(model, error), nullptr) << c.name;
    EXPECT_EQ(error, c.error) << c.name;
  }
}

// ---- the data file --------------------------------------------------------------------------------

TEST(PrinterBuilder, TheFileRestoresIntoTheInstancesPartsWithOneSharedTable) {
  TempDir dir;
  const std::string path = dir.file("printer.dat");
  std::string error;
  ASSERT_TRUE(writePrinterTree(*builtTree(), path, error)) << error;
  EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"printer.dat"})) << "no temporary left";

  std::unique_ptr<GAttributeComposite> top = restoredTree(path);
  ASSERT_TRUE(top);
  EXPECT_EQ(childIds(top.get()), (std::vector<uint32_t>{353, 191, 84, 194}));
  TestInstance instance;
  handOver(*top, instance);
  EXPECT_EQ(top->entries(), 0u);
  ASSERT_NE(instance.configuration(), nullptr);
  ASSERT_NE(instance.codeMappings(), nullptr);
  ASSERT_NE(instance.storedPart(), nullptr);
  ASSERT_NE(instance.resourceMappings(), nullptr);
  EXPECT_EQ(instance.codeMappings()->entries(), 3u);

  auto* printer = dynamic_cast<GPrinter*>(instance.printer());
  ASSERT_NE(printer, nullptr);
  ASSERT_NE(dynamic_cast<GPJL*>(printer->jobLanguage()), nullptr);
  ASSERT_NE(dynamic_cast<TestGenerator*>(printer->generator()), nullptr);
  const MPersistentObject* pjlTable = printer->jobLanguage()->config()->findById(192);
  ASSERT_NE(pjlTable, nullptr);
  EXPECT_EQ(printer->generator()->config()->findById(192), pjlTable);
  EXPECT_EQ(instance.checkMediaId(nullptr, 23, 0, 0, 0), 1);
  EXPECT_EQ(instance.supportsTray(2), 1);
  int32_t count = 0;
  EXPECT_EQ(instance.selectMedia(nullptr, nullptr, 90, 600, 600, 1, 1, count), 1);
  EXPECT_EQ(count, 3);
}

TEST(PrinterBuilder, AJobThroughTheRestoredTreeIsFramedInTheFile) {
  TempDir dir;
  const std::string path = dir.file("printer.dat");
  const std::string output = dir.file("job.prn");
  std::string error;
  ASSERT_TRUE(writePrinterTree(*builtTree(), path, error)) << error;
  TestInstance instance;
  handOver(*restoredTree(path), instance);
  GPeripheralComposite* root = instance.configuration();
  ASSERT_NE(root, nullptr);
  auto* generator = dynamic_cast<TestGenerator*>(instance.pdlGenerator());
  ASSERT_NE(generator, nullptr);

  // Without a platform device the spooler's provider makes a file port on
  // the port name; the printer owns it for the job.
  GSpoolerProvider spooler;
  ASSERT_EQ(GOutputPortProviderRegistry::instance().add(&spooler, RWCString("Test Spooler")), 0);
  const GCommandPtr commands[] = {
      GCommandPtr(new GDocumentStart(RWWString("doc"), RWWString(output.c_str()), nullptr, new GState(246))),
      GCommandPtr(new GPageStart), GCommandPtr(new GPageEnd),
      GCommandPtr(new GDocumentEnd(RWWString("doc"), RWWString(output.c_str())))};
  for (const GCommandPtr& c : commands) EXPECT_EQ(root->process(c), c) << c->isA();
  GOutputPortProviderRegistry::instance().remove(RWCString("Test Spooler"));

  EXPECT_EQ(fileContents(output), "\x1b%-12345X@PJL JOB NAME=\"doc\"\r\n@PJL SET PAPER=LETTER\r\n"
                              "@PJL SET RESOLUTION=600\r\n@PJL ENTER LANGUAGE=PCLXL\r\n" +
                                  generator->marker("onDocumentStart") + generator->marker("onPageStart") +
                                  generator->marker("onPageEnd") + generator->marker("onDocumentEnd") +
                                  "\x1b%-12345X@PJL EOJ NAME=\"doc\"\r\n\x1b%-12345X");
}

TEST(PrinterBuilder, AnUnwritablePathLeavesNoFile) {
  TempDir dir;
  std::string error;
  const std::unique_ptr<GAttributeComposite> top = builtTree();
  EXPECT_FALSE(writePrinterTree(*top, dir.file("missing/printer.dat"), error));
  EXPECT_NE(error.find("missing/printer.dat"), std::string::npos) << error;
  // A folder in the way: the file is written, then cannot take its name.
  ASSERT_EQ(mkdir(dir.file("taken").c_str(), 0755), 0);
  EXPECT_FALSE(writePrinterTree(*top, dir.file("taken"), error));
  EXPECT_NE(error.find("taken"), std::string::npos) << error;
  EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"taken"}));
}

// ---- the tool ----------------------------------------------------------------------------------------

TEST(Mkprinter, WritesAFileThatRestores) {
  TempDir dir;
  const std::string path = dir.file("out.dat");
  std::ostringstream err;
  ASSERT_EQ(runMkprinter({"--language", "PCL", "--generator", "TestGenerator", "--media", "A4,LETTER", "--trays",
                          "1,2,3", "--bins", "2", "--resolutions", "300,600", "-o", path},
                         err),
            0)
      << err.str();
  EXPECT_EQ(err.str(), "");
  std::unique_ptr<GAttributeComposite> top = restoredTree(path);
  ASSERT_TRUE(top);
  TestInstance instance;
  handOver(*top, instance);
  EXPECT_EQ(std::string(instance.pdlGenerator()->name().data()), "PCL");
  EXPECT_EQ(instance.supportsResolution(300, 300), 1);
  EXPECT_EQ(instance.supportsTray(3), 1);
  EXPECT_EQ(instance.checkMediaId(nullptr, 5, 0, 0, 0), 2);
  EXPECT_EQ(instance.checkMediaId(nullptr, 23, 0, 0, 0), 1);
  // The first paper named is the Default's.
  EXPECT_EQ(dynamic_cast<const GMedia*>(instance.printer()->defaults()->findById(259))->mediaId(), 23);
  EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"out.dat"}));
}

TEST(Mkprinter, ThePclXlLanguageMakesTheGeneratorWithItsItems) {
  TempDir dir;
  const std::string path = dir.file("xl.dat");
  std::ostringstream err;
  ASSERT_EQ(runMkprinter({"--trays", "1,2", "-o", path}, err), 0) << err.str();
  std::unique_ptr<GAttributeComposite> top = restoredTree(path);
  ASSERT_TRUE(top);
  TestInstance instance;
  handOver(*top, instance);
  const GPeripheral* generator = instance.pdlGenerator();
  ASSERT_NE(generator, nullptr);
  EXPECT_EQ(generator->isA(), ClassId::GCheetah);
  EXPECT_EQ(std::string(generator->name().data()), "PCLXL");
  const auto* sources = dynamic_cast<const MAssociationList*>(generator->config()->findById(85));
  ASSERT_NE(sources, nullptr);
  for (const auto& [tray, code] : {std::pair<int16_t, int16_t>{1, 3}, {2, 4}}) {
    const GValueAttribute key(tray, 0);
    const auto* value = dynamic_cast<const GValueAttribute*>(sources->findValue(&key));
    ASSERT_NE(value, nullptr) << tray;
    EXPECT_EQ(value->value(), code) << tray;
  }
  const auto* memory = dynamic_cast<const GRangeAttribute*>(generator->config()->findById(202));
  ASSERT_NE(memory, nullptr);
  EXPECT_EQ(memory->value(), 100);
}

TEST(Mkprinter, HelpPrintsTheOptionsAndExitsZero) {
  for (const char* option : {"--help", "-h"}) {
    std::ostringstream out, err;
    EXPECT_EQ(runMkprinter({option}, out, err), kMkprinterWritten) << option;
    EXPECT_EQ(out.str().rfind("usage: mkprinter", 0), 0u) << option;
    EXPECT_NE(out.str().find("--vdp-capabilities N,..."), std::string::npos);
    EXPECT_EQ(err.str(), "");
  }
}

// The selector tables in the generator's Config, looked up as the
// generator looks them up; the colour-matching filter ahead of the printer,
// taking part in jobs, only when asked for.
TEST(Mkprinter, ColourMatchingPutsTheFilterAheadOfThePrinterAndTheTablesInTheGenerator) {
  TempDir dir;
  for (bool matching : {true, false}) {
    SCOPED_TRACE(matching);
    const std::string path = dir.file(matching ? "matching.dat" : "plain.dat");
    std::vector<std::string> args = {"--colormap", "21=5,22=65535", "--halftone", "50=7", "-o", path};
    if (matching) args.insert(args.begin(), "--color-matching");
    std::ostringstream err;
    ASSERT_EQ(runMkprinter(args, err), 0) << err.str();
    std::unique_ptr<GAttributeComposite> top = restoredTree(path);
    ASSERT_TRUE(top);
    TestInstance instance;
    handOver(*top, instance);

    const MPersistentObject* config = instance.pdlGenerator()->config();
    EXPECT_EQ(gSelectorTableValue(config, AttrId::ColorMapTable, 21), 5);
    EXPECT_EQ(gSelectorTableValue(config, AttrId::ColorMapTable, 22), 0xFFFF);
    EXPECT_EQ(gSelectorTableValue(config, AttrId::HalftoneTable, 50), 7);
    EXPECT_EQ(gSelectorTableValue(config, AttrId::HalftoneTable, 21), 0);

    const GPeripheralComposite* root = instance.configuration();
    ASSERT_NE(root, nullptr);
    if (matching) {
      EXPECT_EQ(childIds(&root->children()), (std::vector<uint32_t>{0, 76}));
      const auto* filter = dynamic_cast<const GChromafitFilter*>(root->children().children().pointee(0));
      ASSERT_NE(filter, nullptr);
      EXPECT_EQ(filter->active(), 1);
    } else {
      EXPECT_EQ(childIds(&root->children()), std::vector<uint32_t>{76});
    }
  }

  // Without tables the generator holds none.
  const std::string bare = dir.file("bare.dat");
  std::ostringstream err;
  ASSERT_EQ(runMkprinter({"--color-matching", "-o", bare}, err), 0) << err.str();
  std::unique_ptr<GAttributeComposite> top = restoredTree(bare);
  ASSERT_TRUE(top);
  TestInstance instance;
  handOver(*top, instance);
  EXPECT_EQ(instance.pdlGenerator()->config()->findById(AttrId::ColorMapTable), nullptr);
  EXPECT_EQ(instance.pdlGenerator()->config()->findById(AttrId::HalftoneTable), nullptr);
}

TEST(Mkprinter, EachErrorNamesItsCauseAndLeavesNoFile) {
  TempDir dir;
  const std::string out = dir.file("out.dat");
  const std::string generator = "TestGenerator";
  const struct {
    std::vector<std::string> args;
    int status;
    std::string message;
  } cases[] = {
      {{"--bogus", "x", "-o", out}, 2, "unknown option \"--bogus\""},
      {{"--generator", generator, "-o"}, 2, "option \"-o\" needs a value"},
      {{"--generator", generator}, 2, "no --output file"},
      {{"--generator", generator, "--output", ""}, 2, "bad value \"\" for --output"},
      {{"--language", "HPGL", "-o", out}, 2, "unknown language \"HPGL\""},
      {{"--generator", generator, "--media", "LETTER,B5", "-o", out}, 2, "bad value \"LETTER,B5\" for --media"},
      {{"--generator", generator, "--media", "", "-o", out}, 2, "bad value \"\" for --media"},
      {{"--generator", generator, "--trays", "1,,2", "-o", out}, 2, "bad value \"1,,2\" for --trays"},
      {{"--generator", generator, "--trays", "1,", "-o", out}, 2, "bad value \"1,\" for --trays"},
      {{"--generator", generator, "--trays", "0", "-o", out}, 2, "bad tray number 0"},
      {{"--generator", generator, "--bins", "2x", "-o", out}, 2, "bad value \"2x\" for --bins"},
      {{"--generator", generator, "--bins", "99999", "-o", out}, 2, "bad value \"99999\" for --bins"},
      {{"--generator", generator, "--resolutions", "2400", "-o", out}, 2, "unsupported resolution 2400"},
      {{"--generator", "GNoSuchGenerator", "-o", out}, 2, "unknown class \"GNoSuchGenerator\""},
      {{"--colormap", "21", "-o", out}, 2, "bad value \"21\" for --colormap"},
      {{"--colormap", "21=5,", "-o", out}, 2, "bad value \"21=5,\" for --colormap"},
      {{"--colormap", "=5", "-o", out}, 2, "bad value \"=5\" for --colormap"},
      {{"--halftone", "50=-7", "-o", out}, 2, "bad value \"50=-7\" for --halftone"},
      {{"--halftone", "50=65536", "-o", out}, 2, "bad value \"50=65536\" for --halftone"},
      {{"--halftone", "x=1", "-o", out}, 2, "bad value \"x=1\" for --halftone"},
      {{"--halftone", "", "-o", out}, 2, "bad value \"\" for --halftone"},
      {{"--colormap", "21=5,21=6", "-o", out}, 2, "colour-map selector 21 given twice"},
      {{"--color-matching", "--colormap"}, 2, "option \"--colormap\" needs a value"},
      {{"--generator", generator, "-o", dir.file("no/such/folder.dat")}, 1, "no/such/folder.dat"},
  };
  for (const auto& c : cases) {
    std::ostringstream err;
    EXPECT_EQ(runMkprinter(c.args, err), c.status) << c.message;
    const std::string text = err.str();
    EXPECT_EQ(text.rfind("mkprinter: ", 0), 0u) << text;
    EXPECT_NE(text.find(c.message), std::string::npos) << text;
    EXPECT_EQ(text.find("usage:") != std::string::npos, c.status == 2) << text;
    EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{}) << c.message;
  }
}

}  // namespace
