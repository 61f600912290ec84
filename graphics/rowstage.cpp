// Row stages and the raster pipeline (see rowstage.h).

#include "graphics/rowstage.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "graphics/clip.h"
#include "graphics/color.h"
#include "graphics/dither.h"

// ---- the base ----------------------------------------------------------------------

GRowStage::~GRowStage() = default;

void GRowStage::skipRows(uint32_t) {}

bool GRowStage::start() {
  started_ = 1;
  return true;
}

uint32_t GRowStage::maxRowBytes() const { return upstream_ ? upstream_->maxRowBytes() : 0; }

void GRowStage::bounds(GRect& out) const {
  if (upstream_)
    upstream_->bounds(out);
  else
    out = GRect();
}

uint8_t GRowStage::bitsPerPixel() const { return upstream_ ? upstream_->bitsPerPixel() : 0; }

const GPaletteTable* GRowStage::palette() const { return upstream_ ? upstream_->palette() : nullptr; }

uint32_t gRowWidth(const GRect& r) {
  const int32_t w = int32_t{r.right()} - r.left();
  return w > 0 ? static_cast<uint32_t>(w) : 0;
}

uint32_t gRowHeight(const GRect& r) {
  const int32_t h = int32_t{r.bottom()} - r.top();
  return h > 0 ? static_cast<uint32_t>(h) : 0;
}

uint64_t gRowBytes(uint32_t bitsPerPixel, uint32_t width) { return (uint64_t{bitsPerPixel} * width + 7) / 8; }

GRowBuffer gMakeRowBuffer(uint64_t n) {
  // The largest row of a 16-bit width at any depth a bitmap has is far
  // below this; anything above it is a damaged description.
  if (n > (uint64_t{1} << 28)) return nullptr;
  GRowBuffer b(new (std::nothrow) unsigned char[n ? n : 1]);
  if (b) std::memset(b.get(), 0, n ? n : 1);
  return b;
}

namespace {

// Pulls a row of the upstream into buffer and makes sure that `need`
// bytes of it are defined: the bytes past a short row become 0. buffer
// holds at least max(need, the upstream's maxRowBytes) bytes.
int16_t pull(GRowStage* upstream, unsigned char* buffer, uint32_t need, uint32_t& rowIndex, uint32_t& length,
             uint8_t& repeat, uint8_t& covered) {
  const int16_t status = upstream->processRow(buffer, rowIndex, length, repeat, covered);
  if (status == 0 && length != 0 && length < need) std::memset(buffer + length, 0, need - length);
  return status;
}

// The pixel at index i of a packed row of 1, 4 or 8 bits.
inline uint32_t pixelAt(const unsigned char* row, uint64_t i, uint8_t bpp) {
  switch (bpp) {
    case 1:
      return (row[i >> 3] >> (7 - (i & 7))) & 1;
    case 4:
      return (i & 1) ? row[i >> 1] & 0x0F : row[i >> 1] >> 4;
    default:
      return row[i];
  }
}

// Writes a pixel into a zero-filled packed row of 1, 4 or 8 bits.
inline void putPixel(unsigned char* row, uint64_t i, uint8_t bpp, uint32_t v) {
  switch (bpp) {
    case 1:
      if (v) row[i >> 3] |= static_cast<unsigned char>(0x80 >> (i & 7));
      break;
    case 4:
      row[i >> 1] |= static_cast<unsigned char>((i & 1) ? (v & 0x0F) : (v & 0x0F) << 4);
      break;
    default:
      row[i] = static_cast<unsigned char>(v);
  }
}

inline uint64_t positiveRemainder(int64_t value, uint32_t modulus) {
  const int64_t m = static_cast<int64_t>(modulus);
  return static_cast<uint64_t>(((value % m) + m) % m);
}

}  // namespace

// ---- pass-through ------------------------------------------------------------------

int16_t GPassThroughRowStage::processRow(unsigned char* buffer, uint32_t& rowIndex, uint32_t& length,
                                         uint8_t& repeat, uint8_t& covered) {
  if (!upstream_) {
    length = 0;
    return 0;
  }
  return upstream_->processRow(buffer, rowIndex, length, repeat, covered);
}

void GPassThroughRowStage::skipRows(uint32_t count) {
  if (upstream_) upstream_->skipRows(count);
}

// ---- resampler ---------------------------------------------------------------------

bool GResampleRowStage::start() {
  if (!upstream_) return false;
  GRect source;
  upstream_->bounds(source);
  srcW_ = gRowWidth(source);
  srcH_ = gRowHeight(source);
  dstW_ = gRowWidth(bounds_);
  dstH_ = gRowHeight(bounds_);
  // Every step divides by one of these.
  if (!srcW_ || !srcH_ || !dstW_ || !dstH_) return false;
  bpp_ = upstream_->bitsPerPixel();
  scaleX_ = srcW_ != dstW_;
  reduceX_ = dstW_ < srcW_;
  scaleY_ = srcH_ != dstH_;
  reduceY_ = dstH_ < srcH_;
  if (scaleX_ && bpp_ != 1 && bpp_ != 4 && bpp_ != 8 && bpp_ != 24) return false;
  accumulator_ = reduceY_ ? srcH_ : 0;
  step_ = (uint64_t{dstW_} * 65536 + srcW_ - 1) / srcW_;
  sourceBytes_ = static_cast<uint32_t>(gRowBytes(bpp_, srcW_));
  maxRowBytes_ = static_cast<uint32_t>(gRowBytes(bpp_, dstW_));
  bufferBytes_ = std::max(sourceBytes_, upstream_->maxRowBytes());
  // Rows always come through a buffer of our own, so that rows made
  // after the source's last one repeat that row.
  row_ = gMakeRowBuffer(bufferBytes_);
  if (!row_) return false;
  outputRows_ = 0;
  pendingRows_ = 0;
  return GRowStage::start();
}

uint32_t GResampleRowStage::verticalStep() {
  if (reduceY_) {
    const int64_t n = (int64_t{srcH_} + dstH_ - accumulator_) / dstH_;
    accumulator_ = int64_t{dstH_} * n + accumulator_ - srcH_;
    if (n > 1) upstream_->skipRows(static_cast<uint32_t>(n - 1));
    return 1;
  }
  const int64_t a = int64_t{dstH_} - accumulator_;
  accumulator_ = 0;
  if (a <= 0) return 1;
  const int64_t whole = a / srcH_;
  const int64_t rest = a % srcH_;
  if (rest == 0) return static_cast<uint32_t>(whole);
  accumulator_ = srcH_ - rest;
  return static_cast<uint32_t>(whole + 1);
}

int16_t GResampleRowStage::processRow(unsigned char* buffer, uint32_t& rowIndex, uint32_t& length, uint8_t& repeat,
                                      uint8_t& covered) {
  if (!started_) {
    length = 0;
    return 0;
  }
  uint32_t r;
  if (pendingRows_) {
    // More rows of the source row in the buffer.
    r = std::min<uint32_t>(pendingRows_, 255);
    pendingRows_ -= r;
  } else {
    r = scaleY_ ? verticalStep() : 1;
    // The repeat is a byte: an enlargement of more than 255 rows per
    // source row hands the rest on in further rows from the same buffer.
    if (r > 255) {
      pendingRows_ = r - 255;
      r = 255;
    }
    uint32_t upstreamLength = 0;
    const int16_t status = pull(upstream_, row_.get(), sourceBytes_, rowIndex, upstreamLength, repeat, covered);
    if (status != 0) {
      length = 0;
      return status;
    }
  }
  repeat = static_cast<uint8_t>(r);
  covered = 1;
  rowIndex = outputRows_;
  outputRows_ += r;
  // A source past its last row leaves the last one in the buffer.
  if (scaleX_)
    length = scaleRow(row_.get(), buffer);
  else {
    std::memcpy(buffer, row_.get(), maxRowBytes_);
    length = maxRowBytes_;
  }
  return 0;
}

void GResampleRowStage::skipRows(uint32_t count) {
  if (!started_ || count == 0) return;
  outputRows_ += count;
  const uint32_t fromBuffer = std::min(count, pendingRows_);
  pendingRows_ -= fromBuffer;
  count -= fromBuffer;
  if (count == 0) return;
  uint64_t n = count;
  if (reduceY_) {
    const int64_t f = (int64_t{count} * srcH_ + dstH_ - accumulator_) / dstH_;
    accumulator_ = int64_t{dstH_} * f + accumulator_ - int64_t{count} * srcH_;
    n = f > 0 ? static_cast<uint64_t>(f) : 0;
  } else if (scaleY_) {
    const int64_t d = int64_t{count} * srcH_ + accumulator_;
    accumulator_ = d % dstH_;
    n = static_cast<uint64_t>(d / dstH_);
  }
  if (n) upstream_->skipRows(static_cast<uint32_t>(std::min<uint64_t>(n, UINT32_MAX)));
}

uint32_t GResampleRowStage::scaleRow(const unsigned char* source, unsigned char* out) const {
  std::memset(out, 0, maxRowBytes_);
  if (bpp_ == 24) {
    if (reduceX_) {
      uint64_t m = 0;
      for (uint64_t k = 0; k < srcW_ && m < dstW_; ++k)
        if ((k * step_) >> 16 == m) std::memcpy(out + 3 * m++, source + 3 * k, 3);
    } else {
      // An error term: each source pixel lasts until the term has passed
      // the destination width once more.
      uint64_t e = srcW_;
      uint64_t m = 0;
      for (uint64_t k = 0; k < srcW_ && m < dstW_; ++k) {
        bool finished = false;
        while (!finished && m < dstW_) {
          if (e >= dstW_) {
            e -= dstW_;
            finished = true;
          }
          e += srcW_;
          std::memcpy(out + 3 * m++, source + 3 * k, 3);
        }
      }
    }
    return maxRowBytes_;
  }
  if (reduceX_) {
    uint64_t m = 0;
    for (uint64_t k = 0; k < srcW_ && m < dstW_; ++k)
      if ((k * step_) >> 16 == m) putPixel(out, m++, bpp_, pixelAt(source, k, bpp_));
  } else {
    for (uint64_t k = 0; k < srcW_; ++k) {
      const uint64_t from = (k * step_) >> 16;
      const uint64_t to = std::min<uint64_t>(((k + 1) * step_) >> 16, dstW_);
      const uint32_t v = pixelAt(source, k, bpp_);
      for (uint64_t m = from; m < to; ++m) putPixel(out, m, bpp_, v);
    }
  }
  return maxRowBytes_;
}

// ---- dither ------------------------------------------------------------------------

GDitherRowConverter::GDitherRowConverter(const GRect& rectangle, const GDitherMatrix* matrix)
    : GConverterRowStage(rectangle),
      matrix_(matrix),
      matrixWidth_(matrix ? matrix->width() : 0),
      matrixHeight_(matrix ? matrix->height() : 0) {
  std::vector<const GColor*> colours;
  const GRGBColor black(0, 0, 0, 255);
  const GRGBColor white(255, 255, 255, 255);
  colours.push_back(&black);
  colours.push_back(&white);
  palette_.reset(new (std::nothrow) GPaletteTable(colours));
}

GDitherRowConverter::~GDitherRowConverter() = default;

bool GDitherRowConverter::start() {
  if (!upstream_ || !matrix_ || matrixWidth_ == 0 || matrixHeight_ == 0 || !palette_) return false;
  bpp_ = upstream_->bitsPerPixel();
  if (bpp_ != 1 && bpp_ != 4 && bpp_ != 8) return false;
  GRect b;
  upstream_->bounds(b);
  width_ = gRowWidth(b);
  if (width_ == 0) return false;
  inputBytes_ = static_cast<uint32_t>(gRowBytes(bpp_, width_));
  input_ = gMakeRowBuffer(std::max(inputBytes_, upstream_->maxRowBytes()));
  thresholds_ = gMakeRowBuffer(matrixWidth_);
  if (!input_ || !thresholds_) return false;

  // A pixel is looked up with its byte masked to it, in place: the grey of
  // value i sits at i << (bpp × j) for every pixel position j of a byte.
  const uint32_t values = 1u << bpp_;
  const uint32_t perByte = 8 / bpp_;
  const GPaletteTable* colours = upstream_->palette();
  std::memset(grey_, 0, sizeof grey_);
  for (uint32_t i = 0; i < values; ++i) {
    uint8_t g;
    if (colours) {
      if (i >= colours->entries()) break;
      GRGBColor rgb;
      const GColor* c = colours->colorAt(i);
      if (c) c->toRGB(rgb);
      g = GColor::luminance(rgb.red(), rgb.green(), rgb.blue());
    } else {
      // Without colours a pixel's value is its grey on its own scale, the
      // same wherever it sits in its byte.
      g = static_cast<uint8_t>(i * 255 / (values - 1));
    }
    for (uint32_t j = 0; j < perByte; ++j) grey_[(i << (bpp_ * j)) & 0xFF] = g;
  }
  maxRowBytes_ = (width_ + 7) / 8;
  columnPhase_ = static_cast<uint32_t>(positiveRemainder(b.left(), matrixWidth_));
  rowPhase_ = static_cast<uint32_t>(positiveRemainder(b.top(), matrixHeight_));
  pending_ = 0;
  return GRowStage::start();
}

int16_t GDitherRowConverter::processRow(unsigned char* buffer, uint32_t& rowIndex, uint32_t& length,
                                        uint8_t& repeat, uint8_t& covered) {
  if (!started_) {
    length = 0;
    return 0;
  }
  if (pending_) {
    --pending_;
    rowIndex = ++nextIndex_;
  } else {
    const int16_t status = pull(upstream_, input_.get(), inputBytes_, rowIndex, inputLength_, repeat, covered);
    if (status != 0 || inputLength_ == 0) {
      length = 0;
      return status;
    }
    pending_ = repeat > 1 ? repeat - 1u : 0;
    nextIndex_ = rowIndex;
  }
  repeat = 1;
  covered = 1;

  const uint8_t matrixRow = static_cast<uint8_t>((uint64_t{rowPhase_} + rowIndex) % matrixHeight_);
  (void)matrix_->tiledRow(thresholds_.get(), matrixWidth_, static_cast<uint8_t>(columnPhase_), matrixRow);
  std::memset(buffer, 0, maxRowBytes_);
  const unsigned char* in = input_.get();
  const uint32_t mask = (1u << bpp_) - 1;
  uint32_t column = 0;
  for (uint64_t i = 0; i < width_; ++i) {
    uint32_t byteValue;
    if (bpp_ == 8)
      byteValue = in[i];
    else {
      const uint32_t shift = static_cast<uint32_t>(8 - bpp_ - (i * bpp_) % 8);
      byteValue = in[(i * bpp_) >> 3] & (mask << shift);
    }
    if (grey_[byteValue] >= thresholds_[column]) buffer[i >> 3] |= static_cast<unsigned char>(0x80 >> (i & 7));
    if (++column == matrixWidth_) column = 0;
  }
  length = maxRowBytes_;
  return 0;
}

// ---- band reader -------------------------------------------------------------------

bool GBandReader::start() {
  if (!upstream_ || !clip_ || clip_->region() != 0) return false;
  GRect box;
  if (clip_->bounds(box) == 0) return false;
  box.normalize();
  GRect in;
  upstream_->bounds(in);
  if (gRowWidth(in) == 0 || gRowHeight(in) == 0) return false;
  const GRect cut = in.intersection(box);
  if (gRowWidth(cut) == 0 || gRowHeight(cut) == 0 || cut == in) return false;
  bounds_ = cut;
  rowsToSkip_ = static_cast<uint32_t>(cut.top() - in.top());
  pixelOffset_ = static_cast<uint32_t>(cut.left() - in.left());
  bpp_ = upstream_->bitsPerPixel();
  bitShift_ = static_cast<uint32_t>((uint64_t{pixelOffset_} * bpp_) % 8);
  const uint32_t width = gRowWidth(cut);
  rowBytes_ = static_cast<uint32_t>(gRowBytes(bpp_, width));
  const uint32_t tail = static_cast<uint32_t>((uint64_t{bpp_} * width) % 8);
  edgeMask_ = tail ? static_cast<uint8_t>(0xFF << (8 - tail)) : 0;
  height_ = gRowHeight(cut);
  // The upstream's row and the byte past it, which the shift reads.
  const uint64_t inBytes = std::max<uint64_t>(upstream_->maxRowBytes(), gRowBytes(bpp_, gRowWidth(in)));
  if (inBytes + 1 > UINT32_MAX) return false;
  maxRowBytes_ = static_cast<uint32_t>(inBytes + 1);
  skipDone_ = false;
  return GRowStage::start();
}

int16_t GBandReader::processRow(unsigned char* buffer, uint32_t& rowIndex, uint32_t& length, uint8_t& repeat,
                                uint8_t& covered) {
  if (!started_) {
    length = 0;
    return 0;
  }
  if (!skipDone_) {
    if (rowsToSkip_) upstream_->skipRows(rowsToSkip_);
    skipDone_ = true;
  }
  const uint32_t inBytes = maxRowBytes_ - 1;
  const int16_t status = pull(upstream_, buffer, inBytes, rowIndex, length, repeat, covered);
  if (status != 0) {
    length = 0;
    return status;
  }
  rowIndex -= rowsToSkip_;
  if (rowIndex >= height_) {
    // Rows below the clip: nothing of them is kept.
    length = 0;
    repeat = 1;
    return 0;
  }
  if (uint64_t{rowIndex} + repeat > height_) repeat = static_cast<uint8_t>(height_ - rowIndex);
  if (length == 0) return 0;
  buffer[inBytes] = 0;
  if (pixelOffset_) {
    const uint64_t byteOffset = (uint64_t{pixelOffset_} * bpp_) / 8;
    // Bytes byteOffset … inBytes (the zero past the row included).
    std::memmove(buffer, buffer + byteOffset, inBytes + 1 - byteOffset);
    if (bitShift_) {
      for (uint32_t i = 0; i < rowBytes_; ++i)
        buffer[i] = static_cast<unsigned char>(((uint32_t{buffer[i]} << 8 | buffer[i + 1]) >> (8 - bitShift_)) & 0xFF);
    }
  }
  if (edgeMask_) buffer[rowBytes_ - 1] &= edgeMask_;
  length = rowBytes_;
  return 0;
}

// ---- bitmap reader -----------------------------------------------------------------

GBitmapRowReader::GBitmapRowReader(uint32_t kind, const GRect& source, const GBitmap& bitmap)
    : bitmap_(bitmap), source_(source), kind_(kind), currentRow_(source.top()) {
  const uint32_t depth = bitmap_.bitsPerPixel();
  const bool greyKind = kind == 0 || kind == 1 || kind == 4;
  grey_ = greyKind && depth == 24;
  depth_ = static_cast<uint8_t>(grey_ ? 8 : std::min<uint32_t>(depth, 255));
  invertBytes_ = kind == 4 || (kind == 1 && depth == 24);
  if (const GBitmapImp* body = bitmap_.body()) {
    maxRowBytes_ = std::max(body->rowBytesFor(source.left(), source.right()),
                            body->rowLength(source.left(), source.right(), kind));
  }
  if (kind == 1 && !grey_ && bitmap_.palette()) {
    const GPaletteTable* colours = bitmap_.palette();
    std::unique_ptr<GPaletteTable> inverted(new (std::nothrow) GPaletteTable(std::vector<const GColor*>()));
    if (inverted) {
      for (RWsize i = 0; i < colours->entries(); ++i) {
        GRGBColor rgb;
        if (const GColor* c = colours->colorAt(i)) c->toRGB(rgb);
        inverted->append(new (std::nothrow)
                             GRGBColor(static_cast<uint8_t>(255 - rgb.red()), static_cast<uint8_t>(255 - rgb.green()),
                                       static_cast<uint8_t>(255 - rgb.blue()), 255));
      }
      invertedPalette_ = std::move(inverted);
    }
  }
}

GBitmapRowReader::~GBitmapRowReader() = default;

const GPaletteTable* GBitmapRowReader::palette() const {
  if (grey_) return nullptr;
  if (invertedPalette_) return invertedPalette_.get();
  return bitmap_.palette();
}

int16_t GBitmapRowReader::processRow(unsigned char* buffer, uint32_t& rowIndex, uint32_t& length, uint8_t& repeat,
                                     uint8_t& covered) {
  repeat = 1;
  covered = 1;
  rowIndex = rowsProduced_++;
  if (currentRow_ >= source_.bottom() || maxRowBytes_ == 0) {
    length = 0;
    return 0;
  }
  length = bitmap_.getRow(buffer, source_.left(), source_.right(), currentRow_, kind_);
  ++currentRow_;
  if (invertBytes_)
    for (uint32_t i = 0; i < length; ++i) buffer[i] = static_cast<unsigned char>(~buffer[i]);
  return 0;
}

void GBitmapRowReader::skipRows(uint32_t count) {
  rowsProduced_ += count;
  currentRow_ = static_cast<int32_t>(std::min<int64_t>(int64_t{currentRow_} + count, source_.bottom()));
}

// ---- pipeline ----------------------------------------------------------------------

GRasterPipeline::~GRasterPipeline() {
  // Last first, so that no stage outlives what it reads.
  while (!chain_.empty()) chain_.pop_back();
}

bool GRasterPipeline::append(std::unique_ptr<GRowStage> stage) {
  if (!stage) return false;
  if (!chain_.empty()) {
    stage->setUpstream(chain_.back().get());
    if (!stage->start()) return false;  // left out; the chain goes on without it
  }
  chain_.push_back(std::move(stage));
  upstream_ = chain_.back().get();
  return true;
}

GRasterPipeline::GRasterPipeline(std::unique_ptr<GRowStage> first, std::unique_ptr<GRowStage> second,
                                 std::unique_ptr<GRowStage> third, std::unique_ptr<GRowStage> fourth,
                                 std::unique_ptr<GRowStage> fifth, std::unique_ptr<GRowStage> last) {
  if (!first) return;
  const bool wantLast = last != nullptr;
  (void)append(std::move(first));  // the first stage is kept as it is
  // A stage left out is reported through the chain it leaves, not here.
  (void)append(std::move(second));
  (void)append(std::move(third));
  (void)append(std::move(fourth));
  (void)append(std::move(fifth));
  lastStageKept_ = wantLast && append(std::move(last));
  started_ = 1;
}

GRasterPipeline::GRasterPipeline(GRasterJob job) {
  const GRect& source = job.source;
  if (!job.destination || job.bitmap.isNull()) return;
  GRect& destination = *job.destination;
  const uint64_t srcW = gRowWidth(source), srcH = gRowHeight(source);
  const uint64_t dstW = gRowWidth(destination), dstH = gRowHeight(destination);
  // Nothing to read or nowhere to put it: no chain, and no rows.
  if (!srcW || !srcH || !dstW || !dstH || job.mode > 2) return;

  const bool greyKind = job.kind == 0 || job.kind == 1 || job.kind == 4;
  uint32_t depth = job.bitmap.bitsPerPixel();
  if (greyKind) depth = std::min<uint32_t>(depth, 8);
  if (depth != 1 && depth != 4 && depth != 8 && depth != 24) return;

  // Only a clip that keeps its inside narrows the destination.
  GRect clipped = destination;
  GRect box;
  const bool clipping = job.clip && job.clip->region() == 0 && job.clip->bounds(box) != 0;
  if (clipping) {
    box.normalize();
    clipped = destination.intersection(box);
    if (gRowWidth(clipped) == 0 || gRowHeight(clipped) == 0) return;  // clipped away whole
  }
  const uint64_t destArea = uint64_t{gRowWidth(clipped)} * gRowHeight(clipped);
  const uint64_t srcArea = srcW * srcH;
  const bool sameSize = srcW == dstW && srcH == dstH;

  std::unique_ptr<GRowStage> reader(new (std::nothrow) GBitmapRowReader(job.kind, source, job.bitmap));
  if (!reader) return;
  (void)append(std::move(reader));

  bool further = false;
  bool dither = false;
  if (job.mode == 0)
    further = destArea < srcArea || job.forceResample == 1;
  else if (job.mode == 1)
    further = dither = true;
  else
    further = dither = destArea < srcArea * depth;

  if (further) {
    std::unique_ptr<GRowStage> scale;
    if (job.mode == 0 ? (!sameSize || job.clip) : !sameSize)
      scale.reset(new (std::nothrow) GResampleRowStage(destination));
    else
      scale.reset(new (std::nothrow) GPassThroughRowStage(destination));
    (void)append(std::move(scale));  // without it the rows come unscaled
    if (job.clip) {
      std::unique_ptr<GRowStage> band(new (std::nothrow) GBandReader(job.clip));
      // The destination narrows only when the rows are cut to it.
      if (append(std::move(band))) destination = clipped;
    }
    if (dither) {
      GRect at;
      upstream_->bounds(at);
      (void)append(std::unique_ptr<GRowStage>(new (std::nothrow) GDitherRowConverter(at, job.dither)));
    }
  }
  lastStageKept_ = job.lastStage && append(std::move(job.lastStage));
  started_ = 1;
}

int16_t GRasterPipeline::processRow(unsigned char* buffer, uint32_t& rowIndex, uint32_t& length, uint8_t& repeat,
                                    uint8_t& covered) {
  if (!upstream_) {
    length = 0;
    repeat = 1;
    covered = 1;
    return 0;
  }
  return upstream_->processRow(buffer, rowIndex, length, repeat, covered);
}

void GRasterPipeline::skipRows(uint32_t count) {
  if (upstream_) upstream_->skipRows(count);
}

std::vector<const GRowStage*> GRasterPipeline::stages() const {
  std::vector<const GRowStage*> out;
  for (const auto& s : chain_) out.push_back(s.get());
  return out;
}
