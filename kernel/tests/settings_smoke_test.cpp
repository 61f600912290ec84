#include "kernel/devmode.h"
#include "kernel/tests/settingsfix.h"

TEST(SettingsFixture, MakesADeviceWithADevModeObject) {
  KernelPlatform platform;
  StandInPrinter printer({userForm(u"Card", 100000, 150000)});
  SettingsDevice device(printer);
  ASSERT_NE(device.printerConfig(), nullptr);
  GPrinterDevModeNT devmode(&device, printer.handle);
  EXPECT_EQ(devmode.view().u16(DevModeLayout::kMarkB), 50);
}
