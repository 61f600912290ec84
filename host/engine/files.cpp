// Files: NT paths mapped under the engine's root, the modules the engine
// maps for the driver, the images it loads (add-on libraries, and ntdll.dll
// with its table of native file services over POSIX files).

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <fstream>
#include <iterator>

#include "host/engine/internal.h"

using namespace eng::detail;

namespace {

std::string theRoot = "/tmp";
std::u16string imageName;  // the loaded driver's NT path
std::string removedEntry;
eng::CreateFileCall lastCreate;
std::vector<ULONG> writeSizes;

std::string utf8(const std::u16string& text) {
  OwnMemory own;
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = '?';
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

char16_t fold(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

bool sameName(const std::u16string& a, const std::u16string& b) {
  OwnMemory own;
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (fold(a[i]) != fold(b[i])) return false;
  return true;
}

// The entry of folder that matches name case-insensitively (ASCII letters),
// or the name as written when none does.
std::string component(const std::string& folder, const std::u16string& name) {
  OwnMemory own;
  std::string written = utf8(name);
  DIR* dir = opendir(folder.c_str());
  if (!dir) return written;
  std::string found = written;
  while (dirent* entry = readdir(dir)) {
    std::string candidate = entry->d_name;
    if (candidate == written) {
      found = candidate;
      break;
    }
    if (candidate.size() == written.size()) {
      bool same = true;
      for (size_t i = 0; i < candidate.size() && same; ++i)
        same = std::tolower(static_cast<unsigned char>(candidate[i])) ==
               std::tolower(static_cast<unsigned char>(written[i]));
      if (same) found = candidate;
    }
  }
  closedir(dir);
  return found;
}

std::string readWhole(const std::string& path, bool& ok) {
  OwnMemory own;
  std::ifstream in(path, std::ios::binary);
  ok = static_cast<bool>(in);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool isFile(const std::string& path) {
  OwnMemory own;
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// ------------------------------------------------------------------ modules

struct Module {
  std::u16string ntName;
  std::string path;
  std::string data;
  bool writable = false;
};

// ------------------------------------------------------------------- images

struct Image {
  std::u16string ntName;
  void* dl = nullptr;  // null: ntdll.dll, the engine's own table
};

// -------------------------------------------------------------- native files

struct NtFile {
  int fd = -1;
  std::string path;
  bool read = false, write = false, deleteOnClose = false;
  int64_t position = 0;
};

NtFile* fileOf(HANDLE h, const char* service) {
  OwnMemory own;
  if (!tracked(Kind::File, h)) {
    reportMisuse(std::string(service) + ": unknown file handle");
    return nullptr;
  }
  return reinterpret_cast<NtFile*>(h);
}

NTSTATUS ZwCreateFile(HANDLE* file, ACCESS_MASK access, OBJECT_ATTRIBUTES* attributes,
                      IO_STATUS_BLOCK* status, LARGE_INTEGER*, ULONG fileAttributes, ULONG share,
                      ULONG disposition, ULONG options, PVOID, ULONG) {
  if (!file || !attributes || !attributes->ObjectName || !status ||
      attributes->RootDirectory != nullptr || !attributes->ObjectName->Buffer ||
      attributes->ObjectName->Length % 2 != 0) {
    reportMisuse("ZwCreateFile: bad arguments");
    return STATUS_INVALID_PARAMETER;
  }
  *file = nullptr;
  const UNICODE_STRING& name = *attributes->ObjectName;
  {
    std::lock_guard guard(lock());
    lastCreate = eng::CreateFileCall{access, attributes->Attributes, fileAttributes, share,
                                     disposition, options,
                                     std::u16string(name.Buffer, name.Length / 2)};
  }
  std::string path = eng::mapPath(std::u16string(name.Buffer, name.Length / 2));
  if (path.empty()) return status->Status = STATUS_OBJECT_NAME_NOT_FOUND;
  bool deleteOnClose = (options & FILE_DELETE_ON_CLOSE) != 0;
  if (deleteOnClose && !(access & DELETE)) return status->Status = STATUS_INVALID_PARAMETER;
  bool exists = isFile(path);
  bool create = false, truncate = false;
  ULONG action = FILE_OPENED;
  switch (disposition) {
    case FILE_OPEN:
      if (!exists) return status->Status = STATUS_OBJECT_NAME_NOT_FOUND;
      break;
    case FILE_OPEN_IF:
      create = !exists;
      break;
    case FILE_OVERWRITE:
      if (!exists) return status->Status = STATUS_OBJECT_NAME_NOT_FOUND;
      truncate = true;
      break;
    case FILE_OVERWRITE_IF:
      create = !exists;
      truncate = exists;
      break;
    case FILE_CREATE:
      if (exists) return status->Status = STATUS_OBJECT_NAME_COLLISION;
      create = true;
      break;
    default:
      reportMisuse("ZwCreateFile: unknown disposition");
      return status->Status = STATUS_INVALID_PARAMETER;
  }
  if (create) action = FILE_CREATED;
  if (truncate) action = FILE_OVERWRITTEN;
  auto* f = new NtFile;
  f->path = path;
  f->read = (access & GENERIC_READ) != 0;
  f->write = (access & GENERIC_WRITE) != 0;
  f->deleteOnClose = deleteOnClose;
  int flags = f->read && f->write ? O_RDWR : f->write ? O_WRONLY : O_RDONLY;
  if (create) flags |= O_CREAT | O_EXCL;
  if (truncate) flags |= O_TRUNC;
  mode_t mode = (create && (fileAttributes & FILE_ATTRIBUTE_READONLY)) ? 0444 : 0644;
  f->fd = open(path.c_str(), flags | O_CLOEXEC, mode);
  if (f->fd < 0) {
    delete f;
    return status->Status = errno == ENOENT ? STATUS_OBJECT_NAME_NOT_FOUND : STATUS_ACCESS_DENIED;
  }
  track(Kind::File, f);
  *file = reinterpret_cast<HANDLE>(f);
  status->Information = action;
  return status->Status = STATUS_SUCCESS;
}

NTSTATUS ZwClose(HANDLE file) {
  OwnMemory own;
  NtFile* f = fileOf(file, "ZwClose");
  if (!f) return STATUS_INVALID_HANDLE;
  untrack(Kind::File, f);
  close(f->fd);
  if (f->deleteOnClose) unlink(f->path.c_str());
  delete f;
  return STATUS_SUCCESS;
}

NTSTATUS ZwReadFile(HANDLE file, IO_STATUS_BLOCK* status, PVOID buffer, ULONG length,
                    LARGE_INTEGER* offset) {
  NtFile* f = fileOf(file, "ZwReadFile");
  if (!f) return STATUS_INVALID_HANDLE;
  if (!status || (!buffer && length)) return STATUS_INVALID_PARAMETER;
  if (!f->read) return status->Status = STATUS_ACCESS_DENIED;
  int64_t at = offset ? offset->QuadPart : f->position;
  if (at < 0) return status->Status = STATUS_INVALID_PARAMETER;
  ssize_t n = pread(f->fd, buffer, length, at);
  if (n < 0) return status->Status = STATUS_UNSUCCESSFUL;
  status->Information = static_cast<uint64_t>(n);
  f->position = at + n;
  if (n == 0 && length > 0) return status->Status = STATUS_END_OF_FILE;
  return status->Status = STATUS_SUCCESS;
}

NTSTATUS ZwWriteFile(HANDLE file, IO_STATUS_BLOCK* status, const void* buffer, ULONG length,
                     LARGE_INTEGER* offset) {
  NtFile* f = fileOf(file, "ZwWriteFile");
  if (!f) return STATUS_INVALID_HANDLE;
  if (!status || (!buffer && length)) return STATUS_INVALID_PARAMETER;
  if (!f->write) return status->Status = STATUS_ACCESS_DENIED;
  int64_t at = offset ? offset->QuadPart : f->position;
  if (at < 0) return status->Status = STATUS_INVALID_PARAMETER;
  ssize_t n = pwrite(f->fd, buffer, length, at);
  if (n < 0) return status->Status = STATUS_UNSUCCESSFUL;
  status->Information = static_cast<uint64_t>(n);
  f->position = at + n;
  return status->Status = STATUS_SUCCESS;
}

NTSTATUS ZwQueryInformationFile(HANDLE file, IO_STATUS_BLOCK* status, PVOID info, ULONG length,
                                ULONG infoClass) {
  NtFile* f = fileOf(file, "ZwQueryInformationFile");
  if (!f) return STATUS_INVALID_HANDLE;
  if (!status || !info) return STATUS_INVALID_PARAMETER;
  if (infoClass == FilePositionInformation && length >= sizeof(FILE_POSITION_INFORMATION)) {
    static_cast<FILE_POSITION_INFORMATION*>(info)->CurrentByteOffset.QuadPart = f->position;
    status->Information = sizeof(FILE_POSITION_INFORMATION);
    return status->Status = STATUS_SUCCESS;
  }
  if (infoClass == FileStandardInformation && length >= sizeof(FILE_STANDARD_INFORMATION)) {
    struct stat st;
    if (fstat(f->fd, &st) != 0) return status->Status = STATUS_UNSUCCESSFUL;
    auto* out = static_cast<FILE_STANDARD_INFORMATION*>(info);
    out->AllocationSize.QuadPart = st.st_blocks * 512;
    out->EndOfFile.QuadPart = st.st_size;
    out->NumberOfLinks = static_cast<ULONG>(st.st_nlink);
    out->DeletePending = f->deleteOnClose;
    out->Directory = 0;
    status->Information = sizeof(FILE_STANDARD_INFORMATION);
    return status->Status = STATUS_SUCCESS;
  }
  return status->Status = STATUS_INVALID_PARAMETER;
}

NTSTATUS ZwSetInformationFile(HANDLE file, IO_STATUS_BLOCK* status, PVOID info, ULONG length,
                              ULONG infoClass) {
  NtFile* f = fileOf(file, "ZwSetInformationFile");
  if (!f) return STATUS_INVALID_HANDLE;
  if (!status || !info) return STATUS_INVALID_PARAMETER;
  if (infoClass == FilePositionInformation && length >= sizeof(FILE_POSITION_INFORMATION)) {
    int64_t at = static_cast<FILE_POSITION_INFORMATION*>(info)->CurrentByteOffset.QuadPart;
    if (at < 0) return status->Status = STATUS_INVALID_PARAMETER;
    f->position = at;
    status->Information = 0;
    return status->Status = STATUS_SUCCESS;
  }
  return status->Status = STATUS_INVALID_PARAMETER;
}

NTSTATUS RtlAnsiStringToUnicodeString(UNICODE_STRING* dest, const ANSI_STRING* src,
                                      BOOLEAN allocate) {
  if (!dest || !src || (!src->Buffer && src->Length)) return STATUS_INVALID_PARAMETER;
  ULONG bytes = src->Length * 2u;
  if (bytes > 0xFFFC) return STATUS_INVALID_PARAMETER;
  if (allocate) {
    dest->Buffer = static_cast<WCHAR*>(EngAllocMem(0, bytes + 2, 0));
    if (!dest->Buffer) return STATUS_NO_MEMORY;
    dest->MaximumLength = static_cast<USHORT>(bytes + 2);
  } else if (!dest->Buffer || dest->MaximumLength < bytes) {
    return STATUS_INVALID_PARAMETER;
  }
  for (USHORT i = 0; i < src->Length; ++i)
    dest->Buffer[i] = ansiToUnicode(static_cast<unsigned char>(src->Buffer[i]));
  if (dest->MaximumLength >= bytes + 2) dest->Buffer[src->Length] = 0;
  dest->Length = static_cast<USHORT>(bytes);
  return STATUS_SUCCESS;
}

void RtlFreeUnicodeString(UNICODE_STRING* string) {
  OwnMemory own;
  if (!string) return;
  if (string->Buffer) EngFreeMem(string->Buffer);
  *string = UNICODE_STRING{0, 0, nullptr};
}

void RtlInitAnsiString(ANSI_STRING* dest, const CHAR* src) {
  OwnMemory own;
  if (!dest) return;
  size_t n = src ? std::min<size_t>(std::strlen(src), 0xFFFE) : 0;
  dest->Length = static_cast<USHORT>(n);
  dest->MaximumLength = static_cast<USHORT>(src ? n + 1 : 0);
  dest->Buffer = const_cast<CHAR*>(src);
}

void RtlInitUnicodeString(UNICODE_STRING* dest, const WCHAR* src) {
  OwnMemory own;
  if (!dest) return;
  size_t n = 0;
  if (src)
    while (src[n] && n < 0x7FFE) ++n;
  dest->Length = static_cast<USHORT>(n * 2);
  dest->MaximumLength = static_cast<USHORT>(src ? n * 2 + 2 : 0);
  dest->Buffer = const_cast<WCHAR*>(src);
}

LARGE_INTEGER RtlConvertLongToLargeInteger(LONG value) { return LARGE_INTEGER{value}; }

LARGE_INTEGER RtlLargeIntegerAdd(LARGE_INTEGER a, LARGE_INTEGER b) {
  OwnMemory own;
  return LARGE_INTEGER{static_cast<int64_t>(static_cast<uint64_t>(a.QuadPart) +
                                            static_cast<uint64_t>(b.QuadPart))};
}

LARGE_INTEGER RtlLargeIntegerSubtract(LARGE_INTEGER a, LARGE_INTEGER b) {
  OwnMemory own;
  return LARGE_INTEGER{static_cast<int64_t>(static_cast<uint64_t>(a.QuadPart) -
                                            static_cast<uint64_t>(b.QuadPart))};
}

struct NtdllEntry {
  const char* name;
  PVOID address;
};

const NtdllEntry ntdllTable[] = {
    {"ZwCreateFile", reinterpret_cast<PVOID>(&ZwCreateFile)},
    {"ZwClose", reinterpret_cast<PVOID>(&ZwClose)},
    {"ZwReadFile", reinterpret_cast<PVOID>(&ZwReadFile)},
    {"ZwWriteFile", reinterpret_cast<PVOID>(&ZwWriteFile)},
    {"ZwQueryInformationFile", reinterpret_cast<PVOID>(&ZwQueryInformationFile)},
    {"ZwSetInformationFile", reinterpret_cast<PVOID>(&ZwSetInformationFile)},
    {"RtlAnsiStringToUnicodeString", reinterpret_cast<PVOID>(&RtlAnsiStringToUnicodeString)},
    {"RtlFreeUnicodeString", reinterpret_cast<PVOID>(&RtlFreeUnicodeString)},
    {"RtlInitAnsiString", reinterpret_cast<PVOID>(&RtlInitAnsiString)},
    {"RtlInitUnicodeString", reinterpret_cast<PVOID>(&RtlInitUnicodeString)},
    {"RtlConvertLongToLargeInteger", reinterpret_cast<PVOID>(&RtlConvertLongToLargeInteger)},
    {"RtlLargeIntegerAdd", reinterpret_cast<PVOID>(&RtlLargeIntegerAdd)},
    {"RtlLargeIntegerSubtract", reinterpret_cast<PVOID>(&RtlLargeIntegerSubtract)},
};
static_assert(std::size(ntdllTable) == 13);

bool mkdirs(const std::string& path) {
  OwnMemory own;
  std::string partial;
  size_t at = 0;
  while (at != std::string::npos) {
    at = path.find('/', at + 1);
    partial = path.substr(0, at);
    if (mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return true;
}

// Writes a writable module back: the file takes the module's bytes exactly.
bool writeBack(const Module& m) {
  OwnMemory own;
  std::ofstream out(m.path, std::ios::binary | std::ios::trunc);
  out.write(m.data.data(), static_cast<std::streamsize>(m.data.size()));
  return static_cast<bool>(out);
}

}  // namespace

namespace eng {

void setRoot(const std::string& folder) {
  OwnMemory own;
  std::lock_guard guard(lock());
  theRoot = folder;
  mkdirs(spoolFolder());
  mkdirs(driverFolder());
}

const std::string& root() { return theRoot; }

std::string spoolFolder() { return theRoot + "/SystemRoot/System32/spool/printers"; }
std::string driverFolder() { return theRoot + "/SystemRoot/System32/spool/drivers/w32x86/2"; }

std::string mapPath(const std::u16string& ntPath) {
  OwnMemory own;
  std::u16string rest = ntPath;
  std::vector<std::u16string> parts;
  if (rest.rfind(u"\\??\\", 0) == 0) rest = rest.substr(4);
  bool absolute = !rest.empty() && rest[0] == u'\\';
  bool drive = rest.size() >= 2 && rest[1] == u':';
  if (!absolute && !drive) parts = {u"SystemRoot", u"System32"};
  if (drive) {
    parts.push_back(rest.substr(0, 1));
    rest = rest.substr(2);
  }
  size_t at = 0;
  while (at <= rest.size()) {
    size_t next = rest.find(u'\\', at);
    if (next == std::u16string::npos) next = rest.size();
    std::u16string part = rest.substr(at, next - at);
    // Paths stay under the root: no parent steps, no host separators.
    if (part == u"..") return std::string();
    if (part.find(u'/') != std::u16string::npos || part.find(u'\0') != std::u16string::npos)
      return std::string();
    if (!part.empty() && part != u".") parts.push_back(part);
    at = next + 1;
  }
  std::lock_guard guard(lock());
  std::string path = theRoot;
  for (const auto& part : parts) path += "/" + component(path, part);
  return path;
}

void removeNtdllEntry(const std::string& name) {
  OwnMemory own;
  std::lock_guard guard(lock());
  removedEntry = name;
}

CreateFileCall lastCreateFile() {
  OwnMemory own;
  std::lock_guard guard(lock());
  return lastCreate;
}

std::vector<ULONG> writeModuleSizes() {
  OwnMemory own;
  std::lock_guard guard(lock());
  return writeSizes;
}

}  // namespace eng

namespace eng::detail {

void setDriverImage(const std::u16string& ntPath) {
  OwnMemory own;
  std::lock_guard guard(lock());
  imageName = ntPath;
}

std::u16string driverImage() {
  OwnMemory own;
  std::lock_guard guard(lock());
  return imageName;
}

void forgetFileCalls() {
  OwnMemory own;
  std::lock_guard guard(lock());
  lastCreate = eng::CreateFileCall();
  writeSizes.clear();
}

}  // namespace eng::detail

extern "C" {

BOOL EngGetFilePath(HANDLE h, WCHAR (*pDest)[MAX_PATH + 1]) {
  OwnMemory own;
  std::lock_guard guard(lock());
  if (!pDest) {
    reportMisuse("EngGetFilePath: no buffer");
    return FALSE;
  }
  std::u16string path;
  if (h == nullptr)
    path = imageName;
  else if (tracked(Kind::Module, h))
    path = reinterpret_cast<Module*>(h)->ntName;
  else if (tracked(Kind::Image, h))
    path = reinterpret_cast<Image*>(h)->ntName;
  else {
    reportMisuse("EngGetFilePath: unknown module");
    return FALSE;
  }
  if (path.empty() || path.size() > MAX_PATH) {
    EngSetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  std::memcpy(*pDest, path.data(), path.size() * 2);
  (*pDest)[path.size()] = 0;
  return TRUE;
}

HANDLE EngLoadModule(LPWSTR pwsz) {
  OwnMemory own;
  if (!pwsz) {
    reportMisuse("EngLoadModule: no name");
    return nullptr;
  }
  auto m = std::make_unique<Module>();
  m->ntName = fromZ(pwsz);
  m->path = eng::mapPath(m->ntName);
  bool ok = false;
  if (!m->path.empty() && isFile(m->path)) m->data = readWhole(m->path, ok);
  if (!ok) {
    EngSetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  track(Kind::Module, m.get());
  return reinterpret_cast<HANDLE>(m.release());
}

HANDLE EngLoadModuleForWrite(LPWSTR pwsz, ULONG cjSizeOfModule) {
  OwnMemory own;
  if (!pwsz) {
    reportMisuse("EngLoadModuleForWrite: no name");
    return nullptr;
  }
  {
    std::lock_guard guard(lock());
    writeSizes.push_back(cjSizeOfModule);
    auto& left = eng::knobs().writeModules;
    if (left == 0) {
      EngSetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    if (left > 0) --left;
  }
  auto m = std::make_unique<Module>();
  m->ntName = fromZ(pwsz);
  m->path = eng::mapPath(m->ntName);
  m->writable = true;
  if (m->path.empty()) {
    EngSetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  bool ok = false;
  if (isFile(m->path)) m->data = readWhole(m->path, ok);
  // A missing file is created; a size above 0 makes the file exactly that
  // size, and 0 keeps the size it has.
  if (cjSizeOfModule > 0) m->data.resize(cjSizeOfModule, '\0');
  if (!writeBack(*m)) {
    EngSetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  track(Kind::Module, m.get());
  return reinterpret_cast<HANDLE>(m.release());
}

PVOID EngMapModule(HANDLE h, ULONG* pSize) {
  OwnMemory own;
  if (!tracked(Kind::Module, h) || !pSize) {
    reportMisuse("EngMapModule: unknown module");
    return nullptr;
  }
  auto* m = reinterpret_cast<Module*>(h);
  *pSize = static_cast<ULONG>(m->data.size());
  return m->data.data();
}

void EngFreeModule(HANDLE h) {
  OwnMemory own;
  if (!untrack(Kind::Module, h)) {
    reportMisuse("EngFreeModule: unknown module");
    return;
  }
  auto* m = reinterpret_cast<Module*>(h);
  if (m->writable && !writeBack(*m)) reportMisuse("EngFreeModule: the file could not be written");
  delete m;
}

HANDLE EngLoadImage(LPWSTR pwszDriver) {
  OwnMemory own;
  if (!pwszDriver) {
    reportMisuse("EngLoadImage: no name");
    return nullptr;
  }
  auto image = std::make_unique<Image>();
  image->ntName = fromZ(pwszDriver);
  if (!sameName(image->ntName, u"ntdll.dll")) {
    // Add-ons are libraries inside the driver folder and nowhere else.
    std::string path = eng::mapPath(image->ntName);
    std::string folder = eng::driverFolder() + "/";
    if (path.rfind(folder, 0) != 0 || !isFile(path)) {
      EngSetLastError(ERROR_FILE_NOT_FOUND);
      return nullptr;
    }
    image->dl = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!image->dl) {
      EngSetLastError(ERROR_FILE_NOT_FOUND);
      return nullptr;
    }
  }
  track(Kind::Image, image.get());
  return reinterpret_cast<HANDLE>(image.release());
}

PVOID EngFindImageProcAddress(HANDLE hModule, LPSTR lpProcName) {
  OwnMemory own;
  if (!tracked(Kind::Image, hModule) || !lpProcName) {
    reportMisuse("EngFindImageProcAddress: unknown image");
    return nullptr;
  }
  auto* image = reinterpret_cast<Image*>(hModule);
  if (image->dl) return dlsym(image->dl, lpProcName);
  std::lock_guard guard(lock());
  if (removedEntry == lpProcName) return nullptr;
  for (const auto& entry : ntdllTable)
    if (std::strcmp(entry.name, lpProcName) == 0) return entry.address;
  return nullptr;
}

void EngUnloadImage(HANDLE hModule) {
  OwnMemory own;
  if (!untrack(Kind::Image, hModule)) {
    reportMisuse("EngUnloadImage: unknown image");
    return;
  }
  auto* image = reinterpret_cast<Image*>(hModule);
  if (image->dl) dlclose(image->dl);
  delete image;
}

}  // extern "C"
