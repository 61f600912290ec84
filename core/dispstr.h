#ifndef CORE_DISPSTR_H
#define CORE_DISPSTR_H

// Names shown to the user: a 16-bit string identifier, by which the user
// interface can take the text from its own resources, and two texts.
// GDisplayStringAttribute holds one under an attribute id.
//
// Stored form of GDisplayString, after the root level: a version word (1),
// the second text, the text (each a 32-bit length and the bytes) and the
// string id (16 bits); the second text comes first, and a text cut short
// ends the level. The attribute stores,
// after its attribute level, a version word (1) and its display string as
// a whole object with its class tag.

#include <cstdint>

#include "core/attrib.h"
#include "core/classids.h"
#include "rw/cstring.h"

class GDisplayString : public MPersistentObject {
  G_PERSISTENT_CLASS(GDisplayString)

 public:
  GDisplayString();
  // A null text is the empty text.
  GDisplayString(uint16_t stringId, const char* text, const char* secondText);
  // Id, serial number, string id and both texts.
  GDisplayString(const GDisplayString& other);
  GDisplayString& operator=(const GDisplayString& other);
  ~GDisplayString() override;

  static RWClassID classIsA() { return ClassId::GDisplayString; }
  static uint32_t version() { return 1; }

  RWBoolean isKindOf(RWClassID id) const override;
  // Same class, id and string id, and both texts equal.
  RWBoolean matches(const MPersistentObject* other) const override;

  uint16_t stringId() const { return stringId_; }
  void setStringId(uint16_t id) { stringId_ = id; }
  const RWCString& text() const { return text_; }
  void setText(const RWCString& text) { text_ = text; }
  const RWCString& secondText() const { return secondText_; }
  void setSecondText(const RWCString& text) { secondText_ = text; }

 private:
  uint16_t stringId_;
  RWCString text_;
  RWCString secondText_;
};

RW_DECLARE_RESTORE_OPERATORS(GDisplayString)

class GDisplayStringAttribute : public GAttribute {
  G_PERSISTENT_CLASS(GDisplayStringAttribute)

 public:
  GDisplayStringAttribute();
  GDisplayStringAttribute(const uint32_t& id, uint16_t stringId, const char* text, const char* secondText);
  // Attribute id 0.
  GDisplayStringAttribute(uint16_t stringId, const char* text, const char* secondText);
  GDisplayStringAttribute(const GDisplayStringAttribute& other);
  GDisplayStringAttribute& operator=(const GDisplayStringAttribute& other);
  ~GDisplayStringAttribute() override;

  static RWClassID classIsA() { return ClassId::GDisplayStringAttribute; }
  static uint32_t version() { return 1; }

  RWBoolean isKindOf(RWClassID id) const override;
  // Same class and attribute id, and matching display strings.
  RWBoolean matches(const MPersistentObject* other) const override;
  // No stage has a handler for it: answers 0 and visits nothing.
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;

  GDisplayString& displayString() { return displayString_; }
  const GDisplayString& displayString() const { return displayString_; }
  // Takes over the other's id and serial number too.
  void setDisplayString(const GDisplayString& other) { displayString_ = other; }

 private:
  GDisplayString displayString_;
};

RW_DECLARE_RESTORE_OPERATORS(GDisplayStringAttribute)

#endif
