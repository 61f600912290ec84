#ifndef CORE_TREEDUMP_H
#define CORE_TREEDUMP_H

// A diagnostic writer for trees of persistent objects: one line per
// object, indented by depth with "  |" per level, e.g.
//
//    kAnonymousID (0) =  (752) @ 0x5581c0 R=1
//    |  (7) =  (601) @ 0x5581f0 R=1
//
// For a command-processing stage (kind GPeripheral) it can also print the stage's
// State, Default and Config trees. Nothing calls it during a job; it is
// there for inspection.

#include <cstdint>
#include <iosfwd>

#include "core/classids.h"
#include "rw/defs.h"

class MPersistentObject;

// The three attribute trees of a stage, any of them possibly null.
struct GStageTrees {
  MPersistentObject* state;
  MPersistentObject* defaults;
  MPersistentObject* config;
};
// Answers a stage's trees; installed by the subsystem that defines stages.
typedef GStageTrees (*GStageTreeFinder)(MPersistentObject* stage);

class GObjectTreeDumper {
 public:
  // recursive 1 prints a stage's trees with it.
  explicit GObjectTreeDumper(std::ostream* stream, int recursive = 1) : stream_(stream), recursive_(recursive) {}
  GObjectTreeDumper(const GObjectTreeDumper&) = default;
  GObjectTreeDumper& operator=(const GObjectTreeDumper&) = default;

  // The object's own line at the depth (and a stage's trees); a null
  // object prints "NULL Composite!". Answers 1.
  int dumpObject(MPersistentObject* object, int depth);
  // The object's line and, below it, every member's tree; answers the last
  // result. An object that answers no iterator is a leaf.
  int dumpTree(MPersistentObject* object, int depth);

  std::ostream* stream() const { return stream_; }
  int recursive() const { return recursive_; }

  // The class ID by which stages are known.
  static constexpr RWClassID stageKind = ClassId::GPeripheral;
  // Installs the function that finds a stage's trees; answers the one
  // before. Without one a stage prints only its own line.
  static GStageTreeFinder setStageTreeFinder(GStageTreeFinder finder);

 private:
  void indent(int depth);
  void dumpAttributeTree(const char* title, MPersistentObject* tree, int depth);

  std::ostream* stream_;
  int recursive_;
};

#endif
