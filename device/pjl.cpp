#include "device/pjl.h"

#include <memory>
#include <string>

#include "core/osfactry.h"
#include "core/outport.h"
#include "core/passoc.h"
#include "core/perclass.h"
#include "core/pjltext.h"
#include "core/textconv.h"
#include "core/valattr.h"
#include "device/config.h"
#include "device/custsize.h"
#include "device/media.h"
#include "device/paperdev.h"
#include "device/printer.h"
#include "device/resmap.h"
#include "journal/ctlcmds.h"

namespace {

// The universal exit sequence: leaves whatever language the printer is in.
const char* const kUel = "\x1b%-12345X";
const char* const kLineEnd = "\r\n";

// The member with the id, at any depth, as a value or a text; null when
// there is none or it is of another class.
GValueAttribute* valueIn(const MPersistentObject* group, uint32_t id) {
  return group ? dynamic_cast<GValueAttribute*>(group->findById(id)) : nullptr;
}

GStringAttribute* textIn(const MPersistentObject* group, uint32_t id) {
  return group ? dynamic_cast<GStringAttribute*>(group->findById(id)) : nullptr;
}

// A text that goes between quotes, or the empty text when it could end
// them or the line.
RWCString quotable(const RWCString& text) { return isValidPjlText(text) ? text : RWCString(); }

std::string twoDigits(int32_t value) { return (value < 10 ? "0" : "") + std::to_string(value); }

// Calls the visit with each direct member of a list (a composite's
// children, in order).
template <class Visit>
void forEachMember(MPersistentObject* list, Visit visit) {
  if (!list) return;
  const std::unique_ptr<GChildIterator> it(list->createIterator());
  while (it && it->advance()) {
    if (!visit(it->current())) return;
  }
}

// The text a lookup table (an association list keyed by value attributes
// with id 0) gives a value: true and the text when the table has a
// selection string for it.
bool lookUp(MPersistentObject* table, int16_t value, RWCString& text) {
  const MAssociationList* list = dynamic_cast<const MAssociationList*>(table);
  if (!list) return false;
  const GValueAttribute key(value, 0);
  const GSelectionString* found = dynamic_cast<const GSelectionString*>(list->findValue(&key));
  if (!found) return false;
  text = found->text();
  return true;
}

// The header's lines, as they are made.
class Header {
 public:
  RWCString& text() { return text_; }
  // "@PJL " text CR LF.
  void line(const std::string& body) { add("@PJL " + body + kLineEnd); }
  // "@PJL SET " text CR LF.
  void setting(const std::string& body) { line("SET " + body); }
  void add(const std::string& raw) { text_.append(raw.data(), raw.size()); }
  static std::string quoted(const RWCString& value) { return "\"" + std::string(value.data(), value.length()) + "\""; }

 private:
  RWCString text_;
};

const char* const kResolutionEnhancement[] = {"OFF", "LIGHT", "MEDIUM", "DARK", "ON"};
const char* const kStapleOption[] = {"DEFAULT", "ONE", "ONEANGLED", "TWO", "THREE", "SIX", "CUSTOM"};
const char* const kPageProtect[] = {"ON", "AUTO", "OFF", "LETTER", "LEGAL", "A4"};

// The selected source id of the first output device (class 1) that is
// installed and enabled in the configuration's paper-handling devices; false
// when there is none.
bool outputDeviceSource(GConfiguration* config, uint16_t& source) {
  bool found = false;
  forEachMember(config ? config->findById(AttrId::PaperHandlingDevices) : nullptr, [&](MPersistentObject* member) {
    const GPaperHandlingDevice* device = dynamic_cast<const GPaperHandlingDevice*>(member);
    if (device && device->isInstalled() && device->isEnabled() && device->deviceClass() == 1) {
      source = device->selectedSourceId();
      found = true;
    }
    return !found;
  });
  return found;
}

// The OUTBIN keyword of a value; empty for a value below 1, which names no
// bin.
std::string outputBinKeyword(int16_t value, GConfiguration* config) {
  uint16_t source = 0;
  const bool hasDevice = outputDeviceSource(config, source);
  switch (value) {
    case 1:
      return "UPPER";
    case 2:
      return hasDevice && source == 2 ? "OPTIONALOUTBIN1" : "LOWER";
    case 3:
      return !hasDevice || source == 2 ? "OPTIONALOUTBIN7" : "OPTIONALOUTBIN2";
    case 4:
      return "OPTIONALOUTBIN2";
    case 5:
      return "HCO-D";
    case 6:
      return "HCO-U";
    default:
      return value < 1 ? std::string() : "OPTIONALOUTBIN" + std::to_string(value - 5);
  }
}

// Whether some entry of the configuration's mode entries holds a bits per
// pixel of 2.
bool twoBitModeOffered(GConfiguration* config) {
  bool offered = false;
  forEachMember(config ? config->findById(AttrId::ModeEntries) : nullptr, [&](MPersistentObject* entry) {
    const GValueAttribute* bits = valueIn(entry, AttrId::BitsPerPixel);
    offered = bits && bits->value() == 2;
    return !offered;
  });
  return offered;
}

void addDateAndTime(Header& header) {
  GOSFactory* platform = GOSFactory::instance();
  if (!platform) return;
  GTimeRecord local;
  GTimeRecord gmt;
  int16_t offset = 0;
  if (!platform->currentTime(local, gmt, offset)) return;
  header.setting("DATE=" + std::to_string(local.day) + "-" + std::to_string(local.month) + "-" +
                 std::to_string(local.year));
  int32_t minutes = offset;
  const char* sign = minutes > 0 ? "+" : "-";
  if (minutes < 0) minutes = -minutes;
  header.setting("TIME=(GMT" + std::string(sign) + twoDigits(minutes / 60) + ":" + twoDigits(minutes % 60) + ")" +
                 twoDigits(local.hour) + ":" + twoDigits(local.minute));
}

void addJobRetention(Header& header, GAttributeComposite* settings, int16_t mode) {
  const GStringAttribute* user = textIn(settings, AttrId::UserName);
  RWCString userName = user ? quotable(user->value()) : RWCString();
  if (userName.length() == 0) userName = "?";
  // The hold job name is quoted as the others are: a quote or a line end
  // in it would end the line and let the rest through as commands.
  const GStringAttribute* job = textIn(settings, AttrId::HoldJobName);
  const RWCString jobName = job ? quotable(job->value()) : RWCString();
  const GStringAttribute* key = textIn(settings, AttrId::HoldKey);
  const RWCString holdKey = key ? quotable(key->value()) : RWCString();

  auto keyLine = [&] { header.setting("HOLDKEY=" + Header::quoted(holdKey)); };
  auto nameLines = [&] {
    header.setting("USERNAME=" + Header::quoted(userName));
    header.setting("JOBNAME=" + Header::quoted(jobName));
  };
  switch (mode) {
    case 1:
      header.setting("HOLD=ON");
      header.setting("HOLDTYPE=PUBLIC");
      nameLines();
      break;
    case 2:
      header.setting("HOLD=PROOF");
      nameLines();
      break;
    case 3: {
      header.setting("HOLD=STORE");
      const GValueAttribute* isPrivate = valueIn(settings, AttrId::HoldPrivate);
      if (isPrivate && isPrivate->value() != 0) {
        header.setting("HOLDTYPE=PRIVATE");
        keyLine();
      }
      nameLines();
      break;
    }
    case 4:
      header.setting("HOLD=ON");
      header.setting("HOLDTYPE=PRIVATE");
      keyLine();
      nameLines();
      break;
    default:
      header.setting("HOLD=OFF");
      break;
  }
}

}  // namespace

// ---- construction --------------------------------------------------------------------

G_DEFINE_PERSISTENT(GPJL, GPeripheralComposite)

void GPJL::addGroups(GState* state) {
  if (!state) return;
  for (const uint32_t group : {AttrId::GraphicGroup, AttrId::PageGroup, AttrId::DocumentGroup}) {
    if (!dynamic_cast<GState*>(state->findById(group))) state->insert(new GState(group));
  }
}

GPJL::GPJL() : GPJL(0) {}

GPJL::GPJL(const uint32_t& id) : GPeripheralComposite(id) {
  addGroups(dynamic_cast<GState*>(ownDefaults()));
  addGroups(dynamic_cast<GState*>(ownState()));
  changed(this);
}

GPJL::GPJL(const RWCString& name, GState* defaults, GConfiguration* config, const uint32_t& id,
           uint32_t addOnListId, int32_t kind, int32_t mode)
    : GPeripheralComposite(name, defaults, config, id, addOnListId, kind, mode) {
  addGroups(dynamic_cast<GState*>(ownState()));
  changed(this);
}

GPJL::GPJL(const GPJL& other)
    : GPeripheralComposite(other), mediaSeen_(other.mediaSeen_), jobName_(other.jobName_), carrier_() {}

GPJL& GPJL::operator=(const GPJL& other) {
  if (this == &other || !differs(&other)) return *this;
  carrier_.release(*this);
  GPeripheralComposite::operator=(other);
  mediaSeen_ = other.mediaSeen_;
  jobName_ = other.jobName_;
  return *this;
}

GPJL::~GPJL() { carrier_.release(*this); }

RWBoolean GPJL::isKindOf(RWClassID id) const { return id == classIsA() || GPeripheralComposite::isKindOf(id); }

void GPJL::changed(GPeripheral*) { changedSharingStates(); }

void GPJL::reset() {
  carrier_.release(*this);
  GPeripheralComposite::reset();
}

// ---- processing ----------------------------------------------------------------------

GCommandPtr GPJL::process(const GCommandPtr& command) {
  if (!command) return command;
  const RWClassID type = command->isA();
  if (type != ClassId::GDocumentStart && type != ClassId::GDocumentEnd && type != ClassId::GJobAbort) return command;
  const GValueAttribute* sendPjl = valueIn(attributeGroup(AttrId::DocumentGroup), AttrId::SendPjl);
  if (sendPjl && sendPjl->value() == 0) return command;
  const GCommandPtr answer = GPeripheral::dispatch(command);
  if (type == ClassId::GDocumentStart) carrier_.hold(command, *this);
  return answer;
}

void GPJL::forgetBorrowedPort() {
  if (!ownsPort()) setPort(nullptr, 0);
}

RWCString GPJL::buildHeader(GDocumentStart& start) {
  GAttributeComposite* settings = attributeGroup(AttrId::DocumentGroup);
  const GCountedRef holdSettings(settings);
  GConfiguration* configuration = config();
  const GCountedRef holdConfig(configuration);
  Header header;

  // 1. The job line.
  RWCString name;
  convertToNarrow(start.documentName(), name);
  jobName_ = quotable(name);
  header.add(kUel);
  header.line("JOB NAME=" + Header::quoted(jobName_));

  // 2. A message for the printer's display.
  if (const GStringAttribute* display = textIn(settings, AttrId::DisplayText)) {
    const GValueAttribute* kind = valueIn(settings, AttrId::DisplayKind);
    const char* const command = kind && kind->value() != 0 ? "OPMSG DISPLAY = " : "RDYMSG DISPLAY = ";
    header.line(command + Header::quoted(quotable(display->value())));
  }

  // 3. Copies.
  if (const GValueAttribute* copies = valueIn(settings, AttrId::Copies); copies && copies->value() > 1)
    header.setting("QTY=" + std::to_string(copies->value()));

  // 4. Raw PJL of the user's own, exactly as given.
  if (const GStringAttribute* raw = textIn(settings, AttrId::RawPjl))
    header.add(std::string(raw->value().data(), raw->value().length()));

  // 5. Resolution enhancement: the five keywords name 0 to 4; any other
  // value has none, and no line.
  if (const GValueAttribute* ret = valueIn(settings, AttrId::ResolutionEnhancement);
      ret && ret->value() >= 0 && ret->value() <= 4)
    header.setting(std::string("RET=") + kResolutionEnhancement[ret->value()]);

  // 6. Duplex and binding edge.
  if (const GValueAttribute* duplex = valueIn(settings, AttrId::DuplexBinding)) {
    if (duplex->value() == 0) {
      header.setting("DUPLEX=OFF");
    } else if (duplex->value() == 1 || duplex->value() == 2) {
      header.setting("DUPLEX=ON");
      header.setting(duplex->value() == 1 ? "BINDING=SHORTEDGE" : "BINDING=LONGEDGE");
    }
  }

  // 7. Printing on the back side.
  if (const GValueAttribute* back = valueIn(settings, AttrId::PrintOnBackSide))
    header.setting(back->value() != 0 ? "PRINTONBACKSIDE=ON" : "PRINTONBACKSIDE=OFF");

  // 8. The date and time of the job, from the platform's clock.
  if (const GValueAttribute* stamp = valueIn(settings, AttrId::SendDateTime); stamp && stamp->value() == 1)
    addDateAndTime(header);

  // 9. Cleaning page.
  if (const GValueAttribute* cleaning = valueIn(settings, AttrId::Cleaning))
    header.setting(cleaning->value() != 0 ? "CLEANING=ON" : "CLEANING=OFF");

  // 10. Toner saving.
  if (const GValueAttribute* toner = valueIn(settings, AttrId::Tonersave)) {
    if (toner->value() == 0) header.setting("TONERSAVE=OFF");
    if (toner->value() == 1) header.setting("TONERSAVE=ON");
  }

  // 11. Output bin.
  if (const GValueAttribute* bin = valueIn(settings, AttrId::OutputBin)) {
    const std::string keyword = outputBinKeyword(bin->value(), configuration);
    if (!keyword.empty()) header.setting("OUTBIN=" + keyword);
  }

  // 12. Stapling.
  if (const GValueAttribute* staple = valueIn(settings, AttrId::Staple)) {
    const GValueAttribute* option = valueIn(settings, AttrId::StapleOption);
    if (staple->value() != 0) {
      header.setting("FINISH=STAPLE");
      if (option && option->value() >= 0 && option->value() <= 6)
        header.setting(std::string("STAPLEOPTION=") + kStapleOption[option->value()]);
    } else {
      header.setting("FINISH=NONE");
      if (option && option->value() != 7) header.setting("STAPLEOPTION=NONE");
    }
  }

  // 13. The thermal binder; turning it off is sent once.
  if (GValueAttribute* binder = valueIn(settings, AttrId::Binder)) {
    if (binder->value() == 1) {
      header.setting("FINISH=ON");
      header.setting("FINISHERTYPE=THERMALBINDER");
      header.setting("FINISHEROPTION=REGULARBIND");
    } else if (binder->value() == 3) {
      header.setting("FINISH=NONE");
      binder->setValue(0);
    }
  }

  // 14. Page protection.
  if (const GValueAttribute* protect = valueIn(settings, AttrId::PageProtect); protect && protect->value() >= 0)
    header.setting(std::string("PAGEPROTECT=") + (protect->value() <= 5 ? kPageProtect[protect->value()] : "AUTO"));

  // 15. The paper, by the configuration's paper names.
  if (MPersistentObject* media = settings ? settings->findById(AttrId::Media) : nullptr) {
    const GMedia* entry = dynamic_cast<const GMedia*>(media);
    const int16_t mediaId = entry ? entry->mediaId() : 1;
    if (MPersistentObject* table = configuration ? configuration->findById(AttrId::PaperNameTable) : nullptr) {
      RWCString paper;
      header.setting("PAPER=" + (lookUp(table, mediaId, paper) ? std::string(paper.data(), paper.length())
                                                                : std::string("CUSTOM")));
    }
  }

  // 16. The temperature of tray 1, by the configuration's table.
  if (const GValueAttribute* temperature = valueIn(settings, AttrId::Tray1Temperature)) {
    RWCString text;
    MPersistentObject* table = configuration ? configuration->findById(AttrId::Tray1TemperatureTable) : nullptr;
    if (lookUp(table, temperature->value(), text))
      header.setting("TRAY1TEMP=" + std::string(text.data(), text.length()));
  }

  // 17. Job retention.
  if (const GValueAttribute* hold = valueIn(settings, AttrId::HoldMode); hold && hold->value() >= 0)
    addJobRetention(header, settings, hold->value());

  // 18. The media seen so far are forgotten.
  mediaSeen_.clear();

  // 19. Resolution, and the bits per pixel where the printer offers 2.
  int16_t resolution = 600;
  int16_t bitsPerPixel = 1;
  if (MPersistentObject* group = settings ? settings->findById(AttrId::ResolutionGroup) : nullptr) {
    if (const GValueAttribute* r = valueIn(group, AttrId::Resolution)) resolution = r->value();
    if (const GValueAttribute* b = valueIn(group, AttrId::BitsPerPixel)) bitsPerPixel = b->value();
  }
  header.setting("RESOLUTION=" + std::to_string(static_cast<uint16_t>(resolution)));
  if (twoBitModeOffered(configuration))
    header.setting("BITSPERPIXEL=" + std::to_string(static_cast<uint16_t>(bitsPerPixel)));

  // 20. The extended print area.
  if (const GValueAttribute* area = valueIn(settings, AttrId::ExtendedPrintArea); area && area->value() >= 0)
    header.setting(area->value() == 0 ? "EXTENDEDPRINTAREA=NO" : "EXTENDEDPRINTAREA=YES");

  // 21. The add-ons see the start; what they answer is not used.
  for (RWsize i = 0; i < entries(); ++i) {
    GPeripheral* child = childAt(i);
    if (!child) continue;
    const GCountedRef hold(child);
    GCommandPtr seen(&start);
    child->process(seen);
    // The start stays its holders', whoever they are.
    seen.reset();
  }

  // 22. The language the generator speaks.
  const GStringAttribute* language = textIn(state(), AttrId::LanguageName);
  header.add(std::string("@PJL ENTER LANGUAGE=") +
             (language ? std::string(language->value().data(), language->value().length()) : std::string()) +
             kLineEnd);
  return header.text();
}

GStatus GPJL::onDocumentStart(GDocumentStart* command) {
  if (!command) return 0;
  const GStatus opened = gOpenJobPort(*this, *command, carrier_);
  if (opened != 0) return opened;
  const RWCString header = buildHeader(*command);
  GOutputPort* out = port();
  if (!out) return kStatusNoPort;
  uint32_t written = 0;
  const GStatus status = static_cast<GStatus>(out->writeString(header, written));
  if (status != 0) return status;
  // Asked as the job starts; a stopped job shows at the first page end.
  out->isStopped();
  enterDocument();
  return 0;
}

GStatus GPJL::onDocumentEnd(GDocumentEnd* command) {
  leaveDocument();
  for (RWsize i = 0; i < entries(); ++i) {
    GPeripheral* child = childAt(i);
    if (!child || !command) continue;
    const GCountedRef hold(child);
    GCommandPtr seen(command);
    child->process(seen);
    seen.reset();
  }
  GOutputPort* out = port();
  // A document end without a started job has nowhere to go.
  if (!out) return 0;
  RWCString trailer(kUel);
  trailer += "@PJL EOJ NAME=\"";
  trailer += jobName_;
  trailer += "\"";
  trailer += kLineEnd;
  trailer += kUel;
  uint32_t written = 0;
  GStatus status = static_cast<GStatus>(out->writeString(trailer, written));
  if (status == 0 && ownsPort()) status = static_cast<GStatus>(out->endJob());
  forgetBorrowedPort();
  return status;
}

GStatus GPJL::onJobAbort(GJobAbort* command) {
  leaveDocument();
  // The port's answer is not the job language's: an aborted job is over
  // whatever the port says.
  (void)GPeripheral::onJobAbort(command);
  forgetBorrowedPort();
  return 0;
}

GStatus GPJL::onMedia(GMedia* media) {
  if (media) mediaSeen_.insert(media->copy());
  return 0;
}

// ---- stored form ---------------------------------------------------------------------

RWspace GPJL::levelStoreSize() const { return 4 + mediaSeen_.recursiveStoreSize() + 4 + jobName_.length(); }

template <class Sink>
void GPJL::saveLevel(Sink& sink) const {
  gWriteVersion(sink, version());
  sink << static_cast<const RWCollectable&>(mediaSeen_);
  gWrite(sink, jobName_);
}

template <class Source>
void GPJL::restoreLevel(Source& source) {
  if (!gReadVersion(source, version())) return;
  // What the media seen hold may not name the stage around them.
  MRestoreScope scope(this);
  const RWCollectable::Restored r = RWCollectable::restoreInPlace(source, static_cast<RWCollectable&>(mediaSeen_));
  if (r.failed) return;
  gRead(source, jobName_);
}
