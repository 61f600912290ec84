#ifndef GRAPHICS_TESTS_ROWFEED_H
#define GRAPHICS_TESTS_ROWFEED_H

// A first stage for the row stages' tests: hands out given rows under a
// given rectangle and depth, and records which rows were read and how
// many were skipped on the way.

#include <algorithm>
#include <cstring>
#include <vector>

#include "graphics/rowstage.h"

class RowFeed : public GRowStage {
 public:
  using Row = std::vector<unsigned char>;

  RowFeed(const GRect& bounds, uint8_t bpp, std::vector<Row> rows, std::vector<uint8_t> repeats = {})
      : bounds_(bounds), bpp_(bpp), rows_(std::move(rows)), repeats_(std::move(repeats)) {
    for (const Row& r : rows_) max_ = std::max<uint32_t>(max_, static_cast<uint32_t>(r.size()));
  }

  int16_t processRow(unsigned char* buffer, uint32_t& rowIndex, uint32_t& length, uint8_t& repeat,
                     uint8_t& covered) override {
    rowIndex = next_;
    repeat = next_ < repeats_.size() ? repeats_[next_] : 1;
    covered = 1;
    if (next_ >= rows_.size()) {
      length = 0;
    } else {
      read.push_back(next_);
      std::memcpy(buffer, rows_[next_].data(), rows_[next_].size());
      length = static_cast<uint32_t>(rows_[next_].size());
    }
    ++next_;
    return 0;
  }
  void skipRows(uint32_t count) override {
    next_ += count;
    skipped += count;
  }
  bool start() override { return failStart ? false : GRowStage::start(); }
  uint32_t maxRowBytes() const override { return max_; }
  void bounds(GRect& out) const override { out = bounds_; }
  uint8_t bitsPerPixel() const override { return bpp_; }

  std::vector<uint32_t> read;
  uint32_t skipped = 0;
  bool failStart = false;

 private:
  GRect bounds_;
  uint8_t bpp_;
  std::vector<Row> rows_;
  std::vector<uint8_t> repeats_;
  uint32_t max_ = 0;
  uint32_t next_ = 0;
};

// One pulled row.
struct PulledRow {
  std::vector<unsigned char> bytes;
  uint32_t index = 0;
  uint8_t repeat = 0;
  uint8_t covered = 0;
  int16_t status = 0;
  uint32_t length = 0;  // as answered
};

// Pulls a row from a started stage into a buffer of its maxRowBytes.
inline PulledRow pullRow(GRowStage& stage) {
  PulledRow r;
  std::vector<unsigned char> buffer(std::max<uint32_t>(stage.maxRowBytes(), 1), 0xCC);
  uint32_t length = 0;
  r.status = stage.processRow(buffer.data(), r.index, length, r.repeat, r.covered);
  r.length = length;
  buffer.resize(std::min<size_t>(length, buffer.size()));
  r.bytes = buffer;
  return r;
}

#endif
