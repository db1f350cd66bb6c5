#include "ClipDrives.h"

#include "TatTestCards.h"
#include "TempDir.h"
#include "storage/CTATCardWriter.h"
#include "telemetry/NmeaChecksum.h"

#include <cstdio>
#include <filesystem>

namespace clipdrive {

namespace {

std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

bool Run(const std::string& command, std::string* failure) {
    std::string out;
    if (RunCommand(command + " 2>&1", &out) == 0)
        return true;
    if (failure != nullptr)
        *failure = command + ": " + out;
    return false;
}

// The RMC sentence of second `s` of a recording starting at 09:07:(02 + offset), the GPS's
// clock kCameraMinusGpsMs behind the camera's.
std::string Rmc(int startSecond, int s) {
    const int at = 9 * 3600 + 7 * 60 + startSecond + s - kCameraMinusGpsMs / 1000;
    char body[128];
    std::snprintf(body, sizeof body,
                  "GNRMC,%02d%02d%02d.00,A,3733.%04d,N,12658.0000,E,20.0,90.0,050324,,,A",
                  at / 3600, at / 60 % 60, at % 60, 100 * (startSecond + s));
    return nmea::WithChecksum(body);
}

int StartSecond(const std::string& name) {
    return name == kFirstFolder ? 2 : 5;
}

} // namespace

std::string FrontFile(const std::string& folder, const std::string& name) {
    return folder + "/Record/" + name + "F.mp4";
}

std::string RearFile(const std::string& folder, const std::string& name) {
    return folder + "/Record/" + name + "R.mp4";
}

bool MakeFolder(const std::string& folder, std::string* failure) {
    std::filesystem::create_directories(folder + "/Record");
    // One run of ffmpeg for the four files; four test patterns, two tones.
    const std::string video = " -c:v libx264 -preset veryfast -bf 0 -g " +
                              std::to_string(kKeyEvery) + " -pix_fmt yuv420p ";
    char inputs[512];
    std::snprintf(inputs, sizeof inputs,
                  "-f lavfi -i testsrc=size=320x180:rate=%d:duration=%d "
                  "-f lavfi -i testsrc2=size=320x180:rate=%d:duration=%d "
                  "-f lavfi -i smptebars=size=320x180:rate=%d:duration=%d "
                  "-f lavfi -i rgbtestsrc=size=320x180:rate=%d:duration=%d "
                  "-f lavfi -i sine=frequency=440:sample_rate=48000:duration=%d "
                  "-f lavfi -i sine=frequency=660:sample_rate=48000:duration=%d ",
                  kRate, kSeconds, kRate, kSeconds, kRate, kSeconds, kRate, kSeconds, kSeconds,
                  kSeconds);
    const std::string command =
        std::string("ffmpeg -nostdin -v error -y ") + inputs + "-map 0:v -map 4:a" + video +
        "-c:a aac " + Quoted(FrontFile(folder, kFirstFolder)) + " -map 1:v" + video + "-an " +
        Quoted(RearFile(folder, kFirstFolder)) + " -map 2:v -map 5:a" + video + "-c:a aac " +
        Quoted(FrontFile(folder, kSecondFolder)) + " -map 3:v" + video + "-an " +
        Quoted(RearFile(folder, kSecondFolder));
    if (!Run(command, failure))
        return false;
    for (const char* name : {kFirstFolder, kSecondFolder}) {
        const int start = StartSecond(name);
        // The camera's clock read as UTC, as the stamps of such side files are.
        const long long stamp0 = (1709629620LL + start) * 1000;
        std::string gps;
        for (int s = 0; s < kSeconds; ++s) {
            gps += "[" + std::to_string(stamp0 + 1000LL * s) + "]" + Rmc(start, s) + "\n";
            gps += "[" + std::to_string(stamp0 + 1000LL * s + 500) + "]$GSENSOR,0.10,0.00,1.00\n";
        }
        WriteFileText(folder + "/Record/" + name + ".gps", gps);
    }
    return true;
}

bool MakeCard(const std::string& card, const std::string& folder, const std::string& tatcardPath,
              std::string* failure) {
    std::string error;
    if (!CTATCardWriter::CreateCard(card, TestConfigText(), &error)) {
        if (failure != nullptr)
            *failure = error;
        return false;
    }
    const std::pair<const char*, const char*> recordings[] = {{kFirstFolder, kFirstCard},
                                                              {kSecondFolder, kSecondCard}};
    for (const auto& [from, name] : recordings) {
        // Beside the card, apart from the folder's recordings.
        const std::string log =
            (std::filesystem::path(card).parent_path() / (std::string(name) + ".nmea")).string();
        std::string text;
        for (int s = 0; s < kSeconds; ++s)
            text += Rmc(StartSecond(from), s) + "\n";
        WriteFileText(log, text);
        const std::string command = Quoted(tatcardPath) + " import " + Quoted(card) + " --front " +
                                    Quoted(FrontFile(folder, from)) + " --rear " +
                                    Quoted(RearFile(folder, from)) + " --nmea " + Quoted(log) +
                                    " --category rec --name " + name;
        if (!Run(command, failure))
            return false;
    }
    return true;
}

} // namespace clipdrive
