#ifndef RW_ESTREAM_H
#define RW_ESTREAM_H

// The endian form: binary data behind a 9-byte header that names the byte
// order and the integer sizes of the writer, so that a machine of another
// order or other sizes reads it back. The writer stores 2-byte shorts and
// 4-byte ints, longs and string lengths in the order chosen; the reader
// widens or narrows each value from the stored size to its own.

#include <cstdint>
#include <iosfwd>

#include "rw/bstream.h"

class RWeostream : public RWbostream {
 public:
  enum Endian { LittleEndian = 0, BigEndian = 1, HostEndian = 2 };

  // Writes the header; reports a target that already holds data.
  RWeostream(std::ostream& os, Endian order = HostEndian);
  ~RWeostream() override;

  Endian streamEndian() const { return order_; }

  using RWbostream::put;
  using RWbostream::writeString;
  RWvostream& writeString(const char* s, RWsize n) override;
  RWvostream& put(uint16_t v) override;
  RWvostream& put(int16_t v) override;
  RWvostream& putULong(uint32_t v) override;
  RWvostream& putLong(int32_t v) override;
  RWvostream& put(uint32_t v) override;
  RWvostream& put(int32_t v) override;
  RWvostream& put(float v) override;
  RWvostream& put(double v) override;
  RWvostream& putULong(const uint32_t* p, RWsize n) override;
  RWvostream& putLong(const int32_t* p, RWsize n) override;
  RWvostream& put(const uint32_t* p, RWsize n) override;
  RWvostream& put(const int32_t* p, RWsize n) override;
  RWvostream& put(const uint16_t* p, RWsize n) override;
  RWvostream& put(const int16_t* p, RWsize n) override;
  RWvostream& put(const double* p, RWsize n) override;
  RWvostream& put(const float* p, RWsize n) override;

 private:
  template <class T>
  void putValue(T v);
  template <class T>
  void putValues(const T* p, RWsize n);

  Endian order_;  // never HostEndian: resolved when made
  bool swap_;     // the order differs from the host's
};

class RWeistream : public RWbistream {
 public:
  // Reads the header; reports a missing mark or version and a cut header.
  explicit RWeistream(std::istream& is);
  ~RWeistream() override;

  RWeostream::Endian streamEndian() const {
    return bigEndian_ ? RWeostream::BigEndian : RWeostream::LittleEndian;
  }
  // The writer's sizes, as its header gave them.
  unsigned streamSizeofShort() const { return shortSize_; }
  unsigned streamSizeofInt() const { return intSize_; }
  unsigned streamSizeofLong() const { return longSize_; }
  unsigned streamSizeofWchar() const { return wcharSize_; }
  unsigned streamSizeofSizeT() const { return sizeSize_; }

  using RWbistream::get;
  RWvistream& readString(char* buf, RWsize n) override;
  RWvistream& getULong(uint32_t& v) override;
  RWvistream& getLong(int32_t& v) override;
  RWvistream& get(uint32_t& v) override;
  RWvistream& get(int32_t& v) override;
  RWvistream& get(uint16_t& v) override;
  RWvistream& get(int16_t& v) override;
  RWvistream& get(float& v) override;
  RWvistream& get(double& v) override;
  RWvistream& getULong(uint32_t* p, RWsize n) override;
  RWvistream& getLong(int32_t* p, RWsize n) override;
  RWvistream& get(uint32_t* p, RWsize n) override;
  RWvistream& get(int32_t* p, RWsize n) override;
  RWvistream& get(uint16_t* p, RWsize n) override;
  RWvistream& get(int16_t* p, RWsize n) override;
  RWvistream& get(double* p, RWsize n) override;
  RWvistream& get(float* p, RWsize n) override;

 private:
  template <class T>
  void getSized(T& v, unsigned stored);
  template <class T>
  void getSizedArray(T* p, RWsize n, unsigned stored);
  template <class T>
  void getReal(T& v);
  template <class T>
  void getReals(T* p, RWsize n);

  bool bigEndian_ = false;
  uint8_t shortSize_ = 0;
  uint8_t intSize_ = 0;
  uint8_t longSize_ = 0;
  uint8_t wcharSize_ = 0;
  uint8_t sizeSize_ = 0;
};

#endif
