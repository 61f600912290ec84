#include "testkit/files.h"

#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "testkit/tmpdir.h"

std::string fileContents(const std::string& path) {
  std::ifstream in(hostPath(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void putFile(const std::string& path, const std::string& bytes) { std::ofstream(hostPath(path), std::ios::binary) << bytes; }

bool fileExists(const std::string& path) {
  struct stat st;
  return ::stat(hostPath(path).c_str(), &st) == 0;
}

void readInto(const std::string& path, Bytes& b) {
  std::ifstream in(hostPath(path), std::ios::binary | std::ios::ate);
  b.resize(in ? static_cast<size_t>(in.tellg()) : 0);
  in.seekg(0);
  in.read(reinterpret_cast<char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

Bytes readAll(const std::string& path) {
  Bytes b;
  readInto(path, b);
  return b;
}

void writeAll(const std::string& path, const Bytes& b) {
  std::ofstream out(hostPath(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}
