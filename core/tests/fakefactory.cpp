#include "fakefactory.h"

FatalLog* FatalLog::current = nullptr;

namespace {

class FakeConverter : public GCharsetConverter {
 public:
  uint16_t toUnicode(uint16_t code, int32_t) override { return code; }
  uint16_t fromUnicode(uint16_t character, int32_t) override { return character; }
};

void logShutDown() {
  if (FatalLog::current) FatalLog::current->events.push_back("shutdown");
}

void logAbort(const GFatalReport& r) {
  if (!FatalLog::current) return;
  FatalLog::current->events.push_back("abort");
  FatalLog::current->aborts.push_back(
      {r.kind, r.errorId, std::string(r.sourceName.data(), r.sourceName.length()), r.line});
}

}  // namespace

GCharsetConverter* FakeFactory::createCharsetConverter() {
  ++convertersMade;
  return new FakeConverter;
}

FatalLog::FatalLog() {
  current = this;
  previousShutDown = setDriverServerShutDownHook(logShutDown);
  previousAbort = setFatalAbortHook(logAbort);
}

FatalLog::~FatalLog() {
  setDriverServerShutDownHook(previousShutDown);
  setFatalAbortHook(previousAbort);
  current = nullptr;
}
