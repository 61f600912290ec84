#ifndef CORE_PERSNUM_H
#define CORE_PERSNUM_H

// Plain data as persistent objects, so that it can live in the object
// model's collections and stores: a signed and an unsigned 32-bit number
// (usable as keys of ordered collections) and a block of bytes.
//
// Stored forms, after the root level: a version word (1), then
//   GPersistableLong   i32 value
//   GPersistableULong  u32 value
//   GBinaryData        u32 length, i32 owned flag, the bytes
// A stored version other than 1 leaves the fields as they were.

#include <cstdint>

#include "core/classids.h"
#include "core/perobj.h"

class GPersistableLong : public MPersistentObject {
  G_PERSISTENT_CLASS(GPersistableLong)

 public:
  GPersistableLong();
  explicit GPersistableLong(int32_t value);
  // A fresh identity (id 0, a new serial number) with the same value.
  GPersistableLong(const GPersistableLong& other);
  GPersistableLong& operator=(const GPersistableLong&) = delete;
  ~GPersistableLong() override;

  static RWClassID classIsA() { return ClassId::GPersistableLong; }
  static uint32_t version() { return 1; }

  RWBoolean isKindOf(RWClassID id) const override;
  // Same class, id and value.
  RWBoolean matches(const MPersistentObject* other) const override;
  // By value (signed) within the class; objects of different classes in
  // the root's order.
  int compareTo(const RWCollectable* other) const override;
  // Same class and value; the hash goes with it.
  RWBoolean isEqual(const RWCollectable* other) const override;
  uint32_t hash() const override;

  int32_t value() const { return value_; }

 private:
  int32_t value_;
};

RW_DECLARE_RESTORE_OPERATORS(GPersistableLong)

class GPersistableULong : public MPersistentObject {
  G_PERSISTENT_CLASS(GPersistableULong)

 public:
  GPersistableULong();
  explicit GPersistableULong(uint32_t value);
  GPersistableULong(const GPersistableULong& other);
  GPersistableULong& operator=(const GPersistableULong&) = delete;
  ~GPersistableULong() override;

  static RWClassID classIsA() { return ClassId::GPersistableULong; }
  static uint32_t version() { return 1; }

  RWBoolean isKindOf(RWClassID id) const override;
  RWBoolean matches(const MPersistentObject* other) const override;
  // By value (unsigned) within the class.
  int compareTo(const RWCollectable* other) const override;
  RWBoolean isEqual(const RWCollectable* other) const override;
  uint32_t hash() const override;

  uint32_t value() const { return value_; }

 private:
  uint32_t value_;
};

RW_DECLARE_RESTORE_OPERATORS(GPersistableULong)

// A block of bytes with its length and an owned flag.
//
// A block made over a caller's bytes uses them in place; with the owned
// flag set it frees them (they must come from new unsigned char[] or new
// char[]), otherwise never. Bytes the block allocated itself (by a copy or
// a restore) are its own to free whatever the owned flag says, until
// release hands them to the caller. The owned flag itself reads and
// stores as it was given: a copy reports 0, a restored block what was
// stored.
class GBinaryData : public MPersistentObject {
  G_PERSISTENT_CLASS(GBinaryData)

 public:
  GBinaryData();
  explicit GBinaryData(const uint32_t& id);
  GBinaryData(void* data, RWsize length, int32_t owned, const uint32_t& id = 0);
  // A fresh identity with a copy of the bytes (owned flag 0); empty when
  // they cannot be allocated. A source of length 0 passes on its pointer.
  GBinaryData(const GBinaryData& other);
  GBinaryData& operator=(const GBinaryData&) = delete;
  ~GBinaryData() override;

  static RWClassID classIsA() { return ClassId::GBinaryData; }
  static uint32_t version() { return 1; }

  // A restore does not trust the stored length: a length beyond what the
  // source still holds leaves the block empty and the source at its end,
  // and bytes that cannot be allocated are skipped.
  RWBoolean isKindOf(RWClassID id) const override;
  // Same class, id and length, and the same pointer or equal bytes.
  RWBoolean matches(const MPersistentObject* other) const override;

  // Frees the present bytes when they are the block's, then takes these.
  void setData(void* data, RWsize length, int32_t owned);
  // Hands the bytes to the caller and empties the block without freeing.
  void* release();
  // Frees the bytes when they are the block's and empties the block.
  void clear() override;

  void* data() const { return data_; }
  RWsize length() const { return length_; }
  int32_t isOwner() const { return owned_; }

  // Where the blocks' own buffers come from: answers n bytes from
  // new unsigned char[], or null when they cannot be had. Replaceable, so
  // that a failing allocation can be tried; answers the one it replaces.
  typedef unsigned char* (*Allocator)(RWsize n);
  static Allocator setAllocator(Allocator allocator);

 private:
  void readBytes(RWFile& f, RWsize n);
  void readBytes(RWvistream& s, RWsize n);
  void freeBytes();
  static unsigned char* allocate(RWsize n);

  void* data_;
  RWsize length_;
  int32_t owned_;
  bool allocatedHere_;  // bytes from a copy or a restore, freed by the block
};

RW_DECLARE_RESTORE_OPERATORS(GBinaryData)

#endif
