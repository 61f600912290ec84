#ifndef TOOLS_RUN_RUN_H
#define TOOLS_RUN_RUN_H

// The work of printrun: plays a document through a printer driver as the
// graphics engine would, and keeps the job the driver spooled. A library
// function, so that tests run it as the program does.
//
//   printrun -o JOB [--driver SO] [--config DATAFILE] [--set FIELD=VALUE]...
//            DOCUMENT
//
// The engine's root is a fresh temporary folder, removed at the end. It
// holds one printer ("Runner Printer", driver "Runner Driver", port
// "LPT1:") whose data file is DATAFILE copied into the driver folder, or,
// without --config, one the printer configuration builder writes for a
// PCL XL printer. The driver (by default the one built with printrun) is
// loaded, opened with the public DEVMODE of the document's fields and the
// --set fields over them, and the document played; the engine's clock
// stays at its fixed time, so the same run makes the same job.
//
// The job is written under a temporary name beside JOB and renamed to JOB
// once whole: a failed run leaves no job, and a JOB that was there before
// as it was. A run fails when the driver cannot be loaded or refuses, when
// a driver entry fails (the message names it and its last error), or when
// the engine saw the driver misuse one of its services.
//
// Exit status: 0 the job was written; 2 a usage error (an unknown option,
// a bad field, a bad document line, which is named as FILE:LINE: problem);
// 1 the run failed.

#include <ostream>
#include <string>
#include <vector>

constexpr int kPrintrunWritten = 0;
constexpr int kPrintrunFailed = 1;
constexpr int kPrintrunUsage = 2;

// The arguments after the program name; --help goes to out, everything
// else to err.
int runPrintrun(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

#endif
