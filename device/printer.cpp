#include "device/printer.h"

#include "core/outport.h"
#include "core/perclass.h"
#include "core/state.h"
#include "core/valattr.h"
#include "device/config.h"
#include "device/pjl.h"
#include "journal/ctlcmds.h"
#include "pdl/cheetah.h"
#include "rw/kmsys.h"

// ---- the job's output port -----------------------------------------------------------

namespace {

GDeviceInstanceOf gDeviceInstanceOf = nullptr;

}  // namespace

GDeviceInstanceOf gSetDeviceInstanceOf(GDeviceInstanceOf convert) {
  const GDeviceInstanceOf was = gDeviceInstanceOf;
  gDeviceInstanceOf = convert;
  return was;
}

void GJobPortCarrier::hold(const GCommandPtr& start, const GPeripheral& stage) {
  const GDocumentCommand* command = dynamic_cast<const GDocumentCommand*>(start.get());
  if (command && stage.ownsPort() && stage.port() && command->outputPort() == stage.port()) start_ = start;
}

void GJobPortCarrier::release(GPeripheral& stage) {
  GDocumentCommand* command = dynamic_cast<GDocumentCommand*>(start_.get());
  if (command && stage.ownsPort() && command->outputPort() == stage.port()) command->setOutputPort(nullptr);
  start_ = GCommandPtr();
  stage.setPort(nullptr, 0);
}

GStatus gOpenJobPort(GPeripheral& stage, GDocumentStart& start, GJobPortCarrier& carrier) {
  carrier.release(stage);
  if (GOutputPort* carried = start.outputPort()) {
    stage.setPort(carried, 0);
    return 0;
  }
  GDriverInstance* instance =
      gDeviceInstanceOf && start.device() ? gDeviceInstanceOf(start.device()) : nullptr;
  const RWWString portName(start.portName());
  GOutputPort* made = GOutputPortProviderRegistry::instance().createPort(instance, portName, 0);
  if (!made) return kStatusNoPort;
  stage.setPort(made, 1);
  if (!made->open()) return kStatusNoPort;
  start.setOutputPort(made);
  return static_cast<GStatus>(made->startJob(start.documentName(), 0));
}

// ---- construction ----------------------------------------------------------------------

G_DEFINE_PERSISTENT(GPrinter, GPeripheralComposite)

GPrinter::GPrinter() : GPrinter(0) {}

GPrinter::GPrinter(const uint32_t& id)
    : GPeripheralComposite(id), printerWord_(2), jobLanguage_(nullptr), generator_(nullptr) {
  changed(this);
}

GPrinter::GPrinter(const RWCString& name, GState* defaults, GConfiguration* config, const uint32_t& id)
    : GPeripheralComposite(name, defaults, config, id, 0, 6, 2),
      printerWord_(2),
      jobLanguage_(nullptr),
      generator_(nullptr) {
  changed(this);
}

GPrinter::GPrinter(const GPrinter& other)
    : GPeripheralComposite(other),
      printerWord_(other.printerWord_),
      carrier_(),
      jobLanguage_(other.jobLanguage_),
      generator_(other.generator_) {}

GPrinter& GPrinter::operator=(const GPrinter& other) {
  if (this == &other || !differs(&other)) return *this;
  carrier_.release(*this);
  GPeripheralComposite::operator=(other);
  printerWord_ = other.printerWord_;
  jobLanguage_ = other.jobLanguage_;
  generator_ = other.generator_;
  return *this;
}

GPrinter::~GPrinter() {
  carrier_.release(*this);
  jobLanguage_ = nullptr;
  generator_ = nullptr;
}

RWBoolean GPrinter::isKindOf(RWClassID id) const { return id == classIsA() || GPeripheralComposite::isKindOf(id); }

RWBoolean GPrinter::matches(const MPersistentObject* other) const {
  if (other == this) return TRUE;
  if (!other || other->isA() != isA() || !GPeripheral::matches(other)) return FALSE;
  const GPrinter* o = dynamic_cast<const GPrinter*>(other);
  return o && printerWord_ == o->printerWord_;
}

// ---- children ------------------------------------------------------------------------

namespace {

GPeripheral* asGenerator(MPersistentObject* object) {
  if (!object || !object->isKindOf(ClassId::GPDLGenerator)) return nullptr;
  return dynamic_cast<GPeripheral*>(object);
}

// Takes the member with the id out of the composite and deletes what the
// removal hands over (the member, or a copy when others still hold it).
void dropMember(MPersistentObject* composite, uint32_t id) {
  if (composite) delete composite->removeById(id);
}

}  // namespace

void GPrinter::nameLanguage(MPersistentObject* object) {
  GPeripheral* generator = asGenerator(object);
  if (!generator) return;
  const RWCString language = generator->name();
  if (GState* s = generator->state()) s->insert(new GStringAttribute(language, AttrId::LanguageName));
  // The Default too: every reset makes the States from the Defaults again.
  if (GState* d = generator->defaults()) d->insert(new GStringAttribute(language, AttrId::LanguageName));
}

void GPrinter::unnameLanguage(MPersistentObject* object) {
  GPeripheral* generator = asGenerator(object);
  if (!generator) return;
  dropMember(generator->state(), AttrId::LanguageName);
  dropMember(generator->defaults(), AttrId::LanguageName);
}

void GPrinter::insert(MPersistentObject* object) {
  nameLanguage(object);
  GPeripheralComposite::insert(object);
}

MPersistentObject* GPrinter::remove(const MPersistentObject* member) {
  if (member && children().find(member)) unnameLanguage(const_cast<MPersistentObject*>(member));
  return GPeripheralComposite::remove(member);
}

MPersistentObject* GPrinter::removeById(const uint32_t& id) {
  unnameLanguage(children().findById(id));
  return GPeripheralComposite::removeById(id);
}

MPersistentObject* GPrinter::removeByClassId(const RWClassID& classId) {
  unnameLanguage(children().findByClassId(classId));
  return GPeripheralComposite::removeByClassId(classId);
}

void GPrinter::findChildren() {
  jobLanguage_ = dynamic_cast<GPeripheral*>(findById(AttrId::JobLanguage));
  generator_ = dynamic_cast<GPeripheral*>(findById(AttrId::Generator));
}

void GPrinter::changed(GPeripheral*) {
  findChildren();
  changedSharingStates();
}

void GPrinter::reset() {
  carrier_.release(*this);
  GPeripheralComposite::reset();
  // Each child's reset had the others' States, still holding the last
  // job's settings, layered into the shared one again; the State is made
  // once more from the merged Default, as a reset promises. The printer's
  // own State is that fresh one too: the merges of the children's resets
  // left it a copy of the last job's, graphic state and all, which the
  // next change would layer into the new job.
  GState* defaultsNow = defaults();
  if (!defaultsNow) return;
  GState* fresh = dynamic_cast<GState*>(defaultsNow->deepCopy());
  if (!fresh) return;
  const GCountedRef hold(fresh);
  // setState only takes the state, on every stage: it answers 0.
  (void)GPeripheralComposite::setState(fresh);
  for (RWsize i = 0; i < entries(); ++i) {
    if (GPeripheral* child = childAt(i)) (void)child->setState(fresh);
  }
}

GStatus GPrinter::replaceChildStage(uint32_t childId, const GPeripheral* given) {
  if (!given) return 0;
  // Copied first: the stage given may be the very State member or child
  // about to be deleted.
  GPeripheral* fresh = dynamic_cast<GPeripheral*>(given->copy());
  if (!fresh) return 0;
  // A copy names the dependents of the stage it was made from; the new
  // child depends on this printer alone, which insert adds.
  while (fresh->dependentCount() > 0) fresh->removeDependent(fresh->dependentAt(0));
  dropMember(state(), childId);
  delete removeById(childId);
  // Rebuilds the merged settings.
  insert(fresh);
  return 0;
}

GStatus GPrinter::onPJL(GPJL* jobLanguage) { return replaceChildStage(AttrId::JobLanguage, jobLanguage); }

GStatus GPrinter::onCheetah(GCheetah* generator) { return replaceChildStage(AttrId::Generator, generator); }

// ---- processing ----------------------------------------------------------------------

GCommandPtr GPrinter::process(const GCommandPtr& command) { return GPeripheral::process(command); }

GStatus GPrinter::sendChangedAttributes(const uint32_t&) { return 0; }

GCommandPtr GPrinter::wrapped(const GCommandPtr& command, GStatus status) {
  if (status == 0) return command;
  return GCommandPtr(new GErrorCommand(status, command.get(), 0));
}

GCommandPtr GPrinter::handTo(GPeripheral* stage, uint32_t group, const GCommandPtr& command) {
  if (!stage) return command;
  const GCountedRef hold(stage);
  // A child's attribute handler that fails (the generator's, on a write to
  // the port that failed) fails the command; a command that failed already
  // keeps its first failure.
  const GStatus failed = stage->sendChangedAttributes(group);
  if (failed != 0 && !command->isKindOf(ClassId::GErrorCommand)) return wrapped(command, failed);
  return stage->process(command);
}

GCommandPtr GPrinter::dispatch(const GCommandPtr& command) {
  if (!command) return command;
  GCommandPtr held(command);
  const MPersistentObject* attribute = held->attributePointer();
  const uint32_t group = attribute ? attribute->id() : 0;
  // The children are held for the walk: a child's processing may change
  // the tree.
  const GCountedRef holdLanguage(jobLanguage_);
  const GCountedRef holdGenerator(generator_);
  GPeripheral* language = jobLanguage_;
  GPeripheral* generator = generator_;
  // At the job's end the add-ons go, the generator's first.
  auto detachAddOns = [&] {
    if (generator) generator->detachAddOns();
    if (language) language->detachAddOns();
  };

  switch (held->isA()) {
    case ClassId::GDocumentStart: {
      if (language) language->attachAddOns();
      if (generator) generator->attachAddOns();
      GDocumentStart* start = dynamic_cast<GDocumentStart*>(command.get());
      held = wrapped(held, start ? onDocumentStart(start) : 0);
      carrier_.hold(command, *this);
      held = handTo(language, group, held);
      return handTo(generator, group, held);
    }
    case ClassId::GDocumentEnd: {
      if (attribute) held = handTo(language, group, handTo(generator, group, held));
      if (held->isKindOf(ClassId::GErrorCommand)) {
        // A child could not finish the job (bytes of it never reached the
        // port): the port's job is aborted rather than ended, so that what
        // did arrive is not printed as if it were whole. The child's
        // failure is the answer; the abort's own status adds nothing to it.
        static_cast<void>(onJobAbort(nullptr));
        detachAddOns();
        return held;
      }
      GDocumentEnd* end = dynamic_cast<GDocumentEnd*>(command.get());
      held = wrapped(held, end ? onDocumentEnd(end) : 0);
      detachAddOns();
      return held;
    }
    case ClassId::GJobAbort: {
      if (generator) held = generator->process(held);
      if (language) held = language->process(held);
      GJobAbort* abort = dynamic_cast<GJobAbort*>(command.get());
      held = wrapped(held, abort ? onJobAbort(abort) : 0);
      detachAddOns();
      return held;
    }
    case ClassId::GPageEnd: {
      if (attribute) held = handTo(language, group, handTo(generator, group, held));
      GPageEnd* end = dynamic_cast<GPageEnd*>(command.get());
      return wrapped(held, end ? onPageEnd(end) : 0);
    }
    default:
      if (!generator) return held;
      if (attribute) {
        if (const GStatus failed = generator->sendChangedAttributes(group); failed != 0) return wrapped(held, failed);
      }
      return wrapped(held, held->accept(*generator));
  }
}

// ---- own handlers --------------------------------------------------------------------

namespace {

// A language the job language's ENTER LANGUAGE line can name: a PJL
// keyword, letters and digits.
bool isLanguageName(const RWCString& name) {
  if (name.length() == 0) return false;
  for (RWsize i = 0; i < name.length(); ++i) {
    const char c = name(i);
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
  }
  return true;
}

}  // namespace

GStatus GPrinter::onDocumentStart(GDocumentStart* command) {
  if (!command) return 0;
  // The job language enters the printer into the language its State names
  // for the generator; a printer entered into none, or one it cannot know,
  // reads the page description as nothing it can print.
  if (generator_ && generator_->isEnabled() && jobLanguage_ && jobLanguage_->isEnabled()) {
    GState* shared = jobLanguage_->state();
    const auto* name =
        dynamic_cast<const GStringAttribute*>(shared ? shared->findById(AttrId::LanguageName) : nullptr);
    if (!name || !isLanguageName(name->value())) {
      kernelDebugPrint("Printer: the generator names no language to enter (\"%s\"); the job is refused\n",
                       name ? name->value().data() : "");
      return kStatusNoLanguage;
    }
  }
  const GStatus status = gOpenJobPort(*this, *command, carrier_);
  if (status != 0) return status;
  enterDocument();
  return 0;
}

GStatus GPrinter::onDocumentEnd(GDocumentEnd*) {
  GStatus status = 0;
  if (ownsPort() && port()) status = static_cast<GStatus>(port()->endJob());
  carrier_.release(*this);
  leaveDocument();
  return status;
}

GStatus GPrinter::onJobAbort(GJobAbort*) {
  leaveDocument();
  GStatus status = 0;
  if (ownsPort() && port()) status = static_cast<GStatus>(port()->abort());
  carrier_.release(*this);
  return status;
}

GStatus GPrinter::onPageEnd(GPageEnd*) {
  if (!port()) return 0;
  const int32_t stopped = port()->isStopped();
  if (stopped == 0) return 0;
  // A non-zero answer stays non-zero in 16 bits.
  const GStatus status = static_cast<GStatus>(stopped);
  return status != 0 ? status : 1;
}

// ---- stored form ---------------------------------------------------------------------

RWspace GPrinter::levelStoreSize() const { return 8; }

template <class Sink>
void GPrinter::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  gWrite(sink, printerWord_);
}

template <class Source>
void GPrinter::restoreLevel(Source& source) {
  if (gReadVersion(source, version())) gRead(source, printerWord_);
  findChildren();
}

// ---- whether a configuration can print ---------------------------------------------

const char* gPrintingFault(const MPersistentObject* root) {
  const auto* top = dynamic_cast<const GPeripheral*>(root);
  if (!top) return "the configuration has no root stage";
  if (!top->isEnabled()) return "the configuration's root is disabled";
  const auto* printer = dynamic_cast<const GPeripheral*>(top->findById(AttrId::Printer));
  if (!printer || !printer->isKindOf(ClassId::GPrinter)) return "the configuration holds no printer";
  if (!printer->isEnabled()) return "the configuration's printer is disabled";
  const auto* generator = dynamic_cast<const GPeripheral*>(printer->findById(AttrId::Generator));
  if (!generator || !generator->isKindOf(ClassId::GPDLGenerator))
    return "the printer has no page description generator";
  if (!generator->isEnabled()) return "the printer's page description generator is disabled";
  const auto* jobLanguage = dynamic_cast<const GPeripheral*>(printer->findById(AttrId::JobLanguage));
  if (!jobLanguage || !jobLanguage->isKindOf(ClassId::GPJL)) return "the printer has no job language";
  if (!jobLanguage->isEnabled()) return "the printer's job language is disabled";
  return nullptr;
}
