#ifndef RW_TESTS_INTITEM_H
#define RW_TESTS_INTITEM_H

// A persistent collectable holding one number, ordered, hashed and compared
// by it, that counts how many of its kind are alive.

#include "rw/collect.h"
#include "rw/factory.h"
#include "rw/rwfile.h"
#include "rw/vstream.h"

class IntItem : public RWCollectable {
 public:
  explicit IntItem(int32_t v = 0) : value(v) { ++live(); }
  IntItem(const IntItem& o) : RWCollectable(o), value(o.value) { ++live(); }
  ~IntItem() override { --live(); }

  static int& live() {
    static int n = 0;
    return n;
  }
  static RWClassID classIsA() { return 0x7A01; }

  RWCollectable* newSpecies() const override { return new IntItem; }
  RWCollectable* copy() const override { return new IntItem(*this); }
  RWClassID isA() const override { return classIsA(); }
  RWspace binaryStoreSize() const override { return 4; }
  int compareTo(const RWCollectable* c) const override {
    int32_t o = static_cast<const IntItem*>(c)->value;
    return value == o ? 0 : value < o ? -1 : 1;
  }
  uint32_t hash() const override { return static_cast<uint32_t>(value); }
  RWBoolean isEqual(const RWCollectable* c) const override {
    return c && c->isA() == classIsA() && static_cast<const IntItem*>(c)->value == value;
  }
  void saveGuts(RWFile& f) const override { f.Write(value); }
  void restoreGuts(RWFile& f) override { f.Read(value); }
  void saveGuts(RWvostream& s) const override { s.put(value); }
  void restoreGuts(RWvistream& s) override { s.get(value); }

  int32_t value;
};

// The value of an item known to be an IntItem, or -1 for no item.
inline int valueOf(const RWCollectable* c) { return c ? static_cast<const IntItem*>(c)->value : -1; }

inline RWCollectable* createIntItem() { return new IntItem; }
inline const RWFactoryRegistrar registerIntItem(createIntItem, IntItem::classIsA(), "IntItem");

#endif
