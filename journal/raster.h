#ifndef JOURNAL_RASTER_H
#define JOURNAL_RASTER_H

// The raster commands: a source rectangle of a bitmap drawn onto a
// destination rectangle of the page.
//
// GRasterGraphic holds the bitmap (a handle sharing its body), the source
// rectangle in bitmap pixels, the destination rectangle in device pixels,
// and a second bitmap that a producer may give, carried, copied, compared
// and stored but read by no stage. A GPreScaledRasterGraphic is the same
// command for a bitmap already at device size: its class tells a generator
// that no scaling is needed. Both reach the stage's onRaster.
//
// The bitmaps' bodies may borrow the producer's pixels; takeOwnership
// copies them into memory of the bodies' own (both bitmaps), as any stage
// that keeps the command beyond its call must.
//
// clipRects tells a generator which part of the image a clip leaves: it
// fills the source and destination rectangles to send and answers 1 when
// the destination is exactly what the clip keeps, 0 when whole source
// pixels cover a little more, which the generator must clip itself. A
// rectangle whose right edge is not right of its left, or whose bottom is
// not below its top, is empty: nothing is drawn and both rectangles come
// back {0, 0, 0, 0}. The arithmetic is wide enough for any 16-bit edges.
//
// Stored form of each, after the graphic level: version (1); the bitmap as
// a stored object; the source rectangle and the destination rectangle, each
// left, top, right, bottom as i16; the second bitmap as a stored object.
// The pre-scaled graphic adds its own version (1). A level that is cut
// short anywhere, of another version, or whose bitmap reads fail keeps
// everything it held.

#include <cstdint>

#include "core/geometry.h"
#include "graphics/bitmap.h"
#include "journal/graphic.h"

class GClipAttribute;

class GRasterGraphic : public GGraphic {
  G_PERSISTENT_CLASS(GRasterGraphic)

 public:
  // Empty bitmaps, rectangles {0, 0, 0, 0}, no bundle, id 0.
  GRasterGraphic();
  // The handles are copied (sharing the images); the bundle (null: none)
  // is stamped 244.
  GRasterGraphic(const GBitmap& bitmap, GGraphicBundle* bundle, const GRect& sourceRect, const GRect& destinationRect,
                 const GBitmap& secondBitmap, const uint32_t& id = 0);
  GRasterGraphic(const GRasterGraphic& other);
  GRasterGraphic& operator=(const GRasterGraphic& other);
  ~GRasterGraphic() override;

  static RWClassID classIsA() { return ClassId::GRasterGraphic; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // The same object; or the same class, the graphic test, matching bitmaps,
  // equal rectangles and matching second bitmaps.
  RWBoolean matches(const MPersistentObject* other) const override;
  [[nodiscard]] GStatus accept(GPeripheralHandlers& stage) override;
  // Both bitmaps' bodies own their pixels from here on.
  void takeOwnership() override;

  GRect sourceRect() const { return sourceRect_; }
  GRect destinationRect() const { return destinationRect_; }
  // Copies of the handles (sharing the bodies).
  GBitmap bitmap() const { return bitmap_; }
  GBitmap secondBitmap() const { return secondBitmap_; }

  // See the top of the file; clip may be null (nothing clipped).
  int32_t clipRects(const GClipAttribute* clip, GRect& source, GRect& destination) const;

 private:
  GBitmap bitmap_;
  GRect sourceRect_;
  GRect destinationRect_;
  GBitmap secondBitmap_;
};

RW_DECLARE_RESTORE_OPERATORS(GRasterGraphic)

class GPreScaledRasterGraphic : public GRasterGraphic {
  G_PERSISTENT_CLASS(GPreScaledRasterGraphic)

 public:
  GPreScaledRasterGraphic();
  GPreScaledRasterGraphic(const GBitmap& bitmap, GGraphicBundle* bundle, const GRect& sourceRect,
                          const GRect& destinationRect, const GBitmap& secondBitmap, const uint32_t& id = 0);
  GPreScaledRasterGraphic(const GPreScaledRasterGraphic& other);
  GPreScaledRasterGraphic& operator=(const GPreScaledRasterGraphic& other);
  ~GPreScaledRasterGraphic() override;

  static RWClassID classIsA() { return ClassId::GPreScaledRasterGraphic; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
};

RW_DECLARE_RESTORE_OPERATORS(GPreScaledRasterGraphic)

#endif
