// A settings file opened as found, then read under the names and numbers
// settings are kept under, written, and read again.

#include <cstdint>

#include "common.h"
#include "core/pcompdsk.h"
#include "core/persnum.h"
#include "core/setstore.h"
#include "rw/wstring.h"

namespace {

// The names mkseeds stores under, and one long enough to fill the key.
const char16_t* const names[] = {u"Copies", u"PaperSize", u"Watermark", u"Layout", u"Blob", u"Configuration",
                                 u"A name of more than twenty-four characters"};
const uint32_t numbers[] = {0, 1, 7, 353, 0xFFFFFFFF};

void readAll(GSettingsStoreOnDisk& store) {
  char buffer[64];
  for (const char16_t* n : names) {
    const RWWString name(n);
    (void)store.getULong(name, 0);
    RWWString text;
    store.getString(text, name, RWWString(u"default"));
    uint32_t length = 0;
    store.getBinary(name, nullptr, 0, length);
    store.getBinary(name, buffer, sizeof buffer, length);
    gDiscardGraph(store.getObject(name));
  }
  for (uint32_t n : numbers) gDiscardGraph(store.getObject(n));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > fuzz::maxInput) return 0;
  // The names stored handles carry are not opened here.
  MPersistentCompositeOnDisk::setRestoreDetached(true);
  fuzz::InputFile input(data, size, "settings.dat");
  if (!input.ok()) return 0;
  GSettingsStoreOnDisk store;
  if (!store.open(RWWString(input.name()))) return 0;
  readAll(store);
  store.putULong(RWWString(u"Copies"), 3);
  store.putString(RWWString(u"PaperSize"), RWWString(u"Letter"));
  const unsigned char blob[] = {1, 2, 3, 0, 5};
  store.putBinary(RWWString(u"Blob"), blob, sizeof blob);
  const GPersistableULong number(9);
  store.putObject(7, &number);
  store.putObject(RWWString(u"Configuration"), &number);
  readAll(store);
  store.close();
  return 0;
}
