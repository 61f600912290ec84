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
// A path clip owns its path: copies of the clip hold copies of it, and a
// clip holds the one it is given or restores through a counted reference,
// so that a stored graph that also shares the path with a counted holder
// frees it once.
//
// Stored forms, each after its base's: GClipAttribute a version word (1),
// the fill rule and the region (i32 each); GClipToPage a version word (1);
// GClipToPath a version word (1) and the path as a stored object (nil when
// there is none);
// GClipToRectangle a version word (1), the count (u32) and each rectangle
// as left, top, right, bottom (i16 each); GClipToSingleRectangle a version
// word (1) and its rectangle as four i16. A level whose version differs, or
// that is cut short, keeps what the clip held: a restored rectangle list
// replaces the list only when every rectangle the count names was read,
// and the list grows only with rectangles that arrive, whatever the count.
// A restored path replaces the path held (nil, or an object that is no
// path, leaves none); a stored reference to a path read earlier gives the
// clip a copy of it, and one to a path still being restored around the
// clip is reported as a bad reference and gives none.

#include <cstdint>
#include <vector>

#include "core/cntdptr.h"
#include "core/geometry.h"
#include "graphics/gattrib.h"

class GPathGraphic;

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
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;
  // The page has no bounds of its own here: 0.
  int32_t bounds(GRect& out) const override;
};

RW_DECLARE_RESTORE_OPERATORS(GClipToPage)

class GClipToPath : public GClipAttribute {
  G_PERSISTENT_CLASS(GClipToPath)

 public:
  // No path, base defaults, id 0.
  GClipToPath();
  // Takes charge of the path (null: none).
  GClipToPath(GPathGraphic* path, int32_t region, int32_t fillRule, const uint32_t& key = 0);
  // A copy of the other's path.
  GClipToPath(const GClipToPath& other);
  // A copy of the other's path in place of the one held; assigning a clip
  // to itself changes nothing.
  GClipToPath& operator=(const GClipToPath& other);
  ~GClipToPath() override;

  static RWClassID classIsA() { return ClassId::GClipToPath; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // The shared part, and paths that match or none in both.
  RWBoolean matches(const MPersistentObject* other) const override;
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;
  // The path's bounding box; 0 without a path.
  int32_t bounds(GRect& out) const override;

  // The path, still the clip's, or null.
  GPathGraphic* path() const;

 private:
  GCountedRef path_;
};

RW_DECLARE_RESTORE_OPERATORS(GClipToPath)

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
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;
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
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;
  // The rectangle.
  int32_t bounds(GRect& out) const override;

  const GRect& rectangle() const { return rectangle_; }
  void setRectangle(const GRect& rectangle) { rectangle_ = rectangle; }

 private:
  GRect rectangle_;
};

RW_DECLARE_RESTORE_OPERATORS(GClipToSingleRectangle)

#endif
