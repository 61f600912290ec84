#ifndef UI_ACCESSORY_H
#define UI_ACCESSORY_H

// The paper-handling accessories the plug-in knows by name: the model code
// of each output accessory (its kind, which the output-bin names follow),
// and the input accessories the configuration copy treats specially. The
// printer data name its accessories with these names.

#include <cstdint>

namespace accessory {

enum class Role : uint8_t {
  Output,       // an output accessory with its model code
  ManualFeed,   // an input accessory that is a manual feeder: no name kept
  Renamed,      // an input accessory kept under another name
};

struct Model {
  const char* name;
  Role role;
  int16_t code;          // Output: the model code
  const char* keptAs;    // Renamed: the name stored
};

inline constexpr Model kModels[] = {
    {"QX Stacker", Role::Output, 1, nullptr},
    {"QX Mailbox", Role::Output, 2, nullptr},
    {"QX Stapler Stacker", Role::Output, 3, nullptr},
    {"QX Envelope Feeder", Role::ManualFeed, 0, nullptr},
    {"QX Tray Unit 2", Role::Renamed, 0, "QX Tray Unit"},
};

// The model of a name, or null.
const Model* find(const char* name);

}  // namespace accessory

#endif
