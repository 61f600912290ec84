#include "core/pjltext.h"

bool isValidPjlText(const char* bytes, RWsize length) {
  for (RWsize i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c == '\t') continue;
    if (c < 0x20 || c == '"') return false;
  }
  return true;
}

bool isValidPjlText(const RWCString& text) { return isValidPjlText(text.data(), text.length()); }
