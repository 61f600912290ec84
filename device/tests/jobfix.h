#ifndef DEVICE_TESTS_JOBFIX_H
#define DEVICE_TESTS_JOBFIX_H

// What the tests of a job through the printer and the job language need:
// ports that remember what happened to them after the stage that owned them
// deleted them, a provider in the process's registry that makes them (or
// makes none, or ports that do not open), a platform clock the test sets,
// and the job's commands.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/outport.h"
#include "core/state.h"
#include "core/textconv.h"
#include "core/valattr.h"
#include "journal/ctlcmds.h"
#include "platform.h"
#include "testkit/core/port.h"

// ---- ports --------------------------------------------------------------------------

// What became of one port: filled as it is used and kept after it is gone.
struct PortRecord {
  std::vector<std::string> calls;
  std::string written;
  std::string startedName;
  int32_t startedWithPjl = -1;
  bool deleted = false;
};

class RecordedPort : public FakeOutputPort {
 public:
  RecordedPort(const RWWString& name, PortRecord* record, bool opens)
      : FakeOutputPort(name), record_(record), opens_(opens) {}
  ~RecordedPort() override { record_->deleted = true; }

  [[nodiscard]] uint16_t startJob(const RWWString& jobName, int32_t withPjl) override {
    RWCString narrow;
    convertToNarrow(jobName, narrow);
    record_->startedName.assign(narrow.data(), narrow.length());
    record_->startedWithPjl = withPjl;
    return keep(FakeOutputPort::startJob(jobName, withPjl));
  }
  [[nodiscard]] uint16_t write(const void* data, uint32_t length, uint32_t& written) override {
    const uint16_t status = keep(FakeOutputPort::write(data, length, written));
    record_->written = this->written();
    return status;
  }
  [[nodiscard]] uint16_t endJob() override { return keep(FakeOutputPort::endJob()); }
  [[nodiscard]] uint16_t abort() override { return keep(FakeOutputPort::abort()); }
  int32_t open() override {
    FakeOutputPort::open();
    keep(0);
    return opens_ ? 1 : 0;
  }

 private:
  uint16_t keep(uint16_t status) {
    record_->calls = calls();
    return status;
  }
  PortRecord* record_;
  bool opens_;
};

// Makes RecordedPorts, each answering the scripted statuses; registered in
// the process's registry for the provider's life.
class TestPortProvider : public GOutputPortProvider {
 public:
  enum Makes { kOpenPorts, kClosedPorts, kNoPorts };

  explicit TestPortProvider(Makes makes = kOpenPorts) : makes_(makes) {
    GOutputPortProviderRegistry::instance().add(this, RWCString(kName));
  }
  ~TestPortProvider() override { GOutputPortProviderRegistry::instance().remove(RWCString(kName)); }
  TestPortProvider* newSpecies() const override { return nullptr; }
  TestPortProvider* copy() const override { return nullptr; }
  uint32_t capabilities() const override { return 1; }

  GOutputPort* createPort(GDriverInstance*, const RWCString&, uint32_t, const RWWString& portName) override {
    askedFor.push_back(portName);
    if (makes_ == kNoPorts) return nullptr;
    records.push_back(std::make_unique<PortRecord>());
    RecordedPort* port = new RecordedPort(portName, records.back().get(), makes_ == kOpenPorts);
    for (const auto& [operation, status] : scripts) port->answer(operation, status);
    return port;
  }

  // What the last port made went through; null before the first.
  const PortRecord* last() const { return records.empty() ? nullptr : records.back().get(); }

  std::vector<std::pair<std::string, uint16_t>> scripts;
  std::vector<RWWString> askedFor;
  std::vector<std::unique_ptr<PortRecord>> records;

 private:
  static constexpr const char* kName = "Test Ports";
  Makes makes_;
};

// ---- the platform's clock -------------------------------------------------------------

class ClockFactory : public DriverDirectoryFactory {
 public:
  ClockFactory() : DriverDirectoryFactory("") {}
  int currentTime(GTimeRecord& local, GTimeRecord& gmt, int16_t& offset) override {
    if (!works) return 0;
    local = now;
    gmt = now;
    offset = offsetMinutes;
    return 1;
  }

  bool works = true;
  GTimeRecord now{2026, 12, 11, 9, 5, 0, 0, 5};
  int16_t offsetMinutes = 0;
};

// Installs a ClockFactory as the platform for the object's life.
class InstalledClock {
 public:
  InstalledClock() : factory_(new ClockFactory) {
    GOSFactory::factoryLock = factory_->createMutex();
    GOSFactory::theInstance = factory_;
  }
  ~InstalledClock() { delete factory_; }
  InstalledClock(const InstalledClock&) = delete;
  InstalledClock& operator=(const InstalledClock&) = delete;
  ClockFactory& clock() { return *factory_; }

 private:
  ClockFactory* factory_;
};

// ---- commands -----------------------------------------------------------------------

// A document group (246) of settings.
inline GState* documentSettings(std::initializer_list<std::pair<uint32_t, int16_t>> values = {}) {
  GState* settings = new GState(AttrId::DocumentGroup);
  for (const auto& [id, value] : values) settings->insert(new GValueAttribute(value, id));
  return settings;
}

// A document start named "doc" on the port "TEST:", carrying the port
// given (null: none) and the settings (null: an empty group).
inline GCommandPtr documentStart(GOutputPort* carried = nullptr, GState* settings = nullptr,
                                 const RWWString& name = RWWString("doc")) {
  GDocumentStart* start = new GDocumentStart(name, RWWString("TEST:"), nullptr,
                                             settings ? settings : documentSettings(), 0);
  start->setOutputPort(carried);
  return GCommandPtr(start);
}

inline GCommandPtr documentEnd() { return GCommandPtr(new GDocumentEnd(RWWString("doc"), RWWString("TEST:"))); }

inline const GErrorCommand* asError(const GCommandPtr& command) {
  return dynamic_cast<const GErrorCommand*>(command.get());
}

// The exact PJL pieces.
inline std::string uel() { return "\x1b%-12345X"; }
inline std::string pjlLine(const std::string& body) { return "@PJL " + body + "\r\n"; }
inline std::string pjlSet(const std::string& body) { return pjlLine("SET " + body); }

#endif
