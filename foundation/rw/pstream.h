#ifndef RW_PSTREAM_H
#define RW_PSTREAM_H

// The portable form: readable text that any machine reads back the same.
// Numbers are decimal text, each followed by a line feed; characters and
// strings are escaped so that only printable bytes (no blank) are written,
// and long runs of them are wrapped at 80 columns.

#include <iosfwd>

#include "rw/vstream.h"

class RWpostream : public RWvostream {
 public:
  explicit RWpostream(std::ostream& os);
  ~RWpostream() override;

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

 private:
  void escaped(unsigned char c);
  void emit(const char* text, unsigned width);

  std::ostream& os_;
  unsigned column_ = 0;  // counted width of escaped text since the last wrap
};

class RWpistream : public RWvistream {
 public:
  explicit RWpistream(std::istream& is);
  ~RWpistream() override;

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

 private:
  std::istream& is_;
};

#endif
