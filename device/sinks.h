#ifndef DEVICE_SINKS_H
#define DEVICE_SINKS_H

// The output gate every device holds, and the byte sinks of the platform
// layer.
//
// GForwardingSink: the device polls it before each command it sends. It
// forwards to a target the platform layer attaches (owned), and it can be
// told to let everything through until one marked command has passed.
//
// GOutputSink: a byte sink whose operations a sink does not implement
// answer 501. GBufferedSink gathers small writes into one buffer and hands
// large ones straight to its downstream sink.

#include <cstdint>

#include "core/classids.h"
#include "core/visitor.h"

class GCommand;
class GForwardingSink;

// What a forwarding sink forwards to, as the platform layer implements it.
class GSinkTarget {
 public:
  virtual ~GSinkTarget() = default;
  // Told when a sink attaches it; the sink answers what this answers.
  virtual int32_t attached(GForwardingSink* sink, uint32_t value) = 0;
  // 0 lets the device send its command; anything else is the status the
  // device answers instead.
  [[nodiscard]] virtual GStatus poll() = 0;
  virtual void receive(uintptr_t value) = 0;
  virtual void receiveFour(uintptr_t a, uintptr_t b, uintptr_t c, uintptr_t d) = 0;
  virtual bool accepts(uint32_t value) = 0;
};

class GForwardingSink {
 public:
  GForwardingSink() : mark_(nullptr), target_(nullptr) {}
  GForwardingSink(const GForwardingSink&) = delete;
  GForwardingSink& operator=(const GForwardingSink&) = delete;
  // Deletes the target.
  virtual ~GForwardingSink();

  virtual void receive(uintptr_t value);
  virtual void receiveFour(uintptr_t a, uintptr_t b, uintptr_t c, uintptr_t d);
  // Takes the target (deleting one held before) and answers its attached.
  virtual int32_t attach(GSinkTarget* target, uint32_t value);
  // While a command is marked, 0 for every command; the mark is cleared
  // when the marked one passes. Without a mark, pollTarget.
  [[nodiscard]] virtual GStatus poll(const GCommand* command);
  // The target's poll, 0 without a target.
  [[nodiscard]] virtual GStatus pollTarget();
  // Lets everything through until the command passes. The marker clears
  // the mark (unmark) when the command is not sent after all, so that the
  // mark never outlives it.
  virtual void mark(const GCommand* command) { mark_ = command; }
  // 2 without a target; 1 when the target accepts the value; otherwise the
  // target is polled one last time, deleted and detached, and 2.
  [[nodiscard]] virtual GStatus check(uint32_t value);

  void unmark() { mark_ = nullptr; }
  const GCommand* marked() const { return mark_; }
  GSinkTarget* target() const { return target_; }

 private:
  const GCommand* mark_;
  GSinkTarget* target_;
};

class GOutputSink {
 public:
  GOutputSink() : word_(0), downstream_(nullptr) {}
  GOutputSink(const GOutputSink&) = default;
  GOutputSink& operator=(const GOutputSink&) = default;
  virtual ~GOutputSink() = default;

  // The downstream sink is not owned.
  virtual void attach(uint32_t word, GOutputSink* downstream) {
    word_ = word;
    downstream_ = downstream;
  }
  [[nodiscard]] virtual GStatus flush() = 0;
  [[nodiscard]] virtual GStatus receive(uintptr_t value);
  // (data, length, tag, stream tag, and two words the downstream reads) →
  // status.
  [[nodiscard]] virtual GStatus write(const unsigned char* data, int32_t length, int16_t tag, uint32_t streamTag,
                        int32_t first = 1, int32_t second = 0);
  virtual bool accepts(RWClassID classId) const = 0;
  virtual bool hasData() const = 0;

  uint32_t word() const { return word_; }
  GOutputSink* downstream() const { return downstream_; }

 private:
  uint32_t word_;
  GOutputSink* downstream_;
};

class GBufferedSink : public GOutputSink {
 public:
  static constexpr int32_t kBufferSize = 11264;
  // Writes of this many bytes or more bypass the buffer.
  static constexpr int32_t kDirectWrite = 5632;
  // The most the downstream takes in one write: its length is 16-bit.
  static constexpr int32_t kLargestWrite = 32767;

  GBufferedSink() : fill_(0), tag_(0), streamTag_(0) {}

  // Flushes a buffer of other tags first; buffers writes of less than
  // kDirectWrite bytes, flushing first when they do not fit; hands larger
  // ones down after a flush, in pieces of at most kLargestWrite bytes with
  // the same tags. Answers the first non-zero status.
  [[nodiscard]] GStatus write(const unsigned char* data, int32_t length, int16_t tag, uint32_t streamTag, int32_t first = 1,
                int32_t second = 0) override;
  // Hands the buffer down; the buffer is empty afterwards whatever the
  // downstream answered, so data it refused is not sent again.
  [[nodiscard]] GStatus flush() override;
  // Only pass-through commands.
  bool accepts(RWClassID classId) const override;
  bool hasData() const override { return fill_ != 0; }

  int32_t fill() const { return fill_; }

 private:
  [[nodiscard]] GStatus down(const unsigned char* data, int32_t length, int16_t tag, uint32_t streamTag);

  unsigned char buffer_[kBufferSize];
  int32_t fill_;
  int16_t tag_;
  uint32_t streamTag_;
};

#endif
