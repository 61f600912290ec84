#ifndef TESTKIT_CORE_STANDINS_H
#define TESTKIT_CORE_STANDINS_H

// Stand-in commands and attributes for the tests of the stages: a composite
// command, a state shaped as a graphic bundle, and a transform attribute.
// None of them is registered with the factory.

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "core/attrib.h"
#include "core/classids.h"
#include "core/state.h"
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

// A state of the graphic bundle's class and kind (101), as graphic commands
// carry until the graphics state provides the bundle.
class TestBundleState : public GState {
 public:
  TestBundleState() = default;
  explicit TestBundleState(const uint32_t& id) : GState(id) {}
  TestBundleState(const TestBundleState& other) = default;
  ~TestBundleState() override;

  RWClassID isA() const override { return ClassId::GGraphicBundle; }
  RWClassID kind() const override { return ClassId::GGraphicBundle; }
  RWBoolean isKindOf(RWClassID id) const override { return id == ClassId::GGraphicBundle || GState::isKindOf(id); }
  TestBundleState* newSpecies() const override { return new TestBundleState; }
  TestBundleState* copy() const override { return new TestBundleState(*this); }
};

// Stands in for the graphics state's transform attribute until that
// subsystem provides the class under this name: an attribute of class 103
// with one value, sent to the stage's transform handler.
class GTransformAttribute : public GAttribute {
 public:
  GTransformAttribute() : value_(0) {}
  GTransformAttribute(int32_t value, const uint32_t& id) : GAttribute(id), value_(value) {}
  GTransformAttribute(const GTransformAttribute& other) = default;
  ~GTransformAttribute() override;

  static RWClassID classIsA() { return ClassId::GTransformAttribute; }
  RWClassID isA() const override { return classIsA(); }
  RWBoolean isKindOf(RWClassID id) const override { return id == classIsA() || GAttribute::isKindOf(id); }
  GTransformAttribute* newSpecies() const override { return new GTransformAttribute; }
  GTransformAttribute* copy() const override { return new GTransformAttribute(*this); }
  // Same class, id and value.
  RWBoolean matches(const MPersistentObject* other) const override;
  GStatus accept(GPeripheralHandlers& visitor) override { return visitor.onTransformAttribute(this); }

  int32_t value() const { return value_; }

 private:
  int32_t value_;
};

#endif
