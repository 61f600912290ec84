#ifndef RW_FILEMGR_H
#define RW_FILEMGR_H

// A binary file used as a heap of variable-length blocks.
//
// Callers ask for a block of n bytes and get back a file offset; they read
// and write their data there through the RWFile operations and give the
// block back when they are done with it. Freed space is kept in a free list
// stored in the same file, so holes survive closing and reopening.
//
// File layout (every integer 4 bytes, little-endian):
//
//   0   start   user offset of the first block ever allocated, -1 while none
//   4   end     one past the last byte in use
//   8   size    byte size of a free-list block: 268 (current) or 92 (older)
//   12  the first free-list block, always present
//
// A free-list block of N entries (32 in 268 bytes, 10 in 92 bytes) holds a
// 16-bit magic and two unused bytes, N extent offsets, N extent sizes, the
// number of entries in use and the offset of the next block; the blocks form
// a ring through "next" that always passes through offset 12. An allocated
// block at o starts with its total length (a multiple of 4, the length word
// included) and the caller is handed o + 4.
//
// Everything in the file is checked before it is trusted: a damaged free
// list is reported once and then left alone (allocate answers -1, frees are
// ignored), so that a bad file can lose space but never have live data
// handed out twice or overwritten.

#include <cstdint>

#include "rw/defs.h"
#include "rw/rwfile.h"

class RWFileManager;

// The free list kept inside a manager's file. Two block formats exist; the
// classes differ only in the number of entries per block.
class RWFreeList {
 public:
  RWFreeList() = default;
  RWFreeList(const RWFreeList&) = delete;
  RWFreeList& operator=(const RWFreeList&) = delete;
  virtual void hook() {}
  virtual ~RWFreeList() = default;
  // Answers the offset of a block of n bytes (its length word included in
  // the size written there, not in n), -1 when none can be had.
  virtual RWoffset allocate(RWspace n) = 0;
  // Frees the block whose user offset is p.
  virtual void deallocate(RWoffset p) = 0;
};

class RWFileManager : public RWFile {
 public:
  static constexpr RWoffset headerSize = 12;
  static constexpr RWoffset firstListBlock = 12;

  // Opens (a null mode: "rb+", else creates with "wb+") and, for an empty
  // file, lays down a fresh header and an empty free-list block.
  explicit RWFileManager(const char* name, const char* mode = nullptr);
  ~RWFileManager() override;

  // A block of n bytes: answers the offset of its first data byte, or -1.
  RWoffset allocate(RWspace n);
  // Gives a block back. -1 and the start block are ignored; an offset that
  // does not name a live block is reported and ignored: DBLFREE when it lies
  // in free space, NOTBLOCK for any other offset in the file, LONGINDEX for
  // one past its end. The check walks the length words of the allocated
  // blocks from the free extent before p.
  void deallocate(RWoffset p);

  RWoffset start() const { return start_; }
  RWoffset endData() const { return end_; }
  // Whether a free list was found (or made) and is still sound.
  RWBoolean hasFreeList() const;

  // Called after a failed read, seek or write of the header or of a free-list
  // block, and after a refused free; the operation then goes on.
  virtual void readErr() {}
  virtual void seekErr() {}
  virtual void writeErr() {}

 private:
  friend class RWFreeListImpl;

  // Services for the free list.
  RWoffset allocateAtEnd(RWspace n);
  RWBoolean releaseAtEnd(RWoffset o, RWspace n);
  RWBoolean readBytes(RWoffset at, char* p, RWsize n);
  RWBoolean writeBytes(RWoffset at, const char* p, RWsize n);
  RWBoolean writeWord(RWoffset at, uint32_t v);

  RWFreeList* freeList_;
  RWoffset start_;
  RWoffset end_;
};

#endif
