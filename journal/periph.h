#ifndef JOURNAL_PERIPH_H
#define JOURNAL_PERIPH_H

// The command-processing stage: every object that commands flow through
// (page filters, the job language, the peripheral composites and the
// printer, add-on proxies, the generators) is one.
//
// A stage takes one command at a time through process. It walks a
// composite child by child; any other command first has its attribute
// filed into the stage's State, under the attribute's id, and the members
// that changed are sent to the stage's attribute handlers; then the command
// is dispatched to the handler for its class. A non-zero status, of an
// attribute handler or of the command's, turns the command into a
// GErrorCommand carrying the status and the failed command (a command
// whose attributes failed is not dispatched, unless it is a job abort);
// a stage that swallows a command answers a GNoCommand in its place. Both
// pass every later stage untouched.
//
// Settings: State is the current attribute state, Default the state reset
// copies into State, Config the stage's configuration. Each is a counted
// composite; State and Default are stamped 243. Dependents are the stages
// told by changed when this stage's configuration changes (a composite
// registers itself on each child it takes); the list does not own them. A
// restore keeps alive the dependents it reads as new stages, and those it
// shares with counted holders, until the stage goes; a dependent that is a
// stage around this one (a child names its composite) is only named.
//
// Stored form of this level, after the attribute level: version (1);
// Default, State and Config as stored pointers; the dependents list, which
// takes a slot in the store table as an object does: the first time it is
// stored in one store the byte 0x3A, a 32-bit count and each dependent as a
// stored pointer, else the byte 0x40 and the list's 32-bit index; the name;
// the add-on list id; kind and mode as 32-bit ints. The enabled flag, the
// port, the job state and the counters are not stored. On restore the list
// takes a slot in the read table that no object reference may use; a
// 0x40 tag must name that slot, and anything else is a bad reference.
// Default, State and Config of another class, and dependents that are no
// stages, restore as none.

#include <cstdint>
#include <vector>

#include "core/attrib.h"
#include "core/attrids.h"
#include "core/classids.h"
#include "core/cntdptr.h"
#include "core/geometry.h"
#include "core/maybeown.h"
#include "core/state.h"
#include "journal/command.h"
#include "rw/cstring.h"
#include "rw/islist.h"
#include "rw/wstring.h"

class GConfiguration;
class GOutputPort;
class GPeripheral;

// ---- the add-on proxy maker -------------------------------------------------------
// Makes the proxy stage for the add-on library of a name, kind and load
// mode: a new stage (owned by the caller) whose library is loaded, or null
// when it is not. The device model installs it with its proxy class; until
// then no add-on loads.
using GAddOnProxyMaker = GPeripheral* (*)(const RWWString& name, int32_t kind, int32_t mode);
// Installs the maker (null: none) and answers the one it replaces.
GAddOnProxyMaker gSetAddOnProxyMaker(GAddOnProxyMaker maker);

// Abstract (processingFlags): not registered with the factory; isA is its
// own.
class GPeripheral : public GAttribute, public GPeripheralHandlers {
  G_PERSISTENT_LEVEL(GPeripheral)

 public:
  // Empty name; new empty State and Default (243) and Config (198);
  // enabled; add-on list 64, kind 6, mode 2 (no add-ons); no port.
  GPeripheral();
  explicit GPeripheral(const uint32_t& id);
  // The form filters, composites and generators use: setConfig with the
  // configuration (null: a new empty one), setDefaults with the defaults
  // (null: a new empty state), a new empty State, then reset. The stage
  // takes charge of what it is given.
  GPeripheral(const RWCString& name, GState* defaults, GConfiguration* config, const uint32_t& id,
              uint32_t addOnListId = AttrId::AddOnList, int32_t kind = 6, int32_t mode = 2);
  // Shares State, Default and Config; copies name, dependents (the same
  // stages), add-on list id, kind, mode and the enabled flag. No port, idle,
  // caches and counters clear.
  GPeripheral(const GPeripheral& other);
  // The same when the stages differ, nothing when they do not; a port this
  // stage owned is deleted first.
  GPeripheral& operator=(const GPeripheral& other);
  // Deletes an owned port, releases the settings; the dependents are not
  // touched.
  ~GPeripheral() override;

  static RWClassID classIsA() { return ClassId::GPeripheral; }
  static uint32_t version() { return 1; }
  RWClassID isA() const override;
  RWBoolean isKindOf(RWClassID id) const override;
  // The attribute test, equal names, job state, add-on list id, kind, mode
  // and enabled flag, the same dependents in the same order, and Default,
  // State and Config each absent in both or not differing.
  RWBoolean matches(const MPersistentObject* other) const override;
  // A copy with deep copies of State, Default and Config.
  MPersistentObject* deepCopy() const override;
  // Sends every member of State to the visitor; the last non-zero status
  // is answered, and State's own changed flag cleared.
  [[nodiscard]] GStatus accept(GPeripheralHandlers& visitor) override;

  // ---- processing ----------------------------------------------------------------
  // The command, or what took its place. A null command, and every command
  // while the stage is disabled, comes back as it went in.
  virtual GCommandPtr process(const GCommandPtr& command);

  // ---- settings ------------------------------------------------------------------
  // Each takes charge of the composite: it is stamped 243 (not the
  // configuration) and held in place of the one held (released); nothing
  // when it is the one held. setState forgets the group caches and
  // answers 0; setConfig then calls changed.
  virtual void setDefaults(GState* defaults);
  [[nodiscard]] virtual GStatus setState(GState* state);
  virtual void setConfig(GConfiguration* config);
  // Each hands the composite to the caller (the object itself when only
  // the stage held it, else a copy) and keeps a new empty one (id 0) in its
  // place. Null when the stage has none.
  virtual GState* takeDefaults();
  virtual GState* takeState();
  virtual GConfiguration* takeConfig();
  // Enables the stage, makes State a deep copy of Default, forgets the
  // group caches, calls changed, and deletes a port the stage owns.
  virtual void reset();
  virtual void setName(const RWCString& name);

  // Calls the command's accept with this stage; a non-zero status puts a
  // GErrorCommand (status, the command, id 0) in the command's place.
  virtual GCommandPtr dispatch(const GCommandPtr& command);
  // Processes each child of a composite in turn, putting what a child's
  // processing answered in its place. A child that fails ends the walk: its
  // GErrorCommand is answered in place of the composite, and the children
  // after it are not processed. Otherwise the composite is answered. A
  // stage that disables itself stops before the next child.
  virtual GCommandPtr processComposite(const GCommandPtr& composite);

  // Files a command's attribute into State (see attributeGroup): a state
  // whose id is its group's is merged into the group member by member, any
  // other attribute is merged into State, which shares it. The stage never
  // takes the attribute from its holders.
  virtual void applyAttribute(MPersistentObject* attribute);
  // Sends the changed members of the group for the id to their handlers.
  // In the graphic group a changed transform goes first and makes every
  // member changed. Every changed member is sent; the first non-zero
  // status of their handlers is answered (a generator's handler is where
  // it hands back a write to its port that failed), else 0.
  [[nodiscard]] virtual GStatus sendChangedAttributes(const uint32_t& id);

  virtual void addDependent(GPeripheral* dependent);
  virtual void removeDependent(GPeripheral* dependent);
  // Calls changed on every dependent, in order, with this stage. A call
  // that reaches a stage already passing a change on returns at once.
  virtual void changed(GPeripheral* stage);

  // The member of State that holds the attributes filed under a group id
  // (244, 246, 256): a state found under the id, or a new GState inserted;
  // cached (counted) until State is replaced. State itself for every other
  // id; null while the stage has no State.
  virtual GAttributeComposite* attributeGroup(const uint32_t& id);

  virtual void enterDocument();
  virtual void enterPage();
  virtual void leaveDocument();

  // The held composites (no reference added), or null.
  virtual GState* state() const;
  virtual GState* defaults() const;
  virtual GConfiguration* config() const;
  virtual RWCString name() const;

  virtual int32_t isInDocument() const;
  virtual int32_t isInPage() const;

  // Page queries, which the stage container combines over its children.
  virtual int32_t isReady();
  // The factors by which the stage scales page content; the base writes
  // (0, 0). mode may be changed for the stages after this one.
  virtual void scaleFactors(GScaleFactors& factors, GState* documentState, GState* pageState, int32_t pageIndex,
                            int32_t& mode);
  // The page-processing effects of the stage, as a bit mask.
  virtual uint32_t processingFlags() = 0;

  // ---- default handlers --------------------------------------------------------------
  // Job state: a document start enters the document, a page start the
  // page, a page end goes back to the document, a document end leaves it.
  [[nodiscard]] GStatus onDocumentStart(GDocumentStart* command) override;
  [[nodiscard]] GStatus onDocumentEnd(GDocumentEnd* command) override;
  [[nodiscard]] GStatus onPageStart(GPageStart* command) override;
  [[nodiscard]] GStatus onPageEnd(GPageEnd* command) override;
  // Leaves the document; answers the status of the port's abort when the
  // stage owns its port, else 0.
  [[nodiscard]] GStatus onJobAbort(GJobAbort* command) override;

  // ---- not virtual ---------------------------------------------------------------
  int32_t isEnabled() const { return enabled_; }
  void enable() { enabled_ = 1; }
  void disable() { enabled_ = 0; }
  int32_t jobState() const { return jobState_; }

  // The port the stage uses, and whether it owns it (it then ends and
  // deletes it). Setting one deletes a port the stage owned before, unless
  // it is the same port: the port given is never deleted.
  GOutputPort* port() const { return port_.get(); }
  int32_t ownsPort() const { return port_.owns() ? 1 : 0; }
  void setPort(GOutputPort* port, int32_t owns);

  // The dependents, in order (not owned).
  RWsize dependentCount() const;
  GPeripheral* dependentAt(RWsize index) const;

  uint32_t addOnListId() const { return addOnListId_; }
  int32_t addOnKind() const { return kind_; }
  int32_t addOnMode() const { return mode_; }

  // Puts the add-on proxies named in Config (under the add-on list id) in
  // front of the stage's other stage children, those whose library loads
  // (the installed maker answers them); nothing in mode 2. A proxy the
  // stage does not take is deleted.
  void attachAddOns();
  // Takes the add-on proxies out again; nothing in mode 2.
  void detachAddOns();
  // After an on-disk composite replaced a record: moves the iterator to the
  // record after the first one that matches the replacement.
  void repositionAfter(GChildIterator* iterator, GCommand* replacement);

 protected:
  // The two no-command counters of composite walks.
  int32_t noCommandRun_;
  int32_t allNoCommands_;

 private:
  // The dependents, in order. A collectable, so that the list takes a slot
  // in the store and read tables as an object does: the stored form names
  // it by that slot when it is met twice. The links are the list's own;
  // the stages they name are not.
  class DependentList : public RWCollectable {
   public:
    DependentList() = default;
    DependentList(const DependentList&) = delete;
    DependentList& operator=(const DependentList&) = delete;
    ~DependentList() override;

    void append(GPeripheral* stage);
    // Unlinks the first link naming the stage; false when there is none.
    bool remove(const GPeripheral* stage);
    void clear();
    // The same stages as the other list, in its order.
    void assign(const DependentList& other);
    RWsize entries() const { return links_.entries(); }
    // Null past the end.
    GPeripheral* at(RWsize index) const;
    // The stages as they are now, for a walk that calls out of the stage.
    std::vector<GPeripheral*> stages() const;

   private:
    RWIsvSlist links_;
  };

  void forgetGroups();
  // The cache of a group id (244, 246, 256), or null for any other id.
  GCountedRef* groupCache(uint32_t id);
  // Gives the stage a copy's settings, name, dependents and add-on data;
  // no port, idle, caches and counters clear.
  void copyFrom(const GPeripheral& other);
  // The dependents' part of the stored form.
  RWspace dependentsStoreSize() const;
  template <class Sink>
  void saveDependents(Sink& sink) const;
  // False when reading cannot go on.
  template <class Source>
  bool restoreDependents(Source& source);

  RWCString name_;
  GMaybeOwned<GOutputPort> port_;
  int32_t jobState_;
  uint32_t addOnListId_;
  int32_t kind_;
  int32_t mode_;
  GCountedPtr state_;
  GCountedPtr defaults_;
  GCountedPtr config_;
  int32_t enabled_;
  DependentList dependents_;
  // Dependents the stage keeps alive: those a restore made inside the list,
  // which nobody else owns, and those it shared from counted holders.
  std::vector<GCountedRef> keptDependents_;
  // The group caches, counted so that a group taken out of State cannot
  // leave them dangling; cleared whenever State is replaced.
  GCountedRef graphicGroup_;
  GCountedRef pageGroup_;
  GCountedRef documentGroup_;
  // Set while changed passes a change on, so that a cycle of dependents
  // ends.
  int32_t propagating_;
};

RW_DECLARE_RESTORE_OPERATORS(GPeripheral)

#endif
