#include "core/attrids.h"
#include "ui/cursor.h"

#include "core/attrib.h"
#include "core/classids.h"
#include "core/enumattr.h"
#include "core/geometry.h"
#include "core/textconv.h"
#include "core/valattr.h"
#include "device/custsize.h"
#include "device/media.h"
#include "ui/session.h"
#include "ui/uiids.h"
#include "ui/uires.h"

namespace {
bool isComposite(const MPersistentObject* o) {
  return o && (o->isA() == ClassId::GAttributeComposite || o->isA() == ClassId::GEnumAttribute);
}
}  // namespace

bool GAttributeCursor::descend(uint32_t id) {
  MPersistentObject* child = findComposite(id);
  if (!child) return false;
  composite_ = child;
  return true;
}

bool GAttributeCursor::has(uint32_t id) const { return composite_ && composite_->findById(id); }

MPersistentObject* GAttributeCursor::findOfClass(uint32_t id, uint16_t classId) const {
  if (!composite_) return nullptr;
  MPersistentObject* found = composite_->findById(id);
  return found && found->isA() == classId ? found : nullptr;
}

GValueAttribute* GAttributeCursor::findValue(uint32_t id) const {
  return static_cast<GValueAttribute*>(findOfClass(id, ClassId::GValueAttribute));
}
GRangeAttribute* GAttributeCursor::findRange(uint32_t id) const {
  return static_cast<GRangeAttribute*>(findOfClass(id, ClassId::GRangeAttribute));
}
GStringAttribute* GAttributeCursor::findString(uint32_t id) const {
  return static_cast<GStringAttribute*>(findOfClass(id, ClassId::GStringAttribute));
}
GEnumAttribute* GAttributeCursor::findEnum(uint32_t id) const {
  return static_cast<GEnumAttribute*>(findOfClass(id, ClassId::GEnumAttribute));
}
MPersistentObject* GAttributeCursor::findComposite(uint32_t id) const {
  MPersistentObject* found = composite_ ? composite_->findById(id) : nullptr;
  return isComposite(found) ? found : nullptr;
}

bool GAttributeCursor::getValue(uint32_t id, int32_t& value) const {
  const GValueAttribute* a = findValue(id);
  value = a ? a->value() : 0;
  return a != nullptr;
}

bool GAttributeCursor::getString(uint32_t id, RWWString& text) const {
  const GStringAttribute* a = findString(id);
  text = RWWString();
  if (!a) return false;
  (void)convertToWide(a->value(), text);  // answers 1 always
  return true;
}

bool GAttributeCursor::getString(uint32_t id, RWCString& text) const {
  const GStringAttribute* a = findString(id);
  text = a ? a->value() : RWCString();
  return a != nullptr;
}

#define RANGE_FIELD(name, field)                                  \
  bool GAttributeCursor::name(uint32_t id, int16_t& out) const { \
    const GRangeAttribute* a = findRange(id);                     \
    out = a ? a->field() : 0;                                     \
    return a != nullptr;                                          \
  }
RANGE_FIELD(rangeMaximum, maximum)
RANGE_FIELD(rangeMinimum, minimum)
RANGE_FIELD(rangeStep, step)
RANGE_FIELD(rangeValue, value)
#undef RANGE_FIELD

bool GAttributeCursor::wasChanged(uint32_t id) const { return session_ && session_->wasChanged(id, nullptr); }

bool GAttributeCursor::recordChange(const GAttribute& attribute, const std::vector<uint32_t>* path) {
  if (session_) session_->recordChange(attribute, path);
  return true;
}

bool GAttributeCursor::setValue(uint32_t id, int16_t value) {
  if (readOnly_ || !composite_) return false;
  // Only the scratch group makes the plug-in's own values on demand; the
  // change is then recorded from the new attribute's value.
  if (composite_->id() == AttrId::UiScratch && !has(id)) {
    auto* made = new GValueAttribute(value, id);
    composite_->insert(made);
    // A made value is a change like any other: the rules watching it run,
    // and an undo takes it back to the value it was made with.
    recordChange(*made, nullptr);
    return true;
  }
  GValueAttribute* a = findValue(id);
  if (!a) return false;
  if (a->value() == value) return true;
  recordChange(*a, nullptr);
  GValueAttribute copy(*a);
  copy.setValue(value);
  return composite_->replaceDeepById(id, &copy) != 0;
}

bool GAttributeCursor::setString(uint32_t id, const RWWString& text) {
  RWCString narrow;
  (void)convertToNarrow(text, narrow);  // answers 1 always
  return setString(id, narrow);
}

bool GAttributeCursor::setString(uint32_t id, const RWCString& text) {
  if (readOnly_ || !composite_) return false;
  GStringAttribute* a = findString(id);
  if (!a) return false;
  const RWCString& old = a->value();
  if (old.length() == text.length() && std::string_view(old.data(), old.length()) ==
                                           std::string_view(text.data(), text.length()))
    return true;
  recordChange(*a, nullptr);
  GStringAttribute replacement(text, id);
  return composite_->replaceDeepById(id, &replacement) != 0;
}

bool GAttributeCursor::addValue(int16_t value, uint32_t id) {
  if (readOnly_ || !composite_) return false;
  if (!has(id)) composite_->insert(new GValueAttribute(value, id));
  return true;
}

bool GAttributeCursor::addList(uint32_t id, const std::vector<int16_t>& values) {
  if (readOnly_ || !composite_) return false;
  auto* list = new GAttributeComposite(id);
  for (int16_t v : values) list->insert(new GValueAttribute(v, 0));
  composite_->insert(list);
  return true;
}

bool GAttributeCursor::getList(uint32_t id, std::vector<int16_t>& values) const {
  if (id == AttrId::MediaPool) return mediaIdList(values);
  MPersistentObject* list = findComposite(id);
  if (!list) return false;
  values.clear();
  for (RWsize i = 0; i < list->entries(); ++i) {
    const MPersistentObject* child = static_cast<GAttributeComposite*>(list)->children().pointee(i);
    if (!child || child->isA() != ClassId::GValueAttribute) return false;
    values.push_back(static_cast<const GValueAttribute*>(child)->value());
  }
  return true;
}

bool GAttributeCursor::mediaIdList(std::vector<int16_t>& ids) const {
  auto* pool = static_cast<GMediaPool*>(findOfClass(AttrId::MediaPool, ClassId::GMediaPool));
  ids.clear();
  if (!pool) return false;
  const int32_t orientation = settingsOrientation(*this);
  int16_t x = 600, y = 600;
  settingsResolution(*this, x, y);
  GPoint lower(0, 0), upper(0x7FFF, 0x7FFF);
  if (settingsFitToPage(*this) == 0) {
    if (const GMedia* m = pool->findByMediaId(CustomMediaId::kSmallest, orientation, x, y)) lower = m->size();
    if (const GMedia* m = pool->findByMediaId(CustomMediaId::kLargest, orientation, x, y)) upper = m->size();
  }
  std::unique_ptr<GMediaPoolIterator> walk(pool->select(orientation, x, y, lower, upper));
  bool whole = true;
  while (walk && walk->advance()) {
    const auto* media = dynamic_cast<const GMedia*>(walk->current());
    if (!media) {
      whole = false;
      continue;
    }
    ids.push_back(media->mediaId());
  }
  return whole;
}

GMedia* GAttributeCursor::makeMedia(int16_t mediaId, int32_t orientation, int16_t x, int16_t y) const {
  if (mediaId >= CustomMediaId::kFirst && mediaId <= CustomMediaId::kLast)
    return session_ ? session_->makeCustomMedia(mediaId, x, y) : nullptr;
  auto* pool = static_cast<GMediaPool*>(findOfClass(AttrId::MediaPool, ClassId::GMediaPool));
  return pool ? pool->findByMediaId(mediaId, orientation, x, y) : nullptr;
}

GMedia* GAttributeCursor::makeMedia(int16_t mediaId, int16_t resolution) const {
  return makeMedia(mediaId, settingsOrientation(*this), resolution, resolution);
}

GMedia* GAttributeCursor::makeMedia(int16_t mediaId) const {
  int16_t x = 600, y = 600;
  settingsResolution(*this, x, y);
  return makeMedia(mediaId, settingsOrientation(*this), x, y);
}

MPersistentObject* GAttributeCursor::customSizes() const { return findComposite(AttrId::CustomSizes); }
MPersistentObject* GAttributeCursor::child375() const {
  return composite_ ? composite_->findById(UiId::kChild375) : nullptr;
}

std::unique_ptr<MPersistentObject> GAttributeCursor::copyOf(uint32_t id) const {
  const MPersistentObject* a = composite_ ? composite_->findById(id) : nullptr;
  return std::unique_ptr<MPersistentObject>(a ? a->deepCopy() : nullptr);
}

bool GAttributeCursor::replace(uint32_t id, const MPersistentObject& replacement) {
  if (readOnly_ || !composite_) return false;
  return composite_->replaceDeepById(id, &replacement) != 0;
}

// The settings the short forms read: the session's, whatever tree the
// cursor stands on (the pool is the printer's, the choices the user's); a
// cursor without a session reads its own composite.
namespace {
GAttributeCursor settingsOf(const GAttributeCursor& c) {
  GUISession* session = c.session();
  return GAttributeCursor(session && session->settings() ? session->settings() : c.composite(), nullptr, true);
}
}  // namespace

int32_t settingsOrientation(const GAttributeCursor& settings) {
  int32_t v = 0;
  (void)settingsOf(settings).getValue(AttrId::OrientationAngle, v);  // absent reads 0
  return v;
}

void settingsResolution(const GAttributeCursor& settings, int16_t& x, int16_t& y) {
  x = 600, y = 600;
  GAttributeCursor group = settingsOf(settings);
  if (!group.descend(AttrId::ResolutionGroup)) return;
  int32_t v = 0;
  if (group.getValue(AttrId::Resolution, v)) x = static_cast<int16_t>(v);
  if (group.getValue(AttrId::VerticalResolution, v)) y = static_cast<int16_t>(v);
}

int16_t settingsFitToPage(const GAttributeCursor& settings) {
  int32_t v = 0;
  (void)settingsOf(settings).getValue(AttrId::FitToMedia, v);  // absent reads 0
  return static_cast<int16_t>(v);
}

MPersistentObject* findCustomSize(const GAttributeCursor& settings, int16_t mediaId) {
  auto* sizes = static_cast<GAttributeComposite*>(settings.customSizes());
  if (!sizes) return nullptr;
  for (RWsize i = 0; i < sizes->entries(); ++i) {
    auto* size = dynamic_cast<GCustomMediaSize*>(sizes->children().pointee(i));
    if (size && size->mediaId() == mediaId) return size;
  }
  return nullptr;
}

// ------------------------------------------------------ combo and list boxes

static WPARAM index16(int16_t i) { return static_cast<WPARAM>(static_cast<intptr_t>(i)); }
static std::u16string u16(const RWWString& s) { return std::u16string(s.data(), s.length()); }

template <class C>
LRESULT GItemListRef<C>::send(UINT message, WPARAM wParam, LPARAM lParam) const {
  return SendDlgItemMessageW(dialog_, item_, message, wParam, lParam);
}
template <class C>
LRESULT GItemListRef<C>::reset() const {
  return send(C::kReset);
}
template <class C>
LRESULT GItemListRef<C>::deleteString(int16_t i) const {
  return send(C::kDelete, index16(i));
}
template <class C>
LRESULT GItemListRef<C>::currentSelection() const {
  return send(C::kGetSelection);
}
template <class C>
LRESULT GItemListRef<C>::setSelection(int16_t i) const {
  return send(C::kSetSelection, index16(i));
}
template <class C>
LRESULT GItemListRef<C>::itemData(int16_t i) const {
  return send(C::kGetData, index16(i));
}
template <class C>
LRESULT GItemListRef<C>::setItemData(int16_t i, LPARAM d) const {
  return send(C::kSetData, index16(i), d);
}
template <class C>
LRESULT GItemListRef<C>::count() const {
  return send(C::kCount);
}
template <class C>
LRESULT GItemListRef<C>::addString(const RWWString& text) const {
  const std::u16string t = u16(text);
  return send(C::kAdd, 0, reinterpret_cast<LPARAM>(t.c_str()));
}
template <class C>
LRESULT GItemListRef<C>::addWithData(const RWWString& text, LPARAM data) const {
  const LRESULT at = addString(text);
  if (at < 0) return -1;
  (void)setItemData(static_cast<int16_t>(at), data);  // the entry exists: it cannot fail
  return at;
}
template <class C>
bool GItemListRef<C>::selectByData(LPARAM data) const {
  const LRESULT n = count();
  for (LRESULT i = 0; i < n; ++i)
    if (itemData(static_cast<int16_t>(i)) == data) return setSelection(static_cast<int16_t>(i)) != C::kError;
  return false;
}
template <class C>
bool GItemListRef<C>::hasData(LPARAM data) const {
  const LRESULT n = count();
  for (LRESULT i = 0; i < n; ++i)
    if (itemData(static_cast<int16_t>(i)) == data) return true;
  return false;
}
template <class C>
bool GItemListRef<C>::textAt(int16_t index, RWWString& text) const {
  const LRESULT length = send(C::kTextLength, index16(index));
  if (length < 0) return false;
  std::u16string buffer(static_cast<size_t>(length) + 1, u'\0');
  const LRESULT got = send(C::kText, index16(index), reinterpret_cast<LPARAM>(buffer.data()));
  if (got < 0) return false;
  text = RWWString(buffer.data(), static_cast<size_t>(got));
  return true;
}
template <class C>
int32_t GItemListRef<C>::find(const RWWString& wanted) const {
  const LRESULT n = count();
  for (LRESULT i = 0; i < n; ++i) {
    RWWString text;
    if (!textAt(static_cast<int16_t>(i), text)) return -1;
    if (u16(text) == u16(wanted)) return static_cast<int32_t>(i);
  }
  return -1;
}
template <class C>
bool GItemListRef<C>::itemText(RWCString& out) const {
  const HWND window = GetDlgItem(dialog_, item_);
  const int32_t length = GetWindowTextLengthW(window);
  if (length <= 0) return false;
  std::u16string buffer(static_cast<size_t>(length) + 1, u'\0');
  const int32_t got = GetWindowTextW(window, buffer.data(), length + 1);
  (void)convertToNarrow(RWWString(buffer.data(), static_cast<size_t>(got)), out);  // answers 1 always
  return got > 0;
}
template <class C>
void GItemListRef<C>::setText(const RWWString& text) const {
  uires::setItemTextIfDifferent(dialog_, item_, text);
}

template class GItemListRef<GComboBoxCodes>;
template class GItemListRef<GListBoxCodes>;

bool GComboBoxRef::selectByText(const RWCString& narrow) const {
  RWWString wanted;
  (void)convertToWide(narrow, wanted);  // answers 1 always
  const int32_t at = find(wanted);
  return at >= 0 && setSelection(static_cast<int16_t>(at)) != CB_ERR;
}
LRESULT GComboBoxRef::selectedData() const {
  const LRESULT at = currentSelection();
  return at < 0 ? -1 : itemData(static_cast<int16_t>(at));
}
bool GComboBoxRef::selectedText(RWCString& out) const {
  const LRESULT at = currentSelection();
  RWWString text;
  if (at < 0 || !textAt(static_cast<int16_t>(at), text)) return false;
  (void)convertToNarrow(text, out);  // answers 1 always
  return true;
}

bool GListBoxRef::selectByText(const RWWString& text) const {
  const int32_t at = find(text);
  return at >= 0 && setSelection(static_cast<int16_t>(at)) != LB_ERR;
}
bool GListBoxRef::deleteByText(const RWWString& text) const {
  const int32_t at = find(text);
  return at >= 0 && deleteString(static_cast<int16_t>(at)) != LB_ERR;
}
LRESULT GListBoxRef::selectedData() const {
  const LRESULT at = currentSelection();
  return at < 0 ? 0xFFFF : itemData(static_cast<int16_t>(at));
}
bool GListBoxRef::selectedText(RWWString& out) const {
  const LRESULT at = currentSelection();
  return at >= 0 && textAt(static_cast<int16_t>(at), out);
}
