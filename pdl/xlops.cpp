#include "pdl/xlops.h"

#include <algorithm>
#include <type_traits>

#include "rw/rwerr.h"

namespace {

// One typed value of each kind the writers use.
void put(XLStream& s, uint8_t v) { xlWriteUByte(s, v); }
void put(XLStream& s, uint16_t v) { xlWriteUInt16(s, v); }
void put(XLStream& s, uint32_t v) { xlWriteUInt32(s, v); }
void put(XLStream& s, int16_t v) { xlWriteSInt16(s, v); }
void put(XLStream& s, GReal v) { xlWriteReal32(s, v); }
void put(XLStream& s, XLBytes v) { xlWriteUByteArray(s, v); }
void put(XLStream& s, std::span<const uint16_t> v) { xlWriteUInt16Array(s, v); }
void put(XLStream& s, std::span<const int16_t> v) { xlWriteSInt16Array(s, v); }
void put(XLStream& s, std::span<const GReal> v) { xlWriteReal32Array(s, v); }

template <class T>
void put(XLStream& s, XLXY<T> p) {
  if constexpr (std::is_same_v<T, uint8_t>) xlWriteUByteXY(s, p.x, p.y);
  else if constexpr (std::is_same_v<T, uint16_t>) xlWriteUInt16XY(s, p.x, p.y);
  else if constexpr (std::is_same_v<T, uint32_t>) xlWriteUInt32XY(s, p.x, p.y);
  else if constexpr (std::is_same_v<T, int16_t>) xlWriteSInt16XY(s, p.x, p.y);
  else if constexpr (std::is_same_v<T, int32_t>) xlWriteSInt32XY(s, p.x, p.y);
  else xlWriteReal32XY(s, p.x, p.y);
}

template <class T>
void put(XLStream& s, XLBox<T> b) {
  if constexpr (std::is_same_v<T, uint16_t>) xlWriteUInt16Box(s, b.left, b.top, b.right, b.bottom);
  else if constexpr (std::is_same_v<T, int16_t>) xlWriteSInt16Box(s, b.left, b.top, b.right, b.bottom);
  else if constexpr (std::is_same_v<T, int32_t>) xlWriteSInt32Box(s, b.left, b.top, b.right, b.bottom);
  else xlWriteReal32Box(s, b.left, b.top, b.right, b.bottom);
}

// A value and its attribute id.
template <class V>
void attr(XLStream& s, V v, uint8_t id) {
  put(s, v);
  xlWriteAttribute(s, id);
}

void op(XLStream& s, uint8_t tag) { xlWriteOperator(s, tag); }

// An operator with one attribute.
template <class V>
void single(XLStream& s, uint8_t tag, V v, uint8_t id) {
  attr(s, v, id);
  op(s, tag);
}

// A spacing array: ubyte low bytes when every value lies in 0..255, else
// sint16 values.
void spacing(XLStream& s, std::span<const int16_t> v, uint8_t id) {
  bool small = std::all_of(v.begin(), v.end(), [](int16_t d) { return d >= 0 && d <= 255; });
  if (small)
    // A signed element may be read through its unsigned type.
    xlWriteUByteArrayOfLowBytes(s, std::span(reinterpret_cast<const uint16_t*>(v.data()), v.size()));
  else
    xlWriteSInt16Array(s, v);
  xlWriteAttribute(s, id);
}

template <XLTextCode C>
void textOp(XLStream& s, uint8_t tag, std::span<const C> text, const std::span<const int16_t>* x,
            const std::span<const int16_t>* y) {
  attr(s, text, XLAttr::TextData);
  if (x && y) {
    attr(s, *x, XLAttr::XSpacingData);
    attr(s, *y, XLAttr::YSpacingData);
  } else if (x) {
    spacing(s, *x, XLAttr::XSpacingData);
  } else if (y) {
    spacing(s, *y, XLAttr::YSpacingData);
  }
  op(s, tag);
}

template <class T>
void boxStartEnd(XLStream& s, uint8_t tag, XLBox<T> box, XLXY<T> start, XLXY<T> end) {
  attr(s, box, XLAttr::BoundingBox);
  attr(s, start, XLAttr::StartPoint);
  attr(s, end, XLAttr::EndPoint);
  op(s, tag);
}

template <class T>
void boxOnly(XLStream& s, uint8_t tag, XLBox<T> box) {
  attr(s, box, XLAttr::BoundingBox);
  op(s, tag);
}

template <class T, class D>
void roundRect(XLStream& s, uint8_t tag, XLBox<T> box, XLXY<D> corner) {
  attr(s, box, XLAttr::BoundingBox);
  attr(s, corner, XLAttr::EllipseDimension);
  op(s, tag);
}

template <class T>
void bezier(XLStream& s, uint8_t tag, XLXY<T> c1, XLXY<T> c2, XLXY<T> end) {
  attr(s, c1, XLAttr::ControlPoint1);
  attr(s, c2, XLAttr::ControlPoint2);
  attr(s, end, XLAttr::EndPoint);
  op(s, tag);
}

void pointCount(XLStream& s, uint8_t tag, uint16_t n, uint8_t pointType) {
  attr(s, n, XLAttr::NumberOfPoints);
  attr(s, pointType, XLAttr::PointType);
  op(s, tag);
}

void imageHead(XLStream& s, uint8_t mapping, uint8_t depth) {
  attr(s, mapping, XLAttr::ColorMapping);
  attr(s, depth, XLAttr::ColorDepth);
}

template <class N>
void block(XLStream& s, uint8_t tag, N startLine, N height, uint8_t compressMode) {
  attr(s, startLine, XLAttr::StartLine);
  attr(s, height, XLAttr::BlockHeight);
  attr(s, compressMode, XLAttr::CompressMode);
  op(s, tag);
}

void vendorExtension(XLStream& s, uint32_t lowHalf) {
  attr(s, uint32_t{0x71780000u | lowHalf}, XLAttr::VUExtension);
}

}  // namespace

// Session, page and data source.

void xlBeginSession(XLStream& s, XLXY<uint16_t> units, uint8_t measure) {
  attr(s, units, XLAttr::UnitsPerMeasure);
  attr(s, measure, XLAttr::Measure);
  op(s, XLOp::BeginSession);
}

void xlBeginSession(XLStream& s, XLXY<uint16_t> units, uint8_t measure, uint8_t errorReport) {
  attr(s, units, XLAttr::UnitsPerMeasure);
  attr(s, measure, XLAttr::Measure);
  attr(s, errorReport, XLAttr::ErrorReport);
  op(s, XLOp::BeginSession);
}

void xlEndSession(XLStream& s) { op(s, XLOp::EndSession); }

void xlBeginPage(XLStream& s, uint8_t orientation, uint8_t mediaSize) {
  attr(s, orientation, XLAttr::Orientation);
  attr(s, mediaSize, XLAttr::MediaSize);
  op(s, XLOp::BeginPage);
}

void xlBeginPage(XLStream& s, uint8_t orientation, uint8_t mediaSize, uint8_t mediaSource) {
  attr(s, orientation, XLAttr::Orientation);
  attr(s, mediaSize, XLAttr::MediaSize);
  attr(s, mediaSource, XLAttr::MediaSource);
  op(s, XLOp::BeginPage);
}

void xlBeginPage(XLStream& s, uint8_t orientation, uint8_t mediaSize, XLBytes mediaType, uint8_t mediaSource) {
  attr(s, orientation, XLAttr::Orientation);
  attr(s, mediaSize, XLAttr::MediaSize);
  attr(s, mediaType, XLAttr::MediaType);
  attr(s, mediaSource, XLAttr::MediaSource);
  op(s, XLOp::BeginPage);
}

void xlBeginPageCustom(XLStream& s, uint8_t orientation, XLXY<uint16_t> size, uint8_t units) {
  attr(s, orientation, XLAttr::Orientation);
  attr(s, size, XLAttr::CustomMediaSize);
  attr(s, units, XLAttr::CustomMediaSizeUnits);
  op(s, XLOp::BeginPage);
}

void xlBeginPageCustom(XLStream& s, uint8_t orientation, XLXY<uint16_t> size, uint8_t units,
                       uint8_t mediaSource) {
  attr(s, orientation, XLAttr::Orientation);
  attr(s, size, XLAttr::CustomMediaSize);
  attr(s, units, XLAttr::CustomMediaSizeUnits);
  attr(s, mediaSource, XLAttr::MediaSource);
  op(s, XLOp::BeginPage);
}

void xlBeginPageCustom(XLStream& s, uint8_t orientation, XLXY<uint16_t> size, uint8_t units, XLBytes mediaType,
                       uint8_t mediaSource) {
  attr(s, orientation, XLAttr::Orientation);
  attr(s, size, XLAttr::CustomMediaSize);
  attr(s, units, XLAttr::CustomMediaSizeUnits);
  attr(s, mediaType, XLAttr::MediaType);
  attr(s, mediaSource, XLAttr::MediaSource);
  op(s, XLOp::BeginPage);
}

void xlEndPage(XLStream& s) { op(s, XLOp::EndPage); }

void xlEndPageCopies(XLStream& s, uint16_t copies) { single(s, XLOp::EndPage, copies, XLAttr::PageCopies); }

void xlEndPageCopies(XLStream& s, uint16_t copies, uint8_t mediaSource) {
  attr(s, copies, XLAttr::PageCopies);
  attr(s, mediaSource, XLAttr::MediaSource);
  op(s, XLOp::EndPage);
}

void xlEndPageSource(XLStream& s, uint8_t mediaSource) { single(s, XLOp::EndPage, mediaSource, XLAttr::MediaSource); }

void xlComment(XLStream& s, XLBytes text) { single(s, XLOp::Comment, text, XLAttr::CommentData); }

void xlEchoComment(XLStream& s, XLBytes text) { single(s, XLOp::EchoComment, text, XLAttr::CommentData); }

void xlQuery(XLStream& s, XLBytes query) { single(s, XLOp::Query, query, 138); }

void xlOpenDataSource(XLStream& s, uint8_t sourceType) {
  single(s, XLOp::OpenDataSource, sourceType, XLAttr::SourceType);
}

void xlOpenDataSource(XLStream& s, uint8_t sourceType, uint8_t dataOrg) {
  attr(s, sourceType, XLAttr::SourceType);
  attr(s, dataOrg, XLAttr::DataOrg);
  op(s, XLOp::OpenDataSource);
}

void xlCloseDataSource(XLStream& s) { op(s, XLOp::CloseDataSource); }

// Fonts and characters.

void xlBeginFontHeader(XLStream& s, XLBytes fontName, uint8_t fontFormat) {
  attr(s, fontName, XLAttr::FontName);
  attr(s, fontFormat, XLAttr::FontFormat);
  op(s, XLOp::BeginFontHeader);
}

void xlReadFontHeader(XLStream& s, uint16_t length) {
  single(s, XLOp::ReadFontHeader, length, XLAttr::FontHeaderLength);
}

void xlEndFontHeader(XLStream& s) { op(s, XLOp::EndFontHeader); }

void xlBeginChar(XLStream& s, XLBytes fontName) { single(s, XLOp::BeginChar, fontName, XLAttr::FontName); }

void xlReadChar(XLStream& s, uint16_t charCode, uint32_t charDataSize) {
  attr(s, charCode, XLAttr::CharCode);
  attr(s, charDataSize, XLAttr::CharDataSize);
  op(s, XLOp::ReadChar);
}

void xlEndChar(XLStream& s) { op(s, XLOp::EndChar); }

void xlRemoveFont(XLStream& s, XLBytes fontName) { single(s, XLOp::RemoveFont, fontName, XLAttr::FontName); }

void xlSetCharAttributes(XLStream& s, uint8_t writingMode) {
  single(s, XLOp::SetCharAttributes, writingMode, XLAttr::WritingMode);
}

// Streams.

void xlBeginStream(XLStream& s, XLBytes streamName) { single(s, XLOp::BeginStream, streamName, XLAttr::StreamName); }

void xlReadStream(XLStream& s, uint32_t length) { single(s, XLOp::ReadStream, length, XLAttr::StreamDataLength); }

void xlEndStream(XLStream& s) { op(s, XLOp::EndStream); }

void xlExecStream(XLStream& s, uint32_t length) { single(s, XLOp::ExecStream, length, XLAttr::StreamDataLength); }

void xlRemoveStream(XLStream& s, uint32_t length) { single(s, XLOp::RemoveStream, length, XLAttr::StreamDataLength); }

// Graphics state.

void xlPopGS(XLStream& s) { op(s, XLOp::PopGS); }
void xlPushGS(XLStream& s) { op(s, XLOp::PushGS); }

void xlSetClipReplace(XLStream& s, uint8_t clipRegion) {
  single(s, XLOp::SetClipReplace, clipRegion, XLAttr::ClipRegion);
}

void xlSetClipIntersect(XLStream& s, uint8_t clipRegion) {
  single(s, XLOp::SetClipIntersect, clipRegion, XLAttr::ClipRegion);
}

template <XLCoord T>
void xlSetClipRectangle(XLStream& s, XLBox<T> box, uint8_t clipRegion) {
  attr(s, box, XLAttr::BoundingBox);
  attr(s, clipRegion, XLAttr::ClipRegion);
  op(s, XLOp::SetClipRectangle);
}

void xlSetClipToPage(XLStream& s) { op(s, XLOp::SetClipToPage); }

void xlSetClipMode(XLStream& s, uint8_t clipMode) { single(s, XLOp::SetClipMode, clipMode, XLAttr::ClipMode); }

void xlSetPathToClip(XLStream& s) { op(s, XLOp::SetPathToClip); }

// Brush and pen sources: the same attributes before either operator.

namespace {

void sizedPattern(XLStream& s, uint8_t tag, XLXY<uint16_t> newSize, int16_t patternId) {
  attr(s, newSize, XLAttr::NewDestinationSize);
  attr(s, patternId, XLAttr::PatternSelectID);
  op(s, tag);
}

void attr15Source(XLStream& s, uint8_t tag, uint8_t attr15, XLBytes attr14) {
  attr(s, attr15, 15);
  attr(s, attr14, 14);
  op(s, tag);
}

}  // namespace

void xlSetBrushGrayReal(XLStream& s, GReal gray) { single(s, XLOp::SetBrushSource, gray, XLAttr::GrayLevel); }
void xlSetBrushGray(XLStream& s, uint8_t gray) { single(s, XLOp::SetBrushSource, gray, XLAttr::GrayLevel); }
void xlSetBrushNull(XLStream& s, uint8_t v) { single(s, XLOp::SetBrushSource, v, XLAttr::NullBrush); }
void xlSetBrushPattern(XLStream& s, int16_t id) { single(s, XLOp::SetBrushSource, id, XLAttr::PatternSelectID); }
void xlSetBrushPattern(XLStream& s, XLXY<uint16_t> newSize, int16_t id) {
  sizedPattern(s, XLOp::SetBrushSource, newSize, id);
}
void xlSetBrushRGBReal(XLStream& s, std::span<const GReal> rgb) {
  single(s, XLOp::SetBrushSource, rgb, XLAttr::RGBColor);
}
void xlSetBrushRGB(XLStream& s, XLBytes rgb) { single(s, XLOp::SetBrushSource, rgb, XLAttr::RGBColor); }
void xlSetBrushSourceAttr15(XLStream& s, uint8_t attr15, XLBytes attr14) {
  attr15Source(s, XLOp::SetBrushSource, attr15, attr14);
}

void xlSetPenGrayReal(XLStream& s, GReal gray) { single(s, XLOp::SetPenSource, gray, XLAttr::GrayLevel); }
void xlSetPenGray(XLStream& s, uint8_t gray) { single(s, XLOp::SetPenSource, gray, XLAttr::GrayLevel); }
void xlSetPenNull(XLStream& s, uint8_t v) { single(s, XLOp::SetPenSource, v, XLAttr::NullPen); }
void xlSetPenPattern(XLStream& s, int16_t id) { single(s, XLOp::SetPenSource, id, XLAttr::PatternSelectID); }
void xlSetPenPattern(XLStream& s, XLXY<uint16_t> newSize, int16_t id) {
  sizedPattern(s, XLOp::SetPenSource, newSize, id);
}
void xlSetPenRGBReal(XLStream& s, std::span<const GReal> rgb) { single(s, XLOp::SetPenSource, rgb, XLAttr::RGBColor); }
void xlSetPenRGB(XLStream& s, XLBytes rgb) { single(s, XLOp::SetPenSource, rgb, XLAttr::RGBColor); }
void xlSetPenSourceAttr15(XLStream& s, uint8_t attr15, XLBytes attr14) {
  attr15Source(s, XLOp::SetPenSource, attr15, attr14);
}

void xlSetColorSpace(XLStream& s, uint8_t colorSpace) {
  single(s, XLOp::SetColorSpace, colorSpace, XLAttr::ColorSpace);
}

void xlSetColorSpace(XLStream& s, uint8_t colorSpace, uint8_t paletteDepth, XLBytes paletteData) {
  attr(s, colorSpace, XLAttr::ColorSpace);
  attr(s, paletteDepth, XLAttr::PaletteDepth);
  attr(s, paletteData, XLAttr::PaletteData);
  op(s, XLOp::SetColorSpace);
}

void xlSetColorSpaceAttr17(XLStream& s, uint8_t attr17, std::span<const GReal> attr18,
                           std::span<const GReal> attr19, std::span<const GReal> attr20,
                           std::span<const GReal> attr21) {
  attr(s, attr17, 17);
  attr(s, attr18, 18);
  attr(s, attr19, 19);
  attr(s, attr20, 20);
  attr(s, attr21, 21);
  op(s, XLOp::SetColorSpace);
}

void xlSetColorSpaceAttr22(XLStream& s, uint8_t attr22, GReal attr23, GReal attr24, GReal attr25, GReal attr26,
                           GReal attr27, GReal attr26Again) {
  attr(s, attr22, 22);
  attr(s, attr23, 23);
  attr(s, attr24, 24);
  attr(s, attr25, 25);
  attr(s, attr26, 26);
  attr(s, attr27, 27);
  attr(s, attr26Again, 26);
  op(s, XLOp::SetColorSpace);
}

void xlSetCursorMeasure(XLStream& s, uint8_t measure, XLXY<GReal> unitsPerMeasure) {
  attr(s, measure, XLAttr::Measure);
  attr(s, unitsPerMeasure, XLAttr::UnitsPerMeasure);
  op(s, XLOp::SetCursor);
}

template <XLCoord T>
void xlSetCursor(XLStream& s, XLXY<T> point) {
  single(s, XLOp::SetCursor, point, XLAttr::Point);
}

template <XLCoord T>
void xlSetCursorRel(XLStream& s, XLXY<T> point) {
  single(s, XLOp::SetCursorRel, point, XLAttr::Point);
}

void xlSetHalftoneDevice(XLStream& s, uint8_t deviceMatrix) {
  single(s, XLOp::SetHalftoneMethod, deviceMatrix, XLAttr::DeviceMatrix);
}

namespace {
void ditherMatrix(XLStream& s, XLXY<uint16_t> size, uint8_t depth, uint8_t dataType) {
  attr(s, size, XLAttr::DitherMatrixSize);
  attr(s, depth, XLAttr::DitherMatrixDepth);
  attr(s, dataType, XLAttr::DitherMatrixDataType);
}
}  // namespace

void xlSetHalftoneMethod(XLStream& s, XLXY<uint16_t> size, uint8_t depth, uint8_t dataType) {
  ditherMatrix(s, size, depth, dataType);
  op(s, XLOp::SetHalftoneMethod);
}

void xlSetHalftoneMethod(XLStream& s, XLXY<uint16_t> size, uint8_t depth, uint8_t dataType,
                         XLXY<uint16_t> origin) {
  ditherMatrix(s, size, depth, dataType);
  attr(s, origin, XLAttr::DitherOrigin);
  op(s, XLOp::SetHalftoneMethod);
}

void xlSetFillMode(XLStream& s, uint8_t fillMode) { single(s, XLOp::SetFillMode, fillMode, XLAttr::FillMode); }

void xlSetLineDash(XLStream& s, std::span<const uint16_t> dashes) {
  single(s, XLOp::SetLineDash, dashes, XLAttr::LineDashStyle);
}

void xlSetLineDash(XLStream& s, std::span<const uint16_t> dashes, uint16_t offset) {
  attr(s, dashes, XLAttr::LineDashStyle);
  attr(s, offset, XLAttr::DashOffset);
  op(s, XLOp::SetLineDash);
}

void xlSetLineDashSolid(XLStream& s, uint8_t solidLine) {
  single(s, XLOp::SetLineDash, solidLine, XLAttr::SolidLine);
}

void xlSetLineCap(XLStream& s, uint8_t cap) { single(s, XLOp::SetLineCap, cap, XLAttr::LineCapStyle); }
void xlSetLineJoin(XLStream& s, uint8_t join) { single(s, XLOp::SetLineJoin, join, XLAttr::LineJoinStyle); }
void xlSetMiterLimit(XLStream& s, uint16_t limit) { single(s, XLOp::SetMiterLimit, limit, XLAttr::MiterLength); }
void xlSetMiterLimitReal(XLStream& s, GReal limit) {
  single(s, XLOp::SetMiterLimit, limit, XLAttr::MiterLength);
}
void xlSetPenWidth(XLStream& s, uint16_t width) { single(s, XLOp::SetPenWidth, width, XLAttr::PenWidth); }
void xlSetPenWidthReal(XLStream& s, GReal width) { single(s, XLOp::SetPenWidth, width, XLAttr::PenWidth); }
void xlSetROP(XLStream& s, uint8_t rop3) { single(s, XLOp::SetROP, rop3, XLAttr::ROP3); }
void xlSetPatternTxMode(XLStream& s, uint8_t mode) { single(s, XLOp::SetPatternTxMode, mode, XLAttr::TxMode); }
void xlSetSourceTxMode(XLStream& s, uint8_t mode) { single(s, XLOp::SetSourceTxMode, mode, XLAttr::TxMode); }

void xlSetNeutralAxis(XLStream& s, int16_t first, int16_t second) {
  put(s, first);
  put(s, second);
  op(s, XLOp::SetNeutralAxis);
}

// Page placement.

void xlSetPageDefaultCTM(XLStream& s) { op(s, XLOp::SetPageDefaultCTM); }

template <XLCoord T>
void xlSetPageOrigin(XLStream& s, XLXY<T> origin) {
  single(s, XLOp::SetPageOrigin, origin, XLAttr::PageOrigin);
}

void xlSetPageRotation(XLStream& s, int16_t angle) { single(s, XLOp::SetPageRotation, angle, XLAttr::PageAngle); }
void xlSetPageRotationReal(XLStream& s, GReal angle) {
  single(s, XLOp::SetPageRotation, angle, XLAttr::PageAngle);
}
void xlSetPageScale(XLStream& s, XLXY<GReal> scale) { single(s, XLOp::SetPageScale, scale, XLAttr::PageScale); }

// Text and character transforms.

void xlSetFont(XLStream& s, XLBytes fontName, GReal charSize, uint16_t symbolSet) {
  attr(s, fontName, XLAttr::FontName);
  attr(s, charSize, XLAttr::CharSize);
  attr(s, symbolSet, XLAttr::SymbolSet);
  op(s, XLOp::SetFont);
}

void xlSetCharAngle(XLStream& s, int16_t angle) { single(s, XLOp::SetCharAngle, angle, XLAttr::CharAngle); }
void xlSetCharAngleReal(XLStream& s, GReal angle) { single(s, XLOp::SetCharAngle, angle, XLAttr::CharAngle); }
void xlSetCharScale(XLStream& s, XLXY<GReal> scale) { single(s, XLOp::SetCharScale, scale, XLAttr::CharScale); }

template <class T>
  requires std::same_as<T, int16_t> || std::same_as<T, GReal>
void xlSetCharShear(XLStream& s, XLXY<T> shear) {
  single(s, XLOp::SetCharShear, shear, XLAttr::CharShear);
}

void xlSetCharBoldValue(XLStream& s, GReal bold) {
  single(s, XLOp::SetCharBoldValue, bold, XLAttr::CharBoldValue);
}

void xlSetCharSubMode(XLStream& s, XLBytes subModes) {
  single(s, XLOp::SetCharSubMode, subModes, XLAttr::CharSubModeArray);
}

template <XLTextCode C>
void xlText(XLStream& s, std::span<const C> text) {
  textOp<C>(s, XLOp::Text, text, nullptr, nullptr);
}
template <XLTextCode C>
void xlTextX(XLStream& s, std::span<const C> text, std::span<const int16_t> x) {
  textOp<C>(s, XLOp::Text, text, &x, nullptr);
}
template <XLTextCode C>
void xlTextY(XLStream& s, std::span<const C> text, std::span<const int16_t> y) {
  textOp<C>(s, XLOp::Text, text, nullptr, &y);
}
template <XLTextCode C>
void xlTextXY(XLStream& s, std::span<const C> text, std::span<const int16_t> x, std::span<const int16_t> y) {
  textOp<C>(s, XLOp::Text, text, &x, &y);
}
template <XLTextCode C>
void xlTextPath(XLStream& s, std::span<const C> text) {
  textOp<C>(s, XLOp::TextPath, text, nullptr, nullptr);
}
template <XLTextCode C>
void xlTextPathX(XLStream& s, std::span<const C> text, std::span<const int16_t> x) {
  textOp<C>(s, XLOp::TextPath, text, &x, nullptr);
}
template <XLTextCode C>
void xlTextPathY(XLStream& s, std::span<const C> text, std::span<const int16_t> y) {
  textOp<C>(s, XLOp::TextPath, text, nullptr, &y);
}
template <XLTextCode C>
void xlTextPathXY(XLStream& s, std::span<const C> text, std::span<const int16_t> x, std::span<const int16_t> y) {
  textOp<C>(s, XLOp::TextPath, text, &x, &y);
}

// Paths and shapes.

void xlCloseSubPath(XLStream& s) { op(s, XLOp::CloseSubPath); }
void xlNewPath(XLStream& s) { op(s, XLOp::NewPath); }
void xlPaintPath(XLStream& s) { op(s, XLOp::PaintPath); }

template <XLCoord T>
void xlArcPath(XLStream& s, XLBox<T> box, XLXY<T> start, XLXY<T> end, uint8_t arcDirection) {
  attr(s, box, XLAttr::BoundingBox);
  attr(s, start, XLAttr::StartPoint);
  attr(s, end, XLAttr::EndPoint);
  attr(s, arcDirection, XLAttr::ArcDirection);
  op(s, XLOp::ArcPath);
}

template <XLCoord T>
void xlChord(XLStream& s, XLBox<T> box, XLXY<T> start, XLXY<T> end) {
  boxStartEnd(s, XLOp::Chord, box, start, end);
}
template <XLCoord T>
void xlChordPath(XLStream& s, XLBox<T> box, XLXY<T> start, XLXY<T> end) {
  boxStartEnd(s, XLOp::ChordPath, box, start, end);
}
template <XLCoord T>
void xlPie(XLStream& s, XLBox<T> box, XLXY<T> start, XLXY<T> end) {
  boxStartEnd(s, XLOp::Pie, box, start, end);
}
template <XLCoord T>
void xlPiePath(XLStream& s, XLBox<T> box, XLXY<T> start, XLXY<T> end) {
  boxStartEnd(s, XLOp::PiePath, box, start, end);
}
template <XLCoord T>
void xlEllipse(XLStream& s, XLBox<T> box) {
  boxOnly(s, XLOp::Ellipse, box);
}
template <XLCoord T>
void xlEllipsePath(XLStream& s, XLBox<T> box) {
  boxOnly(s, XLOp::EllipsePath, box);
}
template <XLCoord T>
void xlRectangle(XLStream& s, XLBox<T> box) {
  boxOnly(s, XLOp::Rectangle, box);
}
template <XLCoord T>
void xlRectanglePath(XLStream& s, XLBox<T> box) {
  boxOnly(s, XLOp::RectanglePath, box);
}

void xlRoundRectangle(XLStream& s, XLBox<int16_t> b, XLXY<uint16_t> c) { roundRect(s, XLOp::RoundRectangle, b, c); }
void xlRoundRectangle(XLStream& s, XLBox<uint16_t> b, XLXY<uint16_t> c) { roundRect(s, XLOp::RoundRectangle, b, c); }
void xlRoundRectangle(XLStream& s, XLBox<int32_t> b, XLXY<uint32_t> c) { roundRect(s, XLOp::RoundRectangle, b, c); }
void xlRoundRectangle(XLStream& s, XLBox<GReal> b, XLXY<GReal> c) { roundRect(s, XLOp::RoundRectangle, b, c); }
void xlRoundRectanglePath(XLStream& s, XLBox<int16_t> b, XLXY<uint16_t> c) {
  roundRect(s, XLOp::RoundRectanglePath, b, c);
}
void xlRoundRectanglePath(XLStream& s, XLBox<uint16_t> b, XLXY<uint16_t> c) {
  roundRect(s, XLOp::RoundRectanglePath, b, c);
}
void xlRoundRectanglePath(XLStream& s, XLBox<int32_t> b, XLXY<int32_t> c) {
  roundRect(s, XLOp::RoundRectanglePath, b, c);
}
void xlRoundRectanglePath(XLStream& s, XLBox<GReal> b, XLXY<GReal> c) {
  roundRect(s, XLOp::RoundRectanglePath, b, c);
}

void xlBezierPath(XLStream& s, uint16_t n, uint8_t pointType) { pointCount(s, XLOp::BezierPath, n, pointType); }
template <XLCoord T>
void xlBezierPath(XLStream& s, XLXY<T> c1, XLXY<T> c2, XLXY<T> end) {
  bezier(s, XLOp::BezierPath, c1, c2, end);
}
void xlBezierRelPath(XLStream& s, uint16_t n, uint8_t pointType) {
  pointCount(s, XLOp::BezierRelPath, n, pointType);
}
template <XLCoord T>
void xlBezierRelPath(XLStream& s, XLXY<T> c1, XLXY<T> c2, XLXY<T> end) {
  bezier(s, XLOp::BezierRelPath, c1, c2, end);
}
void xlLinePath(XLStream& s, uint16_t n, uint8_t pointType) { pointCount(s, XLOp::LinePath, n, pointType); }
template <XLCoord T>
void xlLinePath(XLStream& s, XLXY<T> end) {
  single(s, XLOp::LinePath, end, XLAttr::EndPoint);
}
void xlLineRelPath(XLStream& s, uint16_t n, uint8_t pointType) { pointCount(s, XLOp::LineRelPath, n, pointType); }
template <XLCoord T>
void xlLineRelPath(XLStream& s, XLXY<T> end) {
  single(s, XLOp::LineRelPath, end, XLAttr::EndPoint);
}

// Images and raster patterns.

void xlBeginImage(XLStream& s, uint8_t colorMapping, uint8_t colorDepth, uint16_t sourceWidth,
                  uint16_t sourceHeight, XLXY<uint16_t> destinationSize) {
  imageHead(s, colorMapping, colorDepth);
  attr(s, sourceWidth, XLAttr::SourceWidth);
  attr(s, sourceHeight, XLAttr::SourceHeight);
  attr(s, destinationSize, XLAttr::DestinationSize);
  op(s, XLOp::BeginImage);
}

void xlBeginImage(XLStream& s, uint8_t colorMapping, uint8_t colorDepth, XLXY<uint16_t> sourceSize,
                  XLXY<uint16_t> destinationSize) {
  xlBeginImage(s, colorMapping, colorDepth, sourceSize.x, sourceSize.y, destinationSize);
}

void xlBeginImage32(XLStream& s, uint8_t colorMapping, uint8_t colorDepth, uint32_t sourceWidth,
                    uint32_t sourceHeight, XLXY<uint16_t> destinationSize) {
  imageHead(s, colorMapping, colorDepth);
  attr(s, sourceWidth, XLAttr::SourceWidth);
  attr(s, sourceHeight, XLAttr::SourceHeight);
  attr(s, destinationSize, XLAttr::DestinationSize);
  op(s, XLOp::BeginImage);
}

void xlReadImage(XLStream& s, uint16_t startLine, uint16_t blockHeight, uint8_t compressMode) {
  block(s, XLOp::ReadImage, startLine, blockHeight, compressMode);
}
void xlReadImage32(XLStream& s, uint32_t startLine, uint32_t blockHeight, uint8_t compressMode) {
  block(s, XLOp::ReadImage, startLine, blockHeight, compressMode);
}
void xlEndImage(XLStream& s) { op(s, XLOp::EndImage); }

void xlBeginRastPattern(XLStream& s, uint8_t colorMapping, uint8_t colorDepth, uint16_t sourceWidth,
                        uint16_t sourceHeight, XLXY<uint16_t> destinationSize, int16_t patternId,
                        uint8_t persistence) {
  imageHead(s, colorMapping, colorDepth);
  attr(s, sourceWidth, XLAttr::SourceWidth);
  attr(s, sourceHeight, XLAttr::SourceHeight);
  attr(s, destinationSize, XLAttr::DestinationSize);
  attr(s, patternId, XLAttr::PatternDefineID);
  attr(s, persistence, XLAttr::PatternPersistence);
  op(s, XLOp::BeginRastPattern);
}

void xlBeginRastPattern32(XLStream& s, uint8_t colorMapping, uint8_t colorDepth, uint32_t sourceWidth,
                          uint32_t sourceHeight, XLXY<uint32_t> destinationSize, int16_t patternId) {
  imageHead(s, colorMapping, colorDepth);
  attr(s, sourceWidth, XLAttr::SourceWidth);
  attr(s, sourceHeight, XLAttr::SourceHeight);
  attr(s, destinationSize, XLAttr::DestinationSize);
  attr(s, patternId, XLAttr::PatternDefineID);
  op(s, XLOp::BeginRastPattern);
}

void xlReadRastPattern(XLStream& s, uint16_t startLine, uint16_t blockHeight, uint8_t compressMode) {
  block(s, XLOp::ReadRastPattern, startLine, blockHeight, compressMode);
}
void xlReadRastPattern32(XLStream& s, uint32_t startLine, uint32_t blockHeight, uint8_t compressMode) {
  block(s, XLOp::ReadRastPattern, startLine, blockHeight, compressMode);
}
void xlEndRastPattern(XLStream& s) { op(s, XLOp::EndRastPattern); }

// Scan lines.

namespace {

constexpr uint8_t kScanRecordFormat = 3;
constexpr uint8_t kBytePairs = 0, kWordPairs = 2;
// Cells of a batch: capacity, next free cell, first record cell, byte count
// of the data, line count; the records follow.
enum { kCapacity, kNextFree, kFirstRecord, kByteCount, kLineCount, kHeaderCells };
constexpr size_t kMinBatchCells = 10;
constexpr uint32_t kMaxBatchBytes = 0xFFFF;

bool allBytes(std::span<const XLXY<uint16_t>> pairs) {
  return std::all_of(pairs.begin(), pairs.end(), [](XLXY<uint16_t> p) { return p.x <= 0xFF && p.y <= 0xFF; });
}

// The bytes a line adds to a record after its format byte.
uint32_t lineBytes(size_t pairCount, bool bytes) { return uint32_t(pairCount) * (bytes ? 2 : 4) + 7; }

void putLineHead(XLStream& s, uint16_t xStart, uint16_t y, uint16_t n, uint8_t pairType) {
  xlPutUInt16(s, xStart);
  xlPutUInt16(s, y);
  xlPutUInt16(s, n);
  xlPutByte(s, pairType);
}

void putPairValue(XLStream& s, uint16_t v, bool bytes) {
  if (bytes)
    xlPutByte(s, static_cast<uint8_t>(v));
  else
    xlPutUInt16(s, v);
}

// The cells a batch may use: its capacity, bounded by the caller's array;
// 0 for a batch that holds no lines.
size_t usableCells(std::span<const uint16_t> cells) {
  if (cells.size() < kMinBatchCells) return 0;
  size_t capacity = std::min<size_t>(cells[kCapacity], cells.size());
  if (capacity < kMinBatchCells) return 0;
  // Cells that no longer describe a batch are taken as an empty one.
  if (cells[kNextFree] < kHeaderCells || cells[kNextFree] > capacity || cells[kFirstRecord] != kHeaderCells)
    return 0;
  return capacity;
}

}  // namespace

void xlBeginScan(XLStream& s) { op(s, XLOp::BeginScan); }
void xlEndScan(XLStream& s) { op(s, XLOp::EndScan); }

void xlScanLineRel(XLStream& s, uint16_t xStart, uint16_t y, std::span<const XLXY<uint16_t>> pairs) {
  if (s.error) return;
  if (pairs.size() > 0xFFFF) {
    xlRecordError(s, kXLOutputOverflow);
    return;
  }
  bool bytes = allBytes(pairs);
  op(s, XLOp::ScanLineRel);
  xlWriteDataLength(s, lineBytes(pairs.size(), bytes) + 1);
  xlPutByte(s, kScanRecordFormat);
  putLineHead(s, xStart, y, static_cast<uint16_t>(pairs.size()), bytes ? kBytePairs : kWordPairs);
  for (XLXY<uint16_t> p : pairs) {
    if (s.error) return;
    putPairValue(s, p.x, bytes);
    putPairValue(s, p.y, bytes);
  }
}

void xlScanLineRelHeader(XLStream& s, uint16_t xStart, uint16_t y, uint16_t pairCount) {
  op(s, XLOp::ScanLineRel);
  xlWriteDataLength(s, lineBytes(pairCount, false) + 1);
  xlPutByte(s, kScanRecordFormat);
  putLineHead(s, xStart, y, pairCount, kWordPairs);
}

void xlScanBatchInit(std::span<uint16_t> cells) {
  if (cells.empty()) return;
  if (cells.size() < kMinBatchCells) {
    cells[kCapacity] = 0;
    return;
  }
  cells[kCapacity] = static_cast<uint16_t>(std::min<size_t>(cells.size(), 0xFFFF));
  cells[kNextFree] = kHeaderCells;
  cells[kFirstRecord] = kHeaderCells;
  cells[kByteCount] = 1;
  cells[kLineCount] = 0;
}

void xlScanBatchAdd(XLStream& s, std::span<uint16_t> cells, uint16_t xStart, uint16_t y,
                    std::span<const XLXY<uint16_t>> pairs) {
  bool bytes = allBytes(pairs);
  size_t needed = 2 * pairs.size() + 4;
  uint32_t added = lineBytes(pairs.size(), bytes);
  auto fits = [&](size_t capacity) {
    return capacity && needed <= capacity - cells[kNextFree] && cells[kByteCount] + added <= kMaxBatchBytes;
  };
  size_t capacity = usableCells(cells);
  if (capacity && !fits(capacity)) {
    xlScanBatchFlush(s, cells);
    capacity = usableCells(cells);
  }
  if (!fits(capacity)) {
    xlBeginScan(s);
    xlScanLineRel(s, xStart, y, pairs);
    xlEndScan(s);
    return;
  }
  uint16_t* cell = &cells[cells[kNextFree]];
  *cell++ = xStart;
  *cell++ = y;
  *cell++ = static_cast<uint16_t>(pairs.size());
  *cell++ = bytes ? kBytePairs : kWordPairs;
  for (XLXY<uint16_t> p : pairs) {
    *cell++ = p.x;
    *cell++ = p.y;
  }
  cells[kNextFree] = static_cast<uint16_t>(cells[kNextFree] + needed);
  cells[kByteCount] = static_cast<uint16_t>(cells[kByteCount] + added);
  ++cells[kLineCount];
}

void xlScanBatchFlush(XLStream& s, std::span<uint16_t> cells) {
  size_t capacity = usableCells(cells);
  if (!capacity || cells[kLineCount] == 0) return;
  xlBeginScan(s);
  if (cells[kLineCount] > 1) attr(s, cells[kLineCount], XLAttr::NumberOfScanLines);
  op(s, XLOp::ScanLineRel);
  xlWriteDataLength(s, cells[kByteCount]);
  xlPutByte(s, kScanRecordFormat);
  size_t at = kHeaderCells, end = cells[kNextFree];
  while (at + 4 <= end && !s.error) {
    uint16_t n = cells[at + 2];
    uint8_t pairType = static_cast<uint8_t>(cells[at + 3]);
    size_t last = at + 4 + 2 * size_t(n);
    if (last > end) break;
    putLineHead(s, cells[at], cells[at + 1], n, pairType);
    for (size_t i = at + 4; i < last; ++i) putPairValue(s, cells[i], pairType == kBytePairs);
    at = last;
  }
  xlScanBatchInit(cells.first(capacity));
  xlEndScan(s);
}

// VendorUnique.

void xlVendorUnique2002(XLStream& s, uint8_t attr1) {
  vendorExtension(s, 0x2002);
  attr(s, attr1, XLAttr::VUAttr1);
  op(s, XLOp::VendorUnique);
}

void xlVendorUnique2001(XLStream& s, uint8_t attr1, uint8_t attr2) {
  vendorExtension(s, 0x2001);
  attr(s, attr1, XLAttr::VUAttr1);
  attr(s, attr2, XLAttr::VUAttr2);
  op(s, XLOp::VendorUnique);
}

namespace {
void vendorByteAndWord(XLStream& s, uint32_t lowHalf, uint8_t attr1, uint16_t attr2) {
  vendorExtension(s, lowHalf);
  attr(s, attr1, XLAttr::VUAttr1);
  attr(s, attr2, XLAttr::VUAttr2);
  op(s, XLOp::VendorUnique);
}
}  // namespace

void xlVendorUnique1001(XLStream& s, uint8_t attr1, uint16_t attr2) { vendorByteAndWord(s, 0x1001, attr1, attr2); }
void xlVendorUnique1002(XLStream& s, uint8_t attr1, uint16_t attr2) { vendorByteAndWord(s, 0x1002, attr1, attr2); }

void xlVendorUnique1003(XLStream& s, uint8_t attr2, uint16_t attr1, XLBytes data) {
  if (s.error) return;
  if (data.size() > UINT32_MAX) {
    xlRecordError(s, kXLOutputOverflow);
    return;
  }
  vendorExtension(s, 0x1003);
  attr(s, attr2, XLAttr::VUAttr2);
  attr(s, attr1, XLAttr::VUAttr1);
  attr(s, static_cast<uint32_t>(data.size()), XLAttr::VUDataLength);
  op(s, XLOp::VendorUnique);
  xlWriteRawData(s, data);
}

namespace {
struct VendorEntry {
  uint16_t lowHalf;
  uint8_t level;
};
constexpr VendorEntry kVendorTable[kXLVendorTableSize] = {
    {0x301B, 5}, {0x301C, 5}, {0x301D, 5}, {0x301E, 5}, {0x3001, 4}, {0x3002, 4}, {0x3003, 4}, {0x3004, 4},
    {0x3005, 4}, {0x3006, 4}, {0x3007, 4}, {0x3008, 4}, {0x3009, 3}, {0x300A, 2}, {0x300B, 3}, {0x300C, 1},
    {0x300D, 2}, {0x300E, 1}, {0x300F, 1}, {0x3010, 3}, {0x3011, 3}, {0x3012, 3}, {0x3013, 3}, {0x3014, 3},
    {0x3015, 3}, {0x3016, 3}, {0x3017, 3}, {0x3018, 3}, {0x3019, 3}, {0x301A, 5},
};
}  // namespace

bool xlVendorTableEntry(int32_t index, uint32_t& extension, uint8_t& level) {
  if (index < 0 || index >= kXLVendorTableSize) return false;
  extension = 0x71780000u | kVendorTable[index].lowHalf;
  level = kVendorTable[index].level;
  return true;
}

void xlVendorUniqueTable(XLStream& s, int32_t index, const XLVendorValues& v) {
  uint32_t extension;
  uint8_t level;
  if (!xlVendorTableEntry(index, extension, level)) {
    rwReportIndex(static_cast<uint32_t>(index), kXLVendorTableSize);
    return;
  }
  attr(s, extension, XLAttr::VUExtension);
  if (level < 5) attr(s, v.attr5, XLAttr::VUAttr5);
  if (level < 4) {
    attr(s, v.attr4, XLAttr::VUAttr4);
    attr(s, v.attr3, XLAttr::VUAttr3);
    attr(s, v.attr2, XLAttr::VUAttr2);
    attr(s, v.attr1, XLAttr::VUAttr1);
  }
  if (level < 3) attr(s, v.attr6, XLAttr::VUAttr6);
  if (level <= 1) {
    attr(s, v.attr8, XLAttr::VUAttr8);
    attr(s, v.attr7, XLAttr::VUAttr7);
  }
  if (level == 2) attr(s, v.attr9, XLAttr::VUAttr9);
  op(s, XLOp::VendorUnique);
}

// The forms of every template, for the coordinate types they exist in.

#define XL_COORD_FORMS(T)                                                                  \
  template void xlSetClipRectangle<T>(XLStream&, XLBox<T>, uint8_t);                      \
  template void xlSetCursor<T>(XLStream&, XLXY<T>);                                       \
  template void xlSetCursorRel<T>(XLStream&, XLXY<T>);                                    \
  template void xlSetPageOrigin<T>(XLStream&, XLXY<T>);                                   \
  template void xlArcPath<T>(XLStream&, XLBox<T>, XLXY<T>, XLXY<T>, uint8_t);             \
  template void xlChord<T>(XLStream&, XLBox<T>, XLXY<T>, XLXY<T>);                        \
  template void xlChordPath<T>(XLStream&, XLBox<T>, XLXY<T>, XLXY<T>);                    \
  template void xlPie<T>(XLStream&, XLBox<T>, XLXY<T>, XLXY<T>);                          \
  template void xlPiePath<T>(XLStream&, XLBox<T>, XLXY<T>, XLXY<T>);                      \
  template void xlEllipse<T>(XLStream&, XLBox<T>);                                        \
  template void xlEllipsePath<T>(XLStream&, XLBox<T>);                                    \
  template void xlRectangle<T>(XLStream&, XLBox<T>);                                      \
  template void xlRectanglePath<T>(XLStream&, XLBox<T>);                                  \
  template void xlBezierPath<T>(XLStream&, XLXY<T>, XLXY<T>, XLXY<T>);                    \
  template void xlBezierRelPath<T>(XLStream&, XLXY<T>, XLXY<T>, XLXY<T>);                 \
  template void xlLinePath<T>(XLStream&, XLXY<T>);                                        \
  template void xlLineRelPath<T>(XLStream&, XLXY<T>);

XL_COORD_FORMS(int16_t)
XL_COORD_FORMS(uint16_t)
XL_COORD_FORMS(int32_t)
XL_COORD_FORMS(GReal)

template void xlSetCharShear<int16_t>(XLStream&, XLXY<int16_t>);
template void xlSetCharShear<GReal>(XLStream&, XLXY<GReal>);

#define XL_TEXT_FORMS(C)                                                                                 \
  template void xlText<C>(XLStream&, std::span<const C>);                                               \
  template void xlTextX<C>(XLStream&, std::span<const C>, std::span<const int16_t>);                    \
  template void xlTextY<C>(XLStream&, std::span<const C>, std::span<const int16_t>);                    \
  template void xlTextXY<C>(XLStream&, std::span<const C>, std::span<const int16_t>,                    \
                            std::span<const int16_t>);                                                  \
  template void xlTextPath<C>(XLStream&, std::span<const C>);                                           \
  template void xlTextPathX<C>(XLStream&, std::span<const C>, std::span<const int16_t>);                \
  template void xlTextPathY<C>(XLStream&, std::span<const C>, std::span<const int16_t>);                \
  template void xlTextPathXY<C>(XLStream&, std::span<const C>, std::span<const int16_t>,                \
                                std::span<const int16_t>);

XL_TEXT_FORMS(uint8_t)
XL_TEXT_FORMS(uint16_t)
