#ifndef UI_ABOUT_H
#define UI_ABOUT_H

// The About dialog and the logo button that opens it. The dialog's title is
// made of the module's About strings and the build text; its list shows the
// printer's installed options, its two lines the settings' product names.

#include <cstdint>
#include <memory>
#include <vector>

#include "host/uihost/win32ui.h"
#include "rw/wstring.h"
#include "ui/dialog.h"
#include "ui/model.h"

namespace about {
// Resources of the resource module.
constexpr uint16_t kDialog = 11520;
constexpr int32_t kTitleItem = 11521, kOptionsItem = 11522, kFirstLineItem = 11523, kSecondLineItem = 11524,
                  kPictureItem = 11525, kOptionalLineItem = 11526;
constexpr uint32_t kTitleString = 11015, kNameString = 11016, kTitleEndString = 11017, kBuildString = 11018,
                   kOptionalLineString = 11019;
constexpr uint16_t kLogoBitmap = 11251, kLogoMask = 11252;

// The build text as the title shows it: empty for a text that starts with
// "-" (or is missing), else "- Bld. " and the text with "_" as blanks.
RWWString buildText(const RWWString& text);
}  // namespace about

// The names of the printer's installed options (its Config list 450), for
// the About dialog.
class GInstalledOptionsModel : public GUIObject {
 public:
  using GUIObject::GUIObject;
  // Appends the resolved name of each display string of the list.
  void collectNames();
  // Collects the names and runs the About dialog; answers its result.
  [[nodiscard]] INT_PTR showAbout(HWND parent, uint16_t dialogId);
  std::vector<RWWString>& names() { return names_; }

 private:
  std::vector<RWWString> names_;
};

// The About dialog's procedure; the parameter is the model, or null.
INT_PTR aboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Item 0 an owner-drawn button that shows the logo and opens the About
// dialog when clicked. It shows no value and keeps no state.
class GLogoButton : public GUIControl {
 public:
  GLogoButton(const GHelpPair* table, std::unique_ptr<GInstalledOptionsModel> model);
  int32_t onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void readModel(bool) override {}
  void writeModel() override {}
  void updateState() override {}

 private:
  GInstalledOptionsModel* options_;
};

#endif
