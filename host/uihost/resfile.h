#ifndef HOST_UIHOST_RESFILE_H
#define HOST_UIHOST_RESFILE_H

// The resource module's text form, and the version data built from it.
//
// A resource file is lines of words; '#' starts a comment line. Texts are
// in double quotes with \" \\ \n \t and \uXXXX (one 16-bit unit); numbers
// are decimal or 0x hexadecimal. Directives:
//
//   string ID "text"
//   dialog ID X Y W H "caption" [STYLE...]        dialog units
//   item ID CLASS X Y W H "text" [STYLE...]       of the last dialog
//       CLASS: button checkbox radio groupbox edit combobox listbox
//              updown scrollbar static
//       STYLE: default ownerdraw disabled hidden notify sort limit=N
//   bitmap ID W H BITS BACKGROUND                  BITS 1 or 24; colours 0xRRGGBB
//   rect X Y W H COLOUR | line X1 Y1 X2 Y2 COLOUR | poly COLOUR X,Y X,Y...
//                                                  shapes of the last bitmap
//   cursor ID HOTX HOTY
//   version FILE PRODUCT                           a.b.c.d each
//   translation LANGUAGE CODEPAGE                  of the version, hex
//   value BLOCK NAME "text"                        BLOCK as "040904E4"
//
// A line that does not parse refuses the whole file, naming the line: a
// module with a broken line is not a module the plug-in can rely on.
//
// Version data is the 32-bit layout: each block is a 16-bit length, a
// 16-bit value length, a 16-bit type (1 text, 0 binary), its key as
// terminated 16-bit text, padding to 4 bytes, the value, padding, then its
// children; little-endian throughout. The root's key is "VS_VERSION_INFO"
// and its value the 52-byte fixed record.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace uihost {

struct DialogItem {
  int32_t id = 0;
  std::string kind;
  int32_t x = 0, y = 0, width = 0, height = 0;  // dialog units
  std::u16string text;
  uint32_t style = 0;
  bool hidden = false;
  bool isDefault = false;  // the dialog's default button
  int32_t limit = 0;       // edits: 0 is the platform's own limit
};

struct DialogTemplate {
  int32_t id = 0;
  int32_t x = 0, y = 0, width = 0, height = 0;
  std::u16string caption;
  uint32_t style = 0;
  std::vector<DialogItem> items;
};

struct Shape {
  std::string kind;  // rect, line, poly
  uint32_t colour = 0;
  std::vector<int32_t> numbers;
};

struct BitmapResource {
  int32_t width = 0, height = 0;
  uint32_t bits = 24;
  uint32_t background = 0;
  std::vector<Shape> shapes;
};

struct CursorResource {
  int32_t hotX = 0, hotY = 0;
};

struct VersionResource {
  uint16_t fileVersion[4] = {};
  uint16_t productVersion[4] = {};
  std::vector<std::pair<uint16_t, uint16_t>> translations;
  // block ("040904E4") to the name and text pairs, in file order
  std::vector<std::pair<std::u16string, std::vector<std::pair<std::u16string, std::u16string>>>> blocks;
};

struct ResourceModule {
  std::map<uint32_t, std::u16string> strings;
  std::map<int32_t, DialogTemplate> dialogs;
  std::map<int32_t, BitmapResource> bitmaps;
  std::map<int32_t, CursorResource> cursors;
  std::optional<VersionResource> version;
};

// Parses text; on failure answers false and error names the line and the
// fault ("name:LINE: ...").
bool parseResources(const std::string& text, const std::string& name, ResourceModule& module, std::string& error);

// The version data of the resource, in the 32-bit layout; empty when it
// would not fit the layout's 16-bit lengths.
std::vector<uint8_t> buildVersionData(const VersionResource& version);

// Finds a value in version data: "\" is the fixed record, "\VarFileInfo\Translation"
// the translation table, "\StringFileInfo\BLOCK\NAME" a text (its length
// in 16-bit units with the terminator). Keys compare without case. Every
// length is checked against the data: false for a path not there or for
// data that is not sound.
bool queryVersion(const uint8_t* data, size_t size, const std::u16string& path, const void** value, uint32_t* length);

}  // namespace uihost

#endif
