#include "pdl/flusher.h"

#include "core/outport.h"

int32_t GOutputFlusher::flush(XLStream& stream, int32_t, const uint8_t* buffer, int32_t count) {
  if (count <= 0) {
    if (pollOnEmpty_) poll();
    return 0;
  }
  if (writesEnabled_ && port_) {
    uint32_t written = 0;
    const uint16_t status = port_->write(buffer, static_cast<uint32_t>(count), written);
    if (status != 0) {
      writesEnabled_ = 0;
      if (writeStatus_ == 0) writeStatus_ = static_cast<GStatus>(status);
    }
  }
  xlResetStream(stream);
  poll();
  return 0;
}

void GOutputFlusher::poll() {
  if (!port_) return;
  const uint32_t total = port_->bytesWritten();
  if (total >= kPollInterval && total - lastPollTotal_ <= kPollInterval) return;
  port_->isStopped();
  lastPollTotal_ = total;
}

GStatus GOutputFlusher::takeError(const XLStream* stream) {
  const GStatus status = writeStatus_;
  writeStatus_ = 0;
  if (status != 0) return status;
  return stream && stream->error != kXLNoError ? kStatusStreamStopped : 0;
}

void GOutputFlusher::startJob() {
  writeStatus_ = 0;
  writesEnabled_ = 1;
  lastPollTotal_ = 0;
}
