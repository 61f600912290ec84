#ifndef KERNEL_KMFILE_H
#define KERNEL_KMFILE_H

// The kernel driver's file layers. The driver has no C runtime, so it
// brings its own:
//
// - a low-level layer in the manner of the C runtime's open, read, write
//   and lseek, on the native file services of ntdll.dll, whose addresses
//   are found at run time (the native entry table);
// - the mapped file: a file the engine maps as a module, read and written
//   in memory, grown by mapping it again, and given its logical length when
//   it is closed;
// - the stream layer of foundation/rw/kmsys.h (KMMapFileOpen and the
//   KMFile operations) on mapped files, under RWFile.
//
// Trace lines go to kernelTrace.

#include <cstdint>
#include <memory>

#include "host/engine/ddi.h"
#include "rw/wstring.h"

// ---- the native entry table -------------------------------------------------
// The image of ntdll.dll and the thirteen entries the native layer calls. It
// counts as loaded while the image is set; it is all or nothing.
struct NtdllEntryTable {
  HANDLE image;
  PFN_ZwCreateFile ZwCreateFile;
  PFN_ZwClose ZwClose;
  PFN_ZwReadFile ZwReadFile;
  PFN_ZwWriteFile ZwWriteFile;
  PFN_ZwQueryInformationFile ZwQueryInformationFile;
  PFN_ZwSetInformationFile ZwSetInformationFile;
  PFN_RtlAnsiStringToUnicodeString RtlAnsiStringToUnicodeString;
  PFN_RtlFreeUnicodeString RtlFreeUnicodeString;
  PFN_RtlInitAnsiString RtlInitAnsiString;
  PFN_RtlInitUnicodeString RtlInitUnicodeString;
  PFN_RtlConvertLongToLargeInteger RtlConvertLongToLargeInteger;
  PFN_RtlLargeIntegerAdd RtlLargeIntegerAdd;
  PFN_RtlLargeIntegerSubtract RtlLargeIntegerSubtract;
};
extern NtdllEntryTable ntdllEntryTable;

// Loads ntdll.dll through the engine and finds every entry; when one is
// missing the image is unloaded and the table left empty. Answers whether
// the table is loaded. Start-up runs it; its exit routine is the unload.
[[nodiscard]] bool kmLoadNativeTable();
void kmUnloadNativeTable();
bool kmNativeTableLoaded();

// ---- the native layer -------------------------------------------------------
// Open flags, the C runtime's values.
enum : int32_t {
  KM_O_RDONLY = 0x0,
  KM_O_WRONLY = 0x1,
  KM_O_RDWR = 0x2,
  KM_O_ACCMODE = 0x3,  // 3 itself is refused
  KM_O_APPEND = 0x8,
  KM_O_RANDOM = 0x10,
  KM_O_SEQUENTIAL = 0x20,
  KM_O_TEMPORARY = 0x40,  // deleted when closed
  KM_O_CREAT = 0x100,
  KM_O_TRUNC = 0x200,
  KM_O_EXCL = 0x400,
  KM_O_SHORT_LIVED = 0x1000,
  KM_O_TEXT = 0x4000,
  KM_O_BINARY = 0x8000,
};
// Share flags.
enum : int32_t { KM_SH_DENYRW = 0x10, KM_SH_DENYWR = 0x20, KM_SH_DENYRD = 0x30, KM_SH_DENYNO = 0x40 };
// Permission: a created file is writable.
enum : int32_t { KM_S_IWRITE = 0x80 };

// Each answers a handle, or 0 when the file cannot be opened. The 8-bit
// forms take names in the ANSI code page. KMOpenW shares with everyone.
[[nodiscard]] HANDLE KMOpenW(const WCHAR* name, int32_t flags, int32_t permission);
[[nodiscard]] HANDLE KMSOpenW(const WCHAR* name, int32_t flags, int32_t share, int32_t permission);
[[nodiscard]] HANDLE KMOpen(const char* name, int32_t flags, int32_t permission);
[[nodiscard]] HANDLE KMSOpen(const char* name, int32_t flags, int32_t share, int32_t permission);
// 0, or -1.
[[nodiscard]] int32_t KMClose(HANDLE file);
// The byte count moved (0 at the end of the file), or -1.
[[nodiscard]] int32_t KMRead(HANDLE file, void* buffer, uint32_t count);
[[nodiscard]] int32_t KMWrite(HANDLE file, const void* buffer, uint32_t count);
// Origin 0 from the start, 1 from the current position, 2 from the end.
// Answers the new position, or -1 (a failure, another origin, a target
// that is negative or beyond 31 bits; the position is then unchanged).
[[nodiscard]] int32_t KMLseek(HANDLE file, int32_t offset, int32_t origin);
// The end of the file and the current position; -1 when the query fails or
// the value does not fit in 31 bits.
[[nodiscard]] int32_t KMFileLength(HANDLE file);
[[nodiscard]] int32_t KMTell(HANDLE file);
// Deletes the file: 0, or -1. KMFileDelete, the 8-bit form, is declared
// with the stream layer in rw/kmsys.h.
[[nodiscard]] int32_t KMFileDeleteW(const WCHAR* name);

// A framework path as the engine and the calls above take a name: its own
// NUL-terminated characters. Null for a path that is empty or holds a NUL,
// which would be read only up to the NUL and so name another file.
WCHAR* kmFileName(const RWWString& path);

// ---- the mapped file ----------------------------------------------------------
// A file mapped by the engine as a module: the view holds the whole file
// and a little more, the logical length says how much of it is the file's.
// Each object has its own engine semaphore, taken around every operation.
//
// A file that failed to grow stays closed: it has no view, reads answer 0
// and writes -1 from then on.
class KMMappedFile {
 public:
  // Writable and appending access words.
  enum : uint32_t { Writable = 2, Appending = 6 };
  // The most a file may hold; positions and lengths stay within 31 bits.
  static constexpr int64_t MaxLength = INT32_MAX;

  // The semaphore; null when the engine has none to give.
  static KMMappedFile* create();
  // Frees the name and the semaphore. The file must be closed first.
  static void destroy(KMMappedFile* file);

  // Opens the file with C runtime flags; answers whether it is open.
  [[nodiscard]] bool open(const WCHAR* name, int32_t flags, int32_t permission);
  // Gives the file its logical length and frees the mapping: 0, or -1 when
  // the file could not be given its length.
  [[nodiscard]] int32_t close();
  // The byte count read or written, or -1 for a write that failed.
  [[nodiscard]] int32_t read(void* buffer, uint32_t count);
  [[nodiscard]] int32_t write(const void* buffer, uint32_t count);
  // 0, or -1.
  [[nodiscard]] int32_t seek(int64_t offset, int32_t origin);
  int64_t length();
  int64_t position();
  bool hasView();
  uint32_t mappedSize();

 private:
  KMMappedFile() = default;
  int32_t closeLocked();
  bool mapForWrite(uint32_t size);
  bool grow(int64_t size);
  void reset();

  uint32_t access_ = 0;
  int64_t position_ = -1;
  uint8_t* view_ = nullptr;
  int64_t length_ = 0;
  uint32_t size_ = 0;
  HSEMAPHORE lock_ = nullptr;
  HANDLE module_ = nullptr;
  std::unique_ptr<WCHAR[]> name_;
};

#endif
