#ifndef RW_INSTMGR_H
#define RW_INSTMGR_H

// Per-thread instances.
//
// A process-wide registry keeps, for every thread that has any, a list of
// slots {key, value}. A manager owns one key and makes, finds and destroys
// the one instance of its kind that belongs to the calling thread. The
// persistence layer keeps its current store and read tables this way, so
// nested stores on one thread share a table and stores on different
// threads never see each other's.

#include <cstdint>

class RWThreadRegistry {
 public:
  // Gives the calling thread a slot with this key. Answers 0 and keeps the
  // slot's first value when the thread already has the key, else 1.
  static int set(uint32_t key, void* value);
  // The calling thread's value for the key, or null.
  static void* get(uint32_t key);
  // Removes the calling thread's slot and answers its value (null when there
  // was none). A thread left without slots loses its entry.
  static void* take(uint32_t key);
  // Whether the calling thread has an entry at all.
  static bool hasEntry();
};

class RWThreadInstanceManager {
 public:
  RWThreadInstanceManager();  // takes the next key: 1, 2, 3 ...
  virtual ~RWThreadInstanceManager();
  RWThreadInstanceManager(const RWThreadInstanceManager&) = delete;
  RWThreadInstanceManager& operator=(const RWThreadInstanceManager&) = delete;

  uint32_t key() const { return key_; }
  // The calling thread's instance, or null.
  void* current() const;
  // Makes a new instance and registers it for the calling thread.
  void* makeCurrent();
  // Destroys the calling thread's instance and forgets it.
  void release();

 protected:
  virtual void* create() = 0;
  virtual void destroy(void* instance) = 0;

 private:
  uint32_t key_;
};

#endif
