#ifndef CORE_ATTRIDS_H
#define CORE_ATTRIDS_H

// Every attribute id the code names, by its meaning. An attribute id is the
// 32-bit id a member carries in a configuration or settings tree, a state
// or a graphic bundle (MPersistentObject::id); the printer data files decide
// most of them, and the code looks members up by them. Code names an
// attribute id only through this table, so that one number has one name
// and the trees the code reads can be read off one page.
//
// Where the code only moves a value and its meaning to the printer is the
// printer data's, the name says what the code does with it, or keeps the
// number (Option317).

#include <cstdint>

namespace AttrId {

// ---- configuration tree: the printer, its generator and job language -------
constexpr uint32_t AddOnList = 64;
constexpr uint32_t Printer = 76;
constexpr uint32_t TrayMappings = 84;
constexpr uint32_t PsMediaPositions = 85;  // paper source -> media source table
constexpr uint32_t PaperHandlingDevices = 90;
constexpr uint32_t Generator = 101;
constexpr uint32_t JobLanguage = 106;
constexpr uint32_t MediaPool = 189;
constexpr uint32_t MediaEntry = 190;
constexpr uint32_t CodeMappings = 191;
constexpr uint32_t PaperNameTable = 192;
constexpr uint32_t ResourceMappings = 194;
constexpr uint32_t AlternateMediaPool = 195;
constexpr uint32_t StageConfig = 198;
constexpr uint32_t CopiesRange = 199;
constexpr uint32_t DownloadMemory = 202;
constexpr uint32_t DuplexBindingRange = 203;
constexpr uint32_t DuplexUnit = 204;
constexpr uint32_t Orientations = 205;
constexpr uint32_t ModeEntries = 206;
constexpr uint32_t PrinterModeSwitch = 226;
constexpr uint32_t JobLanguageConfig = 228;
constexpr uint32_t CollationAvailable = 231;
constexpr uint32_t StageState = 243;
constexpr uint32_t ConfigurationValue = 339;
constexpr uint32_t ConfigurationRoot = 353;
constexpr uint32_t LanguageName = 373;
constexpr uint32_t ResourceModule = 401;
constexpr uint32_t FontLists = 414;
constexpr uint32_t MinimalMarginX = 501;
constexpr uint32_t MinimalMarginY = 502;
constexpr uint32_t HalftoneTable = 533;
constexpr uint32_t ColorMapTable = 537;
constexpr uint32_t TransparencyPreset = 227;
constexpr uint32_t PsPatternScale = 277;
constexpr uint32_t Compression = 297;
constexpr uint32_t PsDitherMatrices = 330;
constexpr uint32_t VendorByte = 900;
constexpr uint32_t QualityCode = 902;
constexpr uint32_t Tray1TemperatureTable = 906;
constexpr uint32_t Tray1Temperature = 907;
constexpr uint32_t AnyCustomSize = 914;
constexpr uint32_t CustomSizesEnabled = 916;

// ---- capability sets (members of CapabilitySets) ---------------------------
constexpr uint32_t CapabilitySets = 112;
constexpr uint32_t CapabilitySet113 = 113;
constexpr uint32_t CapabilitySet120 = 120;
constexpr uint32_t TextCapsCommon = 126;
constexpr uint32_t TextCaps = 127;
constexpr uint32_t TextCapsAlternate = 128;
constexpr uint32_t CapabilitySet135 = 135;
constexpr uint32_t CapabilitySet136 = 136;
constexpr uint32_t MediaOptions = 137;
constexpr uint32_t PassThroughCapabilities = 565;
constexpr uint32_t FormCapabilities = 750;

// ---- journal: command groups and graphic-bundle members --------------------
constexpr uint32_t Brush = 154;
constexpr uint32_t Pen = 160;
constexpr uint32_t LineCap = 166;
constexpr uint32_t LineJoin = 172;
constexpr uint32_t Clip = 177;
constexpr uint32_t FillMode = 182;
constexpr uint32_t RasterOperation = 183;
constexpr uint32_t GraphicGroup = 244;
constexpr uint32_t DocumentGroup = 246;
constexpr uint32_t PageGroup = 256;
constexpr uint32_t PassThrough = 601;

// ---- settings: the groups of the driver instance's settings ----------------
constexpr uint32_t CustomSizes = 276;
constexpr uint32_t UiScratch = 283;
constexpr uint32_t SettingsTemplate = 359;
constexpr uint32_t NamedSettingsValues = 360;
constexpr uint32_t DocumentSettings = 362;
constexpr uint32_t PageSettings = 363;
constexpr uint32_t JobOptions = 364;
constexpr uint32_t PrinterOptions = 365;
constexpr uint32_t WatermarkDefinitions = 366;
constexpr uint32_t Option367 = 367;  // kept across a reset to defaults, as 366 is
constexpr uint32_t NamedSettings = 369;
constexpr uint32_t NamedSettingsName = 370;
constexpr uint32_t ExtraMediaTypes = 701;

// ---- settings: paper, copies, layout and finishing -------------------------
constexpr uint32_t OutputSource = 213;
constexpr uint32_t ModeSwitch = 239;
constexpr uint32_t RawPjl = 240;
constexpr uint32_t PrintOnBackSide = 245;
constexpr uint32_t Copies = 247;
constexpr uint32_t OutputBin = 248;
constexpr uint32_t ResolutionGroup = 249;
constexpr uint32_t ResolutionEnhancement = 250;
constexpr uint32_t PageProtect = 251;
constexpr uint32_t Tonersave = 252;
constexpr uint32_t DuplexBinding = 253;
constexpr uint32_t RenderingMode = 255;
constexpr uint32_t PageCopies = 257;
constexpr uint32_t PaperSource = 258;
constexpr uint32_t Media = 259;
constexpr uint32_t Paper = 260;  // the media id of the paper chosen
constexpr uint32_t MediaTypeName = 261;
constexpr uint32_t LaterMediaTypeName = 262;
constexpr uint32_t LaterPaperSource = 263;
constexpr uint32_t LaterPapersDiffer = 264;
constexpr uint32_t OrientationAngle = 265;
constexpr uint32_t PagesPerSheet = 266;
constexpr uint32_t FitToMedia = 270;
constexpr uint32_t FitMediaId = 272;
constexpr uint32_t FitMedia = 273;
constexpr uint32_t AbsentDeviceSource = 274;
constexpr uint32_t ManualFeed = 275;
constexpr uint32_t Staple = 278;
constexpr uint32_t Booklet = 279;
constexpr uint32_t BookletMediaId = 280;
constexpr uint32_t BookletMedia = 281;
constexpr uint32_t HoldJobName = 282;
constexpr uint32_t HoldKey = 284;
constexpr uint32_t HoldMode = 287;
constexpr uint32_t StapleOption = 289;
constexpr uint32_t HoldPrivate = 290;
constexpr uint32_t JobCopies = 291;
constexpr uint32_t Collate = 292;
constexpr uint32_t AlternateTextCaps = 293;
constexpr uint32_t GreyscaleOffered = 294;
constexpr uint32_t Chromafit = 295;
constexpr uint32_t PrintInGray = 296;
constexpr uint32_t MediaCodesInUse = 298;
constexpr uint32_t DownloadMemoryChoice = 307;
constexpr uint32_t DuplexUnitChoice = 308;
constexpr uint32_t CollationOption = 310;
constexpr uint32_t InputDeviceName = 315;
constexpr uint32_t OutputDeviceName = 316;
constexpr uint32_t Option317 = 317;
constexpr uint32_t InputSource = 318;
constexpr uint32_t Resolution = 323;
constexpr uint32_t VerticalResolution = 324;
constexpr uint32_t BitsPerPixel = 325;
constexpr uint32_t NupGroup = 329;
constexpr uint32_t MarginGroup = 331;
constexpr uint32_t LeftMargin = 332;
constexpr uint32_t TopMargin = 333;
constexpr uint32_t RightMargin = 334;
constexpr uint32_t BottomMargin = 335;
constexpr uint32_t MediaChoice = 350;
constexpr uint32_t DitherChoice = 351;
constexpr uint32_t HelpFile = 374;
constexpr uint32_t WatermarkList = 378;
constexpr uint32_t WatermarkGroup = 379;
constexpr uint32_t WatermarkOption = 381;
constexpr uint32_t WatermarkChoice = 382;
constexpr uint32_t WatermarkName = 383;
constexpr uint32_t WatermarkEntryName = 384;
constexpr uint32_t UserName = 440;
constexpr uint32_t Option441 = 441;
constexpr uint32_t ExtendedPrintArea = 442;
constexpr uint32_t InstalledOptions = 450;
constexpr uint32_t PrinterCollates = 451;
constexpr uint32_t FormToTray = 510;
constexpr uint32_t TwoColorOption = 518;
constexpr uint32_t PsTrueTypeMode = 570;
constexpr uint32_t PsDeviceFontSource = 571;
constexpr uint32_t SendPjl = 579;
constexpr uint32_t TwoColor = 585;
constexpr uint32_t SendDateTime = 596;
constexpr uint32_t PsPassThroughMode = 600;
constexpr uint32_t Binder = 612;
constexpr uint32_t DiskForms = 702;
constexpr uint32_t Cleaning = 703;
constexpr uint32_t EmulateMargins = 711;
constexpr uint32_t SubstituteMedia = 713;
constexpr uint32_t ChromafitAlternate = 208;
constexpr uint32_t ChromafitSelector = 304;
constexpr uint32_t PsPrinterScreen = 582;
constexpr uint32_t PsScreenFrequency = 583;
constexpr uint32_t PsScreenAngle = 584;
constexpr uint32_t PsColorRenderingChoice = 605;
constexpr uint32_t PsSpotChoice = 608;
constexpr uint32_t DisplayText = 800;
constexpr uint32_t DisplayKind = 801;
constexpr uint32_t DitherSelector1 = 910;
constexpr uint32_t DitherSelector2 = 911;

}  // namespace AttrId

#endif
