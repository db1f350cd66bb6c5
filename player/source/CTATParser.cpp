#include "CTATParser.h"

#include "base/AsciiText.h"
#include "base/DiagLog.h"
#include "player/api/VAudio.h"
#include "storage/CTATLibrary.h"
#include "storage/Crc32c.h"
#include "storage/TatFormat.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

namespace {

// How long the reading thread waits on a full queue before it looks again; the caller's read or
// a pause wakes it sooner, so this only bounds how often an idle thread wakes.
constexpr std::chrono::milliseconds kFullWait{100};

using namespace std::chrono_literals;

constexpr std::string_view kCountsFormat =
    "cntVideo0=%d; cntVideo1=%d; cntAudio=%d; cntACC=%d; cntGPS=%d";

void SkipSpace(std::string_view& text) {
    while (!text.empty() && ascii::IsSpace(text.front()))
        text.remove_prefix(1);
}

// One "%d" the way scanf reads it (leading whitespace, optional sign), but refusing values
// outside 32 bits instead of overflowing, and refusing negative counts.
bool ReadCount(std::string_view& text, int32_t& out) {
    SkipSpace(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    int32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || value < 0)
        return false;
    text.remove_prefix(static_cast<size_t>(end - text.data()));
    out = value;
    return true;
}

// The entry index after the name: the next token, read as a non-negative decimal number
// (digits after it are ignored); -1 when there is none.
int32_t ParseEntryIndex(std::string_view rest) {
    while (!rest.empty() && (rest.front() == ',' || rest.front() == ' '))
        rest.remove_prefix(1);
    int32_t index = -1;
    const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), index);
    if (ec != std::errc() || index < 0)
        return -1;
    return index;
}

// A queued record's bytes, in one piece or two.
class RecordBytes {
public:
    explicit RecordBytes(const CThreadQueue::Front& front) : m_front(front) {}

    // Copies [from, from + n) out; false when the record is shorter.
    bool Copy(size_t from, uint8_t* dest, size_t n) const {
        return Visit(from, n, [&dest](const uint8_t* p, size_t k) {
            std::memcpy(dest, p, k);
            dest += k;
        });
    }

    // CRC-32C of the bytes from `from` on, continuing `crc`.
    uint32_t Crc(size_t from, uint32_t crc) const {
        Visit(from, static_cast<size_t>(m_front.Length()) - from,
              [&crc](const uint8_t* p, size_t k) { crc = Crc32c(p, k, crc); });
        return crc;
    }

private:
    template <typename Fn> bool Visit(size_t from, size_t n, Fn fn) const {
        const size_t first = static_cast<size_t>(m_front.firstLength);
        if (from + n > static_cast<size_t>(m_front.Length()))
            return false;
        if (from < first) {
            const size_t k = std::min(n, first - from);
            if (k > 0)
                fn(m_front.first + from, k);
            n -= k;
            from = first;
        }
        if (n > 0)
            fn(m_front.second + (from - first), n);
        return true;
    }

    const CThreadQueue::Front& m_front;
};

int32_t KindOf(const tat::PacketHeader& header) {
    switch (header.type) {
    case tat::Audio:
        return Audio;
    case tat::Text:
        return Text;
    default:
        return header.channel != 0 ? RearVideo : FrontVideo;
    }
}

} // namespace

CTATParser::CTATParser(CTATLibrary* library) : m_library(library) {}

CTATParser::~CTATParser() {
    Stop();
}

void CTATParser::SetDiagLog(const DiagLog* log) {
    m_diag = log;
    m_queue.SetDiagLog(log);
}

bool CTATParser::Start() {
    if (m_started.load())
        return true;
    m_readBuffer.Resize(static_cast<size_t>(kPacketBufferSize), AlignedBuffer::Fill::kScratch);
    m_queue.Init(kQueueCapacity);
    m_pending = false;
    m_idle.ResetEvent();
    m_stopping.store(false);
    if (!m_thread.BeginThread([this] { return ReadWorker(); })) {
        m_readBuffer.Resize(0);
        return false;
    }
    m_started.store(true);
    return true;
}

void CTATParser::Stop() {
    if (!m_started.load())
        return;
    // Nothing arrives any more: let reads end instead of polling.
    m_running.store(false);
    m_stopping.store(true);
    m_wake.SetEvent();
    m_queue.Interrupt();
    m_thread.StopThread();
    m_started.store(false);
    DropQueued();
    m_readBuffer.Resize(0);
}

bool CTATParser::PauseReader() {
    const bool wasRunning = m_running.exchange(false);
    if (m_started.load()) {
        // A signal left from an earlier pause says nothing about now: only a pass that sees
        // the flag clear after this point may answer.
        m_idle.ResetEvent();
        m_wake.SetEvent();
        m_queue.Interrupt();
        m_idle.WaitEvent(CWaitEvent::kInfinite);
    }
    return wasRunning;
}

void CTATParser::DropQueued() {
    m_queue.Clear();
    m_pending = false;
    m_carry = 0;
    m_needed = 0;
}

void CTATParser::RestartReading() {
    DropQueued();
    m_end.store(false);
    m_readFailed.store(false);
    m_endLogged.store(false);
    m_damaged = false;
    m_lastEnd.store(ReadEnd::kEnded, std::memory_order_release);
}

int64_t CTATParser::Open(const std::string& pathOrName, OpenInfo* info) {
    PauseReader();

    std::string_view text = pathOrName;
    if (!text.empty() && text.front() == '/')
        text.remove_prefix(1);
    const size_t split = text.find_first_of(", ");
    const std::string name(text.substr(0, split));
    const int32_t index =
        split == std::string_view::npos ? -1 : ParseEntryIndex(text.substr(split + 1));
    const int category = tat::CategoryFromName(name);
    if (category >= 0)
        m_category = category;

    // A description that fails leaves its outputs cleared: the numbers then read as 0.
    TatDescription description;
    bool described = false;
    if (m_library != nullptr) {
        if (index >= 0)
            described = m_library->DescribeByIndex(name, index, description);
        else
            described = m_library->DescribeByName(name, description);
    }
    const tat::InfoBlock block = tat::InfoBlock::Decode(description.info);
    m_info.fill(0);
    m_info[kFrontWidth] = block.frontWidth;
    m_info[kRearWidth] = block.rearWidth;
    m_info[kFrontHeight] = block.frontHeight;
    m_info[kRearHeight] = block.rearHeight;
    m_info[kFrontRate] = block.frontFrameRate;
    m_info[kRearRate] = block.rearFrameRate;
    m_info[kFrontFrames] = description.frontFrames;
    m_info[kRearFrames] = description.rearFrames;
    m_info[kAudioBits] = 16;
    m_info[kAudioRate] = 8000;
    // The counts text holds the full counts; the 16-bit outputs stay when it cannot be read.
    ParseCountsText(std::string_view(description.counts,
                                     strnlen(description.counts, sizeof description.counts)),
                    m_info);

    // An unknown recording selects nothing; its reads then report the end.
    if (m_library != nullptr) {
        // An index whose entry bears another name is not the recording asked for.
        const int32_t number = index < 0   ? m_library->RecordingNumberByName(m_category, name)
                               : described ? m_library->RecordingNumberByIndex(m_category, index)
                                           : -1;
        m_library->SelectRecording(m_category, 0, number);
    }

    if (info != nullptr) {
        info->frontFrameRate = m_info[kFrontRate];
        info->rearFrameRate = m_info[kRearRate];
        info->frontFrameCount = m_info[kFrontFrames];
        info->rearFrameCount = m_info[kRearFrames];
    }

    m_times.SetFormat(m_info[kFrontRate], m_info[kAudioBits], m_info[kAudioRate],
                      VAudio::kBlockBytes);
    m_times.Restart(0);
    RestartReading();
    m_open = true;
    m_running.store(m_started.load());
    m_wake.SetEvent();
    return 1;
}

void CTATParser::Close() {
    PauseReader();
    DropQueued();
    m_open = false;
    m_lastEnd.store(ReadEnd::kEnded, std::memory_order_release);
}

StreamKind CTATParser::ReadPacket(uint8_t* buffer, int32_t& size) {
    const int32_t capacity = buffer != nullptr ? std::max(size, 0) : 0;
    size = 0;
    if (m_end.load())
        return EndOfStream;

    uint8_t channel = 0;
    uint8_t type = 255;
    uint8_t flags = 0;
    uint32_t scratch = 0;
    int32_t length = capacity;
    TatReadStatus status = TatFailed;
    if (m_library != nullptr)
        status = m_library->ReadPacket(channel, type, flags, length, buffer, scratch);

    if (status == TatPacket && length >= 0 && length <= capacity) {
        switch (type) {
        case tat::VideoKeyFrame:
        case tat::VideoFrame:
            size = length;
            return channel != 0 ? RearVideo : FrontVideo;
        case tat::Audio:
            size = length;
            return Audio;
        case tat::Text:
            size = length;
            return Text;
        default:
            break;
        }
    }
    if (status == TatNoPacket)
        return NoPacket;
    // The end, a failed read, or a packet that makes no sense: the stream is over until the
    // next Open or a successful seek. Only the library's end is the recording's end.
    if (status != TatEnd)
        m_readFailed.store(true);
    m_end.store(true);
    return EndOfStream;
}

bool CTATParser::ReadWorker() {
    if (!m_running.load()) {
        if (m_stopping.load())
            return false; // Stop is waiting for the thread to end
        m_idle.SetEvent();
        m_wake.WaitEvent(1); // set when reading resumes or someone waits for the idle event
        return true;
    }
    if (!m_pending && ReadIntoQueue())
        return true;
    if (!m_pending)
        HoldNextPacket();

    // A packet that cannot be queued before a pause stays in hand: a failed seek goes on
    // with it, Open and a successful seek drop it.
    const StreamKind kind = m_pendingKind;
    if (kind == EndOfStream)
        LogEnd(); // before the caller can take the end from the queue
    while (m_pending && m_running.load()) {
        if (m_queue.Push(m_readBuffer.data(), m_pendingSize, kind))
            m_pending = false;
        else
            m_queue.WaitForRoom(m_pendingSize, kFullWait); // the reader or a pause wakes it
    }
    if (!m_pending)
        AfterQueued(kind);
    return true;
}

bool CTATParser::ReadIntoQueue() {
    const int32_t carry = std::exchange(m_carry, 0);
    // A packet of known size takes its bytes plus the few the library may skip to start the
    // read at an aligned address.
    const int32_t needed =
        m_needed > 0 ? m_needed + static_cast<int32_t>(CTATLibrary::kRawAlignment - 1) : 0;
    if (m_library == nullptr || m_end.load() || needed >= kQueueCapacity)
        return false;
    // A read is worth its system call from kMinRead bytes on, and must take the next packet
    // whole when its size is known.
    const int32_t least = std::max(kMinRead, needed);
    int32_t room = 0;
    uint8_t* slot = m_queue.ReserveUpTo(std::max(kBulkRead, needed), room);
    if (slot != nullptr && room < least) {
        if (m_queue.BytesHeld() + least < kQueueCapacity) {
            // There is room, but not before the ring's end: leave those bytes unused.
            m_queue.CommitRecords(std::array{CThreadQueue::Record{room, kSkipTag}}.data(), 1);
            return true;
        }
        m_queue.CancelReservation();
        slot = nullptr;
    }
    if (slot == nullptr) {
        m_queue.WaitForRoom(least, kFullWait); // full: until the caller takes some, or a pause
        return true;
    }
    // The start of the next packet came with the last read; bring it along when the free
    // bytes begin elsewhere now (the queue went back to its front when it ran empty), at the
    // same address modulo the library's alignment.
    int32_t lead = 0;
    int32_t held = 0;
    if (carry > 0) {
        lead = static_cast<int32_t>(
            (reinterpret_cast<uintptr_t>(m_carryAt) - reinterpret_cast<uintptr_t>(slot)) &
            (CTATLibrary::kRawAlignment - 1));
        if (lead + carry <= room) {
            held = carry;
            if (slot + lead != m_carryAt)
                std::memmove(slot + lead, m_carryAt, static_cast<size_t>(held));
        } else {
            lead = 0;
        }
    }

    const TatRawPackets raw = m_library->ReadRawPackets(slot + lead, room - lead, held);
    if (raw.status == TatPacket) {
        std::vector<CThreadQueue::Record>& records = m_records;
        records.clear();
        lead += raw.start;
        if (lead > 0)
            records.push_back({lead, kSkipTag});
        // When the caller lags behind, the checksums are taken here, while the bytes just read
        // are still in the cache; reading then ends at a damaged packet, after what came
        // before it. Otherwise the caller checks each packet as it takes it.
        const bool check = m_queue.BytesHeld() >= kCheckAhead;
        for (int32_t at = lead; at < lead + raw.length;) {
            tat::PacketHeader header;
            tat::PacketHeader::Decode(slot + at, header); // checked by the library
            const int32_t length = static_cast<int32_t>(tat::kPacketHeaderSize + header.size);
            if (check && Crc32c(slot + at + tat::kPacketHeaderSize, header.size,
                                Crc32c(slot + at, 12)) != header.crc) {
                records.push_back({length, kDamagedTag});
                m_readFailed.store(true);
                m_end.store(true);
                break;
            }
            records.push_back({length, (check ? kCheckedTag : kStoredTag) + KindOf(header)});
            at += length;
        }
        m_queue.CommitRecords(records.data(), static_cast<int32_t>(records.size()));
        m_carryAt = slot + lead + raw.length;
        m_carry = raw.held;
        m_needed = 0;
        return true;
    }
    if (raw.status == TatNoPacket) {
        m_needed = raw.needed; // larger than the room: wait for more, or read it alone
        m_queue.CancelReservation();
        return true;
    }
    // The end or damage: ReadPacket reports it.
    m_queue.CancelReservation();
    if (raw.status != TatEnd)
        m_readFailed.store(true);
    m_end.store(true);
    return false;
}

void CTATParser::HoldNextPacket() {
    // One byte less than the queue's bound: the largest record the queue can hold.
    int32_t size = kQueueCapacity - 1;
    m_pendingKind = ReadPacket(m_readBuffer.data(), size);
    m_pendingSize = size;
    m_pending = true;
    m_needed = 0;
    // A NoPacket marker lets Read answer at once instead of polling, but one in the
    // queue is enough: more would pile up while nobody reads.
    if (m_pendingKind == NoPacket && m_queue.RecordCount() > 0)
        m_pending = false;
}

void CTATParser::AfterQueued(StreamKind kind) {
    if (kind == EndOfStream) {
        LogEnd();
        m_running.store(false);
    } else if (kind == NoPacket) {
        std::this_thread::sleep_for(1ms);
    }
}

void CTATParser::LogEnd() {
    if (!m_endLogged.exchange(true))
        TATV_DIAG(m_diag, "Media End Recv [%d]\n", static_cast<int>(EndOfStream));
}

bool CTATParser::Read(uint8_t* buffer, int32_t capacity, MediaPacket& packet) {
    packet = MediaPacket{};
    StreamKind kind = NoPacket;
    int32_t size = 0;
    if (TakeNext(kind, buffer, std::max(capacity, 0), size) < 0) {
        packet.kind = EndOfStream;
        return false;
    }
    packet.kind = kind;
    if (kind != NoPacket)
        packet = m_times.StampPacket(kind, kind == RearVideo ? 1 : 0, buffer, size);
    return true;
}

int64_t CTATParser::TakeNext(StreamKind& kind, uint8_t* buffer, int32_t capacity, int32_t& size) {
    size = 0;
    if (m_damaged)
        return EndOfReads(ReadEnd::kFailed);
    CThreadQueue::Front front;
    for (int poll = 1;; ++poll) {
        // Read the flag before trying the queue: once the reading thread has cleared it,
        // everything it queued before is visible.
        const bool running = m_running.load();
        if (m_queue.PeekFront(front)) {
            if (front.tag != kSkipTag)
                return TakeFront(front, kind, buffer, capacity, size);
            m_queue.PopFront();
            continue;
        }
        if (!running)
            return EndOfReads(ReaderEnd());
        if (poll >= kEmptyPolls)
            return 4; // nothing yet: NoPacket, no id
        m_queue.WaitForRecord(std::chrono::milliseconds(kEmptyPollMs)); // wakes on a push
    }
}

int64_t CTATParser::TakeFront(const CThreadQueue::Front& front, StreamKind& kindOut,
                              uint8_t* buffer, int32_t capacity, int32_t& size) {
    RecordBytes bytes(front);
    int32_t kind = front.tag;
    int32_t skip = 0;
    if (kind == kDamagedTag)
        return EndAtDamage();
    const bool checked = kind >= kCheckedTag && kind < kCheckedTag + 4;
    if (checked || (kind >= kStoredTag && kind < kStoredTag + 4)) {
        // As stored: the header first. The payload goes out only once its CRC matches.
        uint8_t head[tat::kPacketHeaderSize];
        tat::PacketHeader header;
        skip = static_cast<int32_t>(tat::kPacketHeaderSize);
        if (front.Length() < skip || !bytes.Copy(0, head, sizeof head) ||
            !tat::PacketHeader::Decode(head, header) ||
            header.size != static_cast<uint32_t>(front.Length() - skip))
            return EndAtDamage();
        if (!checked && static_cast<int32_t>(header.size) <= capacity &&
            bytes.Crc(tat::kPacketHeaderSize, Crc32c(head, 12)) != header.crc)
            return EndAtDamage();
        kind -= checked ? kCheckedTag : kStoredTag;
    }
    const int32_t length = front.Length() - skip;
    if (length > capacity || (length > 0 && buffer == nullptr))
        return EndOfReads(ReadEnd::kFailed); // the packet does not fit; it stays queued
    bytes.Copy(static_cast<size_t>(skip), buffer, static_cast<size_t>(length));
    m_queue.PopFront();

    if (kind == NoPacket)
        return 4;
    if (kind == EndOfStream)
        return EndOfReads(ReaderEnd());
    if (kind != FrontVideo && kind != RearVideo && kind != Audio && kind != Text)
        return EndOfReads(ReadEnd::kFailed);
    kindOut = static_cast<StreamKind>(kind);
    size = length;
    return 4;
}

int64_t CTATParser::EndAtDamage() {
    // The reading thread stops; what it queued is dropped at the next Open or seek.
    m_damaged = true;
    m_end.store(true);
    m_running.store(false);
    TATV_DIAG(m_diag, "[TATParser] damaged packet\n");
    LogEnd();
    return EndOfReads(ReadEnd::kFailed);
}

int64_t CTATParser::EndOfReads(ReadEnd why) {
    m_lastEnd.store(why, std::memory_order_release);
    return -1;
}

ReadEnd CTATParser::ReaderEnd() const {
    if (!m_open)
        return ReadEnd::kEnded; // closed: nothing is being read
    // Not started or stopped: the open recording cannot be read on.
    return m_readFailed.load() || !m_started.load() ? ReadEnd::kFailed : ReadEnd::kEnded;
}

VideoSize CTATParser::GetVideoSize(int stream) {
    if (stream != 0 && stream != 1)
        return {};
    const size_t s = static_cast<size_t>(stream);
    return {m_info[kFrontWidth + s], m_info[kFrontHeight + s]};
}

int32_t CTATParser::GetFrameRate(int stream) {
    if (stream != 0 && stream != 1)
        return 0;
    return m_info[kFrontRate + static_cast<size_t>(stream)];
}

void CTATParser::GetAudioFormat(int32_t& bitsPerSample, int32_t& samplesPerSecond) {
    bitsPerSample = 16;
    samplesPerSecond = 8000;
}

int CTATParser::SeekTime(float seconds) {
    // No time at all, or one beyond any recording: nothing to move to.
    if (std::isnan(seconds) || seconds >= 2147483648.0f)
        return -1;
    const int32_t whole = seconds > 0.0f ? static_cast<int32_t>(seconds) : 0;
    const int32_t rate = m_info[kFrontRate] != 0 ? m_info[kFrontRate] : kFallbackFrameRate;
    const int32_t durationSeconds = m_info[kFrontFrames] / rate;

    const bool wasRunning = PauseReader();
    const int32_t result =
        m_library != nullptr ? m_library->SeekSeconds(whole, durationSeconds) : -1;
    if (result >= 0) {
        // The old position's packets are stale now, and a recording that had reached its
        // end has packets to give again.
        RestartReading();
        m_times.Restart(int64_t{whole} * rate);
        m_running.store(m_open && m_started.load());
    } else {
        m_running.store(wasRunning);
    }
    m_wake.SetEvent();
    return result;
}

bool CTATParser::ParseCountsText(std::string_view text, TatInfo& info) {
    static constexpr size_t kSlots[5] = {kFrontFrames, kRearFrames, kAudioPackets, kSensorPackets,
                                         kGpsPackets};
    int32_t values[5] = {};
    size_t next = 0;
    std::string_view format = kCountsFormat;
    while (!format.empty()) {
        if (format.substr(0, 2) == "%d") {
            if (!ReadCount(text, values[next++]))
                return false;
            format.remove_prefix(2);
        } else if (ascii::IsSpace(format.front())) {
            SkipSpace(text);
            format.remove_prefix(1);
        } else {
            if (text.empty() || text.front() != format.front())
                return false;
            text.remove_prefix(1);
            format.remove_prefix(1);
        }
    }
    for (size_t i = 0; i < 5; ++i)
        info[kSlots[i]] = values[i];
    return true;
}
