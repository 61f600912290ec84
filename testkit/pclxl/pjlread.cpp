#include "testkit/pclxl/pjlread.h"

namespace {

const std::string kUEL = "\x1B%-12345X";

// Reads "@PJL ..." lines from `at` while they start there; answers false
// with the error set for a line without its CR LF.
bool readLines(const std::string& job, size_t& at, std::vector<std::string>& lines, PJLJob& out,
               bool stopAtEnter) {
  while (job.compare(at, 4, "@PJL") == 0) {
    const size_t end = job.find("\r\n", at);
    const size_t uel = job.find(kUEL, at);
    if (end == std::string::npos || (uel != std::string::npos && uel < end)) {
      out.error = "a PJL line without CR LF at offset " + std::to_string(at);
      return false;
    }
    lines.push_back(job.substr(at, end - at));
    at = end + 2;
    if (stopAtEnter && lines.back().rfind("@PJL ENTER LANGUAGE=", 0) == 0) return true;
  }
  return true;
}

}  // namespace

PJLJob readPJLJob(const std::string& job) {
  PJLJob out;
  if (job.compare(0, kUEL.size(), kUEL) != 0) {
    out.error = "no UEL at offset 0";
    return out;
  }
  size_t at = kUEL.size();
  if (!readLines(job, at, out.header, out, true)) return out;
  if (out.header.empty() || out.header.back().rfind("@PJL ENTER LANGUAGE=", 0) != 0) {
    out.error = "no ENTER LANGUAGE before offset " + std::to_string(at);
    return out;
  }
  out.language = out.header.back().substr(20);
  const size_t uel = job.find(kUEL, at);
  out.body = job.substr(at, uel == std::string::npos ? std::string::npos : uel - at);
  if (uel == std::string::npos) {
    out.ok = true;
    return out;
  }
  at = uel + kUEL.size();
  if (!readLines(job, at, out.trailer, out, false)) return out;
  bool eoj = false;
  for (const std::string& line : out.trailer) eoj = eoj || line.rfind("@PJL EOJ", 0) == 0;
  if (!eoj) {
    out.error = "no EOJ in the trailer before offset " + std::to_string(at);
    return out;
  }
  if (job.compare(at, kUEL.size(), kUEL) != 0 || at + kUEL.size() != job.size()) {
    out.error = "the job does not end with the trailer's UEL at offset " + std::to_string(at);
    return out;
  }
  out.closed = true;
  out.ok = true;
  return out;
}
