#include "kernel/prtdata.h"

#include <memory>
#include <new>

#include "device/drvinst.h"

GPrinterOwnerNT::~GPrinterOwnerNT() = default;

GPrinterOwnerNT* GPrinterOwnerNT::of(GDriverInstance* owner) { return dynamic_cast<GPrinterOwnerNT*>(owner); }

namespace {

constexpr DWORD kTypeString = 1;
constexpr DWORD kTypeBinary = 3;
constexpr DWORD kTypeNumber = 4;

constexpr DWORD kSuccess = 0;
constexpr DWORD kMoreData = 234;

// The engine takes names and data through non-const pointers but changes
// neither; RWWString keeps its characters NUL-terminated.
LPWSTR engineName(const RWWString& name) { return const_cast<LPWSTR>(name.data()); }

// "name:index", the index in decimal. Built by hand so that the index is
// written from 32 bits whatever the width of long.
RWWString chunkName(const RWWString& name, uint32_t index) {
  RWwchar digits[10];
  int count = 0;
  do {
    digits[count++] = static_cast<RWwchar>(u'0' + index % 10);
    index /= 10;
  } while (index != 0);
  RWWString out(name);
  out.append(RWwchar(u':'));
  while (count > 0) out.append(digits[--count]);
  return out;
}

}  // namespace

int GPrinterDataNT::putNumber(const RWWString& name, uint32_t value) {
  if (!printer_) return 0;
  BYTE bytes[4];
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<BYTE>(value >> (8 * i));
  return EngSetPrinterData(printer_, engineName(name), kTypeNumber, bytes, 4) == kSuccess ? 1 : 0;
}

int GPrinterDataNT::putString(const RWWString& name, const RWWString& value) {
  if (!printer_) return 0;
  const uint32_t chars = value.length();
  if (chars > UINT32_MAX / 2) return 0;
  // One byte more than the text, so that an empty string still has a block
  // to be stored from.
  std::unique_ptr<BYTE[]> bytes(new (std::nothrow) BYTE[2 * static_cast<size_t>(chars) + 1]);
  if (!bytes) return 0;
  for (uint32_t i = 0; i < chars; ++i) {
    bytes[2 * i] = static_cast<BYTE>(value(i) & 0xFF);
    bytes[2 * i + 1] = static_cast<BYTE>(value(i) >> 8);
  }
  return EngSetPrinterData(printer_, engineName(name), kTypeString, bytes.get(), 2 * chars) == kSuccess ? 1 : 0;
}

int GPrinterDataNT::putBinary(const RWWString& name, const void* data, uint32_t length) {
  if (!printer_ || (!data && length != 0)) return 0;
  const uint32_t count = length / kChunkSize + 1;
  int answer = putNumber(name, count);
  if (answer != 1) return answer;
  // An empty last chunk still needs an address to be stored from.
  BYTE none = 0;
  const BYTE* at = data ? static_cast<const BYTE*>(data) : &none;
  uint32_t left = length;
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t chunk = left < kChunkSize ? left : kChunkSize;
    if (EngSetPrinterData(printer_, engineName(chunkName(name, i)), kTypeBinary, const_cast<BYTE*>(at), chunk) !=
        kSuccess)
      return 0;
    at += chunk;
    left -= chunk;
  }
  return 1;
}

uint32_t GPrinterDataNT::getNumber(const RWWString& name, uint32_t defaultValue) {
  if (!printer_) return defaultValue;
  BYTE bytes[4] = {};
  DWORD type = 0;
  DWORD size = 0;
  if (EngGetPrinterData(printer_, engineName(name), &type, bytes, 4, &size) != kSuccess || type != kTypeNumber ||
      size != 4)
    return defaultValue;
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(bytes[i]) << (8 * i);
  return value;
}

RWWString& GPrinterDataNT::getString(RWWString& out, const RWWString& name, const RWWString& defaultValue) {
  out = defaultValue;
  if (!printer_) return out;
  DWORD type = 0;
  DWORD size = 0;
  DWORD status = EngGetPrinterData(printer_, engineName(name), &type, nullptr, 0, &size);
  if ((status != kSuccess && status != kMoreData) || type != kTypeString || size == 0) return out;
  // The size is what the engine holds for this value, so the block is no
  // larger than the value itself.
  std::unique_ptr<BYTE[]> bytes(new (std::nothrow) BYTE[size]);
  if (!bytes) return out;
  DWORD read = 0;
  type = 0;
  if (EngGetPrinterData(printer_, engineName(name), &type, bytes.get(), size, &read) != kSuccess ||
      type != kTypeString || read == 0 || read > size)
    return out;
  // Values written by putString hold no NUL; one written elsewhere ends the
  // text there.
  const uint32_t chars = read / 2;
  RWWString text;
  for (uint32_t i = 0; i < chars; ++i) {
    RWwchar c = static_cast<RWwchar>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    if (c == 0) break;
    text.append(c);
  }
  out = text;
  return out;
}

int GPrinterDataNT::getBinary(const RWWString& name, void* buffer, uint32_t capacity, uint32_t& length) {
  const uint32_t count = getNumber(name, 0);
  if (count == 0) return 0;
  // The count comes from the printer's data, which other programs write:
  // the room it asks for is worked out in 64 bits, and one that 32 bits
  // cannot report is refused before anything is read.
  const uint64_t needed = static_cast<uint64_t>(count) * kChunkSize;
  if (needed > UINT32_MAX) return 0;
  if (!buffer || capacity == 0) {
    // Callers size a block by this answer, so a count is believed only when
    // its last chunk is there: a stray count alone makes no huge block.
    DWORD type = 0;
    DWORD size = 0;
    const DWORD status = EngGetPrinterData(printer_, engineName(chunkName(name, count - 1)), &type, nullptr, 0, &size);
    if ((status != kSuccess && status != kMoreData) || type != kTypeBinary) return 0;
    length = static_cast<uint32_t>(needed);
    return 1;
  }
  if (needed - kChunkSize > capacity) {
    length = static_cast<uint32_t>(needed);
    return 0;
  }
  BYTE* at = static_cast<BYTE*>(buffer);
  uint32_t total = 0;
  for (uint32_t i = 0; i < count; ++i) {
    // Each chunk goes only into the room still left; the engine refuses a
    // larger one (234) and the read fails.
    DWORD type = 0;
    DWORD read = 0;
    if (EngGetPrinterData(printer_, engineName(chunkName(name, i)), &type, at + total, capacity - total, &read) !=
            kSuccess ||
        type != kTypeBinary || read > capacity - total)
      return 0;
    total += read;
  }
  length = total;
  return 1;
}
