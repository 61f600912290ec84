#include "device/paperdev.h"

#include <algorithm>
#include <utility>

#include "core/perclass.h"

G_DEFINE_PERSISTENT(GPaperHandlingDevice, GAttribute)

namespace {

RWCString textOf(const char* text) { return text ? RWCString(text) : RWCString(); }

uint32_t childrenOf(const MPersistentObject* source) { return static_cast<uint32_t>(source->entries()); }

}  // namespace

GPaperHandlingDevice::GPaperHandlingDevice()
    : deviceClass_(0), installed_(1), enabled_(0), selectedSourceId_(0), count_(0), flag1_(0), flag2_(0) {}

// The default display string made once: one made and then assigned would
// take a second serial number.
GPaperHandlingDevice::GPaperHandlingDevice(const char* name, int32_t deviceClass, int32_t installed,
                                           int32_t enabled, int32_t flag1, int32_t flag2, const uint32_t& id)
    : GPaperHandlingDevice(0, name, deviceClass, installed, enabled, flag1, flag2, nullptr, nullptr, id) {}

GPaperHandlingDevice::GPaperHandlingDevice(uint16_t displayId, const char* name, int32_t deviceClass,
                                           int32_t installed, int32_t enabled, int32_t flag1, int32_t flag2,
                                           const char* displayText, const char* secondDisplayText,
                                           const uint32_t& id)
    : GAttribute(id),
      name_(textOf(name)),
      deviceClass_(deviceClass),
      installed_(installed),
      enabled_(installed == 0 ? 1 : enabled),
      selectedSourceId_(0),
      count_(0),
      flag1_(flag1),
      flag2_(flag2),
      displayString_(displayId, displayText, secondDisplayText) {}

GPaperHandlingDevice::GPaperHandlingDevice(const GPaperHandlingDevice& other) = default;

GPaperHandlingDevice& GPaperHandlingDevice::operator=(const GPaperHandlingDevice& other) {
  if (this == &other) return *this;
  GAttribute::operator=(other);
  name_ = other.name_;
  deviceClass_ = other.deviceClass_;
  installed_ = other.installed_;
  enabled_ = other.enabled_;
  selectedSourceId_ = other.selectedSourceId_;
  // Copied before the old sources go: the other's may be held only by
  // them.
  const std::array<Bucket, bucketCount> sources = other.table_;
  table_ = sources;
  count_ = other.count_;
  flag1_ = other.flag1_;
  flag2_ = other.flag2_;
  displayString_ = other.displayString_;
  return *this;
}

GPaperHandlingDevice::~GPaperHandlingDevice() = default;

template <class Each>
void GPaperHandlingDevice::eachSource(Each each) const {
  for (const Bucket& bucket : table_)
    for (const Entry& entry : bucket) each(entry.id, static_cast<GAttributeComposite*>(entry.source.get()));
}

RWspace GPaperHandlingDevice::levelStoreSize() const {
  // The sources are counted under the store table binaryStoreSize holds:
  // one shared by two ids, or stored earlier, counts as a reference.
  RWspace size = 34 + name_.length();
  eachSource([&](uint16_t, const GAttributeComposite* source) {
    size += 2 + static_cast<const RWCollectable*>(source)->recursiveStoreSize();
  });
  return size + displayString_.recursiveStoreSize();
}

template <class Sink>
void GPaperHandlingDevice::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, name_);
  gWrite(sink, deviceClass_);
  gWrite(sink, installed_);
  gWrite(sink, enabled_);
  gWrite(sink, selectedSourceId_);
  // Every entry holds a source, so the count is that of the entries
  // written.
  gWrite(sink, count_);
  eachSource([&](uint16_t id, const GAttributeComposite* source) {
    gWrite(sink, id);
    sink << static_cast<const RWCollectable*>(source);
  });
  gWrite(sink, flag1_);
  gWrite(sink, flag2_);
  sink << displayString_;
}

template <class Source>
void GPaperHandlingDevice::restoreLevel(Source& source) {
  uint32_t stored = 0;
  if (!gRead(source, stored) || stored > version()) return;
  releaseSources();
  uint32_t count = 0;
  if (!(gRead(source, name_) && gRead(source, deviceClass_) && gRead(source, installed_) &&
        gRead(source, enabled_) && gRead(source, selectedSourceId_) && gRead(source, count)))
    return;
  {
    // A source may not name the device around it.
    MRestoreScope scope(this);
    // The count is not trusted: each entry is read from what the source
    // holds, and the first that cannot be read ends the restore.
    for (uint32_t i = 0; i < count; ++i) {
      uint16_t id = 0;
      GAttributeComposite* read = nullptr;
      if (!gRead(source, id) || !restoreSharedMember(source, read)) return;
      if (read) put(id, read);
    }
  }
  if (stored == version()) {
    if (gRead(source, flag1_) && gRead(source, flag2_))
      RWCollectable::restoreInPlace(source, static_cast<RWCollectable&>(displayString_));
    return;
  }
  // The earlier form had no flags: they follow from its sources.
  flag1_ = 1;
  flag2_ = count_ > 1 ? 1 : 0;
}

RWBoolean GPaperHandlingDevice::isKindOf(RWClassID id) const {
  return id == classIsA() || GAttribute::isKindOf(id);
}

RWBoolean GPaperHandlingDevice::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || other->id() != id()) return FALSE;
  const GPaperHandlingDevice* o = dynamic_cast<const GPaperHandlingDevice*>(other);
  return o && name_ == o->name_ && deviceClass_ == o->deviceClass_ && installed_ == o->installed_ &&
         enabled_ == o->enabled_ && selectedSourceId_ == o->selectedSourceId_ && flag1_ == o->flag1_ &&
         flag2_ == o->flag2_ && !displayString_.differs(&o->displayString_) && count_ == o->count_;
}

GStatus GPaperHandlingDevice::accept(GPeripheralHandlers&) { return 1; }

GChildIterator* GPaperHandlingDevice::createIterator() {
  GAttributeComposite* selected = findSource(selectedSourceId_);
  return selected ? selected->createIterator() : new GNullIterator(this);
}

GAttributeComposite* GPaperHandlingDevice::findSource(uint16_t id) const {
  for (const Entry& entry : table_[id % bucketCount])
    if (entry.id == id) return static_cast<GAttributeComposite*>(entry.source.get());
  return nullptr;
}

void GPaperHandlingDevice::sourceIds(std::vector<uint16_t>& ids) const {
  ids.clear();
  eachSource([&](uint16_t id, const GAttributeComposite*) { ids.push_back(id); });
}

uint32_t GPaperHandlingDevice::minSourceEntries() const {
  uint32_t fewest = 0;
  eachSource([&](uint16_t, const GAttributeComposite* source) {
    const uint32_t n = childrenOf(source);
    if (n != 0 && (fewest == 0 || n < fewest)) fewest = n;
  });
  return fewest;
}

uint32_t GPaperHandlingDevice::maxSourceEntries() const {
  uint32_t most = 0;
  eachSource([&](uint16_t, const GAttributeComposite* source) { most = std::max(most, childrenOf(source)); });
  return most;
}

uint32_t GPaperHandlingDevice::selectedSourceEntries() const {
  const GAttributeComposite* selected = findSource(selectedSourceId_);
  return selected ? childrenOf(selected) : 0;
}

void GPaperHandlingDevice::setInstalled(int32_t value) {
  installed_ = value;
  if (value == 0) enabled_ = 1;
}

int GPaperHandlingDevice::setEnabled(int32_t value) {
  if (installed_ != 1) return 0;
  enabled_ = value;
  return 1;
}

int GPaperHandlingDevice::selectSource(uint16_t id) {
  if (!findSource(id)) return 0;
  selectedSourceId_ = id;
  return 1;
}

int32_t GPaperHandlingDevice::setFlag1(int32_t value) { return std::exchange(flag1_, value); }

int32_t GPaperHandlingDevice::setFlag2(int32_t value) { return std::exchange(flag2_, value); }

void GPaperHandlingDevice::put(uint16_t id, GAttributeComposite* source) {
  // Counted before the old entry goes: the new source may be held only
  // through it (the same source added again).
  GCountedPtr held(source);
  Bucket& bucket = bucketOf(table_, id);
  const auto old = std::find_if(bucket.begin(), bucket.end(), [id](const Entry& e) { return e.id == id; });
  if (old != bucket.end()) {
    bucket.erase(old);
    --count_;
  }
  bucket.push_back(Entry{id, std::move(held)});
  ++count_;
}

void GPaperHandlingDevice::releaseSources() {
  // Emptied first and released after, so that a source whose deletion
  // reaches back finds a consistent table.
  std::array<Bucket, bucketCount> old;
  old.swap(table_);
  count_ = 0;
}

void GPaperHandlingDevice::addSource(uint16_t id, GAttributeComposite* source) {
  if (!source) return;
  put(id, source);
  if (selectedSourceId_ == 0) selectedSourceId_ = id;
}

std::unique_ptr<GAttributeComposite> GPaperHandlingDevice::removeSource(uint16_t id) {
  Bucket& bucket = bucketOf(table_, id);
  const auto found = std::find_if(bucket.begin(), bucket.end(), [id](const Entry& e) { return e.id == id; });
  if (found == bucket.end()) return nullptr;
  // Every source the table holds is an attribute composite, and so is a
  // copy of one.
  std::unique_ptr<GAttributeComposite> taken(static_cast<GAttributeComposite*>(found->source.take()));
  bucket.erase(found);
  --count_;
  if (selectedSourceId_ == id) {
    selectedSourceId_ = 0;
    bool chosen = false;
    eachSource([&](uint16_t next, const GAttributeComposite*) {
      if (!chosen) selectedSourceId_ = next;
      chosen = true;
    });
  }
  return taken;
}
