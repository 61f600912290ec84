// Custom media sizes: unit conversions with halves rounded up and the
// product wrapping in 32 bits, matching across units, sizes in dots, the
// dots constructor, and media entries built from the settings.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/state.h"
#include "core/valattr.h"
#include "devfix.h"
#include "device/custsize.h"

namespace {

TEST(CustomMediaSize, ConvertsBetweenUnitsAndLeavesUnknownUnitsAlone) {
  const struct {
    int32_t from, to;
    uint32_t in, out;
  } cases[] = {
      {0, 1, 850, 216},     {1, 0, 216, 850},       {2, 3, 1, 3},          {3, 0, 2540, 10},
      {3, 2, 127, 50},      {3, 2, 1, 0},           {0, 2, 850, 85000},    {2, 0, 149, 1},
      {2, 0, 150, 2},       {1, 3, 216, 216000},    {3, 1, 499, 0},        {3, 1, 500, 1},
      {0, 3, 338186, 85899244},                     {0, 3, 338187, 152},   // 4294974900 wraps to 7604
      {1, 1, 7, 7},         {4, 0, 7, 7},           {0, 4, 7, 7},          {-1, 2, 7, 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.in << " from " << c.from << " to " << c.to);
    const GMediaSize out = convertMediaUnits(c.from, c.to, GMediaSize{c.in, c.in});
    EXPECT_EQ(out.width, c.out);
    EXPECT_EQ(out.height, c.out);
  }
}

TEST(CustomMediaSize, SetUnitsKeepsAnyCode) {
  GCustomMediaSize size(16385, "Card", kHundredthsOfAnInch, 850, 1100);
  size.setUnits(kMillimetres);
  EXPECT_EQ(size.size(), (GMediaSize{216, 279}));
  size.setUnits(kMillimetres);
  EXPECT_EQ(size.size(), (GMediaSize{216, 279}));
  size.setUnits(4);
  EXPECT_EQ(size.units(), 4);
  EXPECT_EQ(size.size(), (GMediaSize{216, 279}));
  EXPECT_EQ(size.sizeIn(4), (GMediaSize{216, 279}));
  EXPECT_EQ(size.sizeIn(kMicrometres), (GMediaSize{216, 279})) << "from a code outside 0..3";
}

TEST(CustomMediaSize, MatchesTheSameSizeInOtherUnits) {
  GCustomMediaSize inches(16385, "Letter-ish", kHundredthsOfAnInch, 850, 1100, 276);
  GCustomMediaSize microns(16385, "Letter-ish", kMicrometres, 215900, 279400, 276);
  EXPECT_TRUE(inches.matches(&microns));
  EXPECT_TRUE(microns.matches(&inches));
  GCustomMediaSize renamed(microns);
  renamed.setName("Other");
  EXPECT_FALSE(renamed.matches(&microns));
  GCustomMediaSize otherId(microns);
  otherId.setMediaId(16386);
  EXPECT_FALSE(otherId.matches(&microns));
  GCustomMediaSize bigger(inches);
  bigger.setSize(851, 1100);
  EXPECT_FALSE(bigger.matches(&inches));
}

TEST(CustomMediaSize, ConvertsToAndFromDotsAtAResolution) {
  GCustomMediaSize letter(1, "L", kHundredthsOfAnInch, 850, 1100);
  EXPECT_EQ(letter.sizeInDots(600, 600), (GMediaSize{5100, 6600}));
  EXPECT_EQ(letter.sizeInDots(300, 600), (GMediaSize{2550, 6600}));

  GCustomMediaSize fromDots(1, "L", 600, 600, kMillimetres, 5100, 6600);
  EXPECT_EQ(fromDots.units(), kMillimetres);
  EXPECT_EQ(fromDots.size(), (GMediaSize{216, 279}));

  GCustomMediaSize noResolution(1, "L", 0, 600, kHundredthsOfAnInch, 5100, 6600);
  EXPECT_EQ(noResolution.size(), (GMediaSize{0, 1100})) << "0 on the axis without a resolution";
}

// Settings with a margin group of the given margins (left, top, right,
// bottom) and an orientation.
std::unique_ptr<GAttributeComposite> marginSettings(int16_t left, int16_t top, int16_t right, int16_t bottom) {
  auto settings = std::make_unique<GAttributeComposite>(363);
  auto* group = new GAttributeComposite(AttrId::MarginGroup);
  group->insert(new GValueAttribute(left, AttrId::LeftMargin));
  group->insert(new GValueAttribute(top, AttrId::TopMargin));
  group->insert(new GValueAttribute(right, AttrId::RightMargin));
  group->insert(new GValueAttribute(bottom, AttrId::BottomMargin));
  settings->insert(group);
  return settings;
}

TEST(CustomMediaSize, MakesMediaWithItsMarginsAndOrientation) {
  GCustomMediaSize letter(16390, "Mine", kHundredthsOfAnInch, 850, 1100);
  const auto margins = marginSettings(2500, 5000, 2500, 5000);  // 1/4 and 1/2 inch

  std::unique_ptr<GMedia> upright = makeMedia(letter, margins.get(), 600, 300, 0);
  ASSERT_NE(upright, nullptr);
  EXPECT_EQ(upright->id(), 190u);
  EXPECT_EQ(upright->name(), "Mine");
  EXPECT_EQ(upright->mediaId(), 16390);
  EXPECT_EQ(upright->size(), GPoint(5100, 3300));
  EXPECT_EQ(upright->printableOrigin(), GPoint(150, 150));
  EXPECT_EQ(upright->printableExtent(), GPoint(4800, 3000));
  EXPECT_EQ(upright->xResolution(), 600);
  EXPECT_EQ(upright->yResolution(), 300);
  EXPECT_EQ(upright->code(), 0);

  std::unique_ptr<GMedia> across = makeMedia(letter, margins.get(), 600, 600, 90);
  ASSERT_NE(across, nullptr);
  EXPECT_EQ(across->size(), GPoint(6600, 5100)) << "the width is the height in dots";
  EXPECT_EQ(across->orientation(), 90);
  EXPECT_EQ(across->printableExtent(), GPoint(6300, 4500));

  GCustomMediaSize card(16391, "Card", kHundredthsOfAnInch, 200, 300);
  const auto wide = marginSettings(12000, 0, 12000, 32000);  // 2.4 in across a 2 in card, 3.2 in down 3 in
  std::unique_ptr<GMedia> covered = makeMedia(card, wide.get(), 600, 600, 0);
  ASSERT_NE(covered, nullptr);
  EXPECT_EQ(covered->printableExtent(), GPoint(0, 0));

  std::unique_ptr<GMedia> noMargins = makeMedia(letter, nullptr, 600, 600, 270);
  ASSERT_NE(noMargins, nullptr);
  EXPECT_EQ(noMargins->printableOrigin(), GPoint(0, 0));
  EXPECT_EQ(noMargins->printableExtent(), GPoint(6600, 5100));

  std::unique_ptr<GMedia> noResolution = makeMedia(letter, margins.get(), 0, 600, 0);
  ASSERT_NE(noResolution, nullptr);
  EXPECT_EQ(noResolution->size(), GPoint(0, 6600));
}

TEST(CustomMediaSize, MakeMediaFromTheSettings) {
  GCustomMediaSize letter(16390, "Mine", kHundredthsOfAnInch, 850, 1100);
  const auto margins = marginSettings(0, 0, 0, 0);
  GAttributeComposite job(364);
  auto* resolution = new GAttributeComposite(AttrId::ResolutionGroup);
  resolution->insert(new GValueAttribute(300, AttrId::Resolution));
  job.insert(resolution);
  job.insert(new GValueAttribute(90, AttrId::OrientationAngle));
  EXPECT_EQ(makeMediaForJob(letter, &job, margins.get()), nullptr) << "no vertical resolution";
  resolution->insert(new GValueAttribute(600, AttrId::VerticalResolution));
  std::unique_ptr<GMedia> forJob = makeMediaForJob(letter, &job, margins.get());
  ASSERT_NE(forJob, nullptr);
  EXPECT_EQ(forJob->xResolution(), 300);
  EXPECT_EQ(forJob->yResolution(), 600);
  EXPECT_EQ(forJob->orientation(), 90);
  EXPECT_EQ(forJob->size(), GPoint(6600, 2550));

  std::unique_ptr<GMedia> fromSettings = makeMediaFromSettings(letter, &job, margins.get(), 600, 600);
  ASSERT_NE(fromSettings, nullptr);
  EXPECT_EQ(fromSettings->orientation(), 90);
  GAttributeComposite none(1);
  std::unique_ptr<GMedia> upright = makeMediaFromSettings(letter, &none, margins.get(), 600, 600);
  ASSERT_NE(upright, nullptr);
  EXPECT_EQ(upright->orientation(), 0) << "no orientation counts 0";
}

class CustomSizeStore : public StoreTest {};

TEST_F(CustomSizeStore, TheFormWrittenOutByHand) {
  MPersistentObject::presetSerialCounter(60);
  GCustomMediaSize size(16385, "Card", kMillimetres, 100, 150, 276);
  const std::string expected = fileHead(775) + rootLevel(276, 60) + attributeLevel() + le32(1) + le16(16385) +
                               le32(4) + "Card" + le32(1) + le32(100) + le32(150);
  EXPECT_EQ(storeFile(&size), expected);
  EXPECT_EQ(size.binaryStoreSize(), 20u + 22u + 4u);

  putBytes(fileHead(775) + rootLevel(276, 2) + attributeLevel() + le32(2) + le16(1) + le32(0));
  GCustomMediaSize kept(16386, "Kept", kMicrometres, 1, 2);
  {
    RWFile f(path().c_str(), "rb");
    f >> static_cast<RWCollectable&>(kept);
  }
  EXPECT_EQ(kept.mediaId(), 16386);
  EXPECT_EQ(kept.name(), "Kept");
  EXPECT_EQ(kept.size(), (GMediaSize{1, 2}));
}

}  // namespace
