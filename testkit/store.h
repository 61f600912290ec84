#ifndef TESTKIT_STORE_H
#define TESTKIT_STORE_H

// Object graphs stored and read back: to and from the bytes of a binary
// file, and through a pair of virtual streams.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "rw/collect.h"
#include "rw/rwfile.h"
#include "rw/vstream.h"
#include "testkit/bytes.h"
#include "testkit/tmpdir.h"

// The bytes of one object stored as the outermost store of a graph, made in
// a fresh temporary directory.
std::string storedBytes(const RWCollectable* object);
// The graph those bytes hold, restored through the class factory; the
// caller owns it.
RWCollectable* restoredFrom(const std::string& bytes);

// Restores every cut of the object's stored form short of the whole, from a
// binary file and from a little-endian stream, and disposes of whatever
// each brings back. A cut restores nothing, or leaves the file at its end or
// in error, or the stream failed: a part of an object is never passed off as
// a whole one. Harm (a crash, or a sanitizer's report) fails too.
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

// The object through every form in turn: a binary file, then each pair of
// virtual streams as throughEveryStream has them. visit is called once a
// form with its name (under a SCOPED_TRACE of it) and what that form
// restored through the typed restore operator of T (null when nothing came
// back). Each form restores from its own file or buffer, so visit may store
// what it gets.
template <class T>
void forEachStoreForm(const T* object,
                      const std::function<void(const char* form, std::unique_ptr<T> back)>& visit);

// The bytes of a composite holding firstChild and then a reference to the
// object at read-table index `index`: the composite (made with id 9) is
// stored with its one child, its count raised to 2 and the reference put
// after it.
template <class Composite, class Child>
std::string withReferenceAfter(Child* firstChild, int32_t index);

// The object stored on a little-endian stream, the 4-byte count at `offset`
// past the first place that holds `mark` made 0xFFFFFFFF, and restored from
// the stream; null when nothing came back. An error when the mark is not
// found.
std::unique_ptr<RWCollectable> restoredWithHugeCount(const RWCollectable* object, const std::string& mark,
                                                     size_t offset);

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
  // storeFile's bytes, checked to be as many as the object announces: its
  // own bytes, the 4-byte mark and the 2-byte class tag.
  template <class T>
  std::string stored(const T& object) {
    const std::string bytes = storeFile(&object);
    EXPECT_EQ(object.binaryStoreSize() + 6, bytes.size()) << object.isA();
    return bytes;
  }
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

// A StoreTest whose objects are read back as T.
template <class T>
class StoreTestOf : public StoreTest {
 protected:
  // The object the bytes hold, written to the test's file and read back
  // through the typed restore operator of T.
  std::unique_ptr<T> restored(const std::string& bytes) {
    putBytes(bytes);
    return std::unique_ptr<T>(restoreFile<T>());
  }
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
void forEachStoreForm(const T* object,
                      const std::function<void(const char* form, std::unique_ptr<T> back)>& visit) {
  {
    SCOPED_TRACE("binary file");
    TempDir dir;
    const std::string name = dir.file("form.bin");
    {
      RWFile f(name.c_str(), "wb+");
      f << static_cast<const RWCollectable*>(object);
    }
    T* back = nullptr;
    {
      RWFile f(name.c_str(), "rb");
      f >> back;
    }
    visit("binary file", std::unique_ptr<T>(back));
  }
  const char* const streams[] = {"portable stream", "binary stream", "little-endian stream", "big-endian stream"};
  std::vector<std::unique_ptr<T>> back = throughEveryStream<T>(object);
  for (size_t i = 0; i < back.size(); ++i) {
    SCOPED_TRACE(streams[i]);
    visit(streams[i], std::move(back[i]));
  }
}

template <class Composite, class Child>
std::string withReferenceAfter(Child* firstChild, int32_t index) {
  Composite empty(9);
  const std::string bare = storedBytes(&empty);
  Composite one(9);
  one.insert(firstChild);
  std::string stored = storedBytes(&one);
  // The count is the last field of the empty composite's stored form.
  const size_t countAt = bare.size() - 4;
  EXPECT_EQ(stored.substr(countAt, 4), le32(1));
  stored.replace(countAt, 4, le32(2));
  return stored + bytes({0xFF, 0xFF}) + le32(static_cast<uint32_t>(index));
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
