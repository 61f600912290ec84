#ifndef TOOLS_DUMPFILE_H
#define TOOLS_DUMPFILE_H

// The work of rwdump: prints what a stored file holds, one line per object.
//
// The file is a stored object tree in the file form (beginning with its
// magic word), a stored object tree in the binary stream form (what the
// printer configuration builder writes: objects one after another, each
// beginning with ':'), or an on-disk store file (a free-list file with its
// B-tree and record index). Every object is printed
// with the object-tree dump: depth, id, class ID, address and reference
// count. The file is only read: an on-disk store inside the tree is named,
// not opened.

#include <iosfwd>

// Prints the file's objects to out and the reports of the library and of
// the dump to err; while it runs, the library's error handler writes to err
// and restored on-disk store handles stay detached, and both are set back
// on return. Answers rwdump's exit status: 0 printed, 2 the file could not
// be read (what could be read is printed first).
int rwdumpFile(const char* name, std::ostream& out, std::ostream& err);

#endif
