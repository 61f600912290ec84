#include "rw/vstream.h"

#include <ios>

RWvios::~RWvios() = default;

RWBoolean RWvios::eof() const { return (rdstate() & eofbit) != 0; }
RWBoolean RWvios::fail() const { return (rdstate() & (failbit | badbit)) != 0; }
RWBoolean RWvios::bad() const { return (rdstate() & badbit) != 0; }
RWBoolean RWvios::good() const { return rdstate() == goodbit; }
int RWvios::rdstate() const { return state_; }
void RWvios::clear(int state) { state_ = state & (eofbit | failbit | badbit); }

// libstdc++ numbers its bits differently from the system's (its badbit is 1
// and eofbit 2), so every value crossing the boundary is translated bit by bit.
int rwStreamState(const std::ios& ios) {
  std::ios::iostate s = ios.rdstate();
  int state = RWvios::goodbit;
  if (s & std::ios::eofbit) state |= RWvios::eofbit;
  if (s & std::ios::failbit) state |= RWvios::failbit;
  if (s & std::ios::badbit) state |= RWvios::badbit;
  return state;
}

void rwSetStreamState(std::ios& ios, int state) {
  std::ios::iostate s = std::ios::goodbit;
  if (state & RWvios::eofbit) s |= std::ios::eofbit;
  if (state & RWvios::failbit) s |= std::ios::failbit;
  if (state & RWvios::badbit) s |= std::ios::badbit;
  ios.clear(s);
}

namespace {
template <class T>
RWvistream& extractNew(RWvistream& s, T*& p) {
  p = new T();
  return s >> *p;
}
}  // namespace

RWvistream& operator>>(RWvistream& s, uint16_t*& p) { return extractNew(s, p); }
RWvistream& operator>>(RWvistream& s, int16_t*& p) { return extractNew(s, p); }
RWvistream& operator>>(RWvistream& s, uint32_t*& p) { return extractNew(s, p); }
RWvistream& operator>>(RWvistream& s, int32_t*& p) { return extractNew(s, p); }
RWvistream& operator>>(RWvistream& s, unsigned char*& p) { return extractNew(s, p); }
RWvistream& operator>>(RWvistream& s, char*& p) { return extractNew(s, p); }

RWvostream& flush(RWvostream& s) { return s.flush(); }
