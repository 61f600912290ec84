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
  TempDir dir;
  const std::string name = dir.file("cut.bin");
  for (size_t n = 0; n < whole.size(); ++n) {
    putFile(name, whole.substr(0, n));
    RWFile f(name.c_str(), "rb");
    RWCollectable* raw = nullptr;
    f >> raw;
    std::unique_ptr<RWCollectable> back(raw);
    EXPECT_TRUE(!back || f.Eof() || f.Error())
        << "a file cut to " << n << " of " << whole.size() << " bytes restored a " << back->isA()
        << " and left the file in good order";
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
    EXPECT_TRUE(!back || s.fail())
        << "a stream cut to " << n << " of " << streamed.size() << " bytes restored a " << back->isA()
        << " and did not fail";
  }
}

std::unique_ptr<RWCollectable> restoredWithHugeCount(const RWCollectable* object, const std::string& mark,
                                                     size_t offset) {
  std::stringstream buffer;
  {
    RWeostream out(buffer, RWeostream::LittleEndian);
    out << object;
  }
  std::string stream = buffer.str();
  const size_t at = stream.find(mark);
  EXPECT_NE(at, std::string::npos) << "the mark is not in the stream";
  if (at == std::string::npos) return nullptr;
  stream.replace(at + offset, 4, le32(0xFFFFFFFF));
  std::stringstream in(stream);
  RWeistream from(in);
  RWCollectable* back = nullptr;
  from >> back;
  return std::unique_ptr<RWCollectable>(back);
}

std::string StoreTest::storeFile(const RWCollectable* p) {
  {
    RWFile f(path().c_str(), "wb");
    f << p;
  }
  return fileContents(path());
}

void StoreTest::putBytes(const std::string& data) const { putFile(path(), data); }
