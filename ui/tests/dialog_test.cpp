// The dialog framework on its own: display states, the read-only sheet,
// and a sub-dialog run with undo.

#include <gtest/gtest.h>

#include <memory>

#include "core/attrib.h"
#include "core/valattr.h"
#include "host/uihost/uihost.h"
#include "testkit/ui/hosthooks.h"
#include "ui/dialog.h"
#include "ui/session.h"
#include "ui/uires.h"

namespace {

const char* const kResources = R"(dialog 80 0 0 200 120 "Sub"
item 81 checkbox 8 8 80 10 "Option"
item 82 checkbox 8 20 80 10 "Other"
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

}  // namespace
