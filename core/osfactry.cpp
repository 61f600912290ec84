#include "core/osfactry.h"

#include "rw/startup.h"

#include <istream>
#include <new>
#include <ostream>
#include <streambuf>

#include "core/fatalerr.h"
#include "core/osversn.h"
#include "core/perobj.h"
#include "rw/bstream.h"
#include "rw/collect.h"
#include "rw/estream.h"
#include "rw/pstream.h"

GOSFactory* GOSFactory::theInstance = nullptr;
GOSMutex* GOSFactory::factoryLock = nullptr;
GOSFactory* GOSFactory::heldFactory = nullptr;

namespace {

// How many candidates uniqueTemporaryName tries before it gives up: a
// directory that cannot be written, or a template whose few '&' places are
// all taken, must not hang the caller.
constexpr int kMaxNameAttempts = 1000;
// The work buffer of a template, its terminator included.
constexpr RWsize kTemplateRoom = 260;

// A byte buffer that reads or writes a fixed block in place. Writing past
// the end fails (overflow is the base's, which answers end of file), so
// the stream goes into its failure state instead of growing.
class FixedBuffer : public std::streambuf {
 public:
  FixedBuffer(char* data, uint32_t size, bool output) {
    if (output) {
      setp(data, data + size);
    } else {
      setg(data, data, data + size);
    }
  }

 protected:
  pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode which) override {
    bool out = (which & std::ios_base::out) != 0;
    char* begin = out ? pbase() : eback();
    char* end = out ? epptr() : egptr();
    char* cur = out ? pptr() : gptr();
    // The end of an output block is the end of what was written into it,
    // as with any stream that is being filled.
    if (out && cur - begin > written_) written_ = cur - begin;
    off_type last = out ? written_ : end - begin;
    off_type base = dir == std::ios_base::beg ? 0 : dir == std::ios_base::cur ? cur - begin : last;
    off_type target = base + off;
    if (target < 0 || target > end - begin) return pos_type(off_type(-1));
    if (out) {
      setp(begin, end);
      pbump(static_cast<int>(target));
    } else {
      setg(begin, begin + target, end);
    }
    return pos_type(target);
  }
  pos_type seekpos(pos_type pos, std::ios_base::openmode which) override {
    return seekoff(off_type(pos), std::ios_base::beg, which);
  }

 private:
  off_type written_ = 0;
};

uint32_t positionOf(std::streambuf* buffer, std::ios_base::openmode which) {
  if (!buffer) return 0;
  std::streamoff p = buffer->pubseekoff(0, std::ios_base::cur, which);
  return p < 0 ? 0 : static_cast<uint32_t>(p);
}

GCharsetConverter* converterInstance = nullptr;
GOSMutex* converterLock = nullptr;
GCharsetConverter* heldConverter = nullptr;

// Deletes what the process still holds when the library stops.
void releaseHeld() {
  delete heldConverter;
  heldConverter = nullptr;
  delete GOSFactory::heldFactory;
  GOSFactory::heldFactory = nullptr;
}
RW_STARTUP(exitHolder, nullptr, releaseHeld);

RWwchar base36(int digit) {
  return static_cast<RWwchar>(digit < 10 ? u'0' + digit : u'A' + digit - 10);
}

}  // namespace

// ---- GOSMutex and the holders --------------------------------------------------

GOSMutex::~GOSMutex() = default;
GInputStream::~GInputStream() = default;
GOutputStream::~GOutputStream() = default;

GStdInputStream::GStdInputStream(const void* data, uint32_t length, int32_t format)
    : buffer_(new FixedBuffer(static_cast<char*>(const_cast<void*>(data)), data ? length : 0, false)),
      ios_(new std::istream(buffer_)) {
  makeStream(format);
}

GStdInputStream::GStdInputStream(std::istream* owned, int32_t format) : ios_(owned) {
  makeStream(format);
}

void GStdInputStream::makeStream(int32_t format) {
  if (!ios_) return;
  switch (format) {
    case kPortableStream: stream_ = new RWpistream(*ios_); break;
    case kBinaryStream: stream_ = new RWbistream(*ios_); break;
    case kEndianStream: stream_ = new RWeistream(*ios_); break;
    default: break;
  }
  // A file that could not be opened shows at once, not at the first read.
  if (stream_ && ios_->fail()) stream_->clear(stream_->rdstate() | RWvios::failbit);
}

GStdInputStream::~GStdInputStream() {
  delete stream_;
  delete ios_;
  delete buffer_;
}

uint32_t GStdInputStream::position() { return positionOf(ios_ ? ios_->rdbuf() : nullptr, std::ios_base::in); }

GStdOutputStream::GStdOutputStream(void* buffer, uint32_t size, int32_t format)
    : buffer_(new FixedBuffer(static_cast<char*>(buffer), buffer ? size : 0, true)),
      ios_(new std::ostream(buffer_)) {
  makeStream(format);
}

GStdOutputStream::GStdOutputStream(std::ostream* owned, int32_t format) : ios_(owned) { makeStream(format); }

void GStdOutputStream::makeStream(int32_t format) {
  if (!ios_) return;
  switch (format) {
    case kPortableStream: stream_ = new RWpostream(*ios_); break;
    case kBinaryStream: stream_ = new RWbostream(*ios_); break;
    case kEndianStream: stream_ = new RWeostream(*ios_); break;
    default: break;
  }
  if (stream_ && ios_->fail()) stream_->clear(stream_->rdstate() | RWvios::failbit);
}

GStdOutputStream::~GStdOutputStream() {
  delete stream_;
  delete ios_;
  delete buffer_;
}

uint32_t GStdOutputStream::position() {
  return positionOf(ios_ ? ios_->rdbuf() : nullptr, std::ios_base::out);
}

// ---- GOSLockGuard ----------------------------------------------------------------

GOSLockGuard::GOSLockGuard(GOSMutex* lock, const char* source, int32_t acquireLine, int32_t releaseLine)
    : lock_(lock), source_(source), releaseLine_(releaseLine) {
  if (lock_ && lock_->acquire() != 0) {
    // A lock that was not taken is not given back.
    lock_ = nullptr;
    reportFatalError(kFatalShutDownAndAbort, kFatalLockAcquire, source_, acquireLine, RWCString());
  }
}

GOSLockGuard::~GOSLockGuard() {
  if (lock_ && lock_->release() == -2)
    reportFatalError(kFatalShutDownAndAbort, kFatalLockRelease, source_, releaseLine_, RWCString());
}

// ---- GOSFactory ----------------------------------------------------------------------

GOSFactory::GOSFactory() : moduleWord_(0) {
  GOSFactory* previous = heldFactory;
  heldFactory = this;
  delete previous;
}

GOSFactory::~GOSFactory() {
  delete factoryLock;
  factoryLock = nullptr;
  // Nobody may reach a factory that is gone.
  if (theInstance == this) theInstance = nullptr;
  if (heldFactory == this) heldFactory = nullptr;
}

GDevice* GOSFactory::createErrorDevice(GDevice* device) { return device; }

void GOSFactory::setTimeZoneOffset(int16_t) {}

GOSVersion& GOSFactory::osVersion(GOSVersion& version) {
  GOSVersion v;
  v.query();
  version = v;
  return version;
}

void GOSFactory::createMutexOnce(GOSMutex*& slot) {
  if (slot) return;
  GOSLockGuard guard(factoryLock, kSourceName, kAcquireLine, kReleaseLine);
  if (!slot) slot = createMutex();
}

uint32_t GOSFactory::setModuleWord(uint32_t word) {
  moduleWord_ = word;
  return word;
}

uint32_t GOSFactory::moduleWord() { return moduleWord_; }

RWWString& GOSFactory::uniqueTemporaryName(RWWString& out, const RWWString& directory, const RWWString& templ,
                                           int mustCreate) {
  RWWString pattern = templ;
  if (pattern.isNull()) defaultTemporaryTemplate(pattern);
  if (pattern.length() > kTemplateRoom - 1) pattern = RWWString(pattern.data(), kTemplateRoom - 1);

  RWWString prefix = directory;
  RWwchar separator = pathSeparator();
  if (!prefix.isNull() && prefix(prefix.length() - 1) != separator) prefix += RWWString(separator);

  bool random = pattern.first(u'&') != RW_NPOS;
  seedRandom();
  for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
    RWWString candidate = prefix;
    RWWString name = pattern;
    for (RWsize i = 0; i < name.length(); ++i) {
      if (name(i) == u'&') name(i) = base36(nextRandom() % 36);
    }
    candidate += name;
    if (!fileExists(candidate) && (!mustCreate || canCreateFile(candidate))) {
      out = candidate;
      return out;
    }
    // Without a place to vary, every further try is the same name.
    if (!random) break;
  }
  out = RWWString();
  return out;
}

RWwchar GOSFactory::pathSeparator() { return u'\\'; }

RWWString& GOSFactory::defaultTemporaryTemplate(RWWString& out) {
  out = RWWString(u"&&&&&&&&.&&&");
  return out;
}

void* GOSFactory::allocate(uint32_t size) { return ::operator new(size, std::nothrow); }

void GOSFactory::deallocate(void* p) { ::operator delete(p); }

int GOSFactory::putObject(GDriverInstance* owner, const RWWString& name, const RWCollectable* object) {
  if (!object) return 0;
  uint32_t size = static_cast<uint32_t>(object->binaryStoreSize());
  size += size / 2;
  for (int attempt = 1; attempt <= 3; ++attempt) {
    void* buffer = allocate(size);
    if (!buffer) return 0;
    GOutputStream* holder = createOutputStream(buffer, size, kPortableStream);
    RWvostream* s = holder ? holder->stream() : nullptr;
    int result = -1;  // -1: try a larger buffer
    if (!s || !s->good()) {
      result = 0;
    } else {
      uint32_t start = holder->position();
      *s << object;
      s->flush();
      uint32_t end = holder->position();
      if (s->good()) result = putBinary(owner, name, buffer, end - start);
    }
    delete holder;
    deallocate(buffer);
    if (result >= 0) return result;
    size *= 2;
  }
  return 0;
}

MPersistentObject* GOSFactory::getObject(GDriverInstance* owner, const RWWString& name) {
  uint32_t size = 0;
  if (getBinary(owner, name, nullptr, 0, size) != 1 || size == 0) return nullptr;
  void* buffer = allocate(size);
  if (!buffer) return nullptr;
  uint32_t read = 0;
  MPersistentObject* object = nullptr;
  if (getBinary(owner, name, buffer, size, read) == 1 && read <= size) {
    GInputStream* holder = createInputStream(buffer, read, kPortableStream);
    RWvistream* s = holder ? holder->stream() : nullptr;
    if (s && s->good()) {
      const RWCollectable::Restored r = RWCollectable::restoreForOwner(*s);
      object = dynamic_cast<MPersistentObject*>(r.object);
      // A composite whose stored children end early restores as far as the
      // bytes go and leaves the stream failed: a cut tree is no object.
      if (r.object && (!object || r.failed || s->fail())) {
        RWCollectable::discardRestored(r.object);
        object = nullptr;
      }
    }
    delete holder;
  }
  deallocate(buffer);
  return object;
}

// ---- GCharsetConverter ---------------------------------------------------------------

uint32_t GCharsetConverter::codePageOf(int32_t charset) {
  switch (charset) {
    case 4: return 1252;
    case 5: return 1250;
    case 6: return 1254;
    case 7: return 1253;
    case 8: return 1255;
    case 9: return 1256;
    case 12: return 1257;
    case 14: return 1251;
    case 15: return 874;
    case 17: return 932;
    case 18:
    case 19: return 936;
    case 20:
    case 21: return 949;
    case 22: return 1361;
    case 23: return 950;
    default: return 0;
  }
}

GCharsetConverter::~GCharsetConverter() {
  if (converterInstance == this) converterInstance = nullptr;
  if (heldConverter == this) {
    heldConverter = nullptr;
    delete converterLock;
    converterLock = nullptr;
  }
}

GCharsetConverter* GCharsetConverter::instance() {
  if (converterInstance) return converterInstance;
  GOSFactory* factory = GOSFactory::instance();
  if (!factory) return nullptr;
  if (!converterLock) factory->createMutexOnce(converterLock);
  {
    GOSLockGuard guard(converterLock, kSourceName, kAcquireLine, kReleaseLine);
    if (!converterInstance) {
      GCharsetConverter* made = factory->createCharsetConverter();
      if (made) {
        GCharsetConverter* previous = heldConverter;
        heldConverter = nullptr;
        if (previous && previous != made) {
          // Its destructor would take the lock held here with it.
          GOSMutex* lock = converterLock;
          converterLock = nullptr;
          delete previous;
          converterLock = lock;
        }
        converterInstance = made;
        heldConverter = made;
      }
    }
  }
  return converterInstance;
}

void GCharsetConverter::discardInstance() { delete heldConverter; }
