#ifndef JOURNAL_COMMAND_H
#define JOURNAL_COMMAND_H

// Journal commands: the units in which a print job travels through the
// command-processing stages.
//
// A command is a persistent object that carries one counted attribute, the
// state that belongs to it (a GState for document and page commands, a
// graphic bundle for graphics), and reaches the stage's handler for its own
// class through accept (double dispatch). Commands pass into and out of
// stages through GCommandPtr, so that none travels without a holder.
//
// Owner tags: a document, page or graphic command stamps the attribute it is
// given with its family's id (246, 256, 244), under which a stage files it
// into its State. Other commands take any attribute as it is.
//
// Stored form of the GCommand level, after the root's: version (1), then the
// attribute as a stored pointer (nil, a reference to an object stored
// earlier in the same store, or the object). A restore keeps the attribute
// only when it is a persistent object; a level whose version differs reads
// nothing more and keeps the attribute it had.

#include <cstdint>

#include "core/attrids.h"
#include "core/classids.h"
#include "core/cntdptr.h"
#include "core/perobj.h"
#include "core/visitor.h"

class GCommandIterator;

// Abstract: no object is ever of this class alone, so it is not registered
// with the factory; isA is its own.
class GCommand : public MPersistentObject {
  G_PERSISTENT_LEVEL(GCommand)

 public:
  GCommand();
  explicit GCommand(const uint32_t& id);
  // Holds the attribute (one reference added): no class check, no stamp.
  GCommand(MPersistentObject* attribute, const uint32_t& id);
  // The root part copied, the attribute shared.
  GCommand(const GCommand& other);
  // The root part assigned, then the other's attribute held in place of
  // this one's (released, deleted on its last reference).
  GCommand& operator=(const GCommand& other);
  ~GCommand() override;

  static RWClassID classIsA() { return ClassId::GCommand; }
  static uint32_t version() { return 1; }
  RWClassID isA() const override;
  RWBoolean isKindOf(RWClassID id) const override;
  // Same id, and the same attribute (both null included) or attributes
  // that match.
  RWBoolean matches(const MPersistentObject* other) const override;
  // A command is one object of a tree.
  RWsize totalEntries() const override;
  // A new iterator (owned by the caller): an empty GCommandIterator here;
  // composites answer one over their children.
  GChildIterator* createIterator() override;

  // ---- the command protocol ------------------------------------------------------
  virtual int32_t isJournalCommand() const { return 1; }
  // Releases the attribute held (deleted on its last reference) and holds
  // the given one (null: none). The very object already held stays alive.
  // The three families check the class first (see their classes).
  virtual void setAttribute(MPersistentObject* attribute);
  // Holds the object instead of the current one, without class check or
  // stamp; nothing when it is the one held.
  virtual void replaceAttribute(MPersistentObject* attribute);
  // Drops the command's reference without deleting the object and answers
  // it; the command holds none afterwards. When that was the last
  // reference, the caller owns the object.
  virtual MPersistentObject* releaseAttribute();
  // The attribute as a new counted reference (nil when none).
  virtual GCountedRef attribute() const;
  // Copies into memory of its own whatever caller memory the command
  // borrows. Any stage that keeps a command beyond the call that gave it
  // calls this first. Nothing to copy here.
  virtual void takeOwnership();
  // Calls the stage's one handler for this command's class with this
  // command and answers its status; composites and the two do-nothing
  // commands call none and answer 0.
  [[nodiscard]] virtual GStatus accept(GPeripheralHandlers& stage) = 0;

  // The attribute without adding a reference, or null.
  MPersistentObject* attributePointer() const { return attribute_.get(); }

 protected:
  // For the families' setAttribute: disposes of an attribute offered and
  // not taken. It is deleted unless a counted holder shares it, in which
  // case it stays with its holders.
  static void refuse(MPersistentObject* attribute);

 private:
  GCountedPtr attribute_;
};

RW_DECLARE_RESTORE_OPERATORS(GCommand)

// A counted pointer to a command: holding one holds one reference.
class GCommandPtr {
 public:
  GCommandPtr() : command_(nullptr) {}
  // Takes a reference (none for null). Explicit: a temporary made from the
  // only reference to a command would delete it.
  explicit GCommandPtr(GCommand* command);
  GCommandPtr(const GCommandPtr& other);
  GCommandPtr(GCommandPtr&& other) noexcept : command_(other.command_) { other.command_ = nullptr; }
  // Releases the command, deleting it on its last reference.
  ~GCommandPtr();
  // Nothing when both hold the same command; otherwise the old one is
  // released (deleted on its last reference) and the new one counted.
  GCommandPtr& operator=(const GCommandPtr& other);
  GCommandPtr& operator=(GCommandPtr&& other) noexcept;

  // Drops the reference to the held command without deleting it and holds
  // the given one (counted; null for none). Answers the old command when
  // that was its last reference (the caller must delete or adopt it), else
  // null.
  GCommand* reset(GCommand* command = nullptr);

  GCommand* get() const { return command_; }
  GCommand* operator->() const { return command_; }
  GCommand& operator*() const { return *command_; }
  explicit operator bool() const { return command_ != nullptr; }
  bool operator==(const GCommandPtr& other) const { return command_ == other.command_; }
  bool operator!=(const GCommandPtr& other) const { return command_ != other.command_; }

 private:
  GCommand* command_;
};

// Walks a command's children. This one is a leaf's: current answers null,
// replaceCurrent does nothing, advance answers 0, reset does nothing.
// Composites answer iterators over their children, which advance from a
// position before the first child and start again after the end.
class GCommandIterator : public GChildIterator {
 public:
  explicit GCommandIterator(MPersistentObject* object = nullptr) : GChildIterator(object) {}
  ~GCommandIterator() override;
  MPersistentObject* current() override { return nullptr; }
  void replaceCurrent(MPersistentObject*) override {}
  int advance() override { return 0; }
  void reset() override {}
};

#endif
