#include <gtest/gtest.h>

#include <string>

#include "host/engine/ddi.h"
#include "kernel/ddistate.h"

namespace {

// One answer per request type 0..20, left to right, in groups of five
// (0-4 5-9 10-14 15-19 20): '.' allowed, 'o' out of order (401), 'e' error
// state (403). Types 0 and 20 are no request at all.
struct CallCheckRow {
  const char* what;
  GDdiState state;
  const char* answers;
};

uint16_t answerFor(char c) {
  switch (c) {
    case '.':
      return 0;
    case 'o':
      return 401;
    case 'e':
      return 403;
  }
  ADD_FAILURE() << "bad answer letter " << c;
  return 0xFFFF;
}

}  // namespace

TEST(DdiCallCheck, EachRequestInEachState) {
  // state, PDEV stage, page allowed, in page, banding, document pending
  const CallCheckRow rows[] = {
      {"constructed", {0, 0, false, false, false, false}, "o.... ooooo ooooo ooo.o o"},
      {"PDEV enabled", {2, 0, false, false, false, false}, "o.... ..ooo ooooo ooo.o o"},
      {"PDEV completed", {2, 1, false, false, false, false}, "o.... o.... ooooo oo..o o"},
      {"surface enabled", {2, 2, false, false, false, false}, "o.... ooooo ..ooo oo..o o"},
      {"page flags outside a document", {2, 2, true, true, false, true}, "o.... ooooo ..ooo oo..o o"},
      {"taken over, surface still there", {1, 2, false, false, false, false}, "o.... ooooo .oooo ooo.o o"},
      {"taken over, no surface", {1, 1, false, false, false, false}, "o.... ooooo ooooo ooo.o o"},
      {"document started", {4, 2, true, false, false, true}, "o.... ooo.o oo..o .o..o o"},
      {"between pages", {4, 2, true, false, false, false}, "o.... ooo.o oo..o .o..o o"},
      {"in a page", {4, 2, false, true, false, false}, "o.... ooooo oooo. .o... o"},
      {"in a page, banding", {4, 2, false, true, true, false}, "o.... ooooo ooooo o.... o"},
      {"page allowed while banding", {4, 2, true, false, true, false}, "o.... ooooo ooo.o oo..o o"},
      {"start pending while banding", {4, 2, false, false, true, true}, "o.... ooooo o..oo oo..o o"},
      {"document moved by a reset, new surface", {4, 2, false, false, false, false}, "o.... ooooo o.ooo oo..o o"},
      {"document moved by a reset, no surface yet", {4, 1, false, false, false, false}, "o.... oooo. ooooo oo..o o"},
      {"failed", {3, 2, false, false, false, false}, "eeeee e.eee .e.e. eeeee e"},
      {"failed, every flag set", {3, 0, true, true, true, true}, "eeeee e.eee .e.e. eeeee e"},
      {"unknown state", {5, 2, true, true, false, true}, "o.... ooooo ooooo ooo.o o"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    std::string answers(row.answers);
    std::erase(answers, ' ');
    ASSERT_EQ(answers.size(), 21u);
    for (int32_t type = 0; type <= 20; ++type) {
      SCOPED_TRACE(type);
      EXPECT_EQ(ddiCallCheck(row.state, type), answerFor(answers[type]));
    }
  }
  // Far outside the numbering too.
  const GDdiState ready{2, 2, false, false, false, false};
  EXPECT_EQ(ddiCallCheck(ready, -1), 401);
  EXPECT_EQ(ddiCallCheck(ready, 0x10000 + kDdiStartDoc), 401);
}

TEST(DdiCallCheck, AFailedDeviceAdmitsOnlyTheWayOut) {
  const GDdiState failed{kDdiError, kPdevSurfaceEnabled, false, false, false, false};
  for (int32_t type : {kDdiDisablePDEV, kDdiDisableSurface, kDdiEndDoc, kDdiSendPage})
    EXPECT_EQ(ddiCallCheck(failed, type), kDdiAllowed) << type;
  for (int32_t type : {kDdiRealizeBrush, kDdiEnablePDEV, kDdiStartPage, kDdiDrawing, kDdiEscape})
    EXPECT_EQ(ddiCallCheck(failed, type), kDdiInErrorState) << type;
}

TEST(DdiResultToLastError, EachResultSetsItsLastError) {
  constexpr ULONG kSentinel = 0xC0FFEE;
  const struct {
    uint32_t result;
    ULONG lastError;  // 0: nothing is set
  } cases[] = {
      {0, 0},           {1, 31},          {2, 112},         {3, 8},
      {4, 1223},        {5, 1223},        {6, 31},          {7, 87},
      {8, 55},          {9, 31},          {100, 31},        {101, 14},
      {102, 1001},      {103, 1450},      {104, 31},        {401, 31},
      {403, 1906},      {0x10193, 1906},  {0x20002, 112},   {0xFFFFFFFF, 31},
      {0xFFFF0193, 1906},
      // Non-zero, though its low 16 bits are not: a failure all the same.
      {0x10000, 31},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.result);
    EXPECT_EQ(ddiLastErrorFor(c.result), c.lastError);
    EngSetLastError(kSentinel);
    ddiResultToLastError(c.result);
    EXPECT_EQ(EngGetLastError(), c.lastError == 0 ? kSentinel : c.lastError);
  }
  EngSetLastError(0);
}
