#ifndef KERNEL_TESTS_DDIFIX_H
#define KERNEL_TESTS_DDIFIX_H

// The driver image driven through its DDI entries by hand, for the tests of
// the entries and of the devices behind them.
//
// BuiltPrinter is a stand-in printer whose data file the printer
// configuration builder wrote from a model. DdiDriver loads the test build
// of the driver and enables it; its entries are called by index. OpenPdev
// enables a PDEV for a printer as the engine does (an engine device,
// DrvEnablePDEV, DrvCompletePDEV, DrvEnableSurface) and takes it down again
// in the engine's order, whatever state the test left it in.

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <memory>
#include <string>
#include <vector>

#include "core/attrib.h"
#include "host/engine/engine.h"
#include "testkit/tmpdir.h"
#include "tools/printer/printer.h"

class BuiltPrinter {
 public:
  explicit BuiltPrinter(const PrinterModel& model = PrinterModel{}, const std::u16string& name = u"Test Printer",
                        const std::u16string& driver = u"Test Driver") {
    std::string error;
    std::unique_ptr<GAttributeComposite> tree = buildPrinterTree(model, error);
    EXPECT_TRUE(tree) << error;
    if (tree) {
      EXPECT_TRUE(writePrinterTree(*tree, dir.hostPath() + "/printer.cfg", error)) << error;
    }
    eng::PrinterSetup setup;
    setup.printerName = name;
    setup.driverName = driver;
    setup.portName = u"LPT1:";
    const std::string data = dir.file("printer.cfg");
    setup.dataFile.assign(data.begin(), data.end());
    handle = eng::addPrinter(setup);
    this->name = name;
  }
  ~BuiltPrinter() { eng::removePrinter(handle); }
  BuiltPrinter(const BuiltPrinter&) = delete;
  BuiltPrinter& operator=(const BuiltPrinter&) = delete;

  // The bytes the printer's spool jobs hold, in order.
  std::vector<std::string> jobs() const;

  TempDir dir;
  HANDLE handle = nullptr;
  std::u16string name;
};

class DdiDriver {
 public:
  DdiDriver();
  ~DdiDriver();
  DdiDriver(const DdiDriver&) = delete;
  DdiDriver& operator=(const DdiDriver&) = delete;

  bool ok() const { return enabled_; }
  template <typename F>
  F entry(ULONG index) const {
    for (ULONG i = 0; i < ded_.c; ++i)
      if (ded_.pdrvfn[i].iFunc == index) return reinterpret_cast<F>(ded_.pdrvfn[i].pfn);
    return nullptr;
  }
  // The probe's view inside the driver.
  unsigned deviceEntries() const { return deviceEntries_(); }
  unsigned isAborted(DHPDEV pdev) const { return isAborted_(pdev); }
  void setAborted(DHPDEV pdev, unsigned aborted) const { setAborted_(pdev, aborted); }

 private:
  void* image_ = nullptr;
  bool enabled_ = false;
  DRVENABLEDATA ded_{};
  PFN_DrvDisableDriver disable_ = nullptr;
  unsigned (*deviceEntries_)() = nullptr;
  unsigned (*isAborted_)(DHPDEV) = nullptr;
  void (*setAborted_)(DHPDEV, unsigned) = nullptr;
};

class OpenPdev {
 public:
  // Enables the PDEV and, unless told not to, its surface; the DEVMODE is
  // the engine's public one of the fields given.
  OpenPdev(const DdiDriver& driver, const BuiltPrinter& printer,
           const eng::PublicDevMode& devmode = eng::PublicDevMode(), bool withSurface = true);
  ~OpenPdev();
  OpenPdev(const OpenPdev&) = delete;
  OpenPdev& operator=(const OpenPdev&) = delete;

  // The device surface the engine hands the drawing and document entries.
  SURFOBJ* surface() const { return state.so; }

  // Entries on this PDEV, answering what the entry answered.
  // Opens the printer's spool job first; endDoc closes it after the call.
  [[nodiscard]] BOOL startDoc(const char16_t* name = u"Doc");
  [[nodiscard]] BOOL endDoc(FLONG flags = 0);
  [[nodiscard]] BOOL startPage();
  [[nodiscard]] BOOL sendPage();
  HSURF enableSurface();
  void disableSurface();
  void disablePdev();
  [[nodiscard]] BOOL paint();
  [[nodiscard]] BOOL bitBlt();

  const DdiDriver& driver;
  const BuiltPrinter& printer;
  HDEV hdev = nullptr;
  DHPDEV pdev = nullptr;
  HSURF hsurf = nullptr;
  eng::SurfaceState state;
  GDIINFO gdi{};
  DEVINFO devinfo{};
  HSURF patterns[HS_DDI_MAX] = {};
  bool jobOpen = false;
};

#endif
