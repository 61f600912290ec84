// Drawing, recorded: a table of DCs and drawing objects, and one log line
// per call naming the DC's selections. No pixel is made here.

#include <algorithm>

#include "host/uihost/state.h"

namespace uihost {

namespace {

const DWORD systemColours[] = {
    0xC0C0C0, 0x808000, 0x800000, 0x808080, 0xC0C0C0, 0xFFFFFF, 0x000000, 0x000000, 0x000000, 0xFFFFFF,
    0xC0C0C0, 0xC0C0C0, 0x808080, 0x800000, 0xFFFFFF, 0xC0C0C0, 0x808080, 0x808080, 0x000000, 0xC0C0C0,
    0xFFFFFF, 0x000000, 0xDFDFDF, 0x000000, 0xE1FFFF};

HGDIOBJ addObject(GdiObject o) {
  const HGDIOBJ h = newHandle();
  desk().gdi.emplace(h, std::move(o));
  return h;
}

GdiObject* objectFor(HGDIOBJ h, const char* call, const char* kind = nullptr) {
  auto o = desk().gdi.find(h);
  if (o == desk().gdi.end() || (kind && o->second.kind != kind)) {
    misused(std::string(call) + " on a closed or unknown " + (kind ? kind : "object") + " " + hex(h));
    return nullptr;
  }
  return &o->second;
}

HGDIOBJ stockObject(int32_t which) {
  auto s = desk().stock.find(which);
  if (s != desk().stock.end()) return s->second;
  GdiObject o;
  o.stock = true;
  if (which == -1) {  // the one-pixel bitmap a memory DC starts with
    o.kind = "bitmap";
    o.width = o.height = 1;
    o.bits = 1;
  } else if (which <= NULL_BRUSH) {
    static const COLORREF colours[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000, 0};
    o.kind = "brush";
    o.colour = colours[which];
    o.style = which == NULL_BRUSH;
  } else if (which <= NULL_PEN) {
    o.kind = "pen";
    o.colour = which == WHITE_PEN ? 0xFFFFFF : 0;
    o.style = which == NULL_PEN ? PS_NULL : PS_SOLID;
  } else if (which >= 0x100) {  // a system colour's brush
    o.kind = "brush";
    o.colour = GetSysColor(which - 0x100);
  } else {
    o.kind = "font";
    o.logFont.lfHeight = 13;
    const char16_t* face = which == DEFAULT_GUI_FONT ? u"MS Sans Serif" : u"System";
    std::copy(face, face + std::char_traits<char16_t>::length(face), o.logFont.lfFaceName);
  }
  const HGDIOBJ h = addObject(o);
  desk().stock[which] = h;
  return h;
}

std::string selections(HDC dc) {
  const GdiObject& d = desk().gdi[dc];
  return "dc=" + hex(dc) + " pen=" + hex(d.pen) + " brush=" + hex(d.brush) + " font=" + hex(d.font) +
         " bitmap=" + hex(d.bitmap);
}

// The DC for a drawing call, logged with its selections; null refused.
GdiObject* drawOn(HDC dc, const char* call, const std::string& arguments) {
  GdiObject* d = objectFor(dc, call, "dc");
  if (d) note(std::string("gdi ") + call + " " + selections(dc) + (arguments.empty() ? "" : " " + arguments));
  return d;
}

std::string numbers(std::initializer_list<int64_t> values) {
  std::string s;
  for (int64_t v : values) s += (s.empty() ? "" : ",") + std::to_string(v);
  return s;
}

HDC newDC(HWND window, bool memory) {
  GdiObject d;
  d.kind = "dc";
  d.window = window;
  d.memory = memory;
  d.pen = stockObject(BLACK_PEN);
  d.brush = stockObject(WHITE_BRUSH);
  d.font = stockObject(SYSTEM_FONT);
  d.bitmap = memory ? stockObject(-1) : 0;
  return addObject(d);
}

bool selectedSomewhere(HGDIOBJ h) {
  for (auto& [k, o] : desk().gdi)
    if (o.kind == "dc" && (o.pen == h || o.brush == h || o.font == h || o.bitmap == h)) return true;
  return false;
}

}  // namespace

void reportLeakedDCs(HWND window) {
  const std::vector<HWND> list = subtree(window);
  const std::set<HWND> tree(list.begin(), list.end());
  for (auto o = desk().gdi.begin(); o != desk().gdi.end();) {
    if (o->second.kind == "dc" && !o->second.memory &&
        tree.count(o->second.window)) {
      misused("leaked DC " + hex(o->first) + " of window " + hex(o->second.window));
      desk().closed.insert(o->first);
      o = desk().gdi.erase(o);
    } else {
      ++o;
    }
  }
}

void resetGdi() {
  desk().gdi.clear();
  desk().stock.clear();
}

}  // namespace uihost

using namespace uihost;

DWORD GetSysColor(int32_t index) {
  return index >= 0 && index < static_cast<int32_t>(std::size(systemColours)) ? systemColours[index] : 0;
}

HBRUSH GetSysColorBrush(int32_t index) {
  if (index < 0 || index >= static_cast<int32_t>(std::size(systemColours))) return 0;
  return stockObject(0x100 + index);
}

HDC GetDC(HWND window) {
  if (window && !windowFor(window, "GetDC")) return 0;
  const HDC dc = newDC(window, false);
  note("gdi GetDC " + hex(window) + " -> " + hex(dc));
  return dc;
}

int32_t ReleaseDC(HWND window, HDC dc) {
  GdiObject* d = objectFor(dc, "ReleaseDC", "dc");
  if (!d) return 0;
  if (d->memory || d->window != window) {
    misused("ReleaseDC of " + hex(dc) + ", which GetDC did not give for window " + hex(window));
    return 0;
  }
  note("gdi ReleaseDC " + hex(dc));
  desk().gdi.erase(dc);
  desk().closed.insert(dc);
  return 1;
}

HDC CreateCompatibleDC(HDC dc) {
  if (dc && !objectFor(dc, "CreateCompatibleDC", "dc")) return 0;
  const HDC memory = newDC(0, true);
  note("gdi CreateCompatibleDC " + hex(dc) + " -> " + hex(memory));
  return memory;
}

BOOL DeleteDC(HDC dc) {
  GdiObject* d = objectFor(dc, "DeleteDC", "dc");
  if (!d) return 0;
  if (!d->memory) {
    misused("DeleteDC of " + hex(dc) + ", which GetDC gave: ReleaseDC it");
    return 0;
  }
  note("gdi DeleteDC " + hex(dc));
  if (auto* b = desk().gdi.count(d->bitmap) ? &desk().gdi[d->bitmap] : nullptr) b->selectedIn = 0;
  desk().gdi.erase(dc);
  desk().closed.insert(dc);
  return 1;
}

HBITMAP CreateCompatibleBitmap(HDC dc, int32_t width, int32_t height) {
  GdiObject* d = objectFor(dc, "CreateCompatibleBitmap", "dc");
  if (!d || width <= 0 || height <= 0) return 0;
  GdiObject b;
  b.kind = "bitmap";
  b.width = width, b.height = height;
  // A memory DC's compatible bitmap has the depth of what it holds.
  b.bits = d->memory && desk().gdi.count(d->bitmap) ? desk().gdi[d->bitmap].bits : 24;
  const HBITMAP h = addObject(b);
  note("gdi CreateCompatibleBitmap " + hex(dc) + " " + numbers({width, height}) + " -> " + hex(h));
  return h;
}

HBITMAP CreateBitmap(int32_t width, int32_t height, UINT planes, UINT bitsPerPixel, const void*) {
  if (width <= 0 || height <= 0 || planes != 1 || (bitsPerPixel != 1 && bitsPerPixel != 24 && bitsPerPixel != 32))
    return 0;
  GdiObject b;
  b.kind = "bitmap";
  b.width = width, b.height = height, b.bits = bitsPerPixel;
  const HBITMAP h = addObject(b);
  note("gdi CreateBitmap " + numbers({width, height, bitsPerPixel}) + " -> " + hex(h));
  return h;
}

HPEN CreatePen(int32_t style, int32_t width, COLORREF colour) {
  GdiObject p;
  p.kind = "pen";
  p.style = style, p.penWidth = width, p.colour = colour;
  const HPEN h = addObject(p);
  note("gdi CreatePen " + numbers({style, width}) + " " + hex(colour) + " -> " + hex(h));
  return h;
}

HBRUSH CreateSolidBrush(COLORREF colour) {
  GdiObject b;
  b.kind = "brush";
  b.colour = colour;
  const HBRUSH h = addObject(b);
  note("gdi CreateSolidBrush " + hex(colour) + " -> " + hex(h));
  return h;
}

HFONT CreateFontIndirectW(const LOGFONTW* font) {
  if (!font) return 0;
  GdiObject f;
  f.kind = "font";
  f.logFont = *font;
  const HFONT h = addObject(f);
  note("gdi CreateFontIndirectW " + std::to_string(font->lfHeight) + " \"" +
       narrow(std::u16string(font->lfFaceName, std::find(font->lfFaceName, font->lfFaceName + 32, u'\0'))) + "\" -> " +
       hex(h));
  return h;
}

HGDIOBJ GetStockObject(int32_t which) {
  if (which < 0 || which > DEFAULT_GUI_FONT || which == 3 || (which > NULL_PEN && which < SYSTEM_FONT)) return 0;
  return stockObject(which);
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  GdiObject* d = objectFor(dc, "SelectObject", "dc");
  GdiObject* o = objectFor(object, "SelectObject");
  if (!d || !o) return 0;
  HGDIOBJ* slot = nullptr;
  if (o->kind == "pen") slot = &d->pen;
  else if (o->kind == "brush") slot = &d->brush;
  else if (o->kind == "font") slot = &d->font;
  else if (o->kind == "bitmap") {
    if (!d->memory) {
      misused("SelectObject of a bitmap into a window's DC " + hex(dc));
      return 0;
    }
    if (o->selectedIn && o->selectedIn != dc) {
      note("gdi SelectObject " + hex(object) + " into " + hex(dc) + ": held by " + hex(o->selectedIn) + " -> 0");
      return 0;
    }
    slot = &d->bitmap;
  }
  if (!slot) {
    misused("SelectObject of a " + o->kind + " " + hex(object));
    return 0;
  }
  const HGDIOBJ old = *slot;
  if (o->kind == "bitmap") {
    if (desk().gdi.count(old)) desk().gdi[old].selectedIn = 0;
    o->selectedIn = dc;
  }
  *slot = object;
  note("gdi SelectObject " + hex(object) + " " + selections(dc) + " -> " + hex(old));
  return old;
}

BOOL DeleteObject(HGDIOBJ object) {
  GdiObject* o = objectFor(object, "DeleteObject");
  if (!o) return 0;
  if (o->kind == "dc") {
    misused("DeleteObject of a DC " + hex(object));
    return 0;
  }
  if (o->stock) return 1;
  if (selectedSomewhere(object)) {
    misused("DeleteObject of " + hex(object) + ", which a DC holds");
    return 0;
  }
  note("gdi DeleteObject " + hex(object));
  desk().gdi.erase(object);
  desk().closed.insert(object);
  return 1;
}

int32_t GetObjectW(HGDIOBJ object, int32_t size, void* out) {
  GdiObject* o = objectFor(object, "GetObjectW");
  if (!o) return 0;
  if (o->kind == "bitmap") {
    if (!out) return sizeof(BITMAP);
    if (size < static_cast<int32_t>(sizeof(BITMAP))) return 0;
    BITMAP b;
    b.bmWidth = o->width, b.bmHeight = o->height, b.bmBitsPixel = static_cast<uint16_t>(o->bits);
    b.bmWidthBytes = ((o->width * static_cast<int32_t>(o->bits) + 15) / 16) * 2;
    *static_cast<BITMAP*>(out) = b;
    return sizeof(BITMAP);
  }
  if (o->kind == "font") {
    if (!out) return sizeof(LOGFONTW);
    if (size < static_cast<int32_t>(sizeof(LOGFONTW))) return 0;
    *static_cast<LOGFONTW*>(out) = o->logFont;
    return sizeof(LOGFONTW);
  }
  return 0;
}

BOOL MoveToEx(HDC dc, int32_t x, int32_t y, POINT* previous) {
  if (!drawOn(dc, "MoveToEx", numbers({x, y}))) return 0;
  if (previous) *previous = POINT{};
  return 1;
}
BOOL LineTo(HDC dc, int32_t x, int32_t y) { return drawOn(dc, "LineTo", numbers({x, y})) ? 1 : 0; }
BOOL Rectangle(HDC dc, int32_t l, int32_t t, int32_t r, int32_t b) {
  return drawOn(dc, "Rectangle", numbers({l, t, r, b})) ? 1 : 0;
}
BOOL Polygon(HDC dc, const POINT* points, int32_t count) {
  if (!points || count < 2) return 0;
  std::string args;
  for (int32_t i = 0; i < count; ++i) args += (i ? " " : "") + numbers({points[i].x, points[i].y});
  return drawOn(dc, "Polygon", args) ? 1 : 0;
}
int32_t FillRect(HDC dc, const RECT* r, HBRUSH brush) {
  if (!r || !objectFor(brush, "FillRect", "brush")) return 0;
  return drawOn(dc, "FillRect", numbers({r->left, r->top, r->right, r->bottom}) + " with=" + hex(brush)) ? 1 : 0;
}
int32_t FrameRect(HDC dc, const RECT* r, HBRUSH brush) {
  if (!r || !objectFor(brush, "FrameRect", "brush")) return 0;
  return drawOn(dc, "FrameRect", numbers({r->left, r->top, r->right, r->bottom}) + " with=" + hex(brush)) ? 1 : 0;
}
BOOL DrawFocusRect(HDC dc, const RECT* r) {
  if (!r) return 0;
  return drawOn(dc, "DrawFocusRect", numbers({r->left, r->top, r->right, r->bottom})) ? 1 : 0;
}
BOOL BitBlt(HDC dc, int32_t x, int32_t y, int32_t width, int32_t height, HDC source, int32_t sx, int32_t sy, DWORD rop) {
  if (source && !objectFor(source, "BitBlt", "dc")) return 0;
  return drawOn(dc, "BitBlt",
                numbers({x, y, width, height}) + " from=" + hex(source) + (source ? "/" + hex(desk().gdi[source].bitmap) : "") +
                    " " + numbers({sx, sy}) + " rop=" + hex(rop))
             ? 1
             : 0;
}
BOOL TextOutW(HDC dc, int32_t x, int32_t y, const char16_t* text, int32_t count) {
  if (!text || count < 0) return 0;
  return drawOn(dc, "TextOutW", numbers({x, y}) + " \"" + narrow(std::u16string(text, static_cast<size_t>(count))) + "\"")
             ? 1
             : 0;
}

// The GUI font's metrics: characters 6 wide, a space 4, 13 high.
BOOL GetTextExtentPoint32W(HDC dc, const char16_t* text, int32_t count, SIZE* size) {
  if (!objectFor(dc, "GetTextExtentPoint32W", "dc") || !size || count < 0 || (!text && count)) return 0;
  size->cx = 0;
  for (int32_t i = 0; i < count; ++i) size->cx += text[i] == u' ' ? 4 : 6;
  size->cy = 13;
  return 1;
}

COLORREF SetTextColor(HDC dc, COLORREF colour) {
  GdiObject* d = drawOn(dc, "SetTextColor", hex(colour));
  if (!d) return 0xFFFFFFFF;
  std::swap(d->textColour, colour);
  return colour;
}
COLORREF SetBkColor(HDC dc, COLORREF colour) {
  GdiObject* d = drawOn(dc, "SetBkColor", hex(colour));
  if (!d) return 0xFFFFFFFF;
  std::swap(d->backColour, colour);
  return colour;
}
int32_t SetBkMode(HDC dc, int32_t mode) {
  GdiObject* d = drawOn(dc, "SetBkMode", std::to_string(mode));
  if (!d) return 0;
  std::swap(d->backMode, mode);
  return mode;
}
int32_t SetMapMode(HDC dc, int32_t mode) {
  GdiObject* d = drawOn(dc, "SetMapMode", std::to_string(mode));
  if (!d || (mode != MM_TEXT && mode != MM_LOMETRIC)) return 0;
  std::swap(d->mapMode, mode);
  return mode;
}
int32_t GetMapMode(HDC dc) {
  GdiObject* d = objectFor(dc, "GetMapMode", "dc");
  return d ? d->mapMode : 0;
}

// MM_LOMETRIC: tenths of a millimetre at 96 pixels an inch, y upwards.
BOOL DPtoLP(HDC dc, POINT* points, int32_t count) {
  GdiObject* d = objectFor(dc, "DPtoLP", "dc");
  if (!d || !points || count < 0) return 0;
  if (d->mapMode == MM_LOMETRIC)
    for (int32_t i = 0; i < count; ++i) points[i] = POINT{points[i].x * 254 / 96, -points[i].y * 254 / 96};
  return 1;
}
BOOL LPtoDP(HDC dc, POINT* points, int32_t count) {
  GdiObject* d = objectFor(dc, "LPtoDP", "dc");
  if (!d || !points || count < 0) return 0;
  if (d->mapMode == MM_LOMETRIC)
    for (int32_t i = 0; i < count; ++i) points[i] = POINT{points[i].x * 96 / 254, -points[i].y * 96 / 254};
  return 1;
}
BOOL ExtFloodFill(HDC dc, int32_t x, int32_t y, COLORREF colour, UINT type) {
  return drawOn(dc, "ExtFloodFill", numbers({x, y}) + " " + hex(colour) + " type=" + std::to_string(type)) ? 1 : 0;
}

int32_t EnumFontFamiliesW(HDC dc, const char16_t* family, FONTENUMPROCW procedure, LPARAM parameter) {
  if (!objectFor(dc, "EnumFontFamiliesW", "dc") || !procedure) return 0;
  note("EnumFontFamiliesW \"" + narrow(textOf(family)) + "\"");
  int32_t last = 1;
  for (const FontFamily& f : desk().fonts) {
    const std::u16string face(f.font.lfFaceName, std::find(f.font.lfFaceName, f.font.lfFaceName + 32, u'\0'));
    if (family && fold(face) != fold(family)) continue;
    last = procedure(&f.font, &f.metrics, f.type, parameter);
    if (last == 0) break;
  }
  return last;
}
