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
// C++ objects need no memory entry here: they go through operator new,
// which calls the installed new-handler in a loop while the allocation fails.
// Code that hands an allocator to a C library (zlib) takes rwAlloc/rwFree.

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>

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

// ---- raw blocks ----------------------------------------------------------
// Blocks for a C library that takes its allocator from the caller: the C
// library's malloc in user mode, the driver's debugging heap in the kernel
// driver, so that every block the driver takes is counted and checked there.
// rwAlloc answers null when no block can be had (the new-handler is not
// asked); rwFree ignores null.
void* rwAlloc(size_t size);
void rwFree(void* block);

// ---- the new-handler and the end of the process ---------------------------
// The routine operator new calls while an allocation fails: 1 asks for
// another try, 0 gives up (std::bad_alloc in user mode, a null pointer in
// the kernel driver). Installing one (null removes it) answers the one it
// replaced; in user mode removing the last puts back the handler that was
// in place before the first.
typedef int (*RWNewHandler)();
RWNewHandler rwSetNewHandler(RWNewHandler handler);

// Ends the process after a fatal error; the kernel driver cannot, and
// returns, leaving the caller to carry on with its defined failure.
void rwFatalAbort();

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

// File names are 8-bit text in the ANSI code page with backslashes; the file
// system wants UTF-8 with slashes. This is the one place the first becomes
// the second (every file-layer call below goes through it).
std::string KMHostPath(const char* name);

// mode: "rb", "rb+", "wb", "wb+", "ab", "ab+" (a 'b' anywhere is ignored).
// Answers null when the file cannot be opened in that mode.
[[nodiscard]] KMFILE* KMMapFileOpen(const char* name, const char* mode);
[[nodiscard]] int KMFileClose(KMFILE*);
[[nodiscard]] size_t KMFileRead(void* buffer, size_t itemSize, size_t count, KMFILE*);
[[nodiscard]] size_t KMFileWrite(const void* buffer, size_t itemSize, size_t count, KMFILE*);
int KMFileGetc(KMFILE*);
int KMFileUngetc(int c, KMFILE*);
[[nodiscard]] int KMFileFlush(KMFILE*);
[[nodiscard]] int64_t KMFileTell(KMFILE*);
[[nodiscard]] int KMFileSeek(KMFILE*, int64_t offset, int origin);  // 0 start, 1 current, 2 end
void KMFileClearError(KMFILE*);
uint32_t KMFileFlags(KMFILE*);
[[nodiscard]] int KMFileDelete(const char* name);
// Write access to an existing file, without creating or changing anything.
bool KMFileCanWrite(const char* name);

// ---- 16-bit text ----------------------------------------------------------
// 8-bit text is in the ANSI code page, Windows-1252, whose characters are all
// one byte wide. The conversions answer the number of units (bytes) written,
// at most the room given, or -1 when the text cannot be converted; a 16-bit
// unit the code page cannot hold becomes '?'. Nothing is terminated.
int32_t KMMultiByteToUnicode(char16_t* out, uint32_t outUnits, const char* in, uint32_t inBytes);
int32_t KMUnicodeToMultiByte(char* out, uint32_t outBytes, const char16_t* in, uint32_t inUnits);
constexpr uint32_t KMMaxMultiByteCharSize = 1;

// Simple (one unit to one unit) Unicode case mappings of the basic
// multilingual plane.
char16_t KMUpcaseUnicodeChar(char16_t c);
char16_t KMDowncaseUnicodeChar(char16_t c);

// The C library's collation of NUL-terminated 16-bit texts: a comparison
// (negative, 0, positive) and a transformation whose keys compare unit by
// unit as the texts collate. The transformation writes at most room units
// (the key and its zero unit when they fit) and answers the length of the
// whole key.
int KMCollateUnicode(const char16_t* a, const char16_t* b);
uint32_t KMTransformUnicode(char16_t* out, uint32_t room, const char16_t* in);

// Replacements for the conversions and the transformation, so that their
// failures can be made on purpose. A null member restores the platform's
// own; the previous replacements are answered.
struct KMTextHooks {
  int32_t (*toUnicode)(char16_t*, uint32_t, const char*, uint32_t);
  int32_t (*toMultiByte)(char*, uint32_t, const char16_t*, uint32_t);
  uint32_t (*transform)(char16_t*, uint32_t, const char16_t*);
};
KMTextHooks KMSetTextHooks(const KMTextHooks& hooks);

#endif
