#ifndef RW_TESTS_TESTUTIL_H
#define RW_TESTS_TESTUTIL_H

// Helpers shared by the foundation tests: a log of the error reports made
// while it lives, and whole-file reads and writes.

#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "rw/rwerr.h"

// One report as the handler saw it.
struct CapturedReport {
  std::string text;
  bool bounds = false;       // an RWBoundsErr
  bool internal = false;     // an RWInternalErr (bounds errors are too)
  bool environment = false;  // an RWEnvironmentErr (stream-state and file-access errors are too)
  const std::ios* stream = nullptr;  // the stream of an RWStreamStateErr
  KMFILE* file = nullptr;            // the handle of an RWFileAccessErr
  int fileKind = 0;                  // its kind: 1 seek, 2 read, 3 write
};

// Installs a capturing error handler for its lifetime and restores the
// previous one afterwards. Logs do not nest.
class ReportLog {
 public:
  ReportLog() {
    current() = this;
    previous_ = rwSetErrorHandler(capture);
  }
  ~ReportLog() {
    rwSetErrorHandler(previous_);
    current() = nullptr;
  }
  ReportLog(const ReportLog&) = delete;
  ReportLog& operator=(const ReportLog&) = delete;

  const std::vector<CapturedReport>& all() const { return reports_; }
  size_t size() const { return reports_.size(); }
  bool empty() const { return reports_.empty(); }
  const CapturedReport& operator[](size_t i) const { return reports_.at(i); }
  std::vector<std::string> texts() const {
    std::vector<std::string> t;
    for (const CapturedReport& r : reports_) t.push_back(r.text);
    return t;
  }
  void clear() { reports_.clear(); }

 private:
  static ReportLog*& current() {
    static ReportLog* log = nullptr;
    return log;
  }
  static void capture(const RWErrorBase& e) {
    CapturedReport r;
    r.text = e.why();
    r.bounds = dynamic_cast<const RWBoundsErr*>(&e) != nullptr;
    r.internal = dynamic_cast<const RWInternalErr*>(&e) != nullptr;
    r.environment = dynamic_cast<const RWEnvironmentErr*>(&e) != nullptr;
    if (auto* s = dynamic_cast<const RWStreamStateErr*>(&e)) r.stream = s->stream();
    if (auto* f = dynamic_cast<const RWFileAccessErr*>(&e)) {
      r.file = f->file();
      r.fileKind = f->errorKind();
    }
    if (current()) current()->reports_.push_back(r);
  }

  std::vector<CapturedReport> reports_;
  rwErrHandler previous_;
};

inline std::string fileContents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void putFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline bool fileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

#endif
