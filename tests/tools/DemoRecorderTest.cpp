// Recordings as the demonstration recorder lays them out: the camera's packet order, key
// frames on whole seconds, Annex B pictures led by delimiters, and sound blocks written only
// once the video they belong to is written.
#include "tools/tatcard/DemoRecorder.h"
#include "formats/AnnexB.h"
#include "tools/tatcard/DemoCard.h"
#include "tools/tatcard/PacketList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Small pictures keep the coding quick; the layout does not depend on the size.
DemoFormat SmallFormat() {
    DemoFormat format;
    format.frontWidth = 160;
    format.frontHeight = 96;
    format.rearWidth = 96;
    format.rearHeight = 64;
    return format;
}

RecordingPlan TwoSecondDrive(bool twoChannel) {
    RecordingPlan plan;
    plan.name = twoChannel ? "EVENT_20240305_090702_D" : "MANUAL_20240305_091512_S";
    plan.start = CivilTime{2024, 3, 5, 9, 7, 2};
    plan.seconds = 2;
    plan.twoChannel = twoChannel;
    plan.shockSecond = 1;
    plan.variant = 4;
    return plan;
}

CPacketList Record(const RecordingPlan& plan, const DemoFormat& format = SmallFormat()) {
    CPacketList list;
    std::string error;
    const CDemoRecorder recorder(format, 1);
    EXPECT_TRUE(recorder.Record(plan, list, &error)) << error;
    return list;
}

bool StartsWithDelimiter(const std::vector<uint8_t>& unit) {
    return unit.size() > 5 && unit[0] == 0 && unit[1] == 0 &&
           ((unit[2] == 1 && (unit[3] & 0x1F) == 9) ||
            (unit[2] == 0 && unit[3] == 1 && (unit[4] & 0x1F) == 9));
}

bool IsVideo(const CPacketList::Packet& p) {
    return p.type == tat::VideoKeyFrame || p.type == tat::VideoFrame;
}

} // namespace

TEST(DemoRecorderTest, TwoChannelPacketOrderFrameByFrame) {
    const RecordingPlan plan = TwoSecondDrive(true);
    const CPacketList list = Record(plan);
    ASSERT_EQ(list.End(), CPacketList::Ending::Finished);
    EXPECT_EQ(list.Name(), plan.name);
    const auto& packets = list.Packets();

    int frame = -1; // the newest front frame written
    int rearFrames = 0;
    int audioBlocks = 0;
    int gpsLines = 0;
    int sensorLines = 0;
    enum { FrontDone, RearDone, AudioDone, TextDone } stage = TextDone;
    for (size_t i = 0; i < packets.size(); ++i) {
        const CPacketList::Packet& p = packets[i];
        if (IsVideo(p) && p.channel == 0) {
            ASSERT_NE(stage, FrontDone)
                << "front frame at packet " << i << " without the rear frame of the previous one";
            ++frame;
            EXPECT_EQ(p.type == tat::VideoKeyFrame, frame % 30 == 0) << "frame " << frame;
            stage = FrontDone;
        } else if (IsVideo(p)) {
            ASSERT_EQ(p.channel, 1);
            ASSERT_EQ(stage, FrontDone)
                << "rear frame not right after its front frame, packet " << i;
            EXPECT_EQ(p.type == tat::VideoKeyFrame, rearFrames % 30 == 0);
            ++rearFrames;
            stage = RearDone;
        } else if (p.type == tat::Audio) {
            ASSERT_NE(stage, FrontDone) << "sound between the front and rear frame";
            ASSERT_NE(stage, TextDone) << "sound after the text of frame " << frame;
            ASSERT_EQ(p.payload.size(), static_cast<size_t>(kAudioBlockBytes));
            // Block k covers [240 k, 240 k + 240) ms: written with the first frame at or past
            // its end, not earlier and not later.
            const int endMs = (audioBlocks + 1) * 240;
            EXPECT_GE(frame * 1000, endMs * 30) << "block " << audioBlocks << " too early";
            EXPECT_LT((frame - 1) * 1000, endMs * 30) << "block " << audioBlocks << " too late";
            EXPECT_EQ(p.payload, AudioBlock(audioBlocks));
            ++audioBlocks;
            stage = AudioDone;
        } else {
            ASSERT_EQ(p.type, tat::Text);
            ASSERT_NE(stage, FrontDone) << "text between the front and rear frame";
            ASSERT_FALSE(p.payload.empty());
            if (p.payload[0] == 'G') {
                EXPECT_EQ(frame % 30, 0) << "GPS line not on the first frame of a second";
                EXPECT_EQ(gpsLines, frame / 30);
                const std::string text(p.payload.begin(), p.payload.end());
                EXPECT_EQ(text.rfind("G$GPRMC,", 0), 0u) << text;
                ++gpsLines;
            } else {
                ASSERT_EQ(p.payload[0], 'M');
                ASSERT_EQ(p.payload.size(), 4u);
                EXPECT_EQ(frame % 3, 0) << "G-sensor line off the 10 Hz grid";
                EXPECT_EQ(sensorLines, frame / 3);
                ++sensorLines;
            }
            stage = TextDone;
        }
    }
    EXPECT_EQ(frame + 1, 60);
    EXPECT_EQ(rearFrames, 60);
    EXPECT_EQ(audioBlocks, AudioBlocksDue(59, 30));
    EXPECT_EQ(gpsLines, 2);
    EXPECT_EQ(sensorLines, 20);
}

TEST(DemoRecorderTest, PicturesAreAnnexBAccessUnitsWithKeyFramesEachSecond) {
    const CPacketList list = Record(TwoSecondDrive(true));
    std::vector<uint8_t> frontStream;
    int keyFrames = 0;
    for (const CPacketList::Packet& p : list.Packets()) {
        if (!IsVideo(p))
            continue;
        EXPECT_TRUE(StartsWithDelimiter(p.payload));
        EXPECT_EQ(IsKeyFrame(p.payload.data(), p.payload.size()), p.type == tat::VideoKeyFrame);
        if (p.channel == 0) {
            frontStream.insert(frontStream.end(), p.payload.begin(), p.payload.end());
            keyFrames += p.type == tat::VideoKeyFrame ? 1 : 0;
        }
    }
    EXPECT_EQ(keyFrames, 2);
    // One access unit per packet: splitting the joined stream gives the packets back.
    EXPECT_EQ(SplitAccessUnits(frontStream.data(), frontStream.size()).size(), 60u);
}

TEST(DemoRecorderTest, FrontOnlyRecordingHasNoRearPackets) {
    const RecordingPlan plan = TwoSecondDrive(false);
    const CPacketList list = Record(plan);
    int front = 0;
    for (const CPacketList::Packet& p : list.Packets()) {
        EXPECT_FALSE(IsVideo(p) && p.channel != 0);
        front += IsVideo(p) ? 1 : 0;
    }
    EXPECT_EQ(front, 60);
    const tat::InfoBlock info = list.Info();
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.rearFrameRate, 0);
    EXPECT_EQ(info.rearWidth, 0);
    EXPECT_EQ(info.frontWidth, 160);
    EXPECT_EQ(info.frontHeight, 96);
    EXPECT_EQ(info.frontFrameRate, 30);
    EXPECT_EQ(info.category, 3);
}

TEST(DemoRecorderTest, InformationBlockOfATwoChannelRecording) {
    const CDemoRecorder recorder;
    const tat::InfoBlock info = recorder.InfoFor(TwoSecondDrive(true));
    EXPECT_EQ(info.category, 0);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.frontWidth, 1280);
    EXPECT_EQ(info.frontHeight, 720);
    EXPECT_EQ(info.rearWidth, 640);
    EXPECT_EQ(info.rearHeight, 360);
    EXPECT_EQ(info.frontFrameRate, 30);
    EXPECT_EQ(info.rearFrameRate, 30);
    EXPECT_EQ(info.audioRate, 8000u);
    EXPECT_EQ(info.audioBits, 16);
    EXPECT_EQ(info.startTime, (CivilTime{2024, 3, 5, 9, 7, 2}).ToSeconds());
}

TEST(DemoRecorderTest, SamePlanGivesTheSameBytes) {
    const RecordingPlan plan = TwoSecondDrive(true);
    const CPacketList first = Record(plan);
    const CPacketList second = Record(plan);
    ASSERT_EQ(first.Packets().size(), second.Packets().size());
    for (size_t i = 0; i < first.Packets().size(); ++i)
        ASSERT_EQ(first.Packets()[i].payload, second.Packets()[i].payload) << "packet " << i;
}

TEST(DemoRecorderTest, CutOffRecordingIsAbandonedMidPacket) {
    RecordingPlan plan = TwoSecondDrive(true);
    plan.seconds = 1;
    plan.cutOff = true;
    const CPacketList list = Record(plan);
    EXPECT_EQ(list.End(), CPacketList::Ending::AbandonedMidPacket);
    EXPECT_FALSE(list.Packets().empty());
}

TEST(DemoRecorderTest, LeanestDemoRecordingStillExceedsTheListingThreshold) {
    // The recording list leaves out entries under 512 KiB. The smallest of the demonstration
    // card is a parked, front-only one (no road movement, no rear pictures).
    const std::vector<RecordingPlan> plans = DemoPlans();
    const RecordingPlan* leanest = nullptr;
    for (const RecordingPlan& plan : plans) {
        if (plan.parked && !plan.twoChannel &&
            (leanest == nullptr || plan.seconds < leanest->seconds))
            leanest = &plan;
    }
    ASSERT_NE(leanest, nullptr);
    const CPacketList list = Record(*leanest, DemoFormat());
    EXPECT_GT(list.PayloadBytes(), 524288u * 2) << leanest->name;
}

TEST(DemoRecorderTest, SixtyFramesASecondKeepKeyFramesSoundAndSensorLinesOnTheSecond) {
    DemoFormat format = SmallFormat();
    format.framesPerSecond = 60;
    const CPacketList list = Record(TwoSecondDrive(true), format);
    int front = 0;
    int keyFrames = 0;
    int audio = 0;
    int sensor = 0;
    int gps = 0;
    for (const CPacketList::Packet& p : list.Packets()) {
        if (IsVideo(p) && p.channel == 0) {
            EXPECT_EQ(p.type == tat::VideoKeyFrame, front % 60 == 0) << front;
            keyFrames += p.type == tat::VideoKeyFrame ? 1 : 0;
            ++front;
        } else if (p.type == tat::Audio) {
            ++audio;
        } else if (p.type == tat::Text && !p.payload.empty()) {
            (p.payload[0] == 'M' ? sensor : gps) += 1;
        }
    }
    EXPECT_EQ(front, 120);
    EXPECT_EQ(keyFrames, 2);
    EXPECT_EQ(gps, 2);
    EXPECT_EQ(sensor, 20) << "ten G-sensor lines a second at any frame rate";
    EXPECT_EQ(audio, AudioBlocksDue(119, 60)) << "240 ms blocks, as at 30 fps";
    EXPECT_EQ(AudioBlocksDue(119, 60), AudioBlocksDue(59, 30));
}
