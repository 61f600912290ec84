// printrun: plays a document through a printer driver as the graphics
// engine would, and writes the job the driver spooled. See tools/run/run.h
// for the options and the exit statuses, and printrun --help for the
// document format.

#include <iostream>
#include <string>
#include <vector>

#include "tools/run/run.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return runPrintrun(args, std::cout, std::cerr);
}
