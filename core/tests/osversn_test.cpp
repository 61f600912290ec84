// The system version: the query's branches through a scripted seam, the
// family, the order and the constructors.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/osversn.h"

namespace {

class ScriptedQueries : public GOSVersionQueries {
 public:
  int getVersionEx(Info& info) override {
    sizes.push_back(info.size);
    for (uint32_t s : accepted) {
      if (s == info.size) {
        info.majorVersion = major;
        info.minorVersion = minor;
        info.buildNumber = build;
        info.platformId = s == 552 ? retryPlatformId : platformId;
        return 1;
      }
    }
    return 0;
  }
  uint32_t getVersion() override {
    ++packedAsked;
    return packed;
  }
  int32_t openKey(const char* path, void*& key) override {
    openedPath = path;
    key = this;
    return openStatus;
  }
  int32_t queryValue(void*, const char* name, char* buffer, uint32_t& size) override {
    valueName = name;
    roomGiven = size;
    if (queryStatus) return queryStatus;
    std::string t = productType;
    t.copy(buffer, size);
    size = static_cast<uint32_t>(t.size());
    return 0;
  }
  int32_t closeKey(void*) override {
    ++closes;
    return 0;
  }

  std::vector<uint32_t> accepted{276};
  uint32_t major = 4, minor = 0, build = 1381, platformId = 2, retryPlatformId = 2;
  uint32_t packed = 0x05650004;
  int32_t openStatus = 0, queryStatus = 0;
  std::string productType = "WinNT";
  std::vector<uint32_t> sizes;
  int packedAsked = 0;
  int closes = 0;
  std::string openedPath, valueName;
  uint32_t roomGiven = 0;
};

class VersionQuery : public ::testing::Test {
 protected:
  void SetUp() override { previous_ = GOSVersion::setQueries(&q); }
  void TearDown() override { GOSVersion::setQueries(previous_); }
  ScriptedQueries q;

 private:
  GOSVersionQueries* previous_ = nullptr;
};

TEST_F(VersionQuery, NtWorkstation) {
  GOSVersion v;
  ASSERT_EQ(v.query(), 1);
  EXPECT_EQ(v.platform(), 6);
  EXPECT_EQ(v.majorVersion(), 4u);
  EXPECT_EQ(v.minorVersion(), 0u);
  EXPECT_EQ(v.buildLow(), 1381u);
  EXPECT_EQ(v.family(), 4);
  EXPECT_EQ(q.sizes, std::vector<uint32_t>{276});
  EXPECT_EQ(q.openedPath, "SYSTEM\\CurrentControlSet\\Control\\ProductOptions");
  EXPECT_EQ(q.valueName, "ProductType");
  EXPECT_EQ(q.roomGiven, 128u);
  EXPECT_EQ(q.closes, 1);
}

TEST_F(VersionQuery, ProductType) {
  const struct {
    const char* type;
    int32_t platform;
  } cases[] = {{"WinNT", 6}, {"WINNT", 6}, {"winnt", 6}, {"ServerNT", 7}, {"LanmanNT", 7}, {"", 7}};
  for (const auto& c : cases) {
    q.productType = c.type;
    GOSVersion v;
    ASSERT_EQ(v.query(), 1) << c.type;
    EXPECT_EQ(v.platform(), c.platform) << c.type;
    EXPECT_EQ(v.family(), 4) << c.type;
  }
}

TEST_F(VersionQuery, RetriesWithTheLargerRecord) {
  q.accepted = {552};
  q.major = 3;
  q.minor = 51;
  q.build = 0x12340417;
  GOSVersion v;
  ASSERT_EQ(v.query(), 1);
  EXPECT_EQ(q.sizes, (std::vector<uint32_t>{276, 552}));
  EXPECT_EQ(v.version(), (3u << 16) | 51);
  EXPECT_EQ(v.build(), 0x417u) << "only the build number is kept";
  EXPECT_EQ(q.packedAsked, 0);
}

TEST_F(VersionQuery, Windows95BuildCarriesTheVersion) {
  q.platformId = 1;
  q.build = 0x04000457;
  GOSVersion v;
  ASSERT_EQ(v.query(), 1);
  EXPECT_EQ(v.platform(), 5);
  EXPECT_EQ(v.buildHigh(), 0u);
  EXPECT_EQ(v.buildLow(), 0x457u);
  EXPECT_EQ(q.closes, 0) << "no registry outside NT";
}

TEST_F(VersionQuery, FallsBackToThePackedVersion) {
  const struct {
    const char* what;
    uint32_t packed;
    int32_t platform;
    uint32_t version;
  } cases[] = {
      {"Win32s", 0x80000003u | (10u << 8), 4, (3u << 16) | 10},
      {"Windows 95", 0xC0000004u | (0u << 8), 5, 4u << 16},
      {"NT", 0x05653303u, 6, (3u << 16) | 51},
  };
  for (const auto& c : cases) {
    q.accepted.clear();
    q.packed = c.packed;
    GOSVersion v;
    ASSERT_EQ(v.query(), 1) << c.what;
    EXPECT_EQ(v.platform(), c.platform) << c.what;
    EXPECT_EQ(v.version(), c.version) << c.what;
    EXPECT_EQ(v.build(), 0u) << c.what;
  }
  EXPECT_EQ(q.sizes.size(), 6u) << "both records are tried each time";
}

TEST_F(VersionQuery, UnknownPlatformOnTheRetryFallsBack) {
  q.accepted = {552};
  q.retryPlatformId = 3;
  q.packed = 0x80000A04u;  // Windows 95 family, 4.10
  GOSVersion v;
  ASSERT_EQ(v.query(), 1);
  EXPECT_EQ(v.platform(), 5);
  EXPECT_EQ(v.version(), (4u << 16) | 10);
}

TEST_F(VersionQuery, FailuresLeaveTheObjectAlone) {
  const GOSVersion before(9, 0x00010002u, 0x00030004u);
  {
    q.platformId = 3;  // the first answer names an unknown system
    GOSVersion v = before;
    EXPECT_EQ(v.query(), 0);
    EXPECT_EQ(v, before);
    EXPECT_EQ(q.packedAsked, 0) << "an unknown system is not asked again";
  }
  q.platformId = 2;
  {
    q.openStatus = 5;
    GOSVersion v = before;
    EXPECT_EQ(v.query(), 0);
    EXPECT_EQ(v, before);
  }
  q.openStatus = 0;
  {
    q.queryStatus = 2;
    int closes = q.closes;
    GOSVersion v = before;
    EXPECT_EQ(v.query(), 0);
    EXPECT_EQ(v, before);
    EXPECT_EQ(q.closes, closes + 1) << "the key is closed again";
  }
  GOSVersion::setQueries(nullptr);
  GOSVersion v = before;
  EXPECT_EQ(v.query(), 0) << "no way to ask";
  EXPECT_EQ(v, before);
}

TEST(Version, FamilyTable) {
  const int32_t family[] = {0, 1, 2, 2, 2, 3, 4, 4, 4, 5, 0};
  for (int32_t p = 0; p <= 10; ++p) EXPECT_EQ(GOSVersion(p, 0u, 0u).family(), family[p]) << p;
  EXPECT_EQ(GOSVersion(-1, 0u, 0u).family(), 0);
  EXPECT_TRUE(GOSVersion(6, 0u, 0u).sameFamily(GOSVersion(8, 1u, 1u)));
  EXPECT_FALSE(GOSVersion(6, 0u, 0u).samePlatform(GOSVersion(7, 0u, 0u)));
}

TEST(Version, ConstructorsAndParts) {
  GOSVersion v(6, 0x10004u, 0x20000u + 3, 0x10000u + 7, 0x10000u + 1381);
  EXPECT_EQ(v.majorVersion(), 4u);
  EXPECT_EQ(v.minorVersion(), 3u);
  EXPECT_EQ(v.buildHigh(), 7u);
  EXPECT_EQ(v.buildLow(), 1381u);
  GOSVersion words(8, 0x40000u, 0x20000u);
  EXPECT_EQ(words.majorVersion(), 4u);
  EXPECT_EQ(words.build(), 0x20000u);
  GOSVersion none;
  EXPECT_EQ(none, GOSVersion(0, 0u, 0u));
}

TEST(Version, Order) {
  GOSVersion nt4(6, 4, 0, 0, 1381), nt351(7, 3, 51, 0, 1057);
  EXPECT_TRUE(nt4 < nt351) << "the platform decides first";
  EXPECT_TRUE(nt351 > nt4);
  EXPECT_TRUE(nt4 <= nt351);
  EXPECT_FALSE(nt4 >= nt351);
  EXPECT_TRUE(nt4 <= nt4);
  EXPECT_TRUE(nt4 >= nt4);
  EXPECT_TRUE(GOSVersion(-1, 9u, 9u) < GOSVersion(0, 0u, 0u)) << "platforms compare signed";
  EXPECT_TRUE(GOSVersion(6, 0x00040000u, 0u) < GOSVersion(6, 0x80000000u, 0u)) << "versions unsigned";
  EXPECT_TRUE(GOSVersion(6, 1u, 0x7FFFFFFFu) < GOSVersion(6, 1u, 0x80000000u)) << "builds unsigned";
  EXPECT_NE(nt4, nt351);
}

}  // namespace
