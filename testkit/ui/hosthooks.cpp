#include "testkit/ui/hosthooks.h"

#include <string>
#include <vector>

#include "core/attrib.h"
#include "core/dispstr.h"
#include "core/textconv.h"

uihost::Hooks uiHostHooks() {
  uihost::Hooks hooks;
  hooks.displayString = [](const GDisplayString* s, uint16_t& id, RWWString& text) {
    if (!s) return false;
    id = s->stringId();
    (void)convertToWide(s->text(), text);  // answers 1 always
    return true;
  };
  hooks.removeScratch = [](GAttributeComposite* settings) {
    // Depth first, so a group nested deeper goes too; each removal answers
    // the removed object, which is ours to delete.
    while (settings->findById(AttrId::UiScratch)) delete settings->removeById(AttrId::UiScratch);
  };
  return hooks;
}

void UIHostTest::SetUp() {
  uihost::reset();
  uihost::setHooks(uiHostHooks());
}

void UIHostTest::TearDown() {
  std::vector<std::string> faults = uihost::misuse();
  for (const std::string& open : uihost::openObjects()) faults.push_back("left open: " + open);
  if (faults.size() != expectedMisuse_) {
    std::string all;
    for (const std::string& f : faults) all += "\n  " + f;
    ADD_FAILURE() << faults.size() << " misuse(s) of the platform, " << expectedMisuse_ << " expected:" << all;
  }
  uihost::clearMisuse();
  uihost::reset();
  uihost::clearMisuse();
}
