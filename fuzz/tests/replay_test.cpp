// Every input that once crashed a fuzz target, run again through that
// target's own code in the ordinary suite: under the sanitizer preset a
// fault that comes back shows here as it showed in the fuzzer.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "rw/rwerr.h"

// The targets' entry points, each compiled under its own name.
extern "C" {
int fuzzOne_restore_pstream(const uint8_t* data, size_t size);
int fuzzOne_restore_bstream(const uint8_t* data, size_t size);
int fuzzOne_restore_estream(const uint8_t* data, size_t size);
int fuzzOne_restore_file(const uint8_t* data, size_t size);
int fuzzOne_cstring(const uint8_t* data, size_t size);
int fuzzOne_wstring(const uint8_t* data, size_t size);
int fuzzOne_filemgr(const uint8_t* data, size_t size);
int fuzzOne_disktree(const uint8_t* data, size_t size);
int fuzzOne_pcompdsk(const uint8_t* data, size_t size);
int fuzzOne_recindex(const uint8_t* data, size_t size);
int fuzzOne_setstore(const uint8_t* data, size_t size);
int fuzzOne_rwdump(const uint8_t* data, size_t size);
int fuzzOne_printdoc(const uint8_t* data, size_t size);
int fuzzOne_uires(const uint8_t* data, size_t size);
int fuzzOne_verquery(const uint8_t* data, size_t size);
int fuzzOne_bitmap(const uint8_t* data, size_t size);
int fuzzOne_generator(const uint8_t* data, size_t size);
}

namespace {

struct Target {
  const char* name;
  int (*run)(const uint8_t*, size_t);
};

const Target targets[] = {
    {"restore_pstream", fuzzOne_restore_pstream},
    {"restore_bstream", fuzzOne_restore_bstream},
    {"restore_estream", fuzzOne_restore_estream},
    {"restore_file", fuzzOne_restore_file},
    {"cstring", fuzzOne_cstring},
    {"wstring", fuzzOne_wstring},
    {"filemgr", fuzzOne_filemgr},
    {"disktree", fuzzOne_disktree},
    {"pcompdsk", fuzzOne_pcompdsk},
    {"recindex", fuzzOne_recindex},
    {"setstore", fuzzOne_setstore},
    {"rwdump", fuzzOne_rwdump},
    {"printdoc", fuzzOne_printdoc},
    {"uires", fuzzOne_uires},
    {"verquery", fuzzOne_verquery},
    {"bitmap", fuzzOne_bitmap},
    {"generator", fuzzOne_generator},
};

void dropReport(const RWErrorBase&) {}

TEST(FuzzRegressions, EveryInputThatOnceCrashedRunsThroughItsTarget) {
  const rwErrHandler outer = rwSetErrorHandler(dropReport);
  size_t inputs = 0;
  for (const auto& folder : std::filesystem::directory_iterator(QX_FUZZ_REGRESSIONS)) {
    const std::string name = folder.path().filename().string();
    const Target* target = nullptr;
    for (const Target& t : targets)
      if (name == t.name) target = &t;
    ASSERT_NE(target, nullptr) << "regressions/" << name << " names no target";
    for (const auto& file : std::filesystem::directory_iterator(folder.path())) {
      std::ifstream in(file.path(), std::ios::binary);
      const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      SCOPED_TRACE(name + "/" + file.path().filename().string());
      EXPECT_EQ(target->run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0);
      ++inputs;
    }
  }
  EXPECT_GT(inputs, 0u) << "no input was found under " << QX_FUZZ_REGRESSIONS;
  rwSetErrorHandler(outer);
}

}  // namespace
