#include "testkit/store.h"

#include "testkit/files.h"

std::string storedBytes(const RWCollectable* object) {
  TempDir dir;
  std::string name = dir.file("graph.bin");
  {
    RWFile f(name.c_str(), "wb+");
    f << object;
  }
  return fileContents(name);
}

RWCollectable* restoredFrom(const std::string& bytes) {
  TempDir dir;
  std::string name = dir.file("graph.bin");
  putFile(name, bytes);
  RWFile f(name.c_str(), "rb");
  RWCollectable* p = nullptr;
  f >> p;
  return p;
}

std::string StoreTest::storeFile(const RWCollectable* p) {
  {
    RWFile f(path().c_str(), "wb");
    f << p;
  }
  return fileContents(path());
}

void StoreTest::putBytes(const std::string& data) const { putFile(path(), data); }
