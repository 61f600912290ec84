// The print runner, run as the program runs it: documents played through
// the engine's test-double driver into a job file, the failures that leave
// no job behind, and the kernel driver of this build as it stands.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/attrib.h"
#include "host/engine/engine.h"
#include "testkit/files.h"
#include "testkit/tmpdir.h"
#include "tools/printer/printer.h"
#include "tools/run/run.h"

namespace {

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

// The entry each of the double's lines names, in order.
std::vector<std::string> entriesCalled() {
  std::vector<std::string> out;
  for (const std::string& line : eng::debugLines()) out.push_back(line.substr(0, line.find_first_of(" \n")));
  return out;
}

class PrintRun : public ::testing::Test {
 protected:
  void SetUp() override { eng::reset(); }
  void TearDown() override { eng::reset(); }

  Outcome run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = runPrintrun(args, out, err);
    return {status, out.str(), err.str()};
  }

  std::string document(const std::string& text) {
    const std::string path = dir.file("doc.txt");
    putFile(path, text);
    return path;
  }

  // The names in the folder, so that a test sees no temporary file stay.
  std::set<std::string> names() const {
    std::set<std::string> out;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
      out.insert(entry.path().filename().string());
    return out;
  }

  TempDir dir;
  const std::string job = dir.file("job.prn");
};

}  // namespace

TEST_F(PrintRun, PlaysTheDocumentAndKeepsTheSpooledJob) {
  std::string error;
  const std::unique_ptr<GAttributeComposite> tree = buildPrinterTree(PrinterModel(), error);
  ASSERT_TRUE(tree) << error;
  ASSERT_TRUE(writePrinterTree(*tree, dir.file("printer.dat"), error)) << error;

  struct Case {
    const char* name;
    std::string document;  // empty: sample:blank
    std::vector<std::string> options;
    std::string job;
  } cases[] = {
      {"blank", "", {}, "DOC\nPAGE\nPAGE\nEND\n"},
      {"fields and a data file", "", {"--set", "paper=9", "--set", "orientation=2", "--config", dir.file("printer.dat")},
       "DOC\nPAGE\nPAGE\nEND\n"},
      // The new device context takes the document over with its own start.
      {"reset", "document r\npage\nreset orientation=2\npage\n", {}, "DOC\nPAGE\nDOC\nPAGE\nEND\n"},
      {"abort", "page\nabort\n", {}, "DOC\nPAGE\nABORT\n"},
      {"no pages", "document empty\n", {}, "DOC\nEND\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    putFile(job, "an older job");
    std::vector<std::string> args = {"-o", job, "--driver", ENGINE_DOUBLE};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.push_back(c.document.empty() ? "sample:blank" : document(c.document));
    const Outcome o = run(args);
    EXPECT_EQ(o.status, kPrintrunWritten) << o.err;
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(fileContents(job), c.job);
    std::filesystem::remove(dir.file("doc.txt"));
    EXPECT_EQ(names(), (std::set<std::string>{"job.prn", "printer.dat"}));
  }
}

TEST_F(PrintRun, OperationsReachTheirEntries) {
  const Outcome o = run({"-o", job, "--driver", ENGINE_DOUBLE,
                         document("page\n"
                                  "paint clip=0,0,10,10\n"  // the double hooks no paint: a bit-block transfer
                                  "bitblt rect=0,0,5,5 hatch=1\n"
                                  "stroke rect=0,0,5,5\nfill rect=0,0,5,5\nstrokefill rect=0,0,5,5\n"
                                  "text \"Hi\" at=10,20\n"
                                  "escape 4115 0102\n")});
  ASSERT_EQ(o.status, kPrintrunWritten) << o.err;
  EXPECT_EQ(entriesCalled(),
            (std::vector<std::string>{"DrvEnableDriver", "DrvEnablePDEV", "DrvCompletePDEV", "DrvEnableSurface",
                                      "DrvStartDoc", "DrvStartPage", "DrvBitBlt", "DrvRealizeBrush", "DrvBitBlt",
                                      "DrvStrokePath", "DrvFillPath", "DrvStrokeAndFillPath", "DrvTextOut",
                                      "DrvEscape", "DrvSendPage", "DrvEndDoc", "DrvDestroyFont",
                                      "DrvDisableSurface", "DrvDisablePDEV", "DrvDisableDriver"}));
}

TEST_F(PrintRun, AFailedRunLeavesNoJobAndAnOlderOneAsItWas) {
  struct Case {
    const char* name;
    std::string document;  // empty: sample:blank
    std::vector<std::string> options;
    int status;
    std::string err;
    bool failSurface = false;
  } cases[] = {
      {"bad line", "page\npage\n# c\n\npage\npage\npgae\n", {"--driver", ENGINE_DOUBLE}, kPrintrunUsage,
       dir.file("doc.txt") + ":7: unknown keyword 'pgae'\n"},
      {"no driver", "", {"--driver", dir.file("none.so")}, kPrintrunFailed,
       "printrun: no driver image at \"" + dir.file("none.so") + "\"\n"},
      {"driver that is no image", "", {"--driver", dir.file("job.prn")}, kPrintrunFailed,
       "printrun: the driver \"" + dir.file("job.prn") + "\" did not load: the driver image could not be loaded: "},
      {"refusing driver", "", {"--driver", ENGINE_DOUBLE_REFUSE}, kPrintrunFailed,
       std::string("printrun: the driver \"") + ENGINE_DOUBLE_REFUSE +
           "\" did not load: DrvEnableDriver failed (last error 50)\n"},
      {"failing entry", "", {"--driver", ENGINE_DOUBLE}, kPrintrunFailed,
       "printrun: DrvEnableSurface failed (last error 0)\n", true},
      // Fails after a page went to the spooler.
      {"failing operation", "page\npage\npaint mix=0\n", {"--driver", ENGINE_DOUBLE}, kPrintrunFailed,
       "printrun: a paint's mix is no pair of codes 1 to 16\n"},
      {"missing entry", "page\ndrawescape 1\n", {"--driver", ENGINE_DOUBLE}, kPrintrunFailed,
       "printrun: the driver's table has no DrvDrawEscape\n"},
      {"no data file", "", {"--driver", ENGINE_DOUBLE, "--config", dir.file("none.dat")}, kPrintrunFailed,
       "printrun: cannot read the configuration \"" + dir.file("none.dat") + "\": No such file or directory\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    eng::reset();
    eng::knobs().failSurface = c.failSurface;
    putFile(job, "an older job");
    std::vector<std::string> args = {"-o", job};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.push_back(c.document.empty() ? "sample:blank" : document(c.document));
    const Outcome o = run(args);
    EXPECT_EQ(o.status, c.status);
    EXPECT_EQ(o.err.substr(0, c.err.size()), c.err);
    EXPECT_EQ(fileContents(job), "an older job");
    std::filesystem::remove(dir.file("doc.txt"));
    EXPECT_EQ(names(), std::set<std::string>{"job.prn"});
  }
}

TEST_F(PrintRun, AJobThatCannotBeWrittenOrADocumentThatCannotBeRead) {
  const std::string missing = dir.file("missing") + "/job.prn";
  Outcome o = run({"-o", missing, "--driver", ENGINE_DOUBLE, "sample:blank"});
  EXPECT_EQ(o.status, kPrintrunFailed);
  EXPECT_EQ(o.err, "printrun: cannot write \"" + missing + "\": No such file or directory\n");

  o = run({"-o", job, "--driver", ENGINE_DOUBLE, dir.file("none.txt")});
  EXPECT_EQ(o.status, kPrintrunFailed);
  EXPECT_EQ(o.err, "printrun: cannot read \"" + dir.file("none.txt") + "\"\n");
  o = run({"-o", job, "--driver", ENGINE_DOUBLE, dir.path()});
  EXPECT_EQ(o.err, "printrun: cannot read \"" + dir.path() + "\"\n");
  EXPECT_TRUE(names().empty());
}

TEST_F(PrintRun, CommandLineMistakesAreUsageErrors) {
  struct Case {
    std::vector<std::string> args;
    std::string cause;
  } cases[] = {
      {{}, "no -o JOB"},
      {{"-o", job}, "no DOCUMENT"},
      {{"-o", job, "sample:blank", "doc.txt"}, "more than one DOCUMENT: \"sample:blank\" and \"doc.txt\""},
      {{"sample:blank", "-o"}, "option \"-o\" needs a value"},
      {{"-o", "", "sample:blank"}, "option \"-o\" needs a value"},
      {{"-o", job, "-o", job, "sample:blank"}, "option \"-o\" given twice"},
      {{"-o", job, "--driver", "a.so", "--driver", "b.so", "sample:blank"}, "option \"--driver\" given twice"},
      {{"-o", job, "--output", "x", "sample:blank"}, "unknown option \"--output\""},
      {{"-o", job, "--set", "copies=0", "sample:blank"}, "--set: bad value '0' for copies"},
      {{"-o", job, "--set", "colour=1", "sample:blank"}, "--set: unknown field 'colour'"},
      {{"-o", job, "--set", "copies=2", "--set", "copies=3", "sample:blank"}, "--set: copies given twice"},
      {{"-o", job, "sample:nothing"}, "unknown sample \"sample:nothing\" (samples: blank)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cause);
    const Outcome o = run(c.args);
    EXPECT_EQ(o.status, kPrintrunUsage);
    EXPECT_EQ(o.err, "printrun: " + c.cause +
                         "\nusage: printrun -o JOB [--driver SO] [--config DATAFILE] [--set FIELD=VALUE]... "
                         "DOCUMENT\n       printrun --help\n");
  }
  EXPECT_TRUE(names().empty());
}

TEST_F(PrintRun, HelpDescribesTheOptionsAndTheFormat) {
  const Outcome o = run({"--help"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out.rfind("usage: printrun", 0), 0u);
  for (const char* part : {"--set FIELD=VALUE", "drawescape CODE [HEX]", "resolution=N", "sample:blank"})
    EXPECT_NE(o.out.find(part), std::string::npos) << part;
}

// The kernel driver of this build prints the blank sample: the program
// keeps the job and says nothing.
TEST(PrintRunProgram, TheDriverBuiltWithItPrintsTheBlankSample) {
#ifndef PRINTRUN_KRENDER
  GTEST_SKIP() << "this build makes no kernel driver";
#else
  TempDir dir;
  const std::string job = dir.file("job.prn");
  // The leak checker stays off for the program, which loads a driver with
  // a C++ runtime of its own (see printrun.cpp); the rest of a sanitizer
  // run's options stay.
  FILE* pipe = popen(("ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 " + std::string(PRINTRUN_PATH) + " -o '" + job +
                      "' sample:blank 2>&1")
                         .c_str(),
                     "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[256];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
  const int status = pclose(pipe);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), kPrintrunWritten);
  EXPECT_EQ(output, "");
  // A PJL-framed job came out of the spooler.
  std::ifstream in(hostPath(job), std::ios::binary);
  const std::string start = "\x1B%-12345X@PJL ";
  std::string head(start.size(), '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  EXPECT_EQ(head, start);
#endif
}
