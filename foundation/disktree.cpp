#include "rw/disktree.h"

#include <algorithm>
#include <cstring>

#include "rw/cstring.h"
#include "rw/filemgr.h"
#include "rw/lebytes.h"
#include "rw/message.h"
#include "rw/rwerr.h"

namespace {

constexpr RWoffset kNone = -1;
// No sound tree is this deep: every level above the leaves was made by a
// split, so a height of h needs at least 2^(h-1) keys. A deeper walk means
// the child offsets of a damaged file loop.
constexpr unsigned kMaxDepth = 64;
// Largest node accepted from a record: far beyond any real order and key
// length, small enough that a hostile record cannot make us allocate
// gigabytes for the cache.
constexpr uint64_t kMaxNodeSize = 1u << 24;

// Keys without the ignore-null flag are texts; with it, raw bytes.
int textCompare(const char* a, const char* b, size_t n) { return std::strncmp(a, b, n); }
int rawCompare(const char* a, const char* b, size_t n) { return std::memcmp(a, b, n); }

uint64_t nodeBytes(uint64_t order, uint64_t keyLength) { return 8 + 16 * order + 2 * order * keyLength; }

// Field access on a node image of order M with L-byte keys.
struct Node {
  char* p;
  int32_t m;
  int32_t l;

  int32_t count() const { return static_cast<int32_t>(rwGetLE32(p)); }
  void setCount(int32_t c) { rwPutLE32(p, static_cast<uint32_t>(c)); }
  char* childAt(int32_t i) const { return p + 4 + 4 * i; }
  char* valueAt(int32_t i) const { return p + 8 + 8 * m + 4 * i; }
  char* keyAt(int32_t i) const { return p + 8 + 16 * m + static_cast<ptrdiff_t>(i) * l; }
  int32_t child(int32_t i) const { return static_cast<int32_t>(rwGetLE32(childAt(i))); }
  int32_t value(int32_t i) const { return static_cast<int32_t>(rwGetLE32(valueAt(i))); }
  void setChild(int32_t i, int32_t v) { rwPutLE32(childAt(i), static_cast<uint32_t>(v)); }
  void setValue(int32_t i, int32_t v) { rwPutLE32(valueAt(i), static_cast<uint32_t>(v)); }
  bool leaf() const { return child(0) == kNone; }

  // Moves keys and values [from, count) by delta places (either way).
  void shiftEntries(int32_t from, int32_t to, int32_t delta) {
    if (to <= from) return;
    std::memmove(keyAt(from + delta), keyAt(from), static_cast<size_t>(to - from) * l);
    std::memmove(valueAt(from + delta), valueAt(from), static_cast<size_t>(to - from) * 4);
  }
  void shiftChildren(int32_t from, int32_t to, int32_t delta) {
    if (to <= from) return;
    std::memmove(childAt(from + delta), childAt(from), static_cast<size_t>(to - from) * 4);
  }
  void copyEntry(int32_t to, const Node& src, int32_t from) {
    std::memcpy(keyAt(to), src.keyAt(from), l);
    setValue(to, src.value(from));
  }
  void reset() {
    std::memset(p, 0, static_cast<size_t>(nodeBytes(m, l)));
    for (int32_t i = 0; i <= 2 * m; ++i) setChild(i, kNone);
  }
};

}  // namespace

// ---------------------------------------------------------------------------

RWNodeCache::RWNodeCache(RWFile& file, RWsize buffers, RWsize nodeSize)
    : file_(file), capacity_(buffers), nodeSize_(nodeSize) {
  if (nodeSize_ && capacity_ > 0xFFFFFFFFu / nodeSize_) capacity_ = 0xFFFFFFFFu / nodeSize_;
  if (capacity_ == 0) capacity_ = 1;
}

int RWNodeCache::lookup(RWoffset at) {
  int found = -1;
  for (size_t i = 0; i < slots_.size(); ++i) {
    ++slots_[i].age;
    if (found < 0 && slots_[i].offset == at && at != kNone) found = static_cast<int>(i);
  }
  return found;
}

int RWNodeCache::take(bool& flushed) {
  flushed = true;
  if (slots_.size() < capacity_) {
    slots_.push_back(Slot{kNone, 0, std::make_unique<char[]>(nodeSize_)});
    return static_cast<int>(slots_.size() - 1);
  }
  size_t oldest = 0;
  for (size_t i = 1; i < slots_.size(); ++i)
    if (slots_[i].age > slots_[oldest].age) oldest = i;
  flushed = file_.Flush() != 0;
  return static_cast<int>(oldest);
}

RWBoolean RWNodeCache::read(RWoffset at, char* node) {
  int i = lookup(at);
  if (i < 0) {
    bool flushed;
    i = take(flushed);
    Slot& s = slots_[i];
    s.offset = kNone;
    if (!flushed) return FALSE;
    if (!file_.SeekTo(at) || !file_.Read(s.node.get(), nodeSize_)) return FALSE;
    s.offset = at;
  }
  slots_[i].age = 0;
  std::memcpy(node, slots_[i].node.get(), nodeSize_);
  return TRUE;
}

RWBoolean RWNodeCache::write(RWoffset at, const char* node) {
  int i = lookup(at);
  if (i < 0) {
    bool flushed;
    i = take(flushed);
  }
  Slot& s = slots_[i];
  s.age = 0;
  std::memcpy(s.node.get(), node, nodeSize_);
  s.offset = at;
  if (!file_.SeekTo(at) || !file_.Write(node, nodeSize_)) {
    // The file does not hold what the slot would say.
    s.offset = kNone;
    return FALSE;
  }
  return TRUE;
}

void RWNodeCache::forget(RWoffset at) {
  for (Slot& s : slots_)
    if (s.offset == at) s.offset = kNone;
}

// ---------------------------------------------------------------------------

struct RWBTreeOnDisk::Up {
  std::vector<char> key;
  int32_t value = 0;
  RWoffset right = kNone;
};

RWBTreeOnDisk::RWBTreeOnDisk(RWFileManager& mgr, unsigned cacheBlocks, createMode create,
                             unsigned keyLength, int ignoreNull, RWoffset start, styleMode style,
                             unsigned order, unsigned minFill)
    : mgr_(mgr), compare_(textCompare), base_(kNone), cacheBuffers_(std::max(cacheBlocks, 1u)) {
  old_ = style == oldStyle;
  fromArguments(keyLength, ignoreNull, order, minFill);
  if (old_) {
    info_.version = -1;
    if (!argumentsSane()) {
      report(RWFileAccessErr::writeErr);
      return;
    }
    if (mgr_.start() == kNone) {
      RWoffset at = mgr_.allocate(4);
      if (at == kNone) return;
      base_ = kNone;
      usable_ = true;
      writeInfo();
    }
    entriesKnown_ = false;
  } else {
    base_ = start;
    bool make = false;
    if (base_ == kNone) {
      if (create == alwaysCreate) {
        make = true;
      } else {
        base_ = mgr_.start();
        make = base_ == kNone;
      }
    }
    if (make) {
      if (!argumentsSane()) {
        report(RWFileAccessErr::writeErr);
        return;
      }
      base_ = mgr_.allocate(infoSize);
      if (base_ == kNone) return;
      usable_ = true;
      if (!writeInfo()) {
        usable_ = false;
        return;
      }
    }
  }
  usable_ = true;
  if (!readInfo()) {
    usable_ = false;
    return;
  }
  if (!old_ && info_.version != currentVersion) {
    // A record of another version: the tree is an old-style one whose root
    // sits in the start block.
    old_ = true;
    base_ = kNone;
    fromArguments(keyLength, ignoreNull, order, minFill);
    info_.version = -1;
    entriesKnown_ = false;
    if (!argumentsSane()) {
      usable_ = false;
      report(RWFileAccessErr::writeErr);
      return;
    }
    if (!readInfo()) {
      usable_ = false;
      return;
    }
  }
  if (!checkRecord()) {
    usable_ = false;
    return;
  }
  nodeSize_ = static_cast<RWsize>(nodeBytes(info_.order, info_.keyLength));
  compare_ = (!old_ && (info_.flags & 1)) ? rawCompare : textCompare;
  cache_ = std::make_unique<RWNodeCache>(mgr_, cacheBuffers_, nodeSize_);
  if (info_.root != kNone) {
    std::vector<char> root(nodeSize_);
    if (!readNode(info_.root, root.data())) usable_ = false;
  }
  if (usable_ && !old_ && !entriesKnown_) {
    // The record's count was refused: a tree whose keys cannot be counted
    // either is not opened.
    entries();
    if (!entriesKnown_) usable_ = false;
  }
}

RWBTreeOnDisk::~RWBTreeOnDisk() {
  // Only a file that cannot be written keeps its record as it was: one opened
  // for update ("rb+") must get the current entry count.
  const char* mode = mgr_.Access();
  bool readOnly = mode && mode[0] == 'r' && !std::strchr(mode, '+');
  if (usable_ && !readOnly) writeInfo();
}

void RWBTreeOnDisk::fromArguments(unsigned keyLength, int ignoreNull, unsigned order, unsigned minFill) {
  info_ = Info{};
  info_.keyLength = static_cast<int32_t>(std::min<unsigned>(keyLength, INT32_MAX));
  info_.order = static_cast<int32_t>(std::min<unsigned>(order, INT32_MAX));
  info_.minFill = static_cast<int32_t>(std::min(minFill, std::min<unsigned>(order, INT32_MAX)));
  info_.flags = ignoreNull ? 1 : 0;
}

bool RWBTreeOnDisk::argumentsSane() const {
  return info_.keyLength >= 1 && info_.order >= 1 &&
         nodeBytes(uint64_t(info_.order), uint64_t(info_.keyLength)) <= kMaxNodeSize;
}

// A record read from the file is trusted only as far as it holds together.
bool RWBTreeOnDisk::checkRecord() {
  if (!argumentsSane()) {
    report(RWFileAccessErr::readErr);
    return false;
  }
  if (info_.minFill < 0 || info_.minFill > info_.order) {
    // Merging two nodes is only sure to fit when the fill is at most M.
    report(RWFileAccessErr::readErr);
    info_.minFill = std::clamp(info_.minFill, 0, info_.order);
  }
  nodeSize_ = static_cast<RWsize>(nodeBytes(info_.order, info_.keyLength));
  if (info_.root != kNone && !plausibleNode(info_.root)) {
    report(RWFileAccessErr::readErr);
    return false;
  }
  // Every node is a block of at least nodeSize + 4 bytes holding at most 2M
  // keys, so no count can pass what the file has room for; one outside that
  // is counted again once the tree is open. The count then stays within the
  // keys the file really holds and no insert or remove can overflow it.
  const int64_t most = int64_t(mgr_.endData()) / (int64_t(nodeSize_) + 4) * 2 * info_.order;
  if (!old_ && (info_.entries < 0 || info_.entries > most)) {
    report(RWFileAccessErr::readErr);
    info_.entries = 0;
    entriesKnown_ = false;
  }
  return true;
}

void RWBTreeOnDisk::report(int kind) const {
  const RWCatMsg* entry = kind == RWFileAccessErr::seekErr   ? RWTOOL_SEEKERR()
                          : kind == RWFileAccessErr::readErr ? RWTOOL_READERR()
                                                             : RWTOOL_WRITEERR();
  RWMessage msg(entry);
  RWThrow(RWFileAccessErr(msg, mgr_.GetHandle(), static_cast<RWFileAccessErr::Kind>(kind)));
}

bool RWBTreeOnDisk::readInfo() {
  if (old_) {
    RWoffset at = mgr_.start();
    info_.root = kNone;
    if (at == kNone) return true;
    char word[4];
    if (!mgr_.SeekTo(at)) {
      report(RWFileAccessErr::seekErr);
      return false;
    }
    if (!mgr_.Read(word, 4)) {
      report(RWFileAccessErr::readErr);
      return false;
    }
    info_.root = static_cast<int32_t>(rwGetLE32(word));
    return true;
  }
  char raw[infoSize];
  if (!mgr_.SeekTo(base_)) {
    report(RWFileAccessErr::seekErr);
    return false;
  }
  if (!mgr_.Read(raw, infoSize)) {
    report(RWFileAccessErr::readErr);
    return false;
  }
  info_.root = static_cast<int32_t>(rwGetLE32(raw));
  info_.reserved1 = static_cast<int32_t>(rwGetLE32(raw + 4));
  info_.version = static_cast<int32_t>(rwGetLE32(raw + 8));
  info_.entries = static_cast<int32_t>(rwGetLE32(raw + 12));
  info_.keyLength = static_cast<int32_t>(rwGetLE32(raw + 16));
  info_.order = static_cast<int32_t>(rwGetLE32(raw + 20));
  info_.minFill = static_cast<int32_t>(rwGetLE32(raw + 24));
  info_.reserved2 = static_cast<int32_t>(rwGetLE32(raw + 28));
  std::memcpy(info_.unused, raw + 32, 4);
  info_.flags = static_cast<int32_t>(rwGetLE32(raw + 36));
  return true;
}

bool RWBTreeOnDisk::writeInfo() {
  if (!usable_) return false;
  char raw[infoSize];
  RWsize size = infoSize;
  RWoffset at = base_;
  if (old_) {
    rwPutLE32(raw, static_cast<uint32_t>(info_.root));
    size = 4;
    at = mgr_.start();
    if (at == kNone) return false;
  } else {
    rwPutLE32(raw, static_cast<uint32_t>(info_.root));
    rwPutLE32(raw + 4, static_cast<uint32_t>(info_.reserved1));
    rwPutLE32(raw + 8, static_cast<uint32_t>(info_.version));
    rwPutLE32(raw + 12, static_cast<uint32_t>(info_.entries));
    rwPutLE32(raw + 16, static_cast<uint32_t>(info_.keyLength));
    rwPutLE32(raw + 20, static_cast<uint32_t>(info_.order));
    rwPutLE32(raw + 24, static_cast<uint32_t>(info_.minFill));
    rwPutLE32(raw + 28, static_cast<uint32_t>(info_.reserved2));
    std::memcpy(raw + 32, info_.unused, 4);
    rwPutLE32(raw + 36, static_cast<uint32_t>(info_.flags));
  }
  if (!mgr_.SeekTo(at)) {
    report(RWFileAccessErr::seekErr);
    return false;
  }
  if (!mgr_.Write(raw, size)) {
    report(RWFileAccessErr::writeErr);
    return false;
  }
  return true;
}

// A node below the root keeps at least one key whatever the minimum fill:
// an empty leaf has no successor to give for the key above it, so at a fill
// of 0 a node that empties is mended as one below a fill of 1 would be.
// With the fill at most M, a merge still fits in 2M keys.
int32_t RWBTreeOnDisk::fillFloor() const { return std::max(info_.minFill, 1); }

// ---- nodes -------------------------------------------------------------------

bool RWBTreeOnDisk::plausibleNode(RWoffset at) const {
  return at > RWFileManager::headerSize && at % 4 == 0 &&
         int64_t(at) + nodeSize_ <= int64_t(mgr_.endData());
}

bool RWBTreeOnDisk::readNode(RWoffset at, char* buf) const {
  if (!plausibleNode(at) || !cache_->read(at, buf)) {
    report(RWFileAccessErr::readErr);
    return false;
  }
  Node n{buf, info_.order, info_.keyLength};
  int32_t count = n.count();
  bool sound = count >= 0 && count <= 2 * info_.order;
  // Either every child of a node is there (an inner node) or none is (a
  // leaf); anything else would send a walk into bytes that are not a node.
  for (int32_t i = 0; sound && i <= count; ++i) {
    RWoffset c = n.child(i);
    sound = n.leaf() ? c == kNone : plausibleNode(c) && c != at;
  }
  if (!sound) {
    cache_->forget(at);
    report(RWFileAccessErr::readErr);
    return false;
  }
  return true;
}

bool RWBTreeOnDisk::writeNode(RWoffset at, const char* buf) {
  if (!cache_->write(at, buf)) {
    report(RWFileAccessErr::writeErr);
    return false;
  }
  return true;
}

void RWBTreeOnDisk::freeNode(RWoffset at) {
  cache_->forget(at);
  mgr_.deallocate(at);
}

int RWBTreeOnDisk::position(const char* buf, const char* key) const {
  Node n{const_cast<char*>(buf), info_.order, info_.keyLength};
  int32_t count = n.count();
  size_t len = static_cast<size_t>(info_.keyLength);
  if (count == 0 || compare_(n.keyAt(0), key, len) >= 0) return 0;
  if (compare_(n.keyAt(count - 1), key, len) < 0) return count;
  int32_t lo = 0, hi = count - 1;
  while (hi - lo > 1) {
    int32_t mid = (lo + hi) / 2;
    if (compare_(n.keyAt(mid), key, len) < 0)
      lo = mid;
    else
      hi = mid;
  }
  return hi;
}

void RWBTreeOnDisk::storeKey(char* slot, const char* key) const {
  size_t len = static_cast<size_t>(info_.keyLength);
  if (info_.flags & 1) {
    std::memcpy(slot, key, len);
    return;
  }
  size_t n = strnlen(key, len);
  std::memcpy(slot, key, n);
  std::memset(slot + n, 0, len - n);
}

void RWBTreeOnDisk::keyText(const char* slot, char* out) const {
  if (!out) return;
  size_t len = static_cast<size_t>(info_.keyLength);
  size_t n = (info_.flags & 1) ? len : strnlen(slot, len);
  std::memcpy(out, slot, n);
  out[n] = 0;
}

// ---- lookup --------------------------------------------------------------------

// The one walk from the root towards a key that lookup, replacement and
// insertion share. The node last read stays in buf: on found it holds the
// key at path.slot and lies at path.at. The walk also counts what an
// insertion needs to know before it changes anything: the nodes on the way
// and how many full ones end the path.
RWBTreeOnDisk::Seek RWBTreeOnDisk::seek(const char* key, char* buf, Path& path) const {
  Node n{buf, info_.order, info_.keyLength};
  path = Path();
  for (RWoffset at = info_.root; at != kNone; ++path.length) {
    if (path.length >= kMaxDepth) {
      report(RWFileAccessErr::readErr);
      return Seek::failed;
    }
    if (!readNode(at, buf)) return Seek::failed;
    int p = position(buf, key);
    if (p < n.count() && compare_(n.keyAt(p), key, info_.keyLength) == 0) {
      path.at = at;
      path.slot = p;
      return Seek::found;
    }
    path.fullRun = n.count() == 2 * info_.order ? path.fullRun + 1 : 0;
    at = n.child(p);
  }
  return Seek::absent;
}

int RWBTreeOnDisk::findKeyAndValue(const char* key, char* keyOut, int32_t& value) const {
  value = kNone;
  if (!usable_ || !key) return 0;
  std::vector<char> buf(nodeSize_);
  Path path;
  if (seek(key, buf.data(), path) != Seek::found) return 0;
  Node n{buf.data(), info_.order, info_.keyLength};
  keyText(n.keyAt(path.slot), keyOut);
  value = n.value(path.slot);
  return 1;
}

// The key text of a slot as a string: the forms with a text buffer, and
// the buffer made into a string once a key was found.
RWCString RWBTreeOnDisk::keyString(const std::vector<char>& text) const {
  const RWsize n = (info_.flags & 1) ? static_cast<RWsize>(info_.keyLength)
                                     : static_cast<RWsize>(strnlen(text.data(), text.size()));
  return RWCString(text.data(), n);
}

int RWBTreeOnDisk::findKeyAndValue(const char* key, RWCString& keyOut, int32_t& value) const {
  value = kNone;
  if (!usable_ || !key) return 0;
  std::vector<char> text(static_cast<size_t>(info_.keyLength) + 1);
  if (!findKeyAndValue(key, text.data(), value)) return 0;
  keyOut = keyString(text);
  return 1;
}

int RWBTreeOnDisk::replaceValue(const char* key, int32_t newValue, int32_t& oldValue) {
  oldValue = kNone;
  if (!usable_ || !key) return 0;
  std::vector<char> buf(nodeSize_);
  Path path;
  if (seek(key, buf.data(), path) != Seek::found) return 0;
  Node n{buf.data(), info_.order, info_.keyLength};
  oldValue = n.value(path.slot);
  n.setValue(path.slot, newValue);
  return writeNode(path.at, buf.data()) ? 1 : 0;
}

// ---- insertion -----------------------------------------------------------------

int RWBTreeOnDisk::insertKeyAndValue(const char* key, int32_t value) {
  if (!usable_ || !key) return 0;
  // Walk the path first: a duplicate is found without touching anything, and
  // the blocks every split on the way up will need are taken before the
  // first node changes, so that a full file cannot leave a half-done split.
  std::vector<char> buf(nodeSize_);
  Node n{buf.data(), info_.order, info_.keyLength};
  Path path;
  if (seek(key, buf.data(), path) != Seek::absent) return 0;
  // One block per full node at the bottom of the path, and one for a new
  // root when the splits reach the top (or the tree is empty).
  const bool newRoot = path.fullRun == path.length;
  std::vector<RWoffset> blocks;
  for (unsigned i = 0; i < path.fullRun + (newRoot ? 1 : 0); ++i) {
    RWoffset b = mgr_.allocate(nodeSize_);
    if (b == kNone) {
      for (RWoffset got : blocks) mgr_.deallocate(got);
      return 0;
    }
    blocks.push_back(b);
  }
  std::reverse(blocks.begin(), blocks.end());  // taken from the back, bottom first

  Up up;
  Ins r = insertAt(info_.root, key, value, up, blocks, 0);
  if (r == Ins::up) {
    // The key rising out of the root becomes a new root of one key.
    RWoffset fresh = blocks.empty() ? kNone : blocks.back();
    if (fresh == kNone) return 0;
    blocks.pop_back();
    n.reset();
    n.setCount(1);
    std::memcpy(n.keyAt(0), up.key.data(), info_.keyLength);
    n.setValue(0, up.value);
    n.setChild(0, info_.root);
    n.setChild(1, up.right);
    if (!writeNode(fresh, buf.data())) {
      mgr_.deallocate(fresh);
      return 0;
    }
    info_.root = fresh;
    ++info_.entries;
    writeInfo();
    r = Ins::done;
  } else if (r == Ins::done) {
    ++info_.entries;
  }
  for (RWoffset left : blocks) mgr_.deallocate(left);
  return r == Ins::done ? 1 : 0;
}

RWBTreeOnDisk::Ins RWBTreeOnDisk::insertAt(RWoffset at, const char* key, int32_t value, Up& up,
                                           std::vector<RWoffset>& blocks, unsigned depth) {
  const int32_t m = info_.order;
  const int32_t l = info_.keyLength;
  if (at == kNone) {
    up.key.assign(l, 0);
    storeKey(up.key.data(), key);
    up.value = value;
    up.right = kNone;
    return Ins::up;
  }
  if (depth >= kMaxDepth) {
    report(RWFileAccessErr::readErr);
    return Ins::fail;
  }
  std::vector<char> buf(nodeSize_);
  Node n{buf.data(), m, l};
  if (!readNode(at, buf.data())) return Ins::fail;
  int32_t p = position(buf.data(), key);
  int32_t count = n.count();
  if (p < count && compare_(n.keyAt(p), key, l) == 0) return Ins::duplicate;
  Ins r = insertAt(n.child(p), key, value, up, blocks, depth + 1);
  if (r != Ins::up) return r;

  if (count < 2 * m) {
    n.shiftEntries(p, count, 1);
    n.shiftChildren(p + 1, count + 1, 1);
    std::memcpy(n.keyAt(p), up.key.data(), l);
    n.setValue(p, up.value);
    n.setChild(p + 1, up.right);
    n.setCount(count + 1);
    return writeNode(at, buf.data()) ? Ins::done : Ins::fail;
  }

  // Split a full node: lay the 2M + 1 keys out in order, keep the lower M
  // here, send the middle one up and move the upper M to a new node.
  if (blocks.empty()) return Ins::fail;
  RWoffset fresh = blocks.back();
  blocks.pop_back();
  const int32_t wide = 2 * m + 1;
  std::vector<char> keys(static_cast<size_t>(wide) * l);
  std::vector<int32_t> values(wide);
  std::vector<int32_t> children(wide + 1);
  for (int32_t i = 0, j = 0; i < wide; ++i) {
    if (i == p) {
      std::memcpy(&keys[static_cast<size_t>(i) * l], up.key.data(), l);
      values[i] = up.value;
    } else {
      std::memcpy(&keys[static_cast<size_t>(i) * l], n.keyAt(j), l);
      values[i] = n.value(j);
      ++j;
    }
  }
  for (int32_t i = 0, j = 0; i <= wide; ++i) children[i] = i == p + 1 ? up.right : n.child(j++);

  std::vector<char> rbuf(nodeSize_);
  Node right{rbuf.data(), m, l};
  right.reset();
  for (int32_t i = 0; i < m; ++i) {
    std::memcpy(right.keyAt(i), &keys[static_cast<size_t>(m + 1 + i) * l], l);
    right.setValue(i, values[m + 1 + i]);
  }
  for (int32_t i = 0; i <= m; ++i) right.setChild(i, children[m + 1 + i]);
  right.setCount(m);

  for (int32_t i = 0; i < m; ++i) {
    std::memcpy(n.keyAt(i), &keys[static_cast<size_t>(i) * l], l);
    n.setValue(i, values[i]);
  }
  for (int32_t i = 0; i <= 2 * m; ++i) n.setChild(i, i <= m ? children[i] : kNone);
  n.setCount(m);

  up.key.assign(keys.begin() + static_cast<ptrdiff_t>(m) * l, keys.begin() + static_cast<ptrdiff_t>(m + 1) * l);
  up.value = values[m];
  up.right = fresh;
  if (!writeNode(fresh, rbuf.data()) || !writeNode(at, buf.data())) return Ins::fail;
  return Ins::up;
}

// ---- removal -------------------------------------------------------------------

int RWBTreeOnDisk::removeKeyAndValue(const char* key, char* keyOut, int32_t& value) {
  if (!usable_ || !key) return 0;
  // A pass that finds an empty leaf where the successor of an inner key
  // should be mends that leaf, removes nothing and leaves the next pass to
  // start again from the root. Each such pass leaves one empty node fewer,
  // so there can be no more of them than the file has room for nodes.
  const int64_t passes = int64_t(mgr_.endData()) / int64_t(nodeSize_) + 1;
  for (int64_t pass = 0;; ++pass) {
    if (pass > passes) {
      report(RWFileAccessErr::readErr);
      return 0;
    }
    int32_t found = 0;
    emptyLeaf_ = false;
    Rem r = removeAt(info_.root, key, false, keyOut, found, 0);
    if (r == Rem::notFound || r == Rem::fail) return 0;
    const bool removed = !emptyLeaf_;
    if (removed) {
      value = found;
      --info_.entries;
    }
    if (r == Rem::underflow) {
      std::vector<char> buf(nodeSize_);
      Node n{buf.data(), info_.order, info_.keyLength};
      if (readNode(info_.root, buf.data()) && n.count() == 0) {
        // The root has no keys left: its only child (or nothing) takes over.
        RWoffset gone = info_.root;
        info_.root = n.child(0);
        freeNode(gone);
        writeInfo();
      }
    }
    if (removed) return 1;
  }
}

int RWBTreeOnDisk::removeKeyAndValue(const char* key, RWCString& keyOut, int32_t& value) {
  if (!usable_ || !key) return 0;
  std::vector<char> text(static_cast<size_t>(info_.keyLength) + 1);
  if (!removeKeyAndValue(key, text.data(), value)) return 0;
  keyOut = keyString(text);
  return 1;
}

RWBTreeOnDisk::Rem RWBTreeOnDisk::removeAt(RWoffset at, const char* key, bool leftmost, char* keyOut,
                                           int32_t& value, unsigned depth) {
  if (at == kNone) return Rem::notFound;
  if (depth >= kMaxDepth) {
    report(RWFileAccessErr::readErr);
    return Rem::fail;
  }
  const int32_t m = info_.order;
  const int32_t l = info_.keyLength;
  std::vector<char> buf(nodeSize_);
  Node n{buf.data(), m, l};
  if (!readNode(at, buf.data())) return Rem::fail;
  const bool isRoot = at == info_.root;
  int32_t count = n.count();
  int32_t p;
  bool present;
  if (leftmost) {
    // Taking the successor: always the first key of the leftmost leaf.
    p = 0;
    present = n.leaf();
    if (present && count == 0) {
      // Written at a minimum fill of 0 before empty nodes were mended: there
      // is no successor here. The repair on the way back up gives the leaf a
      // key or merges it away, and the removal starts over.
      emptyLeaf_ = true;
      return Rem::underflow;
    }
  } else {
    p = position(buf.data(), key);
    present = p < count && compare_(n.keyAt(p), key, l) == 0;
  }
  const int32_t fillMin = fillFloor();
  auto fill = [&](int32_t c) { return isRoot ? (c == 0 ? Rem::underflow : Rem::done)
                                             : (c < fillMin ? Rem::underflow : Rem::done); };

  if (present && n.leaf()) {
    keyText(n.keyAt(p), keyOut);
    value = n.value(p);
    n.shiftEntries(p + 1, count, -1);
    n.shiftChildren(p + 1, count + 1, -1);
    n.setCount(count - 1);
    n.setChild(count, kNone);
    if (!writeNode(at, buf.data())) return Rem::fail;
    return fill(count - 1);
  }
  if (n.leaf()) return Rem::notFound;

  int32_t into = p;
  if (present) {
    // An inner key trades places with its successor, the first key of the
    // leftmost leaf to its right; the removal then ends in that leaf.
    into = p + 1;
    std::vector<char> lbuf(nodeSize_);
    Node leaf{lbuf.data(), m, l};
    RWoffset la = n.child(p + 1);
    for (unsigned d = depth + 1;; ++d) {
      if (d >= kMaxDepth) {
        report(RWFileAccessErr::readErr);
        return Rem::fail;
      }
      if (!readNode(la, lbuf.data())) return Rem::fail;
      if (leaf.leaf()) break;
      la = leaf.child(0);
    }
    // An empty leaf has no successor to give: the walk below finds it
    // again and has it mended.
    if (leaf.count() > 0) {
      std::vector<char> tmp(l);
      std::memcpy(tmp.data(), leaf.keyAt(0), l);
      int32_t tv = leaf.value(0);
      std::memcpy(leaf.keyAt(0), n.keyAt(p), l);
      leaf.setValue(0, n.value(p));
      std::memcpy(n.keyAt(p), tmp.data(), l);
      n.setValue(p, tv);
      if (!writeNode(la, lbuf.data()) || !writeNode(at, buf.data())) return Rem::fail;
    }
  }
  Rem r = removeAt(n.child(into), key, leftmost || present, keyOut, value, depth + 1);
  if (r != Rem::underflow) return r;
  return repair(at, into);
}

// Child i of the node at `at` has fewer keys than the minimum fill: borrow
// from a sibling that can spare one, else merge with a sibling.
RWBTreeOnDisk::Rem RWBTreeOnDisk::repair(RWoffset at, int32_t i) {
  const int32_t m = info_.order;
  const int32_t l = info_.keyLength;
  const int32_t fillMin = fillFloor();
  std::vector<char> pbuf(nodeSize_), cbuf(nodeSize_), sbuf(nodeSize_);
  Node parent{pbuf.data(), m, l}, child{cbuf.data(), m, l}, sib{sbuf.data(), m, l};
  if (!readNode(at, pbuf.data())) return Rem::fail;
  const int32_t count = parent.count();
  if (count == 0 || i > count) {
    report(RWFileAccessErr::readErr);
    return Rem::fail;
  }
  const bool isRoot = at == info_.root;
  auto fill = [&](int32_t c) { return isRoot ? (c == 0 ? Rem::underflow : Rem::done)
                                             : (c < fillMin ? Rem::underflow : Rem::done); };
  const RWoffset ca = parent.child(i);
  if (!readNode(ca, cbuf.data())) return Rem::fail;

  auto lendFromLeft = [&](RWoffset sa) -> Rem {
    int32_t cc = child.count(), sc = sib.count();
    child.shiftEntries(0, cc, 1);
    child.shiftChildren(0, cc + 1, 1);
    child.copyEntry(0, parent, i - 1);
    child.setChild(0, sib.child(sc));
    child.setCount(cc + 1);
    parent.copyEntry(i - 1, sib, sc - 1);
    sib.setChild(sc, kNone);
    sib.setCount(sc - 1);
    if (!writeNode(ca, cbuf.data()) || !writeNode(sa, sbuf.data()) || !writeNode(at, pbuf.data()))
      return Rem::fail;
    return fill(count);
  };
  auto lendFromRight = [&](RWoffset sa) -> Rem {
    int32_t cc = child.count(), sc = sib.count();
    child.copyEntry(cc, parent, i);
    child.setChild(cc + 1, sib.child(0));
    child.setCount(cc + 1);
    parent.copyEntry(i, sib, 0);
    sib.shiftEntries(1, sc, -1);
    sib.shiftChildren(1, sc + 1, -1);
    sib.setChild(sc, kNone);
    sib.setCount(sc - 1);
    if (!writeNode(ca, cbuf.data()) || !writeNode(sa, sbuf.data()) || !writeNode(at, pbuf.data()))
      return Rem::fail;
    return fill(count);
  };
  // Merges child j + 1 into child j; `left` and `right` hold their images.
  auto merge = [&](int32_t j, Node& left, RWoffset la, Node& right, RWoffset ra) -> Rem {
    int32_t lc = left.count(), rc = right.count();
    if (lc + 1 + rc > 2 * m) {
      report(RWFileAccessErr::readErr);
      return Rem::fail;
    }
    left.copyEntry(lc, parent, j);
    for (int32_t k = 0; k < rc; ++k) left.copyEntry(lc + 1 + k, right, k);
    for (int32_t k = 0; k <= rc; ++k) left.setChild(lc + 1 + k, right.child(k));
    left.setCount(lc + 1 + rc);
    parent.shiftEntries(j + 1, count, -1);
    parent.shiftChildren(j + 2, count + 1, -1);
    parent.setChild(count, kNone);
    parent.setCount(count - 1);
    if (!writeNode(la, left.p) || !writeNode(at, pbuf.data())) return Rem::fail;
    freeNode(ra);
    return fill(count - 1);
  };

  if (i > 0) {
    RWoffset sa = parent.child(i - 1);
    if (!readNode(sa, sbuf.data())) return Rem::fail;
    if (sib.count() > fillMin) return lendFromLeft(sa);
    if (i == count) return merge(i - 1, sib, sa, child, ca);
  }
  RWoffset sa = parent.child(i + 1);
  if (!readNode(sa, sbuf.data())) return Rem::fail;
  if (sib.count() > fillMin) return lendFromRight(sa);
  return merge(i, child, ca, sib, sa);
}

// ---- whole-tree operations -------------------------------------------------------

void RWBTreeOnDisk::clear() {
  if (!usable_) return;
  if (info_.root != kNone && !clearAt(info_.root, 0)) return;
  info_.root = kNone;
  info_.reserved1 = kNone;
  info_.entries = 0;
  entriesKnown_ = true;
  writeInfo();
}

bool RWBTreeOnDisk::clearAt(RWoffset at, unsigned depth) {
  if (depth >= kMaxDepth) {
    report(RWFileAccessErr::readErr);
    return false;
  }
  std::vector<char> buf(nodeSize_);
  Node n{buf.data(), info_.order, info_.keyLength};
  if (!readNode(at, buf.data())) return false;
  if (!n.leaf())
    for (int32_t i = 0; i <= n.count(); ++i)
      if (!clearAt(n.child(i), depth + 1)) return false;
  freeNode(at);
  return true;
}

void RWBTreeOnDisk::applyToKeyAndValue(void (*fn)(const char*, int32_t, void*), void* user) {
  if (!usable_ || !fn || info_.root == kNone) return;
  applyAt(info_.root, fn, user, 0);
}

bool RWBTreeOnDisk::applyAt(RWoffset at, void (*fn)(const char*, int32_t, void*), void* user,
                            unsigned depth) {
  if (depth >= kMaxDepth) {
    report(RWFileAccessErr::readErr);
    return false;
  }
  std::vector<char> buf(nodeSize_);
  Node n{buf.data(), info_.order, info_.keyLength};
  if (!readNode(at, buf.data())) return false;
  const bool leaf = n.leaf();
  for (int32_t i = 0; i < n.count(); ++i) {
    if (!leaf && !applyAt(n.child(i), fn, user, depth + 1)) return false;
    fn(n.keyAt(i), n.value(i), user);
  }
  return leaf || applyAt(n.child(n.count()), fn, user, depth + 1);
}

bool RWBTreeOnDisk::countAt(RWoffset at, int64_t& total, unsigned depth) {
  if (depth >= kMaxDepth) {
    report(RWFileAccessErr::readErr);
    return false;
  }
  std::vector<char> buf(nodeSize_);
  Node n{buf.data(), info_.order, info_.keyLength};
  if (!readNode(at, buf.data())) return false;
  total += n.count();
  if (!n.leaf())
    for (int32_t i = 0; i <= n.count(); ++i)
      if (!countAt(n.child(i), total, depth + 1)) return false;
  return true;
}

int32_t RWBTreeOnDisk::entries() {
  if (!usable_) return 0;
  if (!entriesKnown_) {
    int64_t total = 0;
    if (info_.root != kNone && !countAt(info_.root, total, 0)) return 0;
    info_.entries = static_cast<int32_t>(std::min<int64_t>(total, INT32_MAX));
    entriesKnown_ = true;
  }
  return info_.entries;
}

unsigned RWBTreeOnDisk::height() {
  if (!usable_) return 0;
  std::vector<char> buf(nodeSize_);
  Node n{buf.data(), info_.order, info_.keyLength};
  unsigned levels = 0;
  for (RWoffset at = info_.root; at != kNone; ++levels) {
    if (levels >= kMaxDepth) {
      report(RWFileAccessErr::readErr);
      return 0;
    }
    if (!readNode(at, buf.data())) return 0;
    at = n.child(0);
  }
  return levels;
}

unsigned RWBTreeOnDisk::cacheCount(unsigned buffers) {
  unsigned old = cacheBuffers_;
  buffers = std::max(buffers, 1u);
  if (buffers != old) {
    cacheBuffers_ = buffers;
    if (cache_) cache_ = std::make_unique<RWNodeCache>(mgr_, cacheBuffers_, nodeSize_);
  }
  return old;
}

RWdiskTreeCompare RWBTreeOnDisk::setComparison(RWdiskTreeCompare fn) {
  RWdiskTreeCompare old = compare_;
  if (fn) compare_ = fn;
  return old;
}
