#include "journal/passthru.h"

#include <cstring>

#include "core/perclass.h"

namespace {

bool sameClass(const MPersistentObject* a, const MPersistentObject* b) { return b && a->isA() == b->isA(); }

unsigned char* copyOfBytes(const unsigned char* data, uint16_t length) {
  unsigned char* copy = new unsigned char[length];
  std::memcpy(copy, data, length);
  return copy;
}

}  // namespace

// ---- GPassThroughCommand ------------------------------------------------------------

G_DEFINE_PERSISTENT(GPassThroughCommand, GCommand)

GPassThroughCommand::GPassThroughCommand() : length_(0), targetClassId_(0) {}

GPassThroughCommand::GPassThroughCommand(const unsigned char* data, uint16_t length, uint16_t targetClassId,
                                         const uint32_t& id)
    : GCommand(id), length_(data ? length : 0), targetClassId_(targetClassId) {
  data_.borrow(data);
}

GPassThroughCommand::GPassThroughCommand(const GPassThroughCommand& other)
    : GCommand(other), length_(0), targetClassId_(other.targetClassId_) {
  hold(other.data(), other.length_, false);
  if (other.data_.owns()) takeOwnership();
}

GPassThroughCommand& GPassThroughCommand::operator=(const GPassThroughCommand& other) {
  if (this == &other) return *this;
  GCommand::operator=(other);
  targetClassId_ = other.targetClassId_;
  hold(other.data(), other.length_, false);
  if (other.data_.owns()) takeOwnership();
  return *this;
}

GPassThroughCommand::~GPassThroughCommand() = default;

void GPassThroughCommand::hold(const unsigned char* data, uint16_t length, bool owned) {
  data_.reset(data, owned);
  length_ = data ? length : 0;
}

RWBoolean GPassThroughCommand::isKindOf(RWClassID id) const { return id == classIsA() || GCommand::isKindOf(id); }

RWBoolean GPassThroughCommand::matches(const MPersistentObject* other) const {
  if (!sameClass(this, other) || !GCommand::matches(other)) return FALSE;
  const auto* o = static_cast<const GPassThroughCommand*>(other);
  if (length_ != o->length_ || targetClassId_ != o->targetClassId_ || owned() != o->owned()) return FALSE;
  if (data() == o->data()) return TRUE;
  return data() && o->data() && std::memcmp(data(), o->data(), length_) == 0;
}

void GPassThroughCommand::takeOwnership() {
  if (data_.owns() || !data_) return;
  hold(copyOfBytes(data(), length_), length_, true);
}

GStatus GPassThroughCommand::accept(GPeripheralHandlers& stage) { return stage.onPassThrough(this); }

RWspace GPassThroughCommand::levelStoreSize() const { return 8 + static_cast<RWspace>(length_); }

template <class Sink>
void GPassThroughCommand::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, length_);
  gWrite(sink, targetClassId_);
  if (length_) gWrite(sink, gBytes(data(), length_));
}

template <class Source>
void GPassThroughCommand::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  // Read whole or not at all: a level cut short keeps the bytes held.
  uint16_t length = 0;
  uint16_t target = 0;
  if (!gRead(source, length) || !gRead(source, target)) return;
  std::unique_ptr<unsigned char[]> bytes(length ? new unsigned char[length] : nullptr);
  if (length && !gRead(source, gBytes(bytes.get(), length))) return;
  targetClassId_ = target;
  hold(bytes.release(), length, true);
}

// ---- GDownloadHeaderCommand ---------------------------------------------------------

G_DEFINE_PERSISTENT(GDownloadHeaderCommand, GCommand)

GDownloadHeaderCommand::GDownloadHeaderCommand(const uint32_t& id) : GCommand(id), kind_(0) {}
GDownloadHeaderCommand::GDownloadHeaderCommand(int32_t kind, const uint32_t& id) : GCommand(id), kind_(kind) {}
GDownloadHeaderCommand::GDownloadHeaderCommand(const GDownloadHeaderCommand& other) = default;

GDownloadHeaderCommand& GDownloadHeaderCommand::operator=(const GDownloadHeaderCommand& other) {
  GCommand::operator=(other);
  kind_ = other.kind_;
  return *this;
}

GDownloadHeaderCommand::~GDownloadHeaderCommand() = default;

RWBoolean GDownloadHeaderCommand::isKindOf(RWClassID id) const {
  return id == classIsA() || GCommand::isKindOf(id);
}

RWBoolean GDownloadHeaderCommand::matches(const MPersistentObject* other) const {
  return sameClass(this, other) && static_cast<const GDownloadHeaderCommand*>(other)->kind_ == kind_ &&
         GCommand::matches(other);
}

GStatus GDownloadHeaderCommand::accept(GPeripheralHandlers& stage) { return stage.onDownloadHeader(this); }

RWspace GDownloadHeaderCommand::levelStoreSize() const { return 8; }

template <class Sink>
void GDownloadHeaderCommand::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, kind_);
}

template <class Source>
void GDownloadHeaderCommand::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  int32_t kind = 0;
  if (gRead(source, kind)) kind_ = kind;
}
