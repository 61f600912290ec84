// A small add-on library for the loader tests. Each export takes a pointer
// to the caller's va_list, as every add-on export does.

#include <cstdarg>
#include <cstdint>

namespace {

int callsSoFar = 0;

va_list& argumentsOf(void* args) { return *static_cast<va_list*>(args); }

}  // namespace

extern "C" {

// (int count, int values...): their sum.
__attribute__((visibility("default"))) void* testAddonSum(void* args) {
  va_list& ap = argumentsOf(args);
  int count = va_arg(ap, int);
  intptr_t sum = 0;
  for (int i = 0; i < count; ++i) sum += va_arg(ap, int);
  return reinterpret_cast<void*>(sum);
}

// (const char* text, int index): the address of that character.
__attribute__((visibility("default"))) void* testAddonCharAt(void* args) {
  va_list& ap = argumentsOf(args);
  const char* text = va_arg(ap, const char*);
  int index = va_arg(ap, int);
  return const_cast<char*>(text + index);
}

// Counts its calls for as long as the library stays loaded.
__attribute__((visibility("default"))) void* testAddonCount(void*) {
  return reinterpret_cast<void*>(static_cast<intptr_t>(++callsSoFar));
}

}
