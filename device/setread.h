#ifndef DEVICE_SETREAD_H
#define DEVICE_SETREAD_H

// Reading settings and configuration values by attribute id, as the driver
// instance and the device do: a composite that is null, an id that is
// missing and a member of another class all count as absent.

#include <cstdint>
#include <memory>

#include "core/perobj.h"
#include "core/valattr.h"

namespace SettingRead {

template <class T>
T* as(MPersistentObject* object) {
  return dynamic_cast<T*>(object);
}

// The member with the id, at any depth, or null.
inline MPersistentObject* lookUp(const MPersistentObject* within, uint32_t id) {
  return within ? within->findById(id) : nullptr;
}

// A 16-bit setting: a value attribute or a range attribute. False for
// anything else and for null.
inline bool readValue(const MPersistentObject* object, int16_t& value) {
  if (const auto* v = dynamic_cast<const GValueAttribute*>(object)) {
    value = v->value();
    return true;
  }
  if (const auto* r = dynamic_cast<const GRangeAttribute*>(object)) {
    value = r->value();
    return true;
  }
  return false;
}

inline bool readValue(const MPersistentObject* within, uint32_t id, int16_t& value) {
  return readValue(lookUp(within, id), value);
}

// Calls each(member) for the direct members of an object, in order, until
// it answers false.
template <class Each>
void eachMember(MPersistentObject* object, Each each) {
  if (!object) return;
  const std::unique_ptr<GChildIterator> it(object->createIterator());
  if (!it) return;
  while (it->advance())
    if (MPersistentObject* member = it->current())
      if (!each(member)) return;
}

}  // namespace SettingRead

#endif
