#ifndef HOST_WIN32_MUTEX_H
#define HOST_WIN32_MUTEX_H

// The lock the factory makes for the framework.

#include <memory>

#include "core/osfactry.h"

// A re-entrant lock with a real recursion count: release by a thread that
// does not hold it answers -2.
class HostMutex : public GOSMutex {
 public:
  HostMutex();
  ~HostMutex() override;
  int release() override;
  int acquire() override;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

#endif
