#ifndef UI_UIIDS_H
#define UI_UIIDS_H

// The attribute ids the plug-in's session, cursors and configuration copy
// read and write, by what they hold for the plug-in. Ids from 0x40000000 up
// are the plug-in's own values, kept in the settings' scratch group.

#include <cstdint>

namespace UiId {
// Settings and printer Config
constexpr uint32_t kPrinter = 76;                 // the printer stage of the configuration
constexpr uint32_t kPaperHandlingDevices = 90;    // list of GPaperHandlingDevice
constexpr uint32_t kMediaPool = 189;
constexpr uint32_t kDownloadMemory = 202;         // range
constexpr uint32_t kOption204 = 204;
constexpr uint32_t kModeEntries = 206;            // list of resolution entries
constexpr uint32_t kOutputModel = 213;
constexpr uint32_t kOption226 = 226;
constexpr uint32_t kJobLanguageConfig = 228;
constexpr uint32_t kOption231 = 231;
constexpr uint32_t kOption239 = 239;
constexpr uint32_t kResolutionGroup = 249;
constexpr uint32_t kOrientation = 265;
constexpr uint32_t kFitToPage = 270;
constexpr uint32_t kManualFeedFlag = 275;
constexpr uint32_t kCustomSizes = 276;
constexpr uint32_t kScratch = 283;                // the plug-in's scratch group
constexpr uint32_t kDownloadMemoryChoice = 307;
constexpr uint32_t kOption308 = 308;
constexpr uint32_t kOption310 = 310;
constexpr uint32_t kAccessoryAvailability = 313;
constexpr uint32_t kCustomBinNames = 314;
constexpr uint32_t kInputDeviceName = 315;
constexpr uint32_t kOutputDeviceName = 316;
constexpr uint32_t kResolution = 323;
constexpr uint32_t kVerticalResolution = 324;
constexpr uint32_t kPrinterOptions = 365;
constexpr uint32_t kCarried366 = 366;
constexpr uint32_t kCarried367 = 367;
constexpr uint32_t kHelpFile = 374;
constexpr uint32_t kChild375 = 375;
constexpr uint32_t kChild378 = 378;
constexpr uint32_t kInstalledOptions = 450;
constexpr uint32_t kAboutLine515 = 515;
constexpr uint32_t kAboutLine516 = 516;
constexpr uint32_t kAboutLine517 = 517;
constexpr uint32_t kExtraMediaTypes = 701;
// The scratch group's own values
constexpr uint32_t kCustomMedia = 0x40000017;
constexpr uint32_t kQuickSetPool = 0x4000005C;
// Media ids that bound the custom sizes: the smallest and the largest.
constexpr int16_t kSmallestCustomMedia = 17385;
constexpr int16_t kLargestCustomMedia = 17384;
constexpr int16_t kFirstCustomMediaId = 16384;
constexpr int16_t kLastCustomMediaId = 17383;
}  // namespace UiId

#endif
