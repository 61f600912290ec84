#ifndef RW_RWFILE_H
#define RW_RWFILE_H

// The library's binary file.
//
// An open file with its name and the mode it was opened with, and one Read
// and one Write for every scalar type and for arrays of them. Values are
// stored as their little-endian bytes at their fixed width: char 1, short
// and 16-bit characters 2, int and float 4, double 8. The library's "long"
// values are 32-bit; the platform's long, the 64-bit integers, wchar_t and
// bool have no width a stored file could agree on, so their overloads are
// deleted and such a value has to be converted explicitly before it is
// written.
//
// Nothing is reported through the error handler: every operation answers 0
// (false) on failure and leaves the end-of-file and error flags for Eof and
// Error. An object whose file could not be opened (or could not be opened
// again by Erase) behaves as not open: every operation fails and Error
// answers true.

#include <new>

#include "rw/defs.h"

struct KMFILE;

class RWFile {
 public:
  // Opens name with a stdio-style mode text ("rb", "rb+", "wb+", "ab" ...).
  // A null mode opens an existing file for update ("rb+") and otherwise
  // creates it ("wb+"); Access answers the mode that was used.
  explicit RWFile(const char* name, const char* mode = nullptr);
  virtual ~RWFile();
  RWFile(const RWFile&) = delete;
  RWFile& operator=(const RWFile&) = delete;

  const char* GetName() const { return name_; }
  const char* Access() const { return mode_; }
  RWBoolean isValid() const { return file_ != nullptr; }
  // The file layer's handle (null when not open), for error reports that
  // carry it.
  KMFILE* GetHandle() const { return file_; }

  // True when the file exists and can be opened for update.
  static RWBoolean Exists(const char* name);
  // True when every access asked for can be had, without creating or
  // changing anything: 4 read, 2 write, 0 either of them. Execute (1) is
  // never granted.
  static RWBoolean Exists(const char* name, int mode);

  RWoffset CurOffset() const;  // -1 when not open or past 2 GB
  RWBoolean SeekTo(RWoffset offset);
  RWBoolean SeekToEnd();
  RWBoolean Eof() const;
  RWBoolean Error() const;
  void ClearErr();
  RWBoolean Flush();
  // True when the file holds nothing: the offset is 0 and no byte can be
  // read there. Leaves the offset and the flags as they were.
  RWBoolean IsEmpty();
  // Empties the file: closes it, deletes it and creates it again ("wb+").
  // When the close or the delete fails the object is left not open.
  RWBoolean Erase();

  // ---- reads: nonzero exactly when every item was read ---------------------
  RWBoolean Read(char& v) { return readItems(&v, 1, 1); }
  RWBoolean Read(signed char& v) { return readItems(&v, 1, 1); }
  RWBoolean Read(unsigned char& v) { return readItems(&v, 1, 1); }
  RWBoolean Read(short& v) { return readItems(&v, 2, 1); }
  RWBoolean Read(unsigned short& v) { return readItems(&v, 2, 1); }
  RWBoolean Read(char16_t& v) { return readItems(&v, 2, 1); }
  RWBoolean Read(int& v) { return readItems(&v, 4, 1); }
  RWBoolean Read(unsigned int& v) { return readItems(&v, 4, 1); }
  RWBoolean Read(float& v) { return readItems(&v, 4, 1); }
  RWBoolean Read(double& v) { return readItems(&v, 8, 1); }

  RWBoolean Read(char* p, RWsize n) { return readItems(p, 1, n); }
  RWBoolean Read(signed char* p, RWsize n) { return readItems(p, 1, n); }
  RWBoolean Read(unsigned char* p, RWsize n) { return readItems(p, 1, n); }
  RWBoolean Read(short* p, RWsize n) { return readItems(p, 2, n); }
  RWBoolean Read(unsigned short* p, RWsize n) { return readItems(p, 2, n); }
  RWBoolean Read(char16_t* p, RWsize n) { return readItems(p, 2, n); }
  RWBoolean Read(int* p, RWsize n) { return readItems(p, 4, n); }
  RWBoolean Read(unsigned int* p, RWsize n) { return readItems(p, 4, n); }
  RWBoolean Read(float* p, RWsize n) { return readItems(p, 4, n); }
  RWBoolean Read(double* p, RWsize n) { return readItems(p, 8, n); }

  // Reads a zero-terminated text into buf, which holds size bytes: at most
  // size - 1 characters, and buf is always terminated (size 0 stores
  // nothing). Nonzero when the text's zero byte was read; 0 when the bound
  // or the end of the file came first, with the characters read so far in
  // buf. The file is left just after the bytes taken into buf (and the zero
  // byte, when one was read).
  RWBoolean ReadText(char* buf, RWsize size);

  // Reads one value into a new object that the caller owns; null when the
  // value could not be read. The file type is a parameter so that the
  // constraint is checked where ReadNew is used, once RWFile is complete.
  template <class T, class File = RWFile>
    requires requires(File& f, T& v) { f.Read(v); }
  T* ReadNew() {
    T* v = new (std::nothrow) T();
    if (v && !Read(*v)) {
      delete v;
      v = nullptr;
    }
    return v;
  }

  // ---- writes: nonzero exactly when every item was written -----------------
  RWBoolean Write(char v) { return writeItems(&v, 1, 1); }
  RWBoolean Write(signed char v) { return writeItems(&v, 1, 1); }
  RWBoolean Write(unsigned char v) { return writeItems(&v, 1, 1); }
  RWBoolean Write(short v) { return writeItems(&v, 2, 1); }
  RWBoolean Write(unsigned short v) { return writeItems(&v, 2, 1); }
  RWBoolean Write(char16_t v) { return writeItems(&v, 2, 1); }
  RWBoolean Write(int v) { return writeItems(&v, 4, 1); }
  RWBoolean Write(unsigned int v) { return writeItems(&v, 4, 1); }
  RWBoolean Write(float v) { return writeItems(&v, 4, 1); }
  RWBoolean Write(double v) { return writeItems(&v, 8, 1); }

  RWBoolean Write(const char* p, RWsize n) { return writeItems(p, 1, n); }
  RWBoolean Write(const signed char* p, RWsize n) { return writeItems(p, 1, n); }
  RWBoolean Write(const unsigned char* p, RWsize n) { return writeItems(p, 1, n); }
  RWBoolean Write(const short* p, RWsize n) { return writeItems(p, 2, n); }
  RWBoolean Write(const unsigned short* p, RWsize n) { return writeItems(p, 2, n); }
  RWBoolean Write(const char16_t* p, RWsize n) { return writeItems(p, 2, n); }
  RWBoolean Write(const int* p, RWsize n) { return writeItems(p, 4, n); }
  RWBoolean Write(const unsigned int* p, RWsize n) { return writeItems(p, 4, n); }
  RWBoolean Write(const float* p, RWsize n) { return writeItems(p, 4, n); }
  RWBoolean Write(const double* p, RWsize n) { return writeItems(p, 8, n); }

  // Writes the characters of a zero-terminated text and its zero byte.
  RWBoolean Write(const char* text);

  // ---- no stored width: convert to a 32-bit or 16-bit type first ----------
  RWBoolean Read(long&) = delete;
  RWBoolean Read(unsigned long&) = delete;
  RWBoolean Read(long long&) = delete;
  RWBoolean Read(unsigned long long&) = delete;
  RWBoolean Read(wchar_t&) = delete;
  RWBoolean Read(long*, RWsize) = delete;
  RWBoolean Read(unsigned long*, RWsize) = delete;
  RWBoolean Read(long long*, RWsize) = delete;
  RWBoolean Read(unsigned long long*, RWsize) = delete;
  RWBoolean Read(wchar_t*, RWsize) = delete;
  RWBoolean Write(long) = delete;
  RWBoolean Write(unsigned long) = delete;
  RWBoolean Write(long long) = delete;
  RWBoolean Write(unsigned long long) = delete;
  RWBoolean Write(wchar_t) = delete;
  RWBoolean Write(bool) = delete;
  RWBoolean Write(const long*, RWsize) = delete;
  RWBoolean Write(const unsigned long*, RWsize) = delete;
  RWBoolean Write(const long long*, RWsize) = delete;
  RWBoolean Write(const unsigned long long*, RWsize) = delete;
  RWBoolean Write(const wchar_t*, RWsize) = delete;
  RWBoolean Write(const wchar_t*) = delete;

 private:
  RWBoolean readItems(void* p, RWsize itemSize, RWsize n);
  RWBoolean writeItems(const void* p, RWsize itemSize, RWsize n);
  void setMode(const char* mode);

  char* name_;
  char mode_[9];  // the mode text, at most 8 characters
  KMFILE* file_;
};

#endif
