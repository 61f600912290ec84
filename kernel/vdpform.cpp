#include "kernel/vdpform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

#include "core/attrib.h"
#include "core/attrids.h"
#include "device/capabil.h"
#include "device/config.h"
#include "device/device.h"
#include "device/setread.h"
#include "journal/ctlcmds.h"
#include "journal/periph.h"
#include "journal/passthru.h"
#include "kernel/runtime.h"

using SettingRead::lookUp;

namespace {

// The generator's processing flags that rule forms out, and the value that
// says the flags have not been read.
constexpr uint32_t kNoFormsProcessing = 0x4 | 0x10 | 0x20;
constexpr uint32_t kFlagsUnread = 0x8000;

// The download-header kind that puts the PostScript generator into its
// pass-through mode.
constexpr int32_t kPassThroughHeader = 19;

// Capability 0 of 750: the printer keeps no forms. The others, in the order
// of the mask's bits 0x1, 0x2, 0x4 ...
constexpr uint32_t kNoForms = 0;
constexpr uint32_t kMaskCapabilities[] = {1, 2, 3, 4, 5, 11, 6, 7, 8, 9, 10};

// What the text of realToText may take: sign, ten digits, point, four
// digits, space and the end.
constexpr size_t kRealTextSize = 30;

constexpr char kEndMarker[] = "%%VDP_ENDFORM\n";
constexpr char kFormFolder[] = "%disk0%QX_VDP1.0/";
constexpr char kGeneratedName[] = "QXVDPFORM";

// The procedures a definition installs ahead of the form resource: STORE
// copies the job's bytes up to the end marker into the named file, nfexec
// executes a stored form.
constexpr char kStoreProcedures[] =
    "            /STORE % <pathname> store -\n"
    "            {\n"
    "                /tempstr 2024 string def\n"
    "                /tmpfile exch (w)file def\n"
    "                /srcfile currentfile 0 (%%VDP_ENDFORM) /SubFileDecode filter def\n"
    "                {\n"
    "                    srcfile tempstr readstring\n"
    "                    {tmpfile exch writestring}\n"
    "                    {dup length 0 ne\n"
    "                        {tmpfile exch writestring}\n"
    "                        {pop}ifelse\n"
    "                        tmpfile flushfile tmpfile closefile\n"
    "                        srcfile closefile exit\n"
    "                    }ifelse\n"
    "                }loop\n"
    "            } bind def\n"
    "            \n"
    "            /nfexec { /Form findresource /QX_execform where {pop QX_execform}\n"
    "                {execform}ifelse } bind def\n"
    "            \n"
    "            /";

uint16_t le16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | (at[1] << 8)); }

uint32_t le32(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
         static_cast<uint32_t>(at[3]) << 24;
}

// A form record the escapes may read: present, whole and marked.
bool isRecord(const uint8_t* record, size_t size) {
  return record && size >= VdpFormRecord::kSize && le16(record + VdpFormRecord::kMarkerOffset) == VdpFormRecord::kMarker;
}

// The name field as a string: up to its first 0, never past its 32 bytes.
RWCString nameIn(const uint8_t* field) {
  const void* end = std::memchr(field, 0, VdpFormRecord::kNameBytes);
  const size_t length =
      end ? static_cast<size_t>(static_cast<const uint8_t*>(end) - field) : VdpFormRecord::kNameBytes;
  return RWCString(reinterpret_cast<const char*>(field), length);
}

uint32_t nameHash(const uint8_t* field) { return nameIn(field).hash(); }

// A character a stored name may hold: printable, and nothing that would
// end a PostScript name or string, or reach outside the forms' folder.
bool isNameCharacter(uint8_t c) {
  if (c < 0x21 || c > 0x7E) return false;
  return std::strchr("()<>[]{}/%\\", c) == nullptr;
}

void appendNumber(std::string& text, uint32_t value) { text += std::to_string(value); }

// Sends the bytes to the device's generator as they are: 0 on success.
[[nodiscard]] GStatus sendText(GDevice& device, const std::string& text) {
  // A text longer than a pass-through command carries is never built: the
  // longest, a definition's, holds a name of at most 32 bytes three times.
  if (text.size() > 0xFFFF) return 1;
  return device.sendDrawing(new GPassThroughCommand(reinterpret_cast<const unsigned char*>(text.data()),
                                                    static_cast<uint16_t>(text.size()),
                                                    device.generatorClass()));
}

}  // namespace

GFormTableNT::GFormTableNT(GDevice& device) : device_(device) { reset(); }
GFormTableNT::~GFormTableNT() = default;

void GFormTableNT::reset() {
  available_ = -1;
  mask_ = -1;
  currentHash_ = 0;
  givenHash_ = 0;
  inDefinition_ = 0;
  counter_ = 1;
  processingFlags_ = kFlagsUnread;
  names_.clear();
}

uint16_t GFormTableNT::beginForm(const uint8_t* record, size_t size) {
  // An open definition is refused before the name is looked at, so that
  // the name given at its begin stays the one its end is compared with.
  if (inDefinition_ || !isRecord(record, size) || !formsAvailable()) return 0;

  // The name field and the byte behind it, which ends a 32-byte name.
  uint8_t name[VdpFormRecord::kNameBytes + 1];
  std::memcpy(name, record + VdpFormRecord::kName, sizeof name);
  if (!checkFormName(name, sizeof name)) return 0;
  const RWCString formName = nameIn(name);
  currentHash_ = formName.hash();
  names_.emplace(currentHash_, formName);

  uint16_t intent = le16(record + VdpFormRecord::kIntent);
  if (intent < 1 || intent > 3) intent = 0;
  const std::string nameText(formName.data(), formName.length());

  std::string text = kStoreProcedures;
  text += nameText;
  text += "\n<<\n /FormType 1\n /Matrix [ 1 0 0 1 0 0 ]\n /FormIntent ";
  appendNumber(text, intent);
  text += "\n  /PaintProc\n {\n    begin\n     1 dict begin\n     gsave\n     (";
  text += kFormFolder;
  text += nameText;
  text += ".ps) run\n     grestore\n     end\n    end\n } bind\n /BBox [ ";
  for (int i = 0; i < 4; ++i) {
    appendNumber(text, le16(record + VdpFormRecord::kBox + 2 * i));
    text += " ";
  }
  text += "]\n>> /Form defineresource pop\n(";
  text += kFormFolder;
  text += nameText;
  text += ".ps) STORE\n";
  text += "\n  /showpage {} def\n";

  if (sendText(device_, text) != 0) return 0;
  // A failed send has aborted the job on the printer, STORE with it.
  if (device_.sendDrawing(new GDownloadHeaderCommand(kPassThroughHeader, 0)) != 0) return 0;
  inDefinition_ = 1;
  return 1;
}

uint16_t GFormTableNT::endForm(const uint8_t* input, size_t inputSize, uint8_t* output, size_t outputSize) {
  if (!inDefinition_) return 0;
  // Whatever the outcome, the definition ends here, and the printer's STORE
  // is told so: only a form whose end was accepted keeps its entry.
  const bool accepted = isRecord(input, inputSize) && output && outputSize >= VdpFormRecord::kSize &&
                        formsAvailable() && nameHash(input + VdpFormRecord::kName) == givenHash_;
  const RWCString* stored = storedName(currentHash_);
  const GStatus sent = sendText(device_, kEndMarker);
  uint16_t answer = 0;
  if (accepted && stored && sent == 0) {
    output[0] = static_cast<uint8_t>(VdpFormRecord::kMarker);
    output[1] = 0;
    uint8_t* name = output + VdpFormRecord::kName;
    std::memset(name, 0, VdpFormRecord::kNameBytes);
    std::memcpy(name, stored->data(), std::min<size_t>(stored->length(), VdpFormRecord::kNameBytes));
    output[VdpFormRecord::kEndWord] = VdpFormRecord::kEndWordValue & 0xFF;
    output[VdpFormRecord::kEndWord + 1] = VdpFormRecord::kEndWordValue >> 8;
    answer = 1;
  }
  if (answer != 1) names_.erase(currentHash_);
  inDefinition_ = 0;
  return answer;
}

uint16_t GFormTableNT::closeOpenDefinition() {
  if (!inDefinition_) return 0;
  // A send that fails leaves the device in its error state, which the job's
  // end reports; the definition is closed either way.
  (void)sendText(device_, kEndMarker);
  // The application never learnt the form's name: it goes as a refused end
  // would take it.
  names_.erase(currentHash_);
  inDefinition_ = 0;
  return 1;
}

uint16_t GFormTableNT::executeForm(const uint8_t* record, size_t size) {
  if (inDefinition_ || !isRecord(record, size) || !formsAvailable()) return 0;
  const RWCString* stored = storedName(nameHash(record + VdpFormRecord::kName));
  if (!stored) return 0;

  std::string text = "gsave\n[ ";
  for (int i = 0; i < 6; ++i) {
    const GReal value = GReal::fromSingleBits(le32(record + VdpFormRecord::kMatrix + 4 * i));
    char* number = realToText(value);
    if (!number) return 0;
    text += number;
    text += " ";
    kernelHeapFree(number);
  }
  text += " ] concat";
  text += "\n";
  text += "/";
  text.append(stored->data(), stored->length());
  text += " nfexec\ngrestore\n";
  return sendText(device_, text) == 0 ? 1 : 0;
}

uint16_t GFormTableNT::deleteForm(const uint8_t* record, size_t size) {
  // While a definition is open the text would land in the form being
  // stored instead of deleting anything.
  if (inDefinition_ || !isRecord(record, size) || !formsAvailable()) return 0;
  const uint32_t hash = nameHash(record + VdpFormRecord::kName);
  const RWCString* stored = storedName(hash);
  if (!stored) return 0;

  std::string text = "(";
  text += kFormFolder;
  text.append(stored->data(), stored->length());
  text += ".ps) ";
  text += "deletefile";
  text += "\n";
  if (sendText(device_, text) != 0) return 0;
  names_.erase(hash);
  return 1;
}

uint16_t GFormTableNT::formCapabilities(uint8_t* output, size_t outputSize) {
  if (!output || outputSize < 2 || !formsAvailable()) return 0;
  const uint32_t mask = static_cast<uint32_t>(mask_) & 0xFFFF;
  output[0] = static_cast<uint8_t>(mask);
  output[1] = static_cast<uint8_t>(mask >> 8);
  return 1;
}

uint16_t GFormTableNT::formsAvailable() {
  uint16_t available = 0;
  // Settings that cannot be assembled leave the job's as they were.
  GAttributeComposite* settings = device_.assembleSettings();
  if (settings) device_.setSettings(settings);
  int16_t diskForms = 0;
  if (SettingRead::readValue(lookUp(settings, AttrId::DocumentSettings), AttrId::DiskForms, diskForms) && diskForms != 0)
    available = 1;

  if (available) {
    available = 0;
    GStatus status = 0;
    if (device_.documentPending() == 1) {
      status = device_.sendDrawing(new GNoCommand(0));
      processingFlags_ = kFlagsUnread;
    }
    if (status == 0) {
      if (processingFlags_ == kFlagsUnread) {
        // Without a generator there is nothing to read the flags of, and
        // nowhere for a form to go.
        GPeripheral* generator = device_.pdlGenerator();
        if (generator) processingFlags_ = generator->processingFlags();
      }
      if (processingFlags_ != kFlagsUnread && (processingFlags_ & kNoFormsProcessing) == 0) available = 1;
    }
  }

  if (available) {
    // The form capabilities count only when the device found the job's
    // capability 0 of 565 clear. A printer that keeps no forms says so
    // each time; the mask, once computed, is only reported.
    const GCapabilities* capabilities = nullptr;
    if (device_.passThroughAllowed())
      capabilities = dynamic_cast<const GCapabilities*>(
          lookUp(lookUp(device_.printerConfig(), AttrId::CapabilitySets), AttrId::FormCapabilities));
    if (capabilities && capabilities->contains(kNoForms)) available = 0;
    if (mask_ == -1) {
      int32_t mask = 0;
      if (capabilities)
        for (size_t bit = 0; bit < std::size(kMaskCapabilities); ++bit)
          if (capabilities->contains(kMaskCapabilities[bit])) mask |= 1 << bit;
      mask_ = mask;
    }
  }
  available_ = available;
  return available;
}

uint16_t GFormTableNT::checkFormName(uint8_t* name, size_t size) {
  if (!name || size < VdpFormRecord::kNameBytes + 1) return 0;
  const RWCString given = nameIn(name);
  givenHash_ = given.hash();

  // The name ends within the field, or at the byte behind a full one.
  size_t length = 0;
  while (length <= VdpFormRecord::kNameBytes && name[length] != 0) ++length;
  bool keep = length >= 1 && length <= VdpFormRecord::kNameBytes && !contains(givenHash_);
  for (size_t i = 0; keep && i < length; ++i) keep = isNameCharacter(name[i]);
  if (keep) return 1;

  char generated[VdpFormRecord::kNameBytes + 1];
  const int written = std::snprintf(generated, sizeof generated, "%s%u", kGeneratedName, counter_);
  std::memset(name, 0, VdpFormRecord::kNameBytes + 1);
  std::memcpy(name, generated, static_cast<size_t>(written));
  ++counter_;
  return 1;
}

char* GFormTableNT::realToText(GReal value) {
  // Not a number equals nothing, itself included; the integer part must
  // fit 31 bits (2^31 is the single 0x4F000000).
  const GReal limit = GReal::fromSingleBits(0x4F000000u);
  if (!(value == value) || value >= limit || value <= -limit) return nullptr;

  char sign = ' ';
  if (value < GReal(0)) {
    sign = '-';
    value = -value;
  }
  const int32_t whole = value.integerPart();
  const int32_t fraction = ((value - GReal(whole)) * GReal(10000)).integerPart();
  const char* zeros = fraction <= 9 ? "000" : fraction < 100 ? "00" : fraction < 1000 ? "0" : "";

  char* text = static_cast<char*>(kernelHeapAlloc(kRealTextSize));
  if (!text) return nullptr;
  int written = 0;
  if (fraction == 0)
    written = std::snprintf(text, kRealTextSize, "%c%ld ", sign, static_cast<long>(whole));
  else if (whole != 0)
    written = std::snprintf(text, kRealTextSize, "%c%ld.%s%lu ", sign, static_cast<long>(whole), zeros,
                            static_cast<unsigned long>(fraction));
  else
    written = std::snprintf(text, kRealTextSize, "%c.%s%lu ", sign, zeros, static_cast<unsigned long>(fraction));
  if (written < 0 || static_cast<size_t>(written) >= kRealTextSize) {
    kernelHeapFree(text);
    return nullptr;
  }
  return text;
}

const RWCString* GFormTableNT::storedName(uint32_t hash) const {
  auto it = names_.find(hash);
  return it == names_.end() ? nullptr : &it->second;
}
