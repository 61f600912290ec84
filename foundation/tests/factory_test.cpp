// The collectable base and the class factory.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "rw/bufhelp.h"
#include "rw/factory.h"
#include "testkit/reports.h"

namespace {

class Alpha : public RWCollectable {};
class Beta : public RWCollectable {};
RWCollectable* makeAlpha() { return new Alpha; }
RWCollectable* makeBeta() { return new Beta; }

template <class T>
bool made(RWCollectable* p) {
  std::unique_ptr<RWCollectable> owned(p);
  return dynamic_cast<T*>(p) != nullptr;
}

TEST(Collectable, BaseBehaviour) {
  RWCollectable a, b;
  RWCollectable* lo = &a < &b ? &a : &b;
  RWCollectable* hi = lo == &a ? &b : &a;
  EXPECT_EQ(hi->compareTo(lo), 1);
  EXPECT_EQ(lo->compareTo(hi), -1);
  EXPECT_EQ(a.compareTo(&a), 0);
  EXPECT_TRUE(a.isEqual(&a));
  EXPECT_FALSE(a.isEqual(&b));
  EXPECT_TRUE(rwCollectableIsEqual(&a, &a));  // the tester list collections search with
  EXPECT_FALSE(rwCollectableIsEqual(&a, &b));
  uintptr_t addr = reinterpret_cast<uintptr_t>(&a);
  EXPECT_EQ(a.hash(), static_cast<uint32_t>(addr ^ (addr >> 3)));
  EXPECT_EQ(a.isA(), 0x8007);
  EXPECT_EQ(RWCollectable::classIsA(), 0x8007);
  EXPECT_EQ(a.binaryStoreSize(), 0u);
  EXPECT_EQ(a.stringID(), RWCString("RWCollectable"));
  std::unique_ptr<RWCollectable> created(rwCreateFromFactory(RWStringID("RWCollectable")));
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(created->isA(), 0x8007);
}

TEST(Factory, StringIdentifiedRange) {
  struct Case {
    RWClassID id;
    bool byString;
  } cases[] = {{0x8FFF, false}, {0x9000, true}, {0xF000, true}, {0xF001, false}, {0x8007, false}};
  for (const Case& c : cases) EXPECT_EQ(static_cast<bool>(rwIsStringIdentified(c.id)), c.byString) << c.id;
}

TEST(Factory, UnknownIdsAnswerNoIDAndNoClass) {
  EXPECT_EQ(rwStringIDOf(0x7123), RWCString("NoID"));
  EXPECT_EQ(rwClassIDOf(RWStringID("NoSuchClass")), 0x8000);
  EXPECT_EQ(rwCreateFromFactory(0x7123), nullptr);
  EXPECT_EQ(rwCreateFromFactory(RWStringID("NoSuchClass")), nullptr);
}

TEST(Factory, OneClassIdUnderTwoStringIds) {
  ReportLog reports;
  rwAddToFactory(makeAlpha, 700, RWStringID("AlphaClass"));
  rwAddToFactory(makeBeta, 700, RWStringID("BetaClass"));
  EXPECT_EQ(reports.texts(), std::vector<std::string>{
                                 "[DUPID] RWFactory: class ID 700 (0x2bc) already registered to another create function"});
  EXPECT_TRUE(made<Alpha>(rwCreateFromFactory(700)));  // the first registration of 700 wins
  EXPECT_EQ(rwClassIDOf(RWStringID("BetaClass")), 700);
  EXPECT_TRUE(made<Beta>(rwCreateFromFactory(RWStringID("BetaClass"))));
  EXPECT_TRUE(made<Alpha>(rwCreateFromFactory(RWStringID("AlphaClass"))));
  EXPECT_EQ(rwStringIDOf(700), RWCString("AlphaClass"));

  // removal by class ID takes only the class ID entry
  rwRemoveFromFactory(700);
  EXPECT_EQ(rwCreateFromFactory(700), nullptr);
  EXPECT_TRUE(made<Beta>(rwCreateFromFactory(RWStringID("BetaClass"))));
  rwRemoveFromFactory(RWStringID("AlphaClass"));
  rwRemoveFromFactory(RWStringID("BetaClass"));
  EXPECT_EQ(rwCreateFromFactory(RWStringID("BetaClass")), nullptr);
}

TEST(Factory, TwoArgumentRegistration) {
  rwAddToFactory(makeAlpha, 701);
  EXPECT_EQ(rwStringIDOf(701), RWCString("No_RWStringID"));
  rwRemoveFromFactory(701);
  rwRemoveFromFactory(RWStringID("No_RWStringID"));
  RWFactory own;
  own.addCreator(makeBeta, 702);
  EXPECT_EQ(own.stringIdOf(702), RWCString("NoID"));
  EXPECT_TRUE(made<Beta>(own.make(702)));
  EXPECT_EQ(own.findCreator(702), &makeBeta);
  EXPECT_EQ(own.findCreator(RWStringID("NoID")), &makeBeta);
  EXPECT_EQ(own.findCreator(703), nullptr);
  own.removeCreator(702);
  EXPECT_EQ(own.findCreator(702), nullptr);
  EXPECT_EQ(own.findCreator(RWStringID("NoID")), &makeBeta);  // the other kind stays
  own.removeCreator(RWStringID("NoID"));
  EXPECT_EQ(own.findCreator(RWStringID("NoID")), nullptr);
  EXPECT_TRUE(own.isEmpty());
}

// A class whose ID and string hash select the same bucket: its string key
// must not be taken for its class ID key already there, nor another class's
// ID key for its string key.
TEST(Factory, KindsNeverMatchEachOther) {
  RWFactory own;
  RWStringID name("Gamma");
  RWClassID id = static_cast<RWClassID>(RWCString::hash(name) % 64 + 64 * 5);
  own.addCreator(makeAlpha, id, name);
  EXPECT_EQ(own.classIdOf(name), id);
  EXPECT_TRUE(made<Alpha>(own.make(name)));
  EXPECT_TRUE(made<Alpha>(own.make(id)));

  RWClassID other = static_cast<RWClassID>(id + 64);
  ReportLog reports;
  own.addCreator(makeBeta, other, name);  // the string is taken; the ID is new
  EXPECT_TRUE(made<Beta>(own.make(other)));
  EXPECT_EQ(own.classIdOf(name), id);
  EXPECT_EQ(reports.texts(), std::vector<std::string>{
                                 "[DUPSTRINGID] RWFactory: string ID Gamma already registered to another create function"});
}

// A key taken by another create function is reported, as an internal
// error, and the first registration keeps it; the same create function
// registered again is no fault.
TEST(Factory, KeyTakenByAnotherCreatorIsReported) {
  const std::string dupId = "[DUPID] RWFactory: class ID 710 (0x2c6) already registered to another create function";
  const std::string dupString = "[DUPSTRINGID] RWFactory: string ID Eta already registered to another create function";
  struct Case {
    const char* what;
    RWuserCreator fn;
    RWClassID id;
    const char* sid;
    std::vector<std::string> reported;
  } cases[] = {
      {"the same registration again", makeAlpha, 710, "Eta", {}},
      {"the same creator under a new string", makeAlpha, 710, "Theta", {}},
      {"another creator, a new ID under the taken string", makeBeta, 711, "Eta", {dupString}},
      {"another creator under the taken ID", makeBeta, 710, "Iota", {dupId}},
      {"another creator under both keys", makeBeta, 710, "Eta", {dupId, dupString}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RWFactory own;
    own.addCreator(makeAlpha, 710, RWStringID("Eta"));
    ReportLog reports;
    const unsigned before = rwFactoryConflicts();
    own.addCreator(c.fn, c.id, RWStringID(c.sid));
    EXPECT_EQ(reports.texts(), c.reported);
    EXPECT_EQ(rwFactoryConflicts() - before, c.reported.size());
    for (const CapturedReport& r : reports.all()) EXPECT_TRUE(r.internal);
    EXPECT_EQ(own.findCreator(710), &makeAlpha);
    EXPECT_EQ(own.findCreator(RWStringID("Eta")), &makeAlpha);
    EXPECT_EQ(own.classIdOf(RWStringID("Eta")), 710);
  }
}

TEST(Factory, RegistrarUnregistersBothKeys) {
  {
    RWFactoryRegistrar registrar(makeAlpha, 704, "Delta");
    EXPECT_TRUE(made<Alpha>(rwCreateFromFactory(704)));
  }
  EXPECT_EQ(rwCreateFromFactory(704), nullptr);
  EXPECT_EQ(rwClassIDOf(RWStringID("Delta")), 0x8000);
}

TEST(Factory, NextFreeClassIdCounts) {
  RWClassID first = rwNextFreeClassID();
  EXPECT_GE(first, 0x9000);
  EXPECT_EQ(rwNextFreeClassID(), first + 1);
}

// Removing every registration deletes the factory; the next lookup answers
// null and leaves a new, empty factory. The registrations are put back
// afterwards.
TEST(Factory, RemovingTheLastRegistrationDeletesTheFactory) {
  struct Saved {
    RWClassID id;
    RWuserCreator fn;
    RWStringID sid;
    bool byId;
  };
  std::vector<Saved> saved;
  {
    RWSetIterator next(*rwFactoryInstance());
    while (RWCollectable* c = next()) {
      RWFactoryEntry* e = static_cast<RWFactoryEntry*>(c);
      saved.push_back({e->classID(), e->creator(), e->stringID(), e->kind() == RWFactoryEntry::byId});
    }
  }
  ASSERT_FALSE(saved.empty());
  void* spare = rwSmallAlloc(4);
  rwSmallRelease(spare, 4);
  EXPECT_EQ(rwSmallCached(4), 1u);

  for (const Saved& s : saved) {
    if (s.byId)
      rwRemoveFromFactory(s.id);
    else
      rwRemoveFromFactory(s.sid);
  }
  EXPECT_EQ(rwSmallCached(4), 0u);  // the spare blocks went with the factory
  EXPECT_EQ(rwCreateFromFactory(RWCollectable::classIsA()), nullptr);
  ASSERT_NE(rwFactoryInstance(), nullptr);
  EXPECT_TRUE(rwFactoryInstance()->isEmpty());

  for (const Saved& s : saved) {
    if (s.byId) rwAddToFactory(s.fn, s.id, s.sid);
  }
  for (const Saved& s : saved) {
    if (!s.byId) rwAddToFactory(s.fn, s.id, s.sid);
  }
  std::unique_ptr<RWCollectable> back(rwCreateFromFactory(RWCollectable::classIsA()));
  EXPECT_NE(back, nullptr);
}

}  // namespace
