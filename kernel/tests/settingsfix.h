#ifndef KERNEL_TESTS_SETTINGSFIX_H
#define KERNEL_TESTS_SETTINGSFIX_H

// A settings part on a stand-in printer, for the tests of the DEVMODE, its
// mapping, the forms and the stored parts.
//
// SettingsDevice is the settings part with the device's pure operations
// filled in: it answers the stand-in printer's handle and data file, and
// holds the parts of a tree the printer configuration builder made from a
// model, as the driver server hands them over. KernelPlatform installs the
// kernel build's platform services for its life (the named values, the
// memory streams the DEVMODE packs through). The engine's built-in forms
// come first in every printer's list; user forms follow them.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/attrib.h"
#include "device/pericomp.h"
#include "device/resmap.h"
#include "kernel/devsetnt.h"
#include "kernel/osfactnt.h"
#include "kernel/tests/printerfix.h"
#include "tools/printer/printer.h"

class KernelPlatform {
 public:
  explicit KernelPlatform(uint32_t engineVersion = 0x30000) { gInstallPlatformNT(engineVersion); }
  ~KernelPlatform() { gRemovePlatformNT(); }
  KernelPlatform(const KernelPlatform&) = delete;
  KernelPlatform& operator=(const KernelPlatform&) = delete;
};

// The builder's model the settings tests start from: a PCL XL printer with
// Letter, Legal and A4, two trays, 300 and 600 dpi, duplex, collation and
// custom sizes.
inline PrinterModel settingsModel() {
  PrinterModel model;
  model.resolutions = {600, 300};
  return model;
}

// Takes the parts out of a built tree's top and gives them to the
// instance, as the driver server does with a restored one.
inline void handOverTree(GAttributeComposite& top, GDriverInstance& instance) {
  instance.setConfiguration(dynamic_cast<GPeripheralComposite*>(top.removeById(353)));
  instance.setCodeMappings(dynamic_cast<GResourceMappingList*>(top.removeById(191)));
  instance.setStoredPart(dynamic_cast<GResourceMappingList*>(top.removeById(84)));
  instance.setResourceMappings(dynamic_cast<GResourceMappingList*>(top.removeById(194)));
}

class SettingsDevice : public GDeviceSettingsNT {
 public:
  explicit SettingsDevice(const StandInPrinter& printer, const PrinterModel& model = settingsModel())
      : handle_(printer.handle), dataFile_(printer.dataFile) {
    setDeviceName(u"Test Printer");
    std::string error;
    std::unique_ptr<GAttributeComposite> top = buildPrinterTree(model, error);
    EXPECT_TRUE(top) << error;
    if (top) handOverTree(*top, *this);
  }

  HANDLE printerHandle() const override { return handle_; }
  RWWString printerDataFileName() const override { return dataFile_; }

  int32_t platformHookA() override { return 0; }
  GDevice* asDevice() override { return nullptr; }
  GInterfaceInstance* asInterfaceInstance() override { return nullptr; }
  int32_t platformHookB() override { return 0; }
  GAttributeComposite* createSettings() override {
    GPeripheralComposite* root = configuration();
    return root ? buildPrinterSettings(*root).release() : nullptr;
  }
  void releaseResources() override {}
  GPrinterDescription* printerDescription() override { return nullptr; }

 private:
  HANDLE handle_;
  RWWString dataFile_;
};

// User forms, in thousandths of a millimetre, for the printer's list.
inline eng::Form userForm(const std::u16string& name, int32_t width, int32_t height) {
  eng::Form form;
  form.name = name;
  form.width = width;
  form.height = height;
  return form;
}

#endif
