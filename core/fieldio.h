#ifndef CORE_FIELDIO_H
#define CORE_FIELDIO_H

// The fields of stored object levels, read and written through one set of
// overloads for the virtual streams and the binary file, so that a class
// writes one saveLevel(Sink&) and one restoreLevel(Source&) template that
// mirror each other field for field.
//
//   gWrite(sink, field)   sink: RWvostream or RWFile
//   gRead(source, field)  source: RWvistream or RWFile; true when the field
//                         was read whole. A field is given to the caller only
//                         then, so a level cut short keeps its constructed
//                         values.
//
// The binary file stores every 32-bit value as 4 little-endian bytes. A
// virtual stream keeps its "long" and "int" operations apart (the endian
// form may store them at different sizes), so the field's type chooses:
//
//   uint32_t, int32_t       the long operations (putULong, putLong)
//   gInt(x) of either       the int operations (put(uint32_t), put(int32_t))
//   uint16_t, int16_t       the short operations
//   float, double           their own operations
//   GReal                   its IEEE single, with the float operations, in
//                           both builds
//   RWCString               the string's stored form (32-bit length, text)
//   RWWString               the same with 16-bit units
//   gBytes(p, n)            n bytes as numbers

#include <cstdint>
#include <type_traits>

#include "core/greal.h"
#include "rw/cstring.h"
#include "rw/wstring.h"
#include "rw/rwfile.h"
#include "rw/vstream.h"

// A 32-bit field stored with the virtual streams' int operations; T is
// uint32_t or int32_t, const for writing.
template <class T>
struct GIntField {
  static_assert(std::is_same_v<std::remove_const_t<T>, uint32_t> || std::is_same_v<std::remove_const_t<T>, int32_t>,
                "an int field is 32 bits");
  T& value;
};

template <class T>
GIntField<T> gInt(T& value) {
  return GIntField<T>{value};
}

// n bytes as numbers; P is unsigned char or const unsigned char.
template <class P>
struct GByteField {
  P* data;
  RWsize length;
};

inline GByteField<unsigned char> gBytes(unsigned char* data, RWsize length) { return {data, length}; }
inline GByteField<const unsigned char> gBytes(const unsigned char* data, RWsize length) { return {data, length}; }

namespace gfield {

// Reads into a temporary and hands it over only when the read succeeded.
template <class T, class Read>
bool readWhole(T& field, Read read) {
  T w{};
  if (!read(w)) return false;
  field = w;
  return true;
}

template <class T>
bool fromFile(RWFile& f, T& field) {
  return readWhole(field, [&](T& w) { return f.Read(w) != 0; });
}

}  // namespace gfield

// ---- the binary file --------------------------------------------------------

inline bool gWrite(RWFile& f, uint32_t v) { return f.Write(v); }
inline bool gWrite(RWFile& f, int32_t v) { return f.Write(v); }
inline bool gWrite(RWFile& f, uint16_t v) { return f.Write(v); }
inline bool gWrite(RWFile& f, int16_t v) { return f.Write(v); }
inline bool gWrite(RWFile& f, float v) { return f.Write(v); }
inline bool gWrite(RWFile& f, double v) { return f.Write(v); }
template <class T>
bool gWrite(RWFile& f, GIntField<T> v) {
  return f.Write(static_cast<std::remove_const_t<T>>(v.value));
}
inline bool gWrite(RWFile& f, const RWCString& text) {
  text.saveOn(f);
  return !f.Error();
}
inline bool gWrite(RWFile& f, GByteField<const unsigned char> bytes) { return f.Write(bytes.data, bytes.length); }

inline bool gRead(RWFile& f, uint32_t& v) { return gfield::fromFile(f, v); }
inline bool gRead(RWFile& f, int32_t& v) { return gfield::fromFile(f, v); }
inline bool gRead(RWFile& f, uint16_t& v) { return gfield::fromFile(f, v); }
inline bool gRead(RWFile& f, int16_t& v) { return gfield::fromFile(f, v); }
inline bool gRead(RWFile& f, float& v) { return gfield::fromFile(f, v); }
inline bool gRead(RWFile& f, double& v) { return gfield::fromFile(f, v); }
template <class T>
bool gRead(RWFile& f, GIntField<T> v) {
  static_assert(!std::is_const_v<T>, "a field read is written to");
  return gfield::fromFile(f, v.value);
}
inline bool gWrite(RWFile& f, const RWWString& text) {
  text.saveOn(f);
  return !f.Error();
}
inline bool gRead(RWFile& f, RWCString& text) { return text.restoreFrom(f); }
inline bool gRead(RWFile& f, RWWString& text) { return text.restoreFrom(f); }
inline bool gRead(RWFile& f, GByteField<unsigned char> bytes) { return f.Read(bytes.data, bytes.length); }

// Whether more can be read: false once a read failed or the end was met.
inline bool gReadable(RWFile& f) { return !f.Eof() && !f.Error(); }

// ---- the virtual streams ----------------------------------------------------

inline bool gWrite(RWvostream& s, uint32_t v) { return s.putULong(v).good(); }
inline bool gWrite(RWvostream& s, int32_t v) { return s.putLong(v).good(); }
inline bool gWrite(RWvostream& s, uint16_t v) { return s.put(v).good(); }
inline bool gWrite(RWvostream& s, int16_t v) { return s.put(v).good(); }
inline bool gWrite(RWvostream& s, float v) { return s.put(v).good(); }
inline bool gWrite(RWvostream& s, double v) { return s.put(v).good(); }
template <class T>
bool gWrite(RWvostream& s, GIntField<T> v) {
  return s.put(static_cast<std::remove_const_t<T>>(v.value)).good();
}
inline bool gWrite(RWvostream& s, const RWCString& text) {
  text.saveOn(s);
  return s.good();
}
inline bool gWrite(RWvostream& s, GByteField<const unsigned char> bytes) {
  return s.put(bytes.data, bytes.length).good();
}

inline bool gRead(RWvistream& s, uint32_t& v) {
  return gfield::readWhole(v, [&](uint32_t& w) { return !s.getULong(w).fail(); });
}
inline bool gRead(RWvistream& s, int32_t& v) {
  return gfield::readWhole(v, [&](int32_t& w) { return !s.getLong(w).fail(); });
}
inline bool gRead(RWvistream& s, uint16_t& v) {
  return gfield::readWhole(v, [&](uint16_t& w) { return !s.get(w).fail(); });
}
inline bool gRead(RWvistream& s, int16_t& v) {
  return gfield::readWhole(v, [&](int16_t& w) { return !s.get(w).fail(); });
}
inline bool gRead(RWvistream& s, float& v) {
  return gfield::readWhole(v, [&](float& w) { return !s.get(w).fail(); });
}
inline bool gRead(RWvistream& s, double& v) {
  return gfield::readWhole(v, [&](double& w) { return !s.get(w).fail(); });
}
template <class T>
bool gRead(RWvistream& s, GIntField<T> v) {
  static_assert(!std::is_const_v<T>, "a field read is written to");
  return gfield::readWhole(v.value, [&](T& w) { return !s.get(w).fail(); });
}
inline bool gWrite(RWvostream& s, const RWWString& text) {
  text.saveOn(s);
  return s.good();
}
inline bool gRead(RWvistream& s, RWCString& text) { return text.restoreFrom(s); }
inline bool gRead(RWvistream& s, RWWString& text) { return text.restoreFrom(s); }
inline bool gRead(RWvistream& s, GByteField<unsigned char> bytes) { return !s.get(bytes.data, bytes.length).fail(); }

inline bool gReadable(RWvistream& s) { return s.good(); }

// ---- the kernel build's reals -----------------------------------------------
// A real goes out as the IEEE single it holds and comes back from one, so a
// kernel-built object stores the bytes a user-built one does. In the user
// build GReal is float and the float overloads above serve.

// Sink: RWFile or RWvostream; Source: RWFile or RWvistream.
template <class Sink, GKernelReal R>
bool gWrite(Sink& sink, const R& v) {
  return gWrite(sink, gSingleOf(v));
}
template <class Source, GKernelReal R>
bool gRead(Source& source, R& v) {
  float single = 0;
  if (!gRead(source, single)) return false;
  v = R(single);
  return true;
}
template <GKernelReal R>
RWvostream& operator<<(RWvostream& s, const R& v) {
  return s << gSingleOf(v);
}
template <GKernelReal R>
RWvistream& operator>>(RWvistream& s, R& v) {
  gRead(s, v);
  return s;
}

// The version word that opens every stored level: written as an unsigned
// long; a restore reads the rest of its level only when the word was read
// and equals the class's own version.
template <class Sink>
bool gWriteVersion(Sink& sink, uint32_t version) {
  return gWrite(sink, version);
}
template <class Source>
bool gReadVersion(Source& source, uint32_t version) {
  uint32_t stored = 0;
  return gRead(source, stored) && stored == version;
}

#endif
