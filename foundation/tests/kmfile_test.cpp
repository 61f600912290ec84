// The platform file layer: positions, the end-of-file and error flags and
// their rules, open modes.

#include <gtest/gtest.h>

#include <string>

#include "rw/kmsys.h"
#include "testkit/files.h"
#include "testkit/tmpdir.h"

namespace {

class KMFileTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.ok()); }
  TempDir dir;
};

TEST_F(KMFileTest, ShortReadAnswersWholeItemsAndSetsEndOfFile) {
  std::string name = dir.file("ten");
  putFile(name, "0123456789");
  KMFILE* f = KMMapFileOpen(name.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  char buf[12] = {};
  EXPECT_EQ(KMFileRead(buf, 4, 3, f), 2u);
  EXPECT_EQ(std::string(buf, 10), "0123456789");  // the partial item is there too
  EXPECT_EQ(KMFileFlags(f), KMFILE_EOF);
  EXPECT_EQ(KMFileTell(f), 10);
  EXPECT_EQ(KMFileGetc(f), -1);

  // A seek clears end of file and nothing else is left behind.
  EXPECT_EQ(KMFileSeek(f, 8, 0), 0);
  EXPECT_EQ(KMFileFlags(f), 0u);
  EXPECT_EQ(KMFileGetc(f), '8');
  EXPECT_EQ(KMFileClose(f), 0);
}

TEST_F(KMFileTest, ErrorRefusesReadsAndSeeksUntilCleared) {
  std::string name = dir.file("err");
  putFile(name, "abc");
  KMFILE* f = KMMapFileOpen(name.c_str(), "rb+");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(KMFileSeek(f, 0, 7), -1);  // no such origin
  EXPECT_EQ(KMFileFlags(f), KMFILE_ERR);

  char c = 0;
  EXPECT_EQ(KMFileRead(&c, 1, 1, f), 0u);
  EXPECT_EQ(KMFileGetc(f), -1);
  EXPECT_EQ(KMFileSeek(f, 1, 0), -1);
  EXPECT_EQ(KMFileTell(f), 0);

  KMFileClearError(f);
  EXPECT_EQ(KMFileFlags(f), 0u);
  EXPECT_EQ(KMFileRead(&c, 1, 1, f), 1u);
  EXPECT_EQ(c, 'a');
  EXPECT_EQ(KMFileSeek(f, -2, 1), -1);  // before the start
  EXPECT_EQ(KMFileFlags(f), KMFILE_ERR);
  EXPECT_EQ(KMFileTell(f), 1);
  EXPECT_EQ(KMFileClose(f), 0);
}

TEST_F(KMFileTest, FailingReadSetsErrorFailingWriteSetsBoth) {
  std::string name = dir.file("modes");
  putFile(name, "abc");

  KMFILE* w = KMMapFileOpen(name.c_str(), "ab");
  ASSERT_NE(w, nullptr);
  char c;
  EXPECT_EQ(KMFileRead(&c, 1, 1, w), 0u);
  EXPECT_EQ(KMFileFlags(w), KMFILE_ERR);
  EXPECT_EQ(KMFileWrite("d", 1, 1, w), 1u);  // only end of file refuses writes
  EXPECT_EQ(KMFileClose(w), 0);

  KMFILE* r = KMMapFileOpen(name.c_str(), "rb");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(KMFileWrite("x", 1, 1, r), 0u);
  EXPECT_EQ(KMFileFlags(r), KMFILE_EOF | KMFILE_ERR);
  EXPECT_EQ(KMFileClose(r), 0);
  EXPECT_EQ(fileContents(name), "abcd");
}

TEST_F(KMFileTest, EndOfFileRefusesWritesUntilSeek) {
  std::string name = dir.file("eofw");
  KMFILE* f = KMMapFileOpen(name.c_str(), "wb+");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(KMFileGetc(f), -1);
  EXPECT_EQ(KMFileFlags(f), KMFILE_EOF);
  EXPECT_EQ(KMFileWrite("ab", 1, 2, f), 0u);
  EXPECT_EQ(KMFileSeek(f, 0, 1), 0);
  EXPECT_EQ(KMFileWrite("ab", 1, 2, f), 2u);
  EXPECT_EQ(KMFileFlags(f), 0u);
  EXPECT_EQ(KMFileClose(f), 0);
  EXPECT_EQ(fileContents(name), "ab");
}

TEST_F(KMFileTest, ReadsAndWritesAlternateWithoutSeeking) {
  std::string name = dir.file("alt");
  putFile(name, "abcd");
  KMFILE* f = KMMapFileOpen(name.c_str(), "rb+");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(KMFileGetc(f), 'a');
  EXPECT_EQ(KMFileWrite("X", 1, 1, f), 1u);
  EXPECT_EQ(KMFileGetc(f), 'c');
  EXPECT_EQ(KMFileWrite("YZ", 1, 2, f), 2u);  // past the old end
  EXPECT_EQ(KMFileTell(f), 5);
  EXPECT_EQ(KMFileFlush(f), 0);
  EXPECT_EQ(KMFileClose(f), 0);
  EXPECT_EQ(fileContents(name), "aXcYZ");
}

TEST_F(KMFileTest, UngetcStepsBackAndRefusesAtStart) {
  std::string name = dir.file("unget");
  putFile(name, "xy");
  KMFILE* f = KMMapFileOpen(name.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(KMFileUngetc('x', f), -1);
  EXPECT_EQ(KMFileTell(f), 0);
  EXPECT_EQ(KMFileGetc(f), 'x');
  EXPECT_EQ(KMFileGetc(f), 'y');
  EXPECT_EQ(KMFileUngetc('y', f), 'y');
  EXPECT_EQ(KMFileTell(f), 1);
  EXPECT_EQ(KMFileGetc(f), 'y');
  EXPECT_EQ(KMFileGetc(f), -1);
  EXPECT_EQ(KMFileUngetc(-1, f), -1);  // the failed getc took nothing
  EXPECT_EQ(KMFileTell(f), 2);
  EXPECT_EQ(KMFileClose(f), 0);
}

TEST_F(KMFileTest, SeekOrigins) {
  std::string name = dir.file("seek");
  putFile(name, "0123456789");
  KMFILE* f = KMMapFileOpen(name.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  struct Case {
    int64_t offset;
    int origin;
    int64_t at;
  } cases[] = {{4, 0, 4}, {2, 1, 6}, {-3, 1, 3}, {0, 2, 10}, {-1, 2, 9}, {5, 2, 15}};
  for (const Case& c : cases) {
    EXPECT_EQ(KMFileSeek(f, c.offset, c.origin), 0) << c.offset << "," << c.origin;
    EXPECT_EQ(KMFileTell(f), c.at) << c.offset << "," << c.origin;
  }
  // Past the end reads nothing and sets end of file, not error.
  EXPECT_EQ(KMFileGetc(f), -1);
  EXPECT_EQ(KMFileFlags(f), KMFILE_EOF);
  EXPECT_EQ(KMFileClose(f), 0);
}

TEST_F(KMFileTest, OpenModes) {
  std::string name = dir.file("open");
  EXPECT_EQ(KMMapFileOpen(name.c_str(), "rb"), nullptr);
  EXPECT_EQ(KMMapFileOpen(name.c_str(), "rb+"), nullptr);
  EXPECT_FALSE(fileExists(name));
  EXPECT_EQ(KMMapFileOpen(name.c_str(), "xb"), nullptr);
  EXPECT_EQ(KMMapFileOpen(name.c_str(), ""), nullptr);
  EXPECT_EQ(KMMapFileOpen(name.c_str(), nullptr), nullptr);
  EXPECT_EQ(KMMapFileOpen(nullptr, "rb"), nullptr);
  EXPECT_EQ(KMMapFileOpen(dir.path().c_str(), "rb"), nullptr);
  EXPECT_EQ(KMMapFileOpen(dir.path().c_str(), "wb+"), nullptr);

  putFile(name, "old contents");
  KMFILE* f = KMMapFileOpen(name.c_str(), "wb+");  // truncates
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(KMFileWrite("12", 1, 2, f), 2u);
  EXPECT_EQ(KMFileClose(f), 0);
  EXPECT_EQ(fileContents(name), "12");

  // Append starts at the end and every write goes there, wherever the
  // position was moved.
  f = KMMapFileOpen(name.c_str(), "ab+");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(KMFileTell(f), 2);
  EXPECT_EQ(KMFileSeek(f, 0, 0), 0);
  EXPECT_EQ(KMFileGetc(f), '1');
  EXPECT_EQ(KMFileWrite("3", 1, 1, f), 1u);
  EXPECT_EQ(KMFileTell(f), 3);
  EXPECT_EQ(KMFileClose(f), 0);
  EXPECT_EQ(fileContents(name), "123");
}

TEST_F(KMFileTest, BackslashNamesReachTheFile) {
  putFile(dir.file("bs"), "q");
  std::string name = dir.path() + "\\bs";
  KMFILE* f = KMMapFileOpen(name.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(KMFileGetc(f), 'q');
  EXPECT_EQ(KMFileClose(f), 0);
  EXPECT_TRUE(KMFileCanWrite(name.c_str()));
  EXPECT_EQ(KMFileDelete(name.c_str()), 0);
  EXPECT_FALSE(fileExists(dir.file("bs")));
}

TEST_F(KMFileTest, AnsiNamesReachTheFileSystemAsUtf8) {
  // "caf\xE9 \x80" in the ANSI code page: e acute and the euro sign.
  std::string name = dir.path() + "\\caf\xE9 \x80";
  KMFILE* f = KMMapFileOpen(name.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(KMFileClose(f), 0);
  EXPECT_TRUE(fileExists(dir.file("caf\xC3\xA9 \xE2\x82\xAC")));
  EXPECT_EQ(KMHostPath("a\\b\xE9"), "a/b\xC3\xA9");
  EXPECT_EQ(KMFileDelete(name.c_str()), 0);
}

TEST_F(KMFileTest, DeleteAndCloseAnswers) {
  std::string name = dir.file("del");
  putFile(name, "z");
  EXPECT_EQ(KMFileDelete(name.c_str()), 0);
  EXPECT_FALSE(fileExists(name));
  EXPECT_NE(KMFileDelete(name.c_str()), 0);
  EXPECT_NE(KMFileDelete(nullptr), 0);
  EXPECT_EQ(KMFileClose(nullptr), -1);
}

TEST_F(KMFileTest, CanWriteCreatesNothing) {
  std::string name = dir.file("cw");
  EXPECT_FALSE(KMFileCanWrite(name.c_str()));
  EXPECT_FALSE(fileExists(name));
  EXPECT_FALSE(KMFileCanWrite(dir.path().c_str()));
  EXPECT_FALSE(KMFileCanWrite(nullptr));
  putFile(name, "");
  EXPECT_TRUE(KMFileCanWrite(name.c_str()));
  if (geteuid() != 0) {  // the superuser may write anything
    chmod(name.c_str(), 0444);
    EXPECT_FALSE(KMFileCanWrite(name.c_str()));
  }
}

}  // namespace
