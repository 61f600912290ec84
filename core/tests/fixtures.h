#ifndef CORE_TESTS_FIXTURES_H
#define CORE_TESTS_FIXTURES_H

// Small persistent classes for the object-model tests: a leaf with one
// stored number that counts its destructions, and a class that adds no
// level of its own, so that the root level's stored form shows alone. With
// them, the test kit's byte builders, report log and store round trips.

#include <cstdint>

#include "core/perobj.h"
#include "leaffix.h"
#include "rw/rwfile.h"
#include "testkit/bytes.h"
#include "testkit/files.h"
#include "testkit/reports.h"
#include "testkit/store.h"
#include "testkit/tmpdir.h"
#include "testids.h"

class TestLeaf : public TestValued<MPersistentObject> {
 public:
  using TestValued::TestValued;

  static RWClassID classIsA() { return TestClassId::TestLeaf; }
  RWClassID isA() const override { return classIsA(); }
  TestLeaf* newSpecies() const override { return new TestLeaf; }
  TestLeaf* copy() const override { return new TestLeaf(*this); }
  RWBoolean isKindOf(RWClassID id) const override { return id == classIsA() || MPersistentObject::isKindOf(id); }
  RWBoolean matches(const MPersistentObject* other) const override;
};

RW_DECLARE_RESTORE_OPERATORS(TestLeaf)

// Stores exactly the root level.
class TestBare : public MPersistentObject {
 public:
  TestBare() = default;
  explicit TestBare(uint32_t id) : MPersistentObject(id) {}
  static RWClassID classIsA() { return TestClassId::TestBare; }
  RWClassID isA() const override { return classIsA(); }
  TestBare* newSpecies() const override { return new TestBare; }
  TestBare* copy() const override { return new TestBare(*this); }
};

#endif
