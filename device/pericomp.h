#ifndef DEVICE_PERICOMP_H
#define DEVICE_PERICOMP_H

// The stage container: a command-processing stage that owns child stages in
// stored order and passes every journal command through them. The root of a
// printer's configuration is one (its children are the page filters and the
// printer), and the printer, the job language and the generators build on
// it.
//
// Children: only stages are taken; anything else given to insert is
// deleted, unless a counted holder still shares it, and a stage that is
// this composite or holds it is refused (the tree would become a cycle).
// The composite is a dependent of each child from insert until the child
// leaves, so that a child's change reaches it; removing, clearing,
// replacing and destroying take it off the child's list again (every
// occurrence). A child that leaves also leaves the active list.
//
// The active list: at a document start every enabled child sees the
// command, in order, even after one has answered an error, and those still
// enabled afterwards make up the job's active list; every later command
// goes only through the active children that are enabled, and the walk
// ends at the first GNoCommand or GErrorCommand. A document end or job
// abort coming out of a full walk detaches the add-on proxies and empties
// the list; one that a child swallowed leaves it. The list is not stored.
//
// The merged configuration: after every change the inherited Config holds
// the composite's own configuration item, then each child's Config, in
// child order, so that the root's Config answers for the whole tree. An item
// that is the merged Config itself or holds it is left out.
//
// Own items: ownState, ownDefaults and ownConfig. setDefaults and setState
// make the given state both the inherited one and the own one; reset makes
// the inherited Default the own one again and the own State a deep copy of
// it. Taking the Default or State hands over the composite's one (the
// object itself when only the composite held it) and leaves a new empty
// state (243) as both the inherited and the own one; taking the Config hands
// over the own item (a configuration; an item of another class comes
// wrapped in a new one) and leaves a new empty configuration (198).
//
// Copies share children, active list and own items, and are not
// dependents of the shared children. deepCopy makes deep copies of the
// settings, the own items and every child, the copy the children's only
// composite.
//
// Stored form of this level, after the stage's: version (1); the children
// as a stored object (an MPersistentComposite with its class tag); then
// ownState, ownDefaults and ownConfig as stored pointers. A restore keeps
// only the children that are stages and makes the composite a dependent of
// each that does not name it yet; the own states restore only as states and
// the own configuration only as a configuration or attribute composite, and
// a reference back to an object still being restored around them is
// refused. A stored version other than 1 leaves the level as it was.

#include <cstdint>

#include "core/classids.h"
#include "core/cntdptr.h"
#include "core/pcomposit.h"
#include "journal/periph.h"

class GPeripheralComposite : public GPeripheral {
  G_PERSISTENT_CLASS(GPeripheralComposite)

 public:
  // A new empty state (243) as own State and own Default, a new empty
  // state (198) as own configuration item, no children.
  GPeripheralComposite();
  explicit GPeripheralComposite(const uint32_t& id);
  // The stage's full form. The configuration given (null: a new empty one)
  // is the composite's own item, and the defaults given (null: a new empty
  // state) its own Default, so that neither is lost when the merged
  // configuration is rebuilt or the composite reset.
  GPeripheralComposite(const RWCString& name, GState* defaults, GConfiguration* config, const uint32_t& id,
                       uint32_t addOnListId = AttrId::AddOnList, int32_t kind = 6, int32_t mode = 2);
  GPeripheralComposite(const GPeripheralComposite& other);
  // Nothing when the two do not differ. Otherwise the stage part, the other's
  // children and active list shared, its own items taken; this composite
  // leaves the dependents of its former children.
  GPeripheralComposite& operator=(const GPeripheralComposite& other);
  // Leaves the dependents of every child.
  ~GPeripheralComposite() override;

  static RWClassID classIsA() { return ClassId::GPeripheralComposite; }
  static uint32_t version() { return 1; }
  RWBoolean isKindOf(RWClassID id) const override;
  // The same object; or the same class, the stages matching, the very same
  // own items, and active lists and children that match.
  RWBoolean matches(const MPersistentObject* other) const override;

  // ---- children ------------------------------------------------------------------
  // See the top of the file. insert and every removal call changed.
  void insert(MPersistentObject* object) override;
  // Null for anything that is not a stage; otherwise as the composite's
  // removal (owned by the caller: the child itself, or a copy when others
  // still hold it).
  MPersistentObject* remove(const MPersistentObject* member) override;
  MPersistentObject* removeById(const uint32_t& id) override;
  MPersistentObject* removeByClassId(const RWClassID& classId) override;
  // A deep copy of the replacement takes the place of the first member
  // found; a direct child is replaced only by a stage, which the composite
  // then depends on. 1 when one was replaced.
  int replaceDeepById(const uint32_t& id, const MPersistentObject* replacement) override;
  int replaceDeepByClassId(const RWClassID& classId, const MPersistentObject* replacement) override;
  int replaceDeep(const MPersistentObject* member, const MPersistentObject* replacement) override;
  int replaceDeepByKind(const RWClassID& kind, const MPersistentObject* replacement) override;
  // Leaves the children's dependents and empties both lists; no changed.
  void clear() override;
  MPersistentObject* findById(const uint32_t& id) const override;
  MPersistentObject* findByClassId(const RWClassID& classId) const override;
  MPersistentObject* find(const MPersistentObject* object) const override;
  MPersistentObject* findByKind(const RWClassID& kind) const override;
  MPersistentComposite* collectByClassId(const RWClassID& classId, MPersistentComposite* list) const override;
  MPersistentComposite* collectById(const uint32_t& id, MPersistentComposite* list) const override;
  MPersistentComposite* collectByKind(const RWClassID& kind, MPersistentComposite* list) const override;
  MPersistentComposite* selectById(const uint32_t& id) const override;
  MPersistentComposite* selectByClassId(const RWClassID& classId) const override;
  MPersistentComposite* selectByKind(const RWClassID& kind) const override;
  RWBoolean isComposite() const override;
  RWsize entries() const override;
  RWsize totalEntries() const override;
  // Walks the children (owned by the caller; it must not outlive the
  // composite).
  GChildIterator* createIterator() override;
  MPersistentObject* deepCopy() const override;

  // ---- processing ----------------------------------------------------------------
  // See the top of the file. A null command, and every command while the
  // composite is disabled, comes back as it went in.
  GCommandPtr process(const GCommandPtr& command) override;

  // ---- settings ------------------------------------------------------------------
  void setDefaults(GState* defaults) override;
  [[nodiscard]] GStatus setState(GState* state) override;
  // The configuration becomes the own item; then changed.
  void setConfig(GConfiguration* config) override;
  GState* takeDefaults() override;
  GState* takeState() override;
  // Null when there is no own item.
  GConfiguration* takeConfig() override;
  // Every child is reset, in order; then the inherited Default becomes the
  // own Default, the own State a deep copy of it, and the stage resets.
  void reset() override;
  // Rebuilds the merged configuration, then tells the dependents. A call
  // that reaches the composite while it is doing so returns at once, so that
  // a cycle of dependents ends.
  void changed(GPeripheral* stage) override;

  // ---- page queries over the children ------------------------------------------
  // 0 as soon as one child, enabled or not, answers 0; else 1 (an empty
  // composite is ready).
  int32_t isReady() override;
  // From (1, 1), multiplied by each enabled child's factors in turn; the
  // walk ends before the next child once both are zero. Each child is
  // given the same states and index, and the mode word itself, which a
  // child may change for those after it; the composite never changes it.
  void scaleFactors(GScaleFactors& factors, GState* documentState, GState* pageState, int32_t pageIndex,
                    int32_t& mode) override;
  // The bitwise OR of the enabled children's flags.
  uint32_t processingFlags() override;

  // ---- not virtual ---------------------------------------------------------------
  const MPersistentComposite& children() const { return children_; }
  const MPersistentComposite& activeChildren() const { return activeChildren_; }
  // The child at a position among the children, or null.
  GPeripheral* childAt(RWsize position) const;
  // The own items (no reference added), or null.
  MPersistentObject* ownState() const { return ownState_.get(); }
  MPersistentObject* ownDefaults() const { return ownDefaults_.get(); }
  MPersistentObject* ownConfig() const { return ownConfig_.get(); }

 protected:
  // The merged configuration: cleared, then the own item and each child's
  // Config.
  void rebuildConfig();
  // changed for a composite whose children share its settings (the
  // printer, the job language): the merged configuration is rebuilt; then
  // one State and one Default are layered from the own State and Default
  // and each child's, in child order, made this stage's State and Default
  // (the own items stay) and handed to every child; then the dependents are
  // told. Ends at once when it reaches the composite while it is doing so.
  void changedSharingStates();

 private:
  // The stage at a position of a list, or null for a nil entry or another
  // object.
  static GPeripheral* stageIn(const MPersistentComposite& list, RWsize position);
  // Whether the stage may be a child: a stage that is neither this
  // composite nor holds it.
  bool admits(const MPersistentObject* object) const;
  // Takes this composite off the stage's dependents, every occurrence.
  void leave(GPeripheral* stage);
  // Takes the member (found among the children, at any depth) out of both
  // lists: the owned result, this composite off the dependents of the
  // member and of the result; changed when it was a stage.
  MPersistentObject* takeOut(const MPersistentObject* member);
  // The deep replacement the four replaceDeep operations share.
  template <class Fits, class Below>
  int replaceDepthFirst(const MPersistentObject* replacement, Fits fits, Below below);
  // After a restore: only stages stay, each with this composite among its
  // dependents.
  void keepOnlyStages();

  GCountedPtr ownState_;
  GCountedPtr ownDefaults_;
  GCountedPtr ownConfig_;
  MPersistentComposite children_;
  MPersistentComposite activeChildren_;
  // Set while changed rebuilds and passes the change on.
  int32_t changing_;
};

RW_DECLARE_RESTORE_OPERATORS(GPeripheralComposite)

#endif
