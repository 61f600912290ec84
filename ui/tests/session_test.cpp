// The session and the attribute cursors over a small settings tree: undo,
// the rule loop, the scratch values, the printer Config's answers.

#include "core/attrids.h"
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/attrib.h"
#include "core/valattr.h"
#include "device/config.h"
#include "device/pericomp.h"
#include "testkit/ui/hosthooks.h"
#include "ui/cursor.h"
#include "ui/model.h"
#include "ui/session.h"
#include "ui/uiids.h"

namespace {

constexpr uint32_t kLevelA = 0x40000100;
constexpr uint32_t kLevelB = 0x40000101;

// A session over hand-made trees: settings {10 = 1, 11 = "abc", group 20
// {21 = 5}, list 30 {0 = 1, 0 = "x", 0 = 3}}; no printer object.
class Session : public UIHostTest {
 protected:
  void SetUp() override {
    UIHostTest::SetUp();
    settings_ = std::make_unique<GAttributeComposite>(360);
    settings_->insert(new GValueAttribute(1, 10));
    settings_->insert(new GStringAttribute("abc", 11));
    auto* group = new GAttributeComposite(20);
    group->insert(new GValueAttribute(5, 21));
    settings_->insert(group);
    auto* list = new GAttributeComposite(30);
    list->insert(new GValueAttribute(1, 0));
    list->insert(new GStringAttribute("x", 0));
    list->insert(new GValueAttribute(3, 0));
    settings_->insert(list);
    record_.settings = settings_.get();
    session_ = std::make_unique<GUISession>(&record_);
  }
  void TearDown() override {
    session_.reset();
    UIHostTest::TearDown();
  }
  int16_t value(uint32_t id) { return GUIObject(session_.get()).settingsValue(id); }

  UIHostRecord record_;
  std::unique_ptr<GAttributeComposite> settings_;
  std::unique_ptr<GUISession> session_;
};

TEST_F(Session, SetValueAsATable) {
  struct Row {
    const char* what;
    bool scratch;
    bool readOnly;
    uint32_t id;
    int16_t value;
    bool answer;
    size_t records;
    bool exists;
  } rows[] = {
      {"the value already stored", false, false, 10, 1, true, 0, true},
      {"a new value", false, false, 10, 2, true, 1, true},
      {"a missing scratch item", true, false, kLevelA, 4, true, 1, true},
      {"a read-only cursor", false, true, 10, 7, false, 0, true},
      {"a missing settings attribute", false, false, 99, 3, false, 0, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    session_->beginUpdate(0);
    GAttributeCursor cursor = row.scratch ? session_->scratchCursor()
                                          : GAttributeCursor(settings_.get(), session_.get(), row.readOnly);
    EXPECT_EQ(cursor.setValue(row.id, row.value), row.answer);
    EXPECT_EQ(session_->records().size(), row.records);
    EXPECT_EQ(session_->changedIds().size(), row.records);
    EXPECT_EQ(cursor.has(row.id), row.exists);
    if (row.answer) {
      EXPECT_EQ(value(row.id), row.value);
    }
    EXPECT_EQ(session_->endUpdate(), 0);
  }
}

TEST_F(Session, CursorReadsAndTextCompare) {
  GAttributeCursor cursor = session_->settingsCursor();
  // A wide text whose narrow form is the stored bytes records nothing.
  ASSERT_TRUE(cursor.setString(11, RWCString("\xE9t\xE9")));
  session_->beginUpdate(0);
  EXPECT_TRUE(cursor.setString(11, RWWString(u"\u00e9t\u00e9")));
  EXPECT_TRUE(session_->records().empty());
  EXPECT_TRUE(cursor.setString(11, RWWString(u"\u00e9t")));
  EXPECT_EQ(session_->records().size(), 1u);
  (void)session_->endUpdate();
  // A list stops at a child that is no value, keeping what came before.
  std::vector<int16_t> values{9, 9};
  EXPECT_FALSE(cursor.getList(30, values));
  EXPECT_EQ(values, std::vector<int16_t>{1});
  EXPECT_FALSE(cursor.getList(10, values));
  // descend moves only into composites.
  EXPECT_FALSE(cursor.descend(10));
  EXPECT_TRUE(cursor.descend(20));
  int32_t v = 0;
  EXPECT_TRUE(cursor.getValue(21, v));
  EXPECT_EQ(v, 5);
  EXPECT_FALSE(cursor.getValue(10, v));
  EXPECT_EQ(v, 0);
}

TEST_F(Session, RevertGivesBackTheFirstOldValue) {
  session_->beginUpdate(0);
  GAttributeCursor cursor = session_->settingsCursor();
  ASSERT_TRUE(cursor.setValue(10, 2));
  // A nested update shares the records of the running one.
  session_->beginUpdate(0);
  ASSERT_TRUE(cursor.setValue(10, 3));
  EXPECT_EQ(session_->endUpdate(), 1);
  EXPECT_EQ(session_->records().size(), 2u);
  EXPECT_TRUE(session_->wasChanged(10, nullptr));
  session_->revert();
  EXPECT_EQ(value(10), 1);
  EXPECT_TRUE(session_->records().empty());
  EXPECT_EQ(session_->endUpdate(), 0);
}

TEST_F(Session, UndoLevelsKeepTheValueFromBeforeTheLevel) {
  for (bool cancel : {true, false}) {
    SCOPED_TRACE(cancel ? "cancel" : "ok");
    session_->beginUpdate(0);
    GAttributeCursor cursor = session_->settingsCursor();
    ASSERT_TRUE(cursor.setValue(21, 6));
    session_->pushUndoLevel();
    ASSERT_TRUE(cursor.setValue(21, 7));
    ASSERT_TRUE(cursor.setValue(21, 8));
    session_->popUndoLevel(cancel);
    EXPECT_EQ(value(21), cancel ? 6 : 8);
    // The outer action still holds the value from before it.
    session_->revert();
    EXPECT_EQ(value(21), 5);
    (void)session_->endUpdate();
  }
  session_->popUndoLevel(true);  // none open: nothing
  EXPECT_EQ(session_->undoLevels(), 0u);
}

// A rule that answers a change of one level by raising another, for
// ping-pong pairs; it counts its lives.
class ProbeRule : public GFeatureRule {
 public:
  ProbeRule(GUISession* s, uint32_t watch, uint32_t write, int* alive)
      : GFeatureRule(s), watch_(watch), write_(write), alive_(alive) {
    ++*alive_;
  }
  ~ProbeRule() override { --*alive_; }
  void reset() override { ++resets; }
  void evaluate(const std::vector<uint32_t>& changed, bool all) override {
    ++evaluations;
    if (nested) session()->reEvaluate(true);
    for (uint32_t id : changed)
      if (id == watch_ || all) {
        int32_t v = 0;
        (void)session()->scratchCursor().getValue(write_, v);
        (void)session()->scratchCursor().setValue(write_, static_cast<int16_t>(v + 1));
        return;
      }
  }
  int resets = 0;
  int evaluations = 0;
  bool nested = false;

 private:
  uint32_t watch_, write_;
  int* alive_;
};

TEST_F(Session, PingPongRulesStopAfter101Passes) {
  int alive = 0;
  auto* a = new ProbeRule(session_.get(), kLevelA, kLevelB, &alive);
  auto* b = new ProbeRule(session_.get(), kLevelB, kLevelA, &alive);
  session_->addRule(a);
  session_->addRule(b);
  session_->beginUpdate(0);
  ASSERT_TRUE(session_->scratchCursor().setValue(kLevelA, 1));
  session_->reEvaluate(false);
  EXPECT_EQ(session_->lastPasses(), 101);
  EXPECT_EQ(a->resets, 1);
  EXPECT_EQ(a->evaluations, 101);
  (void)session_->endUpdate();
  // Each rule goes once, through its destructor, with the session.
  session_.reset();
  EXPECT_EQ(alive, 0);
}

TEST_F(Session, RuleLoopRunsOnlyForChangesOrAll) {
  int alive = 0;
  auto* rule = new ProbeRule(session_.get(), 10, kLevelA, &alive);
  session_->addRule(rule);
  session_->beginUpdate(0);
  session_->reEvaluate(false);  // nothing changed, not all
  EXPECT_EQ(rule->evaluations, 0);
  EXPECT_EQ(rule->resets, 0);
  // A model set to its own value wakes nothing.
  GFeatureModel model(session_.get(), 10);
  EXPECT_TRUE(model.setValue(1));
  EXPECT_FALSE(model.changed());
  session_->reEvaluate(false);
  EXPECT_EQ(rule->evaluations, 0);
  EXPECT_TRUE(model.setValue(2));
  EXPECT_TRUE(model.changed());
  session_->reEvaluate(false);
  EXPECT_EQ(rule->evaluations, 2);  // its own level change runs one more pass
  // A rule that starts an evaluation inside one is turned away.
  rule->nested = true;
  session_->reEvaluate(true);
  EXPECT_EQ(rule->resets, 2);
  (void)session_->endUpdate();
}

TEST_F(Session, LevelsRiseAndClear) {
  int alive = 0;
  ProbeRule rule(session_.get(), 0, 0, &alive);
  session_->beginUpdate(0);
  rule.raiseLevel(kLevelA, 2);
  rule.raiseLevel(kLevelA, 1);
  EXPECT_EQ(value(kLevelA), 2);
  rule.raiseLevel(kLevelA, 3);
  EXPECT_EQ(value(kLevelA), 3);
  rule.clearLevel(kLevelB);
  EXPECT_TRUE(session_->scratchCursor().has(kLevelB));
  EXPECT_EQ(value(kLevelB), 0);
  rule.clearLevel(kLevelA);
  EXPECT_EQ(value(kLevelA), 0);
  (void)session_->endUpdate();
}

TEST_F(Session, AStaleScratchGroupIsReplaced) {
  session_.reset();
  auto* stale = new GAttributeComposite(AttrId::UiScratch);
  stale->insert(new GValueAttribute(9, kLevelA));
  settings_->insert(stale);
  session_ = std::make_unique<GUISession>(&record_);
  EXPECT_EQ(value(kLevelA), 0);
  EXPECT_FALSE(session_->scratchCursor().has(kLevelA));
}

TEST_F(Session, PrinterConfigAnswers) {
  // The printer Config is the configuration's: 206 with its first entry's
  // 323 and 324, and 374.
  struct Row {
    const char* what;
    int16_t x, y;
    bool list;
    int16_t answer;
  } rows[] = {
      {"600 by 600", 600, 600, true, 600},
      {"600 by 1200", 600, 1200, true, 0x7FFF},
      {"no list 206", 0, 0, false, 0x7FFF},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    auto* config = new GConfiguration(198);
    if (row.list) {
      auto* modes = new GAttributeComposite(AttrId::ModeEntries);
      auto* entry = new GAttributeComposite(0);
      entry->insert(new GValueAttribute(row.x, AttrId::Resolution));
      entry->insert(new GValueAttribute(row.y, AttrId::VerticalResolution));
      modes->insert(entry);
      config->insert(modes);
    }
    GPeripheralComposite root("root", nullptr, config, 353);
    UIHostRecord record;
    record.configuration = &root;
    GAttributeComposite settings(360);
    record.settings = &settings;
    GUISession session(&record);
    EXPECT_EQ(session.printerResolution(), row.answer);
  }
}

}  // namespace
