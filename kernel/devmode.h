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
// DevModeLayout names the offsets and the dmFields bits, GDevModeView reads
// a buffer within a known length. A DEVMODE from outside (an application's,
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
#include "kernel/runtime.h"
#include "rw/cstring.h"
#include "rw/wstring.h"

class GAttributeComposite;
class GConfiguration;
class GDeviceSettingsNT;
class GDriverInstance;

namespace DevModeLayout {
// Sizes.
constexpr size_t kTotalSize = 1172;
constexpr size_t kPublicSize = 220;
constexpr size_t kPrivateHeaderSize = 46;
constexpr size_t kPrivateDataSize = 906;
constexpr size_t kPackedCapacity = 902;
// What must be readable before dmSize and dmDriverExtra are known.
constexpr size_t kHeaderSize = 72;
constexpr size_t kNameUnits = 32;

// Public part.
constexpr size_t kDeviceName = 0;
constexpr size_t kSpecVersion = 64;
constexpr size_t kDriverVersion = 66;
constexpr size_t kSize = 68;
constexpr size_t kDriverExtra = 70;
constexpr size_t kFields = 72;
constexpr size_t kOrientation = 76;
constexpr size_t kPaperSize = 78;
constexpr size_t kPaperLength = 80;
constexpr size_t kPaperWidth = 82;
constexpr size_t kScale = 84;
constexpr size_t kCopies = 86;
constexpr size_t kDefaultSource = 88;
constexpr size_t kPrintQuality = 90;
constexpr size_t kColor = 92;
constexpr size_t kDuplex = 94;
constexpr size_t kYResolution = 96;
constexpr size_t kTTOption = 98;
constexpr size_t kCollate = 100;
constexpr size_t kFormName = 102;
constexpr size_t kLogPixels = 166;
constexpr size_t kDisplayFields = 168;  // five 32-bit fields
constexpr size_t kMediaType = 188;
constexpr size_t kDitherType = 192;
constexpr size_t kReservedFields = 196;  // six 32-bit fields

// Private part.
constexpr size_t kPrivateTotalSize = 220;
constexpr size_t kPrivateHeader = 222;
constexpr size_t kPrinterName8 = 224;  // 32 bytes, the last always 0
constexpr size_t kDeviceValue = 256;
constexpr size_t kPlatformValue = 260;
constexpr size_t kMarkA = 262;
constexpr size_t kMarkB = 264;
constexpr size_t kPackedLength = 266;
constexpr size_t kPackedCapacityField = 268;
constexpr size_t kPacked = 270;

// Values the driver writes.
constexpr uint16_t kSpecVersionValue = 0x0401;
constexpr uint16_t kDriverVersionValue = 0x0018;
constexpr uint16_t kMarkAValue = 4;
constexpr uint16_t kMarkBValue = 50;

// dmFields bits.
constexpr uint32_t kFieldOrientation = 0x1;
constexpr uint32_t kFieldPaperSize = 0x2;
constexpr uint32_t kFieldPaperLength = 0x4;
constexpr uint32_t kFieldPaperWidth = 0x8;
constexpr uint32_t kFieldCopies = 0x100;
constexpr uint32_t kFieldDefaultSource = 0x200;
constexpr uint32_t kFieldPrintQuality = 0x400;
constexpr uint32_t kFieldColor = 0x800;
constexpr uint32_t kFieldDuplex = 0x1000;
constexpr uint32_t kFieldYResolution = 0x2000;
constexpr uint32_t kFieldCollate = 0x8000;
constexpr uint32_t kFieldFormName = 0x10000;
constexpr uint32_t kFieldMediaType = 0x02000000;
constexpr uint32_t kFieldDitherType = 0x04000000;

static_assert(kPublicSize == 220 && kPrivateHeaderSize == 46 && kPrivateDataSize == 906 && kTotalSize == 1172);
static_assert(kPublicSize + kPrivateHeaderSize + kPrivateDataSize == kTotalSize);
static_assert(kPacked + kPackedCapacity == kTotalSize);
static_assert(kPrivateHeaderSize + kPrivateDataSize == 952);
}  // namespace DevModeLayout

// Reads of DEVMODE bytes within a known length. A read that does not lie
// wholly inside the readable length answers 0 (or an empty name).
class GDevModeView {
 public:
  // A buffer of the driver's own, every byte of which is readable.
  GDevModeView(const uint8_t* data, size_t length) : data_(data), length_(length), publicLength_(length) {}

  // A DEVMODE from outside, of which only the header is known readable:
  // reads dmSize and dmDriverExtra, then allows reads within
  // max(72, dmSize + dmDriverExtra) bytes, public fields only within
  // dmSize. A null pointer gives an empty view.
  static GDevModeView foreign(const uint8_t* devmode);

  const uint8_t* data() const { return data_; }
  bool isNull() const { return data_ == nullptr; }
  // The readable length, and dmSize + dmDriverExtra as the DEVMODE says.
  size_t length() const { return length_; }
  size_t declaredLength() const { return static_cast<size_t>(dmSize()) + driverExtra(); }

  // Whether [offset, offset + width) lies inside the readable length, and
  // inside dmSize too.
  bool inside(size_t offset, size_t width) const { return data_ && offset + width <= length_; }
  bool inPublic(size_t offset, size_t width) const { return inside(offset, width) && offset + width <= publicLength_; }

  uint16_t u16(size_t offset) const;
  int16_t s16(size_t offset) const { return static_cast<int16_t>(u16(offset)); }
  uint32_t u32(size_t offset) const;

  uint16_t specVersion() const { return u16(DevModeLayout::kSpecVersion); }
  uint16_t driverVersion() const { return u16(DevModeLayout::kDriverVersion); }
  uint16_t dmSize() const { return u16(DevModeLayout::kSize); }
  uint16_t driverExtra() const { return u16(DevModeLayout::kDriverExtra); }
  // dmFields; 0 when dmSize does not reach past it.
  uint32_t fields() const { return inPublic(DevModeLayout::kFields, 4) ? u32(DevModeLayout::kFields) : 0; }
  // A public 16-bit field, and whether the DEVMODE has it: the field lies
  // inside dmSize.
  bool hasField(size_t offset) const { return inPublic(offset, 2); }
  int16_t field(size_t offset) const { return inPublic(offset, 2) ? s16(offset) : 0; }

  // A 16-bit name of at most 32 units, ending at the first 0; the units
  // that are not readable are not read.
  RWWString wideName(size_t offset) const;
  // An 8-bit name of at most 31 bytes, ending at the first 0.
  RWCString narrowName(size_t offset) const;

 private:
  const uint8_t* data_;
  size_t length_;
  size_t publicLength_;
};

// Writes into a buffer of the driver's own, within its length; a write
// that does not fit does nothing.
class GDevModeWriter {
 public:
  GDevModeWriter(uint8_t* data, size_t length) : data_(data), length_(length) {}
  void put16(size_t offset, uint16_t value);
  void put32(size_t offset, uint32_t value);
  // At most 31 characters and a terminating 0, the rest of the 32 units 0.
  void putWideName(size_t offset, const RWWString& name);
  // The low bytes of at most 31 characters, the rest of the 32 bytes 0.
  void putNarrowName(size_t offset, const RWWString& name);
  void setField(uint32_t bit, bool on);

 private:
  uint8_t* data_;
  size_t length_;
};

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
