#ifndef JOURNAL_PASSTHRU_H
#define JOURNAL_PASSTHRU_H

// Commands that carry requests to the printer-language generators without
// drawing: raw bytes for one printer language, and a request to download a
// header of a given kind. Every stage but the generators ignores them.
//
// Stored forms, after the GCommand level, each opening with its version (1):
//   GPassThroughCommand     u16 length, u16 target class, then the bytes
//   GDownloadHeaderCommand  int kind
// A pass-through command without bytes stores length 0, so that no stored
// length ever promises bytes the store does not hold.

#include <cstdint>
#include <memory>

#include "core/maybeown.h"
#include "journal/command.h"

class GPassThroughCommand : public GCommand {
  G_PERSISTENT_CLASS(GPassThroughCommand)

 public:
  GPassThroughCommand();
  // Borrows the caller's bytes (owned 0) until takeOwnership; a null data
  // pointer carries no bytes and has length 0.
  GPassThroughCommand(const unsigned char* data, uint16_t length, uint16_t targetClassId, const uint32_t& id = 0);
  // A copy of a command that owns its bytes owns a copy of them; a copy of
  // one that borrows borrows the same bytes.
  GPassThroughCommand(const GPassThroughCommand& other);
  GPassThroughCommand& operator=(const GPassThroughCommand& other);
  ~GPassThroughCommand() override;

  static RWClassID classIsA() { return ClassId::GPassThroughCommand; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // Same class, the command test, equal length, target and owned flag, and
  // the same bytes (one pointer, or two equal buffers).
  RWBoolean matches(const MPersistentObject* other) const override;
  // Copies borrowed bytes, so that a command kept beyond its producer's
  // call never reads a buffer that is gone.
  void takeOwnership() override;
  [[nodiscard]] GStatus accept(GPeripheralHandlers& stage) override;

  const unsigned char* data() const { return data_.get(); }
  uint16_t length() const { return length_; }
  uint16_t targetClassId() const { return targetClassId_; }
  int32_t owned() const { return data_.owns() ? 1 : 0; }

 private:
  // Frees owned bytes and holds the given ones (owned or borrowed).
  void hold(const unsigned char* data, uint16_t length, bool owned);

  GMaybeOwned<const unsigned char, GArrayFree<const unsigned char>> data_;
  uint16_t length_;
  uint16_t targetClassId_;
};

RW_DECLARE_RESTORE_OPERATORS(GPassThroughCommand)

class GDownloadHeaderCommand : public GCommand {
  G_PERSISTENT_CLASS(GDownloadHeaderCommand)

 public:
  // Kind 0: no header in particular.
  explicit GDownloadHeaderCommand(const uint32_t& id = 0);
  GDownloadHeaderCommand(int32_t kind, const uint32_t& id);
  GDownloadHeaderCommand(const GDownloadHeaderCommand& other);
  GDownloadHeaderCommand& operator=(const GDownloadHeaderCommand& other);
  ~GDownloadHeaderCommand() override;

  static RWClassID classIsA() { return ClassId::GDownloadHeaderCommand; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // Same class, same kind and the command test.
  RWBoolean matches(const MPersistentObject* other) const override;
  [[nodiscard]] GStatus accept(GPeripheralHandlers& stage) override;

  // kind() is the persistent protocol's matching family, so the header kind
  // has a name of its own.
  int32_t headerKind() const { return kind_; }

 private:
  int32_t kind_;
};

RW_DECLARE_RESTORE_OPERATORS(GDownloadHeaderCommand)

#endif
