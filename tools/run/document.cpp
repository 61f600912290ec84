#include "tools/run/document.h"

#include <algorithm>
#include <limits>
#include <utility>

const char kDocumentFormat[] =
    "DOCUMENT is sample:blank, a built-in document named \"blank\" of two pages\n"
    "with no drawing, or a file of UTF-8 text lines (a line may end in CR LF),\n"
    "each blank, a comment, or one of:\n"
    "\n"
    "  document NAME     the document's name: the rest of the line, trimmed\n"
    "  devmode F=V...    DEVMODE fields for the document (FIELDS below); --set\n"
    "                    fields take precedence\n"
    "  page              starts a page; it takes no options\n"
    "  reset [F=V...]    after the current page, a new device context whose\n"
    "                    DEVMODE is the document's with these fields; a page\n"
    "                    must follow\n"
    "  abort             ends the document after the current page, as an\n"
    "                    aborted one; only comments may follow\n"
    "  OPERATION         a drawing call or escape on the current page\n"
    "  # ...             a comment: '#' as the first thing on a line\n"
    "\n"
    "document and devmode come before the first page, at most once each; reset\n"
    "and abort come after a page, at most once each. Operations:\n"
    "\n"
    "  paint      [clip=R]... [mix=N] [color=N | hatch=N]\n"
    "  bitblt     rect=R [rop=N] [clip=R]... [color=N | hatch=N]\n"
    "  stroke     rect=R [mix=N] [clip=R]... [color=N | hatch=N]\n"
    "  fill       rect=R [mix=N] [clip=R]... [color=N | hatch=N]\n"
    "  strokefill rect=R [mix=N] [clip=R]... [color=N | hatch=N]\n"
    "  text       \"STRING\" at=X,Y [codepage=N] [mix=N] [clip=R]... [color=N | hatch=N]\n"
    "  escape     CODE [HEX]\n"
    "  drawescape CODE [HEX] [rect=R] [clip=R]...\n"
    "\n"
    "stroke, fill and strokefill draw the rectangle's outline as a path; the\n"
    "bit-block transfer's target and the draw escape's rectangle are rect=.\n"
    "Without clip= an operation covers the page; one clips it to a rectangle,\n"
    "more to their union. Defaults: mix=0x0D0D, rop=0xF0F0, color=0,\n"
    "codepage=1252, rect=0,0,0,0 for drawescape. Each option comes at most\n"
    "once, clip= as often as needed. Values:\n"
    "\n"
    "  N, CODE   a number: decimal, or hexadecimal after 0x; 0 to 0xFFFFFFFF\n"
    "  color=N   a solid brush's colour, 0 to 0xFFFFFFFE\n"
    "  hatch=N   a hatched brush: 0 horizontal, 1 vertical, 2 forward\n"
    "            diagonal, 3 backward diagonal, 4 cross, 5 diagonal cross\n"
    "  R         a rectangle LEFT,TOP,RIGHT,BOTTOM with LEFT <= RIGHT and\n"
    "            TOP <= BOTTOM\n"
    "  X,Y       a point; coordinates are device pixels, whole decimal numbers\n"
    "            from -134217728 to 134217727\n"
    "  HEX       the escape's input, pairs of hex digits; none: no input\n"
    "  STRING    text in double quotes, where \\\" and \\\\ stand for \" and \\\n"
    "\n"
    "FIELDS, as FIELD=VALUE, each at most once in one place (--set options,\n"
    "a devmode or a reset line), all decimal:\n"
    "\n"
    "  orientation=1|2   portrait, landscape\n"
    "  paper=N           the built-in form code, 1 (Letter) to 41; 9 is A4\n"
    "  copies=N          1 to 32767\n"
    "  duplex=1|2|3      simplex, long edge, short edge\n"
    "  collate=0|1\n"
    "  resolution=N      dots per inch, 1 to 32767; XxY for two directions\n";

namespace {

// The DEVMODE's field bits for what the runner may set.
constexpr uint32_t kDmOrientation = 0x1;
constexpr uint32_t kDmPaperSize = 0x2;
constexpr uint32_t kDmCopies = 0x100;
constexpr uint32_t kDmPrintQuality = 0x400;
constexpr uint32_t kDmDuplex = 0x1000;
constexpr uint32_t kDmYResolution = 0x2000;
constexpr uint32_t kDmCollate = 0x8000;

// Coordinates stay within the engine's 28.4 fixed point.
constexpr int32_t kMinCoordinate = -(1 << 27);
constexpr int32_t kMaxCoordinate = (1 << 27) - 1;

const char kBlankSample[] =
    "# Two pages with no drawing.\n"
    "document blank\n"
    "page\n"
    "page\n";

std::string quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A whole decimal number with an optional '-', within [min, max].
bool parseDecimal(std::string_view text, int64_t min, int64_t max, int64_t& value) {
  bool negative = !text.empty() && text[0] == '-';
  if (negative && min >= 0) return false;
  if (negative) text.remove_prefix(1);
  if (text.empty() || text.size() > 12) return false;
  int64_t n = 0;
  for (char c : text) {
    if (!isDigit(c)) return false;
    n = n * 10 + (c - '0');
  }
  if (negative) n = -n;
  if (n < min || n > max) return false;
  value = n;
  return true;
}

// A number of 32 bits: decimal, or hexadecimal after 0x.
bool parseCode(std::string_view text, uint32_t& value) {
  uint64_t n = 0;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    if (text.size() > 8) return false;
    for (char c : text) {
      int d = hexDigit(c);
      if (d < 0) return false;
      n = n * 16 + static_cast<uint64_t>(d);
    }
  } else {
    int64_t decimal = 0;
    if (!parseDecimal(text, 0, std::numeric_limits<uint32_t>::max(), decimal)) return false;
    n = static_cast<uint64_t>(decimal);
  }
  value = static_cast<uint32_t>(n);
  return true;
}

// Comma-separated coordinates, exactly as many as asked for.
bool parseCoordinates(std::string_view text, int32_t* out, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    size_t comma = i + 1 < count ? text.find(',') : text.size();
    if (comma == std::string_view::npos) return false;
    int64_t v = 0;
    if (!parseDecimal(text.substr(0, comma), kMinCoordinate, kMaxCoordinate, v)) return false;
    out[i] = static_cast<int32_t>(v);
    text.remove_prefix(comma == text.size() ? comma : comma + 1);
  }
  return true;
}

bool parseRect(std::string_view text, RECTL& rect) {
  int32_t v[4];
  if (!parseCoordinates(text, v, 4) || v[0] > v[2] || v[1] > v[3]) return false;
  rect = {v[0], v[1], v[2], v[3]};
  return true;
}

std::string parseHex(std::string_view text, std::vector<uint8_t>& bytes) {
  if (text.size() % 2) return "odd number of hex digits in " + quoted(text);
  bytes.clear();
  for (size_t i = 0; i < text.size(); i += 2) {
    int high = hexDigit(text[i]), low = hexDigit(text[i + 1]);
    if (high < 0 || low < 0) return "bad hex " + quoted(text);
    bytes.push_back(static_cast<uint8_t>(high << 4 | low));
  }
  return std::string();
}

// A line's text as UTF-16, or false when it is not UTF-8 (overlong forms,
// surrogates and values beyond U+10FFFF included).
bool decodeUtf8(std::string_view text, std::u16string& out) {
  out.clear();
  for (size_t i = 0; i < text.size();) {
    const auto byte = [&](size_t at) { return static_cast<unsigned char>(text[at]); };
    unsigned char lead = byte(i);
    size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || text.size() - i < length) return false;
    uint32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
      if ((byte(i + k) & 0xC0) != 0x80) return false;
      c = c << 6 | (byte(i + k) & 0x3F);
    }
    static const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < least[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += length;
  }
  return true;
}

struct Token {
  std::string text;
  bool quoted = false;
};

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Splits a line at blanks; a token that starts with '"' is a string up to
// the next unescaped '"'.
std::string tokenize(std::string_view line, std::vector<Token>& tokens) {
  tokens.clear();
  size_t i = 0;
  while (true) {
    while (i < line.size() && isBlank(line[i])) ++i;
    if (i == line.size()) return std::string();
    Token t;
    if (line[i] == '"') {
      t.quoted = true;
      for (++i;; ++i) {
        if (i == line.size()) return "unterminated string";
        if (line[i] == '"') break;
        if (line[i] == '\\') {
          if (i + 1 == line.size() || (line[i + 1] != '"' && line[i + 1] != '\\'))
            return "bad escape in a string: only \\\" and \\\\ are known";
          ++i;
        }
        t.text += line[i];
      }
      ++i;
      if (i < line.size() && !isBlank(line[i])) return "a string runs into " + quoted(line.substr(i, 1));
    } else {
      while (i < line.size() && !isBlank(line[i])) t.text += line[i++];
    }
    tokens.push_back(std::move(t));
  }
}

std::string fieldValue(std::string_view name, std::string_view value, DevModeFields& fields) {
  const std::string bad = "bad value " + quoted(value) + " for " + std::string(name);
  auto set = [&](std::optional<int16_t>& field, int64_t min, int64_t max) {
    if (field) return std::string(name) + " given twice";
    int64_t v = 0;
    if (!parseDecimal(value, min, max, v)) return bad;
    field = static_cast<int16_t>(v);
    return std::string();
  };
  if (name == "orientation") return set(fields.orientation, 1, 2);
  if (name == "paper") return set(fields.paper, 1, static_cast<int64_t>(eng::builtinForms().size()));
  if (name == "copies") return set(fields.copies, 1, 32767);
  if (name == "duplex") return set(fields.duplex, 1, 3);
  if (name == "collate") return set(fields.collate, 0, 1);
  if (name == "resolution") {
    if (fields.xResolution) return std::string(name) + " given twice";
    size_t x = value.find('x');
    int64_t horizontal = 0, vertical = 0;
    if (!parseDecimal(value.substr(0, x), 1, 32767, horizontal) ||
        (x != std::string_view::npos && !parseDecimal(value.substr(x + 1), 1, 32767, vertical)))
      return bad;
    fields.xResolution = static_cast<int16_t>(horizontal);
    fields.yResolution = static_cast<int16_t>(x == std::string_view::npos ? horizontal : vertical);
    return std::string();
  }
  return "unknown field " + quoted(name);
}

// ------------------------------------------------------------ operations

struct OperationKind {
  const char* keyword;
  eng::Operation::Kind kind;
  bool needsRect;
};

const OperationKind kOperations[] = {
    {"paint", eng::Operation::Paint, false},
    {"bitblt", eng::Operation::BitBlt, true},
    {"stroke", eng::Operation::Stroke, true},
    {"fill", eng::Operation::Fill, true},
    {"strokefill", eng::Operation::StrokeAndFill, true},
    {"text", eng::Operation::Text, false},
    {"escape", eng::Operation::Escape, false},
    {"drawescape", eng::Operation::DrawEscape, false},
};

const OperationKind* operationOf(std::string_view keyword) {
  for (const OperationKind& k : kOperations)
    if (keyword == k.keyword) return &k;
  return nullptr;
}

// Whether an operation of the kind takes the option.
bool takes(eng::Operation::Kind kind, std::string_view option) {
  using K = eng::Operation;
  const bool escape = kind == K::Escape || kind == K::DrawEscape;
  if (option == "clip") return kind != K::Escape;
  if (option == "rect") return kind != K::Paint && kind != K::Text && kind != K::Escape;
  if (option == "color" || option == "hatch") return !escape;
  if (option == "mix") return !escape && kind != K::BitBlt;
  if (option == "rop") return kind == K::BitBlt;
  if (option == "at" || option == "codepage") return kind == K::Text;
  return false;
}

std::string parseOperation(const OperationKind& what, const std::vector<Token>& tokens, eng::Operation& op) {
  op = eng::Operation();
  op.kind = what.kind;
  const std::string keyword = what.keyword;
  size_t next = 1;
  if (op.kind == eng::Operation::Text) {
    if (tokens.size() < 2 || !tokens[1].quoted) return "'text' needs a \"STRING\" first";
    decodeUtf8(tokens[1].text, op.text);  // the whole line was found to be UTF-8
    next = 2;
  } else if (op.kind == eng::Operation::Escape || op.kind == eng::Operation::DrawEscape) {
    if (tokens.size() < 2 || tokens[1].quoted || tokens[1].text.find('=') != std::string::npos)
      return quoted(keyword) + " needs a code";
    if (!parseCode(tokens[1].text, op.escape)) return "bad number " + quoted(tokens[1].text);
    next = 2;
    if (tokens.size() > 2 && !tokens[2].quoted && tokens[2].text.find('=') == std::string::npos) {
      std::string problem = parseHex(tokens[2].text, op.data);
      if (!problem.empty()) return problem;
      next = 3;
    }
  }
  std::vector<std::string> given;  // every option but clip=, which may repeat
  for (size_t i = next; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    const size_t equals = t.quoted ? std::string::npos : t.text.find('=');
    const std::string name = equals == std::string::npos ? t.text : t.text.substr(0, equals);
    if (equals == std::string::npos || !takes(op.kind, name))
      return "unknown option " + quoted(t.quoted ? "\"" + t.text + "\"" : t.text) + " for " + keyword;
    const std::string_view value = std::string_view(t.text).substr(equals + 1);
    const std::string bad = "bad value " + quoted(value) + " for " + name;
    if (name == "clip") {
      RECTL r;
      if (!parseRect(value, r)) return bad;
      op.clip.push_back(r);
      continue;
    }
    if (std::find(given.begin(), given.end(), name) != given.end()) return name + " given twice";
    given.push_back(name);
    if (name == "rect") {
      if (!parseRect(value, op.rect)) return bad;
    } else if (name == "at") {
      int32_t p[2];
      if (!parseCoordinates(value, p, 2)) return bad;
      op.rect = {p[0], p[1], p[0], p[1]};
    } else {
      uint32_t n = 0;
      if (!parseCode(value, n)) return bad;
      if (name == "color") {
        if (n == 0xFFFFFFFF) return bad + ": that colour stands for a hatched brush (hatch=)";
        op.color = n;
      } else if (name == "hatch") {
        if (n >= HS_DDI_MAX) return bad;
        op.hatch = n;
        op.color = 0xFFFFFFFF;
      } else if (name == "mix") {
        op.mix = n;
      } else if (name == "rop") {
        op.rop4 = n;
      } else {
        op.codePage = n;
      }
    }
  }
  auto has = [&](const char* option) { return std::find(given.begin(), given.end(), option) != given.end(); };
  if (has("color") && has("hatch")) return "color= and hatch= together";
  if (what.needsRect && !has("rect")) return quoted(keyword) + " needs rect=";
  if (op.kind == eng::Operation::Text && !has("at")) return "'text' needs at=";
  return std::string();
}

// ---------------------------------------------------------------- parser

class Parser {
 public:
  explicit Parser(RunDocument& doc) : doc_(doc) {}

  std::string line(std::string_view text, int number);
  // What is wrong at the end, with the line it belongs to.
  std::string finish(int& line) const;

 private:
  enum class State { Header, InPage, AfterReset, AfterAbort };

  std::string fields(const std::vector<Token>& tokens, DevModeFields& into);

  RunDocument& doc_;
  State state_ = State::Header;
  bool named_ = false;
  bool devmode_ = false;
  int resetLine_ = 0;
  std::vector<Token> tokens_;
};

std::string Parser::fields(const std::vector<Token>& tokens, DevModeFields& into) {
  for (size_t i = 1; i < tokens.size(); ++i) {
    if (tokens[i].quoted) return "bad field " + quoted("\"" + tokens[i].text + "\"");
    std::string problem = setDevModeField(tokens[i].text, into);
    if (!problem.empty()) return problem;
  }
  return std::string();
}

std::string Parser::line(std::string_view text, int number) {
  for (char c : text)
    if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F) return "a control character in the line";
  std::u16string wide;
  if (!decodeUtf8(text, wide)) return "the line is not UTF-8 text";
  size_t start = 0;
  while (start < text.size() && isBlank(text[start])) ++start;
  if (start == text.size() || text[start] == '#') return std::string();

  std::string problem = tokenize(text, tokens_);
  if (!problem.empty()) return problem;
  const Token& first = tokens_[0];
  const std::string keyword = first.quoted ? "\"" + first.text + "\"" : first.text;
  const OperationKind* operation = first.quoted ? nullptr : operationOf(keyword);
  const bool known = operation || keyword == "document" || keyword == "devmode" || keyword == "page" ||
                     keyword == "reset" || keyword == "abort";
  if (!known) return "unknown keyword " + quoted(keyword);
  if (state_ == State::AfterAbort) return "nothing but comments may follow 'abort'";

  if (keyword == "document") {
    if (named_) return "a second 'document'";
    if (state_ != State::Header) return "'document' after the first page";
    std::string_view name = text.substr(start + 8);
    while (!name.empty() && isBlank(name.front())) name.remove_prefix(1);
    while (!name.empty() && isBlank(name.back())) name.remove_suffix(1);
    if (name.empty()) return "'document' needs a name";
    decodeUtf8(name, doc_.document.name);
    named_ = true;
    return std::string();
  }
  if (keyword == "devmode") {
    if (devmode_) return "a second 'devmode'";
    if (state_ != State::Header) return "'devmode' after the first page (a reset changes it between pages)";
    if (tokens_.size() < 2) return "'devmode' needs FIELD=VALUE";
    devmode_ = true;
    return fields(tokens_, doc_.devmode);
  }
  if (keyword == "page") {
    if (tokens_.size() > 1) return "unknown page option " + quoted(tokens_[1].text);
    doc_.document.pages.emplace_back();
    state_ = State::InPage;
    return std::string();
  }
  const int page = static_cast<int>(doc_.document.pages.size()) - 1;
  if (keyword == "reset") {
    if (state_ == State::Header) return "'reset' before the first page";
    if (resetLine_) return "a second 'reset': a document has one at most";
    resetLine_ = number;
    doc_.document.resetAfterPage = page;
    state_ = State::AfterReset;
    return fields(tokens_, doc_.reset);
  }
  if (keyword == "abort") {
    if (state_ == State::Header) return "'abort' before the first page";
    if (state_ == State::AfterReset) return "'abort' after 'reset': a page must come between";
    if (tokens_.size() > 1) return "'abort' takes nothing, not " + quoted(tokens_[1].text);
    doc_.document.abortAfterPage = page;
    state_ = State::AfterAbort;
    return std::string();
  }
  if (state_ == State::Header) return "an operation before the first page";
  if (state_ == State::AfterReset) return "an operation after 'reset': start a page first";
  eng::Operation op;
  problem = parseOperation(*operation, tokens_, op);
  if (problem.empty()) doc_.document.pages.back().ops.push_back(std::move(op));
  return problem;
}

std::string Parser::finish(int& line) const {
  if (state_ != State::AfterReset) return std::string();
  line = resetLine_;
  return "'reset' after the last page";
}

}  // namespace

std::string setDevModeField(std::string_view assignment, DevModeFields& fields) {
  const size_t equals = assignment.find('=');
  if (equals == std::string_view::npos) return "bad field " + quoted(assignment) + ": FIELD=VALUE";
  return fieldValue(assignment.substr(0, equals), assignment.substr(equals + 1), fields);
}

DevModeFields overlayFields(DevModeFields base, const DevModeFields& over) {
  auto lay = [](std::optional<int16_t>& to, const std::optional<int16_t>& from) {
    if (from) to = from;
  };
  lay(base.orientation, over.orientation);
  lay(base.paper, over.paper);
  lay(base.copies, over.copies);
  lay(base.duplex, over.duplex);
  lay(base.collate, over.collate);
  lay(base.xResolution, over.xResolution);
  lay(base.yResolution, over.yResolution);
  return base;
}

eng::PublicDevMode publicDevModeOf(const DevModeFields& fields, const std::u16string& deviceName) {
  eng::PublicDevMode dm;
  dm.deviceName = deviceName;
  auto put = [&dm](const std::optional<int16_t>& value, int16_t& field, uint32_t bit) {
    if (!value) return;
    field = *value;
    dm.fields |= bit;
  };
  put(fields.orientation, dm.orientation, kDmOrientation);
  put(fields.paper, dm.paperSize, kDmPaperSize);
  put(fields.copies, dm.copies, kDmCopies);
  put(fields.duplex, dm.duplex, kDmDuplex);
  put(fields.collate, dm.collate, kDmCollate);
  put(fields.xResolution, dm.printQuality, kDmPrintQuality);
  put(fields.yResolution, dm.yResolution, kDmYResolution);
  const std::vector<eng::Form>& forms = eng::builtinForms();
  if (fields.paper && *fields.paper >= 1 && static_cast<size_t>(*fields.paper) <= forms.size())
    dm.formName = forms[static_cast<size_t>(*fields.paper) - 1].name;
  return dm;
}

bool parseDocument(std::string_view text, RunDocument& doc, DocumentError& error) {
  doc = RunDocument();
  Parser parser(doc);
  int number = 0;
  while (!text.empty()) {
    ++number;
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::string problem = parser.line(line, number);
    if (!problem.empty()) {
      error = {number, problem};
      return false;
    }
  }
  std::string problem = parser.finish(number);
  if (!problem.empty()) {
    error = {number, problem};
    return false;
  }
  return true;
}

const char* sampleDocument(std::string_view name) { return name == "blank" ? kBlankSample : nullptr; }

std::string sampleNames() { return "blank"; }
