// The PCL XL operator writers: every form read back by the test kit's
// decoder and compared with the operator tables, the exact bytes of the
// forms the generator leans on, text spacing, scan lines and their
// batches, and VendorUnique.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "pdl/tests/xlsink.h"
#include "pdl/xlops.h"
#include "testkit/bytes.h"
#include "testkit/pclxl/xldecode.h"
#include "testkit/reports.h"

namespace {

using Writer = std::function<void(XLStream&)>;

struct Row {
  std::string what;
  Writer write;
  std::string signature;  // as XLOperatorToken::signature gives it
  bool data = false;      // whether data follows the operator
};

const std::vector<uint8_t> kName = {'1', '2', 'T', 'T'};
const std::vector<uint16_t> kWide = {0x4E00, 0x41};
const std::vector<float> kRGB = {1.0f, 0.5f, 0.0f};
const std::vector<uint16_t> kDashes = {10, 20};
const std::vector<int16_t> kSmall = {10, 200};
const std::vector<int16_t> kLarge = {10, 300};
const std::vector<int16_t> kNegative = {-1, 2};

// The rows of the forms made for each coordinate type; n is the type's
// name in the tables ("sint16" ...).
template <class T>
void coordinateRows(std::vector<Row>& rows, const std::string& n) {
  const XLBox<T> box{1, 2, 30, 40};
  const XLXY<T> a{3, 4}, b{5, 6}, c{7, 8};
  const std::string bx = "66:" + n + "_box", xy = ":" + n + "_xy";
  auto add = [&](const std::string& what, Writer w, const std::string& sig) {
    rows.push_back({what + " " + n, std::move(w), sig});
  };
  add("SetClipRectangle", [=](XLStream& s) { xlSetClipRectangle(s, box, 1); }, "68 " + bx + " 83:ubyte");
  add("SetCursor", [=](XLStream& s) { xlSetCursor(s, a); }, "6B 76" + xy);
  add("SetCursorRel", [=](XLStream& s) { xlSetCursorRel(s, a); }, "6C 76" + xy);
  add("SetPageOrigin", [=](XLStream& s) { xlSetPageOrigin(s, a); }, "75 42" + xy);
  add("ArcPath", [=](XLStream& s) { xlArcPath(s, box, a, b, 1); }, "91 " + bx + " 79" + xy + " 69" + xy + " 65:ubyte");
  add("Chord", [=](XLStream& s) { xlChord(s, box, a, b); }, "96 " + bx + " 79" + xy + " 69" + xy);
  add("ChordPath", [=](XLStream& s) { xlChordPath(s, box, a, b); }, "97 " + bx + " 79" + xy + " 69" + xy);
  add("Pie", [=](XLStream& s) { xlPie(s, box, a, b); }, "9E " + bx + " 79" + xy + " 69" + xy);
  add("PiePath", [=](XLStream& s) { xlPiePath(s, box, a, b); }, "9F " + bx + " 79" + xy + " 69" + xy);
  add("Ellipse", [=](XLStream& s) { xlEllipse(s, box); }, "98 " + bx);
  add("EllipsePath", [=](XLStream& s) { xlEllipsePath(s, box); }, "99 " + bx);
  add("Rectangle", [=](XLStream& s) { xlRectangle(s, box); }, "A0 " + bx);
  add("RectanglePath", [=](XLStream& s) { xlRectanglePath(s, box); }, "A1 " + bx);
  add("BezierPath", [=](XLStream& s) { xlBezierPath(s, a, b, c); }, "93 81" + xy + " 82" + xy + " 69" + xy);
  add("BezierRelPath", [=](XLStream& s) { xlBezierRelPath(s, a, b, c); }, "95 81" + xy + " 82" + xy + " 69" + xy);
  add("LinePath", [=](XLStream& s) { xlLinePath(s, a); }, "9B 69" + xy);
  add("LineRelPath", [=](XLStream& s) { xlLineRelPath(s, a); }, "9D 69" + xy);
}

// The eight forms of Text or TextPath for one code width; code is the
// TextData type's name.
template <class C>
void textRows(std::vector<Row>& rows, const std::vector<C>& text, const std::string& code) {
  const std::span<const C> t(text);
  const std::string td = " 171:" + code + "_array";
  for (bool path : {false, true}) {
    const std::string tag = path ? "A9" : "A8", what = std::string(path ? "TextPath " : "Text ") + code;
    auto x = [=](XLStream& s, std::span<const int16_t> v) { path ? xlTextPathX(s, t, v) : xlTextX(s, t, v); };
    auto y = [=](XLStream& s, std::span<const int16_t> v) { path ? xlTextPathY(s, t, v) : xlTextY(s, t, v); };
    rows.push_back({what, [=](XLStream& s) { path ? xlTextPath(s, t) : xlText(s, t); }, tag + td});
    rows.push_back({what + " x small", [=](XLStream& s) { x(s, kSmall); }, tag + td + " 175:ubyte_array"});
    rows.push_back({what + " x large", [=](XLStream& s) { x(s, kLarge); }, tag + td + " 175:sint16_array"});
    rows.push_back({what + " y negative", [=](XLStream& s) { y(s, kNegative); }, tag + td + " 176:sint16_array"});
    rows.push_back({what + " y small", [=](XLStream& s) { y(s, kSmall); }, tag + td + " 176:ubyte_array"});
    // Both spacings are always sint16, small or not.
    rows.push_back({what + " xy",
                    [=](XLStream& s) { path ? xlTextPathXY(s, t, kSmall, kSmall) : xlTextXY(s, t, kSmall, kSmall); },
                    tag + td + " 175:sint16_array 176:sint16_array"});
  }
}

std::vector<Row> everyForm() {
  const XLBytes name(kName);
  const std::span<const float> rgb(kRGB);
  std::vector<Row> r = {
      {"BeginSession", [](XLStream& s) { xlBeginSession(s, {600, 600}, 0); }, "41 137:uint16_xy 134:ubyte"},
      {"BeginSession with ErrorReport", [](XLStream& s) { xlBeginSession(s, {600, 600}, 0, 3); },
       "41 137:uint16_xy 134:ubyte 143:ubyte"},
      {"EndSession", xlEndSession, "42"},
      {"BeginPage size", [](XLStream& s) { xlBeginPage(s, 1, 2); }, "43 40:ubyte 37:ubyte"},
      {"BeginPage size source", [](XLStream& s) { xlBeginPage(s, 1, 2, 3); }, "43 40:ubyte 37:ubyte 38:ubyte"},
      {"BeginPage size type source", [=](XLStream& s) { xlBeginPage(s, 1, 2, name, 3); },
       "43 40:ubyte 37:ubyte 39:ubyte_array 38:ubyte"},
      {"BeginPage custom", [](XLStream& s) { xlBeginPageCustom(s, 1, {8, 11}, 0); },
       "43 40:ubyte 47:uint16_xy 48:ubyte"},
      {"BeginPage custom source", [](XLStream& s) { xlBeginPageCustom(s, 1, {8, 11}, 0, 4); },
       "43 40:ubyte 47:uint16_xy 48:ubyte 38:ubyte"},
      {"BeginPage custom type source", [=](XLStream& s) { xlBeginPageCustom(s, 1, {8, 11}, 0, name, 4); },
       "43 40:ubyte 47:uint16_xy 48:ubyte 39:ubyte_array 38:ubyte"},
      {"EndPage", xlEndPage, "44"},
      {"EndPage copies", [](XLStream& s) { xlEndPageCopies(s, 2); }, "44 49:uint16"},
      {"EndPage copies source", [](XLStream& s) { xlEndPageCopies(s, 2, 1); }, "44 49:uint16 38:ubyte"},
      {"EndPage source", [](XLStream& s) { xlEndPageSource(s, 1); }, "44 38:ubyte"},
      {"Comment", [=](XLStream& s) { xlComment(s, name); }, "47 129:ubyte_array"},
      {"EchoComment", [=](XLStream& s) { xlEchoComment(s, name); }, "4A 129:ubyte_array"},
      {"Query", [=](XLStream& s) { xlQuery(s, name); }, "4B 138:ubyte_array"},
      {"OpenDataSource", [](XLStream& s) { xlOpenDataSource(s, 0); }, "48 136:ubyte"},
      {"OpenDataSource with DataOrg", [](XLStream& s) { xlOpenDataSource(s, 0, 1); }, "48 136:ubyte 130:ubyte"},
      {"CloseDataSource", xlCloseDataSource, "49"},

      {"BeginFontHeader", [=](XLStream& s) { xlBeginFontHeader(s, name, 0); }, "4F 168:ubyte_array 169:ubyte"},
      {"ReadFontHeader", [](XLStream& s) { xlReadFontHeader(s, 8); }, "50 167:uint16"},
      {"EndFontHeader", xlEndFontHeader, "51"},
      {"BeginChar", [=](XLStream& s) { xlBeginChar(s, name); }, "52 168:ubyte_array"},
      {"ReadChar", [](XLStream& s) { xlReadChar(s, 65, 100); }, "53 162:uint16 163:uint32"},
      {"EndChar", xlEndChar, "54"},
      {"RemoveFont", [=](XLStream& s) { xlRemoveFont(s, name); }, "55 168:ubyte_array"},
      {"SetCharAttributes", [](XLStream& s) { xlSetCharAttributes(s, 1); }, "56 173:ubyte"},

      {"BeginStream", [=](XLStream& s) { xlBeginStream(s, name); }, "5B 139:ubyte_array"},
      {"ReadStream", [](XLStream& s) { xlReadStream(s, 9); }, "5C 140:uint32"},
      {"EndStream", xlEndStream, "5D"},
      {"ExecStream", [](XLStream& s) { xlExecStream(s, 9); }, "5E 140:uint32"},
      {"RemoveStream", [](XLStream& s) { xlRemoveStream(s, 9); }, "5F 140:uint32"},

      {"PopGS", xlPopGS, "60"},
      {"PushGS", xlPushGS, "61"},
      {"SetClipReplace", [](XLStream& s) { xlSetClipReplace(s, 0); }, "62 83:ubyte"},
      {"SetClipIntersect", [](XLStream& s) { xlSetClipIntersect(s, 0); }, "67 83:ubyte"},
      {"SetClipToPage", xlSetClipToPage, "69"},
      {"SetClipMode", [](XLStream& s) { xlSetClipMode(s, 0); }, "7F 84:ubyte"},
      {"SetPathToClip", xlSetPathToClip, "80"},

      {"SetBrushSource gray real32", [](XLStream& s) { xlSetBrushGrayReal(s, 0.5f); }, "63 9:real32"},
      {"SetBrushSource gray", [](XLStream& s) { xlSetBrushGray(s, 76); }, "63 9:ubyte"},
      {"SetBrushSource null", [](XLStream& s) { xlSetBrushNull(s, 0); }, "63 4:ubyte"},
      {"SetBrushSource pattern", [](XLStream& s) { xlSetBrushPattern(s, 1); }, "63 8:sint16"},
      {"SetBrushSource sized pattern", [](XLStream& s) { xlSetBrushPattern(s, {32, 32}, 1); },
       "63 13:uint16_xy 8:sint16"},
      {"SetBrushSource RGB real32", [=](XLStream& s) { xlSetBrushRGBReal(s, rgb); }, "63 11:real32_array"},
      {"SetBrushSource RGB", [=](XLStream& s) { xlSetBrushRGB(s, name.first(3)); }, "63 11:ubyte_array"},
      {"SetBrushSource 15 and 14", [=](XLStream& s) { xlSetBrushSourceAttr15(s, 1, name); },
       "63 15:ubyte 14:ubyte_array"},
      {"SetPenSource gray real32", [](XLStream& s) { xlSetPenGrayReal(s, 0.5f); }, "79 9:real32"},
      {"SetPenSource gray", [](XLStream& s) { xlSetPenGray(s, 76); }, "79 9:ubyte"},
      {"SetPenSource null", [](XLStream& s) { xlSetPenNull(s, 0); }, "79 5:ubyte"},
      {"SetPenSource pattern", [](XLStream& s) { xlSetPenPattern(s, 1); }, "79 8:sint16"},
      {"SetPenSource sized pattern", [](XLStream& s) { xlSetPenPattern(s, {32, 32}, 1); },
       "79 13:uint16_xy 8:sint16"},
      {"SetPenSource RGB real32", [=](XLStream& s) { xlSetPenRGBReal(s, rgb); }, "79 11:real32_array"},
      {"SetPenSource RGB", [=](XLStream& s) { xlSetPenRGB(s, name.first(3)); }, "79 11:ubyte_array"},
      {"SetPenSource 15 and 14", [=](XLStream& s) { xlSetPenSourceAttr15(s, 1, name); },
       "79 15:ubyte 14:ubyte_array"},

      {"SetColorSpace", [](XLStream& s) { xlSetColorSpace(s, 1); }, "6A 3:ubyte"},
      {"SetColorSpace palette", [=](XLStream& s) { xlSetColorSpace(s, 2, 2, name); },
       "6A 3:ubyte 2:ubyte 6:ubyte_array"},
      {"SetColorSpace 17 to 21", [=](XLStream& s) { xlSetColorSpaceAttr17(s, 1, rgb, rgb, rgb, rgb); },
       "6A 17:ubyte 18:real32_array 19:real32_array 20:real32_array 21:real32_array"},
      {"SetColorSpace 22 to 27", [](XLStream& s) { xlSetColorSpaceAttr22(s, 1, 1, 2, 3, 4, 5, 6); },
       "6A 22:ubyte 23:real32 24:real32 25:real32 26:real32 27:real32 26:real32"},
      {"SetCursor measure", [](XLStream& s) { xlSetCursorMeasure(s, 0, {600, 600}); }, "6B 134:ubyte 137:real32_xy"},
      {"SetHalftoneMethod device", [](XLStream& s) { xlSetHalftoneDevice(s, 1); }, "6D 33:ubyte"},
      {"SetHalftoneMethod matrix", [](XLStream& s) { xlSetHalftoneMethod(s, {16, 16}, 2, 0); },
       "6D 50:uint16_xy 51:ubyte 34:ubyte"},
      {"SetHalftoneMethod matrix origin", [](XLStream& s) { xlSetHalftoneMethod(s, {16, 16}, 2, 0, {1, 1}); },
       "6D 50:uint16_xy 51:ubyte 34:ubyte 35:uint16_xy"},
      {"SetFillMode", [](XLStream& s) { xlSetFillMode(s, 1); }, "6E 70:ubyte"},
      {"SetLineDash", [](XLStream& s) { xlSetLineDash(s, kDashes); }, "70 74:uint16_array"},
      {"SetLineDash offset", [](XLStream& s) { xlSetLineDash(s, kDashes, 5); }, "70 74:uint16_array 67:uint16"},
      {"SetLineDash solid", [](XLStream& s) { xlSetLineDashSolid(s, 0); }, "70 78:ubyte"},
      {"SetLineCap", [](XLStream& s) { xlSetLineCap(s, 1); }, "71 71:ubyte"},
      {"SetLineJoin", [](XLStream& s) { xlSetLineJoin(s, 1); }, "72 72:ubyte"},
      {"SetMiterLimit", [](XLStream& s) { xlSetMiterLimit(s, 10); }, "73 73:uint16"},
      {"SetMiterLimit real32", [](XLStream& s) { xlSetMiterLimitReal(s, 10); }, "73 73:real32"},
      {"SetPenWidth", [](XLStream& s) { xlSetPenWidth(s, 3); }, "7A 75:uint16"},
      {"SetPenWidth real32", [](XLStream& s) { xlSetPenWidthReal(s, 3); }, "7A 75:real32"},
      {"SetROP", [](XLStream& s) { xlSetROP(s, 252); }, "7B 44:ubyte"},
      {"SetPatternTxMode", [](XLStream& s) { xlSetPatternTxMode(s, 1); }, "78 45:ubyte"},
      {"SetSourceTxMode", [](XLStream& s) { xlSetSourceTxMode(s, 1); }, "7C 45:ubyte"},
      {"SetNeutralAxis", [](XLStream& s) { xlSetNeutralAxis(s, 1, -1); }, "7E :sint16 :sint16"},
      {"SetPageDefaultCTM", xlSetPageDefaultCTM, "74"},
      {"SetPageRotation", [](XLStream& s) { xlSetPageRotation(s, 90); }, "76 41:sint16"},
      {"SetPageRotation real32", [](XLStream& s) { xlSetPageRotationReal(s, 90); }, "76 41:real32"},
      {"SetPageScale", [](XLStream& s) { xlSetPageScale(s, {1, 2}); }, "77 43:real32_xy"},

      {"SetFont", [=](XLStream& s) { xlSetFont(s, name, 10, 590); }, "6F 168:ubyte_array 166:real32 170:uint16"},
      {"SetCharAngle", [](XLStream& s) { xlSetCharAngle(s, 90); }, "64 161:sint16"},
      {"SetCharAngle real32", [](XLStream& s) { xlSetCharAngleReal(s, 90); }, "64 161:real32"},
      {"SetCharScale", [](XLStream& s) { xlSetCharScale(s, {1, 1}); }, "65 164:real32_xy"},
      {"SetCharShear sint16", [](XLStream& s) { xlSetCharShear<int16_t>(s, {1, 0}); }, "66 165:sint16_xy"},
      {"SetCharShear real32", [](XLStream& s) { xlSetCharShear<float>(s, {0.3f, 0}); }, "66 165:real32_xy"},
      {"SetCharBoldValue", [](XLStream& s) { xlSetCharBoldValue(s, 0.015f); }, "7D 177:real32"},
      {"SetCharSubMode", [=](XLStream& s) { xlSetCharSubMode(s, name.first(1)); }, "81 172:ubyte_array"},

      {"CloseSubPath", xlCloseSubPath, "84"},
      {"NewPath", xlNewPath, "85"},
      {"PaintPath", xlPaintPath, "86"},
      {"RoundRectangle sint16", [](XLStream& s) { xlRoundRectangle(s, XLBox<int16_t>{0, 0, 9, 9}, {2, 2}); },
       "A2 66:sint16_box 68:uint16_xy"},
      {"RoundRectangle uint16", [](XLStream& s) { xlRoundRectangle(s, XLBox<uint16_t>{0, 0, 9, 9}, {2, 2}); },
       "A2 66:uint16_box 68:uint16_xy"},
      {"RoundRectangle sint32", [](XLStream& s) { xlRoundRectangle(s, XLBox<int32_t>{0, 0, 9, 9}, {2, 2}); },
       "A2 66:sint32_box 68:uint32_xy"},
      {"RoundRectangle real32", [](XLStream& s) { xlRoundRectangle(s, XLBox<float>{0, 0, 9, 9}, {2, 2}); },
       "A2 66:real32_box 68:real32_xy"},
      {"RoundRectanglePath sint16",
       [](XLStream& s) { xlRoundRectanglePath(s, XLBox<int16_t>{0, 0, 9, 9}, {2, 2}); },
       "A3 66:sint16_box 68:uint16_xy"},
      {"RoundRectanglePath uint16",
       [](XLStream& s) { xlRoundRectanglePath(s, XLBox<uint16_t>{0, 0, 9, 9}, {2, 2}); },
       "A3 66:uint16_box 68:uint16_xy"},
      {"RoundRectanglePath sint32",
       [](XLStream& s) { xlRoundRectanglePath(s, XLBox<int32_t>{0, 0, 9, 9}, {2, 2}); },
       "A3 66:sint32_box 68:sint32_xy"},
      {"RoundRectanglePath real32", [](XLStream& s) { xlRoundRectanglePath(s, XLBox<float>{0, 0, 9, 9}, {2, 2}); },
       "A3 66:real32_box 68:real32_xy"},
      // The point-count forms with the points their caller writes.
      {"BezierPath points",
       [](XLStream& s) {
         xlBezierPath(s, 3, 1);
         xlWriteEmbeddedData(s, std::vector<uint8_t>(6, 1));
       },
       "93 77:uint16 80:ubyte", true},
      {"BezierRelPath points",
       [](XLStream& s) {
         xlBezierRelPath(s, 3, 1);
         xlWriteEmbeddedData(s, std::vector<uint8_t>(6, 1));
       },
       "95 77:uint16 80:ubyte", true},
      {"LinePath points",
       [](XLStream& s) {
         xlLinePath(s, 1, 3);
         xlWriteDataLength(s, 4);
         xlPutUInt32(s, 7);
       },
       "9B 77:uint16 80:ubyte", true},
      {"LineRelPath points",
       [](XLStream& s) {
         xlLineRelPath(s, 1, 1);
         xlWriteDataLength(s, 2);
         xlPutUInt16(s, 7);
       },
       "9D 77:uint16 80:ubyte", true},

      {"BeginImage", [](XLStream& s) { xlBeginImage(s, 0, 0, 8, 9, {16, 18}); },
       "B0 100:ubyte 98:ubyte 108:uint16 107:uint16 103:uint16_xy"},
      {"BeginImage sizes as pairs", [](XLStream& s) { xlBeginImage(s, 0, 0, XLXY<uint16_t>{8, 9}, {16, 18}); },
       "B0 100:ubyte 98:ubyte 108:uint16 107:uint16 103:uint16_xy"},
      {"BeginImage uint32", [](XLStream& s) { xlBeginImage32(s, 0, 0, 8, 9, {16, 18}); },
       "B0 100:ubyte 98:ubyte 108:uint32 107:uint32 103:uint16_xy"},
      {"ReadImage",
       [](XLStream& s) {
         xlReadImage(s, 0, 1, 0);
         xlWriteDataLength(s, 1);
         xlPutByte(s, 0xFF);
       },
       "B1 109:uint16 99:uint16 101:ubyte", true},
      {"ReadImage uint32", [](XLStream& s) { xlReadImage32(s, 0, 1, 0); }, "B1 109:uint32 99:uint32 101:ubyte"},
      {"EndImage", xlEndImage, "B2"},
      {"BeginRastPattern", [](XLStream& s) { xlBeginRastPattern(s, 0, 0, 8, 8, {32, 32}, 1, 0); },
       "B3 100:ubyte 98:ubyte 108:uint16 107:uint16 103:uint16_xy 105:sint16 104:ubyte"},
      {"BeginRastPattern uint32", [](XLStream& s) { xlBeginRastPattern32(s, 0, 0, 8, 8, {32, 32}, 1); },
       "B3 100:ubyte 98:ubyte 108:uint32 107:uint32 103:uint32_xy 105:sint16"},
      {"ReadRastPattern", [](XLStream& s) { xlReadRastPattern(s, 0, 8, 0); }, "B4 109:uint16 99:uint16 101:ubyte"},
      {"ReadRastPattern uint32", [](XLStream& s) { xlReadRastPattern32(s, 0, 8, 0); },
       "B4 109:uint32 99:uint32 101:ubyte"},
      {"EndRastPattern", xlEndRastPattern, "B5"},
      {"BeginScan", xlBeginScan, "B6"},
      {"EndScan", xlEndScan, "B8"},
      {"ScanLineRel", [](XLStream& s) { xlScanLineRel(s, 1, 2, std::vector<XLXY<uint16_t>>{{3, 4}}); }, "B9", true},
      {"ScanLineRel header",
       [](XLStream& s) {
         xlScanLineRelHeader(s, 1, 2, 1);
         xlPutUInt16(s, 0);
         xlPutUInt16(s, 500);
       },
       "B9", true},

      {"VendorUnique 2002", [](XLStream& s) { xlVendorUnique2002(s, 1); }, "46 145:uint32 147:ubyte"},
      {"VendorUnique 2001", [](XLStream& s) { xlVendorUnique2001(s, 1, 2); }, "46 145:uint32 147:ubyte 148:ubyte"},
      {"VendorUnique 1001", [](XLStream& s) { xlVendorUnique1001(s, 1, 2); }, "46 145:uint32 147:ubyte 148:uint16"},
      {"VendorUnique 1002", [](XLStream& s) { xlVendorUnique1002(s, 1, 2); }, "46 145:uint32 147:ubyte 148:uint16"},
      {"VendorUnique 1003", [=](XLStream& s) { xlVendorUnique1003(s, 1, 2, name); },
       "46 145:uint32 148:ubyte 147:uint16 146:uint32", true},
      {"VendorUnique level 5", [](XLStream& s) { xlVendorUniqueTable(s, 0, {}); }, "46 145:uint32"},
      {"VendorUnique level 4", [](XLStream& s) { xlVendorUniqueTable(s, 4, {}); }, "46 145:uint32 151:uint32"},
      {"VendorUnique level 3", [](XLStream& s) { xlVendorUniqueTable(s, 12, {}); },
       "46 145:uint32 151:uint32 150:uint16 149:uint16 148:uint16 147:uint16"},
      {"VendorUnique level 2", [](XLStream& s) { xlVendorUniqueTable(s, 13, {}); },
       "46 145:uint32 151:uint32 150:uint16 149:uint16 148:uint16 147:uint16 152:ubyte 155:uint16"},
      {"VendorUnique level 1", [](XLStream& s) { xlVendorUniqueTable(s, 15, {}); },
       "46 145:uint32 151:uint32 150:uint16 149:uint16 148:uint16 147:uint16 152:ubyte 154:real32 153:real32"},
  };
  coordinateRows<int16_t>(r, "sint16");
  coordinateRows<uint16_t>(r, "uint16");
  coordinateRows<int32_t>(r, "sint32");
  coordinateRows<float>(r, "real32");
  textRows<uint8_t>(r, kName, "ubyte");
  textRows<uint16_t>(r, kWide, "uint16");
  return r;
}

TEST(XLOperatorWriters, EveryFormDecodesAsItsTableRow) {
  for (const Row& row : everyForm()) {
    SCOPED_TRACE(row.what);
    XLFixture f;
    row.write(f.s());
    EXPECT_EQ(f.s().error, 0);
    XLDecodeResult d = decodeXLTokens(f.written());
    ASSERT_TRUE(d.ok) << d.error;
    ASSERT_EQ(d.operators.size(), 1u);
    EXPECT_EQ(d.operators[0].signature(), row.signature);
    EXPECT_EQ(d.operators[0].hasData, row.data);
  }
}

TEST(XLOperatorWriters, ValuesArriveInTheOrderGiven) {
  XLFixture f;
  xlArcPath<int16_t>(f.s(), {-1, 2, 300, 400}, {5, -6}, {7, 8}, 1);
  xlBeginPageCustom(f.s(), 3, {8500, 11000}, 1, XLBytes(kName), 4);
  xlSetColorSpaceAttr22(f.s(), 1, 2.5f, 3, 4, 5, 6, 7);
  XLDecodeResult d = decodeXLTokens(f.written());
  ASSERT_TRUE(d.ok) << d.error;
  ASSERT_EQ(d.operators.size(), 3u);
  const auto& arc = d.operators[0].attributes;
  EXPECT_EQ(arc[0].value.values, std::vector<double>({-1, 2, 300, 400}));
  EXPECT_EQ(arc[1].value.values, std::vector<double>({5, -6}));
  EXPECT_EQ(arc[2].value.values, std::vector<double>({7, 8}));
  EXPECT_EQ(arc[3].value.values, std::vector<double>({1}));
  const auto& page = d.operators[1];
  EXPECT_EQ(page.find(XLAttr::CustomMediaSize)->value.values, std::vector<double>({8500, 11000}));
  EXPECT_EQ(page.find(XLAttr::MediaType)->value.text(), "12TT");
  EXPECT_EQ(page.find(XLAttr::MediaSource)->value[0], 4);
  std::vector<double> values;
  for (const auto& a : d.operators[2].attributes) values.push_back(a.value[0]);
  EXPECT_EQ(values, std::vector<double>({1, 2.5, 3, 4, 5, 6, 7}));
}

TEST(XLOperatorWriters, EachWriterPutsItsOperatorsExactBytes) {
  const struct {
    const char* what;
    Writer write;
    std::string bytes;
  } cases[] = {
      {"SetFont", [](XLStream& s) { xlSetFont(s, XLBytes(kName), 10.0f, 590); },
       bytes({0xC8, 0xC1, 0x04, 0x00, '1', '2', 'T', 'T', 0xF8, 0xA8, 0xC5, 0x00, 0x00, 0x20, 0x41, 0xF8, 0xA6, 0xC1,
              0x4E, 0x02, 0xF8, 0xAA, 0x6F})},
      {"X spacing past a byte", [](XLStream& s) { xlTextX(s, XLBytes(kName).first(2), kLarge); },
       bytes({0xC8, 0xC1, 0x02, 0x00, '1', '2', 0xF8, 0xAB, 0xCB, 0xC1, 0x02, 0x00, 0x0A, 0x00, 0x2C, 0x01, 0xF8,
              0xAF, 0xA8})},
      {"X spacing in bytes", [](XLStream& s) { xlTextX(s, XLBytes(kName).first(2), kSmall); },
       bytes({0xC8, 0xC1, 0x02, 0x00, '1', '2', 0xF8, 0xAB, 0xC8, 0xC1, 0x02, 0x00, 0x0A, 0xC8, 0xF8, 0xAF, 0xA8})},
      {"NewPath", xlNewPath, bytes({0x85})},
      {"ScanLineRel in bytes", [](XLStream& s) { xlScanLineRel(s, 0x102, 7, std::vector<XLXY<uint16_t>>{{3, 4}}); },
       bytes({0xB9, 0xFB, 0x0A, 0x03, 0x02, 0x01, 0x07, 0x00, 0x01, 0x00, 0x00, 0x03, 0x04})},
      {"ScanLineRel in words", [](XLStream& s) { xlScanLineRel(s, 1, 2, std::vector<XLXY<uint16_t>>{{3, 256}}); },
       bytes({0xB9, 0xFB, 0x0C, 0x03, 0x01, 0x00, 0x02, 0x00, 0x01, 0x00, 0x02, 0x03, 0x00, 0x00, 0x01})},
      {"ScanLineRel header", [](XLStream& s) { xlScanLineRelHeader(s, 1, 2, 3); },
       bytes({0xB9, 0xFB, 0x14, 0x03, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x02})},
      {"SetNeutralAxis", [](XLStream& s) { xlSetNeutralAxis(s, 1, -1); },
       bytes({0xC3, 0x01, 0x00, 0xC3, 0xFF, 0xFF, 0x7E})},
      {"VendorUnique 2002", [](XLStream& s) { xlVendorUnique2002(s, 5); },
       bytes({0xC2, 0x02, 0x20, 0x78, 0x71, 0xF8, 0x91, 0xC0, 0x05, 0xF8, 0x93, 0x46})},
      {"VendorUnique 1003", [](XLStream& s) { xlVendorUnique1003(s, 1, 0x203, XLBytes(kName).first(2)); },
       bytes({0xC2, 0x03, 0x10, 0x78, 0x71, 0xF8, 0x91, 0xC0, 0x01, 0xF8, 0x94, 0xC1, 0x03, 0x02, 0xF8, 0x93, 0xC2,
              0x02, 0x00, 0x00, 0x00, 0xF8, 0x92, 0x46, '1', '2'})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    XLFixture f;
    c.write(f.s());
    EXPECT_EQ(f.written(), c.bytes);
  }
}

TEST(XLOperatorWriters, VendorUniqueTable) {
  // One index of each level, with the extension code it names.
  const struct {
    int32_t index;
    uint32_t extension;
    uint8_t level;
  } cases[] = {{0, 0x7178301B, 5}, {3, 0x7178301E, 5}, {4, 0x71783001, 4}, {11, 0x71783008, 4},
               {12, 0x71783009, 3}, {13, 0x7178300A, 2}, {15, 0x7178300C, 1}, {16, 0x7178300D, 2},
               {18, 0x7178300F, 1}, {28, 0x71783019, 3}, {29, 0x7178301A, 5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.index);
    uint32_t extension;
    uint8_t level;
    ASSERT_TRUE(xlVendorTableEntry(c.index, extension, level));
    EXPECT_EQ(extension, c.extension);
    EXPECT_EQ(level, c.level);
    XLFixture f;
    XLVendorValues v;
    v.attr5 = 70000;
    v.attr1 = 11;
    v.attr9 = 9;
    v.attr8 = 0.5f;
    xlVendorUniqueTable(f.s(), c.index, v);
    XLDecodeResult d = decodeXLTokens(f.written());
    ASSERT_TRUE(d.ok) << d.error;
    ASSERT_EQ(d.operators.size(), 1u);
    const XLOperatorToken& op = d.operators[0];
    EXPECT_EQ(op.find(XLAttr::VUExtension)->value[0], c.extension);
    if (c.level < 5) {
      EXPECT_EQ(op.find(XLAttr::VUAttr5)->value[0], 70000);
    }
    if (c.level < 4) {
      EXPECT_EQ(op.find(XLAttr::VUAttr1)->value[0], 11);
    }
    if (c.level <= 1) {
      EXPECT_EQ(op.find(XLAttr::VUAttr8)->value[0], 0.5);
    }
    if (c.level == 2) {
      EXPECT_EQ(op.find(XLAttr::VUAttr9)->value[0], 9);
    }
  }

  // Outside the table: an index error, nothing written.
  for (int32_t index : {-1, 30, 1000}) {
    ReportLog log;
    XLFixture f;
    uint32_t extension;
    uint8_t level;
    EXPECT_FALSE(xlVendorTableEntry(index, extension, level));
    xlVendorUniqueTable(f.s(), index, {});
    EXPECT_EQ(f.written(), "");
    EXPECT_EQ(f.s().error, 0) << "the stream goes on";
    ASSERT_EQ(log.size(), 1u);
    EXPECT_TRUE(log[0].bounds);
  }
}

// A scan line's pairs, all small or some past a byte.
std::vector<XLXY<uint16_t>> pairs(size_t n, uint16_t value) { return std::vector<XLXY<uint16_t>>(n, {value, 1}); }

TEST(XLScanBatch, LinesGoOutTogether) {
  std::vector<uint16_t> cells(64, 0xEEEE);
  xlScanBatchInit(cells);
  EXPECT_EQ(std::vector<uint16_t>(cells.begin(), cells.begin() + 5), std::vector<uint16_t>({64, 5, 5, 1, 0}));
  XLFixture f;
  xlScanBatchAdd(f.s(), cells, 1, 2, pairs(1, 3));
  xlScanBatchAdd(f.s(), cells, 4, 5, pairs(1, 300));
  EXPECT_EQ(f.s().total, 0u) << "nothing before the batch is written out";
  EXPECT_EQ(cells[3], 1 + 9 + 11);
  xlScanBatchFlush(f.s(), cells);
  EXPECT_EQ(f.written(), bytes({0xB6, 0xC1, 0x02, 0x00, 0xF8, 0x73, 0xB9, 0xFB, 21, 0x03,
                                1, 0, 2, 0, 1, 0, 0, 3, 1,                 // bytes
                                4, 0, 5, 0, 1, 0, 2, 0x2C, 0x01, 1, 0,     // words
                                0xB8}));
  EXPECT_EQ(std::vector<uint16_t>(cells.begin(), cells.begin() + 5), std::vector<uint16_t>({64, 5, 5, 1, 0}));

  // One line: no NumberOfScanLines. An empty batch writes nothing.
  XLFixture one;
  xlScanBatchFlush(one.s(), cells);
  EXPECT_EQ(one.s().total, 0u);
  xlScanBatchAdd(one.s(), cells, 1, 2, pairs(1, 3));
  xlScanBatchFlush(one.s(), cells);
  XLDecodeResult d = decodeXLTokens(one.written());
  ASSERT_TRUE(d.ok) << d.error;
  ASSERT_EQ(d.operators.size(), 3u);
  EXPECT_EQ(d.operators[1].signature(), "B9");
  EXPECT_EQ(d.operators[1].data, bytes({3, 1, 0, 2, 0, 1, 0, 0, 3, 1}));
}

TEST(XLScanBatch, AFullBatchIsWrittenOutFirst) {
  // 10 + 2 lines of one pair (6 cells each) fit 17 cells once.
  std::vector<uint16_t> cells(17);
  xlScanBatchInit(cells);
  XLFixture f;
  xlScanBatchAdd(f.s(), cells, 0, 1, pairs(1, 3));
  xlScanBatchAdd(f.s(), cells, 0, 2, pairs(1, 3));
  xlScanBatchAdd(f.s(), cells, 0, 3, pairs(1, 3));  // out of cells: the first two go out
  // A line that no batch of 17 cells can hold goes out at once, after the
  // line before it.
  xlScanBatchAdd(f.s(), cells, 0, 4, pairs(10, 3));
  xlScanBatchFlush(f.s(), cells);
  XLDecodeResult d = decodeXLTokens(f.written());
  ASSERT_TRUE(d.ok) << d.error;
  std::vector<std::string> ops;
  for (const auto& op : d.operators) ops.push_back(op.signature());
  EXPECT_EQ(ops, std::vector<std::string>({"B6", "B9 115:uint16", "B8", "B6", "B9", "B8", "B6", "B9", "B8"}));
  EXPECT_EQ(d.operators[4].data.substr(3, 2), le16(3)) << "the third line";
  EXPECT_EQ(d.operators[7].data.substr(3, 2), le16(4));
}

TEST(XLScanBatch, TheByteCountNeverPassesSixteenBits) {
  // Lines of 5,000 word pairs add 20,007 bytes each: three make 60,022 with
  // the format byte, a fourth would pass 65,535, so the three go out first.
  std::vector<uint16_t> cells(65535);
  xlScanBatchInit(cells);
  XLFixture f;
  for (uint16_t y = 0; y < 5; ++y) xlScanBatchAdd(f.s(), cells, 0, y, pairs(5000, 300));
  xlScanBatchFlush(f.s(), cells);
  XLDecodeResult d = decodeXLTokens(f.written());
  ASSERT_TRUE(d.ok) << d.error;
  ASSERT_EQ(d.operators.size(), 6u);
  EXPECT_EQ(d.operators[1].find(XLAttr::NumberOfScanLines)->value[0], 3);
  EXPECT_EQ(d.operators[1].data.size(), 60022u);
  EXPECT_EQ(d.operators[4].find(XLAttr::NumberOfScanLines)->value[0], 2);
  EXPECT_EQ(d.operators[4].data.size(), 40015u);
}

TEST(XLScanBatch, ABatchBelowTenCellsHoldsNoLine) {
  std::vector<uint16_t> cells(9, 0xEEEE);
  xlScanBatchInit(cells);
  EXPECT_EQ(cells[0], 0);
  EXPECT_EQ(cells[1], 0xEEEE) << "only the first cell is set";
  XLFixture f;
  xlScanBatchFlush(f.s(), cells);
  EXPECT_EQ(f.s().total, 0u);
  xlScanBatchAdd(f.s(), cells, 1, 2, pairs(1, 3));
  EXPECT_EQ(f.written(), bytes({0xB6, 0xB9, 0xFB, 0x0A, 0x03, 1, 0, 2, 0, 1, 0, 0, 3, 1, 0xB8}));
  xlScanBatchAdd(f.s(), cells, 1, 3, pairs(1, 3));
  XLDecodeResult d = decodeXLTokens(f.written());
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_EQ(d.operators.size(), 6u);
  xlScanBatchFlush(f.s(), cells);
  EXPECT_EQ(f.written().size(), 30u) << "the flush writes nothing";
}

TEST(XLScanBatch, MorePairsThanSixteenBitsCountWriteNothing) {
  ReportLog log;
  XLFixture f;
  xlScanLineRel(f.s(), 0, 0, pairs(65536, 1));
  EXPECT_EQ(f.s().error, kXLOutputOverflow);
  EXPECT_EQ(f.written(), "");
  EXPECT_EQ(log.size(), 1u);
}

}  // namespace
