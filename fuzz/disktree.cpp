// An on-disk B-tree opened from a free-list file as found, then worked on:
// counted, walked, a few keys inserted, found, replaced and removed, and
// emptied at the end.

#include <vector>

#include "common.h"
#include "rw/cstring.h"
#include "rw/disktree.h"
#include "rw/filemgr.h"

namespace {

// The key of number i: its text, zero-padded to the key length.
std::vector<char> keyOf(int i, RWsize length) {
  std::vector<char> key(length + 1, '\0');
  const char text[] = {'k', 'e', 'y', static_cast<char>('a' + i / 26), static_cast<char>('a' + i % 26)};
  for (RWsize j = 0; j < sizeof text && j < length; ++j) key[j] = text[j];
  return key;
}

void countEntry(const char*, int32_t, void* data) { ++*static_cast<int*>(data); }

void work(RWBTreeOnDisk& tree) {
  (void)tree.entries();
  (void)tree.height();
  int walked = 0;
  tree.applyToKeyAndValue(countEntry, &walked);
  // A key length the record allows but no caller would ask for is left
  // alone: the buffers here are the target's own.
  const RWsize length = tree.keyLength();
  if (length == 0 || length > 4096) return;
  std::vector<char> found(length + 1);
  constexpr int keys = 24;
  for (int i = 0; i < keys; ++i) tree.insertKeyAndValue(keyOf(i, length).data(), i);
  int32_t value = 0;
  for (int i = 0; i < keys; i += 3) tree.findKeyAndValue(keyOf(i, length).data(), found.data(), value);
  for (int i = 1; i < keys; i += 4) tree.replaceValue(keyOf(i, length).data(), -i, value);
  for (int i = 0; i < keys; i += 2) tree.removeKeyAndValue(keyOf(i, length).data(), found.data(), value);
  RWCString text;
  tree.findKeyAndValue(keyOf(1, length).data(), text, value);
  tree.removeKeyAndValue(keyOf(3, length).data(), text, value);
  (void)tree.entries();
  tree.clear();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > fuzz::maxInput) return 0;
  fuzz::InputFile input(data, size, "tree.dat");
  if (!input.ok()) return 0;
  RWFileManager file(input.name());
  if (!file.isValid()) return 0;
  RWBTreeOnDisk tree(file, 4);
  if (tree.isValid()) work(tree);
  return 0;
}
