#ifndef GRAPHICS_PAINT_H
#define GRAPHICS_PAINT_H

// What a stroke or a fill is drawn with. A paint is reached only through a
// brush or a pen, which share it by count; it is no attribute of its own.
// A generator's pen or brush handler asks the paint to make itself the
// current source, and the paint calls back the generator's operation for
// its own class and use (graphics/paintcb.h).
//
// GColorPaint draws with one colour object, which it owns outright: a copy
// of the paint holds a copy of the colour.
//
// Stored forms, each after its base's: GPaint a version word (1), read and
// ignored; GColorPaint a version word (1) and the colour as an object of
// the graph (nil when there is none). A colour level whose version differs,
// or that is cut short, keeps the colour it had. A colour that is a stored
// reference to one restored earlier belongs to whoever read it first: the
// paint takes a copy of it, so that no colour is ever owned twice.
//
// GRasterPaint draws with a pattern bitmap kept in a body, GRasterPaintImp,
// that copies of the paint share through the body's use count; the last
// paint deletes it. Stored forms: GRasterPaint a version word (1), the body
// as an object of the graph (nil when none), hatched and synthetic (i32
// each): 12 bytes and the body's recursive size, 18 without a body.
// GRasterPaintImp a version word (1), its bitmap stored in place as a whole
// object, the pattern number (i16): 6 bytes and the bitmap's recursive
// size. A body reached twice in one graph is shared by the paints that read
// it, one use each; one that something other than a paint holds is copied.

#include <memory>

#include "core/classids.h"
#include "core/perobj.h"
#include "core/visitor.h"
#include "graphics/bitmap.h"

class GColor;
class GPaintCallbacks;

// Abstract (acceptAsPen, acceptAsBrush): not registered with the factory;
// isA is its own.
class GPaint : public MPersistentObject {
  G_PERSISTENT_LEVEL(GPaint)

 public:
  GPaint() = default;
  GPaint(const GPaint& other) = default;
  GPaint& operator=(const GPaint& other);
  ~GPaint() override;

  static RWClassID classIsA() { return ClassId::GPaint; }
  static uint32_t version() { return 1; }
  RWClassID isA() const override;
  RWBoolean isKindOf(RWClassID id) const override;
  GPaint* newSpecies() const override = 0;
  GPaint* copy() const override = 0;

  // Call the generator's paint operation of this paint's class for a pen's
  // or a brush's use, passing the paint; answer what it answers.
  [[nodiscard]] virtual GStatus acceptAsPen(GPaintCallbacks& generator) = 0;
  [[nodiscard]] virtual GStatus acceptAsBrush(GPaintCallbacks& generator) = 0;
};

RW_DECLARE_RESTORE_OPERATORS(GPaint)

class GColorPaint : public GPaint {
  G_PERSISTENT_CLASS(GColorPaint)

 public:
  // No colour, id 0.
  GColorPaint();
  // Takes the colour over (null: none).
  explicit GColorPaint(GColor* colour);
  GColorPaint(const GColorPaint& other);
  GColorPaint& operator=(const GColorPaint& other);
  ~GColorPaint() override;

  static RWClassID classIsA() { return ClassId::GColorPaint; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // Same class and id; when both have a colour, the colours match too. A
  // paint without a colour matches on class and id alone.
  RWBoolean matches(const MPersistentObject* other) const override;

  [[nodiscard]] GStatus acceptAsPen(GPaintCallbacks& generator) override;
  [[nodiscard]] GStatus acceptAsBrush(GPaintCallbacks& generator) override;
  // Deletes the colour held and takes the new one over (null: none). The
  // colour already held, given again, stays.
  virtual void setColor(GColor* colour);
  // The colour, still the paint's, or null.
  virtual GColor* color() const { return colour_.get(); }

 private:
  std::unique_ptr<GColor> colour_;
};

RW_DECLARE_RESTORE_OPERATORS(GColorPaint)

// The shared body of raster paints: the pattern and the number a generator
// gave it.
class GRasterPaintImp : public MPersistentObject {
  G_PERSISTENT_CLASS(GRasterPaintImp)

 public:
  // An empty bitmap, pattern 0, use count 1.
  GRasterPaintImp();
  // Shares the bitmap's pixels; pattern 0, use count 1.
  explicit GRasterPaintImp(const GBitmap& bitmap);
  // A fresh identity (id 0, a new serial number), the bitmap and the
  // pattern number, use count 1.
  GRasterPaintImp(const GRasterPaintImp& other);
  // The bitmap and the pattern number; identity and use count stay.
  GRasterPaintImp& operator=(const GRasterPaintImp& other);
  ~GRasterPaintImp() override;

  static RWClassID classIsA() { return ClassId::GRasterPaintImp; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // Same class, pattern number and matching bitmaps; the id is not
  // compared.
  RWBoolean matches(const MPersistentObject* other) const override;

  GBitmap& bitmap() { return bitmap_; }
  const GBitmap& bitmap() const { return bitmap_; }
  // out shares the body's bitmap.
  void copyBitmap(GBitmap& out) const;
  int16_t patternId() const { return patternId_; }
  void setPatternId(int16_t id) { patternId_ = id; }

  // For the paints: how many share the body.
  int32_t useCount() const { return useCount_; }

 private:
  friend class GRasterPaint;

  GBitmap bitmap_;
  int16_t patternId_ = 0;
  int32_t useCount_ = 1;
  // Set while paints hold the body (see GBitmapImp's).
  bool paintHeld_ = false;
};

RW_DECLARE_RESTORE_OPERATORS(GRasterPaintImp)

class GRasterPaint : public GPaint {
  G_PERSISTENT_CLASS(GRasterPaint)

 public:
  // No body, both flags 0.
  GRasterPaint();
  // A new body holding the bitmap; hatched := first, synthetic := first OR
  // second. Without memory for the body the paint has none.
  GRasterPaint(const GBitmap& bitmap, int32_t first, int32_t second);
  // Shares the body; copies both flags.
  GRasterPaint(const GRasterPaint& other);
  GRasterPaint& operator=(const GRasterPaint& other);
  ~GRasterPaint() override;

  static RWClassID classIsA() { return ClassId::GRasterPaint; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // Same class, and no body on either side or matching bodies; the id and
  // the flags are not compared.
  RWBoolean matches(const MPersistentObject* other) const override;

  [[nodiscard]] GStatus acceptAsPen(GPaintCallbacks& generator) override;
  [[nodiscard]] GStatus acceptAsBrush(GPaintCallbacks& generator) override;
  // The body's pattern number; 0 without a body.
  virtual int16_t patternId() const;
  // The body's bitmap, first making a body with an empty bitmap when there
  // is none.
  virtual GBitmap& bitmap();
  virtual int32_t hatched() const { return hatched_; }
  virtual int32_t synthetic() const { return synthetic_; }
  // Stores the number in the body; nothing without one.
  virtual void setPatternId(int16_t id);

  // The body (shared), or null.
  GRasterPaintImp* body() const { return body_; }

 private:
  void hold(GRasterPaintImp* body);
  void release();

  GRasterPaintImp* body_ = nullptr;
  int32_t hatched_ = 0;
  int32_t synthetic_ = 0;
};

RW_DECLARE_RESTORE_OPERATORS(GRasterPaint)

// ---- shared by the paint holders (brushes and pens) --------------------------

// Both null, or both there and a's matches says b.
bool gPaintsMatch(const GPaint* a, const GPaint* b);

// The paint as one of the graph's objects: its recursive store size, or
// nil's for null.
RWspace gPaintStoreSize(const GPaint* paint);

// Reads a stored paint for a counted holder. True when the object was read
// whole; paint then holds what was read: a paint made by this read; a paint
// read earlier that counted holders share, shared with them; a copy of one
// read earlier that its reader holds uncounted; null for nil or for an
// object that is no paint (a made one is disposed of). False leaves paint as
// it was, and disposes of whatever the failed read made.
bool gRestorePaint(RWvistream& source, GCountedRef& paint);
bool gRestorePaint(RWFile& source, GCountedRef& paint);

#endif
