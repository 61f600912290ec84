// The print runner, run as the program runs it: documents played through
// the engine's test-double driver into a job file, the failures that leave
// no job behind, and the kernel driver of this build as it stands.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/attrib.h"
#include "host/engine/engine.h"
#include "testkit/bytes.h"
#include "testkit/files.h"
#include "testkit/pclxl/xldecode.h"
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

// ---- the kernel driver built with the runner ---------------------------------------------

// The job of a blank document, as the printer the runner sets up (the
// configuration builder's PCL XL printer, 600 dpi) gets it.
std::string pjlHeader(const std::string& name, const std::string& paper) {
  return "\x1b%-12345X@PJL JOB NAME=\"" + name + "\"\r\n@PJL SET PAPER=" + paper +
         "\r\n@PJL SET RESOLUTION=600\r\n@PJL ENTER LANGUAGE=PCLXL\r\n";
}
std::string pjlTrailer(const std::string& name) {
  return "\x1b%-12345X@PJL EOJ NAME=\"" + name + "\"\r\n\x1b%-12345X";
}
const std::string kStreamHeader = ") QX-PCL XL;2;0;Comment Printer driver output. Version 4.2.1.8\n";
// BeginSession: UnitsPerMeasure (600, 600), Measure 0 (inch), ErrorReport
// 3; OpenDataSource: SourceType 0, DataOrg 1.
const std::string kSession =
    bytes({0xD1, 0x58, 0x02, 0x58, 0x02, 0xF8, 0x89, 0xC0, 0x00, 0xF8, 0x86, 0xC0, 0x03, 0xF8, 0x8F, 0x41}) +
    bytes({0xC0, 0x00, 0xF8, 0x88, 0xC0, 0x01, 0xF8, 0x82, 0x48});
// A page with nothing drawn: Orientation (0 portrait, 1 landscape), no
// MediaSource (the DEVMODE names no source), MediaSize by the printer's
// keyword, BeginPage, SetClipMode 0, EndPage with PageCopies (1 unless
// the DEVMODE asks for more).
std::string blankPage(uint8_t orientation, const std::string& keyword, uint8_t copies = 1) {
  return bytes({0xC0, orientation, 0xF8, 0x28, 0xC8, 0xC1, static_cast<uint8_t>(keyword.size()), 0x00}) + keyword +
         bytes({0xF8, 0x25, 0x43, 0xC0, 0x00, 0xF8, 0x54, 0x7F}) + bytes({0xC1, copies, 0x00, 0xF8, 0x31, 0x44});
}
// CloseDataSource, EndSession.
const std::string kClose = bytes({0x49, 0x42});

// Runs the program as a user would, with the driver built alongside.
Outcome runProgram(const std::string& arguments) {
  // The leak checker stays off for the program, which loads a driver with
  // a C++ runtime of its own (see printrun.cpp); the rest of a sanitizer
  // run's options stay.
  FILE* pipe = popen(("ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 " + std::string(PRINTRUN_PATH) + " " +
                      arguments + " 2>&1")
                         .c_str(),
                     "r");
  if (!pipe) return {-1, "", "popen failed"};
  std::string output;
  char buffer[256];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, "", output};
}

TEST(PrintRunProgram, BlankPagesThroughTheKernelDriverComeOutAsAWholeJob) {
#ifndef PRINTRUN_KRENDER
  GTEST_SKIP() << "this build makes no kernel driver";
#else
  TempDir dir;
  const std::string job = dir.file("job.prn");
  struct Case {
    const char* what;
    std::string document;  // empty: sample:blank
    std::string options;
    std::string expected;
  } cases[] = {
      {"two Letter pages", "", "",
       pjlHeader("blank", "LETTER") + kStreamHeader + kSession + blankPage(0, "LETTER") + blankPage(0, "LETTER") +
           kClose + pjlTrailer("blank")},
      {"A4 landscape", "", "--set paper=9 --set orientation=2",
       pjlHeader("blank", "A4") + kStreamHeader + kSession + blankPage(1, "A4") + blankPage(1, "A4") + kClose +
           pjlTrailer("blank")},
      // The printer does not collate, so each page asks for its copies.
      {"copies 2", "", "--set copies=2",
       pjlHeader("blank", "LETTER") + kStreamHeader + kSession + blankPage(0, "LETTER", 2) +
           blankPage(0, "LETTER", 2) + kClose + pjlTrailer("blank")},
      // The new device context takes the document over: one header, one
      // session, the second page turned.
      {"an orientation reset between pages", "document r\npage\nreset orientation=2\npage\n", "",
       pjlHeader("r", "LETTER") + kStreamHeader + kSession + blankPage(0, "LETTER") + blankPage(1, "LETTER") +
           kClose + pjlTrailer("r")},
      // The page that was sent, then the session closed; an aborted job
      // gets no trailer.
      {"an abort after the first page", "document blank\npage\nabort\n", "",
       pjlHeader("blank", "LETTER") + kStreamHeader + kSession + blankPage(0, "LETTER") + kClose},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string document = "sample:blank";
    if (!c.document.empty()) {
      document = dir.file("doc.txt");
      putFile(document, c.document);
    }
    const Outcome o = runProgram("-o '" + job + "' " + c.options + " '" + document + "'");
    ASSERT_EQ(o.status, kPrintrunWritten) << o.err;
    EXPECT_EQ(o.err, "");
    const std::string written = fileContents(job);
    EXPECT_EQ(written, c.expected);

    // The stream between the header and the trailer reads as PCL XL.
    const size_t begin = written.find(") QX-PCL XL");
    ASSERT_NE(begin, std::string::npos);
    const size_t end = written.find("\x1b%-", begin);
    const XLDecodeResult decoded =
        decodeXLStream(written.substr(begin, end == std::string::npos ? std::string::npos : end - begin));
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ(decoded.header, kStreamHeader.substr(0, kStreamHeader.size() - 1));
    ASSERT_GE(decoded.operators.size(), 2u);
    EXPECT_EQ(decoded.operators.front().tag, 0x41);  // BeginSession
    EXPECT_EQ(decoded.operators[decoded.operators.size() - 2].tag, 0x49);  // CloseDataSource
    EXPECT_EQ(decoded.operators.back().tag, 0x42);                          // EndSession
    std::filesystem::remove(job);
  }
#endif
}

// A damaged data file: the failing entry with its last error, what the
// driver said about the file, which file that is, and no job.
TEST(PrintRunProgram, ADamagedDataFileIsNamedWithWhatIsWrongWithIt) {
#ifndef PRINTRUN_KRENDER
  GTEST_SKIP() << "this build makes no kernel driver";
#else
  TempDir dir;
  std::string error;
  const std::unique_ptr<GAttributeComposite> tree = buildPrinterTree(PrinterModel(), error);
  ASSERT_TRUE(tree) << error;
  const std::string config = dir.file("printer.dat");
  ASSERT_TRUE(writePrinterTree(*tree, config, error)) << error;
  const std::string whole = fileContents(config);
  putFile(config, whole.substr(0, whole.size() / 2));
  const std::string job = dir.file("job.prn");
  putFile(job, "an older job");
  const Outcome o = runProgram("-o '" + job + "' --config '" + config + "' sample:blank");
  EXPECT_EQ(o.status, kPrintrunFailed);
  const std::string said =
      "printrun: DrvEnablePDEV failed (last error 13)\n"
      "printrun: the driver reported: Printer data file "
      "\"\\SystemRoot\\System32\\spool\\drivers\\w32x86\\2\\printrun.dat\": the stored tree is damaged and "
      "cannot be read whole (read as far as byte ";
  EXPECT_EQ(o.err.substr(0, said.size()), said);
  EXPECT_NE(o.err.find(")\nprintrun: the printer's data file printrun.dat is a copy of \"" + config + "\"\n"),
            std::string::npos)
      << o.err;
  EXPECT_EQ(fileContents(job), "an older job");
#endif
}

// Runs body in a child process that ends with _exit: the driver image the
// body loads carries a C++ runtime whose blocks the leak checker of a
// sanitizer run would report at the end of this program (see printrun.cpp).
// Answers what body answered (empty for success), or how the child ended.
std::string inChild(const std::function<std::string()>& body) {
  int fds[2];
  if (pipe(fds) != 0) return "no pipe";
  const pid_t child = fork();
  if (child < 0) return "no child";
  if (child == 0) {
    close(fds[0]);
    const std::string answer = body();
    for (size_t done = 0; done < answer.size();) {
      const ssize_t n = write(fds[1], answer.data() + done, answer.size() - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    _exit(0);
  }
  close(fds[1]);
  std::string answer;
  char buffer[256];
  for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) answer.append(buffer, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) answer += " (the child did not end normally)";
  return answer;
}

// The kernel driver's heap through identical documents on one PDEV: none
// leaves more alive than the one before, every block goes back to the
// engine's pool once the driver is unloaded, and the engine sees no misuse
// (a block freed by the wrong heap would be one).
TEST(PrintRunProgram, IdenticalDocumentsLeaveTheDriversHeapSteady) {
#ifndef PRINTRUN_KRENDER
  GTEST_SKIP() << "this build makes no kernel driver";
#else
  TempDir dir;
  const std::string problem = inChild([&]() -> std::string {
    eng::reset();
    eng::setRoot(dir.path());
    std::string error;
    const std::unique_ptr<GAttributeComposite> tree = buildPrinterTree(PrinterModel(), error);
    if (!tree || !writePrinterTree(*tree, eng::driverFolder() + "/printer.dat", error)) return error;
    eng::PrinterSetup setup;
    setup.printerName = u"Heap Printer";
    setup.driverName = u"Heap Driver";
    setup.portName = u"LPT1:";
    setup.dataFile = u"\\SystemRoot\\System32\\spool\\drivers\\w32x86\\2\\printer.dat";
    HANDLE printer = eng::addPrinter(setup);

    const eng::Live before = eng::live();
    long blocks[3] = {};
    {
      eng::Driver driver;
      if (std::string e = driver.load(PRINTRUN_KRENDER); !e.empty()) return e;
      eng::Player player(driver, printer);
      eng::PublicDevMode fields;
      fields.deviceName = setup.printerName;
      if (std::string e = player.open(eng::publicDevMode(fields)); !e.empty()) return e;
      eng::Document doc;
      doc.name = u"blank";
      doc.pages.resize(2);
      for (long& count : blocks) {
        if (std::string e = player.play(doc); !e.empty()) return e;
        count = eng::live().blocks;
      }
      if (std::string e = player.close(); !e.empty()) return e;
    }
    // The first document leaves two blocks that the next one gives back;
    // from then on every document leaves the heap as it found it.
    if (blocks[1] > blocks[0] || blocks[2] != blocks[1])
      return "blocks alive after each document: " + std::to_string(blocks[0]) + ", " + std::to_string(blocks[1]) +
             ", " + std::to_string(blocks[2]);
    if (!(eng::live() == before)) return "the unloaded driver left something alive";
    if (!eng::misuse().empty()) return "misuse: " + eng::misuse().front();
    const std::vector<std::string> jobs = eng::jobFiles(printer);
    if (jobs.size() != 3) return std::to_string(jobs.size()) + " jobs";
    if (fileContents(jobs[0]) != fileContents(jobs[1]) || fileContents(jobs[0]) != fileContents(jobs[2]))
      return "the jobs differ";
    return std::string();
  });
  EXPECT_EQ(problem, "");
#endif
}
