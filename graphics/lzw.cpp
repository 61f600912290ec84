#include "graphics/lzw.h"

#include <zlib.h>

#include <cstdint>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "graphics/membuf.h"
#include "rw/kmsys.h"

namespace {

constexpr uint32_t kEndCode = 256;
constexpr uint32_t kWidenCode = 257;
constexpr uint32_t kResetCode = 258;
constexpr uint32_t kFirstCode = 259;
constexpr uint32_t kLastCode = 0x7FFF;
constexpr uint32_t kStartWidth = 9;
constexpr uint32_t kLargestWidth = 15;
// The slots of the encoder's hash, a prime; also the depth of the decode
// stack, which no string of a code below 32768 can exceed.
constexpr int32_t kSlots = 35023;
constexpr uLong kInflateLimit = 16000;

static_assert(GLZWCodec::kPages * GLZWCodec::kPageEntries >= static_cast<uint32_t>(kSlots),
              "the pages cover every slot");

// Every byte from in's current position to its end.
std::string readAll(std::istream& in) {
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

// ---- GBitStream ---------------------------------------------------------------------

GBitStream::~GBitStream() { flush(); }

void GBitStream::restart() {
  mask_ = 0x80;
  byte_ = 0;
  ok_ = 1;
}

void GBitStream::attach(std::istream& in) {
  in_ = &in;
  restart();
}

void GBitStream::attach(std::ostream& out) {
  out_ = &out;
  restart();
}

uint32_t GBitStream::writeBit(uint32_t bit) {
  if (!out_) ok_ = 0;
  if (!ok_) return ok_;
  if (bit) byte_ |= mask_;
  mask_ >>= 1;
  if (mask_ == 0) {
    out_->put(static_cast<char>(byte_));
    if (!*out_) ok_ = 0;
    mask_ = 0x80;
    byte_ = 0;
  }
  return ok_;
}

uint32_t GBitStream::writeBits(uint32_t value, uint32_t count) {
  for (uint32_t bit = count; bit > 0 && ok_; --bit) writeBit((value >> (bit - 1)) & 1);
  return ok_;
}

uint32_t GBitStream::readBit(uint32_t& bit) {
  if (!in_) ok_ = 0;
  if (!ok_) return ok_;
  if (mask_ == 0x80) {
    const std::istream::int_type c = in_->get();
    if (c == std::istream::traits_type::eof()) {
      ok_ = 0;
      return ok_;
    }
    byte_ = static_cast<uint8_t>(c);
  }
  bit = (byte_ & mask_) ? 1 : 0;
  mask_ >>= 1;
  if (mask_ == 0) mask_ = 0x80;
  return ok_;
}

uint32_t GBitStream::readBits(uint32_t& value, uint32_t count) {
  uint32_t v = 0;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t bit = 0;
    if (!readBit(bit)) return ok_;
    v = (v << 1) | bit;
  }
  value = v;
  return ok_;
}

uint32_t GBitStream::flush() {
  if (!out_) return 1;
  if (mask_ != 0x80 && ok_) {
    out_->put(static_cast<char>(byte_));
    if (!*out_) ok_ = 0;
  }
  mask_ = 0x80;
  byte_ = 0;
  out_->flush();
  return *out_ ? 1 : 0;
}

// ---- GLZWCodec ----------------------------------------------------------------------

GLZWCodec::GLZWCodec() : stack_(new (std::nothrow) uint8_t[kSlots]) {}

GLZWCodec::~GLZWCodec() = default;

bool GLZWCodec::makeTable() {
  if (!stack_) return false;
  // Zeroed pages of 256 entries: no single block is larger than 3072
  // bytes. Any that cannot be made frees the others.
  for (auto& page : pages_) {
    page.reset(new (std::nothrow) Entry[kPageEntries]());
    if (!page) {
      freeTable();
      return false;
    }
  }
  return true;
}

void GLZWCodec::freeTable() {
  for (auto& page : pages_) page.reset();
}

void GLZWCodec::reset() {
  for (auto& page : pages_) {
    for (uint32_t i = 0; i < kPageEntries; ++i) page[i].code = -1;
  }
  nextCode_ = kFirstCode;
  width_ = kStartWidth;
  largest_ = (1u << kStartWidth) - 1;
}

uint32_t GLZWCodec::lookup(int32_t prefix, uint8_t byte) {
  int32_t h = prefix ^ (static_cast<int32_t>(byte) << 7);
  const int32_t step = h == 0 ? 1 : kSlots - h;
  for (;;) {
    const Entry& e = entry(static_cast<uint32_t>(h));
    if (e.code == -1 || (e.prefix == prefix && e.suffix == byte)) return static_cast<uint32_t>(h);
    h -= step;
    if (h < 0) h += kSlots;
  }
}

int GLZWCodec::encode(std::istream& in, std::ostream& out) {
  if (!makeTable()) return 0;
  struct Pages {
    GLZWCodec& codec;
    ~Pages() { codec.freeTable(); }
  } pages{*this};

  reset();
  GBitStream bits(out);
  std::istreambuf_iterator<char> at(in);
  const std::istreambuf_iterator<char> end;
  int32_t prefix = static_cast<int32_t>(kEndCode);
  if (at != end) {
    prefix = static_cast<uint8_t>(*at);
    ++at;
  }
  for (; at != end; ++at) {
    const auto c = static_cast<uint8_t>(*at);
    const uint32_t slot = lookup(prefix, c);
    Entry& e = entry(slot);
    if (e.code != -1) {
      prefix = e.code;
      continue;
    }
    e.code = static_cast<int32_t>(nextCode_++);
    e.prefix = prefix;
    e.suffix = c;
    if (!bits.writeBits(static_cast<uint32_t>(prefix), width_)) return 0;
    if (nextCode_ > kLastCode) {
      if (!bits.writeBits(kResetCode, width_)) return 0;
      reset();
    } else if (nextCode_ > largest_) {
      if (!bits.writeBits(kWidenCode, width_)) return 0;
      ++width_;
      largest_ = 2 * largest_ + 1;
    }
    prefix = c;
  }
  if (!bits.writeBits(static_cast<uint32_t>(prefix), width_) || !bits.writeBits(kEndCode, width_)) return 0;
  return bits.flush() ? 1 : 0;
}

bool GLZWCodec::putString(uint32_t code, std::ostream& out, uint8_t& first) {
  // The string is gathered backwards from the top of the stack, so that
  // its bytes leave in one write. Prefixes always name lower codes, so the
  // walk ends, and no string is longer than the codes below 32768.
  uint32_t top = kSlots;
  while (code >= kFirstCode) {
    const Entry& e = entry(code);
    stack_[--top] = e.suffix;
    code = static_cast<uint32_t>(e.prefix);
  }
  stack_[--top] = static_cast<uint8_t>(code);
  first = stack_[top];
  out.write(reinterpret_cast<const char*>(stack_.get() + top), static_cast<std::streamsize>(kSlots - top));
  return static_cast<bool>(out);
}

int GLZWCodec::decode(std::istream& in, std::ostream& out) {
  if (!makeTable()) return 0;
  struct Pages {
    GLZWCodec& codec;
    ~Pages() { codec.freeTable(); }
  } pages{*this};

  GBitStream bits(in);
  for (;;) {
    // After a reset: a literal or the end.
    reset();
    uint32_t code = 0;
    if (!bits.readBits(code, width_)) return 0;
    if (code == kEndCode) return 1;
    if (code > 0xFF) return 0;
    out.put(static_cast<char>(code));
    if (!out) return 0;
    uint32_t previous = code;

    for (;;) {
      if (!bits.readBits(code, width_)) return 0;
      if (code == kEndCode) return 1;
      if (code == kResetCode) break;
      if (code == kWidenCode) {
        if (width_ == kLargestWidth) return 0;
        ++width_;
        largest_ = 2 * largest_ + 1;
        continue;
      }
      // A code may name the entry about to be defined (the string of the
      // previous code and its own first byte), never one past it.
      if (code > nextCode_ || nextCode_ > kLastCode) return 0;
      uint8_t first = 0;
      if (code == nextCode_) {
        if (!putString(previous, out, first)) return 0;
        out.put(static_cast<char>(first));
        if (!out) return 0;
      } else if (!putString(code, out, first)) {
        return 0;
      }
      Entry& e = entry(nextCode_++);
      e.prefix = static_cast<int32_t>(previous);
      e.suffix = first;
      previous = code;
    }
  }
}

// ---- zlib ---------------------------------------------------------------------------

namespace {

// zlib's blocks come from the platform layer, so that in the driver they are
// the debugging heap's like every other block. zlib asks for items × size,
// two 32-bit counts whose product a size_t holds.
static_assert(sizeof(uInt) <= 4 && sizeof(size_t) >= 8);
voidpf zlibAlloc(voidpf, uInt items, uInt size) { return rwAlloc(static_cast<size_t>(items) * size); }

void zlibFree(voidpf, voidpf block) { rwFree(block); }

// A z_stream on those blocks over the whole of input; zlib counts its input
// in 32 bits, so a longer one is refused (false).
bool prepare(z_stream& z, const std::string& input) {
  z = z_stream{};
  z.zalloc = zlibAlloc;
  z.zfree = zlibFree;
  z.opaque = Z_NULL;
  if (input.size() > UINT32_MAX) return false;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
  z.avail_in = static_cast<uInt>(input.size());
  return true;
}

}  // namespace

int zlibCompressStream(std::istream& in, std::ostream& out) {
  const std::string input = readAll(in);
  z_stream z;
  // The same stream as compress() makes at the default level, so the bytes
  // are those of the one-call form.
  if (!prepare(z, input) || deflateInit(&z, Z_DEFAULT_COMPRESSION) != Z_OK) return 0;
  // Room for what zlib may make of incompressible input: one call finishes.
  const uLong bound = deflateBound(&z, static_cast<uLong>(input.size()));
  std::vector<Bytef> packed(bound);
  z.next_out = packed.data();
  z.avail_out = static_cast<uInt>(bound);
  const int status = bound <= UINT32_MAX ? deflate(&z, Z_FINISH) : Z_BUF_ERROR;
  const uLong length = z.total_out;
  deflateEnd(&z);
  if (status != Z_STREAM_END) return 0;
  // A block of fixed capacity is asked for its room first, so that a
  // result that does not fit leaves it as it was.
  if (auto* fixed = dynamic_cast<GFixedStreamBuf*>(out.rdbuf())) {
    if (fixed->capacity() - fixed->written() < length) return 0;
  }
  out.write(reinterpret_cast<const char*>(packed.data()), static_cast<std::streamsize>(length));
  return out ? 1 : 0;
}

int zlibUncompressStream(std::istream& in, std::ostream& out) {
  const std::string input = readAll(in);
  z_stream z;
  if (!prepare(z, input) || inflateInit(&z) != Z_OK) return 0;
  std::vector<Bytef> unpacked(kInflateLimit);
  z.next_out = unpacked.data();
  z.avail_out = static_cast<uInt>(kInflateLimit);
  // Whole or not at all: a stream that is cut short, damaged or longer than
  // the limit does not reach its end here. Bytes after its end are ignored.
  const int status = inflate(&z, Z_FINISH);
  const uLong length = z.total_out;
  inflateEnd(&z);
  if (status != Z_STREAM_END) return 0;
  out.write(reinterpret_cast<const char*>(unpacked.data()), static_cast<std::streamsize>(length));
  return out ? 1 : 0;
}
