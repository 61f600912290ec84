// rwdump: prints what a stored file holds, one line per object.
//
//   rwdump FILE
//
// FILE is either a stored object tree (a configuration file: the binary
// store form, beginning with its magic word) or an on-disk store file (a
// free-list file with its B-tree and record index). Every object is
// printed with the object-tree dump: depth, id, class ID, address and
// reference count. The file is only read: an on-disk store inside the tree
// is named, not opened.
//
// Exit status: 0 printed, 1 bad arguments, 2 the file could not be read
// (what could be read is printed first).

#include <iostream>

#include "tools/dumpfile.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: rwdump FILE\n";
    return 1;
  }
  return rwdumpFile(argv[1], std::cout, std::cerr);
}
