#include "kernel/dmbytes.h"

#include <algorithm>

using namespace DevModeLayout;

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
