#ifndef CORE_OUTPORT_H
#define CORE_OUTPORT_H

// Output ports, their providers and the provider registry.
//
// Everything sent to a printer leaves through an output port: a byte sink
// that knows whether a job is open, frames the job for the printer's job
// language when asked to, and counts what it wrote. Ports are not made
// directly: providers, registered by name in the one process-wide
// registry, are asked in turn, and the first port made wins.
//
// Statuses are 16-bit values, 0 for success.

#include <cstdint>
#include <vector>

#include "core/classids.h"
#include "core/perobj.h"
#include "rw/bufhelp.h"
#include "rw/cstring.h"
#include "rw/wstring.h"

struct KMFILE;
class GDriverInstance;

class GOutputPort {
 public:
  enum State : int32_t { kIdle = 0, kInJob = 1, kAborted = 2 };

  explicit GOutputPort(const RWWString& portName);
  virtual ~GOutputPort();
  GOutputPort(const GOutputPort&) = delete;
  GOutputPort& operator=(const GOutputPort&) = delete;

  // Opens a job; with withPjl nonzero it is framed by the universal exit
  // sequence and a PJL JOB line carrying the name (empty when the name is
  // not fit to be quoted in PJL). 1 on a busy or aborted port, which stays
  // as it was, and on a short write (the job counts as started).
  [[nodiscard]] virtual uint16_t startJob(const RWWString& jobName, int32_t withPjl);
  // Nonzero unless a job is open.
  virtual int32_t isStopped() const;
  [[nodiscard]] virtual uint16_t write(const void* data, uint32_t length, uint32_t& written) = 0;
  // The string's bytes, through write.
  [[nodiscard]] virtual uint16_t writeString(const RWCString& text, uint32_t& written);
  // Closes the job, with the EOJ framing when it was framed. 1 without an
  // open job, and on a short write (the job counts as ended).
  [[nodiscard]] virtual uint16_t endJob();
  // Ends an open job, then refuses every later job.
  [[nodiscard]] virtual uint16_t abort();
  // Nonzero while the port can take data.
  virtual int32_t open() = 0;

  int32_t isStarted() const { return state_ == kInJob; }
  uint32_t bytesWritten() const { return bytesWritten_; }
  const RWWString& portName() const { return portName_; }

 protected:
  int32_t pjlFraming_;
  uint32_t bytesWritten_;
  RWCString jobName_;
  RWWString portName_;
  int32_t state_;
};

// A port that writes a file named by the port name. The file is created
// (or emptied) when a job starts and closed when it ends.
class GFileOutputPort : public GOutputPort {
 public:
  explicit GFileOutputPort(const RWWString& portName);
  // Ends a job still open, with its framing.
  ~GFileOutputPort() override;

  // 1, touching nothing, on a busy or aborted port; 1 when the file cannot
  // be created (the port stays idle).
  [[nodiscard]] uint16_t startJob(const RWWString& jobName, int32_t withPjl) override;
  // Counts the bytes the file took; 1 outside a job or when not all were
  // taken.
  [[nodiscard]] uint16_t write(const void* data, uint32_t length, uint32_t& written) override;
  // The file stays open when the job could not be ended; 1 also when the
  // file would not close whole (its last bytes or its length not kept).
  [[nodiscard]] uint16_t endJob() override;
  // Closes the file without framing.
  [[nodiscard]] uint16_t abort() override;
  // No failure so far: true before the first job, false after a file that
  // would not open or a write it refused, until a job opens it anew.
  int32_t open() override;

 private:
  // Flushes and closes the file: false when either failed.
  [[nodiscard]] bool closeFile();

  KMFILE* file_;
  bool failed_;
};

// What a secondary provider makes: a place to store a printer's
// configuration through.
class GSecondaryPort {
 public:
  virtual ~GSecondaryPort();
  [[nodiscard]] virtual uint16_t storeConfiguration(MPersistentObject* configuration, int32_t flags) = 0;

 protected:
  GSecondaryPort() = default;
  GSecondaryPort(const GSecondaryPort&) = default;
  GSecondaryPort& operator=(const GSecondaryPort&) = default;
};

// The base of the providers. Capabilities are a mask: the low 16 bits are
// the kinds of port a provider makes, the high 16 bits the kinds of
// secondary object. Stored form of this level, after the root level: a
// version word (1), read back and ignored.
class GOutputPortProvider : public MPersistentObject {
  G_PERSISTENT_LEVEL(GOutputPortProvider)

 public:
  GOutputPortProvider() = default;
  explicit GOutputPortProvider(const uint32_t& id) : MPersistentObject(id) {}
  GOutputPortProvider(const GOutputPortProvider&) = default;
  GOutputPortProvider& operator=(const GOutputPortProvider&) = default;
  ~GOutputPortProvider() override;

  static RWClassID classIsA() { return ClassId::GOutputPortProvider; }
  static uint32_t version() { return 1; }

  GOutputPortProvider* newSpecies() const override = 0;
  GOutputPortProvider* copy() const override = 0;
  RWClassID isA() const override;

  RWBoolean isKindOf(RWClassID id) const override;
  // Providers are never alike, not even to themselves.
  RWBoolean matches(const MPersistentObject* other) const override;

  // Each answers a new object the caller owns, or null; the base makes none.
  virtual GSecondaryPort* createSecondaryPort(GDriverInstance* owner, const RWCString& entryName,
                                              uint32_t request, const RWWString& name);
  virtual GOutputPort* createPort(GDriverInstance* printer, const RWCString& entryName, uint32_t request,
                                  const RWWString& portName);
  virtual uint32_t capabilities() const = 0;
  // Nonzero when every bit of the mask is among the capabilities.
  virtual int32_t supports(uint32_t mask) const;
};

// Ports into the print spooler's job of a printer, made by the platform
// services; without a printer, a file port on the port name.
class GSpoolerProvider : public GOutputPortProvider {
  G_PERSISTENT_CLASS(GSpoolerProvider)

 public:
  GSpoolerProvider() = default;
  explicit GSpoolerProvider(const uint32_t& id) : GOutputPortProvider(id) {}
  GSpoolerProvider(const GSpoolerProvider&) = default;
  GSpoolerProvider& operator=(const GSpoolerProvider&) = default;
  ~GSpoolerProvider() override;

  static RWClassID classIsA() { return ClassId::GSpoolerProvider; }
  static uint32_t version() { return 1; }

  RWBoolean isKindOf(RWClassID id) const override;
  // Only itself.
  RWBoolean matches(const MPersistentObject* other) const override;

  GOutputPort* createPort(GDriverInstance* printer, const RWCString& entryName, uint32_t request,
                          const RWWString& portName) override;
  uint32_t capabilities() const override { return 3; }
};

RW_DECLARE_RESTORE_OPERATORS(GOutputPortProvider)
RW_DECLARE_RESTORE_OPERATORS(GSpoolerProvider)

// The process's providers by name. A provider whose capabilities have low
// bits is in the primary list, which makes ports; one with high bits in
// the secondary list; one with both in both. The registry never owns a
// provider. No lock: providers come and go while the driver is enabled or
// disabled, before and after any job.
class GOutputPortProviderRegistry {
 public:
  static GOutputPortProviderRegistry& instance();

  GOutputPortProviderRegistry() = default;
  GOutputPortProviderRegistry(const GOutputPortProviderRegistry&) = delete;
  GOutputPortProviderRegistry& operator=(const GOutputPortProviderRegistry&) = delete;

  // 1 when the name is taken in either list (the first provider stays);
  // otherwise 0 after entering the provider.
  int32_t add(GOutputPortProvider* provider, const RWCString& name);
  // Removes the name from both lists; answers 0.
  int32_t remove(const RWCString& name);
  // The primary list first, then the secondary; null when absent.
  GOutputPortProvider* find(const RWCString& name) const;
  // The first port made by a provider of the primary list, in registration
  // order, among those that support the request; null when none makes one.
  GOutputPort* createPort(GDriverInstance* printer, const RWWString& portName, uint32_t request) const;
  // The same over the secondary list.
  GSecondaryPort* createSecondaryPort(GDriverInstance* owner, const RWWString& name, uint32_t request) const;
  // Providers supporting the request: of the primary list when it has low
  // bits, plus those of the secondary list when it has high bits.
  uint32_t count(uint32_t request) const;

  // The kind of port a name stands for: 5 a network share ("\\server\q"),
  // 3 a parallel port ("LPT1", "lpt2:"), 4 a serial port ("COM1"), 2 the
  // file port "FILE:", 1 any other name ending in ':', 0 anything else.
  static int32_t classifyPortName(const RWWString& portName);

 private:
  struct Entry {
    RWCString name;
    GOutputPortProvider* provider;
  };
  // The driver's registry lives in the kernel driver too, whose operator new
  // answers null: the lists' allocator throws instead.
  using List = std::vector<Entry, RWCheckedAllocator<Entry>>;
  static const Entry* findIn(const List& list, const RWCString& name);

  List primary_;
  List secondary_;
};

#endif
