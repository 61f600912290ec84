// The binary file, over the platform file layer.

#include "rw/rwfile.h"

#include <bit>
#include <cstring>

#include "rw/kmsys.h"

// Values go to the file as their in-memory bytes; the stored form is
// little-endian with the widths below, so the host has to match.
static_assert(std::endian::native == std::endian::little, "stored forms are little-endian");
static_assert(sizeof(short) == 2 && sizeof(char16_t) == 2);
static_assert(sizeof(int) == 4 && sizeof(float) == 4 && sizeof(double) == 8);

namespace {
char noName[] = "";
}  // namespace

RWFile::RWFile(const char* name, const char* mode) : name_(noName), mode_(), file_(nullptr) {
  if (name) {
    size_t len = std::strlen(name);
    if (char* copy = new (std::nothrow) char[len + 1]) {
      std::memcpy(copy, name, len + 1);
      name_ = copy;
    }
  }
  if (mode) {
    file_ = KMMapFileOpen(name, mode);
    setMode(mode);
    return;
  }
  file_ = KMMapFileOpen(name, "rb+");
  if (file_) {
    setMode("rb+");
    return;
  }
  file_ = KMMapFileOpen(name, "wb+");
  setMode("wb+");
}

RWFile::~RWFile() {
  // Nobody is left to hear of a close that fails.
  if (file_) (void)KMFileClose(file_);
  if (name_ != noName) delete[] name_;
}

void RWFile::setMode(const char* mode) {
  std::strncpy(mode_, mode, sizeof mode_ - 1);
  mode_[sizeof mode_ - 1] = '\0';
}

RWBoolean RWFile::Exists(const char* name) {
  KMFILE* f = KMMapFileOpen(name, "rb+");
  if (!f) return FALSE;
  (void)KMFileClose(f);  // a probe: it wrote nothing
  return TRUE;
}

RWBoolean RWFile::Exists(const char* name, int mode) {
  if (mode & 1) return FALSE;
  auto canRead = [name] {
    KMFILE* f = KMMapFileOpen(name, "rb");
    if (!f) return false;
    (void)KMFileClose(f);  // a probe: it wrote nothing
    return true;
  };
  // Trying an append open would create a missing file; ask the file layer
  // about write access instead.
  auto canWrite = [name] { return KMFileCanWrite(name); };
  if ((mode & 6) == 0) return canRead() || canWrite();
  if ((mode & 4) && !canRead()) return FALSE;
  if ((mode & 2) && !canWrite()) return FALSE;
  return TRUE;
}

RWoffset RWFile::CurOffset() const {
  if (!file_) return -1;
  int64_t at = KMFileTell(file_);
  return at >= 0 && at <= INT32_MAX ? static_cast<RWoffset>(at) : -1;
}

RWBoolean RWFile::SeekTo(RWoffset offset) { return file_ && KMFileSeek(file_, offset, 0) == 0; }

RWBoolean RWFile::SeekToEnd() { return file_ && KMFileSeek(file_, 0, 2) == 0; }

RWBoolean RWFile::Eof() const { return file_ && (KMFileFlags(file_) & KMFILE_EOF) != 0; }

RWBoolean RWFile::Error() const { return !file_ || (KMFileFlags(file_) & KMFILE_ERR) != 0; }

void RWFile::ClearErr() {
  if (file_) KMFileClearError(file_);
}

RWBoolean RWFile::Flush() { return file_ && KMFileFlush(file_) == 0; }

RWBoolean RWFile::IsEmpty() {
  if (!file_ || KMFileTell(file_) != 0) return FALSE;
  int c = KMFileGetc(file_);
  if (c >= 0) {
    KMFileUngetc(c, file_);
    return FALSE;
  }
  if (!Eof()) return FALSE;
  // Probing set end of file, which would refuse the first write to a new
  // file; seeking back to 0 clears it again. The file is empty either way,
  // and a write that is then refused says so itself.
  (void)KMFileSeek(file_, 0, 0);
  return TRUE;
}

RWBoolean RWFile::Erase() {
  if (!file_) return FALSE;
  int closed = KMFileClose(file_);
  file_ = nullptr;
  if (closed != 0 || KMFileDelete(name_) != 0) return FALSE;
  file_ = KMMapFileOpen(name_, "wb+");
  setMode("wb+");
  return file_ != nullptr;
}

RWBoolean RWFile::readItems(void* p, RWsize itemSize, RWsize n) {
  return file_ && KMFileRead(p, itemSize, n, file_) == n;
}

RWBoolean RWFile::writeItems(const void* p, RWsize itemSize, RWsize n) {
  return file_ && KMFileWrite(p, itemSize, n, file_) == n;
}

RWBoolean RWFile::Write(const char* text) {
  if (!text) return FALSE;
  size_t len = std::strlen(text) + 1;
  return file_ && KMFileWrite(text, 1, len, file_) == len;
}

RWBoolean RWFile::ReadText(char* buf, RWsize size) {
  if (!buf || size == 0) return FALSE;
  buf[0] = '\0';
  if (!file_) return FALSE;

  // The file is read in small chunks rather than byte by byte; whatever was
  // read beyond the text is given back by seeking afterwards.
  const int64_t start = KMFileTell(file_);
  RWsize len = 0;      // characters stored in buf
  RWsize fetched = 0;  // bytes taken from the file
  bool terminated = false;
  bool bounded = false;
  char chunk[64];
  // A text of size - 1 characters and its zero byte are size bytes, so no
  // more than that is ever looked at.
  while (!terminated && !bounded && fetched < size) {
    RWsize want = size - fetched < sizeof chunk ? size - fetched : RWsize(sizeof chunk);
    RWsize got = static_cast<RWsize>(KMFileRead(chunk, 1, want, file_));
    fetched += got;
    for (RWsize i = 0; i < got; ++i) {
      if (chunk[i] == '\0') {
        terminated = true;
        break;
      }
      if (len == size - 1) {
        bounded = true;
        break;
      }
      buf[len++] = chunk[i];
    }
    if (got < want) break;  // end of file or a failed read
  }
  buf[len] = '\0';

  // Seeking also drops the end-of-file flag that reading a whole chunk may
  // have set although the text itself ended before the end of the file.
  RWsize consumed = terminated ? len + 1 : len;
  if ((terminated || fetched != consumed) && KMFileSeek(file_, start + consumed, 0) != 0)
    return FALSE;
  return terminated;
}
