#ifndef CORE_TESTS_ATTRFIX_H
#define CORE_TESTS_ATTRFIX_H

// Attribute fixtures: a small leaf attribute of a shared family (two
// classes of the pen family) that counts its destructions, and a
// stage that records what it is sent and answers chosen statuses.

#include <cstdint>
#include <map>
#include <vector>

#include "core/attrib.h"
#include "leaffix.h"
#include "testids.h"

class TestPenAttr : public TestValued<GAttribute> {
 public:
  using TestValued::TestValued;

  static RWClassID classIsA() { return TestClassId::TestPenAttr; }
  RWClassID isA() const override { return classIsA(); }
  RWClassID kind() const override { return kPenFamily; }
  TestPenAttr* newSpecies() const override { return new TestPenAttr; }
  TestPenAttr* copy() const override { return new TestPenAttr(*this); }
  RWBoolean isKindOf(RWClassID id) const override { return id == classIsA() || GAttribute::isKindOf(id); }
  RWBoolean matches(const MPersistentObject* other) const override;
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;
};

RW_DECLARE_RESTORE_OPERATORS(TestPenAttr)

// Another class of the same family, with nothing stored of its own.
class TestNoPenAttr : public GAttribute {
 public:
  TestNoPenAttr() = default;
  explicit TestNoPenAttr(uint32_t id) : GAttribute(id) {}
  static RWClassID classIsA() { return TestClassId::TestNoPenAttr; }
  RWClassID isA() const override { return classIsA(); }
  RWClassID kind() const override { return kPenFamily; }
  TestNoPenAttr* newSpecies() const override { return new TestNoPenAttr; }
  TestNoPenAttr* copy() const override { return new TestNoPenAttr(*this); }
  RWBoolean isKindOf(RWClassID id) const override { return id == classIsA() || GAttribute::isKindOf(id); }
  RWBoolean matches(const MPersistentObject* other) const override {
    return other && other->isA() == isA() && GAttribute::matches(other);
  }
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;
};

// Records every attribute it is sent, in order, and answers the status
// chosen for it (0 by default).
class RecordingStage : public GPeripheralHandlers {
 public:
  [[nodiscard]] GStatus onDocumentStart(GDocumentStart*) override { return 0; }
  [[nodiscard]] GStatus onDocumentEnd(GDocumentEnd*) override { return 0; }
  [[nodiscard]] GStatus onPageStart(GPageStart*) override { return 0; }
  [[nodiscard]] GStatus onPageEnd(GPageEnd*) override { return 0; }
  [[nodiscard]] GStatus onJobAbort(GJobAbort*) override { return 0; }

  [[nodiscard]] GStatus onValueAttribute(GValueAttribute* a) override;
  [[nodiscard]] GStatus onStringAttribute(GStringAttribute* a) override;
  [[nodiscard]] GStatus onEnumAttribute(GEnumAttribute* a) override;
  [[nodiscard]] GStatus onRangeAttribute(GRangeAttribute* a) override;

  [[nodiscard]] GStatus record(const MPersistentObject* a) {
    seen.push_back(a);
    auto it = answers.find(a);
    return it == answers.end() ? 0 : it->second;
  }

  std::vector<const MPersistentObject*> seen;
  std::map<const MPersistentObject*, GStatus> answers;
};

#endif
