#ifndef DEVICE_TESTS_DEVFIX_H
#define DEVICE_TESTS_DEVFIX_H

// Byte builders for the stored forms of the device records, written out
// from the format by hand, and the restore of a whole object from a
// file's bytes.

#include <cstdint>
#include <memory>
#include <string>

#include "core/perobj.h"
#include "rw/rwfile.h"
#include "testkit/bytes.h"
#include "testkit/files.h"
#include "testkit/reports.h"
#include "testkit/store.h"
#include "testkit/tmpdir.h"

// The store's magic word and an object's class tag: how a binary file
// holding one object begins.
inline std::string fileHead(RWClassID tag) { return le32(0x8888) + le16(tag); }
// The root level: version, id, serial number.
inline std::string rootLevel(uint32_t id, uint32_t serial) { return le32(1) + le32(id) + le32(serial); }
// The attribute level: version, changed flag.
inline std::string attributeLevel(uint32_t changed = 1) { return le32(1) + le32(changed); }
// A reference to the object at a read-table index (0 is nil).
inline std::string reference(uint32_t index) { return le16(0xFFFF) + le32(index); }
inline std::string nilRecord() { return reference(0); }

// A value attribute (class 763, attribute id 0) stored as a member object.
inline std::string valueObject(int16_t value, uint32_t serial) {
  return le16(763) + rootLevel(0, serial) + attributeLevel() + le32(1) + le16(static_cast<uint16_t>(value));
}

// The object a binary file's bytes hold, as a persistent object; null when
// it holds none or something else. The caller owns it.
inline std::unique_ptr<MPersistentObject> restoredObject(const std::string& bytes) {
  RWCollectable* back = restoredFrom(bytes);
  MPersistentObject* object = dynamic_cast<MPersistentObject*>(back);
  if (!object) delete back;
  return std::unique_ptr<MPersistentObject>(object);
}

inline bool reportedBadReference(const ReportLog& reports) {
  for (const std::string& text : reports.texts())
    if (text.find("[REF]") != std::string::npos) return true;
  return false;
}

#endif
