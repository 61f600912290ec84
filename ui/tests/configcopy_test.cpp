// The copy of the printer's installed accessories into the settings.

#include "core/attrids.h"
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "core/attrib.h"
#include "core/valattr.h"
#include "device/config.h"
#include "device/paperdev.h"
#include "device/pericomp.h"
#include "device/tray.h"
#include "host/uihost/win32ui.h"
#include "testkit/store.h"
#include "ui/uiids.h"

extern "C" uint16_t UI_CONFIGTOSETTINGS(UIHostRecord* record);
extern "C" uint16_t UI_INTERFACEVERSION();

namespace {

GPaperHandlingDevice* outputDevice(const char* name, std::initializer_list<int16_t> bins) {
  auto* device = new GPaperHandlingDevice(name, 1, 1, 1, 1, 1);
  auto* source = new GAttributeComposite(1);
  for (int16_t n : bins) source->insert(new GBin(("bin " + std::to_string(n)).c_str(), n));
  device->addSource(1, source);
  return device;
}

// A configuration root with the printer (76) whose Config holds group 228;
// settings with group 365.
struct Trees {
  explicit Trees(int16_t availability, bool with228 = true, bool with365 = true) {
    auto* config = new GConfiguration(198);
    if (with228) {
      group = new GAttributeComposite(AttrId::JobLanguageConfig);
      group->insert(new GValueAttribute(availability, UiId::kAccessoryAvailability));
      group->insert(new GRangeAttribute(0, 64, 1, 16, AttrId::DownloadMemory));
      group->insert(new GValueAttribute(1, AttrId::DuplexUnit));
      group->insert(new GValueAttribute(4, AttrId::CollationAvailable));
      group->insert(new GValueAttribute(3, AttrId::PrinterModeSwitch));
      auto* types = new GAttributeComposite(AttrId::ExtraMediaTypes);
      types->insert(new GStringAttribute("Glossy", 0));
      group->insert(types);
      auto* devices = new GAttributeComposite(AttrId::PaperHandlingDevices);
      devices->insert(new GPaperHandlingDevice("QX Envelope Feeder", 0, 1, 1, 1, 1));
      devices->insert(new GPaperHandlingDevice("QX Tray Unit 2", 0, 1, 1, 1, 1));
      devices->insert(outputDevice("QX Mailbox", {1, 3, 4, 9, 17, 18}));
      devices->insert(outputDevice("QX Stacker", {5, 6}));
      group->insert(devices);
      config->insert(group);
    }
    root = std::make_unique<GPeripheralComposite>("root", nullptr, new GConfiguration(198), 353);
    root->insert(new GPeripheralComposite("printer", nullptr, config, AttrId::Printer));
    settings = std::make_unique<GAttributeComposite>(360);
    if (with365) {
      options = new GAttributeComposite(AttrId::PrinterOptions);
      options->insert(new GValueAttribute(0, UiId::kAccessoryAvailability));
      auto* types = new GAttributeComposite(AttrId::ExtraMediaTypes);
      options->insert(types);
      settings->insert(options);
    }
    record.configuration = root.get();
    record.settings = settings.get();
  }
  int16_t value(uint32_t id) const {
    auto* a = dynamic_cast<GValueAttribute*>(options->findById(id));
    return a ? a->value() : -1;
  }
  std::string text(uint32_t id) const {
    auto* a = dynamic_cast<GStringAttribute*>(options->findById(id));
    return a ? std::string(a->value().data(), a->value().length()) : "(none)";
  }
  std::unique_ptr<GPeripheralComposite> root;
  std::unique_ptr<GAttributeComposite> settings;
  GAttributeComposite* group = nullptr;
  GAttributeComposite* options = nullptr;
  UIHostRecord record;
};

std::string dump(const MPersistentObject& tree) { return storedBytes(&tree); }

TEST(ConfigCopy, CopiesTheFirstOutputAccessoryAndTheInputNames) {
  EXPECT_EQ(UI_INTERFACEVERSION(), 2);
  Trees t(2);
  EXPECT_EQ(UI_CONFIGTOSETTINGS(&t.record), 0);
  EXPECT_EQ(t.value(UiId::kAccessoryAvailability), 2);
  EXPECT_EQ(t.value(AttrId::DownloadMemoryChoice), 16);
  EXPECT_EQ(t.value(AttrId::DuplexUnitChoice), 1);
  EXPECT_EQ(t.value(AttrId::CollationOption), 4);
  EXPECT_EQ(t.value(AttrId::ModeSwitch), 1);
  EXPECT_EQ(t.value(AttrId::ManualFeed), 1);
  EXPECT_EQ(t.text(AttrId::InputDeviceName), "QX Tray Unit");
  EXPECT_EQ(t.text(AttrId::OutputDeviceName), "QX Mailbox");
  EXPECT_EQ(t.value(AttrId::OutputSource), 2);
  auto* names = dynamic_cast<GAttributeComposite*>(t.options->findById(UiId::kCustomBinNames));
  ASSERT_NE(names, nullptr);
  std::vector<std::string> got;
  for (RWsize i = 0; i < names->entries(); ++i) {
    auto* s = dynamic_cast<GStringAttribute*>(names->children().pointee(i));
    ASSERT_NE(s, nullptr);
    got.push_back(std::string(s->value().data(), s->value().length()));
  }
  EXPECT_EQ(got, (std::vector<std::string>{"bin 4", "bin 9", "bin 17"}));
  // 701 is a copy of its own: changing the printer's leaves the settings'.
  auto* copied = dynamic_cast<GAttributeComposite*>(t.options->findById(AttrId::ExtraMediaTypes));
  ASSERT_NE(copied, nullptr);
  ASSERT_EQ(copied->entries(), 1u);
  auto* original = t.group->findById(AttrId::ExtraMediaTypes);
  EXPECT_NE(copied->children().pointee(0), static_cast<GAttributeComposite*>(original)->children().pointee(0));
}

TEST(ConfigCopy, OnlyTheAvailabilityWhenItIsNot2AndNothingWithoutTheGroups) {
  Trees t(1);
  EXPECT_EQ(UI_CONFIGTOSETTINGS(&t.record), 0);
  EXPECT_EQ(t.value(UiId::kAccessoryAvailability), 1);
  EXPECT_EQ(t.value(AttrId::DownloadMemoryChoice), -1);
  EXPECT_EQ(t.text(AttrId::OutputDeviceName), "(none)");

  for (bool with228 : {false, true}) {
    Trees missing(2, with228, !with228);
    const std::string before = dump(*missing.settings);
    EXPECT_EQ(UI_CONFIGTOSETTINGS(&missing.record), 0);
    EXPECT_EQ(dump(*missing.settings), before);
  }
}

}  // namespace
