#ifndef DEVICE_FORMTRAY_H
#define DEVICE_FORMTRAY_H

// The form-to-tray database: for each paper form, the tray that holds it
// and the media type loaded with it. A form without an association falls
// back to the default tray (0) and the default media type (11913). The
// user interface edits it; the kernel-mode layer reads it.
//
// Stored forms, after the attribute level:
//   GFormToTrayAssociation  version (1), then the tray, the form and the
//                           media type, each a value attribute stored as an
//                           object (class tag and fields)
//   GFormToTrayDatabase     version (1), then the associations' attribute
//                           composite in its own stored form, with no class
//                           tag before it; the defaults are not stored
// A stored version other than 1 leaves the object as it was.
//
// A restored database holds whatever the file holds: its searches pass over
// children that are not associations. An association whose stored member is
// missing, or is not a value attribute, reads that member as 0.

#include <cstdint>
#include <memory>

#include "core/attrib.h"
#include "core/classids.h"
#include "core/valattr.h"

class GFormToTrayAssociation : public GAttribute {
  G_PERSISTENT_CLASS(GFormToTrayAssociation)

 public:
  GFormToTrayAssociation();
  GFormToTrayAssociation(int16_t form, int16_t tray, int16_t mediaType);
  GFormToTrayAssociation(const GFormToTrayAssociation& other);
  GFormToTrayAssociation& operator=(const GFormToTrayAssociation& other);
  ~GFormToTrayAssociation() override;

  static RWClassID classIsA() { return ClassId::GFormToTrayAssociation; }
  static uint32_t version() { return 1; }

  RWBoolean isKindOf(RWClassID id) const override;
  // The same class and id, and each member matching its counterpart.
  RWBoolean matches(const MPersistentObject* other) const override;
  // No stage handles it: answers 1 and visits nothing.
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;

  int16_t form() const { return form_->value(); }
  int16_t tray() const { return tray_->value(); }
  int16_t mediaType() const { return mediaType_->value(); }

 private:
  // Never null: a member the file does not hold as a value attribute is
  // restored as a new one of value 0.
  std::unique_ptr<GValueAttribute> tray_;
  std::unique_ptr<GValueAttribute> form_;
  std::unique_ptr<GValueAttribute> mediaType_;
};

RW_DECLARE_RESTORE_OPERATORS(GFormToTrayAssociation)

class GFormToTrayDatabase : public GAttribute {
  G_PERSISTENT_CLASS(GFormToTrayDatabase)

 public:
  static constexpr int16_t defaultMediaType = 11913;
  static constexpr int16_t defaultTray = 0;

  GFormToTrayDatabase();
  explicit GFormToTrayDatabase(const uint32_t& id);
  // The copy shares the associations.
  GFormToTrayDatabase(const GFormToTrayDatabase& other);
  GFormToTrayDatabase& operator=(const GFormToTrayDatabase& other);
  ~GFormToTrayDatabase() override;

  static RWClassID classIsA() { return ClassId::GFormToTrayDatabase; }
  static uint32_t version() { return 1; }

  RWBoolean isKindOf(RWClassID id) const override;
  // The same class and id and matching association composites; the
  // defaults are not compared.
  RWBoolean matches(const MPersistentObject* other) const override;
  // No stage handles it: answers 1 and visits nothing.
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;
  // Removes every association.
  void clear() override;

  // The first association, in order, with that value; still the
  // database's. Null when none has it.
  GFormToTrayAssociation* findByForm(int16_t form) const;
  GFormToTrayAssociation* findByMediaType(int16_t mediaType) const;
  GFormToTrayAssociation* findByTray(int16_t tray) const;

  // The form's tray and media type, else the defaults.
  int16_t trayFor(int16_t form) const;
  int16_t mediaTypeFor(int16_t form) const;
  int hasForm(int16_t form) const;
  // The media type of the first association naming the tray, and the tray
  // of the first naming the media type; else the defaults.
  int16_t mediaTypeForTray(int16_t tray) const;
  int16_t trayForMediaType(int16_t mediaType) const;
  // The first tray (media type) that is not the default, else the default.
  int16_t firstAssignedTray() const;
  int16_t firstAssignedMediaType() const;
  int usesTray(int16_t tray) const;
  int usesMediaType(int16_t mediaType) const;
  // 1 when one association names both.
  int usesTrayWithMediaType(int16_t tray, int16_t mediaType) const;
  // 1 when some association has a tray or a media type that is not the
  // default.
  int hasNonDefault() const;

  // Gives the form this tray and media type: its associations go, and a new
  // one is appended, so the form has exactly one.
  void assign(int16_t form, int16_t tray, int16_t mediaType);
  // Removes the form's first association: 1, or 0 when it has none.
  int removeForm(int16_t form);
  // assign with the default tray and media type.
  void resetForm(int16_t form);

  const GAttributeComposite& associations() const { return associations_; }

 private:
  template <class Test>
  GFormToTrayAssociation* first(Test test) const;

  int16_t defaultMediaType_;
  int16_t defaultTray_;
  GAttributeComposite associations_;
};

RW_DECLARE_RESTORE_OPERATORS(GFormToTrayDatabase)

#endif
