#ifndef CORE_TESTS_LEAFFIX_H
#define CORE_TESTS_LEAFFIX_H

// A test leaf over any persistent base: one stored number above the base's
// level (version 1, then the value, each a 32-bit word), and a count of
// destructions kept apart for each base.

#include <cstdint>

#include "rw/rwfile.h"
#include "rw/vstream.h"

template <class Base>
class TestValued : public Base {
 public:
  TestValued() = default;
  explicit TestValued(uint32_t id, int32_t value = 0) : Base(id), value(value) {}
  TestValued(const TestValued&) = default;
  ~TestValued() override { ++destroyed; }

  RWspace binaryStoreSize() const override { return Base::binaryStoreSize() + 8; }

  void saveGuts(RWvostream& s) const override {
    Base::saveGuts(s);
    s.putULong(1);
    s.putLong(value);
  }

  void saveGuts(RWFile& f) const override {
    Base::saveGuts(f);
    f.Write(uint32_t{1});
    f.Write(value);
  }

  void restoreGuts(RWvistream& s) override {
    Base::restoreGuts(s);
    uint32_t version = 0;
    s.getULong(version);
    if (s.good() && version == 1) s.getLong(value);
  }

  void restoreGuts(RWFile& f) override {
    Base::restoreGuts(f);
    uint32_t version = 0;
    if (f.Read(version) && version == 1) f.Read(value);
  }

  int32_t value = 0;
  static inline int destroyed = 0;
};

#endif
