// tatcard csv and gpx on a car's TeslaCam folder whose front videos carry the car's own
// driving data in SEI units: the columns and their values, the route, and a drive of two
// recordings.
#include "TatcardProgram.h"
#include "tests/support/CarSeiClips.h"
#include "tests/support/DashcamClips.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator))
        parts.push_back(part);
    if (!text.empty() && text.back() == separator && separator == ',')
        parts.emplace_back();
    return parts;
}

// The car rows of a CSV document, split into cells.
std::vector<std::vector<std::string>> CarRows(const std::string& csv) {
    std::vector<std::vector<std::string>> rows;
    for (const std::string& line : Split(csv, '\n'))
        if (line.find(",car,") != std::string::npos)
            rows.push_back(Split(line, ','));
    return rows;
}

// The first picture of a video as 8-bit gray rows, read back through ffmpeg; empty when it
// cannot be read.
std::vector<std::vector<uint8_t>> FirstPictureGray(const std::string& video,
                                                   const TempDir& scratch) {
    const std::string pgm = scratch.File("first.pgm");
    const std::string command = "ffmpeg -nostdin -v error -y -i " + Quoted(video) +
                                " -frames:v 1 -pix_fmt gray -f image2 " + Quoted(pgm);
    std::vector<std::vector<uint8_t>> rows;
    if (std::system(command.c_str()) != 0)
        return rows;
    std::ifstream in(pgm, std::ios::binary);
    std::string magic;
    int width = 0;
    int height = 0;
    int most = 0;
    in >> magic >> width >> height >> most;
    in.get();
    if (magic != "P5" || width <= 0 || height <= 0 || most != 255)
        return rows;
    rows.assign(static_cast<size_t>(height), std::vector<uint8_t>(static_cast<size_t>(width)));
    for (std::vector<uint8_t>& row : rows)
        in.read(reinterpret_cast<char*>(row.data()), width);
    return in ? rows : std::vector<std::vector<uint8_t>>{};
}

class CarDataCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Two recordings of one drive; the second one's states lack the position and the
        // driving values except the speed, as a car without a fix writes them.
        const std::string saved = m_dir.File("TeslaCam/SavedClips/2024-03-05_09-07-02/");
        std::vector<TimedCarState> first;
        for (int k = 0; k < 30; ++k) {
            TimedCarState s;
            s.frameNumber = static_cast<uint64_t>(k);
            s.speedMps = 20.0;
            s.gear = CarGear::kDrive;
            s.acceleratorPercent = 35.0;
            s.brake = false;
            s.steeringDegrees = -12.5;
            s.blinkerLeft = true;
            s.blinkerRight = false;
            s.assist = DriveAssist::kSelfDriving;
            s.latitude = 37.55 + k * 0.000005; // 60 km/h northwards
            s.longitude = 126.97;
            s.heading = 180.0;
            first.push_back(s);
        }
        ASSERT_TRUE(carsei::MakeCarClip(saved + "2024-03-05_09-07-02-front.mp4", first, 1.0));
        ClipSpec spec;
        spec.audioRate = 0;
        ASSERT_TRUE(MakeClip(saved + "2024-03-05_09-07-02-back.mp4", spec));
        std::vector<TimedCarState> second;
        for (int k = 0; k < 30; ++k) {
            TimedCarState s;
            s.frameNumber = static_cast<uint64_t>(100 + k);
            s.speedMps = 5.0;
            second.push_back(s);
        }
        ASSERT_TRUE(carsei::MakeCarClip(saved + "2024-03-05_09-07-03-front.mp4", second, 1.0));
        // A parked clip of another day without any data.
        ASSERT_TRUE(MakeClip(m_dir.File("TeslaCam/SentryClips/2024-03-09_22-00-00/"
                                        "2024-03-09_22-00-00-front.mp4"),
                             spec));
    }

    std::string Folder() const { return Quoted(m_dir.Path().string()); }

    TempDir m_dir;
    TempDir m_scratch;
};

} // namespace

TEST_F(CarDataCommandTest, CsvHasTheCarsFieldsInColumns) {
    const TatcardRun r = RunTatcard("csv " + Folder() + " 2024-03-05_09-07-02", m_scratch);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = Split(r.out, '\n');
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "time_ms,kind,x_g,y_g,z_g,lat,lon,speed_kmh,gear,accelerator_pct,brake,"
                        "steering_deg,blinker_left,blinker_right,assist,heading_deg,accel_x_mps2,"
                        "accel_y_mps2,accel_z_mps2,frame");
    const std::vector<std::vector<std::string>> rows = CarRows(r.out);
    ASSERT_EQ(rows.size(), 30u) << r.out;
    for (const std::vector<std::string>& row : rows) {
        ASSERT_EQ(row.size(), 20u) << r.out;
        EXPECT_EQ(row[7], "72.0");
        EXPECT_EQ(row[8], "D");
        EXPECT_EQ(row[9], "35.0");
        EXPECT_EQ(row[10], "0");
        EXPECT_EQ(row[11], "-12.5");
        EXPECT_EQ(row[12], "1");
        EXPECT_EQ(row[13], "0");
        EXPECT_EQ(row[14], "self-driving");
        EXPECT_EQ(row[15], "180.0");
        EXPECT_EQ(row[16], ""); // no accelerations in these messages
    }
    // The first picture's message is at 0 with the first position.
    EXPECT_EQ(rows[0][0], "0");
    EXPECT_EQ(rows[0][5], "37.5500000");
    EXPECT_EQ(rows[0][6], "126.9700000");
    EXPECT_EQ(rows[0][19], "0");
    // In mph the speed column is converted.
    const TatcardRun mph =
        RunTatcard("csv " + Folder() + " 2024-03-05_09-07-02 --units mph", m_scratch);
    ASSERT_EQ(mph.status, 0) << mph.err;
    ASSERT_FALSE(CarRows(mph.out).empty()) << mph.out;
    EXPECT_EQ(CarRows(mph.out)[0][7], "44.7");
}

TEST_F(CarDataCommandTest, GpxHasTheCarsRouteAndParkedClipsSayNothing) {
    const std::string out = m_scratch.File("route.gpx");
    const TatcardRun r =
        RunTatcard("gpx " + Folder() + " 2024-03-05_09-07-02 " + Quoted(out), m_scratch);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string gpx = ReadFileText(out);
    EXPECT_NE(gpx.find("<trkpt lat=\"37.5500000\" lon=\"126.9700000\">"), std::string::npos) << gpx;
    EXPECT_NE(gpx.find("<gpxtpx:speed>20.00</gpxtpx:speed><gpxtpx:course>180.0</gpxtpx:course>"),
              std::string::npos)
        << gpx;
    EXPECT_NE(gpx.find("<tatv:gear>D</tatv:gear><tatv:accelerator>35.0</tatv:accelerator>"
                       "<tatv:brake>0</tatv:brake><tatv:steering>-12.5</tatv:steering>"
                       "<tatv:blinkerLeft>1</tatv:blinkerLeft>"),
              std::string::npos)
        << gpx;
    size_t points = 0;
    for (size_t at = 0; (at = gpx.find("<trkpt ", at)) != std::string::npos; ++at)
        ++points;
    EXPECT_EQ(points, 10u); // one a tenth of a second of the 30 frames

    // The parked clip: the CSV has its header only.
    const TatcardRun parked = RunTatcard("csv " + Folder() + " 2024-03-09_22-00-00", m_scratch);
    ASSERT_EQ(parked.status, 0) << parked.err;
    EXPECT_EQ(parked.out, "time_ms,kind,x_g,y_g,z_g,lat,lon,speed_kmh\n");
}

TEST_F(CarDataCommandTest, ADrivesCsvHoldsBothRecordingsStates) {
    const TatcardRun r = RunTatcard("csv " + Folder() + " --trip 1", m_scratch);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::vector<std::string>> rows = CarRows(r.out);
    ASSERT_EQ(rows.size(), 60u) << r.out;
    // The second recording follows the first on the drive's time line, with its empty cells.
    const std::vector<std::string>& later = rows[30];
    EXPECT_GE(std::stoll(later[0]), 1000);
    EXPECT_EQ(later[19], "100");
    EXPECT_EQ(later[5], "");
    EXPECT_EQ(later[7], "18.0");
    EXPECT_EQ(later[8], "");
    EXPECT_EQ(later[14], "");
}

TEST_F(CarDataCommandTest, ClipOverlayShowsTheCarsLineOnlyWhereTheCarRecordedIt) {
    // One picture source copied twice: with the car's messages and without any.
    TempDir cars;
    ClipSpec spec;
    spec.width = 640;
    spec.height = 360;
    spec.seconds = 1.0;
    spec.audioRate = 0;
    const std::string plain = cars.File("plain.mp4");
    ASSERT_TRUE(MakeClip(plain, spec));
    std::vector<carsei::Insert> inserts;
    for (int k = 0; k < 30; ++k) {
        TimedCarState s;
        s.speedMps = 20.0;
        s.gear = CarGear::kDrive;
        s.steeringDegrees = 30.0;
        inserts.push_back({k, carsei::CarNal(s)});
    }
    const std::string withData = "TeslaCam/SavedClips/2024-03-06_10-00-00/2024-03-06_10-00-00";
    const std::string without = "TeslaCam/SavedClips/2024-03-07_10-00-00/2024-03-07_10-00-00";
    for (const std::string& stem : {withData, without})
        std::filesystem::create_directories(std::filesystem::path(cars.File(stem)).parent_path());
    ASSERT_TRUE(carsei::InsertUnits(plain, cars.File(withData + "-front.mp4"), inserts));
    ASSERT_TRUE(carsei::InsertUnits(plain, cars.File(without + "-front.mp4"), {}));
    std::filesystem::remove(plain);

    std::vector<std::vector<std::vector<uint8_t>>> pictures;
    for (const std::string name : {"2024-03-06_10-00-00", "2024-03-07_10-00-00"}) {
        const std::string out = m_scratch.File(name + std::string(".mp4"));
        const TatcardRun r = RunTatcard(
            "clip " + Quoted(cars.Path().string()) + " --from " + name + "@00:00.2 --to " + name +
                "@00:00.8 --layout front --no-sound --out " + Quoted(out),
            m_scratch);
        ASSERT_EQ(r.status, 0) << r.err;
        pictures.push_back(FirstPictureGray(out, m_scratch));
        ASSERT_EQ(pictures.back().size(), 360u);
        // The evidence record names the car's fields among the overlay's.
        const std::string manifest =
            ReadFileText(m_scratch.File(name + std::string(".manifest.json")));
        EXPECT_NE(manifest.find("\"g-force\""), std::string::npos) << manifest;
        EXPECT_EQ(manifest.find("\"car\"") != std::string::npos, pictures.size() == 1) << manifest;
    }
    // The car's clip has one line more: rows of the lower half where its text box darkens
    // the picture and the other clip's does not (at the left, which every line's box covers).
    int darker = 0;
    for (size_t y = 180; y < 360; ++y) {
        long sum = 0;
        for (size_t x = 8; x < 72; ++x)
            sum += int{pictures[1][y][x]} - int{pictures[0][y][x]};
        darker += sum / 64 > 20 ? 1 : 0;
    }
    EXPECT_GE(darker, 10);
    EXPECT_LE(darker, 60);
}
