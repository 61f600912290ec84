#ifndef RW_VSTREAM_H
#define RW_VSTREAM_H

// Virtual streams: the abstract output and input interfaces through which
// objects and strings store themselves, independent of the form (portable
// text, native binary, or binary with a byte-order header) chosen underneath.
//
// Every "long" value of a stored form is 32 bits, so the interfaces take
// int32_t/uint32_t and the platform long overloads are deleted: an 8-byte
// write must not compile. The long operations keep their own names because
// the endian input reads a long with the stored long size, which may differ
// from the stored int size.

#include <cstdint>
#include <iosfwd>

#include "rw/defs.h"

// The status shared by the output and input interfaces. The state values are
// the system's own: end of file 1, fail 2, bad 4, good when no bit is set.
class RWvios {
 public:
  enum { goodbit = 0, eofbit = 1, failbit = 2, badbit = 4 };

  RWvios(const RWvios&) = delete;
  RWvios& operator=(const RWvios&) = delete;
  virtual ~RWvios();

  virtual RWBoolean eof() const;
  virtual RWBoolean fail() const;  // fail or bad
  virtual RWBoolean bad() const;
  virtual RWBoolean good() const;
  virtual int rdstate() const;
  virtual void clear(int state = goodbit);

  // The format version: strings are stored with writeString/readString when
  // it is nonzero. Every stream form of the library sets it to 1.
  int version() const { return version_; }

 protected:
  RWvios() = default;
  void setVersion(int v) { version_ = v; }
  void setstate(int bits) { clear(rdstate() | bits); }

 private:
  int state_ = goodbit;
  int version_ = 0;
};

class RWvostream : public RWvios {
 public:
  // n characters of s, in the form's string encoding.
  virtual RWvostream& writeString(const char* s, RWsize n) = 0;
  // A NUL-terminated text, as writeString with its length.
  virtual RWvostream& writeString(const char* s) = 0;

  // Single values as numbers.
  virtual RWvostream& put(uint16_t v) = 0;
  virtual RWvostream& put(int16_t v) = 0;
  virtual RWvostream& putULong(uint32_t v) = 0;
  virtual RWvostream& putLong(int32_t v) = 0;
  virtual RWvostream& put(uint32_t v) = 0;
  virtual RWvostream& put(int32_t v) = 0;
  virtual RWvostream& put(unsigned char c) = 0;
  virtual RWvostream& put(char c) = 0;
  virtual RWvostream& put(float v) = 0;
  virtual RWvostream& put(double v) = 0;

  // Single values as characters.
  virtual RWvostream& putChar(unsigned char c) = 0;
  virtual RWvostream& putChar(char c) = 0;

  // Arrays of n values as numbers.
  virtual RWvostream& putULong(const uint32_t* p, RWsize n) = 0;
  virtual RWvostream& putLong(const int32_t* p, RWsize n) = 0;
  virtual RWvostream& put(const uint32_t* p, RWsize n) = 0;
  virtual RWvostream& put(const int32_t* p, RWsize n) = 0;
  virtual RWvostream& put(const uint16_t* p, RWsize n) = 0;
  virtual RWvostream& put(const int16_t* p, RWsize n) = 0;
  virtual RWvostream& put(const unsigned char* p, RWsize n) = 0;
  virtual RWvostream& put(const char* p, RWsize n) = 0;
  virtual RWvostream& put(const double* p, RWsize n) = 0;
  virtual RWvostream& put(const float* p, RWsize n) = 0;

  virtual RWvostream& flush() = 0;

  RWvostream& put(long) = delete;
  RWvostream& put(unsigned long) = delete;
  RWvostream& put(const long*, RWsize) = delete;
  RWvostream& put(const unsigned long*, RWsize) = delete;

 protected:
  RWvostream() = default;
};

class RWvistream : public RWvios {
 public:
  // Reads a stored text into buf (size n, the terminating zero included).
  // A longer text is cut to n - 1 characters, the rest skipped and the fail
  // bit set; with n = 0 nothing is stored and the fail bit is set.
  virtual RWvistream& readString(char* buf, RWsize n) = 0;

  // Single values as numbers.
  virtual RWvistream& getULong(uint32_t& v) = 0;
  virtual RWvistream& getLong(int32_t& v) = 0;
  virtual RWvistream& get(uint32_t& v) = 0;
  virtual RWvistream& get(int32_t& v) = 0;
  virtual RWvistream& get(uint16_t& v) = 0;
  virtual RWvistream& get(int16_t& v) = 0;
  virtual RWvistream& get(unsigned char& c) = 0;
  virtual RWvistream& get(char& c) = 0;
  virtual RWvistream& get(float& v) = 0;
  virtual RWvistream& get(double& v) = 0;
  // The next value as an int, or -1 at end of file.
  virtual int get() = 0;

  // Single values as characters.
  virtual RWvistream& getChar(unsigned char& c) = 0;
  virtual RWvistream& getChar(char& c) = 0;

  // Arrays of n values as numbers.
  virtual RWvistream& getULong(uint32_t* p, RWsize n) = 0;
  virtual RWvistream& getLong(int32_t* p, RWsize n) = 0;
  virtual RWvistream& get(uint32_t* p, RWsize n) = 0;
  virtual RWvistream& get(int32_t* p, RWsize n) = 0;
  virtual RWvistream& get(uint16_t* p, RWsize n) = 0;
  virtual RWvistream& get(int16_t* p, RWsize n) = 0;
  virtual RWvistream& get(unsigned char* p, RWsize n) = 0;
  virtual RWvistream& get(char* p, RWsize n) = 0;
  virtual RWvistream& get(double* p, RWsize n) = 0;
  virtual RWvistream& get(float* p, RWsize n) = 0;

  RWvistream& get(long&) = delete;
  RWvistream& get(unsigned long&) = delete;
  RWvistream& get(long*, RWsize) = delete;
  RWvistream& get(unsigned long*, RWsize) = delete;

 protected:
  RWvistream() = default;
};

// Shorthand: numbers as numbers, char and unsigned char as characters, a
// C string through writeString.
inline RWvostream& operator<<(RWvostream& s, uint16_t v) { return s.put(v); }
inline RWvostream& operator<<(RWvostream& s, int16_t v) { return s.put(v); }
inline RWvostream& operator<<(RWvostream& s, uint32_t v) { return s.put(v); }
inline RWvostream& operator<<(RWvostream& s, int32_t v) { return s.put(v); }
inline RWvostream& operator<<(RWvostream& s, float v) { return s.put(v); }
inline RWvostream& operator<<(RWvostream& s, double v) { return s.put(v); }
inline RWvostream& operator<<(RWvostream& s, unsigned char c) { return s.putChar(c); }
inline RWvostream& operator<<(RWvostream& s, char c) { return s.putChar(c); }
inline RWvostream& operator<<(RWvostream& s, const char* text) { return s.writeString(text); }
RWvostream& operator<<(RWvostream&, long) = delete;
RWvostream& operator<<(RWvostream&, unsigned long) = delete;

inline RWvistream& operator>>(RWvistream& s, uint16_t& v) { return s.get(v); }
inline RWvistream& operator>>(RWvistream& s, int16_t& v) { return s.get(v); }
inline RWvistream& operator>>(RWvistream& s, uint32_t& v) { return s.get(v); }
inline RWvistream& operator>>(RWvistream& s, int32_t& v) { return s.get(v); }
inline RWvistream& operator>>(RWvistream& s, float& v) { return s.get(v); }
inline RWvistream& operator>>(RWvistream& s, double& v) { return s.get(v); }
inline RWvistream& operator>>(RWvistream& s, unsigned char& c) { return s.getChar(c); }
inline RWvistream& operator>>(RWvistream& s, char& c) { return s.getChar(c); }
RWvistream& operator>>(RWvistream&, long&) = delete;
RWvistream& operator>>(RWvistream&, unsigned long&) = delete;

// Extraction into a new value: allocates one value, stores its pointer in p
// (the caller owns it) and reads it as the shorthand above does.
RWvistream& operator>>(RWvistream& s, uint16_t*& p);
RWvistream& operator>>(RWvistream& s, int16_t*& p);
RWvistream& operator>>(RWvistream& s, uint32_t*& p);
RWvistream& operator>>(RWvistream& s, int32_t*& p);
RWvistream& operator>>(RWvistream& s, unsigned char*& p);
RWvistream& operator>>(RWvistream& s, char*& p);
RWvistream& operator>>(RWvistream&, long*&) = delete;
RWvistream& operator>>(RWvistream&, unsigned long*&) = delete;

// The system's state bits of an iostream object, and setting them on it: the
// library's stream forms keep their state in the iostream they are built on.
int rwStreamState(const std::ios& ios);
void rwSetStreamState(std::ios& ios, int state);

// Flushes the stream; usable as a manipulator: s << flush.
RWvostream& flush(RWvostream& s);
inline RWvostream& operator<<(RWvostream& s, RWvostream& (*manip)(RWvostream&)) {
  return manip(s);
}

#endif
