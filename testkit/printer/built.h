#ifndef TESTKIT_PRINTER_BUILT_H
#define TESTKIT_PRINTER_BUILT_H

// Fixtures over the printer configuration builder: a model that speaks
// through the test kit's stand-in generator, a driver instance given a
// built tree as the driver server gives a restored one, and the platform
// services with a chosen locale.

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

#include "core/attrib.h"
#include "core/locale.h"
#include "core/valattr.h"
#include "device/config.h"
#include "device/pericomp.h"
#include "device/resmap.h"
#include "host/win32/osfactory.h"
#include "rw/bstream.h"
#include "testkit/device/instance.h"
#include "tools/printer/printer.h"

// The builder's defaults, with the stand-in generator in place of the
// language's own.
inline PrinterModel testModel() {
  PrinterModel model;
  model.generatorClass = "TestGenerator";
  return model;
}

inline std::unique_ptr<GAttributeComposite> builtTree(const PrinterModel& model = testModel()) {
  std::string error;
  std::unique_ptr<GAttributeComposite> top = buildPrinterTree(model, error);
  EXPECT_TRUE(top) << error;
  return top;
}

// The tree a data file holds, read as the driver server reads it: one
// object from a binary stream. The caller owns it.
inline std::unique_ptr<GAttributeComposite> restoredTree(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  RWbistream in(file);
  RWCollectable* object = nullptr;
  in >> object;
  auto* top = dynamic_cast<GAttributeComposite*>(object);
  if (!top) delete object;
  return std::unique_ptr<GAttributeComposite>(top);
}

// Takes the parts out of a tree's top and gives them to the instance, as
// the driver server does with a restored one.
inline void handOver(GAttributeComposite& top, GDriverInstance& instance) {
  instance.setConfiguration(dynamic_cast<GPeripheralComposite*>(top.removeById(353)));
  instance.setCodeMappings(dynamic_cast<GResourceMappingList*>(top.removeById(191)));
  instance.setStoredPart(dynamic_cast<GResourceMappingList*>(top.removeById(84)));
  instance.setResourceMappings(dynamic_cast<GResourceMappingList*>(top.removeById(194)));
}

// A driver instance over a tree built from the model, whose settings are
// the builder's settings tree for it.
struct BuiltInstance {
  explicit BuiltInstance(const PrinterModel& model = testModel())
      : instance([this] {
          GPeripheralComposite* root = instance.configuration();
          return root ? buildPrinterSettings(*root).release() : nullptr;
        }) {
    if (std::unique_ptr<GAttributeComposite> top = builtTree(model)) handOver(*top, instance);
  }
  GConfiguration& printerConfig() { return *instance.printerConfig(); }
  GAttributeComposite& settings() {
    if (!instance.settings()) instance.setSettings(instance.createSettings());
    return *instance.settings();
  }
  // Puts a value into the settings, in place of one of the same id.
  void setSetting(uint32_t id, int16_t value) {
    delete settings().removeById(id);
    settings().insert(new GValueAttribute(value, id));
  }

  TestInstance instance;
};

// The user-mode platform services with a locale of a chosen country (none
// at all for a negative one), installed for the life of the object.
class LocaleHost : public GOSFactoryHost {
 public:
  int64_t country = 1;
  GLocaleInfo* createLocaleInfo() override {
    if (country < 0) return nullptr;
    GLocaleInfo* locale = new GLocaleInfo;
    locale->setCountryCode(static_cast<uint32_t>(country));
    return locale;
  }
};

class InstalledLocaleHost {
 public:
  InstalledLocaleHost() : host_(new LocaleHost) {
    GOSFactory::factoryLock = host_->createMutex();
    GOSFactory::theInstance = host_;
  }
  ~InstalledLocaleHost() {
    GCharsetConverter::discardInstance();
    delete host_;
  }
  InstalledLocaleHost(const InstalledLocaleHost&) = delete;
  InstalledLocaleHost& operator=(const InstalledLocaleHost&) = delete;
  LocaleHost& host() { return *host_; }

 private:
  LocaleHost* host_;
};

#endif
