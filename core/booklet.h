#ifndef CORE_BOOKLET_H
#define CORE_BOOKLET_H

// A booklet option entry: a selector, a second number and a list of 16-bit
// choices. A configuration keeps several of them under one composite
// attribute; the user interface takes the entry whose selector equals the
// current value of a setting and offers its values, in order, as that
// setting's choices.
//
// Stored form, after the attribute level: version (2), i16 selector, i16
// second number, u32 count and the values as i16 in order. Restoring takes
// the two numbers before it looks at the version; a version above 2 then
// reads nothing more and the list stays as it was.

#include <cstdint>

#include "core/attrib.h"
#include "core/classids.h"
#include "rw/islist.h"

class GBookletComposite : public GAttribute {
  G_PERSISTENT_CLASS(GBookletComposite)

 public:
  // Attribute id 0, both numbers 0 and no values: the class factory makes
  // one only to restore it at once.
  GBookletComposite();
  // Attribute id 0 and no values.
  GBookletComposite(int16_t selector, int16_t second);
  // The attribute part, both numbers and a list of its own with the same
  // values.
  GBookletComposite(const GBookletComposite& other);
  GBookletComposite& operator=(const GBookletComposite& other);
  ~GBookletComposite() override;

  static RWClassID classIsA() { return ClassId::GBookletComposite; }
  static uint32_t version() { return 2; }

  RWBoolean isKindOf(RWClassID id) const override;
  // Same class, id, selector and values in the same order; the second
  // number, the serial number and the changed flag do not count.
  RWBoolean matches(const MPersistentObject* other) const override;
  // Null, not an empty iterator: the entry is a leaf, and walkers ask
  // isComposite before they iterate.
  GChildIterator* createIterator() override;
  // No stage handles booklet entries: answers 1 and visits nothing.
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;

  // Inert operations kept so that the table of virtual operations, which
  // code outside this library builds on, keeps its shape. Nothing calls
  // them.
  virtual int32_t reservedQuery() const;
  virtual void reservedNotify(int32_t argument);
  virtual int32_t reservedEnabled() const;
  virtual void reservedReset();

  // The value at a 0-based index, or -1 for any index outside the list
  // (negative ones and every index of an empty list included).
  virtual int16_t valueAt(int32_t index) const;

  int16_t selector() const { return selector_; }
  int16_t second() const { return second_; }
  int16_t valueCount() const { return static_cast<int16_t>(values_.entries()); }

  // Appends the first value, then the second.
  void appendPair(int16_t first, int16_t second);

 private:
  struct ValueLink : RWIsvSlink {
    explicit ValueLink(int16_t v) : value(v) {}
    int16_t value;
  };

  void append(int16_t value);
  void copyValues(const GBookletComposite& other);
  void freeValues();
  const ValueLink* firstValue() const { return static_cast<const ValueLink*>(values_.first()); }
  const ValueLink* nextValue(const ValueLink* link) const;

  int16_t second_;
  int16_t selector_;
  RWIsvSlist values_;  // of ValueLink, owned
};

RW_DECLARE_RESTORE_OPERATORS(GBookletComposite)

#endif
