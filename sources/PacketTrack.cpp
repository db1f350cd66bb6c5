#include "sources/PacketTrack.h"

#include "base/AlignedBuffer.h"
#include "telemetry/TextChannelTrack.h"

bool ReadPacketTrack(VMediaParser& parser, const std::string& openName, TelemetryTrack& track) {
    if (!parser.Start())
        return false;
    OpenInfo info;
    if (parser.Open(openName, &info) == 0) {
        parser.Close();
        return false;
    }
    AlignedBuffer buffer(kPacketBufferSize);
    TextChannelTrack text;
    for (MediaPacket packet; parser.Read(buffer.data(), kPacketBufferSize, packet);)
        if (packet.kind == Text && packet.size > 0 && packet.timeUs != kNoTimeUs)
            text.OnTextPacket(packet.payload, static_cast<size_t>(packet.size),
                              packet.timeUs / 1000);
    parser.Close();
    track = text.Take();
    return true;
}
