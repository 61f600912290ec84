#include "rw/estream.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <istream>
#include <ostream>
#include <type_traits>

#include "rw/rwerr.h"

namespace {

constexpr bool hostBigEndian = std::endian::native == std::endian::big;

// The sizes this build writes and reads natively.
constexpr uint8_t sizeofShort = 2;
constexpr uint8_t sizeofInt = 4;
constexpr uint8_t sizeofLong = 4;
constexpr uint8_t sizeofWchar = 2;
constexpr uint8_t sizeofLength = 4;

// Values wider than their native size are read through a scratch area of
// this many extra bytes; a header claiming more is refused.
constexpr unsigned maxExtra = 8;

template <class T>
T reversed(T v) {
  unsigned char b[sizeof(T)];
  std::memcpy(b, &v, sizeof b);
  std::reverse(b, b + sizeof b);
  std::memcpy(&v, b, sizeof b);
  return v;
}

void reportStream(const std::ios& ios) {
  RWThrow(RWStreamStateErr(RWMessage(RWTOOL_STREAM()), ios));
}

}  // namespace

// ---------------------------------------------------------------- output

RWeostream::RWeostream(std::ostream& os, Endian order) : RWbostream(os) {
  if (order == HostEndian) order = hostBigEndian ? BigEndian : LittleEndian;
  order_ = order == BigEndian ? BigEndian : LittleEndian;
  swap_ = (order_ == BigEndian) != hostBigEndian;

  // The header must be the first thing on the target: a stream that already
  // holds data is reported. The write position is left where it was.
  if (std::streambuf* sb = os.rdbuf()) {
    std::streampos here = sb->pubseekoff(0, std::ios::cur, std::ios::out);
    std::streampos end = sb->pubseekoff(0, std::ios::end, std::ios::out);
    if (end != std::streampos(-1)) {
      if (here != std::streampos(-1)) sb->pubseekpos(here, std::ios::out);
      if (end != std::streampos(0)) reportStream(os);
    }
  }

  const unsigned char header[9] = {'e',         's',      0x01,       uint8_t(order_), sizeofShort,
                                   sizeofInt,   sizeofLong, sizeofWchar, sizeofLength};
  putBytes(header, sizeof header);
}

RWeostream::~RWeostream() = default;

template <class T>
void RWeostream::putValue(T v) {
  if (swap_) v = reversed(v);
  putBytes(&v, sizeof v);
}

template <class T>
void RWeostream::putValues(const T* p, RWsize n) {
  if (!swap_) {
    putBytes(p, size_t(n) * sizeof(T));
    return;
  }
  for (RWsize i = 0; i < n; ++i) putValue(p[i]);
}

RWvostream& RWeostream::writeString(const char* s, RWsize n) {
  if (!s) n = 0;
  putValue(uint32_t(n));
  putBytes(s, n);
  return *this;
}

RWvostream& RWeostream::put(uint16_t v) { putValue(v); return *this; }
RWvostream& RWeostream::put(int16_t v) { putValue(v); return *this; }
RWvostream& RWeostream::putULong(uint32_t v) { putValue(v); return *this; }
RWvostream& RWeostream::putLong(int32_t v) { putValue(v); return *this; }
RWvostream& RWeostream::put(uint32_t v) { putValue(v); return *this; }
RWvostream& RWeostream::put(int32_t v) { putValue(v); return *this; }
RWvostream& RWeostream::put(float v) { putValue(v); return *this; }
RWvostream& RWeostream::put(double v) { putValue(v); return *this; }
RWvostream& RWeostream::putULong(const uint32_t* p, RWsize n) { putValues(p, n); return *this; }
RWvostream& RWeostream::putLong(const int32_t* p, RWsize n) { putValues(p, n); return *this; }
RWvostream& RWeostream::put(const uint32_t* p, RWsize n) { putValues(p, n); return *this; }
RWvostream& RWeostream::put(const int32_t* p, RWsize n) { putValues(p, n); return *this; }
RWvostream& RWeostream::put(const uint16_t* p, RWsize n) { putValues(p, n); return *this; }
RWvostream& RWeostream::put(const int16_t* p, RWsize n) { putValues(p, n); return *this; }
RWvostream& RWeostream::put(const double* p, RWsize n) { putValues(p, n); return *this; }
RWvostream& RWeostream::put(const float* p, RWsize n) { putValues(p, n); return *this; }

// ---------------------------------------------------------------- input

RWeistream::RWeistream(std::istream& is) : RWbistream(is) {
  unsigned char b = 0;
  for (unsigned mark : {0x65u, 0x73u, 0x01u}) {  // 'e', 's', version 1
    getValue(b);
    if (b != mark || !good()) reportStream(is);
  }
  getValue(b);
  bigEndian_ = b != 0;
  for (uint8_t* size : {&shortSize_, &intSize_, &longSize_, &wcharSize_, &sizeSize_}) {
    getValue(*size);
    if (!good()) reportStream(is);
  }
  // A size of 0 means nothing, and one far above ours would need more room
  // than any value has: such a header cannot be read.
  auto unusable = [](uint8_t stored, unsigned native) {
    return stored == 0 || stored > native + maxExtra;
  };
  if (unusable(shortSize_, sizeofShort) || unusable(intSize_, sizeofInt) ||
      unusable(longSize_, sizeofLong) || unusable(sizeSize_, sizeofLength))
    setstate(failbit);
}

RWeistream::~RWeistream() = default;

// Reads a value stored with `stored` bytes in the stream's order into the
// native type: narrower values are sign- or zero-extended, wider ones must
// carry nothing but the extension of the value kept.
template <class T>
void RWeistream::getSized(T& v, unsigned stored) {
  constexpr unsigned native = sizeof(T);
  using U = std::make_unsigned_t<T>;
  v = 0;
  if (stored == 0 || stored > native + maxExtra) {
    setstate(failbit);
    return;
  }
  unsigned char raw[native + maxExtra];
  if (getBytes(raw, stored) < stored) return;
  // Least significant byte first, whatever the stored order.
  unsigned char le[native + maxExtra];
  for (unsigned i = 0; i < stored; ++i) le[i] = bigEndian_ ? raw[stored - 1 - i] : raw[i];

  if (stored < native) {
    unsigned char fill = std::is_signed_v<T> && (le[stored - 1] & 0x80) ? 0xFF : 0x00;
    for (unsigned i = stored; i < native; ++i) le[i] = fill;
  } else if (stored > native) {
    unsigned char sign = std::is_signed_v<T> && (le[native - 1] & 0x80) ? 0xFF : 0x00;
    for (unsigned i = native; i < stored; ++i)
      if (le[i] != sign) setstate(failbit);
  }
  U u = 0;
  for (unsigned i = 0; i < native; ++i) u = U(u | U(U(le[i]) << (8 * i)));
  v = T(u);
}

template <class T>
void RWeistream::getSizedArray(T* p, RWsize n, unsigned stored) {
  if (stored == 0 || stored > sizeof(T) + maxExtra) {
    setstate(failbit);
    return;
  }
  if (stored == sizeof(T)) {
    size_t got = getBytes(p, size_t(n) * sizeof(T)) / sizeof(T);
    if (bigEndian_ != hostBigEndian)
      for (size_t i = 0; i < got; ++i) p[i] = reversed(p[i]);
    return;
  }
  for (RWsize i = 0; i < n && !eof(); ++i) getSized(p[i], stored);
}

template <class T>
void RWeistream::getReal(T& v) {
  getValue(v);
  if (bigEndian_ != hostBigEndian) v = reversed(v);
}

template <class T>
void RWeistream::getReals(T* p, RWsize n) {
  size_t got = getBytes(p, size_t(n) * sizeof(T)) / sizeof(T);
  if (bigEndian_ != hostBigEndian)
    for (size_t i = 0; i < got; ++i) p[i] = reversed(p[i]);
}

RWvistream& RWeistream::readString(char* buf, RWsize n) {
  uint32_t length;
  getSized(length, sizeSize_);
  if (!good()) {
    if (buf && n > 0) buf[0] = 0;
    setstate(failbit | badbit);
    return *this;
  }
  readStringBody(buf, n, length);
  return *this;
}

RWvistream& RWeistream::getULong(uint32_t& v) { getSized(v, longSize_); return *this; }
RWvistream& RWeistream::getLong(int32_t& v) { getSized(v, longSize_); return *this; }
RWvistream& RWeistream::get(uint32_t& v) { getSized(v, intSize_); return *this; }
RWvistream& RWeistream::get(int32_t& v) { getSized(v, intSize_); return *this; }
RWvistream& RWeistream::get(uint16_t& v) { getSized(v, shortSize_); return *this; }
RWvistream& RWeistream::get(int16_t& v) { getSized(v, shortSize_); return *this; }
RWvistream& RWeistream::get(float& v) { getReal(v); return *this; }
RWvistream& RWeistream::get(double& v) { getReal(v); return *this; }
RWvistream& RWeistream::getULong(uint32_t* p, RWsize n) { getSizedArray(p, n, longSize_); return *this; }
RWvistream& RWeistream::getLong(int32_t* p, RWsize n) { getSizedArray(p, n, longSize_); return *this; }
RWvistream& RWeistream::get(uint32_t* p, RWsize n) { getSizedArray(p, n, intSize_); return *this; }
RWvistream& RWeistream::get(int32_t* p, RWsize n) { getSizedArray(p, n, intSize_); return *this; }
RWvistream& RWeistream::get(uint16_t* p, RWsize n) { getSizedArray(p, n, shortSize_); return *this; }
RWvistream& RWeistream::get(int16_t* p, RWsize n) { getSizedArray(p, n, shortSize_); return *this; }
RWvistream& RWeistream::get(double* p, RWsize n) { getReals(p, n); return *this; }
RWvistream& RWeistream::get(float* p, RWsize n) { getReals(p, n); return *this; }
