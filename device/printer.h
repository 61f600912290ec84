#ifndef DEVICE_PRINTER_H
#define DEVICE_PRINTER_H

// The printer stage of a configuration (the child with id 76 of the root).
//
// Its children are the job language (child id 106) and the page-description
// generator (child id 101), and the add-on proxies attached for a job. The
// printer decides in which order these see each command, opens the job's
// output port when the document start brings none, and keeps one State and
// one Default that it and every child share: after every change they are
// layered afresh from the printer's own items and each child's.
//
// Routing (dispatch), after the printer has filed the command's attribute
// into the shared State. Handing a command to a child means: the child's
// changed attributes of the command's group are sent to it, then the child
// processes the command; a non-zero status of the printer's own handlers,
// or of a child's attribute handlers (the child then does not process the
// command), puts a GErrorCommand (status, the command, id 0) in the
// command's place.
//   document start  add-ons attached (job language, then generator); the
//                   printer's own handler; then the job language and the
//                   generator, in that order (an error reaches them as the
//                   error command, which they pass on)
//   document end    with an attribute: the generator, then the job
//                   language; then the printer's own handler, or, when
//                   a child failed, the printer's job abort (the port's
//                   job is aborted, not ended); add-ons detached
//   job abort       the generator's and the job language's process; the
//                   printer's own handler; add-ons detached
//   page end        with an attribute: the generator, then the job
//                   language; then the printer's own handler
//   anything else   the generator's handler for the command's class
//                   alone; the job language never sees it
//
// The port: one the printer makes itself is started without framing (the
// job language writes it), ended at document end or aborted at job abort,
// and deleted there; one the document start carries is only used. Either
// way the printer forgets it when the job ends, so that a page end outside
// a job answers 0.
//
// The language name: a generator child (kind 765) carries a string
// attribute (373) with its name in its State and its Default from the
// moment it is inserted until it is removed, so that the merged State
// names it for the job language's "ENTER LANGUAGE=" line, and a reset,
// which rebuilds the States from the Defaults, keeps it.
//
// Stored form of this level, after the container's: version (1), then the
// printer word as a signed 32-bit int. A stored version other than 1 leaves
// the level as it was; the child pointers are looked up again either way.

#include <cstdint>

#include "core/attrids.h"
#include "core/classids.h"
#include "device/pericomp.h"

class GDevice;
class GDriverInstance;

// Statuses of a job's document start: no port; or, with an enabled
// generator and job language, a shared State that names no language (373
// absent, empty, or not a PJL keyword) for the ENTER LANGUAGE line.
constexpr GStatus kStatusNoPort = 601;
constexpr GStatus kStatusNoLanguage = 604;

// Why a configuration root cannot make a job, or null when it can: the
// root must be enabled and hold an enabled printer (child 76) whose
// generator (child 101) and job language (child 106) are there, enabled
// and of their kinds. Without one of them a job comes out empty or without
// its page description, and would still be reported printed.
const char* gPrintingFault(const MPersistentObject* root);

// ---- the job's output port --------------------------------------------------------
// The driver instance that a job's device is, which the port providers
// are asked with. The device class installs the conversion; until then a
// port is asked for without an instance (a file port on the port name).
using GDeviceInstanceOf = GDriverInstance* (*)(GDevice* device);
// Installs the conversion (null: none) and answers the one it replaces.
GDeviceInstanceOf gSetDeviceInstanceOf(GDeviceInstanceOf convert);

// The document start a stage stored the port it owns in. The command
// outlives the job in whoever holds it; before the port is deleted the
// command is made to forget it, so that nothing is left naming a deleted
// port. Copies carry nothing: a port is one stage's.
class GJobPortCarrier {
 public:
  GJobPortCarrier() = default;
  GJobPortCarrier(const GJobPortCarrier&) {}
  GJobPortCarrier& operator=(const GJobPortCarrier&) { return *this; }

  // Holds the command when it carries the port the stage owns.
  void hold(const GCommandPtr& start, const GPeripheral& stage);
  // The held command forgets the stage's owned port; then the stage lets
  // go of its port (an owned one deleted, a borrowed one forgotten).
  void release(GPeripheral& stage);

 private:
  GCommandPtr start_;
};

// Gives a stage the output port of the job a document start opens. The
// stage's port of an earlier job is released first (carrier.release). The
// port the command carries is used and not owned (0). Otherwise the
// provider registry is asked for one with the job's device and port name:
// the stage owns it, it is opened and stored in the command, and started
// with the document name and no framing; the answer is startJob's. 601 when
// no provider makes a port (nothing is owned then) or it does not open (the
// stage keeps it until its next job, reset or end). The caller then has its
// carrier hold the command.
[[nodiscard]] GStatus gOpenJobPort(GPeripheral& stage, GDocumentStart& start, GJobPortCarrier& carrier);

class GPrinter : public GPeripheralComposite {
  G_PERSISTENT_CLASS(GPrinter)

 public:
  // Printer word 2, no children.
  GPrinter();
  explicit GPrinter(const uint32_t& id);
  // The container's full form, without add-ons of its own (list id 0,
  // kind 6, mode 2).
  GPrinter(const RWCString& name, GState* defaults, GConfiguration* config, const uint32_t& id);
  // The container's copy (children shared) and the printer word.
  GPrinter(const GPrinter& other);
  GPrinter& operator=(const GPrinter& other);
  ~GPrinter() override;

  static RWClassID classIsA() { return ClassId::GPrinter; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // The same object; or the same class, the stages matching and equal
  // printer words (children and own items are not compared).
  RWBoolean matches(const MPersistentObject* other) const override;

  // ---- children ------------------------------------------------------------------
  // As the container's; a generator gets its language name first.
  void insert(MPersistentObject* object) override;
  // As the container's; a generator loses its language name first.
  MPersistentObject* remove(const MPersistentObject* member) override;
  MPersistentObject* removeById(const uint32_t& id) override;
  MPersistentObject* removeByClassId(const RWClassID& classId) override;

  // ---- processing ----------------------------------------------------------------
  // The stage's processing: the attribute filed into the shared State, then
  // dispatch (see the top of the file).
  GCommandPtr process(const GCommandPtr& command) override;
  GCommandPtr dispatch(const GCommandPtr& command) override;
  // Nothing, and 0: the printer consumes no attribute itself.
  [[nodiscard]] GStatus sendChangedAttributes(const uint32_t& id) override;
  // The merged configuration, the child pointers, and the shared State and
  // Default layered afresh; then the dependents.
  void changed(GPeripheral* stage) override;
  // The port released, the container's reset, after which the shared
  // State is made anew from the merged Default: what the last job filed
  // into it goes.
  void reset() override;

  // ---- own handlers ------------------------------------------------------------------
  // gOpenJobPort, then the document is entered (not on failure).
  [[nodiscard]] GStatus onDocumentStart(GDocumentStart* command) override;
  // An owned port is ended (endJob's answer) and deleted; the port is
  // forgotten and the document left.
  [[nodiscard]] GStatus onDocumentEnd(GDocumentEnd* command) override;
  [[nodiscard]] GStatus onManualDuplexFirstHalf(GManualDuplexFirstHalf*) override { return 0; }
  // The port's isStopped: a job the spooler stopped turns the page end into
  // an error. 0 without a port.
  [[nodiscard]] GStatus onPageEnd(GPageEnd* command) override;
  // The document left; an owned port is aborted (abort's answer) and
  // deleted; the port is forgotten.
  [[nodiscard]] GStatus onJobAbort(GJobAbort* command) override;
  // A job-language object handed over as an attribute takes the place of
  // the job-language child.
  [[nodiscard]] GStatus onPJL(GPJL* jobLanguage) override;
  // A PCL XL generator handed over as an attribute takes the place of the
  // generator child.
  [[nodiscard]] GStatus onCheetah(GCheetah* generator) override;

  // ---- not virtual ---------------------------------------------------------------
  // Replaces the child with the id (the generator 101, the job language 106)
  // by a copy of the stage given: the member of the shared State with that
  // id and the child are removed and deleted, then the copy is inserted.
  // Answers 0. The generators' handlers come to it with 101.
  [[nodiscard]] GStatus replaceChildStage(uint32_t childId, const GPeripheral* given);

  int32_t printerWordIsOne() const { return printerWord_ == 1 ? 1 : 0; }
  int32_t printerWord() const { return printerWord_; }
  // The children with ids 106 and 101 (not owned), or null.
  GPeripheral* jobLanguage() const { return jobLanguage_; }
  GPeripheral* generator() const { return generator_; }

 private:
  void findChildren();
  // The language name of a generator child is put into (or taken out of)
  // its State and its Default; other objects are left alone.
  static void nameLanguage(MPersistentObject* object);
  static void unnameLanguage(MPersistentObject* object);
  // The command (which stays counted) with a failed status in its place.
  static GCommandPtr wrapped(const GCommandPtr& command, GStatus status);
  // The stage's changed attributes of the group, then its processing.
  static GCommandPtr handTo(GPeripheral* stage, uint32_t group, const GCommandPtr& command);

  int32_t printerWord_;
  GJobPortCarrier carrier_;
  GPeripheral* jobLanguage_;
  GPeripheral* generator_;
};

RW_DECLARE_RESTORE_OPERATORS(GPrinter)

#endif
