#ifndef PDL_XLSTREAM_H
#define PDL_XLSTREAM_H

// The PCL XL byte stream: plain functions over one record, XLStream, that
// encode PCL XL data types, attribute ids, operator tags and embedded-data
// lengths into a fixed buffer and hand every full buffer to a flush
// call-back. The record, its creation, its flush and the raw-byte functions
// know nothing of PCL XL, so that a generator of another language can write
// its own bytes through them.
//
// Encoding (little-endian data order): a value is its type tag and then the
// value, low byte first; an xy pair is x then y, a box left, top, right,
// bottom; an array is its tag, 0xC1, the element count as a u16 and the
// elements. An attribute is 0xF8 and its id, written after its value; an
// operator is its tag, written after its attributes. real32 values are IEEE
// singles.
//
// Write discipline: every group of bytes that belongs together (a tag, a
// value of width w) goes into one buffer; when it does not fit in what is
// left, the buffer is flushed first and then reset (every flush empties the
// buffer, whatever the call-back did with it). Byte strings and arrays go
// through in chunks of whole elements, so data of any length passes through
// a buffer of any size.
//
// Error latch: an operator tag or attribute id outside the PCL XL tables,
// or an array count that a u16 cannot carry, is reported through the
// foundation's error handler and stops the stream: from then on it writes
// nothing, and no function clears the error. Bytes already in the buffer
// still reach the call-back through xlFlushStream.

#include <cstdint>
#include <memory>
#include <span>

#include "core/greal.h"

struct XLStream;

// The receiver of a stream's full buffers. A generator embeds one; its
// flush writes the count bytes from buffer to the job's port and answers a
// status, which the stream only passes back from xlFlushStream. The buffer
// belongs to the stream and is reused as soon as flush returns.
class GFlushCallback {
 public:
  virtual ~GFlushCallback() = default;
  virtual int32_t flush(XLStream& stream, int32_t userValue, const uint8_t* buffer, int32_t count) = 0;
};

// Error codes of a stream (and of a creation that failed).
enum : int16_t {
  kXLNoError = 0,
  kXLInitFailed = -1,
  kXLUndefinedOperator = -2,
  kXLUndefinedAttribute = -3,
  kXLOutOfMemory = -4,
  kXLZeroBufferSize = -5,
  kXLOutputOverflow = -6,  // a count or length the encoding cannot carry
  kXLFlushFailed = -7,
  kXLNoCallback = -8,
};

struct XLStream {
  XLStream() = default;
  XLStream(const XLStream&) = delete;
  XLStream& operator=(const XLStream&) = delete;

  std::unique_ptr<uint8_t[]> buffer;  // owned
  int32_t size = 0;
  int32_t left = 0;           // bytes still free
  uint8_t* cursor = nullptr;  // where the next byte goes
  uint8_t* end = nullptr;     // buffer + size
  uint32_t total = 0;         // bytes written since creation
  int16_t error = kXLNoError;
  int16_t errorCount = 0;     // errors recorded (stops at 32,767)
  GFlushCallback* callback = nullptr;  // not owned
  int32_t userValue = 0;               // handed back to the call-back
};

// A stream with a buffer of size bytes; null when size is not above 0, the
// call-back is null or the memory cannot be had.
std::unique_ptr<XLStream> xlCreateStream(int32_t size, GFlushCallback* callback, int32_t userValue);
// Frees the stream and its buffer; answers the bytes written since creation
// (0 for no stream).
uint32_t xlFreeStream(std::unique_ptr<XLStream> stream);
// Hands the buffer's bytes to the call-back, empties the buffer, and answers
// the call-back's result (0 without a call-back, changing nothing).
int32_t xlFlushStream(XLStream& stream);
// Empties the buffer without flushing: left = size, cursor = buffer.
void xlResetStream(XLStream& stream);
// The text of an error code.
const char* xlErrorText(int32_t code);
// Latches code (replacing an earlier one), counts it and reports its text
// through the error handler: the stream writes nothing more. For writers
// that find what they were given cannot be expressed.
void xlRecordError(XLStream& stream, int16_t code);

// Whether the tag is a PCL XL operator, the id a PCL XL attribute.
bool xlIsOperator(uint32_t tag);
bool xlIsAttribute(uint32_t id);

// Typed values: tag and value.
void xlWriteUByte(XLStream& s, uint8_t v);
void xlWriteUInt16(XLStream& s, uint16_t v);
void xlWriteUInt32(XLStream& s, uint32_t v);
void xlWriteSInt16(XLStream& s, int16_t v);
void xlWriteSInt32(XLStream& s, int32_t v);
void xlWriteReal32(XLStream& s, GReal v);

// Pairs: tag, x, y.
void xlWriteUByteXY(XLStream& s, uint8_t x, uint8_t y);
void xlWriteUInt16XY(XLStream& s, uint16_t x, uint16_t y);
void xlWriteUInt32XY(XLStream& s, uint32_t x, uint32_t y);
void xlWriteSInt16XY(XLStream& s, int16_t x, int16_t y);
void xlWriteSInt32XY(XLStream& s, int32_t x, int32_t y);
void xlWriteReal32XY(XLStream& s, GReal x, GReal y);

// Boxes: tag, left, top, right, bottom.
void xlWriteUByteBox(XLStream& s, uint8_t l, uint8_t t, uint8_t r, uint8_t b);
void xlWriteUInt16Box(XLStream& s, uint16_t l, uint16_t t, uint16_t r, uint16_t b);
void xlWriteUInt32Box(XLStream& s, uint32_t l, uint32_t t, uint32_t r, uint32_t b);
void xlWriteSInt16Box(XLStream& s, int16_t l, int16_t t, int16_t r, int16_t b);
void xlWriteSInt32Box(XLStream& s, int32_t l, int32_t t, int32_t r, int32_t b);
void xlWriteReal32Box(XLStream& s, GReal l, GReal t, GReal r, GReal b);

// Arrays: tag, 0xC1, count (u16), elements. More than 65,535 elements
// cannot be expressed: such an array writes nothing and latches
// kXLOutputOverflow.
void xlWriteUByteArray(XLStream& s, std::span<const uint8_t> v);
void xlWriteUInt16Array(XLStream& s, std::span<const uint16_t> v);
void xlWriteUInt32Array(XLStream& s, std::span<const uint32_t> v);
void xlWriteSInt16Array(XLStream& s, std::span<const int16_t> v);
void xlWriteSInt32Array(XLStream& s, std::span<const int32_t> v);
void xlWriteReal32Array(XLStream& s, std::span<const GReal> v);
// A ubyte array of the low byte of each element.
void xlWriteUByteArrayOfLowBytes(XLStream& s, std::span<const uint16_t> v);

// 0xF8 and the id; an id outside the table latches kXLUndefinedAttribute.
void xlWriteAttribute(XLStream& s, uint32_t id);
// The tag; a tag outside the table latches kXLUndefinedOperator. Either
// error replaces a code latched earlier and is counted, even on a stream
// that is already stopped.
void xlWriteOperator(XLStream& s, uint32_t tag);
// An embedded-data length: 0xFB and one byte below 256, else 0xFA and a u32.
void xlWriteDataLength(XLStream& s, uint32_t n);
// Always 0xFA and a u32.
void xlWriteLongDataLength(XLStream& s, uint32_t n);

// Raw bytes, without tags.
void xlPutByte(XLStream& s, uint8_t b);
void xlPutUInt16(XLStream& s, uint16_t v);
void xlPutUInt32(XLStream& s, uint32_t v);
void xlPutReal32(XLStream& s, GReal v);
void xlPutUInt16BE(XLStream& s, uint16_t v);
void xlPutUInt32BE(XLStream& s, uint32_t v);
void xlPutUInt16Array(XLStream& s, std::span<const uint16_t> v);
void xlPutUInt32Array(XLStream& s, std::span<const uint32_t> v);
void xlPutUInt16ArrayBE(XLStream& s, std::span<const uint16_t> v);
void xlPutUInt32ArrayBE(XLStream& s, std::span<const uint32_t> v);
void xlPutLowBytes(XLStream& s, std::span<const uint16_t> v);
void xlWriteRawData(XLStream& s, std::span<const uint8_t> bytes);
// The same, for font headers and glyph data.
void xlWriteRawFontData(XLStream& s, std::span<const uint8_t> bytes);

// Embedded data: 0xFA, the length in bytes as a u32, the data. Data whose
// length a u32 cannot carry writes nothing and latches kXLOutputOverflow.
void xlWriteEmbeddedData(XLStream& s, std::span<const uint8_t> bytes);
void xlWriteEmbeddedUInt16(XLStream& s, std::span<const uint16_t> v);
void xlWriteEmbeddedUInt16BE(XLStream& s, std::span<const uint16_t> v);
void xlWriteEmbeddedUInt32(XLStream& s, std::span<const uint32_t> v);
void xlWriteEmbeddedUInt32BE(XLStream& s, std::span<const uint32_t> v);

// The stream's header line: ") QX-PCL XL", ";" and the protocol class,
// ";" and the revision (each a decimal of its value taken as a u16),
// ";Comment", the comment bytes as they are, and a line feed.
void xlWriteStreamHeader(XLStream& s, int32_t protocolClass, int32_t revision,
                         std::span<const uint8_t> comment);

#endif
