#ifndef DISKCHECK_H
#define DISKCHECK_H

// Test helpers for the free-list file and the on-disk B-tree: an independent
// reader of the byte layout. The reader is written from the stored format alone and shares
// no code with the library, so that it can catch the library's own mistakes.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "testkit/bytes.h"
#include "testkit/files.h"
#include "testkit/reports.h"
#include "testkit/tmpdir.h"

namespace disktest {

// Whether any report so far carries the tag, e.g. "[FLIST]".
inline bool saw(const ReportLog& log, const char* tag) {
  for (const CapturedReport& r : log.all())
    if (r.text.find(tag) != std::string::npos) return true;
  return false;
}

// What the reader found in a free-list file.
struct Layout {
  int32_t start = 0, end = 0, blockSize = 0;
  std::vector<int32_t> ring;                 // list block offsets, from 12
  std::vector<std::pair<int32_t, uint32_t>> freeExtents;  // (offset, size) in ring order
  std::vector<std::pair<int32_t, uint32_t>> allocated;    // (block offset o, length word), ascending
};

// Partitions [12 + block size, end) into list blocks, free extents and
// allocated blocks; answers an empty text when everything fits exactly.
inline std::string readLayout(const Bytes& b, Layout& out) {
  out = Layout{};
  out.start = le32(b, 0);
  out.end = le32(b, 4);
  out.blockSize = le32(b, 8);
  int n;
  uint16_t magic;
  if (out.blockSize == 268) {
    n = 32;
    magic = 0x1235;
  } else if (out.blockSize == 92) {
    n = 10;
    magic = 0x1234;
  } else {
    return "block size";
  }
  if (out.end < 12 + out.blockSize || size_t(out.end) > b.size()) return "end outside file";
  struct Span {
    int32_t offset;
    uint32_t length;
  };
  std::vector<Span> spans;  // list blocks and free extents
  int32_t at = 12;
  for (int steps = 0;; ++steps) {
    if (steps > out.end / out.blockSize) return "ring does not close";
    if (at < 12 || at + out.blockSize > out.end) return "list block outside file";
    if ((b[at] | b[at + 1] << 8) != magic) return "list block magic";
    int32_t count = le32(b, at + 4 + 8 * n);
    if (count < 0 || count > n) return "list block count";
    out.ring.push_back(at);
    spans.push_back({at, uint32_t(out.blockSize)});
    int32_t prev = INT32_MIN;
    for (int i = 0; i < count; ++i) {
      int32_t off = le32(b, at + 4 + 4 * i);
      uint32_t size = static_cast<uint32_t>(le32(b, at + 4 + 4 * n + 4 * i));
      if (off <= prev) return "extents out of order";
      prev = off;
      out.freeExtents.emplace_back(off, size);
      spans.push_back({off, size});
    }
    at = le32(b, at + 8 + 8 * n);
    if (at == 12) break;
  }
  std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& c) { return a.offset < c.offset; });
  for (size_t i = 1; i < spans.size(); ++i)
    if (spans[i].offset == spans[i - 1].offset) return "a list block or extent named twice";
  int64_t pos = 12;
  size_t next = 0;  // the first span not yet reached
  while (pos < out.end) {
    if (next < spans.size() && spans[next].offset == pos) {
      if (spans[next].length == 0) return "empty extent";
      pos += spans[next++].length;
      continue;
    }
    if (next < spans.size() && spans[next].offset < pos) break;  // overlapped
    int32_t len = le32(b, static_cast<size_t>(pos));
    if (len < 4 || len % 4 != 0) return "bad length word at " + std::to_string(pos);
    out.allocated.emplace_back(static_cast<int32_t>(pos), static_cast<uint32_t>(len));
    pos += len;
  }
  if (next != spans.size()) return "a list block or extent overlaps another";
  if (pos != out.end) return "blocks overrun the end";
  return "";
}

// What the reader found in a B-tree kept in such a file.
struct Tree {
  int32_t root = -1, entries = 0, keyLength = 0, order = 0, minFill = 0, flags = 0, version = 0;
  std::map<std::string, int32_t> keys;  // key text (up to L bytes) -> value
  std::vector<int32_t> nodes;           // node offsets as handed out, in walk order
  int height = 0;
  int32_t count = 0;                    // keys seen
};

// Walks the tree whose 40-byte record is at user offset base: every node a
// live block of the right size, counts within [minFill, 2M] below the root,
// all leaves at one depth, keys strictly ascending in order. The keys and
// values are collected only when asked for.
inline std::string readTree(const Bytes& b, const Layout& lay, int32_t base, Tree& out,
                            bool collect = true) {
  out = Tree{};
  out.root = le32(b, base);
  out.version = le32(b, base + 8);
  out.entries = le32(b, base + 12);
  out.keyLength = le32(b, base + 16);
  out.order = le32(b, base + 20);
  out.minFill = le32(b, base + 24);
  out.flags = le32(b, base + 36);
  const int32_t m = out.order, l = out.keyLength;
  if (m < 1 || l < 1 || out.minFill > m) return "record";
  const int32_t nodeSize = 8 + 16 * m + 2 * m * l;
  auto less = [&](const char* a, const char* c) {
    return ((out.flags & 1) ? std::memcmp(a, c, l) : std::strncmp(a, c, l)) < 0;
  };
  const char* prev = nullptr;
  int leafDepth = -1;
  std::string err;
  std::vector<char> reached(lay.allocated.size(), 0);
  auto walk = [&](auto& self, int32_t at, int depth) -> void {
    if (!err.empty()) return;
    auto blk = std::lower_bound(lay.allocated.begin(), lay.allocated.end(), std::make_pair(at - 4, 0u));
    if (blk == lay.allocated.end() || blk->first != at - 4 || blk->second < uint32_t(nodeSize + 4)) {
      err = "node not a live block";
      return;
    }
    char& seen = reached[blk - lay.allocated.begin()];
    if (seen || depth > 64) {
      err = "node reached twice";
      return;
    }
    seen = 1;
    out.nodes.push_back(at);
    int32_t count = le32(b, at);
    if (count < 0 || count > 2 * m) err = "count above 2M";
    else if (at != out.root && count < out.minFill) err = "count below minimum fill";
    else if (at == out.root && count == 0) err = "empty root";
    if (!err.empty()) return;
    bool leaf = le32(b, at + 4) == -1;
    if (leaf) {
      if (leafDepth < 0) leafDepth = depth;
      if (leafDepth != depth) err = "leaves at different depths";
    }
    for (int32_t i = 0; i <= count && err.empty(); ++i) {
      int32_t child = le32(b, at + 4 + 4 * i);
      if (leaf != (child == -1)) {
        err = "leaf and inner children mixed";
        return;
      }
      if (!leaf) self(self, child, depth + 1);
      if (i == count || !err.empty()) break;
      const char* slot = reinterpret_cast<const char*>(b.data()) + at + 8 + 16 * m + i * l;
      if (prev && !less(prev, slot)) err = "keys out of order";
      prev = slot;
      ++out.count;
      if (collect) {
        std::string text = (out.flags & 1) ? std::string(slot, l) : std::string(slot, strnlen(slot, l));
        out.keys[text] = le32(b, at + 8 + 8 * m + 4 * i);
      }
    }
  };
  if (out.root != -1) walk(walk, out.root, 1);
  out.height = leafDepth < 0 ? 0 : leafDepth;
  return err;
}

}  // namespace disktest

#endif
