// The plug-in's exports and the configuration copy.

#include "core/attrids.h"
#include <cstring>

#include "core/attrib.h"
#include "core/classids.h"
#include "core/valattr.h"
#include "device/config.h"
#include "device/drvinst.h"
#include "device/paperdev.h"
#include "device/pericomp.h"
#include "device/tray.h"
#include "host/uihost/win32ui.h"
#include "journal/periph.h"
#include "ui/accessory.h"
#include "ui/uiids.h"
#include "ui/uires.h"

#define UI_EXPORT extern "C" __attribute__((visibility("default")))

const accessory::Model* accessory::find(const char* name) {
  for (const Model& m : kModels)
    if (std::strcmp(m.name, name) == 0) return &m;
  return nullptr;
}

namespace {

MPersistentObject* childOf(MPersistentObject* parent, uint32_t id, RWClassID classId) {
  MPersistentObject* c = parent ? parent->findById(id) : nullptr;
  return c && c->isA() == classId ? c : nullptr;
}

// The printer options are written as they are, without undo or rules: a
// value or text is set in place, or added when missing.
void putValue(GAttributeComposite& into, uint32_t id, int16_t value) {
  if (auto* a = static_cast<GValueAttribute*>(childOf(&into, id, ClassId::GValueAttribute))) {
    a->setValue(value);
  } else {
    into.insert(new GValueAttribute(value, id));
  }
}

void putString(GAttributeComposite& into, uint32_t id, const RWCString& text) {
  if (auto* a = static_cast<GStringAttribute*>(childOf(&into, id, ClassId::GStringAttribute))) {
    a->setValue(text);
  } else {
    into.insert(new GStringAttribute(text, id));
  }
}

int16_t valueOf(MPersistentObject* from, uint32_t id) {
  auto* a = static_cast<GValueAttribute*>(childOf(from, id, ClassId::GValueAttribute));
  return a ? a->value() : 0;
}

bool stringEmpty(GAttributeComposite& in, uint32_t id) {
  auto* a = static_cast<GStringAttribute*>(childOf(&in, id, ClassId::GStringAttribute));
  return !a || a->value().length() == 0;
}

// The output accessory's bins 4 to 17, by name in bin order, as the custom
// bin names.
void copyBinNames(GPaperHandlingDevice& device, GAttributeComposite& options) {
  auto* names = static_cast<GAttributeComposite*>(childOf(&options, UiId::kCustomBinNames, ClassId::GAttributeComposite));
  if (!names) {
    names = new GAttributeComposite(UiId::kCustomBinNames);
    options.insert(names);
  }
  names->clear();
  std::unique_ptr<GChildIterator> bins(device.createIterator());
  while (bins && bins->advance()) {
    auto* bin = dynamic_cast<GBin*>(bins->current());
    if (bin && bin->number() >= 4 && bin->number() <= 17) names->insert(new GStringAttribute(bin->name(), 0));
  }
}

}  // namespace

UI_EXPORT BOOL DllMain(HINSTANCE module, DWORD reason, void*) {
  if (reason == 1 && !uires::pluginModule()) uires::setPluginModule(module);
  // A handle kept past the detach would name a module that is gone.
  if (reason == 0 && uires::pluginModule() == module) uires::setPluginModule(0);
  return 1;
}

UI_EXPORT uint16_t UI_INTERFACEVERSION() { return 2; }

UI_EXPORT uint16_t UI_SETTINGSTOCONFIG(UIHostRecord*) { return 0; }

UI_EXPORT uint16_t UI_CONFIGTOSETTINGS(UIHostRecord* record) {
  if (!record || !record->configuration || !record->settings) return 0;
  auto* printer = dynamic_cast<GPeripheral*>(record->configuration->findById(AttrId::Printer));
  MPersistentObject* printerConfig = printer ? printer->config() : nullptr;
  MPersistentObject* c = printerConfig ? printerConfig->findById(AttrId::JobLanguageConfig) : nullptr;
  auto* s = dynamic_cast<GAttributeComposite*>(record->settings->findById(AttrId::PrinterOptions));
  // Without either group there is nothing to copy from or into.
  if (!c || !s) return 0;

  const int16_t availability = valueOf(c, UiId::kAccessoryAvailability);
  putValue(*s, UiId::kAccessoryAvailability, availability);
  if (availability != 2) return 0;

  auto* memory = static_cast<GRangeAttribute*>(childOf(c, AttrId::DownloadMemory, ClassId::GRangeAttribute));
  putValue(*s, AttrId::DownloadMemoryChoice, memory ? memory->value() : 0);
  putValue(*s, AttrId::DuplexUnitChoice, valueOf(c, AttrId::DuplexUnit));
  putValue(*s, AttrId::CollationOption, valueOf(c, AttrId::CollationAvailable));
  if (MPersistentObject* types = c->findById(AttrId::ExtraMediaTypes)) {
    if (!s->replaceDeepById(AttrId::ExtraMediaTypes, types)) s->insert(types->deepCopy());
  }
  putValue(*s, AttrId::ModeSwitch, valueOf(c, AttrId::PrinterModeSwitch) > 0 ? 1 : 0);
  putString(*s, AttrId::InputDeviceName, RWCString());
  putValue(*s, AttrId::ManualFeed, 0);
  putString(*s, AttrId::OutputDeviceName, RWCString());

  auto* devices = dynamic_cast<GAttributeComposite*>(c->findById(AttrId::PaperHandlingDevices));
  for (RWsize i = 0; devices && i < devices->entries(); ++i) {
    auto* d = dynamic_cast<GPaperHandlingDevice*>(devices->children().pointee(i));
    if (!d || !d->isInstalled() || !d->isEnabled()) continue;
    const RWCString name = d->name();
    const accessory::Model* model = accessory::find(name.data());
    if (d->deviceClass() == 1 && stringEmpty(*s, AttrId::OutputDeviceName)) {
      putString(*s, AttrId::OutputDeviceName, name);
      putValue(*s, AttrId::OutputSource, model && model->role == accessory::Role::Output ? model->code : 0);
      copyBinNames(*d, *s);
    } else if (d->deviceClass() == 0) {
      if (model && model->role == accessory::Role::ManualFeed) {
        putValue(*s, AttrId::ManualFeed, 1);
      } else if (stringEmpty(*s, AttrId::InputDeviceName)) {
        putString(*s, AttrId::InputDeviceName,
                  model && model->role == accessory::Role::Renamed ? RWCString(model->keptAs) : name);
      }
    }
  }
  return 0;
}
