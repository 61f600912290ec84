#ifndef DEVICE_CUSTSIZE_H
#define DEVICE_CUSTSIZE_H

// Paper sizes the user defines: a media id from the range the driver
// instance hands out, a name, and a width and height in one of four units.
// The user interface makes, renames and converts them; the device turns one
// into a media entry for a job with the media-building functions below.
//
// Units: 0 hundredths of an inch, 1 millimetres, 2 ten-thousandths of an
// inch, 3 micrometres. Conversions are unsigned 32-bit integer arithmetic,
// the product first (it wraps above 4,294,967,295, as stored settings and
// the user interface have it), the quotient rounded to nearest with halves
// up. A code outside 0..3 converts nothing.
//
// Stored form, after the attribute level: version (1), media id (signed
// 16-bit), name, units (signed 32-bit), width, height (unsigned 32-bit). A
// stored version other than 1 keeps the object's values.

#include <cstdint>
#include <memory>

#include "core/attrib.h"
#include "core/attrids.h"
#include "core/classids.h"
#include "device/media.h"
#include "rw/cstring.h"

enum GMediaUnits : int32_t {
  kHundredthsOfAnInch = 0,
  kMillimetres = 1,
  kTenThousandthsOfAnInch = 2,
  kMicrometres = 3,
};

// A width and a height in some unit.
struct GMediaSize {
  uint32_t width = 0;
  uint32_t height = 0;
  bool operator==(const GMediaSize& other) const { return width == other.width && height == other.height; }
  bool operator!=(const GMediaSize& other) const { return !(*this == other); }
};

// The size in `from` units converted to `to` units; unchanged when the
// codes are equal or either lies outside 0..3.
GMediaSize convertMediaUnits(int32_t from, int32_t to, GMediaSize size);

class GCustomMediaSize : public GAttribute {
  G_PERSISTENT_CLASS(GCustomMediaSize)

 public:
  // Media id 0, empty name, units 0, size 0 x 0.
  explicit GCustomMediaSize(const uint32_t& id = 0);
  // The values as given.
  GCustomMediaSize(int16_t mediaId, const RWCString& name, int32_t units, uint32_t width, uint32_t height,
                   const uint32_t& id = 0);
  // A size in dots: width * 100 / x resolution by height * 100 / y
  // resolution in hundredths of an inch (truncated; 0 on an axis whose
  // resolution is 0), then converted to the units as setUnits does.
  GCustomMediaSize(int16_t mediaId, const RWCString& name, int16_t xResolution, int16_t yResolution, int32_t units,
                   uint32_t widthInDots, uint32_t heightInDots, const uint32_t& id = 0);
  GCustomMediaSize(const GCustomMediaSize& other);
  GCustomMediaSize& operator=(const GCustomMediaSize& other);
  ~GCustomMediaSize() override;

  static RWClassID classIsA() { return ClassId::GCustomMediaSize; }
  static uint32_t version() { return 1; }

  RWBoolean isKindOf(RWClassID id) const override;
  // The same object; or the same class, id, media id and name, and the
  // same size: as stored in one unit, else both in micrometres.
  RWBoolean matches(const MPersistentObject* other) const override;
  // No stage handles it: answers 0 and visits nothing.
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;

  int16_t mediaId() const { return mediaId_; }
  const RWCString& name() const { return name_; }
  int32_t units() const { return units_; }
  // As stored.
  GMediaSize size() const { return size_; }
  // Converted to the unit (the stored values for the stored unit).
  GMediaSize sizeIn(int32_t units) const;
  // In ten-thousandths of an inch, then times each resolution / 10000,
  // unsigned 32-bit and truncated.
  GMediaSize sizeInDots(int16_t xResolution, int16_t yResolution) const;

  // Without conversion.
  void setMediaId(int16_t mediaId) { mediaId_ = mediaId; }
  void setName(const RWCString& name) { name_ = name; }
  void setSize(uint32_t width, uint32_t height) { size_ = GMediaSize{width, height}; }
  void setSize(const GMediaSize& size) { size_ = size; }
  void set(int32_t units, uint32_t width, uint32_t height);
  void set(int32_t units, const GMediaSize& size);
  // Converts the size to the unit and keeps the code, even one outside
  // 0..3 (the size then stays as it was).
  void setUnits(int32_t units);

 private:
  int16_t mediaId_;
  RWCString name_;
  int32_t units_;
  GMediaSize size_;
};

RW_DECLARE_RESTORE_OPERATORS(GCustomMediaSize)

// Media entries for a custom size (attribute id 190, code 0, no extra
// strings). The settings are searched with findById; every value read is a
// 16-bit value attribute. A missing margin group or margin counts 0, a
// missing orientation 0. Margins wider than the sheet give an extent of 0.
// Each answers a new entry, or null when memory runs out.
//
// makeMedia: the size in dots (width and height exchanged at 90 and 270
// degrees), the origin at the left and top margins, the extent the size
// less the margins.
std::unique_ptr<GMedia> makeMedia(const GCustomMediaSize& size, const MPersistentObject* marginSettings,
                                  int16_t xResolution, int16_t yResolution, int32_t orientation);
// The resolutions from the resolution group and the orientation of the job
// settings; null without both resolutions.
std::unique_ptr<GMedia> makeMediaForJob(const GCustomMediaSize& size, const MPersistentObject* jobSettings,
                                        const MPersistentObject* marginSettings);
// The orientation of the settings.
std::unique_ptr<GMedia> makeMediaFromSettings(const GCustomMediaSize& size, const MPersistentObject* settings,
                                              const MPersistentObject* marginSettings, int16_t xResolution,
                                              int16_t yResolution);

#endif
