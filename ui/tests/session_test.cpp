// The session and the attribute cursors over a small settings tree: undo,
// the rule loop, the scratch values, the printer Config's answers.

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

}  // namespace
