// The set-up and helpers every fuzz target links (see common.h).

#include "common.h"
#include "flags.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "core/cntdptr.h"
#include "core/perclass.h"
#include "core/perobj.h"
#include "core/state.h"
#include "core/valattr.h"
#include "journal/cmdcomp.h"
#include "graphics/bitmap.h"
#include "graphics/brush.h"
#include "graphics/clip.h"
#include "graphics/colrend.h"
#include "graphics/dither.h"
#include "graphics/paint.h"
#include "graphics/pen.h"
#include "graphics/rowenc.h"
#include "graphics/rowstage.h"
#include "journal/ctlcmds.h"
#include "journal/path.h"
#include "journal/periph.h"
#include "journal/raster.h"
#include "journal/shapes.h"
#include "testkit/core/ids.h"
#include "rw/rwerr.h"

// The stage stored seeds hold: the stage's level and nothing more, under
// a test class ID.
class FuzzStage : public GPeripheral {
  G_PERSISTENT_CLASS(FuzzStage)

 public:
  FuzzStage() = default;
  FuzzStage(const RWCString& name, uint32_t id) : GPeripheral(name, nullptr, nullptr, id) {}
  FuzzStage(const FuzzStage&) = default;
  FuzzStage& operator=(const FuzzStage&) = default;
  ~FuzzStage() override = default;
  static RWClassID classIsA() { return TestKitClassId::FuzzStage; }
  uint32_t processingFlags() override { return 0; }
};

G_DEFINE_PERSISTENT(FuzzStage, GPeripheral)

RWspace FuzzStage::levelStoreSize() const { return 0; }
template <class Sink>
void FuzzStage::saveLevel(Sink&) const {}
template <class Source>
void FuzzStage::restoreLevel(Source&) {}

namespace fuzz {
namespace {

void dropReport(const RWErrorBase&) {}

std::string& scratchFolder() {
  static std::string folder;
  return folder;
}

void removeScratchFolder() {
  std::error_code ec;
  if (!scratchFolder().empty()) std::filesystem::remove_all(scratchFolder(), ec);
}

// The process's scratch folder, made on first use; empty when it cannot be.
const std::string& scratch() {
  std::string& folder = scratchFolder();
  if (folder.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/qxfuzz.XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data())) {
      folder = buffer.data();
      std::atexit(removeScratchFolder);
    }
  }
  return folder;
}

}  // namespace

InputFile::InputFile(const uint8_t* data, size_t size, const char* name)
    : name_(name), outerFolder_(-1), ok_(false) {
  const std::string& folder = scratch();
  if (folder.empty()) return;
  outerFolder_ = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (outerFolder_ < 0 || chdir(folder.c_str()) != 0) return;
  FILE* f = std::fopen(name, "wb");
  if (!f) return;
  ok_ = std::fwrite(data, 1, size, f) == size;
  ok_ = std::fclose(f) == 0 && ok_;
}

InputFile::~InputFile() {
  std::error_code ec;
  const std::string& folder = scratch();
  if (!folder.empty()) {
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
      std::filesystem::remove_all(entry.path(), ec);
  }
  if (outerFolder_ >= 0) {
    if (fchdir(outerFolder_) != 0) std::abort();  // every later input would run in the wrong place
    close(outerFolder_);
  }
}

GPeripheral* newStage(const RWCString& name, uint32_t id) { return new FuzzStage(name, id); }

namespace {

// A command carrying a graphic state of one member, as the device sends.
GCommandPtr stateChange() {
  GState* bundle = new GState(AttrId::GraphicGroup);
  bundle->insert(new GValueAttribute(1, 154));
  return GCommandPtr(new GNullCommand(bundle, 0));
}

// A restored command or stage at work. The root stays uncounted, as its
// restore made it: the reference taken here is dropped, never released.
void process(MPersistentObject* root) {
  if (auto* stage = dynamic_cast<GPeripheral*>(root)) {
    gAddReference(stage);
    stage->changed(stage);
    (void)stage->process(GCommandPtr(new GPageStart));
    (void)stage->process(stateChange());
    gDropReference(stage);
  } else if (auto* command = dynamic_cast<GCommand*>(root)) {
    gAddReference(command);
    FuzzStage stage("fuzz", 1);
    (void)stage.process(GCommandPtr(command));
    gDropReference(command);
  }
}

// The boxes of restored paths and shapes, their points taken over, and the
// same for every command a composite holds, paths' pieces included.
void measure(MPersistentObject* object) {
  if (auto* path = dynamic_cast<GPathGraphic*>(object)) (void)path->boundingBox();
  if (auto* shape = dynamic_cast<GPointListGraphic*>(object)) {
    (void)shape->boundingBox();
    (void)shape->takePointsOwnership();
    (void)shape->segmentCount();
  }
  if (auto* composite = dynamic_cast<GCommandChildren*>(object)) {
    const GCountedPtrVector& children = composite->members().children();
    for (RWsize i = 0; i < children.entries(); ++i) measure(children.pointee(i));
  }
}

// Graphics-state members of a restored graph read as the generators read
// them: the first clip's bounds, and the first colour map's and halftone's
// device values through the graph's own selector tables.
void readDrawingState(MPersistentObject* root) {
  if (auto* clip = dynamic_cast<GClipAttribute*>(root->findByKind(ClassId::GClipAttribute))) {
    GRect bounds;
    (void)clip->bounds(bounds);
  }
  auto* map = dynamic_cast<GColorRenderingAttribute*>(root->findByKind(ClassId::GColorMap));
  auto* halftone = dynamic_cast<GColorRenderingAttribute*>(root->findByKind(ClassId::GHalftone));
  if (!map && !halftone) return;
  // Held through a counted pointer as a stage holds its configuration; the
  // root stays uncounted, as its restore made it.
  gAddReference(root);
  {
    const GCountedPtr config(root);
    if (map) (void)map->deviceValue(config);
    if (halftone) (void)halftone->deviceValue(config);
  }
  gDropReference(root);
}

// The rows of a restored bitmap as the raster stages read them: a few at
// every kind, over the whole width and across both edges, each into a
// buffer of exactly the length announced.
void readRows(const GBitmap& bitmap) {
  const GBitmapImp* body = bitmap.body();
  if (!body) return;
  const GRect b = body->bounds();
  const int32_t right = std::min<int32_t>(b.right(), b.left() + 1024);
  const int32_t spans[][2] = {{b.left(), right}, {b.left() - 1, right + 1}};
  const int32_t bottom = std::min<int32_t>(b.bottom(), b.top() + 16);
  for (int32_t row = b.top() - 1; row <= bottom; ++row)
    for (uint32_t kind = 0; kind <= 4; ++kind)
      for (const auto& span : spans) {
        std::vector<unsigned char> buffer(body->rowLength(span[0], span[1], kind));
        (void)bitmap.getRow(buffer.data(), span[0], span[1], row, kind);
      }
}

void readPaint(GPaint* paint) {
  if (auto* raster = dynamic_cast<GRasterPaint*>(paint); raster && raster->body()) readRows(raster->body()->bitmap());
}

// Every bitmap and raster paint of the graph, whatever holds it.
void readBitmaps(MPersistentObject* object, int depth = 0) {
  if (!object || depth > 64) return;
  if (auto* bitmap = dynamic_cast<GBitmap*>(object)) readRows(*bitmap);
  if (auto* paint = dynamic_cast<GPaint*>(object)) readPaint(paint);
  if (auto* body = dynamic_cast<GRasterPaintImp*>(object)) readRows(body->bitmap());
  if (auto* brush = dynamic_cast<GBrush*>(object)) readPaint(brush->paint());
  if (auto* pen = dynamic_cast<GPen*>(object)) readPaint(pen->paint());
  std::unique_ptr<GChildIterator> children(object->createIterator());
  if (!children) return;
  while (children->advance()) readBitmaps(children->current(), depth + 1);
}

// The rectangles every restored raster command sends under the clip its
// bundle holds, under none and under a clip of its own destination's
// middle, as a generator asks for them.
void clipRasters(MPersistentObject* object, int depth = 0) {
  if (!object || depth > 64) return;
  if (auto* raster = dynamic_cast<GRasterGraphic*>(object)) {
    GRect source;
    GRect destination;
    const MPersistentObject* bundle = raster->attributePointer();
    const auto* clip = dynamic_cast<const GClipAttribute*>(bundle ? bundle->findByKind(ClassId::GClipAttribute) : nullptr);
    (void)raster->clipRects(clip, source, destination);
    (void)raster->clipRects(nullptr, source, destination);
    const GRect d = raster->destinationRect();
    const GClipToSingleRectangle middle(GRect(static_cast<int16_t>(d.left() / 2 + d.right() / 2), d.top(), d.right(),
                                              static_cast<int16_t>(d.top() / 2 + d.bottom() / 2)),
                                        0, 1);
    (void)raster->clipRects(&middle, source, destination);
  }
  std::unique_ptr<GChildIterator> children(object->createIterator());
  if (!children) return;
  while (children->advance()) clipRasters(children->current(), depth + 1);
}

// The first dither matrix of the graph, or null.
const GDitherMatrix* findMatrix(MPersistentObject* object, int depth = 0) {
  if (!object || depth > 64) return nullptr;
  if (auto* matrix = dynamic_cast<GDitherMatrix*>(object)) return matrix;
  std::unique_ptr<GChildIterator> children(object->createIterator());
  if (!children) return nullptr;
  while (children->advance())
    if (const GDitherMatrix* found = findMatrix(children->current(), depth + 1)) return found;
  return nullptr;
}

// Every restored raster command's image pulled through a pipeline of each
// mode with each encoder, under the graph's clip and matrix when it has
// them, a few rows each as a generator pulls them.
void pipeRasters(MPersistentObject* object, const GClipAttribute* clip, const GDitherMatrix* matrix, int depth = 0) {
  if (!object || depth > 64) return;
  if (auto* raster = dynamic_cast<GRasterGraphic*>(object)) {
    for (uint32_t mode = 0; mode <= 2; ++mode)
      for (int encoder = 0; encoder < 4; ++encoder) {
        GRect destination = raster->destinationRect();
        GRasterJob job;
        job.source = raster->sourceRect();
        job.destination = &destination;
        job.clip = clip;
        job.bitmap = raster->bitmap();
        job.kind = mode == 0 ? 3 : 0;
        job.mode = mode;
        job.dither = matrix;
        job.forceResample = encoder % 2;
        switch (encoder) {
          case 0: job.lastStage.reset(new GUnencodedRowStage(4)); break;
          case 1: job.lastStage.reset(new GPackBitsRowEncoder(2, 1)); break;
          case 2: job.lastStage.reset(new GDeltaRowEncoder(1, 1)); break;
          default: job.lastStage.reset(new GAdaptiveRowEncoder(8)); break;
        }
        GRasterPipeline pipeline(std::move(job));
        std::vector<unsigned char> buffer(std::max<uint32_t>(pipeline.maxRowBytes(), 1));
        for (int row = 0; row < 6; ++row) {
          uint32_t index = 0, length = 0;
          uint8_t repeat = 0, covered = 0;
          if (pipeline.processRow(buffer.data(), index, length, repeat, covered) != 0) break;  // an unframeable row ends the image
          if (length > buffer.size()) std::abort();  // past the room the pipeline asked for
          if (row == 2) pipeline.skipRows(3);
        }
      }
  }
  std::unique_ptr<GChildIterator> children(object->createIterator());
  if (!children) return;
  while (children->advance()) pipeRasters(children->current(), clip, matrix, depth + 1);
}

}  // namespace

void exerciseGraph(RWCollectable* root) {
  if (!root) return;
  (void)root->hash();
  (void)root->isEqual(root);
  (void)root->compareTo(root);
  (void)root->recursiveStoreSize();
  if (auto* p = dynamic_cast<MPersistentObject*>(root)) {
    (void)p->totalEntries();
    MPersistentObject* copy = p->deepCopy();
    if (copy) (void)copy->isEqual(p);
    delete copy;
    measure(p);
    readBitmaps(p);
    clipRasters(p);
    pipeRasters(p, dynamic_cast<const GClipAttribute*>(p->findByKind(ClassId::GClipAttribute)), findMatrix(p));
    readDrawingState(p);
    process(p);
  }
}

}  // namespace fuzz

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  rwSetErrorHandler(fuzz::dropReport);
  fuzz::placeArtifacts(argc, argv);
  return 0;
}
