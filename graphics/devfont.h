#ifndef GRAPHICS_DEVFONT_H
#define GRAPHICS_DEVFONT_H

// Fonts that live in the printer (ROM, cartridge, disk, flash and memory
// module fonts).
//
// A GDeviceFontDescription says what a generator needs to pick one and
// select it: its name, the printer text that selects it, its character
// sets, weight, style, pitch and size. A GDeviceFontList holds the
// descriptions of one font source, keyed by its id (416 and 417 the ROM
// add-ons, 420 and 421 the disks, 418 and 419 the flash devices, 422, 423,
// 428 and 429 the memory modules), with two optional text tables: a code
// table from 16-bit codes (GValueAttribute keys of id 0) and an id table
// from 32-bit ids (GPersistableULong keys), each to a GStringAttribute. A
// GDeviceFontListComposite (id 414) holds a printer's lists.
//
// Stored forms, after the root level:
//   description  version (2); name; selection; u32 characterSet; u32 count
//                and that many u32 set ids; u16 weight; u32 italic, family,
//                variablePitch, scalable; i16 size; u16 code; u32
//                storageKind. Version 1 ends after size (code and
//                storageKind become 0).
//   list         version (3); u32 count and each description as a stored
//                object; u32 stamp; the code table and the id table as
//                stored objects (nil when absent). Version 1 ends after the
//                descriptions (stamp 0, no tables), version 2 after the
//                stamp (no tables).
//   composite    version (1); the embedded composite as a stored object.
// Any other version reads nothing more of its level. Font lists come from
// the printer's stored configuration, so a restore trusts no count: a level
// that cannot be read whole leaves its object as it was, memory grows only
// with what was actually read, and a restored list replaces the
// descriptions and tables it held. A description slot that holds nil or an
// object of another class is passed over; a table of another class is
// dropped.

#include <cstdint>
#include <memory>
#include <vector>

#include "core/attrids.h"
#include "core/classids.h"
#include "core/passoc.h"
#include "core/pcomposit.h"
#include "core/perobj.h"
#include "rw/cstring.h"

// The character-set ids a font supports, in order: a vector that starts
// with room for 64 and grows by 64.
class GCharacterSetList {
 public:
  static constexpr RWsize kGrowth = 64;

  GCharacterSetList();
  GCharacterSetList(const GCharacterSetList& other);
  GCharacterSetList& operator=(const GCharacterSetList& other);

  // The position of the first occurrence, or -1.
  int32_t index(uint32_t id) const;
  void insert(uint32_t id);
  RWsize occurrencesOf(uint32_t id) const;
  // The first occurrence goes: 1, or 0 when there is none.
  int remove(uint32_t id);
  // Every occurrence goes, the others keep their order; answers how many.
  RWsize removeAll(uint32_t id);
  void clear();

  RWsize entries() const { return static_cast<RWsize>(ids_.size()); }
  RWsize capacity() const { return capacity_; }
  // The id at a position below entries().
  uint32_t operator[](RWsize position) const { return ids_[position]; }
  bool operator==(const GCharacterSetList& other) const { return ids_ == other.ids_; }

  // Puts the ids in place of the present ones, room made in steps of 64.
  void assign(std::vector<uint32_t>&& ids);

 private:
  void reserveFor(RWsize n);

  std::vector<uint32_t> ids_;
  RWsize capacity_;  // the room made, in steps of 64
};

class GDeviceFontDescription : public MPersistentObject {
  G_PERSISTENT_CLASS(GDeviceFontDescription)

 public:
  // Empty texts and set list, every number 0.
  GDeviceFontDescription();
  GDeviceFontDescription(const RWCString& name, const RWCString& selection, uint32_t characterSet,
                         const GCharacterSetList& characterSets, uint16_t weight, uint32_t italic, uint32_t family,
                         uint32_t variablePitch, uint32_t scalable, int16_t size, uint16_t code,
                         uint32_t storageKind);
  GDeviceFontDescription(const GDeviceFontDescription& other);
  // Every field, id and serial number included.
  GDeviceFontDescription& operator=(const GDeviceFontDescription& other);
  ~GDeviceFontDescription() override;

  static RWClassID classIsA() { return ClassId::GDeviceFontDescription; }
  static uint32_t version() { return 2; }

  // Storage kinds.
  enum : uint32_t { kOtherStorage = 0, kRomAddOn = 1, kDisk = 2, kFlash = 3, kMemoryModule = 4 };

  RWBoolean isKindOf(RWClassID id) const override;
  // Same class and id, equal texts and numbers, and the same set ids in
  // the same order.
  RWBoolean matches(const MPersistentObject* other) const override;

  const RWCString& name() const { return name_; }
  // The printer text that selects the font.
  const RWCString& selection() const { return selection_; }
  uint32_t characterSet() const { return characterSet_; }
  const GCharacterSetList& characterSets() const { return characterSets_; }
  GCharacterSetList& characterSets() { return characterSets_; }
  uint16_t weight() const { return weight_; }
  uint32_t italic() const { return italic_; }
  // Family class: 0, 16, 32, 48, 64 or 80.
  uint32_t family() const { return family_; }
  uint32_t variablePitch() const { return variablePitch_; }
  // 0 for a fixed-size font, else its scalable technology (1, 2 or 5).
  uint32_t scalable() const { return scalable_; }
  // The height of a fixed-size font.
  int16_t size() const { return size_; }
  // The key of the list's code table for this font, 0 for none.
  uint16_t code() const { return code_; }
  uint32_t storageKind() const { return storageKind_; }

 private:
  RWCString name_;
  RWCString selection_;
  uint32_t characterSet_;
  GCharacterSetList characterSets_;
  uint16_t weight_;
  uint32_t italic_;
  uint32_t family_;
  uint32_t variablePitch_;
  uint32_t scalable_;
  int16_t size_;
  uint16_t code_;
  uint32_t storageKind_;
};

RW_DECLARE_RESTORE_OPERATORS(GDeviceFontDescription)

// What GDeviceFontList::find asks of each description, with the caller's
// value: nonzero for the one wanted.
typedef int (*GDeviceFontPredicate)(const GDeviceFontDescription& description, void* data);

class GDeviceFontList : public MPersistentObject {
  G_PERSISTENT_CLASS(GDeviceFontList)

 public:
  GDeviceFontList();
  // No descriptions, stamp 0, no tables.
  explicit GDeviceFontList(const uint32_t& key);
  // Copies of the descriptions and tables.
  GDeviceFontList(const GDeviceFontList& other);
  // Every field, id and serial number included, with copies of the
  // descriptions and tables; a list assigned to itself stays as it is.
  GDeviceFontList& operator=(const GDeviceFontList& other);
  ~GDeviceFontList() override;

  static RWClassID classIsA() { return ClassId::GDeviceFontList; }
  static uint32_t version() { return 3; }

  RWBoolean isKindOf(RWClassID id) const override;
  // Same class and id, the same table objects or equal ones, and equal
  // descriptions in the same order.
  RWBoolean matches(const MPersistentObject* other) const override;

  // Appends a copy of the description.
  void add(const GDeviceFontDescription& description);
  // Drops every description; stamp and tables stay.
  void clear() override;
  // The number of descriptions.
  RWsize entries() const override;
  // Copies the description at the index into the caller's object: 1, or
  // 0 (the object untouched) when there is none.
  int at(RWsize index, GDeviceFontDescription& description) const;
  using MPersistentObject::find;
  // 1, with the first description the predicate accepts (the list's own,
  // valid while the list is unchanged), or 0 with null.
  virtual int find(GDeviceFontPredicate predicate, void* data, const GDeviceFontDescription*& found) const;

  // The stamp of the font-set file the list was built from; 0 for none.
  uint32_t stamp() const { return stamp_; }
  void setStamp(uint32_t stamp) { stamp_ = stamp; }

  // The text the table holds for a code or an id (the table's own), or
  // null when there is none.
  const RWCString* stringForCode(uint16_t code) const;
  const RWCString* stringForId(uint32_t id) const;
  // The list takes the table (null for none) and deletes the one it held;
  // handing it the table it holds changes nothing.
  void setCodeTable(MAssociationList* table);
  void setIdTable(MAssociationList* table);
  const MAssociationList* codeTable() const { return codeTable_.get(); }
  const MAssociationList* idTable() const { return idTable_.get(); }

 private:
  typedef std::vector<std::unique_ptr<GDeviceFontDescription>> Descriptions;

  Descriptions descriptions_;
  uint32_t stamp_;
  std::unique_ptr<MAssociationList> codeTable_;
  std::unique_ptr<MAssociationList> idTable_;
};

RW_DECLARE_RESTORE_OPERATORS(GDeviceFontList)

// A printer's font lists, kept in an embedded composite that every
// composite operation forwards to.
class GDeviceFontListComposite : public MPersistentObject {
  G_PERSISTENT_CLASS(GDeviceFontListComposite)

 public:

  GDeviceFontListComposite();
  // Copies of the other's lists, id and serial number.
  GDeviceFontListComposite(const GDeviceFontListComposite& other);
  // The lists held are released and copies of the other's taken; a
  // composite assigned to itself keeps its lists.
  GDeviceFontListComposite& operator=(const GDeviceFontListComposite& other);
  ~GDeviceFontListComposite() override;

  static RWClassID classIsA() { return ClassId::GDeviceFontListComposite; }
  static uint32_t version() { return 1; }

  RWBoolean isKindOf(RWClassID id) const override;
  // Same class and id, and composites that match.
  RWBoolean matches(const MPersistentObject* other) const override;

  // ---- forwarded to the embedded composite ------------------------------------
  void insert(MPersistentObject* list) override;
  void prepend(MPersistentObject* list) override;
  MPersistentObject* removeById(const uint32_t& key) override;
  MPersistentObject* findById(const uint32_t& key) const override;
  // The list with the key, searched through nested composites too, is
  // released and a deep copy of the given one put in its place: 1, or 0
  // when no list has the key.
  int replaceById(const uint32_t& key, MPersistentObject* list) override;
  int replaceDeepById(const uint32_t& key, const MPersistentObject* list) override;
  void clear() override;
  RWBoolean isComposite() const override;
  RWsize entries() const override;
  RWsize totalEntries() const override;
  GChildIterator* createIterator() override;
  // A new composite of the same id holding deep copies of the children.
  MPersistentObject* deepCopy() const override;

  // A deep copy of every list of the other composite is appended.
  void insertCopiesOf(const GDeviceFontListComposite& other);
  // Every list of the other composite takes the place of the list with its
  // key here (a deep copy), or is prepended as a deep copy when there is
  // none.
  void merge(const GDeviceFontListComposite& other);

  const MPersistentComposite& lists() const { return lists_; }

 private:
  MPersistentComposite lists_;
};

RW_DECLARE_RESTORE_OPERATORS(GDeviceFontListComposite)

#endif
