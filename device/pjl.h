#ifndef DEVICE_PJL_H
#define DEVICE_PJL_H

// The job language: the printer's child with id 106, which frames every
// print job in PJL.
//
// At document start it writes the job header in one piece: the universal
// exit sequence (UEL, ESC "%-12345X"), the JOB line, one line for each job
// setting of the document group (246) of the State it shares with the
// printer, and the ENTER LANGUAGE line naming the generator's language; the
// generator then writes the page description to the same port. At document
// end it writes the trailer: UEL, the EOJ line, UEL. Every PJL line ends in
// CR LF. A job whose document group holds the send-PJL setting (579) at 0
// gets neither, and its commands pass unchanged.
//
// Only document start, document end and job abort are handled; every other
// command passes unchanged. The printer has filed the command's attribute
// into the shared State already; the job language applies nothing itself.
//
// Texts that go between quotes are checked (core/pjltext.h): a job name,
// display text, hold job name or hold key that fails is sent empty, a user
// name that fails or is empty as "?". The raw PJL setting (240) is sent
// exactly as it is, by design.
//
// Settings that are absent write nothing, except the resolution, which is
// always written (600 unless the document group says otherwise). Values
// the keyword tables do not name write nothing either: a resolution
// enhancement above 4, an output bin below 1.
//
// The port: the one the document start carries (on the printer's road the
// printer has put it there), used and forgotten when the job ends; or, off
// that road, one from the provider registry, which the stage owns, starts
// without framing, ends at document end and aborts at job abort.
//
// Stored form of this level, after the container's: version (1), the media
// seen as a stored object (a state), then the job name as a narrow string.
// A stored version other than 1 leaves the level as it was.

#include <cstdint>

#include "core/attrids.h"
#include "core/classids.h"
#include "core/state.h"
#include "device/pericomp.h"
#include "device/printer.h"
#include "rw/cstring.h"

class GPJL : public GPeripheralComposite {
  G_PERSISTENT_CLASS(GPJL)

 public:
  // Empty media seen and job name; the graphic, page and document groups
  // (244, 256, 246) in Default and State.
  GPJL();
  explicit GPJL(const uint32_t& id);
  // The container's full form; each of the three groups the State lacks
  // is added to it.
  GPJL(const RWCString& name, GState* defaults, GConfiguration* config, const uint32_t& id,
       uint32_t addOnListId = AttrId::AddOnList, int32_t kind = 6, int32_t mode = 2);
  // The container's copy; the media seen (their members shared) and the
  // job name.
  GPJL(const GPJL& other);
  GPJL& operator=(const GPJL& other);
  ~GPJL() override;

  static RWClassID classIsA() { return ClassId::GPJL; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;

  // ---- processing ----------------------------------------------------------------
  // See the top of the file. The enabled flag is not consulted; a failed
  // handler's status comes back as a GErrorCommand (status, command, id 0).
  GCommandPtr process(const GCommandPtr& command) override;
  // As the printer's: the merged configuration, and one State and Default
  // shared with the children (the add-on proxies); then the dependents.
  void changed(GPeripheral* stage) override;
  // The port released, then the container's reset.
  void reset() override;

  // The port (gOpenJobPort, 601 without one), the header written, the
  // document entered. A port that fails to start or take the header
  // answers its status, and the stage stays outside the document.
  [[nodiscard]] GStatus onDocumentStart(GDocumentStart* command) override;
  // The document left, the add-ons told, the trailer written; an owned
  // port is then ended (its status). 0 and nothing written without a port.
  [[nodiscard]] GStatus onDocumentEnd(GDocumentEnd* command) override;
  // The document left, an owned port aborted; always 0, and no trailer.
  [[nodiscard]] GStatus onJobAbort(GJobAbort* command) override;
  // A copy of the media goes into the media seen.
  [[nodiscard]] GStatus onMedia(GMedia* media) override;

  // ---- not virtual ---------------------------------------------------------------
  // The header of the job a document start opens, as it is written. Making
  // it turns a binder setting of 3 to 0 (sent once), empties the media seen
  // and passes the start to the add-ons.
  RWCString buildHeader(GDocumentStart& start);
  // The name the current job's lines carry (empty when the document name
  // would not pass between quotes).
  const RWCString& jobName() const { return jobName_; }
  const GState& mediaSeen() const { return mediaSeen_; }

 private:
  // The three groups into a state that lacks them.
  static void addGroups(GState* state);
  // Forgets a port the stage does not own once its job is over.
  void forgetBorrowedPort();

  GState mediaSeen_;
  RWCString jobName_;
  GJobPortCarrier carrier_;
};

RW_DECLARE_RESTORE_OPERATORS(GPJL)

#endif
