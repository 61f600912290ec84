#ifndef TESTKIT_DEVICE_INSTANCE_H
#define TESTKIT_DEVICE_INSTANCE_H

// A driver instance for tests: the interface instance with its platform
// operations filled in. Its settings come from a maker the test gives (a
// new composite each time it is asked; none by default), and it counts how
// often it was asked.

#include <cstdint>
#include <functional>

#include "core/attrib.h"
#include "device/drvinst.h"

class TestInstance : public GInterfaceInstance {
 public:
  using SettingsMaker = std::function<GAttributeComposite*()>;

  TestInstance() = default;
  explicit TestInstance(SettingsMaker maker) : maker_(std::move(maker)) {}

  int32_t platformHookA() override { return 0; }
  int32_t platformHookB() override { return 0; }
  GAttributeComposite* createSettings() override {
    ++settingsMade_;
    return maker_ ? maker_() : nullptr;
  }
  GPrinterDescription* printerDescription() override { return nullptr; }
  GAttributeComposite* defaultSettings() override { return nullptr; }

  int settingsMade() const { return settingsMade_; }

 private:
  SettingsMaker maker_;
  int settingsMade_ = 0;
};

#endif
