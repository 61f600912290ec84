// Trays and bins: fill levels in sheets and in percent, a tray's own media
// through copies and takeMedia, matching, the stored forms of earlier and
// later versions, and what a stage is sent.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "devfix.h"
#include "device/tray.h"
#include "testkit/core/stage.h"

namespace {

GMedia* a4(int16_t mediaId = 26) {
  return new GMedia("A4", GPoint(4960, 7016), GPoint(4760, 6816), GPoint(100, 100), 0, mediaId, 600, 600);
}

TEST(Tray, ANewTrayHasNoCapacityLevelOrMedia) {
  GTray tray;
  EXPECT_EQ(tray.capacity(), -1);
  EXPECT_EQ(tray.level(), -1);
  EXPECT_EQ(tray.media(), nullptr);
  EXPECT_EQ(tray.id(), 0u);
  GTray named("Tray 2", 2, 5);
  EXPECT_EQ(named.name(), "Tray 2");
  EXPECT_EQ(named.capacity(), -1);
  EXPECT_EQ(named.extra1(), 0);
}

TEST(TrayAndBin, SetALevelWithinTheCapacityInUnitsOrPercent) {
  const struct {
    int32_t capacity;
    int32_t value;
    int inPercent;
    int answer;
    int32_t level;
  } cases[] = {
      {-1, 5, 0, 0, -1},        {-1, -1, 0, 0, -1},     {200, 200, 0, 0, -1},     {200, 199, 0, 1, 199},
      {200, 101, 1, 0, -1},     {200, 0, 1, 1, 0},      {500, 50, 1, 1, 250},     {500, 100, 1, 1, 500},
      {500, 1, 1, 1, 5},        {-1, 50, 1, 0, -1},     {0, 50, 1, 0, -1},        {200, -1, 1, 0, -1},
      {2000000000, 50, 1, 1, 1000000000},               {INT32_MAX, 100, 1, 1, INT32_MAX},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.capacity << " " << c.value << (c.inPercent ? "%" : ""));
    GTray tray("t", 1);
    tray.setCapacity(c.capacity);
    EXPECT_EQ(tray.setLevel(c.value, c.inPercent), c.answer);
    EXPECT_EQ(tray.level(), c.level);
    GBin bin("b", 1);
    bin.setCapacity(c.capacity);
    EXPECT_EQ(bin.setLevel(c.value, c.inPercent), c.answer);
    EXPECT_EQ(bin.level(), c.level);
  }
}

TEST(Tray, ACopyOwnsItsOwnMedia) {
  auto first = std::make_unique<GTray>("Tray 1", 1, 0, 0, 250, 100, a4(), 3);
  auto copy = std::make_unique<GTray>(*first);
  ASSERT_NE(copy->media(), nullptr);
  EXPECT_NE(copy->media(), first->media());
  EXPECT_TRUE(copy->matches(first.get()));
  copy.reset();
  EXPECT_EQ(first->media()->mediaId(), 26) << "still whole (the sanitizer build sees it)";

  GTray assigned;
  assigned.setMedia(a4(9));
  assigned = *first;
  EXPECT_NE(assigned.media(), first->media());
  EXPECT_EQ(assigned.media()->mediaId(), 26);
  std::unique_ptr<GTray> viaCopy(first->copy());
  EXPECT_NE(viaCopy->media(), first->media());
}

TEST(Tray, GivesItsMediaAwayOnce) {
  GTray tray("Tray 1", 1, 0, 0, 250, 100, a4());
  std::unique_ptr<GMedia> taken(tray.takeMedia());
  ASSERT_NE(taken, nullptr);
  EXPECT_EQ(taken->mediaId(), 26);
  EXPECT_EQ(tray.takeMedia(), nullptr);
  EXPECT_EQ(tray.media(), nullptr);
}

TEST(TrayAndBin, MatchOnlyWithTheSameMediaAndDisplayString) {
  GTray withMedia("T", 1, 0, 0, 250, 100, a4()), without("T", 1, 0, 0, 250, 100, nullptr);
  EXPECT_FALSE(withMedia.matches(&without));
  EXPECT_FALSE(without.matches(&withMedia));
  GTray otherMedia("T", 1, 0, 0, 250, 100, a4(27));
  EXPECT_FALSE(withMedia.matches(&otherMedia));
  GTray shown(7, "T", 1, 0, 0, 250, 100, nullptr, "Tray", "T", 0);
  EXPECT_FALSE(shown.matches(&without)) << "display strings differ";
  EXPECT_EQ(shown.displayString().stringId(), 7);

  GBin a(3, "Top", 1, 0, 0, 250, -1, 1, 4, "Face down", nullptr, 2), b(a);
  EXPECT_TRUE(a.matches(&b));
  b.setDeliveryKind(0);
  EXPECT_FALSE(a.matches(&b));
  b = a;
  b.setExtra3(5);
  EXPECT_FALSE(a.matches(&b));
  b = a;
  b.setName("Bottom");
  EXPECT_FALSE(a.matches(&b));
}

TEST(TrayAndBin, WhatAStageIsSent) {
  RecordingPeripheral stage("stage");
  stage.answer("onTray", 4);
  GTray tray("T", 1);
  EXPECT_EQ(tray.accept(stage), 4);
  GBin bin("B", 1);
  EXPECT_EQ(bin.accept(stage), 1);
  EXPECT_EQ(stage.handlers(), (std::vector<std::string>{"onTray"})) << "the bin calls nothing";
}

// ---- stored forms by hand -------------------------------------------------------

// A display string stored as an object: version, second text, text, id.
std::string displayObject(uint32_t serial, const std::string& text, uint16_t stringId) {
  return le16(786) + rootLevel(0, serial) + le32(1) + le32(0) + le32(static_cast<uint32_t>(text.size())) + text +
         le16(stringId);
}

// A tray's level up to its media flag: name "T", number 4, extras 1 and 2,
// capacity 300, level 30.
std::string trayFields(uint32_t version) {
  return le32(version) + le32(1) + "T" + le16(4) + le32(1) + le32(2) + le32(300) + le32(30);
}

std::string trayHead() { return fileHead(1001) + rootLevel(8, 1) + attributeLevel(); }

class TrayStore : public StoreTest {
 protected:
  // The tray restored from the bytes into one that holds media and a
  // display string.
  std::unique_ptr<GTray> restoredInto(const std::string& stored) {
    putBytes(stored);
    auto tray = std::make_unique<GTray>(5, "Old", 9, 0, 0, 10, 1, a4(), "Old text", nullptr, 0);
    RWFile f(path().c_str(), "rb");
    f >> static_cast<RWCollectable&>(*tray);
    return tray;
  }
};

TEST_F(TrayStore, TheFormWrittenOutByHand) {
  MPersistentObject::presetSerialCounter(50);
  GTray tray(6, "Upper", 2, 7, -8, 500, 250, nullptr, "Upper tray", "U", 11);  // display string 51
  const std::string expected = fileHead(1001) + rootLevel(11, 50) + attributeLevel() + le32(2) + le32(5) + "Upper" +
                               le16(2) + le32(7) + le32(static_cast<uint32_t>(-8)) + le32(500) + le32(250) + le32(0) +
                               le16(786) + rootLevel(0, 51) + le32(1) + le32(1) + "U" + le32(10) + "Upper tray" +
                               le16(6);
  EXPECT_EQ(storeFile(&tray), expected);
  EXPECT_EQ(tray.binaryStoreSize(), expected.size() - 6);

  GBin bin(3, "Face down", 1, 0, 0, 250, 10, 1, 4, "Face down", nullptr, 12);  // 52, its display string 53
  const std::string binExpected = fileHead(1009) + rootLevel(12, 52) + attributeLevel() + le32(2) + le32(9) +
                                  "Face down" + le16(1) + le32(0) + le32(0) + le32(250) + le32(10) + le32(1) +
                                  le32(4) + displayObject(53, "Face down", 3);
  EXPECT_EQ(storeFile(&bin), binExpected);
  EXPECT_EQ(bin.binaryStoreSize(), binExpected.size() - 6);
}

TEST_F(TrayStore, EarlierAndLaterVersionsRestoreWhatTheyHold) {
  {
    SCOPED_TRACE("version 1: no display string");
    std::unique_ptr<GTray> tray = restoredInto(trayHead() + trayFields(1) + le32(0));
    EXPECT_EQ(tray->name(), "T");
    EXPECT_EQ(tray->level(), 30);
    EXPECT_EQ(tray->media(), nullptr) << "the media held before goes";
    EXPECT_EQ(tray->displayString().text(), "Old text");
  }
  {
    SCOPED_TRACE("version 3: nothing after the version");
    std::unique_ptr<GTray> tray = restoredInto(trayHead() + trayFields(3) + le32(0) + displayObject(2, "New", 1));
    EXPECT_EQ(tray->name(), "Old");
    EXPECT_EQ(tray->number(), 9);
    ASSERT_NE(tray->media(), nullptr);
    EXPECT_EQ(tray->displayString().text(), "Old text");
  }
  {
    SCOPED_TRACE("media flag 2: no media read");
    std::unique_ptr<GTray> tray = restoredInto(trayHead() + trayFields(2) + le32(2) + displayObject(2, "New", 1));
    EXPECT_EQ(tray->media(), nullptr);
    EXPECT_EQ(tray->displayString().text(), "New");
    EXPECT_EQ(tray->displayString().stringId(), 1);
  }
  {
    SCOPED_TRACE("version 2 with media");
    std::unique_ptr<GMedia> media(a4(31));
    const std::string mediaBytes = storedBytes(media.get()).substr(4);
    std::unique_ptr<GTray> tray =
        restoredInto(trayHead() + trayFields(2) + le32(1) + mediaBytes + displayObject(30, "New", 1));
    ASSERT_NE(tray->media(), nullptr);
    EXPECT_TRUE(tray->media()->matches(media.get()));
    EXPECT_EQ(tray->displayString().text(), "New");
  }
}

}  // namespace
