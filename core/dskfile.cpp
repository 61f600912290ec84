#include "core/dskfile.h"

#include <cstring>

#include "rw/disktree.h"
#include "rw/filemgr.h"
#include "rw/instmgr.h"
#include "rw/rwstore.h"

namespace gstorefile {

OwnGraphs::OwnGraphs()
    : storeKey_(rwStoreTableManager().key()),
      readKey_(rwReadTableManager().key()),
      store_(RWThreadRegistry::take(storeKey_)),
      read_(RWThreadRegistry::take(readKey_)) {}

OwnGraphs::~OwnGraphs() {
  if (store_) RWThreadRegistry::set(storeKey_, store_);
  if (read_) RWThreadRegistry::set(readKey_, read_);
}

namespace {

int compareKeys(const char* a, const char* b, size_t n) { return std::strncmp(a, b, n); }

}  // namespace

std::unique_ptr<RWBTreeOnDisk> openTree(RWFileManager& file) {
  auto tree = std::make_unique<RWBTreeOnDisk>(file, 10, RWBTreeOnDisk::autoCreate, GRecord::keyLength, 0, -1,
                                              RWBTreeOnDisk::currentStyle, 10, 10);
  tree->setComparison(compareKeys);
  return tree;
}

bool storeShaped(const RWBTreeOnDisk& tree) {
  return !tree.isOldStyle() && tree.keyLength() == GRecord::keyLength && !tree.ignoresNull();
}

std::vector<GStoreFileReader::StoredObject> keysAndOffsets(RWBTreeOnDisk& tree) {
  std::vector<GStoreFileReader::StoredObject> all;
  tree.applyToKeyAndValue(
      [](const char* key, int32_t value, void* user) {
        static_cast<std::vector<GStoreFileReader::StoredObject>*>(user)->push_back(
            {RWCString(key, static_cast<RWsize>(strnlen(key, GRecord::keyLength))), value});
      },
      &all);
  return all;
}

std::unique_ptr<GRecordComposite> readIndexAt(RWFileManager& file, int32_t at) {
  std::unique_ptr<GRecordComposite> stored;
  {
    OwnGraphs own;
    if (file.SeekTo(at)) stored.reset(rwRestoreAs<GRecordComposite>(file));
  }
  if (!stored || file.Error() || file.Eof()) {
    file.ClearErr();
    return nullptr;
  }
  return stored;
}

}  // namespace gstorefile

using gstorefile::indexKey;

GStoreFileReader::GStoreFileReader(const char* fileName)
    : file_(std::make_unique<RWFileManager>(fileName, "rb")), status_(notAStoreFile) {
  if (!file_->isValid() || !file_->hasFreeList()) return;
  tree_ = gstorefile::openTree(*file_);
  status_ = tree_->isValid() && gstorefile::storeShaped(*tree_) ? readable : unreadableTree;
}

GStoreFileReader::~GStoreFileReader() = default;

bool GStoreFileReader::hasRecordIndex() const {
  int32_t at = -1;
  return status_ == readable && tree_->findKeyAndValue(indexKey, nullptr, at);
}

std::unique_ptr<GRecordComposite> GStoreFileReader::readRecordIndex() {
  int32_t at = -1;
  if (status_ != readable || !tree_->findKeyAndValue(indexKey, nullptr, at)) return nullptr;
  return gstorefile::readIndexAt(*file_, at);
}

bool GStoreFileReader::seekToObject(const GRecord& record) {
  if (status_ != readable) return false;
  char key[GRecord::keyLength + 1];
  record.key(key);
  int32_t at = -1;
  return tree_->findKeyAndValue(key, nullptr, at) && file_->SeekTo(at);
}

std::vector<GStoreFileReader::StoredObject> GStoreFileReader::storedObjects() const {
  if (status_ != readable) return {};
  return gstorefile::keysAndOffsets(*tree_);
}
