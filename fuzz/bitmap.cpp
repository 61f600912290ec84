// Fuzz target: a bitmap made from a description and bytes (run-length data
// included, see bitmapin.h), every row read at kinds 0 to 4 inside and
// across its edges into buffers of exactly the announced length, the image
// reduced to a palette and read again, and the body stored and restored.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <vector>

#include "bitmapin.h"
#include "common.h"
#include "graphics/bitmap.h"
#include "graphics/color.h"
#include "rw/bstream.h"

namespace {

void readEveryRow(const GBitmap& bitmap) {
  const GBitmapImp* body = bitmap.body();
  if (!body) return;
  const GRect b = body->bounds();
  const int32_t left = b.left(), right = b.right();
  // Capped as the input is, whatever a reduced copy says.
  const int32_t bottom = std::min<int32_t>(b.bottom(), b.top() + 256);
  const int32_t spans[][2] = {{left, right}, {left - 1, right}, {left + 1, right + 1}, {left + 3, right - 2},
                              {right, left}, {left, std::min(right, left + 1)}};
  for (int32_t row = b.top() - 2; row < bottom + 2; ++row) {
    for (uint32_t kind = 0; kind <= 4; ++kind) {
      for (const auto& span : spans) {
        // Exactly the bytes announced, so that a write past them is caught.
        std::vector<unsigned char> buffer(body->rowLength(span[0], span[1], kind));
        (void)bitmap.getRow(buffer.data(), span[0], span[1], row, kind);
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > fuzz::maxInput) return 0;
  fuzz::BitmapInput in;
  if (!fuzz::readBitmapInput(data, size, in)) return 0;
  GBitmapDescriptor d = in.descriptor;
  // Borrowed, as the engine's surfaces are.
  d.owned = 0;
  d.data = in.data.empty() ? nullptr : reinterpret_cast<const unsigned char*>(in.data.data());
  d.dataLength = static_cast<uint32_t>(in.data.size());
  d.palette = in.palette ? new GPaletteTable : nullptr;
  GBitmap bitmap(d);
  readEveryRow(bitmap);
  (void)bitmap.memorySize();
  (void)bitmap.rowBytesFor(-5, 7);
  (void)bitmap.makeDataOwned();

  GBitmap reduced;
  bitmap.reduceToPalette(reduced);
  readEveryRow(reduced);

  // The body through its stored form.
  std::stringstream buffer;
  {
    RWbostream out(buffer);
    out << static_cast<const RWCollectable*>(&bitmap);
  }
  RWbistream back(buffer);
  GBitmap* restored = nullptr;
  back >> restored;
  if (restored) {
    (void)restored->matches(&bitmap);
    readEveryRow(*restored);
  }
  delete restored;

  const int32_t style = size > fuzz::bitmapHeader ? static_cast<int8_t>(data[fuzz::bitmapHeader]) : 0;
  const GHatchPattern hatch(style, GRGBColor(0, 0, 0, 255), GRGBColor(255, 255, 255, 255));
  readEveryRow(hatch);
  return 0;
}
