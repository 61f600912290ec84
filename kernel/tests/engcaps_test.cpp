// The engine's capability records: the page geometry of a media, the text
// capabilities of a printer configuration, and GDIINFO and DEVINFO as the
// engine receives them for the mode in which the printer language draws.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "device/capabil.h"
#include "device/config.h"
#include "device/drvinst.h"
#include "device/media.h"
#include "device/pericomp.h"
#include "host/engine/engine.h"
#include "journal/periph.h"
#include "kernel/engcaps.h"
#include "tools/printer/printer.h"

using namespace EngineCaps;

namespace {

// Letter at 600 dpi inside 100-dot margins, as the printer builder makes it.
GMedia letter600() {
  return GMedia("Letter", GPoint(5100, 6600), GPoint(4900, 6400), GPoint(100, 100), 0, 1, 600, 600);
}

// A printer configuration whose 112 holds sets 126, 127 and 128 with the
// capabilities given.
std::unique_ptr<GConfiguration> configWith(std::initializer_list<uint32_t> set126,
                                           std::initializer_list<uint32_t> set127,
                                           std::initializer_list<uint32_t> set128) {
  auto config = std::make_unique<GConfiguration>(0);
  auto* sets = new GConfiguration(112);
  const auto add = [sets](uint32_t id, std::initializer_list<uint32_t> capabilities) {
    auto* set = new GCapabilities(id);
    for (uint32_t capability : capabilities) set->set(capability);
    sets->insert(set);
  };
  add(126, set126);
  add(127, set127);
  add(128, set128);
  config->insert(sets);
  return config;
}

// The inputs of a mode-1 device at the resolutions, with the geometry of
// the media and no text capabilities.
GEngineCapsInputs inputsAt(const GMedia& media, int32_t x, int32_t y) {
  GEngineCapsInputs in;
  in.specVersion = 0x0401;
  in.xResolution = x;
  in.yResolution = y;
  GPageGeometry page;
  if (pageGeometry(&media, x, y, page)) in.geometry = page;
  in.textCaps = 0;
  return in;
}

std::u16string faceOf(const LOGFONTW& font) { return std::u16string(font.lfFaceName); }

class EngineCapsTest : public testing::Test {
 protected:
  void SetUp() override {
    eng::reset();
    palettesBefore_ = eng::live().palettes;
  }
  void TearDown() override {
    EXPECT_TRUE(eng::misuse().empty());
    EXPECT_EQ(livePalettes(), 0);
    eng::reset();
  }
  // The palettes made since the test began.
  long livePalettes() const { return eng::live().palettes - palettesBefore_; }

 private:
  long palettesBefore_ = 0;
};

// ---- page geometry -----------------------------------------------------------------

TEST_F(EngineCapsTest, PageGeometryTakesTheMediaAndSizesTheExtentInMillimetres) {
  // 4900 x 6400 dots: 4900 * 254 / 6000 = 207.43 and 6400 * 254 / 3000 =
  // 541.87 (the y resolution is 300 here), both truncated.
  GMedia media("Odd", GPoint(5100, 6600), GPoint(4900, 6400), GPoint(100, 120), 0, 1, 600, 300);
  GPageGeometry page;
  ASSERT_EQ(pageGeometry(&media, 600, 300, page), 1);
  EXPECT_EQ(page.sizeMm.cx, 207);
  EXPECT_EQ(page.sizeMm.cy, 541);
  EXPECT_EQ(page.extent.cx, 4900);
  EXPECT_EQ(page.extent.cy, 6400);
  EXPECT_EQ(page.physicalSize.cx, 5100);
  EXPECT_EQ(page.physicalSize.cy, 6600);
  EXPECT_EQ(page.physicalOffset.x, 100);
  EXPECT_EQ(page.physicalOffset.y, 120);

  // The largest extent a media holds does not overflow.
  GMedia large("Large", GPoint(32767, 32767), GPoint(32767, 32767), GPoint(0, 0), 0, 1, 1, 1);
  ASSERT_EQ(pageGeometry(&large, 1, 1, page), 1);
  EXPECT_EQ(page.sizeMm.cx, 832281);
}

TEST_F(EngineCapsTest, NoGeometryWithoutMediaOrAPositiveResolutionOrForANegativeExtent) {
  const GMedia media = letter600();
  const GMedia negative("Bad", GPoint(5100, 6600), GPoint(-1, 6400), GPoint(100, 100), 0, 1, 600, 600);
  struct Case {
    const char* name;
    const GMedia* media;
    int32_t x, y;
  } cases[] = {
      {"no media", nullptr, 600, 600},  {"x resolution 0", &media, 0, 600},
      {"y resolution 0", &media, 600, 0}, {"negative resolution", &media, -600, 600},
      {"negative extent", &negative, 600, 600},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GPageGeometry page;
    page.sizeMm = {7, 7};
    page.extent = {7, 7};
    page.physicalSize = {7, 7};
    page.physicalOffset = {7, 7};
    EXPECT_EQ(pageGeometry(c.media, c.x, c.y, page), 0);
    EXPECT_EQ(page.sizeMm.cx, 7);
    EXPECT_EQ(page.extent.cy, 7);
    EXPECT_EQ(page.physicalSize.cx, 7);
    EXPECT_EQ(page.physicalOffset.y, 7);

    // And GDIINFO is refused, untouched.
    GEngineCapsInputs in;
    in.xResolution = c.x;
    in.yResolution = c.y;
    in.textCaps = 0;
    if (pageGeometry(c.media, c.x, c.y, page)) in.geometry = page;
    GDIINFO info;
    std::memset(&info, 0xAB, sizeof info);
    EXPECT_EQ(fillGdiInfo(&info, sizeof info, in), 0);
    EXPECT_EQ(info.ulVersion, 0xABABABABu);
  }
}

// ---- text capabilities -------------------------------------------------------------

TEST_F(EngineCapsTest, TextCapsTakeEachCapabilityToItsBit) {
  struct Case {
    uint32_t capability;
    FLONG bit;
  } cases[] = {
      {14, 0x0001}, {16, 0x0002}, {15, 0x0004}, {4, 0x0008},  {5, 0x0010},  {6, 0x0020},  {7, 0x0040},
      {8, 0x0080},  {9, 0x0100},  {11, 0x0400}, {12, 0x0800}, {13, 0x1000}, {3, 0},       {10, 0},
      {0, 0},       {1, 0},       {2, 0},       {17, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.capability);
    FLONG caps = 0xFFFFFFFF;
    // In set 127 it counts unless the alternate flag is set; in 128 only
    // then; in 126 never.
    auto in127 = configWith({}, {c.capability}, {});
    ASSERT_EQ(textCaps(in127.get(), false, caps), 1);
    EXPECT_EQ(caps, c.bit);
    ASSERT_EQ(textCaps(in127.get(), true, caps), 1);
    EXPECT_EQ(caps, 0u);
    auto in128 = configWith({}, {}, {c.capability});
    ASSERT_EQ(textCaps(in128.get(), true, caps), 1);
    EXPECT_EQ(caps, c.bit);
    ASSERT_EQ(textCaps(in128.get(), false, caps), 1);
    EXPECT_EQ(caps, 0u);
    auto in126 = configWith({c.capability}, {}, {});
    ASSERT_EQ(textCaps(in126.get(), false, caps), 1);
    EXPECT_EQ(caps, c.capability == 3 ? 0x4000u : 0u);
  }
}

TEST_F(EngineCapsTest, TextCapsOfSet126AddToEitherSet) {
  auto config = configWith({3}, {4, 14, 13}, {5, 16});
  FLONG caps = 0;
  ASSERT_EQ(textCaps(config.get(), false, caps), 1);
  EXPECT_EQ(caps, 0x4000u | 0x0008 | 0x0001 | 0x1000);
  ASSERT_EQ(textCaps(config.get(), true, caps), 1);
  EXPECT_EQ(caps, 0x4000u | 0x0010 | 0x0002);
}

TEST_F(EngineCapsTest, TextCapsNeedTheCapabilitySets) {
  // No 112: nothing answered; a 112 without the three sets adds nothing.
  GConfiguration bare(0);
  FLONG caps = 0x55;
  EXPECT_EQ(textCaps(&bare, false, caps), 0);
  EXPECT_EQ(caps, 0x55u);
  EXPECT_EQ(textCaps(nullptr, false, caps), 0);

  GConfiguration empty(0);
  empty.insert(new GConfiguration(112));
  EXPECT_EQ(textCaps(&empty, true, caps), 1);
  EXPECT_EQ(caps, 0u);

  // The builder's printer carries 112 in its configuration, with the
  // sets, all empty.
  std::string error;
  std::unique_ptr<GAttributeComposite> built = buildPrinterTree(PrinterModel{}, error);
  ASSERT_TRUE(built) << error;
  const GPeripheralComposite* root = printerRoot(*built);
  ASSERT_TRUE(root);
  const auto* printer = dynamic_cast<const GPeripheral*>(root->findById(AttrId::Printer));
  ASSERT_TRUE(printer);
  caps = 0x55;
  EXPECT_EQ(textCaps(printer->config(), false, caps), 1);
  EXPECT_EQ(caps, 0u);

  // Without 112 GDIINFO is refused and left alone.
  const GMedia media = letter600();
  GEngineCapsInputs in = inputsAt(media, 600, 600);
  in.textCaps.reset();
  GDIINFO info;
  std::memset(&info, 0xCD, sizeof info);
  EXPECT_EQ(fillGdiInfo(&info, sizeof info, in), 0);
  EXPECT_EQ(info.flTextCaps, 0xCDCDCDCDu);
}

// ---- GDIINFO -----------------------------------------------------------------------

TEST_F(EngineCapsTest, GdiInfoAtTheResolutions) {
  const GMedia media = letter600();
  struct Case {
    int32_t x, y;
    ULONG aspectXY, denStyleStep, horzSize, vertSize;
  } cases[] = {
      // 4900 * 254 / 6000 = 207.4, 6400 * 254 / 6000 = 270.9.
      {600, 600, 848, 24, 207, 270},
      // 300 * 1.414 = 424.2; 300 / 25 = 12; 4900 * 254 / 3000 = 414.8.
      {300, 300, 424, 12, 414, 541},
      // 1200 * 1.414 = 1696.8; the y axis keeps its own resolution.
      {1200, 600, 1696, 48, 103, 270},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.x);
    GEngineCapsInputs in = inputsAt(media, c.x, c.y);
    in.textCaps = 0x4009;
    GDIINFO info;
    std::memset(&info, 0xEE, sizeof info);
    ASSERT_EQ(fillGdiInfo(&info, sizeof info, in), 1);
    EXPECT_EQ(info.ulVersion, 0x0401u);
    EXPECT_EQ(info.ulTechnology, 2u);
    EXPECT_EQ(info.ulHorzSize, c.horzSize);
    EXPECT_EQ(info.ulVertSize, c.vertSize);
    EXPECT_EQ(info.ulHorzRes, 4900u);
    EXPECT_EQ(info.ulVertRes, 6400u);
    EXPECT_EQ(info.ulLogPixelsX, ULONG(c.x));
    EXPECT_EQ(info.ulLogPixelsY, ULONG(c.y));
    EXPECT_EQ(info.ulAspectX, ULONG(c.x));
    EXPECT_EQ(info.ulAspectY, ULONG(c.y));
    EXPECT_EQ(info.ulAspectXY, c.aspectXY);
    EXPECT_EQ(info.xStyleStep, 1);
    EXPECT_EQ(info.yStyleStep, 1);
    EXPECT_EQ(info.denStyleStep, LONG(c.denStyleStep));
    EXPECT_EQ(info.flTextCaps, 0x4009u);
    EXPECT_EQ(info.ptlPhysOffset.x, 100);
    EXPECT_EQ(info.ptlPhysOffset.y, 100);
    EXPECT_EQ(info.szlPhysSize.cx, 5100);
    EXPECT_EQ(info.szlPhysSize.cy, 6600);
    EXPECT_EQ(info.cBitsPixel, 1u);
    EXPECT_EQ(info.cPlanes, 1u);
    EXPECT_EQ(info.ulNumColors, 256u);
    EXPECT_EQ(info.flRaster, 0u);
    EXPECT_EQ(info.ulDACRed | info.ulDACGreen | info.ulDACBlue, 0u);
    EXPECT_EQ(info.ulDevicePelsDPI, 600u);
    EXPECT_EQ(info.ulPrimaryOrder, 0u);
    EXPECT_EQ(info.flHTFlags, 2u);
    EXPECT_EQ(info.ulHTOutputFormat, 2u);
    EXPECT_EQ(info.ulHTPatternSize, 5u);
    // Mode 1 leaves the palette registers and the colour description at 0.
    EXPECT_EQ(info.ulNumPalReg, 0u);
    EXPECT_EQ(info.ciDevice.Red.x, 0);
    EXPECT_EQ(info.ciDevice.MagentaInYellowDye, 0);
  }
}

TEST_F(EngineCapsTest, GdiInfoDepthAndColours) {
  const GMedia media = letter600();
  struct Case {
    const char* name;
    int32_t colorMode;
    uint32_t flags;
    bool twoColor, twoColorSetting;
    ULONG bits, colours;
  } cases[] = {
      {"monochrome", 0, 0, false, false, 1, 256},
      {"grey flag", 0, 0x80000, false, false, 8, 256},
      {"colour", 1, 0, false, false, 24, 0xFFFFFF},
      {"colour beats the grey flag", 1, 0x80000, false, false, 24, 0xFFFFFF},
      {"two-colour flag", 1, 0, true, false, 24, 2},
      {"two-colour setting", 0, 0x80000, false, true, 8, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GEngineCapsInputs in = inputsAt(media, 600, 600);
    in.colorMode = c.colorMode;
    in.instanceFlags = c.flags;
    in.twoColor = c.twoColor;
    in.twoColorSetting = c.twoColorSetting;
    GDIINFO info{};
    ASSERT_EQ(fillGdiInfo(&info, sizeof info, in), 1);
    EXPECT_EQ(info.cBitsPixel, c.bits);
    EXPECT_EQ(info.ulNumColors, c.colours);
  }
}

TEST_F(EngineCapsTest, GdiInfoCopiesNoMoreThanTheEngineAllows) {
  const GMedia media = letter600();
  const GEngineCapsInputs in = inputsAt(media, 600, 600);
  const size_t whole = sizeof(GDIINFO);
  for (size_t cj : {size_t{0}, offsetof(GDIINFO, ulHorzSize) + 2, whole, whole + 16}) {
    SCOPED_TRACE(cj);
    std::vector<uint8_t> buffer(whole + 32, 0x5A);
    ASSERT_EQ(fillGdiInfo(reinterpret_cast<GDIINFO*>(buffer.data()), static_cast<ULONG>(cj), in), 1);
    const size_t written = std::min(cj, whole);
    for (size_t i = written; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0x5A) << "byte " << i;
    if (written >= sizeof(ULONG)) {
      ULONG version = 0;
      std::memcpy(&version, buffer.data(), sizeof version);
      EXPECT_EQ(version, 0x0401u);
    }
  }
}

// ---- DEVINFO -----------------------------------------------------------------------

TEST_F(EngineCapsTest, DevInfoFontsCapsAndPaletteInMode1) {
  struct Case {
    int32_t y;
    uint32_t flags;
    LONG height;
    FLONG caps;
  } cases[] = {
      // -(6036 / 72) = -83.8, -(3036 / 72) = -42.2, -(12036 / 72) = -167.2.
      {600, 0, -83, 0x211D},
      {300, 0, -42, 0x211D},
      {1200, 0x4, -167, 0x211F},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.y);
    GEngineCapsInputs in;
    in.yResolution = c.y;
    in.instanceFlags = c.flags;
    DEVINFO info;
    std::memset(&info, 0xEE, sizeof info);
    HPALETTE palette = nullptr;
    ASSERT_EQ(fillDevInfo(&info, sizeof info, in, palette), 1);
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(info.hpalDefault, palette);
    EXPECT_EQ(livePalettes(), 1);
    EXPECT_EQ(info.flGraphicsCaps, c.caps);
    EXPECT_EQ(info.cFonts, 0u);
    EXPECT_EQ(info.iDitherFormat, 5u);
    EXPECT_EQ(info.cxDither, 0);
    EXPECT_EQ(info.cyDither, 0);

    struct Font {
      const LOGFONTW& font;
      const char16_t* face;
      BYTE pitchAndFamily;
    } fonts[] = {
        {info.lfDefaultFont, u"Courier", 0x31},
        {info.lfAnsiVarFont, u"Helvetica", 0x22},
        {info.lfAnsiFixFont, u"Courier", 0x31},
    };
    for (const Font& f : fonts) {
      EXPECT_EQ(f.font.lfHeight, c.height);
      EXPECT_EQ(f.font.lfWidth | f.font.lfEscapement | f.font.lfOrientation, 0);
      EXPECT_EQ(f.font.lfWeight, 400);
      EXPECT_EQ(f.font.lfItalic | f.font.lfUnderline | f.font.lfStrikeOut, 0);
      EXPECT_EQ(f.font.lfCharSet | f.font.lfOutPrecision | f.font.lfClipPrecision | f.font.lfQuality, 0);
      EXPECT_EQ(f.font.lfPitchAndFamily, f.pitchAndFamily);
      EXPECT_EQ(faceOf(f.font), f.face);
      // The face is followed by zeros to the end of its field.
      for (size_t i = faceOf(f.font).size(); i < 32; ++i) EXPECT_EQ(f.font.lfFaceName[i], 0);
    }
    EXPECT_TRUE(EngDeletePalette(palette));
    EXPECT_EQ(livePalettes(), 0);
  }
}

TEST_F(EngineCapsTest, DevInfoCopiesNoMoreThanTheEngineAllows) {
  GEngineCapsInputs in;
  in.yResolution = 600;
  const size_t whole = sizeof(DEVINFO);
  for (size_t cj : {size_t{0}, size_t{1}, offsetof(DEVINFO, lfAnsiVarFont), offsetof(DEVINFO, hpalDefault),
                    whole, whole + 64}) {
    SCOPED_TRACE(cj);
    std::vector<uint8_t> buffer(whole + 96, 0x5A);
    HPALETTE palette = nullptr;
    ASSERT_EQ(fillDevInfo(reinterpret_cast<DEVINFO*>(buffer.data()), static_cast<ULONG>(cj), in, palette), 1);
    const size_t written = std::min(cj, whole);
    for (size_t i = written; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0x5A) << "byte " << i;
    if (written >= offsetof(DEVINFO, lfAnsiVarFont)) {
      LONG height = 0;
      std::memcpy(&height, buffer.data() + offsetof(DEVINFO, lfDefaultFont), sizeof height);
      EXPECT_EQ(height, -83);
    }
    // The palette is the caller's to give back even when the record was
    // too short to carry it.
    ASSERT_NE(palette, nullptr);
    EXPECT_TRUE(EngDeletePalette(palette));
  }
}

TEST_F(EngineCapsTest, DevInfoFailsInMode1WithoutAPalette) {
  eng::knobs().failPalette = true;
  GEngineCapsInputs in;
  in.yResolution = 600;
  DEVINFO info;
  std::memset(&info, 0x77, sizeof info);
  HPALETTE palette = reinterpret_cast<HPALETTE>(&info);
  EXPECT_EQ(fillDevInfo(&info, sizeof info, in, palette), 0);
  EXPECT_EQ(palette, reinterpret_cast<HPALETTE>(&info));
  EXPECT_EQ(info.flGraphicsCaps, 0x77777777u);
  EXPECT_EQ(livePalettes(), 0);
}

}  // namespace
