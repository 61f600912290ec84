// The class-ID table, read as its source spells it, and the registrations
// the loaded core library made against it.

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <string>

#include "core/classids.h"
#include "rw/factory.h"
#include "testids.h"

namespace {

struct Table {
  std::map<std::string, RWClassID> ids;  // every name, aliases included
  std::set<std::string> aliases;         // names defined as another name
};

// Reads the "constexpr RWClassID Name = value;" lines of both headers in
// the source tree the build names (this file's own name may be relative to
// wherever it was compiled). A value is a number or a name given before it.
Table readTable() {
  const std::filesystem::path core = std::filesystem::path(QX_SOURCE_DIR) / "core";
  const std::regex line(R"(^constexpr RWClassID (\w+) = (\w+);)");
  Table t;
  for (const auto& header : {core.parent_path() / "foundation" / "rw" / "classids.h", core / "classids.h"}) {
    std::ifstream in(header);
    EXPECT_TRUE(in) << header;
    for (std::string text; std::getline(in, text);) {
      std::smatch m;
      if (!std::regex_search(text, m, line)) continue;
      const std::string name = m[1], value = m[2];
      EXPECT_EQ(t.ids.count(name), 0u) << name << " is named twice";
      if (std::isdigit(static_cast<unsigned char>(value[0]))) {
        t.ids[name] = static_cast<RWClassID>(std::stoul(value, nullptr, 0));
      } else {
        EXPECT_EQ(t.ids.count(value), 1u) << name << " is an alias of the unknown " << value;
        t.ids[name] = t.ids[value];
        t.aliases.insert(name);
      }
    }
  }
  return t;
}

TEST(ClassIdTable, EveryNumberBelongsToOneClass) {
  const Table t = readTable();
  ASSERT_FALSE(t.ids.empty());
  // The reading agrees with the compiler.
  EXPECT_EQ(t.ids.at("RWCollectable"), ClassId::RWCollectable);
  EXPECT_EQ(t.ids.at("GPersistableLong"), ClassId::GPersistableLong);
  EXPECT_EQ(t.ids.at("GManualDuplexFilter"), ClassId::GManualDuplexFilter);
  EXPECT_EQ(t.ids.at("GHatchPattern"), ClassId::GBitmap);

  std::map<RWClassID, std::string> owner;
  for (const auto& [name, id] : t.ids) {
    if (t.aliases.count(name)) continue;
    EXPECT_TRUE(owner.emplace(id, name).second) << name << " and " << owner[id] << " share " << id;
    EXPECT_NE(id, RW_NO_CLASS_ID) << name;
    EXPECT_FALSE(rwIsStringIdentified(id)) << name;
    EXPECT_FALSE(TestClassId::inTestRange(id)) << name << " lies in the tests' range";
  }
}

// Every class registered itself once, under its own name and the table's
// number for it, and makes objects of that number.
TEST(ClassIdTable, TheLoadedLibraryRegisteredEveryKeyOnce) {
  // Counted since the first static initialiser, before any handler of
  // this test could listen.
  EXPECT_EQ(rwFactoryConflicts(), 0u);

  const Table t = readTable();
  std::set<RWClassID> tableIds;
  for (const auto& entry : t.ids) tableIds.insert(entry.second);

  RWFactory* factory = rwFactoryInstance();
  ASSERT_NE(factory, nullptr);
  RWSetIterator next(*factory);
  while (const RWCollectable* c = next()) {
    const RWFactoryEntry* e = static_cast<const RWFactoryEntry*>(c);
    const std::string name = e->stringID().data();
    const RWClassID id = e->classID();
    SCOPED_TRACE(name + " " + std::to_string(id));
    // Each key's partner leads back to the same registration.
    if (e->kind() == RWFactoryEntry::byId) {
      EXPECT_EQ(factory->classIdOf(e->stringID()), id);
      EXPECT_EQ(factory->findCreator(e->stringID()), e->creator());
    } else {
      EXPECT_EQ(std::string(factory->stringIdOf(id).data()), name);
      EXPECT_EQ(factory->findCreator(id), e->creator());
    }
    if (t.ids.count(name)) {
      EXPECT_EQ(id, t.ids.at(name));
    }
    EXPECT_TRUE(TestClassId::inTestRange(id) || tableIds.count(id)) << "not in the table";

    if (e->kind() == RWFactoryEntry::byId) {
      std::unique_ptr<RWCollectable> made(e->creator()());
      if (made) {
        EXPECT_EQ(made->isA(), id);
      }
    }
  }
}

}  // namespace
