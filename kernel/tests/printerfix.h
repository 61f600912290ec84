#ifndef KERNEL_TESTS_PRINTERFIX_H
#define KERNEL_TESTS_PRINTERFIX_H

// A printer on the engine stand-in, and driver instances that lead to it or
// to no printer at all, for the tests of what the platform services do with
// a printer.
//
// StandInPrinter adds a printer whose named values the engine keeps in a
// values file inside its own temporary folder; it is removed again with the
// fixture. TestOwner is a driver instance with the owner interface,
// answering that printer's handle and data file name (or a null handle, for
// an owner without a printer); NotAnOwner is a driver instance without it.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "device/drvinst.h"
#include "host/engine/engine.h"
#include "kernel/prtdata.h"
#include "rw/wstring.h"
#include "testkit/tmpdir.h"

class StandInPrinter {
 public:
  // Forms after the built-in ones, a default DEVMODE and a server name, as
  // the printer's record gives them; none by default.
  explicit StandInPrinter(std::vector<eng::Form> forms = {}, std::vector<uint8_t> devmode = {},
                          std::u16string server = u"") {
    eng::PrinterSetup setup;
    setup.forms = std::move(forms);
    setup.devmode = std::move(devmode);
    setup.serverName = std::move(server);
    setup.printerName = u"Test Printer";
    setup.driverName = u"Test Driver";
    setup.portName = u"LPT1:";
    const std::string data = dir.file("printer.cfg");
    setup.dataFile.assign(data.begin(), data.end());
    valuesFile = dir.hostPath() + "/values";
    setup.valuesFile = valuesFile;
    handle = eng::addPrinter(setup);
    dataFile = RWWString(data.c_str());
  }
  ~StandInPrinter() { eng::removePrinter(handle); }
  StandInPrinter(const StandInPrinter&) = delete;
  StandInPrinter& operator=(const StandInPrinter&) = delete;

  TempDir dir;
  std::string valuesFile;  // host path of the engine's copy of the values
  RWWString dataFile;      // NT name of the printer's data file
  HANDLE handle = nullptr;
};

// The pure operations of a driver instance, none of which the platform
// services call.
#define PRINTERFIX_INSTANCE_STUBS                                                  \
  int32_t platformHookA() override { return 0; }                                   \
  GDevice* asDevice() override { return nullptr; }                                 \
  GInterfaceInstance* asInterfaceInstance() override { return nullptr; }           \
  int32_t platformHookB() override { return 0; }                                   \
  GAttributeComposite* createSettings() override { return nullptr; }              \
  void releaseResources() override {}                                              \
  GPrinterDescription* printerDescription() override { return nullptr; }           \
  GAttributeComposite* defaultSettings() override { return nullptr; }

class TestOwner : public GDriverInstance, public GPrinterOwnerNT {
 public:
  explicit TestOwner(const StandInPrinter& printer) : handle_(printer.handle), dataFile_(printer.dataFile) {}
  // An owner without a printer.
  TestOwner() = default;

  HANDLE printerHandle() const override { return handle_; }
  RWWString printerDataFileName() const override { return dataFile_; }

  PRINTERFIX_INSTANCE_STUBS

 private:
  HANDLE handle_ = nullptr;
  RWWString dataFile_;
};

class NotAnOwner : public GDriverInstance {
 public:
  PRINTERFIX_INSTANCE_STUBS
};

#undef PRINTERFIX_INSTANCE_STUBS

#endif
