#ifndef RW_DISKTREE_H
#define RW_DISKTREE_H

// A B-tree index kept in the blocks of a free-list file.
//
// Keys are fixed-length (L bytes) and map to 32-bit values, in practice the
// offsets of stored objects. Every node is one block of the file manager;
// nodes are written as soon as they change, and a small write-through cache
// keeps recently used nodes so that the upper levels are read from memory.
//
// Information record (40 bytes at the tree's base offset, 4-byte
// little-endian fields): root, -1, version 0x200, entries, key length L,
// order M, minimum fill (0 to M; a node below the root keeps at least one
// key even at 0), -1, 4 unused bytes, flags (bit 0: keys are raw L-byte
// strings compared with memcmp). An old-style tree has no record: the root
// offset alone sits in the manager's start block.
//
// Node (8 + 16M + 2ML bytes): u32 count (0 to 2M), 2M + 1 child offsets
// (-1 for none; a node is a leaf when child 0 is -1), 2M values, then 2M key
// slots of L bytes.
//
// A node or record read from the file is checked before it is used; damage
// is reported as a read error and the operation stops without touching the
// file further. An entry count larger than the file could hold, or below
// zero, is reported on opening and the keys are counted again.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "rw/defs.h"

class RWCString;
class RWFile;
class RWFileManager;

// compare(key in a node, key sought, key length), ordered as strncmp.
typedef int (*RWdiskTreeCompare)(const char*, const char*, size_t);

// Write-through cache of whole nodes. A miss takes a free slot while there
// is one, else the least recently used (the largest age, the lowest index on
// ties).
class RWNodeCache {
 public:
  RWNodeCache(RWFile& file, RWsize buffers, RWsize nodeSize);
  RWNodeCache(const RWNodeCache&) = delete;
  RWNodeCache& operator=(const RWNodeCache&) = delete;

  // Copies the node at offset at into node (nodeSize bytes).
  RWBoolean read(RWoffset at, char* node);
  // Stores the node in its slot and writes it to the file at once.
  RWBoolean write(RWoffset at, const char* node);
  // Drops the slot of a block that no longer holds a node.
  void forget(RWoffset at);

  RWsize capacity() const { return capacity_; }
  RWsize inUse() const { return static_cast<RWsize>(slots_.size()); }
  // Offset held by slot i (-1 when the slot holds nothing valid).
  RWoffset slotOffset(RWsize i) const { return i < slots_.size() ? slots_[i].offset : -1; }

 private:
  struct Slot {
    RWoffset offset;
    uint32_t age;
    std::unique_ptr<char[]> node;
  };
  int lookup(RWoffset at);
  int take(bool& flushed);

  RWFile& file_;
  RWsize capacity_;
  RWsize nodeSize_;
  std::vector<Slot> slots_;
};

class RWBTreeOnDisk {
 public:
  enum createMode { autoCreate = 0, alwaysCreate = 1 };
  enum styleMode { currentStyle = 0, oldStyle = 1 };

  static constexpr int32_t currentVersion = 0x200;
  static constexpr RWsize infoSize = 40;

  RWBTreeOnDisk(RWFileManager& mgr, unsigned cacheBlocks = 10, createMode create = autoCreate,
                unsigned keyLength = 16, int ignoreNull = 0, RWoffset start = -1,
                styleMode style = currentStyle, unsigned order = 10, unsigned minFill = 10);
  ~RWBTreeOnDisk();
  RWBTreeOnDisk(const RWBTreeOnDisk&) = delete;
  RWBTreeOnDisk& operator=(const RWBTreeOnDisk&) = delete;

  // The found key's text goes to keyOut, which holds keyLength() + 1 bytes
  // (it may be null): all L bytes with the ignore-null flag, else the text up
  // to its first zero byte; it is always zero-terminated. With memcmp as the
  // comparison a sought key must have L readable bytes.
  int findKeyAndValue(const char* key, char* keyOut, int32_t& value) const;
  // The same with the key's text as a string (all L bytes with the
  // ignore-null flag, else the text up to its first zero byte).
  int findKeyAndValue(const char* key, RWCString& keyOut, int32_t& value) const;
  int insertKeyAndValue(const char* key, int32_t value);
  int removeKeyAndValue(const char* key, char* keyOut, int32_t& value);
  int removeKeyAndValue(const char* key, RWCString& keyOut, int32_t& value);
  int replaceValue(const char* key, int32_t newValue, int32_t& oldValue);
  // Calls fn for every entry in ascending key order; the key points at the
  // L bytes of its slot.
  void applyToKeyAndValue(void (*fn)(const char* key, int32_t value, void* user), void* user);
  void clear();

  // The comparison is not stored in the file: a user with its own installs
  // it after every construction.
  RWdiskTreeCompare setComparison(RWdiskTreeCompare fn);
  int32_t entries();
  unsigned height();
  unsigned cacheCount(unsigned buffers);

  // False when the record or the arguments could not make a sound tree;
  // every operation then does nothing and answers 0.
  RWBoolean isValid() const { return usable_; }
  RWoffset baseInfo() const { return base_; }
  RWoffset rootOffset() const { return info_.root; }
  RWBoolean isOldStyle() const { return old_; }
  RWsize keyLength() const { return static_cast<RWsize>(info_.keyLength); }
  RWsize order() const { return static_cast<RWsize>(info_.order); }
  RWsize minFill() const { return static_cast<RWsize>(info_.minFill); }
  // Keys are kept as all L bytes, zeros included (the record's flag bit 0).
  RWBoolean ignoresNull() const { return (info_.flags & 1) != 0; }
  RWsize nodeSize() const { return nodeSize_; }
  RWdiskTreeCompare comparison() const { return compare_; }

 private:
  struct Info {
    int32_t root = -1;
    int32_t reserved1 = -1;
    int32_t version = currentVersion;
    int32_t entries = 0;
    int32_t keyLength = 0;
    int32_t order = 0;
    int32_t minFill = 0;
    int32_t reserved2 = -1;
    char unused[4] = {};
    int32_t flags = 0;
  };
  struct Up;
  enum class Seek { found, absent, failed };
  struct Path {
    RWoffset at = -1;      // found: the node holding the key
    int slot = 0;          // found: the key's place in it
    unsigned length = 0;   // nodes read on the way
    unsigned fullRun = 0;  // absent: full nodes at the bottom of the path
  };
  enum class Ins { done, up, duplicate, fail };
  enum class Rem { done, underflow, notFound, fail };

  void fromArguments(unsigned keyLength, int ignoreNull, unsigned order, unsigned minFill);
  bool argumentsSane() const;
  bool checkRecord();
  bool readInfo();
  bool writeInfo();
  void report(int kind) const;

  int32_t fillFloor() const;
  bool plausibleNode(RWoffset at) const;
  bool readNode(RWoffset at, char* node) const;
  bool writeNode(RWoffset at, const char* node);
  void freeNode(RWoffset at);
  int position(const char* node, const char* key) const;
  Seek seek(const char* key, char* node, Path& path) const;
  void storeKey(char* slot, const char* key) const;
  void keyText(const char* slot, char* out) const;
  RWCString keyString(const std::vector<char>& text) const;

  Ins insertAt(RWoffset at, const char* key, int32_t value, Up& up, std::vector<RWoffset>& blocks,
               unsigned depth);
  Rem removeAt(RWoffset at, const char* key, bool leftmost, char* keyOut, int32_t& value,
               unsigned depth);
  Rem repair(RWoffset at, int i);
  bool clearAt(RWoffset at, unsigned depth);
  bool applyAt(RWoffset at, void (*fn)(const char*, int32_t, void*), void* user, unsigned depth);
  bool countAt(RWoffset at, int64_t& total, unsigned depth);

  RWFileManager& mgr_;
  RWdiskTreeCompare compare_;
  RWoffset base_;
  RWsize nodeSize_ = 0;
  unsigned cacheBuffers_;
  std::unique_ptr<RWNodeCache> cache_;
  Info info_;
  bool old_ = false;
  bool usable_ = false;
  bool entriesKnown_ = true;
  bool emptyLeaf_ = false;  // the removal pass under way met an empty leaf
};

#endif
