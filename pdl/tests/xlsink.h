#ifndef PDL_TESTS_XLSINK_H
#define PDL_TESTS_XLSINK_H

// A flush call-back that keeps what it is handed: every buffer's bytes, the
// size of each flush and the user value it was given. It does not reset
// the stream; the library must.

#include <memory>
#include <string>
#include <vector>

#include "pdl/xlstream.h"

struct XLSink : GFlushCallback {
  int32_t flush(XLStream&, int32_t userValue, const uint8_t* buffer, int32_t count) override {
    out.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(count));
    counts.push_back(count);
    userValues.push_back(userValue);
    return answer;
  }

  std::string out;
  std::vector<int32_t> counts;
  std::vector<int32_t> userValues;
  int32_t answer = 0;
};

// A stream of the given size on its own sink.
struct XLFixture {
  explicit XLFixture(int32_t size = 8192) : stream(xlCreateStream(size, &sink, 0)) {}
  // Everything written so far, the buffer flushed.
  const std::string& written() {
    xlFlushStream(*stream);
    return sink.out;
  }
  XLStream& s() { return *stream; }

  XLSink sink;
  std::unique_ptr<XLStream> stream;
};

#endif
