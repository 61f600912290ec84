#ifndef GRAPHICS_DITHER_H
#define GRAPHICS_DITHER_H

// An ordered-dither threshold table made for one printer resolution.
//
// Matrices are data of the printer's stored configuration: a composite of
// the configuration holds them, and a generator or the raster pipeline
// picks the one that fits the job's resolution and rendering selectors
// with findMatching. The table is width x height bytes, row after row,
// owned by the matrix; width and height are bytes (1 to 255 through the
// constructors, 0 for a matrix made empty).
//
// Stored form of this level, after the root's: version (3), i16 width,
// i16 height, width x height threshold bytes, u16 xResolution, i32 extra,
// u16 yResolution, i16 selector1, selector2, selector3. Versions 1 and 2
// are read too: version 1 ends after xResolution (yResolution becomes
// xResolution, extra and the selectors 0), version 2 after extra (the same
// without extra). The stored form comes from outside: a width or height
// outside 0 to 255, a table cut short or any read that fails leaves the
// matrix as it was, and no table larger than 255 x 255 is ever made. Any
// other version reads nothing more.

#include <cstdint>
#include <memory>

#include "core/classids.h"
#include "core/perobj.h"

class GDitherMatrix : public MPersistentObject {
  G_PERSISTENT_CLASS(GDitherMatrix)

 public:
  // An empty matrix: every field 0, no table.
  GDitherMatrix();
  // A matrix for one resolution in both directions, selectors and extra 0.
  // The thresholds (width x height bytes) are copied; null gives a table of
  // zeros.
  GDitherMatrix(uint8_t width, uint8_t height, const unsigned char* thresholds, int16_t resolution,
                const uint32_t& id = 0);
  GDitherMatrix(uint8_t width, uint8_t height, const unsigned char* thresholds, int16_t xResolution,
                int16_t yResolution, uint8_t selector1, uint8_t selector2, int16_t selector3, const uint32_t& id = 0);
  // Every field, with a table of its own.
  GDitherMatrix(const GDitherMatrix& other);
  // Every field, id and serial number included, with a table of its own.
  GDitherMatrix& operator=(const GDitherMatrix& other);
  ~GDitherMatrix() override;

  static RWClassID classIsA() { return ClassId::GDitherMatrix; }
  static uint32_t version() { return 3; }

  RWBoolean isKindOf(RWClassID id) const override;
  // The same object, or the same class and id with equal dimensions,
  // resolutions, selectors, extra and thresholds.
  RWBoolean matches(const MPersistentObject* other) const override;

  uint8_t width() const { return width_; }
  uint8_t height() const { return height_; }
  int16_t xResolution() const { return xResolution_; }
  int16_t yResolution() const { return yResolution_; }
  // Selectors 1 and 2 count by their low byte alone.
  uint8_t selector1() const { return static_cast<uint8_t>(selector1_); }
  uint8_t selector2() const { return static_cast<uint8_t>(selector2_); }
  int16_t selector3() const { return selector3_; }
  uint32_t extra() const { return extra_; }
  void setExtra(uint32_t value) { extra_ = value; }

  // The threshold at a row and column; 0 outside the table.
  unsigned char threshold(uint32_t row, uint32_t column) const;
  // Copies the first width x height bytes of the table into buffer, but no
  // more than the table holds; answers the count copied.
  RWsize copyThresholds(unsigned char* buffer, uint8_t width, uint8_t height) const;
  // One row of the table rotated left by columnPhase (taken modulo the
  // width): bytes columnPhase to width-1, then 0 to columnPhase-1. Writes at
  // most capacity bytes and answers the count written; a row outside the
  // table, or an empty matrix, writes nothing.
  RWsize tiledRow(unsigned char* buffer, RWsize capacity, uint8_t columnPhase, uint8_t row) const;

  // Where findMatching starts: before the composite's first child.
  static constexpr int32_t kBeforeFirst = -1;

  // The first matrix among the composite's children, after the child at
  // position `after`, made for these resolutions whose selectors match the
  // given ones; null when there is none. Positions count the children as
  // the composite's iterator meets them, from 0; the position of the answer
  // is left in *found when found is given, so that passing it back as
  // `after` steps on to the next match. Children that are no matrices are
  // passed over.
  //
  // A selector matches when the two are equal or either is 0; selectors 1
  // and 2 compare their low bytes, selector 3 all 16 bits.
  static GDitherMatrix* findMatching(int16_t xResolution, int16_t yResolution, int16_t selector1,
                                     int16_t selector2, int16_t selector3, const MPersistentObject* composite,
                                     int32_t after = kBeforeFirst, int32_t* found = nullptr);

 private:
  RWsize tableSize() const { return static_cast<RWsize>(width_) * height_; }
  bool fits(int16_t xResolution, int16_t yResolution, int16_t selector1, int16_t selector2,
            int16_t selector3) const;

  uint8_t width_;
  uint8_t height_;
  std::unique_ptr<unsigned char[]> thresholds_;  // tableSize() bytes, or null when that is 0
  int16_t xResolution_;
  int16_t yResolution_;
  int16_t selector1_;
  int16_t selector2_;
  int16_t selector3_;
  uint32_t extra_;
};

RW_DECLARE_RESTORE_OPERATORS(GDitherMatrix)

#endif
