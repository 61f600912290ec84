#include "fixtures.h"

#include <utility>

#include "rw/factory.h"
#include "rw/startup.h"

namespace {

RWCollectable* makeLeaf() { return new TestLeaf; }
RWCollectable* makeBare() { return new TestBare; }

// Start-up entries, so that the kernel build registers them when its
// runtime starts and removes them when it stops, as it does the library's.
void registerFixtures() {
  rwAddToFactory(makeLeaf, TestLeaf::classIsA(), RWStringID("TestLeaf"));
  rwAddToFactory(makeBare, TestBare::classIsA(), RWStringID("TestBare"));
}

void removeFixtures() {
  for (auto [id, name] : {std::pair{TestLeaf::classIsA(), "TestLeaf"}, {TestBare::classIsA(), "TestBare"}}) {
    rwRemoveFromFactory(id);
    rwRemoveFromFactory(RWStringID(name));
  }
}

RW_STARTUP(fixtureEntry, registerFixtures, removeFixtures);

}  // namespace

RW_DEFINE_RESTORE_OPERATORS(TestLeaf)

RWBoolean TestLeaf::matches(const MPersistentObject* other) const {
  const TestLeaf* o = dynamic_cast<const TestLeaf*>(other);
  return o && MPersistentObject::matches(other) && o->value == value;
}
