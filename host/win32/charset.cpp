#include "host/win32/charset.h"

#include <iconv.h>

#include <string>

struct HostCharsetConverter::Pair {
  iconv_t toWide = reinterpret_cast<iconv_t>(-1);
  iconv_t fromWide = reinterpret_cast<iconv_t>(-1);
};

namespace {

const iconv_t kNone = reinterpret_cast<iconv_t>(-1);

// Converts the whole input at once; answers the bytes written, or -1.
long convert(iconv_t cd, const char* in, size_t inBytes, char* out, size_t outBytes) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* src = const_cast<char*>(in);
  char* dst = out;
  size_t room = outBytes;
  if (iconv(cd, &src, &inBytes, &dst, &room) == static_cast<size_t>(-1) || inBytes != 0) return -1;
  // A stateful set may need to return to its initial shift state.
  if (iconv(cd, nullptr, nullptr, &dst, &room) == static_cast<size_t>(-1)) return -1;
  return static_cast<long>(outBytes - room);
}

}  // namespace

HostCharsetConverter::HostCharsetConverter() = default;

HostCharsetConverter::~HostCharsetConverter() {
  for (auto& entry : pairs_) {
    if (entry.second->toWide != kNone) iconv_close(entry.second->toWide);
    if (entry.second->fromWide != kNone) iconv_close(entry.second->fromWide);
    delete entry.second;
  }
}

uint32_t HostCharsetConverter::codePageOf(int32_t charset) {
  uint32_t codePage = GCharsetConverter::codePageOf(charset);
  return codePage != 0 ? codePage : 1252;
}

HostCharsetConverter::Pair* HostCharsetConverter::pairFor(uint32_t codePage) {
  auto it = pairs_.find(codePage);
  if (it != pairs_.end()) return it->second;
  Pair* pair = new Pair;
  std::string name = "CP" + std::to_string(codePage);
  pair->toWide = iconv_open("UTF-16LE", name.c_str());
  pair->fromWide = iconv_open(name.c_str(), "UTF-16LE");
  pairs_[codePage] = pair;
  return pair;
}

uint16_t HostCharsetConverter::toUnicode(uint16_t code, int32_t charset) {
  std::lock_guard<std::mutex> guard(lock_);
  Pair* pair = pairFor(codePageOf(charset));
  if (pair->toWide == kNone) return 0;
  char in[2];
  size_t n = 0;
  if (code > 0xFF) in[n++] = static_cast<char>(code >> 8);
  in[n++] = static_cast<char>(code & 0xFF);
  unsigned char out[8];
  long written = convert(pair->toWide, in, n, reinterpret_cast<char*>(out), sizeof out);
  // One 16-bit unit, or nothing: a character beyond it has no answer here.
  if (written != 2) return 0;
  return static_cast<uint16_t>(out[0] | out[1] << 8);
}

uint16_t HostCharsetConverter::fromUnicode(uint16_t character, int32_t charset) {
  std::lock_guard<std::mutex> guard(lock_);
  Pair* pair = pairFor(codePageOf(charset));
  if (pair->fromWide == kNone) return 0;
  char in[2] = {static_cast<char>(character & 0xFF), static_cast<char>(character >> 8)};
  unsigned char out[8];
  long written = convert(pair->fromWide, in, 2, reinterpret_cast<char*>(out), sizeof out);
  if (written == 1) return out[0];
  if (written == 2) return static_cast<uint16_t>(out[0] << 8 | out[1]);
  return 0;
}
