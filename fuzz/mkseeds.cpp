// mkseeds: writes the fuzz targets' seeds from the library's own output.
//
//   mkseeds FOLDER
//
// For every target a few representative inputs go to FOLDER/<target>/
// (fuzz/seeds in the source tree): stored trees in each stream form and as
// a binary file, strings in each form, free-list files, B-tree files,
// store files, record indexes, settings files, jobs for the generator.
// Each target's folder is emptied first. The files are made in a scratch
// folder under relative names, so that no path of this machine is written
// into a seed; the same library makes the same bytes on every run.

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "bitmapin.h"
#include "common.h"
#include "core/booklet.h"
#include "core/colormatch.h"
#include "core/dispstr.h"
#include "core/dskstore.h"
#include "core/dynlib.h"
#include "core/enumattr.h"
#include "core/locale.h"
#include "core/outport.h"
#include "core/passoc.h"
#include "core/pcompdsk.h"
#include "core/pcomposit.h"
#include "core/persnum.h"
#include "core/recindex.h"
#include "core/setstore.h"
#include "core/state.h"
#include "core/valattr.h"
#include "device/capabil.h"
#include "device/config.h"
#include "device/custsize.h"
#include "device/media.h"
#include "device/paperdev.h"
#include "device/tray.h"
#include "device/formtray.h"
#include "device/pericomp.h"
#include "device/periprox.h"
#include "device/pjl.h"
#include "device/pmdinfo.h"
#include "device/printer.h"
#include "device/resmap.h"
#include "graphics/devfont.h"
#include "graphics/bitmap.h"
#include "graphics/brush.h"
#include "graphics/clip.h"
#include "graphics/color.h"
#include "graphics/colrend.h"
#include "graphics/dither.h"
#include "graphics/gattrib.h"
#include "graphics/lineattr.h"
#include "graphics/paint.h"
#include "graphics/pen.h"
#include "graphics/rop.h"
#include "graphics/transfrm.h"
#include "pdl/cheetah.h"
#include "journal/chromafit.h"
#include "journal/cmdcomp.h"
#include "journal/ctlcmds.h"
#include "journal/passthru.h"
#include "journal/path.h"
#include "journal/shapes.h"
#include "journal/periph.h"
#include "journal/raster.h"
#include "journal/scanline.h"
#include "rw/bstream.h"
#include "rw/btrdict.h"
#include "rw/btree.h"
#include "rw/collass.h"
#include "rw/cstring.h"
#include "rw/disktree.h"
#include "rw/estream.h"
#include "rw/filemgr.h"
#include "rw/pstream.h"
#include "rw/rwfile.h"
#include "rw/rwset.h"
#include "rw/slistcol.h"
#include "rw/wstring.h"

namespace fs = std::filesystem;

namespace {

fs::path seeds;

std::string contents(const char* name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void put(const char* target, const std::string& name, const std::string& bytes) {
  std::ofstream out(seeds / target / name, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    std::cerr << "mkseeds: cannot write " << (seeds / target / name) << '\n';
    std::exit(1);
  }
}

// ---- stored trees ---------------------------------------------------------------

// A configuration as a stage keeps it: states holding every kind of
// attribute.
MPersistentObject* configuration() {
  GState* root = new GState(0);
  GState* config = new GState(353);
  config->insert(new GValueAttribute(600, 323));
  config->insert(new GStringAttribute("Letter", 373));
  config->insert(new GRangeAttribute(0, 100, 1, 25, 332));
  config->insert(new GValue32Attribute(0x12345678, 334));
  config->insert(new GDisplayStringAttribute(335, 17, "Draft", "Second"));
  config->insert(new GChromafitAttribute(336));
  GEnumAttribute* choices = new GEnumAttribute(337);
  choices->insert(new GValueAttribute(1, 338));
  choices->insert(new GValueAttribute(2, 339));
  config->insert(choices);
  GBookletComposite* booklet = new GBookletComposite(2, 3);
  booklet->appendPair(10, 20);
  config->insert(booklet);
  root->insert(config);
  root->insert(new GState(191));
  return root;
}

// Composites sharing a leaf, nil children, and association lists whose
// keys and values are owned outright.
MPersistentObject* sharing() {
  MPersistentComposite* root = new MPersistentComposite(1);
  GValueAttribute* shared = new GValueAttribute(42, 2);
  root->insert(shared);
  MPersistentComposite* page = new MPersistentComposite(3);
  page->insert(shared);
  page->insert(new GStringAttribute("x", 4));
  root->insert(page);
  root->children().append(GCountedPtr());
  MAssociationList* list = new MAssociationList(5);
  list->insertAssociation(new MPersistentAssociation(new GPersistableULong(1), new GStringAttribute("one", 6), 7));
  MPersistentComposite* value = new MPersistentComposite(8);
  value->insert(shared);
  list->insertAssociation(new MPersistentAssociation(new GPersistableULong(2), value, 9));
  list->insertAssociation(new MPersistentAssociation(new GPersistableLong(-3), nullptr, 10));
  root->insert(list);
  return root;
}

// Leaves of the object model that stand alone.
MPersistentObject* leaves() {
  MPersistentComposite* root = new MPersistentComposite(20);
  root->insert(new GDynamicLibrary(RWWString(u"qxtestaddon.dll")));
  GLocaleInfo* locale = new GLocaleInfo(21);
  locale->setCountryCode(1);
  locale->setCountryName("Country");
  locale->setCurrencySymbol("$");
  root->insert(locale);
  static const unsigned char bytes[] = {1, 2, 3, 4, 0, 6};
  root->insert(new GBinaryData(const_cast<unsigned char*>(bytes), sizeof bytes, 0, 22));
  root->insert(new GPersistableLong(-7));
  root->insert(new GPersistableULong(7));
  root->insert(new GDisplayString(5, "Display", nullptr));
  root->insert(new GSpoolerProvider(23));
  root->insert(new MPersistentCompositeOnDisk(0));
  return root;
}

// Every collection and association of the foundation, sharing items.
RWCollectable* collections() {
  RWSlistCollectables* root = new RWSlistCollectables;
  GPersistableULong* shared = new GPersistableULong(5);
  RWSet* set = new RWSet(8);
  set->insert(shared);
  set->insert(new GPersistableULong(6));
  root->append(set);
  RWIdentitySet* identities = new RWIdentitySet(4);
  identities->insert(shared);
  root->append(identities);
  RWHashTable* table = new RWHashTable(4);
  table->insert(new GPersistableLong(-1));
  root->append(table);
  RWBTree* tree = new RWBTree;
  for (uint32_t i = 10; i < 20; ++i) tree->insert(new GPersistableULong(i));
  root->append(tree);
  RWBTreeDictionary* dictionary = new RWBTreeDictionary;
  dictionary->insertKeyAndValue(new GPersistableULong(1), new GStringAttribute("one", 1));
  dictionary->insertKeyAndValue(new GPersistableULong(2), shared);
  root->append(dictionary);
  RWSlistCollectablesStack* stack = new RWSlistCollectablesStack;
  stack->push(shared);
  root->append(stack);
  root->append(new RWCollectableAssociation(new GPersistableULong(3), shared));
  root->append(new RWCollectableIDAssociation(shared, nullptr));
  root->append(shared);
  return root;
}

// A job's commands and a small tree of stages: states shared between
// commands, an error holding the command that failed, configurations with
// nested ones and an add-on list, and stages naming each other as
// dependents.
MPersistentObject* journal() {
  MPersistentComposite* root = new MPersistentComposite(30);
  GState* document = new GState;
  document->insert(new GStringAttribute("Letter", 373));
  root->insert(new GDocumentStart(RWWString(u"doc"), RWWString(u"LPT1:"), nullptr, document));
  root->insert(new GPageStart);
  GState* bundle = new GState(AttrId::GraphicGroup);
  bundle->insert(new GValueAttribute(2, 154));
  bundle->insert(new GValueAttribute(3, 160));
  root->insert(new GNullCommand(bundle, 31));
  root->insert(new GNullCommand(bundle, 32));
  root->insert(new GErrorCommand(5, new GPageEnd, 33));
  root->insert(new GJobAbort);

  GConfiguration* config = new GConfiguration(AttrId::StageConfig);
  GAttributeComposite* addOns = new GAttributeComposite(AttrId::AddOnList);
  addOns->insert(new GStringAttribute("addon.dll", 0));
  config->insert(addOns);
  config->insert(new GValueAttribute(1, 339));
  config->insert(new GConfiguration(7));
  GState* defaults = new GState;
  defaults->insert(new GValueAttribute(600, 323));
  GPeripheral* parent = fuzz::newStage("parent", 34);
  GPeripheral* child = fuzz::newStage("child", 35);
  child->addDependent(parent);
  child->addDependent(child);
  config->insert(child);
  parent->setConfig(config);
  parent->setDefaults(defaults);
  parent->reset();
  root->insert(parent);
  return root;
}

// The records of a printer's stored tree and a container of stages with
// an add-on proxy among them.
MPersistentObject* device() {
  GConfiguration* root = new GConfiguration(353);
  static const uint32_t capabilities[] = {1, 5, 30};
  root->insert(new GCapabilities(40, 8, capabilities, 3));
  GResourceMappingList* mappings = new GResourceMappingList(41);
  mappings->add(new GResourceMapping(7, 1, 2));
  mappings->add(new GResourceMapping(8, 3, 4));
  root->insert(mappings);
  root->insert(new GSelectionString("Letter", 2, 42));
  GPMDVersionInfo* version = new GPMDVersionInfo(1, 2, 3, 43);
  version->appendString("first");
  version->appendString("second");
  root->insert(version);
  root->insert(new GPMLDescriptor(RWWString(u"tray"), 4, "text"));
  GFormToTrayDatabase* forms = new GFormToTrayDatabase(44);
  forms->assign(9, 2, 11913);
  forms->assign(1, 3, 0);
  root->insert(forms);
  GMediaPool* pool = new GMediaPool(189);
  pool->insert(new GMedia("Letter", GPoint(5100, 6600), GPoint(4900, 6400), GPoint(100, 100), 0, 2, 600, 600));
  pool->insert(new GMedia("A4", GPoint(4960, 7016), GPoint(4760, 6816), GPoint(100, 100), 90, 26, 600, 600));
  root->insert(pool);
  root->insert(new GCustomMediaSize(16385, "Card", 0, 400, 600, 47));
  GPaperHandlingDevice* paper = new GPaperHandlingDevice("Tray unit", 0, 1, 1, 0, 0, 90);
  GAttributeComposite* source = new GAttributeComposite(48);
  GTray* tray = new GTray("Tray 2", 2, 49);
  tray->setMedia(new GMedia("Letter", GPoint(5100, 6600), GPoint(4900, 6400), GPoint(100, 100), 0, 2, 600, 600));
  source->insert(tray);
  source->insert(new GBin("Top", 1, 50));
  paper->addSource(17, source);
  paper->addSource(1, new GAttributeComposite(51));
  root->insert(paper);
  GPeripheralComposite* stages = new GPeripheralComposite(76);
  stages->insert(fuzz::newStage("first", 45));
  stages->insert(new GPeripheralProxy(RWWString(u"addon.dll"), 0, 1));
  stages->insert(fuzz::newStage("second", 46));
  root->insert(stages);
  return root;
}

// What the graphics state stores: a bundle holding a transform, dither
// matrices, and device font lists with their text tables in a composite.
MPersistentObject* graphics() {
  MPersistentComposite* root = new MPersistentComposite(50);
  GGraphicBundle* bundle = new GGraphicBundle;
  bundle->insert(new GTransformAttribute(90, GPoint(100, -50), GScaleFactors(0.5f, 2.0f)));
  root->insert(bundle);
  static const unsigned char thresholds[] = {0, 128, 192, 64, 32, 160, 224, 96, 8};
  root->insert(new GDitherMatrix(3, 3, thresholds, 600, 51));
  root->insert(new GDitherMatrix(2, 2, thresholds, 300, 600, 1, 2, 0x0105, 52));
  GCharacterSetList sets;
  sets.insert(4);
  sets.insert(16);
  GDeviceFontList* list = new GDeviceFontList(416);
  list->setStamp(7);
  list->add(GDeviceFontDescription("Courier", "(s0p12h", 4, sets, 400, 0, 3, 0, 1, 12, 1, 2));
  list->add(GDeviceFontDescription("Times", "(s1p", 16, sets, 700, 1, 5, 1, 1, 0, 2, 0));
  MAssociationList* codes = new MAssociationList(0);
  codes->insertAssociation(new MPersistentAssociation(new GValueAttribute(1, 0), new GStringAttribute("one", 0), 0));
  list->setCodeTable(codes);
  MAssociationList* ids = new MAssociationList(0);
  ids->insertAssociation(new MPersistentAssociation(new GPersistableULong(9), new GStringAttribute("nine", 0), 0));
  list->setIdTable(ids);
  GDeviceFontListComposite* fonts = new GDeviceFontListComposite;
  fonts->insert(list);
  fonts->insert(new GDeviceFontList(420));
  root->insert(fonts);
  return root;
}

// A port that takes every byte and keeps none.
class NullPort : public GOutputPort {
 public:
  NullPort() : GOutputPort(RWWString("NUL:")) {}
  [[nodiscard]] uint16_t write(const void*, uint32_t length, uint32_t& written) override {
    written = length;
    return 0;
  }
  int32_t open() override { return 1; }
};

// What the printer stores: its job language after a job (the job's name,
// and a media entry it was sent since) and a stage in the generator's
// place, all sharing the printer's settings.
MPersistentObject* printer() {
  GPrinter* printer = new GPrinter(76);
  GPJL* language = new GPJL(106);
  printer->insert(language);
  printer->insert(fuzz::newStage("generator", 101));
  NullPort port;
  GDocumentStart* start = new GDocumentStart(RWWString("Quarterly"), RWWString("NUL:"), nullptr);
  start->setOutputPort(&port);
  printer->process(GCommandPtr(start));
  printer->process(GCommandPtr(new GDocumentEnd));
  GMedia letter("Letter", GPoint(5100, 6600), GPoint(4900, 6400), GPoint(100, 100), 0, 1, 600, 600);
  (void)language->onMedia(&letter);  // only keeps a copy of the media: 0
  return printer;
}

// A job held as composites: a document of pages whose graphics share one
// bundle, a path of two closed figures, every shape, and a group of
// graphics. The shapes own their points, as restored ones do.
MPersistentObject* commands() {
  static GPoint points[] = {GPoint(0, 0), GPoint(100, -20), GPoint(40, 60), GPoint(-5, 7), GPoint(0, 0)};
  const GPointArray five = GPointArray::borrowing(points, 5);
  const GPointArray three = GPointArray::borrowing(points + 1, 3);
  const GRect box(-10, -20, 110, 70);
  GGraphicBundle* bundle = new GGraphicBundle;
  bundle->insert(new GTransformAttribute(0, GPoint(10, 10), GScaleFactors(1.0f, 1.0f)));

  GPathGraphic* path = new GPathGraphic(bundle, 60);
  GPathGraphic* figure = new GPathGraphic(nullptr, 61);
  figure->insert(new GPolyLineGraphic(nullptr, five, 62));
  figure->insert(new GPolyBezierToGraphic(nullptr, three, 63));
  figure->setClosed();
  path->insert(figure);
  GPathGraphic* second = new GPathGraphic(nullptr, 64);
  second->insert(new GPolyBezierGraphic(nullptr, five, 65));
  second->insert(new GPolyLineToGraphic(nullptr, three, 66));
  path->insert(second);

  GPageComposite* page = new GPageComposite(67);
  page->insert(path);
  page->insert(new GArcGraphic(bundle, box, three, 1, 68));
  page->insert(new GChordGraphic(bundle, box, three, 2, 69));
  page->insert(new GPieGraphic(bundle, box, three, 1, 70));
  page->insert(new GEllipseGraphic(bundle, box, 2, 71));
  page->insert(new GRoundedRectangleGraphic(bundle, box, three, 72));
  page->insert(new GPolygonGraphic(bundle, three, 73));
  GGraphicComposite* group = new GGraphicComposite(bundle, 74);
  group->insert(new GRectangleGraphic(bundle, box, 75));
  group->insert(new GPolygonGraphic(nullptr, five, 76));
  page->insert(group);
  page->takeOwnership();

  GDocumentComposite* document = new GDocumentComposite(77);
  document->insert(new GPageStart(78));
  document->insert(page);
  document->insert(new GPageEnd(79));
  GCommandComposite* job = new GCommandComposite(80);
  job->insert(new GDocumentStart(RWWString(u"doc"), RWWString(u"LPT1:"), nullptr));
  job->insert(document);
  job->insert(new GDocumentEnd);
  return job;
}

// The drawing state a graphic command carries and the selector tables a
// generator reads it through: a path clip whose path the tree shares, a
// bundle holding line attributes, a raster operation, a rectangle clip, a
// colour map and a halftone; clips of the other classes; and a
// configuration whose tables map the selectors.
MPersistentObject* drawingState() {
  MPersistentComposite* root = new MPersistentComposite(60);
  GPathGraphic* outline = new GPathGraphic(nullptr, 61);
  outline->insert(new GRectangleGraphic(nullptr, GRect(0, 0, 10, 10)));
  GPathGraphic* nested = new GPathGraphic(nullptr, 62);
  nested->insert(new GRectangleGraphic(nullptr, GRect(5, -5, 20, 3)));
  nested->setClosed();
  outline->insert(nested);
  root->insert(new GClipToPath(outline, 0, 1, AttrId::Clip));
  root->insert(outline);
  GGraphicBundle* bundle = new GGraphicBundle;
  bundle->setCap(new GCap(0));
  bundle->setJoint(new GMiterJoint(10.5f));
  bundle->setFillMode(new GFillMode(1));
  bundle->setRasterOperation(new GRasterOperation(0xAAF0, 1));
  bundle->setClip(new GClipToRectangle({GRect(0, 0, 100, 50), GRect(-20, 10, 40, 300)}, 0, 0));
  bundle->insert(new GColorMap(21));
  bundle->insert(new GHalftone(40));
  root->insert(bundle);
  root->insert(new GClipToSingleRectangle(GRect(5, 5, 600, 800), 1, 1, AttrId::Clip));
  root->insert(new GClipToPage);
  root->insert(new GJoint(2, AttrId::LineJoin));
  GConfiguration* config = new GConfiguration(AttrId::StageConfig);
  MAssociationList* maps = new MAssociationList(AttrId::ColorMapTable);
  maps->insertAssociation(new MPersistentAssociation(new GValueAttribute(15, 0), new GValueAttribute(3, 0), 0));
  maps->insertAssociation(new MPersistentAssociation(new GValueAttribute(21, 0), new GValue32Attribute(0x12345, 0), 0));
  config->insert(maps);
  MAssociationList* halftones = new MAssociationList(AttrId::HalftoneTable);
  halftones->insertAssociation(new MPersistentAssociation(new GValueAttribute(40, 0), new GValueAttribute(9, 0), 0));
  config->insert(halftones);
  root->insert(config);
  return root;
}

// What strokes and fills are drawn with: a brush and a pen of a bundle
// sharing one colour paint, so the paint is stored once; a dashed pen, the
// null brush and pen, and a colour paint of a grey beside them.
MPersistentObject* paints() {
  MPersistentComposite* root = new MPersistentComposite(90);
  GColorPaint* red = new GColorPaint(new GRGBColor(255, 0, 0, 255));
  GGraphicBundle* bundle = new GGraphicBundle;
  bundle->setBrush(new GBrush(red));
  bundle->setPen(new GPen(4, red));
  root->insert(bundle);
  int16_t* dashes = new int16_t[3]{6, 2, 1};
  root->insert(new GDashedPen(std::unique_ptr<int16_t[]>(dashes), 3, 2, new GColorPaint(new GGrayColor(128, 255)), 5,
                              AttrId::Pen));
  root->insert(new GNoBrush(AttrId::Brush));
  root->insert(new GNoPen(AttrId::Pen));
  root->insert(new GColorPaint(new GGrayColor(7, 9)));
  return root;
}

// The PCL XL generator with a configuration of its own: the paper-source
// and media-size tables and the download memory.
MPersistentObject* cheetah() {
  auto* config = new GConfiguration;
  auto* sources = new MAssociationList(85);
  sources->insertAssociation(new MPersistentAssociation(new GValueAttribute(1, 0), new GValueAttribute(3, 0), 0));
  config->insert(sources);
  auto* sizes = new MAssociationList(192);
  sizes->insertAssociation(
      new MPersistentAssociation(new GValueAttribute(1, 0), new GSelectionString("LETTER", 1), 0));
  config->insert(sizes);
  config->insert(new GRangeAttribute(0, 32767, 1, 100, 202));
  return new GCheetah("PCLXL", nullptr, config, 101);
}

// ---- raster: bitmaps, hatches and raster paints -----------------------------------

// A bitmap owning a copy of the bytes.
GBitmap ownedBitmap(GBitmapDescriptor d, const std::string& bytes) {
  auto* copy = new unsigned char[bytes.size()];
  std::copy(bytes.begin(), bytes.end(), copy);
  d.owned = 1;
  d.data = copy;
  d.dataLength = static_cast<uint32_t>(bytes.size());
  return GBitmap(d);
}

GBitmapDescriptor described(GRect bounds, uint32_t bits, uint32_t alignment = 1) {
  GBitmapDescriptor d;
  d.bounds = bounds;
  d.bitsPerPixel = bits;
  d.alignment = alignment;
  return d;
}

// Bitmaps and raster paints as stored pages hold them: two handles sharing
// one body, a hatch, an indexed image with its palette, a bottom-up colour
// image, and raster paints sharing one body in a bundle's brush and a pen.
void addRasterPaints(MPersistentComposite* root) {
  GBitmap* shared = new GBitmap(ownedBitmap(described(GRect(0, 0, 8, 2), 1), std::string("\xA5\x5A", 2)));
  root->insert(shared);
  root->insert(new GBitmap(*shared));
  root->insert(new GHatchPattern(4, GRGBColor(255, 0, 0, 255), GRGBColor(0, 0, 255, 255)));
  GBitmapDescriptor indexed = described(GRect(0, 0, 3, 2), 8, 4);
  indexed.palette = new GPaletteTable;
  root->insert(new GBitmap(ownedBitmap(indexed, std::string("\x00\x01\x01\x00\x01\x00\x00\x00", 8))));
  GBitmapDescriptor colour = described(GRect(2, 3, 4, 5), 24, 4);
  colour.bottomUp = 1;
  root->insert(new GBitmap(ownedBitmap(colour, std::string("\x10\x20\x30\x40\x50\x60\x00\x00\x70\x80\x90\xA0\xB0\xC0\x00\x00", 16))));
  GRasterPaint* pattern = new GRasterPaint(*shared, 1, 0);
  pattern->setPatternId(3);
  GGraphicBundle* bundle = new GGraphicBundle;
  bundle->setBrush(new GBrush(pattern));
  bundle->setPen(new GPen(2, new GRasterPaint(*pattern)));
  root->insert(bundle);
}

// Raster and scan-line commands as a page holds them: a raster graphic and
// a pre-scaled one sharing one image under a rectangle clip, the second
// image of the first the same; a block of scan lines; the colour-matching
// filter that gives them their selectors; and a dither matrix for the
// images dithered on the host.
void addRasterCommands(MPersistentComposite* root) {
  const GBitmap image = ownedBitmap(described(GRect(0, 0, 4, 2), 8), std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
  GGraphicBundle* clipped = new GGraphicBundle;
  clipped->setClip(new GClipToSingleRectangle(GRect(51, 51, 151, 151), 0, 1, AttrId::Clip));
  clipped->insert(new GColorMap(31));
  GGraphicComposite* page = new GGraphicComposite(nullptr, 96);
  page->insert(new GRasterGraphic(image, clipped, GRect(0, 0, 4, 2), GRect(0, 0, 200, 200), image, 97));
  page->insert(new GPreScaledRasterGraphic(image, nullptr, GRect(1, 0, 4, 2), GRect(10, 10, 13, 12), GBitmap(), 98));
  static const GPoint rows[] = {GPoint(0, 10), GPoint(3, 9), GPoint(1, 12)};
  page->insert(new GStartScanLine(new GGraphicBundle, 99));
  page->insert(new GScanLineGraphic(GPointArray::borrowing(rows, 3), nullptr, 100));
  page->insert(new GEndScanLine(nullptr, 101));
  page->takeOwnership();
  root->insert(page);
  root->insert(new GChromafitFilter("Colour matching", nullptr, nullptr, 0, 1));
  static const unsigned char thresholds[] = {32, 160, 224, 96, 64, 192};
  root->insert(new GDitherMatrix(3, 2, thresholds, 300));
}

MPersistentObject* raster() {
  MPersistentComposite* root = new MPersistentComposite(95);
  addRasterPaints(root);
  addRasterCommands(root);
  return root;
}

// Raw bytes for a generator, a command without bytes and a header request
// among other commands.
MPersistentObject* passThrough() {
  MPersistentComposite* root = new MPersistentComposite(36);
  static const unsigned char bytes[] = {0x1B, 'E', 0x00, 0xFF, '@'};
  root->insert(new GPassThroughCommand(bytes, 5, ClassId::GCheetah, 37));
  root->insert(new GPassThroughCommand(nullptr, 0, ClassId::GPcl5e, 38));
  root->insert(new GDownloadHeaderCommand(19, 39));
  root->insert(new GPageEnd);
  return root;
}

struct Tree {
  const char* name;
  RWCollectable* (*make)();
};
const Tree trees[] = {
    {"configuration", [] { return static_cast<RWCollectable*>(configuration()); }},
    {"sharing", [] { return static_cast<RWCollectable*>(sharing()); }},
    {"leaves", [] { return static_cast<RWCollectable*>(leaves()); }},
    {"collections", collections},
    {"journal", [] { return static_cast<RWCollectable*>(journal()); }},
    {"device", [] { return static_cast<RWCollectable*>(device()); }},
    {"graphics", [] { return static_cast<RWCollectable*>(graphics()); }},
    {"printer", [] { return static_cast<RWCollectable*>(printer()); }},
    {"commands", [] { return static_cast<RWCollectable*>(commands()); }},
    {"drawing", [] { return static_cast<RWCollectable*>(drawingState()); }},
    {"passthrough", [] { return static_cast<RWCollectable*>(passThrough()); }},
    {"paints", [] { return static_cast<RWCollectable*>(paints()); }},
    {"cheetah", [] { return static_cast<RWCollectable*>(cheetah()); }},
    {"raster", [] { return static_cast<RWCollectable*>(raster()); }},
};

template <class Out, class... Args>
std::string streamed(const std::vector<RWCollectable*>& objects, Args... args) {
  std::ostringstream bytes;
  {
    Out out(bytes, args...);
    for (const RWCollectable* o : objects) out << o;
  }
  return bytes.str();
}

std::string filed(const std::vector<RWCollectable*>& objects) {
  {
    RWFile f("graph.dat", "wb");
    for (const RWCollectable* o : objects) f << o;
  }
  return contents("graph.dat");
}

void writeTrees() {
  std::vector<RWCollectable*> all;
  for (const Tree& t : trees) {
    RWCollectable* o = t.make();
    all.push_back(o);
    put("restore_pstream", t.name, streamed<RWpostream>({o}));
    put("restore_bstream", t.name, streamed<RWbostream>({o}));
    put("restore_estream", t.name, streamed<RWeostream>({o}, RWeostream::LittleEndian));
    put("restore_file", t.name, filed({o}));
    put("rwdump", std::string(t.name) + ".tree", filed({o}));
  }
  put("restore_estream", "sharing-big-endian", streamed<RWeostream>({all[1]}, RWeostream::BigEndian));
  // Several trees one after another, as a file of them holds them.
  put("restore_pstream", "several", streamed<RWpostream>({all[0], all[1]}));
  put("restore_bstream", "several", streamed<RWbostream>({all[0], all[1]}));
  put("restore_estream", "several", streamed<RWeostream>({all[0], all[1]}, RWeostream::LittleEndian));
  put("restore_file", "several", filed({all[0], all[1]}));
  put("rwdump", "several.tree", filed({all[0], all[1]}));
  // The binary stream form, as the printer configuration builder writes it.
  put("rwdump", "several.stream", streamed<RWbostream>({all[0], all[1]}));
  for (RWCollectable* o : all) gDiscardGraph(o);
}

// ---- bitmaps ---------------------------------------------------------------------------

// The cases of the bitmap tables: each source format, direction and layout,
// and run-length data of both widths with its escapes.
void writeBitmaps() {
  struct Seed {
    const char* name;
    GBitmapDescriptor d;
    bool palette;
    std::string data;
  };
  auto with = [](GRect bounds, uint32_t bits, uint32_t planes, uint32_t alignment, uint32_t colourOrder) {
    GBitmapDescriptor d = described(bounds, bits, alignment);
    d.planes = planes;
    d.colourOrder = colourOrder;
    return d;
  };
  GBitmapDescriptor bottomUp = with(GRect(0, 0, 1, 3), 8, 1, 1, 0);
  bottomUp.bottomUp = 1;
  GBitmapDescriptor masks = with(GRect(0, 0, 2, 1), 16, 1, 4, 0);
  masks.masksGiven = 1;
  masks.redMask = 0xF800, masks.greenMask = 0x07E0, masks.blueMask = 0x001F;
  GBitmapDescriptor segmented = with(GRect(0, 0, 1, 4), 8, 1, 1, 0);
  segmented.segmentStep = 1;
  segmented.rowsPerSegment = 2;
  GBitmapDescriptor rle8 = with(GRect(0, 0, 4, 2), 8, 1, 4, 0);
  rle8.compression = 2;
  GBitmapDescriptor rle4 = with(GRect(0, 0, 4, 2), 4, 1, 1, 0);
  rle4.compression = 1;
  const Seed seeds[] = {
      {"one-bit", with(GRect(0, 0, 16, 1), 1, 1, 1, 0), false, std::string("\xB3\x5C", 2)},
      {"one-bit-planes", with(GRect(0, 0, 3, 1), 1, 3, 1, 0), false, std::string("\xA0\xC0\x60", 3)},
      {"four-bit", with(GRect(0, 0, 6, 1), 4, 1, 1, 0), true, std::string("\x12\x34\x56", 3)},
      {"eight-bit-planes", with(GRect(0, 0, 1, 1), 8, 3, 1, 0), false, std::string("\x0A\x14\x1E", 3)},
      {"rgb", with(GRect(0, 0, 2, 1), 24, 1, 1, 1), false, std::string("\x0A\x14\x1E\xFF\xFF\xFF", 6)},
      {"bgr-two-colours", with(GRect(0, 0, 3, 2), 24, 1, 4, 0), false,
       std::string("\xFF\xFF\xFF\x00\x00\x00\xFF\xFF\xFF\x00\x00\x00\x00\x00\x00\xFF\xFF\xFF\x00\x00\x00\x00\x00\x00", 24)},
      {"engine-32", with(GRect(0, 0, 1, 1), 32, 1, 1, 0), false, std::string("\x00\x00\xFF\x00", 4)},
      {"masks-16", masks, false, std::string("\x00\xF8\x1F\x00", 4)},
      {"bottom-up", bottomUp, false, std::string("\x01\x02\x03", 3)},
      {"top-5", with(GRect(0, 5, 1, 8), 8, 1, 1, 0), true, std::string("\x07\x08\x09", 3)},
      {"short-data", with(GRect(0, 0, 2, 2), 8, 1, 1, 0), false, std::string("\x01\x02\x03", 3)},
      {"segmented", segmented, false, std::string("\x01\x02", 2)},
      {"rle8-escapes", rle8, false, std::string("\x03\x05\x00\x00\x02\x07\x00\x02\x01\x00\x00\x03\x0A\x0B\x0C\x00\x00\x01", 18)},
      {"rle8-clipped", rle8, false, std::string("\x09\x05\x00\x02\xC8\x09\x00\x08\x01\x02", 10)},
      {"rle4", rle4, false, std::string("\x04\x12\x00\x00\x00\x03\xAB\xC0\x07\x34\x00\x01", 12)},
  };
  for (const Seed& seed : seeds) put("bitmap", seed.name, fuzz::bitmapInput(seed.d, seed.palette, seed.data));
}

// ---- strings ----------------------------------------------------------------------

template <class String>
std::vector<String> sampleStrings() {
  return {String(""), String("Letter"), String(std::string(300, 'a').c_str()), String("with\0zero", 9)};
}

template <class String, class Out, class... Args>
std::string streamedStrings(char selector, Args... args) {
  std::ostringstream bytes;
  {
    Out out(bytes, args...);
    for (const String& s : sampleStrings<String>()) s.saveOn(out);
  }
  return selector + bytes.str();
}

template <class String>
std::string filedStrings(char selector) {
  {
    RWFile f("strings.dat", "wb");
    for (const String& s : sampleStrings<String>()) s.saveOn(f);
  }
  return selector + contents("strings.dat");
}

template <class String>
void writeStrings(const char* target) {
  put(target, "portable", streamedStrings<String, RWpostream>(0));
  put(target, "binary", streamedStrings<String, RWbostream>(1));
  put(target, "endian", streamedStrings<String, RWeostream>(2, RWeostream::LittleEndian));
  put(target, "file", filedStrings<String>(3));
}

void writeIostreamText() {
  // The iostream readers take 16-bit units, low byte first.
  const std::u16string text = u"token  first line\nsecond line\nfield;\"quoted\" word\nthe rest";
  std::string bytes(1, 4);
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  put("wstring", "iostream", bytes);
}

// ---- files --------------------------------------------------------------------------

void writeHeaps() {
  { RWFileManager fresh("fresh.dat"); }
  put("filemgr", "fresh", contents("fresh.dat"));
  {
    RWFileManager heap("holes.dat");
    RWoffset blocks[80];
    for (int i = 0; i < 80; ++i) blocks[i] = heap.allocate(static_cast<RWspace>(8 + 4 * (i % 7)));
    // Forty holes: more than one free-list block holds.
    for (int i = 0; i < 80; i += 2) heap.deallocate(blocks[i]);
  }
  put("filemgr", "holes", contents("holes.dat"));
  {
    RWFileManager heap("tail.dat");
    RWoffset a = heap.allocate(100);
    heap.allocate(20);
    RWoffset c = heap.allocate(300);
    heap.deallocate(a);
    heap.deallocate(c);  // the last block: the file's end moves back
  }
  put("filemgr", "tail", contents("tail.dat"));
}

void insertKeys(RWBTreeOnDisk& tree, int n) {
  for (int i = 0; i < n; ++i) {
    char key[64] = {};
    std::snprintf(key, sizeof key, "k%04d", (i * 37) % n);
    tree.insertKeyAndValue(key, i);
  }
}

void writeDiskTree(const char* name, unsigned keyLength, int ignoreNull, unsigned order, unsigned minFill, int keys) {
  {
    RWFileManager file(name);
    RWBTreeOnDisk tree(file, 10, RWBTreeOnDisk::autoCreate, keyLength, ignoreNull, -1, RWBTreeOnDisk::currentStyle,
                       order, minFill);
    insertKeys(tree, keys);
  }
  put("disktree", name, contents(name));
}

// ---- stores -------------------------------------------------------------------------

void writeRecords(const char* name, MPersistentCompositeOnDisk& store) {
  {
    RWFile f("records.dat", "wb");
    store.store()->records().recursiveSaveOn(f);
  }
  put("recindex", name, contents("records.dat"));
}

void writeStores() {
  {
    MPersistentCompositeOnDisk inner(RWWString(u"inner.dat"), 0, 2);
    inner.storeChild(GCountedRef(new GValueAttribute(1, 10)));
    MPersistentCompositeOnDisk store(RWWString(u"closed.dat"), 0, 1);
    store.storeChild(GCountedRef(new GValueAttribute(7, 20)));
    MPersistentComposite* page = new MPersistentComposite(30);
    page->insert(new GValueAttribute(8, 31));
    page->insert(new GStringAttribute("x", 32));
    store.storeChild(GCountedRef(page));
    store.storeChild(GCountedRef(inner.copy()));
    store.storeChild(GCountedRef(configuration()));
    writeRecords("closed", store);
  }
  put("pcompdsk", "closed", contents("closed.dat"));
  put("rwdump", "closed.store", contents("closed.dat"));
  {
    MPersistentCompositeOnDisk store(RWWString(u"open.dat"), 0, 1);
    store.storeChild(GCountedRef(new GValueAttribute(3, 40)));
    store.storeChild(GCountedRef(sharing()));
    // Left open: the objects are there without their index.
    put("pcompdsk", "open", contents("open.dat"));
    put("rwdump", "open.store", contents("open.dat"));
  }
  {
    MPersistentCompositeOnDisk store(RWWString(u"many.dat"), 0, 1);
    for (uint32_t i = 0; i < 40; ++i) store.storeChild(GCountedRef(new GValueAttribute(static_cast<int16_t>(i), 100 + i)));
    writeRecords("many", store);
  }
  put("pcompdsk", "many", contents("many.dat"));
  put("disktree", "store", contents("many.dat"));
  put("filemgr", "store", contents("many.dat"));
  { MPersistentCompositeOnDisk store(RWWString(u"empty.dat"), 0, 1); }
  put("pcompdsk", "empty", contents("empty.dat"));
}

void writeSettings() {
  {
    GSettingsStoreOnDisk store(RWWString(u"settings.dat"));
    store.putULong(RWWString(u"Copies"), 2);
    store.putString(RWWString(u"PaperSize"), RWWString(u"A4"));
    store.putString(RWWString(u"Watermark"), RWWString(u"Draft"));
    const unsigned char blob[] = {9, 8, 7, 0, 5};
    store.putBinary(RWWString(u"Blob"), blob, sizeof blob);
    MPersistentObject* layout = sharing();
    store.putObject(RWWString(u"Layout"), layout);
    delete layout;
    MPersistentObject* config = configuration();
    store.putObject(RWWString(u"Configuration"), config);
    store.putObject(353, config);
    delete config;
    const GPersistableULong seven(7);
    store.putObject(7, &seven);
    store.putULong(RWWString(u"A name of more than twenty-four characters"), 24);
  }
  put("setstore", "settings", contents("settings.dat"));
  put("disktree", "settings", contents("settings.dat"));
  { GSettingsStoreOnDisk empty(RWWString(u"empty-settings.dat")); }
  put("setstore", "empty", contents("empty-settings.dat"));
}

// ---- jobs ------------------------------------------------------------------------------

// A job for the generator target, in its operations (generator.cpp): page
// start 0, page end 8, bundle member 16 + its row, drawing 96 and its row.
class JobProgram {
 public:
  // Bundle members.
  enum Member { Pen, DashedPen, NoPen, Brush, NoBrush, ClipToPage, ClipToRectangle, ClipToRectangles, ClipToPath,
                Cap, Joint, MiterJoint, FillMode, RasterOperation, Transform, FreshBundle };
  // Drawings, and the figures of a path.
  enum Drawing { Arc, Chord, Pie, Ellipse, Rectangle, RoundedRectangle, PolyLine, PolyLineTo, PolyBezier,
                 PolyBezierTo, Polygon, Path, Group };
  enum Figure { FigureLine, FigureLineTo, FigureBezier, FigureBezierTo, FigureRectangle, FigureEllipse, FigurePath };
  // Rows of the table of hostile values and of point counts.
  enum Hostile { Zero, One, MinusOne, Two, Hundred, MinusHundred, FiveThousand, Max, Min, MaxLess1, MinMore1 };
  enum Count { None, Count1, Count2, Count3, Count4, Count5, Count6, Count7, Count9, Count12, Count100, Count1000,
               Count32767, Count65535, Count65536, Count70001 };

  JobProgram& pageStart() { return byte(0); }
  JobProgram& pageEnd() { return byte(8); }
  JobProgram& member(Member m) { return byte(16 + m); }
  JobProgram& draw(Drawing d) { return byte(96).byte(d); }
  JobProgram& byte(int b) {
    bytes_ += static_cast<char>(b);
    return *this;
  }
  JobProgram& value(int16_t v) {
    return byte(0xFF).byte(static_cast<uint16_t>(v) & 0xFF).byte(static_cast<uint16_t>(v) >> 8);
  }
  JobProgram& hostile(Hostile h) { return byte(h); }
  JobProgram& point(int16_t x, int16_t y) { return value(x).value(y); }
  JobProgram& rect(int16_t l, int16_t t, int16_t r, int16_t b) { return value(l).value(t).value(r).value(b); }
  JobProgram& gray(uint8_t level) { return byte(1).byte(level).byte(255).byte(0).byte(0); }
  JobProgram& bundle() { return byte(1); }
  JobProgram& count(Count c) { return byte(c); }
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

void writeJobs() {
  using J = JobProgram;
  // Two pages: a rectangle and a line with a pen and a brush; a closed path
  // of a line and curves under a rectangle clip.
  J two;
  two.pageStart().member(J::Pen).value(4).gray(0).member(J::Brush).gray(128);
  two.draw(J::Rectangle).bundle().rect(600, 600, 1200, 900);
  two.draw(J::PolyLine).bundle().count(J::Count4).point(100, 1000).point(300, 1000).point(301, 1001).point(302, 1002);
  two.pageEnd().pageStart();
  two.member(J::ClipToRectangle).rect(500, 500, 2500, 2500).byte(0).byte(1);
  two.draw(J::Path).bundle().byte(2);
  two.byte(J::FigureLine).count(J::Count3).point(1000, 1000).point(2000, 1000).point(2000, 2000);
  two.byte(J::FigureBezierTo).count(J::Count3).point(1500, 2500).point(1200, 2200).point(1000, 1000);
  two.byte(1).pageEnd();
  put("generator", "two-pages", two.bytes());

  // Every bundle member, then every drawing, on one page.
  J members;
  members.member(J::Pen).value(1).gray(0);
  members.member(J::DashedPen).byte(3).value(6).value(2).value(1).value(3).value(0).gray(50);
  members.member(J::Brush).gray(200);
  members.member(J::ClipToRectangles).byte(2).rect(0, 0, 100, 100).rect(50, 50, 300, 300).byte(1).byte(0);
  members.member(J::Cap).byte(2).member(J::MiterJoint).value(40).member(J::FillMode).byte(1);
  members.member(J::RasterOperation).byte(0xCC).byte(0).byte(0);
  members.member(J::Transform).value(90).point(100, -50).value(32).value(128);
  const J::Drawing every[] = {J::Arc, J::Chord, J::Pie, J::Ellipse, J::Rectangle, J::RoundedRectangle,
                              J::PolyLine, J::PolyLineTo, J::PolyBezier, J::PolyBezierTo, J::Polygon};
  for (J::Drawing d : every) {
    members.draw(d).bundle();
    if (d != J::PolyLine && d != J::PolyLineTo && d != J::PolyBezier && d != J::PolyBezierTo && d != J::Polygon)
      members.rect(100, 100, 900, 700);
    if (d == J::Ellipse || d == J::Rectangle) {
      if (d == J::Ellipse) members.byte(2);
      continue;
    }
    members.count(J::Count4).point(100, 400).point(900, 400).point(500, 100).point(200, 600);
    if (d == J::Arc || d == J::Chord || d == J::Pie) members.byte(1);
  }
  members.member(J::ClipToPath).byte(1).byte(J::FigureRectangle).rect(0, 0, 400, 400).byte(1).byte(0).byte(0);
  members.member(J::NoPen).member(J::NoBrush).member(J::ClipToPage).member(J::FreshBundle);
  members.draw(J::Rectangle).bundle().rect(10, 10, 20, 20);
  put("generator", "every-class", members.bytes());

  // Values at the limits: shapes at the corners of the 16-bit plane, a box
  // of negative size, a line longer than one count holds, nested groups.
  J hostile;
  hostile.pageStart().member(J::Pen).hostile(J::Max).gray(0);
  hostile.draw(J::Rectangle).bundle().hostile(J::Min).hostile(J::Min).hostile(J::Max).hostile(J::Max);
  hostile.draw(J::Ellipse).bundle().hostile(J::Max).hostile(J::Max).hostile(J::Min).hostile(J::Min).byte(3);
  hostile.draw(J::Arc).bundle().hostile(J::Zero).hostile(J::Zero).hostile(J::Zero).hostile(J::Zero);
  hostile.count(J::Count2).hostile(J::Max).hostile(J::Min).hostile(J::Min).hostile(J::Max).byte(2);
  // A long list takes its first sixteen points from the program.
  hostile.draw(J::PolyLine).bundle().count(J::Count70001);
  for (int16_t i = 0; i < 16; ++i) hostile.point(static_cast<int16_t>(100 * i), static_cast<int16_t>(50 * i));
  hostile.draw(J::Polygon).bundle().count(J::None);
  hostile.draw(J::Group).bundle().byte(2).byte(J::Group).bundle().byte(1).byte(J::Path).bundle().byte(1);
  hostile.byte(J::FigurePath).byte(1).byte(J::FigureLineTo).count(J::Count1).hostile(J::MinMore1).hostile(J::MaxLess1);
  hostile.byte(0).byte(1).byte(J::PolyBezier).bundle().count(J::Count2).point(1, 1).point(2, 2);
  hostile.pageEnd().pageEnd().pageStart();
  put("generator", "hostile", hostile.bytes());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: mkseeds FOLDER\n";
    return 1;
  }
  seeds = fs::absolute(argv[1]);
  for (const char* target : {"restore_pstream", "restore_bstream", "restore_estream", "restore_file", "cstring",
                             "wstring", "filemgr", "disktree", "pcompdsk", "recindex", "setstore", "rwdump", "bitmap",
                             "generator"}) {
    fs::remove_all(seeds / target);
    fs::create_directories(seeds / target);
  }
  char pattern[] = "/tmp/mkseeds.XXXXXX";
  if (!mkdtemp(pattern) || chdir(pattern) != 0) {
    std::cerr << "mkseeds: no scratch folder\n";
    return 1;
  }
  writeTrees();
  writeStrings<RWCString>("cstring");
  writeStrings<RWWString>("wstring");
  writeIostreamText();
  writeHeaps();
  writeDiskTree("small-keys", 16, 0, 10, 10, 30);
  writeDiskTree("deep", 16, 0, 2, 1, 120);
  writeDiskTree("raw-keys", 48, 1, 5, 5, 40);
  writeDiskTree("empty", 16, 0, 10, 10, 0);
  writeStores();
  writeSettings();
  writeBitmaps();
  writeJobs();
  fs::current_path("/");
  fs::remove_all(pattern);
  return 0;
}
