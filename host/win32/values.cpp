#include "host/win32/values.h"

#include <cstring>

MemoryValueStores::MemoryValueStores() = default;
MemoryValueStores::~MemoryValueStores() = default;

HostValueStore* MemoryValueStores::storeFor(GDriverInstance* owner) {
  if (!owner) return nullptr;
  std::lock_guard<std::mutex> guard(lock_);
  std::unique_ptr<HostValueStore>& store = stores_[owner];
  if (!store) store = std::make_unique<MemoryValueStore>();
  return store.get();
}

MemoryValueStore::MemoryValueStore() = default;
MemoryValueStore::~MemoryValueStore() = default;

int MemoryValueStore::putULong(const RWWString& name, uint32_t value) {
  std::lock_guard<std::mutex> guard(lock_);
  Value v(kNumber);
  v.number = value;
  values_[name] = v;
  return 1;
}

int MemoryValueStore::putString(const RWWString& name, const RWWString& value) {
  std::lock_guard<std::mutex> guard(lock_);
  Value v(kText);
  v.text = value;
  values_[name] = v;
  return 1;
}

int MemoryValueStore::putBinary(const RWWString& name, const void* data, uint32_t length) {
  if (!data && length) return 0;
  std::lock_guard<std::mutex> guard(lock_);
  Value v(kBytes);
  if (length) v.bytes.assign(static_cast<const unsigned char*>(data), static_cast<const unsigned char*>(data) + length);
  values_[name] = v;
  return 1;
}

bool MemoryValueStore::getULong(const RWWString& name, uint32_t& value) {
  std::lock_guard<std::mutex> guard(lock_);
  auto it = values_.find(name);
  if (it == values_.end() || it->second.type != kNumber) return false;
  value = it->second.number;
  return true;
}

bool MemoryValueStore::getString(const RWWString& name, RWWString& value) {
  std::lock_guard<std::mutex> guard(lock_);
  auto it = values_.find(name);
  if (it == values_.end() || it->second.type != kText) return false;
  value = it->second.text;
  return true;
}

int MemoryValueStore::getBinary(const RWWString& name, void* buffer, uint32_t capacity, uint32_t& length) {
  std::lock_guard<std::mutex> guard(lock_);
  auto it = values_.find(name);
  if (it == values_.end() || it->second.type != kBytes) return 0;
  uint32_t size = static_cast<uint32_t>(it->second.bytes.size());
  if (!buffer || capacity == 0) {
    length = size;
    return 1;
  }
  if (size > capacity) {
    length = size;
    return 0;
  }
  if (size) std::memcpy(buffer, it->second.bytes.data(), size);
  length = size;
  return 1;
}
