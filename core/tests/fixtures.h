#ifndef CORE_TESTS_FIXTURES_H
#define CORE_TESTS_FIXTURES_H

// Small persistent classes for the object-model tests: a leaf with one
// stored number that counts its destructions, and a class that adds no
// level of its own, so that the root level's stored form shows alone.

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "core/perobj.h"
#include "foundation/tests/testutil.h"
#include "foundation/tests/tmpdir.h"
#include "leaffix.h"
#include "testids.h"
#include "rw/rwfile.h"

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

// Bytes written out by hand.
std::string bytes(std::initializer_list<unsigned> b);
std::string le16(uint16_t v);
std::string le32(uint32_t v);

// A test that stores object graphs to a file in a fresh folder.
class StoreTest : public ::testing::Test {
 protected:
  std::string path() const { return dir_.file("tree.bin"); }
  // The bytes of one object stored as the outermost store of a graph.
  std::string storeFile(const RWCollectable* p) {
    {
      RWFile f(path().c_str(), "wb");
      f << p;
    }
    return fileContents(path());
  }
  void putBytes(const std::string& data) { putFile(path(), data); }
  // One object read back through the typed restore operator of T.
  template <class T>
  T* restoreFile() {
    RWFile f(path().c_str(), "rb");
    T* p = nullptr;
    f >> p;
    return p;
  }

  TempDir dir_;
};

#endif
