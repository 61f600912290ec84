#include "device/sinks.h"

#include <cstring>

#include "core/classids.h"

// ---- GForwardingSink ----------------------------------------------------------------

GForwardingSink::~GForwardingSink() { delete target_; }

void GForwardingSink::receive(uintptr_t value) {
  if (target_) target_->receive(value);
}

void GForwardingSink::receiveFour(uintptr_t a, uintptr_t b, uintptr_t c, uintptr_t d) {
  if (target_) target_->receiveFour(a, b, c, d);
}

int32_t GForwardingSink::attach(GSinkTarget* target, uint32_t value) {
  if (target != target_) delete target_;
  target_ = target;
  return target_ ? target_->attached(this, value) : 0;
}

GStatus GForwardingSink::poll(const GCommand* command) {
  if (mark_) {
    if (command == mark_) mark_ = nullptr;
    return 0;
  }
  return pollTarget();
}

GStatus GForwardingSink::pollTarget() { return target_ ? target_->poll() : 0; }

GStatus GForwardingSink::check(uint32_t value) {
  if (!target_) return 2;
  if (target_->accepts(value)) return 1;
  // The target goes either way: what it last answered no longer matters.
  (void)target_->poll();
  delete target_;
  target_ = nullptr;
  return 2;
}

// ---- GOutputSink --------------------------------------------------------------------

GStatus GOutputSink::receive(uintptr_t) { return 501; }

GStatus GOutputSink::write(const unsigned char*, int32_t, int16_t, uint32_t, int32_t, int32_t) { return 501; }

// ---- GBufferedSink ------------------------------------------------------------------

GStatus GBufferedSink::down(const unsigned char* data, int32_t length, int16_t tag, uint32_t streamTag) {
  GOutputSink* next = downstream();
  return next ? next->write(data, length, tag, streamTag, 1, 0) : 0;
}

GStatus GBufferedSink::write(const unsigned char* data, int32_t length, int16_t tag, uint32_t streamTag, int32_t,
                             int32_t) {
  if (length <= 0 || !data) return 0;
  if (fill_ > 0 && (tag != tag_ || streamTag != streamTag_)) {
    if (const GStatus status = flush()) return status;
  }
  if (fill_ <= 0) {
    tag_ = tag;
    streamTag_ = streamTag;
  }
  if (length >= kDirectWrite) {
    if (const GStatus status = flush()) return status;
    // The downstream's length is 16-bit: longer data goes down in pieces.
    while (length > 0) {
      const int32_t piece = length < kLargestWrite ? length : kLargestWrite;
      if (const GStatus status = down(data, piece, tag, streamTag)) return status;
      data += piece;
      length -= piece;
    }
    return 0;
  }
  if (fill_ + length > kBufferSize) {
    if (const GStatus status = flush()) return status;
    tag_ = tag;
    streamTag_ = streamTag;
  }
  std::memcpy(buffer_ + fill_, data, static_cast<size_t>(length));
  fill_ += length;
  return 0;
}

GStatus GBufferedSink::flush() {
  if (fill_ < 1) return 0;
  const int32_t length = fill_;
  fill_ = 0;
  return down(buffer_, length, tag_, streamTag_);
}

bool GBufferedSink::accepts(RWClassID classId) const { return classId == ClassId::GPassThroughCommand; }
