#ifndef DEVICE_RESMAP_H
#define DEVICE_RESMAP_H

// Resource mappings and selection strings.
//
// A mapping ties a first code and a second code, which name one thing in
// two numbering schemes, to the id of a resource that belongs to it. The
// driver instance keeps a list of them and translates codes through it both
// ways; the user interface asks it for the resource of a second code. A
// selection string pairs a selector with the text the printer language uses
// for that choice.
//
// Stored forms, after the root level:
//   GResourceMapping      version (1), resourceId (u32), firstCode (u16),
//                         secondCode (i16)
//   GResourceMappingList  the composite level, then version (1)
//   GSelectionString      version (1), text, selector (i16)
// A mapping or selection string whose stored version differs keeps its
// fields. A restored list holds whatever the file holds, duplicates and
// objects of other classes included; its searches pass over everything that
// is not a mapping.

#include <cstdint>

#include "core/classids.h"
#include "core/pcomposit.h"
#include "rw/cstring.h"

class GResourceMapping : public MPersistentObject {
  G_PERSISTENT_CLASS(GResourceMapping)

 public:
  // The resource id no mapping names: 0x0FFFFFFF.
  static constexpr uint32_t noResource = 0x0FFFFFFF;

  GResourceMapping();
  GResourceMapping(uint32_t resourceId, uint16_t firstCode, int16_t secondCode, const uint32_t& id = 0);
  GResourceMapping(const GResourceMapping& other);
  GResourceMapping& operator=(const GResourceMapping& other);
  ~GResourceMapping() override;

  static RWClassID classIsA() { return ClassId::GResourceMapping; }
  static uint32_t version() { return 1; }

  RWBoolean isKindOf(RWClassID id) const override;
  // The same object; or the same class and id and all three values equal.
  RWBoolean matches(const MPersistentObject* other) const override;

  uint32_t resourceId() const { return resourceId_; }
  uint16_t firstCode() const { return firstCode_; }
  int16_t secondCode() const { return secondCode_; }

 private:
  uint32_t resourceId_;
  uint16_t firstCode_;
  int16_t secondCode_;
};

RW_DECLARE_RESTORE_OPERATORS(GResourceMapping)

class GResourceMappingList : public MPersistentComposite {
  G_PERSISTENT_CLASS(GResourceMappingList)

 public:
  explicit GResourceMappingList(const uint32_t& id = 0);
  // The mappings are shared, not copied.
  GResourceMappingList(const GResourceMappingList& other);
  GResourceMappingList& operator=(const GResourceMappingList& other);
  ~GResourceMappingList() override;

  static RWClassID classIsA() { return ClassId::GResourceMappingList; }
  static uint32_t version() { return 1; }

  RWBoolean isKindOf(RWClassID id) const override;
  RWBoolean matches(const MPersistentObject* other) const override;
  // Ignores the object, which stays the caller's: mappings enter through
  // add, which checks them.
  void insert(MPersistentObject* object) override;
  // A new list of the same id holding deep copies of the children (the
  // generic deep copy inserts, which this list ignores).
  MPersistentObject* deepCopy() const override;

  // The first mapping, in order, with that value; still the list's. Null
  // when none has it.
  GResourceMapping* findByFirstCode(uint16_t code) const;
  GResourceMapping* findBySecondCode(int16_t code) const;
  GResourceMapping* findByResourceId(uint32_t resourceId) const;
  // Take the mapping those would find out of the list; owned by the
  // caller (the mapping itself, or a copy when others still share it).
  // Null, and nothing changed, when there is none.
  GResourceMapping* removeByFirstCode(uint16_t code);
  GResourceMapping* removeBySecondCode(int16_t code);
  GResourceMapping* removeByResourceId(uint32_t resourceId);

  // Appends the mapping, which the list then holds, and answers 1; answers
  // 0 and changes nothing when a mapping with the same second code or the
  // same resource id is present (the caller keeps its mapping). The first
  // code is not checked. A null mapping is refused.
  int add(GResourceMapping* mapping);

 private:
  template <class Test>
  int32_t positionOf(Test test) const;
  GResourceMapping* at(int32_t position) const;
  GResourceMapping* removeAt(int32_t position);
};

RW_DECLARE_RESTORE_OPERATORS(GResourceMappingList)

class GSelectionString : public MPersistentObject {
  G_PERSISTENT_CLASS(GSelectionString)

 public:
  GSelectionString();
  // A null text is the empty text.
  GSelectionString(const char* text, int16_t selector, const uint32_t& id = 0);
  GSelectionString(const GSelectionString& other);
  GSelectionString& operator=(const GSelectionString& other);
  ~GSelectionString() override;

  static RWClassID classIsA() { return ClassId::GSelectionString; }
  static uint32_t version() { return 1; }

  RWBoolean isKindOf(RWClassID id) const override;
  // The same object; or the same class and id, the same selector and texts
  // of the same length and bytes.
  RWBoolean matches(const MPersistentObject* other) const override;

  const RWCString& text() const { return text_; }
  int16_t selector() const { return selector_; }

 private:
  int16_t selector_;
  RWCString text_;
};

RW_DECLARE_RESTORE_OPERATORS(GSelectionString)

#endif
