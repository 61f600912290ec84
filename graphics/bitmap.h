#ifndef GRAPHICS_BITMAP_H
#define GRAPHICS_BITMAP_H

// The pixel image of a raster command, a raster paint or a hatch pattern.
//
// GBitmap is a small persistent handle on a shared body, GBitmapImp, which
// holds the pixels and their description: bounds (right and bottom
// exclusive), depth, planes, row alignment, colour order, row direction, an
// optional segmented row layout, channel masks for 16- and 32-bit pixels,
// compression and palette. Handles are values: copying one shares the body,
// whose use count says how many handles hold it; the last one frees it.
// Readers take one row span at a time through getRow, which turns every
// source format into one of a few output forms.
//
// Failures: a body that cannot be allocated leaves the handle empty (every
// forwarding accessor of an empty handle answers 0 or null). getRow never
// reads outside the data: a row or span outside the bounds, a depth it
// cannot convert, a compressed body or a row the data does not hold answer
// the row's length with the buffer zero-filled; an inverted span answers 0.
// Run-length data is expanded when the body is made, every write clipped to
// its row and to the buffer.
//
// Row order: the first stored row is row `top`, or, bottom-up, row
// `bottom - 1`. Without segmentation row r (counted from the first stored
// row) starts at r × planes × stride; in the segmented layout (a non-zero
// segment step and rows per segment above 0) at
// step × (r / rowsPerSegment) × 65536 + (planes × (r mod rowsPerSegment) ×
// stride) mod 65536, both from the start of the data.
//
// Channels of packed pixels (16 and 32 bits): the three masks are red,
// green and blue. Kind 3 gives (red, green, blue) per pixel, kind 2
// (blue, green, red), as 24-bit pixels do; the grey kinds (0, 1, 4)
// (30 red + 59 green + 11 blue) / 100.
//
// Stored forms (after the persistent base; each level writes its version
// word first and a level whose stored version differs reads nothing more):
//   GBitmap     u32 version 1; the body as an object of the graph (nil when
//               empty). A body reached twice in one graph is shared by the
//               handles that read it, one use each.
//   GBitmapImp  u32 version 1; i32 owned; u32 dataLength; i16 left, top,
//               right, bottom; u8 bitsPerPixel; u8 planes; i32 colourOrder;
//               i32 compression; i32 bottomUp; u8 alignment; i16
//               rowsPerSegment; u32 reserved; u16 segmentStep; u32
//               memorySize; i32 memorySizeValid; u32 stride; u32 rowBytes;
//               i32 masksGiven; red, green, blue each u32 mask, u8 shift,
//               u8 count; the palette as an object of the graph; then
//               dataLength bytes of pixels. A body without data stores
//               dataLength 0. 87 bytes beyond the base and the pixels
//               without a palette; 81 and the palette's recursive size with
//               one.
// A restored body owns the pixels it read. A level that is cut short, or
// holds a depth outside {1, 4, 8, 16, 24, 32}, planes other than 1 or 3, a
// row length that its bounds do not give, a stride below it, or more
// pixels than the data holds, reads no further and keeps what it held.

#include <cstdint>
#include <memory>

#include "core/classids.h"
#include "core/geometry.h"
#include "core/perobj.h"

class GColor;
class GPaletteTable;

// What a bitmap is made from, passed by value. The palette (may be null)
// passes to the body; the data is borrowed (owned 0) or handed over (owned
// non-zero, allocated with new[]).
struct GBitmapDescriptor {
  uint32_t owned = 0;
  const unsigned char* data = nullptr;
  uint32_t dataLength = 0;
  uint32_t alignment = 1;
  GRect bounds;
  uint32_t bitsPerPixel = 1;
  uint32_t planes = 1;
  uint32_t colourOrder = 0;
  uint32_t compression = 0;
  GPaletteTable* palette = nullptr;
  uint32_t bottomUp = 0;
  uint32_t masksGiven = 0;
  uint32_t redMask = 0;
  uint32_t greenMask = 0;
  uint32_t blueMask = 0;
  uint32_t segmentStep = 0;
  uint32_t rowsPerSegment = 0;
  uint32_t reserved = 0;
};

// One channel of a packed pixel.
struct GBitmapChannel {
  uint32_t mask = 0;
  uint8_t count = 0;  // set bits of the mask
  uint8_t shift = 0;  // position of its lowest set bit
};

class GBitmapImp : public MPersistentObject {
  G_PERSISTENT_CLASS(GBitmapImp)

 public:
  // The compressions: 1 and 2 are expanded when a body is made.
  static constexpr uint32_t kNoCompression = 0;
  static constexpr uint32_t kRunLength4 = 1;
  static constexpr uint32_t kRunLength8 = 2;
  static constexpr uint32_t kLZW = 3;

  // Everything 0, no data, use count 1.
  GBitmapImp();
  // From a descriptor (see GBitmap's). ok() is false when run-length data
  // could not be given a buffer.
  explicit GBitmapImp(const GBitmapDescriptor& descriptor);
  // Deep: an owned copy of the data and of the palette, use count 1.
  GBitmapImp(const GBitmapImp& other);
  GBitmapImp& operator=(const GBitmapImp& other);
  ~GBitmapImp() override;

  static RWClassID classIsA() { return ClassId::GBitmapImp; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // The same object; or the same class, equal description (bounds, depth,
  // planes, alignment, colour order, direction, layout, masks, compression,
  // reserved word, row lengths), matching palettes (or none on both sides)
  // and equal pixels. Whether the data is owned and whether the memory
  // size was computed yet are not compared: neither is the image.
  RWBoolean matches(const MPersistentObject* other) const override;

  bool ok() const { return ok_; }

  const GRect& bounds() const { return bounds_; }
  uint32_t dataSize() const { return dataLength_; }
  const unsigned char* data() const { return data_; }
  bool owned() const { return ownedData_ != nullptr; }
  uint8_t storedBitsPerPixel() const { return bitsPerPixel_; }
  uint8_t planes() const { return planes_; }
  // 4 for one bit in three planes, 24 for 16 and 32 bits, else bits ×
  // planes.
  uint32_t effectiveBitsPerPixel() const;
  // (effective bits × (right − left) + 7) / 8, the span taken as 16-bit;
  // 0 for an inverted span.
  uint32_t rowBytesFor(int32_t left, int32_t right) const;
  uint32_t rowBytes() const { return rowBytes_; }
  uint32_t stride() const { return stride_; }
  uint8_t alignment() const { return alignment_; }
  uint32_t compression() const { return compression_; }
  bool isCompressed() const { return compression_ != kNoCompression; }
  uint32_t colourOrder() const { return colourOrder_; }
  bool isBottomUp() const { return bottomUp_ != 0; }
  int16_t rowsPerSegment() const { return rowsPerSegment_; }
  int16_t segmentStep() const { return segmentStep_; }
  bool isSegmented() const { return segmentStep_ != 0 && rowsPerSegment_ > 0; }
  uint32_t reserved() const { return reserved_; }
  bool masksGiven() const { return masksGiven_ != 0; }
  const GBitmapChannel& red() const { return channels_[0]; }
  const GBitmapChannel& green() const { return channels_[1]; }
  const GBitmapChannel& blue() const { return channels_[2]; }

  // The palette, still the body's, or null.
  GPaletteTable* palette() const { return palette_.get(); }
  // Deletes the palette held and takes p over (null: none).
  void setPalette(GPaletteTable* p);
  // Borrowed data becomes a buffer of the body's own, which is answered
  // (still the body's); null when the data was owned already, when there
  // is none, or when no buffer could be had (the data stays borrowed).
  const unsigned char* makeDataOwned();

  // The size charged for the body in memory budgets: the data length,
  // twice that for a compressed body. Computed on first use and kept.
  uint32_t memorySize();
  uint32_t cachedMemorySize() const { return memorySize_; }
  bool memorySizeValid() const { return memorySizeValid_ != 0; }

  // A packed pixel's three channels scaled to 8 bits: a channel of 8 bits
  // as it is, of more divided by (2^bits − 1) / 255, of fewer multiplied
  // by 255 / (2^bits − 1); a channel of no bits is 0.
  void decodePixel(uint32_t pixel, uint8_t& c1, uint8_t& c2, uint8_t& c3) const;

  // The bytes getRow writes for the span at the kind: one per pixel for a
  // grey kind of a 24-bit (effective) image, else rowBytesFor.
  uint32_t rowLength(int32_t left, int32_t right, uint32_t kind) const;
  // Pixels left … right − 1 of row `row` into buffer, which holds at least
  // rowLength(left, right, kind) bytes; answers that length. Kinds 0, 1 and
  // 4 ask for grey, 2 for the blue-first colour order, 3 for red first.
  uint32_t getRow(unsigned char* buffer, int32_t left, int32_t right, int32_t row, uint32_t kind) const;

  // For the handles: how many share the body.
  uint32_t useCount() const { return useCount_; }
  void addUse() { ++useCount_; }
  // One use less; true when none is left (the caller deletes the body).
  bool dropUse() { return --useCount_ == 0; }

 private:
  friend class GBitmap;

  void freeData();
  void holdOwned(std::unique_ptr<unsigned char[]> buffer, uint32_t length);
  void computeLayout();
  void expandRunLength(const unsigned char* source, uint32_t length);
  // Offset of the row's first plane from the data start, or -1 when the
  // row lies outside the bounds.
  int64_t rowOffset(int32_t row) const;

  // Borrow or own: data_ points into ownedData_ when the body owns it.
  std::unique_ptr<unsigned char[]> ownedData_;
  const unsigned char* data_ = nullptr;
  uint32_t dataLength_ = 0;
  GRect bounds_;
  uint8_t bitsPerPixel_ = 0;
  uint8_t planes_ = 0;
  uint32_t compression_ = 0;
  uint32_t colourOrder_ = 0;
  uint32_t bottomUp_ = 0;
  uint8_t alignment_ = 0;
  std::unique_ptr<GPaletteTable> palette_;
  uint32_t useCount_ = 1;
  int16_t rowsPerSegment_ = 0;
  uint32_t reserved_ = 0;
  int16_t segmentStep_ = 0;
  uint32_t memorySize_ = 0;
  uint32_t memorySizeValid_ = 0;
  uint32_t rowBytes_ = 0;
  uint32_t stride_ = 0;
  uint32_t masksGiven_ = 0;
  GBitmapChannel channels_[3];
  bool ok_ = true;
  // False after a stored level that was not read whole: a handle reading
  // the body then keeps the one it had.
  bool restoredWhole_ = true;
  // Set while handles hold the body: a stored reference to it that a later
  // handle of the same graph reads may then share it.
  bool handleHeld_ = false;
};

RW_DECLARE_RESTORE_OPERATORS(GBitmapImp)

class GBitmap : public MPersistentObject {
  G_PERSISTENT_CLASS(GBitmap)

 public:
  // Empty.
  GBitmap();
  // A body made from the descriptor, use count 1; empty when it cannot be
  // made.
  explicit GBitmap(const GBitmapDescriptor& descriptor);
  // Shares the body.
  GBitmap(const GBitmap& other);
  GBitmap& operator=(const GBitmap& other);
  ~GBitmap() override;

  static RWClassID classIsA() { return ClassId::GBitmap; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // Same class, and the same body, matching bodies, or none on both sides.
  RWBoolean matches(const MPersistentObject* other) const override;

  bool isNull() const { return body_ == nullptr; }
  // The body (still shared), or null.
  GBitmapImp* body() const { return body_; }
  // Lets go of the body; the handle is empty.
  void release();

  // Forwarded to the body; an empty handle answers 0, null or an empty
  // rectangle.
  GRect bounds() const;
  uint32_t dataSize() const;
  uint32_t bitsPerPixel() const;  // effective
  uint32_t rowBytesFor(int32_t left, int32_t right) const;
  uint32_t compression() const;
  bool isCompressed() const;
  GPaletteTable* palette() const;
  void setPalette(GPaletteTable* p);
  const unsigned char* data() const;
  uint8_t alignment() const;
  uint32_t redMask() const;
  uint32_t greenMask() const;
  uint32_t blueMask() const;
  bool masksGiven() const;
  uint32_t memorySize();
  int16_t rowsPerSegment() const;
  int16_t segmentStep() const;
  bool isSegmented() const;
  bool isBottomUp() const;
  uint32_t reserved() const;
  const unsigned char* makeDataOwned();
  uint32_t getRow(unsigned char* buffer, int32_t left, int32_t right, int32_t row, uint32_t kind) const;

  // out becomes this image with at most 256 colours: a copy of this handle
  // below 8 bits; a 24-bit image an 8-bit indexed one, colours in order of
  // first appearance, later new colours mapped to index 0; an image of
  // fewer than 3 palette entries then one bit per pixel, each row starting
  // on a byte. Answers out. An empty handle gives an empty out.
  GBitmap& reduceToPalette(GBitmap& out) const;

 protected:
  // Takes a body made by the caller (use count 1), or none.
  void adopt(GBitmapImp* body);

 private:
  GBitmapImp* body_ = nullptr;
};

RW_DECLARE_RESTORE_OPERATORS(GBitmap)

// An 8 × 8 one-bit hatch image built from a style number, pixel value 0
// drawn with the first colour and 1 with the second (the palette's two
// entries in that order). It is a bitmap to every reader: it answers the
// bitmap's class ID, stores as one and is not registered, so a stored hatch
// comes back as a GBitmap.
class GHatchPattern : public GBitmap {
 public:
  // Styles 0 to 4 (horizontal, vertical, two diagonals, cross-hatched
  // diagonals); any other style the horizontal-and-vertical cross. Copies
  // of the colours go into the palette.
  GHatchPattern(int32_t style, const GColor& firstColour, const GColor& secondColour);
  GHatchPattern(const GHatchPattern& other) = default;
  GHatchPattern& operator=(const GHatchPattern& other) = default;
  ~GHatchPattern() override;

  // The eight rows of a style, row 0 first, column 0 the top bit.
  static const unsigned char* styleBytes(int32_t style);
};

#endif
