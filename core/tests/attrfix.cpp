#include "attrfix.h"

#include "core/enumattr.h"
#include "core/valattr.h"
#include "rw/factory.h"

namespace {

RWCollectable* makePen() { return new TestPenAttr; }
RWCollectable* makeNoPen() { return new TestNoPenAttr; }

const RWFactoryRegistrar registerPen(makePen, TestPenAttr::classIsA(), "TestPenAttr");
const RWFactoryRegistrar registerNoPen(makeNoPen, TestNoPenAttr::classIsA(), "TestNoPenAttr");

[[nodiscard]] GStatus recordOn(GPeripheralHandlers& visitor, const MPersistentObject* a) {
  RecordingStage* stage = dynamic_cast<RecordingStage*>(&visitor);
  return stage ? stage->record(a) : 0;
}

}  // namespace

RW_DEFINE_RESTORE_OPERATORS(TestPenAttr)

RWBoolean TestPenAttr::matches(const MPersistentObject* other) const {
  const TestPenAttr* o = dynamic_cast<const TestPenAttr*>(other);
  return o && o->isA() == isA() && GAttribute::matches(other) && o->value == value;
}

GStatus TestPenAttr::accept(GPeripheralHandlers& visitor) { return recordOn(visitor, this); }
GStatus TestNoPenAttr::accept(GPeripheralHandlers& visitor) { return recordOn(visitor, this); }

GStatus RecordingStage::onValueAttribute(GValueAttribute* a) { return record(a); }
GStatus RecordingStage::onStringAttribute(GStringAttribute* a) { return record(a); }
GStatus RecordingStage::onEnumAttribute(GEnumAttribute* a) { return record(a); }
GStatus RecordingStage::onRangeAttribute(GRangeAttribute* a) { return record(a); }
