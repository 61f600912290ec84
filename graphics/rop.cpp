#include "graphics/rop.h"

#include "core/perclass.h"

namespace {

// Kind 0, a three-operand code, carries no transparency.
constexpr int32_t kForegroundBackgroundCode = 1;
constexpr int32_t kIgnoredCode = 2;

}  // namespace

G_DEFINE_PERSISTENT(GRasterOperation, GGraphicAttribute)

GRasterOperation::GRasterOperation() : code_(0), codeKind_(kIgnoredCode) {}

GRasterOperation::GRasterOperation(uint16_t code, int32_t codeKind, const uint32_t& key)
    : GGraphicAttribute(key), code_(code), codeKind_(codeKind) {}

GRasterOperation::GRasterOperation(const GRasterOperation& other) = default;

GRasterOperation& GRasterOperation::operator=(const GRasterOperation& other) {
  GGraphicAttribute::operator=(other);
  code_ = other.code_;
  codeKind_ = other.codeKind_;
  return *this;
}

GRasterOperation::~GRasterOperation() = default;

RWBoolean GRasterOperation::isKindOf(RWClassID id) const {
  return id == classIsA() || GGraphicAttribute::isKindOf(id);
}

RWBoolean GRasterOperation::matches(const MPersistentObject* other) const {
  const GRasterOperation* o = sameClass(this, other);
  return o && o->code_ == code_ && o->codeKind_ == codeKind_;
}

GStatus GRasterOperation::accept(GPeripheralHandlers& visitor) { return visitor.onRasterOperation(this); }

RWspace GRasterOperation::levelStoreSize() const { return 4 + 2 + 4; }

template <class Sink>
void GRasterOperation::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, code_);
  gWrite(sink, codeKind_);
}

template <class Source>
void GRasterOperation::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  uint16_t code = 0;
  int32_t codeKind = 0;
  if (!gRead(source, code) || !gRead(source, codeKind)) return;
  code_ = code;
  codeKind_ = codeKind;
}

GTransferMode gTransferMode(const GRasterOperation* rasterOperation) {
  if (!rasterOperation || rasterOperation->codeKind() != kForegroundBackgroundCode) return GTransferMode::none;
  // The background code is the high byte: 0xA0 to 0xAF keeps the
  // destination where nothing is drawn.
  const unsigned background = rasterOperation->code() >> 8;
  return (background & 0xF0) == 0xA0 ? GTransferMode::transparent : GTransferMode::opaque;
}
