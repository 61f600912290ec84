#ifndef RW_RWERR_H
#define RW_RWERR_H

// Error objects and the installed error handler.
//
// The library throws nothing. A reporter formats a catalogue message, wraps
// it in the error object of the right kind and hands it to RWThrow, which
// calls the one installed handler and returns; the reporter then goes on
// with its own defined recovery.

#include <cstddef>
#include <ios>

#include "rw/message.h"

class RWErrorBase {
 public:
  explicit RWErrorBase(const char* text);
  explicit RWErrorBase(const RWMessage& msg);
  RWErrorBase(const RWErrorBase&);
  RWErrorBase& operator=(const RWErrorBase&);
  virtual ~RWErrorBase();

  const char* why() const { return text_; }
  void raise() const;

 protected:
  // Keeps the pointer only; the text is not owned and not copied.
  RWErrorBase(const char* text, bool owns);

 private:
  const char* text_;
  bool owns_;
};

class RWMemoryErr : public RWErrorBase {
 public:
  explicit RWMemoryErr(size_t requested);
  size_t requested() const { return requested_; }

 private:
  size_t requested_;
};

class RWEnvironmentErr : public RWErrorBase {
 public:
  explicit RWEnvironmentErr(const char* text) : RWErrorBase(text) {}
  explicit RWEnvironmentErr(const RWMessage& msg) : RWErrorBase(msg) {}
};

struct KMFILE;

class RWFileAccessErr : public RWEnvironmentErr {
 public:
  enum Kind { seekErr = 1, readErr = 2, writeErr = 3 };
  RWFileAccessErr(const char* text, KMFILE* file, Kind kind)
      : RWEnvironmentErr(text), file_(file), kind_(kind) {}
  RWFileAccessErr(const RWMessage& msg, KMFILE* file, Kind kind)
      : RWEnvironmentErr(msg), file_(file), kind_(kind) {}
  KMFILE* file() const { return file_; }
  Kind errorKind() const { return kind_; }

 private:
  KMFILE* file_;
  Kind kind_;
};

class RWStreamStateErr : public RWEnvironmentErr {
 public:
  RWStreamStateErr(const char* text, const std::ios& stream)
      : RWEnvironmentErr(text), stream_(&stream) {}
  RWStreamStateErr(const RWMessage& msg, const std::ios& stream)
      : RWEnvironmentErr(msg), stream_(&stream) {}
  const std::ios* stream() const { return stream_; }

 private:
  const std::ios* stream_;
};

class RWInternalErr : public RWErrorBase {
 public:
  explicit RWInternalErr(const char* text) : RWErrorBase(text) {}
  explicit RWInternalErr(const RWMessage& msg) : RWErrorBase(msg) {}
};

class RWBoundsErr : public RWInternalErr {
 public:
  explicit RWBoundsErr(const char* text) : RWInternalErr(text) {}
  explicit RWBoundsErr(const RWMessage& msg) : RWInternalErr(msg) {}
};

typedef void (*rwErrHandler)(const RWErrorBase&);

void RWThrow(const RWErrorBase&);
void RWThrow(const RWMemoryErr&);
void RWThrow(const RWEnvironmentErr&);
void RWThrow(const RWFileAccessErr&);
void RWThrow(const RWStreamStateErr&);
void RWThrow(const RWInternalErr&);
void RWThrow(const RWBoundsErr&);

rwErrHandler rwSetErrorHandler(rwErrHandler handler);
void rwDefaultErrorHandler(const RWErrorBase&);

// The reports every index check makes: INDEXERR (NPOSINDEX when the index is
// RW_NPOS) as a bounds error.
void rwReportIndex(uint32_t index, uint32_t length);
// Shorthand for one report of a catalogue message as the given kind.
template <class Err>
void rwReport(const RWCatMsg* entry, std::initializer_list<RWMessageArg> args = {}) {
  RWMessage msg(entry, args);
  RWThrow(Err(msg));
}

#endif
