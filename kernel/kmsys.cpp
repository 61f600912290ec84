// The kernel driver's platform layer, on the graphics engine's services:
// locks on engine semaphores, exit routines in the runtime's table, raw
// blocks on the debugging heap, debug output through EngDebugPrint and
// 16-bit text through the engine's conversions. The file layer under RWFile
// is kmfile.cpp's.

#include "rw/kmsys.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/syscall.h>
#include <unistd.h>

#include "host/engine/ddi.h"
#include "kernel/runtime.h"

// ---- locks ---------------------------------------------------------------

namespace {
std::atomic<uint32_t> locksCreated{0};
std::atomic<uint32_t> locksDeleted{0};
}  // namespace

// An engine semaphore is re-entrant for the thread holding it, as the
// library's locks must be. Null when the engine has none to give: taking
// such a lock then does nothing, which only a driver already out of memory
// can see.
RWLockHandle rwCreateLock() {
  HSEMAPHORE s = EngCreateSemaphore();
  if (s) locksCreated.fetch_add(1, std::memory_order_relaxed);
  return s;
}

void rwAcquireLock(RWLockHandle h) {
  if (h) EngAcquireSemaphore(static_cast<HSEMAPHORE>(h));
}

void rwReleaseLock(RWLockHandle h) {
  if (h) EngReleaseSemaphore(static_cast<HSEMAPHORE>(h));
}

void rwDeleteLock(RWLockHandle h) {
  if (!h) return;
  locksDeleted.fetch_add(1, std::memory_order_relaxed);
  EngDeleteSemaphore(static_cast<HSEMAPHORE>(h));
}

RWLockCounters rwLockCounters() { return {locksCreated.load(), locksDeleted.load()}; }

// ---- exit routines ---------------------------------------------------------

// The runtime's exit table: its routines run, newest first, when the driver
// is disabled (kernelRuntimeShutdown).
int rwAtExit(void (*routine)()) { return atexit(routine); }

// The driver runs its exit table once, at disable; nothing runs it early.
void rwRunExitRoutines() {}

// ---- raw blocks ----------------------------------------------------------

// On the debugging heap, recording the caller of rwAlloc rather than rwAlloc.
__attribute__((noinline)) void* rwAlloc(size_t size) {
  return kernelHeapAllocFor(size, __builtin_return_address(0));
}

void rwFree(void* block) { kernelHeapFree(block); }

// ---- the new-handler and the end of the process ---------------------------

RWNewHandler rwSetNewHandler(RWNewHandler handler) { return _set_new_handler(handler); }

// A driver cannot end the engine's process.
void rwFatalAbort() {}

// ---- debug output and threads -------------------------------------------

namespace {
std::atomic<RWDebugSink> debugSink{nullptr};
}

RWDebugSink rwSetDebugSink(RWDebugSink sink) { return debugSink.exchange(sink); }

void kernelDebugPrintV(const char* format, va_list args) {
  if (RWDebugSink sink = debugSink.load()) {
    char text[1024];
    vsnprintf(text, sizeof text, format, args);
    sink(text);
    return;
  }
  // The engine's debug output with an empty prefix, as the caller wrote it.
  char prefix[1] = {0};
  EngDebugPrint(prefix, const_cast<PCHAR>(format), args);
}

void kernelDebugPrint(const char* format, ...) {
  va_list args;
  va_start(args, format);
  kernelDebugPrintV(format, args);
  va_end(args);
}

// The engine offers no thread identity of its own; the driver runs on the
// engine's threads, which are the process's.
uint32_t rwCurrentThreadId() { return static_cast<uint32_t>(syscall(SYS_gettid)); }

// ---- 16-bit text ----------------------------------------------------------

namespace {

// The engine's N conversions count bytes on both sides and use the ANSI
// code page, whose characters are one byte wide.
int32_t engineToUnicode(char16_t* out, uint32_t outUnits, const char* in, uint32_t inBytes) {
  if (!out || (!in && inBytes)) return -1;
  if (outUnits > UINT32_MAX / 2) outUnits = UINT32_MAX / 2;
  ULONG written = 0;
  EngMultiByteToUnicodeN(out, outUnits * 2, &written, const_cast<PCHAR>(in), inBytes);
  return static_cast<int32_t>(written / 2);
}

int32_t engineToMultiByte(char* out, uint32_t outBytes, const char16_t* in, uint32_t inUnits) {
  if (!out || (!in && inUnits)) return -1;
  if (inUnits > UINT32_MAX / 2) inUnits = UINT32_MAX / 2;
  ULONG written = 0;
  EngUnicodeToMultiByteN(out, outBytes, &written, const_cast<PWSTR>(in), inUnits * 2);
  return static_cast<int32_t>(written);
}

// The kernel has no locale: texts collate unit by unit, so a text is its
// own key.
uint32_t unitKey(char16_t* out, uint32_t room, const char16_t* in) {
  uint32_t n = 0;
  if (in)
    while (in[n]) ++n;
  if (n < room) {
    if (n) std::memcpy(out, in, n * sizeof(char16_t));
    out[n] = 0;
  }
  return n;
}

std::atomic<decltype(KMTextHooks::toUnicode)> toUnicodeHook{nullptr};
std::atomic<decltype(KMTextHooks::toMultiByte)> toMultiByteHook{nullptr};
std::atomic<decltype(KMTextHooks::transform)> transformHook{nullptr};

}  // namespace

int32_t KMMultiByteToUnicode(char16_t* out, uint32_t outUnits, const char* in, uint32_t inBytes) {
  auto hook = toUnicodeHook.load();
  return hook ? hook(out, outUnits, in, inBytes) : engineToUnicode(out, outUnits, in, inBytes);
}

int32_t KMUnicodeToMultiByte(char* out, uint32_t outBytes, const char16_t* in, uint32_t inUnits) {
  auto hook = toMultiByteHook.load();
  return hook ? hook(out, outBytes, in, inUnits) : engineToMultiByte(out, outBytes, in, inUnits);
}

// The kernel's case tables cover what the driver's names use: ASCII and
// the Latin-1 letters (not the multiplication and division signs).
char16_t KMUpcaseUnicodeChar(char16_t c) {
  if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 0x20;
  if (c == 0xFF) return 0x178;
  return c;
}

char16_t KMDowncaseUnicodeChar(char16_t c) {
  if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
  if (c == 0x178) return 0xFF;
  return c;
}

int KMCollateUnicode(const char16_t* a, const char16_t* b) {
  static const char16_t empty[1] = {0};
  if (!a) a = empty;
  if (!b) b = empty;
  while (*a && *a == *b) ++a, ++b;
  return *a < *b ? -1 : (*a > *b ? 1 : 0);
}

uint32_t KMTransformUnicode(char16_t* out, uint32_t room, const char16_t* in) {
  auto hook = transformHook.load();
  return hook ? hook(out, room, in) : unitKey(out, room, in);
}

KMTextHooks KMSetTextHooks(const KMTextHooks& hooks) {
  return KMTextHooks{toUnicodeHook.exchange(hooks.toUnicode),
                     toMultiByteHook.exchange(hooks.toMultiByte),
                     transformHook.exchange(hooks.transform)};
}
