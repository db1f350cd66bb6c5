#include "DashcamClips.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

bool MakeClip(const std::string& path, const ClipSpec& spec) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    char line[2048];
    const std::string audioInput =
        spec.audioRate > 0
            ? " -f lavfi -i sine=frequency=440:sample_rate=" + std::to_string(spec.audioRate)
            : std::string();
    const std::string audioOutput =
        spec.audioRate > 0 ? " -c:a " + spec.audioCodec : std::string(" -an");
    const std::string quiet = spec.codec == "libx265" ? " -x265-params log-level=error" : "";
    const std::string source =
        spec.color.empty() ? std::string("testsrc=") : "color=c=" + spec.color + ":";
    std::snprintf(line, sizeof line,
                  "ffmpeg -nostdin -v error -y -f lavfi -i %ssize=%dx%d:rate=%s%s -t %.3f "
                  "-c:v %s%s -g %d -pix_fmt yuv420p%s '%s'",
                  source.c_str(), spec.width, spec.height, spec.rate.c_str(), audioInput.c_str(),
                  spec.seconds, spec.codec.c_str(), quiet.c_str(), spec.keyInterval,
                  audioOutput.c_str(), path.c_str());
    return std::system(line) == 0;
}

bool CutFile(const std::string& path, long long bytes) {
    return truncate(path.c_str(), static_cast<off_t>(bytes)) == 0;
}
