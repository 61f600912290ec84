#ifndef KERNEL_DMBYTES_H
#define KERNEL_DMBYTES_H

// The DEVMODE as bytes: the layout of the driver's 1172-byte DEVMODE (the
// engine's 220-byte public part, then the 952-byte private part), a view
// that reads a buffer within a known length, and a writer into a buffer of
// the driver's own. Every integer is little-endian; every name but the
// private 8-bit printer name is in 16-bit characters.
//
// No struct is laid over the bytes. A read that does not lie wholly inside
// the readable length answers 0 (or an empty name); a write that does not
// fit does nothing. A DEVMODE from outside is read through
// GDevModeView::foreign, which trusts nothing past its first 72 bytes until
// dmSize and dmDriverExtra have been read from them.

#include <cstddef>
#include <cstdint>

#include "rw/cstring.h"
#include "rw/wstring.h"

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

#endif
