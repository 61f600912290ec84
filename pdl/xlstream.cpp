#include "pdl/xlstream.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>

#include "rw/rwerr.h"

namespace {

// The data type tags: single value, array, xy pair and box of each type.
enum : uint8_t { kUByte = 0, kUInt16 = 1, kUInt32 = 2, kSInt16 = 3, kSInt32 = 4, kReal32 = 5 };
constexpr uint8_t singleTag(uint8_t type) { return 0xC0 + type; }
constexpr uint8_t arrayTag(uint8_t type) { return 0xC8 + type; }
constexpr uint8_t xyTag(uint8_t type) { return 0xD0 + type; }
constexpr uint8_t boxTag(uint8_t type) { return 0xE0 + type; }
constexpr uint8_t kAttributeTag = 0xF8;
constexpr uint8_t kShortLengthTag = 0xFB;
constexpr uint8_t kLongLengthTag = 0xFA;
constexpr uint32_t kMaxArrayCount = 0xFFFF;

struct Range {
  uint8_t first, last;
};

// The PCL XL operator tags and attribute ids this stream accepts.
constexpr Range kOperators[] = {{0x41, 0x44}, {0x46, 0x4C}, {0x4F, 0x56}, {0x5B, 0x82}, {0x84, 0x86},
                                {0x91, 0x91}, {0x93, 0x93}, {0x95, 0x99}, {0x9B, 0x9B}, {0x9D, 0xA3},
                                {0xA8, 0xAA}, {0xB0, 0xB6}, {0xB8, 0xB9}, {0xBF, 0xBF}};
constexpr Range kAttributes[] = {{1, 28},    {33, 45},   {47, 54},   {65, 84},   {97, 105},  {107, 115},
                                 {129, 130}, {134, 134}, {136, 140}, {143, 143}, {145, 173}, {175, 177}};

template <size_t N>
bool inRanges(const Range (&ranges)[N], uint32_t v) {
  return std::any_of(std::begin(ranges), std::end(ranges),
                     [v](const Range& r) { return v >= r.first && v <= r.last; });
}

// Little- and big-endian stores of the low `width` bytes of v.
void storeLE(uint8_t* out, uint32_t v, int width) {
  for (int i = 0; i < width; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}
void storeBE(uint8_t* out, uint32_t v, int width) {
  for (int i = 0; i < width; ++i) out[i] = static_cast<uint8_t>(v >> (8 * (width - 1 - i)));
}

void advance(XLStream& s, int32_t n) {
  s.cursor += n;
  s.left -= n;
  s.total += static_cast<uint32_t>(n);
}

// Hands the buffer to the call-back and empties it. Without a call-back
// nothing can take the bytes: the stream stops rather than overrun.
void flushForRoom(XLStream& s) {
  if (!s.callback) {
    xlRecordError(s, kXLFlushFailed);
    return;
  }
  xlFlushStream(s);
}

// One group of bytes that belongs in one buffer. A buffer smaller than the
// group takes it a byte at a time.
void putGroup(XLStream& s, const uint8_t* bytes, int32_t k) {
  if (s.error) return;
  if (!s.buffer || s.size <= 0) {
    // A record that xlCreateStream did not make has nowhere to put bytes.
    xlRecordError(s, kXLInitFailed);
    return;
  }
  if (k > s.size) {
    for (int32_t i = 0; i < k && !s.error; ++i) putGroup(s, bytes + i, 1);
    return;
  }
  if (s.left < k) flushForRoom(s);
  if (s.error) return;
  std::memcpy(s.cursor, bytes, static_cast<size_t>(k));
  advance(s, k);
}

void putTag(XLStream& s, uint8_t tag) { putGroup(s, &tag, 1); }

void putLE(XLStream& s, uint32_t v, int width) {
  uint8_t b[4];
  storeLE(b, v, width);
  putGroup(s, b, width);
}

void putBE(XLStream& s, uint32_t v, int width) {
  uint8_t b[4];
  storeBE(b, v, width);
  putGroup(s, b, width);
}

// count elements of W bytes each, encoded in place by encode(i, out): as
// many whole elements as fit go into the buffer at a time, so an array
// larger than the buffer passes through it in chunks.
template <int32_t W, class Encode>
void putElements(XLStream& s, size_t count, Encode encode) {
  size_t i = 0;
  while (i < count && !s.error) {
    if (W > s.size) {
      uint8_t b[W];
      encode(i++, b);
      putGroup(s, b, W);
      continue;
    }
    if (s.left < W) flushForRoom(s);
    if (s.error) return;
    size_t fit = std::min(count - i, static_cast<size_t>(s.left / W));
    for (size_t j = 0; j < fit; ++j) encode(i + j, s.cursor + j * W);
    advance(s, static_cast<int32_t>(fit * W));
    i += fit;
  }
}

// A real goes out as its IEEE single in both builds.
template <class T>
uint32_t bitsOf(T v) {
  if constexpr (std::is_same_v<T, GReal>)
    return std::bit_cast<uint32_t>(gSingleOf(v));
  else
    return static_cast<uint32_t>(v);
}

// Bytes a value of T takes in the stream: a real is a real32 whatever the
// build holds it in.
template <class T>
constexpr int32_t kWireWidth = std::is_same_v<T, GReal> ? 4 : static_cast<int32_t>(sizeof(T));

template <class T>
void putValuesLE(XLStream& s, std::span<const T> v) {
  constexpr int32_t w = kWireWidth<T>;
  putElements<w>(s, v.size(), [&](size_t i, uint8_t* out) { storeLE(out, bitsOf(v[i]), w); });
}

template <class T>
void putValuesBE(XLStream& s, std::span<const T> v) {
  constexpr int32_t w = kWireWidth<T>;
  putElements<w>(s, v.size(), [&](size_t i, uint8_t* out) { storeBE(out, bitsOf(v[i]), w); });
}

// Type tag and the values, each little-endian.
template <class T>
void putTyped(XLStream& s, uint8_t tag, std::initializer_list<T> values) {
  if (s.error) return;
  putTag(s, tag);
  for (T v : values) putLE(s, bitsOf(v), kWireWidth<T>);
}

// The head of an array of count elements, or the overflow latch when a u16
// cannot carry the count; answers whether the elements may follow.
bool putArrayHead(XLStream& s, uint8_t type, size_t count) {
  if (s.error) return false;
  if (count > kMaxArrayCount) {
    xlRecordError(s, kXLOutputOverflow);
    return false;
  }
  putTag(s, arrayTag(type));
  putTag(s, singleTag(kUInt16));
  putLE(s, static_cast<uint32_t>(count), 2);
  return !s.error;
}

template <class T>
void writeArray(XLStream& s, uint8_t type, std::span<const T> v) {
  if (putArrayHead(s, type, v.size())) putValuesLE(s, v);
}

// 0xFA and the byte length of count elements of width w, or the overflow
// latch when a u32 cannot carry it.
bool putEmbeddedHead(XLStream& s, size_t count, size_t width) {
  if (s.error) return false;
  if (count > UINT32_MAX / width) {
    xlRecordError(s, kXLOutputOverflow);
    return false;
  }
  xlWriteLongDataLength(s, static_cast<uint32_t>(count * width));
  return !s.error;
}

}  // namespace

std::unique_ptr<XLStream> xlCreateStream(int32_t size, GFlushCallback* callback, int32_t userValue) {
  if (size <= 0 || !callback) return nullptr;
  std::unique_ptr<XLStream> s(new (std::nothrow) XLStream);
  if (!s) return nullptr;
  s->buffer.reset(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
  if (!s->buffer) return nullptr;
  s->size = size;
  s->callback = callback;
  s->userValue = userValue;
  xlResetStream(*s);
  return s;
}

uint32_t xlFreeStream(std::unique_ptr<XLStream> stream) { return stream ? stream->total : 0; }

int32_t xlFlushStream(XLStream& s) {
  if (!s.callback) return 0;
  int32_t result = s.callback->flush(s, s.userValue, s.buffer.get(), s.size - s.left);
  xlResetStream(s);
  return result;
}

void xlResetStream(XLStream& s) {
  s.left = s.size;
  s.cursor = s.buffer.get();
  s.end = s.cursor + s.size;
}

const char* xlErrorText(int32_t code) {
  switch (code) {
    case kXLNoError: return "XL Library: No Errors Detected";
    case kXLInitFailed: return "XL Library: Initialization Failed";
    case kXLUndefinedOperator: return "XL Library: Operator Number Undefined";
    case kXLOutOfMemory: return "XL Library: Out of Memory";
    case kXLZeroBufferSize: return "XL Library: A Stream Buffer Size of Zero Was Requested";
    case kXLOutputOverflow: return "XL Library: Stream Output Buffer Overflowed";
    case kXLFlushFailed: return "XL Library: Attempt to Flush Output Buffer Failed";
    default: return "XL Library: Number of Error Reported is Undefined";
  }
}

void xlRecordError(XLStream& s, int16_t code) {
  s.error = code;
  if (s.errorCount < INT16_MAX) ++s.errorCount;
  RWThrow(RWInternalErr(xlErrorText(code)));
}

bool xlIsOperator(uint32_t tag) { return inRanges(kOperators, tag); }
bool xlIsAttribute(uint32_t id) { return inRanges(kAttributes, id); }

void xlWriteUByte(XLStream& s, uint8_t v) { putTyped<uint8_t>(s, singleTag(kUByte), {v}); }
void xlWriteUInt16(XLStream& s, uint16_t v) { putTyped<uint16_t>(s, singleTag(kUInt16), {v}); }
void xlWriteUInt32(XLStream& s, uint32_t v) { putTyped<uint32_t>(s, singleTag(kUInt32), {v}); }
void xlWriteSInt16(XLStream& s, int16_t v) { putTyped<int16_t>(s, singleTag(kSInt16), {v}); }
void xlWriteSInt32(XLStream& s, int32_t v) { putTyped<int32_t>(s, singleTag(kSInt32), {v}); }
void xlWriteReal32(XLStream& s, GReal v) { putTyped<GReal>(s, singleTag(kReal32), {v}); }

void xlWriteUByteXY(XLStream& s, uint8_t x, uint8_t y) { putTyped<uint8_t>(s, xyTag(kUByte), {x, y}); }
void xlWriteUInt16XY(XLStream& s, uint16_t x, uint16_t y) { putTyped<uint16_t>(s, xyTag(kUInt16), {x, y}); }
void xlWriteUInt32XY(XLStream& s, uint32_t x, uint32_t y) { putTyped<uint32_t>(s, xyTag(kUInt32), {x, y}); }
void xlWriteSInt16XY(XLStream& s, int16_t x, int16_t y) { putTyped<int16_t>(s, xyTag(kSInt16), {x, y}); }
void xlWriteSInt32XY(XLStream& s, int32_t x, int32_t y) { putTyped<int32_t>(s, xyTag(kSInt32), {x, y}); }
void xlWriteReal32XY(XLStream& s, GReal x, GReal y) { putTyped<GReal>(s, xyTag(kReal32), {x, y}); }

void xlWriteUByteBox(XLStream& s, uint8_t l, uint8_t t, uint8_t r, uint8_t b) {
  putTyped<uint8_t>(s, boxTag(kUByte), {l, t, r, b});
}
void xlWriteUInt16Box(XLStream& s, uint16_t l, uint16_t t, uint16_t r, uint16_t b) {
  putTyped<uint16_t>(s, boxTag(kUInt16), {l, t, r, b});
}
void xlWriteUInt32Box(XLStream& s, uint32_t l, uint32_t t, uint32_t r, uint32_t b) {
  putTyped<uint32_t>(s, boxTag(kUInt32), {l, t, r, b});
}
void xlWriteSInt16Box(XLStream& s, int16_t l, int16_t t, int16_t r, int16_t b) {
  putTyped<int16_t>(s, boxTag(kSInt16), {l, t, r, b});
}
void xlWriteSInt32Box(XLStream& s, int32_t l, int32_t t, int32_t r, int32_t b) {
  putTyped<int32_t>(s, boxTag(kSInt32), {l, t, r, b});
}
void xlWriteReal32Box(XLStream& s, GReal l, GReal t, GReal r, GReal b) {
  putTyped<GReal>(s, boxTag(kReal32), {l, t, r, b});
}

void xlWriteUByteArray(XLStream& s, std::span<const uint8_t> v) { writeArray(s, kUByte, v); }
void xlWriteUInt16Array(XLStream& s, std::span<const uint16_t> v) { writeArray(s, kUInt16, v); }
void xlWriteUInt32Array(XLStream& s, std::span<const uint32_t> v) { writeArray(s, kUInt32, v); }
void xlWriteSInt16Array(XLStream& s, std::span<const int16_t> v) { writeArray(s, kSInt16, v); }
void xlWriteSInt32Array(XLStream& s, std::span<const int32_t> v) { writeArray(s, kSInt32, v); }
void xlWriteReal32Array(XLStream& s, std::span<const GReal> v) { writeArray(s, kReal32, v); }

void xlWriteUByteArrayOfLowBytes(XLStream& s, std::span<const uint16_t> v) {
  if (putArrayHead(s, kUByte, v.size())) xlPutLowBytes(s, v);
}

void xlWriteAttribute(XLStream& s, uint32_t id) {
  if (!xlIsAttribute(id)) {
    xlRecordError(s, kXLUndefinedAttribute);
    return;
  }
  const uint8_t b[2] = {kAttributeTag, static_cast<uint8_t>(id)};
  // Tag and id are two groups: the id may start the next buffer.
  putGroup(s, &b[0], 1);
  putGroup(s, &b[1], 1);
}

void xlWriteOperator(XLStream& s, uint32_t tag) {
  if (!xlIsOperator(tag)) {
    xlRecordError(s, kXLUndefinedOperator);
    return;
  }
  putTag(s, static_cast<uint8_t>(tag));
}

void xlWriteDataLength(XLStream& s, uint32_t n) {
  if (n > 0xFF) return xlWriteLongDataLength(s, n);
  putTag(s, kShortLengthTag);
  putLE(s, n, 1);
}

void xlWriteLongDataLength(XLStream& s, uint32_t n) {
  putTag(s, kLongLengthTag);
  putLE(s, n, 4);
}

void xlPutByte(XLStream& s, uint8_t b) { putGroup(s, &b, 1); }
void xlPutUInt16(XLStream& s, uint16_t v) { putLE(s, v, 2); }
void xlPutUInt32(XLStream& s, uint32_t v) { putLE(s, v, 4); }
void xlPutReal32(XLStream& s, GReal v) { putLE(s, bitsOf(v), 4); }
void xlPutUInt16BE(XLStream& s, uint16_t v) { putBE(s, v, 2); }
void xlPutUInt32BE(XLStream& s, uint32_t v) { putBE(s, v, 4); }
void xlPutUInt16Array(XLStream& s, std::span<const uint16_t> v) { putValuesLE(s, v); }
void xlPutUInt32Array(XLStream& s, std::span<const uint32_t> v) { putValuesLE(s, v); }
void xlPutUInt16ArrayBE(XLStream& s, std::span<const uint16_t> v) { putValuesBE(s, v); }
void xlPutUInt32ArrayBE(XLStream& s, std::span<const uint32_t> v) { putValuesBE(s, v); }

void xlPutLowBytes(XLStream& s, std::span<const uint16_t> v) {
  putElements<1>(s, v.size(), [&](size_t i, uint8_t* out) { *out = static_cast<uint8_t>(v[i]); });
}

void xlWriteRawData(XLStream& s, std::span<const uint8_t> bytes) {
  putElements<1>(s, bytes.size(), [&](size_t i, uint8_t* out) { *out = bytes[i]; });
}

void xlWriteRawFontData(XLStream& s, std::span<const uint8_t> bytes) { xlWriteRawData(s, bytes); }

void xlWriteEmbeddedData(XLStream& s, std::span<const uint8_t> bytes) {
  if (putEmbeddedHead(s, bytes.size(), 1)) xlWriteRawData(s, bytes);
}
void xlWriteEmbeddedUInt16(XLStream& s, std::span<const uint16_t> v) {
  if (putEmbeddedHead(s, v.size(), 2)) putValuesLE(s, v);
}
void xlWriteEmbeddedUInt16BE(XLStream& s, std::span<const uint16_t> v) {
  if (putEmbeddedHead(s, v.size(), 2)) putValuesBE(s, v);
}
void xlWriteEmbeddedUInt32(XLStream& s, std::span<const uint32_t> v) {
  if (putEmbeddedHead(s, v.size(), 4)) putValuesLE(s, v);
}
void xlWriteEmbeddedUInt32BE(XLStream& s, std::span<const uint32_t> v) {
  if (putEmbeddedHead(s, v.size(), 4)) putValuesBE(s, v);
}

void xlWriteStreamHeader(XLStream& s, int32_t protocolClass, int32_t revision,
                         std::span<const uint8_t> comment) {
  char line[64];
  int n = std::snprintf(line, sizeof line, ") QX-PCL XL;%d;%d;Comment", static_cast<uint16_t>(protocolClass),
                        static_cast<uint16_t>(revision));
  xlWriteRawData(s, std::span(reinterpret_cast<const uint8_t*>(line), static_cast<size_t>(n)));
  xlWriteRawData(s, comment);
  xlPutByte(s, '\n');
}
