#include "rw/filemgr.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "rw/lebytes.h"
#include "rw/message.h"
#include "rw/rwerr.h"

namespace {

constexpr RWoffset kNone = -1;
constexpr int32_t kMaxOffset = INT32_MAX;

void reportFlist(int64_t expected, int64_t got) {
  rwReport<RWEnvironmentErr>(RWTOOL_FLIST(), {expected, got});
}

}  // namespace

// ---------------------------------------------------------------------------
// The free list: one block image held in memory, the others read as the
// search moves round the ring. Every change is written through at once.

class RWFreeListImpl : public RWFreeList {
 public:
  RWoffset allocate(RWspace n) override;
  void deallocate(RWoffset p) override;
  bool damaged() const { return damaged_; }

 protected:
  RWFreeListImpl(RWFileManager* mgr, int entries, uint16_t magic, bool fresh);

 private:
  struct Block {
    uint16_t magic = 0;
    int32_t count = 0;
    int32_t next = 0;
    int32_t offset[32] = {};
    uint32_t size[32] = {};
  };

  RWsize blockSize() const { return static_cast<RWsize>(12 + 8 * n_); }
  // The most blocks a ring can have in a file of the current length, so that
  // no walk of a damaged ring can go on for ever. The blocks of a sound ring
  // do not overlap, so neither the end word nor the file's true length has
  // room for more: a damaged end word alone must not let a walk of a
  // looping ring go on through millions of steps.
  int32_t ringLimit() const {
    int64_t room = mgr_->end_;
    if (mgr_->SeekToEnd()) {
      const RWoffset length = mgr_->CurOffset();
      if (length >= 0 && length < room) room = length;
    }
    const int64_t blocks = (room - RWFileManager::firstListBlock) / int64_t(blockSize()) + 1;
    return static_cast<int32_t>(blocks < 1 ? 1 : blocks);
  }

  void encode(const Block& b, char* out) const;
  bool readBlock(RWoffset at, Block& b);
  bool checkBlock(RWoffset at, const Block& b);
  bool writeCurrent();
  bool checkRing();
  enum class Refusal { none, alreadyFree, notBlock };
  Refusal liveBlock(int64_t o, uint32_t& len);
  void markDamaged(int64_t expected, int64_t got);

  bool offer(Block& b, RWoffset o, RWspace len);
  void freeExtent(RWoffset o, RWspace len);
  void removeEmptyCurrent();

  RWFileManager* mgr_;
  int n_;
  uint16_t magic_;
  RWoffset cur_ = RWFileManager::firstListBlock;
  Block blk_;
  bool damaged_ = false;
};

class RWLargeFreeList : public RWFreeListImpl {
 public:
  RWLargeFreeList(RWFileManager* mgr, bool fresh) : RWFreeListImpl(mgr, 32, 0x1235, fresh) {}
};

class RWSmallFreeList : public RWFreeListImpl {
 public:
  RWSmallFreeList(RWFileManager* mgr, bool fresh) : RWFreeListImpl(mgr, 10, 0x1234, fresh) {}
};

RWFreeListImpl::RWFreeListImpl(RWFileManager* mgr, int entries, uint16_t magic, bool fresh)
    : mgr_(mgr), n_(entries), magic_(magic) {
  if (fresh) {
    blk_.magic = magic_;
    blk_.count = 0;
    blk_.next = RWFileManager::firstListBlock;
    writeCurrent();
    return;
  }
  // An end that lies inside the header or the first block would let the
  // next allocation overwrite them.
  if (mgr_->end_ < RWFileManager::headerSize + static_cast<RWoffset>(blockSize())) {
    markDamaged(RWFileManager::headerSize + blockSize(), mgr_->end_);
    return;
  }
  if (!checkRing()) return;
  if (!readBlock(cur_, blk_)) return;
  if (blk_.magic != magic_)
    rwReport<RWEnvironmentErr>(RWTOOL_MAGIC(), {int32_t(blk_.magic), int32_t(magic_)});
}

void RWFreeListImpl::markDamaged(int64_t expected, int64_t got) {
  if (!damaged_) reportFlist(expected, got);
  damaged_ = true;
}

void RWFreeListImpl::encode(const Block& b, char* out) const {
  std::memset(out, 0, blockSize());
  out[0] = static_cast<char>(b.magic & 0xFF);
  out[1] = static_cast<char>(b.magic >> 8);
  for (int i = 0; i < n_; ++i) {
    rwPutLE32(out + 4 + 4 * i, static_cast<uint32_t>(b.offset[i]));
    rwPutLE32(out + 4 + 4 * n_ + 4 * i, b.size[i]);
  }
  rwPutLE32(out + 4 + 8 * n_, static_cast<uint32_t>(b.count));
  rwPutLE32(out + 8 + 8 * n_, static_cast<uint32_t>(b.next));
}

// Reads and checks one block. A block that cannot be read or does not hold
// together makes the whole list unusable.
bool RWFreeListImpl::readBlock(RWoffset at, Block& b) {
  if (damaged_) return false;
  char raw[12 + 8 * 32];
  if (!mgr_->readBytes(at, raw, blockSize())) {
    markDamaged(blockSize(), 0);
    return false;
  }
  b.magic = static_cast<uint16_t>(static_cast<unsigned char>(raw[0]) |
                                  (static_cast<unsigned char>(raw[1]) << 8));
  for (int i = 0; i < n_; ++i) {
    b.offset[i] = static_cast<int32_t>(rwGetLE32(raw + 4 + 4 * i));
    b.size[i] = rwGetLE32(raw + 4 + 4 * n_ + 4 * i);
  }
  b.count = static_cast<int32_t>(rwGetLE32(raw + 4 + 8 * n_));
  b.next = static_cast<int32_t>(rwGetLE32(raw + 8 + 8 * n_));
  return checkBlock(at, b);
}

bool RWFreeListImpl::checkBlock(RWoffset, const Block& b) {
  if (b.count < 0 || b.count > n_) {
    markDamaged(n_, b.count);
    return false;
  }
  const int64_t low = RWFileManager::headerSize + blockSize();
  const int64_t end = mgr_->end_;
  if (b.next != RWFileManager::firstListBlock &&
      (b.next < low || b.next % 4 != 0 || int64_t(b.next) + blockSize() > end)) {
    markDamaged(RWFileManager::firstListBlock, b.next);
    return false;
  }
  int64_t prevEnd = low;
  for (int i = 0; i < b.count; ++i) {
    int64_t from = b.offset[i];
    int64_t to = from + b.size[i];
    if (from < prevEnd || to > end) {
      markDamaged(prevEnd, from);
      return false;
    }
    prevEnd = to;
  }
  return true;
}

// Walks the ring once from the first block: it must come back to offset 12
// within as many steps as the file has room for blocks, and no two blocks
// and no two free extents may overlap.
bool RWFreeListImpl::checkRing() {
  std::vector<std::pair<int64_t, int64_t>> spans;
  Block b;
  RWoffset at = RWFileManager::firstListBlock;
  int32_t limit = ringLimit();
  for (int32_t steps = 0;; ++steps) {
    if (steps >= limit) {
      markDamaged(RWFileManager::firstListBlock, at);
      return false;
    }
    if (!readBlock(at, b)) return false;
    spans.emplace_back(at, int64_t(at) + blockSize());
    for (int i = 0; i < b.count; ++i) spans.emplace_back(b.offset[i], int64_t(b.offset[i]) + b.size[i]);
    at = b.next;
    if (at == RWFileManager::firstListBlock) break;
  }
  std::sort(spans.begin(), spans.end());
  for (size_t i = 1; i < spans.size(); ++i) {
    if (spans[i].first < spans[i - 1].second) {
      markDamaged(spans[i - 1].second, spans[i].first);
      return false;
    }
  }
  return true;
}

// Whether o starts a live block, with the block's length when it does.
// A live block lies in a run of allocated blocks between two list blocks or
// free extents: from the end of the last one before o, the length words must
// step onto o exactly, and o's own block must end by the start of the next
// one. A length word met on the way is all a damaged file can fake, and the
// walk refuses as soon as one does not fit.
RWFreeListImpl::Refusal RWFreeListImpl::liveBlock(int64_t o, uint32_t& len) {
  const int64_t low = RWFileManager::headerSize + int64_t(blockSize());
  if (o < low || o % 4 != 0) return Refusal::notBlock;
  int64_t before = low;
  int64_t after = mgr_->end_;
  bool inside = false;
  auto place = [&](int64_t from, int64_t to) {
    if (from <= o && o < to)
      inside = true;
    else if (to <= o)
      before = std::max(before, to);
    else
      after = std::min(after, from);
  };
  Block b;
  RWoffset at = RWFileManager::firstListBlock;
  int32_t limit = ringLimit();
  for (int32_t steps = 0;; ++steps) {
    if (steps >= limit) {
      markDamaged(RWFileManager::firstListBlock, at);
      return Refusal::notBlock;
    }
    if (at == cur_) {
      b = blk_;
    } else if (!readBlock(at, b)) {
      return Refusal::notBlock;
    }
    place(at, int64_t(at) + blockSize());
    if (inside) return Refusal::notBlock;
    for (int i = 0; i < b.count; ++i) {
      place(b.offset[i], int64_t(b.offset[i]) + b.size[i]);
      if (inside) return Refusal::alreadyFree;
    }
    at = b.next;
    if (at == RWFileManager::firstListBlock) break;
  }
  auto lengthAt = [&](int64_t pos, uint32_t& w) {
    char word[4];
    if (!mgr_->readBytes(static_cast<RWoffset>(pos), word, 4)) return false;
    w = rwGetLE32(word);
    return w >= 4 && w % 4 == 0 && pos + w <= after;
  };
  for (int64_t pos = before; pos < o; pos += len)
    if (!lengthAt(pos, len) || pos + len > o) return Refusal::notBlock;
  return lengthAt(o, len) ? Refusal::none : Refusal::notBlock;
}

bool RWFreeListImpl::writeCurrent() {
  char raw[12 + 8 * 32];
  encode(blk_, raw);
  return mgr_->writeBytes(cur_, raw, blockSize());
}

RWoffset RWFreeListImpl::allocate(RWspace n) {
  if (damaged_) return kNone;
  // n + 4 rounded up to a multiple of 4 must not wrap, nor pass what a
  // 32-bit offset can reach.
  if (n > static_cast<RWspace>(kMaxOffset) - 7) {
    RWThrow(RWMemoryErr(n));
    return kNone;
  }
  RWspace want = (n + 7) & ~RWspace(3);

  const RWoffset first = cur_;
  const int32_t limit = ringLimit();
  int found = -1;
  for (int32_t steps = 0;; ++steps) {
    for (int i = 0; i < blk_.count; ++i) {
      if (blk_.size[i] >= want) {
        found = i;
        break;
      }
    }
    if (found >= 0 || blk_.next == first) break;
    if (steps >= limit) {
      markDamaged(first, blk_.next);
      return kNone;
    }
    RWoffset next = blk_.next;
    if (!readBlock(next, blk_)) return kNone;
    cur_ = next;
  }

  RWoffset result;
  if (found < 0) {
    result = mgr_->allocateAtEnd(want);
    if (result == kNone) return kNone;
  } else {
    result = blk_.offset[found];
    RWspace rest = blk_.size[found] - want;
    if (rest >= 8) {
      blk_.offset[found] += static_cast<int32_t>(want);
      blk_.size[found] = rest;
    } else {
      // Too small to ever hold a block: the caller gets it too.
      want += rest;
      for (int i = found; i + 1 < blk_.count; ++i) {
        blk_.offset[i] = blk_.offset[i + 1];
        blk_.size[i] = blk_.size[i + 1];
      }
      --blk_.count;
    }
    if (blk_.count == 0)
      removeEmptyCurrent();
    else
      writeCurrent();
  }
  mgr_->writeWord(result, want);
  return result + 4;
}

void RWFreeListImpl::removeEmptyCurrent() {
  const RWoffset first = RWFileManager::firstListBlock;
  if (cur_ == first) {
    if (blk_.next == first) {
      writeCurrent();
      return;
    }
    // The first block never moves: its successor's content takes its place.
    RWoffset succ = blk_.next;
    Block b;
    if (!readBlock(succ, b)) return;
    blk_ = b;
    writeCurrent();
    freeExtent(succ, blockSize());
    return;
  }
  const RWoffset gone = cur_;
  const RWoffset after = blk_.next;
  Block b;
  RWoffset at = first;
  const int32_t limit = ringLimit();
  for (int32_t steps = 0;; ++steps) {
    if (steps >= limit) {
      markDamaged(first, at);
      return;
    }
    if (!readBlock(at, b)) return;
    if (b.next == gone) break;
    at = b.next;
  }
  b.next = after;
  blk_ = b;
  cur_ = at;
  writeCurrent();
  freeExtent(gone, blockSize());
}

bool RWFreeListImpl::offer(Block& b, RWoffset o, RWspace len) {
  const int64_t extentEnd = int64_t(o) + len;
  for (int i = 0; i < b.count; ++i) {
    if (int64_t(b.offset[i]) + b.size[i] == o) {
      b.size[i] += len;
      if (i + 1 < b.count && int64_t(b.offset[i]) + b.size[i] == b.offset[i + 1]) {
        b.size[i] += b.size[i + 1];
        for (int j = i + 1; j + 1 < b.count; ++j) {
          b.offset[j] = b.offset[j + 1];
          b.size[j] = b.size[j + 1];
        }
        --b.count;
      }
      return true;
    }
    if (extentEnd == b.offset[i]) {
      b.offset[i] = o;
      b.size[i] += len;
      return true;
    }
  }
  if (b.count >= n_) return false;
  int at = 0;
  while (at < b.count && b.offset[at] <= o) ++at;
  for (int j = b.count; j > at; --j) {
    b.offset[j] = b.offset[j - 1];
    b.size[j] = b.size[j - 1];
  }
  b.offset[at] = o;
  b.size[at] = len;
  ++b.count;
  return true;
}

void RWFreeListImpl::freeExtent(RWoffset o, RWspace len) {
  if (damaged_) return;
  if (mgr_->releaseAtEnd(o, len)) return;
  if (offer(blk_, o, len)) {
    writeCurrent();
    return;
  }
  const RWoffset first = cur_;
  const int32_t limit = ringLimit();
  for (int32_t steps = 0; blk_.next != first; ++steps) {
    if (steps >= limit) {
      markDamaged(first, blk_.next);
      return;
    }
    RWoffset next = blk_.next;
    if (!readBlock(next, blk_)) return;
    cur_ = next;
    if (offer(blk_, o, len)) {
      writeCurrent();
      return;
    }
  }
  // Every block is full: a new one, allocated from this same list, goes
  // into the ring after the current block.
  RWoffset user = allocate(blockSize() - 4);
  if (user == kNone) return;
  RWoffset fresh = user - 4;
  Block nb;
  nb.magic = magic_;
  nb.next = blk_.next;
  blk_.next = fresh;
  writeCurrent();
  blk_ = nb;
  cur_ = fresh;
  offer(blk_, o, len);
  writeCurrent();
}

void RWFreeListImpl::deallocate(RWoffset p) {
  if (damaged_) return;
  const int64_t end = mgr_->end_;
  if (p < 0 || p > end) {
    mgr_->readErr();
    rwReport<RWBoundsErr>(RWTOOL_LONGINDEX(), {uint32_t(p), uint32_t(end)});
    return;
  }
  const int64_t o = int64_t(p) - 4;
  uint32_t len = 0;
  const Refusal why = liveBlock(o, len);
  if (damaged_) return;
  if (why != Refusal::none) {
    // A second free, an offset into a block or a damaged length word: taking
    // it would corrupt the list, or hand out again bytes still in use.
    mgr_->readErr();
    rwReport<RWInternalErr>(why == Refusal::alreadyFree ? RWTOOL_DBLFREE() : RWTOOL_NOTBLOCK(), {int32_t(p)});
    return;
  }
  freeExtent(static_cast<RWoffset>(o), len);
}

// ---------------------------------------------------------------------------

RWFileManager::RWFileManager(const char* name, const char* mode)
    : RWFile(name, mode), freeList_(nullptr), start_(kNone), end_(kNone) {
  if (!isValid()) return;
  if (IsEmpty()) {
    start_ = kNone;
    end_ = headerSize + 268;
    char header[12];
    rwPutLE32(header, static_cast<uint32_t>(start_));
    rwPutLE32(header + 4, static_cast<uint32_t>(end_));
    rwPutLE32(header + 8, 268);
    writeBytes(0, header, 12);
    freeList_ = new RWLargeFreeList(this, true);
    return;
  }
  char header[12];
  if (!readBytes(0, header, 12)) {
    reportFlist(268, 0);
    return;
  }
  start_ = static_cast<int32_t>(rwGetLE32(header));
  end_ = static_cast<int32_t>(rwGetLE32(header + 4));
  uint32_t size = rwGetLE32(header + 8);
  if (size == 268)
    freeList_ = new RWLargeFreeList(this, false);
  else if (size == 92)
    freeList_ = new RWSmallFreeList(this, false);
  else
    reportFlist(268, static_cast<int32_t>(size));
}

RWFileManager::~RWFileManager() { delete freeList_; }

RWBoolean RWFileManager::hasFreeList() const {
  return freeList_ && !static_cast<RWFreeListImpl*>(freeList_)->damaged();
}

RWoffset RWFileManager::allocate(RWspace n) {
  if (!freeList_) return kNone;
  RWoffset result = freeList_->allocate(n);
  if (start_ == kNone && result != kNone) {
    start_ = result;
    writeWord(0, static_cast<uint32_t>(start_));
  }
  return result;
}

void RWFileManager::deallocate(RWoffset p) {
  if (!freeList_ || p == kNone || p == start_) return;
  freeList_->deallocate(p);
}

RWoffset RWFileManager::allocateAtEnd(RWspace n) {
  if (int64_t(end_) + n > kMaxOffset) {
    RWThrow(RWMemoryErr(n));
    return kNone;
  }
  RWoffset result = end_;
  end_ += static_cast<RWoffset>(n);
  writeWord(4, static_cast<uint32_t>(end_));
  return result;
}

RWBoolean RWFileManager::releaseAtEnd(RWoffset o, RWspace n) {
  if (int64_t(o) + n < end_) return FALSE;
  end_ = o;
  writeWord(4, static_cast<uint32_t>(end_));
  return TRUE;
}

RWBoolean RWFileManager::readBytes(RWoffset at, char* p, RWsize n) {
  if (!SeekTo(at)) {
    seekErr();
    return FALSE;
  }
  if (!Read(p, n)) {
    readErr();
    return FALSE;
  }
  return TRUE;
}

RWBoolean RWFileManager::writeBytes(RWoffset at, const char* p, RWsize n) {
  if (!SeekTo(at)) {
    seekErr();
    return FALSE;
  }
  if (!Write(p, n)) {
    writeErr();
    return FALSE;
  }
  return TRUE;
}

RWBoolean RWFileManager::writeWord(RWoffset at, uint32_t v) {
  char word[4];
  rwPutLE32(word, v);
  return writeBytes(at, word, 4);
}
