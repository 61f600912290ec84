// Stored graphs that hand one object to two owners: a back-reference to an
// association's key or value, to a store handle a proxy owns, or to a member
// an object restored in place. Each must restore with the reference refused
// (reported, nil) and nothing freed twice or freed that was never allocated.

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "core/attrib.h"
#include "core/dispstr.h"
#include "core/passoc.h"
#include "core/pcomposit.h"
#include "fixtures.h"
#include "rw/estream.h"
#include "rw/rwfile.h"
#include "rw/slistcol.h"

namespace {

std::string fromHex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

bool reportedBadReference(const ReportLog& reports) {
  for (const std::string& text : reports.texts())
    if (text.find("[REF]") != std::string::npos) return true;
  return false;
}

TEST(HostileGraphs, AnAssociationsKeyReachedAgainIsRefused) {
  // Read table: 0 nil, 1 the composite, 2 the association, 3 its key, 4 its
  // value.
  for (int32_t index : {3, 4}) {
    const std::string bytes =
        withReferenceAfter<MPersistentComposite>(new MPersistentAssociation(new TestLeaf(1), new TestLeaf(0, 5), 0), index);
    ReportLog reports;
    std::unique_ptr<RWCollectable> back(restoredFrom(bytes));
    auto* tree = dynamic_cast<MPersistentComposite*>(back.get());
    ASSERT_NE(tree, nullptr) << index;
    EXPECT_TRUE(reportedBadReference(reports)) << index;
    ASSERT_EQ(tree->children().entries(), 2u) << index;
    EXPECT_EQ(tree->children().pointee(1), nullptr) << "the reference restores as nil, index " << index;
    auto* pair = dynamic_cast<MPersistentAssociation*>(tree->findByClassId(MPersistentAssociation::classIsA()));
    ASSERT_NE(pair, nullptr);
    EXPECT_NE(pair->key(), nullptr);
    EXPECT_NE(pair->value(), nullptr);
  }
}

TEST(HostileGraphs, ADisplayStringMemberReachedAgainIsRefused) {
  // Read table: 0 nil, 1 the composite, 2 the attribute, 3 its string,
  // restored into the attribute's own member.
  const std::string bytes =
      withReferenceAfter<GAttributeComposite>(new GDisplayStringAttribute(1, 5, "text", "second"), 3);
  ReportLog reports;
  std::unique_ptr<RWCollectable> back(restoredFrom(bytes));
  auto* tree = dynamic_cast<GAttributeComposite*>(back.get());
  ASSERT_NE(tree, nullptr);
  EXPECT_TRUE(reportedBadReference(reports));
  ASSERT_EQ(tree->children().entries(), 2u);
  EXPECT_EQ(tree->children().pointee(1), nullptr) << "the reference restores as nil";
  auto* attribute = dynamic_cast<GDisplayStringAttribute*>(tree->findById(1));
  ASSERT_NE(attribute, nullptr);
  EXPECT_EQ(attribute->displayString().text(), "text");
}

TEST(HostileGraphs, AnAssociationWhoseMembersReferToItIsRefused) {
  // An endian stream holding an association whose key, an attribute
  // composite, refers back to the association while it is being read.
  const std::string bytes = fromHex(
      "6573010002040402043a03037b56010000010000003af6027b010004000100007d01000000030000014001000000");
  std::istringstream in(bytes);
  RWeistream stream(in);
  ReportLog reports;
  RWCollectable* raw = nullptr;
  stream >> raw;
  std::unique_ptr<RWCollectable> back(raw);
  EXPECT_TRUE(reportedBadReference(reports));
}

TEST(HostileGraphs, AnObjectAForeignCollectionHoldsIsNotCountedByAComposite) {
  // A list holding a leaf and a composite whose child is that same leaf:
  // the list holds it without counting, so the composite may not count it
  // (it would delete what the list still holds).
  auto* leaf = new TestLeaf(1);
  auto* tree = new MPersistentComposite(2);
  RWSlistCollectables list;
  list.append(leaf);
  list.append(tree);
  tree->insert(leaf);
  const std::string bytes = storedBytes(&list);
  list.clear();
  delete tree;  // and the leaf it counted

  ReportLog reports;
  std::unique_ptr<RWCollectable> back(restoredFrom(bytes));
  auto* restored = dynamic_cast<RWSlistCollectables*>(back.get());
  ASSERT_NE(restored, nullptr);
  ASSERT_EQ(restored->entries(), 2u);
  EXPECT_TRUE(reportedBadReference(reports));
  auto* composite = dynamic_cast<MPersistentComposite*>(restored->at(1));
  ASSERT_NE(composite, nullptr);
  ASSERT_EQ(composite->children().entries(), 1u);
  EXPECT_EQ(composite->children().pointee(0), nullptr) << "the reference restores as nil";
  restored->clearAndDelete();
}

}  // namespace
