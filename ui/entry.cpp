// The plug-in's exports and the configuration copy.

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
  auto* printer = dynamic_cast<GPeripheral*>(record->configuration->findById(UiId::kPrinter));
  MPersistentObject* printerConfig = printer ? printer->config() : nullptr;
  MPersistentObject* c = printerConfig ? printerConfig->findById(UiId::kJobLanguageConfig) : nullptr;
  auto* s = dynamic_cast<GAttributeComposite*>(record->settings->findById(UiId::kPrinterOptions));
  // Without either group there is nothing to copy from or into.
  if (!c || !s) return 0;

  const int16_t availability = valueOf(c, UiId::kAccessoryAvailability);
  putValue(*s, UiId::kAccessoryAvailability, availability);
  if (availability != 2) return 0;

  auto* memory = static_cast<GRangeAttribute*>(childOf(c, UiId::kDownloadMemory, ClassId::GRangeAttribute));
  putValue(*s, UiId::kDownloadMemoryChoice, memory ? memory->value() : 0);
  putValue(*s, UiId::kOption308, valueOf(c, UiId::kOption204));
  putValue(*s, UiId::kOption310, valueOf(c, UiId::kOption231));
  if (MPersistentObject* types = c->findById(UiId::kExtraMediaTypes)) {
    if (!s->replaceDeepById(UiId::kExtraMediaTypes, types)) s->insert(types->deepCopy());
  }
  putValue(*s, UiId::kOption239, valueOf(c, UiId::kOption226) > 0 ? 1 : 0);
  putString(*s, UiId::kInputDeviceName, RWCString());
  putValue(*s, UiId::kManualFeedFlag, 0);
  putString(*s, UiId::kOutputDeviceName, RWCString());

  auto* devices = dynamic_cast<GAttributeComposite*>(c->findById(UiId::kPaperHandlingDevices));
  for (RWsize i = 0; devices && i < devices->entries(); ++i) {
    auto* d = dynamic_cast<GPaperHandlingDevice*>(devices->children().pointee(i));
    if (!d || !d->isInstalled() || !d->isEnabled()) continue;
    const RWCString name = d->name();
    const accessory::Model* model = accessory::find(name.data());
    if (d->deviceClass() == 1 && stringEmpty(*s, UiId::kOutputDeviceName)) {
      putString(*s, UiId::kOutputDeviceName, name);
      putValue(*s, UiId::kOutputModel, model && model->role == accessory::Role::Output ? model->code : 0);
      copyBinNames(*d, *s);
    } else if (d->deviceClass() == 0) {
      if (model && model->role == accessory::Role::ManualFeed) {
        putValue(*s, UiId::kManualFeedFlag, 1);
      } else if (stringEmpty(*s, UiId::kInputDeviceName)) {
        putString(*s, UiId::kInputDeviceName,
                  model && model->role == accessory::Role::Renamed ? RWCString(model->keptAs) : name);
      }
    }
  }
  return 0;
}
