#pragma once

#include "player/api/MediaPacket.h"

#include <string>

// A short name of a packet's kind, as the tests compare packets with what was written:
// "00dc" front, "01dc" rear, "02wb" audio, "03tx" text, "" for anything else.
inline std::string PacketLabel(const MediaPacket& packet) {
    switch (packet.kind) {
    case FrontVideo:
        return "00dc";
    case RearVideo:
        return "01dc";
    case Audio:
        return "02wb";
    case Text:
        return "03tx";
    default:
        return "";
    }
}
