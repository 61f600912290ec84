// The job language on its own: the header each setting writes, the texts
// that go between quotes, the date and time, a job without PJL, the ports
// it makes and carries, and its stored form.

#include "device/pjl.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/passoc.h"
#include "core/state.h"
#include "core/valattr.h"
#include "devfix.h"
#include "device/config.h"
#include "device/custsize.h"
#include "device/media.h"
#include "device/paperdev.h"
#include "device/printer.h"
#include "device/resmap.h"
#include "jobfix.h"
#include "rw/bstream.h"
#include "rw/estream.h"

namespace {

// ---- configuration items ----------------------------------------------------------------

// A lookup table keyed by value attributes with id 0.
MAssociationList* table(uint32_t id, std::initializer_list<std::pair<int16_t, const char*>> entries) {
  MAssociationList* list = new MAssociationList(id);
  for (const auto& [key, text] : entries)
    list->insertAssociation(new MPersistentAssociation(new GValueAttribute(key, 0), new GSelectionString(text, 0), 0));
  return list;
}

// One paper-handling device of the class with sources 2 and 3, the given
// one selected, in a list (90).
GAttributeComposite* devices(int32_t deviceClass, int32_t installed, uint16_t selected) {
  GPaperHandlingDevice* device = new GPaperHandlingDevice("Bins", deviceClass, installed, 1, 1, 1);
  device->addSource(2, new GAttributeComposite(0));
  device->addSource(3, new GAttributeComposite(0));
  device->selectSource(selected);
  GAttributeComposite* list = new GAttributeComposite(AttrId::PaperHandlingDevices);
  list->insert(device);
  return list;
}

// Mode entries (206), each holding the bits per pixel given.
GAttributeComposite* modes(std::initializer_list<int16_t> bits) {
  GAttributeComposite* list = new GAttributeComposite(AttrId::ModeEntries);
  for (const int16_t b : bits) {
    GAttributeComposite* entry = new GAttributeComposite(0);
    entry->insert(new GValueAttribute(b, AttrId::BitsPerPixel));
    list->insert(entry);
  }
  return list;
}

enum Config { kNoConfig, kBinsOn2, kBinsOn3, kBinsNotInstalled, kInputOn2, kPapers, kTemperatures, kModes1, kModes12 };

MPersistentObject* configItem(Config config) {
  switch (config) {
    case kBinsOn2:
      return devices(1, 1, 2);
    case kBinsOn3:
      return devices(1, 1, 3);
    case kBinsNotInstalled:
      return devices(1, 0, 2);
    case kInputOn2:
      return devices(0, 1, 2);
    case kPapers:
      return table(AttrId::PaperNameTable, {{1, "LETTER"}, {23, "A4"}});
    case kTemperatures:
      return table(AttrId::Tray1TemperatureTable, {{2, "HIGH"}});
    case kModes1:
      return modes({1});
    case kModes12:
      return modes({1, 2});
    case kNoConfig:
      break;
  }
  return nullptr;
}

// A job language writing into a carried port.
class PjlJob : public ::testing::Test {
 protected:
  // Before the settings: a new configuration rebuilds the State.
  void configure(MPersistentObject* item) {
    GConfiguration* config = new GConfiguration(AttrId::StageConfig);
    if (item) config->insert(item);
    pjl.setConfig(config);
  }
  GAttributeComposite* settings() { return pjl.attributeGroup(AttrId::DocumentGroup); }
  void set(uint32_t id, int16_t value) { settings()->insert(new GValueAttribute(value, id)); }
  void setText(uint32_t id, const char* text) { settings()->insert(new GStringAttribute(text, id)); }

  // Runs a document start named as given and answers what the port took.
  std::string header(const RWWString& name = RWWString("doc")) {
    const size_t before = port.written().size();
    const GCommandPtr start = documentStart(&port, nullptr, name);
    EXPECT_EQ(pjl.process(start), start);
    return port.written().substr(before);
  }
  // The lines of a header between its JOB line and its ENTER LANGUAGE line.
  static std::string settingLines(const std::string& text) {
    const size_t first = text.find("\r\n");
    const size_t last = text.rfind("@PJL ENTER LANGUAGE=");
    if (first == std::string::npos || last == std::string::npos || last < first + 2) return "<malformed>";
    return text.substr(first + 2, last - first - 2);
  }

  GPJL pjl{AttrId::JobLanguage};
  FakeOutputPort port;
};

// ---- the setting lines ------------------------------------------------------------------

struct Setting {
  uint32_t id;
  int16_t value;
  const char* text = nullptr;
};

TEST_F(PjlJob, EachSettingWritesItsLines) {
  const std::string res = pjlSet("RESOLUTION=600");
  auto set = [](const char* body) { return pjlSet(body); };
  const std::string names = set("USERNAME=\"?\"") + set("JOBNAME=\"\"");
  const struct {
    const char* name;
    std::vector<Setting> settings;
    Config config;
    std::string lines;
  } cases[] = {
      {"copies 1", {{AttrId::Copies, 1}}, kNoConfig, res},
      {"copies 2", {{AttrId::Copies, 2}}, kNoConfig, set("QTY=2") + res},
      {"duplex off", {{AttrId::DuplexBinding, 0}}, kNoConfig, set("DUPLEX=OFF") + res},
      {"duplex short", {{AttrId::DuplexBinding, 1}}, kNoConfig, set("DUPLEX=ON") + set("BINDING=SHORTEDGE") + res},
      {"duplex long", {{AttrId::DuplexBinding, 2}}, kNoConfig, set("DUPLEX=ON") + set("BINDING=LONGEDGE") + res},
      {"duplex 3", {{AttrId::DuplexBinding, 3}}, kNoConfig, res},
      {"RET -1", {{AttrId::ResolutionEnhancement, -1}}, kNoConfig, res},
      {"RET 0", {{AttrId::ResolutionEnhancement, 0}}, kNoConfig, set("RET=OFF") + res},
      {"RET 1", {{AttrId::ResolutionEnhancement, 1}}, kNoConfig, set("RET=LIGHT") + res},
      {"RET 2", {{AttrId::ResolutionEnhancement, 2}}, kNoConfig, set("RET=MEDIUM") + res},
      {"RET 3", {{AttrId::ResolutionEnhancement, 3}}, kNoConfig, set("RET=DARK") + res},
      {"RET 4", {{AttrId::ResolutionEnhancement, 4}}, kNoConfig, set("RET=ON") + res},
      {"RET 5 has no keyword", {{AttrId::ResolutionEnhancement, 5}}, kNoConfig, res},
      {"tonersave 0", {{AttrId::Tonersave, 0}}, kNoConfig, set("TONERSAVE=OFF") + res},
      {"tonersave 1", {{AttrId::Tonersave, 1}}, kNoConfig, set("TONERSAVE=ON") + res},
      {"tonersave 2", {{AttrId::Tonersave, 2}}, kNoConfig, res},
      {"outbin 0 names no bin", {{AttrId::OutputBin, 0}}, kBinsOn2, res},
      {"outbin -3", {{AttrId::OutputBin, -3}}, kNoConfig, res},
      {"outbin 1", {{AttrId::OutputBin, 1}}, kNoConfig, set("OUTBIN=UPPER") + res},
      {"outbin 2 no device", {{AttrId::OutputBin, 2}}, kNoConfig, set("OUTBIN=LOWER") + res},
      {"outbin 2 device on 2", {{AttrId::OutputBin, 2}}, kBinsOn2, set("OUTBIN=OPTIONALOUTBIN1") + res},
      {"outbin 2 device on 3", {{AttrId::OutputBin, 2}}, kBinsOn3, set("OUTBIN=LOWER") + res},
      {"outbin 2 not installed", {{AttrId::OutputBin, 2}}, kBinsNotInstalled, set("OUTBIN=LOWER") + res},
      {"outbin 2 input device", {{AttrId::OutputBin, 2}}, kInputOn2, set("OUTBIN=LOWER") + res},
      {"outbin 3 no device", {{AttrId::OutputBin, 3}}, kNoConfig, set("OUTBIN=OPTIONALOUTBIN7") + res},
      {"outbin 3 device on 2", {{AttrId::OutputBin, 3}}, kBinsOn2, set("OUTBIN=OPTIONALOUTBIN7") + res},
      {"outbin 3 device on 3", {{AttrId::OutputBin, 3}}, kBinsOn3, set("OUTBIN=OPTIONALOUTBIN2") + res},
      {"outbin 4", {{AttrId::OutputBin, 4}}, kNoConfig, set("OUTBIN=OPTIONALOUTBIN2") + res},
      {"outbin 5", {{AttrId::OutputBin, 5}}, kNoConfig, set("OUTBIN=HCO-D") + res},
      {"outbin 6", {{AttrId::OutputBin, 6}}, kNoConfig, set("OUTBIN=HCO-U") + res},
      {"outbin 7", {{AttrId::OutputBin, 7}}, kNoConfig, set("OUTBIN=OPTIONALOUTBIN2") + res},
      {"staple, no option", {{AttrId::Staple, 1}}, kNoConfig, set("FINISH=STAPLE") + res},
      {"staple option 0", {{AttrId::Staple, 1}, {AttrId::StapleOption, 0}}, kNoConfig,
       set("FINISH=STAPLE") + set("STAPLEOPTION=DEFAULT") + res},
      {"staple option 1", {{AttrId::Staple, 1}, {AttrId::StapleOption, 1}}, kNoConfig,
       set("FINISH=STAPLE") + set("STAPLEOPTION=ONE") + res},
      {"staple option 2", {{AttrId::Staple, 1}, {AttrId::StapleOption, 2}}, kNoConfig,
       set("FINISH=STAPLE") + set("STAPLEOPTION=ONEANGLED") + res},
      {"staple option 3", {{AttrId::Staple, 1}, {AttrId::StapleOption, 3}}, kNoConfig,
       set("FINISH=STAPLE") + set("STAPLEOPTION=TWO") + res},
      {"staple option 4", {{AttrId::Staple, 1}, {AttrId::StapleOption, 4}}, kNoConfig,
       set("FINISH=STAPLE") + set("STAPLEOPTION=THREE") + res},
      {"staple option 5", {{AttrId::Staple, 1}, {AttrId::StapleOption, 5}}, kNoConfig,
       set("FINISH=STAPLE") + set("STAPLEOPTION=SIX") + res},
      {"staple option 6", {{AttrId::Staple, 1}, {AttrId::StapleOption, 6}}, kNoConfig,
       set("FINISH=STAPLE") + set("STAPLEOPTION=CUSTOM") + res},
      {"staple option 7", {{AttrId::Staple, 1}, {AttrId::StapleOption, 7}}, kNoConfig, set("FINISH=STAPLE") + res},
      {"no staple, option 7", {{AttrId::Staple, 0}, {AttrId::StapleOption, 7}}, kNoConfig, set("FINISH=NONE") + res},
      {"no staple, option 2", {{AttrId::Staple, 0}, {AttrId::StapleOption, 2}}, kNoConfig,
       set("FINISH=NONE") + set("STAPLEOPTION=NONE") + res},
      {"no staple, no option", {{AttrId::Staple, 0}}, kNoConfig, set("FINISH=NONE") + res},
      {"binder 1", {{AttrId::Binder, 1}}, kNoConfig,
       set("FINISH=ON") + set("FINISHERTYPE=THERMALBINDER") + set("FINISHEROPTION=REGULARBIND") + res},
      {"binder 2", {{AttrId::Binder, 2}}, kNoConfig, res},
      {"binder 3", {{AttrId::Binder, 3}}, kNoConfig, set("FINISH=NONE") + res},
      {"pageprotect -1", {{AttrId::PageProtect, -1}}, kNoConfig, res},
      {"pageprotect 0", {{AttrId::PageProtect, 0}}, kNoConfig, set("PAGEPROTECT=ON") + res},
      {"pageprotect 1", {{AttrId::PageProtect, 1}}, kNoConfig, set("PAGEPROTECT=AUTO") + res},
      {"pageprotect 2", {{AttrId::PageProtect, 2}}, kNoConfig, set("PAGEPROTECT=OFF") + res},
      {"pageprotect 3", {{AttrId::PageProtect, 3}}, kNoConfig, set("PAGEPROTECT=LETTER") + res},
      {"pageprotect 4", {{AttrId::PageProtect, 4}}, kNoConfig, set("PAGEPROTECT=LEGAL") + res},
      {"pageprotect 5", {{AttrId::PageProtect, 5}}, kNoConfig, set("PAGEPROTECT=A4") + res},
      {"pageprotect 6", {{AttrId::PageProtect, 6}}, kNoConfig, set("PAGEPROTECT=AUTO") + res},
      {"pageprotect 7", {{AttrId::PageProtect, 7}}, kNoConfig, set("PAGEPROTECT=AUTO") + res},
      {"hold 1", {{AttrId::HoldMode, 1}}, kNoConfig, set("HOLD=ON") + set("HOLDTYPE=PUBLIC") + names + res},
      {"hold 2", {{AttrId::HoldMode, 2}}, kNoConfig, set("HOLD=PROOF") + names + res},
      {"hold 3", {{AttrId::HoldMode, 3}}, kNoConfig, set("HOLD=STORE") + names + res},
      {"hold 3 private", {{AttrId::HoldMode, 3}, {AttrId::HoldPrivate, 1}}, kNoConfig,
       set("HOLD=STORE") + set("HOLDTYPE=PRIVATE") + set("HOLDKEY=\"\"") + names + res},
      {"hold 3 not private", {{AttrId::HoldMode, 3}, {AttrId::HoldPrivate, 0}}, kNoConfig,
       set("HOLD=STORE") + names + res},
      {"hold 4", {{AttrId::HoldMode, 4}}, kNoConfig,
       set("HOLD=ON") + set("HOLDTYPE=PRIVATE") + set("HOLDKEY=\"\"") + names + res},
      {"hold 5", {{AttrId::HoldMode, 5}}, kNoConfig, set("HOLD=OFF") + res},
      {"hold -1", {{AttrId::HoldMode, -1}}, kNoConfig, res},
      {"no two-bit mode", {}, kModes1, res},
      {"a two-bit mode", {}, kModes12, res + set("BITSPERPIXEL=1")},
      // Steps 2, 4, 7, 9, 16 and 20.
      {"ready message", {{AttrId::DisplayText, 0, "Hello"}}, kNoConfig, pjlLine("RDYMSG DISPLAY = \"Hello\"") + res},
      {"ready message, kind 0", {{AttrId::DisplayText, 0, "Hi"}, {AttrId::DisplayKind, 0}}, kNoConfig,
       pjlLine("RDYMSG DISPLAY = \"Hi\"") + res},
      {"operator message", {{AttrId::DisplayText, 0, "Hi"}, {AttrId::DisplayKind, 1}}, kNoConfig,
       pjlLine("OPMSG DISPLAY = \"Hi\"") + res},
      {"raw PJL verbatim", {{AttrId::RawPjl, 0, "@PJL COMMENT \"x\"\r\n"}}, kNoConfig, "@PJL COMMENT \"x\"\r\n" + res},
      {"back side off", {{AttrId::PrintOnBackSide, 0}}, kNoConfig, set("PRINTONBACKSIDE=OFF") + res},
      {"back side on", {{AttrId::PrintOnBackSide, 3}}, kNoConfig, set("PRINTONBACKSIDE=ON") + res},
      {"cleaning off", {{AttrId::Cleaning, 0}}, kNoConfig, set("CLEANING=OFF") + res},
      {"cleaning on", {{AttrId::Cleaning, 1}}, kNoConfig, set("CLEANING=ON") + res},
      {"tray 1 temperature", {{AttrId::Tray1Temperature, 2}}, kTemperatures, set("TRAY1TEMP=HIGH") + res},
      {"tray 1 temperature not in the table", {{AttrId::Tray1Temperature, 5}}, kTemperatures, res},
      {"tray 1 temperature, no table", {{AttrId::Tray1Temperature, 2}}, kNoConfig, res},
      {"extended area -1", {{AttrId::ExtendedPrintArea, -1}}, kNoConfig, res},
      {"extended area 0", {{AttrId::ExtendedPrintArea, 0}}, kNoConfig, res + set("EXTENDEDPRINTAREA=NO")},
      {"extended area 2", {{AttrId::ExtendedPrintArea, 2}}, kNoConfig, res + set("EXTENDEDPRINTAREA=YES")},
      {"every step in its order",
       {{AttrId::ExtendedPrintArea, 1}, {AttrId::PageProtect, 0}, {AttrId::Binder, 1}, {AttrId::Staple, 0},
        {AttrId::OutputBin, 1}, {AttrId::Tonersave, 1}, {AttrId::Cleaning, 0}, {AttrId::PrintOnBackSide, 1},
        {AttrId::DuplexBinding, 0}, {AttrId::ResolutionEnhancement, 4}, {AttrId::RawPjl, 0, "RAW\r\n"}, {AttrId::Copies, 3},
        {AttrId::DisplayText, 0, "Hi"}, {AttrId::HoldMode, 2}},
       kNoConfig,
       pjlLine("RDYMSG DISPLAY = \"Hi\"") + set("QTY=3") + "RAW\r\n" + set("RET=ON") + set("DUPLEX=OFF") +
           set("PRINTONBACKSIDE=ON") + set("CLEANING=OFF") + set("TONERSAVE=ON") + set("OUTBIN=UPPER") +
           set("FINISH=NONE") + set("FINISH=ON") + set("FINISHERTYPE=THERMALBINDER") +
           set("FINISHEROPTION=REGULARBIND") + set("PAGEPROTECT=ON") + set("HOLD=PROOF") + names + res +
           set("EXTENDEDPRINTAREA=YES")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    GPJL stage(AttrId::JobLanguage);
    FakeOutputPort out;
    GConfiguration* config = new GConfiguration(AttrId::StageConfig);
    if (MPersistentObject* item = configItem(c.config)) config->insert(item);
    stage.setConfig(config);
    GAttributeComposite* group = stage.attributeGroup(AttrId::DocumentGroup);
    for (const Setting& s : c.settings) {
      if (s.text)
        group->insert(new GStringAttribute(s.text, s.id));
      else
        group->insert(new GValueAttribute(s.value, s.id));
    }
    const GCommandPtr start = documentStart(&out);
    EXPECT_EQ(stage.process(start), start);
    const std::string written = out.written();
    EXPECT_EQ(written.substr(0, uel().size() + 21), uel() + pjlLine("JOB NAME=\"doc\""));
    EXPECT_EQ(settingLines(written), c.lines);
    EXPECT_EQ(written.substr(written.size() - 22), "@PJL ENTER LANGUAGE=\r\n") << "no language named";
  }
}

TEST_F(PjlJob, ThePaperByTheConfigurationsNames) {
  const struct {
    const char* name;
    MPersistentObject* media;  // under 259
    bool withTable;
    std::string lines;
  } cases[] = {
      {"letter", new GMedia("Letter", GPoint(5100, 6600), GPoint(4900, 6400), GPoint(100, 100), 0, 1, 600, 600,
                            AttrId::Media),
       true, pjlSet("PAPER=LETTER")},
      {"A4", new GMedia("A4", GPoint(4960, 7016), GPoint(4760, 6816), GPoint(100, 100), 0, 23, 600, 600, AttrId::Media),
       true, pjlSet("PAPER=A4")},
      {"a size the table lacks", new GMedia("Odd", GPoint(1, 1), GPoint(1, 1), GPoint(0, 0), 0, 16385, 600, 600,
                                            AttrId::Media),
       true, pjlSet("PAPER=CUSTOM")},
      {"not a media entry: id 1", new GValueAttribute(23, AttrId::Media), true, pjlSet("PAPER=LETTER")},
      {"no table", new GMedia("Letter", GPoint(1, 1), GPoint(1, 1), GPoint(0, 0), 0, 1, 600, 600, AttrId::Media), false,
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    GPJL stage(AttrId::JobLanguage);
    FakeOutputPort out;
    GConfiguration* config = new GConfiguration(AttrId::StageConfig);
    if (c.withTable) config->insert(configItem(kPapers));
    stage.setConfig(config);
    stage.attributeGroup(AttrId::DocumentGroup)->insert(c.media);
    stage.process(documentStart(&out));
    EXPECT_EQ(settingLines(out.written()), c.lines + pjlSet("RESOLUTION=600"));
  }
}

TEST_F(PjlJob, TheResolutionGroupGivesResolutionAndBitsPerPixel) {
  configure(modes({2}));
  GState* group = new GState(AttrId::ResolutionGroup);
  group->insert(new GValueAttribute(1200, AttrId::Resolution));
  group->insert(new GValueAttribute(2, AttrId::BitsPerPixel));
  settings()->insert(group);
  EXPECT_EQ(settingLines(header()), pjlSet("RESOLUTION=1200") + pjlSet("BITSPERPIXEL=2"));

  // Unsigned 16-bit decimals; a group without the members keeps 600 and 1.
  group->insert(new GValueAttribute(-1, AttrId::Resolution));
  EXPECT_EQ(settingLines(header()), pjlSet("RESOLUTION=65535") + pjlSet("BITSPERPIXEL=2"));
  settings()->insert(new GState(AttrId::ResolutionGroup));
  EXPECT_EQ(settingLines(header()), pjlSet("RESOLUTION=600") + pjlSet("BITSPERPIXEL=1"));
}

TEST_F(PjlJob, BinderOffIsSentOnce) {
  set(AttrId::Binder, 3);
  EXPECT_EQ(settingLines(header()), pjlSet("FINISH=NONE") + pjlSet("RESOLUTION=600"));
  const GValueAttribute* binder = dynamic_cast<GValueAttribute*>(settings()->findById(AttrId::Binder));
  ASSERT_NE(binder, nullptr);
  EXPECT_EQ(binder->value(), 0);
  EXPECT_EQ(settingLines(header()), pjlSet("RESOLUTION=600")) << "the next job of the same settings";
}

// ---- texts between quotes -----------------------------------------------------------------

TEST_F(PjlJob, NamesThatWouldBreakTheLineGoEmpty) {
  const RWwchar accented[] = {u'd', 0xE9, u'j', u'\x00e0', 0};
  const struct {
    const char* name;
    RWWString document;
    std::string quoted;
  } cases[] = {
      {"a quote", RWWString("a\"b"), ""},
      {"a line feed", RWWString("a\nb"), ""},
      {"an escape", RWWString("a\x1b" "E"), ""},
      {"a tab passes", RWWString("a\tb"), "a\tb"},
      {"code page 1252", RWWString(accented), "d\xE9j\xE0"},
      {"empty", RWWString(""), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string text = header(c.document);
    EXPECT_EQ(text.substr(0, text.find("\r\n") + 2), uel() + pjlLine("JOB NAME=\"" + c.quoted + "\""));
    EXPECT_EQ(pjl.jobName(), RWCString(c.quoted.c_str()));
    const size_t before = port.written().size();
    EXPECT_EQ(pjl.process(documentEnd())->isA(), ClassId::GDocumentEnd);
    EXPECT_EQ(port.written().substr(before), uel() + pjlLine("EOJ NAME=\"" + c.quoted + "\"") + uel());
  }
}

TEST_F(PjlJob, HoldTextsAreCheckedAndTheRawTextIsNot) {
  const std::string res = pjlSet("RESOLUTION=600");
  const struct {
    const char* name;
    const char* user;  // null: absent
    const char* job;
    const char* key;
    std::string lines;
  } cases[] = {
      {"all fine", "ann", "Report", "1234",
       pjlSet("HOLDKEY=\"1234\"") + pjlSet("USERNAME=\"ann\"") + pjlSet("JOBNAME=\"Report\"")},
      {"absent", nullptr, nullptr, nullptr,
       pjlSet("HOLDKEY=\"\"") + pjlSet("USERNAME=\"?\"") + pjlSet("JOBNAME=\"\"")},
      {"empty user", "", "Report", "1234",
       pjlSet("HOLDKEY=\"1234\"") + pjlSet("USERNAME=\"?\"") + pjlSet("JOBNAME=\"Report\"")},
      {"quote in the user", "a\"b", "Report", "1234",
       pjlSet("HOLDKEY=\"1234\"") + pjlSet("USERNAME=\"?\"") + pjlSet("JOBNAME=\"Report\"")},
      {"CR in the job name", "ann", "Re\rport", "1234",
       pjlSet("HOLDKEY=\"1234\"") + pjlSet("USERNAME=\"ann\"") + pjlSet("JOBNAME=\"\"")},
      {"quote in the job name", "ann", "Re\"@PJL X", "1234",
       pjlSet("HOLDKEY=\"1234\"") + pjlSet("USERNAME=\"ann\"") + pjlSet("JOBNAME=\"\"")},
      {"LF in the key", "ann", "Report", "12\n34",
       pjlSet("HOLDKEY=\"\"") + pjlSet("USERNAME=\"ann\"") + pjlSet("JOBNAME=\"Report\"")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    GPJL stage(AttrId::JobLanguage);
    FakeOutputPort out;
    GAttributeComposite* group = stage.attributeGroup(AttrId::DocumentGroup);
    group->insert(new GValueAttribute(4, AttrId::HoldMode));
    if (c.user) group->insert(new GStringAttribute(c.user, AttrId::UserName));
    if (c.job) group->insert(new GStringAttribute(c.job, AttrId::HoldJobName));
    if (c.key) group->insert(new GStringAttribute(c.key, AttrId::HoldKey));
    stage.process(documentStart(&out));
    EXPECT_EQ(settingLines(out.written()), pjlSet("HOLD=ON") + pjlSet("HOLDTYPE=PRIVATE") + c.lines + res);
  }

  setText(AttrId::DisplayText, "say \"hi\"");
  setText(AttrId::RawPjl, "@PJL SET X=\"1\"\r\n");
  EXPECT_EQ(settingLines(header()), pjlLine("RDYMSG DISPLAY = \"\"") + "@PJL SET X=\"1\"\r\n" + res);
}

TEST_F(PjlJob, DateAndTimeFromThePlatformClock) {
  InstalledClock platform;
  set(AttrId::SendDateTime, 1);
  const struct {
    int16_t offset;
    const char* time;
  } cases[] = {
      {0, "TIME=(GMT-00:00)09:05"},
      {90, "TIME=(GMT+01:30)09:05"},
      {-330, "TIME=(GMT-05:30)09:05"},
      {600, "TIME=(GMT+10:00)09:05"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.offset);
    platform.clock().offsetMinutes = c.offset;
    EXPECT_EQ(settingLines(header()), pjlSet("DATE=11-12-2026") + pjlSet(c.time) + pjlSet("RESOLUTION=600"));
  }

  platform.clock().now.hour = 23;
  platform.clock().now.minute = 59;
  platform.clock().now.month = 3;
  EXPECT_EQ(settingLines(header()),
            pjlSet("DATE=11-3-2026") + pjlSet("TIME=(GMT+10:00)23:59") + pjlSet("RESOLUTION=600"));

  platform.clock().works = false;
  EXPECT_EQ(settingLines(header()), pjlSet("RESOLUTION=600")) << "a clock that fails";
  platform.clock().works = true;
  set(AttrId::SendDateTime, 2);
  EXPECT_EQ(settingLines(header()), pjlSet("RESOLUTION=600")) << "only 1 asks for it";
}

TEST_F(PjlJob, WithoutAPlatformThereIsNoDateAndTime) {
  set(AttrId::SendDateTime, 1);
  EXPECT_EQ(settingLines(header()), pjlSet("RESOLUTION=600"));
}

// ---- the job's framing and its ports ------------------------------------------------------

TEST_F(PjlJob, SendPjlZeroLeavesTheJobUnframed) {
  set(AttrId::SendPjl, 0);
  const GCommandPtr start = documentStart(&port);
  const GCommandPtr end = documentEnd();
  const GCommandPtr abort(new GJobAbort);
  EXPECT_EQ(pjl.process(start), start);
  EXPECT_EQ(pjl.process(end), end);
  EXPECT_EQ(pjl.process(abort), abort);
  EXPECT_EQ(port.written(), "");
  EXPECT_TRUE(port.calls().empty());

  set(AttrId::SendPjl, 1);
  pjl.process(start);
  EXPECT_NE(port.written(), "") << "any other value frames it";
}

TEST_F(PjlJob, OtherCommandsPassUntouched) {
  const GCommandPtr page(new GPageStart);
  const GCommandPtr pageEnd(new GPageEnd);
  EXPECT_EQ(pjl.process(page), page);
  EXPECT_EQ(pjl.process(pageEnd), pageEnd);
  EXPECT_EQ(pjl.process(GCommandPtr()), GCommandPtr());
  EXPECT_TRUE(port.calls().empty());
}

TEST_F(PjlJob, ACarriedPortIsUsedAndForgottenNotEndedOrDeleted) {
  const int deletions = FakeOutputPort::destructions();
  header();
  EXPECT_EQ(pjl.port(), &port);
  EXPECT_FALSE(pjl.ownsPort());
  EXPECT_EQ(pjl.jobState(), 1);
  pjl.process(documentEnd());
  EXPECT_EQ(pjl.port(), nullptr);
  EXPECT_EQ(pjl.jobState(), 0);
  EXPECT_EQ(port.calls(), (std::vector<std::string>{"write", "write"}));
  EXPECT_EQ(FakeOutputPort::destructions(), deletions);

  // A document end with no job to end writes nothing and is no failure.
  const GCommandPtr stray = documentEnd();
  EXPECT_EQ(pjl.process(stray), stray);
  EXPECT_EQ(port.calls().size(), 2u);
}

TEST(PjlPorts, AnOwnedPortIsStartedWithoutFramingEndedAndKeptUntilTheNextJob) {
  TestPortProvider provider;
  GPJL pjl(AttrId::JobLanguage);
  const GCommandPtr start = documentStart();
  EXPECT_EQ(pjl.process(start), start);
  const PortRecord* record = provider.last();
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(provider.askedFor.back(), RWWString("TEST:"));
  EXPECT_EQ(record->startedName, "doc");
  EXPECT_EQ(record->startedWithPjl, 0);
  EXPECT_TRUE(pjl.ownsPort());
  EXPECT_EQ(static_cast<GDocumentStart*>(start.get())->outputPort(), pjl.port()) << "stored for the generator";

  EXPECT_EQ(pjl.process(documentEnd())->isA(), ClassId::GDocumentEnd);
  EXPECT_EQ(record->calls, (std::vector<std::string>{"open", "startJob", "write", "write", "endJob"}));
  const std::string trailer = uel() + pjlLine("EOJ NAME=\"doc\"") + uel();
  ASSERT_GT(record->written.size(), trailer.size());
  EXPECT_EQ(record->written.substr(record->written.size() - trailer.size()), trailer);
  EXPECT_FALSE(record->deleted);

  pjl.process(documentStart());
  EXPECT_TRUE(record->deleted) << "released at the next document start";

  // The same start again: the port it still names goes, and so does the
  // command's hold on it.
  const size_t made = provider.records.size();
  EXPECT_EQ(pjl.process(start), start);
  EXPECT_EQ(provider.records.size(), made + 1);
  EXPECT_EQ(static_cast<GDocumentStart*>(start.get())->outputPort(), pjl.port());
  EXPECT_EQ(provider.last()->startedName, "doc");
}

TEST(PjlPorts, FailuresOfTheOwnedPort) {
  const struct {
    const char* name;
    TestPortProvider::Makes makes;
    std::vector<std::pair<std::string, uint16_t>> scripts;
    GStatus startStatus;
    GStatus endStatus;
  } cases[] = {
      {"no provider makes a port", TestPortProvider::kNoPorts, {}, 601, 0},
      {"the port does not open", TestPortProvider::kClosedPorts, {}, 601, 0},
      {"the job does not start", TestPortProvider::kOpenPorts, {{"startJob", 7}}, 7, 0},
      {"the header is refused", TestPortProvider::kOpenPorts, {{"write", 5}}, 5, 0},
      {"the job does not end", TestPortProvider::kOpenPorts, {{"endJob", 9}}, 0, 9},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TestPortProvider provider(c.makes);
    provider.scripts = c.scripts;
    GPJL pjl(AttrId::JobLanguage);
    const GCommandPtr start = documentStart();
    const GCommandPtr afterStart = pjl.process(start);
    if (c.startStatus == 0) {
      EXPECT_EQ(afterStart, start);
      EXPECT_EQ(pjl.jobState(), 1);
    } else {
      ASSERT_NE(asError(afterStart), nullptr);
      EXPECT_EQ(asError(afterStart)->errorCode(), c.startStatus);
      EXPECT_EQ(asError(afterStart)->failedCommand(), start.get());
      EXPECT_EQ(pjl.jobState(), 0) << "outside the document";
    }
    if (c.makes == TestPortProvider::kNoPorts) {
      EXPECT_EQ(pjl.port(), nullptr) << "nothing owned";
      EXPECT_EQ(static_cast<GDocumentStart*>(start.get())->outputPort(), nullptr);
    }
    if (c.makes == TestPortProvider::kClosedPorts) {
      EXPECT_TRUE(pjl.ownsPort()) << "kept until the next job";
      EXPECT_EQ(static_cast<GDocumentStart*>(start.get())->outputPort(), nullptr);
    }
    if (c.startStatus != 0) continue;
    const GCommandPtr afterEnd = pjl.process(documentEnd());
    ASSERT_NE(asError(afterEnd), nullptr);
    EXPECT_EQ(asError(afterEnd)->errorCode(), c.endStatus);
  }
}

TEST(PjlPorts, AJobAbortWritesNoTrailerAndAnswersZeroWhateverThePortSays) {
  TestPortProvider provider;
  provider.scripts = {{"abort", 4}};
  GPJL pjl(AttrId::JobLanguage);
  pjl.process(documentStart());
  const GCommandPtr abort(new GJobAbort);
  EXPECT_EQ(pjl.process(abort), abort);
  const PortRecord* record = provider.last();
  EXPECT_EQ(record->calls, (std::vector<std::string>{"open", "startJob", "write", "abort"}));
  EXPECT_EQ(record->written.find("EOJ"), std::string::npos);
  EXPECT_EQ(pjl.jobState(), 0);
}

// ---- settings and stored form ----------------------------------------------------------------

TEST(PjlSettings, HoldsTheThreeGroupsAndTheMediaSeen) {
  GPJL pjl;
  for (const uint32_t group : {AttrId::GraphicGroup, AttrId::PageGroup, AttrId::DocumentGroup}) {
    SCOPED_TRACE(group);
    EXPECT_NE(dynamic_cast<GState*>(pjl.state()->findById(group)), nullptr);
    EXPECT_NE(dynamic_cast<GState*>(pjl.defaults()->findById(group)), nullptr);
  }
  EXPECT_TRUE(pjl.isKindOf(ClassId::GPJL));
  EXPECT_TRUE(pjl.isKindOf(ClassId::GPeripheralComposite));
  EXPECT_FALSE(pjl.isKindOf(ClassId::GPDLGenerator));

  GMedia letter("Letter", GPoint(5100, 6600), GPoint(4900, 6400), GPoint(100, 100), 0, 1, 600, 600);
  EXPECT_EQ(letter.accept(pjl), 0);
  ASSERT_EQ(pjl.mediaSeen().entries(), 1u);
  EXPECT_NE(pjl.mediaSeen().children().pointee(0), &letter) << "a copy";
  EXPECT_TRUE(pjl.mediaSeen().children().pointee(0)->matches(&letter));

  FakeOutputPort port;
  pjl.process(documentStart(&port));
  EXPECT_EQ(pjl.mediaSeen().entries(), 0u) << "emptied by the header";
}

class PjlStore : public StoreTest {};

TEST_F(PjlStore, ItsLevelFollowsTheContainersAndRoundTrips) {
  GPJL pjl(AttrId::JobLanguage);
  FakeOutputPort port;
  pjl.process(documentStart(&port, nullptr, RWWString("Quarterly")));
  const std::string stored = storeFile(&pjl);
  const MPersistentObject& seen = pjl.mediaSeen();
  const std::string level = le32(1) +
                            // the media seen: an empty state (id 0) with its class tag
                            le16(758) + rootLevel(0, seen.serialNumber()) + attributeLevel() + le32(1) + le32(0) +
                            le32(1) +
                            // the job name
                            le32(9) + "Quarterly";
  ASSERT_GT(stored.size(), level.size());
  EXPECT_EQ(stored.substr(stored.size() - level.size()), level);
  EXPECT_EQ(stored.size(), 6 + pjl.binaryStoreSize());

  GMedia letter("Letter", GPoint(5100, 6600), GPoint(4900, 6400), GPoint(100, 100), 0, 1, 600, 600);
  ASSERT_EQ(pjl.onMedia(&letter), 0);
  const std::string withMedia = storeFile(&pjl);
  EXPECT_EQ(withMedia.size(), 6 + pjl.binaryStoreSize());
  std::unique_ptr<MPersistentObject> back = restoredObject(withMedia);
  const GPJL* restored = dynamic_cast<const GPJL*>(back.get());
  ASSERT_NE(restored, nullptr);
  EXPECT_EQ(restored->jobName(), RWCString("Quarterly"));
  ASSERT_EQ(restored->mediaSeen().entries(), 1u);
  EXPECT_TRUE(restored->mediaSeen().children().pointee(0)->matches(&letter));
  EXPECT_EQ(restored->id(), AttrId::JobLanguage);

  const std::unique_ptr<GPJL> streamed =
      throughStream<RWeostream, RWeistream>(&pjl, RWeostream::LittleEndian);
  ASSERT_NE(streamed, nullptr);
  EXPECT_EQ(streamed->jobName(), RWCString("Quarterly"));
  EXPECT_EQ(streamed->mediaSeen().entries(), 1u);
}

TEST_F(PjlStore, AnotherVersionAndEveryCutKeepTheLevelAsItWas) {
  GPJL pjl(AttrId::JobLanguage);
  FakeOutputPort port;
  pjl.process(documentStart(&port, nullptr, RWWString("Quarterly")));
  std::string stored = storeFile(&pjl);
  const size_t at = stored.size() - (4 + 34 + 4 + 9);
  ASSERT_EQ(stored.substr(at, 4), le32(1));

  std::string later = stored;
  later.replace(at, 4, le32(2));
  std::unique_ptr<MPersistentObject> back = restoredObject(later.substr(0, at + 4));
  const GPJL* restored = dynamic_cast<const GPJL*>(back.get());
  ASSERT_NE(restored, nullptr);
  EXPECT_EQ(restored->jobName(), RWCString());

  // Cut anywhere in the level: no crash, and a name only when read whole.
  ReportLog reports;
  for (size_t cut = at; cut < stored.size(); ++cut) {
    SCOPED_TRACE(cut);
    std::unique_ptr<MPersistentObject> part = restoredObject(stored.substr(0, cut));
    if (const GPJL* p = dynamic_cast<const GPJL*>(part.get())) {
      EXPECT_EQ(p->jobName(), RWCString());
    }
  }
}

}  // namespace
