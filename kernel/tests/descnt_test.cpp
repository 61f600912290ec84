// Printer and device descriptions: the names read from the spooler, the
// record read only inside its block, equality and model, and the driver
// server's re-use of a cached device for an equal description only.

#include "kernel/descnt.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/attrib.h"
#include "device/drvrsrvr.h"
#include "host/engine/engine.h"
#include "kernel/osfactnt.h"
#include "kernel/prtdata.h"
#include "testkit/device/testdevice.h"
#include "testkit/tmpdir.h"
#include "tools/printer/printer.h"

namespace {

std::string narrow(const RWWString& s) {
  std::string out;
  for (RWsize i = 0; i < s.length(); ++i) out += static_cast<char>(s[i]);
  return out;
}

HDEV engineDevice(uintptr_t n) { return reinterpret_cast<HDEV>(n); }
HANDLE printerHandle(uintptr_t n) { return reinterpret_cast<HANDLE>(n); }

// A printer on the engine stand-in, removed with the object.
class SpoolerPrinter {
 public:
  SpoolerPrinter(std::u16string name, std::u16string driver, std::u16string port, std::u16string dataFile = u"") {
    eng::PrinterSetup setup;
    setup.printerName = std::move(name);
    setup.driverName = std::move(driver);
    setup.portName = std::move(port);
    setup.dataFile = std::move(dataFile);
    handle = eng::addPrinter(setup);
  }
  ~SpoolerPrinter() { eng::removePrinter(handle); }
  SpoolerPrinter(const SpoolerPrinter&) = delete;
  SpoolerPrinter& operator=(const SpoolerPrinter&) = delete;

  HANDLE handle = nullptr;
};

class DescriptionTest : public ::testing::Test {
 protected:
  void SetUp() override { eng::reset(); }
  // Every engine service was used as the engine expects.
  void TearDown() override {
    EXPECT_EQ(eng::misuse(), std::vector<std::string>());
    eng::reset();
  }
};

// ---- names from the spooler -------------------------------------------------------------

TEST_F(DescriptionTest, NamesComeFromTheSpoolerUnlessItCannotSay) {
  SpoolerPrinter printer(u"Office Laser", u"Laser Driver", u"USB001");
  const struct {
    const char* name;
    const char16_t* given;
    bool withHandle;
    void (*knob)();
    const char* device;
    const char* model;
    const char* port;
  } cases[] = {
      {"empty name", u"", true, nullptr, "Office Laser", "Laser Driver", "USB001"},
      {"another name", u"Shared Laser", true, nullptr, "Office Laser", "Laser Driver", "USB001"},
      {"the spooler's name", u"Office Laser", true, nullptr, "Office Laser", "Laser Driver", "USB001"},
      {"no printer handle", u"Given", false, nullptr, "Given", "", ""},
      {"the record fails", u"Given", true, [] { eng::knobs().failRecord = true; }, "Given", "", ""},
      {"no block for the record", u"Given", true, [] { eng::knobs().poolBlocks = 0; }, "Given", "", ""},
  };
  for (const auto& c : cases) {
    const RWWString given(c.given);
    const HANDLE handle = c.withHandle ? printer.handle : nullptr;
    const long blocks = eng::live().blocks;
    {
      if (c.knob) c.knob();
      GPrinterDescriptionNT plain(handle, given);
      GDeviceDescriptionNT device(handle, given, engineDevice(0x40));
      eng::knobs() = eng::Knobs{};
      for (const GPrinterDescriptionNT* d : {static_cast<const GPrinterDescriptionNT*>(&plain),
                                             static_cast<const GPrinterDescriptionNT*>(&device)}) {
        EXPECT_EQ(d->printerHandle(), handle) << c.name;
        EXPECT_EQ(narrow(d->deviceName()), c.device) << c.name;
        EXPECT_EQ(narrow(d->modelName()), c.model) << c.name;
        EXPECT_EQ(narrow(d->portName()), c.port) << c.name;
      }
      EXPECT_EQ(device.engineDevice(), engineDevice(0x40)) << c.name;
    }
    EXPECT_EQ(eng::live().blocks, blocks) << c.name << ": the record's block is freed";
  }
}

TEST_F(DescriptionTest, OtherConstructorsTakeWhatTheyAreGiven) {
  const GPrinterDescriptionNT empty;
  EXPECT_EQ(empty.printerHandle(), nullptr);
  EXPECT_TRUE(empty.deviceName().isNull() && empty.modelName().isNull() && empty.portName().isNull());
  EXPECT_EQ(GDeviceDescriptionNT().engineDevice(), nullptr);

  // Not checked against the spooler, even for a printer it knows.
  SpoolerPrinter printer(u"Office Laser", u"Laser Driver", u"USB001");
  const GDeviceDescriptionNT full(printer.handle, u"Alias", u"Model", u"Port", engineDevice(7));
  EXPECT_EQ(narrow(full.deviceName()), "Alias");
  EXPECT_EQ(narrow(full.modelName()), "Model");
  EXPECT_EQ(narrow(full.portName()), "Port");
  EXPECT_EQ(full.engineDevice(), engineDevice(7));
}

// A record field is read only inside the block the engine filled.
TEST_F(DescriptionTest, RecordStringsAreReadInsideTheBlockOnly) {
  alignas(8) uint8_t block[16] = {};
  const char16_t text[] = u"Ab";
  std::memcpy(block + 4, text, sizeof text);                  // "Ab" at 4, terminator at 8
  const char16_t tail[] = {u'x', u'y', u'z'};                  // 10..15, no terminator
  std::memcpy(block + 10, tail, sizeof tail);
  const auto at = [&](intptr_t offset) {
    return reinterpret_cast<const WCHAR*>(reinterpret_cast<uintptr_t>(block) + offset);
  };
  const struct {
    const char* name;
    const WCHAR* field;
    bool present;
    const char* text;
  } cases[] = {
      {"inside, terminated", at(4), true, "Ab"},
      {"empty string", at(8), true, ""},
      {"null", nullptr, false, "keep"},
      {"before the block", at(-2), false, "keep"},
      {"at the block's end", at(16), false, "keep"},
      {"far beyond", at(4096), false, "keep"},
      {"between two characters", at(5), false, "keep"},
      {"no terminator before the end", at(10), false, "keep"},
  };
  for (const auto& c : cases) {
    RWWString out(u"keep");
    EXPECT_EQ(gRecordString(block, sizeof block, c.field, out), c.present) << c.name;
    EXPECT_EQ(narrow(out), c.text) << c.name;
  }
  RWWString out(u"keep");
  EXPECT_FALSE(gRecordString(block, 8, at(4), out)) << "the terminator lies past a shorter block";
  EXPECT_FALSE(gRecordString(nullptr, 16, at(4), out));
  EXPECT_EQ(narrow(out), "keep");
}

// ---- equality and model -----------------------------------------------------------------

// Of another kind altogether: never equal, never the same model.
class ForeignDescription : public GPrinterDescription {
 public:
  bool equals(const GPrinterDescription&) const override { return false; }
};

TEST_F(DescriptionTest, EqualMeansEveryFieldAndTheSameClass) {
  const HANDLE h = printerHandle(0x100);
  const GDeviceDescriptionNT base(h, u"Printer", u"Model", u"Port", engineDevice(1));
  const GPrinterDescriptionNT plainBase(h, u"Printer", u"Model", u"Port");
  const GDeviceDescriptionNT same(h, u"Printer", u"Model", u"Port", engineDevice(1));
  const GDeviceDescriptionNT otherHandle(printerHandle(0x200), u"Printer", u"Model", u"Port", engineDevice(1));
  const GDeviceDescriptionNT otherName(h, u"Printer 2", u"Model", u"Port", engineDevice(1));
  const GDeviceDescriptionNT longerName(h, RWWString(u"Printer\0", 8), u"Model", u"Port", engineDevice(1));
  const GDeviceDescriptionNT otherModel(h, u"Printer", u"Model 2", u"Port", engineDevice(1));
  const GDeviceDescriptionNT otherPort(h, u"Printer", u"Model", u"Port 2", engineDevice(1));
  const GDeviceDescriptionNT otherDevice(h, u"Printer", u"Model", u"Port", engineDevice(2));
  const GPrinterDescriptionNT plainSame(h, u"Printer", u"Model", u"Port");
  const GPrinterDescriptionNT plainOtherPort(h, u"Printer", u"Model", u"Port 2");
  const ForeignDescription foreign;

  const struct {
    const char* name;
    const GPrinterDescriptionNT& a;
    const GPrinterDescription& b;
    bool equal;
    bool sameModel;
  } cases[] = {
      {"the same device", base, same, true, true},
      {"other printer handle", base, otherHandle, false, true},
      {"other device name", base, otherName, false, true},
      {"a name with one more (zero) unit", base, longerName, false, true},
      {"other model name", base, otherModel, false, false},
      {"other port name", base, otherPort, false, true},
      {"other engine device", base, otherDevice, false, true},
      {"device and printer description", base, plainSame, false, true},
      {"printer and device description", plainBase, same, false, true},
      {"two printer descriptions", plainBase, plainSame, true, true},
      {"printer descriptions, other port", plainBase, plainOtherPort, false, true},
      {"a description of another kind", base, foreign, false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.a.equals(c.b), c.equal) << c.name;
    EXPECT_EQ(c.a.sameModel(c.b), c.sameModel) << c.name;
    if (const auto* b = dynamic_cast<const GPrinterDescriptionNT*>(&c.b)) {
      EXPECT_EQ(b->equals(c.a), c.equal) << c.name << ", the other way round";
      EXPECT_EQ(b->sameModel(c.a), c.sameModel) << c.name << ", the other way round";
    }
  }
}

TEST_F(DescriptionTest, TwoPrintersOfOneDriverAreOneModelButNotEqual) {
  SpoolerPrinter first(u"Laser A", u"Laser Driver", u"USB001");
  SpoolerPrinter second(u"Laser B", u"Laser Driver", u"USB002");
  const GDeviceDescriptionNT a(first.handle, u"", engineDevice(1));
  const GDeviceDescriptionNT b(second.handle, u"", engineDevice(1));
  EXPECT_TRUE(a.sameModel(b));
  EXPECT_FALSE(a.equals(b));
  EXPECT_FALSE(b.equals(a));
}

// ---- the driver server's cache ----------------------------------------------------------

// A device that answers the description it was made for, and reaches its
// printer's data file as an NT device does.
class DescribedDevice : public TestDevice, public GPrinterOwnerNT {
 public:
  DescribedDevice(const GDeviceDescriptionNT& description, RWWString dataFile)
      : description_(description), dataFile_(std::move(dataFile)) {}
  GPrinterDescription* printerDescription() override { return new GDeviceDescriptionNT(description_); }
  void reset(GPrinterDescription* description) override {
    ++resets;
    if (const auto* d = dynamic_cast<GDeviceDescriptionNT*>(description)) description_ = *d;
    TestDevice::reset(description);
  }
  HANDLE printerHandle() const override { return description_.printerHandle(); }
  RWWString printerDataFileName() const override { return dataFile_; }

  int resets = 0;

 private:
  GDeviceDescriptionNT description_;
  RWWString dataFile_;
};

// The kernel's platform services, making described devices; each printer's
// data file is known by its handle.
class DeviceFactory : public GOSFactoryNT {
 public:
  GDevice* createDeviceInstance(GPrinterDescription* description) override {
    const auto* d = dynamic_cast<GDeviceDescriptionNT*>(description);
    if (!d) return nullptr;
    ++made;
    return new DescribedDevice(*d, d->printerHandle() == firstPrinter ? firstFile : secondFile);
  }
  int made = 0;
  HANDLE firstPrinter = nullptr;
  RWWString firstFile, secondFile;
};

// The factory installed as the process's platform, and a driver server on
// it, for the life of the object.
class ServerOnFactory {
 public:
  ServerOnFactory() {
    GOSFactory::factoryLock = factory->createMutex();
    GOSFactory::theInstance = factory;
    GDriverServer::create();
  }
  ~ServerOnFactory() {
    delete GDriverServer::instance();
    delete factory;
  }
  ServerOnFactory(const ServerOnFactory&) = delete;
  ServerOnFactory& operator=(const ServerOnFactory&) = delete;

  DeviceFactory* factory = new DeviceFactory;
};

TEST_F(DescriptionTest, ServerReusesACachedDeviceForAnEqualDescriptionOnly) {
  TempDir dir;
  std::string error;
  std::unique_ptr<GAttributeComposite> tree = buildPrinterTree(PrinterModel{}, error);
  ASSERT_TRUE(tree) << error;
  ASSERT_TRUE(writePrinterTree(*tree, dir.hostPath() + "/a.cfg", error)) << error;
  ASSERT_TRUE(writePrinterTree(*tree, dir.hostPath() + "/b.cfg", error)) << error;
  SpoolerPrinter printerA(u"Laser A", u"Laser Driver", u"USB001");
  SpoolerPrinter printerB(u"Laser B", u"Laser Driver", u"USB002");

  ServerOnFactory installed;
  DeviceFactory* factory = installed.factory;
  factory->firstPrinter = printerA.handle;
  factory->firstFile = RWWString(dir.file("a.cfg").c_str());
  factory->secondFile = RWWString(dir.file("b.cfg").c_str());
  GDriverServer* server = GDriverServer::instance();
  ASSERT_NE(server, nullptr);

  const auto describeA = [&](uintptr_t device) {
    return new GDeviceDescriptionNT(printerA.handle, u"", engineDevice(device));
  };
  uint32_t handleA = 0;
  auto* deviceA = dynamic_cast<DescribedDevice*>(server->registerDevice(describeA(1), handleA));
  ASSERT_NE(deviceA, nullptr);
  server->removeDevice(handleA);
  ASSERT_EQ(server->cachedDevice(), deviceA);

  // The same model on another printer, and the same printer on another
  // engine device: each gets a device of its own.
  uint32_t handleB = 0, handleOther = 0;
  GDevice* deviceB =
      server->registerDevice(new GDeviceDescriptionNT(printerB.handle, u"", engineDevice(1)), handleB);
  GDevice* other = server->registerDevice(describeA(2), handleOther);
  ASSERT_NE(deviceB, nullptr);
  ASSERT_NE(other, nullptr);
  EXPECT_NE(deviceB, deviceA);
  EXPECT_NE(other, deviceA);
  EXPECT_EQ(factory->made, 3);
  EXPECT_EQ(server->cachedDevice(), deviceA);
  EXPECT_EQ(deviceA->resets, 0);

  // The same printer on the same engine device comes back from the cache.
  uint32_t again = 0;
  EXPECT_EQ(server->registerDevice(describeA(1), again), deviceA);
  EXPECT_EQ(factory->made, 3);
  EXPECT_EQ(deviceA->resets, 1);
  EXPECT_EQ(server->cachedDevice(), nullptr);

  for (uint32_t h : {again, handleB, handleOther}) server->removeDevice(h);
}

}  // namespace
