// Prints the benchmark's document as one PCL XL job into a memory port and
// says what it took, for bench/vs-ghostscript:
//
//   bench_xljob [--pages N] [-o FILE]
//   bench_xljob --count-pages FILE
//
// One line on stdout: "pages N seconds S bytes B peak_rss_bytes R", where S
// is the time of the print alone (the served printer and its device made
// before it) and R the process's peak resident set. -o writes the job to
// FILE afterwards. The job is checked before anything is reported; exit
// status 1 when it is wrong or the printer could not be made, 2 on bad
// arguments.
//
// --count-pages reads a PCL XL job (another writer's too) and prints the
// number of pages it begins, or fails when its stream does not decode.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "bench/benchkit.h"
#include "bench/xldoc.h"
#include "testkit/pclxl/xldecode.h"

namespace {

int countPages(const char* path) {
  std::ifstream file(path, std::ios::binary);
  const std::string job((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (!file.good() && !file.eof()) bench::fail("cannot read the job file");
  const XLDecodeResult decoded = decodeXLJob(job);
  if (!decoded.ok) bench::fail(("the job does not decode: " + decoded.error).c_str());
  constexpr uint8_t kBeginPage = 0x43;
  int pages = 0;
  for (const XLOperatorToken& op : decoded.operators) pages += op.tag == kBeginPage;
  std::printf("%d\n", pages);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && !std::strcmp(argv[1], "--count-pages")) return countPages(argv[2]);
  int pages = 50;
  const char* output = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--pages") && i + 1 < argc) {
      pages = std::atoi(argv[++i]);
    } else if (!std::strcmp(argv[i], "-o") && i + 1 < argc) {
      output = argv[++i];
    } else {
      std::fprintf(stderr, "usage: bench_xljob [--pages N] [-o FILE] | --count-pages FILE\n");
      return 2;
    }
  }
  if (pages <= 0) {
    std::fprintf(stderr, "bench_xljob: the page count must be positive\n");
    return 2;
  }

  const xldoc::Document document = xldoc::makeDocument(pages);
  xldoc::MemoryPrinter printer(1, output != nullptr);
  if (!printer.error().empty()) bench::fail(printer.error().c_str());

  const auto start = std::chrono::steady_clock::now();
  const int32_t status = printer.print(0, document);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  if (status != 0) bench::fail("the job did not print");

  if (output) {
    const std::string& job = printer.tally(0).kept;
    const std::string wrong = xldoc::checkJob(job, document);
    std::ofstream file(output, std::ios::binary);
    file.write(job.data(), static_cast<std::streamsize>(job.size()));
    if (!file.flush()) bench::fail("cannot write the job file");
    if (!wrong.empty()) bench::fail(wrong.c_str());
  }
  std::printf("pages %d seconds %.6f bytes %llu peak_rss_bytes %lld\n", pages, took.count(),
              static_cast<unsigned long long>(printer.tally(0).bytes), static_cast<long long>(bench::peakRss()));
  return 0;
}
