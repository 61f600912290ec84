#include "core/treedump.h"

#include <atomic>
#include <memory>
#include <ostream>

#include "core/perobj.h"

namespace {

std::atomic<GStageTreeFinder> stageTreeFinder{nullptr};

}  // namespace

GStageTreeFinder GObjectTreeDumper::setStageTreeFinder(GStageTreeFinder finder) {
  return stageTreeFinder.exchange(finder);
}

void GObjectTreeDumper::indent(int depth) {
  for (int i = 0; i < depth; ++i) *stream_ << "  |";
}

void GObjectTreeDumper::dumpAttributeTree(const char* title, MPersistentObject* tree, int depth) {
  indent(depth);
  *stream_ << title << '\n';
  // The tree's root one level deeper, its members below that.
  if (!dumpObject(tree, depth + 1) || !tree) return;
  const std::unique_ptr<GChildIterator> it(tree->createIterator());
  while (it && it->advance()) {
    if (!dumpTree(it->current(), depth + 2)) break;
  }
}

int GObjectTreeDumper::dumpObject(MPersistentObject* object, int depth) {
  if (!stream_) return 0;
  indent(depth);
  if (!object) {
    *stream_ << "NULL Composite!" << '\n';
    return 1;
  }
  const uint32_t id = object->id();
  *stream_ << ' ' << (id == 0 ? "kAnonymousID" : "") << " (" << id << ") = "
           << "" << " (" << object->isA() << ") @ " << static_cast<const void*>(object)
           << " R=" << object->references() << '\n';

  GStageTreeFinder finder = stageTreeFinder.load();
  if (recursive_ == 1 && finder && object->isKindOf(stageKind)) {
    GStageTrees trees = finder(object);
    dumpAttributeTree("-State:", trees.state, depth);
    dumpAttributeTree("-Default:", trees.defaults, depth);
    dumpAttributeTree("-Config:", trees.config, depth);
    *stream_ << "----------" << '\n';
  }
  return 1;
}

int GObjectTreeDumper::dumpTree(MPersistentObject* object, int depth) {
  int result = dumpObject(object, depth);
  if (!result || !object) return result;
  // Some leaves (a booklet entry) answer no iterator at all, not an empty
  // one: their line is all there is.
  const std::unique_ptr<GChildIterator> it(object->createIterator());
  while (it && it->advance()) {
    result = dumpTree(it->current(), depth + 1);
    if (!result) break;
  }
  return result;
}
