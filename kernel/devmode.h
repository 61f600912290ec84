#ifndef KERNEL_DEVMODE_H
#define KERNEL_DEVMODE_H

// The driver's DEVMODE: the engine's public part followed by a private part
// only this driver reads, 1172 bytes in all, with every integer
// little-endian and every name in 16-bit characters (the private printer
// name excepted, which is 8-bit). The private part carries the whole
// settings tree, stored and zlib-compressed, so that a job's settings
// survive the trip through the spooler and the application.
//
// A DEVMODE is handled as bytes, never through a struct laid over them:
// kernel/dmbytes.h names the offsets and the dmFields bits (DevModeLayout)
// and reads a buffer within a known length (GDevModeView). A DEVMODE from outside (an application's,
// the spooler's) is hostile until checked: its first 72 bytes are read to
// learn dmSize and dmDriverExtra, and from then on nothing past
// dmSize + dmDriverExtra is read, and no public field that does not lie
// inside dmSize.
//
// GDevMode is the abstract owner of one buffer; GDevModeNT has the whole
// behaviour, the field mapping to and from the settings tree included
// (dmmap.cpp); GPrinterDevModeNT is bound to a printer's settings part and
// adds the steps that need the spooler's forms (the form name, the
// printer's default DEVMODE). None of them is persistent.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "host/engine/ddi.h"
#include "kernel/dmbytes.h"
#include "kernel/runtime.h"
#include "rw/cstring.h"
#include "rw/wstring.h"

class GAttributeComposite;
class GConfiguration;
class GDeviceSettingsNT;
class GDriverInstance;

// The abstract owner of one DEVMODE buffer. Its mapping operations answer
// 0 here.
class GDevMode {
 public:
  // A zero-filled 1172-byte buffer with the private header written: total
  // size 1172, header size 46, device and platform values 0, marks 4 and
  // 50, packed length 0.
  explicit GDevMode(GDriverInstance* device);
  // The device and as many bytes of the other's buffer as it has (at most
  // 1172), the rest zero-filled.
  GDevMode(const GDevMode& other);
  GDevMode& operator=(const GDevMode&) = delete;

  // ---- virtual operations, in slot order ---------------------------------------
  virtual ~GDevMode();
  virtual void setDevice(GDriverInstance* device);
  // The whole DEVMODE into a caller's buffer of totalSize bytes: 1, or 0
  // for a null buffer.
  virtual int32_t copyTo(uint8_t* buffer);
  // A foreign DEVMODE: 1, or 0 for null.
  virtual int32_t takeFrom(const uint8_t* devmode);
  virtual int32_t assign(const GDevMode& other);
  // Fills the public part from the tree and packs the tree into the
  // private part: 1, or 0 when the packed tree does not fit.
  virtual int32_t storeSettings(GAttributeComposite* settings);
  virtual int32_t settingsToPublic(GAttributeComposite* settings, uint8_t* devmode);
  virtual int32_t publicToSettings(const uint8_t* devmode, GAttributeComposite* settings);
  virtual RWWString deviceName();
  virtual RWWString printerName8();
  virtual int32_t isPrinterBound();
  virtual void setPrintQuality(int16_t quality);
  virtual void setPrintQualityRaw(int16_t quality);
  virtual uint8_t* buffer();
  // The tree the private part carries, owned by the caller; null when none.
  virtual GAttributeComposite* restoreSettings();
  virtual size_t totalSize();
  virtual size_t publicSize();
  virtual size_t privateHeaderSize();
  virtual size_t privateDataSize();
  virtual size_t devmodeSize();
  virtual int32_t takenFromPrinter();
  virtual int16_t printQuality();
  virtual int16_t resolvedPrintQuality();
  virtual void copyPackedOut(uint8_t* area);
  virtual void copyPackedIn(const uint8_t* area);
  // The compressed length, or 0 when the tree cannot be packed into the
  // capacity (the area is then unchanged).
  virtual uint16_t packSettings(uint8_t* area, size_t capacity, GAttributeComposite* settings);
  // A new tree from a packed area, or null.
  virtual GAttributeComposite* unpackSettings(const uint8_t* area, size_t length);
  virtual void copyPublicTo(uint8_t* buffer);
  // Merges a foreign DEVMODE's public fields: 1 when it has the driver's
  // own format (its private part may then be taken too), else 0; out the
  // size it declares.
  virtual int32_t mergeFrom(const uint8_t* devmode, size_t& size);
  virtual void copyPublicFrom(const uint8_t* buffer);

  GDriverInstance* device() const { return device_; }
  const uint8_t* bytes() const { return buffer_.get(); }
  GDevModeView view() const { return GDevModeView(buffer_.get(), buffer_ ? bufferSize_ : 0); }
  GDevModeWriter writer() { return GDevModeWriter(buffer_.get(), buffer_ ? bufferSize_ : 0); }

 protected:
  GDriverInstance* device_;
  std::unique_ptr<uint8_t, KernelHeapFree> buffer_;
  size_t bufferSize_;
  uint32_t takenFromPrinter_;
};

// The NT DEVMODE object: the whole behaviour and the field mapping.
class GDevModeNT : public GDevMode {
 public:
  explicit GDevModeNT(GDriverInstance* device);
  GDevModeNT(const GDevModeNT& other);
  ~GDevModeNT() override;

  void setDevice(GDriverInstance* device) override;
  int32_t copyTo(uint8_t* buffer) override;
  int32_t takeFrom(const uint8_t* devmode) override;
  int32_t assign(const GDevMode& other) override;
  int32_t storeSettings(GAttributeComposite* settings) override;
  int32_t settingsToPublic(GAttributeComposite* settings, uint8_t* devmode) override;
  int32_t publicToSettings(const uint8_t* devmode, GAttributeComposite* settings) override;
  RWWString deviceName() override;
  RWWString printerName8() override;
  int32_t isPrinterBound() override { return 0; }
  void setPrintQuality(int16_t quality) override;
  GAttributeComposite* restoreSettings() override;
  int16_t resolvedPrintQuality() override;
  uint16_t packSettings(uint8_t* area, size_t capacity, GAttributeComposite* settings) override;
  GAttributeComposite* unpackSettings(const uint8_t* area, size_t length) override;
  int32_t mergeFrom(const uint8_t* devmode, size_t& size) override;

  // ---- virtual operations GDevModeNT adds, in slot order -------------------------
  virtual void adjustColor();
  virtual void checkCollate();
  virtual uint16_t specVersion();
  virtual uint16_t driverVersion();
  // 1 when valid, else 0 with the dmFields bits of the offending fields in
  // the mask; mode 1 runs every check, another mode stops at the first
  // failure. The DEVMODE is the object's own kind of buffer (1172 bytes).
  virtual int32_t validate(uint8_t* devmode, int32_t mode, uint32_t& mask);
  virtual void setDefaults();
  // The merge steps: each acts only when the field's bit is set in both
  // DEVMODEs and answers 1 when it does not act.
  virtual int32_t mergeOrientation(const GDevModeView& foreign);
  virtual int32_t mergePrintQuality(const GDevModeView& foreign);
  virtual int32_t mergePaperSize(const GDevModeView& foreign);
  virtual int32_t mergeDefaultSource(const GDevModeView& foreign);
  virtual int32_t mergeCopies(const GDevModeView& foreign);
  virtual int32_t mergeMediaAndDither(const GDevModeView& foreign);
  virtual int32_t mergeColor(const GDevModeView& foreign);
  virtual int32_t mergeDuplex(const GDevModeView& foreign);
  virtual int32_t mergeCollate(const GDevModeView& foreign);
  virtual int32_t mergeFormName(const GDevModeView& foreign);
  // The printer's resolution entry (206) for a print quality: 1 and its
  // 323, 324 and 325, or 0.
  virtual int32_t qualityToResolution(int16_t quality, int16_t& x, int16_t& y, int16_t& bits);
  // The print-quality code (902) of the last entry with that 323: 1, or 0.
  virtual int32_t resolutionToQuality(int16_t x, int16_t& code);
  // The form-name checks; neither DEVMODE class has one: 0.
  virtual int32_t checkFormName(const RWWString& name, int16_t x, int16_t y, int32_t angle);
  virtual int32_t checkFormNameAlternate(const RWWString& name, int16_t x, int16_t y, int32_t angle);
  virtual int32_t sourceToTrayName(GAttributeComposite* settings, int16_t source, RWCString& name);
  virtual int32_t trayNameToSource(GAttributeComposite* settings, const RWCString& name, int16_t& source);

 protected:
  // The printer's settings composite (the printer Config), or null.
  GConfiguration* printerSettings() const;
};

// The DEVMODE object every NT device creates: bound to the device's
// settings part, which answers the forms questions.
class GPrinterDevModeNT : public GDevModeNT {
 public:
  // The printer's default DEVMODE when a printer handle is given and it is
  // the driver's own, else the defaults; then the colour adjusted.
  GPrinterDevModeNT(GDeviceSettingsNT* settings, HANDLE printer);
  GPrinterDevModeNT(const GPrinterDevModeNT& other);
  ~GPrinterDevModeNT() override;

  // The settings part answers the forms questions too, when the device
  // is one; an object moved to another device must not ask its old one.
  void setDevice(GDriverInstance* device) override;
  int32_t copyTo(uint8_t* buffer) override;
  int32_t isPrinterBound() override { return 1; }
  int32_t settingsToPublic(GAttributeComposite* settings, uint8_t* devmode) override;
  int32_t publicToSettings(const uint8_t* devmode, GAttributeComposite* settings) override;
  uint16_t specVersion() override;
  int32_t mergeFormName(const GDevModeView& foreign) override;

  // ---- virtual operations GPrinterDevModeNT adds, in slot order -------------------
  // The printer's default DEVMODE, taken whole when it is the driver's own
  // format: 1, else 0 with the buffer unchanged.
  virtual int32_t takePrinterDefault(HANDLE printer);
  // Whether a DEVMODE (within the given readable length) has the driver's
  // own format; 0 for null.
  virtual int32_t isOwnFormat(const GDevModeView& devmode);
  // The first form of the forms list with exactly that name that passes
  // the form-to-paper check: 1 and its 1-based index, else 0.
  virtual int32_t formIndexByName(const RWWString& name, int32_t& index, int16_t x, int16_t y, int32_t angle,
                                  int32_t rangeCheck);
  // formIndexByName at the object's resolution and orientation.
  virtual int32_t formIndexForName(const RWWString& name, int32_t& index, int32_t rangeCheck);

  GDeviceSettingsNT* settingsPart() const { return settings_; }

 private:
  GDeviceSettingsNT* settings_;
};

#endif
