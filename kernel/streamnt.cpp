#include "kernel/streamnt.h"

#include <new>
#include <ostream>
#include <streambuf>

#include "kernel/kmfile.h"

namespace {

bool knownFormat(int32_t format) {
  return format == kPortableStream || format == kBinaryStream || format == kEndianStream;
}

// Writes through the native file layer, a block at a time. The handle is
// closed when the buffer goes, after what is still held was written. A
// write the file refuses fails the stream from then on.
class NativeFileBuffer : public std::streambuf {
 public:
  explicit NativeFileBuffer(HANDLE file) : file_(file) { setp(room_, room_ + sizeof room_); }
  ~NativeFileBuffer() override {
    drain();
    // Nobody is left to hear of a close that fails.
    (void)KMClose(file_);
  }
  NativeFileBuffer(const NativeFileBuffer&) = delete;
  NativeFileBuffer& operator=(const NativeFileBuffer&) = delete;

 protected:
  int_type overflow(int_type c) override {
    if (!drain()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }

  int sync() override { return drain() ? 0 : -1; }

  // Only the current write position can be asked for: the file is written
  // front to back.
  pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode which) override {
    if (off != 0 || dir != std::ios_base::cur || !(which & std::ios_base::out) || failed_)
      return pos_type(off_type(-1));
    return pos_type(static_cast<off_type>(written_ + (pptr() - pbase())));
  }

 private:
  bool drain() {
    if (failed_) return false;
    const auto held = static_cast<uint32_t>(pptr() - pbase());
    if (held == 0) return true;
    if (KMWrite(file_, pbase(), held) != static_cast<int32_t>(held)) {
      failed_ = true;
      return false;
    }
    written_ += held;
    setp(room_, room_ + sizeof room_);
    return true;
  }

  HANDLE file_;
  int64_t written_ = 0;
  bool failed_ = false;
  char room_[4096];
};

// An output stream that owns its file buffer.
class NativeFileStream : public std::ostream {
 public:
  explicit NativeFileStream(HANDLE file) : std::ostream(nullptr), buffer_(file) { rdbuf(&buffer_); }

 private:
  NativeFileBuffer buffer_;
};

}  // namespace

// ---- GInputStreamNT ------------------------------------------------------------

GInputStreamNT::GInputStreamNT(const void* data, uint32_t length, int32_t format) {
  if (knownFormat(format)) holder_.reset(new (std::nothrow) GStdInputStream(data, length, format));
}

GInputStreamNT::GInputStreamNT(const RWWString& path, int32_t format) {
  // A format that makes no stream leaves the file unmapped.
  WCHAR* name = kmFileName(path);
  if (!knownFormat(format) || !name) return;
  module_ = EngLoadModule(name);  // read, never written
  if (!module_) return;
  ULONG size = 0;
  const void* bytes = EngMapModule(module_, &size);
  // An empty file may map to no address; it still reads, as an empty block.
  if (!bytes && size) return;
  holder_.reset(new (std::nothrow) GStdInputStream(bytes, size, format));
}

// The module goes first: the stream and its buffer read nothing more on
// their way out.
GInputStreamNT::~GInputStreamNT() {
  if (module_) EngFreeModule(module_);
  module_ = nullptr;
}

RWvistream* GInputStreamNT::stream() { return holder_ ? holder_->stream() : nullptr; }

uint32_t GInputStreamNT::position() { return stream() ? holder_->position() : uint32_t(-1); }

// ---- GOutputStreamNT ------------------------------------------------------------

GOutputStreamNT::GOutputStreamNT(void* buffer, uint32_t size, int32_t format) {
  if (knownFormat(format)) holder_.reset(new (std::nothrow) GStdOutputStream(buffer, size, format));
}

GOutputStreamNT::GOutputStreamNT(const RWWString& path, int32_t format) {
  // A format that makes no stream leaves the file alone; a file that cannot
  // be created leaves the holder without a stream, as a missing input does.
  const WCHAR* name = kmFileName(path);
  if (!knownFormat(format) || !name) return;
  HANDLE file = KMOpenW(name, KM_O_WRONLY | KM_O_CREAT | KM_O_TRUNC | KM_O_BINARY, 0644);
  if (!file) return;
  NativeFileStream* ios = new (std::nothrow) NativeFileStream(file);
  if (!ios) {
    (void)KMClose(file);  // already failing: nothing was written
    return;
  }
  holder_.reset(new (std::nothrow) GStdOutputStream(ios, format));
  if (!holder_) delete ios;
}

GOutputStreamNT::~GOutputStreamNT() = default;

RWvostream* GOutputStreamNT::stream() { return holder_ ? holder_->stream() : nullptr; }

uint32_t GOutputStreamNT::position() { return stream() ? holder_->position() : uint32_t(-1); }
