#ifndef CORE_VALATTR_H
#define CORE_VALATTR_H

// Leaf attributes that carry one setting each: a 16-bit number, a 32-bit
// word, a 16-bit number held in a range, and a narrow text. What a setting
// means is up to the code that looks it up by its attribute id.
//
// Stored forms, after the attribute level: a version word (1), then
//   GValueAttribute    i16 value
//   GValue32Attribute  u32 value
//   GRangeAttribute    i16 minimum, maximum, step, value
//   GStringAttribute   the text (u32 length, bytes)
// A stored version other than 1 leaves the fields as they were, and a
// stored range is taken as it is, without clamping.

#include <cstdint>

#include "core/attrib.h"
#include "core/classids.h"
#include "rw/cstring.h"

class GValueAttribute : public GAttribute {
  G_PERSISTENT_CLASS(GValueAttribute)

 public:
  GValueAttribute();
  GValueAttribute(int16_t value, const uint32_t& id);
  GValueAttribute(const GValueAttribute& other);
  GValueAttribute& operator=(const GValueAttribute& other);
  ~GValueAttribute() override;

  static RWClassID classIsA() { return ClassId::GValueAttribute; }
  static uint32_t version() { return 1; }

  RWBoolean isKindOf(RWClassID id) const override;
  // Same class, id and value; the changed flag and serial number do not
  // count.
  RWBoolean matches(const MPersistentObject* other) const override;
  // GValueAttribute's own class ID, in every subclass too.
  RWClassID kind() const override;
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;

  int16_t value() const { return value_; }
  void setValue(int16_t v) { value_ = v; }
  void setBool(int flag) { value_ = flag != 0 ? 1 : 0; }
  int isNonZero() const { return value_ != 0 ? 1 : 0; }
  int isZero() const { return value_ == 0 ? 1 : 0; }

 private:
  int16_t value_;
};

RW_DECLARE_RESTORE_OPERATORS(GValueAttribute)

class GValue32Attribute : public GAttribute {
  G_PERSISTENT_CLASS(GValue32Attribute)

 public:
  GValue32Attribute();
  GValue32Attribute(uint32_t value, const uint32_t& id);
  GValue32Attribute(const GValue32Attribute& other);
  GValue32Attribute& operator=(const GValue32Attribute& other);
  ~GValue32Attribute() override;

  static RWClassID classIsA() { return ClassId::GValue32Attribute; }
  static uint32_t version() { return 1; }

  RWBoolean isKindOf(RWClassID id) const override;
  RWBoolean matches(const MPersistentObject* other) const override;
  RWClassID kind() const override;
  // No stage has a handler for it: answers 0 and visits nothing.
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;

  uint32_t value() const { return value_; }
  void setValue(uint32_t v) { value_ = v; }

 private:
  uint32_t value_;
};

RW_DECLARE_RESTORE_OPERATORS(GValue32Attribute)

// A number kept between a minimum and a maximum and moved by a step. The
// setters of the bounds and of the step do not move the value; the next
// setValue, increment or decrement brings it back into range. Arithmetic
// wraps in 16 bits before the value is clamped.
class GRangeAttribute : public GAttribute {
  G_PERSISTENT_CLASS(GRangeAttribute)

 public:
  GRangeAttribute();
  // A maximum below the minimum becomes the minimum, the value is clamped,
  // and a step of 0 becomes 1.
  GRangeAttribute(int16_t minimum, int16_t maximum, int16_t step, int16_t value, const uint32_t& id);
  GRangeAttribute(const GRangeAttribute& other);
  GRangeAttribute& operator=(const GRangeAttribute& other);
  ~GRangeAttribute() override;

  static RWClassID classIsA() { return ClassId::GRangeAttribute; }
  static uint32_t version() { return 1; }

  RWBoolean isKindOf(RWClassID id) const override;
  RWBoolean matches(const MPersistentObject* other) const override;
  RWClassID kind() const override;
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;

  int16_t minimum() const { return minimum_; }
  int16_t maximum() const { return maximum_; }
  int16_t step() const { return step_; }
  int16_t value() const { return value_; }

  // The minimum, or the maximum when v lies above it.
  void setMinimum(int16_t v);
  // The maximum, or the minimum when v lies below it.
  void setMaximum(int16_t v);
  // Any step, 0 included (the value then stays where it is).
  void setStep(int16_t v) { step_ = v; }
  void setValue(int16_t v);
  void increment();
  void decrement();
  int contains(int16_t v) const { return minimum_ <= v && v <= maximum_ ? 1 : 0; }

 private:
  int16_t minimum_;
  int16_t maximum_;
  int16_t step_;
  int16_t value_;
};

RW_DECLARE_RESTORE_OPERATORS(GRangeAttribute)

class GStringAttribute : public GAttribute {
  G_PERSISTENT_CLASS(GStringAttribute)

 public:
  GStringAttribute();
  // A null text is the empty text.
  GStringAttribute(const char* text, const uint32_t& id);
  GStringAttribute(const RWCString& text, const uint32_t& id);
  GStringAttribute(const GStringAttribute& other);
  GStringAttribute& operator=(const GStringAttribute& other);
  ~GStringAttribute() override;

  static RWClassID classIsA() { return ClassId::GStringAttribute; }
  static uint32_t version() { return 1; }

  RWBoolean isKindOf(RWClassID id) const override;
  // Same class and id, and texts of the same length and bytes.
  RWBoolean matches(const MPersistentObject* other) const override;
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;

  const RWCString& value() const { return value_; }
  void setValue(const RWCString& text) { value_ = text; }
  void setValue(const char* text);

 private:
  RWCString value_;
};

RW_DECLARE_RESTORE_OPERATORS(GStringAttribute)

#endif
