#include "graphics/dither.h"

#include <cstring>

#include "core/perclass.h"

namespace {

// A table of the given bytes, or of zeros when there are none; null for
// an empty table.
std::unique_ptr<unsigned char[]> tableOf(const unsigned char* bytes, RWsize n) {
  if (n == 0) return nullptr;
  std::unique_ptr<unsigned char[]> table(new unsigned char[n]());
  if (bytes) std::memcpy(table.get(), bytes, n);
  return table;
}

// A level that cannot be read to its end leaves nothing after it that can
// be told apart from its fields: the source is put in the state a short
// read leaves it in, so that every enclosing restore stops too.
void stopReading(RWvistream& s) { s.clear(s.rdstate() | RWvios::failbit); }

void stopReading(RWFile& f) {
  f.SeekToEnd();
  char past;
  f.Read(past);
}

constexpr int16_t largestSide = 255;

bool isSide(int16_t side) { return side >= 0 && side <= largestSide; }

// Selectors 1 and 2 count by their low byte; 0 on either side is "any".
bool lowBytesMatch(int16_t a, int16_t b) {
  const uint8_t x = static_cast<uint8_t>(a);
  const uint8_t y = static_cast<uint8_t>(b);
  return x == 0 || y == 0 || x == y;
}

bool wordsMatch(int16_t a, int16_t b) { return a == 0 || b == 0 || a == b; }

}  // namespace

G_DEFINE_PERSISTENT(GDitherMatrix, MPersistentObject)

GDitherMatrix::GDitherMatrix()
    : width_(0), height_(0), xResolution_(0), yResolution_(0), selector1_(0), selector2_(0), selector3_(0), extra_(0) {}

GDitherMatrix::GDitherMatrix(uint8_t width, uint8_t height, const unsigned char* thresholds, int16_t resolution,
                             const uint32_t& id)
    : GDitherMatrix(width, height, thresholds, resolution, resolution, 0, 0, 0, id) {}

GDitherMatrix::GDitherMatrix(uint8_t width, uint8_t height, const unsigned char* thresholds, int16_t xResolution,
                             int16_t yResolution, uint8_t selector1, uint8_t selector2, int16_t selector3,
                             const uint32_t& id)
    : MPersistentObject(id),
      width_(width),
      height_(height),
      thresholds_(tableOf(thresholds, static_cast<RWsize>(width) * height)),
      xResolution_(xResolution),
      yResolution_(yResolution),
      selector1_(selector1),
      selector2_(selector2),
      selector3_(selector3),
      extra_(0) {}

GDitherMatrix::GDitherMatrix(const GDitherMatrix& other)
    : MPersistentObject(other),
      width_(other.width_),
      height_(other.height_),
      thresholds_(tableOf(other.thresholds_.get(), other.tableSize())),
      xResolution_(other.xResolution_),
      yResolution_(other.yResolution_),
      selector1_(other.selector1_),
      selector2_(other.selector2_),
      selector3_(other.selector3_),
      extra_(other.extra_) {}

GDitherMatrix& GDitherMatrix::operator=(const GDitherMatrix& other) {
  if (this == &other) return *this;
  MPersistentObject::operator=(other);
  thresholds_ = tableOf(other.thresholds_.get(), other.tableSize());
  width_ = other.width_;
  height_ = other.height_;
  xResolution_ = other.xResolution_;
  yResolution_ = other.yResolution_;
  selector1_ = other.selector1_;
  selector2_ = other.selector2_;
  selector3_ = other.selector3_;
  // Extra is a field like the others: a matrix assigned without it would
  // no longer match the one it was assigned from.
  extra_ = other.extra_;
  return *this;
}

GDitherMatrix::~GDitherMatrix() = default;

// ---- stored form -------------------------------------------------------------------

RWspace GDitherMatrix::levelStoreSize() const { return 22 + tableSize(); }

template <class Sink>
void GDitherMatrix::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, static_cast<int16_t>(width_));
  gWrite(sink, static_cast<int16_t>(height_));
  if (tableSize()) gWrite(sink, gBytes(static_cast<const unsigned char*>(thresholds_.get()), tableSize()));
  gWrite(sink, static_cast<uint16_t>(xResolution_));
  gWrite(sink, static_cast<int32_t>(extra_));
  gWrite(sink, static_cast<uint16_t>(yResolution_));
  gWrite(sink, selector1_);
  gWrite(sink, selector2_);
  gWrite(sink, selector3_);
}

template <class Source>
void GDitherMatrix::restoreLevel(Source& source) {
  uint32_t stored = 0;
  if (!gRead(source, stored) || stored < 1 || stored > version()) return;

  // Everything is read into locals and taken only when the whole level
  // came: a damaged matrix leaves the one restored into as it was.
  int16_t width = 0;
  int16_t height = 0;
  if (!gRead(source, width) || !gRead(source, height)) return;
  if (!isSide(width) || !isSide(height)) {
    // No table size can be had, so the level has no end to skip to.
    stopReading(source);
    return;
  }
  const RWsize n = static_cast<RWsize>(width) * static_cast<RWsize>(height);
  std::unique_ptr<unsigned char[]> table(n ? new unsigned char[n] : nullptr);
  if (n && !gRead(source, gBytes(table.get(), n))) return;

  uint16_t xResolution = 0;
  if (!gRead(source, xResolution)) return;
  // What an older version lacks takes the value it stands for: one
  // resolution for both directions, no extra, any selector.
  uint16_t yResolution = xResolution;
  int32_t extra = 0;
  int16_t selector1 = 0;
  int16_t selector2 = 0;
  int16_t selector3 = 0;
  if (stored >= 2 && !gRead(source, extra)) return;
  if (stored >= 3 && !(gRead(source, yResolution) && gRead(source, selector1) && gRead(source, selector2) &&
                       gRead(source, selector3)))
    return;

  width_ = static_cast<uint8_t>(width);
  height_ = static_cast<uint8_t>(height);
  thresholds_ = std::move(table);
  xResolution_ = static_cast<int16_t>(xResolution);
  yResolution_ = static_cast<int16_t>(yResolution);
  extra_ = static_cast<uint32_t>(extra);
  selector1_ = selector1;
  selector2_ = selector2;
  selector3_ = selector3;
}

// ---- protocol ----------------------------------------------------------------------

RWBoolean GDitherMatrix::isKindOf(RWClassID id) const { return id == classIsA() || MPersistentObject::isKindOf(id); }

RWBoolean GDitherMatrix::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || !MPersistentObject::matches(other)) return FALSE;
  const GDitherMatrix* o = dynamic_cast<const GDitherMatrix*>(other);
  if (!o || o->width_ != width_ || o->height_ != height_ || o->xResolution_ != xResolution_ ||
      o->yResolution_ != yResolution_ || o->selector1_ != selector1_ || o->selector2_ != selector2_ ||
      o->selector3_ != selector3_ || o->extra_ != extra_)
    return FALSE;
  return tableSize() == 0 || std::memcmp(thresholds_.get(), o->thresholds_.get(), tableSize()) == 0;
}

// ---- the table ---------------------------------------------------------------------

unsigned char GDitherMatrix::threshold(uint32_t row, uint32_t column) const {
  if (row >= height_ || column >= width_) return 0;
  return thresholds_[row * width_ + column];
}

RWsize GDitherMatrix::copyThresholds(unsigned char* buffer, uint8_t width, uint8_t height) const {
  RWsize n = static_cast<RWsize>(width) * height;
  if (n > tableSize()) n = tableSize();
  if (n && buffer) std::memcpy(buffer, thresholds_.get(), n);
  return buffer ? n : 0;
}

RWsize GDitherMatrix::tiledRow(unsigned char* buffer, RWsize capacity, uint8_t columnPhase, uint8_t row) const {
  if (!buffer || row >= height_ || width_ == 0) return 0;
  const unsigned char* source = thresholds_.get() + static_cast<RWsize>(row) * width_;
  const RWsize phase = columnPhase % width_;
  const RWsize n = capacity < width_ ? capacity : width_;
  for (RWsize i = 0; i < n; ++i) buffer[i] = source[(phase + i) % width_];
  return n;
}

// ---- choosing a matrix -------------------------------------------------------------

bool GDitherMatrix::fits(int16_t xResolution, int16_t yResolution, int16_t selector1, int16_t selector2,
                         int16_t selector3) const {
  return xResolution_ == xResolution && yResolution_ == yResolution && lowBytesMatch(selector1_, selector1) &&
         lowBytesMatch(selector2_, selector2) && wordsMatch(selector3_, selector3);
}

GDitherMatrix* GDitherMatrix::findMatching(int16_t xResolution, int16_t yResolution, int16_t selector1,
                                           int16_t selector2, int16_t selector3, const MPersistentObject* composite,
                                           int32_t after, int32_t* found) {
  if (!composite) return nullptr;
  // An iterator of our own: the caller's place in the composite is a
  // number it keeps, and nothing here moves it.
  const std::unique_ptr<GChildIterator> it(const_cast<MPersistentObject*>(composite)->createIterator());
  for (int32_t position = 0; it->advance(); ++position) {
    if (position <= after) continue;
    GDitherMatrix* matrix = dynamic_cast<GDitherMatrix*>(it->current());
    if (matrix && matrix->fits(xResolution, yResolution, selector1, selector2, selector3)) {
      if (found) *found = position;
      return matrix;
    }
  }
  return nullptr;
}
