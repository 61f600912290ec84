#ifndef RW_TESTS_COLLECT_FIXTURES_H
#define RW_TESTS_COLLECT_FIXTURES_H

// Small collectables shared by the collection and persistence tests.

#include "rw/collect.h"
#include "rw/rwfile.h"
#include "rw/vstream.h"

// A numbered class holding one value; equal, hashed and ordered by it.
class TestItem : public RWCollectable {
 public:
  static constexpr RWClassID id = 0x0200;
  explicit TestItem(int32_t v = 0) : value(v) {}
  RWCollectable* newSpecies() const override { return new TestItem; }
  RWCollectable* copy() const override { return new TestItem(*this); }
  RWClassID isA() const override { return id; }
  RWspace binaryStoreSize() const override { return 4; }
  int compareTo(const RWCollectable* o) const override {
    int32_t w = static_cast<const TestItem*>(o)->value;
    return value == w ? 0 : value > w ? 1 : -1;
  }
  uint32_t hash() const override { return static_cast<uint32_t>(value); }
  RWBoolean isEqual(const RWCollectable* o) const override {
    return o->isA() == id && static_cast<const TestItem*>(o)->value == value;
  }
  void saveGuts(RWFile& f) const override { f.Write(value); }
  void saveGuts(RWvostream& s) const override { s.put(value); }
  void restoreGuts(RWFile& f) override { f.Read(value); }
  void restoreGuts(RWvistream& s) override { s.get(value); }

  int32_t value;
};

// A string-identified class holding one value.
class TestNamedItem : public TestItem {
 public:
  static constexpr RWClassID id = 0x9001;
  explicit TestNamedItem(int32_t v = 0) : TestItem(v) {}
  RWCollectable* newSpecies() const override { return new TestNamedItem; }
  RWCollectable* copy() const override { return new TestNamedItem(*this); }
  RWClassID isA() const override { return id; }
};

// Two object references, stored in order; the node does not own them.
class TestNode : public RWCollectable {
 public:
  static constexpr RWClassID id = 0x0201;
  TestNode(RWCollectable* l = nullptr, RWCollectable* r = nullptr) : left(l), right(r) {}
  RWCollectable* newSpecies() const override { return new TestNode; }
  RWClassID isA() const override { return id; }
  RWspace binaryStoreSize() const override {
    return (left ? left : rwNilCollectable())->recursiveStoreSize() +
           (right ? right : rwNilCollectable())->recursiveStoreSize();
  }
  void saveGuts(RWFile& f) const override { f << left << right; }
  void saveGuts(RWvostream& s) const override { s << left << right; }
  void restoreGuts(RWFile& f) override { f >> left >> right; }
  void restoreGuts(RWvistream& s) override { s >> left >> right; }

  RWCollectable* left;
  RWCollectable* right;
};

// A class with nothing of its own to store.
class TestEmpty : public RWCollectable {
 public:
  static constexpr RWClassID id = 769;
  RWCollectable* newSpecies() const override { return new TestEmpty; }
  RWClassID isA() const override { return id; }
};

// A numbered class storing ten bytes.
class TestTen : public RWCollectable {
 public:
  static constexpr RWClassID id = 0x0202;
  RWClassID isA() const override { return id; }
  RWspace binaryStoreSize() const override { return 10; }
  void saveGuts(RWFile& f) const override {
    const char ten[10] = {};
    f.Write(ten, 10);
  }
};

#endif
