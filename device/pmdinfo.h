#ifndef DEVICE_PMDINFO_H
#define DEVICE_PMDINFO_H

// Version information and PML descriptors: two records a printer's stored
// tree may hold and that the library keeps for its users. Nothing here
// acts on them beyond storing, restoring and comparing them.
//
// Stored forms, after the root level:
//   GPMDVersionInfo  version (1), versionB, versionA (the second word
//                    first), flagWord (u16), valueA, valueB, the count of
//                    strings, then each string
//   GPMLDescriptor   version (1), name (wide string), type (i32), text
// A stored version other than 1 leaves the fields as they were. The string
// count of the version information is not trusted: reading stops at the
// first string that cannot be read.

#include <cstdint>
#include <vector>

#include "core/classids.h"
#include "core/perobj.h"
#include "rw/cstring.h"
#include "rw/wstring.h"

// An ordered list of narrow strings. Strings are equal when they have the
// same length and the same bytes. It starts with room for 64 and grows by
// 64 whenever it is full. Positions are bounds-checked: a bad one reports
// INDEXERR.
class GStringVector {
 public:
  GStringVector();
  GStringVector(const GStringVector& other);
  GStringVector& operator=(const GStringVector& other);
  virtual ~GStringVector();

  // The position of the first equal string, or -1.
  virtual int32_t index(const RWCString& text) const;
  virtual void append(const RWCString& text);
  virtual RWsize occurrencesOf(const RWCString& text) const;
  // Removes the first equal string, the later ones moving down: 1, or 0
  // when there is none.
  virtual int remove(const RWCString& text);
  // Removes every equal string, keeping the order of the rest; answers how
  // many went.
  virtual RWsize removeAll(const RWCString& text);

  // The string at a position, or null (reported) outside 0 to entries - 1.
  const RWCString* at(RWsize position) const;
  RWsize entries() const { return static_cast<RWsize>(strings_.size()); }
  RWsize capacity() const { return capacity_; }
  // Empties every entry and the list; the room goes back to 64.
  void clear();

 private:
  RWsize capacity_;
  std::vector<RWCString> strings_;
};

class GPMDVersionInfo : public MPersistentObject {
  G_PERSISTENT_CLASS(GPMDVersionInfo)

 public:
  GPMDVersionInfo();
  // valueA and valueB 0, no strings.
  GPMDVersionInfo(uint32_t versionA, uint32_t versionB, uint16_t flagWord, const uint32_t& id = 0);
  GPMDVersionInfo(const GPMDVersionInfo& other);
  GPMDVersionInfo& operator=(const GPMDVersionInfo& other);
  ~GPMDVersionInfo() override;

  static RWClassID classIsA() { return ClassId::GPMDVersionInfo; }
  static uint32_t version() { return 1; }

  RWBoolean isKindOf(RWClassID id) const override;
  // The same object; or the same class and id, the five numbers equal and
  // the same strings in the same order.
  RWBoolean matches(const MPersistentObject* other) const override;

  // The version words pack the major number in the high 16 bits and the
  // minor number in the low 16.
  uint32_t versionA() const { return versionA_; }
  uint32_t versionB() const { return versionB_; }
  uint16_t flagWord() const { return flagWord_; }
  uint32_t valueA() const { return valueA_; }
  uint32_t valueB() const { return valueB_; }
  // Each answers the new value.
  uint32_t setValueA(uint32_t v) { return valueA_ = v; }
  uint32_t setValueB(uint32_t v) { return valueB_ = v; }

  const GStringVector& strings() const { return strings_; }
  void appendString(const RWCString& text) { strings_.append(text); }
  void clearStrings() { strings_.clear(); }

  // Each answers the current minor number, then moves it on by one unless
  // it is 0xFFFF.
  uint16_t nextMinorA() { return nextMinor(versionA_); }
  uint16_t nextMinorB() { return nextMinor(versionB_); }
  // Each answers the current major number, then, unless it is 0xFFFF,
  // moves it on by one with the minor number back at 0.
  uint16_t nextMajorA() { return nextMajor(versionA_); }
  uint16_t nextMajorB() { return nextMajor(versionB_); }

 private:
  static uint16_t nextMinor(uint32_t& word);
  static uint16_t nextMajor(uint32_t& word);

  uint32_t versionA_;
  uint32_t versionB_;
  uint16_t flagWord_;
  uint32_t valueA_;
  uint32_t valueB_;
  GStringVector strings_;
};

RW_DECLARE_RESTORE_OPERATORS(GPMDVersionInfo)

// A named entry: descriptors are ordered and matched by name alone.
class GPMLDescriptor : public MPersistentObject {
  G_PERSISTENT_CLASS(GPMLDescriptor)

 public:
  GPMLDescriptor();
  GPMLDescriptor(const RWWString& name, int32_t type);
  GPMLDescriptor(const RWWString& name, int32_t type, const RWCString& text);
  GPMLDescriptor(const GPMLDescriptor& other);
  GPMLDescriptor& operator=(const GPMLDescriptor& other);
  ~GPMLDescriptor() override;

  static RWClassID classIsA() { return ClassId::GPMLDescriptor; }
  static uint32_t version() { return 1; }

  RWBoolean isKindOf(RWClassID id) const override;
  // The same class and id and equal names; type and text do not count.
  RWBoolean matches(const MPersistentObject* other) const override;
  // True when this name sorts before the other's, case counting.
  RWBoolean lessThan(const GPMLDescriptor& other) const;

  void setNameAndType(const RWWString& name, int32_t type);
  void setText(const RWCString& text) { text_ = text; }
  const RWWString& name() const { return name_; }
  int32_t type() const { return type_; }
  const RWCString& text() const { return text_; }

 private:
  RWWString name_;
  int32_t type_;
  RWCString text_;
};

RW_DECLARE_RESTORE_OPERATORS(GPMLDescriptor)

#endif
