#ifndef RW_KMSYS_H
#define RW_KMSYS_H

// The platform layer under the foundation library.
//
// Everything the library needs of the operating system passes through these
// few functions: locks, exit routines, debug output, the current thread and
// the file layer under RWFile. One implementation is linked, chosen by the
// build (sys/posix.cpp for user mode); no other file of the library touches
// the operating system.
//
// Memory needs no entry here: every allocation goes through operator new,
// which calls the installed new-handler in a loop while the allocation fails.

#include <cstdarg>
#include <cstddef>
#include <cstdint>

// ---- locks ---------------------------------------------------------------
// A lock handle is re-entrant for the thread that holds it. Creation and
// deletion are counted so that tests can see that a never-taken lock costs
// nothing.
typedef void* RWLockHandle;
RWLockHandle rwCreateLock();
void rwAcquireLock(RWLockHandle);
void rwReleaseLock(RWLockHandle);
void rwDeleteLock(RWLockHandle);

struct RWLockCounters {
  uint32_t created;
  uint32_t deleted;
};
RWLockCounters rwLockCounters();

// ---- exit routines ---------------------------------------------------------
// Routines run newest first when the library is unloaded (or the process
// ends). Answers 0, or -1 when the table cannot grow.
int rwAtExit(void (*routine)());
// Runs and empties the table now; routines added later run at exit again.
void rwRunExitRoutines();

// ---- debug output and threads -------------------------------------------
// printf-style text to the debugger; stderr in user mode unless captured.
void kernelDebugPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
void kernelDebugPrintV(const char* format, va_list args);
// Installs a sink for debug output (null restores stderr); answers the old one.
typedef void (*RWDebugSink)(const char* text);
RWDebugSink rwSetDebugSink(RWDebugSink sink);

// The calling thread's identifier.
uint32_t rwCurrentThreadId();

// ---- the file layer --------------------------------------------------------
// A handle keeps its own position and two flags. Reads fail at once while
// the error flag is set, writes while the end-of-file flag is set; a short
// read sets end of file, a failing read sets error, a failing write sets
// both, a successful write clears end of file; a seek clears end of file or,
// failing, sets error, and is refused while error is set. Nothing is
// buffered, so reads and writes may alternate freely.
struct KMFILE;
constexpr uint32_t KMFILE_EOF = 0x10;
constexpr uint32_t KMFILE_ERR = 0x20;

// mode: "rb", "rb+", "wb", "wb+", "ab", "ab+" (a 'b' anywhere is ignored).
// Answers null when the file cannot be opened in that mode.
KMFILE* KMMapFileOpen(const char* name, const char* mode);
int KMFileClose(KMFILE*);
size_t KMFileRead(void* buffer, size_t itemSize, size_t count, KMFILE*);
size_t KMFileWrite(const void* buffer, size_t itemSize, size_t count, KMFILE*);
int KMFileGetc(KMFILE*);
int KMFileUngetc(int c, KMFILE*);
int KMFileFlush(KMFILE*);
int64_t KMFileTell(KMFILE*);
int KMFileSeek(KMFILE*, int64_t offset, int origin);  // 0 start, 1 current, 2 end
void KMFileClearError(KMFILE*);
uint32_t KMFileFlags(KMFILE*);
int KMFileDelete(const char* name);
// Write access to an existing file, without creating or changing anything.
bool KMFileCanWrite(const char* name);

#endif
