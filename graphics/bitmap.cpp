#include "graphics/bitmap.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <unordered_map>
#include <vector>

#include "core/perclass.h"
#include "graphics/color.h"

namespace {

bool supportedDepth(uint32_t bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32; }

// Pixels of a span (0 for an inverted one).
uint32_t spanWidth(int32_t left, int32_t right) {
  return right > left ? static_cast<uint32_t>(int64_t{right} - left) : 0;
}

uint32_t clampTo32(uint64_t v) { return v > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(v); }

GBitmapChannel channelOf(uint32_t mask) {
  GBitmapChannel c;
  c.mask = mask;
  c.count = static_cast<uint8_t>(std::popcount(mask));
  c.shift = mask ? static_cast<uint8_t>(std::countr_zero(mask)) : 0;
  return c;
}

// One channel of a packed pixel scaled to 8 bits, in 64 bits so that no
// mask width overflows it.
uint8_t scaleChannel(uint32_t pixel, const GBitmapChannel& c) {
  if (c.count == 0 || c.shift >= 32) return 0;
  const uint64_t v = (static_cast<uint64_t>(pixel) & c.mask) >> c.shift;
  const uint32_t bits = std::min<uint32_t>(c.count, 63);
  const uint64_t top = (uint64_t{1} << bits) - 1;
  uint64_t scaled;
  if (bits == 8)
    scaled = v;
  else if (bits > 8)
    scaled = v / (top / 255);
  else
    scaled = v * (255 / top);
  return static_cast<uint8_t>(std::min<uint64_t>(scaled, 255));
}

void setNibble(unsigned char* buffer, uint32_t index, unsigned value) {
  unsigned char& b = buffer[index / 2];
  if (index % 2 == 0)
    b = static_cast<unsigned char>((b & 0x0F) | ((value & 0x0F) << 4));
  else
    b = static_cast<unsigned char>((b & 0xF0) | (value & 0x0F));
}

unsigned nibbleAt(const unsigned char* row, uint32_t index) {
  return index % 2 == 0 ? row[index / 2] >> 4 : row[index / 2] & 0x0F;
}

unsigned bitAt(const unsigned char* row, uint32_t index) { return (row[index / 8] >> (7 - index % 8)) & 1; }

// A single byte field: the virtual streams carry it as one number.
template <class Sink>
void writeByte(Sink& sink, uint8_t v) {
  const unsigned char b = v;
  gWrite(sink, gBytes(&b, 1));
}
template <class Source>
bool readByte(Source& source, uint8_t& v) {
  unsigned char b = 0;
  if (!gRead(source, gBytes(&b, 1))) return false;
  v = b;
  return true;
}

// Reads length bytes in pieces, so that a length the data does not hold
// fails at its end having allocated no more than what was there.
template <class Source>
std::unique_ptr<unsigned char[]> readData(Source& source, uint32_t length) {
  constexpr uint32_t piece = 1u << 16;
  std::vector<unsigned char> read;
  for (uint32_t done = 0; done < length;) {
    const uint32_t n = std::min(piece, length - done);
    read.resize(done + n);
    if (!gRead(source, gBytes(read.data() + done, n))) return nullptr;
    done += n;
  }
  std::unique_ptr<unsigned char[]> data(new (std::nothrow) unsigned char[length]);
  if (data) std::memcpy(data.get(), read.data(), length);
  return data;
}

}  // namespace

// ---- GBitmapImp -----------------------------------------------------------------------

G_DEFINE_PERSISTENT(GBitmapImp, MPersistentObject)

GBitmapImp::GBitmapImp() = default;

GBitmapImp::GBitmapImp(const GBitmapDescriptor& d)
    : bounds_(d.bounds),
      bitsPerPixel_(static_cast<uint8_t>(d.bitsPerPixel)),
      planes_(static_cast<uint8_t>(d.planes)),
      compression_(d.compression),
      colourOrder_(d.colourOrder),
      bottomUp_(d.bottomUp),
      alignment_(static_cast<uint8_t>(d.alignment)),
      palette_(d.palette),
      rowsPerSegment_(static_cast<int16_t>(d.rowsPerSegment)),
      reserved_(d.reserved),
      segmentStep_(static_cast<int16_t>(d.segmentStep)),
      masksGiven_(d.masksGiven) {
  channels_[0].mask = d.redMask;
  channels_[1].mask = d.greenMask;
  channels_[2].mask = d.blueMask;
  computeLayout();
  if (d.data) {
    if (d.owned)
      holdOwned(std::unique_ptr<unsigned char[]>(const_cast<unsigned char*>(d.data)), d.dataLength);
    else {
      data_ = d.data;
      dataLength_ = d.dataLength;
    }
  }
  if (compression_ == kRunLength4 || compression_ == kRunLength8) expandRunLength(data_, dataLength_);
}

GBitmapImp::GBitmapImp(const GBitmapImp& other) : MPersistentObject(other) { *this = other; }

GBitmapImp& GBitmapImp::operator=(const GBitmapImp& other) {
  if (this == &other) return *this;
  MPersistentObject::operator=(other);
  freeData();
  if (other.dataLength_) {
    std::unique_ptr<unsigned char[]> copy(new (std::nothrow) unsigned char[other.dataLength_]);
    if (copy) {
      std::memcpy(copy.get(), other.data_, other.dataLength_);
      holdOwned(std::move(copy), other.dataLength_);
    } else {
      ok_ = false;
    }
  }
  bounds_ = other.bounds_;
  bitsPerPixel_ = other.bitsPerPixel_;
  planes_ = other.planes_;
  compression_ = other.compression_;
  colourOrder_ = other.colourOrder_;
  bottomUp_ = other.bottomUp_;
  alignment_ = other.alignment_;
  palette_.reset(other.palette_ ? other.palette_->copy() : nullptr);
  rowsPerSegment_ = other.rowsPerSegment_;
  reserved_ = other.reserved_;
  segmentStep_ = other.segmentStep_;
  memorySize_ = other.memorySize_;
  memorySizeValid_ = other.memorySizeValid_;
  rowBytes_ = other.rowBytes_;
  stride_ = other.stride_;
  masksGiven_ = other.masksGiven_;
  std::copy(std::begin(other.channels_), std::end(other.channels_), channels_);
  return *this;
}

GBitmapImp::~GBitmapImp() = default;

RWBoolean GBitmapImp::isKindOf(RWClassID id) const { return id == classIsA() || MPersistentObject::isKindOf(id); }

void GBitmapImp::freeData() {
  ownedData_.reset();
  data_ = nullptr;
  dataLength_ = 0;
}

void GBitmapImp::holdOwned(std::unique_ptr<unsigned char[]> buffer, uint32_t length) {
  ownedData_ = std::move(buffer);
  data_ = ownedData_.get();
  dataLength_ = data_ ? length : 0;
}

void GBitmapImp::computeLayout() {
  const uint32_t width = spanWidth(bounds_.left(), bounds_.right());
  rowBytes_ = clampTo32((uint64_t{bitsPerPixel_} * width + 7) / 8);
  const uint32_t align = alignment_ ? alignment_ : 1;
  stride_ = clampTo32((uint64_t{rowBytes_} + align - 1) / align * align);
  if (bitsPerPixel_ == 16 || bitsPerPixel_ == 32) {
    if (!masksGiven_) {
      if (bitsPerPixel_ == 16) {
        channels_[0].mask = 0x7C00;
        channels_[1].mask = 0x03E0;
        channels_[2].mask = 0x001F;
      } else {
        channels_[0].mask = 0xFF0000;
        channels_[1].mask = 0x00FF00;
        channels_[2].mask = 0x0000FF;
      }
    }
    for (GBitmapChannel& c : channels_) c = channelOf(c.mask);
  } else {
    for (GBitmapChannel& c : channels_) c.count = c.shift = 0;
  }
}

// Device-independent run-length layouts: a count and a value (two
// alternating nibbles, high first, for four bits), or after a zero count an
// escape: 0 end of line, 1 end of bitmap, 2 a move by (columns, rows), n ≥ 3
// a literal run of n pixels padded to 16 bits. The counts, moves and
// literals are the data's own: every write is clipped to its row.
void GBitmapImp::expandRunLength(const unsigned char* source, uint32_t length) {
  const bool four = compression_ == kRunLength4;
  const uint32_t width = spanWidth(bounds_.left(), bounds_.right());
  const uint32_t height = spanWidth(bounds_.top(), bounds_.bottom());
  const uint64_t size = uint64_t{stride_} * height;
  std::unique_ptr<unsigned char[]> out(size <= UINT32_MAX ? new (std::nothrow) unsigned char[size]() : nullptr);
  if (!out) {
    ok_ = false;
    return;
  }
  uint32_t x = 0;
  uint32_t y = 0;
  auto put = [&](unsigned value) {
    if (x < width && y < height) {
      const uint32_t at = four ? x / 2 : x;
      if (at < stride_) {
        unsigned char* row = out.get() + uint64_t{y} * stride_;
        if (four)
          setNibble(row, x, value);
        else
          row[at] = static_cast<unsigned char>(value);
      }
    }
    if (x < width) ++x;
  };
  uint32_t i = 0;
  while (source && y < height && length - i >= 2) {
    const unsigned count = source[i++];
    const unsigned value = source[i++];
    if (count > 0) {
      for (unsigned k = 0; k < count && x < width; ++k) put(four ? (k % 2 == 0 ? value >> 4 : value & 0x0F) : value);
      continue;
    }
    if (value == 0) {
      x = 0;
      ++y;
    } else if (value == 1) {
      break;
    } else if (value == 2) {
      if (length - i < 2) break;
      x = std::min(width, x + source[i]);
      y = std::min(height, y + source[i + 1]);
      i += 2;
    } else {
      const uint32_t bytes = four ? (value + 1) / 2 : value;
      const uint32_t there = std::min(bytes, length - i);
      for (unsigned k = 0; k < value; ++k) {
        const uint32_t at = four ? k / 2 : k;
        if (at >= there) break;
        const unsigned b = source[i + at];
        put(four ? (k % 2 == 0 ? b >> 4 : b & 0x0F) : b);
      }
      // Past the literal and its padding to a 16-bit boundary.
      const uint32_t skip = bytes + (bytes % 2);
      i = length - i < skip ? length : i + skip;
    }
  }
  freeData();
  holdOwned(std::move(out), static_cast<uint32_t>(size));
  compression_ = kNoCompression;
}

uint32_t GBitmapImp::effectiveBitsPerPixel() const {
  if (bitsPerPixel_ == 1 && planes_ == 3) return 4;
  if (bitsPerPixel_ == 16 || bitsPerPixel_ == 32) return 24;
  return uint32_t{bitsPerPixel_} * planes_;
}

uint32_t GBitmapImp::rowBytesFor(int32_t left, int32_t right) const {
  const auto span = static_cast<int16_t>(int64_t{right} - left);
  if (span <= 0) return 0;
  return (effectiveBitsPerPixel() * static_cast<uint32_t>(span) + 7) / 8;
}

void GBitmapImp::setPalette(GPaletteTable* p) {
  if (p != palette_.get()) palette_.reset(p);
}

const unsigned char* GBitmapImp::makeDataOwned() {
  if (ownedData_ || !data_) return nullptr;
  std::unique_ptr<unsigned char[]> copy(new (std::nothrow) unsigned char[dataLength_]);
  if (!copy) return nullptr;
  std::memcpy(copy.get(), data_, dataLength_);
  holdOwned(std::move(copy), dataLength_);
  return data_;
}

uint32_t GBitmapImp::memorySize() {
  if (!memorySizeValid_) {
    memorySize_ = isCompressed() ? clampTo32(uint64_t{dataLength_} * 2) : dataLength_;
    memorySizeValid_ = 1;
  }
  return memorySize_;
}

void GBitmapImp::decodePixel(uint32_t pixel, uint8_t& c1, uint8_t& c2, uint8_t& c3) const {
  c1 = scaleChannel(pixel, channels_[0]);
  c2 = scaleChannel(pixel, channels_[1]);
  c3 = scaleChannel(pixel, channels_[2]);
}

namespace {

bool greyKind(uint32_t kind) { return kind == 0 || kind == 1 || kind == 4; }

}  // namespace

uint32_t GBitmapImp::rowLength(int32_t left, int32_t right, uint32_t kind) const {
  const uint32_t width = spanWidth(left, right);
  const uint32_t bits = effectiveBitsPerPixel();
  if (bits == 24 && greyKind(kind)) return width;
  return clampTo32((uint64_t{bits} * width + 7) / 8);
}

int64_t GBitmapImp::rowOffset(int32_t row) const {
  if (row < bounds_.top() || row >= bounds_.bottom()) return -1;
  const int64_t r = bottomUp_ ? int64_t{bounds_.bottom()} - 1 - row : int64_t{row} - bounds_.top();
  if (isSegmented()) {
    if (segmentStep_ < 0) return -1;
    const int64_t within = int64_t{planes_} * (r % rowsPerSegment_) * stride_ % 65536;
    return int64_t{segmentStep_} * (r / rowsPerSegment_) * 65536 + within;
  }
  return r * planes_ * stride_;
}

uint32_t GBitmapImp::getRow(unsigned char* buffer, int32_t left, int32_t right, int32_t row, uint32_t kind) const {
  const uint32_t length = rowLength(left, right, kind);
  if (length == 0) return 0;
  std::memset(buffer, 0, length);
  if (!data_ || isCompressed() || left < bounds_.left() || right > bounds_.right()) return length;
  const int64_t offset = rowOffset(row);
  if (offset < 0) return length;

  const uint32_t bits = bitsPerPixel_;
  const uint32_t n = static_cast<uint32_t>(right - left);
  const uint32_t first = static_cast<uint32_t>(left - bounds_.left());  // pixel index in the row
  const bool planar = planes_ == 3;
  if (!supportedDepth(bits) || (planes_ != 1 && !(planar && (bits == 1 || bits == 8)))) return length;
  // Every plane of the row must hold the span's bytes.
  const uint64_t lastByte = (uint64_t{first + n} * bits - 1) / 8;
  const unsigned char* plane[3] = {};
  for (uint32_t p = 0; p < planes_; ++p) {
    const uint64_t start = static_cast<uint64_t>(offset) + uint64_t{p} * stride_;
    if (start + lastByte >= dataLength_) return length;
    plane[p] = data_ + start;
  }
  const unsigned char* src = plane[0];
  const bool redFirst = colourOrder_ == 1;
  const bool swap = redFirst != (kind == 3);

  // A pixel of the 24-bit forms, as red, green and blue.
  auto emit = [&](uint32_t k, uint8_t red, uint8_t green, uint8_t blue) {
    if (greyKind(kind)) {
      buffer[k] = GColor::luminance(red, green, blue);
    } else if (kind == 3) {
      buffer[3 * k] = red, buffer[3 * k + 1] = green, buffer[3 * k + 2] = blue;
    } else {
      buffer[3 * k] = blue, buffer[3 * k + 1] = green, buffer[3 * k + 2] = red;
    }
  };

  switch (bits) {
    case 1:
      if (!planar) {
        const uint32_t shift = first % 8;
        const uint32_t from = first / 8;
        for (uint32_t i = 0; i < length; ++i) {
          unsigned v = src[from + i] << shift;
          if (shift && from + i + 1 <= lastByte) v |= src[from + i + 1] >> (8 - shift);
          buffer[i] = static_cast<unsigned char>(v);
        }
        // Bits after the span are no pixels of it.
        if (n % 8) buffer[length - 1] &= static_cast<unsigned char>(0xFF << (8 - n % 8));
      } else {
        std::memset(buffer, 0x77, length);
        const unsigned char* a = swap ? plane[2] : plane[0];
        const unsigned char* b = swap ? plane[0] : plane[2];
        for (uint32_t k = 0; k < n; ++k)
          setNibble(buffer, k, 4 * bitAt(a, first + k) + 2 * bitAt(plane[1], first + k) + bitAt(b, first + k));
      }
      break;
    case 4:
      for (uint32_t k = 0; k < n; ++k) setNibble(buffer, k, nibbleAt(src, first + k));
      break;
    case 8:
      if (!planar) {
        std::memcpy(buffer, src + first, n);
      } else {
        for (uint32_t k = 0; k < n; ++k) {
          const uint8_t s0 = plane[0][first + k], s1 = plane[1][first + k], s2 = plane[2][first + k];
          redFirst ? emit(k, s0, s1, s2) : emit(k, s2, s1, s0);
        }
      }
      break;
    case 16:
    case 32:
      for (uint32_t k = 0; k < n; ++k) {
        const unsigned char* p = src + uint64_t{first + k} * (bits / 8);
        uint32_t pixel = p[0] | (uint32_t{p[1]} << 8);
        if (bits == 32) pixel |= (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
        uint8_t red, green, blue;
        decodePixel(pixel, red, green, blue);
        emit(k, red, green, blue);
      }
      break;
    case 24:
      for (uint32_t k = 0; k < n; ++k) {
        const unsigned char* p = src + uint64_t{first + k} * 3;
        redFirst ? emit(k, p[0], p[1], p[2]) : emit(k, p[2], p[1], p[0]);
      }
      break;
  }
  return length;
}

RWBoolean GBitmapImp::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  const auto* o = dynamic_cast<const GBitmapImp*>(other);
  if (!o || o->isA() != isA()) return FALSE;
  for (int c = 0; c < 3; ++c) {
    if (channels_[c].mask != o->channels_[c].mask || channels_[c].count != o->channels_[c].count ||
        channels_[c].shift != o->channels_[c].shift)
      return FALSE;
  }
  if (!(bounds_ == o->bounds_) || bitsPerPixel_ != o->bitsPerPixel_ || planes_ != o->planes_ ||
      compression_ != o->compression_ || colourOrder_ != o->colourOrder_ || bottomUp_ != o->bottomUp_ ||
      alignment_ != o->alignment_ || rowsPerSegment_ != o->rowsPerSegment_ || reserved_ != o->reserved_ ||
      segmentStep_ != o->segmentStep_ || rowBytes_ != o->rowBytes_ || stride_ != o->stride_ ||
      masksGiven_ != o->masksGiven_ || dataLength_ != o->dataLength_)
    return FALSE;
  if (!palette_ != !o->palette_) return FALSE;
  if (palette_ && !palette_->matches(o->palette_.get())) return FALSE;
  return dataLength_ == 0 || data_ == o->data_ || std::memcmp(data_, o->data_, dataLength_) == 0;
}

RWspace GBitmapImp::levelStoreSize() const {
  const RWCollectable* p = palette_ ? static_cast<const RWCollectable*>(palette_.get()) : rwNilCollectable();
  return 81 + p->recursiveStoreSize() + dataLength_;
}

template <class Sink>
void GBitmapImp::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, int32_t{ownedData_ ? 1 : 0});
  gWrite(sink, dataLength_);
  gWrite(sink, bounds_.left());
  gWrite(sink, bounds_.top());
  gWrite(sink, bounds_.right());
  gWrite(sink, bounds_.bottom());
  writeByte(sink, bitsPerPixel_);
  writeByte(sink, planes_);
  gWrite(sink, static_cast<int32_t>(colourOrder_));
  gWrite(sink, static_cast<int32_t>(compression_));
  gWrite(sink, static_cast<int32_t>(bottomUp_));
  writeByte(sink, alignment_);
  gWrite(sink, rowsPerSegment_);
  gWrite(sink, reserved_);
  gWrite(sink, static_cast<uint16_t>(segmentStep_));
  gWrite(sink, memorySize_);
  gWrite(sink, static_cast<int32_t>(memorySizeValid_));
  gWrite(sink, stride_);
  gWrite(sink, rowBytes_);
  gWrite(sink, static_cast<int32_t>(masksGiven_));
  for (const GBitmapChannel& c : channels_) {
    gWrite(sink, c.mask);
    writeByte(sink, c.shift);
    writeByte(sink, c.count);
  }
  sink << static_cast<const RWCollectable*>(palette_.get());
  if (dataLength_) gWrite(sink, gBytes(data_, dataLength_));
}

template <class Source>
void GBitmapImp::restoreLevel(Source& source) {
  restoredWhole_ = false;
  if (!gReadVersion(source, version())) return;
  // Every field is read into a local first and taken over only when the
  // whole level was read and holds together.
  int32_t owned = 0, colourOrder = 0, compression = 0, bottomUp = 0, memorySizeValid = 0, masksGiven = 0;
  int16_t left = 0, top = 0, right = 0, bottom = 0, rowsPerSegment = 0;
  uint16_t segmentStep = 0;
  uint32_t dataLength = 0, reserved = 0, memorySize = 0, stride = 0, rowBytes = 0;
  uint8_t bitsPerPixel = 0, planes = 0, alignment = 0;
  GBitmapChannel channels[3];
  bool whole = gRead(source, owned) && gRead(source, dataLength) && gRead(source, left) && gRead(source, top) &&
               gRead(source, right) && gRead(source, bottom) && readByte(source, bitsPerPixel) &&
               readByte(source, planes) && gRead(source, colourOrder) && gRead(source, compression) &&
               gRead(source, bottomUp) && readByte(source, alignment) && gRead(source, rowsPerSegment) &&
               gRead(source, reserved) && gRead(source, segmentStep) && gRead(source, memorySize) &&
               gRead(source, memorySizeValid) && gRead(source, stride) && gRead(source, rowBytes) &&
               gRead(source, masksGiven);
  for (GBitmapChannel& c : channels)
    whole = whole && gRead(source, c.mask) && readByte(source, c.shift) && readByte(source, c.count);
  if (!whole) return;
  // The rows must be what the description says before any pixel is read.
  const uint32_t computed = clampTo32((uint64_t{bitsPerPixel} * spanWidth(left, right) + 7) / 8);
  if (!supportedDepth(bitsPerPixel) || (planes != 1 && planes != 3) || rowBytes != computed || stride < computed)
    return;

  const Restored r = restoreObject(source, nullptr);
  if (r.failed) return;
  if (!gReadable(source)) {
    if (r.object && r.fresh) discardRestored(r.object);
    return;
  }
  std::unique_ptr<GPaletteTable> palette;
  if (auto* p = dynamic_cast<GPaletteTable*>(r.object)) {
    // One read earlier is its reader's: the body owns a copy.
    palette.reset(r.fresh ? p : p->copy());
  } else if (r.object && r.fresh) {
    discardRestored(r.object);
  }
  std::unique_ptr<unsigned char[]> data;
  if (dataLength) {
    // Cut short here the stream is spent: nothing can refer to the palette
    // dropped with the level.
    data = readData(source, dataLength);
    if (!data) return;
  }
  (void)owned;  // a restored body owns what it read, whatever its writer did

  freeData();
  holdOwned(std::move(data), dataLength);
  bounds_ = GRect(left, top, right, bottom);
  bitsPerPixel_ = bitsPerPixel;
  planes_ = planes;
  compression_ = static_cast<uint32_t>(compression);
  colourOrder_ = static_cast<uint32_t>(colourOrder);
  bottomUp_ = static_cast<uint32_t>(bottomUp);
  alignment_ = alignment;
  palette_ = std::move(palette);
  rowsPerSegment_ = rowsPerSegment;
  reserved_ = reserved;
  segmentStep_ = static_cast<int16_t>(segmentStep);
  memorySize_ = memorySize;
  memorySizeValid_ = static_cast<uint32_t>(memorySizeValid);
  rowBytes_ = rowBytes;
  stride_ = stride;
  masksGiven_ = static_cast<uint32_t>(masksGiven);
  std::copy(std::begin(channels), std::end(channels), channels_);
  restoredWhole_ = true;
}

// ---- GBitmap --------------------------------------------------------------------------

G_DEFINE_PERSISTENT(GBitmap, MPersistentObject)

GBitmap::GBitmap() = default;

GBitmap::GBitmap(const GBitmapDescriptor& descriptor) {
  GBitmapImp* body = new (std::nothrow) GBitmapImp(descriptor);
  if (!body) {
    // What the descriptor handed over is freed as the body would have.
    if (descriptor.owned) delete[] descriptor.data;
    delete descriptor.palette;
  } else if (!body->ok()) {
    delete body;
    body = nullptr;
  }
  adopt(body);
}

GBitmap::GBitmap(const GBitmap& other) : MPersistentObject(other), body_(other.body_) {
  if (body_) body_->addUse();
}

GBitmap& GBitmap::operator=(const GBitmap& other) {
  if (this == &other) return *this;
  MPersistentObject::operator=(other);
  if (other.body_ != body_) {
    if (other.body_) other.body_->addUse();
    release();
    body_ = other.body_;
  }
  return *this;
}

GBitmap::~GBitmap() { release(); }

RWBoolean GBitmap::isKindOf(RWClassID id) const { return id == classIsA() || MPersistentObject::isKindOf(id); }

RWBoolean GBitmap::matches(const MPersistentObject* other) const {
  const auto* o = dynamic_cast<const GBitmap*>(other);
  if (!o || o->isA() != isA()) return FALSE;
  if (body_ == o->body_) return TRUE;
  return body_ && o->body_ && body_->matches(o->body_);
}

void GBitmap::adopt(GBitmapImp* body) {
  release();
  body_ = body;
  if (body_) body_->handleHeld_ = true;
}

void GBitmap::release() {
  if (body_ && body_->dropUse()) delete body_;
  body_ = nullptr;
}

GRect GBitmap::bounds() const { return body_ ? body_->bounds() : GRect(); }
uint32_t GBitmap::dataSize() const { return body_ ? body_->dataSize() : 0; }
uint32_t GBitmap::bitsPerPixel() const { return body_ ? body_->effectiveBitsPerPixel() : 0; }
uint32_t GBitmap::rowBytesFor(int32_t left, int32_t right) const { return body_ ? body_->rowBytesFor(left, right) : 0; }
uint32_t GBitmap::compression() const { return body_ ? body_->compression() : 0; }
bool GBitmap::isCompressed() const { return body_ && body_->isCompressed(); }
GPaletteTable* GBitmap::palette() const { return body_ ? body_->palette() : nullptr; }
void GBitmap::setPalette(GPaletteTable* p) {
  if (body_)
    body_->setPalette(p);
  else
    delete p;  // given to a bitmap that has nowhere to keep it
}
const unsigned char* GBitmap::data() const { return body_ ? body_->data() : nullptr; }
uint8_t GBitmap::alignment() const { return body_ ? body_->alignment() : 0; }
uint32_t GBitmap::redMask() const { return body_ ? body_->red().mask : 0; }
uint32_t GBitmap::greenMask() const { return body_ ? body_->green().mask : 0; }
uint32_t GBitmap::blueMask() const { return body_ ? body_->blue().mask : 0; }
bool GBitmap::masksGiven() const { return body_ && body_->masksGiven(); }
uint32_t GBitmap::memorySize() { return body_ ? body_->memorySize() : 0; }
int16_t GBitmap::rowsPerSegment() const { return body_ ? body_->rowsPerSegment() : 0; }
int16_t GBitmap::segmentStep() const { return body_ ? body_->segmentStep() : 0; }
bool GBitmap::isSegmented() const { return body_ && body_->isSegmented(); }
bool GBitmap::isBottomUp() const { return body_ && body_->isBottomUp(); }
uint32_t GBitmap::reserved() const { return body_ ? body_->reserved() : 0; }
const unsigned char* GBitmap::makeDataOwned() { return body_ ? body_->makeDataOwned() : nullptr; }

uint32_t GBitmap::getRow(unsigned char* buffer, int32_t left, int32_t right, int32_t row, uint32_t kind) const {
  if (!body_) return 0;
  return body_->getRow(buffer, left, right, row, kind);
}

namespace {

// An owned top-down bitmap of the given depth over (0, 0, width, height),
// alignment 1, red first; empty when it cannot be had.
GBitmap indexedBitmap(std::unique_ptr<unsigned char[]> data, uint32_t length, uint32_t width, uint32_t height,
                      uint32_t bits, GPaletteTable* palette) {
  GBitmapDescriptor d;
  d.owned = 1;
  d.data = data.release();
  d.dataLength = length;
  d.alignment = 1;
  d.bounds = GRect(0, 0, static_cast<int16_t>(width), static_cast<int16_t>(height));
  d.bitsPerPixel = bits;
  d.planes = 1;
  d.colourOrder = 1;
  d.palette = palette;
  return GBitmap(d);
}

}  // namespace

GBitmap& GBitmap::reduceToPalette(GBitmap& out) const {
  if (!body_) {
    out = GBitmap();
    return out;
  }
  const uint32_t bits = body_->effectiveBitsPerPixel();
  if (bits != 8 && bits != 24) {
    out = *this;
    return out;
  }
  const GRect b = body_->bounds();
  const uint32_t width = spanWidth(b.left(), b.right());
  const uint32_t height = spanWidth(b.top(), b.bottom());
  GBitmap indexed = *this;
  if (bits == 24) {
    const uint64_t size = uint64_t{width} * height;
    std::unique_ptr<unsigned char[]> indices(size <= UINT32_MAX ? new (std::nothrow) unsigned char[size] : nullptr);
    std::unique_ptr<unsigned char[]> row(new (std::nothrow) unsigned char[uint64_t{width} * 3 + 1]);
    if ((size && !indices) || !row) {
      out = GBitmap();
      return out;
    }
    std::vector<GRGBColor> colours;
    std::unordered_map<uint32_t, uint8_t> seen;
    for (uint32_t y = 0; y < height; ++y) {
      body_->getRow(row.get(), b.left(), b.right(), b.top() + static_cast<int32_t>(y), 2);
      for (uint32_t x = 0; x < width; ++x) {
        const unsigned char* p = row.get() + 3 * x;
        const uint32_t key = (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
        uint8_t index = 0;
        if (auto found = seen.find(key); found != seen.end()) {
          index = found->second;
        } else if (colours.size() < 256) {
          index = static_cast<uint8_t>(colours.size());
          seen.emplace(key, index);
          colours.emplace_back(p[2], p[1], p[0], 255);
        }
        indices[uint64_t{y} * width + x] = index;
      }
    }
    std::vector<const GColor*> entries;
    for (const GRGBColor& c : colours) entries.push_back(&c);
    indexed = indexedBitmap(std::move(indices), static_cast<uint32_t>(size), width, height, 8,
                            new GPaletteTable(entries));
    if (indexed.isNull()) {
      out = GBitmap();
      return out;
    }
  }
  const GPaletteTable* palette = indexed.palette();
  if (!palette || palette->entries() >= 3) {
    out = indexed;
    return out;
  }
  // Two colours at most: one bit per pixel, each row on a byte of its own.
  const uint32_t rowOut = (width + 7) / 8;
  const uint64_t size = uint64_t{rowOut} * height;
  std::unique_ptr<unsigned char[]> packed(size <= UINT32_MAX ? new (std::nothrow) unsigned char[size]() : nullptr);
  std::unique_ptr<unsigned char[]> row(new (std::nothrow) unsigned char[width + 1]);
  if ((size && !packed) || !row) {
    out = GBitmap();
    return out;
  }
  const GRect ib = indexed.bounds();
  for (uint32_t y = 0; y < height; ++y) {
    indexed.getRow(row.get(), ib.left(), ib.right(), ib.top() + static_cast<int32_t>(y), 2);
    for (uint32_t x = 0; x < width; ++x)
      if (row[x]) packed[uint64_t{y} * rowOut + x / 8] |= static_cast<unsigned char>(0x80 >> (x % 8));
  }
  out = indexedBitmap(std::move(packed), static_cast<uint32_t>(size), width, height, 1, palette->copy());
  return out;
}

RWspace GBitmap::levelStoreSize() const {
  const RWCollectable* b = body_ ? static_cast<const RWCollectable*>(body_) : rwNilCollectable();
  return 4 + b->recursiveStoreSize();
}

template <class Sink>
void GBitmap::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  sink << static_cast<const RWCollectable*>(body_);
}

template <class Source>
void GBitmap::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  const Restored r = restoreObject(source, nullptr);
  if (r.failed) return;
  if (!gReadable(source)) {
    // Cut short inside the body: the handle keeps the body it had.
    if (r.object && r.fresh) discardRestored(r.object);
    return;
  }
  auto* body = dynamic_cast<GBitmapImp*>(r.object);
  if (!body) {
    if (r.object && r.fresh) discardRestored(r.object);
    release();
  } else if (r.fresh && !body->restoredWhole_) {
    // A body whose level failed holds nothing of what was stored.
    discardRestored(body);
  } else if (r.fresh) {
    adopt(body);
  } else if (body == body_) {
    // Already this handle's.
  } else if (body->handleHeld_ && body->useCount() > 0) {
    // Read earlier by another handle of the graph: shared, one use each.
    body->addUse();
    release();
    body_ = body;
  } else {
    // Read earlier and held by something that does not count handles: this
    // handle takes a copy of it.
    adopt(new (std::nothrow) GBitmapImp(*body));
  }
}

// ---- GHatchPattern ----------------------------------------------------------------------

namespace {

const unsigned char kHatches[6][8] = {
    {0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, {0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F},
    {0x3F, 0x9F, 0xCF, 0xE7, 0xF3, 0xF9, 0xFC, 0x7E}, {0xFC, 0xF9, 0xF3, 0xE7, 0xCF, 0x9F, 0x3F, 0x7E},
    {0x27, 0x8F, 0x8F, 0x27, 0x72, 0xF8, 0xF8, 0x72}, {0x00, 0x00, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F},
};

}  // namespace

const unsigned char* GHatchPattern::styleBytes(int32_t style) { return kHatches[style >= 0 && style <= 4 ? style : 5]; }

namespace {

GBitmapDescriptor hatchDescriptor(int32_t style, const GColor& firstColour, const GColor& secondColour) {
  GBitmapDescriptor d;
  auto* bytes = new (std::nothrow) unsigned char[8];
  if (bytes) std::memcpy(bytes, GHatchPattern::styleBytes(style), 8);
  d.owned = 1;
  d.data = bytes;
  d.dataLength = 8;
  d.alignment = 1;
  d.bounds = GRect(0, 0, 8, 8);
  d.bitsPerPixel = 1;
  d.planes = 1;
  d.colourOrder = 1;
  d.palette = new GPaletteTable(std::vector<const GColor*>{&firstColour, &secondColour});
  return d;
}

}  // namespace

GHatchPattern::GHatchPattern(int32_t style, const GColor& firstColour, const GColor& secondColour)
    : GBitmap(hatchDescriptor(style, firstColour, secondColour)) {}

GHatchPattern::~GHatchPattern() = default;
