#ifndef GRAPHICS_TESTS_GRAPHFIX_H
#define GRAPHICS_TESTS_GRAPHFIX_H

// Graphics-state attributes standing in for the families whose classes are
// still to come (pens, brushes, caps, joins, clips, fill mode, raster
// operation): each answers the family kind it is made with and holds one
// value. TestGraphic and TestOtherGraphic are two classes, so that a member
// can be replaced by another class of its family, as a pen by a no-pen.
//
// Both are registered with the factory (IDs in the tests' range, apart
// from the test kit's), so that bundles holding them store and restore.
// Stored level of TestGraphic after the graphics-state level: version (1),
// the family as a 16-bit value, the value as a 32-bit long. TestOtherGraphic
// stores nothing of its own.

#include <cstdint>
#include <vector>

#include "graphics/gattrib.h"

namespace GraphicsTestId {

constexpr RWClassID TestGraphic = 0x7A01;
constexpr RWClassID TestOtherGraphic = 0x7A02;

}  // namespace GraphicsTestId

class TestGraphic : public GGraphicAttribute {
  G_PERSISTENT_CLASS(TestGraphic)

 public:
  TestGraphic();
  // Id 0: a bundle's setter gives it its key.
  TestGraphic(RWClassID family, int32_t value);
  TestGraphic(const TestGraphic& other);
  ~TestGraphic() override;

  static RWClassID classIsA() { return GraphicsTestId::TestGraphic; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  RWClassID kind() const override { return family_; }
  // Same class, key, family and value.
  RWBoolean matches(const MPersistentObject* other) const override;
  // Logs itself in accepted, then calls the handler of its family (given
  // no object: the family's class does not exist yet). A handler that
  // answers 0 has consumed it, as a generator does: its changed flag is
  // cleared.
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;

  int32_t value() const { return value_; }

  static inline int destroyed = 0;
  static inline std::vector<const MPersistentObject*> accepted;

 private:
  RWClassID family_;
  int32_t value_;
};

RW_DECLARE_RESTORE_OPERATORS(TestGraphic)

class TestOtherGraphic : public TestGraphic {
  G_PERSISTENT_CLASS(TestOtherGraphic)

 public:
  TestOtherGraphic() = default;
  TestOtherGraphic(RWClassID family, int32_t value) : TestGraphic(family, value) {}
  TestOtherGraphic(const TestOtherGraphic& other) = default;
  ~TestOtherGraphic() override;

  static RWClassID classIsA() { return GraphicsTestId::TestOtherGraphic; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
};

RW_DECLARE_RESTORE_OPERATORS(TestOtherGraphic)

#endif
