#include "testkit/core/port.h"

FakeOutputPort::FakeOutputPort(const RWWString& portName) : GOutputPort(portName) {}

FakeOutputPort::~FakeOutputPort() { ++destructions_; }

uint16_t FakeOutputPort::record(const char* operation) {
  calls_.push_back(operation);
  auto it = statuses_.find(operation);
  return it == statuses_.end() ? 0 : it->second;
}

uint16_t FakeOutputPort::startJob(const RWWString&, int32_t) {
  const uint16_t status = record("startJob");
  if (status == 0) state_ = kInJob;
  return status;
}

uint16_t FakeOutputPort::write(const void* data, uint32_t length, uint32_t& written) {
  const uint16_t status = record("write");
  written = 0;
  if (status != 0) return status;
  written_.append(static_cast<const char*>(data), length);
  written = length;
  bytesWritten_ += length;
  return 0;
}

uint16_t FakeOutputPort::endJob() {
  const uint16_t status = record("endJob");
  if (status == 0) state_ = kIdle;
  return status;
}

uint16_t FakeOutputPort::abort() {
  const uint16_t status = record("abort");
  state_ = kAborted;
  return status;
}

int32_t FakeOutputPort::open() {
  record("open");
  return 1;
}

// ---- the configuration store -----------------------------------------------------

class FakeConfigurationStore::Store : public GSecondaryPort {
 public:
  explicit Store(FakeConfigurationStore& owner) : owner_(owner) {}
  [[nodiscard]] uint16_t storeConfiguration(MPersistentObject* configuration, int32_t flags) override {
    // A copy, not the pointer: the configuration may change or go after
    // the call, and what counts is what was stored.
    owner_.stored_.reset(configuration ? configuration->deepCopy() : nullptr);
    owner_.flags_ = flags;
    ++owner_.stores_;
    return owner_.status_;
  }

 private:
  FakeConfigurationStore& owner_;
};

FakeConfigurationStore::FakeConfigurationStore(const FakeConfigurationStore& other)
    : GOutputPortProvider(other), status_(other.status_) {}

FakeConfigurationStore::~FakeConfigurationStore() = default;

GSecondaryPort* FakeConfigurationStore::createSecondaryPort(GDriverInstance*, const RWCString&, uint32_t request,
                                                            const RWWString&) {
  lastRequest_ = request;
  return new Store(*this);
}
