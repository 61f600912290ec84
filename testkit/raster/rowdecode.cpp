// Row decoders for tests (see rowdecode.h).

#include "testkit/raster/rowdecode.h"

#include <algorithm>

namespace rasterdecode {
namespace {

void fail(Result* result, const std::string& what, size_t at) {
  if (result && result->ok) {
    result->ok = false;
    result->error = what + " at byte " + std::to_string(at);
  }
}

uint32_t get16(const Bytes& f, size_t at) { return f[at] | f[at + 1] << 8; }
uint32_t get32(const Bytes& f, size_t at) {
  return f[at] | f[at + 1] << 8 | f[at + 2] << 16 | static_cast<uint32_t>(f[at + 3]) << 24;
}
void put16(Bytes& f, uint32_t v) {
  f.push_back(v & 0xFF);
  f.push_back((v >> 8) & 0xFF);
}
void put32(Bytes& f, uint32_t v) {
  put16(f, v & 0xFFFF);
  put16(f, v >> 16);
}

}  // namespace

Bytes unpackBits(const uint8_t* data, size_t n, Result* result) {
  Bytes out;
  size_t i = 0;
  while (i < n) {
    const uint8_t count = data[i++];
    if (count < 128) {
      if (i + count + 1 > n) {
        fail(result, "literal run cut short", i - 1);
        break;
      }
      out.insert(out.end(), data + i, data + i + count + 1);
      i += count + 1;
    } else if (count > 128) {
      if (i >= n) {
        fail(result, "repeat run without its byte", i - 1);
        break;
      }
      out.insert(out.end(), 257 - count, data[i++]);
    }
  }
  return out;
}

void applyDeltaRow(Bytes& seed, const uint8_t* data, size_t n, Result* result) {
  size_t i = 0;
  size_t position = 0;
  while (i < n) {
    const uint8_t command = data[i++];
    const size_t count = (command >> 5) + 1;
    size_t offset = command & 0x1F;
    if (offset == 31) {
      for (;;) {
        if (i >= n) {
          fail(result, "offset cut short", i);
          return;
        }
        const uint8_t more = data[i++];
        offset += more;
        if (more < 255) break;
      }
    }
    if (i + count > n) {
      fail(result, "replacement bytes cut short", i);
      return;
    }
    position += offset;
    for (size_t k = 0; k < count; ++k, ++position)
      if (position < seed.size()) seed[position] = data[i + k];
    i += count;
  }
}

std::vector<Bytes> decodeAdaptive(Bytes& seed, const uint8_t* data, size_t n, Result* result) {
  std::vector<Bytes> rows;
  const size_t width = seed.size();
  size_t i = 0;
  while (i < n) {
    if (i + 3 > n) {
      fail(result, "block header cut short", i);
      break;
    }
    const uint8_t mode = data[i];
    const size_t value = static_cast<size_t>(data[i + 1]) << 8 | data[i + 2];
    i += 3;
    if (mode == 4) {
      seed.assign(width, 0);
      for (size_t k = 0; k < value; ++k) rows.push_back(seed);
      continue;
    }
    if (mode == 5) {
      for (size_t k = 0; k < value; ++k) rows.push_back(seed);
      continue;
    }
    if (mode > 3) {
      fail(result, "unknown mode " + std::to_string(mode), i - 3);
      break;
    }
    if (i + value > n) {
      fail(result, "block data cut short", i);
      break;
    }
    const uint8_t* block = data + i;
    i += value;
    Bytes row;
    switch (mode) {
      case 0:
        row.assign(block, block + value);
        break;
      case 1:
        if (value % 2) fail(result, "run-length block of odd length", i - value);
        for (size_t k = 0; k + 1 < value; k += 2) row.insert(row.end(), block[k] + 1u, block[k + 1]);
        break;
      case 2:
        row = unpackBits(block, value, result);
        break;
      default:
        row = seed;
        applyDeltaRow(row, block, value, result);
        break;
    }
    row.resize(width, 0);
    seed = row;
    rows.push_back(row);
  }
  return rows;
}

Bytes tiffOneStrip(uint32_t width, uint32_t height, uint16_t bits, uint16_t compression, const Bytes& strip) {
  Bytes f = {'I', 'I', 42, 0};
  put32(f, 8);
  struct Entry {
    uint16_t tag, type;
    uint32_t value;
  };
  const uint32_t entries = 9;
  const uint32_t dataAt = 8 + 2 + entries * 12 + 4;
  const Entry e[entries] = {
      {256, 4, width},        // ImageWidth
      {257, 4, height},       // ImageLength
      {258, 3, bits},         // BitsPerSample
      {259, 3, compression},  // Compression
      {262, 3, 1},            // PhotometricInterpretation: min is black
      {273, 4, dataAt},       // StripOffsets
      {277, 3, 1},            // SamplesPerPixel
      {278, 4, height},       // RowsPerStrip
      {279, 4, static_cast<uint32_t>(strip.size())},  // StripByteCounts
  };
  put16(f, entries);
  for (const Entry& x : e) {
    put16(f, x.tag);
    put16(f, x.type);
    put32(f, 1);
    if (x.type == 3) {
      put16(f, x.value);
      put16(f, 0);
    } else {
      put32(f, x.value);
    }
  }
  put32(f, 0);
  f.insert(f.end(), strip.begin(), strip.end());
  return f;
}

Bytes tiffUncompressedData(const Bytes& f, Result* result) {
  Bytes out;
  if (f.size() < 8 || f[0] != 'I' || f[1] != 'I' || get16(f, 2) != 42) {
    fail(result, "not a little-endian TIFF", 0);
    return out;
  }
  const size_t ifd = get32(f, 4);
  if (ifd + 2 > f.size()) {
    fail(result, "directory outside the file", 4);
    return out;
  }
  const size_t count = get16(f, ifd);
  if (ifd + 2 + count * 12 > f.size()) {
    fail(result, "directory cut short", ifd);
    return out;
  }
  // An array of SHORT or LONG values of a tag.
  auto values = [&](size_t entry) {
    std::vector<uint32_t> v;
    const uint32_t type = get16(f, entry + 2);
    const uint32_t n = get32(f, entry + 4);
    const size_t size = type == 3 ? 2 : 4;
    size_t at = n * size <= 4 ? entry + 8 : get32(f, entry + 8);
    if (at + n * size > f.size()) return v;
    for (uint32_t k = 0; k < n; ++k, at += size) v.push_back(size == 2 ? get16(f, at) : get32(f, at));
    return v;
  };
  std::vector<uint32_t> offsets, counts;
  uint32_t compression = 1;
  for (size_t k = 0; k < count; ++k) {
    const size_t entry = ifd + 2 + k * 12;
    const uint32_t tag = get16(f, entry);
    if (tag == 259) compression = values(entry).empty() ? 0 : values(entry)[0];
    if (tag == 273) offsets = values(entry);
    if (tag == 279) counts = values(entry);
  }
  if (compression != 1) {
    fail(result, "compressed image (" + std::to_string(compression) + ")", ifd);
    return out;
  }
  if (offsets.size() != counts.size() || offsets.empty()) {
    fail(result, "strips not described", ifd);
    return out;
  }
  for (size_t s = 0; s < offsets.size(); ++s) {
    if (size_t{offsets[s]} + counts[s] > f.size()) {
      fail(result, "strip outside the file", offsets[s]);
      return out;
    }
    out.insert(out.end(), f.begin() + offsets[s], f.begin() + offsets[s] + counts[s]);
  }
  return out;
}

}  // namespace rasterdecode
