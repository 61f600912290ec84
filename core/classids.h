#ifndef CORE_CLASSIDS_H
#define CORE_CLASSIDS_H

// Every class ID of the system, by the name of its class. Code names a
// class ID only through this table, so that no number is registered twice
// and a stored tree's tags can be read off one page. The foundation
// library's own IDs (near 0x8000) come from rw/classids.h, which cannot
// reach up into this folder.
//
// Abstract classes are listed too: they are never registered, but their
// IDs answer kind tests (isKindOf) and name the families that state members
// are matched by (kind). One number belongs to one class, with the one
// exception spelled as an alias below.

#include "rw/classids.h"
#include "rw/defs.h"

namespace ClassId {

// ---- object model: persistent objects, composites, attributes, stores -----
constexpr RWClassID GLocaleInfo = 3;
constexpr RWClassID GBinaryData = 4;
constexpr RWClassID MPersistentObject = 751;
constexpr RWClassID MPersistentComposite = 752;
constexpr RWClassID GAttribute = 753;
constexpr RWClassID GAttributeComposite = 757;
constexpr RWClassID GState = 758;
constexpr RWClassID GRangeAttribute = 762;
constexpr RWClassID GValueAttribute = 763;
constexpr RWClassID GEnumAttribute = 764;
constexpr RWClassID MPersistentAssociation = 771;
constexpr RWClassID MAssociationList = 772;
constexpr RWClassID GCountedPtr = 773;
constexpr RWClassID GStringAttribute = 776;
constexpr RWClassID GPersistableLong = 777;
constexpr RWClassID GPersistableULong = 778;
constexpr RWClassID GDynamicLibrary = 780;
constexpr RWClassID MPersistentCompositeOnDisk = 781;
constexpr RWClassID MPersistentCompositeOnDiskImp = 782;
constexpr RWClassID GRecord = 783;
constexpr RWClassID GRecordProxy = 784;
constexpr RWClassID GRecordComposite = 785;
constexpr RWClassID GDisplayString = 786;
constexpr RWClassID GDisplayStringAttribute = 787;
constexpr RWClassID GValue32Attribute = 789;
constexpr RWClassID GChromafitAttribute = 792;
constexpr RWClassID GBookletComposite = 794;
constexpr RWClassID GOutputPortProvider = 952;
constexpr RWClassID GSpoolerProvider = 953;

// ---- device model: configuration, printer, job language, media, trays -----
constexpr RWClassID GConfiguration = 759;
constexpr RWClassID GPrinter = 761;
constexpr RWClassID GPJL = 769;
constexpr RWClassID GPeripheralComposite = 770;
constexpr RWClassID GCustomMediaSize = 775;
constexpr RWClassID GPeripheralProxy = 779;
constexpr RWClassID GPMLDescriptor = 956;
constexpr RWClassID GTray = 1001;
constexpr RWClassID GMedia = 1002;
constexpr RWClassID GCapabilities = 1003;
constexpr RWClassID GResourceMapping = 1004;
constexpr RWClassID GResourceMappingList = 1005;
constexpr RWClassID GMediaPool = 1006;
constexpr RWClassID GSelectionString = 1008;
constexpr RWClassID GBin = 1009;
constexpr RWClassID GPaperHandlingDevice = 1010;
constexpr RWClassID GFormToTrayDatabase = 1012;
constexpr RWClassID GFormToTrayAssociation = 1013;
constexpr RWClassID GPMDVersionInfo = 1051;

// ---- graphics state: bundle, paints, pens, brushes, caps, joins, clips ----
constexpr RWClassID GGraphicBundle = 101;
constexpr RWClassID GFillMode = 102;
constexpr RWClassID GTransformAttribute = 103;
constexpr RWClassID GPaint = 151;
constexpr RWClassID GColorPaint = 152;
constexpr RWClassID GRasterPaint = 153;
constexpr RWClassID GRasterPaintImp = 154;
constexpr RWClassID GPen = 201;
constexpr RWClassID GNoPen = 202;
constexpr RWClassID GDashedPen = 203;
constexpr RWClassID GBrush = 251;
constexpr RWClassID GNoBrush = 252;
constexpr RWClassID GCap = 301;
constexpr RWClassID GJoint = 351;
constexpr RWClassID GMiterJoint = 352;
constexpr RWClassID GRasterOperation = 401;
constexpr RWClassID GClipToRectangle = 501;
constexpr RWClassID GClipToPath = 502;
constexpr RWClassID GClipToPage = 503;
constexpr RWClassID GClipToSingleRectangle = 504;
constexpr RWClassID GGraphicAttribute = 754;
constexpr RWClassID GClipAttribute = 756;
constexpr RWClassID GHalftone = 790;
constexpr RWClassID GColorMap = 791;
constexpr RWClassID GTextString = 802;
constexpr RWClassID GTextEscapements = 803;

// ---- colours, palettes, bitmaps and dithering --------------------------------
constexpr RWClassID GColor = 51;
constexpr RWClassID GXYZColor = 52;
constexpr RWClassID GRGBColor = 53;
constexpr RWClassID GGrayColor = 54;
constexpr RWClassID GBitmap = 551;
// A hatch pattern is a bitmap to every reader of a stored tree: it answers
// its base's ID and is told apart only by its string ID.
constexpr RWClassID GHatchPattern = GBitmap;
constexpr RWClassID GBitmapImp = 552;
constexpr RWClassID GPaletteTable = 553;
constexpr RWClassID GDitherMatrix = 774;

// ---- fonts, font files and glyph caches ------------------------------------
constexpr RWClassID GFont = 851;
constexpr RWClassID GFontImp = 852;
constexpr RWClassID GTTFont = 853;
constexpr RWClassID GTTFontImp = 854;
constexpr RWClassID GDeviceFontDescription = 855;
constexpr RWClassID GDeviceFontList = 856;
constexpr RWClassID GBitmapFont = 857;
constexpr RWClassID GBitmapFontImp = 858;
constexpr RWClassID GTTFontFile = 859;
constexpr RWClassID GTTFontFileImp = 860;
constexpr RWClassID GBitmapGlyphSet = 863;
constexpr RWClassID GFontMetrics = 866;
constexpr RWClassID GGlyphCache = 869;
constexpr RWClassID GGlyphCacheNode = 870;
constexpr RWClassID GBitmapGlyphCacheNode = 871;
constexpr RWClassID GTTTableCache = 872;
constexpr RWClassID GDeviceFontListComposite = 873;

// ---- journal: commands and command composites ------------------------------
constexpr RWClassID GCommand = 601;
constexpr RWClassID GGraphic = 602;
constexpr RWClassID GPathGraphic = 603;
constexpr RWClassID GRasterGraphic = 604;
constexpr RWClassID GCommandComposite = 605;
constexpr RWClassID GCommandCompositeOnDisk = 606;
constexpr RWClassID GGraphicComposite = 607;
constexpr RWClassID GPassThroughCommand = 608;
constexpr RWClassID GPreScaledRasterGraphic = 609;
constexpr RWClassID GDownloadHeaderCommand = 610;
constexpr RWClassID GPointListGraphic = 651;
constexpr RWClassID GArcGraphic = 652;
constexpr RWClassID GPolyBezierGraphic = 653;
constexpr RWClassID GChordGraphic = 654;
constexpr RWClassID GEllipseGraphic = 655;
constexpr RWClassID GPieGraphic = 656;
constexpr RWClassID GPolygonGraphic = 657;
constexpr RWClassID GPolyLineGraphic = 658;
constexpr RWClassID GRectangleGraphic = 659;
constexpr RWClassID GRoundedRectangleGraphic = 660;
constexpr RWClassID GScanLineGraphic = 661;
constexpr RWClassID GPolyBezierToGraphic = 662;
constexpr RWClassID GPolyLineToGraphic = 663;
constexpr RWClassID GStartScanLine = 702;
constexpr RWClassID GEndScanLine = 703;
constexpr RWClassID GDocumentCommand = 704;
constexpr RWClassID GDocumentStart = 705;
constexpr RWClassID GDocumentEnd = 706;
constexpr RWClassID GDocumentComposite = 707;
constexpr RWClassID GPageCommand = 708;
constexpr RWClassID GPageStart = 709;
constexpr RWClassID GPageEnd = 710;
constexpr RWClassID GPageComposite = 711;
constexpr RWClassID GNullCommand = 712;
constexpr RWClassID GJobAbort = 713;
constexpr RWClassID GErrorCommand = 714;
constexpr RWClassID GNoCommand = 715;
constexpr RWClassID GManualDuplexFirstHalf = 718;
constexpr RWClassID GTextGraphic = 801;
constexpr RWClassID GTextStringGraphic = 804;
constexpr RWClassID GDownloadFace = 806;

// ---- journal: command-processing stages and page filters -------------------
constexpr RWClassID GPeripheral = 760;
constexpr RWClassID GNupFilter = 1101;
constexpr RWClassID GWatermarkFilter = 1102;
constexpr RWClassID GFitToSizeFilter = 1103;
constexpr RWClassID GScalePageFilter = 1104;
constexpr RWClassID GBookletFilter = 1105;
constexpr RWClassID GChromafitFilter = 1107;
constexpr RWClassID GEmulateMarginsFilter = 1108;
constexpr RWClassID GReverseFilter = 1109;
constexpr RWClassID GManualDuplexFilter = 1110;

// ---- printer-language generators -------------------------------------------
constexpr RWClassID GPDLGenerator = 765;
constexpr RWClassID GCheetah = 767;
constexpr RWClassID GPostScript = 768;
constexpr RWClassID GPcl5e = 788;

// ---- kernel-mode driver: engine fonts and metrics --------------------------
constexpr RWClassID GTTFontFileNT = 862;
constexpr RWClassID GBitmapFontManagerNT40 = 865;
constexpr RWClassID GFontMetricsNT40 = 868;

}  // namespace ClassId

#endif
