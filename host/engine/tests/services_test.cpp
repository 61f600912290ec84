#include <cmath>
#include <cstring>
#include <limits>
#include <thread>

#include "host/engine/tests/fixture.h"

using ServicesTest = EngineTest;

TEST_F(ServicesTest, TheLastErrorIsPerThread) {
  EngSetLastError(87);
  ULONG other = 1;
  std::thread t([&] {
    other = EngGetLastError();
    EngSetLastError(122);
  });
  t.join();
  EXPECT_EQ(other, 0u);
  EXPECT_EQ(EngGetLastError(), 87u);
}

TEST_F(ServicesTest, SemaphoresAreReentrantAndReleaseOnlyByTheirHolder) {
  HSEMAPHORE s = EngCreateSemaphore();
  ASSERT_NE(s, nullptr);
  EngAcquireSemaphore(s);
  EngAcquireSemaphore(s);  // no deadlock
  bool gotIt = false;
  std::thread t([&] {
    EngReleaseSemaphore(s);  // not this thread's: misuse, and nothing changes
    EngAcquireSemaphore(s);  // waits for both releases below
    gotIt = true;
    EngReleaseSemaphore(s);
  });
  EngReleaseSemaphore(s);
  EngReleaseSemaphore(s);
  t.join();
  EXPECT_TRUE(gotIt);
  ASSERT_EQ(eng::misuse().size(), 1u);
  EXPECT_NE(eng::misuse()[0].find("EngReleaseSemaphore"), std::string::npos);
  EngReleaseSemaphore(s);  // held by nobody
  EngDeleteSemaphore(s);
  EngDeleteSemaphore(s);   // gone already
  EXPECT_EQ(eng::misuse().size(), 3u);
}

TEST_F(ServicesTest, ThePoolKnobMakesAllocationsFailAndUnknownBlocksAreMisuse) {
  eng::knobs().poolBlocks = 2;
  void* a = EngAllocMem(FL_ZERO_MEMORY, 16, 0x79626744);
  void* b = EngAllocMem(0, 0, 0x79626744);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(EngAllocMem(0, 16, 0x79626744), nullptr);
  EXPECT_EQ(std::memcmp(a, "\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 16), 0);
  EXPECT_EQ(eng::live().blocks, 2);
  EngFreeMem(a);
  EngFreeMem(b);
  int local = 0;
  EngFreeMem(&local);
  EngFreeMem(a);
  EXPECT_EQ(eng::misuse().size(), 2u);
}

TEST_F(ServicesTest, MulDivRoundsIn64BitsAndAnswersMinusOneForZeroOrOverflow) {
  struct Case {
    INT a, b, c, want;
  } cases[] = {
      {10, 10, 3, 33},        {10, 10, 6, 17},          {-10, 10, 6, -17},
      {10, -10, -6, 17},      {2000000000, 3, 2, -1},   {2000000000, 3, 4, 1500000000},
      {1, 1, 0, -1},          {25400, 6600, 600, 279400}, {7, 1, 2, 4},
      {-7, 1, 2, -4},
  };
  for (const auto& c : cases) EXPECT_EQ(EngMulDiv(c.a, c.b, c.c), c.want) << c.a << "*" << c.b << "/" << c.c;
}

TEST_F(ServicesTest, TheClockIsFixedUntilSet) {
  ENG_TIME_FIELDS t{};
  EngQueryLocalTime(&t);
  EXPECT_EQ(t.usYear, 1999);
  EXPECT_EQ(t.usDay, 1);
  eng::setClock({2026, 12, 11, 1, 2, 3, 4, 5});
  EngQueryLocalTime(&t);
  EXPECT_EQ(t.usHour, 1);
  EXPECT_EQ(t.usMilliseconds, 4);
}

namespace {

FLOATL bits(float f) {
  FLOATL b;
  std::memcpy(&b, &f, 4);
  return b;
}

float real(FLOATOBJ& f) {
  FLOATL b = FLOATOBJ_GetFloat(&f);
  float v;
  std::memcpy(&v, &b, 4);
  return v;
}

}  // namespace

TEST_F(ServicesTest, FloatObjectsComputeAsSingles) {
  const float values[] = {0.1f, -3.75f, 1e30f, 7.0f, -0.0f, 1.0f / 3};
  for (float a : values)
    for (float b : values) {
      FLOATOBJ x, y;
      FLOATOBJ_SetFloat(&x, bits(a));
      FLOATOBJ_SetFloat(&y, bits(b));
      FLOATOBJ s = x, d = x, m = x, q = x;
      FLOATOBJ_Add(&s, &y);
      FLOATOBJ_Sub(&d, &y);
      FLOATOBJ_Mul(&m, &y);
      FLOATOBJ_Div(&q, &y);
      EXPECT_EQ(bits(real(s)), bits(a + b));
      EXPECT_EQ(bits(real(d)), bits(a - b));
      EXPECT_EQ(bits(real(m)), bits(a * b));
      EXPECT_EQ(bits(real(q)), bits(a / b));
      EXPECT_EQ(FLOATOBJ_LessThan(&x, &y) != 0, a < b);
      EXPECT_EQ(FLOATOBJ_Equal(&x, &y) != 0, a == b);
    }
  FLOATOBJ n;
  FLOATOBJ_SetLong(&n, -5);
  FLOATOBJ_Neg(&n);
  FLOATOBJ_AddLong(&n, 2);
  EXPECT_EQ(real(n), 7.0f);
}

TEST_F(ServicesTest, GetLongTruncatesTowardZeroAndSaturates) {
  struct Case {
    float in;
    LONG want;
  } cases[] = {
      {1.9f, 1},        {-1.9f, -1},        {-0.5f, 0},
      {3e9f, INT32_MAX}, {-3e9f, INT32_MIN}, {std::numeric_limits<float>::infinity(), INT32_MAX},
      {std::numeric_limits<float>::quiet_NaN(), 0},
  };
  for (const auto& c : cases) {
    FLOATOBJ f;
    FLOATOBJ_SetFloat(&f, bits(c.in));
    EXPECT_EQ(FLOATOBJ_GetLong(&f), c.want) << c.in;
  }
}
