#include "ui/uires.h"

#include <vector>

#include "device/resmap.h"
#include "ui/session.h"

namespace uires {
namespace {

struct ModuleState {
  HMODULE plugin = 0;
  HMODULE resources = 0;
  uint16_t uses = 0;
};

ModuleState& state() {
  static ModuleState s;
  return s;
}

std::u16string terminated(const RWWString& text) { return std::u16string(text.data(), text.length()); }

}  // namespace

HMODULE pluginModule() { return state().plugin; }
void setPluginModule(HMODULE module) { state().plugin = module; }
HMODULE resourceModule() { return state().resources; }
uint16_t resourceUseCount() { return state().uses; }

bool loadResourceModule(const RWWString& name) {
  ModuleState& s = state();
  if (s.uses == 0) {
    s.resources = LoadLibraryW(terminated(name).c_str());
    // Counting a use without a handle would leave the module unloadable
    // for every later sheet: the count stays 0 and the next load retries.
    if (!s.resources) return false;
  }
  ++s.uses;
  return true;
}

void releaseResourceModule() {
  ModuleState& s = state();
  if (s.uses == 0) return;
  if (--s.uses == 0 && s.resources) {
    // A failing FreeLibrary leaves nothing for us to do: the handle is gone.
    (void)FreeLibrary(s.resources);
    s.resources = 0;
  }
}

int32_t loadResourceString(uint32_t id, RWWString& text) {
  char16_t buffer[256] = {};
  const int32_t n = LoadStringW(state().resources, id, buffer, 256);
  text = n > 0 ? RWWString(buffer, static_cast<size_t>(n)) : RWWString();
  return n > 0 ? n : 0;
}

int32_t messageBox(HWND owner, const RWWString& text, const RWWString& caption, UINT style) {
  return MessageBoxW(owner, terminated(text).c_str(), terminated(caption).c_str(), style);
}

void setItemTextIfDifferent(HWND dialog, int32_t item, const RWWString& text) {
  const HWND window = GetDlgItem(dialog, item);
  const int32_t length = GetWindowTextLengthW(window);
  std::vector<char16_t> current(static_cast<size_t>(length > 0 ? length : 0) + 1, 0);
  const int32_t got = GetWindowTextW(window, current.data(), static_cast<int32_t>(current.size()));
  if (got == static_cast<int32_t>(text.length()) &&
      std::u16string(current.data(), static_cast<size_t>(got)) == terminated(text))
    return;
  SetWindowTextW(window, terminated(text).c_str());
}

// ------------------------------------------------------------------ bitmaps

namespace {

HBITMAP loadBitmap(uint16_t id) { return id ? LoadBitmapW(state().resources, MAKEINTRESOURCEW(id)) : 0; }

SIZE sizeOf(HBITMAP bitmap) {
  BITMAP info;
  SIZE size;
  if (bitmap && GetObjectW(bitmap, sizeof(info), &info) > 0) size = SIZE{info.bmWidth, info.bmHeight};
  return size;
}

// The bitmap's size and origin in the logical units of the DC.
void toLogical(HDC dc, int32_t& x, int32_t& y, SIZE& size) {
  POINT points[2] = {{x, y}, {x + size.cx, y + size.cy}};
  if (DPtoLP(dc, points, 2)) {
    x = points[0].x, y = points[0].y;
    size = SIZE{points[1].x - points[0].x, points[1].y - points[0].y};
  }
}

}  // namespace

RECT bitmapSize(uint16_t id) {
  RECT r;
  const HBITMAP bitmap = loadBitmap(id);
  if (!bitmap) return r;
  const SIZE s = sizeOf(bitmap);
  r.right = s.cx, r.bottom = s.cy;
  DeleteObject(bitmap);
  return r;
}

void fillWithButtonFace(HDC dc, const RECT& rect) {
  POINT points[2] = {{rect.left, rect.top}, {rect.right, rect.bottom}};
  (void)DPtoLP(dc, points, 2);
  const RECT logical{points[0].x, points[0].y, points[1].x, points[1].y};
  FillRect(dc, &logical, GetSysColorBrush(COLOR_BTNFACE));
}

void drawBitmapPlain(HWND window, int32_t x, int32_t y, uint16_t id) {
  const HBITMAP bitmap = loadBitmap(id);
  if (!bitmap) return;
  const HDC dc = GetDC(window);
  const HDC memory = CreateCompatibleDC(dc);
  const HGDIOBJ old = SelectObject(memory, bitmap);
  SIZE size = sizeOf(bitmap);
  toLogical(dc, x, y, size);
  BitBlt(dc, x, y, size.cx, size.cy, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(window, dc);
  DeleteObject(bitmap);
}

void drawBitmapOnFace(HWND window, int32_t x, int32_t y, uint16_t id) {
  const HBITMAP bitmap = loadBitmap(id);
  if (!bitmap) return;
  RECT client;
  GetClientRect(window, &client);
  const SIZE size = sizeOf(bitmap);
  const HDC dc = GetDC(window);
  const HDC area = CreateCompatibleDC(dc);
  const HBITMAP areaBits = CreateCompatibleBitmap(dc, client.right, client.bottom);
  const HGDIOBJ oldArea = SelectObject(area, areaBits);
  fillWithButtonFace(area, client);
  const HDC source = CreateCompatibleDC(dc);
  const HGDIOBJ oldSource = SelectObject(source, bitmap);
  // The bitmap's own background becomes the button face.
  const HGDIOBJ oldBrush = SelectObject(source, GetSysColorBrush(COLOR_BTNFACE));
  ExtFloodFill(source, 0, 0, RGB(192, 192, 192), FLOODFILLSURFACE);
  SelectObject(source, oldBrush);
  BitBlt(area, x, y, size.cx, size.cy, source, 0, 0, SRCCOPY);
  BitBlt(dc, 0, 0, client.right, client.bottom, area, 0, 0, SRCCOPY);
  SelectObject(source, oldSource);
  DeleteDC(source);
  SelectObject(area, oldArea);
  DeleteObject(areaBits);
  DeleteDC(area);
  ReleaseDC(window, dc);
  DeleteObject(bitmap);
}

void drawBitmapMasked(HWND window, int32_t x, int32_t y, uint16_t id, uint16_t maskId) {
  const HBITMAP bitmap = loadBitmap(id);
  if (!bitmap) return;
  HBITMAP mask = maskId != 0 ? loadBitmap(maskId) : 0;
  if (maskId != 0 && !mask) {
    // A named mask that does not load would show the bitmap's background
    // as garbage: nothing is drawn instead.
    DeleteObject(bitmap);
    return;
  }
  const SIZE size = sizeOf(bitmap);
  const HDC dc = GetDC(window);
  if (maskId == 0) {
    // A mask made from the bitmap: its background region, flood-filled
    // with a colour of its own, becomes 1 and everything else 0.
    const HDC copyDc = CreateCompatibleDC(dc);
    const HBITMAP copyBits = CreateCompatibleBitmap(dc, size.cx, size.cy);
    const HGDIOBJ oldCopy = SelectObject(copyDc, copyBits);
    const HDC source = CreateCompatibleDC(dc);
    const HGDIOBJ oldSource = SelectObject(source, bitmap);
    BitBlt(copyDc, 0, 0, size.cx, size.cy, source, 0, 0, SRCCOPY);
    SelectObject(source, oldSource);
    DeleteDC(source);
    const HBRUSH marker = CreateSolidBrush(RGB(128, 128, 0));
    const HGDIOBJ oldBrush = SelectObject(copyDc, marker);
    ExtFloodFill(copyDc, 0, 0, RGB(192, 192, 192), FLOODFILLSURFACE);
    SelectObject(copyDc, oldBrush);
    DeleteObject(marker);
    mask = CreateBitmap(size.cx, size.cy, 1, 1, nullptr);
    const HDC maskDc = CreateCompatibleDC(dc);
    const HGDIOBJ oldMask = SelectObject(maskDc, mask);
    SetBkColor(copyDc, RGB(128, 128, 0));
    BitBlt(maskDc, 0, 0, size.cx, size.cy, copyDc, 0, 0, SRCCOPY);
    SelectObject(maskDc, oldMask);
    DeleteDC(maskDc);
    SelectObject(copyDc, oldCopy);
    DeleteObject(copyBits);
    DeleteDC(copyDc);
  }
  if (!mask) {
    ReleaseDC(window, dc);
    DeleteObject(bitmap);
    return;
  }
  const HDC buffer = CreateCompatibleDC(dc);
  const HBITMAP bufferBits = CreateCompatibleBitmap(dc, size.cx, size.cy);
  const HGDIOBJ oldBuffer = SelectObject(buffer, bufferBits);
  const HDC image = CreateCompatibleDC(dc);
  const HGDIOBJ oldImage = SelectObject(image, bitmap);
  const HDC maskDc = CreateCompatibleDC(dc);
  const HGDIOBJ oldMask = SelectObject(maskDc, mask);
  BitBlt(buffer, 0, 0, size.cx, size.cy, dc, x, y, SRCCOPY);
  BitBlt(buffer, 0, 0, size.cx, size.cy, image, 0, 0, SRCINVERT);
  BitBlt(buffer, 0, 0, size.cx, size.cy, maskDc, 0, 0, SRCAND);
  BitBlt(buffer, 0, 0, size.cx, size.cy, image, 0, 0, SRCINVERT);
  BitBlt(dc, x, y, size.cx, size.cy, buffer, 0, 0, SRCCOPY);
  SelectObject(maskDc, oldMask);
  DeleteDC(maskDc);
  SelectObject(image, oldImage);
  DeleteDC(image);
  SelectObject(buffer, oldBuffer);
  DeleteObject(bufferBits);
  DeleteDC(buffer);
  ReleaseDC(window, dc);
  DeleteObject(mask);
  DeleteObject(bitmap);
}

void drawBitmapAligned(HWND window, uint16_t id, uint16_t maskId, int32_t alignment, int32_t style) {
  RECT client;
  GetClientRect(window, &client);
  const RECT b = bitmapSize(id);
  const int32_t w = client.right, h = client.bottom, bw = b.right, bh = b.bottom;
  int32_t x = 0, y = 0;
  switch (alignment) {
    case 0: x = (w - bw) / 2, y = (h - bh) / 2; break;
    case 1: y = (h - bh) / 2; break;
    case 2: x = (w - bw) / 2; break;
    default: break;
  }
  if (style == 1) {
    drawBitmapOnFace(window, x, y, id);
  } else if (style == 2) {
    drawBitmapMasked(window, x, y, id, maskId);
  } else {
    drawBitmapPlain(window, x, y, id);
  }
}

// ------------------------------------------------------------ value tables

uint16_t twoStateA(uint16_t v) { return v <= 1 ? static_cast<uint16_t>(11301 + v) : kNoString; }
uint16_t sixState(uint16_t v) { return v >= 7 && v <= 12 ? static_cast<uint16_t>(13000 + v - 7) : kNoString; }
uint16_t inputSourceName(uint16_t v) {
  switch (v) {
    case 0: return 11150;
    case 2: return 11155;
    case 3: return 11159;
    case 4: return 11158;
    case 5: return 11157;
    default: return kNoString;
  }
}
uint16_t sevenState(uint16_t v) {
  if (v <= 3) return static_cast<uint16_t>(12120 + v);
  if (v <= 6) return static_cast<uint16_t>(12130 + v - 4);
  return kNoString;
}
uint16_t elevenState(uint16_t v) {
  if (v <= 8) return static_cast<uint16_t>(11032 + v);
  if (v <= 10) return static_cast<uint16_t>(13524 + v - 9);
  return kNoString;
}
uint16_t fourState(uint16_t v) { return v <= 3 ? static_cast<uint16_t>(11047 + v) : kNoString; }
uint16_t twoStateB(uint16_t v) { return v <= 1 ? static_cast<uint16_t>(11351 + v) : kNoString; }

namespace {
uint16_t resourceIdIn(const GResourceMappingList* list, int16_t code) {
  const GResourceMapping* m = list ? list->findBySecondCode(code) : nullptr;
  return m ? static_cast<uint16_t>(m->resourceId()) : kNoString;
}
}  // namespace

uint16_t resourceIdForCode(int16_t code, const GUISession& session) {
  return resourceIdIn(session.codeMappings(), code);
}
uint16_t resourceIdForStoredCode(int16_t code, const GUISession& session) {
  return resourceIdIn(session.storedMappings(), code);
}

bool isBinNumberInRange(uint16_t n) { return n >= 8 && n <= 16; }

}  // namespace uires
