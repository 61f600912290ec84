// The stage container in memory: a job's commands through its children and
// the active list, the children it takes and refuses, the merged
// configuration, the page queries, reset and copies.

#include "device/pericomp.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/state.h"
#include "core/valattr.h"
#include "devfix.h"
#include "device/config.h"
#include "journal/ctlcmds.h"
#include "testkit/core/stage.h"

namespace {

// Every process call of the stages that share it: the stage's name and the
// class ID of the command it was given.
using Walk = std::vector<std::string>;

class WalkStage : public RecordingPeripheral {
 public:
  WalkStage(const char* name, Walk* walk) : RecordingPeripheral(name), walk_(walk) {}
  GCommandPtr process(const GCommandPtr& command) override {
    walk_->push_back(std::string(name().data()) + ":" + std::to_string(command ? command->isA() : 0));
    return RecordingPeripheral::process(command);
  }

 private:
  Walk* walk_;
};

std::string step(const char* stage, RWClassID command) { return std::string(stage) + ":" + std::to_string(command); }

const RWClassID kStart = ClassId::GDocumentStart;
const RWClassID kPage = ClassId::GPageStart;
const RWClassID kEnd = ClassId::GDocumentEnd;
const RWClassID kAbort = ClassId::GJobAbort;

GCommandPtr command(GCommand* c) { return GCommandPtr(c); }

// A composite with three walking children A, B and C.
struct Three {
  Three() : a(new WalkStage("A", &walk)), b(new WalkStage("B", &walk)), c(new WalkStage("C", &walk)) {
    root.insert(a);
    root.insert(b);
    root.insert(c);
  }
  Walk walk;
  GPeripheralComposite root;
  WalkStage* a;
  WalkStage* b;
  WalkStage* c;
};

// ---- a job through the children -------------------------------------------------------

TEST(CompositeJob, ADocumentStartReachesEveryEnabledChildAfterAnError) {
  Three t;
  t.a->answer("onDocumentStart", 3);
  auto* off = new WalkStage("D", &t.walk);
  off->disable();
  t.root.insert(off);

  const GCommandPtr start = command(new GDocumentStart);
  const GCommandPtr answer = t.root.process(start);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->isA(), ClassId::GErrorCommand);
  EXPECT_EQ(dynamic_cast<GErrorCommand*>(answer.get())->failedCommand(), start.get());
  const RWClassID error = ClassId::GErrorCommand;
  EXPECT_EQ(t.walk, (Walk{step("A", kStart), step("B", error), step("C", error)}));
  EXPECT_EQ(t.root.activeChildren().entries(), 3u);

  // Later commands go to the active children only.
  t.walk.clear();
  off->enable();
  EXPECT_TRUE(t.root.process(command(new GPageStart)));
  EXPECT_EQ(t.walk, (Walk{step("A", kPage), step("B", kPage), step("C", kPage)}));
}

TEST(CompositeJob, AChildThatDisablesItselfAtTheStartSeesNothingMoreOfTheJob) {
  Three t;
  t.b->disableOn(kStart);
  t.root.process(command(new GDocumentStart));
  EXPECT_EQ(t.walk, (Walk{step("A", kStart), step("B", kStart), step("C", kStart)}));
  ASSERT_EQ(t.root.activeChildren().entries(), 2u);

  // Even enabled again, it is not among the job's children.
  t.b->enable();
  t.walk.clear();
  t.root.process(command(new GPageStart));
  t.root.process(command(new GDocumentEnd));
  EXPECT_EQ(t.walk, (Walk{step("A", kPage), step("C", kPage), step("A", kEnd), step("C", kEnd)}));
}

TEST(CompositeJob, TheWalkEndsAtTheFirstNoCommandOrError) {
  Three t;
  t.root.process(command(new GDocumentStart));
  t.walk.clear();
  t.a->swallow(kPage);
  const GCommandPtr swallowed = t.root.process(command(new GPageStart));
  ASSERT_TRUE(swallowed);
  EXPECT_EQ(swallowed->isA(), ClassId::GNoCommand);
  EXPECT_EQ(t.walk, Walk{step("A", kPage)});

  t.walk.clear();
  t.b->answer("onPageEnd", 7);
  const GCommandPtr failed = t.root.process(command(new GPageEnd));
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->isA(), ClassId::GErrorCommand);
  EXPECT_EQ(t.walk, (Walk{step("A", ClassId::GPageEnd), step("B", ClassId::GPageEnd)}));

  // A child disabled during the job is passed over.
  t.walk.clear();
  t.a->disable();
  t.root.process(command(new GPageEnd));
  EXPECT_EQ(t.walk, (Walk{step("B", ClassId::GPageEnd)}));
}

TEST(CompositeJob, AnEndComingOutOfTheWalkEmptiesTheActiveList) {
  const struct {
    const char* what;
    RWClassID ending;
    bool swallowed;
    RWsize activeAfter;
  } cases[] = {
      {"a document end", kEnd, false, 0},
      {"a job abort", kAbort, false, 0},
      {"a document end swallowed by the last child", kEnd, true, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Three t;
    t.root.process(command(new GDocumentStart));
    if (c.swallowed) t.c->swallow(c.ending);
    GCommand* ending = c.ending == kEnd ? static_cast<GCommand*>(new GDocumentEnd) : new GJobAbort;
    t.root.process(command(ending));
    EXPECT_EQ(t.root.activeChildren().entries(), c.activeAfter);
    // An ended job passes nothing on.
    t.walk.clear();
    if (!c.swallowed) {
      t.root.process(command(new GPageStart));
      EXPECT_TRUE(t.walk.empty());
    }
  }
}

TEST(CompositeJob, RefusesANullCommandAndPassesOthersWhenEmptyOrDisabled) {
  GPeripheralComposite root;
  EXPECT_FALSE(root.process(GCommandPtr()));
  const GCommandPtr page = command(new GPageStart);
  EXPECT_EQ(root.process(page), page);
  Walk walk;
  root.insert(new WalkStage("A", &walk));
  root.process(command(new GDocumentStart));
  walk.clear();
  root.disable();
  EXPECT_EQ(root.process(page), page);
  EXPECT_TRUE(walk.empty());
}

// ---- children --------------------------------------------------------------------------

// A state that counts its deletions.
class CountedState : public GState {
 public:
  ~CountedState() override { ++deleted; }
  static inline int deleted = 0;
};

TEST(CompositeChildren, OnlyStagesAreTakenAndAnythingElseGoesUnlessShared) {
  GPeripheralComposite root;
  auto* child = new RecordingPeripheral("child");
  root.insert(child);
  const int before = CountedState::deleted;
  root.insert(new CountedState);
  EXPECT_EQ(CountedState::deleted, before + 1);
  EXPECT_EQ(root.entries(), 1u);
  EXPECT_EQ(root.childAt(0), child);

  // A state that a counted holder shares stays with it.
  auto* shared = new CountedState;
  {
    const GCountedRef holder(shared);
    root.insert(shared);
    EXPECT_EQ(CountedState::deleted, before + 1);
    EXPECT_EQ(shared->references(), 1);
  }
  EXPECT_EQ(CountedState::deleted, before + 2);
  root.insert(nullptr);
  EXPECT_EQ(root.entries(), 1u);
}

TEST(CompositeChildren, AStageHoldingTheCompositeIsRefused) {
  auto* inner = new GPeripheralComposite;
  GPeripheralComposite outer;
  outer.insert(inner);
  outer.insert(&outer);
  inner->insert(&outer);
  EXPECT_EQ(outer.entries(), 1u);
  EXPECT_EQ(inner->entries(), 0u);
  EXPECT_EQ(outer.dependentCount(), 0u);
}

TEST(CompositeChildren, ChildrenNameTheCompositeUntilTheyLeave) {
  auto* a = new RecordingPeripheral("a", 5);
  auto* b = new RecordingPeripheral("b", 6);
  const GCountedRef keepB(b);
  {
    GPeripheralComposite root;
    root.insert(a);
    root.insert(b);
    ASSERT_EQ(a->dependentCount(), 1u);
    EXPECT_EQ(a->dependentAt(0), &root);

    std::unique_ptr<MPersistentObject> removed(root.removeById(5));
    EXPECT_EQ(removed.get(), a) << "the child itself: only the composite held it";
    EXPECT_EQ(a->dependentCount(), 0u);
    EXPECT_EQ(root.config()->entries(), 2u);
    const GValueAttribute notAStage(1, 6);
    EXPECT_EQ(root.remove(&notAStage), nullptr) << "no stage, nothing removed";
  }
  // Gone with the composite, which left the list of the child it shared.
  EXPECT_EQ(b->dependentCount(), 0u);
}

TEST(CompositeChildren, RemovingAnActiveChildHandsOverTheChildItself) {
  Walk walk;
  GPeripheralComposite root;
  auto* a = new WalkStage("A", &walk);
  root.insert(a);
  root.insert(new WalkStage("B", &walk));
  root.process(command(new GDocumentStart));
  std::unique_ptr<MPersistentObject> removed(root.remove(a));
  EXPECT_EQ(removed.get(), a);
  EXPECT_EQ(root.activeChildren().entries(), 1u);
  walk.clear();
  root.process(command(new GPageStart));
  EXPECT_EQ(walk, Walk{step("B", kPage)});
}

TEST(CompositeChildren, ADeepReplacementIsAStageTheCompositeDependsOn) {
  GPeripheralComposite root;
  auto* old = new RecordingPeripheral("old", 5);
  const GCountedRef keepOld(old);
  root.insert(old);
  const RecordingPeripheral replacement("new", 5);
  EXPECT_EQ(root.replaceDeepById(5, &replacement), 1);
  auto* fresh = dynamic_cast<RecordingPeripheral*>(root.childAt(0));
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(fresh->name(), "new");
  EXPECT_EQ(old->dependentCount(), 0u);
  ASSERT_EQ(fresh->dependentCount(), 1u);
  EXPECT_EQ(fresh->dependentAt(0), &root);
  EXPECT_EQ(root.config()->children().pointee(1), fresh->config());

  const GValueAttribute notAStage(1, 5);
  EXPECT_EQ(root.replaceDeepById(5, &notAStage), 0);
  EXPECT_EQ(root.childAt(0), fresh);
}

// ---- configuration -------------------------------------------------------------------

TEST(CompositeConfig, TheMergedConfigurationIsTheOwnItemThenEachChilds) {
  GPeripheralComposite root;
  auto* a = new RecordingPeripheral("a");
  auto* b = new RecordingPeripheral("b");
  root.insert(a);
  root.insert(b);
  const GCountedPtrVector& merged = root.config()->children();
  ASSERT_EQ(merged.entries(), 3u);
  EXPECT_EQ(merged.pointee(0), root.ownConfig());
  EXPECT_EQ(merged.pointee(1), a->config());
  EXPECT_EQ(merged.pointee(2), b->config());

  // A child's new configuration reaches the composite.
  auto* replaced = new GConfiguration(198);
  a->setConfig(replaced);
  EXPECT_EQ(merged.pointee(1), replaced);

  // So does one of the composite's own, and the composite's dependents hear
  // of it even when they depend on it in turn.
  GPeripheralComposite parent;
  auto* held = new GPeripheralComposite;
  parent.insert(held);
  held->addDependent(&parent);
  parent.addDependent(held);
  auto* own = new GConfiguration(198);
  own->insert(new GValueAttribute(4, 77));
  held->setConfig(own);
  EXPECT_EQ(held->config()->children().pointee(0), own);
  EXPECT_NE(parent.config()->findById(77), nullptr);
}

TEST(CompositeConfig, TheFullFormKeepsWhatItIsGiven) {
  auto* config = new GConfiguration(198);
  config->insert(new GValueAttribute(1, 339));
  auto* defaults = new GState;
  defaults->insert(new GValueAttribute(2, 30));
  GPeripheralComposite root("root", defaults, config, 9);
  root.insert(new RecordingPeripheral("child"));
  root.reset();
  EXPECT_EQ(root.ownConfig(), config);
  ASSERT_NE(root.config()->findById(339), nullptr);
  EXPECT_EQ(root.defaults(), defaults);
  EXPECT_NE(root.state()->findById(30), nullptr);
}

TEST(CompositeConfig, TakingHandsOverTheObjectsThemselves) {
  GPeripheralComposite root;
  auto* defaults = new GState;
  root.setDefaults(defaults);
  EXPECT_EQ(root.ownDefaults(), defaults);
  std::unique_ptr<GState> taken(root.takeDefaults());
  EXPECT_EQ(taken.get(), defaults);
  EXPECT_EQ(root.ownDefaults(), root.defaults());
  EXPECT_EQ(root.defaults()->id(), AttrId::StageState);

  auto* config = new GConfiguration(198);
  root.setConfig(config);
  std::unique_ptr<GConfiguration> takenConfig(root.takeConfig());
  EXPECT_EQ(takenConfig.get(), config);
  ASSERT_EQ(root.config()->entries(), 1u);
  EXPECT_EQ(root.config()->children().pointee(0), root.ownConfig());

  // The state a new composite starts with comes inside a configuration.
  GPeripheralComposite fresh;
  MPersistentObject* first = fresh.ownConfig();
  std::unique_ptr<GConfiguration> wrapped(fresh.takeConfig());
  ASSERT_NE(wrapped, nullptr);
  EXPECT_EQ(wrapped->children().pointee(0), first);
}

// ---- queries -------------------------------------------------------------------------

// A stage with scripted page answers, counting the times it is asked.
class PageStage : public RecordingPeripheral {
 public:
  PageStage(float x, float y, int32_t ready = 1, uint32_t flags = 0, int32_t setMode = -1)
      : x_(x), y_(y), ready_(ready), flags_(flags), setMode_(setMode) {}
  void scaleFactors(GScaleFactors& factors, GState*, GState*, int32_t, int32_t& mode) override {
    ++asked;
    seenMode = mode;
    if (setMode_ >= 0) mode = setMode_;
    factors.set(x_, y_);
  }
  int32_t isReady() override { return ready_; }
  uint32_t processingFlags() override { return flags_; }
  int asked = 0;
  int32_t seenMode = -1;

 private:
  float x_, y_;
  int32_t ready_;
  uint32_t flags_;
  int32_t setMode_;
};

GScaleFactors factorsOf(GPeripheralComposite& root, int32_t& mode) {
  GScaleFactors f(7, 7);
  root.scaleFactors(f, nullptr, nullptr, 0, mode);
  return f;
}

TEST(CompositeQueries, ScaleFactorsMultiplyUntilBothAreZero) {
  GPeripheralComposite root;
  int32_t mode = 0;
  EXPECT_EQ(factorsOf(root, mode), GScaleFactors(1, 1));
  auto* off = new PageStage(9, 9);
  off->disable();
  root.insert(off);
  auto* first = new PageStage(0.5f, 2.0f, 1, 0, 3);
  root.insert(first);
  EXPECT_EQ(factorsOf(root, mode), GScaleFactors(0.5f, 2.0f));
  EXPECT_EQ(off->asked, 0);
  EXPECT_EQ(mode, 3) << "the first child's mode word, untouched by the composite";

  auto* second = new PageStage(-0.0f, 0);
  auto* third = new PageStage(4, 4);
  root.insert(second);
  root.insert(third);
  mode = 1;
  EXPECT_EQ(factorsOf(root, mode), GScaleFactors(0, 0));
  EXPECT_EQ(second->seenMode, 3) << "the mode word as the child before left it";
  EXPECT_EQ(third->asked, 0);

  // One factor zero is not the end.
  auto* half = new PageStage(0, 1);
  GPeripheralComposite other;
  other.insert(half);
  other.insert(new PageStage(2, 3));
  EXPECT_EQ(factorsOf(other, mode), GScaleFactors(0, 3));
}

TEST(CompositeQueries, ReadyOnlyWhenEveryChildIsAndFlagsOfTheEnabledOnes) {
  GPeripheralComposite root;
  EXPECT_EQ(root.isReady(), 1);
  EXPECT_EQ(root.processingFlags(), 0u);
  root.insert(new PageStage(1, 1, 1, 0x1));
  root.insert(new PageStage(1, 1, 1, 0x4));
  auto* off = new PageStage(1, 1, 0, 0x10);
  off->disable();
  root.insert(off);
  EXPECT_EQ(root.isReady(), 0) << "a disabled child counts";
  EXPECT_EQ(root.processingFlags(), 0x5u);
  off->enable();
  EXPECT_EQ(root.processingFlags(), 0x15u);
  GPeripheralComposite one;
  one.insert(new PageStage(1, 1, 1));
  EXPECT_EQ(one.isReady(), 1);
}

// ---- reset and copies ----------------------------------------------------------------

TEST(CompositeCopies, ResetRebuildsFromTheOwnDefaultsAndResetsEveryChild) {
  GPeripheralComposite root;
  auto* defaults = new GState;
  defaults->insert(new GValueAttribute(3, 40));
  root.setDefaults(defaults);
  auto* child = new RecordingPeripheral("c");
  child->disable();
  root.insert(child);
  root.disable();
  root.reset();
  EXPECT_TRUE(root.isEnabled());
  EXPECT_TRUE(child->isEnabled());
  EXPECT_EQ(root.defaults(), defaults);
  ASSERT_NE(root.state(), nullptr);
  EXPECT_NE(root.state(), defaults);
  EXPECT_NE(root.state()->findById(40), nullptr);
  ASSERT_NE(root.ownState(), nullptr);
  EXPECT_NE(root.ownState(), defaults);
  EXPECT_FALSE(root.ownState()->differs(defaults));
}

TEST(CompositeCopies, ADeepCopyIsATreeOfItsOwn) {
  GPeripheralComposite root;
  auto* a = new RecordingPeripheral("a");
  root.insert(a);
  root.setConfig(new GConfiguration(198));
  const MPersistentObject* rootConfig = root.config();

  std::unique_ptr<MPersistentObject> made(root.deepCopy());
  auto* copy = dynamic_cast<GPeripheralComposite*>(made.get());
  ASSERT_NE(copy, nullptr);
  ASSERT_EQ(copy->entries(), 1u);
  GPeripheral* copiedChild = copy->childAt(0);
  EXPECT_NE(copiedChild, a);
  EXPECT_EQ(copiedChild->name(), "a");
  ASSERT_EQ(copiedChild->dependentCount(), 1u);
  EXPECT_EQ(copiedChild->dependentAt(0), copy);
  EXPECT_NE(copy->config(), rootConfig);
  EXPECT_NE(copy->ownConfig(), root.ownConfig());
  ASSERT_EQ(copy->config()->entries(), 2u);
  EXPECT_EQ(copy->config()->children().pointee(0), copy->ownConfig());
  EXPECT_EQ(copy->config()->children().pointee(1), copiedChild->config());
  // The original is as it was.
  EXPECT_EQ(root.config(), rootConfig);
  EXPECT_EQ(root.config()->children().pointee(1), a->config());

  // A plain copy shares everything and depends on nothing.
  GPeripheralComposite shared(root);
  EXPECT_TRUE(shared.matches(&root));
  EXPECT_EQ(shared.childAt(0), a);
  EXPECT_EQ(a->dependentCount(), 1u);
}

// ---- stored form ---------------------------------------------------------------------

class CompositeStore : public StoreTest {};

TEST_F(CompositeStore, ItsLevelFollowsTheStagesAsWritten) {
  GPeripheralComposite root;
  const std::string stored = storeFile(&root);
  auto emptyState = [](const MPersistentObject* s) {
    return le16(758) + rootLevel(243, s->serialNumber()) + attributeLevel() + le32(1) + le32(0) + le32(1);
  };
  // Read table: 1 the composite, 2 to 4 Default, State and Config, 5 the own
  // configuration item inside Config, 6 the dependents list, then the
  // children, the own State and the own Default.
  const std::string level = le32(1) +
                            // the children: an empty composite with its class tag
                            le16(752) + rootLevel(0, root.children().serialNumber()) + le32(1) + le32(0) +
                            // own State and Default, then the own item by reference
                            emptyState(root.ownState()) + emptyState(root.ownDefaults()) + reference(5);
  ASSERT_GT(stored.size(), level.size());
  EXPECT_EQ(stored.substr(stored.size() - level.size()), level);
  EXPECT_EQ(stored.size(), 6 + root.binaryStoreSize());
  // The own item is the one the merged configuration holds.
  const std::string ownItem = le16(758) + rootLevel(198, root.ownConfig()->serialNumber());
  EXPECT_NE(stored.find(ownItem), std::string::npos);
}

TEST_F(CompositeStore, AnotherVersionKeepsTheLevelAsItWas) {
  GPeripheralComposite root;
  std::string stored = storeFile(&root);
  const size_t at = stored.size() - (4 + 22 + 34 + 34 + 6);
  ASSERT_EQ(stored.substr(at, 4), le32(1));
  stored.replace(at, 4, le32(2));
  std::unique_ptr<MPersistentObject> back = restoredObject(stored.substr(0, at + 4));
  auto* composite = dynamic_cast<GPeripheralComposite*>(back.get());
  ASSERT_NE(composite, nullptr);
  EXPECT_EQ(composite->entries(), 0u);
  ASSERT_NE(composite->ownConfig(), nullptr) << "as constructed";
}

}  // namespace
