// The engine's objects: surfaces, palettes, clip objects, paths, brushes,
// colour translations, transforms, software reals, strings and the one
// built-in raster font.
//
// Every object is plain data the driver may copy; what the engine keeps of
// it lies behind its engine field, so a copy reaches the same state.

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>

#include "host/engine/internal.h"

using namespace eng::detail;

namespace {

// ----------------------------------------------------------------- surfaces

struct Surface {
  SURFOBJ so{};
  FLONG hooks = 0;
  bool associated = false;
  bool banding = false;
  int locks = 0;
  std::vector<uint8_t> own;  // the bits, unless the caller gave them
};

Surface* surfaceOf(HSURF h) { return tracked(Kind::Surface, h) ? reinterpret_cast<Surface*>(h) : nullptr; }

ULONG bitsPerPixel(ULONG format) {
  OwnMemory own;
  switch (format) {
    case BMF_1BPP: return 1;
    case BMF_4BPP: case BMF_4RLE: return 4;
    case BMF_8BPP: case BMF_8RLE: return 8;
    case BMF_16BPP: return 16;
    case BMF_24BPP: return 24;
    case BMF_32BPP: return 32;
    default: return 0;
  }
}

void setPixel(const SURFOBJ& so, LONG x, LONG y, ULONG color) {
  OwnMemory own;
  auto* row = static_cast<uint8_t*>(so.pvScan0) + static_cast<ptrdiff_t>(y) * so.lDelta;
  switch (bitsPerPixel(so.iBitmapFormat)) {
    case 1: {
      uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
      row[x / 8] = (color & 1) ? (row[x / 8] | bit) : (row[x / 8] & ~bit);
      break;
    }
    case 4: {
      uint8_t& b = row[x / 2];
      b = (x & 1) ? static_cast<uint8_t>((b & 0xF0) | (color & 0xF))
                  : static_cast<uint8_t>((b & 0x0F) | (color & 0xF) << 4);
      break;
    }
    case 8: row[x] = static_cast<uint8_t>(color); break;
    case 16: std::memcpy(row + 2 * x, &color, 2); break;
    case 24: std::memcpy(row + 3 * x, &color, 3); break;
    case 32: std::memcpy(row + 4 * x, &color, 4); break;
  }
}

// ---------------------------------------------------------------- palettes

struct Palette {
  ULONG mode = 0;
  std::vector<ULONG> colors;
};

// ------------------------------------------------------------ clip objects

struct EngClip {
  CLIPOBJ co{};
  std::vector<RECTL> rects;  // DC_COMPLEX; otherwise the bounds are the region
};

EngClip* clipOf(const CLIPOBJ* pco, const char* service) {
  OwnMemory own;
  if (!pco || !tracked(Kind::Clip, pco->pvEngine)) {
    reportMisuse(std::string(service) + ": not a clip object of the engine");
    return nullptr;
  }
  return static_cast<EngClip*>(pco->pvEngine);
}

std::vector<RECTL> regionOf(const CLIPOBJ& co, const EngClip& clip) {
  OwnMemory own;
  if (co.iDComplexity == DC_COMPLEX) return clip.rects;
  return {co.rclBounds};
}

// ------------------------------------------------------------------- paths

struct Figure {
  FLONG flags = PD_BEGINSUBPATH | PD_ENDSUBPATH;
  std::vector<POINTFIX> points;
};

struct EngPath {
  PATHOBJ po{};
  std::vector<Figure> figures;
  ULONG clipRun = 0;  // next run of the clip-line segment in progress
};

EngPath* pathOf(const PATHOBJ* ppo, const char* service) {
  OwnMemory own;
  if (!ppo || !tracked(Kind::Path, ppo->pvEngine)) {
    reportMisuse(std::string(service) + ": not a path of the engine");
    return nullptr;
  }
  return static_cast<EngPath*>(ppo->pvEngine);
}

void countCurves(PATHOBJ* ppo, const EngPath& path) {
  OwnMemory own;
  ULONG n = 0;
  for (const auto& f : path.figures) n += f.points.empty() ? 0 : static_cast<ULONG>(f.points.size() - 1);
  ppo->cCurves = n;
}

// ------------------------------------------------------------------ brushes

struct EngBrush {
  BRUSHOBJ bo{};
  PVOID rbrush = nullptr;
  bool realizeTried = false;
  PFN_DrvRealizeBrush realize = nullptr;
  SURFOBJ* target = nullptr;
  ULONG hatch = 0;
  HSURF pattern = nullptr;
  ULONG xlate[2] = {0, 0xFFFFFF};
  XLATEOBJ xlo{};
};

EngBrush* brushOf(const BRUSHOBJ* pbo, const char* service) {
  OwnMemory own;
  // Brushes are the player's; their engine field leads to the record.
  if (!pbo || !pbo->pvEngine) {
    reportMisuse(std::string(service) + ": not a brush of the engine");
    return nullptr;
  }
  return static_cast<EngBrush*>(pbo->pvEngine);
}

// -------------------------------------------------------------------- reals

float asFloat(ULONG bits) { return std::bit_cast<float>(bits); }
ULONG asBits(float f) { return std::bit_cast<ULONG>(f); }
float valueOf(const FLOATOBJ* pf) { return asFloat(pf->ul1); }
void store(FLOATOBJ* pf, float f) {
  OwnMemory own;
  pf->ul1 = asBits(f);
  pf->ul2 = 0;
}

// --------------------------------------------------------------- the font

constexpr LONG kCellWidth = 10;
constexpr LONG kCellHeight = 14;
constexpr LONG kAdvance = 12;
constexpr WCHAR kFirst = 0x20, kLast = 0x7E, kDefault = u'?';

struct GlyphStore {
  GLYPHDATA data{};
  GLYPHDEF def{};
  std::vector<uint8_t> bits;  // GLYPHBITS with its rows
};

struct EngFont {
  FONTOBJ fo{};
  std::vector<uint8_t> ifi;  // IFIMETRICS, then the family name, then the set list
  std::map<HGLYPH, std::unique_ptr<GlyphStore>> glyphs;
};

EngFont* fontOf(const FONTOBJ* pfo, const char* service) {
  OwnMemory own;
  if (!pfo || !pfo->pvEngine) {
    reportMisuse(std::string(service) + ": not a font of the engine");
    return nullptr;
  }
  return static_cast<EngFont*>(pfo->pvEngine);
}

// A glyph's rows: a frame, with a bar across the middle for letters, so
// that rows differ and a glyph is never blank.
void drawGlyph(HGLYPH hg, uint8_t* rows, LONG rowBytes) {
  OwnMemory own;
  for (LONG y = 0; y < kCellHeight; ++y)
    for (LONG x = 0; x < kCellWidth; ++x) {
      bool edge = y == 0 || y == kCellHeight - 1 || x == 0 || x == kCellWidth - 1;
      bool bar = y == kCellHeight / 2 && ((hg | 0x20) >= 'a' && (hg | 0x20) <= 'z');
      bool mark = ((x + y + static_cast<LONG>(hg)) % 5) == 0;
      if (edge || bar || mark) rows[y * rowBytes + x / 8] |= static_cast<uint8_t>(0x80 >> (x & 7));
    }
}

GlyphStore* glyphFor(EngFont& font, HGLYPH hg) {
  OwnMemory own;
  if (hg < kFirst || hg > kLast) hg = kDefault;
  auto& slot = font.glyphs[hg];
  if (!slot) {
    slot = std::make_unique<GlyphStore>();
    LONG rowBytes = (kCellWidth + 7) / 8;
    slot->bits.assign(offsetof(GLYPHBITS, aj) + static_cast<size_t>(rowBytes * kCellHeight), 0);
    auto* gb = reinterpret_cast<GLYPHBITS*>(slot->bits.data());
    gb->ptlOrigin = {0, -(kCellHeight - 3)};
    gb->sizlBitmap = {kCellWidth, kCellHeight};
    drawGlyph(hg, gb->aj, rowBytes);
    slot->def.pgb = gb;
    slot->data.gdf = slot->def;
    slot->data.hg = hg;
    slot->data.fxD = kAdvance << 4;
    slot->data.rclInk = {0, -(kCellHeight - 3), kCellWidth, 3};
  }
  return slot.get();
}

// ------------------------------------------------------------------ strings

struct EngString {
  STROBJ so{};
  std::vector<GLYPHPOS> positions;
  std::u16string text;
};

// The player's strings by their STROBJ, so that freeString finds the record.
std::map<const STROBJ*, std::unique_ptr<EngString>> strings;

// ---------------------------------------------------------------- transforms

bool invert(const XFORMOBJ& xo, float (&m)[6]) {
  OwnMemory own;
  float det = xo.m11 * xo.m22 - xo.m12 * xo.m21;
  if (det == 0 || !std::isfinite(det)) return false;
  m[0] = xo.m22 / det;
  m[1] = -xo.m12 / det;
  m[2] = -xo.m21 / det;
  m[3] = xo.m11 / det;
  m[4] = -(xo.dx * m[0] + xo.dy * m[2]);
  m[5] = -(xo.dx * m[1] + xo.dy * m[3]);
  return true;
}

LONG toLong(double v) {
  OwnMemory own;
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return static_cast<LONG>(std::lround(v));
}

}  // namespace

// --------------------------------------------------------- player helpers

namespace eng::detail {

bool surfaceInfo(HSURF hsurf, SurfaceInfo& info) {
  OwnMemory own;
  std::lock_guard guard(lock());
  Surface* s = surfaceOf(hsurf);
  if (!s) return false;
  info.so = &s->so;
  info.hooks = s->hooks;
  info.associated = s->associated;
  info.banding = s->banding;
  return true;
}

CLIPOBJ* makeClip(const std::vector<RECTL>& rects, SIZEL page) {
  OwnMemory own;
  CLIPOBJ* pco = EngCreateClip();
  if (!pco) return nullptr;
  auto* clip = static_cast<EngClip*>(pco->pvEngine);
  pco->iMode = TC_RECTANGLES;
  if (rects.empty()) {
    pco->iDComplexity = DC_TRIVIAL;
    pco->rclBounds = {0, 0, page.cx, page.cy};
  } else if (rects.size() == 1) {
    pco->iDComplexity = DC_RECT;
    pco->iFComplexity = FC_RECT;
    pco->rclBounds = rects[0];
  } else {
    pco->iDComplexity = DC_COMPLEX;
    pco->iFComplexity = FC_COMPLEX;
    clip->rects = rects;
    std::sort(clip->rects.begin(), clip->rects.end(), [](const RECTL& a, const RECTL& b) {
      return a.top != b.top ? a.top < b.top : a.left < b.left;
    });
    RECTL bounds = clip->rects[0];
    for (const auto& r : clip->rects) {
      bounds.left = std::min(bounds.left, r.left);
      bounds.top = std::min(bounds.top, r.top);
      bounds.right = std::max(bounds.right, r.right);
      bounds.bottom = std::max(bounds.bottom, r.bottom);
    }
    pco->rclBounds = bounds;
  }
  return pco;
}

BRUSHOBJ* makeBrush(ULONG color, ULONG hatch, PFN_DrvRealizeBrush realize, SURFOBJ* target) {
  OwnMemory own;
  auto* b = new EngBrush;
  b->bo.iSolidColor = color;
  b->bo.pvEngine = b;
  b->realize = realize;
  b->target = target;
  b->hatch = hatch;
  b->xlo.flXlate = XO_TABLE;
  b->xlo.iSrcType = PAL_INDEXED;
  b->xlo.iDstType = PAL_RGB;
  b->xlo.cEntries = 2;
  b->xlo.pulXlate = b->xlate;
  return &b->bo;
}

void freeBrush(BRUSHOBJ* pbo) {
  OwnMemory own;
  if (!pbo) return;
  auto* b = static_cast<EngBrush*>(pbo->pvEngine);
  if (b->rbrush) EngFreeMem(b->rbrush);
  if (b->pattern) EngDeleteSurface(b->pattern);
  delete b;
}

FONTOBJ* makeFont() {
  OwnMemory own;
  static ULONG serial = 0;
  auto* f = new EngFont;
  f->fo.iUniq = ++serial;
  f->fo.iFace = 1;
  f->fo.cxMax = kCellWidth;
  f->fo.flFontType = RASTER_FONTTYPE;
  f->fo.sizLogResPpi = {600, 600};
  f->fo.xo = XFORMOBJ{0, 1, 0, 0, 1, 0, 0};
  f->fo.pvEngine = f;
  const std::u16string family = u"Engine Raster";
  const uint8_t sets[] = {0, 1};  // ANSI, then the list's end
  size_t nameAt = sizeof(IFIMETRICS);
  size_t setsAt = nameAt + (family.size() + 1) * 2;
  f->ifi.assign(setsAt + sizeof sets, 0);
  IFIMETRICS m{};
  m.cjThis = static_cast<ULONG>(f->ifi.size());
  m.dpwszFamilyName = static_cast<ULONG>(nameAt);
  m.dpCharSets = static_cast<ULONG>(setsAt);
  m.flInfo = FM_INFO_CONSTANT_WIDTH;
  m.usWinWeight = 400;
  m.jWinCharSet = 0;
  m.jWinPitchAndFamily = 0x31;
  m.fwdUnitsPerEm = kCellHeight;
  m.fwdWinAscender = kCellHeight - 3;
  m.fwdWinDescender = 3;
  m.fwdMacAscender = kCellHeight - 3;
  m.fwdMacDescender = -3;
  m.fwdAveCharWidth = kAdvance;
  m.fwdMaxCharInc = kAdvance;
  m.fwdUnderscoreSize = 1;
  m.fwdUnderscorePosition = -2;
  m.fwdStrikeoutSize = 1;
  m.fwdStrikeoutPosition = 4;
  m.wcFirstChar = kFirst;
  m.wcLastChar = kLast;
  m.wcDefaultChar = kDefault;
  m.wcBreakChar = u' ';
  std::memcpy(f->ifi.data(), &m, sizeof m);
  std::memcpy(f->ifi.data() + nameAt, family.c_str(), (family.size() + 1) * 2);
  std::memcpy(f->ifi.data() + setsAt, sets, sizeof sets);
  return &f->fo;
}

void freeFont(FONTOBJ* pfo) {
  OwnMemory own;
  if (pfo) delete static_cast<EngFont*>(pfo->pvEngine);
}

STROBJ* makeString(const std::u16string& text, FONTOBJ* pfo, POINTL origin, ULONG codePage) {
  OwnMemory own;
  auto* s = new EngString;
  s->text = text;
  s->positions.reserve(text.size() + 1);  // never a null array, even for no glyphs
  LONG x = origin.x;
  for (char16_t c : text) {
    GLYPHPOS gp{};
    gp.hg = c;
    gp.ptl = {x, origin.y};
    x += kAdvance;
    s->positions.push_back(gp);
  }
  s->so.cGlyphs = static_cast<ULONG>(text.size());
  s->so.flAccel = SO_HORIZONTAL | SO_FLAG_DEFAULT_PLACEMENT;
  s->so.ulCharInc = kAdvance;
  s->so.rclBkGround = {origin.x, origin.y - (kCellHeight - 3), x, origin.y + 3};
  s->so.pwszOrg = s->text.data();
  s->so.pgpEngine = s->positions.data();
  // Short strings carry their positions; longer ones come in batches.
  s->so.pgp = text.size() <= STROBJ_BATCH ? s->positions.data() : nullptr;
  s->so.dwCodePage = codePage;
  (void)pfo;
  std::lock_guard guard(lock());
  strings[&s->so].reset(s);
  return &s->so;
}

void freeString(STROBJ* pstro) {
  OwnMemory own;
  std::lock_guard guard(lock());
  strings.erase(pstro);
}

PATHOBJ* makeBoxPath(const RECTL& box) {
  OwnMemory own;
  PATHOBJ* ppo = EngCreatePath();
  if (!ppo) return nullptr;
  POINTFIX corners[3] = {{box.right << 4, box.top << 4}, {box.right << 4, box.bottom << 4},
                         {box.left << 4, box.bottom << 4}};
  PATHOBJ_bMoveTo(ppo, POINTFIX{box.left << 4, box.top << 4});
  PATHOBJ_bPolyLineTo(ppo, corners, 3);
  PATHOBJ_bCloseFigure(ppo);
  return ppo;
}

}  // namespace eng::detail

extern "C" {

// ----------------------------------------------------------------- surfaces

HSURF EngCreateDeviceSurface(DHSURF dhsurf, SIZEL sizl, ULONG iFormatCompat) {
  OwnMemory own;
  if (eng::knobs().failSurface) return nullptr;
  if (sizl.cx <= 0 || sizl.cy <= 0 || bitsPerPixel(iFormatCompat) == 0) {
    reportMisuse("EngCreateDeviceSurface: bad size or format");
    return nullptr;
  }
  auto* s = new Surface;
  s->so.dhsurf = dhsurf;
  s->so.hsurf = reinterpret_cast<HSURF>(s);
  s->so.sizlBitmap = sizl;
  s->so.iBitmapFormat = iFormatCompat;
  s->so.iType = STYPE_DEVICE;
  track(Kind::Surface, s);
  return s->so.hsurf;
}

HBITMAP EngCreateBitmap(SIZEL sizl, LONG lWidth, ULONG iFormat, FLONG fl, PVOID pvBits) {
  OwnMemory own;
  if (eng::knobs().failSurface) return nullptr;
  ULONG bpp = bitsPerPixel(iFormat);
  if (sizl.cx <= 0 || sizl.cy <= 0 || bpp == 0 || iFormat == BMF_4RLE || iFormat == BMF_8RLE) {
    reportMisuse("EngCreateBitmap: bad size or format");
    return nullptr;
  }
  int64_t minStride = (static_cast<int64_t>(bpp) * sizl.cx + 31) / 32 * 4;
  int64_t stride = lWidth ? lWidth : minStride;
  int64_t bytes = stride * sizl.cy;
  // A bitmap above 256 MB is no page band of any printer this engine serves.
  if (stride < minStride || bytes > (int64_t{1} << 28)) {
    reportMisuse("EngCreateBitmap: row stride too small or bitmap too large");
    return nullptr;
  }
  auto* s = new Surface;
  if (!pvBits) {
    s->own.assign(static_cast<size_t>(bytes), 0);
    pvBits = s->own.data();
  }
  s->so.hsurf = reinterpret_cast<HSURF>(s);
  s->so.sizlBitmap = sizl;
  s->so.cjBits = static_cast<ULONG>(bytes);
  s->so.pvBits = pvBits;
  bool topDown = (fl & BMF_TOPDOWN) != 0;
  s->so.pvScan0 = topDown ? pvBits : static_cast<uint8_t*>(pvBits) + (bytes - stride);
  s->so.lDelta = static_cast<LONG>(topDown ? stride : -stride);
  s->so.iBitmapFormat = iFormat;
  s->so.iType = STYPE_BITMAP;
  s->so.fjBitmap = static_cast<USHORT>(topDown ? ULONG{BMF_TOPDOWN} : ULONG{0});
  track(Kind::Surface, s);
  return s->so.hsurf;
}

BOOL EngDeleteSurface(HSURF hsurf) {
  OwnMemory own;
  std::lock_guard guard(lock());
  if (!untrack(Kind::Surface, hsurf)) {
    reportMisuse("EngDeleteSurface: unknown surface");
    return FALSE;
  }
  auto* s = reinterpret_cast<Surface*>(hsurf);
  if (s->locks != 0) reportMisuse("EngDeleteSurface: the surface is still locked");
  delete s;
  return TRUE;
}

SURFOBJ* EngLockSurface(HSURF hsurf) {
  OwnMemory own;
  std::lock_guard guard(lock());
  Surface* s = surfaceOf(hsurf);
  if (!s) {
    reportMisuse("EngLockSurface: unknown surface");
    return nullptr;
  }
  ++s->locks;
  return &s->so;
}

void EngUnlockSurface(SURFOBJ* pso) {
  OwnMemory own;
  std::lock_guard guard(lock());
  Surface* s = pso ? surfaceOf(pso->hsurf) : nullptr;
  if (!s || s->locks == 0) {
    reportMisuse("EngUnlockSurface: the surface is not locked");
    return;
  }
  --s->locks;
}

BOOL EngAssociateSurface(HSURF hsurf, HDEV hdev, FLONG flHooks) {
  OwnMemory own;
  std::lock_guard guard(lock());
  Surface* s = surfaceOf(hsurf);
  Device* d = deviceOf(hdev, "EngAssociateSurface");
  if (!s || !d) {
    if (!s) reportMisuse("EngAssociateSurface: unknown surface");
    return FALSE;
  }
  s->so.hdev = hdev;
  s->so.dhpdev = d->dhpdev;
  s->hooks = flHooks;
  s->associated = true;
  return TRUE;
}

BOOL EngMarkBandingSurface(HSURF hsurf) {
  OwnMemory own;
  std::lock_guard guard(lock());
  Surface* s = surfaceOf(hsurf);
  if (!s) {
    reportMisuse("EngMarkBandingSurface: unknown surface");
    return FALSE;
  }
  s->banding = true;
  return TRUE;
}

BOOL EngEraseSurface(SURFOBJ* pso, RECTL* prcl, ULONG iColor) {
  OwnMemory own;
  std::lock_guard guard(lock());
  Surface* s = pso ? surfaceOf(pso->hsurf) : nullptr;
  if (!s || !prcl) {
    reportMisuse("EngEraseSurface: unknown surface or no rectangle");
    return FALSE;
  }
  if (s->so.iType != STYPE_BITMAP) {
    reportMisuse("EngEraseSurface: a device surface needs the raster tier");
    EngSetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  LONG left = std::max<LONG>(prcl->left, 0), top = std::max<LONG>(prcl->top, 0);
  LONG right = std::min(prcl->right, s->so.sizlBitmap.cx), bottom = std::min(prcl->bottom, s->so.sizlBitmap.cy);
  for (LONG y = top; y < bottom; ++y)
    for (LONG x = left; x < right; ++x) setPixel(s->so, x, y, iColor);
  return TRUE;
}

HPALETTE EngCreatePalette(ULONG iMode, ULONG cColors, ULONG* pulColors, FLONG, FLONG, FLONG) {
  OwnMemory own;
  if (eng::knobs().failPalette) return nullptr;
  if (iMode != PAL_INDEXED && iMode != PAL_BITFIELDS && iMode != PAL_RGB && iMode != PAL_BGR) {
    reportMisuse("EngCreatePalette: unknown mode");
    return nullptr;
  }
  if ((cColors && !pulColors) || cColors > 65536) {
    reportMisuse("EngCreatePalette: bad colour table");
    return nullptr;
  }
  auto* p = new Palette;
  p->mode = iMode;
  p->colors.assign(pulColors, pulColors + cColors);
  track(Kind::Palette, p);
  return reinterpret_cast<HPALETTE>(p);
}

BOOL EngDeletePalette(HPALETTE hpal) {
  OwnMemory own;
  if (!untrack(Kind::Palette, hpal)) {
    reportMisuse("EngDeletePalette: unknown palette");
    return FALSE;
  }
  delete reinterpret_cast<Palette*>(hpal);
  return TRUE;
}

// Drawing by the engine belongs to the raster tier.
#define RASTER_TIER(name)                                  \
  reportMisuse(#name ": needs the raster tier");           \
  EngSetLastError(ERROR_NOT_SUPPORTED);                    \
  return FALSE;

BOOL EngBitBlt(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*, POINTL*, BRUSHOBJ*,
               POINTL*, ULONG) { RASTER_TIER(EngBitBlt) }
BOOL EngCopyBits(SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*) { RASTER_TIER(EngCopyBits) }
BOOL EngStretchBlt(SURFOBJ*, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, PVOID, POINTL*, RECTL*, RECTL*,
                   POINTL*, ULONG) { RASTER_TIER(EngStretchBlt) }
BOOL EngTextOut(SURFOBJ*, STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*, BRUSHOBJ*, BRUSHOBJ*, POINTL*,
                ULONG) { RASTER_TIER(EngTextOut) }
BOOL EngStrokePath(SURFOBJ*, PATHOBJ*, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ*, POINTL*, LINEATTRS*, ULONG) {
  OwnMemory own;
  RASTER_TIER(EngStrokePath)
}
BOOL EngFillPath(SURFOBJ*, PATHOBJ*, CLIPOBJ*, BRUSHOBJ*, POINTL*, ULONG, FLONG) { RASTER_TIER(EngFillPath) }
BOOL EngStrokeAndFillPath(SURFOBJ*, PATHOBJ*, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ*, LINEATTRS*, BRUSHOBJ*,
                          POINTL*, ULONG, FLONG) { RASTER_TIER(EngStrokeAndFillPath) }
BOOL EngPaint(SURFOBJ*, CLIPOBJ*, BRUSHOBJ*, POINTL*, ULONG) { RASTER_TIER(EngPaint) }

#undef RASTER_TIER

// -------------------------------------------------------------- clip objects

CLIPOBJ* EngCreateClip() {
  OwnMemory own;
  auto* clip = new EngClip;
  clip->co.pvEngine = clip;
  track(Kind::Clip, clip);
  return &clip->co;
}

void EngDeleteClip(CLIPOBJ* pco) {
  OwnMemory own;
  if (!pco || pco != &static_cast<EngClip*>(pco->pvEngine)->co || !untrack(Kind::Clip, pco->pvEngine)) {
    reportMisuse("EngDeleteClip: not a clip object the engine made");
    return;
  }
  delete static_cast<EngClip*>(pco->pvEngine);
}

ULONG CLIPOBJ_cEnumStart(CLIPOBJ* pco, BOOL, ULONG iType, ULONG, ULONG cLimit) {
  OwnMemory own;
  EngClip* clip = clipOf(pco, "CLIPOBJ_cEnumStart");
  if (!clip) return 0xFFFFFFFF;
  if (iType != CT_RECTANGLES) reportMisuse("CLIPOBJ_cEnumStart: unknown enumeration type");
  pco->iEnum = 0;
  pco->cEnumLimit = cLimit;
  size_t n = regionOf(*pco, *clip).size();
  return cLimit != 0 && n > cLimit ? 0xFFFFFFFF : static_cast<ULONG>(n);
}

BOOL CLIPOBJ_bEnum(CLIPOBJ* pco, ULONG cj, ULONG* pul) {
  OwnMemory own;
  EngClip* clip = clipOf(pco, "CLIPOBJ_bEnum");
  if (!clip) return FALSE;
  if (!pul || cj < sizeof(ENUMRECTS)) {
    reportMisuse("CLIPOBJ_bEnum: the buffer holds no rectangle");
    return FALSE;
  }
  auto region = regionOf(*pco, *clip);
  size_t room = (cj - offsetof(ENUMRECTS, arr)) / sizeof(RECTL);
  size_t left = pco->iEnum < region.size() ? region.size() - pco->iEnum : 0;
  size_t n = std::min(room, left);
  auto* out = reinterpret_cast<ENUMRECTS*>(pul);
  out->c = static_cast<ULONG>(n);
  std::memcpy(reinterpret_cast<uint8_t*>(pul) + offsetof(ENUMRECTS, arr), region.data() + pco->iEnum,
              n * sizeof(RECTL));
  pco->iEnum += static_cast<ULONG>(n);
  return pco->iEnum < region.size();
}

PATHOBJ* CLIPOBJ_ppoGetPath(CLIPOBJ* pco) {
  OwnMemory own;
  EngClip* clip = clipOf(pco, "CLIPOBJ_ppoGetPath");
  if (!clip) return nullptr;
  PATHOBJ* ppo = EngCreatePath();
  auto* path = static_cast<EngPath*>(ppo->pvEngine);
  for (const auto& r : regionOf(*pco, *clip)) {
    Figure f;
    f.flags |= PD_CLOSEFIGURE;
    f.points = {{r.left << 4, r.top << 4}, {r.right << 4, r.top << 4}, {r.right << 4, r.bottom << 4},
                {r.left << 4, r.bottom << 4}};
    path->figures.push_back(f);
  }
  countCurves(ppo, *path);
  return ppo;
}

// -------------------------------------------------------------------- paths

PATHOBJ* EngCreatePath() {
  OwnMemory own;
  auto* path = new EngPath;
  path->po.pvEngine = path;
  track(Kind::Path, path);
  return &path->po;
}

void EngDeletePath(PATHOBJ* ppo) {
  OwnMemory own;
  if (!ppo || !tracked(Kind::Path, ppo->pvEngine) || ppo != &static_cast<EngPath*>(ppo->pvEngine)->po) {
    reportMisuse("EngDeletePath: not a path the engine made");
    return;
  }
  untrack(Kind::Path, ppo->pvEngine);
  delete static_cast<EngPath*>(ppo->pvEngine);
}

void PATHOBJ_vEnumStart(PATHOBJ* ppo) {
  OwnMemory own;
  if (pathOf(ppo, "PATHOBJ_vEnumStart")) ppo->iEnum = 0;
}

BOOL PATHOBJ_bEnum(PATHOBJ* ppo, PATHDATA* ppd) {
  OwnMemory own;
  EngPath* path = pathOf(ppo, "PATHOBJ_bEnum");
  if (!path || !ppd) return FALSE;
  if (ppo->iEnum >= path->figures.size()) {
    *ppd = PATHDATA{0, 0, nullptr};
    return FALSE;
  }
  Figure& f = path->figures[ppo->iEnum++];
  ppd->flags = f.flags;
  ppd->count = static_cast<ULONG>(f.points.size());
  ppd->pptfx = f.points.data();
  return ppo->iEnum < path->figures.size();
}

void PATHOBJ_vGetBounds(PATHOBJ* ppo, RECTFX* prectfx) {
  OwnMemory own;
  EngPath* path = pathOf(ppo, "PATHOBJ_vGetBounds");
  if (!path || !prectfx) return;
  bool first = true;
  RECTFX b{0, 0, 0, 0};
  for (const auto& f : path->figures)
    for (const auto& p : f.points) {
      if (first) b = {p.x, p.y, p.x, p.y};
      b.xLeft = std::min(b.xLeft, p.x);
      b.yTop = std::min(b.yTop, p.y);
      b.xRight = std::max(b.xRight, p.x);
      b.yBottom = std::max(b.yBottom, p.y);
      first = false;
    }
  *prectfx = b;
}

BOOL PATHOBJ_bMoveTo(PATHOBJ* ppo, POINTFIX ptfx) {
  OwnMemory own;
  EngPath* path = pathOf(ppo, "PATHOBJ_bMoveTo");
  if (!path) return FALSE;
  Figure f;
  f.points.push_back(ptfx);
  path->figures.push_back(f);
  countCurves(ppo, *path);
  return TRUE;
}

BOOL PATHOBJ_bPolyLineTo(PATHOBJ* ppo, POINTFIX* pptfx, ULONG cptfx) {
  OwnMemory own;
  EngPath* path = pathOf(ppo, "PATHOBJ_bPolyLineTo");
  if (!path) return FALSE;
  if (path->figures.empty() || (path->figures.back().flags & PD_CLOSEFIGURE) || (!pptfx && cptfx)) {
    reportMisuse("PATHOBJ_bPolyLineTo: no open figure or no points");
    return FALSE;
  }
  path->figures.back().points.insert(path->figures.back().points.end(), pptfx, pptfx + cptfx);
  countCurves(ppo, *path);
  return TRUE;
}

BOOL PATHOBJ_bCloseFigure(PATHOBJ* ppo) {
  OwnMemory own;
  EngPath* path = pathOf(ppo, "PATHOBJ_bCloseFigure");
  if (!path) return FALSE;
  if (path->figures.empty()) {
    reportMisuse("PATHOBJ_bCloseFigure: no figure");
    return FALSE;
  }
  path->figures.back().flags |= PD_CLOSEFIGURE;
  return TRUE;
}

void PATHOBJ_vEnumStartClipLines(PATHOBJ* ppo, CLIPOBJ* pco, SURFOBJ*, LINEATTRS*) {
  OwnMemory own;
  EngPath* path = pathOf(ppo, "PATHOBJ_vEnumStartClipLines");
  if (!path || !clipOf(pco, "PATHOBJ_vEnumStartClipLines")) return;
  ppo->iClipLine = 0;
  ppo->pcoClipLines = pco;
  path->clipRun = 0;
}

}  // extern "C"

namespace {

struct Segment {
  POINTFIX a, b;
};

std::vector<Segment> segmentsOf(const EngPath& path) {
  OwnMemory own;
  std::vector<Segment> out;
  for (const auto& f : path.figures) {
    for (size_t i = 1; i < f.points.size(); ++i) out.push_back({f.points[i - 1], f.points[i]});
    if ((f.flags & PD_CLOSEFIGURE) && f.points.size() > 1) out.push_back({f.points.back(), f.points[0]});
  }
  return out;
}

// The pixels of a segment (0 at A, one a step along the major axis) that lie
// inside the region, as runs.
std::vector<RUN> runsOf(const Segment& s, const std::vector<RECTL>& region) {
  OwnMemory own;
  double ax = s.a.x / 16.0, ay = s.a.y / 16.0, bx = s.b.x / 16.0, by = s.b.y / 16.0;
  double dx = bx - ax, dy = by - ay;
  LONG length = static_cast<LONG>(std::max(std::fabs(dx), std::fabs(dy)));
  std::vector<std::pair<LONG, LONG>> spans;
  for (const auto& r : region) {
    double lo = 0, hi = length;
    auto limit = [&](double start, double step, double min, double max) {
      // start + step * i / length within [min, max)
      if (length == 0 || step == 0) {
        if (start < min || start >= max) hi = -1;
        return;
      }
      double i0 = (min - start) * length / step, i1 = (max - start) * length / step;
      if (i0 > i1) std::swap(i0, i1);
      lo = std::max(lo, i0);
      hi = std::min(hi, i1 - 1e-9);
    };
    limit(ax, dx, r.left, r.right);
    limit(ay, dy, r.top, r.bottom);
    LONG first = static_cast<LONG>(std::ceil(lo)), last = static_cast<LONG>(std::floor(hi));
    if (first <= last) spans.push_back({first, last});
  }
  std::sort(spans.begin(), spans.end());
  std::vector<RUN> runs;
  for (const auto& [first, last] : spans) {
    if (!runs.empty() && first <= runs.back().iStop + 1)
      runs.back().iStop = std::max(runs.back().iStop, last);
    else
      runs.push_back({first, last});
  }
  return runs;
}

}  // namespace

extern "C" {

BOOL PATHOBJ_bEnumClipLines(PATHOBJ* ppo, ULONG cb, CLIPLINE* pcl) {
  OwnMemory own;
  EngPath* path = pathOf(ppo, "PATHOBJ_bEnumClipLines");
  if (!path) return FALSE;
  if (!pcl || cb < sizeof(CLIPLINE) || !ppo->pcoClipLines) {
    reportMisuse("PATHOBJ_bEnumClipLines: no room for a line, or no enumeration started");
    return FALSE;
  }
  EngClip* clip = clipOf(ppo->pcoClipLines, "PATHOBJ_bEnumClipLines");
  if (!clip) return FALSE;
  auto segments = segmentsOf(*path);
  if (ppo->iClipLine >= segments.size()) {
    pcl->c = 0;
    return FALSE;
  }
  const Segment& s = segments[ppo->iClipLine];
  auto runs = runsOf(s, regionOf(*ppo->pcoClipLines, *clip));
  size_t room = (cb - offsetof(CLIPLINE, arun)) / sizeof(RUN);
  size_t n = std::min(room, runs.size() - std::min<size_t>(runs.size(), path->clipRun));
  pcl->ptfxA = s.a;
  pcl->ptfxB = s.b;
  pcl->lStyleState = 0;
  pcl->c = static_cast<ULONG>(n);
  std::memcpy(reinterpret_cast<uint8_t*>(pcl) + offsetof(CLIPLINE, arun), runs.data() + path->clipRun,
              n * sizeof(RUN));
  path->clipRun += static_cast<ULONG>(n);
  if (path->clipRun >= runs.size()) {
    path->clipRun = 0;
    ++ppo->iClipLine;
  }
  return ppo->iClipLine < segments.size();
}

// ------------------------------------------------------------------ brushes

PVOID BRUSHOBJ_pvAllocRbrush(BRUSHOBJ* pbo, ULONG cj) {
  OwnMemory own;
  EngBrush* b = brushOf(pbo, "BRUSHOBJ_pvAllocRbrush");
  if (!b) return nullptr;
  if (b->rbrush) {
    reportMisuse("BRUSHOBJ_pvAllocRbrush: the brush already has its realisation");
    return nullptr;
  }
  b->rbrush = EngAllocMem(FL_ZERO_MEMORY, cj, 0);
  return b->rbrush;
}

PVOID BRUSHOBJ_pvGetRbrush(BRUSHOBJ* pbo) {
  OwnMemory own;
  EngBrush* b = brushOf(pbo, "BRUSHOBJ_pvGetRbrush");
  if (!b) return nullptr;
  if (pbo->pvRbrush) return pbo->pvRbrush;
  // A brush is realised once: a refusal is not asked again.
  if (b->realizeTried) return nullptr;
  b->realizeTried = true;
  if (!b->realize) {
    reportMisuse("BRUSHOBJ_pvGetRbrush: the driver's table has no DrvRealizeBrush");
    return nullptr;
  }
  if (!b->pattern && pbo->iSolidColor == 0xFFFFFFFF) {
    // The hatch as an 8 x 8 one-bit pattern.
    b->pattern = EngCreateBitmap(SIZEL{8, 8}, 0, BMF_1BPP, BMF_TOPDOWN, nullptr);
    if (SURFOBJ* p = b->pattern ? EngLockSurface(b->pattern) : nullptr) {
      for (LONG y = 0; y < 8; ++y)
        for (LONG x = 0; x < 8; ++x) {
          bool ink = (b->hatch == HS_HORIZONTAL && y == 4) || (b->hatch == HS_VERTICAL && x == 4) ||
                     (b->hatch == HS_FDIAGONAL && x == y) || (b->hatch == HS_BDIAGONAL && x == 7 - y) ||
                     (b->hatch == HS_CROSS && (x == 4 || y == 4)) ||
                     (b->hatch == HS_DIAGCROSS && (x == y || x == 7 - y));
          setPixel(*p, x, y, ink ? 0 : 1);
        }
      EngUnlockSurface(p);
    }
  }
  SURFOBJ* pattern = b->pattern ? EngLockSurface(b->pattern) : nullptr;
  BOOL ok;
  {
    DriverMemory driver;
    ok = b->realize(pbo, b->target, pattern, nullptr, &b->xlo, b->hatch);
  }
  if (pattern) EngUnlockSurface(pattern);
  if (ok && !b->rbrush) reportMisuse("DrvRealizeBrush: answered TRUE without a realisation");
  if (ok && b->rbrush) pbo->pvRbrush = b->rbrush;
  return pbo->pvRbrush;
}

// ------------------------------------------------------- colour translations

ULONG XLATEOBJ_iXlate(XLATEOBJ* pxlo, ULONG iColor) {
  OwnMemory own;
  if (!pxlo || (pxlo->flXlate & XO_TRIVIAL)) return iColor;
  if (pxlo->pulXlate && iColor < pxlo->cEntries) return pxlo->pulXlate[iColor];
  reportMisuse("XLATEOBJ_iXlate: index outside the translation");
  return 0xFFFFFFFF;
}

ULONG* XLATEOBJ_piVector(XLATEOBJ* pxlo) {
  OwnMemory own;
  if (!pxlo) {
    reportMisuse("XLATEOBJ_piVector: no translation");
    return nullptr;
  }
  return (pxlo->flXlate & XO_TRIVIAL) ? nullptr : pxlo->pulXlate;
}

// ---------------------------------------------------------------- transforms

static ULONG complexityOf(const XFORMOBJ& xo) {
  OwnMemory own;
  bool unit = xo.m11 == 1 && xo.m22 == 1 && xo.m12 == 0 && xo.m21 == 0;
  if (unit) return xo.dx == 0 && xo.dy == 0 ? GX_IDENTITY : GX_OFFSET;
  return xo.m12 == 0 && xo.m21 == 0 ? GX_SCALE : GX_GENERAL;
}

ULONG XFORMOBJ_iGetXform(XFORMOBJ* pxo, XFORML* pxform) {
  OwnMemory own;
  if (!pxo) {
    reportMisuse("XFORMOBJ_iGetXform: no transform");
    return 0xFFFFFFFF;
  }
  if (pxform)
    *pxform = XFORML{asBits(pxo->m11), asBits(pxo->m12), asBits(pxo->m21),
                     asBits(pxo->m22), asBits(pxo->dx),  asBits(pxo->dy)};
  return complexityOf(*pxo);
}

ULONG XFORMOBJ_iGetFloatObjXform(XFORMOBJ* pxo, FLOATOBJ_XFORM* pfxo) {
  if (!pxo) {
    reportMisuse("XFORMOBJ_iGetFloatObjXform: no transform");
    return 0xFFFFFFFF;
  }
  if (pfxo) {
    store(&pfxo->eM11, pxo->m11);
    store(&pfxo->eM12, pxo->m12);
    store(&pfxo->eM21, pxo->m21);
    store(&pfxo->eM22, pxo->m22);
    store(&pfxo->eDx, pxo->dx);
    store(&pfxo->eDy, pxo->dy);
  }
  return complexityOf(*pxo);
}

BOOL XFORMOBJ_bApplyXform(XFORMOBJ* pxo, ULONG iMode, ULONG cPoints, PVOID pvIn, PVOID pvOut) {
  OwnMemory own;
  if (!pxo || (cPoints && (!pvIn || !pvOut)) || iMode > XF_LTOFX) {
    reportMisuse("XFORMOBJ_bApplyXform: no transform, no points or unknown mode");
    return FALSE;
  }
  float m[6] = {pxo->m11, pxo->m12, pxo->m21, pxo->m22, pxo->dx, pxo->dy};
  bool inverse = iMode == XF_INV_LTOL || iMode == XF_INV_FXTOL;
  if (inverse && !invert(*pxo, m)) return FALSE;
  double inScale = iMode == XF_INV_FXTOL ? 1.0 / 16 : 1.0;
  double outScale = iMode == XF_LTOFX ? 16.0 : 1.0;
  auto* in = static_cast<const POINTL*>(pvIn);
  auto* out = static_cast<POINTL*>(pvOut);
  for (ULONG i = 0; i < cPoints; ++i) {
    double x = in[i].x * inScale, y = in[i].y * inScale;
    double tx = x * m[0] + y * m[2] + m[4], ty = x * m[1] + y * m[3] + m[5];
    out[i] = POINTL{toLong(tx * outScale), toLong(ty * outScale)};
  }
  return TRUE;
}

// -------------------------------------------------------------------- reals

void FLOATOBJ_SetFloat(FLOATOBJ* pf, FLOATL f) { store(pf, asFloat(f)); }
void FLOATOBJ_SetLong(FLOATOBJ* pf, LONG l) { store(pf, static_cast<float>(l)); }
FLOATL FLOATOBJ_GetFloat(FLOATOBJ* pf) { return pf->ul1; }

LONG FLOATOBJ_GetLong(FLOATOBJ* pf) {
  float f = valueOf(pf);
  if (f != f) return 0;
  if (f >= 2147483648.0f) return INT32_MAX;
  if (f <= -2147483648.0f) return INT32_MIN;
  return static_cast<LONG>(f);  // toward zero
}

void FLOATOBJ_AddFloat(FLOATOBJ* pf, FLOATL f) { store(pf, valueOf(pf) + asFloat(f)); }
void FLOATOBJ_AddLong(FLOATOBJ* pf, LONG l) { store(pf, valueOf(pf) + static_cast<float>(l)); }
void FLOATOBJ_Add(FLOATOBJ* pf, FLOATOBJ* pf1) { store(pf, valueOf(pf) + valueOf(pf1)); }
void FLOATOBJ_Sub(FLOATOBJ* pf, FLOATOBJ* pf1) { store(pf, valueOf(pf) - valueOf(pf1)); }
void FLOATOBJ_Mul(FLOATOBJ* pf, FLOATOBJ* pf1) { store(pf, valueOf(pf) * valueOf(pf1)); }
void FLOATOBJ_Div(FLOATOBJ* pf, FLOATOBJ* pf1) { store(pf, valueOf(pf) / valueOf(pf1)); }
void FLOATOBJ_Neg(FLOATOBJ* pf) { store(pf, -valueOf(pf)); }
BOOL FLOATOBJ_Equal(FLOATOBJ* pf, FLOATOBJ* pf1) { return valueOf(pf) == valueOf(pf1); }
BOOL FLOATOBJ_GreaterThan(FLOATOBJ* pf, FLOATOBJ* pf1) { return valueOf(pf) > valueOf(pf1); }
BOOL FLOATOBJ_LessThan(FLOATOBJ* pf, FLOATOBJ* pf1) { return valueOf(pf) < valueOf(pf1); }

// ------------------------------------------------------------------ strings

void STROBJ_vEnumStart(STROBJ* pstro) {
  OwnMemory own;
  if (!pstro || !pstro->pgpEngine) {
    reportMisuse("STROBJ_vEnumStart: not a string of the engine");
    return;
  }
  pstro->iEnum = 0;
}

BOOL STROBJ_bEnum(STROBJ* pstro, ULONG* pc, GLYPHPOS** ppgpos) {
  OwnMemory own;
  if (!pstro || !pstro->pgpEngine || !pc || !ppgpos) {
    reportMisuse("STROBJ_bEnum: not a string of the engine, or nothing to answer into");
    return FALSE;
  }
  ULONG left = pstro->iEnum < pstro->cGlyphs ? pstro->cGlyphs - pstro->iEnum : 0;
  // A string that carries its positions comes whole.
  ULONG n = pstro->pgp ? left : std::min(left, STROBJ_BATCH);
  *pc = n;
  *ppgpos = pstro->pgpEngine + pstro->iEnum;
  pstro->iEnum += n;
  return pstro->iEnum < pstro->cGlyphs;
}

DWORD STROBJ_dwGetCodePage(STROBJ* pstro) {
  OwnMemory own;
  if (!pstro) {
    reportMisuse("STROBJ_dwGetCodePage: no string");
    return 0;
  }
  return pstro->dwCodePage;
}

// -------------------------------------------------------------------- fonts

IFIMETRICS* FONTOBJ_pifi(FONTOBJ* pfo) {
  OwnMemory own;
  EngFont* f = fontOf(pfo, "FONTOBJ_pifi");
  return f ? reinterpret_cast<IFIMETRICS*>(f->ifi.data()) : nullptr;
}

XFORMOBJ* FONTOBJ_pxoGetXform(FONTOBJ* pfo) { return fontOf(pfo, "FONTOBJ_pxoGetXform") ? &pfo->xo : nullptr; }

PVOID FONTOBJ_pvTrueTypeFontFile(FONTOBJ* pfo, ULONG* pcjFile) {
  OwnMemory own;
  if (pcjFile) *pcjFile = 0;
  fontOf(pfo, "FONTOBJ_pvTrueTypeFontFile");
  return nullptr;  // the built-in font is a raster font: no file image
}

ULONG FONTOBJ_cGetGlyphs(FONTOBJ* pfo, ULONG iMode, ULONG cGlyph, HGLYPH* phg, PVOID* ppvGlyph) {
  OwnMemory own;
  EngFont* f = fontOf(pfo, "FONTOBJ_cGetGlyphs");
  if (!f) return 0;
  if (cGlyph != 1 || !phg || !ppvGlyph) {
    reportMisuse("FONTOBJ_cGetGlyphs: one glyph at a time, with somewhere to answer");
    return 0;
  }
  if (iMode != FO_GLYPHBITS) return 0;  // a raster font has no outlines
  std::lock_guard guard(lock());
  *ppvGlyph = &glyphFor(*f, *phg)->data;
  return 1;
}

}  // extern "C"
