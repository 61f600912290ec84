// The user-mode platform layer on POSIX.

#include "rw/kmsys.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

uint32_t rwCurrentThreadId() { return static_cast<uint32_t>(syscall(SYS_gettid)); }

// ---- the file layer --------------------------------------------------------

struct KMFILE {
  int fd;
  bool append;
  int64_t position;
  uint32_t flags;
};

namespace {
// Names inside the system use backslashes; the file system wants slashes.
std::string hostPath(const char* name) {
  std::string path(name);
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

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
