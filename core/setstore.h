#ifndef CORE_SETSTORE_H
#define CORE_SETSTORE_H

// Settings kept under names or numbers: 32-bit numbers, wide texts, byte
// blocks and whole persistent objects.
//
// GSettingsStoreOnDisk keeps them in a file of its own: a free-list file
// with an on-disk B-tree whose keys are 48 raw bytes, compared with memcmp.
//
//   name key    the name's first 24 characters as little-endian 16-bit
//               units, the rest zero; a name of 24 or more characters fills
//               the key without a terminator, so names that agree in their
//               first 24 characters share one key
//   number key  the number's unsigned decimal text in single bytes and a
//               zero byte, the rest 0xFF: with a zero fill the number 7
//               and the name "7" would both be '7' 0 0 ...
//
// The value of a key is the file offset of one stored object graph (the
// binary store format with its leading magic) in a block sized by the
// object's recursive store size:
//
//   number  GPersistableULong
//   text    GBinaryData: the 16-bit units, little-endian, and a zero unit
//   bytes   GBinaryData: the bytes
//   object  the object itself
//
// Text and bytes share one class in the file, so a text read as bytes
// answers its units and terminator, and bytes read as text answer the
// units up to a zero unit or the end of the block.
//
// GOSFactorySettingsStore keeps nothing: it forwards each operation to the
// named values the platform services keep for one owner.

#include <cstdint>
#include <memory>

#include "rw/defs.h"
#include "rw/wstring.h"

class RWCollectable;
class RWFileManager;
class RWBTreeOnDisk;
class GOSFactory;
class GBinaryData;
class GDriverInstance;

class GSettingsStore {
 public:
  virtual ~GSettingsStore();
  // Each put answers 1 on success, 0 otherwise.
  virtual int putULong(const RWWString& name, uint32_t value) = 0;
  virtual int putString(const RWWString& name, const RWWString& value) = 0;
  virtual int putBinary(const RWWString& name, const void* data, uint32_t length) = 0;
  // The object stays the caller's.
  virtual int putObject(const RWWString& name, const RWCollectable* object) = 0;
  virtual int putObject(uint32_t number, const RWCollectable* object) = 0;
  // The stored number, else the default.
  virtual uint32_t getULong(const RWWString& name, uint32_t defaultValue) = 0;
  // The stored text, else the default.
  virtual RWWString& getString(RWWString& out, const RWWString& name, const RWWString& defaultValue) = 0;
  // length is first 0. Nothing stored: 0. Bytes stored: their size goes to
  // length and the answer is 1, unless a buffer and a non-zero capacity
  // are given: then the bytes are copied and 1 answered when they fit,
  // else 0 and nothing is copied.
  virtual int getBinary(const RWWString& name, void* buffer, uint32_t capacity, uint32_t& length) = 0;
  // A new object the caller owns, or null.
  virtual RWCollectable* getObject(const RWWString& name) = 0;
  virtual RWCollectable* getObject(uint32_t number) = 0;

 protected:
  GSettingsStore() = default;
  GSettingsStore(const GSettingsStore&) = delete;
  GSettingsStore& operator=(const GSettingsStore&) = delete;
};

class GSettingsStoreOnDisk : public GSettingsStore {
 public:
  static constexpr RWsize kKeyLength = 48;
  static constexpr RWsize kNameUnits = kKeyLength / 2;

  // Closed.
  GSettingsStoreOnDisk();
  // Opens the file at once (see open).
  explicit GSettingsStoreOnDisk(const RWWString& fileName);
  ~GSettingsStoreOnDisk() override;

  // Closes any open file and opens this one, creating it when it does not
  // exist. 1 when the store is open; 0 when the file cannot be opened or
  // holds no usable index (a tree whose keys are not kKeyLength raw bytes
  // included), and the store stays closed with the file as it was.
  int open(const RWWString& fileName);
  // Always 1.
  int close();
  RWBoolean isOpen() const { return file_ != nullptr; }
  // Empty while closed.
  RWWString fileName() const;

  int putULong(const RWWString& name, uint32_t value) override;
  int putString(const RWWString& name, const RWWString& value) override;
  int putBinary(const RWWString& name, const void* data, uint32_t length) override;
  int putObject(const RWWString& name, const RWCollectable* object) override;
  int putObject(uint32_t number, const RWCollectable* object) override;
  uint32_t getULong(const RWWString& name, uint32_t defaultValue) override;
  RWWString& getString(RWWString& out, const RWWString& name, const RWWString& defaultValue) override;
  int getBinary(const RWWString& name, void* buffer, uint32_t capacity, uint32_t& length) override;
  // A new object read from the file, the caller's; null when none can be.
  RWCollectable* getObject(const RWWString& name) override;
  RWCollectable* getObject(uint32_t number) override;

  // The keys as they are stored: key must hold kKeyLength bytes.
  static void nameKey(const RWWString& name, char* key);
  static void numberKey(uint32_t number, char* key);
  // A stored text: the little-endian units of the block up to a zero unit
  // or its last whole unit, whichever comes first.
  static RWWString textOf(const GBinaryData& block);

 private:
  int put(const char* key, const RWCollectable* object);
  // The object stored under the key, read afresh; null when none can be.
  std::unique_ptr<RWCollectable> read(const char* key);

  // The file before the index that writes through it, so that it goes last.
  std::unique_ptr<RWFileManager> file_;
  std::unique_ptr<RWBTreeOnDisk> index_;
};

class GOSFactorySettingsStore : public GSettingsStore {
 public:
  // Keeps the owner and the factory installed now. While that factory is
  // not (or no longer) the installed one, every put answers 0 and every get
  // its default, 0 or null.
  explicit GOSFactorySettingsStore(GDriverInstance* owner);
  ~GOSFactorySettingsStore() override;

  int putULong(const RWWString& name, uint32_t value) override;
  int putString(const RWWString& name, const RWWString& value) override;
  int putBinary(const RWWString& name, const void* data, uint32_t length) override;
  int putObject(const RWWString& name, const RWCollectable* object) override;
  // A number is the name of its unsigned decimal text.
  int putObject(uint32_t number, const RWCollectable* object) override;
  uint32_t getULong(const RWWString& name, uint32_t defaultValue) override;
  RWWString& getString(RWWString& out, const RWWString& name, const RWWString& defaultValue) override;
  int getBinary(const RWWString& name, void* buffer, uint32_t capacity, uint32_t& length) override;
  // The platform's new object, the caller's; null when none.
  RWCollectable* getObject(const RWWString& name) override;
  RWCollectable* getObject(uint32_t number) override;

  GDriverInstance* owner() const { return owner_; }
  GOSFactory* factory() const { return factory_; }

  static RWWString numberName(uint32_t number);

 private:
  GOSFactory* live() const;

  GDriverInstance* owner_;
  GOSFactory* factory_;
};

#endif
