#pragma once

#include "AlignedBuffer.h"
#include "CSync.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <vector>

class DiagLog;

// A bounded first-in-first-out queue of byte records, each with an integer tag.
//
// One producer thread pushes and one consumer thread pops and clears. The bookkeeping is
// under one lock; payload copies run outside it, so the producer can fill while the consumer
// empties (see Push and Pop). The queue never blocks: a full
// queue refuses a push and an empty queue refuses a pop; callers decide how to wait.
//
// The bound is on payload bytes: the bytes held always stay below the capacity given to
// Init, so a single record is at most capacity - 1 bytes. All storage is reserved by Init;
// steady-state pushes and pops allocate nothing unless more than 100 records are queued.
//
// The queue copies every payload in and out; it never keeps a caller's pointer.
//
// Push and Pop never wait. A caller that would otherwise poll can wait, for a bounded time,
// until a record arrives or room is made (WaitForRecord, WaitForRoom): these return as soon
// as what they wait for is there, so a producer and a consumer hand over packets without
// sleeping a fixed time between tries. A waiter is woken only by the change it waits for (a
// push for a record, room for its length once taken records make it), not by every change:
// a producer waiting on a full queue while the consumer takes small records one by one
// sleeps until there is room for its read.
class CThreadQueue {
public:
    // One record's length in bytes and tag.
    struct Record {
        int32_t length;
        int32_t tag;
    };

    // The oldest record in place (see PeekFront). A record stored across the end of the ring
    // comes in two pieces; otherwise the second is empty.
    struct Front {
        const uint8_t* first = nullptr;
        int32_t firstLength = 0;
        const uint8_t* second = nullptr;
        int32_t secondLength = 0;
        int32_t tag = 0;
        int32_t Length() const { return firstLength + secondLength; }
    };

    CThreadQueue();
    virtual ~CThreadQueue();
    CThreadQueue(const CThreadQueue&) = delete;
    CThreadQueue& operator=(const CThreadQueue&) = delete;

    // Empties the queue and sets the bound. Must not run while another thread uses the queue.
    // A queue that was never initialised refuses every push.
    void Init(int32_t capacity);

    // Diagnostic lines ("[CThreadQueue] Pop Empty\n") go here; null keeps the queue quiet.
    // Set before the threads start.
    void SetDiagLog(const DiagLog* log) { m_diag = log; }

    // Drops every record; the next push is measured against the full capacity.
    void Clear();

    // Stores a copy of length bytes. False (nothing stored) when held + length would reach
    // the capacity, or when length is negative.
    bool Push(const uint8_t* payload, int32_t length, int32_t tag);

    // Producer only: writing a record in place, without a copy. Reserve returns `length`
    // contiguous free bytes of the queue's storage, or null when the record would pass the
    // bound or the free bytes are not in one piece (Push a copy then, or wait for room).
    // The producer fills them and then either commits the first `length` bytes (at most the
    // reserved length) as a record, or cancels; no other push may come in between.
    uint8_t* Reserve(int32_t length);
    void Commit(int32_t length, int32_t tag);
    void CancelReservation();
    // As Reserve, for a producer that fills as much as there is room for: the contiguous free
    // bytes at the tail, at most maxLength and within the bound, their number in `length`.
    // Null (length 0) when there are none.
    uint8_t* ReserveUpTo(int32_t maxLength, int32_t& length);
    // Ends a reservation by committing its bytes as several records, back to back from the
    // start, in one step; bytes after the last record stay free. Records past the reserved
    // length are left out.
    void CommitRecords(const Record* records, int32_t count);

    // Takes the oldest record into dest, which holds destCapacity bytes. False when the
    // queue is empty (the out values are left untouched), or when the oldest record is longer
    // than destCapacity (it stays queued; outLength receives its length).
    bool Pop(uint8_t* dest, int32_t destCapacity, int32_t& outLength, int32_t& outTag);

    // Consumer only: the oldest record without copying it out. False (front untouched) when
    // the queue is empty. The bytes stay in place and unchanged until PopFront, which drops the
    // record; the consumer must not Clear in between.
    bool PeekFront(Front& front);
    void PopFront();

    // Waits at most `timeout` until a record is queued; true when one is.
    bool WaitForRecord(std::chrono::milliseconds timeout);
    // Waits at most `timeout` until a push of `length` bytes would be accepted; true when so.
    // Also returns (false) when Interrupt is called meanwhile.
    bool WaitForRoom(int32_t length, std::chrono::milliseconds timeout);
    // Makes a WaitForRoom in progress return at once, so a producer waiting on a full queue
    // can notice that its owner wants it to stop or pause.
    void Interrupt();

    // Number of records held. Takes no lock, so a consumer may poll it while the producer
    // pushes without slowing the producer down.
    int32_t RecordCount() const { return static_cast<int32_t>(m_count.load()); }
    // Payload bytes held.
    int32_t BytesHeld();

private:
    // Copy payload bytes to or from ring offset `at`, wrapping at the end. No lock needed:
    // see Push and Pop.
    void CopyIn(size_t at, const uint8_t* src, int32_t length);
    void CopyOut(size_t at, uint8_t* dest, int32_t length) const;
    // Adds a record of the bytes just written at the tail, unless a Clear came in between.
    // Caller holds m_lock.
    void AppendRecord(int32_t length, int32_t tag, uint64_t generation);
    // Drops the oldest record, whose bytes have been read. Caller holds m_lock.
    void DropFront();
    // Whether a record of `length` bytes fits under the bound now. Caller holds m_lock.
    bool HasRoom(int32_t length) const;
    // Whether a WaitForRoom in progress can now push what it waits for. Caller holds m_lock.
    bool RoomWaiterSatisfied() const;

    CSync m_lock{"none"};
    // Woken for a waiter whose wait is over: a record pushed with m_recordWaiters, room made
    // for one of m_roomWanted, a Clear or an Interrupt.
    std::condition_variable_any m_changed;
    int m_recordWaiters = 0;           // threads in WaitForRecord (under m_lock)
    std::vector<int32_t> m_roomWanted; // the length each thread in WaitForRoom waits to push
    const DiagLog* m_diag = nullptr;
    int32_t m_capacity = 0;

    // Payload bytes in a ring of m_capacity bytes: m_head is the oldest byte.
    AlignedBuffer m_store;
    size_t m_head = 0;
    size_t m_held = 0;

    // Records in a ring: m_records[m_first] is the oldest. Grows to 2 × (count + 1) when full.
    std::vector<Record> m_records;
    size_t m_first = 0;
    std::atomic<size_t> m_count{0}; // changed under m_lock only
    uint64_t m_interrupts = 0;      // counts Interrupt calls (under m_lock)
    uint64_t m_generation = 0;      // counts Clears, so a copy in flight can tell
    bool m_reserving = false;       // a push is copying into the free part of the ring
    uint64_t m_reservedGeneration = 0;
    int32_t m_reservedLength = 0;
};
