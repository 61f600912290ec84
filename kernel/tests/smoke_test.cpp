#include <gtest/gtest.h>
#include "kernel/heap.h"
TEST(Smoke, Heap) {
  KernelHeap heap;
  heap.startup();
  void* p = heap.allocate(10, nullptr);
  ASSERT_NE(p, nullptr);
  heap.release(p);
  heap.shutdown();
}
