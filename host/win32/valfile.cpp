#include "host/win32/valfile.h"

#include <cstdio>
#include <filesystem>
#include <new>

#include "core/persnum.h"
#include "host/win32/paths.h"
#include "rw/collect.h"

// ---- SettingsFileValueStore -------------------------------------------------------

SettingsFileValueStore::SettingsFileValueStore(const RWWString& fileName) : file_(fileName) {}
SettingsFileValueStore::~SettingsFileValueStore() = default;

int SettingsFileValueStore::putULong(const RWWString& name, uint32_t value) {
  std::lock_guard<std::mutex> guard(lock_);
  return file_.putULong(name, value);
}

int SettingsFileValueStore::putString(const RWWString& name, const RWWString& value) {
  std::lock_guard<std::mutex> guard(lock_);
  return file_.putString(name, value);
}

int SettingsFileValueStore::putBinary(const RWWString& name, const void* data, uint32_t length) {
  std::lock_guard<std::mutex> guard(lock_);
  return file_.putBinary(name, data, length);
}

bool SettingsFileValueStore::getULong(const RWWString& name, uint32_t& value) {
  std::unique_ptr<RWCollectable> object;
  {
    std::lock_guard<std::mutex> guard(lock_);
    object.reset(file_.getObject(name));
  }
  const GPersistableULong* number = dynamic_cast<const GPersistableULong*>(object.get());
  if (!number || number->isA() != GPersistableULong::classIsA()) return false;
  value = number->value();
  return true;
}

bool SettingsFileValueStore::getString(const RWWString& name, RWWString& value) {
  std::unique_ptr<RWCollectable> object;
  {
    std::lock_guard<std::mutex> guard(lock_);
    object.reset(file_.getObject(name));
  }
  const GBinaryData* block = dynamic_cast<const GBinaryData*>(object.get());
  if (!block || block->isA() != GBinaryData::classIsA()) return false;
  value = GSettingsStoreOnDisk::textOf(*block);
  return true;
}

int SettingsFileValueStore::getBinary(const RWWString& name, void* buffer, uint32_t capacity, uint32_t& length) {
  std::lock_guard<std::mutex> guard(lock_);
  return file_.getBinary(name, buffer, capacity, length);
}

// ---- SettingsFileValueStores ------------------------------------------------------

SettingsFileValueStores::SettingsFileValueStores(const RWWString& folder, PrinterNamer printerName)
    : folder_(folder), printerName_(std::move(printerName)) {}

SettingsFileValueStores::~SettingsFileValueStores() = default;

RWWString SettingsFileValueStores::fileFor(const RWWString& printer) const {
  // Only characters that mean nothing to a file system stay as they are,
  // so that no printer name can reach outside the folder.
  std::u16string file(folder_.data(), folder_.length());
  if (!file.empty() && file.back() != u'\\' && file.back() != u'/') file += u'\\';
  for (RWsize i = 0; i < printer.length(); ++i) {
    char16_t c = printer(i);
    bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u' ' ||
                 c == u'-' || c == u'_' || c == u'.';
    if (plain) {
      file += c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "%%%04X", static_cast<unsigned>(c));
      for (const char* p = hex; *p; ++p) file += static_cast<char16_t>(*p);
    }
  }
  file += u".set";
  return RWWString(file.data(), static_cast<RWsize>(file.size()));
}

HostValueStore* SettingsFileValueStores::storeFor(GDriverInstance* owner) {
  if (!owner || !printerName_) return nullptr;
  RWWString printer = printerName_(owner);
  if (printer.isNull()) return nullptr;
  RWWString file = fileFor(printer);
  std::string key = hostPath(file);
  std::lock_guard<std::mutex> guard(lock_);
  std::unique_ptr<SettingsFileValueStore>& store = stores_[key];
  if (!store) {
    std::error_code ec;
    std::filesystem::create_directories(hostPath(folder_), ec);
    store.reset(new (std::nothrow) SettingsFileValueStore(file));
    if (store && !store->isOpen()) store.reset();
  }
  if (!store) {
    stores_.erase(key);
    return nullptr;
  }
  return store.get();
}
