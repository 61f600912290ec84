#ifndef TESTKIT_CORE_PORT_H
#define TESTKIT_CORE_PORT_H

// A fake output port: records each call by name, answers the statuses a
// test scripts (0 by default), keeps what it was written, and counts the
// destructions of every fake port, so that a test sees who deleted a port
// and how often.
//
// A fake configuration store: the provider of the secondary objects that
// store a printer's configuration (capability 0x10000). Each store keeps a
// copy of the configuration it was handed, as the configuration was at
// that moment, and answers the status a test scripts (0 by default).

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/outport.h"
#include "core/perobj.h"

class FakeOutputPort : public GOutputPort {
 public:
  explicit FakeOutputPort(const RWWString& portName = RWWString("FAKE:"));
  ~FakeOutputPort() override;

  [[nodiscard]] uint16_t startJob(const RWWString& jobName, int32_t withPjl) override;
  [[nodiscard]] uint16_t write(const void* data, uint32_t length, uint32_t& written) override;
  [[nodiscard]] uint16_t endJob() override;
  [[nodiscard]] uint16_t abort() override;
  int32_t open() override;

  // The operation ("startJob", "write", "endJob", "abort") answers the
  // status from now on.
  void answer(const std::string& operation, uint16_t status) { statuses_[operation] = status; }
  const std::vector<std::string>& calls() const { return calls_; }
  const std::string& written() const { return written_; }

  // Fake ports destroyed so far in this process.
  static int destructions() { return destructions_; }

 private:
  uint16_t record(const char* operation);

  std::vector<std::string> calls_;
  std::map<std::string, uint16_t> statuses_;
  std::string written_;
  static inline int destructions_ = 0;
};

class FakeConfigurationStore : public GOutputPortProvider {
 public:
  static constexpr uint32_t kCapability = 0x10000;

  FakeConfigurationStore() = default;
  // A copy shares nothing: it starts with an empty record.
  FakeConfigurationStore(const FakeConfigurationStore& other);
  FakeConfigurationStore& operator=(const FakeConfigurationStore&) = delete;
  ~FakeConfigurationStore() override;

  FakeConfigurationStore* newSpecies() const override { return new FakeConfigurationStore; }
  FakeConfigurationStore* copy() const override { return new FakeConfigurationStore(*this); }
  uint32_t capabilities() const override { return kCapability; }
  // A store for anyone who asks; the request is recorded.
  GSecondaryPort* createSecondaryPort(GDriverInstance* owner, const RWCString& entryName, uint32_t request,
                                      const RWWString& name) override;

  // Every later store answers the status.
  void answer(uint16_t status) { status_ = status; }

  // What the last store was given: a deep copy of the configuration (null
  // when it was handed null), the flags, and the request the store was
  // made for.
  const MPersistentObject* stored() const { return stored_.get(); }
  int32_t flags() const { return flags_; }
  uint32_t lastRequest() const { return lastRequest_; }
  int stores() const { return stores_; }

 private:
  class Store;

  std::unique_ptr<MPersistentObject> stored_;
  int32_t flags_ = 0;
  uint32_t lastRequest_ = 0;
  int stores_ = 0;
  uint16_t status_ = 0;
};

#endif
