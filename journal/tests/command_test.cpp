// Commands in memory: the states the document and page families make,
// stamp and refuse, the attribute protocol of the base, matches, the leaf
// iterator, the output port a document command carries, and accept, which
// reaches exactly one handler of a stage.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/outport.h"
#include "core/state.h"
#include "core/valattr.h"
#include "journal/command.h"
#include "journal/ctlcmds.h"

namespace {

// A value attribute that counts its destructions: what a family is offered
// in place of a state.
class CountedValue : public GValueAttribute {
 public:
  CountedValue(int16_t value, uint32_t id) : GValueAttribute(value, id) {}
  ~CountedValue() override { ++destroyed; }
  static inline int destroyed = 0;
};

// Devices are only ever compared by address here.
GDevice* fakeDevice(int n) {
  static char devices[4];
  return reinterpret_cast<GDevice*>(&devices[n]);
}

const RWWString kDoc(u"doc");
const RWWString kPort(u"LPT1:");

GState* stateOf(const GCommand& c) { return dynamic_cast<GState*>(c.attributePointer()); }

TEST(Commands, TheFamiliesMakeOrStampTheirState) {
  GState* given[4] = {new GState(7), new GState(7), new GState(7), new GState(7)};
  const struct {
    const char* name;
    std::unique_ptr<GCommand> command;
    uint32_t tag;
    GState* held;  // the state given, or null for one the command made
  } cases[] = {
      {"document start", std::make_unique<GDocumentStart>(), AttrId::DocumentGroup, nullptr},
      {"document end", std::make_unique<GDocumentEnd>(kDoc, kPort), AttrId::DocumentGroup, nullptr},
      {"first half", std::make_unique<GManualDuplexFirstHalf>(kDoc, kPort, 3), AttrId::DocumentGroup, nullptr},
      {"page start", std::make_unique<GPageStart>(), AttrId::PageGroup, nullptr},
      {"page end", std::make_unique<GPageEnd>(2), AttrId::PageGroup, nullptr},
      {"document start given", std::make_unique<GDocumentStart>(kDoc, kPort, fakeDevice(0), given[0]),
       AttrId::DocumentGroup, given[0]},
      {"document end given", std::make_unique<GDocumentEnd>(kDoc, kPort, given[1]), AttrId::DocumentGroup, given[1]},
      {"page end given", std::make_unique<GPageEnd>(given[2]), AttrId::PageGroup, given[2]},
      {"page start given", std::make_unique<GPageStart>(given[3], 4), AttrId::PageGroup, given[3]},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    GState* state = stateOf(*c.command);
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->id(), c.tag);
    EXPECT_EQ(state->references(), 1);
    if (c.held) {
      EXPECT_EQ(state, c.held);
    }
  }
}

TEST(Commands, ANullCommandKeepsTheIdThatAPageCommandStamps) {
  GState* state = new GState(7);
  GNullCommand null(state, 5);
  EXPECT_EQ(null.attributePointer(), state);
  EXPECT_EQ(state->id(), 7u);
  EXPECT_EQ(null.id(), 5u);

  GPageEnd end;
  end.setAttribute(state);
  EXPECT_EQ(end.attributePointer(), state);
  EXPECT_EQ(state->id(), AttrId::PageGroup);
  EXPECT_EQ(state->references(), 2);

  GDocumentEnd document;
  document.setAttribute(state);
  EXPECT_EQ(state->id(), AttrId::DocumentGroup);
  EXPECT_EQ(state->references(), 3);
}

TEST(Commands, AFamilyRefusesAnythingButAStateAndDeletesOnlyWhatNobodyHolds) {
  const std::function<std::unique_ptr<GCommand>()> makers[] = {
      [] { return std::make_unique<GDocumentStart>(); },
      [] { return std::make_unique<GManualDuplexFirstHalf>(); },
      [] { return std::make_unique<GPageStart>(); },
      [] { return std::make_unique<GPageEnd>(); },
  };
  for (const auto& make : makers) {
    std::unique_ptr<GCommand> command = make();
    SCOPED_TRACE(command->isA());
    MPersistentObject* state = command->attributePointer();

    const int before = CountedValue::destroyed;
    command->setAttribute(new CountedValue(1, 160));
    EXPECT_EQ(CountedValue::destroyed, before + 1) << "nobody else held it";
    EXPECT_EQ(command->attributePointer(), state);

    // Shared by a counted holder: refused and left to it, unstamped.
    GCountedPtr elsewhere(new CountedValue(2, 160));
    command->setAttribute(elsewhere.get());
    EXPECT_EQ(CountedValue::destroyed, before + 1);
    EXPECT_EQ(elsewhere->references(), 1);
    EXPECT_EQ(elsewhere->id(), 160u);
    EXPECT_EQ(command->attributePointer(), state);
    EXPECT_EQ(state->references(), 1);
  }
}

TEST(Commands, TheAttributeHeldSurvivesBeingGivenAgainAndReleased) {
  for (bool family : {true, false}) {
    SCOPED_TRACE(family ? "page end" : "null command");
    std::unique_ptr<GCommand> command;
    if (family) {
      command = std::make_unique<GPageEnd>();
    } else {
      command = std::make_unique<GNullCommand>(new CountedValue(3, 160), 1);
    }
    MPersistentObject* held = command->attributePointer();
    const int before = CountedValue::destroyed;
    command->setAttribute(held);
    EXPECT_EQ(command->attributePointer(), held);
    EXPECT_EQ(held->references(), 1);
    command->replaceAttribute(held);
    EXPECT_EQ(held->references(), 1);

    // Released as the only reference: alive, uncounted, the caller's.
    MPersistentObject* released = command->releaseAttribute();
    EXPECT_EQ(released, held);
    EXPECT_EQ(released->references(), 0);
    EXPECT_EQ(command->attributePointer(), nullptr);
    EXPECT_EQ(CountedValue::destroyed, before);
    EXPECT_EQ(released->id(), family ? AttrId::PageGroup : 160u);
    delete released;
  }
}

TEST(Commands, AttributeAnswersANewCountedReference) {
  GPageStart page;
  {
    GCountedRef ref = page.attribute();
    EXPECT_EQ(ref.get(), page.attributePointer());
    EXPECT_EQ(ref->references(), 2);
  }
  EXPECT_EQ(page.attributePointer()->references(), 1);
  EXPECT_TRUE(GNullCommand(1).attribute().isNil());
}

TEST(Commands, MatchesComparesClassIdAttributeAndFields) {
  GCommand* failed = new GPageEnd(9);
  GCountedPtr keep(failed);
  const auto named = [](const char16_t* doc, const char16_t* port) { return new GDocumentEnd(doc, port, 1); };
  const struct {
    const char* name;
    std::unique_ptr<GCommand> a, b;
    bool matches;
  } cases[] = {
      {"equal but distinct states", std::make_unique<GPageEnd>(new GState(7), 1),
       std::make_unique<GPageEnd>(new GState(7), 1), true},
      {"states of other ids", std::make_unique<GNullCommand>(new GState(7), 1),
       std::make_unique<GNullCommand>(new GState(8), 1), false},
      {"one attribute null", std::make_unique<GNullCommand>(new GValueAttribute(1, 160), 1),
       std::make_unique<GNullCommand>(1), false},
      {"both attributes null", std::make_unique<GNullCommand>(1), std::make_unique<GNullCommand>(1), true},
      {"other ids", std::make_unique<GJobAbort>(1), std::make_unique<GJobAbort>(2), false},
      {"page start and page end", std::make_unique<GPageStart>(1), std::make_unique<GPageEnd>(1), false},
      {"no command", std::make_unique<GNoCommand>(3), std::make_unique<GNoCommand>(3), true},
      {"same names", std::unique_ptr<GCommand>(named(u"doc", u"LPT1:")),
       std::unique_ptr<GCommand>(named(u"doc", u"LPT1:")), true},
      {"other document name", std::unique_ptr<GCommand>(named(u"doc", u"LPT1:")),
       std::unique_ptr<GCommand>(named(u"dog", u"LPT1:")), false},
      {"other port name", std::unique_ptr<GCommand>(named(u"doc", u"LPT1:")),
       std::unique_ptr<GCommand>(named(u"doc", u"LPT2:")), false},
      {"document end and first half", std::unique_ptr<GCommand>(named(u"doc", u"LPT1:")),
       std::make_unique<GManualDuplexFirstHalf>(u"doc", u"LPT1:", 1), false},
      {"same device", std::make_unique<GDocumentStart>(kDoc, kPort, fakeDevice(0), 1),
       std::make_unique<GDocumentStart>(kDoc, kPort, fakeDevice(0), 1), true},
      {"other device", std::make_unique<GDocumentStart>(kDoc, kPort, fakeDevice(0), 1),
       std::make_unique<GDocumentStart>(kDoc, kPort, fakeDevice(1), 1), false},
      {"device and none", std::make_unique<GDocumentStart>(kDoc, kPort, fakeDevice(0), 1),
       std::make_unique<GDocumentStart>(kDoc, kPort, nullptr, 1), false},
      {"same failed command", std::make_unique<GErrorCommand>(3, failed, 1),
       std::make_unique<GErrorCommand>(3, failed, 1), true},
      {"equal failed commands", std::make_unique<GErrorCommand>(3, failed, 1),
       std::make_unique<GErrorCommand>(3, new GPageEnd(9), 1), false},
      {"other codes", std::make_unique<GErrorCommand>(3, failed, 1), std::make_unique<GErrorCommand>(4, failed, 1),
       false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(bool(c.a->matches(c.b.get())), c.matches) << c.name;
    EXPECT_EQ(bool(c.b->matches(c.a.get())), c.matches) << c.name << ", the other way";
    EXPECT_TRUE(c.a->matches(c.a.get())) << c.name;
  }
}

TEST(Commands, ALeafCommandsIteratorHasNoChild) {
  GPageEnd page;
  GErrorCommand error(3, new GPageStart(1));
  for (GCommand* c : {static_cast<GCommand*>(&page), static_cast<GCommand*>(&error)}) {
    std::unique_ptr<GChildIterator> it(c->createIterator());
    ASSERT_NE(dynamic_cast<GCommandIterator*>(it.get()), nullptr);
    EXPECT_EQ(it->advance(), 0);
    EXPECT_EQ(it->current(), nullptr);
    EXPECT_EQ(c->totalEntries(), 1u);
  }
}

TEST(Commands, TheErrorCommandsFailedCommandIsCounted) {
  GPageEnd* page = new GPageEnd(9);
  GErrorCommand error(3, page);
  EXPECT_EQ(page->references(), 1);
  {
    GErrorCommand copy(error);
    EXPECT_EQ(copy.failedCommand(), page);
    EXPECT_EQ(page->references(), 2);
  }
  EXPECT_EQ(error.exchangeErrorCode(5), 3);
  EXPECT_EQ(error.errorCode(), 5);

  GCommand* released = error.releaseFailedCommand();
  EXPECT_EQ(released, page);
  EXPECT_EQ(page->references(), 0);
  EXPECT_EQ(error.failedCommand(), nullptr);
  error.setFailedCommand(page);
  EXPECT_EQ(page->references(), 1);
}

TEST(Commands, AnErrorCommandRefusesAFailedCommandThatLeadsBackToIt) {
  // Counted cycles are never freed: the leak checker of the sanitizer
  // build sees one, and the counts show it here.
  const GCommandPtr outer(new GErrorCommand(3, nullptr));
  auto* error = static_cast<GErrorCommand*>(outer.get());
  error->setFailedCommand(error);
  EXPECT_EQ(error->failedCommand(), nullptr) << "itself";
  EXPECT_EQ(error->references(), 1);

  GPageEnd* page = new GPageEnd(9);
  error->setFailedCommand(page);
  const GCommandPtr inner(new GErrorCommand(4, new GErrorCommand(5, error)));
  error->setFailedCommand(inner.get());
  EXPECT_EQ(error->failedCommand(), page) << "two links away; the command held stays";
  EXPECT_EQ(inner->references(), 1);
  EXPECT_EQ(error->references(), 2) << "held by the outer pointer and the chain only";

  *error = *static_cast<GErrorCommand*>(inner.get());
  EXPECT_EQ(error->errorCode(), 4) << "an assignment takes the code";
  EXPECT_EQ(error->failedCommand(), page) << "but not a chain that leads back";

  GErrorCommand plain(6, nullptr);
  plain.setFailedCommand(inner.get());
  EXPECT_EQ(plain.failedCommand(), inner.get()) << "a chain that does not lead back is held";
}

// A port that counts its destructions.
class CountedPort : public GOutputPort {
 public:
  CountedPort() : GOutputPort(u"LPT1:") {}
  ~CountedPort() override { ++destroyed; }
  [[nodiscard]] uint16_t write(const void*, uint32_t length, uint32_t& written) override {
    written = length;
    return 0;
  }
  int32_t open() override { return 1; }
  static inline int destroyed = 0;
};

TEST(Commands, ADocumentCommandNeverDeletesItsPort) {
  CountedPort first, second;
  const int before = CountedPort::destroyed;
  {
    auto* start = new GDocumentStart(kDoc, kPort, nullptr);
    start->setOutputPort(&first);
    GDocumentStart copy(*start);
    EXPECT_EQ(copy.outputPort(), &first);
    GDocumentStart assigned;
    assigned = *start;
    EXPECT_EQ(assigned.outputPort(), &first);
    delete start;
    EXPECT_EQ(copy.outputPort(), &first);

    copy.setOutputPort(&first);
    copy.setOutputPort(&second);
    EXPECT_EQ(copy.outputPort(), &second);
    EXPECT_EQ(copy.releaseOutputPort(), &second);
    EXPECT_EQ(copy.outputPort(), nullptr);
  }
  EXPECT_EQ(CountedPort::destroyed, before);
}

// Records each command handler it is sent to, with the command, and
// answers a status of its choosing.
class Recorder : public GPeripheralHandlers {
 public:
  std::vector<std::string> calls;
  const void* command = nullptr;
  GStatus answer = 7;

#define RECORD(handler, Class)              \
  [[nodiscard]] GStatus handler(Class* c) override {    \
    calls.push_back(#handler);            \
    command = c;                          \
    return answer;                        \
  }
  RECORD(onArc, GArcGraphic)
  RECORD(onChord, GChordGraphic)
  RECORD(onEllipse, GEllipseGraphic)
  RECORD(onEndScanLine, GEndScanLine)
  RECORD(onPath, GPathGraphic)
  RECORD(onPie, GPieGraphic)
  RECORD(onPolyBezier, GPolyBezierGraphic)
  RECORD(onPolyBezierTo, GPolyBezierToGraphic)
  RECORD(onPolyLine, GPolyLineGraphic)
  RECORD(onPolyLineTo, GPolyLineToGraphic)
  RECORD(onPolygon, GPolygonGraphic)
  RECORD(onRectangle, GRectangleGraphic)
  RECORD(onRaster, GRasterGraphic)
  RECORD(onRoundedRectangle, GRoundedRectangleGraphic)
  RECORD(onScanLine, GScanLineGraphic)
  RECORD(onStartScanLine, GStartScanLine)
  RECORD(onTextString, GTextStringGraphic)
  RECORD(onDownloadFace, GDownloadFace)
  RECORD(onDocumentStart, GDocumentStart)
  RECORD(onDocumentEnd, GDocumentEnd)
  RECORD(onManualDuplexFirstHalf, GManualDuplexFirstHalf)
  RECORD(onPageStart, GPageStart)
  RECORD(onPageEnd, GPageEnd)
  RECORD(onJobAbort, GJobAbort)
  RECORD(onErrorCommand, GErrorCommand)
  RECORD(onPassThrough, GPassThroughCommand)
  RECORD(onDownloadHeader, GDownloadHeaderCommand)
  RECORD(onTextGraphic, GTextGraphic)
#undef RECORD
};

TEST(Commands, AcceptReachesExactlyTheClasssHandler) {
  const struct {
    std::unique_ptr<GCommand> command;
    const char* handler;  // null: none
  } cases[] = {
      {std::make_unique<GDocumentStart>(), "onDocumentStart"},
      {std::make_unique<GDocumentEnd>(), "onDocumentEnd"},
      {std::make_unique<GManualDuplexFirstHalf>(), "onManualDuplexFirstHalf"},
      {std::make_unique<GPageStart>(), "onPageStart"},
      {std::make_unique<GPageEnd>(), "onPageEnd"},
      {std::make_unique<GJobAbort>(), "onJobAbort"},
      {std::make_unique<GErrorCommand>(3, new GPageEnd), "onErrorCommand"},
      {std::make_unique<GNoCommand>(), nullptr},
      {std::make_unique<GNullCommand>(new GState(244), 1), nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command->isA());
    Recorder stage;
    const GStatus status = c.command->accept(stage);
    if (c.handler) {
      EXPECT_EQ(stage.calls, std::vector<std::string>{c.handler});
      EXPECT_EQ(stage.command, c.command.get());
      EXPECT_EQ(status, 7);
    } else {
      EXPECT_TRUE(stage.calls.empty());
      EXPECT_EQ(status, 0);
    }
  }
}

TEST(Commands, KindsReachUpToTheRoot) {
  const struct {
    std::unique_ptr<GCommand> command;
    RWClassID family;  // GCommand for the control commands
  } cases[] = {
      {std::make_unique<GDocumentStart>(), ClassId::GDocumentCommand},
      {std::make_unique<GDocumentEnd>(), ClassId::GDocumentCommand},
      {std::make_unique<GManualDuplexFirstHalf>(), ClassId::GDocumentCommand},
      {std::make_unique<GPageStart>(), ClassId::GPageCommand},
      {std::make_unique<GPageEnd>(), ClassId::GPageCommand},
      {std::make_unique<GJobAbort>(), ClassId::GCommand},
      {std::make_unique<GErrorCommand>(), ClassId::GCommand},
      {std::make_unique<GNoCommand>(), ClassId::GCommand},
      {std::make_unique<GNullCommand>(), ClassId::GCommand},
  };
  for (const auto& c : cases) {
    const RWClassID own = c.command->isA();
    SCOPED_TRACE(own);
    for (RWClassID id : {own, c.family, ClassId::GCommand, ClassId::MPersistentObject})
      EXPECT_TRUE(c.command->isKindOf(id)) << id;
    for (RWClassID id : {ClassId::GDocumentCommand, ClassId::GPageCommand, ClassId::GState}) {
      if (id != c.family) {
        EXPECT_FALSE(c.command->isKindOf(id)) << id;
      }
    }
    EXPECT_EQ(c.command->isJournalCommand(), 1);
  }
}

}  // namespace
