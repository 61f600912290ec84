// Every record class of the device model stored to a binary file and to
// each virtual-stream form and restored equal, with the stored size each
// announces against the bytes it writes. The stage container and the add-on
// proxy ask for the very same items and stage in matches: theirs are
// compared by content.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "addonfix.h"
#include "core/state.h"
#include "core/valattr.h"
#include "devfix.h"
#include "device/capabil.h"
#include "device/config.h"
#include "device/custsize.h"
#include "device/formtray.h"
#include "device/media.h"
#include "device/paperdev.h"
#include "device/pericomp.h"
#include "device/periprox.h"
#include "device/pmdinfo.h"
#include "device/resmap.h"
#include "device/tray.h"
#include "rw/bstream.h"
#include "rw/estream.h"
#include "rw/pstream.h"
#include "rw/rwstore.h"
#include "testkit/core/stage.h"

namespace {

// Checks that what came back is what was stored.
using Same = std::function<void(const MPersistentObject* back, const MPersistentObject* original)>;

void matching(const MPersistentObject* back, const MPersistentObject* original) {
  EXPECT_TRUE(back->matches(original));
}

struct Sample {
  const char* what;
  std::function<MPersistentObject*()> make;
  Same same = matching;
};

bool sameContent(const MPersistentObject* a, const MPersistentObject* b) {
  return a && b && a != b && !a->differs(b);
}

// A container of three recording stages, the last a dependent of the first
// too, with something in each own item.
GPeripheralComposite* containerOfThree() {
  auto* config = new GConfiguration(AttrId::StageConfig);
  config->insert(new GValueAttribute(1, 339));
  auto* defaults = new GState;
  defaults->insert(new GValueAttribute(2, 30));
  auto* root = new GPeripheralComposite("root", defaults, config, 21, AttrId::AddOnList, 3, 2);
  auto* first = new RecordingPeripheral("first", 1);
  auto* second = new RecordingPeripheral("second", 2);
  auto* third = new RecordingPeripheral("third", 3);
  root->insert(first);
  root->insert(second);
  root->insert(third);
  first->addDependent(third);
  second->config()->insert(new GStringAttribute("two", 40));
  root->state()->insert(new GValueAttribute(5, 31));
  return root;
}

void sameContainer(const MPersistentObject* back, const MPersistentObject* original) {
  auto* b = dynamic_cast<const GPeripheralComposite*>(back);
  auto* o = dynamic_cast<const GPeripheralComposite*>(original);
  ASSERT_NE(b, nullptr);
  ASSERT_NE(o, nullptr);
  EXPECT_TRUE(b->GPeripheral::matches(o)) << "name, settings and the merged configuration";
  EXPECT_TRUE(sameContent(b->ownState(), o->ownState()));
  EXPECT_TRUE(sameContent(b->ownDefaults(), o->ownDefaults()));
  EXPECT_TRUE(sameContent(b->ownConfig(), o->ownConfig()));
  ASSERT_EQ(b->config()->entries(), o->entries() + 1);
  EXPECT_EQ(b->config()->children().pointee(0), b->ownConfig()) << "shared as stored";
  ASSERT_EQ(b->entries(), o->entries());
  // A stage of the original tree as its counterpart in the restored one.
  auto counterpart = [&](const GPeripheral* stage) -> const GPeripheral* {
    if (stage == o) return b;
    for (RWsize i = 0; i < o->entries(); ++i)
      if (o->childAt(i) == stage) return b->childAt(i);
    return nullptr;
  };
  for (RWsize i = 0; i < o->entries(); ++i) {
    SCOPED_TRACE(i);
    const GPeripheral* bc = b->childAt(i);
    const GPeripheral* oc = o->childAt(i);
    ASSERT_NE(bc, nullptr);
    EXPECT_EQ(bc->isA(), oc->isA());
    EXPECT_EQ(bc->name(), oc->name());
    EXPECT_EQ(bc->id(), oc->id());
    EXPECT_TRUE(sameContent(bc->config(), oc->config()));
    EXPECT_EQ(b->config()->children().pointee(i + 1), bc->config());
    ASSERT_EQ(bc->dependentCount(), oc->dependentCount());
    for (RWsize d = 0; d < oc->dependentCount(); ++d) EXPECT_EQ(bc->dependentAt(d), counterpart(oc->dependentAt(d)));
  }
}

void sameProxy(const MPersistentObject* back, const MPersistentObject* original) {
  auto* b = dynamic_cast<const GPeripheralProxy*>(back);
  auto* o = dynamic_cast<const GPeripheralProxy*>(original);
  ASSERT_NE(b, nullptr);
  ASSERT_NE(o, nullptr);
  EXPECT_TRUE(b->GPeripheral::matches(o));
  EXPECT_EQ(b->library().path(), o->library().path());
  EXPECT_TRUE(b->library().isLoaded());
  EXPECT_EQ(b->createKey(), o->createKey());
  EXPECT_EQ(b->destroyKey(), o->destroyKey());
  EXPECT_EQ(b->loadMode(), o->loadMode());
  EXPECT_EQ(b->addOnType(), o->addOnType());
  ASSERT_TRUE(b->isLoaded());
  EXPECT_NE(b->stage(), o->stage()) << "the stored stage, not one shared";
  EXPECT_EQ(b->stage()->isA(), o->stage()->isA());
  EXPECT_EQ(b->stage()->name(), o->stage()->name());
}

GFormToTrayDatabase* database(uint32_t id) {
  auto* db = new GFormToTrayDatabase(id);
  db->assign(1, 3, 7);
  db->assign(2, 4, 11913);
  return db;
}

GMedia* legal() {
  return new GMedia("Legal", GPoint(5100, 8400), GPoint(4900, 8200), GPoint(100, 100), 90, 5, 600, 300,
                    AttrId::MediaEntry, 3, "text", "Plain");
}

GMediaPool* pool() {
  auto* p = new GMediaPool(77);
  p->insert(legal());
  p->insert(new GMedia("A4", GPoint(4960, 7016), GPoint(4760, 6816), GPoint(100, 100), 0, 26, 600, 600));
  p->next();
  return p;
}

// Two sources, one of them under two ids, of trays and bins.
GPaperHandlingDevice* paperDevice() {
  auto* device = new GPaperHandlingDevice(4, "Feeder", 0, 1, 1, 2, 3, "Feeder", "F", 9);
  auto* first = new GAttributeComposite(1);
  first->insert(new GTray(2, "Upper", 1, 0, 0, 250, 100, legal(), "Upper", nullptr, 0));
  first->insert(new GBin("Top", 2));
  device->addSource(17, first);
  device->addSource(1, new GAttributeComposite(2));
  device->addSource(33, first);
  return device;
}

const Sample samples[] = {
    {"capabilities",
     [] {
       auto* c = new GCapabilities(5, 10, 9);
       c->set(0);
       return c;
     }},
    {"empty capabilities", [] { return new GCapabilities(6); }},
    {"capabilities of 17 bits", [] { return new GCapabilities(6, 17, 16); }},
    {"configuration",
     [] {
       auto* config = new GConfiguration(198);
       config->insert(new GCapabilities(64, 3, 1));
       config->insert(new GSelectionString("Letter", 2, 3));
       return config;
     }},
    {"mapping", [] { return new GResourceMapping(0x12345, 0xFFFF, -1, 2); }},
    {"mapping list",
     [] {
       auto* list = new GResourceMappingList(194);
       list->add(new GResourceMapping(100, 1, 10));
       list->add(new GResourceMapping(200, 2, 20, 4));
       return list;
     }},
    {"selection string", [] { return new GSelectionString("Legal", -5, 9); }},
    {"empty selection string", [] { return new GSelectionString; }},
    {"version info",
     [] {
       auto* info = new GPMDVersionInfo(0x00010002, 0x00030004, 7, 11);
       info->setValueA(0xDEADBEEF);
       info->setValueB(5);
       info->appendString("first");
       info->appendString("");
       info->appendString("third");
       return info;
     }},
    {"descriptor", [] { return new GPMLDescriptor(RWWString("Media Size"), 42, "A4"); }},
    {"association", [] { return new GFormToTrayAssociation(9, 2, -3); }},
    {"database", [] { return database(12); }},
    {"empty database", [] { return new GFormToTrayDatabase; }},
    {"media entry", [] { return legal(); }},
    {"default media entry", [] { return new GMedia; }},
    {"media pool", [] { return pool(); }},
    {"empty media pool", [] { return new GMediaPool; }},
    {"tray with media", [] { return new GTray(2, "Upper", 1, -5, 6, 250, 100, legal(), "Upper", "U", 3); }},
    {"tray without media", [] { return new GTray("Lower", 2, 4); }},
    {"bin", [] { return new GBin(7, "Face down", 1, 1, 2, 250, 10, 1, 3, "Face down", nullptr, 4); }},
    {"custom size", [] { return new GCustomMediaSize(16385, "Card", kMillimetres, 100, 150, 276); }},
    {"paper-handling device", [] { return paperDevice(); }},
    {"empty paper-handling device", [] { return new GPaperHandlingDevice; }},
    {"container of three stages", [] { return containerOfThree(); }, sameContainer},
    {"empty container", [] { return new GPeripheralComposite; }, sameContainer},
    {"loaded add-on proxy",
     [] {
       auto* proxy = new GPeripheralProxy(RWWString(kStageAddOn), 0, 1);
       proxy->stage()->setName("stored");
       return proxy;
     },
     sameProxy},
};

class DeviceRoundTrip : public StoreTest {
 protected:
  AddOnScene addOns;
};

TEST_F(DeviceRoundTrip, EveryFormGivesBackWhatWasStored) {
  for (const Sample& sample : samples) {
    SCOPED_TRACE(sample.what);
    std::unique_ptr<MPersistentObject> object(sample.make());
    const std::string stored = storeFile(object.get());
    // Magic and class tag around the object's own bytes.
    EXPECT_EQ(stored.size(), 6 + object->binaryStoreSize());
    RWspace asMember;
    {
      RWUseStoreTable table;  // sized as a stored member is
      asMember = object->binaryStoreSize();
    }
    EXPECT_EQ(asMember, object->binaryStoreSize());

    forEachStoreForm<MPersistentObject>(object.get(), [&](const char*, std::unique_ptr<MPersistentObject> back) {
      ASSERT_NE(back, nullptr);
      EXPECT_EQ(back->isA(), object->isA());
      sample.same(back.get(), object.get());
      // Every field, the ones matches leaves out too, comes back: the
      // restored object stores the same bytes.
      EXPECT_EQ(storeFile(back.get()), stored);
    });
  }
}

}  // namespace
