#include "host/win32/paths.h"

#include <cstdint>

// The file system speaks UTF-8 with slashes, the system 16-bit text with
// backslashes; a 16-bit unit that is half of a pair is kept as its own
// three-byte form rather than lost.
std::string hostPath(const RWWString& path) {
  std::string name;
  for (RWsize i = 0; i < path.length(); ++i) {
    const uint32_t c = path.data()[i];
    if (c == u'\\') {
      name += '/';
    } else if (c < 0x80) {
      name += static_cast<char>(c);
    } else if (c < 0x800) {
      name += static_cast<char>(0xC0 | (c >> 6));
      name += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      name += static_cast<char>(0xE0 | (c >> 12));
      name += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      name += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return name;
}

RWWString logicalPath(const std::string& name) {
  std::u16string units;
  for (size_t i = 0; i < name.size();) {
    const unsigned char b = static_cast<unsigned char>(name[i]);
    uint32_t c = b;
    size_t more = 0;
    if (b >= 0xF0) {
      c = b & 0x07;
      more = 3;
    } else if (b >= 0xE0) {
      c = b & 0x0F;
      more = 2;
    } else if (b >= 0xC0) {
      c = b & 0x1F;
      more = 1;
    }
    if (i + more >= name.size()) more = 0;  // cut short: take the byte as it is
    for (size_t k = 1; k <= more; ++k) c = (c << 6) | (static_cast<unsigned char>(name[i + k]) & 0x3F);
    i += 1 + more;
    if (c == '/') c = u'\\';
    if (c > 0xFFFF) {
      c -= 0x10000;
      units += static_cast<char16_t>(0xD800 | (c >> 10));
      units += static_cast<char16_t>(0xDC00 | (c & 0x3FF));
    } else {
      units += static_cast<char16_t>(c);
    }
  }
  return RWWString(units.data(), static_cast<RWsize>(units.size()));
}
