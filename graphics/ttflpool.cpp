#include "graphics/ttflpool.h"

GTTFontFilePool* GTTFontFilePool::theInstance = nullptr;

GTTFontFilePool::~GTTFontFilePool() {
  if (theInstance == this) theInstance = nullptr;
}

GTTFontFilePool* GTTFontFilePool::setInstance(GTTFontFilePool* pool) {
  GTTFontFilePool* previous = theInstance;
  theInstance = pool;
  return previous;
}

void GTTFontFilePool::flush() {}
