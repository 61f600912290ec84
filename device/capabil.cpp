#include "device/capabil.h"

#include <new>
#include <vector>

#include "core/perclass.h"

G_DEFINE_PERSISTENT(GCapabilities, MPersistentObject)

namespace {

// The most bits a vector can hold: its length is a 32-bit count.
constexpr uint64_t maxBits = 0xFFFFFFFFu;

uint64_t bytesFor(uint64_t bits) { return (bits + 7) / 8; }

// A list of count numbers; a null list is empty.
RWsize listLength(const uint32_t* list, uint16_t count) { return list ? count : 0; }

// Reads `wanted` bytes into `out`, in pieces, so that what is held grows
// only with what has arrived: a stored count far beyond the data costs no
// more than the data. False when the source runs short.
template <class Source>
bool readStoredBytes(Source& source, uint64_t wanted, std::vector<unsigned char>& out) {
  constexpr uint64_t piece = 64 * 1024;
  out.clear();
  while (out.size() < wanted) {
    const uint64_t k = wanted - out.size() < piece ? wanted - out.size() : piece;
    const size_t at = out.size();
    out.resize(at + k);
    if (!gRead(source, gBytes(out.data() + at, static_cast<RWsize>(k)))) return false;
  }
  return true;
}

}  // namespace

GCapabilities::GCapabilities(const uint32_t& id) : MPersistentObject(id) {}

GCapabilities::GCapabilities(const uint32_t& id, uint32_t size) : MPersistentObject(id), bits_(size) {}

GCapabilities::GCapabilities(const uint32_t& id, uint32_t size, uint32_t number) : GCapabilities(id, size) {
  set(number);
}

GCapabilities::GCapabilities(const uint32_t& id, uint32_t size, const uint32_t* list, uint16_t count)
    : GCapabilities(id, size) {
  setMany(list, count);
}

GCapabilities::GCapabilities(const GCapabilities& other) = default;

GCapabilities& GCapabilities::operator=(const GCapabilities& other) {
  if (this == &other) return *this;
  MPersistentObject::operator=(other);
  bits_ = other.bits_;
  return *this;
}

GCapabilities::~GCapabilities() = default;

RWspace GCapabilities::levelStoreSize() const {
  const uint64_t n = bits_.length();
  return static_cast<RWspace>(8 + (n > 0 ? bytesFor(n) : 0));
}

template <class Sink>
void GCapabilities::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  const uint32_t n = bits_.length();
  gWrite(sink, gInt(n));
  if (n > 0) gWrite(sink, gBytes(bits_.data(), static_cast<RWsize>(bytesFor(n))));
}

template <class Source>
void GCapabilities::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  uint32_t n = 0;
  if (!gRead(source, gInt(n)) || n == 0) return;
  // The count is not trusted: the bytes must be there before a vector is
  // made for them. A short read leaves the source failed and the bits as
  // they were.
  std::vector<unsigned char> stored;
  try {
    if (!readStoredBytes(source, bytesFor(n), stored)) return;
    bits_ = RWBitVec(stored.data(), n);
  } catch (const std::bad_alloc&) {
    // The memory to hold what the file holds is not there: the object
    // keeps its bits.
  }
}

RWBoolean GCapabilities::isKindOf(RWClassID id) const { return id == classIsA() || MPersistentObject::isKindOf(id); }

RWBoolean GCapabilities::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || other->id() != id()) return FALSE;
  const GCapabilities* o = dynamic_cast<const GCapabilities*>(other);
  return o && bits_.isEqual(o->bits_);
}

bool GCapabilities::growToHold(uint32_t highest) {
  if (highest < bits_.length()) return true;
  const uint64_t wanted = uint64_t(highest) + 1;
  if (wanted > maxBits) return false;
  try {
    bits_.resize(static_cast<RWsize>(wanted));
  } catch (const std::bad_alloc&) {
    return false;  // resize changes nothing before its allocation succeeds
  }
  return true;
}

int GCapabilities::set(uint32_t number) {
  if (!growToHold(number)) return 0;
  bits_.setBit(number);
  return 1;
}

int GCapabilities::setMany(const uint32_t* list, uint16_t count) {
  const RWsize n = listLength(list, count);
  if (n == 0) return 1;
  uint32_t highest = 0;
  for (RWsize i = 0; i < n; ++i)
    if (list[i] > highest) highest = list[i];
  if (!growToHold(highest)) return 0;
  for (RWsize i = 0; i < n; ++i) bits_.setBit(list[i]);
  return 1;
}

void GCapabilities::clear(uint32_t number) {
  if (number < bits_.length()) bits_.clearBit(number);
}

void GCapabilities::clearMany(const uint32_t* list, uint16_t count) {
  const RWsize n = listLength(list, count);
  for (RWsize i = 0; i < n; ++i) clear(list[i]);
}

uint32_t GCapabilities::count() const { return sum(bits_); }

RWBoolean GCapabilities::contains(uint32_t number) const {
  return number < bits_.length() && bits_.testBit(number) ? TRUE : FALSE;
}

int GCapabilities::inRange(const uint32_t* list, uint16_t count) const {
  const RWsize n = listLength(list, count);
  for (RWsize i = 0; i < n; ++i)
    if (list[i] >= bits_.length()) return 0;
  return 1;
}

int GCapabilities::all(const uint32_t* list, uint16_t count) const {
  if (!inRange(list, count)) return 0;
  const RWsize n = listLength(list, count);
  for (RWsize i = 0; i < n; ++i)
    if (!bits_.testBit(list[i])) return 0;
  return 1;
}

int GCapabilities::any(const uint32_t* list, uint16_t count) const {
  const RWsize n = listLength(list, count);
  for (RWsize i = 0; i < n; ++i)
    if (contains(list[i])) return 1;
  return 0;
}
