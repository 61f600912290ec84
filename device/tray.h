#ifndef DEVICE_TRAY_H
#define DEVICE_TRAY_H

// Input trays and output bins of the printer and its paper-handling
// accessories: a number the settings name them by, a name, a capacity and
// a fill level (-1 for unknown), three values only kept and compared, and
// the display string the user interface shows. A tray also owns the media
// entry loaded in it, if any: copies hold copies of it.
//
// Stored forms, after the attribute level:
//   GTray  version (2), name, number (signed 16-bit), extra1, extra2,
//          capacity, level (signed 32-bit), a media flag (signed 32-bit, 1
//          when media follows), the media as a stored object, then the
//          display string as a stored object (version 2 only)
//   GBin   version (2), name, number, extra1, extra2, capacity, level,
//          delivery kind, extra3, the display string as a stored object
// A stored version above 2 keeps the object as it was; a version-1 form
// keeps the display string. A restore stops at the first field it cannot
// read and keeps what it read. A tray reads media only when its flag is
// exactly 1, and keeps it only when it is a media entry of its own.

#include <cstdint>
#include <memory>

#include "core/attrib.h"
#include "core/classids.h"
#include "core/dispstr.h"
#include "device/media.h"
#include "rw/cstring.h"

// The six fields a tray and a bin share, in their stored order, and the one
// place their copy, comparison, save and restore are written.
struct GSourceFields {
  RWCString name;
  int16_t number = 0;
  int32_t extra1 = 0;
  int32_t extra2 = 0;
  int32_t capacity = -1;  // -1: unknown
  int32_t level = -1;     // -1: unknown

  bool operator==(const GSourceFields& o) const {
    return name == o.name && number == o.number && extra1 == o.extra1 && extra2 == o.extra2 &&
           capacity == o.capacity && level == o.level;
  }
  template <class Sink>
  void save(Sink& sink) const;
  // Stops at the first field it cannot read, keeping those read before.
  template <class Source>
  bool restore(Source& source);
};

class GTray : public GAttribute {
  G_PERSISTENT_CLASS(GTray)

 public:
  GTray();
  // Extras 0, capacity and level unknown, no media. A null name is empty.
  GTray(const char* name, int16_t number, const uint32_t& id = 0);
  // Takes ownership of the media (null for none).
  GTray(const char* name, int16_t number, int32_t extra1, int32_t extra2, int32_t capacity, int32_t level,
        GMedia* media, const uint32_t& id = 0);
  // With the display string made of the string id and the two texts.
  GTray(uint16_t displayId, const char* name, int16_t number, int32_t extra1, int32_t extra2, int32_t capacity,
        int32_t level, GMedia* media, const char* displayText, const char* secondDisplayText,
        const uint32_t& id = 0);
  // The copy holds a copy of the other's media.
  GTray(const GTray& other);
  GTray& operator=(const GTray& other);
  ~GTray() override;

  static RWClassID classIsA() { return ClassId::GTray; }
  static uint32_t version() { return 2; }

  RWBoolean isKindOf(RWClassID id) const override;
  // The same object; or the same class and id, equal fields, matching
  // display strings, and no media on either side or matching media.
  RWBoolean matches(const MPersistentObject* other) const override;
  // The stage's tray handler.
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;

  const RWCString& name() const { return fields_.name; }
  int16_t number() const { return fields_.number; }
  int32_t extra1() const { return fields_.extra1; }
  int32_t extra2() const { return fields_.extra2; }
  int32_t capacity() const { return fields_.capacity; }
  int32_t level() const { return fields_.level; }
  // Still the tray's; null when it holds none.
  GMedia* media() const { return media_.get(); }
  const GDisplayString& displayString() const { return displayString_; }

  void setExtra1(int32_t value) { fields_.extra1 = value; }
  void setExtra2(int32_t value) { fields_.extra2 = value; }
  void setCapacity(int32_t value) { fields_.capacity = value; }
  // Sheets when inPercent is 0, else a percentage of the capacity: 1 when
  // the level was set, 0 (and the level unchanged) when the value is
  // refused. Sheets must lie below the capacity; a percentage must lie in
  // 0..100 of a known capacity above 0.
  int setLevel(int32_t value, int inPercent);
  void setDisplayString(const GDisplayString& other) { displayString_ = other; }
  // Deletes the media held so far and takes ownership of this one.
  void setMedia(GMedia* media) { media_.reset(media); }
  // The media, now the caller's; the tray holds none afterwards.
  GMedia* takeMedia() { return media_.release(); }

 private:
  GSourceFields fields_;
  std::unique_ptr<GMedia> media_;
  GDisplayString displayString_;
};

RW_DECLARE_RESTORE_OPERATORS(GTray)

class GBin : public GAttribute {
  G_PERSISTENT_CLASS(GBin)

 public:
  GBin();
  GBin(const char* name, int16_t number, const uint32_t& id = 0);
  GBin(const char* name, int16_t number, int32_t extra1, int32_t extra2, int32_t capacity, int32_t level,
       int32_t deliveryKind, int32_t extra3, const uint32_t& id = 0);
  GBin(uint16_t displayId, const char* name, int16_t number, int32_t extra1, int32_t extra2, int32_t capacity,
       int32_t level, int32_t deliveryKind, int32_t extra3, const char* displayText, const char* secondDisplayText,
       const uint32_t& id = 0);
  GBin(const GBin& other);
  GBin& operator=(const GBin& other);
  ~GBin() override;

  static RWClassID classIsA() { return ClassId::GBin; }
  static uint32_t version() { return 2; }

  RWBoolean isKindOf(RWClassID id) const override;
  // The same class and id, equal fields and matching display strings.
  RWBoolean matches(const MPersistentObject* other) const override;
  // No stage handles a bin: answers 1 and visits nothing.
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;

  const RWCString& name() const { return fields_.name; }
  int16_t number() const { return fields_.number; }
  int32_t extra1() const { return fields_.extra1; }
  int32_t extra2() const { return fields_.extra2; }
  int32_t capacity() const { return fields_.capacity; }
  int32_t level() const { return fields_.level; }
  // The manual-duplex logic treats 1 apart from every other value.
  int32_t deliveryKind() const { return deliveryKind_; }
  int32_t extra3() const { return extra3_; }
  const GDisplayString& displayString() const { return displayString_; }

  void setName(const RWCString& name) { fields_.name = name; }
  void setExtra1(int32_t value) { fields_.extra1 = value; }
  void setExtra2(int32_t value) { fields_.extra2 = value; }
  void setCapacity(int32_t value) { fields_.capacity = value; }
  // As GTray::setLevel.
  int setLevel(int32_t value, int inPercent);
  void setDeliveryKind(int32_t value) { deliveryKind_ = value; }
  void setExtra3(int32_t value) { extra3_ = value; }
  void setDisplayString(const GDisplayString& other) { displayString_ = other; }

 private:
  GSourceFields fields_;
  int32_t deliveryKind_;
  int32_t extra3_;
  GDisplayString displayString_;
};

RW_DECLARE_RESTORE_OPERATORS(GBin)

#endif
