#ifndef RW_BITVEC_H
#define RW_BITVEC_H

// A vector of bits.
//
// Bit i lives in byte i / 8 under the mask 1 << (i % 8), least significant
// bit first. The bits of the last byte at and above the length are spare:
// comparisons, the hash and the count ignore them, while complement and the
// logical operations change them along with the rest. The layout is public
// (data() and length()) because capability sets read and set bits directly.

#include <cstdint>

#include "rw/defs.h"

class RWBitVec {
 public:
  RWBitVec() : data_(nullptr), n_(0) {}
  explicit RWBitVec(RWsize n);                    // n bits, all clear
  RWBitVec(RWsize n, RWBoolean value);            // n bits, all set to value
  RWBitVec(const unsigned char* bytes, RWsize n);  // n bits from (n + 7) / 8 packed bytes
  RWBitVec(const RWBitVec&);
  ~RWBitVec();

  RWBitVec& operator=(const RWBitVec&);
  // Every byte becomes 0xFF or 0x00, spare bits included.
  RWBitVec& operator=(RWBoolean value);

  // True when every one of the n bits equals value (vacuously for 0 bits).
  RWBoolean operator==(RWBoolean value) const;
  RWBoolean operator!=(RWBoolean value) const { return !(*this == value); }
  RWBoolean isEqual(const RWBitVec&) const;
  RWBoolean operator==(const RWBitVec& v) const { return isEqual(v); }
  RWBoolean operator!=(const RWBitVec& v) const { return !isEqual(v); }

  // Combine with another vector over this vector's length. A vector of
  // another length is reported (NEVECL); only the bytes both hold are then
  // combined, the rest of this vector is left as it was.
  RWBitVec& operator&=(const RWBitVec&);
  RWBitVec& operator|=(const RWBitVec&);
  RWBitVec& operator^=(const RWBitVec&);

  uint32_t hash() const;

  // Checked access: an index at or above the length is reported (INDEXERR);
  // testBit then answers FALSE and the setters change nothing.
  RWBoolean testBit(RWsize i) const;
  RWBoolean operator[](RWsize i) const { return testBit(i); }
  void setBit(RWsize i);
  void clearBit(RWsize i);
  void setBit(RWsize i, RWBoolean value) { value ? setBit(i) : clearBit(i); }

  // Index of the first set (clear) bit, or -1 when there is none.
  int32_t firstTrue() const;
  int32_t firstFalse() const;

  // New bits are clear; shrinking keeps the bytes that remain as they were.
  void resize(RWsize n);

  RWsize length() const { return n_; }
  unsigned char* data() { return data_; }
  const unsigned char* data() const { return data_; }

 private:
  enum Op { opAnd, opOr, opXor };
  void combine(const RWBitVec&, Op);
  RWsize byteCount() const { return bytesFor(n_); }
  static RWsize bytesFor(RWsize n) { return static_cast<RWsize>((uint64_t(n) + 7) / 8); }

  unsigned char* data_;  // null when n_ is 0
  RWsize n_;
};

RWBitVec operator!(const RWBitVec&);  // complement: every byte inverted
RWBitVec operator&(const RWBitVec&, const RWBitVec&);
RWBitVec operator|(const RWBitVec&, const RWBitVec&);
RWBitVec operator^(const RWBitVec&, const RWBitVec&);

// Number of set bits among the vector's n bits.
RWsize sum(const RWBitVec&);

// The first set (clear) bit among the first m bits of a packed byte array,
// or -1 when there is none.
int32_t rwFirstTrue(const unsigned char* bytes, RWsize m);
int32_t rwFirstFalse(const unsigned char* bytes, RWsize m);

#endif
