#ifndef DEVICE_MEDIA_H
#define DEVICE_MEDIA_H

// Paper-size entries and the pool the driver instance chooses them from.
//
// A GMedia is one paper size at one resolution and orientation: the sheet
// and its printable area in dots, the media id that names the paper size
// everywhere, and two extra strings (the second is the media type name the
// generators send). Name, sizes, orientation and resolutions are fixed at
// construction: an entry with other values is another entry.
//
// A GMediaPool is the enumeration whose choices are such entries; it is
// searched by orientation, resolution and a window of sizes through a
// GMediaPoolIterator. A restored pool holds whatever the file held: its
// iterator passes over nil children and children that are not entries.
//
// Stored forms, after the attribute level:
//   GMedia      version (1), name, width, height, extent width, extent
//               height, origin x, origin y (signed 16-bit), orientation
//               (signed 32-bit), x and y resolution and code (unsigned
//               16-bit), text, media type name, media id (signed 16-bit).
//               A stored version other than 1 keeps the entry's values.
//   GMediaPool  the enumeration's form, then a version word (1), which a
//               restore reads last and does not check.
//
// The geometry is 16-bit as a printer's dots are: the derived rectangle and
// margins wrap in 16 bits rather than grow.

#include <cstdint>

#include "core/attrib.h"
#include "core/attrids.h"
#include "core/classids.h"
#include "core/enumattr.h"
#include "core/geometry.h"
#include "rw/cstring.h"

// Media ids of custom paper sizes. kFirst is the job's own custom size;
// the driver instance hands out the ids after it, up to kLast. The
// printer's pool bounds them with two entries of its own: the largest
// custom size the printer takes, and the smallest.
namespace CustomMediaId {
constexpr int16_t kFirst = 16384;
constexpr int16_t kLast = 17383;
constexpr int16_t kLargest = 17384;
constexpr int16_t kSmallest = 17385;
}  // namespace CustomMediaId

class GMedia : public GAttribute {
  G_PERSISTENT_CLASS(GMedia)

 public:
  // Attribute id 190, empty name and strings, every number 0, 600 x 600.
  GMedia();
  // A null name, text or media type name is the empty string.
  GMedia(const char* name, const GPoint& size, const GPoint& extent, const GPoint& origin, int32_t orientation,
         int16_t mediaId, int16_t xResolution, int16_t yResolution, const uint32_t& id = AttrId::MediaEntry,
         uint16_t code = 0, const char* text = nullptr, const char* mediaTypeName = nullptr);
  GMedia(const GMedia& other);
  GMedia& operator=(const GMedia& other);
  ~GMedia() override;

  static RWClassID classIsA() { return ClassId::GMedia; }
  static uint32_t version() { return 1; }

  RWBoolean isKindOf(RWClassID id) const override;
  // The same object; or the same class and id and every field equal.
  RWBoolean matches(const MPersistentObject* other) const override;
  // The stage's media handler.
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;

  const RWCString& name() const { return name_; }
  const GPoint& size() const { return size_; }
  const GPoint& printableExtent() const { return extent_; }
  const GPoint& printableOrigin() const { return origin_; }
  int32_t orientation() const { return orientation_; }
  int16_t xResolution() const { return xResolution_; }
  int16_t yResolution() const { return yResolution_; }
  uint16_t code() const { return code_; }
  const RWCString& text() const { return text_; }
  const RWCString& mediaTypeName() const { return mediaTypeName_; }
  int16_t mediaId() const { return mediaId_; }

  // The printable area: origin to origin + extent, each sum in 16 bits.
  GRect printableRect() const;
  // Its bottom-right corner alone.
  GPoint printableEnd() const;
  // The right and bottom margins, size - origin - extent in 16 bits:
  // negative where the printable area reaches past the sheet.
  GPoint farMargins() const;

  void setCode(uint16_t code) { code_ = code; }
  // Null is the empty string.
  void setText(const char* text);
  void setMediaTypeName(const char* name);
  void setMediaId(int16_t mediaId) { mediaId_ = mediaId; }

 private:
  RWCString name_;
  GPoint size_;
  GPoint extent_;
  GPoint origin_;
  int32_t orientation_;
  int16_t xResolution_;
  int16_t yResolution_;
  uint16_t code_;
  RWCString text_;
  RWCString mediaTypeName_;
  int16_t mediaId_;
};

RW_DECLARE_RESTORE_OPERATORS(GMedia)

// The angle in degrees reduced to 0..359; every int32_t has its true
// remainder (INT32_MIN gives 232).
int32_t normalizeAngle(int32_t degrees);

class GMediaPoolIterator;

class GMediaPool : public GEnumAttribute {
  G_PERSISTENT_CLASS(GMediaPool)

 public:
  explicit GMediaPool(const uint32_t& id = 0);
  // The entries shared, as the enumeration copies.
  GMediaPool(const GMediaPool& other);
  GMediaPool& operator=(const GMediaPool& other);
  ~GMediaPool() override;

  static RWClassID classIsA() { return ClassId::GMediaPool; }
  static uint32_t version() { return 1; }

  RWBoolean isKindOf(RWClassID id) const override;
  // The same class and the enumeration's matches.
  RWBoolean matches(const MPersistentObject* other) const override;

  // A new iterator (the caller's) over the entries of this orientation and
  // resolution whose width lies in lower.x..upper.x and height in
  // lower.y..upper.y, both bounds included. The pool must outlive it.
  GMediaPoolIterator* select(int32_t orientation, int16_t xResolution, int16_t yResolution, const GPoint& lower,
                             const GPoint& upper);
  // One resolution for both axes.
  GMediaPoolIterator* select(int32_t orientation, int16_t resolution, const GPoint& lower, const GPoint& upper);

  // The first entry, in pool order, with this media id, orientation and
  // resolution and a size in (0, 0)..(32767, 32767); still the pool's.
  // Null when none.
  GMedia* findByMediaId(int16_t mediaId, int32_t orientation, int16_t xResolution, int16_t yResolution);
  GMedia* findByMediaId(int16_t mediaId, int32_t orientation, int16_t resolution);

 private:
  friend class GMediaPoolIterator;
};

RW_DECLARE_RESTORE_OPERATORS(GMediaPool)

// Walks the entries of a pool that pass its filter. advance answers 1 on
// the next one, which current answers; after the last it answers 0 and the
// next advance starts again at the first. Children that are nil or not
// entries never pass.
class GMediaPoolIterator : public GAttributeIterator {
 public:
  GMediaPoolIterator(GMediaPool* pool, int32_t orientation, int16_t xResolution, int16_t yResolution,
                     const GPoint& lower, const GPoint& upper);
  ~GMediaPoolIterator() override;

  // The entry the iterator stands on; null (reported) before the first
  // advance and after the last.
  MPersistentObject* current() override;
  // Puts the object in the current entry's place, through the pool.
  void replaceCurrent(MPersistentObject* object) override;
  int advance() override;
  void reset() override { position_ = -1; }

 private:
  bool passes(const GMedia& media) const;

  GMediaPool* pool_;
  int32_t position_;
  int16_t xResolution_;
  int16_t yResolution_;
  int32_t orientation_;
  GPoint lower_;
  GPoint upper_;
};

#endif
