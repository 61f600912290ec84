#ifndef CORE_STOREIO_H
#define CORE_STOREIO_H

// Reading the 32-bit words of stored object levels.
//
// A word is given to the caller only when it was read whole, so a level
// cut short by the end of a file or stream keeps its constructed values.
// The binary file has one 32-bit form for both; a virtual stream stores
// "unsigned long" and "unsigned int" words with their own operations (the
// endian form may give them different sizes).

#include <cstdint>

#include "rw/rwfile.h"
#include "rw/vstream.h"

inline bool gReadULong(RWFile& f, uint32_t& v) {
  uint32_t w;
  if (!f.Read(w)) return false;
  v = w;
  return true;
}

inline bool gReadULong(RWvistream& s, uint32_t& v) {
  uint32_t w = 0;
  s.getULong(w);
  if (s.fail()) return false;
  v = w;
  return true;
}

inline bool gReadUInt(RWFile& f, uint32_t& v) { return gReadULong(f, v); }

inline bool gReadUInt(RWvistream& s, uint32_t& v) {
  uint32_t w = 0;
  s.get(w);
  if (s.fail()) return false;
  v = w;
  return true;
}

// Whether more can be read: false once a read failed or the end was met.
inline bool gReadable(RWFile& f) { return !f.Eof() && !f.Error(); }
inline bool gReadable(RWvistream& s) { return s.good(); }

#endif
