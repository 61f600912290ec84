// The stored forms of the commands: their levels written out by hand, the
// device a document start names through the driver server's directory,
// every class through the binary file and each stream form, and damaged or
// hostile stores, which restore what they can and refuse the rest.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "core/state.h"
#include "core/valattr.h"
#include "journal/ctlcmds.h"
#include "rw/bstream.h"
#include "rw/estream.h"
#include "rw/pstream.h"
#include "rw/rwstore.h"
#include "rw/slistcol.h"
#include "testkit/bytes.h"
#include "testkit/reports.h"
#include "testkit/store.h"

namespace {

// Devices are only ever compared by address here.
GDevice* fakeDevice(int n) {
  static char devices[4];
  return reinterpret_cast<GDevice*>(&devices[n]);
}

// The driver server's directory, as far as these tests need it: device 0
// is registered under 0x10, device 1 under 0x20, device 2 not at all.
bool handleOf(const GDevice* device, uint32_t& handle) {
  if (device == fakeDevice(0)) handle = 0x10;
  else if (device == fakeDevice(1)) handle = 0x20;
  else return false;
  return true;
}

GDevice* deviceOf(uint32_t handle) {
  if (handle == 0x10) return fakeDevice(0);
  if (handle == 0x20) return fakeDevice(1);
  return nullptr;
}

const RWWString kDoc(u"doc");
const RWWString kPort(u"LPT1:");

// ---- stored forms written out by hand ----------------------------------------------

std::string file(RWClassID classId, const std::string& body) { return le32(0x8888) + le16(classId) + body; }
std::string root(uint32_t id, uint32_t serial) { return le32(1) + le32(id) + le32(serial); }
std::string nil() { return le16(0xFFFF) + le32(0); }
std::string reference(uint32_t index) { return le16(0xFFFF) + le32(index); }
// The command level holding the given attribute.
std::string command(const std::string& attribute) { return le32(1) + attribute; }
// An empty state under the id, not changed.
std::string emptyState(uint32_t id, uint32_t serial) {
  return le16(758) + root(id, serial) + le32(1) + le32(0) + le32(1) + le32(0) + le32(1);
}

bool reportedBadReference(const ReportLog& reports) {
  for (const std::string& text : reports.texts())
    if (text.find("[REF]") != std::string::npos) return true;
  return false;
}

class CommandStore : public StoreTestOf<GCommand> {
 protected:
  void SetUp() override { previous_ = gSetDeviceDirectory({handleOf, deviceOf}); }
  void TearDown() override { gSetDeviceDirectory(previous_); }

  GDeviceDirectory previous_{};
};

TEST_F(CommandStore, TheDocumentCommandLevelHoldsBothNames) {
  GDocumentEnd end(kDoc, kPort, 4);
  delete end.releaseAttribute();
  end.setSerialNumber(50);
  const std::string level =
      bytes({0x01, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x64, 0x00, 0x6F, 0x00, 0x63, 0x00, 0x05, 0x00,
             0x00, 0x00, 0x4C, 0x00, 0x50, 0x00, 0x54, 0x00, 0x31, 0x00, 0x3A, 0x00});
  const std::string expected = file(706, root(4, 50) + command(nil()) + level + le32(1));
  EXPECT_EQ(stored(end), expected);

  std::unique_ptr<GCommand> back = restored(expected);
  auto* document = dynamic_cast<GDocumentEnd*>(back.get());
  ASSERT_NE(document, nullptr);
  EXPECT_TRUE(document->documentName() == kDoc);
  EXPECT_TRUE(document->portName() == kPort);
  EXPECT_EQ(document->outputPort(), nullptr);
  EXPECT_EQ(document->attributePointer(), nullptr) << "the stored nil replaces the state it was made with";
}

TEST_F(CommandStore, ADocumentStartNamesItsDeviceOnlyByTheDirectorysHandle) {
  const std::string documentLevel = le32(1) + le32(0) + le32(0);
  const auto startFile = [&](const std::string& level) {
    return file(705, root(0, 50) + command(nil()) + documentLevel + level);
  };
  const std::string none = startFile(bytes({1, 0, 0, 0, 0, 0, 0, 0}));
  const std::string named = startFile(bytes({1, 0, 0, 0, 1, 0, 0, 0, 0x10, 0, 0, 0}));
  const auto start = [](GDevice* device) {
    auto s = std::make_unique<GDocumentStart>(RWWString(), RWWString(), device);
    delete s->releaseAttribute();
    s->setSerialNumber(50);
    return s;
  };

  EXPECT_EQ(stored(*start(nullptr)), none);
  EXPECT_EQ(stored(*start(fakeDevice(0))), named);
  EXPECT_EQ(stored(*start(fakeDevice(2))), none) << "a device the directory does not know";
  {
    const GDeviceDirectory installed = gSetDeviceDirectory({nullptr, nullptr});
    EXPECT_EQ(stored(*start(fakeDevice(0))), none) << "no directory";
    gSetDeviceDirectory(installed);
  }

  const struct {
    const char* name;
    std::string bytes;
    GDevice* device;
  } restores[] = {
      {"named", named, fakeDevice(0)},
      {"other handle", startFile(bytes({1, 0, 0, 0, 1, 0, 0, 0, 0x20, 0, 0, 0})), fakeDevice(1)},
      {"unknown handle", startFile(bytes({1, 0, 0, 0, 1, 0, 0, 0, 0x11, 0, 0, 0})), nullptr},
      {"none", none, nullptr},
  };
  for (const auto& r : restores) {
    std::unique_ptr<GCommand> back = restored(r.bytes);
    auto* s = dynamic_cast<GDocumentStart*>(back.get());
    ASSERT_NE(s, nullptr) << r.name;
    EXPECT_EQ(s->device(), r.device) << r.name;
  }

  gSetDeviceDirectory({nullptr, nullptr});
  std::unique_ptr<GCommand> elsewhere = restored(named);
  ASSERT_NE(elsewhere, nullptr);
  EXPECT_EQ(static_cast<GDocumentStart*>(elsewhere.get())->device(), nullptr) << "no directory to ask";
}

TEST_F(CommandStore, AnErrorCommandAloneStoresItsCodeAndNoCommand) {
  GErrorCommand error(0x1234, nullptr, 2);
  error.setSerialNumber(50);
  const std::string expected =
      file(714, root(2, 50) + command(nil()) + bytes({0x01, 0x00, 0x00, 0x00, 0x34, 0x12, 0x00, 0x00, 0x00, 0x00}));
  EXPECT_EQ(stored(error), expected);

  std::unique_ptr<GCommand> back = restored(expected);
  auto* e = dynamic_cast<GErrorCommand*>(back.get());
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->errorCode(), 0x1234);
  EXPECT_EQ(e->failedCommand(), nullptr);
}

TEST_F(CommandStore, ALevelOfAnotherVersionKeepsWhatWasConstructed) {
  // The command level's version 2 is followed directly by the next level.
  std::unique_ptr<GCommand> page = restored(file(710, root(3, 50) + le32(2) + le32(1) + le32(1)));
  ASSERT_NE(page, nullptr);
  auto* state = dynamic_cast<GState*>(page->attributePointer());
  ASSERT_NE(state, nullptr) << "the state a page end is made with";
  EXPECT_EQ(state->id(), AttrId::PageGroup);
  EXPECT_EQ(state->references(), 1);
  EXPECT_EQ(page->id(), 3u);

  std::unique_ptr<GCommand> end = restored(file(706, root(3, 50) + command(nil()) + le32(2) + le32(1)));
  auto* document = dynamic_cast<GDocumentEnd*>(end.get());
  ASSERT_NE(document, nullptr);
  EXPECT_TRUE(document->documentName().isNull());
  EXPECT_TRUE(document->portName().isNull());
}

// Equal by content: an error command's failed command is compared by what
// it holds, not by address as matches does.
bool sameContent(const GCommand* a, const GCommand* b) {
  const auto* ea = dynamic_cast<const GErrorCommand*>(a);
  const auto* eb = dynamic_cast<const GErrorCommand*>(b);
  if (!ea || !eb || !ea->failedCommand() || !eb->failedCommand()) return a->matches(b) && b->matches(a);
  return a->isA() == b->isA() && ea->GCommand::matches(eb) && ea->errorCode() == eb->errorCode() &&
         sameContent(ea->failedCommand(), eb->failedCommand());
}

GState* stateWith(uint32_t id, std::initializer_list<int16_t> values) {
  GState* s = new GState(id);
  uint32_t member = 150;
  for (int16_t v : values) s->insert(new GValueAttribute(v, member++));
  return s;
}

TEST_F(CommandStore, EveryClassComesBackFromEveryForm) {
  GValueAttribute* shared = new GValueAttribute(-2, 160);
  auto* sharing = new GErrorCommand(5, new GNullCommand(shared, 8), 9);
  sharing->setAttribute(shared);
  auto* nested = new GErrorCommand(
      static_cast<GStatus>(-1),
      new GErrorCommand(3, new GDocumentStart(kDoc, kPort, fakeDevice(1), stateWith(0, {4, 5}), 6), 7), 10);

  const struct {
    const char* name;
    std::unique_ptr<GCommand> command;
  } cases[] = {
      {"document start", std::make_unique<GDocumentStart>(kDoc, kPort, fakeDevice(0), stateWith(0, {1, 2}), 1)},
      {"document start, no device", std::make_unique<GDocumentStart>(RWWString(u"x"), RWWString(), nullptr, 2)},
      {"document end", std::make_unique<GDocumentEnd>(kDoc, kPort, 3)},
      {"first half", std::make_unique<GManualDuplexFirstHalf>(kDoc, RWWString(u"\u00E9\u20AC"), 4)},
      {"page start", std::make_unique<GPageStart>(stateWith(0, {7}), 5)},
      {"page end", std::make_unique<GPageEnd>(6)},
      {"job abort", std::make_unique<GJobAbort>(7)},
      {"no command", std::make_unique<GNoCommand>(8)},
      {"null command", std::make_unique<GNullCommand>(new GValueAttribute(3, 154), 9)},
      {"null command, no attribute", std::make_unique<GNullCommand>(10)},
      {"error alone", std::make_unique<GErrorCommand>(0x1234, nullptr, 11)},
      {"error with a page end", std::make_unique<GErrorCommand>(3, new GPageEnd(stateWith(0, {9}), 12), 13)},
      {"error sharing its attribute", std::unique_ptr<GCommand>(sharing)},
      {"error in an error", std::unique_ptr<GCommand>(nested)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const GCommand* original = c.command.get();
    const std::string bytes = stored(*original);
    {
      RWUseStoreTable table;  // sized as a stored member is
      EXPECT_EQ(original->binaryStoreSize() + 6, bytes.size());
    }
    const struct {
      const char* form;
      std::function<std::unique_ptr<GCommand>()> restore;
    } forms[] = {
        {"binary file", [&] { return restored(bytes); }},
        {"portable stream", [&] { return throughStream<RWpostream, RWpistream>(original); }},
        {"binary stream", [&] { return throughStream<RWbostream, RWbistream>(original); }},
        {"little-endian stream",
         [&] { return throughStream<RWeostream, RWeistream>(original, RWeostream::LittleEndian); }},
        {"big-endian stream", [&] { return throughStream<RWeostream, RWeistream>(original, RWeostream::BigEndian); }},
    };
    for (const auto& f : forms) {
      std::unique_ptr<GCommand> back = f.restore();
      ASSERT_NE(back, nullptr) << f.form;
      EXPECT_EQ(back->isA(), original->isA()) << f.form;
      EXPECT_TRUE(sameContent(back.get(), original)) << f.form;
      // Serial numbers, states and devices all come back: the copy
      // stores the very same bytes.
      EXPECT_EQ(storeFile(back.get()), bytes) << f.form;
      if (original == sharing) {
        auto* e = static_cast<GErrorCommand*>(back.get());
        ASSERT_NE(e->failedCommand(), nullptr) << f.form;
        EXPECT_EQ(e->failedCommand()->attributePointer(), e->attributePointer()) << f.form << ": shared again";
        EXPECT_EQ(e->attributePointer()->references(), 2) << f.form;
      }
    }
  }
}

TEST_F(CommandStore, HostileStoresRestoreAsNone) {
  // Read table: 0 nil, 1 the outer command, then what it holds.
  const std::string errorHead = root(1, 50) + command(nil()) + le32(1) + le16(3) + le32(1);
  const auto noFailedCommand = [](GCommand* c) {
    auto* e = dynamic_cast<GErrorCommand*>(c);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->errorCode(), 3);
    EXPECT_EQ(e->failedCommand(), nullptr);
  };
  const auto noAttribute = [](GCommand* c) {
    ASSERT_NE(dynamic_cast<GNullCommand*>(c), nullptr);
    EXPECT_EQ(c->attributePointer(), nullptr);
  };
  const struct {
    const char* name;
    std::string bytes;
    bool badReference;
    std::function<void(GCommand*)> check;
  } cases[] = {
      {"a state as failed command", file(714, errorHead + emptyState(244, 51)), false, noFailedCommand},
      {"a foundation collectable as failed command", file(714, errorHead + le16(0x8007)), false, noFailedCommand},
      {"a foundation collectable as attribute", file(712, root(1, 50) + command(le16(0x8007)) + le32(1)), false,
       noAttribute},
      {"a failed command that is the error itself", file(714, errorHead + reference(1)), true, noFailedCommand},
      {"an attribute that is the command itself", file(712, root(1, 50) + command(reference(1)) + le32(1)), true,
       noAttribute},
      {"a failed command whose attribute is the error", file(714, errorHead + le16(712) + root(2, 51) +
                                                                     command(reference(1)) + le32(1)),
       true,
       [](GCommand* c) {
         auto* e = dynamic_cast<GErrorCommand*>(c);
         ASSERT_NE(e, nullptr);
         ASSERT_NE(e->failedCommand(), nullptr);
         EXPECT_EQ(e->failedCommand()->attributePointer(), nullptr);
       }},
      {"a failed command flag of 2", file(714, errorHead.substr(0, errorHead.size() - 4) + le32(2)), false,
       noFailedCommand},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ReportLog reports;
    std::unique_ptr<GCommand> back = restored(c.bytes);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(reportedBadReference(reports), c.badReference);
    c.check(back.get());
  }
}

TEST_F(CommandStore, AnObjectAForeignListHoldsIsNotCountedByACommand) {
  // A list holding an object, then a command that refers to it: the list
  // does not count what it holds, so the command may not count it either.
  for (bool asFailedCommand : {true, false}) {
    SCOPED_TRACE(asFailedCommand ? "failed command" : "attribute");
    MPersistentObject* first = asFailedCommand ? static_cast<MPersistentObject*>(new GPageEnd(1))
                                               : new GValueAttribute(1, 160);
    GCommand* second = asFailedCommand ? static_cast<GCommand*>(new GErrorCommand(3, static_cast<GCommand*>(first)))
                                       : new GNullCommand(first, 2);
    std::string bytes;
    {
      GCountedPtr keep(first);
      RWSlistCollectables list;
      list.append(first);
      list.append(second);
      bytes = storedBytes(&list);
      list.clear();
      delete second;
    }

    ReportLog reports;
    std::unique_ptr<RWCollectable> back(restoredFrom(bytes));
    auto* list = dynamic_cast<RWSlistCollectables*>(back.get());
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->entries(), 2u);
    EXPECT_TRUE(reportedBadReference(reports));
    auto* command = dynamic_cast<GCommand*>(list->at(1));
    ASSERT_NE(command, nullptr);
    if (asFailedCommand) {
      EXPECT_EQ(static_cast<GErrorCommand*>(command)->failedCommand(), nullptr);
    } else {
      EXPECT_EQ(command->attributePointer(), nullptr);
    }
    list->clearAndDelete();
  }
}

TEST_F(CommandStore, EveryCutOfAStoreRestoresWithoutHarm) {
  GErrorCommand error(3, new GDocumentStart(kDoc, kPort, fakeDevice(0), stateWith(0, {1, 2}), 6), 7);
  error.setAttribute(new GValueAttribute(4, 160));
  {
    ReportLog reports;  // each cut is reported; only harm would fail the test
    restoreEveryCut(&error);
  }
  // Whole, it comes back.
  std::unique_ptr<RWCollectable> back(restoredFrom(storedBytes(&error)));
  EXPECT_TRUE(sameContent(dynamic_cast<GCommand*>(back.get()), &error));
}

}  // namespace
