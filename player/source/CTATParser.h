#pragma once

#include "base/AlignedBuffer.h"
#include "base/CSingleThread.h"
#include "base/CThreadQueue.h"
#include "base/CWaitEvent.h"
#include "formats/CountedTimes.h"
#include "player/api/VMediaParser.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CTATLibrary;
class DiagLog;

// Reads recordings from the camera's storage on the card through CTATLibrary.
//
// A reading thread ("TATParser") pulls packets from the library into a byte-bounded queue;
// Read hands them to the caller, each stamped with its time by counting frames and sound
// blocks (CountedTimes; from frame 0 at Open, from the seek's whole second after a seek) and
// its key-frame flag by the camera's rule (IsCameraKeyFrame). Open, SeekTime and Close first pause
// the reading thread (clear the running flag, wait for the idle event), so the thread never reads
// the old position while the library is repositioned and no packet of the old position reaches the
// queue after it has been emptied.
//
// The reading thread reads many packets per system call, straight into the queue's free
// bytes, and queues them as stored (header and payload) without checking them; Read
// checks each packet's CRC-32C before it copies the payload out, so the check runs on the
// caller's thread while the reading thread reads on. A packet whose header or CRC is wrong
// ends the recording there, as damage found by the library does. Packets too large for that
// (over the queue's bound with their header) come one at a time through the library's
// checked read.
//
// Open never fails: a recording that is missing or damaged shows itself by an immediate end
// of data. After the end, Read returns false until the next Open or a seek that succeeds.
//
// LastReadEnd tells the two kinds of end apart. kEnded: the recording's packets are all read;
// for a recording that the camera never closed (a power cut: no footer, size 0 in its
// directory) that is its last whole packet, since what follows it cannot be told from a write
// the cut interrupted. kFailed: the library could not read on (damaged data, a packet that
// fails its CRC, a read error, a file that shrank or vanished, a recording that is not there or
// does not open), or the packet does not fit the caller's buffer.
//
// Threads: one caller thread at a time (Start, Stop, Open, Close, Read, SeekTime and the
// queries) plus the parser's own reading thread, which alone calls ReadPacket. They share
// the queue (locked inside), the running and end flags (atomics) and the idle event; the
// reading thread's packet in hand is touched by the caller only while the thread is paused.
class CTATParser final : public VMediaParser {
public:
    // The recording's numbers as Open finds them.
    enum InfoIndex : size_t {
        kFrontWidth = 1,
        kRearWidth = 2,
        kFrontHeight = 3,
        kRearHeight = 4,
        kFrontRate = 5,
        kRearRate = 6,
        kFrontFrames = 7,
        kRearFrames = 8,
        kAudioPackets = 9,
        kGpsPackets = 10,
        kSensorPackets = 11,
        kAudioBits = 12,
        kAudioRate = 13,
    };
    using TatInfo = std::array<int32_t, 14>;

    static constexpr int32_t kQueueCapacity = 1048576;
    // Rate used for the duration when a recording declares a front frame rate of 0.
    static constexpr int32_t kFallbackFrameRate = 30;
    // Read polls an empty queue this often, this far apart, before it reports NoPacket.
    static constexpr int kEmptyPolls = 100;
    static constexpr int kEmptyPollMs = 10;
    // The reading thread reads up to this many bytes at a time, and waits for at least
    // kMinRead free bytes in the queue before it reads again.
    static constexpr int32_t kBulkRead = 262144;
    static constexpr int32_t kMinRead = 65536;

    // The library stays owned by the caller and must outlive the parser.
    explicit CTATParser(CTATLibrary* library);
    ~CTATParser() override; // stops the reading thread
    CTATParser(const CTATParser&) = delete;
    CTATParser& operator=(const CTATParser&) = delete;

    // "Media End Recv [5]\n" and the queue's lines go here. Set before Start.
    void SetDiagLog(const DiagLog* log);

    // Allocates the read buffer and starts the reading thread. True when it runs (also when
    // it already did).
    bool Start() override;
    // Stops the reading thread, drops what was queued and releases the read buffer; reads
    // then end at once.
    void Stop() override;

    // Opens "[/]NAME" or "[/]NAME, INDEX" (by directory entry index). The category comes from
    // the name's first letter (E, R, P, M; another letter keeps the previous one). Fills info
    // when given. Always 1.
    int64_t Open(const std::string& name, OpenInfo* info) override;
    // Stops reading the recording and drops what was queued of it.
    void Close() override;

    // The next packet straight from the library; for the reading thread. size is in: the
    // buffer's capacity, out: the payload length.
    StreamKind ReadPacket(uint8_t* buffer, int32_t& size);

    // The next queued packet, stamped; kind NoPacket when nothing arrived within a second.
    // False at the end, after Close, at a packet that fails its check (nothing of it is
    // copied; the recording ends there), or when the packet is larger than capacity (it then
    // stays queued). Checks each packet's CRC-32C before copying its payload into buffer.
    bool Read(uint8_t* buffer, int32_t capacity, MediaPacket& packet) override;
    // Why the last Read returned false (see above); kEnded after Close.
    // Any thread: the engine's end event may ask it on the engine's worker thread.
    ReadEnd LastReadEnd() const override { return m_lastEnd.load(std::memory_order_acquire); }

    VideoSize GetVideoSize(int stream) override;
    int32_t GetFrameRate(int stream) override;
    void GetAudioFormat(int32_t& bitsPerSample, int32_t& samplesPerSecond) override;

    // Moves to the front key frame at or before whole second trunc(seconds); negative times
    // count as 0. Returns the library's result (0 on success), or -1 for a time that is not
    // a number or lies beyond any recording. A successful seek also resumes a recording whose
    // end had been reached; a failed one leaves the position and the queued packets as they
    // were.
    int SeekTime(float seconds) override;

    // What Open found, for tests and tools.
    int32_t Category() const { return m_category; }
    const TatInfo& Info() const { return m_info; }

    // Reads "cntVideo0=%d; cntVideo1=%d; cntAudio=%d; cntACC=%d; cntGPS=%d" (whitespace as
    // scanf matches it, text after the last number ignored) into the frame and packet counts.
    // All or nothing: false, with info unchanged, unless all five are non-negative 32-bit
    // numbers.
    static bool ParseCountsText(std::string_view text, TatInfo& info);

private:
    // Queue tags beside the StreamKinds (a checked payload, or a marker without one).
    // Queue record tags besides the stream kinds. Whichever thread has time checks a stored
    // packet's CRC: the reading thread when the caller lags behind (the queue holds
    // kCheckAhead bytes or more), otherwise the caller as it takes the packet.
    static constexpr int32_t kStoredTag = 16;  // + kind: a packet as stored, CRC not checked
    static constexpr int32_t kCheckedTag = 24; // + kind: a packet as stored, CRC checked
    static constexpr int32_t kSkipTag = 32;    // bytes left unused before the ring's end
    static constexpr int32_t kDamagedTag = 33; // a stored packet whose CRC does not match
    static constexpr int32_t kCheckAhead = kQueueCapacity / 4;

    bool ReadWorker();
    // Reads the next packets as stored into the queue's free bytes, in one read. False when
    // the next packet has to come through ReadPacket instead (it is too large, or the reading
    // has ended).
    bool ReadIntoQueue();
    // The next packet through ReadPacket into the read buffer, as the packet in hand.
    void HoldNextPacket();
    // Hands the front record to the caller: checks a stored packet, copies the payload.
    int64_t TakeFront(const CThreadQueue::Front& front, StreamKind& kind, uint8_t* buffer,
                      int32_t capacity, int32_t& size);
    // The next queued packet's kind and payload: 4, or -1 at the end (see Read).
    int64_t TakeNext(StreamKind& kind, uint8_t* buffer, int32_t capacity, int32_t& size);
    // A stored packet failed its check: the recording ends here.
    int64_t EndAtDamage();
    // The end of the reads (-1), with why.
    int64_t EndOfReads(ReadEnd why);
    // Why the reading thread stopped, for a caller that finds no more packets.
    ReadEnd ReaderEnd() const;
    void LogEnd();
    // What follows a packet's arrival in the queue: the end stops reading, an empty poll
    // pauses a moment.
    void AfterQueued(StreamKind kind);
    // Clears the running flag and waits until the reading thread has noticed. Returns the
    // flag's previous value.
    bool PauseReader();
    void DropQueued();
    // Drops what was queued and forgets how the last reading ended: the recording (a new one,
    // or the same at a new position) has packets to give again. Reader paused.
    void RestartReading();

    CTATLibrary* m_library;
    const DiagLog* m_diag = nullptr;

    // Caller thread only.
    int32_t m_category = 0;
    TatInfo m_info{};
    CountedTimes m_times;
    bool m_open = false;
    bool m_damaged = false; // a packet failed its check; reads end until Open or a seek
    std::atomic<ReadEnd> m_lastEnd{ReadEnd::kEnded};
    std::atomic<bool> m_started{false};

    std::atomic<bool> m_end{false};        // the library reported the end of the recording
    std::atomic<bool> m_readFailed{false}; // ... and it was a failure, not the recording's end
    std::atomic<bool> m_running{false};    // the reading thread may read and queue packets
    std::atomic<bool> m_endLogged{false};  // "Media End Recv" written for this position
    CThreadQueue m_queue;
    CWaitEvent m_idle; // set by the reading thread while it is paused
    CWaitEvent m_wake; // wakes the paused reading thread early: to resume, to answer, to end
    std::atomic<bool> m_stopping{false}; // Stop: the paused reading thread ends

    // The reading thread's packet in hand: read, not yet queued. The caller discards it only
    // while the thread is paused.
    AlignedBuffer m_readBuffer;
    bool m_pending = false;
    int32_t m_pendingSize = 0;
    StreamKind m_pendingKind = NoPacket;

    // Reading thread (the caller only while it is paused): the start of the next packet, read
    // along with the last packets and left in the queue's free bytes, and the room the next
    // packet needs when it did not fit.
    uint8_t* m_carryAt = nullptr;
    int32_t m_carry = 0;
    int32_t m_needed = 0;
    std::vector<CThreadQueue::Record> m_records; // the records of one read

    CSingleThread m_thread{"TATParser"}; // last: stopped before the members above go
};
