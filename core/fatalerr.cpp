#include "core/fatalerr.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "rw/kmsys.h"

namespace {

std::atomic<GFatalHook> shutDownHook{nullptr};
std::atomic<GFatalAbortHook> abortHook{nullptr};

void abortProcess(const GFatalReport& report) {
  GFatalAbortHook hook = abortHook.load();
  if (hook) {
    hook(report);
    return;
  }
  rwFatalAbort();
}

}  // namespace

GFatalHook setDriverServerShutDownHook(GFatalHook hook) { return shutDownHook.exchange(hook); }

GFatalAbortHook setFatalAbortHook(GFatalAbortHook hook) { return abortHook.exchange(hook); }

void shutDownDriverServer() {
  GFatalHook hook = shutDownHook.load();
  if (hook) hook();
}

RWCString fatalErrorText(int32_t kind, uint16_t errorId) {
  char text[256];
  unsigned id = errorId;
  if (kind == kFatalShutDownAndAbort) {
    std::snprintf(text, sizeof text,
                  "There has been a critical error and the printer driver cannot continue.  Save your "
                  "work, and exit the current application.  (Error id = %u)",
                  id);
  } else {
    std::snprintf(text, sizeof text, "Error id = %u  (No error string table, yet...)", id);
  }
  return RWCString(text);
}

void reportFatalError(int32_t kind, uint16_t errorId, const RWCString& sourceName, int32_t line,
                      const RWCString& /*message*/) {
  // The report is not shown anywhere; the abort is handed it, so that a
  // process that replaces the abort can keep it.
  if (kind != kFatalAbort && kind != kFatalShutDownAndAbort) return;
  // Memory may have run out (the memory reserve reports that): without room
  // for its text the report still shuts down and aborts.
  RWCString text;
  try {
    text = fatalErrorText(kind, errorId);
  } catch (const std::bad_alloc&) {
  }
  GFatalReport report{kind, errorId, sourceName, line, text};
  if (kind == kFatalShutDownAndAbort) shutDownDriverServer();
  abortProcess(report);
}
