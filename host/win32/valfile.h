#ifndef HOST_WIN32_VALFILE_H
#define HOST_WIN32_VALFILE_H

// Named printer values kept in files, so that they outlive the process: one
// keyed settings file per printer, all in one folder.
//
// The host knows a printer by its name, which it supplies for each owner;
// owners that name the same printer share its file. The file is the name
// with every character other than a letter, a digit, ' ', '-', '_' and '.'
// written as '%' and four hex digits of its 16-bit unit, and ".set".
//
// The settings file keeps numbers, and texts and byte blocks as one kind of
// block: getULong finds only numbers, getString and getBinary any block (a
// text read as bytes has its terminating zero unit; bytes read as a text
// stop at a zero unit or the block's end). Names agree in their first 24
// characters at most; longer names share the value of that prefix.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "core/setstore.h"
#include "host/win32/valstore.h"

// One printer's file, open while the store lives.
class SettingsFileValueStore : public HostValueStore {
 public:
  explicit SettingsFileValueStore(const RWWString& fileName);
  ~SettingsFileValueStore() override;
  bool isOpen() const { return file_.isOpen(); }

  int putULong(const RWWString& name, uint32_t value) override;
  int putString(const RWWString& name, const RWWString& value) override;
  int putBinary(const RWWString& name, const void* data, uint32_t length) override;
  bool getULong(const RWWString& name, uint32_t& value) override;
  bool getString(const RWWString& name, RWWString& value) override;
  int getBinary(const RWWString& name, void* buffer, uint32_t capacity, uint32_t& length) override;

 private:
  std::mutex lock_;
  GSettingsStoreOnDisk file_;
};

class SettingsFileValueStores : public HostValueStores {
 public:
  // The name of an owner's printer; empty when it has none.
  typedef std::function<RWWString(GDriverInstance*)> PrinterNamer;

  // The folder is made on first use when it does not exist.
  SettingsFileValueStores(const RWWString& folder, PrinterNamer printerName);
  ~SettingsFileValueStores() override;

  // Null for a null owner, an owner without a printer name, or a file that
  // cannot be opened (tried again on the next call).
  HostValueStore* storeFor(GDriverInstance* owner) override;

  // The file that keeps the values of the named printer.
  RWWString fileFor(const RWWString& printer) const;
  const RWWString& folder() const { return folder_; }

 private:
  std::mutex lock_;
  RWWString folder_;
  PrinterNamer printerName_;
  std::map<std::string, std::unique_ptr<SettingsFileValueStore>> stores_;  // by file
};

#endif
