#include "device/pmdinfo.h"

#include "core/perclass.h"
#include "rw/rwerr.h"

G_DEFINE_PERSISTENT(GPMDVersionInfo, MPersistentObject)
G_DEFINE_PERSISTENT(GPMLDescriptor, MPersistentObject)

namespace {

constexpr RWsize stringRoom = 64;
constexpr uint16_t topNumber = 0xFFFF;

}  // namespace

// ---- GStringVector ----------------------------------------------------------------

GStringVector::GStringVector() : capacity_(stringRoom) {}
GStringVector::GStringVector(const GStringVector& other) = default;
GStringVector& GStringVector::operator=(const GStringVector& other) = default;
GStringVector::~GStringVector() = default;

int32_t GStringVector::index(const RWCString& text) const {
  for (RWsize i = 0; i < entries(); ++i)
    if (strings_[i] == text) return static_cast<int32_t>(i);
  return -1;
}

void GStringVector::append(const RWCString& text) {
  // The room counts up in steps of 64; the memory behind it grows by the
  // vector's own doubling, so that a long restored list is not copied
  // again every 64 strings.
  if (entries() >= capacity_) capacity_ += stringRoom;
  strings_.push_back(text);
}

RWsize GStringVector::occurrencesOf(const RWCString& text) const {
  RWsize n = 0;
  for (const RWCString& s : strings_)
    if (s == text) ++n;
  return n;
}

int GStringVector::remove(const RWCString& text) {
  const int32_t i = index(text);
  if (i < 0) return 0;
  strings_.erase(strings_.begin() + i);
  return 1;
}

RWsize GStringVector::removeAll(const RWCString& text) {
  const RWsize before = entries();
  std::erase_if(strings_, [&](const RWCString& s) { return s == text; });
  return before - entries();
}

const RWCString* GStringVector::at(RWsize position) const {
  if (position >= entries()) {
    rwReportIndex(position, entries());
    return nullptr;
  }
  return &strings_[position];
}

void GStringVector::clear() {
  std::vector<RWCString>().swap(strings_);
  capacity_ = stringRoom;
}

// ---- GPMDVersionInfo --------------------------------------------------------------

GPMDVersionInfo::GPMDVersionInfo() : versionA_(0), versionB_(0), flagWord_(1), valueA_(0), valueB_(0) {}

GPMDVersionInfo::GPMDVersionInfo(uint32_t versionA, uint32_t versionB, uint16_t flagWord, const uint32_t& id)
    : MPersistentObject(id), versionA_(versionA), versionB_(versionB), flagWord_(flagWord), valueA_(0), valueB_(0) {}

GPMDVersionInfo::GPMDVersionInfo(const GPMDVersionInfo& other) = default;

GPMDVersionInfo& GPMDVersionInfo::operator=(const GPMDVersionInfo& other) {
  if (this == &other) return *this;
  MPersistentObject::operator=(other);
  versionA_ = other.versionA_;
  versionB_ = other.versionB_;
  flagWord_ = other.flagWord_;
  valueA_ = other.valueA_;
  valueB_ = other.valueB_;
  strings_ = other.strings_;
  return *this;
}

GPMDVersionInfo::~GPMDVersionInfo() = default;

RWspace GPMDVersionInfo::levelStoreSize() const {
  RWspace size = 26;
  for (RWsize i = 0; i < strings_.entries(); ++i) size += 4 + strings_.at(i)->length();
  return size;
}

template <class Sink>
void GPMDVersionInfo::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, versionB_);
  gWrite(sink, versionA_);
  gWrite(sink, flagWord_);
  gWrite(sink, valueA_);
  gWrite(sink, valueB_);
  const uint32_t count = strings_.entries();
  gWrite(sink, count);
  for (RWsize i = 0; i < count; ++i) gWrite(sink, *strings_.at(i));
}

template <class Source>
void GPMDVersionInfo::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  uint32_t count = 0;
  if (!gRead(source, versionB_) || !gRead(source, versionA_) || !gRead(source, flagWord_) ||
      !gRead(source, valueA_) || !gRead(source, valueB_) || !gRead(source, count))
    return;
  strings_.clear();
  // The count is not trusted: the list holds what could be read, up to the
  // first string that could not.
  for (uint32_t i = 0; i < count; ++i) {
    RWCString text;
    if (!gRead(source, text)) break;
    strings_.append(text);
  }
}

RWBoolean GPMDVersionInfo::isKindOf(RWClassID id) const {
  return id == classIsA() || MPersistentObject::isKindOf(id);
}

RWBoolean GPMDVersionInfo::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || other->id() != id()) return FALSE;
  const GPMDVersionInfo* o = dynamic_cast<const GPMDVersionInfo*>(other);
  if (!o || o->versionA_ != versionA_ || o->versionB_ != versionB_ || o->flagWord_ != flagWord_ ||
      o->valueA_ != valueA_ || o->valueB_ != valueB_ || o->strings_.entries() != strings_.entries())
    return FALSE;
  for (RWsize i = 0; i < strings_.entries(); ++i)
    if (!(*o->strings_.at(i) == *strings_.at(i))) return FALSE;
  return TRUE;
}

uint16_t GPMDVersionInfo::nextMinor(uint32_t& word) {
  const uint16_t minor = static_cast<uint16_t>(word & 0xFFFF);
  if (minor != topNumber) word = (word & 0xFFFF0000u) | (minor + 1u);
  return minor;
}

uint16_t GPMDVersionInfo::nextMajor(uint32_t& word) {
  const uint16_t major = static_cast<uint16_t>(word >> 16);
  if (major != topNumber) word = uint32_t(major + 1u) << 16;
  return major;
}

// ---- GPMLDescriptor ---------------------------------------------------------------

GPMLDescriptor::GPMLDescriptor() : type_(0) {}
GPMLDescriptor::GPMLDescriptor(const RWWString& name, int32_t type) : name_(name), type_(type) {}
GPMLDescriptor::GPMLDescriptor(const RWWString& name, int32_t type, const RWCString& text)
    : name_(name), type_(type), text_(text) {}
GPMLDescriptor::GPMLDescriptor(const GPMLDescriptor& other) = default;

GPMLDescriptor& GPMLDescriptor::operator=(const GPMLDescriptor& other) {
  if (this == &other) return *this;
  MPersistentObject::operator=(other);
  name_ = other.name_;
  type_ = other.type_;
  text_ = other.text_;
  return *this;
}

GPMLDescriptor::~GPMLDescriptor() = default;

RWspace GPMLDescriptor::levelStoreSize() const { return 16 + 2 * name_.length() + text_.length(); }

template <class Sink>
void GPMLDescriptor::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, name_);
  gWrite(sink, type_);
  gWrite(sink, text_);
}

template <class Source>
void GPMLDescriptor::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  if (gRead(source, name_) && gRead(source, type_)) gRead(source, text_);
}

RWBoolean GPMLDescriptor::isKindOf(RWClassID id) const { return id == classIsA() || MPersistentObject::isKindOf(id); }

RWBoolean GPMLDescriptor::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || other->id() != id()) return FALSE;
  const GPMLDescriptor* o = dynamic_cast<const GPMLDescriptor*>(other);
  return o && o->name_ == name_;
}

RWBoolean GPMLDescriptor::lessThan(const GPMLDescriptor& other) const {
  return name_.compareTo(other.name_, RWWString::exact) < 0;
}

void GPMLDescriptor::setNameAndType(const RWWString& name, int32_t type) {
  name_ = name;
  type_ = type;
}
