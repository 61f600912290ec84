#include "kernel/devmode.h"

#include <algorithm>
#include <cstring>

#include "kernel/devsetnt.h"
#include "kernel/runtime.h"

using namespace DevModeLayout;

// ---------------------------------------------------------------- byte access

GDevModeView GDevModeView::foreign(const uint8_t* devmode) {
  if (!devmode) return GDevModeView(nullptr, 0);
  GDevModeView header(devmode, kHeaderSize);
  const size_t declared = header.declaredLength();
  GDevModeView view(devmode, std::max(kHeaderSize, declared));
  view.publicLength_ = header.dmSize();
  return view;
}

uint16_t GDevModeView::u16(size_t offset) const {
  if (!inside(offset, 2)) return 0;
  return static_cast<uint16_t>(data_[offset] | data_[offset + 1] << 8);
}

uint32_t GDevModeView::u32(size_t offset) const {
  if (!inside(offset, 4)) return 0;
  return static_cast<uint32_t>(data_[offset]) | static_cast<uint32_t>(data_[offset + 1]) << 8 |
         static_cast<uint32_t>(data_[offset + 2]) << 16 | static_cast<uint32_t>(data_[offset + 3]) << 24;
}

RWWString GDevModeView::wideName(size_t offset) const {
  RWWString name;
  for (size_t i = 0; i < kNameUnits && inside(offset + 2 * i, 2); ++i) {
    const uint16_t unit = u16(offset + 2 * i);
    if (unit == 0) break;
    name.append(static_cast<RWwchar>(unit));
  }
  return name;
}

RWCString GDevModeView::narrowName(size_t offset) const {
  RWCString name;
  for (size_t i = 0; i + 1 < kNameUnits && inside(offset + i, 1); ++i) {
    const uint8_t byte = data_[offset + i];
    if (byte == 0) break;
    name.append(static_cast<char>(byte));
  }
  return name;
}

void GDevModeWriter::put16(size_t offset, uint16_t value) {
  if (!data_ || offset + 2 > length_) return;
  data_[offset] = static_cast<uint8_t>(value);
  data_[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void GDevModeWriter::put32(size_t offset, uint32_t value) {
  if (!data_ || offset + 4 > length_) return;
  for (int i = 0; i < 4; ++i) data_[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

void GDevModeWriter::putWideName(size_t offset, const RWWString& name) {
  if (!data_ || offset + 2 * kNameUnits > length_) return;
  const size_t n = std::min<size_t>(name.length(), kNameUnits - 1);
  for (size_t i = 0; i < kNameUnits; ++i) put16(offset + 2 * i, i < n ? static_cast<uint16_t>(name[i]) : 0);
}

void GDevModeWriter::putNarrowName(size_t offset, const RWWString& name) {
  if (!data_ || offset + kNameUnits > length_) return;
  const size_t n = std::min<size_t>(name.length(), kNameUnits - 1);
  for (size_t i = 0; i < kNameUnits; ++i) data_[offset + i] = i < n ? static_cast<uint8_t>(name[i] & 0xFF) : 0;
}

void GDevModeWriter::setField(uint32_t bit, bool on) {
  const uint32_t fields = GDevModeView(data_, length_).u32(kFields);
  put32(kFields, on ? fields | bit : fields & ~bit);
}

// ---------------------------------------------------------------- GDevMode

GDevMode::GDevMode(GDriverInstance* device)
    : device_(device),
      buffer_(static_cast<uint8_t*>(kernelHeapAlloc(kTotalSize))),
      ownsBuffer_(1),
      bufferSize_(kTotalSize),
      takenFromPrinter_(0) {
  if (!buffer_) return;
  std::memset(buffer_, 0, kTotalSize);
  GDevModeWriter w = writer();
  w.put16(kPrivateTotalSize, kTotalSize);
  w.put16(kPrivateHeader, kPrivateHeaderSize);
  w.put32(kDeviceValue, 0);
  w.put16(kPlatformValue, 0);
  w.put16(kMarkA, kMarkAValue);
  w.put16(kMarkB, kMarkBValue);
  w.put16(kPackedLength, 0);
}

GDevMode::GDevMode(const GDevMode& other)
    : device_(other.device_),
      buffer_(static_cast<uint8_t*>(kernelHeapAlloc(kTotalSize))),
      ownsBuffer_(1),
      bufferSize_(kTotalSize),
      takenFromPrinter_(0) {
  if (!buffer_) return;
  std::memset(buffer_, 0, kTotalSize);
  if (other.buffer_) std::memcpy(buffer_, other.buffer_, std::min(other.bufferSize_, kTotalSize));
}

GDevMode::~GDevMode() {
  if (ownsBuffer_) kernelHeapFree(buffer_);
}

void GDevMode::setDevice(GDriverInstance* device) { device_ = device; }
int32_t GDevMode::copyTo(uint8_t*) { return 0; }
int32_t GDevMode::takeFrom(const uint8_t*) { return 0; }
int32_t GDevMode::assign(const GDevMode&) { return 0; }
int32_t GDevMode::storeSettings(GAttributeComposite*) { return 0; }
int32_t GDevMode::settingsToPublic(GAttributeComposite*, uint8_t*) { return 0; }
int32_t GDevMode::publicToSettings(const uint8_t*, GAttributeComposite*) { return 0; }
RWWString GDevMode::deviceName() { return RWWString(); }
RWWString GDevMode::printerName8() { return RWWString(); }
int32_t GDevMode::isPrinterBound() { return 0; }
void GDevMode::setPrintQuality(int16_t quality) { setPrintQualityRaw(quality); }
void GDevMode::setPrintQualityRaw(int16_t quality) { writer().put16(kPrintQuality, static_cast<uint16_t>(quality)); }
uint8_t* GDevMode::buffer() { return buffer_; }
GAttributeComposite* GDevMode::restoreSettings() { return nullptr; }
size_t GDevMode::totalSize() { return kTotalSize; }
size_t GDevMode::publicSize() { return kPublicSize; }
size_t GDevMode::privateHeaderSize() { return kPrivateHeaderSize; }
size_t GDevMode::privateDataSize() { return kPrivateDataSize; }
size_t GDevMode::devmodeSize() { return totalSize(); }
int32_t GDevMode::takenFromPrinter() { return static_cast<int32_t>(takenFromPrinter_); }
int16_t GDevMode::printQuality() { return view().s16(kPrintQuality); }
int16_t GDevMode::resolvedPrintQuality() { return printQuality(); }

void GDevMode::copyPackedOut(uint8_t* area) {
  if (area && buffer_) std::memcpy(area, buffer_ + kPacked, kPackedCapacity);
}

void GDevMode::copyPackedIn(const uint8_t* area) {
  if (area && buffer_) std::memcpy(buffer_ + kPacked, area, kPackedCapacity);
}

uint16_t GDevMode::packSettings(uint8_t*, size_t, GAttributeComposite*) { return 0; }
GAttributeComposite* GDevMode::unpackSettings(const uint8_t*, size_t) { return nullptr; }

void GDevMode::copyPublicTo(uint8_t* out) {
  if (out && buffer_) std::memcpy(out, buffer_, kPublicSize);
}

int32_t GDevMode::mergeFrom(const uint8_t*, size_t& size) {
  size = 0;
  return 0;
}

void GDevMode::copyPublicFrom(const uint8_t* in) {
  if (in && buffer_) std::memcpy(buffer_, in, kPublicSize);
}

// ---------------------------------------------------------------- GDevModeNT

GDevModeNT::GDevModeNT(GDriverInstance* device) : GDevMode(device) {}
GDevModeNT::GDevModeNT(const GDevModeNT& other) : GDevMode(other) {}
GDevModeNT::~GDevModeNT() = default;
void GDevModeNT::setDevice(GDriverInstance* device) { GDevMode::setDevice(device); }
int32_t GDevModeNT::copyTo(uint8_t*) { return 0; }
int32_t GDevModeNT::takeFrom(const uint8_t*) { return 0; }
int32_t GDevModeNT::assign(const GDevMode&) { return 0; }
int32_t GDevModeNT::storeSettings(GAttributeComposite*) { return 0; }
RWWString GDevModeNT::deviceName() { return RWWString(); }
RWWString GDevModeNT::printerName8() { return RWWString(); }
void GDevModeNT::setPrintQuality(int16_t quality) { setPrintQualityRaw(quality); }
GAttributeComposite* GDevModeNT::restoreSettings() { return nullptr; }
int16_t GDevModeNT::resolvedPrintQuality() { return printQuality(); }
uint16_t GDevModeNT::packSettings(uint8_t*, size_t, GAttributeComposite*) { return 0; }
GAttributeComposite* GDevModeNT::unpackSettings(const uint8_t*, size_t) { return nullptr; }
void GDevModeNT::adjustColor() {}
void GDevModeNT::checkCollate() {}
uint16_t GDevModeNT::specVersion() { return 0; }
uint16_t GDevModeNT::driverVersion() { return kDriverVersionValue; }
int32_t GDevModeNT::validate(uint8_t*, int32_t, uint32_t& mask) {
  mask = 0;
  return 0;
}
void GDevModeNT::setDefaults() {}
GConfiguration* GDevModeNT::printerSettings() const { return device_ ? device_->printerConfig() : nullptr; }

// ---------------------------------------------------------------- GPrinterDevModeNT

GPrinterDevModeNT::GPrinterDevModeNT(GDeviceSettingsNT* settings, HANDLE)
    : GDevModeNT(static_cast<GDriverInstance*>(settings)), settings_(settings) {}
GPrinterDevModeNT::GPrinterDevModeNT(const GPrinterDevModeNT& other)
    : GDevModeNT(other), settings_(other.settings_) {}
GPrinterDevModeNT::~GPrinterDevModeNT() = default;
int32_t GPrinterDevModeNT::copyTo(uint8_t* buffer) { return GDevModeNT::copyTo(buffer); }
uint16_t GPrinterDevModeNT::specVersion() { return kSpecVersionValue; }
int32_t GPrinterDevModeNT::takePrinterDefault(HANDLE) { return 0; }
int32_t GPrinterDevModeNT::isOwnFormat(const GDevModeView&) { return 0; }
