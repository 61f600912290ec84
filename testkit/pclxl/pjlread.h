#ifndef TESTKIT_PCLXL_PJLREAD_H
#define TESTKIT_PCLXL_PJLREAD_H

// A reader of a job's PJL envelope, for tests: splits a job into its
// header lines, the language it enters, the body in that language and its
// trailer lines, as the printer's job language reads them.
//
// What it reads: the Universal Exit Language sequence ("\x1B%-12345X");
// "@PJL" lines, each ending in CR LF, the last of them "@PJL ENTER
// LANGUAGE=NAME"; the body, every byte up to the next UEL; then, when the
// job is closed, "@PJL" lines ending in CR LF after that UEL, one of them
// "@PJL EOJ", and a last UEL that ends the job. Anything else (no UEL at
// the start, a line that is not PJL or lacks its CR LF, no ENTER LANGUAGE,
// bytes after the last UEL) stops the reading with an error naming the
// offset.

#include <string>
#include <vector>

struct PJLJob {
  bool ok = false;
  std::string error;                     // what stopped the reading, naming its offset
  std::vector<std::string> header;       // the lines before the body, without CR LF, ENTER LANGUAGE last
  std::string language;                  // what ENTER LANGUAGE names
  std::string body;                      // the bytes in that language
  bool closed = false;                   // a UEL, the trailer lines and the last UEL follow the body
  std::vector<std::string> trailer;      // the trailer's lines, without CR LF
};

PJLJob readPJLJob(const std::string& job);

#endif
