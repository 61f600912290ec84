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

// The 16-bit setting under the id, or `otherwise` when it is absent.
inline int16_t valueOr(const MPersistentObject* within, uint32_t id, int16_t otherwise) {
  int16_t value = otherwise;
  return readValue(within, id, value) ? value : otherwise;
}

inline int16_t valueOr0(const MPersistentObject* within, uint32_t id) { return valueOr(within, id, 0); }

// Whether the setting is present and holds `wanted`.
inline bool valueIs(const MPersistentObject* within, uint32_t id, int16_t wanted) {
  int16_t value = 0;
  return readValue(within, id, value) && value == wanted;
}

inline bool settingIsNonZero(const MPersistentObject* within, uint32_t id) {
  int16_t value = 0;
  return readValue(within, id, value) && value != 0;
}

// Whether there is a 16-bit setting under the id.
inline bool has(const MPersistentObject* within, uint32_t id) {
  int16_t value = 0;
  return readValue(within, id, value);
}

// Sets a 16-bit setting that is there; a range attribute clamps what it is
// given. Anything else, and null, is left alone: nothing is added.
inline void setIfPresent(MPersistentObject* object, int16_t value) {
  if (auto* v = dynamic_cast<GValueAttribute*>(object))
    v->setValue(value);
  else if (auto* r = dynamic_cast<GRangeAttribute*>(object))
    r->setValue(value);
}

inline void setIfPresent(MPersistentObject* within, uint32_t id, int16_t value) {
  setIfPresent(lookUp(within, id), value);
}

// Puts a value attribute in place of whatever the composite held under the
// id (a composite that is null is left alone).
inline void replaceValue(MPersistentObject* into, uint32_t id, int16_t value) {
  if (!into) return;
  delete into->removeById(id);
  into->insert(new GValueAttribute(value, id));
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
