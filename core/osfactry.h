#ifndef CORE_OSFACTRY_H
#define CORE_OSFACTRY_H

// The platform services.
//
// GOSFactory is the one process-wide object through which the framework
// reaches everything that depends on the operating system: driver
// instances and devices, font helpers, the character-set converter, byte
// streams over memory or files, locks, the time of day, the system version,
// directories, temporary names, random numbers, raw memory, and the values
// kept with each printer. The core library defines the interface and
// implements a few operations on top of the others; it never makes a
// concrete factory. The process that loads the library (or the kernel-mode
// driver) installs one:
//
//   1. construct the concrete factory: the base constructor deletes any
//      earlier held factory and makes this one the held factory;
//   2. store the factory's own createMutex() in GOSFactory::factoryLock;
//   3. store the factory in GOSFactory::theInstance;
//   4. register the output-port providers;
//   5. optionally install the memory reserve (installNewHandler).
//
// Removal runs the steps in reverse. Code that finds no instance treats the
// platform as absent.
//
// Paths inside the framework use the backslash as separator (see
// pathSeparator); a concrete factory maps them to its file system in one
// place.
//
// Virtual slots, in order, with the names the kernel-mode implementation's
// documents give them. The kernel-mode factory must fill the slot, not the
// name: slot 4 and slot 10 in particular swap their meaning between the two
// namings.
//
//   slot  here                       kernel-mode naming
//   ----  -------------------------  ------------------------------
//    1    createInterfaceInstance    createUserInterfaceInstance
//    2    createDeviceInstance       createDevice
//    3    createErrorDevice          createErrorDevice
//    4    createFontMetrics          createFontRegistry (per-device helper)
//    5    currentTime                localTime
//    6    setTimeZoneOffset          setGmtOffset
//    7    createSpoolerPort          createOutputPort
//    8    osVersion                  osVersion
//    9    createBitmapGlyphSet       createBitmapFontManager
//   10    createFontHelper           createFontMetrics (metrics source)
//   11    createCharsetConverter     createCharsetConverter
//   12    createInputStream(memory)  memoryInputStream
//   13    createInputStream(file)    fileInputStream
//   14    createOutputStream(memory) memoryOutputStream
//   15    createOutputStream(file)   fileOutputStream
//   16    createMutexOnce            createMutex (once, under the factory lock)
//   17    setModuleWord              setModuleHandle
//   18    moduleWord                 moduleHandle
//   19    configurationFileName      dataFileName
//   20    createLocaleInfo           createLocaleInfo
//   21    temporaryDirectory         tempDirectory
//   22    driverDirectory            driverDirectory
//   23    uniqueTemporaryName        uniqueTempName
//   24    seedRandom                 seedRandom
//   25    nextRandom                 nextRandom
//   26    fileExists                 fileExists
//   27    canCreateFile              fileWritable
//   28    pathSeparator              pathSeparator
//   29    defaultTemporaryTemplate   (base only)
//   30    allocate                   allocate
//   31    deallocate                 deallocate
//   32    createSettingsStore        createSettingsStore
//   33    putULong                   putNumber
//   34    putString                  putString
//   35    putBinary                  putBinary
//   36    putObject                  storeObject
//   37    getULong                   getNumber
//   38    getString                  getString
//   39    getBinary                  getBinary
//   40    getObject                  loadObject
//   41    reservedEcho               (answers the given string)
//   42    reservedThird              (answers its third argument)
//   43    reservedZero               (answers 0)
//   44    destructor                 destructor
//   45    createMutex                createLock
//
// The kernel-mode factory adds setEngineVersion after these.

#include <cstdint>
#include <iosfwd>

#include "rw/defs.h"
#include "rw/wstring.h"

class RWCollectable;
class RWvistream;
class RWvostream;
class MPersistentObject;
class GLocaleInfo;
class GOSVersion;
class GCharsetConverter;
class GOutputPort;
class GSettingsStore;
// Types of the device model and the font subsystem, which the factory
// makes but the core never looks into.
class GPrinterDescription;
class GDriverInstance;
class GDevice;
class GFontMetrics;
class GBitmapGlyphSet;

// A lock handed out by the factory. Re-entrant for the thread that holds
// it. acquire answers 0 on success; release answers -2 on failure.
class GOSMutex {
 public:
  virtual ~GOSMutex();
  virtual int release() = 0;
  virtual int acquire() = 0;

 protected:
  GOSMutex() = default;
  GOSMutex(const GOSMutex&) = default;
  GOSMutex& operator=(const GOSMutex&) = default;
};

// The stream formats the factory's stream operations take.
enum GStreamFormat : int32_t {
  kPortableStream = 0,  // RWpistream / RWpostream
  kBinaryStream = 1,    // RWbistream / RWbostream
  kEndianStream = 2,    // RWeistream / RWeostream, host byte order
};

// Holds a virtual stream and what it reads from. stream() is null when no
// stream could be made (an unknown format).
class GInputStream {
 public:
  virtual ~GInputStream();
  virtual RWvistream* stream() = 0;
  // The read position of the underlying bytes.
  virtual uint32_t position() = 0;

 protected:
  GInputStream() = default;
  GInputStream(const GInputStream&) = delete;
  GInputStream& operator=(const GInputStream&) = delete;
};

class GOutputStream {
 public:
  virtual ~GOutputStream();
  virtual RWvostream* stream() = 0;
  // The write position of the underlying bytes.
  virtual uint32_t position() = 0;

 protected:
  GOutputStream() = default;
  GOutputStream(const GOutputStream&) = delete;
  GOutputStream& operator=(const GOutputStream&) = delete;
};

// The standard holders, for factory implementations: an iostream and one
// virtual stream of the given format over it. The memory forms read the
// given bytes in place, or write into a buffer that never grows (writing
// past its end puts the stream into its failure state). The other forms
// take an opened iostream (a file, usually) and own it. Destruction
// deletes the virtual stream first, then the iostream.
class GStdInputStream : public GInputStream {
 public:
  GStdInputStream(const void* data, uint32_t length, int32_t format);
  GStdInputStream(std::istream* owned, int32_t format);
  ~GStdInputStream() override;
  RWvistream* stream() override { return stream_; }
  uint32_t position() override;

 private:
  void makeStream(int32_t format);
  std::streambuf* buffer_ = nullptr;
  std::istream* ios_ = nullptr;
  RWvistream* stream_ = nullptr;
};

class GStdOutputStream : public GOutputStream {
 public:
  GStdOutputStream(void* buffer, uint32_t size, int32_t format);
  GStdOutputStream(std::ostream* owned, int32_t format);
  ~GStdOutputStream() override;
  RWvostream* stream() override { return stream_; }
  uint32_t position() override;

 private:
  void makeStream(int32_t format);
  std::streambuf* buffer_ = nullptr;
  std::ostream* ios_ = nullptr;
  RWvostream* stream_ = nullptr;
};

// A moment as eight 16-bit fields.
struct GTimeRecord {
  uint16_t year = 0;
  uint16_t month = 0;
  uint16_t day = 0;
  uint16_t hour = 0;
  uint16_t minute = 0;
  uint16_t second = 0;
  uint16_t milliseconds = 0;
  uint16_t weekday = 0;  // 0 Sunday
};

class GOSFactory {
 public:
  // ---- the installed factory ------------------------------------------------
  // Written by the installer, read by everyone.
  static GOSFactory* theInstance;
  // The lock that serialises createMutexOnce; made by the installer with the
  // factory's own createMutex, deleted by the factory's destructor.
  static GOSMutex* factoryLock;
  // The most recently constructed factory; deleted at process exit.
  static GOSFactory* heldFactory;

  static GOSFactory* instance() { return theInstance; }

  // ---- the slots ------------------------------------------------------------
  /* 1 */ virtual GDriverInstance* createInterfaceInstance(GPrinterDescription* description) = 0;
  /* 2 */ virtual GDevice* createDeviceInstance(GPrinterDescription* description) = 0;
  // Stands in for the given device; the base answers it unchanged.
  /* 3 */ virtual GDevice* createErrorDevice(GDevice* device);
  // The per-device font-metrics helper the device keeps (owned by it).
  /* 4 */ virtual GFontMetrics* createFontMetrics(GDevice* device) = 0;
  // Local time, the same moment in GMT, and the offset from GMT in minutes
  // (positive east). Non-zero on success.
  /* 5 */ virtual int currentTime(GTimeRecord& local, GTimeRecord& gmt, int16_t& offset) = 0;
  /* 6 */ virtual void setTimeZoneOffset(int16_t minutes);
  // A port that writes into the spooler's job of the owner's printer.
  /* 7 */ virtual GOutputPort* createSpoolerPort(GDriverInstance* printer, const RWWString& portName,
                                                 uint32_t flags) = 0;
  // Fills the version from GOSVersion::query (all zero when it fails).
  /* 8 */ virtual GOSVersion& osVersion(GOSVersion& version);
  /* 9 */ virtual GBitmapGlyphSet* createBitmapGlyphSet() = 0;
  // The persistent metrics source every font body keeps.
  /* 10 */ virtual MPersistentObject* createFontHelper() = 0;
  /* 11 */ virtual GCharsetConverter* createCharsetConverter() = 0;
  // Holders owned by the caller; see GStreamFormat.
  /* 12 */ virtual GInputStream* createInputStream(const void* data, uint32_t length, int32_t format) = 0;
  /* 13 */ virtual GInputStream* createInputStream(const RWWString& path, int32_t format) = 0;
  /* 14 */ virtual GOutputStream* createOutputStream(void* buffer, uint32_t size, int32_t format) = 0;
  /* 15 */ virtual GOutputStream* createOutputStream(const RWWString& path, int32_t format) = 0;
  // Puts a new lock into an empty slot, under the factory lock, so that
  // two threads never both fill it. A filled slot is left alone.
  /* 16 */ virtual void createMutexOnce(GOSMutex*& slot);
  /* 17 */ virtual uint32_t setModuleWord(uint32_t word);
  /* 18 */ virtual uint32_t moduleWord();
  // The file that holds the owner's stored configuration.
  /* 19 */ virtual RWWString& configurationFileName(RWWString& out, GDriverInstance* owner) = 0;
  // A new record the caller owns.
  /* 20 */ virtual GLocaleInfo* createLocaleInfo() = 0;
  // Directories, without a trailing separator.
  /* 21 */ virtual RWWString& temporaryDirectory(RWWString& out, GDriverInstance* owner) = 0;
  /* 22 */ virtual RWWString& driverDirectory(RWWString& out) = 0;
  // A name in the directory made from the template (default
  // defaultTemporaryTemplate), each '&' a random character of [0-9A-Z],
  // that names no file and, with mustCreate, can be created. An empty
  // string when no such name turned up within a bounded number of tries.
  /* 23 */ virtual RWWString& uniqueTemporaryName(RWWString& out, const RWWString& directory,
                                                   const RWWString& templ, int mustCreate);
  /* 24 */ virtual int seedRandom() = 0;
  // Non-negative.
  /* 25 */ virtual int nextRandom() = 0;
  /* 26 */ virtual int fileExists(const RWWString& path) = 0;
  // Whether a file of that name can be created and written (nothing is
  // left behind).
  /* 27 */ virtual int canCreateFile(const RWWString& path) = 0;
  /* 28 */ virtual RWwchar pathSeparator();
  /* 29 */ virtual RWWString& defaultTemporaryTemplate(RWWString& out);
  // Null when the memory cannot be had; deallocate ignores null.
  /* 30 */ virtual void* allocate(uint32_t size);
  /* 31 */ virtual void deallocate(void* p);
  /* 32 */ virtual GSettingsStore* createSettingsStore(GDriverInstance* owner) = 0;
  // Named values of the owner's printer. Each put answers 1 on success.
  /* 33 */ virtual int putULong(GDriverInstance* owner, const RWWString& name, uint32_t value) = 0;
  /* 34 */ virtual int putString(GDriverInstance* owner, const RWWString& name, const RWWString& value) = 0;
  /* 35 */ virtual int putBinary(GDriverInstance* owner, const RWWString& name, const void* data,
                                 uint32_t length) = 0;
  // The object's portable stored form as a binary value; the object stays
  // the caller's.
  /* 36 */ virtual int putObject(GDriverInstance* owner, const RWWString& name, const RWCollectable* object);
  /* 37 */ virtual uint32_t getULong(GDriverInstance* owner, const RWWString& name, uint32_t defaultValue) = 0;
  /* 38 */ virtual RWWString& getString(RWWString& out, GDriverInstance* owner, const RWWString& name,
                                        const RWWString& defaultValue) = 0;
  // 1 and the bytes with their length; with a null buffer or no capacity, 1
  // and an upper bound of the stored size; 0 when nothing is stored or the
  // capacity is too small.
  /* 39 */ virtual int getBinary(GDriverInstance* owner, const RWWString& name, void* buffer,
                                 uint32_t capacity, uint32_t& length) = 0;
  // A new object the caller owns, or null (none stored, or not read whole).
  /* 40 */ virtual MPersistentObject* getObject(GDriverInstance* owner, const RWWString& name);
  // Three places nothing calls; they keep the slots after them in order.
  /* 41 */ virtual RWWString reservedEcho(const RWWString& text) = 0;
  /* 42 */ virtual uint32_t reservedThird(uint32_t first, uint32_t second, uint32_t third) = 0;
  /* 43 */ virtual int reservedZero() = 0;
  // Deletes the factory lock and stops being the instance or the held
  // factory.
  /* 44 */ virtual ~GOSFactory();
  // A new, unheld lock.
  /* 45 */ virtual GOSMutex* createMutex() = 0;

  const RWWString& name() const { return name_; }

  // The fatal-error texts of the factory's own lock.
  static constexpr const char* kSourceName = "osfactry";
  static constexpr int32_t kAcquireLine = 578;
  static constexpr int32_t kReleaseLine = 587;

 protected:
  GOSFactory();
  GOSFactory(const GOSFactory&) = delete;
  GOSFactory& operator=(const GOSFactory&) = delete;

  RWWString name_;
  uint32_t moduleWord_;
};

// Acquires a factory-made lock for a scope, reporting fatal error 301 on
// a failed acquire and 302 on a failed release, with the caller's source
// name and lines. A null lock is not taken.
class GOSLockGuard {
 public:
  GOSLockGuard(GOSMutex* lock, const char* source, int32_t acquireLine, int32_t releaseLine);
  ~GOSLockGuard();
  GOSLockGuard(const GOSLockGuard&) = delete;
  GOSLockGuard& operator=(const GOSLockGuard&) = delete;

 private:
  GOSMutex* lock_;
  const char* source_;
  int32_t releaseLine_;
};

// Converts one character between the framework's character sets and
// Unicode. One process-wide converter, made on first use by the factory.
class GCharsetConverter {
 public:
  virtual uint16_t toUnicode(uint16_t code, int32_t charset) = 0;
  // Single bytes as they are, double bytes lead byte high; 0 when the
  // character has no form in the set.
  virtual uint16_t fromUnicode(uint16_t character, int32_t charset) = 0;
  virtual ~GCharsetConverter();

  // The Windows code page of a framework character set; 0 for a set that
  // names none (each converter decides what that means).
  static uint32_t codePageOf(int32_t charset);

  // The process's converter, made on first use through the installed
  // factory; null while no factory is installed.
  static GCharsetConverter* instance();
  // Deletes the process's converter (and its lock), so that the next
  // instance() makes one through the factory installed then.
  static void discardInstance();

  static constexpr const char* kSourceName = "unicode";
  static constexpr int32_t kAcquireLine = 138;
  static constexpr int32_t kReleaseLine = 153;

 protected:
  GCharsetConverter() = default;
  GCharsetConverter(const GCharsetConverter&) = delete;
  GCharsetConverter& operator=(const GCharsetConverter&) = delete;
};

#endif
