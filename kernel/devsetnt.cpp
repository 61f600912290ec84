#include "kernel/devsetnt.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>
#include <string>
#include <utility>

#include "core/attrib.h"
#include "core/attrids.h"
#include "core/osfactry.h"
#include "core/state.h"
#include "core/textconv.h"
#include "core/valattr.h"
#include "device/config.h"
#include "device/custsize.h"
#include "device/formtray.h"
#include "device/media.h"
#include "device/setread.h"
#include "journal/periph.h"
#include "kernel/devmode.h"
#include "kernel/runtime.h"

using namespace SettingRead;

namespace {

// The parts kept in the printer's named values, in the order applySettings
// puts them back.
constexpr uint32_t kStoredParts[] = {368, AttrId::WatermarkDefinitions, AttrId::PrinterOptions};

// The quick set a printer starts from, and the value that names none.
const char16_t kBaseName[] = u"Base";
const char16_t kNoQuickSet[] = u"<none>";

// Forms that are not built in have the media id 0x3FFF + their 1-based
// index. The ids stop below 17384, the printer's largest custom size, so a
// form past index 1000 has none.
constexpr int32_t kFormIdBase = 0x3FFF;
constexpr int16_t kFirstFormId = 0x4000;
constexpr int32_t kLastFormIndex = 1000;
// How near (thousandths of a millimetre) a media must come to a form to be
// that form.
constexpr int32_t kMatchTolerance = 100;
constexpr int32_t kMicrometresPerInch = 25400;

bool isBuiltIn(const FORM_INFO_1& form) { return form.Flags == FORM_BUILTIN; }

// The form at a 1-based index, or null.
const FORM_INFO_1* formAtIndex(const GFormListNT& forms, int32_t formIndex) {
  return formIndex >= 1 ? forms.at(static_cast<uint32_t>(formIndex - 1)) : nullptr;
}

// The media id of a form that is not built in, by its 1-based index.
bool formMediaId(int32_t formIndex, int16_t& mediaId) {
  if (formIndex < 1 || formIndex > kLastFormIndex) return false;
  mediaId = static_cast<int16_t>(kFormIdBase + formIndex);
  return true;
}

// The 1-based index a form's media id stands for.
bool formIndexOfId(int16_t mediaId, int32_t& formIndex) {
  if (mediaId <= kFormIdBase || mediaId > kFormIdBase + kLastFormIndex) return false;
  formIndex = mediaId - kFormIdBase;
  return true;
}

// Dots at a resolution in thousandths of a millimetre, rounded as the
// engine's EngMulDiv rounds.
int32_t micrometres(int16_t dots, int16_t dotsPerInch) { return EngMulDiv(dots, kMicrometresPerInch, dotsPerInch); }

bool withinTolerance(int32_t a, int32_t b, int32_t tolerance) {
  const int64_t d = static_cast<int64_t>(a) - b;
  return (d < 0 ? -d : d) <= tolerance;
}

bool isAcross(int32_t angle) {
  const int32_t a = normalizeAngle(angle);
  return a == 90 || a == 270;
}

// A form's size as a custom size keeps it: the smaller dimension as width.
// False for a form without a size.
bool customDimensions(const FORM_INFO_1& form, uint32_t& width, uint32_t& height) {
  if (form.Size.cx <= 0 || form.Size.cy <= 0) return false;
  width = static_cast<uint32_t>(std::min(form.Size.cx, form.Size.cy));
  height = static_cast<uint32_t>(std::max(form.Size.cx, form.Size.cy));
  return true;
}

RWCString narrowName(const RWWString& wide) {
  RWCString narrow;
  convertToNarrow(wide, narrow);
  return narrow;
}

RWWString decimalName(uint32_t number) { return RWWString(std::to_string(number).c_str()); }

// Asks an engine service that fills a caller's buffer: first without a
// buffer, for the size it needs (a failure with last error 122 is the
// expected answer), then into a kernel-heap block of that size. The block
// (the caller's, for kernelHeapFree) and its size; null when the service
// has nothing or fails.
template <class Call>
uint8_t* engineRecord(Call call, DWORD& size) {
  DWORD needed = 0;
  if (call(nullptr, 0, &needed) || EngGetLastError() != ERROR_INSUFFICIENT_BUFFER || needed == 0) return nullptr;
  auto* block = static_cast<uint8_t*>(kernelHeapAlloc(needed));
  if (!block) return nullptr;
  DWORD asked = needed;
  if (!call(block, needed, &asked)) {
    kernelHeapFree(block);
    return nullptr;
  }
  size = needed;
  return block;
}

// The form-to-tray database of a tree, and whether it is in use: it holds
// an association that is not the default. The database keys by tray, so a
// media id is looked for where it keeps trays.
GFormToTrayDatabase* trayDatabaseIn(const MPersistentObject* settings) {
  auto* database = as<GFormToTrayDatabase>(lookUp(settings, AttrId::FormToTray));
  return database && database->hasNonDefault() ? database : nullptr;
}

bool databaseAllows(const GFormToTrayDatabase* database, int16_t mediaId) {
  return !database || database->usesTray(mediaId);
}

}  // namespace

// ---------------------------------------------------------------- the forms list

GFormListNT::GFormListNT(HANDLE printer) {
  if (!printer) return;
  DWORD returned = 0;
  DWORD size = 0;
  uint8_t* block = engineRecord(
      [&](BYTE* buffer, DWORD capacity, DWORD* needed) {
        return EngEnumForms(printer, 1, buffer, capacity, needed, &returned);
      },
      size);
  // The records come first in the block; a count they do not fit in is no
  // list at all.
  if (!block || returned == 0 || returned > size / sizeof(FORM_INFO_1)) {
    kernelHeapFree(block);
    return;
  }
  buffer_ = block;
  size_ = size;
  count_ = returned;
}

GFormListNT::~GFormListNT() { kernelHeapFree(buffer_); }

const FORM_INFO_1* GFormListNT::at(uint32_t position) const {
  if (position >= count_) return nullptr;
  return reinterpret_cast<const FORM_INFO_1*>(buffer_ + position * sizeof(FORM_INFO_1));
}

RWWString GFormListNT::name(uint32_t position) const {
  const FORM_INFO_1* form = at(position);
  if (!form || !form->pName) return RWWString();
  // The name lies in the block after the records; it is read no further
  // than the block goes.
  const auto* first = reinterpret_cast<const uint8_t*>(form->pName);
  if (first < buffer_ + count_ * sizeof(FORM_INFO_1) || first >= buffer_ + size_) return RWWString();
  const size_t room = static_cast<size_t>(buffer_ + size_ - first) / sizeof(WCHAR);
  size_t n = 0;
  while (n < room && form->pName[n] != 0) ++n;
  return RWWString(form->pName, n);
}

// ---------------------------------------------------------------- the settings part

void GDeviceSettingsNT::DevModeDeleter::operator()(GPrinterDevModeNT* devmode) const { delete devmode; }

GDeviceSettingsNT::GDeviceSettingsNT() = default;
GDeviceSettingsNT::~GDeviceSettingsNT() = default;

void GDeviceSettingsNT::bindDevMode(GPrinterDevModeNT& devmode) { devmode.setDevice(this); }

int32_t GDeviceSettingsNT::exchangeDevMode(GDeviceSettingsNT& other) {
  devMode_.swap(other.devMode_);
  try {
    if (other.devMode_) other.bindDevMode(*other.devMode_);
    if (devMode_) bindDevMode(*devMode_);
    return 1;
  } catch (...) {
  }
  // Each part takes its own object back, bound to itself as it was before.
  devMode_.swap(other.devMode_);
  try {
    if (devMode_) bindDevMode(*devMode_);
  } catch (...) {
  }
  try {
    if (other.devMode_) other.bindDevMode(*other.devMode_);
  } catch (...) {
  }
  return 0;
}

int32_t GDeviceSettingsNT::createDevMode(const uint8_t* devmode) {
  devMode_.reset();
  devMode_.reset(new (std::nothrow) GPrinterDevModeNT(this, printerHandle()));
  if (!devMode_) return 0;

  if (devMode_->takenFromPrinter()) {
    if (GAttributeComposite* options = loadStoredPart(AttrId::PrinterOptions)) {
      (void)mergeSettings(options);  // 0 only when there is no options group
      delete options;
    }
    // The printer options may have changed whether collation is there.
    devMode_->checkCollate();
  } else if (GAttributeComposite* defaults = defaultSettings()) {
    applySettings(defaults, 0);
    delete defaults;
  }

  int32_t result = 1;
  if (devmode) {
    result = devMode_->takeFrom(devmode);
    if (result == 0) result = 1;
  }
  // The private device and platform values ride along in the DEVMODE;
  // neither the driver instance nor the platform services keep anything of
  // them yet.
  return result;
}

int32_t GDeviceSettingsNT::applySettings(GAttributeComposite* settings, int32_t) {
  if (!settings) return 0;
  if (auto* sizes = as<GAttributeComposite>(lookUp(settings, AttrId::CustomSizes))) sizes->clear();
  (void)mergeSettings(settings);  // 0 only when there is no options group

  // The stored parts live in the printer's named values and the scratch
  // group only in the user interface: none of them goes into the DEVMODE.
  MPersistentObject* scratch = settings->removeById(AttrId::UiScratch);
  MPersistentObject* parts[std::size(kStoredParts)];
  for (size_t i = 0; i < std::size(kStoredParts); ++i) {
    parts[i] = settings->removeById(kStoredParts[i]);
    if (!parts[i]) parts[i] = new GAttributeComposite(kStoredParts[i]);
  }
  settings->clearSerialNumbers();
  const int32_t stored = devMode_ ? devMode_->storeSettings(settings) : 0;

  if (scratch) settings->insert(scratch);
  for (MPersistentObject* part : parts) settings->insert(part);
  return stored ? 1 : 0;
}

GAttributeComposite* GDeviceSettingsNT::loadStoredPart(uint32_t number) {
  GOSFactory* factory = GOSFactory::instance();
  if (!factory) return nullptr;
  MPersistentObject* object = factory->getObject(this, decimalName(number));
  auto* part = object && object->isKindOf(ClassId::GAttributeComposite) ? as<GAttributeComposite>(object) : nullptr;
  if (!part) delete object;
  return part;
}

int32_t GDeviceSettingsNT::saveStoredPart(MPersistentObject* part) {
  GOSFactory* factory = GOSFactory::instance();
  if (!factory || !part) return 0;
  return factory->putObject(this, decimalName(part->id()), part) ? 1 : 0;
}

GAttributeComposite* GDeviceSettingsNT::defaultSettings() {
  const GPeripheral* stage = printer();
  const GConfiguration* config = stage ? stage->config() : nullptr;
  const auto* settingsTemplate = as<GAttributeComposite>(lookUp(config, AttrId::SettingsTemplate));
  if (!settingsTemplate) return nullptr;
  auto* settings = as<GAttributeComposite>(settingsTemplate->deepCopy());
  if (!settings) return nullptr;
  settings->setId(AttrId::NamedSettingsValues);

  const GState* defaults = stage->defaults();
  // A copy of a group of the printer's Default, renumbered; null when the
  // Default has no such group.
  const auto copyGroup = [&](uint32_t from, uint32_t to) -> GAttributeComposite* {
    const MPersistentObject* group = lookUp(defaults, from);
    MPersistentObject* copy = group ? group->deepCopy() : nullptr;
    auto* composite = as<GAttributeComposite>(copy);
    if (!composite) {
      delete copy;
      return nullptr;
    }
    composite->setId(to);
    return composite;
  };
  if (GAttributeComposite* document = copyGroup(AttrId::DocumentGroup, AttrId::DocumentSettings)) {
    // A job names its paper by media id: the locale's, until the user
    // chooses.
    delete document->removeById(AttrId::Media);
    document->insert(new GValueAttribute(localeDefaultPaper(), AttrId::Paper));
    settings->insert(document);
  }
  if (GAttributeComposite* page = copyGroup(AttrId::PageGroup, AttrId::PageSettings)) settings->insert(page);

  if (GOSFactory* factory = GOSFactory::instance()) {
    RWWString base;
    factory->getString(base, this, RWWString(kBaseName), RWWString(kNoQuickSet));
    // A name no entry has leaves the settings as they are: no failure.
    if (!(base == RWWString(kNoQuickSet))) (void)applyNamedSettings(base, settings);
  }
  formsToCustomSizes(settings);
  return settings;
}

GAttributeComposite* GDeviceSettingsNT::assembleSettings() {
  if (GAttributeComposite* options = loadStoredPart(AttrId::PrinterOptions)) {
    (void)mergeSettings(options);  // 0 only when there is no options group
    delete options;
  }
  GAttributeComposite* settings = devMode_ ? devMode_->restoreSettings() : nullptr;
  for (size_t i = 0; settings && i < std::size(kStoredParts); ++i) {
    GAttributeComposite* part = loadStoredPart(kStoredParts[i]);
    if (!part) {
      delete settings;
      settings = nullptr;
      break;
    }
    // The stored part is the one that counts, whatever the DEVMODE carried.
    delete settings->removeById(kStoredParts[i]);
    settings->insert(part);
  }
  if (!settings) return defaultSettings();
  formsToCustomSizes(settings);
  return settings;
}

int32_t GDeviceSettingsNT::formFits(int32_t angle, int16_t xResolution, int16_t yResolution, int32_t rangeCheck,
                                    int32_t formIndex) {
  const GFormListNT forms(printerHandle());
  const FORM_INFO_1* form = formAtIndex(forms, formIndex);
  return form ? formFitsRange(*form, xResolution, yResolution, angle, rangeCheck) : 0;
}

int32_t GDeviceSettingsNT::isServedPrinter() {
  HANDLE handle = printerHandle();
  if (!handle) return 0;
  DWORD size = 0;
  uint8_t* block = engineRecord(
      [&](BYTE* buffer, DWORD capacity, DWORD* needed) { return EngGetPrinter(handle, 2, buffer, capacity, needed); },
      size);
  if (!block) return 0;
  int32_t served = 0;
  if (size >= sizeof(PRINTER_INFO_2)) {
    PRINTER_INFO_2 info;
    std::memcpy(&info, block, sizeof info);
    // The record's strings lie in the block after it.
    const auto* server = reinterpret_cast<const uint8_t*>(info.pServerName);
    const bool inside = server >= block + sizeof info && server + sizeof(WCHAR) <= block + size;
    served = inside && info.pServerName[0] != 0 ? 1 : 0;
  }
  kernelHeapFree(block);
  return served;
}

int32_t GDeviceSettingsNT::secondCodeFor(uint16_t formIndex, int16_t& mediaId) {
  return mediaIdForFormIndex(formIndex, mediaId);
}

int32_t GDeviceSettingsNT::firstCodeFor(int16_t mediaId, uint16_t& formIndex) {
  int32_t index = 0;
  if (!formIndexForMediaId(mediaId, index) || index < 1 || index > UINT16_MAX) return 0;
  formIndex = static_cast<uint16_t>(index);
  return 1;
}

int32_t GDeviceSettingsNT::addCustomMediaSize(GCustomMediaSize*, GAttributeComposite*) { return 0; }

namespace {

// Walks the forms as papers: a built-in form with a non-zero code mapping
// and every other form that has a media id, in list order, as long as the
// routine answers 1. Only the forms the filter accepts (given the form, its
// zero-based position and its media id) are reported. Answers the count
// reported.
template <class Accept>
int32_t walkPapers(GDriverInstance& instance, const GFormListNT& forms, GPaperCallback routine, void* data,
                   Accept accept) {
  if (!routine) return 0;
  int32_t count = 0;
  for (uint32_t position = 0; position < forms.count(); ++position) {
    const FORM_INFO_1& form = *forms.at(position);
    int16_t mediaId = 0;
    if (isBuiltIn(form)) {
      if (!instance.GDriverInstance::secondCodeFor(static_cast<uint16_t>(position + 1), mediaId) || mediaId == 0)
        continue;
    } else if (!formMediaId(static_cast<int32_t>(position + 1), mediaId)) {
      continue;
    }
    if (!accept(form, mediaId)) continue;
    ++count;
    if (routine(count, mediaId, forms.name(position), data) != 1) break;
  }
  return count;
}

}  // namespace

int32_t GDeviceSettingsNT::enumeratePapers(GPaperCallback routine, void* data, GAttributeComposite*) {
  const GFormListNT forms(printerHandle());
  return walkPapers(*this, forms, routine, data, [](const FORM_INFO_1&, int16_t) { return true; });
}

int32_t GDeviceSettingsNT::enumerateFittingPapers(GPaperCallback routine, void* data, int32_t rangeCheck,
                                                  GAttributeComposite* given) {
  const GAttributeComposite* settings = given ? given : this->settings();
  const MPersistentObject* resolution = lookUp(settings, AttrId::ResolutionGroup);
  int16_t x = 0;
  int16_t y = 0;
  int16_t angle = 0;
  readValue(resolution, AttrId::Resolution, x);
  readValue(resolution, AttrId::VerticalResolution, y);
  readValue(settings, AttrId::OrientationAngle, angle);
  const GFormToTrayDatabase* database = trayDatabaseIn(settings);
  const GFormListNT forms(printerHandle());
  return walkPapers(*this, forms, routine, data, [&](const FORM_INFO_1& form, int16_t mediaId) {
    return formFitsRange(form, x, y, angle, rangeCheck) && databaseAllows(database, mediaId);
  });
}

int32_t GDeviceSettingsNT::checkMediaId(GAttributeComposite* settings, int16_t mediaId, int16_t orientation,
                                        int16_t xResolution, int16_t yResolution) {
  int32_t formIndex = 0;
  if (formIndexForMediaId(mediaId, formIndex)) {
    const std::unique_ptr<GMedia> media(mediaForFormIndex(formIndex, xResolution, yResolution, orientation));
    if (!media) return 0;
    mediaId = media->mediaId();
  }
  return GDriverInstance::checkMediaId(settings, mediaId, orientation, xResolution, yResolution);
}

GAttributeComposite* GDeviceSettingsNT::restoreDevModeSettings() {
  return devMode_ ? devMode_->restoreSettings() : nullptr;
}

// ---------------------------------------------------------------- forms and papers

int32_t GDeviceSettingsNT::mediaIdForFormIndex(int32_t formIndex, int16_t& mediaId) {
  const GFormListNT forms(printerHandle());
  const FORM_INFO_1* form = formAtIndex(forms, formIndex);
  if (!form) return 0;
  if (isBuiltIn(*form)) return GDriverInstance::secondCodeFor(static_cast<uint16_t>(formIndex), mediaId);
  return formMediaId(formIndex, mediaId) ? 1 : 0;
}

int32_t GDeviceSettingsNT::formIndexForMediaId(int16_t mediaId, int32_t& formIndex) {
  if (formIndexOfId(mediaId, formIndex)) return 1;
  uint16_t code = 0;
  if (GDriverInstance::firstCodeFor(mediaId, code) && code != 0) {
    formIndex = code;
    return 1;
  }

  // Any other media is the first form (not built in) of its size, at the
  // DEVMODE's orientation and resolution.
  GMediaPool* pool = devMode_ ? mediaPool() : nullptr;
  if (!pool) return 0;
  const int32_t angle = devMode_->view().s16(DevModeLayout::kOrientation) == 1 ? 0 : 90;
  const GMedia* media = pool->findByMediaId(mediaId, angle, devMode_->resolvedPrintQuality(),
                                            devMode_->view().s16(DevModeLayout::kYResolution));
  if (!media) return 0;
  const GFormListNT forms(printerHandle());
  for (uint32_t position = 0; position < forms.count(); ++position) {
    const FORM_INFO_1& form = *forms.at(position);
    if (!isBuiltIn(form) && formMatchesMedia(form, *media, kMatchTolerance, kMatchTolerance)) {
      formIndex = static_cast<int32_t>(position + 1);
      return 1;
    }
  }
  return 0;
}

int32_t GDeviceSettingsNT::formFitsRange(const FORM_INFO_1& form, int16_t xResolution, int16_t yResolution,
                                         int32_t angle, int32_t rangeCheck) {
  if (!rangeCheck) return 1;
  // Without a resolution there is no size in dots to compare with.
  if (xResolution <= 0 || yResolution <= 0) return 0;
  // A bound the pool does not have leaves that side open, as the media
  // choice has it.
  int32_t minimum[2] = {0, 0};
  int32_t maximum[2] = {INT32_MAX, INT32_MAX};
  if (GMediaPool* pool = mediaPool()) {
    const auto bound = [&](int16_t mediaId, int32_t size[2]) {
      if (const GMedia* media = pool->findByMediaId(mediaId, angle, xResolution, yResolution)) {
        size[0] = micrometres(media->size().x(), xResolution);
        size[1] = micrometres(media->size().y(), yResolution);
        // The bounds across the sheet are the other way round.
        if (isAcross(angle)) std::swap(size[0], size[1]);
      }
    };
    bound(CustomMediaId::kSmallest, minimum);
    bound(CustomMediaId::kLargest, maximum);
  }
  return minimum[0] <= form.Size.cx && form.Size.cx <= maximum[0] && minimum[1] <= form.Size.cy &&
                 form.Size.cy <= maximum[1]
             ? 1
             : 0;
}

int32_t GDeviceSettingsNT::formMatchesMedia(const FORM_INFO_1& form, const GMedia& media, int32_t xTolerance,
                                            int32_t yTolerance) {
  if (media.xResolution() <= 0 || media.yResolution() <= 0) return 0;
  int32_t width = micrometres(media.size().x(), media.xResolution());
  int32_t height = micrometres(media.size().y(), media.yResolution());
  if (isAcross(media.orientation())) std::swap(width, height);
  return withinTolerance(form.Size.cx, width, xTolerance) && withinTolerance(form.Size.cy, height, yTolerance) ? 1
                                                                                                              : 0;
}

int32_t GDeviceSettingsNT::formToPaperCheck(const GFormListNT& forms, uint32_t position, int16_t xResolution,
                                            int16_t yResolution, int32_t angle, int32_t rangeCheck) {
  const FORM_INFO_1* form = forms.at(position);
  if (!form || !formFitsRange(*form, xResolution, yResolution, angle, rangeCheck)) return 0;

  int16_t mediaId = 0;
  const int32_t formIndex = static_cast<int32_t>(position + 1);
  if (isBuiltIn(*form) ? !GDriverInstance::secondCodeFor(static_cast<uint16_t>(formIndex), mediaId)
                       : !formMediaId(formIndex, mediaId))
    return 0;
  const std::unique_ptr<GAttributeComposite> options(loadStoredPart(AttrId::PrinterOptions));
  return databaseAllows(trayDatabaseIn(options.get()), mediaId) ? 1 : 0;
}

int32_t GDeviceSettingsNT::formsToCustomSizes(GAttributeComposite* settings) {
  auto* sizes = as<GAttributeComposite>(lookUp(settings, AttrId::CustomSizes));
  if (!sizes) return 0;
  // Without the forms the sizes made from them last time stay.
  const GFormListNT forms(printerHandle());
  if (forms.count() == 0) return 0;
  sizes->clear();
  for (uint32_t position = 0; position < forms.count(); ++position) {
    const FORM_INFO_1& form = *forms.at(position);
    int16_t mediaId = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    if (isBuiltIn(form) || !formMediaId(static_cast<int32_t>(position + 1), mediaId) ||
        !customDimensions(form, width, height))
      continue;
    sizes->insert(new GCustomMediaSize(mediaId, narrowName(forms.name(position)), kMicrometres, width, height));
  }
  return 1;
}

GMedia* GDeviceSettingsNT::mediaForId(int16_t mediaId, int16_t xResolution, int16_t yResolution, int32_t angle) {
  int32_t formIndex = 0;
  if (formIndexOfId(mediaId, formIndex)) return mediaForFormIndex(formIndex, xResolution, yResolution, angle);
  GMediaPool* pool = mediaPool();
  const GMedia* media = pool ? pool->findByMediaId(mediaId, angle, xResolution, yResolution) : nullptr;
  return media ? new (std::nothrow) GMedia(*media) : nullptr;
}

namespace {

struct MatchingMedia {
  const FORM_INFO_1* form;
  GMedia* found;
};

int matchForm(GMedia* entry, GResourceMapping*, int32_t, void* buffer, int32_t& status) {
  auto* match = static_cast<MatchingMedia*>(buffer);
  if (!GDeviceSettingsNT::formMatchesMedia(*match->form, *entry, kMatchTolerance, kMatchTolerance)) return 1;
  match->found = entry;
  status = 1;
  return 0;
}

}  // namespace

GMedia* GDeviceSettingsNT::mediaForFormIndex(int32_t formIndex, int16_t xResolution, int16_t yResolution,
                                             int32_t angle) {
  const GFormListNT forms(printerHandle());
  const FORM_INFO_1* form = formAtIndex(forms, formIndex);
  if (!form) return nullptr;

  MatchingMedia match{form, nullptr};
  int32_t count = 0;
  // The answer is match.found: the walk's own status says no more.
  (void)selectMedia(matchForm, &match, angle, xResolution, yResolution, 0, 0, count);
  if (match.found) return new (std::nothrow) GMedia(*match.found);

  // No media of the printer's is this form: one made for it, as a custom
  // size of the form's name and size.
  uint32_t width = 0;
  uint32_t height = 0;
  if (!customDimensions(*form, width, height)) return nullptr;
  const GCustomMediaSize size(kFirstFormId,
                              narrowName(forms.name(static_cast<uint32_t>(formIndex - 1))), kMicrometres, width,
                              height);
  return makeMedia(size, printerConfig(), xResolution, yResolution, angle).release();
}
