// The kernel driver's file layers: the native layer on ntdll.dll's entries,
// the mapped file on the engine's module mapping, and the stream layer the
// foundation library's RWFile stands on.

#include "kernel/kmfile.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "kernel/runtime.h"
#include "rw/kmsys.h"
#include "rw/wstring.h"

NtdllEntryTable ntdllEntryTable;

namespace {

// RtlInitUnicodeString counts a name in 16-bit bytes; a longer name would be
// cut short and name another file.
constexpr size_t MaxNameUnits = 0x7FFE;

size_t wideLength(const WCHAR* name) {
  size_t n = 0;
  while (name[n]) ++n;
  return n;
}

// An 8-bit name as a new wide name, or null. The whole name goes through
// the engine with its terminator, into four bytes a character; the
// terminator is placed again after what was converted.
std::unique_ptr<WCHAR[]> widenName(const char* name) {
  if (!name) return nullptr;
  size_t len = std::strlen(name);
  if (len >= MaxNameUnits) return nullptr;
  std::unique_ptr<WCHAR[]> wide(new (std::nothrow) WCHAR[2 * (len + 1)]);
  if (!wide) return nullptr;
  ULONG bytes = 0;
  EngMultiByteToUnicodeN(wide.get(), static_cast<ULONG>(4 * (len + 1)), &bytes, const_cast<char*>(name),
                         static_cast<ULONG>(len + 1));
  wide[bytes / 2] = 0;  // bytes / 2 <= len + 1, inside the buffer
  return wide;
}

// One entry of ntdll.dll into its slot of the table.
template <class Fn>
bool findEntry(HANDLE image, const char* name, Fn& slot) {
  slot = reinterpret_cast<Fn>(EngFindImageProcAddress(image, const_cast<char*>(name)));
  return slot != nullptr;
}

// The common step of the wide opens.
HANDLE nativeOpen(const WCHAR* name, int32_t flags, int32_t share, int32_t permission) {
  if (!kmNativeTableLoaded() || !name || wideLength(name) >= MaxNameUnits) return nullptr;
  ACCESS_MASK access;
  switch (flags & KM_O_ACCMODE) {
    case KM_O_RDONLY: access = GENERIC_READ | SYNCHRONIZE; break;
    case KM_O_WRONLY: access = GENERIC_WRITE | SYNCHRONIZE; break;
    case KM_O_RDWR: access = GENERIC_READ | GENERIC_WRITE | SYNCHRONIZE; break;
    default: return nullptr;
  }
  ULONG shareMode;
  switch (share) {
    case KM_SH_DENYRW: shareMode = 0; break;
    case KM_SH_DENYWR: shareMode = FILE_SHARE_READ; break;
    case KM_SH_DENYRD: shareMode = FILE_SHARE_WRITE; break;
    case KM_SH_DENYNO: shareMode = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    default: return nullptr;
  }
  ULONG disposition;
  switch (flags & (KM_O_CREAT | KM_O_TRUNC | KM_O_EXCL)) {
    case KM_O_CREAT: disposition = FILE_OPEN_IF; break;
    case KM_O_TRUNC:
    case KM_O_TRUNC | KM_O_EXCL: disposition = FILE_OVERWRITE; break;
    case KM_O_CREAT | KM_O_TRUNC: disposition = FILE_OVERWRITE_IF; break;
    case KM_O_CREAT | KM_O_EXCL:
    case KM_O_CREAT | KM_O_TRUNC | KM_O_EXCL: disposition = FILE_CREATE; break;
    default: disposition = FILE_OPEN; break;  // none, or exclusive alone
  }
  ULONG attributes = (flags & KM_O_CREAT) && !(permission & KM_S_IWRITE) ? FILE_ATTRIBUTE_READONLY
                                                                          : FILE_ATTRIBUTE_NORMAL;
  ULONG options = FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE;
  if (flags & KM_O_TEMPORARY) {
    access |= DELETE;
    attributes |= FILE_ATTRIBUTE_TEMPORARY;
    options |= FILE_DELETE_ON_CLOSE;
  }
  if (flags & KM_O_SHORT_LIVED) attributes |= FILE_ATTRIBUTE_TEMPORARY;
  if (flags & KM_O_SEQUENTIAL)
    options |= FILE_SEQUENTIAL_ONLY;
  else if (flags & KM_O_RANDOM)
    options |= FILE_RANDOM_ACCESS;

  UNICODE_STRING counted;
  ntdllEntryTable.RtlInitUnicodeString(&counted, name);
  OBJECT_ATTRIBUTES object = {sizeof(OBJECT_ATTRIBUTES), nullptr, &counted, OBJ_CASE_INSENSITIVE};
  IO_STATUS_BLOCK status = {};
  HANDLE file = nullptr;
  NTSTATUS rc = ntdllEntryTable.ZwCreateFile(&file, access, &object, &status, nullptr, attributes,
                                             shareMode, disposition, options, nullptr, 0);
  return rc >= 0 ? file : nullptr;
}

bool queryPosition(HANDLE file, int64_t& at) {
  FILE_POSITION_INFORMATION info = {};
  IO_STATUS_BLOCK status = {};
  if (ntdllEntryTable.ZwQueryInformationFile(file, &status, &info, sizeof info,
                                             FilePositionInformation) < 0)
    return false;
  at = info.CurrentByteOffset.QuadPart;
  return true;
}

bool queryLength(HANDLE file, int64_t& length) {
  FILE_STANDARD_INFORMATION info = {};
  IO_STATUS_BLOCK status = {};
  if (ntdllEntryTable.ZwQueryInformationFile(file, &status, &info, sizeof info,
                                             FileStandardInformation) < 0)
    return false;
  length = info.EndOfFile.QuadPart;
  return true;
}

int32_t within31Bits(int64_t value) {
  return value >= 0 && value <= INT32_MAX ? static_cast<int32_t>(value) : -1;
}

// Holds a mapped file's semaphore for one operation.
class Holding {
 public:
  explicit Holding(HSEMAPHORE lock) : lock_(lock) { EngAcquireSemaphore(lock_); }
  ~Holding() { EngReleaseSemaphore(lock_); }
  Holding(const Holding&) = delete;
  Holding& operator=(const Holding&) = delete;

 private:
  HSEMAPHORE lock_;
};

}  // namespace

// ---- the native entry table -------------------------------------------------

bool kmNativeTableLoaded() { return ntdllEntryTable.image != nullptr; }

bool kmLoadNativeTable() {
  if (kmNativeTableLoaded()) return true;
  WCHAR name[] = u"ntdll.dll";
  HANDLE image = EngLoadImage(name);
  if (!image) return false;
  NtdllEntryTable table = {};
  table.image = image;
  bool found = findEntry(image, "ZwCreateFile", table.ZwCreateFile) &&
               findEntry(image, "ZwClose", table.ZwClose) &&
               findEntry(image, "ZwReadFile", table.ZwReadFile) &&
               findEntry(image, "ZwWriteFile", table.ZwWriteFile) &&
               findEntry(image, "ZwQueryInformationFile", table.ZwQueryInformationFile) &&
               findEntry(image, "ZwSetInformationFile", table.ZwSetInformationFile) &&
               findEntry(image, "RtlAnsiStringToUnicodeString", table.RtlAnsiStringToUnicodeString) &&
               findEntry(image, "RtlFreeUnicodeString", table.RtlFreeUnicodeString) &&
               findEntry(image, "RtlInitAnsiString", table.RtlInitAnsiString) &&
               findEntry(image, "RtlInitUnicodeString", table.RtlInitUnicodeString) &&
               findEntry(image, "RtlConvertLongToLargeInteger", table.RtlConvertLongToLargeInteger) &&
               findEntry(image, "RtlLargeIntegerAdd", table.RtlLargeIntegerAdd) &&
               findEntry(image, "RtlLargeIntegerSubtract", table.RtlLargeIntegerSubtract);
  if (!found) {
    // Half a table would fail at some later call; none fails every call.
    EngUnloadImage(image);
    ntdllEntryTable = NtdllEntryTable{};
    return false;
  }
  ntdllEntryTable = table;
  return true;
}

void kmUnloadNativeTable() {
  if (!kmNativeTableLoaded()) return;
  EngUnloadImage(ntdllEntryTable.image);
  ntdllEntryTable = NtdllEntryTable{};
}

// ---- the native layer -------------------------------------------------------

HANDLE KMOpenW(const WCHAR* name, int32_t flags, int32_t permission) {
  return nativeOpen(name, flags, KM_SH_DENYNO, permission);
}

HANDLE KMSOpenW(const WCHAR* name, int32_t flags, int32_t share, int32_t permission) {
  return nativeOpen(name, flags, share, permission);
}

HANDLE KMOpen(const char* name, int32_t flags, int32_t permission) {
  return KMSOpen(name, flags, KM_SH_DENYNO, permission);
}

HANDLE KMSOpen(const char* name, int32_t flags, int32_t share, int32_t permission) {
  if (!kmNativeTableLoaded()) return nullptr;
  const std::unique_ptr<WCHAR[]> wide = widenName(name);
  return wide ? nativeOpen(wide.get(), flags, share, permission) : nullptr;
}

int32_t KMClose(HANDLE file) {
  if (!kmNativeTableLoaded() || !file) return -1;
  return ntdllEntryTable.ZwClose(file) >= 0 ? 0 : -1;
}

int32_t KMRead(HANDLE file, void* buffer, uint32_t count) {
  if (!kmNativeTableLoaded() || !file || (!buffer && count) || count > INT32_MAX) return -1;
  IO_STATUS_BLOCK status = {};
  NTSTATUS rc = ntdllEntryTable.ZwReadFile(file, &status, buffer, count, nullptr);
  if (rc == STATUS_END_OF_FILE) return 0;
  if (rc < 0 || status.Information > count) return -1;
  return static_cast<int32_t>(status.Information);
}

int32_t KMWrite(HANDLE file, const void* buffer, uint32_t count) {
  if (!kmNativeTableLoaded() || !file || (!buffer && count) || count > INT32_MAX) return -1;
  IO_STATUS_BLOCK status = {};
  NTSTATUS rc = ntdllEntryTable.ZwWriteFile(file, &status, buffer, count, nullptr);
  if (rc < 0 || status.Information > count) return -1;
  return static_cast<int32_t>(status.Information);
}

int32_t KMLseek(HANDLE file, int32_t offset, int32_t origin) {
  if (!kmNativeTableLoaded() || !file) return -1;
  const NtdllEntryTable& nt = ntdllEntryTable;
  LARGE_INTEGER base = nt.RtlConvertLongToLargeInteger(0);
  switch (origin) {
    case 0: break;
    case 1:
      if (!queryPosition(file, base.QuadPart)) return -1;
      break;
    case 2:
      if (!queryLength(file, base.QuadPart)) return -1;
      break;
    default: return -1;
  }
  if (base.QuadPart < 0 || base.QuadPart > INT32_MAX) return -1;
  LARGE_INTEGER target = nt.RtlLargeIntegerAdd(base, nt.RtlConvertLongToLargeInteger(offset));
  if (target.QuadPart < 0 || target.QuadPart > INT32_MAX) return -1;
  FILE_POSITION_INFORMATION info = {target};
  IO_STATUS_BLOCK status = {};
  if (nt.ZwSetInformationFile(file, &status, &info, sizeof info, FilePositionInformation) < 0)
    return -1;
  return static_cast<int32_t>(target.QuadPart);
}

int32_t KMFileLength(HANDLE file) {
  int64_t length = 0;
  if (!kmNativeTableLoaded() || !file || !queryLength(file, length)) return -1;
  return within31Bits(length);
}

int32_t KMTell(HANDLE file) {
  int64_t at = 0;
  if (!kmNativeTableLoaded() || !file || !queryPosition(file, at)) return -1;
  return within31Bits(at);
}

int32_t KMFileDeleteW(const WCHAR* name) {
  // Opened for deletion on close, and closed.
  HANDLE file = KMSOpenW(name, KM_O_RDONLY | KM_O_TEMPORARY, KM_SH_DENYNO, 0);
  return file ? KMClose(file) : -1;
}

int KMFileDelete(const char* name) {
  kernelTrace("***** IN KMFileDelete(ANSI) *****\n");
  if (!name) return -1;
  kernelTrace("filename ='%s'\n", name);
  const std::unique_ptr<WCHAR[]> wide = widenName(name);
  if (!wide) return -1;
  // The trace's %S takes the platform's wide characters; what lies beyond
  // ASCII is shown as '?', which every locale can print.
  size_t n = wideLength(wide.get());
  if (const std::unique_ptr<wchar_t[]> shown{new (std::nothrow) wchar_t[n + 1]}) {
    for (size_t i = 0; i <= n; ++i) shown[i] = wide[i] < 0x80 ? static_cast<wchar_t>(wide[i]) : L'?';
    kernelTrace("unicode ='%S'\n", shown.get());
  }
  return KMFileDeleteW(wide.get());
}

// ---- the mapped file ----------------------------------------------------------

namespace {
constexpr uint32_t GrowthMargin = 4096;
constexpr uint32_t TruncatedSize = 4096;
}  // namespace

KMMappedFile* KMMappedFile::create() {
  HSEMAPHORE lock = EngCreateSemaphore();
  if (!lock) return nullptr;
  KMMappedFile* file = new (std::nothrow) KMMappedFile;
  if (!file) {
    EngDeleteSemaphore(lock);
    return nullptr;
  }
  file->lock_ = lock;
  return file;
}

void KMMappedFile::destroy(KMMappedFile* file) {
  if (!file) return;
  // Nobody is left to hear of a close that fails: the caller that cares
  // closes first.
  if (file->module_) (void)file->close();
  EngDeleteSemaphore(file->lock_);
  delete file;
}

void KMMappedFile::reset() {
  access_ = 0;
  position_ = -1;
  view_ = nullptr;
  length_ = 0;
  size_ = 0;
  module_ = nullptr;
}

bool KMMappedFile::mapForWrite(uint32_t size) {
  module_ = EngLoadModuleForWrite(name_.get(), size);
  if (!module_) return false;
  ULONG mapped = 0;
  view_ = static_cast<uint8_t*>(EngMapModule(module_, &mapped));
  if (!view_ && mapped > 0) {
    EngFreeModule(module_);
    module_ = nullptr;
    return false;
  }
  size_ = mapped;
  return true;
}

bool KMMappedFile::open(const WCHAR* name, int32_t flags, int32_t permission) {
  Holding hold(lock_);
  const int32_t access = flags & KM_O_ACCMODE;
  if (access == KM_O_ACCMODE || !name || module_) return false;
  size_t n = wideLength(name);
  name_.reset(new (std::nothrow) WCHAR[n + 1]);
  if (!name_) return false;
  std::memcpy(name_.get(), name, (n + 1) * sizeof(WCHAR));

  const bool creating = (flags & KM_O_CREAT) != 0;
  const bool writable = access != KM_O_RDONLY && (!creating || (permission & KM_S_IWRITE));
  if (!writable) {
    module_ = EngLoadModule(name_.get());
    ULONG mapped = 0;
    if (module_) view_ = static_cast<uint8_t*>(EngMapModule(module_, &mapped));
    if (!module_ || (!view_ && mapped > 0)) {
      if (module_) EngFreeModule(module_);
      reset();
      return false;
    }
    size_ = mapped;
    position_ = 0;
    length_ = mapped;
    return true;
  }

  // Loading a module for write makes a missing file, which only an open
  // that creates may do: the others ask first whether the file is there.
  if (!creating) {
    HANDLE probe = EngLoadModule(name_.get());
    if (!probe) return false;
    EngFreeModule(probe);
  }
  const bool truncating = (flags & KM_O_TRUNC) != 0;
  if (!mapForWrite(truncating ? TruncatedSize : 0)) {
    reset();
    return false;
  }
  access_ = Writable;
  if (truncating) {
    // The mapping may still hold the old contents; none of it is the file's
    // any more, and a seek past the end must find zeros there.
    if (view_) std::memset(view_, 0, size_);
    position_ = 0;
    length_ = 0;
  } else {
    length_ = size_;
    position_ = 0;
    if (flags & KM_O_APPEND) {
      position_ = length_;
      access_ = Appending;
    }
  }
  return true;
}

int32_t KMMappedFile::closeLocked() {
  // A file that failed to grow was closed then.
  if (!module_) {
    reset();
    return 0;
  }
  EngFreeModule(module_);
  int32_t rc = 0;
  if (access_ & Writable) {
    // Freeing wrote the whole mapping; the file takes its logical length.
    // A size of 0 would keep the mapping's size, so an empty file is cut
    // through the native layer instead.
    if (length_ > 0) {
      HANDLE again = EngLoadModuleForWrite(name_.get(), static_cast<ULONG>(length_));
      ULONG mapped = 0;
      if (again) EngMapModule(again, &mapped);
      if (again) EngFreeModule(again);
      rc = again && mapped == length_ ? 0 : -1;
    } else if (size_ > 0) {
      HANDLE file = KMOpenW(name_.get(), KM_O_WRONLY | KM_O_TRUNC, KM_S_IWRITE);
      rc = file && KMClose(file) == 0 ? 0 : -1;
    }
  }
  reset();
  return rc;
}

int32_t KMMappedFile::close() {
  Holding hold(lock_);
  return closeLocked();
}

bool KMMappedFile::grow(int64_t size) {
  if (size > UINT32_MAX) return false;
  const uint32_t access = access_;
  const int64_t position = position_, length = length_;
  if (closeLocked() != 0) return false;
  if (!mapForWrite(static_cast<uint32_t>(size)) || size_ != size) {
    if (module_) EngFreeModule(module_);
    reset();
    return false;
  }
  access_ = access;
  position_ = position;
  length_ = length;
  return true;
}

int32_t KMMappedFile::read(void* buffer, uint32_t count) {
  Holding hold(lock_);
  if (!module_ || !buffer) return 0;
  int64_t left = length_ - position_;
  if (left <= 0 || count == 0) return 0;
  uint32_t n = count < left ? count : static_cast<uint32_t>(left);
  if (n > INT32_MAX) n = INT32_MAX;
  std::memcpy(buffer, view_ + position_, n);
  position_ += n;
  return static_cast<int32_t>(n);
}

int32_t KMMappedFile::write(const void* buffer, uint32_t count) {
  Holding hold(lock_);
  if (!module_ || !(access_ & Writable) || (!buffer && count) || count > INT32_MAX) return -1;
  if (access_ == Appending) position_ = length_;
  const int64_t end = position_ + static_cast<int64_t>(count);
  if (end > MaxLength) return -1;
  if (end > size_ && !grow(end + GrowthMargin)) return -1;
  if (count) std::memcpy(view_ + position_, buffer, count);
  position_ = end;
  if (length_ < position_) length_ = position_;
  return static_cast<int32_t>(count);
}

int32_t KMMappedFile::seek(int64_t offset, int32_t origin) {
  Holding hold(lock_);
  if (!module_) return -1;
  int64_t base;
  switch (origin) {
    case 0: base = 0; break;
    case 1: base = position_; break;
    case 2: base = length_; break;
    default: return -1;
  }
  int64_t target = 0;
  if (__builtin_add_overflow(base, offset, &target) || target < 0 || target > MaxLength) return -1;
  // A file opened for reading is never grown: that would write to it. Its
  // position may lie past the end, where reads find nothing.
  if (access_ & Writable) {
    if (target > size_ && !grow(target)) return -1;
    if (length_ < target) length_ = target;
  }
  position_ = target;
  return 0;
}

int64_t KMMappedFile::length() {
  Holding hold(lock_);
  return length_;
}

int64_t KMMappedFile::position() {
  Holding hold(lock_);
  return position_;
}

bool KMMappedFile::hasView() {
  Holding hold(lock_);
  return module_ != nullptr;
}

uint32_t KMMappedFile::mappedSize() {
  Holding hold(lock_);
  return size_;
}

// ---- the stream layer -----------------------------------------------------------

struct KMFILE {
  KMMappedFile* file;
  uint32_t flags;
};

namespace {

// The C runtime's reading of a mode text: the first letter, then further
// letters until the text ends or one is refused. Answers false for a first
// letter it does not know.
bool modeFlags(const char* mode, int32_t& flags) {
  switch (mode[0]) {
    case 'r': flags = KM_O_RDONLY; break;
    case 'w': flags = KM_O_WRONLY | KM_O_CREAT | KM_O_TRUNC; break;
    case 'a': flags = KM_O_WRONLY | KM_O_APPEND | KM_O_CREAT; break;
    default: return false;
  }
  bool update = false, temporary = false, hint = false, shortLived = false, translation = false;
  for (const char* p = mode + 1; *p; ++p) {
    switch (*p) {
      case '+':
        if (update) return true;
        update = true;
        flags = (flags & ~KM_O_ACCMODE) | KM_O_RDWR;
        break;
      case 'D':
        if (temporary) return true;
        temporary = true;
        flags |= KM_O_TEMPORARY;
        break;
      case 'R':
      case 'S':
        if (hint) return true;
        hint = true;
        flags |= *p == 'R' ? KM_O_RANDOM : KM_O_SEQUENTIAL;
        break;
      case 'T':
        if (shortLived) return true;
        shortLived = true;
        flags |= KM_O_SHORT_LIVED;
        break;
      case 'b':
      case 't':
        if (translation) return true;
        translation = true;
        flags |= *p == 'b' ? KM_O_BINARY : KM_O_TEXT;
        break;
      case 'c':
      case 'n':
        break;
      default: return true;
    }
  }
  return true;
}

// size × count, or false when it does not fit in the 31 bits a mapped file
// can move at once.
bool byteCount(size_t itemSize, size_t count, uint32_t& bytes) {
  size_t total = 0;
  if (__builtin_mul_overflow(itemSize, count, &total) || total > INT32_MAX) return false;
  bytes = static_cast<uint32_t>(total);
  return true;
}

}  // namespace

// The engine finds files by their names; there is no host path to make.
std::string KMHostPath(const char* name) { return name ? std::string(name) : std::string(); }

KMFILE* KMMapFileOpen(const char* name, const char* mode) {
  int32_t flags = 0;
  if (!name || !mode || !modeFlags(mode, flags)) return nullptr;
  KMMappedFile* file = KMMappedFile::create();
  const std::unique_ptr<WCHAR[]> wide = file ? widenName(name) : nullptr;
  bool opened = wide && file->open(wide.get(), flags, KM_S_IWRITE);
  KMFILE* stream = opened ? new (std::nothrow) KMFILE{file, 0} : nullptr;
  if (!stream) {
    kernelTrace("--KMMapFileOpen: pHandle = NULL\n");
    KMMappedFile::destroy(file);
    return nullptr;
  }
  kernelTrace("--KMMapFileOpen: %s\n", name);
  return stream;
}

int KMFileClose(KMFILE* stream) {
  if (!stream) return -1;
  int rc = stream->file->close();
  if (rc != 0) stream->flags |= KMFILE_EOF | KMFILE_ERR;
  KMMappedFile::destroy(stream->file);
  delete stream;
  return rc == 0 ? 0 : -1;
}

size_t KMFileRead(void* buffer, size_t itemSize, size_t count, KMFILE* stream) {
  if (!stream || (stream->flags & KMFILE_ERR)) return 0;
  if (itemSize == 0 || count == 0) return 0;
  uint32_t want = 0;
  if (!byteCount(itemSize, count, want) || !buffer || !stream->file->hasView()) {
    stream->flags |= KMFILE_ERR;
    return 0;
  }
  // The bytes of a partial last item are consumed too.
  uint32_t got = static_cast<uint32_t>(stream->file->read(buffer, want));
  size_t items = got / itemSize;
  if (items < count) stream->flags |= KMFILE_EOF;
  return items;
}

size_t KMFileWrite(const void* buffer, size_t itemSize, size_t count, KMFILE* stream) {
  if (!stream || (stream->flags & KMFILE_EOF)) return 0;
  if (itemSize == 0 || count == 0) return 0;
  uint32_t bytes = 0;
  if (!byteCount(itemSize, count, bytes) || stream->file->write(buffer, bytes) < 0) {
    stream->flags |= KMFILE_EOF | KMFILE_ERR;
    return 0;
  }
  stream->flags &= ~KMFILE_EOF;
  return count;
}

int KMFileGetc(KMFILE* stream) {
  unsigned char c = 0;
  return KMFileRead(&c, 1, 1, stream) == 1 ? c : -1;
}

int KMFileUngetc(int c, KMFILE* stream) {
  // The -1 of a failed getc consumed nothing, so nothing steps back.
  if (!stream || c < 0 || stream->file->position() <= 0) return -1;
  if (stream->file->seek(-1, 1) != 0) return -1;
  return c;
}

int KMFileFlush(KMFILE* stream) { return stream ? 0 : -1; }

int64_t KMFileTell(KMFILE* stream) { return stream ? stream->file->position() : -1; }

int KMFileSeek(KMFILE* stream, int64_t offset, int origin) {
  if (!stream || (stream->flags & KMFILE_ERR)) return -1;
  if (stream->file->seek(offset, origin) != 0) {
    stream->flags |= KMFILE_ERR;
    return -1;
  }
  stream->flags &= ~KMFILE_EOF;
  return 0;
}

void KMFileClearError(KMFILE* stream) {
  if (stream) stream->flags &= ~(KMFILE_EOF | KMFILE_ERR);
}

uint32_t KMFileFlags(KMFILE* stream) { return stream ? stream->flags : KMFILE_ERR; }

bool KMFileCanWrite(const char* name) {
  // Opened for writing without creating or truncating, and closed.
  HANDLE file = KMOpen(name, KM_O_WRONLY, 0);
  return file && KMClose(file) == 0;
}

WCHAR* kmFileName(const RWWString& path) {
  const RWsize n = path.length();
  if (n == 0) return nullptr;
  for (RWsize i = 0; i < n; ++i)
    if (path(i) == 0) return nullptr;
  return const_cast<WCHAR*>(path.data());
}
