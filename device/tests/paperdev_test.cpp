// Paper-handling devices: the source table's order and selection, the
// installed and enabled flags, sources shared with other holders, counts
// of entries, and the stored forms of version 1 and 2.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "devfix.h"
#include "device/paperdev.h"
#include "device/tray.h"

namespace {

// A source of n trays.
GAttributeComposite* source(int n, uint32_t id = 0) {
  auto* s = new GAttributeComposite(id);
  for (int i = 0; i < n; ++i) s->insert(new GTray("t", static_cast<int16_t>(i + 1)));
  return s;
}

std::vector<uint16_t> ids(const GPaperHandlingDevice& device) {
  std::vector<uint16_t> list;
  device.sourceIds(list);
  return list;
}

TEST(PaperHandlingDevice, TheTableOrderAndTheSelection) {
  GPaperHandlingDevice device("Envelope feeder", 0, 1, 1, 0, 0);
  device.addSource(17, source(1));
  device.addSource(1, source(2));
  device.addSource(33, source(3));
  EXPECT_EQ(ids(device), (std::vector<uint16_t>{17, 1, 33}));
  EXPECT_EQ(device.selectedSourceId(), 17);
  device.removeSource(17);
  EXPECT_EQ(device.selectedSourceId(), 1);
  EXPECT_EQ(device.sourceCount(), 2u);

  GPaperHandlingDevice other;
  other.addSource(2, source(1));
  other.addSource(1, source(1));
  EXPECT_EQ(ids(other), (std::vector<uint16_t>{1, 2}));
  EXPECT_EQ(other.selectedSourceId(), 2);
}

TEST(PaperHandlingDevice, ReAddingAnIdMovesItToTheEndOfItsBucket) {
  GPaperHandlingDevice device;
  device.addSource(1, source(1));
  device.addSource(17, source(1));
  device.addSource(33, source(1));
  device.addSource(2, source(1));
  GAttributeComposite* replacement = source(4);
  device.addSource(1, replacement);
  EXPECT_EQ(ids(device), (std::vector<uint16_t>{17, 33, 1, 2}));
  EXPECT_EQ(device.sourceCount(), 4u);
  EXPECT_EQ(device.findSource(1), replacement);
  EXPECT_EQ(device.selectedSourceId(), 1);

  device.addSource(1, replacement);  // the very source again
  EXPECT_EQ(device.findSource(1), replacement);
  EXPECT_EQ(device.findSource(1)->entries(), 4u);

  device.addSource(5, nullptr);
  EXPECT_EQ(device.hasSource(5), 0) << "no entry without a source";
  EXPECT_EQ(device.sourceCount(), 4u);
}

TEST(PaperHandlingDevice, OnlyAnInstalledDeviceCanBeDisabled) {
  GPaperHandlingDevice notInstalled("Duplexer", 1, 0, 0, 0, 0);
  EXPECT_EQ(notInstalled.isEnabled(), 1) << "a device not installed is enabled";
  EXPECT_EQ(notInstalled.setEnabled(0), 0);
  EXPECT_EQ(notInstalled.isEnabled(), 1);
  notInstalled.setInstalled(2);
  EXPECT_EQ(notInstalled.setEnabled(0), 0);
  notInstalled.setInstalled(1);
  EXPECT_EQ(notInstalled.isEnabled(), 1) << "stays after installing";
  EXPECT_EQ(notInstalled.setEnabled(0), 1);
  EXPECT_EQ(notInstalled.isEnabled(), 0);
  notInstalled.setInstalled(0);
  EXPECT_EQ(notInstalled.isEnabled(), 1);

  GPaperHandlingDevice device;
  EXPECT_EQ(device.setFlag1(4), 0);
  EXPECT_EQ(device.setFlag1(5), 4);
  EXPECT_EQ(device.setFlag2(-1), 0);
  EXPECT_EQ(device.flag2(), -1);
}

TEST(PaperHandlingDevice, SelectsOnlyAKnownSourceAndIteratesItsEntries) {
  GPaperHandlingDevice device;
  std::unique_ptr<GChildIterator> none(device.createIterator());
  EXPECT_EQ(none->advance(), 0);
  device.addSource(3, source(2));
  device.addSource(4, source(1));
  EXPECT_EQ(device.selectSource(9), 0);
  EXPECT_EQ(device.selectedSourceId(), 3);
  EXPECT_EQ(device.selectSource(4), 1);
  EXPECT_EQ(device.selectedSourceEntries(), 1u);
  std::unique_ptr<GChildIterator> trays(device.createIterator());
  ASSERT_EQ(trays->advance(), 1);
  EXPECT_EQ(static_cast<GTray*>(trays->current())->number(), 1);
  EXPECT_EQ(trays->advance(), 0);
  EXPECT_EQ(device.removeSource(9), nullptr);
}

TEST(PaperHandlingDevice, RemovingASharedSourceGivesACopy) {
  GAttributeComposite* shared = source(2, 8);
  GPaperHandlingDevice first, second;
  first.addSource(1, shared);
  second.addSource(1, shared);
  std::unique_ptr<GAttributeComposite> taken = first.removeSource(1);
  ASSERT_NE(taken, nullptr);
  EXPECT_NE(taken.get(), shared);
  EXPECT_EQ(taken->id(), 8u);
  EXPECT_EQ(second.findSource(1), shared);
  EXPECT_EQ(first.selectedSourceId(), 0) << "nothing left to select";

  std::unique_ptr<GAttributeComposite> last = second.removeSource(1);
  EXPECT_EQ(last.get(), shared) << "the last holder hands the object itself";
}

TEST(PaperHandlingDevice, SourceIdsReplacesTheList) {
  GPaperHandlingDevice device;
  device.addSource(6, source(0));
  std::vector<uint16_t> list{1, 2, 3};
  device.sourceIds(list);
  EXPECT_EQ(list, (std::vector<uint16_t>{6}));
}

TEST(PaperHandlingDevice, CountsTheFewestAndMostEntriesOfItsSources) {
  GPaperHandlingDevice device;
  EXPECT_EQ(device.minSourceEntries(), 0u);
  EXPECT_EQ(device.maxSourceEntries(), 0u);
  EXPECT_EQ(device.selectedSourceEntries(), 0u);
  device.addSource(1, source(0));
  device.addSource(2, source(3));
  device.addSource(3, source(2));
  EXPECT_EQ(device.minSourceEntries(), 2u);
  EXPECT_EQ(device.maxSourceEntries(), 3u);
  EXPECT_EQ(device.selectedSourceEntries(), 0u);

  GPaperHandlingDevice empties;
  empties.addSource(1, source(0));
  empties.addSource(2, source(0));
  EXPECT_EQ(empties.minSourceEntries(), 0u);
}

TEST(PaperHandlingDevice, MatchingLeavesTheSourcesOut) {
  GPaperHandlingDevice a("Tray 3", 0, 1, 1, 0, 0, 5), b("Tray 3", 0, 1, 1, 0, 0, 5);
  a.addSource(1, source(1));
  b.addSource(1, source(4));
  EXPECT_TRUE(a.matches(&b));
  b.addSource(2, source(1));
  EXPECT_FALSE(a.matches(&b)) << "not as many sources";
  GPaperHandlingDevice copy(b);
  EXPECT_TRUE(copy.matches(&b));
  EXPECT_EQ(copy.findSource(2), b.findSource(2)) << "the copy shares them";
  EXPECT_EQ(ids(copy), ids(b));
  copy.selectSource(2);
  EXPECT_FALSE(copy.matches(&b));
  GPaperHandlingDevice shown(3, "Tray 3", 0, 1, 1, 0, 0, "Tray 3", nullptr, 5);
  EXPECT_FALSE(shown.matches(&a));
}

// ---- stored forms ---------------------------------------------------------------

// An empty attribute composite as a stored object.
std::string emptySource(uint32_t serial) { return le16(757) + rootLevel(0, serial) + attributeLevel() + le32(1) + le32(0); }

std::string deviceHead(uint32_t version, uint32_t count) {
  return fileHead(1010) + rootLevel(0, 1) + attributeLevel() + le32(version) + le32(2) + "PD" + le32(0) + le32(1) +
         le32(0) + le16(7) + le32(count);
}

class PaperDeviceStore : public StoreTest {};

TEST_F(PaperDeviceStore, TheFormWrittenOutByHand) {
  MPersistentObject::presetSerialCounter(70);
  GPaperHandlingDevice device(9, "Feeder", 1, 1, 1, 3, 4, "Feeder", nullptr, 90);  // 70, display string 71
  GAttributeComposite* shared = source(0);                                          // 72
  device.addSource(18, shared);
  device.addSource(2, shared);
  const std::string expected = fileHead(1010) + rootLevel(90, 70) + attributeLevel() + le32(2) + le32(6) + "Feeder" +
                               le32(1) + le32(1) + le32(1) + le16(18) + le32(2) +
                               // bucket 2: 18, then 2, the second a reference to the first (read table:
                               // 1 the device, 2 the source)
                               le16(18) + emptySource(72) + le16(2) + reference(2) +
                               le32(3) + le32(4) + le16(786) + rootLevel(0, 71) + le32(1) + le32(0) + le32(6) +
                               "Feeder" + le16(9);
  EXPECT_EQ(storeFile(&device), expected);
  EXPECT_EQ(device.binaryStoreSize(), expected.size() - 6);

  std::unique_ptr<GPaperHandlingDevice> back(restoreFile<GPaperHandlingDevice>());
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(back->matches(&device));
  EXPECT_EQ(back->findSource(18), back->findSource(2)) << "shared as stored";
}

TEST_F(PaperDeviceStore, VersionOneFlagsFollowTheSources) {
  {
    SCOPED_TRACE("two sources");
    std::unique_ptr<MPersistentObject> back =
        restoredObject(deviceHead(1, 2) + le16(7) + emptySource(2) + le16(8) + emptySource(3));
    auto* device = dynamic_cast<GPaperHandlingDevice*>(back.get());
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->sourceCount(), 2u);
    EXPECT_EQ(device->flag1(), 1);
    EXPECT_EQ(device->flag2(), 1);
    EXPECT_EQ(device->selectedSourceId(), 7);
  }
  {
    SCOPED_TRACE("one source");
    std::unique_ptr<MPersistentObject> back = restoredObject(deviceHead(1, 1) + le16(9) + emptySource(2));
    auto* device = dynamic_cast<GPaperHandlingDevice*>(back.get());
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->flag1(), 1);
    EXPECT_EQ(device->flag2(), 0);
    EXPECT_EQ(device->selectedSourceId(), 7) << "kept as stored, with no source of that id";
    EXPECT_EQ(device->selectedSourceEntries(), 0u);
  }
}

TEST_F(PaperDeviceStore, ALaterVersionKeepsTheDevice) {
  putBytes(deviceHead(3, 0) + le32(0) + le32(0));
  GPaperHandlingDevice device("Mine", 0, 1, 1, 0, 0);
  device.addSource(4, source(1));
  {
    RWFile f(path().c_str(), "rb");
    f >> static_cast<RWCollectable&>(device);
  }
  EXPECT_EQ(device.name(), "Mine");
  EXPECT_EQ(device.hasSource(4), 1);
  EXPECT_EQ(device.selectedSourceId(), 4);
}

}  // namespace
