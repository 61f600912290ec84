#include "testkit/pclxl/xldecode.h"

#include <bit>
#include <cstdio>
#include <cstring>

namespace {

// The operator tags of the published PCL XL protocol classes 1.0 to 2.1.
bool isOperatorTag(uint8_t t) {
  return (t >= 0x41 && t <= 0x44) || (t >= 0x46 && t <= 0x4C) || (t >= 0x4F && t <= 0x56) ||
         (t >= 0x5B && t <= 0x82) || (t >= 0x84 && t <= 0x86) || t == 0x91 || t == 0x93 ||
         (t >= 0x95 && t <= 0x99) || t == 0x9B || (t >= 0x9D && t <= 0xA3) || (t >= 0xA8 && t <= 0xAA) ||
         (t >= 0xB0 && t <= 0xB6) || t == 0xB8 || t == 0xB9 || t == 0xBF;
}

constexpr uint8_t kVendorUnique = 0x46;
constexpr uint8_t kVUExtension = 145, kVUDataLength = 146;

std::string hexByte(uint8_t b) {
  char s[8];
  std::snprintf(s, sizeof s, "0x%02X", b);
  return s;
}

class Decoder {
 public:
  Decoder(const std::string& bytes, size_t at) : b_(bytes), at_(at) {}

  XLDecodeResult run(XLDecodeResult r) {
    r_ = std::move(r);
    while (at_ < b_.size() && !failed_) token();
    if (!failed_ && !pending_.empty()) fail(pending_.back().offset, "values without an operator");
    r_.ok = !failed_;
    return std::move(r_);
  }

 private:
  void fail(size_t offset, const std::string& what) {
    if (failed_) return;
    failed_ = true;
    r_.errorOffset = offset;
    r_.error = what + " at offset " + std::to_string(offset);
  }

  // n bytes from at_ as a little-endian number; false when they run past
  // the end.
  bool number(size_t n, uint32_t& v) {
    if (b_.size() - at_ < n) return false;
    v = 0;
    for (size_t i = 0; i < n; ++i) v |= uint32_t(uint8_t(b_[at_ + i])) << (8 * i);
    at_ += n;
    return true;
  }

  static size_t width(XLValueToken::Type t) {
    static const size_t w[] = {1, 2, 4, 2, 4, 4};
    return w[t];
  }

  static double asDouble(XLValueToken::Type t, uint32_t v) {
    switch (t) {
      case XLValueToken::SInt16: return int16_t(uint16_t(v));
      case XLValueToken::SInt32: return int32_t(v);
      case XLValueToken::Real32: return std::bit_cast<float>(v);
      default: return v;
    }
  }

  void value(uint8_t tag, size_t start) {
    XLValueToken v;
    v.offset = start;
    v.type = XLValueToken::Type(tag & 0x07);
    size_t count = 1;
    switch (tag & 0xF8) {
      case 0xC0: v.shape = XLValueToken::Single; break;
      case 0xD0: v.shape = XLValueToken::XY; count = 2; break;
      case 0xE0: v.shape = XLValueToken::Box; count = 4; break;
      default: {
        v.shape = XLValueToken::Array;
        if (at_ >= b_.size()) return fail(start, "short value");
        v.countTag = uint8_t(b_[at_++]);
        uint32_t n;
        if (v.countTag != 0xC0 && v.countTag != 0xC1) return fail(at_ - 1, "array count of tag " + hexByte(v.countTag));
        if (!number(v.countTag == 0xC0 ? 1 : 2, n)) return fail(start, "short value");
        count = n;
      }
    }
    size_t w = width(v.type);
    if ((b_.size() - at_) / w < count) return fail(start, "short value");
    for (size_t i = 0; i < count; ++i) {
      uint32_t raw;
      number(w, raw);
      v.values.push_back(asDouble(v.type, raw));
    }
    pending_.push_back(std::move(v));
  }

  void attribute(size_t start) {
    if (at_ >= b_.size()) return fail(start, "short attribute");
    uint8_t id = uint8_t(b_[at_++]);
    if (pending_.empty()) return fail(start, "attribute " + std::to_string(id) + " without a value");
    if (pending_.size() > 1) return fail(pending_.front().offset, "value without an attribute id");
    attributes_.push_back({id, std::move(pending_.back())});
    pending_.clear();
  }

  void operation(uint8_t tag, size_t start) {
    XLOperatorToken op;
    op.tag = tag;
    op.offset = start;
    op.attributes = std::move(attributes_);
    op.bareValues = std::move(pending_);
    attributes_.clear();
    pending_.clear();
    r_.operators.push_back(std::move(op));
    const XLOperatorToken& last = r_.operators.back();
    const XLAttributeToken* ext = last.find(kVUExtension);
    if (tag == kVendorUnique && ext && !ext->value.values.empty() &&
        (uint32_t(ext->value.values[0]) & 0xFFFF) == 0x1003) {
      const XLAttributeToken* length = last.find(kVUDataLength);
      data(start, length && !length->value.values.empty() ? size_t(length->value.values[0]) : 0);
    }
  }

  void data(size_t start, size_t n) {
    if (b_.size() - at_ < n) return fail(start, "short data");
    XLOperatorToken& op = r_.operators.back();
    op.hasData = true;
    op.data.append(b_, at_, n);
    at_ += n;
  }

  void embedded(uint8_t tag, size_t start) {
    if (r_.operators.empty() || !pending_.empty() || !attributes_.empty())
      return fail(start, "data without an operator");
    uint32_t n;
    if (!number(tag == 0xFB ? 1 : 4, n)) return fail(start, "short data length");
    data(start, n);
  }

  void token() {
    size_t start = at_;
    uint8_t t = uint8_t(b_[at_++]);
    bool typed = (t & 0x07) <= 5 && ((t & 0xF8) == 0xC0 || (t & 0xF8) == 0xC8 || (t & 0xF8) == 0xD0 ||
                                    (t & 0xF8) == 0xE0);
    if (typed) return value(t, start);
    if (t == 0xF8) return attribute(start);
    if (t == 0xFA || t == 0xFB) return embedded(t, start);
    if (isOperatorTag(t)) return operation(t, start);
    fail(start, "unknown tag " + hexByte(t));
  }

  const std::string& b_;
  size_t at_;
  bool failed_ = false;
  XLDecodeResult r_;
  std::vector<XLValueToken> pending_;
  std::vector<XLAttributeToken> attributes_;
};

}  // namespace

std::string XLValueToken::typeName() const {
  static const char* const names[] = {"ubyte", "uint16", "uint32", "sint16", "sint32", "real32"};
  static const char* const shapes[] = {"", "_array", "_xy", "_box"};
  return std::string(names[type]) + shapes[shape];
}

std::string XLValueToken::text() const {
  std::string s;
  for (double v : values) s += char(uint8_t(v));
  return s;
}

const XLAttributeToken* XLOperatorToken::find(uint8_t id) const {
  for (const XLAttributeToken& a : attributes)
    if (a.id == id) return &a;
  return nullptr;
}

std::string XLOperatorToken::signature() const {
  char tagText[4];
  std::snprintf(tagText, sizeof tagText, "%02X", tag);
  std::string s = tagText;
  for (const XLValueToken& v : bareValues) s += " :" + v.typeName();
  for (const XLAttributeToken& a : attributes) s += " " + std::to_string(a.id) + ":" + a.value.typeName();
  return s;
}

XLDecodeResult decodeXLTokens(const std::string& bytes) { return Decoder(bytes, 0).run({}); }

XLDecodeResult decodeXLStream(const std::string& bytes) {
  XLDecodeResult r;
  size_t lf = bytes.find('\n');
  if (bytes.compare(0, 2, ") ") != 0 || lf == std::string::npos) {
    r.error = "no stream header at offset 0";
    return r;
  }
  r.header = bytes.substr(0, lf);
  return Decoder(bytes, lf + 1).run(std::move(r));
}

XLDecodeResult decodeXLJob(const std::string& job) {
  size_t start = job.compare(0, 2, ") ") == 0 ? 0 : job.find("\n) ");
  if (start == std::string::npos) {
    XLDecodeResult r;
    r.error = "no stream header at offset 0";
    return r;
  }
  if (start) ++start;
  size_t end = job.find("\x1B%-", start);
  XLDecodeResult r = decodeXLStream(job.substr(start, end == std::string::npos ? std::string::npos : end - start));
  if (!r.ok) return r;
  if (end == std::string::npos) {
    r.ok = false;
    r.error = "no job trailer after the stream";
  }
  return r;
}
