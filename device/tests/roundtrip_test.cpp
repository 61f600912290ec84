// Every record class of the device model stored to a binary file and to
// each virtual-stream form and restored equal, with the stored size each
// announces against the bytes it writes.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "devfix.h"
#include "device/capabil.h"
#include "device/config.h"
#include "device/formtray.h"
#include "device/pmdinfo.h"
#include "device/resmap.h"
#include "rw/bstream.h"
#include "rw/estream.h"
#include "rw/pstream.h"
#include "rw/rwstore.h"

namespace {

struct Sample {
  const char* what;
  std::function<MPersistentObject*()> make;
};

GFormToTrayDatabase* database(uint32_t id) {
  auto* db = new GFormToTrayDatabase(id);
  db->assign(1, 3, 7);
  db->assign(2, 4, 11913);
  return db;
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
};

class DeviceRoundTrip : public StoreTest {};

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

    const MPersistentObject* asObject = object.get();
    const struct {
      const char* form;
      std::function<std::unique_ptr<MPersistentObject>()> restore;
    } forms[] = {
        {"binary file", [&] { return std::unique_ptr<MPersistentObject>(restoreFile<MPersistentObject>()); }},
        {"portable stream", [&] { return throughStream<RWpostream, RWpistream>(asObject); }},
        {"binary stream", [&] { return throughStream<RWbostream, RWbistream>(asObject); }},
        {"little-endian stream",
         [&] { return throughStream<RWeostream, RWeistream>(asObject, RWeostream::LittleEndian); }},
        {"big-endian stream", [&] { return throughStream<RWeostream, RWeistream>(asObject, RWeostream::BigEndian); }},
    };
    for (const auto& f : forms) {
      SCOPED_TRACE(f.form);
      std::unique_ptr<MPersistentObject> back = f.restore();
      ASSERT_NE(back, nullptr);
      EXPECT_EQ(back->isA(), object->isA());
      EXPECT_TRUE(back->matches(object.get()));
      // Every field, the ones matches leaves out too, comes back: the
      // restored object stores the same bytes.
      EXPECT_EQ(storeFile(back.get()), stored);
      storeFile(object.get());  // the file again, for the next form
    }
  }
}

}  // namespace
