// Prints the benchmark's document as one PCL XL job into a memory port and
// says what it took, for bench/vs-ghostscript:
//
//   bench_xljob [--pages N] [-o FILE]
//
// One line on stdout: "pages N seconds S bytes B peak_rss_bytes R", where S
// is the time of the print alone (the served printer and its device made
// before it) and R the process's peak resident set. -o writes the job to
// FILE afterwards. The job is checked before anything is reported; exit
// status 1 when it is wrong or the printer could not be made, 2 on bad
// arguments.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "bench/benchkit.h"
#include "bench/xldoc.h"

int main(int argc, char** argv) {
  int pages = 50;
  const char* output = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--pages") && i + 1 < argc) {
      pages = std::atoi(argv[++i]);
    } else if (!std::strcmp(argv[i], "-o") && i + 1 < argc) {
      output = argv[++i];
    } else {
      std::fprintf(stderr, "usage: bench_xljob [--pages N] [-o FILE]\n");
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
