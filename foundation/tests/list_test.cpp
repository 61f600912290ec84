// Intrusive singly and doubly linked lists and the pointer list.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rw/idlist.h"
#include "rw/islist.h"
#include "rw/rwerr.h"
#include "rw/slist.h"
#include "testkit/reports.h"

namespace {

class ListTest : public ::testing::Test {
 protected:
  // Every report the lists make is an index error.
  void TearDown() override {
    for (const CapturedReport& r : reports.all()) EXPECT_TRUE(r.bounds) << r.text;
  }
  ReportLog reports;
};

const std::string nposErr = "[NPOSINDEX] The value RW_NPOS cannot be used as an index.";

struct SNode : RWIsvSlink {
  explicit SNode(int v) : value(v) {}
  int value;
};

struct DNode : RWIsvDlink {
  explicit DNode(int v) : value(v) {}
  int value;
};

// The values from head to tail, checking the count and the last link on the way.
std::vector<int> values(const RWIsvSlist& s) {
  std::vector<int> out;
  const RWIsvSlink* prev = s.headLink();
  for (RWIsvSlink* a = s.headLink()->next(); a != s.tailLink(); a = a->next()) {
    out.push_back(static_cast<SNode*>(a)->value);
    prev = a;
  }
  EXPECT_EQ(s.entries(), out.size());
  EXPECT_EQ(s.tailLink()->next(), s.tailLink());
  EXPECT_EQ(s.last(), out.empty() ? nullptr : prev);
  return out;
}

// Checks both directions agree.
std::vector<int> values(const RWIsvDlist& s) {
  std::vector<int> out, back;
  for (RWIsvDlink* a = s.headLink()->next(); a != s.tailLink(); a = a->next()) out.push_back(static_cast<DNode*>(a)->value);
  for (RWIsvDlink* a = s.tailLink()->prev(); a != s.headLink(); a = a->prev()) back.insert(back.begin(), static_cast<DNode*>(a)->value);
  EXPECT_EQ(out, back);
  EXPECT_EQ(s.entries(), out.size());
  return out;
}

using V = std::vector<int>;

TEST_F(ListTest, FreshSinglyLinkedList) {
  RWIsvSlist s;
  EXPECT_EQ(s.entries(), 0u);
  EXPECT_TRUE(s.isEmpty());
  EXPECT_EQ(s.last(), nullptr);
  EXPECT_EQ(s.first(), nullptr);
  EXPECT_EQ(s.headLink()->next(), s.tailLink());

  SNode a(1);
  EXPECT_EQ(s.at(0), nullptr);
  EXPECT_EQ(s.at(RW_NPOS), nullptr);
  EXPECT_EQ(s.removeAt(0), nullptr);
  s.insertAt(1, &a);  // beyond the count: nothing linked
  EXPECT_EQ(reports.texts(), (std::vector<std::string>{indexErr(0, 0), nposErr, indexErr(0, 0), indexErr(1, 0)}));
  EXPECT_EQ(values(s), V{});
  EXPECT_EQ(s.removeFirst(), nullptr);

  RWIsvSlist one(&a);
  EXPECT_EQ(values(one), V{1});
}

TEST_F(ListTest, SinglyLinkedInsertAndRemoveByIndex) {
  SNode n1(1), n2(2), n3(3), n4(4);
  RWIsvSlist s;
  s.insertAt(0, &n2);
  s.insertAt(1, &n4);  // at the count: appends
  s.insertAt(0, &n1);
  s.insertAt(2, &n3);
  EXPECT_EQ(values(s), (V{1, 2, 3, 4}));
  EXPECT_EQ(s.at(3), &n4);
  EXPECT_EQ(s.at(4), nullptr);
  ASSERT_EQ(reports.texts(), (std::vector<std::string>{indexErr(4, 4)}));

  // Removing the last link moves last back, so an append lands after it.
  EXPECT_EQ(s.removeAt(3), &n4);
  EXPECT_EQ(s.last(), &n3);
  EXPECT_EQ(values(s), (V{1, 2, 3}));
  s.append(&n4);
  EXPECT_EQ(values(s), (V{1, 2, 3, 4}));
  EXPECT_EQ(s.removeAt(0), &n1);
  EXPECT_EQ(s.removeAt(1), &n3);
  EXPECT_EQ(values(s), (V{2, 4}));
  s.prepend(&n1);
  EXPECT_EQ(values(s), (V{1, 2, 4}));
  EXPECT_EQ(s.removeFirst(), &n1);
  EXPECT_EQ(s.removeFirst(), &n2);
  EXPECT_EQ(s.removeFirst(), &n4);
  EXPECT_EQ(values(s), V{});
  EXPECT_EQ(s.removeAt(RW_NPOS), nullptr);
  EXPECT_EQ(reports.texts().back(), nposErr);
}

TEST_F(ListTest, SinglyLinkedLinkOperations) {
  SNode n1(1), n2(2), n3(3), foreign(9);
  RWIsvSlist s;
  s.append(&n1);
  s.append(&n2);
  s.append(&n3);

  EXPECT_TRUE(s.containsLink(&n2));
  EXPECT_FALSE(s.containsLink(&foreign));
  EXPECT_FALSE(s.containsLink(nullptr));
  EXPECT_EQ(s.findPredecessor(&n1), s.headLink());
  EXPECT_EQ(s.findPredecessor(&n3), &n2);
  EXPECT_EQ(s.findPredecessor(&foreign), nullptr);
  EXPECT_EQ(s.findPredecessor(nullptr), nullptr);

  // A link that is not held, or a sentinel, leaves the list as it was.
  EXPECT_EQ(s.removeReference(&foreign), nullptr);
  EXPECT_EQ(s.removeReference(nullptr), nullptr);
  EXPECT_EQ(s.removeReference(s.tailLink()), nullptr);
  EXPECT_EQ(values(s), (V{1, 2, 3}));

  EXPECT_EQ(s.removeReference(&n3), &n3);
  EXPECT_EQ(n3.next(), nullptr);
  EXPECT_EQ(s.last(), &n2);
  EXPECT_EQ(values(s), (V{1, 2}));

  // Nothing lies right of the last link; inserting after the tail means after the last.
  EXPECT_EQ(s.removeRight(&n2), nullptr);
  EXPECT_EQ(s.removeRight(nullptr), nullptr);
  s.insertAfterLink(s.tailLink(), &n3);
  EXPECT_EQ(values(s), (V{1, 2, 3}));
  s.insertAfterLink(&n1, nullptr);
  EXPECT_EQ(s.removeRight(&n1), &n2);
  EXPECT_EQ(values(s), (V{1, 3}));
  s.insertAfterLink(s.headLink(), &n2);
  EXPECT_EQ(values(s), (V{2, 1, 3}));

  s.clear();
  EXPECT_EQ(values(s), V{});
  EXPECT_TRUE(reports.empty());
}

TEST_F(ListTest, SinglyLinkedIterator) {
  SNode n1(1), n2(2), n3(3), n4(4);
  RWIsvSlist s;
  RWIsvSlistIterator it(s);
  EXPECT_EQ(it.key(), nullptr);
  EXPECT_EQ(++it, nullptr);
  it.toLast();
  EXPECT_EQ(it.key(), nullptr);
  EXPECT_FALSE(it.atLast());

  s.append(&n1);
  s.append(&n2);
  s.append(&n3);
  it.reset();
  EXPECT_EQ(it.remove(), nullptr);  // on the head sentinel
  EXPECT_EQ(it += 0, nullptr);
  EXPECT_EQ(++it, &n1);
  EXPECT_TRUE(it.atFirst());
  EXPECT_EQ(it += 0, &n1);
  EXPECT_EQ(it += 2, &n3);
  EXPECT_TRUE(it.atLast());
  EXPECT_EQ(++it, nullptr);
  EXPECT_EQ(it += RW_NPOS, nullptr);  // stays past the end
  EXPECT_EQ(it.remove(), nullptr);

  // Removing steps back, so the next advance reaches the follower.
  it.toFirst();
  ++it;
  EXPECT_EQ(it.remove(), &n2);
  EXPECT_EQ(it.key(), &n1);
  EXPECT_EQ(++it, &n3);
  EXPECT_EQ(values(s), (V{1, 3}));

  // Removing the first leaves the cursor before the start.
  it.toFirst();
  EXPECT_EQ(it.remove(), &n1);
  EXPECT_EQ(it.key(), nullptr);
  EXPECT_EQ(++it, &n3);
  EXPECT_EQ(it.remove(), &n3);
  EXPECT_EQ(values(s), V{});

  it.insertAfterPoint(&n1);
  EXPECT_EQ(++it, &n1);
  it.insertAfterPoint(&n2);
  EXPECT_EQ(values(s), (V{1, 2}));
  it += 5;
  it.insertAfterPoint(&n4);  // past the end: appended
  EXPECT_EQ(values(s), (V{1, 2, 4}));
  it.toLast();
  EXPECT_EQ(it.key(), &n4);
}

TEST_F(ListTest, DoublyLinkedList) {
  DNode n1(1), n2(2), n3(3), n4(4);
  RWIsvDlist s;
  EXPECT_EQ(s.removeFirst(), nullptr);
  EXPECT_EQ(s.removeLast(), nullptr);
  EXPECT_EQ(s.at(0), nullptr);
  s.insertAt(1, &n1);
  EXPECT_EQ(s.removeAt(RW_NPOS), nullptr);
  EXPECT_EQ(reports.texts(), (std::vector<std::string>{indexErr(0, 0), indexErr(1, 0), nposErr}));
  EXPECT_EQ(values(s), V{});

  s.insertAt(0, &n2);
  s.insertAt(1, &n4);
  s.insertAt(0, &n1);
  s.insertAt(2, &n3);
  EXPECT_EQ(values(s), (V{1, 2, 3, 4}));
  EXPECT_EQ(s.at(2), &n3);
  EXPECT_EQ(s.last(), &n4);
  EXPECT_TRUE(s.containsLink(&n4));
  EXPECT_FALSE(s.containsLink(nullptr));

  EXPECT_EQ(s.removeAt(3), &n4);
  EXPECT_EQ(s.removeFirst(), &n1);
  EXPECT_EQ(s.removeLast(), &n3);
  EXPECT_EQ(values(s), V{2});
  EXPECT_EQ(s.removeReference(nullptr), nullptr);
  EXPECT_EQ(s.removeReference(s.headLink()), nullptr);
  s.insertAfterLink(s.tailLink(), &n3);
  s.prepend(&n1);
  EXPECT_EQ(values(s), (V{1, 2, 3}));
  EXPECT_EQ(s.removeReference(&n2), &n2);
  EXPECT_EQ(values(s), (V{1, 3}));

  RWIsvDlist one(&n4);
  EXPECT_EQ(values(one), V{4});
}

TEST_F(ListTest, DoublyLinkedIterator) {
  DNode n1(1), n2(2), n3(3), n4(4);
  RWIsvDlist s;
  s.append(&n1);
  s.append(&n2);
  s.append(&n3);
  RWIsvDlistIterator it(s);
  EXPECT_EQ(it.key(), nullptr);
  EXPECT_EQ(++it, &n1);
  // Back past the first: on the head sentinel, and forward again to the first.
  EXPECT_EQ(--it, nullptr);
  EXPECT_EQ(it -= 3, nullptr);
  EXPECT_EQ(++it, &n1);
  EXPECT_EQ(it += 2, &n3);
  EXPECT_TRUE(it.atLast());
  EXPECT_EQ(++it, nullptr);
  EXPECT_EQ(it += RW_NPOS, nullptr);
  EXPECT_EQ(--it, &n3);
  EXPECT_EQ(it -= 2, &n1);
  EXPECT_TRUE(it.atFirst());

  ++it;
  EXPECT_EQ(it.remove(), &n2);
  EXPECT_EQ(it.key(), &n1);
  EXPECT_EQ(++it, &n3);
  it.insertAfterPoint(&n4);
  EXPECT_EQ(values(s), (V{1, 3, 4}));
  it.toLast();
  EXPECT_EQ(it.key(), &n4);
  it.reset();
  EXPECT_EQ(it.remove(), nullptr);
  it.toFirst();
  EXPECT_EQ(it.remove(), &n1);
  EXPECT_EQ(it.key(), nullptr);
  EXPECT_EQ(++it, &n3);
  EXPECT_EQ(values(s), (V{3, 4}));

  s.clear();
  it.toLast();
  EXPECT_EQ(it.key(), nullptr);
  EXPECT_TRUE(reports.empty());
}

int items[6] = {0, 1, 2, 3, 4, 5};
void* item(int i) { return &items[i]; }

std::vector<int> values(const RWSlist& s) {
  std::vector<int> out;
  for (RWsize i = 0; i < s.entries(); ++i) out.push_back(*static_cast<int*>(s.at(i)));
  return out;
}

RWBoolean isOdd(const void* a, const void*) { return a && *static_cast<const int*>(a) % 2; }
RWBoolean atLeast(const void* a, const void* d) {
  return a && *static_cast<const int*>(a) >= *static_cast<const int*>(d);
}

TEST_F(ListTest, PointerListInsertions) {
  RWSlist s;
  EXPECT_EQ(s.first(), nullptr);
  EXPECT_EQ(s.last(), nullptr);
  EXPECT_EQ(s.append(item(1)), item(1));
  EXPECT_EQ(s.append(item(3)), item(3));
  EXPECT_EQ(s.insertAfter(0, item(2)), item(2));  // the new item comes second
  EXPECT_EQ(values(s), (V{1, 2, 3}));
  EXPECT_EQ(s.insertAt(3, item(4)), item(4));  // at the count: appends
  EXPECT_EQ(s.prepend(item(0)), item(0));
  EXPECT_EQ(values(s), (V{0, 1, 2, 3, 4}));
  EXPECT_EQ(s.first(), item(0));
  EXPECT_EQ(s.last(), item(4));
  EXPECT_TRUE(reports.empty());

  EXPECT_EQ(s.insertAt(6, item(5)), nullptr);
  EXPECT_EQ(s.insertAfter(5, item(5)), nullptr);
  EXPECT_EQ(s.at(RW_NPOS), nullptr);
  EXPECT_EQ(reports.texts(), (std::vector<std::string>{indexErr(6, 5), indexErr(5, 5), nposErr}));
  EXPECT_EQ(values(s), (V{0, 1, 2, 3, 4}));

  // Copies hold the same items in their own cells.
  RWSlist c(s), d;
  d.append(item(5));
  d = s;
  const RWSlist& same = d;  // assigned to itself
  d = same;
  EXPECT_EQ(c.removeFirst(), item(0));
  EXPECT_EQ(values(s), (V{0, 1, 2, 3, 4}));
  EXPECT_EQ(values(c), (V{1, 2, 3, 4}));
  EXPECT_EQ(values(d), (V{0, 1, 2, 3, 4}));
  EXPECT_EQ(d.removeAt(4), item(4));
  EXPECT_EQ(d.last(), item(3));
  d.clear();
  EXPECT_TRUE(d.isEmpty());
  EXPECT_EQ(RWSlist::peel(nullptr), nullptr);
}

TEST_F(ListTest, PointerListSearchesAndRemovals) {
  RWSlist s;
  for (int i : {1, 2, 3, 2, 5}) s.append(item(i));
  s.append(nullptr);  // null items are held like any other

  const int three = 3;
  EXPECT_EQ(s.find(isOdd, nullptr), item(1));
  EXPECT_EQ(s.find(atLeast, &three), item(3));
  EXPECT_EQ(s.index(atLeast, &three), 2u);
  const int six = 6;
  EXPECT_EQ(s.index(atLeast, &six), RW_NPOS);
  EXPECT_EQ(s.occurrencesOf(isOdd, nullptr), 3u);
  EXPECT_EQ(s.occurrencesOfReference(item(2)), 2u);
  EXPECT_EQ(s.occurrencesOfReference(nullptr), 1u);
  EXPECT_EQ(s.findReference(item(5)), item(5));
  EXPECT_EQ(s.findReference(item(4)), nullptr);
  EXPECT_TRUE(s.containsReference(item(3)));

  EXPECT_EQ(s.removeReference(nullptr), nullptr);  // found and removed: its item is null
  EXPECT_EQ(s.entries(), 5u);
  EXPECT_EQ(s.remove(atLeast, &three), item(3));
  EXPECT_EQ(s.removeReference(item(2)), item(2));
  EXPECT_EQ(s.removeReference(item(4)), nullptr);
  EXPECT_EQ(s.remove(atLeast, &six), nullptr);
  EXPECT_EQ(values(s), (V{1, 2, 5}));
  EXPECT_EQ(s.last(), item(5));

  int total = 0;
  s.apply([](void* a, void* d) { *static_cast<int*>(d) += *static_cast<int*>(a); }, &total);
  EXPECT_EQ(total, 8);
  // The reference form hands out the slots themselves, so items can be replaced.
  s.applyReference([](void* slot, void* d) { *static_cast<void**>(slot) = d; }, item(0));
  EXPECT_EQ(values(s), (V{0, 0, 0}));
  EXPECT_TRUE(reports.empty());
}

TEST_F(ListTest, PointerListIterator) {
  RWSlist s;
  for (int i : {1, 2, 3, 4}) s.append(item(i));
  RWSlistIterator it(s);
  EXPECT_EQ(it.key(), nullptr);
  EXPECT_EQ(it.remove(), nullptr);
  const int three = 3;
  EXPECT_EQ(it.findNext(atLeast, &three), item(3));
  EXPECT_EQ(it.key(), item(3));
  EXPECT_EQ(it.findNextReference(item(1)), nullptr);  // absent after the cursor: past the end
  EXPECT_EQ(it.key(), nullptr);
  EXPECT_EQ(++it, nullptr);

  it.reset();
  EXPECT_EQ(it(), item(1));
  EXPECT_EQ(it(), item(2));
  EXPECT_EQ(it.remove(), item(2));
  EXPECT_EQ(it.key(), item(1));
  EXPECT_EQ(it(), item(3));
  EXPECT_EQ(values(s), (V{1, 3, 4}));

  // removeNext looks after the cursor and leaves it in place.
  it.reset();
  ++it;
  EXPECT_EQ(it.removeNext(isOdd, nullptr), item(3));
  EXPECT_EQ(it.removeNext(isOdd, nullptr), nullptr);
  EXPECT_EQ(it.key(), item(1));
  EXPECT_EQ(it.insertAfterPoint(item(2)), item(2));
  EXPECT_EQ(values(s), (V{1, 2, 4}));
  EXPECT_EQ(it.removeNextReference(item(4)), item(4));
  EXPECT_EQ(it.removeNextReference(item(4)), nullptr);
  EXPECT_EQ(s.last(), item(2));

  it.toLast();
  EXPECT_TRUE(it.atLast());
  EXPECT_EQ(it.remove(), item(2));
  EXPECT_TRUE(it.atFirst());
  EXPECT_EQ(s.last(), item(1));
  it += 3;
  EXPECT_EQ(it.insertAfterPoint(item(5)), item(5));  // past the end: appended
  EXPECT_EQ(values(s), (V{1, 5}));
  it.reset();
  EXPECT_EQ(it.findNextReference(item(5)), item(5));
  EXPECT_TRUE(reports.empty());
}

}  // namespace
