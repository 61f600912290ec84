// mkprinter: writes a printer's data file, the stored configuration tree a
// driver instance restores, from a few options. See tools/printer/mkprint.h
// for the options and the exit statuses.

#include <iostream>
#include <string>
#include <vector>

#include "tools/printer/mkprint.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return runMkprinter(args, std::cout, std::cerr);
}
