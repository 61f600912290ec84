#include "rw/rwerr.h"

#include <atomic>
#include <cstring>

#include "rw/defs.h"
#include "rw/kmsys.h"

namespace {
char* copyText(const char* text) {
  size_t len = text ? std::strlen(text) : 0;
  char* copy = new char[len + 1];
  if (len) std::memcpy(copy, text, len);
  copy[len] = 0;
  return copy;
}

std::atomic<rwErrHandler> handler{rwDefaultErrorHandler};
}  // namespace

RWErrorBase::RWErrorBase(const char* text) : text_(copyText(text)), owns_(true) {}
RWErrorBase::RWErrorBase(const RWMessage& msg) : text_(copyText(msg.str())), owns_(true) {}
RWErrorBase::RWErrorBase(const char* text, bool owns) : text_(text), owns_(owns) {}

RWErrorBase::RWErrorBase(const RWErrorBase& other)
    : text_(other.owns_ ? copyText(other.text_) : other.text_), owns_(other.owns_) {}

RWErrorBase& RWErrorBase::operator=(const RWErrorBase& other) {
  if (this != &other) {
    const char* text = other.owns_ ? copyText(other.text_) : other.text_;
    if (owns_) delete[] text_;
    text_ = text;
    owns_ = other.owns_;
  }
  return *this;
}

RWErrorBase::~RWErrorBase() {
  if (owns_) delete[] text_;
}

void RWErrorBase::raise() const { RWThrow(*this); }

RWMemoryErr::RWMemoryErr(size_t requested)
    : RWErrorBase(RWCORE_NOMEM()->text, false), requested_(requested) {}

void RWThrow(const RWErrorBase& e) { handler.load()(e); }
void RWThrow(const RWMemoryErr& e) { handler.load()(e); }
void RWThrow(const RWEnvironmentErr& e) { handler.load()(e); }
void RWThrow(const RWFileAccessErr& e) { handler.load()(e); }
void RWThrow(const RWStreamStateErr& e) { handler.load()(e); }
void RWThrow(const RWInternalErr& e) { handler.load()(e); }
void RWThrow(const RWBoundsErr& e) { handler.load()(e); }

rwErrHandler rwSetErrorHandler(rwErrHandler h) {
  return handler.exchange(h ? h : rwDefaultErrorHandler);
}

void rwDefaultErrorHandler(const RWErrorBase& e) {
  kernelDebugPrint("(%lX) ", static_cast<unsigned long>(rwCurrentThreadId()));
  // The user-mode build ends the line, since stderr is shared with others.
  kernelDebugPrint("RW!FtlErr: %s\n", e.why());
}

void rwReportIndex(uint32_t index, uint32_t length) {
  if (index == RW_NPOS)
    rwReport<RWBoundsErr>(RWTOOL_NPOSINDEX());
  else
    rwReport<RWBoundsErr>(RWTOOL_INDEXERR(), {index, length});
}
