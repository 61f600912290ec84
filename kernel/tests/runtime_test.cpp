// The kernel runtime: the exit table, operator new and the new-handler,
// stopping and starting again, and the driver image itself (what it
// exports, where its blocks come from, enabling and disabling it through
// the engine's loader).

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <utility>

#include "core/fatalerr.h"
#include "core/newhndlr.h"
#include "host/engine/engine.h"
#include "kernel/runtime.h"
#include "kernel/tests/settingsfix.h"
#include "kernel/tests/tracelog.h"
#include "rw/btree.h"
#include "rw/factory.h"
#include "rw/rwset.h"
#include "rw/bstream.h"

namespace {

// What the exit routines did, in plain storage.
int ran[64];
int ranCount = 0;
int answerDuringExit = 0;

template <int N>
void routine() {
  if (ranCount < 64) ran[ranCount++] = N;
}

void registersDuringExit() { answerDuringExit = atexit(routine<63>); }

template <size_t... N>
void registerRoutines(std::index_sequence<N...>) {
  (atexit(routine<static_cast<int>(N)>), ...);
}

// Runs the exit table now, and starts the runtime again for the tests that
// follow.
void restartRuntime() {
  kernelRuntimeShutdown();
  kernelRuntimeStartup();
}

TEST(ExitTable, RunsNewestFirstAcrossGrowthAndRefusesRegistrationWhileRunning) {
  ranCount = 0;
  answerDuringExit = 0;
  ASSERT_EQ(atexit(registersDuringExit), 0);
  // A null routine, which the C library's declaration says cannot come,
  // is passed over at exit. It comes through a plain pointer to atexit,
  // as a caller that does not see the declaration would pass it.
  int (*volatile registerRoutine)(void (*)()) = atexit;
  registerRoutine(nullptr);
  // 40 more: at least one growth of the table by 32 falls among them.
  registerRoutines(std::make_index_sequence<40>());
  restartRuntime();
  ASSERT_EQ(ranCount, 40) << "the routine registered during exit must not run";
  for (int i = 0; i < 40; ++i) EXPECT_EQ(ran[i], 39 - i) << i;
  EXPECT_EQ(answerDuringExit, -1);
}

TEST(ExitTable, ARefusedGrowthAnswersMinusOneAndRegistersNothing) {
  ranCount = 0;
  int registered = 0;
  int answer = 0;
  eng::knobs().poolBlocks = 0;
  // The table has room for fewer than 32 more before it must grow.
  for (int i = 0; i < 33 && answer == 0; ++i) {
    answer = atexit(routine<1>);
    if (answer == 0) ++registered;
  }
  eng::knobs().poolBlocks = -1;
  EXPECT_EQ(answer, -1);
  restartRuntime();
  EXPECT_EQ(ranCount, registered);
}

// ---- operator new and the new-handler ----------------------------------------

int handlerCalls = 0;
int handlerAnswer = 0;
int giveBackAfter = 0;

int countingHandler() {
  ++handlerCalls;
  if (handlerCalls == giveBackAfter) eng::knobs().poolBlocks = -1;
  return handlerAnswer;
}

void* nestedBlock = reinterpret_cast<void*>(1);

int allocatingHandler() {
  ++handlerCalls;
  nestedBlock = ::operator new(16);
  return handlerAnswer;
}

int fatalReports = 0;
void countFatal(const GFatalReport&) { ++fatalReports; }

// A driver server puts its memory step in place when it is made and leaves
// it there when it goes, where without a server it frees nothing: these
// tests run without the step, whatever ran before them in this process,
// and put back the one they found.
class OperatorNew : public ::testing::Test {
 protected:
  void SetUp() override { foundRelease_ = setMemoryReleaseHook(nullptr); }
  void TearDown() override { setMemoryReleaseHook(foundRelease_); }

 private:
  GMemoryReleaseHook foundRelease_ = nullptr;
};

struct NewCase {
  const char* what;
  KernelNewHandler handler;
  int answer;        // what the counting handler answers
  int giveBackAfter; // the pool gives blocks again on this call of it
  bool served;
  int calls;
};

TEST_F(OperatorNew, TheNewHandlersAnswerDecidesBetweenAnotherTryAndNull) {
  const NewCase cases[] = {
      {"no handler: null at once", nullptr, 0, 0, false, 0},
      {"a handler answering 1 is called again", countingHandler, 1, 3, true, 3},
      {"a handler answering 0 ends the loop", countingHandler, 0, 0, false, 1},
      {"a failure inside the handler is final", allocatingHandler, 0, 0, false, 1},
  };
  for (const NewCase& c : cases) {
    handlerCalls = 0;
    nestedBlock = reinterpret_cast<void*>(1);
    handlerAnswer = c.answer;
    giveBackAfter = c.giveBackAfter;
    KernelNewHandler previous = _set_new_handler(c.handler);
    TraceLog log;
    eng::knobs().poolBlocks = 0;
    void* block = ::operator new(64);
    eng::knobs().poolBlocks = -1;
    _set_new_handler(previous);
    EXPECT_EQ(block != nullptr, c.served) << c.what;
    if (c.handler == allocatingHandler) {
      EXPECT_EQ(nestedBlock, nullptr) << c.what;
    }
    EXPECT_EQ(handlerCalls, c.calls) << c.what;
    if (!c.handler) {
      EXPECT_TRUE(log.lines().empty()) << c.what;
    }
    ::operator delete(block);
  }
}

TEST_F(OperatorNew, TheReserveHandlerAnswersZeroAfterItsFatalReport) {
  // No reserve is held and no driver server exists: the handler reports
  // the exhaustion, whose abort does nothing here, and gives up, which
  // ends operator new's loop (the 0 row above).
  fatalReports = 0;
  GFatalAbortHook previousAbort = setFatalAbortHook(countFatal);
  EXPECT_EQ(reserveNewHandler(), 0);
  setFatalAbortHook(previousAbort);
  EXPECT_EQ(fatalReports, 1);
  // The driver server's memory step does nothing while there is none.
  EXPECT_EQ(memoryReleaseHook(), nullptr);
  releaseDriverServerMemory();
}

struct SeenReport {
  int count = 0;
  uint16_t errorId = 0;
  std::string source;
};
SeenReport seenReport;
void keepReport(const GFatalReport& r) {
  ++seenReport.count;
  seenReport.errorId = r.errorId;
  seenReport.source = r.sourceName.data();
}

// With the pool empty, the memory reserve's handler gives its reserve back
// and, nothing else being freed, reports the exhaustion: the report makes
// no string of its own, the allocation answers null and the next one, with
// no reserve left, reports again from the handler's own site.
TEST_F(OperatorNew, TheReserveHandlersReportsNeedNoMemory) {
  KernelPlatform platform;
  installNewHandler(1024);
  KernelNewHandler previous = _set_new_handler(reserveNewHandler);
  GFatalAbortHook previousAbort = setFatalAbortHook(keepReport);
  struct Step {
    const char* source;
    bool holdsReserveBefore;
  } steps[] = {{kReleaseMemorySource, true}, {kNewHandlerSource, false}};
  for (const Step& s : steps) {
    seenReport = SeenReport();
    EXPECT_EQ(newHandlerHoldsReserve(), s.holdsReserveBefore) << s.source;
    eng::knobs().poolBlocks = 0;
    void* block = ::operator new(64);
    eng::knobs().poolBlocks = -1;
    EXPECT_EQ(block, nullptr) << s.source;
    EXPECT_EQ(seenReport.count, 1) << s.source;
    EXPECT_EQ(seenReport.errorId, kFatalMemoryExhausted) << s.source;
    EXPECT_EQ(seenReport.source, s.source);
  }
  setFatalAbortHook(previousAbort);
  _set_new_handler(previous);
  removeNewHandler();
}

TEST_F(OperatorNew, AlignedFormsAnswerAlignedBlocks) {
  struct alignas(64) Wide {
    char bytes[64];
  };
  Wide* w = new Wide;
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(w) % 64, 0u);
  delete w;
  Wide* many = new Wide[3];
  ASSERT_NE(many, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(many) % 64, 0u);
  delete[] many;
}

// ---- stopping and starting again -----------------------------------------------

std::string storedBytes(const RWCollectable* object) {
  std::ostringstream out;
  {
    RWbostream s(out);
    s << object;
  }
  return out.str();
}

RWCollectable* restoredFrom(const std::string& bytes) {
  std::istringstream in(bytes);
  RWbistream s(in);
  RWCollectable* object = nullptr;
  s >> object;
  return object;
}

bool listsLeakOfSize(const std::vector<std::string>& lines, int size) {
  const std::string tail = ", Size " + std::to_string(size) + "\n";
  for (const std::string& line : lines)
    if (line.rfind("--Leak ", 0) == 0 && line.size() > tail.size() &&
        line.compare(line.size() - tail.size(), tail.size(), tail) == 0)
      return true;
  return false;
}

TEST(StartUp, AStoppedRuntimeStartsAgainWithEveryClassRegistered) {
  RWSet set;
  RWBTree tree;
  const std::string storedSet = storedBytes(&set);
  const std::string storedTree = storedBytes(&tree);
  const RWCollectable* nil = rwNilCollectable();
  std::unique_ptr<RWCollectable> first(restoredFrom(storedSet));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->isA(), RWSet::classIsA());

  kernelRuntimeShutdown();
  RWFactory* factory = rwFactoryInstance();
  ASSERT_NE(factory, nullptr);
  EXPECT_TRUE(factory->isEmpty()) << "every registration is undone at stop";
  // Made while the runtime is stopped, released once it runs again: it was
  // never on the live list and must not disturb it.
  void* early = kernelHeapAlloc(54321);
  kernelRuntimeStartup();

  std::unique_ptr<RWCollectable> again(restoredFrom(storedSet));
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->isA(), RWSet::classIsA());
  std::unique_ptr<RWCollectable> other(restoredFrom(storedTree));
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(other->isA(), RWBTree::classIsA());
  // The nil object is made again in its own place, and a null pointer
  // still stores as nil and restores as null.
  EXPECT_EQ(rwNilCollectable(), nil);
  const std::string storedNull = storedBytes(nullptr);
  EXPECT_EQ(storedNull, storedBytes(nil));
  EXPECT_EQ(restoredFrom(storedNull), nullptr);

  kernelHeapFree(early);
  void* kept = kernelHeapAlloc(12345);
  std::vector<std::string> lines;
  {
    TraceLog log;
    kernelRuntimeShutdown();
    lines = log.lines();
  }
  kernelRuntimeStartup();
  kernelHeapFree(kept);
  EXPECT_TRUE(listsLeakOfSize(lines, 12345));
  EXPECT_FALSE(listsLeakOfSize(lines, 54321));
}

// ---- the driver image -------------------------------------------------------------

std::vector<std::string> outputOf(const std::string& command) {
  std::vector<std::string> lines;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return lines;
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    lines.push_back(text);
  }
  pclose(pipe);
  return lines;
}

TEST(DriverImage, ExportsTheEntryPointsAloneAndRunsNoStaticInitialiserOfOurs) {
  if (std::system("command -v nm >/dev/null 2>&1") != 0) GTEST_SKIP() << "no nm on this machine";
  std::set<std::string> exported;
  for (const std::string& line : outputOf("nm -D --defined-only " KRENDER_IMAGE))
    exported.insert(line.substr(line.rfind(' ') + 1));
  EXPECT_EQ(exported, (std::set<std::string>{"DrvDisableDriver", "DrvEnableDriver"}));

  // The C++ runtime linked in has initialisers of its own; none comes from
  // one of our source files.
  for (const std::string& line : outputOf("nm " KRENDER_IMAGE))
    if (line.find("_GLOBAL__sub_I_") != std::string::npos) {
      EXPECT_EQ(line.find(".cpp"), std::string::npos) << line;
    }
  // The nil object is made by a start-up entry, not guarded as a
  // function's static whose destructor would run outside the exit table.
  for (const std::string& line : outputOf("nm -C " KRENDER_IMAGE))
    EXPECT_EQ(line.find("for rwNilCollectable()"), std::string::npos) << line;
}

TEST(DriverImage, EnablesAndDisablesTwiceThroughTheEnginesLoader) {
  const long semaphores = eng::live().semaphores;
  for (int round = 0; round < 2; ++round) {
    eng::Driver driver;
    EXPECT_EQ(driver.load(KRENDER_IMAGE), "") << round;
    EXPECT_TRUE(driver.loaded());
    driver.unload();
    EXPECT_EQ(eng::live().semaphores, semaphores) << "every lock made at enable is gone at disable";
  }
}

TEST(DriverImage, RefusesAnEnableRecordTooSmall) {
  void* image = dlopen(KRENDER_IMAGE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(image, nullptr) << dlerror();
  auto enable = reinterpret_cast<PFN_DrvEnableDriver>(dlsym(image, "DrvEnableDriver"));
  ASSERT_NE(enable, nullptr);
  DRVENABLEDATA ded{};
  EXPECT_FALSE(enable(DDI_DRIVER_VERSION, sizeof ded - 1, &ded));
  EXPECT_EQ(ded.iDriverVersion, 0u);
  EXPECT_FALSE(enable(DDI_DRIVER_VERSION, sizeof ded, nullptr));
  dlclose(image);
}

TEST(DriverImage, TheStandardLibrarysBlocksComeFromTheDriversHeap) {
  void* image = dlopen(KRENDER_PROBE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(image, nullptr) << dlerror();
  auto enable = reinterpret_cast<PFN_DrvEnableDriver>(dlsym(image, "DrvEnableDriver"));
  auto disable = reinterpret_cast<PFN_DrvDisableDriver>(dlsym(image, "DrvDisableDriver"));
  auto text = reinterpret_cast<void* (*)(unsigned)>(dlsym(image, "KrenderProbeText"));
  auto release = reinterpret_cast<void (*)(void*)>(dlsym(image, "KrenderProbeRelease"));
  ASSERT_TRUE(enable && disable && text && release);
  DRVENABLEDATA ded{};
  ASSERT_TRUE(enable(DDI_DRIVER_VERSION, sizeof ded, &ded));

  // The text's buffer is made by the string stream inside the C++ runtime:
  // the engine's pool sees it come and go.
  const long before = eng::live().blocks;
  void* held = text(5000);
  ASSERT_NE(held, nullptr);
  EXPECT_GE(eng::live().blocks, before + 2) << "the string and its buffer";
  release(held);
  EXPECT_EQ(eng::live().blocks, before);

  disable();
  dlclose(image);
}

}  // namespace
