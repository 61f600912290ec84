#include "attrfix.h"

#include "core/enumattr.h"
#include "core/valattr.h"
#include "rw/factory.h"
#include "rw/rwfile.h"
#include "rw/vstream.h"

int TestPenAttr::destroyed = 0;

namespace {

RWCollectable* makePen() { return new TestPenAttr; }
RWCollectable* makeNoPen() { return new TestNoPenAttr; }

const RWFactoryRegistrar registerPen(makePen, TestPenAttr::classIsA(), "TestPenAttr");
const RWFactoryRegistrar registerNoPen(makeNoPen, TestNoPenAttr::classIsA(), "TestNoPenAttr");

GStatus recordOn(GPeripheralHandlers& visitor, const MPersistentObject* a) {
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

void TestPenAttr::saveGuts(RWvostream& s) const {
  GAttribute::saveGuts(s);
  s.putULong(1);
  s.putLong(value);
}

void TestPenAttr::saveGuts(RWFile& f) const {
  GAttribute::saveGuts(f);
  f.Write(uint32_t{1});
  f.Write(value);
}

void TestPenAttr::restoreGuts(RWvistream& s) {
  GAttribute::restoreGuts(s);
  uint32_t version = 0;
  s.getULong(version);
  if (s.good() && version == 1) s.getLong(value);
}

void TestPenAttr::restoreGuts(RWFile& f) {
  GAttribute::restoreGuts(f);
  uint32_t version = 0;
  if (f.Read(version) && version == 1) f.Read(value);
}

GStatus RecordingStage::onValueAttribute(GValueAttribute* a) { return record(a); }
GStatus RecordingStage::onStringAttribute(GStringAttribute* a) { return record(a); }
GStatus RecordingStage::onEnumAttribute(GEnumAttribute* a) { return record(a); }
GStatus RecordingStage::onRangeAttribute(GRangeAttribute* a) { return record(a); }
