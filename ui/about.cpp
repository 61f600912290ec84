#include "ui/about.h"

#include <string>

#include "core/attrids.h"
#include "core/classids.h"
#include "core/dispstr.h"
#include "ui/cursor.h"
#include "ui/session.h"
#include "ui/uiids.h"
#include "ui/uires.h"

namespace {

std::u16string units(const RWWString& text) { return std::u16string(text.data(), text.length()); }

RWWString loaded(uint32_t id) {
  RWWString text;
  (void)uires::loadResourceString(id, text);  // a missing string is the empty text
  return text;
}

// The display string's text as the host resolves it against our resources.
RWWString resolved(const GDisplayString& name) {
  RWWString text;
  UIHostResolver* resolver = UIHostResolverCreate(uires::resourceModule(), &name);
  if (!resolver) return text;
  UIHostResolverText(resolver, text);
  UIHostResolverDestroy(resolver);
  return text;
}

RWWString settingsText(GAttributeCursor& settings, uint32_t id) {
  auto* a = static_cast<GDisplayStringAttribute*>(settings.findOfClass(id, ClassId::GDisplayStringAttribute));
  return a ? resolved(a->displayString()) : RWWString();
}

void setText(HWND dialog, int32_t item, const std::u16string& text) {
  (void)SetDlgItemTextW(dialog, item, text.c_str());  // a missing item shows nothing
}

// Moves the dialog so that its centre is over its parent's.
void centreOverParent(HWND dialog) {
  const HWND parent = GetParent(dialog);
  RECT outer, inner;
  WINDOWPLACEMENT place;
  if (!parent || !GetWindowRect(parent, &outer) || !GetWindowRect(dialog, &inner) ||
      !GetWindowPlacement(dialog, &place))
    return;  // nothing to centre over: the template's place stays
  const int32_t dx = (outer.left + outer.right - inner.left - inner.right) / 2;
  const int32_t dy = (outer.top + outer.bottom - inner.top - inner.bottom) / 2;
  RECT& r = place.rcNormalPosition;
  r = RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
  (void)SetWindowPlacement(dialog, &place);  // the dialog is ours: it moves
}

void initialize(HWND dialog, GInstalledOptionsModel* model) {
  (void)SetWindowLongPtrW(dialog, DWL_USER, reinterpret_cast<LONG_PTR>(model));  // answers the old value: none
  centreOverParent(dialog);
  const std::u16string title = units(loaded(about::kTitleString)) + units(loaded(about::kNameString)) + u" " +
                               units(about::buildText(loaded(about::kBuildString))) +
                               units(loaded(about::kTitleEndString));
  setText(dialog, about::kTitleItem, title);
  const RWWString optional = loaded(about::kOptionalLineString);
  if (optional.length() > 0) {
    setText(dialog, about::kOptionalLineItem, units(optional));
    (void)ShowWindow(GetDlgItem(dialog, about::kOptionalLineItem), SW_SHOW);  // answers the old visibility
  }
  if (!model) {
    (void)EnableWindow(GetDlgItem(dialog, about::kOptionsItem), 0);  // answers the old state
    return;
  }
  GAttributeCursor settings = model->session()->settingsCursor();
  setText(dialog, about::kFirstLineItem,
          units(settingsText(settings, UiId::kAboutLine515)) + units(settingsText(settings, UiId::kAboutLine516)));
  setText(dialog, about::kSecondLineItem, units(settingsText(settings, UiId::kAboutLine517)));
  GListBoxRef list(dialog, about::kOptionsItem);
  for (const RWWString& name : model->names()) (void)list.addString(name);  // a refused name is not listed
  model->names().clear();
}

void drawLogo(HWND dialog, int32_t item) {
  uires::drawBitmapAligned(GetDlgItem(dialog, item), about::kLogoBitmap, about::kLogoMask, 1, 2);
}

bool drawsEntire(LPARAM lParam, int32_t item) {
  const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
  return draw && static_cast<int32_t>(draw->CtlID) == item && (draw->itemAction & ODA_DRAWENTIRE);
}

}  // namespace

RWWString about::buildText(const RWWString& text) {
  std::u16string build = units(text);
  if (build.empty() || build.front() == u'-') return RWWString();
  for (char16_t& c : build)
    if (c == u'_') c = u' ';
  build = u"- Bld. " + build;
  return RWWString(build.data(), build.size());
}

void GInstalledOptionsModel::collectNames() {
  GAttributeCursor config = session()->printerConfigCursor();
  auto* list = static_cast<GAttributeComposite*>(config.findComposite(AttrId::InstalledOptions));
  if (!list) return;
  for (RWsize i = 0; i < list->entries(); ++i) {
    const MPersistentObject* child = list->children().pointee(i);
    // Only display strings name an option.
    if (!child || child->isA() != ClassId::GDisplayStringAttribute) continue;
    names_.push_back(resolved(static_cast<const GDisplayStringAttribute*>(child)->displayString()));
  }
}

INT_PTR GInstalledOptionsModel::showAbout(HWND parent, uint16_t dialogId) {
  collectNames();
  return DialogBoxParamW(uires::resourceModule(), MAKEINTRESOURCEW(dialogId), parent, &aboutDialogProc,
                         reinterpret_cast<LPARAM>(this));
}

INT_PTR aboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      initialize(dialog, reinterpret_cast<GInstalledOptionsModel*>(lParam));
      return 1;
    case WM_DRAWITEM:
      if (drawsEntire(lParam, about::kPictureItem)) drawLogo(dialog, about::kPictureItem);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        (void)EndDialog(dialog, LOWORD(wParam));  // the run is ours: it ends
        return 1;
      }
      return 0;
    default: return 0;
  }
}

GLogoButton::GLogoButton(const GHelpPair* table, std::unique_ptr<GInstalledOptionsModel> model)
    : GUIControl(table, std::unique_ptr<GUIObject>(model.get())), options_(model.release()) {}

int32_t GLogoButton::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DRAWITEM && drawsEntire(lParam, itemId(0))) {
    drawLogo(dialogWindow(), itemId(0));
  } else if (message == WM_COMMAND && LOWORD(wParam) == itemId(0) && HIWORD(wParam) == BN_CLICKED) {
    (void)options_->showAbout(dialogWindow(), about::kDialog);  // the About changes nothing
  }
  return 0;
}
