#ifndef PDL_XLOPS_H
#define PDL_XLOPS_H

// The PCL XL operator writers: one function per operator form, each writing
// its attributes in a fixed order (every value with its type tag, then 0xF8
// and the attribute id) and then the operator tag, so that the generator
// never deals with tags. All of them follow the stream's write discipline
// and error latch (pdl/xlstream.h) and answer nothing.
//
// Forms of one operator that differ only in the data type of the same
// attributes are one template over the coordinate type, made for exactly
// the types the form exists in (XLCoord: sint16, uint16, sint32, real32,
// unless a declaration says otherwise); other forms differ in name or in
// their parameters. Arrays are spans; an array of more than 65,535 elements
// writes nothing and latches the stream's overflow error.

#include <concepts>
#include <cstdint>
#include <span>

#include "pdl/xlstream.h"

// Operator tags.
namespace XLOp {
enum : uint8_t {
  BeginSession = 0x41, EndSession = 0x42, BeginPage = 0x43, EndPage = 0x44, VendorUnique = 0x46,
  Comment = 0x47, OpenDataSource = 0x48, CloseDataSource = 0x49, EchoComment = 0x4A, Query = 0x4B,
  BeginFontHeader = 0x4F, ReadFontHeader = 0x50, EndFontHeader = 0x51, BeginChar = 0x52, ReadChar = 0x53,
  EndChar = 0x54, RemoveFont = 0x55, SetCharAttributes = 0x56, BeginStream = 0x5B, ReadStream = 0x5C,
  EndStream = 0x5D, ExecStream = 0x5E, RemoveStream = 0x5F, PopGS = 0x60, PushGS = 0x61,
  SetClipReplace = 0x62, SetBrushSource = 0x63, SetCharAngle = 0x64, SetCharScale = 0x65,
  SetCharShear = 0x66, SetClipIntersect = 0x67, SetClipRectangle = 0x68, SetClipToPage = 0x69,
  SetColorSpace = 0x6A, SetCursor = 0x6B, SetCursorRel = 0x6C, SetHalftoneMethod = 0x6D, SetFillMode = 0x6E,
  SetFont = 0x6F, SetLineDash = 0x70, SetLineCap = 0x71, SetLineJoin = 0x72, SetMiterLimit = 0x73,
  SetPageDefaultCTM = 0x74, SetPageOrigin = 0x75, SetPageRotation = 0x76, SetPageScale = 0x77,
  SetPatternTxMode = 0x78, SetPenSource = 0x79, SetPenWidth = 0x7A, SetROP = 0x7B, SetSourceTxMode = 0x7C,
  SetCharBoldValue = 0x7D, SetNeutralAxis = 0x7E, SetClipMode = 0x7F, SetPathToClip = 0x80,
  SetCharSubMode = 0x81, CloseSubPath = 0x84, NewPath = 0x85, PaintPath = 0x86, ArcPath = 0x91,
  BezierPath = 0x93, BezierRelPath = 0x95, Chord = 0x96, ChordPath = 0x97, Ellipse = 0x98,
  EllipsePath = 0x99, LinePath = 0x9B, LineRelPath = 0x9D, Pie = 0x9E, PiePath = 0x9F, Rectangle = 0xA0,
  RectanglePath = 0xA1, RoundRectangle = 0xA2, RoundRectanglePath = 0xA3, Text = 0xA8, TextPath = 0xA9,
  BeginImage = 0xB0, ReadImage = 0xB1, EndImage = 0xB2, BeginRastPattern = 0xB3, ReadRastPattern = 0xB4,
  EndRastPattern = 0xB5, BeginScan = 0xB6, EndScan = 0xB8, ScanLineRel = 0xB9,
};
}

// Attribute ids.
namespace XLAttr {
enum : uint8_t {
  PaletteDepth = 2, ColorSpace = 3, NullBrush = 4, NullPen = 5, PaletteData = 6, PatternSelectID = 8,
  GrayLevel = 9, RGBColor = 11, NewDestinationSize = 13, DeviceMatrix = 33, DitherMatrixDataType = 34,
  DitherOrigin = 35, MediaSize = 37, MediaSource = 38, MediaType = 39, Orientation = 40, PageAngle = 41,
  PageOrigin = 42, PageScale = 43, ROP3 = 44, TxMode = 45, CustomMediaSize = 47, CustomMediaSizeUnits = 48,
  PageCopies = 49, DitherMatrixSize = 50, DitherMatrixDepth = 51, ArcDirection = 65, BoundingBox = 66,
  DashOffset = 67, EllipseDimension = 68, EndPoint = 69, FillMode = 70, LineCapStyle = 71,
  LineJoinStyle = 72, MiterLength = 73, LineDashStyle = 74, PenWidth = 75, Point = 76, NumberOfPoints = 77,
  SolidLine = 78, StartPoint = 79, PointType = 80, ControlPoint1 = 81, ControlPoint2 = 82, ClipRegion = 83,
  ClipMode = 84, ColorDepth = 98, BlockHeight = 99, ColorMapping = 100, CompressMode = 101,
  DestinationSize = 103, PatternPersistence = 104, PatternDefineID = 105, SourceHeight = 107,
  SourceWidth = 108, StartLine = 109, NumberOfScanLines = 115, CommentData = 129, DataOrg = 130,
  Measure = 134, SourceType = 136, UnitsPerMeasure = 137, StreamName = 139, StreamDataLength = 140,
  ErrorReport = 143, VUExtension = 145, VUDataLength = 146, VUAttr1 = 147, VUAttr2 = 148, VUAttr3 = 149,
  VUAttr4 = 150, VUAttr5 = 151, VUAttr6 = 152, VUAttr7 = 153, VUAttr8 = 154, VUAttr9 = 155,
  CharAngle = 161, CharCode = 162, CharDataSize = 163, CharScale = 164, CharShear = 165, CharSize = 166,
  FontHeaderLength = 167, FontName = 168, FontFormat = 169, SymbolSet = 170, TextData = 171,
  CharSubModeArray = 172, WritingMode = 173, XSpacingData = 175, YSpacingData = 176, CharBoldValue = 177,
};
}

template <class T>
struct XLXY {
  T x, y;
};

template <class T>
struct XLBox {
  T left, top, right, bottom;
};

template <class T>
concept XLCoord = std::same_as<T, int16_t> || std::same_as<T, uint16_t> || std::same_as<T, int32_t> ||
                  std::same_as<T, GReal>;
// Text codes: 8-bit codes go out as a ubyte array, 16-bit codes as a uint16 array.
template <class T>
concept XLTextCode = std::same_as<T, uint8_t> || std::same_as<T, uint16_t>;

using XLBytes = std::span<const uint8_t>;

// Session, page and data source.
void xlBeginSession(XLStream& s, XLXY<uint16_t> unitsPerMeasure, uint8_t measure);
void xlBeginSession(XLStream& s, XLXY<uint16_t> unitsPerMeasure, uint8_t measure, uint8_t errorReport);
void xlEndSession(XLStream& s);
void xlBeginPage(XLStream& s, uint8_t orientation, uint8_t mediaSize);
void xlBeginPage(XLStream& s, uint8_t orientation, uint8_t mediaSize, uint8_t mediaSource);
void xlBeginPage(XLStream& s, uint8_t orientation, uint8_t mediaSize, XLBytes mediaType, uint8_t mediaSource);
void xlBeginPageCustom(XLStream& s, uint8_t orientation, XLXY<uint16_t> size, uint8_t units);
void xlBeginPageCustom(XLStream& s, uint8_t orientation, XLXY<uint16_t> size, uint8_t units,
                       uint8_t mediaSource);
void xlBeginPageCustom(XLStream& s, uint8_t orientation, XLXY<uint16_t> size, uint8_t units, XLBytes mediaType,
                       uint8_t mediaSource);
void xlEndPage(XLStream& s);
void xlEndPageCopies(XLStream& s, uint16_t copies);
void xlEndPageCopies(XLStream& s, uint16_t copies, uint8_t mediaSource);
void xlEndPageSource(XLStream& s, uint8_t mediaSource);
void xlComment(XLStream& s, XLBytes text);
void xlEchoComment(XLStream& s, XLBytes text);
// The query's data goes out as attribute 138.
void xlQuery(XLStream& s, XLBytes query);
void xlOpenDataSource(XLStream& s, uint8_t sourceType);
void xlOpenDataSource(XLStream& s, uint8_t sourceType, uint8_t dataOrg);
void xlCloseDataSource(XLStream& s);

// Fonts and characters. The data of ReadFontHeader and ReadChar follows as
// embedded data, written by the caller.
void xlBeginFontHeader(XLStream& s, XLBytes fontName, uint8_t fontFormat);
void xlReadFontHeader(XLStream& s, uint16_t length);
void xlEndFontHeader(XLStream& s);
void xlBeginChar(XLStream& s, XLBytes fontName);
void xlReadChar(XLStream& s, uint16_t charCode, uint32_t charDataSize);
void xlEndChar(XLStream& s);
void xlRemoveFont(XLStream& s, XLBytes fontName);
void xlSetCharAttributes(XLStream& s, uint8_t writingMode);

// Streams. ExecStream and RemoveStream carry a StreamDataLength, as this
// library has always written them.
void xlBeginStream(XLStream& s, XLBytes streamName);
void xlReadStream(XLStream& s, uint32_t length);
void xlEndStream(XLStream& s);
void xlExecStream(XLStream& s, uint32_t length);
void xlRemoveStream(XLStream& s, uint32_t length);

// Graphics state.
void xlPopGS(XLStream& s);
void xlPushGS(XLStream& s);
void xlSetClipReplace(XLStream& s, uint8_t clipRegion);
void xlSetClipIntersect(XLStream& s, uint8_t clipRegion);
template <XLCoord T>
void xlSetClipRectangle(XLStream& s, XLBox<T> box, uint8_t clipRegion);
void xlSetClipToPage(XLStream& s);
void xlSetClipMode(XLStream& s, uint8_t clipMode);
void xlSetPathToClip(XLStream& s);

// Brush and pen sources: a gray level (real32 or ubyte), the null brush or
// pen, a pattern (optionally scaled to a new size), an RGB colour (real32
// or ubyte components), or the attribute 15 and 14 pair.
void xlSetBrushGrayReal(XLStream& s, GReal gray);
void xlSetBrushGray(XLStream& s, uint8_t gray);
void xlSetBrushNull(XLStream& s, uint8_t nullBrush);
void xlSetBrushPattern(XLStream& s, int16_t patternId);
void xlSetBrushPattern(XLStream& s, XLXY<uint16_t> newSize, int16_t patternId);
void xlSetBrushRGBReal(XLStream& s, std::span<const GReal> rgb);
void xlSetBrushRGB(XLStream& s, XLBytes rgb);
void xlSetBrushSourceAttr15(XLStream& s, uint8_t attr15, XLBytes attr14);
void xlSetPenGrayReal(XLStream& s, GReal gray);
void xlSetPenGray(XLStream& s, uint8_t gray);
void xlSetPenNull(XLStream& s, uint8_t nullPen);
void xlSetPenPattern(XLStream& s, int16_t patternId);
void xlSetPenPattern(XLStream& s, XLXY<uint16_t> newSize, int16_t patternId);
void xlSetPenRGBReal(XLStream& s, std::span<const GReal> rgb);
void xlSetPenRGB(XLStream& s, XLBytes rgb);
void xlSetPenSourceAttr15(XLStream& s, uint8_t attr15, XLBytes attr14);

void xlSetColorSpace(XLStream& s, uint8_t colorSpace);
void xlSetColorSpace(XLStream& s, uint8_t colorSpace, uint8_t paletteDepth, XLBytes paletteData);
// The forms over attributes 17 to 21 and 22 to 27. The second writes its
// last value under id 26 a second time, as this library always has.
void xlSetColorSpaceAttr17(XLStream& s, uint8_t attr17, std::span<const GReal> attr18,
                           std::span<const GReal> attr19, std::span<const GReal> attr20,
                           std::span<const GReal> attr21);
void xlSetColorSpaceAttr22(XLStream& s, uint8_t attr22, GReal attr23, GReal attr24, GReal attr25, GReal attr26,
                           GReal attr27, GReal attr26Again);

void xlSetCursorMeasure(XLStream& s, uint8_t measure, XLXY<GReal> unitsPerMeasure);
template <XLCoord T>
void xlSetCursor(XLStream& s, XLXY<T> point);
template <XLCoord T>
void xlSetCursorRel(XLStream& s, XLXY<T> point);

void xlSetHalftoneDevice(XLStream& s, uint8_t deviceMatrix);
void xlSetHalftoneMethod(XLStream& s, XLXY<uint16_t> size, uint8_t depth, uint8_t dataType);
void xlSetHalftoneMethod(XLStream& s, XLXY<uint16_t> size, uint8_t depth, uint8_t dataType,
                         XLXY<uint16_t> origin);

void xlSetFillMode(XLStream& s, uint8_t fillMode);
void xlSetLineDash(XLStream& s, std::span<const uint16_t> dashes);
void xlSetLineDash(XLStream& s, std::span<const uint16_t> dashes, uint16_t offset);
void xlSetLineDashSolid(XLStream& s, uint8_t solidLine);
void xlSetLineCap(XLStream& s, uint8_t cap);
void xlSetLineJoin(XLStream& s, uint8_t join);
void xlSetMiterLimit(XLStream& s, uint16_t limit);
void xlSetMiterLimitReal(XLStream& s, GReal limit);
void xlSetPenWidth(XLStream& s, uint16_t width);
void xlSetPenWidthReal(XLStream& s, GReal width);
void xlSetROP(XLStream& s, uint8_t rop3);
void xlSetPatternTxMode(XLStream& s, uint8_t txMode);
void xlSetSourceTxMode(XLStream& s, uint8_t txMode);
// Two sint16 values and the operator, without attribute ids.
void xlSetNeutralAxis(XLStream& s, int16_t first, int16_t second);

// Page placement.
void xlSetPageDefaultCTM(XLStream& s);
template <XLCoord T>
void xlSetPageOrigin(XLStream& s, XLXY<T> origin);
void xlSetPageRotation(XLStream& s, int16_t angle);
void xlSetPageRotationReal(XLStream& s, GReal angle);
void xlSetPageScale(XLStream& s, XLXY<GReal> scale);

// Text and character transforms.
void xlSetFont(XLStream& s, XLBytes fontName, GReal charSize, uint16_t symbolSet);
void xlSetCharAngle(XLStream& s, int16_t angle);
void xlSetCharAngleReal(XLStream& s, GReal angle);
void xlSetCharScale(XLStream& s, XLXY<GReal> scale);
// sint16 and real32 only.
template <class T>
  requires std::same_as<T, int16_t> || std::same_as<T, GReal>
void xlSetCharShear(XLStream& s, XLXY<T> shear);
void xlSetCharBoldValue(XLStream& s, GReal bold);
void xlSetCharSubMode(XLStream& s, XLBytes subModes);

// Text and TextPath: TextData, then the spacing. With one spacing array the
// spacing goes out as a ubyte array of low bytes when every value lies in
// 0..255, else as a sint16 array; with both, as two sint16 arrays.
template <XLTextCode C>
void xlText(XLStream& s, std::span<const C> text);
template <XLTextCode C>
void xlTextX(XLStream& s, std::span<const C> text, std::span<const int16_t> xSpacing);
template <XLTextCode C>
void xlTextY(XLStream& s, std::span<const C> text, std::span<const int16_t> ySpacing);
template <XLTextCode C>
void xlTextXY(XLStream& s, std::span<const C> text, std::span<const int16_t> xSpacing,
              std::span<const int16_t> ySpacing);
template <XLTextCode C>
void xlTextPath(XLStream& s, std::span<const C> text);
template <XLTextCode C>
void xlTextPathX(XLStream& s, std::span<const C> text, std::span<const int16_t> xSpacing);
template <XLTextCode C>
void xlTextPathY(XLStream& s, std::span<const C> text, std::span<const int16_t> ySpacing);
template <XLTextCode C>
void xlTextPathXY(XLStream& s, std::span<const C> text, std::span<const int16_t> xSpacing,
                  std::span<const int16_t> ySpacing);

// Paths and shapes.
void xlCloseSubPath(XLStream& s);
void xlNewPath(XLStream& s);
void xlPaintPath(XLStream& s);
template <XLCoord T>
void xlArcPath(XLStream& s, XLBox<T> box, XLXY<T> start, XLXY<T> end, uint8_t arcDirection);
template <XLCoord T>
void xlChord(XLStream& s, XLBox<T> box, XLXY<T> start, XLXY<T> end);
template <XLCoord T>
void xlChordPath(XLStream& s, XLBox<T> box, XLXY<T> start, XLXY<T> end);
template <XLCoord T>
void xlPie(XLStream& s, XLBox<T> box, XLXY<T> start, XLXY<T> end);
template <XLCoord T>
void xlPiePath(XLStream& s, XLBox<T> box, XLXY<T> start, XLXY<T> end);
template <XLCoord T>
void xlEllipse(XLStream& s, XLBox<T> box);
template <XLCoord T>
void xlEllipsePath(XLStream& s, XLBox<T> box);
template <XLCoord T>
void xlRectangle(XLStream& s, XLBox<T> box);
template <XLCoord T>
void xlRectanglePath(XLStream& s, XLBox<T> box);
// The corner size's type goes with the box's: uint16 for sint16 and uint16
// boxes, real32 for real32 boxes, and for sint32 boxes uint32 in
// RoundRectangle but sint32 in RoundRectanglePath.
void xlRoundRectangle(XLStream& s, XLBox<int16_t> box, XLXY<uint16_t> corner);
void xlRoundRectangle(XLStream& s, XLBox<uint16_t> box, XLXY<uint16_t> corner);
void xlRoundRectangle(XLStream& s, XLBox<int32_t> box, XLXY<uint32_t> corner);
void xlRoundRectangle(XLStream& s, XLBox<GReal> box, XLXY<GReal> corner);
void xlRoundRectanglePath(XLStream& s, XLBox<int16_t> box, XLXY<uint16_t> corner);
void xlRoundRectanglePath(XLStream& s, XLBox<uint16_t> box, XLXY<uint16_t> corner);
void xlRoundRectanglePath(XLStream& s, XLBox<int32_t> box, XLXY<int32_t> corner);
void xlRoundRectanglePath(XLStream& s, XLBox<GReal> box, XLXY<GReal> corner);
// The point-count forms announce points that follow as embedded data,
// written by the caller; the others take one segment's points.
void xlBezierPath(XLStream& s, uint16_t numberOfPoints, uint8_t pointType);
template <XLCoord T>
void xlBezierPath(XLStream& s, XLXY<T> control1, XLXY<T> control2, XLXY<T> end);
void xlBezierRelPath(XLStream& s, uint16_t numberOfPoints, uint8_t pointType);
template <XLCoord T>
void xlBezierRelPath(XLStream& s, XLXY<T> control1, XLXY<T> control2, XLXY<T> end);
void xlLinePath(XLStream& s, uint16_t numberOfPoints, uint8_t pointType);
template <XLCoord T>
void xlLinePath(XLStream& s, XLXY<T> end);
void xlLineRelPath(XLStream& s, uint16_t numberOfPoints, uint8_t pointType);
template <XLCoord T>
void xlLineRelPath(XLStream& s, XLXY<T> end);

// Images and raster patterns. The block data of ReadImage and
// ReadRastPattern follows as embedded data, written by the caller.
void xlBeginImage(XLStream& s, uint8_t colorMapping, uint8_t colorDepth, uint16_t sourceWidth,
                  uint16_t sourceHeight, XLXY<uint16_t> destinationSize);
void xlBeginImage(XLStream& s, uint8_t colorMapping, uint8_t colorDepth, XLXY<uint16_t> sourceSize,
                  XLXY<uint16_t> destinationSize);
void xlBeginImage32(XLStream& s, uint8_t colorMapping, uint8_t colorDepth, uint32_t sourceWidth,
                    uint32_t sourceHeight, XLXY<uint16_t> destinationSize);
void xlReadImage(XLStream& s, uint16_t startLine, uint16_t blockHeight, uint8_t compressMode);
void xlReadImage32(XLStream& s, uint32_t startLine, uint32_t blockHeight, uint8_t compressMode);
void xlEndImage(XLStream& s);
void xlBeginRastPattern(XLStream& s, uint8_t colorMapping, uint8_t colorDepth, uint16_t sourceWidth,
                        uint16_t sourceHeight, XLXY<uint16_t> destinationSize, int16_t patternId,
                        uint8_t persistence);
void xlBeginRastPattern32(XLStream& s, uint8_t colorMapping, uint8_t colorDepth, uint32_t sourceWidth,
                          uint32_t sourceHeight, XLXY<uint32_t> destinationSize, int16_t patternId);
void xlReadRastPattern(XLStream& s, uint16_t startLine, uint16_t blockHeight, uint8_t compressMode);
void xlReadRastPattern32(XLStream& s, uint32_t startLine, uint32_t blockHeight, uint8_t compressMode);
void xlEndRastPattern(XLStream& s);

// Scan lines. A scan line's data record is the byte 3, the x start, the y
// and the number of pairs n (u16 each), a pair-type byte, and the 2n pair
// values: one byte each (type 0) when all are at most 255, else a u16 each
// (type 2).
void xlBeginScan(XLStream& s);
void xlEndScan(XLStream& s);
// ScanLineRel with the data length and the whole record. More than 65,535
// pairs cannot be expressed: nothing is written and the stream latches its
// overflow error.
void xlScanLineRel(XLStream& s, uint16_t xStart, uint16_t y, std::span<const XLXY<uint16_t>> pairs);
// ScanLineRel, the data length 4n + 8 and the record up to its pair type 2;
// the caller writes the 2n values as raw u16s.
void xlScanLineRelHeader(XLStream& s, uint16_t xStart, uint16_t y, uint16_t pairCount);

// A batch of scan lines kept in a caller's array of u16 cells, written out
// as one ScanLineRel between BeginScan and EndScan. Cells 0 to 4 hold the
// capacity, the next free cell, the first record cell, the byte count of
// the data and the line count; each line takes 2n + 4 cells. A batch of
// fewer than 10 cells holds no line: its lines go out one by one. A batch
// is written out before a line would carry its byte count past 65,535.
void xlScanBatchInit(std::span<uint16_t> cells);
void xlScanBatchAdd(XLStream& s, std::span<uint16_t> cells, uint16_t xStart, uint16_t y,
                    std::span<const XLXY<uint16_t>> pairs);
// Writes out a batch that holds lines and starts it again; an empty batch
// writes nothing.
void xlScanBatchFlush(XLStream& s, std::span<uint16_t> cells);

// VendorUnique: VUExtension (0x7178 in the upper half, the form's code in
// the lower) and the form's attributes.
void xlVendorUnique2002(XLStream& s, uint8_t attr1);
void xlVendorUnique2001(XLStream& s, uint8_t attr1, uint8_t attr2);
void xlVendorUnique1001(XLStream& s, uint8_t attr1, uint16_t attr2);
void xlVendorUnique1002(XLStream& s, uint8_t attr1, uint16_t attr2);
// VUAttr2, VUAttr1 and VUDataLength, the operator, then the data raw
// (without an embedded-data length).
void xlVendorUnique1003(XLStream& s, uint8_t attr2, uint16_t attr1, XLBytes data);

// The values of the table-driven extensions; which of them go out depends
// on the entry's level.
struct XLVendorValues {
  uint16_t attr1 = 0, attr2 = 0, attr3 = 0, attr4 = 0;
  uint32_t attr5 = 0;
  uint8_t attr6 = 0;
  GReal attr7 = 0, attr8 = 0;
  uint16_t attr9 = 0;
};
enum : int32_t { kXLVendorTableSize = 30 };
// Extension code and level of a table entry; false for an index outside
// the table.
bool xlVendorTableEntry(int32_t index, uint32_t& extension, uint8_t& level);
// The extension of table entry index. An index outside the table is
// reported as an index error and writes nothing.
void xlVendorUniqueTable(XLStream& s, int32_t index, const XLVendorValues& values);

#endif
