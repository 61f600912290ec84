// The dialog framework on its own: display states, the read-only sheet,
// and a sub-dialog run with undo.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/attrib.h"
#include "core/valattr.h"
#include "host/uihost/uihost.h"
#include "testkit/ui/hosthooks.h"
#include "ui/dialog.h"
#include "ui/session.h"
#include "ui/uires.h"

namespace {

const char* const kResources = R"(string 5001 "One"
string 5004 "Four"
dialog 80 0 0 200 120 "Sub"
item 81 checkbox 8 8 80 10 "Option"
item 82 checkbox 8 20 80 10 "Other"
item 83 static 8 40 60 10 "Choice"
item 84 combobox 70 40 80 60 ""
item 1 button 100 8 40 14 "OK"
item 2 button 100 30 40 14 "Cancel"
)";

// A feature model whose display state the test sets.
class StatedModel : public GFeatureModel {
 public:
  StatedModel(GUISession* s, uint32_t id, int16_t* state) : GFeatureModel(s, id), state_(state) {}
  int16_t state() override { return *state_; }

 private:
  int16_t* state_;
};

class Framework : public UIHostTest {
 protected:
  void SetUp() override {
    UIHostTest::SetUp();
    ASSERT_TRUE(uihost::registerModule(u"qxframe.dll", {}, kResources));
    ASSERT_TRUE(uires::loadResourceModule(RWWString(u"qxframe.dll")));
    settings_ = std::make_unique<GAttributeComposite>(360);
    settings_->insert(new GValueAttribute(0, 10));
    record_.settings = settings_.get();
    session_ = std::make_unique<GUISession>(&record_);
  }
  void TearDown() override {
    session_.reset();
    uires::releaseResourceModule();
    UIHostTest::TearDown();
  }
  int16_t value() { return GUIObject(session_.get()).settingsValue(10); }
  // A sub-dialog 80 with a check box on 10 (whose state is `state`).
  std::unique_ptr<GSubDialog> subDialog(int16_t* state) {
    auto dialog = std::make_unique<GSubDialog>(80, session_.get(), false, 0xFFFF);
    const GHelpPair table[] = {{81, -1}, {82, -1}, {0, 0}};
    dialog->addControl(new GCheckBoxControl(table, std::make_unique<StatedModel>(session_.get(), 10, state)));
    return dialog;
  }

  UIHostRecord record_;
  std::unique_ptr<GAttributeComposite> settings_;
  std::unique_ptr<GUISession> session_;
};

TEST_F(Framework, ASubDialogWithUndoCancelRestoresOkKeeps) {
  int16_t state = 0;
  auto dialog = subDialog(&state);
  for (int32_t button : {IDCANCEL, IDOK}) {
    SCOPED_TRACE(button);
    session_->beginUpdate(0);
    uihost::scriptDialog(80, [button](uihost::DialogRun& run) {
      run.click(81);
      run.click(button);
    });
    EXPECT_EQ(dialog->run(0, true), button);
    EXPECT_EQ(value(), button == IDOK ? 1 : 0);
    EXPECT_EQ(session_->depth(), 1);
    EXPECT_EQ(session_->undoLevels(), 0u);
    (void)session_->endUpdate();
  }
}

TEST_F(Framework, StatesShowHideAndTheReadOnlySheetDisables) {
  int16_t state = 2;
  auto dialog = subDialog(&state);
  struct Seen {
    bool visible, enabled, checked;
  };
  std::vector<Seen> seen;
  ASSERT_TRUE(settings_->replaceDeepById(10, std::make_unique<GValueAttribute>(1, 10).get()));
  uihost::scriptDialog(80, [&](uihost::DialogRun& run) {
    auto look = [&] {
      const HWND item = run.item(81);
      seen.push_back({IsWindowVisible(item) != 0, IsWindowEnabled(item) != 0,
                      SendMessageW(item, BM_GETCHECK, 0, 0) == BST_CHECKED});
    };
    look();  // state 2 at the start
    state = 1;
    dialog->refreshControls(true);
    look();
    record_.hostFlags = UI_HOST_READONLY;
    state = 0;
    dialog->refreshControls(true);
    look();
    run.click(IDCANCEL);
  });
  EXPECT_EQ(dialog->run(0, false), IDCANCEL);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_FALSE(seen[0].visible);
  EXPECT_TRUE(seen[1].visible);
  EXPECT_FALSE(seen[1].enabled);
  EXPECT_TRUE(seen[2].visible);
  EXPECT_FALSE(seen[2].enabled) << "a read-only sheet keeps the items disabled";
  EXPECT_TRUE(seen[2].checked) << "and they still show the values";
}

// Counts the updates it closes.
class CountingDialog : public GSubDialog {
 public:
  using GSubDialog::GSubDialog;
  void afterMessage(int32_t changed) override {
    ++closed;
    depthInside = session()->depth();
    GSubDialog::afterMessage(changed);
  }
  int closed = 0;
  int16_t depthInside = 0;
};

TEST_F(Framework, AMessageNoControlOwnsStillOpensAndClosesAnUpdate) {
  int16_t state = 0;
  CountingDialog dialog(80, session_.get(), false, 0xFFFF);
  const GHelpPair table[] = {{81, -1}, {0, 0}};
  dialog.addControl(new GCheckBoxControl(table, std::make_unique<StatedModel>(session_.get(), 10, &state)));
  uihost::scriptDialog(80, [&](uihost::DialogRun& run) {
    run.click(82);  // no control owns it
    EXPECT_EQ(dialog.closed, 1);
    EXPECT_EQ(dialog.depthInside, 1);
    EXPECT_EQ(session_->depth(), 0);
    EXPECT_EQ(value(), 0);
    run.click(IDCANCEL);
  });
  EXPECT_EQ(dialog.run(0, false), IDCANCEL);
}

// A check box that records what reaches it: the window calls of its
// display state, the forced flags of its reads and the messages routed to it.
class ProbedCheckBox : public GCheckBoxControl {
 public:
  using GCheckBoxControl::GCheckBoxControl;
  void showItem(size_t index, bool visible) override {
    ++windowCalls;
    GCheckBoxControl::showItem(index, visible);
  }
  void enableItem(size_t index, bool enabled) override {
    ++windowCalls;
    GCheckBoxControl::enableItem(index, enabled);
  }
  void readModel(bool force) override {
    reads.push_back(force);
    GCheckBoxControl::readModel(force);
  }
  int32_t onMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    routed.push_back(message);
    return GCheckBoxControl::onMessage(message, wParam, lParam);
  }
  int windowCalls = 0;
  std::vector<bool> reads;
  std::vector<UINT> routed;
};

// Records the all flag of every pass it is run in.
class ProbeRule : public GFeatureRule {
 public:
  ProbeRule(GUISession* s, std::vector<bool>* passes) : GFeatureRule(s), passes_(passes) {}
  void evaluate(const std::vector<uint32_t>&, bool all) override { passes_->push_back(all); }

 private:
  std::vector<bool>* passes_;
};

TEST_F(Framework, TheSameStateTwiceTouchesNoWindow) {
  int16_t state = 0;
  GSubDialog dialog(80, session_.get(), false, 0xFFFF);
  const GHelpPair table[] = {{81, -1}, {82, -1}, {0, 0}};
  auto* box = new ProbedCheckBox(table, std::make_unique<StatedModel>(session_.get(), 10, &state));
  dialog.addControl(box);
  uihost::scriptDialog(80, [&](uihost::DialogRun& run) {
    for (int16_t next : {1, 2, 0}) {
      SCOPED_TRACE(next);
      state = next;
      box->windowCalls = 0;
      dialog.refreshControls(true);
      EXPECT_GT(box->windowCalls, 0) << "a new state reaches the items";
      box->windowCalls = 0;
      dialog.refreshControls(true);
      EXPECT_EQ(box->windowCalls, 0) << "the same state again touches nothing";
    }
    run.click(IDCANCEL);
  });
  EXPECT_EQ(dialog.run(0, false), IDCANCEL);
}

TEST_F(Framework, OpeningAndActivatingRunEveryRuleAndForceTheRefresh) {
  int16_t state = 0;
  std::vector<bool> passes;
  session_->addRule(new ProbeRule(session_.get(), &passes));
  GSubDialog dialog(80, session_.get(), false, 0xFFFF);
  const GHelpPair table[] = {{81, -1}, {0, 0}};
  auto* box = new ProbedCheckBox(table, std::make_unique<StatedModel>(session_.get(), 10, &state));
  dialog.addControl(box);
  uihost::scriptDialog(80, [&](uihost::DialogRun& run) {
    // WM_INITDIALOG has run: the attach reads unforced, then all rules and a
    // forced read.
    EXPECT_EQ(box->reads, (std::vector<bool>{false, true}));
    EXPECT_EQ(passes, std::vector<bool>{true});
    passes.clear(), box->reads.clear();
    PSHNOTIFY notice;
    notice.hdr.code = PSN_SETACTIVE;
    (void)SendMessageW(run.window(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notice));  // the dialog's answer
    EXPECT_EQ(passes, std::vector<bool>{true});
    EXPECT_EQ(box->reads, std::vector<bool>{true});
    run.click(IDCANCEL);
  });
  EXPECT_EQ(dialog.run(0, false), IDCANCEL);
}

TEST_F(Framework, AContextMenuWithoutHelpGoesToTheControl) {
  int16_t state = 0;
  GSubDialog dialog(80, session_.get(), false, 0xFFFF);
  const GHelpPair noHelp[] = {{81, -1}, {0, 0}};
  auto* plain = new ProbedCheckBox(noHelp, std::make_unique<StatedModel>(session_.get(), 10, &state));
  dialog.addControl(plain);
  const GHelpPair withHelp[] = {{82, 820}, {0, 0}};
  auto* helped = new ProbedCheckBox(withHelp, std::make_unique<StatedModel>(session_.get(), 11, &state));
  dialog.addControl(helped);
  uihost::scriptDialog(80, [&](uihost::DialogRun& run) {
    uihost::clearLog();
    run.contextMenu(81);
    EXPECT_EQ(plain->routed, std::vector<UINT>{WM_CONTEXTMENU});
    EXPECT_TRUE(uihost::logLines("WinHelpA").empty());
    run.contextMenu(82);
    EXPECT_TRUE(helped->routed.empty()) << "help answered it";
    EXPECT_EQ(uihost::logLines("WinHelpA").size(), 1u);
    run.click(IDCANCEL);
  });
  EXPECT_EQ(dialog.run(0, false), IDCANCEL);
}

class Locked : public GTwoLevelModel {
 public:
  Locked(GUISession* s, bool lock, bool second) : GTwoLevelModel(s, 10), lock_(lock), second_(second) {}
  bool lockTest() override { return lock_; }
  bool secondTest() override { return second_; }

 private:
  bool lock_, second_;
};

TEST_F(Framework, TwoLevelCheckBoxAsATable) {
  struct Row {
    int16_t value;
    bool lock, second;
    bool main, dependent, dependentEnabled;
  } rows[] = {
      {0, false, false, false, false, false}, {1, false, false, true, false, true},
      {2, false, false, true, true, true},    {1, true, false, true, true, false},
      {2, true, true, true, false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.value * 10 + row.lock);
    GValueAttribute stored(row.value, 10);
    ASSERT_TRUE(settings_->replaceDeepById(10, &stored));
    GSubDialog dialog(80, session_.get(), false, 0xFFFF);
    const GHelpPair table[] = {{81, -1}, {82, -1}, {0, 0}};
    dialog.addControl(new GTwoLevelCheckBox(table, std::make_unique<Locked>(session_.get(), row.lock, row.second)));
    uihost::scriptDialog(80, [&](uihost::DialogRun& run) {
      EXPECT_EQ(SendMessageW(run.item(81), BM_GETCHECK, 0, 0) == BST_CHECKED, row.main);
      EXPECT_EQ(SendMessageW(run.item(82), BM_GETCHECK, 0, 0) == BST_CHECKED, row.dependent);
      EXPECT_EQ(IsWindowEnabled(run.item(82)) != 0, row.dependentEnabled);
      if (row.dependentEnabled) {
        run.click(82);  // the option flips: 1 <-> 2
        EXPECT_EQ(value(), row.value == 1 ? 2 : 1);
      }
      run.click(81);  // off
      EXPECT_EQ(value(), row.main ? 0 : 1);
      run.click(IDCANCEL);
    });
    EXPECT_EQ(dialog.run(0, false), IDCANCEL);
  }
}

class Unavailable : public GAvailabilityModel {
 public:
  explicit Unavailable(GUISession* s) : GAvailabilityModel(s, 10) {}
  bool available() override { return false; }
};

class Choices : public GChoiceModel {
 public:
  explicit Choices(GUISession* s) : GChoiceModel(s, 10) {}
  std::vector<int16_t> choices() override { return {1, 2, 3, 4, 5}; }
  int32_t stringIdFor(int16_t v) override {
    switch (v) {
      case 1: return 5001;
      case 2: return 0;
      case 3: return -1;
      case 4: return 5004;
      default: return 5099;  // no such string
    }
  }
};

TEST_F(Framework, AvailabilityAndChoiceControls) {
  GSubDialog dialog(80, session_.get(), false, 0xFFFF);
  const GHelpPair check[] = {{81, -1}, {0, 0}};
  dialog.addControl(new GAvailabilityCheckBox(check, std::make_unique<Unavailable>(session_.get())));
  const GHelpPair combo[] = {{83, -1}, {84, -1}, {0, 0}};
  dialog.addControl(new GChoiceComboBox(combo, std::make_unique<Choices>(session_.get())));
  uihost::scriptDialog(80, [&](uihost::DialogRun& run) {
    EXPECT_EQ(IsWindowEnabled(run.item(81)), 0);
    // An unavailable choice is written as 2 whatever the box shows.
    dialog.routeToItem(81, WM_COMMAND, MAKEWPARAM(81, BN_CLICKED), static_cast<LPARAM>(run.item(81)));
    EXPECT_EQ(value(), 2);
    EXPECT_EQ(SendMessageW(run.item(84), CB_GETCOUNT, 0, 0), 2) << "ids of 0 or less and missing strings are left out";
    run.select(84, u"Four");
    EXPECT_EQ(value(), 4);
    run.click(IDCANCEL);
  });
  EXPECT_EQ(dialog.run(0, false), IDCANCEL);
}

class Offset : public GShiftedItemModel {
 public:
  Offset(GUISession* s, int16_t* offset) : GShiftedItemModel(s), offset_(offset) {}
  int16_t verticalOffset() override { return *offset_; }

 private:
  int16_t* offset_;
};

TEST_F(Framework, AShiftedItemTakesTheMappedOffsetAsItsTop) {
  int16_t offset = 0;
  GSubDialog dialog(80, session_.get(), false, 0xFFFF);
  const GHelpPair table[] = {{83, -1}, {0, 0}};
  dialog.addControl(new GShiftedItemControl(table, std::make_unique<Offset>(session_.get(), &offset)));
  // Item 83 is at 8,40 and 60 by 10 dialog units: 12,65 to 102,81 pixels,
  // 13 pixels to 8 units down.
  struct Row {
    int16_t offset;
    int32_t top;
  } rows[] = {{0, 0}, {8, 13}, {40, 65}, {44, 71}};
  uihost::scriptDialog(80, [&](uihost::DialogRun& run) {
    const HWND item = run.item(83);
    for (const Row& row : rows) {
      SCOPED_TRACE(row.offset);
      (void)ShowWindow(item, SW_HIDE);  // answers the old visibility
      offset = row.offset;
      dialog.refreshControls(true);
      WINDOWPLACEMENT place;
      ASSERT_EQ(GetWindowPlacement(item, &place), 1);
      EXPECT_EQ(place.rcNormalPosition.top, row.top);
      EXPECT_EQ(place.rcNormalPosition.left, 12);
      EXPECT_EQ(place.rcNormalPosition.right, 102);
      EXPECT_EQ(place.rcNormalPosition.bottom, 81);
      EXPECT_NE(IsWindowVisible(item), 0);
    }
    run.click(IDCANCEL);
  });
  EXPECT_EQ(dialog.run(0, false), IDCANCEL);
}

}  // namespace
