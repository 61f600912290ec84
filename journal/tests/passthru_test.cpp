// Raw bytes for one printer language and the header request: their stored
// forms written out by hand, who owns the bytes through copies, kept
// commands and restores, and when two commands match.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "journal/passthru.h"
#include "testkit/bytes.h"
#include "testkit/store.h"

namespace {

std::string file(RWClassID classId, const std::string& body) { return le32(0x8888) + le16(classId) + body; }
std::string root(uint32_t id, uint32_t serial) { return le32(1) + le32(id) + le32(serial); }
std::string noAttribute() { return le32(1) + le16(0xFFFF) + le32(0); }

class PassThroughStore : public StoreTestOf<GCommand> {};

const unsigned char kFive[] = {0x1B, 0x45, 0x00, 0xFF, 0x7F};

TEST_F(PassThroughStore, FiveBytesForPclXlRestoreAsBytesOfTheirOwn) {
  GPassThroughCommand sent(kFive, 5, ClassId::GCheetah, 7);
  sent.setSerialNumber(50);
  const std::string expected =
      file(608, root(7, 50) + noAttribute() + le32(1) + le16(5) + le16(767) + bytes({0x1B, 0x45, 0x00, 0xFF, 0x7F}));
  EXPECT_EQ(stored(sent), expected);

  std::unique_ptr<GCommand> back = restored(expected);
  auto* p = dynamic_cast<GPassThroughCommand*>(back.get());
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->length(), 5);
  EXPECT_EQ(p->targetClassId(), 767);
  EXPECT_EQ(p->owned(), 1);
  ASSERT_NE(p->data(), kFive);
  EXPECT_EQ(std::memcmp(p->data(), kFive, 5), 0);
  EXPECT_EQ(p->id(), 7u);
}

TEST_F(PassThroughStore, CommandsWithoutBytesStoreLengthZeroAndRestoreNone) {
  // A length without bytes would promise bytes the store does not hold, and
  // its restore would read the next object's as its own.
  const GPassThroughCommand none(nullptr, 9, ClassId::GPcl5e);
  const GPassThroughCommand empty;
  for (const GPassThroughCommand* c : {&none, &empty}) {
    GPassThroughCommand copy(*c);
    copy.setSerialNumber(50);
    const uint16_t target = c->targetClassId();
    const std::string expected = file(608, root(0, 50) + noAttribute() + le32(1) + le16(0) + le16(target));
    EXPECT_EQ(stored(copy), expected);
    std::unique_ptr<GCommand> back = restored(expected);
    auto* p = dynamic_cast<GPassThroughCommand*>(back.get());
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->data(), nullptr);
    EXPECT_EQ(p->length(), 0);
    EXPECT_EQ(p->owned(), 0);
    EXPECT_EQ(p->targetClassId(), target);
  }
}

TEST_F(PassThroughStore, AHeaderRequestStoresItsKind) {
  GDownloadHeaderCommand header(19, 3);
  header.setSerialNumber(50);
  const std::string expected = file(610, root(3, 50) + noAttribute() + le32(1) + le32(19));
  EXPECT_EQ(stored(header), expected);
  std::unique_ptr<GCommand> back = restored(expected);
  auto* h = dynamic_cast<GDownloadHeaderCommand*>(back.get());
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->headerKind(), 19);
  EXPECT_TRUE(h->matches(&header));

  GDownloadHeaderCommand plain(4);
  plain.setSerialNumber(50);
  EXPECT_EQ(plain.headerKind(), 0) << "a request made from an id alone asks for kind 0";
  EXPECT_EQ(stored(plain), file(610, root(4, 50) + noAttribute() + le32(1) + le32(0)));
}

TEST_F(PassThroughStore, DamagedStoresRestoreWhatTheyCan) {
  GPassThroughCommand sent(kFive, 5, ClassId::GCheetah);
  restoreEveryCut(&sent);
  GDownloadHeaderCommand header(19, 0);
  restoreEveryCut(&header);

  // A cut inside the bytes leaves a command holding none of them.
  std::string cut = file(608, root(0, 50) + noAttribute() + le32(1) + le16(0xFFFF) + le16(767) + "abc");
  std::unique_ptr<GCommand> back = restored(cut);
  auto* p = dynamic_cast<GPassThroughCommand*>(back.get());
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->data(), nullptr);
  EXPECT_EQ(p->length(), 0);
}

TEST(PassThrough, MatchesComparesTargetsOwnershipAndBytes) {
  unsigned char other[5];
  std::memcpy(other, kFive, 5);
  unsigned char changed[5];
  std::memcpy(changed, kFive, 5);
  changed[4] = 0;
  const GPassThroughCommand xl(kFive, 5, ClassId::GCheetah);
  GPassThroughCommand kept(kFive, 5, ClassId::GCheetah);
  kept.takeOwnership();

  const struct {
    const char* name;
    GPassThroughCommand command;
    bool matches;
  } cases[] = {
      {"the same bytes", GPassThroughCommand(kFive, 5, ClassId::GCheetah), true},
      {"equal bytes in another buffer", GPassThroughCommand(other, 5, ClassId::GCheetah), true},
      {"another target", GPassThroughCommand(kFive, 5, ClassId::GPcl5e), false},
      {"other bytes", GPassThroughCommand(changed, 5, ClassId::GCheetah), false},
      {"fewer bytes", GPassThroughCommand(kFive, 4, ClassId::GCheetah), false},
      {"no bytes", GPassThroughCommand(nullptr, 5, ClassId::GCheetah), false},
      {"bytes of its own", kept, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(static_cast<bool>(xl.matches(&c.command)), c.matches) << c.name;
    EXPECT_EQ(static_cast<bool>(c.command.matches(&xl)), c.matches) << c.name;
  }
  const GDownloadHeaderCommand header(0, 0);
  EXPECT_FALSE(xl.matches(&header));
  EXPECT_FALSE(header.matches(&xl));
}

TEST(PassThrough, CopiesAndKeptCommandsNeverReadAFreedBuffer) {
  auto buffer = std::make_unique<std::vector<unsigned char>>(kFive, kFive + 5);
  GPassThroughCommand borrowed(buffer->data(), 5, ClassId::GCheetah);
  EXPECT_EQ(borrowed.owned(), 0);
  EXPECT_EQ(borrowed.data(), buffer->data()) << "borrowed until kept";

  auto kept = std::make_unique<GPassThroughCommand>(borrowed);
  EXPECT_EQ(kept->data(), buffer->data()) << "a copy of borrowed bytes borrows them too";
  kept->takeOwnership();
  EXPECT_EQ(kept->owned(), 1);
  buffer.reset();

  // The kept command's bytes outlive the producer's buffer, and a copy and
  // an assignment of it outlive the kept command.
  auto copy = std::make_unique<GPassThroughCommand>(*kept);
  GPassThroughCommand assigned;
  assigned = *kept;
  kept.reset();
  for (const GPassThroughCommand* c : {copy.get(), &assigned}) {
    EXPECT_EQ(c->owned(), 1);
    ASSERT_EQ(c->length(), 5);
    EXPECT_EQ(std::memcmp(c->data(), kFive, 5), 0);
  }
  const GPassThroughCommand& self = assigned;
  assigned = self;
  EXPECT_EQ(std::memcmp(assigned.data(), kFive, 5), 0) << "assigned to itself";
}

}  // namespace
