#ifndef UI_CURSOR_H
#define UI_CURSOR_H

// The attribute cursor: how the plug-in's models read and write the trees.
// A cursor stands on one composite (lookups search depth first below it)
// and belongs to a session, with which every change is recorded for undo
// and for the rules before it is made. A read-only cursor refuses every
// write and creates nothing. Only a cursor on the scratch group creates a
// missing value when asked to set it; anywhere else a missing attribute is
// an answer of false.
//
// Also the combo- and list-box wrappers, which send one message each to a
// bound dialog item.

#include <cstdint>
#include <memory>
#include <vector>

#include "host/uihost/win32ui.h"
#include "rw/cstring.h"
#include "rw/wstring.h"

class GAttribute;
class GAttributeComposite;
class GEnumAttribute;
class GMedia;
class GRangeAttribute;
class GStringAttribute;
class GUISession;
class GValueAttribute;
class MPersistentObject;

class GAttributeCursor {
 public:
  GAttributeCursor(MPersistentObject* composite, GUISession* session, bool readOnly)
      : composite_(composite), session_(session), readOnly_(readOnly ? 1 : 0) {}

  MPersistentObject* composite() const { return composite_; }
  bool readOnly() const { return readOnly_ != 0; }
  GUISession* session() const { return session_; }

  bool descend(uint32_t id);
  bool has(uint32_t id) const;
  // Still the tree's.
  MPersistentObject* findOfClass(uint32_t id, uint16_t classId) const;
  GValueAttribute* findValue(uint32_t id) const;
  GRangeAttribute* findRange(uint32_t id) const;
  GStringAttribute* findString(uint32_t id) const;
  GEnumAttribute* findEnum(uint32_t id) const;
  MPersistentObject* findComposite(uint32_t id) const;

  bool getValue(uint32_t id, int32_t& value) const;
  bool getString(uint32_t id, RWWString& text) const;
  bool getString(uint32_t id, RWCString& text) const;
  bool rangeMaximum(uint32_t id, int16_t& out) const;
  bool rangeMinimum(uint32_t id, int16_t& out) const;
  bool rangeStep(uint32_t id, int16_t& out) const;
  bool rangeValue(uint32_t id, int16_t& out) const;

  bool wasChanged(uint32_t id) const;
  bool recordChange(const GAttribute& attribute, const std::vector<uint32_t>* path);

  bool setValue(uint32_t id, int16_t value);
  bool setString(uint32_t id, const RWWString& text);
  bool setString(uint32_t id, const RWCString& text);
  bool addValue(int16_t value, uint32_t id);
  bool addList(uint32_t id, const std::vector<int16_t>& values);
  // 189 is the media ids the settings allow (mediaIdList).
  bool getList(uint32_t id, std::vector<int16_t>& values) const;
  bool mediaIdList(std::vector<int16_t>& ids) const;

  // Custom ids 16384..17383 are made by the session (and are the scratch
  // group's); any other is the pool's entry. Null when there is none.
  GMedia* makeMedia(int16_t mediaId, int32_t orientation, int16_t xResolution, int16_t yResolution) const;
  GMedia* makeMedia(int16_t mediaId, int16_t resolution) const;
  GMedia* makeMedia(int16_t mediaId) const;

  // The custom paper sizes (276): the printer data keep them in a plain
  // attribute composite, so either composite class is taken.
  MPersistentObject* customSizes() const;
  MPersistentObject* child375() const;
  // A deep copy (the caller's), or null.
  std::unique_ptr<MPersistentObject> copyOf(uint32_t id) const;
  // The tree keeps a deep copy of the replacement.
  bool replace(uint32_t id, const MPersistentObject& replacement);

 private:
  MPersistentObject* composite_;  // the tree's
  GUISession* session_;
  int32_t readOnly_;
};

// What the short forms of makeMedia and the media-id list read of the
// settings: the orientation (265), the resolutions of group 249 (600 where
// absent) and the fit-to-page flag (270).
int32_t settingsOrientation(const GAttributeCursor& settings);
void settingsResolution(const GAttributeCursor& settings, int16_t& x, int16_t& y);
int16_t settingsFitToPage(const GAttributeCursor& settings);
// The custom size with the media id in the settings' 276, or null.
MPersistentObject* findCustomSize(const GAttributeCursor& settings, int16_t mediaId);

// The messages of one kind of item list: a combo box or a list box.
struct GComboBoxCodes {
  static constexpr UINT kReset = CB_RESETCONTENT, kDelete = CB_DELETESTRING, kGetSelection = CB_GETCURSEL,
                        kSetSelection = CB_SETCURSEL, kGetData = CB_GETITEMDATA, kSetData = CB_SETITEMDATA,
                        kCount = CB_GETCOUNT, kAdd = CB_ADDSTRING, kTextLength = CB_GETLBTEXTLEN,
                        kText = CB_GETLBTEXT;
  static constexpr LRESULT kError = CB_ERR;
};
struct GListBoxCodes {
  static constexpr UINT kReset = LB_RESETCONTENT, kDelete = LB_DELETESTRING, kGetSelection = LB_GETCURSEL,
                        kSetSelection = LB_SETCURSEL, kGetData = LB_GETITEMDATA, kSetData = LB_SETITEMDATA,
                        kCount = LB_GETCOUNT, kAdd = LB_ADDSTRING, kTextLength = LB_GETTEXTLEN, kText = LB_GETTEXT;
  static constexpr LRESULT kError = LB_ERR;
};

// A dialog item that holds a list of strings with data: what combo boxes
// and list boxes answer alike.
template <class Codes>
class GItemListRef {
 public:
  GItemListRef() = default;
  GItemListRef(HWND dialog, uint16_t item) : dialog_(dialog), item_(item) {}
  void bind(HWND dialog, uint16_t item) { dialog_ = dialog, item_ = item; }
  HWND dialog() const { return dialog_; }
  uint16_t item() const { return item_; }

  LRESULT reset() const;
  LRESULT deleteString(int16_t index) const;
  LRESULT currentSelection() const;
  LRESULT setSelection(int16_t index) const;
  LRESULT itemData(int16_t index) const;
  LRESULT setItemData(int16_t index, LPARAM data) const;
  LRESULT count() const;
  LRESULT addString(const RWWString& text) const;
  LRESULT addWithData(const RWWString& text, LPARAM data) const;
  bool selectByData(LPARAM data) const;
  bool hasData(LPARAM data) const;
  // The item's own text (a combo box's edit field), narrowed.
  bool itemText(RWCString& text) const;
  void setText(const RWWString& text) const;

 protected:
  LRESULT send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  bool textAt(int16_t index, RWWString& text) const;
  // The index of the first entry whose text is text, or -1.
  int32_t find(const RWWString& text) const;
  HWND dialog_ = 0;
  uint16_t item_ = 0;
};

class GComboBoxRef : public GItemListRef<GComboBoxCodes> {
 public:
  using GItemListRef::GItemListRef;
  bool selectByText(const RWCString& text) const;
  LRESULT selectedData() const;
  bool selectedText(RWCString& text) const;
};

class GListBoxRef : public GItemListRef<GListBoxCodes> {
 public:
  using GItemListRef::GItemListRef;
  bool selectByText(const RWWString& text) const;
  bool deleteByText(const RWWString& text) const;
  // 0xFFFF in the low half when nothing is selected.
  LRESULT selectedData() const;
  bool selectedText(RWWString& text) const;
};

#endif
