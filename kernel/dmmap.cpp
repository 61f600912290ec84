// The DEVMODE's public fields and the settings tree, both ways, and the
// field-by-field merge of a foreign DEVMODE.
//
// The settings tree is read by attribute id at any depth; an attribute that
// is missing, or of another class than expected, counts as absent. Fields
// go back only into attributes the tree has. The printer's capabilities
// are read from the printer's Config and, failing that, from the Configs of
// the stages below it (where a printer may keep its mode entries or its
// collation).
//
// A foreign DEVMODE is read only through GDevModeView::foreign: a merge step
// acts only when the field it reads lies inside the foreign dmSize, so a
// short DEVMODE simply has fewer fields.

#include <memory>
#include <vector>

#include "core/attrib.h"
#include "core/attrids.h"
#include "core/valattr.h"
#include "device/capabil.h"
#include "device/config.h"
#include "device/formtray.h"
#include "device/media.h"
#include "device/pericomp.h"
#include "device/resmap.h"
#include "device/setread.h"
#include "device/tray.h"
#include "journal/periph.h"
#include "kernel/devmode.h"
#include "kernel/devsetnt.h"

using namespace DevModeLayout;
using namespace SettingRead;

namespace {

// The oldest DEVMODE a merge looks at, and the first with a Y resolution
// of its own.
constexpr uint16_t kOldestSpec = 0x0300;
constexpr uint16_t kYResolutionSpec = 0x030A;
constexpr size_t kSmallestMerged = 64;
// The public part of the versions whose collate, form name and media codes
// a merge takes.
constexpr uint16_t kSpec0400 = 0x0400;
constexpr size_t kLastShortSize = 219;
// The DEVMODE source that stands for "the form-to-tray database chooses",
// and the settings source for a tray named by 261.
constexpr int16_t kSourceByForm = 15;
constexpr int16_t kSourceByTrayName = 19;
constexpr int16_t kPortrait = 1;
constexpr int16_t kLandscape = 2;

// The paper (260): a value attribute, or the media the printer's defaults
// carry, by its media id.
bool readPaper(const MPersistentObject* settings, int16_t& mediaId) {
  MPersistentObject* found = lookUp(settings, AttrId::Paper);
  if (auto* media = as<GMedia>(found)) {
    mediaId = media->mediaId();
    return true;
  }
  return readValue(found, mediaId);
}

void putPaper(MPersistentObject* settings, int16_t mediaId) {
  if (auto* media = as<GMedia>(lookUp(settings, AttrId::Paper)))
    media->setMediaId(mediaId);
  else
    setIfPresent(settings, AttrId::Paper, mediaId);
}

void putText(MPersistentObject* within, uint32_t id, const RWCString& text) {
  if (auto* s = as<GStringAttribute>(lookUp(within, id))) s->setValue(text);
}

// The item with the id in a stage's Config or in those of the stages
// below it, depth first; null when none has it.
MPersistentObject* stageItem(const GPeripheral* stage, uint32_t id) {
  if (!stage) return nullptr;
  if (MPersistentObject* found = lookUp(stage->config(), id)) return found;
  MPersistentObject* found = nullptr;
  eachMember(const_cast<GPeripheral*>(stage), [&](MPersistentObject* member) {
    found = stageItem(as<GPeripheral>(member), id);
    return found == nullptr;
  });
  return found;
}

MPersistentObject* printerItem(const GDriverInstance* device, uint32_t id) {
  return device ? stageItem(device->printer(), id) : nullptr;
}

int16_t printerValue(const GDriverInstance* device, uint32_t id, int16_t otherwise) {
  int16_t value = otherwise;
  return readValue(printerItem(device, id), value) ? value : otherwise;
}

// The resolution entries of the printer (206), in order.
std::vector<MPersistentObject*> modeEntries(const GDriverInstance* device) {
  std::vector<MPersistentObject*> entries;
  if (!device) return entries;
  eachMember(printerItem(device, AttrId::ModeEntries), [&](MPersistentObject* entry) {
    entries.push_back(entry);
    return true;
  });
  return entries;
}

// The entry a negative print quality stands for: with quality codes, the
// entry of that code; without, -4 to -1 the first to fourth entry, a
// shorter list repeating its last. Null when there is none, an empty list
// included.
MPersistentObject* entryForQuality(const std::vector<MPersistentObject*>& entries, int16_t quality) {
  if (entries.empty()) return nullptr;
  if (has(entries.front(), AttrId::QualityCode)) {
    for (MPersistentObject* entry : entries) {
      int16_t code = 0;
      if (readValue(entry, AttrId::QualityCode, code) && code == quality) return entry;
    }
    return nullptr;
  }
  if (quality < -4 || quality > -1) return nullptr;
  const size_t position = static_cast<size_t>(quality + 4);
  return entries[position < entries.size() ? position : entries.size() - 1];
}

// The duplex binding a dmDuplex stands for at an orientation: 2 (long
// edge in portrait) and 3 (short edge in portrait) turn with the page.
int16_t bindingFor(int16_t duplex, bool landscape) {
  if (duplex == 2) return landscape ? 1 : 2;
  if (duplex == 3) return landscape ? 2 : 1;
  return 0;
}

GFormToTrayDatabase* formToTray(const MPersistentObject* within) {
  return as<GFormToTrayDatabase>(lookUp(within, AttrId::FormToTray));
}

// The mappings of DEVMODE sources to settings values: the resource
// mappings, then one per extra media type of the settings.
class SourceMappings {
 public:
  explicit SourceMappings(GDriverInstance* device) : extra_(0), device_(device) {
    if (device_) device_->addListMappings(extra_);
  }
  const GResourceMapping* byFirst(uint16_t code) {
    GResourceMappingList* own = device_ ? device_->resourceMappings() : nullptr;
    if (const GResourceMapping* m = own ? own->findByFirstCode(code) : nullptr) return m;
    return extra_.findByFirstCode(code);
  }
  const GResourceMapping* bySecond(int16_t code) {
    GResourceMappingList* own = device_ ? device_->resourceMappings() : nullptr;
    if (const GResourceMapping* m = own ? own->findBySecondCode(code) : nullptr) return m;
    return extra_.findBySecondCode(code);
  }

 private:
  GResourceMappingList extra_;
  GDriverInstance* device_;
};

// A tray's name by its number, from the printer's paper-handling devices.
bool trayName(GDriverInstance* device, int16_t number, RWCString& name) {
  bool found = false;
  eachMember(device ? device->paperHandlingDevices() : nullptr, [&](MPersistentObject* paperDevice) {
    eachMember(paperDevice, [&](MPersistentObject* member) {
      const GTray* tray = as<GTray>(member);
      if (tray && tray->number() == number) {
        name = tray->name();
        found = true;
      }
      return !found;
    });
    return !found;
  });
  return found;
}

// The form name of a DEVMODE, the units that lie inside its public part
// only.
RWWString publicName(const GDevModeView& devmode, size_t offset) {
  RWWString name;
  for (size_t i = 0; i < kNameUnits && devmode.inPublic(offset + 2 * i, 2); ++i) {
    const uint16_t unit = devmode.u16(offset + 2 * i);
    if (unit == 0) break;
    name.append(static_cast<RWwchar>(unit));
  }
  return name;
}

GDeviceSettingsNT* settingsPartOf(GDriverInstance* device) { return dynamic_cast<GDeviceSettingsNT*>(device); }

}  // namespace

// ---------------------------------------------------------------- settings to public

int32_t GDevModeNT::settingsToPublic(GAttributeComposite* settings, uint8_t* devmode) {
  if (!devmode) return 0;
  GDevModeWriter w(devmode, kPublicSize);
  const GDevModeView v(devmode, kPublicSize);
  int16_t value = 0;

  if (readValue(settings, AttrId::OrientationAngle, value)) {
    if (value == 0 || value == 180)
      w.put16(kOrientation, kPortrait);
    else if (value == 90 || value == 270)
      w.put16(kOrientation, kLandscape);
    w.setField(kFieldOrientation, true);
  } else {
    w.setField(kFieldOrientation, false);
  }

  GDeviceSettingsNT* forms = settingsPartOf(device_);
  int32_t formIndex = 0;
  const bool paper = readPaper(settings, value) && forms && forms->formIndexForMediaId(value, formIndex);
  if (paper) w.put16(kPaperSize, static_cast<uint16_t>(formIndex));
  w.setField(kFieldPaperSize, paper);

  if (readValue(settings, AttrId::JobCopies, value)) w.put16(kCopies, static_cast<uint16_t>(value));
  w.setField(kFieldCopies, has(settings, AttrId::JobCopies));

  bool source = false;
  SourceMappings mappings(device_);
  if (readValue(settings, AttrId::PaperSource, value))
    if (const GResourceMapping* m = mappings.bySecond(value)) {
      w.put16(kDefaultSource, m->firstCode());
      source = true;
    }
  if (const auto* tray = as<GStringAttribute>(lookUp(settings, AttrId::MediaTypeName))) {
    int16_t fromTray = 0;
    if (trayNameToSource(settings, tray->value(), fromTray)) {
      w.put16(kDefaultSource, static_cast<uint16_t>(fromTray));
      source = true;
    }
  }
  w.setField(kFieldDefaultSource, source);

  int16_t x = 0;
  int16_t y = 0;
  const bool resolution = readValue(settings, AttrId::Resolution, x) && readValue(settings, AttrId::VerticalResolution, y);
  if (resolution) {
    int16_t code = 0;
    if (readValue(settings, AttrId::QualityCode, value) && value <= 0 && resolutionToQuality(x, code))
      w.put16(kPrintQuality, static_cast<uint16_t>(code));
    else
      w.put16(kPrintQuality, static_cast<uint16_t>(x));
    w.put16(kYResolution, static_cast<uint16_t>(y));
  }
  w.setField(kFieldPrintQuality | kFieldYResolution, resolution);

  const uint32_t capability = device_ ? device_->configurationValue() : 0;
  if (valueOr(settings, AttrId::GreyscaleOffered, 0) == 0) {
    w.put16(kColor, 2);
    w.setField(kFieldColor, true);
  } else if (readValue(settings, AttrId::PrintInGray, value)) {
    w.put16(kColor, value == 1 || value == 3 ? 1 : 2);
    w.setField(kFieldColor, capability == 0 || capability == 1);
  } else {
    w.setField(kFieldColor, false);
  }

  if (!readValue(settings, AttrId::MediaCodesInUse, value)) {
    w.setField(kFieldMediaType, false);
  } else if (value != 1) {
    w.put32(kMediaType, 1);
    w.setField(kFieldMediaType, true);
  } else {
    // Choices 1 to 3 all become code 2, which comes back as choice 1.
    const int16_t media = valueOr(settings, AttrId::MediaChoice, -1);
    if (media == 0) {
      w.put32(kMediaType, 1);
    } else if (media >= 1 && media <= 3) {
      w.put32(kMediaType, 2);
      w.put32(kDitherType, 2);
    }
    w.setField(kFieldMediaType, media >= 0 && media <= 3);
    static constexpr uint32_t kDitherCodes[] = {2, 1, 3, 4};
    const int16_t dither = valueOr(settings, AttrId::DitherChoice, -1);
    if (dither >= 0 && dither <= 3) w.put32(kDitherType, kDitherCodes[dither]);
    w.setField(kFieldDitherType, dither >= 0 && dither <= 3);
  }

  const bool duplex = readValue(settings, AttrId::DuplexBinding, value) && (v.u32(kFields) & kFieldOrientation);
  if (duplex) {
    const bool landscape = v.s16(kOrientation) == kLandscape;
    int16_t code = 1;
    if (value == 1) code = landscape ? 2 : 3;
    if (value == 2) code = landscape ? 3 : 2;
    w.put16(kDuplex, static_cast<uint16_t>(code));
  }
  w.setField(kFieldDuplex, duplex);

  const bool collate = printerValue(device_, AttrId::CollationAvailable, 0) != 0 && readValue(settings, AttrId::Collate, value);
  w.put16(kCollate, collate && value == 1 ? 1 : 0);
  w.setField(kFieldCollate, collate);
  return 1;
}

// ---------------------------------------------------------------- public to settings

// Settings are only set where the tree has them (setIfPresent), never added:
// the tree's shape is the printer's settings template, and a DEVMODE taken
// back into the tree it came from gives that tree again.
int32_t GDevModeNT::publicToSettings(const uint8_t* devmode, GAttributeComposite* settings) {
  if (!devmode || !settings) return 0;
  const GDevModeView v(devmode, kPublicSize);
  const uint32_t fields = v.u32(kFields);
  const int16_t orientation = v.s16(kOrientation);
  const bool landscape = orientation == kLandscape;

  if (fields & kFieldOrientation) {
    const int16_t current = valueOr(settings, AttrId::OrientationAngle, 0);
    const bool flipped = current == 180 || current == 270;
    int16_t preferred = -1;
    int16_t alternative = -1;
    if (orientation == kPortrait) {
      preferred = flipped ? 180 : 0;
      alternative = 0;
    } else if (orientation == kLandscape) {
      preferred = flipped ? 270 : 90;
      alternative = 90;
    }
    bool preferredListed = false;
    bool alternativeListed = false;
    eachMember(printerItem(device_, AttrId::Orientations), [&](MPersistentObject* member) {
      int16_t angle = 0;
      if (readValue(member, angle)) {
        preferredListed = preferredListed || angle == preferred;
        alternativeListed = alternativeListed || angle == alternative;
      }
      return true;
    });
    if (preferred >= 0 && preferredListed)
      setIfPresent(settings, AttrId::OrientationAngle, preferred);
    else if (alternative >= 0 && alternativeListed)
      setIfPresent(settings, AttrId::OrientationAngle, alternative);
  }

  GDeviceSettingsNT* forms = settingsPartOf(device_);
  if (fields & kFieldPaperSize) {
    int16_t mediaId = 0;
    if (!forms || !forms->mediaIdForFormIndex(v.s16(kPaperSize), mediaId))
      mediaId = device_ ? device_->localeDefaultPaper() : 1;
    putPaper(settings, mediaId);
  }

  if (fields & kFieldCopies) setIfPresent(settings, AttrId::JobCopies, v.s16(kCopies));

  if (fields & kFieldDefaultSource) {
    const int16_t source = v.s16(kDefaultSource);
    SourceMappings mappings(device_);
    RWCString name;
    if (const GResourceMapping* m = mappings.byFirst(static_cast<uint16_t>(source))) {
      setIfPresent(settings, AttrId::PaperSource, m->secondCode());
    } else if (sourceToTrayName(settings, source, name)) {
      setIfPresent(settings, AttrId::PaperSource, kSourceByTrayName);
      putText(settings, AttrId::MediaTypeName, name);
    }
  }

  const uint32_t resolutionFields = kFieldPrintQuality | kFieldYResolution;
  auto* group = as<GAttributeComposite>(lookUp(settings, AttrId::ResolutionGroup));
  if ((fields & resolutionFields) == resolutionFields && group) {
    const int16_t quality = v.s16(kPrintQuality);
    int16_t x = quality;
    int16_t y = 0;
    int16_t bits = 0;
    if (quality <= 0 && !qualityToResolution(quality, x, y, bits)) x = quality;
    y = quality >= 0 ? v.s16(kYResolution) : x;
    setIfPresent(group, AttrId::QualityCode, quality);
    setIfPresent(group, AttrId::Resolution, x);
    setIfPresent(group, AttrId::VerticalResolution, y);
    const int16_t currentBits = valueOr(group, AttrId::BitsPerPixel, 0);
    bool keep = false;
    int16_t lastBits = 1;
    for (MPersistentObject* entry : modeEntries(device_)) {
      if (valueOr(entry, AttrId::Resolution, 0) != x || valueOr(entry, AttrId::VerticalResolution, 0) != y) continue;
      const int16_t entryBits = valueOr(entry, AttrId::BitsPerPixel, 0);
      keep = keep || entryBits == currentBits;
      lastBits = entryBits;
    }
    if (!keep) setIfPresent(group, AttrId::BitsPerPixel, lastBits);
  }

  if ((fields & kFieldColor) && valueOr(settings, AttrId::GreyscaleOffered, 0) == 1 && has(settings, AttrId::PrintInGray)) {
    const uint32_t capability = device_ ? device_->configurationValue() : 0;
    const int16_t color = v.s16(kColor);
    if (color == 1) setIfPresent(settings, AttrId::PrintInGray, capability == 2 ? 3 : 1);
    if (color == 2) setIfPresent(settings, AttrId::PrintInGray, capability == 1 ? 0 : capability == 0 ? 1 : 3);
  }

  if (valueOr(settings, AttrId::MediaCodesInUse, 0) == 1) {
    if (fields & kFieldMediaType) {
      const uint32_t media = v.u32(kMediaType);
      setIfPresent(settings, AttrId::MediaChoice, media >= 2 && media <= 4 ? 1 : 0);
    }
    if (fields & kFieldDitherType) {
      static constexpr int16_t kDitherChoices[] = {0, 1, 0, 2, 3};
      const uint32_t dither = v.u32(kDitherType);
      setIfPresent(settings, AttrId::DitherChoice, dither <= 4 ? kDitherChoices[dither] : 0);
    }
  }

  if ((fields & kFieldDuplex) && (fields & kFieldOrientation))
    setIfPresent(settings, AttrId::DuplexBinding, bindingFor(v.s16(kDuplex), landscape));

  if (!(fields & kFieldCollate)) {
    setIfPresent(settings, AttrId::Collate, 0);
  } else {
    const int16_t collate = v.s16(kCollate);
    if (collate == 0) setIfPresent(settings, AttrId::Collate, 0);
    if (collate == 1)
      setIfPresent(settings, AttrId::Collate, printerValue(device_, AttrId::CollationAvailable, 0) != 0 ? 1 : 0);
  }
  return 1;
}

// ---------------------------------------------------------------- merging a foreign DEVMODE

int32_t GDevModeNT::mergeFrom(const uint8_t* devmode, size_t& size) {
  size = 0;
  const GDevModeView foreign = GDevModeView::foreign(devmode);
  if (foreign.isNull() || foreign.specVersion() < kOldestSpec || foreign.dmSize() < kSmallestMerged) return 0;
  size = foreign.declaredLength();

  mergeOrientation(foreign);
  mergePrintQuality(foreign);
  mergePaperSize(foreign);
  mergeDefaultSource(foreign);
  mergeCopies(foreign);
  mergeColor(foreign);
  mergeDuplex(foreign);

  const uint16_t spec = foreign.specVersion();
  if (spec == specVersion() && (spec == kSpec0400 || spec == kSpecVersionValue) && foreign.dmSize() > kLastShortSize) {
    mergeCollate(foreign);
    mergeFormName(foreign);
    mergeMediaAndDither(foreign);
  }

  const GDevModeView own = view();
  return spec == specVersion() && foreign.driverVersion() == driverVersion() && foreign.dmSize() == kPublicSize &&
                 foreign.driverExtra() == own.driverExtra()
             ? 1
             : 0;
}

namespace {

// Whether a merge step acts: the field's bit set in both DEVMODEs, and the
// field inside the foreign public part.
bool mergesField(const GDevModeView& own, const GDevModeView& foreign, uint32_t bit, size_t offset,
                 size_t width = 2) {
  return (own.u32(kFields) & bit) && (foreign.fields() & bit) && foreign.inPublic(offset, width);
}

}  // namespace

int32_t GDevModeNT::mergeOrientation(const GDevModeView& foreign) {
  if (!mergesField(view(), foreign, kFieldOrientation, kOrientation)) return 1;
  const int16_t orientation = foreign.s16(kOrientation);
  if (orientation != kPortrait && orientation != kLandscape) return 0;
  writer().put16(kOrientation, static_cast<uint16_t>(orientation));
  return 1;
}

int32_t GDevModeNT::mergePrintQuality(const GDevModeView& foreign) {
  const GDevModeView own = view();
  if (!mergesField(own, foreign, kFieldPrintQuality, kPrintQuality)) return 1;
  GDevModeWriter w = writer();
  const int16_t quality = foreign.s16(kPrintQuality);
  if (quality < 0) {
    const std::vector<MPersistentObject*> entries = modeEntries(device_);
    MPersistentObject* entry = entryForQuality(entries, quality);
    if (!entry) return 0;
    const bool codes = has(entries.front(), AttrId::QualityCode);
    setPrintQualityRaw(codes ? quality : valueOr(entry, AttrId::Resolution, 0));
    w.put16(kYResolution, static_cast<uint16_t>(valueOr(entry, AttrId::VerticalResolution, 0)));
    return 1;
  }
  int16_t y = quality;
  const bool bothY = (own.u32(kFields) & kFieldYResolution) && (foreign.fields() & kFieldYResolution);
  if (bothY && foreign.specVersion() >= kYResolutionSpec && foreign.hasField(kYResolution) &&
      foreign.s16(kYResolution) > 0)
    y = foreign.s16(kYResolution);
  if (!device_) return 0;
  if (!device_->supportsResolution(quality, y)) {
    if (!device_->supportsResolution(quality, quality)) return 0;
    y = quality;
  }
  setPrintQualityRaw(quality);
  w.put16(kYResolution, static_cast<uint16_t>(y));
  return 1;
}

namespace {

// Whether the printer takes a custom size that lies outside its range:
// custom sizes enabled, and fit-to-page in the settings the DEVMODE carries
// or sizes outside the range allowed.
bool customSizesAllowed(GDevModeNT& devmode) {
  const GDriverInstance* device = devmode.device();
  if (printerValue(device, AttrId::CustomSizesEnabled, 0) == 0) return false;
  if (printerValue(device, AttrId::AnyCustomSize, 0) != 0) return true;
  const GDevModeView own = devmode.view();
  const std::unique_ptr<GAttributeComposite> carried(
      devmode.unpackSettings(own.data() ? own.data() + kPacked : nullptr, own.u16(kPackedLength)));
  return valueOr(carried.get(), AttrId::FitToMedia, 0) != 0;
}

}  // namespace

int32_t GDevModeNT::mergePaperSize(const GDevModeView& foreign) {
  const GDevModeView own = view();
  GDevModeWriter w = writer();
  const uint32_t foreignFields = foreign.fields();
  if ((foreignFields & kFieldFormName) && !(foreignFields & kFieldPaperSize)) w.setField(kFieldPaperSize, false);
  if (!mergesField(own, foreign, kFieldPaperSize, kPaperSize)) return 1;
  if (!device_) return 0;
  const int16_t paper = foreign.s16(kPaperSize);
  const int32_t angle = own.s16(kOrientation) == kLandscape ? 90 : 0;
  const int16_t x = resolvedPrintQuality();
  const int16_t y = own.s16(kYResolution);
  const bool accepted = device_->formFits(angle, x, y, 1, paper) ||
                        (device_->formFits(angle, x, y, 0, paper) && customSizesAllowed(*this));
  if (!accepted) return 0;
  w.put16(kPaperSize, static_cast<uint16_t>(paper));
  w.setField(kFieldPaperSize, true);
  return 1;
}

int32_t GDevModeNT::mergeDefaultSource(const GDevModeView& foreign) {
  if (!mergesField(view(), foreign, kFieldDefaultSource, kDefaultSource)) return 1;
  const int16_t source = foreign.s16(kDefaultSource);
  const GFormToTrayDatabase* database = formToTray(device_ ? device_->settings() : nullptr);
  if (!database) database = formToTray(printerSettings());
  const bool inUse = database && database->hasNonDefault();
  if (source == kSourceByForm || inUse) return source == kSourceByForm && inUse ? 1 : 0;
  if (!device_ || !(device_->supportsTray(static_cast<uint16_t>(source)) ||
                    device_->hasMappingForFirstCode(static_cast<uint16_t>(source))))
    return 0;
  writer().put16(kDefaultSource, static_cast<uint16_t>(source));
  return 1;
}

int32_t GDevModeNT::mergeCopies(const GDevModeView& foreign) {
  if (!mergesField(view(), foreign, kFieldCopies, kCopies)) return 1;
  const int16_t copies = foreign.s16(kCopies);
  const auto* range = as<GRangeAttribute>(printerItem(device_, AttrId::CopiesRange));
  if (!range || !range->contains(copies)) return 0;
  writer().put16(kCopies, static_cast<uint16_t>(copies));
  return 1;
}

int32_t GDevModeNT::mergeMediaAndDither(const GDevModeView& foreign) {
  const GDevModeView own = view();
  GDevModeWriter w = writer();
  int32_t answer = 1;
  if (mergesField(own, foreign, kFieldMediaType, kMediaType, 4)) {
    w.put32(kMediaType, 1);
    const uint32_t media = foreign.u32(kMediaType);
    const auto* options = as<GCapabilities>(lookUp(printerItem(device_, AttrId::CapabilitySets), AttrId::MediaOptions));
    if (media < 1 || media > 4) {
      answer = 0;
    } else if (printerValue(device_, AttrId::MediaCodesInUse, 0) == 1 && options) {
      // Each code falls back to the others the printer has, the heavier
      // ones first; code 1 is always there.
      auto option = [&](uint32_t n) { return options->contains(n) != 0; };
      uint32_t code = media;
      if (media == 4) code = option(2) ? 4 : option(1) ? 3 : option(0) ? 2 : 1;
      if (media == 3) code = option(1) ? 3 : option(2) ? 4 : option(0) ? 2 : 1;
      if (media == 2) code = option(0) ? 2 : option(2) ? 4 : option(1) ? 3 : 1;
      w.put32(kMediaType, code);
    }
  }
  if (mergesField(own, foreign, kFieldDitherType, kDitherType, 4)) {
    const uint32_t dither = foreign.u32(kDitherType);
    if (dither >= 1 && dither <= 4)
      w.put32(kDitherType, dither);
    else
      answer = 0;
  }
  return answer;
}

int32_t GDevModeNT::mergeColor(const GDevModeView& foreign) {
  if (!mergesField(view(), foreign, kFieldColor, kColor)) return 1;
  const int16_t color = foreign.s16(kColor);
  if (color != 1 && color != 2) return 0;
  writer().put16(kColor, static_cast<uint16_t>(color));
  return 1;
}

int32_t GDevModeNT::mergeDuplex(const GDevModeView& foreign) {
  const GDevModeView own = view();
  if (!mergesField(own, foreign, kFieldDuplex, kDuplex)) return 1;
  const int16_t duplex = foreign.s16(kDuplex);
  // Only the three values a DEVMODE defines are taken: anything else
  // would leave a duplex field that no reader understands.
  if (duplex < 1 || duplex > 3) return 0;
  const auto* range = as<GRangeAttribute>(printerItem(device_, AttrId::DuplexBindingRange));
  if (!range || !range->contains(bindingFor(duplex, own.s16(kOrientation) == kLandscape))) return 0;
  writer().put16(kDuplex, static_cast<uint16_t>(duplex));
  return 1;
}

int32_t GDevModeNT::mergeCollate(const GDevModeView& foreign) {
  if (!mergesField(view(), foreign, kFieldCollate, kCollate)) return 1;
  const int16_t collate = foreign.s16(kCollate);
  if (collate != 0 && collate != 1) return 0;
  writer().put16(kCollate, static_cast<uint16_t>(collate));
  return 1;
}

// Without the forms list a form name cannot be taken.
int32_t GDevModeNT::mergeFormName(const GDevModeView& foreign) {
  return (foreign.fields() & kFieldFormName) ? 0 : 1;
}

// ---------------------------------------------------------------- look-ups

int32_t GDevModeNT::qualityToResolution(int16_t quality, int16_t& x, int16_t& y, int16_t& bits) {
  MPersistentObject* entry = entryForQuality(modeEntries(device_), quality);
  if (!entry) return 0;
  x = valueOr(entry, AttrId::Resolution, 0);
  y = valueOr(entry, AttrId::VerticalResolution, 0);
  bits = valueOr(entry, AttrId::BitsPerPixel, 0);
  return 1;
}

int32_t GDevModeNT::resolutionToQuality(int16_t x, int16_t& code) {
  bool found = false;
  for (MPersistentObject* entry : modeEntries(device_)) {
    int16_t entryCode = 0;
    if (valueOr(entry, AttrId::Resolution, 0) == x && readValue(entry, AttrId::QualityCode, entryCode)) {
      code = entryCode;
      found = true;
    }
  }
  return found ? 1 : 0;
}

int32_t GDevModeNT::checkFormName(const RWWString&, int16_t, int16_t, int32_t) { return 0; }
int32_t GDevModeNT::checkFormNameAlternate(const RWWString&, int16_t, int16_t, int32_t) { return 0; }

// The form-to-tray database keeps the tray number where it keeps a form:
// the source's settings code is looked up there.
int32_t GDevModeNT::sourceToTrayName(GAttributeComposite* settings, int16_t source, RWCString& name) {
  SourceMappings mappings(device_);
  const GResourceMapping* mapping = mappings.byFirst(static_cast<uint16_t>(source));
  if (!mapping) return 0;
  const GFormToTrayDatabase* database = formToTray(settings);
  if (!database) database = formToTray(printerSettings());
  if (!database || !database->findByForm(mapping->secondCode())) return 0;
  return trayName(device_, mapping->secondCode(), name) ? 1 : 0;
}

int32_t GDevModeNT::trayNameToSource(GAttributeComposite* settings, const RWCString& name, int16_t& source) {
  const GFormToTrayDatabase* database = formToTray(settings);
  if (!database) database = formToTray(printerSettings());
  if (!database) return 0;
  bool found = false;
  int16_t tray = 0;
  eachMember(const_cast<GAttributeComposite*>(&database->associations()), [&](MPersistentObject* member) {
    const auto* association = as<GFormToTrayAssociation>(member);
    RWCString entryName;
    if (association && trayName(device_, association->form(), entryName) && entryName.length() == name.length() &&
        entryName == name) {
      tray = association->form();
      found = true;
    }
    return !found;
  });
  if (!found) return 0;
  SourceMappings mappings(device_);
  const GResourceMapping* mapping = mappings.bySecond(tray);
  if (!mapping) return 0;
  source = static_cast<int16_t>(mapping->firstCode());
  return 1;
}

// ---------------------------------------------------------------- the printer's forms

int32_t GPrinterDevModeNT::settingsToPublic(GAttributeComposite* settings, uint8_t* devmode) {
  const int32_t answer = GDevModeNT::settingsToPublic(settings, devmode);
  if (!devmode) return answer;
  GDevModeWriter w(devmode, kPublicSize);
  int16_t mediaId = 0;
  int32_t index = 0;
  bool named = false;
  if (settings_ && readPaper(settings, mediaId) && settings_->formIndexForMediaId(mediaId, index) && index >= 1) {
    const GFormListNT forms(settings_->printerHandle());
    if (static_cast<uint32_t>(index) <= forms.count()) {
      w.putWideName(kFormName, forms.name(static_cast<uint32_t>(index - 1)));
      named = true;
    }
  }
  w.setField(kFieldFormName, named);
  return answer;
}

int32_t GPrinterDevModeNT::publicToSettings(const uint8_t* devmode, GAttributeComposite* settings) {
  const int32_t answer = GDevModeNT::publicToSettings(devmode, settings);
  if (!answer) return answer;
  const GDevModeView own = view();
  if (!(own.u32(kFields) & kFieldFormName)) return answer;
  const bool offRange = printerValue(device_, AttrId::CustomSizesEnabled, 0) != 0 &&
                        (valueOr(settings, AttrId::FitToMedia, 0) != 0 || printerValue(device_, AttrId::AnyCustomSize, 0) != 0);
  int32_t index = 0;
  int16_t mediaId = 0;
  if (!settings_ || !formIndexForName(own.wideName(kFormName), index, offRange ? 0 : 1) ||
      !settings_->mediaIdForFormIndex(index, mediaId))
    mediaId = device_ ? device_->localeDefaultPaper() : 1;
  putPaper(settings, mediaId);
  return answer;
}

int32_t GPrinterDevModeNT::mergeFormName(const GDevModeView& foreign) {
  const GDevModeView own = view();
  GDevModeWriter w = writer();
  const uint32_t ownFields = own.u32(kFields);
  const uint32_t foreignFields = foreign.fields();
  const int32_t rangeCheck = customSizesAllowed(*this) ? 0 : 1;
  const int16_t ownPaper = own.s16(kPaperSize);
  const bool foreignPaper = (foreignFields & kFieldPaperSize) && foreign.hasField(kPaperSize);

  if ((foreignFields & kFieldFormName) && foreign.hasField(kFormName)) {
    const RWWString name = publicName(foreign, kFormName);
    int32_t index = 0;
    if (!formIndexForName(name, index, rangeCheck)) return 0;
    if (!(ownFields & kFieldPaperSize) || ownPaper == index) {
      w.putWideName(kFormName, name);
    } else if (foreignPaper && foreign.s16(kPaperSize) == ownPaper) {
      const GFormListNT forms(settings_ ? settings_->printerHandle() : nullptr);
      w.putWideName(kFormName, ownPaper >= 1 ? forms.name(static_cast<uint32_t>(ownPaper - 1)) : RWWString());
    } else {
      w.put16(kPaperSize, static_cast<uint16_t>(index));
      w.putWideName(kFormName, name);
      w.setField(kFieldPaperSize, false);
    }
    w.setField(kFieldFormName, true);
    return 1;
  }
  if (foreignFields & kFieldFormName) return 0;

  if (ownFields & kFieldFormName) {
    int32_t index = 0;
    if (!formIndexForName(own.wideName(kFormName), index, rangeCheck)) {
      w.setField(kFieldFormName, false);
    } else if (index != ownPaper) {
      if (foreignPaper && foreign.s16(kPaperSize) == ownPaper) {
        w.setField(kFieldFormName, false);
      } else {
        w.put16(kPaperSize, static_cast<uint16_t>(index));
        w.setField(kFieldPaperSize, false);
      }
    }
  }
  return 1;
}

int32_t GPrinterDevModeNT::formIndexByName(const RWWString& name, int32_t& index, int16_t x, int16_t y,
                                           int32_t angle, int32_t rangeCheck) {
  if (!settings_ || name.length() == 0) return 0;
  const GFormListNT forms(settings_->printerHandle());
  for (uint32_t position = 0; position < forms.count(); ++position) {
    if (!(forms.name(position) == name)) continue;
    if (!settings_->formToPaperCheck(forms, position, x, y, angle, rangeCheck)) continue;
    index = static_cast<int32_t>(position + 1);
    return 1;
  }
  return 0;
}

int32_t GPrinterDevModeNT::formIndexForName(const RWWString& name, int32_t& index, int32_t rangeCheck) {
  const GDevModeView own = view();
  const int32_t angle = own.s16(kOrientation) == kLandscape ? 90 : 0;
  return formIndexByName(name, index, resolvedPrintQuality(), own.s16(kYResolution), angle, rangeCheck);
}
