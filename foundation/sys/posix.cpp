// The user-mode platform layer on POSIX.

#include "rw/kmsys.h"

#include "rw/cp1252.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <locale.h>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

// ---- locks ---------------------------------------------------------------

namespace {
std::atomic<uint32_t> locksCreated{0};
std::atomic<uint32_t> locksDeleted{0};
}  // namespace

RWLockHandle rwCreateLock() {
  locksCreated.fetch_add(1, std::memory_order_relaxed);
  return new std::recursive_mutex;
}

void rwAcquireLock(RWLockHandle h) { static_cast<std::recursive_mutex*>(h)->lock(); }
void rwReleaseLock(RWLockHandle h) { static_cast<std::recursive_mutex*>(h)->unlock(); }

void rwDeleteLock(RWLockHandle h) {
  if (!h) return;
  locksDeleted.fetch_add(1, std::memory_order_relaxed);
  delete static_cast<std::recursive_mutex*>(h);
}

RWLockCounters rwLockCounters() { return {locksCreated.load(), locksDeleted.load()}; }

// ---- exit routines ---------------------------------------------------------

namespace {
// Plain storage that needs no constructor: routines may be added from any
// static initialiser, in any order.
std::mutex exitLock;
std::vector<void (*)()>* exitTable = nullptr;
bool exitHooked = false;

void runAtProcessExit() { rwRunExitRoutines(); }
}  // namespace

int rwAtExit(void (*routine)()) {
  std::lock_guard<std::mutex> guard(exitLock);
  if (!exitTable) exitTable = new (std::nothrow) std::vector<void (*)()>;
  if (!exitTable) return -1;
  if (exitTable->size() == exitTable->capacity()) {
    // The table grows by 32 entries at a time.
    try {
      exitTable->reserve(exitTable->size() + 32);
    } catch (...) {
      return -1;
    }
  }
  exitTable->push_back(routine);
  if (!exitHooked) {
    exitHooked = true;
    std::atexit(runAtProcessExit);
  }
  return 0;
}

void rwRunExitRoutines() {
  for (;;) {
    void (*routine)() = nullptr;
    {
      std::lock_guard<std::mutex> guard(exitLock);
      if (!exitTable || exitTable->empty()) return;
      routine = exitTable->back();
      exitTable->pop_back();
    }
    routine();  // newest first; a routine may add others
  }
}

// ---- raw blocks ----------------------------------------------------------

void* rwAlloc(size_t size) { return std::malloc(size); }

void rwFree(void* block) { std::free(block); }

// ---- the new-handler and the end of the process ---------------------------

namespace {
std::atomic<RWNewHandler> installedHandler{nullptr};
std::new_handler replacedHandler = nullptr;  // changed only by rwSetNewHandler

void callInstalledHandler() {
  RWNewHandler handler = installedHandler.load();
  if (!handler || !handler()) throw std::bad_alloc();
}
}  // namespace

RWNewHandler rwSetNewHandler(RWNewHandler handler) {
  RWNewHandler previous = installedHandler.exchange(handler);
  if (handler && !previous) {
    replacedHandler = std::set_new_handler(callInstalledHandler);
  } else if (!handler && previous) {
    std::set_new_handler(replacedHandler);
    replacedHandler = nullptr;
  }
  return previous;
}

void rwFatalAbort() { std::abort(); }

// ---- debug output and threads -------------------------------------------

namespace {
std::atomic<RWDebugSink> debugSink{nullptr};
}

RWDebugSink rwSetDebugSink(RWDebugSink sink) { return debugSink.exchange(sink); }

void kernelDebugPrintV(const char* format, va_list args) {
  char text[1024];
  vsnprintf(text, sizeof text, format, args);
  if (RWDebugSink sink = debugSink.load())
    sink(text);
  else
    fputs(text, stderr);
}

void kernelDebugPrint(const char* format, ...) {
  va_list args;
  va_start(args, format);
  kernelDebugPrintV(format, args);
  va_end(args);
}

// Asked on every store and restore: the kernel is asked once per thread.
uint32_t rwCurrentThreadId() {
  thread_local const uint32_t id = static_cast<uint32_t>(syscall(SYS_gettid));
  return id;
}

// ---- the file layer --------------------------------------------------------

struct KMFILE {
  int fd;
  bool append;
  int64_t position;
  uint32_t flags;
};

std::string KMHostPath(const char* name) {
  std::string path;
  if (!name) return path;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p) {
    if (*p == '\\') {
      path += '/';
    } else if (*p < 0x80) {
      path += static_cast<char>(*p);
    } else {
      char16_t c = rwAnsiToUnicode(*p);
      if (c < 0x800) {
        path += static_cast<char>(0xC0 | (c >> 6));
      } else {
        path += static_cast<char>(0xE0 | (c >> 12));
        path += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      }
      path += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return path;
}

namespace {
std::string hostPath(const char* name) { return KMHostPath(name); }

bool readAllowed(const KMFILE* f) { return (f->flags & KMFILE_ERR) == 0; }
}  // namespace

KMFILE* KMMapFileOpen(const char* name, const char* mode) {
  if (!name || !mode || !*mode) return nullptr;
  bool update = std::strchr(mode, '+') != nullptr;
  int flags = 0;
  bool append = false;
  switch (mode[0]) {
    case 'r': flags = update ? O_RDWR : O_RDONLY; break;
    case 'w': flags = (update ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC; break;
    case 'a': flags = (update ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND; append = true; break;
    default: return nullptr;
  }
  int fd = ::open(hostPath(name).c_str(), flags | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  KMFILE* f = new (std::nothrow) KMFILE{fd, append, 0, 0};
  if (!f) {
    ::close(fd);
    return nullptr;
  }
  if (append) f->position = st.st_size;
  return f;
}

int KMFileClose(KMFILE* f) {
  if (!f) return -1;
  int rc = ::close(f->fd);
  delete f;
  return rc == 0 ? 0 : -1;
}

size_t KMFileRead(void* buffer, size_t itemSize, size_t count, KMFILE* f) {
  if (!f || !readAllowed(f)) return 0;
  if (itemSize == 0 || count == 0) return 0;
  if (count > SIZE_MAX / itemSize) {
    f->flags |= KMFILE_ERR;
    return 0;
  }
  size_t want = itemSize * count;
  size_t got = 0;
  char* out = static_cast<char*>(buffer);
  while (got < want) {
    ssize_t n = ::pread(f->fd, out + got, want - got, f->position + static_cast<int64_t>(got));
    if (n < 0) {
      if (errno == EINTR) continue;
      f->flags |= KMFILE_ERR;
      break;
    }
    if (n == 0) {
      f->flags |= KMFILE_EOF;
      break;
    }
    got += static_cast<size_t>(n);
  }
  // Every byte read is consumed, the bytes of a partial last item too.
  f->position += static_cast<int64_t>(got);
  return got / itemSize;
}

size_t KMFileWrite(const void* buffer, size_t itemSize, size_t count, KMFILE* f) {
  if (!f || (f->flags & KMFILE_EOF)) return 0;
  if (itemSize == 0 || count == 0) return 0;
  if (count > SIZE_MAX / itemSize) {
    f->flags |= KMFILE_EOF | KMFILE_ERR;
    return 0;
  }
  size_t want = itemSize * count;
  size_t done = 0;
  const char* in = static_cast<const char*>(buffer);
  while (done < want) {
    ssize_t n;
    if (f->append)
      n = ::write(f->fd, in + done, want - done);
    else
      n = ::pwrite(f->fd, in + done, want - done, f->position + static_cast<int64_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  if (f->append) {
    off_t end = ::lseek(f->fd, 0, SEEK_END);
    if (end >= 0) f->position = end;
  } else {
    f->position += static_cast<int64_t>(done);
  }
  if (done < want)
    f->flags |= KMFILE_EOF | KMFILE_ERR;
  else
    f->flags &= ~KMFILE_EOF;
  return done / itemSize;
}

int KMFileGetc(KMFILE* f) {
  unsigned char c;
  if (KMFileRead(&c, 1, 1, f) != 1) return -1;
  return c;
}

int KMFileUngetc(int c, KMFILE* f) {
  // Pushing back the -1 of a failed getc must not move the position: that
  // getc consumed nothing.
  if (!f || c < 0 || f->position <= 0) return -1;
  f->position -= 1;
  return c;
}

int KMFileFlush(KMFILE* f) { return f ? 0 : -1; }

int64_t KMFileTell(KMFILE* f) { return f ? f->position : -1; }

int KMFileSeek(KMFILE* f, int64_t offset, int origin) {
  if (!f || (f->flags & KMFILE_ERR)) return -1;
  int64_t base;
  switch (origin) {
    case 0: base = 0; break;
    case 1: base = f->position; break;
    case 2: {
      struct stat st;
      if (fstat(f->fd, &st) != 0) {
        f->flags |= KMFILE_ERR;
        return -1;
      }
      base = st.st_size;
      break;
    }
    default: f->flags |= KMFILE_ERR; return -1;
  }
  if ((offset < 0 && base < -offset) || (offset > 0 && base > INT64_MAX - offset)) {
    f->flags |= KMFILE_ERR;
    return -1;
  }
  f->position = base + offset;
  f->flags &= ~KMFILE_EOF;
  return 0;
}

void KMFileClearError(KMFILE* f) {
  if (f) f->flags &= ~(KMFILE_EOF | KMFILE_ERR);
}

uint32_t KMFileFlags(KMFILE* f) { return f ? f->flags : KMFILE_ERR; }

int KMFileDelete(const char* name) {
  if (!name) return -1;
  return ::unlink(hostPath(name).c_str()) == 0 ? 0 : -1;
}

bool KMFileCanWrite(const char* name) {
  if (!name) return false;
  std::string path = hostPath(name);
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return ::access(path.c_str(), W_OK) == 0;
}

// ---- 16-bit text ----------------------------------------------------------

namespace {
int32_t ansiToUnicode(char16_t* out, uint32_t outUnits, const char* in, uint32_t inBytes) {
  if (!out || (!in && inBytes)) return -1;
  uint32_t n = inBytes < outUnits ? inBytes : outUnits;
  for (uint32_t i = 0; i < n; ++i) out[i] = rwAnsiToUnicode(static_cast<unsigned char>(in[i]));
  return static_cast<int32_t>(n);
}

int32_t unicodeToAnsi(char* out, uint32_t outBytes, const char16_t* in, uint32_t inUnits) {
  if (!out || (!in && inUnits)) return -1;
  uint32_t n = inUnits < outBytes ? inUnits : outBytes;
  for (uint32_t i = 0; i < n; ++i) {
    int b = rwUnicodeToAnsi(in[i]);
    out[i] = static_cast<char>(b < 0 ? '?' : b);
  }
  return static_cast<int32_t>(n);
}

// The C library takes wchar_t; 16-bit text is widened for the call only.
std::vector<wchar_t> toWchar(const char16_t* s) {
  std::vector<wchar_t> w;
  if (s)
    for (; *s; ++s) w.push_back(static_cast<wchar_t>(*s));
  w.push_back(wchar_t(0));
  return w;
}

uint32_t transformUnicode(char16_t* out, uint32_t room, const char16_t* in) {
  std::vector<wchar_t> src = toWchar(in);
  std::vector<wchar_t> key(room ? room : 1);
  size_t need = wcsxfrm(key.data(), src.data(), room);
  if (need >= room) return need > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(need);
  // Collation weights are small numbers; one above 16 bits would stand for
  // one far beyond every other, so it keeps that place.
  for (size_t i = 0; i <= need; ++i)
    out[i] = key[i] > 0xFFFF ? char16_t(0xFFFF) : static_cast<char16_t>(key[i]);
  return static_cast<uint32_t>(need);
}

std::atomic<decltype(KMTextHooks::toUnicode)> toUnicodeHook{nullptr};
std::atomic<decltype(KMTextHooks::toMultiByte)> toMultiByteHook{nullptr};
std::atomic<decltype(KMTextHooks::transform)> transformHook{nullptr};

// The case mappings come from the Unicode tables of the C library's UTF-8
// locale, whatever locale the process has chosen.
locale_t unicodeLocale() {
  static locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  return loc;
}

char16_t mapCase(char16_t c, bool upper) {
  if (locale_t loc = unicodeLocale()) {
    wint_t r = upper ? towupper_l(c, loc) : towlower_l(c, loc);
    return r <= 0xFFFF ? static_cast<char16_t>(r) : c;
  }
  // Without the locale only ASCII has a known mapping.
  if (upper && c >= u'a' && c <= u'z') return c - 0x20;
  if (!upper && c >= u'A' && c <= u'Z') return c + 0x20;
  return c;
}
}  // namespace

int32_t KMMultiByteToUnicode(char16_t* out, uint32_t outUnits, const char* in, uint32_t inBytes) {
  auto hook = toUnicodeHook.load();
  return hook ? hook(out, outUnits, in, inBytes) : ansiToUnicode(out, outUnits, in, inBytes);
}

int32_t KMUnicodeToMultiByte(char* out, uint32_t outBytes, const char16_t* in, uint32_t inUnits) {
  auto hook = toMultiByteHook.load();
  return hook ? hook(out, outBytes, in, inUnits) : unicodeToAnsi(out, outBytes, in, inUnits);
}

char16_t KMUpcaseUnicodeChar(char16_t c) { return mapCase(c, true); }
char16_t KMDowncaseUnicodeChar(char16_t c) { return mapCase(c, false); }

int KMCollateUnicode(const char16_t* a, const char16_t* b) {
  return wcscoll(toWchar(a).data(), toWchar(b).data());
}

uint32_t KMTransformUnicode(char16_t* out, uint32_t room, const char16_t* in) {
  auto hook = transformHook.load();
  return hook ? hook(out, room, in) : transformUnicode(out, room, in);
}

KMTextHooks KMSetTextHooks(const KMTextHooks& hooks) {
  return KMTextHooks{toUnicodeHook.exchange(hooks.toUnicode),
                     toMultiByteHook.exchange(hooks.toMultiByte),
                     transformHook.exchange(hooks.transform)};
}
