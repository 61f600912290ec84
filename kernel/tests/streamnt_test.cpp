// The kernel stream holders, asked of the platform's stream slots: a small
// object through memory in each format and through a file the engine maps,
// and the holders that make no stream.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "core/classids.h"
#include "core/valattr.h"
#include "host/engine/engine.h"
#include "kernel/osfactnt.h"
#include "kernel/streamnt.h"
#include "rw/collect.h"
#include "rw/vstream.h"
#include "testkit/bytes.h"
#include "testkit/files.h"
#include "testkit/tmpdir.h"

namespace {

RWWString wide(const std::string& ascii) {
  std::u16string units(ascii.begin(), ascii.end());
  return RWWString(units.c_str());
}

// A 32-bit value attribute: its value and the attribute's changed flag
// (an int field) would each take 8 bytes if a 64-bit long reached the
// binary form.
class StreamHolders : public ::testing::Test {
 protected:
  void SetUp() override {
    MPersistentObject::presetSerialCounter(40);
    object = std::make_unique<GValue32Attribute>(0x89ABCDEF, 0x01234567);
  }

  // The binary form of the object, written out by hand: the object mark,
  // the class, and between braces each level's version and fields.
  static std::string binaryForm() {
    return bytes({':'}) + le16(ClassId::GValue32Attribute) + bytes({'{'}) +  //
           le32(1) + le32(0x01234567) + le32(40) +                            // persistent object
           le32(1) + le32(1) +                                                 // attribute: changed
           le32(1) + le32(0x89ABCDEF) +                                        // the value
           bytes({'}'});
  }

  static void expectSame(RWCollectable* back) {
    std::unique_ptr<RWCollectable> owned(back);
    auto* value = dynamic_cast<GValue32Attribute*>(back);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->value(), 0x89ABCDEFu);
    EXPECT_EQ(value->id(), 0x01234567u);
    EXPECT_EQ(value->serialNumber(), 40u);
  }

  std::unique_ptr<GValue32Attribute> object;
  GOSFactoryNT factory;
  GOSFactory& platform = factory;
};

TEST_F(StreamHolders, MemoryRoundTripInEachFormat) {
  for (int32_t format : {kPortableStream, kBinaryStream, kEndianStream}) {
    SCOPED_TRACE(format);
    char block[256] = {};
    uint32_t written = 0;
    {
      std::unique_ptr<GOutputStream> out(platform.createOutputStream(block, sizeof block, format));
      ASSERT_NE(dynamic_cast<GOutputStreamNT*>(out.get()), nullptr);
      ASSERT_NE(out->stream(), nullptr);
      *out->stream() << static_cast<const RWCollectable*>(object.get());
      EXPECT_TRUE(out->stream()->good());
      written = out->position();
    }
    const std::string stored(block, written);
    if (format == kBinaryStream) {
      EXPECT_EQ(stored, binaryForm());
    }
    // The endian form is the binary form in the host's order, after the
    // header that names that order and the writer's sizes.
    if (format == kEndianStream) {
      ASSERT_GE(stored.size(), binaryForm().size());
      EXPECT_EQ(stored.substr(stored.size() - binaryForm().size()), binaryForm());
    }

    std::unique_ptr<GInputStream> in(platform.createInputStream(block, written, format));
    ASSERT_NE(dynamic_cast<GInputStreamNT*>(in.get()), nullptr);
    ASSERT_NE(in->stream(), nullptr);
    RWCollectable* back = nullptr;
    *in->stream() >> back;
    expectSame(back);
    EXPECT_EQ(in->position(), written) << "read in place, to the end of the object";
  }
}

TEST_F(StreamHolders, FileRoundTripThroughTheMappedModule) {
  TempDir dir;
  const std::string name = dir.file("object.bin");
  // A longer file of that name is emptied first.
  putFile(name, std::string(300, 'x'));
  {
    std::unique_ptr<GOutputStream> out(platform.createOutputStream(wide(name), kBinaryStream));
    ASSERT_NE(out->stream(), nullptr);
    *out->stream() << static_cast<const RWCollectable*>(object.get());
    EXPECT_EQ(out->position(), binaryForm().size());
  }
  EXPECT_EQ(fileContents(name), binaryForm());

  const long modules = eng::live().modules;
  {
    std::unique_ptr<GInputStream> in(platform.createInputStream(wide(name), kBinaryStream));
    ASSERT_NE(in->stream(), nullptr);
    EXPECT_EQ(eng::live().modules, modules + 1) << "the file stays mapped while the holder reads it";
    RWCollectable* back = nullptr;
    *in->stream() >> back;
    expectSame(back);
    EXPECT_EQ(in->position(), binaryForm().size());
  }
  EXPECT_EQ(eng::live().modules, modules) << "the module goes with the holder";

  // An empty file is a stream with nothing in it.
  putFile(name, std::string());
  {
    std::unique_ptr<GInputStream> in(platform.createInputStream(wide(name), kBinaryStream));
    ASSERT_NE(in->stream(), nullptr);
    RWCollectable* back = nullptr;
    *in->stream() >> back;
    EXPECT_EQ(back, nullptr);
    EXPECT_FALSE(in->stream()->good());
  }
  EXPECT_EQ(eng::live().modules, modules);
}

TEST_F(StreamHolders, NoStreamForAMissingFileOrAnUnknownFormat) {
  TempDir dir;
  const std::string present = dir.file("present.bin");
  putFile(present, binaryForm());
  const long modules = eng::live().modules;
  char block[16] = {};

  std::unique_ptr<GInputStream> inputs[] = {
      std::unique_ptr<GInputStream>(platform.createInputStream(wide(dir.file("missing.bin")), kBinaryStream)),
      std::unique_ptr<GInputStream>(platform.createInputStream(wide(present), 3)),
      std::unique_ptr<GInputStream>(platform.createInputStream(block, sizeof block, 3)),
      std::unique_ptr<GInputStream>(platform.createInputStream(RWWString(), kBinaryStream)),
  };
  for (auto& in : inputs) {
    ASSERT_NE(in, nullptr) << "the holder exists without its stream";
    EXPECT_EQ(in->stream(), nullptr);
    EXPECT_EQ(in->position(), uint32_t(-1));
  }
  EXPECT_EQ(eng::live().modules, modules) << "nothing mapped for a holder without a stream";

  std::unique_ptr<GOutputStream> outputs[] = {
      std::unique_ptr<GOutputStream>(platform.createOutputStream(wide(dir.file("odd.bin")), 3)),
      std::unique_ptr<GOutputStream>(platform.createOutputStream(block, sizeof block, -1)),
      std::unique_ptr<GOutputStream>(platform.createOutputStream(wide(dir.path() + "\\no\\such.bin"), kBinaryStream)),
  };
  for (auto& out : outputs) {
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->stream(), nullptr);
    EXPECT_EQ(out->position(), uint32_t(-1));
  }
  EXPECT_FALSE(fileExists(dir.file("odd.bin"))) << "no stream, no file";
}

TEST_F(StreamHolders, MemoryOutputFailsAtItsEndWithoutWritingPastIt) {
  char block[64];
  std::memset(block, 0x5A, sizeof block);
  const uint32_t room = 20;  // less than the object's binary form
  ASSERT_LT(room, binaryForm().size());
  {
    std::unique_ptr<GOutputStream> out(platform.createOutputStream(block, room, kBinaryStream));
    ASSERT_NE(out->stream(), nullptr);
    *out->stream() << static_cast<const RWCollectable*>(object.get());
    EXPECT_FALSE(out->stream()->good());
    EXPECT_LE(out->position(), room);
  }
  EXPECT_EQ(std::string(block, room), binaryForm().substr(0, room)) << "filled up to its end";
  EXPECT_EQ(std::string(block + room, sizeof block - room), std::string(sizeof block - room, 0x5A));
}

}  // namespace
