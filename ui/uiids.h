#ifndef UI_UIIDS_H
#define UI_UIIDS_H

// The attribute ids the plug-in's session, cursors and configuration copy
// read and write that the attribute table (core/attrids.h) does not name.
// Ids from 0x40000000 up are the plug-in's own values, kept in the
// settings' scratch group.

#include <cstdint>

namespace UiId {
// Settings and printer Config
constexpr uint32_t kAccessoryAvailability = 313;
constexpr uint32_t kCustomBinNames = 314;
constexpr uint32_t kChild375 = 375;
constexpr uint32_t kAboutLine515 = 515;
constexpr uint32_t kAboutLine516 = 516;
constexpr uint32_t kAboutLine517 = 517;
// The scratch group's own values
constexpr uint32_t kCustomMedia = 0x40000017;
constexpr uint32_t kQuickSetPool = 0x4000005C;
}  // namespace UiId

#endif
