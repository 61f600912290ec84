#ifndef KERNEL_TESTS_DEVICEFIX_H
#define KERNEL_TESTS_DEVICEFIX_H

// An NT device on a stand-in printer, for the tests of the device's DDI
// handlers.
//
// TestDeviceNT is GDeviceNT with the printer device's one missing answer,
// the printer's data file, over a tree the printer configuration builder
// made from a model, handed over as the driver server does with a restored
// one. It keeps a log of what it sends, and two faults can be scripted:
// binding a DEVMODE object to the device throws, and the page end cannot
// be made.
//
// SpoolerProviderNT puts the spooler port provider in the registry for its
// life, as enabling the driver does, so that a job's document start finds
// the port to the spooler. Fixtures alive at once must end in the reverse
// order of their making.
//
// PdevNT is what the engine keeps of one PDEV: the record the device is
// reached through, the capability records and pattern slots it hands to
// enablePDEV, and an engine device registered with the stand-in engine,
// which a surface is associated with.

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/outport.h"
#include "device/printer.h"
#include "host/engine/engine.h"
#include "host/engine/internal.h"
#include "journal/passthru.h"
#include "kernel/devicent.h"
#include "kernel/tests/settingsfix.h"
#include "tools/printer/printer.h"

class TestDeviceNT : public GDeviceNT {
 public:
  explicit TestDeviceNT(const StandInPrinter& printer, const PrinterModel& model = settingsModel())
      : GDeviceNT(printer.handle, RWWString(u"Test Printer"), RWWString(u"Test Driver"), RWWString(u"LPT1:")),
        dataFile_(printer.dataFile) {
    std::string error;
    std::unique_ptr<GAttributeComposite> top = buildPrinterTree(model, error);
    EXPECT_TRUE(top) << error;
    if (top) handOverTree(*top, *this);
  }

  RWWString printerDataFileName() const override { return dataFile_; }
  GPageEnd* makePageEnd() override { return failPageEnd ? nullptr : GDeviceNT::makePageEnd(); }
  [[nodiscard]] GStatus send(GCommand* command) override {
    if (command) {
      const auto* bytes = dynamic_cast<const GPassThroughCommand*>(command);
      sent.push_back({command->isA(), bytes ? std::string(reinterpret_cast<const char*>(bytes->data()),
                                                          bytes->length())
                                            : std::string()});
    }
    return GDeviceNT::send(command);
  }

  bool failBind = false;
  bool failPageEnd = false;
  // What the device sent, in order: each command's class, and the bytes of
  // a pass-through.
  struct Sent {
    RWClassID kind;
    std::string bytes;
  };
  std::vector<Sent> sent;

 protected:
  void bindDevMode(GPrinterDevModeNT& devmode) override {
    if (failBind) throw std::runtime_error("bind");
    GDeviceNT::bindDevMode(devmode);
  }

 private:
  RWWString dataFile_;
};

class SpoolerProviderNT {
 public:
  // One already there (of another fixture alive now) is left in place. As
  // the driver's enable does, a job's port is asked for with its device.
  SpoolerProviderNT()
      : added_(GOutputPortProviderRegistry::instance().add(&provider_, kName) == 0),
        previousInstanceOf_(gSetDeviceInstanceOf([](GDevice* device) -> GDriverInstance* { return device; })) {}
  ~SpoolerProviderNT() {
    gSetDeviceInstanceOf(previousInstanceOf_);
    if (added_) GOutputPortProviderRegistry::instance().remove(kName);
  }
  SpoolerProviderNT(const SpoolerProviderNT&) = delete;
  SpoolerProviderNT& operator=(const SpoolerProviderNT&) = delete;

 private:
  static constexpr const char* kName = "Basic Spooler";
  GSpoolerProvider provider_;
  bool added_;
  GDeviceInstanceOf previousInstanceOf_;
};

struct PdevNT {
  explicit PdevNT(HANDLE printer) {
    engine.printer = printer;
    engine.dhpdev = reinterpret_cast<DHPDEV>(&record);
    eng::detail::track(eng::detail::Kind::Device, &engine);
  }
  ~PdevNT() { eng::detail::untrack(eng::detail::Kind::Device, &engine); }
  PdevNT(const PdevNT&) = delete;
  PdevNT& operator=(const PdevNT&) = delete;

  HDEV hdev() { return reinterpret_cast<HDEV>(&engine); }

  // enablePDEV with the DEVMODE (none when empty) and the printer's port
  // as the logical address, as the engine calls it; the record leads to
  // the device.
  int32_t enable(GDeviceNT& device, const std::vector<uint8_t>& devmode = {}) {
    record.device = &device;
    std::vector<uint8_t> dm = devmode;
    std::u16string port = u"LPT1:";
    std::u16string name = u"Test Printer";
    return device.enablePDEV(&record, dm.empty() ? nullptr : dm.data(), port.data(), HS_DDI_MAX, patterns,
                             sizeof gdi, &gdi, sizeof devinfo, &devinfo, hdev(), name.data(), engine.printer);
  }
  // enablePDEV, completePDEV and enableSurface: whether all went through.
  bool open(GDeviceNT& device, const std::vector<uint8_t>& devmode = {}) {
    if (!enable(device, devmode)) return false;
    device.completePDEV(hdev());
    return device.enableSurface() != nullptr;
  }

  GPdevRecordNT record;
  GDIINFO gdi = {};
  DEVINFO devinfo = {};
  HSURF patterns[HS_DDI_MAX] = {};
  eng::detail::Device engine;
};

#endif
