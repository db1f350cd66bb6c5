#include "TatTestCards.h"

#include "base/ByteOrder.h"

#include <gtest/gtest.h>

std::string TestConfigText() {
    return "[blackbox]\r\ntat_update=0\r\nmic_volume=3\r\nmodel=MV-700\r\n[time]\r\nset=0\r\n";
}

uint32_t FrameOfPayload(const uint8_t* payload) {
    return LoadU32LE(payload + 2);
}

std::vector<TestTatPacket> TestRecordingPackets(const TestRecording& r) {
    std::vector<TestTatPacket> packets;
    const int frames = r.seconds * r.frameRate;
    uint32_t audioBlock = 0;
    for (int f = 0; f < frames; ++f) {
        const bool key = f % r.keyEvery == 0;
        const uint8_t type = key ? tat::VideoKeyFrame : tat::VideoFrame;
        for (uint8_t channel = 0; channel < (r.twoChannel ? 2 : 1); ++channel) {
            std::vector<uint8_t> payload(
                static_cast<size_t>(channel == 0 ? (r.frontBytes > 0 ? r.frontBytes : 200 + f % 57)
                                                 : 80 + f % 13),
                0x5A);
            payload[0] = 'V';
            payload[1] = channel;
            StoreU32LE(payload.data() + 2, static_cast<uint32_t>(f));
            packets.push_back({type, channel, payload});
        }
        // A 240 ms audio block once its time has been covered by video.
        while ((audioBlock + 1) * 240u <= static_cast<uint32_t>((f + 1) * 1000 / r.frameRate)) {
            std::vector<uint8_t> payload(3840, 0);
            payload[0] = 'A';
            StoreU32LE(payload.data() + 1, audioBlock++);
            packets.push_back({tat::Audio, 0, payload});
        }
        if (f % r.frameRate == 0) {
            const std::string gps =
                "G$GPRMC,000702.000,A,3733.9600,N,12658.6740,E,10.0,45.0,050324,,,A";
            packets.push_back({tat::Text, 0, std::vector<uint8_t>(gps.begin(), gps.end())});
        }
        if (f % (r.frameRate / 10 == 0 ? 1 : r.frameRate / 10) == 0)
            packets.push_back({tat::Text, 0, {'M', 128, 130, 126}});
    }
    return packets;
}

std::unique_ptr<CTATLibrary> OpenTestCard(const std::string& root) {
    TatCardSource source;
    source.cardFolder = root;
    source.scanRemovable = false;
    auto library = std::make_unique<CTATLibrary>(source);
    library->PollCardDrive();
    library->MountCard();
    return library;
}

void MakeTestCard(const std::string& root, const std::vector<TestRecording>& recordings) {
    std::string error;
    ASSERT_TRUE(CTATCardWriter::CreateCard(root, TestConfigText(), &error)) << error;
    CTATCardWriter writer(root);
    for (const TestRecording& r : recordings) {
        tat::InfoBlock info;
        info.channels = r.twoChannel ? 2 : 1;
        info.frontFrameRate = static_cast<uint8_t>(r.frameRate);
        info.rearFrameRate = r.twoChannel ? static_cast<uint8_t>(r.frameRate) : 0;
        info.frontWidth = 1280;
        info.frontHeight = 720;
        info.rearWidth = r.twoChannel ? 640 : 0;
        info.rearHeight = r.twoChannel ? 360 : 0;
        info.startTime = 1709629622;
        ASSERT_TRUE(writer.BeginRecording(r.name, info)) << writer.Error();
        const std::vector<TestTatPacket> packets = TestRecordingPackets(r);
        const size_t count = r.finish ? packets.size() : packets.size() / 2;
        for (size_t i = 0; i < count; ++i) {
            const TestTatPacket& p = packets[i];
            ASSERT_TRUE(writer.AddPacket(p.type, p.channel, p.payload.data(),
                                         static_cast<uint32_t>(p.payload.size())))
                << writer.Error();
        }
        if (r.finish)
            ASSERT_TRUE(writer.FinishRecording()) << writer.Error();
        else
            writer.AbandonRecording(true);
    }
}
