// A test-double printer driver for the engine's tests. It writes one line
// per call through EngDebugPrint (the entry, its PDEV's number and the
// arguments that matter), uses the engine's services the way a driver does,
// hands out its table in shuffled order, and fails the entry that the
// printer's named value "FailEntry" names, with last error 87.
//
// Built three ways: DOUBLE_PLAIN; DOUBLE_REFUSE, whose DrvEnableDriver
// answers FALSE; DOUBLE_NOPDEV, whose table has no DrvEnablePDEV.

#include <cstdarg>
#include <cstring>

#include "host/engine/ddi.h"

namespace {

constexpr ULONG kTag = 0x74736554;  // "Test"

HSEMAPHORE logLock = nullptr;

void say(const char* format, ...) {
  // Taken twice on purpose: the engine's semaphores are re-entrant.
  EngAcquireSemaphore(logLock);
  EngAcquireSemaphore(logLock);
  va_list ap;
  va_start(ap, format);
  EngDebugPrint(const_cast<PCHAR>(""), const_cast<PCHAR>(format), ap);
  va_end(ap);
  EngReleaseSemaphore(logLock);
  EngReleaseSemaphore(logLock);
}

struct Pdev {
  int id;
  HANDLE printer;
  HDEV hdev;
  HSURF surface;
  FLONG hooks;
  ULONG banding;
  char fail[40];
  int pages;
};

int pdevSerial = 0;

// A wide string as 1252 text, through the engine.
void narrow(const WCHAR* text, char* out, ULONG room) {
  ULONG n = 0;
  while (text && text[n]) ++n;
  ULONG written = 0;
  EngUnicodeToMultiByteN(out, room - 1, &written, const_cast<PWSTR>(text), n * 2);
  out[written] = 0;
}

ULONG numberValue(HANDLE printer, const char16_t* name, ULONG fallback) {
  DWORD type = 0, needed = 0;
  ULONG value = 0;
  if (EngGetPrinterData(printer, const_cast<LPWSTR>(name), &type, reinterpret_cast<BYTE*>(&value),
                        sizeof value, &needed) == 0 &&
      type == REG_DWORD && needed == 4)
    return value;
  return fallback;
}

// The string value, asked for its size first, read into a pool block.
void stringValue(HANDLE printer, const char16_t* name, char* out, ULONG room) {
  out[0] = 0;
  DWORD type = 0, needed = 0;
  DWORD status = EngGetPrinterData(printer, const_cast<LPWSTR>(name), &type, nullptr, 0, &needed);
  if ((status != 0 && status != 234) || type != REG_SZ || needed == 0) return;
  auto* text = static_cast<WCHAR*>(EngAllocMem(FL_ZERO_MEMORY, needed + 2, kTag));
  if (!text) return;
  if (EngGetPrinterData(printer, const_cast<LPWSTR>(name), &type, reinterpret_cast<BYTE*>(text),
                        needed, &needed) == 0)
    narrow(text, out, room);
  EngFreeMem(text);
}

bool fails(const Pdev* p, const char* entry) {
  if (!p || std::strcmp(p->fail, entry) != 0) return false;
  say("%s pdev=%d fails\n", entry, p->id);
  EngSetLastError(87);
  return true;
}

Pdev* pdevOf(SURFOBJ* pso) { return pso ? reinterpret_cast<Pdev*>(pso->dhpdev) : nullptr; }

void emit(Pdev* p, const char* text) {
  DWORD written = 0;
  if (!EngWritePrinter(p->printer, const_cast<char*>(text), static_cast<DWORD>(std::strlen(text)), &written))
    say("EngWritePrinter failed %u\n", EngGetLastError());
}

ULONG clipRects(CLIPOBJ* pco) {
  if (!pco || pco->iDComplexity != DC_COMPLEX) return 1;
  ULONG total = 0;
  ENUMRECTS8 batch;
  CLIPOBJ_cEnumStart(pco, TRUE, CT_RECTANGLES, CD_ANY, 0);
  BOOL more;
  do {
    more = CLIPOBJ_bEnum(pco, sizeof batch, reinterpret_cast<ULONG*>(&batch));
    total += batch.c;
  } while (more);
  return total;
}

ULONG pathPoints(PATHOBJ* ppo) {
  ULONG total = 0;
  PATHDATA pd;
  PATHOBJ_vEnumStart(ppo);
  BOOL more;
  do {
    more = PATHOBJ_bEnum(ppo, &pd);
    total += pd.count;
  } while (more);
  return total;
}

ULONG brushOf(BRUSHOBJ* pbo) {
  if (!pbo || pbo->iSolidColor != 0xFFFFFFFF) return pbo ? pbo->iSolidColor : 0;
  auto* realised = static_cast<ULONG*>(BRUSHOBJ_pvGetRbrush(pbo));
  return realised ? 0x80000000u | realised[0] : 0xFFFFFFFF;
}

// ------------------------------------------------------------------ entries

[[maybe_unused]] DHPDEV DrvEnablePDEV(BYTE* pdm, LPWSTR pwszLogAddress, ULONG cPat, HSURF* phsurfPatterns, ULONG cjCaps,
                     GDIINFO* pdevcaps, ULONG cjDevInfo, DEVINFO* pdi, HDEV hdev, LPWSTR pwszDeviceName,
                     HANDLE hDriver) {
  auto* p = static_cast<Pdev*>(EngAllocMem(FL_ZERO_MEMORY, sizeof(Pdev), kTag));
  if (!p) return nullptr;
  p->id = ++pdevSerial;
  p->printer = hDriver;
  p->hooks = numberValue(hDriver, u"Hooks", HOOK_BITBLT | HOOK_STRETCHBLT | HOOK_TEXTOUT | HOOK_STROKEPATH |
                                                HOOK_FILLPATH | HOOK_STROKEANDFILLPATH | HOOK_COPYBITS);
  p->banding = numberValue(hDriver, u"Banding", 0);
  stringValue(hDriver, u"FailEntry", p->fail, sizeof p->fail);
  char device[64], port[64];
  narrow(pwszDeviceName, device, sizeof device);
  narrow(pwszLogAddress, port, sizeof port);
  say("DrvEnablePDEV pdev=%d device=%s port=%s dm=%d cPat=%u caps=%d devinfo=%d hdev=%d\n", p->id, device, port,
      pdm ? pdm[68] | pdm[69] << 8 : 0, cPat, cjCaps == sizeof(GDIINFO), cjDevInfo == sizeof(DEVINFO),
      hdev != nullptr);
  if (fails(p, "DrvEnablePDEV") || cjCaps < sizeof(GDIINFO) || cjDevInfo < sizeof(DEVINFO)) {
    EngFreeMem(p);
    return nullptr;
  }
  for (ULONG i = 0; i < cPat; ++i) phsurfPatterns[i] = nullptr;
  std::memset(pdevcaps, 0, sizeof *pdevcaps);
  pdevcaps->ulVersion = 0x0401;
  pdevcaps->ulTechnology = 2;
  pdevcaps->ulHorzRes = 5100;
  pdevcaps->ulVertRes = 6600;
  std::memset(pdi, 0, sizeof *pdi);
  pdi->iDitherFormat = BMF_24BPP;
  pdi->hpalDefault = EngCreatePalette(PAL_BGR, 0, nullptr, 0, 0, 0);
  if (!pdi->hpalDefault) {
    EngFreeMem(p);
    return nullptr;
  }
  return reinterpret_cast<DHPDEV>(p);
}

void DrvCompletePDEV(DHPDEV dhpdev, HDEV hdev) {
  auto* p = reinterpret_cast<Pdev*>(dhpdev);
  p->hdev = hdev;
  say("DrvCompletePDEV pdev=%d\n", p->id);
}

BOOL DrvResetPDEV(DHPDEV oldPdev, DHPDEV newPdev) {
  auto* o = reinterpret_cast<Pdev*>(oldPdev);
  auto* n = reinterpret_cast<Pdev*>(newPdev);
  say("DrvResetPDEV old=%d new=%d\n", o->id, n->id);
  return !fails(o, "DrvResetPDEV");
}

void DrvDisablePDEV(DHPDEV dhpdev) {
  auto* p = reinterpret_cast<Pdev*>(dhpdev);
  say("DrvDisablePDEV pdev=%d\n", p->id);
  EngFreeMem(p);
}

HSURF DrvEnableSurface(DHPDEV dhpdev) {
  auto* p = reinterpret_cast<Pdev*>(dhpdev);
  say("DrvEnableSurface pdev=%d\n", p->id);
  if (fails(p, "DrvEnableSurface")) return nullptr;
  p->surface = EngCreateDeviceSurface(reinterpret_cast<DHSURF>(p), SIZEL{5100, 6600}, BMF_24BPP);
  if (!p->surface) return nullptr;
  if (!EngAssociateSurface(p->surface, p->hdev, p->hooks)) {
    EngDeleteSurface(p->surface);
    return p->surface = nullptr;
  }
  if (p->banding) EngMarkBandingSurface(p->surface);
  return p->surface;
}

void DrvDisableSurface(DHPDEV dhpdev) {
  auto* p = reinterpret_cast<Pdev*>(dhpdev);
  say("DrvDisableSurface pdev=%d\n", p->id);
  if (p->surface) EngDeleteSurface(p->surface);
  p->surface = nullptr;
}

BOOL DrvStartDoc(SURFOBJ* pso, LPWSTR pwszDocName, DWORD dwJobId) {
  Pdev* p = pdevOf(pso);
  char name[64];
  narrow(pwszDocName, name, sizeof name);
  say("DrvStartDoc pdev=%d name=%s job=%u\n", p->id, name, dwJobId);
  if (fails(p, "DrvStartDoc")) return FALSE;
  emit(p, "DOC\n");
  return TRUE;
}

BOOL DrvStartPage(SURFOBJ* pso) {
  Pdev* p = pdevOf(pso);
  say("DrvStartPage pdev=%d\n", p->id);
  return !fails(p, "DrvStartPage");
}

BOOL DrvSendPage(SURFOBJ* pso) {
  Pdev* p = pdevOf(pso);
  say("DrvSendPage pdev=%d abort=%d\n", p->id, EngCheckAbort(pso));
  if (fails(p, "DrvSendPage")) return FALSE;
  emit(p, "PAGE\n");
  return TRUE;
}

BOOL DrvEndDoc(SURFOBJ* pso, FLONG fl) {
  Pdev* p = pdevOf(pso);
  say("DrvEndDoc pdev=%d flags=%u\n", p->id, fl);
  if (fails(p, "DrvEndDoc")) return FALSE;
  emit(p, fl & ED_ABORTDOC ? "ABORT\n" : "END\n");
  return TRUE;
}

BOOL DrvRealizeBrush(BRUSHOBJ* pbo, SURFOBJ* psoTarget, SURFOBJ* psoPattern, SURFOBJ*, XLATEOBJ*, ULONG iHatch) {
  say("DrvRealizeBrush pdev=%d hatch=%u pattern=%dx%d\n", pdevOf(psoTarget)->id, iHatch,
      psoPattern ? psoPattern->sizlBitmap.cx : 0, psoPattern ? psoPattern->sizlBitmap.cy : 0);
  auto* realised = static_cast<ULONG*>(BRUSHOBJ_pvAllocRbrush(pbo, sizeof(ULONG)));
  if (!realised) return FALSE;
  *realised = iHatch;
  return TRUE;
}

BOOL DrvPaint(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL*, ULONG mix) {
  Pdev* p = pdevOf(pso);
  say("DrvPaint pdev=%d mix=%04x rects=%u brush=%08x\n", p->id, mix, clipRects(pco), brushOf(pbo));
  return !fails(p, "DrvPaint");
}

BOOL DrvBitBlt(SURFOBJ* psoTrg, SURFOBJ*, SURFOBJ*, CLIPOBJ* pco, XLATEOBJ*, RECTL* prclTrg, POINTL*, POINTL*,
               BRUSHOBJ* pbo, POINTL*, ULONG rop4) {
  Pdev* p = pdevOf(psoTrg);
  say("DrvBitBlt pdev=%d rop4=%04x target=%d,%d,%d,%d rects=%u brush=%08x\n", p->id, rop4, prclTrg->left,
      prclTrg->top, prclTrg->right, prclTrg->bottom, clipRects(pco), brushOf(pbo));
  return !fails(p, "DrvBitBlt");
}

BOOL DrvStrokePath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ*, BRUSHOBJ* pbo, POINTL*, LINEATTRS*,
                   ULONG mix) {
  Pdev* p = pdevOf(pso);
  say("DrvStrokePath pdev=%d mix=%04x points=%u rects=%u brush=%08x\n", p->id, mix, pathPoints(ppo),
      clipRects(pco), brushOf(pbo));
  return !fails(p, "DrvStrokePath");
}

BOOL DrvFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL*, ULONG mix, FLONG) {
  Pdev* p = pdevOf(pso);
  say("DrvFillPath pdev=%d mix=%04x points=%u rects=%u brush=%08x\n", p->id, mix, pathPoints(ppo),
      clipRects(pco), brushOf(pbo));
  return !fails(p, "DrvFillPath");
}

BOOL DrvStrokeAndFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ*, BRUSHOBJ*, LINEATTRS*,
                          BRUSHOBJ* pboFill, POINTL*, ULONG mix, FLONG) {
  Pdev* p = pdevOf(pso);
  say("DrvStrokeAndFillPath pdev=%d mix=%04x points=%u rects=%u brush=%08x\n", p->id, mix, pathPoints(ppo),
      clipRects(pco), brushOf(pboFill));
  return !fails(p, "DrvStrokeAndFillPath");
}

BOOL DrvTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL*, RECTL*, BRUSHOBJ* pboFore,
                BRUSHOBJ*, POINTL*, ULONG mix) {
  Pdev* p = pdevOf(pso);
  // The font's consumer block lives until DrvDestroyFont.
  if (!pfo->pvConsumer) pfo->pvConsumer = EngAllocMem(FL_ZERO_MEMORY, 32, kTag);
  ULONG glyphs = 0, rowBytes = 0;
  if (pstro->pgp) {
    glyphs = pstro->cGlyphs;
  } else {
    STROBJ_vEnumStart(pstro);
    BOOL more;
    do {
      ULONG n = 0;
      GLYPHPOS* batch = nullptr;
      more = STROBJ_bEnum(pstro, &n, &batch);
      glyphs += n;
    } while (more);
  }
  GLYPHPOS* first = pstro->pgp ? pstro->pgp : nullptr;
  HGLYPH hg = first ? first->hg : 'A';
  GLYPHDATA* gd = nullptr;
  if (FONTOBJ_cGetGlyphs(pfo, FO_GLYPHBITS, 1, &hg, reinterpret_cast<PVOID*>(&gd)) == 1)
    rowBytes = static_cast<ULONG>(gd->gdf.pgb->sizlBitmap.cx + 7) / 8;
  say("DrvTextOut pdev=%d mix=%04x glyphs=%u cp=%u rows=%u rects=%u brush=%08x\n", p->id, mix, glyphs,
      STROBJ_dwGetCodePage(pstro), rowBytes, clipRects(pco), pboFore ? pboFore->iSolidColor : 0);
  return !fails(p, "DrvTextOut");
}

void DrvDestroyFont(FONTOBJ* pfo) {
  say("DrvDestroyFont consumer=%d\n", pfo->pvConsumer != nullptr);
  if (pfo->pvConsumer) EngFreeMem(pfo->pvConsumer);
  pfo->pvConsumer = nullptr;
}

ULONG DrvEscape(SURFOBJ* pso, ULONG iEsc, ULONG cjIn, PVOID, ULONG, PVOID) {
  Pdev* p = pdevOf(pso);
  say("DrvEscape pdev=%d esc=%u in=%u\n", p->id, iEsc, cjIn);
  return fails(p, "DrvEscape") ? 0 : cjIn + 1;
}

ULONG DrvDitherColor(DHPDEV, ULONG, ULONG, ULONG*) { return DCR_HALFTONE; }

// Shuffled: the engine finds entries by index, never by position.
const DRVFN table[] = {
    {INDEX_DrvTextOut, reinterpret_cast<PFN>(&DrvTextOut)},
    {INDEX_DrvEndDoc, reinterpret_cast<PFN>(&DrvEndDoc)},
    {INDEX_DrvDisableSurface, reinterpret_cast<PFN>(&DrvDisableSurface)},
    {INDEX_DrvRealizeBrush, reinterpret_cast<PFN>(&DrvRealizeBrush)},
    {INDEX_DrvSendPage, reinterpret_cast<PFN>(&DrvSendPage)},
    {INDEX_DrvCompletePDEV, reinterpret_cast<PFN>(&DrvCompletePDEV)},
    {INDEX_DrvStrokeAndFillPath, reinterpret_cast<PFN>(&DrvStrokeAndFillPath)},
#ifndef DOUBLE_NOPDEV
    {INDEX_DrvEnablePDEV, reinterpret_cast<PFN>(&DrvEnablePDEV)},
#endif
    {INDEX_DrvBitBlt, reinterpret_cast<PFN>(&DrvBitBlt)},
    {INDEX_DrvStartDoc, reinterpret_cast<PFN>(&DrvStartDoc)},
    {INDEX_DrvDitherColor, reinterpret_cast<PFN>(&DrvDitherColor)},
    {INDEX_DrvDisablePDEV, reinterpret_cast<PFN>(&DrvDisablePDEV)},
    {INDEX_DrvFillPath, reinterpret_cast<PFN>(&DrvFillPath)},
    {INDEX_DrvStartPage, reinterpret_cast<PFN>(&DrvStartPage)},
    {INDEX_DrvEscape, reinterpret_cast<PFN>(&DrvEscape)},
    {INDEX_DrvEnableSurface, reinterpret_cast<PFN>(&DrvEnableSurface)},
    {INDEX_DrvResetPDEV, reinterpret_cast<PFN>(&DrvResetPDEV)},
    {INDEX_DrvPaint, reinterpret_cast<PFN>(&DrvPaint)},
    {INDEX_DrvStrokePath, reinterpret_cast<PFN>(&DrvStrokePath)},
    {INDEX_DrvDestroyFont, reinterpret_cast<PFN>(&DrvDestroyFont)},
};

}  // namespace

extern "C" __attribute__((visibility("default"))) BOOL DrvEnableDriver(ULONG iEngineVersion, ULONG cj,
                                                                        DRVENABLEDATA* pded) {
  logLock = EngCreateSemaphore();
  pdevSerial = 0;
  say("DrvEnableDriver version=%x size=%d\n", iEngineVersion, cj == sizeof(DRVENABLEDATA));
#ifdef DOUBLE_REFUSE
  (void)pded;
  EngSetLastError(50);
  EngDeleteSemaphore(logLock);
  return FALSE;
#else
  if (iEngineVersion < 0x20000 || cj < sizeof(DRVENABLEDATA)) return FALSE;
  pded->iDriverVersion = 0x20000;
  pded->c = sizeof table / sizeof table[0];
  pded->pdrvfn = const_cast<DRVFN*>(table);
  return TRUE;
#endif
}

extern "C" __attribute__((visibility("default"))) void DrvDisableDriver() {
  say("DrvDisableDriver\n");
  EngDeleteSemaphore(logLock);
  logLock = nullptr;
}
