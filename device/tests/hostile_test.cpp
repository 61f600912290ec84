// Stored forms of the device records that no store of theirs writes: a
// list child of another class, an association member missing, of another
// class or shared, counts beyond the data. Each restores to a clear failure
// or a dropped item, and nothing is freed twice or leaked.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "devfix.h"
#include "device/capabil.h"
#include "device/formtray.h"
#include "device/pmdinfo.h"
#include "device/resmap.h"
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
