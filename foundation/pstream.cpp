#include "rw/pstream.h"

#include <charconv>
#include <cstring>
#include <istream>
#include <limits>
#include <ostream>
#include <type_traits>

#include "rw/rwerr.h"

namespace {

// Numbers are formatted here rather than by the ostream's operator<<, so
// that flags left on the caller's stream (hex, width, showpos) cannot change
// what is stored.
template <class T>
void writeNumber(std::ostream& os, T v) {
  char buf[32];
  std::to_chars_result r;
  if constexpr (std::is_same_v<T, float>)
    r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 9);
  else if constexpr (std::is_same_v<T, double>)
    r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 17);
  else
    r = std::to_chars(buf, buf + sizeof buf, v);
  *r.ptr++ = '\n';
  os.write(buf, r.ptr - buf);
}

template <class T>
void writeNumbers(std::ostream& os, const T* p, RWsize n) {
  for (RWsize i = 0; i < n; ++i) writeNumber(os, p[i]);
}

bool isDigit(int c) { return c >= '0' && c <= '9'; }
bool isSpace(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Reads an optionally signed decimal integer after white space; false (and
// the fail bit) when there is none or it does not fit [lo, hi].
bool readInteger(std::istream& is, int64_t lo, uint64_t hi, int64_t& sv, uint64_t& uv) {
  sv = 0;
  uv = 0;
  is >> std::ws;
  int c = is.peek();
  bool negative = false;
  if (c == '-' || c == '+') {
    negative = c == '-';
    is.get();
    c = is.peek();
  }
  bool any = false, overflow = false;
  uint64_t value = 0;
  while (c != std::char_traits<char>::eof() && isDigit(c)) {
    any = true;
    unsigned d = unsigned(c - '0');
    if (value > (UINT64_MAX - d) / 10)
      overflow = true;
    else
      value = value * 10 + d;
    is.get();
    c = is.peek();
  }
  if (!any || overflow) {
    is.setstate(std::ios::failbit);
    return false;
  }
  if (negative) {
    // lo is at least INT32_MIN here, so -lo cannot overflow.
    if (value > uint64_t(-lo)) {
      is.setstate(std::ios::failbit);
      return false;
    }
    sv = -int64_t(value);
    return true;
  }
  if (value > hi) {
    is.setstate(std::ios::failbit);
    return false;
  }
  sv = int64_t(value);
  uv = value;
  return true;
}

template <class T>
void readNumber(std::istream& is, T& v) {
  int64_t sv;
  uint64_t uv;
  if constexpr (std::is_signed_v<T>) {
    readInteger(is, std::numeric_limits<T>::min(), uint64_t(std::numeric_limits<T>::max()), sv, uv);
    v = T(sv);
  } else {
    readInteger(is, 0, std::numeric_limits<T>::max(), sv, uv);
    v = T(uv);
  }
}

// A real number is one token of text up to the next white space.
template <class T>
void readReal(std::istream& is, T& v) {
  v = 0;
  is >> std::ws;
  char buf[64];
  size_t len = 0;
  int c = is.peek();
  while (c != std::char_traits<char>::eof() && !isSpace(c)) {
    if (len == sizeof buf) {
      is.setstate(std::ios::failbit);
      return;
    }
    buf[len++] = char(is.get());
    c = is.peek();
  }
  auto r = std::from_chars(buf, buf + len, v, std::chars_format::general);
  if (len == 0 || r.ec != std::errc() || r.ptr != buf + len) {
    v = 0;
    is.setstate(std::ios::failbit);
  }
}

template <class T>
void readNumbers(std::istream& is, T* p, RWsize n) {
  for (RWsize i = 0; i < n; ++i) readNumber(is, p[i]);
}

int hexValue(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// One character of escaped text; line feeds (inserted by wrapping) are not
// part of it.
unsigned char readEscaped(std::istream& is) {
  const int eof = std::char_traits<char>::eof();
  int c;
  do c = is.get();
  while (c == '\n');
  if (c == eof) return 0;
  if (c != '\\') return static_cast<unsigned char>(c);
  c = is.get();
  switch (c) {
    case eof: return 0;
    case '[': return '{';
    case ']': return '}';
    case 'b': return 0x08;
    case 'f': return 0x0C;
    case 'n': return 0x0A;
    case 'r': return 0x0D;
    case 't': return 0x09;
    case 'x': {
      unsigned value = 0;
      for (int i = 0; i < 2; ++i) {
        int d = hexValue(is.peek());
        if (d < 0) break;
        is.get();
        value = value * 16 + unsigned(d);
      }
      return static_cast<unsigned char>(value);
    }
    default: return static_cast<unsigned char>(c);  // '"', '\\' and any other
  }
}

}  // namespace

// ---------------------------------------------------------------- output

RWpostream::RWpostream(std::ostream& os) : os_(os) { setVersion(1); }
RWpostream::~RWpostream() = default;

int RWpostream::rdstate() const { return rwStreamState(os_); }
void RWpostream::clear(int state) { rwSetStreamState(os_, state); }

void RWpostream::emit(const char* text, unsigned width) {
  column_ += width;
  if (column_ > 80) {
    os_.put('\n');
    column_ = width;
  }
  os_.write(text, width);
}

void RWpostream::escaped(unsigned char c) {
  char e[4] = {'\\', 0, 0, 0};
  switch (c) {
    case 0x08: e[1] = 'b'; break;
    case 0x09: e[1] = 't'; break;
    case 0x0A: e[1] = 'n'; break;
    case 0x0C: e[1] = 'f'; break;
    case 0x0D: e[1] = 'r'; break;
    case '"': e[1] = '"'; break;
    case '\\': e[1] = '\\'; break;
    case '{': e[1] = '['; break;
    case '}': e[1] = ']'; break;
    default:
      // Printable ASCII stands for itself; the blank, control and high
      // bytes are written in hex so that the text survives any transport.
      if (c > 0x20 && c < 0x7F) {
        e[0] = char(c);
        emit(e, 1);
      } else {
        static const char hex[] = "0123456789abcdef";
        e[1] = 'x';
        e[2] = hex[c >> 4];
        e[3] = hex[c & 0xF];
        emit(e, 4);
      }
      return;
  }
  emit(e, 2);
}

RWvostream& RWpostream::writeString(const char* s, RWsize n) {
  emit("\"", 1);
  for (RWsize i = 0; s && i < n; ++i) escaped(static_cast<unsigned char>(s[i]));
  emit("\"", 1);
  return *this;
}

RWvostream& RWpostream::writeString(const char* s) {
  return writeString(s, s ? RWsize(std::strlen(s)) : 0);
}

RWvostream& RWpostream::put(uint16_t v) { writeNumber(os_, v); return *this; }
RWvostream& RWpostream::put(int16_t v) { writeNumber(os_, v); return *this; }
RWvostream& RWpostream::putULong(uint32_t v) { writeNumber(os_, v); return *this; }
RWvostream& RWpostream::putLong(int32_t v) { writeNumber(os_, v); return *this; }
RWvostream& RWpostream::put(uint32_t v) { writeNumber(os_, v); return *this; }
RWvostream& RWpostream::put(int32_t v) { writeNumber(os_, v); return *this; }
RWvostream& RWpostream::put(unsigned char c) { writeNumber(os_, unsigned(c)); return *this; }
RWvostream& RWpostream::put(char c) { writeNumber(os_, int(static_cast<signed char>(c))); return *this; }
RWvostream& RWpostream::put(float v) { writeNumber(os_, v); return *this; }
RWvostream& RWpostream::put(double v) { writeNumber(os_, v); return *this; }

RWvostream& RWpostream::putChar(unsigned char c) { escaped(c); return *this; }
RWvostream& RWpostream::putChar(char c) { escaped(static_cast<unsigned char>(c)); return *this; }

RWvostream& RWpostream::putULong(const uint32_t* p, RWsize n) { writeNumbers(os_, p, n); return *this; }
RWvostream& RWpostream::putLong(const int32_t* p, RWsize n) { writeNumbers(os_, p, n); return *this; }
RWvostream& RWpostream::put(const uint32_t* p, RWsize n) { writeNumbers(os_, p, n); return *this; }
RWvostream& RWpostream::put(const int32_t* p, RWsize n) { writeNumbers(os_, p, n); return *this; }
RWvostream& RWpostream::put(const uint16_t* p, RWsize n) { writeNumbers(os_, p, n); return *this; }
RWvostream& RWpostream::put(const int16_t* p, RWsize n) { writeNumbers(os_, p, n); return *this; }
RWvostream& RWpostream::put(const double* p, RWsize n) { writeNumbers(os_, p, n); return *this; }
RWvostream& RWpostream::put(const float* p, RWsize n) { writeNumbers(os_, p, n); return *this; }

RWvostream& RWpostream::put(const unsigned char* p, RWsize n) {
  for (RWsize i = 0; i < n; ++i) put(p[i]);
  return *this;
}

RWvostream& RWpostream::put(const char* p, RWsize n) {
  for (RWsize i = 0; i < n; ++i) put(p[i]);
  return *this;
}

RWvostream& RWpostream::flush() {
  os_.flush();
  return *this;
}

// ---------------------------------------------------------------- input

RWpistream::RWpistream(std::istream& is) : is_(is) { setVersion(1); }
RWpistream::~RWpistream() = default;

int RWpistream::rdstate() const { return rwStreamState(is_); }
void RWpistream::clear(int state) { rwSetStreamState(is_, state); }

RWvistream& RWpistream::readString(char* buf, RWsize n) {
  if (!buf) n = 0;
  if (n > 0) buf[0] = 0;
  is_ >> std::ws;
  int c = is_.get();
  if (!is_.good()) return *this;
  if (c != '"') {
    const char got[2] = {char(c), 0};
    rwReport<RWEnvironmentErr>(RWCORE_SYNSTREAM(), {"\"", got});
  }
  char* out = buf;
  RWsize room = n;
  for (;;) {
    c = is_.get();
    if (c == std::char_traits<char>::eof() || c == '"') break;
    if (c == '\n') continue;
    is_.unget();
    if (room <= 1) {
      // No room but for the terminator (or not even that): skip the rest of
      // the stored text, escapes included, and report the cut.
      while (is_.good()) {
        c = is_.get();
        if (c == '"') break;
        if (c == '\\') {
          is_.unget();
          readEscaped(is_);
        }
      }
      is_.setstate(std::ios::failbit);
      break;
    }
    unsigned char ch = readEscaped(is_);
    if (!is_.good()) break;
    *out++ = char(ch);
    --room;
  }
  if (n > 0) *out = 0;
  return *this;
}

RWvistream& RWpistream::getULong(uint32_t& v) { readNumber(is_, v); return *this; }
RWvistream& RWpistream::getLong(int32_t& v) { readNumber(is_, v); return *this; }
RWvistream& RWpistream::get(uint32_t& v) { readNumber(is_, v); return *this; }
RWvistream& RWpistream::get(int32_t& v) { readNumber(is_, v); return *this; }
RWvistream& RWpistream::get(uint16_t& v) { readNumber(is_, v); return *this; }
RWvistream& RWpistream::get(int16_t& v) { readNumber(is_, v); return *this; }
RWvistream& RWpistream::get(float& v) { readReal(is_, v); return *this; }
RWvistream& RWpistream::get(double& v) { readReal(is_, v); return *this; }

// Characters stored as numbers: the low byte of the int (unsigned int) read.
RWvistream& RWpistream::get(unsigned char& c) {
  uint32_t v;
  readNumber(is_, v);
  c = static_cast<unsigned char>(v);
  return *this;
}

RWvistream& RWpistream::get(char& c) {
  int32_t v;
  readNumber(is_, v);
  c = static_cast<char>(v);
  return *this;
}

int RWpistream::get() {
  int32_t v;
  readNumber(is_, v);
  return is_.fail() ? -1 : v;
}

RWvistream& RWpistream::getChar(unsigned char& c) {
  is_ >> std::ws;
  c = readEscaped(is_);
  return *this;
}

RWvistream& RWpistream::getChar(char& c) {
  is_ >> std::ws;
  c = char(readEscaped(is_));
  return *this;
}

RWvistream& RWpistream::getULong(uint32_t* p, RWsize n) { readNumbers(is_, p, n); return *this; }
RWvistream& RWpistream::getLong(int32_t* p, RWsize n) { readNumbers(is_, p, n); return *this; }
RWvistream& RWpistream::get(uint32_t* p, RWsize n) { readNumbers(is_, p, n); return *this; }
RWvistream& RWpistream::get(int32_t* p, RWsize n) { readNumbers(is_, p, n); return *this; }
RWvistream& RWpistream::get(uint16_t* p, RWsize n) { readNumbers(is_, p, n); return *this; }
RWvistream& RWpistream::get(int16_t* p, RWsize n) { readNumbers(is_, p, n); return *this; }

RWvistream& RWpistream::get(double* p, RWsize n) {
  for (RWsize i = 0; i < n; ++i) readReal(is_, p[i]);
  return *this;
}

RWvistream& RWpistream::get(float* p, RWsize n) {
  for (RWsize i = 0; i < n; ++i) readReal(is_, p[i]);
  return *this;
}

RWvistream& RWpistream::get(unsigned char* p, RWsize n) {
  for (RWsize i = 0; i < n; ++i) get(p[i]);
  return *this;
}

RWvistream& RWpistream::get(char* p, RWsize n) {
  for (RWsize i = 0; i < n; ++i) get(p[i]);
  return *this;
}
