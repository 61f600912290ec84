#include "testkit/core/standins.h"

TestCompositeCommand::TestCompositeCommand(std::initializer_list<GCommand*> children) {
  for (GCommand* c : children) append(c);
}

TestCompositeCommand::~TestCompositeCommand() = default;

GChildIterator* TestCompositeCommand::createIterator() { return new TestCompositeIterator(this); }

TestCompositeIterator::TestCompositeIterator(TestCompositeCommand* composite)
    : GCommandIterator(composite), composite_(composite), position_(-1) {}

TestCompositeIterator::~TestCompositeIterator() = default;

MPersistentObject* TestCompositeIterator::current() {
  if (position_ < 0 || static_cast<size_t>(position_) >= composite_->children_.size()) return nullptr;
  return composite_->children_[static_cast<size_t>(position_)].get();
}

void TestCompositeIterator::replaceCurrent(MPersistentObject* object) {
  GCommand* command = dynamic_cast<GCommand*>(object);
  if (!command || !current()) return;
  composite_->children_[static_cast<size_t>(position_)] = GCommandPtr(command);
}

int TestCompositeIterator::advance() {
  ++position_;
  if (static_cast<size_t>(position_) < composite_->children_.size()) return 1;
  position_ = -1;
  return 0;
}
