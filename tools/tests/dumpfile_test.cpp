// rwdump's work called as a function: trees holding entries that have no
// child iterator.

#include "tools/dumpfile.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "core/booklet.h"
#include "core/persnum.h"
#include "core/state.h"
#include "core/valattr.h"
#include "testkit/files.h"
#include "testkit/tmpdir.h"
#include "rw/rwfile.h"
#include "rw/rwset.h"
#include "rw/slistcol.h"

namespace {

struct Dump {
  int status;
  std::string out;
  std::string err;
};

Dump dumpFile(const std::string& name) {
  std::ostringstream out, err;
  const int status = rwdumpFile(name.c_str(), out, err);
  return Dump{status, out.str(), err.str()};
}

size_t lineCount(const std::string& text) {
  size_t n = 0;
  for (char c : text) n += c == '\n';
  return n;
}

}  // namespace

// A booklet entry answers no iterator: it is printed as a leaf, whether the
// tree around it is whole or cut short right after its class tag.
TEST(DumpFile, PrintsABookletEntryAsALeaf) {
  TempDir dir;
  {
    GState root(1);
    GBookletComposite* booklet = new GBookletComposite(2, 3);
    booklet->appendPair(10, 20);
    root.insert(booklet);
    root.insert(new GValueAttribute(7, 4));
    RWFile f(dir.file("booklet.dat").c_str(), "wb");
    f << &root;
  }
  Dump whole = dumpFile(dir.file("booklet.dat"));
  EXPECT_EQ(whole.status, 0) << whole.err;
  EXPECT_EQ(lineCount(whole.out), 4u) << whole.out;  // the title, the state and its two members
  EXPECT_NE(whole.out.find("(794)"), std::string::npos) << whole.out;

  putFile(dir.file("cut.dat"), std::string("\x88\x88\x00\x00\x1a\x03", 6));
  Dump cut = dumpFile(dir.file("cut.dat"));
  EXPECT_EQ(cut.status, 2);
  EXPECT_NE(cut.err.find("cannot be read whole"), std::string::npos) << cut.err;
}

// A top-level object that is not a persistent object is named and freed
// with everything it holds (the sanitizer build sees a leak otherwise).
TEST(DumpFile, FreesAForeignTreeWhole) {
  TempDir dir;
  {
    GPersistableULong shared(5);
    RWSet set;
    set.insert(&shared);
    RWSlistCollectables list;
    list.append(&set);
    list.append(&shared);
    RWFile f(dir.file("list.dat").c_str(), "wb");
    f << &list;
  }
  Dump dump = dumpFile(dir.file("list.dat"));
  EXPECT_EQ(dump.status, 0) << dump.err;
  EXPECT_NE(dump.out.find("not a persistent object"), std::string::npos) << dump.out;
}
