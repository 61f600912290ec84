#include "testkit/store.h"

#include <memory>

#include "rw/estream.h"
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

void restoreEveryCut(const RWCollectable* object) {
  const std::string whole = storedBytes(object);
  for (size_t n = 0; n < whole.size(); ++n) {
    std::unique_ptr<RWCollectable> back(restoredFrom(whole.substr(0, n)));
  }
  std::ostringstream out;
  {
    RWeostream s(out, RWeostream::LittleEndian);
    s << object;
  }
  const std::string streamed = out.str();
  for (size_t n = 0; n < streamed.size(); ++n) {
    std::istringstream in(streamed.substr(0, n));
    RWeistream s(in);
    RWCollectable* raw = nullptr;
    s >> raw;
    std::unique_ptr<RWCollectable> back(raw);
  }
}

std::string StoreTest::storeFile(const RWCollectable* p) {
  {
    RWFile f(path().c_str(), "wb");
    f << p;
  }
  return fileContents(path());
}

void StoreTest::putBytes(const std::string& data) const { putFile(path(), data); }
