#include "kernel/devmode.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "core/attrib.h"
#include "core/attrids.h"
#include "core/osfactry.h"
#include "core/valattr.h"
#include "device/config.h"
#include "device/formtray.h"
#include "device/setread.h"
#include "graphics/lzw.h"
#include "graphics/membuf.h"
#include "kernel/devsetnt.h"
#include "kernel/runtime.h"
#include "rw/vstream.h"

using namespace DevModeLayout;
using namespace SettingRead;

namespace {

// Flag bits of the driver instance this file reads.
constexpr uint32_t kFlagAdjustColor = 0x80;
constexpr uint32_t kFlagsPublicOnly = 0x100 | 0x40000;

// The stored tree is written into, and inflated into, no more than this.
constexpr size_t kStoreLimit = 4096;
// The oldest DEVMODE, and the smallest, that validate and checkCollate
// look at.
constexpr uint16_t kOldestChecked = 0x030A;
constexpr size_t kOldestCheckedSize = 68;

// A zero-filled block from the kernel heap, given back at the end of the
// scope.
class HeapBlock {
 public:
  explicit HeapBlock(size_t size) : data_(static_cast<uint8_t*>(kernelHeapAlloc(size))), size_(size) {
    if (data_) std::memset(data_, 0, size);
  }
  ~HeapBlock() { kernelHeapFree(data_); }
  HeapBlock(const HeapBlock&) = delete;
  HeapBlock& operator=(const HeapBlock&) = delete;
  uint8_t* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  uint8_t* data_;
  size_t size_;
};

bool inRange(const MPersistentObject* within, uint32_t id, int16_t value) {
  const auto* range = dynamic_cast<const GRangeAttribute*>(lookUp(within, id));
  return range && range->contains(value);
}

// The versions whose public part carries collate and the form name.
bool isSpec40(uint16_t version) { return version == 0x0400 || version == kSpecVersionValue; }

// A setting the printer's Config may hold and the device's settings tree
// does hold (the resolution group, the form-to-tray database): the
// Config's, else the settings'.
MPersistentObject* configOrSettings(const GDriverInstance* device, const MPersistentObject* printer, uint32_t id) {
  MPersistentObject* found = lookUp(printer, id);
  return found || !device ? found : lookUp(device->settings(), id);
}

// Whether the form-to-tray database has an association that is not the
// default.
bool formToTrayInUse(const GDriverInstance* device, const MPersistentObject* printer) {
  const auto* database = dynamic_cast<const GFormToTrayDatabase*>(configOrSettings(device, printer, AttrId::FormToTray));
  return database && database->hasNonDefault();
}

// The private header a buffer of the driver's starts with: its sizes, the
// device and platform values 0, the marks, nothing packed.
void writePrivateHeader(GDevModeWriter& w) {
  w.put16(kPrivateTotalSize, kTotalSize);
  w.put16(kPrivateHeader, kPrivateHeaderSize);
  w.put32(kDeviceValue, 0);
  w.put16(kPlatformValue, 0);
  w.put16(kMarkA, kMarkAValue);
  w.put16(kMarkB, kMarkBValue);
  w.put16(kPackedLength, 0);
}

// The duplex binding a dmDuplex stands for at an orientation: 0 none, 1
// short edge, 2 long edge; -1 for a value that is none of 1, 2, 3.
int16_t bindingFor(int16_t duplex, int16_t orientation) {
  switch (duplex) {
    case 1: return 0;
    case 2: return orientation == 1 ? 2 : 1;
    case 3: return orientation == 2 ? 2 : 1;
    default: return -1;
  }
}

}  // namespace

// ---------------------------------------------------------------- GDevMode

GDevMode::GDevMode(GDriverInstance* device)
    : device_(device),
      buffer_(static_cast<uint8_t*>(kernelHeapAlloc(kTotalSize))),
      bufferSize_(kTotalSize),
      takenFromPrinter_(0) {
  if (!buffer_) return;
  std::memset(buffer_.get(), 0, kTotalSize);
  GDevModeWriter w = writer();
  writePrivateHeader(w);
}

GDevMode::GDevMode(const GDevMode& other)
    : device_(other.device_),
      buffer_(static_cast<uint8_t*>(kernelHeapAlloc(kTotalSize))),
      bufferSize_(kTotalSize),
      takenFromPrinter_(0) {
  if (!buffer_) return;
  std::memset(buffer_.get(), 0, kTotalSize);
  if (other.buffer_) std::memcpy(buffer_.get(), other.buffer_.get(), std::min(other.bufferSize_, kTotalSize));
}

GDevMode::~GDevMode() = default;

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
uint8_t* GDevMode::buffer() { return buffer_.get(); }
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
  if (area && buffer_) std::memcpy(area, buffer_.get() + kPacked, kPackedCapacity);
}

void GDevMode::copyPackedIn(const uint8_t* area) {
  if (area && buffer_) std::memcpy(buffer_.get() + kPacked, area, kPackedCapacity);
}

uint16_t GDevMode::packSettings(uint8_t*, size_t, GAttributeComposite*) { return 0; }
GAttributeComposite* GDevMode::unpackSettings(const uint8_t*, size_t) { return nullptr; }

void GDevMode::copyPublicTo(uint8_t* out) {
  if (out && buffer_) std::memcpy(out, buffer_.get(), kPublicSize);
}

int32_t GDevMode::mergeFrom(const uint8_t*, size_t& size) {
  size = 0;
  return 0;
}

void GDevMode::copyPublicFrom(const uint8_t* in) {
  if (in && buffer_) std::memcpy(buffer_.get(), in, kPublicSize);
}

// ---------------------------------------------------------------- GDevModeNT

GDevModeNT::GDevModeNT(GDriverInstance* device) : GDevMode(device) {}
GDevModeNT::GDevModeNT(const GDevModeNT& other) : GDevMode(other) {}
GDevModeNT::~GDevModeNT() = default;

void GDevModeNT::setDevice(GDriverInstance* device) {
  GDevMode::setDevice(device);
  if (!buffer_) return;
  const RWWString name = device ? device->deviceName() : RWWString();
  // Compared as they would be written: at most 31 units, the 8-bit name by
  // its low bytes.
  const size_t n = std::min<size_t>(name.length(), kNameUnits - 1);
  const RWCString stored8 = view().narrowName(kPrinterName8);
  bool same8 = stored8.length() == n;
  for (size_t i = 0; same8 && i < n; ++i)
    same8 = static_cast<uint8_t>(stored8[i]) == static_cast<uint8_t>(name[i] & 0xFF);
  if (!same8) writer().putNarrowName(kPrinterName8, name);
  const RWWString stored = deviceName();
  bool same = stored.length() == n;
  for (size_t i = 0; same && i < n; ++i) same = stored[i] == name[i];
  if (!same) writer().putWideName(kDeviceName, name);
}

int32_t GDevModeNT::copyTo(uint8_t* out) {
  if (!out || !buffer_) return 0;
  // Public part, private header, printer name, marks, packed length and
  // capacity, and the packed area: the whole buffer, in order.
  std::memcpy(out, buffer_.get(), std::min(bufferSize_, kTotalSize));
  return 1;
}

int32_t GDevModeNT::takeFrom(const uint8_t* devmode) {
  if (!devmode || !buffer_) return 0;
  size_t size = 0;
  if (mergeFrom(devmode, size) != 1) return 1;
  const GDevModeView foreign = GDevModeView::foreign(devmode);
  if (!foreign.inside(kPrivateTotalSize, kPacked - kPrivateTotalSize)) return 1;
  GDevModeWriter w = writer();
  w.put32(kDeviceValue, foreign.u32(kDeviceValue));
  w.put16(kPlatformValue, foreign.u16(kPlatformValue));
  // The packed tree is the driver's own only when the whole private part
  // is; its length is the application's word and is checked like the rest.
  const GDevModeView own = view();
  const uint16_t packedLength = foreign.u16(kPackedLength);
  const bool ours = foreign.u16(kPrivateTotalSize) == own.u16(kPrivateTotalSize) &&
                    foreign.u16(kPrivateHeader) == own.u16(kPrivateHeader) &&
                    foreign.narrowName(kPrinterName8) == own.narrowName(kPrinterName8) &&
                    foreign.u16(kMarkA) == kMarkAValue && foreign.u16(kMarkB) == kMarkBValue &&
                    foreign.u16(kPackedCapacityField) == own.u16(kPackedCapacityField) &&
                    foreign.declaredLength() >= kTotalSize && foreign.inside(kPacked, kPackedCapacity) &&
                    packedLength <= kPackedCapacity;
  if (ours) {
    w.put16(kPackedLength, packedLength);
    std::memcpy(buffer_.get() + kPacked, devmode + kPacked, kPackedCapacity);
  }
  return 1;
}

int32_t GDevModeNT::assign(const GDevMode& other) {
  const uint8_t* from = other.bytes();
  if (!from || !buffer_) return 0;
  if (from != buffer_.get()) std::memcpy(buffer_.get(), from, std::min(bufferSize_, kTotalSize));
  return 1;
}

int32_t GDevModeNT::storeSettings(GAttributeComposite* settings) {
  if (!buffer_) return 0;
  settingsToPublic(settings, buffer_.get());
  if (bufferSize_ != kTotalSize) return 1;
  GDevModeWriter w = writer();
  w.put16(kMarkA, kMarkAValue);
  w.put16(kMarkB, kMarkBValue);
  const uint16_t length = packSettings(buffer_.get() + kPacked, kPackedCapacity, settings);
  // A tree that does not fit leaves the packed area, and its length, as
  // they were: the settings stored before are still there to restore.
  if (length == 0) return 0;
  w.put16(kPackedLength, length);
  return 1;
}

RWWString GDevModeNT::deviceName() { return view().wideName(kDeviceName); }

RWWString GDevModeNT::printerName8() {
  const RWCString narrow = view().narrowName(kPrinterName8);
  RWWString wide;
  for (size_t i = 0; i < narrow.length(); ++i) wide.append(static_cast<RWwchar>(static_cast<uint8_t>(narrow[i])));
  return wide;
}

void GDevModeNT::setPrintQuality(int16_t quality) {
  int16_t x = 0, y = 0, bits = 0;
  if (quality < 0 && qualityToResolution(quality, x, y, bits)) quality = x;
  setPrintQualityRaw(quality);
}

GAttributeComposite* GDevModeNT::restoreSettings() {
  const GDevModeView own = view();
  const size_t capacity = std::min<size_t>(own.u16(kPackedCapacityField), kPackedCapacity);
  if (capacity == 0 || !buffer_ || buffer_.get()[kPacked] == 0) return nullptr;
  const size_t length = std::min<size_t>(own.u16(kPackedLength), capacity);
  GAttributeComposite* settings = unpackSettings(buffer_.get() + kPacked, length);
  if (!settings) return nullptr;
  if (publicToSettings(buffer_.get(), settings)) return settings;
  delete settings;
  return unpackSettings(buffer_.get() + kPacked, length);
}

int16_t GDevModeNT::resolvedPrintQuality() {
  const int16_t quality = printQuality();
  if (quality > 0) return quality;
  int16_t x = 0, y = 0, bits = 0;
  return qualityToResolution(quality, x, y, bits) ? x : quality;
}

uint16_t GDevModeNT::packSettings(uint8_t* area, size_t capacity, GAttributeComposite* settings) {
  GOSFactory* factory = GOSFactory::instance();
  if (!area || !settings || !factory || capacity == 0) return 0;
  capacity = std::min<size_t>(capacity, UINT16_MAX);
  HeapBlock stored(kStoreLimit);
  HeapBlock packed(capacity);
  if (!stored.data() || !packed.data()) return 0;
  std::unique_ptr<GOutputStream> holder(factory->createOutputStream(stored.data(), kStoreLimit, kBinaryStream));
  RWvostream* s = holder ? holder->stream() : nullptr;
  if (!s || !s->good()) return 0;
  const uint32_t start = holder->position();
  *s << static_cast<const RWCollectable*>(settings);
  s->flush();
  const uint32_t end = holder->position();
  if (!s->good() || end < start || end > kStoreLimit) return 0;
  // Compressed into scratch space first: a result that does not fit must
  // not touch the area, which still holds the tree packed before.
  GMemoryIStream in(stored.data() + start, end - start);
  GMemoryOStream out(packed.data(), capacity);
  if (zlibCompressStream(in, out) != 1 || out.written() == 0 || out.written() > capacity) return 0;
  std::memcpy(area, packed.data(), out.written());
  return static_cast<uint16_t>(out.written());
}

GAttributeComposite* GDevModeNT::unpackSettings(const uint8_t* area, size_t length) {
  GOSFactory* factory = GOSFactory::instance();
  if (!area || length == 0 || length > kPackedCapacity || !factory) return nullptr;
  // The packed bytes come from whoever made the DEVMODE: they may inflate
  // to anything. More than the store limit is refused whole.
  HeapBlock inflated(kStoreLimit);
  if (!inflated.data()) return nullptr;
  GMemoryIStream in(area, length);
  GMemoryOStream out(inflated.data(), kStoreLimit);
  if (zlibUncompressStream(in, out) != 1 || out.written() == 0 || out.written() > kStoreLimit) return nullptr;
  std::unique_ptr<GInputStream> holder(
      factory->createInputStream(inflated.data(), static_cast<uint32_t>(out.written()), kBinaryStream));
  RWvistream* s = holder ? holder->stream() : nullptr;
  if (!s || !s->good()) return nullptr;
  // The restored object is ours alone; anything but an attribute composite
  // read whole is given back.
  const RWCollectable::Restored r = RWCollectable::restoreForOwner(*s);
  auto* settings = dynamic_cast<GAttributeComposite*>(r.object);
  if (r.failed || !settings || s->fail()) {
    if (r.object) RWCollectable::discardRestored(r.object);
    return nullptr;
  }
  return settings;
}

void GDevModeNT::adjustColor() {
  if (!device_ || !(device_->flags() & kFlagAdjustColor)) return;
  if (view().s16(kColor) != 2) return;
  const uint32_t capability = device_->configurationValue();
  if (capability == 0 || capability == 2) {
    GDevModeWriter w = writer();
    w.put16(kColor, 1);
    w.setField(kFieldColor, true);
  }
}

void GDevModeNT::checkCollate() {
  const GDevModeView own = view();
  if (own.specVersion() < kOldestChecked || own.dmSize() < kOldestCheckedSize) return;
  if (own.dmSize() <= 219 || !isSpec40(own.specVersion())) return;
  GDevModeWriter w = writer();
  if (settingIsNonZero(printerSettings(), AttrId::CollationAvailable)) {
    if (own.fields() & kFieldCollate) {
      const int16_t collate = own.s16(kCollate);
      if (collate != 0 && collate != 1) w.put16(kCollate, 1);
    } else {
      w.setField(kFieldCollate, true);
      w.put16(kCollate, 1);
    }
  } else {
    w.setField(kFieldCollate, false);
    w.put16(kCollate, 0);
  }
}

uint16_t GDevModeNT::specVersion() { return 0; }
uint16_t GDevModeNT::driverVersion() { return kDriverVersionValue; }

int32_t GDevModeNT::validate(uint8_t* devmode, int32_t mode, uint32_t& mask) {
  mask = 0;
  if (!devmode) return 0;
  const GDevModeView dm(devmode, kTotalSize);
  GDevModeWriter w(devmode, kTotalSize);
  if (dm.specVersion() < kOldestChecked || dm.dmSize() < kOldestCheckedSize) return 0;
  const uint32_t fields = dm.u32(kFields);
  const GConfiguration* printer = printerSettings();
  const bool all = mode == 1;
  // Each failed check adds its bits; outside mode 1 the first one ends it.
  auto fail = [&](uint32_t bits) {
    mask |= bits;
    return !all;
  };

  if ((fields & kFieldOrientation) && dm.s16(kOrientation) != 1 && dm.s16(kOrientation) != 2 &&
      fail(kFieldOrientation))
    return 0;

  // The object's own quality: a resolution becomes the printer's quality
  // code for it when the printer speaks in codes.
  const int16_t ownQuality = printQuality();
  if (ownQuality > 0 && lookUp(configOrSettings(device_, printer, AttrId::ResolutionGroup), AttrId::QualityCode)) {
    int16_t code = 0;
    if (resolutionToQuality(ownQuality, code))
      setPrintQualityRaw(code);
    else if (fail(kFieldPrintQuality))
      return 0;
  }
  int16_t x = 0, y = 0, bits = 0;
  const int16_t quality = dm.s16(kPrintQuality);
  const bool resolves = qualityToResolution(quality, x, y, bits) != 0;
  const int16_t xResolution = quality > 0 ? quality : (resolves ? x : quality);
  if (dm.s16(kYResolution) == 0) w.put16(kYResolution, static_cast<uint16_t>(xResolution));
  const int16_t yResolution = dm.s16(kYResolution);
  if (fields & kFieldPrintQuality) {
    if (fields & kFieldYResolution) {
      if (!(device_ && device_->supportsResolution(xResolution, yResolution)) &&
          fail(kFieldPrintQuality | kFieldYResolution))
        return 0;
    } else if (!resolves && fail(kFieldPrintQuality)) {
      return 0;
    }
  }

  if ((fields & (kFieldPaperLength | kFieldPaperWidth)) && fail(kFieldPaperLength | kFieldPaperWidth)) return 0;

  if (fields & kFieldPaperSize) {
    const int32_t angle = dm.s16(kOrientation) == 1 ? 0 : 90;
    const int32_t form = dm.s16(kPaperSize);
    const bool fits =
        device_ && (device_->formFits(angle, xResolution, yResolution, 1, form) ||
                    (settingIsNonZero(printer, AttrId::CustomSizesEnabled) &&
                     device_->formFits(angle, xResolution, yResolution, 0, form) &&
                     (settingIsNonZero(printer, AttrId::FitToMedia) || settingIsNonZero(printer, AttrId::AnyCustomSize))));
    if (!fits && fail(kFieldPaperSize)) return 0;
  }

  if (fields & kFieldDefaultSource) {
    const int16_t source = dm.s16(kDefaultSource);
    bool known = false;
    if (formToTrayInUse(device_, printer))
      known = source == 15;
    else
      known = source != 15 && device_ &&
              (device_->supportsTray(static_cast<uint16_t>(source)) ||
               device_->hasMappingForFirstCode(static_cast<uint16_t>(source)));
    if (!known && fail(kFieldDefaultSource)) return 0;
  }

  if ((fields & kFieldCopies) && !inRange(printer, AttrId::CopiesRange, dm.s16(kCopies)) && fail(kFieldCopies)) return 0;

  if ((fields & kFieldColor) && dm.s16(kColor) != 1 && dm.s16(kColor) != 2 && fail(kFieldColor)) return 0;

  if (fields & kFieldDuplex) {
    const int16_t binding = bindingFor(dm.s16(kDuplex), view().s16(kOrientation));
    if ((binding < 0 || !inRange(printer, AttrId::DuplexBindingRange, binding)) && fail(kFieldDuplex)) return 0;
  }

  if (dm.dmSize() > 219 && isSpec40(dm.specVersion())) {
    if (fields & kFieldCollate) {
      const int16_t collate = dm.s16(kCollate);
      const bool ok = collate == 0 || (collate == 1 && settingIsNonZero(printer, AttrId::CollationAvailable));
      if (!ok && fail(kFieldCollate)) return 0;
    }
    if ((fields & kFieldFormName) &&
        !checkFormName(dm.wideName(kFormName), xResolution, yResolution, dm.s16(kOrientation) == 1 ? 0 : 90) &&
        fail(kFieldFormName))
      return 0;
  }
  return mask == 0 ? 1 : 0;
}

void GDevModeNT::setDefaults() {
  if (!buffer_) return;
  std::memset(buffer_.get(), 0, bufferSize_);
  GDevModeWriter w = writer();
  const RWWString name = device_ ? device_->deviceName() : RWWString();
  w.putWideName(kDeviceName, name);
  w.put16(kSpecVersion, kSpecVersionValue);
  w.put16(kDriverVersion, kDriverVersionValue);
  w.put16(kSize, kPublicSize);
  w.put16(kDriverExtra, kPrivateHeaderSize + kPrivateDataSize);
  w.put32(kFields, 0);

  w.put16(kPaperSize, 1);
  w.put16(kPaperLength, 0);
  w.put16(kPaperWidth, 0);
  w.putWideName(kFormName, RWWString(u"Letter"));
  w.setField(kFieldFormName, true);
  w.put16(kCollate, 0);

  const GConfiguration* printer = printerSettings();
  int16_t inUse = 0;
  if (readValue(printer, AttrId::MediaCodesInUse, inUse) && inUse == 1) {
    int16_t media = 0, dither = 0;
    readValue(printer, AttrId::MediaChoice, media);
    readValue(printer, AttrId::DitherChoice, dither);
    static constexpr uint32_t kMediaCodes[] = {1, 2, 3, 4};
    static constexpr uint32_t kDitherCodes[] = {2, 1, 3, 4};
    w.put32(kMediaType, media >= 0 && media <= 3 ? kMediaCodes[media] : 1);
    w.put32(kDitherType, dither >= 0 && dither <= 3 ? kDitherCodes[dither] : 2);
    w.setField(kFieldMediaType, true);
    w.setField(kFieldDitherType, true);
  }

  w.put16(kScale, 100);
  w.put16(kTTOption, 0);
  w.put16(kLogPixels, 0);

  const bool grey = settingIsNonZero(printer, AttrId::GreyscaleOffered) && device_ && device_->configurationValue() != 1;
  w.setField(kFieldColor, !grey);
  w.put16(kColor, grey ? 1 : 2);

  w.setField(kFieldDuplex, true);
  w.put16(kDuplex, 1);

  writePrivateHeader(w);
  w.putNarrowName(kPrinterName8, name);
  w.put16(kPackedCapacityField, kPackedCapacity);
  buffer_.get()[kPacked] = 0;

  adjustColor();
}

GConfiguration* GDevModeNT::printerSettings() const { return device_ ? device_->printerConfig() : nullptr; }

// ---------------------------------------------------------------- GPrinterDevModeNT

GPrinterDevModeNT::GPrinterDevModeNT(GDeviceSettingsNT* settings, HANDLE printer)
    : GDevModeNT(static_cast<GDriverInstance*>(settings)), settings_(settings) {
  if (!printer || !takePrinterDefault(printer)) setDefaults();
  adjustColor();
}

GPrinterDevModeNT::GPrinterDevModeNT(const GPrinterDevModeNT& other)
    : GDevModeNT(other), settings_(other.settings_) {}

GPrinterDevModeNT::~GPrinterDevModeNT() = default;

void GPrinterDevModeNT::setDevice(GDriverInstance* device) {
  GDevModeNT::setDevice(device);
  settings_ = dynamic_cast<GDeviceSettingsNT*>(device);
}

int32_t GPrinterDevModeNT::copyTo(uint8_t* out) {
  if (!out || !buffer_) return 0;
  if (!device_ || !(device_->flags() & kFlagsPublicOnly)) return GDevModeNT::copyTo(out);
  // The caller's DEVMODE has room for the public part only.
  std::memcpy(out, buffer_.get(), kPublicSize);
  GDevModeWriter w(out, kPublicSize);
  w.put16(kSize, kPublicSize);
  w.put16(kDriverExtra, 0);
  return 1;
}

uint16_t GPrinterDevModeNT::specVersion() { return kSpecVersionValue; }

int32_t GPrinterDevModeNT::takePrinterDefault(HANDLE printer) {
  if (!printer || !buffer_) return 0;
  DWORD needed = 0;
  // The sizing call fails by design; only the size it answers is used.
  (void)EngGetPrinter(printer, 2, nullptr, 0, &needed);
  if (needed < sizeof(PRINTER_INFO_2)) return 0;
  HeapBlock record(needed);
  if (!record.data()) return 0;
  DWORD used = 0;
  if (!EngGetPrinter(printer, 2, record.data(), needed, &used)) return 0;
  PRINTER_INFO_2 info;
  std::memcpy(&info, record.data(), sizeof info);
  // The DEVMODE must lie inside the record, whole: a short one is not the
  // driver's, whatever its header says.
  const uint8_t* devmode = info.pDevMode;
  const uintptr_t at = reinterpret_cast<uintptr_t>(devmode);
  const uintptr_t begin = reinterpret_cast<uintptr_t>(record.data());
  if (!devmode || at < begin || at - begin > needed || needed - (at - begin) < kTotalSize) return 0;
  const GDevModeView dm(devmode, kTotalSize);
  if (dm.specVersion() != specVersion() || dm.driverExtra() != kPrivateHeaderSize + kPrivateDataSize ||
      dm.driverVersion() != kDriverVersionValue || dm.dmSize() != kPublicSize || dm.u16(kMarkA) != kMarkAValue ||
      dm.u16(kMarkB) != kMarkBValue)
    return 0;
  std::memcpy(buffer_.get(), devmode, kTotalSize);
  takenFromPrinter_ = 1;
  adjustColor();
  return 1;
}

int32_t GPrinterDevModeNT::isOwnFormat(const GDevModeView& devmode) {
  if (devmode.isNull()) return 0;
  return devmode.specVersion() == kSpecVersionValue && devmode.driverVersion() == kDriverVersionValue &&
                 devmode.dmSize() == kPublicSize && devmode.driverExtra() == kPrivateHeaderSize + kPrivateDataSize &&
                 devmode.u16(kPrivateTotalSize) == kTotalSize && devmode.u16(kPrivateHeader) == kPrivateHeaderSize &&
                 devmode.u16(kMarkA) == kMarkAValue && devmode.u16(kMarkB) == kMarkBValue &&
                 devmode.u16(kPackedCapacityField) == kPackedCapacity
             ? 1
             : 0;
}
