#ifndef RW_FACTORY_H
#define RW_FACTORY_H

// The class factory.
//
// Maps every persistent class's 16-bit class ID and its string ID to a
// create function, so that a restore can make an object of the stored
// class. A registration adds one entry of each kind; the first registration
// of a class ID, and separately the first of a string ID, wins. A later
// registration of a key under another create function is reported to the
// error handler (DUPID, DUPSTRINGID); registering the same create function
// again is harmless and silent. The factory
// exists only while it holds a registration: it is made on first use and
// deleted when the last registration is removed.
//
// A library's classes register with RW_FACTORY_REGISTRATION, an entry of
// the library's start-up (rw/startup.h) whose stop removes both keys again
// (the newest registration first). An RWFactoryRegistrar does the same for
// the life of one object.

#include "rw/collect.h"
#include "rw/rwset.h"
#include "rw/startup.h"

typedef RWCollectable* (*RWuserCreator)();

// One registration key: a class ID entry hashes to its class ID and matches
// class ID entries with the same ID; a string entry hashes to the exact hash
// of its string and matches string entries with an equal string. An entry
// never matches one of the other kind.
class RWFactoryEntry : public RWCollectable {
 public:
  enum Kind { byId, byString };
  RWFactoryEntry(Kind kind, RWClassID id, RWuserCreator fn, const RWStringID& sid)
      : kind_(kind), id_(id), creator_(fn), stringId_(sid) {}

  Kind kind() const { return kind_; }
  RWClassID classID() const { return id_; }
  RWuserCreator creator() const { return creator_; }
  const RWStringID& stringID() const { return stringId_; }

 private:
  Kind kind_;
  RWClassID id_;
  RWuserCreator creator_;
  RWStringID stringId_;
};

class RWFactoryEntryById : public RWFactoryEntry {
 public:
  RWFactoryEntryById(RWClassID id, RWuserCreator fn, const RWStringID& sid)
      : RWFactoryEntry(byId, id, fn, sid) {}
  uint32_t hash() const override;
  RWBoolean isEqual(const RWCollectable* other) const override;
};

class RWFactoryEntryByString : public RWFactoryEntry {
 public:
  RWFactoryEntryByString(RWClassID id, RWuserCreator fn, const RWStringID& sid)
      : RWFactoryEntry(byString, id, fn, sid) {}
  uint32_t hash() const override;
  RWBoolean isEqual(const RWCollectable* other) const override;
};

class RWFactory : public RWSet {
 public:
  RWFactory();
  ~RWFactory() override;

  void addCreator(RWuserCreator fn, RWClassID id, const RWStringID& sid);
  void addCreator(RWuserCreator fn, RWClassID id) { addCreator(fn, id, RWStringID("NoID")); }
  void removeCreator(RWClassID id);
  void removeCreator(const RWStringID& sid);
  // Both keys of a registration, making no string where the class's own
  // entry holds it, so that it works when memory has run out.
  void removeCreator(RWClassID id, const char* sid);
  RWuserCreator findCreator(RWClassID id) const;
  RWuserCreator findCreator(const RWStringID& sid) const;
  RWCollectable* make(RWClassID id) const;
  RWCollectable* make(const RWStringID& sid) const;
  RWStringID stringIdOf(RWClassID id) const;  // "NoID" when unknown
  RWClassID classIdOf(const RWStringID& sid) const;  // 0x8000 when unknown
};

// The factory, made on first use; null only when it cannot be made.
RWFactory* rwFactoryInstance();

void rwAddToFactory(RWuserCreator fn, RWClassID id, const RWStringID& sid);
void rwAddToFactory(RWuserCreator fn, RWClassID id);  // string ID "No_RWStringID"
// Each removes the one entry of its own kind; the factory is deleted when
// it is left empty.
void rwRemoveFromFactory(RWClassID id);
void rwRemoveFromFactory(const RWStringID& sid);
// Both keys of one registration; see RWFactory::removeCreator.
void rwRemoveFromFactory(RWClassID id, const char* sid);
RWCollectable* rwCreateFromFactory(RWClassID id);
RWCollectable* rwCreateFromFactory(const RWStringID& sid);
RWStringID rwStringIDOf(RWClassID id);
RWClassID rwClassIDOf(const RWStringID& sid);
// 0x9000 plus a 16-bit counter that moves on with every call.
RWClassID rwNextFreeClassID();
// How many keys, in this process so far, a registration found taken by
// another create function (each one reported). Registrations run from
// static initialisers, before any handler of a test is installed; this is
// how a test learns afterwards that the libraries loaded cleanly.
unsigned rwFactoryConflicts();

// Registers a class at the library's start-up and removes it at its stop.
// At namespace scope, in an unnamed namespace:
//   RW_FACTORY_REGISTRATION(name, creator, Class::classIsA(), "Class");
#define RW_FACTORY_REGISTRATION(name, creator, id, stringId)    \
  void name##Start() { rwAddToFactory(creator, id, RWStringID(stringId)); } \
  void name##Stop() { rwRemoveFromFactory(id, stringId); }      \
  RW_STARTUP(name, name##Start, name##Stop)

// Registers a class for as long as the object lives.
class RWFactoryRegistrar {
 public:
  RWFactoryRegistrar(RWuserCreator fn, RWClassID id, const char* stringId)
      : id_(id), stringId_(stringId) {
    rwAddToFactory(fn, id, RWStringID(stringId));
  }
  ~RWFactoryRegistrar() { rwRemoveFromFactory(id_, stringId_); }
  RWFactoryRegistrar(const RWFactoryRegistrar&) = delete;
  RWFactoryRegistrar& operator=(const RWFactoryRegistrar&) = delete;

 private:
  RWClassID id_;
  const char* stringId_;
};

#endif
