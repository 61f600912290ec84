// The printer's named values on the engine stand-in: the layout they are
// stored in, read back with the engine's own calls, and what the gets make
// of values other writers left behind.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/attrib.h"
#include "core/locale.h"
#include "core/valattr.h"
#include "host/engine/engine.h"
#include "kernel/osfactnt.h"
#include "kernel/prtdata.h"
#include "kernel/tests/printerfix.h"
#include "testkit/bytes.h"

namespace {

Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes B(std::initializer_list<unsigned> b) { return B(bytes(b)); }

constexpr DWORD kString = 1, kBinary = 3, kNumber = 4;

// One value as the engine holds it.
struct Raw {
  DWORD status = 0;
  DWORD type = 0;
  Bytes bytes;
};

Raw rawValue(HANDLE printer, std::u16string name) {
  Raw raw;
  DWORD size = 0;
  raw.status = EngGetPrinterData(printer, name.data(), &raw.type, nullptr, 0, &size);
  if (raw.status != 0 && raw.status != 234) return raw;
  raw.bytes.resize(size);
  raw.status = EngGetPrinterData(printer, name.data(), &raw.type, raw.bytes.data(), size, &size);
  return raw;
}

void setRaw(HANDLE printer, std::u16string name, DWORD type, Bytes bytes) {
  BYTE none = 0;
  ASSERT_EQ(EngSetPrinterData(printer, name.data(), type, bytes.empty() ? &none : bytes.data(),
                              static_cast<DWORD>(bytes.size())),
            0u);
}

std::u16string chunkName(const std::u16string& name, uint32_t index) {
  const std::string digits = std::to_string(index);
  return name + u":" + std::u16string(digits.begin(), digits.end());
}

Bytes pattern(size_t n) {
  Bytes out(n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(i * 7 + 3);
  return out;
}

class PrinterValues : public ::testing::Test {
 protected:
  void SetUp() override { eng::reset(); }
  void TearDown() override {
    EXPECT_EQ(eng::misuse(), std::vector<std::string>());
    eng::reset();
  }

  // The stored number under a name, as the engine holds it; 0 when none.
  uint32_t getNumberOf(std::u16string name) {
    Raw raw = rawValue(printer.handle, std::move(name));
    return raw.type == kNumber && raw.bytes.size() == 4 ? static_cast<uint32_t>(le32(raw.bytes, 0)) : 0;
  }

  StandInPrinter printer;
  GPrinterDataNT values{printer.handle};
};

TEST_F(PrinterValues, BinaryIsStoredAsACountAndChunksOfAtMost248Bytes) {
  struct Case {
    uint32_t size;
    std::vector<uint32_t> chunks;
  } cases[] = {
      {0, {0}},
      {1, {1}},
      {247, {247}},
      {248, {248, 0}},
      {249, {248, 1}},
      {600, {248, 248, 104}},
      // Chunk indexes of two digits.
      {11 * 248 + 5, {248, 248, 248, 248, 248, 248, 248, 248, 248, 248, 248, 5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    const std::string size = "v" + std::to_string(c.size);
    const std::u16string name(size.begin(), size.end());
    const Bytes data = pattern(c.size);
    ASSERT_EQ(values.putBinary(RWWString(name.c_str()), data.data(), c.size), 1);

    const uint32_t count = static_cast<uint32_t>(c.chunks.size());
    Raw stored = rawValue(printer.handle, name);
    EXPECT_EQ(stored.status, 0u);
    EXPECT_EQ(stored.type, kNumber);
    EXPECT_EQ(stored.bytes, B(le32(count)));
    Bytes joined;
    for (uint32_t i = 0; i < count; ++i) {
      const std::u16string chunk = chunkName(name, i);
      SCOPED_TRACE(std::string(chunk.begin(), chunk.end()));
      Raw raw = rawValue(printer.handle, chunk);
      EXPECT_EQ(raw.status, 0u);
      EXPECT_EQ(raw.type, kBinary);
      EXPECT_EQ(raw.bytes.size(), c.chunks[i]);
      joined.insert(joined.end(), raw.bytes.begin(), raw.bytes.end());
    }
    EXPECT_EQ(joined, data);
    EXPECT_EQ(rawValue(printer.handle, chunkName(name, count)).status, 2u);

    Bytes back(count * GPrinterDataNT::kChunkSize, 0xEE);
    uint32_t length = 0xDEAD;
    EXPECT_EQ(values.getBinary(RWWString(name.c_str()), back.data(), static_cast<uint32_t>(back.size()), length), 1);
    EXPECT_EQ(length, c.size);
    back.resize(length);
    EXPECT_EQ(back, data);
  }
}

TEST_F(PrinterValues, GetBinaryAnswersTheRoomAValueNeedsAndFailsWhenItIsShort) {
  const Bytes v248 = pattern(248), v600 = pattern(600);
  ASSERT_EQ(values.putBinary(u"v248", v248.data(), 248), 1);
  ASSERT_EQ(values.putBinary(u"v600", v600.data(), 600), 1);

  uint32_t length = 0;
  EXPECT_EQ(values.getBinary(u"v248", nullptr, 0, length), 1);
  EXPECT_EQ(length, 496u);
  length = 0;
  Bytes some(10);
  EXPECT_EQ(values.getBinary(u"v600", some.data(), 0, length), 1);  // no capacity: the size question too
  EXPECT_EQ(length, 744u);

  // The last chunk may be empty: 248 bytes fit a 248-byte buffer.
  Bytes back(248);
  EXPECT_EQ(values.getBinary(u"v248", back.data(), 248, length), 1);
  EXPECT_EQ(length, 248u);
  EXPECT_EQ(back, v248);

  back.assign(100, 0xEE);
  length = 0;
  EXPECT_EQ(values.getBinary(u"v600", back.data(), 100, length), 0);
  EXPECT_EQ(length, 744u);
  EXPECT_EQ(back, Bytes(100, 0xEE));

  length = 7;
  EXPECT_EQ(values.getBinary(u"never", nullptr, 0, length), 0);
  EXPECT_EQ(length, 7u);
}

// Values left by other writers: the read stops at the first chunk it cannot
// take, answers 0, leaves the size out alone and writes nothing past the
// room it was given.
TEST_F(PrinterValues, GetBinaryRefusesDamagedValuesWithoutOverrunningTheBuffer) {
  struct Case {
    const char* what;
    uint32_t count;
    std::vector<std::pair<DWORD, Bytes>> chunks;  // "d:0", "d:1" ...
    uint32_t capacity;
  } cases[] = {
      {"missing chunk", 2, {{kBinary, pattern(248)}}, 496},
      {"missing first chunk", 1, {}, 248},
      {"string chunk", 1, {{kString, pattern(10)}}, 248},
      {"number chunk", 2, {{kBinary, pattern(248)}, {kNumber, pattern(4)}}, 496},
      // Chunks larger than the layout makes: each goes only into the room
      // still left.
      {"first chunk larger than the buffer", 1, {{kBinary, pattern(300)}}, 248},
      {"second chunk larger than the room left", 2, {{kBinary, pattern(248)}, {kBinary, pattern(200)}}, 300},
  };
  constexpr size_t kGuard = 64;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    setRaw(printer.handle, u"d", kNumber, B(le32(c.count)));
    for (uint32_t i = 0; i < 4; ++i) {
      const std::u16string chunk = chunkName(u"d", i);
      if (i < c.chunks.size())
        setRaw(printer.handle, chunk, c.chunks[i].first, c.chunks[i].second);
      else
        setRaw(printer.handle, chunk, kString, {});  // no binary chunk there
    }
    Bytes buffer(c.capacity + kGuard, 0xEE);
    uint32_t length = 12345;
    EXPECT_EQ(values.getBinary(u"d", buffer.data(), c.capacity, length), 0);
    EXPECT_EQ(length, 12345u);
    EXPECT_EQ(Bytes(buffer.begin() + c.capacity, buffer.end()), Bytes(kGuard, 0xEE));
  }
}

// A stored count is anybody's: the room it asks for is reckoned in 64 bits,
// and a count whose room 32 bits cannot hold reads nothing. (17318418
// chunks wrap to 368 bytes in 32 bits, which would pass for a small value.)
TEST_F(PrinterValues, GetBinaryRefusesACountWhoseRoomDoesNotFit32Bits) {
  setRaw(printer.handle, u"h:0", kBinary, pattern(10));
  for (uint32_t count : {0x7FFFFFFFu, 17318417u, 17318418u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(count);
    setRaw(printer.handle, u"h", kNumber, B(le32(count)));
    uint32_t length = 12345;
    EXPECT_EQ(values.getBinary(u"h", nullptr, 0, length), 0);
    EXPECT_EQ(length, 12345u);
    Bytes buffer(1000, 0xEE);
    EXPECT_EQ(values.getBinary(u"h", buffer.data(), 1000, length), 0);
    EXPECT_EQ(length, 12345u);
    EXPECT_EQ(buffer, Bytes(1000, 0xEE));
  }
  // The largest count whose room 32 bits still hold. Callers size a block
  // by the answer, so the count stands only with its last chunk there.
  setRaw(printer.handle, u"h", kNumber, B(le32(17318416u)));
  uint32_t length = 12345;
  EXPECT_EQ(values.getBinary(u"h", nullptr, 0, length), 0);
  EXPECT_EQ(length, 12345u);
  setRaw(printer.handle, chunkName(u"h", 17318415u), kBinary, {});
  EXPECT_EQ(values.getBinary(u"h", nullptr, 0, length), 1);
  EXPECT_EQ(length, 4294967168u);
  // A count of 0 stores nothing.
  setRaw(printer.handle, u"h", kNumber, B(le32(0)));
  length = 12345;
  EXPECT_EQ(values.getBinary(u"h", nullptr, 0, length), 0);
  EXPECT_EQ(length, 12345u);
}

TEST_F(PrinterValues, NumbersAreFourBytesLittleEndian) {
  ASSERT_EQ(values.putNumber(u"n", 0x12345678u), 1);
  Raw raw = rawValue(printer.handle, u"n");
  EXPECT_EQ(raw.type, kNumber);
  EXPECT_EQ(raw.bytes, B({0x78, 0x56, 0x34, 0x12}));
  EXPECT_EQ(values.getNumber(u"n", 5), 0x12345678u);

  struct Case {
    const char* what;
    DWORD type;
    Bytes stored;
  } others[] = {
      {"two-byte number", kNumber, B({1, 2})},
      {"eight-byte number", kNumber, B(le32(1) + le32(2))},
      {"empty number", kNumber, {}},
      {"four-byte string", kString, B(le32(1))},
      {"four-byte binary", kBinary, B(le32(1))},
  };
  for (const Case& c : others) {
    SCOPED_TRACE(c.what);
    setRaw(printer.handle, u"m", c.type, c.stored);
    EXPECT_EQ(values.getNumber(u"m", 77), 77u);
  }
  EXPECT_EQ(values.getNumber(u"never", 78), 78u);
}

TEST_F(PrinterValues, StringsAreUtf16WithoutTerminator) {
  const RWWString text(u"Fa\u00e7ade \u4e2d");
  ASSERT_EQ(values.putString(u"s", text), 1);
  Raw raw = rawValue(printer.handle, u"s");
  EXPECT_EQ(raw.type, kString);
  EXPECT_EQ(raw.bytes, B({'F', 0, 'a', 0, 0xE7, 0, 'a', 0, 'd', 0, 'e', 0, ' ', 0, 0x2D, 0x4E}));
  RWWString out(u"old");
  EXPECT_TRUE(values.getString(out, u"s", u"default") == text);

  struct Case {
    const char* what;
    DWORD type;
    Bytes stored;
    const char16_t* expected;
  } others[] = {
      {"empty", kString, {}, u"default"},
      {"number", kNumber, B(le32(0x00410041)), u"default"},
      {"binary", kBinary, B({'A', 0}), u"default"},
      {"a NUL ends it", kString, B({'a', 0, 'b', 0, 0, 0, 'c', 0}), u"ab"},
      {"NUL first", kString, B({0, 0, 'c', 0}), u""},
      {"odd byte dropped", kString, B({'x', 0, 'y'}), u"x"},
  };
  for (const Case& c : others) {
    SCOPED_TRACE(c.what);
    setRaw(printer.handle, u"t", c.type, c.stored);
    EXPECT_TRUE(values.getString(out, u"t", u"default") == RWWString(c.expected));
  }
  EXPECT_TRUE(values.getString(out, u"never", u"default") == RWWString(u"default"));
  // An empty string is stored, and reads back as the default.
  ASSERT_EQ(values.putString(u"e", RWWString()), 1);
  EXPECT_EQ(rawValue(printer.handle, u"e").type, kString);
  EXPECT_TRUE(values.getString(out, u"e", u"default") == RWWString(u"default"));
}

// Every put answers 0 and every get its default, whatever is stored.
void expectNothingKept(GPrinterDataNT& values) {
  const Bytes data = pattern(300);
  EXPECT_EQ(values.putNumber(u"n", 1), 0);
  EXPECT_EQ(values.putString(u"s", u"x"), 0);
  EXPECT_EQ(values.putBinary(u"b", data.data(), 300), 0);
  EXPECT_EQ(values.getNumber(u"n", 9), 9u);
  RWWString out;
  EXPECT_TRUE(values.getString(out, u"s", u"d") == RWWString(u"d"));
  uint32_t length = 5;
  EXPECT_EQ(values.getBinary(u"b", nullptr, 0, length), 0);
  EXPECT_EQ(length, 5u);
}

TEST_F(PrinterValues, AFailingEngineStoresNothingAndGetsAnswerDefaults) {
  const Bytes data = pattern(300);
  ASSERT_EQ(values.putNumber(u"n", 2), 1);
  ASSERT_EQ(values.putString(u"s", u"y"), 1);
  ASSERT_EQ(values.putBinary(u"b", data.data(), 300), 1);
  eng::knobs().failData = true;
  expectNothingKept(values);
}

TEST_F(PrinterValues, ValuesOutliveThePrinterHandle) {
  const Bytes data = pattern(500);
  ASSERT_EQ(values.putBinary(u"kept", data.data(), 500), 1);
  ASSERT_EQ(values.putString(u"name", u"abc"), 1);

  eng::PrinterSetup setup;
  setup.printerName = u"Again";
  setup.valuesFile = printer.valuesFile;
  HANDLE again = eng::addPrinter(setup);
  GPrinterDataNT reopened(again);
  Bytes back(744);
  uint32_t length = 0;
  EXPECT_EQ(reopened.getBinary(u"kept", back.data(), 744, length), 1);
  back.resize(length);
  EXPECT_EQ(back, data);
  RWWString out;
  EXPECT_TRUE(reopened.getString(out, u"name", u"") == RWWString(u"abc"));
  eng::removePrinter(again);
}

TEST(PrinterOwner, OnlyAnOwnerLeadsToItsPrinter) {
  StandInPrinter printer;
  TestOwner owner(printer);
  NotAnOwner other;
  GDriverInstance* instance = &owner;
  ASSERT_EQ(GPrinterOwnerNT::of(instance), static_cast<GPrinterOwnerNT*>(&owner));
  EXPECT_EQ(GPrinterOwnerNT::of(instance)->printerHandle(), printer.handle);
  EXPECT_EQ(GPrinterOwnerNT::of(&other), nullptr);
  EXPECT_EQ(GPrinterOwnerNT::of(nullptr), nullptr);
}

// Without a printer nothing reaches the engine.
TEST(PrinterOwner, NoPrinterStoresNothingAndGetsAnswerDefaults) {
  eng::reset();
  GPrinterDataNT none(nullptr);
  expectNothingKept(none);
  EXPECT_EQ(eng::misuse(), std::vector<std::string>());
}

// The factory's value slots on an owner's printer, and on instances that
// have none.
class FactoryValues : public PrinterValues {
 protected:
  void SetUp() override {
    PrinterValues::SetUp();
    installed = gInstallPlatformNT(0x20000);
    ASSERT_NE(installed, nullptr);
  }
  void TearDown() override {
    gRemovePlatformNT();
    PrinterValues::TearDown();
  }

  GOSFactory* factory() const { return installed; }

  GOSFactoryNT* installed = nullptr;
  TestOwner owner{printer};
};

TEST_F(FactoryValues, InstancesWithoutAPrinterStoreNothingAndGetDefaults) {
  TestOwner noPrinter;
  NotAnOwner notAnOwner;
  const Bytes data = pattern(10);
  GLocaleInfo locale;
  for (GDriverInstance* instance : {static_cast<GDriverInstance*>(&noPrinter),
                                    static_cast<GDriverInstance*>(&notAnOwner), static_cast<GDriverInstance*>(nullptr)}) {
    SCOPED_TRACE(instance == &noPrinter ? "owner without a printer" : instance ? "no owner" : "null");
    EXPECT_EQ(factory()->putULong(instance, u"n", 1), 0);
    EXPECT_EQ(factory()->putString(instance, u"s", u"x"), 0);
    EXPECT_EQ(factory()->putBinary(instance, u"b", data.data(), 10), 0);
    EXPECT_EQ(factory()->putObject(instance, u"o", &locale), 0);
    EXPECT_EQ(factory()->getULong(instance, u"n", 9), 9u);
    RWWString out;
    EXPECT_TRUE(factory()->getString(out, instance, u"s", u"d") == RWWString(u"d"));
    uint32_t length = 5;
    EXPECT_EQ(factory()->getBinary(instance, u"b", nullptr, 0, length), 0);
    EXPECT_EQ(length, 5u);
    EXPECT_EQ(factory()->getObject(instance, u"o"), nullptr);
  }
  // Nothing reached the printer the owner leads to either.
  EXPECT_EQ(rawValue(printer.handle, u"n").status, 2u);
  EXPECT_EQ(rawValue(printer.handle, u"b").status, 2u);
}

TEST_F(FactoryValues, AnOwnersValuesGoToItsPrinter) {
  EXPECT_EQ(factory()->putULong(&owner, u"n", 0xCAFE), 1);
  EXPECT_EQ(getNumberOf(u"n"), 0xCAFEu);
  EXPECT_EQ(factory()->getULong(&owner, u"n", 0), 0xCAFEu);
  EXPECT_EQ(factory()->putString(&owner, u"s", u"text"), 1);
  RWWString out;
  EXPECT_TRUE(factory()->getString(out, &owner, u"s", u"") == RWWString(u"text"));
  const Bytes data = pattern(300);
  EXPECT_EQ(factory()->putBinary(&owner, u"b", data.data(), 300), 1);
  EXPECT_EQ(rawValue(printer.handle, u"b:1").bytes.size(), 52u);
  Bytes back(496);
  uint32_t length = 0;
  EXPECT_EQ(factory()->getBinary(&owner, u"b", back.data(), 496, length), 1);
  back.resize(length);
  EXPECT_EQ(back, data);
}

// A settings tree through the base's object slots, which store its portable
// form as a binary value: long enough to take several chunks.
TEST_F(FactoryValues, ASettingsTreeRoundTripsThroughTheObjectSlots) {
  auto tree = std::make_unique<GAttributeComposite>(7);
  tree->insert(new GValueAttribute(-7, 1));
  tree->insert(new GValue32Attribute(0x89ABCDEF, 2));
  tree->insert(new GRangeAttribute(-5, 500, 5, 100, 3));
  tree->insert(new GStringAttribute(RWCString(std::string(400, 'x').c_str()), 4));
  GAttributeComposite* group = new GAttributeComposite(8);
  group->insert(new GStringAttribute("Letter", 9));
  tree->insert(group);

  ASSERT_EQ(factory()->putObject(&owner, u"Settings", tree.get()), 1);
  EXPECT_GE(getNumberOf(u"Settings"), 3u);
  std::unique_ptr<MPersistentObject> back(factory()->getObject(&owner, u"Settings"));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->isA(), GAttributeComposite::classIsA());
  EXPECT_TRUE(back->matches(tree.get()));

  // A value whose chunks do not restore gives no object.
  setRaw(printer.handle, u"Settings:0", kBinary, B({1, 2, 3}));
  setRaw(printer.handle, u"Settings:1", kBinary, {});
  setRaw(printer.handle, u"Settings", kNumber, B(le32(2)));
  EXPECT_EQ(factory()->getObject(&owner, u"Settings"), nullptr);
}

}  // namespace
