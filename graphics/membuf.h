#ifndef GRAPHICS_MEMBUF_H
#define GRAPHICS_MEMBUF_H

// Streams over a caller's block of memory, for the whole-stream codecs.
//
// GFixedStreamBuf reads the bytes of a block, or writes into a block of a
// fixed capacity. Writing never grows the block: a put when it is full is
// refused, so the ostream over it sets badbit (a codec tests !stream after
// its puts, not only fail()). Its end position is the block's size: the
// data's length when reading, the capacity when writing, which is how a
// writer asks how much room there is. The block is the caller's and must
// outlive the buffer.

#include <cstddef>
#include <istream>
#include <ostream>
#include <streambuf>

class GFixedStreamBuf : public std::streambuf {
 public:
  // Reading the size bytes at data.
  GFixedStreamBuf(const char* data, std::size_t size);
  // Writing into the capacity bytes at data, from its start.
  GFixedStreamBuf(char* data, std::size_t capacity);

  // The bytes written so far.
  std::size_t written() const { return static_cast<std::size_t>(pptr() - pbase()); }
  std::size_t capacity() const { return size_; }

 protected:
  int_type overflow(int_type ch) override;
  pos_type seekoff(off_type offset, std::ios_base::seekdir dir, std::ios_base::openmode which) override;
  pos_type seekpos(pos_type position, std::ios_base::openmode which) override;

 private:
  char* data_;
  std::size_t size_;
  bool writing_;
};

// An istream over a block of bytes.
class GMemoryIStream : public std::istream {
 public:
  GMemoryIStream(const void* data, std::size_t size);

 private:
  GFixedStreamBuf buf_;
};

// An ostream into a block of fixed capacity.
class GMemoryOStream : public std::ostream {
 public:
  GMemoryOStream(void* data, std::size_t capacity);
  std::size_t written() const { return buf_.written(); }

 private:
  GFixedStreamBuf buf_;
};

#endif
