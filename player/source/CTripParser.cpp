#include "CTripParser.h"

#include "player/source/TripReadAhead.h"
#include "player/source/TripSegmentOpen.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// A segment opened on the caller's thread reads up to its first front picture only: its
// shift is known then, and the rest is read when it plays.
constexpr TripReadLimits kOpenHere{0, 8 * 1024 * 1024};

int64_t ShiftedUs(int64_t timeUs, int64_t shiftUs) {
    return timeUs == kNoTimeUs ? kNoTimeUs : timeUs + shiftUs;
}

int32_t FrameCount(int64_t lengthUs, int32_t rate) {
    const double frames = std::round(static_cast<double>(lengthUs) * rate / 1e6);
    return static_cast<int32_t>(
        std::clamp(frames, 0.0, static_cast<double>(std::numeric_limits<int32_t>::max())));
}

} // namespace

struct CTripParser::Impl {
    explicit Impl(const Factory& factory) : readAhead(factory, TripReadLimits{}) {}

    TripReadAhead readAhead;
    // The caller's thread only.
    std::unique_ptr<OpenedSegment> current;
    SegmentFormat format; // the first opened segment's
    bool open = false;
    bool failed = false;         // since Open, a segment did not open or its reading failed
    bool driveEnded = false;     // the current segment has ended and none after it opens
    std::vector<uint8_t> buffer; // for segments opened here
    std::atomic<ReadEnd> lastEnd{ReadEnd::kEnded};
};

CTripParser::CTripParser(Factory factory)
    : m_factory(std::move(factory)), m_impl(std::make_unique<Impl>(m_factory)) {}

CTripParser::~CTripParser() {
    Stop();
}

void CTripParser::SetSegments(std::vector<TripSegment> segments) {
    Close();
    m_segments = std::move(segments);
}

int CTripParser::SegmentAt(int64_t timeUs) const {
    if (m_segments.empty())
        return -1;
    const auto after =
        std::upper_bound(m_segments.begin(), m_segments.end(), timeUs,
                         [](int64_t time, const TripSegment& s) { return time < s.offsetUs; });
    return after == m_segments.begin() ? 0 : static_cast<int>(after - m_segments.begin()) - 1;
}

bool CTripParser::Start() {
    return m_impl->readAhead.Start();
}

void CTripParser::Stop() {
    Close();
    m_impl->readAhead.Stop();
}

int64_t CTripParser::Open(const std::string& /*name*/, OpenInfo* info) {
    Close();
    Impl& impl = *m_impl;
    std::unique_ptr<OpenedSegment> first =
        OpenFirstSegment(m_factory, m_segments, 0, kOpenHere, nullptr, nullptr, impl.buffer);
    if (!first || first->index < 0)
        return 0;
    impl.failed = first->skipped > 0;
    impl.format = first->format;
    impl.current = std::move(first);
    impl.open = true;
    impl.readAhead.Ask(m_segments, static_cast<size_t>(impl.current->index) + 1);

    if (info != nullptr) {
        const TripSegment& last = m_segments.back();
        const int64_t endUs = last.offsetUs + last.lengthUs;
        // The engine times a recording that declares no rate at its reported rate, else 30.
        int32_t rate = impl.format.openFrontRate;
        if (rate <= 0)
            rate = impl.format.frameRate[0] > 0 ? impl.format.frameRate[0] : 30;
        info->frontFrameRate = impl.format.openFrontRate;
        info->rearFrameRate = impl.format.openRearRate;
        info->frontFrameCount = FrameCount(endUs, rate);
        info->rearFrameCount =
            impl.format.openRearRate > 0 ? FrameCount(endUs, impl.format.openRearRate) : 0;
    }
    return 1;
}

void CTripParser::Close() {
    Impl& impl = *m_impl;
    impl.readAhead.Cancel();
    if (impl.current)
        CloseInnerParser(impl.current->parser);
    impl.current.reset();
    // Nothing of the drive stays open: what the thread still closes or abandons goes first.
    impl.readAhead.WaitIdle();
    impl.open = false;
    impl.failed = false;
    impl.driveEnded = false;
    impl.format = SegmentFormat{};
    impl.lastEnd.store(ReadEnd::kEnded, std::memory_order_release);
}

bool CTripParser::Advance() {
    Impl& impl = *m_impl;
    const int from = impl.current->index + 1;
    if (impl.driveEnded || from >= static_cast<int>(m_segments.size()))
        return false;
    std::unique_ptr<OpenedSegment> next = impl.readAhead.Take(from);
    if (!next) {
        impl.readAhead.CloseQueued();
        next = OpenFirstSegment(m_factory, m_segments, static_cast<size_t>(from), kOpenHere,
                                nullptr, nullptr, impl.buffer);
    }
    impl.failed = impl.failed || next->skipped > 0;
    if (next->index < 0) {
        impl.driveEnded = true;
        return false;
    }
    impl.readAhead.Retire(std::move(impl.current->parser));
    impl.current = std::move(next);
    impl.readAhead.Ask(m_segments, static_cast<size_t>(impl.current->index) + 1);
    return true;
}

bool CTripParser::Read(uint8_t* buffer, int32_t capacity, MediaPacket& packet) {
    Impl& impl = *m_impl;
    packet = MediaPacket{};
    packet.kind = EndOfStream;
    if (!impl.open || !impl.current) {
        impl.lastEnd.store(ReadEnd::kEnded, std::memory_order_release);
        return false;
    }
    for (;;) {
        OpenedSegment& segment = *impl.current;
        if (!segment.held.empty()) {
            HeldPacket held = std::move(segment.held.front());
            segment.held.pop_front();
            segment.heldBytes -= static_cast<int64_t>(held.bytes.size());
            segment.fresh = false;
            const auto size = static_cast<int32_t>(held.bytes.size());
            if (size > capacity || (buffer == nullptr && size > 0))
                continue; // larger than any packet the caller takes: left out
            if (size > 0)
                std::memcpy(buffer, held.bytes.data(), held.bytes.size());
            packet.kind = held.kind;
            packet.channel = held.channel;
            packet.keyFrame = held.keyFrame;
            packet.timeUs = ShiftedUs(held.timeUs, segment.shiftUs);
            packet.size = size;
            packet.payload = buffer;
            return true;
        }
        if (!segment.ended) {
            segment.fresh = false;
            if (segment.parser->Read(buffer, capacity, packet)) {
                if (packet.kind != NoPacket)
                    packet.timeUs = ShiftedUs(packet.timeUs, segment.shiftUs);
                return true;
            }
            segment.ended = true;
            segment.failed = segment.parser->LastReadEnd() == ReadEnd::kFailed;
        }
        impl.failed = impl.failed || segment.failed;
        // The next segment plays on in this same call: its packets in hand first.
        if (!Advance()) {
            packet = MediaPacket{};
            packet.kind = EndOfStream;
            impl.lastEnd.store(impl.failed ? ReadEnd::kFailed : ReadEnd::kEnded,
                               std::memory_order_release);
            return false;
        }
    }
}

ReadEnd CTripParser::LastReadEnd() const {
    return m_impl->lastEnd.load(std::memory_order_acquire);
}

int CTripParser::SeekInside(OpenedSegment& segment, int64_t timeUs) {
    const int64_t innerUs = std::max<int64_t>(timeUs - segment.shiftUs, 0);
    // The packets in hand begin at the segment's first picture: a time at or before it needs
    // no seek.
    if (segment.fresh && innerUs <= segment.firstFrontUs)
        return 0;
    const int result =
        segment.parser->SeekTime(static_cast<float>(static_cast<double>(innerUs) / 1e6));
    if (result < 0)
        return result;
    segment.held.clear();
    segment.heldBytes = 0;
    segment.fresh = false;
    segment.ended = false;
    segment.failed = false;
    return 0;
}

int CTripParser::SeekTime(float seconds) {
    Impl& impl = *m_impl;
    if (!impl.open || !impl.current || std::isnan(seconds))
        return -1;
    const auto timeUs =
        static_cast<int64_t>(std::llround(std::max(static_cast<double>(seconds), 0.0) * 1e6));
    const int target = SegmentAt(timeUs);
    if (target == impl.current->index) {
        const int result = SeekInside(*impl.current, timeUs);
        if (result == 0) {
            impl.driveEnded = false;
            impl.lastEnd.store(ReadEnd::kEnded, std::memory_order_release);
            impl.readAhead.Ask(m_segments, static_cast<size_t>(target) + 1);
        }
        return result;
    }
    // The read-ahead one is taken over; any other is opened here.
    std::unique_ptr<OpenedSegment> segment = impl.readAhead.Take(target);
    if (!segment) {
        impl.readAhead.Cancel();
        impl.readAhead.CloseQueued();
        segment = OpenFirstSegment(m_factory, m_segments, static_cast<size_t>(target), kOpenHere,
                                   nullptr, nullptr, impl.buffer);
    }
    impl.failed = impl.failed || segment->skipped > 0;
    int result = segment->index < 0 ? -1 : 0;
    // A segment that does not open: the next one that does plays from its start.
    if (result == 0 && segment->index == target)
        result = SeekInside(*segment, timeUs);
    if (result < 0) {
        // The position stays as it was.
        impl.readAhead.Retire(std::move(segment->parser));
        impl.readAhead.Ask(m_segments, static_cast<size_t>(impl.current->index) + 1);
        return result;
    }
    impl.readAhead.Retire(std::move(impl.current->parser));
    impl.current = std::move(segment);
    impl.driveEnded = false;
    impl.lastEnd.store(ReadEnd::kEnded, std::memory_order_release);
    impl.readAhead.Ask(m_segments, static_cast<size_t>(impl.current->index) + 1);
    return 0;
}

VideoSize CTripParser::GetVideoSize(int stream) {
    return stream >= 0 && stream < SegmentFormat::kStreams ? m_impl->format.size[stream]
                                                           : VideoSize{};
}

int32_t CTripParser::GetFrameRate(int stream) {
    return stream >= 0 && stream < SegmentFormat::kStreams ? m_impl->format.frameRate[stream] : 0;
}

void CTripParser::GetAudioFormat(int32_t& bitsPerSample, int32_t& samplesPerSecond) {
    bitsPerSample = m_impl->format.audioBits;
    samplesPerSecond = m_impl->format.audioRate;
}

VideoCodec CTripParser::GetVideoCodec(int stream) {
    return stream >= 0 && stream < SegmentFormat::kStreams ? m_impl->format.codec[stream]
                                                           : VideoCodec::kH264;
}

int CTripParser::VideoChannels() const {
    return m_impl->format.channels;
}
