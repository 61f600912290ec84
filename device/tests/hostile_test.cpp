// Stored forms of the device records that no store of theirs writes: a
// list child of another class, an association member missing, of another
// class or shared, counts beyond the data, a container child that is no
// stage or refers back, a proxy stage that refers back, an add-on named by
// a path. Each restores to a clear failure or a dropped item, and nothing is
// freed twice or leaked.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "devfix.h"
#include "device/capabil.h"
#include "core/valattr.h"
#include "device/formtray.h"
#include "device/media.h"
#include "device/paperdev.h"
#include "device/pericomp.h"
#include "device/periprox.h"
#include "device/pmdinfo.h"
#include "device/resmap.h"
#include "device/tray.h"
#include "journal/ctlcmds.h"
#include "testkit/core/stage.h"
#include "rw/bstream.h"
#include "rw/estream.h"
#include "rw/pstream.h"

namespace {

// An association stored with the given member records (read table: 0 nil,
// 1 the association, then its members in order).
std::string association(const std::string& members) {
  return fileHead(1013) + rootLevel(0, 1) + attributeLevel() + le32(1) + members;
}

// A 32-bit value attribute (class 789), which an association never holds.
std::string value32Object(uint32_t value, uint32_t serial) {
  return le16(789) + rootLevel(0, serial) + attributeLevel() + le32(1) + le32(value);
}

// A database whose associations' composite holds the given child records
// (read table: 0 nil, 1 the database, then the children).
std::string database(uint32_t count, const std::string& children) {
  return fileHead(1012) + rootLevel(0, 1) + attributeLevel() + le32(1) + rootLevel(0, 2) + attributeLevel() +
         le32(1) + le32(count) + children;
}

std::string listWithAStranger() {
  GResourceMappingList list(194);
  // Past add, as a stored file may hold them: an object of another class
  // and a nil entry before the mappings.
  list.MPersistentComposite::insert(new GSelectionString("stranger", 10));
  list.children().append(GCountedPtr());
  list.add(new GResourceMapping(100, 0, 10));
  return storedBytes(&list);
}

// An empty container stored, with its (empty) children's record replaced
// by the given one. Read table: 0 nil, 1 the container, 2 to 4 Default,
// State and Config, 5 the own configuration item, 6 the dependents list,
// then the children's record.
std::string containerWith(const std::string& children) {
  GPeripheralComposite root;
  std::string stored = storedBytes(&root);
  const std::string empty = le16(752) + rootLevel(0, root.children().serialNumber()) + le32(1) + le32(0);
  const size_t at = stored.find(empty);
  EXPECT_NE(at, std::string::npos);
  if (at != std::string::npos) stored.replace(at, empty.size(), children);
  return stored;
}

// The children's record holding a value attribute, then a stage, as a
// plain composite holds them.
std::string childrenWithAStranger() {
  MPersistentComposite children;
  children.insert(new GValueAttribute(3, 5));
  children.insert(new RecordingPeripheral("stage", 6));
  return storedBytes(&children).substr(4);
}

// A proxy of a library that is nowhere, without a stage, whose last record
// (the stage, nil) is replaced. Read table: 1 the proxy.
std::string proxyWithStage(const std::string& stage) {
  GPeripheralProxy proxy(RWWString("nowhere.dll"), 0, 2);
  std::string stored = storedBytes(&proxy);
  EXPECT_EQ(stored.substr(stored.size() - 6), nilRecord());
  return stored.substr(0, stored.size() - 6) + stage;
}

template <class T>
T* as(const std::unique_ptr<MPersistentObject>& object) {
  return dynamic_cast<T*>(object.get());
}

struct Hostile {
  const char* what;
  std::string bytes;
  std::function<void(const std::unique_ptr<MPersistentObject>&, const ReportLog&)> check;
};

TEST(HostileDeviceRecords, RestoreToAFailureOrADroppedItem) {
  const Hostile cases[] = {
      {"a mapping list child that is no mapping", listWithAStranger(),
       [](const std::unique_ptr<MPersistentObject>& back, const ReportLog&) {
         auto* list = as<GResourceMappingList>(back);
         ASSERT_NE(list, nullptr);
         EXPECT_EQ(list->entries(), 3u) << "held as stored";
         ASSERT_NE(list->findBySecondCode(10), nullptr);
         EXPECT_EQ(list->findBySecondCode(10)->resourceId(), 100u);
         EXPECT_EQ(list->findByFirstCode(0)->resourceId(), 100u);
         EXPECT_EQ(list->findByResourceId(0x0FFFFFFF), nullptr);
         EXPECT_EQ(list->add(new GResourceMapping(200, 1, 20)), 1);
         std::unique_ptr<GResourceMapping> taken(list->removeByFirstCode(0));
         ASSERT_NE(taken, nullptr);
         EXPECT_EQ(list->entries(), 3u);
       }},
      {"an association missing its form", association(valueObject(2, 2) + nilRecord() + valueObject(7, 3)),
       [](const std::unique_ptr<MPersistentObject>& back, const ReportLog&) {
         auto* a = as<GFormToTrayAssociation>(back);
         ASSERT_NE(a, nullptr);
         EXPECT_EQ(a->tray(), 2);
         EXPECT_EQ(a->form(), 0);
         EXPECT_EQ(a->mediaType(), 7);
       }},
      {"an association member of another class",
       association(valueObject(2, 2) + valueObject(4, 3) + value32Object(7, 4)),
       [](const std::unique_ptr<MPersistentObject>& back, const ReportLog&) {
         auto* a = as<GFormToTrayAssociation>(back);
         ASSERT_NE(a, nullptr);
         EXPECT_EQ(a->form(), 4);
         EXPECT_EQ(a->mediaType(), 0);
       }},
      {"an association member shared with another",
       association(valueObject(2, 2) + reference(2) + valueObject(7, 3)),
       [](const std::unique_ptr<MPersistentObject>& back, const ReportLog& reports) {
         auto* a = as<GFormToTrayAssociation>(back);
         ASSERT_NE(a, nullptr);
         EXPECT_TRUE(reportedBadReference(reports));
         EXPECT_EQ(a->tray(), 2);
         EXPECT_EQ(a->form(), 0);
         EXPECT_EQ(a->mediaType(), 7);
       }},
      {"an association cut short", association(valueObject(2, 2) + valueObject(4, 3)).substr(0, 60),
       [](const std::unique_ptr<MPersistentObject>& back, const ReportLog&) {
         auto* a = as<GFormToTrayAssociation>(back);
         ASSERT_NE(a, nullptr);
         EXPECT_EQ(a->tray(), 2);
         EXPECT_EQ(a->form(), 0);
       }},
      {"a database child that is no association",
       database(2, valueObject(3, 3) + le16(1013) + rootLevel(0, 4) + attributeLevel() + le32(1) +
                       valueObject(6, 5) + valueObject(4, 6) + valueObject(7, 7)),
       [](const std::unique_ptr<MPersistentObject>& back, const ReportLog&) {
         auto* db = as<GFormToTrayDatabase>(back);
         ASSERT_NE(db, nullptr);
         EXPECT_EQ(db->associations().entries(), 2u);
         EXPECT_EQ(db->trayFor(4), 6);
         EXPECT_EQ(db->findByTray(3), nullptr) << "the value attribute is no association";
         db->assign(4, 1, 1);
         EXPECT_EQ(db->associations().entries(), 2u);
       }},
      {"a database child referring back to the database", database(1, reference(1)),
       [](const std::unique_ptr<MPersistentObject>& back, const ReportLog& reports) {
         auto* db = as<GFormToTrayDatabase>(back);
         ASSERT_NE(db, nullptr);
         EXPECT_TRUE(reportedBadReference(reports));
         EXPECT_EQ(db->associations().children().pointee(0), nullptr);
         EXPECT_EQ(db->hasNonDefault(), 0);
       }},
      {"a database count beyond its children", database(0x7FFFFFFF, ""),
       [](const std::unique_ptr<MPersistentObject>& back, const ReportLog&) {
         auto* db = as<GFormToTrayDatabase>(back);
         ASSERT_NE(db, nullptr);
         EXPECT_EQ(db->associations().entries(), 0u);
       }},
      {"a capability count longer than the file",
       fileHead(1003) + rootLevel(0, 1) + le32(1) + le32(1000) + bytes({0xFF, 0xFF}),
       [](const std::unique_ptr<MPersistentObject>& back, const ReportLog&) {
         auto* caps = as<GCapabilities>(back);
         ASSERT_NE(caps, nullptr);
         EXPECT_EQ(caps->size(), 0u);
       }},
      {"a capability count of 2^32 - 1", fileHead(1003) + rootLevel(0, 1) + le32(1) + le32(0xFFFFFFFFu) + le32(7),
       [](const std::unique_ptr<MPersistentObject>& back, const ReportLog&) {
         auto* caps = as<GCapabilities>(back);
         ASSERT_NE(caps, nullptr);
         EXPECT_EQ(caps->size(), 0u);
       }},
      {"a string count longer than the file",
       fileHead(1051) + rootLevel(0, 1) + le32(1) + le32(2) + le32(1) + le16(1) + le32(0) + le32(0) +
           le32(1000) + le32(1) + "a" + le32(0) + le32(500) + "b",
       [](const std::unique_ptr<MPersistentObject>& back, const ReportLog&) {
         auto* info = as<GPMDVersionInfo>(back);
         ASSERT_NE(info, nullptr);
         ASSERT_EQ(info->strings().entries(), 2u) << "those before the first that could not be read";
         EXPECT_EQ(*info->strings().at(0), "a");
         EXPECT_EQ(info->strings().at(1)->length(), 0u);
         EXPECT_EQ(info->versionA(), 1u);
       }},
      {"a container child that is no stage", containerWith(childrenWithAStranger()),
       [](const std::unique_ptr<MPersistentObject>& back, const ReportLog&) {
         auto* root = as<GPeripheralComposite>(back);
         ASSERT_NE(root, nullptr);
         ASSERT_EQ(root->entries(), 1u) << "only the stage is kept";
         GPeripheral* stage = root->childAt(0);
         ASSERT_NE(stage, nullptr);
         EXPECT_EQ(stage->id(), 6u);
         ASSERT_EQ(stage->dependentCount(), 1u);
         EXPECT_EQ(stage->dependentAt(0), root);
         EXPECT_EQ(root->findById(5), nullptr);
         root->process(GCommandPtr(new GDocumentStart));
         EXPECT_EQ(stage->jobState(), 1);
       }},
      {"a container child referring back to the container",
       containerWith(le16(752) + rootLevel(0, 9) + le32(1) + le32(2) + reference(1) + nilRecord()),
       [](const std::unique_ptr<MPersistentObject>& back, const ReportLog& reports) {
         auto* root = as<GPeripheralComposite>(back);
         ASSERT_NE(root, nullptr);
         EXPECT_TRUE(reportedBadReference(reports));
         EXPECT_EQ(root->entries(), 0u);
       }},
      {"a proxy stage referring back to the proxy", proxyWithStage(reference(1)),
       [](const std::unique_ptr<MPersistentObject>& back, const ReportLog& reports) {
         auto* proxy = as<GPeripheralProxy>(back);
         ASSERT_NE(proxy, nullptr);
         EXPECT_TRUE(reportedBadReference(reports));
         EXPECT_FALSE(proxy->isLoaded());
       }},
      {"a proxy stage that is no stage", proxyWithStage(valueObject(4, 30)),
       [](const std::unique_ptr<MPersistentObject>& back, const ReportLog&) {
         auto* proxy = as<GPeripheralProxy>(back);
         ASSERT_NE(proxy, nullptr);
         EXPECT_FALSE(proxy->isLoaded());
       }},
  };
  for (const Hostile& c : cases) {
    SCOPED_TRACE(c.what);
    ReportLog reports;
    std::unique_ptr<MPersistentObject> back = restoredObject(c.bytes);
    c.check(back, reports);
  }
}

// ---- media, trays and paper-handling devices ------------------------------------

// An empty attribute composite as a stored object.
std::string emptySource(uint32_t serial) {
  return le16(757) + rootLevel(0, serial) + attributeLevel() + le32(1) + le32(0);
}

// A display string as a stored object, with no texts.
std::string displayObject(uint32_t serial) {
  return le16(786) + rootLevel(0, serial) + le32(1) + le32(0) + le32(0) + le16(0);
}

// A device named "PD", selecting 7, up to its count (read table: 1 the
// device).
std::string deviceWith(uint32_t count, const std::string& entries) {
  return fileHead(1010) + rootLevel(0, 1) + attributeLevel() + le32(2) + le32(2) + "PD" + le32(0) + le32(1) +
         le32(1) + le16(7) + le32(count) + entries;
}

// A tray "T" holding media by the flag, then the record given (read table:
// 1 the tray).
std::string trayWith(int32_t flag, const std::string& rest) {
  return fileHead(1001) + rootLevel(0, 1) + attributeLevel() + le32(2) + le32(1) + "T" + le16(1) + le32(0) +
         le32(0) + le32(50) + le32(5) + le32(static_cast<uint32_t>(flag)) + rest;
}

std::string poolWithATray() {
  GMediaPool pool(77);
  pool.insert(new GMedia("A4", GPoint(4960, 7016), GPoint(4760, 6816), GPoint(100, 100), 0, 26, 600, 600));
  // Past insert, as a stored file may hold them: a tray and a nil entry.
  pool.children().insertAt(0, GCountedPtr(new GTray("stranger", 1)));
  pool.children().insertAt(1, GCountedPtr());
  return storedBytes(&pool);
}

std::string trayWithMediaCutShort() {
  GTray tray("Upper", 1, 0, 0, 250, 10,
             new GMedia("A4", GPoint(4960, 7016), GPoint(4760, 6816), GPoint(100, 100), 0, 26, 600, 600));
  const std::string whole = storedBytes(&tray);
  return whole.substr(0, whole.size() - 40);
}

std::string deviceCutShort() {
  GPaperHandlingDevice device("PD", 0, 1, 1, 0, 0);
  device.addSource(1, new GAttributeComposite(1));
  auto* second = new GAttributeComposite(2);
  second->insert(new GTray("T", 1));
  device.addSource(2, second);
  const std::string whole = storedBytes(&device);
  return whole.substr(0, whole.size() - 50);
}

TEST(HostilePaperRecords, RestoreToAFailureOrADroppedItem) {
  const Hostile cases[] = {
      {"a device count above its entries", deviceWith(3, le16(4) + emptySource(2)),
       [](const std::unique_ptr<MPersistentObject>& back, const ReportLog&) {
         auto* device = as<GPaperHandlingDevice>(back);
         ASSERT_NE(device, nullptr);
         EXPECT_EQ(device->sourceCount(), 1u);
         EXPECT_EQ(device->hasSource(4), 1);
         EXPECT_EQ(device->flag1(), 0) << "what follows the entries is not read";
       }},
      {"a nil source",
       deviceWith(2, le16(1) + nilRecord() + le16(2) + emptySource(2)) + le32(5) + le32(6) + displayObject(3),
       [](const std::unique_ptr<MPersistentObject>& back, const ReportLog&) {
         auto* device = as<GPaperHandlingDevice>(back);
         ASSERT_NE(device, nullptr);
         EXPECT_EQ(device->hasSource(1), 0);
         EXPECT_EQ(device->sourceCount(), 1u);
         EXPECT_EQ(device->flag1(), 5) << "the entries after it in their places";
         EXPECT_EQ(device->flag2(), 6);
         // Stored again, the count is that of the entries written.
         const std::string again = storedBytes(device);
         EXPECT_EQ(le32(Bytes(again.begin(), again.end()), 4 + 2 + 12 + 8 + 4 + 6 + 12 + 2), 1);
         std::unique_ptr<MPersistentObject> twice = restoredObject(again);
         ASSERT_NE(twice, nullptr);
         EXPECT_TRUE(twice->matches(device));
         EXPECT_EQ(as<GPaperHandlingDevice>(twice)->flag2(), 6);
       }},
      {"a source that is no attribute composite",
       deviceWith(2, le16(1) + valueObject(3, 2) + le16(2) + emptySource(3)) + le32(5) + le32(6) + displayObject(4),
       [](const std::unique_ptr<MPersistentObject>& back, const ReportLog&) {
         auto* device = as<GPaperHandlingDevice>(back);
         ASSERT_NE(device, nullptr);
         EXPECT_EQ(device->hasSource(1), 0);
         EXPECT_EQ(device->hasSource(2), 1);
         EXPECT_EQ(device->flag2(), 6);
       }},
      {"a source referring back to the device", deviceWith(1, le16(1) + reference(1)) + le32(5) + le32(6),
       [](const std::unique_ptr<MPersistentObject>& back, const ReportLog&) {
         auto* device = as<GPaperHandlingDevice>(back);
         ASSERT_NE(device, nullptr);
         EXPECT_EQ(device->sourceCount(), 0u);
       }},
      {"a source whose child refers back to the device",
       deviceWith(1, le16(1) + le16(757) + rootLevel(0, 2) + attributeLevel() + le32(1) + le32(1) + reference(1)),
       [](const std::unique_ptr<MPersistentObject>& back, const ReportLog& reports) {
         auto* device = as<GPaperHandlingDevice>(back);
         ASSERT_NE(device, nullptr);
         EXPECT_TRUE(reportedBadReference(reports));
         ASSERT_NE(device->findSource(1), nullptr);
         EXPECT_EQ(device->findSource(1)->children().pointee(0), nullptr);
       }},
      {"a device cut short", deviceCutShort(),
       [](const std::unique_ptr<MPersistentObject>& back, const ReportLog&) {
         auto* device = as<GPaperHandlingDevice>(back);
         ASSERT_NE(device, nullptr);
         EXPECT_EQ(device->hasSource(1), 1);
         EXPECT_EQ(device->name(), "PD");
       }},
      {"media flag 1, then a bin", trayWith(1, le16(1009) + rootLevel(0, 2) + attributeLevel() + le32(2) + le32(0) +
                                                  le16(0) + le32(0) + le32(0) + le32(0) + le32(0) + le32(0) +
                                                  le32(0) + displayObject(3) + displayObject(4)),
       [](const std::unique_ptr<MPersistentObject>& back, const ReportLog&) {
         auto* tray = as<GTray>(back);
         ASSERT_NE(tray, nullptr);
         EXPECT_EQ(tray->media(), nullptr);
         EXPECT_EQ(tray->level(), 5);
       }},
      {"media flag 1, then a reference to the tray", trayWith(1, reference(1) + displayObject(2)),
       [](const std::unique_ptr<MPersistentObject>& back, const ReportLog& reports) {
         auto* tray = as<GTray>(back);
         ASSERT_NE(tray, nullptr);
         EXPECT_TRUE(reportedBadReference(reports));
         EXPECT_EQ(tray->media(), nullptr);
       }},
      {"media flag 1 and nothing after it", trayWith(1, ""),
       [](const std::unique_ptr<MPersistentObject>& back, const ReportLog&) {
         auto* tray = as<GTray>(back);
         ASSERT_NE(tray, nullptr);
         EXPECT_EQ(tray->media(), nullptr);
         EXPECT_EQ(tray->capacity(), 50);
       }},
      {"a tray cut short in its media", trayWithMediaCutShort(),
       [](const std::unique_ptr<MPersistentObject>& back, const ReportLog&) {
         auto* tray = as<GTray>(back);
         ASSERT_NE(tray, nullptr);
         EXPECT_EQ(tray->name(), "Upper");
         EXPECT_EQ(tray->level(), 10);
       }},
      {"a tray inside a pool", poolWithATray(),
       [](const std::unique_ptr<MPersistentObject>& back, const ReportLog&) {
         auto* pool = as<GMediaPool>(back);
         ASSERT_NE(pool, nullptr);
         EXPECT_EQ(pool->entries(), 3u) << "held as stored";
         std::unique_ptr<GMediaPoolIterator> it(pool->select(1, 1, GPoint(-32768, -32768), GPoint(32767, 32767)));
         EXPECT_EQ(it->advance(), 0) << "the tray (orientation 0 and 1 dpi by its bytes) is no entry";
         ASSERT_NE(pool->findByMediaId(26, 0, 600), nullptr);
         EXPECT_EQ(pool->findByMediaId(26, 0, 600)->name(), "A4");
       }},
  };
  for (const Hostile& c : cases) {
    SCOPED_TRACE(c.what);
    ReportLog reports;
    std::unique_ptr<MPersistentObject> back = restoredObject(c.bytes);
    c.check(back, reports);
  }
}

// The virtual streams cannot say how much they still hold: a capability
// count beyond the data fails the read there as well, in every form.
template <class Out, class In, class... Args>
void capabilityCountBeyondTheStream(Args... args) {
  std::stringstream buffer;
  {
    Out out(buffer, args...);
    out.putChar(':');
    out.put(static_cast<uint16_t>(1003));
    out.putChar('{');
    out.putULong(1);   // root level: version, id, serial
    out.putULong(0);
    out.putULong(1);
    out.putULong(1);   // version
    out.put(static_cast<uint32_t>(0xFFFFFFF0u));  // the bit count, an int
    out.put(static_cast<unsigned char>(0xFF));
  }
  In in(buffer);
  GCapabilities caps(0, 5, 4);
  in >> static_cast<RWCollectable&>(caps);
  EXPECT_FALSE(in.good());
  EXPECT_EQ(caps.size(), 5u);
  EXPECT_TRUE(caps.contains(4));
}

TEST(HostileDeviceRecords, ACapabilityCountBeyondAStreamKeepsTheBits) {
  {
    SCOPED_TRACE("portable");
    capabilityCountBeyondTheStream<RWpostream, RWpistream>();
  }
  {
    SCOPED_TRACE("binary");
    capabilityCountBeyondTheStream<RWbostream, RWbistream>();
  }
  {
    SCOPED_TRACE("big-endian");
    capabilityCountBeyondTheStream<RWeostream, RWeistream>(RWeostream::BigEndian);
  }
}

}  // namespace
