// Writes the benchmark's document as level-2 PostScript, for the
// interpreter's side of bench/vs-ghostscript:
//
//   bench_psdoc [--pages N] FILE

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "bench/benchkit.h"
#include "bench/xldoc.h"

int main(int argc, char** argv) {
  int pages = 50;
  const char* output = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--pages") && i + 1 < argc) {
      pages = std::atoi(argv[++i]);
    } else if (!output && argv[i][0] != '-') {
      output = argv[i];
    } else {
      output = nullptr;
      break;
    }
  }
  if (!output || pages <= 0) {
    std::fprintf(stderr, "usage: bench_psdoc [--pages N] FILE\n");
    return 2;
  }
  const std::string program = xldoc::postScriptOf(xldoc::makeDocument(pages));
  std::ofstream file(output, std::ios::binary);
  file.write(program.data(), static_cast<std::streamsize>(program.size()));
  if (!file.flush()) bench::fail("cannot write the PostScript file");
  return 0;
}
