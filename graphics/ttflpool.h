#ifndef GRAPHICS_TTFLPOOL_H
#define GRAPHICS_TTFLPOOL_H

// The process-wide pool of open TrueType font files. The platform layer
// makes it; until it has, instance answers null. The driver server flushes
// it when the last device goes. The files themselves come with the font
// machinery; the pool here holds none yet.

class GTTFontFilePool {
 public:
  GTTFontFilePool() = default;
  GTTFontFilePool(const GTTFontFilePool&) = delete;
  GTTFontFilePool& operator=(const GTTFontFilePool&) = delete;
  virtual ~GTTFontFilePool();

  static GTTFontFilePool* instance() { return theInstance; }
  // Makes the pool the instance (null: none) and answers the one it
  // replaces, which stays the caller's.
  static GTTFontFilePool* setInstance(GTTFontFilePool* pool);

  // Deletes every cached font file and empties the pool.
  virtual void flush();

 private:
  static GTTFontFilePool* theInstance;
};

#endif
