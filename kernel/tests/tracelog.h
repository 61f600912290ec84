#ifndef KERNEL_TESTS_TRACELOG_H
#define KERNEL_TESTS_TRACELOG_H

// Listens to the kernel's trace sink for the life of the object. The lines
// are kept in fixed storage: a test may listen while the pool refuses every
// block, and the listener must not allocate then.

#include <cstring>
#include <string>
#include <vector>

#include "kernel/runtime.h"

class TraceLog {
 public:
  TraceLog() {
    count_ = 0;
    previous_ = kernelSetTraceHook(&TraceLog::listen);
  }
  ~TraceLog() { kernelSetTraceHook(previous_); }
  TraceLog(const TraceLog&) = delete;
  TraceLog& operator=(const TraceLog&) = delete;

  std::vector<std::string> lines() const {
    return std::vector<std::string>(lines_, lines_ + count_);
  }
  void clear() { count_ = 0; }

 private:
  static constexpr size_t kLines = 2048;
  static void listen(const char* text) {
    if (count_ < kLines) {
      std::strncpy(lines_[count_], text, sizeof lines_[0] - 1);
      lines_[count_][sizeof lines_[0] - 1] = '\0';
      ++count_;
    }
  }

  static inline char lines_[kLines][160];
  static inline size_t count_ = 0;
  KernelTraceHook previous_;
};

#endif
