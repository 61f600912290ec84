#ifndef HOST_WIN32_VALUES_H
#define HOST_WIN32_VALUES_H

// Named printer values kept in memory: what was put comes back from the
// matching get, by exact name; a name holds one value of one type. The
// factory keeps its values so unless the options name other stores.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "host/win32/valstore.h"

class MemoryValueStore : public HostValueStore {
 public:
  MemoryValueStore();
  ~MemoryValueStore() override;
  int putULong(const RWWString& name, uint32_t value) override;
  int putString(const RWWString& name, const RWWString& value) override;
  int putBinary(const RWWString& name, const void* data, uint32_t length) override;
  bool getULong(const RWWString& name, uint32_t& value) override;
  bool getString(const RWWString& name, RWWString& value) override;
  int getBinary(const RWWString& name, void* buffer, uint32_t capacity, uint32_t& length) override;

 private:
  enum Type { kNumber, kText, kBytes };
  struct Value {
    explicit Value(Type t = kNumber) : type(t) {}
    Type type;
    uint32_t number = 0;
    RWWString text;
    std::vector<unsigned char> bytes;
  };
  struct Less {
    bool operator()(const RWWString& a, const RWWString& b) const { return a.compareTo(b) < 0; }
  };

  std::mutex lock_;
  std::map<RWWString, Value, Less> values_;
};

// One in-memory store per owner, made on first use. A null owner has none.
class MemoryValueStores : public HostValueStores {
 public:
  MemoryValueStores();
  ~MemoryValueStores() override;
  HostValueStore* storeFor(GDriverInstance* owner) override;

 private:
  std::mutex lock_;
  std::map<GDriverInstance*, std::unique_ptr<HostValueStore>> stores_;
};

#endif
