#ifndef DEVICE_CONFIG_H
#define DEVICE_CONFIG_H

// The configuration: the composite that holds a stage's configuration
// items. It refuses a second item that matches one it holds, while nested
// configurations are always added, so that merging the configurations of
// several stages keeps each whole.
//
// Stored form: the composite level, then a version word (1), read back and
// not checked.

#include "core/classids.h"
#include "core/pcomposit.h"

class GConfiguration : public MPersistentComposite {
  G_PERSISTENT_CLASS(GConfiguration)

 public:
  GConfiguration();
  explicit GConfiguration(const uint32_t& id);
  GConfiguration(const GConfiguration& other);
  GConfiguration& operator=(const GConfiguration& other);
  ~GConfiguration() override;

  static RWClassID classIsA() { return ClassId::GConfiguration; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // Null is ignored; a configuration (exactly) is appended; any other
  // object is appended unless it matches a direct child, in which case it
  // is refused: deleted unless a counted holder shares it.
  void insert(MPersistentObject* object) override;
};

RW_DECLARE_RESTORE_OPERATORS(GConfiguration)

#endif
