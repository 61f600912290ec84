#include "core/persnum.h"

#include <cstring>
#include <new>

#include "core/fieldio.h"
#include "core/storeio.h"
#include "rw/factory.h"

namespace {

RWCollectable* createLong() { return new GPersistableLong; }
RWCollectable* createULong() { return new GPersistableULong; }
RWCollectable* createBinary() { return new GBinaryData; }

const RWFactoryRegistrar registerLong(createLong, GPersistableLong::classIsA(), "GPersistableLong");
const RWFactoryRegistrar registerULong(createULong, GPersistableULong::classIsA(), "GPersistableULong");
const RWFactoryRegistrar registerBinary(createBinary, GBinaryData::classIsA(), "GBinaryData");

template <class T>
int orderOf(T a, T b) {
  return a > b ? 1 : a < b ? -1 : 0;
}

unsigned char* allocateFromHeap(RWsize n) { return new (std::nothrow) unsigned char[n]; }

GBinaryData::Allocator blockAllocator = allocateFromHeap;

// A stream holds no count of what is left in it, so a stored length is
// read in pieces, and the buffer grows only with the bytes that arrived.
constexpr RWsize firstPiece = 64 * 1024;

}  // namespace

RW_DEFINE_RESTORE_OPERATORS(GPersistableLong)
RW_DEFINE_RESTORE_OPERATORS(GPersistableULong)
RW_DEFINE_RESTORE_OPERATORS(GBinaryData)

// ---- GPersistableLong -------------------------------------------------------------

GPersistableLong::GPersistableLong() : value_(0) {}
GPersistableLong::GPersistableLong(int32_t value) : value_(value) {}
GPersistableLong::GPersistableLong(const GPersistableLong& other) : MPersistentObject(), value_(other.value_) {}
GPersistableLong::~GPersistableLong() = default;

GPersistableLong* GPersistableLong::newSpecies() const { return new GPersistableLong; }
GPersistableLong* GPersistableLong::copy() const { return new GPersistableLong(*this); }
RWClassID GPersistableLong::isA() const { return classIsA(); }
RWspace GPersistableLong::binaryStoreSize() const { return MPersistentObject::binaryStoreSize() + 8; }

void GPersistableLong::saveGuts(RWvostream& s) const {
  MPersistentObject::saveGuts(s);
  s.putULong(version());
  s.putLong(value_);
}

void GPersistableLong::saveGuts(RWFile& f) const {
  MPersistentObject::saveGuts(f);
  f.Write(static_cast<uint32_t>(version()));
  f.Write(value_);
}

template <class Source>
void GPersistableLong::restoreLevel(Source& source) {
  MPersistentObject::restoreGuts(source);
  uint32_t stored = 0;
  if (!gReadULong(source, stored) || stored != version()) return;
  gReadLong(source, value_);
}

void GPersistableLong::restoreGuts(RWvistream& s) { restoreLevel(s); }
void GPersistableLong::restoreGuts(RWFile& f) { restoreLevel(f); }

RWBoolean GPersistableLong::isKindOf(RWClassID id) const { return id == classIsA() || MPersistentObject::isKindOf(id); }

RWBoolean GPersistableLong::matches(const MPersistentObject* other) const {
  if (!other || other->isA() != isA() || !MPersistentObject::matches(other)) return FALSE;
  const GPersistableLong* o = dynamic_cast<const GPersistableLong*>(other);
  return o && o->value_ == value_;
}

int GPersistableLong::compareTo(const RWCollectable* other) const {
  const GPersistableLong* o = other && other->isA() == isA() ? dynamic_cast<const GPersistableLong*>(other) : nullptr;
  if (!o) return MPersistentObject::compareTo(other);
  return orderOf(value_, o->value_);
}

RWBoolean GPersistableLong::isEqual(const RWCollectable* other) const {
  const GPersistableLong* o = other && other->isA() == isA() ? dynamic_cast<const GPersistableLong*>(other) : nullptr;
  return o && o->value_ == value_;
}

uint32_t GPersistableLong::hash() const { return static_cast<uint32_t>(value_); }

// ---- GPersistableULong ------------------------------------------------------------

GPersistableULong::GPersistableULong() : value_(0) {}
GPersistableULong::GPersistableULong(uint32_t value) : value_(value) {}
GPersistableULong::GPersistableULong(const GPersistableULong& other) : MPersistentObject(), value_(other.value_) {}
GPersistableULong::~GPersistableULong() = default;

GPersistableULong* GPersistableULong::newSpecies() const { return new GPersistableULong; }
GPersistableULong* GPersistableULong::copy() const { return new GPersistableULong(*this); }
RWClassID GPersistableULong::isA() const { return classIsA(); }
RWspace GPersistableULong::binaryStoreSize() const { return MPersistentObject::binaryStoreSize() + 8; }

void GPersistableULong::saveGuts(RWvostream& s) const {
  MPersistentObject::saveGuts(s);
  s.putULong(version());
  s.putULong(value_);
}

void GPersistableULong::saveGuts(RWFile& f) const {
  MPersistentObject::saveGuts(f);
  f.Write(static_cast<uint32_t>(version()));
  f.Write(value_);
}

template <class Source>
void GPersistableULong::restoreLevel(Source& source) {
  MPersistentObject::restoreGuts(source);
  uint32_t stored = 0;
  if (!gReadULong(source, stored) || stored != version()) return;
  gReadULong(source, value_);
}

void GPersistableULong::restoreGuts(RWvistream& s) { restoreLevel(s); }
void GPersistableULong::restoreGuts(RWFile& f) { restoreLevel(f); }

RWBoolean GPersistableULong::isKindOf(RWClassID id) const {
  return id == classIsA() || MPersistentObject::isKindOf(id);
}

RWBoolean GPersistableULong::matches(const MPersistentObject* other) const {
  if (!other || other->isA() != isA() || !MPersistentObject::matches(other)) return FALSE;
  const GPersistableULong* o = dynamic_cast<const GPersistableULong*>(other);
  return o && o->value_ == value_;
}

int GPersistableULong::compareTo(const RWCollectable* other) const {
  const GPersistableULong* o =
      other && other->isA() == isA() ? dynamic_cast<const GPersistableULong*>(other) : nullptr;
  if (!o) return MPersistentObject::compareTo(other);
  return orderOf(value_, o->value_);
}

RWBoolean GPersistableULong::isEqual(const RWCollectable* other) const {
  const GPersistableULong* o =
      other && other->isA() == isA() ? dynamic_cast<const GPersistableULong*>(other) : nullptr;
  return o && o->value_ == value_;
}

uint32_t GPersistableULong::hash() const { return value_; }

// ---- GBinaryData ------------------------------------------------------------------

GBinaryData::GBinaryData() : data_(nullptr), length_(0), owned_(0), allocatedHere_(false) {}

GBinaryData::GBinaryData(const uint32_t& id)
    : MPersistentObject(id), data_(nullptr), length_(0), owned_(0), allocatedHere_(false) {}

GBinaryData::GBinaryData(void* data, RWsize length, int32_t owned, const uint32_t& id)
    : MPersistentObject(id), data_(data), length_(length), owned_(owned), allocatedHere_(false) {}

GBinaryData::GBinaryData(const GBinaryData& other)
    : MPersistentObject(), data_(nullptr), length_(0), owned_(0), allocatedHere_(false) {
  if (other.length_ == 0) {
    data_ = other.data_;
    return;
  }
  unsigned char* bytes = other.data_ ? allocate(other.length_) : nullptr;
  if (!bytes) return;
  std::memcpy(bytes, other.data_, other.length_);
  data_ = bytes;
  length_ = other.length_;
  allocatedHere_ = true;
}

GBinaryData::~GBinaryData() { freeBytes(); }

GBinaryData::Allocator GBinaryData::setAllocator(Allocator allocator) {
  Allocator old = blockAllocator;
  blockAllocator = allocator ? allocator : allocateFromHeap;
  return old;
}

unsigned char* GBinaryData::allocate(RWsize n) { return blockAllocator(n); }

void GBinaryData::freeBytes() {
  if (owned_ || allocatedHere_) delete[] static_cast<unsigned char*>(data_);
  data_ = nullptr;
  allocatedHere_ = false;
}

void GBinaryData::setData(void* data, RWsize length, int32_t owned) {
  if (data != data_) freeBytes();
  data_ = data;
  length_ = length;
  owned_ = owned;
  allocatedHere_ = false;
}

void* GBinaryData::release() {
  void* bytes = data_;
  data_ = nullptr;
  length_ = 0;
  owned_ = 0;
  allocatedHere_ = false;
  return bytes;
}

void GBinaryData::clear() {
  freeBytes();
  length_ = 0;
  owned_ = 0;
}

GBinaryData* GBinaryData::newSpecies() const { return new GBinaryData; }
GBinaryData* GBinaryData::copy() const { return new GBinaryData(*this); }
RWClassID GBinaryData::isA() const { return classIsA(); }
RWspace GBinaryData::binaryStoreSize() const { return MPersistentObject::binaryStoreSize() + 12 + length_; }

void GBinaryData::saveGuts(RWvostream& s) const {
  MPersistentObject::saveGuts(s);
  s.putULong(version());
  s.putULong(length_);
  s.put(owned_);
  if (length_ && data_) s.put(static_cast<const unsigned char*>(data_), length_);
}

void GBinaryData::saveGuts(RWFile& f) const {
  MPersistentObject::saveGuts(f);
  f.Write(static_cast<uint32_t>(version()));
  f.Write(static_cast<uint32_t>(length_));
  f.Write(owned_);
  if (length_ && data_) f.Write(static_cast<const unsigned char*>(data_), length_);
}

namespace {

// Reads n bytes in pieces through read (answering whether a piece came
// whole) into a buffer that grows with what arrived. Answers the buffer, or
// null: taken is then RW_NPOS when the source ran dry, else the count of
// bytes read before memory ran out (the caller skips the rest).
template <class Read>
unsigned char* readInPieces(RWsize n, unsigned char* (*allocate)(RWsize), Read read, RWsize& taken) {
  taken = 0;
  RWsize capacity = n < firstPiece ? n : firstPiece;
  unsigned char* buffer = allocate(capacity);
  if (!buffer) return nullptr;
  while (taken < n) {
    if (taken == capacity) {
      RWsize grown = capacity <= n / 2 ? capacity * 2 : n;
      unsigned char* larger = allocate(grown);
      if (!larger) {
        delete[] buffer;
        return nullptr;
      }
      std::memcpy(larger, buffer, taken);
      delete[] buffer;
      buffer = larger;
      capacity = grown;
    }
    RWsize k = capacity - taken;
    if (!read(buffer + taken, k)) {
      delete[] buffer;
      taken = RW_NPOS;  // the source ran dry
      return nullptr;
    }
    taken += k;
  }
  return buffer;
}

}  // namespace

void GBinaryData::readBytes(RWFile& f, RWsize n) {
  const RWoffset here = f.CurOffset();
  RWoffset end = -1;
  if (here >= 0 && f.SeekToEnd()) {
    end = f.CurOffset();
    if (!f.SeekTo(here)) end = -1;
  }
  if (here >= 0 && end >= here) {
    if (n > static_cast<RWsize>(end - here)) {
      // More than the file holds: nothing is kept, and the file is left at
      // its end with end of file set, as a short read leaves it.
      f.SeekToEnd();
      char past;
      f.Read(past);
      return;
    }
    unsigned char* bytes = allocate(n);
    if (!bytes) {
      f.SeekTo(here + static_cast<RWoffset>(n));
      return;
    }
    if (!f.Read(bytes, n)) {
      delete[] bytes;
      return;
    }
    data_ = bytes;
    length_ = n;
    allocatedHere_ = true;
    return;
  }
  // No size to be had (past 2 GB): the bytes come in pieces.
  RWsize taken = 0;
  unsigned char* bytes = readInPieces(n, blockAllocator, [&](unsigned char* p, RWsize k) { return f.Read(p, k) != 0; }, taken);
  if (bytes) {
    data_ = bytes;
    length_ = n;
    allocatedHere_ = true;
  } else if (taken != RW_NPOS && f.CurOffset() >= 0) {
    f.SeekTo(f.CurOffset() + static_cast<RWoffset>(n - taken));
  }
}

void GBinaryData::readBytes(RWvistream& s, RWsize n) {
  RWsize taken = 0;
  unsigned char* bytes =
      readInPieces(n, blockAllocator, [&](unsigned char* p, RWsize k) { return !s.get(p, k).fail(); }, taken);
  if (bytes) {
    data_ = bytes;
    length_ = n;
    allocatedHere_ = true;
    return;
  }
  if (taken == RW_NPOS) return;
  // No memory for them: the bytes are read and dropped, so that reading
  // goes on after them.
  for (RWsize i = taken; i < n; ++i) {
    unsigned char dropped;
    if (s.get(dropped).fail()) return;
  }
}

template <class Source>
void GBinaryData::restoreLevel(Source& source) {
  MPersistentObject::restoreGuts(source);
  uint32_t stored = 0;
  if (!gReadULong(source, stored) || stored != version()) return;
  clear();
  uint32_t length = 0;
  int32_t owned = 0;
  if (!gReadULong(source, length) || !gReadInt(source, owned)) return;
  // The flag reads back as stored, whoever allocated the bytes.
  owned_ = owned;
  if (length) readBytes(source, length);
}

void GBinaryData::restoreGuts(RWvistream& s) { restoreLevel(s); }
void GBinaryData::restoreGuts(RWFile& f) { restoreLevel(f); }

RWBoolean GBinaryData::isKindOf(RWClassID id) const { return id == classIsA() || MPersistentObject::isKindOf(id); }

RWBoolean GBinaryData::matches(const MPersistentObject* other) const {
  if (!other || other->isA() != isA() || !MPersistentObject::matches(other)) return FALSE;
  const GBinaryData* o = dynamic_cast<const GBinaryData*>(other);
  if (!o || o->length_ != length_) return FALSE;
  if (o->data_ == data_ || length_ == 0) return TRUE;
  return data_ && o->data_ && std::memcmp(data_, o->data_, length_) == 0;
}
