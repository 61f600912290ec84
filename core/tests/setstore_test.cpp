// The keyed settings store: its keys and stored values byte for byte,
// round trips of every kind of value, reuse of space, failures that must not
// lose a value, and the store that forwards to the platform services.

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/persnum.h"
#include "core/setstore.h"
#include "fakefactory.h"
#include "fixtures.h"
#include "rw/disktree.h"
#include "rw/filemgr.h"
#include "testkit/buildskip.h"

namespace {

RWWString wide(const std::string& s) { return RWWString(s.c_str()); }

std::string keyOf(const char* key) { return std::string(key, GSettingsStoreOnDisk::kKeyLength); }

std::string nameKey(const RWWString& name) {
  char key[GSettingsStoreOnDisk::kKeyLength];
  GSettingsStoreOnDisk::nameKey(name, key);
  return keyOf(key);
}

std::string numberKey(uint32_t n) {
  char key[GSettingsStoreOnDisk::kKeyLength];
  GSettingsStoreOnDisk::numberKey(n, key);
  return keyOf(key);
}

off_t fileSize(const std::string& path) {
  struct stat st;
  return ::stat(hostPath(path).c_str(), &st) == 0 ? st.st_size : -1;
}

// Every key of a closed settings file with its value, read through an index
// opened the way the store opens it.
std::map<std::string, int32_t> storedKeys(const std::string& path) {
  std::map<std::string, int32_t> keys;
  RWFileManager file(path.c_str());
  RWBTreeOnDisk index(file, 10, RWBTreeOnDisk::autoCreate, 48, 1, -1, RWBTreeOnDisk::currentStyle, 10, 10);
  index.setComparison([](const char* a, const char* b, size_t n) { return std::memcmp(a, b, n); });
  index.applyToKeyAndValue(
      [](const char* key, int32_t value, void* user) {
        (*static_cast<std::map<std::string, int32_t>*>(user))[keyOf(key)] = value;
      },
      &keys);
  return keys;
}

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.ok());
    path = dir.file("printer.set");
    ASSERT_EQ(store.open(wide(path)), 1);
  }
  TempDir dir;
  std::string path;
  GSettingsStoreOnDisk store;
};

// ---- keys ------------------------------------------------------------------------------

TEST(SettingsKeys, NamesAreLittleEndianUnitsNumbersDecimalText) {
  std::string zeros48(48, '\0');
  struct Case {
    const char* what;
    std::string key;
    std::string expected;
  } cases[] = {
      {"short name", nameKey(RWWString(u"A\u20AC")), bytes({0x41, 0x00, 0xAC, 0x20}) + std::string(44, '\0')},
      {"empty name", nameKey(RWWString()), zeros48},
      {"name of 24", nameKey(wide(std::string(23, 'a') + "b")), [] {
         std::string k;
         for (int i = 0; i < 23; ++i) k += bytes({'a', 0});
         return k + bytes({'b', 0});
       }()},
      {"number 7", numberKey(7), bytes({'7', 0}) + std::string(46, '\xFF')},
      {"number 0", numberKey(0), bytes({'0', 0}) + std::string(46, '\xFF')},
      {"largest number", numberKey(4294967295u), std::string("4294967295") + '\0' + std::string(37, '\xFF')},
  };
  for (const Case& c : cases) EXPECT_EQ(c.key, c.expected) << c.what;

  // A name longer than 24 characters is cut to its first 24; the digit 7
  // as a name is not the number 7.
  EXPECT_EQ(nameKey(wide(std::string(24, 'x') + "tail")), nameKey(wide(std::string(24, 'x'))));
  EXPECT_NE(nameKey(wide(std::string(23, 'x'))), nameKey(wide(std::string(24, 'x'))));
  EXPECT_NE(nameKey(RWWString(u"7")), numberKey(7));
  EXPECT_NE(nameKey(RWWString(u"12")), numberKey(12));
}

TEST_F(SettingsFile, TheFileHoldsExactlyTheKeysPut) {
  ASSERT_EQ(store.putULong(RWWString(u"7"), 1), 1);
  GPersistableLong object(2);
  ASSERT_EQ(store.putObject(7u, &object), 1);
  ASSERT_EQ(store.putString(RWWString(u"Name"), RWWString(u"x")), 1);
  store.close();

  std::map<std::string, int32_t> keys = storedKeys(path);
  ASSERT_EQ(keys.size(), 3u);
  EXPECT_TRUE(keys.count(bytes({'7', 0}) + std::string(46, '\0')));
  EXPECT_TRUE(keys.count(bytes({'7', 0}) + std::string(46, '\xFF')));
  EXPECT_TRUE(keys.count(bytes({'N', 0, 'a', 0, 'm', 0, 'e', 0}) + std::string(40, '\0')));
}

TEST_F(SettingsFile, NamesSharingTheirFirst24CharactersShareOneValue) {
  RWWString prefix = wide(std::string(24, 'p'));
  ASSERT_EQ(store.putULong(wide(std::string(24, 'p') + "-first"), 5), 1);
  EXPECT_EQ(store.getULong(prefix, 0), 5u);
  EXPECT_EQ(store.getULong(wide(std::string(24, 'p') + "-other"), 0), 5u);
  EXPECT_EQ(store.getULong(wide(std::string(23, 'p')), 99), 99u);

  // The number 7 and the name "7" are two values.
  GPersistableLong seven(-7);
  ASSERT_EQ(store.putULong(RWWString(u"7"), 70), 1);
  ASSERT_EQ(store.putObject(7u, &seven), 1);
  EXPECT_EQ(store.getULong(RWWString(u"7"), 0), 70u);
  std::unique_ptr<RWCollectable> back(store.getObject(7u));
  ASSERT_NE(dynamic_cast<GPersistableLong*>(back.get()), nullptr);
  EXPECT_EQ(static_cast<GPersistableLong*>(back.get())->value(), -7);
  EXPECT_EQ(std::unique_ptr<RWCollectable>(store.getObject(RWWString(u"7")))->isA(), GPersistableULong::classIsA());
}

// ---- values ------------------------------------------------------------------------------

TEST_F(SettingsFile, AStoredTextIsItsUnitsAndAZeroUnit) {
  ASSERT_EQ(store.putString(RWWString(u"T"), RWWString(u"AB")), 1);
  store.close();
  std::map<std::string, int32_t> keys = storedKeys(path);
  ASSERT_EQ(keys.size(), 1u);
  int32_t at = keys.begin()->second;

  std::string file = fileContents(path);
  ASSERT_GE(file.size(), static_cast<size_t>(at) + 36);
  std::string value = file.substr(at, 36);
  std::string head = le32(0x8888) + le16(4) + le32(1) + le32(0);  // magic, class, root version, id
  EXPECT_EQ(value.substr(0, 14), head);
  // The serial number (4 bytes) comes from the process's counter.
  std::string tail = le32(1) + le32(6) + le32(1) + bytes({'A', 0, 'B', 0, 0, 0});
  EXPECT_EQ(value.substr(18), tail);
}

TEST_F(SettingsFile, ValuesComeBackAsTheyWerePut) {
  ASSERT_EQ(store.putULong(RWWString(u"number"), 4000000000u), 1);
  ASSERT_EQ(store.putString(RWWString(u"text"), RWWString(u"caf\u00E9 \u4E2D")), 1);
  ASSERT_EQ(store.putString(RWWString(u"empty"), RWWString()), 1);
  ASSERT_EQ(store.putBinary(RWWString(u"none"), nullptr, 0), 1);

  EXPECT_EQ(store.getULong(RWWString(u"number"), 1), 4000000000u);
  RWWString out;
  EXPECT_TRUE(store.getString(out, RWWString(u"text"), RWWString(u"d")) == RWWString(u"caf\u00E9 \u4E2D"));
  EXPECT_TRUE(store.getString(out, RWWString(u"empty"), RWWString(u"d")).isNull());
  uint32_t length = 7;
  EXPECT_EQ(store.getBinary(RWWString(u"none"), nullptr, 0, length), 1);
  EXPECT_EQ(length, 0u);

  // Absent names and values of another class answer the defaults.
  EXPECT_EQ(store.getULong(RWWString(u"text"), 3), 3u);
  EXPECT_EQ(store.getULong(RWWString(u"absent"), 4), 4u);
  EXPECT_TRUE(store.getString(out, RWWString(u"number"), RWWString(u"d")) == RWWString(u"d"));
  out = RWWString(u"self");
  EXPECT_TRUE(store.getString(out, RWWString(u"absent"), out) == RWWString(u"self"));
  EXPECT_EQ(store.getBinary(RWWString(u"number"), nullptr, 0, length), 0);
  EXPECT_EQ(store.getObject(RWWString(u"absent")), nullptr);

  // They survive closing and opening again.
  store.close();
  GSettingsStoreOnDisk again(wide(path));
  ASSERT_TRUE(again.isOpen());
  EXPECT_EQ(again.getULong(RWWString(u"number"), 1), 4000000000u);
  EXPECT_TRUE(again.getString(out, RWWString(u"text"), RWWString()) == RWWString(u"caf\u00E9 \u4E2D"));
}

TEST_F(SettingsFile, GetBinaryReportsTheSizeAndCopiesOnlyWhatFits) {
  const unsigned char data[5] = {1, 2, 3, 4, 5};
  ASSERT_EQ(store.putBinary(RWWString(u"bytes"), data, 5), 1);

  uint32_t length = 99;
  EXPECT_EQ(store.getBinary(RWWString(u"bytes"), nullptr, 100, length), 1);
  EXPECT_EQ(length, 5u);
  unsigned char buffer[8] = {9, 9, 9, 9, 9, 9, 9, 9};
  EXPECT_EQ(store.getBinary(RWWString(u"bytes"), buffer, 0, length), 1);
  EXPECT_EQ(length, 5u);
  EXPECT_EQ(buffer[0], 9);

  EXPECT_EQ(store.getBinary(RWWString(u"bytes"), buffer, 4, length), 0);
  EXPECT_EQ(std::string(buffer, buffer + 8), std::string(8, '\x09'));

  EXPECT_EQ(store.getBinary(RWWString(u"bytes"), buffer, 5, length), 1);
  EXPECT_EQ(length, 5u);
  EXPECT_EQ(std::string(buffer, buffer + 6), bytes({1, 2, 3, 4, 5, 9}));

  EXPECT_EQ(store.getBinary(RWWString(u"absent"), buffer, 8, length), 0);
  EXPECT_EQ(length, 0u);
  // A length without its bytes is refused.
  EXPECT_EQ(store.putBinary(RWWString(u"bytes"), nullptr, 3), 0);
  EXPECT_EQ(store.getBinary(RWWString(u"bytes"), nullptr, 0, length), 1);
  EXPECT_EQ(length, 5u);
}

TEST_F(SettingsFile, ATextReadStopsAtTheZeroUnitOrTheEndOfTheBlock) {
  struct Case {
    const char* what;
    std::string stored;
    std::u16string text;
  } cases[] = {
      {"no zero unit", bytes({'A', 0, 'B', 0}), u"AB"},
      {"odd length", bytes({'A', 0, 'B'}), u"A"},
      {"zero inside", bytes({'A', 0, 0, 0, 'B', 0, 0, 0}), u"A"},
      {"one byte", bytes({'A'}), u""},
      {"high units", bytes({0xAC, 0x20, 0x2D, 0x4E}), u"\u20AC\u4E2D"},
  };
  for (const Case& c : cases) {
    // Each block in a buffer of its exact size, so a read past it shows.
    std::unique_ptr<unsigned char[]> exact(new unsigned char[c.stored.size()]);
    std::memcpy(exact.get(), c.stored.data(), c.stored.size());
    ASSERT_EQ(store.putBinary(RWWString(u"t"), exact.get(), static_cast<uint32_t>(c.stored.size())), 1);
    RWWString out;
    store.getString(out, RWWString(u"t"), RWWString(u"default"));
    EXPECT_EQ(std::u16string(out.data(), out.length()), c.text) << c.what;
  }
}

TEST_F(SettingsFile, ObjectsAreStoredWhole) {
  TestLeaf leaf(12, -3);
  ASSERT_EQ(store.putObject(RWWString(u"leaf"), &leaf), 1);
  ASSERT_EQ(store.putObject(12u, &leaf), 1);
  EXPECT_EQ(store.putObject(RWWString(u"null"), nullptr), 0);
  EXPECT_EQ(store.putObject(5u, nullptr), 0);
  for (RWCollectable* got : {store.getObject(RWWString(u"leaf")), store.getObject(12u)}) {
    std::unique_ptr<RWCollectable> back(got);
    TestLeaf* restored = dynamic_cast<TestLeaf*>(back.get());
    ASSERT_NE(restored, nullptr);
    EXPECT_EQ(restored->id(), 12u);
    EXPECT_EQ(restored->value, -3);
  }
  EXPECT_EQ(store.getObject(5u), nullptr);
  EXPECT_EQ(store.getObject(RWWString(u"null")), nullptr);
}

TEST_F(SettingsFile, OverwritingReusesTheSpaceOfTheOldValue) {
  std::vector<unsigned char> block(4000, 0x5A);
  ASSERT_EQ(store.putBinary(RWWString(u"big"), block.data(), 4000), 1);
  ASSERT_EQ(store.putBinary(RWWString(u"big"), block.data(), 4000), 1);
  off_t settled = fileSize(path);
  for (int i = 0; i < 10; ++i) {
    block[0] = static_cast<unsigned char>(i);
    ASSERT_EQ(store.putBinary(RWWString(u"big"), block.data(), 4000), 1);
  }
  EXPECT_EQ(fileSize(path), settled);
  uint32_t length = 0;
  std::vector<unsigned char> back(4000);
  ASSERT_EQ(store.getBinary(RWWString(u"big"), back.data(), 4000, length), 1);
  EXPECT_EQ(back[0], 9);
  EXPECT_EQ(back[3999], 0x5A);
}

// The file may grow by no more than a few bytes while it lives: writes past
// the limit fail as they would on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    previousSignal_ = std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &previous_);
    struct rlimit limit = previous_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &previous_);
    std::signal(SIGXFSZ, previousSignal_);
  }

 private:
  struct rlimit previous_;
  void (*previousSignal_)(int);
};

TEST_F(SettingsFile, AFailedPutKeepsTheOldValue) {
  SKIP_IN_KERNEL_BUILD("the engine writes the file at close, so a size limit cannot fail a put");
  ASSERT_EQ(store.putString(RWWString(u"v"), RWWString(u"old")), 1);
  std::vector<unsigned char> block(16000, 1);
  {
    FileSizeLimit full(static_cast<rlim_t>(fileSize(path) + 64));
    EXPECT_EQ(store.putBinary(RWWString(u"v"), block.data(), 16000), 0);
    EXPECT_EQ(store.putBinary(RWWString(u"w"), block.data(), 16000), 0);
  }
  RWWString out;
  EXPECT_TRUE(store.getString(out, RWWString(u"v"), RWWString()) == RWWString(u"old"));
  uint32_t length = 0;
  EXPECT_EQ(store.getBinary(RWWString(u"w"), nullptr, 0, length), 0);

  // The failure leaves the store usable.
  EXPECT_EQ(store.putBinary(RWWString(u"v"), block.data(), 16000), 1);
  EXPECT_EQ(store.getBinary(RWWString(u"v"), nullptr, 0, length), 1);
  EXPECT_EQ(length, 16000u);
  store.close();
  EXPECT_EQ(storedKeys(path).size(), 1u);
}

// ---- opening and closing -----------------------------------------------------------------

TEST(SettingsStore, AClosedStoreAnswersNothingAndTheDefaults) {
  GSettingsStoreOnDisk store;
  EXPECT_FALSE(store.isOpen());
  EXPECT_TRUE(store.fileName().isNull());
  GPersistableULong object(1);
  const char data[2] = {1, 2};
  EXPECT_EQ(store.putULong(RWWString(u"a"), 1), 0);
  EXPECT_EQ(store.putString(RWWString(u"a"), RWWString(u"x")), 0);
  EXPECT_EQ(store.putBinary(RWWString(u"a"), data, 2), 0);
  EXPECT_EQ(store.putObject(RWWString(u"a"), &object), 0);
  EXPECT_EQ(store.putObject(1u, &object), 0);
  EXPECT_EQ(store.getULong(RWWString(u"a"), 17), 17u);
  RWWString out;
  EXPECT_TRUE(store.getString(out, RWWString(u"a"), RWWString(u"d")) == RWWString(u"d"));
  uint32_t length = 5;
  EXPECT_EQ(store.getBinary(RWWString(u"a"), nullptr, 0, length), 0);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(store.getObject(RWWString(u"a")), nullptr);
  EXPECT_EQ(store.getObject(1u), nullptr);
  EXPECT_EQ(store.close(), 1);
}

TEST(SettingsStore, AFileThatCannotBeOpenedLeavesTheStoreClosed) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  GSettingsStoreOnDisk store;
  EXPECT_EQ(store.open(wide(dir.file("missing/printer.set"))), 0);
  EXPECT_FALSE(store.isOpen());
  EXPECT_EQ(store.open(wide(dir.path())), 0);  // a folder
  EXPECT_EQ(store.open(RWWString()), 0);
  EXPECT_FALSE(store.isOpen());

  // A new open closes the file open before; the name is the one given.
  std::string first = dir.file("first.set"), second = dir.file("second.set");
  ASSERT_EQ(store.open(wide(first)), 1);
  ASSERT_EQ(store.putULong(RWWString(u"n"), 1), 1);
  ASSERT_EQ(store.open(wide(second)), 1);
  EXPECT_TRUE(store.fileName() == wide(second));
  EXPECT_EQ(store.getULong(RWWString(u"n"), 0), 0u);
  EXPECT_EQ(store.open(wide(dir.file("missing/x.set"))), 0);
  EXPECT_FALSE(store.isOpen());
  EXPECT_EQ(GSettingsStoreOnDisk(wide(first)).getULong(RWWString(u"n"), 0), 1u);
}

// The index's information record sits at the file's start offset (the
// first word of the file): version at +8, key length at +16, order at +20,
// flags at +36 (bit 0: raw keys). A store compares and copies keys of
// exactly 48 bytes, so a tree of any other key shape is refused whole, and
// the refused file is not written to.
TEST(SettingsStore, AFileWhoseIndexIsNotTheStoresShapeIsRefused) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  const std::string empty = dir.file("empty.set"), full = dir.file("full.set");
  ASSERT_EQ(GSettingsStoreOnDisk(wide(empty)).isOpen(), TRUE);
  {
    GSettingsStoreOnDisk store(wide(full));
    for (int i = 0; i < 5; ++i) ASSERT_EQ(store.putULong(wide("value" + std::to_string(i)), i), 1);
  }
  struct Field {
    int at;
    int32_t value;
  };
  // A larger key goes with a smaller order and minimum fill, so that the
  // nodes stay inside the file and only the key shape is wrong.
  const struct {
    const char* what;
    std::vector<Field> fields;
  } cases[] = {
      {"key length 52", {{16, 52}, {20, 9}, {24, 9}}},
      {"key length 64", {{16, 64}, {20, 7}, {24, 7}}},
      {"key length 100", {{16, 100}, {20, 5}, {24, 5}}},
      {"key length 47", {{16, 47}}},
      {"text keys", {{36, 0}}},
      {"old style", {{8, 0x100}}},
  };
  for (const std::string& original : {empty, full}) {
    const Bytes good = readAll(original);
    ASSERT_GT(good.size(), 12u);
    const int32_t base = le32(good, 0);
    for (const auto& c : cases) {
      Bytes bad = good;
      for (const Field& f : c.fields) setLe32(bad, static_cast<size_t>(base + f.at), f.value);
      const std::string damaged = dir.file("damaged.set");
      writeAll(damaged, bad);
      GSettingsStoreOnDisk store;
      EXPECT_EQ(store.open(wide(damaged)), 0) << c.what << " in " << original;
      EXPECT_FALSE(store.isOpen()) << c.what;
      EXPECT_EQ(store.putULong(RWWString(u"value0"), 9), 0) << c.what;
      store.close();
      EXPECT_EQ(readAll(damaged), bad) << c.what << " in " << original;
    }
    // The file as it was made opens.
    GSettingsStoreOnDisk store;
    EXPECT_EQ(store.open(wide(original)), 1);
  }
  EXPECT_EQ(GSettingsStoreOnDisk(wide(full)).getULong(RWWString(u"value4"), 0), 4u);
}

// ---- forwarding to the platform services --------------------------------------------------

// Keeps every named value by owner and name, with the owner in the record.
class ValueFactory : public FakeFactory {
 public:
  struct Call {
    GDriverInstance* owner;
    std::string op;
    std::string name;
  };
  int putULong(GDriverInstance* owner, const RWWString& name, uint32_t value) override {
    calls.push_back({owner, "putULong", narrow(name)});
    numbers[narrow(name)] = value;
    return 1;
  }
  int putString(GDriverInstance* owner, const RWWString& name, const RWWString& value) override {
    calls.push_back({owner, "putString", narrow(name)});
    texts[narrow(name)] = value;
    return 1;
  }
  int putBinary(GDriverInstance* owner, const RWWString& name, const void* data, uint32_t length) override {
    calls.push_back({owner, "putBinary", narrow(name)});
    return FakeFactory::putBinary(owner, name, data, length);
  }
  uint32_t getULong(GDriverInstance* owner, const RWWString& name, uint32_t d) override {
    calls.push_back({owner, "getULong", narrow(name)});
    return numbers.count(narrow(name)) ? numbers[narrow(name)] : d;
  }
  RWWString& getString(RWWString& out, GDriverInstance* owner, const RWWString& name, const RWWString& d) override {
    calls.push_back({owner, "getString", narrow(name)});
    out = texts.count(narrow(name)) ? texts[narrow(name)] : d;
    return out;
  }
  int getBinary(GDriverInstance* owner, const RWWString& name, void* buffer, uint32_t capacity,
                uint32_t& length) override {
    calls.push_back({owner, "getBinary", narrow(name)});
    return FakeFactory::getBinary(owner, name, buffer, capacity, length);
  }

  std::vector<Call> calls;
  std::map<std::string, uint32_t> numbers;
  std::map<std::string, RWWString> texts;
};

GDriverInstance* owner() {
  static char printer;
  return reinterpret_cast<GDriverInstance*>(&printer);
}

TEST(FactorySettingsStore, ForwardsEveryOperationForItsOwner) {
  ValueFactory* factory = new ValueFactory;
  GOSFactory::theInstance = factory;
  GOSFactorySettingsStore store(owner());
  EXPECT_EQ(store.owner(), owner());
  EXPECT_EQ(store.factory(), factory);

  EXPECT_EQ(store.putULong(RWWString(u"n"), 6), 1);
  EXPECT_EQ(store.getULong(RWWString(u"n"), 0), 6u);
  EXPECT_EQ(store.putString(RWWString(u"s"), RWWString(u"text")), 1);
  RWWString out;
  EXPECT_TRUE(store.getString(out, RWWString(u"s"), RWWString()) == RWWString(u"text"));
  const char data[3] = {1, 2, 3};
  EXPECT_EQ(store.putBinary(RWWString(u"b"), data, 3), 1);
  uint32_t length = 0;
  EXPECT_EQ(store.getBinary(RWWString(u"b"), nullptr, 0, length), 1);
  EXPECT_EQ(length, 3u);

  // Objects go through the factory's own object operations, a number as
  // the name of its decimal text.
  TestLeaf leaf(3, 30);
  EXPECT_EQ(store.putObject(4294967295u, &leaf), 1);
  EXPECT_TRUE(factory->binaries.count("4294967295"));
  for (RWCollectable* got : {store.getObject(4294967295u), store.getObject(RWWString(u"4294967295"))}) {
    std::unique_ptr<RWCollectable> back(got);
    ASSERT_NE(dynamic_cast<TestLeaf*>(back.get()), nullptr);
    EXPECT_EQ(static_cast<TestLeaf*>(back.get())->value, 30);
  }
  EXPECT_EQ(store.putObject(RWWString(u"o"), &leaf), 1);
  EXPECT_EQ(std::unique_ptr<RWCollectable>(store.getObject(RWWString(u"o")))->isA(), TestLeaf::classIsA());
  EXPECT_EQ(store.getObject(0u), nullptr);

  std::vector<std::string> ops;
  for (const ValueFactory::Call& c : factory->calls) {
    EXPECT_EQ(c.owner, owner());
    ops.push_back(c.op + " " + c.name);
  }
  std::vector<std::string> expected = {
      "putULong n",           "getULong n",           "putString s",          "getString s",
      "putBinary b",          "getBinary b",          "putBinary 4294967295", "getBinary 4294967295",
      "getBinary 4294967295", "getBinary 4294967295", "getBinary 4294967295", "putBinary o",
      "getBinary o",          "getBinary o",          "getBinary 0"};
  EXPECT_EQ(ops, expected);
  EXPECT_TRUE(GOSFactorySettingsStore::numberName(0) == RWWString(u"0"));
  delete factory;
}

TEST(FactorySettingsStore, WithoutItsFactoryItAnswersTheDefaults) {
  ASSERT_EQ(GOSFactory::instance(), nullptr);
  GOSFactorySettingsStore early(owner());
  ValueFactory* factory = new ValueFactory;
  GOSFactory::theInstance = factory;
  GOSFactorySettingsStore made(owner());
  GOSFactory::theInstance = nullptr;  // taken down: the store must not reach it

  TestLeaf leaf(1);
  const char data[1] = {1};
  for (GOSFactorySettingsStore* store : {&early, &made}) {
    EXPECT_EQ(store->putULong(RWWString(u"n"), 1), 0);
    EXPECT_EQ(store->putString(RWWString(u"n"), RWWString(u"x")), 0);
    EXPECT_EQ(store->putBinary(RWWString(u"n"), data, 1), 0);
    EXPECT_EQ(store->putObject(RWWString(u"n"), &leaf), 0);
    EXPECT_EQ(store->putObject(1u, &leaf), 0);
    EXPECT_EQ(store->getULong(RWWString(u"n"), 8), 8u);
    RWWString out;
    EXPECT_TRUE(store->getString(out, RWWString(u"n"), RWWString(u"d")) == RWWString(u"d"));
    uint32_t length = 4;
    EXPECT_EQ(store->getBinary(RWWString(u"n"), nullptr, 0, length), 0);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(store->getObject(RWWString(u"n")), nullptr);
    EXPECT_EQ(store->getObject(1u), nullptr);
  }
  EXPECT_TRUE(factory->calls.empty());
  delete factory;
}

}  // namespace
