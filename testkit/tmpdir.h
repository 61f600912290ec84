#ifndef TESTKIT_TMPDIR_H
#define TESTKIT_TMPDIR_H

// A fresh directory for one test, removed with everything in it.
//
// path() and file() are the names the build's file layer opens. In the user
// build they are host paths under /tmp. In the kernel build the driver opens
// files through the engine, which knows NT names only: the test program
// gives the engine one root for its whole run (startEngineRoot), folders are
// made under <root>/C/tmp and named "C:\tmp\rwtest.XXXXXX"; hostPath() and
// hostPath(name) say where the host keeps them, for POSIX calls.

#include <string>

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  bool ok() const { return !path_.empty(); }
  const std::string& path() const { return path_; }
  std::string file(const char* name) const;
  const std::string& hostPath() const { return host_; }

 private:
  std::string path_;
  std::string host_;
};

// The host path of a name the file layer opens: the name itself in the user
// build; in the kernel build, where the engine keeps it (a name that is
// already a host path, starting with '/', is kept).
std::string hostPath(const std::string& name);

#ifdef RW_KERNEL_BUILD
// Makes a fresh folder, sets it as the engine's root and answers it; the
// second and later calls answer the same folder. stopEngineRoot removes it.
const std::string& startEngineRoot();
void stopEngineRoot();
#endif

#endif
