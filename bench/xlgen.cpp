// The PCL XL generator: the benchmark's document (bench/xldoc.h) from a
// device through its printer and the generator into memory ports.
//
//   Document       the 50-page document, one job per iteration: pages/s,
//                  bytes/page, and the process's peak memory.
//   Threads/n      n devices printing a copy each on n threads at once, one
//                  round per iteration: pages/s of all of them together.
//   Growth/pages   the document at 10, 50 and 250 pages: time per page.
//
// After the runs the program prints the thread figures with their ratio and
// the three growth figures. Every job is checked once, outside the timing,
// so that a path that broke cannot look fast. The peak memory is the
// process's: the served printer with its four devices and the documents
// printed so far (the 50-page one when Document runs first).

#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/benchkit.h"
#include "bench/xldoc.h"

namespace {

constexpr int kDocumentPages = 50;
constexpr int kMaxThreads = 4;

const xldoc::Document& documentOf(int pages) {
  static std::map<int, xldoc::Document> documents;
  auto it = documents.find(pages);
  if (it == documents.end()) it = documents.emplace(pages, xldoc::makeDocument(pages)).first;
  return it->second;
}

// The served printer with a device per thread, made by main once the jobs
// are checked: the platform is process-wide, one served printer at a time.
xldoc::MemoryPrinter* served = nullptr;
xldoc::MemoryPrinter& printer() { return *served; }

// Prints the document once, keeping its bytes, and stops the program when
// the job is wrong.
void checkOnce(const xldoc::Document& document) {
  xldoc::MemoryPrinter checking(1, true);
  if (!checking.error().empty()) bench::fail(checking.error().c_str());
  if (checking.print(0, document) != 0) bench::fail("the checked job did not print");
  const std::string wrong = xldoc::checkJob(checking.tally(0).kept, document);
  if (!wrong.empty()) bench::fail(wrong.c_str());
}

// Checks the job of every document the benchmarks print, in a child
// process: a decoded job is large, and this process's peak memory is one
// of the figures.
void checkJobs() {
  const pid_t child = fork();
  if (child < 0) bench::fail("cannot start the checks");
  if (child == 0) {
    for (int pages : {10, kDocumentPages, 250}) checkOnce(xldoc::makeDocument(pages));
    _exit(0);
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    bench::fail("the jobs' check failed");
}

void printOrFail(int k, const xldoc::Document& document) {
  if (printer().print(k, document) != 0) bench::fail("the job did not print");
}

void Document(benchmark::State& state) {
  const xldoc::Document& document = documentOf(kDocumentPages);
  for (auto _ : state) printOrFail(0, document);
  state.counters["pages"] =
      benchmark::Counter(double(state.iterations()) * kDocumentPages, benchmark::Counter::kIsRate);
  state.counters["bytes_per_page"] = double(printer().tally(0).bytes) / kDocumentPages;
  bench::reportPeakRss(state);
}

void Threads(benchmark::State& state) {
  const int threads = static_cast<int>(state.range(0));
  const xldoc::Document& document = documentOf(kDocumentPages);
  for (auto _ : state) {
    std::vector<std::thread> running;
    for (int k = 0; k < threads; ++k) running.emplace_back([k, &document] { printOrFail(k, document); });
    for (std::thread& thread : running) thread.join();
  }
  state.counters["pages"] =
      benchmark::Counter(double(state.iterations()) * threads * kDocumentPages, benchmark::Counter::kIsRate);
}

void Growth(benchmark::State& state) {
  const int pages = static_cast<int>(state.range(0));
  const xldoc::Document& document = documentOf(pages);
  for (auto _ : state) printOrFail(0, document);
  state.counters["page_time"] =
      benchmark::Counter(double(state.iterations()) * pages, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK(Document)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Threads)->Arg(1)->Arg(kMaxThreads)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Growth)->Arg(10)->Arg(50)->Arg(250)->Unit(benchmark::kMillisecond)->UseRealTime();

// The console's report, keeping the counters of every run for the summary
// printed at the end.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration)
        for (const auto& [name, counter] : run.counters) figures_[run.benchmark_name() + " " + name] = counter.value;
  }

  void printSummary() const {
    const double one = figure("Threads/1/real_time pages");
    const double four = figure("Threads/4/real_time pages");
    if (one > 0 && four > 0)
      std::printf("threads: %.1f pages/s on 1 thread, %.1f pages/s on %d threads, ratio %.2f\n", one, four, kMaxThreads,
                  four / one);
    std::string growth;
    for (int pages : {10, 50, 250}) {
      const double perPage = 1000 * figure("Growth/" + std::to_string(pages) + "/real_time page_time");
      if (perPage <= 0) return;
      char line[64];
      std::snprintf(line, sizeof line, "%s%d pages %.3f ms/page", growth.empty() ? "" : ", ", pages, perPage);
      growth += line;
    }
    std::printf("growth: %s\n", growth.c_str());
  }

 private:
  double figure(const std::string& key) const {
    auto it = figures_.find(key);
    return it == figures_.end() ? 0 : it->second;
  }

  std::map<std::string, double> figures_;
};

}  // namespace

// Our own main in place of the library's, for the summary after the runs.
int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  checkJobs();
  auto printing = std::make_unique<xldoc::MemoryPrinter>(kMaxThreads);
  if (!printing->error().empty()) bench::fail(printing->error().c_str());
  served = printing.get();
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.printSummary();
  benchmark::Shutdown();
  served = nullptr;
  return 0;
}
