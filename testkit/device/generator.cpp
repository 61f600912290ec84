#include "testkit/device/generator.h"

#include "core/outport.h"
#include "core/perclass.h"
#include "core/valattr.h"
#include "journal/ctlcmds.h"
#include "journal/passthru.h"

G_DEFINE_PERSISTENT(TestGenerator, GPeripheralComposite)

TestGenerator::TestGenerator() : TestGenerator("PCLXL") {}

TestGenerator::TestGenerator(const RWCString& language, const uint32_t& id) : GPeripheralComposite(id) {
  setName(language);
}

TestGenerator::TestGenerator(const TestGenerator& other) : GPeripheralComposite(other), failures_(other.failures_) {}

TestGenerator& TestGenerator::operator=(const TestGenerator& other) {
  if (this == &other) return *this;
  GPeripheralComposite::operator=(other);
  failures_ = other.failures_;
  return *this;
}

TestGenerator::~TestGenerator() = default;

RWBoolean TestGenerator::isKindOf(RWClassID id) const {
  return id == classIsA() || id == ClassId::GPDLGenerator || GPeripheralComposite::isKindOf(id);
}

GCommandPtr TestGenerator::process(const GCommandPtr& command) { return GPeripheral::process(command); }

std::string TestGenerator::marker(const char* handler) const {
  const RWCString language = name();
  return "[" + std::string(language.data(), language.length()) + " " + handler + "]";
}

GStatus TestGenerator::see(const char* handler, RWClassID commandClass) {
  seen_.push_back(handler);
  const auto failure = failures_.find(commandClass);
  if (failure != failures_.end()) return failure->second;
  if (GOutputPort* out = port()) {
    const std::string text = marker(handler);
    uint32_t written = 0;
    return static_cast<GStatus>(out->write(text.data(), static_cast<uint32_t>(text.size()), written));
  }
  return 0;
}

GStatus TestGenerator::onPassThrough(GPassThroughCommand* command) {
  const GStatus status = see("onPassThrough", ClassId::GPassThroughCommand);
  GOutputPort* out = port();
  if (status != 0 || !out || !command || command->targetClassId() != classIsA() || !command->data()) return status;
  uint32_t written = 0;
  return static_cast<GStatus>(out->write(command->data(), command->length(), written));
}

GStatus TestGenerator::onDocumentStart(GDocumentStart* command) {
  GPeripheral::onDocumentStart(command);
  // The job's port, which its opener owns.
  setPort(command ? command->outputPort() : nullptr, 0);
  return see("onDocumentStart", ClassId::GDocumentStart);
}

GStatus TestGenerator::onDocumentEnd(GDocumentEnd* command) {
  GPeripheral::onDocumentEnd(command);
  const GStatus status = see("onDocumentEnd", ClassId::GDocumentEnd);
  setPort(nullptr, 0);
  return status;
}

GStatus TestGenerator::onPageStart(GPageStart* command) {
  GPeripheral::onPageStart(command);
  return see("onPageStart", ClassId::GPageStart);
}

GStatus TestGenerator::onPageEnd(GPageEnd* command) {
  GPeripheral::onPageEnd(command);
  return see("onPageEnd", ClassId::GPageEnd);
}

GStatus TestGenerator::onJobAbort(GJobAbort*) {
  leaveDocument();
  seen_.push_back("onJobAbort");
  setPort(nullptr, 0);
  const auto failure = failures_.find(ClassId::GJobAbort);
  return failure != failures_.end() ? failure->second : 0;
}

GStatus TestGenerator::onValueAttribute(GValueAttribute* attribute) {
  if (!attribute) return 0;
  attributesSeen_.push_back(attribute->id());
  attribute->resetChanged();
  return 0;
}

GStatus TestGenerator::onStringAttribute(GStringAttribute* attribute) {
  if (!attribute) return 0;
  attributesSeen_.push_back(attribute->id());
  attribute->resetChanged();
  return 0;
}

// Nothing of its own is stored: the container's level is the last.
RWspace TestGenerator::levelStoreSize() const { return 0; }

template <class Sink>
void TestGenerator::saveLevel(Sink&) const {}

template <class Source>
void TestGenerator::restoreLevel(Source&) {}
