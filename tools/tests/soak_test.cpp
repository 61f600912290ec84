// Damaged printer data files played through the print runner and the
// kernel driver of this build: the builder's PCL XL printer with one to
// four random bytes changed, a few hundred files from a fixed seed. Each
// run either writes a whole, sound job (the PJL envelope around a PCL XL
// stream whose every page names its media, the session closed) or fails
// with exit status 1, names its cause and what the driver reported, and
// leaves the older job file as it was.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <random>
#include <sstream>
#include <string>

#include "testkit/files.h"
#include "testkit/pclxl/pjlread.h"
#include "testkit/pclxl/xldecode.h"
#include "testkit/tmpdir.h"
#include "tools/printer/mkprint.h"
#include "tools/run/run.h"

namespace {

constexpr uint8_t kBeginSession = 0x41, kEndSession = 0x42, kBeginPage = 0x43, kEndPage = 0x44;
constexpr uint8_t kOpenDataSource = 0x48, kCloseDataSource = 0x49;
constexpr uint8_t kMediaSize = 0x25, kCustomMediaSize = 0x2F;

// Why a job is not one a printer prints whole, or empty when it is: the
// envelope closed around a PCL XL body, the session opened and closed,
// `pages` pages each begun with its media named and ended.
std::string jobProblem(const std::string& job, size_t pages) {
  const PJLJob pjl = readPJLJob(job);
  if (!pjl.ok) return "the envelope: " + pjl.error;
  if (!pjl.closed) return "the envelope is not closed";
  if (pjl.language != "PCLXL") return "the job enters " + pjl.language;
  const XLDecodeResult xl = decodeXLStream(pjl.body);
  if (!xl.ok) return "the stream: " + xl.error;
  const auto& ops = xl.operators;
  if (ops.size() < 4 || ops[0].tag != kBeginSession || ops[1].tag != kOpenDataSource ||
      ops[ops.size() - 2].tag != kCloseDataSource || ops.back().tag != kEndSession)
    return "the session is not opened and closed";
  size_t begun = 0, ended = 0;
  for (const XLOperatorToken& op : ops) {
    if (op.tag == kBeginPage) {
      if (begun != ended) return "a page begun inside a page";
      if (!op.find(kMediaSize) && !op.find(kCustomMediaSize)) return "a page that names no media";
      ++begun;
    } else if (op.tag == kEndPage) {
      if (ended + 1 != begun) return "a page ended that was not begun";
      ++ended;
    }
  }
  if (begun != pages || ended != pages)
    return std::to_string(begun) + " pages begun and " + std::to_string(ended) + " ended, not " +
           std::to_string(pages);
  return std::string();
}

struct ProgramRun {
  int status;
  std::string output;
};

ProgramRun runProgram(const std::string& arguments) {
  // As in the runner's own tests: the leak checker stays off for the
  // program, which loads a driver with a C++ runtime of its own.
  FILE* pipe = popen(("ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 " + std::string(PRINTRUN_PATH) + " " +
                      arguments + " 2>&1")
                         .c_str(),
                     "r");
  if (!pipe) return {-1, "popen failed"};
  std::string output;
  char buffer[256];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

}  // namespace

TEST(DamagedDataFiles, EachPrintsASoundJobOrFailsWithItsCauseAndNoJob) {
#ifndef PRINTRUN_KRENDER
  GTEST_SKIP() << "this build makes no kernel driver";
#else
  TempDir dir;
  const std::string original = dir.file("original.dat");
  std::ostringstream made;
  ASSERT_EQ(runMkprinter({"--language", "PCLXL", "--media", "LETTER,LEGAL,A4", "--output", original}, made),
            kMkprinterWritten)
      << made.str();
  const std::string base = fileContents(original);
  ASSERT_FALSE(base.empty());
  // The undamaged file prints: the soak's check passes a sound job.
  const std::string document = dir.file("doc.txt");
  putFile(document, "document soak\npage\npage\n");
  const std::string job = dir.file("job.prn");
  ProgramRun run = runProgram("-o '" + job + "' --config '" + original + "' '" + document + "'");
  ASSERT_EQ(run.status, 0) << run.output;
  ASSERT_EQ(jobProblem(fileContents(job), 2), "");

  std::mt19937 random(39);
  const std::string damaged = dir.file("damaged.dat");
  int refused = 0, printed = 0;
  for (int file = 0; file < 300; ++file) {
    std::string bytes = base;
    const int changes = std::uniform_int_distribution<int>(1, 4)(random);
    std::string what;
    for (int i = 0; i < changes; ++i) {
      const size_t at = std::uniform_int_distribution<size_t>(0, bytes.size() - 1)(random);
      const char value = static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random));
      what += " " + std::to_string(at) + "=" + std::to_string(static_cast<uint8_t>(value));
      bytes[at] = value;
    }
    SCOPED_TRACE("file " + std::to_string(file) + ", bytes" + what);
    putFile(damaged, bytes);
    putFile(job, "an older job");
    run = runProgram("-o '" + job + "' --config '" + damaged + "' '" + document + "'");
    if (run.status == kPrintrunWritten) {
      ++printed;
      EXPECT_EQ(jobProblem(fileContents(job), 2), "");
      continue;
    }
    ++refused;
    ASSERT_EQ(run.status, kPrintrunFailed) << run.output;
    EXPECT_EQ(fileContents(job), "an older job");
    // The failing entry and its last error, then what the driver said:
    // the data file and what was wrong with it.
    EXPECT_EQ(run.output.rfind("printrun: Drv", 0), 0u) << run.output;
    EXPECT_NE(run.output.find("(last error "), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("printrun: the driver reported: "), std::string::npos) << run.output;
  }
  // Both roads were taken.
  EXPECT_GT(refused, 0);
  EXPECT_GT(printed, 0);
#endif
}
