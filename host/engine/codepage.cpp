// Code-page conversions. Code page 1252 (the ANSI code page, and page 0)
// goes through the engine's own table; 874, 932, 936, 949, 950, 1250 to 1257
// and 1361 through iconv. A character the target cannot hold becomes '?',
// and so does a byte sequence the source page does not define.

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <algorithm>
#include <map>
#include <vector>

#include "host/engine/internal.h"

namespace eng::detail {

namespace {

// 0x80 - 0x9F; the rest of the page is the Latin-1 range itself.
constexpr char16_t high1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98
};

}  // namespace

char16_t ansiToUnicode(unsigned char byte) {
  OwnMemory own;
  if (byte >= 0x80 && byte < 0xA0) return high1252[byte - 0x80];
  return byte;
}

int unicodeToAnsi(char16_t c) {
  OwnMemory own;
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
  for (int i = 0; i < 32; ++i)
    if (high1252[i] == c) return 0x80 + i;
  return -1;
}

}  // namespace eng::detail

using namespace eng::detail;

namespace {

UINT askedCodePage = 0;

const char* iconvName(UINT cp) {
  OwnMemory own;
  switch (cp) {
    case 874: return "CP874";
    case 932: return "CP932";
    case 936: return "CP936";
    case 949: return "CP949";
    case 950: return "CP950";
    case 1250: return "CP1250";
    case 1251: return "CP1251";
    case 1253: return "CP1253";
    case 1254: return "CP1254";
    case 1255: return "CP1255";
    case 1256: return "CP1256";
    case 1257: return "CP1257";
    case 1361: return "JOHAB";
    default: return nullptr;
  }
}

// A converter per direction and page, opened once; guarded by the engine's
// lock, since an iconv descriptor keeps state.
struct Converters {
  std::map<std::pair<UINT, bool>, iconv_t> open;
  ~Converters() {
    for (auto& [key, cd] : open)
      if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  }
};

iconv_t converter(UINT cp, bool toWide) {
  OwnMemory own;
  static Converters converters;
  auto& open = converters.open;
  auto key = std::make_pair(cp, toWide);
  auto it = open.find(key);
  if (it != open.end()) return it->second;
  const char* name = iconvName(cp);
  iconv_t cd = name ? (toWide ? iconv_open("UTF-16LE", name) : iconv_open(name, "UTF-16LE"))
                    : reinterpret_cast<iconv_t>(-1);
  open[key] = cd;
  return cd;
}

// Bytes of page cp to UTF-16 units; '?' for each byte that starts no valid
// character.
bool toWide(UINT cp, const unsigned char* in, size_t n, std::u16string& out) {
  OwnMemory own;
  if (cp == 0 || cp == 1252) {
    for (size_t i = 0; i < n; ++i) out += ansiToUnicode(in[i]);
    return true;
  }
  iconv_t cd = converter(cp, true);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  size_t i = 0;
  while (i < n) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char units[16];
    // One character at a time: at most two bytes in the pages above.
    size_t took = 0;
    for (size_t len = 1; len <= 2 && i + len <= n && took == 0; ++len) {
      char* src = reinterpret_cast<char*>(const_cast<unsigned char*>(in + i));
      size_t srcLeft = len;
      char* dst = units;
      size_t dstLeft = sizeof units;
      if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<size_t>(-1) && srcLeft == 0 &&
          dst != units) {
        for (char* p = units; p + 1 < dst; p += 2)
          out += static_cast<char16_t>(static_cast<unsigned char>(p[0]) |
                                       static_cast<unsigned char>(p[1]) << 8);
        took = len;
      }
    }
    if (took == 0) {
      out += u'?';
      took = 1;
    }
    i += took;
  }
  return true;
}

// ends gets the end of each character's bytes, so that a short output
// takes whole characters only.
bool fromWide(UINT cp, const char16_t* in, size_t n, std::string& out, std::vector<size_t>& ends) {
  OwnMemory own;
  if (cp == 0 || cp == 1252) {
    for (size_t i = 0; i < n; ++i) {
      int b = unicodeToAnsi(in[i]);
      out += b < 0 ? '?' : static_cast<char>(b);
      ends.push_back(out.size());
    }
    return true;
  }
  iconv_t cd = converter(cp, false);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  for (size_t i = 0; i < n; ++i) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char unit[2] = {static_cast<char>(in[i] & 0xFF), static_cast<char>(in[i] >> 8)};
    char bytes[8];
    char* src = unit;
    size_t srcLeft = 2;
    char* dst = bytes;
    size_t dstLeft = sizeof bytes;
    if (in[i] >= 0xD800 && in[i] < 0xE000) {
      out += '?';  // a surrogate alone is no character
      ends.push_back(out.size());
      continue;
    }
    if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1) || dst == bytes)
      out += '?';
    else
      out.append(bytes, dst);
    ends.push_back(out.size());
  }
  return true;
}

}  // namespace

namespace eng {

UINT lastCodePage() {
  OwnMemory own;
  std::lock_guard guard(lock());
  return askedCodePage;
}

}  // namespace eng

extern "C" {

void EngMultiByteToUnicodeN(LPWSTR UnicodeString, ULONG MaxBytesInUnicodeString,
                            ULONG* BytesInUnicodeString, PCHAR MultiByteString,
                            ULONG BytesInMultiByteString) {
  if ((!UnicodeString && MaxBytesInUnicodeString) || (!MultiByteString && BytesInMultiByteString)) {
    reportMisuse("EngMultiByteToUnicodeN: no buffer");
    if (BytesInUnicodeString) *BytesInUnicodeString = 0;
    return;
  }
  ULONG n = std::min(BytesInMultiByteString, MaxBytesInUnicodeString / 2);
  for (ULONG i = 0; i < n; ++i)
    UnicodeString[i] = ansiToUnicode(static_cast<unsigned char>(MultiByteString[i]));
  if (BytesInUnicodeString) *BytesInUnicodeString = n * 2;
}

void EngUnicodeToMultiByteN(PCHAR MultiByteString, ULONG MaxBytesInMultiByteString,
                            ULONG* BytesInMultiByteString, PWSTR UnicodeString,
                            ULONG BytesInUnicodeString) {
  if ((!MultiByteString && MaxBytesInMultiByteString) || (!UnicodeString && BytesInUnicodeString)) {
    reportMisuse("EngUnicodeToMultiByteN: no buffer");
    if (BytesInMultiByteString) *BytesInMultiByteString = 0;
    return;
  }
  ULONG n = std::min(BytesInUnicodeString / 2, MaxBytesInMultiByteString);
  for (ULONG i = 0; i < n; ++i) {
    int b = unicodeToAnsi(UnicodeString[i]);
    MultiByteString[i] = b < 0 ? '?' : static_cast<char>(b);
  }
  if (BytesInMultiByteString) *BytesInMultiByteString = n;
}

// Both answer the bytes written, as many as the output holds (a character
// is never split), or -1 for a page the engine does not convert.
INT EngMultiByteToWideChar(UINT CodePage, LPWSTR WideCharString, INT BytesInWideCharString,
                           LPSTR MultiByteString, INT BytesInMultiByteString) {
  std::lock_guard guard(lock());
  askedCodePage = CodePage;
  if (BytesInWideCharString < 0 || BytesInMultiByteString < 0 ||
      (!WideCharString && BytesInWideCharString) || (!MultiByteString && BytesInMultiByteString)) {
    reportMisuse("EngMultiByteToWideChar: bad buffer");
    return -1;
  }
  std::u16string wide;
  if (!toWide(CodePage, reinterpret_cast<const unsigned char*>(MultiByteString),
              static_cast<size_t>(BytesInMultiByteString), wide))
    return -1;
  size_t n = std::min(wide.size(), static_cast<size_t>(BytesInWideCharString) / 2);
  std::memcpy(WideCharString, wide.data(), n * 2);
  return static_cast<INT>(n * 2);
}

INT EngWideCharToMultiByte(UINT CodePage, LPWSTR WideCharString, INT BytesInWideCharString,
                           LPSTR MultiByteString, INT BytesInMultiByteString) {
  std::lock_guard guard(lock());
  askedCodePage = CodePage;
  if (BytesInWideCharString < 0 || BytesInMultiByteString < 0 ||
      (!WideCharString && BytesInWideCharString) || (!MultiByteString && BytesInMultiByteString)) {
    reportMisuse("EngWideCharToMultiByte: bad buffer");
    return -1;
  }
  std::string bytes;
  std::vector<size_t> ends;
  if (!fromWide(CodePage, WideCharString, static_cast<size_t>(BytesInWideCharString) / 2, bytes,
                ends))
    return -1;
  size_t n = 0;
  for (size_t end : ends)
    if (end <= static_cast<size_t>(BytesInMultiByteString)) n = end;
  std::memcpy(MultiByteString, bytes.data(), n);
  return static_cast<INT>(n);
}

}  // extern "C"
