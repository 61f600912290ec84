// The loader and the document player: a driver image opened and enabled,
// and documents played through it in the engine's order of calls (see
// engine.h).

#include <dlfcn.h>

#include <cstdio>

#include "host/engine/internal.h"

using namespace eng::detail;

namespace {

const char* entryName(ULONG index) {
  OwnMemory own;
  switch (index) {
    case INDEX_DrvEnablePDEV: return "DrvEnablePDEV";
    case INDEX_DrvCompletePDEV: return "DrvCompletePDEV";
    case INDEX_DrvDisablePDEV: return "DrvDisablePDEV";
    case INDEX_DrvEnableSurface: return "DrvEnableSurface";
    case INDEX_DrvDisableSurface: return "DrvDisableSurface";
    case INDEX_DrvResetPDEV: return "DrvResetPDEV";
    case INDEX_DrvRealizeBrush: return "DrvRealizeBrush";
    case INDEX_DrvDitherColor: return "DrvDitherColor";
    case INDEX_DrvStrokePath: return "DrvStrokePath";
    case INDEX_DrvFillPath: return "DrvFillPath";
    case INDEX_DrvStrokeAndFillPath: return "DrvStrokeAndFillPath";
    case INDEX_DrvPaint: return "DrvPaint";
    case INDEX_DrvBitBlt: return "DrvBitBlt";
    case INDEX_DrvCopyBits: return "DrvCopyBits";
    case INDEX_DrvStretchBlt: return "DrvStretchBlt";
    case INDEX_DrvTextOut: return "DrvTextOut";
    case INDEX_DrvEscape: return "DrvEscape";
    case INDEX_DrvDrawEscape: return "DrvDrawEscape";
    case INDEX_DrvSendPage: return "DrvSendPage";
    case INDEX_DrvStartPage: return "DrvStartPage";
    case INDEX_DrvEndDoc: return "DrvEndDoc";
    case INDEX_DrvStartDoc: return "DrvStartDoc";
    case INDEX_DrvDestroyFont: return "DrvDestroyFont";
    case INDEX_DrvFontManagement: return "DrvFontManagement";
    case INDEX_DrvStartBanding: return "DrvStartBanding";
    case INDEX_DrvNextBand: return "DrvNextBand";
    default: return "an unnamed entry";
  }
}

std::string failed(const char* what) {
  OwnMemory own;
  char text[160];
  std::snprintf(text, sizeof text, "%s failed (last error %u)", what, EngGetLastError());
  return text;
}

// The raster operation of a mix: each of its two codes (1 to 16; foreground
// in the low byte, background in the next) becomes its two-operand byte.
bool ropFromMix(ULONG mix, ULONG& rop4) {
  OwnMemory own;
  static const ULONG pairs[16] = {0x00, 0x05, 0x0A, 0x0F, 0x50, 0x55, 0x5A, 0x5F,
                                  0xA0, 0xA5, 0xAA, 0xAF, 0xF0, 0xF5, 0xFA, 0xFF};
  ULONG fore = mix & 0xFF, back = mix >> 8 & 0xFF;
  if (fore < 1 || fore > 16 || back < 1 || back > 16 || (mix >> 16) != 0) return false;
  rop4 = pairs[back - 1] << 8 | pairs[fore - 1];
  return true;
}

}  // namespace

namespace eng {

// ------------------------------------------------------------------ Driver

Driver::~Driver() { unload(); }

std::string Driver::load(const std::string& path) {
  if (image_) return "a driver is already loaded";
  void* image = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!image) return std::string("the driver image could not be loaded: ") + dlerror();
  auto enable = reinterpret_cast<PFN_DrvEnableDriver>(dlsym(image, "DrvEnableDriver"));
  auto disable = reinterpret_cast<PFN_DrvDisableDriver>(dlsym(image, "DrvDisableDriver"));
  if (!enable || !disable) {
    dlclose(image);
    return "the driver image exports no DrvEnableDriver or no DrvDisableDriver";
  }
  size_t slash = path.rfind('/');
  setDriverImage(u"\\SystemRoot\\System32\\spool\\drivers\\w32x86\\2\\" +
                 detail::widen(path.substr(slash == std::string::npos ? 0 : slash + 1)));
  DRVENABLEDATA ded{};
  EngSetLastError(0);
  if (!enable(DDI_DRIVER_VERSION, sizeof ded, &ded)) {
    std::string error = failed("DrvEnableDriver");
    dlclose(image);
    return error;
  }
  PFN entries[INDEX_LAST] = {};
  std::string error;
  if (!ded.pdrvfn || ded.c > 1024) error = "DrvEnableDriver handed out no table";
  for (ULONG i = 0; error.empty() && i < ded.c; ++i) {
    ULONG index = ded.pdrvfn[i].iFunc;
    if (index >= INDEX_LAST) continue;  // an entry this engine never calls
    if (entries[index]) {
      reportMisuse(std::string("DrvEnableDriver: the table gives ") + entryName(index) + " twice");
      error = std::string("the driver's table gives ") + entryName(index) + " twice";
    }
    entries[index] = ded.pdrvfn[i].pfn;
  }
  for (ULONG needed : {INDEX_DrvEnablePDEV, INDEX_DrvCompletePDEV, INDEX_DrvDisablePDEV,
                       INDEX_DrvEnableSurface, INDEX_DrvDisableSurface})
    if (error.empty() && !entries[needed]) {
      reportMisuse(std::string("DrvEnableDriver: the table has no ") + entryName(needed));
      error = std::string("the driver's table has no ") + entryName(needed);
    }
  if (!error.empty()) {
    disable();
    dlclose(image);
    return error;
  }
  image_ = image;
  std::copy(std::begin(entries), std::end(entries), entries_);
  return std::string();
}

void Driver::unload() {
  if (!image_) return;
  if (auto disable = reinterpret_cast<PFN_DrvDisableDriver>(dlsym(image_, "DrvDisableDriver"))) disable();
  dlclose(image_);
  image_ = nullptr;
  std::fill(std::begin(entries_), std::end(entries_), nullptr);
  setDriverImage(std::u16string());
}

PFN Driver::entry(ULONG index) const { return index < INDEX_LAST ? entries_[index] : nullptr; }

// ------------------------------------------------------ entries called by hand

HDEV addDevice(HANDLE printer) {
  OwnMemory own;
  auto* device = new Device;
  device->printer = printer;
  track(Kind::Device, device);
  return reinterpret_cast<HDEV>(device);
}

void setDevicePdev(HDEV hdev, DHPDEV dhpdev) {
  OwnMemory own;
  std::lock_guard guard(lock());
  if (Device* device = deviceOf(hdev, "setDevicePdev")) device->dhpdev = dhpdev;
}

void removeDevice(HDEV hdev) {
  OwnMemory own;
  std::lock_guard guard(lock());
  if (!untrack(Kind::Device, hdev)) {
    reportMisuse("removeDevice: unknown engine device");
    return;
  }
  delete reinterpret_cast<Device*>(hdev);
}

DWORD openSpoolJob(HANDLE printer) { return openJob(printer); }

void closeSpoolJob(HANDLE printer) { closeJob(printer); }

void pageSent(HDEV hdev) {
  OwnMemory own;
  std::lock_guard guard(lock());
  if (Device* device = deviceOf(hdev, "pageSent")) ++device->pagesSent;
}

bool surfaceState(HSURF hsurf, SurfaceState& state) {
  OwnMemory own;
  SurfaceInfo info;
  if (!surfaceInfo(hsurf, info)) return false;
  state.so = info.so;
  state.hooks = info.hooks;
  state.associated = info.associated;
  state.banding = info.banding;
  return true;
}

// ------------------------------------------------------------------ Player

namespace {

struct Pdev {
  DHPDEV dhpdev = nullptr;
  Device* device = nullptr;
  HSURF hsurf = nullptr;
  SURFOBJ* so = nullptr;
  GDIINFO gdi{};
  DEVINFO devinfo{};
  HSURF patterns[HS_DDI_MAX] = {};
  HDEV hdev() const { return reinterpret_cast<HDEV>(device); }
};

}  // namespace

struct Player::State {
  Driver& driver;
  HANDLE printer;
  Pdev cur;
  std::vector<FONTOBJ*> fonts;
  DWORD job = 0;

  State(Driver& d, HANDLE p) : driver(d), printer(p) {}

  template <typename F>
  F entry(ULONG index, std::string& error) {
    auto f = reinterpret_cast<F>(driver.entry(index));
    if (!f && error.empty()) {
      reportMisuse(std::string("the driver's table has no ") + entryName(index));
      error = std::string("the driver's table has no ") + entryName(index);
    }
    return f;
  }

  std::string enablePdev(const std::vector<uint8_t>& devmode, Pdev& p);
  void disablePdev(Pdev& p);
  std::string enableSurface(Pdev& p);
  void disableSurface(Pdev& p);
  std::string runOp(Operation& op);
  std::string endAborted(const std::string& error);
  void destroyFonts();
};

std::string Player::State::enablePdev(const std::vector<uint8_t>& devmode, Pdev& p) {
  std::string error;
  auto enable = entry<PFN_DrvEnablePDEV>(INDEX_DrvEnablePDEV, error);
  auto complete = entry<PFN_DrvCompletePDEV>(INDEX_DrvCompletePDEV, error);
  if (!error.empty()) return error;
  p = Pdev();
  p.device = new Device;
  p.device->printer = printer;
  track(Kind::Device, p.device);
  std::u16string port = printerPort(printer), name = printerName(printer);
  std::vector<uint8_t> dm = devmode;
  EngSetLastError(0);
  p.dhpdev = enable(dm.empty() ? nullptr : dm.data(), port.data(), HS_DDI_MAX, p.patterns, sizeof p.gdi,
                    &p.gdi, sizeof p.devinfo, &p.devinfo, p.hdev(), name.data(), printer);
  if (!p.dhpdev) {
    error = failed("DrvEnablePDEV");
    untrack(Kind::Device, p.device);
    delete p.device;
    p.device = nullptr;
    return error;
  }
  p.device->dhpdev = p.dhpdev;
  complete(p.dhpdev, p.hdev());
  return std::string();
}

void Player::State::disablePdev(Pdev& p) {
  std::string error;
  if (auto disable = entry<PFN_DrvDisablePDEV>(INDEX_DrvDisablePDEV, error)) disable(p.dhpdev);
  // The default palette is the engine's once the PDEV is enabled.
  if (p.devinfo.hpalDefault && tracked(Kind::Palette, p.devinfo.hpalDefault))
    EngDeletePalette(p.devinfo.hpalDefault);
  untrack(Kind::Device, p.device);
  delete p.device;
  p = Pdev();
}

std::string Player::State::enableSurface(Pdev& p) {
  std::string error;
  auto enable = entry<PFN_DrvEnableSurface>(INDEX_DrvEnableSurface, error);
  if (!error.empty()) return error;
  EngSetLastError(0);
  HSURF hsurf = enable(p.dhpdev);
  if (!hsurf) return failed("DrvEnableSurface");
  SurfaceInfo info;
  if (!surfaceInfo(hsurf, info) || info.so->iType != STYPE_DEVICE || !info.associated ||
      info.so->hdev != p.hdev()) {
    reportMisuse("DrvEnableSurface: the surface is no device surface associated with this PDEV");
    return "DrvEnableSurface answered a surface that is not this PDEV's device surface";
  }
  p.hsurf = hsurf;
  p.so = info.so;
  return std::string();
}

void Player::State::disableSurface(Pdev& p) {
  std::string error;
  if (auto disable = entry<PFN_DrvDisableSurface>(INDEX_DrvDisableSurface, error)) disable(p.dhpdev);
  if (p.hsurf && tracked(Kind::Surface, p.hsurf)) reportMisuse("DrvDisableSurface: the device surface was left behind");
  p.hsurf = nullptr;
  p.so = nullptr;
}

void Player::State::destroyFonts() {
  std::string error;
  auto destroy = fonts.empty() ? nullptr : entry<PFN_DrvDestroyFont>(INDEX_DrvDestroyFont, error);
  for (FONTOBJ* f : fonts) {
    if (destroy) destroy(f);
    freeFont(f);
  }
  fonts.clear();
}

// Ends a document after a failed step: DrvEndDoc with ED_ABORTDOC, whatever
// it answers; the first failure is the one reported.
std::string Player::State::endAborted(const std::string& error) {
  std::string ignored;
  if (auto end = entry<PFN_DrvEndDoc>(INDEX_DrvEndDoc, ignored)) end(cur.so, ED_ABORTDOC);
  closeJob(printer);
  destroyFonts();
  return error;
}

std::string Player::State::runOp(Operation& op) {
  SURFOBJ* so = cur.so;
  SurfaceInfo info;
  surfaceInfo(cur.hsurf, info);
  FLONG hooks = info.hooks;
  std::string error;
  auto realize = reinterpret_cast<PFN_DrvRealizeBrush>(driver.entry(INDEX_DrvRealizeBrush));
  CLIPOBJ* clip = makeClip(op.clip, so->sizlBitmap);
  BRUSHOBJ* brush = makeBrush(op.color, op.hatch, realize, so);
  POINTL origin{0, 0};
  XFORMOBJ xo{0, 1, 0, 0, 1, 0, 0};
  LINEATTRS la{};
  la.elWidth = 1;
  BOOL ok = TRUE;
  const char* what = nullptr;
  auto path = [&] { return makeBoxPath(op.rect); };
  switch (op.kind) {
    case Operation::Paint:
      if (hooks & HOOK_PAINT) {
        what = "DrvPaint";
        if (auto f = entry<PFN_DrvPaint>(INDEX_DrvPaint, error)) ok = f(so, clip, brush, &origin, op.mix);
      } else if (hooks & HOOK_BITBLT) {
        // No paint hook: a pattern blit over the clip's bounds.
        ULONG rop4 = 0;
        if (!ropFromMix(op.mix, rop4)) {
          error = "a paint's mix is no pair of codes 1 to 16";
        } else {
          what = "DrvBitBlt";
          RECTL target = clip->rclBounds;
          if (auto f = entry<PFN_DrvBitBlt>(INDEX_DrvBitBlt, error))
            ok = f(so, nullptr, nullptr, clip, nullptr, &target, nullptr, nullptr, brush, &origin, rop4);
        }
      } else {
        error = "a paint needs the raster tier";
      }
      break;
    case Operation::BitBlt:
      if (!(hooks & HOOK_BITBLT)) {
        error = "a bit-block transfer needs the raster tier";
      } else {
        what = "DrvBitBlt";
        if (auto f = entry<PFN_DrvBitBlt>(INDEX_DrvBitBlt, error))
          ok = f(so, nullptr, nullptr, clip, nullptr, &op.rect, nullptr, nullptr, brush, &origin, op.rop4);
      }
      break;
    case Operation::Stroke:
      if (!(hooks & HOOK_STROKEPATH)) {
        error = "a stroke needs the raster tier";
      } else if (auto f = entry<PFN_DrvStrokePath>(INDEX_DrvStrokePath, error)) {
        what = "DrvStrokePath";
        PATHOBJ* ppo = path();
        ok = f(so, ppo, clip, &xo, brush, &origin, &la, op.mix);
        EngDeletePath(ppo);
      }
      break;
    case Operation::Fill:
      if (!(hooks & HOOK_FILLPATH)) {
        error = "a fill needs the raster tier";
      } else if (auto f = entry<PFN_DrvFillPath>(INDEX_DrvFillPath, error)) {
        what = "DrvFillPath";
        PATHOBJ* ppo = path();
        ok = f(so, ppo, clip, brush, &origin, op.mix, FP_ALTERNATEMODE);
        EngDeletePath(ppo);
      }
      break;
    case Operation::StrokeAndFill:
      if (!(hooks & HOOK_STROKEANDFILLPATH)) {
        error = "a stroke and fill needs the raster tier";
      } else if (auto f = entry<PFN_DrvStrokeAndFillPath>(INDEX_DrvStrokeAndFillPath, error)) {
        what = "DrvStrokeAndFillPath";
        PATHOBJ* ppo = path();
        ok = f(so, ppo, clip, &xo, brush, &la, brush, &origin, op.mix, FP_ALTERNATEMODE);
        EngDeletePath(ppo);
      }
      break;
    case Operation::Text:
      if (!(hooks & HOOK_TEXTOUT)) {
        error = "text needs the raster tier";
      } else if (auto f = entry<PFN_DrvTextOut>(INDEX_DrvTextOut, error)) {
        what = "DrvTextOut";
        if (fonts.empty()) fonts.push_back(makeFont());
        STROBJ* str = makeString(op.text, fonts[0], POINTL{op.rect.left, op.rect.top}, op.codePage);
        ok = f(so, str, fonts[0], clip, nullptr, nullptr, brush, nullptr, &origin, op.mix);
        freeString(str);
      }
      break;
    case Operation::Escape:
      if (auto f = entry<PFN_DrvEscape>(INDEX_DrvEscape, error))
        op.answer = f(so, op.escape, static_cast<ULONG>(op.data.size()), op.data.data(), 0, nullptr);
      break;
    case Operation::DrawEscape:
      if (auto f = entry<PFN_DrvDrawEscape>(INDEX_DrvDrawEscape, error))
        op.answer = f(so, op.escape, clip, &op.rect, static_cast<ULONG>(op.data.size()), op.data.data());
      break;
  }
  freeBrush(brush);
  EngDeleteClip(clip);
  if (error.empty() && !ok) error = failed(what);
  return error;
}

Player::Player(Driver& driver, HANDLE printer) : state_(new State(driver, printer)) {}

Player::~Player() {
  if (state_->cur.dhpdev) close();
  delete state_;
}

std::string Player::open(const std::vector<uint8_t>& devmode) {
  State& s = *state_;
  if (!s.driver.loaded()) return "no driver is loaded";
  if (s.cur.dhpdev) return "the player is already open";
  if (!printerKnown(s.printer)) return "the printer is unknown";
  std::string error = s.enablePdev(devmode, s.cur);
  if (!error.empty()) return error;
  error = s.enableSurface(s.cur);
  if (!error.empty()) s.disablePdev(s.cur);
  return error;
}

std::string Player::close() {
  State& s = *state_;
  if (!s.cur.dhpdev) return "the player is not open";
  if (s.cur.so) s.disableSurface(s.cur);
  s.disablePdev(s.cur);
  return std::string();
}

std::string Player::reset(const std::vector<uint8_t>& devmode) {
  State& s = *state_;
  if (!s.cur.dhpdev) return "the player is not open";
  std::string error;
  auto resetPdev = s.entry<PFN_DrvResetPDEV>(INDEX_DrvResetPDEV, error);
  if (!error.empty()) return error;
  s.disableSurface(s.cur);
  Pdev next;
  error = s.enablePdev(devmode, next);
  if (!error.empty()) {
    // The old PDEV goes on as it was.
    (void)s.enableSurface(s.cur);
    return error;
  }
  EngSetLastError(0);
  if (!resetPdev(s.cur.dhpdev, next.dhpdev)) {
    error = failed("DrvResetPDEV");
    s.disablePdev(next);
    s.enableSurface(s.cur);
    return error;
  }
  s.disablePdev(s.cur);
  s.cur = next;
  return s.enableSurface(s.cur);
}

std::string Player::play(Document& doc) {
  State& s = *state_;
  if (!s.cur.so) return "the player is not open";
  std::string error;
  auto startDoc = s.entry<PFN_DrvStartDoc>(INDEX_DrvStartDoc, error);
  auto endDoc = s.entry<PFN_DrvEndDoc>(INDEX_DrvEndDoc, error);
  auto startPage = s.entry<PFN_DrvStartPage>(INDEX_DrvStartPage, error);
  auto sendPage = s.entry<PFN_DrvSendPage>(INDEX_DrvSendPage, error);
  if (!error.empty()) return error;
  s.job = openJob(s.printer);
  if (!s.job) return "the spool job could not be opened";
  std::u16string name = doc.name;
  EngSetLastError(0);
  if (!startDoc(s.cur.so, name.data(), s.job)) return s.endAborted(failed("DrvStartDoc"));
  bool aborted = false;
  for (size_t i = 0; i < doc.pages.size() && !aborted; ++i) {
    SurfaceInfo info;
    if (surfaceInfo(s.cur.hsurf, info) && info.banding)
      return s.endAborted("a surface marked for banding needs the raster tier");
    EngSetLastError(0);
    if (!startPage(s.cur.so)) return s.endAborted(failed("DrvStartPage"));
    for (Operation& op : doc.pages[i].ops) {
      EngSetLastError(0);
      error = s.runOp(op);
      if (!error.empty()) return s.endAborted(error);
    }
    EngSetLastError(0);
    if (!sendPage(s.cur.so)) return s.endAborted(failed("DrvSendPage"));
    ++s.cur.device->pagesSent;
    if (static_cast<int>(i) == doc.abortAfterPage) aborted = true;
    if (static_cast<int>(i) == doc.resetAfterPage && i + 1 < doc.pages.size() && !aborted) {
      // Between pages: the new PDEV takes the document over.
      auto resetPdev = s.entry<PFN_DrvResetPDEV>(INDEX_DrvResetPDEV, error);
      if (!error.empty()) return s.endAborted(error);
      Pdev next;
      error = s.enablePdev(doc.resetDevMode, next);
      if (!error.empty()) return s.endAborted(error);
      EngSetLastError(0);
      if (!resetPdev(s.cur.dhpdev, next.dhpdev)) {
        error = failed("DrvResetPDEV");
        s.disablePdev(next);
        return s.endAborted(error);
      }
      next.device->pagesSent = s.cur.device->pagesSent;
      s.disableSurface(s.cur);
      s.disablePdev(s.cur);
      s.cur = next;
      error = s.enableSurface(s.cur);
      if (!error.empty()) {
        closeJob(s.printer);
        s.destroyFonts();
        return error;
      }
      EngSetLastError(0);
      if (!startDoc(s.cur.so, name.data(), s.job)) return s.endAborted(failed("DrvStartDoc"));
    }
  }
  EngSetLastError(0);
  BOOL ended = endDoc(s.cur.so, aborted ? FLONG{ED_ABORTDOC} : FLONG{0});
  error = ended ? std::string() : failed("DrvEndDoc");
  closeJob(s.printer);
  s.destroyFonts();
  return error;
}

}  // namespace eng
