// The session over a fixture printer served as the host serves it: apply,
// the quick-set pool, the defaults, the custom media and the help file.

#include "core/attrids.h"
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/attrib.h"
#include "core/osfactry.h"
#include "core/outport.h"
#include "core/valattr.h"
#include "device/custsize.h"
#include "device/drvrsrvr.h"
#include "device/media.h"
#include "device/pericomp.h"
#include "host/uihost/uihost.h"
#include "testkit/core/port.h"
#include "testkit/ui/fixprinter.h"
#include "testkit/ui/hosthooks.h"
#include "tools/printer/platform.h"
#include "ui/model.h"
#include "ui/session.h"
#include "ui/uiids.h"
#include "ui/uires.h"

namespace {

constexpr uint32_t kLevel = 0x40000100;

HostOptions driverFolder() {
  HostOptions options;
  options.driverDirectory = RWWString(u"C:\\drv");
  return options;
}

class PrinterSession : public UIHostTest {
 protected:
  PrinterSession() : printer_(FixturePrinterSpec(), driverFolder()) {}
  void SetUp() override {
    UIHostTest::SetUp();
    ASSERT_EQ(printer_.error(), "");
    instance_ = printer_.registerInstance(RWWString(u"UI printer"), handle_);
    ASSERT_NE(instance_, nullptr);
    record_.printer = instance_;
    record_.configuration = instance_->configuration();
    record_.settings = instance_->defaultSettings();
    record_.programArguments[0] = u"Printer";
    record_.programArguments[1] = u"doc";
  }
  void TearDown() override {
    session_.reset();
    delete record_.settings;
    if (printer_.server()) printer_.server()->removeInstance(handle_);
    UIHostTest::TearDown();
  }
  GUISession& session() {
    if (!session_) session_ = std::make_unique<GUISession>(&record_);
    return *session_;
  }

  FixturePrinter printer_;
  GInterfaceInstance* instance_ = nullptr;
  uint32_t handle_ = 0;
  UIHostRecord record_;
  std::unique_ptr<GUISession> session_;
};

TEST_F(PrinterSession, ApplyStartsTheProgramSavesAndCopies) {
  EXPECT_EQ(session().apply(), 603) << "no configuration store";
  EXPECT_EQ(uihost::logLines("WinExec"),
            std::vector<std::string>{"WinExec \"C:\\drv\\LAUNCHAPP.exe  /G /P Printer /Ddoc\" show=0 -> 33"});
  FakeConfigurationStore store;
  ASSERT_EQ(GOutputPortProviderRegistry::instance().add(&store, RWCString("UI store")), 0);
  store.answer(8);
  EXPECT_EQ(session().apply(), 8);
  EXPECT_EQ(store.stores(), 1);
  EXPECT_TRUE(session().refreshAllPending());
  GOutputPortProviderRegistry::instance().remove(RWCString("UI store"));
}

TEST_F(PrinterSession, ThePoolIsStoredOnlyWhenAskedFor) {
  GOSFactory* factory = GOSFactory::instance();
  ASSERT_NE(factory, nullptr);
  const RWWString name(u"QuicksetPool");
  (void)session();
  session_.reset();
  EXPECT_EQ(factory->getObject(instance_, name), nullptr) << "never asked, nothing stored";

  bool loaded = true;
  GAttributeComposite* pool = session().quickSetPool(loaded);
  ASSERT_NE(pool, nullptr);
  EXPECT_FALSE(loaded);
  pool->insert(new GValueAttribute(42, 7));
  session_.reset();
  pool = session().quickSetPool(loaded);
  EXPECT_TRUE(loaded);
  auto* kept = dynamic_cast<GValueAttribute*>(pool->findById(7));
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->value(), 42);
  session_.reset();

  // A value of another class is no pool.
  GValueAttribute stranger(1, UiId::kQuickSetPool);
  ASSERT_NE(factory->putObject(instance_, name, &stranger), 0);
  pool = session().quickSetPool(loaded);
  EXPECT_FALSE(loaded);
  EXPECT_EQ(pool->entries(), 0u);
  EXPECT_EQ(pool->id(), UiId::kQuickSetPool);
}

TEST_F(PrinterSession, ResetToDefaultsCarriesTheMergedGroupsAndTheScratch) {
  auto* carried = dynamic_cast<GAttributeComposite*>(record_.settings->findById(AttrId::Option367));
  ASSERT_NE(carried, nullptr);
  carried->insert(new GValueAttribute(5, 900));
  // The old settings lack 366: the fresh one stays.
  delete record_.settings->removeById(AttrId::WatermarkDefinitions);
  session().beginUpdate(0);
  ASSERT_TRUE(session().scratchCursor().setValue(kLevel, 3));
  GAttributeComposite* before = record_.settings;
  session().resetToDefaults();
  EXPECT_NE(record_.settings, before);
  EXPECT_EQ(session().settings(), record_.settings);
  EXPECT_NE(record_.settings->findById(900), nullptr);
  EXPECT_NE(record_.settings->findById(AttrId::WatermarkDefinitions), nullptr);
  EXPECT_EQ(GUIObject(&session()).settingsValue(kLevel), 3);
  (void)session().endUpdate();
}

TEST_F(PrinterSession, CustomMediaReplacesTheScratchOne) {
  GAttributeCursor settings = session().settingsCursor();
  auto* sizes = static_cast<GAttributeComposite*>(settings.customSizes());
  ASSERT_NE(sizes, nullptr);
  auto* card = new GCustomMediaSize(16385, RWCString("Card"), 0, 400, 600);
  ASSERT_EQ(instance_->addCustomMediaSize(card, sizes), 1);
  GMedia* first = session().makeCustomMedia(16385, 600, 600);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->id(), UiId::kCustomMedia);
  GMedia* second = settings.makeMedia(16385);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(session().findScratch(UiId::kCustomMedia), second);
  EXPECT_EQ(session().makeCustomMedia(16390, 600, 600), nullptr) << "no such size";
  // Without 276 or without the scratch group: nothing.
  delete record_.settings->removeById(AttrId::CustomSizes);
  EXPECT_EQ(session().makeCustomMedia(16385, 600, 600), nullptr);
}

TEST_F(PrinterSession, TheMediaListIsBoundedByTheCustomSizeLimits) {
  GAttributeCursor config = session().printerConfigCursor();
  auto* pool = static_cast<GMediaPool*>(config.findOfClass(AttrId::MediaPool, ClassId::GMediaPool));
  ASSERT_NE(pool, nullptr);
  // A banner larger than the largest custom size the printer takes.
  constexpr int16_t kBanner = 99;
  pool->insert(new GMedia("Banner", GPoint(30000, 30000), GPoint(29800, 29800), GPoint(100, 100), 0, kBanner, 600,
                          600));
  std::vector<int16_t> ids;
  ASSERT_TRUE(config.getList(AttrId::MediaPool, ids));
  std::vector<int16_t> unbounded;
  GValueAttribute fit(1, AttrId::FitToMedia);
  ASSERT_TRUE(session().settingsCursor().replace(AttrId::FitToMedia, fit));
  ASSERT_TRUE(config.getList(AttrId::MediaPool, unbounded));
  // The limits are entries too; the banner passes them and is listed only
  // when pages are fitted to the paper.
  EXPECT_EQ(ids, (std::vector<int16_t>{1, 5, 23, 17385, 17384}));
  EXPECT_EQ(unbounded, (std::vector<int16_t>{1, 5, 23, 17385, 17384, kBanner}));
  EXPECT_FALSE(session().settingsCursor().getList(AttrId::MediaPool, ids)) << "no pool in the settings";
}

TEST_F(PrinterSession, TheHelpFileIsBesideThePlugin) {
  struct Row {
    std::u16string name;
    std::u16string module;
    std::string file;
  } rows[] = {{u"qxplugin1.dll", u"C:\\drv\\qxui.dll", "C:\\drv\\QXUI.HLP"}, {u"qxplugin2.dll", u"qxui.dll", "QXUI.HLP"}};
  for (const Row& row : rows) {
    ASSERT_TRUE(uihost::registerModule(row.name, {}, "", row.module));
    const HMODULE module = LoadLibraryW(row.name.c_str());
    ASSERT_NE(module, 0u);
    uires::setPluginModule(module);
    const RWCString file = session().helpFileName();
    EXPECT_EQ(std::string(file.data(), file.length()), row.file);
    uires::setPluginModule(0);
    FreeLibrary(module);
  }
}

}  // namespace
