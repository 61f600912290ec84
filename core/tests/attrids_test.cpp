// The attribute-id table, read as its source spells it: one name for each
// number and one number for each name.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>

#include "core/attrids.h"

namespace {

TEST(AttrIdTable, EveryNumberHasOneName) {
  const std::filesystem::path header = std::filesystem::path(QX_SOURCE_DIR) / "core" / "attrids.h";
  std::ifstream in(header);
  ASSERT_TRUE(in) << header;
  const std::regex line(R"(^constexpr uint32_t (\w+) = (\d+);)");
  std::map<std::string, uint32_t> byName;
  std::map<uint32_t, std::string> byNumber;
  for (std::string text; std::getline(in, text);) {
    std::smatch m;
    if (!std::regex_search(text, m, line)) continue;
    const std::string name = m[1];
    const auto id = static_cast<uint32_t>(std::stoul(m[2]));
    EXPECT_TRUE(byName.emplace(name, id).second) << name << " is named twice";
    const auto [at, fresh] = byNumber.emplace(id, name);
    EXPECT_TRUE(fresh) << name << " and " << at->second << " share " << id;
  }
  ASSERT_GT(byName.size(), 100u);
  // The reading agrees with the compiler.
  EXPECT_EQ(byName.at("Collate"), AttrId::Collate);
  EXPECT_EQ(byName.at("CollationOption"), AttrId::CollationOption);
  EXPECT_EQ(byName.at("PrintInGray"), AttrId::PrintInGray);
}

}  // namespace
