#ifndef GRAPHICS_ROWSTAGE_H
#define GRAPHICS_ROWSTAGE_H

// Raster rows, pulled one at a time through a chain of row stages.
//
// Each stage asks its upstream for a row, changes it and hands it on. The
// first stage of a chain reads a GBitmap (GBitmapRowReader); then may come
// a resampler (or a pass-through that only reports the destination
// rectangle), a stage that cuts rows to a clip's bounding box, a dither
// stage that turns grey rows into one-bit rows, and last the caller's row
// encoder (rowenc.h). A GRasterPipeline builds the chain for one image and
// owns it.
//
// The row protocol of processRow (buffer, rowIndex, length, repeat,
// covered): the stage writes one row into buffer, which holds maxRowBytes
// bytes, and sets length to its byte count (0 when the source has no more
// rows), rowIndex to the index of the row counted from 0, repeat to the
// number of consecutive destination rows equal to this one (1 normally) and
// covered to the number of destination rows the bytes already account for
// (1, except where an encoder folds repeats into its output). A consumer
// that gets repeat n and covered 1 sends the row n times; one that gets
// covered n counts n rows done. Consumers pull as many rows as the
// destination has and do not wait for a zero length: a resampler never
// gives one.
//
// Failures: start answers false when a stage cannot work on what its
// upstream delivers (or cannot have its buffers); a pipeline then leaves
// that stage out. processRow answers 0, or, from an encoder whose output
// cannot be framed, a negative status with length 0. Every buffer is sized
// at start, with the non-throwing new; nothing is allocated per row. A
// stage never reads past the bytes its upstream announced: a short row is
// taken as zero-filled to the width its bounds give.
//
// Sizes and edges are 16-bit, as the rectangles are; every product of them
// (depth x width, rows x height, width x 65536) is taken in 64 bits.

#include <cstdint>
#include <memory>
#include <vector>

#include "core/geometry.h"
#include "graphics/bitmap.h"

class GClipAttribute;
class GDitherMatrix;
class GPaletteTable;

class GRowStage {
 public:
  GRowStage() = default;
  GRowStage(const GRowStage&) = delete;
  GRowStage& operator=(const GRowStage&) = delete;
  virtual ~GRowStage();

  // See the top of the file. Answers 0 for success.
  [[nodiscard]] virtual int16_t processRow(unsigned char* buffer, uint32_t& rowIndex, uint32_t& length,
                                           uint8_t& repeat, uint8_t& covered) = 0;
  // Passes over count rows without delivering them. The base does nothing.
  virtual void skipRows(uint32_t count);
  // Makes the stage ready; false when it cannot work. The base marks the
  // stage started.
  [[nodiscard]] virtual bool start();
  // The buffer size processRow needs. The base answers the upstream's.
  virtual uint32_t maxRowBytes() const;
  // The rectangle of the rows delivered. The base answers the upstream's.
  virtual void bounds(GRect& out) const;
  // The depth of the rows delivered. The base answers the upstream's.
  virtual uint8_t bitsPerPixel() const;
  // The colours of the pixel values, or null (grey or direct colour).
  // Still the stage's, or its upstream's. The base answers the upstream's.
  virtual const GPaletteTable* palette() const;

  // The upstream is not owned: a pipeline owns every stage of its chain.
  void setUpstream(GRowStage* upstream) { upstream_ = upstream; }
  GRowStage* upstream() const { return upstream_; }
  bool started() const { return started_ != 0; }

 protected:
  GRowStage* upstream_ = nullptr;
  uint32_t started_ = 0;
  uint32_t maxRowBytes_ = 0;
};

// The pixel count and byte count of a rectangle's rows at a depth, in 64
// bits; 0 for an empty or inverted rectangle.
uint32_t gRowWidth(const GRect& r);
uint32_t gRowHeight(const GRect& r);
uint64_t gRowBytes(uint32_t bitsPerPixel, uint32_t width);

// A buffer made at start with the non-throwing new.
using GRowBuffer = std::unique_ptr<unsigned char[]>;
// A zero-filled buffer of n bytes (at least 1), or null when none can be had.
GRowBuffer gMakeRowBuffer(uint64_t n);

// A stage whose bounds are a rectangle of its own.
class GBoundedRowStage : public GRowStage {
 public:
  explicit GBoundedRowStage(const GRect& bounds) : bounds_(bounds) {}
  void bounds(GRect& out) const override { out = bounds_; }

 protected:
  GRect bounds_;
};

// Passes rows unchanged and reports the destination rectangle.
class GPassThroughRowStage : public GBoundedRowStage {
 public:
  explicit GPassThroughRowStage(const GRect& destination) : GBoundedRowStage(destination) {}
  [[nodiscard]] int16_t processRow(unsigned char* buffer, uint32_t& rowIndex, uint32_t& length, uint8_t& repeat,
                                   uint8_t& covered) override;
  void skipRows(uint32_t count) override;
};

// Nearest-neighbour scaling of the upstream's rows to its own bounds' size.
// Vertically it repeats rows (enlarging) or skips them (reducing); across a
// row it scales pixels of 1, 4, 8 or 24 bits. start fails without an
// upstream, for another depth when the width changes, and for an empty
// source or destination.
class GResampleRowStage : public GBoundedRowStage {
 public:
  explicit GResampleRowStage(const GRect& destination) : GBoundedRowStage(destination) {}
  [[nodiscard]] int16_t processRow(unsigned char* buffer, uint32_t& rowIndex, uint32_t& length, uint8_t& repeat,
                                   uint8_t& covered) override;
  void skipRows(uint32_t count) override;
  [[nodiscard]] bool start() override;
  uint32_t maxRowBytes() const override { return maxRowBytes_; }

 private:
  uint32_t verticalStep();
  uint32_t scaleRow(const unsigned char* source, unsigned char* out) const;

  uint32_t srcW_ = 0, dstW_ = 0, srcH_ = 0, dstH_ = 0;
  bool scaleX_ = false, reduceX_ = false, scaleY_ = false, reduceY_ = false;
  int64_t accumulator_ = 0;
  uint64_t step_ = 0;  // 16.16 fixed point: destination pixels per source pixel
  uint8_t bpp_ = 0;
  uint32_t sourceBytes_ = 0;  // the bytes of one source row
  uint32_t bufferBytes_ = 0;
  uint32_t outputRows_ = 0;
  uint32_t pendingRows_ = 0;  // rows still to come from the row in the buffer
  GRowBuffer row_;  // the last source row
};

// Base of the stages that change the pixels' form; remembers the corner of
// the rectangle it was made for.
class GConverterRowStage : public GRowStage {
 public:
  explicit GConverterRowStage(const GRect& rectangle) : left_(rectangle.left()), top_(rectangle.top()) {}

 protected:
  int16_t left_;
  int16_t top_;
};

// Ordered dither of 1-, 4- or 8-bit rows to 1-bit rows: a pixel whose grey
// value reaches the matrix threshold under it becomes 1 (white), else 0
// (black). The matrix is tiled from the rows' top left corner (both phases
// taken as non-negative remainders), whole however wide it is. The palette
// delivered is black, then white.
//
// start fails without an upstream, for another depth, and for a null or
// empty matrix. A row delivered with repeat n comes out as n rows, each
// dithered with its own matrix row. The matrix is the caller's and must
// outlive the stage.
class GDitherRowConverter : public GConverterRowStage {
 public:
  GDitherRowConverter(const GRect& rectangle, const GDitherMatrix* matrix);
  ~GDitherRowConverter() override;
  [[nodiscard]] int16_t processRow(unsigned char* buffer, uint32_t& rowIndex, uint32_t& length, uint8_t& repeat,
                                   uint8_t& covered) override;
  [[nodiscard]] bool start() override;
  uint32_t maxRowBytes() const override { return maxRowBytes_; }
  uint8_t bitsPerPixel() const override { return 1; }
  const GPaletteTable* palette() const override { return palette_.get(); }
  // The grey value looked up for each byte value with a pixel in place
  // (see start); for tests.
  const unsigned char* greyTable() const { return grey_; }

 private:
  const GDitherMatrix* matrix_;
  uint8_t matrixWidth_;
  uint8_t matrixHeight_;
  std::unique_ptr<GPaletteTable> palette_;
  unsigned char grey_[256] = {};
  uint8_t bpp_ = 0;
  uint32_t width_ = 0;  // pixels
  uint32_t inputBytes_ = 0;
  uint32_t columnPhase_ = 0;
  uint32_t rowPhase_ = 0;
  GRowBuffer input_;
  GRowBuffer thresholds_;  // one matrix row, matrixWidth_ bytes
  uint32_t inputLength_ = 0;
  uint32_t pending_ = 0;  // further rows still to be made from the input row
  uint32_t nextIndex_ = 0;
};

// Cuts rows to the bounding box of an interior clip. start fails (the
// stage is then left out) without an upstream or clip, for a clip that
// keeps its outside, has no bounding box, misses the rows or holds them
// whole. Row indexes count from the clipped top.
class GBandReader : public GRowStage {
 public:
  // The clip is the caller's and must outlive the stage.
  explicit GBandReader(const GClipAttribute* clip) : clip_(clip) {}
  [[nodiscard]] int16_t processRow(unsigned char* buffer, uint32_t& rowIndex, uint32_t& length, uint8_t& repeat,
                                   uint8_t& covered) override;
  [[nodiscard]] bool start() override;
  uint32_t maxRowBytes() const override { return maxRowBytes_; }
  void bounds(GRect& out) const override { out = bounds_; }

 private:
  const GClipAttribute* clip_;
  GRect bounds_;
  uint32_t rowsToSkip_ = 0;
  uint32_t pixelOffset_ = 0;
  uint32_t bitShift_ = 0;
  uint32_t rowBytes_ = 0;
  uint8_t edgeMask_ = 0;
  bool skipDone_ = false;
  uint8_t bpp_ = 0;
  uint32_t height_ = 0;
};

// The first stage: rows of a source rectangle of a bitmap, in the output
// form `kind` of GBitmap::getRow (0, 1 and 4 grey, 2 blue-first, 3
// red-first colour). A 24-bit image read at a grey kind gives 8-bit rows.
// Kind 1 inverts the palette (each entry 255 - red, 255 - green, 255 -
// blue, opaque); kind 4, and kind 1 of a 24-bit image, invert every byte
// of the row.
class GBitmapRowReader : public GRowStage {
 public:
  GBitmapRowReader(uint32_t kind, const GRect& source, const GBitmap& bitmap);
  ~GBitmapRowReader() override;
  [[nodiscard]] int16_t processRow(unsigned char* buffer, uint32_t& rowIndex, uint32_t& length, uint8_t& repeat,
                                   uint8_t& covered) override;
  void skipRows(uint32_t count) override;
  uint32_t maxRowBytes() const override { return maxRowBytes_; }
  void bounds(GRect& out) const override { out = source_; }
  uint8_t bitsPerPixel() const override { return depth_; }
  const GPaletteTable* palette() const override;

 private:
  GBitmap bitmap_;
  GRect source_;
  uint32_t kind_;
  uint8_t depth_ = 0;
  bool grey_ = false;
  bool invertBytes_ = false;
  int32_t currentRow_;
  uint32_t rowsProduced_ = 0;
  std::unique_ptr<GPaletteTable> invertedPalette_;
};

// What a pipeline is built from. The destination is the caller's and is
// narrowed to the clipped rectangle when a clip stage is kept. The clip and
// matrix (either may be null) are the caller's and must outlive the
// pipeline; the last stage, not yet started, passes to the pipeline.
struct GRasterJob {
  GRect source;
  GRect* destination = nullptr;
  const GClipAttribute* clip = nullptr;
  GBitmap bitmap;
  uint32_t kind = 0;
  // 0: the printer scales and clips unless the image is larger than its
  //    place; 1: resampled, clipped and dithered on the host; 2: as 1 when
  //    that sends less data than the image at its own depth, else as the
  //    printer-scaled form without further stages.
  uint32_t mode = 0;
  const GDitherMatrix* dither = nullptr;
  std::unique_ptr<GRowStage> lastStage;
  uint32_t forceResample = 0;
};

// Owns a chain of stages and hands out the rows of its last one.
//
// A job whose source or destination is empty or inverted, whose bitmap is
// empty, whose depth no stage carries (other than 1, 4, 8, 24) or whose
// mode is unknown, or whose clip leaves nothing, builds no chain: the
// pipeline then answers rows of length 0 and lastStageKept() false. A
// stage that fails to start is left out; when that stage is the job's last
// one the rows come out in the form before it, and lastStageKept() says so,
// so that a consumer that expected encoded rows writes nothing.
class GRasterPipeline : public GRowStage {
 public:
  explicit GRasterPipeline(GRasterJob job);
  // first gets no upstream; each later stage that is given is linked to
  // the chain so far and started, and dropped when its start fails.
  GRasterPipeline(std::unique_ptr<GRowStage> first, std::unique_ptr<GRowStage> second,
                  std::unique_ptr<GRowStage> third, std::unique_ptr<GRowStage> fourth,
                  std::unique_ptr<GRowStage> fifth, std::unique_ptr<GRowStage> last);
  ~GRasterPipeline() override;

  [[nodiscard]] int16_t processRow(unsigned char* buffer, uint32_t& rowIndex, uint32_t& length, uint8_t& repeat,
                                   uint8_t& covered) override;
  void skipRows(uint32_t count) override;

  // Whether a chain was built at all.
  bool hasChain() const { return upstream_ != nullptr; }
  // Whether the last stage asked for is the one rows come from.
  bool lastStageKept() const { return lastStageKept_; }
  // The stages kept, first to last; for tests and diagnostics.
  std::vector<const GRowStage*> stages() const;

 private:
  // Links, starts and keeps a stage; false when it was dropped.
  bool append(std::unique_ptr<GRowStage> stage);

  std::vector<std::unique_ptr<GRowStage>> chain_;
  bool lastStageKept_ = false;
};

#endif
