// The restore of a member that a counted holder shares: what it answers for
// each stored form, good and hostile, read from one file under one read
// table as a restoreLevel reads it.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "fixtures.h"
#include "rw/rwfile.h"
#include "rw/rwstore.h"

namespace {

bool reportedBadReference(const ReportLog& reports) {
  for (const std::string& text : reports.texts())
    if (text.find("[REF]") != std::string::npos) return true;
  return false;
}

// An object's stored form without the file's leading mark, which only the
// read that opens the read table takes.
std::string objectBytes(const RWCollectable* object) {
  const std::string stored = storedBytes(object);
  EXPECT_EQ(stored.substr(0, 4), le32(0x8888));
  return stored.substr(4);
}

// A stored reference to the object at read-table index 1: the first object
// read from the stream.
std::string referenceToFirst() { return bytes({0xFF, 0xFF}) + le32(1); }

// Reads one object with the plain restore, then the member with
// restoreSharedMember<T>, both under one read table.
template <class T>
struct SharedRead {
  std::unique_ptr<RWCollectable> first;
  bool readOn = false;
  T* member = nullptr;
};

template <class T>
SharedRead<T> readAfterFirst(const std::string& stored, int firstReferences, bool firstEncloses,
                             bool (*fits)(T*) = nullptr) {
  SharedRead<T> out;
  TempDir dir;
  const std::string name = dir.file("member.bin");
  putFile(name, stored);
  RWFile s(name.c_str(), "rb");
  RWUseReadTable table;
  const RWCollectable::Restored r = RWCollectable::restoreObject(s, nullptr);
  EXPECT_FALSE(r.failed);
  out.first.reset(r.object);
  auto* first = dynamic_cast<MPersistentObject*>(r.object);
  // References a counted holder would have taken.
  for (int i = 0; i < firstReferences && first; ++i) first->referenceCount().addReference();
  {
    const std::unique_ptr<MRestoreScope> scope(firstEncloses ? new MRestoreScope(first) : nullptr);
    out.readOn = restoreSharedMember(s, out.member, fits);
  }
  for (int i = 0; i < firstReferences && first; ++i) first->referenceCount().removeReference();
  return out;
}

bool refuseAll(TestLeaf*) { return false; }

TEST(SharedMember, ARestoreAnswersTheObjectToHoldOrNullWithTheCause) {
  TestLeaf leaf(7, 3);
  TestBare bare(8);
  const std::string leafBytes = objectBytes(&leaf);
  struct Case {
    const char* what;
    std::string member;    // stored after a first TestLeaf
    int firstReferences;   // counted holders sharing the first object
    bool firstEncloses;    // the first object's restore is under way
    bool (*fits)(TestLeaf*);
    bool readOn;
    bool holdsFresh;       // a fresh TestLeaf with id 7 is answered
    bool holdsFirst;       // the first object is answered
    bool reportsRef;
  };
  const Case cases[] = {
      {"a fresh object of the class", leafBytes, 0, false, nullptr, true, true, false, false},
      {"nil", objectBytes(rwNilCollectable()), 0, false, nullptr, true, false, false, false},
      {"a fresh object of another class", objectBytes(&bare), 0, false, nullptr, true, false, false, false},
      {"a fresh object the fit test refuses", leafBytes, 0, false, refuseAll, true, false, false, false},
      {"a reference shared by a counted holder", referenceToFirst(), 1, false, nullptr, true, false, true, false},
      {"a reference no counted holder shares", referenceToFirst(), 0, false, nullptr, true, false, false, true},
      {"a reference to an enclosing object", referenceToFirst(), 1, true, nullptr, true, false, false, true},
      {"a reference index past the table", bytes({0xFF, 0xFF}) + le32(9), 0, false, nullptr, true, false, false,
       true},
      {"a class tag cut short", leafBytes.substr(0, 1), 0, false, nullptr, false, false, false, false},
      {"a reference cut short", referenceToFirst().substr(0, 4), 1, false, nullptr, false, false, false, false},
      {"nothing at all", "", 0, false, nullptr, false, false, false, false},
  };
  for (const Case& c : cases) {
    ReportLog reports;
    SharedRead<TestLeaf> read = readAfterFirst<TestLeaf>(leafBytes + c.member, c.firstReferences, c.firstEncloses,
                                                         c.fits);
    EXPECT_EQ(read.readOn, c.readOn) << c.what;
    EXPECT_EQ(reportedBadReference(reports), c.reportsRef) << c.what;
    if (c.holdsFirst) {
      EXPECT_EQ(read.member, read.first.get()) << c.what;
    } else if (c.holdsFresh) {
      ASSERT_NE(read.member, nullptr) << c.what;
      EXPECT_NE(read.member, read.first.get()) << c.what;
      EXPECT_EQ(read.member->id(), 7u) << c.what;
      delete read.member;
    } else {
      EXPECT_EQ(read.member, nullptr) << c.what;
    }
  }
}

TEST(SharedMember, ARefusedFreshObjectIsFreedAndOneReadEarlierIsLeftToItsHolder) {
  TestLeaf leaf(7, 3);
  TestBare bare(8);
  const int before = TestLeaf::destroyed;
  {
    SharedRead<TestBare> read = readAfterFirst<TestBare>(objectBytes(&bare) + objectBytes(&leaf), 0, false);
    EXPECT_TRUE(read.readOn);
    EXPECT_EQ(read.member, nullptr);
  }
  EXPECT_EQ(TestLeaf::destroyed, before + 1) << "the fresh leaf of the wrong class is freed at once";
  {
    SharedRead<TestBare> read = readAfterFirst<TestBare>(objectBytes(&leaf) + referenceToFirst(), 1, false);
    EXPECT_EQ(read.member, nullptr);
    EXPECT_EQ(TestLeaf::destroyed, before + 1) << "the leaf read earlier is not the member's to free";
  }
}

}  // namespace
