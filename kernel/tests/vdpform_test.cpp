#include "kernel/vdpform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "core/classids.h"
#include "core/outport.h"
#include "core/perclass.h"
#include "device/capabil.h"
#include "device/config.h"
#include "device/pericomp.h"
#include "device/resmap.h"
#include "journal/ctlcmds.h"
#include "journal/passthru.h"
#include "kernel/runtime.h"
#include "kernel/tests/formfix.h"
#include "kernel/tests/settingsfix.h"
#include "pdl/pdlgen.h"
#include "testkit/bytes.h"
#include "testkit/core/ids.h"
#include "testkit/device/testdevice.h"
#include "tools/printer/printer.h"

// A generator that counts as PostScript and keeps what the form table sends
// it: the pass-through bytes addressed to it and the download-header kinds.
// Its processing flags and the failures of either command are scripted.
class FormGenerator : public GPDLGenerator {
  G_PERSISTENT_CLASS(FormGenerator)

 public:
  FormGenerator() : GPDLGenerator("POSTSCRIPT", nullptr, nullptr, 101) {}

  static RWClassID classIsA() { return TestKitClassId::FormGenerator; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override {
    return id == classIsA() || id == ClassId::GPostScript || GPDLGenerator::isKindOf(id);
  }
  uint32_t processingFlags() override { return flags; }

  void removeFont(const RWCString&) override {}
  [[nodiscard]] GStatus setPenRasterPaint(GRasterPaint*) override { return 0; }
  [[nodiscard]] GStatus setPenColorPaint(GColorPaint*) override { return 0; }
  [[nodiscard]] GStatus setBrushRasterPaint(GRasterPaint*) override { return 0; }
  [[nodiscard]] GStatus setBrushColorPaint(GColorPaint*) override { return 0; }

  // The document starts without a port: nothing is written but what the
  // test reads from the log.
  [[nodiscard]] GStatus onDocumentStart(GDocumentStart*) override { return 0; }
  [[nodiscard]] GStatus onPassThrough(GPassThroughCommand* command) override {
    if (command->targetClassId() == classIsA())
      texts.emplace_back(reinterpret_cast<const char*>(command->data()), command->length());
    return passThroughStatus;
  }
  [[nodiscard]] GStatus onDownloadHeader(GDownloadHeaderCommand* command) override {
    headers.push_back(command->headerKind());
    return headerStatus;
  }

  uint32_t flags = 0;
  GStatus passThroughStatus = 0;
  GStatus headerStatus = 0;
  std::vector<std::string> texts;
  std::vector<int32_t> headers;
};

G_DEFINE_PERSISTENT(FormGenerator, GPDLGenerator)

RWspace FormGenerator::levelStoreSize() const { return 0; }
template <class Sink>
void FormGenerator::saveLevel(Sink&) const {}
template <class Source>
void FormGenerator::restoreLevel(Source&) {}

PrinterModel formModel() {
  PrinterModel model;
  model.language = "POSTSCRIPT";
  model.generatorClass = "FormGenerator";
  model.diskForms = true;
  return model;
}

std::string formRecord(const std::string& name, uint16_t intent, std::vector<uint16_t> box,
                       std::vector<float> matrix) {
  std::string r = le16(76) + le16(0);
  r += name;
  if (r.size() < 36) r.resize(36, '\0');
  r.resize(38, '\0');
  r += le16(intent);
  for (uint16_t v : box) r += le16(v);
  r.resize(52, '\0');
  for (float v : matrix) {
    uint32_t bits = 0;
    std::memcpy(&bits, &v, 4);
    r += le32(bits);
  }
  r.resize(76, '\0');
  return r;
}

namespace {

// A port that takes every byte and keeps none.
class NullPort : public GOutputPort {
 public:
  NullPort() : GOutputPort(RWWString(u"null")) {}
  [[nodiscard]] uint16_t write(const void*, uint32_t length, uint32_t& written) override {
    written = length;
    return 0;
  }
  int32_t open() override { return 1; }
};

// A device over a printer the builder made from the model, its job begun
// and its document started on the port, which must outlive it.
class FormDevice : public TestDevice {
 public:
  FormDevice(const PrinterModel& model, GOutputPort& port) : TestDevice([this] { return built(); }) {
    setDefaultSettings([this] { return built(); });
    std::string error;
    std::unique_ptr<GAttributeComposite> top = buildPrinterTree(model, error);
    EXPECT_TRUE(top) << error;
    if (!top) return;
    handOverTree(*top, *this);
    beginJob();
    GDocumentStart* start = makeDocumentStart(RWWString(u"doc"), RWWString(u"null"));
    start->setOutputPort(&port);
    EXPECT_EQ(send(start), 0);
  }
  FormGenerator& generator() { return *dynamic_cast<FormGenerator*>(pdlGenerator()); }

 private:
  GAttributeComposite* built() {
    GPeripheralComposite* root = configuration();
    return root ? buildPrinterSettings(*root).release() : nullptr;
  }
};

struct FormJob {
  explicit FormJob(const PrinterModel& model = formModel()) : device(model, port), table(device) {}
  std::vector<std::string>& texts() { return device.generator().texts; }

  KernelPlatform platform;
  NullPort port;
  FormDevice device;
  GFormTableNT table;
};

const uint8_t* bytesOf(const std::string& r) { return reinterpret_cast<const uint8_t*>(r.data()); }

std::string nameOf(const std::string& r) { return std::string(r.c_str() + 4, strnlen(r.c_str() + 4, 32)); }

uint16_t begin(FormJob& job, const std::string& r) { return job.table.beginForm(bytesOf(r), r.size()); }

// Ends the definition with the record: the answer, and the output record.
uint16_t end(FormJob& job, const std::string& r, std::string& out) {
  out.assign(76, '\x55');
  return job.table.endForm(bytesOf(r), r.size(), reinterpret_cast<uint8_t*>(out.data()), out.size());
}

// Defines a form under the name and ends the definition: whether both
// were taken.
bool store(FormJob& job, const std::string& name) {
  std::string out;
  return begin(job, formRecord(name)) == 1 && end(job, formRecord(name), out) == 1;
}

std::string beginText(const std::string& name, const std::string& intent, const std::string& box) {
  return "            /STORE % <pathname> store -\n"
         "            {\n"
         "                /tempstr 2024 string def\n"
         "                /tmpfile exch (w)file def\n"
         "                /srcfile currentfile 0 (%%VDP_ENDFORM) /SubFileDecode filter def\n"
         "                {\n"
         "                    srcfile tempstr readstring\n"
         "                    {tmpfile exch writestring}\n"
         "                    {dup length 0 ne\n"
         "                        {tmpfile exch writestring}\n"
         "                        {pop}ifelse\n"
         "                        tmpfile flushfile tmpfile closefile\n"
         "                        srcfile closefile exit\n"
         "                    }ifelse\n"
         "                }loop\n"
         "            } bind def\n"
         "            \n"
         "            /nfexec { /Form findresource /QX_execform where {pop QX_execform}\n"
         "                {execform}ifelse } bind def\n"
         "            \n"
         "            /" +
         name +
         "\n<<\n /FormType 1\n /Matrix [ 1 0 0 1 0 0 ]\n /FormIntent " + intent +
         "\n  /PaintProc\n {\n    begin\n     1 dict begin\n     gsave\n     (%disk0%QX_VDP1.0/" + name +
         ".ps) run\n     grestore\n     end\n    end\n } bind\n /BBox [ " + box +
         "]\n>> /Form defineresource pop\n(%disk0%QX_VDP1.0/" + name + ".ps) STORE\n\n  /showpage {} def\n";
}

const std::string kEndMarker = "%%VDP_ENDFORM\n";

std::string textOf(GReal value) {
  char* text = GFormTableNT::realToText(value);
  if (!text) return "<null>";
  std::string s = text;
  kernelHeapFree(text);
  return s;
}

}  // namespace

TEST(FormTable, BeginEndExecuteAndDeleteSendTheirTextsToTheGenerator) {
  FormJob job;
  ASSERT_EQ(job.device.generatorClass(), TestKitClassId::FormGenerator);

  EXPECT_EQ(begin(job, formRecord("Logo", 2, {0, 10, 612, 792})), 1);
  EXPECT_TRUE(job.table.definitionOpen());
  ASSERT_EQ(job.texts().size(), 1u);
  EXPECT_EQ(job.texts()[0], beginText("Logo", "2", "0 10 612 792 "));
  EXPECT_EQ(job.device.generator().headers, std::vector<int32_t>{19});

  std::string out;
  EXPECT_EQ(end(job, formRecord("Logo"), out), 1);
  EXPECT_FALSE(job.table.definitionOpen());
  EXPECT_EQ(job.texts().back(), kEndMarker);
  EXPECT_EQ(out.substr(0, 4), le16(76) + "\x55\x55");
  EXPECT_EQ(out.substr(4, 32), std::string("Logo") + std::string(28, '\0'));
  EXPECT_EQ(out.substr(36, 2), le16(0x0600));

  EXPECT_EQ(job.table.executeForm(bytesOf(formRecord("Logo", 1, {}, {1, 0, 0, 1, 100, 200})), 76), 1);
  EXPECT_EQ(job.texts().back(), "gsave\n[  1   0   0   1   100   200   ] concat\n/Logo nfexec\ngrestore\n");
  EXPECT_EQ(job.table.executeForm(bytesOf(formRecord("Logo", 1, {}, {1.5f, 0, 0, -0.05f, 3, 0})), 76), 1);
  EXPECT_EQ(job.texts().back(), "gsave\n[  1.5000   0   0  -.0500   3   0   ] concat\n/Logo nfexec\ngrestore\n");

  EXPECT_EQ(job.table.deleteForm(bytesOf(formRecord("Logo")), 76), 1);
  EXPECT_EQ(job.texts().back(), "(%disk0%QX_VDP1.0/Logo.ps) deletefile\n");
  EXPECT_EQ(job.table.entries(), 0u);
  // Gone: neither executed nor deleted again.
  const size_t sent = job.texts().size();
  EXPECT_EQ(job.table.executeForm(bytesOf(formRecord("Logo")), 76), 0);
  EXPECT_EQ(job.table.deleteForm(bytesOf(formRecord("Logo")), 76), 0);
  EXPECT_EQ(job.texts().size(), sent);
}

TEST(FormTable, AnIntentOutsideOneToThreeIsSentAsZero) {
  for (uint16_t intent : {0, 4, 0xFFFF}) {
    FormJob job;
    EXPECT_EQ(begin(job, formRecord("F", intent, {1, 2, 3, 4})), 1);
    EXPECT_EQ(job.texts().at(0), beginText("F", "0", "1 2 3 4 ")) << intent;
  }
}

TEST(FormTable, ANameRepeatedInOneJobIsStoredUnderAGeneratedName) {
  FormJob job;
  std::string out;
  ASSERT_TRUE(store(job, "Logo"));
  ASSERT_EQ(begin(job, formRecord("Logo")), 1);
  EXPECT_EQ(job.texts().back(), beginText("QXVDPFORM1", "1", "0 0 612 792 "));
  // The end compares the name the application gave, and reports the one
  // the form was stored under.
  ASSERT_EQ(end(job, formRecord("Logo"), out), 1);
  EXPECT_EQ(nameOf(out), "QXVDPFORM1");
  EXPECT_EQ(job.table.entries(), 2u);
  EXPECT_EQ(job.table.executeForm(bytesOf(formRecord("QXVDPFORM1")), 76), 1);
  EXPECT_EQ(job.texts().back(), "gsave\n[  1   0   0   1   0   0   ] concat\n/QXVDPFORM1 nfexec\ngrestore\n");
}

TEST(FormTable, NamesThatCannotBeStoredAsTheyAreGetAGeneratedOne) {
  const std::string full(32, 'N');
  struct Case {
    std::string field;  // the 32 bytes of the name field and the byte behind it
    bool kept;
  };
  const std::vector<Case> cases = {
      {"Logo", true},
      {"!~", true},
      {full, true},  // the byte behind the field is 0
      {"", false},
      {"A B", false},
      {"Tab\t", false},
      {"\x7F", false},
      {"\xE9t\xE9", false},
      {full + "N", false},  // 33 characters
      {"(", false},
      {"a)", false},
      {"<a>", false},
      {"[a]", false},
      {"{a}", false},
      {"../x", false},
      {"a/b", false},
      {"100%", false},
      {"a\\b", false},
  };
  FormJob job;
  GFormTableNT& table = job.table;
  uint32_t counter = 1;
  for (const Case& c : cases) {
    uint8_t buffer[33] = {};
    std::memcpy(buffer, c.field.data(), c.field.size());
    EXPECT_EQ(table.checkFormName(buffer, sizeof buffer), 1);
    const std::string after(reinterpret_cast<const char*>(buffer), strnlen(reinterpret_cast<const char*>(buffer), 33));
    const std::string expected = c.kept ? c.field : "QXVDPFORM" + std::to_string(counter++);
    EXPECT_EQ(after, expected) << c.field;
  }
  uint8_t buffer[33] = {'A'};
  EXPECT_EQ(table.checkFormName(nullptr, 33), 0);
  EXPECT_EQ(table.checkFormName(buffer, 32), 0);
}

TEST(FormTable, ExecuteAndDeleteReadNoMoreThanTheNameFieldAndWriteTheStoredName) {
  FormJob job;
  const std::string name(32, 'W');
  std::string out;
  ASSERT_EQ(begin(job, formRecord(name)), 1);
  ASSERT_EQ(end(job, formRecord(name), out), 1);
  EXPECT_EQ(out.substr(4, 32), name);
  // The field is full and the bytes behind it are not 0.
  std::string r = formRecord(name, 0x4141);
  r[36] = 'Z';
  r[37] = 'Z';
  EXPECT_EQ(job.table.executeForm(bytesOf(r), r.size()), 1);
  EXPECT_EQ(job.texts().back(), "gsave\n[  1   0   0   1   0   0   ] concat\n/" + name + " nfexec\ngrestore\n");
  EXPECT_EQ(job.table.deleteForm(bytesOf(r), r.size()), 1);
  EXPECT_EQ(job.texts().back(), "(%disk0%QX_VDP1.0/" + name + ".ps) deletefile\n");
}

TEST(FormTable, RealsAreWrittenWithFourDecimalsOrNone) {
  struct Case {
    float value;
    const char* text;
  };
  const float inf = std::numeric_limits<float>::infinity();
  const Case cases[] = {
      {1.5f, " 1.5000 "},
      {-0.05f, "-.0500 "},
      {3.0f, " 3 "},
      {0.0f, " 0 "},
      {-0.0f, " 0 "},
      {-2.0f, "-2 "},
      {0.001f, " .0010 "},
      {12.25f, " 12.2500 "},
      {-7.125f, "-7.1250 "},
      {2147483520.0f, " 2147483520 "},  // the largest single below 2^31
      {-2147483520.0f, "-2147483520 "},
      {2147483648.0f, "<null>"},
      {-2147483648.0f, "<null>"},
      {1e30f, "<null>"},
      {inf, "<null>"},
      {-inf, "<null>"},
      {std::numeric_limits<float>::quiet_NaN(), "<null>"},
  };
  for (const Case& c : cases) EXPECT_EQ(textOf(GReal(c.value)), c.text) << c.value;
}

TEST(FormTable, ExecuteWithAMatrixValueThatCannotBeWrittenSendsNothing) {
  for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), 3e9f}) {
    FormJob job;
    ASSERT_TRUE(store(job, "F"));
    const size_t sent = job.texts().size();
    EXPECT_EQ(job.table.executeForm(bytesOf(formRecord("F", 1, {}, {1, 0, 0, 1, 0, bad})), 76), 0) << bad;
    EXPECT_EQ(job.texts().size(), sent);
  }
}

TEST(FormTable, AnEndUnderAnotherNameIsRefusedButStillEndsTheDefinition) {
  FormJob job;
  std::string out;
  ASSERT_EQ(begin(job, formRecord("Logo")), 1);
  EXPECT_EQ(end(job, formRecord("Other"), out), 0);
  EXPECT_EQ(job.texts().back(), kEndMarker);
  EXPECT_EQ(out, std::string(76, '\x55'));
  EXPECT_FALSE(job.table.definitionOpen());
  EXPECT_EQ(job.table.entries(), 0u);
  EXPECT_EQ(job.table.executeForm(bytesOf(formRecord("Logo")), 76), 0);
  // With no definition open an end is a plain refusal.
  const size_t sent = job.texts().size();
  EXPECT_EQ(end(job, formRecord("Logo"), out), 0);
  EXPECT_EQ(job.texts().size(), sent);
}

TEST(FormTable, ADefinitionLeftOpenIsEndedOnThePrinterBeforeItCloses) {
  // A refused end of any kind, and the device's close at document end.
  struct Case {
    const char* what;
    std::function<void(FormJob&)> close;
  };
  const std::vector<Case> cases = {
      {"closeOpenDefinition", [](FormJob& job) { EXPECT_EQ(job.table.closeOpenDefinition(), 1); }},
      {"short input",
       [](FormJob& job) {
         std::string r = formRecord("Logo"), out(76, '\0');
         EXPECT_EQ(job.table.endForm(bytesOf(r), 75, reinterpret_cast<uint8_t*>(out.data()), 76), 0);
       }},
      {"short output",
       [](FormJob& job) {
         std::string r = formRecord("Logo"), out(76, '\0');
         EXPECT_EQ(job.table.endForm(bytesOf(r), 76, reinterpret_cast<uint8_t*>(out.data()), 75), 0);
       }},
      {"no records", [](FormJob& job) { EXPECT_EQ(job.table.endForm(nullptr, 76, nullptr, 76), 0); }},
      {"marker",
       [](FormJob& job) {
         std::string r = formRecord("Logo"), out;
         r[0] = 77;
         EXPECT_EQ(end(job, r, out), 0);
       }},
  };
  for (const Case& c : cases) {
    FormJob job;
    ASSERT_EQ(begin(job, formRecord("Logo")), 1);
    const size_t sent = job.texts().size();
    c.close(job);
    ASSERT_EQ(job.texts().size(), sent + 1) << c.what;
    EXPECT_EQ(job.texts().back(), kEndMarker) << c.what;
    EXPECT_FALSE(job.table.definitionOpen()) << c.what;
    EXPECT_EQ(job.table.entries(), 0u) << c.what;
    // Nothing is open any more: nothing more to end.
    EXPECT_EQ(job.table.closeOpenDefinition(), 0) << c.what;
    EXPECT_EQ(job.texts().size(), sent + 1) << c.what;
  }
}

TEST(FormTable, WhileADefinitionIsOpenOnlyItsEndIsTaken) {
  FormJob job;
  std::string out;
  ASSERT_TRUE(store(job, "A"));
  ASSERT_EQ(begin(job, formRecord("B")), 1);
  const size_t sent = job.texts().size();
  // A second begin must not change the name the end is compared with.
  EXPECT_EQ(begin(job, formRecord("C")), 0);
  EXPECT_EQ(job.table.executeForm(bytesOf(formRecord("A")), 76), 0);
  EXPECT_EQ(job.table.deleteForm(bytesOf(formRecord("A")), 76), 0);
  EXPECT_EQ(job.texts().size(), sent);
  EXPECT_EQ(end(job, formRecord("B"), out), 1);
  EXPECT_EQ(nameOf(out), "B");
  EXPECT_EQ(job.table.entries(), 2u);
}

TEST(FormTable, AFailedSendLeavesNoDefinitionOpen) {
  for (bool header : {false, true}) {
    FormJob job;
    FormGenerator& generator = job.device.generator();
    (header ? generator.headerStatus : generator.passThroughStatus) = 7;
    EXPECT_EQ(begin(job, formRecord("Logo")), 0) << header;
    EXPECT_FALSE(job.table.definitionOpen()) << header;
    EXPECT_EQ(generator.headers.size(), header ? 1u : 0u);
    // The job is aborted, and nothing is left to end.
    EXPECT_EQ(job.device.state(), 3u);
    EXPECT_EQ(job.table.closeOpenDefinition(), 0);
  }
}

TEST(FormTable, FormsAreUnavailableWithoutDiskFormsOrWithTheFlagsAndCapabilityThatRuleThemOut) {
  struct Case {
    const char* what;
    bool diskForms;
    uint32_t flags;
    std::vector<uint32_t> capabilities;
  };
  const std::vector<uint32_t> all = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  const Case cases[] = {
      {"no 702", false, 0, all},           {"flag 0x4", true, 0x4, all},
      {"flag 0x10", true, 0x10, all},      {"flag 0x20", true, 0x20, all},
      {"capability 0", true, 0, {0, 1, 2}},
  };
  for (const Case& c : cases) {
    PrinterModel model = formModel();
    model.diskForms = c.diskForms;
    model.formCapabilities = c.capabilities;
    FormJob job(model);
    job.device.generator().flags = c.flags;
    uint8_t mask[2] = {0xAA, 0xAA};
    EXPECT_EQ(job.table.formsAvailable(), 0) << c.what;
    EXPECT_EQ(job.table.formCapabilities(mask, 2), 0) << c.what;
    EXPECT_EQ(mask[0], 0xAA) << c.what;
    EXPECT_EQ(begin(job, formRecord("Logo")), 0) << c.what;
    // Later calls, the mask known or not, stay refused.
    EXPECT_EQ(job.table.formsAvailable(), 0) << c.what;
    EXPECT_TRUE(job.texts().empty()) << c.what;
  }
  // Other processing flags do not matter.
  FormJob job;
  job.device.generator().flags = 0x1 | 0x2 | 0x8 | 0x40;
  EXPECT_EQ(job.table.formsAvailable(), 1);
  // Settings that cannot be assembled rule forms out, and take nothing
  // from the job.
  job.device.setDefaultSettings([] { return nullptr; });
  EXPECT_EQ(job.table.formsAvailable(), 0);
  EXPECT_NE(job.device.settings(), nullptr);
}

TEST(FormTable, TheCapabilityMaskComesFromTheFormCapabilitiesAndNeverDecidesAvailability) {
  struct Case {
    std::vector<uint32_t> capabilities;
    uint16_t mask;
  };
  const Case cases[] = {
      {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 0x7FF},
      {{1}, 0x1},
      {{11}, 0x20},
      {{6, 10}, 0x440},
      {{}, 0},
  };
  for (const Case& c : cases) {
    PrinterModel model = formModel();
    model.formCapabilities = c.capabilities;
    FormJob job(model);
    for (int call = 0; call < 3; ++call) {
      uint8_t mask[2] = {0xAA, 0xAA};
      EXPECT_EQ(job.table.formCapabilities(mask, 2), 1) << c.mask << " call " << call;
      EXPECT_EQ(mask[0] | mask[1] << 8, c.mask) << call;
    }
    // A mask of 0 lets a whole definition through, not the first call alone.
    std::string out;
    EXPECT_EQ(begin(job, formRecord("Logo")), 1) << c.mask;
    EXPECT_EQ(end(job, formRecord("Logo"), out), 1) << c.mask;
  }
}

TEST(FormTable, TheFormCapabilitiesCountOnlyWhenTheJobCapabilityZeroIsClear) {
  // Capability 0 of 565 set: 750 says nothing, neither that the printer
  // keeps no forms nor what the mask holds.
  PrinterModel model = formModel();
  model.formCapabilities = {0, 1, 2};
  model.hook = [](PrinterConfigs& configs) {
    auto* job = dynamic_cast<GCapabilities*>(configs.printer.findById(565));
    ASSERT_NE(job, nullptr);
    job->set(0);
  };
  FormJob job(model);
  ASSERT_EQ(job.device.passThroughAllowed(), 0u);
  uint8_t mask[2] = {0xAA, 0xAA};
  EXPECT_EQ(job.table.formCapabilities(mask, 2), 1);
  EXPECT_EQ(mask[0] | mask[1] << 8, 0);
  EXPECT_EQ(begin(job, formRecord("Logo")), 1);
}

TEST(FormTable, ProcessingFlagsAreReadOnceAndAgainAfterADocumentStarts) {
  FormJob job;
  EXPECT_EQ(job.table.formsAvailable(), 1);
  job.device.generator().flags = 0x10;
  // Cached from the first call.
  EXPECT_EQ(job.table.formsAvailable(), 1);
  job.device.setDocumentPending(1);
  EXPECT_EQ(job.table.formsAvailable(), 0);
}

TEST(FormTable, RecordsUnderTheirSizesOrWithoutTheirMarkerAreRefused) {
  FormJob job;
  const std::string good = formRecord("Logo");
  std::string unmarked = good;
  unmarked[0] = 75;
  EXPECT_EQ(job.table.beginForm(nullptr, 76), 0);
  EXPECT_EQ(job.table.beginForm(bytesOf(good), 75), 0);
  EXPECT_EQ(begin(job, unmarked), 0);
  uint8_t mask[2] = {};
  EXPECT_EQ(job.table.formCapabilities(mask, 1), 0);
  EXPECT_EQ(job.table.formCapabilities(nullptr, 2), 0);
  EXPECT_TRUE(job.texts().empty());

  ASSERT_TRUE(store(job, "Logo"));
  const size_t sent = job.texts().size();
  for (auto call : {+[](GFormTableNT& t, const std::string& r) { return t.executeForm(bytesOf(r), r.size()); },
                    +[](GFormTableNT& t, const std::string& r) { return t.deleteForm(bytesOf(r), r.size()); }}) {
    EXPECT_EQ(call(job.table, good.substr(0, 75)), 0);
    EXPECT_EQ(call(job.table, unmarked), 0);
  }
  EXPECT_EQ(job.table.executeForm(nullptr, 76), 0);
  EXPECT_EQ(job.table.deleteForm(nullptr, 76), 0);
  EXPECT_EQ(job.texts().size(), sent);
  EXPECT_EQ(job.table.entries(), 1u);
}
