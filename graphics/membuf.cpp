#include "graphics/membuf.h"

GFixedStreamBuf::GFixedStreamBuf(const char* data, std::size_t size)
    : data_(const_cast<char*>(data)), size_(data ? size : 0), writing_(false) {
  // The get area is only ever read from: no put area is set.
  setg(data_, data_, data_ + size_);
}

GFixedStreamBuf::GFixedStreamBuf(char* data, std::size_t capacity)
    : data_(data), size_(data ? capacity : 0), writing_(true) {
  setp(data_, data_ + size_);
}

GFixedStreamBuf::int_type GFixedStreamBuf::overflow(int_type) {
  // Full: the put is refused and the stream fails.
  return traits_type::eof();
}

GFixedStreamBuf::pos_type GFixedStreamBuf::seekoff(off_type offset, std::ios_base::seekdir dir,
                                                   std::ios_base::openmode which) {
  const bool in = (which & std::ios_base::in) && !writing_;
  const bool out = (which & std::ios_base::out) && writing_;
  if (!in && !out) return pos_type(off_type(-1));
  off_type base = 0;
  if (dir == std::ios_base::cur)
    base = in ? gptr() - eback() : pptr() - pbase();
  else if (dir == std::ios_base::end)
    base = static_cast<off_type>(size_);
  const off_type target = base + offset;
  if (target < 0 || target > static_cast<off_type>(size_)) return pos_type(off_type(-1));
  if (in) {
    setg(data_, data_ + target, data_ + size_);
  } else {
    setp(data_, data_ + size_);
    // pbump takes an int: step in pieces for a block past its range.
    for (off_type left = target; left > 0;) {
      const int step = left > 0x40000000 ? 0x40000000 : static_cast<int>(left);
      pbump(step);
      left -= step;
    }
  }
  return pos_type(target);
}

GFixedStreamBuf::pos_type GFixedStreamBuf::seekpos(pos_type position, std::ios_base::openmode which) {
  return seekoff(off_type(position), std::ios_base::beg, which);
}

GMemoryIStream::GMemoryIStream(const void* data, std::size_t size)
    : std::istream(nullptr), buf_(static_cast<const char*>(data), size) {
  rdbuf(&buf_);
}

GMemoryOStream::GMemoryOStream(void* data, std::size_t capacity)
    : std::ostream(nullptr), buf_(static_cast<char*>(data), capacity) {
  rdbuf(&buf_);
}
