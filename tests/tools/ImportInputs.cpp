#include "ImportInputs.h"

#include "TatcardProgram.h"
#include "telemetry/NmeaChecksum.h"
#include "tests/support/TempDir.h"

#include <fstream>
#include <vector>

namespace {

// "$..." with its checksum.
std::string WithChecksum(const std::string& sentence) {
    return nmea::WithChecksum(std::string_view(sentence).substr(1));
}

std::string GpsLine(const std::string& sentence) {
    std::string line = "G";
    return line.append(WithChecksum(sentence));
}

const char kFix[] = ",A,3733.9600,N,12658.6740,E,10.0,45.0,";

bool Make(const std::string& arguments, ImportInputs& inputs) {
    std::string command = "ffmpeg -nostdin -v error -y ";
    command.append(arguments).append(" 2>&1");
    std::string out;
    if (RunCommand(command, &out) == 0)
        return true;
    inputs.failure = command;
    inputs.failure.append(": ").append(out);
    return false;
}

ImportInputs MakeInputs(const TempDir& dir) {
    ImportInputs in;
    in.front = dir.File("front.mp4");
    in.rearLong = dir.File("rear-long.avi");
    in.rearShort = dir.File("rear-short.avi");
    in.soundOnly = dir.File("sound.wav");
    in.gpsLog = dir.File("drive.nmea");
    // One run of ffmpeg makes them all (each run costs a noticeable start-up).
    std::string command = "-f lavfi -i testsrc=size=320x240:rate=25:duration=2 "
                          "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=2 "
                          "-f lavfi -i testsrc2=size=160x120:rate=25:duration=3 "
                          "-f lavfi -i testsrc2=size=176x144:rate=25:duration=1 "
                          "-f lavfi -i sine=frequency=300:sample_rate=8000:duration=1 "
                          "-map 0:v -map 1:a -ac 2 -c:v libx264 -preset veryfast -g 12 "
                          "-pix_fmt yuv420p -c:a aac ";
    command.append(Quoted(in.front))
        .append(" -map 2:v -c:v mpeg4 ")
        .append(Quoted(in.rearLong))
        .append(" -map 3:v -c:v mjpeg -pix_fmt yuvj420p ")
        .append(Quoted(in.rearShort))
        .append(" -map 4:a ")
        .append(Quoted(in.soundOnly));
    const bool ok = Make(command, in);
    if (!ok)
        return in;

    std::ofstream log(in.gpsLog, std::ios::binary);
    log << WithChecksum("$GPGGA,235958.50,3733.9600,N,12658.6740,E,1,08,0.9,50.0,M,,,,") << "\r\n"
        << WithChecksum(std::string("$GNRMC,235958.50") + kFix + "050324,,,A") << "\r\n"
        << WithChecksum("$GPRMC,,V,,,,,,,,,,N") << "\r\n"
        << WithChecksum(std::string("$GNRMC,235959.50") + kFix + "050324,,,A") << "\r\n"
        << "  " << WithChecksum(std::string("$GPRMC,000000.30") + kFix + "060324,,,A") << "\n"
        << std::string("$GNRMC,000000.50") + kFix + "060324,,,A*00"
        << "\n"
        << WithChecksum(std::string("$GNRMC,000005.00") + kFix + "060324,,,A") << "\n";
    in.made = static_cast<bool>(log);
    if (!in.made)
        in.failure = "cannot write the GPS log";
    return in;
}

} // namespace

const ImportInputs& TestInputs() {
    static const TempDir dir;
    static const ImportInputs inputs = MakeInputs(dir);
    return inputs;
}

const std::vector<ExpectedGpsLine>& ExpectedGpsLines() {
    // 0 s, 1 s and 1.8 s after the first fix (across midnight); the 6.5 s fix is past the
    // last frame (1.96 s).
    static const std::vector<ExpectedGpsLine> lines = {
        {GpsLine(std::string("$GPRMC,235958.50") + kFix + "050324,,,A"), 0},
        {GpsLine(std::string("$GPRMC,235959.50") + kFix + "050324,,,A"), 25},
        {GpsLine(std::string("$GPRMC,000000.30") + kFix + "060324,,,A"), 45},
    };
    return lines;
}
