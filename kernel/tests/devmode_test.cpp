// The DEVMODE objects: the defaults at every offset, the printer's default,
// the copies out and in, the settings tree carried packed in the private
// part, validation and the collate check, and foreign DEVMODEs that are
// hostile in every part the driver reads.

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/attrib.h"
#include "core/osfactry.h"
#include "core/valattr.h"
#include "graphics/lzw.h"
#include "kernel/devmode.h"
#include "kernel/tests/settingsfix.h"
#include "rw/vstream.h"

namespace {

using Bytes = std::vector<uint8_t>;

void put16(Bytes& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

uint16_t get16(const uint8_t* b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }

void putWide(Bytes& b, size_t at, const std::u16string& text) {
  for (size_t i = 0; i < text.size(); ++i) put16(b, at + 2 * i, text[i]);
}

Bytes copyOut(GDevMode& devmode) {
  Bytes out(DevModeLayout::kTotalSize, 0);
  EXPECT_EQ(devmode.copyTo(out.data()), 1);
  return out;
}

Bytes bufferOf(GDevMode& devmode) { return Bytes(devmode.bytes(), devmode.bytes() + DevModeLayout::kTotalSize); }

// A block whose last byte sits right before a page that cannot be read, so
// that any read past the block faults whatever the build.
class GuardedBlock {
 public:
  explicit GuardedBlock(const Bytes& content) : size_(content.size()) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const size_t dataPages = (size_ + page - 1) / page;
    length_ = (dataPages + 1) * page;
    base_ = static_cast<uint8_t*>(mmap(nullptr, length_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    EXPECT_NE(base_, MAP_FAILED);
    EXPECT_EQ(mprotect(base_ + dataPages * page, page, PROT_NONE), 0);
    data_ = base_ + dataPages * page - size_;
    std::memcpy(data_, content.data(), size_);
  }
  ~GuardedBlock() { munmap(base_, length_); }
  GuardedBlock(const GuardedBlock&) = delete;
  GuardedBlock& operator=(const GuardedBlock&) = delete;
  const uint8_t* data() const { return data_; }

 private:
  size_t size_;
  size_t length_;
  uint8_t* base_;
  uint8_t* data_;
};

// zlib through the framework's wrapper.
std::string deflated(const std::string& raw) {
  std::istringstream in(raw);
  std::ostringstream out;
  EXPECT_EQ(zlibCompressStream(in, out), 1);
  return out.str();
}

// An object in the binary store form the private part carries.
std::string storedBinary(const RWCollectable* object) {
  std::vector<uint8_t> block(4096);
  std::unique_ptr<GOutputStream> holder(
      GOSFactory::instance()->createOutputStream(block.data(), static_cast<uint32_t>(block.size()), kBinaryStream));
  RWvostream* s = holder->stream();
  *s << object;
  s->flush();
  EXPECT_TRUE(s->good());
  return std::string(block.begin(), block.begin() + holder->position());
}

// Incompressible text, to make trees that do not pack into 902 bytes.
std::string noise(size_t n, unsigned seed) {
  std::mt19937 random(seed);
  std::string text(n, ' ');
  for (char& c : text) c = static_cast<char>('!' + random() % 90);
  return text;
}

class DevModeTest : public ::testing::Test {
 protected:
  // The printer's settings with a collation choice and an orientation, two
  // fields that travel in the public part too.
  std::unique_ptr<GAttributeComposite> settings(int16_t collate = 1, int16_t angle = 0) {
    std::unique_ptr<GAttributeComposite> tree(device.createSettings());
    auto* job = tree ? dynamic_cast<GAttributeComposite*>(tree->findById(364)) : nullptr;
    auto* orientation = tree ? dynamic_cast<GValueAttribute*>(tree->findById(265)) : nullptr;
    EXPECT_TRUE(job && orientation);
    if (job) job->insert(new GValueAttribute(collate, 292));
    if (orientation) orientation->setValue(angle);
    return tree;
  }

  KernelPlatform platform;
  StandInPrinter printer{{userForm(u"Card", 100000, 150000)}};
  SettingsDevice device{printer};
};

// ---------------------------------------------------------------- defaults

TEST_F(DevModeTest, DefaultsAtEveryOffset) {
  const std::u16string longName = u"A printer whose name runs to forty chars";
  ASSERT_EQ(longName.size(), 40u);
  device.setDeviceName(RWWString(longName.c_str()));
  GPrinterDevModeNT devmode(&device, nullptr);

  Bytes expected(1172, 0);
  putWide(expected, 0, longName.substr(0, 31));  // unit 31 stays 0
  put16(expected, 64, 0x0401);
  put16(expected, 66, 0x0018);
  put16(expected, 68, 220);
  put16(expected, 70, 952);
  // Form name, colour, duplex, media type and dither type.
  put32(expected, 72, 0x10000 | 0x800 | 0x1000 | 0x02000000 | 0x04000000);
  put16(expected, 78, 1);
  put16(expected, 84, 100);
  put16(expected, 92, 2);
  put16(expected, 94, 1);
  putWide(expected, 102, u"Letter");
  put32(expected, 188, 1);  // media choice 0
  put32(expected, 192, 2);  // dither choice 0
  put16(expected, 220, 1172);
  put16(expected, 222, 46);
  for (size_t i = 0; i < 31; ++i) expected[224 + i] = static_cast<uint8_t>(longName[i]);
  put16(expected, 262, 4);
  put16(expected, 264, 50);
  put16(expected, 268, 902);

  const Bytes actual = bufferOf(devmode);
  for (size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(actual[i], expected[i]) << "offset " << i;
  EXPECT_EQ(devmode.takenFromPrinter(), 0);
  EXPECT_EQ(devmode.deviceName(), RWWString(longName.substr(0, 31).c_str()));
  EXPECT_EQ(devmode.printerName8(), RWWString(longName.substr(0, 31).c_str()));
}

TEST_F(DevModeTest, DefaultColourAndCodesFollowThePrinter) {
  struct Case {
    const char* name;
    bool greyscale;
    bool mediaCodes;
    uint32_t flags;
    int16_t color;
    bool colorBit;
    bool codeBits;
  };
  // A printer that offers greyscale prints grey unless it says it is
  // colour (capability 1); flag 0x80 turns colour off on a capability of 0
  // or 2 but keeps the bit.
  const Case cases[] = {
      {"colour printer", false, true, 0, 2, true, true},
      {"greyscale offered", true, true, 0, 1, false, true},
      {"no media codes", false, false, 0, 2, true, false},
      {"colour adjusted", false, true, 0x80, 1, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PrinterModel model = settingsModel();
    model.greyscaleChoice = c.greyscale;
    model.mediaCodes = c.mediaCodes;
    SettingsDevice other(printer, model);
    other.setFlags(c.flags);
    GPrinterDevModeNT devmode(&other, nullptr);
    const GDevModeView v = devmode.view();
    EXPECT_EQ(v.s16(DevModeLayout::kColor), c.color);
    EXPECT_EQ((v.fields() & DevModeLayout::kFieldColor) != 0, c.colorBit);
    EXPECT_EQ((v.fields() & DevModeLayout::kFieldMediaType) != 0, c.codeBits);
    EXPECT_EQ((v.fields() & DevModeLayout::kFieldDitherType) != 0, c.codeBits);
    EXPECT_EQ(v.u32(DevModeLayout::kMediaType), c.codeBits ? 1u : 0u);
  }
}

TEST_F(DevModeTest, SetDeviceRewritesBothNamesOnlyWhenTheyDiffer) {
  GPrinterDevModeNT devmode(&device, nullptr);
  device.setDeviceName(u"Other");
  devmode.setDevice(&device);
  EXPECT_EQ(devmode.deviceName(), RWWString(u"Other"));
  EXPECT_EQ(devmode.printerName8(), RWWString(u"Other"));
  const Bytes before = bufferOf(devmode);
  devmode.setDevice(&device);
  EXPECT_EQ(bufferOf(devmode), before);
}

// ---------------------------------------------------------------- the printer's default

TEST_F(DevModeTest, PrinterDefaultIsTakenWholeOnlyWhenItIsTheDriversOwn) {
  GPrinterDevModeNT model(&device, nullptr);
  const Bytes defaults = copyOut(model);
  Bytes own = defaults;
  put16(own, 86, 7);  // copies, to tell it from the defaults

  struct Case {
    const char* name;
    std::function<void(Bytes&)> damage;
    bool taken;
  };
  const Case cases[] = {
      {"own format", [](Bytes&) {}, true},
      {"mark B 51", [](Bytes& b) { put16(b, 264, 51); }, false},
      {"mark A 5", [](Bytes& b) { put16(b, 262, 5); }, false},
      {"dmSize 219", [](Bytes& b) { put16(b, 68, 219); }, false},
      {"driver extra 951", [](Bytes& b) { put16(b, 70, 951); }, false},
      {"spec version 0x0400", [](Bytes& b) { put16(b, 64, 0x0400); }, false},
      {"driver version 0x0017", [](Bytes& b) { put16(b, 66, 0x17); }, false},
      {"short record", [](Bytes& b) { b.resize(600); }, false},
      {"header only", [](Bytes& b) { b.resize(40); }, false},
      {"no DEVMODE", [](Bytes& b) { b.clear(); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes record = own;
    c.damage(record);
    StandInPrinter withDefault({}, record);
    GPrinterDevModeNT devmode(&device, withDefault.handle);
    EXPECT_EQ(devmode.takenFromPrinter(), c.taken ? 1 : 0);
    EXPECT_EQ(bufferOf(devmode), c.taken ? own : defaults);
  }

  StandInPrinter failing({}, own);
  eng::knobs().failRecord = true;
  GPrinterDevModeNT devmode(&device, failing.handle);
  eng::knobs().failRecord = false;
  EXPECT_EQ(devmode.takenFromPrinter(), 0);
  EXPECT_EQ(bufferOf(devmode), defaults);
}

// ---------------------------------------------------------------- copies out

TEST_F(DevModeTest, CopyToWritesTheWholeDevModeOrOnlyThePublicPart) {
  GPrinterDevModeNT devmode(&device, nullptr);
  EXPECT_EQ(devmode.copyTo(nullptr), 0);
  EXPECT_EQ(copyOut(devmode), bufferOf(devmode));

  for (uint32_t flag : {0x100u, 0x40000u}) {
    SCOPED_TRACE(flag);
    device.setFlags(flag);
    Bytes out(1172, 0xAA);
    ASSERT_EQ(devmode.copyTo(out.data()), 1);
    EXPECT_EQ(get16(out.data(), 68), 220);
    EXPECT_EQ(get16(out.data(), 70), 0);
    EXPECT_TRUE(std::equal(out.begin() + 72, out.begin() + 220, devmode.bytes() + 72));
    EXPECT_EQ(Bytes(out.begin() + 220, out.end()), Bytes(952, 0xAA)) << "nothing past the public part";
    EXPECT_EQ(get16(devmode.bytes(), 70), 952) << "the object keeps its own";
  }
}

TEST_F(DevModeTest, AssignCopiesTheWholeDevModeAndOwnFormatIsRecognised) {
  GPrinterDevModeNT from(&device, nullptr);
  from.setPrintQualityRaw(-2);
  std::unique_ptr<GAttributeComposite> tree = settings();
  ASSERT_EQ(from.storeSettings(tree.get()), 1);
  GPrinterDevModeNT to(&device, nullptr);
  EXPECT_EQ(to.assign(from), 1);
  EXPECT_EQ(bufferOf(to), bufferOf(from));

  const Bytes own = copyOut(from);
  EXPECT_EQ(to.isOwnFormat(GDevModeView(own.data(), own.size())), 1);
  EXPECT_EQ(to.isOwnFormat(GDevModeView(nullptr, 0)), 0);
  for (size_t offset : {64u, 66u, 68u, 70u, 220u, 222u, 262u, 264u, 268u}) {
    SCOPED_TRACE(offset);
    Bytes other = own;
    put16(other, offset, static_cast<uint16_t>(get16(other.data(), offset) + 1));
    EXPECT_EQ(to.isOwnFormat(GDevModeView(other.data(), other.size())), 0);
  }
  // The header alone, though it announces the driver's sizes.
  const GuardedBlock header(Bytes(own.begin(), own.begin() + 72));
  EXPECT_EQ(to.isOwnFormat(GDevModeView(header.data(), 72)), 0);
}

TEST_F(DevModeTest, PrintQualityCodesResolveThroughTheResolutionEntries) {
  // Resolution entries 600 and 300 dpi, with quality codes -4 and -3 or
  // without them (-4 to -1 then pick the entries in order, the last one
  // repeated).
  struct Case {
    bool codes;
    int16_t quality;
    int16_t stored;
  };
  const Case cases[] = {
      {true, -4, 600}, {true, -3, 300}, {true, -1, -1},  {true, 300, 300},
      {false, -4, 600}, {false, -3, 300}, {false, -1, 300}, {false, -5, -5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "codes " << c.codes << " quality " << c.quality);
    PrinterModel model = settingsModel();
    model.qualityCodes = c.codes;
    SettingsDevice other(printer, model);
    GPrinterDevModeNT devmode(&other, nullptr);
    devmode.setPrintQualityRaw(c.quality);
    EXPECT_EQ(devmode.resolvedPrintQuality(), c.stored);
    EXPECT_EQ(devmode.printQuality(), c.quality);
    devmode.setPrintQuality(c.quality);
    EXPECT_EQ(devmode.printQuality(), c.stored);
  }
}

// ---------------------------------------------------------------- the packed tree

TEST_F(DevModeTest, StoredTreeRestoresEqualAndATreeThatDoesNotFitKeepsTheOldOne) {
  GPrinterDevModeNT devmode(&device, nullptr);
  EXPECT_EQ(devmode.restoreSettings(), nullptr) << "nothing packed yet";

  std::unique_ptr<GAttributeComposite> tree = settings();
  ASSERT_TRUE(tree);
  ASSERT_EQ(devmode.storeSettings(tree.get()), 1);
  const uint16_t length = get16(devmode.bytes(), 266);
  EXPECT_GT(length, 0);
  EXPECT_LE(length, 902);
  std::unique_ptr<GAttributeComposite> back(devmode.restoreSettings());
  ASSERT_TRUE(back);
  EXPECT_TRUE(back->matches(tree.get()));

  // Too big for 902 bytes once compressed, and too big for the 4096-byte
  // store: neither touches the packed area.
  for (size_t size : {1500u, 5000u}) {
    SCOPED_TRACE(size);
    std::unique_ptr<GAttributeComposite> big = settings();
    big->insert(new GStringAttribute(noise(size, 7).c_str(), 4711));
    const Bytes before(devmode.bytes() + 266, devmode.bytes() + 1172);
    EXPECT_EQ(devmode.storeSettings(big.get()), 0);
    EXPECT_EQ(Bytes(devmode.bytes() + 266, devmode.bytes() + 1172), before);
    std::unique_ptr<GAttributeComposite> old(devmode.restoreSettings());
    ASSERT_TRUE(old);
    EXPECT_TRUE(old->matches(tree.get()));
  }
}

TEST_F(DevModeTest, TreeTravelsThroughACopyIntoAnotherObject) {
  GPrinterDevModeNT source(&device, nullptr);
  std::unique_ptr<GAttributeComposite> tree = settings(1, 90);
  ASSERT_EQ(source.storeSettings(tree.get()), 1);
  const Bytes copy = copyOut(source);

  // The other object has settings of its own, as a device's has.
  GPrinterDevModeNT target(&device, nullptr);
  std::unique_ptr<GAttributeComposite> its = settings(0, 0);
  ASSERT_EQ(target.storeSettings(its.get()), 1);
  EXPECT_EQ(target.takeFrom(nullptr), 0);
  ASSERT_EQ(target.takeFrom(copy.data()), 1);
  EXPECT_EQ(Bytes(target.bytes() + 266, target.bytes() + 1172), Bytes(copy.begin() + 266, copy.end()));
  std::unique_ptr<GAttributeComposite> back(target.restoreSettings());
  ASSERT_TRUE(back);
  EXPECT_TRUE(back->matches(tree.get()));
}

// ---------------------------------------------------------------- hostile DEVMODEs

TEST_F(DevModeTest, HostileDevModesGiveADefinedResultWithoutReadingPastTheirBlock) {
  // The object every row is given to already carries a tree; the DEVMODE
  // rows are built from a good copy of another's.
  std::unique_ptr<GAttributeComposite> tree = settings();
  GPrinterDevModeNT good(&device, nullptr);
  ASSERT_EQ(good.storeSettings(tree.get()), 1);
  const Bytes own = copyOut(good);

  // A DEVMODE of exactly max(72, dmSize + dmDriverExtra) bytes.
  auto sized = [&](uint16_t size, uint16_t extra) {
    Bytes b = own;
    b.resize(std::max<size_t>(72, size_t{size} + extra), 0);
    put16(b, 68, size);
    put16(b, 70, extra);
    return b;
  };
  auto packed = [&](const std::string& payload) {
    Bytes b = own;
    EXPECT_LE(payload.size(), 902u);
    std::fill(b.begin() + 270, b.end(), 0);
    std::copy(payload.begin(), payload.end(), b.begin() + 270);
    put16(b, 266, static_cast<uint16_t>(payload.size()));
    return b;
  };
  std::string cut = storedBinary(tree.get());
  cut.resize(cut.size() / 2);
  const GValueAttribute notATree(1, 360);

  struct Row {
    const char* name;
    Bytes devmode;
    bool taken;     // the private part was taken
    bool restores;  // a tree comes back afterwards
  };
  const Row rows[] = {
      {"dmSize 0", sized(0, 0), false, true},
      {"dmSize 63", sized(63, 0), false, true},
      {"dmSize 64", sized(64, 0), false, true},
      {"dmSize 75", sized(75, 0), false, true},
      {"dmSize 76", sized(76, 0), false, true},
      {"dmSize 219", sized(219, 0), false, true},
      {"dmSize 220, no private part", sized(220, 0), false, true},
      {"dmSize 219 with the private part", sized(219, 953), false, true},
      {"dmSize 0xFFFF", sized(0xFFFF, 0), false, true},
      {"driver extra 0xFFFF", sized(220, 0xFFFF), false, true},
      {"packed length 903",
       [&] {
         Bytes b = own;
         put16(b, 266, 903);
         return b;
       }(),
       false, true},
      {"packed length 0xFFFF",
       [&] {
         Bytes b = own;
         put16(b, 266, 0xFFFF);
         return b;
       }(),
       false, true},
      {"packed capacity 903",
       [&] {
         Bytes b = own;
         put16(b, 268, 903);
         return b;
       }(),
       false, true},
      {"unterminated printer name",
       [&] {
         Bytes b = own;
         std::fill(b.begin() + 224, b.begin() + 256, 'P');
         return b;
       }(),
       false, true},
      {"random packed bytes", packed(noise(500, 3)), true, false},
      {"bomb past 4096", packed(deflated(std::string(5000, '\0'))), true, false},
      {"bomb past 16000", packed(deflated(std::string(20000, 'x'))), true, false},
      {"an object of another class", packed(deflated(storedBinary(&notATree))), true, false},
      {"a tree cut short", packed(deflated(cut)), true, false},
      {"unterminated public names",
       [&] {
         Bytes b = own;
         putWide(b, 0, std::u16string(32, u'D'));
         putWide(b, 102, std::u16string(32, u'F'));
         return b;
       }(),
       true, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    GPrinterDevModeNT target(&device, nullptr);
    ASSERT_EQ(target.storeSettings(tree.get()), 1);
    const Bytes before(target.bytes() + 262, target.bytes() + 1172);
    const GuardedBlock block(row.devmode);
    EXPECT_EQ(target.takeFrom(block.data()), 1);
    const Bytes after(target.bytes() + 262, target.bytes() + 1172);
    if (row.taken)
      EXPECT_EQ(after, Bytes(row.devmode.begin() + 262, row.devmode.begin() + 1172));
    else
      EXPECT_EQ(after, before);
    std::unique_ptr<GAttributeComposite> back(target.restoreSettings());
    EXPECT_EQ(back != nullptr, row.restores);
  }
}

// ---------------------------------------------------------------- checks

TEST_F(DevModeTest, ValidateReportsTheOffendingFields) {
  GPrinterDevModeNT devmode(&device, nullptr);
  Bytes base = copyOut(devmode);
  // Every DEVMODE of the driver's own version fails on the form name (no
  // class has a check for it): leave it out to see the others.
  base[72] |= 0x1;   // orientation
  base[73] |= 0x1;   // copies
  base[74] &= ~0x1;  // form name
  put16(base, 76, 1);
  put16(base, 86, 1);

  struct Case {
    const char* name;
    std::function<void(Bytes&)> change;
    int32_t mode;
    int32_t answer;
    uint32_t mask;
  };
  const Case cases[] = {
      {"valid", [](Bytes&) {}, 1, 1, 0},
      {"orientation and copies, every check", [](Bytes& b) { put16(b, 76, 3), put16(b, 86, 0); }, 1, 0, 0x101},
      {"orientation and copies, first failure", [](Bytes& b) { put16(b, 76, 3), put16(b, 86, 0); }, 0, 0, 0x1},
      {"paper length", [](Bytes& b) { b[72] |= 0x4; }, 1, 0, 0xC},
      {"colour 3", [](Bytes& b) { put16(b, 92, 3); }, 1, 0, 0x800},
      {"duplex 4", [](Bytes& b) { put16(b, 94, 4); }, 1, 0, 0x1000},
      {"collate 2", [](Bytes& b) { b[73] |= 0x80, put16(b, 100, 2); }, 1, 0, 0x8000},
      {"form name", [](Bytes& b) { b[74] |= 0x1; }, 1, 0, 0x10000},
      {"spec version 0x0300: no check", [](Bytes& b) { put16(b, 64, 0x0300), put16(b, 76, 3); }, 1, 0, 0},
      {"dmSize 67: no check", [](Bytes& b) { put16(b, 68, 67), put16(b, 76, 3); }, 1, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes dm = base;
    c.change(dm);
    uint32_t mask = 0xDEAD;
    EXPECT_EQ(devmode.validate(dm.data(), c.mode, mask), c.answer);
    EXPECT_EQ(mask, c.mask);
  }
}

TEST_F(DevModeTest, ValidateTurnsAResolutionIntoThePrintersQualityCode) {
  // Print quality 600 without a Y resolution: a printer that speaks in
  // codes (600 dpi is -4) takes it as that code; one that does not cannot
  // look a resolution up.
  for (bool codes : {true, false}) {
    SCOPED_TRACE(codes);
    PrinterModel model = settingsModel();
    model.qualityCodes = codes;
    SettingsDevice other(printer, model);
    other.setSettings(other.createSettings());
    GPrinterDevModeNT devmode(&other, nullptr);
    uint8_t* own = devmode.buffer();
    own[74] &= ~0x1;   // no form name
    own[73] |= 0x4;    // print quality
    own[73] &= ~0x20;  // no Y resolution
    devmode.setPrintQualityRaw(600);
    uint32_t mask = 0;
    EXPECT_EQ(devmode.validate(own, 1, mask), codes ? 1 : 0);
    EXPECT_EQ(mask, codes ? 0u : 0x400u);
    EXPECT_EQ(devmode.printQuality(), codes ? -4 : 600);
    EXPECT_EQ(get16(own, 96), 600) << "the Y resolution is the resolved one";
  }
}

TEST_F(DevModeTest, CheckCollateFollowsThePrinter) {
  struct Case {
    const char* name;
    bool collation;
    uint16_t spec;
    bool bit;
    int16_t collate;
    bool bitAfter;
    int16_t collateAfter;
  };
  const Case cases[] = {
      {"available, asked", true, 0x0401, true, 1, true, 1},
      {"available, out of range", true, 0x0401, true, 5, true, 1},
      {"available, not asked", true, 0x0401, false, 0, true, 1},
      {"not available", false, 0x0401, true, 1, false, 0},
      {"old DEVMODE left alone", false, 0x0300, true, 5, true, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PrinterModel model = settingsModel();
    model.collation = c.collation;
    SettingsDevice other(printer, model);
    GPrinterDevModeNT devmode(&other, nullptr);
    Bytes dm = copyOut(devmode);
    put16(dm, 64, c.spec);
    if (c.bit) dm[73] |= 0x80;
    put16(dm, 100, static_cast<uint16_t>(c.collate));
    devmode.copyPublicFrom(dm.data());
    devmode.checkCollate();
    const GDevModeView v = devmode.view();
    EXPECT_EQ((v.fields() & DevModeLayout::kFieldCollate) != 0, c.bitAfter);
    EXPECT_EQ(v.s16(DevModeLayout::kCollate), c.collateAfter);
  }
}

}  // namespace
