// Row encoders (see rowenc.h).

#include "graphics/rowenc.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

uint32_t clamp32(uint64_t v) { return v > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(v); }

}  // namespace

// ---- shared ------------------------------------------------------------------------

bool GRowEncoder::prepare(bool wantInput) {
  if (!upstream_) return false;
  GRect b;
  upstream_->bounds(b);
  const uint64_t bytes = gRowBytes(upstream_->bitsPerPixel(), gRowWidth(b));
  if (bytes > (uint64_t{1} << 28)) return false;
  rowBytes_ = static_cast<uint32_t>(bytes);
  const uint32_t rest = rowBytes_ % alignment_;
  pad_ = rest ? alignment_ - rest : 0;
  if (wantInput) {
    input_ = gMakeRowBuffer(std::max(rowBytes_, upstream_->maxRowBytes()));
    if (!input_) return false;
  }
  return true;
}

int16_t GRowEncoder::pullInput(uint32_t& rowIndex, uint32_t& length, uint8_t& repeat, uint8_t& covered) {
  const int16_t status = upstream_->processRow(input_.get(), rowIndex, length, repeat, covered);
  if (status == 0 && length != 0 && length < rowBytes_) std::memset(input_.get() + length, 0, rowBytes_ - length);
  return status;
}

bool GRowEncoder::pullRowToEncode(int16_t& status, uint32_t& rowIndex, uint32_t& length, uint8_t& repeat,
                                  uint8_t& covered) {
  status = 0;
  if (!started_ || !input_) {
    length = 0;
    return false;
  }
  status = pullInput(rowIndex, length, repeat, covered);
  if (status != 0) length = 0;
  return status == 0 && length != 0;
}

// ---- unencoded ---------------------------------------------------------------------

bool GUnencodedRowStage::start() {
  if (!prepare(false)) return false;
  const uint64_t u = upstream_->maxRowBytes();
  maxRowBytes_ = clamp32(u + alignment_ - u % alignment_);
  return GRowStage::start();
}

int16_t GUnencodedRowStage::processRow(unsigned char* buffer, uint32_t& rowIndex, uint32_t& length, uint8_t& repeat,
                                       uint8_t& covered) {
  if (!started_) {
    length = 0;
    return 0;
  }
  const int16_t status = upstream_->processRow(buffer, rowIndex, length, repeat, covered);
  if (status != 0 || length == 0) {
    if (status != 0) length = 0;
    return status;
  }
  if (invert_)
    for (uint32_t i = 0; i < length; ++i) buffer[i] = static_cast<unsigned char>(~buffer[i]);
  while (length % alignment_) buffer[length++] = 0;
  return 0;
}

// ---- PackBits ----------------------------------------------------------------------

uint32_t GPackBitsRowEncoder::worstCase(uint32_t rowBytes, uint32_t pad, uint16_t alignment) {
  // Up to an alignment of 4 the pad is at most three zeros, which at worst
  // open one more run of two bytes. A wider alignment's pad is encoded
  // runs of its own.
  const uint64_t n = alignment > 4 ? uint64_t{rowBytes} + pad : rowBytes;
  return clamp32(n + (n + 126) / 127 + (pad ? 2 : 0));
}

bool GPackBitsRowEncoder::startOwned() {
  if (!prepare(false)) return false;
  maxRowBytes_ = worstCase(rowBytes_, pad_, alignment_);
  started_ = 1;
  return true;
}

bool GPackBitsRowEncoder::start() { return prepare(true) && startOwned(); }

uint32_t GPackBitsRowEncoder::encode(const unsigned char* input, unsigned char* output) const {
  const uint64_t n = uint64_t{rowBytes_} + pad_;
  const unsigned char flip = invert_ ? 0xFF : 0x00;
  // p: the open run's count byte; q: the last data byte written. Counts
  // are kept as the byte sent: 0 … 127 literals less one, 255 … 129 a
  // repeat of 257 minus the count.
  uint64_t p = 0, q = 0;
  int state = 0;
  bool any = false;
  // A new literal run of one byte.
  auto open = [&](unsigned char b) {
    p = any ? q + 1 : 0;
    output[p] = 0;
    q = p + 1;
    output[q] = b;
    any = true;
    state = 1;
  };
  for (uint64_t i = 0; i < n; ++i) {
    const unsigned char b = i < rowBytes_ ? static_cast<unsigned char>(input[i] ^ flip) : 0;
    switch (state) {
      case 0:  // nothing open
        open(b);
        break;
      case 1:  // one literal
        if (b == output[q]) {
          output[p] = 255;
          state = 4;
        } else {
          output[++q] = b;
          output[p] = 1;
          state = 2;
        }
        break;
      case 2:  // a literal run
        output[++q] = b;
        if (b == output[q - 1]) {
          ++output[p];
          state = 3;
        } else if (++output[p] == 127) {
          state = 0;
        }
        break;
      case 3:  // a literal run ending in two equal bytes
        if (b == output[q]) {
          // The two leave the literal run and make a repeat of three.
          output[p] = static_cast<unsigned char>(output[p] - 2);
          p = q - 1;
          output[p] = 254;
          output[q] = b;
          state = 4;
        } else if (output[p] == 127) {
          open(b);
        } else {
          output[++q] = b;
          state = ++output[p] == 127 ? 0 : 2;
        }
        break;
      default:  // a repeat run
        if (b == output[q]) {
          if (--output[p] == 129) state = 0;
        } else {
          open(b);
        }
        break;
    }
  }
  return any ? static_cast<uint32_t>(q + 1) : 0;
}

int16_t GPackBitsRowEncoder::processRow(unsigned char* buffer, uint32_t& rowIndex, uint32_t& length, uint8_t& repeat,
                                        uint8_t& covered) {
  int16_t status = 0;
  if (pullRowToEncode(status, rowIndex, length, repeat, covered)) length = encode(input_.get(), buffer);
  return status;
}

// ---- delta row ---------------------------------------------------------------------

void GDeltaRowEncoder::resetSeedRow() {
  // The printer's seed is zero as sent, which is 0xFF before inversion.
  if (seed_) std::memset(seed_.get(), invert_ ? 0xFF : 0x00, rowBytes_ ? rowBytes_ : 1);
}

bool GDeltaRowEncoder::startOwned() {
  if (!prepare(false)) return false;
  seed_ = gMakeRowBuffer(rowBytes_);
  if (!seed_) return false;
  resetSeedRow();
  maxRowBytes_ = clamp32(uint64_t{rowBytes_} + (uint64_t{rowBytes_} + 7) / 8);
  started_ = 1;
  return true;
}

bool GDeltaRowEncoder::start() { return prepare(true) && startOwned(); }

uint32_t GDeltaRowEncoder::encode(const unsigned char* input, unsigned char* output) {
  unsigned char* seed = seed_.get();
  const unsigned char flip = invert_ ? 0xFF : 0x00;
  uint32_t out = 0;
  uint32_t offset = 0;
  uint32_t runStart = 0;
  uint32_t run = 0;
  auto emit = [&] {
    output[out++] = static_cast<unsigned char>(((run - 1) << 5) | std::min<uint32_t>(offset, 31));
    if (offset >= 31) {
      uint32_t v = offset - 31;
      for (; v >= 255; v -= 255) output[out++] = 255;
      output[out++] = static_cast<unsigned char>(v);
    }
    for (uint32_t k = 0; k < run; ++k) output[out++] = static_cast<unsigned char>(input[runStart + k] ^ flip);
    offset = 0;
    run = 0;
  };
  for (uint32_t i = 0; i < rowBytes_; ++i) {
    if (input[i] != seed[i]) {
      if (run == 0) runStart = i;
      ++run;
      seed[i] = input[i];
      if (run == 8) emit();
    } else {
      if (run) emit();
      ++offset;
    }
  }
  if (run) emit();
  return out;
}

int16_t GDeltaRowEncoder::processRow(unsigned char* buffer, uint32_t& rowIndex, uint32_t& length, uint8_t& repeat,
                                     uint8_t& covered) {
  int16_t status = 0;
  if (pullRowToEncode(status, rowIndex, length, repeat, covered)) length = encode(input_.get(), buffer);
  return status;
}

// ---- adaptive ----------------------------------------------------------------------

GAdaptiveRowEncoder::~GAdaptiveRowEncoder() = default;

bool GAdaptiveRowEncoder::start() {
  if (!prepare(true)) return false;
  third_ = rowBytes_ / 3;
  packBits_.reset(new (std::nothrow) GPackBitsRowEncoder(alignment_, invert_));
  delta_.reset(new (std::nothrow) GDeltaRowEncoder(alignment_, invert_));
  if (!packBits_ || !delta_) return false;
  packBits_->setUpstream(upstream_);
  delta_->setUpstream(upstream_);
  if (!packBits_->startOwned() || !delta_->startOwned()) return false;
  firstRowSeen_ = 0;
  const uint64_t data = std::max<uint64_t>({packBits_->maxRowBytes(), delta_->maxRowBytes(), uint64_t{rowBytes_} + pad_});
  // The block header and a duplicate-row block.
  maxRowBytes_ = clamp32(data + 6);
  return GRowStage::start();
}

void GAdaptiveRowEncoder::resetSeedRow() {
  if (delta_) delta_->resetSeedRow();
  firstRowSeen_ = 0;
}

int16_t GAdaptiveRowEncoder::processRow(unsigned char* buffer, uint32_t& rowIndex, uint32_t& length,
                                        uint8_t& repeat, uint8_t& covered) {
  int16_t status = 0;
  if (!pullRowToEncode(status, rowIndex, length, repeat, covered)) return status;

  const unsigned char* row = input_.get();
  unsigned char* seed = delta_->seedRow();
  uint32_t e = 0, r = 0;
  for (uint32_t i = 0; i < rowBytes_; ++i) {
    if (row[i] == seed[i]) ++e;
    if (i && row[i] == row[i - 1]) ++r;
  }
  if (!firstRowSeen_) e = 0;
  firstRowSeen_ = 1;

  unsigned char* data = buffer + 3;
  unsigned char mode;
  uint32_t n;
  if (r < third_ && e < third_) {
    mode = 0;
    const unsigned char flip = invert_ ? 0xFF : 0x00;
    for (uint32_t i = 0; i < rowBytes_; ++i) data[i] = static_cast<unsigned char>(row[i] ^ flip);
    std::memset(data + rowBytes_, 0, pad_);
    n = rowBytes_ + pad_;
  } else if (e < r) {
    mode = 2;
    n = packBits_->encode(row, data);
  } else {
    mode = 3;
    n = delta_->encode(row, data);
  }
  if (n > 0xFFFF) {
    // A length the header cannot hold: no block rather than a wrong one.
    length = 0;
    return kBlockTooLong;
  }
  if (mode != 3) std::memcpy(seed, row, rowBytes_);
  buffer[0] = mode;
  buffer[1] = static_cast<unsigned char>(n >> 8);
  buffer[2] = static_cast<unsigned char>(n & 0xFF);
  length = n + 3;
  if (repeat > 1 && covered == 1) {
    buffer[length++] = 5;
    buffer[length++] = 0;
    buffer[length++] = static_cast<unsigned char>(repeat - 1);
    covered = repeat;
    repeat = 1;
  }
  return 0;
}
