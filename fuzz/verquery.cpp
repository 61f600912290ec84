// Version data as a module may carry it: every path the plug-in and the
// host ask of it, and every text it names through its translation table.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common.h"
#include "host/uihost/resfile.h"
#include "host/uihost/win32ui.h"

namespace {

// Reads every byte of an answer, so that an answer reaching past the data
// shows.
unsigned touch(const void* value, size_t bytes) {
  unsigned sum = 0;
  for (size_t i = 0; i < bytes; ++i) sum += static_cast<const uint8_t*>(value)[i];
  return sum;
}

const char16_t* const names[] = {u"CompanyName",   u"FileDescription",  u"FileVersion", u"InternalName",
                                 u"LegalCopyright", u"OriginalFilename", u"ProductName", u"ProductVersion"};

std::u16string hex4(uint16_t v) {
  static const char16_t digits[] = u"0123456789ABCDEF";
  std::u16string s;
  for (int shift = 12; shift >= 0; shift -= 4) s += digits[(v >> shift) & 0xF];
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > fuzz::maxInput) return 0;
  // The data as a caller holds it: aligned, as GetFileVersionInfoW fills it.
  std::vector<uint32_t> block((size + 3) / 4 + 1, 0);
  std::memcpy(block.data(), data, size);
  const auto* bytes = reinterpret_cast<const uint8_t*>(block.data());
  std::vector<std::u16string> paths{u"\\", u"\\VarFileInfo\\Translation", u"\\StringFileInfo",
                                    u"\\StringFileInfo\\040904E4\\CompanyName", u"\\\\", u"\\x\\"};
  const void* value = nullptr;
  uint32_t length = 0;
  if (uihost::queryVersion(bytes, size, u"\\VarFileInfo\\Translation", &value, &length)) {
    for (uint32_t i = 0; i + 4 <= length && i < 64; i += 4) {
      const auto* pair = static_cast<const uint8_t*>(value) + i;
      const std::u16string block8 = hex4(static_cast<uint16_t>(pair[0] | (pair[1] << 8))) +
                                    hex4(static_cast<uint16_t>(pair[2] | (pair[3] << 8)));
      for (const char16_t* name : names) paths.push_back(u"\\StringFileInfo\\" + block8 + u"\\" + name);
    }
  }
  unsigned sum = 0;
  for (const std::u16string& path : paths) {
    if (!uihost::queryVersion(bytes, size, path, &value, &length)) continue;
    // A text's length counts units, a record's bytes; both lie within.
    sum += touch(value, path.rfind(u"\\StringFileInfo\\", 0) == 0 ? size_t{length} * 2 : length);
    // The platform's own call reads the size from the root block: only
    // when that is within the data is it the same question.
    if (size >= 2 && static_cast<size_t>(bytes[0] | (bytes[1] << 8)) <= size) {
      void* again = nullptr;
      UINT n = 0;
      sum += VerQueryValueW(bytes, path.c_str(), &again, &n);
    }
  }
  return sum == 0xFFFFFFFF;  // never: keeps the reads
}
