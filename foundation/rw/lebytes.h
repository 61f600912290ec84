#ifndef RW_LEBYTES_H
#define RW_LEBYTES_H

// Little-endian 32-bit words in byte images of on-disk records, independent
// of the host's byte order and alignment.

#include <cstdint>

inline void rwPutLE32(char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline uint32_t rwGetLE32(const char* p) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<unsigned char>(p[i])) << (8 * i);
  return v;
}

#endif
