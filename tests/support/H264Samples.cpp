#include "H264Samples.h"

#include "TempDir.h"
#include "formats/AnnexB.h"

#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <tuple>

const AccessUnits& H264Samples(int width, int height, int frames, int fps) {
    static std::mutex mutex;
    static std::map<std::tuple<int, int, int, int>, AccessUnits> cache;
    std::lock_guard lock(mutex);
    AccessUnits& units = cache[{width, height, frames, fps}];
    if (units.empty()) {
        TempDir dir;
        const std::string out = dir.File("sample.h264");
        const std::string command =
            "ffmpeg -nostdin -v error -f lavfi -i testsrc=size=" + std::to_string(width) + "x" +
            std::to_string(height) + ":rate=" + std::to_string(fps) + " -frames:v " +
            std::to_string(frames) + " -c:v libx264 -pix_fmt yuv420p -g " + std::to_string(fps) +
            " -bf 0 -x264-params aud=1 -f h264 '" + out + "' 2>&1";
        std::string log;
        const int status = RunCommand(command, &log);
        EXPECT_EQ(status, 0) << "ffmpeg could not make test video: " << log;
        const std::vector<uint8_t> stream = ReadFileBytes(out);
        units = SplitAccessUnits(stream.data(), stream.size());
        EXPECT_EQ(units.size(), static_cast<size_t>(frames));
    }
    return units;
}
