#include "testkit/aslimit.h"

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

void exitUnderAddressSpaceLimit(const std::function<bool()>& check) {
  long pages = 0;
  if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
    std::fclose(statm);
  }
  if (pages <= 0) std::_Exit(2);
  rlimit lim{};
  lim.rlim_cur = lim.rlim_max = rlim_t(pages) * 4096 + (256u << 20);
  if (setrlimit(RLIMIT_AS, &lim) != 0) std::_Exit(3);
  std::_Exit(check() ? 0 : 1);
}
