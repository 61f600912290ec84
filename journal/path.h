#ifndef JOURNAL_PATH_H
#define JOURNAL_PATH_H

// The path drawn by the graphics engine's path calls: a list of pieces
// (point-list shapes and nested paths), optionally closed, that stages
// treat as one drawing command.
//
// The device makes one path per engine path, carrying the graphic bundle,
// with one nested path (without bundle) per sub-path: a poly-line or
// poly-Bezier for the sub-path's first segment record, then a poly-line-to
// or poly-Bezier-to for each record that continues it; a sub-path whose
// figure the engine closes is marked closed.
//
// A path is a graphic composite whose pieces stages never walk into: it
// answers that it is no composite and hands out an empty iterator, so a
// stage dispatches it whole, once, to its path handler. Its pieces stay
// within reach of the finds, collections, counts and takeOwnership it
// passes to its member list.
//
// Stored form of its level, after the graphic composite's: version (1),
// the closed flag (a 32-bit int).

#include <cstdint>

#include "core/geometry.h"
#include "journal/cmdcomp.h"

class GPathGraphic : public GGraphicComposite {
  G_PERSISTENT_CLASS(GPathGraphic)

 public:
  // Without bundle, not closed.
  GPathGraphic();
  // An empty path, not closed; the bundle (null: none) held and stamped
  // 244.
  GPathGraphic(GGraphicBundle* bundle, const uint32_t& id);
  // The pieces shared.
  GPathGraphic(const GPathGraphic& other);
  GPathGraphic& operator=(const GPathGraphic& other);
  ~GPathGraphic() override;

  static RWClassID classIsA() { return ClassId::GPathGraphic; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // The same object, or the same class, equal closed flags and the graphic
  // composite's test.
  RWBoolean matches(const MPersistentObject* other) const override;
  // Stages dispatch a path whole.
  RWBoolean isComposite() const override;
  // An empty iterator (owned by the caller).
  GChildIterator* createIterator() override;
  // Calls the stage's path handler.
  [[nodiscard]] GStatus accept(GPeripheralHandlers& stage) override;

  // Marks the path a closed figure; nothing opens it again.
  void setClosed() { closed_ = 1; }
  int32_t isClosed() const { return closed_; }

  // The box spanning the boxes of every shape and nested path it holds, in
  // order; {0, 0, 0, 0} when it holds neither.
  GRect boundingBox();

 private:
  int32_t closed_;
};

RW_DECLARE_RESTORE_OPERATORS(GPathGraphic)

#endif
