// The stream operations each stored level of the object model is written
// and read with.
//
// A virtual stream keeps its long, int and short operations apart: the
// endian form names the writer's size of each in its header, and a reader of
// other sizes widens or narrows each value by the size of its kind. So a
// level's stored form on a stream is the sequence of those operations as much
// as its bytes, and a level read back with another operation than it was
// written with goes wrong only on such a reader. Each class here is saved to
// a stream that records the operations and restored from one that records
// what it is asked for: both must be the sequence its stored form names.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "core/attrib.h"
#include "core/booklet.h"
#include "core/enumattr.h"
#include "core/passoc.h"
#include "core/state.h"
#include "core/valattr.h"
#include "rw/bstream.h"

namespace {

// L putULong, l putLong, I put(uint32_t), i put(int32_t), S put(uint16_t),
// s put(int16_t), and the same letters for the reads that match them.
class RecordingOut : public RWbostream {
 public:
  explicit RecordingOut(std::ostream& os) : RWbostream(os) {}
  using RWbostream::put;
  RWvostream& putULong(uint32_t v) override {
    ops += 'L';
    return RWbostream::putULong(v);
  }
  RWvostream& putLong(int32_t v) override {
    ops += 'l';
    return RWbostream::putLong(v);
  }
  RWvostream& put(uint32_t v) override {
    ops += 'I';
    return RWbostream::put(v);
  }
  RWvostream& put(int32_t v) override {
    ops += 'i';
    return RWbostream::put(v);
  }
  RWvostream& put(uint16_t v) override {
    ops += 'S';
    return RWbostream::put(v);
  }
  RWvostream& put(int16_t v) override {
    ops += 's';
    return RWbostream::put(v);
  }

  std::string ops;
};

class RecordingIn : public RWbistream {
 public:
  explicit RecordingIn(std::istream& is) : RWbistream(is) {}
  using RWbistream::get;
  RWvistream& getULong(uint32_t& v) override {
    ops += 'L';
    return RWbistream::getULong(v);
  }
  RWvistream& getLong(int32_t& v) override {
    ops += 'l';
    return RWbistream::getLong(v);
  }
  RWvistream& get(uint32_t& v) override {
    ops += 'I';
    return RWbistream::get(v);
  }
  RWvistream& get(int32_t& v) override {
    ops += 'i';
    return RWbistream::get(v);
  }
  RWvistream& get(uint16_t& v) override {
    ops += 'S';
    return RWbistream::get(v);
  }
  RWvistream& get(int16_t& v) override {
    ops += 's';
    return RWbistream::get(v);
  }

  std::string ops;
};

// The operations of what write puts on a recording stream.
std::string opsOf(const std::function<void(RWvostream&)>& write) {
  std::ostringstream buffer;
  RecordingOut out(buffer);
  write(out);
  return out.ops;
}

TEST(LevelOperations, EachLevelIsReadWithTheOperationsItWasWrittenWith) {
  const std::string nil = opsOf([](RWvostream& s) { s << static_cast<const RWCollectable*>(nullptr); });
  const std::string text = opsOf([](RWvostream& s) { RWCString("abc").saveOn(s); });
  // Version, id and serial number; then version and changed flag.
  const std::string root = "LLL";
  const std::string attribute = root + "Li";
  // Version and the count of children.
  const std::string children = "LI";

  const struct {
    const char* name;
    std::function<MPersistentObject*()> make;
    std::string ops;
  } cases[] = {
      {"root", [] { return new MPersistentObject(5); }, root},
      {"composite", [] { return new MPersistentComposite(5); }, root + children},
      {"association list", [] { return new MAssociationList(5); }, root + children + "L"},
      {"association", [] { return new MPersistentAssociation(nullptr, nullptr, 5); }, root + "L" + nil + nil},
      {"attribute composite", [] { return new GAttributeComposite(5); }, attribute + children},
      {"state", [] { return new GState(5); }, attribute + children + "L"},
      {"enumeration", [] { return new GEnumAttribute(5); }, attribute + children + "L" + nil + "S"},
      {"value", [] { return new GValueAttribute(-2, 5); }, attribute + "Ls"},
      {"32-bit value", [] { return new GValue32Attribute(0xDEADBEEF, 5); }, attribute + "LL"},
      {"range", [] { return new GRangeAttribute(-1, 10, 2, 4, 5); }, attribute + "Lssss"},
      {"text", [] { return new GStringAttribute("abc", 5); }, attribute + "L" + text},
      {"booklet entry",
       [] {
         GBookletComposite* entry = new GBookletComposite(3, 4);
         entry->appendPair(-5, 6);
         return entry;
       },
       attribute + "L" + "ss" + "L" + "ss"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<MPersistentObject> original(c.make());
    std::ostringstream written;
    RecordingOut out(written);
    original->saveGuts(out);
    EXPECT_EQ(out.ops, c.ops);

    std::unique_ptr<MPersistentObject> back(original->newSpecies());
    std::istringstream stored(written.str());
    RecordingIn in(stored);
    back->restoreGuts(in);
    EXPECT_EQ(in.ops, c.ops);
    EXPECT_TRUE(in.good());
    EXPECT_EQ(stored.peek(), std::char_traits<char>::eof()) << "every byte read";
    EXPECT_TRUE(back->matches(original.get()));
  }
}

}  // namespace
