#ifndef TESTKIT_CORE_PORT_H
#define TESTKIT_CORE_PORT_H

// A fake output port: records each call by name, answers the statuses a
// test scripts (0 by default), keeps what it was written, and counts the
// destructions of every fake port, so that a test sees who deleted a port
// and how often.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/outport.h"

class FakeOutputPort : public GOutputPort {
 public:
  explicit FakeOutputPort(const RWWString& portName = RWWString("FAKE:"));
  ~FakeOutputPort() override;

  uint16_t startJob(const RWWString& jobName, int32_t withPjl) override;
  uint16_t write(const void* data, uint32_t length, uint32_t& written) override;
  uint16_t endJob() override;
  uint16_t abort() override;
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

#endif
