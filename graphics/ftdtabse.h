#ifndef GRAPHICS_FTDTABSE_H
#define GRAPHICS_FTDTABSE_H

// The font database of a device's job: the bodies of the fonts whose
// handles were stored, kept by font id so that a stored text command finds
// its font again when a spooled page is read back.
//
// Only what the device needs is here so far: the database is made for the
// device (its owner, not owned), released at the end of each document and
// deleted when the device resets for a new job, goes into the driver
// server's cache or is destroyed. No font is entered yet, so releasing has
// nothing to drop.

class GDevice;
class GOSMutex;

class GFontDatabase {
 public:
  // An empty database of the owner device's job.
  explicit GFontDatabase(GDevice* owner);
  GFontDatabase(const GFontDatabase&) = delete;
  GFontDatabase& operator=(const GFontDatabase&) = delete;
  // Releases every entry first.
  virtual ~GFontDatabase();

  // Drops the database's use of every entry.
  virtual void releaseAll();

  GDevice* owner() const { return owner_; }

  // The process-wide lock under which font ids are handed out, made
  // through the platform services when the driver is enabled and deleted
  // when it is disabled. Making it again keeps the one there is; without
  // platform services none is made. idLock answers it, or null.
  static void createIdLock();
  static void destroyIdLock();
  static GOSMutex* idLock();

 private:
  GDevice* owner_;
};

#endif
