#include "TripSegmentOpen.h"

namespace {

SegmentFormat FormatOf(VMediaParser& parser, const OpenInfo& info) {
    SegmentFormat format;
    for (int stream = 0; stream < SegmentFormat::kStreams; ++stream) {
        format.size[stream] = parser.GetVideoSize(stream);
        format.frameRate[stream] = parser.GetFrameRate(stream);
        format.codec[stream] = parser.GetVideoCodec(stream);
    }
    format.openFrontRate = info.frontFrameRate;
    format.openRearRate = info.rearFrameRate;
    parser.GetAudioFormat(format.audioBits, format.audioRate);
    format.channels = parser.VideoChannels();
    return format;
}

// Reads the segment's first packets into `held`: up to the first front picture, then on
// within the limits unless hurried.
void ReadFirstPackets(OpenedSegment& segment, const TripReadLimits& limits,
                      const std::atomic<bool>* hurry, const std::function<bool()>& cancelled,
                      std::vector<uint8_t>& buffer) {
    bool haveFront = false;
    while (!(cancelled && cancelled())) {
        if (haveFront && hurry != nullptr && hurry->load(std::memory_order_acquire))
            return;
        MediaPacket packet;
        if (!segment.parser->Read(buffer.data(), static_cast<int32_t>(buffer.size()), packet)) {
            segment.ended = true;
            segment.failed = segment.parser->LastReadEnd() == ReadEnd::kFailed;
            return;
        }
        if (packet.kind == NoPacket)
            return; // nothing comes now: reading on is the caller's, when the segment plays
        HeldPacket held;
        held.kind = packet.kind;
        held.channel = packet.channel;
        held.keyFrame = packet.keyFrame;
        held.timeUs = packet.timeUs;
        if (packet.payload != nullptr && packet.size > 0)
            held.bytes.assign(packet.payload, packet.payload + packet.size);
        segment.heldBytes += static_cast<int64_t>(held.bytes.size());
        segment.held.push_back(std::move(held));
        if (packet.kind == FrontVideo && packet.timeUs != kNoTimeUs) {
            if (!haveFront) {
                haveFront = true;
                segment.firstFrontUs = packet.timeUs;
            }
            if (packet.timeUs - segment.firstFrontUs >= limits.aheadUs)
                return;
        }
        if (segment.heldBytes >= limits.aheadBytes)
            return;
    }
}

// Opens one segment; null when it does not open or `cancelled` said so.
std::unique_ptr<OpenedSegment> OpenOne(const CTripParser::Factory& factory,
                                       const TripSegment& place, const TripReadLimits& limits,
                                       const std::atomic<bool>* hurry,
                                       const std::function<bool()>& cancelled,
                                       std::vector<uint8_t>& buffer) {
    std::unique_ptr<VMediaParser> parser = factory ? factory() : nullptr;
    if (!parser)
        return nullptr;
    OpenInfo info;
    if (!parser->Start() || parser->Open(place.name, &info) == 0) {
        CloseInnerParser(parser);
        return nullptr;
    }
    auto segment = std::make_unique<OpenedSegment>();
    segment->format = FormatOf(*parser, info);
    segment->parser = std::move(parser);
    ReadFirstPackets(*segment, limits, hurry, cancelled, buffer);
    segment->shiftUs = place.offsetUs - segment->firstFrontUs;
    return segment;
}

} // namespace

std::unique_ptr<OpenedSegment>
OpenFirstSegment(const CTripParser::Factory& factory, const std::vector<TripSegment>& segments,
                 size_t from, const TripReadLimits& limits, const std::atomic<bool>* hurry,
                 const std::function<bool()>& cancelled, std::vector<uint8_t>& buffer) {
    if (buffer.size() < static_cast<size_t>(kPacketBufferSize))
        buffer.resize(static_cast<size_t>(kPacketBufferSize));
    int skipped = 0;
    for (size_t i = from; i < segments.size(); ++i) {
        if (cancelled && cancelled())
            return nullptr;
        std::unique_ptr<OpenedSegment> segment =
            OpenOne(factory, segments[i], limits, hurry, cancelled, buffer);
        if (segment && cancelled && cancelled()) {
            CloseInnerParser(segment->parser);
            return nullptr;
        }
        if (segment) {
            segment->index = static_cast<int>(i);
            segment->skipped = skipped;
            return segment;
        }
        ++skipped;
    }
    auto none = std::make_unique<OpenedSegment>();
    none->skipped = skipped;
    return none;
}

void CloseInnerParser(std::unique_ptr<VMediaParser>& parser) {
    if (!parser)
        return;
    parser->Close();
    parser->Stop();
    parser.reset();
}
