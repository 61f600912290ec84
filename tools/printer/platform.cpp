#include "tools/printer/platform.h"

#include <new>

#include "core/attrib.h"
#include "core/outport.h"
#include "device/pericomp.h"
#include "graphics/fontmtrc.h"
#include "tools/printer/printer.h"

namespace {

// The builder's settings over an instance's configuration, or null before
// it has one.
GAttributeComposite* settingsOver(const GDriverInstance& instance) {
  const GPeripheralComposite* root = instance.configuration();
  return root ? buildPrinterSettings(*root).release() : nullptr;
}

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

GAttributeComposite* HostInterfaceInstance::createSettings() { return settingsOver(*this); }
GAttributeComposite* HostInterfaceInstance::defaultSettings() { return settingsOver(*this); }
GPrinterDescription* HostInterfaceInstance::printerDescription() {
  return new HostPrinterDescription(description_);
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
