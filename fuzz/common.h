#ifndef FUZZ_COMMON_H
#define FUZZ_COMMON_H

// What every fuzz target shares: the process set-up, a private folder for
// targets that read a file, and the uses a restored graph is put to (its
// disposal is the library's gDiscardGraph, core/discard.h).
//
// Each target is one LLVMFuzzerTestOneInput over the library; common.cpp
// holds the LLVMFuzzerInitialize they all link: the library's reports are
// dropped (they would cost more than the work), and crash files are written
// to an absolute folder, since a target that reads a file works with the
// process's scratch folder as its working folder.

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/discard.h"
#include "rw/cstring.h"

class GPeripheral;
class RWCollectable;

namespace fuzz {

// Larger inputs are passed over, so that no input costs more than a few
// milliseconds of reading; what the library must survive fits well within.
constexpr size_t maxInput = 1 << 20;

// The input as a file in the process's scratch folder (made on first use,
// removed at exit; one per process, so that parallel runs never meet).
// While the object lives, that folder is the working folder, so that a
// file named by a stored relative name lands there too; when it goes,
// everything in the folder is removed and the working folder is set back.
// Every input thus starts from an empty folder, as a reproduction does.
class InputFile {
 public:
  InputFile(const uint8_t* data, size_t size, const char* name = "input.dat");
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // False when the folder or the file could not be made: the target then
  // does nothing with this input.
  bool ok() const { return ok_; }
  // The file's name, relative to the working folder.
  const char* name() const { return name_.c_str(); }

 private:
  std::string name_;
  int outerFolder_;
  bool ok_;
};

// The uses a restored graph is put to after its restore: hashing, comparing
// with itself, sizing, and for a persistent object counting and deep
// copying; a stage passes a change on and processes commands, and a
// command is processed by a stage. Storing it back is the caller's, who
// knows the form.
void exerciseGraph(RWCollectable* root);

// A new stage of no behaviour of its own (the caller's), of a class
// registered with the factory: the concrete stages of the system are not
// built into every target, and stored stages must be read all the same.
GPeripheral* newStage(const RWCString& name, uint32_t id);

}  // namespace fuzz

#endif
