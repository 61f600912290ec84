#ifndef CORE_FIELDIO_H
#define CORE_FIELDIO_H

// Reading the 16-bit and signed fields of stored object levels, beside the
// 32-bit words of core/storeio.h: a field is given to the caller only when
// it was read whole, so a level cut short keeps its constructed values.
// On a virtual stream each width has its own operation: "short" for 16
// bits, "int" and "long" for signed 32 bits.

#include <cstdint>

#include "rw/rwfile.h"
#include "rw/vstream.h"

inline bool gReadShort(RWFile& f, int16_t& v) {
  int16_t w;
  if (!f.Read(w)) return false;
  v = w;
  return true;
}

inline bool gReadShort(RWvistream& s, int16_t& v) {
  int16_t w = 0;
  s.get(w);
  if (s.fail()) return false;
  v = w;
  return true;
}

inline bool gReadUShort(RWFile& f, uint16_t& v) {
  uint16_t w;
  if (!f.Read(w)) return false;
  v = w;
  return true;
}

inline bool gReadUShort(RWvistream& s, uint16_t& v) {
  uint16_t w = 0;
  s.get(w);
  if (s.fail()) return false;
  v = w;
  return true;
}

inline bool gReadInt(RWFile& f, int32_t& v) {
  int32_t w;
  if (!f.Read(w)) return false;
  v = w;
  return true;
}

inline bool gReadInt(RWvistream& s, int32_t& v) {
  int32_t w = 0;
  s.get(w);
  if (s.fail()) return false;
  v = w;
  return true;
}

inline bool gReadLong(RWFile& f, int32_t& v) { return gReadInt(f, v); }

inline bool gReadLong(RWvistream& s, int32_t& v) {
  int32_t w = 0;
  s.getLong(w);
  if (s.fail()) return false;
  v = w;
  return true;
}

#endif
