#ifndef RW_STARTUP_H
#define RW_STARTUP_H

// What a source file builds before the library is used and takes down
// after: class registrations, locks that must exist, the nil object.
//
//   RW_STARTUP(name, start, stop);
//
// at namespace scope names a start routine (run once, before the library is
// used) and a stop routine that undoes it (either may be null).
// RW_STARTUP_FIRST is the same for what the other entries rely on (locks,
// the per-thread managers): in the kernel driver its entries start before
// and stop after every RW_STARTUP entry. The macros are written the same way
// in both builds; what runs them differs:
//
// - In user mode the entry is a static object: start runs among the
//   library's static initialisers, stop when the library is unloaded or the
//   process ends.
// - In the kernel driver (RW_KERNEL_BUILD) nothing may run at load, and the
//   driver must start again after it was stopped. The entry is a constant
//   record placed in the section rw_startup; kernelRuntimeStartup walks the
//   section in link order (rw_startup_first, then rw_startup), runs each
//   start and registers each stop in the runtime's exit table, which
//   kernelRuntimeShutdown runs newest first.

struct RWStartupEntry {
  void (*start)();
  void (*stop)();
};

#ifdef RW_KERNEL_BUILD

#define RW_STARTUP_IN(section_, name, startRoutine, stopRoutine)                               \
  __attribute__((used, section(section_), aligned(alignof(RWStartupEntry)))) constinit const \
      RWStartupEntry name = {startRoutine, stopRoutine}
#define RW_STARTUP(name, startRoutine, stopRoutine) RW_STARTUP_IN("rw_startup", name, startRoutine, stopRoutine)
#define RW_STARTUP_FIRST(name, startRoutine, stopRoutine) \
  RW_STARTUP_IN("rw_startup_first", name, startRoutine, stopRoutine)

#else

class RWStartupRunner {
 public:
  RWStartupRunner(void (*start)(), void (*stop)()) : stop_(stop) {
    if (start) start();
  }
  ~RWStartupRunner() {
    if (stop_) stop_();
  }
  RWStartupRunner(const RWStartupRunner&) = delete;
  RWStartupRunner& operator=(const RWStartupRunner&) = delete;

 private:
  void (*stop_)();
};

#define RW_STARTUP(name, startRoutine, stopRoutine) const RWStartupRunner name(startRoutine, stopRoutine)
#define RW_STARTUP_FIRST(name, startRoutine, stopRoutine) RW_STARTUP(name, startRoutine, stopRoutine)

#endif

#endif
