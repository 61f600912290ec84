#ifndef KERNEL_DESCNT_H
#define KERNEL_DESCNT_H

// What identifies a printer, and a printer's device, to the driver server in
// the kernel build.
//
// A printer description holds the spooler's printer handle and three names:
// the printer's (device name), its driver's (model name) and its port's.
// Made from a handle and a device name, it asks the spooler for the
// printer's level-2 record and takes the names from there; a printer the
// spooler cannot describe keeps the name it was given, with empty model and
// port names.
//
// A device description adds the engine's device handle. Two descriptions
// are equal only when they are of one class and every field matches: the
// driver server re-uses a cached device only for an equal description, so
// a printer never inherits another printer's configuration, even of the
// same model.

#include <cstddef>
#include <cstdint>

#include "device/prndesc.h"
#include "host/engine/ddi.h"
#include "rw/wstring.h"

class GPrinterDescriptionNT : public GPrinterDescription {
 public:
  // No printer, and empty names.
  GPrinterDescriptionNT();
  // The names the spooler keeps for the printer (see above); with a null
  // handle, the given name and empty model and port names.
  GPrinterDescriptionNT(HANDLE printer, const RWWString& deviceName);
  // Every field as given; the spooler is not asked.
  GPrinterDescriptionNT(HANDLE printer, const RWWString& deviceName, const RWWString& modelName,
                        const RWWString& portName);
  GPrinterDescriptionNT(const GPrinterDescriptionNT&) = default;
  GPrinterDescriptionNT& operator=(const GPrinterDescriptionNT&) = default;
  ~GPrinterDescriptionNT() override;

  // Of the same class, with the same handle and the same three names
  // (length and content).
  bool equals(const GPrinterDescription& other) const override;
  // Another NT description whose model name is the same; the handles and
  // the other names may differ.
  virtual bool sameModel(const GPrinterDescription& other) const;

  HANDLE printerHandle() const { return printer_; }
  const RWWString& deviceName() const { return deviceName_; }
  const RWWString& modelName() const { return modelName_; }
  const RWWString& portName() const { return portName_; }

 private:
  void readPrinterRecord();

  HANDLE printer_ = nullptr;
  RWWString deviceName_;
  RWWString modelName_;
  RWWString portName_;
};

class GDeviceDescriptionNT : public GPrinterDescriptionNT {
 public:
  GDeviceDescriptionNT();
  // The printer's names as GPrinterDescriptionNT reads them.
  GDeviceDescriptionNT(HANDLE printer, const RWWString& deviceName, HDEV engineDevice);
  GDeviceDescriptionNT(HANDLE printer, const RWWString& deviceName, const RWWString& modelName,
                       const RWWString& portName, HDEV engineDevice);
  GDeviceDescriptionNT(const GDeviceDescriptionNT&) = default;
  GDeviceDescriptionNT& operator=(const GDeviceDescriptionNT&) = default;
  ~GDeviceDescriptionNT() override;

  // The printer description's equality, and the same engine device.
  bool equals(const GPrinterDescription& other) const override;

  HDEV engineDevice() const { return engineDevice_; }

 private:
  HDEV engineDevice_ = nullptr;
};

// The string a field of a spooler record points at, read only inside the
// block the engine filled (size bytes from block). A null pointer, one
// outside the block or not on a character boundary of it, or a string whose
// terminator is not inside the block, is absent: the answer is false and
// out is left alone.
bool gRecordString(const uint8_t* block, size_t size, const WCHAR* field, RWWString& out);

#endif
