// rwdump: prints what a stored file holds, one line per object.
//
//   rwdump FILE
//   rwdump --help
//
// See tools/dumpfile.h for the files it reads. Every object is printed
// with the object-tree dump: depth, id, class ID, address and reference
// count. The file is only read: an on-disk store inside the tree is named,
// not opened.
//
// Exit status: 0 printed (or the help), 1 bad arguments, 2 the file could
// not be read (what could be read is printed first).

#include <cstring>
#include <iostream>

#include "tools/dumpfile.h"

namespace {

const char kUsage[] = "usage: rwdump FILE\n       rwdump --help\n";

const char kHelp[] =
    "Prints what a stored file holds, one line per object (depth, id, class ID,\n"
    "address and reference count). FILE is a stored object tree, in the file form\n"
    "or in the binary stream form that mkprinter writes, or an on-disk store file.\n"
    "The file is only read.\n"
    "\n"
    "Exit status: 0 printed; 1 bad arguments; 2 the file could not be read whole\n"
    "(what could be read is printed first).\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::cout << kUsage << "\n" << kHelp;
    return 0;
  }
  if (argc != 2) {
    std::cerr << kUsage;
    return 1;
  }
  return rwdumpFile(argv[1], std::cout, std::cerr);
}
