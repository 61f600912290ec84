#ifndef TOOLS_PRINTER_PLATFORM_H
#define TOOLS_PRINTER_PLATFORM_H

// The user-mode platform's devices: what the host's factory makes when the
// driver server registers a printer, over the data files the builder
// writes. printerMakers answers the makers a host installs
// (HostOptions::makers):
//
//   device              a HostDevice of the description
//   interface instance  a HostInterfaceInstance of the description
//   font metrics        metrics whose every query fails (no engine fonts)
//   spooler port        a file port writing to the port name
//   configuration file  the data file the owner's description names
//
// A description is a printer name and the path of the printer's data
// file; two are equal when both are.

#include <cstdint>

#include "device/device.h"
#include "device/drvinst.h"
#include "device/prndesc.h"
#include "host/win32/options.h"
#include "rw/wstring.h"

class HostPrinterDescription : public GPrinterDescription {
 public:
  HostPrinterDescription(const RWWString& printerName, const RWWString& dataFile)
      : printerName_(printerName), dataFile_(dataFile) {}
  bool equals(const GPrinterDescription& other) const override;

  const RWWString& printerName() const { return printerName_; }
  const RWWString& dataFile() const { return dataFile_; }

 private:
  RWWString printerName_;
  RWWString dataFile_;
};

// A device of the user-mode platform. Its settings are the builder's
// settings tree over its configuration, made when the first job asks.
class HostDevice : public GDevice {
 public:
  explicit HostDevice(const HostPrinterDescription& description);
  ~HostDevice() override;

  int32_t platformHookA() override { return 0; }
  int32_t platformHookB() override { return 0; }
  int32_t devicePlatformHook() override { return 0; }
  GAttributeComposite* createSettings() override;
  GAttributeComposite* defaultSettings() override;
  GPrinterDescription* printerDescription() override;
  // The scripted status; 0 lets every drawing through.
  [[nodiscard]] GStatus checkDrawing(GCommand*) override { return drawingStatus; }
  void finishPath(int32_t) override {}
  int32_t closesNestedPath(int32_t) override { return 1; }

  const HostPrinterDescription& description() const { return description_; }

  GStatus drawingStatus = 0;

 private:
  HostPrinterDescription description_;
};

// The printer object of the user-interface host. Its settings are the
// builder's, with the paper (260 in the document settings) a media id, the
// locale's paper, as a user's settings name their paper; the configuration
// is stored through the provider registry (the base's saveConfiguration:
// 603 without a store).
//
// There is no forms database here: the papers it offers are the media of
// the printer's pool, each media id once in pool order (the custom-size
// bounds 17385 and 17384 are no paper), then the custom sizes of the
// settings (276) in their order. enumeratePapers walks them all;
// enumerateFittingPapers only those that fit, at the settings' resolution
// (323, 324 in 249) and angle (265), between the smallest (17385) and the
// largest (17384) custom size of the pool when the range check is asked
// for, and that the settings' form-to-tray database (510) places in a
// tray while it is in use. Both call the routine with the running count
// from 1, the media id and the name, stop when it answers other than 1,
// and answer the count reported.
class HostInterfaceInstance : public GInterfaceInstance {
 public:
  explicit HostInterfaceInstance(const HostPrinterDescription& description) : description_(description) {}

  int32_t platformHookA() override { return 0; }
  int32_t platformHookB() override { return 0; }
  GAttributeComposite* createSettings() override;
  GAttributeComposite* defaultSettings() override;
  GPrinterDescription* printerDescription() override;
  // The settings given, else the instance's.
  [[nodiscard]] int32_t enumeratePapers(GPaperCallback routine, void* data, GAttributeComposite* settings) override;
  [[nodiscard]] int32_t enumerateFittingPapers(GPaperCallback routine, void* data, int32_t rangeCheck,
                                 GAttributeComposite* settings) override;

  const HostPrinterDescription& description() const { return description_; }

 private:
  HostPrinterDescription description_;
};

HostMakers printerMakers();

#endif
