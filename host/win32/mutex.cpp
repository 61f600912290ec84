#include "host/win32/mutex.h"

#include <condition_variable>
#include <mutex>
#include <thread>

struct HostMutex::State {
  std::mutex lock;
  std::condition_variable freed;
  std::thread::id owner;
  uint32_t depth = 0;
};

HostMutex::HostMutex() : state_(new State) {}
HostMutex::~HostMutex() = default;

int HostMutex::acquire() {
  std::unique_lock<std::mutex> guard(state_->lock);
  std::thread::id me = std::this_thread::get_id();
  if (state_->depth && state_->owner == me) {
    ++state_->depth;
    return 0;
  }
  state_->freed.wait(guard, [this] { return state_->depth == 0; });
  state_->owner = me;
  state_->depth = 1;
  return 0;
}

int HostMutex::release() {
  std::unique_lock<std::mutex> guard(state_->lock);
  if (state_->depth == 0 || state_->owner != std::this_thread::get_id()) return -2;
  if (--state_->depth == 0) {
    state_->owner = std::thread::id();
    guard.unlock();
    state_->freed.notify_one();
  }
  return 0;
}
