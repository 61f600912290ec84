#ifndef CORE_FATALERR_H
#define CORE_FATALERR_H

// The single exit for errors the driver cannot survive.
//
// reportFatalError formats its report (which nobody shows) and then, by
// kind: 2 shuts the driver server down and aborts, 1 aborts, any other kind
// returns to the caller. The driver server and the abort are reached
// through hooks, so that the server (which comes above the core) can set
// its shut-down, and tests can watch an abort instead of dying. Where the
// abort returns (a test's hook, or a kernel-mode build where aborting does
// nothing) the caller carries on with its defined failure.

#include <cstdint>

#include "rw/cstring.h"

// The error ids.
enum : uint16_t {
  kFatalMemoryExhausted = 101,  // nothing left to release
  kFatalLockAcquire = 301,
  kFatalLockRelease = 302,
  kFatalUnknownHandle = 501,  // a handle to remove was in no table
};

// The kinds.
enum : int32_t {
  kFatalAbort = 1,
  kFatalShutDownAndAbort = 2,
};

void reportFatalError(int32_t kind, uint16_t errorId, const RWCString& sourceName, int32_t line,
                      const RWCString& message);

// The report's text as reportFatalError formats it (at most 255 bytes).
RWCString fatalErrorText(int32_t kind, uint16_t errorId);

typedef void (*GFatalHook)();
// Shuts the driver server down; null (the default) does nothing. Answers
// the previous hook.
GFatalHook setDriverServerShutDownHook(GFatalHook hook);

// What an abort is told of the error that ends the process.
struct GFatalReport {
  int32_t kind;
  uint16_t errorId;
  const RWCString& sourceName;
  int32_t line;
  const RWCString& text;  // the formatted report
};
// Ends the process; null restores std::abort. Answers the previous hook.
typedef void (*GFatalAbortHook)(const GFatalReport& report);
GFatalAbortHook setFatalAbortHook(GFatalAbortHook hook);

// Runs the shut-down hook if one is set.
void shutDownDriverServer();

#endif
