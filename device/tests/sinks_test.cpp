// The object registry's three maps, the output gate and the buffered byte
// sink: what each keeps, hands over and passes down.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/valattr.h"
#include "device/registry.h"
#include "device/sinks.h"
#include "graphics/brush.h"
#include "graphics/font.h"
#include "graphics/pen.h"
#include "journal/ctlcmds.h"

namespace {

// ---- the registry -------------------------------------------------------------------

// A counted object the test can watch die.
class Watched : public GValueAttribute {
 public:
  Watched(int16_t value, int* alive) : GValueAttribute(value, 1), alive_(alive) { ++*alive_; }
  Watched(const Watched& other) : GValueAttribute(other), alive_(other.alive_) { ++*alive_; }
  ~Watched() override { --*alive_; }
  Watched* copy() const override { return new Watched(*this); }

 private:
  int* alive_;
};

TEST(ObjectRegistry, KeysDifferingInTheLowThreeBitsShareABucketAndBothStay) {
  int alive = 0;
  GObjectRegistry registry(0x77);
  const uintptr_t k1 = 0x1000;
  const uintptr_t k2 = 0x1007;
  ASSERT_EQ(GObjectRegistry::bucketOf(k1), GObjectRegistry::bucketOf(k2));
  ASSERT_NE(GObjectRegistry::bucketOf(k1), GObjectRegistry::bucketOf(k1 + 8));
  registry.set(k1, new Watched(1, &alive));
  registry.set(k2, new Watched(2, &alive));
  registry.set(k1 + 64 * 8, new Watched(3, &alive));  // the same bucket again, another hash
  EXPECT_EQ(registry.entries(), 3u);
  EXPECT_EQ(static_cast<GValueAttribute*>(registry.get(k1))->value(), 1);
  EXPECT_EQ(static_cast<GValueAttribute*>(registry.get(k2))->value(), 2);
  EXPECT_EQ(static_cast<GValueAttribute*>(registry.get(k1 + 64 * 8))->value(), 3);

  registry.set(k1, new Watched(4, &alive));
  EXPECT_EQ(alive, 3) << "the object replaced lost its last reference";
  EXPECT_EQ(registry.entries(), 3u);
  EXPECT_TRUE(registry.remove(k2));
  EXPECT_FALSE(registry.remove(k2));
  EXPECT_EQ(alive, 2);
  EXPECT_EQ(static_cast<GValueAttribute*>(registry.get(k1))->value(), 4);
}

TEST(ObjectRegistry, GetAndCopyOfAddEmptyEntriesAndContainsDoesNot) {
  int alive = 0;
  GObjectRegistry registry;
  EXPECT_FALSE(registry.contains(0x40));
  EXPECT_EQ(registry.entries(), 0u);
  EXPECT_EQ(registry.get(0x40), nullptr);
  EXPECT_EQ(registry.entries(), 1u);
  EXPECT_TRUE(registry.contains(0x40));
  EXPECT_FALSE(registry.remove(0x40)) << "an empty entry held no object";
  EXPECT_EQ(registry.entries(), 0u);

  EXPECT_EQ(registry.copyOfC(0x48), nullptr);
  EXPECT_EQ(registry.entriesC(), 1u);
  EXPECT_FALSE(registry.containsFont(0x48));
  EXPECT_EQ(registry.fontEntries(), 0u);

  registry.setC(0x50, new Watched(9, &alive));
  std::unique_ptr<MPersistentObject> copy(registry.copyOfC(0x50));
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy.get(), registry.getC(0x50));
  EXPECT_EQ(alive, 2);
}

TEST(ObjectRegistry, TakeAnswersAnObjectThatLivesWhileTheAnswerIsHeld) {
  int alive = 0;
  GObjectRegistry registry;
  registry.set(0x10, new Watched(5, &alive));
  {
    GCountedRef taken = registry.take(0x10);
    ASSERT_FALSE(taken.isNil());
    EXPECT_FALSE(registry.contains(0x10));
    EXPECT_EQ(alive, 1) << "the registry held the last reference, the answer keeps it";
    EXPECT_EQ(static_cast<GValueAttribute*>(taken.get())->value(), 5);
  }
  EXPECT_EQ(alive, 0);
  EXPECT_TRUE(registry.take(0x10).isNil());
}

TEST(ObjectRegistry, TransferToMovesEverythingAndStampsTheFontsWithTheTargetsOwner) {
  int alive = 0;
  auto source = std::make_unique<GObjectRegistry>(0x1111);
  GObjectRegistry target(0x2222);
  source->set(0x10, new Watched(1, &alive));
  source->setC(0x20, new Watched(2, &alive));
  auto* font = new GFont;
  font->setEngineOwner(0x99);
  source->setFont(0x30, font);
  target.setFont(0x38, new GFont);
  GFont* oldFont = new GFont;
  GCountedRef watchOld(oldFont);
  target.setFont(0x40, oldFont);

  source->transferTo(target);
  EXPECT_EQ(source->entries() + source->fontEntries() + source->entriesC(), 0u) << "the source is empty";
  EXPECT_EQ(static_cast<GValueAttribute*>(target.get(0x10))->value(), 1);
  EXPECT_EQ(static_cast<GValueAttribute*>(target.getC(0x20))->value(), 2);
  EXPECT_TRUE(target.containsFont(0x30));
  EXPECT_EQ(font->owner(), 0x2222u);
  EXPECT_FALSE(target.containsFont(0x40)) << "the target's former fonts went to the source, which released them";
  EXPECT_EQ(oldFont->references(), 1) << "only the test's reference is left";

  EXPECT_TRUE(target.removeFont(0x30));
  EXPECT_FALSE(target.removeFont(0x30));
  source.reset();
  EXPECT_EQ(alive, 2) << "the target still holds both objects";
}

TEST(ObjectRegistry, RemovingAFontClearsItsEngineOwner) {
  GObjectRegistry registry;
  GFont* font = new GFont;
  GCountedRef held(font);
  font->setEngineOwner(0x1234);
  registry.setFont(8, font);
  EXPECT_TRUE(registry.removeFont(8));
  EXPECT_EQ(font->engineOwner(), 0u);
  EXPECT_EQ(registry.fontEntries(), 0u);

  EXPECT_EQ(registry.generation(), 1);
  EXPECT_EQ(registry.nextGeneration(), 2);
  registry.resetGeneration();
  EXPECT_EQ(registry.generation(), 1);
}

TEST(ObjectRegistry, NullBrushesAndPensAreMadeFreshForTheCaller) {
  GObjectRegistry registry;
  const std::unique_ptr<GNoBrush> brush(registry.makeNullBrush());
  const std::unique_ptr<GNoBrush> otherBrush(registry.makeNullBrush());
  const std::unique_ptr<GNoPen> pen(registry.makeNullPen());
  const std::unique_ptr<GNoPen> otherPen(registry.makeNullPen());
  ASSERT_TRUE(brush && otherBrush && pen && otherPen);
  EXPECT_NE(brush.get(), otherBrush.get());
  EXPECT_NE(pen.get(), otherPen.get());
  EXPECT_EQ(brush->isA(), ClassId::GNoBrush);
  EXPECT_EQ(pen->isA(), ClassId::GNoPen);
  EXPECT_EQ(brush->paint(), nullptr);
  EXPECT_EQ(pen->paint(), nullptr);
  EXPECT_EQ(pen->width(), 0) << "made as the default null pen";
  EXPECT_EQ(brush->references(), 0) << "no one holds a reference: the caller owns it";
  EXPECT_EQ(registry.entries() + registry.entriesC() + registry.fontEntries(), 0u);
}

// ---- the output gate ----------------------------------------------------------------

struct TargetLog {
  int polls = 0;
  int deleted = 0;
  GStatus answer = 0;
};

class LoggingTarget : public GSinkTarget {
 public:
  LoggingTarget(TargetLog* log, bool accepting) : log_(log), accepting_(accepting) {}
  ~LoggingTarget() override { ++log_->deleted; }
  int32_t attached(GForwardingSink*, uint32_t value) override { return static_cast<int32_t>(value) + 1; }
  [[nodiscard]] GStatus poll() override {
    ++log_->polls;
    return log_->answer;
  }
  void receive(uintptr_t) override {}
  void receiveFour(uintptr_t, uintptr_t, uintptr_t, uintptr_t) override {}
  bool accepts(uint32_t) override { return accepting_; }

 private:
  TargetLog* log_;
  bool accepting_;
};

TEST(ForwardingSink, AfterMarkEverythingPassesUntilTheMarkedCommandHasPassed) {
  TargetLog log;
  log.answer = 7;
  GForwardingSink gate;
  EXPECT_EQ(gate.poll(nullptr), 0) << "no target";
  EXPECT_EQ(gate.attach(new LoggingTarget(&log, true), 4), 5);
  GJobAbort marked;
  GJobAbort other;
  EXPECT_EQ(gate.poll(&other), 7);

  gate.mark(&marked);
  EXPECT_EQ(gate.poll(&other), 0);
  EXPECT_EQ(gate.poll(&other), 0);
  EXPECT_EQ(log.polls, 1) << "the target is not asked while a command is marked";
  EXPECT_EQ(gate.poll(&marked), 0) << "the marked one passes";
  EXPECT_EQ(gate.poll(&other), 7);
  EXPECT_EQ(log.polls, 2);

  gate.mark(&marked);
  gate.unmark();
  EXPECT_EQ(gate.poll(&other), 7) << "a mark taken back";
}

TEST(ForwardingSink, CheckDropsATargetThatRefuses) {
  TargetLog log;
  GForwardingSink gate;
  EXPECT_EQ(gate.check(1), 2);
  gate.attach(new LoggingTarget(&log, true), 0);
  EXPECT_EQ(gate.check(1), 1);
  gate.attach(new LoggingTarget(&log, false), 0);
  EXPECT_EQ(log.deleted, 1) << "the target replaced";
  EXPECT_EQ(gate.check(1), 2);
  EXPECT_EQ(log.polls, 1);
  EXPECT_EQ(log.deleted, 2);
  EXPECT_EQ(gate.target(), nullptr);
}

// ---- the buffered sink --------------------------------------------------------------

struct Write {
  int32_t length;
  int16_t tag;
  uint32_t streamTag;
  unsigned char first;
};

class Downstream : public GOutputSink {
 public:
  [[nodiscard]] GStatus flush() override { return 0; }
  [[nodiscard]] GStatus write(const unsigned char* data, int32_t length, int16_t tag, uint32_t streamTag, int32_t,
                int32_t) override {
    writes.push_back({length, tag, streamTag, data[0]});
    return answer;
  }
  bool accepts(RWClassID) const override { return false; }
  bool hasData() const override { return false; }

  std::vector<Write> writes;
  GStatus answer = 0;
};

std::vector<int32_t> lengths(const Downstream& d) {
  std::vector<int32_t> out;
  for (const Write& w : d.writes) out.push_back(w.length);
  return out;
}

TEST(BufferedSink, SmallWritesGatherAndLargeOnesPass) {
  const std::vector<unsigned char> data(40000, 0xAB);
  const struct {
    const char* name;
    std::vector<int32_t> writes;
    std::vector<int32_t> passed;  // before the final flush
    std::vector<int32_t> flushed;
  } cases[] = {
      {"5631 is kept", {5631}, {}, {5631}},
      {"5632 passes", {5632}, {5632}, {}},
      {"6000 and 6000 pass on their own", {6000, 6000}, {6000, 6000}, {}},
      {"the third flushes 10000 first", {5000, 5000, 2000}, {10000}, {2000}},
      {"a full buffer stays", {5000, 5000, 1264}, {}, {11264}},
      {"kept data goes before a large write", {100, 6000}, {100, 6000}, {}},
      {"40000 go down as 32767 and 7233", {40000}, {32767, 7233}, {}},
      {"nothing to write", {0}, {}, {}},
  };
  for (const auto& c : cases) {
    Downstream down;
    GBufferedSink sink;
    sink.attach(0, &down);
    for (int32_t n : c.writes) EXPECT_EQ(sink.write(data.data(), n, 3, 9), 0) << c.name;
    EXPECT_EQ(lengths(down), c.passed) << c.name;
    EXPECT_EQ(sink.hasData(), !c.flushed.empty()) << c.name;
    const size_t before = down.writes.size();
    EXPECT_EQ(sink.flush(), 0);
    const std::vector<int32_t> all = lengths(down);
    EXPECT_EQ(std::vector<int32_t>(all.begin() + static_cast<long>(before), all.end()), c.flushed) << c.name;
    for (const Write& w : down.writes) EXPECT_TRUE(w.tag == 3 && w.streamTag == 9) << c.name;
  }
}

TEST(BufferedSink, AChangeOfTagFlushesTheBufferUnderItsOwnTags) {
  const unsigned char a[] = {'a', 'a'};
  const unsigned char b[] = {'b'};
  Downstream down;
  GBufferedSink sink;
  sink.attach(0, &down);
  EXPECT_EQ(sink.write(a, 2, 1, 10), 0);
  EXPECT_EQ(sink.write(b, 1, 1, 11), 0);
  EXPECT_EQ(sink.write(a, 2, 2, 11), 0);
  EXPECT_EQ(sink.flush(), 0);
  ASSERT_EQ(down.writes.size(), 3u);
  EXPECT_TRUE(down.writes[0].length == 2 && down.writes[0].streamTag == 10 && down.writes[0].first == 'a');
  EXPECT_TRUE(down.writes[1].length == 1 && down.writes[1].streamTag == 11 && down.writes[1].tag == 1);
  EXPECT_TRUE(down.writes[2].length == 2 && down.writes[2].tag == 2 && down.writes[2].first == 'a');
}

TEST(BufferedSink, AFailedFlushEmptiesTheBufferAndIsReported) {
  const unsigned char a[] = {'a', 'a'};
  Downstream down;
  down.answer = 5;
  GBufferedSink sink;
  sink.attach(0, &down);
  EXPECT_EQ(sink.write(a, 2, 1, 1), 0);
  EXPECT_EQ(sink.write(a, 2, 1, 2), 5) << "the flush the new tag needs fails";
  EXPECT_FALSE(sink.hasData());
  EXPECT_EQ(sink.flush(), 0);
  EXPECT_EQ(down.writes.size(), 1u) << "refused data is not sent again";

  EXPECT_TRUE(sink.accepts(ClassId::GPassThroughCommand));
  EXPECT_FALSE(sink.accepts(ClassId::GJobAbort));
  GOutputSink& base = down;
  EXPECT_EQ(base.GOutputSink::receive(0), 501);
  EXPECT_EQ(base.GOutputSink::write(a, 2, 0, 0), 501);
}

}  // namespace
