#ifndef TESTKIT_TMPDIR_H
#define TESTKIT_TMPDIR_H

// A fresh directory under /tmp for one test, removed with everything in it.

#include <string>

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  bool ok() const { return !path_.empty(); }
  const std::string& path() const { return path_; }
  std::string file(const char* name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

#endif
