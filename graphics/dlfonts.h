#ifndef GRAPHICS_DLFONTS_H
#define GRAPHICS_DLFONTS_H

// The two font bookkeeping objects a generator owns for the job: the list
// of fonts it has downloaded to the printer, and the table that remaps
// character codes of downloaded fonts. Each generator makes its own kinds
// of them (see GPDLGenerator::reset); here they are only what the
// generator base holds and deletes.

class GDownloadedFontList {
 public:
  GDownloadedFontList() = default;
  GDownloadedFontList(const GDownloadedFontList&) = delete;
  GDownloadedFontList& operator=(const GDownloadedFontList&) = delete;
  virtual ~GDownloadedFontList() = default;
};

class GCodeRemapTable {
 public:
  GCodeRemapTable() = default;
  GCodeRemapTable(const GCodeRemapTable&) = delete;
  GCodeRemapTable& operator=(const GCodeRemapTable&) = delete;
  virtual ~GCodeRemapTable() = default;
};

#endif
