#include "rw/cp1252.h"

namespace {

// 0x80 - 0x9F; the rest of the code page is the Latin-1 range itself.
constexpr char16_t high[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98
};

}  // namespace

char16_t rwAnsiToUnicode(unsigned char byte) {
  if (byte >= 0x80 && byte < 0xA0) return high[byte - 0x80];
  return byte;
}

int rwUnicodeToAnsi(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
  // Few enough that a scan costs less than a second table.
  for (int i = 0; i < 32; ++i)
    if (high[i] == c) return 0x80 + i;
  return -1;
}
