#include "core/setstore.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "core/osfactry.h"
#include "core/persnum.h"
#include "core/textconv.h"
#include "rw/collect.h"
#include "rw/cstring.h"
#include "rw/disktree.h"
#include "rw/filemgr.h"

namespace {

// The index's shape. The comparison is not kept in the file, so every open
// installs it again.
constexpr unsigned kIndexBuffers = 10;
constexpr int kIgnoreNull = 1;  // keys are raw bytes, zeros included
constexpr unsigned kHalfOrder = 10;
constexpr unsigned kMinimumFill = 10;

int compareKeys(const char* a, const char* b, size_t n) { return std::memcmp(a, b, n); }

// Every key the store hands the index is a buffer of exactly kKeyLength raw
// bytes: a tree read from the file that keeps keys of another length, or
// keeps them as text, would copy and compare past those buffers, or cut
// the keys at their first zero byte and let a number's key meet a name's.
bool storeShaped(const RWBTreeOnDisk& index) {
  return !index.isOldStyle() && index.keyLength() == GSettingsStoreOnDisk::kKeyLength && index.ignoresNull();
}

GBinaryData* asBinary(RWCollectable* object) {
  if (!object || object->isA() != GBinaryData::classIsA()) return nullptr;
  return dynamic_cast<GBinaryData*>(object);
}

}  // namespace

GSettingsStore::~GSettingsStore() = default;

// ---- GSettingsStoreOnDisk -----------------------------------------------------------

GSettingsStoreOnDisk::GSettingsStoreOnDisk() = default;

GSettingsStoreOnDisk::GSettingsStoreOnDisk(const RWWString& fileName) { open(fileName); }

GSettingsStoreOnDisk::~GSettingsStoreOnDisk() { close(); }

int GSettingsStoreOnDisk::open(const RWWString& fileName) {
  close();
  RWCString narrow;
  convertToNarrow(fileName, narrow);
  if (narrow.isNull()) return 0;
  file_.reset(new (std::nothrow) RWFileManager(narrow.data()));
  if (!file_) return 0;
  if (file_->isValid()) {
    index_.reset(new (std::nothrow) RWBTreeOnDisk(*file_, kIndexBuffers, RWBTreeOnDisk::autoCreate, kKeyLength,
                                                  kIgnoreNull, -1, RWBTreeOnDisk::currentStyle, kHalfOrder,
                                                  kMinimumFill));
    if (index_ && index_->isValid() && storeShaped(*index_)) {
      index_->setComparison(compareKeys);
      return 1;
    }
  }
  // A file that cannot be opened, or one whose index cannot be used: every
  // operation would fail anyway, so the store says so now.
  close();
  return 0;
}

int GSettingsStoreOnDisk::close() {
  index_.reset();
  file_.reset();
  return 1;
}

RWWString GSettingsStoreOnDisk::fileName() const {
  RWWString name;
  if (file_) convertToWide(file_->GetName(), name);
  return name;
}

void GSettingsStoreOnDisk::nameKey(const RWWString& name, char* key) {
  std::memset(key, 0, kKeyLength);
  RWsize n = name.length() < kNameUnits ? name.length() : kNameUnits;
  const RWwchar* units = name.data();
  for (RWsize i = 0; i < n; ++i) {
    key[2 * i] = static_cast<char>(units[i] & 0xFF);
    key[2 * i + 1] = static_cast<char>(units[i] >> 8);
  }
}

void GSettingsStoreOnDisk::numberKey(uint32_t number, char* key) {
  // Zero after the digits would make the key of a one-digit number the key
  // of the one-character name of that digit ('7' 0 0 ... both); the 0xFF
  // fill keeps them apart, and would take a name of 18 or more U+FFFF
  // noncharacters to be mistaken for a number.
  std::memset(key, 0xFF, kKeyLength);
  int n = std::snprintf(key, kKeyLength, "%u", static_cast<unsigned>(number));
  key[n] = 0;
}

RWWString GSettingsStoreOnDisk::textOf(const GBinaryData& block) {
  // The stored length is the bound, whatever the block holds: a block
  // without a zero unit, or of an odd length, ends at its last whole unit.
  const unsigned char* bytes = static_cast<const unsigned char*>(block.data());
  RWsize units = bytes ? block.length() / 2 : 0;
  std::vector<RWwchar> text;
  text.reserve(units);
  for (RWsize i = 0; i < units; ++i) {
    RWwchar c = static_cast<RWwchar>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    if (c == 0) break;
    text.push_back(c);
  }
  return text.empty() ? RWWString() : RWWString(text.data(), static_cast<RWsize>(text.size()));
}

int GSettingsStoreOnDisk::put(const char* key, const RWCollectable* object) {
  if (!file_ || !index_ || !object) return 0;
  // Each operation stands on its own: an error left by an earlier one must
  // not fail this one, nor hide one of its own.
  file_->ClearErr();
  RWspace size = object->recursiveStoreSize();
  RWoffset at = file_->allocate(size);
  if (at < 0) return 0;
  // The new value is written in full before the key is pointed at it, so a
  // failed write leaves whatever the key held before.
  bool written = !file_->Error() && file_->SeekTo(at);
  if (written) {
    *file_ << object;
    written = !file_->Error();
  }
  if (written) {
    int32_t old = -1;
    if (index_->findKeyAndValue(key, nullptr, old)) {
      if (index_->replaceValue(key, at, old)) {
        file_->deallocate(old);
        return 1;
      }
    } else if (index_->insertKeyAndValue(key, at)) {
      return 1;
    }
  }
  file_->ClearErr();
  file_->deallocate(at);
  return 0;
}

std::unique_ptr<RWCollectable> GSettingsStoreOnDisk::read(const char* key) {
  if (!file_ || !index_) return nullptr;
  int32_t at = -1;
  if (!index_->findKeyAndValue(key, nullptr, at)) return nullptr;
  file_->ClearErr();
  if (!file_->SeekTo(at)) return nullptr;
  RWCollectable* object = nullptr;
  *file_ >> object;
  return std::unique_ptr<RWCollectable>(object);
}

int GSettingsStoreOnDisk::putULong(const RWWString& name, uint32_t value) {
  char key[kKeyLength];
  nameKey(name, key);
  GPersistableULong number(value);
  return put(key, &number);
}

int GSettingsStoreOnDisk::putString(const RWWString& name, const RWWString& value) {
  if (!file_) return 0;
  // The units little-endian and a zero unit.
  RWsize size = (value.length() + 1) * 2;
  unsigned char* bytes = new (std::nothrow) unsigned char[size];
  if (!bytes) return 0;
  const RWwchar* units = value.data();
  for (RWsize i = 0; i < value.length(); ++i) {
    bytes[2 * i] = static_cast<unsigned char>(units[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<unsigned char>(units[i] >> 8);
  }
  bytes[size - 2] = bytes[size - 1] = 0;
  GBinaryData block(bytes, size, 1);  // frees the bytes
  char key[kKeyLength];
  nameKey(name, key);
  return put(key, &block);
}

int GSettingsStoreOnDisk::putBinary(const RWWString& name, const void* data, uint32_t length) {
  // A length without bytes to go with it would store a block that claims
  // bytes it never wrote.
  if (!data && length) return 0;
  GBinaryData block(const_cast<void*>(data), length, 0);  // the caller's bytes, read in place
  char key[kKeyLength];
  nameKey(name, key);
  return put(key, &block);
}

int GSettingsStoreOnDisk::putObject(const RWWString& name, const RWCollectable* object) {
  char key[kKeyLength];
  nameKey(name, key);
  return put(key, object);
}

int GSettingsStoreOnDisk::putObject(uint32_t number, const RWCollectable* object) {
  char key[kKeyLength];
  numberKey(number, key);
  return put(key, object);
}

uint32_t GSettingsStoreOnDisk::getULong(const RWWString& name, uint32_t defaultValue) {
  char key[kKeyLength];
  nameKey(name, key);
  const std::unique_ptr<RWCollectable> object = read(key);
  uint32_t value = defaultValue;
  if (object && object->isA() == GPersistableULong::classIsA()) {
    if (const GPersistableULong* number = dynamic_cast<const GPersistableULong*>(object.get()))
      value = number->value();
  }
  return value;
}

RWWString& GSettingsStoreOnDisk::getString(RWWString& out, const RWWString& name, const RWWString& defaultValue) {
  char key[kKeyLength];
  nameKey(name, key);
  const std::unique_ptr<RWCollectable> object = read(key);
  const GBinaryData* block = asBinary(object.get());
  // out may be the default itself.
  RWWString text = block ? textOf(*block) : defaultValue;
  out = text;
  return out;
}

int GSettingsStoreOnDisk::getBinary(const RWWString& name, void* buffer, uint32_t capacity, uint32_t& length) {
  length = 0;
  char key[kKeyLength];
  nameKey(name, key);
  const std::unique_ptr<RWCollectable> object = read(key);
  const GBinaryData* block = asBinary(object.get());
  int answer = 0;
  if (block) {
    length = block->length();
    answer = 1;
    if (buffer && capacity) {
      if (capacity >= block->length()) {
        if (block->length()) std::memcpy(buffer, block->data(), block->length());
      } else {
        answer = 0;
      }
    }
  }
  return answer;
}

RWCollectable* GSettingsStoreOnDisk::getObject(const RWWString& name) {
  char key[kKeyLength];
  nameKey(name, key);
  return read(key).release();
}

RWCollectable* GSettingsStoreOnDisk::getObject(uint32_t number) {
  char key[kKeyLength];
  numberKey(number, key);
  return read(key).release();
}

// ---- GOSFactorySettingsStore ----------------------------------------------------------

GOSFactorySettingsStore::GOSFactorySettingsStore(GDriverInstance* owner)
    : owner_(owner), factory_(GOSFactory::instance()) {}

GOSFactorySettingsStore::~GOSFactorySettingsStore() = default;

RWWString GOSFactorySettingsStore::numberName(uint32_t number) {
  char text[100];
  std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(number));
  RWWString name;
  convertToWide(text, name);
  return name;
}

GOSFactory* GOSFactorySettingsStore::live() const {
  // The factory this store was made under may since have been replaced, and
  // a replaced factory is deleted: only the one still installed is used.
  return factory_ && factory_ == GOSFactory::instance() ? factory_ : nullptr;
}

int GOSFactorySettingsStore::putULong(const RWWString& name, uint32_t value) {
  return live() ? factory_->putULong(owner_, name, value) : 0;
}

int GOSFactorySettingsStore::putString(const RWWString& name, const RWWString& value) {
  return live() ? factory_->putString(owner_, name, value) : 0;
}

int GOSFactorySettingsStore::putBinary(const RWWString& name, const void* data, uint32_t length) {
  return live() ? factory_->putBinary(owner_, name, data, length) : 0;
}

int GOSFactorySettingsStore::putObject(const RWWString& name, const RWCollectable* object) {
  return live() ? factory_->putObject(owner_, name, object) : 0;
}

int GOSFactorySettingsStore::putObject(uint32_t number, const RWCollectable* object) {
  return putObject(numberName(number), object);
}

uint32_t GOSFactorySettingsStore::getULong(const RWWString& name, uint32_t defaultValue) {
  return live() ? factory_->getULong(owner_, name, defaultValue) : defaultValue;
}

RWWString& GOSFactorySettingsStore::getString(RWWString& out, const RWWString& name,
                                              const RWWString& defaultValue) {
  if (live()) return factory_->getString(out, owner_, name, defaultValue);
  out = defaultValue;
  return out;
}

int GOSFactorySettingsStore::getBinary(const RWWString& name, void* buffer, uint32_t capacity, uint32_t& length) {
  if (live()) return factory_->getBinary(owner_, name, buffer, capacity, length);
  length = 0;
  return 0;
}

RWCollectable* GOSFactorySettingsStore::getObject(const RWWString& name) {
  return live() ? factory_->getObject(owner_, name) : nullptr;
}

RWCollectable* GOSFactorySettingsStore::getObject(uint32_t number) { return getObject(numberName(number)); }
