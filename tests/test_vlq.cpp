// Pointer queue: growth and shrink thresholds, queue/stack/insert order, bounds and
// ownership of items.
#include "vlq.h"

#include <gtest/gtest.h>

namespace {

int slots[200];
void* P(int n) {
    return &slots[n];
}

struct Counted {
    static int destroyed;
    ~Counted() { destroyed++; }
};
int Counted::destroyed = 0;

} // namespace

TEST(VLQGrowth, SixteenThenDoubling) {
    VLQ q;
    q.ownsItems = false;
    EXPECT_EQ(q.capacity, 0);
    EXPECT_EQ(q.items, nullptr);
    q.Queue(P(0));
    EXPECT_EQ(q.capacity, 16);
    for (int n = 1; n < 16; n++)
        q.Queue(P(n));
    EXPECT_EQ(q.capacity, 16);
    q.Queue(P(16));
    EXPECT_EQ(q.capacity, 32);
    for (int n = 17; n < 32; n++)
        q.Add(P(n));
    EXPECT_EQ(q.capacity, 32);
    q.Queue(P(32));
    EXPECT_EQ(q.capacity, 64);
    EXPECT_EQ(q.Count(), 33);
    for (int n = 0; n < 33; n++)
        EXPECT_EQ(q.Get(n), P(n));
}

TEST(VLQGrowth, ShrinkThresholds) {
    VLQ q;
    q.ownsItems = false;
    for (int n = 0; n < 33; n++)
        q.Queue(P(n));
    ASSERT_EQ(q.capacity, 64);
    while (q.Count() > 16)
        q.Pop(-1);
    EXPECT_EQ(q.capacity, 64); // 16 is not below a quarter of 64
    EXPECT_EQ(q.Pop(-1), P(15));
    EXPECT_EQ(q.Count(), 15);
    EXPECT_EQ(q.capacity, 32);
    while (q.Count() > 8)
        q.Pop(-1);
    EXPECT_EQ(q.capacity, 32);
    q.Delete(0);
    EXPECT_EQ(q.Count(), 7);
    EXPECT_EQ(q.capacity, 16);
    EXPECT_EQ(q.Get(0), P(1));
    while (q.Count() > 0)
        q.Next();
    EXPECT_EQ(q.capacity, 16); // never below 16, array kept
    EXPECT_NE(q.items, nullptr);
}

TEST(VLQGrowth, OneHalvingPerRemoval) {
    VLQ q;
    q.ownsItems = false;
    for (int n = 0; n < 129; n++)
        q.Queue(P(n));
    ASSERT_EQ(q.capacity, 256);
    while (q.Count() > 64)
        q.Pop(-1);
    EXPECT_EQ(q.capacity, 256);
    q.Pop(-1); // 63 < 64: one halving to 128 only
    EXPECT_EQ(q.capacity, 128);
    q.Pop(-1); // 62 is not below 32
    EXPECT_EQ(q.capacity, 128);
    for (int n = 0; n < 62; n++)
        EXPECT_EQ(q.Get(n), P(n));
}

TEST(VLQOrder, QueueNextPop) {
    VLQ q;
    q.ownsItems = false;
    q.Queue(P(1));
    q.Queue(P(2));
    EXPECT_EQ(q.Next(), P(1));
    EXPECT_EQ(q.Count(), 1);
    EXPECT_EQ(q.Get(0), P(2));
    EXPECT_EQ(q.items[1], nullptr);
    EXPECT_EQ(q.Pop(-1), P(2));
    EXPECT_EQ(q.Count(), 0);
    EXPECT_EQ(q.items[0], nullptr);
    EXPECT_EQ(q.Pop(-1), nullptr);
    EXPECT_EQ(q.Next(), nullptr);
    EXPECT_EQ(q.Pop(0), nullptr);
    EXPECT_EQ(q.Count(), 0);
}

TEST(VLQOrder, InsertAtFront) {
    VLQ q;
    q.ownsItems = false;
    q.Insert(P(9)); // first insertion into an empty queue grows it too
    EXPECT_EQ(q.capacity, 16);
    q.Pop(-1);
    q.Queue(P(1));
    q.Queue(P(2));
    q.Insert(P(3));
    ASSERT_EQ(q.Count(), 3);
    EXPECT_EQ(q.Get(0), P(3));
    EXPECT_EQ(q.Get(1), P(1));
    EXPECT_EQ(q.Get(2), P(2));
}

TEST(VLQOrder, InsertIntoFullQueueGrows) {
    VLQ q;
    q.ownsItems = false;
    for (int n = 0; n < 16; n++)
        q.Queue(P(n));
    q.Insert(P(100));
    EXPECT_EQ(q.capacity, 32);
    EXPECT_EQ(q.Count(), 17);
    EXPECT_EQ(q.Get(0), P(100));
    EXPECT_EQ(q.Get(16), P(15));
}

TEST(VLQOrder, PopByIndexAndDelete) {
    VLQ q;
    q.ownsItems = false;
    q.Queue(P(1));
    q.Queue(P(2));
    q.Queue(P(3));
    EXPECT_EQ(q.Pop(1), P(2));
    ASSERT_EQ(q.Count(), 2);
    EXPECT_EQ(q.Get(0), P(1));
    EXPECT_EQ(q.Get(1), P(3));
    EXPECT_EQ(q.items[2], nullptr);
    // Indices outside the items remove nothing.
    EXPECT_EQ(q.Pop(2), nullptr);
    EXPECT_EQ(q.Pop(-2), nullptr);
    q.Delete(5);
    q.Delete(-1);
    EXPECT_EQ(q.Count(), 2);
    q.Delete(0);
    EXPECT_EQ(q.Count(), 1);
    EXPECT_EQ(q.Get(0), P(3));
}

TEST(VLQOrder, PeekBounds) {
    VLQ q;
    q.ownsItems = false;
    EXPECT_EQ(q.Peek(0), nullptr);
    q.Queue(P(4));
    q.Queue(P(4)); // the same pointer twice is fine
    EXPECT_EQ(q.Peek(-1), nullptr);
    EXPECT_EQ(q.Peek(2), nullptr);
    EXPECT_EQ(q.Peek(1), P(4));
    EXPECT_EQ(q.Get(0), P(4));
}

TEST(VLQOwnership, NonOwningKeepsItems) {
    int a = 1, b = 2;
    VLQ q;
    q.ownsItems = false;
    q.Queue(&a);
    q.Queue(&b);
    q.RemoveAll();
    EXPECT_EQ(q.Count(), 2);
    EXPECT_EQ(q.Get(1), &b);
}

TEST(VLQOwnership, OwningFreesItems) {
    // Leak and mismatch checks of the sanitizer build catch a missed or wrong free.
    VLQ* q = new VLQ;
    for (int n = 0; n < 40; n++)
        q->Queue(new int(n));
    q->RemoveAll();
    EXPECT_EQ(q->Count(), 0);
    EXPECT_EQ(q->capacity, 16);
    q->Queue(new int(7));
    delete q;
}

TEST(VLQOwnership, OwnerSuppliedDeleterRunsDestructors) {
    Counted::destroyed = 0;
    {
        VLQ q;
        q.freeItem = VLQ::DeleteAs<Counted>;
        for (int n = 0; n < 5; n++)
            q.Add(new Counted);
        delete (Counted*)q.Pop(0);
        EXPECT_EQ(Counted::destroyed, 1);
    }
    EXPECT_EQ(Counted::destroyed, 5);
}
