#ifndef CORE_DSKFILE_H
#define CORE_DSKFILE_H

// A store file and the reader that looks into one without opening a store.
//
// The file is a free-list file: its space holds an on-disk B-tree, one
// stored object graph per record (keyed by the record's serial number in
// hexadecimal, GRecord::keyLength bytes of text), and, while the store is
// closed, the record index under the key "IndexOfRecords". The tree's shape
// is part of the format; its key comparison is not kept in the file, so
// every open installs it. A tree that keeps keys of another length, or as
// raw bytes, or has no record of its own, is not one a store made.
//
// The store (dskstore) and the reader both read and write the file through
// the few operations of gstorefile below, so that the two cannot lay it out
// differently.

#include <cstdint>
#include <memory>
#include <vector>

#include "core/recindex.h"
#include "rw/cstring.h"

class RWBTreeOnDisk;
class RWFileManager;

// A store file opened to be looked at, not used: the free-list file opened
// read-only and the store's B-tree over it, as a store lays them out. No
// store is opened and nothing is written, so a tool can read a file whose
// store is open elsewhere, was never closed, or is damaged.
class GStoreFileReader {
 public:
  enum Status {
    readable,       // the file and its B-tree can be read
    notAStoreFile,  // missing, unreadable, or without a sound free list
    unreadableTree  // a free-list file whose B-tree cannot be read, or
                    // keeps keys of another shape than a store's
  };

  explicit GStoreFileReader(const char* fileName);
  ~GStoreFileReader();
  GStoreFileReader(const GStoreFileReader&) = delete;
  GStoreFileReader& operator=(const GStoreFileReader&) = delete;

  Status status() const { return status_; }

  // A closed store keeps its record index in the file; one left open (or
  // cleared) keeps only its objects under their keys.
  bool hasRecordIndex() const;
  // The stored record index, the caller's; null when there is none or it
  // cannot be read whole.
  std::unique_ptr<GRecordComposite> readRecordIndex();
  // Positions the file at the object stored for the record; false when the
  // file has none under the record's key.
  bool seekToObject(const GRecord& record);

  struct StoredObject {
    RWCString key;
    int32_t offset;
  };
  // Every key in the file and the offset of what is stored under it, in
  // key order.
  std::vector<StoredObject> storedObjects() const;

  // The file, for reading the stored objects where the reader put it.
  RWFileManager& file() { return *file_; }

 private:
  // The file before the tree that reads through it, so that it goes last.
  std::unique_ptr<RWFileManager> file_;
  std::unique_ptr<RWBTreeOnDisk> tree_;
  Status status_;
};

// The layout of a store file, shared by the store and the reader.
namespace gstorefile {

inline constexpr char indexKey[GRecord::keyLength + 1] = "IndexOfRecords";

// Every object a store writes or reads is a graph of its own, with its own
// store or read table, even when the store is used from within another
// store or restore on this thread (restoring a handle opens its store and
// reads that store's index). The thread's current tables are set aside for
// the length of the scope and put back afterwards.
class OwnGraphs {
 public:
  OwnGraphs();
  ~OwnGraphs();
  OwnGraphs(const OwnGraphs&) = delete;
  OwnGraphs& operator=(const OwnGraphs&) = delete;

 private:
  uint32_t storeKey_;
  uint32_t readKey_;
  void* store_;
  void* read_;
};

// The B-tree of a store file, with the store's key comparison installed.
std::unique_ptr<RWBTreeOnDisk> openTree(RWFileManager& file);

// Whether a tree read from the file keeps keys as a store hands them:
// GRecord::keyLength bytes of text in a buffer one longer. The keys of any
// other tree would be read and copied past those buffers, or cut short, and
// are not used.
bool storeShaped(const RWBTreeOnDisk& tree);

// Every key of the tree with its value, in key order.
std::vector<GStoreFileReader::StoredObject> keysAndOffsets(RWBTreeOnDisk& tree);

// The record index a closed store left at the offset, read as a graph of
// its own; null when it cannot be read whole, the file's error state then
// cleared.
std::unique_ptr<GRecordComposite> readIndexAt(RWFileManager& file, int32_t at);

}  // namespace gstorefile

#endif
