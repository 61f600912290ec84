#include "host/uihost/resfile.h"

#include <cstring>
#include <set>

#include "host/uihost/win32ui.h"

namespace uihost {

namespace {

// One line cut into words; a quoted text is one word, kept with a mark so
// that a text is never taken for a keyword or a number.
struct Word {
  std::string raw;
  std::u16string text;
  bool quoted = false;
};

bool appendUtf8(std::u16string& out, const std::string& in, size_t& i) {
  const unsigned char b = static_cast<unsigned char>(in[i]);
  uint32_t c = b;
  size_t more = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
  if (b >= 0x80 && more == 0) return false;
  if (i + more >= in.size() && more) return false;
  if (more) c = b & (0x3F >> more);
  for (size_t k = 1; k <= more; ++k) {
    const unsigned char n = static_cast<unsigned char>(in[i + k]);
    if ((n & 0xC0) != 0x80) return false;
    c = (c << 6) | (n & 0x3F);
  }
  i += more + 1;
  if (c > 0xFFFF) {
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 | (c >> 10));
    out += static_cast<char16_t>(0xDC00 | (c & 0x3FF));
  } else {
    out += static_cast<char16_t>(c);
  }
  return true;
}

bool splitWords(const std::string& line, std::vector<Word>& words, std::string& fault) {
  size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
      ++i;
      continue;
    }
    Word w;
    if (line[i] == '"') {
      w.quoted = true;
      ++i;
      bool closed = false;
      while (i < line.size()) {
        const char c = line[i];
        if (c == '"') {
          closed = true;
          ++i;
          break;
        }
        if (c == '\\') {
          if (i + 1 >= line.size()) break;
          const char e = line[i + 1];
          i += 2;
          if (e == 'n') w.text += u'\n';
          else if (e == 't') w.text += u'\t';
          else if (e == '"' || e == '\\') w.text += static_cast<char16_t>(e);
          else if (e == 'u') {
            if (i + 4 > line.size()) {
              fault = "a \\u escape needs four hex digits";
              return false;
            }
            uint32_t v = 0;
            for (int k = 0; k < 4; ++k) {
              const char h = line[i + k];
              v <<= 4;
              if (h >= '0' && h <= '9') v |= h - '0';
              else if (h >= 'a' && h <= 'f') v |= h - 'a' + 10;
              else if (h >= 'A' && h <= 'F') v |= h - 'A' + 10;
              else {
                fault = "a \\u escape needs four hex digits";
                return false;
              }
            }
            i += 4;
            w.text += static_cast<char16_t>(v);
          } else {
            fault = std::string("unknown escape \\") + e;
            return false;
          }
          continue;
        }
        if (!appendUtf8(w.text, line, i)) {
          fault = "text is not UTF-8";
          return false;
        }
      }
      if (!closed) {
        fault = "unterminated text";
        return false;
      }
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
        if (line[i] == '"') {
          fault = "a quote inside a word";
          return false;
        }
        w.raw += line[i++];
      }
    }
    words.push_back(std::move(w));
  }
  return true;
}

bool number(const Word& w, int64_t low, int64_t high, int64_t& out) {
  if (w.quoted || w.raw.empty()) return false;
  const std::string& s = w.raw;
  size_t i = 0;
  bool negative = false;
  if (s[0] == '-') {
    negative = true;
    i = 1;
  }
  int base = 10;
  if (s.size() > i + 2 && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= s.size()) return false;
  int64_t v = 0;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    v = v * base + d;
    if (v > (int64_t{1} << 40)) return false;
  }
  if (negative) v = -v;
  if (v < low || v > high) return false;
  out = v;
  return true;
}

bool fourPart(const Word& w, uint16_t out[4]) {
  if (w.quoted) return false;
  size_t start = 0;
  for (int k = 0; k < 4; ++k) {
    const size_t dot = w.raw.find('.', start);
    if ((k < 3) != (dot != std::string::npos)) return false;
    Word part;
    part.raw = w.raw.substr(start, k < 3 ? dot - start : std::string::npos);
    int64_t v = 0;
    if (!number(part, 0, 0xFFFF, v)) return false;
    out[k] = static_cast<uint16_t>(v);
    start = dot + 1;
  }
  return true;
}

const std::map<std::string, uint32_t>& itemStyles() {
  static const std::map<std::string, uint32_t> styles{
      {"ownerdraw", BS_OWNERDRAW}, {"disabled", WS_DISABLED}, {"notify", SS_NOTIFY},
      {"sort", CBS_SORT | LBS_SORT}, {"group", WS_GROUP}, {"tabstop", WS_TABSTOP}};
  return styles;
}

const char* const itemKinds[] = {"button", "checkbox", "radio",     "groupbox", "edit",
                                 "combobox", "listbox", "updown", "scrollbar", "static"};

class Parser {
 public:
  explicit Parser(ResourceModule& module) : module_(module) {}

  bool line(const std::vector<Word>& w, std::string& fault) {
    if (w.empty()) return true;
    if (w[0].quoted) return fail(fault, "a line starts with a directive");
    const std::string& d = w[0].raw;
    if (d == "string") return string(w, fault);
    if (d == "dialog") return dialog(w, fault);
    if (d == "item") return item(w, fault);
    if (d == "bitmap") return bitmap(w, fault);
    if (d == "rect" || d == "line" || d == "poly") return shape(w, fault);
    if (d == "cursor") return cursor(w, fault);
    if (d == "version") return version(w, fault);
    if (d == "translation") return translation(w, fault);
    if (d == "value") return value(w, fault);
    return fail(fault, "unknown directive '" + d + "'");
  }

 private:
  static bool fail(std::string& fault, const std::string& what) {
    fault = what;
    return false;
  }

  bool string(const std::vector<Word>& w, std::string& fault) {
    int64_t id = 0;
    if (w.size() != 3 || !number(w[1], 0, 0xFFFF, id) || !w[2].quoted) return fail(fault, "string needs ID \"text\"");
    if (!module_.strings.emplace(static_cast<uint32_t>(id), w[2].text).second) return fail(fault, "string given twice");
    return true;
  }

  bool box(const std::vector<Word>& w, size_t at, int32_t out[4]) {
    for (int k = 0; k < 4; ++k) {
      int64_t v = 0;
      if (at + k >= w.size() || !number(w[at + k], -32768, 32767, v)) return false;
      out[k] = static_cast<int32_t>(v);
    }
    return true;
  }

  bool dialog(const std::vector<Word>& w, std::string& fault) {
    int64_t id = 0;
    int32_t b[4];
    if (w.size() < 7 || !number(w[1], 1, 0xFFFF, id) || !box(w, 2, b) || !w[6].quoted)
      return fail(fault, "dialog needs ID X Y W H \"caption\"");
    DialogTemplate t;
    t.id = static_cast<int32_t>(id);
    t.x = b[0], t.y = b[1], t.width = b[2], t.height = b[3];
    t.caption = w[6].text;
    for (size_t k = 7; k < w.size(); ++k) {
      if (w[k].quoted || w[k].raw != "disabled") return fail(fault, "unknown dialog style");
      t.style |= WS_DISABLED;
    }
    auto [where, fresh] = module_.dialogs.emplace(t.id, std::move(t));
    if (!fresh) return fail(fault, "dialog given twice");
    dialog_ = &where->second;
    itemIds_.clear();
    return true;
  }

  bool item(const std::vector<Word>& w, std::string& fault) {
    if (!dialog_) return fail(fault, "item outside a dialog");
    int64_t id = 0;
    int32_t b[4];
    if (w.size() < 8 || !number(w[1], -1, 0xFFFF, id) || w[2].quoted || !box(w, 3, b) || !w[7].quoted)
      return fail(fault, "item needs ID CLASS X Y W H \"text\"");
    DialogItem it;
    it.id = static_cast<int32_t>(id);
    it.kind = w[2].raw;
    bool known = false;
    for (const char* k : itemKinds) known = known || it.kind == k;
    if (!known) return fail(fault, "unknown item class '" + it.kind + "'");
    it.x = b[0], it.y = b[1], it.width = b[2], it.height = b[3];
    it.text = w[7].text;
    for (size_t k = 8; k < w.size(); ++k) {
      if (w[k].quoted) return fail(fault, "an item style is a word");
      const std::string& s = w[k].raw;
      if (s == "default") {
        it.isDefault = true;
      } else if (s == "hidden") {
        it.hidden = true;
      } else if (s.rfind("limit=", 0) == 0) {
        Word n;
        n.raw = s.substr(6);
        int64_t v = 0;
        if (!number(n, 1, 0x7FFFFFFE, v)) return fail(fault, "limit=N needs a positive number");
        it.limit = static_cast<int32_t>(v);
      } else if (auto f = itemStyles().find(s); f != itemStyles().end()) {
        it.style |= f->second;
      } else {
        return fail(fault, "unknown item style '" + s + "'");
      }
    }
    if (it.id > 0 && !itemIds_.insert(it.id).second) return fail(fault, "item id given twice in the dialog");
    dialog_->items.push_back(std::move(it));
    return true;
  }

  bool bitmap(const std::vector<Word>& w, std::string& fault) {
    int64_t id = 0, width = 0, height = 0, bits = 0, bg = 0;
    if (w.size() != 6 || !number(w[1], 1, 0xFFFF, id) || !number(w[2], 1, 4096, width) ||
        !number(w[3], 1, 4096, height) || !number(w[4], 1, 24, bits) || (bits != 1 && bits != 24) ||
        !number(w[5], 0, 0xFFFFFF, bg))
      return fail(fault, "bitmap needs ID W H BITS BACKGROUND (W and H 1..4096, BITS 1 or 24)");
    BitmapResource b;
    b.width = static_cast<int32_t>(width), b.height = static_cast<int32_t>(height);
    b.bits = static_cast<uint32_t>(bits), b.background = static_cast<uint32_t>(bg);
    auto [where, fresh] = module_.bitmaps.emplace(static_cast<int32_t>(id), b);
    if (!fresh) return fail(fault, "bitmap given twice");
    bitmap_ = &where->second;
    return true;
  }

  bool shape(const std::vector<Word>& w, std::string& fault) {
    if (!bitmap_) return fail(fault, "a shape outside a bitmap");
    Shape s;
    s.kind = w[0].raw;
    int64_t v = 0;
    if (s.kind == "poly") {
      if (w.size() < 5 || !number(w[1], 0, 0xFFFFFF, v)) return fail(fault, "poly needs COLOUR and three X,Y points");
      s.colour = static_cast<uint32_t>(v);
      for (size_t k = 2; k < w.size(); ++k) {
        const size_t comma = w[k].raw.find(',');
        Word x, y;
        x.raw = w[k].raw.substr(0, comma);
        y.raw = comma == std::string::npos ? "" : w[k].raw.substr(comma + 1);
        int64_t px = 0, py = 0;
        if (w[k].quoted || !number(x, -4096, 8192, px) || !number(y, -4096, 8192, py))
          return fail(fault, "a poly point is X,Y");
        s.numbers.push_back(static_cast<int32_t>(px));
        s.numbers.push_back(static_cast<int32_t>(py));
      }
    } else {
      if (w.size() != 6) return fail(fault, s.kind + " needs four numbers and COLOUR");
      for (int k = 1; k <= 4; ++k) {
        if (!number(w[k], -4096, 8192, v)) return fail(fault, s.kind + " needs four numbers and COLOUR");
        s.numbers.push_back(static_cast<int32_t>(v));
      }
      if (!number(w[5], 0, 0xFFFFFF, v)) return fail(fault, "a colour is 0xRRGGBB");
      s.colour = static_cast<uint32_t>(v);
    }
    bitmap_->shapes.push_back(std::move(s));
    return true;
  }

  bool cursor(const std::vector<Word>& w, std::string& fault) {
    int64_t id = 0, x = 0, y = 0;
    if (w.size() != 4 || !number(w[1], 1, 0xFFFF, id) || !number(w[2], 0, 255, x) || !number(w[3], 0, 255, y))
      return fail(fault, "cursor needs ID HOTX HOTY");
    if (!module_.cursors.emplace(static_cast<int32_t>(id), CursorResource{static_cast<int32_t>(x), static_cast<int32_t>(y)}).second)
      return fail(fault, "cursor given twice");
    return true;
  }

  bool version(const std::vector<Word>& w, std::string& fault) {
    if (module_.version) return fail(fault, "version given twice");
    VersionResource v;
    if (w.size() != 3 || !fourPart(w[1], v.fileVersion) || !fourPart(w[2], v.productVersion))
      return fail(fault, "version needs FILE PRODUCT as a.b.c.d");
    module_.version = std::move(v);
    return true;
  }

  bool translation(const std::vector<Word>& w, std::string& fault) {
    if (!module_.version) return fail(fault, "translation before version");
    Word a = w.size() > 1 ? w[1] : Word{}, b = w.size() > 2 ? w[2] : Word{};
    a.raw = "0x" + a.raw, b.raw = "0x" + b.raw;
    int64_t language = 0, codePage = 0;
    if (w.size() != 3 || !number(a, 0, 0xFFFF, language) || !number(b, 0, 0xFFFF, codePage))
      return fail(fault, "translation needs LANGUAGE CODEPAGE in hex");
    module_.version->translations.emplace_back(static_cast<uint16_t>(language), static_cast<uint16_t>(codePage));
    return true;
  }

  bool value(const std::vector<Word>& w, std::string& fault) {
    if (!module_.version) return fail(fault, "value before version");
    if (w.size() != 4 || w[1].quoted || w[1].raw.size() != 8 || w[2].quoted || w[2].raw.empty() || !w[3].quoted)
      return fail(fault, "value needs BLOCK NAME \"text\" (BLOCK eight hex digits)");
    std::u16string block(w[1].raw.begin(), w[1].raw.end()), name(w[2].raw.begin(), w[2].raw.end());
    auto& blocks = module_.version->blocks;
    auto at = blocks.begin();
    while (at != blocks.end() && at->first != block) ++at;
    if (at == blocks.end()) at = blocks.insert(blocks.end(), {block, {}});
    at->second.emplace_back(name, w[3].text);
    return true;
  }

  ResourceModule& module_;
  DialogTemplate* dialog_ = nullptr;
  std::set<int32_t> itemIds_;
  BitmapResource* bitmap_ = nullptr;
};

// ---- version data

void put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
  put16(out, static_cast<uint16_t>(v));
  put16(out, static_cast<uint16_t>(v >> 16));
}
void pad(std::vector<uint8_t>& out) {
  while (out.size() % 4) out.push_back(0);
}
void set16(std::vector<uint8_t>& out, size_t at, size_t v) {
  out[at] = static_cast<uint8_t>(v);
  out[at + 1] = static_cast<uint8_t>(v >> 8);
}

// Opens a block at the end of out (which is 4-aligned); answers where its
// length goes. The caller writes the value, then the children, then
// closes it.
size_t openBlock(std::vector<uint8_t>& out, const std::u16string& key, uint16_t valueLength, uint16_t type) {
  const size_t at = out.size();
  put16(out, 0);
  put16(out, valueLength);
  put16(out, type);
  for (char16_t c : key) put16(out, c);
  put16(out, 0);
  pad(out);
  return at;
}
// A block longer than its 16-bit length can say spoils the data: the
// builder answers nothing then.
bool closeBlock(std::vector<uint8_t>& out, size_t at) {
  if (out.size() - at > 0xFFFF) return false;
  set16(out, at, out.size() - at);
  pad(out);
  return true;
}

uint16_t get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// One block of version data, as read: every part lies within [begin, end).
struct Block {
  const uint8_t* begin = nullptr;
  size_t length = 0;
  uint16_t valueLength = 0;
  uint16_t type = 0;
  std::u16string key;
  size_t valueAt = 0;     // from begin
  size_t childrenAt = 0;  // from begin
};

size_t align4(size_t v) { return (v + 3) & ~size_t{3}; }

bool readBlock(const uint8_t* p, size_t room, Block& b) {
  if (room < 6) return false;
  b.begin = p;
  b.length = get16(p);
  b.valueLength = get16(p + 2);
  b.type = get16(p + 4);
  if (b.length < 6 || b.length > room) return false;
  size_t at = 6;
  b.key.clear();
  for (;;) {
    if (at + 2 > b.length) return false;
    const char16_t c = get16(p + at);
    at += 2;
    if (c == 0) break;
    b.key += c;
  }
  b.valueAt = align4(at);
  // A text value's length counts 16-bit units, a binary one bytes.
  const size_t valueBytes = b.type == 1 ? size_t{b.valueLength} * 2 : b.valueLength;
  if (b.valueAt > b.length || valueBytes > b.length - b.valueAt) return false;
  b.childrenAt = align4(b.valueAt + valueBytes);
  if (b.childrenAt > b.length) b.childrenAt = b.length;
  return true;
}

bool sameKey(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i], y = b[i];
    if (x >= u'a' && x <= u'z') x = static_cast<char16_t>(x - 32);
    if (y >= u'a' && y <= u'z') y = static_cast<char16_t>(y - 32);
    if (x != y) return false;
  }
  return true;
}

bool findChild(const Block& parent, const std::u16string& key, Block& found) {
  size_t at = parent.childrenAt;
  while (at + 6 <= parent.length) {
    Block child;
    if (!readBlock(parent.begin + at, parent.length - at, child)) return false;
    if (sameKey(child.key, key)) {
      found = child;
      return true;
    }
    at = align4(at + child.length);
  }
  return false;
}

}  // namespace

bool parseResources(const std::string& text, const std::string& name, ResourceModule& module, std::string& error) {
  ResourceModule parsed;
  Parser parser(parsed);
  size_t start = 0;
  int versionLine = 0;
  for (int lineNumber = 1; start <= text.size(); ++lineNumber) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    size_t first = line.find_first_not_of(" \t\r");
    if (first != std::string::npos && line[first] != '#') {
      std::vector<Word> words;
      std::string fault;
      if (!splitWords(line, words, fault) || !parser.line(words, fault)) {
        error = name + ":" + std::to_string(lineNumber) + ": " + fault;
        return false;
      }
      if (!words.empty() && !words[0].quoted && words[0].raw == "version") versionLine = lineNumber;
    }
    if (end == text.size()) break;
  }
  if (parsed.version && buildVersionData(*parsed.version).empty()) {
    error = name + ":" + std::to_string(versionLine) + ": the version's data passes the 64 KB a block can hold";
    return false;
  }
  module = std::move(parsed);
  return true;
}

std::vector<uint8_t> buildVersionData(const VersionResource& v) {
  std::vector<uint8_t> out;
  const size_t root = openBlock(out, u"VS_VERSION_INFO", sizeof(VS_FIXEDFILEINFO), 0);
  VS_FIXEDFILEINFO fixed;
  fixed.dwFileVersionMS = (uint32_t{v.fileVersion[0]} << 16) | v.fileVersion[1];
  fixed.dwFileVersionLS = (uint32_t{v.fileVersion[2]} << 16) | v.fileVersion[3];
  fixed.dwProductVersionMS = (uint32_t{v.productVersion[0]} << 16) | v.productVersion[1];
  fixed.dwProductVersionLS = (uint32_t{v.productVersion[2]} << 16) | v.productVersion[3];
  for (uint32_t field : {fixed.dwSignature, fixed.dwStrucVersion, fixed.dwFileVersionMS, fixed.dwFileVersionLS,
                         fixed.dwProductVersionMS, fixed.dwProductVersionLS, fixed.dwFileFlagsMask, fixed.dwFileFlags,
                         fixed.dwFileOS, fixed.dwFileType, fixed.dwFileSubtype, fixed.dwFileDateMS, fixed.dwFileDateLS})
    put32(out, field);
  pad(out);
  if (!v.blocks.empty()) {
    const size_t info = openBlock(out, u"StringFileInfo", 0, 1);
    for (const auto& [block, values] : v.blocks) {
      const size_t table = openBlock(out, block, 0, 1);
      for (const auto& [key, text] : values) {
        const size_t entry = openBlock(out, key, static_cast<uint16_t>(text.size() + 1), 1);
        if (text.size() >= 0xFFFF) return {};
        for (char16_t c : text) put16(out, c);
        put16(out, 0);
        if (!closeBlock(out, entry)) return {};
      }
      if (!closeBlock(out, table)) return {};
    }
    if (!closeBlock(out, info)) return {};
  }
  if (!v.translations.empty()) {
    const size_t info = openBlock(out, u"VarFileInfo", 0, 1);
    if (v.translations.size() > 0x3FFF) return {};
    const size_t var = openBlock(out, u"Translation", static_cast<uint16_t>(4 * v.translations.size()), 0);
    for (const auto& [language, codePage] : v.translations) {
      put16(out, language);
      put16(out, codePage);
    }
    if (!closeBlock(out, var) || !closeBlock(out, info)) return {};
  }
  if (!closeBlock(out, root)) return {};
  return out;
}

bool queryVersion(const uint8_t* data, size_t size, const std::u16string& path, const void** value, uint32_t* length) {
  if (!data || !value || !length) return false;
  Block block;
  if (!readBlock(data, size, block) || !sameKey(block.key, u"VS_VERSION_INFO")) return false;
  if (path.empty() || path[0] != u'\\') return false;
  size_t at = 1;
  while (at < path.size()) {
    size_t next = path.find(u'\\', at);
    if (next == std::u16string::npos) next = path.size();
    const std::u16string key = path.substr(at, next - at);
    at = next + 1;
    if (key.empty()) continue;
    Block child;
    if (!findChild(block, key, child)) return false;
    block = child;
  }
  const size_t bytes = block.type == 1 ? size_t{block.valueLength} * 2 : block.valueLength;
  if (bytes == 0 && block.type != 1) return false;
  *value = block.begin + block.valueAt;
  *length = block.valueLength;
  return true;
}

}  // namespace uihost
