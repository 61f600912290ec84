#ifndef CORE_STOREIO_H
#define CORE_STOREIO_H

// TRANSITIONAL: the old per-width readers, kept only until every class is
// on core/fieldio.h; this header goes when the last caller does.

#include "core/fieldio.h"

inline bool gReadULong(RWFile& f, uint32_t& v) { return gRead(f, v); }
inline bool gReadULong(RWvistream& s, uint32_t& v) { return gRead(s, v); }
inline bool gReadUInt(RWFile& f, uint32_t& v) { return gRead(f, v); }
inline bool gReadUInt(RWvistream& s, uint32_t& v) { return gRead(s, gInt(v)); }
inline bool gReadShort(RWFile& f, int16_t& v) { return gRead(f, v); }
inline bool gReadShort(RWvistream& s, int16_t& v) { return gRead(s, v); }
inline bool gReadUShort(RWFile& f, uint16_t& v) { return gRead(f, v); }
inline bool gReadUShort(RWvistream& s, uint16_t& v) { return gRead(s, v); }
inline bool gReadInt(RWFile& f, int32_t& v) { return gRead(f, v); }
inline bool gReadInt(RWvistream& s, int32_t& v) { return gRead(s, gInt(v)); }
inline bool gReadLong(RWFile& f, int32_t& v) { return gRead(f, v); }
inline bool gReadLong(RWvistream& s, int32_t& v) { return gRead(s, v); }

#endif
