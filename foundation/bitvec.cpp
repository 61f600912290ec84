#include "rw/bitvec.h"

#include <cstring>

#include "rw/message.h"
#include "rw/rwerr.h"

namespace {

unsigned char* newBytes(RWsize count) { return count ? new unsigned char[count] : nullptr; }

// The bits of a byte that lie below bit count n when n is not a multiple of 8.
inline unsigned char partialMask(RWsize n) { return static_cast<unsigned char>((1u << (n % 8)) - 1); }

inline uint32_t rotl5(uint32_t h) { return (h << 5) | (h >> 27); }

void reportIndex(RWsize i, RWsize n) { rwReport<RWBoundsErr>(RWTOOL_INDEXERR(), {i, n}); }

}  // namespace

RWBitVec::RWBitVec(RWsize n) : data_(newBytes(bytesFor(n))), n_(n) {
  if (data_) std::memset(data_, 0, byteCount());
}

RWBitVec::RWBitVec(RWsize n, RWBoolean value) : data_(newBytes(bytesFor(n))), n_(n) {
  if (data_) std::memset(data_, value ? 0xFF : 0x00, byteCount());
}

RWBitVec::RWBitVec(const unsigned char* bytes, RWsize n) : data_(newBytes(bytesFor(n))), n_(n) {
  if (data_) std::memcpy(data_, bytes, byteCount());
}

RWBitVec::RWBitVec(const RWBitVec& v) : data_(newBytes(v.byteCount())), n_(v.n_) {
  if (data_) std::memcpy(data_, v.data_, byteCount());
}

RWBitVec::~RWBitVec() { delete[] data_; }

RWBitVec& RWBitVec::operator=(const RWBitVec& v) {
  if (data_ != v.data_) {
    unsigned char* bytes = newBytes(v.byteCount());
    if (bytes) std::memcpy(bytes, v.data_, v.byteCount());
    delete[] data_;
    data_ = bytes;
    n_ = v.n_;
  }
  return *this;
}

RWBitVec& RWBitVec::operator=(RWBoolean value) {
  if (data_) std::memset(data_, value ? 0xFF : 0x00, byteCount());
  return *this;
}

RWBoolean RWBitVec::operator==(RWBoolean value) const {
  const unsigned char full = value ? 0xFF : 0x00;
  const RWsize whole = n_ / 8;
  for (RWsize i = 0; i < whole; ++i)
    if (data_[i] != full) return FALSE;
  if (n_ % 8) {
    const unsigned char mask = partialMask(n_);
    if ((data_[whole] & mask) != (full & mask)) return FALSE;
  }
  return TRUE;
}

RWBoolean RWBitVec::isEqual(const RWBitVec& v) const {
  if (n_ != v.n_) return FALSE;
  const RWsize whole = n_ / 8;
  if (whole && std::memcmp(data_, v.data_, whole) != 0) return FALSE;
  if (n_ % 8) {
    const unsigned char mask = partialMask(n_);
    if ((data_[whole] & mask) != (v.data_[whole] & mask)) return FALSE;
  }
  return TRUE;
}

void RWBitVec::combine(const RWBitVec& v, Op op) {
  RWsize count = byteCount();
  if (n_ != v.n_) {
    rwReport<RWInternalErr>(RWTOOL_NEVECL(), {n_, v.n_});
    // The other vector may be shorter: never read past its bytes.
    if (v.byteCount() < count) count = v.byteCount();
  }
  for (RWsize i = 0; i < count; ++i) {
    switch (op) {
      case opAnd: data_[i] &= v.data_[i]; break;
      case opOr: data_[i] |= v.data_[i]; break;
      case opXor: data_[i] ^= v.data_[i]; break;
    }
  }
}

RWBitVec& RWBitVec::operator&=(const RWBitVec& v) { combine(v, opAnd); return *this; }
RWBitVec& RWBitVec::operator|=(const RWBitVec& v) { combine(v, opOr); return *this; }
RWBitVec& RWBitVec::operator^=(const RWBitVec& v) { combine(v, opXor); return *this; }

RWBitVec operator!(const RWBitVec& v) {
  RWBitVec r(v);
  unsigned char* d = r.data();
  for (RWsize i = 0, count = static_cast<RWsize>((uint64_t(r.length()) + 7) / 8); i < count; ++i) d[i] = static_cast<unsigned char>(~d[i]);
  return r;
}

RWBitVec operator&(const RWBitVec& a, const RWBitVec& b) { RWBitVec r(a); r &= b; return r; }
RWBitVec operator|(const RWBitVec& a, const RWBitVec& b) { RWBitVec r(a); r |= b; return r; }
RWBitVec operator^(const RWBitVec& a, const RWBitVec& b) { RWBitVec r(a); r ^= b; return r; }

uint32_t RWBitVec::hash() const {
  uint32_t h = n_;
  const RWsize whole = n_ / 8;
  for (RWsize i = 0; i < whole; ++i) h = rotl5(h) ^ data_[i];
  if (n_ % 8) h = rotl5(h) ^ (data_[whole] & partialMask(n_));
  return h;
}

RWBoolean RWBitVec::testBit(RWsize i) const {
  if (i >= n_) {
    reportIndex(i, n_);
    return FALSE;
  }
  return (data_[i / 8] >> (i % 8)) & 1;
}

void RWBitVec::setBit(RWsize i) {
  if (i >= n_) return reportIndex(i, n_);
  data_[i / 8] |= static_cast<unsigned char>(1u << (i % 8));
}

void RWBitVec::clearBit(RWsize i) {
  if (i >= n_) return reportIndex(i, n_);
  data_[i / 8] &= static_cast<unsigned char>(~(1u << (i % 8)));
}

int32_t RWBitVec::firstTrue() const { return rwFirstTrue(data_, n_); }
int32_t RWBitVec::firstFalse() const { return rwFirstFalse(data_, n_); }

void RWBitVec::resize(RWsize n) {
  const RWsize oldN = n_;
  const RWsize oldCount = byteCount();
  const RWsize newCount = bytesFor(n);
  if (newCount != oldCount) {
    unsigned char* bytes = newBytes(newCount);
    const RWsize common = oldCount < newCount ? oldCount : newCount;
    if (common) std::memcpy(bytes, data_, common);
    if (newCount > common) std::memset(bytes + common, 0, newCount - common);
    delete[] data_;
    data_ = bytes;
  }
  n_ = n;
  // Whatever the spare bits of the old last byte held must not show up as
  // new set bits.
  if (n > oldN && oldN % 8) data_[oldN / 8] &= partialMask(oldN);
}

RWsize sum(const RWBitVec& v) {
  const unsigned char* d = v.data();
  const RWsize n = v.length();
  RWsize total = 0;
  for (RWsize i = 0, whole = n / 8; i < whole; ++i) total += static_cast<RWsize>(__builtin_popcount(d[i]));
  if (n % 8) total += static_cast<RWsize>(__builtin_popcount(d[n / 8] & ((1u << (n % 8)) - 1)));
  return total;
}

namespace {

// Scans the first m bits; invert turns the search for a clear bit into one
// for a set bit.
int32_t firstBit(const unsigned char* bytes, RWsize m, unsigned char invert) {
  const RWsize count = static_cast<RWsize>((uint64_t(m) + 7) / 8);
  for (RWsize i = 0; i < count; ++i) {
    unsigned b = static_cast<unsigned char>(bytes[i] ^ invert);
    if (i == m / 8) b &= partialMask(m);  // the byte holding bit m: only the bits below it
    if (b) return static_cast<int32_t>(i * 8 + static_cast<RWsize>(__builtin_ctz(b)));
  }
  return -1;
}

}  // namespace

int32_t rwFirstTrue(const unsigned char* bytes, RWsize m) { return firstBit(bytes, m, 0x00); }
int32_t rwFirstFalse(const unsigned char* bytes, RWsize m) { return firstBit(bytes, m, 0xFF); }
