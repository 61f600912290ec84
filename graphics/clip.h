#ifndef GRAPHICS_CLIP_H
#define GRAPHICS_CLIP_H

// Where drawing may mark the page: the clip member of the graphics state
// (bundle key 177). Every clip class answers the clips' kind, so any clip
// replaces any other in a bundle: the whole page, one rectangle, a list of
// rectangles, or a path.
//
// Besides its area a clip carries a fill rule (how the inside of the area
// is decided) and a region (whether drawing is kept inside or outside it):
//
//   fill rule  0 even-odd, 1 non-zero winding
//   region     0 keep what is inside, 1 keep what is outside
//
// Other values are kept as they are: a generator then leaves its clip mode
// as it is (fill rule) or clips to the inside (region). A clip made without
// values has both at 2, which no generator supports; every constructor
// that takes values sets both. Generators read the rectangles through
// count and rectangleAt, or rectangle, and a clip's extent through bounds.
//
// A clip matches one of the same class, key, fill rule and region whose
// area is the same: the same rectangles in the same order, or paths that
// match (or none in both). Assigning a clip to another copies the area
// only: the target keeps its key, fill rule and region.
//
// Stored forms, each after its base's: GClipAttribute a version word (1),
// the fill rule and the region (i32 each); GClipToPage a version word (1);
// GClipToRectangle a version word (1), the count (u32) and each rectangle
// as left, top, right, bottom (i16 each); GClipToSingleRectangle a version
// word (1) and its rectangle as four i16. A level whose version differs, or
// that is cut short, keeps what the clip held: a restored rectangle list
// replaces the list only when every rectangle the count names was read,
// and the list grows only with rectangles that arrive, whatever the count.

#include <cstdint>
#include <vector>

#include "core/geometry.h"
#include "graphics/gattrib.h"

// Abstract (accept): not registered with the factory; isA is its own.
class GClipAttribute : public GGraphicAttribute {
  G_PERSISTENT_LEVEL(GClipAttribute)

 public:
  // Fill rule 2 and region 2 (neither supported), id 0.
  GClipAttribute();
  GClipAttribute(int32_t region, int32_t fillRule, const uint32_t& key);
  GClipAttribute(const GClipAttribute& other);
  ~GClipAttribute() override;

  static RWClassID classIsA() { return ClassId::GClipAttribute; }
  static uint32_t version() { return 1; }
  RWClassID isA() const override;
  RWBoolean isKindOf(RWClassID id) const override;
  RWClassID kind() const override { return kClipFamily; }
  // The part every clip compares: key, fill rule and region. Each class
  // adds its class and its area.
  RWBoolean matches(const MPersistentObject* other) const override;

  // Writes the smallest rectangle that holds the clip's area into out and
  // answers 1; answers 0, out untouched, when the clip has no bounds.
  virtual int32_t bounds(GRect& out) const = 0;

  int32_t region() const { return region_; }
  int32_t fillRule() const { return fillRule_; }
  void setRegion(int32_t region) { region_ = region; }
  void setFillRule(int32_t fillRule) { fillRule_ = fillRule; }

  // Each class assigns its area only, the key, fill rule and region of
  // the target staying: there is no assignment of the shared part.
  GClipAttribute& operator=(const GClipAttribute&) = delete;

 private:
  int32_t fillRule_;
  int32_t region_;
};

RW_DECLARE_RESTORE_OPERATORS(GClipAttribute)

class GClipToPage : public GClipAttribute {
  G_PERSISTENT_CLASS(GClipToPage)

 public:
  // Inside (0), non-zero winding (1), under the bundle's clip key (177).
  GClipToPage();
  // The same under another key.
  explicit GClipToPage(const uint32_t& key);
  GClipToPage(const GClipToPage& other);
  GClipToPage& operator=(const GClipToPage& other);
  ~GClipToPage() override;

  static RWClassID classIsA() { return ClassId::GClipToPage; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  RWBoolean matches(const MPersistentObject* other) const override;
  GStatus accept(GPeripheralHandlers& visitor) override;
  // The page has no bounds of its own here: 0.
  int32_t bounds(GRect& out) const override;
};

RW_DECLARE_RESTORE_OPERATORS(GClipToPage)

class GClipToRectangle : public GClipAttribute {
  G_PERSISTENT_CLASS(GClipToRectangle)

 public:
  // No rectangles, base defaults, id 0.
  GClipToRectangle();
  // A list of the one rectangle.
  GClipToRectangle(const GRect& rectangle, int32_t region, int32_t fillRule, const uint32_t& key = 0);
  // A list of the rectangles, in order.
  GClipToRectangle(const std::vector<GRect>& rectangles, int32_t region, int32_t fillRule, const uint32_t& key = 0);
  GClipToRectangle(const GClipToRectangle& other);
  GClipToRectangle& operator=(const GClipToRectangle& other);
  ~GClipToRectangle() override;

  static RWClassID classIsA() { return ClassId::GClipToRectangle; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  RWBoolean matches(const MPersistentObject* other) const override;
  GStatus accept(GPeripheralHandlers& visitor) override;
  // The union of the rectangles: the smallest left and top, the largest
  // right and bottom. An empty list is reported as an index error for its
  // element 0 and answers 0.
  int32_t bounds(GRect& out) const override;

  uint32_t count() const { return static_cast<uint32_t>(rectangles_.size()); }
  // Writes rectangle index into out, or four zeros when index is not below
  // count.
  void rectangleAt(uint32_t index, GRect& out) const;

 private:
  std::vector<GRect> rectangles_;
};

RW_DECLARE_RESTORE_OPERATORS(GClipToRectangle)

class GClipToSingleRectangle : public GClipAttribute {
  G_PERSISTENT_CLASS(GClipToSingleRectangle)

 public:
  // Rectangle (0, 0, 0, 0), base defaults, id 0.
  GClipToSingleRectangle();
  GClipToSingleRectangle(const GRect& rectangle, int32_t region, int32_t fillRule, const uint32_t& key = 0);
  GClipToSingleRectangle(const GClipToSingleRectangle& other);
  GClipToSingleRectangle& operator=(const GClipToSingleRectangle& other);
  ~GClipToSingleRectangle() override;

  static RWClassID classIsA() { return ClassId::GClipToSingleRectangle; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  RWBoolean matches(const MPersistentObject* other) const override;
  GStatus accept(GPeripheralHandlers& visitor) override;
  // The rectangle.
  int32_t bounds(GRect& out) const override;

  const GRect& rectangle() const { return rectangle_; }
  void setRectangle(const GRect& rectangle) { rectangle_ = rectangle; }

 private:
  GRect rectangle_;
};

RW_DECLARE_RESTORE_OPERATORS(GClipToSingleRectangle)

#endif
