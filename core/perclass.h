#ifndef CORE_PERCLASS_H
#define CORE_PERCLASS_H

// The definitions behind G_PERSISTENT_LEVEL and G_PERSISTENT_CLASS of
// core/perobj.h, for the source file of a persistent class:
//
//   G_DEFINE_PERSISTENT(Class, Base)
//     all of it: G_DEFINE_PERSISTENT_LEVEL and G_DEFINE_PERSISTENT_IDENTITY.
//   G_DEFINE_PERSISTENT_LEVEL(Class, Base)
//     the store operations, G_DEFINE_PERSISTENT_SAVE and
//     G_DEFINE_PERSISTENT_RESTORE: each passes to Base first, then to the
//     class's saveLevel, levelStoreSize or restoreLevel. The size is counted
//     under one store table for both levels, so that an object the level
//     stores and the base already stored counts as the reference it is.
//   G_DEFINE_PERSISTENT_IDENTITY(Class)
//     isA (classIsA), newSpecies (a default-made object), copy (the copy
//     constructor), the restore operators of rw/collect.h and the class's
//     registration with the factory under classIsA and its name.
//
// A class whose restore or copy does more writes that part by hand and
// takes the macros for the rest.

#include "core/fieldio.h"
#include "rw/factory.h"
#include "rw/rwstore.h"

#define G_DEFINE_PERSISTENT_SAVE(Class, Base)       \
  RWspace Class::binaryStoreSize() const {          \
    RWUseStoreTable table;                          \
    const RWspace base = Base::binaryStoreSize();   \
    return base + levelStoreSize();                 \
  }                                                 \
  void Class::saveGuts(RWvostream& s) const {       \
    Base::saveGuts(s);                              \
    saveLevel(s);                                   \
  }                                                 \
  void Class::saveGuts(RWFile& f) const {           \
    Base::saveGuts(f);                              \
    saveLevel(f);                                   \
  }

#define G_DEFINE_PERSISTENT_RESTORE(Class, Base)    \
  void Class::restoreGuts(RWvistream& s) {          \
    Base::restoreGuts(s);                           \
    restoreLevel(s);                                \
  }                                                 \
  void Class::restoreGuts(RWFile& f) {              \
    Base::restoreGuts(f);                           \
    restoreLevel(f);                                \
  }

#define G_DEFINE_PERSISTENT_LEVEL(Class, Base) \
  G_DEFINE_PERSISTENT_SAVE(Class, Base)        \
  G_DEFINE_PERSISTENT_RESTORE(Class, Base)

#define G_DEFINE_PERSISTENT_IDENTITY(Class)                                             \
  Class* Class::newSpecies() const { return new Class; }                                \
  Class* Class::copy() const { return new Class(*this); }                               \
  RWClassID Class::isA() const { return classIsA(); }                                   \
  RW_DEFINE_RESTORE_OPERATORS(Class)                                                    \
  namespace {                                                                           \
  RWCollectable* gCreate##Class() { return new Class; }                                 \
  RW_FACTORY_REGISTRATION(gRegister##Class, gCreate##Class, Class::classIsA(), #Class);  \
  }

#define G_DEFINE_PERSISTENT(Class, Base)  \
  G_DEFINE_PERSISTENT_LEVEL(Class, Base) \
  G_DEFINE_PERSISTENT_IDENTITY(Class)

#endif
