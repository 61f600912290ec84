// The folder rule of restored on-disk handles: which names a handle read
// from stored bytes may open, given the folders this process named stores
// in itself. Every refused name here is one stored bytes could carry to
// reach a file outside those folders, or a file that is not a plain one.

#include <gtest/gtest.h>

#include <string>

#include "core/dskreg.h"

namespace {

RWCString text(const std::string& s) { return RWCString(s.data(), static_cast<RWsize>(s.size())); }

}  // namespace

TEST(StoreFolders, APlainNameInANotedFolderIsAdmittedAndEveryOtherRefused) {
  GStoreFolders folders;
  folders.note("/data/stores/first.dat");
  folders.note("C:\\spool\\jobs\\first.dat");

  const struct {
    std::string name;
    bool admitted;
  } cases[] = {
      {"/data/stores/first.dat", true},
      {"/data/stores/other.dat", true},
      {"C:\\spool\\jobs\\other.dat", true},
      {"/data/stores/.hidden", true},
      // No plain file name.
      {"", false},
      {"/data/stores/", false},
      {"/data/stores/.", false},
      {"/data/stores/..", false},
      {"C:\\spool\\jobs\\..", false},
      {"/data/stores/C:other.dat", false},
      {"/data/stores/other.dat:stream", false},
      {std::string("/data/stores/other\0.dat", 23), false},
      // Another folder, or the same one spelled otherwise.
      {"other.dat", false},
      {"/other.dat", false},
      {"/data/other.dat", false},
      {"/data/stores/sub/other.dat", false},
      {"/data/stores/../stores/other.dat", false},
      {"/data/stores/./other.dat", false},
      {"/data/stores//other.dat", false},
      {"/data/stores\\other.dat", false},
      {"/DATA/stores/other.dat", false},
      {"C:\\spool\\jobs\\..\\other.dat", false},
      {"C:\\spool\\other.dat", false},
      {"C:other.dat", false},
  };
  for (const auto& c : cases) EXPECT_EQ(folders.admits(text(c.name)), c.admitted) << '"' << c.name << '"';
}

TEST(StoreFolders, NothingIsAdmittedBeforeAFolderIsNoted) {
  GStoreFolders folders;
  EXPECT_FALSE(folders.admits("plain.dat"));
  // A handle without a name names no folder, not the current one.
  folders.note(RWCString());
  EXPECT_FALSE(folders.admits("plain.dat"));
}

TEST(StoreFolders, ARelativeNameNotesTheFolderOfNamesWithoutOne) {
  GStoreFolders folders;
  folders.note("made.dat");
  EXPECT_TRUE(folders.admits("other.dat"));
  EXPECT_FALSE(folders.admits("/other.dat"));
  EXPECT_FALSE(folders.admits("sub/other.dat"));
  EXPECT_FALSE(folders.admits("..\\other.dat"));
}

TEST(StoreFolders, AFolderEndsAtTheLastSeparatorOfEitherKind) {
  const struct {
    const char* name;
    const char* folder;
    const char* leaf;
  } cases[] = {
      {"a/b/c.dat", "a/b/", "c.dat"}, {"a\\b\\c.dat", "a\\b\\", "c.dat"}, {"a\\b/c.dat", "a\\b/", "c.dat"},
      {"a/b\\c.dat", "a/b\\", "c.dat"}, {"c.dat", "", "c.dat"},           {"/c.dat", "/", "c.dat"},
      {"a/", "a/", ""},                 {"", "", ""},
  };
  for (const auto& c : cases) {
    RWCString leaf;
    EXPECT_STREQ(GStoreFolders::folderOf(c.name, &leaf).data(), c.folder) << c.name;
    EXPECT_STREQ(leaf.data(), c.leaf) << c.name;
  }
}
