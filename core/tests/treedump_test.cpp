// The object-tree dump: lines, indentation, null objects and stages.

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "core/booklet.h"
#include "core/pcomposit.h"
#include "core/treedump.h"
#include "fixtures.h"

namespace {

std::string address(const void* p) {
  std::ostringstream o;
  o << p;
  return o.str();
}

std::string line(const std::string& indent, const MPersistentObject* o) {
  return indent + " " + (o->id() == 0 ? "kAnonymousID" : "") + " (" + std::to_string(o->id()) + ") =  (" +
         std::to_string(o->isA()) + ") @ " + address(o) + " R=" + std::to_string(o->references()) + "\n";
}

// A command-processing stage with its three attribute trees.
class TestStage : public MPersistentComposite {
 public:
  explicit TestStage(uint32_t id) : MPersistentComposite(id) {}
  RWBoolean isKindOf(RWClassID id) const override { return id == 760 || MPersistentComposite::isKindOf(id); }
  MPersistentComposite state{243};
  MPersistentComposite defaults{243};
  MPersistentObject* config = nullptr;
};

GStageTrees treesOf(MPersistentObject* stage) {
  TestStage* s = dynamic_cast<TestStage*>(stage);
  return GStageTrees{&s->state, &s->defaults, s->config};
}

class TreeDumpTest : public ::testing::Test {
 protected:
  void SetUp() override { previous_ = GObjectTreeDumper::setStageTreeFinder(treesOf); }
  void TearDown() override { GObjectTreeDumper::setStageTreeFinder(previous_); }
  GStageTreeFinder previous_ = nullptr;
  std::ostringstream out_;
};

}  // namespace

TEST_F(TreeDumpTest, ALeafIsOneLine) {
  TestLeaf leaf(7);
  GObjectTreeDumper dumper(&out_);
  EXPECT_EQ(dumper.dumpTree(&leaf, 0), 1);
  EXPECT_EQ(out_.str(), line("", &leaf));
}

TEST_F(TreeDumpTest, ChildrenAreIndentedOneLevelDeeper) {
  MPersistentComposite root;
  TestLeaf* a = new TestLeaf(1);
  TestLeaf* b = new TestLeaf(2);
  root.insert(a);
  root.insert(b);
  GObjectTreeDumper dumper(&out_);
  EXPECT_EQ(dumper.dumpTree(&root, 1), 1);
  EXPECT_EQ(out_.str(), line("  |", &root) + line("  |  |", a) + line("  |  |", b));
  EXPECT_NE(out_.str().find(" kAnonymousID (0) =  (752) @ "), std::string::npos);
}

// A booklet entry answers no iterator at all: it is printed as a leaf,
// whether it sits in a tree, is the tree, or is a stage's tree.
TEST_F(TreeDumpTest, AnObjectWithoutAnIteratorIsALeaf) {
  MPersistentComposite root;
  GBookletComposite* entry = new GBookletComposite(1, 2);
  entry->appendPair(3, 4);
  TestLeaf* after = new TestLeaf(5);
  root.insert(entry);
  root.insert(after);
  GObjectTreeDumper dumper(&out_);
  EXPECT_EQ(dumper.dumpTree(&root, 0), 1);
  EXPECT_EQ(out_.str(), line("", &root) + line("  |", entry) + line("  |", after));

  out_.str("");
  GBookletComposite alone(6, 7);
  EXPECT_EQ(dumper.dumpTree(&alone, 0), 1);
  EXPECT_EQ(out_.str(), line("", &alone));

  out_.str("");
  TestStage stage(9);
  stage.config = &alone;
  dumper.dumpObject(&stage, 0);
  EXPECT_EQ(out_.str(), line("", &stage) + "-State:\n" + line("  |", &stage.state) + "-Default:\n" +
                            line("  |", &stage.defaults) + "-Config:\n" + line("  |", &alone) + "----------\n");
}

TEST_F(TreeDumpTest, NullIsNamed) {
  GObjectTreeDumper dumper(&out_);
  EXPECT_EQ(dumper.dumpObject(nullptr, 2), 1);
  EXPECT_EQ(dumper.dumpTree(nullptr, 0), 1);
  EXPECT_EQ(out_.str(), "  |  |NULL Composite!\nNULL Composite!\n");
}

TEST_F(TreeDumpTest, AStagePrintsItsTreesWhenRecursive) {
  TestStage stage(9);
  TestLeaf* member = new TestLeaf(3);
  stage.state.insert(member);
  {
    GObjectTreeDumper dumper(&out_, 0);
    dumper.dumpObject(&stage, 0);
    EXPECT_EQ(out_.str(), line("", &stage));
  }
  out_.str("");
  GObjectTreeDumper dumper(&out_);
  EXPECT_EQ(dumper.recursive(), 1);
  dumper.dumpObject(&stage, 1);
  EXPECT_EQ(out_.str(), line("  |", &stage) + "  |-State:\n" + line("  |  |", &stage.state) +
                            line("  |  |  |", member) + "  |-Default:\n" + line("  |  |", &stage.defaults) +
                            "  |-Config:\n  |  |NULL Composite!\n----------\n");
}
