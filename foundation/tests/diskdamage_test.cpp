// Damaged and hostile free-list files and B-trees: each is reported, and
// nothing crashes, hangs or writes over what the file holds.

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "diskcheck.h"
#include "rw/disktree.h"
#include "rw/filemgr.h"

using namespace disktest;

namespace {

using Tr = RWBTreeOnDisk;

// A file with a start block, a block handed out as 288 (length word 12 at
// 284) and a guard after it.
void threeBlocks(const std::string& path) {
  RWFileManager fm(path.c_str());
  fm.allocate(0);
  fm.allocate(8);
  fm.allocate(0);
}

void patch(const std::string& path, size_t at, int32_t v) {
  Bytes b = readAll(path);
  setLe32(b, at, v);
  writeAll(path, b);
}

// A manager that counts the calls of its error hook for a refused free.
struct HookedManager : RWFileManager {
  using RWFileManager::RWFileManager;
  void readErr() override { ++calls; }
  int calls = 0;
};

// Frees p on a manager of the file; the refusal must reach the hook once.
void refusedFree(const std::string& path, RWoffset p) {
  HookedManager fm(path.c_str());
  fm.deallocate(p);
  EXPECT_EQ(fm.calls, 1);
}

// A tree of order 3 holding n keys; its record is at 284.
void treeOf(const std::string& path, int n) {
  RWFileManager fm(path.c_str());
  Tr tree(fm, 10, Tr::autoCreate, 16, 0, -1, Tr::currentStyle, 3, 3);
  for (int i = 0; i < n; ++i) {
    char k[16];
    std::snprintf(k, sizeof k, "k%04d", i);
    tree.insertKeyAndValue(k, i);
  }
}

int32_t secondListBlock(const std::string& path) { return le32(readAll(path), 12 + 264); }

int32_t rootOf(const std::string& path) { return le32(readAll(path), 284); }

// Exercises a manager on a damaged file: nothing may be handed out.
void managerRefuses(const std::string& path) {
  RWFileManager fm(path.c_str());
  EXPECT_FALSE(fm.hasFreeList());
  EXPECT_EQ(fm.allocate(4), -1);
  fm.deallocate(288);
}

// Exercises a tree on a damaged file through every operation.
void treeWorkout(const std::string& path) {
  RWFileManager fm(path.c_str(), "rb+");
  Tr tree(fm, 10, Tr::autoCreate, 16, 0, -1, Tr::currentStyle, 3, 3);
  int32_t v;
  char found[17];
  tree.findKeyAndValue("k0001", found, v);
  tree.insertKeyAndValue("new", 1);
  tree.removeKeyAndValue("k0002", found, v);
  tree.replaceValue("k0003", 9, v);
  tree.applyToKeyAndValue([](const char*, int32_t, void*) {}, nullptr);
  tree.entries();
  tree.height();
  tree.clear();
}

// Opens the tree of treeOf(path, 5) after its entry count was damaged: the
// five keys are counted again, and the count written back goes on from there.
void countedAgain(const std::string& path) {
  {
    RWFileManager fm(path.c_str());
    Tr tree(fm);
    ASSERT_TRUE(tree.isValid());
    EXPECT_EQ(tree.entries(), 5);
    EXPECT_EQ(tree.insertKeyAndValue("new", 1), 1);
    EXPECT_EQ(tree.entries(), 6);
  }
  EXPECT_EQ(le32(readAll(path), 284 + 12), 6);
  RWFileManager fm(path.c_str());
  Tr tree(fm);
  int32_t v;
  EXPECT_EQ(tree.removeKeyAndValue("k0000", nullptr, v), 1);
  EXPECT_EQ(tree.entries(), 5);
}

struct Row {
  const char* name;
  std::function<void(const std::string&)> make;
  std::function<void(const std::string&)> act;
  const char* tag;
  bool unchanged;  // the file must be exactly as it was
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

class DamagedInputs : public ::testing::TestWithParam<Row> {};

TEST_P(DamagedInputs, AreReportedAndLeaveTheFileAlone) {
  const Row& row = GetParam();
  TempDir dir;
  std::string path = dir.file("damaged.dat");
  row.make(path);
  Bytes before = readAll(path);
  ReportLog log;
  row.act(path);
  EXPECT_TRUE(saw(log, row.tag)) << "reports: " << ::testing::PrintToString(log.texts());
  if (row.unchanged) {
    EXPECT_EQ(readAll(path), before);
  }
}

const Row kRows[] = {
    // ---- frees that do not name a live block --------------------------------
    {"LengthWordTooSmall", [](auto& p) { threeBlocks(p); patch(p, 284, 2); },
     [](auto& p) { refusedFree(p, 288); }, "[NOTBLOCK]", true},
    {"LengthWordPastTheEnd", [](auto& p) { threeBlocks(p); patch(p, 284, 0x7FFFFFF0); },
     [](auto& p) { refusedFree(p, 288); }, "[NOTBLOCK]", true},
    {"LengthWordOddSize", [](auto& p) { threeBlocks(p); patch(p, 284, 10); },
     [](auto& p) { refusedFree(p, 288); }, "[NOTBLOCK]", true},
    {"OffsetInTheHeader", threeBlocks, [](auto& p) { refusedFree(p, 8); },
     "[NOTBLOCK]", true},
    {"OffsetInTheFirstListBlock", threeBlocks, [](auto& p) { refusedFree(p, 100); },
     "[NOTBLOCK]", true},
    {"OffsetPastTheEnd", threeBlocks, [](auto& p) { refusedFree(p, 4000); },
     "[LONGINDEX]", true},
    {"NegativeOffset", threeBlocks, [](auto& p) { refusedFree(p, -8); },
     "[LONGINDEX]", true},
    {"DoubleFree", [](auto& p) { threeBlocks(p); RWFileManager(p.c_str()).deallocate(288); },
     [](auto& p) { refusedFree(p, 288); }, "[DBLFREE]", true},
    {"FreeInsideAFreeExtent",
     [](auto& p) {
       threeBlocks(p);
       RWFileManager(p.c_str()).deallocate(288);
       patch(p, 288, 8);  // a plausible length word inside the free extent
     },
     [](auto& p) { refusedFree(p, 292); }, "[DBLFREE]", true},
    // A block at 284 of 28 bytes whose data holds 8 at 292: taken as a
    // length word, freeing 296 would hand out the middle of live data.
    {"FreeInsideALiveBlock",
     [](auto& p) {
       RWFileManager fm(p.c_str());
       fm.allocate(0);
       fm.allocate(24);
       fm.allocate(0);
       patch(p, 292, 8);
     },
     [](auto& p) {
       refusedFree(p, 296);
       RWFileManager fm(p.c_str());
       EXPECT_EQ(fm.allocate(4), 320);  // at the end, not over the live block
     },
     "[NOTBLOCK]", false},
    // The same behind a free extent: the walk starts at the extent's end.
    {"FreeInsideALiveBlockAfterAFreeExtent",
     [](auto& p) {
       RWFileManager fm(p.c_str());
       fm.allocate(0);
       fm.allocate(4);    // 284, freed below
       fm.allocate(24);   // 292, data word 8 at 300
       fm.allocate(0);
       fm.deallocate(288);
       patch(p, 300, 8);
     },
     [](auto& p) { refusedFree(p, 304); }, "[NOTBLOCK]", true},
    // A second list block holds one extent; its unused slots are zero but
    // for a plausible length word put in the sixth offset.
    {"FreeInsideAListBlock",
     [](auto& p) {
       {
         RWFileManager fm(p.c_str());
         fm.allocate(0);
         std::vector<RWoffset> held;
         for (int i = 0; i < 33; ++i) {
           held.push_back(fm.allocate(4));
           fm.allocate(0);
         }
         for (RWoffset h : held) fm.deallocate(h);  // the 33rd free makes a second list block
       }
       patch(p, secondListBlock(p) + 24, 8);
     },
     [](auto& p) { refusedFree(p, secondListBlock(p) + 28); }, "[NOTBLOCK]", true},
    // ---- requests that cannot be met ----------------------------------------------
    {"RequestThatWraps", threeBlocks,
     [](auto& p) {
       RWFileManager fm(p.c_str());
       EXPECT_EQ(fm.allocate(0xFFFFFFF9u), -1);
       EXPECT_EQ(fm.allocate(0xFFFFFFFFu), -1);
     },
     "[NOMEM]", true},
    {"RequestPastTwoGigabytes", threeBlocks,
     [](auto& p) { EXPECT_EQ(RWFileManager(p.c_str()).allocate(0x7FFFFF00u), -1); }, "[NOMEM]", true},
    // ---- free-list blocks that do not hold together -------------------------------
    {"CountAboveN", [](auto& p) { threeBlocks(p); patch(p, 12 + 260, 33); }, managerRefuses, "[FLIST]",
     true},
    {"NegativeCount", [](auto& p) { threeBlocks(p); patch(p, 12 + 260, -1); }, managerRefuses, "[FLIST]",
     true},
    {"NextLoopsWithoutFirstBlock",
     [](auto& p) {
       int32_t o;
       {
         RWFileManager fm(p.c_str());
         o = fm.allocate(264) - 4;
       }
       Bytes b = readAll(p);
       b[o] = 0x35;
       b[o + 1] = 0x12;
       setLe32(b, o + 260, 0);
       setLe32(b, o + 264, o);  // points at itself
       setLe32(b, 12 + 264, o);
       writeAll(p, b);
     },
     managerRefuses, "[FLIST]", true},
    {"NextOutsideTheFile", [](auto& p) { threeBlocks(p); patch(p, 12 + 264, 100000); }, managerRefuses,
     "[FLIST]", true},
    {"ExtentPastTheEnd",
     [](auto& p) {
       threeBlocks(p);
       patch(p, 16, 300);
       patch(p, 16 + 128, 4000);
       patch(p, 12 + 260, 1);
     },
     managerRefuses, "[FLIST]", true},
    {"ExtentOverTheListBlock",
     [](auto& p) {
       threeBlocks(p);
       patch(p, 16, 200);
       patch(p, 16 + 128, 8);
       patch(p, 12 + 260, 1);
     },
     managerRefuses, "[FLIST]", true},
    {"EndInsideTheListBlock", [](auto& p) { threeBlocks(p); patch(p, 4, 100); }, managerRefuses, "[FLIST]",
     true},
    {"TruncatedListBlock", [](auto& p) { writeAll(p, Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x18, 1, 0, 0, 0x0C, 1, 0, 0, 0x35, 0x12}); },
     managerRefuses, "[FLIST]", true},
    // ---- tree records and nodes ---------------------------------------------------
    {"MinimumFillAboveTheOrder", [](auto& p) { treeOf(p, 40); patch(p, 284 + 24, 9); },
     [](auto& p) {
       {
         RWFileManager fm(p.c_str());
         Tr tree(fm);
         EXPECT_TRUE(tree.isValid());
         EXPECT_EQ(tree.minFill(), 3u);
         int32_t v;
         for (int i = 0; i < 40; i += 2) {
           char k[16];
           std::snprintf(k, sizeof k, "k%04d", i);
           EXPECT_EQ(tree.removeKeyAndValue(k, nullptr, v), 1);
         }
       }
       Bytes b = readAll(p);
       Layout lay;
       Tree t;
       ASSERT_EQ(readLayout(b, lay), "");
       EXPECT_EQ(readTree(b, lay, 284, t), "");
       EXPECT_EQ(t.keys.size(), 20u);
       EXPECT_EQ(t.minFill, 3);
     },
     "[READERR]", false},
    {"OrderZero", [](auto& p) { treeOf(p, 5); patch(p, 284 + 20, 0); }, treeWorkout, "[READERR]", true},
    {"KeyLengthZero", [](auto& p) { treeOf(p, 5); patch(p, 284 + 16, 0); }, treeWorkout, "[READERR]", true},
    {"HugeNodes", [](auto& p) { treeOf(p, 5); patch(p, 284 + 20, 0x1000000); }, treeWorkout, "[READERR]",
     true},
    {"RootOutsideTheFile", [](auto& p) { treeOf(p, 5); patch(p, 284, 1 << 30); }, treeWorkout, "[READERR]",
     true},
    {"NodeCountAboveTwiceTheOrder", [](auto& p) { treeOf(p, 5); patch(p, rootOf(p), 7); }, treeWorkout,
     "[READERR]", true},
    {"ChildIsItsOwnParent", [](auto& p) { treeOf(p, 30); patch(p, rootOf(p) + 4, rootOf(p)); }, treeWorkout,
     "[READERR]", true},
    {"InnerNodeMissingAChild", [](auto& p) { treeOf(p, 30); patch(p, rootOf(p) + 8, -1); }, treeWorkout,
     "[READERR]", true},
    // The record's entry count is checked on opening: one no file of this
    // size could hold is reported and the keys are counted again, so that no
    // insert or remove can take the count past what 32 bits hold.
    {"EntryCountAtTheTop", [](auto& p) { treeOf(p, 5); patch(p, 284 + 12, 0x7FFFFFFF); }, countedAgain,
     "[READERR]", false},
    {"EntryCountNegative", [](auto& p) { treeOf(p, 5); patch(p, 284 + 12, INT32_MIN); }, countedAgain,
     "[READERR]", false},
    {"EntryCountPastWhatTheNodesHold", [](auto& p) { treeOf(p, 5); patch(p, 284 + 12, 1000); }, countedAgain,
     "[READERR]", false},
    {"ChildOutsideTheFile", [](auto& p) { treeOf(p, 30); patch(p, rootOf(p) + 8, 0x7FFFFF00); }, treeWorkout,
     "[READERR]", true},
};

INSTANTIATE_TEST_SUITE_P(Files, DamagedInputs, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

// Two nodes whose children point at each other: every walk stops at the
// depth no sound tree reaches.
TEST(DamagedTree, AChildCycleStopsEveryWalk) {
  TempDir dir;
  std::string path = dir.file("cycle.dat");
  treeOf(path, 200);  // three levels at order 3
  Bytes b = readAll(path);
  int32_t root = le32(b, 284);
  int32_t inner = le32(b, root + 4);
  setLe32(b, inner + 4, root);  // the first inner node's first child is the root
  writeAll(path, b);
  ReportLog log;
  treeWorkout(path);
  EXPECT_TRUE(saw(log, "[READERR]"));
}

}  // namespace
