#ifndef HOST_ENGINE_INTERNAL_H
#define HOST_ENGINE_INTERNAL_H

// What the engine's source files share and the driver never sees: the one
// lock, the registry of live objects, the misuse report and the state of an
// enabled PDEV.

#include <mutex>
#include <string>
#include <vector>

#include "host/engine/engine.h"

namespace eng::detail {

// Guards every table of the engine. Re-entrant, because a service may call
// the driver (BRUSHOBJ_pvGetRbrush calls DrvRealizeBrush) and the driver
// calls services again.
std::recursive_mutex& lock();

enum class Kind { Surface, Palette, Clip, Path, Module, Image, File, Device, Count };

// Every object the engine hands out is registered under its kind until it
// is given back; a handle that is not registered is misuse. Pool blocks and
// semaphores are kept apart from these tables (services.cpp): a driver's
// operator new may sit on the pool, and its heap lock is a semaphore.
void track(Kind kind, const void* object);
bool untrack(Kind kind, const void* object);
bool tracked(Kind kind, const void* object);
long count(Kind kind);

void reportMisuse(const std::string& what);

// The engine's own memory is not the driver's pool. In a host whose
// operator new sits on the pool (the kernel tests), what the engine
// allocates for itself while one of these is alive on the thread is served
// past the pool's limit and is not counted among its live blocks.
class OwnMemory {
 public:
  OwnMemory();
  ~OwnMemory();
  OwnMemory(const OwnMemory&) = delete;
  OwnMemory& operator=(const OwnMemory&) = delete;
};

// Around a call back into the driver: what it allocates is its own again.
class DriverMemory {
 public:
  DriverMemory();
  ~DriverMemory();
  DriverMemory(const DriverMemory&) = delete;
  DriverMemory& operator=(const DriverMemory&) = delete;

 private:
  int saved_;
};

// The engine's record of an enabled PDEV; HDEV points at one.
struct Device {
  HANDLE printer = nullptr;
  DHPDEV dhpdev = nullptr;
  int pagesSent = 0;
};
// The device of an HDEV, or null (reported) when it is not one.
Device* deviceOf(HDEV hdev, const char* service);

// Spool jobs: the player opens one before DrvStartDoc and closes it after
// DrvEndDoc; EngWritePrinter appends to it. openJob answers the job id, 0
// when the job file cannot be made.
DWORD openJob(HANDLE printer);
void closeJob(HANDLE printer);
bool printerKnown(HANDLE printer);
std::u16string printerName(HANDLE printer);
std::u16string printerPort(HANDLE printer);

// The host path and NT name the loaded driver image came from.
void setDriverImage(const std::u16string& ntPath);
std::u16string driverImage();

// Objects the player makes for a drawing call and takes back afterwards.
CLIPOBJ* makeClip(const std::vector<RECTL>& rects, SIZEL page);
BRUSHOBJ* makeBrush(ULONG color, ULONG hatch, PFN_DrvRealizeBrush realize, SURFOBJ* target);
void freeBrush(BRUSHOBJ* pbo);
FONTOBJ* makeFont();
void freeFont(FONTOBJ* pfo);
STROBJ* makeString(const std::u16string& text, FONTOBJ* pfo, POINTL origin, ULONG codePage);
void freeString(STROBJ* pstro);
PATHOBJ* makeBoxPath(const RECTL& box);

// What the engine knows of a surface; false when hsurf is none of its own.
struct SurfaceInfo {
  SURFOBJ* so = nullptr;
  FLONG hooks = 0;
  bool associated = false;
  bool banding = false;
};
bool surfaceInfo(HSURF hsurf, SurfaceInfo& info);

// Text helpers.
std::u16string widen(const std::string& ascii);
std::string narrow(const std::u16string& text);  // 1252, '?' for what it cannot hold
std::u16string fromZ(const WCHAR* text);

// Forgets the recorded ZwCreateFile call and module sizes (reset()).
void forgetFileCalls();

// Code page 1252, the engine's own table.
char16_t ansiToUnicode(unsigned char byte);
int unicodeToAnsi(char16_t c);  // -1: not in the code page

}  // namespace eng::detail

#endif
