// The form-to-tray database: the answers of an empty and a filled
// database, assign replacing a form's association, and the stored form
// with the associations' composite written without a class tag.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "devfix.h"
#include "device/formtray.h"

namespace {

constexpr int16_t kDefaultMedia = 11913;

struct Case {
  const char* what;
  std::function<void(GFormToTrayDatabase&)> fill;
  std::function<void(const GFormToTrayDatabase&)> check;
};

TEST(FormToTray, AnswersTheTrayAndMediaTypeAssignedToEachForm) {
  const Case cases[] = {
      {"empty", [](GFormToTrayDatabase&) {},
       [](const GFormToTrayDatabase& db) {
         EXPECT_EQ(db.trayFor(9), 0);
         EXPECT_EQ(db.mediaTypeFor(9), kDefaultMedia);
         EXPECT_EQ(db.firstAssignedTray(), 0);
         EXPECT_EQ(db.firstAssignedMediaType(), kDefaultMedia);
         EXPECT_EQ(db.hasNonDefault(), 0);
         EXPECT_EQ(db.usesTray(0), 0);
         EXPECT_EQ(db.hasForm(9), 0);
         EXPECT_EQ(db.mediaTypeForTray(1), kDefaultMedia);
         EXPECT_EQ(db.trayForMediaType(1), 0);
       }},
      {"assign (9, 2, default media)", [](GFormToTrayDatabase& db) { db.assign(9, 2, kDefaultMedia); },
       [](const GFormToTrayDatabase& db) {
         EXPECT_EQ(db.hasNonDefault(), 1);
         EXPECT_EQ(db.trayFor(9), 2);
         EXPECT_EQ(db.firstAssignedTray(), 2);
         EXPECT_EQ(db.firstAssignedMediaType(), kDefaultMedia);
       }},
      {"resetForm (9) after assign", [](GFormToTrayDatabase& db) { db.assign(9, 2, kDefaultMedia); db.resetForm(9); },
       [](const GFormToTrayDatabase& db) {
         EXPECT_EQ(db.hasNonDefault(), 0);
         EXPECT_EQ(db.hasForm(9), 1);
         EXPECT_EQ(db.trayFor(9), 0);
       }},
      {"the same form assigned twice", [](GFormToTrayDatabase& db) { db.assign(5, 1, 7); db.assign(5, 3, 8); },
       [](const GFormToTrayDatabase& db) {
         EXPECT_EQ(db.associations().entries(), 1u);
         EXPECT_EQ(db.trayFor(5), 3);
         EXPECT_EQ(db.mediaTypeFor(5), 8);
       }},
      {"a common media type", [](GFormToTrayDatabase& db) { db.assign(1, 3, 7); db.assign(2, 4, 7); },
       [](const GFormToTrayDatabase& db) { EXPECT_EQ(db.trayForMediaType(7), 3); }},
      {"a common media type after form 1 is assigned again",
       [](GFormToTrayDatabase& db) { db.assign(1, 3, 7); db.assign(2, 4, 7); db.assign(1, 3, 7); },
       [](const GFormToTrayDatabase& db) {
         EXPECT_EQ(db.trayForMediaType(7), 4);
         EXPECT_EQ(db.findByTray(3)->form(), 1);
       }},
      {"tray and media type in different associations",
       [](GFormToTrayDatabase& db) { db.assign(1, 3, 7); db.assign(2, 4, 8); },
       [](const GFormToTrayDatabase& db) {
         EXPECT_EQ(db.usesTrayWithMediaType(3, 8), 0);
         EXPECT_EQ(db.usesTrayWithMediaType(4, 8), 1);
         EXPECT_EQ(db.usesTray(3), 1);
         EXPECT_EQ(db.usesMediaType(8), 1);
         EXPECT_EQ(db.mediaTypeForTray(4), 8);
       }},
      {"a form removed", [](GFormToTrayDatabase& db) { db.assign(1, 3, 7); db.assign(2, 4, 8); db.removeForm(1); },
       [](const GFormToTrayDatabase& db) {
         EXPECT_EQ(db.hasForm(1), 0);
         EXPECT_EQ(db.firstAssignedTray(), 4);
       }},
      {"cleared", [](GFormToTrayDatabase& db) { db.assign(1, 3, 7); db.clear(); },
       [](const GFormToTrayDatabase& db) { EXPECT_EQ(db.associations().entries(), 0u); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GFormToTrayDatabase db;
    c.fill(db);
    c.check(db);
  }
}

TEST(FormToTray, AssociationsMatchByEveryMember) {
  GFormToTrayAssociation a(1, 2, 3), b(1, 2, 3), c(1, 2, 4), d;
  EXPECT_TRUE(a.matches(&b));
  EXPECT_FALSE(a.matches(&c));
  EXPECT_EQ(d.form() + d.tray() + d.mediaType(), 0);
  GFormToTrayAssociation copy(c);
  EXPECT_TRUE(copy.matches(&c));
  EXPECT_EQ(copy.mediaType(), 4);
}

TEST(FormToTray, ACopySharesTheAssociationsAndRemovingFromOneLeavesTheOther) {
  GFormToTrayDatabase db(3);
  db.assign(1, 2, 3);
  GFormToTrayDatabase copy(db);
  EXPECT_EQ(copy.findByForm(1), db.findByForm(1));
  EXPECT_TRUE(copy.matches(&db));
  EXPECT_EQ(copy.removeForm(1), 1);
  EXPECT_EQ(db.trayFor(1), 2);
  EXPECT_FALSE(copy.matches(&db));
}

class FormToTrayStore : public StoreTest {};

TEST_F(FormToTrayStore, NoClassTagBeforeTheAssociations) {
  MPersistentObject::presetSerialCounter(100);
  GFormToTrayDatabase db(8);  // 100, its associations' composite 101
  db.assign(9, 2, kDefaultMedia);  // the association 102; tray 103, form 104, media type 105
  const std::string association = le16(1013) + rootLevel(0, 102) + attributeLevel() + le32(1) +
                                  valueObject(2, 103) + valueObject(9, 104) + valueObject(kDefaultMedia, 105);
  const std::string expected = fileHead(1012) + rootLevel(8, 100) + attributeLevel() + le32(1) +
                               // the composite's own fields, straight after the version
                               rootLevel(0, 101) + attributeLevel() + le32(1) + le32(1) + association;
  EXPECT_EQ(storeFile(&db), expected);
  EXPECT_EQ(db.binaryStoreSize(), expected.size() - 6);

  std::unique_ptr<GFormToTrayDatabase> back(restoreFile<GFormToTrayDatabase>());
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(back->matches(&db));
  EXPECT_EQ(back->trayFor(9), 2);
  EXPECT_EQ(back->trayFor(1), 0) << "the default tray";
  EXPECT_EQ(back->mediaTypeFor(1), kDefaultMedia) << "the default media type";
}

TEST_F(FormToTrayStore, AssignReplacesEveryRestoredAssociationOfTheForm) {
  // Two associations for form 4, as a stored file may hold them.
  const std::string twice = fileHead(1012) + rootLevel(0, 1) + attributeLevel() + le32(1) + rootLevel(0, 2) +
                            attributeLevel() + le32(1) + le32(2) +
                            le16(1013) + rootLevel(0, 3) + attributeLevel() + le32(1) + valueObject(5, 4) +
                            valueObject(4, 5) + valueObject(7, 6) +
                            le16(1013) + rootLevel(0, 7) + attributeLevel() + le32(1) + valueObject(6, 8) +
                            valueObject(4, 9) + valueObject(7, 10);
  std::unique_ptr<MPersistentObject> back = restoredObject(twice);
  auto* db = dynamic_cast<GFormToTrayDatabase*>(back.get());
  ASSERT_NE(db, nullptr);
  ASSERT_EQ(db->associations().entries(), 2u);
  EXPECT_EQ(db->trayFor(4), 5) << "the earlier one answers";
  db->assign(4, 9, 7);
  EXPECT_EQ(db->associations().entries(), 1u);
  EXPECT_EQ(db->trayFor(4), 9);
}

}  // namespace
