#include "testkit/tmpdir.h"

#include <cstdlib>
#include <filesystem>

TempDir::TempDir() {
  char pattern[] = "/tmp/rwtest.XXXXXX";
  const char* made = mkdtemp(pattern);
  path_ = made ? made : "";
}

TempDir::~TempDir() {
  std::error_code ec;
  if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}
