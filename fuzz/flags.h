#ifndef FUZZ_FLAGS_H
#define FUZZ_FLAGS_H

// The libFuzzer flags every target's LLVMFuzzerInitialize passes on: crash
// files are written while a target may have a scratch folder as its working
// folder, so their place is made absolute against the folder the run
// started in. Kept apart from common.cpp so that the kernel build's targets,
// which link none of the user-mode library, share it too.

namespace fuzz {

// Rewrites argc/argv in place (the new vector lives for the process).
void placeArtifacts(int* argc, char*** argv);

}  // namespace fuzz

#endif
