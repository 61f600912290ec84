#ifndef TESTKIT_STORE_H
#define TESTKIT_STORE_H

// Object graphs stored and read back: to and from the bytes of a binary
// file, and through a pair of virtual streams.

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "rw/collect.h"
#include "rw/rwfile.h"
#include "rw/vstream.h"
#include "testkit/tmpdir.h"

// The bytes of one object stored as the outermost store of a graph, made in
// a fresh temporary directory.
std::string storedBytes(const RWCollectable* object);
// The graph those bytes hold, restored through the class factory; the
// caller owns it.
RWCollectable* restoredFrom(const std::string& bytes);

// Restores every cut of the object's stored form short of the whole, from a
// binary file and from a little-endian stream, and disposes of whatever
// each brings back: only harm (a crash, or a sanitizer's report) fails.
void restoreEveryCut(const RWCollectable* object);

// Stores the object on an Out stream made with args, and restores it from an
// In stream over the same bytes through the typed restore operator of T.
template <class Out, class In, class T, class... Args>
std::unique_ptr<T> throughStream(const T* object, Args... args) {
  std::stringstream buffer;
  {
    Out out(buffer, args...);
    out << static_cast<const RWCollectable*>(object);
  }
  In in(buffer);
  T* back = nullptr;
  in >> back;
  return std::unique_ptr<T>(back);
}

// The object through each pair of virtual streams in turn: portable, binary,
// little-endian and big-endian. Each answer is what that form restored (null
// when nothing came back).
template <class T>
std::vector<std::unique_ptr<T>> throughEveryStream(const T* object);

// Checks an object's stored form against its bytes written out by hand (a
// whole file store): the bytes it stores, the size it announces, and what
// comes back from the bytes and from every pair of virtual streams, each of
// the object's class and matching it. T is a persistent object class.
template <class T>
void expectStoredForm(const T& object, const std::string& file);

// A test that stores object graphs to a file in a fresh folder.
class StoreTest : public ::testing::Test {
 protected:
  std::string path() const { return dir_.file("tree.bin"); }
  // The bytes of one object stored as the outermost store of a graph.
  std::string storeFile(const RWCollectable* p);
  void putBytes(const std::string& data) const;
  // One object read back through the typed restore operator of T.
  template <class T>
  T* restoreFile() {
    RWFile f(path().c_str(), "rb");
    T* p = nullptr;
    f >> p;
    return p;
  }

  TempDir dir_;
};

#include "rw/bstream.h"
#include "rw/estream.h"
#include "rw/pstream.h"

template <class T>
std::vector<std::unique_ptr<T>> throughEveryStream(const T* object) {
  std::vector<std::unique_ptr<T>> back;
  back.push_back(throughStream<RWpostream, RWpistream>(object));
  back.push_back(throughStream<RWbostream, RWbistream>(object));
  back.push_back(throughStream<RWeostream, RWeistream>(object, RWeostream::LittleEndian));
  back.push_back(throughStream<RWeostream, RWeistream>(object, RWeostream::BigEndian));
  return back;
}

template <class T>
void expectStoredForm(const T& object, const std::string& file) {
  EXPECT_EQ(storedBytes(&object), file);
  // The file opens with its 4-byte mark and the 2-byte class tag.
  EXPECT_EQ(object.binaryStoreSize() + 6, file.size());

  std::unique_ptr<RWCollectable> back(restoredFrom(file));
  auto* restored = dynamic_cast<T*>(back.get());
  ASSERT_NE(restored, nullptr);
  EXPECT_EQ(restored->isA(), object.isA());
  EXPECT_EQ(restored->id(), object.id());
  EXPECT_EQ(restored->serialNumber(), object.serialNumber());
  EXPECT_TRUE(restored->matches(&object));

  for (const std::unique_ptr<T>& streamed : throughEveryStream<T>(&object)) {
    ASSERT_NE(streamed, nullptr);
    EXPECT_EQ(streamed->isA(), object.isA());
    EXPECT_EQ(streamed->id(), object.id());
    EXPECT_TRUE(streamed->matches(&object));
  }
}

#endif
