#ifndef JOURNAL_CTLCMDS_H
#define JOURNAL_CTLCMDS_H

// The commands that frame a job and report its failures.
//
// A job is a GDocumentStart, then per page a GPageStart, the page's
// graphics and a GPageEnd, and finally a GDocumentEnd, or a GJobAbort when
// it is cancelled. A stage answers a GErrorCommand in place of a command
// whose handler failed, carrying the status and the failed command, and a
// GNoCommand in place of one it swallowed; stages pass both on untouched.
// A GNullCommand delivers its attribute to the stages without drawing.
//
// Document commands hold a GState stamped 246, page commands one stamped
// 256: made without one, they make an empty one; offered an object that is
// not a state, they refuse it (deleting it unless a counted holder shares
// it) and keep the state they have.
//
// Stored forms, each after its base's and opening with its own version (1):
//   GDocumentCommand  document name, port name (each a 32-bit count, then
//                     the 16-bit units)
//   GDocumentStart    a 32-bit int flag, 1 when a device is named; then the
//                     device's 32-bit driver-server handle
//   GErrorCommand     the 16-bit error code; a 32-bit int flag, 1 when a
//                     failed command is held; then the failed command as a
//                     stored pointer
//   every other level nothing more
// The output port of a document command is never stored.

#include <cstdint>

#include "journal/command.h"
#include "rw/wstring.h"

class GDevice;
class GOutputPort;

// ---- the device directory ---------------------------------------------------------
// A stored document start names its device by the driver server's handle,
// never by address. The driver server installs the directory; until then
// (and in another process) no device can be named, and a device start is
// stored, and restored, without one.
struct GDeviceDirectory {
  // The handle under which the device is registered: true and the handle,
  // or false when the device is unknown.
  bool (*handleOf)(const GDevice* device, uint32_t& handle);
  // The device registered under the handle, or null.
  GDevice* (*deviceOf)(uint32_t handle);
};
// Installs the directory (null members: none) and answers the one it
// replaces.
GDeviceDirectory gSetDeviceDirectory(const GDeviceDirectory& directory);

// ---- document commands ------------------------------------------------------------

class GDocumentCommand : public GCommand {
  G_PERSISTENT_LEVEL(GDocumentCommand)

 public:
  explicit GDocumentCommand(const uint32_t& id = 0);
  // The attribute stamped 246 without a class check; null makes a state.
  GDocumentCommand(MPersistentObject* attribute, const uint32_t& id);
  GDocumentCommand(const RWWString& documentName, const RWWString& portName, const uint32_t& id = 0);
  GDocumentCommand(const RWWString& documentName, const RWWString& portName, MPersistentObject* attribute,
                   const uint32_t& id = 0);
  // Names copied, the attribute and the port shared: the port stays owned
  // by no command.
  GDocumentCommand(const GDocumentCommand& other);
  GDocumentCommand& operator=(const GDocumentCommand& other);
  // Leaves the port alone.
  ~GDocumentCommand() override;

  static RWClassID classIsA() { return ClassId::GDocumentCommand; }
  static uint32_t version() { return 1; }
  RWClassID isA() const override;
  RWBoolean isKindOf(RWClassID id) const override;
  // The command test, then equal port names and equal document names.
  RWBoolean matches(const MPersistentObject* other) const override;
  // A GState is stamped 246 and held, null leaves none; anything else is
  // refused.
  void setAttribute(MPersistentObject* attribute) override;

  const RWWString& documentName() const { return documentName_; }
  const RWWString& portName() const { return portName_; }
  void setDocumentName(const RWWString& name) { documentName_ = name; }
  void setPortName(const RWWString& name) { portName_ = name; }
  // The job's open port, owned by whichever stage opened it, never by the
  // command: setting one forgets the one held without deleting it.
  GOutputPort* outputPort() const { return outputPort_; }
  void setOutputPort(GOutputPort* port) { outputPort_ = port; }
  // Answers the port and forgets it.
  GOutputPort* releaseOutputPort();

 private:
  RWWString documentName_;
  RWWString portName_;
  GOutputPort* outputPort_;
};

RW_DECLARE_RESTORE_OPERATORS(GDocumentCommand)

class GDocumentStart : public GDocumentCommand {
  G_PERSISTENT_CLASS(GDocumentStart)

 public:
  explicit GDocumentStart(const uint32_t& id = 0);
  GDocumentStart(const RWWString& documentName, const RWWString& portName, GDevice* device,
                 const uint32_t& id = 0);
  GDocumentStart(const RWWString& documentName, const RWWString& portName, GDevice* device,
                 MPersistentObject* state, const uint32_t& id = 0);
  GDocumentStart(const GDocumentStart& other);
  GDocumentStart& operator=(const GDocumentStart& other);
  ~GDocumentStart() override;

  static RWClassID classIsA() { return ClassId::GDocumentStart; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // Same class, the same device object, and the document-command test.
  RWBoolean matches(const MPersistentObject* other) const override;
  [[nodiscard]] GStatus accept(GPeripheralHandlers& stage) override;

  // The job's device (not owned), or null.
  GDevice* device() const { return device_; }

 private:
  GDevice* device_;
};

RW_DECLARE_RESTORE_OPERATORS(GDocumentStart)

class GDocumentEnd : public GDocumentCommand {
  G_PERSISTENT_CLASS(GDocumentEnd)

 public:
  explicit GDocumentEnd(const uint32_t& id = 0);
  GDocumentEnd(const RWWString& documentName, const RWWString& portName, const uint32_t& id = 0);
  GDocumentEnd(const RWWString& documentName, const RWWString& portName, MPersistentObject* state,
               const uint32_t& id = 0);
  GDocumentEnd(const GDocumentEnd& other);
  GDocumentEnd& operator=(const GDocumentEnd& other);
  ~GDocumentEnd() override;

  static RWClassID classIsA() { return ClassId::GDocumentEnd; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // Same class and the document-command test.
  RWBoolean matches(const MPersistentObject* other) const override;
  [[nodiscard]] GStatus accept(GPeripheralHandlers& stage) override;
};

RW_DECLARE_RESTORE_OPERATORS(GDocumentEnd)

// Ends the first pass of a manually duplexed job.
class GManualDuplexFirstHalf : public GDocumentCommand {
  G_PERSISTENT_CLASS(GManualDuplexFirstHalf)

 public:
  explicit GManualDuplexFirstHalf(const uint32_t& id = 0);
  GManualDuplexFirstHalf(const RWWString& documentName, const RWWString& portName, const uint32_t& id = 0);
  GManualDuplexFirstHalf(const RWWString& documentName, const RWWString& portName, MPersistentObject* state,
                         const uint32_t& id = 0);
  GManualDuplexFirstHalf(const GManualDuplexFirstHalf& other);
  GManualDuplexFirstHalf& operator=(const GManualDuplexFirstHalf& other);
  ~GManualDuplexFirstHalf() override;

  static RWClassID classIsA() { return ClassId::GManualDuplexFirstHalf; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  RWBoolean matches(const MPersistentObject* other) const override;
  [[nodiscard]] GStatus accept(GPeripheralHandlers& stage) override;
};

RW_DECLARE_RESTORE_OPERATORS(GManualDuplexFirstHalf)

// ---- page commands ----------------------------------------------------------------

class GPageCommand : public GCommand {
  G_PERSISTENT_LEVEL(GPageCommand)

 public:
  explicit GPageCommand(const uint32_t& id = 0);
  // The state stamped 256 without a class check; null makes one.
  GPageCommand(MPersistentObject* state, const uint32_t& id);
  GPageCommand(const GPageCommand& other);
  GPageCommand& operator=(const GPageCommand& other);
  ~GPageCommand() override;

  static RWClassID classIsA() { return ClassId::GPageCommand; }
  static uint32_t version() { return 1; }
  RWClassID isA() const override;
  RWBoolean isKindOf(RWClassID id) const override;
  // Same class and the command test.
  RWBoolean matches(const MPersistentObject* other) const override;
  // A GState is stamped 256 and held, null leaves none; anything else is
  // refused.
  void setAttribute(MPersistentObject* attribute) override;
};

RW_DECLARE_RESTORE_OPERATORS(GPageCommand)

class GPageStart : public GPageCommand {
  G_PERSISTENT_CLASS(GPageStart)

 public:
  explicit GPageStart(const uint32_t& id = 0);
  GPageStart(MPersistentObject* state, const uint32_t& id = 0);
  GPageStart(const GPageStart& other);
  GPageStart& operator=(const GPageStart& other);
  ~GPageStart() override;

  static RWClassID classIsA() { return ClassId::GPageStart; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  [[nodiscard]] GStatus accept(GPeripheralHandlers& stage) override;
};

RW_DECLARE_RESTORE_OPERATORS(GPageStart)

class GPageEnd : public GPageCommand {
  G_PERSISTENT_CLASS(GPageEnd)

 public:
  explicit GPageEnd(const uint32_t& id = 0);
  GPageEnd(MPersistentObject* state, const uint32_t& id = 0);
  GPageEnd(const GPageEnd& other);
  GPageEnd& operator=(const GPageEnd& other);
  ~GPageEnd() override;

  static RWClassID classIsA() { return ClassId::GPageEnd; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  [[nodiscard]] GStatus accept(GPeripheralHandlers& stage) override;
};

RW_DECLARE_RESTORE_OPERATORS(GPageEnd)

// ---- control commands -------------------------------------------------------------

class GJobAbort : public GCommand {
  G_PERSISTENT_CLASS(GJobAbort)

 public:
  explicit GJobAbort(const uint32_t& id = 0);
  GJobAbort(const GJobAbort& other);
  GJobAbort& operator=(const GJobAbort& other);
  ~GJobAbort() override;

  static RWClassID classIsA() { return ClassId::GJobAbort; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // The same object, or the same class and the command test.
  RWBoolean matches(const MPersistentObject* other) const override;
  [[nodiscard]] GStatus accept(GPeripheralHandlers& stage) override;
};

RW_DECLARE_RESTORE_OPERATORS(GJobAbort)

// A stage's answer in place of a command it swallowed: never dispatched,
// its attribute never applied.
class GNoCommand : public GCommand {
  G_PERSISTENT_CLASS(GNoCommand)

 public:
  explicit GNoCommand(const uint32_t& id = 0);
  GNoCommand(const GNoCommand& other);
  GNoCommand& operator=(const GNoCommand& other);
  ~GNoCommand() override;

  static RWClassID classIsA() { return ClassId::GNoCommand; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  RWBoolean matches(const MPersistentObject* other) const override;
  // Calls nothing: 0.
  [[nodiscard]] GStatus accept(GPeripheralHandlers& stage) override;
};

RW_DECLARE_RESTORE_OPERATORS(GNoCommand)

// An ordinary command whose accept calls nothing: the stages apply its
// attribute, so it delivers a change of state without drawing.
class GNullCommand : public GCommand {
  G_PERSISTENT_CLASS(GNullCommand)

 public:
  explicit GNullCommand(const uint32_t& id = 0);
  // Any attribute, held as it is: no check, no stamp.
  GNullCommand(MPersistentObject* attribute, const uint32_t& id);
  GNullCommand(const GNullCommand& other);
  GNullCommand& operator=(const GNullCommand& other);
  ~GNullCommand() override;

  static RWClassID classIsA() { return ClassId::GNullCommand; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // Calls nothing: 0.
  [[nodiscard]] GStatus accept(GPeripheralHandlers& stage) override;
};

RW_DECLARE_RESTORE_OPERATORS(GNullCommand)

// A stage's answer in place of a command whose handler failed.
class GErrorCommand : public GCommand {
  G_PERSISTENT_CLASS(GErrorCommand)

 public:
  explicit GErrorCommand(const uint32_t& id = 0);
  // Counts the failed command (null: none).
  GErrorCommand(GStatus errorCode, GCommand* failedCommand, const uint32_t& id = 0);
  // The failed command shared.
  GErrorCommand(const GErrorCommand& other);
  GErrorCommand& operator=(const GErrorCommand& other);
  ~GErrorCommand() override;

  static RWClassID classIsA() { return ClassId::GErrorCommand; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // The same object, or the same class, the command test, the same code
  // and the very same failed command.
  RWBoolean matches(const MPersistentObject* other) const override;
  [[nodiscard]] GStatus accept(GPeripheralHandlers& stage) override;

  [[nodiscard]] GStatus errorCode() const { return errorCode_; }
  void setErrorCode(GStatus code) { errorCode_ = code; }
  // Sets the code and answers the old one.
  [[nodiscard]] GStatus exchangeErrorCode(GStatus code);
  // The failed command without adding a reference, or null.
  GCommand* failedCommand() const;
  // Holds the command (counted) in place of the one held (released,
  // deleted on its last reference). A command that would hold this one in
  // turn, this very command or an error command whose failed commands lead
  // back here, is refused and the one held stays: the counts of a cycle
  // never reach zero.
  void setFailedCommand(GCommand* command);
  // Drops the reference without deleting and answers the command; the
  // caller owns it when that was the last reference.
  GCommand* releaseFailedCommand();

 private:
  GStatus errorCode_;
  GCountedPtr failedCommand_;
};

RW_DECLARE_RESTORE_OPERATORS(GErrorCommand)

#endif
