#include "host/win32/osfactory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <vector>

#include "core/locale.h"
#include "core/osversn.h"
#include "core/setstore.h"
#include "host/win32/charset.h"
#include "host/win32/mutex.h"
#include "host/win32/paths.h"
#include "host/win32/values.h"
#include "host/win32/version.h"

namespace {

// A folder without its trailing separators (a bare root stays).
RWWString withoutTrailingSeparator(RWWString path) {
  while (path.length() > 1 && (path(path.length() - 1) == u'\\' || path(path.length() - 1) == u'/'))
    path = RWWString(path.data(), path.length() - 1);
  return path;
}

}  // namespace

GOSFactoryHost::GOSFactoryHost(const HostOptions& options) : options_(options) {
  if (!options_.values) options_.values = std::make_shared<MemoryValueStores>();
  // Folders given in the file system's form are kept in the framework's.
  options_.temporaryDirectory = logicalPath(hostPath(options_.temporaryDirectory));
  options_.driverDirectory = logicalPath(hostPath(options_.driverDirectory));
  options_.configurationFile = logicalPath(hostPath(options_.configurationFile));
  if (!options_.versionQueries) options_.versionQueries = std::make_shared<HostVersionQueries>();
}

GOSFactoryHost::~GOSFactoryHost() {
  if (GOSVersion::queries() == options_.versionQueries.get()) GOSVersion::setQueries(nullptr);
  if (!ownTemporary_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(ownTemporary_, ec);
  }
}

GDriverInstance* GOSFactoryHost::createInterfaceInstance(GPrinterDescription* description) {
  return options_.makers.interfaceInstance ? options_.makers.interfaceInstance(description) : nullptr;
}

GDevice* GOSFactoryHost::createDeviceInstance(GPrinterDescription* description) {
  return options_.makers.device ? options_.makers.device(description) : nullptr;
}

GFontMetrics* GOSFactoryHost::createFontMetrics(GDevice* device) {
  return options_.makers.fontMetrics ? options_.makers.fontMetrics(device) : nullptr;
}

GOutputPort* GOSFactoryHost::createSpoolerPort(GDriverInstance* printer, const RWWString& portName, uint32_t flags) {
  return options_.makers.spoolerPort ? options_.makers.spoolerPort(printer, portName, flags) : nullptr;
}
GBitmapGlyphSet* GOSFactoryHost::createBitmapGlyphSet() { return nullptr; }
MPersistentObject* GOSFactoryHost::createFontHelper() { return nullptr; }
GSettingsStore* GOSFactoryHost::createSettingsStore(GDriverInstance* owner) {
  return new (std::nothrow) GOSFactorySettingsStore(owner);
}

HostMoment GOSFactoryHost::now() const {
  if (options_.clock) return options_.clock();
  HostMoment m;
  using namespace std::chrono;
  m.utcMilliseconds = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  time_t t = static_cast<time_t>(m.utcMilliseconds / 1000);
  struct tm local;
  if (localtime_r(&t, &local)) m.offsetMinutes = static_cast<int16_t>(local.tm_gmtoff / 60);
  return m;
}

namespace {

GTimeRecord recordOf(int64_t milliseconds) {
  int64_t seconds = milliseconds / 1000;
  int64_t ms = milliseconds % 1000;
  if (ms < 0) {
    ms += 1000;
    --seconds;
  }
  time_t t = static_cast<time_t>(seconds);
  struct tm fields;
  GTimeRecord r;
  if (!gmtime_r(&t, &fields)) return r;
  r.year = static_cast<uint16_t>(fields.tm_year + 1900);
  r.month = static_cast<uint16_t>(fields.tm_mon + 1);
  r.day = static_cast<uint16_t>(fields.tm_mday);
  r.hour = static_cast<uint16_t>(fields.tm_hour);
  r.minute = static_cast<uint16_t>(fields.tm_min);
  r.second = static_cast<uint16_t>(fields.tm_sec);
  r.milliseconds = static_cast<uint16_t>(ms);
  r.weekday = static_cast<uint16_t>(fields.tm_wday);
  return r;
}

}  // namespace

int GOSFactoryHost::currentTime(GTimeRecord& local, GTimeRecord& gmt, int16_t& offset) {
  HostMoment m = now();
  gmt = recordOf(m.utcMilliseconds);
  local = recordOf(m.utcMilliseconds + int64_t{m.offsetMinutes} * 60000);
  offset = m.offsetMinutes;
  return 1;
}

GCharsetConverter* GOSFactoryHost::createCharsetConverter() { return new (std::nothrow) HostCharsetConverter; }

GInputStream* GOSFactoryHost::createInputStream(const void* data, uint32_t length, int32_t format) {
  return new (std::nothrow) GStdInputStream(data, length, format);
}

namespace {

bool knownFormat(int32_t format) {
  return format == kPortableStream || format == kBinaryStream || format == kEndianStream;
}

}  // namespace

GInputStream* GOSFactoryHost::createInputStream(const RWWString& path, int32_t format) {
  std::ifstream* file = nullptr;
  if (knownFormat(format)) file = new std::ifstream(hostPath(path), std::ios::in | std::ios::binary);
  return new (std::nothrow) GStdInputStream(file, format);
}

GOutputStream* GOSFactoryHost::createOutputStream(void* buffer, uint32_t size, int32_t format) {
  return new (std::nothrow) GStdOutputStream(buffer, size, format);
}

GOutputStream* GOSFactoryHost::createOutputStream(const RWWString& path, int32_t format) {
  // A format that makes no stream leaves the file alone.
  std::ofstream* file = nullptr;
  if (knownFormat(format))
    file = new std::ofstream(hostPath(path), std::ios::out | std::ios::trunc | std::ios::binary);
  return new (std::nothrow) GStdOutputStream(file, format);
}

RWWString& GOSFactoryHost::configurationFileName(RWWString& out, GDriverInstance* owner) {
  out = options_.makers.configurationFile ? options_.makers.configurationFile(owner) : RWWString();
  if (out.isNull()) out = options_.configurationFile;
  return out;
}

GLocaleInfo* GOSFactoryHost::createLocaleInfo() { return new (std::nothrow) GLocaleInfo; }

RWWString& GOSFactoryHost::temporaryDirectory(RWWString& out, GDriverInstance* owner) {
  RWWString named;
  getString(named, owner, RWWString(u"TempDirectoryLocation"), RWWString());
  if (!named.isNull()) {
    out = withoutTrailingSeparator(named);
    return out;
  }
  if (!options_.temporaryDirectory.isNull()) {
    out = withoutTrailingSeparator(options_.temporaryDirectory);
    return out;
  }
  if (ownTemporary_.empty()) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp");
    while (pattern.size() > 1 && pattern.back() == '/') pattern.pop_back();
    pattern += "/qxdriver-" + std::to_string(getpid()) + "-XXXXXX";
    std::vector<char> work(pattern.begin(), pattern.end());
    work.push_back('\0');
    if (mkdtemp(work.data())) ownTemporary_ = work.data();
  }
  out = logicalPath(ownTemporary_);
  return out;
}

RWWString& GOSFactoryHost::driverDirectory(RWWString& out) {
  if (!options_.driverDirectory.isNull()) {
    out = withoutTrailingSeparator(options_.driverDirectory);
    return out;
  }
  std::error_code ec;
  std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
  out = ec ? RWWString() : logicalPath(program.parent_path().string());
  return out;
}

void GOSFactoryHost::fixRandomSeed(uint32_t seed) {
  seedFixed_ = true;
  fixedSeed_ = seed;
  seed_ = seed;
}

int GOSFactoryHost::seedRandom() {
  if (seedFixed_) {
    seed_ = fixedSeed_;
    return 1;
  }
  GTimeRecord local, gmt;
  int16_t offset = 0;
  currentTime(local, gmt, offset);
  seed_ = uint32_t{local.day} << 27 | uint32_t{local.hour} << 22 | uint32_t{local.minute} << 16 |
          uint32_t{local.second} << 10 | local.milliseconds;
  return 1;
}

int GOSFactoryHost::nextRandom() {
  seed_ = seed_ * 22695477u + 1u;
  return static_cast<int>((seed_ >> 16) & 0x7FFF);
}

int GOSFactoryHost::fileExists(const RWWString& path) {
  struct stat st;
  return ::stat(hostPath(path).c_str(), &st) == 0 ? 1 : 0;
}

int GOSFactoryHost::canCreateFile(const RWWString& path) {
  std::string name = hostPath(path);
  struct stat st;
  if (::stat(name.c_str(), &st) == 0) return S_ISREG(st.st_mode) && ::access(name.c_str(), W_OK) == 0 ? 1 : 0;
  int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return 0;
  ::close(fd);
  ::unlink(name.c_str());
  return 1;
}

HostValueStore* GOSFactoryHost::storeFor(GDriverInstance* owner) { return options_.values->storeFor(owner); }

int GOSFactoryHost::putULong(GDriverInstance* owner, const RWWString& name, uint32_t value) {
  HostValueStore* s = storeFor(owner);
  return s ? s->putULong(name, value) : 0;
}

int GOSFactoryHost::putString(GDriverInstance* owner, const RWWString& name, const RWWString& value) {
  HostValueStore* s = storeFor(owner);
  return s ? s->putString(name, value) : 0;
}

int GOSFactoryHost::putBinary(GDriverInstance* owner, const RWWString& name, const void* data, uint32_t length) {
  HostValueStore* s = storeFor(owner);
  return s ? s->putBinary(name, data, length) : 0;
}

uint32_t GOSFactoryHost::getULong(GDriverInstance* owner, const RWWString& name, uint32_t defaultValue) {
  HostValueStore* s = storeFor(owner);
  uint32_t v = defaultValue;
  return s && s->getULong(name, v) ? v : defaultValue;
}

RWWString& GOSFactoryHost::getString(RWWString& out, GDriverInstance* owner, const RWWString& name,
                                     const RWWString& defaultValue) {
  HostValueStore* s = storeFor(owner);
  RWWString v;
  out = s && s->getString(name, v) ? v : defaultValue;
  return out;
}

int GOSFactoryHost::getBinary(GDriverInstance* owner, const RWWString& name, void* buffer, uint32_t capacity,
                              uint32_t& length) {
  HostValueStore* s = storeFor(owner);
  return s ? s->getBinary(name, buffer, capacity, length) : 0;
}

RWWString GOSFactoryHost::reservedEcho(const RWWString& text) { return text; }
uint32_t GOSFactoryHost::reservedThird(uint32_t, uint32_t, uint32_t third) { return third; }
int GOSFactoryHost::reservedZero() { return 0; }

GOSMutex* GOSFactoryHost::createMutex() { return new (std::nothrow) HostMutex; }
