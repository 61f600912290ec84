#include "fixtures.h"

#include "rw/factory.h"

namespace {

RWCollectable* makeLeaf() { return new TestLeaf; }
RWCollectable* makeBare() { return new TestBare; }

const RWFactoryRegistrar registerLeaf(makeLeaf, TestLeaf::classIsA(), "TestLeaf");
const RWFactoryRegistrar registerBare(makeBare, TestBare::classIsA(), "TestBare");

}  // namespace

RW_DEFINE_RESTORE_OPERATORS(TestLeaf)

RWBoolean TestLeaf::matches(const MPersistentObject* other) const {
  const TestLeaf* o = dynamic_cast<const TestLeaf*>(other);
  return o && MPersistentObject::matches(other) && o->value == value;
}
