#ifndef HOST_WIN32_CHARSET_H
#define HOST_WIN32_CHARSET_H

// The character-set converter over the C library's iconv.
//
// A framework character set names a Windows code page; a set this code does
// not know uses 1252, the ANSI code page. Double-byte codes (code pages 932,
// 936, 949, 950 and 1361) travel with the lead byte in the high half, both
// ways.

#include <cstdint>
#include <map>
#include <mutex>

#include "core/osfactry.h"

class HostCharsetConverter : public GCharsetConverter {
 public:
  HostCharsetConverter();
  ~HostCharsetConverter() override;
  uint16_t toUnicode(uint16_t code, int32_t charset) override;
  uint16_t fromUnicode(uint16_t character, int32_t charset) override;

  static uint32_t codePageOf(int32_t charset);

 private:
  struct Pair;
  Pair* pairFor(uint32_t codePage);

  std::mutex lock_;
  std::map<uint32_t, Pair*> pairs_;
};

#endif
