#ifndef TESTKIT_REPORTS_H
#define TESTKIT_REPORTS_H

// A log of the error reports made while it lives, for tests that check what
// the foundation's error handler was told.

#include <ios>
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
  ReportLog();
  ~ReportLog();
  ReportLog(const ReportLog&) = delete;
  ReportLog& operator=(const ReportLog&) = delete;

  const std::vector<CapturedReport>& all() const { return reports_; }
  size_t size() const { return reports_.size(); }
  bool empty() const { return reports_.empty(); }
  const CapturedReport& operator[](size_t i) const { return reports_.at(i); }
  std::vector<std::string> texts() const;
  void clear() { reports_.clear(); }

 private:
  static void capture(const RWErrorBase& e);

  std::vector<CapturedReport> reports_;
  rwErrHandler previous_;
};

// The text of the bounds error for index i of a collection or string of n
// elements.
std::string indexErr(unsigned i, unsigned n);

#endif
