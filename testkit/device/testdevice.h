#ifndef TESTKIT_DEVICE_TESTDEVICE_H
#define TESTKIT_DEVICE_TESTDEVICE_H

// A device for tests: the platform operations filled in. Its settings come
// from a maker the test gives (a new composite each time; none by default),
// checkDrawing answers a scripted status, finishPath counts its calls and
// records the path current at each, and closesNestedPath answers a
// scripted flag (1 by default).

#include <cstdint>
#include <functional>
#include <vector>

#include "core/attrib.h"
#include "device/device.h"

class GPathGraphic;

class TestDevice : public GDevice {
 public:
  using SettingsMaker = std::function<GAttributeComposite*()>;

  TestDevice() = default;
  explicit TestDevice(SettingsMaker maker) : maker_(std::move(maker)) {}

  int32_t platformHookA() override { return 0; }
  int32_t platformHookB() override { return 0; }
  int32_t devicePlatformHook() override { return 0; }
  GAttributeComposite* createSettings() override { return maker_ ? maker_() : nullptr; }
  GPrinterDescription* printerDescription() override { return nullptr; }
  GAttributeComposite* defaultSettings() override { return defaults_ ? defaults_() : nullptr; }
  [[nodiscard]] GStatus checkDrawing(GCommand*) override { return drawingStatus; }
  void finishPath(int32_t mode) override {
    finished.push_back(currentPath());
    finishModes.push_back(mode);
  }
  int32_t closesNestedPath(int32_t) override { return closesNested; }

  void setDefaultSettings(SettingsMaker maker) { defaults_ = std::move(maker); }

  GStatus drawingStatus = 0;
  int32_t closesNested = 1;
  std::vector<GPathGraphic*> finished;
  std::vector<int32_t> finishModes;

 private:
  SettingsMaker maker_;
  SettingsMaker defaults_;
};

#endif
