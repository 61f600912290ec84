#ifndef PDL_FLUSHER_H
#define PDL_FLUSHER_H

// How every generator's output buffer reaches the job's port, written once:
// the generators embed a GOutputFlusher over their stream and hand it the
// port to write to.
//
// A flush of 0 bytes writes nothing and returns at once; only a flusher
// made with pollOnEmpty polls the port then too. Otherwise, while writes are
// enabled, the bytes go to the port; the first write that fails disables
// writes for the rest of the job and its status is kept until takeError
// hands it back. The stream is emptied after every flush, written or
// not. Then the port is polled (isStopped, which is where the port looks
// at the spooler's cancel state): on every flush until the port's total of
// bytes written reaches 100,000, afterwards only once more than 100,000 further bytes
// have gone out since the last poll.
//
// writeStatus and writesEnabled belong to the generator's stored fields:
// it saves and restores them through the accessors. The total at the last
// poll is not stored and not copied.

#include <cstdint>

#include "journal/periph.h"
#include "pdl/xlstream.h"

class GOutputPort;

// Answered by a generator's handlers once its stream has stopped on an
// error: what it writes from then on is lost, and the job must not end as
// though it had been printed.
constexpr GStatus kStatusStreamStopped = 602;

class GOutputFlusher : public GFlushCallback {
 public:
  static constexpr uint32_t kPollInterval = 100000;

  explicit GOutputFlusher(bool pollOnEmpty = false) : pollOnEmpty_(pollOnEmpty) {}
  // A copy takes the stored fields, not the port or the poll total.
  GOutputFlusher(const GOutputFlusher& other)
      : GFlushCallback(), writeStatus_(other.writeStatus_), writesEnabled_(other.writesEnabled_),
        pollOnEmpty_(other.pollOnEmpty_) {}
  GOutputFlusher& operator=(const GOutputFlusher& other) {
    writeStatus_ = other.writeStatus_;
    writesEnabled_ = other.writesEnabled_;
    pollOnEmpty_ = other.pollOnEmpty_;
    return *this;
  }

  int32_t flush(XLStream& stream, int32_t userValue, const uint8_t* buffer, int32_t count) override;

  // The port the bytes go to (not owned; null: bytes are dropped).
  void setPort(GOutputPort* port) { port_ = port; }
  GOutputPort* port() const { return port_; }

  // The first failed write's status, cleared as it is answered. With a
  // stream given and no write failure waiting: kStatusStreamStopped while
  // the stream has latched an error.
  [[nodiscard]] GStatus takeError(const XLStream* stream = nullptr);

  // A new job: writes enabled, nothing stored, polling from the start.
  void startJob();

  [[nodiscard]] GStatus writeStatus() const { return writeStatus_; }
  void setWriteStatus(GStatus status) { writeStatus_ = status; }
  uint32_t writesEnabled() const { return writesEnabled_; }
  void setWritesEnabled(uint32_t enabled) { writesEnabled_ = enabled; }
  uint32_t lastPollTotal() const { return lastPollTotal_; }

 private:
  void poll();

  GOutputPort* port_ = nullptr;
  GStatus writeStatus_ = 0;
  uint32_t writesEnabled_ = 1;
  uint32_t lastPollTotal_ = 0;
  bool pollOnEmpty_;
};

#endif
