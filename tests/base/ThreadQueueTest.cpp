#include "base/CThreadQueue.h"
#include "base/DiagLog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <thread>
#include <vector>

namespace {

// Bytes that depend on the record's sequence number, so a record that comes out shifted,
// truncated or in another record's place shows up as a mismatch.
std::vector<uint8_t> Pattern(uint32_t seq, size_t length) {
    std::vector<uint8_t> bytes(length);
    for (size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<uint8_t>(seq * 31u + i * 7u + 1u);
    return bytes;
}

bool Push(CThreadQueue& queue, const std::vector<uint8_t>& bytes, int32_t tag) {
    return queue.Push(bytes.data(), static_cast<int32_t>(bytes.size()), tag);
}

struct Popped {
    bool ok = false;
    std::vector<uint8_t> bytes;
    int32_t tag = 0;
};

Popped Pop(CThreadQueue& queue) {
    std::vector<uint8_t> dest(4096);
    int32_t length = -1;
    Popped out;
    out.ok = queue.Pop(dest.data(), static_cast<int32_t>(dest.size()), length, out.tag);
    if (out.ok)
        out.bytes.assign(dest.begin(), dest.begin() + length);
    return out;
}

struct Expected {
    uint32_t seq;
    size_t length;
};

// Pops one record and checks it against the pattern for seq, tagged with -seq.
void ExpectNext(CThreadQueue& queue, const Expected& want) {
    const Popped got = Pop(queue);
    ASSERT_TRUE(got.ok) << "record " << want.seq;
    EXPECT_EQ(got.tag, -static_cast<int32_t>(want.seq));
    EXPECT_EQ(got.bytes, Pattern(want.seq, want.length)) << "record " << want.seq;
}

} // namespace

TEST(ThreadQueue, UninitialisedQueueRefusesEveryPush) {
    CThreadQueue queue;
    const uint8_t byte = 1;
    EXPECT_FALSE(queue.Push(&byte, 1, 0));
    EXPECT_FALSE(queue.Push(&byte, 0, 0));
    EXPECT_FALSE(Pop(queue).ok);
}

TEST(ThreadQueue, BytesHeldStayBelowCapacity) {
    CThreadQueue queue;
    queue.Init(100);
    EXPECT_FALSE(Push(queue, Pattern(0, 100), 0));
    EXPECT_TRUE(Push(queue, Pattern(1, 99), -1));
    EXPECT_EQ(queue.BytesHeld(), 99);
    ExpectNext(queue, {1, 99});

    EXPECT_TRUE(Push(queue, Pattern(2, 60), -2));
    EXPECT_FALSE(Push(queue, Pattern(3, 40), -3));
    EXPECT_TRUE(Push(queue, Pattern(4, 39), -4));
    EXPECT_FALSE(Push(queue, Pattern(5, 1), -5));
    EXPECT_FALSE(queue.Push(nullptr, -1, 0));
    EXPECT_EQ(queue.RecordCount(), 2);
    ExpectNext(queue, {2, 60});
    ExpectNext(queue, {4, 39});
}

TEST(ThreadQueue, PopOnEmptyLeavesOutValuesAndSaysSo) {
    std::vector<std::string> lines;
    const DiagLog log([&lines](std::string_view line) { lines.emplace_back(line); });
    CThreadQueue queue;
    queue.SetDiagLog(&log);
    queue.Init(100);

    uint8_t dest[8] = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
    int32_t length = -7;
    int32_t tag = -9;
    EXPECT_FALSE(queue.Pop(dest, 8, length, tag));
    EXPECT_EQ(length, -7);
    EXPECT_EQ(tag, -9);
    EXPECT_TRUE(std::all_of(std::begin(dest), std::end(dest), [](uint8_t b) { return b == 0xAA; }));
    EXPECT_EQ(lines, std::vector<std::string>{"[CThreadQueue] Pop Empty\n"});
}

TEST(ThreadQueue, RecordsComeOutInOrderWithTheirLengthsAndTags) {
    CThreadQueue queue;
    queue.Init(1000);
    const std::vector<Expected> records = {{1, 1}, {2, 17}, {3, 0}, {4, 5}, {5, 0}, {6, 40}};
    for (const Expected& r : records)
        ASSERT_TRUE(Push(queue, Pattern(r.seq, r.length), -static_cast<int32_t>(r.seq)));
    EXPECT_EQ(queue.RecordCount(), 6);
    EXPECT_EQ(queue.BytesHeld(), 63);
    for (const Expected& r : records)
        ExpectNext(queue, r);
    EXPECT_FALSE(Pop(queue).ok);
}

// Fills the queue until a push is refused, then pops one, so it never drains and both the
// payload bytes and the record list keep wrapping around their rings.
TEST(ThreadQueue, RecordsWrappingAroundTheRingComeOutWhole) {
    CThreadQueue queue;
    queue.Init(64);
    std::deque<Expected> queued;
    uint32_t next = 1;
    for (int step = 0; step < 2000; ++step) {
        const size_t length = (next * 13u) % 29u;
        if (Push(queue, Pattern(next, length), -static_cast<int32_t>(next))) {
            queued.push_back({next++, length});
        } else {
            ASSERT_FALSE(queued.empty());
            ExpectNext(queue, queued.front());
            queued.pop_front();
        }
    }
    while (!queued.empty()) {
        ExpectNext(queue, queued.front());
        queued.pop_front();
    }
    EXPECT_GT(next, 500u);
    EXPECT_EQ(queue.BytesHeld(), 0);
}

TEST(ThreadQueue, GrowingPastTheReservedRecordsKeepsOrder) {
    CThreadQueue queue;
    queue.Init(1 << 20);
    std::deque<Expected> queued;
    auto pushRun = [&](uint32_t from, uint32_t to) {
        for (uint32_t seq = from; seq < to; ++seq) {
            ASSERT_TRUE(Push(queue, Pattern(seq, seq % 13u), -static_cast<int32_t>(seq)));
            queued.push_back({seq, seq % 13u});
        }
    };
    // Pop some first so the record list has wrapped when it has to grow.
    pushRun(0, 90);
    for (int i = 0; i < 60; ++i) {
        ExpectNext(queue, queued.front());
        queued.pop_front();
    }
    pushRun(90, 1000);
    EXPECT_EQ(queue.RecordCount(), 940);
    while (!queued.empty()) {
        ExpectNext(queue, queued.front());
        queued.pop_front();
    }
}

TEST(ThreadQueue, ClearDropsEverythingAndRestoresTheFullCapacity) {
    CThreadQueue queue;
    queue.Init(100);
    ASSERT_TRUE(Push(queue, Pattern(1, 50), -1));
    ASSERT_TRUE(Push(queue, Pattern(2, 30), -2));
    ExpectNext(queue, {1, 50});
    queue.Clear();
    EXPECT_EQ(queue.RecordCount(), 0);
    EXPECT_EQ(queue.BytesHeld(), 0);
    EXPECT_FALSE(Pop(queue).ok);
    EXPECT_TRUE(Push(queue, Pattern(3, 99), -3));
    ExpectNext(queue, {3, 99});
}

TEST(ThreadQueue, ZeroLengthRecordPopsOnItsOwn) {
    CThreadQueue queue;
    queue.Init(100);
    ASSERT_TRUE(queue.Push(nullptr, 0, 42));
    int32_t length = -1;
    int32_t tag = -1;
    EXPECT_TRUE(queue.Pop(nullptr, 0, length, tag));
    EXPECT_EQ(length, 0);
    EXPECT_EQ(tag, 42);
    EXPECT_EQ(queue.RecordCount(), 0);
}

TEST(ThreadQueue, RecordLongerThanTheDestinationStaysQueued) {
    CThreadQueue queue;
    queue.Init(100);
    ASSERT_TRUE(Push(queue, Pattern(1, 30), -1));
    ASSERT_TRUE(Push(queue, Pattern(2, 10), -2));

    std::vector<uint8_t> dest(30, 0xAA);
    int32_t length = -1;
    int32_t tag = -9;
    EXPECT_FALSE(queue.Pop(dest.data(), 29, length, tag));
    EXPECT_EQ(length, 30);
    EXPECT_EQ(tag, -9);
    EXPECT_EQ(dest, std::vector<uint8_t>(30, 0xAA));
    EXPECT_EQ(queue.RecordCount(), 2);

    EXPECT_TRUE(queue.Pop(dest.data(), 30, length, tag));
    EXPECT_EQ(dest, Pattern(1, 30));
    ExpectNext(queue, {2, 10});
}

// One producer and one consumer, as the parser uses it: the producer retries a refused push,
// the consumer retries an empty pop, and every byte must arrive in order.
TEST(ThreadQueue, ProducerAndConsumerThreadsPassEveryRecordIntact) {
    constexpr uint32_t kRecords = 10000;
    auto lengthOf = [](uint32_t seq) { return static_cast<size_t>((seq * 37u) % 300u); };
    CThreadQueue queue;
    queue.Init(2048);
    std::atomic<bool> abandon{false};

    std::thread producer([&] {
        for (uint32_t seq = 0; seq < kRecords && !abandon.load(); ++seq) {
            const std::vector<uint8_t> bytes = Pattern(seq, lengthOf(seq));
            while (!Push(queue, bytes, -static_cast<int32_t>(seq))) {
                if (abandon.load())
                    return;
                std::this_thread::yield();
            }
        }
    });

    uint32_t received = 0;
    uint32_t firstBad = kRecords;
    while (received < kRecords) {
        const Popped got = Pop(queue);
        if (!got.ok) {
            std::this_thread::yield();
            continue;
        }
        if (got.tag != -static_cast<int32_t>(received) ||
            got.bytes != Pattern(received, lengthOf(received))) {
            firstBad = received;
            break;
        }
        ++received;
    }
    abandon.store(true);
    producer.join();
    EXPECT_EQ(firstBad, kRecords) << "first record that arrived wrong";
    EXPECT_EQ(queue.RecordCount(), 0);
}

namespace {

// The front record's bytes, joined from its pieces.
std::vector<uint8_t> FrontBytes(const CThreadQueue::Front& front) {
    std::vector<uint8_t> bytes(front.first, front.first + front.firstLength);
    bytes.insert(bytes.end(), front.second, front.second + front.secondLength);
    return bytes;
}

} // namespace

// A producer fills what room there is and commits it as several records at once; the consumer
// reads them in place. Room stops at the bound and at the ring's end, records past the
// reserved bytes are refused, and a record pushed across the ring's end shows in two pieces.
TEST(ThreadQueue, RecordsWrittenAndReadInPlace) {
    CThreadQueue queue;
    queue.Init(100);
    int32_t room = -1;
    uint8_t* slot = queue.ReserveUpTo(1000, room);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(room, 99); // the bound
    const std::vector<uint8_t> first = Pattern(1, 30);
    const std::vector<uint8_t> second = Pattern(2, 40);
    std::copy(first.begin(), first.end(), slot);
    std::copy(second.begin(), second.end(), slot + 30);
    const CThreadQueue::Record records[] = {{30, -1}, {40, -2}, {50, -3}};
    queue.CommitRecords(records, 3); // the third passes the reserved room
    EXPECT_EQ(queue.RecordCount(), 2);
    EXPECT_EQ(queue.BytesHeld(), 70);

    CThreadQueue::Front front;
    ASSERT_TRUE(queue.PeekFront(front));
    EXPECT_EQ(front.tag, -1);
    EXPECT_EQ(FrontBytes(front), first);
    ASSERT_TRUE(queue.PeekFront(front)); // still there until taken
    queue.PopFront();
    EXPECT_EQ(queue.BytesHeld(), 40);

    // Free bytes run from offset 70 to the ring's end only.
    slot = queue.ReserveUpTo(1000, room);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(room, 30);
    queue.CancelReservation();
    ASSERT_TRUE(Push(queue, Pattern(3, 50), -3)); // 30 bytes at the end, 20 at the front
    ExpectNext(queue, {2, 40});
    ASSERT_TRUE(queue.PeekFront(front));
    EXPECT_EQ(front.firstLength, 30);
    EXPECT_EQ(front.secondLength, 20);
    EXPECT_EQ(FrontBytes(front), Pattern(3, 50));
    queue.PopFront();
    EXPECT_FALSE(queue.PeekFront(front));
    EXPECT_EQ(queue.BytesHeld(), 0);

    CThreadQueue unset;
    EXPECT_EQ(unset.ReserveUpTo(10, room), nullptr);
    EXPECT_EQ(room, 0);
}

// The parser's way: the producer writes runs of records in place, the consumer reads them in
// place; every byte must arrive in order while both run at once.
TEST(ThreadQueue, InPlaceProducerAndConsumerPassEveryRecordIntact) {
    constexpr uint32_t kRecords = 20000;
    auto lengthOf = [](uint32_t seq) { return static_cast<int32_t>((seq * 37u) % 300u); };
    CThreadQueue queue;
    queue.Init(4096);
    std::atomic<bool> abandon{false};

    std::thread producer([&] {
        uint32_t seq = 0;
        std::vector<CThreadQueue::Record> records;
        while (seq < kRecords && !abandon.load()) {
            int32_t room = 0;
            uint8_t* slot = queue.ReserveUpTo(1000, room);
            records.clear();
            int32_t used = 0;
            while (slot != nullptr && seq < kRecords && used + lengthOf(seq) <= room) {
                const std::vector<uint8_t> bytes = Pattern(seq, static_cast<size_t>(lengthOf(seq)));
                std::copy(bytes.begin(), bytes.end(), slot + used);
                records.push_back({lengthOf(seq), -static_cast<int32_t>(seq)});
                used += lengthOf(seq++);
            }
            if (slot != nullptr)
                queue.CommitRecords(records.data(), static_cast<int32_t>(records.size()));
            if (records.empty())
                queue.WaitForRoom(300, std::chrono::milliseconds(1));
        }
    });

    uint32_t received = 0;
    uint32_t firstBad = kRecords;
    while (received < kRecords) {
        CThreadQueue::Front front;
        if (!queue.PeekFront(front)) {
            queue.WaitForRecord(std::chrono::milliseconds(1));
            continue;
        }
        if (front.tag != -static_cast<int32_t>(received) ||
            FrontBytes(front) != Pattern(received, static_cast<size_t>(lengthOf(received)))) {
            firstBad = received;
            break;
        }
        queue.PopFront();
        ++received;
    }
    abandon.store(true);
    producer.join();
    EXPECT_EQ(firstBad, kRecords) << "first record that arrived wrong";
}

// Waiters are woken only by what they wait for, and then at once rather than at their
// timeout: a producer waiting for room for 300 bytes sleeps through the pops that leave too
// little and returns with the pop that makes enough (by PopFront as by Pop); a consumer
// returns with the push it waits for; Interrupt still ends a wait for room that cannot come.
TEST(ThreadQueue, WaitersReturnAsSoonAsWhatTheyWaitForIsThere) {
    using namespace std::chrono_literals;
    constexpr auto kLong = 20s; // far longer than any wake-up takes
    const auto returnedSoon = [](std::chrono::steady_clock::time_point since) {
        return std::chrono::steady_clock::now() - since < 5s;
    };
    CThreadQueue queue;
    queue.Init(1000);
    for (uint32_t i = 0; i < 9; ++i)
        ASSERT_TRUE(Push(queue, Pattern(i, 100), 0)); // 900 held: room for 99
    std::atomic<bool> returned{false};
    bool roomMade = false;
    std::thread producer([&] {
        roomMade = queue.WaitForRoom(300, kLong);
        returned.store(true);
    });
    ASSERT_TRUE(Pop(queue).ok);
    queue.PopFront(); // 700 held: room for 299, not yet enough
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(returned.load());
    const auto third = std::chrono::steady_clock::now();
    ASSERT_TRUE(Pop(queue).ok);
    producer.join();
    EXPECT_TRUE(roomMade);
    EXPECT_TRUE(returnedSoon(third));

    bool interrupted = true;
    std::thread blocked([&] { interrupted = !queue.WaitForRoom(999, kLong); });
    std::this_thread::sleep_for(20ms);
    const auto interrupt = std::chrono::steady_clock::now();
    queue.Interrupt();
    blocked.join();
    EXPECT_TRUE(interrupted);
    EXPECT_TRUE(returnedSoon(interrupt));

    queue.Clear();
    bool arrived = false;
    std::thread consumer([&] { arrived = queue.WaitForRecord(kLong); });
    std::this_thread::sleep_for(20ms);
    const auto push = std::chrono::steady_clock::now();
    ASSERT_TRUE(Push(queue, Pattern(9, 10), 0));
    consumer.join();
    EXPECT_TRUE(arrived);
    EXPECT_TRUE(returnedSoon(push));
}
