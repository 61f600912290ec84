// Catalogue messages, error objects and the installed handler.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "rw/defs.h"
#include "rw/kmsys.h"
#include "rw/rwerr.h"
#include "testkit/reports.h"

namespace {

// A handler of this file's own, so the tests of rwSetErrorHandler can tell
// it apart from the default one.
struct Captured {
  std::string text;
  bool bounds = false;
};
std::vector<Captured> reports;

void capture(const RWErrorBase& e) {
  reports.push_back({e.why(), dynamic_cast<const RWBoundsErr*>(&e) != nullptr});
}

std::string debugText;
void captureDebug(const char* text) { debugText += text; }

class Reports : public ::testing::Test {
 protected:
  void SetUp() override {
    reports.clear();
    previous_ = rwSetErrorHandler(capture);
  }
  void TearDown() override { rwSetErrorHandler(previous_); }
  rwErrHandler previous_;
};

TEST(Catalogue, EveryEntryHasItsNumberDomainAndText) {
  struct Row {
    const RWCatMsg* (*accessor)();
    int32_t number;
    const char* text;
  };
  const Row rows[] = {
      {RWTOOL_ALLOCOUT, 0x2000, "[ALLOCOUT] %s destructor called with allocation outstanding"},
      {RWTOOL_BADRE, 0x2001, "[BADRE] Attempt to use invalid regular expression"},
      {RWTOOL_CRABS, 0x2002, "[CRABS] RWFactory: attempting to create abstract class with ID %hu (0x%hx)"},
      {RWTOOL_FLIST, 0x2003, "[FLIST] Free list size error: expected %ld, got %ld"},
      {RWTOOL_ID, 0x2004, "[ID] Unexpected class ID %hu; should be %hu"},
      {RWTOOL_INDEX, 0x2005, "[INDEX] Index (%u) out of range [0->%u]"},
      {RWTOOL_LOCK, 0x2006, "[LOCK] Locked object deleted"},
      {RWTOOL_LONGINDEX, 0x2007, "[LONGINDEX] Long index (%lu) out of range [0->%lu]"},
      {RWTOOL_MAGIC, 0x2008, "[MAGIC] Bad magic number: %ld (should be %ld)"},
      {RWTOOL_NEVECL, 0x2009, "[NEVECL] Unequal vector lengths: %u versus %u"},
      {RWTOOL_NOCREATE, 0x200A, "[NOCREATE] RWFactory: no create function for class with ID %hu (0x%hx)"},
      {RWTOOL_NOTALLOW, 0x200B, "[NOTALLOW] Function not allowed for derived class"},
      {RWTOOL_READERR, 0x200C, "[READERR] Read error"},
      {RWTOOL_REF, 0x200D, "[REF] Bad persistence reference"},
      {RWTOOL_SEEKERR, 0x200E, "[SEEKERR] Seek error"},
      {RWTOOL_STREAM, 0x200F, "[STREAM] Bad input stream"},
      {RWTOOL_SUBSTRING, 0x2010, "[SUBSTRING] Illegal substring (%d, %u) from %u element RWCString"},
      {RWTOOL_UNLOCK, 0x2011, "[UNLOCK] Improper use of locked object"},
      {RWTOOL_WRITEERR, 0x2012, "[WRITEERR] Write error"},
      {RWTOOL_INDEXERR, 0x2013, "[INDEXERR] Illegal Index (%u) for collection or string with %u elements"},
      {RWTOOL_NPOSINDEX, 0x2014, "[NPOSINDEX] The value RW_NPOS cannot be used as an index."},
      {RWTOOL_NOPERSIST, 0x2015, "[NOPERSIST] Persistence not implemented for type %s."},
      {RWTOOL_DUPID, 0x2016, "[DUPID] RWFactory: class ID %hu (0x%hx) already registered to another create function"},
      {RWTOOL_DUPSTRINGID, 0x2017,
       "[DUPSTRINGID] RWFactory: string ID %s already registered to another create function"},
      {RWTOOL_DBLFREE, 0x2018, "[DBLFREE] Block at offset %ld is already free"},
      {RWTOOL_NOTBLOCK, 0x2019, "[NOTBLOCK] Offset %ld does not name a live block"},
      {RWCORE_EOF, 0x1000, "[EOF] EOF on input"},
      {RWCORE_GENERIC, 0x1001, "[GENERIC] Generic error number %d; %s"},
      {RWCORE_INVADDR, 0x1002, "[INVADDR] Invalid address: %lx"},
      {RWCORE_LOCK, 0x1003, "[LOCK] Unable to lock memory"},
      {RWCORE_NOINIT, 0x1004, "[NOINIT] Memory allocated without being initialized"},
      {RWCORE_NOMEM, 0x1005, "[NOMEM] No memory"},
      {RWCORE_OPERR, 0x1006, "[OPERR] Could not open file %s"},
      {RWCORE_OUTALLOC, 0x1007, "[OUTALLOC] Memory released with allocations still outstanding"},
      {RWCORE_OVFLOW, 0x1008, "[OVFLOW] Overflow error -> \"%.*s\" <- (%u max characters)"},
      {RWCORE_STREAM, 0x1009, "[STREAM] Bad input stream"},
      {RWCORE_SYNSTREAM, 0x100A, "[SYNSTREAM] Syntax error in input stream: expected %s, got %s"},
  };
  unsigned count = 0;
  const RWCatMsg* const* all = rwCatalogue(&count);
  ASSERT_EQ(count, std::size(rows));
  for (unsigned i = 0; i < count; ++i) {
    const RWCatMsg* m = rows[i].accessor();
    SCOPED_TRACE(rows[i].text);
    EXPECT_EQ(all[i], m);
    EXPECT_EQ(m->number, rows[i].number);
    EXPECT_STREQ(m->text, rows[i].text);
    EXPECT_STREQ(m->domain, rows[i].number >= 0x2000 ? "rwfound1.0" : "rwbase1.0");
  }
}

TEST(Catalogue, ArgumentsFormatToTheirConversionsWidth) {
  struct Row {
    const RWCatMsg* entry;
    RWMessage msg;
    const char* expected;
  };
  const Row rows[] = {
      {RWTOOL_INDEXERR(), RWMessage(RWTOOL_INDEXERR(), {7u, 3u}),
       "[INDEXERR] Illegal Index (7) for collection or string with 3 elements"},
      {RWTOOL_NOCREATE(), RWMessage(RWTOOL_NOCREATE(), {uint16_t(0x9001), uint16_t(0x9001)}),
       "[NOCREATE] RWFactory: no create function for class with ID 36865 (0x9001)"},
      // %hu cuts a wider value to 16 bits, as the conversion says.
      {RWTOOL_ID(), RWMessage(RWTOOL_ID(), {0x10005u, 7}), "[ID] Unexpected class ID 5; should be 7"},
      {RWTOOL_MAGIC(), RWMessage(RWTOOL_MAGIC(), {int32_t(-2), int32_t(34952)}),
       "[MAGIC] Bad magic number: -2 (should be 34952)"},
      {RWTOOL_FLIST(), RWMessage(RWTOOL_FLIST(), {int32_t(32), int32_t(40)}),
       "[FLIST] Free list size error: expected 32, got 40"},
      {RWCORE_OVFLOW(), RWMessage(RWCORE_OVFLOW(), {33, "Buffer may not resize larger than the whole", 0xFFFFFFFFu}),
       "[OVFLOW] Overflow error -> \"Buffer may not resize larger than\" <- (4294967295 max characters)"},
      {RWCORE_SYNSTREAM(), RWMessage(RWCORE_SYNSTREAM(), {"\"", "x"}),
       "[SYNSTREAM] Syntax error in input stream: expected \", got x"},
      {RWTOOL_SUBSTRING(), RWMessage(RWTOOL_SUBSTRING(), {-1, 4u, 3u}),
       "[SUBSTRING] Illegal substring (-1, 4) from 3 element RWCString"},
      {RWTOOL_LOCK(), RWMessage(RWTOOL_LOCK()), "[LOCK] Locked object deleted"},
  };
  for (const Row& r : rows) EXPECT_STREQ(r.msg.str(), r.expected);
}

TEST(Catalogue, LongTextIsCutToTheFormattingArea) {
  std::string big(2000, 'x');
  RWMessage m(RWCORE_OPERR(), {big.c_str()});
  EXPECT_EQ(std::strlen(m.str()), RWMessage::formatArea - 1);
  EXPECT_EQ(std::string(m.str()).substr(0, 28), "[OPERR] Could not open file ");
}

TEST(Message, CopiesOwnTheirText) {
  RWMessage a("first");
  RWMessage b(a);
  EXPECT_NE(a.str(), b.str());
  EXPECT_STREQ(b.str(), "first");
  RWMessage c("other");
  c = a;
  const RWMessage& same = c;  // assigned to itself
  c = same;
  EXPECT_STREQ(c.str(), "first");
}

TEST(ErrorReports, IndexCheckReachesTheHandlerAsBoundsError) {
  ReportLog reports;
  rwReportIndex(7, 3);
  rwReportIndex(RW_NPOS, 3);
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0].text, "[INDEXERR] Illegal Index (7) for collection or string with 3 elements");
  EXPECT_TRUE(reports[0].bounds);
  EXPECT_EQ(reports[1].text, "[NPOSINDEX] The value RW_NPOS cannot be used as an index.");
}

TEST_F(Reports, SetErrorHandlerAnswersThePreviousOne) {
  rwErrHandler mine = rwSetErrorHandler(rwDefaultErrorHandler);
  EXPECT_EQ(mine, &capture);
  EXPECT_EQ(rwSetErrorHandler(capture), &rwDefaultErrorHandler);
  RWInternalErr e("raised");
  e.raise();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].text, "raised");
  EXPECT_FALSE(reports[0].bounds);
}

TEST(DefaultHandler, PrintsThreadIdThenTheTextAndReturns) {
  debugText.clear();
  RWDebugSink old = rwSetDebugSink(captureDebug);
  rwReportIndex(7, 3);
  rwSetDebugSink(old);
  char prefix[32];
  std::snprintf(prefix, sizeof prefix, "(%lX) ", static_cast<unsigned long>(rwCurrentThreadId()));
  EXPECT_EQ(debugText, std::string(prefix) +
                           "RW!FtlErr: [INDEXERR] Illegal Index (7) for collection or string with 3 elements\n");
}

TEST(ErrorObjects, OwnedTextsAreCopiedAndBorrowedOnesShared) {
  RWMemoryErr m(64);
  RWMemoryErr copy(m);
  EXPECT_EQ(copy.why(), m.why());  // the catalogue text itself, not a copy
  EXPECT_EQ(copy.why(), RWCORE_NOMEM()->text);
  EXPECT_EQ(copy.requested(), 64u);

  RWBoundsErr b(RWMessage("bounds"));
  RWBoundsErr b2(b);
  EXPECT_NE(b2.why(), b.why());
  EXPECT_STREQ(b2.why(), "bounds");
  const RWBoundsErr& same = b2;  // assigned to itself
  b2 = same;
  EXPECT_STREQ(b2.why(), "bounds");
}

}  // namespace
