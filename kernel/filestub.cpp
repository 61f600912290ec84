// Stand-in for the kernel file layer until it is built: no file opens.

#include "rw/kmsys.h"

std::string KMHostPath(const char* name) { return name ? name : ""; }
KMFILE* KMMapFileOpen(const char*, const char*) { return nullptr; }
int KMFileClose(KMFILE*) { return -1; }
size_t KMFileRead(void*, size_t, size_t, KMFILE*) { return 0; }
size_t KMFileWrite(const void*, size_t, size_t, KMFILE*) { return 0; }
int KMFileGetc(KMFILE*) { return -1; }
int KMFileUngetc(int, KMFILE*) { return -1; }
int KMFileFlush(KMFILE*) { return -1; }
int64_t KMFileTell(KMFILE*) { return -1; }
int KMFileSeek(KMFILE*, int64_t, int) { return -1; }
void KMFileClearError(KMFILE*) {}
uint32_t KMFileFlags(KMFILE*) { return KMFILE_ERR; }
int KMFileDelete(const char*) { return -1; }
bool KMFileCanWrite(const char*) { return false; }
bool kmLoadNativeTable() { return true; }
void kmUnloadNativeTable() {}
