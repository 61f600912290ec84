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

std::string bytes(std::initializer_list<unsigned> b) {
  std::string s;
  for (unsigned c : b) s += static_cast<char>(c);
  return s;
}

std::string le16(uint16_t v) { return bytes({v & 0xFFu, unsigned(v >> 8)}); }

std::string le32(uint32_t v) { return bytes({v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF, v >> 24}); }
