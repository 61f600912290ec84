// The add-on proxy with the test add-on library: loading in each mode,
// what is refused, copies, matching, its stored form and restore, the maker
// it installs, and add-ons on a stage container through a job.

#include "device/periprox.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "addonfix.h"
#include "core/valattr.h"
#include "devfix.h"
#include "device/config.h"
#include "device/pericomp.h"
#include "journal/ctlcmds.h"
#include "testkit/core/ids.h"
#include "testkit/core/stage.h"

namespace {

const RWClassID kStart = ClassId::GDocumentStart;
const RWClassID kPage = ClassId::GPageStart;
const RWClassID kEnd = ClassId::GDocumentEnd;

std::string processed(RWClassID command) { return "process " + std::to_string(command); }

GCommandPtr command(GCommand* c) { return GCommandPtr(c); }

class AddOnProxy : public StoreTest {
 protected:
  AddOnScene scene;
};

TEST_F(AddOnProxy, ModeZeroLoadsCreatesProcessesDestroysAndUnloadsForEachCommand) {
  GPeripheralProxy proxy(RWWString(kStageAddOn), 0, 0);
  EXPECT_FALSE(proxy.isLoaded());
  EXPECT_TRUE(scene.take().empty());
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    const GCommandPtr page = command(new GPageStart);
    EXPECT_EQ(proxy.process(page), page);
    EXPECT_EQ(scene.take(), (AddOnLines{"load", "create", processed(kPage), "destroy", "delete", "unload"}));
    EXPECT_FALSE(proxy.isLoaded());
    EXPECT_FALSE(proxy.library().isLoaded());
  }
}

TEST_F(AddOnProxy, ModeOneKeepsTheStageUntilTheProxyGoes) {
  auto proxy = std::make_unique<GPeripheralProxy>(RWWString(kStageAddOn), 0, 1);
  ASSERT_TRUE(proxy->isLoaded());
  ASSERT_NE(proxy->stage(), nullptr);
  EXPECT_EQ(proxy->stage()->isA(), TestKitClassId::AddOnStage);
  EXPECT_EQ(proxy->stage()->name(), "addon");
  EXPECT_EQ(scene.take(), (AddOnLines{"load", "create"}));
  proxy->process(command(new GDocumentStart));
  proxy->process(command(new GPageStart));
  EXPECT_EQ(proxy->stage()->jobState(), 2) << "the stage itself saw them";
  EXPECT_EQ(scene.take(), (AddOnLines{processed(kStart), processed(kPage)}));
  proxy.reset();
  EXPECT_EQ(scene.take(), (AddOnLines{"destroy", "delete", "unload"}));
}

TEST_F(AddOnProxy, WithoutALibraryOrACreateExportThereIsNoStage) {
  const struct {
    const char* what;
    const char* name;
    int32_t kind;
    AddOnLines log;
  } cases[] = {
      {"a library that is not there", kMissingAddOn, 0, {}},
      {"kind 6: empty keys", kStageAddOn, 6, {"load"}},
      {"a kind beyond the table", kStageAddOn, 9, {"load"}},
      {"no export of the kind's create key", kStageAddOn, 3, {"load"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    {
      GPeripheralProxy proxy(RWWString(c.name), c.kind, 1);
      EXPECT_FALSE(proxy.isLoaded());
      const GCommandPtr page = command(new GPageStart);
      EXPECT_EQ(proxy.process(page), page);
      EXPECT_EQ(scene.take(), c.log);
      if (c.kind >= 5) {
        EXPECT_EQ(proxy.createKey().length(), 0u);
        EXPECT_EQ(proxy.destroyKey().length(), 0u);
      }
    }
    // Whatever loaded is unloaded with the proxy.
    EXPECT_EQ(scene.take(), c.log.empty() ? AddOnLines{} : AddOnLines{"unload"});
  }
  GPeripheralProxy generic(RWWString("a.dll"), 0, 2);
  EXPECT_EQ(generic.createKey(), RWWString("_C_GENERIC_ADDON"));
  EXPECT_EQ(generic.destroyKey(), RWWString("_D_GENERIC_ADDON"));
  GPeripheralProxy pjl(RWWString("a.dll"), 4, 2);
  EXPECT_EQ(pjl.createKey(), RWWString("_C_PJL_ADDON"));
  EXPECT_EQ(pjl.destroyKey(), RWWString("_D_PJL_ADDON"));
}

TEST_F(AddOnProxy, WithoutADestroyExportTheCoreDeletesTheStageBeforeUnloading) {
  {
    GPeripheralProxy proxy(RWWString(kStageAddOn), 1, 1);
    EXPECT_TRUE(proxy.isLoaded());
    EXPECT_EQ(scene.take(), (AddOnLines{"load", "create"}));
  }
  EXPECT_EQ(scene.take(), (AddOnLines{"delete", "unload"}));
}

TEST_F(AddOnProxy, OnlyAFileOfTheDriverDirectoryLoads) {
  const std::string absolute = stageAddOnPath();
  const std::string folder = folderOf(absolute);
  const std::string last = folder.substr(folderOf(folder).size() + 1);
  const std::string names[] = {
      absolute,                                   // the very file, by its path
      "../" + last + "/qxstageaddon.dll",         // up and back again
      "..\\" + last + "\\qxstageaddon.dll",       // the same with backslashes
      "./qxstageaddon.dll",                       // a separator
      "qxstageaddon..dll",                        // ".." anywhere
      "",                                         // no name at all
  };
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(GPeripheralProxy::isPlainName(RWWString(name.c_str())));
    GPeripheralProxy proxy(RWWString(name.c_str()), 0, 1);
    EXPECT_FALSE(proxy.isLoaded());
    EXPECT_FALSE(proxy.library().isLoaded());
  }
  // Nor when the name comes from a stored proxy, which loads whatever its
  // mode.
  GPeripheralProxy byPath(RWWString(absolute.c_str()), 0, 2);
  std::unique_ptr<MPersistentObject> back = restoredObject(storeFile(&byPath));
  auto* restored = dynamic_cast<GPeripheralProxy*>(back.get());
  ASSERT_NE(restored, nullptr);
  EXPECT_EQ(restored->library().path(), RWWString(absolute.c_str()));
  EXPECT_FALSE(restored->library().isLoaded());

  const RWwchar withNul[] = {'a', 0, '/', 'b'};
  EXPECT_FALSE(GPeripheralProxy::isPlainName(RWWString(withNul, 4)));
  EXPECT_TRUE(GPeripheralProxy::isPlainName(RWWString("x.y.dll")));
  EXPECT_TRUE(scene.take().empty()) << "nothing was loaded";
}

TEST_F(AddOnProxy, EachCopyHoldsItsOwnLoad) {
  auto original = std::make_unique<GPeripheralProxy>(RWWString(kStageAddOn), 0, 1);
  auto copy = std::make_unique<GPeripheralProxy>(*original);
  GPeripheralProxy assigned;
  assigned = *original;
  EXPECT_EQ(copy->stage(), original->stage());
  EXPECT_TRUE(copy->matches(original.get()));
  EXPECT_TRUE(copy->library().isLoaded());
  scene.take();

  // The stage is shared: the first copy to go gives destroy a copy of it.
  original.reset();
  EXPECT_EQ(scene.take(), (AddOnLines{"destroy", "delete"}));
  ASSERT_TRUE(copy->isLoaded());
  copy->process(command(new GPageStart));
  EXPECT_EQ(scene.take(), AddOnLines{processed(kPage)});

  assigned = GPeripheralProxy();
  EXPECT_EQ(scene.take(), (AddOnLines{"destroy", "delete"}));
  EXPECT_FALSE(assigned.isLoaded());
  copy.reset();
  EXPECT_EQ(scene.take(), (AddOnLines{"destroy", "delete", "unload"}));
}

TEST_F(AddOnProxy, ProxiesMatchOnlyWithEqualKeysKindAndMode) {
  GPeripheralProxy a(RWWString("a.dll"), 0, 2);
  GPeripheralProxy same(RWWString("a.dll"), 0, 2);
  GPeripheralProxy otherMode(RWWString("a.dll"), 0, 0);
  GPeripheralProxy otherKind(RWWString("a.dll"), 2, 2);
  GPeripheralProxy otherName(RWWString("b.dll"), 0, 2);
  EXPECT_TRUE(a.matches(&same));
  EXPECT_FALSE(a.matches(&otherMode));
  EXPECT_FALSE(a.matches(&otherKind));
  EXPECT_FALSE(a.matches(&otherName));
  auto* stage = new RecordingPeripheral("s");
  GPeripheralProxy holding(stage);
  GPeripheralProxy holdingToo(stage);
  GPeripheralProxy holdingAnother(new RecordingPeripheral("s"));
  EXPECT_TRUE(holding.isLoaded());
  EXPECT_TRUE(holding.matches(&holdingToo));
  EXPECT_FALSE(holding.matches(&holdingAnother)) << "the very same stage, not an equal one";
  EXPECT_TRUE(a.isKindOf(779) && a.isKindOf(760) && a.isKindOf(753) && a.isKindOf(751));
  EXPECT_EQ(a.processingFlags(), 0u);
}

// ---- stored form ---------------------------------------------------------------------

std::string units(const char* text) {
  std::string u;
  for (const char* p = text; *p; ++p) u += le16(static_cast<unsigned char>(*p));
  return u;
}

std::string wide(const char* text) {
  return le32(static_cast<uint32_t>(std::char_traits<char>::length(text))) + units(text);
}

// A proxy made from the name "x.dll", kind 0 and mode 2, stored: written
// out by hand, with the mode and the destroy key given.
std::string goldenProxy(const GPeripheralProxy& p, uint32_t mode = 2, const char* destroyKey = "_D_GENERIC_ADDON") {
  auto emptyState = [](const MPersistentObject* s) {
    return le16(758) + rootLevel(243, s->serialNumber()) + attributeLevel() + le32(1) + le32(0) + le32(1);
  };
  return fileHead(779) + rootLevel(0, p.serialNumber()) + attributeLevel() +
         // the stage: version, Default, State, Config, no dependents, no
         // name, add-on list id, kind, mode
         le32(1) + emptyState(p.defaults()) + emptyState(p.state()) + le16(759) +
         rootLevel(198, p.config()->serialNumber()) + le32(1) + le32(0) + le32(1) + bytes({0x3A}) + le32(0) +
         le32(0) + le32(64) + le32(6) + le32(2) +
         // the proxy: version, the library object, the keys, mode, kind, no
         // stage
         le32(1) + le16(780) + rootLevel(0, p.library().serialNumber()) + le32(1) + wide("x.dll") +
         wide("_C_GENERIC_ADDON") + wide(destroyKey) + le32(mode) + le32(0) +
         nilRecord();
}

TEST_F(AddOnProxy, TheStoredFormPutsTheModeBeforeTheKind) {
  GPeripheralProxy proxy(RWWString("x.dll"), 0, 2);
  const std::string golden = goldenProxy(proxy);
  EXPECT_EQ(storeFile(&proxy), golden);
  EXPECT_EQ(proxy.binaryStoreSize() + 6, golden.size());

  std::unique_ptr<MPersistentObject> back = restoredObject(golden);
  auto* restored = dynamic_cast<GPeripheralProxy*>(back.get());
  ASSERT_NE(restored, nullptr);
  EXPECT_TRUE(restored->matches(&proxy));
  EXPECT_EQ(restored->loadMode(), 2);
  EXPECT_EQ(restored->addOnType(), 0);

  // One key or the mode otherwise, and the two no longer match.
  std::unique_ptr<MPersistentObject> otherKey = restoredObject(goldenProxy(proxy, 2, "_D_GENERIC_ADDOX"));
  std::unique_ptr<MPersistentObject> otherMode = restoredObject(goldenProxy(proxy, 0));
  ASSERT_NE(otherKey, nullptr);
  ASSERT_NE(otherMode, nullptr);
  EXPECT_FALSE(otherKey->matches(restored));
  EXPECT_FALSE(otherMode->matches(restored));
  EXPECT_EQ(dynamic_cast<GPeripheralProxy*>(otherMode.get())->loadMode(), 0);
}

TEST_F(AddOnProxy, ARestoredProxyIsLoadedWithTheStoredStage) {
  auto original = std::make_unique<GPeripheralProxy>(RWWString(kStageAddOn), 0, 1);
  original->stage()->setName("stored");
  const std::string stored = storeFile(original.get());
  original.reset();
  EXPECT_EQ(scene.take(), (AddOnLines{"load", "create", "destroy", "delete", "unload"}));

  // The add-on loads before the stage is read, so that its class is known;
  // the stage create made gives way to the stored one and is released by
  // the core, never destroyed.
  auto* back = restoreFile<GPeripheralProxy>();
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(scene.take(), (AddOnLines{"load", "create", "delete"}));
  ASSERT_TRUE(back->isLoaded());
  EXPECT_EQ(back->stage()->isA(), TestKitClassId::AddOnStage);
  EXPECT_EQ(back->stage()->name(), "stored");
  EXPECT_TRUE(back->library().isLoaded());
  back->process(command(new GPageStart));
  EXPECT_EQ(scene.take(), AddOnLines{processed(kPage)});
  delete back;
  EXPECT_EQ(scene.take(), (AddOnLines{"destroy", "delete", "unload"}));
}

// ---- the maker and add-ons on a container ----------------------------------------------

TEST_F(AddOnProxy, TheInstalledMakerAnswersOnlyLoadedProxies) {
  const GAddOnProxyMaker maker = gSetAddOnProxyMaker(nullptr);
  gSetAddOnProxyMaker(maker);
  ASSERT_NE(maker, nullptr);
  EXPECT_EQ(maker(RWWString(kMissingAddOn), 0, 1), nullptr);
  EXPECT_EQ(maker(RWWString(kStageAddOn), 0, 0), nullptr) << "mode 0 holds no stage until a command comes";
  std::unique_ptr<GPeripheral> made(maker(RWWString(kStageAddOn), 0, 1));
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->isA(), ClassId::GPeripheralProxy);
  EXPECT_EQ(scene.take(), (AddOnLines{"load", "create"}));
  made.reset();
  EXPECT_EQ(scene.take(), (AddOnLines{"destroy", "delete", "unload"}));
}

// A container of mode 1 and kind 0 whose configuration lists "A" (missing)
// and "B" (the test add-on), with two children.
struct AddOnRoot {
  explicit AddOnRoot(int32_t mode) {
    auto* list = new GAttributeComposite(AttrId::AddOnList);
    list->insert(new GStringAttribute(kMissingAddOn, 1));
    list->insert(new GStringAttribute(kStageAddOn, 2));
    auto* config = new GConfiguration(AttrId::StageConfig);
    config->insert(list);
    root = std::make_unique<GPeripheralComposite>("root", nullptr, config, 0, AttrId::AddOnList, 0, mode);
    first = new RecordingPeripheral("first");
    second = new RecordingPeripheral("second");
    root->insert(first);
    root->insert(second);
  }
  std::unique_ptr<GPeripheralComposite> root;
  RecordingPeripheral* first;
  RecordingPeripheral* second;
};

TEST_F(AddOnProxy, AttachedProxiesStandBeforeTheChildrenUntilDetached) {
  AddOnRoot made(1);
  GPeripheralComposite& root = *made.root;
  root.attachAddOns();
  ASSERT_EQ(root.entries(), 3u);
  auto* proxy = dynamic_cast<GPeripheralProxy*>(root.childAt(0));
  ASSERT_NE(proxy, nullptr);
  EXPECT_EQ(proxy->library().path(), RWWString(kStageAddOn));
  EXPECT_EQ(proxy->loadMode(), 1);
  EXPECT_EQ(root.childAt(1), made.first) << "the very children, in their order";
  EXPECT_EQ(root.childAt(2), made.second);
  ASSERT_EQ(proxy->dependentCount(), 1u);
  EXPECT_EQ(proxy->dependentAt(0), &root);
  EXPECT_EQ(made.first->dependentCount(), 1u);
  EXPECT_EQ(root.config()->children().pointee(1), proxy->config());
  EXPECT_EQ(scene.take(), (AddOnLines{"load", "create"}));

  root.detachAddOns();
  ASSERT_EQ(root.entries(), 2u);
  EXPECT_EQ(root.childAt(0), made.first);
  EXPECT_EQ(root.childAt(1), made.second);
  EXPECT_EQ(scene.take(), (AddOnLines{"destroy", "delete", "unload"}));

  AddOnRoot quiet(2);
  quiet.root->attachAddOns();
  EXPECT_EQ(quiet.root->entries(), 2u);
  EXPECT_TRUE(scene.take().empty());
}

TEST_F(AddOnProxy, AJobAttachesTheAddOnsAtItsStartAndLetsThemGoAfterItsEnd) {
  AddOnRoot made(1);
  GPeripheralComposite& root = *made.root;
  root.process(command(new GDocumentStart));
  EXPECT_EQ(root.entries(), 3u);
  EXPECT_EQ(root.activeChildren().entries(), 3u);
  root.process(command(new GPageStart));
  EXPECT_EQ(made.second->jobState(), 2);
  EXPECT_EQ(scene.take(), (AddOnLines{"load", "create", processed(kStart), processed(kPage)}));

  root.process(command(new GDocumentEnd));
  EXPECT_EQ(scene.take(), (AddOnLines{processed(kEnd), "destroy", "delete", "unload"}));
  EXPECT_EQ(root.entries(), 2u);
  EXPECT_EQ(root.activeChildren().entries(), 0u);

  // The next job takes them again.
  root.process(command(new GDocumentStart));
  EXPECT_EQ(scene.take(), (AddOnLines{"load", "create", processed(kStart)}));
  root.process(command(new GJobAbort));
  EXPECT_EQ(scene.take(), (AddOnLines{processed(ClassId::GJobAbort), "destroy", "delete", "unload"}));
}

}  // namespace
