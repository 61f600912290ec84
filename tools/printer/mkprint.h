#ifndef TOOLS_PRINTER_MKPRINT_H
#define TOOLS_PRINTER_MKPRINT_H

// The work of mkprinter: reads the options, builds the printer's tree and
// writes its data file. A library function, so that tests run it as the
// program does.
//
//   mkprinter [--language PCLXL|PCL|POSTSCRIPT] [--generator CLASS]
//             [--media LETTER,LEGAL,A4] [--trays 1,2] [--bins 1]
//             [--resolutions 600] [--quality-codes on|off]
//             [--tray-forms 1:LETTER,2:A4] [--vdp-forms on|off]
//             [--vdp-capabilities 1,2,...,11] [--color-matching]
//             [--colormap 21=5,22=6] [--halftone 50=7] --output FILE
//   mkprinter --help
//
// --tray-forms fills the form-to-tray database with the paper each tray
// holds; --vdp-forms switches variable-data forms on in the printer's
// defaults, and --vdp-capabilities lists the form capabilities (0 says the
// printer keeps no forms). --color-matching puts the colour-matching
// filter ahead of the printer; --colormap and --halftone give the
// generator's selector tables, each entry a selector and its device value
// (0 to 65535).
//
// Exit status: 0 written (or the help printed); 2 a usage error (an unknown or incomplete option,
// a bad value, a class the factory does not know), 1 the file could not be
// written. On failure one line names the cause and no file is left.

#include <ostream>
#include <string>
#include <vector>

constexpr int kMkprinterWritten = 0;
constexpr int kMkprinterIoError = 1;
constexpr int kMkprinterUsage = 2;

// The arguments after the program name; --help goes to out, everything
// else to err.
int runMkprinter(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// The same with the help going to err as well.
int runMkprinter(const std::vector<std::string>& args, std::ostream& err);

#endif
