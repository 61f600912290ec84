#include "core/outport.h"

#include "core/osfactry.h"
#include "core/perclass.h"
#include "core/pjltext.h"
#include "core/textconv.h"
#include "rw/kmsys.h"

namespace {

// The universal exit sequence: leaves whatever language the printer is in.
const char* const kUel = "\x1b%-12345X";

uint16_t writeAll(GOutputPort& port, const RWCString& text) {
  uint32_t written = 0;
  (void)port.writeString(text, written);  // the count says whether all went
  return written < text.length() ? 1 : 0;
}

char lowered(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool startsWithNoCase(const RWCString& text, const char* prefix) {
  for (RWsize i = 0; prefix[i]; ++i)
    if (i >= text.length() || lowered(text[i]) != prefix[i]) return false;
  return true;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// "lpt1", "LPT1:": the device prefix, one digit, and at most a colon.
bool isNumberedDevice(const RWCString& name, const char* prefix) {
  if (!startsWithNoCase(name, prefix)) return false;
  RWsize n = name.length();
  if (n == 4) return isDigit(name[3]);
  if (n == 5) return isDigit(name[3]) && name[4] == ':';
  return false;
}

}  // namespace

// ---- GOutputPort -------------------------------------------------------------------

GOutputPort::GOutputPort(const RWWString& portName)
    : pjlFraming_(0), bytesWritten_(0), portName_(portName), state_(kIdle) {}

GOutputPort::~GOutputPort() = default;

uint16_t GOutputPort::startJob(const RWWString& jobName, int32_t withPjl) {
  if (state_ != kIdle) return 1;
  RWCString narrow;
  convertToNarrow(jobName, narrow);
  // The name goes between quotes in the JOB and EOJ lines; one that could
  // end the quotes or the line is not sent at all.
  jobName_ = isValidPjlText(narrow) ? narrow : RWCString();
  pjlFraming_ = withPjl;
  state_ = kInJob;
  if (!pjlFraming_) return 0;
  RWCString header(kUel);
  header += "@PJL JOB NAME=\"";
  header += jobName_;
  header += "\"\r\n";
  return writeAll(*this, header);
}

int32_t GOutputPort::isStopped() const { return state_ != kInJob; }

uint16_t GOutputPort::writeString(const RWCString& text, uint32_t& written) {
  return write(text.data(), text.length(), written);
}

uint16_t GOutputPort::endJob() {
  if (state_ != kInJob) return 1;
  if (!pjlFraming_) {
    state_ = kIdle;
    return 0;
  }
  RWCString trailer(kUel);
  trailer += "@PJL EOJ NAME=\"";
  trailer += jobName_;
  trailer += "\"\r\n";
  trailer += kUel;
  uint16_t status = writeAll(*this, trailer);
  state_ = kIdle;
  return status;
}

uint16_t GOutputPort::abort() {
  // The job is given up either way: how its end went does not matter.
  if (state_ == kInJob) (void)endJob();
  state_ = kAborted;
  return 0;
}

// ---- GFileOutputPort ---------------------------------------------------------------

GFileOutputPort::GFileOutputPort(const RWWString& portName)
    : GOutputPort(portName), file_(nullptr), failed_(false) {}

GFileOutputPort::~GFileOutputPort() {
  // Nobody is left to hear of a failure.
  if (state_ == kInJob) (void)GFileOutputPort::endJob();
  (void)closeFile();
}

bool GFileOutputPort::closeFile() {
  if (!file_) return true;
  const bool flushed = KMFileFlush(file_) == 0;
  const bool closed = KMFileClose(file_) == 0;
  file_ = nullptr;
  return flushed && closed;
}

uint16_t GFileOutputPort::startJob(const RWWString& jobName, int32_t withPjl) {
  // Before anything else: a busy port's file holds a job being written.
  if (state_ != kIdle) return 1;
  bytesWritten_ = 0;
  // A file left open by a job that could not be ended is done with; that
  // job was answered its failure already.
  (void)closeFile();
  RWCString name;
  convertToNarrow(portName_, name);
  file_ = KMMapFileOpen(name.data(), "wb");
  failed_ = file_ == nullptr;
  if (failed_) return 1;
  return GOutputPort::startJob(jobName, withPjl);
}

uint16_t GFileOutputPort::write(const void* data, uint32_t length, uint32_t& written) {
  written = 0;
  if (state_ != kInJob) return 1;
  if (!file_) {
    failed_ = true;
    return 1;
  }
  written = static_cast<uint32_t>(KMFileWrite(data, 1, length, file_));
  bytesWritten_ += written;
  if (written < length || (KMFileFlags(file_) & KMFILE_ERR)) failed_ = true;
  return failed_ ? 1 : 0;
}

uint16_t GFileOutputPort::endJob() {
  if (GOutputPort::endJob() != 0) return 1;
  // A file that does not close whole is not the job that was written.
  if (closeFile()) return 0;
  failed_ = true;
  return 1;
}

uint16_t GFileOutputPort::abort() {
  // The job is given up either way: what the file kept does not matter.
  (void)closeFile();
  state_ = kAborted;
  return 0;
}

int32_t GFileOutputPort::open() { return failed_ ? 0 : 1; }

// ---- GSecondaryPort ----------------------------------------------------------------

GSecondaryPort::~GSecondaryPort() = default;

// ---- GOutputPortProvider -----------------------------------------------------------

// Abstract: no factory makes one, so only its level is defined here.
G_DEFINE_PERSISTENT_LEVEL(GOutputPortProvider, MPersistentObject)
RW_DEFINE_RESTORE_OPERATORS(GOutputPortProvider)
G_DEFINE_PERSISTENT(GSpoolerProvider, GOutputPortProvider)

GOutputPortProvider::~GOutputPortProvider() = default;

RWClassID GOutputPortProvider::isA() const { return classIsA(); }

RWspace GOutputPortProvider::levelStoreSize() const { return 4; }

template <class Sink>
void GOutputPortProvider::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
}

template <class Source>
void GOutputPortProvider::restoreLevel(Source& source) {
  uint32_t stored = 0;
  gRead(source, stored);  // no fields follow, whatever the version
}

RWBoolean GOutputPortProvider::isKindOf(RWClassID id) const {
  return id == classIsA() || MPersistentObject::isKindOf(id);
}

RWBoolean GOutputPortProvider::matches(const MPersistentObject*) const { return FALSE; }

GSecondaryPort* GOutputPortProvider::createSecondaryPort(GDriverInstance*, const RWCString&, uint32_t,
                                                         const RWWString&) {
  return nullptr;
}

GOutputPort* GOutputPortProvider::createPort(GDriverInstance*, const RWCString&, uint32_t, const RWWString&) {
  return nullptr;
}

int32_t GOutputPortProvider::supports(uint32_t mask) const { return (mask & ~capabilities()) == 0 ? 1 : 0; }

// ---- GSpoolerProvider --------------------------------------------------------------

GSpoolerProvider::~GSpoolerProvider() = default;

RWspace GSpoolerProvider::levelStoreSize() const { return 4; }

template <class Sink>
void GSpoolerProvider::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
}

template <class Source>
void GSpoolerProvider::restoreLevel(Source& source) {
  uint32_t stored = 0;
  gRead(source, stored);  // no fields follow, whatever the version
}

RWBoolean GSpoolerProvider::isKindOf(RWClassID id) const {
  return id == classIsA() || GOutputPortProvider::isKindOf(id);
}

RWBoolean GSpoolerProvider::matches(const MPersistentObject* other) const { return other == this; }

GOutputPort* GSpoolerProvider::createPort(GDriverInstance* printer, const RWCString&, uint32_t request,
                                          const RWWString& portName) {
  if (!printer) return new GFileOutputPort(portName);
  GOSFactory* factory = GOSFactory::instance();
  return factory ? factory->createSpoolerPort(printer, portName, request) : nullptr;
}

// ---- GOutputPortProviderRegistry ---------------------------------------------------

GOutputPortProviderRegistry& GOutputPortProviderRegistry::instance() {
  static GOutputPortProviderRegistry registry;
  return registry;
}

const GOutputPortProviderRegistry::Entry* GOutputPortProviderRegistry::findIn(const List& list,
                                                                              const RWCString& name) {
  for (const Entry& e : list)
    if (e.name.length() == name.length() && e.name == name) return &e;
  return nullptr;
}

int32_t GOutputPortProviderRegistry::add(GOutputPortProvider* provider, const RWCString& name) {
  if (!provider) return 1;
  if (findIn(primary_, name) || findIn(secondary_, name)) return 1;
  uint32_t mask = provider->capabilities();
  // Room in both lists first: running out of memory adds the provider to
  // neither (std::bad_alloc).
  if (mask & 0xFFFFu) primary_.reserve(primary_.size() + 1);
  if (mask & ~0xFFFFu) secondary_.reserve(secondary_.size() + 1);
  if (mask & 0xFFFFu) primary_.push_back(Entry{name, provider});
  if (mask & ~0xFFFFu) secondary_.push_back(Entry{name, provider});
  return 0;
}

int32_t GOutputPortProviderRegistry::remove(const RWCString& name) {
  for (List* list : {&primary_, &secondary_}) {
    for (auto it = list->begin(); it != list->end(); ++it) {
      if (it->name.length() == name.length() && it->name == name) {
        list->erase(it);
        break;
      }
    }
    // The last provider gone, the list gives its storage back: the kernel
    // driver's heap must hold nothing of the registry once it is disabled.
    if (list->empty()) List().swap(*list);
  }
  return 0;
}

GOutputPortProvider* GOutputPortProviderRegistry::find(const RWCString& name) const {
  const Entry* e = findIn(primary_, name);
  if (!e) e = findIn(secondary_, name);
  return e ? e->provider : nullptr;
}

GOutputPort* GOutputPortProviderRegistry::createPort(GDriverInstance* printer, const RWWString& portName,
                                                     uint32_t request) const {
  for (const Entry& e : primary_) {
    if (!e.provider->supports(request)) continue;
    if (GOutputPort* port = e.provider->createPort(printer, e.name, request, portName)) return port;
  }
  return nullptr;
}

GSecondaryPort* GOutputPortProviderRegistry::createSecondaryPort(GDriverInstance* owner, const RWWString& name,
                                                                 uint32_t request) const {
  for (const Entry& e : secondary_) {
    if (!e.provider->supports(request)) continue;
    if (GSecondaryPort* port = e.provider->createSecondaryPort(owner, e.name, request, name)) return port;
  }
  return nullptr;
}

uint32_t GOutputPortProviderRegistry::count(uint32_t request) const {
  uint32_t n = 0;
  if (request & 0xFFFFu)
    for (const Entry& e : primary_) n += e.provider->supports(request) ? 1 : 0;
  if (request > 0xFFFFu)
    for (const Entry& e : secondary_) n += e.provider->supports(request) ? 1 : 0;
  return n;
}

int32_t GOutputPortProviderRegistry::classifyPortName(const RWWString& portName) {
  RWCString name;
  convertToNarrow(portName, name);
  if (name.length() >= 2 && name[0] == '\\' && name[1] == '\\') return 5;
  if (isNumberedDevice(name, "lpt")) return 3;
  if (isNumberedDevice(name, "com")) return 4;
  if (name.length() == 5 && startsWithNoCase(name, "file:")) return 2;
  if (name.length() > 0 && name[name.length() - 1] == ':') return 1;
  return 0;
}
