#include "testkit/device/generator.h"

#include "core/outport.h"
#include "core/perclass.h"
#include "core/valattr.h"
#include "journal/ctlcmds.h"
#include "journal/passthru.h"
#include "pdl/xlops.h"

G_DEFINE_PERSISTENT(TestGenerator, GPDLGenerator)

namespace {

constexpr int32_t kStreamSize = 64;
constexpr char kComment[] = " test";

}  // namespace

TestGenerator::TestGenerator() : TestGenerator("PCLXL") {}

TestGenerator::TestGenerator(const RWCString& language, const uint32_t& id)
    : GPDLGenerator(language, nullptr, nullptr, id) {
  makeStream();
}

TestGenerator::TestGenerator(const TestGenerator& other) : GPDLGenerator(other), failures_(other.failures_) {
  makeStream();
}

TestGenerator& TestGenerator::operator=(const TestGenerator& other) {
  if (this == &other) return *this;
  GPDLGenerator::operator=(other);
  failures_ = other.failures_;
  return *this;
}

TestGenerator::~TestGenerator() = default;

void TestGenerator::makeStream() { stream_ = xlCreateStream(kStreamSize, &flusher_, 0); }

RWBoolean TestGenerator::isKindOf(RWClassID id) const { return id == classIsA() || GPDLGenerator::isKindOf(id); }

std::string TestGenerator::streamHeader() {
  return std::string(") QX-PCL XL;2;0;Comment") + kComment + "\n";
}

std::string TestGenerator::markerText(const char* handler) const {
  const RWCString language = name();
  return "[" + std::string(language.data(), language.length()) + " " + handler + "]";
}

std::string TestGenerator::marker(const char* handler) const {
  // A Comment operator: its CommentData a ubyte array with a 16-bit count.
  const std::string text = markerText(handler);
  std::string bytes = "\xC8\xC1";
  bytes += static_cast<char>(text.size() & 0xFF);
  bytes += static_cast<char>(text.size() >> 8);
  bytes += text + "\xF8\x81\x47";
  return std::string(handler) == "onDocumentStart" ? streamHeader() + bytes : bytes;
}

GStatus TestGenerator::see(const char* handler, RWClassID commandClass) {
  seen_.push_back(handler);
  const auto failure = failures_.find(commandClass);
  if (failure != failures_.end()) return failure->second;
  if (port()) {
    const std::string text = markerText(handler);
    xlComment(*stream_, XLBytes(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    xlFlushStream(*stream_);
  }
  return flusher_.takeError(stream_.get());
}

GStatus TestGenerator::onPassThrough(GPassThroughCommand* command) {
  const GStatus status = see("onPassThrough", ClassId::GPassThroughCommand);
  GOutputPort* out = port();
  if (status != 0 || !out || !command || command->targetClassId() != classIsA() || !command->data()) return status;
  // The bytes go through the stream as they are, right after the marker.
  xlWriteRawData(*stream_, std::span<const uint8_t>(command->data(), command->length()));
  xlFlushStream(*stream_);
  return flusher_.takeError(stream_.get());
}

GStatus TestGenerator::onDocumentStart(GDocumentStart* command) {
  const GStatus started = GPDLGenerator::onDocumentStart(command);
  if (started != 0) {
    seen_.push_back("onDocumentStart");
    return started;
  }
  (void)GPeripheral::onDocumentStart(command);  // only enters the document: 0
  flusher_.startJob();
  flusher_.setPort(port());
  xlResetStream(*stream_);
  const auto failure = failures_.find(ClassId::GDocumentStart);
  if (failure == failures_.end()) {
    xlWriteStreamHeader(*stream_, 2, 0, std::span(reinterpret_cast<const uint8_t*>(kComment), sizeof kComment - 1));
  }
  return see("onDocumentStart", ClassId::GDocumentStart);
}

GStatus TestGenerator::onDocumentEnd(GDocumentEnd* command) {
  (void)GPeripheral::onDocumentEnd(command);  // only leaves the document: 0
  GStatus status = see("onDocumentEnd", ClassId::GDocumentEnd);
  flusher_.setPort(nullptr);
  const GStatus ended = endJobPort();
  if (status == 0) status = ended;
  return status;
}

GStatus TestGenerator::onPageStart(GPageStart* command) {
  (void)GPeripheral::onPageStart(command);  // only enters the page: 0
  return see("onPageStart", ClassId::GPageStart);
}

GStatus TestGenerator::onPageEnd(GPageEnd* command) {
  (void)GPeripheral::onPageEnd(command);  // only leaves the page: 0
  return see("onPageEnd", ClassId::GPageEnd);
}

GStatus TestGenerator::onJobAbort(GJobAbort*) {
  leaveDocument();
  seen_.push_back("onJobAbort");
  flusher_.setPort(nullptr);
  xlResetStream(*stream_);
  const GStatus aborted = abortJobPort();
  const auto failure = failures_.find(ClassId::GJobAbort);
  return failure != failures_.end() ? failure->second : aborted;
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

// Nothing of its own is stored: the generator's level is the last.
RWspace TestGenerator::levelStoreSize() const { return 0; }

template <class Sink>
void TestGenerator::saveLevel(Sink&) const {}

template <class Source>
void TestGenerator::restoreLevel(Source&) {}
