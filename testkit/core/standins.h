#ifndef TESTKIT_CORE_STANDINS_H
#define TESTKIT_CORE_STANDINS_H

// Stand-in commands for the tests of the stages: a composite command. It
// is not registered with the factory.

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "core/classids.h"
#include "journal/command.h"
#include "testkit/core/ids.h"

// A command holding other commands, in order (counted). Its accept calls
// no handler, as every composite's; its iterator walks the children from a
// position before the first, answers 0 after the last and starts again,
// and replaceCurrent puts a command in the current child's place.
class TestCompositeCommand : public GCommand {
 public:
  TestCompositeCommand() = default;
  explicit TestCompositeCommand(std::initializer_list<GCommand*> children);
  // The children shared.
  TestCompositeCommand(const TestCompositeCommand& other) = default;
  ~TestCompositeCommand() override;

  static RWClassID classIsA() { return TestKitClassId::TestCompositeCommand; }
  RWClassID isA() const override { return classIsA(); }
  RWBoolean isKindOf(RWClassID id) const override { return id == classIsA() || GCommand::isKindOf(id); }
  TestCompositeCommand* newSpecies() const override { return new TestCompositeCommand; }
  TestCompositeCommand* copy() const override { return new TestCompositeCommand(*this); }
  RWBoolean isComposite() const override { return TRUE; }
  RWsize entries() const override { return children_.size(); }
  GChildIterator* createIterator() override;
  GStatus accept(GPeripheralHandlers&) override { return 0; }

  void append(GCommand* child) { children_.emplace_back(child); }
  GCommand* child(size_t index) const { return index < children_.size() ? children_[index].get() : nullptr; }

 private:
  friend class TestCompositeIterator;
  std::vector<GCommandPtr> children_;
};

class TestCompositeIterator : public GCommandIterator {
 public:
  explicit TestCompositeIterator(TestCompositeCommand* composite);
  ~TestCompositeIterator() override;
  MPersistentObject* current() override;
  // A command takes the current child's place; anything else is ignored.
  void replaceCurrent(MPersistentObject* object) override;
  int advance() override;
  void reset() override { position_ = -1; }

 private:
  TestCompositeCommand* composite_;
  int32_t position_;
};

#endif
