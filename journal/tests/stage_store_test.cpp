// The stage's stored form: its level written out by hand, round trips
// through the binary file and every stream form with dependents, the size it
// announces, the list's second form, and hostile stores.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "core/state.h"
#include "core/valattr.h"
#include "device/config.h"
#include "journal/ctlcmds.h"
#include "journal/periph.h"
#include "rw/bstream.h"
#include "rw/estream.h"
#include "rw/pstream.h"
#include "rw/rwstore.h"
#include "testkit/bytes.h"
#include "testkit/core/port.h"
#include "testkit/core/stage.h"
#include "testkit/reports.h"
#include "testkit/store.h"

namespace {

bool reportedBadReference(const ReportLog& reports) {
  for (const std::string& text : reports.texts())
    if (text.find("[REF]") != std::string::npos) return true;
  return false;
}

// A stage "abc" without dependents whose serial numbers and flags are
// fixed, so that its bytes can be written out by hand.
void fixForGolden(RecordingPeripheral& stage) {
  stage.setSerialNumber(0x11);
  stage.resetChanged();
  stage.defaults()->setSerialNumber(0x22);
  stage.defaults()->resetChanged();
  stage.state()->setSerialNumber(0x33);
  stage.state()->setChanged();
  stage.config()->setSerialNumber(0x44);
}

// A stored empty state: class tag, root level (version, id, serial),
// attribute level (version, changed), composite level (version, count),
// state level (version).
std::string emptyState(uint32_t serial, uint32_t changed) {
  return le16(758) + le32(1) + le32(243) + le32(serial) + le32(1) + le32(changed) + le32(1) + le32(0) + le32(1);
}

const std::string kGoldenTail = bytes({0x3A, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x61, 0x62, 0x63,
                                       0x40, 0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00});

// Where the dependents list starts in the golden stage's bytes: magic and
// tag (6), root (12), attribute (8) and stage (4) levels, two states of 34
// bytes and a configuration of 26.
constexpr size_t kListAt = 6 + 12 + 8 + 4 + 34 + 34 + 26;
constexpr size_t kStateAt = kListAt - 26 - 34;

std::string goldenStageBytes() {
  RecordingPeripheral stage("abc");
  fixForGolden(stage);
  return storedBytes(&stage);
}

// The bytes of one object as it follows others in a store: without the
// file's magic.
std::string objectBytes(const RWCollectable* object) { return storedBytes(object).substr(4); }

class StageStore : public StoreTest {};

TEST_F(StageStore, AStageWithoutDependentsStoresItsLevelAsWritten) {
  const std::string expected = bytes({0x88, 0x88, 0x00, 0x00}) + le16(0x7F01) +
                               // root level: version, id, serial
                               le32(1) + le32(0) + le32(0x11) +
                               // attribute level: version, changed
                               le32(1) + le32(0) +
                               // stage level: version, Default, State, Config
                               le32(1) + emptyState(0x22, 0) + emptyState(0x33, 1) + le16(759) + le32(1) + le32(198) +
                               le32(0x44) + le32(1) + le32(0) + le32(1) +
                               // the dependents (tag, count), name, add-on list id, kind, mode
                               kGoldenTail;
  const std::string stored = goldenStageBytes();
  EXPECT_EQ(stored, expected);
  EXPECT_EQ(stored.size(), kListAt + kGoldenTail.size());
  EXPECT_EQ(stored.substr(kListAt), kGoldenTail);

  RecordingPeripheral stage("abc");
  fixForGolden(stage);
  EXPECT_EQ(stage.binaryStoreSize() + 6, stored.size());
}

// A stage with something in each setting and two dependents, made disabled,
// in a page and with a port: none of that is stored.
struct Populated {
  Populated() : first(new RecordingPeripheral("first")), second(new RecordingPeripheral("second")) {
    auto* defaults = new GState;
    defaults->insert(new GValueAttribute(4, 30));
    auto* config = new GConfiguration;
    config->insert(new GStringAttribute("A", AttrId::AddOnList));
    stage = std::make_unique<RecordingPeripheral>("stage", defaults, config, 12, 70, 3, 1);
    stage->state()->insert(new GValueAttribute(5, 31));
    stage->addDependent(first.get());
    stage->addDependent(second.get());
    stage->disable();
    stage->enterPage();
    stage->setPort(&port, 0);
  }
  FakeOutputPort port;
  std::unique_ptr<RecordingPeripheral> first;
  std::unique_ptr<RecordingPeripheral> second;
  std::unique_ptr<RecordingPeripheral> stage;
};

TEST_F(StageStore, AStageComesBackFromEveryFormWithItsDependents) {
  Populated made;
  const RecordingPeripheral* original = made.stage.get();
  const std::string stored = storeFile(original);
  EXPECT_EQ(original->recursiveStoreSize(), stored.size());

  const struct {
    const char* form;
    std::function<std::unique_ptr<RecordingPeripheral>()> restore;
  } forms[] = {
      {"binary file", [&] { return std::unique_ptr<RecordingPeripheral>(restoreFile<RecordingPeripheral>()); }},
      {"portable stream", [&] { return throughStream<RWpostream, RWpistream>(original); }},
      {"binary stream", [&] { return throughStream<RWbostream, RWbistream>(original); }},
      {"little-endian stream",
       [&] { return throughStream<RWeostream, RWeistream>(original, RWeostream::LittleEndian); }},
      {"big-endian stream", [&] { return throughStream<RWeostream, RWeistream>(original, RWeostream::BigEndian); }},
  };
  for (const auto& f : forms) {
    SCOPED_TRACE(f.form);
    std::unique_ptr<RecordingPeripheral> back = f.restore();
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->isEnabled(), 1);
    EXPECT_EQ(back->jobState(), 0);
    EXPECT_EQ(back->port(), nullptr);
    EXPECT_EQ(back->name(), "stage");
    EXPECT_EQ(back->id(), 12u);
    EXPECT_EQ(back->addOnListId(), 70u);
    EXPECT_EQ(back->addOnKind(), 3);
    EXPECT_EQ(back->addOnMode(), 1);
    EXPECT_FALSE(back->state()->differs(original->state()));
    EXPECT_FALSE(back->defaults()->differs(original->defaults()));
    EXPECT_FALSE(back->config()->differs(original->config()));
    // The dependents come back as new stages, alike by content: matches
    // asks for the very same ones.
    ASSERT_EQ(back->dependentCount(), 2u);
    EXPECT_NE(back->dependentAt(0), made.first.get());
    EXPECT_TRUE(back->dependentAt(0)->matches(made.first.get()));
    EXPECT_TRUE(back->dependentAt(1)->matches(made.second.get()));
    EXPECT_FALSE(back->matches(original));
    // Everything stored comes back: the restored stage stores the same
    // bytes.
    EXPECT_EQ(storedBytes(back.get()), stored);
    storeFile(original);  // the file again, for the next form
  }
}

TEST_F(StageStore, TheSizeIsWhatIsWritten) {
  // Without dependents; with two; with one named twice and held by State
  // as well, so that it is stored once and referred to after.
  Populated made;
  RecordingPeripheral bare("bare");
  RecordingPeripheral shared("shared");
  auto* kept = new RecordingPeripheral("kept");
  shared.state()->insert(kept);
  shared.addDependent(kept);
  shared.addDependent(kept);
  shared.addDependent(made.second.get());
  for (const GPeripheral* stage : {static_cast<const GPeripheral*>(&bare), static_cast<const GPeripheral*>(made.stage.get()),
                                   static_cast<const GPeripheral*>(&shared)}) {
    SCOPED_TRACE(stage->name().data());
    RWspace asMember;
    {
      RWUseStoreTable table;
      asMember = stage->binaryStoreSize();
    }
    EXPECT_EQ(stage->binaryStoreSize(), asMember);
    EXPECT_EQ(storeFile(stage).size(), 6 + asMember);
  }
}

TEST_F(StageStore, AStageStoredTwiceInOneStoreNamesItsListTheSecondTime) {
  RecordingPeripheral stage("twice");
  RecordingPeripheral dependent("d");
  stage.addDependent(&dependent);
  RWspace sized = 0;
  {
    RWUseStoreTable table;
    sized = stage.binaryStoreSize();
    sized += stage.binaryStoreSize();
  }
  {
    RWUseStoreTable table;
    RWFile f(path().c_str(), "wb");
    stage.saveGuts(f);
    stage.saveGuts(f);
  }
  const std::string stored = fileContents(path());
  EXPECT_EQ(stored.size(), sized);
  // The second time: Default, State and Config by reference to indexes 1 to
  // 3, then the list by its own index, 4.
  const std::string second = le32(1) + le32(0) + le32(stage.serialNumber()) + le32(1) + le32(stage.isChanged()) +
                             le32(1) + bytes({0xFF, 0xFF}) + le32(1) + bytes({0xFF, 0xFF}) + le32(2) +
                             bytes({0xFF, 0xFF}) + le32(3) + bytes({0x40}) + le32(4) + le32(5) + "twice" +
                             le32(AttrId::AddOnList) + le32(6) + le32(2);
  ASSERT_GE(stored.size(), second.size());
  EXPECT_EQ(stored.substr(stored.size() - second.size()), second);

  // Read back the same way, the second list names the first one's slot.
  ReportLog reports;
  RecordingPeripheral back;
  {
    RWUseReadTable table;
    RWFile f(path().c_str(), "rb");
    back.restoreGuts(f);
    back.restoreGuts(f);
  }
  EXPECT_TRUE(reports.empty()) << reports.texts().front();
  EXPECT_EQ(back.name(), "twice");
  ASSERT_EQ(back.dependentCount(), 1u);
  EXPECT_TRUE(back.dependentAt(0)->matches(&dependent));
}

// ---- hostile stores ----------------------------------------------------------------

// The golden stage's bytes with the part from `at` of length `length`
// replaced.
std::string patched(size_t at, size_t length, const std::string& with) {
  std::string b = goldenStageBytes();
  b.replace(at, length, with);
  return b;
}

// An attribute composite holding the golden stage and then a reference to
// read-table index `index`. Read table: 0 nil, 1 the composite, 2 the
// stage, 3 Default, 4 State, 5 Config, 6 the dependents list.
std::string stageThenReference(int32_t index) {
  auto* stage = new RecordingPeripheral("abc");
  fixForGolden(*stage);
  return withReferenceAfter<GAttributeComposite>(stage, index);
}

TEST_F(StageStore, HostileStoresGiveABadReferenceOrNone) {
  const GValueAttribute notAStage(1, 5);
  const RecordingPeripheral aStage("dependent");
  GState stateWithChild(7);
  stateWithChild.insert(new GValueAttribute(2, 8));
  const GConfiguration wrongClass(9);
  const struct {
    const char* what;
    std::string bytes;
    bool bad;       // a bad reference is reported
    bool nameRead;  // reading went on past the list
    RWsize dependents;
  } cases[] = {
      {"a list tag of 0x41", patched(kListAt, 1, bytes({0x41})), true, false, 0},
      {"a list index naming the stage", patched(kListAt, 5, bytes({0x40}) + le32(1)), true, true, 0},
      {"a list index past the table", patched(kListAt, 5, bytes({0x40}) + le32(99)), true, true, 0},
      {"a later reference to the list's slot", stageThenReference(6), true, true, 0},
      {"a count of 0xFFFFFFFF in a short file", patched(kListAt + 1, std::string::npos, le32(0xFFFFFFFF)), false,
       false, 0},
      {"a count of 0xFFFFFFFF after two dependents",
       patched(kListAt + 1, std::string::npos,
               le32(0xFFFFFFFF) + objectBytes(&aStage) + bytes({0xFF, 0xFF}) + le32(1)),
       false, false, 2},
      {"a dependent that is no stage", patched(kListAt + 1, 4, le32(1) + objectBytes(&notAStage)), false, true, 0},
      {"a dependent that is a state with members", patched(kListAt + 1, 4, le32(1) + objectBytes(&stateWithChild)),
       false, true, 0},
      {"a dependent naming the stage itself", patched(kListAt + 1, 4, le32(1) + bytes({0xFF, 0xFF}) + le32(1)),
       false, true, 1},
      {"a dependent naming the State", patched(kListAt + 1, 4, le32(1) + bytes({0xFF, 0xFF}) + le32(3)), false,
       true, 0},
      {"a configuration where the State belongs", patched(kStateAt, 34, objectBytes(&wrongClass)), false, true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ReportLog reports;
    std::unique_ptr<RWCollectable> raw(restoredFrom(c.bytes));
    auto* back = dynamic_cast<RecordingPeripheral*>(raw.get());
    if (auto* tree = dynamic_cast<GAttributeComposite*>(raw.get())) {
      ASSERT_EQ(tree->children().entries(), 2u);
      EXPECT_EQ(tree->children().pointee(1), nullptr) << "the list is never yielded";
      back = dynamic_cast<RecordingPeripheral*>(tree->children().pointee(0));
    }
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(reportedBadReference(reports), c.bad);
    EXPECT_EQ(back->name() == "abc", c.nameRead);
    EXPECT_EQ(back->dependentCount(), c.dependents);
    // Whatever came back still processes a command.
    const GCommandPtr command(new GNullCommand(new GValueAttribute(1, 40), 0));
    EXPECT_EQ(back->process(command), command);
  }
}

TEST_F(StageStore, TheSlotBeforeTheListsIsTheStagesConfig) {
  // What shows the list's slot above to be 6: a reference to 5 is the
  // stage's configuration, which a counted holder shares.
  ReportLog reports;
  std::unique_ptr<RWCollectable> back(restoredFrom(stageThenReference(5)));
  auto* tree = dynamic_cast<GAttributeComposite*>(back.get());
  ASSERT_NE(tree, nullptr);
  ASSERT_EQ(tree->children().entries(), 2u);
  EXPECT_TRUE(reports.empty());
  auto* stage = dynamic_cast<GPeripheral*>(tree->children().pointee(0));
  ASSERT_NE(stage, nullptr);
  EXPECT_EQ(tree->children().pointee(1), stage->config());
}

TEST_F(StageStore, ADependentReadEarlierIsSharedOnlyWhenCountedHoldersHoldIt) {
  // The list naming a stage read before, which the enclosing composite
  // holds counted: kept, and kept alive by the stage that names it.
  GAttributeComposite tree(1);
  auto* held = new RecordingPeripheral("held");
  auto* namer = new RecordingPeripheral("namer");
  namer->addDependent(held);
  tree.insert(held);
  tree.insert(namer);
  std::unique_ptr<RWCollectable> back(restoredFrom(storedBytes(&tree)));
  auto* restored = dynamic_cast<GAttributeComposite*>(back.get());
  ASSERT_NE(restored, nullptr);
  ASSERT_EQ(restored->entries(), 2u);
  auto* heldBack = dynamic_cast<GPeripheral*>(restored->children().pointee(0));
  auto* namerBack = dynamic_cast<GPeripheral*>(restored->children().pointee(1));
  ASSERT_NE(namerBack, nullptr);
  ASSERT_EQ(namerBack->dependentCount(), 1u);
  EXPECT_EQ(namerBack->dependentAt(0), heldBack);
  EXPECT_EQ(heldBack->references(), 2) << "the composite and the stage naming it";
}

}  // namespace
