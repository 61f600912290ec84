#include "testkit/tmpdir.h"

#include <cstdlib>
#include <filesystem>

#ifdef RW_KERNEL_BUILD
#include "host/engine/engine.h"
#endif

namespace {

std::string makeFolder(std::string pattern) {
  const char* made = mkdtemp(pattern.data());
  return made ? made : "";
}

void removeFolder(const std::string& host) {
  std::error_code ec;
  if (!host.empty()) std::filesystem::remove_all(host, ec);
}

#ifdef RW_KERNEL_BUILD
std::string theEngineRoot;
#endif

}  // namespace

#ifdef RW_KERNEL_BUILD

const std::string& startEngineRoot() {
  if (theEngineRoot.empty()) {
    theEngineRoot = makeFolder("/tmp/rwengine.XXXXXX");
    if (!theEngineRoot.empty()) {
      std::error_code ec;
      std::filesystem::create_directories(theEngineRoot + "/C/tmp", ec);
      eng::setRoot(theEngineRoot);
    }
  }
  return theEngineRoot;
}

void stopEngineRoot() {
  removeFolder(theEngineRoot);
  theEngineRoot.clear();
}

TempDir::TempDir() {
  const std::string& root = startEngineRoot();
  if (root.empty()) return;
  host_ = makeFolder(root + "/C/tmp/rwtest.XXXXXX");
  if (!host_.empty()) path_ = "C:\\tmp\\" + host_.substr(host_.rfind('/') + 1);
}

std::string TempDir::file(const char* name) const { return path_ + "\\" + name; }

std::string hostPath(const std::string& name) {
  if (name.empty() || name[0] == '/') return name;
  return eng::mapPath(std::u16string(name.begin(), name.end()));
}

#else

TempDir::TempDir() : path_(makeFolder("/tmp/rwtest.XXXXXX")), host_(path_) {}

std::string TempDir::file(const char* name) const { return path_ + "/" + name; }

std::string hostPath(const std::string& name) { return name; }

#endif

TempDir::~TempDir() { removeFolder(host_); }
