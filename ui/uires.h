#ifndef UI_UIRES_H
#define UI_UIRES_H

// The plug-in's side of the resource module and the windows: the module
// handles, strings, message boxes, item texts, bitmaps drawn from the
// module, and the small tables from a value to the string that names it.
//
// The resource module is shared by every sheet of the process through a use
// count. A use is counted only while a handle is held: a load that fails
// leaves the count as it was, so the next sheet tries again.

#include <cstdint>

#include "host/uihost/win32ui.h"
#include "rw/wstring.h"

class GUISession;

namespace uires {

// The plug-in's own module (from the entry point) and the resource module.
HMODULE pluginModule();
void setPluginModule(HMODULE module);
HMODULE resourceModule();
uint16_t resourceUseCount();
// True when a handle is held afterwards; the use is counted only then.
bool loadResourceModule(const RWWString& name);
void releaseResourceModule();

// The string (at most 256 units) and its length; 0 and empty when missing.
int32_t loadResourceString(uint32_t id, RWWString& text);
int32_t messageBox(HWND owner, const RWWString& text, const RWWString& caption, UINT style);
// SetWindowTextW only when the item shows another text.
void setItemTextIfDifferent(HWND dialog, int32_t item, const RWWString& text);

// Bitmaps of the resource module. A bitmap (or a mask named by a non-zero
// id) that does not load draws nothing.
RECT bitmapSize(uint16_t id);
void fillWithButtonFace(HDC dc, const RECT& rect);
void drawBitmapPlain(HWND window, int32_t x, int32_t y, uint16_t id);
void drawBitmapOnFace(HWND window, int32_t x, int32_t y, uint16_t id);
void drawBitmapMasked(HWND window, int32_t x, int32_t y, uint16_t id, uint16_t maskId);
// Alignment 0 centred, 1 left and centred vertically, 2 top and centred
// across, other: the corner. Style 1 on the button face, 2 masked, other
// plain.
void drawBitmapAligned(HWND window, uint16_t id, uint16_t maskId, int32_t alignment, int32_t style);

// The string ids that name values; kNoString for any other value.
constexpr uint16_t kNoString = 0xFFFF;
uint16_t twoStateA(uint16_t value);
uint16_t sixState(uint16_t value);
uint16_t inputSourceName(uint16_t value);
uint16_t sevenState(uint16_t value);
uint16_t elevenState(uint16_t value);
uint16_t fourState(uint16_t value);
uint16_t twoStateB(uint16_t value);
// The resource id of the code mapping whose second code is the code.
uint16_t resourceIdForCode(int16_t code, const GUISession& session);
uint16_t resourceIdForStoredCode(int16_t code, const GUISession& session);
bool isBinNumberInRange(uint16_t n);

}  // namespace uires

#endif
