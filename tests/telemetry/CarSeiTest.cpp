// The car's own driving data in the SEI units of its front video: the reader on clips that
// FFmpeg encodes and our writer fills, single units with odd contents, the route and speed
// made from the states, and the CSV rows.
#include "telemetry/CarRoute.h"
#include "telemetry/CarSeiReader.h"
#include "telemetry/CsvWriter.h"
#include "telemetry/GpxWriter.h"
#include "telemetry/MemoryByteSource.h"
#include "telemetry/RecordingTelemetry.h"
#include "tests/support/CarSeiClips.h"
#include "tests/support/DashcamClips.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// A state with every field, varying with k.
TimedCarState Full(int k) {
    TimedCarState s;
    s.frameNumber = 1000 + static_cast<uint64_t>(k);
    s.speedMps = 10.0 + k * 0.25;
    s.gear = CarGear::kDrive;
    s.acceleratorPercent = 20.0 + k;
    s.brake = k % 2 == 1;
    s.steeringDegrees = -15.5 + k;
    s.blinkerLeft = k % 3 == 0;
    s.blinkerRight = false;
    s.assist = DriveAssist::kAutosteer;
    s.latitude = 37.5 + k * 0.00001;
    s.longitude = 127.25;
    s.heading = 90.5;
    s.accelX = 0.125;
    s.accelY = -0.5;
    s.accelZ = 9.75;
    return s;
}

bool Contains(const carsei::Bytes& bytes, const carsei::Bytes& run) {
    return std::search(bytes.begin(), bytes.end(), run.begin(), run.end()) != bytes.end();
}

} // namespace

TEST(CarSeiReaderTest, ReadsEachFramesMessageAtThePicturesTime) {
    TempDir dir;
    std::vector<TimedCarState> written;
    for (int k = 0; k < 30; ++k)
        written.push_back(Full(k));
    std::vector<int64_t> times;
    const std::string clip = dir.File("2024-03-05_09-07-02-front.mp4");
    ASSERT_TRUE(carsei::MakeCarClip(clip, written, 2.0, &times));

    const std::vector<TimedCarState> read = CarSeiReader::Read(clip);
    ASSERT_EQ(read.size(), written.size());
    // x264's B-frames put the file's order apart from the pictures' order: every state is
    // at its own packet's presentation time, and the list runs in time.
    for (const TimedCarState& state : read) {
        ASSERT_TRUE(state.frameNumber.has_value());
        const int k = static_cast<int>(*state.frameNumber - 1000);
        ASSERT_GE(k, 0);
        ASSERT_LT(k, 30);
        // (FFmpeg rounds its milliseconds, the reader truncates them.)
        EXPECT_NEAR(static_cast<double>(state.timeMs),
                    static_cast<double>(times[static_cast<size_t>(k)]), 1.0)
            << k;
        const TimedCarState& w = written[static_cast<size_t>(k)];
        EXPECT_FLOAT_EQ(static_cast<float>(*state.speedMps), static_cast<float>(*w.speedMps));
        EXPECT_EQ(state.gear, CarGear::kDrive);
        EXPECT_FLOAT_EQ(static_cast<float>(*state.acceleratorPercent),
                        static_cast<float>(*w.acceleratorPercent));
        EXPECT_EQ(state.brake, w.brake);
        EXPECT_FLOAT_EQ(static_cast<float>(*state.steeringDegrees),
                        static_cast<float>(*w.steeringDegrees));
        EXPECT_EQ(state.blinkerLeft, w.blinkerLeft);
        EXPECT_EQ(state.blinkerRight, w.blinkerRight);
        EXPECT_EQ(state.assist, DriveAssist::kAutosteer);
        EXPECT_DOUBLE_EQ(*state.latitude, *w.latitude);
        EXPECT_DOUBLE_EQ(*state.longitude, 127.25);
        EXPECT_DOUBLE_EQ(*state.heading, 90.5);
        EXPECT_DOUBLE_EQ(*state.accelZ, 9.75);
    }
    EXPECT_TRUE(std::is_sorted(
        read.begin(), read.end(),
        [](const TimedCarState& a, const TimedCarState& b) { return a.timeMs < b.timeMs; }));
    EXPECT_NE(read.front().timeMs, read.back().timeMs);
}

TEST(CarSeiReaderTest, ClipsWithoutTheCarsMessagesGiveNothing) {
    TempDir dir;
    // A plain x264 clip: its first frame carries x264's own user-data SEI, not the car's.
    const std::string plain = dir.File("plain.mp4");
    ClipSpec spec;
    spec.audioRate = 0;
    ASSERT_TRUE(MakeClip(plain, spec));
    EXPECT_TRUE(CarSeiReader::Read(plain).empty());
    // Not an MP4, and a missing file.
    WriteFileText(dir.File("text.mp4"), "not a movie");
    EXPECT_TRUE(CarSeiReader::Read(dir.File("text.mp4")).empty());
    EXPECT_TRUE(CarSeiReader::Read(dir.File("missing.mp4")).empty());
    // An H.265 clip has no H.264 track to look in.
    spec.codec = "libx265";
    ASSERT_TRUE(MakeClip(dir.File("hevc.mp4"), spec));
    EXPECT_TRUE(CarSeiReader::Read(dir.File("hevc.mp4")).empty());
}

TEST(CarSeiReaderTest, MissingFieldsStayEmptyAndDamagedUnitsAreSkipped) {
    TempDir dir;
    const std::string plain = dir.File("plain.mp4");
    ClipSpec spec;
    spec.audioRate = 0;
    ASSERT_TRUE(MakeClip(plain, spec));

    TimedCarState speedOnly;
    speedOnly.frameNumber = 1;
    speedOnly.speedMps = 12.5;
    TimedCarState latitudeOnly; // half a position is none
    latitudeOnly.frameNumber = 2;
    latitudeOnly.latitude = 37.5;
    latitudeOnly.heading = 45.0;
    carsei::Bytes cut = carsei::Message(Full(3));
    cut.resize(cut.size() - 3); // a double field cut short
    carsei::Bytes garbage = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01};
    carsei::Bytes badSize = carsei::CarNal(Full(6));
    badSize[2] = 0x01; // the payload size says one byte: the prefix has no marker in it
    const std::vector<carsei::Insert> inserts = {
        {0, carsei::CarNal(speedOnly)},
        {1, carsei::CarNal(latitudeOnly)},
        {2, carsei::SeiNal(cut)},
        {3, carsei::SeiNal(garbage)},
        {4, carsei::SeiNal(carsei::Message(Full(5)), 40)}, // a size past the unit's end
        {5, badSize},
        {6, carsei::Bytes{0x06}}, // an empty SEI unit
        {7, carsei::CarNal(Full(7))},
    };
    const std::string clip = dir.File("car.mp4");
    ASSERT_TRUE(carsei::InsertUnits(plain, clip, inserts));

    std::vector<TimedCarState> read = CarSeiReader::Read(clip);
    std::sort(read.begin(), read.end(), [](const TimedCarState& a, const TimedCarState& b) {
        return a.frameNumber < b.frameNumber;
    });
    ASSERT_EQ(read.size(), 4u);
    EXPECT_EQ(read[0].frameNumber, 1u);
    EXPECT_DOUBLE_EQ(*read[0].speedMps, 12.5);
    EXPECT_FALSE(read[0].gear.has_value());
    EXPECT_FALSE(read[0].brake.has_value());
    EXPECT_FALSE(read[0].HasPosition());
    EXPECT_EQ(read[1].frameNumber, 2u);
    EXPECT_FALSE(read[1].latitude.has_value());
    EXPECT_FALSE(read[1].heading.has_value());
    EXPECT_FALSE(read[1].speedMps.has_value());
    // The unit that claims more than it holds is read for what it holds.
    EXPECT_EQ(read[2].frameNumber, 1005u);
    EXPECT_EQ(read[3].frameNumber, 1007u);
}

TEST(CarSeiReaderTest, EmulationPreventionBytesAreTakenOutOfThePayload) {
    // 2.0 as a double is 00 00 00 00 00 00 00 40: the writer escapes its zeros.
    TimedCarState state;
    state.latitude = 2.0;
    state.longitude = 0.5;
    state.heading = 0.0;
    state.frameNumber = 0x30000; // a varint with a zero byte in it
    state.speedMps = 0.0;
    const carsei::Bytes nal = carsei::CarNal(state);
    ASSERT_TRUE(Contains(nal, {0x00, 0x00, 0x03}));
    const std::optional<TimedCarState> read = CarSeiReader::DecodeSeiNal(nal.data(), nal.size(), 7);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->timeMs, 7);
    EXPECT_DOUBLE_EQ(*read->latitude, 2.0);
    EXPECT_DOUBLE_EQ(*read->longitude, 0.5);
    EXPECT_DOUBLE_EQ(*read->heading, 0.0);
    EXPECT_EQ(read->frameNumber, 0x30000u);
    EXPECT_DOUBLE_EQ(*read->speedMps, 0.0);

    // The same unit inside a file, and a unit of two messages (another user data first).
    TempDir dir;
    ClipSpec spec;
    spec.audioRate = 0;
    ASSERT_TRUE(MakeClip(dir.File("plain.mp4"), spec));
    carsei::Bytes two = {0x06, 0x05, 0x03, 0x11, 0x22, 0x33};
    const carsei::Bytes car = carsei::CarNal(Full(1));
    two.insert(two.end(), car.begin() + 1, car.end());
    ASSERT_TRUE(
        carsei::InsertUnits(dir.File("plain.mp4"), dir.File("car.mp4"), {{0, nal}, {3, two}}));
    const std::vector<TimedCarState> inFile = CarSeiReader::Read(dir.File("car.mp4"));
    ASSERT_EQ(inFile.size(), 2u);

    // Only an 03 after two zeros goes; the zeros count again after it.
    const carsei::Bytes escaped = {0x00, 0x00, 0x03, 0x01, 0x05, 0x00, 0x03,
                                   0x00, 0x00, 0x03, 0x03, 0x00, 0x00};
    const carsei::Bytes plain = {0x00, 0x00, 0x01, 0x05, 0x00, 0x03, 0x00, 0x00, 0x03, 0x00, 0x00};
    EXPECT_EQ(CarSeiReader::RemoveEmulationPrevention(escaped.data(), escaped.size()), plain);
    EXPECT_EQ(CarSeiReader::AddEmulationPrevention(plain.data(), plain.size()), escaped);
}

TEST(CarSeiReaderTest, CutAndDamagedFilesAreReadWithinTheirBounds) {
    TempDir dir;
    std::vector<TimedCarState> written;
    for (int k = 0; k < 60; ++k)
        written.push_back(Full(k));
    const std::string clip = dir.File("car.mp4");
    ASSERT_TRUE(carsei::MakeCarClip(clip, written, 2.0));
    const std::vector<uint8_t> bytes = ReadFileBytes(clip);
    {
        // Cut before its index (at the end of the file): nothing to walk.
        MemoryByteSource half(bytes.data(), bytes.size() / 2);
        EXPECT_TRUE(CarSeiReader::Read(half).empty());
    }
    // Every car unit's length made to reach past its sample: those samples are left, the
    // rest of the file still read.
    std::vector<uint8_t> lying = bytes;
    const carsei::Bytes prefix = {0x06, 0x05};
    size_t changed = 0;
    for (auto at = lying.begin();
         (at = std::search(at, lying.end(), prefix.begin(), prefix.end())) != lying.end(); ++at) {
        if (at - lying.begin() < 4 || at[3] != 0x42 || changed % 2 == 1) {
            changed += at[3] == 0x42 ? 1u : 0u;
            continue;
        }
        at[-4] = 0x7F;
        ++changed;
    }
    ASSERT_EQ(changed, 60u);
    MemoryByteSource source(lying.data(), lying.size());
    EXPECT_EQ(CarSeiReader::Read(source).size(), 30u);
}

TEST(CarRouteTest, StatesMakeTheRouteOrGiveTheReceiverTheirSpeed) {
    std::vector<TimedCarState> states;
    for (int k = 0; k < 10; ++k) {
        TimedCarState s = Full(k);
        s.timeMs = k * 33;
        if (k == 4)
            s.speedMps.reset(); // standing still: the car leaves zero out
        states.push_back(s);
    }
    states[1].latitude.reset();
    states[1].longitude.reset();
    // One fix per 100 ms of states with positions: 0, 132 (k 4), 264 (k 8).
    const std::vector<TimedFix> fixes = carroute::FixesFromStates(states);
    ASSERT_EQ(fixes.size(), 3u);
    EXPECT_EQ(fixes[0].timeMs, 0);
    EXPECT_EQ(fixes[1].timeMs, 132);
    EXPECT_EQ(fixes[2].timeMs, 264);
    EXPECT_EQ(fixes[0].fix.valid, 1);
    EXPECT_NEAR(fixes[0].fix.LatitudeDegrees(), 37.5, 1e-9);
    EXPECT_NEAR(fixes[0].fix.LongitudeDegrees(), 127.25, 1e-9);
    EXPECT_NEAR(fixes[0].fix.GetSpeed(), 36.0, 1e-4);
    EXPECT_DOUBLE_EQ(fixes[1].fix.GetSpeed(), 0.0);
    EXPECT_NEAR(fixes[2].fix.course, 90.5, 1e-4);

    // A receiver's fixes keep their place and take the nearest state's speed within reach.
    TelemetryTrack track;
    track.fixes = {{0, {}}, {140, {}}, {5000, {}}};
    for (TimedFix& fix : track.fixes)
        fix.fix.speed = 99;
    track.carStates = states;
    carroute::Merge(track);
    ASSERT_EQ(track.fixes.size(), 3u);
    EXPECT_NEAR(track.fixes[0].fix.GetSpeed(), 36.0, 1e-4);
    // At 140 ms: k 4 (132 ms) has no speed, so k 5 (165 ms) rather than k 3 (99 ms).
    EXPECT_NEAR(track.fixes[1].fix.GetSpeed(), (10.0 + 0.25 * 5) * 3.6, 1e-4);
    EXPECT_DOUBLE_EQ(track.fixes[2].fix.GetSpeed(), 99.0);
}

TEST(CarSeiOutputTest, CsvHasAColumnPerFieldAndGpxTheCarsPoints) {
    TelemetryTrack track;
    TimedCarState full = Full(1);
    full.timeMs = 33;
    TimedCarState bare;
    bare.timeMs = 66;
    bare.speedMps = 5.0;
    track.carStates = {full, bare};
    carroute::Merge(track);
    const std::string csv = CsvWriter::Write(track);
    EXPECT_EQ(csv, "time_ms,kind,x_g,y_g,z_g,lat,lon,speed_kmh,gear,accelerator_pct,brake,"
                   "steering_deg,blinker_left,blinker_right,assist,heading_deg,accel_x_mps2,"
                   "accel_y_mps2,accel_z_mps2,frame\n"
                   "33,fix,,,,37.5000100,127.2500000,36.9,,,,,,,,,,,,\n"
                   "33,car,,,,37.5000100,127.2500000,36.9,D,21.0,1,-14.5,0,0,autosteer,90.5,0.125,"
                   "-0.500,9.750,1001\n"
                   "66,car,,,,,,18.0,,,,,,,,,,,,\n");
    const std::string mph = CsvWriter::Write(track, SpeedUnit::kMph);
    EXPECT_NE(mph.find("66,car,,,,,,11.2,"), std::string::npos) << mph;
    const std::string gpx = GpxWriter::Write(track, "car");
    EXPECT_NE(gpx.find("<trkpt lat=\"37.5000100\" lon=\"127.2500000\">"), std::string::npos) << gpx;
    EXPECT_NE(
        gpx.find("<gpxtpx:speed>10.25</gpxtpx:speed><gpxtpx:course>90.5</gpxtpx:course>"
                 "</gpxtpx:TrackPointExtension><tatv:car><tatv:gear>D</tatv:gear>"
                 "<tatv:accelerator>21.0</tatv:accelerator><tatv:brake>1</tatv:brake>"
                 "<tatv:steering>-14.5</tatv:steering><tatv:blinkerLeft>0</tatv:blinkerLeft>"
                 "<tatv:blinkerRight>0</tatv:blinkerRight><tatv:assist>autosteer</tatv:assist>"
                 "</tatv:car></extensions></trkpt>"),
        std::string::npos)
        << gpx;
    EXPECT_NE(gpx.find("xmlns:tatv=\"urn:tatview:car:1\""), std::string::npos);
    // Without car states the document declares no namespace of ours.
    EXPECT_EQ(GpxWriter::Write(TelemetryTrack{}, "x").find("tatv:"), std::string::npos);
    // Without car states the columns stay as they were.
    EXPECT_EQ(CsvWriter::Write(TelemetryTrack{}), "time_ms,kind,x_g,y_g,z_g,lat,lon,speed_kmh\n");
}

TEST(CarSeiOutputTest, AFolderRecordingTakesTheFrontFilesData) {
    TempDir dir;
    std::vector<TimedCarState> written;
    for (int k = 0; k < 30; ++k)
        written.push_back(Full(k));
    const std::string front = dir.File("2024-03-05_09-07-02-front.mp4");
    const std::string back = dir.File("2024-03-05_09-07-02-back.mp4");
    ASSERT_TRUE(carsei::MakeCarClip(front, written, 1.0));
    ClipSpec spec;
    spec.audioRate = 0;
    ASSERT_TRUE(MakeClip(back, spec));
    const TelemetryTrack track = RecordingTelemetry::Load({front, back});
    EXPECT_EQ(track.carStates.size(), 30u);
    ASSERT_FALSE(track.fixes.empty());
    EXPECT_NEAR(track.fixes.front().fix.LatitudeDegrees(), 37.5, 1e-4);

    // A parked clip without data: nothing, and no route.
    const std::string parked = dir.File("2024-03-05_10-00-00-front.mp4");
    ASSERT_TRUE(MakeClip(parked, spec));
    EXPECT_TRUE(RecordingTelemetry::Load({parked}).Empty());
    // Another camera's file of the same bytes is not taken for the car's.
    ASSERT_TRUE(carsei::MakeCarClip(dir.File("20240305_090702_NF.mp4"), written, 1.0));
    EXPECT_TRUE(RecordingTelemetry::Load({dir.File("20240305_090702_NF.mp4")}).carStates.empty());
}
