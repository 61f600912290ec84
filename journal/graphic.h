#ifndef JOURNAL_GRAPHIC_H
#define JOURNAL_GRAPHIC_H

// The base of every drawing command.
//
// A graphic's attribute is the graphic bundle it is drawn with (brush, pen,
// caps and joins, clip, fill mode, raster operation), stamped with the
// graphic group's id (244): a stage files it into its graphic group before
// it dispatches the graphic. A graphic made without a bundle has no
// attribute; offered anything but a bundle, it refuses it (deleting it
// unless a counted holder shares it) and keeps the bundle it has.
//
// Stored form of this level, after the command's: version (1), nothing
// more.

#include <cstdint>

#include "journal/command.h"

class GGraphicBundle;

// Abstract (accept): never registered with the factory; isA is its own.
class GGraphic : public GCommand {
  G_PERSISTENT_LEVEL(GGraphic)

 public:
  explicit GGraphic(const uint32_t& id = 0);
  // The bundle (null: none) is held and stamped 244, without the class
  // check of setAttribute.
  GGraphic(GGraphicBundle* bundle, const uint32_t& id);
  GGraphic(const GGraphic& other);
  GGraphic& operator=(const GGraphic& other);
  ~GGraphic() override;

  static RWClassID classIsA() { return ClassId::GGraphic; }
  static uint32_t version() { return 1; }
  RWClassID isA() const override;
  RWBoolean isKindOf(RWClassID id) const override;
  // A graphic bundle is stamped 244 and held, null leaves none; anything
  // else is refused.
  void setAttribute(MPersistentObject* attribute) override;
};

RW_DECLARE_RESTORE_OPERATORS(GGraphic)

#endif
