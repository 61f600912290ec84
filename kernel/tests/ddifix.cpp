#include "kernel/tests/ddifix.h"

#include <fstream>
#include <iterator>

std::vector<std::string> BuiltPrinter::jobs() const {
  std::vector<std::string> out;
  for (const std::string& path : eng::jobFiles(handle)) {
    std::ifstream in(path, std::ios::binary);
    out.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return out;
}

DdiDriver::DdiDriver() {
  image_ = dlopen(KRENDER_PROBE, RTLD_NOW | RTLD_LOCAL);
  EXPECT_NE(image_, nullptr) << dlerror();
  if (!image_) return;
  auto enable = reinterpret_cast<PFN_DrvEnableDriver>(dlsym(image_, "DrvEnableDriver"));
  disable_ = reinterpret_cast<PFN_DrvDisableDriver>(dlsym(image_, "DrvDisableDriver"));
  deviceEntries_ = reinterpret_cast<unsigned (*)()>(dlsym(image_, "KrenderProbeDeviceEntries"));
  isAborted_ = reinterpret_cast<unsigned (*)(DHPDEV)>(dlsym(image_, "KrenderProbeIsAborted"));
  setAborted_ = reinterpret_cast<void (*)(DHPDEV, unsigned)>(dlsym(image_, "KrenderProbeSetAborted"));
  EXPECT_TRUE(enable && disable_ && deviceEntries_ && isAborted_ && setAborted_);
  if (!enable || !disable_ || !deviceEntries_ || !isAborted_ || !setAborted_) return;
  enabled_ = enable(DDI_DRIVER_VERSION, sizeof ded_, &ded_) != FALSE;
  EXPECT_TRUE(enabled_);
}

DdiDriver::~DdiDriver() {
  if (enabled_) disable_();
  if (image_) dlclose(image_);
}

OpenPdev::OpenPdev(const DdiDriver& d, const BuiltPrinter& p, const eng::PublicDevMode& devmode, bool withSurface)
    : driver(d), printer(p) {
  auto enable = driver.entry<PFN_DrvEnablePDEV>(INDEX_DrvEnablePDEV);
  auto complete = driver.entry<PFN_DrvCompletePDEV>(INDEX_DrvCompletePDEV);
  if (!enable || !complete) return;
  hdev = eng::addDevice(printer.handle);
  std::vector<uint8_t> dm = eng::publicDevMode(devmode);
  std::u16string port = u"LPT1:", name = printer.name;
  pdev = enable(dm.data(), port.data(), HS_DDI_MAX, patterns, sizeof gdi, &gdi, sizeof devinfo, &devinfo, hdev,
                name.data(), printer.handle);
  if (!pdev) return;
  eng::setDevicePdev(hdev, pdev);
  complete(pdev, hdev);
  if (withSurface) enableSurface();
}

OpenPdev::~OpenPdev() {
  if (jobOpen) eng::closeSpoolJob(printer.handle);
  if (hsurf) disableSurface();
  if (pdev) disablePdev();
  if (hdev) eng::removeDevice(hdev);
}

BOOL OpenPdev::startDoc(const char16_t* name) {
  DWORD job = 0;
  if (!jobOpen) {
    job = eng::openSpoolJob(printer.handle);
    jobOpen = job != 0;
  }
  std::u16string text = name;
  return driver.entry<PFN_DrvStartDoc>(INDEX_DrvStartDoc)(surface(), text.data(), job);
}

BOOL OpenPdev::endDoc(FLONG flags) {
  const BOOL answer = driver.entry<PFN_DrvEndDoc>(INDEX_DrvEndDoc)(surface(), flags);
  if (jobOpen) eng::closeSpoolJob(printer.handle);
  jobOpen = false;
  return answer;
}

BOOL OpenPdev::startPage() { return driver.entry<PFN_DrvStartPage>(INDEX_DrvStartPage)(surface()); }

BOOL OpenPdev::sendPage() {
  const BOOL answer = driver.entry<PFN_DrvSendPage>(INDEX_DrvSendPage)(surface());
  if (answer) eng::pageSent(hdev);
  return answer;
}

HSURF OpenPdev::enableSurface() {
  hsurf = driver.entry<PFN_DrvEnableSurface>(INDEX_DrvEnableSurface)(pdev);
  state = eng::SurfaceState();
  if (hsurf) {
    EXPECT_TRUE(eng::surfaceState(hsurf, state));
  }
  return hsurf;
}

void OpenPdev::disableSurface() {
  driver.entry<PFN_DrvDisableSurface>(INDEX_DrvDisableSurface)(pdev);
  hsurf = nullptr;
  state = eng::SurfaceState();
}

void OpenPdev::disablePdev() {
  driver.entry<PFN_DrvDisablePDEV>(INDEX_DrvDisablePDEV)(pdev);
  pdev = nullptr;
}

BOOL OpenPdev::paint() {
  CLIPOBJ* clip = EngCreateClip();
  BRUSHOBJ brush{0, nullptr, 0, nullptr};
  POINTL origin{0, 0};
  const BOOL answer = driver.entry<PFN_DrvPaint>(INDEX_DrvPaint)(surface(), clip, &brush, &origin, 0x0D0D);
  EngDeleteClip(clip);
  return answer;
}

BOOL OpenPdev::bitBlt() {
  CLIPOBJ* clip = EngCreateClip();
  BRUSHOBJ brush{0, nullptr, 0, nullptr};
  POINTL origin{0, 0};
  RECTL target{100, 100, 200, 200};
  const BOOL answer = driver.entry<PFN_DrvBitBlt>(INDEX_DrvBitBlt)(surface(), nullptr, nullptr, clip, nullptr,
                                                                   &target, nullptr, nullptr, &brush, &origin,
                                                                   0xF0F0);
  EngDeleteClip(clip);
  return answer;
}
