#ifndef HOST_WIN32_VALSTORE_H
#define HOST_WIN32_VALSTORE_H

// Named printer values: a HostValueStore holds the values of one printer,
// and a HostValueStores hands out the store of an owner's printer. The
// factory's value operations go through them; values.h keeps them in
// memory, valfile.h in one settings file per printer.

#include <cstdint>

#include "rw/wstring.h"

class GDriverInstance;

// The values of one printer.
class HostValueStore {
 public:
  virtual ~HostValueStore();
  // Each put answers 1 on success.
  virtual int putULong(const RWWString& name, uint32_t value) = 0;
  virtual int putString(const RWWString& name, const RWWString& value) = 0;
  virtual int putBinary(const RWWString& name, const void* data, uint32_t length) = 0;
  // Each answers whether the name holds a value of that type.
  virtual bool getULong(const RWWString& name, uint32_t& value) = 0;
  virtual bool getString(const RWWString& name, RWWString& value) = 0;
  // The factory's getBinary contract: 1 and the bytes and their length; with
  // a null buffer or no capacity, 1 and an upper bound of the size; 0 when
  // nothing is stored or the capacity is too small.
  virtual int getBinary(const RWWString& name, void* buffer, uint32_t capacity, uint32_t& length) = 0;
};

// Finds the store of an owner's printer.
class HostValueStores {
 public:
  virtual ~HostValueStores();
  // Null when the owner has no printer; not owned by the caller.
  virtual HostValueStore* storeFor(GDriverInstance* owner) = 0;
};

#endif
