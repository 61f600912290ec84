#include "tools/printer/platform.h"

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

#include "core/attrib.h"
#include "core/attrids.h"
#include "core/outport.h"
#include "core/textconv.h"
#include "core/valattr.h"
#include "device/custsize.h"
#include "device/formtray.h"
#include "device/media.h"
#include "device/pericomp.h"
#include "device/setread.h"
#include "graphics/fontmtrc.h"
#include "tools/printer/printer.h"

using namespace SettingRead;

namespace {

// The builder's settings over an instance's configuration, or null before
// it has one.
GAttributeComposite* settingsOver(const GDriverInstance& instance) {
  const GPeripheralComposite* root = instance.configuration();
  return root ? buildPrinterSettings(*root).release() : nullptr;
}

// The builder's settings with the paper a media id: the builder leaves the
// Default's media entry there, which names no paper a user could choose.
GAttributeComposite* userSettingsOver(GDriverInstance& instance) {
  GAttributeComposite* settings = settingsOver(instance);
  if (auto* document = as<GAttributeComposite>(lookUp(settings, AttrId::DocumentSettings))) {
    delete document->removeById(AttrId::Paper);
    document->insert(new GValueAttribute(instance.localeDefaultPaper(), AttrId::Paper));
  }
  return settings;
}

RWWString wide(const RWCString& narrow) {
  RWWString text;
  // The conversion cannot fail: every byte has a character.
  convertToWide(narrow, text);
  return text;
}

// One paper the printer object offers: its media id and name, and how to
// measure it.
struct OfferedPaper {
  int16_t mediaId;
  RWWString name;
  // A media of the pool (measured by its entry at the angle and
  // resolution), or a custom size of the settings.
  const GCustomMediaSize* custom;
};

// The papers, in the order they are offered: each media id of the pool
// once, in pool order, then the settings' custom sizes.
std::vector<OfferedPaper> offeredPapers(GMediaPool* pool, const MPersistentObject* settings) {
  std::vector<OfferedPaper> papers;
  eachMember(pool, [&](MPersistentObject* member) {
    const GMedia* media = as<GMedia>(member);
    if (!media) return true;
    const int16_t id = media->mediaId();
    const bool seen = std::any_of(papers.begin(), papers.end(), [&](const OfferedPaper& p) { return p.mediaId == id; });
    if (!seen && id != CustomMediaId::kLargest && id != CustomMediaId::kSmallest)
      papers.push_back({id, wide(media->name()), nullptr});
    return true;
  });
  eachMember(lookUp(settings, AttrId::CustomSizes), [&](MPersistentObject* member) {
    if (const GCustomMediaSize* size = as<GCustomMediaSize>(member))
      papers.push_back({size->mediaId(), wide(size->name()), size});
    return true;
  });
  return papers;
}

// Reports the papers the filter lets through, as long as the routine
// answers 1; answers the count reported.
template <class Accept>
int32_t reportPapers(const std::vector<OfferedPaper>& papers, GPaperCallback routine, void* data, Accept accept) {
  if (!routine) return 0;
  int32_t count = 0;
  for (const OfferedPaper& paper : papers) {
    if (!accept(paper)) continue;
    ++count;
    if (routine(count, paper.mediaId, paper.name, data) != 1) break;
  }
  return count;
}

bool isAcross(int32_t angle) {
  const int32_t a = ((angle % 360) + 360) % 360;
  return a == 90 || a == 270;
}

// Whether a paper fits the printer at an angle and resolution: between
// the pool's smallest and largest custom size, both included, each side
// measured in dots as the pool keeps its entries at that angle. The pool
// keeps 0 and 90 degrees; a page turned further lies on the sheet as one
// of them. A bound the pool lacks leaves that side open; a paper of the
// pool it does not keep at the angle and resolution does not fit, and
// without a resolution nothing can be measured.
class RangeCheck {
 public:
  RangeCheck(GMediaPool* pool, int32_t angle, int16_t xResolution, int16_t yResolution)
      : pool_(pool), across_(isAcross(angle)), x_(xResolution), y_(yResolution) {
    if (!pool_ || x_ <= 0 || y_ <= 0) return;
    if (const GMedia* smallest = entry(CustomMediaId::kSmallest)) {
      lower_[0] = smallest->size().x();
      lower_[1] = smallest->size().y();
    }
    if (const GMedia* largest = entry(CustomMediaId::kLargest)) {
      upper_[0] = largest->size().x();
      upper_[1] = largest->size().y();
    }
  }

  bool fits(const OfferedPaper& paper) const {
    if (x_ <= 0 || y_ <= 0) return false;
    int64_t width = 0;
    int64_t height = 0;
    if (paper.custom) {
      const GMediaSize dots = paper.custom->sizeInDots(x_, y_);
      width = dots.width;
      height = dots.height;
      if (across_) std::swap(width, height);
    } else {
      const GMedia* media = entry(paper.mediaId);
      if (!media) return false;
      width = media->size().x();
      height = media->size().y();
    }
    return lower_[0] <= width && width <= upper_[0] && lower_[1] <= height && height <= upper_[1];
  }

 private:
  const GMedia* entry(int16_t mediaId) const {
    return pool_ ? pool_->findByMediaId(mediaId, across_ ? 90 : 0, x_, y_) : nullptr;
  }

  GMediaPool* pool_;
  bool across_;
  int16_t x_;
  int16_t y_;
  int64_t lower_[2] = {0, 0};
  int64_t upper_[2] = {INT64_MAX, INT64_MAX};
};

// No engine fonts here: every query fails.
class NoFontMetrics : public GFontMetrics {
 public:
  int32_t widths(uint32_t, uint16_t, uint16_t, int16_t*) override { return 0; }
  int32_t width(uint32_t, uint16_t, int16_t& width) override {
    width = 0;
    return 0;
  }
  void underlineMetrics(uint32_t, int16_t, int16_t& position, int16_t& thickness) override {
    position = thickness = 0;
  }
  void strikeoutMetrics(uint32_t, int16_t, int16_t& position, int16_t& thickness) override {
    position = thickness = 0;
  }
};

const HostPrinterDescription* descriptionOf(GDriverInstance* owner) {
  if (!owner) return nullptr;
  if (auto* device = dynamic_cast<HostDevice*>(owner)) return &device->description();
  if (auto* instance = dynamic_cast<HostInterfaceInstance*>(owner)) return &instance->description();
  return nullptr;
}

}  // namespace

bool HostPrinterDescription::equals(const GPrinterDescription& other) const {
  const auto* o = dynamic_cast<const HostPrinterDescription*>(&other);
  return o && o->printerName_ == printerName_ && o->dataFile_ == dataFile_;
}

HostDevice::HostDevice(const HostPrinterDescription& description) : description_(description) {}
HostDevice::~HostDevice() = default;

GAttributeComposite* HostDevice::createSettings() { return settingsOver(*this); }
GAttributeComposite* HostDevice::defaultSettings() { return settingsOver(*this); }
GPrinterDescription* HostDevice::printerDescription() { return new HostPrinterDescription(description_); }

GAttributeComposite* HostInterfaceInstance::createSettings() { return userSettingsOver(*this); }
GAttributeComposite* HostInterfaceInstance::defaultSettings() { return userSettingsOver(*this); }
GPrinterDescription* HostInterfaceInstance::printerDescription() {
  return new HostPrinterDescription(description_);
}

int32_t HostInterfaceInstance::enumeratePapers(GPaperCallback routine, void* data, GAttributeComposite* given) {
  const GAttributeComposite* settings = given ? given : this->settings();
  return reportPapers(offeredPapers(mediaPool(), settings), routine, data, [](const OfferedPaper&) { return true; });
}

int32_t HostInterfaceInstance::enumerateFittingPapers(GPaperCallback routine, void* data, int32_t rangeCheck,
                                                      GAttributeComposite* given) {
  const GAttributeComposite* settings = given ? given : this->settings();
  const MPersistentObject* resolution = lookUp(settings, AttrId::ResolutionGroup);
  int16_t x = 0;
  int16_t y = 0;
  int16_t angle = 0;
  readValue(resolution, AttrId::Resolution, x);
  readValue(resolution, AttrId::VerticalResolution, y);
  readValue(settings, AttrId::OrientationAngle, angle);
  GMediaPool* pool = mediaPool();
  const RangeCheck range(pool, angle, x, y);
  // The database places papers in trays only while it holds a choice of
  // its own; it keeps a paper's media id where it keeps a tray.
  const auto* database = as<GFormToTrayDatabase>(lookUp(settings, AttrId::FormToTray));
  const bool inUse = database && database->hasNonDefault();
  return reportPapers(offeredPapers(pool, settings), routine, data, [&](const OfferedPaper& paper) {
    if (rangeCheck && !range.fits(paper)) return false;
    return !inUse || database->usesTray(paper.mediaId) != 0;
  });
}

HostMakers printerMakers() {
  HostMakers makers;
  makers.device = [](GPrinterDescription* d) -> GDevice* {
    auto* description = dynamic_cast<HostPrinterDescription*>(d);
    return description ? new (std::nothrow) HostDevice(*description) : nullptr;
  };
  makers.interfaceInstance = [](GPrinterDescription* d) -> GDriverInstance* {
    auto* description = dynamic_cast<HostPrinterDescription*>(d);
    return description ? new (std::nothrow) HostInterfaceInstance(*description) : nullptr;
  };
  makers.fontMetrics = [](GDevice*) -> GFontMetrics* { return new (std::nothrow) NoFontMetrics; };
  makers.spoolerPort = [](GDriverInstance*, const RWWString& portName, uint32_t) -> GOutputPort* {
    return new (std::nothrow) GFileOutputPort(portName);
  };
  makers.configurationFile = [](GDriverInstance* owner) {
    const HostPrinterDescription* description = descriptionOf(owner);
    return description ? description->dataFile() : RWWString();
  };
  return makers;
}
