#include "core/persnum.h"

#include <cstring>
#include <new>

#include "core/perclass.h"

namespace {

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

G_DEFINE_PERSISTENT(GPersistableLong, MPersistentObject)
G_DEFINE_PERSISTENT(GPersistableULong, MPersistentObject)
G_DEFINE_PERSISTENT(GBinaryData, MPersistentObject)

// ---- GPersistableLong -------------------------------------------------------------

GPersistableLong::GPersistableLong() : value_(0) {}
GPersistableLong::GPersistableLong(int32_t value) : value_(value) {}
GPersistableLong::GPersistableLong(const GPersistableLong& other) : MPersistentObject(), value_(other.value_) {}
GPersistableLong::~GPersistableLong() = default;

RWspace GPersistableLong::levelStoreSize() const { return 8; }

template <class Sink>
void GPersistableLong::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, value_);
}

template <class Source>
void GPersistableLong::restoreLevel(Source& source) {
  if (gReadVersion(source, version())) gRead(source, value_);
}

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

RWspace GPersistableULong::levelStoreSize() const { return 8; }

template <class Sink>
void GPersistableULong::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, value_);
}

template <class Source>
void GPersistableULong::restoreLevel(Source& source) {
  if (gReadVersion(source, version())) gRead(source, value_);
}

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

RWspace GBinaryData::levelStoreSize() const { return 12 + length_; }

template <class Sink>
void GBinaryData::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, static_cast<uint32_t>(length_));
  gWrite(sink, gInt(owned_));
  if (length_ && data_) gWrite(sink, gBytes(static_cast<const unsigned char*>(data_), length_));
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
  if (!gReadVersion(source, version())) return;
  clear();
  uint32_t length = 0;
  int32_t owned = 0;
  if (!gRead(source, length) || !gRead(source, gInt(owned))) return;
  // The flag reads back as stored, whoever allocated the bytes.
  owned_ = owned;
  if (length) readBytes(source, length);
}


RWBoolean GBinaryData::isKindOf(RWClassID id) const { return id == classIsA() || MPersistentObject::isKindOf(id); }

RWBoolean GBinaryData::matches(const MPersistentObject* other) const {
  if (!other || other->isA() != isA() || !MPersistentObject::matches(other)) return FALSE;
  const GBinaryData* o = dynamic_cast<const GBinaryData*>(other);
  if (!o || o->length_ != length_) return FALSE;
  if (o->data_ == data_ || length_ == 0) return TRUE;
  return data_ && o->data_ && std::memcmp(data_, o->data_, length_) == 0;
}
