#ifndef CORE_PERCLASS_H
#define CORE_PERCLASS_H

// The definitions behind G_PERSISTENT_LEVEL and G_PERSISTENT_CLASS of
// core/perobj.h, for the source file of a persistent class:
//
//   G_DEFINE_PERSISTENT_LEVEL(Class, Base)
//     the store operations: each passes to Base first, then to the class's
//     restoreLevel, saveLevel or levelStoreSize.
//   G_DEFINE_PERSISTENT(Class, Base)
//     that, and isA (classIsA), newSpecies (a default-made object), copy
//     (the copy constructor), the restore operators of rw/collect.h and the
//     class's registration with the factory under classIsA and its name.
//
// A class whose copy or newSpecies does more writes the level macro and
// those by hand.

#include "core/fieldio.h"
#include "rw/factory.h"

#define G_DEFINE_PERSISTENT_LEVEL(Class, Base)                                                         \
  RWspace Class::binaryStoreSize() const { return Base::binaryStoreSize() + levelStoreSize(); }      \
  void Class::restoreGuts(RWvistream& s) {                                                            \
    Base::restoreGuts(s);                                                                             \
    restoreLevel(s);                                                                                  \
  }                                                                                                   \
  void Class::restoreGuts(RWFile& f) {                                                                \
    Base::restoreGuts(f);                                                                             \
    restoreLevel(f);                                                                                  \
  }                                                                                                   \
  void Class::saveGuts(RWvostream& s) const {                                                         \
    Base::saveGuts(s);                                                                                \
    saveLevel(s);                                                                                     \
  }                                                                                                   \
  void Class::saveGuts(RWFile& f) const {                                                             \
    Base::saveGuts(f);                                                                                \
    saveLevel(f);                                                                                     \
  }

#define G_DEFINE_PERSISTENT(Class, Base)                                                              \
  G_DEFINE_PERSISTENT_LEVEL(Class, Base)                                                             \
  Class* Class::newSpecies() const { return new Class; }                                              \
  Class* Class::copy() const { return new Class(*this); }                                             \
  RWClassID Class::isA() const { return classIsA(); }                                                 \
  RW_DEFINE_RESTORE_OPERATORS(Class)                                                                  \
  namespace {                                                                                         \
  RWCollectable* gCreate##Class() { return new Class; }                                               \
  const RWFactoryRegistrar gRegister##Class(gCreate##Class, Class::classIsA(), #Class);               \
  }

#endif
