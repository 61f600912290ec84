#include <sys/stat.h>

#include <cstring>
#include <fstream>

#include "host/engine/tests/fixture.h"
#include "testkit/files.h"

using FilesTest = EngineTest;

namespace {

long sizeOf(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

template <typename F>
F ntdll(HANDLE image, const char* name) {
  return reinterpret_cast<F>(EngFindImageProcAddress(image, const_cast<LPSTR>(name)));
}

}  // namespace

TEST_F(FilesTest, ModulesForWriteTakeTheirSizeAndWriteBack) {
  LPWSTR name = const_cast<LPWSTR>(u"\\SystemRoot\\System32\\spool\\printers\\MODULE.BIN");
  std::string path = eng::spoolFolder() + "/MODULE.BIN";
  struct Step {
    ULONG size;
    long file;
  } steps[] = {{4096, 4096}, {100, 100}, {0, 100}};
  for (const auto& s : steps) {
    HANDLE m = EngLoadModuleForWrite(name, s.size);
    ASSERT_NE(m, nullptr);
    ULONG mapped = 0;
    auto* view = static_cast<char*>(EngMapModule(m, &mapped));
    EXPECT_EQ(static_cast<long>(mapped), s.file);
    if (s.size == 4096) std::memcpy(view, "kept", 4);
    EngFreeModule(m);
    EXPECT_EQ(sizeOf(path), s.file) << s.size;
  }
  HANDLE m = EngLoadModule(const_cast<LPWSTR>(u"\\systemroot\\system32\\SPOOL\\printers\\module.bin"));
  ASSERT_NE(m, nullptr);
  ULONG mapped = 0;
  EXPECT_EQ(std::string(static_cast<char*>(EngMapModule(m, &mapped)), 4), "kept");
  EngFreeModule(m);
  EXPECT_EQ(EngLoadModule(const_cast<LPWSTR>(u"\\SystemRoot\\missing.bin")), nullptr);
  EngFreeModule(m);
  EXPECT_EQ(eng::misuse().size(), 1u);
}

TEST_F(FilesTest, PathsMapUnderTheRootCaseInsensitivelyAndStayThere) {
  EXPECT_EQ(eng::mapPath(u"\\systemroot\\SYSTEM32\\spool\\printers\\x.tmp"), eng::spoolFolder() + "/x.tmp");
  EXPECT_EQ(eng::mapPath(u"spool\\drivers\\W32X86\\2\\addon.so"), eng::driverFolder() + "/addon.so");
  EXPECT_EQ(eng::mapPath(u"\\??\\C:\\dir\\f"), dir.path() + "/C/dir/f");
  EXPECT_EQ(eng::mapPath(u"\\SystemRoot\\..\\..\\etc\\passwd"), "");
  EXPECT_EQ(eng::mapPath(u"\\SystemRoot\\a/b"), "");
}

namespace {

struct Native {
  PFN_ZwCreateFile create;
  PFN_ZwClose close;
  PFN_ZwReadFile read;
  PFN_ZwWriteFile write;
  PFN_ZwQueryInformationFile query;
  PFN_RtlInitUnicodeString init;
};

}  // namespace

TEST_F(FilesTest, CreateDispositionsOnExistingAndMissingFiles) {
  HANDLE image = EngLoadImage(const_cast<LPWSTR>(u"NTDLL.DLL"));
  ASSERT_NE(image, nullptr);
  Native n{ntdll<PFN_ZwCreateFile>(image, "ZwCreateFile"), ntdll<PFN_ZwClose>(image, "ZwClose"),
           ntdll<PFN_ZwReadFile>(image, "ZwReadFile"), ntdll<PFN_ZwWriteFile>(image, "ZwWriteFile"),
           ntdll<PFN_ZwQueryInformationFile>(image, "ZwQueryInformationFile"),
           ntdll<PFN_RtlInitUnicodeString>(image, "RtlInitUnicodeString")};
  ASSERT_TRUE(n.create && n.close && n.read && n.write && n.query && n.init);
  struct Case {
    ULONG disposition;
    bool exists;
    NTSTATUS status;
    ULONG action;
    long sizeAfter;  // -1: no file
  } cases[] = {
      {FILE_OPEN, true, STATUS_SUCCESS, FILE_OPENED, 5},
      {FILE_OPEN, false, STATUS_OBJECT_NAME_NOT_FOUND, 0, -1},
      {FILE_OPEN_IF, true, STATUS_SUCCESS, FILE_OPENED, 5},
      {FILE_OPEN_IF, false, STATUS_SUCCESS, FILE_CREATED, 0},
      {FILE_OVERWRITE, true, STATUS_SUCCESS, FILE_OVERWRITTEN, 0},
      {FILE_OVERWRITE, false, STATUS_OBJECT_NAME_NOT_FOUND, 0, -1},
      {FILE_OVERWRITE_IF, true, STATUS_SUCCESS, FILE_OVERWRITTEN, 0},
      {FILE_OVERWRITE_IF, false, STATUS_SUCCESS, FILE_CREATED, 0},
      {FILE_CREATE, true, STATUS_OBJECT_NAME_COLLISION, 0, 5},
      {FILE_CREATE, false, STATUS_SUCCESS, FILE_CREATED, 0},
  };
  std::string path = eng::spoolFolder() + "/native.dat";
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "disposition " << c.disposition << (c.exists ? " existing" : " missing"));
    std::remove(path.c_str());
    if (c.exists) writeFile(path, "hello");
    UNICODE_STRING name;
    n.init(&name, u"\\SYSTEMROOT\\system32\\Spool\\PRINTERS\\native.dat");
    OBJECT_ATTRIBUTES oa{sizeof oa, nullptr, &name, OBJ_CASE_INSENSITIVE};
    IO_STATUS_BLOCK io{};
    HANDLE f = nullptr;
    NTSTATUS s = n.create(&f, GENERIC_READ | GENERIC_WRITE | SYNCHRONIZE, &oa, &io, nullptr, FILE_ATTRIBUTE_NORMAL,
                          0, c.disposition, FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE, nullptr, 0);
    EXPECT_EQ(s, c.status);
    if (s == STATUS_SUCCESS) {
      EXPECT_EQ(io.Information, c.action);
      FILE_STANDARD_INFORMATION info{};
      EXPECT_EQ(n.query(f, &io, &info, sizeof info, FileStandardInformation), STATUS_SUCCESS);
      EXPECT_EQ(info.EndOfFile.QuadPart, c.sizeAfter);
      EXPECT_EQ(n.close(f), STATUS_SUCCESS);
    } else {
      EXPECT_EQ(f, nullptr);
    }
    EXPECT_EQ(sizeOf(path), c.sizeAfter);
  }
  EngUnloadImage(image);
}

TEST_F(FilesTest, DeleteOnCloseRemovesTheFileAndReadsAndWritesMoveThePosition) {
  HANDLE image = EngLoadImage(const_cast<LPWSTR>(u"ntdll.dll"));
  auto create = ntdll<PFN_ZwCreateFile>(image, "ZwCreateFile");
  auto write = ntdll<PFN_ZwWriteFile>(image, "ZwWriteFile");
  auto read = ntdll<PFN_ZwReadFile>(image, "ZwReadFile");
  auto set = ntdll<PFN_ZwSetInformationFile>(image, "ZwSetInformationFile");
  auto close = ntdll<PFN_ZwClose>(image, "ZwClose");
  auto ansi = ntdll<PFN_RtlInitAnsiString>(image, "RtlInitAnsiString");
  auto convert = ntdll<PFN_RtlAnsiStringToUnicodeString>(image, "RtlAnsiStringToUnicodeString");
  auto release = ntdll<PFN_RtlFreeUnicodeString>(image, "RtlFreeUnicodeString");
  ANSI_STRING a;
  ansi(&a, "\\SystemRoot\\System32\\spool\\printers\\gone.tmp");
  UNICODE_STRING name;
  ASSERT_EQ(convert(&name, &a, 1), STATUS_SUCCESS);
  OBJECT_ATTRIBUTES oa{sizeof oa, nullptr, &name, OBJ_CASE_INSENSITIVE};
  IO_STATUS_BLOCK io{};
  HANDLE f = nullptr;
  ASSERT_EQ(create(&f, GENERIC_READ | GENERIC_WRITE | DELETE, &oa, &io, nullptr, FILE_ATTRIBUTE_TEMPORARY, 0,
                   FILE_CREATE, FILE_DELETE_ON_CLOSE, nullptr, 0),
            STATUS_SUCCESS);
  release(&name);
  EXPECT_EQ(write(f, &io, "abcdef", 6, nullptr), STATUS_SUCCESS);
  FILE_POSITION_INFORMATION at{{2}};
  EXPECT_EQ(set(f, &io, &at, sizeof at, FilePositionInformation), STATUS_SUCCESS);
  char buf[8] = {};
  EXPECT_EQ(read(f, &io, buf, sizeof buf, nullptr), STATUS_SUCCESS);
  EXPECT_EQ(std::string(buf, io.Information), "cdef");
  EXPECT_EQ(read(f, &io, buf, sizeof buf, nullptr), STATUS_END_OF_FILE);
  EXPECT_EQ(sizeOf(eng::spoolFolder() + "/gone.tmp"), 6);
  EXPECT_EQ(close(f), STATUS_SUCCESS);
  EXPECT_EQ(sizeOf(eng::spoolFolder() + "/gone.tmp"), -1);
  EXPECT_EQ(close(f), STATUS_INVALID_HANDLE);
  EXPECT_EQ(eng::misuse().size(), 1u);
  EngUnloadImage(image);
}

TEST_F(FilesTest, TheNtdllTableHasThirteenEntriesAndARemovedOneAnswersNull) {
  HANDLE image = EngLoadImage(const_cast<LPWSTR>(u"ntdll.dll"));
  const char* names[] = {"ZwCreateFile", "ZwClose", "ZwReadFile", "ZwWriteFile", "ZwQueryInformationFile",
                         "ZwSetInformationFile", "RtlAnsiStringToUnicodeString", "RtlFreeUnicodeString",
                         "RtlInitAnsiString", "RtlInitUnicodeString", "RtlConvertLongToLargeInteger",
                         "RtlLargeIntegerAdd", "RtlLargeIntegerSubtract"};
  for (const char* name : names) EXPECT_NE(EngFindImageProcAddress(image, const_cast<LPSTR>(name)), nullptr) << name;
  EXPECT_EQ(EngFindImageProcAddress(image, const_cast<LPSTR>("ZwDeleteFile")), nullptr);
  eng::removeNtdllEntry("ZwReadFile");
  EXPECT_EQ(EngFindImageProcAddress(image, const_cast<LPSTR>("ZwReadFile")), nullptr);
  auto add = ntdll<PFN_RtlLargeIntegerAdd>(image, "RtlLargeIntegerAdd");
  auto sub = ntdll<PFN_RtlLargeIntegerSubtract>(image, "RtlLargeIntegerSubtract");
  EXPECT_EQ(add(LARGE_INTEGER{INT64_MAX}, LARGE_INTEGER{1}).QuadPart, INT64_MIN);
  EXPECT_EQ(sub(LARGE_INTEGER{5}, LARGE_INTEGER{7}).QuadPart, -2);
  EngUnloadImage(image);
  // Add-ons load only from the driver folder.
  writeFile(eng::spoolFolder() + "/addon.so", "not a library");
  EXPECT_EQ(EngLoadImage(const_cast<LPWSTR>(u"\\SystemRoot\\System32\\spool\\printers\\addon.so")), nullptr);
}
