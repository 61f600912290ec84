// The kernel file layers on the engine stand-in: the native layer's calls as
// the engine receives them, the stream layer's modes, flags and mapping.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/outport.h"
#include "host/engine/engine.h"
#include "kernel/kmfile.h"
#include "kernel/runtime.h"
#include "rw/kmsys.h"
#include "rw/rwfile.h"
#include "testkit/files.h"
#include "testkit/tmpdir.h"

namespace {

std::vector<std::string> traced;
void listen(const char* text) { traced.push_back(text); }

class KernelFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    eng::reset();
    eng::setRoot(dir.hostPath());
    hadTable = kmNativeTableLoaded();
    ASSERT_TRUE(kmLoadNativeTable());
    before = eng::live();
  }

  void TearDown() override {
    eng::removeNtdllEntry("");
    // The runtime may have loaded the table before this test: leave it as
    // it was found.
    if (hadTable)
      EXPECT_TRUE(kmLoadNativeTable());
    else
      kmUnloadNativeTable();
    EXPECT_EQ(eng::live().files, before.files);
    EXPECT_EQ(eng::live().modules, before.modules);
    EXPECT_EQ(eng::live().semaphores, before.semaphores);
    EXPECT_EQ(eng::misuse(), std::vector<std::string>());
    eng::reset();
    eng::setRoot(startEngineRoot());  // the test program's root, for the tests after this one
  }

  // A file in the engine's system folder: its name for the driver, and the
  // host path the engine keeps it at.
  static std::string nt(const std::string& name) { return "\\SystemRoot\\" + name; }
  std::string host(const std::string& name) const { return dir.hostPath() + "/SystemRoot/" + name; }
  static std::u16string wide(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

  TempDir dir;
  bool hadTable = false;
  eng::Live before;
};

// ---- the native layer -------------------------------------------------------

TEST_F(KernelFileTest, OpenFlagsBecomeTheCallTheEngineReceives) {
  constexpr ACCESS_MASK R = GENERIC_READ | SYNCHRONIZE, W = GENERIC_WRITE | SYNCHRONIZE;
  constexpr ULONG Sync = FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE;
  constexpr ULONG Normal = FILE_ATTRIBUTE_NORMAL;
  struct Case {
    int32_t flags, share, permission;
    ACCESS_MASK access;
    ULONG attributes, shareMode, disposition, options;
  } cases[] = {
      {KM_O_RDONLY, KM_SH_DENYNO, 0, R, Normal, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN, Sync},
      {KM_O_WRONLY, KM_SH_DENYRW, 0, W, Normal, 0, FILE_OPEN, Sync},
      {KM_O_RDWR, KM_SH_DENYWR, 0, R | W, Normal, FILE_SHARE_READ, FILE_OPEN, Sync},
      {KM_O_RDWR, KM_SH_DENYRD, 0, R | W, Normal, FILE_SHARE_WRITE, FILE_OPEN, Sync},
      // Dispositions; a created file without the writable bit is read-only.
      {KM_O_RDWR | KM_O_CREAT, KM_SH_DENYNO, KM_S_IWRITE, R | W, Normal, 3, FILE_OPEN_IF, Sync},
      {KM_O_RDWR | KM_O_CREAT, KM_SH_DENYNO, 0, R | W, FILE_ATTRIBUTE_READONLY, 3, FILE_OPEN_IF, Sync},
      {KM_O_RDWR | KM_O_TRUNC, KM_SH_DENYNO, 0, R | W, Normal, 3, FILE_OVERWRITE, Sync},
      {KM_O_RDWR | KM_O_CREAT | KM_O_TRUNC, KM_SH_DENYNO, KM_S_IWRITE, R | W, Normal, 3,
       FILE_OVERWRITE_IF, Sync},
      {KM_O_RDWR | KM_O_EXCL, KM_SH_DENYNO, 0, R | W, Normal, 3, FILE_OPEN, Sync},
      {KM_O_RDWR | KM_O_CREAT | KM_O_EXCL, KM_SH_DENYNO, KM_S_IWRITE, R | W, Normal, 3, FILE_CREATE, Sync},
      {KM_O_RDWR | KM_O_TRUNC | KM_O_EXCL, KM_SH_DENYNO, 0, R | W, Normal, 3, FILE_OVERWRITE, Sync},
      {KM_O_RDWR | KM_O_CREAT | KM_O_TRUNC | KM_O_EXCL, KM_SH_DENYNO, KM_S_IWRITE, R | W, Normal, 3,
       FILE_CREATE, Sync},
      // Temporary, short-lived, and the access hints (sequential wins).
      {KM_O_RDONLY | KM_O_TEMPORARY, KM_SH_DENYNO, 0, R | DELETE, Normal | FILE_ATTRIBUTE_TEMPORARY, 3,
       FILE_OPEN, Sync | FILE_DELETE_ON_CLOSE},
      {KM_O_RDONLY | KM_O_SHORT_LIVED, KM_SH_DENYNO, 0, R, Normal | FILE_ATTRIBUTE_TEMPORARY, 3,
       FILE_OPEN, Sync},
      {KM_O_RDONLY | KM_O_RANDOM, KM_SH_DENYNO, 0, R, Normal, 3, FILE_OPEN, Sync | FILE_RANDOM_ACCESS},
      {KM_O_RDONLY | KM_O_SEQUENTIAL | KM_O_RANDOM, KM_SH_DENYNO, 0, R, Normal, 3, FILE_OPEN,
       Sync | FILE_SEQUENTIAL_ONLY},
  };
  const std::u16string name = wide(nt("native"));
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << "flags 0x" << c.flags << " share 0x" << c.share);
    putFile(host("native"), "data");
    eng::reset();
    HANDLE file = KMSOpenW(name.c_str(), c.flags, c.share, c.permission);
    if (file) {
      EXPECT_EQ(KMClose(file), 0);
    }
    eng::CreateFileCall call = eng::lastCreateFile();
    EXPECT_EQ(call.access, c.access);
    EXPECT_EQ(call.fileAttributes, c.attributes);
    EXPECT_EQ(call.share, c.shareMode);
    EXPECT_EQ(call.disposition, c.disposition);
    EXPECT_EQ(call.options, c.options);
    EXPECT_EQ(call.objectAttributes, ULONG(OBJ_CASE_INSENSITIVE));
    EXPECT_EQ(call.name, name);
  }

  // Access 3 and an unknown share reach no call at all.
  for (auto [flags, share] : {std::pair<int32_t, int32_t>{3, KM_SH_DENYNO}, {KM_O_RDONLY, 0x50}}) {
    eng::reset();
    EXPECT_EQ(KMSOpenW(name.c_str(), flags, share, 0), nullptr);
    EXPECT_EQ(eng::lastCreateFile(), eng::CreateFileCall());
  }
  // KMOpenW shares with everyone; the 8-bit forms convert the name.
  HANDLE file = KMOpen(nt("native").c_str(), KM_O_RDONLY, 0);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(eng::lastCreateFile().share, ULONG(FILE_SHARE_READ | FILE_SHARE_WRITE));
  EXPECT_EQ(eng::lastCreateFile().name, name);
  EXPECT_EQ(KMClose(file), 0);
}

TEST_F(KernelFileTest, NativeCallsMoveBytesAndPositions) {
  HANDLE file = KMOpen(nt("moved").c_str(), KM_O_RDWR | KM_O_CREAT | KM_O_TRUNC, KM_S_IWRITE);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(KMWrite(file, "hello", 5), 5);
  EXPECT_EQ(KMTell(file), 5);
  EXPECT_EQ(KMFileLength(file), 5);

  char buf[8] = {};
  struct Step {
    int32_t offset, origin, answer;
  } steps[] = {
      {0, 0, 0}, {2, 1, 2}, {-1, 2, 4}, {-5, 1, -1} /* before the start */, {1, 3, -1} /* origin 3 */,
      {INT32_MAX, 2, -1} /* beyond 31 bits */, {1, 0, 1},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(testing::Message() << s.offset << " from " << s.origin);
    int32_t at = KMTell(file);
    EXPECT_EQ(KMLseek(file, s.offset, s.origin), s.answer);
    if (s.answer < 0) {
      EXPECT_EQ(KMTell(file), at);  // a refused seek moves nothing
    }
  }
  EXPECT_EQ(KMRead(file, buf, sizeof buf), 4);
  EXPECT_STREQ(buf, "ello");
  EXPECT_EQ(KMRead(file, buf, sizeof buf), 0);  // the end of the file
  EXPECT_EQ(KMClose(file), 0);

  // A read-only file refuses writes.
  file = KMOpen(nt("moved").c_str(), KM_O_RDONLY, 0);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(KMWrite(file, "x", 1), -1);
  EXPECT_EQ(KMClose(file), 0);
  EXPECT_EQ(fileContents(host("moved")), "hello");
}

TEST_F(KernelFileTest, DeleteTracesAndRemovesTheFile) {
  putFile(host("caf\xC3\xA9"), "x");
  traced.clear();
  KernelTraceHook old = kernelSetTraceHook(listen);
  EXPECT_EQ(KMFileDelete(nt("caf\xE9").c_str()), 0);  // é in the ANSI code page
  EXPECT_EQ(KMFileDelete(nt("caf\xE9").c_str()), -1);
  kernelSetTraceHook(old);
  EXPECT_FALSE(fileExists(host("caf\xC3\xA9")));
  ASSERT_GE(traced.size(), 3u);
  EXPECT_EQ(traced[0], "***** IN KMFileDelete(ANSI) *****\n");
  EXPECT_EQ(traced[1], "filename ='\\SystemRoot\\caf\xE9'\n");
  EXPECT_EQ(traced[2], "unicode ='\\SystemRoot\\caf?'\n");

  putFile(host("wide"), "x");
  EXPECT_EQ(KMFileDeleteW(wide(nt("wide")).c_str()), 0);
  EXPECT_FALSE(fileExists(host("wide")));
}

TEST_F(KernelFileTest, AMissingEntryFailsEveryNativeCall) {
  putFile(host("kept"), "x");
  HANDLE open = KMOpen(nt("kept").c_str(), KM_O_RDWR, 0);
  ASSERT_NE(open, nullptr);
  for (const char* entry :
       {"ZwCreateFile", "ZwClose", "ZwReadFile", "ZwWriteFile", "ZwQueryInformationFile",
        "ZwSetInformationFile", "RtlAnsiStringToUnicodeString", "RtlFreeUnicodeString",
        "RtlInitAnsiString", "RtlInitUnicodeString", "RtlConvertLongToLargeInteger",
        "RtlLargeIntegerAdd", "RtlLargeIntegerSubtract"}) {
    SCOPED_TRACE(entry);
    kmUnloadNativeTable();
    eng::removeNtdllEntry(entry);
    long images = eng::live().images;
    EXPECT_FALSE(kmLoadNativeTable());
    EXPECT_FALSE(kmNativeTableLoaded());
    EXPECT_EQ(eng::live().images, images);  // the image was given back
    EXPECT_EQ(ntdllEntryTable.ZwCreateFile, nullptr);

    char c = 0;
    EXPECT_EQ(KMOpen(nt("kept").c_str(), KM_O_RDONLY, 0), nullptr);
    EXPECT_EQ(KMOpenW(wide(nt("kept")).c_str(), KM_O_RDONLY, 0), nullptr);
    EXPECT_EQ(KMRead(open, &c, 1), -1);
    EXPECT_EQ(KMWrite(open, &c, 1), -1);
    EXPECT_EQ(KMLseek(open, 0, 0), -1);
    EXPECT_EQ(KMFileLength(open), -1);
    EXPECT_EQ(KMTell(open), -1);
    EXPECT_EQ(KMClose(open), -1);
    EXPECT_EQ(KMFileDelete(nt("kept").c_str()), -1);
    EXPECT_FALSE(KMFileCanWrite(nt("kept").c_str()));
  }
  eng::removeNtdllEntry("");
  ASSERT_TRUE(kmLoadNativeTable());
  EXPECT_EQ(KMClose(open), 0);
  EXPECT_TRUE(fileExists(host("kept")));
}

TEST_F(KernelFileTest, CanWriteAsksWithoutCreating) {
  putFile(host("there"), "x");
  EXPECT_TRUE(KMFileCanWrite(nt("there").c_str()));
  EXPECT_FALSE(KMFileCanWrite(nt("missing").c_str()));
  EXPECT_FALSE(fileExists(host("missing")));
  EXPECT_FALSE(KMFileCanWrite("\\SystemRoot"));  // a folder
  EXPECT_FALSE(KMFileCanWrite(nullptr));
  EXPECT_EQ(fileContents(host("there")), "x");
}

// ---- the stream layer ---------------------------------------------------------

TEST_F(KernelFileTest, ModesOpenAsTheRuntimeReadsThem) {
  struct Case {
    const char* mode;
    bool opens;
    bool writes;           // "XY" written at the start after opening
    std::string after;     // the file's contents after closing
    std::vector<ULONG> sizes;  // the module sizes loaded for write
  } cases[] = {
      {"r", true, false, "abc", {}},
      {"rb", true, false, "abc", {}},
      {"rb+", true, true, "XYc", {0, 3}},   // "+" after "b"
      {"r+b", true, true, "XYc", {0, 3}},
      {"r++", true, true, "XYc", {0, 3}},   // the second "+" ends the reading
      {"rcn+", true, true, "XYc", {0, 3}},  // "c" and "n" are passed over
      {"rbt+", true, false, "abc", {}},     // "t" after "b" ends it before "+"
      {"rDD+", true, false, "abc", {}},
      {"rRS+", true, false, "abc", {}},
      {"rTT+", true, false, "abc", {}},
      {"rz+", true, false, "abc", {}},
      {"w", true, true, "XY", {4096, 2}},
      {"w+b", true, true, "XY", {4096, 2}},
      // Appends wherever the position is, growing the mapping.
      {"a", true, true, "abcXY", {0, 3, 3 + 2 + 4096, 5}},
      {"ab+", true, true, "abcXY", {0, 3, 3 + 2 + 4096, 5}},
      {"x", false, false, "abc", {}},
      {"", false, false, "abc", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    putFile(host("mode"), "abc");
    eng::reset();
    KMFILE* f = KMMapFileOpen(nt("mode").c_str(), c.mode);
    ASSERT_EQ(f != nullptr, c.opens);
    if (!f) continue;
    EXPECT_EQ(KMFileSeek(f, 0, 0), 0);
    EXPECT_EQ(KMFileWrite("XY", 1, 2, f), c.writes ? 2u : 0u);
    EXPECT_EQ(KMFileFlags(f), c.writes ? 0u : KMFILE_EOF | KMFILE_ERR);
    EXPECT_EQ(KMFileClose(f), 0);
    EXPECT_EQ(fileContents(host("mode")), c.after);
    EXPECT_EQ(eng::writeModuleSizes(), c.sizes);
  }
  EXPECT_EQ(KMMapFileOpen(nullptr, "r"), nullptr);
  EXPECT_EQ(KMMapFileOpen(nt("mode").c_str(), nullptr), nullptr);
}

TEST_F(KernelFileTest, OnlyTheCreatingModesMakeAFile) {
  for (const char* mode : {"r", "rb+", "r+"}) {
    SCOPED_TRACE(mode);
    traced.clear();
    KernelTraceHook old = kernelSetTraceHook(listen);
    EXPECT_EQ(KMMapFileOpen(nt("absent").c_str(), mode), nullptr);
    kernelSetTraceHook(old);
    EXPECT_EQ(traced, std::vector<std::string>{"--KMMapFileOpen: pHandle = NULL\n"});
    EXPECT_FALSE(fileExists(host("absent")));
  }
  for (const char* mode : {"wb+", "ab"}) {
    SCOPED_TRACE(mode);
    traced.clear();
    KernelTraceHook old = kernelSetTraceHook(listen);
    KMFILE* f = KMMapFileOpen(nt("made").c_str(), mode);
    kernelSetTraceHook(old);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(traced, std::vector<std::string>{"--KMMapFileOpen: \\SystemRoot\\made\n"});
    EXPECT_EQ(KMFileClose(f), 0);
    EXPECT_EQ(fileContents(host("made")), "");  // made, and empty
    ASSERT_TRUE(fileExists(host("made")));
    EXPECT_EQ(KMFileDelete(nt("made").c_str()), 0);
  }
}

TEST_F(KernelFileTest, ClosingGivesTheFileItsLogicalLength) {
  // "w" and nothing written: empty, though the mapping held 4096 bytes.
  putFile(host("len"), std::string(5000, 'o'));
  KMFILE* f = KMMapFileOpen(nt("len").c_str(), "w");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(KMFileClose(f), 0);
  EXPECT_EQ(fileContents(host("len")), "");
  EXPECT_EQ(eng::writeModuleSizes(), std::vector<ULONG>{4096});

  // 100 bytes: reopened once with a module size of 100.
  eng::reset();
  f = KMMapFileOpen(nt("len").c_str(), "wb");
  ASSERT_NE(f, nullptr);
  const std::string hundred(100, 'h');
  EXPECT_EQ(KMFileWrite(hundred.data(), 10, 10, f), 10u);
  EXPECT_EQ(KMFileTell(f), 100);
  EXPECT_EQ(KMFileClose(f), 0);
  EXPECT_EQ(fileContents(host("len")), hundred);
  EXPECT_EQ(eng::writeModuleSizes(), (std::vector<ULONG>{4096, 100}));

  // A seek past the end of a truncated file finds zeros, not the old bytes.
  putFile(host("len"), "secret");
  f = KMMapFileOpen(nt("len").c_str(), "wb+");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(KMFileSeek(f, 3, 0), 0);
  EXPECT_EQ(KMFileSeek(f, 0, 0), 0);
  char got[3] = {1, 1, 1};
  EXPECT_EQ(KMFileRead(got, 1, 3, f), 3u);
  EXPECT_EQ(std::string(got, 3), std::string(3, '\0'));
  EXPECT_EQ(KMFileClose(f), 0);
  EXPECT_EQ(fileContents(host("len")), std::string(3, '\0'));
}

TEST_F(KernelFileTest, WritingPastTheMappingGrowsIt) {
  KMFILE* f = KMMapFileOpen(nt("grow").c_str(), "wb+");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(KMFileSeek(f, 4090, 0), 0);
  EXPECT_EQ(KMFileWrite("0123456789", 1, 10, f), 10u);
  EXPECT_EQ(KMFileTell(f), 4100);
  // Opened at 4096; the growth gives the file its 4090 bytes, then maps
  // position + count + 4096; the close leaves 4100.
  EXPECT_EQ(eng::writeModuleSizes(), (std::vector<ULONG>{4096, 4090, 8196}));
  EXPECT_EQ(KMFileSeek(f, 4088, 0), 0);
  char got[4] = {};
  EXPECT_EQ(KMFileRead(got, 1, 4, f), 4u);
  EXPECT_EQ(std::string(got, 4), std::string("\0\0" "01", 4));
  EXPECT_EQ(KMFileClose(f), 0);
  EXPECT_EQ(fileContents(host("grow")), std::string(4090, '\0') + "0123456789");
}

TEST_F(KernelFileTest, ReadsAndWritesKeepTheFlags) {
  putFile(host("flags"), "0123456789");
  KMFILE* f = KMMapFileOpen(nt("flags").c_str(), "rb+");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(KMFileUngetc('z', f), -1);  // at the start
  char buf[12] = {};
  // Three items of four bytes with ten bytes left: two, and end of file.
  EXPECT_EQ(KMFileRead(buf, 4, 3, f), 2u);
  EXPECT_EQ(KMFileFlags(f), KMFILE_EOF);
  EXPECT_EQ(KMFileTell(f), 10);  // the partial item is consumed too
  EXPECT_EQ(KMFileGetc(f), -1);
  EXPECT_EQ(KMFileUngetc(-1, f), -1);  // a failed getc gives nothing back
  EXPECT_EQ(KMFileTell(f), 10);
  // No write while end of file is set; a seek clears it.
  EXPECT_EQ(KMFileWrite("A", 1, 1, f), 0u);
  EXPECT_EQ(KMFileSeek(f, -2, 2), 0);
  EXPECT_EQ(KMFileFlags(f), 0u);
  EXPECT_EQ(KMFileGetc(f), '8');
  EXPECT_EQ(KMFileUngetc('Q', f), 'Q');  // steps back; the data stays
  EXPECT_EQ(KMFileGetc(f), '8');
  EXPECT_EQ(KMFileWrite("A", 1, 1, f), 1u);

  // A refused seek sets the error bit, which refuses reads and seeks until
  // it is cleared.
  EXPECT_EQ(KMFileSeek(f, -1, 0), -1);
  EXPECT_EQ(KMFileSeek(f, 1, 3), -1);
  EXPECT_EQ(KMFileFlags(f), KMFILE_ERR);
  EXPECT_EQ(KMFileSeek(f, 0, 0), -1);
  EXPECT_EQ(KMFileRead(buf, 1, 1, f), 0u);
  KMFileClearError(f);
  EXPECT_EQ(KMFileFlags(f), 0u);
  EXPECT_EQ(KMFileFlush(f), 0);
  EXPECT_EQ(KMFileSeek(f, 0, 0), 0);
  EXPECT_EQ(KMFileRead(buf, 1, 10, f), 10u);
  EXPECT_EQ(std::string(buf, 10), "012345678A");
  EXPECT_EQ(KMFileClose(f), 0);

  EXPECT_EQ(KMFileFlags(nullptr), KMFILE_ERR);
  EXPECT_EQ(KMFileTell(nullptr), -1);
  EXPECT_EQ(KMFileClose(nullptr), -1);
  EXPECT_EQ(KMFileRead(buf, 1, 1, nullptr), 0u);
  EXPECT_EQ(KMFileWrite(buf, 1, 1, nullptr), 0u);
}

TEST_F(KernelFileTest, CountsThatOverflowAreRefused) {
  KMFILE* f = KMMapFileOpen(nt("big").c_str(), "wb+");
  ASSERT_NE(f, nullptr);
  char buf[4] = {};
  struct Case {
    size_t size, count;
  } cases[] = {
      {SIZE_MAX / 2 + 1, 2},           // wraps 64 bits to 0
      {0x10000, 0x10001},              // wraps 32 bits to 0x10000
      {1, size_t(INT32_MAX) + 1},      // more than a file can hold
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.size << " x " << c.count);
    EXPECT_EQ(KMFileWrite(buf, c.size, c.count, f), 0u);
    EXPECT_EQ(KMFileFlags(f), KMFILE_EOF | KMFILE_ERR);
    KMFileClearError(f);
    EXPECT_EQ(KMFileRead(buf, c.size, c.count, f), 0u);
    EXPECT_EQ(KMFileFlags(f), KMFILE_ERR);
    KMFileClearError(f);
  }
  // Positions stay within 31 bits, and their sums do not wrap.
  EXPECT_EQ(KMFileSeek(f, int64_t(INT32_MAX) + 1, 0), -1);
  KMFileClearError(f);
  EXPECT_EQ(KMFileWrite(buf, 1, 4, f), 4u);
  EXPECT_EQ(KMFileSeek(f, INT64_MAX, 1), -1);
  KMFileClearError(f);
  EXPECT_EQ(KMFileTell(f), 4);
  EXPECT_EQ(KMFileClose(f), 0);
  EXPECT_EQ(eng::writeModuleSizes(), (std::vector<ULONG>{4096, 4}));
}

TEST_F(KernelFileTest, AReadOnlyFileIsNeverGrown) {
  putFile(host("ro"), "abc");
  KMFILE* f = KMMapFileOpen(nt("ro").c_str(), "rb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(KMFileSeek(f, 0, 2), 0);
  EXPECT_EQ(KMFileTell(f), 3);
  EXPECT_EQ(KMFileSeek(f, 10, 0), 0);
  EXPECT_EQ(KMFileTell(f), 10);
  char c = 0;
  EXPECT_EQ(KMFileRead(&c, 1, 1, f), 0u);
  EXPECT_EQ(KMFileFlags(f), KMFILE_EOF);
  EXPECT_EQ(KMFileClose(f), 0);
  EXPECT_EQ(fileContents(host("ro")), "abc");
  EXPECT_TRUE(eng::writeModuleSizes().empty());
}

TEST_F(KernelFileTest, AFailedGrowthLeavesTheFileClosed) {
  KMMappedFile* file = KMMappedFile::create();
  ASSERT_NE(file, nullptr);
  const std::u16string name = wide(nt("lost"));
  ASSERT_TRUE(file->open(name.c_str(), KM_O_RDWR | KM_O_CREAT | KM_O_TRUNC, KM_S_IWRITE));
  const std::string hundred(100, 'h');
  EXPECT_EQ(file->write(hundred.data(), 100), 100);
  // The growth may write the file out at its length, but not map it again.
  eng::knobs().writeModules = 1;
  const std::string more(5000, 'm');
  EXPECT_EQ(file->write(more.data(), 5000), -1);
  EXPECT_FALSE(file->hasView());
  eng::knobs().writeModules = -1;
  char buf[8] = {};
  EXPECT_EQ(file->read(buf, sizeof buf), 0);
  EXPECT_EQ(file->write("x", 1), -1);
  EXPECT_EQ(file->seek(0, 0), -1);
  EXPECT_EQ(file->close(), 0);
  KMMappedFile::destroy(file);
  EXPECT_EQ(fileContents(host("lost")), hundred);  // what was written is kept

  // Through a stream: the write fails with both bits, and after clearing
  // them a read is an error, not an end of file.
  KMFILE* f = KMMapFileOpen(nt("lost").c_str(), "rb+");
  ASSERT_NE(f, nullptr);
  eng::knobs().writeModules = 1;
  EXPECT_EQ(KMFileSeek(f, 0, 2), 0);
  EXPECT_EQ(KMFileWrite(more.data(), 1, more.size(), f), 0u);
  EXPECT_EQ(KMFileFlags(f), KMFILE_EOF | KMFILE_ERR);
  KMFileClearError(f);
  EXPECT_EQ(KMFileRead(buf, 1, 1, f), 0u);
  EXPECT_EQ(KMFileFlags(f), KMFILE_ERR);
  EXPECT_EQ(KMFileClose(f), 0);
  EXPECT_EQ(fileContents(host("lost")), hundred);
}

// A job whose file cannot be given its length at the close is not the job
// that was written: the port's end of job answers the failure.
TEST_F(KernelFileTest, AFilePortWhoseFileWillNotCloseWholeFailsTheJob) {
  GFileOutputPort port{RWWString(nt("out.prn").c_str())};
  ASSERT_EQ(port.startJob(RWWString("job"), 0), 0);
  uint32_t written = 0;
  ASSERT_EQ(port.write("abc", 3, written), 0);
  eng::knobs().writeModules = 0;
  EXPECT_EQ(port.endJob(), 1);
  eng::knobs().writeModules = -1;
  EXPECT_FALSE(port.open());

  // The next job that closes whole is written.
  ASSERT_EQ(port.startJob(RWWString("job"), 0), 0);
  ASSERT_EQ(port.write("abc", 3, written), 0);
  EXPECT_EQ(port.endJob(), 0);
  EXPECT_EQ(fileContents(host("out.prn")), "abc");
}

// RWFile probes a new file with a read, which sets end of file; the kernel
// layer refuses writes while it is set, so the probe must clear it again.
TEST_F(KernelFileTest, RWFileWritesAfterFindingItEmpty) {
  {
    RWFile f(nt("fresh").c_str());
    ASSERT_TRUE(f.isValid());
    EXPECT_STREQ(f.Access(), "wb+");
    EXPECT_TRUE(f.IsEmpty());
    EXPECT_FALSE(f.Eof());
    EXPECT_TRUE(f.Write('q'));
    EXPECT_TRUE(f.SeekTo(0));
    EXPECT_FALSE(f.IsEmpty());
    EXPECT_EQ(f.CurOffset(), 0);
  }
  EXPECT_EQ(fileContents(host("fresh")), "q");
}

}  // namespace
