#ifndef DEVICE_PAPERDEV_H
#define DEVICE_PAPERDEV_H

// A paper-handling accessory, or the printer's own paper path: an input
// device whose media sources hold trays (class 0) or an output device whose
// sources hold bins (class 1). Each configuration of the accessory is one
// source, an attribute composite of its trays or bins, kept under a 16-bit
// id; one of them is the selected one (0: none).
//
// The sources sit in a table of 16 fixed buckets: an id lies in bucket
// id mod 16, at the end of it when added. Walking the table, bucket 0 to
// 15 and each bucket in order, is the order every operation and the stored
// form use. The device shares each source through a counted pointer, so
// copies of a device share its sources. Every entry holds a source: adding
// null changes nothing, and a restore drops a source that is nil or no
// attribute composite.
//
// Stored form, after the attribute level: version (2), name, class,
// installed, enabled (signed 32-bit), the selected id (unsigned 16-bit),
// the number of entries (unsigned 32-bit), each entry's id (unsigned
// 16-bit) and source as a stored pointer, flag1, flag2 (signed 32-bit) and
// the display string as a stored object. A stored version above 2 keeps the
// device as it was; a version-1 form has no flags and no display string,
// and restores flag1 as 1 and flag2 as 1 when there is more than one
// source. A restore stops at the first field it cannot read and keeps what
// it read; the selected id is kept as stored.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/attrib.h"
#include "core/attrids.h"
#include "core/classids.h"
#include "core/cntdptr.h"
#include "core/dispstr.h"
#include "rw/cstring.h"

class GPaperHandlingDevice : public GAttribute {
  G_PERSISTENT_CLASS(GPaperHandlingDevice)

 public:
  GPaperHandlingDevice();
  // Both set enabled to 1 when installed is 0, whatever enabled is given.
  // A null name is empty.
  GPaperHandlingDevice(const char* name, int32_t deviceClass, int32_t installed, int32_t enabled, int32_t flag1,
                       int32_t flag2, const uint32_t& id = 0);
  GPaperHandlingDevice(uint16_t displayId, const char* name, int32_t deviceClass, int32_t installed,
                       int32_t enabled, int32_t flag1, int32_t flag2, const char* displayText,
                       const char* secondDisplayText, const uint32_t& id = 0);
  // Every field, and the same sources (shared) under the same ids in the
  // same order.
  GPaperHandlingDevice(const GPaperHandlingDevice& other);
  GPaperHandlingDevice& operator=(const GPaperHandlingDevice& other);
  ~GPaperHandlingDevice() override;

  static RWClassID classIsA() { return ClassId::GPaperHandlingDevice; }
  static uint32_t version() { return 2; }

  RWBoolean isKindOf(RWClassID id) const override;
  // The same object; or the same class and id, equal fields, matching
  // display strings and as many sources. The sources are not compared.
  RWBoolean matches(const MPersistentObject* other) const override;
  // No stage handles it: answers 1 and visits nothing.
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;
  // The selected source's own iterator over its trays or bins; an empty
  // iterator when no source has the selected id. The caller's.
  GChildIterator* createIterator() override;

  RWCString name() const { return name_; }
  int32_t deviceClass() const { return deviceClass_; }
  int32_t isInstalled() const { return installed_; }
  int32_t isEnabled() const { return enabled_; }
  uint16_t selectedSourceId() const { return selectedSourceId_; }
  int32_t flag1() const { return flag1_; }
  int32_t flag2() const { return flag2_; }
  const GDisplayString& displayString() const { return displayString_; }

  uint32_t sourceCount() const { return count_; }
  int hasSource(uint16_t id) const { return findSource(id) ? 1 : 0; }
  // Still the device's; null when no source has the id.
  GAttributeComposite* findSource(uint16_t id) const;
  // Replaces what the list held with every source id, in table order.
  void sourceIds(std::vector<uint16_t>& ids) const;
  // The fewest children of a source that has any (0 when none has), the
  // most children of any source, and the children of the selected one.
  uint32_t minSourceEntries() const;
  uint32_t maxSourceEntries() const;
  uint32_t selectedSourceEntries() const;

  // A value of 0 also sets enabled to 1.
  void setInstalled(int32_t value);
  // Only while installed is exactly 1: 1 and enabled set; else 0.
  int setEnabled(int32_t value);
  // 1 and the source selected when one has the id; else 0.
  int selectSource(uint16_t id);
  // Each answers the former value.
  int32_t setFlag1(int32_t value);
  int32_t setFlag2(int32_t value);
  void setDisplayString(const GDisplayString& other) { displayString_ = other; }

  // Shares the source under the id (a source there before is released and
  // the id moves to the end of its bucket) and selects it when nothing is
  // selected. A null source changes nothing.
  void addSource(uint16_t id, GAttributeComposite* source);
  // The source taken out under the id, now the caller's: the object itself
  // when the device held its last reference, else a copy (the other
  // holders keep theirs). Null when no source has the id. Taking the
  // selected one selects the first left, or none.
  std::unique_ptr<GAttributeComposite> removeSource(uint16_t id);

 private:
  struct Entry {
    uint16_t id;
    GCountedPtr source;
  };
  static constexpr size_t bucketCount = 16;
  using Bucket = std::vector<Entry>;

  static Bucket& bucketOf(std::array<Bucket, bucketCount>& table, uint16_t id) { return table[id % bucketCount]; }
  // Puts the source at the end of the id's bucket, taking out any entry
  // the id had; the selection is not touched.
  void put(uint16_t id, GAttributeComposite* source);
  void releaseSources();
  template <class Each>
  void eachSource(Each each) const;

  RWCString name_;
  int32_t deviceClass_;
  int32_t installed_;
  int32_t enabled_;
  uint16_t selectedSourceId_;
  std::array<Bucket, bucketCount> table_;
  uint32_t count_;
  int32_t flag1_;
  int32_t flag2_;
  GDisplayString displayString_;
};

RW_DECLARE_RESTORE_OPERATORS(GPaperHandlingDevice)

#endif
