// The command-processing stage in memory: dispatch and the error commands
// it makes, composite walks, the attributes it files and sends on, its
// port, its settings and dependents, and the add-on proxies it takes in.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/state.h"
#include "core/textconv.h"
#include "core/valattr.h"
#include "device/config.h"
#include "graphics/gattrib.h"
#include "graphics/transfrm.h"
#include "journal/cmdcomp.h"
#include "journal/ctlcmds.h"
#include "journal/periph.h"
#include "journal/shapes.h"
#include "testkit/core/port.h"
#include "testkit/core/stage.h"

namespace {

using Call = RecordingPeripheral::Call;

GErrorCommand* asError(const GCommandPtr& c) { return dynamic_cast<GErrorCommand*>(c.get()); }

// A composite of the commands, in order.
GCommandComposite* compositeOf(std::initializer_list<GCommand*> children = {}) {
  auto* c = new GCommandComposite;
  for (GCommand* child : children) c->insert(child);
  return c;
}

// ---- dispatch ------------------------------------------------------------------------

TEST(StageDispatch, AHandlersStatusDecidesBetweenTheCommandAndAnError) {
  RecordingPeripheral stage;
  const GCommandPtr page(new GPageStart);
  stage.answer("onPageStart", 3);
  const GCommandPtr failed = stage.process(page);
  GErrorCommand* error = asError(failed);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->errorCode(), 3);
  EXPECT_EQ(error->failedCommand(), page.get());
  EXPECT_EQ(error->id(), 0u);
  EXPECT_EQ(page->references(), 2) << "held by the test and by the error";

  stage.answer("onPageStart", 0);
  EXPECT_EQ(stage.process(page), page) << "the very command comes back";
  EXPECT_EQ(stage.calls(), (std::vector<Call>{{"onPageStart", ClassId::GPageStart, 0},
                                              {"onPageStart", ClassId::GPageStart, 0}}));
}

TEST(StageDispatch, ErrorsNoCommandsAndEverythingAtADisabledStagePassUntouched) {
  auto withAttribute = [](GCommand* c) {
    c->setAttribute(new GValueAttribute(1, 7));
    return c;
  };
  const struct {
    const char* what;
    GCommand* command;
    bool disabled;
  } cases[] = {
      {"an error command", withAttribute(new GErrorCommand(3, new GPageStart)), false},
      {"a no-command", withAttribute(new GNoCommand), false},
      {"a page start, disabled", new GPageStart, true},
      {"a null command with an attribute, disabled", new GNullCommand(new GValueAttribute(1, 7), 0), true},
      {"a job abort, disabled", new GJobAbort, true},
      {"a composite, disabled", compositeOf({new GPageStart, new GDocumentEnd}), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RecordingPeripheral stage;
    if (c.disabled) stage.disable();
    const GCommandPtr in(c.command);
    EXPECT_EQ(stage.process(in), in);
    EXPECT_TRUE(stage.calls().empty());
    EXPECT_EQ(stage.state()->entries(), 0u) << "no attribute filed";
    EXPECT_EQ(stage.jobState(), 0);
  }
  RecordingPeripheral stage;
  EXPECT_FALSE(stage.process(GCommandPtr()));
}

TEST(StageDispatch, TheDefaultHandlersDriveTheJobState) {
  RecordingPeripheral stage;
  const std::pair<GCommand*, int32_t> steps[] = {
      {new GDocumentStart, 1}, {new GPageStart, 2}, {new GPageEnd, 1}, {new GDocumentEnd, 0}};
  for (const auto& [command, state] : steps) {
    const GCommandPtr c(command);
    EXPECT_EQ(stage.process(c), c);
    EXPECT_EQ(stage.jobState(), state) << command->isA();
  }
  stage.process(GCommandPtr(new GPageStart));
  EXPECT_EQ(stage.isInPage(), 1);
  stage.process(GCommandPtr(new GJobAbort));
  EXPECT_EQ(stage.jobState(), 0);
}

TEST(StageDispatch, AJobAbortAnswersTheOwnedPortsAbort) {
  // Without a port, and with a borrowed one, the abort is 0 and the port
  // is not touched.
  FakeOutputPort borrowed;
  borrowed.answer("abort", 7);
  for (GOutputPort* port : {static_cast<GOutputPort*>(nullptr), static_cast<GOutputPort*>(&borrowed)}) {
    RecordingPeripheral stage;
    stage.setPort(port, 0);
    stage.enterPage();
    const GCommandPtr abort(new GJobAbort);
    EXPECT_EQ(stage.process(abort), abort);
    EXPECT_EQ(stage.jobState(), 0);
  }
  EXPECT_TRUE(borrowed.calls().empty());

  RecordingPeripheral stage;
  auto* owned = new FakeOutputPort;
  owned->answer("abort", 7);
  stage.setPort(owned, 1);
  stage.enterDocument();
  const GCommandPtr abort(new GJobAbort);
  const GCommandPtr out = stage.process(abort);
  ASSERT_NE(asError(out), nullptr);
  EXPECT_EQ(asError(out)->errorCode(), 7);
  EXPECT_EQ(asError(out)->failedCommand(), abort.get());
  EXPECT_EQ(owned->calls(), std::vector<std::string>{"abort"});
  EXPECT_EQ(stage.jobState(), 0) << "the document is left first";
}

// ---- composite walks -----------------------------------------------------------------

TEST(StageWalks, AFailingChildIsTheAnswerAndTheRestIsLeft) {
  RecordingPeripheral stage;
  auto* a = new GPageStart(1);
  auto* b = new GPageStart(2);
  auto* c = new GPageStart(3);
  const GCommandPtr composite(compositeOf({a, b, c}));
  stage.answerFor(b, 5);
  const GCommandPtr out = stage.process(composite);
  ASSERT_NE(asError(out), nullptr);
  EXPECT_EQ(asError(out)->errorCode(), 5);
  EXPECT_EQ(asError(out)->failedCommand(), b);
  EXPECT_EQ(stage.calls(), (std::vector<Call>{{"onPageStart", ClassId::GPageStart, 1},
                                              {"onPageStart", ClassId::GPageStart, 2}}));
  auto* walked = static_cast<GCommandComposite*>(composite.get());
  EXPECT_EQ(walked->child(0), a);
  EXPECT_EQ(walked->child(1), b) << "the failed child keeps its place";
  EXPECT_EQ(walked->child(2), c);
}

TEST(StageWalks, AFailureInANestedCompositeEndsEveryWalk) {
  RecordingPeripheral stage;
  auto* x = new GPageStart(1);
  auto* y = new GPageStart(2);
  auto* z = new GPageStart(3);
  auto* w = new GPageStart(4);
  auto* inner = compositeOf({y, z});
  const GCommandPtr outer(compositeOf({x, inner, w}));
  stage.answerFor(y, 9);
  const GCommandPtr out = stage.process(outer);
  ASSERT_NE(asError(out), nullptr);
  EXPECT_EQ(asError(out)->errorCode(), 9);
  EXPECT_EQ(asError(out)->failedCommand(), y);
  EXPECT_EQ(stage.calls(), (std::vector<Call>{{"onPageStart", ClassId::GPageStart, 1},
                                              {"onPageStart", ClassId::GPageStart, 2}}));
  EXPECT_EQ(static_cast<GCommandComposite*>(outer.get())->child(1), inner);
  EXPECT_EQ(inner->child(1), z);
}

TEST(StageWalks, ARewrittenChildStaysInTheComposite) {
  RecordingPeripheral stage;
  stage.swallow(ClassId::GPageEnd);
  auto* start = new GPageStart;
  auto* end = new GPageEnd;
  auto* innerEnd = new GPageEnd;
  auto* inner = compositeOf({innerEnd});
  const GCommandPtr composite(compositeOf({start, end, inner}));
  const GCommandPtr keepEnd(end);
  EXPECT_EQ(stage.process(composite), composite);
  auto* walked = static_cast<GCommandComposite*>(composite.get());
  EXPECT_EQ(walked->child(0), start);
  ASSERT_NE(walked->child(1), nullptr);
  EXPECT_EQ(walked->child(1)->isA(), ClassId::GNoCommand);
  EXPECT_EQ(walked->child(2), inner);
  ASSERT_NE(inner->child(0), nullptr);
  EXPECT_EQ(inner->child(0)->isA(), ClassId::GNoCommand);
  EXPECT_EQ(keepEnd->references(), 1) << "the composite let the swallowed command go";
  EXPECT_EQ(stage.handlers(), std::vector<std::string>{"onPageStart"});

  // Walked again, the composite's no-commands pass untouched.
  stage.clearCalls();
  EXPECT_EQ(stage.process(composite), composite);
  EXPECT_EQ(stage.handlers(), std::vector<std::string>{"onPageStart"});
}

TEST(StageWalks, AStageThatDisablesItselfStopsBeforeTheNextChild) {
  RecordingPeripheral stage;
  stage.disableOn(ClassId::GPageEnd);
  const GCommandPtr composite(compositeOf({new GPageStart, new GPageEnd, new GPageStart(9)}));
  EXPECT_EQ(stage.process(composite), composite);
  EXPECT_EQ(stage.handlers(), (std::vector<std::string>{"onPageStart", "onPageEnd"}));
  EXPECT_EQ(stage.isEnabled(), 0);
  EXPECT_EQ(stage.jobState(), 1);
}

TEST(StageWalks, AnEmptyCompositeComesBackAsItIs) {
  RecordingPeripheral stage;
  const GCommandPtr composite(compositeOf());
  EXPECT_EQ(stage.process(composite), composite);
  EXPECT_TRUE(stage.calls().empty());
}

TEST(StageWalks, RepositioningStopsOneRecordPastTheFirstMatch) {
  // Used after an on-disk store replaced a record: the walk's own advance
  // then takes the record after that.
  auto* a = new GPageStart(1);
  auto* b = new GPageStart(2);
  auto* c = new GPageStart(3);
  GCommandComposite composite;
  for (GCommand* child : {a, b, c}) composite.insert(child);
  RecordingPeripheral stage;
  GPageStart replacement(2);
  std::unique_ptr<GChildIterator> it(composite.createIterator());
  stage.repositionAfter(it.get(), &replacement);
  EXPECT_EQ(it->current(), c);

  GCommandComposite empty;
  std::unique_ptr<GChildIterator> none(empty.createIterator());
  stage.repositionAfter(none.get(), &replacement);
  EXPECT_EQ(none->current(), nullptr);
}

// ---- changed attributes --------------------------------------------------------------

constexpr uint32_t kFirst = AttrId::Brush;
constexpr uint32_t kSecond = AttrId::Pen;

// A null command carrying a graphic bundle with the given members.
GCommandPtr bundleCommand(std::initializer_list<GAttribute*> members) {
  auto* bundle = new GGraphicBundle;
  for (GAttribute* m : members) bundle->insert(m);
  return GCommandPtr(new GNullCommand(bundle, 0));
}

// A transform that differs from another only in its rotation, under an id.
GTransformAttribute* rotatedBy(int16_t rotation, uint32_t id) {
  auto* t = new GTransformAttribute(rotation, GPoint(), GScaleFactors());
  t->setId(id);
  return t;
}

Call value(uint32_t id) { return Call{"onValueAttribute", ClassId::GValueAttribute, id}; }

class ChangedAttributes : public ::testing::Test {
 protected:
  // The stage's graphic group, and the member of an id in it.
  GAttributeComposite* group() { return stage.attributeGroup(AttrId::GraphicGroup); }
  GValueAttribute* member(uint32_t id) { return dynamic_cast<GValueAttribute*>(group()->findById(id)); }
  std::vector<Call> send(const GCommandPtr& command) {
    stage.clearCalls();
    EXPECT_EQ(stage.process(command), command);
    return stage.calls();
  }

  RecordingPeripheral stage;
};

TEST_F(ChangedAttributes, OnlyWhatABundleChangesIsSent) {
  auto* first154 = new GValueAttribute(1, kFirst);
  auto* first160 = new GValueAttribute(2, kSecond);
  GCommandPtr first = bundleCommand({first154, first160});
  EXPECT_EQ(send(first), (std::vector<Call>{value(kFirst), value(kSecond)}));
  ASSERT_EQ(group()->entries(), 2u) << "members filed one by one, never the bundle itself";
  EXPECT_EQ(member(kFirst), first154);
  EXPECT_EQ(stage.state()->findByClassId(ClassId::GGraphicBundle), nullptr);

  // Equal but distinct: nothing is sent, and both sets of members live on
  // with their holders.
  auto* second154 = new GValueAttribute(1, kFirst);
  auto* second160 = new GValueAttribute(2, kSecond);
  GCommandPtr second = bundleCommand({second154, second160});
  EXPECT_TRUE(send(second).empty());
  MPersistentObject* secondBundle = second->attributePointer();
  EXPECT_EQ(secondBundle->references(), 1) << "only its command holds the bundle";
  EXPECT_EQ(second154->references(), 1);
  first = GCommandPtr();
  second = GCommandPtr();
  EXPECT_EQ(member(kFirst), first154);
  EXPECT_EQ(first154->value(), 1);
  EXPECT_EQ(first154->references(), 1) << "the group holds what it took";

  // Only 160 differs: only 160 is sent, and the group holds the new one.
  auto* third160 = new GValueAttribute(3, kSecond);
  EXPECT_EQ(send(bundleCommand({new GValueAttribute(1, kFirst), third160})),
            (std::vector<Call>{value(kSecond)}));
  EXPECT_EQ(member(kSecond), third160);

  // A bundle without 154 leaves the group's 154 alone.
  EXPECT_EQ(send(bundleCommand({new GValueAttribute(4, kSecond)})), (std::vector<Call>{value(kSecond)}));
  EXPECT_EQ(member(kFirst), first154);
  EXPECT_EQ(group()->entries(), 2u);
}

TEST_F(ChangedAttributes, AChangedTransformGoesFirstAndResendsTheWholeGroup) {
  const Call transform{"onTransformAttribute", ClassId::GTransformAttribute, 5};
  EXPECT_EQ(send(bundleCommand({new GValueAttribute(1, kFirst), rotatedBy(1, 5),
                                new GValueAttribute(2, kSecond)})),
            (std::vector<Call>{transform, value(kFirst), value(kSecond)}));
  // The transform alone changes: it goes first, then every other member.
  EXPECT_EQ(send(bundleCommand({new GValueAttribute(1, kFirst), rotatedBy(2, 5),
                                new GValueAttribute(2, kSecond)})),
            (std::vector<Call>{transform, value(kFirst), value(kSecond)}));
  // An equal transform changes nothing.
  EXPECT_TRUE(send(bundleCommand({rotatedBy(2, 5)})).empty());
}

TEST_F(ChangedAttributes, AFailingHandlerFailsTheCommandWhichIsNotDrawn) {
  // The generators hand back a write to their port that failed from
  // whichever handler flushed: an attribute's as much as a shape's.
  auto* failing = new GValueAttribute(1, kFirst);
  auto* alsoFailing = new GValueAttribute(2, kSecond);
  stage.answerFor(failing, 7);
  stage.answerFor(alsoFailing, 8);
  auto* bundle = new GGraphicBundle;
  bundle->insert(failing);
  bundle->insert(alsoFailing);
  const GCommandPtr shape(new GRectangleGraphic(bundle, GRect(0, 0, 5, 5)));
  stage.clearCalls();
  const GCommandPtr out = stage.process(shape);
  ASSERT_NE(asError(out), nullptr);
  EXPECT_EQ(asError(out)->errorCode(), 7) << "the first failure";
  EXPECT_EQ(asError(out)->failedCommand(), shape.get());
  EXPECT_EQ(stage.calls(), (std::vector<Call>{value(kFirst), value(kSecond)}))
      << "every changed member is sent; the shape is not drawn";

  // Nothing is left changed: the same state again sends nothing, and the
  // shape is drawn.
  auto* same = new GGraphicBundle;
  same->insert(new GValueAttribute(1, kFirst));
  same->insert(new GValueAttribute(2, kSecond));
  const GCommandPtr next(new GRectangleGraphic(same, GRect(0, 0, 5, 5)));
  EXPECT_EQ(send(next), (std::vector<Call>{{"onRectangle", ClassId::GRectangleGraphic, 0}}));

  // A job abort cleans up after failures: it is handled all the same.
  auto* failingAgain = new GValueAttribute(3, kFirst);
  stage.answerFor(failingAgain, 9);
  auto* last = new GGraphicBundle;
  last->insert(failingAgain);
  const GCommandPtr abort(new GJobAbort(0));
  abort->setAttribute(last);
  stage.clearCalls();
  const GCommandPtr aborted = stage.process(abort);
  ASSERT_NE(asError(aborted), nullptr);
  EXPECT_EQ(asError(aborted)->errorCode(), 9);
  EXPECT_EQ(stage.calls(), (std::vector<Call>{value(kFirst), {"onJobAbort", ClassId::GJobAbort, 0}}));
}

TEST_F(ChangedAttributes, AnyOtherAttributeIsSharedByStateNeverOwned) {
  // Filed into State by its own id; the command keeps its attribute.
  auto* setting = new GValueAttribute(3, 30);
  const GCommandPtr command(new GNullCommand(setting, 0));
  const std::vector<Call> sent = send(command);
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent.back(), value(30));
  EXPECT_EQ(stage.state()->findById(30), setting);
  EXPECT_EQ(setting->references(), 2);
  EXPECT_EQ(command->attributePointer(), setting);

  // An equal one is not taken, and not deleted from under its command.
  auto* equal = new GValueAttribute(3, 30);
  const GCommandPtr again(new GNullCommand(equal, 0));
  stage.process(again);
  EXPECT_EQ(equal->references(), 1);
  EXPECT_EQ(again->attributePointer(), equal);
  EXPECT_EQ(stage.state()->findById(30), setting);

  // A persistent object that is no attribute is not filed at all.
  const GCommandPtr plain(new GNullCommand(new GConfiguration(31), 0));
  EXPECT_TRUE(send(plain).empty());
  EXPECT_EQ(stage.state()->findById(31), nullptr);
}

TEST_F(ChangedAttributes, GroupsLiveInStateUntilStateIsReplaced) {
  GAttributeComposite* graphic = group();
  ASSERT_NE(graphic, nullptr);
  EXPECT_EQ(graphic->id(), AttrId::GraphicGroup);
  EXPECT_EQ(stage.state()->findById(AttrId::GraphicGroup), graphic);
  EXPECT_EQ(group(), graphic) << "cached";
  EXPECT_EQ(stage.attributeGroup(77), stage.state()) << "any other id: State itself";

  // The cache is counted: a group taken out of State does not dangle.
  delete stage.state()->remove(graphic);
  EXPECT_EQ(group(), graphic);
  EXPECT_EQ(graphic->id(), AttrId::GraphicGroup);

  // A new State forgets the cache; a member of the id that is no state is
  // not used as the group.
  const GCountedRef old(graphic);
  auto* fresh = new GState;
  fresh->insert(new GValueAttribute(0, AttrId::GraphicGroup));
  EXPECT_EQ(stage.setState(fresh), 0);
  EXPECT_EQ(fresh->id(), AttrId::StageState);
  GAttributeComposite* made = group();
  EXPECT_NE(made, graphic);
  EXPECT_EQ(made->isA(), ClassId::GState);
  EXPECT_EQ(fresh->entries(), 2u);
}

// ---- ports ---------------------------------------------------------------------------

TEST(StagePorts, AStageDeletesOnlyThePortItOwns) {
  const int before = FakeOutputPort::destructions();
  FakeOutputPort borrowed;
  {
    RecordingPeripheral stage;
    auto* owned = new FakeOutputPort;
    stage.setPort(owned, 1);
    stage.setPort(owned, 1);
    EXPECT_EQ(FakeOutputPort::destructions(), before) << "given again, the same port stays";

    RecordingPeripheral copy(stage);
    EXPECT_EQ(copy.port(), nullptr) << "a copy shares no port";
    EXPECT_EQ(copy.ownsPort(), 0);

    stage.setPort(&borrowed, 0);
    EXPECT_EQ(FakeOutputPort::destructions(), before + 1) << "the owned port goes when another takes its place";
    EXPECT_EQ(stage.port(), &borrowed);
    EXPECT_EQ(stage.ownsPort(), 0);
  }
  EXPECT_EQ(FakeOutputPort::destructions(), before + 1) << "a borrowed port outlives the stage";

  {
    RecordingPeripheral stage;
    stage.setPort(new FakeOutputPort, 1);
    stage.reset();
    EXPECT_EQ(FakeOutputPort::destructions(), before + 2);
    EXPECT_EQ(stage.port(), nullptr);

    stage.setPort(new FakeOutputPort, 1);
    RecordingPeripheral other("other");
    stage = other;
    EXPECT_EQ(FakeOutputPort::destructions(), before + 3) << "an assignment lets its owned port go";
    EXPECT_EQ(stage.port(), nullptr);
    EXPECT_EQ(stage.name(), "other");

    stage.setPort(new FakeOutputPort, 1);
  }
  EXPECT_EQ(FakeOutputPort::destructions(), before + 4) << "destroyed, a stage deletes its owned port";
}

// ---- settings ------------------------------------------------------------------------

TEST(StageSettings, StateStartsAsADistinctCopyOfDefaultAndResetBringsItBack) {
  auto* defaults = new GState(5);
  auto* setting = new GValueAttribute(1, 30);
  defaults->insert(setting);
  RecordingPeripheral stage("stage", defaults, nullptr);
  ASSERT_EQ(stage.defaults(), defaults);
  EXPECT_EQ(defaults->id(), AttrId::StageState);
  EXPECT_EQ(stage.config()->id(), AttrId::StageConfig);
  GState* state = stage.state();
  EXPECT_NE(state, defaults);
  EXPECT_FALSE(state->differs(defaults));
  ASSERT_EQ(state->entries(), 1u);
  EXPECT_NE(state->findById(30), setting);

  state->insert(new GValueAttribute(2, 30));
  EXPECT_TRUE(state->differs(defaults));
  EXPECT_EQ(setting->value(), 1) << "Default is untouched";

  stage.disable();
  stage.reset();
  EXPECT_EQ(stage.isEnabled(), 1);
  EXPECT_NE(stage.state(), defaults);
  EXPECT_FALSE(stage.state()->differs(defaults));
}

TEST(StageSettings, TakingASharedSettingHandsOutACopy) {
  RecordingPeripheral stage;
  stage.state()->insert(new GValueAttribute(1, 30));
  GState* shared = stage.state();
  RecordingPeripheral copy(stage);
  EXPECT_EQ(copy.state(), shared);

  std::unique_ptr<GState> taken(stage.takeState());
  ASSERT_NE(taken, nullptr);
  EXPECT_NE(taken.get(), shared);
  EXPECT_FALSE(taken->differs(shared));
  EXPECT_EQ(copy.state(), shared) << "the copy keeps its State as it was";
  EXPECT_EQ(shared->entries(), 1u);
  EXPECT_EQ(shared->references(), 1);
  EXPECT_NE(stage.state(), nullptr);
  EXPECT_EQ(stage.state()->entries(), 0u);

  // Held by the stage alone, the object itself is handed over.
  std::unique_ptr<GState> own(copy.takeState());
  EXPECT_EQ(own.get(), shared);
  EXPECT_EQ(own->references(), 0);

  std::unique_ptr<GState> defaults(stage.takeDefaults());
  EXPECT_NE(defaults, nullptr);
  std::unique_ptr<GConfiguration> config(stage.takeConfig());
  EXPECT_NE(config, nullptr);
  EXPECT_NE(stage.config(), nullptr);
}

TEST(StageSettings, AcceptSendsEveryMemberOfState) {
  RecordingPeripheral stage;
  auto* changed = new GValueAttribute(1, 30);
  auto* unchanged = new GValueAttribute(2, 31);
  unchanged->resetChanged();
  stage.state()->insert(changed);
  stage.state()->insert(unchanged);
  stage.state()->setChanged();
  RecordingPeripheral visitor;
  visitor.answerFor(changed, 4);
  EXPECT_EQ(stage.accept(visitor), 4);
  EXPECT_EQ(visitor.calls(), (std::vector<Call>{value(30), value(31)}));
  EXPECT_EQ(stage.state()->isChanged(), 0);
}

// A stage that logs each change it is told of: (the stage told, the stage
// that changed).
class ChangeLog : public RecordingPeripheral {
 public:
  explicit ChangeLog(std::vector<std::pair<GPeripheral*, GPeripheral*>>* log) : log_(log) {}
  void changed(GPeripheral* stage) override {
    log_->emplace_back(this, stage);
    RecordingPeripheral::changed(stage);
  }

 private:
  std::vector<std::pair<GPeripheral*, GPeripheral*>>* log_;
};

TEST(StageSettings, ChangedReachesTheDependentsInOrderAndEndsOnACycle) {
  std::vector<std::pair<GPeripheral*, GPeripheral*>> log;
  ChangeLog stage(&log), first(&log), second(&log), absent(&log);
  stage.addDependent(&first);
  stage.addDependent(&second);
  stage.addDependent(&first);
  stage.removeDependent(&first);
  stage.removeDependent(&absent);
  ASSERT_EQ(stage.dependentCount(), 2u);
  EXPECT_EQ(stage.dependentAt(0), &second);
  EXPECT_EQ(stage.dependentAt(1), &first);
  EXPECT_EQ(stage.dependentAt(2), nullptr);

  stage.setConfig(new GConfiguration);
  using Entry = std::pair<GPeripheral*, GPeripheral*>;
  EXPECT_EQ(log, (std::vector<Entry>{{&stage, &stage}, {&second, &stage}, {&first, &stage}}));

  // Two stages each a dependent of the other: the change goes round once.
  log.clear();
  ChangeLog a(&log), b(&log);
  a.addDependent(&b);
  b.addDependent(&a);
  a.changed(&a);
  EXPECT_EQ(log, (std::vector<Entry>{{&a, &a}, {&b, &a}, {&a, &b}}));

  // A copy names the same dependents.
  RecordingPeripheral copy(stage);
  EXPECT_TRUE(copy.matches(&stage));
  EXPECT_EQ(copy.dependentAt(0), &second);
}

TEST(StageSettings, ACopyMatchesUntilItsSettingsDiffer) {
  RecordingPeripheral stage("s");
  stage.state()->insert(new GValueAttribute(1, 30));
  RecordingPeripheral copy(stage);
  EXPECT_TRUE(copy.matches(&stage));
  std::unique_ptr<MPersistentObject> deep(stage.deepCopy());
  auto* deepStage = dynamic_cast<RecordingPeripheral*>(deep.get());
  ASSERT_NE(deepStage, nullptr);
  EXPECT_NE(deepStage->state(), stage.state());
  EXPECT_TRUE(deepStage->matches(&stage));

  deepStage->state()->insert(new GValueAttribute(2, 30));
  EXPECT_FALSE(deepStage->matches(&stage));
  EXPECT_TRUE(copy.matches(&stage)) << "the copy shares the State";
  copy.setName("t");
  EXPECT_FALSE(copy.matches(&stage));
}

// ---- add-ons -------------------------------------------------------------------------

// An add-on proxy as the device model will make one: a stage of class 779.
class FakeProxy : public RecordingPeripheral {
 public:
  explicit FakeProxy(const RWCString& name) : RecordingPeripheral(name) {}
  ~FakeProxy() override { ++destroyed; }
  RWClassID isA() const override { return ClassId::GPeripheralProxy; }
  RWBoolean isKindOf(RWClassID id) const override {
    return id == ClassId::GPeripheralProxy || RecordingPeripheral::isKindOf(id);
  }
  static inline int destroyed = 0;
};

// The proxies the maker was asked for, and what it loads: "B" only.
struct MakerLog {
  static inline std::vector<std::string> asked;
  static GPeripheral* make(const RWWString& name, int32_t kind, int32_t mode) {
    RWCString narrow;
    convertToNarrow(name, narrow);
    asked.push_back(std::string(narrow.data()) + "/" + std::to_string(kind) + "/" + std::to_string(mode));
    return narrow == "B" ? new FakeProxy(narrow) : nullptr;
  }
};

// A stage with children, as the stage containers are.
class ParentStage : public RecordingPeripheral {
 public:
  ParentStage(GConfiguration* config, int32_t mode) : RecordingPeripheral("parent", nullptr, config, 0, 64, 3, mode) {}
  void insert(MPersistentObject* object) override { children_.insert(object); }
  MPersistentObject* remove(const MPersistentObject* member) override { return children_.remove(member); }
  MPersistentObject* findByKind(const RWClassID& kind) const override { return children_.findByKind(kind); }
  GChildIterator* createIterator() override { return children_.createIterator(); }
  MPersistentObject* at(RWsize i) const { return children_.children().pointee(i); }
  RWsize count() const { return children_.entries(); }

 private:
  GAttributeComposite children_;
};

GConfiguration* addOnConfig() {
  auto* list = new GAttributeComposite(AttrId::AddOnList);
  list->insert(new GStringAttribute("A", 1));
  list->insert(new GStringAttribute("B", 2));
  auto* config = new GConfiguration;
  config->insert(list);
  return config;
}

class AddOns : public ::testing::Test {
 protected:
  AddOns() : previous_(gSetAddOnProxyMaker(MakerLog::make)) { MakerLog::asked.clear(); }
  ~AddOns() override { gSetAddOnProxyMaker(previous_); }

 private:
  GAddOnProxyMaker previous_;
};

TEST_F(AddOns, LoadedProxiesGoInFrontAndLeaveAgain) {
  ParentStage parent(addOnConfig(), 1);
  auto* c1 = new RecordingPeripheral("c1");
  auto* c2 = new RecordingPeripheral("c2");
  parent.insert(c1);
  parent.insert(c2);
  const int before = FakeProxy::destroyed;

  parent.attachAddOns();
  EXPECT_EQ(MakerLog::asked, (std::vector<std::string>{"A/3/1", "B/3/1"}));
  ASSERT_EQ(parent.count(), 3u);
  EXPECT_EQ(parent.at(0)->isA(), ClassId::GPeripheralProxy);
  EXPECT_EQ(dynamic_cast<GPeripheral*>(parent.at(0))->name(), "B");
  EXPECT_EQ(parent.at(1), c1) << "the very children come back, in order";
  EXPECT_EQ(parent.at(2), c2);
  EXPECT_EQ(c1->references(), 1);

  parent.detachAddOns();
  ASSERT_EQ(parent.count(), 2u);
  EXPECT_EQ(parent.at(0), c1);
  EXPECT_EQ(parent.at(1), c2);
  EXPECT_EQ(FakeProxy::destroyed, before + 1);
}

TEST_F(AddOns, NothingHappensInModeTwoOrWithoutAList) {
  ParentStage quiet(addOnConfig(), 2);
  quiet.insert(new RecordingPeripheral("c"));
  quiet.attachAddOns();
  quiet.detachAddOns();
  EXPECT_TRUE(MakerLog::asked.empty());
  EXPECT_EQ(quiet.count(), 1u);

  ParentStage unlisted(new GConfiguration, 1);
  unlisted.attachAddOns();
  EXPECT_TRUE(MakerLog::asked.empty());
}

TEST_F(AddOns, ALeafStageFindsItselfAndKeepsNoProxy) {
  // The leaf answers itself to findByKind and ignores inserts: the search
  // ends and the proxy it could not take goes.
  RecordingPeripheral leaf("leaf", nullptr, addOnConfig(), 0, AttrId::AddOnList, 6, 1);
  const int before = FakeProxy::destroyed;
  leaf.attachAddOns();
  EXPECT_EQ(MakerLog::asked.size(), 2u);
  EXPECT_EQ(FakeProxy::destroyed, before + 1);
  leaf.detachAddOns();
}

}  // namespace
