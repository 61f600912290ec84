#ifndef RW_TESTS_STOREBYTES_H
#define RW_TESTS_STOREBYTES_H

// Object graphs to and from the bytes of a binary file, through a fresh
// temporary directory.

#include <string>

#include "rw/collect.h"
#include "rw/rwfile.h"
#include "testutil.h"
#include "tmpdir.h"

inline std::string storedBytes(const RWCollectable* object) {
  TempDir dir;
  std::string name = dir.file("graph.bin");
  {
    RWFile f(name.c_str(), "wb+");
    f << object;
  }
  return fileContents(name);
}

inline RWCollectable* restoredFrom(const std::string& bytes) {
  TempDir dir;
  std::string name = dir.file("graph.bin");
  putFile(name, bytes);
  RWFile f(name.c_str(), "rb");
  RWCollectable* p = nullptr;
  f >> p;
  return p;
}

#endif
