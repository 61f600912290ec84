#ifndef RW_BSTREAM_H
#define RW_BSTREAM_H

// The binary form: every value as its native bytes, fast but readable only
// on a machine of the same byte order. Strings are a 4-byte length and the
// bytes.

#include <cstddef>
#include <iosfwd>

#include "rw/vstream.h"

class RWbostream : public RWvostream {
 public:
  explicit RWbostream(std::ostream& os);
  ~RWbostream() override;

  int rdstate() const override;
  void clear(int state = goodbit) override;

  using RWvostream::put;
  RWvostream& writeString(const char* s, RWsize n) override;
  RWvostream& writeString(const char* s) override;
  RWvostream& put(uint16_t v) override;
  RWvostream& put(int16_t v) override;
  RWvostream& putULong(uint32_t v) override;
  RWvostream& putLong(int32_t v) override;
  RWvostream& put(uint32_t v) override;
  RWvostream& put(int32_t v) override;
  RWvostream& put(unsigned char c) override;
  RWvostream& put(char c) override;
  RWvostream& put(float v) override;
  RWvostream& put(double v) override;
  RWvostream& putChar(unsigned char c) override;
  RWvostream& putChar(char c) override;
  RWvostream& putULong(const uint32_t* p, RWsize n) override;
  RWvostream& putLong(const int32_t* p, RWsize n) override;
  RWvostream& put(const uint32_t* p, RWsize n) override;
  RWvostream& put(const int32_t* p, RWsize n) override;
  RWvostream& put(const uint16_t* p, RWsize n) override;
  RWvostream& put(const int16_t* p, RWsize n) override;
  RWvostream& put(const unsigned char* p, RWsize n) override;
  RWvostream& put(const char* p, RWsize n) override;
  RWvostream& put(const double* p, RWsize n) override;
  RWvostream& put(const float* p, RWsize n) override;
  RWvostream& flush() override;

 protected:
  // Hands all n bytes to the stream buffer; sets fail when it takes fewer.
  void putBytes(const void* p, size_t n);
  std::ostream& stream() const { return os_; }

 private:
  std::ostream& os_;
};

class RWbistream : public RWvistream {
 public:
  explicit RWbistream(std::istream& is);
  ~RWbistream() override;

  int rdstate() const override;
  void clear(int state = goodbit) override;

  using RWvistream::get;
  RWvistream& readString(char* buf, RWsize n) override;
  RWvistream& getULong(uint32_t& v) override;
  RWvistream& getLong(int32_t& v) override;
  RWvistream& get(uint32_t& v) override;
  RWvistream& get(int32_t& v) override;
  RWvistream& get(uint16_t& v) override;
  RWvistream& get(int16_t& v) override;
  RWvistream& get(unsigned char& c) override;
  RWvistream& get(char& c) override;
  RWvistream& get(float& v) override;
  RWvistream& get(double& v) override;
  int get() override;
  RWvistream& getChar(unsigned char& c) override;
  RWvistream& getChar(char& c) override;
  RWvistream& getULong(uint32_t* p, RWsize n) override;
  RWvistream& getLong(int32_t* p, RWsize n) override;
  RWvistream& get(uint32_t* p, RWsize n) override;
  RWvistream& get(int32_t* p, RWsize n) override;
  RWvistream& get(uint16_t* p, RWsize n) override;
  RWvistream& get(int16_t* p, RWsize n) override;
  RWvistream& get(unsigned char* p, RWsize n) override;
  RWvistream& get(char* p, RWsize n) override;
  RWvistream& get(double* p, RWsize n) override;
  RWvistream& get(float* p, RWsize n) override;

 protected:
  // Reads n bytes; a short read sets fail and end of file. Answers the
  // number of bytes read.
  size_t getBytes(void* p, size_t n);
  // One value from complete bytes only; a short read leaves it zero.
  template <class T>
  void getValue(T& v) {
    T t;
    v = getBytes(&t, sizeof t) == sizeof t ? t : T();
  }
  // After a string length L was read: min(L, n - 1) bytes into buf, the rest
  // skipped with the fail bit set, buf terminated.
  void readStringBody(char* buf, RWsize n, uint32_t length);
  std::istream& stream() const { return is_; }

 private:
  std::istream& is_;
};

#endif
