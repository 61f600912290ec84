#include "rw/bstream.h"

#include <cstring>
#include <istream>
#include <ostream>

// ---------------------------------------------------------------- output

RWbostream::RWbostream(std::ostream& os) : os_(os) { setVersion(1); }
RWbostream::~RWbostream() = default;

int RWbostream::rdstate() const { return rwStreamState(os_); }
void RWbostream::clear(int state) { rwSetStreamState(os_, state); }

void RWbostream::putBytes(const void* p, size_t n) {
  std::streambuf* sb = os_.rdbuf();
  if (!sb) {
    os_.setstate(std::ios::badbit);
    return;
  }
  const char* c = static_cast<const char*>(p);
  while (n > 0) {
    std::streamsize k = sb->sputn(c, std::streamsize(n));
    if (k <= 0) break;
    c += k;
    n -= size_t(k);
    // A buffer that took part of the block may take the rest once emptied.
    if (n > 0) sb->pubsync();
  }
  if (n > 0) os_.setstate(std::ios::failbit);
}

RWvostream& RWbostream::writeString(const char* s, RWsize n) {
  if (!s) n = 0;
  putBytes(&n, sizeof n);
  putBytes(s, n);
  return *this;
}

RWvostream& RWbostream::writeString(const char* s) {
  return writeString(s, s ? RWsize(std::strlen(s)) : 0);
}

RWvostream& RWbostream::put(uint16_t v) { putBytes(&v, sizeof v); return *this; }
RWvostream& RWbostream::put(int16_t v) { putBytes(&v, sizeof v); return *this; }
RWvostream& RWbostream::putULong(uint32_t v) { putBytes(&v, sizeof v); return *this; }
RWvostream& RWbostream::putLong(int32_t v) { putBytes(&v, sizeof v); return *this; }
RWvostream& RWbostream::put(uint32_t v) { putBytes(&v, sizeof v); return *this; }
RWvostream& RWbostream::put(int32_t v) { putBytes(&v, sizeof v); return *this; }
RWvostream& RWbostream::put(unsigned char c) { putBytes(&c, 1); return *this; }
RWvostream& RWbostream::put(char c) { putBytes(&c, 1); return *this; }
RWvostream& RWbostream::put(float v) { putBytes(&v, sizeof v); return *this; }
RWvostream& RWbostream::put(double v) { putBytes(&v, sizeof v); return *this; }
RWvostream& RWbostream::putChar(unsigned char c) { putBytes(&c, 1); return *this; }
RWvostream& RWbostream::putChar(char c) { putBytes(&c, 1); return *this; }

RWvostream& RWbostream::putULong(const uint32_t* p, RWsize n) { putBytes(p, size_t(n) * sizeof *p); return *this; }
RWvostream& RWbostream::putLong(const int32_t* p, RWsize n) { putBytes(p, size_t(n) * sizeof *p); return *this; }
RWvostream& RWbostream::put(const uint32_t* p, RWsize n) { putBytes(p, size_t(n) * sizeof *p); return *this; }
RWvostream& RWbostream::put(const int32_t* p, RWsize n) { putBytes(p, size_t(n) * sizeof *p); return *this; }
RWvostream& RWbostream::put(const uint16_t* p, RWsize n) { putBytes(p, size_t(n) * sizeof *p); return *this; }
RWvostream& RWbostream::put(const int16_t* p, RWsize n) { putBytes(p, size_t(n) * sizeof *p); return *this; }
RWvostream& RWbostream::put(const unsigned char* p, RWsize n) { putBytes(p, n); return *this; }
RWvostream& RWbostream::put(const char* p, RWsize n) { putBytes(p, n); return *this; }
RWvostream& RWbostream::put(const double* p, RWsize n) { putBytes(p, size_t(n) * sizeof *p); return *this; }
RWvostream& RWbostream::put(const float* p, RWsize n) { putBytes(p, size_t(n) * sizeof *p); return *this; }

RWvostream& RWbostream::flush() {
  os_.flush();
  return *this;
}

// ---------------------------------------------------------------- input

RWbistream::RWbistream(std::istream& is) : is_(is) { setVersion(1); }
RWbistream::~RWbistream() = default;

int RWbistream::rdstate() const { return rwStreamState(is_); }
void RWbistream::clear(int state) { rwSetStreamState(is_, state); }

size_t RWbistream::getBytes(void* p, size_t n) {
  std::streambuf* sb = is_.rdbuf();
  size_t got = 0;
  if (sb) {
    char* c = static_cast<char*>(p);
    while (got < n) {
      std::streamsize k = sb->sgetn(c + got, std::streamsize(n - got));
      if (k <= 0) break;
      got += size_t(k);
    }
  }
  if (got < n) is_.setstate(std::ios::failbit | std::ios::eofbit);
  return got;
}

void RWbistream::readStringBody(char* buf, RWsize n, uint32_t length) {
  if (!buf) n = 0;
  // n counts the terminator; with no room even for that nothing is stored.
  RWsize keep = n == 0 ? 0 : (length < n - 1 ? length : n - 1);
  size_t got = getBytes(buf, keep);
  if (n > 0) buf[got] = 0;
  if (got < keep) return;
  if (length > keep) {
    std::streambuf* sb = is_.rdbuf();
    for (uint32_t left = length - keep; left > 0 && is_.good(); --left) {
      if (!sb || sb->sbumpc() == std::char_traits<char>::eof()) is_.setstate(std::ios::failbit | std::ios::eofbit);
    }
    is_.setstate(std::ios::failbit);
  } else if (n == 0) {
    is_.setstate(std::ios::failbit);
  }
}

RWvistream& RWbistream::readString(char* buf, RWsize n) {
  uint32_t length = 0;
  if (getBytes(&length, sizeof length) < sizeof length) {
    if (buf && n > 0) buf[0] = 0;
    return *this;
  }
  readStringBody(buf, n, length);
  return *this;
}

RWvistream& RWbistream::getULong(uint32_t& v) { getValue(v); return *this; }
RWvistream& RWbistream::getLong(int32_t& v) { getValue(v); return *this; }
RWvistream& RWbistream::get(uint32_t& v) { getValue(v); return *this; }
RWvistream& RWbistream::get(int32_t& v) { getValue(v); return *this; }
RWvistream& RWbistream::get(uint16_t& v) { getValue(v); return *this; }
RWvistream& RWbistream::get(int16_t& v) { getValue(v); return *this; }
RWvistream& RWbistream::get(unsigned char& c) { getValue(c); return *this; }
RWvistream& RWbistream::get(char& c) { getValue(c); return *this; }
RWvistream& RWbistream::get(float& v) { getValue(v); return *this; }
RWvistream& RWbistream::get(double& v) { getValue(v); return *this; }
RWvistream& RWbistream::getChar(unsigned char& c) { getValue(c); return *this; }
RWvistream& RWbistream::getChar(char& c) { getValue(c); return *this; }

int RWbistream::get() {
  std::streambuf* sb = is_.rdbuf();
  int c = sb ? sb->sbumpc() : std::char_traits<char>::eof();
  if (c == std::char_traits<char>::eof()) {
    is_.setstate(std::ios::failbit | std::ios::eofbit);
    return -1;
  }
  return c;
}

RWvistream& RWbistream::getULong(uint32_t* p, RWsize n) { getBytes(p, size_t(n) * sizeof *p); return *this; }
RWvistream& RWbistream::getLong(int32_t* p, RWsize n) { getBytes(p, size_t(n) * sizeof *p); return *this; }
RWvistream& RWbistream::get(uint32_t* p, RWsize n) { getBytes(p, size_t(n) * sizeof *p); return *this; }
RWvistream& RWbistream::get(int32_t* p, RWsize n) { getBytes(p, size_t(n) * sizeof *p); return *this; }
RWvistream& RWbistream::get(uint16_t* p, RWsize n) { getBytes(p, size_t(n) * sizeof *p); return *this; }
RWvistream& RWbistream::get(int16_t* p, RWsize n) { getBytes(p, size_t(n) * sizeof *p); return *this; }
RWvistream& RWbistream::get(unsigned char* p, RWsize n) { getBytes(p, n); return *this; }
RWvistream& RWbistream::get(char* p, RWsize n) { getBytes(p, n); return *this; }
RWvistream& RWbistream::get(double* p, RWsize n) { getBytes(p, size_t(n) * sizeof *p); return *this; }
RWvistream& RWbistream::get(float* p, RWsize n) { getBytes(p, size_t(n) * sizeof *p); return *this; }
