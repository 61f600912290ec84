#ifndef GRAPHICS_ROWENC_H
#define GRAPHICS_ROWENC_H

// Row encoders: the last stage of a generator's raster chain (rowstage.h),
// turning each row into the bytes that follow a printer's raster transfer
// command.
//
//   GUnencodedRowStage   the row as it is, padded with zeros to a multiple
//                        of the alignment
//   GPackBitsRowEncoder  TIFF PackBits (PCL method 2): a count byte n of
//                        0 … 127 followed by n + 1 literal bytes, or one of
//                        129 … 255 followed by one byte repeated 257 − n
//                        times; the row and its zero pad are encoded
//   GDeltaRowEncoder     PCL method 3 against a seed row (the row before):
//                        a command byte ((count − 1) << 5) | offset, count
//                        1 … 8 replacement bytes, offset 0 … 30 unchanged
//                        bytes since the last replacement; offset 31 is 31
//                        plus further bytes, each 255 adding 255 and going
//                        on, the last below 255; then the bytes. No pad.
//   GAdaptiveRowEncoder  PCL method 5: per row a block of a mode byte (0
//                        unencoded with pad, 2 PackBits, 3 delta row), a
//                        big-endian 16-bit data length and the data; a
//                        row with repeat n > 1 is followed by the
//                        duplicate-row block 5, 0, n − 1 and reported as
//                        covering n rows
//
// An inverting encoder sends the complement of every data byte (for
// printers that take 1 as white); pad bytes are always zero. Its seed rows
// are kept in data terms and start as 0xFF, which is the printer's zero
// seed as sent.
//
// rowBytes = (upstream depth × bounds width + 7) / 8; pad = the zeros that
// bring it to a multiple of the alignment (an alignment of 0 counts as 1).
// maxRowBytes covers every row's worst case. An upstream row of length 0
// gives length 0. A row whose adaptive block would pass 65,535 bytes
// cannot be framed: processRow answers kBlockTooLong and length 0.
// start fails without an upstream or when a buffer cannot be had.

#include <cstdint>
#include <memory>

#include "graphics/rowstage.h"

class GRowEncoder : public GRowStage {
 public:
  GRowEncoder(uint16_t alignment, uint32_t invert) : alignment_(alignment ? alignment : 1), invert_(invert) {}

  uint16_t alignment() const { return alignment_; }
  bool inverts() const { return invert_ != 0; }
  uint32_t rowBytes() const { return rowBytes_; }
  uint32_t pad() const { return pad_; }
  uint32_t maxRowBytes() const override { return maxRowBytes_; }

 protected:
  // rowBytes and pad from the upstream, and an input buffer of the
  // upstream's size (when wanted); false when there is no upstream or no
  // buffer.
  bool prepare(bool wantInput);
  // Pulls the upstream's row into the input buffer, zero-filled to
  // rowBytes past a short row.
  int16_t pullInput(uint32_t& rowIndex, uint32_t& length, uint8_t& repeat, uint8_t& covered);
  // The start of an encoder's processRow: true when the input buffer holds
  // a row to encode (length its size); otherwise length is 0 and status
  // what the row stage answers (0 before a start).
  bool pullRowToEncode(int16_t& status, uint32_t& rowIndex, uint32_t& length, uint8_t& repeat, uint8_t& covered);

  uint16_t alignment_;
  uint32_t invert_;
  uint32_t rowBytes_ = 0;
  uint32_t pad_ = 0;
  GRowBuffer input_;
};

class GUnencodedRowStage : public GRowEncoder {
 public:
  explicit GUnencodedRowStage(uint16_t alignment, uint32_t invert = 0) : GRowEncoder(alignment, invert) {}
  [[nodiscard]] int16_t processRow(unsigned char* buffer, uint32_t& rowIndex, uint32_t& length, uint8_t& repeat,
                                   uint8_t& covered) override;
  [[nodiscard]] bool start() override;
};

class GPackBitsRowEncoder : public GRowEncoder {
 public:
  explicit GPackBitsRowEncoder(uint16_t alignment, uint32_t invert = 0) : GRowEncoder(alignment, invert) {}
  [[nodiscard]] int16_t processRow(unsigned char* buffer, uint32_t& rowIndex, uint32_t& length, uint8_t& repeat,
                                   uint8_t& covered) override;
  [[nodiscard]] bool start() override;
  // Encodes rowBytes bytes of input and the pad into output (room for
  // maxRowBytes); answers the output length.
  uint32_t encode(const unsigned char* input, unsigned char* output) const;
  // The worst case of encode for a row and pad.
  static uint32_t worstCase(uint32_t rowBytes, uint32_t pad, uint16_t alignment);

 private:
  friend class GAdaptiveRowEncoder;
  // Sets up the sizes without an input buffer of its own.
  bool startOwned();
};

class GDeltaRowEncoder : public GRowEncoder {
 public:
  explicit GDeltaRowEncoder(uint16_t alignment, uint32_t invert = 0) : GRowEncoder(alignment, invert) {}
  [[nodiscard]] int16_t processRow(unsigned char* buffer, uint32_t& rowIndex, uint32_t& length, uint8_t& repeat,
                                   uint8_t& covered) override;
  [[nodiscard]] bool start() override;
  // Encodes rowBytes bytes of input against the seed row, which becomes
  // the input; answers the output length (0 for a row equal to the seed).
  uint32_t encode(const unsigned char* input, unsigned char* output);
  // The seed row in data terms (rowBytes bytes).
  unsigned char* seedRow() const { return seed_.get(); }
  // The seed as the printer's is at the start of a transfer block.
  void resetSeedRow();

 private:
  friend class GAdaptiveRowEncoder;
  bool startOwned();
  GRowBuffer seed_;
};

class GAdaptiveRowEncoder : public GRowEncoder {
 public:
  static constexpr int16_t kBlockTooLong = -1;

  explicit GAdaptiveRowEncoder(uint16_t alignment, uint32_t invert = 0) : GRowEncoder(alignment, invert) {}
  ~GAdaptiveRowEncoder() override;
  [[nodiscard]] int16_t processRow(unsigned char* buffer, uint32_t& rowIndex, uint32_t& length, uint8_t& repeat,
                                   uint8_t& covered) override;
  [[nodiscard]] bool start() override;
  // A blank seed row, as the printer's is at the start of each transfer
  // block, and no row seen.
  void resetSeedRow();

 private:
  uint32_t firstRowSeen_ = 0;
  uint32_t third_ = 0;
  std::unique_ptr<GPackBitsRowEncoder> packBits_;
  std::unique_ptr<GDeltaRowEncoder> delta_;
};

#endif
