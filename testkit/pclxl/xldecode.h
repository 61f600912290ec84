#ifndef TESTKIT_PCLXL_XLDECODE_H
#define TESTKIT_PCLXL_XLDECODE_H

// A PCL XL token decoder for tests: reads a stream (or a part of one) as
// the published byte layout defines it and answers its operators, each with
// its typed attributes and its data.
//
// What it reads: the header line (") " up to the first line feed); typed
// values (tags 0xC0-0xC5 single, 0xC8-0xCD arrays with a ubyte or uint16
// count, 0xD0-0xD5 xy pairs, 0xE0-0xE5 boxes; little-endian); 0xF8 and an
// attribute id, binding the value just before it; operator tags, taking the
// attributes before them and any values without an id (SetNeutralAxis);
// embedded data after an operator (0xFB and a byte length, 0xFA and a u32
// length); and the raw bytes that follow a VendorUnique whose extension's
// lower half is 0x1003, VUDataLength of them. Anything else (an unknown tag,
// a value cut short, an attribute id without a value, data without an
// operator) stops the decoding with an error and the offset where it was
// found.

#include <cstdint>
#include <string>
#include <vector>

struct XLValueToken {
  enum Type { UByte, UInt16, UInt32, SInt16, SInt32, Real32 };
  enum Shape { Single, Array, XY, Box };
  Type type = UByte;
  Shape shape = Single;
  uint8_t countTag = 0;        // of an array: 0xC0 (ubyte count) or 0xC1 (uint16 count)
  std::vector<double> values;  // every type is exact in a double
  size_t offset = 0;           // of its type tag

  // As the operator tables name them: "ubyte", "sint16_xy", "real32_box",
  // "uint16_array" ...
  std::string typeName() const;
  // The values of a ubyte array as bytes (a font name, comment text).
  std::string text() const;
  double operator[](size_t i) const { return values.at(i); }
};

struct XLAttributeToken {
  uint8_t id = 0;
  XLValueToken value;
};

struct XLOperatorToken {
  uint8_t tag = 0;
  size_t offset = 0;  // of the operator tag
  std::vector<XLAttributeToken> attributes;
  std::vector<XLValueToken> bareValues;  // values without an attribute id
  bool hasData = false;
  std::string data;  // embedded data, or a VendorUnique's raw bytes

  // The attribute with this id, or null.
  const XLAttributeToken* find(uint8_t id) const;
  // The tag and every attribute in order with its type, e.g.
  // "6F 168:ubyte_array 166:real32 170:uint16"; bare values as ":sint16".
  std::string signature() const;
};

struct XLDecodeResult {
  bool ok = false;
  std::string error;  // what stopped the decoding, naming its offset
  size_t errorOffset = 0;
  std::string header;  // the header line without its line feed
  std::vector<XLOperatorToken> operators;  // every operator read before an error
};

// A stream that starts with its header line.
XLDecodeResult decodeXLStream(const std::string& bytes);
// Tokens alone, from the first byte.
XLDecodeResult decodeXLTokens(const std::string& bytes);
// The stream inside a job: from its header line (") " at the start of a
// line) up to the first "\x1B%-" after it; an error when there is none.
// Offsets count from the header line.
XLDecodeResult decodeXLJob(const std::string& job);

#endif
