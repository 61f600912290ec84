#include "testkit/bytes.h"

std::string bytes(std::initializer_list<unsigned> b) {
  std::string s;
  for (unsigned c : b) s += static_cast<char>(c);
  return s;
}

std::string le16(uint16_t v) { return bytes({v & 0xFFu, unsigned(v >> 8)}); }

std::string le32(uint32_t v) { return bytes({v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF, v >> 24}); }

int32_t le32(const Bytes& b, size_t at) {
  if (at + 4 > b.size()) return INT32_MIN;
  return static_cast<int32_t>(uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
                              uint32_t(b[at + 3]) << 24);
}

void setLe32(Bytes& b, size_t at, int32_t v) {
  if (b.size() < at + 4) b.resize(at + 4);
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(uint32_t(v) >> (8 * i));
}
