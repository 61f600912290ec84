#ifndef DEVICE_CAPABIL_H
#define DEVICE_CAPABIL_H

// A set of capability numbers, kept as a bit vector: number n is bit n.
// A configuration holds such sets under attribute ids, and the device, the
// generators and the user interface ask them whether a capability is there.
// The set only grows (set, setMany); clear never shrinks it.
//
// Stored form, after the root level: version (1), the bit count (the int
// operations), then (count + 7) / 8 bytes in the vector's byte order when
// the count is above 0. A stored count of 0 keeps the bits the object had.
//
// Sizes are taken in 64 bits: the vector holds at most 0xFFFFFFFF bits, so
// set(0xFFFFFFFF) cannot be done and is refused, as is any growth the
// memory cannot hold; the set is then left as it was. A restored count is
// believed only as far as the bytes that follow it: when they run short,
// the read fails and the object keeps its bits.

#include <cstdint>

#include "core/classids.h"
#include "core/perobj.h"
#include "rw/bitvec.h"

class GCapabilities : public MPersistentObject {
  G_PERSISTENT_CLASS(GCapabilities)

 public:
  explicit GCapabilities(const uint32_t& id = 0);
  // size bits, all clear; a size of 0xFFFFFFFF is taken.
  GCapabilities(const uint32_t& id, uint32_t size);
  // Then set(number) / setMany(list, count).
  GCapabilities(const uint32_t& id, uint32_t size, uint32_t number);
  GCapabilities(const uint32_t& id, uint32_t size, const uint32_t* list, uint16_t count);
  GCapabilities(const GCapabilities& other);
  GCapabilities& operator=(const GCapabilities& other);
  ~GCapabilities() override;

  static RWClassID classIsA() { return ClassId::GCapabilities; }
  static uint32_t version() { return 1; }

  RWBoolean isKindOf(RWClassID id) const override;
  // The same object; or the same class and id and equal bits.
  RWBoolean matches(const MPersistentObject* other) const override;

  // Grows the set to number + 1 bits when the number lies beyond it, then
  // sets the bit. 1 when the number is in the set afterwards; 0 when the
  // set cannot grow that far, and nothing changed.
  int set(uint32_t number);
  // Grows the set to hold the largest number, then sets every listed bit;
  // an empty (or null) list changes nothing. 0, and nothing changed, when
  // the set cannot grow that far.
  int setMany(const uint32_t* list, uint16_t count);
  // Numbers beyond the set are ignored.
  void clear(uint32_t number);
  void clearMany(const uint32_t* list, uint16_t count);

  uint32_t size() const { return bits_.length(); }
  // The number of set bits.
  uint32_t count() const;
  RWBoolean contains(uint32_t number) const;
  // 1 when every listed number lies within the set (an empty list too).
  int inRange(const uint32_t* list, uint16_t count) const;
  // 1 when every listed number is within the set and set (an empty list
  // too); 0 when one lies beyond the set.
  int all(const uint32_t* list, uint16_t count) const;
  // 1 when some listed number is within the set and set; 0 for an empty
  // list.
  int any(const uint32_t* list, uint16_t count) const;

  const RWBitVec& bits() const { return bits_; }

  // The root's clear() (which does nothing to a leaf) stays in view beside
  // the numbered one.
  using MPersistentObject::clear;

 private:
  // Grows the vector to hold bit `highest`; false, with nothing changed,
  // when it cannot.
  bool growToHold(uint32_t highest);

  RWBitVec bits_;
};

RW_DECLARE_RESTORE_OPERATORS(GCapabilities)

#endif
