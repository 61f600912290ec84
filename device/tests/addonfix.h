#ifndef DEVICE_TESTS_ADDONFIX_H
#define DEVICE_TESTS_ADDONFIX_H

// The test add-on library (device/tests/addon) where a proxy finds it: its
// folder installed as the driver directory, and its log kept in a fresh
// file for the test.

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "platform.h"
#include "testkit/files.h"
#include "testkit/tmpdir.h"

// The add-on's file, and the name a configuration gives it.
inline const char* stageAddOnPath() { return QX_STAGE_ADDON; }
inline const char* const kStageAddOn = "qxstageaddon.dll";
inline const char* const kMissingAddOn = "qxnothing.dll";

inline std::string folderOf(const std::string& path) { return path.substr(0, path.rfind('/')); }

// What the add-on logged, line by line.
using AddOnLines = std::vector<std::string>;

// For its life: the add-on's folder is the driver directory and the add-on
// logs to a file of its own.
class AddOnScene {
 public:
  AddOnScene() : directory_(folderOf(stageAddOnPath())) { setenv("QX_ADDON_LOG", dir_.file("addon.log").c_str(), 1); }
  ~AddOnScene() { unsetenv("QX_ADDON_LOG"); }
  AddOnScene(const AddOnScene&) = delete;
  AddOnScene& operator=(const AddOnScene&) = delete;

  // The lines logged since the last call.
  AddOnLines take() {
    const std::string path = dir_.file("addon.log");
    std::istringstream text(fileContents(path));
    putFile(path, "");
    AddOnLines lines;
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    return lines;
  }

 private:
  TempDir dir_;
  InstalledDriverDirectory directory_;
};

#endif
