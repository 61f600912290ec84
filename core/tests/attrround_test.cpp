// A settings tree of every attribute class, and the persistable numbers and
// binary data, through the binary file and every virtual-stream form: each
// comes back equal, and the stored size each announces is what it writes.

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "core/dispstr.h"
#include "core/enumattr.h"
#include "core/persnum.h"
#include "core/state.h"
#include "core/valattr.h"
#include "fixtures.h"
#include "rw/bstream.h"
#include "rw/estream.h"
#include "rw/pstream.h"

namespace {

MPersistentComposite* everyClass() {
  GState* settings = new GState(246);
  settings->insert(new GValueAttribute(-7, 1));
  settings->insert(new GValue32Attribute(0x89ABCDEF, 2));
  settings->insert(new GRangeAttribute(-5, 500, 5, 100, 3));
  settings->insert(new GStringAttribute("Letter \xE9", 4));
  GEnumAttribute* sizes = new GEnumAttribute(5);
  sizes->insert(new GStringAttribute("A4", 1));
  sizes->insert(new GStringAttribute("A5", 2));
  sizes->insert(new GStringAttribute("B5", 3));
  sizes->next();
  settings->insert(sizes);
  GState* nested = new GState(256);
  nested->insert(new GValueAttribute(1, 9));
  nested->resetChanged();
  settings->insert(nested);
  GAttributeComposite* group = new GAttributeComposite(7);
  group->insert(new GValueAttribute(2, 10));
  settings->insert(group);
  settings->insert(new GDisplayStringAttribute(8, 0x1234, "Tray 1", "Upper"));

  MPersistentComposite* root = new MPersistentComposite(1);
  root->insert(settings);
  root->insert(new GPersistableLong(-2));
  root->insert(new GPersistableULong(4000000000u));
  root->insert(new GBinaryData(new unsigned char[4]{0, 1, 0xFE, 0xFF}, 4, 1, 11));
  root->insert(new GBinaryData(nullptr, 0, 0, 12));
  root->insert(new GDisplayString(5, "Bin", nullptr));
  return root;
}

class AttributeRoundTrip : public StoreTest {};

TEST_F(AttributeRoundTrip, EveryClassComesBackFromEveryForm) {
  std::unique_ptr<MPersistentComposite> tree(everyClass());
  const std::string stored = storeFile(tree.get());
  EXPECT_EQ(tree->recursiveStoreSize(), stored.size());
  for (RWsize i = 0; i < tree->entries(); ++i) {
    const MPersistentObject* child = tree->children().pointee(i);
    SCOPED_TRACE(child->isA());
    EXPECT_EQ(child->recursiveStoreSize(), storeFile(child).size());
  }

  // Read back as a persistent object, whatever the tree's own class.
  forEachStoreForm<MPersistentObject>(tree.get(), [&](const char*, std::unique_ptr<MPersistentObject> back) {
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(back->matches(tree.get()));
    GState* settings = dynamic_cast<GState*>(back->findById(246));
    ASSERT_NE(settings, nullptr);
    GEnumAttribute* sizes = dynamic_cast<GEnumAttribute*>(settings->findById(5));
    ASSERT_NE(sizes, nullptr);
    EXPECT_EQ(sizes->current(), sizes->children().pointee(1));
    EXPECT_EQ(dynamic_cast<GState*>(settings->findById(256))->isChanged(), 0);
    GBinaryData* block = dynamic_cast<GBinaryData*>(back->findById(11));
    ASSERT_NE(block, nullptr);
    ASSERT_EQ(block->length(), 4u);
    EXPECT_EQ(static_cast<unsigned char*>(block->data())[3], 0xFF);
    EXPECT_EQ(block->isOwner(), 1);
  });
}

}  // namespace
