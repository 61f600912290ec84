#include "testkit/reports.h"

namespace {

// The log that is capturing now, if any.
ReportLog*& current() {
  static ReportLog* log = nullptr;
  return log;
}

}  // namespace

ReportLog::ReportLog() {
  current() = this;
  previous_ = rwSetErrorHandler(capture);
}

ReportLog::~ReportLog() {
  rwSetErrorHandler(previous_);
  current() = nullptr;
}

std::vector<std::string> ReportLog::texts() const {
  std::vector<std::string> t;
  for (const CapturedReport& r : reports_) t.push_back(r.text);
  return t;
}

void ReportLog::capture(const RWErrorBase& e) {
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

std::string indexErr(unsigned i, unsigned n) {
  return "[INDEXERR] Illegal Index (" + std::to_string(i) + ") for collection or string with " +
         std::to_string(n) + " elements";
}
