#ifndef KERNEL_STREAMNT_H
#define KERNEL_STREAMNT_H

// The kernel-mode driver's stream holders: a virtual stream of one of the
// three formats (GStreamFormat) over a memory block, a file the engine maps
// as a module, or a file written through the kernel file layer. A holder
// whose stream could not be made still exists; its stream() is null and its
// position() answers uint32_t(-1).

#include <cstdint>
#include <memory>

#include "core/osfactry.h"
#include "host/engine/ddi.h"

class GInputStreamNT : public GInputStream {
 public:
  // Reads the caller's block in place; the block must outlive the holder.
  GInputStreamNT(const void* data, uint32_t length, int32_t format);
  // Maps the whole file and reads it in place; the mapping lasts as long
  // as the holder.
  GInputStreamNT(const RWWString& path, int32_t format);
  ~GInputStreamNT() override;

  RWvistream* stream() override;
  uint32_t position() override;

 private:
  // The engine's module of a mapped file; null over memory.
  HANDLE module_ = nullptr;
  std::unique_ptr<GStdInputStream> holder_;
};

class GOutputStreamNT : public GOutputStream {
 public:
  // Writes into the caller's block, which never grows: a write past its
  // end fails.
  GOutputStreamNT(void* buffer, uint32_t size, int32_t format);
  // Creates or empties the file (permission 0644) and writes it.
  GOutputStreamNT(const RWWString& path, int32_t format);
  ~GOutputStreamNT() override;

  RWvostream* stream() override;
  uint32_t position() override;

 private:
  std::unique_ptr<GStdOutputStream> holder_;
};

#endif
