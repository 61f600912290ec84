#include "rw/filemgr.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diskcheck.h"
#include "testkit/buildskip.h"

using namespace disktest;

namespace {

class FileManagerTest : public ::testing::Test {
 protected:
  TempDir dir;
  ReportLog capture;
  std::string path = dir.file("heap.dat");

  int files = 0;

  // Moves the test on to a new, empty file.
  void freshFile() { path = dir.file(("heap" + std::to_string(++files) + ".dat").c_str()); }
  Bytes bytes() const { return readAll(path); }
  // The list block at offset at, as (offset, size) pairs, with its next.
  std::vector<std::pair<int32_t, int32_t>> entries(int32_t at, int32_t* next = nullptr) const {
    Bytes b = bytes();
    std::vector<std::pair<int32_t, int32_t>> out;
    int32_t count = le32(b, at + 4 + 8 * 32);
    for (int32_t i = 0; i < count; ++i) out.emplace_back(le32(b, at + 4 + 4 * i), le32(b, at + 132 + 4 * i));
    if (next) *next = le32(b, at + 264);
    return out;
  }
  void expectPartition() const {
    Layout lay;
    EXPECT_EQ(readLayout(bytes(), lay), "");
  }
};

TEST_F(FileManagerTest, FreshFileIsHeaderAndOneEmptyBlock) {
  { RWFileManager fm(path.c_str()); }
  Bytes expected = {0xFF, 0xFF, 0xFF, 0xFF, 0x18, 0x01, 0x00, 0x00, 0x0C, 0x01, 0x00, 0x00,
                    0x35, 0x12, 0x00, 0x00};
  expected.resize(12 + 4 + 256, 0);                         // 32 offsets, 32 sizes
  for (uint8_t v : {0x00, 0x00, 0x00, 0x00, 0x0C, 0x00, 0x00, 0x00}) expected.push_back(v);  // count, next
  ASSERT_EQ(expected.size(), 280u);
  EXPECT_EQ(bytes(), expected);
  EXPECT_TRUE(capture.all().empty());
}

TEST_F(FileManagerTest, FirstAllocationBecomesStart) {
  {
    RWFileManager fm(path.c_str());
    EXPECT_EQ(fm.allocate(40), 284);
    EXPECT_EQ(fm.start(), 284);
    EXPECT_EQ(fm.endData(), 324);
  }
  Bytes b = bytes();
  EXPECT_EQ(le32(b, 0), 284);
  EXPECT_EQ(le32(b, 4), 324);
  EXPECT_EQ(le32(b, 280), 44);
  RWFileManager again(path.c_str());
  EXPECT_EQ(again.start(), 284);
  EXPECT_EQ(again.endData(), 324);
}

TEST_F(FileManagerTest, RequestsRoundUpWithTheLengthWord) {
  const struct { RWspace n; int32_t length; } cases[] = {{0, 4}, {1, 8}, {4, 8}, {5, 12}, {8, 12}, {9, 16}};
  std::vector<RWoffset> at;
  {
    RWFileManager fm(path.c_str());
    for (auto c : cases) {
      RWoffset p = fm.allocate(c.n);
      EXPECT_EQ(fm.endData(), p - 4 + c.length) << "n = " << c.n;
      at.push_back(p);
    }
  }
  Bytes b = bytes();
  for (size_t i = 0; i < at.size(); ++i) EXPECT_EQ(le32(b, at[i] - 4), cases[i].length) << "n = " << cases[i].n;
}

TEST_F(FileManagerTest, FreeingTheLastBlockMovesTheEndBack) {
  // Each check of the file's bytes replays the steps on a fresh file and
  // reads it once the manager has closed it.
  RWoffset a = 0, b = 0;
  auto freeLast = [&](RWFileManager& fm) {
    fm.allocate(8);
    a = fm.allocate(20);
    b = fm.allocate(20);
    fm.deallocate(b);
    EXPECT_EQ(fm.endData(), b - 4);
  };
  { RWFileManager fm(path.c_str()); freeLast(fm); }
  EXPECT_TRUE(entries(12).empty());
  // A free extent just before the end stays in the list when the end moves.
  freshFile();
  {
    RWFileManager fm(path.c_str());
    freeLast(fm);
    fm.deallocate(a);
    EXPECT_EQ(fm.endData(), a - 4);
  }
  EXPECT_EQ(le32(bytes(), 4), a - 4);
}

TEST_F(FileManagerTest, ExtentsAreTakenWholeOrSplit) {
  struct Case { RWspace freed; int32_t length; std::vector<std::pair<int32_t, int32_t>> left; };
  // A freed 48-byte block serves a request of 40 (want 44) whole: 4 bytes
  // could never hold a block. A 52-byte block leaves an entry of 8.
  const Case cases[] = {{44, 48, {}}, {48, 44, {{284 + 44, 8}}}};
  for (const Case& c : cases) {
    freshFile();
    RWoffset a = 0;
    {
      RWFileManager fm(path.c_str());
      fm.allocate(0);                   // start block at 280
      a = fm.allocate(c.freed);         // block at 284, handed out as 288
      fm.allocate(0);                   // keeps a away from the end
      fm.deallocate(a);
      EXPECT_EQ(fm.allocate(40), a);
    }
    EXPECT_EQ(le32(bytes(), a - 4), c.length);
    EXPECT_EQ(entries(12), c.left);
    expectPartition();
  }
}

TEST_F(FileManagerTest, FreeingBetweenTwoExtentsMergesThree) {
  RWoffset a = 0, b = 0, c = 0;
  auto freeTwo = [&](RWFileManager& fm) {
    fm.allocate(0);
    a = fm.allocate(12), b = fm.allocate(20), c = fm.allocate(28);
    fm.allocate(0);
    fm.deallocate(a);
    fm.deallocate(c);
  };
  { RWFileManager fm(path.c_str()); freeTwo(fm); }
  EXPECT_EQ(entries(12).size(), 2u);
  freshFile();
  {
    RWFileManager fm(path.c_str());
    freeTwo(fm);
    fm.deallocate(b);
  }
  std::vector<std::pair<int32_t, int32_t>> one = {{a - 4, 16 + 24 + 32}};
  EXPECT_EQ(entries(12), one);
  expectPartition();
}

TEST_F(FileManagerTest, MinusOneAndTheStartBlockAreNotFreed) {
  RWFileManager fm(path.c_str());
  RWoffset s = fm.allocate(40);
  fm.allocate(4);
  Bytes before = bytes();
  fm.deallocate(-1);
  fm.deallocate(s);
  EXPECT_EQ(bytes(), before);
  EXPECT_TRUE(capture.all().empty());
}

// A refused free leaves the file alone and says which it was: a block
// already free, an offset that does not start a live block, or one outside
// the file.
TEST_F(FileManagerTest, ARefusedFreeNamesWhatHappened) {
  RWFileManager fm(path.c_str());
  fm.allocate(0);
  ASSERT_EQ(fm.allocate(8), 288);
  ASSERT_EQ(fm.allocate(24), 300);
  fm.allocate(0);
  ASSERT_EQ(fm.endData(), 328);
  fm.deallocate(288);
  Bytes before = bytes();
  fm.deallocate(288);
  fm.deallocate(304);
  fm.deallocate(332);
  EXPECT_EQ(bytes(), before);
  ASSERT_EQ(capture.texts(), (std::vector<std::string>{"[DBLFREE] Block at offset 288 is already free",
                                                       "[NOTBLOCK] Offset 304 does not name a live block",
                                                       "[LONGINDEX] Long index (332) out of range [0->328]"}));
  EXPECT_TRUE(capture[0].internal && !capture[0].bounds);
  EXPECT_TRUE(capture[1].internal && !capture[1].bounds);
  EXPECT_TRUE(capture[2].bounds);
  // The last byte of the file is in range: a block of no data there is freed.
  fm.deallocate(328);
  EXPECT_EQ(fm.endData(), 324);
  EXPECT_EQ(capture.size(), 3u);
}

TEST_F(FileManagerTest, AFullBlockGrowsTheRingAndEmptyBlocksLeaveIt) {
  std::vector<RWoffset> held;
  RWoffset endAfterFree = 0;
  auto fillAndFree = [&](RWFileManager& fm) {
    held.clear();
    fm.allocate(0);
    for (int i = 0; i < 33; ++i) {
      held.push_back(fm.allocate(i < 32 ? 12 : 4));  // 16-byte blocks, the last 8
      fm.allocate(0);                                 // a guard between them
    }
    for (RWoffset p : held) fm.deallocate(p);
    endAfterFree = fm.endData();
  };
  { RWFileManager fm(path.c_str()); fillAndFree(fm); }
  int32_t next;
  EXPECT_EQ(entries(12, &next).size(), 32u);
  ASSERT_NE(next, 12);
  const int32_t second = next;
  EXPECT_EQ(second, endAfterFree - 268);  // no extent was big enough: taken at the end
  Bytes b = bytes();
  EXPECT_EQ(b[second] | b[second + 1] << 8, 0x1235);
  EXPECT_EQ(entries(second, &next).size(), 1u);
  EXPECT_EQ(next, 12);
  expectPartition();

  // Emptying the first block while it has a successor moves the successor's
  // content to offset 12 and gives its 268 bytes back.
  freshFile();
  {
    RWFileManager fm(path.c_str());
    fillAndFree(fm);
    for (int i = 0; i < 32; ++i) EXPECT_EQ(fm.allocate(12), held[i]);
    EXPECT_EQ(fm.endData(), second);
  }
  EXPECT_EQ(entries(12, &next).size(), 1u);
  EXPECT_EQ(next, 12);
  expectPartition();
  EXPECT_TRUE(capture.all().empty());
}

TEST_F(FileManagerTest, AnEmptiedLaterBlockIsUnlinked) {
  std::vector<RWoffset> held;
  auto fillAndFree = [&](RWFileManager& fm) {
    held.clear();
    fm.allocate(0);
    for (int i = 0; i < 33; ++i) {
      held.push_back(fm.allocate(4));
      fm.allocate(0);
    }
    for (RWoffset p : held) fm.deallocate(p);
  };
  { RWFileManager fm(path.c_str()); fillAndFree(fm); }
  int32_t next;
  entries(12, &next);
  const int32_t second = next;
  // The search goes on from the second block, the one that took the last
  // free: its only entry goes, and the block leaves the ring.
  freshFile();
  {
    RWFileManager fm(path.c_str());
    fillAndFree(fm);
    EXPECT_EQ(fm.allocate(4), held[32]);
    EXPECT_EQ(fm.endData(), second);
  }
  EXPECT_EQ(entries(12, &next).size(), 32u);
  EXPECT_EQ(next, 12);
  expectPartition();
}

TEST_F(FileManagerTest, OlderFilesKeepTheirSmallBlocks) {
  Bytes old(104, 0);
  setLe32(old, 0, -1);
  setLe32(old, 4, 104);
  setLe32(old, 8, 92);
  old[12] = 0x34;
  old[13] = 0x12;
  setLe32(old, 12 + 88, 12);
  writeAll(path, old);
  {
    RWFileManager fm(path.c_str());
    ASSERT_TRUE(fm.hasFreeList());
    EXPECT_EQ(fm.allocate(0), 108);
    std::vector<RWoffset> held;
    for (int i = 0; i < 11; ++i) {
      held.push_back(fm.allocate(4));
      fm.allocate(0);
    }
    for (RWoffset p : held) fm.deallocate(p);
  }
  Bytes b = bytes();
  EXPECT_EQ(le32(b, 12 + 84), 10);  // the first block is full
  int32_t second = le32(b, 12 + 88);
  ASSERT_NE(second, 12);
  EXPECT_EQ(b[second] | b[second + 1] << 8, 0x1234);
  EXPECT_EQ(le32(b, second + 84), 1);
  EXPECT_EQ(le32(b, second + 88), 12);
  Layout lay;
  EXPECT_EQ(readLayout(b, lay), "");
  EXPECT_EQ(lay.ring.size(), 2u);
  EXPECT_TRUE(capture.all().empty());
}

TEST_F(FileManagerTest, AnUnknownBlockSizeLeavesNoFreeList) {
  Bytes odd(280, 0);
  setLe32(odd, 0, -1);
  setLe32(odd, 4, 280);
  setLe32(odd, 8, 100);
  writeAll(path, odd);
  RWFileManager fm(path.c_str());
  ASSERT_EQ(capture.all().size(), 1u);
  EXPECT_EQ(capture.all()[0].text, "[FLIST] Free list size error: expected 268, got 100");
  EXPECT_FALSE(fm.hasFreeList());
  EXPECT_EQ(fm.allocate(4), -1);
  fm.deallocate(300);
  EXPECT_EQ(bytes(), odd);
}

TEST_F(FileManagerTest, ABadMagicIsReportedAndTheBlockUsed) {
  { RWFileManager fm(path.c_str()); }
  Bytes b = bytes();
  b[12] = 0x99;
  writeAll(path, b);
  RWFileManager fm(path.c_str());
  ASSERT_EQ(capture.all().size(), 1u);
  EXPECT_EQ(capture.all()[0].text, "[MAGIC] Bad magic number: 4761 (should be 4661)");
  EXPECT_TRUE(fm.hasFreeList());
  EXPECT_EQ(fm.allocate(4), 284);
}

TEST_F(FileManagerTest, AFileThatCannotBeOpenedHasNoFreeList) {
  RWFileManager fm(dir.file("missing.dat").c_str(), "rb+");
  EXPECT_FALSE(fm.isValid());
  EXPECT_EQ(fm.allocate(4), -1);
  fm.deallocate(284);
  EXPECT_EQ(fm.start(), -1);
}

}  // namespace
