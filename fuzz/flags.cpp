#include "flags.h"

#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

namespace fuzz {
namespace {

// A flag's value made absolute against the folder the process started in.
std::string absoluteFlag(const std::string& flag, const std::string& start) {
  const size_t eq = flag.find('=');
  const std::string value = flag.substr(eq + 1);
  if (value.empty() || value[0] == '/') return flag;
  return flag.substr(0, eq + 1) + start + "/" + value;
}

}  // namespace

void placeArtifacts(int* argc, char*** argv) {
  char start[PATH_MAX];
  if (!getcwd(start, sizeof start)) return;
  static std::vector<std::string> flags;
  static std::vector<char*> args;
  bool placed = false;
  for (int i = 0; i < *argc; ++i) {
    std::string a = (*argv)[i];
    if (a.rfind("-artifact_prefix=", 0) == 0 || a.rfind("-exact_artifact_path=", 0) == 0) {
      a = absoluteFlag(a, start);
      placed = true;
    }
    flags.push_back(a);
  }
  if (!placed) flags.push_back(std::string("-artifact_prefix=") + start + "/");
  for (std::string& f : flags) args.push_back(f.data());
  args.push_back(nullptr);
  *argc = static_cast<int>(flags.size());
  *argv = args.data();
}

}  // namespace fuzz
