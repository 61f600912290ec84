// Persistable numbers and binary data: ordering, equality, ownership of
// the bytes, and stored forms that are not trusted.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <sstream>

#include "core/pcomposit.h"
#include "core/persnum.h"
#include "fixtures.h"
#include "rw/bstream.h"
#include "rw/pstream.h"

namespace {

TEST(PersistableNumbers, OrderAndEquality) {
  GPersistableULong big(4294967295u), one(1);
  EXPECT_EQ(big.compareTo(&one), 1);
  EXPECT_EQ(one.compareTo(&big), -1);
  GPersistableLong minus(-1), plus(1);
  EXPECT_EQ(minus.compareTo(&plus), -1);
  GPersistableLong plusAgain(1);
  EXPECT_EQ(plus.compareTo(&plusAgain), 0);
  EXPECT_TRUE(plus.isEqual(&plusAgain));
  EXPECT_EQ(plus.hash(), plusAgain.hash());

  // Across the two classes the root's order decides, not the value.
  GPersistableULong uOne(1);
  EXPECT_EQ(plus.compareTo(&uOne), plus.MPersistentObject::compareTo(&uOne));
  EXPECT_FALSE(plus.isEqual(&uOne));
  EXPECT_FALSE(plus.matches(&uOne));
}

TEST(PersistableNumbers, ACopyHasAFreshIdentity) {
  GPersistableLong source(5);
  source.setId(9);
  std::unique_ptr<GPersistableLong> copy(source.copy());
  EXPECT_EQ(copy->id(), 0u);
  EXPECT_NE(copy->serialNumber(), source.serialNumber());
  EXPECT_EQ(copy->value(), 5);
  EXPECT_FALSE(copy->matches(&source));
  EXPECT_TRUE(copy->isEqual(&source));
  GPersistableULong zero(5);
  std::unique_ptr<GPersistableULong> zeroCopy(zero.copy());
  EXPECT_TRUE(zeroCopy->matches(&zero)) << "ids 0 on both sides";
}

TEST(BinaryData, Ownership) {
  unsigned char callers[3] = {1, 2, 3};
  {
    GBinaryData borrowed(callers, 3, 0);
    EXPECT_EQ(borrowed.data(), callers);
    borrowed.clear();  // owned 0: never freed (the sanitizer would see it)
    EXPECT_EQ(borrowed.length(), 0u);
  }

  GBinaryData owned(new unsigned char[3]{1, 2, 3}, 3, 1, 7);
  std::unique_ptr<GBinaryData> copy(owned.copy());
  EXPECT_EQ(copy->isOwner(), 0);
  EXPECT_NE(copy->data(), owned.data());
  EXPECT_EQ(copy->id(), 0u);
  EXPECT_EQ(std::memcmp(copy->data(), callers, 3), 0);

  void* bytes = owned.release();
  EXPECT_EQ(owned.data(), nullptr);
  EXPECT_EQ(owned.length(), 0u);
  EXPECT_EQ(owned.isOwner(), 0);
  delete[] static_cast<unsigned char*>(bytes);

  // setData frees owned bytes before it takes the new ones.
  owned.setData(new unsigned char[2]{9, 9}, 2, 1);
  owned.setData(callers, 3, 0);
  EXPECT_EQ(owned.data(), callers);

  GBinaryData emptyOne(nullptr, 0, 0, 4);
  std::unique_ptr<GBinaryData> emptyCopy(emptyOne.copy());
  EXPECT_EQ(emptyCopy->length(), 0u);
}

TEST(BinaryData, Matches) {
  unsigned char x[3] = {1, 2, 3}, y[3] = {1, 2, 3}, z[3] = {1, 2, 4};
  GBinaryData a(x, 3, 0, 5), b(y, 3, 0, 5), c(z, 3, 0, 5), d(y, 3, 0, 6);
  EXPECT_TRUE(a.matches(&b)) << "equal bytes at different addresses";
  EXPECT_FALSE(a.matches(&c));
  EXPECT_FALSE(b.matches(&d)) << "another id";
  GBinaryData e1(nullptr, 0, 0, 5), e2(nullptr, 0, 0, 5);
  EXPECT_TRUE(e1.matches(&e2));
}

unsigned char* failingAllocator(RWsize) { return nullptr; }

class BinaryStore : public StoreTest {
 protected:
  static std::string stored(uint32_t length, int32_t owned, const std::string& data, uint32_t serial = 40) {
    return le32(0x8888) + le16(4) + le32(1) + le32(6) + le32(serial) + le32(1) + le32(length) +
           le32(static_cast<uint32_t>(owned)) + data;
  }
};

TEST_F(BinaryStore, NumbersStoredBytes) {
  MPersistentObject::presetSerialCounter(50);
  GPersistableLong minusTwo(-2);              // 50
  GPersistableULong big(4000000000u);         // 51
  minusTwo.setId(3);
  const struct {
    const MPersistentObject* object;
    std::string bytes;
  } cases[] = {
      {&minusTwo, le32(0x8888) + le16(777) + le32(1) + le32(3) + le32(50) + le32(1) + le32(0xFFFFFFFE)},
      {&big, le32(0x8888) + le16(778) + le32(1) + le32(0) + le32(51) + le32(1) + le32(4000000000u)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.object->isA());
    const std::string written = storeFile(c.object);
    EXPECT_EQ(written, c.bytes);
    EXPECT_EQ(c.object->binaryStoreSize() + 6, written.size());
    std::unique_ptr<MPersistentObject> back(restoreFile<MPersistentObject>());
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(back->matches(c.object));
    EXPECT_EQ(back->serialNumber(), c.object->serialNumber());
  }
}

TEST_F(BinaryStore, StoredBytesAndTheOwnedFlag) {
  MPersistentObject::presetSerialCounter(40);
  GBinaryData block(new unsigned char[3]{0xAA, 0xBB, 0xCC}, 3, 0, 6);  // owned 0, yet the bytes are ours
  const std::string written = storeFile(&block);
  EXPECT_EQ(written, stored(3, 0, bytes({0xAA, 0xBB, 0xCC})));
  EXPECT_EQ(block.binaryStoreSize() + 6, written.size());
  delete[] static_cast<unsigned char*>(block.release());

  std::unique_ptr<GBinaryData> back(restoreFile<GBinaryData>());
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->isOwner(), 0) << "as stored";
  ASSERT_EQ(back->length(), 3u);
  EXPECT_EQ(static_cast<unsigned char*>(back->data())[2], 0xCC);

  putBytes(stored(0, 1, ""));
  back.reset(restoreFile<GBinaryData>());
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->isOwner(), 1);
  EXPECT_EQ(back->data(), nullptr);
}

// A composite holding the block and then a number, so that the number
// shows where reading went on after the block.
void checkSkipped(MPersistentComposite* back) {
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(back->entries(), 2u);
  GBinaryData* block = dynamic_cast<GBinaryData*>(back->children().pointee(0));
  GPersistableLong* number = dynamic_cast<GPersistableLong*>(back->children().pointee(1));
  ASSERT_NE(block, nullptr);
  ASSERT_NE(number, nullptr);
  EXPECT_EQ(block->length(), 0u);
  EXPECT_EQ(block->data(), nullptr);
  EXPECT_EQ(number->value(), 1234);
  delete back;
}

TEST_F(BinaryStore, AFailedAllocationSkipsTheBytes) {
  MPersistentComposite pair(0);
  pair.insert(new GBinaryData(new unsigned char[3]{1, 2, 3}, 3, 1, 6));
  pair.insert(new GPersistableLong(1234));
  storeFile(&pair);
  std::stringstream buffer;
  {
    RWbostream out(buffer);
    out << static_cast<const RWCollectable*>(&pair);
  }

  GBinaryData::Allocator old = GBinaryData::setAllocator(failingAllocator);
  checkSkipped(restoreFile<MPersistentComposite>());
  RWbistream in(buffer);
  MPersistentComposite* fromStream = nullptr;
  in >> fromStream;
  GBinaryData::setAllocator(old);
  checkSkipped(fromStream);
}

TEST_F(BinaryStore, AnOversizeLengthIsNotAllocated) {
  putBytes(stored(0x7FFFFFF0u, 1, bytes({1, 2, 3})));
  std::unique_ptr<GBinaryData> back(restoreFile<GBinaryData>());
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->length(), 0u);
  EXPECT_EQ(back->data(), nullptr);

  // A stream cannot tell what it holds: the bytes are read in pieces and
  // given up when it runs dry.
  std::istringstream in(":" + le16(4) + "{" + le32(1) + le32(6) + le32(40) + le32(1) + le32(4000000000u) +
                        le32(1) + bytes({7, 8}) + "}");
  RWbistream pin(in);
  GBinaryData* fromStream = nullptr;
  pin >> fromStream;
  ASSERT_NE(fromStream, nullptr);
  EXPECT_EQ(fromStream->length(), 0u);
  delete fromStream;
}

}  // namespace
