// rwdump run on files made here: a stored configuration-like tree, a
// closed store, a store left open, and files it cannot read.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "core/booklet.h"
#include "core/pcompdsk.h"
#include "core/pcomposit.h"
#include "core/state.h"
#include "core/valattr.h"
#include "rw/bstream.h"
#include "rw/rwfile.h"
#include "rw/wstring.h"
#include "testkit/files.h"
#include "testkit/tmpdir.h"

namespace {

struct DumpRun {
  int status = -1;
  std::vector<std::string> lines;
};

DumpRun rwdump(const std::string& arguments) {
  DumpRun run;
  const std::string command = std::string(RWDUMP_PATH) + " " + arguments + " 2>&1";
  FILE* out = popen(command.c_str(), "r");
  if (!out) return run;
  std::string text;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, out)) > 0) text.append(buf, n);
  const int raw = pclose(out);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    run.lines.push_back(text.substr(start, end - start));
  if (start < text.size()) run.lines.push_back(text.substr(start));
  return run;
}

// One dump line: its depth, id, class ID and reference count.
struct Line {
  int depth;
  uint32_t id;
  unsigned classId;
  int refs;
  bool operator==(const Line&) const = default;
};

std::ostream& operator<<(std::ostream& o, const Line& l) {
  return o << "{depth " << l.depth << ", id " << l.id << ", class " << l.classId << ", R=" << l.refs << "}";
}

// The object lines of a run; any other line must match `others`.
std::vector<Line> objectLines(const DumpRun& run, const std::regex& others) {
  static const std::regex line(R"(^((?:  \|)*) (kAnonymousID)? \((\d+)\) =  \((\d+)\) @ (0x[0-9a-f]+) R=(\d+)$)");
  std::vector<Line> out;
  for (const std::string& text : run.lines) {
    std::smatch m;
    if (std::regex_match(text, m, line)) {
      const uint32_t id = static_cast<uint32_t>(std::stoul(m[3]));
      EXPECT_EQ(m[2].matched, id == 0) << text;
      out.push_back(Line{static_cast<int>(m[1].length() / 3), id, static_cast<unsigned>(std::stoul(m[4])),
                         std::stoi(m[6])});
    } else {
      EXPECT_TRUE(std::regex_match(text, others)) << text;
    }
  }
  return out;
}

class RwdumpTest : public ::testing::Test {
 protected:
  std::string path(const char* name) const { return dir_.file(name); }
  RWWString wide(const char* name) const { return RWWString(path(name).c_str()); }
  TempDir dir_;
};

}  // namespace

TEST_F(RwdumpTest, PrintsAStoredConfigurationTree) {
  {
    GState root(0);
    GState* configuration = new GState(353);
    configuration->insert(new GValueAttribute(600, 323));
    configuration->insert(new GStringAttribute("Letter", 373));
    GState* margins = new GState(331);
    margins->insert(new GRangeAttribute(0, 100, 1, 25, 332));
    configuration->insert(margins);
    root.insert(configuration);
    root.insert(new GState(191));
    RWFile f(path("config.dat").c_str(), "wb");
    f << &root;
  }
  DumpRun run = rwdump(path("config.dat"));
  EXPECT_EQ(run.status, 0);
  ASSERT_FALSE(run.lines.empty());
  EXPECT_EQ(run.lines[0], "object tree " + path("config.dat"));
  const std::vector<Line> expected = {
      {0, 0, 758, 0},   {1, 353, 758, 1}, {2, 323, 763, 1}, {2, 373, 776, 1},
      {2, 331, 758, 1}, {3, 332, 762, 1}, {1, 191, 758, 1},
  };
  EXPECT_EQ(objectLines(run, std::regex("object tree .*")), expected);
}

// The binary stream form, as the printer configuration builder writes it:
// the same tree reads as in the file form, and a cut one is refused after
// what could be read.
TEST_F(RwdumpTest, PrintsATreeInTheBinaryStreamForm) {
  std::string whole;
  {
    GState root(0);
    GState* configuration = new GState(353);
    configuration->insert(new GValueAttribute(600, 323));
    root.insert(configuration);
    root.insert(new GState(191));
    std::ostringstream bytes;
    {
      RWbostream stream(bytes);
      stream << static_cast<const RWCollectable*>(&root);
    }
    whole = bytes.str();
  }
  putFile(path("stream.dat"), whole + whole);
  DumpRun run = rwdump(path("stream.dat"));
  EXPECT_EQ(run.status, 0);
  ASSERT_FALSE(run.lines.empty());
  EXPECT_EQ(run.lines[0], "object stream " + path("stream.dat"));
  const std::vector<Line> tree = {{0, 0, 758, 0}, {1, 353, 758, 1}, {2, 323, 763, 1}, {1, 191, 758, 1}};
  std::vector<Line> twice = tree;
  twice.insert(twice.end(), tree.begin(), tree.end());
  EXPECT_EQ(objectLines(run, std::regex("object stream .*")), twice) << "two trees, one after the other";

  putFile(path("stream.dat"), whole.substr(0, whole.size() - 2));
  run = rwdump(path("stream.dat"));
  EXPECT_EQ(run.status, 2);
  ASSERT_FALSE(run.lines.empty());
  EXPECT_EQ(run.lines.back(), "rwdump: " + path("stream.dat") + ": the stored tree at offset 0 cannot be read whole");
}

TEST(Rwdump, HelpPrintsTheUsageAndExitsZero) {
  for (const char* option : {"--help", "-h"}) {
    const DumpRun run = rwdump(option);
    EXPECT_EQ(run.status, 0) << option;
    ASSERT_FALSE(run.lines.empty());
    EXPECT_EQ(run.lines[0], "usage: rwdump FILE") << option;
  }
}

// A booklet entry answers no iterator: it is printed as a leaf, inside a
// configuration or as a file's whole tree.
TEST_F(RwdumpTest, PrintsBookletEntriesAsLeaves) {
  {
    GState root(0);
    GAttributeComposite* booklets = new GAttributeComposite(410);
    GBookletComposite* first = new GBookletComposite(1, 0);
    first->setId(411);
    first->appendPair(2, 3);
    booklets->insert(first);
    booklets->insert(new GBookletComposite(2, 0));
    root.insert(booklets);
    root.insert(new GValueAttribute(1, 412));
    GBookletComposite alone(4, 5);
    RWFile f(path("booklets.dat").c_str(), "wb");
    f << &root;
    RWFile g(path("booklet.dat").c_str(), "wb");
    g << &alone;
  }
  DumpRun run = rwdump(path("booklets.dat"));
  EXPECT_EQ(run.status, 0);
  const std::vector<Line> expected = {{0, 0, 758, 0}, {1, 410, 757, 1}, {2, 411, 794, 1}, {2, 0, 794, 1}, {1, 412, 763, 1}};
  EXPECT_EQ(objectLines(run, std::regex("object tree .*")), expected);

  DumpRun alone = rwdump(path("booklet.dat"));
  EXPECT_EQ(alone.status, 0);
  EXPECT_EQ(fileContents(path("booklet.dat")).substr(0, 6), std::string("\x88\x88\x00\x00\x1a\x03", 6));
  EXPECT_EQ(objectLines(alone, std::regex("object tree .*")), (std::vector<Line>{{0, 0, 794, 0}}));
}

TEST_F(RwdumpTest, PrintsAClosedStoreWithoutChangingIt) {
  {
    MPersistentCompositeOnDisk inner(wide("inner.dat"), 0, 2);
    inner.storeChild(GCountedRef(new GValueAttribute(1, 10)));
    MPersistentCompositeOnDisk store(wide("store.dat"), 0, 1);
    store.storeChild(GCountedRef(new GValueAttribute(7, 20)));
    MPersistentComposite* page = new MPersistentComposite(30);
    page->insert(new GValueAttribute(8, 31));
    page->insert(new GStringAttribute("x", 32));
    store.storeChild(GCountedRef(page));
    store.storeChild(GCountedRef(inner.copy()));
  }
  // The nested store's file is gone: looking must not make it again.
  std::remove(path("inner.dat").c_str());
  const std::string before = fileContents(path("store.dat"));

  DumpRun run = rwdump(path("store.dat"));
  EXPECT_EQ(run.status, 0);
  ASSERT_FALSE(run.lines.empty());
  EXPECT_EQ(run.lines[0], "store " + path("store.dat") + ": 3 top-level records, 4 stored objects");
  const std::string nested = "  | on-disk store \"" + path("inner.dat") + "\"";
  const std::vector<Line> expected = {{0, 20, 763, 0}, {0, 30, 752, 0}, {1, 31, 763, 1}, {1, 32, 776, 1}, {0, 2, 781, 0}};
  EXPECT_EQ(objectLines(run, std::regex("store .*|" + std::regex_replace(nested, std::regex(R"([|.\\/])"), R"(\$&)"))),
            expected);
  EXPECT_EQ(run.lines.back(), nested);

  EXPECT_EQ(fileContents(path("store.dat")), before);
  EXPECT_FALSE(fileExists(path("inner.dat")));
}

TEST_F(RwdumpTest, PrintsAStoreLeftOpenByKey) {
  MPersistentCompositeOnDisk store(wide("open.dat"), 0, 1);
  GCountedRef object(new GValueAttribute(3, 40));
  object->setSerialNumber(0x2A);
  store.storeChild(object);
  DumpRun run = rwdump(path("open.dat"));
  EXPECT_EQ(run.status, 0);
  ASSERT_EQ(run.lines.size(), 2u);
  EXPECT_EQ(run.lines[0], "store " + path("open.dat") + " without a record index: 1 stored objects by key");
  EXPECT_TRUE(std::regex_match(run.lines[1], std::regex(R"(2a:  \(40\) =  \(763\) @ 0x[0-9a-f]+ R=0)"))) << run.lines[1];
}

TEST_F(RwdumpTest, RefusesWhatItCannotRead) {
  EXPECT_EQ(rwdump("").status, 1);
  EXPECT_EQ(rwdump(path("missing.dat")).status, 2);

  putFile(path("garbage.dat"), std::string(64, '\x7f'));
  DumpRun garbage = rwdump(path("garbage.dat"));
  EXPECT_EQ(garbage.status, 2);
  ASSERT_FALSE(garbage.lines.empty());
  EXPECT_NE(garbage.lines.back().find("neither a stored tree nor a store file"), std::string::npos);

  {
    GState root(5);
    root.insert(new GValueAttribute(1, 6));
    RWFile f(path("cut.dat").c_str(), "wb");
    f << &root;
  }
  const std::string whole = fileContents(path("cut.dat"));
  putFile(path("cut.dat"), whole.substr(0, whole.size() - 3));
  DumpRun cut = rwdump(path("cut.dat"));
  EXPECT_EQ(cut.status, 2);
  EXPECT_NE(cut.lines.back().find("cannot be read whole"), std::string::npos) << cut.lines.back();
}
