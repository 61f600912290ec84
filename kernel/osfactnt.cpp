#include "kernel/osfactnt.h"

#include <new>

#include "core/locale.h"
#include "core/osversn.h"
#include "core/setstore.h"
#include "host/engine/ddi.h"
#include "kernel/charset.h"
#include "kernel/kmfile.h"
#include "kernel/prndevnt.h"
#include "kernel/prtdata.h"
#include "kernel/spoolprt.h"
#include "kernel/streamnt.h"

namespace {

// The generator of nextRandom, one for the process; shared without a lock,
// as a few lost updates only make the numbers less predictable.
uint32_t randomSeed = 0;

// The factory gInstallPlatformNT made, while it lives.
GOSFactoryNT* installedFactory = nullptr;

constexpr int32_t kMinutesPerDay = 24 * 60;

// The spooler's handle of the owner's printer; null when the owner has no
// printer.
HANDLE printerOf(GDriverInstance* owner) {
  GPrinterOwnerNT* printer = GPrinterOwnerNT::of(owner);
  return printer ? printer->printerHandle() : nullptr;
}

// Days since 1 January 1970 of a date of the proleptic Gregorian calendar,
// and back; month 1 to 12.
int64_t daysFromCivil(int64_t year, uint32_t month, uint32_t day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto yearOfEra = static_cast<uint32_t>(year - era * 400);
  const uint32_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const uint32_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

void civilFromDays(int64_t days, int64_t& year, uint32_t& month, uint32_t& day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto dayOfEra = static_cast<uint32_t>(days - era * 146097);
  const uint32_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const uint32_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const uint32_t shifted = (5 * dayOfYear + 2) / 153;
  day = dayOfYear - (153 * shifted + 2) / 5 + 1;
  month = shifted < 10 ? shifted + 3 : shifted - 9;
  year = static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2);
}

int64_t floorDiv(int64_t a, int64_t b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); }

// Moves a record by whole days: the date along the calendar, the weekday
// with it. A record whose date is no date, or would leave the record's
// years, keeps its date.
void shiftDays(GTimeRecord& record, int64_t days) {
  if (days == 0 || record.month < 1 || record.month > 12 || record.day < 1) return;
  int64_t year = 0;
  uint32_t month = 0, day = 0;
  civilFromDays(daysFromCivil(record.year, record.month, record.day) + days, year, month, day);
  if (year < 0 || year > UINT16_MAX) return;
  record.year = static_cast<uint16_t>(year);
  record.month = static_cast<uint16_t>(month);
  record.day = static_cast<uint16_t>(day);
  record.weekday = static_cast<uint16_t>(((record.weekday + days) % 7 + 7) % 7);
}

}  // namespace

GOSFactoryNT::GOSFactoryNT() = default;

GOSFactoryNT::~GOSFactoryNT() {
  if (installedFactory == this) installedFactory = nullptr;
}

// ---- instances and devices --------------------------------------------------------

// The user interface never runs in the kernel.
GDriverInstance* GOSFactoryNT::createInterfaceInstance(GPrinterDescription*) { return nullptr; }

// Only a description of the engine's device makes a device: the kernel
// prints on nothing else.
GDevice* GOSFactoryNT::createDeviceInstance(GPrinterDescription* description) {
  const auto* nt = dynamic_cast<const GDeviceDescriptionNT*>(description);
  return nt ? new (std::nothrow) GPrinterDeviceNT(*nt) : nullptr;
}

// The error device refuses the engine's calls in place of the device it
// wraps, which stays its owner's; a device that is not the kernel's gets
// the base's answer.
GDevice* GOSFactoryNT::createErrorDevice(GDevice* device) {
  if (auto* nt = dynamic_cast<GDeviceNT*>(device)) return new (std::nothrow) GErrorDeviceNT(nt);
  return GOSFactory::createErrorDevice(device);
}

// The per-device metrics helper comes with the kernel's font metrics; until
// then the device keeps none.
GFontMetrics* GOSFactoryNT::createFontMetrics(GDevice*) { return nullptr; }

GBitmapGlyphSet* GOSFactoryNT::createBitmapGlyphSet() { return nullptr; }

MPersistentObject* GOSFactoryNT::createFontHelper() { return nullptr; }

GCharsetConverter* GOSFactoryNT::createCharsetConverter() { return new (std::nothrow) GCharsetConverterNT; }

GLocaleInfo* GOSFactoryNT::createLocaleInfo() { return new (std::nothrow) GLocaleInfo; }

GSettingsStore* GOSFactoryNT::createSettingsStore(GDriverInstance* owner) {
  return new (std::nothrow) GOSFactorySettingsStore(owner);
}

GOSMutex* GOSFactoryNT::createMutex() { return new (std::nothrow) GEngineLockNT; }

// ---- time, version and random numbers ------------------------------------------

int GOSFactoryNT::currentTime(GTimeRecord& local, GTimeRecord& gmt, int16_t& offset) {
  ENG_TIME_FIELDS now{};
  EngQueryLocalTime(&now);
  local = GTimeRecord();
  local.year = now.usYear;
  local.month = now.usMonth;
  local.day = now.usDay;
  local.hour = now.usHour;
  local.minute = now.usMinute;
  local.second = now.usSecond;
  local.weekday = now.usWeekday;
  offset = gmtOffset_;

  // The same moment in GMT: the offset is taken off the time of day, and
  // whatever that carries over midnight moves the date (and weekday) too.
  gmt = local;
  const int64_t minutes = int64_t{local.hour} * 60 + local.minute - gmtOffset_;
  const int64_t days = floorDiv(minutes, kMinutesPerDay);
  const int64_t inDay = minutes - days * kMinutesPerDay;
  gmt.hour = static_cast<uint16_t>(inDay / 60);
  gmt.minute = static_cast<uint16_t>(inDay % 60);
  shiftDays(gmt, days);
  return 1;
}

void GOSFactoryNT::setTimeZoneOffset(int16_t minutes) { gmtOffset_ = minutes; }

GOSVersion& GOSFactoryNT::osVersion(GOSVersion& version) {
  version = GOSVersion(8, engineVersion_ < 0x30000 ? 0x40000u : 0x50000u, engineVersion_);
  return version;
}

void GOSFactoryNT::setEngineVersion(uint32_t version) { engineVersion_ = version; }

int GOSFactoryNT::seedRandom() {
  ENG_TIME_FIELDS now{};
  EngQueryLocalTime(&now);
  randomSeed = uint32_t{now.usDay} << 27 | uint32_t{now.usHour} << 22 | uint32_t{now.usMinute} << 16 |
               uint32_t{now.usSecond} << 10 | now.usMilliseconds;
  return 1;
}

int GOSFactoryNT::nextRandom() {
  randomSeed = randomSeed * 22695477u + 1u;
  return static_cast<int>((randomSeed >> 16) & 0x7FFF);
}

// ---- ports and streams ---------------------------------------------------------------

GOutputPort* GOSFactoryNT::createSpoolerPort(GDriverInstance* printer, const RWWString& portName, uint32_t) {
  return new (std::nothrow) GSpoolerOutputPortNT(printerOf(printer), portName);
}

GInputStream* GOSFactoryNT::createInputStream(const void* data, uint32_t length, int32_t format) {
  return new (std::nothrow) GInputStreamNT(data, length, format);
}

GInputStream* GOSFactoryNT::createInputStream(const RWWString& path, int32_t format) {
  return new (std::nothrow) GInputStreamNT(path, format);
}

GOutputStream* GOSFactoryNT::createOutputStream(void* buffer, uint32_t size, int32_t format) {
  return new (std::nothrow) GOutputStreamNT(buffer, size, format);
}

GOutputStream* GOSFactoryNT::createOutputStream(const RWWString& path, int32_t format) {
  return new (std::nothrow) GOutputStreamNT(path, format);
}

// ---- files and folders -------------------------------------------------------------

RWWString& GOSFactoryNT::configurationFileName(RWWString& out, GDriverInstance* owner) {
  GPrinterOwnerNT* printer = GPrinterOwnerNT::of(owner);
  out = printer ? printer->printerDataFileName() : RWWString();
  return out;
}

RWWString& GOSFactoryNT::temporaryDirectory(RWWString& out, GDriverInstance* owner) {
  RWWString named;
  GPrinterDataNT(printerOf(owner)).getString(named, RWWString(u"TempDirectoryLocation"), RWWString());
  // Callers append the separator themselves.
  const RWwchar separator = pathSeparator();
  RWsize n = named.length();
  while (n > 1 && named(n - 1) == separator) --n;
  out = n == 0 ? RWWString(kDefaultTemporaryDirectory) : RWWString(named.data(), n);
  return out;
}

RWWString& GOSFactoryNT::driverDirectory(RWWString& out) {
  // The cache stays empty while the engine has no answer, so a later call
  // asks again.
  if (name_.isNull()) {
    WCHAR image[MAX_PATH + 1] = {};
    HANDLE module = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(moduleWord_));
    if (EngGetFilePath(module, &image)) {
      image[MAX_PATH] = 0;
      RWWString path(image);
      RWsize cut = path.last(pathSeparator());
      if (cut != RW_NPOS) name_ = RWWString(path.data(), cut);
    }
  }
  out = name_;
  return out;
}

int GOSFactoryNT::fileExists(const RWWString& path) {
  WCHAR* name = kmFileName(path);
  HANDLE module = name ? EngLoadModule(name) : nullptr;
  if (!module) return 0;
  EngFreeModule(module);
  return 1;
}

int GOSFactoryNT::canCreateFile(const RWWString& path) {
  WCHAR* name = kmFileName(path);
  if (!name) return 0;
  if (HANDLE existing = EngLoadModule(name)) {
    EngFreeModule(existing);
    // Opened for writing with size 0, which keeps the file as it is: any
    // other size would make the file that long.
    HANDLE writable = EngLoadModuleForWrite(name, 0);
    if (!writable) return 0;
    EngFreeModule(writable);
    return 1;
  }
  // A missing file is created and deleted again, so that asking leaves
  // nothing behind.
  HANDLE file = KMOpenW(name, KM_O_WRONLY | KM_O_CREAT | KM_O_EXCL | KM_O_BINARY, KM_S_IWRITE);
  if (!file) return 0;
  // The probe is answered: a file it leaves behind is empty and harmless.
  (void)KMClose(file);
  (void)KMFileDeleteW(name);
  return 1;
}

// ---- named values ----------------------------------------------------------------

int GOSFactoryNT::putULong(GDriverInstance* owner, const RWWString& name, uint32_t value) {
  return GPrinterDataNT(printerOf(owner)).putNumber(name, value);
}

int GOSFactoryNT::putString(GDriverInstance* owner, const RWWString& name, const RWWString& value) {
  return GPrinterDataNT(printerOf(owner)).putString(name, value);
}

int GOSFactoryNT::putBinary(GDriverInstance* owner, const RWWString& name, const void* data, uint32_t length) {
  return GPrinterDataNT(printerOf(owner)).putBinary(name, data, length);
}

uint32_t GOSFactoryNT::getULong(GDriverInstance* owner, const RWWString& name, uint32_t defaultValue) {
  return GPrinterDataNT(printerOf(owner)).getNumber(name, defaultValue);
}

RWWString& GOSFactoryNT::getString(RWWString& out, GDriverInstance* owner, const RWWString& name,
                                   const RWWString& defaultValue) {
  return GPrinterDataNT(printerOf(owner)).getString(out, name, defaultValue);
}

int GOSFactoryNT::getBinary(GDriverInstance* owner, const RWWString& name, void* buffer, uint32_t capacity,
                            uint32_t& length) {
  return GPrinterDataNT(printerOf(owner)).getBinary(name, buffer, capacity, length);
}

// ---- the places nothing calls -------------------------------------------------------

RWWString GOSFactoryNT::reservedEcho(const RWWString& text) { return text; }
uint32_t GOSFactoryNT::reservedThird(uint32_t, uint32_t, uint32_t third) { return third; }
int GOSFactoryNT::reservedZero() { return 0; }

// ---- installation ----------------------------------------------------------------------

GOSFactoryNT* gInstallPlatformNT(uint32_t engineVersion) {
  // Construction makes it the held factory and deletes an earlier one,
  // which takes the earlier factory lock and instance with it.
  GOSFactoryNT* factory = new (std::nothrow) GOSFactoryNT;
  if (!factory) return nullptr;
  GOSMutex* lock = factory->createMutex();
  if (!lock) {
    delete factory;
    return nullptr;
  }
  GOSFactory::factoryLock = lock;
  GOSFactory::theInstance = factory;
  factory->setEngineVersion(engineVersion);
  installedFactory = factory;
  return factory;
}

void gRemovePlatformNT() {
  GOSFactoryNT* factory = installedFactory;
  if (!factory) return;
  if (GOSFactory::theInstance == factory) GOSFactory::theInstance = nullptr;
  delete GOSFactory::factoryLock;
  GOSFactory::factoryLock = nullptr;
  delete factory;
}
